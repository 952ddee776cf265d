#include "document/ColorSpace.h"
#include <cmath>
#include "wul/WULFloatBits.h"
#include "wul/WULMath.h"

namespace {

const float kOneSixth = 0.16666667f;

// A channel, hue or saturation too small to matter (below 2^-40, denormals and their negatives
// included, judged by the bits) counts as 0: products of such values would fall below the
// normal floats, and the program traps on denormal operands.
float Significant(float x) {
  return (wulFloatBits(&x) & 0x7FFFFFFFu) < 0x2B800000u ? 0.0f : x;
}

// Hexcone hue in 0..1 of a colour whose largest channel is maxc and whose spread is delta > 0.
float HexconeHue(float r, float g, float b, float maxc, float delta) {
  float h;
  if (r == maxc) {
    h = (g - b) / delta;
    if (h < 0.0f)
      h += 6.0f;
  } else if (g == maxc) {
    h = 2.0f + (b - r) / delta;
  } else {
    h = 4.0f + (r - g) / delta;
  }
  return h * kOneSixth;
}

// Splits a hue into its sextant (0..5) and the fraction within it.
void HueSector(float h, int& sector, float& fraction) {
  float scaled = (h - std::floor(h)) * 6.0f;
  sector = static_cast<int>(scaled);
  fraction = scaled - static_cast<float>(sector);
  if (sector < 0 || sector > 5) {
    sector = 0;
    fraction = 0.0f;
  }
}

float Linearise(float c) {
  if (c <= 0.03928f)
    return c * 0.07739938f;
  return static_cast<float>(wulPow((c + 0.055f) * 0.94786733f, 2.4));
}

// Rows of the sRGB to XYZ matrix.
const float kMatrix[3][3] = {
    {0.412411f, 0.357585f, 0.180454f},
    {0.212649f, 0.715169f, 0.072182f},
    {0.019332f, 0.119195f, 0.950390f},
};

float LabCurve(float t) {
  if (t > 0.008856f)
    return static_cast<float>(wulPow(t, 1.0 / 3.0));
  return 7.787f * t + 0.13793103f;
}

}  // namespace

CColorModel::CColorModel()
    : red(0.0f), green(0.0f), blue(0.0f), hue(0.0f), saturation(0.0f), value(0.0f) {}

void CColorModel::RgbToHsv(float r, float g, float b) {
  r = Significant(r);
  g = Significant(g);
  b = Significant(b);
  red = r;
  green = g;
  blue = b;
  float maxc = std::fmax(r, std::fmax(g, b));
  float minc = std::fmin(r, std::fmin(g, b));
  float delta = maxc - minc;
  value = maxc;
  if (maxc <= 0.0f || delta <= 0.0f) {
    hue = 0.0f;
    saturation = 0.0f;
    return;
  }
  saturation = delta / maxc;
  hue = HexconeHue(r, g, b, maxc, delta);
}

void CColorModel::HsvToRgb(float h, float s, float v) {
  h = Significant(h);
  s = Significant(s);
  v = Significant(v);
  hue = h;
  saturation = s;
  value = v;
  if (s <= 0.0f) {
    red = green = blue = v;
    return;
  }
  int sector;
  float f;
  HueSector(h, sector, f);
  float p = v * (1.0f - s);
  float q = v * (1.0f - s * f);
  float t = v * (1.0f - s * (1.0f - f));
  switch (sector) {
    case 0: red = v; green = t; blue = p; break;
    case 1: red = q; green = v; blue = p; break;
    case 2: red = p; green = v; blue = t; break;
    case 3: red = p; green = q; blue = v; break;
    case 4: red = t; green = p; blue = v; break;
    default: red = v; green = p; blue = q; break;
  }
}

void CColorModel::RgbToHsl(float r, float g, float b) {
  r = Significant(r);
  g = Significant(g);
  b = Significant(b);
  red = r;
  green = g;
  blue = b;
  float maxc = std::fmax(r, std::fmax(g, b));
  float minc = std::fmin(r, std::fmin(g, b));
  float delta = maxc - minc;
  value = (maxc + minc) * 0.5f;
  if (delta <= 0.0f) {
    hue = 0.0f;
    saturation = 0.0f;
    return;
  }
  if (value <= 0.5f)
    saturation = delta / (maxc + minc);
  else
    saturation = delta / (2.0f - maxc - minc);
  hue = HexconeHue(r, g, b, maxc, delta);
}

void CColorModel::HslToRgb(float h, float s, float l) {
  h = Significant(h);
  s = Significant(s);
  l = Significant(l);
  hue = h;
  saturation = s;
  value = l;
  float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
  if (m2 <= 0.0f) {
    red = green = blue = 0.0f;
    return;
  }
  float m1 = 2.0f * l - m2;
  int sector;
  float f;
  HueSector(h, sector, f);
  float d = m2 - m1;
  switch (sector) {
    case 0: red = m2; green = m1 + f * d; blue = m1; break;
    case 1: red = m2 - f * d; green = m2; blue = m1; break;
    case 2: red = m1; green = m2; blue = m1 + f * d; break;
    case 3: red = m1; green = m2 - f * d; blue = m2; break;
    case 4: red = m1 + f * d; green = m1; blue = m2; break;
    default: red = m2; green = m1; blue = m2 - f * d; break;
  }
}

void CColorModel::RgbToXyz(float r, float g, float b) {
  r = Significant(r);
  g = Significant(g);
  b = Significant(b);
  red = r;
  green = g;
  blue = b;
  float lr = Linearise(r);
  float lg = Linearise(g);
  float lb = Linearise(b);
  hue = kMatrix[0][0] * lr + kMatrix[0][1] * lg + kMatrix[0][2] * lb;
  saturation = kMatrix[1][0] * lr + kMatrix[1][1] * lg + kMatrix[1][2] * lb;
  value = kMatrix[2][0] * lr + kMatrix[2][1] * lg + kMatrix[2][2] * lb;
}

void RgbToLab(float r, float g, float b, float& lStar, float& aStar, float& bStar) {
  CColorModel xyz;
  xyz.RgbToXyz(r, g, b);
  float xn = kMatrix[0][0] + kMatrix[0][1] + kMatrix[0][2];
  float yn = kMatrix[1][0] + kMatrix[1][1] + kMatrix[1][2];
  float zn = kMatrix[2][0] + kMatrix[2][1] + kMatrix[2][2];
  float y = xyz.saturation / yn;
  if (y > 0.008856f)
    lStar = 116.0f * static_cast<float>(wulPow(y, 1.0 / 3.0)) - 16.0f;
  else
    lStar = 903.3f * y;
  float fy = LabCurve(y);
  aStar = 500.0f * (LabCurve(xyz.hue / xn) - fy);
  bStar = 200.0f * (fy - LabCurve(xyz.value / zn));
}
