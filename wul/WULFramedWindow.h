#pragma once
// An interactor with a self-drawn non-client frame: four frame insets around a client
// area, non-client mouse and paint messages as virtual operations, and the layout of its
// child containers and controls by their alignment codes. CWULContainer is the framed
// window used as a child: a WS_CHILD window whose alignment code tells its parent where
// to put it.
#include "wul/WULInteractor.h"

// Alignment codes read by the parent's layout.
enum {
  WUL_ALIGN_NONE = 0,
  WUL_ALIGN_LEFT = 1,    // dock left: full remaining height, own width
  WUL_ALIGN_RIGHT = 2,
  WUL_ALIGN_TOP = 3,     // dock top: full remaining width, own height
  WUL_ALIGN_BOTTOM = 4,
  WUL_ALIGN_FILL = 5,    // what remains after all docking (the first such child only)
  // 6, 9 and 12 do nothing.
  WUL_ALIGN_MOVE_RIGHT = 7,       // also 13
  WUL_ALIGN_STRETCH_RIGHT = 8,    // also 14
  WUL_ALIGN_MOVE_DOWN = 10,       // also 15
  WUL_ALIGN_STRETCH_DOWN = 11,    // also 18
  WUL_ALIGN_MOVE_RIGHT_DOWN = 16,
  WUL_ALIGN_STRETCH_RIGHT_MOVE_DOWN = 17,
  WUL_ALIGN_MOVE_RIGHT_STRETCH_DOWN = 19,
  WUL_ALIGN_STRETCH_RIGHT_DOWN = 20,
  WUL_ALIGN_LEFT_STRETCH = 21,    // dock left, right edge follows the width change
  WUL_ALIGN_RIGHT_KEEP_LEFT = 22, // dock right, keeping the left edge
  WUL_ALIGN_TOP_STRETCH = 23,     // dock top, bottom edge follows the height change
  WUL_ALIGN_BOTTOM_KEEP_TOP = 24  // dock bottom, keeping the top edge
};

class CWULFramedWindow : public CWULInteractor {
public:
  CWULFramedWindow();

  // A change notice of a child that reports here lays the children out again.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  virtual void SetClientSize(int clientW, int clientH);
  // The client area in window coordinates.
  virtual void GetClientRect(RECT* rect);
  virtual void CloseChildren();
  virtual int GetClientWidth();
  virtual void SetClientWidth(int value);
  virtual int GetClientHeight();
  virtual void SetClientHeight(int value);
  virtual int GetLeftInset();
  virtual int GetTopInset();
  // Each frame style sets the four insets here; the default frame has none.
  virtual void ComputeInsets();
  virtual void ComputeClientSize();
  virtual void ClientSizeHook();
  virtual void OnClientSizeChanged();
  virtual void LayoutChildren();
  // Non-client mouse: hit code and the point relative to the window's top-left corner.
  virtual LRESULT OnNcMouseMove(int hit, int nx, int ny);
  virtual LRESULT OnNcLButtonDown(int hit, int nx, int ny);
  virtual LRESULT OnNcLButtonUp(int hit, int nx, int ny);
  virtual LRESULT OnNcLButtonDblClk(int hit, int nx, int ny);
  virtual LRESULT OnNcRButtonDown(int hit, int nx, int ny);
  virtual LRESULT OnNcRButtonUp(int hit, int nx, int ny);
  virtual LRESULT OnNcRButtonDblClk(int hit, int nx, int ny);
  virtual LRESULT OnNcMButtonDown(int hit, int nx, int ny);
  virtual LRESULT OnNcMButtonUp(int hit, int nx, int ny);
  virtual LRESULT OnNcMButtonDblClk(int hit, int nx, int ny);
  // dc is a window DC: window coordinates.
  virtual LRESULT PaintNonClient(HDC dc);
  virtual void OnParentNotify(int event, int id, LPARAM lParam);

  void GeometryHook() override;
  void CheckSize() override;
  void OnFontChanged() override;
  LRESULT OnNcCalcSize(bool validRects, LPARAM lParam) override;
  LRESULT OnNcHitTest(int hx, int hy) override;
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  bool AcceptsWheel(int wx, int wy) override;

  typedef void (*ClientSizeHandler)(CWULFramedWindow* self);
  ClientSizeHandler clientSizeChangedHandler;
  int32_t clientWidth;   // never negative
  int32_t clientHeight;
  int32_t laidOutWidth;  // client size at the last layout
  int32_t laidOutHeight;
  int32_t leftInset;
  int32_t topInset;
  int32_t rightInset;
  int32_t bottomInset;

protected:
  // Paints the non-client area at once, outside WM_NCPAINT.
  void PaintNonClientNow();

private:
  LRESULT NcMouse(UINT message, WPARAM wParam, LPARAM lParam);
};

class CWULContainer : public CWULFramedWindow {
public:
  // WS_CHILD; reports its changes to its parent.
  CWULContainer();
  ~CWULContainer() override;

  virtual void SetAlignment(int code);

  int GetAlignment() override;
  void SetParent(CWULInteractor* newParent) override;
  void SetVisible(bool on) override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  int32_t alignment;
};

// Fills the part of dc that is being erased or painted with the colour; used by the
// plain containers and controls.
void wulFillUpdateArea(HWND window, HDC dc, const CWULColor& color);
