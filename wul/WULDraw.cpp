#include "wul/WULDraw.h"

CWULPenBrush::CWULPenBrush()
    : brush(nullptr), basePen(nullptr), lightPen(nullptr), darkPen(nullptr), shadePen(nullptr) {}

CWULPenBrush::~CWULPenBrush() { DeleteObjects(); }

bool CWULPenBrush::Create(const CWULColor& color) {
  DeleteObjects();
  base.value = color.value;
  light.value = color.Scale(1.3125f).value;
  dark.value = color.Scale(0.75f).value;
  brush = CreateSolidBrush(base.GetColorRef());
  basePen = CreatePen(PS_SOLID, 1, base.GetColorRef());
  lightPen = CreatePen(PS_SOLID, 1, light.GetColorRef());
  darkPen = CreatePen(PS_SOLID, 1, dark.GetColorRef());
  shadePen = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
  return brush && basePen && lightPen && darkPen && shadePen;
}

void CWULPenBrush::DeleteObjects() {
  HGDIOBJ objects[] = {brush, basePen, lightPen, darkPen, shadePen};
  for (HGDIOBJ object : objects) {
    if (object)
      DeleteObject(object);
  }
  brush = nullptr;
  basePen = lightPen = darkPen = shadePen = nullptr;
}

POINT* wulOffsetPoint(POINT* point, int dx, int dy) {
  point->x += dx;
  point->y += dy;
  return point;
}

RECT* wulOffsetRect(RECT* rect, int dx, int dy) {
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return rect;
}

RECT* wulDeflateRect(RECT* rect, int n) {
  rect->left += n;
  rect->top += n;
  rect->right -= n;
  rect->bottom -= n;
  return rect;
}

bool wulPtInRect(int x, int y, const RECT* rect) {
  return rect->left <= x && x < rect->right && rect->top <= y && y < rect->bottom;
}

bool wulPointInRect(const POINT* point, const RECT* rect) { return wulPtInRect(point->x, point->y, rect); }

bool wulPointsEqual(const POINT* a, const POINT* b) { return a->x == b->x && a->y == b->y; }

bool wulRectsOverlap(const RECT* a, const RECT* b) {
  return b->top < a->bottom && a->top < b->bottom && b->left < a->right && a->left < b->right;
}

void wulDrawLine(HDC dc, int x1, int y1, int x2, int y2, HPEN pen) {
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
}

void wulDrawRectOutline(HDC dc, const RECT* rect, HPEN pen) {
  wulDrawRect(dc, rect, pen, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
}

void wulFillRect(HDC dc, const RECT* rect, HBRUSH brush) { FillRect(dc, rect, brush); }

void wulDrawRect(HDC dc, const RECT* rect, HPEN pen, HBRUSH brush) {
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  Rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void wulDrawPolygon(HDC dc, const POINT* points, int count, HPEN pen, HBRUSH brush) {
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  Polygon(dc, points, count);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void wulDrawFrame(HDC dc, const RECT* rect, HPEN lightPen, HPEN darkPen, const CWULColor& corner) {
  const int l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
  HGDIOBJ old = SelectObject(dc, lightPen);
  MoveToEx(dc, l, t, nullptr);
  LineTo(dc, r - 1, t);
  MoveToEx(dc, l, t, nullptr);
  LineTo(dc, l, b - 1);
  SelectObject(dc, darkPen);
  MoveToEx(dc, r - 1, b - 1, nullptr);
  LineTo(dc, l, b - 1);
  MoveToEx(dc, r - 1, b - 1, nullptr);
  LineTo(dc, r - 1, t);
  SelectObject(dc, old);
  SetPixel(dc, l, b - 1, corner.GetColorRef());
  SetPixel(dc, r - 1, t, corner.GetColorRef());
}

void wulFillBetweenRects(HDC dc, const RECT* outer, const RECT* inner, HBRUSH brush) {
  RECT above = {outer->left, outer->top, outer->right, inner->top};
  RECT below = {outer->left, inner->bottom, outer->right, outer->bottom};
  RECT left = {outer->left, inner->top, inner->left, inner->bottom};
  RECT right = {inner->right, inner->top, outer->right, inner->bottom};
  FillRect(dc, &above, brush);
  FillRect(dc, &below, brush);
  FillRect(dc, &left, brush);
  FillRect(dc, &right, brush);
}

void wulFillFrame(HDC dc, const RECT* rect, int width, HBRUSH brush) {
  RECT inner = *rect;
  wulDeflateRect(&inner, width);
  wulFillBetweenRects(dc, rect, &inner, brush);
}

void wulDrawDottedFrame(HDC dc, const RECT* rect, const CWULColor& a, const CWULColor& b) {
  const int l = rect->left, t = rect->top, r = rect->right, bottom = rect->bottom;
  const COLORREF ca = a.GetColorRef(), cb = b.GetColorRef();
  int count = 0;
  for (int x = l; x <= r - 2; x++, count++)
    SetPixel(dc, x, t, (count & 2) ? cb : ca);
  count = 0;
  for (int y = t; y <= bottom - 2; y++, count++)
    SetPixel(dc, r - 1, y, (count & 2) ? cb : ca);
  count = r - l - 1;
  for (int x = l + 1; x <= r - 1; x++, count--)
    SetPixel(dc, x, bottom - 1, ((count - 1) & 2) ? cb : ca);
  count = bottom - t - 1;
  for (int y = t + 1; y <= bottom - 1; y++, count--)
    SetPixel(dc, l, y, ((count - 1) & 2) ? cb : ca);
}
