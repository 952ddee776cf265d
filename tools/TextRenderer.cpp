#include "tools/TextRenderer.h"
#include <cmath>
#include <cstring>
#include <new>
#include "wul/WULError.h"
#include "wul/WULOffscreen.h"

namespace {

int32_t RoundUpTo8(int64_t v) {
  return static_cast<int32_t>((v + 7) & ~static_cast<int64_t>(7));
}

// Selects a font into a context for one scope; the font is deleted afterwards.
class CSelectedFont {
public:
  CSelectedFont(HDC dc, HFONT font) : dc(dc), font(font), previous(nullptr) {
    if (dc && font)
      previous = SelectObject(dc, font);
  }
  ~CSelectedFont() {
    if (previous)
      SelectObject(dc, previous);
    if (font)
      DeleteObject(font);
  }
  CSelectedFont(const CSelectedFont&) = delete;
  CSelectedFont& operator=(const CSelectedFont&) = delete;

  bool IsSelected() const { return previous != nullptr && previous != HGDI_ERROR; }

private:
  HDC dc;
  HFONT font;
  HGDIOBJ previous;
};

}  // namespace

CTextRenderer::CTextRenderer()
    : bufferWidth(0),
      bufferHeight(0),
      autoSize(0),
      memoryLimit(0),
      faceName("Arial"),
      style(STYLE_REGULAR),
      height(-11),
      drawnWidth(0),
      drawnHeight(0),
      measuredWidth(0),
      measuredHeight(0),
      bitmap(nullptr) {}

CTextRenderer::~CTextRenderer() {
  stack.Attach(nullptr);
  delete bitmap;
}

int64_t CTextRenderer::FitBufferSize(int64_t current, int64_t request) {
  int64_t size = current < 0 ? 0 : current;
  if (request < 0)
    request = 0;
  // Beyond this nothing can be made anyway; stop before the doubling overflows.
  const int64_t ceiling = static_cast<int64_t>(1) << 40;
  while (size < request && size < ceiling)
    size = size ? size * 2 : 1;
  while ((size + 3) / 4 > request)
    size /= 2;
  return size;
}

bool CTextRenderer::EnsureBitmap() {
  if (bitmap)
    return true;
  try {
    bitmap = new CWULOffscreenBuffer();
    bitmap->SetSize(1, 1);
  } catch (const CWULError&) {
  } catch (const std::bad_alloc&) {
  }
  return bitmap != nullptr;
}

HDC CTextRenderer::GetDC() {
  return EnsureBitmap() ? bitmap->GetDC() : nullptr;
}

void CTextRenderer::ClearExtents() {
  drawnWidth = drawnHeight = measuredWidth = measuredHeight = 0;
}

CMaskArray* CTextRenderer::GetLevel(int32_t level) const {
  if (bufferWidth <= 0 || bufferHeight <= 0)
    return nullptr;
  CMaskArray* array = stack.GetLevel(level);
  return array && array->data ? array : nullptr;
}

bool CTextRenderer::SetBufferSize(int32_t w, int32_t h) {
  const int64_t fittedW = FitBufferSize(bufferWidth, w);
  const int64_t fittedH = FitBufferSize(bufferHeight, h);
  const int64_t newW = fittedW > MAX_BUFFER_SIZE ? fittedW : RoundUpTo8(fittedW);
  const int64_t newH = fittedH > MAX_BUFFER_SIZE ? fittedH : RoundUpTo8(fittedH);
  if (newW == bufferWidth && newH == bufferHeight)
    return true;
  ClearExtents();
  bufferWidth = 0;
  bufferHeight = 0;
  stack.Attach(nullptr);
  mask.SetSize(0, 0);
  if (!EnsureBitmap())
    return false;

  // A bitmap beyond 2 GB cannot be made; do not ask for it.
  const bool fits = newW >= 1 && newW <= MAX_BUFFER_SIZE && newH >= 1 &&
                    newH <= MAX_BUFFER_SIZE && newW * newH <= 0x7fffffff / 4;
  if (!fits) {
    try {
      bitmap->SetSize(1, 1);
    } catch (const CWULError&) {
    }
    // Only an empty request is met by an empty buffer.
    return w <= 0 || h <= 0;
  }
  try {
    bitmap->SetSize(static_cast<int>(newW), static_cast<int>(newH));
  } catch (const CWULError&) {
  }
  if (!bitmap->GetImage()) {
    try {
      bitmap->SetSize(1, 1);
    } catch (const CWULError&) {
    }
    return false;
  }
  mask.SetSize(static_cast<int32_t>(newW / 8), static_cast<int32_t>(newH / 8));
  stack.Attach(&mask);
  if (!mask.data || !stack.IsComplete()) {
    stack.Attach(nullptr);
    mask.SetSize(0, 0);
    bitmap->SetSize(1, 1);
    return false;
  }
  bufferWidth = static_cast<int32_t>(newW);
  bufferHeight = static_cast<int32_t>(newH);
  return true;
}

HFONT CTextRenderer::CreateRendererFont() const {
  const bool bold = style == STYLE_BOLD || style == STYLE_BOLD_ITALIC;
  const bool italic = style == STYLE_ITALIC || style == STYLE_BOLD_ITALIC;
  return CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, faceName.text);
}

SIZE CTextRenderer::MeasureWithFont(HDC dc, const char* text) {
  SIZE size = {0, 0};
  if (!text || !*text)
    return size;
  RECT rect = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &rect, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
  size.cx = rect.right - rect.left;
  size.cy = rect.bottom - rect.top;
  // An italic glyph may hang over its advance on the right.
  const UINT last = static_cast<unsigned char>(text[std::strlen(text) - 1]);
  ABC abc;
  if (GetCharABCWidthsA(dc, last, last, &abc) && abc.abcC < 0)
    size.cx -= abc.abcC;
  if (size.cx < 0 || size.cy < 0)
    size.cx = size.cy = 0;
  return size;
}

SIZE CTextRenderer::Measure(const char* text) {
  SIZE none = {0, 0};
  HDC dc = GetDC();
  if (!dc)
    return none;
  CSelectedFont font(dc, CreateRendererFont());
  if (!font.IsSelected())
    return none;
  return MeasureWithFont(dc, text);
}

SIZE CTextRenderer::Render(const char* text) {
  SIZE measured = {0, 0};
  ClearExtents();
  if (autoSize) {
    SIZE wanted = Measure(text);
    if (wanted.cx > 0 && wanted.cy > 0 && memoryLimit) {
      // 4 bytes of bitmap and 1 + 1/4 + 1/16 + 1/64 bytes of mask levels per pixel.
      const double cap = std::floor(memoryLimit / (5.328125 * wanted.cy) + 0.5);
      if (cap < wanted.cx)
        wanted.cx = static_cast<LONG>(cap);
    }
    SetBufferSize(wanted.cx, wanted.cy);
  }
  HDC dc = GetDC();
  if (!dc)
    return measured;
  CSelectedFont font(dc, CreateRendererFont());
  if (!font.IsSelected())
    return measured;
  measured = MeasureWithFont(dc, text);
  if (measured.cx <= 0 || measured.cy <= 0 || !bitmap->GetImage()) {
    measuredWidth = measured.cx;
    measuredHeight = measured.cy;
    return measured;
  }
  RECT rect = {0, 0, measured.cx, measured.cy};
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, text, -1, &rect, DT_NOPREFIX | DT_SINGLELINE);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  GdiFlush();

  CMaskArray* top = GetLevel(CMaskSupersampleStack::TOP);
  if (top && top->width == bufferWidth && top->height == bufferHeight) {
    const int32_t w = measured.cx < top->width ? measured.cx : top->width;
    const int32_t h = measured.cy < top->height ? measured.cy : top->height;
    top->Fill(0);
    const CWULImage* image = bitmap->GetImage();
    const uint32_t* pixels = image->pixels;
    for (int32_t y = 0; y < h; ++y) {
      const uint32_t* row = pixels + static_cast<size_t>(y) * bufferWidth;
      uint8_t* out = top->data + static_cast<size_t>(y) * top->width;
      for (int32_t x = 0; x < w; ++x)
        out[x] = static_cast<uint8_t>(row[x] & 0xFF);
    }
    stack.Reduce(nullptr);
    drawnWidth = w;
    drawnHeight = h;
  }
  measuredWidth = measured.cx;
  measuredHeight = measured.cy;
  return measured;
}
