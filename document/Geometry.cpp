#include "document/Geometry.h"
#include "wul/WULCoverage.h"

Rect Rect::Union(const Rect& other) const {
  Rect result = *this;
  result.UnionWith(other);
  if (result.IsEmpty())
    result.Clear();
  return result;
}

void Rect::UnionWith(const Rect& other) {
  if (other.IsEmpty())
    return;
  if (IsEmpty()) {
    *this = other;
    return;
  }
  if (other.left < left)
    left = other.left;
  if (other.top < top)
    top = other.top;
  if (other.right > right)
    right = other.right;
  if (other.bottom > bottom)
    bottom = other.bottom;
}

Rect Rect::Intersect(const Rect& other) const {
  Rect result;
  result.left = left > other.left ? left : other.left;
  result.top = top > other.top ? top : other.top;
  result.right = right < other.right ? right : other.right;
  result.bottom = bottom < other.bottom ? bottom : other.bottom;
  if (result.IsEmpty())
    result.Clear();
  return result;
}

float CCircle::GetPixelCoverage(int32_t col, int32_t row) const {
  return wulCircleCoverage(col, row, static_cast<float>(centerX), static_cast<float>(centerY),
                           static_cast<float>(radius));
}
