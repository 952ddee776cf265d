#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "tools/FillTools.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Reference: a breadth-first walk over 4-neighbours, every pixel compared with the seed.

int Premul(uint32_t c, uint32_t a) {
  return static_cast<int>(std::floor(c * a / 255.0 + 0.5));
}

bool RefMatches(uint32_t seed, uint32_t p, int mode, int tolerance) {
  const int sa = seed >> 24, sr = (seed >> 16) & 255, sg = (seed >> 8) & 255, sb = seed & 255;
  const int pa = p >> 24, pr = (p >> 16) & 255, pg = (p >> 8) & 255, pb = p & 255;
  if (mode == 1)
    return std::abs(pr - sr) <= tolerance && std::abs(pg - sg) <= tolerance &&
           std::abs(pb - sb) <= tolerance;
  if (mode == 2)
    return std::abs(pa - sa) <= tolerance;
  return std::abs(pa - sa) <= tolerance && std::abs(Premul(pr, pa) - Premul(sr, sa)) <= tolerance &&
         std::abs(Premul(pg, pa) - Premul(sg, sa)) <= tolerance &&
         std::abs(Premul(pb, pa) - Premul(sb, sa)) <= tolerance;
}

std::vector<uint8_t> RefRegion(const CPixelArray& a, int x, int y, int mode, int tolerance) {
  std::vector<uint8_t> region(static_cast<size_t>(a.width) * a.height, 0);
  const uint32_t seed = a.GetPixel(x, y);
  std::deque<std::pair<int, int>> open{{x, y}};
  region[y * a.width + x] = 255;
  while (!open.empty()) {
    auto [px, py] = open.front();
    open.pop_front();
    const int nx[4] = {px - 1, px + 1, px, px};
    const int ny[4] = {py, py, py - 1, py + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= a.width || ny[k] >= a.height)
        continue;
      uint8_t& m = region[ny[k] * a.width + nx[k]];
      if (!m && RefMatches(seed, a.GetPixel(nx[k], ny[k]), mode, tolerance)) {
        m = 255;
        open.push_back({nx[k], ny[k]});
      }
    }
  }
  return region;
}

Rect BoundsOf(const std::vector<uint8_t>& region, int width) {
  Rect r{0, 0, 0, 0};
  bool any = false;
  for (size_t k = 0; k < region.size(); ++k) {
    if (!region[k])
      continue;
    const int x = static_cast<int>(k % width), y = static_cast<int>(k / width);
    if (!any) {
      r = Rect{x, y, x + 1, y + 1};
      any = true;
    }
    r.left = std::min(r.left, x);
    r.top = std::min(r.top, y);
    r.right = std::max(r.right, x + 1);
    r.bottom = std::max(r.bottom, y + 1);
  }
  return r;
}

// Blobs of a few colours with varying alpha: regions of every shape, with holes.
void FillBlobs(CPixelArray& a, uint32_t seed) {
  const uint32_t palette[6] = {0xFF204060u, 0xFF214162u, 0x80204060u, 0x00FF00FFu, 0x00000000u, 0xFF204060u};
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const uint32_t h = PatternPixel(x / 3, y / 2, seed) ^ PatternPixel(x / 5, y / 4, seed + 1);
      a.SetPixel(x, y, palette[(h >> 7) % 6]);
    }
}

void ExpectRect(const Rect& actual, const Rect& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

// ---------------------------------------------------------------------------------------------
// CFloodFill

TEST(FloodFill, RegionsMatchTheReferenceInEveryModeAndTolerance) {
  CPixelArray source(37, 29);
  FillBlobs(source, 3);
  CMaskArray target(37, 29);
  const int seeds[][2] = {{0, 0}, {18, 14}, {36, 28}, {5, 20}, {30, 3}};
  for (int mode = 0; mode < 3; ++mode) {
    for (int tolerance : {0, 1, 2, 100, 255}) {
      for (const auto& s : seeds) {
        CFloodFill fill;
        fill.SetCompareMode(mode);
        fill.SetTolerance(tolerance);
        fill.SetSource(&source);
        fill.SetTarget(&target);
        const Rect r = fill.Fill(s[0], s[1]);
        const std::vector<uint8_t> expected = RefRegion(source, s[0], s[1], mode, tolerance);
        ASSERT_EQ(MaskOf(target), expected) << "mode " << mode << " tolerance " << tolerance
                                            << " seed " << s[0] << "," << s[1];
        ExpectRect(r, BoundsOf(expected, 37));
        EXPECT_TRUE(fill.IsComplete());
      }
    }
  }
}

TEST(FloodFill, RgbModeIgnoresAlphaAndAlphaModeIgnoresColour) {
  CPixelArray source(4, 1);
  source.SetPixel(0, 0, 0xFF112233u);
  source.SetPixel(1, 0, 0x10112233u);
  source.SetPixel(2, 0, 0x00112233u);
  source.SetPixel(3, 0, 0xFF112234u);
  CMaskArray target(4, 1);
  CFloodFill fill;
  fill.SetSource(&source);
  fill.SetTarget(&target);
  fill.SetCompareMode(CFloodFill::COMPARE_RGB);
  fill.Fill(0, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{255, 255, 255, 0}));
  fill.SetCompareMode(CFloodFill::COMPARE_ALPHA);
  fill.Fill(0, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{255, 0, 0, 0}));
  fill.Fill(3, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{0, 0, 0, 255}));
}

TEST(FloodFill, TransparentPixelsOfAnyColourMatchWhenPremultiplied) {
  CPixelArray source(5, 1);
  const uint32_t row[5] = {0x00FF0000u, 0x0000FF00u, 0x00FFFFFFu, 0x01000000u, 0x00000000u};
  for (int x = 0; x < 5; ++x)
    source.SetPixel(x, 0, row[x]);
  CMaskArray target(5, 1);
  CFloodFill fill;
  fill.SetSource(&source);
  fill.SetTarget(&target);
  fill.Fill(0, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{255, 255, 255, 0, 0}));
  fill.SetTolerance(1);
  fill.Fill(0, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{255, 255, 255, 255, 255}));
}

TEST(FloodFill, DiagonalNeighboursAreSeparate) {
  CPixelArray source(3, 3);
  source.Fill(0xFFFFFFFFu);
  source.SetPixel(0, 0, 0xFF000000u);
  source.SetPixel(1, 1, 0xFF000000u);
  source.SetPixel(2, 2, 0xFF000000u);
  CMaskArray target(3, 3);
  CFloodFill fill;
  fill.SetSource(&source);
  fill.SetTarget(&target);
  const Rect r = fill.Fill(1, 1);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{0, 0, 0, 0, 255, 0, 0, 0, 0}));
  ExpectRect(r, Rect{1, 1, 2, 2});
  // The white pixels on either side of the diagonal are two regions.
  fill.Fill(1, 0);
  EXPECT_EQ(MaskOf(target), (std::vector<uint8_t>{0, 255, 255, 0, 0, 255, 0, 0, 0}));
}

TEST(FloodFill, ASeedOutsideLeavesTheMaskAlone) {
  CPixelArray source(3, 2);
  source.Fill(0);
  CMaskArray target(3, 2);
  target.Fill(7);
  CFloodFill fill;
  fill.SetSource(&source);
  fill.SetTarget(&target);
  for (const Point& p : {Point{-1, 0}, Point{3, 1}, Point{0, 2}, Point{1, -5}}) {
    const Rect r = fill.Fill(p.x, p.y);
    ExpectRect(r, Rect{p.x, p.y, p.x, p.y});
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(MaskOf(target), std::vector<uint8_t>(6, 7));
  }
  // A target of another size is refused the same way.
  CMaskArray small(2, 2);
  small.Fill(9);
  fill.SetTarget(&small);
  EXPECT_TRUE(fill.Fill(0, 0).IsEmpty());
  EXPECT_EQ(MaskOf(small), std::vector<uint8_t>(4, 9));
}

// A serpentine corridor one pixel wide through the whole array: a recursive or per-pixel
// stack would need millions of frames.
TEST(FloodFill, HugeWindingRegionsNeedNoDeepRecursion) {
  const int n = 2048;
  CPixelArray source(n, n);
  ASSERT_NE(source.data, nullptr);
  int64_t corridor = 0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      bool open;
      if (y % 2 == 0)
        open = true;
      else
        open = (y % 4 == 1) ? x == n - 1 : x == 0;
      source.SetPixel(x, y, open ? 0xFFFFFFFFu : 0xFF000000u);
      corridor += open;
    }
  CMaskArray target(n, n);
  CFloodFill fill;
  fill.SetSource(&source);
  fill.SetTarget(&target);
  const Rect r = fill.Fill(0, 0);
  ExpectRect(r, Rect{0, 0, n, n});
  int64_t filled = 0;
  for (int64_t k = 0; k < int64_t(n) * n; ++k)
    filled += target.data[k] == 255;
  EXPECT_EQ(filled, corridor);
  // A checkerboard of single pixels: every white pixel its own region, and a big uniform
  // field reached from its middle.
  source.Fill(0xFF00FF00u);
  EXPECT_EQ(fill.Fill(n / 2, n / 2).GetWidth(), n);
  EXPECT_EQ(target.data[int64_t(n) * n - 1], 255);
}

// ---------------------------------------------------------------------------------------------
// Flood Fill tool

class FloodFillTool : public DrawingToolTest {
protected:
  void SetTolerance(uint32_t fill, uint32_t wand) {
    g_Settings.drawingToolsFloodFillerTolerance->SetValue(fill);
    g_Settings.drawingToolsMagicWandTolerance->SetValue(wand);
  }
  void SetUp() override {
    DrawingToolTest::SetUp();
    SetTolerance(0, 0);
  }
  void TearDown() override {
    SetTolerance(0, 0);
    DrawingToolTest::TearDown();
  }
};

// The layer after filling the reference region from (x, y) with the colour.
std::vector<uint32_t> ExpectedFill(const CPixelArray& before, int x, int y, int mode, int tolerance,
                                   uint32_t color, const CMaskArray* selection = nullptr) {
  const std::vector<uint8_t> region = RefRegion(before, x, y, mode, tolerance);
  std::vector<uint32_t> result = PixelsOf(before);
  for (size_t k = 0; k < region.size(); ++k) {
    if (!region[k])
      continue;
    const uint32_t amount = selection ? selection->data[k] : 255;
    if (amount)
      result[k] = BlendInMode(result[k], color, amount, mode);
  }
  return result;
}

TEST_F(FloodFillTool, AClickFillsTheRegionWithTheButtonsColour) {
  TestDocument doc(31, 23);
  FillBlobs(*doc.layer->GetPixels(), 5);
  doc.image->UpdateAll();
  ResyncWorkingCopies();
  CPixelArray before(31, 23);
  before.CopyFrom(*doc.layer->GetPixels());
  CFloodFillTool tool;
  DragTool(tool, 1, {Px(12.5, 9.5)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedFill(before, 12, 9, 0, 0, 0xFFFF0000u));
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
  // The composite follows; the action is "Flood Fill".
  EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), PixelsOf(*doc.layer->GetPixels()));
  CHistory* history = doc.image->GetHistory();
  ASSERT_EQ(history->GetCount(), 1);
  EXPECT_STREQ(history->GetCurrent()->GetName(), "Flood Fill");
  EXPECT_EQ(PixelsOf(g_LayerWorkingCopy.GetPixels()), PixelsOf(*doc.layer->GetPixels()));

  // Right button: the secondary colour, with a tolerance.
  CPixelArray middle(31, 23);
  middle.CopyFrom(*doc.layer->GetPixels());
  g_Settings.drawingToolsFloodFillerTolerance->SetValue(3);
  DragTool(tool, 2, {Px(3.2, 20.9)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedFill(middle, 3, 20, 0, 3, 0xFF0000FFu));

  // Undo restores each step exactly.
  ASSERT_TRUE(history->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(middle));
  ASSERT_TRUE(history->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(before));
  EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), PixelsOf(before));
  ASSERT_TRUE(history->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedFill(before, 12, 9, 0, 0, 0xFFFF0000u));
}

TEST_F(FloodFillTool, ChannelModesCompareAndBlendTheirChannels) {
  for (int mode = 0; mode < 3; ++mode) {
    TestDocument doc(19, 17);
    FillBlobs(*doc.layer->GetPixels(), 11);
    doc.image->UpdateAll();
    ResyncWorkingCopies();
    SetPrimaryColor(CColor(0x60C08040u));
    host.channelMode = mode;
    CPixelArray before(19, 17);
    before.CopyFrom(*doc.layer->GetPixels());
    CFloodFillTool tool;
    DragTool(tool, 1, {Px(4.5, 4.5)});
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedFill(before, 4, 4, mode, 0, 0x60C08040u))
        << "mode " << mode;
  }
}

TEST_F(FloodFillTool, TheSelectionWeightsTheFill) {
  TestDocument doc(16, 12);
  doc.layer->GetPixels()->Fill(0xFF808080u);
  doc.image->UpdateAll();
  SetSelection(doc.image->GetSelection(), [](int x, int y) { return x < 4 ? 0 : (x * 17 + y * 5) & 255; });
  CPixelArray before(16, 12);
  before.CopyFrom(*doc.layer->GetPixels());
  CFloodFillTool tool;
  DragTool(tool, 1, {Px(1.5, 1.5)});
  const std::vector<uint32_t> after = PixelsOf(*doc.layer->GetPixels());
  EXPECT_EQ(after, ExpectedFill(before, 1, 1, 0, 0, 0xFFFF0000u, doc.image->GetSelection()->GetMask()));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(after[y * 16 + x], 0xFF808080u);
  // The selection working copy served as scratch and was taken again.
  EXPECT_EQ(MaskOf(g_SelectionWorkingCopy.GetMask()), MaskOf(*doc.image->GetSelection()->GetMask()));
}

TEST_F(FloodFillTool, SupersampledLayersAreFilledAtEightTimesTheSize) {
  TestDocument doc(6, 5, true);
  CPixelArray* edit = doc.layer->GetPixelArray();
  FillBlobs(*edit, 2);
  doc.layer->Update(nullptr);
  doc.image->UpdateAll();
  ResyncWorkingCopies();
  CPixelArray before(48, 40);
  before.CopyFrom(*edit);
  const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
  CFloodFillTool tool;
  const Point click{2 * 256 + 100, 3 * 256 + 40};  // 8x pixel (19, 25)
  DragTool(tool, 1, {click});
  const std::vector<uint32_t> expected = ExpectedFill(before, 19, 25, 0, 0, 0xFFFF0000u);
  EXPECT_EQ(PixelsOf(*edit), expected);
  // 1x pixels whose block turned wholly red are red.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      bool all = true;
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
          all = all && expected[(y * 8 + i) * 48 + x * 8 + j] == 0xFFFF0000u;
      if (all) {
        EXPECT_EQ(doc.layer->GetPixels()->GetPixel(x, y), 0xFFFF0000u);
      }
    }
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*edit), PixelsOf(before));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before1x);
}

TEST_F(FloodFillTool, ClicksOutsideTheLayerOrWithoutALayerChangeNothing) {
  TestDocument doc(8, 8);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CFloodFillTool tool;
  DragTool(tool, 1, {Px(-0.5, 3)});
  DragTool(tool, 1, {Px(3, 8.01)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // A hidden layer: mode 0, the click is accepted and does nothing.
  doc.layer->SetVisible(false);
  tool.PointerEntered(Px(2, 2));
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(200));
  EXPECT_EQ(tool.GetMode(), CFloodFillTool::MODE_NONE);
  ASSERT_TRUE(tool.MouseDown(1, Px(2, 2)));
  EXPECT_EQ(tool.GetState(), CTool::STATE_IDLE);
  EXPECT_TRUE(tool.MouseUp(1, Px(2, 2)));
  tool.EndDrag();
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(FloodFillTool, CursorsHintsPickingAndRefreshes) {
  TestDocument doc(8, 8);
  CFloodFillTool tool;
  EXPECT_EQ(tool.GetId(), 70);
  tool.PointerEntered(Px(2, 2));
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(225));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to fill a region. Use ALT to pick colors.");
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_ALT, false));
  EXPECT_FALSE(tool.KeyDown('X', false));
  host.keys.insert(CTool::KEY_ALT);
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(221));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to pick a color.");
  host.pickAnswers = true;
  host.pickColor = CColor(0xFF445566u);
  ASSERT_TRUE(tool.MouseDown(2, Px(2, 2)));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF445566u);
  host.pickColor = CColor(0xFF778899u);
  tool.MouseMove(Px(3, 3));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF778899u);
  tool.ShowColor(Px(3, 3));
  EXPECT_TRUE(host.colorShown);
  EXPECT_FALSE(tool.KeyDown(CTool::KEY_ALT, false));  // not while picking
  EXPECT_FALSE(tool.MouseUp(1, Px(3, 3)));             // not the pressed button
  EXPECT_TRUE(tool.MouseUp(2, Px(3, 3)));
  tool.EndDrag();
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);

  host.keys.clear();
  tool.GetCursor(Px(2, 2));
  ASSERT_TRUE(tool.MouseDown(1, Px(2, 2)));
  EXPECT_FALSE(tool.MouseDown(1, Px(2, 2)));
  tool.ShowColor(Px(2, 2));
  EXPECT_EQ(host.shownColor.value, 0xFFFF0000u);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "");
  EXPECT_TRUE(tool.MouseUp(1, Px(2, 2)));
  tool.EndDrag();
  EXPECT_EQ(host.refits, 1);
  EXPECT_EQ(host.previewRefreshes, 1);
  ASSERT_EQ(host.refreshedLayers.size(), 1u);
  EXPECT_EQ(host.refreshedLayers[0], doc.layer);
  EXPECT_EQ(host.commandStateUpdates, 1);
  EXPECT_FALSE(tool.WantsAutoScroll());
}

// ---------------------------------------------------------------------------------------------
// Magic Wand

void Click(CMagicWandTool& wand, const Point& p) {
  wand.PointerEntered(p);
  wand.GetCursor(p);
  ASSERT_TRUE(wand.MouseDown(1, p));
  EXPECT_TRUE(wand.MouseUp(1, p));
  wand.EndDrag();
}

TEST_F(FloodFillTool, MagicWandReplacesTheSelection) {
  TestDocument doc(25, 21);
  FillBlobs(*doc.layer->GetPixels(), 9);
  doc.image->UpdateAll();
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int x, int y) { return x == y ? 200 : 0; });
  const std::vector<uint8_t> old = MaskOf(*selection->GetMask());
  CMagicWandTool wand;
  EXPECT_EQ(wand.GetId(), 20);
  Click(wand, Px(10.5, 7.5));
  const std::vector<uint8_t> region = RefRegion(*doc.layer->GetPixels(), 10, 7, 0, 0);
  EXPECT_EQ(MaskOf(*selection->GetMask()), region);
  EXPECT_TRUE(selection->IsActive());
  ExpectRect(selection->GetBounds1x(), BoundsOf(region, 25));
  CHistory* history = doc.image->GetHistory();
  ASSERT_EQ(history->GetCount(), 1);
  EXPECT_STREQ(history->GetCurrent()->GetName(), "Select");
  EXPECT_EQ(MaskOf(g_SelectionWorkingCopy.GetMask()), region);
  EXPECT_EQ(host.overlayInvalidations.size(), 1u);
  EXPECT_EQ(host.commandStateUpdates, 1);

  ASSERT_TRUE(history->Undo());
  EXPECT_EQ(MaskOf(*selection->GetMask()), old);
  EXPECT_TRUE(selection->IsActive());
  ASSERT_TRUE(history->Redo());
  EXPECT_EQ(MaskOf(*selection->GetMask()), region);
}

TEST_F(FloodFillTool, MagicWandCombinesBitwiseWithThePreviousMask) {
  TestDocument doc(20, 16);
  FillBlobs(*doc.layer->GetPixels(), 4);
  doc.image->UpdateAll();
  CSelection* selection = doc.image->GetSelection();
  auto previous = [](int x, int y) { return (x * 37 + y * 11) & 255; };
  const std::vector<uint8_t> region = RefRegion(*doc.layer->GetPixels(), 6, 6, 0, 0);
  struct Case {
    int mode;
    std::set<int32_t> keys;
  };
  const Case cases[] = {{CMagicWandTool::MODE_ADD, {CTool::KEY_SHIFT}},
                        {CMagicWandTool::MODE_SUBTRACT, {CTool::KEY_ALT}},
                        {CMagicWandTool::MODE_INTERSECT, {CTool::KEY_ALT, CTool::KEY_SHIFT}}};
  for (const Case& c : cases) {
    SetSelection(selection, previous);
    host.keys = c.keys;
    CMagicWandTool wand;
    wand.PointerEntered(Px(6, 6));
    EXPECT_EQ(wand.GetCursor(Px(6, 6)), reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(215 + c.mode)));
    EXPECT_EQ(wand.GetMode(), c.mode);
    Click(wand, Px(6.5, 6.5));
    const std::vector<uint8_t> mask = MaskOf(*selection->GetMask());
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x) {
        const uint8_t n = region[y * 20 + x], o = static_cast<uint8_t>(previous(x, y));
        const uint8_t e = c.mode == CMagicWandTool::MODE_ADD        ? (n | o)
                          : c.mode == CMagicWandTool::MODE_SUBTRACT ? (~n & o)
                                                                    : (n & o);
        ASSERT_EQ(mask[y * 20 + x], e) << c.mode << " at " << x << "," << y;
      }
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(selection->GetMask()->data[y * 20 + x], previous(x, y));
  }
}

TEST_F(FloodFillTool, MagicWandOutsideTheLayerClearsTheSelection) {
  TestDocument doc(10, 10);
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int x, int) { return x < 5 ? 255 : 0; });
  CMagicWandTool wand;
  Click(wand, Px(-3, 4));
  EXPECT_FALSE(selection->IsActive());
  EXPECT_TRUE(selection->IsEmpty());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(100, 0));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(selection->GetMask()->data[0], 255);
  EXPECT_EQ(selection->GetMask()->data[9], 0);
}

TEST_F(FloodFillTool, MagicWandOnASupersampledLayerSelectsAtEightTimesTheSize) {
  TestDocument doc(5, 4, true);
  CPixelArray* edit = doc.layer->GetPixelArray();
  FillBlobs(*edit, 8);
  doc.layer->Update(nullptr);
  doc.image->UpdateAll();
  CSelection* selection = doc.image->GetSelection();
  ASSERT_TRUE(selection->IsSupersampled());
  ResyncWorkingCopies();
  g_Settings.drawingToolsMagicWandTolerance->SetValue(1);
  CMagicWandTool wand;
  const Point click{256 + 70, 2 * 256 + 200};  // 8x pixel (10, 22)
  Click(wand, click);
  const std::vector<uint8_t> region = RefRegion(*edit, 10, 22, 0, 1);
  EXPECT_EQ(MaskOf(*selection->GetMask()), region);
  EXPECT_TRUE(selection->IsActive());
  // The 1x mask is the 8 x 8 average.
  CMaskArray* plain = selection->GetSupersampleStack()->GetLevel(0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      int sum = 0;
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
          sum += region[(y * 8 + i) * 40 + x * 8 + j];
      if (sum == 0 || sum == 64 * 255) {
        EXPECT_EQ(plain->data[y * 5 + x], sum / 64);
      }
    }
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_FALSE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(40 * 32, 0));
}

TEST_F(FloodFillTool, MagicWandOnAPlainLayerOfASupersampledImageFillsWholeBlocks) {
  TestDocument doc(6, 5);
  FillBlobs(*doc.layer->GetPixels(), 12);
  CRasterLayer* other = new CRasterLayer();
  doc.image->InsertLayer(other, doc.layer);  // below the current layer
  other->SetSupersampling(true);
  doc.image->UpdateAll();
  doc.image->GetSelection()->SyncToImage();
  CSelection* selection = doc.image->GetSelection();
  ASSERT_TRUE(selection->IsSupersampled());
  ASSERT_EQ(doc.image->GetActiveLayer(), doc.layer);
  ResyncWorkingCopies();
  CMagicWandTool wand;
  Click(wand, Px(2.5, 1.5));
  const std::vector<uint8_t> region = RefRegion(*doc.layer->GetPixels(), 2, 1, 0, 0);
  const CMaskArray* edit = selection->GetMask();
  ASSERT_EQ(edit->width, 48);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 48; ++x)
      ASSERT_EQ(edit->data[y * 48 + x], region[(y / 8) * 6 + x / 8]) << x << "," << y;
  EXPECT_EQ(MaskOf(*selection->GetSupersampleStack()->GetLevel(0)), region);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(48 * 40, 0));
}

TEST_F(FloodFillTool, MagicWandTakesTheLeftButtonOnlyAndHints) {
  TestDocument doc(6, 6);
  CMagicWandTool wand;
  wand.PointerEntered(Px(1, 1));
  EXPECT_EQ(wand.GetCursor(Px(1, 1)), reinterpret_cast<HCURSOR>(216));
  wand.ShowHint();
  EXPECT_EQ(host.helpText, "Click to select a region. Use ALT and SHIFT for additional options.");
  const char* hints[] = {"Click to add a region to the selection.",
                         "Click to subtract a region from the selection.",
                         "Click to intersect the selection with a region."};
  const std::set<int32_t> keys[] = {{CTool::KEY_SHIFT}, {CTool::KEY_ALT}, {CTool::KEY_ALT, CTool::KEY_SHIFT}};
  for (int k = 0; k < 3; ++k) {
    host.keys = keys[k];
    wand.GetCursor(Px(1, 1));
    wand.ShowHint();
    EXPECT_EQ(host.helpText, hints[k]);
  }
  host.keys.clear();
  wand.GetCursor(Px(1, 1));
  EXPECT_FALSE(wand.MouseDown(2, Px(1, 1)));
  EXPECT_EQ(wand.GetState(), CTool::STATE_READY);
  // A hidden layer: nothing to do.
  doc.layer->SetVisible(false);
  EXPECT_EQ(wand.GetCursor(Px(1, 1)), reinterpret_cast<HCURSOR>(200));
  ASSERT_TRUE(wand.MouseDown(1, Px(1, 1)));
  EXPECT_EQ(wand.GetState(), CTool::STATE_IDLE);
  EXPECT_TRUE(wand.MouseUp(1, Px(1, 1)));
  wand.EndDrag();
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  EXPECT_FALSE(doc.image->GetSelection()->IsActive());
  EXPECT_TRUE(wand.KeyUp(CTool::KEY_SHIFT));
}

}  // namespace
