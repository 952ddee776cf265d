#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>
#include "ControlTestKit.h"
#include "wul/WULEdit.h"
#include "wul/WULError.h"
#include "wul/WULProtoEdit.h"

namespace {

int changes;
void CountChange(CWULProtoEdit*) { changes++; }

int valueCalls;
std::vector<double> announced;
void CountValue(CWULSpinEdit* spin) {
  valueCalls++;
  announced.push_back(spin->GetValue());
}

std::vector<int> hostKeys;
int RecordHostKey(CWULInteractor*, int* key, LPARAM) {
  hostKeys.push_back(*key);
  return 0;
}

std::string NativeText(CWULProtoEdit* edit) {
  char buffer[256] = {};
  GetWindowTextA(edit->GetEditWindow(), buffer, sizeof buffer);
  return buffer;
}

bool SameRect(const RECT& r, int left, int top, int right, int bottom) {
  return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

void Type(CWULProtoEdit* edit, const char* characters) {
  for (const char* p = characters; *p; p++)
    Char(edit->GetEditWindow(), static_cast<unsigned char>(*p));
}

class Edits : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    changes = 0;
    valueCalls = 0;
    announced.clear();
    hostKeys.clear();
    host->keyDownHandler = RecordHostKey;
  }
};

using TextEdit = Edits;
using SpinEdit = Edits;
using ButtonEdit = Edits;
using SpinFormat = Edits;

// --- proto edit and text edit ---

TEST_F(TextEdit, NativeEditSitsInsideFrameAndMargins) {
  auto* edit = new CWULEdit;
  EXPECT_EQ(edit->GetSelStart(), -1);
  EXPECT_FALSE(edit->CanFocus());
  edit->SetBounds(10, 10, 100, 20);
  Show();
  ASSERT_NE(edit->GetEditWindow(), nullptr);
  char className[16] = {};
  GetClassNameA(edit->GetEditWindow(), className, sizeof className);
  EXPECT_STREQ(className, "Edit");
  RECT inner;
  GetWindowRect(edit->GetEditWindow(), &inner);
  MapWindowPoints(nullptr, edit->GetHandle(), reinterpret_cast<POINT*>(&inner), 2);
  EXPECT_EQ(inner.left, 3);
  EXPECT_EQ(inner.top, 3);
  EXPECT_EQ(inner.right, 97);
  EXPECT_EQ(inner.bottom, 17);
  EXPECT_EQ(SendMessageA(edit->GetEditWindow(), EM_GETLIMITTEXT, 0, 0), 16383);
  EXPECT_EQ(SendMessageA(edit->GetEditWindow(), EM_GETPASSWORDCHAR, 0, 0), 0);
  EXPECT_TRUE(edit->CanFocus());
}

TEST_F(TextEdit, TypedCharactersReachTheTextAndTheCallback) {
  auto* edit = new CWULEdit;
  edit->changeCallback = CountChange;
  Show();
  Type(edit, "Layer");
  EXPECT_STREQ(edit->GetText(), "Layer");
  EXPECT_EQ(NativeText(edit), "Layer");
  char own[32] = {};
  GetWindowTextA(edit->GetHandle(), own, sizeof own);
  EXPECT_STREQ(own, "Layer");
  EXPECT_EQ(changes, 5);
  // Backspace goes into the edit as a key and as its character.
  KeyDown(edit->GetEditWindow(), VK_BACK);
  Char(edit->GetEditWindow(), 8);
  EXPECT_STREQ(edit->GetText(), "Laye");
}

TEST_F(TextEdit, KeyStrokesThroughTheQueueAreTranslated) {
  KeyStateScope keys;
  auto* edit = new CWULEdit;
  Show();
  if (!Focused(edit))
    GTEST_SKIP() << "no focus on this display";
  EXPECT_EQ(GetFocus(), edit->GetEditWindow());
  PostKeyStroke(edit->GetEditWindow(), 'Q');
  PostKeyStroke(edit->GetEditWindow(), '7');
  EXPECT_STREQ(edit->GetText(), "q7");
}

TEST_F(TextEdit, SilentTextDoesNotCallBackButSetTextDoes) {
  auto* edit = new CWULEdit;
  edit->changeCallback = CountChange;
  edit->SetText("before");
  EXPECT_EQ(changes, 0);
  Show();
  EXPECT_EQ(NativeText(edit), "before");
  edit->SetTextSilently("quiet");
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(NativeText(edit), "quiet");
  EXPECT_STREQ(edit->GetText(), "quiet");
  edit->SetText("loud");
  EXPECT_EQ(changes, 1);
  edit->SetText("loud");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(edit->notifyChanges);
}

TEST_F(TextEdit, CtrlShortcutsAreLeftForTheTableButClipboardKeysWork) {
  KeyStateScope keys;
  auto* edit = new CWULEdit;
  edit->SetText("Vellum");
  Show();
  HWND native = edit->GetEditWindow();
  keys.Press(VK_CONTROL);
  // Not consumed: the main loop offers it to the shortcut table.
  EXPECT_NE(KeyDown(native, 'S'), 0);
  EXPECT_NE(Char(native, 19), 0);
  EXPECT_STREQ(edit->GetText(), "Vellum");
  EXPECT_EQ(KeyDown(native, 'C'), 0);
  EXPECT_EQ(KeyDown(native, 'A'), 0);
  EXPECT_EQ(Char(native, 1), 0);
  EXPECT_EQ(edit->GetSelStart(), 0);
  EXPECT_EQ(edit->GetSelEnd(), 6);
  edit->SetSelection(0, 3);
  ASSERT_TRUE(OpenClipboard(host->GetHandle()));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(Char(native, 3), 0);
  std::string copied;
  if (OpenClipboard(host->GetHandle())) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      copied = static_cast<const char*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
  }
  EXPECT_EQ(copied, "Vel");
  EXPECT_FALSE(edit->clipboardGuard);
  // Paste over the selection.
  edit->SetSelection(6, 6);
  EXPECT_EQ(Char(native, 22), 0);
  EXPECT_STREQ(edit->GetText(), "VellumVel");
  // Ctrl+Z undoes inside the edit.
  EXPECT_EQ(Char(native, 26), 0);
  EXPECT_STREQ(edit->GetText(), "Vellum");
}

TEST_F(TextEdit, EnterReachesTheParentInASingleLineEdit) {
  KeyStateScope keys;
  auto* edit = new CWULEdit;
  edit->SetText("name");
  Show();
  KeyDown(edit->GetEditWindow(), VK_RETURN);
  Char(edit->GetEditWindow(), '\r');
  ASSERT_EQ(hostKeys.size(), 1u);
  EXPECT_EQ(hostKeys[0], VK_RETURN);
  EXPECT_STREQ(edit->GetText(), "name");
  KeyDown(edit->GetEditWindow(), VK_ESCAPE);
  KeyDown(edit->GetEditWindow(), VK_F1);
  EXPECT_EQ(hostKeys.size(), 3u);
  // Ordinary keys stay in the edit.
  KeyDown(edit->GetEditWindow(), VK_HOME);
  EXPECT_EQ(hostKeys.size(), 3u);
  EXPECT_EQ(edit->GetSelStart(), 0);
}

TEST_F(TextEdit, EnterBreaksTheLineInAMultiLineEdit) {
  KeyStateScope keys;
  auto* edit = new CWULEdit;
  edit->SetBounds(0, 0, 120, 60);
  edit->SetMultiLine(true);
  edit->SetText("one");
  Show();
  EXPECT_TRUE(GetWindowLongA(edit->GetEditWindow(), GWL_STYLE) & ES_MULTILINE);
  edit->SetSelection(3, 3);
  KeyDown(edit->GetEditWindow(), VK_RETURN);
  Char(edit->GetEditWindow(), '\r');
  Type(edit, "two");
  EXPECT_TRUE(hostKeys.empty());
  EXPECT_STREQ(edit->GetText(), "one\r\ntwo");
  // Tab goes into the text only when asked to.
  edit->SetTabIntoText(true);
  KeyDown(edit->GetEditWindow(), VK_TAB);
  Char(edit->GetEditWindow(), '\t');
  EXPECT_STREQ(edit->GetText(), "one\r\ntwo\t");
}

TEST_F(TextEdit, ChangingTheAlignmentKeepsTheText) {
  auto* edit = new CWULEdit;
  edit->SetText("centred?");
  Show();
  HWND before = edit->GetEditWindow();
  edit->SetHAlign(WUL_HALIGN_RIGHT);
  ASSERT_NE(edit->GetEditWindow(), nullptr);
  EXPECT_NE(edit->GetEditWindow(), before);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_TRUE(GetWindowLongA(edit->GetEditWindow(), GWL_STYLE) & ES_RIGHT);
  EXPECT_EQ(NativeText(edit), "centred?");
  EXPECT_EQ(SendMessageA(edit->GetEditWindow(), EM_GETLIMITTEXT, 0, 0), 16383);
  Type(edit, "!");
  EXPECT_EQ(std::string(edit->GetText()).size(), 9u);
}

TEST_F(TextEdit, StyleOptionsOfTheTextEdit) {
  auto* edit = new CWULEdit;
  edit->SetPasswordChar('*');
  Show();
  EXPECT_EQ(SendMessageA(edit->GetEditWindow(), EM_GETPASSWORDCHAR, 0, 0), '*');
  Type(edit, "pw");
  EXPECT_STREQ(edit->GetText(), "pw");
  edit->SetPasswordChar(0);
  EXPECT_EQ(SendMessageA(edit->GetEditWindow(), EM_GETPASSWORDCHAR, 0, 0), 0);

  edit->SetCaseConversion(WUL_CASE_UPPER);
  EXPECT_TRUE(GetWindowLongA(edit->GetEditWindow(), GWL_STYLE) & ES_UPPERCASE);
  Type(edit, "ab");
  // The edit converts the text it already holds as well.
  EXPECT_STREQ(edit->GetText(), "PWAB");

  edit->SetCaseConversion(WUL_CASE_NONE);
  edit->SetNumbersOnly(true);
  EXPECT_TRUE(GetWindowLongA(edit->GetEditWindow(), GWL_STYLE) & ES_NUMBER);
  edit->SetText("");
  Type(edit, "4x2");
  EXPECT_STREQ(edit->GetText(), "42");

  edit->SetTextLimit(3);
  Type(edit, "789");
  EXPECT_STREQ(edit->GetText(), "427");
  edit->SetReadOnly(true);
  EXPECT_TRUE(GetWindowLongA(edit->GetEditWindow(), GWL_STYLE) & ES_READONLY);
}

TEST_F(TextEdit, FocusSelectsAllAndTabMovesOn) {
  KeyStateScope keys;
  auto* first = new CWULEdit;
  auto* second = new CWULEdit;
  first->SetText("alpha");
  second->SetText("beta");
  second->SetY(30);
  Show();
  if (!Focused(first))
    GTEST_SKIP() << "no focus on this display";
  EXPECT_EQ(GetFocus(), first->GetEditWindow());
  EXPECT_EQ(first->GetSelStart(), 0);
  EXPECT_EQ(first->GetSelEnd(), 5);
  first->CollapseSelection();
  EXPECT_EQ(first->GetSelStart(), 5);
  KeyDown(first->GetEditWindow(), VK_TAB);
  PumpPending();
  EXPECT_EQ(GetFocus(), second->GetEditWindow());
  EXPECT_TRUE(second->HasFocus());
  EXPECT_FALSE(first->HasFocus());
  EXPECT_EQ(second->GetSelEnd(), 4);
  keys.Press(VK_SHIFT);
  KeyDown(second->GetEditWindow(), VK_TAB);
  PumpPending();
  EXPECT_TRUE(first->HasFocus());
}

TEST_F(TextEdit, PaintsItsFrameInTheParentsShades) {
  auto* edit = new CWULEdit;
  edit->SetBounds(10, 10, 80, 20);
  Show();
  edit->Redraw();
  ASSERT_NE(edit->buffer.GetImage(), nullptr);
  const CWULColor& outside = host->GetColor();
  EXPECT_EQ(RGBAt(edit->buffer, 5, 0), Shade(outside, 0.75f));
  EXPECT_EQ(RGBAt(edit->buffer, 0, 5), Shade(outside, 0.75f));
  EXPECT_EQ(RGBAt(edit->buffer, 79, 5), Shade(outside, 1.3125f));
  EXPECT_EQ(RGBAt(edit->buffer, 5, 19), Shade(outside, 1.3125f));
  EXPECT_EQ(RGBAt(edit->buffer, 5, 1), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(edit->buffer, 5, 2), Grey(224));
  edit->SetFrameKind(WUL_FRAME_LINE);
  EXPECT_EQ(RGBAt(edit->buffer, 5, 0), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(edit->buffer, 5, 1), Grey(224));
}

TEST_F(TextEdit, ColoursOfTheNativeEditFollowTheControl) {
  auto* edit = new CWULEdit;
  Show();
  HDC dc = GetDC(edit->GetEditWindow());
  LRESULT brush = SendMessageA(edit->GetHandle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(edit->GetEditWindow()));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), edit->editBrush);
  EXPECT_EQ(GetBkColor(dc) & 0xFFFFFF, RGB(224, 224, 224));
  EXPECT_EQ(GetTextColor(dc) & 0xFFFFFF, RGB(0, 0, 0));
  edit->Disable();
  EXPECT_FALSE(IsWindowEnabled(edit->GetEditWindow()));
  SendMessageA(edit->GetHandle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(edit->GetEditWindow()));
  EXPECT_EQ(GetTextColor(dc) & 0xFFFFFF, RGB(112, 112, 112));
  ReleaseDC(edit->GetEditWindow(), dc);
  EXPECT_FALSE(edit->CanFocus());
}

TEST_F(TextEdit, DestroyingTheControlTakesTheNativeEditAlong) {
  auto* edit = new CWULEdit;
  Show();
  HWND native = edit->GetEditWindow();
  HWND frame = edit->GetHandle();
  delete edit;
  EXPECT_FALSE(IsWindow(native));
  EXPECT_FALSE(IsWindow(frame));
  // Closing through the deferred path as well.
  auto* closed = new CWULEdit;
  closed->SetParent(host);
  closed->Incarnate(nullptr);
  native = closed->GetEditWindow();
  closed->Close();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(native); }));
}

// --- spin edit: numbers ---

TEST_F(SpinFormat, DecimalsAreTrimmedDownToTheMinimum) {
  auto* spin = new CWULSpinEdit;
  EXPECT_STREQ(spin->GetText(), "0");
  spin->SetMaxDecimals(2);
  spin->SetValue(12.5);
  EXPECT_STREQ(spin->GetText(), "12.5");
  spin->SetValue(12.0);
  EXPECT_STREQ(spin->GetText(), "12");
  spin->SetMinDecimals(1);
  EXPECT_STREQ(spin->GetText(), "12.0");
  spin->SetValue(0.05);
  EXPECT_STREQ(spin->GetText(), "0.05");
  char buffer[WUL_NUMBER_BUFFER];
  spin->FormatNumber(buffer, -3.125);
  EXPECT_STREQ(buffer, "-3.12");  // ties to even
  spin->FormatNumber(buffer, -0.001);
  EXPECT_STREQ(buffer, "0.0");
  spin->SetMaxDecimals(0);
  EXPECT_EQ(spin->GetMinDecimals(), 0);
  spin->FormatNumber(buffer, 2.5);
  EXPECT_STREQ(buffer, "2");
  spin->FormatNumber(buffer, 1e300);
  EXPECT_LT(std::strlen(buffer), 21u);
  spin->SetMaxDecimals(1000);
  EXPECT_EQ(spin->GetMaxDecimals(), 15);
}

TEST_F(SpinFormat, ParsingAcceptsCommaAndStopsAtOtherCharacters) {
  auto* spin = new CWULSpinEdit;
  EXPECT_DOUBLE_EQ(spin->ParseNumber("3,75"), 3.75);
  EXPECT_DOUBLE_EQ(spin->ParseNumber("  -12.5kg"), -12.5);
  EXPECT_DOUBLE_EQ(spin->ParseNumber("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(spin->ParseNumber(""), 0.0);
  EXPECT_DOUBLE_EQ(spin->ParseNumber("abc"), 0.0);
  EXPECT_DOUBLE_EQ(spin->ParseNumber("- 5"), 0.0);
  EXPECT_DOUBLE_EQ(spin->ParseNumber(nullptr), 0.0);
  // Far too many digits keep their magnitude.
  const double huge = spin->ParseNumber("123456789012345678901234567890");
  EXPECT_NEAR(huge / 1.2345678901234568e29, 1.0, 1e-9);
  EXPECT_NEAR(spin->ParseNumber("0.1234567890123456789999"), 0.123456789012345678, 1e-15);
  // Hundreds of typed digits neither overflow nor leave a denormal.
  EXPECT_GT(spin->ParseNumber(std::string(400, '9').c_str()), 1e290);
  EXPECT_EQ(spin->ParseNumber(("0." + std::string(400, '0') + "1").c_str()), 0.0);
  EXPECT_EQ(spin->ParseNumber("0.000000000000000001"), 1e-18);
  EXPECT_EQ(spin->ParseNumber("0.0000000000000000001"), 0.0);
}

TEST_F(SpinFormat, LimitsClampAndMoveEachOther) {
  auto* spin = new CWULSpinEdit;
  spin->valueChangedHandler = CountValue;
  spin->SetValue(250.0);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 100.0);
  EXPECT_STREQ(spin->GetText(), "100");
  EXPECT_EQ(valueCalls, 1);
  spin->SetValue(300);
  EXPECT_EQ(valueCalls, 1);
  spin->SetMaximum(-5.0);
  EXPECT_DOUBLE_EQ(spin->GetMinimum(), -5.0);
  EXPECT_DOUBLE_EQ(spin->GetMaximum(), -5.0);
  EXPECT_DOUBLE_EQ(spin->GetValue(), -5.0);
  EXPECT_STREQ(spin->GetText(), "-5");
  EXPECT_EQ(valueCalls, 2);
  spin->SetMinimum(10.0);
  EXPECT_DOUBLE_EQ(spin->GetMaximum(), 10.0);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 10.0);
  spin->SetMinimum(0.0);
  spin->SetMaximum(100.0);
  spin->SetValue(std::nan(""));
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.0);
  spin->SetValue(41.6);
  EXPECT_EQ(spin->GetValueRounded(), 42);
  EXPECT_STREQ(spin->GetText(), "42");
  EXPECT_DOUBLE_EQ(spin->GetValue(), 42.0);
  // Shown without clamping and without the handler.
  const int before = valueCalls;
  spin->ShowValue(500);
  EXPECT_STREQ(spin->GetText(), "500");
  EXPECT_DOUBLE_EQ(spin->GetValue(), 500.0);
  EXPECT_EQ(valueCalls, before);
}

// --- spin edit: input ---

class SpinInput : public Edits {
protected:
  void SetUp() override {
    Edits::SetUp();
    spin = new CWULSpinEdit;
    spin->SetBounds(10, 10, 64, 20);
    spin->valueChangedHandler = CountValue;
  }
  // The middle of the up and down buttons.
  POINT Up() const { return {(spin->upRect.left + spin->upRect.right) / 2, (spin->upRect.top + spin->upRect.bottom) / 2}; }
  POINT Down() const {
    return {(spin->downRect.left + spin->downRect.right) / 2, (spin->downRect.top + spin->downRect.bottom) / 2};
  }
  CWULSpinEdit* spin;
};

TEST_F(SpinInput, LayoutOfButtonsAndText) {
  // Inner rectangle (2, 2, 62, 18): a 15-pixel button column split at 10.
  EXPECT_TRUE(SameRect(spin->upRect, 47, 2, 62, 10));
  EXPECT_TRUE(SameRect(spin->downRect, 47, 10, 62, 18));
  EXPECT_TRUE(SameRect(spin->editRect, 3, 3, 45, 17));
  spin->SetFrameKind(WUL_FRAME_NONE);
  EXPECT_TRUE(SameRect(spin->upRect, 45, 0, 64, 10));
  EXPECT_EQ(spin->editRect.right, 44);
}

TEST_F(SpinInput, TypedValuesAreReadAndAnnouncedOnEnter) {
  KeyStateScope keys;
  spin->SetMaxDecimals(2);
  Show();
  spin->SetTextSilently("");
  Type(spin, "3,75");
  EXPECT_DOUBLE_EQ(spin->GetValue(), 3.75);
  EXPECT_EQ(valueCalls, 0);
  // Enter shows the value in its own format, announces it and stops there.
  KeyDown(spin->GetEditWindow(), VK_RETURN);
  EXPECT_STREQ(spin->GetText(), "3.75");
  EXPECT_EQ(valueCalls, 1);
  EXPECT_TRUE(hostKeys.empty());
  // A text already in shape lets Enter go on to the parent.
  KeyDown(spin->GetEditWindow(), VK_RETURN);
  EXPECT_EQ(hostKeys.size(), 1u);
  EXPECT_EQ(valueCalls, 1);
  // A typed value that needs no new text is announced all the same.
  spin->SetTextSilently("");
  Type(spin, "150");
  EXPECT_DOUBLE_EQ(spin->GetValue(), 100.0);
  KeyDown(spin->GetEditWindow(), VK_RETURN);
  EXPECT_STREQ(spin->GetText(), "100");
  spin->SetTextSilently("");
  Type(spin, "7");
  KeyDown(spin->GetEditWindow(), VK_RETURN);
  EXPECT_STREQ(spin->GetText(), "7");
  ASSERT_EQ(announced.size(), 3u);
  EXPECT_DOUBLE_EQ(announced[1], 100.0);
  EXPECT_DOUBLE_EQ(announced[2], 7.0);
}

TEST_F(SpinInput, ArrowKeysStepOncePerPressWithinTheLimits) {
  KeyStateScope keys;
  spin->SetMaximum(2.0);
  Show();
  HWND native = spin->GetEditWindow();
  EXPECT_EQ(KeyDown(native, VK_UP), 0);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 1.0);
  EXPECT_TRUE(spin->upPressed);
  EXPECT_EQ(spin->pressMode, WUL_PRESS_KEYBOARD);
  // The key's own repeat does not step while it is held.
  KeyDown(native, VK_UP);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 1.0);
  KeyUp(native, VK_UP);
  EXPECT_EQ(spin->pressMode, WUL_PRESS_NONE);
  EXPECT_FALSE(spin->upPressed);
  KeyDown(native, VK_UP);
  KeyUp(native, VK_UP);
  KeyDown(native, VK_UP);
  KeyUp(native, VK_UP);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 2.0);
  KeyDown(native, VK_DOWN);
  KeyUp(native, VK_DOWN);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 1.0);
  EXPECT_STREQ(spin->GetText(), "1");
  EXPECT_EQ(valueCalls, 3);
  // Releasing the other key does not end the press.
  KeyDown(native, VK_DOWN);
  KeyUp(native, VK_UP);
  EXPECT_EQ(spin->pressMode, WUL_PRESS_KEYBOARD);
  KeyUp(native, VK_DOWN);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.0);
}

TEST_F(SpinInput, HoldingTheUpButtonRepeatsAfterADelay) {
  Show();
  MouseDown(spin, Up().x, Up().y);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 1.0);
  EXPECT_EQ(GetCapture(), spin->GetHandle());
  EXPECT_EQ(spin->repeatMode, WUL_REPEAT_FIRST);
  // The real timers step again: first after the delay, then at the period.
  EXPECT_TRUE(PumpUntil([&] { return spin->GetValue() >= 2.0; }));
  EXPECT_EQ(spin->repeatMode, WUL_REPEAT_RUNNING);
  EXPECT_TRUE(PumpUntil([&] { return spin->GetValue() >= 5.0; }));
  // Dragged off the button the repeat pauses.
  MouseMove(spin, 5, 5);
  EXPECT_FALSE(spin->upPressed);
  const double paused = spin->GetValue();
  PumpUntil([] { return false; }, 350);
  EXPECT_DOUBLE_EQ(spin->GetValue(), paused);
  MouseMove(spin, Up().x, Up().y);
  EXPECT_TRUE(PumpUntil([&] { return spin->GetValue() > paused; }));
  MouseUp(spin, Up().x, Up().y);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(spin->repeatMode, WUL_REPEAT_OFF);
  const double released = spin->GetValue();
  PumpUntil([] { return false; }, 350);
  EXPECT_DOUBLE_EQ(spin->GetValue(), released);
  EXPECT_EQ(valueCalls, static_cast<int>(released));
}

TEST_F(SpinInput, DownButtonStepsAndStopsAtTheMinimum) {
  spin->SetValue(1);
  valueCalls = 0;
  Show();
  MouseDown(spin, Down().x, Down().y);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.0);
  EXPECT_TRUE(spin->downPressed);
  MouseUp(spin, Down().x, Down().y);
  Click(spin, Down().x, Down().y);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 0.0);
  EXPECT_EQ(valueCalls, 1);
  // A click beside the buttons does nothing; losing the capture ends a press.
  Click(spin, 5, 5);
  MouseDown(spin, Up().x, Up().y);
  ReleaseCapture();
  EXPECT_EQ(spin->pressMode, WUL_PRESS_NONE);
  EXPECT_FALSE(spin->upPressed);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 1.0);
}

TEST_F(SpinInput, WheelNotchesStepWithARemainder) {
  Show();
  if (!Focused(spin))
    GTEST_SKIP() << "no focus on this display";
  HWND native = spin->GetEditWindow();
  const LPARAM at = ScreenPoint(spin, 20, 10);
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), at);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 2.0);
  // Half a notch twice is one step.
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), at);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 2.0);
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), at);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 3.0);
  // A change of direction forgets the remainder.
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), at);
  wulSendMessage(native, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), at);
  EXPECT_DOUBLE_EQ(spin->GetValue(), 2.0);
  EXPECT_TRUE(hostKeys.empty());
}

TEST_F(SpinInput, LosingTheFocusShowsTheValue) {
  auto* other = new CWULEdit;
  other->SetY(40);
  Show();
  if (!Focused(spin))
    GTEST_SKIP() << "no focus on this display";
  spin->SetTextSilently("");
  Type(spin, "64");
  other->Focus(true);
  PumpPending();
  EXPECT_FALSE(spin->HasFocus());
  EXPECT_EQ(valueCalls, 1);
  EXPECT_DOUBLE_EQ(announced[0], 64.0);
}

TEST_F(SpinInput, PaintsFramedButtonsWithArrows) {
  Show();
  spin->Redraw();
  ASSERT_NE(spin->buffer.GetImage(), nullptr);
  const CWULColor& face = spin->buttonColor;
  EXPECT_EQ(RGBAt(spin->buffer, 50, 2), Shade(face, 1.3125f));
  EXPECT_EQ(RGBAt(spin->buffer, 61, 6), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(spin->buffer, 48, 4), RGBOf(face));
  EXPECT_EQ(RGBAt(spin->buffer, 46, 8), RGBOf(wulColors[1]));
  // The tip of each arrow in the arrow colour.
  EXPECT_EQ(RGBAt(spin->buffer, 54, 5), 0u);
  EXPECT_EQ(RGBAt(spin->buffer, 54, 14), 0u);
  MouseDown(spin, Up().x, Up().y);
  EXPECT_EQ(RGBAt(spin->buffer, 50, 2), Shade(face, 0.75f));
  MouseUp(spin, Up().x, Up().y);
  EXPECT_EQ(RGBAt(spin->buffer, 50, 2), Shade(face, 1.3125f));
}

// --- edit with a button ---

int buttonClicks;
RECT clickedRect;
void CountButton(CWULButtonEdit*, const RECT* screen) {
  buttonClicks++;
  clickedRect = *screen;
}

class ButtonEdits : public Edits {
protected:
  void SetUp() override {
    Edits::SetUp();
    buttonClicks = 0;
    field = new CWULButtonEdit;
    field->SetBounds(20, 30, 80, 20);
    field->buttonCallback = CountButton;
  }
  CWULButtonEdit* field;
};

TEST_F(ButtonEdits, GeometryGivesAnOddButton) {
  EXPECT_EQ(field->GetBorderStyle(), 3);
  EXPECT_EQ(field->GetButtonWidth(), -1);
  EXPECT_TRUE(field->IsTabStop());
  EXPECT_TRUE(SameRect(field->buttonRect, 63, 2, 78, 18));
  EXPECT_TRUE(SameRect(field->editRect, 3, 3, 61, 17));
  field->SetButtonWidth(20);
  EXPECT_EQ(field->buttonRect.left, 58);
  field->SetBorderStyle(2);
  EXPECT_TRUE(SameRect(field->buttonRect, 59, 1, 79, 19));
  EXPECT_EQ(field->editRect.right, 58);
}

TEST_F(ButtonEdits, MouseClickOnTheButtonFiresItWithItsScreenRectangle) {
  Show();
  MouseDown(field, 70, 10);
  EXPECT_TRUE(field->pressed);
  EXPECT_EQ(buttonClicks, 0);
  MouseUp(field, 70, 10);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_FALSE(field->pressed);
  RECT screen;
  GetWindowRect(field->GetHandle(), &screen);
  EXPECT_EQ(clickedRect.left, screen.left + 63);
  EXPECT_EQ(clickedRect.bottom, screen.top + 18);
  // Off the button before the release: no click.
  MouseDown(field, 70, 10);
  MouseMove(field, 10, 10);
  EXPECT_FALSE(field->pressed);
  MouseUp(field, 10, 10);
  EXPECT_EQ(buttonClicks, 1);
  // Outside the button nothing starts.
  MouseDown(field, 2, 10);
  EXPECT_EQ(field->captureMode, 0);
}

TEST_F(ButtonEdits, CtrlSpacePressesTheButtonWithoutTyping) {
  KeyStateScope keys;
  field->SetText("Tahoma");
  Show();
  HWND native = field->GetEditWindow();
  keys.Press(VK_CONTROL);
  KeyDown(native, VK_SPACE);
  Char(native, ' ');
  EXPECT_TRUE(field->pressed);
  keys.Clear();
  KeyUp(native, VK_SPACE);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_STREQ(field->GetText(), "Tahoma");
  // A plain space is text.
  field->SetSelection(6, 6);
  KeyDown(native, VK_SPACE);
  Char(native, ' ');
  KeyUp(native, VK_SPACE);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_STREQ(field->GetText(), "Tahoma ");
}

TEST_F(ButtonEdits, LosingTheFocusCancelsAPress) {
  KeyStateScope keys;
  Show();
  if (!Focused(field))
    GTEST_SKIP() << "no focus on this display";
  keys.Press(VK_CONTROL);
  KeyDown(field->GetEditWindow(), VK_SPACE);
  EXPECT_TRUE(field->pressed);
  SetFocus(host->GetHandle());
  PumpPending();
  EXPECT_FALSE(field->pressed);
  EXPECT_EQ(field->captureMode, 0);
  keys.Clear();
  KeyUp(field->GetEditWindow(), VK_SPACE);
  EXPECT_EQ(buttonClicks, 0);
}

TEST_F(ButtonEdits, PaintsTheButtonWithThreeDots) {
  Show();
  field->Redraw();
  ASSERT_NE(field->buffer.GetImage(), nullptr);
  const CWULColor& face = field->faceColor;
  EXPECT_EQ(RGBAt(field->buffer, 66, 2), Shade(face, 1.3125f));
  EXPECT_EQ(RGBAt(field->buffer, 77, 8), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(field->buffer, 62, 8), RGBOf(wulColors[1]));
  EXPECT_EQ(RGBAt(field->buffer, 5, 2), Grey(224));
  // 15 wide: dots of 2 x 2, 3 apart, around the centre (70, 10).
  for (int x : {66, 67, 69, 70, 72, 73})
    EXPECT_EQ(RGBAt(field->buffer, x, 9), 0u) << x;
  EXPECT_EQ(RGBAt(field->buffer, 68, 9), RGBOf(face));
  EXPECT_EQ(RGBAt(field->buffer, 70, 11), RGBOf(face));
  MouseDown(field, 70, 10);
  EXPECT_EQ(RGBAt(field->buffer, 66, 2), Shade(face, 0.75f));
  EXPECT_EQ(RGBAt(field->buffer, 71, 11), 0u);
  MouseUp(field, 5, 5);
  field->Disable();
  field->Redraw();
  EXPECT_EQ(RGBAt(field->buffer, 70, 9), RGBOf(CWULColor(0, 0, 0).Blend(face, 0.5f)));
}

TEST_F(ButtonEdits, AnErrorInTheButtonCallbackStillReleasesTheButton) {
  field->buttonCallback = [](CWULButtonEdit*, const RECT*) { wulThrowError(5, "Test::Button", "no popup"); };
  Show();
  MouseDown(field, 70, 10);
  try {
    MouseUp(field, 70, 10);
    ADD_FAILURE() << "no error";
  } catch (const CWULError& error) {
    EXPECT_STREQ(error.description, "no popup");
  }
  EXPECT_FALSE(field->pressed);
  EXPECT_EQ(field->callbackDepth, 0);
}

}  // namespace
