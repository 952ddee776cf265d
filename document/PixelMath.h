#pragma once
// Clipping and per-pixel arithmetic shared by the raster operations.
#include <cstdint>
#include <type_traits>
#include "document/PixelArray.h"
#include "shell/Errors.h"
#include "wul/WULFloatBits.h"
#include "wul/WULMath.h"

namespace pixelarray_detail {

// A block copy after clipping to both arrays.
struct Block {
  int32_t x, y, sx, sy, w, h;
};

// Clips the source block (sx, sy, w, h) placed at (x, y); false when nothing is left.
bool ClipBlock(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
               int64_t x, int64_t y, int64_t sx, int64_t sy, int64_t w, int64_t h, Block& out);
// Clips rect to a width x height array; false when nothing is left.
bool ClipRect(const Rect& rect, int32_t width, int32_t height, Rect& out);
// Largest byte count of one array: memory figures and 32-bit indices stay in range.
const int64_t MAX_ARRAY_BYTES = 0x7FFFFFFF;

// Checked byte size of a width x height array of elementSize bytes; -1 when unusable.
int64_t ArrayBytes(int32_t width, int32_t height, int32_t elementSize);

// Resizes an owned pixel or mask array; a failure shows failText and leaves it empty.
template <class Array>
void ResizeArray(Array& array, int32_t newWidth, int32_t newHeight, const char* failText) {
  typedef typename std::remove_pointer<decltype(array.data)>::type Element;
  if (newWidth == array.width && newHeight == array.height)
    return;
  if (!array.owned)
    return;
  const int32_t size = static_cast<int32_t>(sizeof(Element));
  const int64_t bytes = ArrayBytes(newWidth, newHeight, size);
  if (bytes >= 0 && bytes == static_cast<int64_t>(array.width) * array.height * size) {
    array.width = newWidth;
    array.height = newHeight;
    return;
  }
  if (array.data)
    FreeMemory(array.data);
  array.data = nullptr;
  array.width = 0;
  array.height = 0;
  if (bytes == 0) {
    array.width = newWidth;
    array.height = newHeight;
    return;
  }
  if (bytes > 0)
    array.data = static_cast<Element*>(AllocMemory(static_cast<size_t>(bytes)));
  if (!array.data) {
    ErrorBox(failText);
    return;
  }
  array.width = newWidth;
  array.height = newHeight;
}

// x / 255 rounded, for x up to 255 * 255.
inline uint32_t Div255(uint32_t x) {
  return (x * 0x10101u + 0x800000u) >> 24;
}

// An opacity as a factor of 2^24: 0 for none (or NaN, or a denormal), 2^24 from 1 on. The
// value is judged by its bits first, so that none of these traps.
inline uint32_t OpacityFactor(float opacity) {
  const float p = wulUnitFloat(&opacity, 0.0f);
  if (p >= 1.0f)
    return 0x1000000u;
  const int32_t k = wulRoundDouble(static_cast<double>(p) * 16777216.0);
  return k > 0 ? static_cast<uint32_t>(k) : 0;
}

// round(alpha * opacity) limited to 0..255.
inline uint32_t ScaledAlpha(uint32_t alpha, float opacity) {
  const float p = wulUnitFloat(&opacity, 0.0f);
  if (p >= 1.0f)
    return alpha;
  const int32_t a = wulRoundFloat(static_cast<float>(alpha) * p);
  return a <= 0 ? 0 : (a >= 255 ? 255 : static_cast<uint32_t>(a));
}

// Source s with effective alpha a (1..255) over destination d.
inline uint32_t Over(uint32_t d, uint32_t s, uint32_t a) {
  const uint32_t b = Div255((255 - a) * (d >> 24));
  const uint32_t sum = a + b;
  const uint32_t r = g_reciprocals[sum];
  const uint32_t blue = (((s & 0xFF) * a + (d & 0xFF) * b) * r + 0x800000u) >> 24;
  const uint32_t green = ((((s >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * b) * r + 0x800000u) >> 24;
  const uint32_t red = ((((s >> 16) & 0xFF) * a + ((d >> 16) & 0xFF) * b) * r + 0x800000u) >> 24;
  return (sum << 24) | (red << 16) | (green << 8) | blue;
}

// Over-compositing of one source pixel with the opacity factor k (1..2^24).
inline void BlendOne(uint32_t& d, uint32_t s, uint32_t k) {
  const uint32_t sa = s >> 24;
  if (sa == 0)
    return;
  const uint32_t weighted = sa * k;
  if (weighted >= 0xFE800000u) {
    d = s;
    return;
  }
  const uint32_t a = (weighted + 0x800000u) >> 24;
  d = Over(d, s, a);
}

}  // namespace pixelarray_detail
