#include <gtest/gtest.h>
#include <cstring>
#include <thread>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/FloatBits.h"
#include "shell/HostServices.h"
#include "plugins/sdk/VCXPlugin.h"
#include "shell/Settings.h"

namespace {

VCXImage* NewImage(uint32_t format, int32_t width, int32_t height, std::vector<uint8_t> pixels = {}) {
  VCXImage request = vcxImageRequest(VCX_KIND_COLOR, format, width, height, "");
  VCXImage* image = VcsCreateImage(&request);
  if (!pixels.empty())
    std::memcpy(vcxGetPixelSlot(image), pixels.data(), pixels.size());
  return image;
}

void SetPalette(VCXImage* image, std::vector<VCXPaletteEntry> entries) {
  VCXPalette request = {sizeof(VCXPalette), 1, 0, static_cast<int32_t>(entries.size())};
  VCXPalette* palette = VcsCreatePalette(&request);
  std::memcpy(vcxGetPaletteEntries(palette), entries.data(), entries.size() * sizeof(VCXPaletteEntry));
  vcxSetImagePalette(image, palette);
}

uint32_t Pixel(const VCXImage* image, int32_t x, int32_t y) {
  uint32_t value;
  std::memcpy(&value, vcxGetPixelSlot(image) + 4 * (static_cast<size_t>(y) * image->width + x), 4);
  return value;
}

VCXLayeredImage* NewLayered(int32_t width, int32_t height, std::vector<VCXImage*> layers) {
  VCXLayeredImage request = {sizeof(VCXLayeredImage), 1, VCX_FORMAT_32, 0, width, height, 0, 0,
                             static_cast<int32_t>(layers.size())};
  VCXLayeredImage* image = VcsCreateLayeredImage(&request);
  for (size_t i = 0; i < layers.size(); ++i)
    vcxSetLayerSlot(image, static_cast<int32_t>(i), layers[i]);
  return image;
}

}  // namespace

TEST(PortableRecords, CreatedRecordsHaveTheirHeaderSizesAndEmptySlots) {
  VCXMultiImage m = {999, 0, 3};
  VCXMultiImage* multi = VcsCreateMultiImage(&m);
  ASSERT_NE(multi, nullptr);
  EXPECT_EQ(multi->headerSize, 12);
  EXPECT_EQ(vcxRawPayload(multi), reinterpret_cast<uint8_t*>(multi) + 12);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(vcxGetImageSlot(multi, i), nullptr);

  VCXLayeredImage l = {sizeof(VCXLayeredImage), 1, VCX_FORMAT_8, 2, 5, 6, 2834.0f, 2835.0f, 2};
  VCXLayeredImage* layered = VcsCreateLayeredImage(&l);
  ASSERT_NE(layered, nullptr);
  EXPECT_EQ(0, std::memcmp(layered, &l, sizeof l));
  EXPECT_EQ(vcxGetLayerSlot(layered, 0), nullptr);
  EXPECT_EQ(vcxGetLayerSlot(layered, 1), nullptr);

  VCXImage request = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_4, 3, 2, "");
  std::strcpy(request.name, "Layer");
  VCXImage* image = VcsCreateImage(&request);
  ASSERT_NE(image, nullptr);
  // 296 bytes in the 32-bit interface; the palette pointer's widening makes 300 on x86-64.
  EXPECT_EQ(image->headerSize, sizeof(void*) == 4 ? 296 : 300);
  EXPECT_STREQ(image->name, "Layer");
  // The payload is one pointer: the separately allocated pixel block.
  EXPECT_NE(vcxGetPixelSlot(image), nullptr);
  EXPECT_EQ(vcxGetPixelSlot(image), vcxGetSlot(reinterpret_cast<uint8_t*>(image) + sizeof(VCXImage)));
  EXPECT_EQ(GetRecordRowBytes(VCX_FORMAT_4, 3), 2u);
  vcxSetLayerSlot(layered, 1, image);
  vcxSetImageSlot(multi, 2, layered);
  VcsFreeMultiImage(multi);
  EXPECT_EQ(GetServiceError(), 0);

  VCXFileType t = {};
  t.headerSize = sizeof t;
  t.id = 7;
  t.extensionCount = 2;
  VCXFileType* type = VcsCreateFileType(&t);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->headerSize, 272);
  EXPECT_EQ(vcxGetFileTypeExtensions(type)[1].flags, 0);
  EXPECT_EQ(vcxGetFileTypeExtensions(type)[1].extension[0], 0);
  VcsFreeFileType(type);
}

TEST(PortableRecords, BadRequestsGiveCode3AndFreeAcceptsNull) {
  EXPECT_EQ(VcsCreateImage(nullptr), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  VCXImage negative = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, -1, 4, "");
  EXPECT_EQ(VcsCreateImage(&negative), nullptr);
  EXPECT_EQ(VcsGetLastError(), VCX_ERROR_PARAMETER);
  VCXImage shortHeader = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, 1, 1, "");
  shortHeader.headerSize = sizeof(VCXImage) - 4;
  EXPECT_EQ(VcsCreateImage(&shortHeader), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  VCXPalette palette = {sizeof(VCXPalette), 1, 0, -2};
  EXPECT_EQ(VcsCreatePalette(&palette), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  VcsFreeImage(nullptr);
  VcsFreeLayeredImage(nullptr);
  VcsFreeMultiImage(nullptr);
  VcsFreePalette(nullptr);
  VcsFreeFileType(nullptr);
  EXPECT_EQ(GetServiceError(), 0);
}

TEST(PortableRecords, ZeroWidthImageHasNoBlockAndStillWorks) {
  VCXImage* image = NewImage(VCX_FORMAT_32, 0, 5);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(vcxGetPixelSlot(image), nullptr);
  VCXImage* clone = VcsCloneImage(image);
  ASSERT_NE(clone, nullptr);
  VCXImage* converted = VcsConvertImage(image, VCX_FORMAT_32, 1);
  ASSERT_NE(converted, nullptr);
  EXPECT_EQ(GetServiceError(), 0);
  VcsFreeImage(clone);
  VcsFreeImage(converted);
}

TEST(ConvertService, PalettedAndGreyDepths) {
  // 1 bit without a palette: 1 white, 0 black, opaque.
  VCXImage* mono = NewImage(VCX_FORMAT_1, 3, 1, {0xA0});
  VCXImage* out = VcsConvertImage(mono, VCX_FORMAT_32, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->format, VCX_FORMAT_32);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(out, 1, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(out, 2, 0), 0xFFFFFFFFu);
  VcsFreeImage(out);

  // 4 bits, 3 wide: 2 bytes per row, high nibble first; grey v x 17.
  VCXImage* grey4 = NewImage(VCX_FORMAT_4, 3, 2, {0x12, 0x30, 0xF0, 0x00});
  out = VcsConvertImage(grey4, VCX_FORMAT_32, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFF111111u);
  EXPECT_EQ(Pixel(out, 1, 0), 0xFF222222u);
  EXPECT_EQ(Pixel(out, 2, 0), 0xFF333333u);
  EXPECT_EQ(Pixel(out, 0, 1), 0xFFFFFFFFu);
  VcsFreeImage(out);

  // 8 bits with a palette; an index past the palette is opaque black.
  VCXImage* indexed = NewImage(VCX_FORMAT_8, 3, 1, {0, 1, 9});
  SetPalette(indexed, {{128, 10, 20, 30}, {255, 300, -5, 7}});
  out = VcsConvertImage(indexed, VCX_FORMAT_32, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Pixel(out, 0, 0), 0x800A141Eu);
  EXPECT_EQ(Pixel(out, 1, 0), 0xFFFF0007u);
  EXPECT_EQ(Pixel(out, 2, 0), 0xFF000000u);
  EXPECT_EQ(vcxGetImagePalette(out), nullptr);
  VcsFreeImage(out);
  VcsFreeImage(indexed);

  // 16 bits grey: v / 257 rounded.
  VCXImage* grey16 = NewImage(VCX_FORMAT_16, 2, 1, {0xFF, 0xFF, 0x80, 0x00});
  out = VcsConvertImage(grey16, VCX_FORMAT_32, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(out, 1, 0), 0xFF000000u);
  VcsFreeImage(out);
}

TEST(ConvertService, DirectDepths) {
  VCXImage* rgb = NewImage(VCX_FORMAT_24, 1, 1, {1, 2, 3});
  VCXImage* out = VcsConvertImage(rgb, VCX_FORMAT_32, 1);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFF030201u);
  VcsFreeImage(out);
  // 48 bits B, G, R; 64 bits with alpha; each channel v / 257 rounded.
  VCXImage* deep = NewImage(VCX_FORMAT_48, 1, 1, {0x00, 0x01, 0xFF, 0xFF, 0x80, 0x80});
  out = VcsConvertImage(deep, VCX_FORMAT_32, 1);
  EXPECT_EQ(Pixel(out, 0, 0), 0xFF80FF01u);
  VcsFreeImage(out);
  VCXImage* deepAlpha = NewImage(VCX_FORMAT_64, 1, 1, {0, 0, 0, 0, 0, 0, 0x01, 0x01});
  out = VcsConvertImage(deepAlpha, VCX_FORMAT_32, 1);
  EXPECT_EQ(Pixel(out, 0, 0), 0x01000000u);
  VcsFreeImage(out);
}

TEST(ConvertService, RejectsBadTargetsAndPalettesOnDeepFormats) {
  VCXImage* image = NewImage(VCX_FORMAT_32, 1, 1, {0, 0, 0, 0});
  EXPECT_EQ(VcsConvertImage(image, VCX_FORMAT_24, 1), nullptr);  // freed all the same
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);

  VCXImage* withPalette = NewImage(VCX_FORMAT_24, 1, 1, {0, 0, 0});
  SetPalette(withPalette, {{255, 0, 0, 0}});
  EXPECT_EQ(VcsCloneImage(withPalette), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_DATA);
  EXPECT_EQ(VcsConvertImage(withPalette, VCX_FORMAT_32, 0), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_DATA);
  EXPECT_EQ(VcsResampleImage(withPalette, 2, 2, 1, nullptr, 0), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_DATA);
  EXPECT_EQ(VcsPremultiply(withPalette), 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_DATA);
  VcsFreeImage(withPalette);

  VCXImage* odd = NewImage(0x50000, 1, 1);
  EXPECT_EQ(VcsConvertImage(odd, VCX_FORMAT_32, 1), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);
}

TEST(ConvertService, LayeredConvertsColourLayersAndClonesOthers) {
  VCXImage* color = NewImage(VCX_FORMAT_8, 1, 1, {0});
  SetPalette(color, {{255, 1, 2, 3}});
  VCXImage maskRequest = vcxImageRequest(VCX_KIND_MASK, VCX_FORMAT_1, 1, 1, "");
  VCXImage* mask = VcsCreateImage(&maskRequest);
  vcxGetPixelSlot(mask)[0] = 0x80;
  VCXLayeredImage* image = NewLayered(1, 1, {color, nullptr, mask});
  VCXLayeredImage* out = VcsConvertLayeredImage(image, VCX_FORMAT_32, 1);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->layerCount, 3);
  EXPECT_EQ(vcxGetLayerSlot(out, 0)->format, VCX_FORMAT_32);
  EXPECT_EQ(Pixel(vcxGetLayerSlot(out, 0), 0, 0), 0xFF010203u);
  EXPECT_EQ(vcxGetLayerSlot(out, 1), nullptr);
  EXPECT_EQ(vcxGetLayerSlot(out, 2)->format, VCX_FORMAT_1);
  EXPECT_EQ(vcxGetPixelSlot(vcxGetLayerSlot(out, 2))[0], 0x80);
  VcsFreeLayeredImage(out);

  // Another target is refused by a colour layer only: a record without one is cloned.
  VCXImage* alone = VcsCreateImage(&maskRequest);
  vcxGetPixelSlot(alone)[0] = 0x40;
  out = VcsConvertLayeredImage(NewLayered(1, 1, {nullptr, alone}), VCX_FORMAT_24, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(vcxGetLayerSlot(out, 0), nullptr);
  EXPECT_EQ(vcxGetPixelSlot(vcxGetLayerSlot(out, 1))[0], 0x40);
  VcsFreeLayeredImage(out);
  VCXImage* rgb = NewImage(VCX_FORMAT_24, 1, 1, {0, 0, 0});
  EXPECT_EQ(VcsConvertLayeredImage(NewLayered(1, 1, {rgb}), VCX_FORMAT_24, 1), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);
}

TEST(ResampleService, ScalesPixelsAndChecksMethodAndFormat) {
  VCXImage* image = NewImage(VCX_FORMAT_32, 1, 1, {10, 20, 30, 255});
  VCXImage* big = VcsResampleImage(image, 3, 2, 1, nullptr, 0);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->width, 3);
  EXPECT_EQ(big->height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Pixel(big, x, y), 0xFF1E140Au);
  VcsFreeImage(big);
  EXPECT_EQ(VcsResampleImage(image, 2, 2, 2, nullptr, 0), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  const VCXResampleOptions options = {sizeof(VCXResampleOptions), 0, 0, 0};
  big = VcsResampleImage(image, 2, 2, 1, &options, 1);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(Pixel(big, 1, 1), 0xFF1E140Au);
  VcsFreeImage(big);

  VCXImage* indexed = NewImage(VCX_FORMAT_8, 2, 2, {0, 0, 0, 0});
  EXPECT_EQ(VcsResampleImage(indexed, 4, 4, 1, nullptr, 1), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);

  // An empty source makes the new image without looking at the method.
  VCXImage* empty = NewImage(VCX_FORMAT_32, 0, 0);
  VCXImage* grown = VcsResampleImage(empty, 2, 2, 99, nullptr, 1);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(Pixel(grown, 1, 1), 0u);
  VcsFreeImage(grown);
}

TEST(ResampleService, LayeredScalesSizesAndPositions) {
  VCXImage* layer = NewImage(VCX_FORMAT_32, 3, 2, std::vector<uint8_t>(24, 0xFF));
  layer->x = 1;
  layer->y = 3;
  VCXLayeredImage* image = NewLayered(4, 4, {layer, nullptr});
  VCXLayeredImage* out = VcsResampleLayeredImage(image, 10, 2, 1, nullptr, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->width, 10);
  EXPECT_EQ(out->height, 2);
  const VCXImage* scaled = vcxGetLayerSlot(out, 0);
  EXPECT_EQ(scaled->width, 8);   // 3 x 2.5 = 7.5
  EXPECT_EQ(scaled->height, 1);  // 2 x 0.5
  EXPECT_EQ(scaled->x, 3);       // 1 x 2.5 = 2.5
  EXPECT_EQ(scaled->y, 2);       // 3 x 0.5 = 1.5
  EXPECT_EQ(vcxGetLayerSlot(out, 1), nullptr);
  VcsFreeLayeredImage(out);
}

TEST(FlattenService, HiddenLayersMasksAndOpacity) {
  VCXImage* hidden = NewImage(VCX_FORMAT_32, 2, 1, std::vector<uint8_t>(8, 0xFF));
  hidden->flags = VCX_FLAG_HIDDEN;
  VCXLayeredImage* onlyHidden = NewLayered(2, 1, {hidden});
  VCXLayeredImage* flat = VcsFlatten(onlyHidden, 1);
  ASSERT_NE(flat, nullptr);
  EXPECT_EQ(flat->layerCount, 1);
  EXPECT_EQ(flat->format, VCX_FORMAT_32);
  EXPECT_EQ(Pixel(vcxGetLayerSlot(flat, 0), 0, 0), 0u);
  EXPECT_EQ(Pixel(vcxGetLayerSlot(flat, 0), 1, 0), 0u);
  VcsFreeLayeredImage(flat);

  // An opaque layer at half opacity, a paletted layer over it, then a mask at (1, 0).
  VCXImage* base = NewImage(VCX_FORMAT_32, 3, 1, {0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255});
  base->opacity = 0.5f;
  VCXImage* over = NewImage(VCX_FORMAT_8, 1, 1, {0});
  SetPalette(over, {{255, 0, 255, 0}});
  over->x = 2;
  VCXImage maskRequest = vcxImageRequest(VCX_KIND_MASK, VCX_FORMAT_1, 1, 1, "");
  maskRequest.x = 1;
  VCXImage* mask = VcsCreateImage(&maskRequest);
  vcxGetPixelSlot(mask)[0] = 0x00;
  VCXLayeredImage* image = NewLayered(3, 1, {base, over, mask});
  flat = VcsFlatten(image, 0);
  ASSERT_NE(flat, nullptr);
  const VCXImage* result = vcxGetLayerSlot(flat, 0);
  EXPECT_EQ(Pixel(result, 0, 0), 0x80FF0000u);
  EXPECT_EQ(Pixel(result, 1, 0) >> 24, 0u);
  EXPECT_EQ(Pixel(result, 2, 0), 0xFF00FF00u);
  VcsFreeLayeredImage(flat);

  // Opacities are read by their bits: a denormal is none, NaN counts as opaque.
  VcsFreeImage(over);
  vcxSetLayerSlot(image, 1, nullptr);
  for (uint32_t bits : {kFloatDenormal, kFloatNaN}) {
    StoreFloatBits(&base->opacity, bits);
    flat = VcsFlatten(image, 0);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(Pixel(vcxGetLayerSlot(flat, 0), 0, 0), bits == kFloatNaN ? 0xFFFF0000u : 0x00FF0000u);
    VcsFreeLayeredImage(flat);
  }

  // A mask that is not 1-bit is unsupported.
  mask->format = VCX_FORMAT_8;
  EXPECT_EQ(VcsFlatten(image, 1), nullptr);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);
}

TEST(PremultiplyService, ScalesColourByAlpha) {
  VCXImage* image = NewImage(VCX_FORMAT_32, 2, 1, {200, 100, 50, 128, 9, 9, 9, 255});
  EXPECT_EQ(VcsPremultiply(image), 1);
  EXPECT_EQ(Pixel(image, 0, 0), 0x80193264u);
  EXPECT_EQ(Pixel(image, 1, 0), 0xFF090909u);
  VcsFreeImage(image);
  VCXImage* empty = NewImage(VCX_FORMAT_32, 0, 0);
  EXPECT_EQ(VcsPremultiply(empty), 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_DATA);
  VcsFreeImage(empty);
  VCXImage* rgb = NewImage(VCX_FORMAT_24, 1, 1, {0, 0, 0});
  EXPECT_EQ(VcsPremultiply(rgb), 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_FORMAT);
  VcsFreeImage(rgb);
}

TEST(ServiceResolver, ResolvesEveryServiceAndReportsUnknownIds) {
  const uint32_t ids[] = {0x100, 0x200, 0x201, 0x202, 0x300, 0x1000, 0x1001, 0x1002,
                          0x1003, 0x1010, 0x1100, 0x1101, 0x1102, 0x1103, 0x1110, 0x1200,
                          0x1201, 0x1202, 0x1300, 0x1301, 0x1310, 0x1311, 0x1320, 0x1400};
  for (uint32_t id : ids)
    EXPECT_NE(GetServiceProc(id), nullptr) << id;
  EXPECT_EQ(GetServiceProc(0x1100), GetServiceProc(0x1100));
  BoxWatcher watcher("Vellumcraft :: Error");
  EXPECT_EQ(GetServiceProc(0x1234), nullptr);
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Unsupported service call (SCID=4660)");
  auto reserved = reinterpret_cast<VCXReservedService>(GetServiceProc(0x300));
  EXPECT_EQ(reserved(1, 2, 3), 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_INTERNAL);
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ(watcher.Texts()[1], "SC is under construction");
}

TEST(ServiceResolver, OptionsMetricsAndColours) {
  EXPECT_EQ(VcsGetOption(0x1000), 0);
  EXPECT_EQ(VcsGetOption(0x1001), 0);
  EXPECT_EQ(GetServiceError(), 0);
  EXPECT_EQ(VcsGetOption(5), 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  EXPECT_EQ(VcsGetMetric(0x1000), 30000000);
  const int box = VcsGetMetric(0x1001);
  EXPECT_TRUE(box == 184 || box == 160);
  EXPECT_EQ(VcsGetMetric(0x1002), box);
  ASSERT_NE(g_Settings.uiColorsChequerA, nullptr);
  const CColor saved = g_Settings.uiColorsChequerA->GetValue();
  g_Settings.uiColorsChequerA->SetValue(CColor(0x80112233u));
  EXPECT_EQ(VcsGetColor(0x1000), 0x80112233u);
  g_Settings.uiColorsChequerA->SetValue(saved);
  VcsGetColor(7);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
}

TEST(ServiceResolver, ErrorCodeIsPerThread) {
  EXPECT_EQ(VcsCreateImage(nullptr), nullptr);
  ASSERT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
  int other = -1;
  std::thread([&] { other = GetServiceError(); }).join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(GetServiceError(), VCX_ERROR_PARAMETER);
}

TEST(ServiceResolver, HostTextsOfPluginCodes) {
  EXPECT_EQ(GetPluginErrorText(0), nullptr);
  EXPECT_EQ(GetPluginErrorText(7), nullptr);
  EXPECT_STREQ(GetPluginErrorText(1), "Plugin error");
  EXPECT_STREQ(GetPluginErrorText(11), "Cannot access file");
  EXPECT_STREQ(GetPluginErrorText(14), "Unexpected end of file");
  EXPECT_STREQ(GetPluginErrorText(9), "Unidentified plugin error");
}
