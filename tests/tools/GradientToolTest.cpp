#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "tools/GradientTool.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Reference

uint32_t RefLerp(uint32_t a, uint32_t b, double t) {
  const int64_t w = static_cast<int64_t>(std::nearbyint(t * 16777216.0));
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    const int64_t ca = (a >> s) & 255, cb = (b >> s) & 255;
    out |= static_cast<uint32_t>((cb * w + ca * (16777216 - w) + 8388608) >> 24) << s;
  }
  return out;
}

struct GradientCase {
  Point anchor;
  Point vector;
  int type;
  uint32_t c0, c1;
  double step;
};

uint32_t RefColor(const GradientCase& g, int j, int i) {
  const double x0 = g.anchor.x / g.step - 0.5, y0 = g.anchor.y / g.step - 0.5;
  const double x1 = (g.anchor.x + g.vector.x) / g.step - 0.5;
  const double y1 = (g.anchor.y + g.vector.y) / g.step - 0.5;
  if (g.type == 2) {
    const double r = std::hypot(double(g.vector.x), double(g.vector.y)) / g.step;
    const double d2 = (j - x0) * (j - x0) + (i - y0) * (i - y0);
    return d2 >= r * r ? g.c1 : RefLerp(g.c0, g.c1, std::sqrt(d2) / r);
  }
  const double dx = x1 - x0, dy = y1 - y0;
  const double u = ((j - x0) * dx + (i - y0) * dy) / (dx * dx + dy * dy);
  const double fx = x0 + u * dx, fy = y0 + u * dy;
  const double t = std::fabs(dx) >= std::fabs(dy) ? (fx - x0) / dx : (fy - y0) / dy;
  if (t <= 0)
    return g.c0;
  if (t >= 1)
    return g.c1;
  return RefLerp(g.c0, g.c1, t);
}

std::vector<uint32_t> ExpectedGradient(const CPixelArray& before, const GradientCase& g,
                                       const CMaskArray* mask = nullptr, int mode = 0) {
  std::vector<uint32_t> result = PixelsOf(before);
  for (int i = 0; i < before.height; ++i)
    for (int j = 0; j < before.width; ++j) {
      const size_t k = size_t(i) * before.width + j;
      const uint32_t amount = mask ? mask->data[k] : 255;
      if (amount)
        result[k] = BlendInMode(result[k], RefColor(g, j, i), amount, mode);
    }
  return result;
}

class GradientTool : public DrawingToolTest {
protected:
  void SetType(uint32_t type) { g_Settings.drawingToolsGradientType->SetValue(type); }
  void TearDown() override {
    SetType(1);
    DrawingToolTest::TearDown();
  }
};

// ---------------------------------------------------------------------------------------------

TEST_F(GradientTool, ShiftConstrainsTheVector) {
  auto check = [](Point in, int32_t x, int32_t y) {
    const Point out = ConstrainGradientVector(in);
    EXPECT_EQ(out.x, x) << in.x << "," << in.y;
    EXPECT_EQ(out.y, y) << in.x << "," << in.y;
  };
  check(Point{10, 3}, 10, 0);
  check(Point{10, 6}, 6, 6);
  check(Point{-3, 10}, 0, 10);
  check(Point{-10, -6}, -6, -6);
  check(Point{241, -100}, 100, -100);
  check(Point{242, -100}, 242, 0);
  check(Point{0, 0}, 0, 0);
}

TEST_F(GradientTool, LerpWeighsStraightChannels) {
  EXPECT_EQ(LerpArgb(0x00000000u, 0xFFFFFFFFu, 0.5), 0x80808080u);
  EXPECT_EQ(LerpArgb(0xFF102030u, 0x00FFFFFFu, 0.0), 0xFF102030u);
  EXPECT_EQ(LerpArgb(0xFF102030u, 0x00FFFFFFu, 1.0), 0x00FFFFFFu);
  for (double t : {0.1, 0.25, 0.3333, 0.77, 0.999})
    EXPECT_EQ(LerpArgb(0x80FF0010u, 0x20007FF0u, t), RefLerp(0x80FF0010u, 0x20007FF0u, t)) << t;
}

TEST_F(GradientTool, LinearAndRadialFillsFollowTheRules) {
  struct Case {
    Point from, to;
    int type;
  };
  const Case cases[] = {
      {Px(2.5, 4.5), Px(12.5, 4.5), 1},   // horizontal
      {Px(14.1, 2.3), Px(3.7, 9.9), 1},   // mostly horizontal, backwards
      {Px(5.2, 0.6), Px(7.9, 11.4), 1},   // mostly vertical
      {Px(8.5, 6.5), Px(13.0, 9.0), 2},   // radial
      {Px(0.3, 0.2), Px(0.31, 0.25), 2},  // tiny radius
  };
  for (const Case& c : cases) {
    TestDocument doc(17, 13);
    SetType(static_cast<uint32_t>(c.type));
    SetPrimaryColor(CColor(0xF0204080u));
    SetSecondaryColor(CColor(0x40F0C010u));
    CPixelArray before(17, 13);
    before.CopyFrom(*doc.layer->GetPixels());
    CGradientTool tool;
    DragTool(tool, 1, {c.from, Px(6, 6), c.to});
    const GradientCase g{c.from, c.to.Subtract(c.from), c.type, 0xF0204080u, 0x40F0C010u, 256};
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedGradient(before, g))
        << c.from.x << "," << c.from.y << " type " << c.type;
    ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
    EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Gradient");
    EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), PixelsOf(*doc.layer->GetPixels()));
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(before));
    ASSERT_TRUE(doc.image->GetHistory()->Redo());
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedGradient(before, g));
  }
}

TEST_F(GradientTool, EndsTakeTheirColoursExactly) {
  TestDocument doc(16, 3);
  CGradientTool tool;
  DragTool(tool, 2, {Px(3.5, 1.5), Px(11.5, 1.5)});  // right button: secondary to primary
  const CPixelArray& a = *doc.layer->GetPixels();
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x <= 3; ++x)
      EXPECT_EQ(a.GetPixel(x, y), 0xFF0000FFu);
    for (int x = 11; x < 16; ++x)
      EXPECT_EQ(a.GetPixel(x, y), 0xFFFF0000u);
    EXPECT_EQ(a.GetPixel(7, y), RefLerp(0xFF0000FFu, 0xFFFF0000u, 0.5));
  }
  // Radial: beyond the radius, the end colour.
  SetType(2);
  DragTool(tool, 1, {Px(8.5, 1.5), Px(11.5, 1.5)});
  for (int x = 0; x < 16; ++x) {
    const double d = std::fabs(x - 8.0);
    if (d >= 3.0) {
      EXPECT_EQ(a.GetPixel(x, 1), 0xFF0000FFu) << x;
    }
  }
  EXPECT_EQ(a.GetPixel(8, 1), 0xFFFF0000u);
}

TEST_F(GradientTool, AClickWithoutDraggingChangesNothing) {
  TestDocument doc(8, 8);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CGradientTool tool;
  DragTool(tool, 1, {Px(3, 3)});
  DragTool(tool, 1, {Px(3, 3), Px(5, 5), Px(3, 3)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(GradientTool, TheSelectionBoundsAreVisitedAndTheMaskWeights) {
  TestDocument doc(14, 12);
  SetSelection(doc.image->GetSelection(),
               [](int x, int y) { return (x >= 3 && x < 9 && y >= 2 && y < 10) ? (x * 40 + y * 7) & 255 : 0; });
  CPixelArray before(14, 12);
  before.CopyFrom(*doc.layer->GetPixels());
  CGradientTool tool;
  DragTool(tool, 1, {Px(1.5, 1.5), Px(12.5, 9.5)});
  const GradientCase g{Px(1.5, 1.5), Px(11, 8), 1, 0xFFFF0000u, 0xFF0000FFu, 256};
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedGradient(before, g, doc.image->GetSelection()->GetMask()));
  // The kept block is the selection's bounding rectangle.
  const CModifyLayerAction* action = dynamic_cast<const CModifyLayerAction*>(doc.image->GetHistory()->GetCurrent());
  ASSERT_NE(action, nullptr);
  ASSERT_NE(action->GetBlock(), nullptr);
  const Rect block = action->GetBlock()->GetRect();
  const Rect& bounds = doc.image->GetSelection()->GetBounds1x();
  EXPECT_EQ(block.left, bounds.left);
  EXPECT_EQ(block.top, bounds.top);
  EXPECT_EQ(block.right, bounds.right);
  EXPECT_EQ(block.bottom, bounds.bottom);
  // An active selection without any selected pixel leaves the layer alone.
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  SetSelection(doc.image->GetSelection(), [](int, int) { return 0; });
  DragTool(tool, 1, {Px(1.5, 1.5), Px(12.5, 9.5)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(before));
  EXPECT_EQ(doc.image->GetHistory()->GetCurrent(), nullptr);
}

TEST_F(GradientTool, SupersampledLayersAndChannelModes) {
  for (int mode = 0; mode < 3; ++mode) {
    TestDocument doc(4, 3, true);
    host.channelMode = mode;
    SetType(mode == 1 ? 2 : 1);
    SetPrimaryColor(CColor(0x30FFFFFFu));
    CPixelArray before(32, 24);
    before.CopyFrom(*doc.layer->GetPixelArray());
    const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
    CGradientTool tool;
    const Point from{300, 100}, to{700, 650};
    DragTool(tool, 1, {from, to});
    const GradientCase g{from, to.Subtract(from), mode == 1 ? 2 : 1, 0x30FFFFFFu, 0xFF0000FFu, 32};
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), ExpectedGradient(before, g, nullptr, mode)) << mode;
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), PixelsOf(before));
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before1x);
  }
}

TEST_F(GradientTool, ShiftHeldAtThePressConstrainsAtOnce) {
  TestDocument doc(20, 20);
  host.keys.insert(CTool::KEY_SHIFT);
  CGradientTool tool;
  tool.PointerEntered(Px(2, 2));
  EXPECT_EQ(tool.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(211));
  ASSERT_TRUE(tool.MouseDown(1, Px(2, 2)));
  EXPECT_EQ(tool.GetFlags(), CShapeDragTool::FLAG_SHIFT);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "");
  tool.MouseMove(Point{2 * 256 + 2560, 2 * 256 + 768});
  EXPECT_EQ(tool.GetVector().x, 2560);
  EXPECT_EQ(tool.GetVector().y, 0);
  EXPECT_TRUE(host.extentFixed);
  EXPECT_EQ(host.extent.x, 2560);
  EXPECT_EQ(host.extent.y, 0);
  // Releasing Shift frees the direction.
  host.keys.clear();
  EXPECT_TRUE(tool.KeyUp(CTool::KEY_SHIFT));
  EXPECT_EQ(tool.GetVector().y, 768);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Use SHIFT to constrain the direction to multiples of 45 degrees.");
  EXPECT_TRUE(tool.WantsAutoScroll());
  host.keys.insert(CTool::KEY_SHIFT);
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_SHIFT, false));
  EXPECT_EQ(tool.GetVector().y, 0);
  EXPECT_TRUE(tool.MouseUp(1, Point{}));
  tool.EndDrag();
  EXPECT_EQ(host.geometryClears, 1);
  const CPixelArray& a = *doc.layer->GetPixels();
  for (int y = 1; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(a.GetPixel(x, y), a.GetPixel(x, 0));  // a horizontal gradient
  EXPECT_EQ(a.GetPixel(1, 0), 0xFFFF0000u);  // the anchor lies at 1.5
  EXPECT_EQ(a.GetPixel(12, 0), 0xFF0000FFu);
}

TEST_F(GradientTool, HintsAndFeedback) {
  TestDocument doc(20, 20);
  CGradientTool tool;
  EXPECT_EQ(tool.GetId(), 60);
  tool.PointerEntered(Px(2, 2));
  tool.GetCursor(Px(2, 2));
  tool.ShowHint();
  EXPECT_EQ(host.helpText,
            "Left/right click and drag to fill the layer or the selection with a gradient. Use ALT to pick colors.");
  host.zoom = 2;
  ASSERT_TRUE(tool.MouseDown(1, Px(5.5, 5.5)));  // client (11, 11)
  tool.MouseMove(Px(12.5, 5.5));                 // client (25, 11)
  std::vector<uint32_t> view(40 * 30, 0xFF000000u), out(40 * 30, 0);
  CToolOverlay overlay{40, 30, out.data(), view.data(), nullptr, nullptr, Rect{0, 0, 40, 30}};
  tool.DrawOverlay(overlay);
  // The crosses' vertical arms and the line along row 11 (the end cross is hidden under the
  // pointer).
  for (int x = 0; x < 40; ++x)
    EXPECT_EQ(out[11 * 40 + x] != 0, x >= 8 && x <= 25) << x;
  EXPECT_NE(out[8 * 40 + 11], 0u);
  EXPECT_NE(out[14 * 40 + 11], 0u);
  EXPECT_EQ(out[8 * 40 + 25], 0u);
  // Radial: a circle of radius 14 around the anchor.
  SetType(2);
  std::fill(out.begin(), out.end(), 0u);
  tool.DrawOverlay(overlay);
  EXPECT_NE(out[11 * 40 + 25], 0u);
  EXPECT_NE(out[25 * 40 + 11], 0u);
  EXPECT_EQ(out[18 * 40 + 18], 0u);
  tool.EndDrag();  // a lost capture: nothing is filled
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
}

}  // namespace
