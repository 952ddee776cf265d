#pragma once
// A popup window that shows an offscreen buffer: the buffer follows the window's size and
// is filled with the window's colour when resized; the owner paints into it and the
// window blits it when painted.
#include "wul/WULOffscreen.h"
#include "wul/WULPopupWindow.h"

class CWULPopupBuffer : public CWULPopupWindow {
public:
  CWULPopupBuffer();
  ~CWULPopupBuffer() override;

  // Null while the buffer is empty.
  CWULImage* GetImage() const { return buffer.GetImage(); }
  // Fills the buffer with the window's colour.
  void Clear();
  // Shows what was painted into the buffer.
  void Present();

  void OnSizeChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  CWULOffscreenBuffer buffer;
};
