#pragma once
// Colour models on float channels in 0..1: HSV, HSL, CIE XYZ and CIE L*a*b*.

class CColorModel {
public:
  CColorModel();

  // Each conversion stores its three inputs and computes the other three fields.
  void RgbToHsv(float r, float g, float b);
  void HsvToRgb(float h, float s, float v);
  void RgbToHsl(float r, float g, float b);
  void HslToRgb(float h, float s, float l);
  // Linearises the sRGB channels and leaves X, Y, Z in hue, saturation and value.
  void RgbToXyz(float r, float g, float b);

  float red;
  float green;
  float blue;
  float hue;         // 0..1, one full turn; X after RgbToXyz
  float saturation;  // Y after RgbToXyz
  float value;       // value or lightness; Z after RgbToXyz
};

// sRGB channels in 0..1 to L* (0..100), a* and b*, relative to the white of the XYZ matrix.
void RgbToLab(float r, float g, float b, float& lStar, float& aStar, float& bStar);
