#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <vector>
#include "common/BoxWatcher.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Quantizer.h"

namespace {

uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}
int R(uint32_t c) { return (c >> 16) & 0xFF; }
int G(uint32_t c) { return (c >> 8) & 0xFF; }
int B(uint32_t c) { return c & 0xFF; }
int A(uint32_t c) { return c >> 24; }

struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int Between(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }
};

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

void FillGradient(CPixelArray& pixels) {
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x)
      pixels.SetPixel(x, y,
                      Argb(255, x * 255 / (pixels.width - 1), y * 255 / (pixels.height - 1),
                           255 - (x + y) * 255 / (pixels.width + pixels.height - 2)));
}

// Smooth shapes of colour under grain, like a small photograph.
void FillPhotoNoise(CPixelArray& pixels, uint32_t seed) {
  Random random(seed);
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x) {
      double u = x / static_cast<double>(pixels.width), v = y / static_cast<double>(pixels.height);
      int r = static_cast<int>(128 + 90 * std::sin(6.1 * u + 1.3 * v) + 30 * std::cos(11 * v));
      int g = static_cast<int>(110 + 80 * std::sin(4.3 * v - 2.2 * u) + 20 * std::sin(17 * u * v));
      int b = static_cast<int>(90 + 70 * std::cos(5.7 * (u - v)) + 40 * u);
      pixels.SetPixel(x, y,
                      Argb(255, Clamp(r + random.Between(-12, 12)), Clamp(g + random.Between(-12, 12)),
                           Clamp(b + random.Between(-12, 12))));
    }
}

// A 32x32 icon of a few flat colours on a transparent background, with a translucent shadow.
void DrawIcon(CPixelArray& icon) {
  const uint32_t outline = 0xFF202020, face = 0xFFF0C020, eye = 0xFF3060D0, mouth = 0xFFC03030,
                 cheek = 0xFFF09080, shine = 0xFFFFFFF0, shadow = 0xC0000000, halo = 0x40808080,
                 leaf = 0xFF30A040, stem = 0xFF806020;
  icon.Fill(0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      int dx = x - 15, dy = y - 16, d2 = dx * dx + dy * dy;
      uint32_t c = 0;
      if (d2 <= 12 * 12)
        c = face;
      else if (d2 <= 13 * 13)
        c = outline;
      else if (d2 <= 14 * 14 && dx > 0 && dy > 0)
        c = shadow;
      else if (d2 <= 15 * 15)
        c = halo;
      if ((x == 10 || x == 20) && y >= 11 && y <= 13)
        c = eye;
      if (y == 21 && x >= 11 && x <= 19)
        c = mouth;
      if (y == 18 && (x == 7 || x == 8 || x == 22 || x == 23))
        c = cheek;
      if (x == 11 && y == 8)
        c = shine;
      if (y <= 3 && x >= 16 && x <= 17)
        c = stem;
      if (y <= 2 && x >= 18 && x <= 22)
        c = leaf;
      icon.SetPixel(x, y, c);
    }
}

std::vector<uint32_t> PaletteColors(const CPalette& palette) {
  std::vector<uint32_t> colors;
  for (int i = 0; i < palette.GetCount(); ++i)
    colors.push_back(palette.GetEntry(i)->GetColor());
  return colors;
}

int Distance2(uint32_t a, uint32_t b) {
  int dr = R(a) - R(b), dg = G(a) - G(b), db = B(a) - B(b);
  return dr * dr + dg * dg + db * db;
}

uint32_t NearestByLinearSearch(const std::vector<uint32_t>& colors, uint32_t c) {
  uint32_t best = 0;
  int bestDistance = -1;
  for (uint32_t p : colors) {
    if (A(p) == 0)
      continue;
    int d = Distance2(p, c);
    if (bestDistance < 0 || d < bestDistance) {
      best = p;
      bestDistance = d;
    }
  }
  return best;
}

// Mean squared error per channel of the opaque pixels against their nearest colours.
double MeanSquaredError(const CPixelArray& pixels, const std::vector<uint32_t>& colors) {
  double sum = 0;
  long long n = 0;
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x) {
      uint32_t c = pixels.GetPixel(x, y);
      sum += Distance2(c, NearestByLinearSearch(colors, c));
      n += 3;
    }
  return sum / static_cast<double>(n);
}

std::vector<uint32_t> UniformPalette(int levelsR, int levelsG, int levelsB) {
  std::vector<uint32_t> colors;
  for (int r = 0; r < levelsR; ++r)
    for (int g = 0; g < levelsG; ++g)
      for (int b = 0; b < levelsB; ++b)
        colors.push_back(Argb(255, (r * 255 + (levelsR - 1) / 2) / (levelsR - 1),
                              (g * 255 + (levelsG - 1) / 2) / (levelsG - 1),
                              (b * 255 + (levelsB - 1) / 2) / (levelsB - 1)));
  return colors;
}

void Quantize(const CPixelArray& pixels, CPalette& palette, int maximum) {
  CColorQuantizer quantizer;
  quantizer.SetPalette(&palette);
  quantizer.SetMaximum(maximum);
  quantizer.Quantize(&pixels);
}

}  // namespace

TEST(ColorQuantizer, Defaults) {
  CColorQuantizer quantizer;
  EXPECT_EQ(quantizer.GetMaximum(), 256);
  EXPECT_EQ(quantizer.GetPalette(), nullptr);
}

TEST(ColorQuantizer, OneColourAndSomeTransparentPixels) {
  CPixelArray pixels(8, 8);
  pixels.Fill(0xFF336699);
  pixels.SetPixel(1, 1, 0x7F336699);  // alpha below 128: transparent
  pixels.SetPixel(2, 5, 0x00FFFFFF);
  pixels.SetPixel(3, 3, 0x80336699);  // alpha 128 counts as the colour
  CPalette palette;
  Quantize(pixels, palette, 256);
  ASSERT_EQ(palette.GetCount(), 2);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0xFF336699u);
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), 0x00000000u);
}

TEST(ColorQuantizer, ThreeHundredColoursFillTheWholePalette) {
  CPixelArray pixels(30, 10);
  for (int i = 0; i < 300; ++i)
    pixels.SetPixel(i % 30, i / 30, Argb(255, (i * 37) & 0xFF, (i * 91) & 0xFF, i / 2));
  std::set<uint32_t> distinct;
  for (int i = 0; i < 300; ++i)
    distinct.insert(pixels.GetPixel(i % 30, i / 30));
  ASSERT_EQ(distinct.size(), 300u);

  CPalette palette;
  Quantize(pixels, palette, 256);
  ASSERT_EQ(palette.GetCount(), 256);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(palette.GetEntry(i)->GetAlpha(), 255);

  pixels.SetPixel(0, 0, 0x10000000);
  Quantize(pixels, palette, 256);
  ASSERT_EQ(palette.GetCount(), 256);
  for (int i = 0; i < 255; ++i)
    EXPECT_EQ(palette.GetEntry(i)->GetAlpha(), 255);
  EXPECT_EQ(palette.GetEntry(255)->GetColor(), 0x00000000u);
}

TEST(ColorQuantizer, FullyTransparentAndEmptyImages) {
  CPalette palette;
  palette.SetFixed(2);
  CPixelArray clear(5, 4);
  clear.Fill(0x7FFFFFFF);
  Quantize(clear, palette, 256);
  ASSERT_EQ(palette.GetCount(), 1);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0x00000000u);

  palette.SetFixed(2);
  CPixelArray empty;
  Quantize(empty, palette, 256);
  EXPECT_EQ(palette.GetCount(), 0);
}

TEST(ColorQuantizer, NothingWithoutPaletteOrSource) {
  CPixelArray pixels(4, 4);
  pixels.Fill(0xFF112233);
  CColorQuantizer quantizer;
  quantizer.Quantize(&pixels);  // no palette: nothing happens
  CPalette palette;
  palette.SetFixed(2);
  quantizer.SetPalette(&palette);
  quantizer.Quantize(nullptr);
  EXPECT_EQ(palette.GetCount(), 16);
  quantizer.Quantize(&pixels);
  ASSERT_EQ(palette.GetCount(), 1);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0xFF112233u);
}

TEST(ColorQuantizer, WeightedMeanOfMergedColours) {
  CPixelArray pixels(4, 1);
  pixels.SetPixel(0, 0, Argb(255, 10, 20, 30));
  pixels.SetPixel(1, 0, Argb(255, 10, 20, 30));
  pixels.SetPixel(2, 0, Argb(255, 10, 20, 30));
  pixels.SetPixel(3, 0, Argb(255, 50, 60, 71));
  CPalette palette;
  Quantize(pixels, palette, 1);
  ASSERT_EQ(palette.GetCount(), 1);
  // (3 * 10 + 50) / 4 = 20, (3 * 20 + 60) / 4 = 30, (3 * 30 + 71) / 4 = 40.25
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), Argb(255, 20, 30, 40));

  // With transparency a maximum of one leaves room for the transparent entry only.
  pixels.SetPixel(3, 0, 0);
  Quantize(pixels, palette, 1);
  ASSERT_EQ(palette.GetCount(), 1);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0u);
}

TEST(ColorQuantizer, BoxesSplitAtTheMiddleOfTheWidestChannel) {
  CPixelArray pixels(4, 1);
  pixels.SetPixel(0, 0, Argb(255, 0, 7, 7));
  pixels.SetPixel(1, 0, Argb(255, 10, 7, 7));
  pixels.SetPixel(2, 0, Argb(255, 200, 7, 7));
  pixels.SetPixel(3, 0, Argb(255, 250, 7, 7));
  CPalette palette;
  // Red spans 0..250, the cut is at 125: {0, 10} and {200, 250}.
  Quantize(pixels, palette, 2);
  ASSERT_EQ(palette.GetCount(), 2);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), Argb(255, 5, 7, 7));
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), Argb(255, 225, 7, 7));
  // The upper box has the larger spread (1250 against 50) and is split next, in place.
  Quantize(pixels, palette, 3);
  ASSERT_EQ(palette.GetCount(), 3);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), Argb(255, 5, 7, 7));
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), Argb(255, 200, 7, 7));
  EXPECT_EQ(palette.GetEntry(2)->GetColor(), Argb(255, 250, 7, 7));
}

TEST(ColorQuantizer, AxisWithTheLargestSpreadIsCut) {
  // Green varies most: the two greens split, red stays merged.
  CPixelArray pixels(4, 1);
  pixels.SetPixel(0, 0, Argb(255, 100, 0, 50));
  pixels.SetPixel(1, 0, Argb(255, 120, 0, 50));
  pixels.SetPixel(2, 0, Argb(255, 100, 200, 50));
  pixels.SetPixel(3, 0, Argb(255, 120, 200, 50));
  CPalette palette;
  Quantize(pixels, palette, 2);
  ASSERT_EQ(palette.GetCount(), 2);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), Argb(255, 110, 0, 50));
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), Argb(255, 110, 200, 50));
}

TEST(ColorQuantizer, FewColourIconMapsExactly) {
  CPixelArray icon(32, 32);
  DrawIcon(icon);
  std::set<uint32_t> opaque;
  bool transparent = false;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      uint32_t c = icon.GetPixel(x, y);
      if (A(c) >= 128)
        opaque.insert(c & 0xFFFFFF);
      else
        transparent = true;
    }
  ASSERT_TRUE(transparent);
  ASSERT_EQ(opaque.size(), 9u);  // the shadow counts as black, the faint halo as transparent
  const int n = static_cast<int>(opaque.size());

  for (int maximum : {256, 16, n + 1}) {
    CPalette palette;
    Quantize(icon, palette, maximum);
    ASSERT_EQ(palette.GetCount(), n + 1) << maximum;
    std::set<uint32_t> colors;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(palette.GetEntry(i)->GetAlpha(), 255);
      colors.insert(palette.GetEntry(i)->GetColor() & 0xFFFFFF);
    }
    EXPECT_EQ(colors, opaque);
    EXPECT_EQ(palette.GetEntry(n)->GetColor(), 0u);

    palette.Reorder(1);
    EXPECT_EQ(palette.GetEntry(n)->GetColor(), 0u);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        uint32_t c = icon.GetPixel(x, y);
        int index = palette.FindNearestArgb(c);
        ASSERT_GE(index, 0);
        if (A(c) < 128)
          EXPECT_EQ(index, n);
        else
          EXPECT_EQ(palette.GetEntry(index)->GetColor(), 0xFF000000u | (c & 0xFFFFFF));
      }
  }
}

TEST(ColorQuantizer, IconWithTooManyColoursForTheMaximumMergesTheClosest) {
  CPixelArray icon(32, 32);
  DrawIcon(icon);
  CPalette palette;
  Quantize(icon, palette, 5);  // four colours and the transparent entry
  ASSERT_EQ(palette.GetCount(), 5);
  EXPECT_EQ(palette.GetEntry(4)->GetColor(), 0u);
  // Each opaque pixel is mapped no worse than to the mean of its box; the face colour, which
  // covers most pixels, keeps a palette colour close to it.
  std::vector<uint32_t> colors = PaletteColors(palette);
  EXPECT_LT(Distance2(NearestByLinearSearch(colors, 0xFFF0C020), 0xFFF0C020), 40 * 40);
}

TEST(ColorOctree, KeepsEveryColourUpToTheLeafLimit) {
  CColorOctree octree;
  for (int i = 0; i < 4096; ++i)
    octree.AddColor(i & 15, (i >> 4) & 15, (i >> 8) * 17);
  EXPECT_EQ(octree.GetLeafCount(), 4096);
  octree.AddColor(3, 4, 17);  // known colour: no new leaf
  EXPECT_EQ(octree.GetLeafCount(), 4096);
  std::vector<CColorOctree::Leaf> table(CColorOctree::MAX_LEAVES);
  ASSERT_EQ(octree.ReadLeaves(table.data()), 4096);
  std::map<std::tuple<int, int, int>, int> counts;
  for (const auto& leaf : table)
    counts[std::make_tuple(leaf.red, leaf.green, leaf.blue)] += leaf.count;
  EXPECT_EQ(counts.size(), 4096u);
  EXPECT_EQ((counts[std::make_tuple(3, 4, 17)]), 2);
  EXPECT_EQ((counts[std::make_tuple(15, 15, 255)]), 1);
}

TEST(ColorOctree, LeavesAreReadDepthFirstInChildOrder) {
  CColorOctree octree;
  octree.AddColor(255, 0, 0);    // root child 4
  octree.AddColor(0, 255, 0);    // root child 2
  octree.AddColor(0, 0, 255);    // root child 1
  octree.AddColor(0, 0, 0);      // root child 0
  octree.AddColor(0, 0, 1);      // beside black at the last level
  octree.AddColor(128, 128, 128);  // root child 7
  CColorOctree::Leaf table[CColorOctree::MAX_LEAVES];
  ASSERT_EQ(octree.ReadLeaves(table), 6);
  const int expected[6][3] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {128, 128, 128}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table[i].red, expected[i][0]) << i;
    EXPECT_EQ(table[i].green, expected[i][1]) << i;
    EXPECT_EQ(table[i].blue, expected[i][2]) << i;
    EXPECT_EQ(table[i].count, 1);
  }
  octree.Clear();
  EXPECT_EQ(octree.GetLeafCount(), 0);
  EXPECT_EQ(octree.ReadLeaves(table), 0);
}

TEST(ColorOctree, TheLeafOverTheLimitFoldsTheNewestBranchOfTheLastLevel) {
  // Pairs of colours that differ only in the lowest blue bit share their last branching node;
  // red and green are even, so no two pairs share one.
  // The first colour of a pair is added twice, the second once.
  CColorOctree octree;
  for (int i = 0; i < 2049; ++i) {
    int r = (i & 0x7F) * 2, g = (i >> 7) * 2;
    octree.AddColor(r, g, 2);
    EXPECT_LE(octree.GetLeafCount(), 4096);
    octree.AddColor(r, g, 2);
    octree.AddColor(r, g, 3);
    EXPECT_LE(octree.GetLeafCount(), 4096);
  }
  EXPECT_EQ(octree.GetLeafCount(), 4096);
  std::vector<CColorOctree::Leaf> table(CColorOctree::MAX_LEAVES);
  ASSERT_EQ(octree.ReadLeaves(table.data()), 4096);
  std::map<std::tuple<int, int, int, int>, int> leaves;
  for (const auto& leaf : table)
    ++leaves[std::make_tuple(leaf.count, leaf.red, leaf.green, leaf.blue)];
  // When the first colour of pair 2048 arrives, pair 2047 (the newest pair) is folded; the
  // second colour of pair 2048 then folds its own pair. Folded: count 3, blue 7 / 3 -> 2.
  std::map<std::tuple<int, int, int, int>, int> expected;
  for (int i = 0; i < 2047; ++i) {
    expected[std::make_tuple(2, (i & 0x7F) * 2, (i >> 7) * 2, 2)] = 1;
    expected[std::make_tuple(1, (i & 0x7F) * 2, (i >> 7) * 2, 3)] = 1;
  }
  expected[std::make_tuple(3, 0x7F * 2, 15 * 2, 2)] = 1;  // pair 2047
  expected[std::make_tuple(3, 0, 16 * 2, 2)] = 1;         // pair 2048
  EXPECT_EQ(leaves, expected);
}

TEST(ColorOctree, ManyColoursStayWithinTheLimitAndKeepTheirWeight) {
  CPixelArray pixels(256, 256);
  FillPhotoNoise(pixels, 5);
  CColorOctree octree;
  double sum[3] = {0, 0, 0};
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint32_t c = pixels.GetPixel(x, y);
      octree.AddColor(R(c), G(c), B(c));
      ASSERT_LE(octree.GetLeafCount(), 4096);
      sum[0] += R(c);
      sum[1] += G(c);
      sum[2] += B(c);
    }
  std::vector<CColorOctree::Leaf> table(CColorOctree::MAX_LEAVES);
  int n = octree.ReadLeaves(table.data());
  EXPECT_EQ(n, octree.GetLeafCount());
  EXPECT_GT(n, 1000);
  long long total = 0;
  double leafSum[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i) {
    total += table[i].count;
    leafSum[0] += static_cast<double>(table[i].count) * table[i].red;
    leafSum[1] += static_cast<double>(table[i].count) * table[i].green;
    leafSum[2] += static_cast<double>(table[i].count) * table[i].blue;
  }
  EXPECT_EQ(total, 65536);
  // Rounding each leaf's mean moves the overall mean by at most half a step.
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(leafSum[k] / 65536, sum[k] / 65536, 0.5);
}

TEST(ColorQuantizer, GradientTo256And16ColoursBeatsAUniformPalette) {
  CPixelArray pixels(256, 256);
  FillGradient(pixels);
  CPalette palette;
  Quantize(pixels, palette, 256);
  ASSERT_EQ(palette.GetCount(), 256);
  double mse256 = MeanSquaredError(pixels, PaletteColors(palette));
  double uniform256 = MeanSquaredError(pixels, UniformPalette(8, 8, 4));
  EXPECT_LT(mse256, uniform256);
  EXPECT_LT(std::sqrt(mse256), 6.0);

  Quantize(pixels, palette, 16);
  ASSERT_EQ(palette.GetCount(), 16);
  double mse16 = MeanSquaredError(pixels, PaletteColors(palette));
  double uniform16 = MeanSquaredError(pixels, UniformPalette(4, 2, 2));
  EXPECT_LT(mse16, uniform16);
  EXPECT_GT(mse16, mse256);
}

TEST(ColorQuantizer, PhotoNoiseTo256ColoursAndMappingThroughTheLookup) {
  CPixelArray pixels(128, 128);
  FillPhotoNoise(pixels, 11);
  CPalette palette;
  Quantize(pixels, palette, 256);
  ASSERT_EQ(palette.GetCount(), 256);
  palette.Reorder(1);
  std::vector<uint32_t> colors = PaletteColors(palette);
  double best = MeanSquaredError(pixels, colors);
  EXPECT_LT(best, MeanSquaredError(pixels, UniformPalette(8, 8, 4)));

  // Through the lookup: never better than the linear search, and not far from it.
  double sum = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      uint32_t c = pixels.GetPixel(x, y);
      int index = palette.FindNearestArgb(c);
      ASSERT_GE(index, 0);
      sum += Distance2(c, palette.GetEntry(index)->GetColor());
    }
  double mapped = sum / (128.0 * 128.0 * 3.0);
  EXPECT_GE(mapped, best - 1e-9);
  EXPECT_LT(mapped, best * 1.25);
}

TEST(ColorQuantizer, ReducesToTheFixedPalettesThroughTheLookup) {
  // 1- and 4-bit images use the fixed palettes; check the mapping against a linear search.
  CPixelArray pixels(64, 64);
  FillGradient(pixels);
  for (int kind : {1, 2}) {
    CPalette palette;
    palette.SetFixed(kind);
    std::vector<uint32_t> colors = PaletteColors(palette);
    int exact = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        uint32_t c = pixels.GetPixel(x, y);
        int index = palette.FindNearestArgb(c);
        ASSERT_GE(index, 0);
        exact += Distance2(c, colors[index]) == Distance2(c, NearestByLinearSearch(colors, c));
      }
    EXPECT_EQ(exact, 64 * 64) << kind;
  }
}
