#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <memory>
#include <vector>
#include "document/Painters.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/Ticker.h"
#include "tools/ToolManager.h"
#include "tools/ToolTestSupport.h"
#include "ui/MainView.h"
#include "ui/ViewSettings.h"
#include "wul/WULCanvas.h"
#include "wul/WindowTestKit.h"

namespace {

const int kHostWidth = 320;
const int kHostHeight = 240;

// Records what the view hands to the active tool.
class ProbeTool : public CTool {
public:
  ProbeTool() { away = 0; }
  void Activate() override {
    CTool::Activate();
    away = 0;
  }
  // The view must stop talking to an away tool; the probe stays present so that a stray
  // ticker cannot make the tests depend on where the real pointer is.
  void PointerLeft() override { ++lefts; }
  HCURSOR GetCursor(const Point&) override { return LoadCursor(nullptr, IDC_CROSS); }
  void MouseMove(const Point& pos) override { moves.push_back(pos); }
  bool MouseDown(int32_t button, const Point& pos) override {
    downs.push_back(pos);
    buttons.push_back(button);
    return acceptDown;
  }
  bool MouseUp(int32_t button, const Point& pos) override {
    ups.push_back(pos);
    buttons.push_back(button);
    return true;
  }
  void EndDrag() override { ++endDrags; }
  void DrawOverlay(CToolOverlay& overlay) override {
    ++overlayDraws;
    lastClip = overlay.clip;
  }
  bool WantsAutoScroll() override { return true; }
  void Clear() {
    moves.clear();
    downs.clear();
    ups.clear();
    buttons.clear();
    endDrags = lefts = overlayDraws = 0;
  }
  void SetAway(bool on) { away = on ? 1 : 0; }

  bool acceptDown = true;
  std::vector<Point> moves, downs, ups;
  std::vector<int32_t> buttons;
  int endDrags = 0;
  int lefts = 0;
  int overlayDraws = 0;
  Rect lastClip;
};

class MainViewTest : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    EnsureViewSettings();
    SetCursorPos(0, 0);
    g_ToolManager.SetActiveTool(&probe);
    host = new HostWindow(60, 60, kHostWidth, kHostHeight);
    view = CreateMainView(host);
    host->IncarnateTree(nullptr);
    SetForegroundWindow(host->GetHandle());
    PumpPending();
  }
  void TearDown() override {
    if (GetCapture())
      ReleaseCapture();
    g_ToolManager.SetActiveTool(nullptr);
    delete host;
    host = nullptr;
    doc.reset();
    MainView::SetChannelMode(0);
    DropQueuedMessages();
  }

  // A current image of w x h, its layer filled with one colour, shown at zoom index 0.
  void ShowImage(int32_t w, int32_t h, uint32_t color, bool supersampled = false) {
    doc.reset();
    doc.reset(new TestDocument(w, h, supersampled));
    Fill(color);
    MainView::RefitToImage();
  }
  void Fill(uint32_t color) {
    doc->layer->GetPixelArray()->Fill(color);
    doc->layer->Update(nullptr);
    doc->image->UpdateAll();
    MainView::InvalidateImageRect(nullptr);
    RenderAll();
  }
  void RenderAll() { view->RenderAll(nullptr); }
  uint32_t Shown(int x, int y) { return RGBAt(MainView::GetToolOverlay()->buffer, x, y); }
  uint32_t ShownImage(int x, int y) { return RGBAt(MainView::GetImageOverlay()->buffer, x, y); }
  void SetPixel(int32_t x, int32_t y, uint32_t argb) {
    doc->layer->GetPixelArray()->SetPixel(x, y, argb);
    doc->layer->Update(nullptr);
    doc->image->UpdateAll();
    RenderAll();
  }
  HWND Window() { return view->GetHandle(); }
  void Send(UINT message, WPARAM wParam, int x, int y) { wulSendMessage(Window(), message, wParam, MAKELPARAM(x, y)); }
  void Wheel(int delta) {
    RECT rect;
    GetWindowRect(Window(), &rect);
    const int x = rect.left + 20, y = rect.top + 20;
    wulSendMessage(Window(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                   MAKELPARAM(x, y));
  }

  ProbeTool probe;
  HostWindow* host = nullptr;
  CWULTiledCanvas* view = nullptr;
  std::unique_ptr<TestDocument> doc;
};

uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFFu; }

// What the grid painter makes of one pixel.
uint32_t GridOver(uint32_t pixel, uint32_t color, float opacity) {
  uint32_t value = pixel;
  CPixelArray one(&value, 1, 1);
  CGrid grid;
  grid.spacing = 1;
  grid.color = CColor(color);
  grid.opacity = opacity;
  Rect r;
  r.right = r.bottom = 1;
  PaintGrid(one, r, grid);
  return value & 0xFFFFFFu;
}

TEST_F(MainViewTest, CreationSetsUpTheCanvas) {
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(MainView::GetView(), view);
  EXPECT_EQ(CreateMainView(host), view);  // nothing when it exists
  EXPECT_EQ(view->GetPaintMode(), WUL_PAINT_TILES);
  EXPECT_EQ(view->GetTileSize(), 64);
  EXPECT_EQ(view->GetLineStepX(), 16);
  EXPECT_EQ(view->GetLineStepY(), 16);
  EXPECT_EQ(view->GetBorderStyle(), 0);
  EXPECT_EQ(view->GetFirstOverlay(), MainView::GetImageOverlay());
  EXPECT_EQ(view->GetLastOverlay(), MainView::GetToolOverlay());
  EXPECT_EQ(view->GetClientWidth(), kHostWidth);
  EXPECT_EQ(view->GetClientHeight(), kHostHeight);
  EXPECT_TRUE(MainView::GetOutlineTimer().IsRunning());
  EXPECT_EQ(MainView::GetOutlineTimer().GetInterval(),
            static_cast<int32_t>(g_Settings.timingsMaskAnimationInterval->GetValue()));
  EXPECT_FALSE(MainView::GetAutoScrollTimer().IsRunning());
}

TEST_F(MainViewTest, DestroyingTheViewStopsTimersAndClearsTheGlobal) {
  const int32_t clients = g_Ticker.GetClientCount();
  delete host;
  host = nullptr;
  EXPECT_EQ(MainView::GetView(), nullptr);
  EXPECT_FALSE(MainView::GetOutlineTimer().IsRunning());
  EXPECT_EQ(g_Ticker.GetClientCount(), clients - 1);
}

TEST_F(MainViewTest, WithoutImageOnlyTheGreyBackgroundAndNothingReacts) {
  RenderAll();
  EXPECT_EQ(Shown(0, 0), Grey(96));
  EXPECT_EQ(Shown(kHostWidth / 2, kHostHeight / 2), Grey(96));
  EXPECT_EQ(Shown(kHostWidth - 1, kHostHeight - 1), Grey(96));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  Send(WM_LBUTTONUP, 0, 50, 50);
  Send(WM_MBUTTONDOWN, MK_MBUTTON, 50, 50);
  EXPECT_TRUE(probe.downs.empty());
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
  Wheel(240);
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  Point pixel;
  EXPECT_FALSE(MainView::ClientToPixel(Point{5, 5}, pixel));
  CColor color;
  EXPECT_FALSE(MainView::PickColorAt(Point{160, 120}, color));
  const Point origin = MainView::GetImageOrigin();
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

TEST_F(MainViewTest, SmallImageIsCentredOnChequerboardWithFrame) {
  ShowImage(16, 16, 0x00000000u);
  const Point origin = MainView::GetImageOrigin();
  EXPECT_EQ(origin.x, (kHostWidth - 16) / 2);
  EXPECT_EQ(origin.y, (kHostHeight - 16) / 2);
  const uint32_t a = Rgb(g_Settings.uiColorsChequerA->GetValue().value);
  const uint32_t b = Rgb(g_Settings.uiColorsChequerB->GetValue().value);
  // 8-pixel cells aligned to the image origin.
  EXPECT_EQ(Shown(origin.x, origin.y), a);
  EXPECT_EQ(Shown(origin.x + 7, origin.y + 7), a);
  EXPECT_EQ(Shown(origin.x + 8, origin.y), b);
  EXPECT_EQ(Shown(origin.x, origin.y + 8), b);
  EXPECT_EQ(Shown(origin.x + 8, origin.y + 8), a);
  // The dark frame just outside, the view colour beyond.
  EXPECT_EQ(Shown(origin.x - 1, origin.y + 3), Grey(32));
  EXPECT_EQ(Shown(origin.x + 16, origin.y + 3), Grey(32));
  EXPECT_EQ(Shown(origin.x + 3, origin.y - 1), Grey(32));
  EXPECT_EQ(Shown(origin.x + 3, origin.y + 16), Grey(32));
  EXPECT_EQ(Shown(origin.x - 2, origin.y + 3), Grey(96));
  EXPECT_EQ(Shown(0, 0), Grey(96));
}

TEST_F(MainViewTest, OpaquePixelsAreShownZoomed) {
  ShowImage(16, 16, 0xFF2040C0u);
  SetPixel(3, 2, 0xFFFF0000u);
  MainView::SetZoomIndex(1, nullptr);  // 2
  EXPECT_EQ(MainView::GetZoomFactor(), 2);
  const Point origin = MainView::GetImageOrigin();
  EXPECT_EQ(origin.x, (kHostWidth - 32) / 2);
  EXPECT_EQ(Shown(origin.x + 6, origin.y + 4), 0xFF0000u);
  EXPECT_EQ(Shown(origin.x + 7, origin.y + 5), 0xFF0000u);
  EXPECT_EQ(Shown(origin.x + 8, origin.y + 4), 0x2040C0u);
  EXPECT_EQ(Shown(origin.x + 5, origin.y + 4), 0x2040C0u);
  // No grid below zoom 4: the first row and column look like the rest.
  EXPECT_EQ(Shown(origin.x, origin.y), 0x2040C0u);
  EXPECT_EQ(Shown(origin.x + 2, origin.y + 1), 0x2040C0u);
}

TEST_F(MainViewTest, GridStrengthFollowsTheZoom) {
  ShowImage(16, 16, 0xFF2040C0u);
  const uint32_t gridColor = g_Settings.uiColorsGridA->GetValue().value;
  const struct {
    int index;
    float strength;
  } cases[] = {{2, 0.25f}, {3, 0.33f}, {4, 0.5f}, {5, 0.67f}, {6, 0.75f}, {7, 0.75f}, {8, 0.75f}};
  for (const auto& c : cases) {
    MainView::SetZoomIndex(c.index, nullptr);
    view->SetScrollPos(0, 0);
    const int32_t zoom = MainView::GetZoomFactor();
    const Point p = MainView::ImageToClient(2 << 8, 1 << 8);  // a pixel corner in view
    ASSERT_GE(p.x, 0);
    ASSERT_GE(p.y, 0);
    ASSERT_LT(p.x + 1, kHostWidth);
    ASSERT_LT(p.y + 1, kHostHeight);
    SCOPED_TRACE(zoom);
    EXPECT_EQ(Shown(p.x + 1, p.y + 1), 0x2040C0u);
    EXPECT_EQ(Shown(p.x, p.y + 1), GridOver(0xFF2040C0u, gridColor, c.strength));
    EXPECT_EQ(Shown(p.x + 1, p.y), GridOver(0xFF2040C0u, gridColor, c.strength));
    EXPECT_EQ(Shown(p.x + zoom, p.y + 1), GridOver(0xFF2040C0u, gridColor, c.strength));
    EXPECT_EQ(Shown(p.x + zoom - 1, p.y + 1), 0x2040C0u);
  }
}

TEST_F(MainViewTest, SupersampledLayerAddsFineGridAtZoom32) {
  ShowImage(8, 8, 0xFF2040C0u, true);
  const uint32_t gridColor = g_Settings.uiColorsGridA->GetValue().value;
  MainView::SetZoomIndex(6, nullptr);  // 32
  ASSERT_EQ(MainView::GetZoomFactor(), 32);
  const Point p = MainView::ImageToClient(1 << 8, 1 << 8);
  const float s2 = 0.25f;
  const float main = 1.0f - (1.0f - 0.75f) / (1.0f - s2);
  const uint32_t fine = GridOver(0xFF2040C0u, gridColor, s2);
  EXPECT_EQ(Shown(p.x + 2, p.y + 2), 0x2040C0u);
  EXPECT_EQ(Shown(p.x + 4, p.y + 2), fine);
  EXPECT_EQ(Shown(p.x + 8, p.y + 2), fine);
  EXPECT_EQ(Shown(p.x + 6, p.y + 2), 0x2040C0u);
  // The main lines lie over the fine ones.
  EXPECT_EQ(Shown(p.x, p.y + 2), GridOver(fine | 0xFF000000u, gridColor, main));
  // At zoom 16 there is no fine grid.
  MainView::SetZoomIndex(4, nullptr);
  const Point q = MainView::ImageToClient(1 << 8, 1 << 8);
  EXPECT_EQ(Shown(q.x + 2, q.y + 4), 0x2040C0u);
}

TEST_F(MainViewTest, ClientToImageIsTheFlooredPixelCentre) {
  ShowImage(16, 16, 0xFF000000u);
  const struct {
    int index;
    int32_t atOrigin;
    int32_t beforeOrigin;
  } cases[] = {{0, 128, -128}, {1, 64, -64}, {2, 32, -32}, {5, 5, -6}, {8, 2, -2}};
  for (const auto& c : cases) {
    MainView::SetZoomIndex(c.index, nullptr);
    const Point origin = MainView::GetImageOrigin();
    SCOPED_TRACE(MainView::GetZoomFactor());
    EXPECT_EQ(MainView::ClientToImage(origin.x, origin.y).x, c.atOrigin);
    EXPECT_EQ(MainView::ClientToImage(origin.x, origin.y).y, c.atOrigin);
    EXPECT_EQ(MainView::ClientToImage(origin.x - 1, origin.y - 1).x, c.beforeOrigin);
    EXPECT_EQ(MainView::ClientToImage(origin.x - 1, origin.y - 1).y, c.beforeOrigin);
    const int32_t zoom = MainView::GetZoomFactor();
    const int32_t dx = 37;
    EXPECT_EQ(MainView::ClientToImage(origin.x + dx, 0).x,
              static_cast<int32_t>(std::floor((dx * 256.0 + 128.0) / zoom)));
    EXPECT_EQ(MainView::ClientToImage(origin.x - dx, 0).x,
              static_cast<int32_t>(std::floor((-dx * 256.0 + 128.0) / zoom)));
    Point pixel;
    ASSERT_TRUE(MainView::ClientToPixel(Point{origin.x - 1, origin.y + zoom}, pixel));
    EXPECT_EQ(pixel.x, -1);
    EXPECT_EQ(pixel.y, 1);
  }
}

TEST_F(MainViewTest, MouseMessagesReachTheToolIn24Dot8) {
  ShowImage(16, 16, 0xFF000000u);
  MainView::SetZoomIndex(3, nullptr);  // 8
  const Point origin = MainView::GetImageOrigin();
  probe.Clear();
  Send(WM_MOUSEMOVE, 0, origin.x - 1, origin.y);
  ASSERT_EQ(probe.moves.size(), 1u);
  EXPECT_EQ(probe.moves[0].x, -16);  // floor(-128 / 8)
  EXPECT_EQ(probe.moves[0].y, 16);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, origin.x + 20, origin.y + 9);
  ASSERT_EQ(probe.downs.size(), 1u);
  EXPECT_EQ(probe.downs[0].x, (20 * 256 + 128) / 8);
  EXPECT_EQ(probe.downs[0].y, (9 * 256 + 128) / 8);
  EXPECT_EQ(probe.buttons[0], CTool::BUTTON_LEFT);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  EXPECT_EQ(GetCapture(), Window());
  EXPECT_TRUE(MainView::GetAutoScrollTimer().IsRunning());
  Send(WM_MOUSEMOVE, MK_LBUTTON, origin.x - 3, origin.y - 17);
  ASSERT_EQ(probe.moves.size(), 2u);
  EXPECT_EQ(probe.moves[1].x, -80);   // floor((-768 + 128) / 8)
  EXPECT_EQ(probe.moves[1].y, -528);  // floor((-4352 + 128) / 8)
  // The other button during the drag reaches the tool but changes nothing else.
  Send(WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON, origin.x, origin.y);
  EXPECT_EQ(probe.downs.size(), 2u);
  EXPECT_EQ(probe.buttons[1], CTool::BUTTON_RIGHT);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  Send(WM_LBUTTONUP, 0, origin.x + 1, origin.y + 1);
  ASSERT_EQ(probe.ups.size(), 1u);
  EXPECT_EQ(probe.ups[0].x, (256 + 128) / 8);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
  EXPECT_EQ(probe.endDrags, 1);
  EXPECT_FALSE(MainView::GetAutoScrollTimer().IsRunning());
}

TEST_F(MainViewTest, RefusedPressOrAwayToolTakesNoCapture) {
  ShowImage(16, 16, 0xFF000000u);
  const Point origin = MainView::GetImageOrigin();
  probe.acceptDown = false;
  Send(WM_LBUTTONDOWN, MK_LBUTTON, origin.x, origin.y);
  EXPECT_EQ(probe.downs.size(), 1u);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
  EXPECT_EQ(GetCapture(), nullptr);
  probe.acceptDown = true;
  probe.SetAway(true);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, origin.x, origin.y);
  Send(WM_MOUSEMOVE, 0, origin.x + 2, origin.y);
  EXPECT_EQ(probe.downs.size(), 1u);
  EXPECT_TRUE(probe.moves.empty() || probe.moves.size() == 0u);
  probe.SetAway(false);
}

TEST_F(MainViewTest, LostCaptureEndsTheDrag) {
  ShowImage(16, 16, 0xFF000000u);
  const Point origin = MainView::GetImageOrigin();
  Send(WM_RBUTTONDOWN, MK_RBUTTON, origin.x, origin.y);
  ASSERT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  SetCapture(host->GetHandle());
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
  EXPECT_EQ(probe.endDrags, 1);
  ReleaseCapture();
}

TEST_F(MainViewTest, SetZoomIndexClampsAndKeepsTheCentre) {
  ShowImage(64, 64, 0xFF000000u);
  MainView::SetZoomIndex(12, nullptr);
  EXPECT_EQ(MainView::GetZoomIndex(), 8);
  EXPECT_EQ(MainView::GetZoomFactor(), 64);
  EXPECT_EQ(view->GetContentWidth(), 64 * 64);
  MainView::SetZoomIndex(-3, nullptr);
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  // Zooming in without anchor keeps the image point under the client centre.
  MainView::SetZoomIndex(3, nullptr);
  const Point before = MainView::ClientToImage(view->GetClientWidth() / 2, view->GetClientHeight() / 2);
  MainView::SetZoomIndex(5, nullptr);
  const Point after = MainView::ClientToImage(view->GetClientWidth() / 2, view->GetClientHeight() / 2);
  EXPECT_NEAR(after.x, before.x, 256 / 8);
  EXPECT_NEAR(after.y, before.y, 256 / 8);
  EXPECT_GT(view->GetScrollX(), 0);
  // With an anchor the anchor's image point stays under its client point.
  MainView::CZoomAnchor anchor;
  anchor.client = Point{40 * 256 + 128, 30 * 256 + 128};
  anchor.image = MainView::ClientToImage(40, 30);
  MainView::SetZoomIndex(7, &anchor);
  const Point kept = MainView::ClientToImage(40, 30);
  EXPECT_NEAR(kept.x, anchor.image.x, 256 / 48 + 1);
  EXPECT_NEAR(kept.y, anchor.image.y, 256 / 48 + 1);
}

TEST_F(MainViewTest, WheelAccumulatesNotches) {
  ShowImage(16, 16, 0xFF000000u);
  // Give the pointer anchor a point inside the view.
  Send(WM_MOUSEMOVE, 0, 100, 100);
  Wheel(48);  // 0.4
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  Wheel(48);  // 0.8 -> one step, -0.2 left
  EXPECT_EQ(MainView::GetZoomIndex(), 1);
  Wheel(48);  // 0.2
  EXPECT_EQ(MainView::GetZoomIndex(), 1);
  Wheel(48);  // 0.6 -> one step
  EXPECT_EQ(MainView::GetZoomIndex(), 2);
  Wheel(48);  // -0.4 + 0.4 = 0.0
  Wheel(-48);  // turn: discards the accumulated, -0.4
  EXPECT_EQ(MainView::GetZoomIndex(), 2);
  Wheel(-72);  // -1.0
  EXPECT_EQ(MainView::GetZoomIndex(), 1);
  Wheel(-240);
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  Wheel(-240);
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
}

TEST_F(MainViewTest, WheelIsRefusedWhileSomethingHoldsTheCapture) {
  ShowImage(16, 16, 0xFF000000u);
  SetCapture(host->GetHandle());
  Wheel(240);
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  ReleaseCapture();
  Wheel(240);
  EXPECT_EQ(MainView::GetZoomIndex(), 2);
}

TEST_F(MainViewTest, MiddleButtonPanningKeepsTheGrabbedPointUnderThePointer) {
  ShowImage(64, 64, 0xFF000000u);
  MainView::SetZoomIndex(4, nullptr);  // 16: 1024 x 1024 content
  view->SetScrollPos(300, 300);
  const Point grabbed = MainView::ClientToImage(100, 80);
  probe.Clear();
  Send(WM_MBUTTONDOWN, MK_MBUTTON, 100, 80);
  ASSERT_EQ(MainView::GetDragState(), MainView::DRAG_PANNING);
  EXPECT_EQ(probe.lefts, 1);
  Send(WM_MOUSEMOVE, MK_MBUTTON, 60, 130);
  Point now = MainView::ClientToImage(60, 130);
  EXPECT_NEAR(now.x, grabbed.x, 16);
  EXPECT_NEAR(now.y, grabbed.y, 16);
  Send(WM_MOUSEMOVE, MK_MBUTTON, 170, 20);
  now = MainView::ClientToImage(170, 20);
  EXPECT_NEAR(now.x, grabbed.x, 16);
  EXPECT_NEAR(now.y, grabbed.y, 16);
  // No tool drag while panning.
  Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, 170, 20);
  EXPECT_TRUE(probe.downs.empty());
  EXPECT_TRUE(probe.moves.empty());
  Send(WM_MBUTTONUP, 0, 170, 20);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MainViewTest, NoPanningDuringAToolDrag) {
  ShowImage(64, 64, 0xFF000000u);
  MainView::SetZoomIndex(4, nullptr);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  ASSERT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  Send(WM_MBUTTONDOWN, MK_MBUTTON | MK_LBUTTON, 50, 50);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  Send(WM_LBUTTONUP, 0, 50, 50);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_IDLE);
}

TEST_F(MainViewTest, RectangleMappingsRoundOutwards) {
  ShowImage(16, 16, 0xFF000000u);
  MainView::SetZoomIndex(5, nullptr);  // 24
  const Point o = MainView::GetImageOrigin();
  Rect image;
  image.left = 1 << 8;
  image.top = 0;
  image.right = (3 << 8) + 1;  // a hair into pixel 3
  image.bottom = 1;
  const Rect client = MainView::ImageToClientRect(image);
  EXPECT_EQ(client.left, o.x + 24);
  EXPECT_EQ(client.right, o.x + 73);
  EXPECT_EQ(client.top, o.y);
  EXPECT_EQ(client.bottom, o.y + 1);
  Rect empty;
  empty.left = empty.right = 2 << 8;
  empty.top = 0;
  empty.bottom = 256;
  const Rect flat = MainView::ImageToClientRect(empty);
  EXPECT_EQ(flat.left, flat.right);
  Rect c;
  c.left = o.x - 1;
  c.top = o.y;
  c.right = o.x + 25;
  c.bottom = o.y + 24;
  const Rect back = MainView::ClientToImageRect(c);
  EXPECT_EQ(back.left, -11);  // floor(-256 / 24)
  EXPECT_EQ(back.top, 0);
  EXPECT_EQ(back.right, 267);  // floor((25 * 256 - 1) / 24) + 1
  EXPECT_EQ(back.bottom, 256);
  const Point p = MainView::ImageToClientPoint(Point{-1, 300});
  EXPECT_EQ(p.x, o.x - 1);  // arithmetic shift
  EXPECT_EQ(p.y, o.y + 28);
}

TEST_F(MainViewTest, SelectionOutlineIsDrawnOnTheToolOverlay) {
  ShowImage(16, 16, 0xFF2040C0u);
  MainView::SetZoomIndex(2, nullptr);  // 4
  CSelection* selection = doc->image->GetSelection();
  Rect r;
  r.left = 4;
  r.top = 4;
  r.right = 12;
  r.bottom = 12;
  selection->GetMask()->Fill(0);
  selection->GetMask()->FillRect(r, 255);
  selection->Update(nullptr);
  selection->SetActive(true);
  MainView::InvalidateToolOverlay();
  const Point edge = MainView::ImageToClient((4 << 8) + 128, (8 << 8) + 128);
  int differing = 0;
  for (int dx = -2; dx <= 2; ++dx)
    if (Shown(edge.x + dx, edge.y) != ShownImage(edge.x + dx, edge.y))
      ++differing;
  EXPECT_GT(differing, 0);
  // Far inside the selection nothing is drawn over the picture.
  const Point inside = MainView::ImageToClient((8 << 8) + 128, (8 << 8) + 128);
  EXPECT_EQ(Shown(inside.x, inside.y), ShownImage(inside.x, inside.y));
  // The animation advances the phase only while the view's window is the active one.
  const int32_t phase = MainView::GetOutlinePhase();
  MainView::OnOutlineTimer();
  if (GetActiveWindow() == host->GetHandle()) {
    EXPECT_EQ(MainView::GetOutlinePhase(), phase + 1);
  }
  SetCapture(host->GetHandle());
  const int32_t held = MainView::GetOutlinePhase();
  MainView::OnOutlineTimer();
  EXPECT_EQ(MainView::GetOutlinePhase(), held);
  ReleaseCapture();
  // Without the selection the overlay equals the picture again.
  selection->SetActive(false);
  MainView::InvalidateToolOverlay();
  EXPECT_EQ(Shown(edge.x, edge.y), ShownImage(edge.x, edge.y));
  EXPECT_GT(probe.overlayDraws, 0);
}

TEST_F(MainViewTest, ChannelModesShowColourOrAlpha) {
  ShowImage(4, 4, 0x80FF0000u);
  const Point o = MainView::GetImageOrigin();
  MainView::SetChannelMode(MainView::CHANNELS_ALPHA);
  EXPECT_EQ(Shown(o.x + 1, o.y + 1), Grey(0x80));
  MainView::SetChannelMode(MainView::CHANNELS_COLOR);
  EXPECT_EQ(Shown(o.x + 1, o.y + 1), 0xFF0000u);
  MainView::SetChannelMode(MainView::CHANNELS_NORMAL);
  const uint32_t shown = Shown(o.x + 1, o.y + 1);
  EXPECT_NE(shown, 0xFF0000u);
  EXPECT_GT((shown >> 16) & 0xFF, shown & 0xFF);  // red over the light chequerboard
}

TEST_F(MainViewTest, PickColorAtReadsThePixelWithoutChequerboard) {
  ShowImage(8, 8, 0x00000000u);
  SetPixel(2, 3, 0x7F102030u);
  MainView::SetZoomIndex(2, nullptr);  // 4
  MainView::SetChannelMode(MainView::CHANNELS_ALPHA);  // not applied
  const Point p = MainView::ImageToClient((2 << 8) + 10, (3 << 8) + 10);
  CColor color;
  ASSERT_TRUE(MainView::PickColorAt(p, color));
  EXPECT_EQ(color.value, 0x7F102030u);
  const Point o = MainView::GetImageOrigin();
  EXPECT_FALSE(MainView::PickColorAt(Point{o.x - 1, o.y}, color));
  EXPECT_FALSE(MainView::PickColorAt(Point{-1, 5}, color));
  EXPECT_FALSE(MainView::PickColorAt(Point{kHostWidth, 5}, color));
  ASSERT_TRUE(MainView::PickColorAt(Point{o.x, o.y}, color));
  EXPECT_EQ(color.value, 0u);
}

TEST_F(MainViewTest, HiddenLayerLeavesOnlyTheChequerboard) {
  ShowImage(8, 8, 0xFF00FF00u);
  const Point o = MainView::GetImageOrigin();
  EXPECT_EQ(Shown(o.x, o.y), 0x00FF00u);
  doc->layer->SetVisible(false);
  RenderAll();
  EXPECT_EQ(Shown(o.x, o.y), Rgb(g_Settings.uiColorsChequerA->GetValue().value));
  MainView::SetChannelMode(MainView::CHANNELS_ALPHA);
  EXPECT_EQ(Shown(o.x, o.y), Grey(0));
}

TEST_F(MainViewTest, NudgeStepCoversAScreenPixel) {
  ShowImage(8, 8, 0xFF000000u);
  EXPECT_EQ(MainView::GetNudgeStep(), 256);
  MainView::SetZoomIndex(8, nullptr);
  EXPECT_EQ(MainView::GetNudgeStep(), 256);
  ShowImage(8, 8, 0xFF000000u, true);
  MainView::SetZoomIndex(0, nullptr);
  EXPECT_EQ(MainView::GetNudgeStep(), 256);
  MainView::SetZoomIndex(3, nullptr);  // 8
  EXPECT_EQ(MainView::GetNudgeStep(), 32);
  MainView::SetZoomIndex(2, nullptr);  // 4
  EXPECT_EQ(MainView::GetNudgeStep(), 64);
}

TEST_F(MainViewTest, ViewStateRoundTripsAndZoomToFitChoosesTheLargestFittingZoom) {
  ShowImage(16, 16, 0xFF000000u);
  MainView::ZoomToFitImage();
  // 240 pixels high: 16 x 8 = 128 fits, 16 x 16 = 256 does not.
  EXPECT_EQ(MainView::GetZoomFactor(), 8);
  CViewState state;
  state.zoom = 24;
  state.channelMode = 2;
  state.center = Point{7 << 8, 8 << 8};
  MainView::SetViewState(state);
  EXPECT_EQ(MainView::GetZoomFactor(), 24);
  EXPECT_EQ(MainView::GetChannelMode(), 2);
  const Point centre = MainView::ClientToImage(view->GetClientWidth() / 2, view->GetClientHeight() / 2);
  EXPECT_NEAR(centre.x, 7 << 8, 24);
  EXPECT_NEAR(centre.y, 8 << 8, 24);
  const CViewState back = MainView::GetViewState();
  EXPECT_EQ(back.zoom, 24);
  EXPECT_NEAR(back.center.x, 7 << 8, 24);
  EXPECT_NEAR(back.center.y, 8 << 8, 24);
  MainView::CenterOn(Point{9 << 8, 6 << 8});
  const Point moved = MainView::ClientToImage(view->GetClientWidth() / 2, view->GetClientHeight() / 2);
  EXPECT_NEAR(moved.x, 9 << 8, 24);
  EXPECT_NEAR(moved.y, 6 << 8, 24);
  // A point near the edge cannot come to the centre: the scroll position stops at 0.
  MainView::CenterOn(Point{1 << 8, 1 << 8});
  EXPECT_EQ(view->GetScrollX(), 0);
  EXPECT_EQ(view->GetScrollY(), 0);
  Rect part;
  part.left = 0;
  part.top = 0;
  part.right = 2 << 8;
  part.bottom = 2 << 8;
  MainView::ZoomToRect(part);
  EXPECT_EQ(MainView::GetZoomFactor(), 64);
}

TEST_F(MainViewTest, InvalidatingAnImageRectRepaintsIt) {
  ShowImage(8, 8, 0xFF000000u);
  const Point o = MainView::GetImageOrigin();
  doc->layer->GetPixelArray()->SetPixel(5, 5, 0xFF00FF00u);
  doc->layer->Update(nullptr);
  EXPECT_EQ(Shown(o.x + 5, o.y + 5), 0u);
  Rect r;
  r.left = 5 << 8;
  r.top = 5 << 8;
  r.right = 6 << 8;
  r.bottom = 6 << 8;
  MainView::InvalidateImageRect(&r);
  EXPECT_EQ(Shown(o.x + 5, o.y + 5), 0x00FF00u);
  // The tool overlay alone follows its own invalidation.
  probe.overlayDraws = 0;
  MainView::InvalidateToolOverlayRect(&r);
  EXPECT_EQ(probe.overlayDraws, 1);
  EXPECT_EQ(probe.lastClip.left, o.x + 5);
  EXPECT_EQ(probe.lastClip.right, o.x + 6);
}

TEST_F(MainViewTest, RemovingTheImageResetsTheZoom) {
  ShowImage(8, 8, 0xFF000000u);
  MainView::SetZoomIndex(4, nullptr);
  doc.reset();
  MainView::RefitToImage();
  EXPECT_EQ(MainView::GetZoomIndex(), 0);
  EXPECT_EQ(view->GetContentWidth(), 0);
  RenderAll();
  EXPECT_EQ(Shown(kHostWidth / 2, kHostHeight / 2), Grey(96));
}

// The screen point of a client point of the view.
POINT ScreenOf(CWULTiledCanvas* view, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(view->GetHandle(), &p);
  return p;
}

TEST_F(MainViewTest, AutoScrollFollowsThePointerBeyondTheEdge) {
  ShowImage(64, 64, 0xFF000000u);
  MainView::SetZoomIndex(4, nullptr);  // 1024 x 1024
  view->SetScrollPos(100, 100);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 50, 50);
  ASSERT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  // Inside the client area nothing scrolls.
  POINT inside = ScreenOf(view, 60, 60);
  SetCursorPos(inside.x, inside.y);
  probe.Clear();
  MainView::OnAutoScrollTimer();
  EXPECT_EQ(view->GetScrollX(), 100);
  EXPECT_TRUE(probe.moves.empty());
  // Five pixels right of the client area and three above it.
  POINT beyond = ScreenOf(view, view->GetClientWidth() + 4, -3);
  SetCursorPos(beyond.x, beyond.y);
  POINT check;
  GetCursorPos(&check);
  if (check.x != beyond.x || check.y != beyond.y)
    GTEST_SKIP() << "the display does not move the pointer";
  MainView::OnAutoScrollTimer();
  EXPECT_EQ(view->GetScrollX(), 105);
  EXPECT_EQ(view->GetScrollY(), 97);
  ASSERT_EQ(probe.moves.size(), 1u);
  EXPECT_EQ(probe.moves[0].x, MainView::ClientToImage(view->GetClientWidth() + 4, -3).x);
  // At the end of the content it stops.
  view->SetScrollPos(0, 0);
  POINT before = ScreenOf(view, -2, -2);
  SetCursorPos(before.x, before.y);
  probe.Clear();
  MainView::OnAutoScrollTimer();
  EXPECT_EQ(view->GetScrollX(), 0);
  EXPECT_TRUE(probe.moves.empty());
  Send(WM_LBUTTONUP, 0, 50, 50);
  SetCursorPos(0, 0);
}

TEST_F(MainViewTest, TickTellsThePresentToolThatThePointerLeft) {
  ShowImage(16, 16, 0xFF000000u);
  SetCursorPos(0, 0);
  probe.Clear();
  MainView::OnTick();
  EXPECT_EQ(probe.lefts, 1);
  // An away tool is not told again.
  probe.SetAway(true);
  MainView::OnTick();
  EXPECT_EQ(probe.lefts, 1);
  probe.SetAway(false);
}

TEST_F(MainViewTest, SetCursorBringsTheAwayToolBack) {
  ShowImage(16, 16, 0xFF000000u);
  const Point origin = MainView::GetImageOrigin();
  POINT over = ScreenOf(view, origin.x + 3, origin.y + 3);
  SetCursorPos(over.x, over.y);
  probe.SetAway(true);
  wulSendMessage(Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  POINT check;
  GetCursorPos(&check);
  if (check.x == over.x && check.y == over.y) {
    EXPECT_FALSE(probe.IsAway());
  }
  probe.SetAway(false);
  SetCursorPos(0, 0);
}

TEST_F(MainViewTest, ZeroTimerSettingsLeaveTheTimersStopped) {
  delete host;
  host = nullptr;
  const uint32_t outline = g_Settings.timingsMaskAnimationInterval->GetValue();
  const uint32_t scroll = g_Settings.timingsAutoScrollInterval->GetValue();
  g_Settings.timingsMaskAnimationInterval->SetValue(0);
  g_Settings.timingsAutoScrollInterval->SetValue(0);
  host = new HostWindow(60, 60, kHostWidth, kHostHeight);
  view = CreateMainView(host);
  EXPECT_NO_THROW(host->IncarnateTree(nullptr));
  EXPECT_FALSE(MainView::GetOutlineTimer().IsRunning());
  ShowImage(16, 16, 0xFF000000u);
  const Point origin = MainView::GetImageOrigin();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, origin.x, origin.y);
  EXPECT_EQ(MainView::GetDragState(), MainView::DRAG_TOOL);
  EXPECT_FALSE(MainView::GetAutoScrollTimer().IsRunning());
  Send(WM_LBUTTONUP, 0, origin.x, origin.y);
  g_Settings.timingsMaskAnimationInterval->SetValue(outline);
  g_Settings.timingsAutoScrollInterval->SetValue(scroll);
}

}  // namespace
