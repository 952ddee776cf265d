#pragma once
// Photoshop documents: the header, the colour data and resources, the layer records and
// the composite image, read into portable records. Numbers in the file are big-endian.
#include <cstddef>
#include <cstdint>
#include <vector>
#include "plugins/shared/VcxShared.h"

enum { PSD_HEADER_SIZE = 26, PSD_MAX_SIZE = 30000, PSD_MAX_CHANNELS = 24 };

// Colour modes.
enum {
  PSD_BITMAP = 0,
  PSD_GREY = 1,
  PSD_INDEXED = 2,
  PSD_RGB = 3,
  PSD_CMYK = 4,
  PSD_MULTICHANNEL = 7,
  PSD_DUOTONE = 8,
  PSD_LAB = 9
};

struct PsdHeader {
  uint16_t version;
  uint16_t channels;
  uint32_t height;
  uint32_t width;
  uint16_t depth;
  uint16_t mode;
};

// Throws 4 for anything but "8BPS", version 1, zero reserved bytes, 1-24 channels, sizes
// 1-30000, depth 1, 8 or 16 and modes 0-9.
void PsdParseHeader(const uint8_t* bytes, PsdHeader& header);
// "Photoshop document\n%dx%d %s (%d bpp)".
void PsdDescribe(const PsdHeader& header, char* text, int size);

// What import reads before the pixels.
struct PsdDocument {
  PsdHeader header;
  bool hasPalette = false;
  uint8_t palette[768];  // 256 red, 256 green, 256 blue
  int32_t paletteCount = 256;
  int32_t transparentIndex = -1;
  CVcxBlock layerSection;  // the layer and mask section without its length
  int32_t layerCount = 0;  // absolute value of the stored count
  bool mergedAlpha = false;  // the stored count was negative
  uint64_t compositeOffset = 0;
};

// Reads the header, the colour data, the resources and the layer section (whole when
// keepLayers, else only its layer count), leaving the reader at the composite image.
void PsdReadDocument(CVcxReader& reader, PsdDocument& document, bool keepLayers);

// Channel images the mode needs: 1 for modes 0, 1, 2, 8; 3 for 3, 9; 4 for 4; 0 for 7; 5
// and 6 count as themselves; plus 1 with merged alpha.
uint32_t PsdNeededChannels(const PsdDocument& document);

// Reads composite channel images first .. first + count - 1 into planes of
// (depth * width + 7) / 8 * height bytes each.
void PsdReadComposite(CVcxReader& reader, const PsdDocument& document, uint32_t first,
                      uint32_t count, CVcxBlock& planes);

// The composite as one colour layer named "Background" (with the palette when one was
// read). Throws 4 for a composite of no record format, 6 when the host cannot make it.
VCXImage* PsdMakeComposite(CVcxReader& reader, const PsdDocument& document);

// One colour layer per usable layer record, in file order; the caller owns the result.
// extraAlpha (may be null) holds extraSize bytes of the first channel image beyond those
// the mode needs. Throws 4 for bad records or modes without layers.
std::vector<VCXImage*> PsdMakeLayers(const PsdDocument& document, const uint8_t* extraAlpha,
                                     size_t extraSize);

// Unpacks PackBits data into exactly size bytes; false when the data ends early or a
// packet runs past the end.
bool PsdUnpackBits(const uint8_t* data, size_t dataSize, uint8_t* out, size_t size);

// An 8-bit CIELAB value (L 0-255 for 0-100, a and b offset by 128) as 8-bit sRGB.
void PsdLabToRgb(double l, double a, double b, double rgb[3]);
