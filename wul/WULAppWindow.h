#pragma once
// The framework's top-level window: the application's main window and every dialog. It
// draws its own frame, caption, caption buttons, system menu and menu bar, runs the
// modal loop of dialogs and the menu bar's loop, keeps the minimised and maximised states
// with the normal geometry, and turns a close request into the application's choice.
#include <windows.h>
#include <cstdint>
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULMenu.h"
#include "wul/WULOffscreen.h"
#include "wul/WULPaintKit.h"
#include "wul/WULTooltip.h"

class CWULPopupMenuShell;

// Frame kinds; WUL_FRAME_NONE (0) is the paint kit's.
enum {
  WUL_FRAME_THIN = 1,    // a 1-pixel line
  WUL_FRAME_FIXED = 2,
  WUL_FRAME_SIZING = 3
};

// Close actions, also the answers of the close-request handler; others leave the window open.
enum {
  WUL_CLOSE_MINIMIZE = 1,
  WUL_CLOSE_HIDE = 2,
  WUL_CLOSE_DESTROY = 3
};

// Window kinds.
enum {
  WUL_WINDOW_TOOL = 0,
  WUL_WINDOW_ORDINARY = 1,
  WUL_WINDOW_TASKBAR = 2
};

// Caption styles.
enum {
  WUL_CAPTION_PLAIN = 1,
  WUL_CAPTION_SHADED = 2
};

// Mouse modes.
enum {
  WUL_MODE_NONE = 0,
  WUL_MODE_ALT = 1,       // Alt pressed alone
  WUL_MODE_F10 = 2,
  WUL_MODE_SIZEMOVE = 3,
  WUL_MODE_BUTTON = 4     // a caption button is being pressed
};

// Values of the system menu's items.
enum {
  WUL_SYSMENU_RESTORE = 1,
  WUL_SYSMENU_MOVE = 2,
  WUL_SYSMENU_SIZE = 3,
  WUL_SYSMENU_MINIMIZE = 4,
  WUL_SYSMENU_MAXIMIZE = 5,
  WUL_SYSMENU_CLOSE = 7
};

enum {
  WUL_MSG_SYSTEM_MENU_REQUEST = WM_USER + 1,  // lParam: the screen point
  WUL_MSG_POPUP_SYSTEM_MENU = 0x313           // sent by the system for a right click on the taskbar button
};

// One running modal loop of a window, kept on the loop's stack: the window's destructor
// marks it, so that the loop ends without touching the deleted window.
struct WULModalRun {
  WULModalRun* outer;  // the loop this one runs inside, for the same window
  int32_t result;      // the modal result when the window was deleted
  bool destroyed;
};

class CWULAppWindow : public CWULFramedWindow {
public:
  typedef void (*ActivateHandler)(CWULAppWindow* window, bool minimized);
  typedef int (*CloseRequestHandler)(CWULAppWindow* window);

  // Hidden, not incarnated, with a caption.
  CWULAppWindow();
  // Re-enables windows a modal loop disabled, deletes the menus; posts WM_QUIT when asked.
  ~CWULAppWindow() override;

  // Null: the work area. The window stays inside the work area.
  virtual void CenterOnRect(const RECT* rect);
  virtual void CenterOnWindow(HWND other);
  virtual void CenterOnInteractor(CWULInteractor* other);
  // Gives the clamped geometry to the window again.
  virtual void RefreshPosition();
  virtual void BringToForeground();
  virtual void Minimize();
  virtual void Maximize();
  virtual void Restore();
  // WM_CLOSE to the window, or Close without one.
  virtual void RequestClose();
  // Runs the dialog's loop until the window closes; returns the modal result.
  virtual int ShowModal(int initial);
  virtual void EndModal(int value);
  virtual int GetModalResult();
  virtual int GetFrameKind();
  virtual void SetFrameKind(int kind);
  virtual bool HasCaption();
  virtual void SetCaption(bool on);
  virtual bool HasSystemMenu();
  virtual void SetSystemMenu(bool on);
  virtual bool HasCloseBox();
  virtual void SetCloseBox(bool on);
  virtual bool HasMinimizeBox();
  virtual void SetMinimizeBox(bool on);
  virtual bool HasMaximizeBox();
  virtual void SetMaximizeBox(bool on);
  virtual HICON GetBigIcon();
  virtual void SetBigIcon(HICON icon);
  virtual HICON GetSmallIcon();
  virtual void SetSmallIcon(HICON icon);
  virtual CWULMenu* GetSystemMenu();
  virtual CWULMenu* GetMenu();
  // The window owns the menu bar's menu. Throws CWULError 1 for a menu shown elsewhere.
  virtual void SetMenu(CWULMenu* newMenu);
  virtual int GetCaptionStyle();
  virtual void SetCaptionStyle(int value);
  virtual int GetMinClientWidth();
  virtual void SetMinClientWidth(int value);
  virtual int GetMinClientHeight();
  virtual void SetMinClientHeight(int value);
  virtual int GetMaxClientWidth();
  virtual void SetMaxClientWidth(int value);   // -1: none
  virtual int GetMaxClientHeight();
  virtual void SetMaxClientHeight(int value);
  virtual int GetWindowKind();
  virtual void SetWindowKind(int kind);
  virtual int GetCloseAction();
  virtual void SetCloseAction(int action);
  virtual bool GetForwardWheel();
  virtual void SetForwardWheel(bool on);
  virtual bool GetQuitOnDestroy();
  virtual void SetQuitOnDestroy(bool on);
  virtual bool IsTopmost();
  virtual void SetTopmost(bool on);
  virtual bool IsMinimized();
  virtual void SetMinimized(bool on);
  virtual bool IsMaximized();
  virtual void SetMaximized(bool on);
  virtual bool IsActive();
  virtual int ClampWidth(int value);
  virtual int ClampHeight(int value);
  virtual void ApplySizeLimits();
  virtual void CreateSystemMenu();
  virtual void UpdateSystemMenu();
  virtual void DestroySystemMenu();
  // Screen rectangle and shell flags; runs the chosen command.
  virtual void PopupSystemMenu(const RECT* rect, int flags);
  virtual void PopupSystemMenuAt(int sx, int sy, bool keyboard);
  virtual void PopupSystemMenuAtIcon(bool keyboard);
  // Window coordinates.
  virtual void HoverMenuBar(int hx, int hy);
  virtual void EnterMenuLoop();
  virtual void ExitMenuLoop();
  virtual void MenuLoop();
  virtual void OnMenuOpened();
  virtual void OnMenuClosed();
  // Closes an open submenu; the loop opens the item's submenu next.
  virtual void OpenSubmenu(CWULMenuItem* item);
  virtual void SelectFirstMenuItem();
  virtual void SetHotItem(CWULMenuItem* item);
  virtual void NextMenuItem();
  virtual void PrevMenuItem();
  virtual void InvokeMenuItem(CWULMenuItem* item);
  virtual void ShowItemHint(CWULMenuItem* item);
  virtual void HideItemHint();
  virtual void MenuMnemonic(int ch);
  virtual void MeasureMenuBarItem(HDC dc, CWULMenuItem* item);
  // Into the menu bar's buffer, in its coordinates.
  virtual void PaintMenuBarItem(HDC dc, CWULMenuItem* item);
  // Null: the window's own DC.
  virtual void PaintMenuBar(HDC dc);
  virtual void PaintCaptionBackground(HDC dc, const RECT* rect, bool isActive);
  // Into the caption's buffer, in its coordinates; button is HTCLOSE, HTMAXBUTTON or HTMINBUTTON.
  virtual void PaintCaptionButton(HDC dc, int button);
  virtual void PaintCaption(HDC dc);
  virtual void PaintFrame(HDC dc);
  virtual LRESULT OnGetMinMaxInfo(MINMAXINFO* info);
  virtual LRESULT OnEnterSizeMove();
  virtual LRESULT OnExitSizeMove();
  virtual LRESULT OnNcActivate(bool isActive);
  virtual LRESULT OnActivate(int state, bool minimized, LPARAM lParam);
  virtual LRESULT OnSysCommand(WPARAM command, int sx, int sy);
  virtual LRESULT OnPopupSystemMenu(int sx, int sy);
  virtual LRESULT OnSystemMenuRequest(int sx, int sy);
  virtual LRESULT OnCloseRequest();

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void SetPosition(int newX, int newY) override;
  void SetSize(int newWidth, int newHeight) override;
  void SetBounds(int newX, int newY, int newWidth, int newHeight) override;
  void SetText(const char* newText) override;
  void SetVisible(bool on) override;
  HWND Incarnate(HWND parentWindow) override;
  void ComputeInsets() override;
  bool HitTest(int hx, int hy) override;
  void MouseHover(int hx, int hy) override;
  void MouseLeave() override;
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT OnNcHitTest(int hx, int hy) override;
  LRESULT PaintNonClient(HDC dc) override;
  LRESULT OnNcLButtonDown(int hit, int nx, int ny) override;
  LRESULT OnNcLButtonDblClk(int hit, int nx, int ny) override;
  LRESULT OnNcRButtonDown(int hit, int nx, int ny) override;
  LRESULT OnNcRButtonUp(int hit, int nx, int ny) override;
  LRESULT OnNcMButtonDown(int hit, int nx, int ny) override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnRButtonDown(int keys, int mx, int my) override;
  LRESULT OnMButtonDown(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnChar(int key, LPARAM lParam) override;
  LRESULT OnSysKeyDown(int key, LPARAM lParam) override;
  LRESULT OnSysKeyUp(int key, LPARAM lParam) override;
  LRESULT OnSysChar(int key, LPARAM lParam) override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnWindowPosChanged(WINDOWPOS* position) override;
  void OnParentNotify(int event, int id, LPARAM lParam) override;

  // The frame thickness of the current frame kind.
  int FrameInset() const;
  // The bar item under a point in window coordinates, separators excluded; null when none.
  CWULMenuItem* MenuBarItemAt(int hx, int hy);
  bool InMenuLoop() const { return inMenuLoop != 0; }

  ActivateHandler activatedHandler;
  ActivateHandler deactivatedHandler;
  CloseRequestHandler closeRequestHandler;
  int32_t frameKind;
  uint8_t hasCaption;
  uint8_t hasSystemMenu;
  uint8_t hasCloseBox;
  uint8_t hasMinimizeBox;
  uint8_t hasMaximizeBox;
  HICON bigIcon;
  HICON smallIcon;
  CWULMenu* menu;  // the menu bar, owned
  int32_t captionStyle;
  int32_t minClientWidth;
  int32_t minClientHeight;
  int32_t maxClientWidth;
  int32_t maxClientHeight;
  int32_t windowKind;
  int32_t closeAction;
  uint8_t forwardWheel;
  uint8_t forwardingWheel;  // set while a wheel message is passed to the window under the pointer
  uint8_t quitOnDestroy;
  uint8_t topmost;
  uint8_t minimized;
  uint8_t maximized;
  uint8_t active;
  // The geometry to restore to while minimised or maximised.
  RECT normalGeometry;  // x, y, width, height in left, top, right, bottom
  // Non-client layout, in window coordinates.
  RECT captionRect;
  RECT iconRect;
  RECT closeRect;
  RECT maximizeRect;
  RECT minimizeRect;
  uint8_t closePressed;
  uint8_t maximizePressed;
  uint8_t minimizePressed;
  RECT menuBarRect;
  int32_t menuItemsEnd;
  CWULOffscreenBuffer* captionBuffer;
  CWULOffscreenBuffer* menuBarBuffer;
  int32_t mouseMode;
  int32_t lastHit;
  int32_t pressedButton;  // the hit code of the caption button held down, 0 when none
  uint8_t inMenuLoop;
  CWULMenuItem* pendingResult;
  uint8_t keyboardOpened;
  CWULMenuItem* submenuToOpen;
  CWULPopupMenuShell* submenuShell;
  CWULMenuItem* lastShellItem;  // the item whose submenu shell closed last, for a second click
  CWULHintSlot hintSlot;  // the hot item's hint
  DWORD hotTime;
  uint8_t suppressKeyMenu;
  HWND rememberedFocus;
  CWULMenu* systemMenu;
  CWULMenuItem* sysRestore;
  CWULMenuItem* sysMove;
  CWULMenuItem* sysSize;
  CWULMenuItem* sysMinimize;
  CWULMenuItem* sysMaximize;
  CWULMenuItem* sysClose;
  int32_t modalResult;
  WULDisabledWindow* disabledWindows;
  WULModalRun* modalRun;  // the innermost ShowModal running, null when none

private:
  void LayoutCaption(int top);
  int LayoutMenuBar(int top);
  void ApplyStyleBit(DWORD bit, bool on);
  void RunSubmenu(CWULMenuItem* item);
  void StartMenuAt(CWULMenuItem* item, bool keyboard);
  void PaintNonClientParts();
  HDC WindowDC();
};
