#include "wul/WULCanvas.h"
#include <algorithm>
#include "wul/WULImage.h"

// --- CWULCanvasOverlay ---

CWULCanvasOverlay::CWULCanvasOverlay() : value(0), drawCallback(nullptr) { classCode = WUL_CLASS_CANVAS_OVERLAY; }

CWULCanvasOverlay::~CWULCanvasOverlay() {
  if (CWULTiledCanvas* canvas = GetCanvas())
    canvas->RemoveOverlay(this);
}

CWULTiledCanvas* CWULCanvasOverlay::GetCanvas() const { return dynamic_cast<CWULTiledCanvas*>(listener); }

// --- CWULTiledCanvas ---

CWULTiledCanvas::CWULTiledCanvas() : paintMode(WUL_PAINT_WHOLE), tileSize(64), visibleWidth(0), visibleHeight(0) {}

CWULTiledCanvas::~CWULTiledCanvas() { DeleteAllOverlays(); }

CWULCanvasOverlay* CWULTiledCanvas::FromNode(CWULListNode* node) { return static_cast<CWULCanvasOverlay*>(node); }

bool CWULTiledCanvas::Owns(CWULCanvasOverlay* overlay) const {
  return overlay && overlay->listener == static_cast<const CWULObject*>(this);
}

void CWULTiledCanvas::AddOverlay(CWULCanvasOverlay* overlay) { InsertOverlay(overlay, nullptr); }

void CWULTiledCanvas::InsertOverlay(CWULCanvasOverlay* overlay, CWULCanvasOverlay* before) {
  if (!overlay)
    return;
  if (before == overlay) {
    if (Owns(overlay))
      return;
    before = nullptr;
  }
  if (before && !Owns(before))
    before = nullptr;
  if (CWULTiledCanvas* old = overlay->GetCanvas())
    old->RemoveOverlay(overlay);
  overlays.Insert(overlay, before);
  overlay->listener = this;
  overlay->buffer.SetSize(visibleWidth, visibleHeight);
}

void CWULTiledCanvas::SwapOverlays(CWULCanvasOverlay* a, CWULCanvasOverlay* b) {
  if (!Owns(a) || !Owns(b) || a == b)
    return;
  overlays.Swap(a, b);
}

void CWULTiledCanvas::RemoveOverlay(CWULCanvasOverlay* overlay) {
  if (!Owns(overlay))
    return;
  overlays.Remove(overlay);
  overlay->listener = nullptr;
  overlay->buffer.SetSize(0, 0);
}

void CWULTiledCanvas::DeleteOverlay(CWULCanvasOverlay* overlay) {
  if (!Owns(overlay))
    return;
  RemoveOverlay(overlay);
  delete overlay;
}

void CWULTiledCanvas::DeleteAllOverlays() {
  for (CWULListNode* node = overlays.first; node; node = node->next)
    FromNode(node)->listener = nullptr;
  overlays.DeleteAll();
}

void CWULTiledCanvas::Render(CWULCanvasOverlay* first, const RECT* rect) {
  if (!Owns(first))
    return;
  RECT area = {0, 0, visibleWidth, visibleHeight};
  if (rect) {
    area.left = std::max(area.left, rect->left);
    area.top = std::max(area.top, rect->top);
    area.right = std::min(area.right, rect->right);
    area.bottom = std::min(area.bottom, rect->bottom);
  }
  if (area.right <= area.left || area.bottom <= area.top)
    return;
  RenderTiles(first, &area);
  Redraw(&area);
}

void CWULTiledCanvas::RenderAll(const RECT* rect) { Render(GetFirstOverlay(), rect); }

int CWULTiledCanvas::GetPaintMode() { return paintMode; }
void CWULTiledCanvas::SetPaintMode(int mode) { paintMode = mode; }
int CWULTiledCanvas::GetTileSize() { return tileSize; }

void CWULTiledCanvas::SetTileSize(int size) { tileSize = std::max(1, size); }

CWULCanvasOverlay* CWULTiledCanvas::GetFirstOverlay() { return FromNode(overlays.first); }
CWULCanvasOverlay* CWULTiledCanvas::GetLastOverlay() { return FromNode(overlays.last); }

void CWULTiledCanvas::RenderTiles(CWULCanvasOverlay* first, const RECT* rect) {
  if (!rect || rect->right <= rect->left || rect->bottom <= rect->top)
    return;
  if (paintMode == WUL_PAINT_WHOLE) {
    RenderChain(first, rect);
  } else if (paintMode == WUL_PAINT_TILES) {
    const int step = std::max(1, static_cast<int>(tileSize));
    for (int top = rect->top; top < rect->bottom; top += step) {
      for (int left = rect->left; left < rect->right; left += step) {
        RECT tile = {left, top, std::min(left + step, static_cast<int>(rect->right)),
                     std::min(top + step, static_cast<int>(rect->bottom))};
        RenderChain(first, &tile);
      }
    }
  }
}

void CWULTiledCanvas::RenderChain(CWULCanvasOverlay* first, const RECT* rect) {
  for (CWULCanvasOverlay* overlay = Owns(first) ? first : nullptr; overlay;) {
    if (overlay->drawCallback) {
      CWULOffscreenBuffer* previous = overlay->prev ? &FromNode(overlay->prev)->buffer : nullptr;
      CWULCallbackBracket bracket(this);
      overlay->drawCallback(overlay, &overlay->buffer, previous, rect);
    }
    // A callback that took its overlay out of the canvas ends the chain.
    if (!Owns(overlay))
      break;
    overlay = FromNode(overlay->next);
  }
}

void CWULTiledCanvas::SetAutoRedraw(bool on) {
  if (on == GetAutoRedraw())
    return;
  if (!on) {
    CWULScrollWindow::SetAutoRedraw(false);
    return;
  }
  flagsA |= WUL_IF_AUTO_REDRAW;
  if (overlays.first)
    RenderAll(nullptr);
  else
    Redraw();
}

void CWULTiledCanvas::OnGeometryChanged() {
  CWULScrollWindow::OnGeometryChanged();
  visibleWidth = std::max(0, width - 2 * leftInset);
  visibleHeight = std::max(0, height - 2 * topInset);
  bool resized = false;
  for (CWULListNode* node = overlays.first; node; node = node->next) {
    CWULCanvasOverlay* overlay = FromNode(node);
    if (overlay->buffer.GetWidth() != visibleWidth || overlay->buffer.GetHeight() != visibleHeight) {
      overlay->buffer.SetSize(visibleWidth, visibleHeight);
      resized = true;
    }
  }
  if (resized)
    RenderAll(nullptr);
}

LRESULT CWULTiledCanvas::OnEraseBackground(HDC dc) {
  // The overlays cover the whole client area.
  if (overlays.last)
    return 1;
  return CWULScrollWindow::OnEraseBackground(dc);
}

LRESULT CWULTiledCanvas::OnPaint(PAINTSTRUCT* paint) {
  CWULCanvasOverlay* last = GetLastOverlay();
  if (!last)
    return CWULScrollWindow::OnPaint(paint);
  GdiFlush();
  const RECT& area = paint->rcPaint;
  last->buffer.Blit(paint->hdc, area.left, area.top, area.left, area.top, area.right - area.left,
                    area.bottom - area.top);
  return 0;
}

void CWULTiledCanvas::OnScrolled() {
  if (!GetAutoRedraw())
    return;
  const int dx = notifiedScrollX - scrollX;
  const int dy = notifiedScrollY - scrollY;
  GdiFlush();
  for (CWULListNode* node = overlays.first; node; node = node->next) {
    if (CWULImage* image = FromNode(node)->buffer.GetImage())
      image->Scroll(dx, dy);
  }
  CWULCanvasOverlay* first = GetFirstOverlay();
  const int vw = visibleWidth, vh = visibleHeight;
  int rowTop = 0, rowBottom = vh;
  if (vw > 0 && dy != 0) {
    RECT strip = {0, 0, vw, 0};
    if (dy > 0) {
      strip.bottom = std::min(dy, vh);
      rowTop = strip.bottom;
    } else {
      strip.top = std::max(vh + dy, 0);
      strip.bottom = vh;
      rowBottom = strip.top;
    }
    RenderTiles(first, &strip);
  }
  if (rowBottom > rowTop && dx != 0) {
    RECT strip = {0, rowTop, 0, rowBottom};
    if (dx > 0) {
      strip.right = std::min(dx, vw);
    } else {
      strip.left = std::max(vw + dx, 0);
      strip.right = vw;
    }
    RenderTiles(first, &strip);
  }
  CWULScrollWindow::OnScrolled();
}
