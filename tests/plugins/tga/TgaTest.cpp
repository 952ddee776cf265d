#include <gtest/gtest.h>
#include <algorithm>
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>
#include "common/ReplacedFile.h"
#include "plugins/shared/OldPluginHarness.h"

namespace {

OldPlugin& Tga() {
  return LoadOldPlugin("TGA");
}

std::string Fixture(const std::string& name) {
  return OldFixture("tga", name);
}

struct Imported {
  VCXMultiImage* multi = nullptr;
  VCXLayeredImage* image = nullptr;
  VCXImage* layer = nullptr;
  int code = 0;
  ~Imported() { VcsFreeMultiImage(multi); }
};

void ImportPath(const std::string& path, Imported& out) {
  int type = 0;
  out.multi = Tga().import(nullptr, path.c_str(), &type);
  out.code = out.multi ? 0 : Tga().LastError();
  out.image = OnlyImageOf(out.multi);
  if (out.image && out.image->layerCount == 1)
    out.layer = vcxGetLayerSlot(out.image, 0);
  if (out.multi) {
    EXPECT_EQ(type, 1);
  }
}

// Imports bytes written to a temporary file, which is deleted again.
void ImportBytes(const std::vector<uint8_t>& bytes, const char* name, Imported& out) {
  const std::string path = TempPath(name);
  WriteFileBytes(path, bytes);
  ImportPath(path, out);
  DeleteFileA(path.c_str());
}

// A host-made document of one layered image with one colour layer.
VCXMultiImage* MakeDocument(uint32_t format, int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                            int paletteCount = 0, int layers = 1) {
  VCXLayeredImage request = vcxLayeredImageRequest(format, width, height, layers);
  VCXLayeredImage* image = VcsCreateLayeredImage(&request);
  for (int i = 0; i < layers; ++i) {
    VCXImage layer = vcxImageRequest(VCX_KIND_COLOR, format, width, height, "");
    VCXImage* made = VcsCreateImage(&layer);
    std::memcpy(vcxGetPixelSlot(made), pixels.data(), pixels.size());
    if (paletteCount) {
      VCXPalette p = {sizeof(VCXPalette), 1, 0, paletteCount};
      VCXPalette* palette = VcsCreatePalette(&p);
      for (int k = 0; k < paletteCount; ++k)
        vcxGetPaletteEntries(palette)[k] = {255, 10 * k, 255 - k, (7 * k) & 255};
      vcxSetImagePalette(made, palette);
    }
    vcxSetLayerSlot(image, i, made);
  }
  return Wrap({image});
}

// Exports with the dialog answered by clicking the given texts and pressing Enter.
int Export(VCXMultiImage* document, const std::string& path, std::vector<std::string> clicks = {},
           DialogScript* seen = nullptr) {
  DialogScript script;
  script.caption = "TGA Options";
  script.clicks = std::move(clicks);
  DialogAnswer answer(script);
  const int ok = Tga().exportFile(nullptr, path.c_str(), 1, document);
  if (seen)
    *seen = script;
  return ok ? 0 : Tga().LastError();
}

std::vector<uint8_t> Header(uint8_t mapType, uint8_t type, uint16_t mapLength, uint8_t entryBits, uint16_t width,
                            uint16_t height, uint8_t depth, uint8_t descriptor, uint8_t idLength = 0) {
  std::vector<uint8_t> b(18, 0);
  b[0] = idLength;
  b[1] = mapType;
  b[2] = type;
  SetLe16(b, 5, mapLength);
  b[7] = entryBits;
  SetLe16(b, 12, width);
  SetLe16(b, 14, height);
  b[16] = depth;
  b[17] = descriptor;
  return b;
}

const char* const kFixtures[] = {"rgb24.tga",          "rgb24-rle.tga",         "rgb24-topdown.tga",
                                 "rgba32.tga",         "rgba32-rle-topdown.tga", "grey8.tga",
                                 "grey8-rle.tga",      "mapped8.tga",           "mapped8-rle-topdown.tga",
                                 "rgb16.tga",          "rgb16-rle-topdown.tga", "rgb24-id20.tga",
                                 "runs-rle.tga"};

}  // namespace

// --- import ---

TEST(TgaImport, FixturesMatchImageMagicksDecode) {
  for (const char* name : kFixtures) {
    Imported got;
    ImportPath(Fixture(name), got);
    ASSERT_EQ(got.code, 0) << name;
    ASSERT_NE(got.layer, nullptr) << name;
    const std::vector<uint8_t> file = ReadFileBytes(Fixture(name));
    const std::vector<uint8_t> reference = ReadFileBytes(Fixture(std::string(name) + ".rgba"));
    EXPECT_EQ(got.image->width, Le16(file, 12)) << name;
    EXPECT_EQ(got.image->height, Le16(file, 14)) << name;
    EXPECT_EQ(got.layer->kind, VCX_KIND_COLOR);
    EXPECT_FLOAT_EQ(got.layer->opacity, 1.0f);
    const uint8_t depth = file[16];
    const uint32_t format = depth == 8 ? VCX_FORMAT_8 : depth == 32 ? VCX_FORMAT_32 : VCX_FORMAT_24;
    EXPECT_EQ(got.layer->format, format) << name;
    const bool mapped = (file[2] & 3) == 1;
    VCXPalette* palette = vcxGetImagePalette(got.layer);
    EXPECT_EQ(palette != nullptr, mapped) << name;
    if (palette) {
      EXPECT_EQ(palette->count, Le16(file, 5)) << name;
    }
    // 5-bit channels widen to 8 bits with a rounding of their own (off by at most 1 from
    // ImageMagick's); all else is exact.
    const int difference = MaxDifference(LayerRgba(got.layer), reference);
    EXPECT_GE(difference, 0) << name;
    EXPECT_LE(difference, depth == 16 ? 1 : 0) << name;
  }
}

TEST(TgaImport, DescriptionsAndPreview) {
  struct Case {
    const char* file;
    const char* text;
  } cases[] = {
      {"rgb24.tga", "Targa bitmap\n23x13 RGB (24 bpp) "},
      {"rgb24-rle.tga", "Targa bitmap\n23x13 RGB (24 bpp) RLE"},
      {"rgba32.tga", "Targa bitmap\n23x13 RGBA (32 bpp) "},
      {"grey8-rle.tga", "Targa bitmap\n23x13 Gs (8 bpp) RLE"},
      {"rgb16.tga", "Targa bitmap\n23x13 RGB (16 bpp) "},
  };
  for (const Case& c : cases) {
    char text[128] = {};
    int type = 0;
    EXPECT_EQ(Tga().canImport(Fixture(c.file).c_str(), &type, nullptr, text, sizeof text), 1) << c.file;
    EXPECT_EQ(type, 1);
    EXPECT_STREQ(text, c.text);
  }
  const std::vector<uint8_t> mapped = ReadFileBytes(Fixture("mapped8.tga"));
  char text[128] = {};
  ASSERT_EQ(Tga().canImport(Fixture("mapped8.tga").c_str(), nullptr, nullptr, text, sizeof text), 1);
  EXPECT_EQ(std::string(text), "Targa bitmap\n23x13 " + std::to_string(Le16(mapped, 5)) + " colors (8 bpp) ");

  VCXLayeredImage* preview = nullptr;
  ASSERT_EQ(Tga().canImport(Fixture("rgba32-rle-topdown.tga").c_str(), nullptr, &preview, nullptr, 0), 1);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->layerCount, 1);
  EXPECT_EQ(MaxDifference(LayerRgba(vcxGetLayerSlot(preview, 0)),
                          ReadFileBytes(Fixture("rgba32-rle-topdown.tga.rgba"))),
            0);
  VcsFreeLayeredImage(preview);
  EXPECT_EQ(Tga().canImport((Fixture("missing.tga")).c_str(), nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_ACCESS);
}

TEST(TgaImport, EveryPixelOrderOfEveryDepthRawAndRunLengthEncoded) {
  // A 5 x 3 picture as seen (rows top-down, pixels left to right), its first two pixels of
  // each row alike so that the encoded files hold runs as well as raw packets.
  const uint16_t w = 5, h = 3;
  for (uint8_t depth : {8, 16, 24, 32}) {
    const size_t n = depth / 8;
    std::vector<uint8_t> seen(size_t(w) * h * n);
    for (size_t y = 0; y < h; ++y)
      for (size_t x = 0; x < w; ++x)
        for (size_t k = 0; k < n; ++k)
          seen[(y * w + x) * n + k] = static_cast<uint8_t>(40 * (x ? x : 1) + 13 * y + 71 * k);
    // What the layer must hold: the picture, 16-bit pixels widened to 8 bits a channel.
    std::vector<uint8_t> expected = seen;
    if (depth == 16) {
      expected.clear();
      for (size_t i = 0; i < seen.size(); i += 2) {
        const uint32_t v = seen[i] | seen[i + 1] << 8;
        for (uint32_t shift : {0, 5, 10})
          expected.push_back(static_cast<uint8_t>((((v >> shift) & 31) * 510 + 31) / 62));
      }
    }
    for (uint8_t descriptor : {0x00, 0x10, 0x20, 0x30}) {
      std::vector<uint8_t> stored;
      for (size_t i = 0; i < h; ++i) {
        const size_t y = (descriptor & 0x20) ? i : h - 1 - i;
        for (size_t j = 0; j < w; ++j) {
          const size_t x = (descriptor & 0x10) ? w - 1 - j : j;
          stored.insert(stored.end(), seen.begin() + (y * w + x) * n, seen.begin() + (y * w + x + 1) * n);
        }
      }
      // Run-length packets: a run of each pixel equal to its successor, else a raw pixel.
      std::vector<uint8_t> packed;
      for (size_t at = 0; at < stored.size();) {
        size_t run = 1;
        while (at + (run + 1) * n <= stored.size() &&
               std::equal(stored.begin() + at, stored.begin() + at + n, stored.begin() + at + run * n))
          ++run;
        packed.push_back(static_cast<uint8_t>(run > 1 ? 0x80 | (run - 1) : 0));
        packed.insert(packed.end(), stored.begin() + at, stored.begin() + at + n);
        at += run * n;
      }
      for (bool rle : {false, true}) {
        SCOPED_TRACE(testing::Message() << "depth " << int(depth) << " descriptor " << int(descriptor)
                                        << " rle " << rle);
        std::vector<uint8_t> b = Header(0, static_cast<uint8_t>((depth == 8 ? 3 : 2) | (rle ? 8 : 0)), 0, 0, w,
                                        h, depth, descriptor);
        const std::vector<uint8_t>& pixels = rle ? packed : stored;
        b.insert(b.end(), pixels.begin(), pixels.end());
        Imported got;
        ImportBytes(b, "order.tga", got);
        ASSERT_NE(got.layer, nullptr) << got.code;
        const uint8_t* p = vcxGetPixelSlot(got.layer);
        EXPECT_TRUE(std::vector<uint8_t>(p, p + expected.size()) == expected);
      }
    }
  }
}

TEST(TgaImport, ColourMapEntriesOf16And32Bits) {
  // Two entries of 16 bits: 0x7C1F (red 31, blue 31) and 0x03E0 (green 31).
  std::vector<uint8_t> b = Header(1, 1, 2, 16, 2, 1, 8, 0x20);
  b.insert(b.end(), {0x1F, 0x7C, 0xE0, 0x03, 1, 0});
  const std::string path = TempPath("map16.tga");
  WriteFileBytes(path, b);
  {
    Imported got;
    ImportPath(path, got);
    ASSERT_NE(got.layer, nullptr);
    VCXPalette* palette = vcxGetImagePalette(got.layer);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->count, 2);
    const VCXPaletteEntry* e = vcxGetPaletteEntries(palette);
    EXPECT_EQ(e[0].red, 248);
    EXPECT_EQ(e[0].green, 0);
    EXPECT_EQ(e[0].blue, 248);
    EXPECT_EQ(e[0].alpha, 255);
    EXPECT_EQ(e[1].green, 248);
    EXPECT_EQ(vcxGetPixelSlot(got.layer)[0], 1);
  }
  // 32-bit entries keep their alpha.
  b = Header(1, 9, 1, 32, 3, 1, 8, 0);
  b.insert(b.end(), {10, 20, 30, 40, 0x82, 0});
  WriteFileBytes(path, b);
  {
    Imported got;
    ImportPath(path, got);
    ASSERT_NE(got.layer, nullptr);
    const VCXPaletteEntry* e = vcxGetPaletteEntries(vcxGetImagePalette(got.layer));
    EXPECT_EQ(e[0].blue, 10);
    EXPECT_EQ(e[0].green, 20);
    EXPECT_EQ(e[0].red, 30);
    EXPECT_EQ(e[0].alpha, 40);
  }
  // Entries of 15 bits are not read.
  b = Header(1, 1, 1, 15, 1, 1, 8, 0);
  b.insert(b.end(), {0, 0, 0});
  WriteFileBytes(path, b);
  EXPECT_EQ(ImportBytesError(Tga(), b, "map15.tga"), VCX_ERROR_DATA);
  DeleteFileA(path.c_str());
}

TEST(TgaImport, SmallFileWithoutFooterAndSkippedMapOfATrueColourFile) {
  // 1 x 1 pixel, 21 bytes: no room for a footer.
  std::vector<uint8_t> b = Header(0, 2, 0, 0, 1, 1, 24, 0);
  b.insert(b.end(), {1, 2, 3});
  EXPECT_EQ(ImportBytesError(Tga(), b, "tiny.tga"), 0);
  // A true-colour file that carries a colour map: the map is passed over.
  b = Header(1, 2, 2, 24, 1, 1, 24, 0);
  b.insert(b.end(), {9, 9, 9, 8, 8, 8, 1, 2, 3});
  Imported got;
  ImportBytes(b, "map-skip.tga", got);
  ASSERT_NE(got.layer, nullptr);
  EXPECT_EQ(vcxGetImagePalette(got.layer), nullptr);
  const uint8_t* p = vcxGetPixelSlot(got.layer);
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[2], 3);
}

// --- bad input ---

TEST(TgaBadInput, HeaderChecks) {
  struct Case {
    std::vector<uint8_t> header;
    int code;
  } cases[] = {
      {Header(2, 2, 0, 0, 4, 4, 24, 0), VCX_ERROR_DATA},   // map type above 1
      {Header(0, 2, 0, 0, 0, 4, 24, 0), VCX_ERROR_DATA},   // zero width
      {Header(0, 2, 0, 0, 4, 0, 24, 0), VCX_ERROR_DATA},   // zero height
      {Header(0, 2, 0, 0, 4, 4, 15, 0), VCX_ERROR_DATA},   // depth
      {Header(0, 0, 0, 0, 4, 4, 24, 0), VCX_ERROR_DATA},   // no image
      {Header(0, 32, 0, 0, 4, 4, 24, 0), VCX_ERROR_DATA},  // compressed kind it does not know
      {Header(0, 3, 0, 0, 4, 4, 16, 0), VCX_ERROR_DATA},   // 16-bit grey
      // Lying sizes: the file cannot hold the pixels, nothing is allocated for them.
      {Header(0, 2, 0, 0, 65535, 65535, 32, 0), VCX_ERROR_READ},
      {Header(0, 10, 0, 0, 65535, 65535, 32, 0), VCX_ERROR_READ},
      {Header(0, 2, 0, 0, 4, 4, 24, 0, 255), VCX_ERROR_READ},  // ID beyond the end
      {Header(1, 1, 65535, 32, 4, 4, 8, 0), VCX_ERROR_READ},   // colour map beyond the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImportBytesError(Tga(), c.header, "bad.tga"), c.code);
    const std::string path = TempPath("bad-can.tga");
    WriteFileBytes(path, c.header);
    if (c.code == VCX_ERROR_DATA) {
      EXPECT_EQ(Tga().canImport(path.c_str(), nullptr, nullptr, nullptr, 0), 0);
      EXPECT_EQ(Tga().LastError(), VCX_ERROR_DATA);
    }
    DeleteFileA(path.c_str());
  }
  EXPECT_EQ(ImportBytesError(Tga(), {}, "empty.tga"), VCX_ERROR_READ);
}

TEST(TgaBadInput, RunPastTheLastPixelIsRejected) {
  // 2 x 1 pixels, a run of 3.
  std::vector<uint8_t> b = Header(0, 10, 0, 0, 2, 1, 24, 0);
  b.insert(b.end(), {0x82, 1, 2, 3, 0, 0, 0});
  EXPECT_EQ(ImportBytesError(Tga(), b, "overrun.tga"), VCX_ERROR_DATA);
  // A raw packet of 4 for 3 pixels.
  b = Header(0, 11, 0, 0, 3, 1, 8, 0);
  b.insert(b.end(), {0x03, 1, 2, 3, 4});
  EXPECT_EQ(ImportBytesError(Tga(), b, "overrun2.tga"), VCX_ERROR_DATA);
  // Packets that end early.
  b = Header(0, 10, 0, 0, 300, 1, 24, 0);
  b.insert(b.end(), {0xFF, 1, 2, 3, 0x81, 1, 2, 3});
  EXPECT_EQ(ImportBytesError(Tga(), b, "short.tga"), VCX_ERROR_READ);
}

TEST(TgaBadInput, EveryTruncationFails) {
  for (const char* name : {"rgb24-rle.tga", "mapped8-rle-topdown.tga", "rgb16.tga", "rgb24-id20.tga"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    ASSERT_FALSE(whole.empty());
    for (size_t n = 0; n < whole.size(); ++n) {
      const int code = ImportBytesError(Tga(), std::vector<uint8_t>(whole.begin(), whole.begin() + n), "cut.tga");
      EXPECT_TRUE(code == VCX_ERROR_READ || code == VCX_ERROR_DATA) << name << " cut at " << n << ": " << code;
    }
  }
}

TEST(TgaBadInput, MutatedFilesNeverCrash) {
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (const char* name : {"rgb24-rle.tga", "mapped8-rle-topdown.tga", "grey8.tga", "rgba32-rle-topdown.tga"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(Fixture(name));
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> b = whole;
      const int flips = 1 + next() % 4;
      for (int i = 0; i < flips; ++i) {
        // Mostly the header and the first packets.
        const size_t at = (next() % 3 == 0) ? next() % b.size() : next() % 40;
        b[at] = static_cast<uint8_t>(next());
      }
      const int code = ImportBytesError(Tga(), b, "mutant.tga");
      EXPECT_TRUE(code == 0 || code == VCX_ERROR_DATA || code == VCX_ERROR_READ || code == VCX_ERROR_MEMORY)
          << name << " round " << round << ": " << code;
    }
  }
}

// --- export ---

TEST(TgaExport, CanExportChecks) {
  std::vector<uint8_t> pixels(4 * 4 * 4, 0);
  int flags = -1;
  EXPECT_EQ(Tga().canExport(1, nullptr, &flags), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_PARAMETER);
  VCXMultiImage* one = MakeDocument(VCX_FORMAT_32, 4, 4, pixels);
  EXPECT_EQ(Tga().canExport(1, one, &flags), 1);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(Tga().canExport(2, one, &flags), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_FORMAT);
  VCXMultiImage* layered = MakeDocument(VCX_FORMAT_32, 4, 4, pixels, 0, 3);
  EXPECT_EQ(Tga().canExport(1, layered, &flags), 1);
  EXPECT_EQ(flags, VCX_LOSS_LAYERS);
  VCXMultiImage* four = MakeDocument(VCX_FORMAT_4, 4, 4, std::vector<uint8_t>(8, 0), 16);
  EXPECT_EQ(Tga().canExport(1, four, &flags), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_FORMAT);
  VCXMultiImage* two = Wrap({vcxGetImageSlot(MakeDocument(VCX_FORMAT_24, 4, 4, std::vector<uint8_t>(48, 0)), 0),
                             vcxGetImageSlot(MakeDocument(VCX_FORMAT_24, 4, 4, std::vector<uint8_t>(48, 0)), 0)});
  EXPECT_EQ(Tga().canExport(1, two, &flags), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_FORMAT);
  EXPECT_EQ(Tga().exportFile(nullptr, nullptr, 1, one), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_PARAMETER);
  EXPECT_EQ(Tga().exportFile(nullptr, TempPath("x.tga").c_str(), 3, one), 0);
  EXPECT_EQ(Tga().LastError(), VCX_ERROR_FORMAT);
  for (VCXMultiImage* m : {one, layered, four, two})
    VcsFreeMultiImage(m);
}

TEST(TgaExport, Default24BitFileIsBottomUpRawWithFooterAndRoundTrips) {
  std::vector<uint8_t> pixels(5 * 3 * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i * 11);
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_24, 5, 3, pixels);
  const std::string path = TempPath("out24.tga");
  DialogScript seen;
  ASSERT_EQ(Export(doc, path, {}, &seen), 0);
  EXPECT_EQ(seen.seen, 1);
  const std::vector<uint8_t> file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 18u + 45u + 26u);
  EXPECT_EQ(file[1], 0);
  EXPECT_EQ(file[2], 2);
  EXPECT_EQ(file[16], 24);
  EXPECT_EQ(file[17], 0);
  // The last row comes first.
  EXPECT_EQ(0, std::memcmp(file.data() + 18, pixels.data() + 30, 15));
  EXPECT_EQ(0, std::memcmp(file.data() + file.size() - 18, "TRUEVISION-XFILE.", 18));
  EXPECT_EQ(Le32(file, file.size() - 26), 0u);
  Imported back;
  ImportPath(path, back);
  ASSERT_NE(back.layer, nullptr);
  EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(back.layer), pixels.data(), pixels.size()));
  DeleteFileA(path.c_str());
  VcsFreeMultiImage(doc);
}

TEST(TgaExport, DialogOffersTheOptionsOfEachDepth) {
  const std::string path = TempPath("dialog.tga");
  DialogScript seen;
  VCXMultiImage* doc24 = MakeDocument(VCX_FORMAT_24, 2, 2, std::vector<uint8_t>(12, 7));
  ASSERT_EQ(Export(doc24, path, {}, &seen), 0);
  for (const char* text : {"Format", "Grayscale (8 bpp)", "R5:G5:B5 (15 bpp)", "R8:G8:B8 (24 bpp)",
                           "Top-down row order", "RLE compression", "OK", "Cancel"})
    EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), text), seen.texts.end()) << text;
  VCXMultiImage* doc32 = MakeDocument(VCX_FORMAT_32, 2, 2, std::vector<uint8_t>(16, 7));
  ASSERT_EQ(Export(doc32, path, {}, &seen), 0);
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), "Premultiplied alpha"), seen.texts.end());
  EXPECT_EQ(std::find(seen.texts.begin(), seen.texts.end(), "Format"), seen.texts.end());
  VCXMultiImage* doc8 = MakeDocument(VCX_FORMAT_8, 2, 2, std::vector<uint8_t>(4, 1), 4);
  ASSERT_EQ(Export(doc8, path, {}, &seen), 0);
  EXPECT_EQ(std::find(seen.texts.begin(), seen.texts.end(), "Premultiplied alpha"), seen.texts.end());
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), "RLE compression"), seen.texts.end());
  DeleteFileA(path.c_str());
  for (VCXMultiImage* m : {doc24, doc32, doc8})
    VcsFreeMultiImage(m);
}

TEST(TgaExport, CancelLeavesNoFile) {
  VCXMultiImage* doc24 = MakeDocument(VCX_FORMAT_24, 2, 2, std::vector<uint8_t>(12, 7));
  VCXMultiImage* doc32 = MakeDocument(VCX_FORMAT_32, 2, 2, std::vector<uint8_t>(16, 7));
  VCXMultiImage* doc8 = MakeDocument(VCX_FORMAT_8, 2, 2, std::vector<uint8_t>(4, 1), 4);
  const std::string path = TempPath("cancelled.tga");
  DeleteFileA(path.c_str());
  // Escape, a click on Cancel, and the close box of each depth's dialog.
  const struct {
    VCXMultiImage* doc;
    DialogScript::End end;
    const char* click;
  } cases[] = {{doc24, DialogScript::ESCAPE, nullptr},
               {doc24, DialogScript::ENTER, "Cancel"},
               {doc24, DialogScript::CLOSE_BOX, nullptr},
               {doc32, DialogScript::CLOSE_BOX, nullptr},
               {doc8, DialogScript::CLOSE_BOX, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(vcxGetImageSlot(c.doc, 0)->format >> 16);
    DialogScript script;
    script.caption = "TGA Options";
    script.end = c.end;
    if (c.click)
      script.clicks = {c.click};
    {
      DialogAnswer answer(script);
      EXPECT_EQ(Tga().exportFile(nullptr, path.c_str(), 1, c.doc), 0);
    }
    EXPECT_EQ(script.seen, 1);
    EXPECT_EQ(Tga().LastError(), VCX_ERROR_CANCELLED);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  for (VCXMultiImage* m : {doc24, doc32, doc8})
    VcsFreeMultiImage(m);
}

TEST(TgaExport, RunsOf128AndRawPacketsPerRow) {
  // Row 0: 200 equal pixels; row 1: alternating pixels.
  const int w = 200;
  std::vector<uint8_t> pixels(size_t(w) * 2 * 3);
  for (int x = 0; x < w; ++x) {
    uint8_t* top = &pixels[3 * x];
    top[0] = 1, top[1] = 2, top[2] = 3;
    uint8_t* second = &pixels[3 * (w + x)];
    second[0] = second[1] = second[2] = static_cast<uint8_t>(x & 1 ? 200 : 100);
  }
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_24, w, 2, pixels);
  const std::string path = TempPath("rle.tga");
  ASSERT_EQ(Export(doc, path, {"RLE compression", "Top-down row order"}), 0);
  const std::vector<uint8_t> file = ReadFileBytes(path);
  EXPECT_EQ(file[2], 10);
  EXPECT_EQ(file[17], 0x20);
  size_t at = 18;
  EXPECT_EQ(file[at], 0xFF);
  EXPECT_EQ(file[at + 4], 0x80 | 71);
  at += 8;
  // Alternating: raw packets of at most 128 pixels; the last pixel, without a successor
  // to differ from, gets a packet of its own.
  EXPECT_EQ(file[at], 127);
  at += 1 + 128 * 3;
  EXPECT_EQ(file[at], 70);
  at += 1 + 71 * 3;
  EXPECT_EQ(file[at], 0);
  at += 1 + 3;
  EXPECT_EQ(at + 26, file.size());
  {
    Imported back;
    ImportPath(path, back);
    ASSERT_NE(back.layer, nullptr);
    EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(back.layer), pixels.data(), pixels.size()));
  }
  // The options stay chosen until they are changed again.
  ASSERT_EQ(Export(doc, path), 0);
  EXPECT_EQ(ReadFileBytes(path)[2], 10);
  ASSERT_EQ(Export(doc, path, {"RLE compression", "Top-down row order"}), 0);
  EXPECT_EQ(ReadFileBytes(path)[2], 2);
  EXPECT_EQ(ReadFileBytes(path)[17], 0);
  DeleteFileA(path.c_str());
  VcsFreeMultiImage(doc);
}

TEST(TgaExport, PalettedImageRoundTripsWithItsPalette) {
  std::vector<uint8_t> pixels(6 * 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i % 5);
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_8, 6, 4, pixels, 5);
  const std::string path = TempPath("mapped.tga");
  ASSERT_EQ(Export(doc, path, {"RLE compression"}), 0);
  const std::vector<uint8_t> file = ReadFileBytes(path);
  EXPECT_EQ(file[1], 1);
  EXPECT_EQ(file[2], 9);
  EXPECT_EQ(Le16(file, 5), 5);
  EXPECT_EQ(file[7], 24);
  Imported back;
  ImportPath(path, back);
  ASSERT_NE(back.layer, nullptr);
  EXPECT_EQ(back.layer->format, VCX_FORMAT_8);
  const VCXPalette* original = vcxGetImagePalette(vcxGetLayerSlot(vcxGetImageSlot(doc, 0), 0));
  const VCXPalette* palette = vcxGetImagePalette(back.layer);
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->count, 5);
  EXPECT_EQ(0, std::memcmp(vcxGetPaletteEntries(palette), vcxGetPaletteEntries(original), 5 * 16));
  EXPECT_EQ(0, std::memcmp(vcxGetPixelSlot(back.layer), pixels.data(), pixels.size()));
  DeleteFileA(path.c_str());
  VcsFreeMultiImage(doc);
}

TEST(TgaExport, GreyFifteenBitAndPremultipliedOutputs) {
  const uint8_t bgr[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 10, 128, 250};
  std::vector<uint8_t> pixels(bgr, bgr + sizeof bgr);
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_24, 6, 1, pixels);
  const std::string path = TempPath("grey.tga");
  ASSERT_EQ(Export(doc, path, {"Grayscale (8 bpp)"}), 0);
  std::vector<uint8_t> file = ReadFileBytes(path);
  EXPECT_EQ(file[2], 3);
  EXPECT_EQ(file[16], 8);
  // Luminance of the linearised channels, encoded again.
  EXPECT_NEAR(file[18], 127, 1);  // red
  EXPECT_NEAR(file[19], 220, 1);  // green
  EXPECT_NEAR(file[20], 76, 1);   // blue
  EXPECT_EQ(file[21], 255);
  EXPECT_EQ(file[22], 0);

  // The option stays chosen for the next 24-bit export; 15 bits now.
  ASSERT_EQ(Export(doc, path, {"R5:G5:B5 (15 bpp)"}), 0);
  file = ReadFileBytes(path);
  EXPECT_EQ(file[2], 2);
  EXPECT_EQ(file[16], 16);
  EXPECT_EQ(Le16(file, 18), 0x7C00);
  EXPECT_EQ(Le16(file, 20), 0x03E0);
  EXPECT_EQ(Le16(file, 22), 0x001F);
  EXPECT_EQ(Le16(file, 24), 0x7FFF);
  EXPECT_EQ(Le16(file, 26), 0);
  ASSERT_EQ(Export(doc, path, {}), 0);
  EXPECT_EQ(ReadFileBytes(path)[16], 16);
  ASSERT_EQ(Export(doc, path, {"R8:G8:B8 (24 bpp)"}), 0);
  EXPECT_EQ(ReadFileBytes(path)[16], 24);
  VcsFreeMultiImage(doc);

  const uint8_t bgra[] = {200, 100, 50, 128, 255, 255, 255, 0};
  VCXMultiImage* doc32 = MakeDocument(VCX_FORMAT_32, 2, 1, std::vector<uint8_t>(bgra, bgra + 8));
  ASSERT_EQ(Export(doc32, path, {"Premultiplied alpha"}), 0);
  file = ReadFileBytes(path);
  EXPECT_EQ(file[16], 32);
  const uint8_t expected[] = {100, 50, 25, 128, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(file.data() + 18, expected, 8));
  // The document itself is untouched.
  EXPECT_EQ(vcxGetPixelSlot(vcxGetLayerSlot(vcxGetImageSlot(doc32, 0), 0))[0], 200);
  ASSERT_EQ(Export(doc32, path, {"Premultiplied alpha"}), 0);
  EXPECT_EQ(ReadFileBytes(path)[18], 200);
  VcsFreeMultiImage(doc32);
  DeleteFileA(path.c_str());
}

TEST(TgaExport, SeveralLayersAreMergedIntoOne32BitImage) {
  std::vector<uint8_t> pixels(3 * 2 * 4, 0);
  for (size_t i = 0; i < pixels.size(); i += 4)
    pixels[i] = 9, pixels[i + 3] = 255;
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_32, 3, 2, pixels, 0, 2);
  const std::string path = TempPath("merged.tga");
  ASSERT_EQ(Export(doc, path), 0);
  const std::vector<uint8_t> file = ReadFileBytes(path);
  EXPECT_EQ(file[16], 32);
  EXPECT_EQ(file[18], 9);
  EXPECT_EQ(file[21], 255);
  // The document keeps its layers.
  EXPECT_EQ(vcxGetImageSlot(doc, 0)->layerCount, 2);
  EXPECT_EQ(Export(doc, "Z:\\no\\such\\folder\\x.tga"), VCX_ERROR_CREATE);
  VcsFreeMultiImage(doc);
  DeleteFileA(path.c_str());
}

TEST(TgaExport, ACompleteWriteOverAFileTakesItsPlaceAndAReadOnlyFileIsRefused) {
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_24, 5, 3, std::vector<uint8_t>(45, 9));
  ExistingFile target("old.tga");
  ASSERT_EQ(Export(doc, target.path), 0);
  EXPECT_EQ(target.Replacement().size(), 18u + 45u + 26u);
  ExistingFile locked("old.tga");
  SetFileAttributesA(locked.path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Export(doc, locked.path), VCX_ERROR_CREATE);
  locked.ExpectKept();
  VcsFreeMultiImage(doc);
}

namespace {

// A 100 x 100 32-bit document, 40,044 bytes as a TGA file, owned for the test's lifetime.
class ReplacingExport {
public:
  ReplacingExport() {
    std::vector<uint8_t> pixels(100 * 100 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<uint8_t>(i * 7);
    doc = MakeDocument(VCX_FORMAT_32, 100, 100, pixels);
  }
  ~ReplacingExport() { VcsFreeMultiImage(doc); }
  ReplacingExport(const ReplacingExport&) = delete;
  ReplacingExport& operator=(const ReplacingExport&) = delete;

  // The export, reporting the plug-in's error code.
  ReplacingWrite Write() const {
    VCXMultiImage* written = doc;
    return {"t",
            [written](const std::string& path) {
              const int code = Export(written, path);
              return code ? std::to_string(code) : std::string();
            },
            "10", "12", Tga().module};
  }

  VCXMultiImage* doc;
};

}  // namespace

TEST(TgaExport, OverAFileWorksInFoldersOf250CharactersAndMore) {
  ExpectReplacesInDeepFolders(ReplacingExport().Write());
}

TEST(TgaExport, OverAFileLeavesFilesUnderTheNamesItMightTakeAlone) {
  ExpectLeavesOtherFilesAlone(ReplacingExport().Write());
}

TEST(TgaExport, OverAHiddenSystemFileKeepsItOne) {
  ExpectKeepsTheAttributes(ReplacingExport().Write());
}

TEST(TgaExport, OverAFileHeldOpenElsewhereKeepsIt) {
  ExpectKeepsAHeldTarget(ReplacingExport().Write());
}

TEST(TgaExport, OverAFileKeepsEverythingTheFileWas) {
  ExpectKeepsEverythingTheTargetWas(ReplacingExport().Write());
}

TEST(FullDisk, ATgaExportWhoseLastWriteFailsKeepsTheFile) {
  if (!FileSizeLimit())
    GTEST_SKIP() << "runs where files are limited in size (ctest's plugins_tga_full_disk)";
  ExpectKeepsTheTargetWhenTheLastWriteFails(ReplacingExport().Write());
}

TEST(FullDisk, ATgaWriteThatFailsLeavesTheOldFile) {
  if (!FileSizeLimit())
    GTEST_SKIP() << "runs where files are limited in size (ctest's plugins_tga_full_disk)";
  // 360,000 bytes of pixels: more than the limit.
  VCXMultiImage* doc = MakeDocument(VCX_FORMAT_32, 300, 300, std::vector<uint8_t>(360000, 5));
  ExistingFile target("old.tga");
  EXPECT_EQ(Export(doc, target.path), VCX_ERROR_WRITE);
  target.ExpectKept();
  VcsFreeMultiImage(doc);
}
