#pragma once
// The framework's in-memory picture: 32-bit pixels with alpha, shared by reference counting.
#include <windows.h>
#include <cstdint>
#include "wul/WULColor.h"

class CWULImage : public CWULObject {
public:
  // Allocates an owned buffer with undefined contents. A width or height below 1 gives
  // an image without pixels. Throws CWULError 5 when the buffer cannot be had.
  CWULImage(int width, int height);
  // Wraps a caller's buffer of width x height pixels, which the image does not free.
  CWULImage(uint32_t* pixels, int width, int height);
  ~CWULImage() override;
  CWULImage(const CWULImage&) = delete;
  CWULImage& operator=(const CWULImage&) = delete;

  // Both accept null. Release deletes the image once the count is 0 or less, unless auto
  // delete is off; an image never added to is deleted by one Release.
  static void AddRef(CWULImage* image);
  static void Release(CWULImage* image);
  void AddRef() { AddRef(this); }
  void Release() { Release(this); }
  void SetAutoDelete(bool on) { autoDelete = on ? 1 : 0; }

  // A new owning image with a copy of the pixels; null for null. Throws CWULError 5.
  static CWULImage* Clone(const CWULImage* image);
  CWULImage* Clone() const { return Clone(this); }

  CWULImage* Fill(const CWULColor& color);
  // The rectangle is clipped to the image; a null rectangle fills nothing.
  CWULImage* FillRect(const RECT* rect, const CWULColor& color);
  // Mixes the colour into the clipped rectangle with the given opacity (0 to 1).
  CWULImage* FillRectBlended(const RECT* rect, const CWULColor& color, float opacity);
  // Copies width x height pixels from source; nothing when source is null.
  void SetPixels(const uint32_t* source);
  // 0 outside the image.
  uint32_t GetPixel(int x, int y) const;
  void SetPixel(int x, int y, uint32_t value);

  // Plain copy of a rectangle of source to (x, y).
  void DrawPart(int x, int y, const CWULImage* source, const RECT* sourceRect);
  // Alpha compositing of the whole source at (0, 0) or (x, y), optionally with an extra
  // opacity (0 to 1).
  void Draw(const CWULImage* source) { Draw(0, 0, source); }
  void Draw(int x, int y, const CWULImage* source);
  void Draw(int x, int y, const CWULImage* source, float opacity);

  void ToGrayscale();
  void PremultiplyAlpha();
  // Moves the contents by (dx, dy); the uncovered strip keeps its pixels.
  void Scroll(int dx, int dy);

  int32_t width;
  int32_t height;
  uint32_t* pixels;  // rows top to bottom, bytes B, G, R, A; null without pixels
  uint8_t ownsPixels;
  uint8_t autoDelete;
  int32_t refCount;

private:
  void Composite(int x, int y, const CWULImage* source, uint32_t factor);
};

// A new image (count 0, auto delete on) from a 32-bit RT_BITMAP resource, upright.
// Throws CWULError 7 when the resource is missing, 6 when it cannot be loaded or
// locked, 2 when it is not a 32-bit bitmap and 5 when the image cannot be made.
CWULImage* WULLoadImageFromBitmapResource(HINSTANCE instance, const char* name);
