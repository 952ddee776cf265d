#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>
#include "common/BoxWatcher.h"
#include "document/Palette.h"

namespace {

uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}

struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

int Distance2(uint32_t a, uint32_t b) {
  int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
  int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
  int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
  return dr * dr + dg * dg + db * db;
}

// The smallest squared RGB distance from c to an entry with alpha above 0, by linear search.
int NearestDistance2(const CPalette& palette, uint32_t c) {
  int best = -1;
  for (int i = 0; i < palette.GetCount(); ++i) {
    const CPaletteEntry* e = palette.GetEntry(i);
    if (e->GetAlpha() == 0)
      continue;
    int d = Distance2(e->GetColor(), c);
    if (best < 0 || d < best)
      best = d;
  }
  return best;
}

void FillDistinctRandom(CPalette& palette, int n, Random& random) {
  palette.SetCount(n);
  std::set<uint32_t> used;
  for (int i = 0; i < n; ++i) {
    uint32_t c;
    do
      c = random.Next() & 0xFFFFFF;
    while (!used.insert(c).second);
    palette.GetEntry(i)->SetColor(0xFF000000u | c);
  }
}

}  // namespace

TEST(PaletteEntry, SettersLimitToByteRange) {
  CPalette palette;
  palette.SetCount(1);
  CPaletteEntry* e = palette.GetEntry(0);
  e->SetArgb(300, 10, -5, 256);
  EXPECT_EQ(e->GetAlpha(), 255);
  EXPECT_EQ(e->GetRed(), 10);
  EXPECT_EQ(e->GetGreen(), 0);
  EXPECT_EQ(e->GetBlue(), 255);
  EXPECT_EQ(e->GetColor(), 0xFF0A00FFu);

  e->SetAlpha(17);
  e->SetRgb(1, 2, 3);
  EXPECT_EQ(e->GetColor(), 0xFF010203u);
  e->SetAlpha(17);
  e->SetRed(1000);
  e->SetGreen(0x44);
  e->SetBlue(-1);
  EXPECT_EQ(e->GetColor(), 0x11FF4400u);
  e->SetColor(0x80123456u);
  EXPECT_EQ(e->GetAlpha(), 0x80);
  EXPECT_EQ(e->GetRed(), 0x12);
  EXPECT_EQ(e->GetGreen(), 0x34);
  EXPECT_EQ(e->GetBlue(), 0x56);
  EXPECT_EQ(e->GetColor(), 0x80123456u);
}

TEST(PaletteEntry, StandaloneEntryHasNoOwner) {
  CPaletteEntry e;
  EXPECT_EQ(e.GetIndex(), -1);
  EXPECT_EQ(e.GetOwner(), nullptr);
  e.SetRgb(5, 6, 7);
  EXPECT_EQ(e.GetColor(), 0xFF050607u);
}

TEST(Palette, StartsEmpty) {
  CPalette palette;
  EXPECT_EQ(palette.GetCount(), 0);
  EXPECT_EQ(palette.GetCapacity(), 0);
  EXPECT_EQ(palette.GetEntry(0), nullptr);
  EXPECT_EQ(palette.GetTransparentIndex(), -1);
  EXPECT_FALSE(palette.IsLookupBuilt());
  EXPECT_EQ(palette.GetMemorySize(), 52u);
  EXPECT_EQ(palette.FindNearest(255, 1, 2, 3), -1);
  EXPECT_EQ(palette.FindNearest(0, 1, 2, 3), -1);
  EXPECT_TRUE(palette.IsLookupBuilt());
}

TEST(Palette, SetCountGrowsByDoublingAndShrinksAtAQuarter) {
  CPalette palette;
  palette.SetCount(16);
  EXPECT_EQ(palette.GetCapacity(), 16);
  EXPECT_EQ(palette.GetMemorySize(), 52u + 16 * 24);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(palette.GetEntry(i)->GetIndex(), i);
    EXPECT_EQ(palette.GetEntry(i)->GetOwner(), &palette);
    EXPECT_EQ(palette.GetEntry(i)->GetColor(), 0xFF000000u);
    palette.GetEntry(i)->SetRgb(i, i, i);
  }
  EXPECT_EQ(palette.GetEntry(16), nullptr);
  EXPECT_EQ(palette.GetEntry(-1), nullptr);

  palette.SetCount(17);  // a new array of 32 opaque black entries
  EXPECT_EQ(palette.GetCount(), 17);
  EXPECT_EQ(palette.GetCapacity(), 32);
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(palette.GetEntry(i)->GetColor(), 0xFF000000u) << i;
    EXPECT_EQ(palette.GetEntry(i)->GetIndex(), i);
  }
  palette.GetEntry(3)->SetRgb(9, 9, 9);
  CPaletteEntry* before = palette.GetEntry(0);

  palette.SetCount(16);  // keeps the array and its contents
  EXPECT_EQ(palette.GetCapacity(), 32);
  EXPECT_EQ(palette.GetEntry(0), before);
  EXPECT_EQ(palette.GetEntry(3)->GetColor(), 0xFF090909u);

  palette.SetCount(5);  // a quarter of 32 is 8 > 5, a quarter of 16 is 4
  EXPECT_EQ(palette.GetCapacity(), 16);
  palette.SetCount(3);
  EXPECT_EQ(palette.GetCapacity(), 8);
  palette.SetCount(256);
  EXPECT_EQ(palette.GetCapacity(), 256);
  palette.SetCount(0);
  EXPECT_EQ(palette.GetCapacity(), 0);
  EXPECT_EQ(palette.GetCount(), 0);
  EXPECT_EQ(palette.GetMemorySize(), 52u);
}

TEST(Palette, OversizedCountIsRefusedWithErrorBox) {
  BoxWatcher critical("Vellumcraft :: Critical Error");
  BoxWatcher watcher("Vellumcraft :: Error");
  CPalette palette;
  palette.SetCount(4);
  palette.SetCount(65537);
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Palette array allocation failed");
  EXPECT_EQ(palette.GetCount(), 0);
  EXPECT_EQ(palette.GetCapacity(), 0);
  EXPECT_EQ(palette.GetEntry(0), nullptr);
  palette.SetCount(0x7FFFFFFF);
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ(palette.GetCount(), 0);
  // Still usable afterwards.
  palette.SetCount(65536);
  EXPECT_EQ(palette.GetCount(), 65536);
  EXPECT_EQ(palette.GetCapacity(), 65536);
  palette.SetCount(-3);
  EXPECT_EQ(palette.GetCount(), 0);
  Sleep(50);
  EXPECT_EQ(watcher.Count(), 2u);
  EXPECT_EQ(critical.Count(), 0u);
}

TEST(Palette, FixedPalettes) {
  CPalette palette;
  palette.SetFixed(CPalette::FIXED_2_COLORS);
  ASSERT_EQ(palette.GetCount(), 2);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0xFF000000u);
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), 0xFFFFFFFFu);
  EXPECT_EQ(palette.FindNearest(255, 100, 100, 100), 0);
  EXPECT_EQ(palette.FindNearest(255, 150, 150, 150), 1);
  EXPECT_EQ(palette.FindNearest(255, 255, 0, 0), 0);   // 255^2 against 2 * 255^2
  EXPECT_EQ(palette.FindNearest(255, 255, 255, 0), 1);

  palette.SetFixed(2);
  const uint32_t expected[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                                 0xFF008080, 0xFF808080, 0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
  ASSERT_EQ(palette.GetCount(), 16);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(palette.GetEntry(i)->GetColor(), expected[i]) << i;
  EXPECT_EQ(palette.FindNearest(255, 255, 0, 0), 9);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(palette.FindNearestArgb(expected[i]), i);

  palette.SetFixed(3);  // unknown kinds change nothing
  palette.SetFixed(0);
  EXPECT_EQ(palette.GetCount(), 16);
  EXPECT_EQ(palette.GetEntry(9)->GetColor(), 0xFFFF0000u);
}

TEST(Palette, AlphaBelowHalfGivesTheTransparentIndex) {
  CPalette palette;
  palette.SetCount(3);
  palette.GetEntry(0)->SetRgb(200, 0, 0);
  palette.GetEntry(1)->SetRgb(0, 200, 0);
  palette.GetEntry(2)->SetRgb(0, 0, 200);
  EXPECT_EQ(palette.FindNearest(127, 200, 0, 0), -1);  // no transparent entry
  EXPECT_EQ(palette.FindNearest(128, 200, 0, 0), 0);
  EXPECT_EQ(palette.FindNearestArgb(0x7F00C800u), -1);
  EXPECT_EQ(palette.FindNearestArgb(0x8000C800u), 1);

  palette.SetCount(5);
  palette.GetEntry(0)->SetArgb(0, 0, 0, 0);
  palette.GetEntry(1)->SetRgb(200, 0, 0);
  palette.GetEntry(2)->SetArgb(0, 10, 20, 30);
  palette.GetEntry(3)->SetRgb(0, 200, 0);
  palette.GetEntry(4)->SetArgb(100, 0, 0, 200);  // partly transparent, still a colour
  EXPECT_EQ(palette.FindNearest(127, 200, 0, 0), 2);  // the last alpha-0 entry
  EXPECT_EQ(palette.GetTransparentIndex(), 2);
  EXPECT_EQ(palette.FindNearest(128, 200, 0, 0), 1);
  EXPECT_EQ(palette.FindNearest(255, 10, 20, 30), 4);  // alpha-0 entries are never matched by colour
  EXPECT_EQ(palette.FindNearest(255, 0, 0, 190), 4);
}

TEST(Palette, OnlyTransparentEntriesMapNoColour) {
  CPalette palette;
  palette.SetCount(2);
  palette.GetEntry(0)->SetArgb(0, 0, 0, 0);
  palette.GetEntry(1)->SetArgb(0, 255, 255, 255);
  EXPECT_EQ(palette.FindNearest(255, 0, 0, 0), -1);
  EXPECT_EQ(palette.FindNearest(0, 0, 0, 0), 1);
}

TEST(Palette, AnyEntryChangeDropsTheLookup) {
  CPalette palette;
  palette.SetCount(2);
  palette.GetEntry(0)->SetRgb(0, 0, 0);
  palette.GetEntry(1)->SetRgb(255, 255, 255);
  EXPECT_EQ(palette.FindNearest(255, 250, 250, 250), 1);
  EXPECT_TRUE(palette.IsLookupBuilt());
  palette.GetEntry(1)->SetRed(0);
  EXPECT_FALSE(palette.IsLookupBuilt());
  palette.GetEntry(1)->SetGreen(0);
  palette.GetEntry(1)->SetBlue(0);
  palette.GetEntry(0)->SetColor(0xFFF0F0F0u);
  EXPECT_EQ(palette.FindNearest(255, 250, 250, 250), 0);
  EXPECT_TRUE(palette.IsLookupBuilt());
  palette.GetEntry(0)->SetAlpha(0);
  EXPECT_FALSE(palette.IsLookupBuilt());
  EXPECT_EQ(palette.FindNearest(255, 250, 250, 250), 1);
  EXPECT_EQ(palette.FindNearest(0, 250, 250, 250), 0);
  palette.SetCount(3);
  EXPECT_FALSE(palette.IsLookupBuilt());
  palette.FindNearest(255, 0, 0, 0);
  palette.ClearLookup();
  EXPECT_FALSE(palette.IsLookupBuilt());
}

TEST(Palette, DuplicatedColoursMapToOneOfThem) {
  CPalette palette;
  palette.SetCount(6);
  const uint32_t colors[6] = {0xFF102030, 0xFF405060, 0xFF102030, 0xFFA0B0C0, 0xFF405060, 0xFF102030};
  for (int i = 0; i < 6; ++i)
    palette.GetEntry(i)->SetColor(colors[i]);
  for (int i = 0; i < 6; ++i) {
    int index = palette.FindNearestArgb(colors[i]);
    ASSERT_GE(index, 0);
    EXPECT_EQ(palette.GetEntry(index)->GetColor(), colors[i]);
  }
}

TEST(Palette, EveryPaletteColourMapsToItself) {
  Random random(12345);
  for (int n = 1; n <= 256; n = n < 20 ? n + 1 : n * 2) {
    CPalette palette;
    FillDistinctRandom(palette, std::min(n, 256), random);
    for (int i = 0; i < palette.GetCount(); ++i)
      ASSERT_EQ(palette.FindNearestArgb(palette.GetEntry(i)->GetColor()), i) << "palette of " << n;
  }
}

TEST(Palette, ClusteredColoursMapToThemselves) {
  // Neighbouring colours one step apart, as in a smooth icon palette.
  CPalette palette;
  palette.SetCount(125);
  int i = 0;
  for (int r = 0; r < 5; ++r)
    for (int g = 0; g < 5; ++g)
      for (int b = 0; b < 5; ++b)
        palette.GetEntry(i++)->SetRgb(100 + r, 50 + 2 * g, 200 + b);
  for (int j = 0; j < 125; ++j)
    EXPECT_EQ(palette.FindNearestArgb(palette.GetEntry(j)->GetColor()), j);
  // A colour outside the cluster maps to the cluster's nearest corner.
  EXPECT_EQ(palette.GetEntry(palette.FindNearest(255, 0, 0, 0))->GetColor(), 0xFF643200u | 200);
  EXPECT_EQ(palette.GetEntry(palette.FindNearest(255, 255, 255, 255))->GetColor(), 0xFF683AC8u | 4);
}

TEST(Palette, LookupAgreesWithLinearSearchOnAFixedPalette) {
  // On the 16-colour palette every colour of a sampled cube is checked against a linear search.
  CPalette palette;
  palette.SetFixed(2);
  int exact = 0, total = 0;
  long long extra = 0;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        uint32_t c = Argb(255, r, g, b);
        int index = palette.FindNearestArgb(c);
        ASSERT_GE(index, 0);
        int d = Distance2(palette.GetEntry(index)->GetColor(), c);
        int best = NearestDistance2(palette, c);
        ASSERT_GE(d, best);
        exact += d == best;
        extra += d - best;
        ++total;
      }
  EXPECT_EQ(exact, total);
  EXPECT_EQ(extra, 0);
}

TEST(Palette, LookupIsCloseToLinearSearchOnRandomPalettes) {
  Random random(777);
  for (int size : {8, 64, 256}) {
    CPalette palette;
    FillDistinctRandom(palette, size, random);
    int exact = 0;
    const int total = 20000;
    double ratio = 0;
    for (int k = 0; k < total; ++k) {
      uint32_t c = 0xFF000000u | (random.Next() & 0xFFFFFF);
      int index = palette.FindNearestArgb(c);
      ASSERT_GE(index, 0);
      int d = Distance2(palette.GetEntry(index)->GetColor(), c);
      int best = NearestDistance2(palette, c);
      ASSERT_GE(d, best);
      exact += d == best;
      ratio += best ? static_cast<double>(d) / best : 1.0;
    }
    EXPECT_GE(exact * 100, total * 95) << size;
    EXPECT_LT(ratio / total, 1.02) << size;
  }
}

TEST(Palette, ReorderPutsGreyBetweenBlackAndWhite) {
  CPalette palette;
  palette.SetCount(3);
  palette.GetEntry(0)->SetRgb(0, 0, 0);
  palette.GetEntry(1)->SetRgb(255, 255, 255);
  palette.GetEntry(2)->SetRgb(128, 128, 128);
  palette.Reorder(CPalette::ORDER_LAB_PATH);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), 0xFF000000u);
  EXPECT_EQ(palette.GetEntry(1)->GetColor(), 0xFF808080u);
  EXPECT_EQ(palette.GetEntry(2)->GetColor(), 0xFFFFFFFFu);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(palette.GetEntry(i)->GetIndex(), i);
    EXPECT_EQ(palette.GetEntry(i)->GetOwner(), &palette);
  }
}

TEST(Palette, ReorderSortsAShuffledGreyRampAndKeepsTranslucentEntriesLast) {
  Random random(99);
  std::vector<uint32_t> greys;
  for (int v = 0; v < 256; v += 3)
    greys.push_back(Argb(255, v, v, v));
  std::vector<uint32_t> contents = greys;
  for (size_t i = contents.size() - 1; i > 0; --i)
    std::swap(contents[i], contents[random.Below(static_cast<int>(i + 1))]);
  const uint32_t translucent[3] = {0x00000000u, 0x80FF0000u, 0xFE00FF00u};
  contents.insert(contents.begin(), translucent[0]);
  contents.insert(contents.begin() + 30, translucent[1]);
  contents.push_back(translucent[2]);

  CPalette palette;
  palette.SetCount(static_cast<int>(contents.size()));
  for (size_t i = 0; i < contents.size(); ++i)
    palette.GetEntry(static_cast<int>(i))->SetColor(contents[i]);
  palette.Reorder(1);

  ASSERT_EQ(palette.GetCount(), static_cast<int>(contents.size()));
  const int n = static_cast<int>(greys.size());
  for (int i = 0; i < n; ++i)
    EXPECT_EQ(palette.GetEntry(i)->GetColor(), greys[i]) << i;
  EXPECT_EQ(palette.GetEntry(n)->GetColor(), translucent[0]);
  EXPECT_EQ(palette.GetEntry(n + 1)->GetColor(), translucent[1]);
  EXPECT_EQ(palette.GetEntry(n + 2)->GetColor(), translucent[2]);
}

TEST(Palette, ReorderIsAPermutationStartingDarkAndEndingLight) {
  Random random(4242);
  CPalette palette;
  FillDistinctRandom(palette, 200, random);
  std::multiset<uint32_t> before;
  for (int i = 0; i < palette.GetCount(); ++i)
    before.insert(palette.GetEntry(i)->GetColor());
  EXPECT_GE(palette.FindNearest(255, 1, 2, 3), 0);
  palette.Reorder(1);
  EXPECT_FALSE(palette.IsLookupBuilt());
  std::multiset<uint32_t> after;
  for (int i = 0; i < palette.GetCount(); ++i)
    after.insert(palette.GetEntry(i)->GetColor());
  EXPECT_EQ(before, after);

  // The path leaves black for the colour nearest to it and reaches white last.
  auto luma = [](uint32_t c) {
    return 0.2126 * ((c >> 16) & 0xFF) + 0.7152 * ((c >> 8) & 0xFF) + 0.0722 * (c & 0xFF);
  };
  double firstQuarter = 0, lastQuarter = 0;
  for (int i = 0; i < 50; ++i) {
    firstQuarter += luma(palette.GetEntry(i)->GetColor());
    lastQuarter += luma(palette.GetEntry(150 + i)->GetColor());
  }
  EXPECT_LT(firstQuarter, lastQuarter);

  // Unknown kinds leave the order alone.
  uint32_t first = palette.GetEntry(0)->GetColor();
  palette.Reorder(0);
  palette.Reorder(2);
  EXPECT_EQ(palette.GetEntry(0)->GetColor(), first);
}

TEST(Palette, ReorderOfAnEmptyPaletteDoesNothing) {
  CPalette palette;
  palette.Reorder(1);
  EXPECT_EQ(palette.GetCount(), 0);
}
