#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>
#include "common/JpegScans.h"
#include "plugins/shared/OldPluginHarness.h"

namespace {

OldPlugin& Jpeg() {
  return LoadOldPlugin("JPEG");
}

std::string Fixture(const std::string& name) {
  return OldFixture("jpeg", name);
}

struct Imported {
  VCXMultiImage* multi = nullptr;
  VCXImage* layer = nullptr;
  int code = 0;
  ~Imported() { VcsFreeMultiImage(multi); }
};

void ImportPath(const std::string& path, Imported& out) {
  int type = 0;
  out.multi = Jpeg().import(nullptr, path.c_str(), &type);
  out.code = out.multi ? 0 : Jpeg().LastError();
  VCXLayeredImage* image = OnlyImageOf(out.multi);
  if (image && image->layerCount == 1)
    out.layer = vcxGetLayerSlot(image, 0);
}

// Offset of the frame header's height field (after the SOFn marker, length and precision).
size_t FrameSizeAt(const std::vector<uint8_t>& b) {
  for (size_t i = 2; i + 9 < b.size(); ++i)
    if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC1 || b[i + 1] == 0xC2))
      return i + 5;
  return 0;
}

// The same decoder family on both sides (IJG's 6b interface, the accurate integer DCT and
// smooth upsampling); rounding of the colour conversion may differ by this much.
const int kTolerance = 2;

}  // namespace

TEST(JpegImport, FixturesMatchImageMagicksDecodeWithinTolerance) {
  struct Case {
    const char* file;
    uint32_t format;
  } cases[] = {{"colour-420.jpg", VCX_FORMAT_24},  {"colour-444.jpg", VCX_FORMAT_24},
               {"progressive.jpg", VCX_FORMAT_24}, {"odd-37x19.jpg", VCX_FORMAT_24},
               {"grey.jpg", VCX_FORMAT_8},         {"grey-progressive.jpg", VCX_FORMAT_8},
               {"cmyk.jpg", VCX_FORMAT_24}};
  for (const Case& c : cases) {
    Imported got;
    ImportPath(Fixture(c.file), got);
    ASSERT_EQ(got.code, 0) << c.file;
    ASSERT_NE(got.layer, nullptr) << c.file;
    EXPECT_EQ(got.layer->format, c.format) << c.file;
    EXPECT_EQ(vcxGetImagePalette(got.layer), nullptr);
    EXPECT_EQ(got.layer->x, 0);
    EXPECT_FLOAT_EQ(got.layer->opacity, 1.0f);
    const int difference = MaxDifference(LayerRgba(got.layer), ReadFileBytes(Fixture(std::string(c.file) + ".rgba")));
    EXPECT_GE(difference, 0) << c.file;
    EXPECT_LE(difference, kTolerance) << c.file;
  }
}

TEST(JpegImport, DescriptionsTypeAndPreview) {
  struct Case {
    const char* file;
    const char* text;
  } cases[] = {{"colour-420.jpg", "JPEG image\n40x30 YUV (24 bpp)"},
               {"grey.jpg", "JPEG image\n40x30 Gs (8 bpp)"},
               {"cmyk.jpg", "JPEG image\n40x30 YCCK (32 bpp)"},
               {"odd-37x19.jpg", "JPEG image\n37x19 YUV (24 bpp)"}};
  for (const Case& c : cases) {
    char text[128] = {};
    int type = 0;
    EXPECT_EQ(Jpeg().canImport(Fixture(c.file).c_str(), &type, nullptr, text, sizeof text), 1) << c.file;
    EXPECT_EQ(type, 1);
    EXPECT_STREQ(text, c.text);
  }
  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Jpeg().canImport(Fixture("progressive.jpg").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->width, 40);
  EXPECT_EQ(preview->layerCount, 1);
  EXPECT_LE(MaxDifference(LayerRgba(vcxGetLayerSlot(preview, 0)), ReadFileBytes(Fixture("progressive.jpg.rgba"))),
            kTolerance);
  // A second call frees the first preview.
  ASSERT_EQ(Jpeg().canImport(Fixture("grey.jpg").c_str(), nullptr, &preview, nullptr, 0), 1);
  EXPECT_EQ(vcxGetLayerSlot(preview, 0)->format, VCX_FORMAT_8);
  VcsFreeLayeredImage(preview);

  VCXFileType* type = Jpeg().firstImport();
  ASSERT_NE(type, nullptr);
  EXPECT_STREQ(type->description, "JPEG image");
  ASSERT_EQ(type->extensionCount, 2);
  EXPECT_STREQ(vcxGetFileTypeExtensions(type)[0].extension, "JPG");
  EXPECT_STREQ(vcxGetFileTypeExtensions(type)[1].extension, "JPEG");
  VcsFreeFileType(type);
}

TEST(JpegImport, MissingAndEmptyFiles) {
  Imported missing;
  ImportPath(Fixture("no-such.jpg"), missing);
  EXPECT_EQ(missing.code, VCX_ERROR_ACCESS);
  EXPECT_EQ(ImportBytesError(Jpeg(), {}, "empty.jpg"), VCX_ERROR_DATA);
  const std::string path = TempPath("empty-can.jpg");
  WriteFileBytes(path, {});
  EXPECT_EQ(Jpeg().canImport(path.c_str(), nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(Jpeg().LastError(), VCX_ERROR_DATA);
  DeleteFileA(path.c_str());
  // A success clears the error.
  EXPECT_EQ(Jpeg().canImport(Fixture("grey.jpg").c_str(), nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(Jpeg().LastError(), 0);
}

TEST(JpegImport, TruncatedFileDecodesItsFirstRows) {
  // Cuts inside entropy-coded data: the baseline file in its one scan, the progressive one
  // in its sixth (bytes 540-602). A cut inside a table segment is an error instead.
  const struct {
    const char* name;
    size_t cut;
  } cases[] = {{"colour-444.jpg", 0}, {"progressive.jpg", 600}};
  for (const auto& c : cases) {
    const char* name = c.name;
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    const size_t length = c.cut ? c.cut : whole.size() * 3 / 4;
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
    const std::string path = TempPath("cut.jpg");
    WriteFileBytes(path, cut);
    Imported got;
    ImportPath(path, got);
    DeleteFileA(path.c_str());
    ASSERT_EQ(got.code, 0) << name;
    ASSERT_NE(got.layer, nullptr);
    EXPECT_EQ(got.layer->width, 40);
    EXPECT_EQ(got.layer->height, 30);
    if (std::string(name) == "colour-444.jpg") {
      // A baseline file keeps the rows before the cut.
      std::vector<uint8_t> rows = LayerRgba(got.layer);
      std::vector<uint8_t> reference = ReadFileBytes(Fixture(std::string(name) + ".rgba"));
      rows.resize(40 * 8 * 4);
      reference.resize(rows.size());
      EXPECT_LE(MaxDifference(rows, reference), kTolerance);
    }
  }
}

TEST(JpegBadInput, EveryTruncationEndsCleanly) {
  for (const char* name : {"colour-420.jpg", "grey-progressive.jpg", "cmyk.jpg"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    ASSERT_FALSE(whole.empty());
    for (size_t n = 0; n < whole.size(); n += (n < 700 ? 1 : 7)) {
      const int code = ImportBytesError(Jpeg(), std::vector<uint8_t>(whole.begin(), whole.begin() + n), "cut.jpg");
      EXPECT_TRUE(code == 0 || code == VCX_ERROR_DATA) << name << " cut at " << n << ": " << code;
    }
  }
}

TEST(JpegBadInput, LyingSizesAreRefusedBeforeDecoding) {
  for (const char* name : {"colour-420.jpg", "progressive.jpg", "grey.jpg"}) {
    std::vector<uint8_t> b = ReadFileBytes(Fixture(name));
    const size_t at = FrameSizeAt(b);
    ASSERT_NE(at, 0u) << name;
    // 65500 x 65500 pixels from a file of a few hundred bytes.
    b[at] = 0xFF, b[at + 1] = 0xDC, b[at + 2] = 0xFF, b[at + 3] = 0xDC;
    EXPECT_EQ(ImportBytesError(Jpeg(), b, "huge.jpg"), VCX_ERROR_MEMORY) << name;
    char text[64] = {};
    const std::string path = TempPath("huge-can.jpg");
    WriteFileBytes(path, b);
    // The header alone is fine.
    EXPECT_EQ(Jpeg().canImport(path.c_str(), nullptr, nullptr, text, sizeof text), 1);
    EXPECT_EQ(std::string(text).substr(0, 23), "JPEG image\n65500x65500 ");
    DeleteFileA(path.c_str());
    // Zero lines.
    b[at] = 0, b[at + 1] = 0;
    EXPECT_EQ(ImportBytesError(Jpeg(), b, "zero.jpg"), VCX_ERROR_DATA) << name;
  }
}

TEST(JpegBadInput, MoreThanAThousandScansAreRefused) {
  // Empty copies of the last scan of a progressive file bring it to 1,000 and 1,001 scans.
  const std::vector<uint8_t> whole = ReadFileBytes(Fixture("grey-progressive.jpg"));
  const int scans = static_cast<int>(JpegScans(whole).headers.size());
  ASSERT_GT(scans, 1);
  const std::vector<uint8_t> atLimit = JpegWithEmptyScans(whole, 1000 - scans);
  const std::vector<uint8_t> beyond = JpegWithEmptyScans(whole, 1001 - scans);
  ASSERT_EQ(JpegScans(atLimit).headers.size(), 1000u);
  ASSERT_EQ(JpegScans(beyond).headers.size(), 1001u);

  Imported kept;
  const std::string path = TempPath("scans.jpg");
  WriteFileBytes(path, atLimit);
  ImportPath(path, kept);
  EXPECT_EQ(kept.code, 0);
  ASSERT_NE(kept.layer, nullptr);
  EXPECT_EQ(kept.layer->width, 40);
  EXPECT_EQ(kept.layer->height, 30);

  EXPECT_EQ(ImportBytesError(Jpeg(), beyond, "scans.jpg"), VCX_ERROR_DATA);
  WriteFileBytes(path, beyond);
  VCXLayeredImage* preview = nullptr;
  EXPECT_EQ(Jpeg().canImport(path.c_str(), nullptr, &preview, nullptr, 0), 0);
  EXPECT_EQ(Jpeg().LastError(), VCX_ERROR_DATA);
  EXPECT_EQ(preview, nullptr);
  // The header alone says nothing of the scans.
  EXPECT_EQ(Jpeg().canImport(path.c_str(), nullptr, nullptr, nullptr, 0), 1);
  DeleteFileA(path.c_str());
}

TEST(JpegBadInput, MutatedFilesNeverCrash) {
  uint32_t seed = 777;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (const char* name : {"colour-420.jpg", "progressive.jpg", "grey.jpg"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    for (int round = 0; round < 120; ++round) {
      std::vector<uint8_t> b = whole;
      const int flips = 1 + next() % 6;
      for (int i = 0; i < flips; ++i)
        b[next() % b.size()] = static_cast<uint8_t>(next());
      const int code = ImportBytesError(Jpeg(), b, "mutant.jpg");
      EXPECT_TRUE(code == 0 || code == VCX_ERROR_DATA || code == VCX_ERROR_MEMORY)
          << name << " round " << round << ": " << code;
    }
  }
}
