#pragma once
// Conversion between sRGB-encoded and linear intensities through two 256-entry tables,
// and the perceptual luminance built on it.

// Entry i is the value for i / 255.
extern float wulSRGBEncodeTable[256];  // linear to sRGB
extern float wulSRGBDecodeTable[256];  // sRGB to linear

// Fills both tables; the framework's start-up calls it once.
void wulBuildSRGBTables();
// Values outside 0..1 are clamped; in between the tables are interpolated linearly.
float wulLinearToSRGB(float value);
float wulSRGBToLinear(float value);
// r, g, b are sRGB components in 0..1; the result is the sRGB-encoded luminance.
float wulGetLuminance(float r, float g, float b);
