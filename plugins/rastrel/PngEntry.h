#pragma once
// PNG-compressed icon entries: reader, writer with its search for the smallest encoding,
// and the busy window shown while the search runs.
#include <windows.h>
#include <cstdint>
#include "plugins/sdk/VCXRecords.h"
#include "plugins/sdk/VCXStream.h"

// Colour kinds of a PNG header.
enum {
  PNG_KIND_GREY = 1,
  PNG_KIND_GREY_ALPHA = 2,
  PNG_KIND_PALETTE = 3,
  PNG_KIND_RGB = 4,
  PNG_KIND_RGBA = 5
};

struct PngInfo {
  int32_t kind;
  uint32_t depth;  // bit depth x channels
  uint32_t width;
  uint32_t height;
};

// Filter sets of one encoding.
enum {
  PNG_FILTERS_NONE = 0,
  PNG_FILTERS_SUB = 0x10,
  PNG_FILTERS_UP = 0x20,
  PNG_FILTERS_AVERAGE = 0x40,
  PNG_FILTERS_PAETH = 0x80,
  PNG_FILTERS_ALL = 0xF8
};

// True when the stream starts with the PNG signature; the stream is returned to where it was.
bool PngHasSignature(CVCXStream& stream);
// True when the stream starts with a PNG whose header libpng reads; optional description
// and preview. The stream is returned to where it was.
bool PngCanImport(CVCXStream& stream, VCXLayeredImage** preview, char* description,
                  int descriptionLen);
PngInfo PngReadInfo(CVCXStream& stream);
VCXLayeredImage* PngReadImage(CVCXStream& stream);
// One encoding of the image's first colour layer; colorKey points at a pixel whose value is
// written as the transparent colour of grey and RGB images, or is null.
void PngWriteImage(CVCXStream& stream, const VCXLayeredImage* image, const uint8_t* colorKey,
                   int filters, int level, int memoryLevel, int strategy);
// The icon writer's entry: searches the settings for the smallest output, then writes it.
void PngWriteIconEntry(HWND parent, CVCXStream& stream, VCXLayeredImage* image, bool multipass);

// Gives every transparent pixel one value that no opaque pixel has and returns the first
// such pixel; null when every pixel is opaque or no value is free. With no opaque pixel
// the whole image becomes 0. Bits per pixel 8 to 64 in steps of 8.
uint8_t* PngFindColorKey(uint8_t* color, const uint8_t* mask, int32_t width, int32_t height,
                         uint32_t rowBytes, uint32_t bitsPerPixel);

// The "Optimizing..." window over parent, with a strip of steps blocks.
void ShowBusyWindow(HWND parent, int steps);
void AdvanceBusyWindow(int n);
void CloseBusyWindow();
