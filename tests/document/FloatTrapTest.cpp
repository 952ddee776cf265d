// The test programs run with the program's floating-point masks (invalid, denormal operand,
// divide-by-zero and overflow unmasked); the raster operations and colour models must not
// raise them for odd but finite arguments.
#include <gtest/gtest.h>
#include <cstdint>
#include "document/ColorSpace.h"
#include "document/Painters.h"
#include "document/PixelArray.h"
#include "wul/WULCoverage.h"

namespace {

Rect All(const CPixelArray& a) {
  Rect r;
  r.right = a.width;
  r.bottom = a.height;
  return r;
}

}  // namespace

TEST(FloatTraps, ExtremeFiniteArgumentsRaiseNothing) {
  CPixelArray source(5, 3), target(7, 2), tiny(1, 1);
  source.Fill(0x80FF8040u);
  target.Fill(0x40102030u);
  tiny.Fill(0xFFFFFFFFu);
  uint32_t sink = 0;
  {
    const float opacities[] = {0.0f, -3.4e38f, 3.4e38f, 1e-45f, 0.5f, 1.0f};
    for (float p : opacities) {
      target.BlendFrom(source, p);
      target.BlendColorRect(All(target), CColor(0xFFFFFFFFu), p);
      target.BlendPixel(1, 1, CColor(0x80FFFFFFu), p);
      target.ScaleAlpha(p);
      target.BlendZoomed(All(target), Point{0, 0}, source, 3, p);
      CGrid grid;
      grid.color = CColor(0xFF000000u);
      grid.opacity = p;
      PaintGrid(target, All(target), grid);
    }
    sink += CColor(0x10203040u).Lerp(CColor(0xF0E0D0C0u), 3.4e38f).value;
    sink += CColor(0x10203040u).Lerp(CColor(0xF0E0D0C0u), -3.4e38f).value;
    sink += static_cast<uint32_t>(wulCircleCoverage(0, 0, 3e38f, -3e38f, 3.4e38f) * 10);
    sink += static_cast<uint32_t>(wulCircleCoverage(INT32_MAX, INT32_MIN, 0.0f, 0.0f, 1e-30f));
    sink += static_cast<uint32_t>(wulCircleCoverage(0, 0, 0.5f, 0.5f, 1e-30f));
    CPixelArray big(1000, 3), line(1, 1);
    tiny.Resample(big, nullptr);
    big.Resample(line, nullptr);
    CResampleOptions budget;
    budget.totalSamples = 1;
    budget.pixelSamples = INT32_MAX;
    source.Resample(line, &budget);
    sink += big.GetPixel(999, 2) + line.GetPixel(0, 0);
  }
  EXPECT_EQ(sink & 0, 0u);
  EXPECT_EQ(CColor(0x10203040u).Lerp(CColor(0xF0E0D0C0u), 3.4e38f).value, 0xFFFFFFFFu);
  EXPECT_EQ(CColor(0x10203040u).Lerp(CColor(0xF0E0D0C0u), -3.4e38f).value, 0u);
}

TEST(FloatTraps, TinyChannelsAndCirclesLeaveNoDenormals) {
  // Products of such values would fall below the normal floats; 1e-38 is a denormal itself.
  CColorModel m;
  for (float tiny : {1e-20f, -1e-20f, 1e-38f}) {
    m.HsvToRgb(tiny, tiny, 0.5f);
    EXPECT_EQ(m.red + m.green + m.blue, 1.5f);
    m.HslToRgb(tiny, 1.0f, tiny);
    EXPECT_EQ(m.red + m.green + m.blue, 0.0f);
    m.RgbToHsv(tiny, 0.5f, tiny);
    EXPECT_EQ(m.hue * 3.0f, 1.0f);
    float l, a, b;
    RgbToLab(tiny, tiny, tiny, l, a, b);
    EXPECT_EQ(l + a + b, 0.0f);
  }
  EXPECT_EQ(wulCircleCoverage(0, 0, 0.5f, 0.5f, 1e-20f) * 10.0f, 0.0f);
}
