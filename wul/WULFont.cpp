#include "wul/WULFont.h"

namespace {
// Set once the global fonts exist, cleared before they go: a font made before or after
// them (another file's static object) cannot copy standard font 1.
bool fontsAlive = false;
}  // namespace

CWULFont wulFonts[WUL_FONT_COUNT];

namespace {
struct FontsAliveMark {
  FontsAliveMark() { fontsAlive = true; }
  ~FontsAliveMark() { fontsAlive = false; }
} fontsAliveMark;
}  // namespace

CWULFont::CWULFont() : charSet(0), height(0), quality(0), style(0) {
  classCode = WUL_CLASS_FONT;
  color.listener = this;
  faceName.listener = this;
  if (fontsAlive)
    CopyValues(wulFonts[0]);
}

CWULFont::CWULFont(const CWULFont& other) : CWULObject(other), charSet(0), height(0), quality(0), style(0) {
  color.listener = this;
  faceName.listener = this;
  CopyValues(other);
}

int32_t CWULFont::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (sender == &color || sender == &faceName)
    NotifyChanged();
  return 0;
}

void CWULFont::CopyValues(const CWULFont& other) {
  if (&other == this)
    return;
  color.listener = nullptr;
  faceName.listener = nullptr;
  try {
    faceName.Assign(other.faceName.text);
  } catch (...) {
    color.listener = this;
    faceName.listener = this;
    throw;
  }
  color.Assign(other.color);
  color.listener = this;
  faceName.listener = this;
  charSet = other.charSet;
  height = other.height;
  quality = other.quality;
  style = other.style;
}

CWULFont& CWULFont::Assign(const CWULFont& other) {
  CopyValues(other);
  NotifyChanged();
  return *this;
}

void CWULFont::SetStandard(int kind) {
  if (kind >= 1 && kind <= 4)
    Assign(wulFonts[kind - 1]);
}

void CWULFont::SetFaceName(const char* face) {
  // The string reports its change, which the font passes on.
  faceName.Assign(face);
}

void CWULFont::SetCharSet(int value) {
  charSet = value;
  NotifyChanged();
}

void CWULFont::SetHeight(int value) {
  height = value;
  NotifyChanged();
}

void CWULFont::SetQuality(int value) {
  quality = value;
  NotifyChanged();
}

void CWULFont::SetStyleBit(uint8_t bit, bool on) {
  if (on)
    style |= bit;
  else
    style &= static_cast<uint8_t>(~bit);
  NotifyChanged();
}

void CWULFont::SetBold(bool on) { SetStyleBit(WUL_FONT_BOLD, on); }
void CWULFont::SetItalic(bool on) { SetStyleBit(WUL_FONT_ITALIC, on); }
void CWULFont::SetUnderline(bool on) { SetStyleBit(WUL_FONT_UNDERLINE, on); }
void CWULFont::SetStrikeOut(bool on) { SetStyleBit(WUL_FONT_STRIKEOUT, on); }

CWULTextFont::CWULTextFont() : CWULTextFont(nullptr) {}

CWULTextFont::CWULTextFont(CWULFont* font)
    : overrides(0),
      overrides2(0),
      font(font),
      charSetOverride(0),
      heightOverride(0),
      qualityOverride(0),
      styleOverride(0),
      dc(nullptr),
      hfont(nullptr),
      previousFont(nullptr),
      previousBkMode(0),
      previousTextColor(0) {}

CWULTextFont::~CWULTextFont() { Restore(); }

void CWULTextFont::SetFaceName(const char* face) {
  faceNameOverride.Assign(face);
  overrides |= WUL_TF_FACE;
}

void CWULTextFont::SetCharSet(int value) {
  charSetOverride = value;
  overrides |= WUL_TF_CHARSET;
}

void CWULTextFont::SetHeight(int value) {
  heightOverride = value;
  overrides |= WUL_TF_HEIGHT;
}

void CWULTextFont::SetQuality(int value) {
  qualityOverride = value;
  overrides |= WUL_TF_QUALITY;
}

namespace {
void SetBit(uint8_t& bits, uint8_t bit, bool on) {
  if (on)
    bits |= bit;
  else
    bits &= static_cast<uint8_t>(~bit);
}
}  // namespace

void CWULTextFont::SetBold(bool on) {
  SetBit(styleOverride, WUL_FONT_BOLD, on);
  overrides |= WUL_TF_BOLD;
}

void CWULTextFont::SetItalic(bool on) {
  SetBit(styleOverride, WUL_FONT_ITALIC, on);
  overrides |= WUL_TF_ITALIC;
}

void CWULTextFont::SetUnderline(bool on) {
  SetBit(styleOverride, WUL_FONT_UNDERLINE, on);
  overrides |= WUL_TF_UNDERLINE;
}

void CWULTextFont::SetStrikeOut(bool on) {
  SetBit(styleOverride, WUL_FONT_STRIKEOUT, on);
  overrides |= WUL_TF_STRIKEOUT;
}

void CWULTextFont::SetColor(const CWULColor& color) {
  colorOverride.Assign(color);
  overrides2 |= WUL_TF_COLOR;
}

HFONT CWULTextFont::Select(HDC target) {
  if (!font)
    return nullptr;
  Restore();
  if (!target)
    return nullptr;
  // Each style bit comes from the override when its flag is set, else from the font.
  auto styleBit = [this](uint8_t flag, uint8_t bit) -> DWORD {
    uint8_t bits = (overrides & flag) ? styleOverride : font->style;
    return (bits & bit) ? TRUE : FALSE;
  };
  int height = (overrides & WUL_TF_HEIGHT) ? heightOverride : font->height;
  int charSet = (overrides & WUL_TF_CHARSET) ? charSetOverride : font->charSet;
  int quality = (overrides & WUL_TF_QUALITY) ? qualityOverride : font->quality;
  const char* face = (overrides & WUL_TF_FACE) ? faceNameOverride.text : font->faceName.text;
  int weight = styleBit(WUL_TF_BOLD, WUL_FONT_BOLD) ? FW_BOLD : FW_NORMAL;
  HFONT created = CreateFontA(height, 0, 0, 0, weight, styleBit(WUL_TF_ITALIC, WUL_FONT_ITALIC),
                              styleBit(WUL_TF_UNDERLINE, WUL_FONT_UNDERLINE),
                              styleBit(WUL_TF_STRIKEOUT, WUL_FONT_STRIKEOUT), static_cast<DWORD>(charSet),
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, static_cast<DWORD>(quality),
                              DEFAULT_PITCH | FF_DONTCARE, face);
  if (!created)
    return nullptr;
  HGDIOBJ previous = SelectObject(target, created);
  if (!previous || previous == HGDI_ERROR) {
    // Not a usable DC: the font would otherwise be lost.
    DeleteObject(created);
    return nullptr;
  }
  const CWULColor& textColor = (overrides2 & WUL_TF_COLOR) ? colorOverride : font->color;
  dc = target;
  hfont = created;
  previousFont = previous;
  previousBkMode = SetBkMode(target, TRANSPARENT);
  previousTextColor = SetTextColor(target, textColor.GetColorRef());
  return created;
}

void CWULTextFont::Restore() {
  if (!dc)
    return;
  SetBkMode(dc, previousBkMode);
  SetTextColor(dc, previousTextColor);
  SelectObject(dc, previousFont);
  DeleteObject(hfont);
  dc = nullptr;
  hfont = nullptr;
  previousFont = nullptr;
}
