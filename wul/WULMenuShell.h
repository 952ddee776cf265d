#pragma once
// The popup window that shows a CWULMenu: lays the items out in one column, paints them,
// follows the pointer and the keyboard, opens submenu shells beside items and runs its
// own modal loop until an item is chosen or the menu is dismissed.
#include <windows.h>
#include <cstdint>
#include "wul/WULMenu.h"
#include "wul/WULOffscreen.h"
#include "wul/WULPopupWindow.h"
#include "wul/WULTooltip.h"

// Placement flags of a shell.
enum {
  WUL_SHELL_PREFER_LEFT = 1,
  WUL_SHELL_PREFER_RIGHT = 2,  // cancels 1
  WUL_SHELL_PREFER_UP = 4,
  WUL_SHELL_PREFER_DOWN = 8,   // cancels 4
  WUL_SHELL_ALIGN_X = 16,      // align with the rectangle's left or right edge
  WUL_SHELL_ALIGN_Y = 32,      // align with the rectangle's top or bottom edge
  WUL_SHELL_KEYBOARD = 64      // opened by keyboard: the first item is highlighted
};

// Placement results.
enum {
  WUL_PLACED_LEFT = 1,
  WUL_PLACED_RIGHT = 2
};

class CWULPopupMenuShell : public CWULPopupWindow {
public:
  CWULPopupMenuShell();
  ~CWULPopupMenuShell() override;

  // A new shell; when none can be made, throws CWULError 5 naming where and saying what.
  static CWULPopupMenuShell* Create(const char* where, const char* what);
  // Gets rid of a shell after a failure: one with a window is closed (its window's
  // destruction deletes it), one without is deleted.
  static void Discard(CWULPopupMenuShell* shell);

  // Shows the shell and runs its loop; the chosen item, or null. Closes the shell.
  virtual CWULMenuItem* Run();
  virtual void EndLoop();
  virtual CWULMenu* GetMenu();
  // Throws CWULError 1 for a menu that another shell or window shows.
  virtual void SetMenu(CWULMenu* newMenu);
  virtual void GetExcludeRect(RECT* rect);
  // Screen coordinates of the area beside which the shell opens.
  virtual void SetExcludeRect(const RECT* rect);
  virtual int GetFlags();
  virtual void SetFlags(int value);
  virtual void Layout();
  virtual void Position();
  // Evaluates the position even when the pointer did not move.
  virtual void Rehover(int hx, int hy);
  virtual void WakeLoop();
  virtual void MenuLoop();
  virtual void OnOpen();
  virtual void OnClose();
  // Closes an open submenu; the loop opens the item's submenu next.
  virtual void OpenSubmenu(CWULMenuItem* item);
  virtual void CloseSubmenu();
  virtual void HighlightFirst();
  virtual void SetHighlighted(CWULMenuItem* item);
  virtual void HighlightNext();
  virtual void HighlightPrev();
  virtual void Choose(CWULMenuItem* item);
  virtual void ShowHint(CWULMenuItem* item);
  virtual void HideHint();
  virtual void ChooseByKey(int ch);
  virtual void MeasureShortcuts(HDC dc);
  virtual void MeasureItem(HDC dc, CWULMenuItem* item);
  virtual void PaintItem(HDC dc, CWULMenuItem* item);

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void MouseHover(int hx, int hy) override;
  void MouseLeave() override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnSysKeyDown(int key, LPARAM lParam) override;
  LRESULT OnChar(int key, LPARAM lParam) override;
  LRESULT OnSysChar(int key, LPARAM lParam) override;
  LRESULT OnKeyUp(int key, LPARAM lParam) override;
  LRESULT OnSysKeyUp(int key, LPARAM lParam) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnActivateApp(bool active, DWORD thread) override;

  bool IsRunning() const { return running != 0; }
  // The item under the point (window coordinates), separators excluded; null when none.
  CWULMenuItem* ItemAt(int hx, int hy);
  // Paints the item into the window at once.
  void RepaintItem(CWULMenuItem* item);

  CWULMenu* menu;
  RECT excludeRect;
  int32_t flags;
  uint8_t running;
  CWULMenuItem* result;
  int32_t resultValue;  // the result's value, taken when it was chosen
  int32_t shortcutWidth;
  int32_t lastX;
  int32_t lastY;
  DWORD highlightTime;
  uint8_t hintAllowed;
  uint8_t moved;
  int32_t placement;  // WUL_PLACED_ value, plus WUL_SHELL_KEYBOARD while keys drive the menu
  CWULMenuItem* pendingItem;
  CWULHintSlot hintSlot;  // the highlighted item's hint
  CWULPopupMenuShell* submenuShell;
  CWULOffscreenBuffer* itemBuffer;

private:
  void TakeMenuLook();
};
