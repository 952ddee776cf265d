#pragma once
// Common base of the framework's popup windows (menu shells, tooltips, popup lists): a
// top-level tool window that never takes the activation and stays above other windows.
#include "wul/WULInteractor.h"

class CWULPopupWindow : public CWULInteractor {
public:
  // Detached from the default parent; WS_POPUP, WS_EX_TOOLWINDOW; own colour and font.
  CWULPopupWindow();

  // WM_ACTIVATEAPP; 0 here.
  virtual LRESULT OnActivateApp(bool active, DWORD thread);
  // WM_MOUSEACTIVATE; MA_NOACTIVATE here, so a click never activates the popup.
  virtual LRESULT OnMouseActivate(HWND topWindow, int hitTest, int mouseMessage);

  // Creates the window topmost, without activating it.
  HWND Incarnate(HWND parentWindow) override;
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
