#pragma once
// The framework's colour value and the global table of standard colours.
#include <windows.h>
#include <cstdint>
#include "wul/WULObject.h"

// One packed 32-bit value, bytes B, G, R, A in memory order (the pixel order of CWULImage).
class CWULColor : public CWULObject {
public:
  CWULColor() : value(0) { classCode = WUL_CLASS_COLOR; }
  explicit CWULColor(uint32_t packed) : value(packed) { classCode = WUL_CLASS_COLOR; }
  // Opaque; components as SetRGB takes them.
  CWULColor(int r, int g, int b);
  // Keeps the value; the copy has no listener.
  CWULColor(const CWULColor& other) : CWULObject(other), value(other.value) {}
  // Assign: the target keeps its listener and tells it.
  CWULColor& operator=(const CWULColor& other) { return Assign(other); }

  CWULColor& Assign(const CWULColor& other);
  void SetValue(uint32_t packed);
  // Components above 255 are cut to 255; negative ones keep their low byte.
  void SetRGB(int r, int g, int b);
  void SetARGB(int a, int r, int g, int b);
  // B, G and R times factor, rounded to nearest and cut to 255; alpha kept.
  CWULColor Scale(float factor) const;
  // Each of the four components moved by t of the way towards other.
  CWULColor Blend(const CWULColor& other, float t) const;
  // Palette-relative COLORREF, 0x02BBGGRR.
  COLORREF GetColorRef() const;
  void SetColorRef(COLORREF color);

  int GetBlue() const { return static_cast<int>(value & 0xFF); }
  int GetGreen() const { return static_cast<int>((value >> 8) & 0xFF); }
  int GetRed() const { return static_cast<int>((value >> 16) & 0xFF); }
  int GetAlpha() const { return static_cast<int>(value >> 24); }

  uint32_t value;
};

enum { WUL_COLOR_COUNT = 26 };

// The standard colours: all 0 until the framework's start-up gives them their values.
//  0 base grey, default colour of every interactor   13 menu colour 3
//  1 dark shade, colour 0 scaled by 0.25              14 button face
//  2, 3 application window colours 1 and 2            15 view background
//  4 active caption                                   16 field background
//  5 inactive caption                                 17 glyph colour, text of standard font 1
//  6, 7 caption buttons, active and inactive          18 selection (COLOR_HIGHLIGHT)
//  8, 9, 10 menu background, highlight, its text      19 selection text (COLOR_HIGHLIGHTTEXT)
// 11, 12 menu colours 1 and 2                         20 check box tick, 21 radio button dot
// 22 scroll bar, 23 scroll arrow                      24, 25 tooltip colours
extern CWULColor wulColors[WUL_COLOR_COUNT];
