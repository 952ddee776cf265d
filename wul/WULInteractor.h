#pragma once
// Root class of every framework window. It keeps a tree of interactors that mirrors the
// native window tree, holds the geometry, flags, colour, font, cursor and text of its
// window, creates the native window on demand and turns each message of the window
// (routed here by the shared window procedure through GWLP_USERDATA) into a call of a
// virtual operation. The application's handlers are plain function pointers in public
// fields; each runs inside the callback bracket, so that the window is not destroyed
// while one of its handlers runs.
#include <windows.h>
#include <cstdint>
#include "wul/WULColor.h"
#include "wul/WULFont.h"
#include "wul/WULObject.h"
#include "wul/WULString.h"

// Flags A.
enum {
  WUL_IF_VISIBLE = 0x01,
  WUL_IF_ENABLED = 0x02,
  WUL_IF_FOCUSED = 0x04,
  WUL_IF_TAB_STOP = 0x08,
  WUL_IF_TAB_GROUP = 0x10,
  WUL_IF_AUTO_REDRAW = 0x20,
  WUL_IF_PARENT_COLOR = 0x40,
  WUL_IF_PARENT_FONT = 0x80
};

// Flags B.
enum {
  WUL_IF_HOVER_WANTED = 0x01,
  WUL_IF_POINTER_INSIDE = 0x02,
  WUL_IF_CONSTRUCTING = 0x04,
  WUL_IF_INCARNATING = 0x08,
  WUL_IF_APPLYING_STYLES = 0x10,
  WUL_IF_SIZE_PENDING = 0x20,
  WUL_IF_POSITION_PENDING = 0x40,
  WUL_IF_ERASE_SUPPRESSED = 0x80
};

// Flags C.
enum {
  WUL_IF_CLOSING = 0x01,
  WUL_IF_IN_DESTRUCTOR = 0x02
};

// Notification codes between an interactor and its children.
enum {
  WUL_NOTIFY_PARENT_COLOR = 1,
  WUL_NOTIFY_PARENT_FONT = 2
};

enum {
  WUL_HOVER_TIMER_ID = 19796,            // 0x4D54
  WUL_MSG_DEFERRED_CLOSE = WM_USER,      // posted by Close
  WUL_MSG_FORWARDED_WHEEL = WM_USER + 2  // a wheel message passed on by a top-level window
};

class CWULInteractor : public CWULObject {
public:
  typedef bool (*MessageHook)(CWULInteractor* self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  typedef void (*Handler)(CWULInteractor* self);
  typedef int (*SetCursorHandler)(CWULInteractor* self, HCURSOR* cursor, int hitTest, int x, int y);
  typedef void (*MouseHandler)(CWULInteractor* self, int keys, int x, int y);
  typedef bool (*WheelAcceptHandler)(CWULInteractor* self, int x, int y);
  typedef int (*WheelHandler)(CWULInteractor* self, float* notches, int keys, int x, int y);
  typedef int (*KeyHandler)(CWULInteractor* self, int* key, LPARAM lParam);

  // Attaches itself to the calling thread's default parent; no window yet.
  CWULInteractor();
  // Deletes the children and destroys the window.
  ~CWULInteractor() override;

  // Colour and font inheritance.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  virtual bool IsAncestorOf(const CWULInteractor* other) const;
  // Places within the parent's child list (the layout and Tab order); the native Z order stays.
  virtual void MoveToFront();
  virtual void MoveToBack();
  virtual void MoveBefore(CWULInteractor* sibling);
  virtual void MoveAfter(CWULInteractor* sibling);

  virtual void SetPosition(int newX, int newY);
  virtual void SetSize(int newWidth, int newHeight);
  virtual void SetBounds(int newX, int newY, int newWidth, int newHeight);
  // SetBounds with the size first.
  virtual void SetSizePosition(int newWidth, int newHeight, int newX, int newY);
  virtual void SetRect(const RECT* rect);
  virtual void SetRect(int left, int top, int right, int bottom);
  virtual void GetRect(RECT* rect);
  virtual void GetScreenRect(RECT* rect);

  // Creates the native window (a child of the parent's window, else of parentWindow).
  virtual HWND Incarnate(HWND parentWindow);
  // Incarnates this interactor, then each child's tree; a child's error is shown and
  // the next child follows.
  virtual void IncarnateTree(HWND parentWindow);
  // Ends the interactor and its children once no handler of theirs runs any more.
  virtual void Close();
  virtual void Show();
  virtual void Hide();
  virtual void Enable();
  virtual void Disable();
  virtual void SetFocus();
  virtual void Redraw(const RECT* rect);
  virtual void Redraw();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void SetParent(CWULInteractor* newParent);
  // The next and previous interactor of the Tab order that can take the focus; null when none.
  virtual CWULInteractor* PrevTabStop();
  virtual CWULInteractor* NextTabStop();
  virtual HWND GetHandle();
  virtual const char* GetText();
  virtual void SetText(const char* newText);

  virtual int GetWidth();
  virtual void SetWidth(int value);
  virtual int GetHeight();
  virtual void SetHeight(int value);
  virtual int GetX();
  virtual void SetX(int value);
  virtual int GetY();
  virtual void SetY(int value);
  virtual int GetRight();
  virtual void SetRight(int value);  // moves, keeping the width
  virtual int GetBottom();
  virtual void SetBottom(int value);
  virtual int GetScreenLeft();
  virtual int GetScreenTop();
  virtual int GetScreenRight();
  virtual int GetScreenBottom();

  virtual bool IsVisible();
  virtual void SetVisible(bool on);
  virtual bool IsEnabled();
  virtual void SetEnabled(bool on);
  virtual bool IsTabStop();
  virtual void SetTabStop(bool on);
  virtual bool CanFocus();
  virtual bool HasFocus();
  virtual bool Focus(bool on);
  virtual bool IsTabGroup();
  virtual void SetTabGroup(bool on);
  virtual bool GetAutoRedraw();
  virtual void SetAutoRedraw(bool on);
  virtual HCURSOR GetCursor();
  virtual void SetCursor(HCURSOR newCursor);
  virtual bool GetParentColor();
  virtual void SetParentColor(bool on);
  virtual bool GetParentFont();
  virtual void SetParentFont(bool on);
  // The effective colour and font: the parent's while inherited.
  virtual CWULColor& GetColor();
  virtual CWULFont& GetFont();
  // The layout code the parent's layout reads; 0 is none.
  virtual int GetAlignment();
  virtual void BeginCallback();
  virtual void EndCallback();
  virtual void AddChild(CWULInteractor* child);
  virtual void RemoveChild(CWULInteractor* child);
  virtual void CreateIncarnation(HWND parentWindow);
  virtual void ApplyStyles();
  virtual void SyncFromWindow();
  virtual void OnColorChanged();
  virtual void OnFontChanged();
  virtual void OnGeometryChanged();
  virtual void GeometryHook();
  virtual void CheckSize();
  virtual void CheckPosition();
  virtual void OnSizeChanged();
  virtual void OnPositionChanged();
  // x, y relative to the window's top-left corner.
  virtual bool HitTest(int hx, int hy);
  virtual void MouseEnter(int mx, int my);
  virtual void MouseHover(int mx, int my);
  virtual void MouseLeave();
  virtual bool AcceptsWheel(int wx, int wy);
  // False when the message was not handled; then the default procedure answers it.
  virtual bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT OnNcHitTest(int hx, int hy);
  virtual LRESULT OnSetCursor(WPARAM wParam, int hitTest, int mouseMessage);
  virtual LRESULT OnMouseMove(int keys, int mx, int my);
  virtual LRESULT OnTimer(WPARAM id, LPARAM lParam);
  virtual LRESULT OnLButtonDown(int keys, int mx, int my);
  virtual LRESULT OnLButtonUp(int keys, int mx, int my);
  virtual LRESULT OnLButtonDblClk(int keys, int mx, int my);
  virtual LRESULT OnRButtonDown(int keys, int mx, int my);
  virtual LRESULT OnRButtonUp(int keys, int mx, int my);
  virtual LRESULT OnRButtonDblClk(int keys, int mx, int my);
  virtual LRESULT OnMButtonDown(int keys, int mx, int my);
  virtual LRESULT OnMButtonUp(int keys, int mx, int my);
  virtual LRESULT OnMButtonDblClk(int keys, int mx, int my);
  virtual LRESULT OnCaptureChanged(HWND newCapture);
  virtual LRESULT OnSetFocus(HWND previous);
  virtual LRESULT OnKillFocus(HWND next);
  // -1: not handled, passed on to the listener's window.
  virtual LRESULT OnMouseWheel(float notches, int keys, int wx, int wy);
  virtual LRESULT OnKeyDown(int key, LPARAM lParam);
  virtual LRESULT OnKeyUp(int key, LPARAM lParam);
  virtual LRESULT OnChar(int key, LPARAM lParam);
  virtual LRESULT OnSysKeyDown(int key, LPARAM lParam);
  virtual LRESULT OnSysKeyUp(int key, LPARAM lParam);
  virtual LRESULT OnSysChar(int key, LPARAM lParam);
  virtual LRESULT OnCommand(int notifyCode, int id, HWND control);
  virtual LRESULT OnEraseBackground(HDC dc);
  virtual LRESULT OnPaint(PAINTSTRUCT* paint);
  virtual LRESULT OnNcCalcSize(bool validRects, LPARAM lParam);
  virtual LRESULT OnWindowPosChanging(WINDOWPOS* position);
  virtual LRESULT OnWindowPosChanged(WINDOWPOS* position);
  virtual LRESULT OnStyleChanged();
  virtual LRESULT OnEnable();
  virtual LRESULT OnCancelMode();
  virtual LRESULT OnDeferredClose();
  virtual LRESULT OnDestroy();

  // Handlers, all null at construction.
  MessageHook messageHook;          // every message, before the own handling
  Handler deletedHandler;           // in the destructor
  Handler createdHandler;           // after the window was created
  Handler destroyedHandler;         // WM_DESTROY
  SetCursorHandler setCursorHandler;  // 1: use the cursor
  MouseHandler mouseMoveHandler;
  MouseHandler leftDownHandler;
  MouseHandler leftUpHandler;
  MouseHandler leftDoubleClickHandler;
  MouseHandler rightDownHandler;
  MouseHandler rightUpHandler;
  MouseHandler rightDoubleClickHandler;
  MouseHandler middleDownHandler;
  MouseHandler middleUpHandler;
  MouseHandler middleDoubleClickHandler;
  Handler focusGainedHandler;
  Handler focusLostHandler;
  WheelAcceptHandler wheelAcceptHandler;
  WheelHandler wheelHandler;  // 1: consumed
  KeyHandler keyDownHandler;  // may change the key, 0 drops it; 1: consumed
  KeyHandler keyUpHandler;
  KeyHandler charHandler;
  KeyHandler sysKeyDownHandler;
  KeyHandler sysKeyUpHandler;
  KeyHandler sysCharHandler;
  Handler captureLostHandler;
  Handler sizeChangedHandler;
  Handler movedHandler;

  CWULColor color;  // own colour
  CWULFont font;    // own font
  uint8_t flagsA;
  uint8_t flagsB;
  uint8_t flagsC;
  int32_t callbackDepth;  // running handlers of this interactor and its descendants
  HWND window;
  DWORD style;
  DWORD exStyle;
  CWULInteractor* parent;
  CWULInteractor* prevSibling;
  CWULInteractor* nextSibling;
  CWULInteractor* firstChild;
  CWULInteractor* lastChild;
  int32_t childCount;
  // In the parent's client coordinates (screen coordinates for top-level windows).
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
  int32_t checkedWidth;
  int32_t checkedHeight;
  int32_t checkedX;
  int32_t checkedY;
  HCURSOR cursor;  // client-area cursor, null for the class default
  CWULString text;

protected:
  // What Incarnate does: creates the window, runs setUp (when given) on it, then shows the
  // remembered enabled and visible states.
  HWND IncarnateWith(HWND parentWindow, void (*setUp)(CWULInteractor* self));
  // Hover tracking of WM_MOUSEMOVE and WM_NCMOUSEMOVE.
  void TrackHover(UINT message, LPARAM lParam);
  // Sends the message as received to the listener's window when the listener is an
  // interactor with a window; otherwise returns result unchanged.
  LRESULT PassToListener(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result);
  // The listener as an interactor, or null.
  CWULInteractor* ListenerInteractor() const;

private:
  CWULInteractor(const CWULInteractor&) = delete;
  CWULInteractor& operator=(const CWULInteractor&) = delete;

  void HoverTick();
  LRESULT KeyRoutine(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT WheelRoutine(UINT message, WPARAM wParam, LPARAM lParam);
  bool MouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void Detach();
  void InsertChildBefore(CWULInteractor* child, CWULInteractor* before);
  CWULInteractor* WalkTabStops(bool forward);
};

// Runs a handler between BeginCallback and EndCallback; EndCallback also runs when the
// handler throws.
class CWULCallbackBracket {
public:
  explicit CWULCallbackBracket(CWULInteractor* interactor) : m_interactor(interactor) { interactor->BeginCallback(); }
  ~CWULCallbackBracket() { m_interactor->EndCallback(); }
  CWULCallbackBracket(const CWULCallbackBracket&) = delete;
  CWULCallbackBracket& operator=(const CWULCallbackBracket&) = delete;

private:
  CWULInteractor* m_interactor;
};
