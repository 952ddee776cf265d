// Zoomed drawing and resampling of pixel arrays.
#include <cstring>
#include "document/PixelArray.h"
#include "document/PixelMath.h"
#include "wul/WULMath.h"

using namespace pixelarray_detail;

namespace {

int64_t Clamp64(int64_t v, int64_t low, int64_t high) {
  return v < low ? low : (v > high ? high : v);
}

// The source pixels that cover rect of the view, and the view's clipped rect.
struct ZoomSpan {
  Rect clipped;
  int64_t col0, col1, row0, row1;
  int64_t zoom, originX, originY;

  bool Set(const Rect& rect, const Point& origin, const CPixelArray& view,
           const CPixelArray& source, int32_t zoomFactor) {
    if (zoomFactor < 1 || !view.data || !source.data || source.width <= 0 ||
        source.height <= 0 || !ClipRect(rect, view.width, view.height, clipped))
      return false;
    zoom = zoomFactor;
    originX = origin.x;
    originY = origin.y;
    col0 = Clamp64((clipped.left - originX) / zoom, 0, source.width);
    col1 = Clamp64((clipped.right + zoom - originX - 1) / zoom, 0, source.width);
    row0 = Clamp64((clipped.top - originY) / zoom, 0, source.height);
    row1 = Clamp64((clipped.bottom + zoom - originY - 1) / zoom, 0, source.height);
    return col0 < col1 && row0 < row1;
  }
  // The view columns of source column col inside the clipped rect.
  void Columns(int64_t col, int32_t& x0, int32_t& x1) const {
    x0 = static_cast<int32_t>(Clamp64(originX + zoom * col, clipped.left, clipped.right));
    x1 = static_cast<int32_t>(Clamp64(originX + zoom * (col + 1), clipped.left, clipped.right));
  }
  void Rows(int64_t row, int32_t& y0, int32_t& y1) const {
    y0 = static_cast<int32_t>(Clamp64(originY + zoom * row, clipped.top, clipped.bottom));
    y1 = static_cast<int32_t>(Clamp64(originY + zoom * (row + 1), clipped.top, clipped.bottom));
  }
};

}  // namespace

void CPixelArray::CopyZoomed(const Rect& rect, const Point& origin, const CPixelArray& source,
                             int32_t zoom) {
  ZoomSpan span;
  if (!span.Set(rect, origin, *this, source, zoom))
    return;
  int32_t left, unused, right;
  span.Columns(span.col0, left, unused);
  span.Columns(span.col1 - 1, unused, right);
  for (int64_t row = span.row0; row < span.row1; ++row) {
    int32_t y0, y1;
    span.Rows(row, y0, y1);
    if (y0 >= y1)
      continue;
    const uint32_t* s = source.PixelAt(0, static_cast<int32_t>(row));
    uint32_t* first = PixelAt(0, y0);
    for (int64_t col = span.col0; col < span.col1; ++col) {
      int32_t x0, x1;
      span.Columns(col, x0, x1);
      const uint32_t value = s[col];
      for (int32_t x = x0; x < x1; ++x)
        first[x] = value;
    }
    // The other rows of the block repeat the first one.
    for (int32_t y = y0 + 1; y < y1; ++y)
      std::memcpy(PixelAt(left, y), first + left, static_cast<size_t>(right - left) * 4);
  }
}

void CPixelArray::BlendZoomed(const Rect& rect, const Point& origin, const CPixelArray& source,
                              int32_t zoom, float opacity) {
  const uint32_t k = OpacityFactor(opacity);
  ZoomSpan span;
  if (k == 0 || !span.Set(rect, origin, *this, source, zoom))
    return;
  for (int64_t row = span.row0; row < span.row1; ++row) {
    int32_t y0, y1;
    span.Rows(row, y0, y1);
    const uint32_t* s = source.PixelAt(0, static_cast<int32_t>(row));
    for (int32_t y = y0; y < y1; ++y) {
      uint32_t* d = PixelAt(0, y);
      for (int64_t col = span.col0; col < span.col1; ++col) {
        const uint32_t value = s[col];
        const uint32_t weighted = (value >> 24) * k;
        if (weighted == 0)
          continue;
        int32_t x0, x1;
        span.Columns(col, x0, x1);
        if (weighted >= 0xFE800000u) {
          for (int32_t x = x0; x < x1; ++x)
            d[x] = value;
        } else {
          const uint32_t a = (weighted + 0x800000u) >> 24;
          for (int32_t x = x0; x < x1; ++x)
            d[x] = Over(d[x], value, a);
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Resampling

namespace {

// Weighted sums of alpha and of alpha times each colour channel; weights add up to 65536.
struct Sample {
  uint64_t alpha, red, green, blue;
};

class CResampler {
public:
  CResampler(const CPixelArray& source, int64_t limit)
      : pixels(source.data),
        width(source.width),
        height(source.height),
        spanX(static_cast<int64_t>(source.width) * 256),
        spanY(static_cast<int64_t>(source.height) * 256),
        limit(limit) {}

  // Positions in 24.8 fixed point.
  void Bilinear(int64_t x, int64_t y, Sample& s) const {
    s = Sample{0, 0, 0, 0};
    const bool insideX = x > 128 && x < spanX - 128;
    const bool insideY = y > 128 && y < spanY - 128;
    if (insideX && insideY) {
      const int64_t x0 = (x - 128) >> 8, y0 = (y - 128) >> 8;
      const uint32_t fx = static_cast<uint32_t>((x - 128) & 0xFF);
      const uint32_t fy = static_cast<uint32_t>((y - 128) & 0xFF);
      Add(s, x0, y0, (256 - fx) * (256 - fy));
      Add(s, x0 + 1, y0, fx * (256 - fy));
      Add(s, x0, y0 + 1, (256 - fx) * fy);
      Add(s, x0 + 1, y0 + 1, fx * fy);
    } else if (insideX) {
      const int64_t x0 = (x - 128) >> 8, row = Row(y);
      const uint32_t fx = static_cast<uint32_t>((x - 128) & 0xFF);
      Add(s, x0, row, (256 - fx) * 256);
      Add(s, x0 + 1, row, fx * 256);
    } else if (insideY) {
      const int64_t y0 = (y - 128) >> 8, col = Column(x);
      const uint32_t fy = static_cast<uint32_t>((y - 128) & 0xFF);
      Add(s, col, y0, (256 - fy) * 256);
      Add(s, col, y0 + 1, fy * 256);
    } else {
      Add(s, Column(x), Row(y), 65536);
    }
  }

  // The box [x0, x1) x [y0, y1), cut in halves while larger than the limit.
  void Box(int64_t x0, int64_t x1, int64_t y0, int64_t y1, Sample& s) const {
    if (y1 - y0 > limit) {
      const int64_t cut = y0 + ((y1 - y0) >> 1);
      Sample q;
      Box(x0, x1, y0, cut, s);
      Box(x0, x1, cut, y1, q);
      Average(s, q);
    } else if (x1 - x0 > limit) {
      const int64_t cut = x0 + (x1 - x0) / 2;
      Sample q;
      Box(x0, cut, y0, y1, s);
      Box(cut, x1, y0, y1, q);
      Average(s, q);
    } else if (limit > 256) {
      Bilinear(x0 + (x1 - x0) / 2, y0 + ((y1 - y0) >> 1), s);
    } else {
      Small(x0, x1, y0, y1, s);
    }
  }

private:
  int64_t Column(int64_t x) const { return Clamp64(x >> 8, 0, width - 1); }
  int64_t Row(int64_t y) const { return Clamp64(y >> 8, 0, height - 1); }

  void Add(Sample& s, int64_t x, int64_t y, uint32_t weight) const {
    const uint32_t p = pixels[y * width + x];
    const uint64_t wa = static_cast<uint64_t>(weight) * (p >> 24);
    s.alpha += wa;
    s.red += wa * ((p >> 16) & 0xFF);
    s.green += wa * ((p >> 8) & 0xFF);
    s.blue += wa * (p & 0xFF);
  }

  static void Average(Sample& s, const Sample& q) {
    s.alpha = (s.alpha + q.alpha) >> 1;
    s.red = (s.red + q.red) >> 1;
    s.green = (s.green + q.green) >> 1;
    s.blue = (s.blue + q.blue) >> 1;
  }

  // A box of at most 256 x 256 units: within two columns and two rows of pixels.
  void Small(int64_t x0, int64_t x1, int64_t y0, int64_t y1, Sample& s) const {
    s = Sample{0, 0, 0, 0};
    const int64_t c0 = x0 >> 8, r0 = y0 >> 8;
    const bool twoColumns = ((x1 - 1) >> 8) != c0;
    const bool twoRows = ((y1 - 1) >> 8) != r0;
    const uint32_t fx =
        twoColumns ? ((static_cast<uint32_t>(x1 & 0xFF) * GetReciprocal(static_cast<uint32_t>(x1 - x0)) + 0x8000u) >> 16) : 0;
    const uint32_t fy =
        twoRows ? ((static_cast<uint32_t>(y1 & 0xFF) * GetReciprocal(static_cast<uint32_t>(y1 - y0)) + 0x8000u) >> 16) : 0;
    if (twoColumns && twoRows) {
      Add(s, c0, r0, (256 - fx) * (256 - fy));
      Add(s, c0 + 1, r0, fx * (256 - fy));
      Add(s, c0, r0 + 1, (256 - fx) * fy);
      Add(s, c0 + 1, r0 + 1, fx * fy);
    } else if (twoColumns) {
      Add(s, c0, r0, (256 - fx) * 256);
      Add(s, c0 + 1, r0, fx * 256);
    } else if (twoRows) {
      Add(s, c0, r0, (256 - fy) * 256);
      Add(s, c0, r0 + 1, fy * 256);
    } else {
      Add(s, c0, r0, 65536);
    }
  }

  const uint32_t* pixels;
  int64_t width;
  int64_t height;
  int64_t spanX;
  int64_t spanY;
  int64_t limit;
};

uint32_t Channel(uint64_t weighted, uint64_t half) {
  const int32_t c = wulRoundDouble(static_cast<double>(weighted >> 1) / static_cast<double>(half));
  return c <= 0 ? 0 : (c >= 255 ? 255 : static_cast<uint32_t>(c));
}

// The alpha-weighted mean colour of a sample.
uint32_t ToPixel(const Sample& s) {
  const uint32_t alpha = static_cast<uint32_t>((s.alpha + 0x8000) >> 16) & 0xFF;
  if (alpha == 0)
    return 0;
  const uint64_t half = s.alpha >> 1;
  return (alpha << 24) | (Channel(s.red, half) << 16) | (Channel(s.green, half) << 8) |
         Channel(s.blue, half);
}

// A box bound of at least one unit inside 0..span (a box may round to nothing when one
// destination pixel is less than 1/256 of a source pixel).
void WidenBox(int64_t& b0, int64_t& b1, int64_t span) {
  if (b1 > b0)
    return;
  if (b0 >= span) {
    b0 = span - 1;
    b1 = span;
  } else {
    b1 = b0 + 1;
  }
}

}  // namespace

void CPixelArray::Resample(CPixelArray& destination, const CResampleOptions* options) const {
  const int32_t dw = destination.width, dh = destination.height;
  if (dw <= 0 || dh <= 0 || !destination.data)
    return;
  if (!data || width <= 0 || height <= 0) {
    destination.Fill(0);
    return;
  }
  const CResampleOptions defaults;
  if (!options)
    options = &defaults;
  const double gx = static_cast<double>(width) / dw;
  const double gy = static_cast<double>(height) / dh;
  uint32_t* out = destination.data;

  if (options->smooth && gx < 1.0 && gy < 1.0) {
    const CResampler sampler(*this, 256);
    for (int32_t i = 0; i < dh; ++i) {
      const int64_t y = wulRoundDoubleToInt64((i + 0.5) * gy * 256.0);
      for (int32_t j = 0; j < dw; ++j) {
        Sample s;
        sampler.Bilinear(wulRoundDoubleToInt64((j + 0.5) * gx * 256.0), y, s);
        *out++ = ToPixel(s);
      }
    }
    return;
  }

  const double area = static_cast<double>(width) * height;
  int64_t limit = 256;
  if (options->totalSamples > 0) {
    const int64_t l = wulRoundDoubleToInt64(wulSqrtDouble(area / options->totalSamples) * 256.0);
    if (l > limit)
      limit = l;
  }
  if (options->pixelSamples > 0) {
    const double perPixel = area / (static_cast<double>(dw) * dh) / options->pixelSamples;
    const int64_t l = wulRoundDoubleToInt64(wulSqrtDouble(perPixel) * 256.0);
    if (l > limit)
      limit = l;
  }
  const CResampler sampler(*this, limit);
  const int64_t spanX = static_cast<int64_t>(width) * 256;
  const int64_t spanY = static_cast<int64_t>(height) * 256;
  const double stepX = gx * 256.0, stepY = gy * 256.0;
  for (int32_t i = 0; i < dh; ++i) {
    int64_t y0 = wulRoundDoubleToInt64(stepY * i);
    int64_t y1 = wulRoundDoubleToInt64(stepY * (i + 1));
    WidenBox(y0, y1, spanY);
    int64_t next = 0;
    for (int32_t j = 0; j < dw; ++j) {
      int64_t x0 = next;
      int64_t x1 = wulRoundDoubleToInt64(stepX * (j + 1));
      next = x1;
      WidenBox(x0, x1, spanX);
      Sample s;
      sampler.Box(x0, x1, y0, y1, s);
      *out++ = ToPixel(s);
    }
  }
}
