#pragma once
// Mapping, scrolling and painting steps shared by the canvases that show the current image
// zoomed (the main view and the preview panel). Each works on the canvas it is given.
#include <windows.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include "document/Geometry.h"
#include "document/Image.h"
#include "document/PixelArray.h"
#include "tools/Tool.h"
#include "ui/MainView.h"
#include "wul/WULCanvas.h"

namespace ZoomedView {

// floor(a / b) for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b) != 0 && a < 0)
    --q;
  return q;
}

inline int32_t ClientWidth(CWULTiledCanvas* canvas) { return canvas ? std::max(0, canvas->GetClientWidth()) : 0; }
inline int32_t ClientHeight(CWULTiledCanvas* canvas) { return canvas ? std::max(0, canvas->GetClientHeight()) : 0; }

inline bool InClientRect(CWULTiledCanvas* canvas, int x, int y) {
  if (!canvas)
    return false;
  RECT client;
  canvas->GetClientRect(&client);
  return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

// Suspends the canvas's automatic redraw for a change of the view; resumes it at the end,
// also when the change throws, unless the canvas held in `current` is gone or replaced.
class CRedrawSuspension {
public:
  explicit CRedrawSuspension(CWULTiledCanvas* const& current) : m_current(current), m_canvas(current) {
    if (m_canvas)
      m_canvas->SetAutoRedraw(false);
  }
  ~CRedrawSuspension() {
    if (m_canvas && m_current == m_canvas)
      m_canvas->SetAutoRedraw(true);
  }
  CRedrawSuspension(const CRedrawSuspension&) = delete;
  CRedrawSuspension& operator=(const CRedrawSuspension&) = delete;

private:
  CWULTiledCanvas* const& m_current;
  CWULTiledCanvas* m_canvas;
};

// True while another change of the canvas's view runs.
inline bool RedrawSuspended(CWULTiledCanvas* canvas) { return canvas && !canvas->GetAutoRedraw(); }

// Accumulates wheel notches; a change of direction starts afresh.
struct CWheel {
  float accumulator = 0.0f;
  float previousDelta = 0.0f;

  void Clear() {
    accumulator = 0.0f;
    previousDelta = 0.0f;
  }
  // Adds `delta` and returns the whole steps reached (0 for none).
  int32_t Add(float delta) {
    if ((previousDelta > 0.0f && delta < 0.0f) || (previousDelta < 0.0f && delta > 0.0f))
      accumulator = 0.0f;
    accumulator += delta;
    previousDelta = delta;
    return static_cast<int32_t>(std::lround(accumulator));
  }
  // Adds `delta`; on whole steps calls zoomBy(steps), which may clear the wheel, and keeps
  // the fraction left over. Returns the steps (0 for none).
  template <class ZoomBy>
  int32_t Turn(float delta, ZoomBy zoomBy) {
    const int32_t n = Add(delta);
    if (n == 0)
      return 0;
    const float rest = accumulator - static_cast<float>(n);
    zoomBy(n);
    accumulator = rest;
    previousDelta = delta;
    return n;
  }
};

// Whether the canvas takes a wheel turn at (x, y): always while panning, else not while
// another window holds the capture, else inside its client area.
inline bool AcceptsWheel(bool panning, CWULTiledCanvas* canvas, int x, int y) {
  if (panning)
    return true;
  if (GetCapture())
    return false;
  return InClientRect(canvas, x, y);
}

// Content size of the image at the zoom (0 x 0 without an image).
inline void SetContentSize(CWULTiledCanvas* canvas, CImage* image, int32_t zoom) {
  if (!canvas)
    return;
  if (!image) {
    canvas->SetContentSize(0, 0);
    return;
  }
  canvas->SetContentSize(image->GetWidth() * zoom, image->GetHeight() * zoom);
}

inline void ScrollBy(CWULTiledCanvas* canvas, int64_t dx, int64_t dy) {
  if (!canvas)
    return;
  canvas->SetScrollPos(static_cast<int>(canvas->GetScrollX() + dx), static_cast<int>(canvas->GetScrollY() + dy));
}

// Client position of the image's top left pixel: centred where the image is smaller than
// the client area, else scrolled.
inline Point ImageOrigin(CWULTiledCanvas* canvas, CImage* image, int64_t zoom) {
  if (!image || !canvas)
    return Point{};
  const int64_t freeX = ClientWidth(canvas) - int64_t(image->GetWidth()) * zoom;
  const int64_t freeY = ClientHeight(canvas) - int64_t(image->GetHeight()) * zoom;
  Point origin;
  origin.x = static_cast<int32_t>((freeX > 0 ? freeX / 2 : 0) - canvas->GetScrollX());
  origin.y = static_cast<int32_t>((freeY > 0 ? freeY / 2 : 0) - canvas->GetScrollY());
  return origin;
}

// The 24.8 image position at the centre of client pixel (x, y).
inline Point ClientToImage(const Point& origin, int64_t zoom, int32_t x, int32_t y) {
  return Point{static_cast<int32_t>(FloorDiv((int64_t(x) - origin.x) * 256 + 128, zoom)),
               static_cast<int32_t>(FloorDiv((int64_t(y) - origin.y) * 256 + 128, zoom))};
}

// The image pixel under the client pixel.
inline Point ClientToPixel(const Point& origin, int64_t zoom, const Point& client) {
  return Point{static_cast<int32_t>(FloorDiv(int64_t(client.x) - origin.x, zoom)),
               static_cast<int32_t>(FloorDiv(int64_t(client.y) - origin.y, zoom))};
}

// Scrolls so that the anchor's image point comes back under its client point (both 24.8).
inline void ScrollToAnchor(CWULTiledCanvas* canvas, const MainView::CZoomAnchor& anchor, const Point& origin,
                           int64_t zoom) {
  const int64_t dx =
      RoundFixed(static_cast<int32_t>(anchor.image.x * zoom + int64_t(origin.x) * 256 - anchor.client.x));
  const int64_t dy =
      RoundFixed(static_cast<int32_t>(anchor.image.y * zoom + int64_t(origin.y) * 256 - anchor.client.y));
  ScrollBy(canvas, dx, dy);
}

// The anchor at the client centre, for the origin and zoom before a change of zoom.
inline MainView::CZoomAnchor CentreAnchor(CWULTiledCanvas* canvas, const Point& origin, int64_t zoom) {
  MainView::CZoomAnchor fixed;
  fixed.client = Point{ClientWidth(canvas) * 128, ClientHeight(canvas) * 128};
  fixed.image.x = static_cast<int32_t>((int64_t(fixed.client.x) - int64_t(origin.x) * 256) / zoom);
  fixed.image.y = static_cast<int32_t>((int64_t(fixed.client.y) - int64_t(origin.y) * 256) / zoom);
  return fixed;
}

// The paint rectangle clipped to the buffer.
inline Rect ClipToBuffer(const CPixelArray& view, const RECT& rect) {
  Rect update;
  update.left = std::max<int32_t>(0, rect.left);
  update.top = std::max<int32_t>(0, rect.top);
  update.right = std::min<int32_t>(view.width, rect.right);
  update.bottom = std::min<int32_t>(view.height, rect.bottom);
  return update;
}

// Client rectangle the zoomed image covers.
inline Rect ImageBounds(const Point& origin, CImage* image, int32_t zoom) {
  Rect r;
  r.left = origin.x;
  r.top = origin.y;
  r.right = static_cast<int32_t>(origin.x + int64_t(image->GetWidth()) * zoom);
  r.bottom = static_cast<int32_t>(origin.y + int64_t(image->GetHeight()) * zoom);
  return r;
}

}  // namespace ZoomedView
