#include "plugins/rastrel/IcoFile.h"
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <memory>
#include "plugins/rastrel/BmpFile.h"
#include "plugins/rastrel/PngEntry.h"
#include "plugins/rastrel/RastrelDialogs.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"

IconWriterOptions g_IconOptions;

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t GetBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Frees a layered image on scope exit unless released.
class LayeredGuard {
public:
  explicit LayeredGuard(VCXLayeredImage* image = nullptr) : m_image(image) {}
  ~LayeredGuard() {
    try {
      vcxFreeLayeredImage(m_image);
    } catch (...) {
    }
  }
  VCXLayeredImage* get() const { return m_image; }
  void reset(VCXLayeredImage* image) { m_image = image; }
  VCXLayeredImage* release() {
    VCXLayeredImage* image = m_image;
    m_image = nullptr;
    return image;
  }

private:
  VCXLayeredImage* m_image;
};

class MultiGuard {
public:
  explicit MultiGuard(VCXMultiImage* image) : m_image(image) {}
  ~MultiGuard() {
    try {
      vcxFreeMultiImage(m_image);
    } catch (...) {
    }
  }
  VCXMultiImage* release() {
    VCXMultiImage* image = m_image;
    m_image = nullptr;
    return image;
  }

private:
  VCXMultiImage* m_image;
};

// Bytes of a stored DIB row: padded to a multiple of 4.
uint64_t PaddedRowBytes(uint32_t bpp, int64_t width) {
  return (static_cast<uint64_t>(bpp) * static_cast<uint64_t>(width) + 31) / 32 * 4;
}

uint64_t RowBytes(uint32_t bpp, int64_t width) {
  return (static_cast<uint64_t>(bpp) * static_cast<uint64_t>(width) + 7) / 8;
}

bool IsPng(const uint8_t* bytes) {
  return std::memcmp(bytes, kPngSignature, 8) == 0;
}

// The stored rows of one plane into the record's rows (top-down, unpadded).
void ReadRows(CVCXStream& stream, uint8_t* pixels, uint32_t bpp, int32_t width, int32_t height,
              bool bottomUp, bool invert) {
  const uint64_t padded = PaddedRowBytes(bpp, width);
  const uint64_t kept = RowBytes(bpp, width);
  if (!height || !padded)
    return;
  std::unique_ptr<uint8_t[]> row(new uint8_t[static_cast<size_t>(padded)]);
  for (int32_t r = 0; r < height; ++r) {
    stream.ReadExact(row.get(), static_cast<size_t>(padded));
    const int32_t y = bottomUp ? height - 1 - r : r;
    uint8_t* out = pixels + kept * static_cast<uint64_t>(y);
    for (uint64_t i = 0; i < kept; ++i)
      out[i] = invert ? static_cast<uint8_t>(~row[i]) : row[i];
  }
}

void WriteRows(CVCXStream& stream, const uint8_t* pixels, uint32_t bpp, int32_t width,
               int32_t height, bool invert) {
  const uint64_t padded = PaddedRowBytes(bpp, width);
  const uint64_t kept = RowBytes(bpp, width);
  if (!height || !padded)
    return;
  std::unique_ptr<uint8_t[]> row(new uint8_t[static_cast<size_t>(padded)]);
  std::memset(row.get(), 0, static_cast<size_t>(padded));
  for (int32_t y = height - 1; y >= 0; --y) {
    if (pixels) {
      const uint8_t* in = pixels + kept * static_cast<uint64_t>(y);
      for (uint64_t i = 0; i < kept; ++i)
        row[i] = invert ? static_cast<uint8_t>(~in[i]) : in[i];
    }
    stream.WriteExact(row.get(), static_cast<size_t>(padded));
  }
}

// Size and depth of an entry's image for the preview, or false when it has none.
bool ProbeEntry(CVCXStream& stream, int64_t offset, int64_t& pixels, int64_t& weight) {
  if (offset < 0 || offset > stream.GetSize())
    return false;
  stream.Seek(offset);
  uint8_t head[40];
  if (stream.Read(head, 4) != 4)
    return false;
  int64_t width, height, depth;
  if (Get32(head) == 40) {
    if (stream.Read(head + 4, 36) != 36)
      return false;
    width = static_cast<int32_t>(Get32(head + 4));
    height = static_cast<int32_t>(Get32(head + 8));
    width = width < 0 ? -width : width;
    height = (height < 0 ? -height : height) / 2;
    depth = Get16(head + 14);
  } else {
    // PNG: signature, IHDR length and type, width, height, bit depth, colour type.
    uint8_t png[26];
    std::memcpy(png, head, 4);
    if (stream.Read(png + 4, 22) != 22 || !IsPng(png) || std::memcmp(png + 12, "IHDR", 4) != 0)
      return false;
    width = GetBE32(png + 16);
    height = GetBE32(png + 20);
    const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    const uint8_t colorType = png[25];
    depth = colorType < 7 ? png[24] * channels[colorType] : 0;
  }
  pixels = width * height;
  weight = pixels * depth;
  return depth > 0 && pixels > 0;
}

VCXLayeredImage* ReadPreview(CVCXStream& stream, int64_t start) {
  stream.Seek(start);
  IconDirectory directory;
  IcoReadDirectory(stream, false, directory);
  const IconDirEntry* best = nullptr;
  int64_t bestWeight = 0;
  for (CVCXListNode* node = directory.entries.first; node; node = node->next) {
    const IconDirEntry* entry = static_cast<const IconDirEntry*>(node);
    int64_t pixels = 0, weight = 0;
    if (!ProbeEntry(stream, entry->offset, pixels, weight) || !vcxIsPreviewSize(static_cast<uint64_t>(pixels)))
      continue;
    if (!best || weight >= bestWeight) {
      best = entry;
      bestWeight = weight;
    }
  }
  if (!best)
    return nullptr;
  stream.Seek(best->offset);
  return IcoReadEntry(stream, nullptr);
}


bool IsLargeEntry(int32_t width, int32_t height) {
  const int32_t pixels = static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
  return pixels < 0 || pixels > ICON_PNG_THRESHOLD;
}

int32_t SortSize(const VCXLayeredImage* image) {
  return static_cast<int32_t>(static_cast<uint32_t>(image->width) * static_cast<uint32_t>(image->height));
}

int CompareSizes(int32_t a, int32_t b) {
  // A negative product counts as larger than every size.
  if ((a < 0) != (b < 0))
    return a < 0 ? 1 : -1;
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareInts(int32_t a, int32_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// The icon's own layer stands for it only when it is one opaque colour layer covering
// exactly the image at the image's depth; anything else is written flattened.
bool NeedsIconFlattening(const VCXLayeredImage* image) {
  if (vcxNeedsFlattening(image))
    return true;
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  return color->x != 0 || color->y != 0 || color->width != image->width ||
         color->height != image->height || color->format != image->format;
}

// The hotspot layer of an image, or null.
const VCXImage* FindHotspot(const VCXLayeredImage* image) {
  return vcxGetFirstLayer(image, VCX_KIND_HOTSPOT);
}

}  // namespace

bool IcoCanImport(CVCXStream& stream, int* outType, VCXLayeredImage** preview, char* description,
                  int descriptionLen) {
  const int64_t start = stream.GetPosition();
  uint8_t header[6];
  const size_t got = stream.Read(header, 6);
  if (got != 6 || Get16(header) != 0 || (Get16(header + 2) != 1 && Get16(header + 2) != 2)) {
    stream.Seek(start);
    return false;
  }
  const bool cursor = Get16(header + 2) == 2;
  const int count = Get16(header + 4);
  if (outType)
    *outType = cursor ? 3 : 2;
  if (description) {
    char images[32];
    if (count == 1)
      std::snprintf(images, sizeof images, "1 image");
    else
      std::snprintf(images, sizeof images, "%d images", count);
    char text[128];
    std::snprintf(text, sizeof text, "%s\n%s", cursor ? "Windows cursor" : "Windows icon", images);
    vcxStrCopy(description, text, descriptionLen);
  }
  if (preview) {
    try {
      vcxFreeLayeredImage(*preview);
      *preview = nullptr;
      *preview = ReadPreview(stream, start);
    } catch (...) {
      *preview = nullptr;
    }
  }
  stream.Seek(start);
  return true;
}

void IcoReadDirectory(CVCXStream& stream, bool resourceMode, IconDirectory& directory) {
  const int64_t start = stream.GetPosition();
  uint8_t header[6];
  stream.ReadExact(header, 6);
  const uint16_t type = Get16(header + 2);
  if (Get16(header) != 0 || (type != ICON_TYPE_ICON && type != ICON_TYPE_CURSOR))
    vcxThrow(VCX_ERROR_FORMAT);
  directory.type = type;
  const int count = Get16(header + 4);
  const size_t entrySize = resourceMode ? 14 : 16;
  for (int i = 0; i < count; ++i) {
    uint8_t raw[16];
    stream.ReadExact(raw, entrySize);
    IconDirEntry* entry = new IconDirEntry;
    directory.entries.Append(entry);
    entry->index = i;
    entry->size = Get32(raw + 8);
    if (resourceMode) {
      entry->resourceId = Get16(raw + 12);
    } else {
      entry->offset = start + static_cast<int64_t>(Get32(raw + 12));
      if (type == ICON_TYPE_CURSOR) {
        entry->hotspotX = Get16(raw + 4);
        entry->hotspotY = Get16(raw + 6);
      }
    }
  }
}

VCXLayeredImage* IcoReadEntry(CVCXStream& stream, const POINT* hotspot) {
  const int64_t start = stream.GetPosition();
  uint8_t header[40];
  stream.ReadExact(header, 4);
  stream.Seek(start);
  if (Get32(header) != 40) {
    // A PNG entry carries no hotspot, and one whose header libpng rejects fails the read;
    // anything else is left out.
    if (!PngHasSignature(stream))
      return nullptr;
    return PngReadImage(stream);
  }
  stream.ReadExact(header, 40);
  const int32_t width = static_cast<int32_t>(Get32(header + 4));
  const int64_t storedHeight = static_cast<int32_t>(Get32(header + 8));
  const uint32_t bpp = Get16(header + 14);
  const int64_t doubled = storedHeight < 0 ? -storedHeight : storedHeight;
  // An entry without pixels is no image: it would enter no project.
  if (width <= 0 || doubled == 0 || (doubled & 1))
    vcxThrow(VCX_ERROR_DATA);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
    vcxThrow(VCX_ERROR_FORMAT);
  const int32_t height = static_cast<int32_t>(doubled / 2);
  const bool bottomUp = storedHeight > 0;

  // The file must hold the palette and the colour rows before anything is made for them.
  // The mask rows are smaller; a 32-bit entry with alpha may go without them.
  const uint32_t paletteCount = bpp <= 8 ? 1u << bpp : 0;
  const uint64_t needed = 4ull * paletteCount + PaddedRowBytes(bpp, width) * static_cast<uint64_t>(height);
  if (needed > static_cast<uint64_t>(stream.GetRemaining()))
    vcxThrow(VCX_ERROR_EOF);

  const uint32_t format = bpp << 16;
  LayeredGuard result(vcxCreateLayeredImage(
      vcxLayeredImageRequest(format, width, height, hotspot ? 3 : 2)));
  VCXImage* color = vcxCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, width, height, ""));
  vcxSetLayerSlot(result.get(), 0, color);
  if (paletteCount) {
    VCXPalette* palette = vcxCreatePalette(static_cast<int32_t>(paletteCount));
    vcxSetImagePalette(color, palette);
    VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    uint8_t raw[4 * 256];
    stream.ReadExact(raw, 4 * paletteCount);
    for (uint32_t i = 0; i < paletteCount; ++i) {
      entries[i].alpha = 255;
      entries[i].red = raw[4 * i + 2];
      entries[i].green = raw[4 * i + 1];
      entries[i].blue = raw[4 * i];
    }
  }
  VCXImage* mask = vcxCreateImage(vcxImageRequest(VCX_KIND_MASK, VCX_FORMAT_1, width, height, "MASK"));
  vcxSetLayerSlot(result.get(), 1, mask);
  if (hotspot) {
    VCXImage request = vcxImageRequest(VCX_KIND_HOTSPOT, 0, 0, 0, "HOTSPOT");
    request.x = hotspot->x;
    request.y = hotspot->y;
    vcxSetLayerSlot(result.get(), 2, vcxCreateImage(request));
  }
  ReadRows(stream, vcxGetPixels(color), bpp, width, height, bottomUp, false);
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (bpp == 32 && vcxHasAlpha(vcxGetPixels(color), pixels)) {
    // Windows draws an entry with alpha from its alpha alone: the AND mask, if the entry
    // has one at all, cuts nothing.
    const uint64_t maskBytes = RowBytes(1, width) * static_cast<uint64_t>(height);
    std::memset(vcxGetPixels(mask), 0xFF, static_cast<size_t>(maskBytes));
  } else {
    ReadRows(stream, vcxGetPixels(mask), 1, width, height, bottomUp, true);
    // Without alpha the AND mask alone makes the entry's transparency, as Windows draws it.
    if (bpp == 32)
      vcxOpaqueIfAlphaEmpty(vcxGetPixels(color), pixels);
  }
  return result.release();
}

CEntryReads::CEntryReads(int64_t fileSize) : m_left(2 * (fileSize > 0 ? fileSize : 0) + 65536) {}

bool CEntryReads::MayRead(int64_t position) const {
  auto after = m_read.upper_bound(position);
  return after == m_read.begin() || std::prev(after)->second <= position;
}

void CEntryReads::Read(int64_t start, int64_t end) {
  if (end <= start)
    return;
  if (end - start > m_left)
    vcxThrow(VCX_ERROR_DATA, "The entries of this file read more data than it holds");
  m_left -= end - start;
  // Merged with every range it touches.
  auto at = m_read.upper_bound(start);
  if (at != m_read.begin() && std::prev(at)->second >= start)
    --at;
  while (at != m_read.end() && at->first <= end) {
    start = std::min(start, at->first);
    end = std::max(end, at->second);
    at = m_read.erase(at);
  }
  m_read.emplace(start, end);
}

VCXMultiImage* IcoReadFile(CVCXStream& stream, int* outType) {
  CEntryReads reads(stream.GetSize());
  IconDirectory directory;
  IcoReadDirectory(stream, false, directory);
  if (outType)
    *outType = directory.type == ICON_TYPE_CURSOR ? 3 : 2;
  VCXMultiImage* multi = vcxCreateMultiImage(directory.entries.count);
  MultiGuard guard(multi);
  int32_t slot = 0;
  for (CVCXListNode* node = directory.entries.first; node; node = node->next, ++slot) {
    const IconDirEntry* entry = static_cast<const IconDirEntry*>(node);
    if (entry->offset > stream.GetSize())
      vcxThrow(VCX_ERROR_EOF);
    if (!reads.MayRead(entry->offset))
      continue;
    stream.Seek(entry->offset);
    POINT hotspot = {entry->hotspotX, entry->hotspotY};
    VCXLayeredImage* image = IcoReadEntry(stream, directory.type == ICON_TYPE_CURSOR ? &hotspot : nullptr);
    vcxSetImageSlot(multi, slot, image);
    reads.Read(entry->offset, stream.GetPosition());
  }
  if (vcxCountImages(multi) == 0)
    vcxThrow(VCX_ERROR_DATA, "There are no images in this file");
  return guard.release();
}

bool IcoCanExport(const VCXMultiImage* document, int* outFlags) {
  const int32_t count = vcxCountImages(document);
  if (count == 0 || count > 0xFFFF)
    return false;
  bool merged = false;
  for (int32_t i = 0; i < document->count; ++i) {
    const VCXLayeredImage* image = vcxGetImageSlot(document, i);
    if (!image)
      continue;
    const uint32_t bpp = vcxGetBitsPerPixel(image->format);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
      return false;
    if (image->width < 0 || image->height < 0)
      return false;
    if (bpp <= 8 && vcxLacksPalette(image))
      return false;
    if (vcxCountLayers(image, VCX_KIND_COLOR) > 1)
      merged = true;
  }
  if (outFlags)
    *outFlags = merged ? VCX_LOSS_LAYERS : 0;
  return true;
}

int IconSortCompare(const CVCXListNode* a, const CVCXListNode* b, void* context) {
  const IconWriterOptions& options =
      context ? *static_cast<const IconWriterOptions*>(context) : g_IconOptions;
  const IconDirEntry* x = static_cast<const IconDirEntry*>(a);
  const IconDirEntry* y = static_cast<const IconDirEntry*>(b);
  const int32_t sizeX = SortSize(x->image), sizeY = SortSize(y->image);
  if (options.pngCompression) {
    const bool largeX = sizeX < 0 || sizeX > ICON_PNG_THRESHOLD;
    const bool largeY = sizeY < 0 || sizeY > ICON_PNG_THRESHOLD;
    if (largeX != largeY)
      return largeX ? 1 : -1;
  }
  const int bySize = CompareSizes(sizeX, sizeY) * (options.sizeOrder == 2 ? -1 : 1);
  const int byDepth = CompareInts(static_cast<int32_t>(vcxGetBitsPerPixel(x->image->format)),
                                  static_cast<int32_t>(vcxGetBitsPerPixel(y->image->format))) *
                      (options.depthOrder == 2 ? -1 : 1);
  switch (options.sortMode) {
    case 1:
      return bySize ? bySize : byDepth;
    case 2:
      return byDepth ? byDepth : bySize;
    default:
      return CompareInts(x->index, y->index);
  }
}

void IcoWriteEntry(HWND parent, CVCXStream& stream, VCXLayeredImage* image, IconDirEntry& entry) {
  entry.writtenWidth = image->width;
  entry.writtenHeight = image->height;
  entry.writtenDepth = static_cast<int32_t>(vcxGetBitsPerPixel(image->format));
  if (g_IconOptions.pngCompression && IsLargeEntry(image->width, image->height)) {
    PngWriteIconEntry(parent, stream, image, g_IconOptions.pngMultipass);
    return;
  }
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  if (!color)
    vcxThrow(VCX_ERROR_DATA);
  const VCXImage* mask = vcxGetFirstLayer(image, VCX_KIND_MASK);
  const uint32_t depth = vcxGetBitsPerPixel(image->format);
  const int32_t width = image->width;
  const int32_t height = image->height;
  if (height > 0x3FFFFFFF)
    vcxThrow(VCX_ERROR_FORMAT);
  const uint64_t colorBytes = RowBytes(depth, width) * static_cast<uint64_t>(height);
  if (colorBytes && !vcxGetPixels(color))
    vcxThrow(VCX_ERROR_DATA);
  if (mask && (mask->format != VCX_FORMAT_1 || mask->width != width || mask->height != height ||
               (width && height && !vcxGetPixels(mask))))
    vcxThrow(VCX_ERROR_DATA);

  const int64_t headerPosition = stream.GetPosition();
  uint8_t header[40] = {};
  Put32(header, 40);
  Put32(header + 4, static_cast<uint32_t>(width));
  Put32(header + 8, static_cast<uint32_t>(height) * 2);
  Put16(header + 12, 1);
  Put16(header + 14, depth);
  stream.WriteExact(header, 40);

  if (depth <= 8) {
    const VCXPalette* palette = vcxGetPalette(color);
    if (!palette)
      vcxThrow(VCX_ERROR_DATA);
    const int32_t slots = 1 << depth;
    const VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
    uint8_t raw[4 * 256] = {};
    for (int32_t i = 0; i < slots && i < palette->count; ++i) {
      raw[4 * i] = static_cast<uint8_t>(entries[i].blue);
      raw[4 * i + 1] = static_cast<uint8_t>(entries[i].green);
      raw[4 * i + 2] = static_cast<uint8_t>(entries[i].red);
    }
    stream.WriteExact(raw, 4 * static_cast<size_t>(slots));
  }

  // A 32-bit entry without any alpha is drawn through its AND mask, by Windows as by the
  // reader: one whose every pixel is transparent says so there, or it would show opaque.
  std::unique_ptr<uint8_t[]> clear;
  const uint64_t pixelCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (!mask && depth == 32 && pixelCount && !vcxHasAlpha(vcxGetPixels(color), pixelCount)) {
    const size_t maskBytes = static_cast<size_t>(RowBytes(1, width) * static_cast<uint64_t>(height));
    clear.reset(new uint8_t[maskBytes]);
    std::memset(clear.get(), 0, maskBytes);
  }
  const int64_t bitsPosition = stream.GetPosition();
  WriteRows(stream, vcxGetPixels(color), depth, width, height, false);
  if (mask)
    WriteRows(stream, vcxGetPixels(mask), 1, width, height, true);
  else
    WriteRows(stream, clear.get(), 1, width, height, clear != nullptr);
  const int64_t end = stream.GetPosition();
  if (end - bitsPosition > 0xFFFFFFFFll)
    vcxThrow(VCX_ERROR_FORMAT);
  Put32(header + 20, static_cast<uint32_t>(end - bitsPosition));
  stream.Seek(headerPosition);
  stream.WriteExact(header, 40);
  stream.Seek(end);
}

void IcoWriteFile(HWND parent, CVCXStream& stream, IconDirectory& directory) {
  const int64_t start = stream.GetPosition();
  const int count = directory.entries.count;
  uint8_t header[6];
  Put16(header, 0);
  Put16(header + 2, static_cast<uint32_t>(directory.type));
  Put16(header + 4, static_cast<uint32_t>(count));
  stream.WriteExact(header, 6);
  const uint8_t zeros[16] = {};
  for (int i = 0; i < count; ++i)
    stream.WriteExact(zeros, 16);

  for (CVCXListNode* node = directory.entries.first; node; node = node->next) {
    IconDirEntry* entry = static_cast<IconDirEntry*>(node);
    LayeredGuard copy(NeedsIconFlattening(entry->image) ? vcxFlatten(entry->image) : nullptr);
    entry->offset = stream.GetPosition();
    IcoWriteEntry(parent, stream, copy.get() ? copy.get() : entry->image, *entry);
    entry->size = stream.GetPosition() - entry->offset;
    if (entry->size > 0xFFFFFFFFll || entry->offset - start > 0xFFFFFFFFll)
      vcxThrow(VCX_ERROR_FORMAT);
  }

  const int64_t end = stream.GetPosition();
  stream.Seek(start + 6);
  for (CVCXListNode* node = directory.entries.first; node; node = node->next) {
    const IconDirEntry* entry = static_cast<const IconDirEntry*>(node);
    uint8_t raw[16] = {};
    raw[0] = entry->writtenWidth < 256 ? static_cast<uint8_t>(entry->writtenWidth) : 0;
    raw[1] = entry->writtenHeight < 256 ? static_cast<uint8_t>(entry->writtenHeight) : 0;
    raw[2] = entry->writtenDepth < 8 ? static_cast<uint8_t>(1 << entry->writtenDepth) : 0;
    if (directory.type == ICON_TYPE_CURSOR) {
      Put16(raw + 4, static_cast<uint32_t>(entry->hotspotX));
      Put16(raw + 6, static_cast<uint32_t>(entry->hotspotY));
    } else {
      Put16(raw + 4, 1);
      Put16(raw + 6, static_cast<uint32_t>(entry->writtenDepth));
    }
    Put32(raw + 8, static_cast<uint32_t>(entry->size));
    Put32(raw + 12, static_cast<uint32_t>(entry->offset - start));
    stream.WriteExact(raw, 16);
  }
  stream.Seek(end);
}

void IcoExport(HWND parent, const char* path, int type, VCXMultiImage* document) {
  IconDirectory directory;
  directory.type = type == 3 ? ICON_TYPE_CURSOR : ICON_TYPE_ICON;
  int32_t index = 0;
  for (int32_t i = 0; i < document->count; ++i) {
    VCXLayeredImage* image = vcxGetImageSlot(document, i);
    if (!image)
      continue;
    IconDirEntry* entry = new IconDirEntry;
    directory.entries.Append(entry);
    entry->image = image;
    entry->index = index++;
    // A cursor keeps the hotspot that its image carries.
    if (const VCXImage* hotspot = FindHotspot(image)) {
      entry->hotspotX = hotspot->x < 0 ? 0 : (hotspot->x > 0xFFFF ? 0xFFFF : hotspot->x);
      entry->hotspotY = hotspot->y < 0 ? 0 : (hotspot->y > 0xFFFF ? 0xFFFF : hotspot->y);
    }
  }
  // The dialog leaves the entries in the order it shows.
  if (!vcxGetOption(VCX_OPTION_NO_EXPORT_DIALOGS) && !IconOptionsDialog(parent, directory))
    vcxThrow(VCX_ERROR_CANCELLED);
  // A failure leaves the file that was there as it was.
  CVCXReplacingFile file(path);
  IcoWriteFile(parent, file.GetStream(), directory);
  file.Commit();
}
