#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "document/History.h"
#include "tools/ColorPicker.h"
#include "tools/MoveTool.h"
#include "tools/PencilTool.h"
#include "tools/SelectionTool.h"

namespace {

class MoveToolTest : public DrawingToolTest {
protected:
  CMoveTool tool;
};

// The w x h array shifted by (dx, dy) pixels; what comes from outside is transparent.
std::vector<uint32_t> Shifted(const std::vector<uint32_t>& original, int32_t w, int32_t h,
                              int32_t dx, int32_t dy) {
  std::vector<uint32_t> result(original.size(), 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t sx = x - dx, sy = y - dy;
      if (sx >= 0 && sy >= 0 && sx < w && sy < h)
        result[y * w + x] = original[sy * w + sx];
    }
  }
  return result;
}

const char* LastCaption(CImage* image) {
  CAction* action = image->GetHistory()->GetCurrent();
  return action ? action->GetName() : "";
}

// ---------------------------------------------------------------------------------------------
// Dragging

TEST_F(MoveToolTest, DragMovesTheLayerInWholePixels) {
  TestDocument doc(8, 6);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(2.5, 2.5));
  EXPECT_EQ(tool.GetMode(), CMoveTool::MODE_MOVE);
  EXPECT_EQ(host.lastCursor, CURSOR_MOVE);
  // (2.1, -1.1) pixels rounds to (2, -1).
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2.5, 2.5), Px(3.5, 2.0), Px(4.6, 1.4)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 8, 6, 2, -1));
  ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
  EXPECT_STREQ(LastCaption(doc.image), "Move");
  EXPECT_EQ(host.extent.x, 2);
  EXPECT_EQ(host.extent.y, -1);
  EXPECT_FALSE(host.extentFixed);
  EXPECT_GT(host.geometryClears, 0);
  EXPECT_GT(host.refits, 0);
  // The composite followed.
  EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), PixelsOf(*doc.layer->GetPixels()));

  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 8, 6, 2, -1));
}

TEST_F(MoveToolTest, ConsecutiveDragsKeepWhatLeftTheLayer) {
  TestDocument doc(6, 4);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(0, 0));
  DragTool(tool, CTool::BUTTON_LEFT, {Px(3, 2), Px(0, 2)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 6, 4, -3, 0));
  DragTool(tool, CTool::BUTTON_LEFT, {Px(1, 1), Px(4, 1)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 2);
  // Undo of both steps, then redo of both.
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 6, 4, -3, 0));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
}

TEST_F(MoveToolTest, ADragBackToItsStartRecordsNothing) {
  TestDocument doc(5, 5);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(0, 0));
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2, 2), Px(4, 3), Px(2.2, 1.9)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

TEST_F(MoveToolTest, ShiftConstrainsTheDirection) {
  TestDocument doc(12, 12);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  host.keys = {CTool::KEY_SHIFT};
  tool.GetCursor(Px(0, 0));
  // (5, 1) lies within 22.5 degrees of the x axis: (5, 0).
  DragTool(tool, CTool::BUTTON_LEFT, {Px(3, 3), Px(8, 4)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 12, 12, 5, 0));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  // (4, 3) becomes the diagonal (3, 3); releasing Shift mid-drag frees it again.
  tool.PointerEntered(Px(2, 2));
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(2, 2)));
  tool.MouseMove(Px(6, 5));
  EXPECT_EQ(tool.GetAppliedOffset().x, 3 * 256);
  EXPECT_EQ(tool.GetAppliedOffset().y, 3 * 256);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "");
  host.keys.clear();
  EXPECT_TRUE(tool.KeyUp(CTool::KEY_SHIFT));
  EXPECT_EQ(tool.GetAppliedOffset().x, 4 * 256);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Use SHIFT to constrain the direction to multiples of 45 degrees.");
  EXPECT_TRUE(tool.WantsAutoScroll());
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, Px(6, 5)));
  tool.EndDrag();
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 12, 12, 4, 3));
  EXPECT_FALSE(tool.WantsAutoScroll());
}

TEST_F(MoveToolTest, AnActiveSelectionMovesOnlyTheSelectedPixels) {
  TestDocument doc(8, 8);
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t x, int32_t y) { return x >= 1 && x < 3 && y >= 1 && y < 4 ? 255 : 0; });
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(0, 0));
  DragTool(tool, CTool::BUTTON_LEFT, {Px(2, 2), Px(5, 4)});  // by (3, 2)
  const CPixelArray& after = *doc.layer->GetPixels();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool source = x >= 1 && x < 3 && y >= 1 && y < 4;
      const bool target = x >= 4 && x < 6 && y >= 3 && y < 6;
      uint32_t expected = before[y * 8 + x];
      if (target)
        expected = before[(y - 2) * 8 + x - 3];
      else if (source)
        expected = 0;  // the hole
      ASSERT_EQ(after.GetPixel(x, y), expected) << x << "," << y;
      ASSERT_EQ(selection->GetMask()->data[y * 8 + x], target ? 255 : 0) << x << "," << y;
    }
  }
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(after), before);
  EXPECT_EQ(selection->GetMask()->data[1 * 8 + 1], 255);
  EXPECT_EQ(selection->GetMask()->data[3 * 8 + 4], 0);
}

TEST_F(MoveToolTest, NothingToMoveWithoutAVisibleRasterLayer) {
  TestDocument doc(4, 4);
  doc.layer->SetVisible(false);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(0, 0));
  EXPECT_EQ(tool.GetMode(), CMoveTool::MODE_NONE);
  EXPECT_EQ(host.lastCursor, CURSOR_TOOL_DEFAULT);
  DragTool(tool, CTool::BUTTON_LEFT, {Px(1, 1), Px(3, 3)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // The cursor keys are handled but do nothing.
  EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_LEFT, false));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  EXPECT_FALSE(tool.KeyDown('X', false));
  EXPECT_FALSE(tool.MouseDown(CTool::BUTTON_RIGHT, Px(1, 1)));
}

// ---------------------------------------------------------------------------------------------
// Nudging

TEST_F(MoveToolTest, NudgingBeyondTheEdgeAndBackRestoresTheLayer) {
  TestDocument doc(6, 5);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  tool.GetCursor(Px(0, 0));
  for (int k = 0; k < 3; ++k)
    EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_LEFT, false));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), Shifted(before, 6, 5, -3, 0));
  for (int k = 0; k < 3; ++k)
    EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_RIGHT, false));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 6);
  EXPECT_STREQ(LastCaption(doc.image), "Nudge");
  EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_UP, false));
  EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_DOWN, false));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  // Undo all the way back.
  while (doc.image->GetHistory()->CanUndo())
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
}

TEST_F(MoveToolTest, AnEditBetweenNudgesLosesThePushedPixels) {
  TestDocument doc(6, 5);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  ASSERT_TRUE(NudgeCommand(-2 * 256, 0));
  // A pencil dot far from the edge re-takes the working copies.
  SetToolSizes(1, 1);
  CPencilTool pencil;
  DragTool(pencil, CTool::BUTTON_LEFT, {Px(5.5, 4.5)});
  ASSERT_TRUE(NudgeCommand(2 * 256, 0));
  const CPixelArray& after = *doc.layer->GetPixels();
  // The two columns pushed out by the first nudge are gone; the dot was pushed out by the
  // second one.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      ASSERT_EQ(after.GetPixel(x, y), x < 2 ? 0u : before[y * 6 + x]) << x << "," << y;
}

TEST_F(MoveToolTest, SupersampledLayersNudgeByAnEighth) {
  TestDocument doc(2, 2, true);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixelArray());
  tool.GetCursor(Px(0, 0));
  EXPECT_TRUE(tool.KeyDown(CMoveTool::KEY_RIGHT, false));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), Shifted(before, 16, 16, 1, 0));
  // A drag at zoom 1 moves by the zoom-dependent grid (whole pixels), shown in 24.8.
  DragTool(tool, CTool::BUTTON_LEFT, {Px(0.5, 0.5), Px(1.4, 0.5)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), Shifted(before, 16, 16, 9, 0));
  EXPECT_TRUE(host.extentFixed);
  EXPECT_EQ(host.extent.x, 256);
  // At zoom 8 the grid is one eighth.
  host.zoom = 8;
  DragTool(tool, CTool::BUTTON_LEFT, {Px(0.5, 0.5), Px(0.25, 0.5)});
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), Shifted(before, 16, 16, 7, 0));
  while (doc.image->GetHistory()->CanUndo())
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), before);
}

TEST_F(MoveToolTest, NudgeNeedsAVisibleRasterLayer) {
  EXPECT_FALSE(NudgeCommand(256, 0));
  TestDocument doc(3, 3);
  doc.layer->SetVisible(false);
  EXPECT_FALSE(NudgeCommand(256, 0));
  doc.layer->SetVisible(true);
  EXPECT_TRUE(NudgeCommand(256, 0));
  EXPECT_GT(host.commandStateUpdates, 0);
  EXPECT_FALSE(host.refreshedLayers.empty());
}

TEST_F(MoveToolTest, ReadyHint) {
  TestDocument doc(3, 3);
  tool.GetCursor(Px(0, 0));
  tool.ShowHint();
  EXPECT_EQ(host.helpText,
            "Click and drag to move, or use the cursor keys to nudge the layer or the selection.");
}

// ---------------------------------------------------------------------------------------------
// Color Picker

TEST_F(MoveToolTest, ColorPickerTakesTheColourUnderThePointer) {
  CColorPickerTool picker;
  host.zoom = 4;
  host.pickAnswers = true;
  host.pickColor = CColor(0x80112233u);
  picker.GetCursor(Px(0, 0));
  EXPECT_EQ(host.lastCursor, CURSOR_PICKER);
  picker.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to pick a color.");
  ASSERT_TRUE(picker.MouseDown(CTool::BUTTON_LEFT, Px(2.5, 1.25)));
  EXPECT_EQ(GetPrimaryColor().value, 0x80112233u);
  ASSERT_FALSE(host.pickedAt.empty());
  EXPECT_EQ(host.pickedAt.back().x, 10);  // the client point at zoom 4
  EXPECT_EQ(host.pickedAt.back().y, 5);
  host.pickColor = CColor(0xFF445566u);
  picker.MouseMove(Px(3, 3));
  EXPECT_EQ(GetPrimaryColor().value, 0xFF445566u);
  picker.ShowColor(Px(3, 3));
  EXPECT_TRUE(host.colorShown);
  EXPECT_EQ(host.shownColor.value, 0xFF445566u);
  picker.ShowHint();
  EXPECT_EQ(host.helpText, "");
  EXPECT_FALSE(picker.MouseUp(CTool::BUTTON_RIGHT, Px(3, 3)));
  EXPECT_TRUE(picker.MouseUp(CTool::BUTTON_LEFT, Px(3, 3)));
  picker.EndDrag();
  EXPECT_EQ(picker.GetState(), CTool::STATE_READY);
  picker.ShowColor(Px(3, 3));
  EXPECT_FALSE(host.colorShown);

  // The right button sets the secondary colour; a miss changes nothing.
  host.pickColor = CColor(0xFF000001u);
  ASSERT_TRUE(picker.MouseDown(CTool::BUTTON_RIGHT, Px(1, 1)));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF000001u);
  host.pickAnswers = false;
  picker.MouseMove(Px(50, 50));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF000001u);
  EXPECT_EQ(GetPrimaryColor().value, 0xFF445566u);
  EXPECT_TRUE(picker.MouseUp(CTool::BUTTON_RIGHT, Px(1, 1)));
  picker.EndDrag();
  EXPECT_FALSE(picker.MouseDown(3, Px(1, 1)));
  EXPECT_GT(host.toolboxUpdates, 0);
}

}  // namespace
