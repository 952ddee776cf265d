#pragma once
// A short text shown next to the pointer. Where the system offers layered windows it is
// drawn with a translucent background and opaque text and border.
#include "wul/WULOffscreen.h"
#include "wul/WULPopupWindow.h"

class CWULTooltip : public CWULPopupWindow {
public:
  CWULTooltip();
  ~CWULTooltip() override;

  // A new tooltip with the text, shown beside the pointer; closed again when that fails.
  static CWULTooltip* OpenAtCursor(const char* text);

  // Beside the pointer: right of it and above it where the screen allows.
  virtual void ShowAtCursor();
  virtual int GetMargin();
  virtual void SetMargin(int value);
  virtual int GetMaxWidth();
  virtual void SetMaxWidth(int value);
  // Sizes the window to the text, wrapping it at the maximum width.
  virtual void Measure();
  // Paints background, text and border into the buffer.
  virtual void Render();
  virtual void UpdateLayered();

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  HWND Incarnate(HWND parentWindow) override;
  void OnColorChanged() override;
  void OnSizeChanged() override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  bool IsLayered() const { return (exStyle & WS_EX_LAYERED) != 0; }

  int32_t margin;
  int32_t maxWidth;
  CWULOffscreenBuffer* buffer;
};
