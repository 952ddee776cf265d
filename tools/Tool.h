#pragma once
// The base of every drawing tool, the overlay record the main view hands to the active tool
// and the feedback plotting shared by the tools' outlines.
//
// Positions are image positions in 24.8 fixed point: the pixel coordinate times 256. The
// pixel under a position is (x >> 8, y >> 8); 24.8 rectangles are half-open.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"

// The nearest whole pixel of a 24.8 value.
inline int32_t RoundFixed(int32_t v) {
  return (v + 128) >> 8;
}

// The tool's drawing surface over the main view, in client pixels.
struct CToolOverlay {
  int32_t width;
  int32_t height;
  uint32_t* pixels;            // written by the tool
  const uint32_t* viewPixels;  // the view under the overlay, read
  void* overlayImage;          // the view's offscreen buffers, for tools that draw with GDI
  void* viewImage;
  Rect clip;
};

// Lerps the overlay pixel at (x, y) from the view pixel towards black or white, whichever
// contrasts more; points outside the clip rectangle are ignored.
void PlotContrastPixel(CToolOverlay& overlay, int32_t x, int32_t y, float opacity);
// One plotted pixel per step along the longer axis.
void DrawOverlayLine(CToolOverlay& overlay, const Point& p0, const Point& p1, float opacity);
// The four edges from (left, top) to (right - 1, bottom - 1).
void DrawOverlayRect(CToolOverlay& overlay, const Rect& rect, float opacity);
// The outline of the ellipse inscribed in rect. With a cell size above 1 the outline follows
// the cells (cell x cell client pixels) whose centres lie inside the ellipse.
void DrawOverlayEllipse(CToolOverlay& overlay, const Rect& rect, int32_t cell, float opacity);

// Whether the cell (col, row) of a cols x rows grid lies inside the inscribed ellipse: the
// test that round brushes use for their working pixels.
bool IsCellInEllipse(int32_t col, int32_t row, int32_t cols, int32_t rows);

// The modes of the tools that make or change the selection: how a new region joins it.
struct CCombineModes {
  enum { MODE_NONE = 0, MODE_REPLACE = 1, MODE_ADD = 2, MODE_SUBTRACT = 3, MODE_INTERSECT = 4 };
};

class CTool {
public:
  enum { BUTTON_LEFT = 1, BUTTON_RIGHT = 2 };
  enum { KEY_SHIFT = 16, KEY_CONTROL = 17, KEY_ALT = 18 };
  enum { STATE_IDLE = 0, STATE_READY = 1 };

  CTool();
  virtual ~CTool();
  CTool(const CTool&) = delete;
  CTool& operator=(const CTool&) = delete;

  virtual void Activate();
  virtual void Deactivate();
  // Builds the tool's option controls in the tool panel's option host.
  virtual void CreateOptionsPane();
  virtual void PointerLeft();
  virtual void PointerEntered(const Point& pos);
  virtual HCURSOR GetCursor(const Point& pos);
  // While hovering and while dragging.
  virtual void MouseMove(const Point& pos);
  // True when the press is accepted (the view then captures the mouse).
  virtual bool MouseDown(int32_t button, const Point& pos);
  // True when the view is to release the capture.
  virtual bool MouseUp(int32_t button, const Point& pos);
  // The capture ended: the drag is committed or abandoned.
  virtual void EndDrag();
  virtual bool KeyDown(int32_t key, bool repeat);
  virtual bool KeyUp(int32_t key);
  virtual void DrawOverlay(CToolOverlay& overlay);
  virtual void ShowHint();
  virtual void ShowPosition(const Point& pos);
  virtual void ShowColor(const Point& pos);
  virtual bool WantsAutoScroll();

  // The displayed colour under a position.
  bool PickColor(const Point& pos, CColor& color);

  int32_t GetId() const { return id; }
  bool IsActive() const { return active != 0; }
  bool IsAway() const { return away != 0; }

protected:
  // Shift, Ctrl and Alt in the ready state make the view ask for the cursor again.
  bool HandleModifierKey(int32_t state, int32_t key);
  // The colour shown for ShowColor: the button's stroke colour while drawing, else the
  // colour under pos while picking, else none.
  void ShowDrawnOrPickedColor(const Point& pos, bool drawing, int32_t button, bool picking);
  // The colour under pos becomes the button's drawing colour (left primary, else secondary).
  void PickButtonColor(const Point& pos, int32_t button);
  // How a new region joins the selection (CCombineModes) by the keys held now: Shift adds,
  // Alt subtracts, both intersect, else it replaces.
  static int32_t ReadCombineMode();
  // The cursor of a combine mode, counted from the replace cursor; else the default cursor.
  static HCURSOR GetCombineCursor(int32_t mode, int32_t replaceCursor);

  int32_t id;
  uint8_t active;
  uint8_t away;
};

// A tool that paints on the current raster layer with the colour of the pressed button,
// or with Alt picks the colour under the pointer into that button's colour while it is
// held. A press without a visible raster layer does nothing.
class CPaintOrPickTool : public CTool {
public:
  enum { STATE_PAINT = 2, STATE_PICK = 3 };
  enum { MODE_NONE = 0, MODE_PAINT = 1, MODE_PICK = 2 };

  // Reads the mode again while ready.
  HCURSOR GetCursor(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }

protected:
  CPaintOrPickTool();

  virtual int32_t GetDrawCursor() const = 0;
  // The press in paint mode; the state is STATE_PAINT already.
  virtual void BeginPaint(const Point& pos) = 0;
  // Release of the pressed button while painting.
  virtual void FinishDrag() = 0;
  // The capture ended after painting: RefreshAfterToolEdit without clearing the geometry.
  virtual void EndPaint();

  int32_t state;
  int32_t mode;
  int32_t button;
};
