#pragma once
// Decoding of JPEG files through the IJG library (6b interface), straight from a file
// handle through the plug-in's own data source.
#include <cstdint>
#include "plugins/shared/VcxShared.h"

// What the header says.
struct JpegInfo {
  int32_t width;
  int32_t height;
  int32_t colorSpace;  // 1 grey, 2 RGB, 3 YCbCr, 4 CMYK, 5 YCCK, 0 other
  int32_t components;
  bool hasJfif;
  uint8_t jfifMajor;
  uint8_t jfifMinor;
  uint8_t densityUnit;
  uint16_t xDensity;
  uint16_t yDensity;
  bool hasAdobe;
  uint8_t adobeTransform;
};

// The decoded picture: rows top to bottom, (width * bits + 7) / 8 bytes each; 24-bit pixels
// blue, green, red.
struct JpegPicture {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  CVcxBlock pixels;
};

// Reads the header, and the whole picture when picture is not null. Throws CVcxError: 11 the
// file cannot be opened, 13 a read failed, 4 the library rejected the data, 6 no memory.
void JpegReadFile(const char* path, JpegInfo& info, JpegPicture* picture);

// "Gs", "RGB", "YUV", "CMYK", "YCCK" or "Unknown".
const char* JpegColorSpaceName(int32_t colorSpace);

// A 24-bit picture from C, M, Y, K bytes as the file stores them: each channel X gives
// (X * K * 65793 + 0x800000) >> 24, written blue, green, red.
void JpegConvertCmyk(const uint8_t* cmyk, uint8_t* bgr, uint64_t pixelCount);
