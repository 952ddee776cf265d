#pragma once
// The Pencil and the Eraser: hard-edged round strokes, freehand or (with Ctrl) straight,
// painted live into the current raster layer from the layer working copy, and kept as one
// undoable action when the drag ends. The Pencil also picks colours with Alt.
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "tools/Tool.h"

class CMaskArray;
class CRasterLayer;
class CUIntSetting;
class CWULInteractor;
class CWULPicture;
class CWULSpinEdit;
class CPaintTool;

// Size of one working pixel of the current layer in 24.8 units: 256, 32 on a supersampled
// raster layer, 0 without a current layer.
int32_t GetToolPixelStep();
// The size x size working-pixel square of a round brush at p, snapped to the working grid.
Rect GetBrushSquare(const Point& p, int32_t size, int32_t step);
// p +- half the brush diameter: what the brush outline may touch.
Rect GetOutlineSquare(const Point& p, int32_t size, int32_t step);
// The brush diameter in screen pixels at the view's zoom.
int32_t GetScreenBrushDiameter(int32_t size, int32_t step);
// Paints the round-brush segment from s to e into the current layer, blending the colour
// over the layer working copy in the view's channel mode. Returns the working-pixel
// rectangle touched, in 24.8 units (empty when nothing lies on the layer).
Rect PaintBrushSegment(const Point& s, const Point& e, int32_t size, CColor color);
// Recomposes the stroke's rectangle and adds one already applied action with the changed
// block to the image's history; then the working copies are taken again.
void CommitStroke(const Rect& strokeRect, const char* caption);

// The controls of the open Pencil, Eraser or Brush option pane; all null while none is shown.
struct CPaintToolOptions {
  CPaintTool* tool;
  CWULInteractor* pane;
  CWULPicture* preview;
  CWULSpinEdit* size;
  CWULSpinEdit* hardness;  // Brush only
  CWULSpinEdit* opacity;   // Brush only
};
const CPaintToolOptions& GetPaintToolOptions();
// Starts a pane for tool in parent: a container with the framed brush picture at its left.
// Null without a parent. Rows go into the returned container beside the picture, from
// GetPaintOptionsRowX, each PAINT_OPTIONS_LABEL_WIDTH wide before its spin edit.
CWULInteractor* BeginPaintToolOptions(CPaintTool* tool, CWULInteractor* parent);
int GetPaintOptionsRowX();
enum { PAINT_OPTIONS_LABEL_WIDTH = 82 };
// The open pane's size spin edit calls this after storing a new size.
void OnPaintToolSizeChanged(CWULInteractor* control, uint32_t value);
// Ends the pane: keeps its rows (null for the Brush's rows a pane lacks) and draws the
// brush picture.
void FinishPaintToolOptions(CWULSpinEdit* size, CWULSpinEdit* hardness, CWULSpinEdit* opacity);
// Draws the brush picture of the open pane again.
void RedrawPaintToolPreview();

class CPaintTool : public CTool {
public:
  enum { STATE_FREEHAND = 2, STATE_LINE = 3, STATE_PICK = 4 };
  enum { MODE_NONE = 0, MODE_PAINT = 1, MODE_LINE = 2, MODE_PICK = 3 };

  CPaintTool();

  void PointerLeft() override;
  void PointerEntered(const Point& pos) override;
  HCURSOR GetCursor(const Point& pos) override;
  void MouseMove(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void DrawOverlay(CToolOverlay& overlay) override;
  bool WantsAutoScroll() override;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }
  // The brush diameter in working pixels (1..100) from the tool's setting.
  virtual int32_t GetSize() const = 0;
  // Where the size is kept; null before the settings exist.
  virtual CUIntSetting* GetSizeSetting() const = 0;
  // The framed brush picture and the "Size:" row.
  void CreateOptionsPane() override;
  // The brush picture of the option pane: coverage of width x height pixels.
  virtual void ComputePreview(int32_t width, int32_t height, float* coverage) const;

protected:
  virtual bool AcceptsButton(int32_t button) const = 0;
  virtual bool CanPick() const = 0;
  virtual CColor GetPaintColor() const = 0;
  virtual const char* GetCaption() const = 0;

  // True when the mode changed.
  bool UpdateMode();
  // UpdateMode; a change while ready redraws the outline.
  void RefreshMode();
  void InvalidateOutline(const Point& pos);
  // The outline of the brush at pos.
  virtual void DrawFootprint(CToolOverlay& overlay, const Point& pos);
  void RefreshAfterStroke(bool clearGeometry);

  int32_t state;
  int32_t mode;
  int32_t button;
  Point lineStart;
  Point current;
  Rect strokeRect;
};

class CPencilTool : public CPaintTool {
public:
  CPencilTool();
  void ShowHint() override;
  void ShowColor(const Point& pos) override;
  int32_t GetSize() const override;
  CUIntSetting* GetSizeSetting() const override;

protected:
  bool AcceptsButton(int32_t pressed) const override;
  bool CanPick() const override { return true; }
  CColor GetPaintColor() const override;
  const char* GetCaption() const override { return "Pencil Stroke"; }
};

class CEraserTool : public CPaintTool {
public:
  CEraserTool();
  void ShowHint() override;
  int32_t GetSize() const override;
  CUIntSetting* GetSizeSetting() const override;

protected:
  bool AcceptsButton(int32_t pressed) const override { return pressed == BUTTON_LEFT; }
  bool CanPick() const override { return false; }
  CColor GetPaintColor() const override { return CColor(); }
  const char* GetCaption() const override { return "Eraser Stroke"; }
};
