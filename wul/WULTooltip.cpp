#include "wul/WULTooltip.h"
#include "wul/WULError.h"
#include "wul/WULSystem.h"

CWULTooltip::CWULTooltip()
    : margin(wulTooltipMetrics[0]), maxWidth(wulTooltipMetrics[1]), buffer(nullptr), slot(nullptr) {
  flagsB |= WUL_IF_CONSTRUCTING;
  buffer = new CWULOffscreenBuffer();
  if (wulDynamicApi.updateLayeredWindow)
    exStyle |= WS_EX_LAYERED;
  color.Assign(wulColors[24]);
  font.Assign(wulFonts[8]);
  flagsA &= ~(WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT);
  flagsB &= ~WUL_IF_CONSTRUCTING;
  Measure();
}

CWULTooltip::~CWULTooltip() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  if (slot && slot->tip == this)
    slot->tip = nullptr;
  slot = nullptr;
  if (window) {
    // The window goes before the buffer it paints from.
    DestroyWindow(window);
  }
  delete buffer;
  buffer = nullptr;
}

int32_t CWULTooltip::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (flagsB & WUL_IF_CONSTRUCTING)
    return 0;
  Measure();
  int32_t result = CWULPopupWindow::HandleNotify(sender, code, param);
  if (sender == &text)
    OnColorChanged();
  return result;
}

int CWULTooltip::GetMargin() { return margin; }

void CWULTooltip::SetMargin(int value) {
  margin = value;
  Measure();
  OnColorChanged();
}

int CWULTooltip::GetMaxWidth() { return maxWidth; }

void CWULTooltip::SetMaxWidth(int value) {
  maxWidth = value;
  Measure();
  OnColorChanged();
}

void CWULTooltip::Measure() {
  HDC dc = GetDC(nullptr);
  if (!dc)
    return;
  CWULTextFont textFont(&GetFont());
  textFont.Select(dc);
  RECT area = {0, 0, 0, 0};
  DrawTextA(dc, text.text, -1, &area, DT_CALCRECT | DT_NOPREFIX);
  const int e = 2 * margin + 2;
  if (e < maxWidth) {
    area = {0, 0, maxWidth - e, 0};
    DrawTextA(dc, text.text, -1, &area, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
  }
  textFont.Restore();
  ReleaseDC(nullptr, dc);
  const int newWidth = area.right - area.left + e;
  const int newHeight = area.bottom - area.top + e;
  if (newWidth != width || newHeight != height)
    SetSize(newWidth, newHeight);
}

void CWULTooltip::Render() {
  CWULImage* image = buffer ? buffer->GetImage() : nullptr;
  if (!image)
    return;
  const uint32_t fill = GetColor().value;
  image->Fill(GetColor());
  GdiFlush();
  CWULTextFont textFont(&GetFont());
  textFont.Select(buffer->GetDC());
  RECT area = {0, 0, image->width, image->height};
  InflateRect(&area, -(margin + 1), -(margin + 1));
  DrawTextA(buffer->GetDC(), text.text, -1, &area, DT_NOPREFIX | DT_WORDBREAK);
  textFont.Restore();
  GdiFlush();
  const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  for (size_t i = 0; i < count; i++) {
    if (image->pixels[i] != fill)
      image->pixels[i] |= 0xFF000000u;
  }
  const uint32_t border = wulColors[25].value | 0xFF000000u;
  for (int px = 0; px < image->width; px++) {
    image->SetPixel(px, 0, border);
    image->SetPixel(px, image->height - 1, border);
  }
  for (int py = 0; py < image->height; py++) {
    image->SetPixel(0, py, border);
    image->SetPixel(image->width - 1, py, border);
  }
  if (IsLayered())
    image->PremultiplyAlpha();
}

void CWULTooltip::UpdateLayered() {
  if (!window || !buffer || !buffer->GetImage() || !wulDynamicApi.updateLayeredWindow)
    return;
  POINT position = {x, y};
  SIZE size = {buffer->GetWidth(), buffer->GetHeight()};
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  wulDynamicApi.updateLayeredWindow(window, nullptr, &position, &size, buffer->GetDC(), &origin, 0, &blend,
                                    ULW_ALPHA);
}

HWND CWULTooltip::Incarnate(HWND parentWindow) {
  if (window)
    return window;
  Render();
  CWULPopupWindow::Incarnate(parentWindow);
  if (IsLayered())
    UpdateLayered();
  return window;
}

void CWULTooltip::OnColorChanged() {
  Render();
  if (IsLayered())
    UpdateLayered();
  else
    CWULPopupWindow::OnColorChanged();
}

void CWULTooltip::OnSizeChanged() {
  if (!buffer)
    return;
  try {
    buffer->SetSize(width, height);
  } catch (const CWULError&) {
    // Without a bitmap nothing is painted.
  }
}

LRESULT CWULTooltip::OnPaint(PAINTSTRUCT* paint) {
  if (!IsLayered() && buffer) {
    const RECT& r = paint->rcPaint;
    buffer->Blit(paint->hdc, r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  return 0;
}

CWULTooltip* CWULTooltip::OpenAtCursor(const char* text) {
  CWULTooltip* tip = new CWULTooltip();
  try {
    tip->SetText(text);
    tip->ShowAtCursor();
    tip->Incarnate(nullptr);
  } catch (...) {
    tip->Close();
    throw;
  }
  return tip;
}

void CWULHintSlot::Show(const char* text) {
  Hide();
  CWULTooltip* opened = CWULTooltip::OpenAtCursor(text);
  opened->slot = this;
  tip = opened;
}

void CWULHintSlot::Hide() {
  CWULTooltip* shown = tip;
  if (!shown)
    return;
  tip = nullptr;
  shown->slot = nullptr;
  shown->Close();
}

void CWULTooltip::ShowAtCursor() {
  POINT cursorPos = {0, 0};
  if (!GetCursorPos(&cursorPos))
    return;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int newX = cursorPos.x + 1;
  if (screenWidth < cursorPos.x + width + 1)
    newX = cursorPos.x - width - 1;
  int newY = cursorPos.y - height - 1;
  if (cursorPos.y < height + 1)
    newY = cursorPos.y + 1;
  SetPosition(newX, newY);
  if (IsLayered())
    UpdateLayered();
}
