#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "document/History.h"
#include "document/Supersample.h"
#include "tools/SelectionTool.h"

namespace {

class SelectionToolTest : public DrawingToolTest {
protected:
  void SetUp() override {
    DrawingToolTest::SetUp();
    g_Settings.drawingToolsSelectorShape->SetValue(SELECTION_RECTANGULAR);
  }
  void TearDown() override {
    g_Settings.drawingToolsSelectorShape->SetValue(SELECTION_RECTANGULAR);
    DrawingToolTest::TearDown();
  }

  CSelectionTool tool;
};

// The mask of a w x h selection with 255 inside the pixel rectangle.
std::vector<uint8_t> RectMask(int32_t w, int32_t h, int32_t l, int32_t t, int32_t r, int32_t b) {
  std::vector<uint8_t> mask(static_cast<size_t>(w) * h, 0);
  for (int32_t y = t; y < b; ++y)
    for (int32_t x = l; x < r; ++x)
      mask[y * w + x] = 255;
  return mask;
}

int HistoryCount(CImage* image) {
  return image->GetHistory()->GetCount();
}

const char* LastCaption(CImage* image) {
  CAction* action = image->GetHistory()->GetCurrent();
  return action ? action->GetName() : "";
}

// ---------------------------------------------------------------------------------------------
// Dragging shapes

TEST_F(SelectionToolTest, RectangularDragSelectsTheSnappedPixels) {
  TestDocument doc(10, 8);
  // The drag's edges snap to the nearest pixel lines: 2.3 -> 2, 1.6 -> 2, 6.7 -> 7, 5.2 -> 5.
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2.3, 1.6), Px(4, 3), Px(6.7, 5.2)});
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
  CSelection* selection = doc.image->GetSelection();
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(10, 8, 2, 2, 7, 5));
  ASSERT_EQ(HistoryCount(doc.image), 1);
  EXPECT_STREQ(LastCaption(doc.image), "Select");
  // The size pane showed whole pixels; the geometry is cleared at the end.
  EXPECT_EQ(host.size.x, 5);
  EXPECT_EQ(host.size.y, 3);
  EXPECT_FALSE(host.sizeFixed);
  EXPECT_GT(host.geometryClears, 0);
  EXPECT_GT(host.commandStateUpdates, 0);
  // The working copy follows the new selection.
  EXPECT_EQ(MaskOf(g_SelectionWorkingCopy.GetMask()), MaskOf(*selection->GetMask()));

  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_FALSE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(80, 0));
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(10, 8, 2, 2, 7, 5));
}

TEST_F(SelectionToolTest, DraggingBackwardsGivesTheSameRectangle) {
  TestDocument doc(6, 6);
  DragTool(tool, CTool::BUTTON_LEFT, {Px(4.9, 5.1), Px(1.2, 0.6)});
  EXPECT_EQ(MaskOf(*doc.image->GetSelection()->GetMask()), RectMask(6, 6, 1, 1, 5, 5));
}

TEST_F(SelectionToolTest, EllipticalDragSelectsTheInscribedEllipse) {
  TestDocument doc(12, 9);
  g_Settings.drawingToolsSelectorShape->SetValue(SELECTION_ELLIPTICAL);
  DragTool(tool, CTool::BUTTON_LEFT, {Px(1, 1), Px(10, 8)});
  // Columns 1..9, rows 1..7: centre (5, 4), semi-axes 4.5 and 3.5. In doubled units
  // ((2x - 10) * 7)^2 + ((2y - 8) * 9)^2 <= (9 * 7)^2.
  std::vector<uint8_t> expected(12 * 9, 0);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const int64_t dx = (2 * x - 10) * 7, dy = (2 * y - 8) * 9;
      if (x >= 1 && x < 10 && y >= 1 && y < 8 && dx * dx + dy * dy <= 63 * 63)
        expected[y * 12 + x] = 255;
    }
  }
  EXPECT_EQ(MaskOf(*doc.image->GetSelection()->GetMask()), expected);
  // The corners are out, the centre row spans the whole width.
  EXPECT_EQ(expected[1 * 12 + 1], 0);
  EXPECT_EQ(expected[4 * 12 + 1], 255);
  EXPECT_EQ(expected[4 * 12 + 9], 255);
}

TEST_F(SelectionToolTest, ModifierKeysAddSubtractAndIntersect) {
  TestDocument doc(8, 6);
  CSelection* selection = doc.image->GetSelection();
  // An anti-aliased old selection: columns 0..3 at 0x5A, column 2 at 255.
  SetSelection(selection, [](int32_t x, int32_t) { return x == 2 ? 255 : (x < 4 ? 0x5A : 0); });
  const std::vector<uint8_t> old = MaskOf(*selection->GetMask());
  const std::vector<uint8_t> shape = RectMask(8, 6, 2, 1, 6, 4);

  struct Case {
    std::set<int32_t> keys;
    int32_t mode;
  };
  const Case cases[] = {{{CTool::KEY_SHIFT}, CSelectionTool::MODE_ADD},
                        {{CTool::KEY_ALT}, CSelectionTool::MODE_SUBTRACT},
                        {{CTool::KEY_ALT, CTool::KEY_SHIFT}, CSelectionTool::MODE_INTERSECT}};
  for (const Case& c : cases) {
    host.keys = c.keys;
    tool.GetCursor(Px(2, 1));
    EXPECT_EQ(tool.GetMode(), c.mode);
    EXPECT_EQ(host.lastCursor, CURSOR_SELECT_REPLACE + c.mode - 1);
    DragTool(tool, CTool::BUTTON_LEFT, {Px(2, 1), Px(6, 4)});
    host.keys.clear();
    std::vector<uint8_t> expected(old.size());
    for (size_t k = 0; k < old.size(); ++k) {
      if (c.mode == CSelectionTool::MODE_ADD)
        expected[k] = static_cast<uint8_t>(old[k] | shape[k]);
      else if (c.mode == CSelectionTool::MODE_SUBTRACT)
        expected[k] = static_cast<uint8_t>(old[k] & ~shape[k]);
      else
        expected[k] = static_cast<uint8_t>(old[k] & shape[k]);
    }
    EXPECT_EQ(MaskOf(*selection->GetMask()), expected) << c.mode;
    // Back to the old selection for the next case.
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
    EXPECT_EQ(MaskOf(*selection->GetMask()), old);
  }
}

TEST_F(SelectionToolTest, SubtractingEverythingLeavesAnInactiveSelection) {
  TestDocument doc(6, 6);
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t x, int32_t y) { return x >= 2 && x < 4 && y >= 2 && y < 4 ? 255 : 0; });
  host.keys = {CTool::KEY_ALT};
  tool.GetCursor(Px(0, 0));
  DragTool(tool, CTool::BUTTON_LEFT, {Px(1, 1), Px(5, 5)});
  EXPECT_FALSE(selection->IsActive());
  EXPECT_TRUE(selection->IsEmpty());
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(6, 6, 2, 2, 4, 4));
}

TEST_F(SelectionToolTest, AClickDeselectsOnlyAnActiveSelection) {
  TestDocument doc(5, 5);
  CSelection* selection = doc.image->GetSelection();
  // Nothing selected: a click records nothing.
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2, 2)});
  EXPECT_EQ(HistoryCount(doc.image), 0);
  EXPECT_FALSE(selection->IsActive());

  SetSelection(selection, [](int32_t x, int32_t) { return x < 2 ? 255 : 0; });
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2, 2)});
  EXPECT_FALSE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(25, 0));
  ASSERT_EQ(HistoryCount(doc.image), 1);
  EXPECT_STREQ(LastCaption(doc.image), "Deselect");
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(5, 5, 0, 0, 2, 5));
}

TEST_F(SelectionToolTest, ADragShorterThanHalfAPixelSelectsNothing) {
  TestDocument doc(5, 5);
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t, int32_t) { return 255; });
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2.1, 2.1), Px(2.3, 2.2)});
  // An empty shape replaces the selection with nothing.
  EXPECT_FALSE(selection->IsActive());
  EXPECT_TRUE(selection->IsEmpty());
  EXPECT_STREQ(LastCaption(doc.image), "Select");
}

TEST_F(SelectionToolTest, SupersampledLayerSelectsInEighths) {
  TestDocument doc(4, 4, true);
  host.zoom = 8;  // the grid is 1/8 pixel
  DragTool(tool, CTool::BUTTON_LEFT, {Px(0.5, 0.25), Px(2.75, 3.0)});
  CSelection* selection = doc.image->GetSelection();
  ASSERT_TRUE(selection->IsSupersampled());
  // 8x edges: 4, 2, 22, 24.
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(32, 32, 4, 2, 22, 24));
  EXPECT_TRUE(host.sizeFixed);
  EXPECT_EQ(host.size.x, 22 * 32 - 4 * 32);
  // The 1x level follows: a fully covered pixel, a partly covered one and an empty one.
  const CMaskArray* plain = selection->GetSupersampleStack()->GetLevel(0);
  EXPECT_EQ(plain->data[1 * 4 + 1], 255);
  EXPECT_EQ(plain->data[3 * 4 + 3], 0);
  EXPECT_GT(plain->data[0], 0);
  EXPECT_LT(plain->data[0], 255);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(32 * 32, 0));
}

TEST_F(SelectionToolTest, HiddenSupersampledLayerSelectsWholePixels) {
  TestDocument doc(4, 4, true);
  doc.layer->SetVisible(false);
  host.zoom = 8;
  DragTool(tool, CTool::BUTTON_LEFT, {Px(1, 1), Px(3, 2)});
  CSelection* selection = doc.image->GetSelection();
  // Drawn at 1x and replicated into the 8 x 8 blocks.
  EXPECT_EQ(MaskOf(*selection->GetMask()), RectMask(32, 32, 8, 8, 24, 16));
  EXPECT_EQ(MaskOf(*selection->GetSupersampleStack()->GetLevel(0)), RectMask(4, 4, 1, 1, 3, 2));
}

TEST_F(SelectionToolTest, ShiftMakesASquareAndAltCentresIt) {
  TestDocument doc(12, 12);
  tool.GetCursor(Px(0, 0));
  tool.PointerEntered(Px(2, 2));
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(2, 2)));
  tool.MouseMove(Px(7, 4));
  host.keys = {CTool::KEY_SHIFT};
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_SHIFT, false));
  // The smaller extent (2) on both axes.
  EXPECT_EQ(tool.GetShapeRect().right - tool.GetShapeRect().left, 2 * 256);
  EXPECT_EQ(tool.GetShapeRect().bottom - tool.GetShapeRect().top, 2 * 256);
  host.keys = {CTool::KEY_ALT};
  EXPECT_TRUE(tool.KeyUp(CTool::KEY_SHIFT));
  // Centred on the anchor: 2 - 5 .. 2 + 5 across, 2 - 2 .. 2 + 2 down.
  EXPECT_EQ(tool.GetShapeRect().left, -3 * 256);
  EXPECT_EQ(tool.GetShapeRect().right, 7 * 256);
  EXPECT_EQ(tool.GetShapeRect().top, 0);
  EXPECT_EQ(tool.GetShapeRect().bottom, 4 * 256);
  host.keys.clear();
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, Px(7, 4)));
  tool.EndDrag();
  // Clipped to the image.
  EXPECT_EQ(MaskOf(*doc.image->GetSelection()->GetMask()), RectMask(12, 12, 0, 0, 7, 4));
}

TEST_F(SelectionToolTest, OnlyTheLeftButtonAndAnImageCount) {
  tool.GetCursor(Px(0, 0));
  EXPECT_EQ(tool.GetMode(), CSelectionTool::MODE_NONE);
  EXPECT_EQ(host.lastCursor, CURSOR_TOOL_DEFAULT);
  // Without an image the press is accepted but does nothing.
  EXPECT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(1, 1)));
  EXPECT_EQ(tool.GetState(), CTool::STATE_IDLE);
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, Px(1, 1)));
  tool.EndDrag();
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);

  TestDocument doc(4, 4);
  tool.GetCursor(Px(0, 0));
  EXPECT_EQ(tool.GetMode(), CSelectionTool::MODE_REPLACE);
  EXPECT_FALSE(tool.MouseDown(CTool::BUTTON_RIGHT, Px(1, 1)));
  EXPECT_EQ(tool.GetState(), CTool::STATE_READY);
}

TEST_F(SelectionToolTest, HintsAndAutoScrollFollowTheState) {
  TestDocument doc(6, 6);
  tool.GetCursor(Px(0, 0));
  tool.ShowHint();
  EXPECT_EQ(host.helpText,
            "Click and drag to select a region. Use ALT and SHIFT for additional options.");
  host.keys = {CTool::KEY_SHIFT};
  tool.GetCursor(Px(0, 0));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Click and drag to add a region to the selection.");
  host.keys = {CTool::KEY_ALT};
  tool.GetCursor(Px(0, 0));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Click and drag to subtract a region from the selection.");
  host.keys = {CTool::KEY_ALT, CTool::KEY_SHIFT};
  tool.GetCursor(Px(0, 0));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Click and drag to intersect the selection with a region.");
  host.keys.clear();
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_CONTROL, false));  // re-evaluates the cursor
  EXPECT_GT(host.cursorRestores, 0);
  EXPECT_FALSE(tool.KeyDown('A', false));

  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(1, 1)));
  EXPECT_FALSE(tool.WantsAutoScroll());
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Use ALT and SHIFT for additional options.");
  tool.MouseMove(Px(3, 3));
  EXPECT_TRUE(tool.WantsAutoScroll());
  EXPECT_FALSE(host.overlayInvalidations.empty());
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, Px(3, 3)));
  tool.EndDrag();
  tool.ShowHint();
  EXPECT_FALSE(tool.WantsAutoScroll());
}

// ---------------------------------------------------------------------------------------------
// Feedback

uint32_t Mix(uint32_t pixel, uint32_t target, double opacity) {
  uint32_t result = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const double a = (pixel >> shift) & 0xFF, b = (target >> shift) & 0xFF;
    result |= static_cast<uint32_t>(std::lround(a + (b - a) * opacity)) << shift;
  }
  return result;
}

TEST_F(SelectionToolTest, OverlayTintsTheShapeAndDashesItsEdges) {
  TestDocument doc(8, 8);
  host.zoom = 2;
  tool.GetCursor(Px(1, 1));
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(1, 1)));
  tool.MouseMove(Px(4, 3));
  const int32_t w = 20, h = 20;
  std::vector<uint32_t> view(w * h, 0xFF204060u), pixels(view);
  CToolOverlay overlay{w, h, pixels.data(), view.data(), nullptr, nullptr, Rect{0, 0, w, h}};
  tool.DrawOverlay(overlay);
  // The shape (1, 1)-(4, 3) covers client pixels 2..7 across and 2..5 down.
  const uint32_t tinted = Mix(0xFF204060u, 0xFF808080u, 0.25);
  EXPECT_EQ(pixels[3 * w + 3], tinted);
  EXPECT_EQ(pixels[1 * w + 3], 0xFF204060u);
  EXPECT_EQ(pixels[3 * w + 8], 0xFF204060u);
  // Edges: black where (x + y) mod 8 < 4, white otherwise.
  EXPECT_EQ(pixels[2 * w + 2], Mix(tinted, 0xFFFFFFFFu, 0.75));
  EXPECT_EQ(pixels[2 * w + 7], Mix(tinted, 0xFF000000u, 0.75));
  EXPECT_EQ(pixels[5 * w + 4], Mix(tinted, 0xFF000000u, 0.75));
  EXPECT_EQ(pixels[4 * w + 7], Mix(tinted, 0xFF000000u, 0.75));
  EXPECT_EQ(pixels[3 * w + 2], Mix(tinted, 0xFFFFFFFFu, 0.75));
  EXPECT_EQ(pixels[0], 0xFF204060u);
  // Nothing outside the clip rectangle.
  std::vector<uint32_t> clipped(view);
  overlay.pixels = clipped.data();
  overlay.clip = Rect{0, 0, 4, 20};
  tool.DrawOverlay(overlay);
  EXPECT_EQ(clipped[3 * w + 3], tinted);
  EXPECT_EQ(clipped[3 * w + 4], 0xFF204060u);
}

// ---------------------------------------------------------------------------------------------
// Commands

TEST_F(SelectionToolTest, SelectAllDeselectAndInvert) {
  TestDocument doc(5, 4);
  CSelection* selection = doc.image->GetSelection();
  ASSERT_TRUE(SelectAllCommand());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_TRUE(selection->IsFull());
  EXPECT_STREQ(LastCaption(doc.image), "Select");
  // Already full: refused, nothing recorded.
  EXPECT_FALSE(SelectAllCommand());
  EXPECT_EQ(HistoryCount(doc.image), 1);

  // Invert of a full selection leaves it empty and inactive.
  ASSERT_TRUE(InvertSelectionCommand());
  EXPECT_FALSE(selection->IsActive());
  EXPECT_TRUE(selection->IsEmpty());
  EXPECT_STREQ(LastCaption(doc.image), "Invert Selection");
  EXPECT_FALSE(InvertSelectionCommand());
  EXPECT_FALSE(DeselectCommand());
  EXPECT_EQ(HistoryCount(doc.image), 2);

  // A partial selection inverts byte by byte.
  SetSelection(selection, [](int32_t x, int32_t y) { return x * 50 + y; });
  ASSERT_TRUE(InvertSelectionCommand());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(selection->GetMask()->data[y * 5 + x], 255 - (x * 50 + y));
  EXPECT_TRUE(selection->IsActive());
  ASSERT_TRUE(DeselectCommand());
  EXPECT_FALSE(selection->IsActive());
  EXPECT_STREQ(LastCaption(doc.image), "Deselect");
  EXPECT_GT(host.commandStateUpdates, 0);

  // Undo walks back through the masks.
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(selection->GetMask()->data[1 * 5 + 2], 255 - 101);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(selection->GetMask()->data[1 * 5 + 2], 101);
}

TEST_F(SelectionToolTest, CommandsNeedAnImage) {
  EXPECT_FALSE(SelectAllCommand());
  EXPECT_FALSE(DeselectCommand());
  EXPECT_FALSE(InvertSelectionCommand());
}

TEST_F(SelectionToolTest, SupersampledSelectAllFillsTheEditMask) {
  TestDocument doc(3, 2, true);
  CSelection* selection = doc.image->GetSelection();
  ASSERT_TRUE(SelectAllCommand());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(24 * 16, 255));
  EXPECT_EQ(MaskOf(*selection->GetSupersampleStack()->GetLevel(0)), std::vector<uint8_t>(6, 255));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(MaskOf(*selection->GetMask()), std::vector<uint8_t>(24 * 16, 0));
}

}  // namespace
