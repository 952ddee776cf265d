#pragma once
// Root class of every framework window. It keeps a tree of interactors that mirrors the
// native window tree, creates its native window on demand and receives the window's
// messages through the shared window procedure, which finds it in GWLP_USERDATA.
#include <windows.h>
#include <cstdint>
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

class CWULInteractor : public CWULObject {
public:
  // Attaches itself to the calling thread's default parent.
  CWULInteractor();
  // Deletes the children and destroys the window.
  virtual ~CWULInteractor();

  // Creates the window when there is none; returns its handle.
  virtual HWND Incarnate(HWND parent);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void SetParent(CWULInteractor* parent);
  virtual HWND GetHandle();
  virtual void AddChild(CWULInteractor* child);
  virtual void RemoveChild(CWULInteractor* child);
  virtual void CreateIncarnation(HWND parent);
  // Turns a message into a call of an operation; false when it was not handled.
  virtual bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT OnDestroy();

  uint8_t flagsA;
  uint8_t flagsB;
  uint8_t flagsC;
  int32_t callbackDepth;
  HWND window;
  DWORD style;
  DWORD exStyle;
  CWULInteractor* parent;
  CWULInteractor* prevSibling;
  CWULInteractor* nextSibling;
  CWULInteractor* firstChild;
  CWULInteractor* lastChild;
  int32_t childCount;
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
  HCURSOR cursor;
  CWULString text;

private:
  CWULInteractor(const CWULInteractor&) = delete;
  CWULInteractor& operator=(const CWULInteractor&) = delete;
};
