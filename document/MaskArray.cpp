#include <cstring>
#include "document/PixelArray.h"
#include "document/PixelMath.h"
#include "shell/Errors.h"

using namespace pixelarray_detail;

CMaskArray::CMaskArray() : width(0), height(0), data(nullptr), owned(1) {}

CMaskArray::CMaskArray(int32_t w, int32_t h) : width(0), height(0), data(nullptr), owned(1) {
  SetSize(w, h);
}

CMaskArray::~CMaskArray() {
  Release();
}

void CMaskArray::Release() {
  if (owned && data)
    FreeMemory(data);
  data = nullptr;
}

void CMaskArray::SetSize(int32_t newWidth, int32_t newHeight) {
  ResizeArray(*this, newWidth, newHeight, "Mask array creation failed");
}

uint32_t CMaskArray::GetMemorySize() const {
  if (!data)
    return 16;
  return 16 + static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
}

void CMaskArray::SetBuffer(uint8_t* buffer) {
  Release();
  if (buffer) {
    data = buffer;
    owned = 0;
  } else {
    // Nothing foreign left: an ordinary empty array again.
    width = 0;
    height = 0;
    owned = 1;
  }
}

void CMaskArray::Fill(uint8_t value) {
  if (!data || width <= 0 || height <= 0)
    return;
  std::memset(data, value, static_cast<size_t>(width) * static_cast<size_t>(height));
}

void CMaskArray::FillRect(const Rect& rect, uint8_t value) {
  Rect r;
  if (!data || !ClipRect(rect, width, height, r))
    return;
  for (int32_t y = r.top; y < r.bottom; ++y)
    std::memset(data + static_cast<ptrdiff_t>(y) * width + r.left, value,
                static_cast<size_t>(r.right - r.left));
}

void CMaskArray::Invert() {
  if (!data || width <= 0 || height <= 0)
    return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i)
    data[i] = static_cast<uint8_t>(255 - data[i]);
}

namespace {

void CopyMaskBlock(CMaskArray& dst, const CMaskArray& src, int64_t x, int64_t y, int64_t sx,
                   int64_t sy, int64_t w, int64_t h) {
  Block b;
  if (!dst.data || !src.data ||
      !ClipBlock(dst.width, dst.height, src.width, src.height, x, y, sx, sy, w, h, b))
    return;
  uint8_t* d = dst.data + static_cast<ptrdiff_t>(b.y) * dst.width + b.x;
  const uint8_t* s = src.data + static_cast<ptrdiff_t>(b.sy) * src.width + b.sx;
  const ptrdiff_t dstStride = dst.width;
  const ptrdiff_t srcStride = src.width;
  // Bottom-up when the block moves down inside one buffer.
  if (d > s) {
    d += dstStride * (b.h - 1);
    s += srcStride * (b.h - 1);
    for (int32_t row = 0; row < b.h; ++row, d -= dstStride, s -= srcStride)
      std::memmove(d, s, static_cast<size_t>(b.w));
  } else {
    for (int32_t row = 0; row < b.h; ++row, d += dstStride, s += srcStride)
      std::memmove(d, s, static_cast<size_t>(b.w));
  }
}

}  // namespace

void CMaskArray::Assign(const CMaskArray& source) {
  CopyMaskBlock(*this, source, 0, 0, 0, 0, source.width, source.height);
}

void CMaskArray::CopyTo(int32_t x, int32_t y, const CMaskArray& source) {
  CopyMaskBlock(*this, source, x, y, 0, 0, source.width, source.height);
}

void CMaskArray::CopyRectTo(int32_t x, int32_t y, const CMaskArray& source,
                            const Rect& sourceRect) {
  CopyMaskBlock(*this, source, x, y, sourceRect.left, sourceRect.top,
                static_cast<int64_t>(sourceRect.right) - sourceRect.left,
                static_cast<int64_t>(sourceRect.bottom) - sourceRect.top);
}

void CMaskArray::CopyRect(int32_t x, int32_t y, const CMaskArray& source, int32_t sx,
                          int32_t sy, int32_t w, int32_t h) {
  CopyMaskBlock(*this, source, x, y, sx, sy, w, h);
}
