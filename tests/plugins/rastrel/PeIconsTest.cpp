// Icons, cursors and bitmaps read from executables: the fixtures are small DLLs linked by
// fixtures/make-pe-fixtures.sh; broken files are made here from them.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "plugins/shared/OldPluginHarness.h"

namespace {

const char* const kChooserCaption = "The file contains more than one image";

std::vector<uint8_t> Fixture(const char* name) {
  std::vector<uint8_t> bytes = ReadFileBytes(FixtureFolder() + name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

struct Sniff {
  bool accepted;
  int type;
  std::string description;
  VCXLayeredImage* preview;
};

Sniff SniffPath(const std::string& path, bool withPreview = true) {
  Sniff s{false, 0, "", nullptr};
  char text[512] = {};
  s.accepted = Rastrel().canImport(path.c_str(), &s.type, withPreview ? &s.preview : nullptr, text,
                                   sizeof text) != 0;
  s.description = text;
  return s;
}

struct Imported {
  VCXMultiImage* multi;
  int type;
  int code;
  std::string message;
};

// Imports a file; a chooser that opens is cancelled with Escape.
Imported ImportPath(const std::string& path) {
  DialogScript script;
  script.caption = kChooserCaption;
  script.end = DialogScript::ESCAPE;
  DialogAnswer answer(script);
  Imported r{nullptr, 0, 0, ""};
  r.multi = Rastrel().import(nullptr, path.c_str(), &r.type);
  r.code = Rastrel().LastError(&r.message);
  return r;
}

Imported ImportBytes(const std::vector<uint8_t>& bytes, const char* name = "mutant.dll") {
  const std::string path = TempPath(name);
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  Imported r = ImportPath(path);
  DeleteFileA(path.c_str());
  return r;
}

int ImportError(const std::vector<uint8_t>& bytes) {
  Imported r = ImportBytes(bytes);
  VcsFreeMultiImage(r.multi);
  return r.multi ? 0 : r.code;
}

// Two layered images with the same layers, pixels and palettes.
void ExpectSameImage(const VCXLayeredImage* a, const VCXLayeredImage* b) {
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->format, b->format);
  EXPECT_EQ(a->width, b->width);
  EXPECT_EQ(a->height, b->height);
  ASSERT_EQ(a->layerCount, b->layerCount);
  for (int32_t i = 0; i < a->layerCount; ++i) {
    const VCXImage* x = vcxGetLayerSlot(a, i);
    const VCXImage* y = vcxGetLayerSlot(b, i);
    ASSERT_TRUE(x && y);
    EXPECT_EQ(x->kind, y->kind);
    EXPECT_EQ(x->format, y->format);
    EXPECT_EQ(x->x, y->x);
    EXPECT_EQ(x->y, y->y);
    EXPECT_STREQ(x->name, y->name);
    ASSERT_EQ(x->width, y->width);
    ASSERT_EQ(x->height, y->height);
    const size_t bytes = static_cast<size_t>(GetRecordRowBytes(x->format, x->width) * x->height);
    if (bytes) {
      EXPECT_EQ(std::memcmp(vcxGetPixelSlot(x), vcxGetPixelSlot(y), bytes), 0) << "layer " << i;
    }
    const VCXPalette* p = vcxGetImagePalette(x);
    const VCXPalette* q = vcxGetImagePalette(y);
    ASSERT_EQ(p != nullptr, q != nullptr);
    if (p) {
      ASSERT_EQ(p->count, q->count);
      EXPECT_EQ(std::memcmp(vcxGetPaletteEntries(p), vcxGetPaletteEntries(q),
                            sizeof(VCXPaletteEntry) * p->count),
                0);
    }
  }
}

}  // namespace

TEST(PeIcons, DescriptionCountsTheGroupsAndBitmaps) {
  Sniff s = SniffPath(FixtureFolder() + "pe-icons.dll");
  EXPECT_TRUE(s.accepted);
  EXPECT_EQ(s.type, 4);
  EXPECT_EQ(s.description, "Windows executable\n3 icons, 1 cursor, 2 bitmaps");
  // The first icon group is the named one; with the host's box its 24 x 24 entry of 32
  // bits per pixel scores best.
  ASSERT_NE(s.preview, nullptr);
  EXPECT_EQ(s.preview->width, 24);
  EXPECT_EQ(s.preview->height, 24);
  EXPECT_EQ(s.preview->format, VCX_FORMAT_32);
  VcsFreeLayeredImage(s.preview);

  s = SniffPath(FixtureFolder() + "pe-two-bitmaps.dll");
  EXPECT_EQ(s.description, "Windows executable\n2 bitmaps");
  ASSERT_NE(s.preview, nullptr);  // the first bitmap
  VcsFreeLayeredImage(s.preview);

  s = SniffPath(FixtureFolder() + "pe-one-cursor.dll");
  EXPECT_EQ(s.description, "Windows executable\n1 cursor");
  ASSERT_NE(s.preview, nullptr);
  EXPECT_EQ(s.preview->width, 48);
  VcsFreeLayeredImage(s.preview);

  s = SniffPath(FixtureFolder() + "pe-no-images.dll");
  EXPECT_TRUE(s.accepted);
  EXPECT_EQ(s.description, "Windows executable\nNo images");
  EXPECT_EQ(s.preview, nullptr);
}

TEST(PeIcons, NoImagesFailsWithItsMessage) {
  Imported r = ImportPath(FixtureFolder() + "pe-no-images.dll");
  EXPECT_EQ(r.multi, nullptr);
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.message, "There are no images in this file");
}

TEST(PeIcons, OneIconGroupImportsAllItsImages) {
  int fileType = 0;
  VCXMultiImage* file =
      Rastrel().import(nullptr, (FixtureFolder() + "icon-multi.ico").c_str(), &fileType);
  ASSERT_NE(file, nullptr);
  for (const char* name : {"pe-one-icon.dll", "pe-one-icon-32.dll"}) {
    SCOPED_TRACE(name);
    Imported r = ImportPath(FixtureFolder() + name);
    ASSERT_NE(r.multi, nullptr) << r.code;
    EXPECT_EQ(r.type, 2);
    ASSERT_EQ(r.multi->count, file->count);
    for (int32_t i = 0; i < file->count; ++i)
      ExpectSameImage(vcxGetImageSlot(r.multi, i), vcxGetImageSlot(file, i));
    VcsFreeMultiImage(r.multi);
  }
  VcsFreeMultiImage(file);
}

TEST(PeIcons, ThirtyTwoBitImagesAreDrawnThroughTheirMaskOnlyWithoutAlpha) {
  // The group's 24 x 24 image of 32 bits gets new rows: alpha bytes all 0, then a ramp of
  // alpha across the columns under a mask set where alpha is below 128.
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  uint32_t dib = 0;
  for (uint32_t i = 0; i < 3 && !dib; ++i)
    if (Le16(good, view.Data(3, i) + 14) == 32)
      dib = view.Data(3, i);
  ASSERT_NE(dib, 0u);
  ASSERT_EQ(Le32(good, dib + 4), 24u);
  for (bool ramp : {false, true}) {
    SCOPED_TRACE(ramp ? "alpha ramp" : "no alpha");
    Pixels32 picture(24, 24);
    if (ramp)
      picture.AlphaRamp();
    std::vector<uint8_t> bytes = good;
    std::vector<uint8_t> rows = picture.ColorRows();
    const std::vector<uint8_t> mask = picture.MaskRows();
    rows.insert(rows.end(), mask.begin(), mask.end());
    std::copy(rows.begin(), rows.end(), bytes.begin() + dib + 40);
    Imported r = ImportBytes(bytes);
    ASSERT_NE(r.multi, nullptr) << r.code;
    const VCXLayeredImage* image = nullptr;
    for (int32_t i = 0; i < r.multi->count; ++i)
      if (vcxGetImageSlot(r.multi, i)->format == VCX_FORMAT_32)
        image = vcxGetImageSlot(r.multi, i);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(LayerBytes(FindLayer(image, VCX_KIND_COLOR)) == picture.ColorLayer(!ramp));
    EXPECT_TRUE(LayerBytes(FindLayer(image, VCX_KIND_MASK)) == picture.MaskLayer(ramp));
    VcsFreeMultiImage(r.multi);
  }
}

TEST(PeIcons, OneCursorGroupKeepsTheHotspots) {
  int fileType = 0;
  VCXMultiImage* file =
      Rastrel().import(nullptr, (FixtureFolder() + "cursor-8bit-48x48.cur").c_str(), &fileType);
  ASSERT_NE(file, nullptr);
  Imported r = ImportPath(FixtureFolder() + "pe-one-cursor.dll");
  ASSERT_NE(r.multi, nullptr) << r.code;
  EXPECT_EQ(r.type, 3);
  ASSERT_EQ(r.multi->count, 1);
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  ExpectSameImage(image, vcxGetImageSlot(file, 0));
  const VCXImage* hotspot = FindLayer(image, VCX_KIND_HOTSPOT);
  ASSERT_NE(hotspot, nullptr);
  EXPECT_STREQ(hotspot->name, "HOTSPOT");
  VcsFreeMultiImage(r.multi);
  VcsFreeMultiImage(file);
}

TEST(PeIcons, SeveralImagesOpenTheChooserAndCancelIsCode7) {
  for (const char* name : {"pe-icon-bitmap.dll", "pe-two-bitmaps.dll", "pe-icons.dll"}) {
    SCOPED_TRACE(name);
    Imported r = ImportPath(FixtureFolder() + name);
    EXPECT_EQ(r.multi, nullptr);
    EXPECT_EQ(r.code, 7);
  }
}

TEST(PeIcons, PreviewScoresAgainstTheBox) {
  // 16 x 16 at 32 bits and 32 x 32 at 8 bits: a 32 x 32 box prefers the exact size
  // (8 / 0.25 = 32 against 32 / 1.25 = 25.6) ...
  {
    PreviewMetrics metrics(32, 30000000);
    Sniff s = SniffPath(FixtureFolder() + "pe-score.dll");
    ASSERT_NE(s.preview, nullptr);
    EXPECT_EQ(s.preview->width, 32);
    EXPECT_EQ(s.preview->format, VCX_FORMAT_8);
    VcsFreeLayeredImage(s.preview);
  }
  // ... a large box the deeper one ...
  {
    PreviewMetrics metrics(184, 30000000);
    Sniff s = SniffPath(FixtureFolder() + "pe-score.dll");
    ASSERT_NE(s.preview, nullptr);
    EXPECT_EQ(s.preview->width, 16);
    EXPECT_EQ(s.preview->format, VCX_FORMAT_32);
    VcsFreeLayeredImage(s.preview);
  }
  // ... and entries above the host's pixel limit are not considered.
  {
    PreviewMetrics metrics(32, 300);
    Sniff s = SniffPath(FixtureFolder() + "pe-score.dll");
    ASSERT_NE(s.preview, nullptr);
    EXPECT_EQ(s.preview->width, 16);
    VcsFreeLayeredImage(s.preview);
  }
  {
    PreviewMetrics metrics(32, 100);
    Sniff s = SniffPath(FixtureFolder() + "pe-score.dll");
    EXPECT_TRUE(s.accepted);
    EXPECT_EQ(s.preview, nullptr);
  }
}

TEST(PeIcons, BitmapsPreviewOnlyWithPixelsWithinTheLimit) {
  // The first bitmap of pe-two-bitmaps.dll, 11 x 5, is the preview up to the host's limit ...
  const std::string fixture = FixtureFolder() + "pe-two-bitmaps.dll";
  {
    PreviewMetrics metrics(184, 55);
    Sniff s = SniffPath(fixture);
    ASSERT_NE(s.preview, nullptr);
    EXPECT_EQ(s.preview->width, 11);
    VcsFreeLayeredImage(s.preview);
  }
  {
    PreviewMetrics metrics(184, 54);
    Sniff s = SniffPath(fixture);
    EXPECT_TRUE(s.accepted);
    EXPECT_EQ(s.preview, nullptr);
  }
  // ... and none without pixels.
  std::vector<uint8_t> bytes = Fixture("pe-two-bitmaps.dll");
  SetLe32(bytes, PeView(bytes).Data(2) + 8, 0);
  const std::string path = TempPath("empty-bitmap.dll");
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  Sniff s = SniffPath(path);
  EXPECT_TRUE(s.accepted);
  EXPECT_EQ(s.preview, nullptr);
  VcsFreeLayeredImage(s.preview);
  DeleteFileA(path.c_str());
}

TEST(PeIcons, BrokenGroupMembersAreSkippedByThePreviewAndFailTheImport) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  // The group's second entry names an icon id that does not exist.
  std::vector<uint8_t> missing = good;
  const uint32_t group = view.Data(14);
  ASSERT_EQ(Le16(missing, group + 4), 3u);
  SetLe16(missing, group + 6 + 14 + 12, 999);
  // The first icon resource becomes the PNG signature and an IHDR that libpng rejects (a
  // 1 x 1 image of bit depth 0, with a bad CRC).
  std::vector<uint8_t> brokenPng = good;
  const uint8_t broken[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  std::memcpy(&brokenPng[view.Data(3)], broken, sizeof broken);
  std::memset(&brokenPng[view.Data(3) + sizeof broken], 0, 17);
  brokenPng[view.Data(3) + sizeof broken + 3] = 1;
  brokenPng[view.Data(3) + sizeof broken + 7] = 1;
  for (const std::vector<uint8_t>* bytes : {&missing, &brokenPng}) {
    SCOPED_TRACE(bytes == &missing ? "missing member" : "broken PNG member");
    const std::string path = TempPath("broken-member.dll");
    ASSERT_TRUE(WriteFileBytes(path, *bytes));
    // The chooser's thumbnail and preview come from the group's other members.
    Sniff s = SniffPath(path);
    EXPECT_TRUE(s.accepted);
    EXPECT_NE(s.preview, nullptr);
    VcsFreeLayeredImage(s.preview);
    Imported r = ImportPath(path);
    EXPECT_EQ(r.multi, nullptr);
    EXPECT_EQ(r.code, 1);
    DeleteFileA(path.c_str());
  }
}

TEST(PeIcons, PngMembersDeclaringHugeChunksAreRefusedInBoundedMemory) {
  // The first icon resource becomes a PNG whose tEXt chunk declares 0x7FFFFFFF bytes.
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  const std::vector<uint8_t> png =
      WithChunk(FirstEntry(Fixture("png-rgba8.ico")), 0x7FFFFFFF, "tEXt", {'k', 0, 'v'});
  ASSERT_LE(png.size(), Le32(good, view.DataEntry(3) + 4));
  std::vector<uint8_t> bytes = good;
  std::memcpy(&bytes[view.Data(3)], png.data(), png.size());
  const std::string path = TempPath("huge-chunk.dll");
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  CPluginHeapWatch watch;
  ASSERT_EQ(watch.Patched(), 3);
  // The preview comes from the group's other members; the import names the cause.
  Sniff s = SniffPath(path);
  EXPECT_TRUE(s.accepted);
  EXPECT_NE(s.preview, nullptr);
  VcsFreeLayeredImage(s.preview);
  Imported r = ImportPath(path);
  EXPECT_EQ(r.multi, nullptr);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.message, "A PNG chunk runs past the end of the stream");
  EXPECT_LT(CPluginHeapWatch::Largest(), 64u << 20);
  DeleteFileA(path.c_str());
}

TEST(PeIcons, SixteenBitExecutablesAreNotRecognised) {
  // An MZ header whose PE offset leads to something other than the PE signature.
  std::vector<uint8_t> bytes = Fixture("pe-one-icon.dll");
  const uint32_t pe = Le32(bytes, 60);
  bytes[pe] = 'N';
  bytes[pe + 1] = 'E';
  const std::string path = TempPath("ne.exe");
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  Sniff s = SniffPath(path);
  EXPECT_FALSE(s.accepted);
  EXPECT_EQ(Rastrel().LastError(), 0);
  Imported r = ImportPath(path);
  EXPECT_EQ(r.multi, nullptr);
  EXPECT_EQ(r.code, 5);
  DeleteFileA(path.c_str());
}

TEST(PeIcons, TruncatedHeadersFailCleanly) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  // Inside the DOS header: not an executable at all.
  EXPECT_EQ(ImportError(std::vector<uint8_t>(good.begin(), good.begin() + 40)), 5);
  // The PE offset beyond the end of the file.
  std::vector<uint8_t> distant = good;
  SetLe32(distant, 60, 0x7FFFFFF0);
  EXPECT_EQ(ImportError(distant), 5);
  // Inside the file header, the optional header and the section table: unexpected end.
  for (uint32_t cut : {view.pe + 10, view.pe + 40, view.sectionTable + 20}) {
    SCOPED_TRACE(cut);
    std::vector<uint8_t> shortFile(good.begin(), good.begin() + cut);
    EXPECT_EQ(ImportError(shortFile), 14);
  }
  // Cut inside the resource section.
  EXPECT_EQ(ImportError(std::vector<uint8_t>(good.begin(), good.begin() + view.rsrc + 20)), 14);
}

TEST(PeIcons, HeaderCountsBeyondTheFileFailCleanly) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  std::vector<uint8_t> bytes = good;
  SetLe16(bytes, view.pe + 6, 0xFFFF);  // sections
  EXPECT_EQ(ImportError(bytes), 14);
  bytes = good;
  SetLe16(bytes, view.pe + 20, 0xFFFF);  // optional header size
  EXPECT_EQ(ImportError(bytes), 14);
  // A section's raw data beyond the end.
  bytes = good;
  for (uint32_t i = 0; i < view.sectionCount; ++i)
    if (std::memcmp(&bytes[view.sectionTable + 40 * i], ".rsrc", 5) == 0)
      SetLe32(bytes, view.sectionTable + 40 * i + 20, 0x7FFFFF00);
  EXPECT_EQ(ImportError(bytes), 14);
}

TEST(PeIcons, DirectoriesClaimingHugeCountsFailWithoutGrowing) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  std::vector<uint8_t> bytes = good;
  SetLe16(bytes, view.rsrc + 14, 0xFFFF);  // root id entries
  SetLe16(bytes, view.rsrc + 12, 0xFFFF);  // root named entries
  EXPECT_EQ(ImportError(bytes), 4);
  bytes = good;
  const uint32_t names = view.rsrc + view.Below(view.Entry(0, 3));
  SetLe16(bytes, names + 14, 0xFFFF);
  EXPECT_EQ(ImportError(bytes), 4);
}

TEST(PeIcons, LoopingDirectoriesFailCleanly) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  // Every type's name level is the root itself: the items so made point at the name
  // directories as their languages, whose first entries are subdirectories.
  std::vector<uint8_t> bytes = good;
  SetLe32(bytes, view.Entry(0, 3) + 4, 0x80000000);
  SetLe32(bytes, view.Entry(0, 14) + 4, 0x80000000);
  const int code = ImportError(bytes);
  EXPECT_TRUE(code == 5 || code == 7) << code;
  // The group's language directory is its own name directory.
  bytes = good;
  const uint32_t nameEntry = view.NameEntry(14);
  SetLe32(bytes, nameEntry + 4, 0x80000000 | view.Below(view.Entry(0, 14)));
  EXPECT_EQ(ImportError(bytes), 5);
  // A language entry that is a subdirectory pointing at the root.
  bytes = good;
  SetLe32(bytes, view.LanguageEntry(14) + 4, 0x80000000);
  EXPECT_EQ(ImportError(bytes), 5);
  // An empty language directory.
  bytes = good;
  const uint32_t language = view.rsrc + view.Below(view.NameEntry(14));
  SetLe16(bytes, language + 12, 0);
  SetLe16(bytes, language + 14, 0);
  EXPECT_EQ(ImportError(bytes), 4);
}

TEST(PeIcons, ResourceDataOutsideTheFileIsInvalid) {
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  std::vector<uint8_t> bytes = good;
  SetLe32(bytes, view.DataEntry(14) + 4, 0x7FFFFFFF);  // a huge size
  EXPECT_EQ(ImportError(bytes), 4);
  bytes = good;
  SetLe32(bytes, view.DataEntry(14), 0x7FFF0000);  // an address in no section
  EXPECT_EQ(ImportError(bytes), 4);
  // Data running past the end of the file: the file ends inside the group's data.
  const uint32_t group = view.Data(14);
  bytes = good;
  SetLe32(bytes, view.DataEntry(14) + 4, static_cast<uint32_t>(bytes.size() - group + 1));
  EXPECT_EQ(ImportError(bytes), 4);
  // A data entry beyond the end of the file.
  bytes = good;
  SetLe32(bytes, view.LanguageEntry(14) + 4, 0x7FFFFFF0);
  EXPECT_EQ(ImportError(bytes), 14);
  // A name beyond the end of the file.
  bytes = good;
  const uint32_t names = view.rsrc + view.Below(view.Entry(0, 14));
  SetLe16(bytes, names + 12, 1);
  SetLe16(bytes, names + 14, 0);
  SetLe32(bytes, names + 16, 0xFFFFFF00);
  EXPECT_EQ(ImportError(bytes), 14);
}

TEST(PeIcons, EveryByteOfTheResourceTreeMayBeBroken) {
  // Each byte of the directories and the group in turn set to 0xFF or 0x00: the import
  // either succeeds or fails with a code of the readers, and never crashes.
  const std::vector<uint8_t> good = Fixture("pe-one-icon.dll");
  const PeView view(good);
  const uint32_t group = view.Data(14);
  std::vector<uint32_t> places;
  for (uint32_t i = view.rsrc; i < view.rsrc + 0x100; ++i)
    places.push_back(i);
  for (uint32_t i = group; i < group + 6 + 3 * 14; ++i)
    places.push_back(i);
  for (uint32_t at : places) {
    for (uint8_t value : {uint8_t(0xFF), uint8_t(0x00)}) {
      std::vector<uint8_t> bytes = good;
      if (bytes[at] == value)
        continue;
      bytes[at] = value;
      const int code = ImportError(bytes);
      EXPECT_TRUE(code == 0 || code == 1 || code == 4 || code == 5 || code == 7 || code == 13 ||
                  code == 14)
          << "byte " << at << " code " << code;
    }
  }
}

TEST(PeIcons, WinesOwnUser32) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  const std::string path = std::string(folder) + "\\user32.dll";
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << path << " not found";
  Sniff s = SniffPath(path);
  EXPECT_TRUE(s.accepted);
  EXPECT_EQ(s.type, 4);
  EXPECT_EQ(s.description.rfind("Windows executable\n", 0), 0u) << s.description;
  EXPECT_NE(s.description.find(" icons"), std::string::npos) << s.description;
  EXPECT_NE(s.description.find(" cursors"), std::string::npos) << s.description;
  EXPECT_NE(s.description.find(" bitmaps"), std::string::npos) << s.description;
  ASSERT_NE(s.preview, nullptr);
  EXPECT_GT(s.preview->width, 0);
  VcsFreeLayeredImage(s.preview);
}
