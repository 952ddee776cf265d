#include <gtest/gtest.h>
#include <windows.h>
#include "WindowTestKit.h"
#include "wul/WULFramedWindow.h"

namespace {

class ContainerLayout : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    parent.SetClientSize(200, 100);
  }
  void TearDown() override { wulPopAllDefaultParents(); }

  // A child container of the given size and place; aligned afterwards.
  CWULContainer* Child(int cx, int cy, int cw, int ch) {
    ParentScope scope(&parent);
    auto* child = new CWULContainer;
    child->SetBounds(cx, cy, cw, ch);
    return child;
  }
  static void ExpectRect(CWULInteractor* child, int l, int t, int r, int b) {
    RECT rect;
    child->GetRect(&rect);
    EXPECT_EQ(rect.left, l);
    EXPECT_EQ(rect.top, t);
    EXPECT_EQ(rect.right, r);
    EXPECT_EQ(rect.bottom, b);
  }
  CWULFramedWindow parent;
};

using WindowFrame = ContainerLayout;

TEST_F(ContainerLayout, DockingTakesEdgesInListOrder) {
  CWULContainer* left = Child(0, 0, 30, 10);
  CWULContainer* top = Child(0, 0, 10, 20);
  CWULContainer* right = Child(0, 0, 40, 10);
  CWULContainer* bottom = Child(0, 0, 10, 15);
  left->SetAlignment(WUL_ALIGN_LEFT);
  top->SetAlignment(WUL_ALIGN_TOP);
  right->SetAlignment(WUL_ALIGN_RIGHT);
  bottom->SetAlignment(WUL_ALIGN_BOTTOM);
  ExpectRect(left, 0, 0, 30, 100);
  ExpectRect(top, 30, 0, 200, 20);
  ExpectRect(right, 160, 20, 200, 100);
  ExpectRect(bottom, 30, 85, 160, 100);
}

TEST_F(ContainerLayout, HiddenDockedChildTakesNoRoom) {
  CWULContainer* first = Child(0, 0, 30, 10);
  CWULContainer* second = Child(50, 0, 20, 10);
  first->SetAlignment(WUL_ALIGN_LEFT);
  second->SetAlignment(WUL_ALIGN_LEFT);
  ExpectRect(second, 30, 0, 50, 100);
  first->Hide();
  ExpectRect(second, 0, 0, 20, 100);
  first->Show();
  ExpectRect(second, 30, 0, 50, 100);
}

TEST_F(ContainerLayout, FillIsPlacedAfterAllDocking) {
  CWULContainer* fill = Child(0, 0, 5, 5);
  CWULContainer* bottom = Child(0, 0, 10, 25);
  CWULContainer* secondFill = Child(1, 2, 3, 4);
  fill->SetAlignment(WUL_ALIGN_FILL);
  secondFill->SetAlignment(WUL_ALIGN_FILL);
  bottom->SetAlignment(WUL_ALIGN_BOTTOM);
  ExpectRect(bottom, 0, 75, 200, 100);
  ExpectRect(fill, 0, 0, 200, 75);
  // Only the first fill child is placed.
  ExpectRect(secondFill, 1, 2, 4, 6);
}

TEST_F(ContainerLayout, StretchingFollowsTheWidthBothWays) {
  CWULContainer* child = Child(10, 10, 50, 20);
  child->SetAlignment(WUL_ALIGN_STRETCH_RIGHT);
  ExpectRect(child, 10, 10, 60, 30);
  parent.SetClientWidth(230);
  ExpectRect(child, 10, 10, 90, 30);
  parent.SetClientWidth(200);
  ExpectRect(child, 10, 10, 60, 30);
}

TEST_F(ContainerLayout, AnchorsAddUpOverSeveralResizes) {
  CWULContainer* both = Child(10, 10, 50, 20);
  CWULContainer* mover = Child(150, 60, 20, 10);
  CWULContainer* corner = Child(150, 60, 20, 10);
  both->SetAlignment(WUL_ALIGN_STRETCH_RIGHT_DOWN);
  mover->SetAlignment(WUL_ALIGN_MOVE_RIGHT_DOWN);
  corner->SetAlignment(19);  // move right, stretch down
  parent.SetClientSize(210, 110);
  parent.SetClientSize(215, 115);
  ExpectRect(both, 10, 10, 75, 45);
  ExpectRect(mover, 165, 75, 185, 85);
  ExpectRect(corner, 165, 60, 185, 85);
}

TEST_F(ContainerLayout, EveryAnchorCodeMovesTheRightEdges) {
  const int codes[] = {7, 8, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 6, 9, 12};
  // dx of left, right and dy of top, bottom after growing the parent by (10, 20).
  const int expected[][4] = {{10, 10, 0, 0}, {0, 10, 0, 0},  {0, 0, 20, 20},  {0, 0, 0, 20},   {10, 10, 0, 0},
                             {0, 10, 0, 0},  {0, 0, 20, 20}, {10, 10, 20, 20}, {0, 10, 20, 20}, {0, 0, 0, 20},
                             {10, 10, 0, 20}, {0, 10, 0, 20}, {0, 0, 0, 0},    {0, 0, 0, 0},    {0, 0, 0, 0}};
  CWULContainer* children[15];
  for (int i = 0; i < 15; i++) {
    children[i] = Child(20, 20, 30, 30);
    children[i]->SetAlignment(codes[i]);
  }
  parent.SetClientSize(210, 120);
  for (int i = 0; i < 15; i++) {
    RECT rect;
    children[i]->GetRect(&rect);
    EXPECT_EQ(rect.left - 20, expected[i][0]) << "code " << codes[i];
    EXPECT_EQ(rect.right - 50, expected[i][1]) << "code " << codes[i];
    EXPECT_EQ(rect.top - 20, expected[i][2]) << "code " << codes[i];
    EXPECT_EQ(rect.bottom - 50, expected[i][3]) << "code " << codes[i];
  }
}

TEST_F(ContainerLayout, DockingVariantsKeepOrFollowTheirOtherEdge) {
  CWULContainer* left = Child(0, 0, 30, 10);
  left->SetAlignment(WUL_ALIGN_LEFT_STRETCH);
  ExpectRect(left, 0, 0, 30, 100);
  parent.SetClientSize(220, 100);
  ExpectRect(left, 0, 0, 50, 100);
  CWULContainer* right = Child(170, 0, 10, 10);
  right->SetAlignment(WUL_ALIGN_RIGHT_KEEP_LEFT);
  ExpectRect(right, 170, 0, 220, 100);
  CWULContainer* top = Child(0, 0, 10, 20);
  top->SetAlignment(WUL_ALIGN_TOP_STRETCH);
  ExpectRect(top, 50, 0, 170, 20);
  CWULContainer* bottom = Child(0, 70, 10, 10);
  bottom->SetAlignment(WUL_ALIGN_BOTTOM_KEEP_TOP);
  ExpectRect(bottom, 50, 70, 170, 100);
  parent.SetClientSize(220, 110);
  ExpectRect(top, 50, 0, 170, 30);
  ExpectRect(bottom, 50, 70, 170, 110);
}

TEST_F(ContainerLayout, ChildrenThatLeaveOrCloseAreNotLaidOut) {
  CWULContainer* first = Child(0, 0, 30, 10);
  CWULContainer* second = Child(0, 0, 20, 10);
  first->SetAlignment(WUL_ALIGN_LEFT);
  second->SetAlignment(WUL_ALIGN_LEFT);
  ExpectRect(second, 30, 0, 50, 100);
  // Moving to another parent tells the old one, which lays out without it.
  CWULFramedWindow other;
  other.SetClientSize(50, 50);
  first->SetParent(&other);
  EXPECT_EQ(first->listener, &other);
  ExpectRect(second, 0, 0, 20, 100);
  ExpectRect(first, 0, 0, 30, 50);
  // Deleting a child lays its parent out again.
  CWULContainer* third = Child(0, 0, 10, 10);
  third->SetAlignment(WUL_ALIGN_LEFT);
  third->MoveToFront();
  parent.LayoutChildren();
  ExpectRect(second, 10, 0, 30, 100);
  delete third;
  ExpectRect(second, 0, 0, 20, 100);
}

TEST_F(WindowFrame, ClientSizeNeverGoesBelowZero) {
  class Thick : public CWULFramedWindow {
  public:
    void ComputeInsets() override { leftInset = topInset = rightInset = bottomInset = 10; }
  };
  Thick frame;
  frame.SetSize(15, 50);
  EXPECT_EQ(frame.GetClientWidth(), 0);
  EXPECT_EQ(frame.GetClientHeight(), 30);
  frame.SetClientSize(40, 5);
  EXPECT_EQ(frame.GetWidth(), 60);
  EXPECT_EQ(frame.GetHeight(), 25);
  RECT client;
  frame.GetClientRect(&client);
  EXPECT_EQ(client.left, 10);
  EXPECT_EQ(client.top, 10);
  EXPECT_EQ(client.right, 50);
  EXPECT_EQ(client.bottom, 15);
  EXPECT_EQ(frame.OnNcHitTest(10, 10), HTCLIENT);
  EXPECT_EQ(frame.OnNcHitTest(50, 10), HTBORDER);
  EXPECT_EQ(frame.OnNcHitTest(9, 12), HTBORDER);
  static int calls;
  calls = 0;
  frame.clientSizeChangedHandler = [](CWULFramedWindow*) { calls++; };
  frame.SetClientWidth(41);
  frame.SetWidth(61);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(frame.GetClientWidth(), 41);
}

// A window with a frame of its own, painting it in one colour.
class FramedHost : public CWULFramedWindow {
public:
  FramedHost() { style |= WS_POPUP; }
  void ComputeInsets() override {
    leftInset = inset;
    topInset = inset + 1;
    rightInset = inset + 2;
    bottomInset = inset + 3;
  }
  LRESULT PaintNonClient(HDC dc) override {
    ncPaints++;
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    return 0;
  }
  LRESULT OnNcLButtonDown(int hit, int nx, int ny) override {
    lastHit = hit;
    lastX = nx;
    lastY = ny;
    return 0;
  }
  void OnParentNotify(int event, int, LPARAM) override { notices += event == WM_DESTROY; }
  int inset = 3;
  int ncPaints = 0;
  int lastHit = 0, lastX = 0, lastY = 0;
  int notices = 0;
};

TEST_F(WindowFrame, WindowClientAreaFollowsTheInsets) {
  auto* frame = new FramedHost;
  frame->SetBounds(50, 60, 100, 80);
  frame->Incarnate(nullptr);
  HWND handle = frame->GetHandle();
  RECT client;
  ::GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 100 - 3 - 5);
  EXPECT_EQ(client.bottom, 80 - 4 - 6);
  POINT origin = {0, 0};
  ClientToScreen(handle, &origin);
  EXPECT_EQ(origin.x, 53);
  EXPECT_EQ(origin.y, 64);
  EXPECT_EQ(frame->GetClientWidth(), 92);

  // A new frame thickness asks the system for the new client area.
  frame->inset = 6;
  frame->OnFontChanged();
  ::GetClientRect(handle, &client);
  EXPECT_EQ(client.right, 100 - 6 - 8);
  EXPECT_EQ(frame->GetClientHeight(), 80 - 7 - 9);

  // Hit tests and non-client clicks use the window's own coordinates.
  EXPECT_EQ(SendMessageA(handle, WM_NCHITTEST, 0, MAKELPARAM(51, 61)), HTBORDER);
  EXPECT_EQ(SendMessageA(handle, WM_NCHITTEST, 0, MAKELPARAM(70, 80)), HTCLIENT);
  SendMessageA(handle, WM_NCLBUTTONDOWN, HTBORDER, MAKELPARAM(52, 63));
  EXPECT_EQ(frame->lastHit, HTBORDER);
  EXPECT_EQ(frame->lastX, 2);
  EXPECT_EQ(frame->lastY, 3);

  frame->ncPaints = 0;
  RedrawWindow(handle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_GE(frame->ncPaints, 1);
  delete frame;
}

TEST_F(WindowFrame, ChildContainersAreLaidOutAsWindows) {
  auto* host = new FramedHost;
  host->inset = 0;
  host->SetBounds(0, 0, 120, 90);
  CWULContainer *side, *rest;
  {
    ParentScope scope(host);
    side = new CWULContainer;
    side->SetWidth(25);
    side->SetAlignment(WUL_ALIGN_LEFT);
    rest = new CWULContainer;
    rest->SetAlignment(WUL_ALIGN_FILL);
  }
  host->IncarnateTree(nullptr);
  host->SetSize(150, 100);
  RECT rect;
  GetWindowRect(rest->GetHandle(), &rect);
  MapWindowPoints(nullptr, host->GetHandle(), reinterpret_cast<POINT*>(&rect), 2);
  // Client coordinates of the host: its frame is 0, 1, 2, 3 pixels thick.
  EXPECT_EQ(rect.left, 25);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 150 - 2);
  EXPECT_EQ(rect.bottom, 100 - 1 - 3);
  GetWindowRect(side->GetHandle(), &rect);
  EXPECT_EQ(rect.right - rect.left, 25);
  EXPECT_EQ(rest->GetX(), 25);
  EXPECT_EQ(rest->GetWidth(), 150 - 2 - 25);
  // The system hides a child: its parent lays out again.
  side->Hide();
  EXPECT_EQ(rest->GetX(), 0);
  // A destroyed child is announced to its parent.
  delete side;
  EXPECT_EQ(host->notices, 1);
  delete host;
}

TEST_F(WindowFrame, ContainerFillsItsBackgroundWithItsColour) {
  auto* host = new FramedHost;
  host->inset = 0;
  host->SetBounds(0, 0, 40, 40);
  CWULContainer* child;
  {
    ParentScope scope(host);
    child = new CWULContainer;
  }
  child->SetBounds(0, 0, 10, 10);
  child->color.SetRGB(0, 128, 0);
  host->IncarnateTree(nullptr);
  CWULOffscreenBuffer buffer;
  buffer.SetSize(10, 10);
  RECT all = {0, 0, 10, 10};
  FillRect(buffer.GetDC(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  // The erase fills what needs painting; outside the window's update area stays.
  ValidateRect(child->GetHandle(), nullptr);
  RECT dirty = {2, 2, 5, 5};
  InvalidateRect(child->GetHandle(), &dirty, FALSE);
  child->OnEraseBackground(buffer.GetDC());
  EXPECT_EQ(RGBAt(buffer, 3, 3), 0x008000u);
  EXPECT_EQ(RGBAt(buffer, 6, 6), 0xFFFFFFu);
  // Suppressed while it redraws itself.
  child->flagsB |= WUL_IF_ERASE_SUPPRESSED;
  InvalidateRect(child->GetHandle(), nullptr, FALSE);
  child->OnEraseBackground(buffer.GetDC());
  EXPECT_EQ(RGBAt(buffer, 6, 6), 0xFFFFFFu);
  child->flagsB &= ~WUL_IF_ERASE_SUPPRESSED;
  delete host;
}

}  // namespace
