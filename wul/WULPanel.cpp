#include "wul/WULPanel.h"
#include <algorithm>
#include "wul/WULImage.h"
#include "wul/WULPaintKit.h"
#include "wul/WULSystem.h"

namespace {

bool IsEdge(int kind) { return kind >= WUL_EDGE_LINE && kind <= WUL_EDGE_SUNKEN; }

// Copies the frame of a window-sized buffer to a window DC, leaving the client area alone.
void BlitFrame(CWULOffscreenBuffer& buffer, HDC dc, int w, int h, int left, int top, int right, int bottom) {
  GdiFlush();
  buffer.Blit(dc, 0, 0, 0, 0, w, top);
  buffer.Blit(dc, 0, h - bottom, 0, h - bottom, w, bottom);
  buffer.Blit(dc, 0, top, 0, top, left, h - top - bottom);
  buffer.Blit(dc, w - right, top, w - right, top, right, h - top - bottom);
}

// Paints into the buffer and copies it, or paints nothing when it cannot be had.
template <typename Paint>
void PaintThroughBuffer(CWULOffscreenBuffer& buffer, int w, int h, HDC target, const RECT& area, Paint paint) {
  if (!wulFitBuffer(buffer, w, h))
    return;
  paint(buffer.GetDC());
  GdiFlush();
  buffer.Blit(target, area.left, area.top, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

}  // namespace

// --- CWULPanel ---

CWULPanel::CWULPanel() : outerEdge(WUL_EDGE_NONE), innerEdge(WUL_EDGE_NONE), borderWidth(0) {}

int CWULPanel::GetOuterEdge() { return outerEdge; }

void CWULPanel::SetOuterEdge(int kind) {
  outerEdge = kind;
  OnFontChanged();
}

int CWULPanel::GetInnerEdge() { return innerEdge; }

void CWULPanel::SetInnerEdge(int kind) {
  innerEdge = kind;
  OnFontChanged();
}

int CWULPanel::GetBorderWidth() { return borderWidth; }

void CWULPanel::SetBorderWidth(int value) {
  borderWidth = std::max(0, value);
  OnFontChanged();
}

void CWULPanel::ComputeInsets() {
  const int inset = borderWidth + (IsEdge(outerEdge) ? 1 : 0) + (IsEdge(innerEdge) ? 1 : 0);
  leftInset = topInset = rightInset = bottomInset = inset;
}

// One edge along the rectangle, which then shrinks by it. A sunken edge that has no edge
// inside it shows the parent's colour where a bevel would be light.
void CWULPanel::PaintEdge(HDC dc, RECT* rect, int kind, bool lastEdge) {
  if (!IsEdge(kind))
    return;
  CWULPenBrush pens;
  if (pens.Create(wulParentColor(this))) {
    if (kind == WUL_EDGE_LINE)
      wulDrawRectOutline(dc, rect, pens.shadePen);
    else if (kind == WUL_EDGE_RAISED)
      wulDrawFrame(dc, rect, pens.lightPen, pens.darkPen, pens.base);
    else
      wulDrawFrame(dc, rect, pens.darkPen, lastEdge ? pens.basePen : pens.lightPen, pens.base);
  }
  wulDeflateRect(rect, 1);
}

LRESULT CWULPanel::PaintNonClient(HDC dc) {
  if (leftInset <= 0)
    return 0;
  const int w = width, h = height;
  PaintThroughBuffer(frameBuffer, w, h, dc, RECT{0, 0, 0, 0}, [&](HDC target) {
    RECT rect = {0, 0, w, h};
    PaintEdge(target, &rect, outerEdge, outerEdge == WUL_EDGE_SUNKEN && !IsEdge(innerEdge));
    if (borderWidth > 0) {
      RECT band = rect;
      wulDeflateRect(&rect, borderWidth);
      HBRUSH brush = CreateSolidBrush(GetColor().GetColorRef());
      if (brush) {
        wulFillBetweenRects(target, &band, &rect, brush);
        DeleteObject(brush);
      }
    }
    PaintEdge(target, &rect, innerEdge, false);
  });
  if (frameBuffer.GetImage())
    BlitFrame(frameBuffer, dc, w, h, leftInset, topInset, rightInset, bottomInset);
  return 0;
}

// --- CWULGroupFrame ---

CWULGroupFrame::CWULGroupFrame() : bandHeight(wulControlTextHeight), indent(wulControlTextHeight / 2), gap(2) {}

int CWULGroupFrame::GetBandHeight() { return bandHeight; }

void CWULGroupFrame::SetBandHeight(int value) {
  bandHeight = std::max(0, value);
  OnFontChanged();
}

int CWULGroupFrame::GetIndent() { return indent; }

void CWULGroupFrame::SetIndent(int value) {
  indent = value;
  OnFontChanged();
}

int CWULGroupFrame::GetGap() { return gap; }

void CWULGroupFrame::SetGap(int value) {
  gap = value;
  OnFontChanged();
}

void CWULGroupFrame::SetText(const char* newText) {
  if (text.Equals(newText ? newText : ""))
    return;
  CWULContainer::SetText(newText);
  OnFontChanged();
}

void CWULGroupFrame::ComputeInsets() {
  topInset = bandHeight;
  leftInset = rightInset = bottomInset = 2;
}

LRESULT CWULGroupFrame::PaintNonClient(HDC dc) {
  const int w = width, h = height;
  if (w <= 0 || h <= 0)
    return 0;
  PaintThroughBuffer(frameBuffer, w, h, dc, RECT{0, 0, 0, 0}, [&](HDC target) {
    CWULPenBrush pens;
    if (!pens.Create(wulParentColor(this)))
      return;
    RECT all = {0, 0, w, h};
    wulFillRect(target, &all, pens.brush);
    const int lineY = (bandHeight - 1) / 2;
    // An etched line: dark outside above and left, light outside below and right.
    RECT lightRect = {1, lineY + 1, w, h};
    RECT darkRect = {0, lineY, w - 1, h - 1};
    wulDrawRectOutline(target, &lightRect, pens.lightPen);
    wulDrawRectOutline(target, &darkRect, pens.darkPen);
    if (text.GetLength() == 0)
      return;
    CWULTextFont textFont(&GetFont());
    textFont.Select(target);
    RECT box = {0, 0, std::max(0, w), 0};
    DrawTextA(target, text.text, -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int textW = box.right - box.left;
    const int textH = box.bottom - box.top;
    const int textLeft = indent + gap + 2;
    RECT gapRect = {textLeft - gap, lineY, textLeft + textW + gap, lineY + 2};
    wulFillRect(target, &gapRect, pens.brush);
    RECT textRect = {textLeft, (bandHeight - textH) / 2, textLeft + textW, (bandHeight - textH) / 2 + textH};
    DrawTextA(target, text.text, -1, &textRect, DT_SINGLELINE | DT_NOPREFIX);
  });
  if (frameBuffer.GetImage())
    BlitFrame(frameBuffer, dc, w, h, leftInset, topInset, rightInset, bottomInset);
  return 0;
}

// --- CWULLabel ---

CWULLabel::CWULLabel()
    : autoSize(0), minimumWidth(0), minimumHeight(0), maximumWidth(-1), maximumHeight(-1) {
  width = 64;
  height = wulControlTextHeight;
}

bool CWULLabel::GetAutoSize() { return autoSize != 0; }

void CWULLabel::SetAutoSize(bool on) {
  autoSize = on ? 1 : 0;
  OnFontChanged();
}

void CWULLabel::SetMinimumSize(int minW, int minH) {
  minimumWidth = minW;
  minimumHeight = minH;
  OnFontChanged();
}

int CWULLabel::GetMaximumWidth() { return maximumWidth; }

void CWULLabel::SetMaximumWidth(int value) {
  maximumWidth = value;
  OnFontChanged();
}

int CWULLabel::GetMaximumHeight() { return maximumHeight; }

void CWULLabel::SetMaximumHeight(int value) {
  maximumHeight = value;
  OnFontChanged();
}

// The text measured unbroken; when it is wider than the maximum width and may wrap, its
// height is that of the text broken within the maximum width.
void CWULLabel::MeasureAutoSize(int* w, int* h) {
  const uint8_t wrap = wordWrap;
  const bool wraps = multiLine && wrap;
  wordWrap = 0;
  RECT box = {0, 0, 0x7FFF, 0};
  try {
    MeasureText(nullptr, &box);
  } catch (...) {
    wordWrap = wrap;
    throw;
  }
  wordWrap = wrap;
  *w = box.right - box.left;
  *h = box.bottom - box.top;
  if (wraps && maximumWidth >= 0 && *w > maximumWidth) {
    RECT broken = {0, 0, maximumWidth, 0};
    MeasureText(nullptr, &broken);
    *h = broken.bottom - broken.top;
  }
}

void CWULLabel::OnFontChanged() {
  if (autoSize) {
    int w = 0, h = 0;
    MeasureAutoSize(&w, &h);
    w = std::max(w, static_cast<int>(minimumWidth));
    h = std::max(h, static_cast<int>(minimumHeight));
    if (maximumWidth >= 0)
      w = std::min(w, static_cast<int>(maximumWidth));
    if (maximumHeight >= 0)
      h = std::min(h, static_cast<int>(maximumHeight));
    if (w != width || h != height) {
      if (window) {
        SetSize(w, h);
      } else {
        width = w;
        height = h;
      }
    }
  }
  CWULTextControl::OnFontChanged();
}

LRESULT CWULLabel::OnEraseBackground(HDC) { return 1; }

LRESULT CWULLabel::OnPaint(PAINTSTRUCT* paint) {
  PaintThroughBuffer(buffer, width, height, paint->hdc, paint->rcPaint, [&](HDC target) {
    RECT all = {0, 0, width, height};
    wulFillColor(target, &all, GetColor());
    DrawCaption(target, &all);
  });
  return 0;
}

// --- CWULPicture ---

CWULPicture::CWULPicture() { ResetBuffer(); }

void CWULPicture::ResetBuffer() {
  if (wulFitBuffer(buffer, width, height)) {
    GdiFlush();
    buffer.GetImage()->Fill(GetColor());
  }
}

CWULImage* CWULPicture::GetImage() {
  GdiFlush();
  return buffer.GetImage();
}

void CWULPicture::OnSizeChanged() {
  CWULControl::OnSizeChanged();
  ResetBuffer();
}

LRESULT CWULPicture::OnEraseBackground(HDC) { return 1; }

LRESULT CWULPicture::OnPaint(PAINTSTRUCT* paint) {
  const RECT& area = paint->rcPaint;
  GdiFlush();
  buffer.Blit(paint->hdc, area.left, area.top, area.left, area.top, area.right - area.left, area.bottom - area.top);
  return 0;
}
