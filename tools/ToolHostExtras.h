#pragma once
// Main-view and status-bar services that the shape, gradient, fill and brush tools need
// besides those of CToolHost: the snapping grid, the pointer position and the size pane.
// The user interface installs its own; the default computes the grid from the tool host's
// zoom, knows no pointer and shows nothing.
#include <cstdint>
#include "document/Geometry.h"

class CToolHostExtras {
public:
  virtual ~CToolHostExtras();

  // Grid step in 24.8 units: 32 on a visible supersampled raster layer, else 256, doubled
  // until it covers at least one screen pixel.
  virtual int32_t GetNudgeStep();
  // The pointer's image position (24.8); false when the view cannot tell.
  virtual bool GetCursorImagePoint(Point& pos);
  // Status bar size pane: whole pixels, or 24.8 values shown with three decimals.
  virtual void SetSize(int32_t width, int32_t height);
  virtual void SetSizeFixed(int32_t width, int32_t height);
};

CToolHostExtras* GetToolHostExtras();
// Null restores the default. Not owned.
void SetToolHostExtras(CToolHostExtras* extras);

// Application cursor resources of these tools.
enum {
  CURSOR_GRADIENT = 211,
  CURSOR_SHAPE = 212,
  CURSOR_WAND_REPLACE = 216,
  CURSOR_WAND_ADD = 217,
  CURSOR_WAND_SUBTRACT = 218,
  CURSOR_WAND_INTERSECT = 219,
  CURSOR_FLOOD_FILL = 225
};
