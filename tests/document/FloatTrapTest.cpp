// The program runs with the invalid, divide-by-zero and overflow exceptions unmasked; the
// raster operations must not raise them for odd but finite arguments.
#include <gtest/gtest.h>
#include <float.h>
#include <cstdint>
#include "document/Painters.h"
#include "document/PixelArray.h"
#include "wul/WULCoverage.h"

namespace {

class TrapsUnmasked {
public:
  TrapsUnmasked() {
    _clearfp();
    saved = _controlfp(0, 0);
    _controlfp(saved & ~(_EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW), _MCW_EM);
  }
  ~TrapsUnmasked() {
    _clearfp();
    _controlfp(saved, _MCW_EM);
  }

private:
  unsigned int saved;
};

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
    TrapsUnmasked traps;
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
