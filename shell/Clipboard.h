#pragma once
// The clipboard handler: offers the editor's pixels in its own format and as device-
// independent bitmaps by delayed rendering, keeps its own copy for exact pastes, watches
// the clipboard through a hidden viewer window and decodes other programs' bitmaps.
#include <windows.h>
#include <cstdint>
#include "document/Geometry.h"

class CPixelArray;
class CMaskArray;

struct CClipboardCopyRequest {
  const CPixelArray* source;
  const CMaskArray* mask;  // null: everything covered
  Rect rect;
  int32_t bitsPerPixel;    // 8, 24 or 32
  float xResolution;
  float yResolution;
};

struct CClipboardImageInfo {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  float xResolution;
  float yResolution;
};

class CClipboard {
public:
  enum { PRIVATE_HEADER_SIZE = 24 };

  CClipboard();
  ~CClipboard();
  CClipboard(const CClipboard&) = delete;
  CClipboard& operator=(const CClipboard&) = delete;

  // Registers the private format; false when that fails.
  bool Init();
  bool CreateViewer();
  bool DestroyViewer();
  HWND GetViewer() const { return viewer; }

  bool Copy(const CClipboardCopyRequest& request);
  bool HasImage();
  bool GetImageInfo(CClipboardImageInfo& info);
  // Writes the clipboard image with its top-left corner at (x, y), clipped to the array,
  // by the current channel mode.
  bool Paste(CPixelArray& target, int32_t x, int32_t y);

  UINT GetPrivateFormat() const { return privateFormat; }
  UINT GetBitmapFormat() const;
  bool HasStoredData() const { return data != nullptr; }
  // The stored data rendered as a global block of the format (null on failure).
  HGLOBAL Render(UINT format);
  void ReleaseData();

  // The viewer window's messages.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
  bool BuildStoredData(const CClipboardCopyRequest& request);
  HGLOBAL RenderPrivate();
  HGLOBAL RenderBitmap(bool version5);

  UINT privateFormat;
  HWND viewer;
  HWND nextViewer;
  uint8_t locked;
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  float xResolution;
  float yResolution;
  uint8_t* data;
};

extern CClipboard g_Clipboard;

// Decode a block as another program leaves it on the clipboard: the private format when
// isPrivate, else a CF_DIB or CF_DIBV5 bitmap. False when the block holds no usable image.
bool GetClipboardBlockInfo(const uint8_t* block, size_t size, bool isPrivate, CClipboardImageInfo& info);
// Writes the block's image into target as Paste does.
bool PasteClipboardBlock(const uint8_t* block, size_t size, bool isPrivate, CPixelArray& target, int32_t x,
                         int32_t y);

// Windows 2000 and later use CF_DIBV5 and a message-only viewer.
bool IsVersion5OrLater();
