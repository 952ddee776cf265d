#pragma once
// Truevision TGA files: the header, reading (raw and run-length encoded; true-colour, grey
// and colour-mapped) into portable records, and writing one layer.
#include <cstddef>
#include <cstdint>
#include "plugins/shared/VcxShared.h"

enum { TGA_HEADER_SIZE = 18, TGA_FOOTER_SIZE = 26 };

// Image types, without and with the run-length bit.
enum { TGA_MAPPED = 1, TGA_TRUECOLOR = 2, TGA_GREY = 3, TGA_RLE = 8 };

// Descriptor bits of the pixel order; the writer stores rows left to right.
enum { TGA_RIGHT_TO_LEFT = 0x10, TGA_TOP_TO_BOTTOM = 0x20 };

struct TgaHeader {
  uint8_t idLength;
  uint8_t colorMapType;
  uint8_t imageType;
  uint16_t firstEntry;
  uint16_t mapLength;
  uint8_t entryBits;
  uint16_t xOrigin;
  uint16_t yOrigin;
  uint16_t width;
  uint16_t height;
  uint8_t depth;
  uint8_t descriptor;  // TGA_TOP_TO_BOTTOM, TGA_RIGHT_TO_LEFT
};

void TgaParseHeader(const uint8_t* bytes, TgaHeader& header);
void TgaStoreHeader(const TgaHeader& header, uint8_t* bytes);
// Throws 4 for a header that cannot be read.
void TgaCheckHeader(const TgaHeader& header);
// "Targa bitmap\n%dx%d %s (%d bpp) %s".
void TgaDescribe(const TgaHeader& header, char* text, int size);

// The file's picture as stored: the colour map and the pixels in file order.
struct TgaPicture {
  TgaHeader header;
  CVcxBlock colorMap;  // (entry bits + 7) / 8 * length bytes, for colour-mapped images
  CVcxBlock pixels;    // width * height * depth / 8 bytes, rows as stored
};

// Reads the header (checked), the ID, the colour map and the pixels from the start of the
// file. Throws 4 for bad data, 13 for a file that ends early, 6 when memory is short.
void TgaReadPicture(CVcxReader& reader, TgaPicture& picture);
// Unpacks run-length packets until count pixels of bytesPerPixel bytes are filled; a
// packet that runs past the end throws 4.
void TgaUnpackRle(CVcxReader& reader, uint8_t* pixels, uint64_t count, uint32_t bytesPerPixel);
// A new colour layer of the picture (rows top-down, pixels left to right; 16-bit pixels
// become 24-bit) with its palette. Throws 6 when the host cannot make it, 4 for a colour map
// it cannot read.
VCXImage* TgaMakeImage(const TgaPicture& picture);

// Export options; each depth's dialog keeps its own set.
enum { TGA_OUTPUT_GREY = 1, TGA_OUTPUT_15 = 2, TGA_OUTPUT_24 = 3 };
struct TgaOptions {
  bool rle;
  bool topDown;
  int32_t format24;  // TGA_OUTPUT_...
  bool premultiplied;
};

// Run-length encodes one row of count pixels into out (room for count * (bytesPerPixel + 1)
// bytes); returns the bytes written.
size_t TgaEncodeRleRow(const uint8_t* pixels, uint32_t count, uint32_t bytesPerPixel, uint8_t* out);

// Packs 8-bit blue, green, red into the 15-bit value.
uint16_t TgaPack15(uint8_t blue, uint8_t green, uint8_t red);
// The 8-bit channel of a 5-bit value.
uint8_t TgaExpand5(uint32_t value);

// Writes layer (kind 1, 8, 24 or 32 bits) to path with the options. Throws 10 when the file
// cannot be created, 12 when a write fails; a failure leaves a file at path as it was.
void TgaWriteFile(const char* path, const VCXImage* layer, const TgaOptions& options);
