#include "plugins/rastrel/BmpFile.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include "plugins/rastrel/BmpOptionsDialog.h"
#include "plugins/rastrel/RecordGuard.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"

BmpWriterOptions g_BmpOptions;

namespace {

enum { BI_RGB_ = 0, BI_RLE8_ = 1, BI_RLE4_ = 2, BI_BITFIELDS_ = 3, BI_JPEG_ = 4, BI_PNG_ = 5 };

// Largest pixel block made for a bitmap, and the largest run-length image: such a stream
// can describe any size in a few bytes, so its size is not bounded by the file.
const uint64_t kMaxBlockBytes = 0x40000000;
const uint64_t kMaxRlePixels = 0x4000000;

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

struct DibHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t imageSize;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t colorsUsed;
  uint32_t colorsImportant;
  uint32_t redMask;
  uint32_t greenMask;
  uint32_t blueMask;
  uint32_t alphaMask;
};

void ParseHeader(const uint8_t* raw, DibHeader& h) {
  h.size = Get32(raw);
  h.width = static_cast<int32_t>(Get32(raw + 4));
  h.height = static_cast<int32_t>(Get32(raw + 8));
  h.planes = Get16(raw + 12);
  h.bitCount = Get16(raw + 14);
  h.compression = Get32(raw + 16);
  h.imageSize = Get32(raw + 20);
  h.xPelsPerMeter = static_cast<int32_t>(Get32(raw + 24));
  h.yPelsPerMeter = static_cast<int32_t>(Get32(raw + 28));
  h.colorsUsed = Get32(raw + 32);
  h.colorsImportant = Get32(raw + 36);
  h.redMask = Get32(raw + 40);
  h.greenMask = Get32(raw + 44);
  h.blueMask = Get32(raw + 48);
  h.alphaMask = Get32(raw + 52);
}

// Reads the info header at the stream's position, and the three masks that follow a
// 40-byte header with bit fields. Short reads throw 14, a size outside 40 to 124 throws 5.
void ReadInfoHeader(CVCXStream& stream, DibHeader& h) {
  const int64_t start = stream.GetPosition();
  uint8_t raw[124] = {};
  stream.ReadExact(raw, 4);
  const uint32_t size = Get32(raw);
  if (size < 40 || size > 124)
    vcxThrow(VCX_ERROR_FORMAT);
  stream.Seek(start);
  stream.ReadExact(raw, size);
  ParseHeader(raw, h);
  if (size == 40 && h.compression == BI_BITFIELDS_) {
    uint8_t masks[12];
    stream.ReadExact(masks, 12);
    h.redMask = Get32(masks);
    h.greenMask = Get32(masks + 4);
    h.blueMask = Get32(masks + 8);
    h.alphaMask = 0;
  }
}

uint32_t PaletteCount(const DibHeader& h) {
  if (h.bitCount > 8)
    return 0;
  return h.colorsUsed ? h.colorsUsed : 1u << h.bitCount;
}

// Record depth of a bitmap, or 0 when its depth and compression are not read.
uint32_t RecordDepth(const DibHeader& h) {
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      return h.bitCount;
    case 16:
    case 32:
      if (h.compression == BI_BITFIELDS_)
        return h.alphaMask ? 32 : 24;
      if (h.compression == BI_RGB_)
        return h.bitCount == 16 ? 24 : 32;
      return 0;
    default:
      return 0;
  }
}

uint64_t PaddedRowBytes(uint32_t bpp, int64_t width) {
  return (static_cast<uint64_t>(bpp) * static_cast<uint64_t>(width) + 31) / 32 * 4;
}

uint64_t RowBytes(uint32_t bpp, int64_t width) {
  return (static_cast<uint64_t>(bpp) * static_cast<uint64_t>(width) + 7) / 8;
}

// The byte with the top k bits set (0xFF from 8 bits on).
uint32_t TopBits(uint32_t k) {
  return k >= 8 ? 0xFF : (0xFF00u >> k) & 0xFF;
}

uint32_t CountBits(uint32_t mask) {
  uint32_t n = 0;
  for (; mask; mask &= mask - 1)
    ++n;
  return n;
}

uint32_t LowMask(uint32_t bits) {
  return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

const char* ColorText(const DibHeader& h, char* buffer, size_t size) {
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8: {
      const uint32_t count = PaletteCount(h);
      if (count == 1)
        std::snprintf(buffer, size, "1 color");
      else
        std::snprintf(buffer, size, "%u colors", count);
      return buffer;
    }
    case 16:
      return h.compression == BI_BITFIELDS_ && h.alphaMask ? "RGBA" : "RGB";
    case 24:
      return "RGB";
    default:
      if (h.compression == BI_RGB_)
        return "RGBA";
      return h.alphaMask ? "RGBA" : "RGB";
  }
}

const char* CompressionText(uint32_t compression) {
  switch (compression) {
    case BI_RLE8_:
    case BI_RLE4_:
      return "RLE";
    case BI_JPEG_:
      return "JPEG";
    case BI_PNG_:
      return "PNG";
    default:
      return "";
  }
}

// Depth and compression the sniffer accepts.
bool Sniffable(const DibHeader& h) {
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      return h.compression <= BI_PNG_;
    case 16:
    case 32:
      return h.compression == BI_RGB_ || h.compression == BI_BITFIELDS_;
    default:
      return false;
  }
}

uint64_t AbsHeight(int32_t height) {
  return height < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(height)) : static_cast<uint64_t>(height);
}

void ReadRows(CVCXStream& stream, const DibHeader& h, VCXImage* color, uint32_t depth) {
  const int32_t width = h.width;
  const int32_t height = static_cast<int32_t>(AbsHeight(h.height));
  const uint64_t padded = PaddedRowBytes(h.bitCount, width);
  const uint64_t kept = RowBytes(depth, width);
  if (!height || !padded)
    return;
  VCXBitFields fields = {};
  bool unpack = false;
  if (h.compression == BI_BITFIELDS_) {
    fields = {h.bitCount, depth, h.alphaMask, h.redMask, h.greenMask, h.blueMask};
    unpack = true;
  } else if (h.bitCount == 16) {
    fields = {16, 24, 0, 0x7C00, 0x03E0, 0x001F};
    unpack = true;
  }
  if (unpack && depth != 24 && depth != 32)
    vcxThrow(VCX_ERROR_INTERNAL);
  std::vector<uint8_t> row(static_cast<size_t>(padded));
  uint8_t* pixels = vcxGetPixels(color);
  const bool bottomUp = h.height > 0;
  for (int32_t r = 0; r < height; ++r) {
    stream.ReadExact(row.data(), row.size());
    const int32_t y = bottomUp ? height - 1 - r : r;
    uint8_t* out = pixels + kept * static_cast<uint64_t>(y);
    if (unpack)
      vcxUnpackBitFields(out, row.data(), static_cast<uint32_t>(width), fields);
    else
      std::memcpy(out, row.data(), static_cast<size_t>(kept));
  }
}

void DecodeRle(CVCXStream& stream, const DibHeader& h, VCXImage* color) {
  const int64_t width = h.width;
  const int64_t height = static_cast<int64_t>(AbsHeight(h.height));
  const bool rle4 = h.compression == BI_RLE4_;
  const uint64_t rowBytes = RowBytes(h.bitCount, width);
  uint8_t* pixels = vcxGetPixels(color);
  if (rowBytes && height)
    std::memset(pixels, 0, static_cast<size_t>(rowBytes * static_cast<uint64_t>(height)));
  const bool bottomUp = h.height > 0;
  // Encoders that code whole stored rows write pixels into the row's padding; those are
  // dropped. Anything past the padding is outside the image.
  const int64_t paddedWidth = static_cast<int64_t>(PaddedRowBytes(h.bitCount, width) * 8 / h.bitCount);
  int64_t x = 0, y = 0;
  auto put = [&](uint8_t value) {
    if (x < 0 || x >= paddedWidth || y < 0 || y >= height)
      vcxThrow(VCX_ERROR_DATA);
    if (x >= width) {
      ++x;
      return;
    }
    const int64_t row = bottomUp ? height - 1 - y : y;
    uint8_t* line = pixels + rowBytes * static_cast<uint64_t>(row);
    if (rle4) {
      uint8_t& b = line[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (value & 15))
                  : static_cast<uint8_t>((b & 0x0F) | (value << 4));
    } else {
      line[x] = value;
    }
    ++x;
  };
  for (;;) {
    const uint8_t count = stream.ReadByte();
    const uint8_t value = stream.ReadByte();
    if (count) {
      if (y >= height)
        vcxThrow(VCX_ERROR_DATA);
      for (uint32_t i = 0; i < count; ++i)
        put(rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
    } else if (value == 0) {
      ++y;
      x = 0;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      x += stream.ReadByte();
      y += stream.ReadByte();
    } else {
      if (y >= height)
        vcxThrow(VCX_ERROR_DATA);
      const uint32_t bytes = rle4 ? (value + 1u) / 2 : value;
      uint8_t data[255];
      stream.ReadExact(data, bytes);
      for (uint32_t i = 0; i < value; ++i)
        put(rle4 ? ((i & 1) ? data[i >> 1] & 15 : data[i >> 1] >> 4) : data[i]);
      if (bytes & 1)
        stream.ReadByte();
    }
  }
}

// A colour layer that is not exactly the image's size, place and depth cannot stand for it.
bool NeedsBitmapFlattening(const VCXLayeredImage* image) {
  if (vcxNeedsFlattening(image))
    return true;
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  return color->x != 0 || color->y != 0 || color->width != image->width ||
         color->height != image->height || color->format != image->format;
}

}  // namespace

void vcxUnpackBitFields(uint8_t* destination, const uint8_t* packed, uint32_t count,
                        const VCXBitFields& fields) {
  const uint32_t bits = fields.packedBits > 32 ? 32 : fields.packedBits;
  const uint32_t bytes = bits / 8 ? bits / 8 : 1;
  const uint32_t low = LowMask(bits);
  // Channels in the order B, G, R, A.
  const uint32_t masks[4] = {fields.blueMask & low, fields.greenMask & low, fields.redMask & low,
                             fields.alphaMask & low};
  uint32_t scale[4];
  for (int c = 0; c < 4; ++c) {
    const uint32_t k = CountBits(masks[c]);
    scale[c] = k ? 0xFF0000u / TopBits(k) : 0;
  }
  const bool alpha = fields.unpackedBits == 32;
  const uint32_t outBytes = alpha ? 4 : 3;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t value = 0;
    for (uint32_t b = 0; b < bytes; ++b)
      value |= static_cast<uint32_t>(packed[b]) << (8 * b);
    packed += bytes;
    uint32_t accumulator[4] = {0, 0, 0, 0};
    for (uint32_t position = 0; position < bits; ++position) {
      const uint32_t bit = (value >> position) & 1;
      for (int c = 0; c < 4; ++c)
        if ((masks[c] >> position) & 1)
          accumulator[c] = bit << 31 | accumulator[c] >> 1;
    }
    for (int c = 0; c < 3; ++c)
      destination[c] = static_cast<uint8_t>(((accumulator[c] >> 24) * scale[c] + 0x8000) >> 16);
    if (alpha)
      destination[3] = masks[3] ? static_cast<uint8_t>(((accumulator[3] >> 24) * scale[3] + 0x8000) >> 16)
                                : 255;
    destination += outBytes;
  }
}

void vcxPackBitFields(uint8_t* destination, const uint8_t* unpacked, uint32_t count,
                      const VCXBitFields& fields) {
  const uint32_t bits = fields.packedBits > 32 ? 32 : fields.packedBits;
  const uint32_t bytes = bits / 8 ? bits / 8 : 1;
  const uint32_t low = LowMask(bits);
  const uint32_t masks[4] = {fields.blueMask & low, fields.greenMask & low, fields.redMask & low,
                             fields.alphaMask & low};
  uint32_t scale[4];
  for (int c = 0; c < 4; ++c) {
    const uint32_t k = CountBits(masks[c]);
    scale[c] = k ? TopBits(k) * 65536u / 255 : 0;
  }
  // The channel that each packed position takes its bit from: blue first, then green,
  // red, alpha; -1 for none.
  int owner[32];
  for (uint32_t position = 0; position < 32; ++position) {
    owner[position] = -1;
    for (int c = 0; c < 4 && position < bits; ++c)
      if ((masks[c] >> position) & 1) {
        owner[position] = c;
        break;
      }
  }
  const bool hasAlpha = fields.unpackedBits == 32;
  const uint32_t inBytes = hasAlpha ? 4 : 3;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t channel[4] = {unpacked[0], unpacked[1], unpacked[2], hasAlpha ? unpacked[3] : 255u};
    unpacked += inBytes;
    uint32_t source[4];
    for (int c = 0; c < 4; ++c)
      source[c] = ((channel[c] * scale[c] + 0x8000) >> 16) << 24;
    uint32_t value = 0;
    for (int32_t position = static_cast<int32_t>(bits) - 1; position >= 0; --position) {
      const int c = owner[position];
      if (c < 0)
        continue;
      value |= (source[c] >> 31) << position;
      source[c] <<= 1;
    }
    for (uint32_t b = 0; b < bytes; ++b)
      destination[b] = static_cast<uint8_t>(value >> (8 * b));
    destination += bytes;
  }
}

bool vcxHasAlpha(const uint8_t* pixels, uint64_t count) {
  for (uint64_t i = 0; pixels && i < count; ++i)
    if (pixels[4 * i + 3])
      return true;
  return false;
}

void vcxOpaqueIfAlphaEmpty(uint8_t* pixels, uint64_t count) {
  if (!pixels || vcxHasAlpha(pixels, count))
    return;
  for (uint64_t i = 0; i < count; ++i)
    pixels[4 * i + 3] = 255;
}

bool vcxIsPreviewSize(uint64_t pixels) {
  const int32_t limit = vcxGetMetric(VCX_METRIC_PREVIEW_PIXELS);
  return pixels > 0 && limit > 0 && pixels <= static_cast<uint64_t>(limit);
}

bool DibCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen) {
  const int64_t start = stream.GetPosition();
  DibHeader h = {};
  bool accepted = false;
  int64_t bitsPosition = 0;
  try {
    uint8_t file[14];
    if (stream.Read(file, 14) == 14 && file[0] == 'B' && file[1] == 'M') {
      bitsPosition = start + Get32(file + 10);
      ReadInfoHeader(stream, h);
      accepted = Sniffable(h);
    }
  } catch (const CVCXException&) {
    accepted = false;
  }
  if (!accepted) {
    stream.Seek(start);
    return false;
  }
  if (description) {
    char colors[32];
    char text[160];
    std::snprintf(text, sizeof text, "Windows DIB\n%llux%llu %s (%d bpp) %s",
                  static_cast<unsigned long long>(h.width < 0 ? -static_cast<int64_t>(h.width) : h.width),
                  static_cast<unsigned long long>(AbsHeight(h.height)), ColorText(h, colors, sizeof colors),
                  h.bitCount, CompressionText(h.compression));
    vcxStrCopy(description, text, descriptionLen);
  }
  if (preview) {
    try {
      vcxFreeLayeredImage(*preview);
      *preview = nullptr;
      stream.Seek(start + 14);
      *preview = DibReadPreview(stream, false, bitsPosition);
    } catch (...) {
      *preview = nullptr;
    }
  }
  stream.Seek(start);
  return true;
}

VCXLayeredImage* DibImport(CVCXStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t file[14];
  stream.ReadExact(file, 14);
  if (file[0] != 'B' || file[1] != 'M')
    vcxThrow(VCX_ERROR_DATA);
  return DibReadBitmap(stream, false, start + Get32(file + 10));
}

VCXLayeredImage* DibReadBitmap(CVCXStream& stream, bool packed, int64_t bitsPosition) {
  DibHeader h = {};
  ReadInfoHeader(stream, h);
  // A bitmap without pixels is no image: it would enter no project.
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
    vcxThrow(VCX_ERROR_DATA);
  const uint32_t depth = RecordDepth(h);
  if (!depth)
    vcxThrow(VCX_ERROR_FORMAT);
  switch (h.compression) {
    case BI_RGB_:
      break;
    case BI_BITFIELDS_:
      // Bit fields describe direct colour only.
      if (h.bitCount <= 8)
        vcxThrow(VCX_ERROR_FORMAT);
      break;
    case BI_RLE8_:
    case BI_RLE4_:
      // The run-length coders fit one depth each.
      if (h.bitCount != (h.compression == BI_RLE8_ ? 8 : 4))
        vcxThrow(VCX_ERROR_FORMAT);
      break;
    default:
      vcxThrow(VCX_ERROR_FORMAT);
  }
  const int32_t width = h.width;
  const int32_t height = static_cast<int32_t>(AbsHeight(h.height));
  const uint64_t blockBytes = RowBytes(depth, width) * static_cast<uint64_t>(height);
  if (blockBytes > kMaxBlockBytes)
    vcxThrow(VCX_ERROR_FORMAT);
  const bool rle = h.compression == BI_RLE8_ || h.compression == BI_RLE4_;
  if (rle && static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxRlePixels)
    vcxThrow(VCX_ERROR_FORMAT);

  // The palette and the rows must be in the file before anything is made for them.
  const uint32_t paletteCount = PaletteCount(h);
  const uint64_t paletteBytes = 4ull * paletteCount;
  if (paletteBytes > static_cast<uint64_t>(stream.GetRemaining()))
    vcxThrow(VCX_ERROR_EOF);
  const int64_t rowsStart = packed ? stream.GetPosition() + static_cast<int64_t>(paletteBytes) : bitsPosition;
  if (rowsStart < 0 || rowsStart > stream.GetSize())
    vcxThrow(VCX_ERROR_EOF);
  if (!rle && PaddedRowBytes(h.bitCount, width) * static_cast<uint64_t>(height) >
                  static_cast<uint64_t>(stream.GetSize() - rowsStart))
    vcxThrow(VCX_ERROR_EOF);

  const uint32_t format = depth << 16;
  VCXLayeredImage request = vcxLayeredImageRequest(format, width, height, 1);
  request.xResolution = static_cast<float>(h.xPelsPerMeter);
  request.yResolution = static_cast<float>(h.yPelsPerMeter);
  CLayeredImageGuard result(vcxCreateLayeredImage(request));
  VCXImage* color = vcxCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, width, height, ""));
  vcxSetLayerSlot(result.get(), 0, color);
  if (paletteCount) {
    // Entries past what the depth can index are read but not kept.
    const uint32_t kept = paletteCount < (1u << h.bitCount) ? paletteCount : 1u << h.bitCount;
    VCXPalette* palette = vcxCreatePalette(static_cast<int32_t>(kept));
    vcxSetImagePalette(color, palette);
    VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    uint8_t raw[4 * 256];
    stream.ReadExact(raw, 4 * kept);
    for (uint32_t i = 0; i < kept; ++i) {
      entries[i].alpha = 255;
      entries[i].red = raw[4 * i + 2];
      entries[i].green = raw[4 * i + 1];
      entries[i].blue = raw[4 * i];
    }
  }
  if (!packed || paletteCount)
    stream.Seek(rowsStart);
  if (rle) {
    DecodeRle(stream, h, color);
  } else {
    ReadRows(stream, h, color, depth);
    if (h.compression == BI_RGB_ && h.bitCount == 32)
      vcxOpaqueIfAlphaEmpty(vcxGetPixels(color),
                            static_cast<uint64_t>(width) * static_cast<uint64_t>(height));
  }
  return result.release();
}

VCXLayeredImage* DibReadPreview(CVCXStream& stream, bool packed, int64_t bitsPosition,
                                uint64_t* pixelBudget) {
  const int64_t header = stream.GetPosition();
  DibHeader h = {};
  ReadInfoHeader(stream, h);
  const uint64_t pixels = AbsHeight(h.width) * AbsHeight(h.height);
  if (!vcxIsPreviewSize(pixels))
    return nullptr;
  if (pixelBudget) {
    if (pixels > *pixelBudget)
      return nullptr;
    *pixelBudget -= pixels;
  }
  stream.Seek(header);
  return DibReadBitmap(stream, packed, bitsPosition);
}

bool DibCanExport(const VCXMultiImage* document, int* outFlags) {
  if (vcxCountImages(document) != 1)
    return false;
  const VCXLayeredImage* image = vcxGetFirstImage(document);
  const uint32_t bpp = vcxGetBitsPerPixel(image->format);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    return false;
  if (image->width < 0 || image->height < 0)
    return false;
  if (bpp <= 8 && vcxLacksPalette(image))
    return false;
  if (outFlags) {
    const bool mask = vcxHasMask(image);
    if (vcxCountLayers(image, VCX_KIND_COLOR) < 2)
      *outFlags = mask ? VCX_LOSS_MASK : 0;
    else
      *outFlags = mask ? VCX_LOSS_MASK | VCX_LOSS_LAYERS : VCX_LOSS_LAYERS;
  }
  return true;
}

void DibExport(HWND parent, const char* path, VCXLayeredImage* image) {
  const uint32_t bpp = vcxGetBitsPerPixel(image->format);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    vcxThrow(VCX_ERROR_INTERNAL);
  if (!vcxGetOption(VCX_OPTION_NO_EXPORT_DIALOGS)) {
    const bool ok = bpp == 24   ? BmpOptionsDialog(parent, image)
                    : bpp == 32 ? BmpOptions32Dialog(parent)
                                : BmpOptionsDialog(parent);
    if (!ok)
      vcxThrow(VCX_ERROR_CANCELLED);
  }
  CLayeredImageGuard copy(NeedsBitmapFlattening(image) ? vcxFlatten(image) : nullptr);
  // A failure leaves the file that was there as it was.
  CVCXReplacingFile file(path);
  DibWriteFile(file.GetStream(), copy.get() ? copy.get() : image);
  file.Commit();
}

int64_t DibWriteFile(CVCXStream& stream, VCXLayeredImage* image) {
  const int64_t start = stream.GetPosition();
  uint8_t file[14] = {'B', 'M'};
  stream.WriteExact(file, 14);
  const int64_t bits = DibWriteBitmap(stream, image);
  const int64_t end = stream.GetPosition();
  if (end - start > 0xFFFFFFFFll)
    vcxThrow(VCX_ERROR_FORMAT);
  Put32(file + 2, static_cast<uint32_t>(end - start));
  Put32(file + 10, static_cast<uint32_t>(bits - start));
  stream.Seek(start);
  stream.WriteExact(file, 14);
  stream.Seek(end);
  return bits;
}

int64_t DibWriteBitmap(CVCXStream& stream, VCXLayeredImage* image) {
  VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  if (!color)
    vcxThrow(VCX_ERROR_DATA);
  const uint32_t depth = vcxGetBitsPerPixel(image->format);
  const int32_t width = image->width;
  const int32_t height = image->height;
  if (width < 0 || height < 0 || color->width != width || color->height != height ||
      color->format != image->format)
    vcxThrow(VCX_ERROR_DATA);
  if (RowBytes(depth, width) * static_cast<uint64_t>(height) != 0 && !vcxGetPixels(color))
    vcxThrow(VCX_ERROR_DATA);

  const int64_t headerPosition = stream.GetPosition();
  uint32_t headerSize = 40;
  uint32_t bitCount = depth;
  uint32_t compression = BI_RGB_;
  uint32_t alphaMask = 0, redMask = 0, greenMask = 0, blueMask = 0;
  uint32_t paletteEntries = 0;
  switch (depth) {
    case 1:
    case 4:
    case 8: {
      const VCXPalette* palette = vcxGetPalette(color);
      if (!palette)
        vcxThrow(VCX_ERROR_DATA);
      if (g_BmpOptions.rle)
        vcxThrow(VCX_ERROR_INTERNAL);
      // Only the entries that the depth can index; an empty palette is written in full so
      // that readers do not take the rows for it.
      const uint32_t slots = 1u << depth;
      paletteEntries = palette->count <= 0 ? slots
                                           : (static_cast<uint32_t>(palette->count) < slots
                                                  ? static_cast<uint32_t>(palette->count)
                                                  : slots);
      break;
    }
    case 24:
      if (g_BmpOptions.format24 == 0) {
        bitCount = 16;
      } else if (g_BmpOptions.format24 == 1) {
        bitCount = 16;
        compression = BI_BITFIELDS_;
        redMask = 0xF800;
        greenMask = 0x07E0;
        blueMask = 0x001F;
      }
      break;
    case 32:
      if (g_BmpOptions.format32 == 0 || g_BmpOptions.format32 == 1) {
        headerSize = 108;
        bitCount = 16;
        compression = BI_BITFIELDS_;
        if (g_BmpOptions.format32 == 0) {
          redMask = 0x7C00;
          greenMask = 0x03E0;
          blueMask = 0x001F;
          alphaMask = 0x8000;
        } else {
          redMask = 0x0F00;
          greenMask = 0x00F0;
          blueMask = 0x000F;
          alphaMask = 0xF000;
        }
      }
      break;
    default:
      vcxThrow(VCX_ERROR_FORMAT);
  }

  // Premultiplied output comes from a copy; the caller's record is not changed.
  std::unique_ptr<CImageCopy> premultiplied;
  const VCXImage* source = color;
  if (depth == 32 && g_BmpOptions.premultiplied) {
    premultiplied.reset(new CImageCopy(color));
    vcxPremultiply(premultiplied->get());
    source = premultiplied->get();
  }

  uint8_t header[108] = {};
  Put32(header, headerSize);
  Put32(header + 4, static_cast<uint32_t>(width));
  Put32(header + 8, static_cast<uint32_t>(g_BmpOptions.topDown ? -height : height));
  Put16(header + 12, 1);
  Put16(header + 14, bitCount);
  Put32(header + 16, compression);
  Put32(header + 24, static_cast<uint32_t>(vcxGetPixelsPerMetre(&image->xResolution)));
  Put32(header + 28, static_cast<uint32_t>(vcxGetPixelsPerMetre(&image->yResolution)));
  if (paletteEntries && vcxGetPalette(color)->count > 0)
    Put32(header + 32, paletteEntries);
  if (headerSize == 108) {
    Put32(header + 40, redMask);
    Put32(header + 44, greenMask);
    Put32(header + 48, blueMask);
    Put32(header + 52, alphaMask);
  }
  stream.WriteExact(header, headerSize);
  if (headerSize == 40 && compression == BI_BITFIELDS_) {
    uint8_t masks[12];
    Put32(masks, redMask);
    Put32(masks + 4, greenMask);
    Put32(masks + 8, blueMask);
    stream.WriteExact(masks, 12);
  }
  if (paletteEntries) {
    const VCXPalette* palette = vcxGetPalette(color);
    const VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    uint8_t raw[4 * 256] = {};
    for (uint32_t i = 0; i < paletteEntries && static_cast<int32_t>(i) < palette->count; ++i) {
      raw[4 * i] = static_cast<uint8_t>(entries[i].blue);
      raw[4 * i + 1] = static_cast<uint8_t>(entries[i].green);
      raw[4 * i + 2] = static_cast<uint8_t>(entries[i].red);
    }
    stream.WriteExact(raw, 4 * paletteEntries);
  }

  const int64_t bitsPosition = stream.GetPosition();
  const uint64_t padded = PaddedRowBytes(bitCount, width);
  const uint64_t kept = RowBytes(depth, width);
  if (height && padded) {
    VCXBitFields fields = {};
    const bool pack = bitCount != depth;
    if (pack) {
      if (compression == BI_RGB_)
        fields = {16, 24, 0, 0x7C00, 0x03E0, 0x001F};
      else
        fields = {bitCount, depth, alphaMask, redMask, greenMask, blueMask};
    }
    std::vector<uint8_t> row(static_cast<size_t>(padded), 0);
    const uint8_t* pixels = vcxGetPixels(source);
    for (int32_t r = 0; r < height; ++r) {
      const int32_t y = g_BmpOptions.topDown ? r : height - 1 - r;
      const uint8_t* in = pixels + kept * static_cast<uint64_t>(y);
      if (pack)
        vcxPackBitFields(row.data(), in, static_cast<uint32_t>(width), fields);
      else
        std::memcpy(row.data(), in, static_cast<size_t>(kept));
      stream.WriteExact(row.data(), row.size());
    }
  }
  const int64_t end = stream.GetPosition();
  if (end - bitsPosition > 0xFFFFFFFFll)
    vcxThrow(VCX_ERROR_FORMAT);
  Put32(header + 20, static_cast<uint32_t>(end - bitsPosition));
  stream.Seek(headerPosition);
  stream.WriteExact(header, headerSize);
  stream.Seek(end);
  return bitsPosition;
}
