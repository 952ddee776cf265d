#pragma once
// Integer points, half-open rectangles and the circle of round brushes.
#include <cstdint>

struct Point {
  int32_t x = 0;
  int32_t y = 0;

  bool NotEqual(const Point& other) const { return x != other.x || y != other.y; }
  Point Add(const Point& other) const { return Point{x + other.x, y + other.y}; }
  Point Subtract(const Point& other) const { return Point{x - other.x, y - other.y}; }
};

// Right and bottom are exclusive; empty unless left < right and top < bottom.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  void Clear() { left = top = right = bottom = 0; }
  int32_t GetWidth() const { return right - left; }
  int32_t GetHeight() const { return bottom - top; }
  bool IsEmpty() const { return !(left < right && top < bottom); }
  bool IsNonEmpty() const { return left < right && top < bottom; }
  bool NotEqual(const Rect& other) const {
    return left != other.left || top != other.top || right != other.right ||
           bottom != other.bottom;
  }
  // Empty operands are ignored; two empty ones give the all-zero rectangle.
  Rect Union(const Rect& other) const;
  void UnionWith(const Rect& other);
  // An empty intersection is the all-zero rectangle.
  Rect Intersect(const Rect& other) const;
};

struct CCircle {
  double centerX = 0.0;
  double centerY = 0.0;
  double radius = 0.0;

  // The fraction (0..1) of the pixel square [col, col+1] x [row, row+1] inside the circle.
  float GetPixelCoverage(int32_t col, int32_t row) const;
};
