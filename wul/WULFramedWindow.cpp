#include "wul/WULFramedWindow.h"
#include <algorithm>

namespace {

inline int SignedLow(LPARAM value) { return static_cast<short>(LOWORD(value)); }
inline int SignedHigh(LPARAM value) { return static_cast<short>(HIWORD(value)); }

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

void wulFillUpdateArea(HWND window, HDC dc, const CWULColor& color) {
  RECT area;
  if (!window || !GetUpdateRect(window, &area, FALSE)) {
    // The DC of an erase sent by BeginPaint is clipped to the region already validated.
    int kind = GetClipBox(dc, &area);
    if (kind == NULLREGION || kind == ERROR)
      return;
  }
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  if (!brush)
    return;
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

// --- CWULFramedWindow ---

CWULFramedWindow::CWULFramedWindow()
    : clientSizeChangedHandler(nullptr),
      clientWidth(0),
      clientHeight(0),
      laidOutWidth(0),
      laidOutHeight(0),
      leftInset(0),
      topInset(0),
      rightInset(0),
      bottomInset(0) {
  exStyle |= WS_EX_CONTROLPARENT;
}

int32_t CWULFramedWindow::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (sender && sender->classCode == WUL_CLASS_INTERACTOR && sender->listener == this && code == WUL_NOTIFY_CHANGED) {
    LayoutChildren();
    return 0;
  }
  return CWULInteractor::HandleNotify(sender, code, param);
}

void CWULFramedWindow::SetClientSize(int clientW, int clientH) {
  SetSize(clientW + leftInset + rightInset, clientH + topInset + bottomInset);
}

void CWULFramedWindow::GetClientRect(RECT* rect) {
  rect->left = leftInset;
  rect->top = topInset;
  rect->right = width - rightInset;
  rect->bottom = height - bottomInset;
}

void CWULFramedWindow::CloseChildren() {
  for (CWULInteractor* child = firstChild; child;) {
    CWULInteractor* next = child->nextSibling;
    child->Close();
    child = next;
  }
}

int CWULFramedWindow::GetClientWidth() { return clientWidth; }
void CWULFramedWindow::SetClientWidth(int value) { SetWidth(value + leftInset + rightInset); }
int CWULFramedWindow::GetClientHeight() { return clientHeight; }
void CWULFramedWindow::SetClientHeight(int value) { SetHeight(value + topInset + bottomInset); }
int CWULFramedWindow::GetLeftInset() { return leftInset; }
int CWULFramedWindow::GetTopInset() { return topInset; }

void CWULFramedWindow::ComputeInsets() {
  leftInset = 0;
  topInset = 0;
  rightInset = 0;
  bottomInset = 0;
}

void CWULFramedWindow::ComputeClientSize() {
  clientWidth = std::max(0, width - leftInset - rightInset);
  clientHeight = std::max(0, height - topInset - bottomInset);
}

void CWULFramedWindow::ClientSizeHook() {}

void CWULFramedWindow::OnClientSizeChanged() { LayoutChildren(); }

void CWULFramedWindow::GeometryHook() {
  ComputeInsets();
  ComputeClientSize();
  ClientSizeHook();
}

void CWULFramedWindow::CheckSize() {
  CWULInteractor::CheckSize();
  if (clientWidth == laidOutWidth && clientHeight == laidOutHeight)
    return;
  OnClientSizeChanged();
  laidOutWidth = clientWidth;
  laidOutHeight = clientHeight;
  if (clientSizeChangedHandler) {
    CWULCallbackBracket bracket(this);
    clientSizeChangedHandler(this);
  }
}

void CWULFramedWindow::OnFontChanged() {
  const int32_t before[4] = {leftInset, topInset, rightInset, bottomInset};
  OnGeometryChanged();
  const bool changed =
      before[0] != leftInset || before[1] != topInset || before[2] != rightInset || before[3] != bottomInset;
  if (window && changed) {
    // The system asks for the new client area.
    const bool suppressed = (flagsB & WUL_IF_ERASE_SUPPRESSED) != 0;
    flagsB |= WUL_IF_ERASE_SUPPRESSED;
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    if (!suppressed)
      flagsB &= ~WUL_IF_ERASE_SUPPRESSED;
  }
  OnColorChanged();
}

LRESULT CWULFramedWindow::OnNcCalcSize(bool validRects, LPARAM lParam) {
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
  RECT* proposed = validRects ? &params->rgrc[0] : reinterpret_cast<RECT*>(lParam);
  x = proposed->left;
  y = proposed->top;
  width = proposed->right - proposed->left;
  height = proposed->bottom - proposed->top;
  OnGeometryChanged();
  // The client area, never turned inside out.
  RECT client = {proposed->left + leftInset, proposed->top + topInset, proposed->right - rightInset,
                 proposed->bottom - bottomInset};
  client.right = std::max(client.left, client.right);
  client.bottom = std::max(client.top, client.bottom);
  *proposed = client;
  if (validRects) {
    params->rgrc[1] = params->rgrc[0];
    return WVR_VALIDRECTS;
  }
  return 0;
}

LRESULT CWULFramedWindow::OnNcHitTest(int hx, int hy) {
  RECT client;
  GetClientRect(&client);
  if (hx >= client.left && hx < client.right && hy >= client.top && hy < client.bottom)
    return HTCLIENT;
  return HTBORDER;
}

bool CWULFramedWindow::AcceptsWheel(int wx, int wy) {
  if (window && GetCapture() == window)
    return false;
  RECT client;
  GetClientRect(&client);
  return wx >= client.left && wx < client.right && wy >= client.top && wy < client.bottom;
}

void CWULFramedWindow::PaintNonClientNow() {
  if (!window)
    return;
  HDC dc = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc)
    return;
  try {
    PaintNonClient(dc);
  } catch (...) {
    ReleaseDC(window, dc);
    throw;
  }
  ReleaseDC(window, dc);
}

LRESULT CWULFramedWindow::NcMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  const int hit = static_cast<int>(wParam);
  const int nx = SignedLow(lParam) - GetScreenLeft();
  const int ny = SignedHigh(lParam) - GetScreenTop();
  switch (message) {
    case WM_NCMOUSEMOVE: return OnNcMouseMove(hit, nx, ny);
    case WM_NCLBUTTONDOWN: return OnNcLButtonDown(hit, nx, ny);
    case WM_NCLBUTTONUP: return OnNcLButtonUp(hit, nx, ny);
    case WM_NCLBUTTONDBLCLK: return OnNcLButtonDblClk(hit, nx, ny);
    case WM_NCRBUTTONDOWN: return OnNcRButtonDown(hit, nx, ny);
    case WM_NCRBUTTONUP: return OnNcRButtonUp(hit, nx, ny);
    case WM_NCRBUTTONDBLCLK: return OnNcRButtonDblClk(hit, nx, ny);
    case WM_NCMBUTTONDOWN: return OnNcMButtonDown(hit, nx, ny);
    case WM_NCMBUTTONUP: return OnNcMButtonUp(hit, nx, ny);
    default: return OnNcMButtonDblClk(hit, nx, ny);
  }
}

bool CWULFramedWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_NCPAINT: {
      if (!window)
        return false;
      DWORD flags = DCX_WINDOW | DCX_CACHE | DCX_CLIPSIBLINGS;
      HRGN clip = nullptr;
      if (wParam != 1) {
        // The DC takes over the region it is given, so it gets a copy.
        clip = CreateRectRgn(0, 0, 0, 0);
        if (clip && CombineRgn(clip, reinterpret_cast<HRGN>(wParam), nullptr, RGN_COPY) != ERROR) {
          flags |= DCX_INTERSECTRGN;
        } else if (clip) {
          DeleteObject(clip);
          clip = nullptr;
        }
      }
      HDC dc = GetDCEx(window, clip, flags);
      if (!dc && clip)
        DeleteObject(clip);
      if (dc) {
        try {
          PaintNonClient(dc);
        } catch (...) {
          ReleaseDC(window, dc);
          throw;
        }
        ReleaseDC(window, dc);
      }
      *result = 0;
      return true;
    }
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
    case WM_NCMBUTTONDBLCLK:
      if (message == WM_NCMOUSEMOVE && (flagsB & WUL_IF_HOVER_WANTED))
        TrackHover(message, lParam);
      *result = NcMouse(message, wParam, lParam);
      return true;
    case WM_PARENTNOTIFY:
      OnParentNotify(LOWORD(wParam), HIWORD(wParam), lParam);
      *result = 0;
      return true;
    default:
      return CWULInteractor::Dispatch(message, wParam, lParam, result);
  }
}

#define WUL_DEFAULT_NC_MOUSE(name, message)                                                                  \
  LRESULT CWULFramedWindow::name(int hit, int nx, int ny) {                                                \
    if (!window)                                                                                             \
      return 0;                                                                                              \
    return DefWindowProcA(window, message, static_cast<WPARAM>(hit),                                         \
                          MAKELPARAM(nx + GetScreenLeft(), ny + GetScreenTop()));                            \
  }
WUL_DEFAULT_NC_MOUSE(OnNcMouseMove, WM_NCMOUSEMOVE)
WUL_DEFAULT_NC_MOUSE(OnNcLButtonDown, WM_NCLBUTTONDOWN)
WUL_DEFAULT_NC_MOUSE(OnNcLButtonUp, WM_NCLBUTTONUP)
WUL_DEFAULT_NC_MOUSE(OnNcLButtonDblClk, WM_NCLBUTTONDBLCLK)
WUL_DEFAULT_NC_MOUSE(OnNcRButtonDown, WM_NCRBUTTONDOWN)
WUL_DEFAULT_NC_MOUSE(OnNcRButtonUp, WM_NCRBUTTONUP)
WUL_DEFAULT_NC_MOUSE(OnNcRButtonDblClk, WM_NCRBUTTONDBLCLK)
WUL_DEFAULT_NC_MOUSE(OnNcMButtonDown, WM_NCMBUTTONDOWN)
WUL_DEFAULT_NC_MOUSE(OnNcMButtonUp, WM_NCMBUTTONUP)
WUL_DEFAULT_NC_MOUSE(OnNcMButtonDblClk, WM_NCMBUTTONDBLCLK)
#undef WUL_DEFAULT_NC_MOUSE

LRESULT CWULFramedWindow::PaintNonClient(HDC) { return 0; }

void CWULFramedWindow::OnParentNotify(int, int, LPARAM) {}

void CWULFramedWindow::LayoutChildren() {
  if (flagsC & WUL_IF_IN_DESTRUCTOR)
    return;
  RECT remaining = {0, 0, clientWidth, clientHeight};
  const int dw = clientWidth - laidOutWidth;
  const int dh = clientHeight - laidOutHeight;
  CWULInteractor* fill = nullptr;
  for (CWULInteractor* child = firstChild; child;) {
    CWULInteractor* next = child->nextSibling;
    const int code = child->listener == this && !(child->flagsC & WUL_IF_CLOSING) ? child->GetAlignment() : 0;
    if (code == WUL_ALIGN_FILL) {
      if (!fill)
        fill = child;
    } else if (code != 0) {
      RECT current;
      child->GetRect(&current);
      RECT rect = current;
      const int w = child->GetWidth();
      const int h = child->GetHeight();
      const bool shown = child->IsVisible();
      bool moveRight = false, stretchRight = false, moveDown = false, stretchDown = false;
      switch (code) {
        case WUL_ALIGN_LEFT:
          rect = {remaining.left, remaining.top, remaining.left + w, remaining.bottom};
          if (shown)
            remaining.left = rect.right;
          break;
        case WUL_ALIGN_RIGHT:
          rect = {remaining.right - w, remaining.top, remaining.right, remaining.bottom};
          if (shown)
            remaining.right = rect.left;
          break;
        case WUL_ALIGN_TOP:
          rect = {remaining.left, remaining.top, remaining.right, remaining.top + h};
          if (shown)
            remaining.top = rect.bottom;
          break;
        case WUL_ALIGN_BOTTOM:
          rect = {remaining.left, remaining.bottom - h, remaining.right, remaining.bottom};
          if (shown)
            remaining.bottom = rect.top;
          break;
        case WUL_ALIGN_LEFT_STRETCH:
          rect = {remaining.left, remaining.top, current.right + dw, remaining.bottom};
          if (shown)
            remaining.left = rect.right;
          break;
        case WUL_ALIGN_RIGHT_KEEP_LEFT:
          rect = {current.left, remaining.top, remaining.right, remaining.bottom};
          if (shown)
            remaining.right = rect.left;
          break;
        case WUL_ALIGN_TOP_STRETCH:
          rect = {remaining.left, remaining.top, remaining.right, current.bottom + dh};
          if (shown)
            remaining.top = rect.bottom;
          break;
        case WUL_ALIGN_BOTTOM_KEEP_TOP:
          rect = {remaining.left, current.top, remaining.right, remaining.bottom};
          if (shown)
            remaining.bottom = rect.top;
          break;
        case 7: case 13: moveRight = true; break;
        case 8: case 14: stretchRight = true; break;
        case 10: case 15: moveDown = true; break;
        case 11: case 18: stretchDown = true; break;
        case 16: moveRight = moveDown = true; break;
        case 17: stretchRight = moveDown = true; break;
        case 19: moveRight = stretchDown = true; break;
        case 20: stretchRight = stretchDown = true; break;
        default: break;
      }
      if (moveRight || stretchRight) {
        rect.right += dw;
        if (moveRight)
          rect.left = rect.right - w;
      }
      if (moveDown || stretchDown) {
        rect.bottom += dh;
        if (moveDown)
          rect.top = rect.bottom - h;
      }
      if (!SameRect(rect, current))
        child->SetRect(&rect);
    }
    child = next;
  }
  if (fill) {
    RECT current;
    fill->GetRect(&current);
    if (!SameRect(current, remaining))
      fill->SetRect(&remaining);
  }
}

// --- CWULContainer ---

CWULContainer::CWULContainer() : alignment(WUL_ALIGN_NONE) {
  style |= WS_CHILD;
  listener = parent;
}

CWULContainer::~CWULContainer() {
  if (listener) {
    alignment = WUL_ALIGN_NONE;
    NotifyChanged();
    listener = nullptr;
  }
}

void CWULContainer::SetAlignment(int code) {
  alignment = code;
  NotifyChanged();
}

int CWULContainer::GetAlignment() { return alignment; }

void CWULContainer::SetParent(CWULInteractor* newParent) {
  CWULInteractor::SetParent(newParent);
  if (listener != parent) {
    NotifyChanged();
    listener = parent;
    NotifyChanged();
  }
}

void CWULContainer::SetVisible(bool on) {
  if (on == IsVisible())
    return;
  CWULFramedWindow::SetVisible(on);
  NotifyChanged();
}

LRESULT CWULContainer::OnEraseBackground(HDC dc) {
  if (!(flagsB & WUL_IF_ERASE_SUPPRESSED))
    wulFillUpdateArea(window, dc, GetColor());
  return 1;
}

LRESULT CWULContainer::OnPaint(PAINTSTRUCT* paint) {
  // A redraw skips the erase; the plain container is nothing but its background.
  HBRUSH brush = CreateSolidBrush(GetColor().GetColorRef());
  if (brush) {
    FillRect(paint->hdc, &paint->rcPaint, brush);
    DeleteObject(brush);
  }
  return 0;
}
