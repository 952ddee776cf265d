#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "tools/ShapeTools.h"

namespace {

void ExpectRect(const Rect& actual, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EXPECT_EQ(actual.left, left);
  EXPECT_EQ(actual.top, top);
  EXPECT_EQ(actual.right, right);
  EXPECT_EQ(actual.bottom, bottom);
}

// ---------------------------------------------------------------------------------------------
// Reference rasteriser. The shape is (l, t, r, b) in working pixels; the ellipse test runs on
// doubled coordinates so that it stays in integers.

struct ShapeCase {
  int32_t l, t, r, b;
  bool ellipse;
  int type;
  int width;
};

bool InEllipse(int64_t x, int64_t y, int32_t l, int32_t t, int32_t r, int32_t b) {
  const int64_t X = 2 * x - (l + r - 1), Y = 2 * y - (t + b - 1);
  const int64_t A = r - l, B = b - t;  // doubled semi-axes
  return (X * B) * (X * B) + (Y * A) * (Y * A) <= (A * B) * (A * B);
}

// 0 outside, 1 main colour, 2 inner part.
int Classify(const ShapeCase& s, int32_t x, int32_t y) {
  if (x < s.l || x >= s.r || y < s.t || y >= s.b)
    return 0;
  if (!s.ellipse) {
    const bool ring = x < s.l + s.width || x >= s.r - s.width || y < s.t + s.width || y >= s.b - s.width;
    return ring ? 1 : 2;
  }
  if (!InEllipse(x, y, s.l, s.t, s.r, s.b))
    return 0;
  if (s.width == 1) {
    const bool inner = InEllipse(x - 1, y, s.l, s.t, s.r, s.b) && InEllipse(x + 1, y, s.l, s.t, s.r, s.b) &&
                       InEllipse(x, y - 1, s.l, s.t, s.r, s.b) && InEllipse(x, y + 1, s.l, s.t, s.r, s.b);
    return inner ? 2 : 1;
  }
  // Inner ellipse with semi-axes shrunk by the width, doubled: A - 2w, B - 2w.
  const int64_t A = s.r - s.l - 2 * s.width, B = s.b - s.t - 2 * s.width;
  if (A <= 0 || B <= 0)
    return 1;
  const int64_t X = 2 * int64_t(x) - (s.l + s.r - 1), Y = 2 * int64_t(y) - (s.t + s.b - 1);
  return (X * B) * (X * B) + (Y * A) * (Y * A) <= (A * B) * (A * B) ? 2 : 1;
}

std::vector<uint32_t> ExpectedShape(const CPixelArray& before, const ShapeCase& s, uint32_t main,
                                    uint32_t other, const CMaskArray* mask = nullptr, int mode = 0) {
  std::vector<uint32_t> result = PixelsOf(before);
  for (int32_t y = 0; y < before.height; ++y)
    for (int32_t x = 0; x < before.width; ++x) {
      const int c = Classify(s, x, y);
      if (c == 0 || (c == 2 && s.type == 2))
        continue;
      const uint32_t color = (c == 2 && s.type == 3) ? other : main;
      const size_t k = static_cast<size_t>(y) * before.width + x;
      const uint32_t amount = mask ? mask->data[k] : 255;
      if (amount)
        result[k] = BlendInMode(result[k], color, amount, mode);
    }
  return result;
}

class ShapeTools : public DrawingToolTest {
protected:
  void SetShape(uint32_t rectType, uint32_t rectWidth, uint32_t ellipseType, uint32_t ellipseWidth) {
    g_Settings.drawingToolsRectangleType->SetValue(rectType);
    g_Settings.drawingToolsRectangleOutlineWidth->SetValue(rectWidth);
    g_Settings.drawingToolsEllipseType->SetValue(ellipseType);
    g_Settings.drawingToolsEllipseOutlineWidth->SetValue(ellipseWidth);
  }
  void TearDown() override {
    SetShape(1, 1, 1, 1);
    DrawingToolTest::TearDown();
  }
};

// ---------------------------------------------------------------------------------------------
// Snapping

TEST_F(ShapeTools, DraggedRectanglesSnapToTheGrid) {
  TestDocument doc(20, 20);
  // Edges to the nearest grid line.
  ExpectRect(SnapSelectionRect(Point{100, 100}, Point{600, 400}, false, false), 0, 0, 512, 512);
  ExpectRect(SnapSelectionRect(Point{600, 400}, Point{100, 100}, false, false), 0, 0, 512, 512);
  // Shorter than half a step: empty.
  EXPECT_TRUE(SnapSelectionRect(Point{10, 10}, Point{100, 100}, false, false).IsEmpty());
  // Square: the smaller extent.
  ExpectRect(SnapSelectionRect(Point{522, 522}, Point{1522, 922}, true, false), 512, 512, 1024, 1024);
  ExpectRect(SnapSelectionRect(Point{2000, 2000}, Point{1000, 1500}, true, false), 1536, 1536, 2048, 2048);
  // Centred: the anchor on the nearest half-grid line, the shape around it.
  ExpectRect(SnapSelectionRect(Point{1380, 1310}, Point{2080, 1010}, false, true), 768, 1024, 2048, 1536);
  // Centred square: near a grid corner the anchor goes to it, else to the cell's centre.
  ExpectRect(SnapSelectionRect(Point{1030, 1030}, Point{1800, 1500}, true, true), 512, 512, 1536, 1536);
  ExpectRect(SnapSelectionRect(Point{1100, 1180}, Point{1800, 1500}, true, true), 768, 768, 1536, 1536);
  // Whole pixels at any zoom on an ordinary layer.
  host.zoom = 4;
  ExpectRect(SnapSelectionRect(Point{326, 326}, Point{626, 526}, false, false), 256, 256, 512, 512);
}

TEST_F(ShapeTools, SupersampledLayersSnapInEighthsAtHighZoom) {
  TestDocument doc(4, 4, true);
  host.zoom = 8;
  EXPECT_EQ(GetEditorUI()->GetNudgeStep(), 32);
  ExpectRect(SnapSelectionRect(Point{326, 326}, Point{626, 526}, false, false), 320, 320, 640, 512);
  host.zoom = 4;
  EXPECT_EQ(GetEditorUI()->GetNudgeStep(), 64);
  ExpectRect(SnapSelectionRect(Point{326, 326}, Point{626, 560}, false, false), 320, 320, 640, 576);
  host.zoom = 1;
  EXPECT_EQ(GetEditorUI()->GetNudgeStep(), 256);
  host.zoom = 3;
  EXPECT_EQ(GetEditorUI()->GetNudgeStep(), 128);
}

// ---------------------------------------------------------------------------------------------
// Painting

TEST_F(ShapeTools, RectanglesInEveryTypeAndWidth) {
  for (int type = 1; type <= 3; ++type) {
    for (int width : {1, 2, 3, 50}) {
      TestDocument doc(16, 14);
      SetShape(static_cast<uint32_t>(type), static_cast<uint32_t>(width), 1, 1);
      CPixelArray before(16, 14);
      before.CopyFrom(*doc.layer->GetPixels());
      CRectangleTool tool;
      DragTool(tool, 1, {Px(2.1, 3.2), Px(7, 7), Px(12.6, 9.9)});
      const ShapeCase s{2, 3, 13, 10, false, type, width};
      EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedShape(before, s, 0xFFFF0000u, 0xFF0000FFu))
          << "type " << type << " width " << width;
      ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
      EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Rectangle");
      ASSERT_TRUE(doc.image->GetHistory()->Undo());
      EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(before));
    }
  }
}

TEST_F(ShapeTools, EllipsesInEveryTypeAndWidth) {
  const ShapeCase shapes[] = {{2, 3, 13, 10, true, 0, 0}, {1, 1, 15, 13, true, 0, 0}, {4, 4, 7, 9, true, 0, 0}};
  for (const ShapeCase& shape : shapes) {
    for (int type = 1; type <= 3; ++type) {
      for (int width : {1, 2, 4, 50}) {
        TestDocument doc(16, 14);
        SetShape(1, 1, static_cast<uint32_t>(type), static_cast<uint32_t>(width));
        CPixelArray before(16, 14);
        before.CopyFrom(*doc.layer->GetPixels());
        CEllipseTool tool;
        // Press and release on the shape's corners (pixel centres snap outwards).
        DragTool(tool, 2, {Px(shape.l + 0.4, shape.t + 0.4), Px(shape.r - 0.4, shape.b - 0.4)});
        ShapeCase s = shape;
        s.type = type;
        s.width = width;
        EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedShape(before, s, 0xFF0000FFu, 0xFFFF0000u))
            << "type " << type << " width " << width << " shape " << shape.l << "," << shape.t;
        ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
        EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Ellipse");
        ASSERT_TRUE(doc.image->GetHistory()->Undo());
        EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), PixelsOf(before));
      }
    }
  }
}

TEST_F(ShapeTools, ShapesAreClippedToTheLayer) {
  TestDocument doc(10, 8);
  SetShape(3, 2, 2, 1);
  CPixelArray before(10, 8);
  before.CopyFrom(*doc.layer->GetPixels());
  CEllipseTool ellipse;
  DragTool(ellipse, 1, {Px(-4.5, -2.5), Px(6.5, 5.5)});
  const ShapeCase e{-5, -3, 7, 6, true, 2, 1};
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedShape(before, e, 0xFFFF0000u, 0xFF0000FFu));
  CPixelArray middle(10, 8);
  middle.CopyFrom(*doc.layer->GetPixels());
  CRectangleTool rectangle;
  DragTool(rectangle, 1, {Px(7.5, 6.5), Px(14.5, 12.5)});
  const ShapeCase r{7, 6, 15, 13, false, 3, 2};
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), ExpectedShape(middle, r, 0xFFFF0000u, 0xFF0000FFu));
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 2);
  // Wholly outside: nothing, no action.
  DragTool(rectangle, 1, {Px(11.5, 1.5), Px(14.5, 4.5)});
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 2);
}

TEST_F(ShapeTools, AShortDragPaintsNothing) {
  TestDocument doc(8, 8);
  host.zoom = 4;
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CRectangleTool tool;
  DragTool(tool, 1, {Point{3 * 256 + 40, 3 * 256 + 40}, Point{3 * 256 + 80, 3 * 256 + 80}});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  EXPECT_EQ(host.geometryClears, 1);
}

TEST_F(ShapeTools, ModifiersTakeEffectAtTheirNextPressOrRelease) {
  TestDocument doc(20, 20);
  host.keys.insert(CTool::KEY_SHIFT);  // already held at the press
  CRectangleTool tool;
  tool.PointerEntered(Px(2.5, 2.5));
  tool.GetCursor(Px(2.5, 2.5));
  ASSERT_TRUE(tool.MouseDown(1, Px(2.5, 2.5)));
  EXPECT_EQ(tool.GetFlags(), 0);
  tool.MouseMove(Px(12.5, 6.5));
  ExpectRect(tool.GetShapeRect(), 512, 512, 3328, 1792);
  EXPECT_EQ(host.size.x, 11);
  EXPECT_EQ(host.size.y, 5);
  EXPECT_FALSE(host.sizeFixed);
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_SHIFT, true));  // a repeat changes nothing
  EXPECT_EQ(tool.GetFlags(), 0);
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_SHIFT, false));
  EXPECT_EQ(tool.GetFlags(), CShapeDragTool::FLAG_SHIFT);
  ExpectRect(tool.GetShapeRect(), 512, 512, 1792, 1792);
  host.keys.insert(CTool::KEY_ALT);
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_ALT, false));
  // Centred square around the anchor's cell centre (tx + ty = 256 > 128).
  ExpectRect(tool.GetShapeRect(), -512, -512, 1792, 1792);
  host.keys.erase(CTool::KEY_SHIFT);
  EXPECT_TRUE(tool.KeyUp(CTool::KEY_SHIFT));
  ExpectRect(tool.GetShapeRect(), -2048, -512, 3328, 1792);
  EXPECT_FALSE(tool.KeyDown('A', false));
  EXPECT_TRUE(tool.WantsAutoScroll());
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Use ALT and SHIFT for additional options.");
  EXPECT_TRUE(tool.MouseUp(1, Px(12.5, 6.5)));
  tool.EndDrag();
  EXPECT_FALSE(tool.WantsAutoScroll());
  const ShapeCase s{0, 0, 13, 7, false, 1, 1};
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y) == 0xFFFF0000u, Classify(s, x, y) != 0) << x << "," << y;
}

TEST_F(ShapeTools, SupersampledLayersTakeShapesBetweenPixels) {
  TestDocument doc(4, 3, true);
  host.zoom = 4;
  SetShape(2, 3, 3, 2);
  CPixelArray before(32, 24);
  before.CopyFrom(*doc.layer->GetPixelArray());
  const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
  CEllipseTool tool;
  tool.PointerEntered(Point{326, 326});
  tool.GetCursor(Point{326, 326});
  ASSERT_TRUE(tool.MouseDown(2, Point{326, 326}));
  tool.MouseMove(Point{626, 526});
  EXPECT_TRUE(host.sizeFixed);
  EXPECT_EQ(host.size.x, 320);
  EXPECT_EQ(host.size.y, 192);
  EXPECT_TRUE(tool.MouseUp(2, Point{626, 526}));
  tool.EndDrag();
  const ShapeCase s{10, 10, 20, 16, true, 3, 2};
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), ExpectedShape(before, s, 0xFF0000FFu, 0xFFFF0000u));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), PixelsOf(before));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before1x);
}

TEST_F(ShapeTools, SelectionAndChannelModesLimitThePaint) {
  for (int mode = 0; mode < 3; ++mode) {
    TestDocument doc(12, 12);
    SetShape(3, 2, 1, 1);
    SetPrimaryColor(CColor(0x80E0A060u));
    host.channelMode = mode;
    SetSelection(doc.image->GetSelection(), [](int x, int y) { return y < 3 ? 0 : (x * 29 + y * 13) & 255; });
    CPixelArray before(12, 12);
    before.CopyFrom(*doc.layer->GetPixels());
    CRectangleTool tool;
    DragTool(tool, 1, {Px(1.5, 1.5), Px(10.5, 10.5)});
    const ShapeCase s{1, 1, 11, 11, false, 3, 2};
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
              ExpectedShape(before, s, 0x80E0A060u, 0xFF0000FFu, doc.image->GetSelection()->GetMask(), mode))
        << "mode " << mode;
    for (int x = 0; x < 36; ++x)
      EXPECT_EQ(doc.layer->GetPixels()->data[x], before.data[x]);
  }
}

// ---------------------------------------------------------------------------------------------
// Cursors, hints, picking, feedback

TEST_F(ShapeTools, CursorsHintsAndPicking) {
  TestDocument doc(8, 8);
  CRectangleTool rectangle;
  CEllipseTool ellipse;
  EXPECT_EQ(rectangle.GetId(), 100);
  EXPECT_EQ(ellipse.GetId(), 101);
  EXPECT_EQ(rectangle.GetCursor(Px(1, 1)), reinterpret_cast<HCURSOR>(212));
  rectangle.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click and drag to create a rectangle. Use ALT to pick colors.");
  ellipse.GetCursor(Px(1, 1));
  ellipse.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click and drag to create an ellipse. Use ALT to pick colors.");
  EXPECT_TRUE(ellipse.KeyDown(CTool::KEY_ALT, false));
  EXPECT_EQ(host.cursorRestores, 1);
  host.keys.insert(CTool::KEY_ALT);
  EXPECT_EQ(ellipse.GetCursor(Px(1, 1)), reinterpret_cast<HCURSOR>(221));
  ellipse.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to pick a color.");
  host.pickAnswers = true;
  host.pickColor = CColor(0xFF010203u);
  ASSERT_TRUE(ellipse.MouseDown(1, Px(1, 1)));
  EXPECT_EQ(GetPrimaryColor().value, 0xFF010203u);
  ellipse.ShowColor(Px(1, 1));
  EXPECT_TRUE(host.colorShown);
  EXPECT_FALSE(ellipse.WantsAutoScroll());
  EXPECT_TRUE(ellipse.MouseUp(1, Px(1, 1)));
  ellipse.EndDrag();
  ellipse.ShowColor(Px(1, 1));
  EXPECT_FALSE(host.colorShown);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Without a visible layer: nothing to do.
  host.keys.clear();
  doc.layer->SetVisible(false);
  EXPECT_EQ(rectangle.GetCursor(Px(1, 1)), reinterpret_cast<HCURSOR>(200));
  ASSERT_TRUE(rectangle.MouseDown(2, Px(1, 1)));
  EXPECT_EQ(rectangle.GetState(), CTool::STATE_IDLE);
  EXPECT_FALSE(rectangle.MouseDown(2, Px(1, 1)));
  EXPECT_TRUE(rectangle.MouseUp(2, Px(1, 1)));
  rectangle.EndDrag();
  EXPECT_EQ(rectangle.GetState(), CTool::STATE_READY);
  EXPECT_FALSE(rectangle.MouseDown(3, Px(1, 1)));
}

TEST_F(ShapeTools, FeedbackOutlinesTheShapeInClientPixels) {
  TestDocument doc(16, 12);
  host.zoom = 2;
  CRectangleTool tool;
  tool.PointerEntered(Px(2.1, 3.2));
  tool.GetCursor(Px(2.1, 3.2));
  ASSERT_TRUE(tool.MouseDown(1, Px(2.1, 3.2)));
  tool.MouseMove(Px(12.6, 9.9));
  ExpectRect(tool.GetShapeRect(), 512, 768, 3328, 2560);
  std::vector<uint32_t> view(40 * 30, 0xFFFFFFFFu), out(40 * 30, 0);
  CToolOverlay overlay{40, 30, out.data(), view.data(), nullptr, nullptr, Rect{0, 0, 40, 30}};
  tool.DrawOverlay(overlay);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool edge = (x >= 4 && x <= 25 && (y == 6 || y == 19)) || (y >= 6 && y <= 19 && (x == 4 || x == 25));
      ASSERT_EQ(out[y * 40 + x] != 0, edge) << x << "," << y;
    }
  EXPECT_EQ(out[6 * 40 + 4], 0xFF808080u);
  EXPECT_FALSE(host.overlayInvalidations.empty());
  EXPECT_TRUE(tool.MouseUp(1, Px(12.6, 9.9)));
  tool.EndDrag();
  std::fill(out.begin(), out.end(), 0u);
  tool.DrawOverlay(overlay);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0u), 40 * 30);
  EXPECT_EQ(host.refits, 1);
  EXPECT_EQ(host.geometryClears, 1);
  EXPECT_TRUE(host.geometryClearedBeforeCommands);
}

}  // namespace
