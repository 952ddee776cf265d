#include <gtest/gtest.h>
#include <windows.h>
#include <cfloat>
#include <cstdint>
#include <set>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "shell/Clipboard.h"
#include "tools/EditCommands.h"
#include "tools/MoveTool.h"
#include "tools/SelectionTool.h"
#include "wul/WULError.h"

namespace {

// The view's centre as the test sets it; channel mode and zoom as recorded.
class ViewHost : public RecordingHost {
public:
  CViewState GetViewState() override {
    CViewState state = CEditorUI::GetViewState();
    if (centred)
      state.center = center;
    return state;
  }
  bool centred = false;
  Point center;

  // The layers panel: the layers that have an item. One of its calls can fail once.
  enum Failing { FAIL_NONE, FAIL_ADD, FAIL_SELECT, FAIL_END };
  void AddLayerItem(CLayer* layer) override {
    items.insert(layer);
    FailIn(FAIL_ADD);
  }
  void RemoveLayerItem(CLayer* layer) override { items.erase(layer); }
  void SelectLayerItem(CLayer*) override { FailIn(FAIL_SELECT); }
  void EndLayerItems() override {
    RecordingHost::EndLayerItems();
    FailIn(FAIL_END);
  }
  void FailIn(Failing call) {
    if (failing != call)
      return;
    failing = FAIL_NONE;
    throw CWULError(5, "CThumbnailList::AddItem", "Item creation failed");
  }
  std::set<CLayer*> items;
  Failing failing = FAIL_NONE;
};

class EditCommandsTest : public DrawingToolTestWith<ViewHost> {
protected:
  void SetUp() override {
    DrawingToolTestWith::SetUp();
    ASSERT_TRUE(g_Clipboard.Init());
    ASSERT_TRUE(g_Clipboard.CreateViewer());
  }
  void TearDown() override {
    g_Clipboard.DestroyViewer();
    g_Clipboard.ReleaseData();
    DrawingToolTestWith::TearDown();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
  }
  void CentreOn(double x, double y) {
    host.centred = true;
    host.center = Px(x, y);
  }
};

const char* LastCaption(CImage* image) {
  CAction* action = image->GetHistory()->GetCurrent();
  return action ? action->GetName() : "";
}

// A w x h array holding the rectangle [l, r) x [t, b) of the source at (dx, dy); 0 elsewhere.
std::vector<uint32_t> Placed(const std::vector<uint32_t>& source, int32_t sw, int32_t l,
                             int32_t t, int32_t r, int32_t b, int32_t w, int32_t h, int32_t dx,
                             int32_t dy) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h, 0);
  for (int32_t y = t; y < b; ++y)
    for (int32_t x = l; x < r; ++x) {
      const int32_t tx = x - l + dx, ty = y - t + dy;
      if (tx >= 0 && ty >= 0 && tx < w && ty < h)
        out[ty * w + tx] = source[y * sw + x];
    }
  return out;
}

void SelectRect(CSelection* selection, int32_t l, int32_t t, int32_t r, int32_t b) {
  SetSelection(selection, [=](int32_t x, int32_t y) { return x >= l && x < r && y >= t && y < b ? 255 : 0; });
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

TEST_F(EditCommandsTest, UndoAndRedoWalkTheHistory) {
  EXPECT_FALSE(UndoCommand());
  EXPECT_FALSE(RedoCommand());
  EXPECT_EQ(GetUndoAction(), nullptr);
  TestDocument doc(4, 3);
  // An empty history refuses both.
  EXPECT_FALSE(UndoCommand());
  EXPECT_FALSE(RedoCommand());
  ASSERT_TRUE(SelectAllCommand());
  ASSERT_NE(GetUndoAction(), nullptr);
  EXPECT_STREQ(GetUndoAction()->GetName(), "Select");
  EXPECT_EQ(GetRedoAction(), nullptr);
  const int updates = host.commandStateUpdates;
  ASSERT_TRUE(UndoCommand());
  EXPECT_GT(host.commandStateUpdates, updates);
  EXPECT_FALSE(doc.image->GetSelection()->IsActive());
  EXPECT_EQ(GetUndoAction(), nullptr);
  ASSERT_NE(GetRedoAction(), nullptr);
  EXPECT_STREQ(GetRedoAction()->GetName(), "Select");
  ASSERT_TRUE(RedoCommand());
  EXPECT_TRUE(doc.image->GetSelection()->IsFull());
  EXPECT_FALSE(RedoCommand());
}

// ---------------------------------------------------------------------------------------------
// Copy and paste as a new layer

TEST_F(EditCommandsTest, CopyThenPasteMakesANewLayerCentredOnTheView) {
  TestDocument doc(6, 5);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CSelection* selection = doc.image->GetSelection();
  SelectRect(selection, 1, 1, 4, 3);
  EXPECT_TRUE(CanCopy());
  EXPECT_TRUE(CanCut());
  ASSERT_TRUE(CopyCommand());
  Pump();
  EXPECT_TRUE(CanPaste());
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.bitsPerPixel, 32);

  // Centre (4, 4): the 3 x 2 image starts at (4 - 1.5, 4 - 1) = (2.5, 3), floored to (2, 3).
  CentreOn(4, 4);
  ASSERT_TRUE(PasteCommand());
  ASSERT_EQ(doc.image->GetLayerCount(), 2);
  CLayer* pasted = doc.image->GetActiveLayer();
  ASSERT_NE(pasted, static_cast<CLayer*>(doc.layer));
  EXPECT_EQ(doc.layer->GetNext(), pasted);
  const std::vector<uint32_t> expected = Placed(before, 6, 1, 1, 4, 3, 6, 5, 2, 3);
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), expected);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_FALSE(selection->IsActive());
  EXPECT_STREQ(LastCaption(doc.image), "Paste");
  EXPECT_GT(host.refits, 0);

  // Undo removes the layer and brings the selection back; redo pastes again.
  ASSERT_TRUE(UndoCommand());
  ASSERT_EQ(doc.image->GetLayerCount(), 1);
  EXPECT_EQ(doc.image->GetActiveLayer(), static_cast<CLayer*>(doc.layer));
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(selection->GetMask()->data[1 * 6 + 1], 255);
  EXPECT_EQ(selection->GetMask()->data[0], 0);
  ASSERT_TRUE(RedoCommand());
  ASSERT_EQ(doc.image->GetLayerCount(), 2);
  EXPECT_EQ(PixelsOf(*doc.image->GetActiveLayer()->GetPixels()), expected);
  EXPECT_FALSE(selection->IsActive());
}

// When the layers panel fails, the item it was given goes with the layer, and every bracket
// that was opened is closed.
TEST_F(EditCommandsTest, AFailingLayersPanelKeepsNoItemOfTheDroppedLayer) {
  TestDocument doc(6, 5);
  SelectRect(doc.image->GetSelection(), 1, 1, 4, 3);
  ASSERT_TRUE(CopyCommand());
  Pump();
  for (ViewHost::Failing failing : {ViewHost::FAIL_ADD, ViewHost::FAIL_SELECT, ViewHost::FAIL_END}) {
    host.failing = failing;
    EXPECT_FALSE(PasteCommand()) << failing;
    EXPECT_EQ(doc.image->GetLayerCount(), 1) << failing;
    EXPECT_EQ(doc.image->GetActiveLayer(), static_cast<CLayer*>(doc.layer)) << failing;
    EXPECT_TRUE(host.items.empty()) << failing;
    EXPECT_TRUE(doc.image->GetSelection()->IsActive()) << failing;
    EXPECT_GT(host.layerItems.begun, 0) << failing;
    EXPECT_EQ(host.layerItems.ended, host.layerItems.begun) << failing;
    EXPECT_EQ(doc.image->GetUpdateLock(), 0) << failing;
  }
  // Without a failure the item stays with its layer.
  ASSERT_TRUE(PasteCommand());
  EXPECT_EQ(host.items, std::set<CLayer*>{doc.image->GetActiveLayer()});
}

TEST_F(EditCommandsTest, APastedImageKeepsItsPartsOutsideTheLayerWhileMoved) {
  TestDocument doc(6, 5);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  SelectRect(doc.image->GetSelection(), 0, 0, 4, 3);
  ASSERT_TRUE(CopyCommand());
  CentreOn(3, 2.5);  // the 4 x 3 image at (1, 1)
  ASSERT_TRUE(PasteCommand());
  CLayer* pasted = doc.image->GetActiveLayer();
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), Placed(before, 6, 0, 0, 4, 3, 6, 5, 1, 1));

  CMoveTool move;
  move.GetCursor(Px(0, 0));
  DragTool(move, CTool::BUTTON_LEFT, {Px(4, 2), Px(0, 2)});  // 4 to the left: 3 columns out
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), Placed(before, 6, 0, 0, 4, 3, 6, 5, -3, 1));
  DragTool(move, CTool::BUTTON_LEFT, {Px(0, 2), Px(6, 3)});  // 6 right, 1 down
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), Placed(before, 6, 0, 0, 4, 3, 6, 5, 3, 2));
  // Undo both moves and the paste.
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), Placed(before, 6, 0, 0, 4, 3, 6, 5, -3, 1));
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*pasted->GetPixels()), Placed(before, 6, 0, 0, 4, 3, 6, 5, 1, 1));
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
}

TEST_F(EditCommandsTest, PasteOntoASupersampledLayerRoundsUpToWholePixels) {
  TestDocument doc(4, 4, true);
  // A 3 x 3 image from elsewhere.
  CPixelArray source(3, 3);
  FillPattern(source, 11);
  CClipboardCopyRequest request{&source, nullptr, {0, 0, 3, 3}, 32, 3780.0f, 3780.0f};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  Pump();
  CentreOn(1, 1);
  ASSERT_TRUE(PasteCommand());
  CRasterLayer* pasted = static_cast<CRasterLayer*>(doc.image->GetActiveLayer());
  ASSERT_NE(pasted, doc.layer);
  EXPECT_TRUE(pasted->IsSupersampled());
  // A 1 x 1 pixel copy (8 x 8 working pixels) holds the image at (2, 2); its offset
  // (1, 1) - (0.5, 0.5) is 4 working pixels.
  const std::vector<uint32_t> expected = Placed(PixelsOf(source), 3, 0, 0, 3, 3, 32, 32, 6, 6);
  EXPECT_EQ(PixelsOf(*pasted->GetPixelArray()), expected);
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Paste into the layer

TEST_F(EditCommandsTest, ColourOnlyPasteIntoASmallerLayerClipsAndKeepsTheSelection) {
  TestDocument doc(3, 2);
  CImage* large = doc.AddImage(7, 5);
  CRasterLayer* source = new CRasterLayer();
  large->AddLayer(source);
  FillPattern(*source->GetPixels(), 21);
  large->SetActiveLayer(source);
  large->UpdateAll();
  doc.project->SetCurrentImage(large);
  ResyncWorkingCopies();
  ASSERT_TRUE(SelectAllCommand());
  ASSERT_TRUE(CopyCommand());
  Pump();

  doc.project->SetCurrentImage(doc.image);
  ResyncWorkingCopies();
  CSelection* selection = doc.image->GetSelection();
  SelectRect(selection, 0, 0, 2, 1);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  const std::vector<uint32_t> pasted = PixelsOf(*source->GetPixels());
  host.channelMode = 1;
  EXPECT_TRUE(CanPaste());
  ASSERT_TRUE(PasteCommand());
  // Centred: the 7 x 5 image lies at (-2, -1).
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y),
                (before[y * 3 + x] & 0xFF000000u) | (pasted[(y + 1) * 7 + x + 2] & 0xFFFFFFu))
          << x << "," << y;
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
  EXPECT_FALSE(selection->IsActive());
  EXPECT_STREQ(LastCaption(doc.image), "Paste");

  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_TRUE(selection->IsActive());
  EXPECT_EQ(MaskOf(*selection->GetMask()), (std::vector<uint8_t>{255, 255, 0, 0, 0, 0}));
  ASSERT_TRUE(RedoCommand());
  EXPECT_FALSE(selection->IsActive());
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(0, 0),
            (before[0] & 0xFF000000u) | (pasted[1 * 7 + 2] & 0xFFFFFFu));
}

TEST_F(EditCommandsTest, AlphaOnlyPasteSetsAlphaFromBrightness) {
  TestDocument doc(4, 4);
  CPixelArray source(2, 2);
  source.SetPixel(0, 0, 0xFFFFFFFFu);
  source.SetPixel(1, 0, 0xFF000000u);
  source.SetPixel(0, 1, 0xFF000000u);
  source.SetPixel(1, 1, 0xFFFFFFFFu);
  CClipboardCopyRequest request{&source, nullptr, {0, 0, 2, 2}, 32, 0, 0};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  Pump();
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  host.channelMode = 2;
  ASSERT_TRUE(PasteCommand());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint32_t expected = before[y * 4 + x];
      if (x >= 1 && x < 3 && y >= 1 && y < 3) {
        const bool white = (x - 1) == (y - 1);
        expected = (expected & 0xFFFFFFu) | (white ? 0xFF000000u : 0u);
      }
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y), expected) << x << "," << y;
    }
  }
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
}

TEST_F(EditCommandsTest, PasteIsRefusedWhenThereIsNothingToPasteInto) {
  TestDocument doc(3, 3);
  CPixelArray source(1, 1);
  source.Fill(0xFF123456u);
  CClipboardCopyRequest request{&source, nullptr, {0, 0, 1, 1}, 32, 0, 0};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  Pump();
  // Colour only on a hidden layer: nothing to paste into.
  doc.layer->SetVisible(false);
  host.channelMode = 1;
  EXPECT_FALSE(PasteCommand());
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // An unknown channel mode.
  host.channelMode = 5;
  EXPECT_FALSE(PasteCommand());
  // Nothing on the clipboard.
  host.channelMode = 0;
  g_Clipboard.ReleaseData();
  ASSERT_TRUE(OpenClipboard(g_Clipboard.GetViewer()));
  EmptyClipboard();
  CloseClipboard();
  Pump();
  EXPECT_FALSE(CanPaste());
  EXPECT_FALSE(PasteCommand());
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Cut, erase and the copy conditions

TEST_F(EditCommandsTest, CutCopiesAndErasesThroughTheMask) {
  TestDocument doc(5, 4);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t x, int32_t y) { return x >= 1 && y >= 1 && y < 3 ? 60 * x + 15 : 0; });
  ASSERT_TRUE(CutCommand());
  Pump();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const uint32_t m = x >= 1 && y >= 1 && y < 3 ? 60 * x + 15 : 0;
      const uint32_t expected = m ? BlendArgb(before[y * 5 + x], 0, m) : before[y * 5 + x];
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_STREQ(LastCaption(doc.image), "Cut");
  EXPECT_TRUE(selection->IsActive());
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.width, 4);
  EXPECT_EQ(info.height, 2);
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  ASSERT_TRUE(RedoCommand());
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(4, 1), BlendArgb(before[1 * 5 + 4], 0, 255));
}

TEST_F(EditCommandsTest, EraseFollowsTheChannelMode) {
  TestDocument doc(4, 4);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  SetSelection(doc.image->GetSelection(), [](int32_t x, int32_t) { return x < 2 ? 255 : 100; });
  host.channelMode = 2;
  ASSERT_TRUE(EraseCommand(nullptr));
  EXPECT_STREQ(LastCaption(doc.image), "Erase");
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y),
                BlendAlpha(before[y * 4 + x], 0, x < 2 ? 255 : 100));
  // Alpha only keeps the colour.
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(0, 0) & 0xFFFFFFu, before[0] & 0xFFFFFFu);
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(0, 0) >> 24, 0u);
  host.channelMode = 1;
  ASSERT_TRUE(UndoCommand());
  ASSERT_TRUE(EraseCommand("Erase"));
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(1, 1), BlendRgb(before[1 * 4 + 1], 0, 255));
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(1, 1) >> 24, before[1 * 4 + 1] >> 24);
}

TEST_F(EditCommandsTest, SupersampledCutErasesAtTheEditResolution) {
  TestDocument doc(2, 2, true);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixelArray());
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t x, int32_t y) { return x >= 3 && x < 10 && y < 5 ? 255 : 0; });
  doc.image->SetResolution(100.0f, 3e38f);  // eight times finer would overflow the float
  ASSERT_TRUE(CutCommand());
  Pump();
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.width, 7);
  EXPECT_EQ(info.height, 5);
  EXPECT_FLOAT_EQ(info.xResolution, 800.0f);
  EXPECT_FLOAT_EQ(info.yResolution, FLT_MAX);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(doc.layer->GetPixelArray()->GetPixel(x, y),
                x >= 3 && x < 10 && y < 5 ? BlendArgb(before[y * 16 + x], 0, 255) : before[y * 16 + x]);
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), before);
}

TEST_F(EditCommandsTest, CopyNeedsAVisibleLayerButCopyMergedDoesNot) {
  TestDocument doc(4, 4);
  EXPECT_FALSE(CanCopy());
  EXPECT_FALSE(CopyCommand());  // no selection
  EXPECT_FALSE(EraseCommand(nullptr));
  SelectRect(doc.image->GetSelection(), 1, 1, 3, 2);
  doc.layer->SetVisible(false);
  doc.image->UpdateAll();
  EXPECT_FALSE(CanCopy());
  EXPECT_FALSE(CanCut());
  EXPECT_FALSE(CopyCommand());
  EXPECT_FALSE(CutCommand());
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  ASSERT_TRUE(CopyMergedCommand());
  Pump();
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 1);
  // In colour-only mode the copy has 24 bits per pixel, in alpha-only mode 8.
  doc.layer->SetVisible(true);
  host.channelMode = 1;
  ASSERT_TRUE(CopyCommand());
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.bitsPerPixel, 24);
  host.channelMode = 2;
  ASSERT_TRUE(CopyCommand());
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(info.bitsPerPixel, 8);
}

TEST_F(EditCommandsTest, NothingWithoutAnImage) {
  EXPECT_FALSE(CanCut());
  EXPECT_FALSE(CanCopy());
  EXPECT_FALSE(CanPaste());
  EXPECT_FALSE(CopyCommand());
  EXPECT_FALSE(CopyMergedCommand());
  EXPECT_FALSE(CutCommand());
  EXPECT_FALSE(EraseCommand("Cut"));
  EXPECT_FALSE(PasteCommand());
}

}  // namespace
