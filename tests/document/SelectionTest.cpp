#include <gtest/gtest.h>
#include <cstdint>
#include <set>
#include <utility>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Selection.h"

namespace {

const uint32_t kPattern[8] = {0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0,
                              0xFFFFFFFF, 0xFFC0C0C0, 0xFF808080, 0xFF404040};
const uint32_t kBackground = 0x12345678;

typedef std::set<std::pair<int, int>> PixelSet;

uint8_t& At(CMaskArray* m, int x, int y) {
  return m->data[y * m->width + x];
}

void ExpectRect(const Rect& r, int l, int t, int rr, int b) {
  EXPECT_FALSE(r.NotEqual(Rect{l, t, rr, b}))
      << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

// An image with one raster layer, supersampled when asked, and its selection.
struct TestImage {
  explicit TestImage(int w, int h, bool supersampled = false) {
    image.SetSize(w, h);
    layer = new CRasterLayer();
    image.AddLayer(layer);
    if (supersampled) {
      layer->SetSupersampling(true);
      image.UpdateAll();
    }
    s = image.GetSelection();
  }
  CImage image;
  CRasterLayer* layer;
  CSelection* s;
};

// Draws the outline into a fresh view and returns the pixels it changed.
PixelSet Outline(const CSelection* s, int viewW, int viewH, Rect rect, Point origin, int zoom,
                 int phase, CPixelArray* keep = nullptr) {
  CPixelArray own(viewW, viewH);
  CPixelArray& view = keep ? *keep : own;
  view.Fill(kBackground);
  s->DrawOutline(view, rect, origin, zoom, phase);
  PixelSet out;
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x)
      if (view.GetPixel(x, y) != kBackground)
        out.insert(std::make_pair(x, y));
  return out;
}

}  // namespace

TEST(SelectionTest, IsSizedByItsImage) {
  CSelection lone(nullptr);
  lone.SyncToImage();  // without an owner nothing happens
  EXPECT_EQ(lone.GetWidth(), 0);
  EXPECT_FALSE(lone.IsActive());
  EXPECT_TRUE(lone.IsEmpty());
  EXPECT_FALSE(lone.IsFull());
  EXPECT_EQ(lone.GetMemorySize(), 60u + 16u);
  TestImage t(6, 4);
  EXPECT_EQ(t.s->GetWidth(), 6);
  EXPECT_EQ(t.s->GetHeight(), 4);
  EXPECT_EQ(t.s->GetMask()->width, 6);
  EXPECT_EQ(t.s->GetSupersampleTop(), nullptr);
  EXPECT_EQ(t.s->GetMemorySize(), 60u + 16u + 24u);
}

TEST(SelectionTest, FullEmptyAndBounds) {
  TestImage t(10, 8);
  t.s->GetMask()->Fill(255);
  t.s->Update(nullptr);
  EXPECT_TRUE(t.s->IsFull());
  EXPECT_FALSE(t.s->IsEmpty());
  At(t.s->GetMask(), 2, 1) = 254;
  t.s->Update(nullptr);
  EXPECT_FALSE(t.s->IsFull());
  t.s->GetMask()->Fill(0);
  At(t.s->GetMask(), 3, 7) = 1;
  At(t.s->GetMask(), 8, 2) = 200;
  t.s->Update(nullptr);
  Rect b;
  t.s->GetBounds(b);
  ExpectRect(b, 3, 2, 9, 8);
  t.s->GetMask()->Fill(0);
  t.s->Update(nullptr);
  EXPECT_TRUE(t.s->IsEmpty());
  EXPECT_FALSE(t.s->IsFull());
  t.s->GetBounds(b);
  ExpectRect(b, 0, 0, 0, 0);
}

TEST(SelectionTest, SupersampledBoundsAreTakenOnBothLevels) {
  TestImage t(4, 4, true);
  ASSERT_TRUE(t.s->IsSupersampled());
  CMaskArray* top = t.s->GetMask();
  ASSERT_EQ(top, t.s->GetSupersampleTop());
  ASSERT_EQ(top->width, 32);
  top->FillRect(Rect{13, 20, 15, 22}, 255);
  Rect r = SupersampleRectTo1x(Rect{13, 20, 15, 22});
  t.s->Update(&r);
  Rect b;
  t.s->GetBounds(b);
  ExpectRect(b, 13, 20, 15, 22);
  ExpectRect(t.s->GetBounds1x(), 1, 2, 2, 3);  // 1x value 16 after three reductions
  // A single byte of 1 at 8x: not empty, but nothing is left at 1x.
  top->Fill(0);
  At(top, 5, 9) = 1;
  t.s->Update(nullptr);
  EXPECT_FALSE(t.s->IsEmpty());
  t.s->GetBounds(b);
  ExpectRect(b, 5, 9, 6, 10);
  ExpectRect(t.s->GetBounds1x(), 0, 0, 0, 0);
}

TEST(SelectionTest, SupersamplingOnExpandsTheMaskAndOffKeepsTheReducedOne) {
  TestImage t(3, 2);
  At(t.s->GetMask(), 1, 1) = 255;
  t.s->SetSupersampling(true);
  ASSERT_TRUE(t.s->IsSupersampled());
  CMaskArray* top = t.s->GetMask();
  ASSERT_EQ(top->width, 24);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x)
      ASSERT_EQ(At(top, x, y), (x / 8 == 1 && y / 8 == 1) ? 255 : 0);
  Rect b;
  t.s->GetBounds(b);
  ExpectRect(b, 8, 8, 16, 16);
  t.s->SetSupersampling(false);
  EXPECT_EQ(t.s->GetMask()->width, 3);
  t.s->GetBounds(b);
  ExpectRect(b, 1, 1, 2, 2);
}

TEST(SelectionTest, FollowsTheLayersSupersamplingUnlessActive) {
  TestImage t(4, 4);
  t.layer->SetSupersampling(true);
  t.image.UpdateAll();
  EXPECT_TRUE(t.s->IsSupersampled());
  t.s->GetMask()->FillRect(Rect{4, 4, 12, 12}, 255);
  t.s->Update(nullptr);
  t.s->SetActive(true);
  // The image's only supersampled layer is switched off while the selection is active.
  t.layer->SetSupersampling(false);
  t.image.UpdateAll();
  EXPECT_TRUE(t.s->IsSupersampled());
  EXPECT_TRUE(t.s->IsActive());
  t.s->Clear();
  EXPECT_FALSE(t.s->IsActive());
  EXPECT_FALSE(t.s->IsSupersampled());
  EXPECT_TRUE(t.s->IsEmpty());
  // Clear does nothing to an inactive selection.
  t.s->GetMask()->Fill(255);
  t.s->Update(nullptr);
  t.s->Clear();
  EXPECT_TRUE(t.s->IsFull());
}

TEST(SelectionTest, AResizeClearsAndDeactivates) {
  TestImage t(4, 4, true);
  t.s->GetMask()->Fill(255);
  t.s->Update(nullptr);
  t.s->SetActive(true);
  t.image.SetSize(3, 5);  // the layer is still supersampled
  EXPECT_FALSE(t.s->IsActive());
  EXPECT_TRUE(t.s->IsSupersampled());
  EXPECT_EQ(t.s->GetWidth(), 3);
  EXPECT_EQ(t.s->GetMask()->width, 24);
  EXPECT_EQ(t.s->GetMask()->height, 40);
  EXPECT_TRUE(t.s->IsEmpty());
  t.s->SetActive(true);
  t.layer->SetSupersampling(false);
  t.image.UpdateAll();
  ASSERT_TRUE(t.s->IsSupersampled());  // kept while active
  t.image.SetSize(5, 3);
  EXPECT_FALSE(t.s->IsSupersampled());
  EXPECT_EQ(t.s->GetMask()->width, 5);
}

TEST(SelectionOutlineTest, ZoomOneDrawsTheBorderElements) {
  TestImage t(7, 7);
  At(t.s->GetMask(), 0, 6) = 128;  // isolated, on the mask's border
  At(t.s->GetMask(), 6, 0) = 127;  // not inside
  CPixelArray view(20, 20);
  PixelSet drawn = Outline(t.s, 20, 20, Rect{0, 0, 20, 20}, Point{4, 6}, 1, 0, &view);
  EXPECT_EQ(drawn, (PixelSet{{4, 12}}));
  EXPECT_EQ(view.GetPixel(4, 12), kPattern[(4 + 12 - 0 - 4 - 6) & 7]);
  // A 3 x 3 block draws its eight border elements, not its centre.
  t.s->GetMask()->Fill(0);
  t.s->GetMask()->FillRect(Rect{2, 2, 5, 5}, 255);
  drawn = Outline(t.s, 7, 7, Rect{0, 0, 7, 7}, Point{0, 0}, 1, 3, &view);
  EXPECT_EQ(drawn.size(), 8u);
  EXPECT_EQ(drawn.count(std::make_pair(3, 3)), 0u);
  for (auto p : drawn)
    EXPECT_EQ(view.GetPixel(p.first, p.second), kPattern[(p.first + p.second - 3) & 7]);
}

TEST(SelectionOutlineTest, ZoomedBlocksDrawTheirOpenSidesInsideTheClip) {
  TestImage t(4, 4);
  At(t.s->GetMask(), 1, 1) = 255;
  At(t.s->GetMask(), 2, 1) = 255;
  PixelSet expected;
  for (int x = 4; x < 12; ++x) {
    expected.insert(std::make_pair(x, 4));
    expected.insert(std::make_pair(x, 7));
  }
  for (int y = 4; y < 8; ++y) {
    expected.insert(std::make_pair(4, y));
    expected.insert(std::make_pair(11, y));
  }
  EXPECT_EQ(Outline(t.s, 16, 16, Rect{0, 0, 16, 16}, Point{0, 0}, 4, 0), expected);
  // Clipped: the left block's left and top sides are cut away and not drawn.
  PixelSet clipped;
  for (auto p : expected)
    if (p.first >= 5 && p.second >= 6 && p.first != 4 && p.second != 4)
      clipped.insert(p);
  EXPECT_EQ(Outline(t.s, 16, 16, Rect{5, 6, 16, 16}, Point{0, 0}, 4, 0), clipped);
  // A rectangle beyond the buffer, a bad zoom and an empty buffer are harmless.
  for (auto p : Outline(t.s, 8, 8, Rect{-10, -10, 100, 100}, Point{-6, 2}, 3, 1))
    EXPECT_LT(p.first, 8);
  EXPECT_TRUE(Outline(t.s, 8, 8, Rect{0, 0, 8, 8}, Point{0, 0}, 0, 0).empty());
  EXPECT_TRUE(Outline(t.s, 0, 0, Rect{0, 0, 8, 8}, Point{0, 0}, 1, 0).empty());
}

TEST(SelectionOutlineTest, SupersampledOutlineUsesTheLevelOfTheZoom) {
  TestImage t(2, 2, true);
  CMaskArray* top = t.s->GetMask();
  top->Fill(0);
  At(top, 5, 6) = 255;
  t.s->Update(nullptr);
  // Zoom 24: the 8x level at a remaining zoom of 3, a ring of eight pixels at (15, 18).
  PixelSet expected;
  for (int y = 18; y < 21; ++y)
    for (int x = 15; x < 18; ++x)
      if (!(x == 16 && y == 19))
        expected.insert(std::make_pair(x, y));
  EXPECT_EQ(Outline(t.s, 48, 48, Rect{0, 0, 48, 48}, Point{0, 0}, 24, 0), expected);
  // Zoom 2: the 2x level at zoom 1, whose element (0, 0) covers 8x (0, 0)-(4, 4).
  top->Fill(0);
  top->FillRect(Rect{0, 0, 4, 4}, 255);
  t.s->Update(nullptr);
  EXPECT_EQ(Outline(t.s, 4, 4, Rect{0, 0, 4, 4}, Point{0, 0}, 2, 0), (PixelSet{{0, 0}}));
}

TEST(SelectionOutlineTest, PhaseShiftsThePattern) {
  TestImage t(1, 1);
  t.s->GetMask()->Fill(255);
  CPixelArray view(1, 1);
  for (int phase : {0, 1, 5, 9, 15, INT32_MAX}) {
    Outline(t.s, 1, 1, Rect{0, 0, 1, 1}, Point{0, 0}, 1, phase, &view);
    EXPECT_EQ(view.GetPixel(0, 0), kPattern[(0u - static_cast<uint32_t>(phase)) & 7]) << phase;
  }
}
