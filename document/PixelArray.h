#pragma once
// 32-bit ARGB pixel arrays, 8-bit mask arrays and the raster operations on them.
// Division by 255 is (x * 0x10101 + 0x800000) >> 24; division by a small weight sum s is a
// multiplication by the reciprocal table entry s and a rounding shift by 24.
#include <cstddef>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"

// Fills the reciprocal table: entry 0 is 0, entry i is 2^24 / i rounded. Call once at
// start-up, before any blend runs.
void InitReciprocalTable();

// Read-only after InitReciprocalTable.
extern const uint32_t (&g_reciprocals)[1024];

inline uint32_t GetReciprocal(uint32_t i) {
  return g_reciprocals[i & 1023];
}

// Blends of two pixels by amount (0..255, the low byte of the argument).
// Alpha-weighted mix: amount 0 gives a, 255 gives b.
uint32_t BlendArgb(uint32_t a, uint32_t b, uint32_t amount);
// Mixes the colour channels only; a's alpha is kept.
uint32_t BlendRgb(uint32_t a, uint32_t b, uint32_t amount);
// Mixes the alpha only; a's colour is kept.
uint32_t BlendAlpha(uint32_t a, uint32_t b, uint32_t amount);

class CMaskArray;

struct CResampleOptions {
  uint8_t smooth = 1;         // bilinear enlargement
  int32_t totalSamples = 0;   // sample budget of the whole image, 0 = none
  int32_t pixelSamples = 0;   // sample budget per destination pixel, 0 = none
};

class CPixelArray {
public:
  CPixelArray();
  CPixelArray(int32_t width, int32_t height);
  // Lies over foreign memory, which it never frees or resizes.
  CPixelArray(uint32_t* pixels, int32_t width, int32_t height);
  ~CPixelArray();
  CPixelArray(const CPixelArray&) = delete;
  CPixelArray& operator=(const CPixelArray&) = delete;

  // Contents are undefined after a change of the pixel count. A failure shows an error
  // box and leaves the array empty.
  void SetSize(int32_t newWidth, int32_t newHeight);
  uint32_t GetMemorySize() const;

  // No bounds checks.
  uint32_t GetPixel(int32_t x, int32_t y) const { return data[Index(x, y)]; }
  void SetPixel(int32_t x, int32_t y, uint32_t value) { data[Index(x, y)] = value; }
  uint32_t* PixelAt(int32_t x, int32_t y) { return data + Index(x, y); }
  const uint32_t* PixelAt(int32_t x, int32_t y) const { return data + Index(x, y); }

  void Fill(uint32_t value);
  void FillRect(const Rect& rect, uint32_t value);

  // Block copies, clipped to both arrays.
  void CopyFrom(const CPixelArray& source);
  void CopyTo(int32_t x, int32_t y, const CPixelArray& source);
  void CopyRectTo(int32_t x, int32_t y, const CPixelArray& source, const Rect& sourceRect);
  void CopyRect(int32_t x, int32_t y, const CPixelArray& source, int32_t sx, int32_t sy,
                int32_t w, int32_t h);

  // Over-compositing with an opacity 0..1, clipped like the copies.
  void BlendFrom(const CPixelArray& source, float opacity);
  void BlendFrom(int32_t x, int32_t y, const CPixelArray& source, float opacity);
  void BlendFrom(int32_t x, int32_t y, const CPixelArray& source, const Rect& sourceRect,
                 float opacity);
  void BlendOver(int32_t x, int32_t y, const CPixelArray& source, int32_t sx, int32_t sy,
                 int32_t w, int32_t h, float opacity);
  void BlendColorRect(const Rect& rect, CColor color, float opacity);
  void BlendPixel(int32_t x, int32_t y, CColor color, float opacity);

  void ScaleAlpha(float opacity);
  void ScaleAlpha(const Rect& rect, float opacity);
  void Premultiply();
  // A 1-bit mask of the array's size, rows padded to whole bytes, most significant bit
  // first; a 0 bit makes the pixel transparent.
  void ApplyMask1Bit(const uint8_t* bits);
  // The mask must have the source's size. Mask 255 stores the source pixel, 0 keeps the
  // destination, values between mix them.
  void CopyMaskedRect(int32_t x, int32_t y, const CPixelArray& source, const CMaskArray& mask,
                      const Rect& sourceRect, bool invert);

  // Draws source magnified by zoom, its pixel (0, 0) at origin, into rect of this array.
  void CopyZoomed(const Rect& rect, const Point& origin, const CPixelArray& source, int32_t zoom);
  void BlendZoomed(const Rect& rect, const Point& origin, const CPixelArray& source,
                   int32_t zoom, float opacity);
  // Scales this array into destination, whose size is the target size. Null options use
  // the defaults.
  void Resample(CPixelArray& destination, const CResampleOptions* options) const;

  int32_t width;
  int32_t height;
  uint32_t* data;
  uint8_t owned;

private:
  ptrdiff_t Index(int32_t x, int32_t y) const {
    return static_cast<ptrdiff_t>(y) * width + x;
  }
  void Release();
};

class CMaskArray {
public:
  CMaskArray();
  CMaskArray(int32_t width, int32_t height);
  ~CMaskArray();
  CMaskArray(const CMaskArray&) = delete;
  CMaskArray& operator=(const CMaskArray&) = delete;

  void SetSize(int32_t newWidth, int32_t newHeight);
  uint32_t GetMemorySize() const;
  // Frees its own memory and lies over buffer (of the current size); null empties the array.
  void SetBuffer(uint8_t* buffer);

  void Fill(uint8_t value);
  void FillRect(const Rect& rect, uint8_t value);
  void Invert();

  void Assign(const CMaskArray& source);
  void CopyTo(int32_t x, int32_t y, const CMaskArray& source);
  void CopyRectTo(int32_t x, int32_t y, const CMaskArray& source, const Rect& sourceRect);
  void CopyRect(int32_t x, int32_t y, const CMaskArray& source, int32_t sx, int32_t sy,
                int32_t w, int32_t h);

  int32_t width;
  int32_t height;
  uint8_t* data;
  uint8_t owned;

private:
  void Release();
};
