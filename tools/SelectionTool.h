#pragma once
// The Selection tool drags a rectangular or elliptical region and makes it the image's
// selection (replace, add, subtract or intersect); a click without dragging deselects. The
// commands Select All, Deselect and Invert Selection change the selection directly. Each
// change is one already applied action that keeps the mask difference.
#include <cstdint>
#include "document/Geometry.h"
#include "tools/Tool.h"

class CMaskArray;

// Shapes of the setting "Drawing.Tools.Selector.Shape".
enum { SELECTION_RECTANGULAR = 1, SELECTION_ELLIPTICAL = 2 };

// Cursors of the replace, add, subtract and intersect modes.
enum {
  CURSOR_SELECT_REPLACE = 212,
  CURSOR_SELECT_ADD = 213,
  CURSOR_SELECT_SUBTRACT = 214,
  CURSOR_SELECT_INTERSECT = 215
};

// Each returns true when it changed the selection of the current image.
bool SelectAllCommand();
bool DeselectCommand();
bool InvertSelectionCommand();

// Writes 255 inside the pixel rectangle and 0 elsewhere into the whole mask; elliptical
// covers the pixels whose index lies inside the inscribed ellipse.
void RasterizeSelectionShape(CMaskArray& mask, const Rect& rect, bool elliptical);

class CSelectionTool : public CTool, public CCombineModes {
public:
  enum { STATE_PRESSED = 2, STATE_DRAG = 3 };
  enum { FLAG_SHIFT = 1, FLAG_ALT = 2 };

  CSelectionTool();

  // "Shape:" with the radio buttons "Rectangular" and "Elliptical".
  void CreateOptionsPane() override;
  HCURSOR GetCursor(const Point& pos) override;
  void MouseMove(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void DrawOverlay(CToolOverlay& overlay) override;
  void ShowHint() override;
  bool WantsAutoScroll() override;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }
  const Rect& GetShapeRect() const { return shape; }

private:
  void UpdateMode();
  int32_t ReadFlags() const;
  bool HandleKey(int32_t key, bool readFlags);
  void UpdateShape();
  void ApplyShape();
  void DeselectByClick();

  int32_t state;
  int32_t mode;
  Point anchor;
  Point current;
  int32_t flags;
  Rect shape;
};
