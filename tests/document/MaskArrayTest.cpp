#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <vector>
#include "common/BoxWatcher.h"
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

uint8_t MaskAt(const CMaskArray& m, int32_t x, int32_t y) {
  return m.data[y * m.width + x];
}

uint32_t Chan(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

// The masked-copy rule written out: destination weight is min(255 - m, destination alpha).
uint32_t RefMasked(uint32_t d, uint32_t s, uint32_t m) {
  if (m == 0)
    return d;
  if (m == 255)
    return s;
  const uint32_t a = (m * (s >> 24) + 127) / 255;
  const uint32_t t = std::min(255 - m, d >> 24);
  if (a + t == 0)
    return 0;
  const uint64_t r = (16777216ull + (a + t) / 2) / (a + t);
  uint32_t result = (a + t) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    result |= static_cast<uint32_t>(
                  ((static_cast<uint64_t>(Chan(s, shift)) * a + Chan(d, shift) * t) * r +
                   0x800000) >>
                  24)
              << shift;
  return result;
}

}  // namespace

TEST(MaskArray, SizeFillAndMemory) {
  CMaskArray m;
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.GetMemorySize(), 16u);
  m.SetSize(7, 3);
  ASSERT_NE(m.data, nullptr);
  EXPECT_EQ(m.GetMemorySize(), 16u + 21);
  m.Fill(0);
  m.FillRect(MakeRect(5, -1, 100, 2), 200);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 7; ++x)
      EXPECT_EQ(MaskAt(m, x, y), (x >= 5 && y < 2) ? 200 : 0);
  m.Invert();
  EXPECT_EQ(MaskAt(m, 5, 0), 55);
  EXPECT_EQ(MaskAt(m, 0, 0), 255);
  uint8_t* before = m.data;
  m.SetSize(3, 7);
  EXPECT_EQ(m.data, before);
  EXPECT_EQ(m.width, 3);
  CMaskArray sized(4, 4);
  EXPECT_NE(sized.data, nullptr);
  EXPECT_EQ(sized.width, 4);
}

TEST(MaskArray, EmptyMaskIsLeftAlone) {
  CMaskArray m;
  m.Fill(4);
  m.Invert();
  m.FillRect(MakeRect(0, 0, 5, 5), 1);
  EXPECT_EQ(m.data, nullptr);
}

TEST(MaskArray, SetBufferUsesForeignMemory) {
  std::vector<uint8_t> buffer(12, 9);
  CMaskArray m(4, 3);
  m.SetBuffer(buffer.data());
  EXPECT_EQ(m.data, buffer.data());
  EXPECT_EQ(m.width, 4);
  EXPECT_EQ(m.height, 3);
  EXPECT_EQ(m.owned, 0);
  m.Invert();
  EXPECT_EQ(buffer[11], 246);
  m.SetSize(50, 50);  // foreign memory keeps its size
  EXPECT_EQ(m.width, 4);
  m.SetBuffer(nullptr);
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.width, 0);
  EXPECT_EQ(m.height, 0);
  EXPECT_EQ(buffer[0], 246);
  m.SetSize(2, 2);
  ASSERT_NE(m.data, nullptr);
  m.Fill(1);
}

TEST(MaskArray, HugeOrNegativeSizesFailWithErrorBox) {
  BoxWatcher critical("Vellumcraft :: Critical Error");
  BoxWatcher watcher("Vellumcraft :: Error");
  CMaskArray m(3, 3);
  m.SetSize(0x10000, 0x10001);  // over the 2 GB limit of one array
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Mask array creation failed");
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.width, 0);
  EXPECT_EQ(m.height, 0);
  m.SetSize(-5, -5);
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ(watcher.Texts()[1], "Mask array creation failed");
  EXPECT_EQ(m.width, 0);
  m.SetSize(0x7FFFFFFF, 0x7FFFFFFF);
  ASSERT_TRUE(watcher.WaitFor(3));
  EXPECT_EQ(m.data, nullptr);
  m.Fill(1);
  m.SetSize(2, 1);
  ASSERT_NE(m.data, nullptr);
  EXPECT_EQ(critical.Count(), 0u);
}

TEST(MaskArray, CopiesClipLikePixelCopies) {
  CMaskArray source(4, 4);
  for (int32_t i = 0; i < 16; ++i)
    source.data[i] = static_cast<uint8_t>(i + 1);
  CMaskArray target(3, 3);
  target.Fill(0);
  target.CopyTo(-2, -1, source);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      const int expected = (x < 2) ? (y + 1) * 4 + (x + 2) + 1 : 0;
      EXPECT_EQ(MaskAt(target, x, y), expected) << x << "," << y;
    }
  target.Fill(0);
  target.Assign(source);
  EXPECT_EQ(MaskAt(target, 2, 2), 11);
  target.Fill(0);
  target.CopyRectTo(1, 1, source, MakeRect(3, 3, 4, 4));
  EXPECT_EQ(MaskAt(target, 1, 1), 16);
  EXPECT_EQ(MaskAt(target, 2, 2), 0);
  target.CopyRect(0, 0, source, 1, -1, 2, 2);  // source row -1 is cut: dest row 1 gets row 0
  EXPECT_EQ(MaskAt(target, 0, 0), 0);
  EXPECT_EQ(MaskAt(target, 0, 1), 2);
  EXPECT_EQ(MaskAt(target, 1, 1), 3);
  // Overlap inside one mask.
  source.CopyRect(0, 1, source, 0, 0, 4, 3);
  EXPECT_EQ(MaskAt(source, 0, 3), 9);
  EXPECT_EQ(MaskAt(source, 3, 1), 4);
}

TEST(CopyMaskedRect, MixesByMaskAndDestinationAlpha) {
  const uint32_t sources[] = {0xFFFF0000u, 0x80FFFFFFu, 0x00123456u, 0x40102030u};
  const uint32_t destinations[] = {0xFF0000FFu, 0x00000000u, 0x8000FF00u, 0x10FFFFFFu};
  const uint8_t masks[] = {0, 1, 64, 127, 128, 200, 254, 255};
  const int n = 4 * 4 * 8;
  CPixelArray source(n, 1), target(n, 1);
  CMaskArray mask(n, 1);
  int i = 0;
  for (uint32_t s : sources)
    for (uint32_t d : destinations)
      for (uint8_t m : masks) {
        source.SetPixel(i, 0, s);
        target.SetPixel(i, 0, d);
        mask.data[i] = m;
        ++i;
      }
  target.CopyMaskedRect(0, 0, source, mask, MakeRect(0, 0, n, 1), false);
  i = 0;
  for (uint32_t s : sources)
    for (uint32_t d : destinations)
      for (uint8_t m : masks) {
        EXPECT_EQ(target.GetPixel(i, 0), RefMasked(d, s, m))
            << std::hex << s << " " << d << " m=" << std::dec << int(m);
        ++i;
      }
  // Full coverage stores even a transparent source; none keeps the destination.
  EXPECT_EQ(RefMasked(0xFF00FF00u, 0x00123456u, 255), 0x00123456u);
  // Inverted: m becomes 255 - m.
  i = 0;
  for (int k = 0; k < 4 * 4; ++k)
    for (int j = 0; j < 8; ++j)
      target.SetPixel(i++, 0, destinations[k % 4]);
  target.CopyMaskedRect(0, 0, source, mask, MakeRect(0, 0, n, 1), true);
  i = 0;
  for (uint32_t s : sources)
    for (uint32_t d : destinations)
      for (uint8_t m : masks) {
        EXPECT_EQ(target.GetPixel(i, 0), RefMasked(d, s, 255 - m));
        ++i;
      }
}

TEST(CopyMaskedRect, HalfMaskOverOpaque) {
  CPixelArray source(1, 1), target(1, 1);
  CMaskArray mask(1, 1);
  source.Fill(0xFFFFFFFFu);
  target.Fill(0xFF000000u);
  mask.Fill(128);
  target.CopyMaskedRect(0, 0, source, mask, MakeRect(0, 0, 1, 1), false);
  // A = 128, t = min(127, 255) = 127: alpha 255, grey 128.
  EXPECT_EQ(target.GetPixel(0, 0), 0xFF808080u);
}

TEST(CopyMaskedRect, MaskOfOtherSizeDoesNothing) {
  CPixelArray source(4, 4), target(4, 4);
  source.Fill(0xFFFFFFFFu);
  target.Fill(0x11111111u);
  CMaskArray mask(4, 5);
  mask.Fill(255);
  target.CopyMaskedRect(0, 0, source, mask, MakeRect(0, 0, 4, 4), false);
  CMaskArray narrow(3, 4);
  narrow.Fill(255);
  target.CopyMaskedRect(0, 0, source, narrow, MakeRect(0, 0, 3, 4), false);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(target.GetPixel(x, y), 0x11111111u);
}

TEST(CopyMaskedRect, ClipsWithNegativePositionAndReadsTheMatchingMaskBytes) {
  CPixelArray source(5, 4), target(4, 4);
  CMaskArray mask(5, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      source.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(x << 8 | y));
      mask.data[y * 5 + x] = (x + y) % 2 ? 255 : 0;
    }
  target.Fill(0xAAAAAAAAu);
  target.CopyMaskedRect(-2, 1, source, mask, MakeRect(1, 0, 5, 4), false);
  // Source (1..4, 0..3) at (-2, 1): columns 3, 4 land at 0, 1; rows 0..2 at 1..3.
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      uint32_t expected = 0xAAAAAAAAu;
      if (x < 2 && y >= 1) {
        const int32_t sx = x + 3, sy = y - 1;
        if ((sx + sy) % 2)
          expected = 0xFF000000u | static_cast<uint32_t>(sx << 8 | sy);
      }
      EXPECT_EQ(target.GetPixel(x, y), expected) << x << "," << y;
    }
}
