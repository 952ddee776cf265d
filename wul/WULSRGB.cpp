#include "wul/WULSRGB.h"
#include <cmath>

float wulSRGBEncodeTable[256];
float wulSRGBDecodeTable[256];

void wulBuildSRGBTables() {
  const float encodeExponent = 1.0f / 2.4f;
  const float decodeExponent = 2.4f;
  for (int i = 0; i < 256; i++) {
    float x = static_cast<float>(i) / 255.0f;
    // The older break points 0.00304 and 0.03928.
    wulSRGBEncodeTable[i] = x <= 0.00304f ? 12.92f * x : 1.055f * std::pow(x, encodeExponent) - 0.055f;
    wulSRGBDecodeTable[i] =
        x <= 0.03928f ? x * 0.07739938f : std::pow((x + 0.055f) * 0.94786733f, decodeExponent);
  }
}

namespace {

float Interpolate(const float* table, float value) {
  if (!(value > 0.0f))
    return 0.0f;
  if (value >= 1.0f)
    return 1.0f;
  float a = value * 255.0f;
  int i = static_cast<int>(std::floor(a));
  if (i >= 255)
    return table[255];
  return table[i] + (a - static_cast<float>(i)) * (table[i + 1] - table[i]);
}

}  // namespace

float wulLinearToSRGB(float value) { return Interpolate(wulSRGBEncodeTable, value); }

float wulSRGBToLinear(float value) { return Interpolate(wulSRGBDecodeTable, value); }

float wulGetLuminance(float r, float g, float b) {
  float y = 0.2126f * wulSRGBToLinear(r) + 0.7152f * wulSRGBToLinear(g) + 0.0722f * wulSRGBToLinear(b);
  return wulLinearToSRGB(y);
}
