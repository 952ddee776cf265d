#include "wul/WULPopupWindow.h"

CWULPopupWindow::CWULPopupWindow() {
  SetParent(nullptr);
  style |= WS_POPUP;
  exStyle |= WS_EX_TOOLWINDOW;
  flagsA &= ~(WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT);
}

LRESULT CWULPopupWindow::OnActivateApp(bool, DWORD) { return 0; }

LRESULT CWULPopupWindow::OnMouseActivate(HWND, int, int) { return MA_NOACTIVATE; }

HWND CWULPopupWindow::Incarnate(HWND parentWindow) {
  if (window)
    return window;
  const uint8_t remembered = flagsA;
  flagsB |= WUL_IF_INCARNATING;
  try {
    CreateIncarnation(parentWindow);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    SetEnabled((remembered & WUL_IF_ENABLED) != 0);
    SetVisible((remembered & WUL_IF_VISIBLE) != 0);
  } catch (...) {
    flagsB &= ~WUL_IF_INCARNATING;
    throw;
  }
  flagsB &= ~WUL_IF_INCARNATING;
  SyncFromWindow();
  return window;
}

bool CWULPopupWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (CWULInteractor::Dispatch(message, wParam, lParam, result))
    return true;
  switch (message) {
    case WM_ACTIVATEAPP:
      *result = OnActivateApp(wParam != 0, static_cast<DWORD>(lParam));
      return true;
    case WM_MOUSEACTIVATE:
      *result = OnMouseActivate(reinterpret_cast<HWND>(wParam), static_cast<short>(LOWORD(lParam)), HIWORD(lParam));
      return true;
    default:
      return false;
  }
}
