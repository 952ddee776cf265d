#include "plugins/tga/TgaFile.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"
#include "wul/WULSRGB.h"

namespace {

uint16_t Le16(const uint8_t* b) {
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

void SetLe16(uint8_t* b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

uint8_t Clamp255(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Output through a 64 KiB buffer.
class CWriter {
public:
  explicit CWriter(HANDLE file) : m_file(file), m_buffer(BUFFER_SIZE), m_fill(0) {}
  void Write(const void* data, size_t n) {
    const uint8_t* from = static_cast<const uint8_t*>(data);
    while (n > 0) {
      if (m_fill == BUFFER_SIZE)
        Flush();
      size_t take = BUFFER_SIZE - m_fill;
      if (take > n)
        take = n;
      std::memcpy(m_buffer.data + m_fill, from, take);
      m_fill += take;
      from += take;
      n -= take;
    }
  }
  void Flush() {
    vcxWriteFile(m_file, m_buffer.data, m_fill);
    m_fill = 0;
  }

private:
  enum { BUFFER_SIZE = 65536 };
  HANDLE m_file;
  CVcxBlock m_buffer;
  size_t m_fill;
};

}  // namespace

void TgaParseHeader(const uint8_t* b, TgaHeader& h) {
  h.idLength = b[0];
  h.colorMapType = b[1];
  h.imageType = b[2];
  h.firstEntry = Le16(b + 3);
  h.mapLength = Le16(b + 5);
  h.entryBits = b[7];
  h.xOrigin = Le16(b + 8);
  h.yOrigin = Le16(b + 10);
  h.width = Le16(b + 12);
  h.height = Le16(b + 14);
  h.depth = b[16];
  h.descriptor = b[17];
}

void TgaStoreHeader(const TgaHeader& h, uint8_t* b) {
  b[0] = h.idLength;
  b[1] = h.colorMapType;
  b[2] = h.imageType;
  SetLe16(b + 3, h.firstEntry);
  SetLe16(b + 5, h.mapLength);
  b[7] = h.entryBits;
  SetLe16(b + 8, h.xOrigin);
  SetLe16(b + 10, h.yOrigin);
  SetLe16(b + 12, h.width);
  SetLe16(b + 14, h.height);
  b[16] = h.depth;
  b[17] = h.descriptor;
}

void TgaCheckHeader(const TgaHeader& h) {
  vcxThrowIf(h.colorMapType > 1 || h.width == 0 || h.height == 0, VCX_ERROR_DATA);
  vcxThrowIf(h.depth != 8 && h.depth != 16 && h.depth != 24 && h.depth != 32, VCX_ERROR_DATA);
  // Only the three picture kinds, raw or run-length encoded.
  const uint8_t kind = h.imageType & ~TGA_RLE;
  vcxThrowIf((h.imageType & ~(TGA_RLE | 3)) != 0 || kind == 0, VCX_ERROR_DATA);
  // Indices and grey values are one byte here.
  vcxThrowIf((kind == TGA_MAPPED || kind == TGA_GREY) && h.depth != 8, VCX_ERROR_DATA);
}

void TgaDescribe(const TgaHeader& h, char* text, int size) {
  if (!text || size <= 0)
    return;
  char kind[32];
  switch (h.imageType & ~TGA_RLE) {
    case TGA_MAPPED: std::snprintf(kind, sizeof kind, "%u colors", h.mapLength); break;
    case TGA_TRUECOLOR: std::snprintf(kind, sizeof kind, "%s", h.depth == 32 ? "RGBA" : "RGB"); break;
    case TGA_GREY: std::snprintf(kind, sizeof kind, "Gs"); break;
    default: std::snprintf(kind, sizeof kind, "Unknown"); break;
  }
  std::snprintf(text, static_cast<size_t>(size), "Targa bitmap\n%dx%d %s (%d bpp) %s", h.width, h.height,
                kind, h.depth, (h.imageType & TGA_RLE) ? "RLE" : "");
}

void TgaUnpackRle(CVcxReader& reader, uint8_t* pixels, uint64_t count, uint32_t bytesPerPixel) {
  uint64_t done = 0;
  uint8_t pixel[4];
  while (done < count) {
    const uint8_t h = reader.ReadByte();
    const uint32_t n = (h & 0x7F) + 1u;
    vcxThrowIf(n > count - done, VCX_ERROR_DATA);
    uint8_t* at = pixels + done * bytesPerPixel;
    if (h & 0x80) {
      reader.Read(pixel, bytesPerPixel);
      for (uint32_t i = 0; i < n; ++i, at += bytesPerPixel)
        std::memcpy(at, pixel, bytesPerPixel);
    } else {
      reader.Read(at, size_t(n) * bytesPerPixel);
    }
    done += n;
  }
}

void TgaReadPicture(CVcxReader& reader, TgaPicture& picture) {
  uint8_t raw[TGA_HEADER_SIZE];
  reader.Read(raw, sizeof raw);
  TgaHeader& h = picture.header;
  TgaParseHeader(raw, h);
  TgaCheckHeader(h);
  reader.Skip(h.idLength);
  const uint8_t kind = h.imageType & ~TGA_RLE;
  const uint64_t mapBytes = uint64_t((h.entryBits + 7) / 8) * h.mapLength;
  if (kind == TGA_MAPPED) {
    if (mapBytes) {
      picture.colorMap.Allocate(mapBytes);
      reader.Read(picture.colorMap.data, picture.colorMap.size);
    }
  } else if (h.colorMapType == 1) {
    // A map beside true-colour or grey pixels is not used.
    reader.Skip(mapBytes);
  }

  const uint32_t bytesPerPixel = h.depth / 8u;
  const uint64_t count = uint64_t(h.width) * h.height;
  const uint64_t bytes = count * bytesPerPixel;
  // The file must be able to hold the pixels before memory is taken for them: raw pixels
  // as they are, packets of at most 128 pixels with their header byte.
  const uint64_t least = (h.imageType & TGA_RLE) ? (count + 127) / 128 * (bytesPerPixel + 1) : bytes;
  vcxThrowIf(least > reader.Remaining(), VCX_ERROR_READ);
  picture.pixels.Allocate(bytes);
  if (h.imageType & TGA_RLE)
    TgaUnpackRle(reader, picture.pixels.data, count, bytesPerPixel);
  else
    reader.Read(picture.pixels.data, picture.pixels.size);
}

uint8_t TgaExpand5(uint32_t value) {
  return static_cast<uint8_t>(((value << 3) * 67385u + 0x8000u) >> 16);
}

uint16_t TgaPack15(uint8_t blue, uint8_t green, uint8_t red) {
  auto field = [](uint32_t c) { return (((c * 63736u + 0x8000u) >> 16) + 4u) >> 3; };
  return static_cast<uint16_t>(field(red) << 10 | field(green) << 5 | field(blue));
}

VCXImage* TgaMakeImage(const TgaPicture& picture) {
  const TgaHeader& h = picture.header;
  const uint8_t kind = h.imageType & ~TGA_RLE;
  uint32_t format;
  switch (h.depth) {
    case 8: format = VCX_FORMAT_8; break;
    case 16:
    case 24: format = VCX_FORMAT_24; break;
    default: format = VCX_FORMAT_32; break;
  }

  // The palette first, so that a bad colour map costs no image.
  VCXPalette* palette = nullptr;
  if (kind == TGA_MAPPED && h.mapLength > 0) {
    vcxThrowIf(h.entryBits != 16 && h.entryBits != 24 && h.entryBits != 32, VCX_ERROR_DATA);
    palette = vcxHostCreatePalette(h.mapLength);
    vcxThrowIf(!palette, VCX_ERROR_MEMORY);
    VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    const uint8_t* map = picture.colorMap.data;
    for (uint32_t i = 0; i < h.mapLength; ++i) {
      VCXPaletteEntry& e = entries[i];
      if (h.entryBits == 16) {
        const uint32_t v = Le16(map + 2 * i);
        e.blue = (v & 0x1F) * 8;
        e.green = ((v >> 5) & 0x1F) * 8;
        e.red = ((v >> 10) & 0x1F) * 8;
        e.alpha = 255;
      } else {
        const uint8_t* p = map + (h.entryBits / 8) * i;
        e.blue = p[0];
        e.green = p[1];
        e.red = p[2];
        e.alpha = h.entryBits == 32 ? p[3] : 255;
      }
    }
  }

  VCXImage* image = vcxHostCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, h.width, h.height, ""));
  if (!image) {
    vcxHostFreePalette(palette);
    throw CVcxError(VCX_ERROR_MEMORY);
  }
  vcxSetImagePalette(image, palette);
  uint8_t* out = vcxGetPixelSlot(image);
  const uint32_t inBytes = h.depth / 8u;
  const size_t inRow = size_t(h.width) * inBytes;
  const size_t outRow = static_cast<size_t>(CalcRowBytes(h.width, format >> 16));
  const bool topDown = (h.descriptor & TGA_TOP_TO_BOTTOM) != 0;
  const bool rightToLeft = (h.descriptor & TGA_RIGHT_TO_LEFT) != 0;
  for (uint32_t y = 0; y < h.height; ++y) {
    const uint8_t* row = picture.pixels.data + inRow * (topDown ? y : h.height - 1u - y);
    uint8_t* to = out + outRow * y;
    if (h.depth != 16 && !rightToLeft) {
      std::memcpy(to, row, inRow);
      continue;
    }
    for (uint32_t x = 0; x < h.width; ++x) {
      const uint8_t* from = row + size_t(rightToLeft ? h.width - 1u - x : x) * inBytes;
      if (h.depth != 16) {
        std::memcpy(to + size_t(x) * inBytes, from, inBytes);
        continue;
      }
      const uint32_t v = Le16(from);
      to[3 * x] = TgaExpand5(v & 0x1F);
      to[3 * x + 1] = TgaExpand5((v >> 5) & 0x1F);
      to[3 * x + 2] = TgaExpand5((v >> 10) & 0x1F);
    }
  }
  return image;
}

size_t TgaEncodeRleRow(const uint8_t* pixels, uint32_t count, uint32_t bpp, uint8_t* out) {
  uint8_t* start = out;
  uint32_t at = 0;
  auto same = [&](uint32_t a, uint32_t b) {
    return std::memcmp(pixels + size_t(a) * bpp, pixels + size_t(b) * bpp, bpp) == 0;
  };
  while (at < count) {
    // Pixels that differ from their successor go into a raw packet.
    uint32_t raw = 0;
    if (count - at < 2) {
      raw = count - at;
    } else {
      while (raw < 128 && at + raw + 1 < count && !same(at + raw, at + raw + 1))
        ++raw;
    }
    if (raw) {
      *out++ = static_cast<uint8_t>(raw - 1);
      std::memcpy(out, pixels + size_t(at) * bpp, size_t(raw) * bpp);
      out += size_t(raw) * bpp;
      at += raw;
    }
    // Then a run of equal pixels.
    uint32_t run = 1;
    while (at < count && run < 128 && at + run < count && same(at, at + run))
      ++run;
    if (at < count && run >= 2) {
      *out++ = static_cast<uint8_t>((run - 1) | 0x80);
      std::memcpy(out, pixels + size_t(at) * bpp, bpp);
      out += bpp;
      at += run;
    }
  }
  return static_cast<size_t>(out - start);
}

void TgaWriteFile(const char* path, const VCXImage* layer, const TgaOptions& options) {
  const uint32_t depth = GetPixelDepth(layer->format);
  vcxThrowIf(depth != 8 && depth != 24 && depth != 32, VCX_ERROR_FORMAT);
  const uint32_t width = static_cast<uint32_t>(layer->width);
  const uint32_t height = static_cast<uint32_t>(layer->height);
  vcxThrowIf(layer->width <= 0 || layer->height <= 0 || width > 65535 || height > 65535, VCX_ERROR_FORMAT);
  const uint8_t* pixels = vcxGetPixelSlot(layer);
  vcxThrowIf(!pixels, VCX_ERROR_DATA);
  const VCXPalette* palette = vcxGetImagePalette(layer);
  if (depth > 8)
    palette = nullptr;

  const bool grey = depth == 24 && options.format24 == TGA_OUTPUT_GREY;
  const bool fifteen = depth == 24 && options.format24 == TGA_OUTPUT_15;
  const bool premultiply = depth == 32 && options.premultiplied;
  const uint32_t outDepth = grey ? 8 : fifteen ? 16 : depth;
  const uint32_t outBytes = outDepth / 8;

  TgaHeader h;
  std::memset(&h, 0, sizeof h);
  h.colorMapType = palette ? 1 : 0;
  h.imageType = outDepth == 8 ? (palette ? TGA_MAPPED : TGA_GREY) : TGA_TRUECOLOR;
  if (options.rle)
    h.imageType |= TGA_RLE;
  const int32_t mapLength = palette ? (palette->count > 65535 ? 65535 : palette->count) : 0;
  h.mapLength = static_cast<uint16_t>(mapLength > 0 ? mapLength : 0);
  h.entryBits = palette ? 24 : 0;
  h.xOrigin = static_cast<uint16_t>(layer->x);
  h.yOrigin = static_cast<uint16_t>(layer->y);
  h.width = static_cast<uint16_t>(width);
  h.height = static_cast<uint16_t>(height);
  h.depth = static_cast<uint8_t>(outDepth);
  h.descriptor = options.topDown ? TGA_TOP_TO_BOTTOM : 0;

  const size_t inRow = static_cast<size_t>(CalcRowBytes(width, depth));
  CVcxBlock row(uint64_t(width) * outBytes);
  CVcxBlock packed(uint64_t(width) * (outBytes + 1));

  // A failure leaves the file that was there as it was.
  CVcxReplacingFile file(path);
  CWriter out(file.GetHandle());
  uint8_t raw[TGA_HEADER_SIZE];
  TgaStoreHeader(h, raw);
  out.Write(raw, sizeof raw);
  if (palette) {
    const VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    for (int32_t i = 0; i < mapLength; ++i) {
      const uint8_t entry[3] = {Clamp255(entries[i].blue), Clamp255(entries[i].green), Clamp255(entries[i].red)};
      out.Write(entry, 3);
    }
  }
  for (uint32_t i = 0; i < height; ++i) {
    const uint32_t y = options.topDown ? i : height - 1 - i;
    const uint8_t* from = pixels + inRow * y;
    uint8_t* to = row.data;
    if (grey) {
      for (uint32_t x = 0; x < width; ++x, from += 3) {
        const float luminance = wulGetLuminance(from[2] / 255.0f, from[1] / 255.0f, from[0] / 255.0f);
        to[x] = static_cast<uint8_t>(std::lround(255.0f * luminance));
      }
    } else if (fifteen) {
      for (uint32_t x = 0; x < width; ++x, from += 3)
        SetLe16(to + 2 * x, TgaPack15(from[0], from[1], from[2]));
    } else if (premultiply) {
      // The framework's rule: c * a / 255 rounded through the factor 65793.
      for (uint32_t x = 0; x < width; ++x, from += 4, to += 4) {
        const uint32_t a = from[3];
        for (int c = 0; c < 3; ++c)
          to[c] = static_cast<uint8_t>((from[c] * a * 65793u + 0x800000u) >> 24);
        to[3] = static_cast<uint8_t>(a);
      }
    } else {
      std::memcpy(to, from, size_t(width) * outBytes);
    }
    if (options.rle)
      out.Write(packed.data, TgaEncodeRleRow(row.data, width, outBytes, packed.data));
    else
      out.Write(row.data, size_t(width) * outBytes);
  }
  uint8_t footer[TGA_FOOTER_SIZE] = {};
  std::memcpy(footer + 8, "TRUEVISION-XFILE.", 18);
  out.Write(footer, sizeof footer);
  out.Flush();
  file.Commit();
}
