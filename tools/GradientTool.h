#pragma once
// The Gradient tool: drags a vector from an anchor and, on release, fills the current raster
// layer (or the bounds of the active selection, weighted by its mask) with a linear or radial
// gradient from the pressed button's colour to the other one.
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "tools/ShapeTools.h"

enum { GRADIENT_LINEAR = 1, GRADIENT_RADIAL = 2 };

// Every channel moves the fraction t (0..1) from a towards b, on straight values, with the
// weight rounded to 1/2^24.
uint32_t LerpArgb(uint32_t a, uint32_t b, double t);

// With Shift: a vector within about 22.5 degrees of an axis lies on it, any other becomes a
// diagonal of the smaller extent.
Point ConstrainGradientVector(const Point& v);

// Fills the current raster layer from anchor along vector (24.8) and records the change with
// the caption "Gradient". Returns the working-pixel area visited (empty when nothing was done).
Rect FillGradient(const Point& anchor, const Point& vector, int32_t type, CColor startColor,
                  CColor endColor);

class CGradientTool : public CShapeDragTool {
public:
  CGradientTool();
  // "Type:" with the radio buttons "Linear" and "Radial".
  void CreateOptionsPane() override;

  void DrawOverlay(CToolOverlay& overlay) override;
  void ShowHint() override;

  const Point& GetVector() const { return vector; }

protected:
  int32_t GetDrawCursor() const override;
  int32_t ReadFlags() const override;
  void BeginDrag() override;
  void UpdateDrag() override;
  void FinishDrag() override;

private:
  int32_t GetType() const;
  Rect GetDirtyRect(const Point& end) const;

  Point vector;
};
