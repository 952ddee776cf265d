#include "wul/WULPaintKit.h"
#include "wul/WULInteractor.h"

int wulFrameInset(int kind) {
  switch (kind) {
    case WUL_FRAME_LINE:
    case WUL_FRAME_BEVEL: return 1;
    case WUL_FRAME_BEVEL_LINE: return 2;
    default: return 0;
  }
}

void wulPaintFrameKind(HDC dc, const RECT* rect, int kind, const CWULColor& base) {
  if (kind < WUL_FRAME_LINE || kind > WUL_FRAME_BEVEL_LINE)
    return;
  CWULPenBrush pens;
  if (!pens.Create(base))
    return;
  RECT r = *rect;
  if (kind == WUL_FRAME_LINE) {
    wulDrawRectOutline(dc, &r, pens.shadePen);
    return;
  }
  wulDrawFrame(dc, &r, pens.darkPen, pens.lightPen, pens.base);
  if (kind == WUL_FRAME_BEVEL_LINE) {
    wulDeflateRect(&r, 1);
    wulDrawRectOutline(dc, &r, pens.shadePen);
  }
}

void wulPaintFace(HDC dc, const RECT* rect, CWULPenBrush& pens, bool pressed) {
  if (rect->right <= rect->left || rect->bottom <= rect->top)
    return;
  if (pressed)
    wulDrawFrame(dc, rect, pens.darkPen, pens.basePen, pens.dark);
  else
    wulDrawFrame(dc, rect, pens.lightPen, pens.darkPen, pens.base);
  RECT inner = *rect;
  wulDeflateRect(&inner, 1);
  if (inner.right > inner.left && inner.bottom > inner.top)
    wulFillRect(dc, &inner, pens.brush);
}

void wulPaintArrow(HDC dc, const RECT* area, bool up, int height, const CWULColor& color) {
  if (height < 1)
    height = 1;
  const int cx = (area->left + area->right - 1) / 2;
  const int top = area->top + (area->bottom - area->top - height) / 2;
  HPEN pen = CreatePen(PS_SOLID, 1, color.GetColorRef());
  if (!pen)
    return;
  HGDIOBJ old = SelectObject(dc, pen);
  // Row by row, so that small arrows stay symmetric.
  for (int row = 0; row < height; row++) {
    const int half = up ? row : height - 1 - row;
    MoveToEx(dc, cx - half, top + row, nullptr);
    LineTo(dc, cx + half + 1, top + row);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

CWULColor& wulParentColor(CWULInteractor* interactor) {
  return interactor->parent ? interactor->parent->GetColor() : interactor->GetColor();
}

HFONT wulCreateFont(const CWULFont& font) {
  return CreateFontA(font.height, 0, 0, 0, (font.style & WUL_FONT_BOLD) ? 700 : 400,
                     (font.style & WUL_FONT_ITALIC) ? TRUE : FALSE, (font.style & WUL_FONT_UNDERLINE) ? TRUE : FALSE,
                     (font.style & WUL_FONT_STRIKEOUT) ? TRUE : FALSE, static_cast<DWORD>(font.charSet),
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, static_cast<DWORD>(font.quality),
                     DEFAULT_PITCH | FF_DONTCARE, font.faceName.text);
}

void wulFillColor(HDC dc, const RECT* rect, const CWULColor& color) {
  if (rect->right <= rect->left || rect->bottom <= rect->top)
    return;
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  if (!brush)
    return;
  FillRect(dc, rect, brush);
  DeleteObject(brush);
}

bool wulFitBuffer(CWULOffscreenBuffer& buffer, int width, int height) {
  if (width <= 0 || height <= 0) {
    buffer.SetSize(0, 0);
    return false;
  }
  buffer.SetSize(width, height);
  return buffer.GetImage() != nullptr;
}
