#include "wul/WULScroll.h"
#include <algorithm>
#include <cstring>
#include <new>
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULSystem.h"

namespace {

const RECT kEmpty = {0, 0, 0, 0};

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A window DC for painting outside WM_NCPAINT, released also when painting throws.
class WindowDC {
public:
  explicit WindowDC(HWND window) : m_window(window), m_dc(nullptr) {
    if (window)
      m_dc = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE | DCX_CLIPSIBLINGS);
  }
  ~WindowDC() {
    if (m_dc)
      ReleaseDC(m_window, m_dc);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return m_dc; }

private:
  HWND m_window;
  HDC m_dc;
};

}  // namespace

CWULScrollWindow::CWULScrollWindow()
    : borderStyle(3),
      hBarMode(WUL_BAR_AUTO),
      vBarMode(WUL_BAR_AUTO),
      redrawMode(0),
      barThickness(wulScrollBarThickness),
      contentWidth(0),
      contentHeight(0),
      scrollX(0),
      scrollY(0),
      notifiedContentWidth(0),
      notifiedContentHeight(0),
      notifiedScrollX(0),
      notifiedScrollY(0),
      lineStepX(1),
      lineStepY(1),
      hBarShown(0),
      vBarShown(0),
      hThumbActive(0),
      vThumbActive(0),
      hBar(kEmpty),
      vBar(kEmpty),
      corner(kEmpty),
      activePart(WUL_SCROLL_NONE),
      dragCursor{0, 0},
      dragScroll{0, 0} {
  for (RECT& part : parts)
    part = kEmpty;
  std::memset(pressedParts, 0, sizeof pressedParts);
}

// --- settings ---

void CWULScrollWindow::SetScrollPos(int sx, int sy) {
  if (sx == scrollX && sy == scrollY)
    return;
  scrollX = sx;
  scrollY = sy;
  UpdateBars();
  CheckScrollPos();
}

void CWULScrollWindow::GetScrollPos(POINT* point) {
  point->x = scrollX;
  point->y = scrollY;
}

void CWULScrollWindow::SetBorderStyle(int value) {
  if (value == borderStyle)
    return;
  borderStyle = value;
  OnFontChanged();
}

int CWULScrollWindow::GetBorderStyle() { return borderStyle; }
int CWULScrollWindow::GetHBarMode() { return hBarMode; }

void CWULScrollWindow::SetHBarMode(int mode) {
  if (mode == hBarMode)
    return;
  hBarMode = mode;
  OnFontChanged();
}

int CWULScrollWindow::GetVBarMode() { return vBarMode; }

void CWULScrollWindow::SetVBarMode(int mode) {
  if (mode == vBarMode)
    return;
  vBarMode = mode;
  OnFontChanged();
}

void CWULScrollWindow::SetRedrawMode(int mode) { redrawMode = mode; }
int CWULScrollWindow::GetRedrawMode() { return redrawMode; }

void CWULScrollWindow::SetBarThickness(int value) {
  value = std::max(0, value);
  if (value == barThickness)
    return;
  barThickness = value;
  OnFontChanged();
}

int CWULScrollWindow::GetBarThickness() { return barThickness; }
int CWULScrollWindow::GetContentWidth() { return contentWidth; }
int CWULScrollWindow::GetContentHeight() { return contentHeight; }
void CWULScrollWindow::SetScrollX(int value) { SetScrollPos(value, scrollY); }
int CWULScrollWindow::GetScrollX() { return scrollX; }
void CWULScrollWindow::SetScrollY(int value) { SetScrollPos(scrollX, value); }
int CWULScrollWindow::GetScrollY() { return scrollY; }

void CWULScrollWindow::SetLineStep(int stepX, int stepY) {
  lineStepX = stepX;
  lineStepY = stepY;
}

int CWULScrollWindow::GetLineStepX() { return lineStepX; }
int CWULScrollWindow::GetLineStepY() { return lineStepY; }

void CWULScrollWindow::SetContentSize(int contentW, int contentH) {
  contentW = std::max(0, contentW);
  contentH = std::max(0, contentH);
  if (contentW == contentWidth && contentH == contentHeight)
    return;
  contentWidth = contentW;
  contentHeight = contentH;
  OnFontChanged();
}

void CWULScrollWindow::SetContentWidth(int value) { SetContentSize(value, contentHeight); }
void CWULScrollWindow::SetContentHeight(int value) { SetContentSize(contentWidth, value); }

// --- geometry ---

void CWULScrollWindow::ComputeInsets() {
  const int border = borderStyle == 3 ? 2 : (borderStyle == 1 || borderStyle == 2) ? 1 : 0;
  leftInset = topInset = rightInset = bottomInset = border;
  hBarShown = vBarShown = hThumbActive = vThumbActive = 0;
  ComputeClientSize();
  if (hBarMode == WUL_BAR_AUTO || hBarMode == WUL_BAR_ALWAYS) {
    const bool larger = clientWidth < contentWidth;
    hBarShown = hBarMode == WUL_BAR_ALWAYS || larger;
    hThumbActive = larger;
    if (hBarShown)
      bottomInset += barThickness;
  }
  ComputeClientSize();
  if (vBarMode == WUL_BAR_AUTO || vBarMode == WUL_BAR_ALWAYS) {
    const bool larger = clientHeight < contentHeight;
    vBarShown = vBarMode == WUL_BAR_ALWAYS || larger;
    vThumbActive = larger;
    if (vBarShown)
      rightInset += barThickness;
  }
  ComputeClientSize();
  // The vertical bar narrows the client area and may make the horizontal one necessary.
  if (vBarShown && !hThumbActive && clientWidth < contentWidth) {
    if (hBarMode == WUL_BAR_AUTO) {
      hBarShown = hThumbActive = 1;
      bottomInset += barThickness;
    } else if (hBarMode == WUL_BAR_ALWAYS) {
      hThumbActive = 1;
    }
  }
  ComputeClientSize();
}

void CWULScrollWindow::PlaceBar(bool horizontal) {
  RECT bar;
  if (horizontal)
    bar = {leftInset, topInset + clientHeight, width - rightInset, topInset + clientHeight + barThickness};
  else
    bar = {leftInset + clientWidth, topInset, leftInset + clientWidth + barThickness, height - bottomInset};
  RECT inner = bar;
  wulDeflateRect(&inner, 1);
  // Along the bar: the coordinate that runs with it, and the one across it.
  auto along = [horizontal](const RECT& r, bool end) -> long { return horizontal ? (end ? r.right : r.left) : (end ? r.bottom : r.top); };
  const int side = std::max(0, horizontal ? static_cast<int>(inner.bottom - inner.top) : static_cast<int>(inner.right - inner.left));
  const int start = along(inner, false);
  const int end = along(inner, true);
  const int trackStart = start + side;
  const int trackEnd = std::max(trackStart, end - side);
  const int trackLength = trackEnd - trackStart;
  // Builds a rectangle from a span along the bar.
  auto span = [&](int from, int to) -> RECT {
    if (horizontal)
      return RECT{from, inner.top, to, inner.bottom};
    return RECT{inner.left, from, inner.right, to};
  };
  const int first = horizontal ? WUL_SCROLL_LEFT_ARROW : WUL_SCROLL_UP_ARROW;
  parts[first] = span(start, start + side);                          // left / up arrow
  parts[first + 2] = span(end - side, end);                          // right / down arrow
  const bool active = horizontal ? hThumbActive : vThumbActive;
  if (active) {
    const int64_t content = horizontal ? contentWidth : contentHeight;
    const int64_t client = horizontal ? clientWidth : clientHeight;
    const int64_t scroll = horizontal ? scrollX : scrollY;
    int64_t thumb = (client * trackLength + content / 2) / content;
    if (thumb < 16) {
      thumb = std::min<int64_t>(16, horizontal ? trackLength - 1 : trackLength);
      if (horizontal && thumb <= 4)
        thumb = 4;
    }
    const int64_t range = content - client;
    const int64_t free = std::max<int64_t>(0, trackLength - thumb);
    const int thumbStart = trackStart + static_cast<int>((free * scroll + range / 2) / range);
    const int thumbEnd = thumbStart + static_cast<int>(thumb);
    parts[first + 1] = span(trackStart, thumbStart);  // track before the thumb
    parts[first + 4] = span(thumbStart, thumbEnd);    // thumb
    parts[first + 3] = span(thumbEnd, std::max(thumbEnd, trackEnd));
  } else {
    parts[first + 1] = span(trackStart, trackEnd);
    parts[first + 4] = span(trackEnd, trackEnd);
    parts[first + 3] = span(trackEnd, trackEnd);
  }
  if (horizontal)
    hBar = bar;
  else
    vBar = bar;
}

void CWULScrollWindow::ComputeBars() {
  scrollX = std::max(0, std::min(scrollX, std::max(0, contentWidth - clientWidth)));
  scrollY = std::max(0, std::min(scrollY, std::max(0, contentHeight - clientHeight)));
  for (RECT& part : parts)
    part = kEmpty;
  hBar = vBar = corner = kEmpty;
  if (hBarShown)
    PlaceBar(true);
  if (vBarShown)
    PlaceBar(false);
  if (hBarShown && vBarShown) {
    corner = {vBar.left, hBar.top, vBar.right, hBar.bottom};
    parts[WUL_SCROLL_CORNER] = corner;
    wulDeflateRect(&parts[WUL_SCROLL_CORNER], 1);
  }
}

bool CWULScrollWindow::SameParts(const RECT* before) const {
  for (int i = 0; i < WUL_SCROLL_PART_COUNT; i++) {
    if (!EqualRect(&before[i], &parts[i]))
      return false;
  }
  return EqualRect(&before[WUL_SCROLL_PART_COUNT], &hBar) && EqualRect(&before[WUL_SCROLL_PART_COUNT + 1], &vBar);
}

void CWULScrollWindow::UpdateBars() {
  RECT before[WUL_SCROLL_PART_COUNT + 2];
  std::memcpy(before, parts, sizeof parts);
  before[WUL_SCROLL_PART_COUNT] = hBar;
  before[WUL_SCROLL_PART_COUNT + 1] = vBar;
  ComputeBars();
  if (window && !SameParts(before))
    PaintNonClientNow();
}

void CWULScrollWindow::CheckContentSize() {
  if (contentWidth == notifiedContentWidth && contentHeight == notifiedContentHeight)
    return;
  OnContentSizeChanged();
  notifiedContentWidth = contentWidth;
  notifiedContentHeight = contentHeight;
}

void CWULScrollWindow::CheckScrollPos() {
  if (scrollX == notifiedScrollX && scrollY == notifiedScrollY)
    return;
  OnScrolled();
  notifiedScrollX = scrollX;
  notifiedScrollY = scrollY;
}

void CWULScrollWindow::OnContentSizeChanged() {}

void CWULScrollWindow::OnScrolled() {
  if (!GetAutoRedraw() || !window)
    return;
  ScrollWindowEx(window, notifiedScrollX - scrollX, notifiedScrollY - scrollY, nullptr, nullptr, nullptr, nullptr,
                 SW_INVALIDATE | SW_ERASE);
  UpdateWindow(window);
}

void CWULScrollWindow::GeometryHook() {
  CWULContainer::GeometryHook();
  ComputeBars();
}

void CWULScrollWindow::OnGeometryChanged() {
  GeometryHook();
  CheckContentSize();
  CheckScrollPos();
  CheckSize();
  CheckPosition();
}

void CWULScrollWindow::OnFontChanged() {
  RECT before[WUL_SCROLL_PART_COUNT + 2];
  std::memcpy(before, parts, sizeof parts);
  before[WUL_SCROLL_PART_COUNT] = hBar;
  before[WUL_SCROLL_PART_COUNT + 1] = vBar;
  CWULContainer::OnFontChanged();
  if (redrawMode == 1 && !GetAutoRedraw() && window && !SameParts(before))
    PaintNonClientNow();
}

// --- mouse ---

POINT CWULScrollWindow::ThumbCentre() {
  const RECT& h = hThumbActive ? parts[WUL_SCROLL_H_THUMB] : corner;
  const RECT& v = vThumbActive ? parts[WUL_SCROLL_V_THUMB] : corner;
  POINT centre = {(h.left + h.right) / 2 + GetScreenLeft(), (v.top + v.bottom) / 2 + GetScreenTop()};
  return centre;
}

int CWULScrollWindow::DragGap(bool horizontal) {
  if (horizontal) {
    const RECT& thumb = parts[WUL_SCROLL_H_THUMB];
    return (parts[WUL_SCROLL_TRACK_RIGHT].right - parts[WUL_SCROLL_TRACK_LEFT].left) - (thumb.right - thumb.left);
  }
  const RECT& thumb = parts[WUL_SCROLL_V_THUMB];
  return (parts[WUL_SCROLL_TRACK_BELOW].bottom - parts[WUL_SCROLL_TRACK_ABOVE].top) - (thumb.bottom - thumb.top);
}

void CWULScrollWindow::RepaintPart(int part) {
  WindowDC dc(window);
  if (dc.Get())
    PaintBarPart(dc.Get(), part);
}

LRESULT CWULScrollWindow::OnNcButtonDown(int, int nx, int ny) {
  if (!window || activePart)
    return 0;
  int part = WUL_SCROLL_NONE;
  if (hThumbActive && wulPtInRect(nx, ny, &hBar)) {
    for (int p = WUL_SCROLL_LEFT_ARROW; p <= WUL_SCROLL_H_THUMB; p++) {
      if (wulPtInRect(nx, ny, &parts[p]))
        part = p;
    }
  } else if (vThumbActive && wulPtInRect(nx, ny, &vBar)) {
    for (int p = WUL_SCROLL_UP_ARROW; p <= WUL_SCROLL_V_THUMB; p++) {
      if (wulPtInRect(nx, ny, &parts[p]))
        part = p;
    }
  }
  if (part) {
    pressedParts[part] = 1;
    activePart = part;
    SetCapture(window);
    if (part == WUL_SCROLL_H_THUMB || part == WUL_SCROLL_V_THUMB) {
      dragCursor = {nx + GetScreenLeft(), ny + GetScreenTop()};
      dragScroll = {scrollX, scrollY};
    }
    RepaintPart(part);
  } else if ((hThumbActive || vThumbActive) && hBarShown && vBarShown &&
             wulPtInRect(nx, ny, &parts[WUL_SCROLL_CORNER])) {
    pressedParts[WUL_SCROLL_CORNER] = pressedParts[WUL_SCROLL_H_THUMB] = pressedParts[WUL_SCROLL_V_THUMB] = 1;
    RepaintPart(WUL_SCROLL_CORNER);
    RepaintPart(WUL_SCROLL_H_THUMB);
    RepaintPart(WUL_SCROLL_V_THUMB);
    activePart = WUL_SCROLL_CORNER;
    SetCapture(window);
    ::SetCursor(nullptr);
    POINT centre = ThumbCentre();
    SetCursorPos(centre.x, centre.y);
    dragCursor = centre;
    dragScroll = {scrollX, scrollY};
  }
  return 0;
}

LRESULT CWULScrollWindow::OnNcLButtonDown(int hit, int nx, int ny) {
  OnNcButtonDown(hit, nx, ny);
  return CWULContainer::OnNcLButtonDown(hit, nx, ny);
}

LRESULT CWULScrollWindow::OnNcLButtonDblClk(int hit, int nx, int ny) {
  OnNcButtonDown(hit, nx, ny);
  return CWULContainer::OnNcLButtonDblClk(hit, nx, ny);
}

LRESULT CWULScrollWindow::OnMouseMove(int keys, int mx, int my) {
  if (window && activePart && GetCapture() == window) {
    const int px = mx + leftInset;
    const int py = my + topInset;
    POINT screen = {mx, my};
    ClientToScreen(window, &screen);
    switch (activePart) {
      case WUL_SCROLL_H_THUMB:
      case WUL_SCROLL_V_THUMB:
      case WUL_SCROLL_CORNER: {
        const bool moveX = activePart != WUL_SCROLL_V_THUMB;
        const bool moveY = activePart != WUL_SCROLL_H_THUMB;
        int newX = scrollX;
        int newY = scrollY;
        const int64_t gx = DragGap(true);
        const int64_t gy = DragGap(false);
        if (moveX) {
          newX = dragScroll.x;
          if (gx >= 1 && hThumbActive)
            newX = static_cast<int>((int64_t(contentWidth - clientWidth) * (screen.x - dragCursor.x) + gx / 2) / gx +
                                    dragScroll.x);
        }
        if (moveY) {
          newY = dragScroll.y;
          if (gy >= 1 && vThumbActive)
            newY = static_cast<int>((int64_t(contentHeight - clientHeight) * (screen.y - dragCursor.y) + gy / 2) / gy +
                                    dragScroll.y);
        }
        SetScrollPos(newX, newY);
        break;
      }
      default: {
        const uint8_t inside = wulPtInRect(px, py, &parts[activePart]) ? 1 : 0;
        if (inside != pressedParts[activePart]) {
          pressedParts[activePart] = inside;
          RepaintPart(activePart);
        }
        break;
      }
    }
  }
  return CWULContainer::OnMouseMove(keys, mx, my);
}

LRESULT CWULScrollWindow::OnLButtonUp(int keys, int mx, int my) {
  if (window && activePart && GetCapture() == window)
    ReleaseCapture();
  return CWULContainer::OnLButtonUp(keys, mx, my);
}

LRESULT CWULScrollWindow::OnCaptureChanged(HWND) {
  const int part = activePart;
  if (!part)
    return 0;
  activePart = WUL_SCROLL_NONE;
  switch (part) {
    case WUL_SCROLL_H_THUMB:
    case WUL_SCROLL_V_THUMB:
      pressedParts[part] = 0;
      RepaintPart(part);
      break;
    case WUL_SCROLL_CORNER: {
      RECT box = corner;
      SetCursorPos((box.left + box.right) / 2 + GetScreenLeft(), (box.top + box.bottom) / 2 + GetScreenTop());
      pressedParts[WUL_SCROLL_CORNER] = pressedParts[WUL_SCROLL_H_THUMB] = pressedParts[WUL_SCROLL_V_THUMB] = 0;
      RepaintPart(WUL_SCROLL_CORNER);
      RepaintPart(WUL_SCROLL_H_THUMB);
      RepaintPart(WUL_SCROLL_V_THUMB);
      break;
    }
    default: {
      if (!pressedParts[part])
        break;
      pressedParts[part] = 0;
      RepaintPart(part);
      // Arrows move by a line, the track by a page less one line.
      switch (part) {
        case WUL_SCROLL_LEFT_ARROW: SetScrollX(scrollX - lineStepX); break;
        case WUL_SCROLL_TRACK_LEFT: SetScrollX(scrollX + lineStepX - clientWidth); break;
        case WUL_SCROLL_RIGHT_ARROW: SetScrollX(scrollX + lineStepX); break;
        case WUL_SCROLL_TRACK_RIGHT: SetScrollX(scrollX + clientWidth - lineStepX); break;
        case WUL_SCROLL_UP_ARROW: SetScrollY(scrollY - lineStepY); break;
        case WUL_SCROLL_TRACK_ABOVE: SetScrollY(scrollY + lineStepY - clientHeight); break;
        case WUL_SCROLL_DOWN_ARROW: SetScrollY(scrollY + lineStepY); break;
        case WUL_SCROLL_TRACK_BELOW: SetScrollY(scrollY + clientHeight - lineStepY); break;
        default: break;
      }
      break;
    }
  }
  return 0;
}

// --- painting ---

LRESULT CWULScrollWindow::PaintNonClient(HDC dc) {
  PaintBorder(dc);
  PaintBars(dc);
  return 0;
}

void CWULScrollWindow::PaintBorder(HDC dc) {
  if (borderStyle < 1 || borderStyle > 3)
    return;
  CWULColor base(parent ? parent->GetColor() : wulColors[0]);
  CWULPenBrush pens;
  if (!pens.Create(base))
    return;
  RECT rect = {0, 0, width, height};
  if (borderStyle == 1) {
    wulDrawRectOutline(dc, &rect, pens.shadePen);
    return;
  }
  // A sunken bevel.
  wulDrawFrame(dc, &rect, pens.darkPen, pens.lightPen, base);
  if (borderStyle == 3) {
    wulDeflateRect(&rect, 1);
    wulDrawRectOutline(dc, &rect, pens.shadePen);
  }
}

void CWULScrollWindow::PaintBars(HDC dc) {
  CWULPenBrush pens;
  if (!pens.Create(wulColors[22]))
    return;
  if (hBarShown) {
    wulDrawRectOutline(dc, &hBar, pens.basePen);
    for (int part = WUL_SCROLL_LEFT_ARROW; part <= WUL_SCROLL_H_THUMB; part++)
      PaintBarPart(dc, part);
  }
  if (vBarShown) {
    wulDrawRectOutline(dc, &vBar, pens.basePen);
    for (int part = WUL_SCROLL_UP_ARROW; part <= WUL_SCROLL_V_THUMB; part++)
      PaintBarPart(dc, part);
  }
  if (hBarShown && vBarShown)
    PaintBarPart(dc, WUL_SCROLL_CORNER);
}

void CWULScrollWindow::PaintBarPart(HDC dc, int part) {
  if (part <= WUL_SCROLL_NONE || part >= WUL_SCROLL_PART_COUNT)
    return;
  const CWULColor& face = wulColors[22];
  if (part == WUL_SCROLL_CORNER) {
    if (IsEmpty(corner))
      return;
    const bool down = pressedParts[part] != 0;
    CWULPenBrush pens;
    if (!pens.Create(down ? face.Scale(0.75f) : face))
      return;
    wulDrawRect(dc, &corner, pens.basePen, pens.brush);
    const RECT& inner = parts[WUL_SCROLL_CORNER];
    const int cx = (inner.left + inner.right) / 2;
    const int cy = (inner.top + inner.bottom) / 2;
    RECT box = {cx - 2, cy - 2, cx + 3, cy + 3};
    wulDrawRectOutline(dc, &box, pens.darkPen);
    wulDrawLine(dc, cx, inner.top + 1, cx, box.top, pens.darkPen);
    wulDrawLine(dc, cx, box.bottom, cx, inner.bottom - 1, pens.darkPen);
    wulDrawLine(dc, inner.left + 1, cy, box.left, cy, pens.darkPen);
    wulDrawLine(dc, box.right, cy, inner.right - 1, cy, pens.darkPen);
    return;
  }
  const RECT& rect = parts[part];
  if (IsEmpty(rect))
    return;
  const bool horizontal = part <= WUL_SCROLL_H_THUMB;
  const bool active = horizontal ? hThumbActive != 0 : vThumbActive != 0;
  const bool down = pressedParts[part] != 0;
  switch (part) {
    case WUL_SCROLL_TRACK_LEFT:
    case WUL_SCROLL_TRACK_RIGHT:
      PaintHTrack(dc, &rect, down);
      return;
    case WUL_SCROLL_TRACK_ABOVE:
    case WUL_SCROLL_TRACK_BELOW:
      PaintVTrack(dc, &rect, down);
      return;
    case WUL_SCROLL_H_THUMB:
    case WUL_SCROLL_V_THUMB: {
      PaintButton(dc, &rect, down);
      const int length = horizontal ? rect.right - rect.left : rect.bottom - rect.top;
      if (length < 16)
        return;
      CWULPenBrush pens;
      if (!pens.Create(down ? face.Scale(0.75f) : face))
        return;
      const int cx = (rect.left + rect.right) / 2;
      const int cy = (rect.top + rect.bottom) / 2;
      for (int i = 0; i < 8; i++) {
        HPEN pen = (i & 1) ? pens.darkPen : pens.lightPen;
        if (horizontal)
          wulDrawLine(dc, cx - 4 + i, rect.top + 3, cx - 4 + i, rect.bottom - 3, pen);
        else
          wulDrawLine(dc, rect.left + 3, cy - 4 + i, rect.right - 3, cy - 4 + i, pen);
      }
      return;
    }
    default:
      break;
  }
  // An arrow button: a filled triangle pointing away from the track.
  PaintButton(dc, &rect, down);
  CWULColor arrow(wulColors[23]);
  if (!active)
    arrow = wulColors[23].Blend(face, 0.5f);
  CWULPenBrush pens;
  if (!pens.Create(arrow))
    return;
  const int side = horizontal ? rect.bottom - rect.top : rect.right - rect.left;
  const int a = std::max(2, side / 4);
  const int cx = (rect.left + rect.right) / 2;
  const int cy = (rect.top + rect.bottom) / 2;
  POINT points[3];
  switch (part) {
    case WUL_SCROLL_LEFT_ARROW:
      points[0] = {cx - a / 2, cy};
      points[1] = {cx - a / 2 + a, cy - a};
      points[2] = {cx - a / 2 + a, cy + a};
      break;
    case WUL_SCROLL_RIGHT_ARROW:
      points[0] = {cx + a / 2, cy};
      points[1] = {cx + a / 2 - a, cy - a};
      points[2] = {cx + a / 2 - a, cy + a};
      break;
    case WUL_SCROLL_UP_ARROW:
      points[0] = {cx, cy - a / 2};
      points[1] = {cx - a, cy - a / 2 + a};
      points[2] = {cx + a, cy - a / 2 + a};
      break;
    default:
      points[0] = {cx, cy + a / 2};
      points[1] = {cx - a, cy + a / 2 - a};
      points[2] = {cx + a, cy + a / 2 - a};
      break;
  }
  wulDrawPolygon(dc, points, 3, pens.basePen, pens.brush);
}

void CWULScrollWindow::PaintButton(HDC dc, const RECT* rect, bool down) {
  const CWULColor& face = wulColors[22];
  CWULPenBrush pens;
  if (!pens.Create(down ? face.Scale(0.75f) : face))
    return;
  wulFillRect(dc, rect, pens.brush);
  if (down)
    wulDrawFrame(dc, rect, pens.darkPen, pens.lightPen, pens.base);
  else
    wulDrawFrame(dc, rect, pens.lightPen, pens.darkPen, pens.base);
}

void CWULScrollWindow::PaintHTrack(HDC dc, const RECT* rect, bool down) {
  HBRUSH brush = CreateSolidBrush(wulColors[22].Scale(down ? 0.65f : 0.85f).GetColorRef());
  if (!brush)
    return;
  wulFillRect(dc, rect, brush);
  DeleteObject(brush);
}

void CWULScrollWindow::PaintVTrack(HDC dc, const RECT* rect, bool down) { PaintHTrack(dc, rect, down); }

// --- CWULView ---

CWULView::CWULView() : clientContainer(nullptr) {
  // The container attaches to the view as it is made.
  wulPushDefaultParent(this);
  clientContainer = new (std::nothrow) CWULContainer;
  wulPopDefaultParent();
  if (!clientContainer)
    wulThrowError(5, "CWULView::CWULView", "Client container creation failed");
  clientContainer->SetParent(this);
  clientContainer->SetPosition(-scrollX, -scrollY);
  OnGeometryChanged();
}

void CWULView::OnContentSizeChanged() {
  if (!clientContainer)
    return;
  const int w = std::max(contentWidth, clientWidth);
  const int h = std::max(contentHeight, clientHeight);
  if (clientContainer->GetWidth() != w || clientContainer->GetHeight() != h)
    clientContainer->SetSize(w, h);
}

void CWULView::OnScrolled() {
  if (!clientContainer)
    return;
  if (clientContainer->GetX() != -scrollX || clientContainer->GetY() != -scrollY)
    clientContainer->SetPosition(-scrollX, -scrollY);
}

void CWULView::LayoutChildren() {
  CWULScrollWindow::LayoutChildren();
  OnContentSizeChanged();
}
