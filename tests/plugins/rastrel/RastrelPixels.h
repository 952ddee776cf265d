#pragma once
// Reading records back as ImageMagick dumps pictures, and small file builders for the BMP
// and PNG tests.
#include <cstdint>
#include <string>
#include <vector>
#include "RastrelHarness.h"

// R, G, B, A of every pixel, rows top-down: 8-bit samples, or 16-bit samples least
// significant byte first when sixteen is set. Colour from the palette, the grey value or
// the pixel; alpha from the palette, the pixel, and the mask when there is one.
inline std::vector<uint8_t> RecordToRgba(const VCXLayeredImage* image, bool sixteen = false) {
  const VCXImage* color = FindLayer(image, VCX_KIND_COLOR);
  const VCXImage* mask = FindLayer(image, VCX_KIND_MASK);
  const uint32_t bpp = color->format >> 16;
  const uint8_t* pixels = vcxGetPixelSlot(color);
  const size_t rowBytes = static_cast<size_t>(GetRecordRowBytes(color->format, color->width));
  const size_t maskRow = (static_cast<size_t>(color->width) + 7) / 8;
  const VCXPalette* palette = vcxGetImagePalette(color);
  std::vector<uint8_t> out;
  auto push = [&](uint32_t v16) {
    if (sixteen) {
      out.push_back(static_cast<uint8_t>(v16));
      out.push_back(static_cast<uint8_t>(v16 >> 8));
    } else {
      out.push_back(static_cast<uint8_t>((v16 * 255 + 32767) / 65535));
    }
  };
  for (int32_t y = 0; y < color->height; ++y) {
    const uint8_t* row = pixels + rowBytes * y;
    for (int32_t x = 0; x < color->width; ++x) {
      uint32_t r, g, b, a = 0xFFFF;
      auto le16 = [&](size_t at) { return static_cast<uint32_t>(row[at] | row[at + 1] << 8); };
      if (bpp == 64 || bpp == 48) {
        const size_t at = (bpp / 8) * static_cast<size_t>(x);
        b = le16(at);
        g = le16(at + 2);
        r = le16(at + 4);
        if (bpp == 64)
          a = le16(at + 6);
      } else if (bpp == 32 || bpp == 24) {
        const uint8_t* p = row + (bpp / 8) * static_cast<size_t>(x);
        b = p[0] * 257u;
        g = p[1] * 257u;
        r = p[2] * 257u;
        if (bpp == 32)
          a = p[3] * 257u;
      } else if (bpp == 16) {
        r = g = b = le16(2 * static_cast<size_t>(x));
      } else {
        const uint32_t index = bpp == 8 ? row[x]
                               : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                          : (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (palette) {
          const VCXPaletteEntry& e = vcxGetPaletteEntries(palette)[index];
          r = e.red * 257u;
          g = e.green * 257u;
          b = e.blue * 257u;
          a = e.alpha * 257u;
        } else {
          r = g = b = (bpp == 8 ? index : bpp == 4 ? index * 17 : index * 255) * 257u;
        }
      }
      if (mask && !((vcxGetPixelSlot(mask)[maskRow * y + (x >> 3)] >> (7 - (x & 7))) & 1))
        a = 0;
      push(r);
      push(g);
      push(b);
      push(a);
    }
  }
  return out;
}

// FNV-1a over bytes, as the fixture script hashes large decodes.
inline uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes)
    h = (h ^ b) * 0x100000001b3ull;
  return h;
}

// Imports path through the plug-in; the code of the failure when it gives nothing.
struct ImportResult {
  VCXMultiImage* multi = nullptr;
  int type = 0;
  int code = 0;
  std::string message;
};

inline ImportResult ImportPath(const std::string& path) {
  ImportResult r;
  r.multi = Rastrel().import(nullptr, path.c_str(), &r.type);
  if (!r.multi)
    r.code = Rastrel().LastError(&r.message);
  return r;
}

// Writes bytes to a temporary file and imports it; the file is deleted again.
inline ImportResult ImportFileBytes(const std::vector<uint8_t>& bytes, const char* name = "probe.bin") {
  const std::string path = TempPath(name);
  WriteFileBytes(path, bytes);
  ImportResult r = ImportPath(path);
  DeleteFileA(path.c_str());
  return r;
}

inline std::vector<uint8_t> FixtureBytes(const std::string& name) {
  return ReadFileBytes(FixtureFolder() + name);
}

// A layered image of one colour layer with the given pixel bytes (rows top-down, unpadded).
inline VCXLayeredImage* MakeImage(uint32_t format, int32_t width, int32_t height,
                                  const std::vector<uint8_t>& pixels, int paletteCount = 0,
                                  bool withMask = false) {
  VCXLayeredImage* image = MakeIcon(format, width, height, paletteCount, withMask);
  VCXImage* color = vcxGetLayerSlot(image, 0);
  if (!pixels.empty())
    std::memcpy(vcxGetPixelSlot(color), pixels.data(), pixels.size());
  return image;
}
