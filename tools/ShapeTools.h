#pragma once
// The drag shared by the Rectangle, Ellipse and Gradient tools (an anchor, the current
// position, Shift and Alt, colour picking with Alt), the grid snapping of dragged
// rectangles, and the Rectangle and Ellipse tools, which paint a solid shape, an outline or
// an outline filled with the other colour into the current raster layer on release.
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "tools/Tool.h"

class CUIntSetting;

// The rectangle dragged from anchor to current (24.8), snapped to the view's grid; square
// makes it a square of the smaller extent, centred puts the anchor in its middle.
Rect SnapSelectionRect(const Point& anchor, const Point& current, bool square, bool centred);
// Moves a dragged rectangle to its snapped place: the tool overlay is redrawn over the old
// and the new place and the size pane shows the new size (24.8 values on a supersampled
// raster layer, else whole pixels). Nothing when the place is unchanged.
void DragSnappedRect(Rect& shape, const Point& anchor, const Point& current, bool square, bool centred);
// The client rectangle of a 24.8 image rectangle in the user interface's view (right and
// bottom rounded up).
Rect ImageRectToClient(const Rect& rect);

// Shape types of the settings.
enum { SHAPE_SOLID = 1, SHAPE_OUTLINE = 2, SHAPE_FILLED_OUTLINE = 3 };

// Paints the shape (24.8, clipped to the layer) into the current raster layer and records
// it as one action with the caption; mainColor covers the shape, otherColor the inside of a
// filled outline. The width is in working pixels. Returns the painted working-pixel
// rectangle (empty when nothing was painted).
Rect PaintShape(const Rect& shape, bool ellipse, int32_t type, int32_t width, CColor mainColor,
                CColor otherColor, const char* caption);

class CShapeDragTool : public CPaintOrPickTool {
public:
  enum { STATE_DRAG = STATE_PAINT };
  enum { MODE_DRAW = MODE_PAINT };
  enum { FLAG_SHIFT = 1, FLAG_ALT = 2 };

  CShapeDragTool();

  void MouseMove(const Point& pos) override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void ShowColor(const Point& pos) override;
  bool WantsAutoScroll() override;

  int32_t GetFlags() const { return flags; }

protected:
  // The modifier flags this tool follows, as held now.
  virtual int32_t ReadFlags() const;
  // After the press in draw mode (anchor and current set, flags cleared).
  virtual void BeginDrag() = 0;
  // The current position or the flags changed while dragging.
  virtual void UpdateDrag() = 0;

  void BeginPaint(const Point& pos) override;
  // Also clears the geometry pane.
  void EndPaint() override;
  bool HandleKey(int32_t key, bool repeat);

  Point anchor;
  Point current;
  int32_t flags;
};

class CShapeTool : public CShapeDragTool {
public:
  CShapeTool();

  void DrawOverlay(CToolOverlay& overlay) override;
  void ShowHint() override;
  // "Type:" with "Solid", "Outline" and "Filled Outline", then "Outline:" with a spin edit
  // 1 to 100 that is enabled for the two outline types only.
  void CreateOptionsPane() override;

  const Rect& GetShapeRect() const { return shape; }

protected:
  virtual bool IsEllipse() const = 0;
  // The settings of the type and of the outline width.
  virtual CUIntSetting* GetTypeSetting() const = 0;
  virtual CUIntSetting* GetWidthSetting() const = 0;
  virtual int32_t GetShapeType() const = 0;
  virtual int32_t GetOutlineWidth() const = 0;
  virtual const char* GetCaption() const = 0;
  virtual const char* GetReadyHint() const = 0;

  int32_t GetDrawCursor() const override;
  void BeginDrag() override;
  void UpdateDrag() override;
  void FinishDrag() override;

  Rect shape;
};

class CRectangleTool : public CShapeTool {
public:
  CRectangleTool();

protected:
  bool IsEllipse() const override { return false; }
  int32_t GetShapeType() const override;
  int32_t GetOutlineWidth() const override;
  CUIntSetting* GetTypeSetting() const override;
  CUIntSetting* GetWidthSetting() const override;
  const char* GetCaption() const override { return "Rectangle"; }
  const char* GetReadyHint() const override {
    return "Left/right click and drag to create a rectangle. Use ALT to pick colors.";
  }
};

class CEllipseTool : public CShapeTool {
public:
  CEllipseTool();

protected:
  bool IsEllipse() const override { return true; }
  int32_t GetShapeType() const override;
  int32_t GetOutlineWidth() const override;
  CUIntSetting* GetTypeSetting() const override;
  CUIntSetting* GetWidthSetting() const override;
  const char* GetCaption() const override { return "Ellipse"; }
  const char* GetReadyHint() const override {
    return "Left/right click and drag to create an ellipse. Use ALT to pick colors.";
  }
};
