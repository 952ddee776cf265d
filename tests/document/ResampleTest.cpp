#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include "document/PixelArray.h"

namespace {

struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state ^ (state >> 16);
  }
};

uint32_t Chan(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

void FillRandom(CPixelArray& a, uint32_t seed, bool someTransparent) {
  Random random(seed);
  for (int32_t i = 0; i < a.width * a.height; ++i) {
    uint32_t p = random.Next();
    if (someTransparent && i % 9 == 4)
      p &= 0x00FFFFFFu;
    if (i % 5 == 0)
      p |= 0xFF000000u;
    a.data[i] = p;
  }
}

struct Expected {
  double alpha, red, green, blue;
};

// Area-weighted mean over the destination pixel's box in source pixel units; colour is
// weighted by alpha.
Expected AreaMean(const CPixelArray& s, int32_t dw, int32_t dh, int32_t j, int32_t i) {
  const double gx = static_cast<double>(s.width) / dw, gy = static_cast<double>(s.height) / dh;
  const double x0 = j * gx, x1 = (j + 1) * gx, y0 = i * gy, y1 = (i + 1) * gy;
  double area = 0, sa = 0, sr = 0, sg = 0, sb = 0;
  for (int32_t y = static_cast<int32_t>(y0); y < s.height && y < y1; ++y)
    for (int32_t x = static_cast<int32_t>(x0); x < s.width && x < x1; ++x) {
      const double w = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                       (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
      if (w <= 0)
        continue;
      const uint32_t p = s.GetPixel(x, y);
      const double a = p >> 24;
      area += w;
      sa += w * a;
      sr += w * a * Chan(p, 16);
      sg += w * a * Chan(p, 8);
      sb += w * a * Chan(p, 0);
    }
  if (sa == 0)
    return Expected{0, 0, 0, 0};
  return Expected{sa / area, sr / sa, sg / sa, sb / sa};
}

// Bilinear sample at the destination pixel's centre, clamped at the edges.
Expected BilinearAt(const CPixelArray& s, int32_t dw, int32_t dh, int32_t j, int32_t i) {
  const double gx = static_cast<double>(s.width) / dw, gy = static_cast<double>(s.height) / dh;
  double px = std::min(std::max((j + 0.5) * gx - 0.5, 0.0), s.width - 1.0);
  double py = std::min(std::max((i + 0.5) * gy - 0.5, 0.0), s.height - 1.0);
  const int32_t x0 = std::min(static_cast<int32_t>(px), s.width - 1);
  const int32_t y0 = std::min(static_cast<int32_t>(py), s.height - 1);
  const int32_t x1 = std::min(x0 + 1, s.width - 1), y1 = std::min(y0 + 1, s.height - 1);
  const double fx = px - x0, fy = py - y0;
  const int32_t xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
  const double ws[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
  double sa = 0, sr = 0, sg = 0, sb = 0;
  for (int k = 0; k < 4; ++k) {
    const uint32_t p = s.GetPixel(xs[k], ys[k]);
    const double a = (p >> 24) * ws[k];
    sa += a;
    sr += a * Chan(p, 16);
    sg += a * Chan(p, 8);
    sb += a * Chan(p, 0);
  }
  if (sa == 0)
    return Expected{0, 0, 0, 0};
  return Expected{sa, sr / sa, sg / sa, sb / sa};
}

void ExpectNear(uint32_t p, const Expected& e, double alphaTolerance, double colorTolerance,
                const char* what, int32_t j, int32_t i) {
  EXPECT_NEAR(static_cast<double>(p >> 24), e.alpha, alphaTolerance) << what << " " << j << "," << i;
  if ((p >> 24) == 0) {
    EXPECT_EQ(p, 0u);
    return;
  }
  // The colour of a faint pixel is coarse.
  const double tolerance = colorTolerance * (e.alpha < 16 ? 4 : 1);
  EXPECT_NEAR(Chan(p, 16), e.red, tolerance) << what << " " << j << "," << i;
  EXPECT_NEAR(Chan(p, 8), e.green, tolerance) << what << " " << j << "," << i;
  EXPECT_NEAR(Chan(p, 0), e.blue, tolerance) << what << " " << j << "," << i;
}

}  // namespace

TEST(Resample, SixtyFourToSixteenGivesTheBlockMeans) {
  CPixelArray source(64, 64);
  FillRandom(source, 42, true);
  // One block fully transparent, one with a single visible pixel.
  for (int32_t y = 8; y < 12; ++y)
    for (int32_t x = 20; x < 24; ++x) {
      source.SetPixel(x, y, 0x00FFFFFFu);
      source.SetPixel(x + 4, y, 0x00123456u);
    }
  source.SetPixel(25, 9, 0x01FF8040u);
  CPixelArray target(16, 16);
  source.Resample(target, nullptr);
  for (int32_t i = 0; i < 16; ++i)
    for (int32_t j = 0; j < 16; ++j) {
      uint64_t sa = 0, sr = 0, sg = 0, sb = 0;
      for (int32_t y = 4 * i; y < 4 * i + 4; ++y)
        for (int32_t x = 4 * j; x < 4 * j + 4; ++x) {
          const uint32_t p = source.GetPixel(x, y);
          const uint32_t a = p >> 24;
          sa += a;
          sr += a * Chan(p, 16);
          sg += a * Chan(p, 8);
          sb += a * Chan(p, 0);
        }
      // The mean alpha rounds half up; the colour to nearest.
      const uint32_t alpha = static_cast<uint32_t>((sa + 8) / 16);
      uint32_t expected = 0;
      if (alpha > 0) {
        auto mean = [sa](uint64_t s) {
          return static_cast<uint32_t>(std::nearbyint(static_cast<double>(s) / sa));
        };
        expected = alpha << 24 | mean(sr) << 16 | mean(sg) << 8 | mean(sb);
      }
      EXPECT_EQ(target.GetPixel(j, i), expected) << j << "," << i;
    }
  EXPECT_EQ(target.GetPixel(5, 2), 0u);
  // Alpha 1 / 16 rounds to 0 as well.
  EXPECT_EQ(target.GetPixel(6, 2), 0u);
}

TEST(Resample, ReducingOddSizesFollowsTheAreaMean) {
  const int32_t sizes[][4] = {{7, 5, 3, 2}, {13, 11, 4, 3}, {9, 9, 2, 5}, {100, 37, 9, 11}};
  for (const auto& size : sizes) {
    CPixelArray source(size[0], size[1]);
    FillRandom(source, static_cast<uint32_t>(size[0] * 31 + size[1]), false);
    CPixelArray target(size[2], size[3]);
    source.Resample(target, nullptr);
    for (int32_t i = 0; i < size[3]; ++i)
      for (int32_t j = 0; j < size[2]; ++j)
        ExpectNear(target.GetPixel(j, i), AreaMean(source, size[2], size[3], j, i), 1.0, 1.5,
                   "reduce", j, i);
  }
}

TEST(Resample, UniformImageStaysUniformAtAnySize) {
  const int32_t sizes[][4] = {{7, 5, 3, 2}, {3, 3, 10, 7}, {1, 9, 1, 4}, {5, 1, 17, 3}, {64, 64, 5, 5}};
  for (bool smooth : {true, false})
    for (const auto& size : sizes) {
      CPixelArray source(size[0], size[1]);
      source.Fill(0x9C3A7FE1u);
      CPixelArray target(size[2], size[3]);
      CResampleOptions options;
      options.smooth = smooth ? 1 : 0;
      source.Resample(target, &options);
      for (int32_t k = 0; k < size[2] * size[3]; ++k)
        ASSERT_EQ(target.data[k], 0x9C3A7FE1u) << size[0] << "x" << size[1] << " -> " << size[2]
                                               << "x" << size[3] << " at " << k;
    }
}

TEST(Resample, SmoothEnlargementIsBilinear) {
  CPixelArray source(3, 3);
  FillRandom(source, 7, false);
  CPixelArray target(10, 7);
  source.Resample(target, nullptr);
  for (int32_t i = 0; i < 7; ++i)
    for (int32_t j = 0; j < 10; ++j)
      ExpectNear(target.GetPixel(j, i), BilinearAt(source, 10, 7, j, i), 1.0, 1.5, "bilinear", j, i);
  // The corners take the corner pixels alone.
  const uint32_t first = source.GetPixel(0, 0), last = source.GetPixel(2, 2);
  EXPECT_EQ(target.GetPixel(0, 0), (first >> 24) ? first : 0u);
  EXPECT_EQ(target.GetPixel(9, 6), (last >> 24) ? last : 0u);
}

TEST(Resample, BlockyEnlargementCoversSourcePixels) {
  CPixelArray source(3, 3);
  FillRandom(source, 8, true);
  CPixelArray target(10, 7);
  CResampleOptions options;
  options.smooth = 0;
  source.Resample(target, &options);
  for (int32_t i = 0; i < 7; ++i)
    for (int32_t j = 0; j < 10; ++j)
      ExpectNear(target.GetPixel(j, i), AreaMean(source, 10, 7, j, i), 1.0, 1.5, "blocky", j, i);
  // Destination pixel (0, 0) lies inside source pixel (0, 0).
  EXPECT_EQ(target.GetPixel(0, 0), (source.GetPixel(0, 0) >> 24) ? source.GetPixel(0, 0) : 0u);
}

TEST(Resample, EnlargingOneAxisOnlyUsesBoxes) {
  // Width grows, height shrinks: not a smooth enlargement.
  CPixelArray source(2, 6);
  FillRandom(source, 11, false);
  CPixelArray target(5, 3);
  source.Resample(target, nullptr);
  for (int32_t i = 0; i < 3; ++i)
    for (int32_t j = 0; j < 5; ++j)
      ExpectNear(target.GetPixel(j, i), AreaMean(source, 5, 3, j, i), 1.0, 1.5, "mixed", j, i);
}

TEST(Resample, SingleColumnAndRow) {
  CPixelArray column(1, 9);
  FillRandom(column, 3, false);
  CPixelArray shorter(1, 4);
  column.Resample(shorter, nullptr);
  for (int32_t i = 0; i < 4; ++i)
    ExpectNear(shorter.GetPixel(0, i), AreaMean(column, 1, 4, 0, i), 1.0, 1.5, "1x9", 0, i);

  CPixelArray taller(1, 20);
  shorter.Resample(taller, nullptr);  // width 1 to 1 is no enlargement: boxes
  for (int32_t i = 0; i < 20; ++i)
    ExpectNear(taller.GetPixel(0, i), AreaMean(shorter, 1, 20, 0, i), 1.0, 1.5, "1x4", 0, i);

  CPixelArray row(9, 1);
  FillRandom(row, 4, false);
  CPixelArray wide(30, 2);
  row.Resample(wide, nullptr);  // smooth: the height also grows
  for (int32_t j = 0; j < 30; ++j)
    ExpectNear(wide.GetPixel(j, 1), BilinearAt(row, 30, 2, j, 1), 1.0, 1.5, "9x1", j, 1);
}

TEST(Resample, ExtremeEnlargementOfOnePixel) {
  CPixelArray pixel(1, 1);
  pixel.Fill(0x80402010u);
  // Less than 1/256 of a source pixel per destination pixel along x, boxes along y.
  CPixelArray line(1000, 1);
  pixel.Resample(line, nullptr);
  for (int32_t j = 0; j < 1000; ++j)
    ASSERT_EQ(line.GetPixel(j, 0), 0x80402010u) << j;
  CPixelArray blocky(600, 700);
  CResampleOptions options;
  options.smooth = 0;
  pixel.Resample(blocky, &options);
  for (int32_t k = 0; k < 600 * 700; ++k)
    ASSERT_EQ(blocky.data[k], 0x80402010u) << k;
  CPixelArray tall(2, 900);
  CPixelArray two(2, 1);
  two.SetPixel(0, 0, 0xFF0000FFu);
  two.SetPixel(1, 0, 0xFFFF0000u);
  two.Resample(tall, nullptr);
  EXPECT_EQ(tall.GetPixel(0, 899), 0xFF0000FFu);
  EXPECT_EQ(tall.GetPixel(1, 0), 0xFFFF0000u);
}

TEST(Resample, SameSizeKeepsVisiblePixels) {
  CPixelArray source(5, 4);
  FillRandom(source, 21, true);
  CPixelArray target(5, 4);
  source.Resample(target, nullptr);
  for (int32_t k = 0; k < 20; ++k) {
    const uint32_t p = source.data[k];
    EXPECT_EQ(target.data[k], (p >> 24) ? p : 0u) << k;
  }
}

TEST(Resample, SampleBudgetsSampleBoxCentresBilinearly) {
  CPixelArray source(64, 64);
  FillRandom(source, 55, false);
  CResampleOptions total;
  total.totalSamples = 256;  // sqrt(4096 / 256) = 4 pixels per sample
  CResampleOptions perPixel;
  perPixel.pixelSamples = 1;
  for (const CResampleOptions* options : {&total, &perPixel}) {
    CPixelArray target(16, 16);
    source.Resample(target, options);
    for (int32_t i = 0; i < 16; ++i)
      for (int32_t j = 0; j < 16; ++j) {
        // The centre of a 4 x 4 block lies between its four middle pixels.
        uint64_t sa = 0, sr = 0, sg = 0, sb = 0;
        for (int32_t y = 4 * i + 1; y <= 4 * i + 2; ++y)
          for (int32_t x = 4 * j + 1; x <= 4 * j + 2; ++x) {
            const uint32_t p = source.GetPixel(x, y);
            sa += p >> 24;
            sr += (p >> 24) * Chan(p, 16);
            sg += (p >> 24) * Chan(p, 8);
            sb += (p >> 24) * Chan(p, 0);
          }
        const uint32_t alpha = static_cast<uint32_t>((sa + 2) / 4);
        auto mean = [sa](uint64_t s) {
          return static_cast<uint32_t>(std::nearbyint(static_cast<double>(s) / sa));
        };
        EXPECT_EQ(target.GetPixel(j, i), alpha << 24 | mean(sr) << 16 | mean(sg) << 8 | mean(sb))
            << j << "," << i;
      }
  }
  // A small budget per pixel changes nothing for a 4:1 reduction.
  CResampleOptions generous;
  generous.pixelSamples = 64;
  CPixelArray a(16, 16), b(16, 16);
  source.Resample(a, &generous);
  source.Resample(b, nullptr);
  for (int32_t k = 0; k < 256; ++k)
    EXPECT_EQ(a.data[k], b.data[k]);
}

TEST(Resample, EmptyArrays) {
  CPixelArray source(4, 4);
  source.Fill(0xFFFFFFFFu);
  CPixelArray empty;
  source.Resample(empty, nullptr);
  EXPECT_EQ(empty.data, nullptr);
  CPixelArray flat(0, 5);
  source.Resample(flat, nullptr);
  EXPECT_EQ(flat.data, nullptr);
  // Nothing to sample: the destination becomes transparent.
  CPixelArray target(3, 3);
  target.Fill(0x12345678u);
  empty.Resample(target, nullptr);
  for (int32_t k = 0; k < 9; ++k)
    EXPECT_EQ(target.data[k], 0u);
}
