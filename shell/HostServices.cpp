#include "shell/HostServices.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include "document/PixelArray.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "wul/WULColor.h"
#include "wul/WULFloatBits.h"

namespace {

thread_local int32_t t_serviceError = 0;

struct ServiceFailure {
  int32_t code;
};

[[noreturn]] void Fail(int32_t code) {
  throw ServiceFailure{code};
}

// Runs a service body: clears the thread's code, turns every failure into a code.
template <class R, class F>
R RunService(R failValue, F&& body) {
  t_serviceError = VCX_OK;
  try {
    return body();
  } catch (const ServiceFailure& failure) {
    t_serviceError = failure.code;
  } catch (...) {
    t_serviceError = VCX_ERROR_INTERNAL;
  }
  return failValue;
}

void* Allocate(uint64_t size) {
  if (size > static_cast<uint64_t>(PTRDIFF_MAX))
    Fail(VCX_ERROR_MEMORY);
  void* block = AllocMemory(static_cast<size_t>(size ? size : 1));
  if (!block)
    Fail(VCX_ERROR_MEMORY);
  return block;
}

uint32_t BitsPerPixel(uint32_t format) {
  return format >> 16;
}

uint64_t BlockSize(uint32_t format, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0)
    return 0;
  return GetRecordRowBytes(format, width) * static_cast<uint64_t>(height);
}

uint64_t ImageBlockSize(const VCXImage* image) {
  return BlockSize(image->format, image->width, image->height);
}

// The free services clear the error code; these keep the one being reported.
void WINAPI FreePaletteRecord(VCXPalette* palette) {
  FreeMemory(palette);
}
void WINAPI FreeImageRecord(VCXImage* image) {
  if (!image)
    return;
  FreeMemory(vcxGetPixelSlot(image));
  FreeMemory(vcxGetImagePalette(image));
  FreeMemory(image);
}
void WINAPI FreeLayeredRecord(VCXLayeredImage* image) {
  if (!image)
    return;
  for (int32_t i = 0; i < image->layerCount; ++i)
    FreeImageRecord(vcxGetLayerSlot(image, i));
  FreeMemory(image);
}
void WINAPI FreeMultiRecord(VCXMultiImage* image) {
  if (!image)
    return;
  for (int32_t i = 0; i < image->count; ++i)
    FreeLayeredRecord(vcxGetImageSlot(image, i));
  FreeMemory(image);
}

using OwnedPalette = COwnedRecord<VCXPalette, FreePaletteRecord>;
using OwnedImage = COwnedRecord<VCXImage, FreeImageRecord>;
using OwnedLayered = COwnedRecord<VCXLayeredImage, FreeLayeredRecord>;
using OwnedMulti = COwnedRecord<VCXMultiImage, FreeMultiRecord>;

template <class T>
void CheckRequest(const T* request) {
  if (!request || request->headerSize < static_cast<int32_t>(sizeof(T)))
    Fail(VCX_ERROR_PARAMETER);
}

VCXPalette* NewPalette(const VCXPalette& header) {
  if (header.count < 0)
    Fail(VCX_ERROR_PARAMETER);
  auto* palette = static_cast<VCXPalette*>(
      Allocate(sizeof(VCXPalette) + sizeof(VCXPaletteEntry) * static_cast<uint64_t>(header.count)));
  *palette = header;
  palette->headerSize = sizeof(VCXPalette);
  return palette;
}

VCXImage* NewImage(const VCXImage& header) {
  if (header.width < 0 || header.height < 0)
    Fail(VCX_ERROR_PARAMETER);
  const uint64_t size = BlockSize(header.format, header.width, header.height);
  auto* image = static_cast<VCXImage*>(Allocate(sizeof(VCXImage) + VCX_SLOT_SIZE));
  std::memcpy(image, &header, sizeof(VCXImage));
  image->headerSize = sizeof(VCXImage);
  image->name[sizeof image->name - 1] = 0;
  vcxSetPixelSlot(image, nullptr);
  if (size) {
    OwnedImage guard(image);
    vcxSetPixelSlot(image, Allocate(size));
    guard.release();
  }
  return image;
}

VCXLayeredImage* NewLayered(const VCXLayeredImage& header) {
  if (header.layerCount < 0)
    Fail(VCX_ERROR_PARAMETER);
  const uint64_t slots = VCX_SLOT_SIZE * static_cast<uint64_t>(header.layerCount);
  auto* image = static_cast<VCXLayeredImage*>(Allocate(sizeof(VCXLayeredImage) + slots));
  *image = header;
  image->headerSize = sizeof(VCXLayeredImage);
  std::memset(image + 1, 0, static_cast<size_t>(slots));
  return image;
}

VCXMultiImage* NewMulti(const VCXMultiImage& header) {
  if (header.count < 0)
    Fail(VCX_ERROR_PARAMETER);
  const uint64_t slots = VCX_SLOT_SIZE * static_cast<uint64_t>(header.count);
  auto* image = static_cast<VCXMultiImage*>(Allocate(sizeof(VCXMultiImage) + slots));
  *image = header;
  image->headerSize = sizeof(VCXMultiImage);
  std::memset(image + 1, 0, static_cast<size_t>(slots));
  return image;
}

// Null record: 3; a palette on a format above 16 bits, or pixels missing: 4.
void Validate(const VCXImage* image) {
  if (!image)
    Fail(VCX_ERROR_PARAMETER);
  if (image->width < 0 || image->height < 0)
    Fail(VCX_ERROR_DATA);
  if (BitsPerPixel(image->format) > 16 && image->palette)
    Fail(VCX_ERROR_DATA);
  if (ImageBlockSize(image) && !vcxGetPixelSlot(image))
    Fail(VCX_ERROR_DATA);
}

VCXPalette* ClonePalette(const VCXPalette* palette) {
  if (!palette)
    Fail(VCX_ERROR_PARAMETER);
  VCXPalette* copy = NewPalette(*palette);
  std::memcpy(vcxGetPaletteEntries(copy), vcxGetPaletteEntries(palette),
              sizeof(VCXPaletteEntry) * static_cast<size_t>(palette->count));
  return copy;
}

VCXImage* CloneImage(const VCXImage* image) {
  Validate(image);
  VCXImage header = *image;
  header.palette = 0;
  OwnedImage copy(NewImage(header));
  if (image->palette)
    vcxSetImagePalette(copy.get(), ClonePalette(vcxGetImagePalette(image)));
  const uint64_t size = ImageBlockSize(image);
  if (size)
    std::memcpy(vcxGetPixelSlot(copy.get()), vcxGetPixelSlot(image), static_cast<size_t>(size));
  return copy.release();
}

uint8_t Channel16(uint32_t v) {
  return static_cast<uint8_t>((v * 65281u + 0x800000u) >> 24);
}

uint8_t Clamp255(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

bool IsConvertibleDepth(uint32_t bpp) {
  switch (bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: case 48: case 64:
      return true;
    default:
      return false;
  }
}

// Source pixels of any record depth to B, G, R, A rows of the same size.
void ConvertPixels(const VCXImage* source, uint8_t* out) {
  const uint32_t bpp = BitsPerPixel(source->format);
  const size_t rowBytes = static_cast<size_t>(GetRecordRowBytes(source->format, source->width));
  const uint8_t* pixels = vcxGetPixelSlot(source);
  const VCXPalette* palette = vcxGetImagePalette(source);
  const VCXPaletteEntry* entries = palette ? vcxGetPaletteEntries(palette) : nullptr;
  const int32_t entryCount = palette ? palette->count : 0;
  for (int32_t y = 0; y < source->height; ++y) {
    const uint8_t* row = pixels + rowBytes * static_cast<size_t>(y);
    for (int32_t x = 0; x < source->width; ++x, out += 4) {
      const uint8_t* p;
      switch (bpp) {
        case 32:
          std::memcpy(out, row + 4 * static_cast<size_t>(x), 4);
          continue;
        case 24:
          p = row + 3 * static_cast<size_t>(x);
          out[0] = p[0];
          out[1] = p[1];
          out[2] = p[2];
          out[3] = 255;
          continue;
        case 48:
        case 64: {
          const size_t channels = bpp / 16;
          p = row + 2 * channels * static_cast<size_t>(x);
          for (size_t c = 0; c < 3; ++c)
            out[c] = Channel16(p[2 * c] | (p[2 * c + 1] << 8));
          out[3] = channels == 4 ? Channel16(p[6] | (p[7] << 8)) : 255;
          continue;
        }
        default:
          break;
      }
      uint32_t index;
      if (bpp == 1)
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
      else if (bpp == 4)
        index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
      else if (bpp == 8)
        index = row[x];
      else
        index = row[2 * static_cast<size_t>(x)] | (row[2 * static_cast<size_t>(x) + 1] << 8);
      if (entries) {
        // An index past the palette shows opaque black.
        if (index < static_cast<uint32_t>(entryCount)) {
          const VCXPaletteEntry& e = entries[index];
          out[0] = Clamp255(e.blue);
          out[1] = Clamp255(e.green);
          out[2] = Clamp255(e.red);
          out[3] = Clamp255(e.alpha);
        } else {
          out[0] = out[1] = out[2] = 0;
          out[3] = 255;
        }
        continue;
      }
      uint8_t grey;
      if (bpp == 1)
        grey = index ? 255 : 0;
      else if (bpp == 4)
        grey = static_cast<uint8_t>(index * 17);
      else if (bpp == 8)
        grey = static_cast<uint8_t>(index);
      else
        grey = Channel16(index);
      out[0] = out[1] = out[2] = grey;
      out[3] = 255;
    }
  }
}

VCXImage* ConvertImage(const VCXImage* image, uint32_t format) {
  Validate(image);
  if (format != VCX_FORMAT_32 || !IsConvertibleDepth(BitsPerPixel(image->format)))
    Fail(VCX_ERROR_FORMAT);
  VCXImage header = *image;
  header.format = VCX_FORMAT_32;
  header.palette = 0;
  VCXImage* copy = NewImage(header);
  if (ImageBlockSize(copy))
    ConvertPixels(image, vcxGetPixelSlot(copy));
  return copy;
}

VCXLayeredImage* ConvertLayered(const VCXLayeredImage* image, uint32_t format) {
  if (!image)
    Fail(VCX_ERROR_PARAMETER);
  // Only colour layers are converted, so only they can refuse the target.
  OwnedLayered copy(NewLayered(*image));
  for (int32_t i = 0; i < image->layerCount; ++i) {
    const VCXImage* layer = vcxGetLayerSlot(image, i);
    if (!layer)
      continue;
    vcxSetLayerSlot(copy.get(), i,
                    layer->kind == VCX_KIND_COLOR ? ConvertImage(layer, format) : CloneImage(layer));
  }
  return copy.release();
}

// A non-finite opacity counts as opaque; others are limited to 0..1 (a denormal is 0). Read
// by its bits, so that none of them traps.
float SaneOpacity(const float* opacity) {
  const WULFloatClass c = wulClassifyFloat(opacity);
  if (c == WUL_FLOAT_INFINITE || c == WUL_FLOAT_NAN)
    return 1.0f;
  return wulUnitFloat(opacity, 1.0f);
}

// Reads the whole fields that lie within the record's own size.
CResampleOptions ReadResampleOptions(const void* options) {
  CResampleOptions result;
  if (!options)
    return result;
  VCXResampleOptions fields = {};
  std::memcpy(&fields.size, options, sizeof fields.size);
  const size_t size = fields.size < 0 ? 0 : std::min<size_t>(fields.size, sizeof fields) / 4 * 4;
  if (size > sizeof fields.size)
    std::memcpy(reinterpret_cast<uint8_t*>(&fields) + sizeof fields.size,
                static_cast<const uint8_t*>(options) + sizeof fields.size, size - sizeof fields.size);
  if (size > offsetof(VCXResampleOptions, smooth))
    result.smooth = fields.smooth != 0;
  if (size > offsetof(VCXResampleOptions, totalSamples))
    result.totalSamples = fields.totalSamples;
  if (size > offsetof(VCXResampleOptions, pixelSamples))
    result.pixelSamples = fields.pixelSamples;
  return result;
}

VCXImage* ResampleImage(const VCXImage* image, int32_t width, int32_t height, int32_t method,
                        const void* options) {
  Validate(image);
  if (width < 0 || height < 0)
    Fail(VCX_ERROR_PARAMETER);
  VCXImage header = *image;
  header.width = width;
  header.height = height;
  header.palette = 0;
  OwnedImage copy(NewImage(header));
  if (image->palette)
    vcxSetImagePalette(copy.get(), ClonePalette(vcxGetImagePalette(image)));
  uint8_t* target = vcxGetPixelSlot(copy.get());
  const uint8_t* source = vcxGetPixelSlot(image);
  if (target && source) {
    if (method != VCX_RESAMPLE_DEFAULT)
      Fail(VCX_ERROR_PARAMETER);
    if (image->format != VCX_FORMAT_32)
      Fail(VCX_ERROR_FORMAT);
    const CResampleOptions resample = ReadResampleOptions(options);
    CPixelArray from(reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(source)), image->width,
                     image->height);
    CPixelArray to(reinterpret_cast<uint32_t*>(target), width, height);
    from.Resample(to, &resample);
  } else if (target) {
    // An empty source gives an empty (transparent) picture.
    std::memset(target, 0, static_cast<size_t>(ImageBlockSize(copy.get())));
  }
  return copy.release();
}

int32_t ScaledInt(int32_t v, double factor) {
  const double scaled = std::floor(v * factor + 0.5);
  if (!(std::fabs(scaled) <= 2147483647.0))
    Fail(VCX_ERROR_PARAMETER);
  return static_cast<int32_t>(scaled);
}

VCXLayeredImage* ResampleLayered(const VCXLayeredImage* image, int32_t width, int32_t height,
                                 int32_t method, const void* options) {
  if (!image)
    Fail(VCX_ERROR_PARAMETER);
  if (width < 0 || height < 0)
    Fail(VCX_ERROR_PARAMETER);
  // A zero source side has no scale; its layers keep their extent along it.
  const double fx = image->width > 0 ? static_cast<double>(width) / image->width : 1.0;
  const double fy = image->height > 0 ? static_cast<double>(height) / image->height : 1.0;
  VCXLayeredImage header = *image;
  header.width = width;
  header.height = height;
  OwnedLayered copy(NewLayered(header));
  for (int32_t i = 0; i < image->layerCount; ++i) {
    const VCXImage* layer = vcxGetLayerSlot(image, i);
    if (!layer)
      continue;
    const int32_t w = ScaledInt(layer->width, fx);
    const int32_t h = ScaledInt(layer->height, fy);
    const int32_t x = ScaledInt(layer->x, fx);
    const int32_t y = ScaledInt(layer->y, fy);
    VCXImage* scaled = ResampleImage(layer, w, h, method, options);
    scaled->x = x;
    scaled->y = y;
    vcxSetLayerSlot(copy.get(), i, scaled);
  }
  return copy.release();
}

// Clears the pixels of result outside the opaque bits of a 1-bit mask layer at its position.
void ApplyMaskLayer(CPixelArray& result, const VCXImage* mask) {
  if (BitsPerPixel(mask->format) != 1)
    Fail(VCX_ERROR_FORMAT);
  Validate(mask);
  if (!result.data)
    return;
  const size_t rowBytes = (static_cast<size_t>(result.width) + 7) / 8;
  const uint64_t size = rowBytes * static_cast<uint64_t>(result.height);
  uint8_t* bits = static_cast<uint8_t*>(Allocate(size));
  std::memset(bits, 0xFF, static_cast<size_t>(size));
  const uint8_t* source = vcxGetPixelSlot(mask);
  const size_t sourceRow = (static_cast<size_t>(mask->width) + 7) / 8;
  for (int32_t my = 0; source && my < mask->height; ++my) {
    const int64_t y = static_cast<int64_t>(my) + mask->y;
    if (y < 0 || y >= result.height)
      continue;
    for (int32_t mx = 0; mx < mask->width; ++mx) {
      const int64_t x = static_cast<int64_t>(mx) + mask->x;
      if (x < 0 || x >= result.width)
        continue;
      if (!(source[sourceRow * my + (mx >> 3)] & (0x80 >> (mx & 7))))
        bits[rowBytes * static_cast<size_t>(y) + static_cast<size_t>(x >> 3)] &=
            static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
  }
  result.ApplyMask1Bit(bits);
  FreeMemory(bits);
}

VCXLayeredImage* Flatten(const VCXLayeredImage* image) {
  if (!image)
    Fail(VCX_ERROR_PARAMETER);
  VCXLayeredImage header = *image;
  header.format = VCX_FORMAT_32;
  header.flags = 0;
  header.layerCount = 1;
  OwnedLayered flat(NewLayered(header));
  VCXImage layerHeader;
  std::memset(&layerHeader, 0, sizeof layerHeader);
  layerHeader.headerSize = sizeof(VCXImage);
  layerHeader.kind = VCX_KIND_COLOR;
  layerHeader.format = VCX_FORMAT_32;
  layerHeader.width = image->width;
  layerHeader.height = image->height;
  layerHeader.opacity = 1.0f;
  VCXImage* layer = NewImage(layerHeader);
  vcxSetLayerSlot(flat.get(), 0, layer);
  CPixelArray result(reinterpret_cast<uint32_t*>(vcxGetPixelSlot(layer)), layer->width,
                     layer->height);
  result.Fill(0);

  bool first = true;
  for (int32_t i = 0; i < image->layerCount; ++i) {
    const VCXImage* source = vcxGetLayerSlot(image, i);
    if (!source || (source->flags & VCX_FLAG_HIDDEN))
      continue;
    if (source->kind == VCX_KIND_MASK) {
      ApplyMaskLayer(result, source);
      continue;
    }
    if (source->kind != VCX_KIND_COLOR)
      continue;
    Validate(source);
    const float opacity = SaneOpacity(&source->opacity);
    if (first && source->format == VCX_FORMAT_32) {
      CPixelArray pixels(reinterpret_cast<uint32_t*>(vcxGetPixelSlot(source)), source->width,
                         source->height);
      result.CopyTo(source->x, source->y, pixels);
      Rect rect;
      rect.left = source->x;
      rect.top = source->y;
      rect.right = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t(source->x) + source->width));
      rect.bottom = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t(source->y) + source->height));
      result.ScaleAlpha(rect, opacity);
    } else {
      OwnedImage converted(source->format == VCX_FORMAT_32 ? nullptr
                                                           : ConvertImage(source, VCX_FORMAT_32));
      const VCXImage* drawn = converted.get() ? converted.get() : source;
      CPixelArray pixels(reinterpret_cast<uint32_t*>(vcxGetPixelSlot(drawn)), drawn->width,
                         drawn->height);
      result.BlendFrom(drawn->x, drawn->y, pixels, opacity);
    }
    first = false;
  }
  return flat.release();
}

int32_t Premultiply(VCXImage* image) {
  Validate(image);
  if (!vcxGetPixelSlot(image))
    Fail(VCX_ERROR_DATA);
  if (image->format != VCX_FORMAT_32)
    Fail(VCX_ERROR_FORMAT);
  CPixelArray pixels(reinterpret_cast<uint32_t*>(vcxGetPixelSlot(image)), image->width,
                     image->height);
  pixels.Premultiply();
  return 1;
}

struct ServiceEntry {
  uint32_t id;
  VCXServiceFunction function;
};

template <class F>
VCXServiceFunction AsService(F f) {
  return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(f));
}

}  // namespace

uint64_t GetRecordRowBytes(uint32_t format, int32_t width) {
  if (width <= 0)
    return 0;
  return (static_cast<uint64_t>(BitsPerPixel(format)) * static_cast<uint64_t>(width) + 7) / 8;
}

int32_t GetServiceError() {
  return t_serviceError;
}

const char* GetPluginErrorText(int code) {
  switch (code) {
    case 0:
    case 7:
      return nullptr;
    case 1: return "Plugin error";
    case 2: return "Incompatible SDK";
    case 3: return "Invalid parameter";
    case 4: return "Invalid data";
    case 5: return "Unsupported format";
    case 6: return "Cannot allocate memory";
    case 10: return "Cannot create file";
    case 11: return "Cannot access file";
    case 12: return "File write failed";
    case 13: return "File read failed";
    case 14: return "Unexpected end of file";
    default: return "Unidentified plugin error";
  }
}

int32_t WINAPI VcsGetLastError() {
  return t_serviceError;
}

int32_t WINAPI VcsGetOption(uint32_t optionId) {
  return RunService<int32_t>(0, [&]() -> int32_t {
    if (optionId != 0x1000 && optionId != 0x1001)
      Fail(VCX_ERROR_PARAMETER);
    return 0;
  });
}

int32_t WINAPI VcsGetMetric(uint32_t metricId) {
  return RunService<int32_t>(0, [&]() -> int32_t {
    switch (metricId) {
      case VCX_METRIC_PREVIEW_PIXELS:
        return 30000000;
      case VCX_METRIC_PREVIEW_WIDTH:
      case VCX_METRIC_PREVIEW_HEIGHT:
        return LOBYTE(LOWORD(GetVersion())) < 5 ? 160 : 184;
      default:
        Fail(VCX_ERROR_PARAMETER);
    }
  });
}

uint32_t WINAPI VcsGetColor(uint32_t colorId) {
  return RunService<uint32_t>(0, [&]() -> uint32_t {
    const CColorSetting* setting = nullptr;
    switch (colorId) {
      case VCX_COLOR_BASE:
        return wulColors[0].value;
      case VCX_COLOR_CHEQUER_A:
        setting = g_Settings.uiColorsChequerA;
        break;
      case VCX_COLOR_CHEQUER_B:
        setting = g_Settings.uiColorsChequerB;
        break;
      default:
        Fail(VCX_ERROR_PARAMETER);
    }
    if (!setting)
      Fail(VCX_ERROR_INTERNAL);
    return setting->GetValue().value;
  });
}

int32_t WINAPI VcsReserved(int32_t, int32_t, int32_t) {
  ErrorBox("SC is under construction");
  t_serviceError = VCX_ERROR_INTERNAL;
  return 0;
}

VCXPalette* WINAPI VcsCreatePalette(const VCXPalette* request) {
  return RunService<VCXPalette*>(nullptr, [&] {
    CheckRequest(request);
    return NewPalette(*request);
  });
}

VCXImage* WINAPI VcsCreateImage(const VCXImage* request) {
  return RunService<VCXImage*>(nullptr, [&] {
    CheckRequest(request);
    return NewImage(*request);
  });
}

VCXLayeredImage* WINAPI VcsCreateLayeredImage(const VCXLayeredImage* request) {
  return RunService<VCXLayeredImage*>(nullptr, [&] {
    CheckRequest(request);
    return NewLayered(*request);
  });
}

VCXMultiImage* WINAPI VcsCreateMultiImage(const VCXMultiImage* request) {
  return RunService<VCXMultiImage*>(nullptr, [&] {
    CheckRequest(request);
    return NewMulti(*request);
  });
}

VCXFileType* WINAPI VcsCreateFileType(const VCXFileType* request) {
  return RunService<VCXFileType*>(nullptr, [&] {
    CheckRequest(request);
    if (request->extensionCount < 0)
      Fail(VCX_ERROR_PARAMETER);
    const uint64_t entries =
        sizeof(VCXFileTypeExtension) * static_cast<uint64_t>(request->extensionCount);
    auto* type = static_cast<VCXFileType*>(Allocate(sizeof(VCXFileType) + entries));
    *type = *request;
    type->headerSize = sizeof(VCXFileType);
    type->description[sizeof type->description - 1] = 0;
    std::memset(type + 1, 0, static_cast<size_t>(entries));
    return type;
  });
}

void WINAPI VcsFreePalette(VCXPalette* palette) {
  t_serviceError = VCX_OK;
  FreePaletteRecord(palette);
}

void WINAPI VcsFreeFileType(VCXFileType* type) {
  t_serviceError = VCX_OK;
  FreeMemory(type);
}

void WINAPI VcsFreeImage(VCXImage* image) {
  t_serviceError = VCX_OK;
  FreeImageRecord(image);
}

void WINAPI VcsFreeLayeredImage(VCXLayeredImage* image) {
  t_serviceError = VCX_OK;
  FreeLayeredRecord(image);
}

void WINAPI VcsFreeMultiImage(VCXMultiImage* image) {
  t_serviceError = VCX_OK;
  FreeMultiRecord(image);
}

VCXPalette* WINAPI VcsClonePalette(const VCXPalette* palette) {
  return RunService<VCXPalette*>(nullptr, [&] { return ClonePalette(palette); });
}

VCXImage* WINAPI VcsCloneImage(const VCXImage* image) {
  return RunService<VCXImage*>(nullptr, [&] { return CloneImage(image); });
}

VCXLayeredImage* WINAPI VcsCloneLayeredImage(const VCXLayeredImage* image) {
  return RunService<VCXLayeredImage*>(nullptr, [&] {
    if (!image)
      Fail(VCX_ERROR_PARAMETER);
    OwnedLayered copy(NewLayered(*image));
    for (int32_t i = 0; i < image->layerCount; ++i)
      if (const VCXImage* layer = vcxGetLayerSlot(image, i))
        vcxSetLayerSlot(copy.get(), i, CloneImage(layer));
    return copy.release();
  });
}

VCXImage* WINAPI VcsConvertImage(VCXImage* image, uint32_t format, int32_t freeSource) {
  VCXImage* result =
      RunService<VCXImage*>(nullptr, [&] { return ConvertImage(image, format); });
  if (freeSource)
    FreeImageRecord(image);
  return result;
}

VCXLayeredImage* WINAPI VcsConvertLayeredImage(VCXLayeredImage* image, uint32_t format,
                                               int32_t freeSource) {
  VCXLayeredImage* result =
      RunService<VCXLayeredImage*>(nullptr, [&] { return ConvertLayered(image, format); });
  if (freeSource)
    FreeLayeredRecord(image);
  return result;
}

VCXImage* WINAPI VcsResampleImage(VCXImage* image, int32_t width, int32_t height, int32_t method,
                                  const void* options, int32_t freeSource) {
  VCXImage* result = RunService<VCXImage*>(
      nullptr, [&] { return ResampleImage(image, width, height, method, options); });
  if (freeSource)
    FreeImageRecord(image);
  return result;
}

VCXLayeredImage* WINAPI VcsResampleLayeredImage(VCXLayeredImage* image, int32_t width,
                                                int32_t height, int32_t method,
                                                const void* options, int32_t freeSource) {
  VCXLayeredImage* result = RunService<VCXLayeredImage*>(
      nullptr, [&] { return ResampleLayered(image, width, height, method, options); });
  if (freeSource)
    FreeLayeredRecord(image);
  return result;
}

VCXLayeredImage* WINAPI VcsFlatten(VCXLayeredImage* image, int32_t freeSource) {
  VCXLayeredImage* result =
      RunService<VCXLayeredImage*>(nullptr, [&] { return Flatten(image); });
  if (freeSource)
    FreeLayeredRecord(image);
  return result;
}

int32_t WINAPI VcsPremultiply(VCXImage* image) {
  return RunService<int32_t>(0, [&] { return Premultiply(image); });
}

VCXServiceFunction WINAPI GetServiceProc(uint32_t serviceId) {
  static const ServiceEntry table[] = {
      {VCX_SC_GET_LAST_ERROR, AsService(VcsGetLastError)},
      {VCX_SC_GET_OPTION, AsService(VcsGetOption)},
      {VCX_SC_GET_METRIC, AsService(VcsGetMetric)},
      {VCX_SC_GET_COLOR, AsService(VcsGetColor)},
      {VCX_SC_RESERVED, AsService(VcsReserved)},
      {VCX_SC_CREATE_PALETTE, AsService(VcsCreatePalette)},
      {VCX_SC_CREATE_IMAGE, AsService(VcsCreateImage)},
      {VCX_SC_CREATE_LAYERED_IMAGE, AsService(VcsCreateLayeredImage)},
      {VCX_SC_CREATE_MULTI_IMAGE, AsService(VcsCreateMultiImage)},
      {VCX_SC_CREATE_FILE_TYPE, AsService(VcsCreateFileType)},
      {VCX_SC_FREE_PALETTE, AsService(VcsFreePalette)},
      {VCX_SC_FREE_IMAGE, AsService(VcsFreeImage)},
      {VCX_SC_FREE_LAYERED_IMAGE, AsService(VcsFreeLayeredImage)},
      {VCX_SC_FREE_MULTI_IMAGE, AsService(VcsFreeMultiImage)},
      {VCX_SC_FREE_FILE_TYPE, AsService(VcsFreeFileType)},
      {VCX_SC_CLONE_PALETTE, AsService(VcsClonePalette)},
      {VCX_SC_CLONE_IMAGE, AsService(VcsCloneImage)},
      {VCX_SC_CLONE_LAYERED_IMAGE, AsService(VcsCloneLayeredImage)},
      {VCX_SC_CONVERT_IMAGE, AsService(VcsConvertImage)},
      {VCX_SC_CONVERT_LAYERED_IMAGE, AsService(VcsConvertLayeredImage)},
      {VCX_SC_RESAMPLE_IMAGE, AsService(VcsResampleImage)},
      {VCX_SC_RESAMPLE_LAYERED_IMAGE, AsService(VcsResampleLayeredImage)},
      {VCX_SC_FLATTEN, AsService(VcsFlatten)},
      {VCX_SC_PREMULTIPLY, AsService(VcsPremultiply)},
  };
  for (const ServiceEntry& entry : table)
    if (entry.id == serviceId)
      return entry.function;
  char text[64];
  std::snprintf(text, sizeof text, "Unsupported service call (SCID=%u)", serviceId);
  ErrorBox(text);
  return nullptr;
}
