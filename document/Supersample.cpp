#include "document/Supersample.h"
#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// Largest level size accepted: the 8x level's bytes must stay within 32-bit memory figures.
bool LevelSizeFits(int32_t width, int32_t height, int32_t elementSize) {
  if (width < 0 || height < 0)
    return false;
  int64_t w = static_cast<int64_t>(width) << 3;
  int64_t h = static_cast<int64_t>(height) << 3;
  return w <= INT32_MAX && h <= INT32_MAX && w * h * elementSize <= INT32_MAX;
}

template <class TArray>
struct ArrayTraits;

template <>
struct ArrayTraits<CPixelArray> {
  enum { ELEMENT_SIZE = 4 };
  typedef uint32_t Element;
  static Element* Data(CPixelArray* a) { return reinterpret_cast<uint32_t*>(a->data); }

  // Alpha-weighted mean of four pixels; the alpha is their mean.
  static Element Average(Element p00, Element p01, Element p10, Element p11) {
    uint32_t a00 = p00 >> 24, a01 = p01 >> 24, a10 = p10 >> 24, a11 = p11 >> 24;
    uint32_t sum = a00 + a01 + a10 + a11;
    if (sum == 0)
      return 0;
    uint32_t alpha = (sum * 0x400000u + 0x800000u) >> 24;
    uint32_t r = g_reciprocals[sum];
    uint32_t result = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
      uint32_t weighted = ((p00 >> shift) & 0xFF) * a00 + ((p01 >> shift) & 0xFF) * a01 +
                          ((p10 >> shift) & 0xFF) * a10 + ((p11 >> shift) & 0xFF) * a11;
      result |= ((weighted * r + 0x800000u) >> 24) << shift;
    }
    return result;
  }
};

template <>
struct ArrayTraits<CMaskArray> {
  enum { ELEMENT_SIZE = 1 };
  typedef uint8_t Element;
  static Element* Data(CMaskArray* a) { return reinterpret_cast<uint8_t*>(a->data); }

  static Element Average(Element m00, Element m01, Element m10, Element m11) {
    return static_cast<Element>((m00 + m01 + m10 + m11 + 2) >> 2);
  }
};

}  // namespace

Rect SupersampleRectTo1x(const Rect& r) {
  Rect result;
  result.left = r.left >> 3;
  result.top = r.top >> 3;
  result.right = ((r.right - 1) >> 3) + 1;
  result.bottom = ((r.bottom - 1) >> 3) + 1;
  return result;
}

template <class TArray>
CSupersampleStack<TArray>::CSupersampleStack() : width(0), height(0) {
  for (int k = 0; k < LEVELS; ++k)
    levels[k] = nullptr;
}

template <class TArray>
CSupersampleStack<TArray>::~CSupersampleStack() {
  for (int k = 1; k < LEVELS; ++k)
    delete levels[k];
}

template <class TArray>
void CSupersampleStack<TArray>::Attach(TArray* source) {
  levels[0] = source;
  if (!source) {
    for (int k = 1; k < LEVELS; ++k) {
      delete levels[k];
      levels[k] = nullptr;
    }
    width = 0;
    height = 0;
    return;
  }
  if (source->width == width && source->height == height && IsComplete())
    return;
  width = source->width;
  height = source->height;
  bool fits = LevelSizeFits(width, height, ArrayTraits<TArray>::ELEMENT_SIZE);
  for (int k = 1; k < LEVELS; ++k) {
    if (!levels[k]) {
      levels[k] = new (std::nothrow) TArray();
      if (!levels[k])
        continue;
    }
    if (fits)
      levels[k]->SetSize(width << k, height << k);
    else
      levels[k]->SetSize(0, 0);
  }
}

template <class TArray>
bool CSupersampleStack<TArray>::IsComplete() const {
  if (!levels[0] || levels[0]->width != width || levels[0]->height != height)
    return false;
  for (int k = 1; k < LEVELS; ++k) {
    if (!levels[k] || levels[k]->width != static_cast<int64_t>(width) << k ||
        levels[k]->height != static_cast<int64_t>(height) << k)
      return false;
    if (width > 0 && height > 0 && !levels[k]->data)
      return false;
  }
  return true;
}

template <class TArray>
bool CSupersampleStack<TArray>::ClipToLevel0(const Rect* rect, Rect& clipped) const {
  if (!IsComplete())
    return false;
  clipped.left = 0;
  clipped.top = 0;
  clipped.right = width;
  clipped.bottom = height;
  if (rect) {
    if (rect->left > clipped.left)
      clipped.left = rect->left;
    if (rect->top > clipped.top)
      clipped.top = rect->top;
    if (rect->right < clipped.right)
      clipped.right = rect->right;
    if (rect->bottom < clipped.bottom)
      clipped.bottom = rect->bottom;
  }
  return clipped.left < clipped.right && clipped.top < clipped.bottom;
}

template <class TArray>
void CSupersampleStack<TArray>::Expand(const Rect* rect) {
  typedef ArrayTraits<TArray> Traits;
  typedef typename Traits::Element Element;
  Rect r;
  if (!ClipToLevel0(rect, r))
    return;
  for (int k = 1; k < LEVELS; ++k) {
    const int s = k - 1;
    const int32_t srcWidth = width << s;
    const int32_t dstWidth = width << k;
    const Element* src = Traits::Data(levels[s]);
    Element* dst = Traits::Data(levels[k]);
    for (int32_t y = r.top << s; y < (r.bottom << s); ++y) {
      const Element* in = src + static_cast<ptrdiff_t>(y) * srcWidth;
      Element* out0 = dst + static_cast<ptrdiff_t>(2 * y) * dstWidth;
      Element* out1 = out0 + dstWidth;
      for (int32_t x = r.left << s; x < (r.right << s); ++x) {
        Element e = in[x];
        out0[2 * x] = e;
        out0[2 * x + 1] = e;
        out1[2 * x] = e;
        out1[2 * x + 1] = e;
      }
    }
  }
}

template <class TArray>
void CSupersampleStack<TArray>::Reduce(const Rect* rect) {
  typedef ArrayTraits<TArray> Traits;
  typedef typename Traits::Element Element;
  Rect r;
  if (!ClipToLevel0(rect, r))
    return;
  for (int k = TOP - 1; k >= 0; --k) {
    const int32_t dstWidth = width << k;
    const int32_t srcWidth = width << (k + 1);
    const Element* src = Traits::Data(levels[k + 1]);
    Element* dst = Traits::Data(levels[k]);
    for (int32_t y = r.top << k; y < (r.bottom << k); ++y) {
      const Element* in0 = src + static_cast<ptrdiff_t>(2 * y) * srcWidth;
      const Element* in1 = in0 + srcWidth;
      Element* out = dst + static_cast<ptrdiff_t>(y) * dstWidth;
      for (int32_t x = r.left << k; x < (r.right << k); ++x)
        out[x] = Traits::Average(in0[2 * x], in0[2 * x + 1], in1[2 * x], in1[2 * x + 1]);
    }
  }
}

template <class TArray>
TArray* CSupersampleStack<TArray>::GetLevel(int32_t index) const {
  if (index < 0 || index >= LEVELS)
    return nullptr;
  return levels[index];
}

template <class TArray>
uint32_t CSupersampleStack<TArray>::GetMemorySize() const {
  uint32_t size = 24;
  for (int k = 1; k < LEVELS; ++k)
    if (levels[k])
      size += levels[k]->GetMemorySize();
  return size;
}

template class CSupersampleStack<CPixelArray>;
template class CSupersampleStack<CMaskArray>;
