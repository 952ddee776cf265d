#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <vector>
#include "document/Painters.h"
#include "document/PixelArray.h"

namespace {

Rect MakeRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  Rect rect;
  rect.left = l;
  rect.top = t;
  rect.right = r;
  rect.bottom = b;
  return rect;
}

uint32_t Chan(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The source pixel shown at view pixel (x, y), or -1 when none.
int64_t ZoomedIndex(const CPixelArray& source, const Point& origin, int32_t zoom, int32_t x,
                    int32_t y) {
  const int64_t col = FloorDiv(static_cast<int64_t>(x) - origin.x, zoom);
  const int64_t row = FloorDiv(static_cast<int64_t>(y) - origin.y, zoom);
  if (col < 0 || row < 0 || col >= source.width || row >= source.height)
    return -1;
  return row * source.width + col;
}

bool InRect(const Rect& r, int32_t x, int32_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

uint32_t RefOver(uint32_t d, uint32_t s, float opacity) {
  const uint64_t k = static_cast<uint64_t>(std::nearbyint(opacity * 16777216.0));
  const uint32_t sa = s >> 24;
  if (sa == 0)
    return d;
  if (sa * k >= 0xFE800000ull)
    return s;
  const uint32_t a = static_cast<uint32_t>((sa * k + 0x800000) >> 24);
  const uint32_t b = ((255 - a) * (d >> 24) + 127) / 255;
  if (a + b == 0)
    return 0;
  const uint64_t r = (16777216ull + (a + b) / 2) / (a + b);
  uint32_t result = (a + b) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    result |= static_cast<uint32_t>(((Chan(s, shift) * a + Chan(d, shift) * b) * r + 0x800000) >> 24)
              << shift;
  return result;
}

CColor Color(uint32_t v) {
  return CColor(v);
}

}  // namespace

TEST(CopyZoomed, ZoomEightOfTwoByTwoFillsFourBlocks) {
  CPixelArray source(2, 2);
  source.SetPixel(0, 0, 0xFF000001u);
  source.SetPixel(1, 0, 0xFF000002u);
  source.SetPixel(0, 1, 0xFF000003u);
  source.SetPixel(1, 1, 0xFF000004u);
  CPixelArray view(20, 20);
  view.Fill(0);
  view.CopyZoomed(MakeRect(0, 0, 20, 20), Point{2, 3}, source, 8);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      uint32_t expected = 0;
      if (x >= 2 && x < 18 && y >= 3 && y < 19)
        expected = 0xFF000001u + (x >= 10 ? 1 : 0) + (y >= 11 ? 2 : 0);
      ASSERT_EQ(view.GetPixel(x, y), expected) << x << "," << y;
    }
}

TEST(CopyZoomed, MatchesNearestNeighbourInsideTheRect) {
  CPixelArray source(5, 4);
  for (int32_t k = 0; k < 20; ++k)
    source.data[k] = 0xFF000000u | static_cast<uint32_t>(k + 1);
  const Point origins[] = {{-7, -3}, {0, 0}, {4, -9}, {-20, 11}, {-1000, -1000}};
  const int32_t zooms[] = {1, 2, 3, 5, 16};
  const Rect rects[] = {MakeRect(0, 0, 30, 25), MakeRect(-5, 3, 17, 100), MakeRect(6, 6, 7, 9),
                        MakeRect(10, 10, 5, 20)};
  for (const Point& origin : origins)
    for (int32_t zoom : zooms)
      for (const Rect& rect : rects) {
        CPixelArray view(30, 25);
        view.Fill(0xDEADBEEFu);
        view.CopyZoomed(rect, origin, source, zoom);
        for (int32_t y = 0; y < 25; ++y)
          for (int32_t x = 0; x < 30; ++x) {
            uint32_t expected = 0xDEADBEEFu;
            const int64_t index = ZoomedIndex(source, origin, zoom, x, y);
            if (InRect(rect, x, y) && index >= 0)
              expected = source.data[index];
            ASSERT_EQ(view.GetPixel(x, y), expected)
                << "origin " << origin.x << "," << origin.y << " zoom " << zoom << " at " << x
                << "," << y;
          }
      }
}

TEST(CopyZoomed, BadArgumentsDoNothing) {
  CPixelArray source(2, 2), empty;
  source.Fill(1);
  CPixelArray view(4, 4);
  view.Fill(0);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{0, 0}, source, 0);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{0, 0}, source, -2);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{0, 0}, empty, 2);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{INT32_MAX, INT32_MAX}, source, INT32_MAX);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{INT32_MIN, INT32_MIN}, source, 1);
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{4, 0}, source, 3);
  for (int32_t k = 0; k < 16; ++k)
    EXPECT_EQ(view.data[k], 0u);
  empty.CopyZoomed(MakeRect(0, 0, 4, 4), Point{0, 0}, source, 1);
  // One source pixel magnified past the whole view still covers it.
  view.CopyZoomed(MakeRect(0, 0, 4, 4), Point{INT32_MIN, INT32_MIN}, source, INT32_MAX);
  for (int32_t k = 0; k < 16; ++k)
    EXPECT_EQ(view.data[k], 1u);
}

TEST(BlendZoomed, MatchesPerPixelCompositing) {
  CPixelArray source(4, 3);
  const uint32_t pixels[12] = {0xFF112233u, 0x80FF0000u, 0x00FFFFFFu, 0x01FFFFFFu,
                               0xFE00FF00u, 0x400000FFu, 0xFFFFFFFFu, 0xC0808080u,
                               0x7F7F7F7Fu, 0x00000000u, 0x20406080u, 0xFF000000u};
  for (int32_t k = 0; k < 12; ++k)
    source.data[k] = pixels[k];
  const float opacities[] = {1.0f, 0.5f, 0.999f, 0.3f};
  const Point origins[] = {{-3, 2}, {1, -5}};
  for (float opacity : opacities)
    for (const Point& origin : origins)
      for (int32_t zoom : {1, 3, 4}) {
        CPixelArray view(17, 13);
        for (int32_t k = 0; k < 17 * 13; ++k)
          view.data[k] = (k % 3 == 0) ? 0x00000000u : (0x10203040u * static_cast<uint32_t>(k));
        std::vector<uint32_t> before(view.data, view.data + 17 * 13);
        const Rect rect = MakeRect(-2, 1, 15, 40);
        view.BlendZoomed(rect, origin, source, zoom, opacity);
        for (int32_t y = 0; y < 13; ++y)
          for (int32_t x = 0; x < 17; ++x) {
            uint32_t expected = before[y * 17 + x];
            const int64_t index = ZoomedIndex(source, origin, zoom, x, y);
            if (InRect(rect, x, y) && index >= 0)
              expected = RefOver(expected, source.data[index], opacity);
            ASSERT_EQ(view.GetPixel(x, y), expected)
                << "zoom " << zoom << " opacity " << opacity << " at " << x << "," << y;
          }
      }
}

TEST(BlendZoomed, ZeroOpacityChangesNothing) {
  CPixelArray source(2, 2);
  source.Fill(0xFFFFFFFFu);
  CPixelArray view(6, 6);
  view.Fill(0x11223344u);
  view.BlendZoomed(MakeRect(0, 0, 6, 6), Point{0, 0}, source, 3, 0.0f);
  view.BlendZoomed(MakeRect(0, 0, 6, 6), Point{0, 0}, source, 0, 1.0f);
  for (int32_t k = 0; k < 36; ++k)
    EXPECT_EQ(view.data[k], 0x11223344u);
}

TEST(PaintChequer, OriginThreeCellEight) {
  CPixelArray a(24, 10);
  a.Fill(0);
  CChequer chequer;
  chequer.originX = 3;
  chequer.originY = 0;
  chequer.cellSize = 8;
  chequer.colorA = Color(0xFFAAAAAAu);
  chequer.colorB = Color(0xFF555555u);
  PaintChequer(a, MakeRect(0, 0, 24, 10), chequer);
  for (int32_t x = 0; x < 3; ++x)
    EXPECT_EQ(a.GetPixel(x, 0), 0xFF555555u) << x;
  for (int32_t x = 3; x < 11; ++x)
    EXPECT_EQ(a.GetPixel(x, 0), 0xFFAAAAAAu) << x;
  EXPECT_EQ(a.GetPixel(11, 0), 0xFF555555u);
  EXPECT_EQ(a.GetPixel(3, 8), 0xFF555555u);  // next cell row
  EXPECT_EQ(a.GetPixel(0, 8), 0xFFAAAAAAu);
}

TEST(PaintChequer, AnyOriginAndRectMatchCellParity) {
  const int32_t origins[][2] = {{0, 0}, {3, 0}, {-5, -13}, {100, -1}, {-17, 9}};
  const int32_t cells[] = {1, 3, 8, 16};
  for (const auto& origin : origins)
    for (int32_t c : cells) {
      CPixelArray a(21, 19);
      a.Fill(0x12345678u);
      CChequer chequer;
      chequer.originX = origin[0];
      chequer.originY = origin[1];
      chequer.cellSize = c;
      chequer.colorA = Color(1);
      chequer.colorB = Color(2);
      const Rect rect = MakeRect(-4, 2, 19, 40);
      PaintChequer(a, rect, chequer);
      for (int32_t y = 0; y < 19; ++y)
        for (int32_t x = 0; x < 21; ++x) {
          uint32_t expected = 0x12345678u;
          if (InRect(rect, x, y)) {
            const int64_t parity = (FloorDiv(x - origin[0], c) + FloorDiv(y - origin[1], c)) & 1;
            expected = parity ? 2u : 1u;
          }
          ASSERT_EQ(a.GetPixel(x, y), expected) << x << "," << y << " cell " << c;
        }
    }
}

TEST(PaintChequer, ZeroCellSizeDoesNothing) {
  CPixelArray a(4, 4);
  a.Fill(7);
  CChequer chequer;
  chequer.cellSize = 0;
  chequer.colorA = Color(1);
  PaintChequer(a, MakeRect(0, 0, 4, 4), chequer);
  chequer.cellSize = -8;
  PaintChequer(a, MakeRect(0, 0, 4, 4), chequer);
  for (int32_t k = 0; k < 16; ++k)
    EXPECT_EQ(a.data[k], 7u);
}

TEST(PaintGrid, LinesBlendOnceAtCrossings) {
  CPixelArray a(12, 9);
  a.Fill(0x80204060u);
  CGrid grid;
  grid.originX = -1;  // columns 3, 7, 11
  grid.originY = 2;   // rows 2, 6
  grid.spacing = 4;
  grid.color = Color(0xFFFF0000u);
  grid.opacity = 0.5f;
  PaintGrid(a, MakeRect(0, 0, 12, 9), grid);
  const uint32_t k = 128;  // round(255 * 0.5) = 127.5 -> 128
  const uint32_t d = 0x80204060u;
  auto div255 = [](uint32_t x) { return (x + 127) / 255; };
  const uint32_t alpha = 255 - div255((255 - (d >> 24)) * (255 - k));
  uint32_t line = alpha << 24;
  for (int shift = 0; shift < 24; shift += 8)
    line |= div255(k * Chan(0xFFFF0000u, shift) + (255 - k) * Chan(d, shift)) << shift;
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const bool onLine = (y == 2 || y == 6) || (x == 3 || x == 7 || x == 11);
      EXPECT_EQ(a.GetPixel(x, y), onLine ? line : d) << x << "," << y;
    }
}

TEST(PaintGrid, ClippedRectKeepsTheLinePhase) {
  CPixelArray a(10, 10);
  a.Fill(0xFF000000u);
  CGrid grid;
  grid.originX = 0;
  grid.originY = 0;
  grid.spacing = 3;
  grid.color = Color(0xFFFFFFFFu);
  grid.opacity = 1.0f;
  PaintGrid(a, MakeRect(-4, 4, 8, 20), grid);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const bool inside = x < 8 && y >= 4;
      const bool onLine = inside && (x % 3 == 0 || y % 3 == 0);
      EXPECT_EQ(a.GetPixel(x, y), onLine ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
    }
  // A transparent line colour or no opacity leaves the array alone.
  grid.color = Color(0x00FFFFFFu);
  a.Fill(0x11111111u);
  PaintGrid(a, MakeRect(0, 0, 10, 10), grid);
  grid.color = Color(0xFFFFFFFFu);
  grid.opacity = 0.0f;
  PaintGrid(a, MakeRect(0, 0, 10, 10), grid);
  grid.opacity = 1.0f;
  grid.spacing = 0;
  PaintGrid(a, MakeRect(0, 0, 10, 10), grid);
  for (int32_t k = 0; k < 100; ++k)
    EXPECT_EQ(a.data[k], 0x11111111u);
}

TEST(Lines, HorizontalEndsInEitherOrderAndClipped) {
  CPixelArray a(12, 3);
  a.Fill(0);
  DrawHLine(a, 10, 2, 1, Color(0xFF00FF00u));
  for (int32_t x = 0; x < 12; ++x)
    EXPECT_EQ(a.GetPixel(x, 1), (x >= 2 && x <= 10) ? 0xFF00FF00u : 0u) << x;
  DrawHLine(a, -5, 100, 0, Color(5));
  for (int32_t x = 0; x < 12; ++x)
    EXPECT_EQ(a.GetPixel(x, 0), 5u);
  a.Fill(0);
  DrawHLine(a, 0, 11, 3, Color(9));
  DrawHLine(a, 0, 11, -1, Color(9));
  DrawHLine(a, 12, 20, 1, Color(9));
  DrawHLine(a, -9, -1, 1, Color(9));
  DrawHLine(a, INT32_MIN, INT32_MAX, 2, Color(4));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 12; ++x)
      EXPECT_EQ(a.GetPixel(x, y), y == 2 ? 4u : 0u);
  DrawHLine(a, 11, 11, 0, Color(6));
  EXPECT_EQ(a.GetPixel(11, 0), 6u);
  EXPECT_EQ(a.GetPixel(10, 0), 0u);
}

TEST(Lines, VerticalEndsInEitherOrderAndClipped) {
  CPixelArray a(3, 12);
  a.Fill(0);
  DrawVLine(a, 1, 10, 2, Color(0xFF0000FFu));
  for (int32_t y = 0; y < 12; ++y)
    EXPECT_EQ(a.GetPixel(1, y), (y >= 2 && y <= 10) ? 0xFF0000FFu : 0u) << y;
  DrawVLine(a, 3, 0, 11, Color(9));
  DrawVLine(a, -1, 0, 11, Color(9));
  DrawVLine(a, 0, 12, 30, Color(9));
  DrawVLine(a, 0, -30, -1, Color(9));
  EXPECT_EQ(a.GetPixel(0, 0), 0u);
  EXPECT_EQ(a.GetPixel(2, 11), 0u);
  DrawVLine(a, 2, 100, -100, Color(8));
  for (int32_t y = 0; y < 12; ++y)
    EXPECT_EQ(a.GetPixel(2, y), 8u);
}
