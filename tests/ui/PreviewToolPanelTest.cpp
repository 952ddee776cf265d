#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include "document/ActionHooks.h"
#include "shell/Settings.h"
#include "tools/ToolHost.h"
#include "tools/ToolManager.h"
#include "tools/ToolTestSupport.h"
#include "ui/FoldingPanel.h"
#include "ui/MainView.h"
#include "ui/PreviewPanel.h"
#include "ui/ToolPanel.h"
#include "ui/UIHosts.h"
#include "ui/ViewSettings.h"
#include "wul/WULCanvas.h"
#include "wul/WULDropDown.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULScroll.h"
#include "wul/WindowTestKit.h"

namespace {

const int kHostWidth = 420;
const int kHostHeight = 480;

// A tool whose options are one block of the given height.
class OptionsTool : public CTool {
public:
  explicit OptionsTool(int paneHeight) : paneHeight(paneHeight) {}
  void CreateOptionsPane() override {
    ++panes;
    if (paneHeight <= 0)
      return;
    wulPushDefaultParent(ToolPanel::GetOptionHost());
    pane = new CWULContainer;
    pane->SetBounds(2, 2, 100, paneHeight);
    wulPopDefaultParent();
  }
  int paneHeight;
  int panes = 0;
  CWULContainer* pane = nullptr;
};

class PreviewToolPanelTest : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    EnsureViewSettings();
    g_Settings.panelsPreviewChequeredBackground->SetValue(true);
    g_Settings.panelsPreviewBodyFolded->SetValue(false);
    g_Settings.panelsPreviewBodyClientHeight->SetValue(220);
    g_Settings.panelsToolBodyFolded->SetValue(false);
    g_Settings.panelsToolBodyClientHeight->SetValue(80);
    host = new HostWindow(30, 30, kHostWidth, kHostHeight);
    // The layout needs the host's client size before the panels are built.
    host->SetSize(kHostWidth, kHostHeight);
    wulPushDefaultParent(host);
    master = new CPanelMaster;
    g_PanelMaster = master;
    master->SetClientWidth(204);
    master->SetAlignment(WUL_ALIGN_RIGHT);
    wulPushDefaultParent(master);
    CreateToolPanel();
    CreatePreviewPanel();
    wulPopDefaultParent();
    wulPopDefaultParent();
    CreateMainView(host);
    InstallUIHosts();
    host->IncarnateTree(nullptr);
    SetForegroundWindow(host->GetHandle());
    PumpPending();
    canvas = PreviewPanel::GetCanvas();
  }
  void TearDown() override {
    if (GetCapture())
      ReleaseCapture();
    ActivateTool(nullptr);
    g_ToolManager.SetActiveTool(nullptr);
    RemoveUIHosts();
    delete host;
    host = nullptr;
    g_PanelMaster = nullptr;
    doc.reset();
    DropQueuedMessages();
  }
  void ShowImage(int32_t w, int32_t h, uint32_t color) {
    doc.reset();
    doc.reset(new TestDocument(w, h));
    doc->layer->GetPixelArray()->Fill(color);
    doc->layer->Update(nullptr);
    doc->image->UpdateAll();
    MainView::RefitToImage();
    PreviewPanel::Refresh();
  }
  uint32_t Shown(int x, int y) { return RGBAt(PreviewPanel::GetOverlay()->buffer, x, y); }
  void Send(UINT message, WPARAM wParam, int x, int y) {
    wulSendMessage(canvas->GetHandle(), message, wParam, MAKELPARAM(x, y));
  }

  HostWindow* host = nullptr;
  CPanelMaster* master = nullptr;
  CWULTiledCanvas* canvas = nullptr;
  std::unique_ptr<TestDocument> doc;
};

TEST_F(PreviewToolPanelTest, PanelsAreBuiltWithTheirCaptionsAndSettings) {
  ASSERT_NE(nullptr, g_ToolPanel);
  ASSERT_NE(nullptr, g_PreviewPanel);
  EXPECT_STREQ("Tool", g_ToolPanel->GetText());
  EXPECT_STREQ("Preview", g_PreviewPanel->GetText());
  EXPECT_EQ(56, g_ToolPanel->GetMinClientHeight());
  EXPECT_EQ(80, g_PreviewPanel->GetMinClientHeight());
  EXPECT_EQ(80, g_ToolPanel->GetClientHeight());
  EXPECT_EQ(220, g_PreviewPanel->GetClientHeight());
  EXPECT_EQ(g_ToolPanel->GetBottom(), g_PreviewPanel->GetY());
  ASSERT_NE(nullptr, canvas);
  EXPECT_NE(nullptr, canvas->GetHandle());
}

TEST_F(PreviewToolPanelTest, ZoomListOffersElevenFactorsAndTheButtonsStopAtTheEnds) {
  CWULDropDown* list = PreviewPanel::GetZoomList();
  ASSERT_NE(nullptr, list);
  const char* texts[11] = {"100%", "200%", "300%", "400%", "500%", "600%", "700%", "800%", "1000%", "1200%", "1600%"};
  ASSERT_EQ(11, list->GetItemCount());
  int i = 0;
  for (CWULDropDownItem* item = list->GetFirstItem(); item; item = item->GetNext(), ++i) {
    EXPECT_STREQ(texts[i], item->text.text);
    EXPECT_EQ(i, item->value);
  }
  EXPECT_FALSE(list->IsTabStop());
  EXPECT_EQ(11, list->GetMaxVisibleItems());
  EXPECT_FALSE(list->wheelAcceptHandler(list, 5, 5));

  CWULStandardBarItem* in = PreviewPanel::GetButton(PreviewPanel::BUTTON_ZOOM_IN);
  CWULStandardBarItem* out = PreviewPanel::GetButton(PreviewPanel::BUTTON_ZOOM_OUT);
  EXPECT_EQ(0, PreviewPanel::GetZoomIndex());
  EXPECT_EQ(0, list->GetSelection()->value);
  EXPECT_TRUE(in->IsEnabled());
  EXPECT_FALSE(out->IsEnabled());

  in->PerformClick();
  EXPECT_EQ(1, PreviewPanel::GetZoomIndex());
  EXPECT_TRUE(out->IsEnabled());
  list->SetSelection(list->FindByValue(10));
  EXPECT_EQ(10, PreviewPanel::GetZoomIndex());
  EXPECT_EQ(16, PreviewPanel::GetZoomFactor());
  EXPECT_FALSE(in->IsEnabled());
  EXPECT_TRUE(out->IsEnabled());
  PreviewPanel::SetZoomIndex(40, nullptr);
  EXPECT_EQ(10, PreviewPanel::GetZoomIndex());
  out->PerformClick();
  EXPECT_EQ(9, PreviewPanel::GetZoomIndex());
  EXPECT_EQ(9, list->GetSelection()->value);
  PreviewPanel::SetZoomIndex(-3, nullptr);
  EXPECT_EQ(0, list->GetSelection()->value);
  EXPECT_FALSE(out->IsEnabled());
}

TEST_F(PreviewToolPanelTest, PreviewFollowsTheImageAndItsEdits) {
  EXPECT_EQ(0, canvas->GetContentWidth());
  ShowImage(20, 10, 0xFFFF0000u);
  EXPECT_EQ(20, canvas->GetContentWidth());
  EXPECT_EQ(10, canvas->GetContentHeight());
  PreviewPanel::SetZoomIndex(2, nullptr);
  EXPECT_EQ(60, canvas->GetContentWidth());
  EXPECT_EQ(30, canvas->GetContentHeight());

  const Point origin = PreviewPanel::GetImageOrigin();
  EXPECT_EQ(0xFF0000u, Shown(origin.x + 1, origin.y + 1));
  EXPECT_EQ(0xFF0000u, Shown(origin.x + 59, origin.y + 29));

  // An edit reported through the tool host repaints the preview.
  doc->layer->GetPixelArray()->Fill(0xFF0000FFu);
  doc->layer->Update(nullptr);
  doc->image->UpdateAll();
  EXPECT_EQ(&PreviewPanel::Refresh, g_ActionHooks.refreshPreview);
  GetToolHost()->RefreshPreview();
  EXPECT_EQ(0x0000FFu, Shown(origin.x + 1, origin.y + 1));

  // Without an image the canvas is empty.
  doc.reset();
  PreviewPanel::Refresh();
  EXPECT_EQ(0, canvas->GetContentWidth());
  EXPECT_EQ(0, canvas->GetContentHeight());
}

TEST_F(PreviewToolPanelTest, ChequeredBackgroundCanBeTurnedOffAndIsRemembered) {
  ShowImage(16, 16, 0x00000000u);
  CWULStandardBarItem* chequered = PreviewPanel::GetButton(PreviewPanel::BUTTON_CHEQUERED);
  ASSERT_TRUE(chequered->IsChecked());
  const Point origin = PreviewPanel::GetImageOrigin();
  // Cells of 4 pixels from the canvas origin.
  const uint32_t a = g_Settings.uiColorsChequerA->GetValue().value & 0xFFFFFFu;
  const uint32_t b = g_Settings.uiColorsChequerB->GetValue().value & 0xFFFFFFu;
  const uint32_t first = Shown(origin.x + 1, origin.y + 1);
  EXPECT_TRUE(first == a || first == b);
  const int nextCell = ((origin.x + 1) / 4 + 1) * 4;
  EXPECT_EQ(first == a ? b : a, Shown(nextCell, origin.y + 1));

  chequered->PerformClick();
  EXPECT_FALSE(chequered->IsChecked());
  EXPECT_FALSE(g_Settings.panelsPreviewChequeredBackground->GetValue());
  const uint32_t panel = canvas->GetColor().value & 0xFFFFFFu;
  EXPECT_EQ(panel, Shown(origin.x + 1, origin.y + 1));
  EXPECT_EQ(panel, Shown(nextCell, origin.y + 1));

  chequered->PerformClick();
  EXPECT_TRUE(g_Settings.panelsPreviewChequeredBackground->GetValue());
  EXPECT_EQ(first, Shown(origin.x + 1, origin.y + 1));
}

TEST_F(PreviewToolPanelTest, DraggingInThePreviewCentresTheMainViewWithinTheImage) {
  ShowImage(64, 64, 0xFF808080u);
  MainView::SetZoomIndex(4, nullptr);  // 16x: the main view scrolls
  PreviewPanel::SetZoomIndex(1, nullptr);
  const Point origin = PreviewPanel::GetImageOrigin();
  CWULTiledCanvas* view = MainView::GetView();
  ASSERT_NE(nullptr, view);

  // A press in the middle of the preview image centres the main view there.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, origin.x + 64, origin.y + 64);
  EXPECT_EQ(PreviewPanel::DRAG_NAVIGATING, PreviewPanel::GetDragState());
  EXPECT_EQ(canvas->GetHandle(), GetCapture());
  const CViewState middle = MainView::GetViewState();
  EXPECT_NEAR(32 * 256, middle.center.x, 256);
  EXPECT_NEAR(32 * 256, middle.center.y, 256);

  // On the last column, then far beyond the right edge: the same place.
  Send(WM_MOUSEMOVE, MK_LBUTTON, origin.x + 127, origin.y + 64);
  const int lastColumnScroll = view->GetScrollX();
  Send(WM_MOUSEMOVE, MK_LBUTTON, origin.x + 900, origin.y + 64);
  EXPECT_EQ(lastColumnScroll, view->GetScrollX());
  EXPECT_EQ(view->GetContentWidth() - view->GetClientWidth(), view->GetScrollX());
  // Beyond the left edge: the first column.
  Send(WM_MOUSEMOVE, MK_LBUTTON, origin.x - 300, origin.y + 64);
  EXPECT_EQ(0, view->GetScrollX());

  Send(WM_LBUTTONUP, 0, origin.x - 300, origin.y + 64);
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(PreviewPanel::DRAG_IDLE, PreviewPanel::GetDragState());
}

TEST_F(PreviewToolPanelTest, MiddleButtonPansThePreview) {
  ShowImage(64, 64, 0xFF808080u);
  PreviewPanel::SetZoomIndex(10, nullptr);  // 1024 pixels: the canvas scrolls
  canvas->SetScrollPos(100, 100);
  Send(WM_MBUTTONDOWN, MK_MBUTTON, 50, 50);
  EXPECT_EQ(PreviewPanel::DRAG_PANNING, PreviewPanel::GetDragState());
  Send(WM_MOUSEMOVE, MK_MBUTTON, 30, 40);
  EXPECT_EQ(120, canvas->GetScrollX());
  EXPECT_EQ(110, canvas->GetScrollY());
  Send(WM_MBUTTONUP, 0, 30, 40);
  EXPECT_EQ(PreviewPanel::DRAG_IDLE, PreviewPanel::GetDragState());
}

TEST_F(PreviewToolPanelTest, ToolPanelShowsTheOptionsOfTheActiveTool) {
  OptionsTool tall(120);
  OptionsTool bare(0);
  CWULView* view = ToolPanel::GetView();
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(0, view->GetContentHeight());

  ASSERT_TRUE(ActivateTool(&tall));
  EXPECT_EQ(1, tall.panes);
  ASSERT_NE(nullptr, tall.pane);
  EXPECT_EQ(ToolPanel::GetOptionHost(), tall.pane->parent);
  EXPECT_NE(nullptr, tall.pane->GetHandle());
  EXPECT_EQ(122, view->GetContentHeight());

  // The view scrolls by its line step per wheel notch.
  CWULContainer* host = ToolPanel::GetOptionHost();
  ASSERT_NE(nullptr, view->wheelHandler);
  float notches = -1.0f;
  view->wheelHandler(view, &notches, 0, 0, 0);
  EXPECT_EQ(8, view->GetScrollY());
  EXPECT_EQ(-8, host->GetY());

  // The next tool's options replace them; a tool without options leaves the view empty.
  ASSERT_TRUE(ActivateTool(&bare));
  EXPECT_EQ(1, bare.panes);
  EXPECT_EQ(0, view->GetContentHeight());
  PumpUntil([&] { return host->firstChild == nullptr; });
  EXPECT_EQ(nullptr, host->firstChild);
  ActivateTool(nullptr);
}

TEST_F(PreviewToolPanelTest, FoldingThePreviewKeepsItsStateForTheNextRun) {
  g_PreviewPanel->Fold();
  delete host;
  host = nullptr;
  EXPECT_EQ(nullptr, g_PreviewPanel);
  EXPECT_EQ(nullptr, g_ToolPanel);
  EXPECT_EQ(nullptr, PreviewPanel::GetCanvas());
  EXPECT_EQ(nullptr, ToolPanel::GetView());
  EXPECT_TRUE(g_Settings.panelsPreviewBodyFolded->GetValue());
  EXPECT_EQ(220, g_Settings.panelsPreviewBodyClientHeight->GetValue());
  EXPECT_FALSE(g_Settings.panelsToolBodyFolded->GetValue());
  EXPECT_EQ(80, g_Settings.panelsToolBodyClientHeight->GetValue());
}

}  // namespace
