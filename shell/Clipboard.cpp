#include "shell/Clipboard.h"
#include <cmath>
#include <cstring>
#include <algorithm>
#include <new>
#include "document/EditorUI.h"
#include "document/PixelArray.h"
#include "shell/Application.h"
#include "shell/Errors.h"
#include "wul/WULFloatBits.h"
#include "wul/WULSRGB.h"

CClipboard g_Clipboard;

namespace {

const char kViewerClass[] = "Vellumcraft.Clipboard.Handler.Class";
const char kViewerTitle[] = "Vellumcraft.Clipboard.Handler";
const char kPrivateFormatName[] = "Vellumcraft.DIB";

// Largest side the decoders accept; keeps every size computation far from overflow.
const int32_t kMaxSide = 1 << 15;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CClipboard* handler = reinterpret_cast<CClipboard*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (handler)
    return handler->HandleMessage(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

int64_t Stride(int32_t width, int32_t bits) { return ((int64_t(width) * bits + 31) / 32) * 4; }

// Opens and locks clipboard data for reading and undoes both on the way out.
class ClipboardReading {
public:
  explicit ClipboardReading(HWND window) : owner(window) {}
  ~ClipboardReading() {
    if (handle)
      GlobalUnlock(handle);
    if (open)
      CloseClipboard();
  }
  bool Open() {
    if (!open)
      open = OpenClipboard(owner) != FALSE;
    return open;
  }
  const uint8_t* Lock(UINT format, SIZE_T& size) {
    handle = GetClipboardData(format);
    if (!handle)
      return nullptr;
    size = GlobalSize(handle);
    return static_cast<const uint8_t*>(GlobalLock(handle));
  }
  ClipboardReading(const ClipboardReading&) = delete;
  ClipboardReading& operator=(const ClipboardReading&) = delete;

private:
  HWND owner;
  bool open = false;
  HGLOBAL handle = nullptr;
};

// A clipboard image being read: the private layout, or a bitmap with its rows, row order,
// colour table and alpha.
struct Image {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  float xResolution;
  float yResolution;
  const uint8_t* pixels;  // rows top-down, unpadded (private layout)
  const uint8_t* bitmapBits;
  int32_t bitmapBitCount;
  int64_t bitmapStride;
  bool bottomUp;
  const RGBQUAD* colors;
  int32_t colorCount;
  bool useAlpha;
};

bool DecodePrivate(const uint8_t* block, SIZE_T size, Image& image) {
  if (size < CClipboard::PRIVATE_HEADER_SIZE)
    return false;
  int32_t header[4];
  std::memcpy(header, block, sizeof header);
  const int32_t bits = header[1] >> 16;
  if (header[0] < CClipboard::PRIVATE_HEADER_SIZE || (bits != 8 && bits != 24 && bits != 32) || header[2] < 0 ||
      header[3] < 0 || header[2] > kMaxSide || header[3] > kMaxSide)
    return false;
  const uint64_t need = uint64_t(header[0]) + uint64_t(header[2]) * uint64_t(header[3]) * uint64_t(bits / 8);
  if (need > size)
    return false;
  image.width = header[2];
  image.height = header[3];
  image.bitsPerPixel = bits;
  // Another program's floats, judged by their bits: NaN, infinities and denormals count as
  // an unknown resolution (0).
  image.xResolution = wulUsableFloat(block + 16, 0.0f);
  image.yResolution = wulUsableFloat(block + 20, 0.0f);
  image.pixels = block + header[0];
  return true;
}

// Whether any fourth byte of 32-bit rows is non-zero: many programs leave it 0 in a
// picture that has no alpha at all.
bool HasAlpha(const uint8_t* bits, int32_t width, int32_t rows, int64_t stride) {
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* line = bits + size_t(y) * size_t(stride);
    for (int32_t x = 0; x < width; ++x)
      if (line[4 * size_t(x) + 3])
        return true;
  }
  return false;
}

bool DecodeBitmap(const uint8_t* block, SIZE_T size, Image& image) {
  if (size < sizeof(BITMAPINFOHEADER))
    return false;
  BITMAPV5HEADER h;
  std::memset(&h, 0, sizeof h);
  DWORD headerSize;
  std::memcpy(&headerSize, block, 4);
  if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > size)
    return false;
  std::memcpy(&h, block, headerSize < sizeof h ? headerSize : sizeof h);
  if (h.bV5Planes != 1)
    return false;
  if (h.bV5Compression != BI_RGB && h.bV5Compression != BI_BITFIELDS)
    return false;
  const int32_t bits = h.bV5BitCount;
  if (bits != 8 && bits != 24 && bits != 32)
    return false;
  if (h.bV5Width <= 0 || h.bV5Width > kMaxSide || h.bV5Height == 0 || h.bV5Height < -kMaxSide ||
      h.bV5Height > kMaxSide)
    return false;
  uint64_t offset = headerSize;
  // The three masks follow a plain header; the larger headers hold them inside.
  if (h.bV5Compression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER))
    offset += 12;
  int32_t colorCount = 0;
  if (bits == 8) {
    colorCount = h.bV5ClrUsed == 0 || h.bV5ClrUsed > 256 ? 256 : int32_t(h.bV5ClrUsed);
    image.colors = reinterpret_cast<const RGBQUAD*>(block + offset);
    offset += uint64_t(colorCount) * sizeof(RGBQUAD);
  }
  const int32_t rows = h.bV5Height < 0 ? -h.bV5Height : h.bV5Height;
  const int64_t stride = Stride(h.bV5Width, bits);
  if (offset + uint64_t(stride) * uint64_t(rows) > size)
    return false;
  image.width = h.bV5Width;
  image.height = rows;
  image.bitmapBits = block + offset;
  image.bitmapBitCount = bits;
  image.bitmapStride = stride;
  image.bottomUp = h.bV5Height > 0;
  image.colorCount = colorCount;
  image.useAlpha = bits == 32 && headerSize >= sizeof(BITMAPV5HEADER) && h.bV5AlphaMask != 0 &&
                   HasAlpha(image.bitmapBits, h.bV5Width, rows, stride);
  image.bitsPerPixel = image.useAlpha ? 32 : 24;
  image.xResolution = float(h.bV5XPelsPerMeter);
  image.yResolution = float(h.bV5YPelsPerMeter);
  return true;
}

uint32_t PixelOf(const Image& image, int32_t x, int32_t y) {
  if (image.pixels) {
    const uint8_t* p = image.pixels + (size_t(y) * size_t(image.width) + size_t(x)) * size_t(image.bitsPerPixel / 8);
    if (image.bitsPerPixel == 8)
      return 0xFF000000u | uint32_t(p[0]) * 0x010101u;
    if (image.bitsPerPixel == 24)
      return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    uint32_t c;
    std::memcpy(&c, p, 4);
    return c;
  }
  const int32_t row = image.bottomUp ? image.height - 1 - y : y;
  const uint8_t* line = image.bitmapBits + size_t(row) * size_t(image.bitmapStride);
  if (image.bitmapBitCount == 8) {
    const int32_t index = line[x];
    if (index >= image.colorCount)
      return 0xFF000000u;
    const RGBQUAD& q = image.colors[index];
    return 0xFF000000u | uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
  }
  const uint8_t* p = line + size_t(x) * size_t(image.bitmapBitCount / 8);
  const uint32_t alpha = image.bitmapBitCount == 32 && image.useAlpha ? p[3] : 255u;
  return alpha << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool DecodeBlock(const uint8_t* block, size_t size, bool isPrivate, Image& image) {
  std::memset(&image, 0, sizeof image);
  return isPrivate ? DecodePrivate(block, size, image) : DecodeBitmap(block, size, image);
}

// Writes the image with its top-left corner at (x, y), clipped to the array, by the current
// channel mode.
void WriteImage(const Image& image, CPixelArray& target, int32_t x, int32_t y) {
  const int32_t mode = GetEditorUI()->GetChannelMode();
  const int32_t x0 = x < 0 ? -x : 0, y0 = y < 0 ? -y : 0;
  const int64_t x1 = std::min<int64_t>(image.width, int64_t(target.width) - x);
  const int64_t y1 = std::min<int64_t>(image.height, int64_t(target.height) - y);
  for (int32_t sy = y0; sy < y1; ++sy) {
    for (int32_t sx = x0; sx < x1; ++sx) {
      const uint32_t c = PixelOf(image, sx, sy);
      uint32_t& out = target.data[size_t(sy + y) * size_t(target.width) + size_t(sx + x)];
      if (mode == 1) {
        out = (out & 0xFF000000u) | (c & 0x00FFFFFFu);
      } else if (mode == 2) {
        const float l = wulGetLuminance(float(c >> 16 & 255) / 255.0f, float(c >> 8 & 255) / 255.0f,
                                        float(c & 255) / 255.0f);
        const long a = std::lround(255.0f * l);
        out = (out & 0x00FFFFFFu) | uint32_t(a < 0 ? 0 : a > 255 ? 255 : a) << 24;
      } else {
        out = c;
      }
    }
  }
}

// Opens the clipboard and decodes the first offered format of privateFormat and
// bitmapFormat; the data stays locked while reading lives.
bool ReadOffered(ClipboardReading& reading, UINT privateFormat, UINT bitmapFormat, Image& image) {
  UINT formats[2] = {privateFormat, bitmapFormat};
  const int format = GetPriorityClipboardFormat(formats, 2);
  if (format <= 0 || !reading.Open())
    return false;
  SIZE_T size = 0;
  const uint8_t* block = reading.Lock(UINT(format), size);
  if (!block)
    return false;
  return DecodeBlock(block, size, UINT(format) == privateFormat, image);
}

}  // namespace

bool IsVersion5OrLater() {
  if (g_App.osVersion.dwOSVersionInfoSize)
    return g_App.osVersion.dwMajorVersion >= 5;
  return LOBYTE(LOWORD(GetVersion())) >= 5;
}

CClipboard::CClipboard()
    : privateFormat(0), viewer(nullptr), nextViewer(nullptr), locked(0), width(0), height(0), bitsPerPixel(0),
      xResolution(0), yResolution(0), data(nullptr) {}

CClipboard::~CClipboard() { ReleaseData(); }

bool CClipboard::Init() {
  privateFormat = RegisterClipboardFormatA(kPrivateFormatName);
  return privateFormat != 0;
}

UINT CClipboard::GetBitmapFormat() const { return IsVersion5OrLater() ? CF_DIBV5 : CF_DIB; }

bool CClipboard::CreateViewer() {
  if (viewer)
    return true;
  if (!privateFormat)
    Init();
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kViewerClass;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  HWND parent = IsVersion5OrLater() ? HWND_MESSAGE : nullptr;
  HWND window = CreateWindowExA(0, kViewerClass, kViewerTitle, WS_POPUP, 0, 0, 0, 0, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!window) {
    ErrorBox("Clipboard handler creation failed");
    return false;
  }
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  viewer = window;
  SetLastError(0);
  nextViewer = SetClipboardViewer(window);
  return true;
}

bool CClipboard::DestroyViewer() {
  if (!viewer)
    return false;
  DestroyWindow(viewer);
  viewer = nullptr;
  return true;
}

void CClipboard::ReleaseData() {
  delete[] data;
  data = nullptr;
  width = height = bitsPerPixel = 0;
}

bool CClipboard::BuildStoredData(const CClipboardCopyRequest& request) {
  ReleaseData();
  const CPixelArray* source = request.source;
  if (!source || !source->data)
    return false;
  const int32_t bits = request.bitsPerPixel;
  if (bits != 8 && bits != 24 && bits != 32)
    return false;
  // Clipped to the source; the mask must cover the source to be used.
  Rect r = request.rect;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > source->width) r.right = source->width;
  if (r.bottom > source->height) r.bottom = source->height;
  if (r.right <= r.left || r.bottom <= r.top)
    return false;
  const CMaskArray* mask = request.mask;
  if (mask && (!mask->data || mask->width != source->width || mask->height != source->height))
    return false;
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const size_t bytes = size_t(w) * size_t(h) * size_t(bits / 8);
  uint8_t* block = new (std::nothrow) uint8_t[bytes];
  if (!block)
    return false;
  uint8_t* out = block;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint32_t pixel = source->GetPixel(x, y);
      const uint32_t m = mask ? mask->data[size_t(y) * mask->width + x] : 255u;
      if (bits == 8) {
        *out++ = uint8_t(BlendAlpha(0, pixel, m) >> 24);
      } else if (bits == 24) {
        const uint32_t c = BlendRgb(0, pixel, m);
        *out++ = uint8_t(c);
        *out++ = uint8_t(c >> 8);
        *out++ = uint8_t(c >> 16);
      } else {
        const uint32_t c = BlendArgb(0, pixel, m);
        std::memcpy(out, &c, 4);
        out += 4;
      }
    }
  }
  data = block;
  width = w;
  height = h;
  bitsPerPixel = bits;
  xResolution = request.xResolution;
  yResolution = request.yResolution;
  return true;
}

bool CClipboard::Copy(const CClipboardCopyRequest& request) {
  if (!viewer || !OpenClipboard(viewer))
    return false;
  EmptyClipboard();
  if (!BuildStoredData(request)) {
    CloseClipboard();
    return false;
  }
  SetClipboardData(privateFormat, nullptr);
  SetClipboardData(CF_DIB, nullptr);
  if (IsVersion5OrLater())
    SetClipboardData(CF_DIBV5, nullptr);
  CloseClipboard();
  return true;
}

HGLOBAL CClipboard::RenderPrivate() {
  const size_t pixels = size_t(width) * size_t(height) * size_t(bitsPerPixel / 8);
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, PRIVATE_HEADER_SIZE + pixels);
  if (!handle)
    return nullptr;
  uint8_t* block = static_cast<uint8_t*>(GlobalLock(handle));
  if (!block) {
    GlobalFree(handle);
    return nullptr;
  }
  const int32_t header[4] = {PRIVATE_HEADER_SIZE, bitsPerPixel << 16, width, height};
  std::memcpy(block, header, sizeof header);
  std::memcpy(block + 16, &xResolution, 4);
  std::memcpy(block + 20, &yResolution, 4);
  std::memcpy(block + PRIVATE_HEADER_SIZE, data, pixels);
  GlobalUnlock(handle);
  return handle;
}

HGLOBAL CClipboard::RenderBitmap(bool version5) {
  const int32_t outBits = bitsPerPixel == 8 ? 8 : bitsPerPixel == 32 && version5 ? 32 : 24;
  const uint32_t headerSize = version5 ? sizeof(BITMAPV5HEADER) : sizeof(BITMAPINFOHEADER);
  const uint32_t tableSize = outBits == 8 ? 256 * sizeof(RGBQUAD) : 0;
  const int64_t stride = Stride(width, outBits);
  const size_t total = headerSize + tableSize + size_t(stride) * size_t(height);
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
  if (!handle)
    return nullptr;
  uint8_t* block = static_cast<uint8_t*>(GlobalLock(handle));
  if (!block) {
    GlobalFree(handle);
    return nullptr;
  }
  BITMAPV5HEADER header;
  std::memset(&header, 0, sizeof header);
  header.bV5Size = headerSize;
  header.bV5Width = width;
  header.bV5Height = height;
  header.bV5Planes = 1;
  header.bV5BitCount = WORD(outBits);
  header.bV5Compression = BI_RGB;
  header.bV5SizeImage = DWORD(stride * height);
  header.bV5XPelsPerMeter = wulRoundFloatSaturated(&xResolution);
  header.bV5YPelsPerMeter = wulRoundFloatSaturated(&yResolution);
  header.bV5ClrUsed = outBits == 8 ? 256 : 0;
  if (version5) {
    header.bV5CSType = 0x73524742;  // LCS_sRGB, "sRGB"
    header.bV5Intent = 2;
    if (outBits == 32)
      header.bV5AlphaMask = 0xFF000000u;
  }
  std::memcpy(block, &header, headerSize);
  RGBQUAD* table = reinterpret_cast<RGBQUAD*>(block + headerSize);
  for (uint32_t i = 0; i < tableSize / sizeof(RGBQUAD); ++i) {
    table[i].rgbBlue = table[i].rgbGreen = table[i].rgbRed = BYTE(i);
    table[i].rgbReserved = 0;
  }
  uint8_t* bits = block + headerSize + tableSize;
  const int32_t inBytes = bitsPerPixel / 8;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = data + size_t(y) * size_t(width) * size_t(inBytes);
    uint8_t* out = bits + size_t(height - 1 - y) * size_t(stride);  // bottom-up
    for (int32_t x = 0; x < width; ++x, in += inBytes) {
      if (outBits == 8) {
        *out++ = in[0];
      } else {
        *out++ = in[0];
        *out++ = in[1];
        *out++ = in[2];
        if (outBits == 32)
          *out++ = in[3];
      }
    }
  }
  GlobalUnlock(handle);
  return handle;
}

HGLOBAL CClipboard::Render(UINT format) {
  if (!data)
    return nullptr;
  if (format == privateFormat)
    return RenderPrivate();
  if (format == CF_DIB)
    return RenderBitmap(false);
  if (format == CF_DIBV5)
    return RenderBitmap(true);
  return nullptr;
}

LRESULT CClipboard::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_RENDERFORMAT: {
      HGLOBAL handle = Render(UINT(wParam));
      if (handle && !SetClipboardData(UINT(wParam), handle))
        GlobalFree(handle);
      return 0;
    }
    case WM_RENDERALLFORMATS: {
      locked = 1;
      if (OpenClipboard(window)) {
        EmptyClipboard();
        const UINT formats[] = {privateFormat, CF_DIB, CF_DIBV5};
        for (UINT format : formats) {
          if (format == CF_DIBV5 && !IsVersion5OrLater())
            continue;
          HGLOBAL handle = Render(format);
          if (handle && !SetClipboardData(format, handle))
            GlobalFree(handle);
        }
        CloseClipboard();
      }
      locked = 0;
      return 0;
    }
    case WM_DESTROYCLIPBOARD:
      if (!locked)
        ReleaseData();
      return 0;
    case WM_DRAWCLIPBOARD:
      GetEditorUI()->UpdateCommandStates();
      if (nextViewer)
        SendMessageA(nextViewer, message, wParam, lParam);
      return 0;
    case WM_CHANGECBCHAIN:
      if (reinterpret_cast<HWND>(wParam) == nextViewer)
        nextViewer = reinterpret_cast<HWND>(lParam);
      else if (nextViewer)
        SendMessageA(nextViewer, message, wParam, lParam);
      return 0;
    case WM_DESTROY:
      ReleaseData();
      ChangeClipboardChain(window, nextViewer);
      nextViewer = nullptr;
      if (viewer == window)
        viewer = nullptr;
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool CClipboard::HasImage() {
  UINT formats[2] = {privateFormat, GetBitmapFormat()};
  return GetPriorityClipboardFormat(formats, 2) > 0;
}

bool CClipboard::GetImageInfo(CClipboardImageInfo& info) {
  if (data) {
    info = {width, height, bitsPerPixel, xResolution, yResolution};
    return true;
  }
  ClipboardReading reading(viewer);
  Image image;
  if (!ReadOffered(reading, privateFormat, GetBitmapFormat(), image))
    return false;
  info = {image.width, image.height, image.bitsPerPixel, image.xResolution, image.yResolution};
  return true;
}

bool CClipboard::Paste(CPixelArray& target, int32_t x, int32_t y) {
  if (!target.data)
    return false;
  Image image;
  std::memset(&image, 0, sizeof image);
  ClipboardReading reading(viewer);
  if (data) {
    image.width = width;
    image.height = height;
    image.bitsPerPixel = bitsPerPixel;
    image.pixels = data;
  } else if (!ReadOffered(reading, privateFormat, GetBitmapFormat(), image)) {
    return false;
  }
  WriteImage(image, target, x, y);
  return true;
}

bool GetClipboardBlockInfo(const uint8_t* block, size_t size, bool isPrivate, CClipboardImageInfo& info) {
  Image image;
  if (!block || !DecodeBlock(block, size, isPrivate, image))
    return false;
  info = {image.width, image.height, image.bitsPerPixel, image.xResolution, image.yResolution};
  return true;
}

bool PasteClipboardBlock(const uint8_t* block, size_t size, bool isPrivate, CPixelArray& target, int32_t x,
                         int32_t y) {
  Image image;
  if (!target.data || !block || !DecodeBlock(block, size, isPrivate, image))
    return false;
  WriteImage(image, target, x, y);
  return true;
}
