#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/History.h"
#include "document/PixelArray.h"
#include "tools/DrawingColors.h"
#include "tools/PencilTool.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Reference rasteriser: a round brush of n working pixels whose square is snapped to the
// working grid; a pixel is covered when its index lies within n / 2 of the segment between
// the two square centres. Coordinates are doubled so that everything stays in integers.

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0)))
    --q;
  return q;
}

struct Segment {
  Point from;
  Point to;
};

// Doubled centre of the brush square at p along one axis.
int64_t DoubledCentre(int32_t p, int32_t size, int32_t step) {
  const int64_t corner = FloorDiv(static_cast<int64_t>(p) + step / 2 - size * step / 2, step);
  return 2 * corner + size - 1;
}

bool Covers(const Segment& s, int32_t size, int32_t step, int32_t j, int32_t i) {
  const int64_t ax = DoubledCentre(s.from.x, size, step), ay = DoubledCentre(s.from.y, size, step);
  const int64_t bx = DoubledCentre(s.to.x, size, step), by = DoubledCentre(s.to.y, size, step);
  const int64_t qx = 2 * j, qy = 2 * i;
  const int64_t r2 = static_cast<int64_t>(size) * size;
  const int64_t dx = bx - ax, dy = by - ay;
  const int64_t den = dx * dx + dy * dy;
  const int64_t t = (qx - ax) * dx + (qy - ay) * dy;
  const int64_t qa2 = (qx - ax) * (qx - ax) + (qy - ay) * (qy - ay);
  if (den == 0 || t <= 0)
    return qa2 <= r2;
  if (t >= den)
    return (qx - bx) * (qx - bx) + (qy - by) * (qy - by) <= r2;
  return qa2 * den - t * t <= r2 * den;  // squared distance from the line, times den
}

// The edit array expected after painting the segments over the original.
std::vector<uint32_t> ExpectedPixels(const std::vector<uint32_t>& original, int32_t width,
                                     int32_t height, const std::vector<Segment>& segments,
                                     int32_t size, int32_t step, uint32_t color,
                                     const CMaskArray* mask = nullptr, int channelMode = 0) {
  std::vector<uint32_t> result = original;
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      bool covered = false;
      for (const Segment& s : segments)
        covered = covered || Covers(s, size, step, j, i);
      if (!covered)
        continue;
      const uint32_t amount = mask ? mask->data[i * width + j] : 255;
      if (amount)
        result[i * width + j] = BlendInMode(original[i * width + j], color, amount, channelMode);
    }
  }
  return result;
}

// A freehand drag paints the first dab, then a segment to every new position.
std::vector<Segment> FreehandSegments(const std::vector<Point>& path) {
  std::vector<Segment> segments{{path[0], path[0]}};
  for (size_t k = 1; k < path.size(); ++k)
    segments.push_back({path[k - 1], path[k]});
  return segments;
}

// The main view's drag, after which the tool is ready again.
void Drag(CPaintTool& tool, int32_t button, const std::vector<Point>& path) {
  DragTool(tool, button, path);
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
}

class PaintTools : public DrawingToolTest {
protected:
  void SetUp() override {
    SetToolSizes(1, 1);
    DrawingToolTest::SetUp();
  }
};

// ---------------------------------------------------------------------------------------------
// Geometry

TEST_F(PaintTools, BrushSquareSnapsToTheWorkingGrid) {
  Rect square = GetBrushSquare(Point{5 * 256 + 10, 3 * 256 + 250}, 1, 256);
  EXPECT_EQ(square.left, 5 * 256);
  EXPECT_EQ(square.top, 3 * 256);
  EXPECT_EQ(square.right, 6 * 256);
  EXPECT_EQ(square.bottom, 4 * 256);
  // Even sizes centre on the nearest grid corner.
  square = GetBrushSquare(Point{5 * 256 + 200, 2 * 256 + 100}, 2, 256);
  EXPECT_EQ(square.left, 5 * 256);
  EXPECT_EQ(square.top, 1 * 256);
  EXPECT_EQ(square.right, 7 * 256);
  // Negative positions floor.
  square = GetBrushSquare(Point{-10, -300}, 1, 256);
  EXPECT_EQ(square.left, -256);
  EXPECT_EQ(square.top, -512);
  // Supersampled: eighths of a pixel.
  square = GetBrushSquare(Point{256 + 40, 0}, 8, 32);
  EXPECT_EQ(square.left, 160);
  EXPECT_EQ(square.right, 160 + 256);
  Rect outline = GetOutlineSquare(Point{1000, 1000}, 3, 256);
  EXPECT_EQ(outline.left, 1000 - 384);
  EXPECT_EQ(outline.bottom, 1000 + 384);
}

TEST_F(PaintTools, StepAndScreenDiameter) {
  EXPECT_EQ(GetToolPixelStep(), 0);  // no document
  {
    TestDocument doc(4, 4);
    EXPECT_EQ(GetToolPixelStep(), 256);
    host.zoom = 3;
    EXPECT_EQ(GetScreenBrushDiameter(5, 256), 15);
  }
  TestDocument doc(4, 4, true);
  EXPECT_EQ(GetToolPixelStep(), 32);
  host.zoom = 1;
  EXPECT_EQ(GetScreenBrushDiameter(8, 32), 1);
  EXPECT_EQ(GetScreenBrushDiameter(9, 32), 2);  // rounded up
  host.zoom = 16;
  EXPECT_EQ(GetScreenBrushDiameter(3, 32), 6);
}

// ---------------------------------------------------------------------------------------------
// Painting

TEST_F(PaintTools, AClickPaintsThePixelUnderThePointer) {
  TestDocument doc(8, 6);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  Drag(pencil, 1, {Point{5 * 256 + 10, 3 * 256 + 250}});
  std::vector<uint32_t> expected = before;
  expected[3 * 8 + 5] = 0xFFFF0000u;
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), expected);
  // The composite follows.
  EXPECT_EQ(doc.image->GetComposite()->GetPixel(5, 3), 0xFFFF0000u);
}

TEST_F(PaintTools, FreehandStrokesFollowTheLineRules) {
  const int32_t sizes[] = {1, 2, 3, 4, 7, 10};
  const std::vector<Point> path = {Px(3.3, 4.1), Px(9.8, 6.6),  Px(10.2, 14.9), Px(2.5, 12.0),
                                   Px(2.6, 12.1), Px(-3.0, 1.0), Px(17.9, 2.2)};
  for (int32_t size : sizes) {
    TestDocument doc(20, 18);
    SetToolSizes(static_cast<uint32_t>(size), 1);
    const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
    CPencilTool pencil;
    Drag(pencil, 1, path);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
              ExpectedPixels(before, 20, 18, FreehandSegments(path), size, 256, 0xFFFF0000u))
        << "size " << size;
  }
}

TEST_F(PaintTools, RightButtonPaintsTheSecondaryColor) {
  TestDocument doc(10, 10);
  SetToolSizes(3, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  const std::vector<Point> path = {Px(1.5, 1.5), Px(8.2, 7.7)};
  Drag(pencil, 2, path);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
            ExpectedPixels(before, 10, 10, FreehandSegments(path), 3, 256, 0xFF0000FFu));
}

TEST_F(PaintTools, LinesPaintOnlyFromStartToEnd) {
  TestDocument doc(16, 16);
  SetToolSizes(2, 1);
  host.keys.insert(CTool::KEY_CONTROL);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  pencil.PointerEntered(Px(2.2, 3.7));
  pencil.GetCursor(Px(2.2, 3.7));
  EXPECT_EQ(pencil.GetMode(), CPaintTool::MODE_LINE);
  pencil.MouseMove(Px(2.2, 3.7));
  ASSERT_TRUE(pencil.MouseDown(1, Px(2.2, 3.7)));
  EXPECT_EQ(pencil.GetState(), CPaintTool::STATE_LINE);
  EXPECT_TRUE(pencil.WantsAutoScroll());
  pencil.MouseMove(Px(14.0, 1.0));
  pencil.MouseMove(Px(13.1, 12.6));
  // Nothing is painted while the line is dragged; the status bar shows its extent.
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_FALSE(host.extentFixed);
  EXPECT_EQ(host.extent.x, 11);  // squares at 1 and 12
  EXPECT_EQ(host.extent.y, 9);   // squares at 3 and 12
  EXPECT_TRUE(pencil.MouseUp(1, Px(13.1, 12.6)));
  pencil.EndDrag();
  EXPECT_FALSE(pencil.WantsAutoScroll());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
            ExpectedPixels(before, 16, 16, {{Px(2.2, 3.7), Px(13.1, 12.6)}}, 2, 256, 0xFFFF0000u));
  EXPECT_EQ(host.geometryClears, 1);
  EXPECT_TRUE(host.geometryClearedBeforeCommands);
  ASSERT_NE(doc.image->GetHistory()->GetCurrent(), nullptr);
  EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Pencil Stroke");
}

TEST_F(PaintTools, ALostCaptureEndsALineWithoutPainting) {
  TestDocument doc(8, 8);
  host.keys.insert(CTool::KEY_CONTROL);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  pencil.PointerEntered(Px(1, 1));
  pencil.GetCursor(Px(1, 1));
  ASSERT_TRUE(pencil.MouseDown(1, Px(1, 1)));
  pencil.MouseMove(Px(6, 6));
  pencil.EndDrag();
  EXPECT_EQ(pencil.GetState(), CTool::STATE_READY);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(PaintTools, SupersampledLayersArePaintedAtEightTimesTheSize) {
  TestDocument doc(6, 5, true);
  SetToolSizes(8, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixelArray());
  const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  const std::vector<Point> path = {Px(1.5, 1.5), Px(1.52, 1.55), Px(4.3, 2.9)};
  Drag(pencil, 1, path);
  const std::vector<uint32_t> expected =
      ExpectedPixels(before, 48, 40, FreehandSegments(path), 8, 32, 0xFFFF0000u);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected);
  // 1x pixels whose 8 x 8 block is all red are red; blocks left alone keep their pixels.
  const CPixelArray& plain = *doc.layer->GetPixels();
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool all = true, none = true;
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
          const bool changed = expected[(y * 8 + i) * 48 + x * 8 + j] != before[(y * 8 + i) * 48 + x * 8 + j];
          all = all && expected[(y * 8 + i) * 48 + x * 8 + j] == 0xFFFF0000u;
          none = none && !changed;
        }
      if (all) {
        EXPECT_EQ(plain.GetPixel(x, y), 0xFFFF0000u) << x << "," << y;
      }
      if (none) {
        EXPECT_EQ(plain.GetPixel(x, y), before1x[y * 6 + x]) << x << "," << y;
      }
    }
  }
  // The click at (1.5, 1.5) covers one image pixel's worth of working pixels.
  int covered = 0;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 48; ++j)
      covered += Covers({Px(1.5, 1.5), Px(1.5, 1.5)}, 8, 32, j, i);
  EXPECT_EQ(covered, 52);  // the round 8 x 8 footprint
}

TEST_F(PaintTools, SupersampledLineExtentIsShownInFixedPoint) {
  TestDocument doc(6, 6, true);
  SetToolSizes(8, 1);
  host.keys.insert(CTool::KEY_CONTROL);
  CPencilTool pencil;
  pencil.PointerEntered(Px(1.0, 1.0));
  pencil.GetCursor(Px(1.0, 1.0));
  ASSERT_TRUE(pencil.MouseDown(1, Px(1.0, 1.0)));
  pencil.MouseMove(Point{256 + 100, 256 + 33});
  EXPECT_TRUE(host.extentFixed);
  EXPECT_EQ(host.extent.x, 96);  // squares snap to 32 units
  EXPECT_EQ(host.extent.y, 32);
  EXPECT_TRUE(pencil.MouseUp(1, Point{}));
  pencil.EndDrag();
}

TEST_F(PaintTools, RepaintingInOneStrokeDoesNotAccumulate) {
  TestDocument doc(12, 4);
  SetPrimaryColor(CColor(0x80FF8000u));
  SetToolSizes(2, 1);
  CPencilTool pencil;
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  Drag(pencil, 1, {Px(1.5, 2), Px(10.5, 2)});
  const std::vector<uint32_t> once = PixelsOf(*doc.layer->GetPixels());
  EXPECT_EQ(once, ExpectedPixels(before, 12, 4, {{Px(1.5, 2), Px(10.5, 2)}}, 2, 256, 0x80FF8000u));
  // Undo, then paint the same pixels back and forth.
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  ResyncWorkingCopies();
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  Drag(pencil, 1, {Px(1.5, 2), Px(10.5, 2), Px(1.5, 2), Px(10.5, 2)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), once);
}

TEST_F(PaintTools, SelectionLimitsAndWeightsThePaint) {
  TestDocument doc(10, 10);
  SetToolSizes(10, 1);
  CSelection* selection = doc.image->GetSelection();
  CMaskArray* mask = selection->GetMask();
  for (int i = 0; i < 100; ++i)
    mask->data[i] = static_cast<uint8_t>(i < 30 ? 0 : (i < 60 ? 255 : i * 2));
  selection->SetActive(true);
  selection->Update(nullptr);
  ResyncWorkingCopies();
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  const std::vector<Point> path = {Px(5, 5), Px(5.2, 5.4)};
  Drag(pencil, 1, path);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
            ExpectedPixels(before, 10, 10, FreehandSegments(path), 10, 256, 0xFFFF0000u, mask));
  // Unselected pixels are untouched.
  for (int i = 0; i < 30; ++i)
    EXPECT_EQ(doc.layer->GetPixels()->data[i], before[i]);
}

TEST_F(PaintTools, EraserInEveryChannelMode) {
  for (int mode = 0; mode < 3; ++mode) {
    TestDocument doc(9, 9);
    SetToolSizes(1, 4);
    host.channelMode = mode;
    const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
    CEraserTool eraser;
    const std::vector<Point> path = {Px(2.5, 2.5), Px(6.1, 5.3)};
    Drag(eraser, 1, path);
    const std::vector<uint32_t> after = PixelsOf(*doc.layer->GetPixels());
    EXPECT_EQ(after, ExpectedPixels(before, 9, 9, FreehandSegments(path), 4, 256, 0, nullptr, mode))
        << "mode " << mode;
    for (size_t k = 0; k < after.size(); ++k) {
      if (after[k] == before[k])
        continue;
      // Erasing fully: transparent black, black with the alpha kept, or the colour kept.
      const uint32_t expected = mode == 0 ? 0u
                                : mode == 1 ? (before[k] & 0xFF000000u)
                                            : (before[k] & 0x00FFFFFFu);
      EXPECT_EQ(after[k], expected);
    }
    ASSERT_NE(doc.image->GetHistory()->GetCurrent(), nullptr);
    EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Eraser Stroke");
  }
}

TEST_F(PaintTools, PencilInColorAndAlphaModes) {
  for (int mode = 1; mode < 3; ++mode) {
    TestDocument doc(7, 7);
    SetPrimaryColor(CColor(0x4020C0E0u));
    SetToolSizes(3, 1);
    host.channelMode = mode;
    const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
    CPencilTool pencil;
    const std::vector<Point> path = {Px(3.5, 3.5), Px(5.5, 1.5)};
    Drag(pencil, 1, path);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
              ExpectedPixels(before, 7, 7, FreehandSegments(path), 3, 256, 0x4020C0E0u, nullptr, mode));
  }
}

// ---------------------------------------------------------------------------------------------
// Undo

TEST_F(PaintTools, OneStrokeIsOneUndoableAction) {
  TestDocument doc(24, 20);
  SetToolSizes(5, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  const std::vector<uint32_t> composite = PixelsOf(*doc.image->GetComposite());
  CPencilTool pencil;
  Drag(pencil, 1, {Px(2, 2), Px(20, 3), Px(21, 18), Px(4, 17)});
  const std::vector<uint32_t> painted = PixelsOf(*doc.layer->GetPixels());
  ASSERT_NE(painted, before);
  CHistory* history = doc.image->GetHistory();
  EXPECT_EQ(history->GetCount(), 1);
  ASSERT_NE(history->GetCurrent(), nullptr);
  EXPECT_STREQ(history->GetCurrent()->GetName(), "Pencil Stroke");
  // The copies were taken again after the stroke.
  EXPECT_EQ(PixelsOf(g_LayerWorkingCopy.GetPixels()), painted);

  ASSERT_TRUE(history->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), composite);
  ASSERT_TRUE(history->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), painted);
  ASSERT_TRUE(history->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
}

TEST_F(PaintTools, SupersampledUndoRestoresBothLevels) {
  TestDocument doc(5, 5, true);
  SetToolSizes(12, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixelArray());
  const std::vector<uint32_t> before1x = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  Drag(pencil, 1, {Px(1, 1), Px(4, 3.5)});
  ASSERT_NE(PixelsOf(*doc.layer->GetPixelArray()), before);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), before);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before1x);
}

TEST_F(PaintTools, StrokesOutsideTheLayerLeaveNoAction) {
  TestDocument doc(6, 6);
  SetToolSizes(3, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  Drag(pencil, 1, {Px(-10, -10), Px(-5, -20), Px(-30, 2)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Partly outside: only what lies on the layer is painted.
  Drag(pencil, 1, {Px(-3, 3), Px(8, 3.5)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()),
            ExpectedPixels(before, 6, 6, FreehandSegments({Px(-3, 3), Px(8, 3.5)}), 3, 256, 0xFFFF0000u));
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Modes, buttons, cursors and hints

TEST_F(PaintTools, EraserIgnoresTheRightButton) {
  TestDocument doc(5, 5);
  CEraserTool eraser;
  eraser.PointerEntered(Px(2, 2));
  eraser.GetCursor(Px(2, 2));
  EXPECT_FALSE(eraser.MouseDown(2, Px(2, 2)));
  EXPECT_EQ(eraser.GetState(), CTool::STATE_READY);
  ASSERT_TRUE(eraser.MouseDown(1, Px(2, 2)));
  EXPECT_FALSE(eraser.MouseUp(2, Px(2, 2)));
  EXPECT_FALSE(eraser.MouseDown(1, Px(2, 2)));  // not while dragging
  EXPECT_TRUE(eraser.MouseUp(1, Px(2, 2)));
  eraser.EndDrag();
}

TEST_F(PaintTools, WithoutAPaintableLayerAClickDoesNothing) {
  TestDocument doc(5, 5);
  doc.layer->SetVisible(false);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CPencilTool pencil;
  pencil.PointerEntered(Px(2, 2));
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(200));
  EXPECT_EQ(pencil.GetMode(), CPaintTool::MODE_NONE);
  ASSERT_TRUE(pencil.MouseDown(1, Px(2, 2)));
  EXPECT_EQ(pencil.GetState(), CTool::STATE_IDLE);
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(200));
  pencil.MouseMove(Px(3, 3));
  EXPECT_TRUE(pencil.MouseUp(1, Px(3, 3)));
  pencil.EndDrag();
  EXPECT_EQ(pencil.GetState(), CTool::STATE_READY);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(PaintTools, AltPicksColors) {
  TestDocument doc(5, 5);
  host.keys.insert(CTool::KEY_ALT);
  host.pickAnswers = true;
  host.pickColor = CColor(0xFF123456u);
  CPencilTool pencil;
  pencil.PointerEntered(Px(2, 2));
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(221));
  pencil.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to pick a color.");
  ASSERT_TRUE(pencil.MouseDown(2, Px(2, 2)));
  EXPECT_EQ(pencil.GetState(), CPaintTool::STATE_PICK);
  EXPECT_EQ(GetSecondaryColor().value, 0xFF123456u);
  host.pickColor = CColor(0xFF654321u);
  pencil.MouseMove(Px(3, 3));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF654321u);
  EXPECT_EQ(GetPrimaryColor().value, 0xFFFF0000u);
  pencil.ShowColor(Px(3, 3));
  EXPECT_TRUE(host.colorShown);
  EXPECT_EQ(host.shownColor.value, 0xFF654321u);
  EXPECT_GE(host.toolboxUpdates, 2);
  EXPECT_TRUE(pencil.MouseUp(2, Px(3, 3)));
  pencil.EndDrag();
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // The Eraser does not pick.
  CEraserTool eraser;
  eraser.PointerEntered(Px(2, 2));
  eraser.GetCursor(Px(2, 2));
  EXPECT_EQ(eraser.GetMode(), CPaintTool::MODE_PAINT);
}

TEST_F(PaintTools, CursorFollowsTheScreenDiameter) {
  TestDocument doc(5, 5);
  CPencilTool pencil;
  pencil.PointerEntered(Px(2, 2));
  SetToolSizes(1, 1);
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(223));
  SetToolSizes(2, 1);
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(224));
  SetToolSizes(9, 1);
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(222));
  SetToolSizes(3, 1);
  host.zoom = 2;
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(224));  // 6 pixels
  host.zoom = 4;
  EXPECT_EQ(pencil.GetCursor(Px(2, 2)), reinterpret_cast<HCURSOR>(222));  // 12 pixels
}

TEST_F(PaintTools, HintsAndColors) {
  TestDocument doc(5, 5);
  CPencilTool pencil;
  CEraserTool eraser;
  pencil.PointerEntered(Px(1, 1));
  eraser.PointerEntered(Px(1, 1));
  pencil.GetCursor(Px(1, 1));
  pencil.ShowHint();
  EXPECT_EQ(host.helpText,
            "Left/right click and drag to paint. Use CTRL to draw lines, ALT to pick colors.");
  eraser.GetCursor(Px(1, 1));
  eraser.ShowHint();
  EXPECT_EQ(host.helpText, "Click and drag to erase. Use CTRL to erase lines.");
  host.keys.insert(CTool::KEY_CONTROL);
  pencil.GetCursor(Px(1, 1));
  pencil.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click and drag to draw a line.");
  eraser.GetCursor(Px(1, 1));
  eraser.ShowHint();
  EXPECT_EQ(host.helpText, "Click and drag to erase a line.");

  host.keys.clear();
  pencil.GetCursor(Px(1, 1));
  pencil.ShowColor(Px(1, 1));
  EXPECT_FALSE(host.colorShown);
  ASSERT_TRUE(pencil.MouseDown(2, Px(1, 1)));
  pencil.ShowHint();
  EXPECT_EQ(host.helpText, "");
  pencil.ShowColor(Px(1, 1));
  EXPECT_TRUE(host.colorShown);
  EXPECT_EQ(host.shownColor.value, 0xFF0000FFu);
  EXPECT_FALSE(pencil.WantsAutoScroll());  // freehand strokes do not scroll
  EXPECT_TRUE(pencil.MouseUp(2, Px(1, 1)));
  pencil.EndDrag();
}

TEST_F(PaintTools, ModifierKeysOnlyMatterWhenReady) {
  TestDocument doc(5, 5);
  CPencilTool pencil;
  EXPECT_TRUE(pencil.KeyDown(CTool::KEY_CONTROL, false));
  EXPECT_TRUE(pencil.KeyUp(CTool::KEY_ALT));
  EXPECT_EQ(host.cursorRestores, 2);
  EXPECT_FALSE(pencil.KeyDown('A', false));
  pencil.PointerEntered(Px(1, 1));
  pencil.GetCursor(Px(1, 1));
  ASSERT_TRUE(pencil.MouseDown(1, Px(1, 1)));
  EXPECT_FALSE(pencil.KeyDown(CTool::KEY_SHIFT, false));
  EXPECT_TRUE(pencil.MouseUp(1, Px(1, 1)));
  pencil.EndDrag();
}

TEST_F(PaintTools, StrokesInvalidateAndRefresh) {
  TestDocument doc(8, 8);
  CPencilTool pencil;
  Drag(pencil, 1, {Px(1, 1), Px(6, 6)});
  EXPECT_FALSE(host.imageInvalidations.empty());
  const Rect& last = host.imageInvalidations.back();
  EXPECT_LE(last.left, 5 * 256);
  EXPECT_GE(last.right, 7 * 256);
  EXPECT_EQ(host.refits, 1);
  EXPECT_EQ(host.previewRefreshes, 1);
  ASSERT_EQ(host.refreshedLayers.size(), 1u);
  EXPECT_EQ(host.refreshedLayers[0], doc.layer);
  ASSERT_EQ(host.refreshedImages.size(), 1u);
  EXPECT_EQ(host.refreshedImages[0], doc.image);
  EXPECT_EQ(host.commandStateUpdates, 1);
  EXPECT_EQ(host.geometryClears, 0);
  // Leaving and entering the view redraws the outline.
  const size_t overlays = host.overlayInvalidations.size();
  pencil.PointerLeft();
  EXPECT_TRUE(pencil.IsAway());
  EXPECT_EQ(host.overlayInvalidations.size(), overlays + 1);
  pencil.PointerLeft();  // already away
  EXPECT_EQ(host.overlayInvalidations.size(), overlays + 1);
}

TEST_F(PaintTools, OverlayShowsTheBrushFootprint) {
  TestDocument doc(8, 8);
  SetToolSizes(4, 1);
  host.zoom = 4;
  CPencilTool pencil;
  pencil.PointerEntered(Px(4.5, 4.5));
  pencil.GetCursor(Px(4.5, 4.5));
  std::vector<uint32_t> view(40 * 40, 0xFFFFFFFFu), out(40 * 40, 0);
  CToolOverlay overlay{40, 40, out.data(), view.data(), nullptr, nullptr, Rect{0, 0, 40, 40}};
  pencil.DrawOverlay(overlay);
  // A 16-pixel square from client (11, 11) in cells of 4: the corner cells stay empty.
  int plotted = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      if (out[y * 40 + x]) {
        ++plotted;
        EXPECT_TRUE(x >= 11 && x < 27 && y >= 11 && y < 27) << x << "," << y;
      }
  EXPECT_GT(plotted, 0);
  EXPECT_EQ(out[11 * 40 + 11], 0u);
  EXPECT_EQ(out[14 * 40 + 14], 0u);
  EXPECT_NE(out[11 * 40 + 15], 0u);  // top edge of the second cell
  pencil.PointerLeft();
}

TEST_F(PaintTools, LineOverlayShowsBothEndsAndTheLine) {
  TestDocument doc(40, 10);
  SetToolSizes(1, 1);
  host.keys.insert(CTool::KEY_CONTROL);
  CPencilTool pencil;
  pencil.PointerEntered(Px(2.5, 5.5));
  pencil.GetCursor(Px(2.5, 5.5));
  ASSERT_TRUE(pencil.MouseDown(1, Px(2.5, 5.5)));
  pencil.MouseMove(Px(30.5, 5.5));
  std::vector<uint32_t> view(40 * 10, 0xFF000000u), out(40 * 10, 0);
  CToolOverlay overlay{40, 10, out.data(), view.data(), nullptr, nullptr, Rect{0, 0, 40, 10}};
  pencil.DrawOverlay(overlay);
  // Zoom 1: the footprints are single pixels and the line joins them along row 5.
  for (int x = 0; x < 40; ++x) {
    EXPECT_EQ(out[5 * 40 + x] != 0, x >= 2 && x <= 30) << x;
  }
  EXPECT_EQ(out[5 * 40 + 2], 0xFF808080u);  // black view lerped halfway to white
  EXPECT_TRUE(pencil.MouseUp(1, Px(30.5, 5.5)));
  pencil.EndDrag();
  // Idle in line mode, the footprint follows the pointer.
  std::fill(out.begin(), out.end(), 0u);
  pencil.MouseMove(Px(7.5, 1.5));
  pencil.DrawOverlay(overlay);
  int plotted = 0;
  for (uint32_t p : out)
    plotted += p != 0;
  EXPECT_EQ(plotted, 1);
  EXPECT_NE(out[1 * 40 + 7], 0u);
}

}  // namespace
