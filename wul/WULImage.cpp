#include "wul/WULImage.h"
#include <cstdlib>
#include <cstring>
#include <new>
#include "wul/WULError.h"
#include "wul/WULFloatBits.h"
#include "wul/WULMath.h"
#include "wul/WULSRGB.h"
#include "wul/WULSystem.h"

namespace {

const uint32_t kOne = 1u << 24;
const uint32_t kHalf = 1u << 23;

// p / 255 rounded, for p up to 255 x 255.
inline uint32_t Div255(uint32_t p) { return (p * 65793u + kHalf) >> 24; }

// Opacity 0..1 as a 24-bit fixed-point factor; NaN and denormals count as 0 (judged by
// their bits, so that they do not trap).
uint32_t OpacityFactor(float opacity) {
  const float p = wulUnitFloat(&opacity, 0.0f);
  if (p >= 1.0f)
    return kOne;
  return static_cast<uint32_t>(wulRoundFloat(p * 16777216.0f));
}

// The part of a copy that lands inside both images: the start is moved into both
// images without shortening the size, then the size is limited by both images.
// False when nothing is left.
struct Span {
  int x, y, sx, sy, w, h;
};

bool ClipSpan(int64_t x, int64_t y, int64_t sx, int64_t sy, int64_t w, int64_t h, const CWULImage* target,
              const CWULImage* source, Span* span) {
  if (x < 0) {
    sx -= x;
    x = 0;
  }
  if (y < 0) {
    sy -= y;
    y = 0;
  }
  if (sx < 0) {
    x -= sx;
    sx = 0;
  }
  if (sy < 0) {
    y -= sy;
    sy = 0;
  }
  if (w > target->width - x)
    w = target->width - x;
  if (w > source->width - sx)
    w = source->width - sx;
  if (h > target->height - y)
    h = target->height - y;
  if (h > source->height - sy)
    h = source->height - sy;
  if (w < 1 || h < 1)
    return false;
  *span = {static_cast<int>(x), static_cast<int>(y), static_cast<int>(sx), static_cast<int>(sy),
           static_cast<int>(w), static_cast<int>(h)};
  return true;
}

// The rectangle limited to the image; false when empty.
bool ClipRect(const RECT* rect, const CWULImage* image, RECT* clipped) {
  if (!rect)
    return false;
  clipped->left = rect->left < 0 ? 0 : rect->left;
  clipped->top = rect->top < 0 ? 0 : rect->top;
  clipped->right = rect->right > image->width ? image->width : rect->right;
  clipped->bottom = rect->bottom > image->height ? image->height : rect->bottom;
  return clipped->left < clipped->right && clipped->top < clipped->bottom;
}

// Bytes of a width x height buffer, 0 when it does not fit the address space.
size_t BufferSize(int width, int height) {
  uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  if (bytes > static_cast<uint64_t>(SIZE_MAX) / 2)
    return 0;
  return static_cast<size_t>(bytes);
}

}  // namespace

CWULImage::CWULImage(int width, int height)
    : width(width < 0 ? 0 : width),
      height(height < 0 ? 0 : height),
      pixels(nullptr),
      ownsPixels(0),
      autoDelete(1),
      refCount(0) {
  classCode = WUL_CLASS_IMAGE;
  if (this->width == 0 || this->height == 0)
    return;
  size_t bytes = BufferSize(this->width, this->height);
  if (bytes == 0)
    wulThrowError(5, "CWULImage::CWULImage", "Image allocation failed");
  try {
    pixels = static_cast<uint32_t*>(wulAllocateMemory(bytes));
  } catch (const CWULError&) {
    wulThrowError(5, "CWULImage::CWULImage", "Image allocation failed");
  }
  ownsPixels = 1;
}

CWULImage::CWULImage(uint32_t* pixels, int width, int height)
    : width(width < 0 ? 0 : width),
      height(height < 0 ? 0 : height),
      pixels(pixels),
      ownsPixels(0),
      autoDelete(1),
      refCount(0) {
  classCode = WUL_CLASS_IMAGE;
}

CWULImage::~CWULImage() {
  if (ownsPixels)
    wulFreeMemory(pixels);
}

void CWULImage::AddRef(CWULImage* image) {
  if (image)
    image->refCount++;
}

void CWULImage::Release(CWULImage* image) {
  if (!image)
    return;
  image->refCount--;
  if (image->refCount <= 0 && image->autoDelete)
    delete image;
}

CWULImage* CWULImage::Clone(const CWULImage* image) {
  if (!image)
    return nullptr;
  CWULImage* copy = nullptr;
  try {
    copy = new (std::nothrow) CWULImage(image->width, image->height);
  } catch (const CWULError&) {
    copy = nullptr;
  }
  if (!copy)
    wulThrowError(5, "CWULImage::Clone", "Image creation failed");
  if (copy->pixels) {
    size_t bytes = static_cast<size_t>(copy->width) * static_cast<size_t>(copy->height) * 4u;
    if (image->pixels)
      std::memcpy(copy->pixels, image->pixels, bytes);
    else
      std::memset(copy->pixels, 0, bytes);
  }
  return copy;
}

CWULImage* CWULImage::Fill(const CWULColor& color) {
  if (!pixels)
    return this;
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; i++)
    pixels[i] = color.value;
  return this;
}

CWULImage* CWULImage::FillRect(const RECT* rect, const CWULColor& color) {
  RECT r;
  if (!pixels || !ClipRect(rect, this, &r))
    return this;
  for (LONG y = r.top; y < r.bottom; y++) {
    uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (LONG x = r.left; x < r.right; x++)
      row[x] = color.value;
  }
  return this;
}

CWULImage* CWULImage::FillRectBlended(const RECT* rect, const CWULColor& color, float opacity) {
  RECT r;
  if (!pixels || !ClipRect(rect, this, &r))
    return this;
  uint32_t h = OpacityFactor(opacity);
  uint32_t u = kOne - h;
  uint32_t c[4];
  for (int i = 0; i < 4; i++)
    c[i] = ((color.value >> (8 * i)) & 0xFF) * h + kHalf;
  for (LONG y = r.top; y < r.bottom; y++) {
    uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (LONG x = r.left; x < r.right; x++) {
      uint32_t d = row[x];
      uint32_t result = 0;
      for (int i = 0; i < 4; i++)
        result |= (((d >> (8 * i)) & 0xFF) * u + c[i]) >> 24 << (8 * i);
      row[x] = result;
    }
  }
  return this;
}

void CWULImage::SetPixels(const uint32_t* source) {
  if (!pixels || !source)
    return;
  std::memmove(pixels, source, static_cast<size_t>(width) * static_cast<size_t>(height) * 4u);
}

uint32_t CWULImage::GetPixel(int x, int y) const {
  if (!pixels || x < 0 || y < 0 || x >= width || y >= height)
    return 0;
  return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

void CWULImage::SetPixel(int x, int y, uint32_t value) {
  if (!pixels || x < 0 || y < 0 || x >= width || y >= height)
    return;
  pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = value;
}

void CWULImage::DrawPart(int x, int y, const CWULImage* source, const RECT* sourceRect) {
  if (!pixels || !source || !source->pixels || !sourceRect)
    return;
  Span s;
  if (!ClipSpan(x, y, sourceRect->left, sourceRect->top, int64_t(sourceRect->right) - sourceRect->left,
                int64_t(sourceRect->bottom) - sourceRect->top, this, source, &s))
    return;
  // Rows in the order that keeps an overlapping copy within one image intact.
  bool upwards = source == this && s.y > s.sy;
  for (int i = 0; i < s.h; i++) {
    int row = upwards ? s.h - 1 - i : i;
    std::memmove(pixels + static_cast<size_t>(s.y + row) * width + s.x,
                 source->pixels + static_cast<size_t>(s.sy + row) * source->width + s.sx,
                 static_cast<size_t>(s.w) * 4u);
  }
}

void CWULImage::Draw(int x, int y, const CWULImage* source) { Composite(x, y, source, kOne); }

void CWULImage::Draw(int x, int y, const CWULImage* source, float opacity) {
  Composite(x, y, source, OpacityFactor(opacity));
}

void CWULImage::Composite(int x, int y, const CWULImage* source, uint32_t factor) {
  if (!pixels || !source || !source->pixels)
    return;
  if (source == this) {
    // Read from a copy so that no pixel is read after it was blended.
    CWULImage* copy = Clone(this);
    Composite(x, y, copy, factor);
    delete copy;
    return;
  }
  Span s;
  if (!ClipSpan(x, y, 0, 0, source->width, source->height, this, source, &s))
    return;
  for (int row = 0; row < s.h; row++) {
    uint32_t* d = pixels + static_cast<size_t>(s.y + row) * width + s.x;
    const uint32_t* p = source->pixels + static_cast<size_t>(s.sy + row) * source->width + s.sx;
    for (int i = 0; i < s.w; i++) {
      uint32_t src = p[i];
      uint32_t a = src >> 24;
      if (factor != kOne)
        a = (a * factor + kHalf) >> 24;
      if (a == 0)
        continue;
      uint32_t ia = 255 - a;
      uint32_t dst = d[i];
      uint32_t b = Div255((src & 0xFF) * a + (dst & 0xFF) * ia);
      uint32_t g = Div255(((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * ia);
      uint32_t r = Div255(((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * ia);
      uint32_t alpha = 255 - Div255((255 - (dst >> 24)) * ia);
      d[i] = (alpha << 24) | (r << 16) | (g << 8) | b;
    }
  }
}

void CWULImage::ToGrayscale() {
  if (!pixels)
    return;
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; i++) {
    uint32_t p = pixels[i];
    float r = static_cast<float>((p >> 16) & 0xFF) / 255.0f;
    float g = static_cast<float>((p >> 8) & 0xFF) / 255.0f;
    float b = static_cast<float>(p & 0xFF) / 255.0f;
    int v = wulRoundFloat(wulGetLuminance(r, g, b) * 255.0f);
    uint32_t grey = static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    pixels[i] = (p & 0xFF000000u) | (grey << 16) | (grey << 8) | grey;
  }
}

void CWULImage::PremultiplyAlpha() {
  if (!pixels)
    return;
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; i++) {
    uint32_t p = pixels[i];
    uint32_t a = p >> 24;
    uint32_t b = Div255((p & 0xFF) * a);
    uint32_t g = Div255(((p >> 8) & 0xFF) * a);
    uint32_t r = Div255(((p >> 16) & 0xFF) * a);
    pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

void CWULImage::Scroll(int dx, int dy) {
  if (!pixels)
    return;
  int64_t adx = dx < 0 ? -int64_t(dx) : dx;
  int64_t ady = dy < 0 ? -int64_t(dy) : dy;
  if (adx >= width || ady >= height)
    return;
  size_t length = static_cast<size_t>(width - adx) * 4u;
  int toX = dx > 0 ? dx : 0;
  int fromX = dx < 0 ? -dx : 0;
  // Moving down works from the bottom row up so that no row is read after being written.
  int rows = height - static_cast<int>(ady);
  for (int i = 0; i < rows; i++) {
    int from = dy > 0 ? rows - 1 - i : static_cast<int>(ady) + i;
    int to = from + dy;
    std::memmove(pixels + static_cast<size_t>(to) * width + toX, pixels + static_cast<size_t>(from) * width + fromX,
                 length);
  }
}

CWULImage* WULLoadImageFromBitmapResource(HINSTANCE instance, const char* name) {
  const char* location = "WULLoadImageFromBitmapResource";
  HRSRC resource = FindResourceA(instance, name, reinterpret_cast<LPCSTR>(RT_BITMAP));
  if (!resource)
    wulThrowError(7, location, "Cannot find resource");
  HGLOBAL handle = LoadResource(instance, resource);
  if (!handle)
    wulThrowError(6, location, "Cannot load resource");
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(handle));
  if (!data)
    wulThrowError(6, location, "Cannot lock resource");
  uint64_t size = SizeofResource(instance, resource);

  // The header and the pixels must lie inside the resource.
  BITMAPINFOHEADER header;
  if (size < sizeof header)
    wulThrowError(2, location, "Invalid image format");
  std::memcpy(&header, data, sizeof header);
  if (header.biBitCount != 32 || header.biSize < sizeof header || header.biSize > size)
    wulThrowError(2, location, "Invalid image format");
  int64_t width = header.biWidth < 0 ? -int64_t(header.biWidth) : header.biWidth;
  int64_t height = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u > size - header.biSize)
    wulThrowError(2, location, "Invalid image format");

  CWULImage* image = nullptr;
  try {
    image = new (std::nothrow) CWULImage(static_cast<int>(width), static_cast<int>(height));
  } catch (const CWULError&) {
    image = nullptr;
  }
  if (!image)
    wulThrowError(5, location, "Image creation failed");

  const uint8_t* bits = data + header.biSize;
  size_t rowBytes = static_cast<size_t>(width) * 4u;
  bool topDown = header.biHeight < 0;
  for (int64_t y = 0; image->pixels && y < height; y++) {
    int64_t from = topDown ? y : height - 1 - y;
    std::memcpy(image->pixels + static_cast<size_t>(y) * static_cast<size_t>(width),
                bits + static_cast<size_t>(from) * rowBytes, rowBytes);
  }
  return image;
}
