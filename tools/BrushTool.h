#pragma once
// The Brush: soft round dabs with a hardness profile and an opacity, laid at a tenth of the
// diameter along the pointer's path and accumulating on the layer. It shares the Pencil's
// modes (Ctrl line, Alt pick), hints, colours and commit.
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "tools/PencilTool.h"

// Positions waiting to be painted: a ring of 1024 entries that a release of the button closes.
class CStrokePointQueue {
public:
  enum { CAPACITY = 1024 };

  CStrokePointQueue();
  // Empty and open again.
  void Clear();
  // Refused when closed or full; a repeat of the newest queued position is not stored again.
  bool Push(const Point& p);
  // The oldest position; false when empty.
  bool Pop(Point& p);
  // The newest stored position, (0, 0) when empty.
  Point Newest() const;
  // Pushes the pointer's image position when the view knows it.
  bool PushPointer();
  void Close() { closed = 1; }
  bool IsClosed() const { return closed != 0; }
  int32_t GetCount() const { return count; }

private:
  Point points[CAPACITY];
  uint8_t closed;
  int32_t writeIndex;
  int32_t readIndex;
  int32_t count;
};

struct CBrushShape {
  int32_t size;      // diameter in working pixels, 1..100
  int32_t hardness;  // percent, 0..100
  int32_t opacity;   // percent, 1..100
};

// The brush settings, limited to their ranges.
CBrushShape GetBrushShape();
// The square (24.8) a dab at p covers: p -+ half the diameter, moved by half a screen pixel
// when the diameter on screen is even.
Rect GetDabSquare(const Point& p, int32_t size, int32_t step);
// The hardness profile of one dab: full inside the core, falling linearly to the rim;
// pixels on either boundary are sampled 8 x 8.
class CDabProfile {
public:
  CDabProfile(int32_t size, int32_t hardness);
  // The covered part (0..1) of the pixel whose index lies (dx, dy) working pixels from the
  // dab's centre.
  float GetCoverage(double dx, double dy) const;

private:
  float radius;
  float core;
  float falloff;
  double outer2;
  bool hasCore;
  double core2;
  bool hasRamp;
  double rampIn2;
  double rampOut2;
  double coreSquared;
  double radiusSquared;
};

// The alpha (0..255) of full coverage for the opacity and hardness.
float GetDabBaseAlpha(int32_t opacity, int32_t hardness);
// Paints one dab into the current raster layer over its current pixels. Returns the
// working-pixel rectangle touched, in 24.8 units.
Rect PaintBrushDab(const Point& p, const CBrushShape& brush, CColor color);

class CBrushTool : public CPencilTool {
public:
  CBrushTool();

  // Size, hardness and opacity rows beside the preview of one dab.
  void CreateOptionsPane() override;
  void MouseMove(const Point& pos) override;
  bool MouseUp(int32_t button, const Point& pos) override;
  int32_t GetSize() const override;
  CUIntSetting* GetSizeSetting() const override;
  void ComputePreview(int32_t width, int32_t height, float* coverage) const override;

  CStrokePointQueue& GetQueue() { return queue; }

protected:
  const char* GetCaption() const override { return "Brush Stroke"; }

private:
  // Dabs from the last dab point towards e, the last dab point following; in a freehand
  // stroke the pending pointer positions are gathered between dabs.
  Rect PaintSegment(const Point& e, const CBrushShape& brush, bool freehand);
  // Drops pending mouse messages; closes the queue at the release of the pressed button.
  void SkipPendingMouseMessages();
  void DrawFootprint(CToolOverlay& overlay, const Point& pos) override;

  CStrokePointQueue queue;
};
