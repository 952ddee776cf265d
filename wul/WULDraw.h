#pragma once
// Small drawing helpers shared by the controls: a pen-and-brush set derived from one
// colour, frames and dotted frames, and half-open rectangle and point tests.
#include <windows.h>
#include "wul/WULColor.h"

// Three shades of one colour with a solid brush and four 1-pixel pens: base, light,
// dark, and the look's dark shade.
class CWULPenBrush {
public:
  CWULPenBrush();
  ~CWULPenBrush();
  CWULPenBrush(const CWULPenBrush&) = delete;
  CWULPenBrush& operator=(const CWULPenBrush&) = delete;

  // Replaces the objects; true when all of them were created.
  bool Create(const CWULColor& color);
  void DeleteObjects();

  CWULColor base;
  CWULColor light;  // base x 1.3125
  CWULColor dark;   // base x 0.75
  HBRUSH brush;
  HPEN basePen;
  HPEN lightPen;
  HPEN darkPen;
  HPEN shadePen;
};

// Rectangles are half-open: right and bottom lie outside.
POINT* wulOffsetPoint(POINT* point, int dx, int dy);
RECT* wulOffsetRect(RECT* rect, int dx, int dy);
// Negative n inflates.
RECT* wulDeflateRect(RECT* rect, int n);
bool wulPtInRect(int x, int y, const RECT* rect);
bool wulPointInRect(const POINT* point, const RECT* rect);
bool wulPointsEqual(const POINT* a, const POINT* b);
// Rectangles that only touch do not overlap.
bool wulRectsOverlap(const RECT* a, const RECT* b);

// Each function restores the DC's previous pen and brush.
void wulDrawLine(HDC dc, int x1, int y1, int x2, int y2, HPEN pen);  // end point excluded
void wulDrawRectOutline(HDC dc, const RECT* rect, HPEN pen);
void wulFillRect(HDC dc, const RECT* rect, HBRUSH brush);
void wulDrawRect(HDC dc, const RECT* rect, HPEN pen, HBRUSH brush);
void wulDrawPolygon(HDC dc, const POINT* points, int count, HPEN pen, HBRUSH brush);
// Light top and left edges, dark bottom and right edges, and the two corners where they
// meet in the corner colour.
void wulDrawFrame(HDC dc, const RECT* rect, HPEN lightPen, HPEN darkPen, const CWULColor& corner);
// Fills what lies inside outer and outside inner.
void wulFillBetweenRects(HDC dc, const RECT* outer, const RECT* inner, HBRUSH brush);
void wulFillFrame(HDC dc, const RECT* rect, int width, HBRUSH brush);
// The edges in runs of two pixels alternating a and b, meeting symmetrically at the corners.
void wulDrawDottedFrame(HDC dc, const RECT* rect, const CWULColor& a, const CWULColor& b);
