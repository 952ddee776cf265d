#include <gtest/gtest.h>
#include <windows.h>
#include "shell/Settings.h"
#include "ui/FoldingPanel.h"
#include "ui/ViewSettings.h"
#include "wul/WULColor.h"
#include "wul/WULFont.h"
#include "wul/WindowTestKit.h"

namespace {

const int kHostWidth = 220;
const int kHostHeight = 400;
// Caption and frame above and below the client area of an unfolded resizable panel.
const int kResizableFrame = 16 + 7;
const int kPlainFrame = 16 + 1;

class FoldingPanelTest : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    EnsureViewSettings();
    host = new HostWindow(40, 40, kHostWidth, kHostHeight);
    // The layout needs the host's client size before the panels are built.
    host->SetSize(kHostWidth, kHostHeight);
    wulPushDefaultParent(host);
    master = new CPanelMaster;
    master->SetAlignment(WUL_ALIGN_FILL);
    g_PanelMaster = master;
    wulPopDefaultParent();
    wulPushDefaultParent(master);
  }
  void TearDown() override {
    wulPopAllDefaultParents();
    if (GetCapture())
      ReleaseCapture();
    delete host;
    host = nullptr;
    g_PanelMaster = nullptr;
    DropQueuedMessages();
  }
  CVCFoldingPanel* Make(const char* caption, bool resizable, int minHeight, int clientHeight, bool folded) {
    CVCFoldingPanel* panel = new CVCFoldingPanel;
    panel->SetText(caption);
    panel->SetResizable(resizable);
    panel->SetMinClientHeight(minHeight);
    panel->SetClientHeight(clientHeight);
    panel->SetFolded(folded);
    return panel;
  }
  void Show() {
    wulPopAllDefaultParents();
    host->IncarnateTree(nullptr);
    SetForegroundWindow(host->GetHandle());
    PumpPending();
  }
  // Non-client messages take screen points, client messages client points.
  void NcDown(CVCFoldingPanel* panel, int wx, int wy) {
    wulSendMessage(panel->GetHandle(), WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(panel, wx, wy));
  }
  void NcDoubleClick(CVCFoldingPanel* panel, int wx, int wy) {
    wulSendMessage(panel->GetHandle(), WM_NCLBUTTONDBLCLK, HTBORDER, ScreenPoint(panel, wx, wy));
  }
  // wx, wy relative to the panel's window.
  void Move(CVCFoldingPanel* panel, int wx, int wy) {
    wulSendMessage(panel->GetHandle(), WM_MOUSEMOVE, MK_LBUTTON,
                   MAKELPARAM(wx - panel->GetLeftInset(), wy - panel->GetTopInset()));
  }
  void Up(CVCFoldingPanel* panel, int wx, int wy) {
    wulSendMessage(panel->GetHandle(), WM_LBUTTONUP, 0,
                   MAKELPARAM(wx - panel->GetLeftInset(), wy - panel->GetTopInset()));
  }

  HostWindow* host = nullptr;
  CPanelMaster* master = nullptr;
};

TEST_F(FoldingPanelTest, FoldedPanelIsCaptionHighAndUnfoldingRestoresItsClientHeight) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 100, true);
  Show();
  EXPECT_EQ(17, panel->GetHeight());
  EXPECT_FALSE(panel->GetClientContainer()->IsVisible());
  panel->SetClientHeight(120);
  EXPECT_EQ(17, panel->GetHeight());

  panel->SetFolded(false);
  EXPECT_EQ(120 + kResizableFrame, panel->GetHeight());
  EXPECT_EQ(120, panel->GetClientHeight());
  EXPECT_TRUE(panel->GetClientContainer()->IsVisible());
  EXPECT_EQ(120, panel->GetClientContainer()->GetHeight());

  panel->Fold();
  EXPECT_EQ(17, panel->GetHeight());
  EXPECT_EQ(120, panel->GetUnfoldedClientHeight());
  panel->SetFolded(false);
  EXPECT_EQ(120 + kResizableFrame, panel->GetHeight());
}

TEST_F(FoldingPanelTest, ClientHeightIsNeverBelowTheMinimum) {
  CVCFoldingPanel* panel = Make("Tool", true, 56, 20, false);
  Show();
  EXPECT_EQ(56, panel->GetUnfoldedClientHeight());
  panel->SetMinClientHeight(70);
  EXPECT_EQ(70, panel->GetClientHeight());
  EXPECT_EQ(70 + kResizableFrame, panel->GetHeight());
}

TEST_F(FoldingPanelTest, PanelsStackFromTheTop) {
  CVCFoldingPanel* a = Make("A", true, 40, 60, false);
  CVCFoldingPanel* b = Make("B", false, 40, 50, true);
  CVCFoldingPanel* c = Make("C", false, 40, 50, false);
  Show();
  EXPECT_EQ(0, a->GetY());
  EXPECT_EQ(a->GetBottom(), b->GetY());
  EXPECT_EQ(b->GetBottom(), c->GetY());
  EXPECT_EQ(kHostWidth, a->GetWidth());
  EXPECT_EQ(kHostHeight - c->GetBottom(), PanelMaster::GetFreeSpace());
  b->SetFolded(false);
  EXPECT_EQ(a->GetBottom(), b->GetY());
  EXPECT_EQ(b->GetBottom(), c->GetY());
  EXPECT_EQ(50 + kPlainFrame, b->GetHeight());
}

TEST_F(FoldingPanelTest, UnfoldingInAFullDockShrinksResizablePanelsWhenThatIsEnough) {
  // 173 + 173 + 17 = 363 of 400: 37 free.
  CVCFoldingPanel* a = Make("A", true, 80, 150, false);
  CVCFoldingPanel* b = Make("B", true, 80, 150, false);
  CVCFoldingPanel* c = Make("C", true, 80, 150, true);
  Show();
  c->SetFolded(false);
  EXPECT_FALSE(a->IsFolded());
  EXPECT_FALSE(b->IsFolded());
  EXPECT_FALSE(c->IsFolded());
  // The lowest other panel gives what is missing for C at its minimum.
  EXPECT_EQ(150, a->GetUnfoldedClientHeight());
  EXPECT_EQ(101, b->GetUnfoldedClientHeight());
  EXPECT_EQ(80, c->GetUnfoldedClientHeight());
  EXPECT_LE(c->GetBottom(), kHostHeight);
}

TEST_F(FoldingPanelTest, UnfoldingInAFullDockFoldsTheLowestOtherPanelsFirst) {
  // A can give 20 pixels only, far less than C needs: B is folded, A keeps its height.
  CVCFoldingPanel* a = Make("A", true, 80, 100, false);
  CVCFoldingPanel* b = Make("B", false, 80, 200, false);
  CVCFoldingPanel* c = Make("C", true, 80, 150, true);
  Show();
  ASSERT_EQ(400 - (123 + 217 + 17), PanelMaster::GetFreeSpace());
  c->SetFolded(false);
  EXPECT_TRUE(b->IsFolded());
  EXPECT_FALSE(a->IsFolded());
  EXPECT_EQ(100, a->GetUnfoldedClientHeight());
  EXPECT_EQ(150, c->GetUnfoldedClientHeight());
  EXPECT_EQ(17, b->GetHeight());
  EXPECT_LE(c->GetBottom(), kHostHeight);
}

TEST_F(FoldingPanelTest, ShrinkingTheMasterMakesRoomForOverflowingPanels) {
  CVCFoldingPanel* a = Make("A", true, 80, 150, false);
  CVCFoldingPanel* b = Make("B", true, 80, 150, false);
  Show();
  host->SetSize(kHostWidth, 300);
  PumpPending();
  EXPECT_FALSE(a->IsFolded());
  EXPECT_FALSE(b->IsFolded());
  EXPECT_LE(b->GetBottom(), 300);
  EXPECT_EQ(150, a->GetUnfoldedClientHeight());
  EXPECT_EQ(300 - 173 - kResizableFrame, b->GetUnfoldedClientHeight());
  host->SetSize(kHostWidth, 150);
  PumpPending();
  EXPECT_TRUE(b->IsFolded());
  EXPECT_LE(b->GetBottom(), 150);
}

TEST_F(FoldingPanelTest, GripDragIsLimitedByTheMinimumAndTheFreeSpace) {
  CVCFoldingPanel* a = Make("A", true, 80, 100, false);
  CVCFoldingPanel* b = Make("B", false, 40, 50, false);
  Show();
  const int free = kHostHeight - b->GetBottom();
  ASSERT_GT(free, 0);
  const int start = a->GetHeight();
  const RECT grip = a->GetGripRect();
  ASSERT_EQ(start - 6, grip.top);
  EXPECT_EQ(HTBOTTOM, wulSendMessage(a->GetHandle(), WM_NCHITTEST, 0, ScreenPoint(a, 50, start - 3)));

  NcDown(a, 50, start - 3);
  EXPECT_EQ(a->GetHandle(), GetCapture());
  EXPECT_EQ(CVCFoldingPanel::MOUSE_GRIP, a->GetMouseMode());
  // 30 pixels down.
  Move(a, 50, start - 3 + 30);
  EXPECT_EQ(start + 30, a->GetHeight());
  EXPECT_EQ(100 + 30, a->GetUnfoldedClientHeight());
  EXPECT_EQ(a->GetBottom(), b->GetY());
  // Far down: no more than the free space.
  Move(a, 50, start - 3 + 1000);
  EXPECT_EQ(start + free, a->GetHeight());
  EXPECT_EQ(kHostHeight, b->GetBottom());
  // Far up: no less than the minimum and the frame.
  Move(a, 50, -500);
  EXPECT_EQ(80 + kResizableFrame, a->GetHeight());
  EXPECT_EQ(80, a->GetUnfoldedClientHeight());
  Up(a, 50, -500);
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(CVCFoldingPanel::MOUSE_NONE, a->GetMouseMode());
  EXPECT_FALSE(a->IsFolded());
}

TEST_F(FoldingPanelTest, FoldButtonTogglesOnlyWhenReleasedOverIt) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 60, false);
  Show();
  // Pressed, dragged off, released outside: nothing.
  NcDown(panel, 8, 8);
  EXPECT_TRUE(panel->IsButtonPressed());
  EXPECT_EQ(panel->GetHandle(), GetCapture());
  Move(panel, 60, 30);
  EXPECT_FALSE(panel->IsButtonPressed());
  Up(panel, 60, 30);
  EXPECT_FALSE(panel->IsFolded());
  EXPECT_EQ(nullptr, GetCapture());

  // Off and back on: the pressed look follows, the release folds.
  NcDown(panel, 8, 8);
  Move(panel, 60, 30);
  Move(panel, 9, 9);
  EXPECT_TRUE(panel->IsButtonPressed());
  Up(panel, 9, 9);
  EXPECT_TRUE(panel->IsFolded());
  EXPECT_FALSE(panel->IsButtonPressed());
  EXPECT_EQ(17, panel->GetHeight());

  // A press on the caption outside the button does nothing.
  NcDown(panel, 80, 8);
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_TRUE(panel->IsFolded());
}

TEST_F(FoldingPanelTest, DoubleClickOnTheCaptionToggles) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 60, true);
  Show();
  NcDoubleClick(panel, 100, 8);
  EXPECT_FALSE(panel->IsFolded());
  EXPECT_EQ(60 + kResizableFrame, panel->GetHeight());
  NcDoubleClick(panel, 100, 8);
  EXPECT_TRUE(panel->IsFolded());
  // On the button it is a press: released over the button it folds once.
  NcDoubleClick(panel, 8, 8);
  EXPECT_TRUE(panel->IsFolded());
  EXPECT_TRUE(panel->IsButtonPressed());
  Up(panel, 8, 8);
  EXPECT_FALSE(panel->IsFolded());
}

TEST_F(FoldingPanelTest, RealClickOnTheFoldButtonFolds) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 60, false);
  Show();
  RECT rect;
  GetWindowRect(panel->GetHandle(), &rect);
  ASSERT_TRUE(SetCursorPos(rect.left + 8, rect.top + 8));
  PumpPending();
  if (WindowFromPoint(POINT{rect.left + 8, rect.top + 8}) != panel->GetHandle())
    GTEST_SKIP() << "the display does not place the pointer";
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
  EXPECT_TRUE(PumpUntil([&] { return panel->IsFolded(); }));
  EXPECT_EQ(17, panel->GetHeight());
}

TEST_F(FoldingPanelTest, FoldingMovesTheFocusOutOfThePanelToTheTopWindow) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 60, false);
  wulPushDefaultParent(panel->GetClientContainer());
  CWULContainer* inner = new CWULContainer;
  inner->SetBounds(4, 4, 40, 20);
  wulPopDefaultParent();
  Show();
  SetFocus(inner->GetHandle());
  PumpPending();
  if (GetFocus() != inner->GetHandle())
    GTEST_SKIP() << "the display gives no focus";
  panel->Fold();
  PumpPending();
  EXPECT_EQ(host->GetHandle(), GetFocus());
  EXPECT_FALSE(panel->GetClientContainer()->IsVisible());

  // Without the focus inside, folding leaves it where it is.
  CVCFoldingPanel* other = Make("Other", false, 40, 40, false);
  host->IncarnateTree(nullptr);
  SetFocus(inner->GetHandle());
  HWND before = GetFocus();
  other->Fold();
  EXPECT_EQ(before, GetFocus());
}

TEST_F(FoldingPanelTest, CaptionIsPaintedInTheCaptionColourMovedTowardsThePanelColour) {
  CVCFoldingPanel* panel = Make("Tool", true, 40, 60, false);
  Show();
  SendMessageA(panel->GetHandle(), WM_NCPAINT, 1, 0);
  const bool active = GetActiveWindow() == host->GetHandle();
  const CWULColor expected = (active ? wulColors[4] : wulColors[5]).Blend(panel->GetColor(), 0.125f);
  // Inside the caption bar, right of any text.
  EXPECT_EQ(expected.value & 0xFFFFFFu, RGBAt(panel->frameBuffer, panel->GetWidth() - 4, 4));
  // The folded arrow changes the button's inside.
  // The arrow points down while unfolded, right while folded.
  const uint32_t glyph = wulColors[17].value & 0xFFFFFFu;
  EXPECT_EQ(glyph, RGBAt(panel->frameBuffer, 6, 7));
  panel->Fold();
  SendMessageA(panel->GetHandle(), WM_NCPAINT, 1, 0);
  EXPECT_NE(glyph, RGBAt(panel->frameBuffer, 6, 7));
  EXPECT_EQ(glyph, RGBAt(panel->frameBuffer, 8, 9));
}

TEST_F(FoldingPanelTest, StateGoesToTheSettingsAndComesBack) {
  g_Settings.panelsToolBodyFolded->SetValue(true);
  g_Settings.panelsToolBodyClientHeight->SetValue(120);
  CVCFoldingPanel* global = nullptr;
  CVCFoldingPanel* panel = CreateFoldingPanel("Tool", 56, g_Settings.panelsToolBodyFolded,
                                              g_Settings.panelsToolBodyClientHeight, &global);
  Show();
  EXPECT_EQ(panel, global);
  EXPECT_STREQ("Tool", panel->GetText());
  EXPECT_TRUE(panel->IsResizable());
  EXPECT_EQ(56, panel->GetMinClientHeight());
  EXPECT_TRUE(panel->IsFolded());
  EXPECT_EQ(120, panel->GetUnfoldedClientHeight());

  panel->SetFolded(false);
  panel->SetClientHeight(90);
  delete panel;
  EXPECT_EQ(nullptr, global);
  EXPECT_FALSE(g_Settings.panelsToolBodyFolded->GetValue());
  EXPECT_EQ(90, g_Settings.panelsToolBodyClientHeight->GetValue());

  // A stored height below the minimum comes back at the minimum.
  g_Settings.panelsToolBodyClientHeight->SetValue(10);
  g_Settings.panelsToolBodyFolded->SetValue(false);
  wulPushDefaultParent(master);
  panel = CreateFoldingPanel("Tool", 56, g_Settings.panelsToolBodyFolded, g_Settings.panelsToolBodyClientHeight,
                             &global);
  wulPopDefaultParent();
  host->IncarnateTree(nullptr);
  EXPECT_FALSE(panel->IsFolded());
  EXPECT_EQ(56, panel->GetClientHeight());
  panel->Fold();
  delete panel;
  EXPECT_TRUE(g_Settings.panelsToolBodyFolded->GetValue());
  EXPECT_EQ(56, g_Settings.panelsToolBodyClientHeight->GetValue());
  g_Settings.panelsToolBodyFolded->ResetToDefault();
  g_Settings.panelsToolBodyClientHeight->ResetToDefault();
}

}  // namespace
