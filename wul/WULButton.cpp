#include "wul/WULButton.h"
#include <algorithm>
#include <cmath>
#include "wul/WULImage.h"
#include "wul/WULPaintKit.h"
#include "wul/WULShared.h"
#include "wul/WULSystem.h"

namespace {

char UpperChar(unsigned char c) {
  return static_cast<char>(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>(c)))) & 0xFF);
}

// Paints through the buffer and copies the part that is being painted.
template <typename Paint>
void PaintThroughBuffer(CWULOffscreenBuffer& buffer, int w, int h, PAINTSTRUCT* paint, Paint draw) {
  if (!wulFitBuffer(buffer, w, h))
    return;
  draw(buffer.GetDC());
  GdiFlush();
  const RECT& area = paint->rcPaint;
  buffer.Blit(paint->hdc, area.left, area.top, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

}  // namespace

bool wulMatchMnemonic(const char* text, int ch) {
  if (!text || ch <= 0 || ch > 255 || !IsCharAlphaNumericA(static_cast<CHAR>(ch)))
    return false;
  const char wanted = UpperChar(static_cast<unsigned char>(ch));
  for (const char* p = text; *p; p++) {
    if (*p != '&')
      continue;
    if (p[1] == '&') {
      p++;  // a literal ampersand
      continue;
    }
    if (!p[1])
      return false;
    if (UpperChar(static_cast<unsigned char>(p[1])) == wanted)
      return true;
  }
  return false;
}

float wulSegmentArea(float x1, float y1, float x2, float y2, float r) {
  if (!(r > 0.0f))
    return 0.0f;
  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  const double radius = r;
  const double h = std::min(0.5 * std::sqrt(dx * dx + dy * dy), radius);
  const double d = std::sqrt(std::max(0.0, radius * radius - h * h));
  return static_cast<float>(radius * radius * std::atan2(h, d) - h * d);
}

// --- CWULButton ---

CWULButton::CWULButton() : paddingX(2), paddingY(2) {
  width = 80;
  height = 24;
  color.value = wulColors[14].value;
  flagsA &= ~WUL_IF_PARENT_COLOR;
  hAlign = WUL_HALIGN_CENTER;
}

int CWULButton::GetBehaviour() { return behaviour; }

void CWULButton::SetBehaviour(int value) {
  behaviour = value;
  OnColorChanged();
}

LRESULT CWULButton::OnEraseBackground(HDC) { return 1; }

LRESULT CWULButton::OnPaint(PAINTSTRUCT* paint) {
  PaintThroughBuffer(buffer, width, height, paint, [this](HDC dc) { PaintButton(dc); });
  return 0;
}

void CWULButton::PaintButton(HDC dc) {
  CWULPenBrush pens;
  if (!pens.Create(GetColor()))
    return;
  RECT rect = {0, 0, width, height};
  wulDrawRectOutline(dc, &rect, pens.shadePen);
  const bool down = pressed || checked;
  wulDeflateRect(&rect, 1);
  wulPaintFace(dc, &rect, pens, down);
  wulDeflateRect(&rect, 1);
  if (HasFocus()) {
    RECT focus = rect;
    wulDeflateRect(&focus, 1);
    if (focus.right > focus.left && focus.bottom > focus.top)
      wulDrawDottedFrame(dc, &focus, GetColor().Scale(0.5f), GetColor());
  }
  RECT textRect = {rect.left + paddingX, rect.top + paddingY, rect.right - paddingX, rect.bottom - paddingY};
  if (down)
    wulOffsetRect(&textRect, 1, 1);
  DrawCaption(dc, &textRect);
}

// --- CWULIndicatorButton ---

CWULIndicatorButton::CWULIndicatorButton()
    : indicatorColor(wulColors[16]),
      indicatorSide(WUL_INDICATOR_LEFT),
      indicatorSize(12),
      spacing(4),
      picture(nullptr) {
  indicatorColor.listener = this;
  checkColor.listener = this;
  width = 80;
  height = std::max(static_cast<int>(wulControlTextHeight), static_cast<int>(indicatorSize));
}

CWULIndicatorButton::~CWULIndicatorButton() {
  CWULImage::Release(picture);
  picture = nullptr;
}

int CWULIndicatorButton::GetIndicatorSide() { return indicatorSide; }

void CWULIndicatorButton::SetIndicatorSide(int side) {
  indicatorSide = side == WUL_INDICATOR_RIGHT ? WUL_INDICATOR_RIGHT : WUL_INDICATOR_LEFT;
  SetHAlign(indicatorSide == WUL_INDICATOR_RIGHT ? WUL_HALIGN_RIGHT : WUL_HALIGN_LEFT);
}

int CWULIndicatorButton::GetIndicatorSize() { return indicatorSize; }

void CWULIndicatorButton::SetIndicatorSize(int size) {
  indicatorSize = std::max(0, size);
  OnFontChanged();
}

int CWULIndicatorButton::GetSpacing() { return spacing; }

void CWULIndicatorButton::SetSpacing(int value) {
  spacing = value;
  OnFontChanged();
}

void CWULIndicatorButton::GetIndicatorRect(RECT* rect) {
  const int left = indicatorSide == WUL_INDICATOR_RIGHT ? width - indicatorSize : 0;
  const int top = (height - indicatorSize) / 2;
  *rect = {left, top, left + indicatorSize, top + indicatorSize};
}

CWULColor CWULIndicatorButton::OwnIndicatorColor() {
  if (IsEnabled())
    return indicatorColor;
  return indicatorColor.Blend(GetColor(), 0.5f);
}

CWULColor CWULIndicatorButton::GetFillColor() {
  if (!checked && !pressed)
    return OwnIndicatorColor();
  const CWULColor& on = checked ? checkColor : indicatorColor;
  const CWULColor& other = checked ? indicatorColor : checkColor;
  CWULColor fill = pressed ? on.Blend(other, 0.5f) : CWULColor(on);
  if (!IsEnabled())
    fill = fill.Blend(GetColor(), 0.5f);
  return fill;
}

CWULImage* CWULIndicatorButton::GetPicture() { return picture; }

void CWULIndicatorButton::SetPicture(CWULImage* image) {
  if (wulReplaceImage(picture, image))
    OnFontChanged();
}

LRESULT CWULIndicatorButton::OnEraseBackground(HDC) { return 1; }

LRESULT CWULIndicatorButton::OnPaint(PAINTSTRUCT* paint) {
  PaintThroughBuffer(buffer, width, height, paint, [this](HDC dc) { PaintControl(dc); });
  return 0;
}

void CWULIndicatorButton::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulFillColor(dc, &all, GetColor());
  RECT indicator;
  GetIndicatorRect(&indicator);
  if (indicatorSize > 0)
    PaintIndicator(dc, &indicator);
  RECT textRect = all;
  if (indicatorSide == WUL_INDICATOR_RIGHT)
    textRect.right = indicator.left - spacing;
  else
    textRect.left = indicator.right + spacing;
  CWULImage* shown = GetPicture();
  if (shown && shown->pixels && textRect.right > textRect.left) {
    const int x = indicatorSide == WUL_INDICATOR_RIGHT ? textRect.right - shown->width : textRect.left;
    CWULImage* target = dc == buffer.GetDC() ? buffer.GetImage() : nullptr;
    if (target) {
      GdiFlush();
      target->Draw(x, (height - shown->height) / 2, shown, IsEnabled() ? 1.0f : 0.5f);
    }
    if (indicatorSide == WUL_INDICATOR_RIGHT)
      textRect.right = x - spacing;
    else
      textRect.left = x + shown->width + spacing;
  }
  if (textRect.right <= textRect.left)
    return;
  if (HasFocus() && text.GetLength() > 0) {
    RECT box = textRect;
    MeasureText(dc, &box);
    wulDeflateRect(&box, -1);
    box.left = std::max(box.left, textRect.left);
    box.right = std::min(box.right, textRect.right);
    box.top = std::max(box.top, textRect.top);
    box.bottom = std::min(box.bottom, textRect.bottom);
    if (box.right > box.left && box.bottom > box.top)
      wulDrawDottedFrame(dc, &box, GetColor().Scale(0.5f), GetColor());
  }
  DrawCaption(dc, &textRect);
}

// --- CWULCheckBox ---

CWULCheckBox::CWULCheckBox() {
  checkColor.value = wulColors[20].value;
  behaviour = WUL_BEHAVIOUR_TOGGLE;
}

void CWULCheckBox::PaintIndicator(HDC dc, const RECT* rect) {
  HPEN outline = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
  HBRUSH fill = CreateSolidBrush(GetFillColor().GetColorRef());
  if (outline && fill)
    wulDrawRect(dc, rect, outline, fill);
  if (outline)
    DeleteObject(outline);
  if (fill)
    DeleteObject(fill);
}

// --- CWULRadioButton ---

CWULRadioButton::CWULRadioButton() {
  checkColor.value = wulColors[21].value;
  behaviour = WUL_BEHAVIOUR_EXCLUSIVE;
}

void CWULRadioButton::PaintIndicator(HDC dc, const RECT* rect) {
  GdiFlush();
  // The pixels of the disc are written straight into the bitmap of the DC.
  auto* bitmap = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
  DIBSECTION section = {};
  if (!bitmap || GetObjectA(bitmap, sizeof section, &section) != static_cast<int>(sizeof section) ||
      section.dsBm.bmBitsPixel != 32 || !section.dsBm.bmBits || section.dsBmih.biHeight >= 0) {
    HPEN outline = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
    HBRUSH fill = CreateSolidBrush(GetFillColor().GetColorRef());
    if (outline && fill) {
      HGDIOBJ oldPen = SelectObject(dc, outline);
      HGDIOBJ oldBrush = SelectObject(dc, fill);
      Ellipse(dc, rect->left, rect->top, rect->right, rect->bottom);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
    }
    if (outline)
      DeleteObject(outline);
    if (fill)
      DeleteObject(fill);
    return;
  }
  CWULImage image(static_cast<uint32_t*>(section.dsBm.bmBits), section.dsBm.bmWidth, -section.dsBmih.biHeight);
  const CWULColor background(GetColor());
  const CWULColor outline(IsEnabled() ? wulColors[1] : wulColors[1].Blend(background, 0.5f));
  const CWULColor fill(GetFillColor());
  const float r = indicatorSize * 0.5f;
  const float cx = indicatorSide == WUL_INDICATOR_RIGHT ? width - r : r;
  const float cy = height * 0.5f;
  for (int py = rect->top; py < rect->bottom; py++) {
    for (int px = rect->left; px < rect->right; px++) {
      const float outer = wulCircleCoverage(px, py, cx, cy, r);
      const float inner = wulCircleCoverage(px, py, cx, cy, r - 1.0f);
      const CWULColor edge = background.Blend(outline, outer);
      const CWULColor pixel = edge.Blend(fill, inner);
      image.SetPixel(px, py, pixel.value | 0xFF000000u);
    }
  }
}
