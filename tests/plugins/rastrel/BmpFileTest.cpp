#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "RastrelPixels.h"

namespace {

struct BmpFixture {
  const char* file;
  uint32_t format;
  // Bits per channel R, G, B, A of a 16-bit file, whose values are compared in their top
  // bits only: ImageMagick widens them by repeating bits, the plug-in by rounding.
  int bits[4];
};

const BmpFixture kBmpFixtures[] = {
    {"bmp-1bit.bmp", VCX_FORMAT_1, {}},
    {"bmp-4bit.bmp", VCX_FORMAT_4, {}},
    {"bmp-4bit-rle.bmp", VCX_FORMAT_4, {}},
    {"bmp-8bit.bmp", VCX_FORMAT_8, {}},
    {"bmp-8bit-rle.bmp", VCX_FORMAT_8, {}},
    {"bmp-8bit-rle-delta.bmp", VCX_FORMAT_8, {}},
    {"bmp-8bit-topdown.bmp", VCX_FORMAT_8, {}},
    {"bmp-8bit-2colors.bmp", VCX_FORMAT_8, {}},
    {"bmp-24bit.bmp", VCX_FORMAT_24, {}},
    {"bmp-24bit-topdown.bmp", VCX_FORMAT_24, {}},
    {"bmp-32bit.bmp", VCX_FORMAT_32, {}},
    {"bmp-32bit-bitfields.bmp", VCX_FORMAT_32, {}},
    {"bmp-32bit-rgbmasks.bmp", VCX_FORMAT_24, {}},
    {"bmp-16bit-555.bmp", VCX_FORMAT_24, {5, 5, 5, 8}},
    {"bmp-16bit-555-bitfields.bmp", VCX_FORMAT_24, {5, 5, 5, 8}},
    {"bmp-16bit-565.bmp", VCX_FORMAT_24, {5, 6, 5, 8}},
    {"bmp-16bit-a1555.bmp", VCX_FORMAT_32, {5, 5, 5, 1}},
    {"bmp-16bit-a4444.bmp", VCX_FORMAT_32, {4, 4, 4, 4}},
};

// A file header, a 40-byte info header and the given palette and rows.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                             const std::vector<uint8_t>& palette, const std::vector<uint8_t>& bits,
                             uint32_t colorsUsed = 0) {
  std::vector<uint8_t> b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  SetLe32(b, 10, static_cast<uint32_t>(54 + palette.size()));
  SetLe32(b, 14, 40);
  SetLe32(b, 18, static_cast<uint32_t>(width));
  SetLe32(b, 22, static_cast<uint32_t>(height));
  SetLe16(b, 26, 1);
  SetLe16(b, 28, bpp);
  SetLe32(b, 30, compression);
  SetLe32(b, 34, static_cast<uint32_t>(bits.size()));
  SetLe32(b, 46, colorsUsed);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), bits.begin(), bits.end());
  SetLe32(b, 2, static_cast<uint32_t>(b.size()));
  return b;
}

// A 4 x 2 RLE8 picture of a two-entry palette.
std::vector<uint8_t> Rle8(const std::vector<uint8_t>& stream, int32_t width = 4, int32_t height = 2) {
  return MakeBmp(width, height, 8, 1, {0, 0, 0, 0, 255, 255, 255, 0}, stream, 2);
}

// The code of importing bytes; 0 when they import.
int CodeOf(const std::vector<uint8_t>& bytes) {
  ImportResult r = ImportFileBytes(bytes);
  if (r.multi)
    VcsFreeMultiImage(r.multi);
  return r.code;
}

std::vector<uint8_t> ColorBytes(const VCXLayeredImage* image) {
  return LayerBytes(FindLayer(image, VCX_KIND_COLOR));
}

}  // namespace

TEST(BmpImport, EveryFixtureDecodesLikeImageMagick) {
  for (const BmpFixture& f : kBmpFixtures) {
    SCOPED_TRACE(f.file);
    int type = 0;
    ASSERT_EQ(Rastrel().canImport((FixtureFolder() + f.file).c_str(), &type, nullptr, nullptr, 0), 1);
    EXPECT_EQ(type, 1);
    ImportResult r = ImportPath(FixtureFolder() + f.file);
    ASSERT_NE(r.multi, nullptr) << r.code << " " << r.message;
    EXPECT_EQ(r.type, 1);
    ASSERT_EQ(r.multi->count, 1);
    const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->format, f.format);
    EXPECT_EQ(image->layerCount, 1);
    const VCXImage* color = vcxGetLayerSlot(image, 0);
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->kind, VCX_KIND_COLOR);
    EXPECT_EQ(color->format, f.format);
    EXPECT_STREQ(color->name, "");
    EXPECT_FLOAT_EQ(color->opacity, 1.0f);
    EXPECT_EQ(vcxGetImagePalette(color) != nullptr, (f.format >> 16) <= 8);
    const std::vector<uint8_t> reference = FixtureBytes(std::string(f.file) + ".rgba");
    const std::vector<uint8_t> decoded = RecordToRgba(image);
    ASSERT_EQ(decoded.size(), reference.size());
    if (!f.bits[0]) {
      EXPECT_TRUE(decoded == reference);
    } else {
      for (size_t i = 0; i < decoded.size(); ++i) {
        const int shift = 8 - f.bits[i % 4];
        ASSERT_EQ(decoded[i] >> shift, reference[i] >> shift) << "byte " << i;
      }
    }
    VcsFreeMultiImage(r.multi);
  }
}

TEST(BmpImport, DescriptionsNameSizeColoursDepthAndCompression) {
  const struct {
    const char* file;
    const char* text;
  } cases[] = {
      {"bmp-8bit-2colors.bmp", "Windows DIB\n6x3 2 colors (8 bpp) "},
      {"bmp-8bit-rle.bmp", "Windows DIB\n21x9 256 colors (8 bpp) RLE"},
      {"bmp-24bit-topdown.bmp", "Windows DIB\n11x5 RGB (24 bpp) "},
      {"bmp-32bit.bmp", "Windows DIB\n9x6 RGBA (32 bpp) "},
      {"bmp-32bit-rgbmasks.bmp", "Windows DIB\n9x6 RGB (32 bpp) "},
      {"bmp-16bit-565.bmp", "Windows DIB\n11x5 RGB (16 bpp) "},
      {"bmp-16bit-a4444.bmp", "Windows DIB\n9x6 RGBA (16 bpp) "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    char text[128] = {};
    ASSERT_EQ(Rastrel().canImport((FixtureFolder() + c.file).c_str(), nullptr, nullptr, text, sizeof text), 1);
    if (std::string(c.file) == "bmp-8bit-rle.bmp") {
      // ImageMagick writes its own colour count; only the form is fixed.
      EXPECT_EQ(std::string(text).substr(0, 17), "Windows DIB\n21x9 ");
      EXPECT_NE(std::string(text).find("colors (8 bpp) RLE"), std::string::npos) << text;
    } else {
      EXPECT_STREQ(text, c.text);
    }
  }
}

TEST(BmpImport, PreviewIsTheBitmap) {
  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Rastrel().canImport((FixtureFolder() + "bmp-4bit-rle.bmp").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->format, VCX_FORMAT_4);
  EXPECT_EQ(preview->width, 19);
  ImportResult r = ImportPath(FixtureFolder() + "bmp-4bit-rle.bmp");
  ASSERT_NE(r.multi, nullptr);
  EXPECT_TRUE(ColorBytes(preview) == ColorBytes(vcxGetImageSlot(r.multi, 0)));
  VcsFreeMultiImage(r.multi);
  VcsFreeLayeredImage(preview);
}

TEST(BmpImport, NoPreviewWithoutPixels) {
  const std::string path = TempPath("empty.bmp");
  ASSERT_TRUE(WriteFileBytes(path, MakeBmp(5, 0, 24, 0, {}, {})));
  VCXLayeredImage* preview = nullptr;
  EXPECT_EQ(Rastrel().canImport(path.c_str(), nullptr, &preview, nullptr, 0), 1);
  EXPECT_EQ(preview, nullptr);
  VcsFreeLayeredImage(preview);
  DeleteFileA(path.c_str());
}

TEST(BmpImport, FiveBitValuesWidenByRounding) {
  // 16 bits without bit fields: red 0, 16, 31 in three pixels.
  std::vector<uint8_t> row = {0x00, 0x00, 0x00, 0x40, 0x00, 0x7C, 0, 0};
  ImportResult r = ImportFileBytes(MakeBmp(3, 1, 16, 0, {}, row));
  ASSERT_NE(r.multi, nullptr) << r.code;
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  EXPECT_EQ(image->format, VCX_FORMAT_24);
  const std::vector<uint8_t> pixels = ColorBytes(image);
  EXPECT_EQ(pixels[2], 0);
  EXPECT_EQ(pixels[5], 132);
  EXPECT_EQ(pixels[8], 255);
  VcsFreeMultiImage(r.multi);
}

TEST(BmpImport, ThirtyTwoBitsWhoseAlphaIsAllZeroAreOpaque) {
  // Every fourth byte 0: opaque. One other fourth byte anywhere: every byte as stored.
  for (int lit : {-1, 0, 5}) {
    SCOPED_TRACE(lit);
    Pixels32 picture(3, 2);
    if (lit >= 0)
      picture.bgra[4 * lit + 3] = 1;
    ImportResult r = ImportFileBytes(MakeBmp(3, 2, 32, 0, {}, picture.ColorRows()));
    ASSERT_NE(r.multi, nullptr) << r.code;
    const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
    EXPECT_EQ(image->format, VCX_FORMAT_32);
    EXPECT_TRUE(ColorBytes(image) == picture.ColorLayer(lit < 0));
    VcsFreeMultiImage(r.multi);
  }
}

TEST(BmpImport, ResolutionAndShortPalette) {
  ImportResult r = ImportPath(FixtureFolder() + "bmp-8bit-2colors.bmp");
  ASSERT_NE(r.multi, nullptr);
  const VCXLayeredImage* image = vcxGetImageSlot(r.multi, 0);
  EXPECT_FLOAT_EQ(image->xResolution, 3780.0f);
  EXPECT_FLOAT_EQ(image->yResolution, 1000.0f);
  const VCXPalette* palette = vcxGetImagePalette(FindLayer(image, VCX_KIND_COLOR));
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->count, 2);
  EXPECT_EQ(vcxGetPaletteEntries(palette)[0].alpha, 255);
  EXPECT_EQ(vcxGetPaletteEntries(palette)[0].red, 255);
  EXPECT_EQ(vcxGetPaletteEntries(palette)[0].blue, 0);
  EXPECT_EQ(vcxGetPaletteEntries(palette)[1].blue, 255);
  VcsFreeMultiImage(r.multi);
}

TEST(BmpImport, LongPaletteKeepsWhatTheDepthIndexes) {
  // 1 bit with colours used 5: the five entries are in the file, two are kept.
  std::vector<uint8_t> palette(20, 0);
  palette[4] = 200;
  ImportResult r = ImportFileBytes(MakeBmp(2, 1, 1, 0, palette, {0x40, 0, 0, 0}, 5));
  ASSERT_NE(r.multi, nullptr) << r.code;
  const VCXImage* color = FindLayer(vcxGetImageSlot(r.multi, 0), VCX_KIND_COLOR);
  ASSERT_EQ(vcxGetImagePalette(color)->count, 2);
  EXPECT_EQ(vcxGetPaletteEntries(vcxGetImagePalette(color))[1].blue, 200);
  EXPECT_EQ(vcxGetPixelSlot(color)[0], 0x40);
  VcsFreeMultiImage(r.multi);
}

TEST(BmpRoundTrip, ImportExportImportIsExactAndStable) {
  for (const BmpFixture& f : kBmpFixtures) {
    SCOPED_TRACE(f.file);
    ImportResult first = ImportPath(FixtureFolder() + f.file);
    ASSERT_NE(first.multi, nullptr);
    int flags = -1;
    ASSERT_EQ(Rastrel().canExport(1, first.multi, &flags), 1);
    EXPECT_EQ(flags, 0);
    const std::string out1 = TempPath("round1.bmp");
    const std::string out2 = TempPath("round2.bmp");
    ASSERT_EQ(Rastrel().exportFile(nullptr, out1.c_str(), 1, first.multi), 1) << Rastrel().LastError();
    ImportResult second = ImportPath(out1);
    ASSERT_NE(second.multi, nullptr) << second.code;
    const VCXLayeredImage* a = vcxGetImageSlot(first.multi, 0);
    const VCXLayeredImage* b = vcxGetImageSlot(second.multi, 0);
    EXPECT_EQ(a->format, b->format);
    EXPECT_EQ(a->width, b->width);
    EXPECT_EQ(a->height, b->height);
    EXPECT_EQ(a->xResolution, b->xResolution);
    // A 32-bit picture without one alpha byte above 0 (bmp-16bit-a1555.bmp) reads back opaque.
    std::vector<uint8_t> expected = ColorBytes(a);
    bool alphaEmpty = a->format == VCX_FORMAT_32;
    for (size_t i = 3; i < expected.size(); i += 4)
      alphaEmpty = alphaEmpty && expected[i] == 0;
    for (size_t i = 3; alphaEmpty && i < expected.size(); i += 4)
      expected[i] = 255;
    EXPECT_TRUE(ColorBytes(b) == expected);
    EXPECT_TRUE(alphaEmpty || RecordToRgba(a) == RecordToRgba(b));
    // The written header: 40 bytes, no compression, bottom-up, the image's depth.
    const std::vector<uint8_t> bytes = ReadFileBytes(out1);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    EXPECT_EQ(Le32(bytes, 14), 40u);
    EXPECT_EQ(Le32(bytes, 22), static_cast<uint32_t>(a->height));
    EXPECT_EQ(Le16(bytes, 28), a->format >> 16);
    EXPECT_EQ(Le32(bytes, 30), 0u);
    EXPECT_EQ(Le32(bytes, 34), bytes.size() - Le32(bytes, 10));
    ASSERT_EQ(Rastrel().exportFile(nullptr, out2.c_str(), 1, second.multi), 1);
    EXPECT_EQ(bytes == ReadFileBytes(out2), !alphaEmpty);
    VcsFreeMultiImage(first.multi);
    VcsFreeMultiImage(second.multi);
    DeleteFileA(out1.c_str());
    DeleteFileA(out2.c_str());
  }
}

TEST(BmpExport, LayoutOfA24BitImage) {
  // 3 x 2, rows of 9 bytes padded to 12, bottom row first.
  std::vector<uint8_t> pixels(18);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(10 + i);
  VCXLayeredImage* image = MakeImage(VCX_FORMAT_24, 3, 2, pixels);
  image->xResolution = 2834.6f;
  image->yResolution = 100.4f;
  VCXMultiImage* doc = Wrap({image});
  const std::string path = TempPath("layout.bmp");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 1, doc), 1) << Rastrel().LastError();
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 14u + 40 + 24);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), 78u);
  EXPECT_EQ(Le32(b, 6), 0u);
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 18), 3u);
  EXPECT_EQ(Le32(b, 22), 2u);
  EXPECT_EQ(Le16(b, 26), 1);
  EXPECT_EQ(Le16(b, 28), 24);
  EXPECT_EQ(Le32(b, 34), 24u);
  EXPECT_EQ(Le32(b, 38), 2835u);
  EXPECT_EQ(Le32(b, 42), 100u);
  EXPECT_EQ(Le32(b, 46), 0u);
  const std::vector<uint8_t> rows = {19, 20, 21, 22, 23, 24, 25, 26, 27, 0, 0, 0,
                                     10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  EXPECT_TRUE(std::vector<uint8_t>(b.begin() + 54, b.end()) == rows);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(BmpExport, PaletteIsWrittenWithItsEntryCount) {
  VCXLayeredImage* image = MakeImage(VCX_FORMAT_4, 3, 1, {0x12, 0x00}, 3);
  VCXPaletteEntry* e = vcxGetPaletteEntries(vcxGetImagePalette(vcxGetLayerSlot(image, 0)));
  e[0] = {255, 1, 2, 3};
  e[1] = {255, 4, 5, 6};
  e[2] = {128, 7, 8, 9};
  VCXMultiImage* doc = Wrap({image});
  const std::string path = TempPath("palette.bmp");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 1, doc), 1);
  const std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_EQ(b.size(), 14u + 40 + 12 + 4);
  EXPECT_EQ(Le32(b, 46), 3u);
  EXPECT_EQ(Le32(b, 10), 66u);
  const std::vector<uint8_t> palette = {3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0};
  EXPECT_TRUE(std::vector<uint8_t>(b.begin() + 54, b.begin() + 66) == palette);
  EXPECT_EQ(b[66], 0x12);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(BmpExport, FlagsTellWhatIsLost) {
  int flags = -1;
  VCXMultiImage* plain = Wrap({MakeIcon(VCX_FORMAT_24, 2, 2, 0, false)});
  EXPECT_EQ(Rastrel().canExport(1, plain, &flags), 1);
  EXPECT_EQ(flags, 0);
  VCXMultiImage* masked = Wrap({MakeIcon(VCX_FORMAT_32, 2, 2, 0, true)});
  EXPECT_EQ(Rastrel().canExport(1, masked, &flags), 1);
  EXPECT_EQ(flags, VCX_LOSS_MASK);
  // Two colour layers and a mask.
  VCXLayeredImage request = {sizeof(VCXLayeredImage), 1, VCX_FORMAT_8, 0, 2, 2, 0, 0, 3};
  VCXLayeredImage* layered = VcsCreateLayeredImage(&request);
  VCXLayeredImage* donor = MakeIcon(VCX_FORMAT_8, 2, 2, 4, true);
  VCXLayeredImage* donor2 = MakeIcon(VCX_FORMAT_8, 2, 2, 4, false);
  vcxSetLayerSlot(layered, 0, vcxGetLayerSlot(donor, 0));
  vcxSetLayerSlot(layered, 1, vcxGetLayerSlot(donor, 1));
  vcxSetLayerSlot(layered, 2, vcxGetLayerSlot(donor2, 0));
  vcxSetLayerSlot(donor, 0, nullptr);
  vcxSetLayerSlot(donor, 1, nullptr);
  vcxSetLayerSlot(donor2, 0, nullptr);
  VcsFreeLayeredImage(donor);
  VcsFreeLayeredImage(donor2);
  VCXMultiImage* merged = Wrap({layered});
  EXPECT_EQ(Rastrel().canExport(1, merged, &flags), 1);
  EXPECT_EQ(flags, VCX_LOSS_MASK | VCX_LOSS_LAYERS);
  // Merged layers are written flattened, at 32 bits.
  const std::string path = TempPath("merged.bmp");
  ASSERT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 1, merged), 1) << Rastrel().LastError();
  EXPECT_EQ(Le16(ReadFileBytes(path), 28), 32);
  DeleteFileA(path.c_str());
  VcsFreeMultiImage(plain);
  VcsFreeMultiImage(masked);
  VcsFreeMultiImage(merged);
}

TEST(BmpExport, RefusesWhatItCannotWrite) {
  VCXMultiImage* two = Wrap({MakeIcon(VCX_FORMAT_24, 2, 2, 0, false), MakeIcon(VCX_FORMAT_24, 2, 2, 0, false)});
  VCXMultiImage* sixteen = Wrap({MakeIcon(VCX_FORMAT_16, 2, 2, 0, false)});
  VCXMultiImage* noPalette = Wrap({MakeIcon(VCX_FORMAT_8, 2, 2, 0, false)});
  VCXMultiImage* empty = Wrap({nullptr});
  for (VCXMultiImage* doc : {two, sixteen, noPalette, empty}) {
    EXPECT_EQ(Rastrel().canExport(1, doc, nullptr), 0);
    EXPECT_EQ(Rastrel().LastError(), 0);
    const std::string path = TempPath("refused.bmp");
    EXPECT_EQ(Rastrel().exportFile(nullptr, path.c_str(), 1, doc), 0);
    EXPECT_EQ(Rastrel().LastError(), VCX_ERROR_FORMAT);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    VcsFreeMultiImage(doc);
  }
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_24, 2, 2, 0, false)});
  std::string message;
  EXPECT_EQ(Rastrel().exportFile(nullptr, TempPath("no-such-folder\\x.bmp").c_str(), 1, doc), 0);
  EXPECT_EQ(Rastrel().LastError(&message), VCX_ERROR_CREATE);
  EXPECT_EQ(message, "Cannot create file");
  VcsFreeMultiImage(doc);
}

TEST(BmpRle, RunsAndMarkersDecode) {
  // Row 0 (bottom): absolute 1 1 0 1; row 1: delta to x 2, run of 2 x index 1.
  ImportResult r = ImportFileBytes(Rle8({0, 4, 1, 1, 0, 1, 0, 0, 0, 2, 2, 0, 2, 1, 0, 1}));
  ASSERT_NE(r.multi, nullptr) << r.code;
  const std::vector<uint8_t> pixels = ColorBytes(vcxGetImageSlot(r.multi, 0));
  const std::vector<uint8_t> expected = {0, 0, 1, 1, 1, 1, 0, 1};  // top row first
  EXPECT_TRUE(pixels == expected);
  VcsFreeMultiImage(r.multi);
}

TEST(BmpBadInput, RleStreamsOutsideTheImageOrCutShort) {
  // A run past the right edge, an absolute run past it, a run above the top, a delta
  // that leaves the image before a pixel: code 4.
  EXPECT_EQ(CodeOf(Rle8({5, 1, 0, 1})), VCX_ERROR_DATA);
  EXPECT_EQ(CodeOf(Rle8({2, 1, 0, 3, 1, 1, 1, 0, 0, 1})), VCX_ERROR_DATA);
  EXPECT_EQ(CodeOf(Rle8({0, 0, 0, 0, 1, 1, 0, 1})), VCX_ERROR_DATA);
  EXPECT_EQ(CodeOf(Rle8({0, 2, 0, 9, 1, 1, 0, 1})), VCX_ERROR_DATA);
  EXPECT_EQ(CodeOf(Rle8({0, 2, 200, 200, 0, 1})), 0);
  // Pixels in a row's padding (a row of 3 is stored in 4 bytes) are dropped; past it they
  // are outside the image.
  EXPECT_EQ(CodeOf(Rle8({4, 1, 0, 0, 0, 4, 1, 1, 1, 1, 0, 1}, 3, 2)), 0);
  EXPECT_EQ(CodeOf(Rle8({5, 1, 0, 1}, 3, 2)), VCX_ERROR_DATA);
  // No end-of-bitmap marker, a delta or an absolute run cut short: code 14.
  EXPECT_EQ(CodeOf(Rle8({2, 1, 0, 0})), VCX_ERROR_EOF);
  EXPECT_EQ(CodeOf(Rle8({0, 2, 1})), VCX_ERROR_EOF);
  EXPECT_EQ(CodeOf(Rle8({0, 3, 1, 1})), VCX_ERROR_EOF);
  EXPECT_EQ(CodeOf(Rle8({0, 3, 1, 1, 1})), VCX_ERROR_EOF);
  // A run-length coder at a depth it does not fit.
  std::vector<uint8_t> rle4at8 = Rle8({0, 1});
  SetLe32(rle4at8, 30, 2);
  EXPECT_EQ(CodeOf(rle4at8), VCX_ERROR_FORMAT);
  // Every cut of the fixtures' run-length streams.
  for (const char* name : {"bmp-4bit-rle.bmp", "bmp-8bit-rle.bmp", "bmp-8bit-rle-delta.bmp"}) {
    const std::vector<uint8_t> whole = FixtureBytes(name);
    const size_t bits = Le32(whole, 10);
    for (size_t cut = bits; cut < whole.size(); ++cut) {
      ImportResult r = ImportFileBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
      EXPECT_EQ(r.multi, nullptr) << name << " cut at " << cut;
      EXPECT_EQ(r.code, VCX_ERROR_EOF) << name << " cut at " << cut;
      if (r.multi)
        VcsFreeMultiImage(r.multi);
    }
  }
}

TEST(BmpBadInput, EveryTruncationFailsWithACode) {
  for (const char* name : {"bmp-1bit.bmp", "bmp-24bit.bmp", "bmp-32bit-bitfields.bmp", "bmp-16bit-565.bmp",
                           "bmp-32bit-rgbmasks.bmp"}) {
    const std::vector<uint8_t> whole = FixtureBytes(name);
    const size_t bits = Le32(whole, 10);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      ImportResult r = ImportFileBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
      EXPECT_EQ(r.multi, nullptr) << name << " cut at " << cut;
      // Header cut: no reader accepts the file; palette or rows cut: unexpected end.
      const int expected = cut < 14 + Le32(whole, 14) + (Le32(whole, 14) == 40 && Le32(whole, 30) == 3 ? 12 : 0)
                               ? VCX_ERROR_FORMAT
                               : VCX_ERROR_EOF;
      EXPECT_EQ(r.code, expected) << name << " cut at " << cut << " (bits at " << bits << ")";
      if (r.multi)
        VcsFreeMultiImage(r.multi);
    }
  }
}

TEST(BmpBadInput, HeadersGiveTheirCodes) {
  const std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, std::vector<uint8_t>(16, 7));
  auto with = [&](size_t at, uint32_t value, bool sixteen = false) {
    std::vector<uint8_t> b = good;
    if (sixteen)
      SetLe16(b, at, value);
    else
      SetLe32(b, at, value);
    return CodeOf(b);
  };
  EXPECT_EQ(CodeOf(good), 0);
  EXPECT_EQ(with(18, static_cast<uint32_t>(-2)), VCX_ERROR_DATA);          // negative width
  EXPECT_EQ(with(22, 0x80000000u), VCX_ERROR_DATA);                        // height -2^31
  EXPECT_EQ(with(22, static_cast<uint32_t>(-2)), 0);                       // top-down
  EXPECT_EQ(with(18, 0x7FFFFFFF), VCX_ERROR_FORMAT);                       // block too large
  EXPECT_EQ(with(22, 0x7FFFFFFF), VCX_ERROR_FORMAT);
  EXPECT_EQ(with(18, 100000), VCX_ERROR_EOF);                              // rows not in the file
  EXPECT_EQ(with(10, 0xFFFFFF00u), VCX_ERROR_EOF);                         // bits past the end
  EXPECT_EQ(with(14, 12), VCX_ERROR_FORMAT);                               // OS/2 header: no reader
  EXPECT_EQ(with(14, 125), VCX_ERROR_FORMAT);
  EXPECT_EQ(with(28, 2, true), VCX_ERROR_FORMAT);                          // 2 bits per pixel
  EXPECT_EQ(with(30, 4), VCX_ERROR_FORMAT);                                // JPEG
  EXPECT_EQ(with(30, 6), VCX_ERROR_FORMAT);
  // Palettes: past the file, or colours used absurdly large.
  const std::vector<uint8_t> eight = MakeBmp(2, 1, 8, 0, std::vector<uint8_t>(8, 0), {0, 1, 0, 0}, 2);
  EXPECT_EQ(CodeOf(eight), 0);
  std::vector<uint8_t> longPalette = eight;
  SetLe32(longPalette, 46, 300);
  EXPECT_EQ(CodeOf(longPalette), VCX_ERROR_EOF);
  SetLe32(longPalette, 46, 0xFFFFFFFFu);
  EXPECT_EQ(CodeOf(longPalette), VCX_ERROR_EOF);
  std::vector<uint8_t> bitfields8 = eight;
  SetLe32(bitfields8, 30, 3);
  EXPECT_EQ(CodeOf(bitfields8), VCX_ERROR_FORMAT);
  // A huge run-length image is refused before anything is made for it.
  EXPECT_EQ(CodeOf(Rle8({0, 1}, 30000, 30000)), VCX_ERROR_FORMAT);
  EXPECT_EQ(CodeOf(Rle8({0, 1}, 1000, 1000)), 0);
}

TEST(BmpBadInput, RandomMutationsNeverCrash) {
  uint32_t state = 12345;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  const char* names[] = {"bmp-4bit-rle.bmp", "bmp-8bit-rle-delta.bmp", "bmp-16bit-a1555.bmp", "bmp-1bit.bmp",
                         "bmp-32bit-bitfields.bmp"};
  const std::string path = TempPath("mutant.bmp");
  int imported = 0;
  for (int round = 0; round < 600; ++round) {
    std::vector<uint8_t> b = FixtureBytes(names[round % 5]);
    const int flips = 1 + next() % 4;
    for (int i = 0; i < flips; ++i) {
      // Mostly the headers, sometimes anywhere.
      const size_t at = (next() % 3) ? next() % 70 : next() % b.size();
      b[at] = static_cast<uint8_t>(next());
    }
    WriteFileBytes(path, b);
    VCXLayeredImage* preview = nullptr;
    char text[128];
    Rastrel().canImport(path.c_str(), nullptr, &preview, text, sizeof text);
    if (preview)
      VcsFreeLayeredImage(preview);
    ImportResult r = ImportPath(path);
    if (r.multi) {
      ++imported;
      VcsFreeMultiImage(r.multi);
    } else {
      EXPECT_TRUE(r.code == VCX_ERROR_DATA || r.code == VCX_ERROR_FORMAT || r.code == VCX_ERROR_EOF)
          << "round " << round << " code " << r.code;
    }
  }
  EXPECT_GT(imported, 0);
  DeleteFileA(path.c_str());
}
