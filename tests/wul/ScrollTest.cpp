#include <gtest/gtest.h>
#include <windows.h>
#include "WindowTestKit.h"
#include "wul/WULScroll.h"

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

class Scrolling : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
  }
  void TearDown() override {
    wulPopAllDefaultParents();
    DropQueuedMessages();
  }
};

using ScrollBars = Scrolling;
using ScrollView = Scrolling;

// --- insets, bars and parts ---

TEST_F(ScrollBars, BorderStylesGiveTheirInsets) {
  CWULScrollWindow window;
  const int expected[5] = {0, 1, 1, 2, 0};
  for (int style = 0; style <= 4; style++) {
    window.SetBorderStyle(style);
    window.SetSize(100, 50);
    EXPECT_EQ(window.GetLeftInset(), expected[style]) << style;
    EXPECT_EQ(window.GetClientWidth(), 100 - 2 * expected[style]) << style;
    EXPECT_EQ(window.GetClientHeight(), 50 - 2 * expected[style]) << style;
  }
  EXPECT_EQ(window.GetBarThickness(), 15);
}

TEST_F(ScrollBars, WideContentShowsTheBarAndClampsTheScroll) {
  CWULScrollWindow window;
  window.SetSize(404, 304);
  window.SetContentSize(1000, 100);
  EXPECT_TRUE(window.hBarShown);
  EXPECT_TRUE(window.hThumbActive);
  EXPECT_FALSE(window.vBarShown);
  EXPECT_EQ(window.GetClientWidth(), 400);
  EXPECT_EQ(window.GetClientHeight(), 285);
  RECT bar = window.hBar;
  EXPECT_EQ(bar.left, 2);
  EXPECT_EQ(bar.top, 287);
  EXPECT_EQ(bar.right, 402);
  EXPECT_EQ(bar.bottom, 302);
  const RECT& left = window.GetPartRect(WUL_SCROLL_LEFT_ARROW);
  EXPECT_EQ(left.left, 3);
  EXPECT_EQ(Width(left), 13);
  EXPECT_EQ(Height(left), 13);
  EXPECT_EQ(window.GetPartRect(WUL_SCROLL_RIGHT_ARROW).right, 401);
  // Thumb: 400 of 1000 on a track of 372.
  const RECT& thumb = window.GetPartRect(WUL_SCROLL_H_THUMB);
  EXPECT_EQ(thumb.left, 16);
  EXPECT_EQ(Width(thumb), 149);

  window.SetScrollX(5000);
  EXPECT_EQ(window.GetScrollX(), 600);
  EXPECT_EQ(window.GetPartRect(WUL_SCROLL_H_THUMB).right, 388);
  EXPECT_EQ(Width(window.GetPartRect(WUL_SCROLL_TRACK_RIGHT)), 0);
  window.SetScrollX(-20);
  EXPECT_EQ(window.GetScrollX(), 0);
  window.SetScrollPos(300, 50);
  EXPECT_EQ(window.GetScrollX(), 300);
  EXPECT_EQ(window.GetScrollY(), 0);
  EXPECT_EQ(window.GetPartRect(WUL_SCROLL_H_THUMB).left, 16 + (223 * 300 + 300) / 600);
}

TEST_F(ScrollBars, ShrinkingTheContentResetsAndHides) {
  CWULScrollWindow window;
  window.SetSize(404, 304);
  window.SetContentSize(1000, 1000);
  window.SetScrollPos(200, 300);
  window.SetContentSize(300, 100);
  EXPECT_EQ(window.GetScrollX(), 0);
  EXPECT_EQ(window.GetScrollY(), 0);
  EXPECT_FALSE(window.hBarShown);
  EXPECT_FALSE(window.vBarShown);
  EXPECT_EQ(window.GetClientWidth(), 400);
  EXPECT_EQ(Width(window.GetPartRect(WUL_SCROLL_H_THUMB)), 0);
  // Negative content counts as none.
  window.SetContentSize(-5, -5);
  EXPECT_EQ(window.GetContentWidth(), 0);
}

TEST_F(ScrollBars, VerticalBarCanMakeTheHorizontalOneNecessary) {
  CWULScrollWindow window;
  window.SetSize(404, 304);
  window.SetContentSize(395, 1000);
  EXPECT_TRUE(window.vBarShown);
  EXPECT_TRUE(window.hBarShown);
  EXPECT_TRUE(window.hThumbActive);
  EXPECT_EQ(window.GetClientWidth(), 385);
  EXPECT_EQ(window.GetClientHeight(), 285);
  // The corner box sits between the bars.
  EXPECT_EQ(window.corner.left, window.vBar.left);
  EXPECT_EQ(window.corner.top, window.hBar.top);
  EXPECT_EQ(Width(window.corner), 15);
  EXPECT_EQ(Width(window.GetPartRect(WUL_SCROLL_CORNER)), 13);
  EXPECT_EQ(window.hBar.right, window.vBar.left);
  EXPECT_EQ(window.vBar.bottom, window.hBar.top);
}

TEST_F(ScrollBars, ThumbsHaveTheirMinimumLengths) {
  CWULScrollWindow wide;
  wide.SetSize(404, 104);
  wide.SetContentSize(100000, 10);
  EXPECT_EQ(Width(wide.GetPartRect(WUL_SCROLL_H_THUMB)), 16);
  CWULScrollWindow tall;
  tall.SetSize(104, 404);
  tall.SetContentSize(10, 100000);
  EXPECT_EQ(Height(tall.GetPartRect(WUL_SCROLL_V_THUMB)), 16);

  // Short tracks: the horizontal thumb is one less than the track, at least 4 ...
  CWULScrollWindow shortWide;
  shortWide.SetContentSize(100000, 10);
  shortWide.SetSize(40, 60);  // track 8
  EXPECT_EQ(Width(shortWide.GetPartRect(WUL_SCROLL_H_THUMB)), 7);
  shortWide.SetSize(37, 60);  // track 5
  EXPECT_EQ(Width(shortWide.GetPartRect(WUL_SCROLL_H_THUMB)), 4);
  // ... the vertical one the whole track, without a minimum.
  CWULScrollWindow shortTall;
  shortTall.SetContentSize(10, 100000);
  shortTall.SetSize(60, 42);  // track 10
  EXPECT_EQ(Height(shortTall.GetPartRect(WUL_SCROLL_V_THUMB)), 10);
  shortTall.SetSize(60, 35);  // track 3
  EXPECT_EQ(Height(shortTall.GetPartRect(WUL_SCROLL_V_THUMB)), 3);
}

TEST_F(ScrollBars, BarModesNeverAndAlways) {
  CWULScrollWindow window;
  window.SetSize(204, 104);
  window.SetHBarMode(WUL_BAR_ALWAYS);
  window.SetVBarMode(WUL_BAR_NEVER);
  window.SetContentSize(100, 1000);
  EXPECT_TRUE(window.hBarShown);
  EXPECT_FALSE(window.hThumbActive);
  EXPECT_FALSE(window.vBarShown);
  EXPECT_EQ(window.GetClientHeight(), 85);
  EXPECT_EQ(Width(window.GetPartRect(WUL_SCROLL_H_THUMB)), 0);
  EXPECT_EQ(Width(window.GetPartRect(WUL_SCROLL_TRACK_LEFT)), 200 - 2 - 26);
  // Without a bar the position still keeps within the content.
  window.SetScrollY(5000);
  EXPECT_EQ(window.GetScrollY(), 1000 - 85);
  window.SetContentSize(1000, 1000);
  EXPECT_TRUE(window.hThumbActive);
}

class Recorder : public CWULScrollWindow {
public:
  void OnContentSizeChanged() override { contentChanges++; }
  void OnScrolled() override {
    scrolls++;
    lastDx = notifiedScrollX - scrollX;
  }
  int contentChanges = 0, scrolls = 0, lastDx = 0;
};

TEST_F(ScrollBars, ChangesAreReportedOncePerChange) {
  Recorder window;
  window.SetSize(104, 104);
  window.SetContentSize(500, 50);
  EXPECT_EQ(window.contentChanges, 1);
  window.SetContentSize(500, 50);
  EXPECT_EQ(window.contentChanges, 1);
  window.SetScrollX(40);
  EXPECT_EQ(window.scrolls, 1);
  EXPECT_EQ(window.lastDx, -40);
  window.SetScrollX(40);
  EXPECT_EQ(window.scrolls, 1);
  // A wider window clamps the position, which reports a scroll.
  window.SetSize(504, 104);
  EXPECT_EQ(window.GetScrollX(), 0);
  EXPECT_EQ(window.scrolls, 2);
  EXPECT_EQ(window.lastDx, 40);
}

// --- mouse on the bars ---

class ScrollHost : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    host = new HostWindow(100, 100, 500, 400);
    ParentScope scope(host);
    scroll = new CWULScrollWindow;
    scroll->SetBounds(10, 10, 404, 304);
    scroll->SetContentSize(1000, 100);
    host->IncarnateTree(nullptr);
    handle = scroll->GetHandle();
  }
  void TearDown() override {
    delete host;
    wulPopAllDefaultParents();
    DropQueuedMessages();
  }
  // A press on a point of the window, in window coordinates.
  void Press(int wx, int wy) { SendMessageA(handle, WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(scroll, wx, wy)); }
  // A move to a point in window coordinates, sent as the client point it is.
  void MoveTo(int wx, int wy) {
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(wx - scroll->leftInset, wy - scroll->topInset));
  }
  void Release() { SendMessageA(handle, WM_LBUTTONUP, 0, 0); }
  void Click(int wx, int wy) {
    Press(wx, wy);
    Release();
  }
  HostWindow* host = nullptr;
  CWULScrollWindow* scroll = nullptr;
  HWND handle = nullptr;
};

TEST_F(ScrollHost, ArrowsScrollByALineOnRelease) {
  Press(394, 294);
  EXPECT_EQ(scroll->activePart, WUL_SCROLL_RIGHT_ARROW);
  EXPECT_TRUE(scroll->pressedParts[WUL_SCROLL_RIGHT_ARROW]);
  EXPECT_EQ(GetCapture(), handle);
  EXPECT_EQ(scroll->GetScrollX(), 0);
  Release();
  EXPECT_EQ(scroll->GetScrollX(), 1);
  EXPECT_EQ(scroll->activePart, 0);
  EXPECT_FALSE(scroll->pressedParts[WUL_SCROLL_RIGHT_ARROW]);
  EXPECT_EQ(GetCapture(), nullptr);
  scroll->SetLineStep(10, 10);
  Click(394, 294);
  EXPECT_EQ(scroll->GetScrollX(), 11);
  Click(9, 294);
  EXPECT_EQ(scroll->GetScrollX(), 1);
  // Double clicks press as well.
  SendMessageA(handle, WM_NCLBUTTONDBLCLK, HTBORDER, ScreenPoint(scroll, 394, 294));
  Release();
  EXPECT_EQ(scroll->GetScrollX(), 11);
}

TEST_F(ScrollHost, PageClicksScrollByTheClientLessOneLine) {
  scroll->SetLineStep(10, 10);
  scroll->SetScrollX(1);
  Click(300, 294);
  EXPECT_EQ(scroll->GetScrollX(), 1 + 400 - 10);
  Click(50, 294);
  EXPECT_EQ(scroll->GetScrollX(), 1);
}

TEST_F(ScrollHost, MovingOffTheArrowCancelsAndBackOnScrolls) {
  Press(394, 294);
  MoveTo(200, 100);
  EXPECT_FALSE(scroll->pressedParts[WUL_SCROLL_RIGHT_ARROW]);
  Release();
  EXPECT_EQ(scroll->GetScrollX(), 0);
  Press(394, 294);
  MoveTo(200, 100);
  MoveTo(392, 292);
  EXPECT_TRUE(scroll->pressedParts[WUL_SCROLL_RIGHT_ARROW]);
  Release();
  EXPECT_EQ(scroll->GetScrollX(), 1);
}

TEST_F(ScrollHost, DraggingTheThumbScrollsInProportion) {
  Press(90, 294);
  EXPECT_EQ(scroll->activePart, WUL_SCROLL_H_THUMB);
  MoveTo(190, 250);
  // 100 pixels of a free track of 223 over a range of 600.
  EXPECT_EQ(scroll->GetScrollX(), (600 * 100 + 111) / 223);
  MoveTo(-500, 294);
  EXPECT_EQ(scroll->GetScrollX(), 0);
  MoveTo(1000, 294);
  EXPECT_EQ(scroll->GetScrollX(), 600);
  Release();
  EXPECT_EQ(scroll->GetScrollX(), 600);
  EXPECT_FALSE(scroll->pressedParts[WUL_SCROLL_H_THUMB]);
}

TEST_F(ScrollHost, DisabledBarAndClientPointsDoNothing) {
  scroll->SetHBarMode(WUL_BAR_ALWAYS);
  scroll->SetContentSize(100, 100);
  Press(394, 294);
  EXPECT_EQ(scroll->activePart, 0);
  EXPECT_NE(GetCapture(), handle);
  Press(100, 100);
  EXPECT_EQ(scroll->activePart, 0);
}

TEST_F(ScrollHost, CornerBoxDragsBothThumbs) {
  scroll->SetContentSize(1000, 1000);
  const RECT& box = scroll->GetPartRect(WUL_SCROLL_CORNER);
  Press((box.left + box.right) / 2, (box.top + box.bottom) / 2);
  EXPECT_EQ(scroll->activePart, WUL_SCROLL_CORNER);
  EXPECT_TRUE(scroll->pressedParts[WUL_SCROLL_H_THUMB]);
  EXPECT_TRUE(scroll->pressedParts[WUL_SCROLL_V_THUMB]);
  EXPECT_TRUE(scroll->pressedParts[WUL_SCROLL_CORNER]);
  POINT target = {scroll->dragCursor.x + 50, scroll->dragCursor.y + 30};
  ScreenToClient(handle, &target);
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(target.x, target.y));
  const int gx = scroll->GetPartRect(WUL_SCROLL_TRACK_RIGHT).right - scroll->GetPartRect(WUL_SCROLL_TRACK_LEFT).left -
                 Width(scroll->GetPartRect(WUL_SCROLL_H_THUMB));
  const int gy = scroll->GetPartRect(WUL_SCROLL_TRACK_BELOW).bottom -
                 scroll->GetPartRect(WUL_SCROLL_TRACK_ABOVE).top - Height(scroll->GetPartRect(WUL_SCROLL_V_THUMB));
  EXPECT_EQ(scroll->GetScrollX(), (615 * 50 + gx / 2) / gx);
  EXPECT_EQ(scroll->GetScrollY(), (715 * 30 + gy / 2) / gy);
  Release();
  EXPECT_EQ(scroll->activePart, 0);
  EXPECT_FALSE(scroll->pressedParts[WUL_SCROLL_CORNER]);
  EXPECT_FALSE(scroll->pressedParts[WUL_SCROLL_H_THUMB]);
}

TEST_F(ScrollHost, WindowFrameFollowsTheBars) {
  RECT client;
  ::GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 285);
  scroll->SetContentSize(300, 100);
  ::GetClientRect(handle, &client);
  EXPECT_EQ(client.bottom, 300);
  EXPECT_EQ(SendMessageA(handle, WM_NCHITTEST, 0, ScreenPoint(scroll, 1, 1)), HTBORDER);
  EXPECT_EQ(SendMessageA(handle, WM_NCHITTEST, 0, ScreenPoint(scroll, 2, 2)), HTCLIENT);
}

// --- painting ---

class BarPicture : public Scrolling {
protected:
  void Paint(CWULScrollWindow& window) {
    buffer.SetSize(window.GetWidth(), window.GetHeight());
    RECT all = {0, 0, window.GetWidth(), window.GetHeight()};
    FillRect(buffer.GetDC(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    window.PaintNonClient(buffer.GetDC());
  }
  CWULOffscreenBuffer buffer;
};

TEST_F(BarPicture, LineBorderBarOutlineArrowsAndTrack) {
  CWULScrollWindow window;
  window.SetBorderStyle(1);
  window.SetSize(104, 64);
  window.SetContentSize(500, 10);
  ASSERT_TRUE(window.hBarShown);
  Paint(window);
  EXPECT_EQ(RGBAt(buffer, 0, 0), wulColors[1].value & 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 103, 63), wulColors[1].value & 0xFFFFFFu);
  // The client area is left alone.
  EXPECT_EQ(RGBAt(buffer, 50, 20), 0xFFFFFFu);
  // Bar outline in the scroll bar colour.
  EXPECT_EQ(RGBAt(buffer, 1, 48), Grey(144));
  EXPECT_EQ(RGBAt(buffer, 102, 62), Grey(144));
  // Arrow in the arrow colour, in the middle of its button.
  const RECT& left = window.GetPartRect(WUL_SCROLL_LEFT_ARROW);
  EXPECT_EQ(RGBAt(buffer, (left.left + left.right) / 2, (left.top + left.bottom) / 2), 0u);
  const RECT& right = window.GetPartRect(WUL_SCROLL_RIGHT_ARROW);
  EXPECT_EQ(RGBAt(buffer, (right.left + right.right) / 2, (right.top + right.bottom) / 2), 0u);
  // Button face inside the arrow button's bevel.
  EXPECT_EQ(RGBAt(buffer, left.left + 1, left.top + 1), Grey(144));
  // The track is darker than the face; the thumb has the face.
  const RECT& track = window.GetPartRect(WUL_SCROLL_TRACK_RIGHT);
  EXPECT_EQ(RGBAt(buffer, (track.left + track.right) / 2, track.top + 2), Grey(122));
  const RECT& thumb = window.GetPartRect(WUL_SCROLL_H_THUMB);
  EXPECT_EQ(RGBAt(buffer, thumb.left + 1, thumb.top + 1), Grey(144));
}

TEST_F(BarPicture, PressedAndDisabledParts) {
  CWULScrollWindow window;
  window.SetSize(104, 64);
  window.SetHBarMode(WUL_BAR_ALWAYS);
  window.SetContentSize(50, 10);
  ASSERT_TRUE(window.hBarShown);
  ASSERT_FALSE(window.hThumbActive);
  Paint(window);
  // An inactive bar: arrows at half intensity, the whole track plain.
  const RECT& left = window.GetPartRect(WUL_SCROLL_LEFT_ARROW);
  const int cx = (left.left + left.right) / 2, cy = (left.top + left.bottom) / 2;
  EXPECT_EQ(RGBAt(buffer, cx, cy), Grey(72));
  const RECT& track = window.GetPartRect(WUL_SCROLL_TRACK_LEFT);
  EXPECT_EQ(RGBAt(buffer, (track.left + track.right) / 2, track.top + 1), Grey(122));

  window.SetContentSize(500, 10);
  window.pressedParts[WUL_SCROLL_LEFT_ARROW] = 1;
  Paint(window);
  EXPECT_EQ(RGBAt(buffer, cx, cy), 0u);
  EXPECT_EQ(RGBAt(buffer, left.left + 2, left.top + 2), Grey(108));
}

TEST_F(BarPicture, BevelBorderInTheParentsShades) {
  CWULScrollWindow window;
  window.SetSize(60, 40);
  Paint(window);
  // Sunken bevel of the base grey, then the dark shade line inside it.
  EXPECT_EQ(RGBAt(buffer, 0, 0), Grey(96));
  EXPECT_EQ(RGBAt(buffer, 59, 39), Grey(168));
  EXPECT_EQ(RGBAt(buffer, 0, 39), Grey(128));
  EXPECT_EQ(RGBAt(buffer, 59, 0), Grey(128));
  EXPECT_EQ(RGBAt(buffer, 1, 1), wulColors[1].value & 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 58, 38), wulColors[1].value & 0xFFFFFFu);
  EXPECT_EQ(RGBAt(buffer, 2, 2), 0xFFFFFFu);
}

// --- view ---

TEST_F(ScrollView, ClientContainerCoversContentAndClient) {
  CWULView view;
  CWULContainer* container = view.GetClientContainer();
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->parent, &view);
  EXPECT_EQ(container->listener, &view);
  view.SetSize(204, 104);
  EXPECT_EQ(container->GetWidth(), 200);
  EXPECT_EQ(container->GetHeight(), 100);
  view.SetContentSize(500, 300);
  EXPECT_EQ(view.GetClientWidth(), 185);
  EXPECT_EQ(view.GetClientHeight(), 85);
  EXPECT_EQ(container->GetWidth(), 500);
  EXPECT_EQ(container->GetHeight(), 300);
  view.SetScrollPos(50, 20);
  EXPECT_EQ(container->GetX(), -50);
  EXPECT_EQ(container->GetY(), -20);
  view.SetContentSize(100, 300);
  EXPECT_EQ(container->GetWidth(), view.GetClientWidth());
  EXPECT_EQ(container->GetX(), 0);
}

TEST_F(ScrollView, ScrollingMovesTheChildWindows) {
  auto* host = new HostWindow(50, 50, 300, 200);
  CWULView* view;
  CWULContainer* item;
  {
    ParentScope scope(host);
    view = new CWULView;
    view->SetBounds(0, 0, 204, 104);
    ParentScope inside(view->GetClientContainer());
    item = new CWULContainer;
    item->SetBounds(100, 50, 20, 20);
  }
  view->SetContentSize(500, 300);
  host->IncarnateTree(nullptr);
  view->SetScrollPos(50, 20);
  RECT rect;
  GetWindowRect(item->GetHandle(), &rect);
  MapWindowPoints(nullptr, view->GetHandle(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 30);
  GetWindowRect(view->GetClientContainer()->GetHandle(), &rect);
  EXPECT_EQ(rect.right - rect.left, 500);
  delete host;
}

}  // namespace
