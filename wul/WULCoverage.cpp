#include "wul/WULCoverage.h"
#include <cfloat>
#include <cmath>

namespace {

// Integral of sqrt(r^2 - t^2) from 0 to t, for -r <= t <= r.
double HalfChordIntegral(double t, double r) {
  double s = t / r;
  if (s > 1.0)
    s = 1.0;
  else if (s < -1.0)
    s = -1.0;
  const double rest = r * r - t * t;
  const double h = rest > 0.0 ? std::sqrt(rest) : 0.0;
  return 0.5 * (t * h + r * r * std::asin(s));
}

// Integral over X from a to b (-r <= a <= b <= r) of v clamped to [-h(X), h(X)], where
// h(X) = sqrt(r^2 - X^2) is the half chord of the circle centred at the origin.
double ClampedIntegral(double a, double b, double v, double r) {
  if (a >= b)
    return 0.0;
  if (v >= r)
    return HalfChordIntegral(b, r) - HalfChordIntegral(a, r);
  if (v <= -r)
    return HalfChordIntegral(a, r) - HalfChordIntegral(b, r);
  // Inside |X| <= w the chord reaches past v, so the clamp gives v itself.
  const double w = std::sqrt(r * r - v * v);
  const double sign = v < 0.0 ? -1.0 : 1.0;
  double total = 0.0;
  const double innerA = a > -w ? a : -w;
  const double innerB = b < w ? b : w;
  if (innerA < innerB)
    total += v * (innerB - innerA);
  if (a < -w) {
    const double end = b < -w ? b : -w;
    total += sign * (HalfChordIntegral(end, r) - HalfChordIntegral(a, r));
  }
  if (b > w) {
    const double start = a > w ? a : w;
    total += sign * (HalfChordIntegral(b, r) - HalfChordIntegral(start, r));
  }
  return total;
}

}  // namespace

float wulCircleCoverage(int x, int y, float cx, float cy, float r) {
  if (!(r > 0.0f) || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r))
    return 0.0f;
  const double radius = r;
  // The square relative to the centre.
  const double x0 = static_cast<double>(x) - cx;
  const double y0 = static_cast<double>(y) - cy;
  const double x1 = x0 + 1.0;
  const double y1 = y0 + 1.0;
  if (x1 <= -radius || x0 >= radius || y1 <= -radius || y0 >= radius)
    return 0.0f;
  // Fully inside when the farthest corner is inside.
  const double fx = std::fabs(x0) > std::fabs(x1) ? x0 : x1;
  const double fy = std::fabs(y0) > std::fabs(y1) ? y0 : y1;
  if (fx * fx + fy * fy <= radius * radius)
    return 1.0f;
  const double a = x0 > -radius ? x0 : -radius;
  const double b = x1 < radius ? x1 : radius;
  // The column of the square between y0 and y1 inside the circle, integrated over x.
  double area = ClampedIntegral(a, b, y1, radius) - ClampedIntegral(a, b, y0, radius);
  // An area too small for a normal float (a tiny circle) would come back as a denormal.
  if (area < FLT_MIN)
    area = 0.0;
  else if (area > 1.0)
    area = 1.0;
  return static_cast<float>(area);
}
