#pragma once
// Helpers for the control tests: a fixture with a shown host window, clicks and keys
// sent as real messages, and the look's shades as 0xRRGGBB values.
#include <gtest/gtest.h>
#include <windows.h>
#include "FrameworkProbe.h"
#include "WindowTestKit.h"
#include "common/KeyMessages.h"
#include "wul/WULColor.h"
#include "wul/WULInteractor.h"

class ControlTest : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    host = new HostWindow(60, 60, 320, 240);
    wulPushDefaultParent(host);
  }
  void TearDown() override {
    wulPopAllDefaultParents();
    if (host)
      delete host;
    host = nullptr;
    DropQueuedMessages();
  }
  // Makes the windows of everything built so far and brings the host to the front.
  void Show() {
    wulPopAllDefaultParents();
    host->IncarnateTree(nullptr);
    SetForegroundWindow(host->GetHandle());
    PumpPending();
  }
  // A focus that the display really gives; false when it gives none.
  static bool Focused(CWULInteractor* control) {
    control->Focus(true);
    PumpPending();
    return control->HasFocus();
  }

  HostWindow* host = nullptr;
};

inline void MouseDown(CWULInteractor* control, int mx, int my) {
  wulSendMessage(control->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(mx, my));
}
inline void MouseMove(CWULInteractor* control, int mx, int my) {
  wulSendMessage(control->GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(mx, my));
}
inline void MouseUp(CWULInteractor* control, int mx, int my) {
  wulSendMessage(control->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(mx, my));
}
inline void Click(CWULInteractor* control, int mx, int my) {
  MouseDown(control, mx, my);
  MouseUp(control, mx, my);
}

inline LRESULT KeyDown(HWND target, int key) { return wulSendMessage(target, WM_KEYDOWN, key, KeyParam(key, false)); }
inline LRESULT KeyUp(HWND target, int key) { return wulSendMessage(target, WM_KEYUP, key, KeyParam(key, true)); }
inline LRESULT Char(HWND target, int ch) { return wulSendMessage(target, WM_CHAR, ch, KeyParam(0, false)); }
// A whole key stroke through the queue: the loop's dispatch and translation make the
// character as for a real key.
inline void PostKeyStroke(HWND target, int key) {
  PostMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
  PostMessageA(target, WM_KEYUP, key, KeyParam(key, true));
  PumpPending();
}

// Shades of the look as 0xRRGGBB.
inline uint32_t Shade(const CWULColor& color, float factor) { return color.Scale(factor).value & 0xFFFFFFu; }
inline uint32_t RGBOf(const CWULColor& color) { return color.value & 0xFFFFFFu; }
