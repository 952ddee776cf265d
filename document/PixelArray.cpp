#include "document/PixelArray.h"
#include <cstring>
#include "document/PixelMath.h"
#include "shell/Errors.h"

using namespace pixelarray_detail;

namespace {

uint32_t s_reciprocals[1024];

}  // namespace

const uint32_t (&g_reciprocals)[1024] = s_reciprocals;

void InitReciprocalTable() {
  s_reciprocals[0] = 0;
  for (uint32_t i = 1; i < 1024; ++i)
    s_reciprocals[i] = (0x1000000u + i / 2) / i;
}

uint32_t BlendArgb(uint32_t a, uint32_t b, uint32_t amount) {
  const uint32_t k = amount & 0xFF;
  if (k == 0)
    return a;
  if (k == 255)
    return b;
  const uint32_t e = Div255((255 - k) * (a >> 24));
  const uint32_t f = Div255((b >> 24) * k);
  const uint32_t r = g_reciprocals[e + f];
  uint32_t result = (e + f) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (((b >> shift) & 0xFF) * f + ((a >> shift) & 0xFF) * e) * r;
    result |= ((c + 0x800000u) >> 24) << shift;
  }
  return result;
}

uint32_t BlendRgb(uint32_t a, uint32_t b, uint32_t amount) {
  const uint32_t k = amount & 0xFF;
  uint32_t result = a & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    result |= Div255(((b >> shift) & 0xFF) * k + ((a >> shift) & 0xFF) * (255 - k)) << shift;
  return result;
}

uint32_t BlendAlpha(uint32_t a, uint32_t b, uint32_t amount) {
  const uint32_t k = amount & 0xFF;
  const uint32_t alpha = Div255((b >> 24) * k + (a >> 24) * (255 - k));
  return (a & 0x00FFFFFFu) | (alpha << 24);
}

// ---------------------------------------------------------------------------------------------
// Clipping

namespace pixelarray_detail {

bool ClipBlock(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
               int64_t x, int64_t y, int64_t sx, int64_t sy, int64_t w, int64_t h, Block& out) {
  // A block that starts outside an array loses what lies outside, on both sides.
  if (x < 0) {
    sx -= x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sy -= y;
    h += y;
    y = 0;
  }
  if (sx < 0) {
    x -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    y -= sy;
    h += sy;
    sy = 0;
  }
  if (w > dstWidth - x)
    w = dstWidth - x;
  if (w > srcWidth - sx)
    w = srcWidth - sx;
  if (h > dstHeight - y)
    h = dstHeight - y;
  if (h > srcHeight - sy)
    h = srcHeight - sy;
  if (w < 1 || h < 1)
    return false;
  out.x = static_cast<int32_t>(x);
  out.y = static_cast<int32_t>(y);
  out.sx = static_cast<int32_t>(sx);
  out.sy = static_cast<int32_t>(sy);
  out.w = static_cast<int32_t>(w);
  out.h = static_cast<int32_t>(h);
  return true;
}

bool ClipRect(const Rect& rect, int32_t width, int32_t height, Rect& out) {
  out.left = rect.left > 0 ? rect.left : 0;
  out.top = rect.top > 0 ? rect.top : 0;
  out.right = rect.right < width ? rect.right : width;
  out.bottom = rect.bottom < height ? rect.bottom : height;
  return out.left < out.right && out.top < out.bottom;
}

int64_t ArrayBytes(int32_t width, int32_t height, int32_t elementSize) {
  if (width < 0 || height < 0)
    return -1;
  // Both factors are below 2^31, so the product fits before the element size is applied.
  const int64_t count = static_cast<int64_t>(width) * height;
  if (count > MAX_ARRAY_BYTES / elementSize)
    return -1;
  return count * elementSize;
}

}  // namespace pixelarray_detail

namespace {

// Moves h rows of rowBytes bytes, overlap-safe also when both blocks lie in one array.
void MoveRows(uint8_t* dst, const uint8_t* src, ptrdiff_t dstStride, ptrdiff_t srcStride,
              size_t rowBytes, int32_t h) {
  if (dst > src) {
    dst += dstStride * (h - 1);
    src += srcStride * (h - 1);
    for (int32_t row = 0; row < h; ++row, dst -= dstStride, src -= srcStride)
      std::memmove(dst, src, rowBytes);
  } else {
    for (int32_t row = 0; row < h; ++row, dst += dstStride, src += srcStride)
      std::memmove(dst, src, rowBytes);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CPixelArray

CPixelArray::CPixelArray() : width(0), height(0), data(nullptr), owned(1) {}

CPixelArray::CPixelArray(int32_t w, int32_t h) : width(0), height(0), data(nullptr), owned(1) {
  SetSize(w, h);
}

CPixelArray::CPixelArray(uint32_t* pixels, int32_t w, int32_t h)
    : width(0), height(0), data(nullptr), owned(1) {
  if (pixels && w > 0 && h > 0) {
    width = w;
    height = h;
    data = pixels;
    owned = 0;
  }
}

CPixelArray::~CPixelArray() {
  Release();
}

void CPixelArray::Release() {
  if (owned && data)
    FreeMemory(data);
  data = nullptr;
}

void CPixelArray::SetSize(int32_t newWidth, int32_t newHeight) {
  ResizeArray(*this, newWidth, newHeight, "Pixel array creation failed");
}

uint32_t CPixelArray::GetMemorySize() const {
  if (!data)
    return 16;
  return 16 + static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4;
}

void CPixelArray::Fill(uint32_t value) {
  if (!data || width <= 0 || height <= 0)
    return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i)
    data[i] = value;
}

void CPixelArray::FillRect(const Rect& rect, uint32_t value) {
  Rect r;
  if (!data || !ClipRect(rect, width, height, r))
    return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* p = PixelAt(r.left, y);
    for (int32_t n = r.right - r.left; n > 0; --n)
      *p++ = value;
  }
}

namespace {

void CopyBlock(CPixelArray& dst, const CPixelArray& src, int64_t x, int64_t y, int64_t sx,
               int64_t sy, int64_t w, int64_t h) {
  Block b;
  if (!dst.data || !src.data ||
      !ClipBlock(dst.width, dst.height, src.width, src.height, x, y, sx, sy, w, h, b))
    return;
  MoveRows(reinterpret_cast<uint8_t*>(dst.PixelAt(b.x, b.y)),
           reinterpret_cast<const uint8_t*>(src.PixelAt(b.sx, b.sy)),
           static_cast<ptrdiff_t>(dst.width) * 4, static_cast<ptrdiff_t>(src.width) * 4,
           static_cast<size_t>(b.w) * 4, b.h);
}

void BlendBlock(CPixelArray& dst, const CPixelArray& src, int64_t x, int64_t y, int64_t sx,
                int64_t sy, int64_t w, int64_t h, float opacity) {
  const uint32_t k = OpacityFactor(opacity);
  Block b;
  if (k == 0 || !dst.data || !src.data ||
      !ClipBlock(dst.width, dst.height, src.width, src.height, x, y, sx, sy, w, h, b))
    return;
  for (int32_t row = 0; row < b.h; ++row) {
    uint32_t* d = dst.PixelAt(b.x, b.y + row);
    const uint32_t* s = src.PixelAt(b.sx, b.sy + row);
    for (int32_t n = 0; n < b.w; ++n)
      BlendOne(d[n], s[n], k);
  }
}

int64_t Extent(int32_t low, int32_t high) {
  return static_cast<int64_t>(high) - low;
}

}  // namespace

void CPixelArray::CopyFrom(const CPixelArray& source) {
  CopyBlock(*this, source, 0, 0, 0, 0, source.width, source.height);
}

void CPixelArray::CopyTo(int32_t x, int32_t y, const CPixelArray& source) {
  CopyBlock(*this, source, x, y, 0, 0, source.width, source.height);
}

void CPixelArray::CopyRectTo(int32_t x, int32_t y, const CPixelArray& source,
                             const Rect& sourceRect) {
  CopyBlock(*this, source, x, y, sourceRect.left, sourceRect.top,
            Extent(sourceRect.left, sourceRect.right), Extent(sourceRect.top, sourceRect.bottom));
}

void CPixelArray::CopyRect(int32_t x, int32_t y, const CPixelArray& source, int32_t sx,
                           int32_t sy, int32_t w, int32_t h) {
  CopyBlock(*this, source, x, y, sx, sy, w, h);
}

void CPixelArray::BlendFrom(const CPixelArray& source, float opacity) {
  BlendBlock(*this, source, 0, 0, 0, 0, source.width, source.height, opacity);
}

void CPixelArray::BlendFrom(int32_t x, int32_t y, const CPixelArray& source, float opacity) {
  BlendBlock(*this, source, x, y, 0, 0, source.width, source.height, opacity);
}

void CPixelArray::BlendFrom(int32_t x, int32_t y, const CPixelArray& source,
                            const Rect& sourceRect, float opacity) {
  BlendBlock(*this, source, x, y, sourceRect.left, sourceRect.top,
             Extent(sourceRect.left, sourceRect.right), Extent(sourceRect.top, sourceRect.bottom),
             opacity);
}

void CPixelArray::BlendOver(int32_t x, int32_t y, const CPixelArray& source, int32_t sx,
                            int32_t sy, int32_t w, int32_t h, float opacity) {
  BlendBlock(*this, source, x, y, sx, sy, w, h, opacity);
}

void CPixelArray::BlendColorRect(const Rect& rect, CColor color, float opacity) {
  const uint32_t a = ScaledAlpha(color.GetAlpha(), opacity);
  Rect r;
  if (a == 0 || !data || !ClipRect(rect, width, height, r))
    return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* p = PixelAt(r.left, y);
    for (int32_t n = r.right - r.left; n > 0; --n, ++p)
      *p = Over(*p, color.value, a);
  }
}

void CPixelArray::BlendPixel(int32_t x, int32_t y, CColor color, float opacity) {
  if (!data || x < 0 || y < 0 || x >= width || y >= height)
    return;
  const uint32_t a = ScaledAlpha(color.GetAlpha(), opacity);
  if (a == 0)
    return;
  uint32_t* p = PixelAt(x, y);
  *p = Over(*p, color.value, a);
}

void CPixelArray::ScaleAlpha(float opacity) {
  Rect all;
  all.right = width;
  all.bottom = height;
  ScaleAlpha(all, opacity);
}

void CPixelArray::ScaleAlpha(const Rect& rect, float opacity) {
  const uint32_t k = OpacityFactor(opacity);
  Rect r;
  if (k == 0x1000000u || !data || !ClipRect(rect, width, height, r))
    return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* p = PixelAt(r.left, y);
    for (int32_t n = r.right - r.left; n > 0; --n, ++p) {
      const uint32_t alpha = (k * (*p >> 24) + 0x800000u) >> 24;
      *p = (*p & 0x00FFFFFFu) | (alpha << 24);
    }
  }
}

void CPixelArray::Premultiply() {
  if (!data || width <= 0 || height <= 0)
    return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = data[i];
    const uint32_t alpha = p >> 24;
    uint32_t result = p & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
      result |= Div255(((p >> shift) & 0xFF) * alpha) << shift;
    data[i] = result;
  }
}

void CPixelArray::ApplyMask1Bit(const uint8_t* bits) {
  if (!bits || !data || width <= 0 || height <= 0)
    return;
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = bits + rowBytes * static_cast<size_t>(y);
    uint32_t* p = PixelAt(0, y);
    for (int32_t x = 0; x < width; ++x)
      if (!(row[x >> 3] & (0x80 >> (x & 7))))
        p[x] &= 0x00FFFFFFu;
  }
}

void CPixelArray::CopyMaskedRect(int32_t x, int32_t y, const CPixelArray& source,
                                 const CMaskArray& mask, const Rect& sourceRect, bool invert) {
  if (mask.width != source.width || mask.height != source.height)
    return;
  Block b;
  if (!data || !source.data || !mask.data ||
      !ClipBlock(width, height, source.width, source.height, x, y, sourceRect.left,
                 sourceRect.top, Extent(sourceRect.left, sourceRect.right),
                 Extent(sourceRect.top, sourceRect.bottom), b))
    return;
  const uint32_t flip = invert ? 255 : 0;
  for (int32_t row = 0; row < b.h; ++row) {
    uint32_t* d = PixelAt(b.x, b.y + row);
    const uint32_t* s = source.PixelAt(b.sx, b.sy + row);
    const uint8_t* m = mask.data + static_cast<ptrdiff_t>(b.sy + row) * mask.width + b.sx;
    for (int32_t n = 0; n < b.w; ++n) {
      const uint32_t coverage = m[n] ^ flip;
      if (coverage == 0)
        continue;
      if (coverage == 255) {
        d[n] = s[n];
        continue;
      }
      const uint32_t sp = s[n];
      const uint32_t dp = d[n];
      const uint32_t a = Div255(coverage * (sp >> 24));
      const uint32_t da = dp >> 24;
      const uint32_t t = 255 - coverage < da ? 255 - coverage : da;
      const uint32_t r = g_reciprocals[a + t];
      uint32_t result = (a + t) << 24;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (((sp >> shift) & 0xFF) * a + ((dp >> shift) & 0xFF) * t) * r;
        result |= ((c + 0x800000u) >> 24) << shift;
      }
      d[n] = result;
    }
  }
}
