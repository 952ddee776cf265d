#include "wul/WULOffscreen.h"
#include <new>
#include "wul/WULError.h"

CWULBitmap::CWULBitmap(int width, int height) : handle(nullptr), image(nullptr) {
  classCode = WUL_CLASS_BITMAP;
  if (static_cast<int64_t>(width) * height <= 0 || width <= 0)
    return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!handle || !bits) {
    if (handle)
      DeleteObject(handle);
    handle = nullptr;
    wulThrowError(5, "CWULBitmap::CWULBitmap", "DIB creation failed");
  }
  image = new (std::nothrow) CWULImage(static_cast<uint32_t*>(bits), width, height);
  if (!image) {
    DeleteObject(handle);
    handle = nullptr;
    wulThrowError(5, "CWULBitmap::CWULBitmap", "Image interface creation failed");
  }
}

CWULBitmap::~CWULBitmap() {
  delete image;
  if (handle)
    DeleteObject(handle);
}

CWULOffscreenBuffer::CWULOffscreenBuffer() : dc(nullptr), width(0), height(0), bitmap(nullptr), initialBitmap(nullptr) {
  classCode = WUL_CLASS_OFFSCREEN_BUFFER;
  dc = CreateCompatibleDC(nullptr);
  if (!dc)
    wulThrowError(5, "CWULOffscreenBuffer::CWULOffscreenBuffer", "DC creation failed");
  initialBitmap = GetCurrentObject(dc, OBJ_BITMAP);
}

CWULOffscreenBuffer::~CWULOffscreenBuffer() {
  SelectObject(dc, initialBitmap);
  delete bitmap;
  DeleteDC(dc);
}

void CWULOffscreenBuffer::SetSize(int newWidth, int newHeight) {
  if (newWidth != width || newHeight != height) {
    SelectObject(dc, initialBitmap);
    delete bitmap;
    bitmap = nullptr;
    width = 0;
    height = 0;
  }
  if (!bitmap && newWidth > 0 && newHeight > 0) {
    bitmap = new CWULBitmap(newWidth, newHeight);
    SelectObject(dc, bitmap->handle);
    width = newWidth;
    height = newHeight;
  }
}

void CWULOffscreenBuffer::BlitAll(HDC target, int x, int y) {
  if (bitmap)
    BitBlt(target, x, y, width, height, dc, 0, 0, SRCCOPY);
}

void CWULOffscreenBuffer::Blit(HDC target, int x, int y, int sourceX, int sourceY, int w, int h) {
  if (bitmap)
    BitBlt(target, x, y, w, h, dc, sourceX, sourceY, SRCCOPY);
}
