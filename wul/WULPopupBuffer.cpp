#include "wul/WULPopupBuffer.h"
#include "wul/WULError.h"

CWULPopupBuffer::CWULPopupBuffer() {}

CWULPopupBuffer::~CWULPopupBuffer() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  if (window) {
    // The window goes before the buffer it paints from.
    DestroyWindow(window);
  }
}

void CWULPopupBuffer::Clear() {
  if (CWULImage* image = buffer.GetImage()) {
    GdiFlush();
    image->Fill(GetColor());
  }
}

void CWULPopupBuffer::Present() {
  if (window)
    Redraw();
}

void CWULPopupBuffer::OnSizeChanged() {
  CWULPopupWindow::OnSizeChanged();
  try {
    buffer.SetSize(width, height);
  } catch (const CWULError&) {
    // Without a bitmap nothing is painted.
    return;
  }
  Clear();
}

LRESULT CWULPopupBuffer::OnEraseBackground(HDC) { return 1; }

LRESULT CWULPopupBuffer::OnPaint(PAINTSTRUCT* paint) {
  const RECT& r = paint->rcPaint;
  buffer.Blit(paint->hdc, r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top);
  return 0;
}
