#pragma once
// A 32-bit colour value 0xAARRGGBB, in memory blue, green, red, alpha like a pixel.
// Colour channels are not premultiplied by alpha.
#include <cstdint>

class CColor {
public:
  CColor() : value(0) {}
  CColor(uint32_t argb) : value(argb) {}
  // Each channel is limited to 255; alpha becomes 255.
  CColor(uint32_t r, uint32_t g, uint32_t b) : value(0) { SetRgb(r, g, b); }
  // Each of the four is limited to 255.
  CColor(uint32_t a, uint32_t r, uint32_t g, uint32_t b) : value(0) { SetArgb(a, r, g, b); }

  void Set(uint32_t argb) { value = argb; }
  void SetRgb(uint32_t r, uint32_t g, uint32_t b) { SetArgb(255, r, g, b); }
  void SetArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    value = (Limit(a) << 24) | (Limit(r) << 16) | (Limit(g) << 8) | Limit(b);
  }

  uint32_t GetAlpha() const { return value >> 24; }
  uint32_t GetRed() const { return (value >> 16) & 0xFF; }
  uint32_t GetGreen() const { return (value >> 8) & 0xFF; }
  uint32_t GetBlue() const { return value & 0xFF; }

  // Every channel, alpha included, moves the fraction t of the way towards the other colour.
  CColor Lerp(const CColor& other, float t) const;

  uint32_t value;

private:
  static uint32_t Limit(uint32_t v) { return v < 255 ? v : 255; }
};
