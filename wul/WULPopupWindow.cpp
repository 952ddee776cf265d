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
  return IncarnateWith(parentWindow, [](CWULInteractor* self) {
    SetWindowPos(self->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  });
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
