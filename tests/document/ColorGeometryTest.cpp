#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "document/PixelArray.h"
#include "wul/WULCoverage.h"

namespace {

Rect MakeRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  Rect rect;
  rect.left = l;
  rect.top = t;
  rect.right = r;
  rect.bottom = b;
  return rect;
}

void ExpectRect(const Rect& r, int32_t l, int32_t t, int32_t rt, int32_t b) {
  EXPECT_EQ(r.left, l);
  EXPECT_EQ(r.top, t);
  EXPECT_EQ(r.right, rt);
  EXPECT_EQ(r.bottom, b);
}

// Area of the unit square at (x, y) inside the circle, by a fine midpoint grid.
double GridCoverage(int x, int y, double cx, double cy, double r) {
  const int n = 1000;
  int inside = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double px = x + (j + 0.5) / n - cx;
      const double py = y + (i + 0.5) / n - cy;
      if (px * px + py * py <= r * r)
        ++inside;
    }
  return static_cast<double>(inside) / (n * n);
}

}  // namespace

TEST(ReciprocalTable, EntriesAreRoundedQuotients) {
  EXPECT_EQ(g_reciprocals[0], 0u);
  EXPECT_EQ(g_reciprocals[1], 16777216u);
  EXPECT_EQ(g_reciprocals[2], 8388608u);
  EXPECT_EQ(g_reciprocals[3], 5592405u);  // 5592405.33
  EXPECT_EQ(g_reciprocals[128], 131072u);
  EXPECT_EQ(g_reciprocals[255], 65793u);  // 65793.003
  for (uint32_t i = 1; i < 1024; ++i) {
    const double exact = 16777216.0 / i;
    EXPECT_LE(std::fabs(g_reciprocals[i] - exact), 0.5) << i;
  }
  EXPECT_EQ(GetReciprocal(1023), g_reciprocals[1023]);
}

TEST(Color, ConstructorsAndSetters) {
  EXPECT_EQ(CColor().value, 0u);
  EXPECT_EQ(CColor(0x12345678u).value, 0x12345678u);
  EXPECT_EQ(CColor(1, 2, 3).value, 0xFF010203u);
  EXPECT_EQ(CColor(4, 1, 2, 3).value, 0x04010203u);
  EXPECT_EQ(CColor(300, 256, 1000).value, 0xFFFFFFFFu);
  CColor c;
  c.SetArgb(300, 10, 20, 30);
  EXPECT_EQ(c.GetAlpha(), 255u);
  EXPECT_EQ(c.GetRed(), 10u);
  EXPECT_EQ(c.GetGreen(), 20u);
  EXPECT_EQ(c.GetBlue(), 30u);
  c.SetRgb(7, 999, 8);
  EXPECT_EQ(c.value, 0xFF07FF08u);
  c.Set(0x80402010u);
  EXPECT_EQ(c.GetAlpha(), 0x80u);
  EXPECT_EQ(c.GetRed(), 0x40u);
  // Memory order is blue, green, red, alpha.
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&c.value);
  EXPECT_EQ(bytes[0], 0x10);
  EXPECT_EQ(bytes[1], 0x20);
  EXPECT_EQ(bytes[2], 0x40);
  EXPECT_EQ(bytes[3], 0x80);
  EXPECT_EQ(sizeof(CColor), 4u);
}

TEST(Color, LerpMovesEveryChannelIncludingAlpha) {
  const CColor a(0, 0, 100, 255);
  const CColor b(255, 255, 0, 0);
  EXPECT_EQ(a.Lerp(b, 0.0f).value, a.value);
  EXPECT_EQ(a.Lerp(b, 1.0f).value, b.value);
  // 255 * 0.5 = 127.5 rounds to even 128; -100 * 0.5 = -50; -255 * 0.5 = -127.5 -> -128.
  const CColor half = a.Lerp(b, 0.5f);
  EXPECT_EQ(half.GetAlpha(), 128u);
  EXPECT_EQ(half.GetRed(), 128u);
  EXPECT_EQ(half.GetGreen(), 50u);
  EXPECT_EQ(half.GetBlue(), 127u);
  const CColor quarter = CColor(0u).Lerp(CColor(0x04040404u), 0.375f);  // 1.5 -> 2
  EXPECT_EQ(quarter.value, 0x02020202u);
}

TEST(Color, LerpOutsideZeroToOneDoesNotWrap) {
  const CColor a(10, 200, 100, 0);
  const CColor b(20, 250, 50, 255);
  const CColor far = a.Lerp(b, 10.0f);
  EXPECT_EQ(far.GetAlpha(), 110u);
  EXPECT_EQ(far.GetRed(), 255u);  // 200 + 500 limited
  EXPECT_EQ(far.GetGreen(), 0u);  // 100 - 500 limited
  EXPECT_EQ(far.GetBlue(), 255u);
  const CColor back = a.Lerp(b, -2.0f);
  EXPECT_EQ(back.GetAlpha(), 0u);  // 10 - 20 limited
  EXPECT_EQ(back.GetRed(), 100u);
  EXPECT_EQ(back.GetGreen(), 200u);
  EXPECT_EQ(back.GetBlue(), 0u);
}

TEST(Point, Arithmetic) {
  const Point a{3, -4};
  const Point b{-10, 7};
  const Point sum = a.Add(b);
  EXPECT_EQ(sum.x, -7);
  EXPECT_EQ(sum.y, 3);
  const Point diff = a.Subtract(b);
  EXPECT_EQ(diff.x, 13);
  EXPECT_EQ(diff.y, -11);
  EXPECT_FALSE(a.NotEqual(Point{3, -4}));
  EXPECT_TRUE(a.NotEqual(Point{3, -5}));
  EXPECT_TRUE(a.NotEqual(Point{2, -4}));
  const Point zero;
  EXPECT_EQ(zero.x, 0);
  EXPECT_EQ(zero.y, 0);
}

TEST(Rect, EmptinessAndSizes) {
  Rect r;
  EXPECT_TRUE(r.IsEmpty());
  r = MakeRect(2, 3, 7, 11);
  EXPECT_EQ(r.GetWidth(), 5);
  EXPECT_EQ(r.GetHeight(), 8);
  EXPECT_TRUE(r.IsNonEmpty());
  EXPECT_TRUE(MakeRect(5, 0, 5, 10).IsEmpty());   // zero width
  EXPECT_TRUE(MakeRect(0, 9, 10, 3).IsEmpty());   // inverted
  EXPECT_FALSE(MakeRect(0, 9, 10, 3).IsNonEmpty());
  r.Clear();
  ExpectRect(r, 0, 0, 0, 0);
  EXPECT_FALSE(MakeRect(1, 2, 3, 4).NotEqual(MakeRect(1, 2, 3, 4)));
  EXPECT_TRUE(MakeRect(1, 2, 3, 4).NotEqual(MakeRect(1, 2, 3, 5)));
  EXPECT_TRUE(MakeRect(1, 2, 3, 4).NotEqual(MakeRect(0, 2, 3, 4)));
}

TEST(Rect, UnionIgnoresEmptyOperands) {
  const Rect a = MakeRect(0, 0, 4, 4);
  const Rect b = MakeRect(-2, 3, 1, 9);
  const Rect empty = MakeRect(50, 50, 40, 60);
  ExpectRect(a.Union(b), -2, 0, 4, 9);
  ExpectRect(a.Union(empty), 0, 0, 4, 4);
  ExpectRect(empty.Union(b), -2, 3, 1, 9);
  ExpectRect(empty.Union(MakeRect(3, 3, 3, 8)), 0, 0, 0, 0);

  Rect c = empty;
  c.UnionWith(a);
  ExpectRect(c, 0, 0, 4, 4);
  c.UnionWith(empty);
  ExpectRect(c, 0, 0, 4, 4);
  c.UnionWith(MakeRect(10, -5, 11, -4));
  ExpectRect(c, 0, -5, 11, 4);
}

TEST(Rect, IntersectClearsEmptyResult) {
  ExpectRect(MakeRect(0, 0, 10, 10).Intersect(MakeRect(5, -3, 20, 4)), 5, 0, 10, 4);
  ExpectRect(MakeRect(0, 0, 10, 10).Intersect(MakeRect(10, 0, 20, 10)), 0, 0, 0, 0);
  ExpectRect(MakeRect(0, 0, 10, 10).Intersect(MakeRect(3, 12, 5, 20)), 0, 0, 0, 0);
}

TEST(CircleCoverage, InsideOutsideAndHalf) {
  EXPECT_FLOAT_EQ(wulCircleCoverage(0, 0, 0.5f, 0.5f, 10.0f), 1.0f);
  EXPECT_FLOAT_EQ(wulCircleCoverage(20, 0, 0.5f, 0.5f, 10.0f), 0.0f);
  EXPECT_FLOAT_EQ(wulCircleCoverage(-5, -5, 0.5f, 0.5f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(wulCircleCoverage(0, 0, 0.5f, 0.5f, -3.0f), 0.0f);
  // A large circle whose edge crosses the pixel's middle.
  EXPECT_NEAR(wulCircleCoverage(0, 0, -999.5f, 0.5f, 1000.0f), 0.5f, 1e-3f);
  EXPECT_NEAR(wulCircleCoverage(0, 0, 0.5f, 1000.5f, 1000.0f), 0.5f, 1e-3f);
  // The inscribed circle covers pi/4 of its pixel.
  EXPECT_NEAR(wulCircleCoverage(3, 7, 3.5f, 7.5f, 0.5f), 0.7853982f, 1e-5f);
  // A tiny circle inside one pixel.
  EXPECT_NEAR(wulCircleCoverage(0, 0, 0.5f, 0.5f, 0.1f), 3.14159265f * 0.01f, 1e-5f);
  // A quarter of a circle centred on a pixel corner.
  EXPECT_NEAR(wulCircleCoverage(0, 0, 0.0f, 0.0f, 1.0f), 3.14159265f / 4.0f, 1e-5f);
}

TEST(CircleCoverage, MatchesGridIntegration) {
  struct Case {
    int x, y;
    float cx, cy, r;
  } cases[] = {
      {0, 0, 0.3f, 0.2f, 0.9f},   {1, 0, 0.3f, 0.2f, 0.9f},  {1, 1, 0.3f, 0.2f, 1.3f},
      {-1, 0, 0.0f, 0.5f, 1.2f},  {2, -3, 0.0f, 0.0f, 3.4f}, {5, 5, 2.5f, 2.5f, 3.9f},
      {0, -1, 0.25f, 0.75f, 0.6f}, {4, 0, 0.0f, 0.0f, 4.5f}, {3, 3, 0.0f, 0.0f, 4.5f},
  };
  for (const Case& c : cases) {
    const double expected = GridCoverage(c.x, c.y, c.cx, c.cy, c.r);
    EXPECT_NEAR(wulCircleCoverage(c.x, c.y, c.cx, c.cy, c.r), expected, 2e-3)
        << c.x << "," << c.y << " r=" << c.r;
  }
}

TEST(CircleCoverage, PixelsOfACircleAddUpToItsArea) {
  const float cx = 7.3f, cy = 6.6f, r = 5.2f;
  double total = 0.0;
  for (int y = -2; y < 16; ++y)
    for (int x = -2; x < 16; ++x) {
      const float c = wulCircleCoverage(x, y, cx, cy, r);
      EXPECT_GE(c, 0.0f);
      EXPECT_LE(c, 1.0f);
      total += c;
    }
  EXPECT_NEAR(total, 3.14159265358979 * r * r, 1e-3);
}

TEST(Circle, PixelCoverageUsesCentreAndRadius) {
  CCircle circle;
  circle.centerX = 10.5;
  circle.centerY = 20.5;
  circle.radius = 0.5;
  EXPECT_NEAR(circle.GetPixelCoverage(10, 20), 0.7853982f, 1e-5f);
  EXPECT_FLOAT_EQ(circle.GetPixelCoverage(11, 20), 0.0f);
  circle.radius = 3.0;
  EXPECT_FLOAT_EQ(circle.GetPixelCoverage(10, 20), 1.0f);
  EXPECT_FLOAT_EQ(circle.GetPixelCoverage(10, 20), wulCircleCoverage(10, 20, 10.5f, 20.5f, 3.0f));
}
