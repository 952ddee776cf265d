#pragma once
// Region filling: CFloodFill finds the 4-connected pixels around a seed whose colour lies
// within a tolerance of the seed's, the Flood Fill tool paints that region, and the Magic
// Wand turns it into the selection (replace, add, subtract or intersect).
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "tools/Tool.h"

class CMaskArray;
class CPixelArray;

class CFloodFill {
public:
  // Compare modes, matching the view's channel modes.
  enum { COMPARE_ARGB = 0, COMPARE_RGB = 1, COMPARE_ALPHA = 2 };

  CFloodFill();
  ~CFloodFill();
  CFloodFill(const CFloodFill&) = delete;
  CFloodFill& operator=(const CFloodFill&) = delete;

  // ARGB compares premultiplied colours, RGB the colour channels only, ALPHA the alpha.
  void SetCompareMode(int32_t mode) { compareMode = mode; }
  // 0..255: the largest channel distance that still matches.
  void SetTolerance(int32_t value);
  // The target must have the source's size.
  void SetSource(const CPixelArray* array) { source = array; }
  void SetTarget(CMaskArray* mask) { target = mask; }

  // Clears the target and sets the region around (x, y) to 255. Returns the region's
  // bounding rectangle; a seed outside the source (or a target of another size) gives the
  // empty rectangle at the seed and leaves the target untouched.
  Rect Fill(int32_t x, int32_t y);
  // False when a point of the region was dropped for want of memory.
  bool IsComplete() const { return complete; }

private:
  struct PointBlock;

  bool Matches(uint32_t pixel) const;
  bool Push(int32_t x, int32_t y);
  bool Pop(int32_t& x, int32_t& y);
  void FreeBlocks();

  int32_t compareMode;
  int32_t tolerance;
  const CPixelArray* source;
  CMaskArray* target;
  uint32_t seedAlpha;
  uint32_t seedRed;
  uint32_t seedGreen;
  uint32_t seedBlue;
  // The point stack: blocks of 256 points, kept for reuse until the fill ends.
  PointBlock* firstBlock;
  PointBlock* topBlock;
  int32_t topCount;
  bool complete;
};

class CFloodFillTool : public CPaintOrPickTool {
public:
  enum { STATE_WAIT = STATE_PAINT };
  enum { MODE_FILL = MODE_PAINT };

  CFloodFillTool();
  // "Tolerance:" with a spin edit 0 to 255.
  void CreateOptionsPane() override;

  void MouseMove(const Point& pos) override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void ShowHint() override;
  void ShowColor(const Point& pos) override;

protected:
  int32_t GetDrawCursor() const override;
  void BeginPaint(const Point& pos) override;
  void FinishDrag() override;

private:
  Point seed;
};

class CMagicWandTool : public CTool, public CCombineModes {
public:
  enum { STATE_WAIT = 2 };

  CMagicWandTool();
  // "Tolerance:" with a spin edit 0 to 255.
  void CreateOptionsPane() override;

  HCURSOR GetCursor(const Point& pos) override;
  bool MouseDown(int32_t button, const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  void EndDrag() override;
  bool KeyDown(int32_t key, bool repeat) override;
  bool KeyUp(int32_t key) override;
  void ShowHint() override;

  int32_t GetState() const { return state; }
  int32_t GetMode() const { return mode; }

private:
  void UpdateMode();
  void Select();

  int32_t state;
  int32_t mode;
  Point seed;
};
