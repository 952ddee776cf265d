#pragma once
// Memory the framework paints into before copying to a window: a 32-bit top-down DIB
// section whose pixels are also a CWULImage, and a memory DC holding one of the current size.
#include <windows.h>
#include <cstdint>
#include "wul/WULImage.h"
#include "wul/WULObject.h"

class CWULBitmap : public CWULObject {
public:
  // Stays empty when width x height <= 0. Throws CWULError 5 when the DIB or its image
  // cannot be made.
  CWULBitmap(int width, int height);
  ~CWULBitmap() override;
  CWULBitmap(const CWULBitmap&) = delete;
  CWULBitmap& operator=(const CWULBitmap&) = delete;

  HBITMAP handle;     // null when empty
  CWULImage* image;   // wraps the DIB's pixels; null when empty
};

class CWULOffscreenBuffer : public CWULObject {
public:
  // Empty, with a memory DC. Throws CWULError 5 when the DC cannot be made.
  CWULOffscreenBuffer();
  ~CWULOffscreenBuffer() override;
  CWULOffscreenBuffer(const CWULOffscreenBuffer&) = delete;
  CWULOffscreenBuffer& operator=(const CWULOffscreenBuffer&) = delete;

  // A new size gets a new bitmap with undefined contents; the same size keeps the bitmap.
  // An empty size leaves the buffer empty. A failing bitmap leaves it empty and throws.
  void SetSize(int width, int height);
  int GetWidth() const { return width; }
  int GetHeight() const { return height; }
  HDC GetDC() const { return dc; }
  // Null when empty.
  CWULImage* GetImage() const { return bitmap ? bitmap->image : nullptr; }

  // Both copy with SRCCOPY and do nothing when empty.
  void BlitAll(HDC target, int x, int y);
  void Blit(HDC target, int x, int y, int sourceX, int sourceY, int w, int h);

  HDC dc;
  int32_t width;
  int32_t height;
  CWULBitmap* bitmap;
  HGDIOBJ initialBitmap;
};
