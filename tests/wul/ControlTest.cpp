#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include "WindowTestKit.h"
#include "wul/WULControl.h"
#include "wul/WULError.h"

namespace {

int presses = 0;
int checkChanges = 0;

class Button : public CWULPushButton {
public:
  Button() {
    pressCallback = [](CWULPushButton*) { presses++; };
    checkedChangedCallback = [](CWULPushButton*) { checkChanges++; };
  }
  void OnPress() override {
    onPressCalls++;
    if (throwOnPress)
      wulThrowError(8, "Button::OnPress", "press failed");
  }
  int onPressCalls = 0;
  bool throwOnPress = false;
};

class ControlBase : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    presses = checkChanges = 0;
    host = new HostWindow(100, 100, 200, 200);
  }
  void TearDown() override {
    delete host;
    wulPopAllDefaultParents();
    DropQueuedMessages();
  }
  Button* MakeButton(int bx, int by, int bw = 40, int bh = 20) {
    ParentScope scope(host);
    auto* button = new Button;
    button->SetBounds(bx, by, bw, bh);
    return button;
  }
  HostWindow* host = nullptr;
};

using PushControl = ControlBase;
using TextControlCaption = ControlBase;

// --- control base ---

TEST_F(ControlBase, ControlReportsToItsParent) {
  Button* button = MakeButton(0, 0);
  EXPECT_EQ(button->listener, host);
  EXPECT_TRUE(button->style & WS_CHILD);
  EXPECT_TRUE(button->IsTabStop());
  button->SetAlignment(WUL_ALIGN_TOP);
  EXPECT_EQ(button->GetAlignment(), WUL_ALIGN_TOP);
  // The parent's layout placed it at once.
  host->SetClientSize(200, 200);
  EXPECT_EQ(button->GetWidth(), 200);
  Button* other = MakeButton(0, 0, 40, 30);
  other->SetAlignment(WUL_ALIGN_TOP);
  EXPECT_EQ(other->GetY(), 20);
  button->Hide();
  EXPECT_EQ(other->GetY(), 0);
  delete button;
  EXPECT_EQ(other->GetY(), 0);
  other->SetParent(nullptr);
  EXPECT_EQ(other->listener, nullptr);
  delete other;
}

// --- clicks and checked states ---

TEST_F(PushControl, ExclusiveGroupChecksOneMember) {
  Button* a = MakeButton(0, 0);
  Button* b = MakeButton(0, 30);
  Button* c = MakeButton(0, 60);
  for (Button* button : {a, b, c})
    button->behaviour = WUL_BEHAVIOUR_EXCLUSIVE;
  EXPECT_EQ(b->JoinGroup(a), a);
  EXPECT_EQ(c->JoinGroup(b), b);
  EXPECT_EQ(a->groupNext, b);
  EXPECT_EQ(c->groupPrev, b);
  // Joining twice does not make a ring.
  c->JoinGroup(a);
  EXPECT_EQ(a->groupPrev, nullptr);
  EXPECT_EQ(c->groupNext, nullptr);

  b->Click();
  EXPECT_TRUE(b->IsChecked());
  EXPECT_EQ(checkChanges, 1);
  c->Click();
  EXPECT_FALSE(b->IsChecked());
  EXPECT_TRUE(c->IsChecked());
  EXPECT_EQ(checkChanges, 3);
  a->PerformClick();
  EXPECT_TRUE(a->IsChecked());
  EXPECT_FALSE(c->IsChecked());
  // An already checked member only runs its press callback.
  const int changes = checkChanges;
  a->Click();
  EXPECT_EQ(presses, 4);
  EXPECT_EQ(checkChanges, changes);
  EXPECT_TRUE(a->IsChecked());

  b->LeaveGroup();
  EXPECT_EQ(a->groupNext, c);
  EXPECT_EQ(c->groupPrev, a);
  EXPECT_EQ(b->groupNext, nullptr);
  // A deleted member leaves its group.
  delete c;
  EXPECT_EQ(a->groupNext, nullptr);
}

TEST_F(PushControl, ToggleFlipsAndPushOnlyPresses) {
  Button* toggle = MakeButton(0, 0);
  toggle->behaviour = WUL_BEHAVIOUR_TOGGLE;
  toggle->Click();
  EXPECT_TRUE(toggle->IsChecked());
  toggle->Click();
  EXPECT_FALSE(toggle->IsChecked());
  EXPECT_EQ(checkChanges, 2);
  Button* push = MakeButton(0, 30);
  push->Click();
  EXPECT_FALSE(push->IsChecked());
  EXPECT_EQ(presses, 3);
  EXPECT_EQ(checkChanges, 2);
  push->SetChecked(true);
  push->SetChecked(true);
  EXPECT_EQ(checkChanges, 3);
}

// --- mouse ---

TEST_F(PushControl, DraggingOffCancelsAndBackOnClicks) {
  Button* button = MakeButton(10, 10);
  host->IncarnateTree(nullptr);
  HWND handle = button->GetHandle();
  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(button->pressed);
  EXPECT_EQ(button->captureMode, 2);
  EXPECT_EQ(GetCapture(), handle);
  EXPECT_EQ(button->onPressCalls, 1);
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, 5));
  EXPECT_FALSE(button->pressed);
  SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(-20, 5));
  EXPECT_EQ(presses, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(button->captureMode, 0);

  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 40));
  EXPECT_FALSE(button->pressed);
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(39, 19));
  EXPECT_TRUE(button->pressed);
  SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(39, 19));
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(button->pressed);
  // A double click presses like a click.
  SendMessageA(handle, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(button->pressed);
  SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(presses, 2);
}

TEST_F(PushControl, LosingTheFocusEndsAPressWithoutClick) {
  Button* button = MakeButton(10, 10);
  host->IncarnateTree(nullptr);
  HWND handle = button->GetHandle();
  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(handle, WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(button->pressed);
  EXPECT_EQ(button->captureMode, 0);
  EXPECT_NE(GetCapture(), handle);
  SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(presses, 0);
}

TEST_F(PushControl, FailingPressReleasesTheCapture) {
  Button* button = MakeButton(10, 10);
  host->IncarnateTree(nullptr);
  button->throwOnPress = true;
  try {
    wulSendMessage(button->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 8);
  }
  EXPECT_EQ(button->captureMode, 0);
  EXPECT_FALSE(button->pressed);
  EXPECT_NE(GetCapture(), button->GetHandle());
  EXPECT_EQ(button->callbackDepth, 0);
  // The next press works again.
  button->throwOnPress = false;
  SendMessageA(button->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(button->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(presses, 1);
}

// --- keyboard ---

TEST_F(PushControl, SpaceClicksOnReleaseAndBlocksTheMouse) {
  Button* button = MakeButton(10, 10);
  host->IncarnateTree(nullptr);
  HWND handle = button->GetHandle();
  KeyStateScope keys;
  EXPECT_EQ(SendMessageA(handle, WM_KEYDOWN, VK_SPACE, 0), 0);
  EXPECT_TRUE(button->pressed);
  EXPECT_EQ(button->captureMode, 1);
  // Auto-repeat and the mouse do not start a second press.
  SendMessageA(handle, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(button->captureMode, 1);
  EXPECT_EQ(button->onPressCalls, 1);
  SendMessageA(handle, WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(button->pressed);
  EXPECT_EQ(GetCapture(), nullptr);

  keys.Press(VK_CONTROL);
  SendMessageA(handle, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(button->pressed);
  EXPECT_EQ(button->captureMode, 0);
  keys.Clear();
  keys.Press(VK_SHIFT);
  SendMessageA(handle, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(button->pressed);
  EXPECT_EQ(presses, 1);
}

TEST_F(PushControl, ArrowKeysMoveTheFocusToTheNearestMember) {
  Button* top = MakeButton(10, 10);
  Button* middle = MakeButton(10, 40);
  Button* bottom = MakeButton(10, 70);
  Button* beside = MakeButton(60, 40);
  middle->JoinGroup(top);
  bottom->JoinGroup(middle);
  beside->JoinGroup(bottom);
  host->IncarnateTree(nullptr);
  SetForegroundWindow(host->GetHandle());
  middle->Focus(true);
  if (GetFocus() != middle->GetHandle())
    GTEST_SKIP() << "no focus on this display";
  KeyStateScope keys;
  EXPECT_EQ(SendMessageA(middle->GetHandle(), WM_KEYDOWN, VK_DOWN, 0), 0);
  EXPECT_EQ(GetFocus(), bottom->GetHandle());
  // Nothing below the last one.
  SendMessageA(bottom->GetHandle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(GetFocus(), bottom->GetHandle());
  SendMessageA(bottom->GetHandle(), WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(GetFocus(), middle->GetHandle());
  SendMessageA(middle->GetHandle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(GetFocus(), beside->GetHandle());
  // Left from beside: middle is nearer than top and bottom.
  SendMessageA(beside->GetHandle(), WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(GetFocus(), middle->GetHandle());
  // The arrows never check anything.
  EXPECT_EQ(presses, 0);
  // A member that cannot take the focus is passed over.
  bottom->Disable();
  SendMessageA(middle->GetHandle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(GetFocus(), middle->GetHandle());
}

// --- captions ---

TEST_F(TextControlCaption, MnemonicDecidesWhetherTheAmpersandShows) {
  ParentScope scope(host);
  auto* control = new CWULTextControl;
  control->SetText("&File");
  RECT plain = {0, 0, 200, 40};
  control->MeasureText(nullptr, &plain);
  control->SetMnemonic(true);
  RECT prefixed = {0, 0, 200, 40};
  control->MeasureText(nullptr, &prefixed);
  EXPECT_GT(plain.right - plain.left, prefixed.right - prefixed.left);
  control->SetText("File");
  RECT bare = {0, 0, 200, 40};
  control->MeasureText(nullptr, &bare);
  EXPECT_EQ(bare.right - bare.left, prefixed.right - prefixed.left);
}

TEST_F(TextControlCaption, MeasuredBoxIsPlacedByTheAlignments) {
  ParentScope scope(host);
  auto* control = new CWULTextControl;
  control->SetText("Wide text");
  RECT left = {10, 20, 210, 120};
  control->MeasureText(nullptr, &left);
  const int w = left.right - left.left;
  const int h = left.bottom - left.top;
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  EXPECT_EQ(left.left, 10);
  EXPECT_EQ(left.top, 20 + (100 - h) / 2);
  control->SetHAlign(WUL_HALIGN_RIGHT);
  control->SetVAlign(WUL_VALIGN_BOTTOM);
  RECT right = {10, 20, 210, 120};
  control->MeasureText(nullptr, &right);
  EXPECT_EQ(right.right, 210);
  EXPECT_EQ(right.bottom, 120);
  control->SetHAlign(WUL_HALIGN_CENTER);
  control->SetVAlign(WUL_VALIGN_TOP);
  RECT centre = {10, 20, 210, 120};
  control->MeasureText(nullptr, &centre);
  EXPECT_EQ(centre.left, 10 + (200 - w) / 2);
  EXPECT_EQ(centre.top, 20);

  // Word wrap breaks a long caption against the width.
  control->SetText("one two three four five six seven eight nine ten");
  control->SetMultiLine(true);
  control->SetWordWrap(true);
  RECT narrow = {0, 0, 60, 400};
  control->MeasureText(nullptr, &narrow);
  EXPECT_LE(narrow.right - narrow.left, 60);
  EXPECT_GT(narrow.bottom - narrow.top, 2 * h);
}

// The darkest channel value inside the rectangle of a buffer.
int Darkest(const CWULOffscreenBuffer& buffer, const RECT& r) {
  int darkest = 255;
  for (int y = r.top; y < r.bottom; y++)
    for (int x = r.left; x < r.right; x++) {
      uint32_t p = RGBAt(buffer, x, y);
      for (int shift = 0; shift < 24; shift += 8)
        darkest = std::min(darkest, static_cast<int>((p >> shift) & 0xFF));
    }
  return darkest;
}

TEST_F(TextControlCaption, CaptionIsClippedAndFadedWhenDisabled) {
  ParentScope scope(host);
  auto* control = new CWULTextControl;
  control->SetText("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
  CWULOffscreenBuffer buffer;
  buffer.SetSize(120, 30);
  RECT all = {0, 0, 120, 30};
  FillRect(buffer.GetDC(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT area = {10, 5, 60, 25};
  control->DrawCaption(buffer.GetDC(), &area);
  EXPECT_LT(Darkest(buffer, area), 40);
  RECT right = {60, 0, 120, 30};
  EXPECT_EQ(Darkest(buffer, right), 255);
  // The DC's own clipping is back: drawing elsewhere works again.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(buffer.GetDC(), region), 0);
  DeleteObject(region);

  FillRect(buffer.GetDC(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  control->Disable();
  control->DrawCaption(buffer.GetDC(), &area);
  // Half-way between black text and the grey of the control.
  const int faded = Darkest(buffer, area);
  EXPECT_GE(faded, 56);
  EXPECT_LE(faded, 72);
}

}  // namespace
