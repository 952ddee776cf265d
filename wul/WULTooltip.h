#pragma once
// A short text shown next to the pointer. Where the system offers layered windows it is
// drawn with a translucent background and opaque text and border.
#include "wul/WULOffscreen.h"
#include "wul/WULPopupWindow.h"

class CWULHintSlot;

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
  CWULHintSlot* slot;  // the slot that holds this tooltip, cleared when it is deleted
};

// Where an owner keeps the tooltip of its hint. A tooltip whose window is destroyed from
// outside (closing every window of the thread, say) deletes itself and empties the slot,
// so that no pointer to it is left behind.
class CWULHintSlot {
public:
  CWULHintSlot() : tip(nullptr) {}
  ~CWULHintSlot() { Hide(); }
  CWULHintSlot(const CWULHintSlot&) = delete;
  CWULHintSlot& operator=(const CWULHintSlot&) = delete;

  // The shown tooltip, or null.
  CWULTooltip* Get() const { return tip; }
  // Replaces a shown tooltip by a new one with the text, beside the pointer.
  void Show(const char* text);
  // Closes the shown tooltip, if any.
  void Hide();

private:
  friend class CWULTooltip;
  CWULTooltip* tip;
};
