#pragma once
// Windows bitmaps (BMP) and packed DIBs: sniffer, reader and writer, and the bit-field
// packing shared by the plug-in.
#include <windows.h>
#include <cstdint>
#include "plugins/sdk/VCXRecords.h"
#include "plugins/sdk/VCXStream.h"

// Writer options; set by the option dialog, defaults at load.
struct BmpWriterOptions {
  bool topDown = false;
  bool rle = false;          // run-length output is not produced
  int32_t format24 = 2;      // 0 R5:G5:B5, 1 R5:G6:B5, 2 R8:G8:B8
  int32_t format32 = 2;      // 0 A1:R5:G5:B5, 1 A4:R4:G4:B4, 2 A8:R8:G8:B8
  bool premultiplied = false;
};
extern BmpWriterOptions g_BmpOptions;

// Packed pixels of 8 to 32 bits and their unpacked form (24: B, G, R; 32: B, G, R, A).
struct VCXBitFields {
  uint32_t packedBits;
  uint32_t unpackedBits;
  uint32_t alphaMask;
  uint32_t redMask;
  uint32_t greenMask;
  uint32_t blueMask;
};

// One row of count pixels.
void vcxUnpackBitFields(uint8_t* destination, const uint8_t* packed, uint32_t count,
                        const VCXBitFields& fields);
void vcxPackBitFields(uint8_t* destination, const uint8_t* unpacked, uint32_t count,
                      const VCXBitFields& fields);

// Whether the fourth byte of any of count B, G, R, A pixels is other than 0.
bool vcxHasAlpha(const uint8_t* pixels, uint64_t count);

// Many writers leave the fourth byte of 32-bit pixels 0. When that byte is 0 in every one
// of count B, G, R, A pixels it is no alpha: all become opaque. One other value keeps all.
void vcxOpaqueIfAlphaEmpty(uint8_t* pixels, uint64_t count);

// Whether an image of this many pixels gets a preview or a thumbnail: none has no pixels or
// more than the host's preview limit.
bool vcxIsPreviewSize(uint64_t pixels);

// Sniff with optional description and preview; the stream is returned to where it was.
bool DibCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen);
// File header, then the bitmap.
VCXLayeredImage* DibImport(CVCXStream& stream);
// The stream stands at the info header. Packed: the rows follow the palette; otherwise they
// start at the stream position bitsPosition.
VCXLayeredImage* DibReadBitmap(CVCXStream& stream, bool packed, int64_t bitsPosition);
// The bitmap as DibReadBitmap reads it when its size makes a preview, else null; the size is
// judged from the header before anything is decoded. With a budget, also only when its pixels
// fit what is left of it, which they then use up, whether or not the bitmap can be read.
VCXLayeredImage* DibReadPreview(CVCXStream& stream, bool packed, int64_t bitsPosition,
                                uint64_t* pixelBudget = nullptr);

bool DibCanExport(const VCXMultiImage* document, int* outFlags);
// A failure leaves a file at path as it was.
void DibExport(HWND parent, const char* path, VCXLayeredImage* image);
// Both return the stream position of the pixel bits.
int64_t DibWriteFile(CVCXStream& stream, VCXLayeredImage* image);
int64_t DibWriteBitmap(CVCXStream& stream, VCXLayeredImage* image);
