#pragma once
// Presses the close box of a framework top-level window as the user does: a press and a
// release at the right end of its caption, where the frame's layout puts the box.
#include <windows.h>
#include "wul/WULAppWindow.h"

// False when the caption's right end is not a close box; the window is then closed with
// WM_CLOSE, so that a modal loop waiting on it still ends.
inline bool ClickCloseBox(HWND window) {
  auto* app = static_cast<CWULAppWindow*>(reinterpret_cast<CWULInteractor*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
  RECT frame;
  GetWindowRect(window, &frame);
  const RECT caption = app->captionRect;
  POINT at = {frame.left + caption.right - 4, frame.top + (caption.top + caption.bottom) / 2};
  if (SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) != HTCLOSE) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return false;
  }
  SendMessageA(window, WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(at.x, at.y));
  ScreenToClient(window, &at);
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  return true;
}
