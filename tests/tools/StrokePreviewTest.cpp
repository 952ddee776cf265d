#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include "tools/StrokePreview.h"

namespace {

const int kSide = 50;  // the picture inside the 52 x 52 framed box

std::vector<float> Pencil(int size, int w = kSide, int h = kSide) {
  std::vector<float> c(static_cast<size_t>(w) * h, -1.0f);
  ComputePencilPreview(size, w, h, c.data());
  return c;
}

std::vector<float> Brush(int size, int hardness, int w = kSide, int h = kSide) {
  std::vector<float> c(static_cast<size_t>(w) * h, -1.0f);
  ComputeBrushPreview(size, hardness, w, h, c.data());
  return c;
}

// Hard disc of diameter d in a box of side w, in doubled integer coordinates: the centre lies
// on a pixel for odd d and between four pixels for even d.
bool InHardDisc(int d, int w, int j, int i) {
  const int c = w - 1 - d % 2;  // doubled centre
  const int dx = 2 * j - c, dy = 2 * i - c;
  return dx * dx + dy * dy <= d * d;
}

// Area of the pixel square [j, j+1] x [i, i+1] inside the circle, by a fine grid.
double GridCoverage(double cx, double cy, double r, int j, int i) {
  const int n = 400;
  int inside = 0;
  for (int a = 0; a < n; ++a)
    for (int b = 0; b < n; ++b) {
      const double x = j + (b + 0.5) / n - cx, y = i + (a + 0.5) / n - cy;
      if (x * x + y * y <= r * r)
        ++inside;
    }
  return static_cast<double>(inside) / (n * n);
}

// The dab profile as the Brush defines it, for the pixel whose index lies (dx, dy) from the
// centre.
double ProfileCoverage(int size, int hardness, double dx, double dy) {
  const float R = size / 2.0f;
  const float T = hardness / 100.0f * R;
  const float F = hardness / 100.0f >= 0.999f ? 0.0f : 1.0f / (R - T);
  const float u = static_cast<float>(std::sqrt(2.0) / 2.0);
  const double D = dx * dx + dy * dy;
  if (D > double(R + u) * double(R + u))
    return 0.0;
  if (T >= u && D <= double(T - u) * double(T - u))
    return 1.0;
  if (R >= u && D >= double(T + u) * double(T + u) && D <= double(R - u) * double(R - u))
    return (R - std::sqrt(D)) * F;
  double sum = 0.0;
  for (int sy = 0; sy < 8; ++sy)
    for (int sx = 0; sx < 8; ++sx) {
      const double x = dx - 0.4375 + 0.125 * sx, y = dy - 0.4375 + 0.125 * sy;
      const double d = x * x + y * y;
      if (d <= double(T) * T)
        sum += 1.0;
      else if (d <= double(R) * R)
        sum += (R - std::sqrt(d)) * F;
    }
  return sum / 64.0;
}

TEST(StrokePreviewTest, SmallPencilSizesAreHardDiscsOfThatDiameterInTheMiddle) {
  for (int size : {1, 2, 3, 4, 7, 8, 15, 30, 47, 48}) {
    SCOPED_TRACE(size);
    const std::vector<float> c = Pencil(size);
    int left = kSide, right = -1, top = kSide, bottom = -1;
    for (int i = 0; i < kSide; ++i)
      for (int j = 0; j < kSide; ++j) {
        const float v = c[i * kSide + j];
        ASSERT_EQ(v, InHardDisc(size, kSide, j, i) ? 1.0f : 0.0f) << j << "," << i;
        if (v > 0) {
          left = std::min(left, j);
          right = std::max(right, j);
          top = std::min(top, i);
          bottom = std::max(bottom, i);
        }
      }
    EXPECT_EQ(size, right - left + 1);
    EXPECT_EQ(size, bottom - top + 1);
    // Centred: equal margins, or one more on the right and bottom for odd sizes.
    EXPECT_EQ(kSide - 1 - right, left + (kSide - size) % 2);
    EXPECT_EQ(kSide - 1 - bottom, top + (kSide - size) % 2);
  }
  // Size 1 is the pixel left of and above the middle; size 2 the four middle pixels.
  std::vector<float> one = Pencil(1);
  EXPECT_EQ(1.0f, one[24 * kSide + 24]);
  std::vector<float> two = Pencil(2);
  EXPECT_EQ(1.0f, two[24 * kSide + 24]);
  EXPECT_EQ(1.0f, two[25 * kSide + 25]);
  EXPECT_EQ(0.0f, two[23 * kSide + 24]);
}

TEST(StrokePreviewTest, LargePencilSizesShowADiscOneBoxWideWithExactRimCoverage) {
  const std::vector<float> c = Pencil(60);
  // Diameter 48 centred in the box: the pixel squares from 1 to 49 in each direction.
  const double cx = 25.0, cy = 25.0, r = 24.0;
  double total = 0.0;
  for (int i = 0; i < kSide; ++i)
    for (int j = 0; j < kSide; ++j) {
      const float v = c[i * kSide + j];
      ASSERT_GE(v, 0.0f);
      ASSERT_LE(v, 1.0f);
      total += v;
      const double dx = j + 0.5 - cx, dy = i + 0.5 - cy;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d < r - 0.7072) {
        EXPECT_EQ(1.0f, v) << j << "," << i;
      } else if (d > r + 0.7072) {
        EXPECT_EQ(0.0f, v) << j << "," << i;
      }
    }
  // The exact covered parts add up to the disc's area.
  EXPECT_NEAR(3.14159265358979 * r * r, total, 0.05);
  // Pixels on the rim carry their covered part.
  const int rim[][2] = {{1, 20}, {20, 1}, {48, 29}, {5, 10}, {40, 7}, {9, 42}, {43, 40}};
  for (const auto& p : rim) {
    const double expected = GridCoverage(cx, cy, r, p[0], p[1]);
    EXPECT_GT(expected, 0.0);
    EXPECT_LT(expected, 1.0);
    EXPECT_NEAR(expected, c[p[1] * kSide + p[0]], 0.003) << p[0] << "," << p[1];
  }
  EXPECT_EQ(0.0f, c[24 * kSide + 0]);
  EXPECT_EQ(0.0f, c[49 * kSide + 24]);
  // Every size beyond the box looks the same; the number tells them apart.
  EXPECT_EQ(c, Pencil(49));
  EXPECT_EQ(c, Pencil(100));
  EXPECT_FALSE(StrokePreviewShowsNumber(48, kSide));
  EXPECT_TRUE(StrokePreviewShowsNumber(49, kSide));
}

TEST(StrokePreviewTest, BoxesOfOtherSizesCentreTheDiscOnTheirOwnMiddle) {
  const int w = 20, h = 12;
  const std::vector<float> c = Pencil(5, w, h);
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < w; ++j) {
      const int dx = 2 * j - (w - 2), dy = 2 * i - (h - 2);
      EXPECT_EQ(dx * dx + dy * dy <= 25 ? 1.0f : 0.0f, c[i * w + j]) << j << "," << i;
    }
}

TEST(StrokePreviewTest, BrushDabFollowsTheHardnessProfile) {
  for (int hardness : {0, 35, 100}) {
    for (int size : {1, 6, 11, 20, 48}) {
      SCOPED_TRACE(testing::Message() << "hardness " << hardness << " size " << size);
      const std::vector<float> c = Brush(size, hardness);
      const double centre = (kSide - 1 - size % 2) / 2.0;
      for (int i = 0; i < kSide; ++i)
        for (int j = 0; j < kSide; ++j)
          ASSERT_NEAR(ProfileCoverage(size, hardness, j - centre, i - centre), c[i * kSide + j], 1e-5)
              << j << "," << i;
    }
  }
  // Hardness 0 is a cone falling linearly from the centre to the rim.
  const std::vector<float> cone = Brush(40, 0);
  EXPECT_NEAR((20.0 - std::sqrt(110.5)) / 20.0, cone[24 * kSide + 14], 1e-5);
  EXPECT_NEAR((20.0 - std::sqrt(20.5)) / 20.0, cone[24 * kSide + 20], 1e-5);
  // Hardness 100 is flat inside with an 8 x 8 sampled edge.
  const std::vector<float> hard = Brush(40, 100);
  EXPECT_EQ(1.0f, hard[24 * kSide + 10]);
  EXPECT_EQ(0.0f, hard[24 * kSide + 2]);
  const float edge = hard[10 * kSide + 10];  // 20.5 from the centre, on the rim
  EXPECT_GT(edge, 0.0f);
  EXPECT_LT(edge, 1.0f);
}

TEST(StrokePreviewTest, BrushSizesBeyondTheBoxShowTheLargestDab) {
  EXPECT_EQ(Brush(48, 40), Brush(49, 40));
  EXPECT_EQ(Brush(48, 40), Brush(100, 40));
  EXPECT_NE(Brush(47, 40), Brush(48, 40));
  // The largest dab leaves the outer ring of the box empty.
  const std::vector<float> c = Brush(100, 100);
  for (int n = 0; n < kSide; ++n) {
    EXPECT_EQ(0.0f, c[n]);
    EXPECT_EQ(0.0f, c[(kSide - 1) * kSide + n]);
    EXPECT_EQ(0.0f, c[n * kSide]);
    EXPECT_EQ(0.0f, c[n * kSide + kSide - 1]);
  }
}

}  // namespace
