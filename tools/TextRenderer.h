#pragma once
// One line of text rendered by the system's font engine into a 32-bit bitmap, taken into an
// 8-bit mask at the bitmap's size and reduced into three halvings (levels 2, 1 and 0).
#include <windows.h>
#include <cstdint>
#include "document/PixelArray.h"
#include "document/Supersample.h"
#include "wul/WULString.h"

class CWULOffscreenBuffer;

class CTextRenderer {
public:
  enum { STYLE_REGULAR = 0, STYLE_BOLD = 1, STYLE_ITALIC = 2, STYLE_BOLD_ITALIC = 3 };
  enum { MAX_BUFFER_SIZE = 0x7ffffff8 };

  CTextRenderer();
  ~CTextRenderer();
  CTextRenderer(const CTextRenderer&) = delete;
  CTextRenderer& operator=(const CTextRenderer&) = delete;

  // Powers of two: grows at once to cover the request, shrinks only when the request falls
  // below about a quarter of the size.
  static int64_t FitBufferSize(int64_t current, int64_t request);

  // Fits both sides (multiples of 8). False when a size was asked for and no bitmap of it
  // could be made; the renderer is then 0 x 0.
  bool SetBufferSize(int32_t w, int32_t h);
  void SetAutoSize(bool on) { autoSize = on ? 1 : 0; }
  // Bytes; 0 = none.
  void SetMemoryLimit(uint32_t bytes) { memoryLimit = bytes; }
  void SetFontName(const char* name) { faceName.Assign(name); }
  void SetStyle(int32_t value) { style = value; }
  // The character height handed to the font engine (negative: pixels).
  void SetHeight(int32_t value) { height = value; }

  // The size the text would take; (0, 0) for an empty text or a font that cannot be made.
  SIZE Measure(const char* text);
  // Renders into the buffer (sized to the text first with auto-size) and fills the mask
  // levels. Returns the measured size.
  SIZE Render(const char* text);

  int32_t GetBufferWidth() const { return bufferWidth; }
  int32_t GetBufferHeight() const { return bufferHeight; }
  bool GetAutoSize() const { return autoSize != 0; }
  uint32_t GetMemoryLimit() const { return memoryLimit; }
  const char* GetFontName() const { return faceName.text; }
  int32_t GetStyle() const { return style; }
  int32_t GetHeight() const { return height; }
  // The part of the last rendering that lies in the buffer.
  int32_t GetDrawnWidth() const { return drawnWidth; }
  int32_t GetDrawnHeight() const { return drawnHeight; }
  int32_t GetMeasuredWidth() const { return measuredWidth; }
  int32_t GetMeasuredHeight() const { return measuredHeight; }
  // Level 3 has the buffer's size; null outside 0..3 or while empty.
  CMaskArray* GetLevel(int32_t level) const;
  // The bitmap's device context (its bitmap is 1 x 1 while the renderer is empty).
  HDC GetDC();

private:
  HFONT CreateRendererFont() const;
  SIZE MeasureWithFont(HDC dc, const char* text);
  bool EnsureBitmap();
  void ClearExtents();

  int32_t bufferWidth;
  int32_t bufferHeight;
  uint8_t autoSize;
  uint32_t memoryLimit;
  CWULString faceName;
  int32_t style;
  int32_t height;
  int32_t drawnWidth;
  int32_t drawnHeight;
  int32_t measuredWidth;
  int32_t measuredHeight;
  CMaskArray mask;
  CMaskSupersampleStack stack;
  CWULOffscreenBuffer* bitmap;  // made on first use
};
