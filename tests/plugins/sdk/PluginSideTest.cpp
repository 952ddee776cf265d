#include <gtest/gtest.h>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include "common/FloatBits.h"
#include "plugins/sdk/VCXList.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"
#include "shell/HostServices.h"

namespace {

struct Item : CVCXListNode {
  Item(int k, int t) : key(k), tag(t) {}
  int key;
  int tag;
};

int ByKey(const CVCXListNode* a, const CVCXListNode* b, void*) {
  const int x = static_cast<const Item*>(a)->key, y = static_cast<const Item*>(b)->key;
  return x < y ? -1 : (x > y ? 1 : 0);
}

int AlwaysEqual(const CVCXListNode*, const CVCXListNode*, void*) {
  return 0;
}

std::vector<int> Tags(const CVCXList& list) {
  std::vector<int> tags;
  for (const CVCXListNode* n = list.first; n; n = n->next)
    tags.push_back(static_cast<const Item*>(n)->tag);
  return tags;
}

template <class F>
int CodeOf(F&& f) {
  try {
    f();
  } catch (const CVCXException& e) {
    return e.code;
  }
  return 0;
}

VCXServiceFunction WINAPI NoPremultiply(uint32_t id) {
  return id == VCX_SC_PREMULTIPLY ? nullptr : GetServiceProc(id);
}

class Linked : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(vcxLinkServices(GetServiceProc), 1); }
};

}  // namespace

TEST(VCXList, LinksAndUnlinks) {
  CVCXList list;
  Item* a = new Item(1, 1);
  Item* b = new Item(2, 2);
  Item* c = new Item(3, 3);
  list.Append(a);
  list.Append(c);
  list.InsertBefore(b, c);
  EXPECT_EQ(Tags(list), (std::vector<int>{1, 2, 3}));
  list.MoveBefore(c, a);
  EXPECT_EQ(Tags(list), (std::vector<int>{3, 1, 2}));
  list.MoveBefore(c, nullptr);
  EXPECT_EQ(Tags(list), (std::vector<int>{1, 2, 3}));
  list.Remove(b);
  EXPECT_EQ(list.count, 2);
  EXPECT_EQ(b->list, nullptr);
  EXPECT_EQ(b->next, nullptr);
  delete b;
  delete a;  // unlinks itself
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.first, c);
  EXPECT_EQ(list.last, c);
}

TEST(VCXList, MergeSortIsStable) {
  CVCXList list;
  const int keys[] = {5, 3, 5, 1, 3, 9, 0, 5, 2};
  for (int i = 0; i < 9; ++i)
    list.Append(new Item(keys[i], i));
  list.Sort(ByKey, nullptr);
  EXPECT_EQ(Tags(list), (std::vector<int>{6, 3, 8, 1, 4, 0, 2, 7, 5}));
  EXPECT_EQ(list.count, 9);
  EXPECT_EQ(static_cast<Item*>(list.last)->tag, 5);
  EXPECT_EQ(list.last->next, nullptr);
  EXPECT_EQ(list.first->previous, nullptr);
  list.Sort(AlwaysEqual, nullptr);
  EXPECT_EQ(Tags(list), (std::vector<int>{6, 3, 8, 1, 4, 0, 2, 7, 5}));
}

TEST(VCXErrors, ExceptionsAndStringCopy) {
  CVCXException none;
  EXPECT_EQ(none.code, 1);
  EXPECT_STREQ(none.message, "");
  CVCXException nullText(4, nullptr);
  EXPECT_STREQ(nullText.message, "");
  const std::string longText(400, 'x');
  CVCXException cut(5, longText.c_str());
  EXPECT_EQ(std::strlen(cut.message), 255u);

  char buf[4] = "abc";
  vcxStrCopy(buf, "hello", 3);
  EXPECT_STREQ(buf, "he");
  vcxStrCopy(buf, "z", 0);
  vcxStrCopy(nullptr, "z", 4);
  vcxStrCopy(buf, nullptr, 4);
  EXPECT_STREQ(buf, "he");
}

TEST(VCXErrors, ExportsKeepEveryFailureAsACode) {
  EXPECT_EQ(vcxRunExport(7, [] () -> int { vcxThrow(12, "Disk full"); }), 7);
  char text[64] = {};
  EXPECT_EQ(vcxGetLastError(text, sizeof text), 12);
  EXPECT_STREQ(text, "Disk full");
  EXPECT_EQ(vcxGetLastError(nullptr, 0), 12);
  EXPECT_EQ(vcxRunExport(0, [] () -> int { throw std::runtime_error("x"); }), 0);
  EXPECT_EQ(vcxGetErrorCode(), 1);
  EXPECT_STREQ(vcxGetErrorMessage(), "");
  EXPECT_EQ(vcxRunExport(0, [] () -> int { throw std::bad_alloc(); }), 0);
  EXPECT_EQ(vcxGetErrorCode(), VCX_ERROR_MEMORY);
  EXPECT_EQ(vcxRunExport(0, [] { return 3; }), 3);
  EXPECT_EQ(vcxGetErrorCode(), 0);
}

TEST(VCXServicesLink, MissingServiceFailsLinking) {
  EXPECT_EQ(vcxLinkServices(NoPremultiply), 0);
  EXPECT_EQ(vcxGetErrorCode(), 1);
  EXPECT_STREQ(vcxGetErrorMessage(), "Service call linking failed");
  EXPECT_EQ(vcxLinkServices(GetServiceProc), 1);
  EXPECT_EQ(vcxGetErrorCode(), 0);
}

TEST_F(Linked, CreatingServicesThrowTheHostsCode) {
  EXPECT_EQ(CodeOf([] { vcxCreatePalette(-1); }), VCX_ERROR_PARAMETER);
  VCXImage bad = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, -5, 1, "");
  EXPECT_EQ(CodeOf([&] { vcxCreateImage(bad); }), VCX_ERROR_PARAMETER);
  VCXImage good = vcxImageRequest(VCX_KIND_MASK, VCX_FORMAT_1, 9, 2, "MASK");
  VCXImage* image = vcxCreateImage(good);
  EXPECT_EQ(image->kind, VCX_KIND_MASK);
  EXPECT_STREQ(image->name, "MASK");
  EXPECT_EQ(vcxGetRowBytes(image), 2u);
  EXPECT_EQ(image->opacity, 1.0f);
  VcsFreeImage(image);
  EXPECT_EQ(vcxGetMetric(VCX_METRIC_PREVIEW_PIXELS), 30000000);
}

TEST_F(Linked, FileTypeCursorStopsAtTheEndAndAfterFailure) {
  const VCXFileTypeRow rows[] = {{7, "Seven", {"SVN", "SEV", nullptr}}};
  int cursor = 0;
  vcxClearError();
  VCXFileType* type = vcxNextFileType(rows, 1, cursor);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->id, 7);
  EXPECT_EQ(type->extensionCount, 2);
  EXPECT_STREQ(vcxGetFileTypeExtensions(type)[1].extension, "SEV");
  vcxFreeFileType(type);
  EXPECT_EQ(vcxNextFileType(rows, 1, cursor), nullptr);
  EXPECT_EQ(vcxGetErrorCode(), 0);
  cursor = -1;
  EXPECT_EQ(vcxNextFileType(rows, 1, cursor), nullptr);
  EXPECT_EQ(vcxGetErrorCode(), 1);
  EXPECT_EQ(cursor, -1);
}

TEST_F(Linked, RecordAccessors) {
  EXPECT_EQ(CodeOf([] { vcxGetPayload(nullptr); }), VCX_ERROR_INTERNAL);
  EXPECT_EQ(CodeOf([] { vcxCountLayers(nullptr, 1); }), VCX_ERROR_INTERNAL);
  EXPECT_EQ(vcxFormatFromBitsPerPixel(24), VCX_FORMAT_24);
  EXPECT_EQ(vcxFormatFromBitsPerPixel(64), VCX_FORMAT_64);
  EXPECT_EQ(CodeOf([] { vcxFormatFromBitsPerPixel(12); }), VCX_ERROR_FORMAT);

  VCXLayeredImage* image = vcxCreateLayeredImage(vcxLayeredImageRequest(VCX_FORMAT_8, 4, 4, 3));
  EXPECT_EQ(vcxGetPayload(image), reinterpret_cast<uint8_t*>(image) + 36);
  EXPECT_TRUE(vcxNeedsFlattening(image));  // no colour layer
  EXPECT_TRUE(vcxLacksPalette(image));
  VCXImage* color = vcxCreateImage(vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_8, 4, 4, ""));
  vcxSetLayerSlot(image, 1, color);
  EXPECT_EQ(vcxGetFirstLayer(image, VCX_KIND_COLOR), color);
  EXPECT_FALSE(vcxNeedsFlattening(image));
  EXPECT_TRUE(vcxLacksPalette(image));
  vcxSetImagePalette(color, vcxCreatePalette(256));
  EXPECT_FALSE(vcxLacksPalette(image));
  EXPECT_FALSE(vcxHasMask(image));
  color->opacity = 0.5f;
  EXPECT_TRUE(vcxNeedsFlattening(image));
  // Opacities are read by their bits: a denormal is none, NaN counts as opaque.
  StoreFloatBits(&color->opacity, kFloatDenormal);
  EXPECT_TRUE(vcxNeedsFlattening(image));
  StoreFloatBits(&color->opacity, kFloatNaN);
  EXPECT_FALSE(vcxNeedsFlattening(image));
  color->opacity = 1.0f;
  vcxSetLayerSlot(image, 2, vcxCreateImage(vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, 1, 1, "")));
  EXPECT_EQ(vcxCountLayers(image, VCX_KIND_COLOR), 2);
  EXPECT_TRUE(vcxNeedsFlattening(image));

  // Resolutions as whole pixels per metre: rounded, never negative, limited to 32 bits.
  const std::pair<uint32_t, int32_t> resolutions[] = {
      {FloatBitsOf(3779.6f), 3780}, {FloatBitsOf(-5.0f), 0},   {FloatBitsOf(3e9f), INT32_MAX},
      {kFloatInfinity, INT32_MAX},  {kFloatNaN, 0},            {kFloatDenormal, 0}};
  for (const auto& r : resolutions) {
    StoreFloatBits(&image->xResolution, r.first);
    EXPECT_EQ(vcxGetPixelsPerMetre(&image->xResolution), r.second) << r.first;
  }

  VCXMultiImage* multi = vcxWrapInMultiImage(image);
  EXPECT_EQ(multi->count, 1);
  EXPECT_EQ(vcxCountImages(multi), 1);
  EXPECT_EQ(vcxGetFirstImage(multi), image);
  vcxFreeMultiImage(multi);
}
