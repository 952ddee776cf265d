#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "common/ProcessMemory.h"
#include "PillowFrames.h"
#include "RastrelHarness.h"
#include "RastrelPixels.h"

namespace {

struct PngFixture {
  const char* file;
  uint32_t format;
  int layers;       // 2 with a mask from tRNS
  int paletteSize;  // 0: no palette
  bool sixteen;     // compared with the 16-bit decode
};

const PngFixture kPngFixtures[] = {
    {"png-grey1.ico", VCX_FORMAT_8, 1, 0, false},
    {"png-grey2.ico", VCX_FORMAT_8, 1, 0, false},
    {"png-grey4.ico", VCX_FORMAT_8, 1, 0, false},
    {"png-grey8.ico", VCX_FORMAT_8, 1, 0, false},
    {"png-grey16.ico", VCX_FORMAT_16, 1, 0, true},
    {"png-grey8-trns.ico", VCX_FORMAT_8, 2, 0, false},
    {"png-grey16-trns.ico", VCX_FORMAT_16, 2, 0, true},
    {"png-pal1.ico", VCX_FORMAT_1, 1, 2, false},
    {"png-pal2.ico", VCX_FORMAT_8, 1, 4, false},
    {"png-pal4.ico", VCX_FORMAT_4, 1, 6, false},
    {"png-pal8.ico", VCX_FORMAT_8, 1, 6, false},
    {"png-rgb8.ico", VCX_FORMAT_24, 1, 0, false},
    {"png-rgb16.ico", VCX_FORMAT_48, 1, 0, true},
    {"png-rgb8-trns.ico", VCX_FORMAT_24, 2, 0, false},
    {"png-rgba8.ico", VCX_FORMAT_32, 1, 0, false},
    {"png-rgba16.ico", VCX_FORMAT_64, 1, 0, true},
    {"png-ga8.ico", VCX_FORMAT_32, 1, 0, false},
    {"png-ga16.ico", VCX_FORMAT_64, 1, 0, true},
};

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// The data of the first chunk of a kind; found is false without one.
std::vector<uint8_t> Chunk(const std::vector<uint8_t>& png, const char* kind, bool* found) {
  *found = false;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = Be32(png, at);
    if (std::memcmp(&png[at + 4], kind, 4) == 0) {
      *found = true;
      return std::vector<uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  return {};
}

// Exports the images as an icon file and returns its bytes.
std::vector<uint8_t> ExportIcon(VCXMultiImage* doc, const char* name = "png.ico") {
  const std::string path = TempPath(name);
  EXPECT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 1) << Rastrel().LastError();
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  DeleteFileA(path.c_str());
  return bytes;
}

void SetBitOff(VCXImage* mask, int32_t x, int32_t y) {
  const size_t row = (static_cast<size_t>(mask->width) + 7) / 8;
  vcxGetPixelSlot(mask)[row * y + (x >> 3)] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
}

// 24-bit pixels of value rgb (R, G, B) everywhere.
void Fill24(VCXImage* color, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = vcxGetPixelSlot(color);
  for (int32_t i = 0; i < color->width * color->height; ++i) {
    p[3 * i] = b;
    p[3 * i + 1] = g;
    p[3 * i + 2] = r;
  }
}

}  // namespace

TEST(PngImport, EveryColourTypeDecodesLikeImageMagick) {
  for (const PngFixture& f : kPngFixtures) {
    SCOPED_TRACE(f.file);
    ImportResult r = ImportPath(FixtureFolder() + f.file);
    ASSERT_NE(r.multi, nullptr) << r.code << " " << r.message;
    EXPECT_EQ(r.type, 2);
    const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->format, f.format);
    EXPECT_EQ(image->width, 7);
    EXPECT_EQ(image->height, 5);
    ASSERT_EQ(image->layerCount, f.layers);
    const VCXImage* color = vcxGetLayerSlot(image, 0);
    EXPECT_EQ(color->kind, VCX_KIND_COLOR);
    EXPECT_STREQ(color->name, "");
    const VCXPalette* palette = vcxGetImagePalette(color);
    EXPECT_EQ(palette ? palette->count : 0, f.paletteSize);
    if (f.layers == 2) {
      const VCXImage* mask = vcxGetLayerSlot(image, 1);
      EXPECT_EQ(mask->kind, VCX_KIND_MASK);
      EXPECT_EQ(mask->format, VCX_FORMAT_1);
      EXPECT_STREQ(mask->name, "MASK");
    }
    const std::vector<uint8_t> reference = FixtureBytes(std::string(f.file) + (f.sixteen ? ".rgba16" : ".rgba"));
    EXPECT_TRUE(RecordToRgba(image, f.sixteen) == reference);
    VcsFreeMultiImage(r.multi);
  }
}

TEST(PngImport, GreyKeyMasksExactlyTheZeroPixels) {
  ImportResult r = ImportPath(FixtureFolder() + "png-grey8-trns.ico");
  ASSERT_NE(r.multi, nullptr);
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  const uint8_t* grey = vcxGetPixelSlot(FindLayer(image, VCX_KIND_COLOR));
  const uint8_t* bits = vcxGetPixelSlot(FindLayer(image, VCX_KIND_MASK));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ((bits[y] >> (7 - x)) & 1, grey[7 * y + x] != 0 ? 1 : 0) << x << "," << y;
  VcsFreeMultiImage(r.multi);
}

TEST(PngImport, SixteenBitSamplesAreLittleEndianAndResolutionIsKept) {
  ImportResult r = ImportPath(FixtureFolder() + "png-rgba16.ico");
  ASSERT_NE(r.multi, nullptr);
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  // Pixel (1, 0): R = 4099, G = 1, B = 0, A = 50 (the fixture's formulas).
  const uint8_t* p = vcxGetPixelSlot(FindLayer(image, VCX_KIND_COLOR)) + 8;
  EXPECT_EQ(p[0] | p[1] << 8, 0);
  EXPECT_EQ(p[2] | p[3] << 8, 1);
  EXPECT_EQ(p[4] | p[5] << 8, 4099);
  EXPECT_EQ(p[6] | p[7] << 8, 50);
  VcsFreeMultiImage(r.multi);
  r = ImportPath(FixtureFolder() + "png-rgb8.ico");
  ASSERT_NE(r.multi, nullptr);
  EXPECT_FLOAT_EQ(vcxGetImageSlot(r.multi, 0)->xResolution, 3780.0f);
  EXPECT_FLOAT_EQ(vcxGetImageSlot(r.multi, 0)->yResolution, 2835.0f);
  VcsFreeMultiImage(r.multi);
}

TEST(PngImport, PngEntryOfACursorHasNoHotspot) {
  std::vector<uint8_t> cur = FixtureBytes("png-rgba8.ico");
  SetLe16(cur, 2, 2);
  SetLe16(cur, 6 + 4, 3);
  ImportResult r = ImportFileBytes(cur, "png.cur");
  ASSERT_NE(r.multi, nullptr) << r.code;
  EXPECT_EQ(r.type, 3);
  EXPECT_EQ(vcxGetImageSlot(r.multi, 0)->layerCount, 1);
  VcsFreeMultiImage(r.multi);
}

TEST(PngExport, PhotoIsExactAndNoLargerThanImageMagicks) {
  const std::vector<uint8_t> magick = FixtureBytes("png-photo-256.ico");
  ASSERT_FALSE(magick.empty());
  ImportResult r = ImportPath(FixtureFolder() + "png-photo-256.ico");
  ASSERT_NE(r.multi, nullptr) << r.code << " " << r.message;
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  ASSERT_EQ(image->format, VCX_FORMAT_32);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(RecordToRgba(image))));
  const std::vector<uint8_t> reference = FixtureBytes("png-photo-256.ico.fnv");
  EXPECT_EQ(std::string(hash), std::string(reference.begin(), reference.begin() + 16));

  const std::vector<uint8_t> ours = ExportIcon(r.multi, "photo.ico");
  ASSERT_GT(ours.size(), 22u);
  EXPECT_EQ(ours[6], 0);  // 256 is written as 0
  EXPECT_EQ(ours[7], 0);
  const std::vector<uint8_t> entry = FirstEntry(ours);
  EXPECT_EQ(0, std::memcmp(entry.data(), "\x89PNG\r\n\x1a\n", 8));
  EXPECT_LE(entry.size(), FirstEntry(magick).size());
  std::printf("256 x 256 entry: plug-in %zu bytes, ImageMagick %zu bytes\n", entry.size(), FirstEntry(magick).size());

  ImportResult back = ImportFileBytes(ours, "photo-back.ico");
  ASSERT_NE(back.multi, nullptr) << back.code;
  const VCXLayeredImage* again = vcxGetImageSlot(back.multi, 0);
  EXPECT_EQ(again->format, VCX_FORMAT_32);
  EXPECT_EQ(again->layerCount, 1);
  EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(FindLayer(image, VCX_KIND_COLOR)),
                           vcxGetPixelSlot(FindLayer(again, VCX_KIND_COLOR)), 256 * 256 * 4));
  VcsFreeMultiImage(back.multi);
  VcsFreeMultiImage(r.multi);
}

TEST(PngExport, LargeEntriesOfEveryDepthRoundTrip) {
  const int32_t w = 131, h = 129;
  for (uint32_t format : {VCX_FORMAT_1, VCX_FORMAT_4, VCX_FORMAT_8, VCX_FORMAT_24, VCX_FORMAT_32}) {
    SCOPED_TRACE(format);
    const uint32_t bpp = format >> 16;
    const size_t rowBytes = static_cast<size_t>(GetRecordRowBytes(format, w));
    std::vector<uint8_t> pixels(rowBytes * h);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<uint8_t>((i * 7 + (i / rowBytes) * 13) ^ (i >> 5));
    // The bits past the last pixel of a row are 0.
    const uint32_t spare = static_cast<uint32_t>(rowBytes * 8 - bpp * w);
    for (int32_t y = 0; y < h; ++y)
      pixels[rowBytes * y + rowBytes - 1] &= static_cast<uint8_t>(0xFF << spare);
    const int paletteSize = bpp <= 8 ? 1 << bpp : 0;
    VCXLayeredImage* image = MakeImage(format, w, h, pixels, paletteSize, false);
    if (paletteSize) {
      VCXPaletteEntry* e = vcxGetPaletteEntries(vcxGetImagePalette(vcxGetLayerSlot(image, 0)));
      for (int i = 0; i < paletteSize; ++i)
        e[i] = {i % 5 ? 255 : 100, i, 255 - i, (i * 3) & 255};
    }
    VCXMultiImage* doc = Wrap({image});
    const std::vector<uint8_t> ico = ExportIcon(doc);
    ASSERT_GT(ico.size(), 30u);
    EXPECT_EQ(ico[6], w);
    EXPECT_EQ(ico[7], h);
    EXPECT_EQ(Le16(ico, 6 + 6), bpp);
    const std::vector<uint8_t> entry = FirstEntry(ico);
    EXPECT_EQ(0, std::memcmp(entry.data(), "\x89PNG\r\n\x1a\n", 8));
    ImportResult back = ImportFileBytes(ico);
    ASSERT_NE(back.multi, nullptr) << back.code << " " << back.message;
    const VCXLayeredImage* again = vcxGetImageSlot(back.multi, 0);
    EXPECT_EQ(again->format, format);
    EXPECT_TRUE(RecordToRgba(image) == RecordToRgba(again));
    const uint8_t* read = vcxGetPixelSlot(FindLayer(again, VCX_KIND_COLOR));
    size_t firstDifference = 0;
    while (firstDifference < pixels.size() && pixels[firstDifference] == read[firstDifference])
      ++firstDifference;
    EXPECT_EQ(firstDifference, pixels.size()) << int(pixels[firstDifference]) << " " << int(read[firstDifference]);
    VcsFreeMultiImage(back.multi);
    VcsFreeMultiImage(doc);
  }
}

TEST(PngExport, EntryOf129By128IsPng) {
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 129, 128, 0, true)});
  const std::vector<uint8_t> entry = FirstEntry(ExportIcon(doc));
  EXPECT_EQ(0, std::memcmp(entry.data(), "\x89PNG", 4));
  VcsFreeMultiImage(doc);
}

TEST(PngExport, PaletteAlphasUpToTheLastTranslucentEntry) {
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_8, 200, 100, 4, false);
  VCXPaletteEntry* e = vcxGetPaletteEntries(vcxGetImagePalette(vcxGetLayerSlot(image, 0)));
  e[0] = {255, 1, 2, 3};
  e[1] = {0, 4, 5, 6};
  e[2] = {255, 7, 8, 9};
  e[3] = {255, 10, 11, 12};
  uint8_t* p = vcxGetPixelSlot(vcxGetLayerSlot(image, 0));
  for (int i = 0; i < 200 * 100; ++i)
    p[i] = static_cast<uint8_t>(i % 4);
  VCXMultiImage* doc = Wrap({image});
  const std::vector<uint8_t> png = FirstEntry(ExportIcon(doc));
  bool found = false;
  const std::vector<uint8_t> plte = Chunk(png, "PLTE", &found);
  EXPECT_TRUE(found);
  EXPECT_EQ(plte.size(), 12u);
  const std::vector<uint8_t> trns = Chunk(png, "tRNS", &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(trns == std::vector<uint8_t>({255, 0}));
  Chunk(png, "pHYs", &found);
  EXPECT_FALSE(found);
  VcsFreeMultiImage(doc);
}

TEST(PngExport, ResolutionIsWrittenRounded) {
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_32, 200, 100, 0, false);
  image->xResolution = 3779.6f;
  image->yResolution = 0.0f;
  VCXMultiImage* doc = Wrap({image});
  const std::vector<uint8_t> png = FirstEntry(ExportIcon(doc));
  bool found = false;
  const std::vector<uint8_t> phys = Chunk(png, "pHYs", &found);
  ASSERT_TRUE(found);
  ASSERT_EQ(phys.size(), 9u);
  EXPECT_EQ(Be32(phys, 0), 3780u);
  EXPECT_EQ(Be32(phys, 4), 0u);
  EXPECT_EQ(phys[8], 1);
  VcsFreeMultiImage(doc);
}

TEST(PngExport, MaskOfA24BitEntryBecomesAColourKey) {
  struct Case {
    uint8_t r, g, b;        // the opaque colour
    bool blackPixel;        // one opaque black pixel as well
    bool whitePixel;        // and one opaque white pixel
    uint8_t key[3];         // expected tRNS red, green, blue (low bytes)
  };
  const Case cases[] = {
      {10, 20, 30, false, false, {0, 0, 0}},         // black is free
      {10, 20, 30, true, false, {255, 255, 255}},    // black taken: white
      {10, 20, 30, true, true, {0, 0, 1}},           // both taken: the smallest free value
  };
  for (const Case& c : cases) {
    VCXLayeredImage* image = MakeIcon(VCX_FORMAT_24, 150, 120, 0, true);
    VCXImage* color = vcxGetLayerSlot(image, 0);
    VCXImage* mask = vcxGetLayerSlot(image, 1);
    Fill24(color, c.r, c.g, c.b);
    uint8_t* p = vcxGetPixelSlot(color);
    if (c.blackPixel)
      p[0] = p[1] = p[2] = 0;
    if (c.whitePixel)
      p[3] = p[4] = p[5] = 255;
    // A transparent block holding the opaque colour, which must not leak into the key.
    for (int y = 50; y < 60; ++y)
      for (int x = 40; x < 70; ++x)
        SetBitOff(mask, x, y);
    const std::vector<uint8_t> before(p, p + 150 * 120 * 3);
    VCXMultiImage* doc = Wrap({image});
    const std::vector<uint8_t> ico = ExportIcon(doc);
    // The caller's pixels are not changed by the key.
    EXPECT_TRUE(std::vector<uint8_t>(p, p + before.size()) == before);
    bool found = false;
    const std::vector<uint8_t> trns = Chunk(FirstEntry(ico), "tRNS", &found);
    ASSERT_TRUE(found);
    ASSERT_EQ(trns.size(), 6u);
    EXPECT_EQ(trns[1], c.key[0]);
    EXPECT_EQ(trns[3], c.key[1]);
    EXPECT_EQ(trns[5], c.key[2]);
    ImportResult back = ImportFileBytes(ico);
    ASSERT_NE(back.multi, nullptr) << back.code;
    const VCXLayeredImage* again = vcxGetImageSlot(back.multi, 0);
    ASSERT_EQ(again->layerCount, 2);
    // The same mask, pixel for pixel.
    const uint8_t* m1 = vcxGetPixelSlot(mask);
    const uint8_t* m2 = vcxGetPixelSlot(FindLayer(again, VCX_KIND_MASK));
    int differences = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 150; ++x)
        differences += ((m1[19 * y + (x >> 3)] ^ m2[19 * y + (x >> 3)]) >> (7 - (x & 7))) & 1;
    EXPECT_EQ(differences, 0);
    const uint8_t* q = vcxGetPixelSlot(FindLayer(again, VCX_KIND_COLOR));
    EXPECT_EQ(q[3 * (55 * 150 + 45) + 2], c.key[0]);
    EXPECT_EQ(q[3 * (55 * 150 + 45)], c.key[2]);
    EXPECT_EQ(q[3 * 10 + 2], c.r);
    VcsFreeMultiImage(back.multi);
    VcsFreeMultiImage(doc);
  }
}

TEST(PngExport, FullyTransparent24BitEntryIsBlackWithBlackKey) {
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_24, 130, 130, 0, true);
  Fill24(vcxGetLayerSlot(image, 0), 90, 80, 70);
  std::memset(vcxGetPixelSlot(vcxGetLayerSlot(image, 1)), 0, 17 * 130);
  VCXMultiImage* doc = Wrap({image});
  const std::vector<uint8_t> ico = ExportIcon(doc);
  bool found = false;
  const std::vector<uint8_t> trns = Chunk(FirstEntry(ico), "tRNS", &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(trns == std::vector<uint8_t>(6, 0));
  ImportResult back = ImportFileBytes(ico);
  ASSERT_NE(back.multi, nullptr);
  const VCXLayeredImage* again = vcxGetImageSlot(back.multi, 0);
  const std::vector<uint8_t> zeros(130 * 130 * 3, 0);
  EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(FindLayer(again, VCX_KIND_COLOR)), zeros.data(), zeros.size()));
  EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(FindLayer(again, VCX_KIND_MASK)), zeros.data(), 17 * 130));
  VcsFreeMultiImage(back.multi);
  VcsFreeMultiImage(doc);
}

namespace {

// Pixels that a reader shows otherwise than expected: another alpha, or, where the pixel is
// not fully transparent, another colour (both R, G, B, A per pixel).
size_t ShownDifferences(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
  if (expected.size() != actual.size())
    return expected.size() / 4 + 1;
  size_t differences = 0;
  for (size_t i = 0; i < expected.size(); i += 4)
    differences += expected[i + 3] != actual[i + 3] ||
                   (expected[i + 3] && std::memcmp(&expected[i], &actual[i], 3) != 0);
  return differences;
}

size_t TransparentPixels(const std::vector<uint8_t>& rgba) {
  size_t count = 0;
  for (size_t i = 3; i < rgba.size(); i += 4)
    count += rgba[i] == 0;
  return count;
}

// A 256 x 256 entry whose mask clears a disc and a lattice of diagonals.
const int32_t kSide = 256;
bool MaskedAt(int32_t x, int32_t y) {
  return (x - 128) * (x - 128) + (y - 128) * (y - 128) < 80 * 80 || (x + y) % 11 == 0;
}

VCXLayeredImage* MaskedEntry(uint32_t format, int paletteCount) {
  VCXLayeredImage* image = MakeIcon(format, kSide, kSide, paletteCount, true);
  VCXImage* mask = vcxGetLayerSlot(image, 1);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x)
      if (MaskedAt(x, y))
        SetBitOff(mask, x, y);
  return image;
}

// Index pixels of a palette entry: index(x, y) for each pixel.
template <class Index>
void FillIndices(VCXLayeredImage* image, Index index) {
  VCXImage* color = vcxGetLayerSlot(image, 0);
  const uint32_t bpp = color->format >> 16;
  const size_t rowBytes = static_cast<size_t>(GetRecordRowBytes(color->format, color->width));
  uint8_t* p = vcxGetPixelSlot(color);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      const uint32_t bit = static_cast<uint32_t>(x) * bpp;
      p[rowBytes * y + (bit >> 3)] |= static_cast<uint8_t>(index(x, y) << (8 - bpp - (bit & 7)));
    }
}

VCXPaletteEntry* Entries(VCXLayeredImage* image) {
  return vcxGetPaletteEntries(vcxGetImagePalette(vcxGetLayerSlot(image, 0)));
}

// PNG colour types.
enum { kPngRgb = 2, kPngPalette = 3, kPngRgba = 6 };

struct MaskedExport {
  const char* name;
  VCXLayeredImage* image;
  int pngDepth;      // the PNG's bit depth and colour type
  int pngColorType;
  size_t plteEntries;  // 0: no PLTE
};

}  // namespace

TEST(PngExport, MaskedEntriesOfEveryFormatKeepTheirTransparency) {
  std::vector<MaskedExport> cases;
  // Monochrome and 16 colours: the fixed palettes, with no transparent entry.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_1, 2);
    Entries(image)[0] = {255, 0, 0, 0};
    Entries(image)[1] = {255, 255, 255, 255};
    FillIndices(image, [](int32_t x, int32_t y) { return (x / 8 + y / 8) & 1; });
    cases.push_back({"1 bit", image, 2, kPngPalette, 3});
  }
  {
    static const uint8_t kSixteen[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                            {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_4, 16);
    for (int i = 0; i < 16; ++i)
      Entries(image)[i] = {255, kSixteen[i][0], kSixteen[i][1], kSixteen[i][2]};
    FillIndices(image, [](int32_t x, int32_t y) { return (x / 16 + y) & 15; });
    cases.push_back({"4 bits", image, 8, kPngPalette, 17});
  }
  // 8 bits: six opaque entries get a seventh.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_8, 6);
    for (int i = 0; i < 6; ++i)
      Entries(image)[i] = {255, 40 * i, 255 - 30 * i, 7 * i};
    FillIndices(image, [](int32_t x, int32_t y) { return (x * y) % 6; });
    cases.push_back({"8 bits, 6 entries", image, 8, kPngPalette, 7});
  }
  // 256 entries, the opaque pixels use 200 of them: one of the others becomes transparent.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_8, 256);
    for (int i = 0; i < 256; ++i)
      Entries(image)[i] = {255, i, 255 - i, (5 * i) & 255};
    FillIndices(image, [](int32_t x, int32_t y) { return MaskedAt(x, y) ? 250 : (x + 3 * y) % 200; });
    cases.push_back({"8 bits, 256 entries, 200 used", image, 8, kPngPalette, 256});
  }
  // Every one of 256 entries used by opaque pixels: RGBA.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_8, 256);
    for (int i = 0; i < 256; ++i)
      Entries(image)[i] = {255, i, (3 * i) & 255, 255 - i};
    FillIndices(image, [](int32_t x, int32_t) { return x; });
    cases.push_back({"8 bits, 256 entries, all used", image, 8, kPngRgba, 0});
  }
  // An entry of alpha 0 serves the mask; a partly transparent one stays where the mask is set.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_8, 8);
    for (int i = 0; i < 8; ++i)
      Entries(image)[i] = {i == 3 ? 0 : i == 5 ? 100 : 255, 30 * i, 20, 200 - 20 * i};
    FillIndices(image, [](int32_t x, int32_t y) { return (x + y) % 8; });
    cases.push_back({"8 bits with a transparent entry", image, 8, kPngPalette, 8});
  }
  // 24 bits: the colour key.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_24, 0);
    uint8_t* p = vcxGetPixelSlot(vcxGetLayerSlot(image, 0));
    for (size_t i = 0; i < 3u * kSide * kSide; ++i)
      p[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    cases.push_back({"24 bits", image, 8, kPngRgb, 0});
  }
  // 32 bits under a mask: the mask clears the alpha.
  {
    VCXLayeredImage* image = MaskedEntry(VCX_FORMAT_32, 0);
    uint8_t* p = vcxGetPixelSlot(vcxGetLayerSlot(image, 0));
    for (size_t i = 0; i < 4u * kSide * kSide; ++i)
      p[i] = static_cast<uint8_t>(i % 4 == 3 ? 128 + (i >> 10) % 128 : i * 5 + (i >> 11));
    cases.push_back({"32 bits", image, 8, kPngRgba, 0});
  }

  std::vector<VCXLayeredImage*> images;
  std::vector<std::vector<uint8_t>> shown;
  for (const MaskedExport& c : cases) {
    images.push_back(c.image);
    shown.push_back(RecordToRgba(c.image));
    ASSERT_GT(TransparentPixels(shown.back()), 10000u) << c.name;
  }
  VCXMultiImage* doc = Wrap(images);
  const std::string path = TempPath("masked.ico");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 2, doc), 1) << Rastrel().LastError();
  const std::vector<uint8_t> ico = ReadFileBytes(path);
  std::string pillowError;
  const std::vector<PillowFrame> pillow = PillowIcoFrames(path, &pillowError);
  DeleteFileA(path.c_str());
  EXPECT_EQ(pillow.size(), cases.size()) << pillowError;
  ImportResult back = ImportFileBytes(ico);
  ASSERT_NE(back.multi, nullptr) << back.code << " " << back.message;
  ASSERT_EQ(back.multi->count, static_cast<int32_t>(cases.size()));
  for (size_t i = 0; i < cases.size(); ++i) {
    const MaskedExport& c = cases[i];
    SCOPED_TRACE(c.name);
    // The directory still says what the image is.
    const uint32_t bpp = c.image->format >> 16;
    const size_t entry = 6 + 16 * i;
    EXPECT_EQ(ico[entry], 0);
    EXPECT_EQ(ico[entry + 2], bpp < 8 ? 1u << bpp : 0u);
    EXPECT_EQ(Le16(ico, entry + 6), bpp);
    std::vector<uint8_t> png(ico.begin() + Le32(ico, entry + 12),
                             ico.begin() + Le32(ico, entry + 12) + Le32(ico, entry + 8));
    ASSERT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png[24], c.pngDepth);
    EXPECT_EQ(png[25], c.pngColorType);
    bool found = false;
    EXPECT_EQ(Chunk(png, "PLTE", &found).size(), 3 * c.plteEntries);
    // Read back by the plug-in and by Pillow: the transparent pixels the mask says, the
    // opaque ones in their exact colours.
    const std::vector<uint8_t> ours = RecordToRgba(vcxGetImageSlot(back.multi, static_cast<int32_t>(i)));
    EXPECT_EQ(ShownDifferences(shown[i], ours), 0u);
    if (i < pillow.size()) {
      EXPECT_EQ(pillow[i].width, 256u);
      EXPECT_EQ(ShownDifferences(shown[i], pillow[i].rgba), 0u);
    }
  }
  // Where 256 entries leave no room, one that no opaque pixel uses is made transparent and
  // the others stay as they were.
  const VCXPalette* palette = vcxGetImagePalette(vcxGetLayerSlot(vcxGetImageSlot(back.multi, 3), 0));
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->count, 256);
  int changed = 0;
  for (int i = 0; i < 256; ++i) {
    const VCXPaletteEntry& e = vcxGetPaletteEntries(palette)[i];
    const VCXPaletteEntry& was = Entries(images[3])[i];
    if (e.alpha != was.alpha) {
      ++changed;
      EXPECT_GE(i, 200);
      EXPECT_EQ(e.alpha, 0);
    }
    EXPECT_EQ(e.red, was.red);
    EXPECT_EQ(e.green, was.green);
    EXPECT_EQ(e.blue, was.blue);
  }
  EXPECT_EQ(changed, 1);
  VcsFreeMultiImage(back.multi);
  VcsFreeMultiImage(doc);
}

namespace {
HHOOK g_cbtHook = nullptr;
int g_busyWindows = 0;
// What happens to the busy window as soon as it pumps messages: nothing, a WM_CLOSE, or its
// destruction; then the probe window notes whether it still exists.
enum BusyAction { BUSY_KEPT, BUSY_CLOSED, BUSY_DESTROYED };
BusyAction g_busyAction = BUSY_KEPT;
HWND g_busyWindow = nullptr;
HWND g_busyProbe = nullptr;
bool g_busyAlive = false;
const UINT kProbeMessage = WM_APP + 7;

LRESULT CALLBACK CountBusyWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (cs->cx == 36 * 11 + 11 && cs->cy == 34 && (cs->style & WS_POPUP)) {
      ++g_busyWindows;
      g_busyWindow = reinterpret_cast<HWND>(wParam);
      if (g_busyAction == BUSY_CLOSED)
        PostMessageA(g_busyWindow, WM_CLOSE, 0, 0);
      if (g_busyAction != BUSY_KEPT)
        PostMessageA(g_busyProbe, kProbeMessage, 0, 0);
    }
  }
  return CallNextHookEx(g_cbtHook, code, wParam, lParam);
}

LRESULT CALLBACK BusyProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) {
    if (g_busyAction == BUSY_DESTROYED)
      DestroyWindow(g_busyWindow);
    g_busyAlive = IsWindow(g_busyWindow) != FALSE;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Exports a 200 x 200 icon with the multipass search over an owner window that has the
// focus; the busy window gets the action. The owner is enabled again afterwards.
void ExportWithBusyWindow(BusyAction action) {
  WNDCLASSA probeClass = {};
  probeClass.lpfnWndProc = BusyProbeProc;
  probeClass.hInstance = GetModuleHandleA(nullptr);
  probeClass.lpszClassName = "VcBusyProbe";
  RegisterClassA(&probeClass);
  g_busyProbe = CreateWindowExA(0, "VcBusyProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  SetFocus(owner);
  g_busyWindows = 0;
  g_busyAction = action;
  g_busyWindow = nullptr;
  g_busyAlive = false;
  g_cbtHook = SetWindowsHookExA(WH_CBT, CountBusyWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_cbtHook, nullptr);
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 200, 200, 0, false)});
  const std::string path = TempPath("busy.ico");
  EXPECT_EQ(Rastrel().exportFile(owner, path.c_str(), 2, doc), 1);
  UnhookWindowsHookEx(g_cbtHook);
  EXPECT_EQ(g_busyWindows, 1);
  EXPECT_TRUE(IsWindowEnabled(owner));
  if (GetFocus()) {
    EXPECT_EQ(GetFocus(), owner);
  }
  EXPECT_FALSE(IsWindow(g_busyWindow));
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
  DestroyWindow(owner);
  DestroyWindow(g_busyProbe);
}
}  // namespace

TEST(PngExport, BusyWindowShowsOnceAndGivesTheFocusBack) {
  ExportWithBusyWindow(BUSY_KEPT);
}

TEST(PngExport, BusyWindowIgnoresCloseAndOutlivesItsDestruction) {
  // Alt+F4 or the end of the session: the window stays until the search is done.
  ExportWithBusyWindow(BUSY_CLOSED);
  EXPECT_TRUE(g_busyAlive);
  // Destroyed from outside: the search goes on without it.
  ExportWithBusyWindow(BUSY_DESTROYED);
  EXPECT_FALSE(g_busyAlive);
}

TEST(PngBadInput, TruncatedAndCorruptEntriesGiveCodes) {
  const std::vector<uint8_t> whole = FixtureBytes("png-rgba8.ico");
  // Up to the end of the image data: the closing chunk is not needed.
  for (size_t cut = 22 + 8; cut < whole.size() - 12; ++cut) {
    ImportResult r = ImportFileBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    // The header cut short leaves the entry out (no images); later cuts fail in libpng.
    EXPECT_EQ(r.multi, nullptr) << "cut at " << cut;
    EXPECT_TRUE(r.code == VCX_ERROR_INTERNAL || r.code == VCX_ERROR_DATA || r.code == VCX_ERROR_EOF)
        << "cut at " << cut << " code " << r.code;
    if (r.multi)
      VcsFreeMultiImage(r.multi);
  }
  uint32_t state = 99;
  int failed = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> b = whole;
    for (int i = 0; i < 3; ++i) {
      state = state * 1664525u + 1013904223u;
      b[22 + (state >> 8) % (b.size() - 22)] = static_cast<uint8_t>(state >> 3);
    }
    ImportResult r = ImportFileBytes(b);
    if (r.multi)
      VcsFreeMultiImage(r.multi);
    else
      ++failed;
  }
  EXPECT_GT(failed, 0);
}

TEST(PngBadInput, HugeDimensionsAreRefusedBeforeAllocation) {
  std::vector<uint8_t> png = FirstEntry(FixtureBytes("png-rgba8.ico"));
  for (uint32_t side : {60000u, 1000000u, 0x7FFFFFFFu}) {
    std::vector<uint8_t> b = png;
    for (size_t at : {16u, 20u}) {
      b[at] = static_cast<uint8_t>(side >> 24);
      b[at + 1] = static_cast<uint8_t>(side >> 16);
      b[at + 2] = static_cast<uint8_t>(side >> 8);
      b[at + 3] = static_cast<uint8_t>(side);
    }
    const uint32_t crc = Crc32(&b[12], 17);
    b[29] = static_cast<uint8_t>(crc >> 24);
    b[30] = static_cast<uint8_t>(crc >> 16);
    b[31] = static_cast<uint8_t>(crc >> 8);
    b[32] = static_cast<uint8_t>(crc);
    ImportResult r = ImportFileBytes(WrapPng(b));
    EXPECT_EQ(r.multi, nullptr) << side;
    // Beyond libpng's own limits the entry is no PNG it reads: no images.
    EXPECT_TRUE(r.code == VCX_ERROR_EOF || r.code == VCX_ERROR_INTERNAL || r.code == VCX_ERROR_DATA)
        << side << " code " << r.code;
    if (r.multi)
      VcsFreeMultiImage(r.multi);
  }
}

TEST(PngBadInput, ChunksDeclaringGigabytesAreRefusedInBoundedMemory) {
  const std::vector<uint8_t> png = FirstEntry(FixtureBytes("png-rgba8.ico"));
  ASSERT_GT(png.size(), 33u);
  ImportResult plain = ImportFileBytes(WrapPng(png));
  ASSERT_NE(plain.multi, nullptr);
  const std::vector<uint8_t> pixels = RecordToRgba(vcxGetImageSlot(plain.multi, 0));
  VcsFreeMultiImage(plain.multi);
  const size_t kBound = 64u << 20;
  const size_t peakBefore = PeakWorkingSet();
  for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL"}) {
    SCOPED_TRACE(type);
    {
      // A 74-byte icon or so: the chunk's 0x7FFFFFFF bytes are not there.
      CPluginHeapWatch watch;
      ASSERT_EQ(watch.Patched(), 3);
      ImportResult r = ImportFileBytes(WrapPng(WithChunk(png, 0x7FFFFFFF, type, {'k', 0, 'v'})));
      EXPECT_EQ(r.multi, nullptr);
      EXPECT_EQ(r.code, VCX_ERROR_INTERNAL);
      EXPECT_EQ(r.message, "A PNG chunk runs past the end of the stream");
      EXPECT_LT(CPluginHeapWatch::Largest(), kBound);
      if (r.multi)
        VcsFreeMultiImage(r.multi);
    }
    {
      // Declared within the stream but above the limit of an ancillary chunk.
      CPluginHeapWatch watch;
      ImportResult r = ImportFileBytes(WrapPng(WithChunk(png, 5u << 20, type, std::vector<uint8_t>(5u << 20, 'x'))));
      EXPECT_EQ(r.multi, nullptr);
      EXPECT_EQ(r.message, "A PNG chunk is larger than 4 MiB");
      EXPECT_LT(CPluginHeapWatch::Largest(), kBound);
      if (r.multi)
        VcsFreeMultiImage(r.multi);
    }
    // A small chunk of the kind changes nothing.
    ImportResult r = ImportFileBytes(WrapPng(WithChunk(png, 3, type, {'k', 0, 'v'})));
    ASSERT_NE(r.multi, nullptr) << r.code << " " << r.message;
    EXPECT_TRUE(RecordToRgba(vcxGetImageSlot(r.multi, 0)) == pixels);
    VcsFreeMultiImage(r.multi);
  }
  EXPECT_LT(PeakWorkingSet() - peakBefore, kBound);
}
