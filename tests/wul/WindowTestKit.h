#pragma once
// Helpers for the window tests: the framework started once, message pumping with a
// bounded wait, a top-level popup framed window to host children, and reading pixels
// back from an offscreen buffer.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include "common/BoxWatcher.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULOffscreen.h"
#include "wul/WULSystem.h"

inline void StartFramework() { WULInit(GetModuleHandleA(nullptr)); }

// Dispatches what is queued; an error kept by a window procedure comes out here.
inline void PumpPending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    wulDispatchMessage(&message);
    TranslateMessage(&message);
  }
}

// Pumps until the condition holds or about timeoutMs passed; returns the condition.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 3000) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpPending();
    if (condition())
      return true;
    const DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - waited, QS_ALLINPUT);
  }
}

// A top-level popup window without frame that hosts children.
class HostWindow : public CWULFramedWindow {
public:
  HostWindow(int left, int top, int w, int h) {
    style |= WS_POPUP;
    x = left;
    y = top;
    width = w;
    height = h;
  }
};

// Sets the default parent for the children built inside the scope.
class ParentScope {
public:
  explicit ParentScope(CWULInteractor* parent) { wulPushDefaultParent(parent); }
  ~ParentScope() { wulPopDefaultParent(); }
  ParentScope(const ParentScope&) = delete;
  ParentScope& operator=(const ParentScope&) = delete;
};

// The pixel at (x, y) of a buffer as 0xRRGGBB.
inline uint32_t RGBAt(const CWULOffscreenBuffer& buffer, int x, int y) {
  GdiFlush();
  return buffer.GetImage()->GetPixel(x, y) & 0xFFFFFFu;
}

inline uint32_t Grey(int level) { return static_cast<uint32_t>(level) * 0x010101u; }

// The screen point of a window-relative point of an incarnated interactor.
inline LPARAM ScreenPoint(CWULInteractor* interactor, int wx, int wy) {
  RECT rect;
  GetWindowRect(interactor->GetHandle(), &rect);
  return MAKELPARAM(rect.left + wx, rect.top + wy);
}

// Takes every queued message without dispatching it.
inline void DropQueuedMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

// Dispatches at most n queued messages, for pumping inside a handler where a deferred
// close keeps posting itself again.
inline void PumpSome(int n) {
  MSG message;
  for (int i = 0; i < n && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); i++) {
    wulDispatchMessage(&message);
    TranslateMessage(&message);
  }
}

// Closes the framework's error boxes while it lives.
struct BoxWatcherScope {
  BoxWatcher watcher{"WUL Error"};
};

// Starts with no key down, lets a test hold keys, and puts the thread's state back.
class KeyStateScope {
public:
  KeyStateScope() {
    GetKeyboardState(m_saved);
    BYTE none[256] = {};
    SetKeyboardState(none);
  }
  ~KeyStateScope() { SetKeyboardState(m_saved); }
  KeyStateScope(const KeyStateScope&) = delete;
  KeyStateScope& operator=(const KeyStateScope&) = delete;

  void Press(int key) {
    BYTE state[256];
    GetKeyboardState(state);
    state[key] = 0x80;
    SetKeyboardState(state);
  }
  void Clear() {
    BYTE none[256] = {};
    SetKeyboardState(none);
  }

private:
  BYTE m_saved[256];
};
