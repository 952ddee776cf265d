#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "common/ProcessMemory.h"
#include "common/CloseGap.h"
#include "plugins/shared/OldPluginHarness.h"

namespace {

OldPlugin& Psd() {
  return LoadOldPlugin("PSD");
}

std::string Fixture(const std::string& name) {
  return OldFixture("psd", name);
}

struct Imported {
  VCXMultiImage* multi = nullptr;
  VCXLayeredImage* image = nullptr;
  int code = 0;
  DialogScript dialog;
  ~Imported() { VcsFreeMultiImage(multi); }
  VCXImage* Layer(int i) const { return image && i < image->layerCount ? vcxGetLayerSlot(image, i) : nullptr; }
};

// Imports with the dialog (when one shows) answered by choosing source, or ended as end says.
void ImportPath(const std::string& path, Imported& out, const char* source = "Composite",
                DialogScript::End end = DialogScript::ENTER) {
  out.dialog = DialogScript();
  out.dialog.caption = "PSD Import";
  if (source)
    out.dialog.clicks = {source};
  out.dialog.end = end;
  int type = 0;
  {
    DialogAnswer answer(out.dialog);
    out.multi = Psd().import(nullptr, path.c_str(), &type);
  }
  out.code = out.multi ? 0 : Psd().LastError();
  out.image = OnlyImageOf(out.multi);
}

int ImportBytes(const std::vector<uint8_t>& bytes, const char* source = "Composite") {
  const std::string path = TempPath("bytes.psd");
  WriteFileBytes(path, bytes);
  Imported got;
  ImportPath(path, got, source);
  DeleteFileA(path.c_str());
  return got.code;
}

void PutBe16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}
void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  PutBe16(b, at, v >> 16);
  PutBe16(b, at + 2, v);
}
uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// A document without colour data, resources or layers, with a raw composite of the planes.
std::vector<uint8_t> FlatDocument(uint16_t channels, uint32_t width, uint32_t height, uint16_t depth, uint16_t mode,
                                  const std::vector<uint8_t>& planes) {
  std::vector<uint8_t> b(26 + 12 + 2 + planes.size(), 0);
  std::memcpy(b.data(), "8BPS", 4);
  PutBe16(b, 4, 1);
  PutBe16(b, 12, channels);
  PutBe32(b, 14, height);
  PutBe32(b, 18, width);
  PutBe16(b, 22, depth);
  PutBe16(b, 24, mode);
  std::copy(planes.begin(), planes.end(), b.begin() + 40);
  return b;
}

// Offset of the layer section's length word.
size_t LayerSectionAt(const std::vector<uint8_t>& b) {
  size_t at = 26;
  at += 4 + Be32(b, at);
  at += 4 + Be32(b, at);
  return at;
}

}  // namespace

// --- composite ---

TEST(PsdImport, CompositesMatchImageMagicksDecode) {
  struct Case {
    const char* file;
    uint32_t format;
    int tolerance;
  } cases[] = {{"rgb.psd", VCX_FORMAT_24, 0},      {"rgb-raw.psd", VCX_FORMAT_24, 0},
               {"rgba-layers.psd", VCX_FORMAT_32, 0}, {"grey.psd", VCX_FORMAT_8, 0},
               {"cmyk.psd", VCX_FORMAT_24, 1},     {"rgb16.psd", VCX_FORMAT_48, 1},
               {"generated-layers.psd", VCX_FORMAT_24, 0}};
  for (const Case& c : cases) {
    Imported got;
    ImportPath(Fixture(c.file), got);
    ASSERT_EQ(got.code, 0) << c.file;
    ASSERT_NE(got.image, nullptr);
    EXPECT_EQ(got.dialog.seen, 1) << c.file;
    ASSERT_EQ(got.image->layerCount, 1) << c.file;
    VCXImage* layer = got.Layer(0);
    EXPECT_EQ(layer->format, c.format) << c.file;
    EXPECT_STREQ(layer->name, "Background");
    EXPECT_EQ(layer->width, got.image->width);
    const std::vector<uint8_t> reference = ReadFileBytes(Fixture(std::string(c.file) + ".0.rgba"));
    EXPECT_LE(MaxDifference(LayerRgba(layer), reference), c.tolerance) << c.file;
    EXPECT_GE(MaxDifference(LayerRgba(layer), reference), 0) << c.file;
  }
}

TEST(PsdImport, DescriptionsAndPreview) {
  struct Case {
    const char* file;
    const char* text;
  } cases[] = {{"rgb.psd", "Photoshop document\n21x11 RGB (24 bpp)"},
               {"rgba-layers.psd", "Photoshop document\n21x11 RGBA (32 bpp)"},
               {"grey.psd", "Photoshop document\n21x11 Grayscale (8 bpp)"},
               {"cmyk.psd", "Photoshop document\n21x11 CMYK (32 bpp)"},
               {"indexed.psd", "Photoshop document\n12x8 Indexed (8 bpp)"},
               {"rgb16.psd", "Photoshop document\n21x11 RGB (48 bpp)"}};
  for (const Case& c : cases) {
    char text[128] = {};
    int type = 0;
    EXPECT_EQ(Psd().canImport(Fixture(c.file).c_str(), &type, nullptr, text, sizeof text), 1) << c.file;
    EXPECT_EQ(type, 1);
    EXPECT_STREQ(text, c.text);
  }
  // The preview is the composite, without a dialog.
  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Psd().canImport(Fixture("rgba-layers.psd").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  ASSERT_EQ(preview->layerCount, 1);
  EXPECT_EQ(MaxDifference(LayerRgba(vcxGetLayerSlot(preview, 0)), ReadFileBytes(Fixture("rgba-layers.psd.0.rgba"))),
            0);
  VcsFreeLayeredImage(preview);
}

TEST(PsdImport, IndexedDocumentWithoutLayersHasItsPaletteAndNoDialog) {
  Imported got;
  ImportPath(Fixture("indexed.psd"), got);
  ASSERT_EQ(got.code, 0);
  EXPECT_EQ(got.dialog.seen, 0);
  VCXImage* layer = got.Layer(0);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->format, VCX_FORMAT_8);
  const VCXPalette* palette = vcxGetImagePalette(layer);
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->count, 9);
  const VCXPaletteEntry* e = vcxGetPaletteEntries(palette);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(e[i].alpha, i == 5 ? 0 : 255);
    EXPECT_EQ(e[i].red, 28 * i);
    EXPECT_EQ(e[i].green, 255 - 20 * i);
    EXPECT_EQ(e[i].blue, (60 * i) & 255);
  }
  const uint8_t* p = vcxGetPixelSlot(layer);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(p[y * 12 + x], (x + y) % 9);
}

TEST(PsdImport, CmykWithoutBlackInkMapsCyanToRed) {
  // 2 x 1: C = 0 and C = 255 (stored inverted: 0 is full ink), M = Y = 255, K = 255.
  const std::vector<uint8_t> planes = {0, 255, 255, 255, 255, 255, 255, 255};
  const std::string path = TempPath("cmyk.psd");
  WriteFileBytes(path, FlatDocument(4, 2, 1, 8, 4, planes));
  Imported got;
  ImportPath(path, got);
  DeleteFileA(path.c_str());
  ASSERT_EQ(got.code, 0);
  const uint8_t* p = vcxGetPixelSlot(got.Layer(0));
  EXPECT_EQ(got.Layer(0)->format, VCX_FORMAT_24);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[5], 255);
  EXPECT_EQ(p[0], 255);
}

TEST(PsdImport, SixteenBitGreyIsStoredLittleEndian) {
  const std::vector<uint8_t> planes = {0x12, 0x34, 0xFF, 0x00};
  const std::string path = TempPath("grey16.psd");
  WriteFileBytes(path, FlatDocument(1, 2, 1, 16, 1, planes));
  Imported got;
  ImportPath(path, got);
  DeleteFileA(path.c_str());
  ASSERT_EQ(got.code, 0);
  EXPECT_EQ(got.Layer(0)->format, VCX_FORMAT_16);
  const uint8_t* p = vcxGetPixelSlot(got.Layer(0));
  EXPECT_EQ(p[0], 0x34);
  EXPECT_EQ(p[1], 0x12);
  EXPECT_EQ(p[3], 0xFF);
}

// --- layers ---

TEST(PsdLayers, ImageMagicksLayersWithPositionsAndNames) {
  Imported got;
  ImportPath(Fixture("rgba-layers.psd"), got, "Layers");
  ASSERT_EQ(got.code, 0);
  EXPECT_EQ(got.dialog.seen, 1);
  for (const char* text : {"Source", "Layers", "Composite", "OK", "Cancel"})
    EXPECT_NE(std::find(got.dialog.texts.begin(), got.dialog.texts.end(), text), got.dialog.texts.end()) << text;
  ASSERT_EQ(got.image->layerCount, 2);
  EXPECT_EQ(got.image->width, 21);
  VCXImage* small = got.Layer(0);
  EXPECT_STREQ(small->name, "Small one");
  EXPECT_EQ(small->x, 4);
  EXPECT_EQ(small->y, 3);
  EXPECT_EQ(small->width, 7);
  EXPECT_EQ(small->height, 5);
  EXPECT_EQ(small->format, VCX_FORMAT_32);
  EXPECT_EQ(small->flags, 0);
  EXPECT_EQ(MaxDifference(LayerRgba(small), ReadFileBytes(Fixture("rgba-layers.psd.1.rgba"))), 0);
  EXPECT_STREQ(got.Layer(1)->name, "Disc");
  EXPECT_EQ(MaxDifference(LayerRgba(got.Layer(1)), ReadFileBytes(Fixture("rgba-layers.psd.2.rgba"))), 0);

  // The choice stays: Enter alone takes the layers again.
  Imported again;
  ImportPath(Fixture("rgba-layers.psd"), again, nullptr);
  ASSERT_EQ(again.code, 0);
  EXPECT_EQ(again.image->layerCount, 2);
  Imported back;
  ImportPath(Fixture("rgba-layers.psd"), back, "Composite");
  EXPECT_EQ(back.image->layerCount, 1);
}

TEST(PsdLayers, HiddenEmptyMaskedAndLongNamedLayers) {
  Imported got;
  ImportPath(Fixture("generated-layers.psd"), got, "Layers");
  ASSERT_EQ(got.code, 0);
  // The layer with the empty rectangle is skipped; the next one is still found.
  ASSERT_EQ(got.image->layerCount, 4);
  VCXImage* raw = got.Layer(0);
  EXPECT_STREQ(raw->name, "Raw layer");
  EXPECT_EQ(raw->x, 2);
  EXPECT_EQ(raw->y, 1);
  EXPECT_EQ(MaxDifference(LayerRgba(raw), ReadFileBytes(Fixture("generated-layers.psd.1.rgba"))), 0);
  VCXImage* hidden = got.Layer(1);
  EXPECT_STREQ(hidden->name, "Hidden");
  EXPECT_EQ(hidden->flags, VCX_FLAG_HIDDEN);
  EXPECT_FLOAT_EQ(hidden->opacity, 128.0f / 255.0f);
  EXPECT_EQ(MaxDifference(LayerRgba(hidden), ReadFileBytes(Fixture("generated-layers.psd.2.rgba")), false), 0);

  // The mask covers rows 1-2 and columns 2-5 of the layer (document rectangle 3,5 - 5,9);
  // outside it the default colour 0 clears the alpha.
  VCXImage* masked = got.Layer(2);
  EXPECT_STREQ(masked->name, "Masked");
  ASSERT_EQ(masked->width, 8);
  ASSERT_EQ(masked->height, 4);
  const uint8_t* p = vcxGetPixelSlot(masked);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = y >= 1 && y < 3 && x >= 2 && x < 6;
      const int expected = inside ? 60 * ((x - 2) + (y - 1)) : 0;
      EXPECT_EQ(p[(y * 8 + x) * 4 + 3], expected) << x << "," << y;
      EXPECT_EQ(p[(y * 8 + x) * 4 + 2], 250);
    }
  }
  VCXImage* named = got.Layer(3);
  EXPECT_EQ(std::strlen(named->name), 63u);
  EXPECT_EQ(std::string(named->name), std::string("A name much longer than sixty-three characters, which the plug-in").substr(0, 63));
  // No transparency channel and no spare composite channel: opaque.
  EXPECT_EQ(vcxGetPixelSlot(named)[3], 255);
  EXPECT_EQ(MaxDifference(LayerRgba(named), ReadFileBytes(Fixture("generated-layers.psd.4.rgba")), false), 0);
}

TEST(PsdLayers, ClicksAndKeysPostedWhileTheDialogClosesChangeNothing) {
  // The composite is chosen; a click on Layers and Enter come after the close began.
  CloseGapProbe gap([](HWND dialog) { return CloseGapProbe::ClickThenKey(dialog, "Layers", VK_RETURN); });
  ASSERT_TRUE(gap.Hooked());
  Imported got;
  ImportPath(Fixture("rgba-layers.psd"), got, "Composite");
  ASSERT_EQ(got.code, 0);
  EXPECT_EQ(gap.filled, 1);
  EXPECT_EQ(gap.freedEarly, 0);
  EXPECT_EQ(got.image->layerCount, 1);
}

TEST(PsdLayers, EscapeAndTheCloseBoxAreError7) {
  for (DialogScript::End end : {DialogScript::ESCAPE, DialogScript::CLOSE_BOX}) {
    Imported got;
    ImportPath(Fixture("rgba-layers.psd"), got, nullptr, end);
    EXPECT_EQ(got.dialog.seen, 1);
    EXPECT_EQ(got.multi, nullptr);
    EXPECT_EQ(got.code, VCX_ERROR_CANCELLED);
  }
}

// --- bad input ---

TEST(PsdBadInput, HeaderChecks) {
  const std::vector<uint8_t> good = ReadFileBytes(Fixture("rgb.psd"));
  struct Case {
    size_t at;
    int size;
    uint32_t value;
  } cases[] = {{4, 2, 2},       {22, 2, 32},   {18, 4, 30001}, {14, 4, 0},  {12, 2, 0},
               {12, 2, 25},     {24, 2, 10},   {6, 2, 1},      {0, 4, 0x38425053 ^ 1}};
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    if (c.size == 2)
      PutBe16(b, c.at, c.value);
    else
      PutBe32(b, c.at, c.value);
    EXPECT_EQ(ImportBytes(b), VCX_ERROR_DATA) << c.at << " = " << c.value;
    const std::string path = TempPath("header.psd");
    WriteFileBytes(path, b);
    EXPECT_EQ(Psd().canImport(path.c_str(), nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(Psd().LastError(), VCX_ERROR_DATA);
    DeleteFileA(path.c_str());
  }
}

TEST(PsdBadInput, LyingSectionLengthsAndCounts) {
  const std::vector<uint8_t> good = ReadFileBytes(Fixture("generated-layers.psd"));
  const size_t section = LayerSectionAt(good);
  // A layer section longer than the file.
  std::vector<uint8_t> b = good;
  PutBe32(b, section, 0x7FFFFFF0);
  EXPECT_EQ(ImportBytes(b), VCX_ERROR_READ);
  // Colour data and resources longer than the file.
  b = good;
  PutBe32(b, 26, 0xFFFFFFF0);
  EXPECT_EQ(ImportBytes(b), VCX_ERROR_READ);
  // An absurd layer count.
  b = good;
  PutBe16(b, section + 8, 32767);
  EXPECT_EQ(ImportBytes(b, "Layers"), VCX_ERROR_DATA);
  PutBe16(b, section + 8, 0x8001);
  EXPECT_EQ(ImportBytes(b, "Layers"), VCX_ERROR_DATA);
  // An absurd channel count in the first record.
  const size_t record = section + 10;
  b = good;
  PutBe16(b, record + 16, 65535);
  EXPECT_EQ(ImportBytes(b, "Layers"), VCX_ERROR_DATA);
  // A channel length past the section.
  b = good;
  PutBe32(b, record + 20, 0x7FFFFFFF);
  EXPECT_EQ(ImportBytes(b, "Layers"), VCX_ERROR_DATA);
  // A layer rectangle far larger than its channel data.
  b = good;
  PutBe32(b, record + 8, 0x7FFFFFFF);
  PutBe32(b, record + 12, 0x7FFFFFFF);
  EXPECT_EQ(ImportBytes(b, "Layers"), VCX_ERROR_DATA);
  // The composite still reads for all of these.
  EXPECT_EQ(ImportBytes(b, "Composite"), 0);
}

namespace {

// One channel image of width x height samples of one value: PackBits, 128 samples a run.
std::vector<uint8_t> PackedPlane(uint32_t width, uint32_t height, uint8_t value) {
  const uint32_t rowBytes = (width + 127) / 128 * 2;
  std::vector<uint8_t> b(2 + 2 * height + rowBytes * height, 0);
  PutBe16(b, 0, 1);
  for (uint32_t y = 0; y < height; ++y)
    PutBe16(b, 2 + 2 * y, rowBytes);
  uint8_t* row = b.data() + 2 + 2 * height;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; x += 128) {
      *row++ = static_cast<uint8_t>(257 - std::min<uint32_t>(128, width - x));
      *row++ = value;
    }
  return b;
}


}  // namespace

TEST(PsdBadInput, RepeatedChannelIdsAreUnpackedOnce) {
  // A grey document whose one layer lists channel 0 a thousand times; the last one counts.
  const uint32_t width = 8192, height = 64, repeats = 1000;
  const std::vector<uint8_t> earlier = PackedPlane(width, height, 7);
  const std::vector<uint8_t> last = PackedPlane(width, height, 200);
  std::vector<uint8_t> record(34 + 6 * repeats, 0);
  PutBe32(record, 8, height);
  PutBe32(record, 12, width);
  PutBe16(record, 16, repeats);
  for (uint32_t i = 0; i < repeats; ++i)
    PutBe32(record, 18 + 6 * i + 2, static_cast<uint32_t>(earlier.size()));
  std::memcpy(&record[18 + 6 * repeats], "8BIMnorm", 8);
  record[26 + 6 * repeats] = 255;
  std::vector<uint8_t> info(6, 0);
  PutBe16(info, 4, 1);
  info.insert(info.end(), record.begin(), record.end());
  for (uint32_t i = 0; i + 1 < repeats; ++i)
    info.insert(info.end(), earlier.begin(), earlier.end());
  info.insert(info.end(), last.begin(), last.end());
  PutBe32(info, 0, static_cast<uint32_t>(info.size() - 4));

  // The layer section, then the composite (PackBits like the last channel).
  std::vector<uint8_t> b = FlatDocument(1, width, height, 8, 1, {});
  b.resize(38);
  PutBe32(b, 34, static_cast<uint32_t>(info.size()));
  b.insert(b.end(), info.begin(), info.end());
  b.insert(b.end(), last.begin(), last.end());

  const std::string path = TempPath("repeats.psd");
  ASSERT_TRUE(WriteFileBytes(path, b));
  const size_t before = PeakWorkingSet();
  Imported got;
  ImportPath(path, got, "Layers");
  const size_t grown = PeakWorkingSet() - before;
  DeleteFileA(path.c_str());
  ASSERT_EQ(got.code, 0);
  ASSERT_EQ(got.image->layerCount, 1);
  const uint8_t* p = vcxGetPixelSlot(got.Layer(0));
  EXPECT_EQ(p[0], 200);
  EXPECT_EQ(p[(size_t(width) * height - 1) * 4 + 2], 200);
  EXPECT_EQ(p[3], 255);
  // One plane of half a megabyte, not a thousand.
  EXPECT_LT(grown, size_t(64) << 20);
}

TEST(PsdBadInput, EveryTruncationEndsCleanly) {
  for (const char* name : {"generated-layers.psd", "rgba-layers.psd", "indexed.psd", "rgb16.psd"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    for (size_t n = 0; n < whole.size(); n += (n < 400 ? 1 : 3)) {
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
      for (const char* source : {"Layers", "Composite"}) {
        const int code = ImportBytes(cut, source);
        EXPECT_TRUE(code == VCX_ERROR_READ || code == VCX_ERROR_DATA || code == 0)
            << name << " cut at " << n << " (" << source << "): " << code;
        if (std::string(source) == "Composite") {
          EXPECT_NE(code, 0) << name << " cut at " << n;
        }
      }
    }
  }
}

TEST(PsdBadInput, MutatedFilesNeverCrash) {
  uint32_t seed = 4242;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (const char* name : {"generated-layers.psd", "rgba-layers.psd", "cmyk.psd"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    for (int round = 0; round < 100; ++round) {
      std::vector<uint8_t> b = whole;
      const int flips = 1 + next() % 5;
      for (int i = 0; i < flips; ++i) {
        const size_t at = 26 + next() % (b.size() - 26);
        b[at] = static_cast<uint8_t>(next());
      }
      const int code = ImportBytes(b, round % 2 ? "Layers" : "Composite");
      EXPECT_TRUE(code == 0 || code == VCX_ERROR_DATA || code == VCX_ERROR_READ || code == VCX_ERROR_MEMORY)
          << name << " round " << round << ": " << code;
    }
  }
}
