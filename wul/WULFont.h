#pragma once
// Font descriptions, the global standard fonts, and fonts made ready for a device context.
#include <windows.h>
#include <cstdint>
#include "wul/WULColor.h"
#include "wul/WULString.h"

// Style bits of a font.
enum {
  WUL_FONT_BOLD = 1,
  WUL_FONT_ITALIC = 2,
  WUL_FONT_UNDERLINE = 4,
  WUL_FONT_STRIKEOUT = 8
};

// What CreateFontA needs, except the device. A change of any part, the colour and the
// face name included, is reported to the listener as a change of the font.
class CWULFont : public CWULObject {
public:
  // A copy of standard font 1.
  CWULFont();
  CWULFont(const CWULFont& other);
  CWULFont& operator=(const CWULFont& other) { return Assign(other); }

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  // Copies every value and then notifies once.
  CWULFont& Assign(const CWULFont& other);
  // Standard fonts 1 to 4; other kinds do nothing.
  void SetStandard(int kind);
  void SetFaceName(const char* face);
  void SetCharSet(int charSet);
  void SetHeight(int height);
  void SetQuality(int quality);
  void SetBold(bool on);
  void SetItalic(bool on);
  void SetUnderline(bool on);
  void SetStrikeOut(bool on);

  CWULColor color;  // text colour
  int32_t charSet;
  int32_t height;   // negative: character height in pixels
  int32_t quality;
  uint8_t style;    // WUL_FONT_ bits
  CWULString faceName;

private:
  void CopyValues(const CWULFont& other);
  void SetStyleBit(uint8_t bit, bool on);
};

enum { WUL_FONT_COUNT = 9 };

// The global fonts; wulFonts[n - 1] is font n. Fonts 1 to 4 are the standard fonts that
// SetStandard copies; 5 and 6 the application window fonts, 7 a copy of font 1, 8 the
// menu font, 9 the tooltip font. Copies of the empty font 1 until the framework's start-up.
extern CWULFont wulFonts[WUL_FONT_COUNT];

// Override flags of CWULTextFont.
enum {
  WUL_TF_FACE = 0x01,
  WUL_TF_CHARSET = 0x02,
  WUL_TF_HEIGHT = 0x04,
  WUL_TF_QUALITY = 0x08,
  WUL_TF_BOLD = 0x10,
  WUL_TF_ITALIC = 0x20,
  WUL_TF_UNDERLINE = 0x40,
  WUL_TF_STRIKEOUT = 0x80
};
enum { WUL_TF_COLOR = 0x01 };  // in the second flag byte

// A font made ready for one device context, with optional overrides of the font's
// values. Selecting it creates the GDI font; Restore or the destructor puts the DC back.
class CWULTextFont {
public:
  CWULTextFont();
  explicit CWULTextFont(CWULFont* font);
  ~CWULTextFont();
  CWULTextFont(const CWULTextFont&) = delete;
  CWULTextFont& operator=(const CWULTextFont&) = delete;

  void SetFaceName(const char* face);
  void SetCharSet(int charSet);
  void SetHeight(int height);
  void SetQuality(int quality);
  void SetBold(bool on);
  void SetItalic(bool on);
  void SetUnderline(bool on);
  void SetStrikeOut(bool on);
  void SetColor(const CWULColor& color);
  CWULColor& GetColor() { return colorOverride; }

  // Creates the font and selects it into dc with a transparent background and the text
  // colour, undoing an earlier selection first. Null (and nothing selected) on failure.
  HFONT Select(HDC dc);
  void Restore();

  uint8_t overrides;   // WUL_TF_ bits
  uint8_t overrides2;  // WUL_TF_COLOR
  CWULFont* font;      // not owned; nothing is selected without one
  int32_t charSetOverride;
  int32_t heightOverride;
  int32_t qualityOverride;
  uint8_t styleOverride;  // WUL_FONT_ bits
  CWULColor colorOverride;
  CWULString faceNameOverride;

  HDC dc;  // null while not selected
  HFONT hfont;
  HGDIOBJ previousFont;
  int previousBkMode;
  COLORREF previousTextColor;
};
