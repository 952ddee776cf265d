#pragma once
// Checked access to the portable records from the plug-in side. Every accessor throws
// CVCXException 1 when given a null record.
#include <cstdint>
#include "plugins/sdk/VCXRecords.h"

// The record's start plus its header size.
uint8_t* vcxGetPayload(const void* record);
// The pixel block of an image (its payload holds the pointer).
uint8_t* vcxGetPixels(const VCXImage* image);
VCXPalette* vcxGetPalette(const VCXImage* image);
uint32_t vcxGetBitsPerPixel(uint32_t format);
// 1, 4, 8, 16, 24, 32, 48, 64 -> bpp << 16; others throw 5.
uint32_t vcxFormatFromBitsPerPixel(uint32_t bitsPerPixel);
// (bpp x width + 7) / 8.
uint32_t vcxGetRowBytes(const VCXImage* image);

int32_t vcxCountImages(const VCXMultiImage* image);
VCXLayeredImage* vcxGetFirstImage(const VCXMultiImage* image);
VCXLayeredImage* vcxGetImage(const VCXMultiImage* image, int32_t index);
VCXImage* vcxGetLayer(const VCXLayeredImage* image, int32_t index);
// Layers of a kind among the first layer-count slots; null slots are skipped.
int32_t vcxCountLayers(const VCXLayeredImage* image, int32_t kind);
VCXImage* vcxGetFirstLayer(const VCXLayeredImage* image, int32_t kind);
bool vcxHasMask(const VCXLayeredImage* image);
// An indexed format (1, 4, 8 or 16 bits) whose first colour layer has no palette.
bool vcxLacksPalette(const VCXLayeredImage* image);
// Not exactly one colour layer, or that one hidden or not opaque. Records carry no blend
// mode: a lone layer composes alike in every mode.
bool vcxNeedsFlattening(const VCXLayeredImage* image);
// A record's resolution field as whole pixels per metre for a file; 0 when it is unknown, not
// positive or not a number.
int32_t vcxGetPixelsPerMetre(const float* resolution);

// A new multi-image holding only image; the image is freed when the host cannot make it.
VCXMultiImage* vcxWrapInMultiImage(VCXLayeredImage* image);
