#pragma once
// Drives a modal framework dialog from inside its own loop: a thread timer finds the
// dialog by its caption once it is shown and runs the test's action on it, then closes it
// after a few seconds should the action have left it open, so that a failing test ends.
#include <windows.h>
#include <functional>
#include <string>
#include "common/KeyMessages.h"
#include "wul/WULAppWindow.h"
#include "wul/WULInit.h"
#include "wul/WULProtoEdit.h"
#include "wul/WULSystem.h"

// Handles what is queued, inside a dialog's loop; a deferred close is left to that loop.
inline void PumpInDialog() {
  MSG message;
  for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (message.message == WUL_MSG_DEFERRED_CLOSE) {
      PostMessageA(message.hwnd, message.message, message.wParam, message.lParam);
      return;
    }
    wulDispatchMessage(&message);
    TranslateMessage(&message);
  }
}

class BoxDriver {
public:
  typedef std::function<void(CWULAppWindow* dialog)> Action;

  // Runs open (which shows the dialog and returns its answer) with action applied to the
  // dialog captioned caption. Ran() tells whether the action ran, TimedOut() whether the
  // dialog had to be closed by the driver.
  static int Run(const char* caption, const Action& action, const std::function<int()>& open) {
    State& s = state();
    s.caption = caption;
    s.action = action;
    s.ran = false;
    s.timedOut = false;
    s.ticksAfter = 0;
    s.handle = nullptr;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    const int result = open();
    KillTimer(nullptr, timer);
    s.action = nullptr;
    return result;
  }
  static bool Ran() { return state().ran; }
  static bool TimedOut() { return state().timedOut; }

  // The visible top-level window of this thread with the caption, or null.
  static HWND Find(const char* caption) {
    Search search{caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  static CWULInteractor* InteractorOf(HWND window) {
    return window ? reinterpret_cast<CWULInteractor*>(GetWindowLongPtrA(window, GWLP_USERDATA)) : nullptr;
  }

  // A key stroke to the window with the focus (the dialog when the focus is elsewhere).
  static void PostKey(CWULAppWindow* dialog, int key) {
    HWND target = GetFocus();
    if (!target || (target != dialog->GetHandle() && !IsChild(dialog->GetHandle(), target)))
      target = dialog->GetHandle();
    PostMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
    PostMessageA(target, WM_KEYUP, key, KeyParam(key, true));
  }
  // A left click at a point of a control's client area.
  static void PostClick(CWULInteractor* control, int cx, int cy) {
    PostMessageA(control->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
    PostMessageA(control->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    PostMessageA(control->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
  }

  // The same click sent, so that it has happened when the call returns.
  static void SendClick(CWULInteractor* control, int cx, int cy) {
    SendMessageA(control->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
    SendMessageA(control->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    SendMessageA(control->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
  }
  // Replaces the text of an edit by typing into its native edit.
  static void Retype(CWULProtoEdit* edit, const char* characters) {
    HWND target = edit->GetEditWindow();
    SendMessageA(target, EM_SETSEL, 0, -1);
    for (const char* p = characters; *p; p++)
      SendMessageA(target, WM_CHAR, static_cast<unsigned char>(*p), 1);
  }

private:
  struct State {
    std::string caption;
    Action action;
    bool ran = false;
    bool timedOut = false;
    int ticksAfter = 0;
    HWND handle = nullptr;
  };
  struct Search {
    const char* caption;
    HWND found;
  };

  static State& state() {
    static State s;
    return s;
  }

  static BOOL CALLBACK FindProc(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && lstrcmpA(title, search->caption) == 0) {
      search->found = window;
      return FALSE;
    }
    return TRUE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    State& s = state();
    if (!s.ran) {
      HWND found = Find(s.caption.c_str());
      auto* dialog = dynamic_cast<CWULAppWindow*>(InteractorOf(found));
      if (!dialog)
        return;
      s.ran = true;
      s.handle = found;
      if (s.action)
        s.action(dialog);
      return;
    }
    if (s.handle && IsWindow(s.handle) && ++s.ticksAfter > 100) {
      s.timedOut = true;
      PostMessageA(s.handle, WM_CLOSE, 0, 0);
      s.ticksAfter = 0;
    }
  }
};
