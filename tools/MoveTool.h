#pragma once
// The Move tool shifts the current raster layer (with an active selection only the selected
// pixels, together with the selection) by dragging in grid steps, or by one working pixel per
// cursor key. It works through the pending offsets of the working copies, so consecutive
// moves keep the pixels pushed beyond the layer's edge; each move or nudge is one action.
#include <cstdint>
#include "document/Geometry.h"
#include "tools/Tool.h"

enum { CURSOR_MOVE = 220 };

// Shifts the current layer (and the active selection) by (dx, dy) in 24.8 units and records
// the shift as "Nudge". True when it was done.
bool NudgeCommand(int32_t dx, int32_t dy);

class CMoveTool : public CTool {
public:
  enum { STATE_DRAG = 2 };
  enum { MODE_NONE = 0, MODE_MOVE = 1 };
  enum { FLAG_SHIFT = 1 };
  enum { KEY_LEFT = 37, KEY_UP = 38, KEY_RIGHT = 39, KEY_DOWN = 40 };

  CMoveTool();

  HCURSOR GetCursor(const Point& pos) override;
  void MouseMove(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void ShowHint() override;
  bool WantsAutoScroll() override;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }
  // The offset (24.8) the drag has applied so far.
  const Point& GetAppliedOffset() const { return applied; }

private:
  void UpdateMode();
  bool HandleShift(int32_t key);
  void UpdateDrag();
  void RecordMove();

  int32_t state;
  int32_t mode;
  Point anchor;
  Point current;
  int32_t flags;
  Point applied;
};
