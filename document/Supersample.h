#pragma once
// The 2x, 4x and 8x copies of a pixel or mask array. Level 0 is the owner's own 1x array;
// level k element (x, y) covers level k-1 element (x >> 1, y >> 1). Edits happen on level 3
// and are reduced to 1x by averaging 2 x 2 blocks.
#include <cstdint>
#include "document/PixelArray.h"

template <class TArray>
class CSupersampleStack {
public:
  enum { LEVELS = 4, TOP = 3 };

  CSupersampleStack();
  ~CSupersampleStack();  // frees levels 1 to 3 only
  CSupersampleStack(const CSupersampleStack&) = delete;
  CSupersampleStack& operator=(const CSupersampleStack&) = delete;

  // Makes source level 0; a new size resizes levels 1 to 3 (contents undefined until
  // Expand). A null source frees levels 1 to 3.
  void Attach(TArray* source);
  // Replicates level 0 upwards inside rect (1x coordinates; null = everything).
  void Expand(const Rect* rect);
  // Averages level 3 down to level 0 inside rect (1x coordinates; null = everything).
  void Reduce(const Rect* rect);
  // Null outside 0..3.
  TArray* GetLevel(int32_t index) const;
  // True when every level has its expected size (a failed allocation leaves one empty).
  bool IsComplete() const;

  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }
  uint32_t GetMemorySize() const;

private:
  bool ClipToLevel0(const Rect* rect, Rect& clipped) const;

  int32_t width;
  int32_t height;
  TArray* levels[LEVELS];
};

extern template class CSupersampleStack<CPixelArray>;
extern template class CSupersampleStack<CMaskArray>;

typedef CSupersampleStack<CPixelArray> CPixelSupersampleStack;
typedef CSupersampleStack<CMaskArray> CMaskSupersampleStack;

// The 1x rectangle covered by an 8x rectangle.
Rect SupersampleRectTo1x(const Rect& rect8x);
