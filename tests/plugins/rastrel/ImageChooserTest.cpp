// The chooser that picks one icon group, cursor group or bitmap out of an executable.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "DialogProbe.h"
#include "RastrelHarness.h"
#include "RastrelPixels.h"
#include "common/ImportStandIn.h"

namespace {

const char* const kCaption = "The file contains more than one image";

struct Chosen {
  VCXMultiImage* multi;
  int type;
  int code;
};

// The choice imported one bitmap of this format and size; frees it.
void ExpectOneBitmap(const Chosen& c, uint32_t format, int32_t width, int32_t height) {
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 1);
  ASSERT_EQ(c.multi->count, 1);
  const VCXLayeredImage* image = vcxGetImageSlot(c.multi, 0);
  EXPECT_EQ(image->format, format);
  EXPECT_EQ(image->width, width);
  EXPECT_EQ(image->height, height);
  VcsFreeMultiImage(c.multi);
}

Chosen ImportWith(DialogProbe& probe, const std::string& path) {
  DialogProbeArm arm(probe);
  Chosen c{nullptr, 0, 0};
  c.multi = Rastrel().import(nullptr, path.c_str(), &c.type);
  c.code = Rastrel().LastError();
  return c;
}

HWND ChooserList(HWND dialog) {
  return ChildBySize(dialog, 128, 178);
}

CWULImage* PreviewImage(HWND dialog) {
  HWND picture = ChildBySize(dialog, 258, 258);
  EXPECT_NE(picture, nullptr);
  return picture ? ObjectOf<CWULPicture>(picture)->GetImage() : nullptr;
}

// Whether each row of the list has a thumbnail, once the rows in view have been drawn (a row
// makes its thumbnail when it is first drawn).
std::vector<bool> Thumbnails(HWND list) {
  UpdateWindow(list);
  std::vector<bool> shown;
  for (CWULListNode* node = ObjectOf<CWULListBox>(list)->items.first; node; node = node->next)
    shown.push_back(static_cast<CWULListItem*>(node)->image != nullptr);
  return shown;
}

// Pixels of the preview that differ from its first one.
int Differing(CWULImage* image) {
  int n = 0;
  for (int i = 0; i < image->width * image->height; ++i)
    if (image->pixels[i] != image->pixels[0])
      ++n;
  return n;
}

std::string LongName() {
  std::string letters;
  for (int i = 0; i < 10; ++i)
    letters += "ABCDEFGHIJ";
  return "N" + letters.substr(1, 99);
}

// The host's chequer colours, two distinct greys here.
const uint32_t kChequerA = 0xFFC8C8C8u;
const uint32_t kChequerB = 0xFF646464u;
uint32_t WINAPI TestColor(uint32_t id) {
  if (id == VCX_COLOR_CHEQUER_A)
    return kChequerA;
  if (id == VCX_COLOR_CHEQUER_B)
    return kChequerB;
  return VcsGetColor(id);
}
VCXServiceFunction WINAPI ColorResolver(uint32_t id) {
  if (id == VCX_SC_GET_COLOR)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(TestColor));
  return HarnessResolver(id);
}

class ChequerColours {
public:
  ChequerColours() { EXPECT_EQ(Rastrel().link(0, VCX_SDK_VERSION, ColorResolver), 1); }
  ~ChequerColours() { Rastrel().link(0, VCX_SDK_VERSION, HarnessResolver); }
};

// Picks the icon group of pe-icon-bitmap.dll with OK and the chequered background off: the
// chooser remembers the icons and no chequer again.
void ChooseTheIconsPlain() {
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    ClickText(dialog, "&Icons");
    if (IsCheckedText(dialog, "Chequered background"))
      ClickText(dialog, "Chequered background");
    HWND list = ChooserList(dialog);
    EXPECT_EQ(ListTexts(list), std::vector<std::string>{"1"});
    ClickRow(list, 1);
    ClickText(dialog, "OK");
  };
  Chosen c = ImportWith(probe, FixtureFolder() + "pe-icon-bitmap.dll");
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 2);
  VcsFreeMultiImage(c.multi);
}

// Puts the chooser's remembered settings back to the defaults when the scope ends.
class ChooserDefaultsAfter {
public:
  ~ChooserDefaultsAfter() { ChooseTheIconsPlain(); }
};

// pe-two-bitmaps.dll (bitmaps 20 and 21, 11 x 5 and 21 x 9 at 8 bits) in a temporary file,
// with bitmap 21 changed through the file offset of its info header.
class TwoBitmaps {
public:
  template <class Change>
  explicit TwoBitmaps(Change change) : path(TempPath("two-bitmaps.dll")) {
    std::vector<uint8_t> bytes = FixtureBytes("pe-two-bitmaps.dll");
    const uint32_t header = PeView(bytes).Data(2, 1);
    EXPECT_EQ(Le32(bytes, header + 4), 21u);
    change(bytes, header);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
  }
  ~TwoBitmaps() { DeleteFileA(path.c_str()); }
  const std::string path;
};

// Chooses bitmap 21 of such a file with OK, after seeing that it is listed without a
// thumbnail and that selecting it draws nothing.
Chosen ChooseBitmapWithoutPicture(const TwoBitmaps& file) {
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"20", "21"}));
    EXPECT_EQ(Thumbnails(list), (std::vector<bool>{true, false}));
    if (IsCheckedText(dialog, "Chequered background"))
      ClickText(dialog, "Chequered background");
    // The first row is shown; the second draws nothing on the plain background.
    CWULImage* preview = PreviewImage(dialog);
    ASSERT_NE(preview, nullptr);
    EXPECT_GT(Differing(preview), 10);
    ClickRow(list, 2);
    EXPECT_EQ(Differing(preview), 0);
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Chosen c = ImportWith(probe, file.path);
  EXPECT_TRUE(probe.seen);
  return c;
}


// The plug-in linked with a resolver that counts the chooser's work: how often the preview
// limit is asked (once for each bitmap or group member whose size is looked at) and the
// pixels of the pictures converted to 32 bits.
int g_limitAsked = 0;
uint64_t g_pixelsConverted = 0;
int32_t WINAPI CountingMetric(uint32_t id) {
  if (id == VCX_METRIC_PREVIEW_PIXELS)
    ++g_limitAsked;
  return VcsGetMetric(id);
}
VCXLayeredImage* WINAPI CountingConvert(VCXLayeredImage* image, uint32_t format, int32_t freeSource) {
  if (image)
    g_pixelsConverted += uint64_t(image->width) * uint64_t(image->height);
  return VcsConvertLayeredImage(image, format, freeSource);
}
VCXServiceFunction WINAPI CountingResolver(uint32_t id) {
  if (id == VCX_SC_GET_METRIC)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(CountingMetric));
  if (id == VCX_SC_CONVERT_LAYERED_IMAGE)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(CountingConvert));
  return HarnessResolver(id);
}

class CountedWork {
public:
  CountedWork() {
    g_limitAsked = 0;
    g_pixelsConverted = 0;
    EXPECT_EQ(Rastrel().link(0, VCX_SDK_VERSION, CountingResolver), 1);
  }
  ~CountedWork() { Rastrel().link(0, VCX_SDK_VERSION, HarnessResolver); }
};

// A library made by the PE builder, or of its bytes changed, in a temporary file.
class Library {
public:
  explicit Library(const PeBuilder& builder) : Library(builder.Build()) {}
  explicit Library(const std::vector<uint8_t>& bytes) : path(TempPath("many-rows.dll")) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
  }
  ~Library() { DeleteFileA(path.c_str()); }
  const std::string path;
};

// The rows in the list's view, the last one maybe in part.
int RowsInView(HWND list) {
  const CWULListBox* box = ObjectOf<CWULListBox>(list);
  return (box->clientHeight + box->itemHeight - 1) / box->itemHeight;
}

// The plug-in's allocations of sizes within a range, counted for the scope.
size_t g_sizesFrom = 0, g_sizesTo = 0;
int g_allocations = 0;
uint64_t g_allocatedBytes = 0;
using MallocFunction = void*(__cdecl*)(size_t);
MallocFunction g_malloc = nullptr;
void* __cdecl CountingMalloc(size_t size) {
  if (size >= g_sizesFrom && size <= g_sizesTo) {
    ++g_allocations;
    g_allocatedBytes += size;
  }
  return g_malloc(size);
}

class CountedAllocations {
public:
  CountedAllocations(size_t from, size_t to)
      : m_standIn(Prepare(from, to), "malloc", reinterpret_cast<void*>(CountingMalloc)) {
    EXPECT_TRUE(m_standIn.Installed());
  }

private:
  // The plug-in, with the counts cleared.
  static HMODULE Prepare(size_t from, size_t to) {
    g_malloc = reinterpret_cast<MallocFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "malloc")));
    g_sizesFrom = from;
    g_sizesTo = to;
    g_allocations = 0;
    g_allocatedBytes = 0;
    return Rastrel().module;
  }
  ImportStandIn m_standIn;
};

// Pages down to the list's last row, drawing every page on the way.
void PageThrough(HWND list) {
  ClickRow(list, 1);
  CWULListBox* box = ObjectOf<CWULListBox>(list);
  for (int i = 0; i < box->items.count && box->currentItem != box->GetLastItem(); ++i) {
    SendKeyStroke(list, VK_NEXT);
    UpdateWindow(list);
  }
  EXPECT_EQ(box->currentItem, box->GetLastItem());
}

// The first icon of pe-one-icon.dll.
std::vector<uint8_t> FixtureIcon() {
  const std::vector<uint8_t> file = FixtureBytes("pe-one-icon.dll");
  const PeView view(file);
  const uint32_t at = view.Data(3);
  return std::vector<uint8_t>(file.begin() + at, file.begin() + at + Le32(file, view.DataEntry(3) + 4));
}

// A group directory in resource mode whose entries name the icon ids in turn.
std::vector<uint8_t> GroupNaming(const std::vector<uint16_t>& ids, int entries) {
  std::vector<uint8_t> b(6 + 14 * size_t(entries), 0);
  SetLe16(b, 2, 1);
  SetLe16(b, 4, uint32_t(entries));
  for (int i = 0; i < entries; ++i) {
    const size_t e = 6 + 14 * size_t(i);
    SetLe16(b, e + 4, 1);
    SetLe16(b, e + 6, 32);
    SetLe32(b, e + 8, 40);
    SetLe16(b, e + 12, ids[size_t(i) % ids.size()]);
  }
  return b;
}

}  // namespace

TEST(ImageChooser, KindsListsPreviewAndChoice) {
  ChequerColours colours;
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    const SIZE size = ClientSize(dialog);
    EXPECT_EQ(size.cx, 400);
    EXPECT_EQ(size.cy, 301);
    EXPECT_NE(ChildByText(dialog, "Select an image:"), nullptr);
    EXPECT_NE(ChildByText(dialog, "Image types"), nullptr);
    for (const char* kind : {"&Icons", "&Cursors", "&Bitmaps"})
      EXPECT_TRUE(IsEnabledText(dialog, kind)) << kind;
    EXPECT_TRUE(IsCheckedText(dialog, "&Icons"));
    EXPECT_FALSE(IsCheckedText(dialog, "Chequered background"));
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    // Named resources first, then by id; each with a thumbnail within 16 x 16.
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"APPICON", "2", "5"}));
    EXPECT_EQ(Thumbnails(list), std::vector<bool>(3, true));
    for (CWULListNode* node = ObjectOf<CWULListBox>(list)->items.first; node; node = node->next) {
      CWULImage* thumbnail = static_cast<CWULListItem*>(node)->image;
      ASSERT_NE(thumbnail, nullptr);
      EXPECT_LE(thumbnail->width, 16);
      EXPECT_LE(thumbnail->height, 16);
    }
    // The first row is selected and previewed.
    CWULListBox* box = ObjectOf<CWULListBox>(list);
    EXPECT_EQ(box->GetCurrentItem(), box->GetFirstItem());
    CWULImage* preview = PreviewImage(dialog);
    ASSERT_NE(preview, nullptr);
    EXPECT_GT(Differing(preview), 100);

    // A name of 100 characters is listed with its first 64.
    ClickText(dialog, "&Bitmaps");
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{LongName().substr(0, 64), "10"}));
    // A typed mnemonic picks the kind.
    SendChar(GetFocus(), 'c');
    EXPECT_TRUE(IsCheckedText(dialog, "&Cursors"));
    EXPECT_EQ(ListTexts(list), std::vector<std::string>{"3"});
    EXPECT_EQ(box->GetCurrentItem(), box->GetFirstItem());
    EXPECT_GT(Differing(preview), 100);

    // The chequered background: 4 x 4 squares of the host's two colours.
    ClickText(dialog, "Chequered background");
    const uint32_t a = kChequerA;
    const uint32_t b = kChequerB;
    EXPECT_EQ(preview->pixels[0], a);
    EXPECT_EQ(preview->pixels[3], a);
    EXPECT_EQ(preview->pixels[4], b);
    EXPECT_EQ(preview->pixels[4 * preview->width], b);
    EXPECT_EQ(preview->pixels[4 * preview->width + 4], a);
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Chosen c = ImportWith(probe, FixtureFolder() + "pe-icons.dll");
  EXPECT_TRUE(probe.seen);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 3);
  EXPECT_EQ(c.multi->count, 3);
  for (int32_t i = 0; i < c.multi->count; ++i)
    EXPECT_NE(FindLayer(vcxGetImageSlot(c.multi, i), VCX_KIND_HOTSPOT), nullptr);
  VcsFreeMultiImage(c.multi);

  // The kind and the check box are remembered; Cancel changes nothing and is code 7.
  probe = DialogProbe();
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "&Cursors"));
    EXPECT_TRUE(IsCheckedText(dialog, "Chequered background"));
    ClickText(dialog, "Chequered background");
    ClickText(dialog, "&Icons");
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  c = ImportWith(probe, FixtureFolder() + "pe-icons.dll");
  EXPECT_EQ(c.multi, nullptr);
  EXPECT_EQ(c.code, 7);
  // So does the close box.
  probe = DialogProbe();
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    ClickText(dialog, "Chequered background");
    EXPECT_TRUE(ClickCloseBox(dialog));
  };
  c = ImportWith(probe, FixtureFolder() + "pe-icons.dll");
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(c.multi, nullptr);
  EXPECT_EQ(c.code, 7);

  // Only bitmaps: that kind is selected whatever was chosen before.
  probe = DialogProbe();
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "&Bitmaps"));
    EXPECT_FALSE(IsEnabledText(dialog, "&Icons"));
    EXPECT_FALSE(IsEnabledText(dialog, "&Cursors"));
    EXPECT_TRUE(IsCheckedText(dialog, "Chequered background"));
    SendChar(GetFocus(), 'i');
    EXPECT_TRUE(IsCheckedText(dialog, "&Bitmaps"));
    EXPECT_EQ(ListTexts(ChooserList(dialog)), (std::vector<std::string>{"20", "21"}));
    ClickText(dialog, "OK");
  };
  c = ImportWith(probe, FixtureFolder() + "pe-two-bitmaps.dll");
  EXPECT_TRUE(probe.seen);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 1);
  VcsFreeMultiImage(c.multi);

  // A bitmap chosen from a file with an icon group and a bitmap; back to the defaults after.
  probe = DialogProbe();
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "&Bitmaps"));
    ClickRow(ChooserList(dialog), 1);
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  c = ImportWith(probe, FixtureFolder() + "pe-icon-bitmap.dll");
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 1);
  ASSERT_EQ(c.multi->count, 1);
  EXPECT_EQ(vcxGetImageSlot(c.multi, 0)->format, VCX_FORMAT_4);
  VcsFreeMultiImage(c.multi);

  ChooseTheIconsPlain();
}

TEST(ImageChooser, ABitmapWithoutPixelsIsListedWithoutAThumbnail) {
  ChooserDefaultsAfter defaults;
  // 0 pixels high, then 0 wide; choosing it is invalid data to the import.
  for (uint32_t field : {8u, 4u}) {
    SCOPED_TRACE(field);
    TwoBitmaps file([field](std::vector<uint8_t>& b, uint32_t header) { SetLe32(b, header + field, 0); });
    Chosen c = ChooseBitmapWithoutPicture(file);
    EXPECT_EQ(c.multi, nullptr);
    EXPECT_EQ(c.code, VCX_ERROR_DATA);
    VcsFreeMultiImage(c.multi);
  }
}

TEST(ImageChooser, ABitmapAboveThePreviewLimitIsListedWithoutAThumbnail) {
  ChooserDefaultsAfter defaults;
  // 8192 x 8192 pixels of RLE8, more than the host's limit, in a stream that ends at once.
  TwoBitmaps file([](std::vector<uint8_t>& b, uint32_t header) {
    SetLe32(b, header + 4, 8192);
    SetLe32(b, header + 8, 8192);
    SetLe32(b, header + 16, 1);
    SetLe32(b, header + 32, 1);
    b[header + 44] = 0;
    b[header + 45] = 1;
  });
  Chosen c = ChooseBitmapWithoutPicture(file);
  // The import decodes it all the same.
  ExpectOneBitmap(c, VCX_FORMAT_8, 8192, 8192);
}

TEST(ImageChooser, OkAtOnceImportsTheFirstRow) {
  ChooserDefaultsAfter defaults;
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    EXPECT_EQ(ListTexts(ChooserList(dialog)), (std::vector<std::string>{"20", "21"}));
    EXPECT_GT(Differing(PreviewImage(dialog)), 10);
    ClickText(dialog, "OK");
  };
  Chosen c = ImportWith(probe, FixtureFolder() + "pe-two-bitmaps.dll");
  EXPECT_TRUE(probe.seen);
  // Bitmap 20 is the 11 x 5 one of 24 bits.
  ExpectOneBitmap(c, VCX_FORMAT_24, 11, 5);
}

TEST(ImageChooser, OnlyTheRowsDrawnMakeTheirThumbnails) {
  ChooserDefaultsAfter defaults;
  // 60 bitmaps, each the 11 x 5 one of bmp-24bit.bmp.
  const std::vector<uint8_t> file = FixtureBytes("bmp-24bit.bmp");
  PeBuilder builder;
  const size_t bitmap = builder.AddData(std::vector<uint8_t>(file.begin() + 14, file.end()));
  for (uint16_t id = 1; id <= 60; ++id)
    builder.AddResource(2, id, bitmap);
  Library library(builder);
  CountedWork counted;
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    const int shown = RowsInView(list);
    ASSERT_LT(2 * shown, 60);
    // The rows in view and the first row's preview, each looked at once.
    std::vector<bool> expected(60, false);
    std::fill(expected.begin(), expected.begin() + shown, true);
    EXPECT_EQ(Thumbnails(list), expected);
    EXPECT_EQ(g_limitAsked, shown + 1);
    // The last page: its rows make theirs, the ones between stay without.
    ClickRow(list, 1);
    SendKeyStroke(list, VK_END);
    const std::vector<bool> now = Thumbnails(list);
    const int made = static_cast<int>(std::count(now.begin(), now.end(), true));
    EXPECT_TRUE(now[59]);
    EXPECT_FALSE(now[30]);
    EXPECT_LE(made, 2 * shown);
    EXPECT_EQ(g_limitAsked, made + 2);
    // Back to the top: nothing is made again.
    SendKeyStroke(list, VK_HOME);
    EXPECT_EQ(Thumbnails(list), now);
    EXPECT_EQ(g_limitAsked, made + 3);
    SendKeyStroke(list, VK_END);
    ClickText(dialog, "OK");
  };
  Chosen c = ImportWith(probe, library.path);
  EXPECT_TRUE(probe.seen);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 1);
  EXPECT_EQ(vcxGetImageSlot(c.multi, 0)->width, 11);
  VcsFreeMultiImage(c.multi);
}

TEST(ImageChooser, TheThumbnailsOfAListReadABoundedNumberOfPixels) {
  ChooserDefaultsAfter defaults;
  // Ten bitmaps of 4000 x 2000 pixels of RLE8 in streams that end at once: within the preview
  // limit, and all together more than the thumbnails of one list may read (2^25 pixels).
  std::vector<uint8_t> large(40 + 4 + 2, 0);
  SetLe32(large, 0, 40);
  SetLe32(large, 4, 4000);
  SetLe32(large, 8, 2000);
  SetLe16(large, 12, 1);
  SetLe16(large, 14, 8);
  SetLe32(large, 16, BI_RLE8);
  SetLe32(large, 32, 1);
  large[44] = 0;
  large[45] = 1;
  PeBuilder builder;
  const size_t bitmap = builder.AddData(large);
  for (uint16_t id = 1; id <= 10; ++id)
    builder.AddResource(2, id, bitmap);
  Library library(builder);
  CountedWork counted;
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    ASSERT_GE(RowsInView(list), 6);
    // Four thumbnails fit, and the first row's preview is made besides.
    const std::vector<bool> thumbnails = Thumbnails(list);
    EXPECT_EQ(thumbnails, (std::vector<bool>{true, true, true, true, false, false, false, false, false, false}));
    EXPECT_EQ(g_pixelsConverted, 5u * 4000 * 2000);
    // Another row's preview is made all the same.
    ClickRow(list, 6);
    EXPECT_GT(Differing(PreviewImage(dialog)), 100);
    EXPECT_EQ(g_pixelsConverted, 6u * 4000 * 2000);
    EXPECT_EQ(Thumbnails(list), thumbnails);
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  Chosen c = ImportWith(probe, library.path);
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(c.code, 7);
}

TEST(ImageChooser, AGroupMemberIsLookedAtOnceForEveryRow) {
  ChooserDefaultsAfter defaults;
  // 300 icon groups naming one directory of 200 entries, which name in turn icon 1 (a DIB
  // header of 8192 x 8192 pixels, above the preview limit) and icon 2 (the PNG signature and
  // a header that libpng rejects).
  std::vector<uint8_t> tooLarge(40, 0);
  SetLe32(tooLarge, 0, 40);
  SetLe32(tooLarge, 4, 8192);
  SetLe32(tooLarge, 8, 2 * 8192);
  SetLe16(tooLarge, 12, 1);
  SetLe16(tooLarge, 14, 8);
  std::vector<uint8_t> rejected = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  rejected.resize(rejected.size() + 17, 0);
  PeBuilder builder;
  builder.AddResource(3, 1, builder.AddData(tooLarge));
  builder.AddResource(3, 2, builder.AddData(rejected));
  const size_t group = builder.AddData(GroupNaming({1, 2}, 200));
  for (uint16_t id = 1; id <= 300; ++id)
    builder.AddResource(14, id, group);
  Library library(builder);
  CountedWork counted;
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListTexts(list).size(), 300u);
    EXPECT_EQ(Thumbnails(list), std::vector<bool>(300, false));
    // The thumbnails of the rows in view and the first row's preview: icon 1 is looked at
    // once, icon 2 goes no further than libpng.
    EXPECT_EQ(g_limitAsked, 1);
    ClickRow(list, 1);
    SendKeyStroke(list, VK_END);
    EXPECT_EQ(Thumbnails(list), std::vector<bool>(300, false));
    EXPECT_EQ(g_limitAsked, 1);
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  Chosen c = ImportWith(probe, library.path);
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(c.multi, nullptr);
  EXPECT_EQ(c.code, 7);
}

TEST(ImageChooser, RowsNamingOneGroupShareOneCopyOfItsData) {
  ChooserDefaultsAfter defaults;
  // 2,000 icon groups naming one directory of 1,500 entries, each naming one icon.
  PeBuilder builder;
  builder.AddResource(3, 1, builder.AddData(FixtureIcon()));
  const std::vector<uint8_t> directory = GroupNaming({1}, 1500);
  const size_t group = builder.AddData(directory);
  for (uint16_t id = 1; id <= 2000; ++id)
    builder.AddResource(14, id, group);
  Library library(builder);
  CountedAllocations counted(directory.size(), directory.size());
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    // Every row drawn and previewed on the way to the last: all show the icon, from one
    // copy of the directory.
    PageThrough(list);
    EXPECT_EQ(Thumbnails(list), std::vector<bool>(2000, true));
    EXPECT_EQ(g_allocations, 1);
    SendKeyStroke(list, VK_END);
    ClickText(dialog, "OK");
  };
  Chosen c = ImportWith(probe, library.path);
  EXPECT_TRUE(probe.seen);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 2);
  // Its entries name one icon, read once.
  EXPECT_EQ(c.multi->count, 1500);
  EXPECT_EQ(ImageCount(c.multi), 1);
  EXPECT_EQ(g_allocations, 1);
  VcsFreeMultiImage(c.multi);
}

TEST(ImageChooser, OverlappingDataIsLoadedOnlyWithinTheFilesMeasure) {
  ChooserDefaultsAfter defaults;
  // 2,000 icon groups whose data start at one directory naming one icon, each a byte longer
  // than the one before: no two are the same block, and all together hold 40 MB.
  const uint32_t shortest = 20000, groups = 2000;
  PeBuilder builder;
  builder.AddResource(3, 1, builder.AddData(FixtureIcon()));
  std::vector<uint8_t> block = GroupNaming({1}, 1);
  block.resize(shortest + groups, 0);
  builder.AddResource(14, 1, builder.AddData(block));
  for (uint16_t id = 2; id <= groups; ++id)
    builder.AddResource(14, id, builder.AddData(std::vector<uint8_t>()));
  std::vector<uint8_t> bytes = builder.Build();
  const PeView view(bytes);
  const uint32_t address = Le32(bytes, view.DataEntry(14));
  for (uint32_t i = 0; i < groups; ++i) {
    SetLe32(bytes, view.DataEntry(14, i), address);
    SetLe32(bytes, view.DataEntry(14, i) + 4, shortest + i);
  }
  const Library library(bytes);
  const uint64_t fileSize = bytes.size();
  CountedAllocations counted(shortest, shortest + groups);
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [fileSize](HWND dialog) {
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    // The first rows show the icon; past a small multiple of the file, rows show none.
    const int shown = RowsInView(list);
    PageThrough(list);
    const std::vector<bool> thumbnails = Thumbnails(list);
    EXPECT_EQ(std::vector<bool>(thumbnails.begin(), thumbnails.begin() + shown), std::vector<bool>(shown, true));
    EXPECT_FALSE(thumbnails.back());
    EXPECT_LT(g_allocatedBytes, 4 * fileSize);
    SendKeyStroke(list, VK_END);
    ClickText(dialog, "OK");
  };
  // The last row's data is refused as invalid.
  Chosen c = ImportWith(probe, library.path);
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(c.multi, nullptr);
  EXPECT_EQ(c.code, 4);
  EXPECT_LT(g_allocatedBytes, 4 * fileSize);
  // The first row, chosen at once, imports.
  DialogProbe first;
  first.caption = kCaption;
  first.run = [](HWND dialog) { ClickText(dialog, "OK"); };
  c = ImportWith(first, library.path);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 2);
  EXPECT_EQ(c.multi->count, 1);
  VcsFreeMultiImage(c.multi);
}

TEST(ImageChooser, AnIconGroupOfWinesUser32) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  const std::string path = std::string(folder) + "\\user32.dll";
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << path << " not found";
  DialogProbe probe;
  probe.caption = kCaption;
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "&Icons"));
    HWND list = ChooserList(dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_GE(ListTexts(list).size(), 2u);
    ClickRow(list, 1);
    EXPECT_GT(Differing(PreviewImage(dialog)), 10);
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Chosen c = ImportWith(probe, path);
  EXPECT_TRUE(probe.seen);
  ASSERT_NE(c.multi, nullptr) << c.code;
  EXPECT_EQ(c.type, 2);
  EXPECT_GE(c.multi->count, 1);
  VcsFreeMultiImage(c.multi);
}
