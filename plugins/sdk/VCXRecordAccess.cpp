#include "plugins/sdk/VCXRecordAccess.h"
#include "plugins/sdk/VCXPlugin.h"
#include "wul/WULFloatBits.h"

namespace {
void Need(const void* record) {
  if (!record)
    vcxThrow(VCX_ERROR_INTERNAL);
}
}  // namespace

uint8_t* vcxGetPayload(const void* record) {
  Need(record);
  return vcxRawPayload(record);
}

uint8_t* vcxGetPixels(const VCXImage* image) {
  Need(image);
  return vcxGetPixelSlot(image);
}

VCXPalette* vcxGetPalette(const VCXImage* image) {
  Need(image);
  return vcxGetImagePalette(image);
}

uint32_t vcxGetBitsPerPixel(uint32_t format) {
  return format >> 16;
}

uint32_t vcxFormatFromBitsPerPixel(uint32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: case 48: case 64:
      return bitsPerPixel << 16;
    default:
      vcxThrow(VCX_ERROR_FORMAT);
  }
}

uint32_t vcxGetRowBytes(const VCXImage* image) {
  Need(image);
  if (image->width <= 0)
    return 0;
  return static_cast<uint32_t>(
      (static_cast<uint64_t>(vcxGetBitsPerPixel(image->format)) * image->width + 7) / 8);
}

int32_t vcxCountImages(const VCXMultiImage* image) {
  Need(image);
  int32_t n = 0;
  for (int32_t i = 0; i < image->count; ++i)
    if (vcxGetImageSlot(image, i))
      ++n;
  return n;
}

VCXLayeredImage* vcxGetFirstImage(const VCXMultiImage* image) {
  Need(image);
  for (int32_t i = 0; i < image->count; ++i)
    if (VCXLayeredImage* l = vcxGetImageSlot(image, i))
      return l;
  return nullptr;
}

VCXLayeredImage* vcxGetImage(const VCXMultiImage* image, int32_t index) {
  Need(image);
  if (index < 0 || index >= image->count)
    vcxThrow(VCX_ERROR_INTERNAL);
  return vcxGetImageSlot(image, index);
}

VCXImage* vcxGetLayer(const VCXLayeredImage* image, int32_t index) {
  Need(image);
  if (index < 0 || index >= image->layerCount)
    vcxThrow(VCX_ERROR_INTERNAL);
  return vcxGetLayerSlot(image, index);
}

int32_t vcxCountLayers(const VCXLayeredImage* image, int32_t kind) {
  Need(image);
  int32_t n = 0;
  for (int32_t i = 0; i < image->layerCount; ++i) {
    const VCXImage* layer = vcxGetLayerSlot(image, i);
    if (layer && layer->kind == kind)
      ++n;
  }
  return n;
}

VCXImage* vcxGetFirstLayer(const VCXLayeredImage* image, int32_t kind) {
  Need(image);
  for (int32_t i = 0; i < image->layerCount; ++i) {
    VCXImage* layer = vcxGetLayerSlot(image, i);
    if (layer && layer->kind == kind)
      return layer;
  }
  return nullptr;
}

bool vcxHasMask(const VCXLayeredImage* image) {
  return vcxGetFirstLayer(image, VCX_KIND_MASK) != nullptr;
}

bool vcxLacksPalette(const VCXLayeredImage* image) {
  Need(image);
  const uint32_t bpp = vcxGetBitsPerPixel(image->format);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16)
    return false;
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  return !color || !color->palette;
}

bool vcxNeedsFlattening(const VCXLayeredImage* image) {
  if (vcxCountLayers(image, VCX_KIND_COLOR) != 1)
    return true;
  // A hidden layer shows nothing: the flattened copy is transparent.
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  if (color->flags & VCX_FLAG_HIDDEN)
    return true;
  // Read by its bits: a denormal or NaN from a record must not trap in the comparison.
  return wulUnitFloat(&color->opacity, 1.0f) < 0.999999f;
}

int32_t vcxGetPixelsPerMetre(const float* resolution) {
  const int32_t rounded = wulRoundFloatSaturated(resolution);
  return rounded > 0 ? rounded : 0;
}

VCXMultiImage* vcxWrapInMultiImage(VCXLayeredImage* image) {
  VCXMultiImage* multi;
  try {
    multi = vcxCreateMultiImage(1);
  } catch (...) {
    vcxFreeLayeredImage(image);
    throw;
  }
  vcxSetImageSlot(multi, 0, image);
  return multi;
}
