#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "document/PixelArray.h"
#include "document/Supersample.h"

namespace {

// 2^24 / i rounded, computed here rather than read from the library's table.
uint64_t Reciprocal(uint64_t i) {
  return i ? (0x1000000u + i / 2) / i : 0;
}

// Alpha-weighted mean of four pixels, alpha their plain mean; 64-bit so that an overflow
// in the code under test would show.
uint32_t ReferenceAverage(const uint32_t (&px)[4]) {
  uint64_t sumA = 0;
  for (uint32_t p : px)
    sumA += p >> 24;
  if (sumA == 0)
    return 0;
  uint64_t result = ((sumA * (1u << 22) + 0x800000u) >> 24) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    uint64_t weighted = 0;
    for (uint32_t p : px)
      weighted += static_cast<uint64_t>((p >> shift) & 0xFF) * (p >> 24);
    result |= ((weighted * Reciprocal(sumA) + 0x800000u) >> 24) << shift;
  }
  return static_cast<uint32_t>(result);
}

uint32_t Random(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state;
}

std::vector<uint32_t> Pixels(const CPixelArray& a) {
  return std::vector<uint32_t>(a.data, a.data + a.width * a.height);
}

uint8_t& At(CMaskArray* m, int x, int y) {
  return m->data[y * m->width + x];
}

}  // namespace

TEST(SupersampleStackTest, AttachSizesTheLevelsAndCountsTheirMemory) {
  CPixelArray base(5, 3);
  CPixelSupersampleStack stack;
  EXPECT_EQ(stack.GetMemorySize(), 24u);
  stack.Attach(&base);
  EXPECT_EQ(stack.GetLevel(0), &base);
  uint32_t memory = 24;
  for (int k = 1; k <= 3; ++k) {
    ASSERT_NE(stack.GetLevel(k), nullptr);
    EXPECT_EQ(stack.GetLevel(k)->width, 5 << k);
    EXPECT_EQ(stack.GetLevel(k)->height, 3 << k);
    memory += 16 + (5 << k) * (3 << k) * 4;
  }
  EXPECT_EQ(stack.GetMemorySize(), memory);
  EXPECT_EQ(stack.GetLevel(-1), nullptr);
  EXPECT_EQ(stack.GetLevel(4), nullptr);
  stack.Attach(nullptr);
  EXPECT_EQ(stack.GetLevel(3), nullptr);
  EXPECT_EQ(stack.GetMemorySize(), 24u);
}

TEST(SupersampleStackTest, ReattachKeepsLevelsOfTheSameSizeAndResizesOthers) {
  CPixelArray base(2, 2), other(2, 2);
  base.Fill(0xFF123456);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  stack.Expand(nullptr);
  CPixelArray* top = stack.GetLevel(3);
  stack.Attach(&other);
  EXPECT_EQ(stack.GetLevel(0), &other);
  EXPECT_EQ(stack.GetLevel(3), top);
  EXPECT_EQ(top->GetPixel(15, 15), 0xFF123456u);
  other.SetSize(3, 5);
  stack.Attach(&other);
  EXPECT_EQ(stack.GetLevel(3)->width, 24);
  EXPECT_EQ(stack.GetLevel(3)->height, 40);
}

TEST(SupersampleStackTest, ExpandReplicatesEveryPixelIntoItsBlocks) {
  CPixelArray base(3, 2);
  uint32_t seed = 7;
  for (int i = 0; i < 6; ++i)
    base.data[i] = Random(seed);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  stack.Expand(nullptr);
  for (int k = 1; k <= 3; ++k) {
    const CPixelArray* level = stack.GetLevel(k);
    for (int y = 0; y < level->height; ++y)
      for (int x = 0; x < level->width; ++x)
        ASSERT_EQ(level->GetPixel(x, y), base.GetPixel(x >> k, y >> k)) << k;
  }
}

TEST(SupersampleStackTest, ExpandStaysInsideItsClippedRectangle) {
  CPixelArray base(4, 4);
  base.Fill(0xFF0000FF);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  stack.Expand(nullptr);
  base.Fill(0xFFFF0000);
  Rect outside{5, 5, 9, 9}, empty{1, 1, 1, 2}, r{1, 1, 3, 2};
  stack.Expand(&outside);
  stack.Expand(&empty);
  stack.Expand(&r);
  const CPixelArray* top = stack.GetLevel(3);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      bool inside = x >= 8 && x < 24 && y >= 8 && y < 16;
      ASSERT_EQ(top->GetPixel(x, y), inside ? 0xFFFF0000u : 0xFF0000FFu) << x << "," << y;
    }
}

TEST(SupersampleStackTest, OneOpaqueRedAmongThreeTransparentIsNotDarkened) {
  CPixelArray base(2, 1);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  CPixelArray* top = stack.GetLevel(3);
  top->Fill(0x00FFFFFF);  // transparent but coloured
  top->SetPixel(0, 0, 0xFFFF0000);
  stack.Reduce(nullptr);
  EXPECT_EQ(stack.GetLevel(2)->GetPixel(0, 0), 0x40FF0000u);  // 255 / 4 rounded
  EXPECT_EQ(stack.GetLevel(2)->GetPixel(1, 0), 0u);
  EXPECT_EQ(base.GetPixel(1, 0), 0u);  // four transparent pixels give 0
}

TEST(SupersampleStackTest, ReductionMatchesAnIndependentAverageAtEveryLevel) {
  CPixelArray base(3, 2);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  CPixelArray* top = stack.GetLevel(3);
  uint32_t seed = 12345;
  for (int i = 0; i < top->width * top->height; ++i) {
    uint32_t v = Random(seed);
    if (v % 4 == 0)
      v &= 0x00FFFFFF;
    else if (v % 4 == 1)
      v |= 0xFF000000;
    top->data[i] = v;
  }
  stack.Reduce(nullptr);
  std::vector<uint32_t> expected = Pixels(*top);
  int w = top->width, h = top->height;
  for (int k = 2; k >= 0; --k) {
    std::vector<uint32_t> next(static_cast<size_t>(w / 2) * (h / 2));
    for (int y = 0; y < h / 2; ++y)
      for (int x = 0; x < w / 2; ++x) {
        const uint32_t block[4] = {expected[2 * y * w + 2 * x], expected[2 * y * w + 2 * x + 1],
                                   expected[(2 * y + 1) * w + 2 * x],
                                   expected[(2 * y + 1) * w + 2 * x + 1]};
        next[y * (w / 2) + x] = ReferenceAverage(block);
      }
    expected.swap(next);
    w /= 2;
    h /= 2;
    ASSERT_EQ(Pixels(*stack.GetLevel(k)), expected) << "level " << k;
  }
}

TEST(SupersampleStackTest, ReduceOfAnEightXEditChangesOnlyItsOneXRectangle) {
  CPixelArray base(4, 4);
  base.Fill(0xFF0000FF);
  CPixelSupersampleStack stack;
  stack.Attach(&base);
  stack.Expand(nullptr);
  stack.GetLevel(3)->Fill(0xFFFF0000);  // also outside the edited rectangle
  Rect r1 = SupersampleRectTo1x(Rect{9, 17, 12, 20});
  stack.Reduce(&r1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(base.GetPixel(x, y), (x == 1 && y == 2) ? 0xFFFF0000u : 0xFF0000FFu);
  EXPECT_EQ(stack.GetLevel(1)->GetPixel(2, 4), 0xFFFF0000u);
  EXPECT_EQ(stack.GetLevel(1)->GetPixel(0, 0), 0xFF0000FFu);
}

TEST(SupersampleStackTest, MaskReductionRoundsTheMeanAtEachLevel) {
  CMaskArray mask(2, 1);
  CMaskSupersampleStack stack;
  stack.Attach(&mask);
  CMaskArray* top = stack.GetLevel(3);
  top->Fill(0);
  At(top, 0, 0) = 255;
  At(top, 1, 0) = 255;
  At(top, 0, 1) = 1;
  At(top, 13, 2) = 1;  // alone in its block: gone at 4x
  stack.Reduce(nullptr);
  EXPECT_EQ(At(stack.GetLevel(2), 0, 0), 128);  // (255 + 255 + 1 + 0 + 2) >> 2
  EXPECT_EQ(At(stack.GetLevel(1), 0, 0), 32);
  EXPECT_EQ(At(&mask, 0, 0), 8);
  EXPECT_EQ(At(stack.GetLevel(2), 6, 1), 0);
  EXPECT_EQ(At(&mask, 1, 0), 0);
}

TEST(SupersampleStackTest, EightXRectanglesMapOutwardToOneX) {
  struct Case {
    Rect in, out;
  } cases[] = {
      {{0, 0, 8, 8}, {0, 0, 1, 1}},
      {{7, 9, 9, 17}, {0, 1, 2, 3}},
      {{-1, -9, 0, -8}, {-1, -2, 0, -1}},  // arithmetic shifts round down
  };
  for (const Case& c : cases) {
    Rect r = SupersampleRectTo1x(c.in);
    EXPECT_FALSE(r.NotEqual(c.out)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}
