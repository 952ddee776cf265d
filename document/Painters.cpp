#include "document/Painters.h"
#include "document/PixelMath.h"
#include "wul/WULMath.h"

using namespace pixelarray_detail;

namespace {

// floor(d / c) for c > 0.
int64_t CellIndex(int64_t d, int64_t c) {
  return d >= 0 ? d / c : -((-d - 1) / c + 1);
}

// Length of the first run from offset d to the end of its cell.
int64_t FirstRun(int64_t d, int64_t c) {
  return d >= 0 ? c - d % c : (-d - 1) % c + 1;
}

// d mod s, taken non-negative.
int64_t PositiveMod(int64_t d, int64_t s) {
  const int64_t m = d % s;
  return m < 0 ? m + s : m;
}

}  // namespace

void PaintChequer(CPixelArray& array, const Rect& rect, const CChequer& chequer) {
  Rect r;
  if (chequer.cellSize <= 0 || !array.data || !ClipRect(rect, array.width, array.height, r))
    return;
  const int64_t c = chequer.cellSize;
  const int64_t dx = static_cast<int64_t>(r.left) - chequer.originX;
  const int64_t firstColumn = CellIndex(dx, c);
  const int64_t firstRun = FirstRun(dx, c);
  const uint32_t colors[2] = {chequer.colorA.value, chequer.colorB.value};
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const int64_t cellRow = CellIndex(static_cast<int64_t>(y) - chequer.originY, c);
    uint32_t* p = array.PixelAt(0, y);
    int64_t column = firstColumn;
    int32_t x = r.left;
    int64_t run = firstRun;
    while (x < r.right) {
      const int32_t end = run < r.right - x ? x + static_cast<int32_t>(run) : r.right;
      const uint32_t value = colors[(column + cellRow) & 1];
      for (; x < end; ++x)
        p[x] = value;
      ++column;
      run = c;
    }
  }
}

void PaintGrid(CPixelArray& array, const Rect& rect, const CGrid& grid) {
  Rect r;
  if (grid.spacing <= 0 || !array.data || !ClipRect(rect, array.width, array.height, r))
    return;
  const uint32_t k = ScaledAlpha(grid.color.GetAlpha(), grid.opacity);
  if (k == 0)
    return;
  const uint32_t line = grid.color.value;
  auto blend = [k, line](uint32_t& d) {
    const uint32_t alpha = 255 - Div255((255 - (d >> 24)) * (255 - k));
    uint32_t result = alpha << 24;
    for (int shift = 0; shift < 24; shift += 8)
      result |= Div255(k * ((line >> shift) & 0xFF) + (255 - k) * ((d >> shift) & 0xFF)) << shift;
    d = result;
  };
  const int64_t s = grid.spacing;
  const int64_t firstRow = r.top + PositiveMod(static_cast<int64_t>(grid.originY) - r.top, s);
  const int64_t firstColumn = r.left + PositiveMod(static_cast<int64_t>(grid.originX) - r.left, s);
  for (int64_t y = firstRow; y < r.bottom; y += s) {
    uint32_t* p = array.PixelAt(0, static_cast<int32_t>(y));
    for (int32_t x = r.left; x < r.right; ++x)
      blend(p[x]);
  }
  for (int32_t y = r.top; y < r.bottom; ++y) {
    if (PositiveMod(static_cast<int64_t>(y) - grid.originY, s) == 0)
      continue;
    uint32_t* p = array.PixelAt(0, y);
    for (int64_t x = firstColumn; x < r.right; x += s)
      blend(p[x]);
  }
}

void DrawHLine(CPixelArray& array, int32_t x1, int32_t x2, int32_t y, CColor color) {
  if (!array.data || y < 0 || y >= array.height)
    return;
  if (x1 > x2) {
    const int32_t t = x1;
    x1 = x2;
    x2 = t;
  }
  if (x2 < 0 || x1 >= array.width)
    return;
  if (x1 < 0)
    x1 = 0;
  if (x2 >= array.width)
    x2 = array.width - 1;
  uint32_t* p = array.PixelAt(0, y);
  for (int32_t x = x1; x <= x2; ++x)
    p[x] = color.value;
}

void DrawVLine(CPixelArray& array, int32_t x, int32_t y1, int32_t y2, CColor color) {
  if (!array.data || x < 0 || x >= array.width)
    return;
  if (y1 > y2) {
    const int32_t t = y1;
    y1 = y2;
    y2 = t;
  }
  if (y2 < 0 || y1 >= array.height)
    return;
  if (y1 < 0)
    y1 = 0;
  if (y2 >= array.height)
    y2 = array.height - 1;
  for (int32_t y = y1; y <= y2; ++y)
    *array.PixelAt(x, y) = color.value;
}
