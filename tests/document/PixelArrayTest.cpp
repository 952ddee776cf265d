#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <vector>
#include "common/BoxWatcher.h"
#include "document/PixelArray.h"

namespace {

uint32_t Chan(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state ^ (state >> 16);
  }
};

// Each pixel holds its own coordinates so that copies can be traced.
uint32_t Tag(int32_t x, int32_t y) {
  return 0xFF000000u | static_cast<uint32_t>(x) << 12 | static_cast<uint32_t>(y);
}

void FillTagged(CPixelArray& a) {
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x)
      a.SetPixel(x, y, Tag(x, y));
}

Rect MakeRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  Rect rect;
  rect.left = l;
  rect.top = t;
  rect.right = r;
  rect.bottom = b;
  return rect;
}

// The compositing rule written out on its own: weights by x / 255 rounded, the division by
// the weight sum through a locally built reciprocal.
uint32_t RefDiv255(uint64_t x) {
  return static_cast<uint32_t>((x + 127) / 255);
}
uint32_t RefRecip(uint32_t s) {
  return s == 0 ? 0 : static_cast<uint32_t>((16777216ull + s / 2) / s);
}
uint32_t RefMix(uint32_t sc, uint32_t a, uint32_t dc, uint32_t b) {
  return static_cast<uint32_t>(((static_cast<uint64_t>(sc) * a + static_cast<uint64_t>(dc) * b) *
                                    RefRecip(a + b) +
                                0x800000) >>
                               24);
}
uint32_t RefOver(uint32_t d, uint32_t s, double opacity) {
  const uint64_t k = static_cast<uint64_t>(std::nearbyint(opacity * 16777216.0));
  const uint32_t sa = s >> 24;
  if (k == 0 || sa == 0)
    return d;
  if (sa * k >= 0xFE800000ull)
    return s;
  const uint32_t a = static_cast<uint32_t>((sa * k + 0x800000) >> 24);
  const uint32_t b = RefDiv255(static_cast<uint64_t>(255 - a) * (d >> 24));
  if (a + b == 0)
    return 0;
  return (a + b) << 24 | RefMix(Chan(s, 16), a, Chan(d, 16), b) << 16 |
         RefMix(Chan(s, 8), a, Chan(d, 8), b) << 8 | RefMix(Chan(s, 0), a, Chan(d, 0), b);
}

}  // namespace

TEST(PixelArray, ConstructAndSize) {
  CPixelArray empty;
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.height, 0);
  EXPECT_EQ(empty.data, nullptr);
  EXPECT_EQ(empty.GetMemorySize(), 16u);

  CPixelArray a(5, 3);
  ASSERT_NE(a.data, nullptr);
  EXPECT_EQ(a.width, 5);
  EXPECT_EQ(a.height, 3);
  EXPECT_EQ(a.owned, 1);
  EXPECT_EQ(a.GetMemorySize(), 16u + 5 * 3 * 4);
  a.SetPixel(4, 2, 0x11223344u);
  EXPECT_EQ(a.data[4 + 2 * 5], 0x11223344u);
  EXPECT_EQ(a.GetPixel(4, 2), 0x11223344u);
  EXPECT_EQ(a.PixelAt(4, 2), a.data + 14);
}

TEST(PixelArray, SetSizeKeepsMemoryForTheSamePixelCount) {
  CPixelArray a(6, 4);
  FillTagged(a);
  uint32_t* before = a.data;
  a.SetSize(6, 4);
  EXPECT_EQ(a.data, before);
  a.SetSize(8, 3);  // 24 pixels again: same memory, read with the new shape
  EXPECT_EQ(a.data, before);
  EXPECT_EQ(a.width, 8);
  EXPECT_EQ(a.height, 3);
  EXPECT_EQ(a.GetPixel(6, 0), Tag(0, 1));
  a.SetSize(10, 10);
  ASSERT_NE(a.data, nullptr);
  EXPECT_EQ(a.width, 10);
  EXPECT_EQ(a.GetMemorySize(), 416u);
  a.Fill(0x01020304u);
  a.SetSize(0, 0);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.GetMemorySize(), 16u);
  // A zero-sized shape holds no data.
  a.SetSize(0, 7);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.GetMemorySize(), 16u);
  a.SetSize(2, 2);
  ASSERT_NE(a.data, nullptr);
  a.Fill(7);
  EXPECT_EQ(a.GetPixel(1, 1), 7u);
}

TEST(PixelArray, ForeignMemoryIsNeitherResizedNorFreed) {
  std::vector<uint32_t> buffer(12, 0xAAAAAAAAu);
  {
    CPixelArray a(buffer.data(), 4, 3);
    EXPECT_EQ(a.owned, 0);
    EXPECT_EQ(a.data, buffer.data());
    a.SetSize(100, 100);
    EXPECT_EQ(a.width, 4);
    EXPECT_EQ(a.height, 3);
    EXPECT_EQ(a.data, buffer.data());
    a.Fill(0x55u);
  }
  // Still ours after the array is gone.
  for (uint32_t v : buffer)
    EXPECT_EQ(v, 0x55u);
}

TEST(PixelArray, HugeOrNegativeSizesFailWithErrorBox) {
  BoxWatcher critical("Vellumcraft :: Critical Error");
  BoxWatcher watcher("Vellumcraft :: Error");
  CPixelArray a(4, 4);
  a.Fill(1);
  // 65536 x 65536 x 4 bytes wraps to 0 in 32 bits.
  a.SetSize(65536, 65536);
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Pixel array creation failed");
  EXPECT_EQ(a.width, 0);
  EXPECT_EQ(a.height, 0);
  EXPECT_EQ(a.data, nullptr);

  a.SetSize(0x7FFFFFFF, 0x7FFFFFFF);
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ(a.data, nullptr);
  a.SetSize(-1, 10);
  ASSERT_TRUE(watcher.WaitFor(3));
  EXPECT_EQ(a.width, 0);
  EXPECT_EQ(a.height, 0);
  // -2 x -2 would be a positive product.
  a.SetSize(-2, -2);
  ASSERT_TRUE(watcher.WaitFor(4));
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.width, 0);

  CPixelArray b(40000, 40000);
  ASSERT_TRUE(watcher.WaitFor(5));
  EXPECT_EQ(b.data, nullptr);
  EXPECT_EQ(b.width, 0);
  for (const std::string& text : watcher.Texts())
    EXPECT_EQ(text, "Pixel array creation failed");

  // Operations on the failed arrays do nothing, and the array is usable again.
  a.Fill(5);
  a.FillRect(MakeRect(0, 0, 10, 10), 5);
  a.CopyFrom(b);
  a.ScaleAlpha(0.5f);
  a.SetSize(3, 3);
  ASSERT_NE(a.data, nullptr);
  a.Fill(9);
  EXPECT_EQ(a.GetPixel(2, 2), 9u);
  EXPECT_EQ(critical.Count(), 0u);
}

TEST(PixelArray, EmptyArrayIsLeftAloneByWholeArrayOperations) {
  CPixelArray a;
  a.Fill(1);
  a.Premultiply();
  const uint8_t bits[1] = {0};
  a.ApplyMask1Bit(bits);
  a.ScaleAlpha(0.25f);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.width, 0);
}

TEST(PixelArray, FillRectClipsToTheArray) {
  CPixelArray a(6, 5);
  a.Fill(0);
  a.FillRect(MakeRect(-3, 3, 2, 100), 0xFFu);
  a.FillRect(MakeRect(4, -10, 4, 10), 0xEEu);  // empty
  a.FillRect(MakeRect(5, 0, 3, 2), 0xEEu);     // inverted
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(a.GetPixel(x, y), (x < 2 && y >= 3) ? 0xFFu : 0u) << x << "," << y;
  a.FillRect(MakeRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), 3);
  EXPECT_EQ(a.GetPixel(0, 0), 3u);
  EXPECT_EQ(a.GetPixel(5, 4), 3u);
}

TEST(PixelArray, CopyToWithNegativePositionTakesLowerRightBlock) {
  CPixelArray source(10, 10);
  FillTagged(source);
  CPixelArray target(10, 10);
  target.Fill(0);
  target.CopyTo(-5, -5, source);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const uint32_t expected = (x < 5 && y < 5) ? Tag(x + 5, y + 5) : 0u;
      EXPECT_EQ(target.GetPixel(x, y), expected) << x << "," << y;
    }
}

TEST(PixelArray, CopyRectClipsSourceAndDestination) {
  CPixelArray source(8, 6);
  FillTagged(source);
  CPixelArray target(5, 4);

  // A source block starting left of the source moves the destination right.
  target.Fill(0);
  target.CopyRect(1, 0, source, -2, 1, 4, 10);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const bool inside = x >= 3 && x < 5;  // dest 1..4 of which source cols -2,-1 are cut
      EXPECT_EQ(target.GetPixel(x, y), inside ? Tag(x - 3, y + 1) : 0u) << x << "," << y;
    }

  // Both offsets at once: dest (-1, 2) from source (3, -1).
  target.Fill(0);
  target.CopyRectTo(-1, 2, source, MakeRect(3, -1, 8, 6));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      // x: dest -1 -> 0 moves source to 4; y: source -1 -> 0 moves dest to 3.
      const bool inside = y == 3 && x < 4;
      EXPECT_EQ(target.GetPixel(x, y), inside ? Tag(x + 4, y - 3) : 0u) << x << "," << y;
    }

  // A block that starts left of or above the destination is shortened by what lies outside.
  target.Fill(0);
  target.CopyRect(-2, -1, source, 0, 0, 3, 2);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(target.GetPixel(x, y), x == 0 && y == 0 ? Tag(2, 1) : 0u) << x << "," << y;
  target.Fill(0);
  target.CopyRect(0, 0, source, -3, 0, 4, 1);
  for (int32_t x = 0; x < 5; ++x)
    EXPECT_EQ(target.GetPixel(x, 0), x == 3 ? Tag(0, 0) : 0u) << x;

  // Entirely outside, zero-sized and negative blocks do nothing.
  target.Fill(0);
  target.CopyRect(5, 0, source, 0, 0, 8, 6);
  target.CopyRect(0, 0, source, 8, 0, 8, 6);
  target.CopyRect(0, 0, source, 0, 0, 0, 6);
  target.CopyRect(0, 0, source, 0, 0, -4, 6);
  target.CopyRectTo(0, 0, source, MakeRect(4, 4, 2, 2));
  target.CopyRect(INT32_MIN, INT32_MIN, source, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX);
  target.CopyRect(INT32_MAX, 0, source, INT32_MIN, 0, INT32_MAX, 6);
  target.CopyRectTo(0, 0, source, MakeRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  int changed = 0;
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      changed += target.GetPixel(x, y) != 0;
  EXPECT_EQ(changed, 0);
}

TEST(PixelArray, CopyFromCopiesTheWholeSourceToTheCorner) {
  CPixelArray source(3, 2);
  FillTagged(source);
  CPixelArray target(4, 4);
  target.Fill(0);
  target.CopyFrom(source);
  EXPECT_EQ(target.GetPixel(2, 1), Tag(2, 1));
  EXPECT_EQ(target.GetPixel(3, 1), 0u);
  EXPECT_EQ(target.GetPixel(0, 2), 0u);
}

TEST(PixelArray, OverlappingCopyInsideOneArray) {
  CPixelArray a(6, 6);
  FillTagged(a);
  a.CopyRect(1, 1, a, 0, 0, 5, 5);  // one step down and right
  for (int32_t y = 1; y < 6; ++y)
    for (int32_t x = 1; x < 6; ++x)
      EXPECT_EQ(a.GetPixel(x, y), Tag(x - 1, y - 1)) << x << "," << y;
  FillTagged(a);
  a.CopyRect(0, 0, a, 1, 2, 5, 4);  // up and left
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(a.GetPixel(x, y), Tag(x + 1, y + 2)) << x << "," << y;
}

TEST(Blend, OpaqueSourceAtFullOpacityIsStoredExactly) {
  CPixelArray source(2, 1);
  source.SetPixel(0, 0, 0xFF123456u);
  source.SetPixel(1, 0, 0xFFFFFFFFu);
  CPixelArray target(2, 1);
  target.Fill(0x80ABCDEFu);
  target.BlendFrom(source, 1.0f);
  EXPECT_EQ(target.GetPixel(0, 0), 0xFF123456u);
  EXPECT_EQ(target.GetPixel(1, 0), 0xFFFFFFFFu);
  // Opacities above 1 act as 1.
  target.Fill(0x80ABCDEFu);
  target.BlendFrom(source, 7.0f);
  EXPECT_EQ(target.GetPixel(0, 0), 0xFF123456u);
}

TEST(Blend, ZeroOpacityAndTransparentSourceChangeNothing) {
  CPixelArray source(3, 1);
  source.SetPixel(0, 0, 0xFF112233u);
  source.SetPixel(1, 0, 0x00FFFFFFu);
  source.SetPixel(2, 0, 0x00000000u);
  CPixelArray target(3, 1);
  target.SetPixel(0, 0, 0x40102030u);
  target.SetPixel(1, 0, 0x00405060u);  // transparent with colour: kept too
  target.SetPixel(2, 0, 0xC0708090u);
  const uint32_t before[3] = {target.GetPixel(0, 0), target.GetPixel(1, 0), target.GetPixel(2, 0)};
  target.BlendFrom(source, 0.0f);
  target.BlendFrom(source, -1.0f);
  target.BlendFrom(source, std::nanf(""));
  EXPECT_EQ(target.GetPixel(0, 0), before[0]);
  target.BlendFrom(source, 0.7f);
  EXPECT_EQ(target.GetPixel(1, 0), before[1]);
  EXPECT_EQ(target.GetPixel(2, 0), before[2]);
}

TEST(Blend, RedAtHalfOverTransparentBlack) {
  CPixelArray source(1, 1);
  source.SetPixel(0, 0, 0xFFFF0000u);
  CPixelArray target(1, 1);
  target.Fill(0);
  target.BlendFrom(source, 0.5f);
  // a = 128, b = 0, r = 131072: red (255 * 128 * 131072 + 2^23) >> 24 = 255.
  EXPECT_EQ(target.GetPixel(0, 0), 0x80FF0000u);
}

TEST(Blend, OverMatchesTheRuleForManyPixelsAndOpacities) {
  Random random(12345);
  const float opacities[] = {0.5f, 1.0f, 0.25f, 0.999f, 0.003f, 0.7f, 1.0f / 3.0f};
  CPixelArray source(64, 32);
  CPixelArray target(64, 32);
  std::vector<uint32_t> d(64 * 32);
  for (float p : opacities) {
    for (size_t i = 0; i < d.size(); ++i) {
      uint32_t s = random.Next();
      uint32_t t = random.Next();
      // Plenty of the extreme alphas.
      if (i % 5 == 0)
        s |= 0xFF000000u;
      if (i % 7 == 0)
        t &= 0x00FFFFFFu;
      if (i % 11 == 0)
        s &= 0x01FFFFFFu;
      source.data[i] = s;
      target.data[i] = t;
      d[i] = t;
    }
    target.BlendFrom(source, p);
    for (size_t i = 0; i < d.size(); ++i)
      ASSERT_EQ(target.data[i], RefOver(d[i], source.data[i], p))
          << std::hex << d[i] << " " << source.data[i] << " p=" << p;
  }
}

TEST(Blend, OverStaysCloseToExactCompositing) {
  Random random(777);
  for (int n = 0; n < 20000; ++n) {
    uint32_t s = random.Next();
    const uint32_t d = random.Next();
    const float p = (random.Next() % 1001) / 1000.0f;
    CPixelArray src(&s, 1, 1);
    uint32_t out = d;
    CPixelArray dst(&out, 1, 1);
    dst.BlendFrom(src, p);
    const double sa = (s >> 24) / 255.0 * p;
    const double da = (d >> 24) / 255.0;
    const double ra = sa + da * (1 - sa);
    if (sa == 0.0) {
      EXPECT_EQ(out, d);
      continue;
    }
    EXPECT_NEAR((out >> 24) / 255.0, ra, 1.01 / 255.0);
    // The weights are whole numbers of 1/255; small ones make the colour coarse.
    const double weightS = sa * 255.0, weightD = da * (1 - sa) * 255.0;
    if (weightS < 64.0 || (weightD < 64.0 && da != 0.0))
      continue;
    for (int shift = 0; shift < 24; shift += 8) {
      const double c = (Chan(s, shift) * sa + Chan(d, shift) * da * (1 - sa)) / ra;
      EXPECT_NEAR(Chan(out, shift), c, 3.0) << std::hex << s << " " << d << " p=" << p;
    }
  }
}

TEST(Blend, BlendFromWithPositionAndRectClips) {
  CPixelArray source(4, 4);
  source.Fill(0xFF0000FFu);
  source.SetPixel(3, 3, 0xFF00FF00u);
  CPixelArray target(3, 3);
  target.Fill(0xFF000000u);
  target.BlendFrom(-1, -1, source, MakeRect(2, 2, 4, 4), 1.0f);
  // Source (2..3, 2..3) at (-1, -1): only source (3, 3) lands, at (0, 0).
  EXPECT_EQ(target.GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(target.GetPixel(1, 0), 0xFF000000u);
  EXPECT_EQ(target.GetPixel(0, 1), 0xFF000000u);
  target.BlendFrom(2, 2, source, 1.0f);
  EXPECT_EQ(target.GetPixel(2, 2), 0xFF0000FFu);
  EXPECT_EQ(target.GetPixel(1, 2), 0xFF000000u);
  target.BlendOver(1, 0, source, 0, 0, 1, 1, 1.0f);
  EXPECT_EQ(target.GetPixel(1, 0), 0xFF0000FFu);
  EXPECT_EQ(target.GetPixel(2, 0), 0xFF000000u);
}

TEST(Blend, ColorRectAndPixelUseTheRoundedColourAlpha) {
  CPixelArray a(4, 4);
  a.Fill(0xFF000000u);
  // Alpha 255 * 0.5 = 127.5 rounds to 128.
  a.BlendColorRect(MakeRect(-2, -2, 2, 1), CColor(0xFFFFFFFFu), 0.5f);
  const uint32_t b = RefDiv255(127 * 255);  // 127
  const uint32_t c = RefMix(255, 128, 0, b);
  EXPECT_EQ(a.GetPixel(0, 0), (128 + b) << 24 | c << 16 | c << 8 | c);
  EXPECT_EQ(a.GetPixel(1, 0), a.GetPixel(0, 0));
  EXPECT_EQ(a.GetPixel(2, 0), 0xFF000000u);
  EXPECT_EQ(a.GetPixel(0, 1), 0xFF000000u);

  a.Fill(0x00000000u);
  a.BlendPixel(3, 3, CColor(0x80204060u), 1.0f);
  EXPECT_EQ(a.GetPixel(3, 3), 0x80204060u);
  a.BlendPixel(3, 3, CColor(0x01FFFFFFu), 0.4f);  // round(0.4) = 0: nothing
  EXPECT_EQ(a.GetPixel(3, 3), 0x80204060u);
  // Outside the array: nothing, and no crash.
  a.BlendPixel(4, 0, CColor(0xFFFFFFFFu), 1.0f);
  a.BlendPixel(-1, 2, CColor(0xFFFFFFFFu), 1.0f);
  a.BlendPixel(0, 4, CColor(0xFFFFFFFFu), 1.0f);
  EXPECT_EQ(a.GetPixel(0, 0), 0u);
  // A full colour over anything gives the colour.
  a.BlendPixel(1, 1, CColor(0xFF336699u), 1.0f);
  EXPECT_EQ(a.GetPixel(1, 1), 0xFF336699u);
}

TEST(Blend, ScaleAlpha) {
  CPixelArray a(3, 2);
  a.SetPixel(0, 0, 0xFF102030u);
  a.SetPixel(1, 0, 0x80102030u);
  a.SetPixel(2, 0, 0x01102030u);
  a.SetPixel(0, 1, 0xFF405060u);
  a.SetPixel(1, 1, 0xFF405060u);
  a.SetPixel(2, 1, 0xFF405060u);
  a.ScaleAlpha(MakeRect(0, 0, 3, 1), 0.5f);
  EXPECT_EQ(a.GetPixel(0, 0), 0x80102030u);  // 127.5 -> (K * 255 + 2^23) >> 24 = 128
  EXPECT_EQ(a.GetPixel(1, 0), 0x40102030u);
  EXPECT_EQ(a.GetPixel(2, 0), 0x01102030u);  // 0.5 rounds up
  EXPECT_EQ(a.GetPixel(0, 1), 0xFF405060u);  // outside the rect
  a.ScaleAlpha(1.0f);
  EXPECT_EQ(a.GetPixel(1, 0), 0x40102030u);
  a.ScaleAlpha(MakeRect(-5, 1, 2, 9), 0.0f);
  EXPECT_EQ(a.GetPixel(0, 1), 0x00405060u);
  EXPECT_EQ(a.GetPixel(1, 1), 0x00405060u);
  EXPECT_EQ(a.GetPixel(2, 1), 0xFF405060u);
  // K = round(0.1f * 2^24) = 1677722; (1677722 * 255 + 2^23) >> 24 = 26.
  a.ScaleAlpha(0.1f);
  EXPECT_EQ(a.GetPixel(2, 1), 0x1A405060u);
}

TEST(Blend, Premultiply) {
  CPixelArray a(3, 1);
  a.SetPixel(0, 0, 0x80FF7F01u);
  a.SetPixel(1, 0, 0x00FFFFFFu);
  a.SetPixel(2, 0, 0xFF123456u);
  a.Premultiply();
  EXPECT_EQ(a.GetPixel(0, 0), 0x80000000u | RefDiv255(255 * 128) << 16 |
                                  RefDiv255(127 * 128) << 8 | RefDiv255(128));
  EXPECT_EQ(a.GetPixel(0, 0), 0x80804001u);
  EXPECT_EQ(a.GetPixel(1, 0), 0u);
  EXPECT_EQ(a.GetPixel(2, 0), 0xFF123456u);
}

TEST(Blend, ApplyMask1BitUsesBytePaddedRows) {
  CPixelArray a(10, 2);
  a.Fill(0xFF010203u);
  // Row 0: bits 1010 0000 11..; row 1: 0111 1111 10..
  const uint8_t bits[4] = {0xA0, 0xC0, 0x7F, 0x80};
  a.ApplyMask1Bit(bits);
  const char* rows[2] = {"1010000011", "0111111110"};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 10; ++x)
      EXPECT_EQ(a.GetPixel(x, y), rows[y][x] == '1' ? 0xFF010203u : 0x00010203u)
          << x << "," << y;
  a.ApplyMask1Bit(nullptr);
}

TEST(FreeBlends, BlendArgbEndsAreExact) {
  Random random(99);
  for (int n = 0; n < 1000; ++n) {
    const uint32_t a = random.Next(), b = random.Next();
    EXPECT_EQ(BlendArgb(a, b, 0), a);
    EXPECT_EQ(BlendArgb(a, b, 255), b);
    EXPECT_EQ(BlendArgb(a, b, 0x300), a);  // only the low byte counts
    EXPECT_EQ(BlendArgb(a, b, 0x1FF), b);
  }
}

TEST(FreeBlends, BlendArgbWeighsByAlpha) {
  // Opaque red and transparent blue mixed halfway: the colour stays red.
  const uint32_t mixed = BlendArgb(0xFFFF0000u, 0x000000FFu, 128);
  const uint32_t e = RefDiv255(127 * 255);
  EXPECT_EQ(mixed >> 24, e);
  EXPECT_EQ(mixed & 0x00FFFFFFu, 0x00FF0000u);
  // Both transparent: nothing left.
  EXPECT_EQ(BlendArgb(0x00FFFFFFu, 0x00FFFFFFu, 100), 0u);
  Random random(5);
  for (int n = 0; n < 5000; ++n) {
    const uint32_t a = random.Next(), b = random.Next(), k = 1 + random.Next() % 254;
    const uint32_t ea = RefDiv255(static_cast<uint64_t>(255 - k) * (a >> 24));
    const uint32_t fb = RefDiv255(static_cast<uint64_t>(b >> 24) * k);
    const uint32_t expected = (ea + fb) << 24 | RefMix(Chan(b, 16), fb, Chan(a, 16), ea) << 16 |
                              RefMix(Chan(b, 8), fb, Chan(a, 8), ea) << 8 |
                              RefMix(Chan(b, 0), fb, Chan(a, 0), ea);
    ASSERT_EQ(BlendArgb(a, b, k), expected) << std::hex << a << " " << b << " " << k;
  }
}

TEST(FreeBlends, RgbAndAlphaBlendsKeepTheOtherPart) {
  EXPECT_EQ(BlendRgb(0x12000000u, 0x34FFFFFFu, 255), 0x12FFFFFFu);
  EXPECT_EQ(BlendRgb(0x12000000u, 0x34FFFFFFu, 0), 0x12000000u);
  EXPECT_EQ(BlendRgb(0x12FF0000u, 0x3400FF00u, 128),
            0x12000000u | RefDiv255(255 * 127) << 16 | RefDiv255(255 * 128) << 8);
  EXPECT_EQ(BlendAlpha(0x00ABCDEFu, 0xFF000000u, 255), 0xFFABCDEFu);
  EXPECT_EQ(BlendAlpha(0x00ABCDEFu, 0xFF000000u, 0), 0x00ABCDEFu);
  EXPECT_EQ(BlendAlpha(0x00ABCDEFu, 0xFF000000u, 0x140), 0x40ABCDEFu);
  Random random(8);
  for (int n = 0; n < 2000; ++n) {
    const uint32_t a = random.Next(), b = random.Next(), k = random.Next() & 0xFF;
    uint32_t expected = a & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
      expected |= RefDiv255(Chan(b, shift) * k + Chan(a, shift) * (255 - k)) << shift;
    ASSERT_EQ(BlendRgb(a, b, k), expected);
    ASSERT_EQ(BlendAlpha(a, b, k),
              (a & 0xFFFFFFu) | RefDiv255(Chan(b, 24) * k + Chan(a, 24) * (255 - k)) << 24);
  }
}
