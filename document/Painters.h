#pragma once
// Painters of view buffers: the transparency chequerboard, the pixel grid and lines.
#include <cstdint>
#include "document/PixelArray.h"

struct CChequer {
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t cellSize = 8;  // pixels
  CColor colorA;
  CColor colorB;
};

struct CGrid {
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t spacing = 1;  // pixels
  CColor color;
  float opacity = 1.0f;  // 0..1
};

// Cells whose column plus row index is even get colour A, the others colour B. Stored, not
// blended.
void PaintChequer(CPixelArray& array, const Rect& rect, const CChequer& chequer);
// Blends grid lines on the rows and columns origin + k * spacing; each crossing once.
void PaintGrid(CPixelArray& array, const Rect& rect, const CGrid& grid);
// Both ends inclusive, in either order; the colour is stored.
void DrawHLine(CPixelArray& array, int32_t x1, int32_t x2, int32_t y, CColor color);
void DrawVLine(CPixelArray& array, int32_t x, int32_t y1, int32_t y2, CColor color);
