#include "wul/WULColor.h"
#include "wul/WULMath.h"

CWULColor wulColors[WUL_COLOR_COUNT];

namespace {

// Cut to 255 as a signed value, then kept to its low byte.
uint32_t Component(int c) { return static_cast<uint32_t>(c > 255 ? 255 : c) & 0xFF; }

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

}  // namespace

CWULColor::CWULColor(int r, int g, int b) : value(Pack(255, Component(r), Component(g), Component(b))) {
  classCode = WUL_CLASS_COLOR;
}

CWULColor& CWULColor::Assign(const CWULColor& other) {
  value = other.value;
  NotifyChanged();
  return *this;
}

void CWULColor::SetValue(uint32_t packed) {
  value = packed;
  NotifyChanged();
}

void CWULColor::SetRGB(int r, int g, int b) {
  value = Pack(255, Component(r), Component(g), Component(b));
  NotifyChanged();
}

void CWULColor::SetARGB(int a, int r, int g, int b) {
  value = Pack(Component(a), Component(r), Component(g), Component(b));
  NotifyChanged();
}

CWULColor CWULColor::Scale(float factor) const {
  uint32_t r = Component(wulRoundFloat(static_cast<float>(GetRed()) * factor));
  uint32_t g = Component(wulRoundFloat(static_cast<float>(GetGreen()) * factor));
  uint32_t b = Component(wulRoundFloat(static_cast<float>(GetBlue()) * factor));
  return CWULColor(Pack(value >> 24, r, g, b));
}

CWULColor CWULColor::Blend(const CWULColor& other, float t) const {
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c = static_cast<int>((value >> shift) & 0xFF);
    int o = static_cast<int>((other.value >> shift) & 0xFF);
    int mixed = c + wulRoundFloat(static_cast<float>(o - c) * t);
    result |= (static_cast<uint32_t>(mixed) & 0xFF) << shift;
  }
  return CWULColor(result);
}

COLORREF CWULColor::GetColorRef() const {
  return 0x02000000u | static_cast<uint32_t>(GetRed()) | (static_cast<uint32_t>(GetGreen()) << 8) |
         (static_cast<uint32_t>(GetBlue()) << 16);
}

void CWULColor::SetColorRef(COLORREF color) {
  value = Pack(255, GetRValue(color), GetGValue(color), GetBValue(color));
  NotifyChanged();
}
