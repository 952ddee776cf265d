#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include "document/ColorSpace.h"

namespace {

// Reference conversions in double precision, written from the textbook definitions.
struct Hsx {
  double h, s, x;
};

double RefHue(double r, double g, double b) {
  double maxc = std::max(r, std::max(g, b));
  double minc = std::min(r, std::min(g, b));
  double d = maxc - minc;
  if (d <= 0)
    return 0;
  double degrees;
  if (maxc == r)
    degrees = 60.0 * std::fmod((g - b) / d + 6.0, 6.0);
  else if (maxc == g)
    degrees = 60.0 * ((b - r) / d + 2.0);
  else
    degrees = 60.0 * ((r - g) / d + 4.0);
  return degrees / 360.0;
}

Hsx RefHsl(double r, double g, double b) {
  double maxc = std::max(r, std::max(g, b));
  double minc = std::min(r, std::min(g, b));
  double l = (maxc + minc) / 2;
  double d = maxc - minc;
  double s = d <= 0 ? 0 : d / (1 - std::fabs(2 * l - 1));
  return {RefHue(r, g, b), s, l};
}

double RefLinear(double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

void RefXyz(double r, double g, double b, double xyz[3]) {
  double lr = RefLinear(r), lg = RefLinear(g), lb = RefLinear(b);
  xyz[0] = 0.412411 * lr + 0.357585 * lg + 0.180454 * lb;
  xyz[1] = 0.212649 * lr + 0.715169 * lg + 0.072182 * lb;
  xyz[2] = 0.019332 * lr + 0.119195 * lg + 0.950390 * lb;
}

void RefLab(double r, double g, double b, double lab[3]) {
  double xyz[3], white[3];
  RefXyz(r, g, b, xyz);
  RefXyz(1, 1, 1, white);
  auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
  double y = xyz[1] / white[1];
  lab[0] = y > 0.008856 ? 116 * std::cbrt(y) - 16 : 903.3 * y;
  lab[1] = 500 * (f(xyz[0] / white[0]) - f(y));
  lab[2] = 200 * (f(y) - f(xyz[2] / white[2]));
}

int To8(float c) { return static_cast<int>(std::lround(c * 255.0f)); }

}  // namespace

TEST(ColorModel, HsvOfPrimariesAndSecondaries) {
  struct {
    float r, g, b, h;
  } cases[] = {{1, 0, 0, 0.0f},     {1, 1, 0, 1 / 6.0f}, {0, 1, 0, 2 / 6.0f},
               {0, 1, 1, 3 / 6.0f}, {0, 0, 1, 4 / 6.0f}, {1, 0, 1, 5 / 6.0f}};
  for (auto& c : cases) {
    CColorModel m;
    m.RgbToHsv(c.r, c.g, c.b);
    EXPECT_NEAR(m.hue, c.h, 1e-6f);
    EXPECT_FLOAT_EQ(m.saturation, 1.0f);
    EXPECT_FLOAT_EQ(m.value, 1.0f);
    EXPECT_EQ(m.red, c.r);
    EXPECT_EQ(m.green, c.g);
    EXPECT_EQ(m.blue, c.b);
  }
}

TEST(ColorModel, GreyAndBlackHaveNoHueOrSaturation) {
  CColorModel m;
  m.RgbToHsv(0.4f, 0.4f, 0.4f);
  EXPECT_EQ(m.hue, 0.0f);
  EXPECT_EQ(m.saturation, 0.0f);
  EXPECT_FLOAT_EQ(m.value, 0.4f);
  m.RgbToHsv(0, 0, 0);
  EXPECT_EQ(m.hue, 0.0f);
  EXPECT_EQ(m.saturation, 0.0f);
  EXPECT_EQ(m.value, 0.0f);
  m.RgbToHsl(0.7f, 0.7f, 0.7f);
  EXPECT_EQ(m.hue, 0.0f);
  EXPECT_EQ(m.saturation, 0.0f);
  EXPECT_FLOAT_EQ(m.value, 0.7f);
}

TEST(ColorModel, HsvMatchesReferenceOnEightBitColors) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 13) {
        double dr = r / 255.0, dg = g / 255.0, db = b / 255.0;
        double maxc = std::max(dr, std::max(dg, db));
        double minc = std::min(dr, std::min(dg, db));
        CColorModel m;
        m.RgbToHsv(r / 255.0f, g / 255.0f, b / 255.0f);
        EXPECT_NEAR(m.value, maxc, 1e-6);
        EXPECT_NEAR(m.saturation, maxc > 0 ? (maxc - minc) / maxc : 0.0, 1e-6);
        EXPECT_NEAR(m.hue, RefHue(dr, dg, db), 2e-6) << r << "," << g << "," << b;
      }
}

TEST(ColorModel, HslMatchesReferenceOnEightBitColors) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 13) {
        Hsx ref = RefHsl(r / 255.0, g / 255.0, b / 255.0);
        CColorModel m;
        m.RgbToHsl(r / 255.0f, g / 255.0f, b / 255.0f);
        EXPECT_NEAR(m.hue, ref.h, 2e-6);
        EXPECT_NEAR(m.saturation, ref.s, 2e-6);
        EXPECT_NEAR(m.value, ref.x, 1e-6);
      }
}

TEST(ColorModel, HsvRoundTripRestoresEveryEightBitValue) {
  float worst = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7) {
        CColorModel m;
        m.RgbToHsv(r / 255.0f, g / 255.0f, b / 255.0f);
        CColorModel back;
        back.HsvToRgb(m.hue, m.saturation, m.value);
        ASSERT_EQ(To8(back.red), r);
        ASSERT_EQ(To8(back.green), g);
        ASSERT_EQ(To8(back.blue), b);
        worst = std::max(worst, std::fabs(back.red - r / 255.0f));
        worst = std::max(worst, std::fabs(back.green - g / 255.0f));
        worst = std::max(worst, std::fabs(back.blue - b / 255.0f));
      }
  EXPECT_LT(worst, 1e-5f);
}

TEST(ColorModel, HslRoundTripRestoresEveryEightBitValue) {
  float worst = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7) {
        CColorModel m;
        m.RgbToHsl(r / 255.0f, g / 255.0f, b / 255.0f);
        CColorModel back;
        back.HslToRgb(m.hue, m.saturation, m.value);
        ASSERT_EQ(To8(back.red), r);
        ASSERT_EQ(To8(back.green), g);
        ASSERT_EQ(To8(back.blue), b);
        worst = std::max(worst, std::fabs(back.red - r / 255.0f));
        worst = std::max(worst, std::fabs(back.green - g / 255.0f));
        worst = std::max(worst, std::fabs(back.blue - b / 255.0f));
      }
  EXPECT_LT(worst, 1e-5f);
}

TEST(ColorModel, HsvToRgbSectorsAndWrapping) {
  CColorModel m;
  m.HsvToRgb(0.5f, 0.0f, 0.3f);  // no saturation: grey
  EXPECT_EQ(m.red, 0.3f);
  EXPECT_EQ(m.green, 0.3f);
  EXPECT_EQ(m.blue, 0.3f);

  m.HsvToRgb(1.0f, 1.0f, 1.0f);  // a full turn is red again
  EXPECT_FLOAT_EQ(m.red, 1.0f);
  EXPECT_FLOAT_EQ(m.green, 0.0f);
  EXPECT_FLOAT_EQ(m.blue, 0.0f);

  m.HsvToRgb(-0.25f, 1.0f, 1.0f);  // the same as 0.75: violet-blue
  EXPECT_NEAR(m.red, 0.5f, 1e-6f);
  EXPECT_NEAR(m.green, 0.0f, 1e-6f);
  EXPECT_NEAR(m.blue, 1.0f, 1e-6f);

  m.HsvToRgb(0.25f, 0.5f, 0.8f);  // sector 1 at f = 0.5: (q, V, p)
  EXPECT_NEAR(m.red, 0.8f * (1 - 0.5f * 0.5f), 1e-6f);
  EXPECT_NEAR(m.green, 0.8f, 1e-6f);
  EXPECT_NEAR(m.blue, 0.4f, 1e-6f);
  EXPECT_EQ(m.hue, 0.25f);
  EXPECT_EQ(m.saturation, 0.5f);
  EXPECT_EQ(m.value, 0.8f);
}

TEST(ColorModel, HslToRgbOfTheTwelveHuesAtFullSaturation) {
  // Hue i/12 at lightness 0.5: each channel is 0, 0.5 or 1.
  const int expected[12][3] = {{2, 0, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {0, 2, 0}, {0, 2, 1},
                               {0, 2, 2}, {0, 1, 2}, {0, 0, 2}, {1, 0, 2}, {2, 0, 2}, {2, 0, 1}};
  for (int i = 0; i < 12; ++i) {
    CColorModel m;
    m.HslToRgb(static_cast<float>(i) / 12.0f, 1.0f, 0.5f);
    EXPECT_NEAR(m.red, expected[i][0] * 0.5f, 1e-6f) << i;
    EXPECT_NEAR(m.green, expected[i][1] * 0.5f, 1e-6f) << i;
    EXPECT_NEAR(m.blue, expected[i][2] * 0.5f, 1e-6f) << i;
  }
  CColorModel m;
  m.HslToRgb(0.3f, 1.0f, 0.0f);  // no lightness: black
  EXPECT_EQ(m.red, 0.0f);
  EXPECT_EQ(m.green, 0.0f);
  EXPECT_EQ(m.blue, 0.0f);
  m.HslToRgb(0.0f, 1.0f, 0.25f);  // dark red
  EXPECT_NEAR(m.red, 0.5f, 1e-6f);
  EXPECT_NEAR(m.green, 0.0f, 1e-6f);
  m.HslToRgb(0.0f, 1.0f, 0.75f);  // light red
  EXPECT_NEAR(m.red, 1.0f, 1e-6f);
  EXPECT_NEAR(m.green, 0.5f, 1e-6f);
  EXPECT_NEAR(m.blue, 0.5f, 1e-6f);
}

TEST(ColorModel, XyzOfWhiteIsTheRowSums) {
  CColorModel m;
  m.RgbToXyz(1, 1, 1);
  EXPECT_NEAR(m.hue, 0.95045, 2e-6);
  EXPECT_NEAR(m.saturation, 1.0, 2e-6);
  EXPECT_NEAR(m.value, 1.088917, 2e-6);
  m.RgbToXyz(0, 0, 0);
  EXPECT_EQ(m.hue, 0.0f);
  EXPECT_EQ(m.saturation, 0.0f);
  EXPECT_EQ(m.value, 0.0f);
}

TEST(ColorModel, XyzMatchesReference) {
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 11)
      for (int b = 0; b < 256; b += 7) {
        double ref[3];
        RefXyz(r / 255.0, g / 255.0, b / 255.0, ref);
        CColorModel m;
        m.RgbToXyz(r / 255.0f, g / 255.0f, b / 255.0f);
        EXPECT_NEAR(m.hue, ref[0], 3e-6 + 3e-6 * ref[0]);
        EXPECT_NEAR(m.saturation, ref[1], 3e-6 + 3e-6 * ref[1]);
        EXPECT_NEAR(m.value, ref[2], 3e-6 + 3e-6 * ref[2]);
      }
}

TEST(ColorModel, LabOfBlackWhiteAndPrimaries) {
  float l, a, b;
  RgbToLab(0, 0, 0, l, a, b);
  EXPECT_NEAR(l, 0.0f, 1e-6f);
  EXPECT_NEAR(a, 0.0f, 1e-5f);
  EXPECT_NEAR(b, 0.0f, 1e-5f);
  RgbToLab(1, 1, 1, l, a, b);
  EXPECT_NEAR(l, 100.0f, 1e-3f);
  EXPECT_NEAR(a, 0.0f, 1e-3f);
  EXPECT_NEAR(b, 0.0f, 1e-3f);
  // Published sRGB (D65) values of the primaries.
  RgbToLab(1, 0, 0, l, a, b);
  EXPECT_NEAR(l, 53.24f, 0.05f);
  EXPECT_NEAR(a, 80.09f, 0.05f);
  EXPECT_NEAR(b, 67.20f, 0.05f);
  RgbToLab(0, 1, 0, l, a, b);
  EXPECT_NEAR(l, 87.73f, 0.05f);
  EXPECT_NEAR(a, -86.18f, 0.05f);
  EXPECT_NEAR(b, 83.18f, 0.05f);
  RgbToLab(0, 0, 1, l, a, b);
  EXPECT_NEAR(l, 32.30f, 0.05f);
  EXPECT_NEAR(a, 79.19f, 0.05f);
  EXPECT_NEAR(b, -107.86f, 0.05f);
}

TEST(ColorModel, LabMatchesReferenceIncludingTheDarkLinearRange) {
  float worst = 0;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 9) {
        double ref[3];
        RefLab(r / 255.0, g / 255.0, b / 255.0, ref);
        float lab[3];
        RgbToLab(r / 255.0f, g / 255.0f, b / 255.0f, lab[0], lab[1], lab[2]);
        for (int k = 0; k < 3; ++k)
          worst = std::max(worst, static_cast<float>(std::fabs(lab[k] - ref[k])));
      }
  EXPECT_LT(worst, 2e-3f);
  // Below the knee L* is linear in Y.
  float l, a, b;
  RgbToLab(0.01f, 0.01f, 0.01f, l, a, b);
  EXPECT_NEAR(l, 903.3 * 0.01 / 12.92, 1e-4);
  EXPECT_NEAR(a, 0.0f, 1e-4f);
  EXPECT_NEAR(b, 0.0f, 1e-4f);
}

TEST(ColorModel, LabLightnessGrowsAlongAGreyRamp) {
  float previous = -1;
  for (int v = 0; v < 256; ++v) {
    float l, a, b;
    RgbToLab(v / 255.0f, v / 255.0f, v / 255.0f, l, a, b);
    EXPECT_GT(l, previous) << v;
    EXPECT_NEAR(a, 0.0f, 2e-3f);
    EXPECT_NEAR(b, 0.0f, 2e-3f);
    previous = l;
  }
}
