#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/Ticker.h"
#include "tools/ToolManager.h"
#include "tools/WorkingCopies.h"
#include "ui/AppCursors.h"
#include "ui/MainToolbar.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/StatusBar.h"
#include "MainWindowHarness.h"
#include "ViewSettings.h"
#include "wul/WULAppWindow.h"
#include "wul/WULCanvas.h"
#include "wul/WULItemBar.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WindowTestKit.h"

namespace {

// A current project of one 32 x 32 image whose only layer is filled with argb.
void MakeFilledProject(uint32_t argb) {
  CProject* project = new CProject();
  project->SetName("Status");
  CImage* image = new CImage();
  image->SetSize(32, 32);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  image->SetActiveLayer(layer);
  layer->GetPixels()->Fill(argb);
  image->UpdateAll();
  project->SetCurrentImage(image);
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
}

std::string PaneText(int which) {
  CStatusPane* pane = StatusBar::GetPane(which);
  return pane ? pane->GetText() : "<none>";
}

// Pixels of the pane's picture that differ from the picture's colour.
int InkedPixels(int which) {
  CWULPicture* picture = StatusBar::GetPane(which)->GetPicture();
  GdiFlush();
  CWULImage* image = picture->GetImage();
  if (!image)
    return -1;
  const uint32_t background = picture->GetColor().value & 0xFFFFFFu;
  int count = 0;
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x)
      count += (image->GetPixel(x, y) & 0xFFFFFFu) != background;
  return count;
}

int g_TestCalls = 0;
POINT g_TestPoint = {0, 0};
void ThrowingStatus(HWND, int32_t x, int32_t y) {
  ++g_TestCalls;
  g_TestPoint = POINT{x, y};
  StatusBar::SetHelpText("from the window");
  throw 7;
}

class StatusBarTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
  }

  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
  }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, StatusBar::GetBar());
  }

  // Puts the pointer on a client point of a window.
  static void PointAt(CWULInteractor* window, int x, int y) {
    POINT screen = {x, y};
    ClientToScreen(window->GetHandle(), &screen);
    SetCursorPos(screen.x, screen.y);
  }
};


TEST_F(StatusBarTest, FourPanesAlongTheBottomOfTheMainWindow) {
  Open();
  CWULPanel* bar = StatusBar::GetBar();
  EXPECT_EQ(WUL_ALIGN_BOTTOM, bar->GetAlignment());
  EXPECT_EQ(WUL_EDGE_SUNKEN, bar->GetOuterEdge());
  EXPECT_EQ(19, bar->GetHeight());
  EXPECT_EQ(g_MainWindow->GetClientWidth(), bar->GetWidth());
  EXPECT_EQ(g_MainWindow->GetClientHeight(), bar->GetBottom());
  // Left to right: help, geometry, pixel, colour; the three icon panes keep their widths.
  CWULPanel* help = StatusBar::GetPane(StatusBar::PANE_HELP)->GetPanel();
  CWULPanel* geometry = StatusBar::GetPane(StatusBar::PANE_GEOMETRY)->GetPanel();
  CWULPanel* pixel = StatusBar::GetPane(StatusBar::PANE_PIXEL)->GetPanel();
  CWULPanel* color = StatusBar::GetPane(StatusBar::PANE_COLOR)->GetPanel();
  EXPECT_EQ(0, help->GetX());
  EXPECT_EQ(help->GetRight(), geometry->GetX());
  EXPECT_EQ(geometry->GetRight(), pixel->GetX());
  EXPECT_EQ(pixel->GetRight(), color->GetX());
  EXPECT_EQ(bar->GetClientWidth(), color->GetRight());
  EXPECT_EQ(120, geometry->GetClientWidth());
  EXPECT_EQ(72, pixel->GetClientWidth());
  EXPECT_EQ(96, color->GetClientWidth());
  EXPECT_EQ(WUL_EDGE_RAISED, color->GetInnerEdge());
  EXPECT_EQ(1, color->GetBorderWidth());
  // The picture fills each pane; the bar ticks while its window exists.
  CWULPicture* picture = StatusBar::GetPane(StatusBar::PANE_PIXEL)->GetPicture();
  EXPECT_EQ(72, picture->GetWidth());
  EXPECT_EQ(bar->GetClientHeight() - 4, picture->GetHeight());
  EXPECT_EQ(1, g_Ticker.Unregister(&StatusBar::OnTick) ? 1 : 0);
  g_Ticker.Register(&StatusBar::OnTick);
}

TEST_F(StatusBarTest, SettersWriteTheirPanesInTheirFormats) {
  Open();
  StatusBar::SetPosition(3 * 256 + 128, -64);
  EXPECT_EQ("3.500 : -0.250", PaneText(StatusBar::PANE_GEOMETRY));
  StatusBar::SetPositionInt(-4, 12);
  EXPECT_EQ("-4 : 12", PaneText(StatusBar::PANE_GEOMETRY));
  StatusBar::SetSize(16, 9);
  EXPECT_EQ("16 x 9", PaneText(StatusBar::PANE_GEOMETRY));
  StatusBar::SetSizeFixed(256 + 1, 512);
  EXPECT_EQ("1.004 x 2.000", PaneText(StatusBar::PANE_GEOMETRY));
  StatusBar::SetPixelPosition(7, -1);
  EXPECT_EQ("7,-1", PaneText(StatusBar::PANE_PIXEL));
  // An opaque colour shows three numbers, a half-transparent one the alpha after a colon.
  StatusBar::SetColor(CColor(0xFF0A141Eu));
  EXPECT_EQ("10,20,30", PaneText(StatusBar::PANE_COLOR));
  StatusBar::SetColor(CColor(0x800A141Eu));
  EXPECT_EQ("10,20,30 : 128", PaneText(StatusBar::PANE_COLOR));
  StatusBar::SetColor(CColor(0u));
  EXPECT_EQ("0,0,0 : 0", PaneText(StatusBar::PANE_COLOR));
  StatusBar::SetColorText("n/a");
  EXPECT_EQ("n/a", PaneText(StatusBar::PANE_COLOR));
  StatusBar::ClearColor();
  EXPECT_EQ("", PaneText(StatusBar::PANE_COLOR));
  StatusBar::ClearGeometry();
  EXPECT_EQ("", PaneText(StatusBar::PANE_GEOMETRY));

  // The tools reach the panes through the user interface.
  GetEditorUI()->SetPosition(256, 512);
  EXPECT_EQ("1.000 : 2.000", PaneText(StatusBar::PANE_GEOMETRY));
  GetEditorUI()->SetSize(3, 4);
  EXPECT_EQ("3 x 4", PaneText(StatusBar::PANE_GEOMETRY));
  GetEditorUI()->SetHelpText("Drag to draw.");
  EXPECT_EQ("Drag to draw.", PaneText(StatusBar::PANE_HELP));
  GetEditorUI()->SetColor(CColor(0xFF010203u));
  EXPECT_EQ("1,2,3", PaneText(StatusBar::PANE_COLOR));
}

TEST_F(StatusBarTest, AnEmptyTextRightAfterAnotherKeepsTheOldOneForAWhile) {
  Open();
  StatusBar::SetHelpText("First");
  StatusBar::SetHelpText("");
  EXPECT_EQ("First", PaneText(StatusBar::PANE_HELP));
  Sleep(120);
  StatusBar::SetHelpText("");
  EXPECT_EQ("", PaneText(StatusBar::PANE_HELP));
  // Writing the same text again is no change: the delay counts from the first writing.
  StatusBar::SetHelpText("Second");
  Sleep(120);
  StatusBar::SetHelpText("Second");
  StatusBar::SetHelpText("");
  EXPECT_EQ("", PaneText(StatusBar::PANE_HELP));
  // An explicit clear is immediate.
  StatusBar::SetColorText("x");
  StatusBar::ClearColor();
  EXPECT_EQ("", PaneText(StatusBar::PANE_COLOR));
}

TEST_F(StatusBarTest, TextsArePaintedIntoThePanesAndClearedAway) {
  Open();
  EXPECT_EQ(0, InkedPixels(StatusBar::PANE_HELP));
  StatusBar::SetHelpText("Click to modify color.");
  EXPECT_GT(InkedPixels(StatusBar::PANE_HELP), 20);
  Sleep(120);
  StatusBar::SetHelpText("");
  EXPECT_EQ(0, InkedPixels(StatusBar::PANE_HELP));

  // The icon panes show their icon at the left even without text, the text beside it.
  const int iconOnly = InkedPixels(StatusBar::PANE_PIXEL);
  EXPECT_GT(iconOnly, 0);
  CWULPicture* picture = StatusBar::GetPane(StatusBar::PANE_PIXEL)->GetPicture();
  GdiFlush();
  CWULImage* image = picture->GetImage();
  const uint32_t background = picture->GetColor().value & 0xFFFFFFu;
  int rightInk = 0;
  StatusBar::SetPixelPosition(123, 456);
  EXPECT_GT(InkedPixels(StatusBar::PANE_PIXEL), iconOnly + 20);
  GdiFlush();
  for (int y = 0; y < image->height; ++y)
    for (int x = 14; x < image->width; ++x)
      rightInk += (image->GetPixel(x, y) & 0xFFFFFFu) != background;
  EXPECT_GT(rightInk, 20);
}

TEST_F(StatusBarTest, TheTickDescribesTheViewAndClearsWhatNobodyRefreshed) {
  MakeFilledProject(0x80102030u);
  Open();
  CWULTiledCanvas* view = MainView::GetView();
  ASSERT_NE(nullptr, view);
  ASSERT_NE(nullptr, CStatusRegistry::Find(view->GetHandle()));
  const Point at = MainView::ImageToClient(8 * 256 + 128, 9 * 256 + 128);
  PointAt(view, at.x, at.y);
  StatusBar::OnTick();
  EXPECT_EQ("8,9", PaneText(StatusBar::PANE_PIXEL));
  EXPECT_EQ("16,32,48 : 128", PaneText(StatusBar::PANE_COLOR));
  StatusBar::SetPosition(256, 256);

  // Onto the toolbar, which describes nothing: within one tick the help, pixel and colour
  // panes are empty, the geometry pane keeps what the tools last wrote.
  StatusBar::SetHelpText("Over the view");
  PointAt(MainToolbar::GetBar(), 200, 5);
  Sleep(120);
  g_Ticker.Tick();
  EXPECT_EQ("", PaneText(StatusBar::PANE_HELP));
  EXPECT_EQ("", PaneText(StatusBar::PANE_PIXEL));
  EXPECT_EQ("", PaneText(StatusBar::PANE_COLOR));
  EXPECT_EQ("1.000 : 1.000", PaneText(StatusBar::PANE_GEOMETRY));
}

TEST_F(StatusBarTest, OverTheViewsScrollBarThePixelPaneClears) {
  MakeFilledProject(0xFF102030u);
  Open();
  CWULTiledCanvas* view = MainView::GetView();
  MainView::SetZoomIndex(MainView::ZOOM_STEPS - 1, nullptr);
  RECT window, client;
  GetWindowRect(view->GetHandle(), &window);
  GetClientRect(view->GetHandle(), &client);
  // The image at 64x overflows the view, which shows its scroll bars beside the client area.
  ASSERT_LT(client.right, window.right - window.left);
  const Point at = MainView::ImageToClient(16 * 256 + 128, 16 * 256 + 128);
  ASSERT_TRUE(at.x >= 0 && at.x < client.right && at.y >= 0 && at.y < client.bottom);
  PointAt(view, at.x, at.y);
  StatusBar::OnTick();
  ASSERT_EQ("16,16", PaneText(StatusBar::PANE_PIXEL));
  SetCursorPos(window.right - 2, (window.top + window.bottom) / 2);
  ASSERT_EQ(view->GetHandle(), WindowFromPoint(POINT{window.right - 2, (window.top + window.bottom) / 2}));
  StatusBar::OnTick();
  EXPECT_EQ("", PaneText(StatusBar::PANE_PIXEL));
  EXPECT_EQ("", PaneText(StatusBar::PANE_COLOR));
}

TEST_F(StatusBarTest, TheRunningTickerClearsThePanesAfterThePointerLeaves) {
  MakeFilledProject(0xFF102030u);
  Open();
  CWULTiledCanvas* view = MainView::GetView();
  const Point at = MainView::ImageToClient(2 * 256, 3 * 256);
  PointAt(view, at.x, at.y);
  ASSERT_TRUE(g_Ticker.Start());
  EXPECT_TRUE(PumpUntil([] { return PaneText(StatusBar::PANE_PIXEL) == "2,3"; }, 2000));
  EXPECT_EQ("16,32,48", PaneText(StatusBar::PANE_COLOR));
  StatusBar::SetSize(5, 6);
  PointAt(MainToolbar::GetBar(), 200, 5);
  EXPECT_TRUE(PumpUntil([] { return PaneText(StatusBar::PANE_PIXEL).empty() && PaneText(StatusBar::PANE_COLOR).empty(); },
                        2000));
  EXPECT_EQ("5 x 6", PaneText(StatusBar::PANE_GEOMETRY));
  g_Ticker.Stop();
}

TEST_F(StatusBarTest, AFailingCallbackIsSwallowedAndThePanesStillClear) {
  Open();
  CWULItemBar* toolbar = MainToolbar::GetBar();
  CStatusRegistry::Register(toolbar->GetHandle(), &ThrowingStatus);
  g_TestCalls = 0;
  PointAt(toolbar, 30, 6);
  StatusBar::SetPixelPosition(1, 1);
  EXPECT_NO_THROW(StatusBar::OnTick());
  EXPECT_EQ(1, g_TestCalls);
  // Client coordinates of the window under the pointer.
  EXPECT_EQ(30, g_TestPoint.x);
  EXPECT_EQ(6, g_TestPoint.y);
  // What the callback wrote before failing stays; the pixel pane was not refreshed.
  EXPECT_EQ("from the window", PaneText(StatusBar::PANE_HELP));
  EXPECT_EQ("", PaneText(StatusBar::PANE_PIXEL));
  CStatusRegistry::Unregister(toolbar->GetHandle());
  EXPECT_EQ(nullptr, CStatusRegistry::Find(toolbar->GetHandle()));
}

TEST_F(StatusBarTest, RegistryFindsTheNewestEntryAndUnregistersOneAtATime) {
  Open();
  HWND window = MainToolbar::GetBar()->GetHandle();
  const int32_t before = CStatusRegistry::GetCount();
  CStatusRegistry::Register(window, &ThrowingStatus);
  CStatusRegistry::Register(window, static_cast<CStatusRegistry::Updater>(&MainView::UpdateStatus));
  EXPECT_EQ(before + 2, CStatusRegistry::GetCount());
  ASSERT_NE(nullptr, CStatusRegistry::Find(window));
  EXPECT_EQ(nullptr, CStatusRegistry::Find(window)->callback);
  CStatusRegistry::Unregister(window);
  ASSERT_NE(nullptr, CStatusRegistry::Find(window));
  EXPECT_EQ(&ThrowingStatus, CStatusRegistry::Find(window)->callback);
  CStatusRegistry::Unregister(window);
  EXPECT_EQ(nullptr, CStatusRegistry::Find(window));
  // Unknown windows are left alone.
  CStatusRegistry::Unregister(window);
  EXPECT_EQ(before, CStatusRegistry::GetCount());

  // The view leaves the registry with its window; deleting the bar empties it.
  HWND viewWindow = MainView::GetView()->GetHandle();
  ASSERT_NE(nullptr, CStatusRegistry::Find(viewWindow));
  g_MainWindow->closeRequestHandler = nullptr;
  delete g_MainWindow;
  EXPECT_EQ(nullptr, StatusBar::GetBar());
  EXPECT_EQ(0, CStatusRegistry::GetCount());
  // Without the bar the setters do nothing.
  StatusBar::SetHelpText("nobody");
  StatusBar::OnTick();
  EXPECT_EQ(nullptr, StatusBar::GetPane(StatusBar::PANE_HELP));
}

}  // namespace
