#include "plugins/rastrel/PngEntry.h"
#include <png.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include "plugins/rastrel/RecordGuard.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"
#include "wul/WULPopupWindow.h"

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Largest pixel block made for an entry.
const uint64_t kMaxBlockBytes = 0x40000000;
// Most bytes that one compressed byte can expand to under zlib, with room to spare.
const uint64_t kMaxInflation = 1100;
// Longest chunk other than IDAT that a read accepts, and most ancillary chunks libpng keeps.
const uint32_t kMaxChunkBytes = 4u << 20;
const uint32_t kMaxCachedChunks = 32;

// libpng's link to the plug-in's stream and the text of its last error.
struct PngIo {
  CVCXStream* stream;
  char message[256];
};

// libpng jumps back here on an error; __builtin_longjmp skips only libpng's own frames and
// plain steps without destructors.
void PNGCBAPI JumpBack(jmp_buf target, int) {
  __builtin_longjmp(reinterpret_cast<void**>(target), 1);
}

void PNGCBAPI OnPngError(png_structp png, png_const_charp text) {
  PngIo* io = static_cast<PngIo*>(png_get_error_ptr(png));
  if (io)
    vcxStrCopy(io->message, text ? text : "", sizeof io->message);
  png_longjmp(png, 1);
}

void PNGCBAPI OnPngWarning(png_structp, png_const_charp) {}

// A chunk header (length, type) just read, with the bytes left after it: libpng 1.6 only
// warns about a long chunk and then allocates its declared length, so it is refused here.
const char* CheckChunkLength(const png_byte* header, int64_t remaining) {
  const uint32_t length = static_cast<uint32_t>(header[0]) << 24 | header[1] << 16 | header[2] << 8 | header[3];
  if (static_cast<int64_t>(length) + 4 > remaining)
    return "A PNG chunk runs past the end of the stream";
  if (length > kMaxChunkBytes && std::memcmp(header + 4, "IDAT", 4) != 0)
    return "A PNG chunk is larger than 4 MiB";
  return nullptr;
}

void PNGCBAPI OnPngRead(png_structp png, png_bytep data, size_t length) {
  PngIo* io = static_cast<PngIo*>(png_get_io_ptr(png));
  const char* failure = nullptr;
  if (!io || !io->stream) {
    failure = "PNG stream pointer is lost";
  } else {
    try {
      if (io->stream->Read(data, length) != length)
        failure = "Error while reading the PNG stream";
      else if (png_get_io_state(png) == (PNG_IO_READING | PNG_IO_CHUNK_HDR) && length == 8)
        failure = CheckChunkLength(data, io->stream->GetRemaining());
    } catch (...) {
      failure = "Error while reading the PNG stream";
    }
  }
  if (failure)
    png_error(png, failure);
}

void PNGCBAPI OnPngWrite(png_structp png, png_bytep data, size_t length) {
  PngIo* io = static_cast<PngIo*>(png_get_io_ptr(png));
  const char* failure = nullptr;
  if (!io || !io->stream) {
    failure = "PNG stream pointer is lost";
  } else {
    try {
      if (io->stream->Write(data, length) != length)
        failure = "Error while writing the PNG stream";
    } catch (...) {
      failure = "Error while writing the PNG stream";
    }
  }
  if (failure)
    png_error(png, failure);
}

void PNGCBAPI OnPngFlush(png_structp png) {
  PngIo* io = static_cast<PngIo*>(png_get_io_ptr(png));
  const char* failure = nullptr;
  if (!io || !io->stream) {
    failure = "PNG stream pointer is lost";
  } else {
    try {
      io->stream->Flush();
    } catch (...) {
      failure = "Error while flushing the PNG stream";
    }
  }
  if (failure)
    png_error(png, failure);
}

typedef void (*PngStep)(png_structp png, png_infop info, void* context);

// Runs one step with libpng's error jump aimed here; false when libpng reported an error.
__attribute__((noinline)) bool RunGuarded(png_structp png, png_infop info, PngStep step, void* context) {
  jmp_buf* target = png_set_longjmp_fn(png, JumpBack, sizeof(jmp_buf));
  if (!target)
    return false;
  if (__builtin_setjmp(reinterpret_cast<void**>(*target)))
    return false;
  step(png, info, context);
  return true;
}

// Every chunk but IHDR, PLTE, tRNS, pHYs, IDAT and IEND is skipped without being kept.
void StepSkipUnusedChunks(png_structp png, png_infop, void*) {
  static const png_byte kUsed[] = {'p', 'H', 'Y', 's', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kUsed, 1);
}

// libpng's read or write structures over a stream, destroyed on every path.
class CPngCodec {
public:
  CPngCodec(CVCXStream& stream, bool writing) : m_png(nullptr), m_info(nullptr), m_writing(writing) {
    m_io.stream = &stream;
    m_io.message[0] = 0;
    m_png = writing ? png_create_write_struct(PNG_LIBPNG_VER_STRING, &m_io, OnPngError, OnPngWarning)
                    : png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_io, OnPngError, OnPngWarning);
    if (!m_png)
      vcxThrow(VCX_ERROR_MEMORY);
    m_info = png_create_info_struct(m_png);
    if (!m_info) {
      Destroy();
      vcxThrow(VCX_ERROR_MEMORY);
    }
    if (writing) {
      png_set_write_fn(m_png, &m_io, OnPngWrite, OnPngFlush);
      return;
    }
    png_set_read_fn(m_png, &m_io, OnPngRead);
    // No chunk may need more than the stream holds or a few MiB; chunks the reader does not
    // use are skipped unread.
    const int64_t remaining = stream.GetRemaining();
    png_set_user_limits(m_png, PNG_USER_WIDTH_MAX, PNG_USER_HEIGHT_MAX);
    png_set_chunk_cache_max(m_png, kMaxCachedChunks);
    png_set_chunk_malloc_max(m_png, static_cast<png_alloc_size_t>(
                                        std::max<int64_t>(1, std::min<int64_t>(remaining, kMaxChunkBytes))));
    try {
      Run(StepSkipUnusedChunks, nullptr);
    } catch (...) {
      Destroy();
      throw;
    }
  }
  ~CPngCodec() { Destroy(); }

  // Throws code 1 with libpng's text when the step fails.
  void Run(PngStep step, void* context) {
    if (!RunGuarded(m_png, m_info, step, context))
      vcxThrow(VCX_ERROR_INTERNAL, m_io.message);
  }

  png_structp png() const { return m_png; }
  png_infop info() const { return m_info; }

private:
  void Destroy() {
    if (m_writing)
      png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
    else
      png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
    m_png = nullptr;
    m_info = nullptr;
  }

  CPngCodec(const CPngCodec&) = delete;
  CPngCodec& operator=(const CPngCodec&) = delete;
  png_structp m_png;
  png_infop m_info;
  PngIo m_io;
  bool m_writing;
};

void StepReadInfo(png_structp png, png_infop info, void*) {
  png_read_info(png, info);
}

// The header as libpng read it.
struct PngHeader {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  int interlace;
};

PngHeader GetHeader(const CPngCodec& codec) {
  PngHeader h = {};
  png_get_IHDR(codec.png(), codec.info(), &h.width, &h.height, &h.bitDepth, &h.colorType, &h.interlace,
               nullptr, nullptr);
  return h;
}

int32_t KindOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      return PNG_KIND_GREY;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return PNG_KIND_GREY_ALPHA;
    case PNG_COLOR_TYPE_PALETTE:
      return PNG_KIND_PALETTE;
    case PNG_COLOR_TYPE_RGB:
      return PNG_KIND_RGB;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return PNG_KIND_RGBA;
    default:
      vcxThrow(VCX_ERROR_FORMAT);
  }
}

uint32_t ChannelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

namespace {

// libpng refuses a header of no pixels as it refuses any bad header; an image without pixels
// is invalid data, as it is in a DIB entry.
void RefuseHeaderWithoutPixels(CVCXStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t head[24];
  const size_t got = stream.Read(head, sizeof head);
  stream.Seek(start);
  if (got != sizeof head || std::memcmp(head + 12, "IHDR", 4) != 0)
    return;
  auto big32 = [](const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
  };
  if (big32(head + 16) == 0 || big32(head + 20) == 0)
    vcxThrow(VCX_ERROR_DATA);
}

}  // namespace

bool PngHasSignature(CVCXStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t signature[8];
  bool png = false;
  try {
    png = stream.Read(signature, 8) == 8 && std::memcmp(signature, kPngSignature, 8) == 0;
  } catch (const CVCXException&) {
    png = false;
  }
  stream.Seek(start);
  return png;
}

namespace {

struct ReadTransforms {
  int colorType;
  int bitDepth;
  int interlace;
};

void StepSetTransforms(png_structp png, png_infop info, void* context) {
  const ReadTransforms& t = *static_cast<const ReadTransforms*>(context);
  switch (t.colorType) {
    case PNG_COLOR_TYPE_GRAY:
      if (t.bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
      break;
    case PNG_COLOR_TYPE_PALETTE:
      if (t.bitDepth == 2)
        png_set_packing(png);
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      png_set_gray_to_rgb(png);
      png_set_bgr(png);
      break;
    default:
      png_set_bgr(png);
      break;
  }
  if (t.bitDepth == 16)
    png_set_swap(png);
  if (t.interlace != PNG_INTERLACE_NONE)
    png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// Record depth after the read transformations.
uint32_t RecordDepth(int colorType, int bitDepth) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      return bitDepth == 16 ? 16 : 8;
    case PNG_COLOR_TYPE_PALETTE:
      return bitDepth == 2 ? 8 : static_cast<uint32_t>(bitDepth);
    case PNG_COLOR_TYPE_RGB:
      return bitDepth == 16 ? 48 : 24;
    default:
      return bitDepth == 16 ? 64 : 32;
  }
}

struct ReadRowsContext {
  png_bytepp rows;
};

void StepReadRows(png_structp png, png_infop, void* context) {
  png_read_image(png, static_cast<ReadRowsContext*>(context)->rows);
}

uint64_t RowBytes(uint32_t bpp, int64_t width) {
  return (static_cast<uint64_t>(bpp) * static_cast<uint64_t>(width) + 7) / 8;
}

// What one encoding writes: the header, palette and transparency, and the rows, prepared
// before libpng runs. The rows are the record's own or, once changed for the encoding, owned.
struct PngPicture {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  std::vector<png_color> palette;
  std::vector<png_byte> alphas;  // one per palette entry
  bool keyed = false;
  png_color_16 key = {};
  bool physical = false;
  png_uint_32 xResolution = 0;
  png_uint_32 yResolution = 0;
  const uint8_t* pixels = nullptr;
  uint64_t rowBytes = 0;
  std::vector<uint8_t> owned;

  const uint8_t* Rows() const { return owned.empty() ? pixels : owned.data(); }
  // New rows of rowBytes bytes each, zeroed, that the encoding writes instead.
  uint8_t* Own(uint64_t bytesPerRow) {
    rowBytes = bytesPerRow;
    owned.assign(static_cast<size_t>(rowBytes * height), 0);
    return owned.data();
  }
};

// The settings of one encoding of a picture.
struct WriteSettings {
  const PngPicture* picture;
  int filters;
  int level;
  int memoryLevel;
  int strategy;
  png_bytepp rows;
};

void StepWrite(png_structp png, png_infop info, void* context) {
  const WriteSettings& s = *static_cast<const WriteSettings*>(context);
  const PngPicture& p = *s.picture;
  png_set_filter(png, PNG_FILTER_TYPE_BASE, s.filters);
  png_set_compression_level(png, s.level);
  png_set_compression_mem_level(png, s.memoryLevel);
  png_set_compression_strategy(png, s.strategy);
  png_set_compression_window_bits(png, 15);
  png_set_compression_buffer_size(png, 65536);
  png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (p.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    // The alphas up to the last entry that is not opaque.
    int count = static_cast<int>(p.alphas.size());
    while (count > 0 && p.alphas[count - 1] == 255)
      --count;
    if (count)
      png_set_tRNS(png, info, p.alphas.data(), count, nullptr);
  }
  if (p.keyed)
    png_set_tRNS(png, info, nullptr, 0, &p.key);
  if (p.physical)
    png_set_pHYs(png, info, p.xResolution, p.yResolution, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  if (p.colorType == PNG_COLOR_TYPE_RGB || p.colorType == PNG_COLOR_TYPE_RGB_ALPHA)
    png_set_bgr(png);
  if (p.bitDepth > 8)
    png_set_swap(png);
  png_write_image(png, s.rows);
  png_write_end(png, info);
}

// The transparent colour of grey and RGB pictures: the value of the pixel at colorKey.
void SetColorKey(PngPicture& p, const uint8_t* colorKey) {
  if (!colorKey || (p.colorType != PNG_COLOR_TYPE_GRAY && p.colorType != PNG_COLOR_TYPE_RGB))
    return;
  if (p.colorType == PNG_COLOR_TYPE_GRAY) {
    p.key.gray = p.bitDepth == 16 ? static_cast<png_uint_16>(colorKey[0] | colorKey[1] << 8) : colorKey[0];
  } else if (p.bitDepth == 16) {
    p.key.blue = static_cast<png_uint_16>(colorKey[0] | colorKey[1] << 8);
    p.key.green = static_cast<png_uint_16>(colorKey[2] | colorKey[3] << 8);
    p.key.red = static_cast<png_uint_16>(colorKey[4] | colorKey[5] << 8);
  } else {
    p.key.blue = colorKey[0];
    p.key.green = colorKey[1];
    p.key.red = colorKey[2];
  }
  p.keyed = true;
}

int32_t IndexAt(const uint8_t* row, uint32_t x, uint32_t bpp) {
  return bpp == 8 ? row[x] : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15 : (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// The picture of color (which stands for image) as it is, with the colour key when one is given.
PngPicture PictureOf(const VCXLayeredImage* image, const VCXImage* color, const uint8_t* colorKey) {
  if (!color)
    vcxThrow(VCX_ERROR_INTERNAL);
  const uint32_t bpp = vcxGetBitsPerPixel(color->format);
  const VCXPalette* palette = vcxGetPalette(color);
  PngPicture p;
  switch (bpp) {
    case 1:
    case 4:
    case 8:
      p.bitDepth = static_cast<int>(bpp);
      p.colorType = palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY;
      break;
    case 16:
      if (palette)
        vcxThrow(VCX_ERROR_INTERNAL);
      p.bitDepth = 16;
      p.colorType = PNG_COLOR_TYPE_GRAY;
      break;
    case 24:
      p.bitDepth = 8;
      p.colorType = PNG_COLOR_TYPE_RGB;
      break;
    case 32:
      p.bitDepth = 8;
      p.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
    case 48:
      p.bitDepth = 16;
      p.colorType = PNG_COLOR_TYPE_RGB;
      break;
    case 64:
      p.bitDepth = 16;
      p.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
    default:
      vcxThrow(VCX_ERROR_INTERNAL);
  }
  if (color->width <= 0 || color->height <= 0)
    vcxThrow(VCX_ERROR_INTERNAL);
  p.rowBytes = RowBytes(bpp, color->width);
  p.pixels = vcxGetPixels(color);
  if (!p.pixels)
    vcxThrow(VCX_ERROR_INTERNAL);
  p.width = static_cast<png_uint_32>(color->width);
  p.height = static_cast<png_uint_32>(color->height);

  if (p.colorType == PNG_COLOR_TYPE_PALETTE) {
    // The entries the depth can index, and at least every index that the pixels use.
    const VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    const int32_t slots = 1 << bpp;
    int32_t count = palette->count < slots ? palette->count : slots;
    int32_t highest = 0;
    for (uint32_t y = 0; y < p.height; ++y) {
      const uint8_t* row = p.pixels + p.rowBytes * y;
      for (uint32_t x = 0; x < p.width; ++x)
        highest = std::max(highest, IndexAt(row, x, bpp));
    }
    count = std::max(count, highest + 1);
    auto clamp = [](int32_t v) { return static_cast<png_byte>(v < 0 ? 0 : v > 255 ? 255 : v); };
    p.palette.resize(static_cast<size_t>(count));
    p.alphas.resize(static_cast<size_t>(count), 255);
    for (int32_t i = 0; i < count && i < palette->count; ++i) {
      p.palette[i].red = clamp(entries[i].red);
      p.palette[i].green = clamp(entries[i].green);
      p.palette[i].blue = clamp(entries[i].blue);
      p.alphas[i] = clamp(entries[i].alpha);
    }
  }
  SetColorKey(p, colorKey);
  const int32_t xResolution = vcxGetPixelsPerMetre(&image->xResolution);
  const int32_t yResolution = vcxGetPixelsPerMetre(&image->yResolution);
  if (std::max(xResolution, yResolution) > 0) {
    p.physical = true;
    p.xResolution = static_cast<png_uint_32>(xResolution);
    p.yResolution = static_cast<png_uint_32>(yResolution);
  }
  return p;
}

// One encoding of the picture into stream.
void WriteEncoding(CVCXStream& stream, const PngPicture& picture, int filters, int level, int memoryLevel,
                   int strategy) {
  std::vector<png_bytep> rows(picture.height);
  png_bytep pixels = const_cast<png_bytep>(picture.Rows());
  for (uint32_t y = 0; y < picture.height; ++y)
    rows[y] = pixels + picture.rowBytes * y;
  WriteSettings s = {&picture, filters, level, memoryLevel, strategy, rows.data()};
  CPngCodec codec(stream, true);
  codec.Run(StepWrite, &s);
}

int64_t EncodedSize(const PngPicture& picture, int filters, int level, int memoryLevel, int strategy) {
  CVCXCountingStream counter;
  WriteEncoding(counter, picture, filters, level, memoryLevel, strategy);
  return counter.GetPosition();
}

bool MaskOpaque(const uint8_t* mask, uint64_t maskRow, uint32_t x, uint32_t y) {
  return (mask[maskRow * y + (x >> 3)] >> (7 - (x & 7))) & 1;
}

// The picture as RGBA at 8 bits (blue, green, red, alpha in the rows): colour of each pixel
// from colorOf, alpha 0 where the mask is clear.
template <class ColorOf>
void MakeRgba(PngPicture& p, const uint8_t* mask, ColorOf colorOf) {
  const uint64_t maskRow = RowBytes(1, p.width);
  std::vector<uint8_t> rgba(static_cast<size_t>(4ull * p.width * p.height));
  for (uint32_t y = 0; y < p.height; ++y) {
    const uint8_t* row = p.Rows() + p.rowBytes * y;
    uint8_t* out = rgba.data() + 4ull * p.width * y;
    for (uint32_t x = 0; x < p.width; ++x, out += 4) {
      colorOf(row, x, out);
      if (!MaskOpaque(mask, maskRow, x, y))
        out[3] = 0;
    }
  }
  p.owned.swap(rgba);
  p.rowBytes = 4ull * p.width;
  p.bitDepth = 8;
  p.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  p.palette.clear();
  p.alphas.clear();
  p.keyed = false;
}

// A palette picture whose masked pixels all show an entry of alpha 0, as the editor shows
// them: an entry that already has alpha 0, else one more entry (transparent black, at the
// smallest depth that holds them all), else an entry that no opaque pixel uses, made
// transparent; with every entry used by opaque pixels, RGBA.
void MaskPalettePicture(PngPicture& p, uint32_t bpp, const uint8_t* mask) {
  const uint64_t maskRow = RowBytes(1, p.width);
  bool usedOpaque[256] = {};
  bool remap = false;
  for (uint32_t y = 0; y < p.height; ++y) {
    const uint8_t* row = p.pixels + p.rowBytes * y;
    for (uint32_t x = 0; x < p.width; ++x) {
      const int32_t index = IndexAt(row, x, bpp);
      if (MaskOpaque(mask, maskRow, x, y))
        usedOpaque[index] = true;
      else if (p.alphas[index] != 0)
        remap = true;
    }
  }
  if (!remap)
    return;
  int32_t transparent = -1;
  for (size_t i = 0; i < p.alphas.size(); ++i)
    if (p.alphas[i] == 0)
      transparent = static_cast<int32_t>(i);
  if (transparent < 0 && p.palette.size() < 256) {
    transparent = static_cast<int32_t>(p.palette.size());
    p.palette.push_back(png_color{0, 0, 0});
    p.alphas.push_back(0);
  }
  for (int32_t i = 255; transparent < 0 && i >= 0; --i)
    if (!usedOpaque[i]) {
      transparent = i;
      p.alphas[i] = 0;
    }
  if (transparent < 0) {
    const std::vector<png_color> palette = p.palette;
    const std::vector<png_byte> alphas = p.alphas;
    MakeRgba(p, mask, [&](const uint8_t* row, uint32_t x, uint8_t* out) {
      const int32_t index = IndexAt(row, x, bpp);
      out[0] = palette[index].blue;
      out[1] = palette[index].green;
      out[2] = palette[index].red;
      out[3] = alphas[index];
    });
    return;
  }
  uint32_t depth = bpp;
  while ((size_t(1) << depth) < p.palette.size())
    depth *= 2;
  const uint8_t* source = p.pixels;
  const uint64_t sourceRow = p.rowBytes;
  uint8_t* out = p.Own(RowBytes(depth, p.width));
  for (uint32_t y = 0; y < p.height; ++y) {
    const uint8_t* row = source + sourceRow * y;
    uint8_t* target = out + p.rowBytes * y;
    for (uint32_t x = 0; x < p.width; ++x) {
      int32_t index = IndexAt(row, x, bpp);
      if (!MaskOpaque(mask, maskRow, x, y) && p.alphas[index] != 0)
        index = transparent;
      const uint64_t bit = static_cast<uint64_t>(x) * depth;
      target[bit >> 3] |= static_cast<uint8_t>(index << (8 - depth - (bit & 7)));
    }
  }
  p.bitDepth = static_cast<int>(depth);
}

// The picture of an icon entry: every pixel the mask clears is transparent in it.
PngPicture IconPicture(const VCXLayeredImage* image, const VCXImage* color, const VCXImage* mask) {
  const uint32_t bpp = vcxGetBitsPerPixel(color->format);
  const bool palette = bpp <= 8 && vcxGetPalette(color);
  const bool keyed = bpp == 24 || (bpp == 8 && !palette);
  if (!mask || !(palette || keyed || bpp == 32) || (palette && bpp != 1 && bpp != 4 && bpp != 8))
    return PictureOf(image, color, nullptr);
  if (mask->format != VCX_FORMAT_1 || mask->width != color->width || mask->height != color->height ||
      color->width <= 0 || color->height <= 0 || !vcxGetPixels(mask) || !vcxGetPixels(color))
    vcxThrow(VCX_ERROR_DATA);
  PngPicture p = PictureOf(image, color, nullptr);
  const uint8_t* bits = vcxGetPixels(mask);
  if (palette) {
    MaskPalettePicture(p, bpp, bits);
  } else if (keyed) {
    // The transparent pixels take the key in a copy; the caller's image stays as it is.
    const uint64_t maskRow = RowBytes(1, p.width);
    bool clear = false;
    for (uint32_t y = 0; y < p.height && !clear; ++y)
      for (uint32_t x = 0; x < p.width && !clear; ++x)
        clear = !MaskOpaque(bits, maskRow, x, y);
    if (!clear)
      return p;
    std::vector<uint8_t> copy(p.pixels, p.pixels + p.rowBytes * p.height);
    if (const uint8_t* key = PngFindColorKey(copy.data(), bits, color->width, color->height,
                                             static_cast<uint32_t>(p.rowBytes), bpp)) {
      p.owned.swap(copy);
      SetColorKey(p, key);
      return p;
    }
    // Every value is taken by an opaque pixel: the mask becomes an alpha channel.
    MakeRgba(p, bits, [bpp](const uint8_t* row, uint32_t x, uint8_t* out) {
      if (bpp == 24)
        std::memcpy(out, row + 3 * x, 3);
      else
        out[0] = out[1] = out[2] = row[x];
      out[3] = 255;
    });
  } else {
    MakeRgba(p, bits, [](const uint8_t* row, uint32_t x, uint8_t* out) { std::memcpy(out, row + 4 * x, 4); });
  }
  return p;
}

// The settings of one trial encoding of the multipass search.
struct Trial {
  int filters;
  int memoryLevel;
  int strategy;
};

// Runs the trial encodings on worker threads, at most one per processor. Each trial is
// independent of the others, so their sizes are the ones one run after the other gives.
class CTrialRunner {
public:
  CTrialRunner(const PngPicture& picture, const std::vector<Trial>& trials)
      : m_picture(picture), m_trials(trials), m_sizes(trials.size(), -1),
        m_errors(trials.size()), m_done(trials.size(), false), m_next(0) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const size_t count = std::min<size_t>(processors, trials.size());
    try {
      for (size_t i = 0; i < count; ++i)
        m_workers.emplace_back([this] { Work(); });
    } catch (...) {
      // Fewer threads, or none: Size runs what is left itself.
    }
  }
  ~CTrialRunner() {
    m_next = m_trials.size();
    for (std::thread& worker : m_workers)
      worker.join();
  }
  CTrialRunner(const CTrialRunner&) = delete;
  CTrialRunner& operator=(const CTrialRunner&) = delete;

  // The encoded size of trial i, once it is done; its failure is thrown here.
  int64_t Size(size_t i) {
    if (m_workers.empty())
      Run(m_next++);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return bool(m_done[i]); });
    if (m_errors[i])
      std::rethrow_exception(m_errors[i]);
    return m_sizes[i];
  }

private:
  void Work() {
    for (size_t i = m_next++; i < m_trials.size(); i = m_next++)
      Run(i);
  }
  void Run(size_t i) {
    if (i >= m_trials.size())
      return;
    int64_t size = -1;
    std::exception_ptr error;
    try {
      const Trial& t = m_trials[i];
      size = EncodedSize(m_picture, t.filters, 9, t.memoryLevel, t.strategy);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_sizes[i] = size;
      m_errors[i] = error;
      m_done[i] = true;
    }
    m_changed.notify_all();
  }

  const PngPicture& m_picture;
  const std::vector<Trial>& m_trials;
  std::vector<int64_t> m_sizes;
  std::vector<std::exception_ptr> m_errors;
  std::vector<char> m_done;
  std::atomic<size_t> m_next;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::thread> m_workers;
};

// The busy window.

class CBusyWindow;

// The busy window of the search in progress (active); the window is null once it is gone,
// whoever destroyed it.
struct BusyState {
  bool active;
  CBusyWindow* window;
  HWND focus;
  HCURSOR cursor;
};
BusyState g_busy = {false, nullptr, nullptr, nullptr};

class CBusyWindow : public CWULPopupWindow {
public:
  explicit CBusyWindow(int stepCount) : steps(stepCount), done(0) {}
  ~CBusyWindow() override {
    if (g_busy.window == this)
      g_busy.window = nullptr;
  }
  // Alt+F4 and the end of a session do not close it: the search closes it when done.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_CLOSE) {
      *result = 0;
      return true;
    }
    return CWULPopupWindow::Dispatch(message, wParam, lParam, result);
  }
  LRESULT OnPaint(PAINTSTRUCT* paint) override {
    HDC dc = paint->hdc;
    RECT client = {0, 0, width, height};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
    const int stripWidth = steps * 11 + 1;
    const int stripLeft = (width - stripWidth) / 2;
    const int stripTop = height - 4 - 12;
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT text = {2, 1, width - 2, stripTop};
    DrawTextA(dc, "Optimizing...", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    RECT strip = {stripLeft, stripTop, stripLeft + stripWidth, stripTop + 12};
    FrameRect(dc, &strip, GetSysColorBrush(COLOR_BTNSHADOW));
    for (int i = 0; i < done; ++i) {
      RECT block = {stripLeft + 1 + 11 * i, stripTop + 1, stripLeft + 11 + 11 * i, stripTop + 11};
      FillRect(dc, &block, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    return 0;
  }
  int steps;
  int done;
};

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Closes the busy window on every path.
class CBusyGuard {
public:
  CBusyGuard(HWND parent, int steps) { ShowBusyWindow(parent, steps); }
  ~CBusyGuard() {
    try {
      CloseBusyWindow();
    } catch (...) {
    }
  }
};

}  // namespace

bool PngCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen) {
  const int64_t start = stream.GetPosition();
  if (!PngHasSignature(stream))
    return false;
  PngHeader h = {};
  int paletteCount = 0;
  try {
    CPngCodec codec(stream, false);
    codec.Run(StepReadInfo, nullptr);
    h = GetHeader(codec);
    png_colorp entries = nullptr;
    if (!png_get_PLTE(codec.png(), codec.info(), &entries, &paletteCount))
      paletteCount = h.colorType == PNG_COLOR_TYPE_PALETTE ? 1 << h.bitDepth : 0;
  } catch (const CVCXException&) {
    stream.Seek(start);
    return false;
  }
  if (description) {
    const uint32_t channels = ChannelsOf(h.colorType);
    char colors[32];
    const char* text = "Unknown format";
    switch (h.colorType) {
      case PNG_COLOR_TYPE_GRAY:
        text = "Gs";
        break;
      case PNG_COLOR_TYPE_RGB:
        text = "RGB";
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        text = "GsA";
        break;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        text = "RGBA";
        break;
      case PNG_COLOR_TYPE_PALETTE:
        if (paletteCount == 1)
          std::snprintf(colors, sizeof colors, "1 color");
        else
          std::snprintf(colors, sizeof colors, "%d colors", paletteCount);
        text = colors;
        break;
      default:
        break;
    }
    char line[160];
    std::snprintf(line, sizeof line, "Portable network graphics\n%ux%u %s (%u bpp)",
                  static_cast<unsigned>(h.width), static_cast<unsigned>(h.height), text,
                  static_cast<unsigned>(h.bitDepth * channels));
    vcxStrCopy(description, line, descriptionLen);
  }
  if (preview) {
    try {
      vcxFreeLayeredImage(*preview);
      *preview = nullptr;
      const int32_t limit = vcxGetMetric(VCX_METRIC_PREVIEW_PIXELS);
      if (limit >= 0 && static_cast<uint64_t>(h.width) * h.height <= static_cast<uint64_t>(limit)) {
        stream.Seek(start);
        *preview = PngReadImage(stream);
      }
    } catch (...) {
      *preview = nullptr;
    }
  }
  stream.Seek(start);
  return true;
}

PngInfo PngReadInfo(CVCXStream& stream) {
  CPngCodec codec(stream, false);
  codec.Run(StepReadInfo, nullptr);
  const PngHeader h = GetHeader(codec);
  PngInfo info;
  info.kind = KindOf(h.colorType);
  info.depth = static_cast<uint32_t>(h.bitDepth) * ChannelsOf(h.colorType);
  info.width = h.width;
  info.height = h.height;
  return info;
}

VCXLayeredImage* PngReadImage(CVCXStream& stream) {
  RefuseHeaderWithoutPixels(stream);
  CPngCodec codec(stream, false);
  codec.Run(StepReadInfo, nullptr);
  const PngHeader h = GetHeader(codec);
  KindOf(h.colorType);
  png_structp png = codec.png();
  png_infop info = codec.info();

  // The transparent colour of grey and RGB images, as stored.
  bool keyed = false;
  png_color_16 key = {};
  if (h.colorType == PNG_COLOR_TYPE_GRAY || h.colorType == PNG_COLOR_TYPE_RGB) {
    png_color_16p stored = nullptr;
    if (png_get_tRNS(png, info, nullptr, nullptr, &stored) && stored) {
      keyed = true;
      key = *stored;
    }
  }
  // Palette entries with their alphas, copied before the transformations.
  std::vector<VCXPaletteEntry> paletteEntries;
  if (h.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp plte = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &plte, &count) || !plte)
      vcxThrow(VCX_ERROR_INTERNAL, "The PNG image has no palette");
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (!png_get_tRNS(png, info, &alphas, &alphaCount, nullptr))
      alphaCount = 0;
    paletteEntries.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      paletteEntries[i].alpha = i < alphaCount && alphas ? alphas[i] : 255;
      paletteEntries[i].red = plte[i].red;
      paletteEntries[i].green = plte[i].green;
      paletteEntries[i].blue = plte[i].blue;
    }
  }
  png_uint_32 xResolution = 0, yResolution = 0;
  int unit = 0;
  const bool physical = png_get_pHYs(png, info, &xResolution, &yResolution, &unit) != 0;

  // The compressed data must be able to hold every row before anything is made for them.
  const uint64_t rawRow = RowBytes(static_cast<uint32_t>(h.bitDepth) * ChannelsOf(h.colorType), h.width) + 1;
  if (rawRow * h.height > static_cast<uint64_t>(stream.GetRemaining()) * kMaxInflation + 65536)
    vcxThrow(VCX_ERROR_EOF);
  const uint32_t depth = RecordDepth(h.colorType, h.bitDepth);
  const uint64_t rowBytes = RowBytes(depth, h.width);
  if (rowBytes * h.height > kMaxBlockBytes || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
    vcxThrow(VCX_ERROR_FORMAT);

  ReadTransforms transforms = {h.colorType, h.bitDepth, h.interlace};
  codec.Run(StepSetTransforms, &transforms);
  if (png_get_rowbytes(png, info) != rowBytes)
    vcxThrow(VCX_ERROR_INTERNAL);

  const int32_t width = static_cast<int32_t>(h.width);
  const int32_t height = static_cast<int32_t>(h.height);
  const uint32_t format = depth << 16;
  VCXLayeredImage request = vcxLayeredImageRequest(format, width, height, keyed ? 2 : 1);
  if (physical) {
    request.xResolution = static_cast<float>(xResolution);
    request.yResolution = static_cast<float>(yResolution);
  }
  CLayeredImageGuard result(vcxCreateLayeredImage(request));
  VCXImage* color = vcxCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, width, height, ""));
  vcxSetLayerSlot(result.get(), 0, color);
  if (!paletteEntries.empty()) {
    VCXPalette* palette = vcxCreatePalette(static_cast<int32_t>(paletteEntries.size()));
    vcxSetImagePalette(color, palette);
    std::memcpy(vcxGetPaletteEntries(palette), paletteEntries.data(),
                sizeof(VCXPaletteEntry) * paletteEntries.size());
  }
  // libpng keeps the bits past a row's last pixel as it finds them: they start as 0.
  uint8_t* pixels = vcxGetPixels(color);
  std::memset(pixels, 0, static_cast<size_t>(rowBytes * h.height));
  std::vector<png_bytep> rows(h.height);
  for (uint32_t y = 0; y < h.height; ++y)
    rows[y] = pixels + rowBytes * y;
  ReadRowsContext context = {rows.data()};
  codec.Run(StepReadRows, &context);

  if (keyed) {
    VCXImage* mask = vcxCreateImage(vcxImageRequest(VCX_KIND_MASK, VCX_FORMAT_1, width, height, "MASK"));
    vcxSetLayerSlot(result.get(), 1, mask);
    uint8_t* bits = vcxGetPixels(mask);
    const uint64_t maskRow = RowBytes(1, width);
    std::memset(bits, 0, static_cast<size_t>(maskRow * h.height));
    // Grey below 8 bits was expanded to 8: the key scales with it.
    uint32_t grey = key.gray;
    if (h.colorType == PNG_COLOR_TYPE_GRAY && h.bitDepth < 8)
      grey = grey * 255 / ((1u << h.bitDepth) - 1);
    const uint32_t sampleBytes = h.bitDepth == 16 ? 2 : 1;
    auto sample = [&](const uint8_t* p) -> uint32_t {
      return sampleBytes == 2 ? static_cast<uint32_t>(p[0] | p[1] << 8) : p[0];
    };
    for (uint32_t y = 0; y < h.height; ++y) {
      const uint8_t* row = pixels + rowBytes * y;
      uint8_t* out = bits + maskRow * y;
      for (uint32_t x = 0; x < h.width; ++x) {
        bool transparent;
        if (h.colorType == PNG_COLOR_TYPE_GRAY) {
          transparent = sample(row + sampleBytes * x) == grey;
        } else {
          const uint8_t* p = row + 3 * sampleBytes * x;  // blue, green, red
          transparent = sample(p) == key.blue && sample(p + sampleBytes) == key.green &&
                        sample(p + 2 * sampleBytes) == key.red;
        }
        if (!transparent)
          out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  }
  return result.release();
}

void PngWriteImage(CVCXStream& stream, const VCXLayeredImage* image, const uint8_t* colorKey,
                   int filters, int level, int memoryLevel, int strategy) {
  WriteEncoding(stream, PictureOf(image, vcxGetFirstLayer(image, VCX_KIND_COLOR), colorKey), filters, level,
                memoryLevel, strategy);
}

uint8_t* PngFindColorKey(uint8_t* color, const uint8_t* mask, int32_t width, int32_t height,
                         uint32_t rowBytes, uint32_t bitsPerPixel) {
  if (bitsPerPixel < 8 || bitsPerPixel > 64 || bitsPerPixel % 8 || width < 0 || height < 0)
    vcxThrow(VCX_ERROR_INTERNAL);
  const uint32_t bytes = bitsPerPixel / 8;
  const uint64_t maskRow = RowBytes(1, width);
  auto opaque = [&](int32_t x, int32_t y) {
    return (mask[maskRow * y + (x >> 3)] >> (7 - (x & 7))) & 1;
  };
  auto valueAt = [&](const uint8_t* p) {
    uint64_t v = 0;
    for (uint32_t b = 0; b < bytes; ++b)
      v |= static_cast<uint64_t>(p[b]) << (8 * b);
    return v;
  };
  uint64_t opaqueCount = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      opaqueCount += opaque(x, y);
  const uint64_t total = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (opaqueCount == 0) {
    if (total)
      std::memset(color, 0, static_cast<size_t>(rowBytes * static_cast<uint64_t>(height)));
    return total ? color : nullptr;
  }
  if (opaqueCount == total)
    return nullptr;

  const uint64_t largest = bitsPerPixel == 64 ? ~0ull : (1ull << bitsPerPixel) - 1;
  uint64_t keyValue = 0;
  bool found = false;
  if (bitsPerPixel < 40 && (1ull << bitsPerPixel) < 64 * opaqueCount) {
    std::vector<uint64_t> used(static_cast<size_t>(((1ull << bitsPerPixel) + 63) / 64), 0);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        if (opaque(x, y)) {
          const uint64_t v = valueAt(color + rowBytes * y + bytes * static_cast<uint64_t>(x));
          used[v >> 6] |= 1ull << (v & 63);
        }
    auto isUsed = [&](uint64_t v) { return (used[v >> 6] >> (v & 63)) & 1; };
    if (!isUsed(0)) {
      keyValue = 0;
      found = true;
    } else if (!isUsed(largest)) {
      keyValue = largest;
      found = true;
    } else {
      for (uint64_t v = 1; v < largest && !found; ++v)
        if (!isUsed(v)) {
          keyValue = v;
          found = true;
        }
    }
  } else {
    std::vector<uint64_t> values;
    values.reserve(static_cast<size_t>(opaqueCount));
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        if (opaque(x, y))
          values.push_back(valueAt(color + rowBytes * y + bytes * static_cast<uint64_t>(x)));
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    if (values.front() != 0) {
      keyValue = 0;
      found = true;
    } else if (values.back() != largest) {
      keyValue = largest;
      found = true;
    } else {
      for (size_t i = 1; i < values.size() && !found; ++i)
        if (values[i] != values[i - 1] + 1) {
          keyValue = values[i - 1] + 1;
          found = true;
        }
    }
  }
  if (!found)
    return nullptr;
  uint8_t* first = nullptr;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (!opaque(x, y)) {
        uint8_t* p = color + rowBytes * y + bytes * static_cast<uint64_t>(x);
        for (uint32_t b = 0; b < bytes; ++b)
          p[b] = static_cast<uint8_t>(keyValue >> (8 * b));
        if (!first)
          first = p;
      }
  return first;
}

void PngWriteIconEntry(HWND parent, CVCXStream& stream, VCXLayeredImage* image, bool multipass) {
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  if (!color)
    vcxThrow(VCX_ERROR_INTERNAL);
  const PngPicture picture = IconPicture(image, color, vcxGetFirstLayer(image, VCX_KIND_MASK));
  int filters, memoryLevel = 8, strategy;
  if (!multipass) {
    const int64_t plain = EncodedSize(picture, PNG_FILTERS_NONE, 1, 8, 0);
    const int64_t filtered = EncodedSize(picture, PNG_FILTERS_ALL, 1, 8, 1);
    filters = filtered < plain ? PNG_FILTERS_ALL : PNG_FILTERS_NONE;
    strategy = filtered < plain ? 1 : 0;
  } else {
    static const int kFilters[] = {PNG_FILTERS_NONE, PNG_FILTERS_SUB,     PNG_FILTERS_UP,
                                   PNG_FILTERS_AVERAGE, PNG_FILTERS_PAETH, PNG_FILTERS_ALL};
    std::vector<Trial> trials;
    for (int f : kFilters)
      for (int m = 8; m <= 9; ++m)
        for (int s = 0; s <= 2; ++s)
          trials.push_back({f, m, s});
    CBusyGuard busy(parent, static_cast<int>(trials.size()));
    // The trials run together; the first of the smallest wins, as in turn.
    CTrialRunner runner(picture, trials);
    int64_t best = -1;
    filters = PNG_FILTERS_NONE;
    strategy = 0;
    for (size_t i = 0; i < trials.size(); ++i) {
      const int64_t size = runner.Size(i);
      if (best < 0 || size < best) {
        best = size;
        filters = trials[i].filters;
        memoryLevel = trials[i].memoryLevel;
        strategy = trials[i].strategy;
      }
      AdvanceBusyWindow(1);
    }
    WriteEncoding(stream, picture, filters, 9, memoryLevel, strategy);
    return;
  }
  WriteEncoding(stream, picture, filters, 9, memoryLevel, strategy);
}

void ShowBusyWindow(HWND parent, int steps) {
  if (g_busy.active)
    vcxThrow(VCX_ERROR_INTERNAL);
  if (steps < 0)
    steps = 0;
  const HCURSOR cursor = GetCursor();
  CBusyWindow* window = new CBusyWindow(steps);
  try {
    const int width = steps * 11 + 11;
    const int height = 34;
    RECT area;
    if (!parent || !GetWindowRect(parent, &area))
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    window->SetCursor(cursor);
    window->SetBounds(area.left + (area.right - area.left - width) / 2,
                      area.top + (area.bottom - area.top - height) / 2, width, height);
    window->Incarnate(parent);
    window->Show();
  } catch (...) {
    delete window;
    throw;
  }
  g_busy.active = true;
  g_busy.window = window;
  g_busy.cursor = cursor;
  g_busy.focus = GetFocus();
  if (g_busy.focus)
    EnableWindow(g_busy.focus, FALSE);
  PumpMessages();
}

void AdvanceBusyWindow(int n) {
  if (!g_busy.active)
    return;
  if (CBusyWindow* window = g_busy.window) {
    window->done = std::min(std::max(window->done + n, 0), window->steps);
    if (HWND handle = window->GetHandle()) {
      InvalidateRect(handle, nullptr, FALSE);
      UpdateWindow(handle);
    }
  }
  PumpMessages();
  SetCursor(g_busy.cursor);
}

void CloseBusyWindow() {
  if (!g_busy.active)
    return;
  g_busy.active = false;
  CBusyWindow* window = g_busy.window;
  g_busy.window = nullptr;
  delete window;
  PumpMessages();
  if (g_busy.focus) {
    EnableWindow(g_busy.focus, TRUE);
    SetFocus(g_busy.focus);
  }
  SetCursor(g_busy.cursor);
  g_busy.focus = nullptr;
}
