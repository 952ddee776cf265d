#pragma once
// Key messages as the system makes them.
#include <windows.h>

// The lParam of a WM_KEYDOWN (up false) or WM_KEYUP (up true) for a virtual key: a repeat
// count of 1 and the key's scan code.
inline LPARAM KeyParam(int key, bool up) {
  LPARAM value = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
  if (up)
    value |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
  return value;
}

// A key pressed and released in a window, sent.
inline void SendKeyStroke(HWND window, int key) {
  SendMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(key), KeyParam(key, false));
  SendMessageA(window, WM_KEYUP, static_cast<WPARAM>(key), KeyParam(key, true));
}
