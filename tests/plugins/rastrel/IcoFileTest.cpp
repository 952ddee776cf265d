#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "RastrelPixels.h"

namespace {

struct Fixture {
  const char* file;
  int type;                    // 2 icon, 3 cursor
  std::vector<uint32_t> bits;  // per entry; 0 = a PNG entry (checked by the PNG tests)
  std::vector<POINT> hotspots;
};

const Fixture kFixtures[] = {
    {"icon-1bit-13x7.ico", 2, {1}, {}},
    {"icon-4bit-32x32.ico", 2, {4}, {}},
    {"icon-8bit-48x48.ico", 2, {8}, {}},
    {"icon-24bit-20x10.ico", 2, {24}, {}},
    {"icon-32bit-24x24.ico", 2, {32}, {}},
    {"icon-multi.ico", 2, {4, 8, 32}, {}},
    {"icon-png-256.ico", 2, {0, 4}, {}},
    {"cursor-8bit-48x48.cur", 3, {8}, {{5, 9}}},
    {"cursor-multi.cur", 3, {4, 8, 32}, {{0, 0}, {47, 1}, {23, 22}}},
};

// R, G, B, A of every pixel, rows top-down, as ImageMagick dumps them: colour from the
// palette or the pixel, alpha from the pixel (32 bits) or the mask.
std::vector<uint8_t> ToRgba(const VCXLayeredImage* image) {
  const VCXImage* color = FindLayer(image, VCX_KIND_COLOR);
  const VCXImage* mask = FindLayer(image, VCX_KIND_MASK);
  const uint32_t bpp = color->format >> 16;
  const uint8_t* pixels = vcxGetPixelSlot(color);
  const uint8_t* bits = vcxGetPixelSlot(mask);
  const size_t rowBytes = static_cast<size_t>(GetRecordRowBytes(color->format, color->width));
  const size_t maskRow = (static_cast<size_t>(mask->width) + 7) / 8;
  const VCXPalette* palette = vcxGetImagePalette(color);
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < color->height; ++y) {
    const uint8_t* row = pixels + rowBytes * y;
    for (int32_t x = 0; x < color->width; ++x) {
      const bool opaque = (bits[maskRow * y + (x >> 3)] >> (7 - (x & 7))) & 1;
      uint8_t r, g, b, a = opaque ? 255 : 0;
      if (bpp == 32 || bpp == 24) {
        const uint8_t* p = row + (bpp / 8) * x;
        b = p[0];
        g = p[1];
        r = p[2];
        if (bpp == 32)
          a = p[3];
      } else {
        uint32_t index = bpp == 8 ? row[x] : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                                      : (row[x >> 3] >> (7 - (x & 7))) & 1;
        const VCXPaletteEntry& e = vcxGetPaletteEntries(palette)[index];
        r = static_cast<uint8_t>(e.red);
        g = static_cast<uint8_t>(e.green);
        b = static_cast<uint8_t>(e.blue);
      }
      out.insert(out.end(), {r, g, b, a});
    }
  }
  return out;
}

// Another reader's decode of a fixture's entry, beside it as NAME.ENTRY.rgba.
std::vector<uint8_t> ReferenceRgba(const std::string& name, int32_t entry) {
  return ReadFileBytes(FixtureFolder() + name + "." + std::to_string(entry) + ".rgba");
}

VCXMultiImage* ImportFixture(const char* name, int* type = nullptr) {
  int t = 0;
  VCXMultiImage* multi = Rastrel().import(nullptr, (FixtureFolder() + name).c_str(), &t);
  if (type)
    *type = t;
  return multi;
}

void ExpectSameRecords(const VCXLayeredImage* a, const VCXLayeredImage* b) {
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
    EXPECT_EQ(x->width, y->width);
    EXPECT_EQ(x->height, y->height);
    EXPECT_EQ(x->x, y->x);
    EXPECT_EQ(x->y, y->y);
    EXPECT_STREQ(x->name, y->name);
    const VCXPalette* px = vcxGetImagePalette(x);
    const VCXPalette* py = vcxGetImagePalette(y);
    ASSERT_EQ(px == nullptr, py == nullptr);
    if (px) {
      ASSERT_EQ(px->count, py->count);
      EXPECT_EQ(0, std::memcmp(vcxGetPaletteEntries(px), vcxGetPaletteEntries(py),
                               sizeof(VCXPaletteEntry) * px->count));
    }
    const size_t bytes = static_cast<size_t>(GetRecordRowBytes(x->format, x->width) * x->height);
    if (bytes) {
      EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(x), vcxGetPixelSlot(y), bytes)) << "layer " << i;
    }
  }
}

}  // namespace

TEST(IcoImport, EveryFixtureDecodesLikeImageMagick) {
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    int type = 0;
    char description[256] = {};
    ASSERT_EQ(Rastrel().canImport((FixtureFolder() + f.file).c_str(), &type, nullptr, description,
                                  sizeof description), 1);
    EXPECT_EQ(type, f.type);
    VCXMultiImage* multi = ImportFixture(f.file, &type);
    ASSERT_NE(multi, nullptr) << Rastrel().LastError();
    EXPECT_EQ(type, f.type);
    ASSERT_EQ(multi->count, static_cast<int32_t>(f.bits.size()));
    for (int32_t i = 0; i < multi->count; ++i) {
      SCOPED_TRACE(i);
      const VCXLayeredImage* image = vcxGetImageSlot(multi, i);
      if (f.bits[i] == 0) {
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 256);
        EXPECT_EQ(image->height, 256);
        continue;
      }
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->format, f.bits[i] << 16);
      EXPECT_EQ(image->layerCount, f.type == 3 ? 3 : 2);
      const VCXImage* color = vcxGetLayerSlot(image, 0);
      const VCXImage* mask = vcxGetLayerSlot(image, 1);
      ASSERT_TRUE(color && mask);
      EXPECT_EQ(color->kind, VCX_KIND_COLOR);
      EXPECT_STREQ(color->name, "");
      EXPECT_EQ(mask->kind, VCX_KIND_MASK);
      EXPECT_EQ(mask->format, VCX_FORMAT_1);
      EXPECT_STREQ(mask->name, "MASK");
      const VCXPalette* palette = vcxGetImagePalette(color);
      if (f.bits[i] <= 8) {
        ASSERT_NE(palette, nullptr);
        EXPECT_EQ(palette->count, 1 << f.bits[i]);
      } else {
        EXPECT_EQ(palette, nullptr);
      }
      if (f.type == 3) {
        const VCXImage* hotspot = vcxGetLayerSlot(image, 2);
        ASSERT_NE(hotspot, nullptr);
        EXPECT_EQ(hotspot->kind, VCX_KIND_HOTSPOT);
        EXPECT_STREQ(hotspot->name, "HOTSPOT");
        EXPECT_EQ(hotspot->x, f.hotspots[i].x);
        EXPECT_EQ(hotspot->y, f.hotspots[i].y);
        EXPECT_EQ(vcxGetPixelSlot(hotspot), nullptr);
      }
      const std::vector<uint8_t> reference = ReferenceRgba(f.file, i);
      ASSERT_EQ(reference.size(), 4u * image->width * image->height);
      const std::vector<uint8_t> decoded = ToRgba(image);
      EXPECT_TRUE(decoded == reference);
    }
    VcsFreeMultiImage(multi);
  }
}

TEST(IcoImport, ThirtyTwoBitEntriesAreDrawnThroughTheirMaskOnlyWithoutAlpha) {
  // Every alpha byte 0: the colours become opaque and the AND mask alone gives the
  // transparency. One other alpha byte anywhere: every byte as stored, and a mask that
  // cuts nothing.
  for (uint16_t kind : {1, 2}) {
    for (int lit : {-1, 0, 23}) {
      SCOPED_TRACE(testing::Message() << "type " << kind << " lit " << lit);
      Pixels32 picture(8, 3);
      if (lit >= 0)
        picture.bgra[4 * lit + 3] = 1;
      std::vector<uint8_t> bytes = SmallIcon(8, 6, 32);
      SetLe16(bytes, 2, kind);
      std::vector<uint8_t> rows = picture.ColorRows();
      const std::vector<uint8_t> mask = picture.MaskRows();
      rows.insert(rows.end(), mask.begin(), mask.end());
      ASSERT_EQ(bytes.size(), 62 + rows.size());
      std::copy(rows.begin(), rows.end(), bytes.begin() + 62);
      ImportResult r = ImportFileBytes(bytes, "alpha.ico");
      ASSERT_NE(r.multi, nullptr) << r.code;
      const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
      EXPECT_TRUE(LayerBytes(FindLayer(image, VCX_KIND_COLOR)) == picture.ColorLayer(lit < 0));
      EXPECT_TRUE(LayerBytes(FindLayer(image, VCX_KIND_MASK)) == picture.MaskLayer(lit >= 0));
      VcsFreeMultiImage(r.multi);
    }
  }
}

TEST(IcoImport, AlphaRampUnderAMaskOfAlphaBelowHalfReadsAsPillowShowsIt) {
  // A 32 x 32 ramp of alpha across the columns whose AND mask is set where alpha is below
  // 128, and the same colours and mask at 24 bits (fixtures/make-ramp-fixture.py). Pillow
  // draws the 32-bit entry from its alpha and the 24-bit one through its mask.
  VCXMultiImage* multi = ImportFixture("icon-ramp-32x32.ico");
  ASSERT_NE(multi, nullptr) << Rastrel().LastError();
  ASSERT_EQ(multi->count, 2);
  for (int32_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const std::vector<uint8_t> pillow = ReferenceRgba("icon-ramp-32x32.ico", i);
    ASSERT_EQ(pillow.size(), 4096u);
    const std::vector<uint8_t> decoded = RecordToRgba(vcxGetImageSlot(multi, i));
    EXPECT_TRUE(decoded == pillow);
    // Columns 1 to 15 of 32 rows have alpha 8 to 123.
    int faint = 0;
    for (size_t at = 3; at < decoded.size(); at += 4)
      faint += decoded[at] >= 1 && decoded[at] <= 127;
    EXPECT_EQ(faint, i == 0 ? 480 : 0);
  }
  VcsFreeMultiImage(multi);
}

TEST(IcoImport, PillowsThirtyTwoBitEntriesWithoutAndRowsReadAsPillowShowsThem) {
  // Pillow's ICO writer in its BMP form (fixtures/make-pillow-bmp-icon.py): 16 x 16 and
  // 32 x 32 entries of 32 bits, height doubled, no AND rows; the last ends the file.
  VCXMultiImage* multi = ImportFixture("icon-pillow-bmp.ico");
  ASSERT_NE(multi, nullptr) << Rastrel().LastError();
  ASSERT_EQ(multi->count, 2);
  for (int32_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const size_t side = i ? 32 : 16;
    const std::vector<uint8_t> pillow = ReferenceRgba("icon-pillow-bmp.ico", i);
    ASSERT_EQ(pillow.size(), 4 * side * side);
    EXPECT_TRUE(RecordToRgba(vcxGetImageSlot(multi, i)) == pillow);
  }
  VcsFreeMultiImage(multi);
  // Without alpha the last entry needs the AND rows that it lacks.
  std::vector<uint8_t> bytes = FixtureBytes("icon-pillow-bmp.ico");
  const size_t rows = Le32(bytes, 6 + 16 + 12) + 40;
  ASSERT_EQ(bytes.size(), rows + 32 * 32 * 4);
  for (size_t at = rows + 3; at < bytes.size(); at += 4)
    bytes[at] = 0;
  ImportResult r = ImportFileBytes(bytes, "no-alpha.ico");
  EXPECT_EQ(r.multi, nullptr);
  EXPECT_EQ(r.code, VCX_ERROR_EOF);
}

TEST(IcoImport, DescriptionNamesKindAndCount) {
  char text[64] = {};
  int type = 0;
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-multi.ico").c_str(), &type, nullptr, text, sizeof text), 1);
  EXPECT_STREQ(text, "Windows icon\n3 images");
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "cursor-8bit-48x48.cur").c_str(), &type, nullptr, text, sizeof text), 1);
  EXPECT_STREQ(text, "Windows cursor\n1 image");
  EXPECT_EQ(type, 3);
  // A short buffer is cut and terminated.
  char shortText[8] = {};
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-multi.ico").c_str(), &type, nullptr, shortText, sizeof shortText), 1);
  EXPECT_STREQ(shortText, "Windows");
}

TEST(IcoImport, PreviewIsTheLargestReadableEntry) {
  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-multi.ico").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  // 48 x 48 x 8 and 24 x 24 x 32 weigh the same; the later entry wins the tie.
  EXPECT_EQ(preview->width, 24);
  EXPECT_EQ(preview->format, VCX_FORMAT_32);
  EXPECT_EQ(preview->layerCount, 2);
  // A second probe frees the previous preview first.
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-32bit-24x24.ico").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->width, 24);
  VcsFreeLayeredImage(preview);
}

TEST(IcoImport, PngEntryWinsPreview) {
  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-png-256.ico").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->width, 256);
  VcsFreeLayeredImage(preview);
}

TEST(IcoImport, PreviewLimitCountsThePixelsOfAPngEntry) {
  // The 256 x 256 PNG entry of the fixture alone in an icon of its own.
  const std::vector<uint8_t> fixture = ReadFileBytes(FixtureFolder() + "icon-png-256.ico");
  ASSERT_GE(fixture.size(), 22u);
  const uint32_t size = Le32(fixture, 6 + 8);
  const uint32_t offset = Le32(fixture, 6 + 12);
  ASSERT_LE(size_t(offset) + size, fixture.size());
  ASSERT_EQ(0x474E5089u, Le32(fixture, offset));  // the PNG signature
  std::vector<uint8_t> icon(fixture.begin(), fixture.begin() + 6 + 16);
  SetLe16(icon, 4, 1);
  SetLe32(icon, 6 + 12, 22);
  icon.insert(icon.end(), fixture.begin() + offset, fixture.begin() + offset + size);
  const std::string path = TempPath("png-entry-256.ico");
  ASSERT_TRUE(WriteFileBytes(path, icon));

  // At the limit a preview is made; one pixel below it none, and the sniff still accepts.
  for (const int32_t limit : {65536, 65535}) {
    SCOPED_TRACE(limit);
    PreviewMetrics metrics(184, limit);
    VCXLayeredImage* preview = nullptr;
    int type = 0;
    EXPECT_EQ(Rastrel().canImport(path.c_str(), &type, &preview, nullptr, 0), 1);
    EXPECT_EQ(type, 2);
    if (limit == 65536) {
      ASSERT_NE(preview, nullptr);
      EXPECT_EQ(preview->width, 256);
      EXPECT_EQ(preview->height, 256);
    } else {
      EXPECT_EQ(preview, nullptr);
    }
    if (preview)
      VcsFreeLayeredImage(preview);
  }
  // Beside a smaller entry, the PNG entry above the limit leaves the preview to that one.
  {
    PreviewMetrics metrics(184, 65535);
    VCXLayeredImage* preview = nullptr;
    ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "icon-png-256.ico").c_str(), nullptr, &preview, nullptr, 0), 1);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->width, 16);
    EXPECT_EQ(preview->format, VCX_FORMAT_4);
    VcsFreeLayeredImage(preview);
  }
  DeleteFileA(path.c_str());
}

TEST(IcoRoundTrip, ImportExportImportIsExactAndStable) {
  for (const Fixture& f : kFixtures) {
    // With PNG compression on, the large entry is written last: the order changes.
    if (std::string(f.file) == "icon-png-256.ico")
      continue;
    SCOPED_TRACE(f.file);
    int type = 0;
    VCXMultiImage* first = ImportFixture(f.file, &type);
    ASSERT_NE(first, nullptr);
    int flags = -1;
    EXPECT_EQ(Rastrel().canExport(type, first, &flags), 1);
    EXPECT_EQ(flags, 0);
    const std::string out1 = TempPath("round1.ico");
    const std::string out2 = TempPath("round2.ico");
    ASSERT_EQ(Rastrel().exportFile(nullptr, out1.c_str(), type, first), 1) << Rastrel().LastError();
    int type2 = 0;
    VCXMultiImage* second = Rastrel().import(nullptr, out1.c_str(), &type2);
    ASSERT_NE(second, nullptr) << Rastrel().LastError();
    EXPECT_EQ(type2, type);
    ASSERT_EQ(second->count, first->count);
    for (int32_t i = 0; i < first->count; ++i)
      ExpectSameRecords(vcxGetImageSlot(first, i), vcxGetImageSlot(second, i));
    ASSERT_EQ(Rastrel().exportFile(nullptr, out2.c_str(), type2, second), 1);
    const std::vector<uint8_t> bytes1 = ReadFileBytes(out1);
    EXPECT_FALSE(bytes1.empty());
    EXPECT_TRUE(bytes1 == ReadFileBytes(out2));
    VcsFreeMultiImage(first);
    VcsFreeMultiImage(second);
    DeleteFileA(out1.c_str());
    DeleteFileA(out2.c_str());
  }
}

TEST(IcoExport, WritesDirectoryHeaderPaletteAndMaskLayout) {
  // 4 bits, 3 palette entries, 3 x 2 pixels, with a mask whose first pixel is clear.
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_4, 3, 2, 3, true);
  VCXImage* color = vcxGetLayerSlot(image, 0);
  VCXPaletteEntry* entries = vcxGetPaletteEntries(vcxGetImagePalette(color));
  entries[0] = {255, 10, 20, 30};
  entries[1] = {255, 40, 50, 60};
  entries[2] = {255, 70, 80, 90};
  uint8_t* pixels = vcxGetPixelSlot(color);
  pixels[0] = 0x01;  // top row: 0, 1, 2
  pixels[1] = 0x20;
  pixels[2] = 0x21;  // bottom row: 2, 1, 0
  pixels[3] = 0x00;
  uint8_t* maskBits = vcxGetPixelSlot(vcxGetLayerSlot(image, 1));
  maskBits[0] = 0x60;  // top row: clear, set, set
  maskBits[1] = 0xE0;
  VCXMultiImage* doc = Wrap({image});
  const std::string path = TempPath("layout.ico");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 1) << Rastrel().LastError();
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 6u + 16 + 40 + 64 + 8 + 8);
  EXPECT_EQ(Le16(b, 0), 0);
  EXPECT_EQ(Le16(b, 2), 1);
  EXPECT_EQ(Le16(b, 4), 1);
  EXPECT_EQ(b[6], 3);
  EXPECT_EQ(b[7], 2);
  EXPECT_EQ(b[8], 16);  // colour count
  EXPECT_EQ(b[9], 0);
  EXPECT_EQ(Le16(b, 10), 1);
  EXPECT_EQ(Le16(b, 12), 4);
  EXPECT_EQ(Le32(b, 14), 40u + 64 + 8 + 8);
  EXPECT_EQ(Le32(b, 18), 22u);
  EXPECT_EQ(Le32(b, 22), 40u);
  EXPECT_EQ(Le32(b, 26), 3u);
  EXPECT_EQ(Le32(b, 30), 4u);  // height doubled
  EXPECT_EQ(Le16(b, 34), 1);
  EXPECT_EQ(Le16(b, 36), 4);
  EXPECT_EQ(Le32(b, 42), 16u);  // colour and mask rows
  // Palette: 3 entries B, G, R, 0 and 13 zero entries.
  const uint8_t firstEntry[4] = {30, 20, 10, 0};
  EXPECT_EQ(0, std::memcmp(&b[62], firstEntry, 4));
  for (size_t i = 62 + 12; i < 62 + 64; ++i)
    EXPECT_EQ(b[i], 0) << i;
  // Colour rows bottom-up, padded to 4 bytes.
  const uint8_t rows[8] = {0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0};
  EXPECT_EQ(0, std::memcmp(&b[126], rows, 8));
  // Mask rows bottom-up, inverted: 1 = transparent.
  const uint8_t mask[8] = {0x1F, 0, 0, 0, 0x9F, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(&b[134], mask, 8));
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(IcoExport, NoMaskGivesAllOpaqueAndMask) {
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_24, 2, 2, 0, false);
  VCXMultiImage* doc = Wrap({image});
  const std::string path = TempPath("nomask.ico");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 1);
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 6u + 16 + 40 + 16 + 8);
  for (size_t i = 6 + 16 + 40 + 16; i < b.size(); ++i)
    EXPECT_EQ(b[i], 0);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(IcoExport, EntryOf128By128IsWrittenAsDib) {
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_32, 128, 128, 0, true);
  VCXMultiImage* doc = Wrap({image});
  const std::string path = TempPath("128.ico");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 1) << Rastrel().LastError();
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_GT(b.size(), 26u);
  EXPECT_EQ(b[6], 128);
  EXPECT_EQ(b[7], 128);
  EXPECT_EQ(Le32(b, 22), 40u);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(IcoExport, CursorKeepsHotspotAndMergesLayers) {
  // Two colour layers and a hotspot: CanExport reports the merge, the file holds one
  // flattened 32-bit entry with the hotspot in its directory entry.
  VCXLayeredImage request = {sizeof(VCXLayeredImage), 1, VCX_FORMAT_32, 0, 4, 4, 0, 0, 3};
  VCXLayeredImage* image = VcsCreateLayeredImage(&request);
  for (int i = 0; i < 2; ++i) {
    VCXImage layer = {};
    layer.headerSize = sizeof layer;
    layer.kind = VCX_KIND_COLOR;
    layer.format = VCX_FORMAT_32;
    layer.width = 2;
    layer.height = 2;
    layer.x = 2 * i;
    layer.y = 2 * i;
    layer.opacity = 1.0f;
    VCXImage* l = VcsCreateImage(&layer);
    std::memset(vcxGetPixelSlot(l), i ? 0xFF : 0x80, 16);
    vcxSetLayerSlot(image, i, l);
  }
  VCXImage hotspot = {};
  hotspot.headerSize = sizeof hotspot;
  hotspot.kind = VCX_KIND_HOTSPOT;
  hotspot.x = 3;
  hotspot.y = 1;
  std::strcpy(hotspot.name, "HOTSPOT");
  vcxSetLayerSlot(image, 2, VcsCreateImage(&hotspot));
  VCXMultiImage* doc = Wrap({image});
  int flags = 0;
  EXPECT_EQ(Rastrel().canExport(3, doc, &flags), 1);
  EXPECT_EQ(flags, VCX_LOSS_LAYERS);
  const std::string path = TempPath("merged.cur");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 3, doc), 1) << Rastrel().LastError();
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_GT(b.size(), 22u);
  EXPECT_EQ(Le16(b, 2), 2);
  EXPECT_EQ(Le16(b, 10), 3);
  EXPECT_EQ(Le16(b, 12), 1);
  int type = 0;
  VCXMultiImage* back = Rastrel().import(nullptr, path.c_str(), &type);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(type, 3);
  const VCXLayeredImage* read = vcxGetImageSlot(back, 0);
  EXPECT_EQ(read->format, VCX_FORMAT_32);
  const uint8_t* pixels = vcxGetPixelSlot(vcxGetLayerSlot(read, 0));
  EXPECT_EQ(pixels[0], 0x80);        // top-left from the first layer
  EXPECT_EQ(pixels[4 * 3 + 3], 0);   // (3, 0): outside both layers, transparent
  EXPECT_EQ(pixels[4 * 15], 0xFF);   // bottom-right from the second layer
  const VCXImage* spot = FindLayer(read, VCX_KIND_HOTSPOT);
  ASSERT_NE(spot, nullptr);
  EXPECT_EQ(spot->x, 3);
  EXPECT_EQ(spot->y, 1);
  VcsFreeMultiImage(back);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(IcoExport, RefusesWhatItCannotWrite) {
  // A 16-bit image, an 8-bit image without a palette, an empty document.
  VCXMultiImage* sixteen = Wrap({MakeIcon(VCX_FORMAT_16, 2, 2, 0, false)});
  VCXMultiImage* noPalette = Wrap({MakeIcon(VCX_FORMAT_8, 2, 2, 0, false)});
  VCXMultiImage* empty = Wrap({nullptr});
  for (VCXMultiImage* doc : {sixteen, noPalette, empty}) {
    EXPECT_EQ(Rastrel().canExport(2, doc, nullptr), 0);
    EXPECT_EQ(Rastrel().LastError(), 0);
    const std::string path = TempPath("refused.ico");
    EXPECT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 0);
    EXPECT_EQ(Rastrel().LastError(), VCX_ERROR_FORMAT);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    VcsFreeMultiImage(doc);
  }
}

TEST(IcoExport, UncreatableFileGivesCode10AndText) {
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 2, 2, 0, true)});
  const std::string path = TempPath("no-such-folder\\x.ico");
  EXPECT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 0);
  std::string message;
  EXPECT_EQ(Rastrel().LastError(&message), VCX_ERROR_CREATE);
  EXPECT_EQ(message, "Cannot create file");
  VcsFreeMultiImage(doc);
}

TEST(IcoExport, FailedWriteDeletesThePartFile) {
  // The first entry is written; the second has a mask that does not fit its image.
  VCXLayeredImage* good = MakeIcon(VCX_FORMAT_32, 2, 2, 0, true);
  VCXLayeredImage* bad = MakeIcon(VCX_FORMAT_32, 2, 2, 0, true);
  vcxGetLayerSlot(bad, 1)->width = 1;
  VCXMultiImage* doc = Wrap({good, bad});
  const std::string path = TempPath("partial.ico");
  EXPECT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 0);
  EXPECT_EQ(Rastrel().LastError(), VCX_ERROR_DATA);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  VcsFreeMultiImage(doc);
}
