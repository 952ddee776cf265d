// The BMP writer under options that only its dialog sets, and the bit-field packing: the
// writer's code is compiled into this test so that its options can be set directly.
#include "plugins/rastrel/BmpFile.cpp"
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "RastrelHarness.h"

namespace {

class BmpWriter : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(vcxLinkServices(GetServiceProc), 1);
    g_BmpOptions = BmpWriterOptions();
  }
  void TearDown() override { g_BmpOptions = BmpWriterOptions(); }

  // Writes image as a file through the writer and returns the bytes.
  std::vector<uint8_t> Write(VCXLayeredImage* image) {
    const std::string path = TempPath("options.bmp");
    std::unique_ptr<CVCXFileWriteStream> stream(vcxCreateFile(path.c_str()));
    DibWriteFile(*stream, image);
    stream->Flush();
    stream.reset();
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    DeleteFileA(path.c_str());
    return bytes;
  }

  // Reads bytes as a file through the reader.
  VCXLayeredImage* Read(const std::vector<uint8_t>& bytes) {
    const std::string path = TempPath("options-in.bmp");
    WriteFileBytes(path, bytes);
    std::unique_ptr<CVCXFileReadStream> stream(vcxOpenFileForRead(path.c_str()));
    VCXLayeredImage* image = DibImport(*stream);
    stream.reset();
    DeleteFileA(path.c_str());
    return image;
  }
};

VCXLayeredImage* Gradient(uint32_t format, int32_t width, int32_t height) {
  VCXLayeredImage* image = MakeIcon(format, width, height, 0, false);
  uint8_t* p = vcxGetPixelSlot(vcxGetLayerSlot(image, 0));
  const size_t bytes = static_cast<size_t>(GetRecordRowBytes(format, width) * height);
  for (size_t i = 0; i < bytes; ++i)
    p[i] = static_cast<uint8_t>(i * 37 + (i >> 4));
  return image;
}

std::vector<uint8_t> Pixels(const VCXLayeredImage* image) {
  const VCXImage* color = vcxGetLayerSlot(image, 0);
  const uint8_t* p = vcxGetPixelSlot(color);
  return std::vector<uint8_t>(p, p + GetRecordRowBytes(color->format, color->width) * color->height);
}

// What packing and unpacking make of the pixels.
std::vector<uint8_t> Quantised(const VCXLayeredImage* image, const VCXBitFields& fields) {
  const std::vector<uint8_t> in = Pixels(image);
  const uint32_t count = static_cast<uint32_t>(image->width * image->height);
  std::vector<uint8_t> packed(count * (fields.packedBits / 8));
  std::vector<uint8_t> out(in.size());
  vcxPackBitFields(packed.data(), in.data(), count, fields);
  vcxUnpackBitFields(out.data(), packed.data(), count, fields);
  return out;
}

}  // namespace

TEST(BitFields, FiveBitChannelsWidenAndNarrowByRounding) {
  const VCXBitFields rgb555 = {16, 24, 0, 0x7C00, 0x03E0, 0x001F};
  const uint8_t packed[6] = {0x00, 0x00, 0x10, 0x00, 0x1F, 0x00};  // blue 0, 16, 31
  uint8_t out[9] = {};
  vcxUnpackBitFields(out, packed, 3, rgb555);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[3], 132);
  EXPECT_EQ(out[6], 255);
  const uint8_t in[6] = {128, 0, 0, 255, 0, 0};
  uint8_t back[4] = {};
  vcxPackBitFields(back, in, 2, rgb555);
  EXPECT_EQ(back[0] | back[1] << 8, 15);
  EXPECT_EQ(back[2] | back[3] << 8, 31);
}

TEST(BitFields, OneBitAlphaIsSetOnlyByFullAlpha) {
  const VCXBitFields a1555 = {16, 32, 0x8000, 0x7C00, 0x03E0, 0x001F};
  const uint8_t in[8] = {0, 0, 0, 255, 0, 0, 0, 254};
  uint8_t out[4] = {};
  vcxPackBitFields(out, in, 2, a1555);
  EXPECT_EQ(out[0] | out[1] << 8, 0x8000);
  EXPECT_EQ(out[2] | out[3] << 8, 0);
  // Without an alpha mask, unpacking to 32 bits gives opaque pixels.
  uint8_t pixel[4] = {};
  const uint8_t zero[2] = {0, 0};
  vcxUnpackBitFields(pixel, zero, 1, {16, 32, 0, 0x7C00, 0x03E0, 0x001F});
  EXPECT_EQ(pixel[3], 255);
}

TEST(BitFields, Red255Packs565ToF800AndEveryValueSurvivesARoundTrip) {
  const VCXBitFields rgb565 = {16, 24, 0, 0xF800, 0x07E0, 0x001F};
  const uint8_t red[3] = {0, 0, 255};
  uint8_t out[2] = {};
  vcxPackBitFields(out, red, 1, rgb565);
  EXPECT_EQ(out[0] | out[1] << 8, 0xF800);
  for (uint32_t v = 0; v < 0x10000; ++v) {
    const uint8_t packed[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    uint8_t wide[3], again[2];
    vcxUnpackBitFields(wide, packed, 1, rgb565);
    vcxPackBitFields(again, wide, 1, rgb565);
    ASSERT_EQ(again[0] | again[1] << 8, static_cast<int>(v));
  }
}

TEST_F(BmpWriter, Format565HasBitFieldsAfterA40ByteHeader) {
  g_BmpOptions.format24 = 1;
  VCXLayeredImage* image = Gradient(VCX_FORMAT_24, 5, 3);
  const std::vector<uint8_t> b = Write(image);
  ASSERT_EQ(b.size(), 14u + 40 + 12 + 3 * 12);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le16(b, 28), 16);
  EXPECT_EQ(Le32(b, 30), 3u);
  EXPECT_EQ(Le32(b, 54), 0xF800u);
  EXPECT_EQ(Le32(b, 58), 0x07E0u);
  EXPECT_EQ(Le32(b, 62), 0x001Fu);
  EXPECT_EQ(Le32(b, 10), 66u);
  EXPECT_EQ(Le32(b, 34), 36u);
  VCXLayeredImage* back = Read(b);
  EXPECT_EQ(back->format, VCX_FORMAT_24);
  EXPECT_TRUE(Pixels(back) == Quantised(image, {16, 24, 0, 0xF800, 0x07E0, 0x001F}));
  VcsFreeLayeredImage(back);
  VcsFreeLayeredImage(image);
}

TEST_F(BmpWriter, Format555IsSixteenBitsWithoutBitFields) {
  g_BmpOptions.format24 = 0;
  VCXLayeredImage* image = Gradient(VCX_FORMAT_24, 3, 2);
  const std::vector<uint8_t> b = Write(image);
  ASSERT_EQ(b.size(), 14u + 40 + 2 * 8);
  EXPECT_EQ(Le16(b, 28), 16);
  EXPECT_EQ(Le32(b, 30), 0u);
  EXPECT_EQ(Le16(b, 54 + 6), 0);  // row padding
  VCXLayeredImage* back = Read(b);
  EXPECT_TRUE(Pixels(back) == Quantised(image, {16, 24, 0, 0x7C00, 0x03E0, 0x001F}));
  VcsFreeLayeredImage(back);
  VcsFreeLayeredImage(image);
}

TEST_F(BmpWriter, SixteenBitAlphaFormatsUseThe108ByteHeader) {
  const struct {
    int32_t option;
    VCXBitFields fields;
  } cases[] = {{0, {16, 32, 0x8000, 0x7C00, 0x03E0, 0x001F}}, {1, {16, 32, 0xF000, 0x0F00, 0x00F0, 0x000F}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    g_BmpOptions.format32 = c.option;
    VCXLayeredImage* image = Gradient(VCX_FORMAT_32, 4, 3);
    const std::vector<uint8_t> b = Write(image);
    ASSERT_EQ(b.size(), 14u + 108 + 3 * 8);
    EXPECT_EQ(Le32(b, 14), 108u);
    EXPECT_EQ(Le16(b, 28), 16);
    EXPECT_EQ(Le32(b, 30), 3u);
    EXPECT_EQ(Le32(b, 54), c.fields.redMask);
    EXPECT_EQ(Le32(b, 58), c.fields.greenMask);
    EXPECT_EQ(Le32(b, 62), c.fields.blueMask);
    EXPECT_EQ(Le32(b, 66), c.fields.alphaMask);
    for (size_t i = 70; i < 14 + 108; ++i)
      EXPECT_EQ(b[i], 0) << i;
    VCXLayeredImage* back = Read(b);
    EXPECT_EQ(back->format, VCX_FORMAT_32);
    EXPECT_TRUE(Pixels(back) == Quantised(image, c.fields));
    VcsFreeLayeredImage(back);
    VcsFreeLayeredImage(image);
  }
}

TEST_F(BmpWriter, TopDownStoresANegativeHeightAndTheTopRowFirst) {
  g_BmpOptions.topDown = true;
  VCXLayeredImage* image = Gradient(VCX_FORMAT_8, 4, 3);
  VCXPaletteEntry* e = nullptr;
  {
    VCXPalette request = {sizeof(VCXPalette), 1, 0, 256};
    VCXPalette* palette = VcsCreatePalette(&request);
    e = vcxGetPaletteEntries(palette);
    for (int i = 0; i < 256; ++i)
      e[i] = {255, i, 255 - i, i / 2};
    vcxSetImagePalette(vcxGetLayerSlot(image, 0), palette);
  }
  const std::vector<uint8_t> b = Write(image);
  EXPECT_EQ(static_cast<int32_t>(Le32(b, 22)), -3);
  const std::vector<uint8_t> pixels = Pixels(image);
  const size_t bits = Le32(b, 10);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 4, b.begin() + bits));
  VCXLayeredImage* back = Read(b);
  EXPECT_TRUE(Pixels(back) == pixels);
  VcsFreeLayeredImage(back);
  VcsFreeLayeredImage(image);
}

TEST_F(BmpWriter, PremultipliedAlphaLeavesTheSourceAlone) {
  g_BmpOptions.premultiplied = true;
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_32, 2, 1, 0, false);
  uint8_t* p = vcxGetPixelSlot(vcxGetLayerSlot(image, 0));
  const uint8_t source[8] = {200, 100, 50, 128, 10, 20, 30, 255};
  std::memcpy(p, source, 8);
  const std::vector<uint8_t> b = Write(image);
  EXPECT_EQ(0, std::memcmp(p, source, 8));
  const size_t bits = Le32(b, 10);
  EXPECT_NEAR(b[bits], 100, 1);
  EXPECT_NEAR(b[bits + 1], 50, 1);
  EXPECT_NEAR(b[bits + 2], 25, 1);
  EXPECT_EQ(b[bits + 3], 128);
  EXPECT_EQ(0, std::memcmp(&b[bits + 4], source + 4, 4));
  VcsFreeLayeredImage(image);
}

TEST_F(BmpWriter, RunLengthOutputIsNotProduced) {
  g_BmpOptions.rle = true;
  VCXLayeredImage* image = MakeIcon(VCX_FORMAT_8, 2, 2, 4, false);
  CVCXCountingStream counter;
  try {
    DibWriteBitmap(counter, image);
    ADD_FAILURE() << "no failure";
  } catch (const CVCXException& e) {
    EXPECT_EQ(e.code, VCX_ERROR_INTERNAL);
  }
  VcsFreeLayeredImage(image);
}

TEST_F(BmpWriter, PackedBitmapsHaveTheirRowsAfterThePalette) {
  // Info header, two palette entries, one row of a 3 x 1 picture: 1 0 1.
  std::vector<uint8_t> dib(40 + 8 + 4, 0);
  SetLe32(dib, 0, 40);
  SetLe32(dib, 4, 3);
  SetLe32(dib, 8, 1);
  SetLe16(dib, 12, 1);
  SetLe16(dib, 14, 8);
  SetLe32(dib, 32, 2);
  dib[40 + 4] = 99;
  dib[48] = 1;
  dib[50] = 1;
  CVCXMemoryStream stream(dib.data(), static_cast<uint32_t>(dib.size()));
  VCXLayeredImage* image = DibReadBitmap(stream, true, 0);
  const std::vector<uint8_t> expected = {1, 0, 1};
  EXPECT_TRUE(Pixels(image) == expected);
  EXPECT_EQ(vcxGetPaletteEntries(vcxGetImagePalette(vcxGetLayerSlot(image, 0)))[1].blue, 99);
  VcsFreeLayeredImage(image);
  // Cut inside the row: the reader wants it whole.
  CVCXMemoryStream shortStream(dib.data(), static_cast<uint32_t>(dib.size() - 2));
  try {
    DibReadBitmap(shortStream, true, 0);
    ADD_FAILURE() << "no failure";
  } catch (const CVCXException& e) {
    EXPECT_EQ(e.code, VCX_ERROR_EOF);
  }
}
