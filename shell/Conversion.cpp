#include "shell/Conversion.h"
#include <cstdio>
#include <cstring>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "shell/Errors.h"
#include "shell/HostServices.h"
#include "shell/ProjectCommands.h"
#include "tools/ImageCommands.h"
#include "wul/WULFloatBits.h"

namespace {

// Thrown inside the conversions; the catcher shows the message that belongs to its level.
struct ConversionFailure {};

template <class T>
T* Check(T* record) {
  if (!record)
    throw ConversionFailure();
  return record;
}

VCXImage MakeLayerHeader(int32_t kind, uint32_t format, int32_t flags, int32_t width, int32_t height, float opacity,
                         const char* name) {
  VCXImage header;
  std::memset(&header, 0, sizeof header);
  header.headerSize = sizeof header;
  header.kind = kind;
  header.format = format;
  header.flags = flags;
  header.width = width;
  header.height = height;
  header.opacity = opacity;
  std::snprintf(header.name, sizeof header.name, "%s", name ? name : "");
  return header;
}

uint32_t RowBytes(uint32_t format, int32_t width) { return static_cast<uint32_t>(GetRecordRowBytes(format, width)); }

VCXLayeredImage* CreateLayeredRecord(CImage* image, uint32_t format, int32_t layerCount) {
  VCXLayeredImage header;
  std::memset(&header, 0, sizeof header);
  header.headerSize = sizeof header;
  header.version = 1;
  header.format = format;
  CProject* project = image->GetOwner();
  header.flags = project && project->GetCurrentImage() == image ? VCX_FLAG_CURRENT : 0;
  header.width = image->GetWidth();
  header.height = image->GetHeight();
  header.xResolution = image->GetXResolution();
  header.yResolution = image->GetYResolution();
  header.layerCount = layerCount;
  return Check(VcsCreateLayeredImage(&header));
}

VCXLayeredImage* CreateLayeredImageOf32Bit(CImage* image) {
  int32_t count = 0;
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
    if (layer->GetKind() == CLayer::KIND_RASTER)
      ++count;
  COwnedRecord<VCXLayeredImage, VcsFreeLayeredImage> record(CreateLayeredRecord(image, VCX_FORMAT_32, count));
  int32_t slot = 0;
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext()) {
    if (layer->GetKind() != CLayer::KIND_RASTER)
      continue;
    char name[256];
    layer->GetDisplayName(name, sizeof name);
    int32_t flags = (layer == image->GetActiveLayer() ? VCX_FLAG_CURRENT : 0) | (layer->IsVisible() ? 0 : VCX_FLAG_HIDDEN);
    VCXImage header = MakeLayerHeader(VCX_KIND_COLOR, VCX_FORMAT_32, flags, image->GetWidth(), image->GetHeight(),
                                      layer->GetOpacity(), name);
    VCXImage* out = Check(VcsCreateImage(&header));
    vcxSetLayerSlot(record.get(), slot++, out);
    uint8_t* pixels = vcxGetPixelSlot(out);
    if (pixels && header.width > 0 && header.height > 0) {
      CPixelArray view(reinterpret_cast<uint32_t*>(pixels), header.width, header.height);
      view.Fill(0);
      view.CopyFrom(*layer->GetPixels());
    }
  }
  return record.release();
}

VCXLayeredImage* CreateLayeredImageReduced(CImage* image, uint32_t format) {
  const int32_t width = image->GetWidth(), height = image->GetHeight();
  CPixelArray* source = image->GetPreview() ? image->GetPreview() : image->GetComposite();
  const bool valid = source && source->data && source->width == width && source->height == height;
  // Without its pixels the "IMAGE" block would go out unfilled.
  if (!valid && int64_t(width) * height > 0)
    throw ConversionFailure();
  bool needsMask = false;
  if (valid) {
    const int64_t count = int64_t(width) * height;
    for (int64_t i = 0; i < count && !needsMask; ++i)
      needsMask = (source->data[i] >> 24) < 128;
  }
  COwnedRecord<VCXLayeredImage, VcsFreeLayeredImage> record(CreateLayeredRecord(image, format, needsMask ? 2 : 1));

  VCXImage header = MakeLayerHeader(VCX_KIND_COLOR, format, 0, width, height, 1.0f, "IMAGE");
  VCXImage* colors = Check(VcsCreateImage(&header));
  vcxSetLayerSlot(record.get(), 0, colors);
  uint8_t* out = vcxGetPixelSlot(colors);
  const uint32_t rowBytes = RowBytes(format, width);
  CPalette* palette = image->GetPalette();
  if (out && valid) {
    const int32_t bits = static_cast<int32_t>(format >> 16);
    int32_t black = -1;
    if (bits <= 8) {
      if (!palette)
        throw ConversionFailure();
      black = palette->FindNearest(255, 0, 0, 0);
      if (black < 0)
        black = 0;
    }
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = out + size_t(y) * rowBytes;
      std::memset(row, 0, rowBytes);
      const uint32_t* in = source->data + size_t(y) * width;
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t c = in[x];
        if (bits == 24) {
          row[3 * x] = uint8_t(c);
          row[3 * x + 1] = uint8_t(c >> 8);
          row[3 * x + 2] = uint8_t(c >> 16);
          continue;
        }
        int32_t index = palette->FindNearestArgb(c);
        if (index < 0)
          index = black;
        const int32_t bit = x * bits;
        row[bit >> 3] |= uint8_t((index & ((1 << bits) - 1)) << (8 - bits - (bit & 7)));
      }
    }
  }
  if (palette && palette->GetCount() > 0 && (format >> 16) <= 8) {
    VCXPalette request;
    std::memset(&request, 0, sizeof request);
    request.headerSize = sizeof request;
    request.version = 1;
    request.count = palette->GetCount();
    VCXPalette* p = Check(VcsCreatePalette(&request));
    vcxSetImagePalette(colors, p);
    VCXPaletteEntry* entries = vcxGetPaletteEntries(p);
    for (int32_t i = 0; i < request.count; ++i) {
      const uint32_t c = palette->GetEntry(i)->GetColor();
      entries[i].alpha = int32_t(c >> 24);
      entries[i].red = int32_t(c >> 16 & 255);
      entries[i].green = int32_t(c >> 8 & 255);
      entries[i].blue = int32_t(c & 255);
    }
  }

  if (needsMask) {
    VCXImage maskHeader = MakeLayerHeader(VCX_KIND_MASK, VCX_FORMAT_1, 0, width, height, 1.0f, "MASK");
    VCXImage* mask = Check(VcsCreateImage(&maskHeader));
    vcxSetLayerSlot(record.get(), 1, mask);
    uint8_t* bits = vcxGetPixelSlot(mask);
    const uint32_t maskRow = RowBytes(VCX_FORMAT_1, width);
    if (bits) {
      for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = bits + size_t(y) * maskRow;
        std::memset(row, 0, maskRow);
        const uint32_t* in = source->data + size_t(y) * width;
        for (int32_t x = 0; x < width; ++x)
          if ((in[x] >> 24) >= 128)
            row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      }
    }
  }
  return record.release();
}

// The target format a colour layer of this record asks for.
uint32_t TargetFormatOf(const VCXImage* layer) {
  const uint32_t bits = layer->format >> 16;
  if (bits == 1 || bits == 4 || bits == 8)
    return vcxGetImagePalette(layer) ? ((bits << 16) | 1) : uint32_t(CImage::FORMAT_24BIT_RGB);
  if (bits == 16 || bits == 24 || bits == 48)
    return CImage::FORMAT_24BIT_RGB;
  return CImage::FORMAT_32BIT_ARGB;
}

// Copies a colour record into the layer at its position, converting it to 32 bits first
// when needed.
void CopyRecordPixels(CRasterLayer* layer, const VCXImage* record) {
  const VCXImage* source = record;
  VCXImage* converted = nullptr;
  if (record->format != VCX_FORMAT_32) {
    converted = VcsConvertImage(const_cast<VCXImage*>(record), VCX_FORMAT_32, 0);
    if (!converted)
      throw ConversionFailure();
    source = converted;
  }
  COwnedRecord<VCXImage, VcsFreeImage> guard(converted);
  uint8_t* pixels = vcxGetPixelSlot(source);
  if (!pixels || source->width <= 0 || source->height <= 0)
    return;
  CPixelArray view(reinterpret_cast<uint32_t*>(pixels), source->width, source->height);
  layer->GetPixels()->CopyTo(source->x, source->y, view);
}

}  // namespace

VCXLayeredImage* CreatePortableImage(CImage* image) {
  if (!image) {
    ErrorBox("Portable image creation failed");
    return nullptr;
  }
  try {
    switch (image->GetTargetFormat()) {
      case CImage::FORMAT_32BIT_ARGB:
        return CreateLayeredImageOf32Bit(image);
      case CImage::FORMAT_1BIT_PALETTE:
      case CImage::FORMAT_4BIT_PALETTE:
      case CImage::FORMAT_8BIT_PALETTE:
      case CImage::FORMAT_24BIT_RGB:
        return CreateLayeredImageReduced(image, static_cast<uint32_t>(image->GetTargetFormat()) & ~1u);
      default:
        break;
    }
  } catch (...) {
  }
  ErrorBox("Portable image creation failed");
  return nullptr;
}

VCXMultiImage* CreatePortableMultiImage(CProject* project) {
  if (!project) {
    ErrorBox("Portable multiimage creation failed");
    return nullptr;
  }
  int32_t count = 0;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext())
    if (image->IsForExport())
      ++count;
  VCXMultiImage header;
  std::memset(&header, 0, sizeof header);
  header.headerSize = sizeof header;
  header.count = count;
  COwnedMultiImage record(VcsCreateMultiImage(&header));
  if (!record.get()) {
    ErrorBox("Portable multiimage creation failed");
    return nullptr;
  }
  int32_t slot = 0;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
    if (!image->IsForExport())
      continue;
    VCXLayeredImage* layered = CreatePortableImage(image);
    if (!layered) {
      ErrorBox("Portable multiimage creation failed");
      return nullptr;
    }
    vcxSetImageSlot(record.get(), slot++, layered);
  }
  return record.release();
}

VCXMultiImage* CreatePortableMultiImageOfImage(CImage* image) {
  VCXMultiImage header;
  std::memset(&header, 0, sizeof header);
  header.headerSize = sizeof header;
  header.count = 1;
  COwnedMultiImage record(VcsCreateMultiImage(&header));
  if (!record.get()) {
    ErrorBox("Portable multiimage creation failed");
    return nullptr;
  }
  VCXLayeredImage* layered = CreatePortableImage(image);
  if (!layered) {
    ErrorBox("Portable multiimage creation failed");
    return nullptr;
  }
  vcxSetImageSlot(record.get(), 0, layered);
  return record.release();
}

CImage* ConvertPortableLayeredImage(const VCXLayeredImage* record) {
  if (!record)
    return nullptr;
  CImage* image = CreateImage();
  if (!image)
    return nullptr;
  try {
    if (record->width < 0 || record->height < 0 || record->layerCount < 0)
      throw ConversionFailure();
    image->BeginUpdate();
    image->SetSize(record->width, record->height);
    // The plug-in's floats are judged by their bits: NaN, infinities and denormals count as
    // an unknown resolution, and as no opacity.
    const float xResolution = wulUsableFloat(&record->xResolution, 0.0f);
    const float yResolution = wulUsableFloat(&record->yResolution, 0.0f);
    image->SetXResolution(xResolution != 0.0f ? xResolution : 3779.5276f);
    image->SetYResolution(yResolution != 0.0f ? yResolution : 3779.5276f);
    uint32_t target = 0;
    const VCXPalette* lastPalette = nullptr;
    for (int32_t i = 0; i < record->layerCount; ++i) {
      const VCXImage* layerRecord = vcxGetLayerSlot(record, i);
      if (!layerRecord)
        continue;
      if (layerRecord->kind == VCX_KIND_COLOR) {
        CRasterLayer* layer = CreateRasterLayer();
        if (!layer)
          throw ConversionFailure();
        char name[sizeof layerRecord->name + 1];
        std::memcpy(name, layerRecord->name, sizeof layerRecord->name);
        name[sizeof layerRecord->name] = 0;
        layer->SetName(name);
        layer->SetVisible((layerRecord->flags & VCX_FLAG_HIDDEN) == 0);
        layer->SetOpacity(wulUnitFloat(&layerRecord->opacity, 0.0f));
        layer->SetSupersampling(false);
        image->AddLayer(layer);
        if ((layerRecord->flags & VCX_FLAG_CURRENT) && !image->GetActiveLayer())
          image->SetActiveLayer(layer);
        try {
          CopyRecordPixels(layer, layerRecord);
        } catch (...) {
          image->RemoveLayer(layer);
          delete layer;
          ErrorBox("Layer conversion error");
          throw ConversionFailure();
        }
        const uint32_t wanted = TargetFormatOf(layerRecord);
        if (wanted > target)
          target = wanted;
        if (const VCXPalette* palette = vcxGetImagePalette(layerRecord))
          lastPalette = palette;
      } else if (layerRecord->kind == VCX_KIND_MASK) {
        const uint8_t* bits = vcxGetPixelSlot(layerRecord);
        if (layerRecord->format != VCX_FORMAT_1 || layerRecord->width != record->width ||
            layerRecord->height != record->height) {
          ErrorBox("Unsupported mask format");
          continue;
        }
        if (!bits)
          continue;
        for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
          if (layer->GetPixels()->width == record->width && layer->GetPixels()->height == record->height)
            layer->GetPixels()->ApplyMask1Bit(bits);
      }
    }
    if (target == 0)
      target = CImage::FORMAT_32BIT_ARGB;
    image->SetTargetFormat(static_cast<int32_t>(target));
    CPalette* palette = image->GetPalette();
    if (palette && lastPalette && lastPalette->count > 0) {
      // A palette can hold at most 256 entries.
      const int32_t count = lastPalette->count < 256 ? lastPalette->count : 256;
      palette->SetCount(count);
      const VCXPaletteEntry* entries = vcxGetPaletteEntries(lastPalette);
      for (int32_t i = 0; i < count && i < palette->GetCount(); ++i)
        palette->GetEntry(i)->SetArgb(entries[i].alpha, entries[i].red, entries[i].green, entries[i].blue);
      image->SetPaletteFixed(true);
    }
    if (palette)
      palette->ClearLookup();
    if (!image->GetActiveLayer())
      image->SetActiveLayer(image->GetLastLayer());
    image->EndUpdate();
    return image;
  } catch (...) {
    delete image;
    ErrorBox("Image conversion error");
    return nullptr;
  }
}

CProject* ConvertPortableMultiImage(const VCXMultiImage* record) {
  if (!record)
    return nullptr;
  CProject* project = CreateProject();
  if (!project)
    return nullptr;
  try {
    for (int32_t i = 0; i < record->count; ++i) {
      const VCXLayeredImage* layered = vcxGetImageSlot(record, i);
      if (!layered)
        continue;
      if (CImage* image = ConvertPortableLayeredImage(layered))
        project->AddImage(image);
    }
    if (project->GetFirstImage())
      project->SetCurrentImage(project->GetFirstImage());
    return project;
  } catch (...) {
    delete project;
    ErrorBox("Multiimage conversion error");
    return nullptr;
  }
}
