#pragma once
// The binary interface between the host and its plug-ins: portable image records, service
// ids, error codes and the function types of the services and exports.
//
// Every record starts with its header size, which is also the offset of its payload. Records
// are little-endian with 32-bit fields and 4-byte packing; a pointer field is a native
// pointer. The i686 build has the 32-bit interface's layout; the x86-64 build widens each
// pointer to 8 bytes in the same place, moving what follows it:
//
//   record              i686                          x86-64
//   VCXMultiImage       header 12, slots 4 x count    header 12, slots 8 x count
//   VCXLayeredImage     header 36, slots 4 x count    header 36, slots 8 x count
//   VCXImage            palette 32, opacity 36,       palette 32 (8 bytes), opacity 40,
//                       name 40, header 296,          name 44, header 300,
//                       pixel pointer at 296          pixel pointer at 300
//   VCXPalette          header 16, entries 16         the same
//   VCXFileType         header 272, entries 260       the same
//   VCXResampleOptions  16 bytes, no payload          the same
//
// A payload slot past a header is not necessarily aligned; it is read and written with the
// slot helpers below.
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <cstring>

enum : uint32_t { VCX_SDK_VERSION = 0x90000 };

// Pixel format codes of records: bits per pixel << 16.
enum : uint32_t {
  VCX_FORMAT_1 = 0x10000,
  VCX_FORMAT_4 = 0x40000,
  VCX_FORMAT_8 = 0x80000,
  VCX_FORMAT_16 = 0x100000,
  VCX_FORMAT_24 = 0x180000,
  VCX_FORMAT_32 = 0x200000,
  VCX_FORMAT_48 = 0x300000,
  VCX_FORMAT_64 = 0x400000
};

// VCXImage kinds and flags; VCXLayeredImage flags.
enum { VCX_KIND_COLOR = 1, VCX_KIND_MASK = 2, VCX_KIND_HOTSPOT = 4 };
enum { VCX_FLAG_CURRENT = 2, VCX_FLAG_HIDDEN = 4 };

// Error codes of services and plug-ins.
enum {
  VCX_OK = 0,
  VCX_ERROR_INTERNAL = 1,
  VCX_ERROR_SDK = 2,
  VCX_ERROR_PARAMETER = 3,
  VCX_ERROR_DATA = 4,
  VCX_ERROR_FORMAT = 5,
  VCX_ERROR_MEMORY = 6,
  VCX_ERROR_CANCELLED = 7,
  VCX_ERROR_CREATE = 10,
  VCX_ERROR_ACCESS = 11,
  VCX_ERROR_WRITE = 12,
  VCX_ERROR_READ = 13,
  VCX_ERROR_EOF = 14
};

// Service ids, in the order of a plug-in's service table.
enum : uint32_t {
  VCX_SC_GET_LAST_ERROR = 0x100,
  VCX_SC_GET_OPTION = 0x200,
  VCX_SC_GET_METRIC = 0x201,
  VCX_SC_GET_COLOR = 0x202,
  VCX_SC_RESERVED = 0x300,
  VCX_SC_CREATE_PALETTE = 0x1000,
  VCX_SC_CREATE_IMAGE = 0x1001,
  VCX_SC_CREATE_LAYERED_IMAGE = 0x1002,
  VCX_SC_CREATE_MULTI_IMAGE = 0x1003,
  VCX_SC_CREATE_FILE_TYPE = 0x1010,
  VCX_SC_FREE_PALETTE = 0x1100,
  VCX_SC_FREE_IMAGE = 0x1101,
  VCX_SC_FREE_LAYERED_IMAGE = 0x1102,
  VCX_SC_FREE_MULTI_IMAGE = 0x1103,
  VCX_SC_FREE_FILE_TYPE = 0x1110,
  VCX_SC_CLONE_PALETTE = 0x1200,
  VCX_SC_CLONE_IMAGE = 0x1201,
  VCX_SC_CLONE_LAYERED_IMAGE = 0x1202,
  VCX_SC_CONVERT_IMAGE = 0x1300,
  VCX_SC_CONVERT_LAYERED_IMAGE = 0x1301,
  VCX_SC_RESAMPLE_IMAGE = 0x1310,
  VCX_SC_RESAMPLE_LAYERED_IMAGE = 0x1311,
  VCX_SC_FLATTEN = 0x1320,
  VCX_SC_PREMULTIPLY = 0x1400
};

// Ids of the option, metric and colour services.
enum : uint32_t {
  VCX_OPTION_NO_EXPORT_DIALOGS = 0x1000,
  VCX_METRIC_PREVIEW_PIXELS = 0x1000,
  VCX_METRIC_PREVIEW_WIDTH = 0x1001,
  VCX_METRIC_PREVIEW_HEIGHT = 0x1002,
  VCX_COLOR_BASE = 1,
  VCX_COLOR_CHEQUER_A = 0x1000,
  VCX_COLOR_CHEQUER_B = 0x1001
};

// Resampling method of services 0x1310 and 0x1311.
enum { VCX_RESAMPLE_DEFAULT = 1 };

#pragma pack(push, 4)

struct VCXPalette;

// A set of images; payload: count pointers to VCXLayeredImage.
struct VCXMultiImage {
  int32_t headerSize;  // 12
  int32_t reserved;
  int32_t count;
};

// One image with its layers; payload: layerCount pointers to VCXImage.
struct VCXLayeredImage {
  int32_t headerSize;  // 36
  int32_t version;     // 1
  uint32_t format;
  int32_t flags;
  int32_t width;
  int32_t height;
  float xResolution;  // pixels per metre, 0 = unknown
  float yResolution;
  int32_t layerCount;
};

// One layer, mask or hotspot; payload: one pointer to the pixel block.
struct VCXImage {
  int32_t headerSize;  // 296 (i686), 300 (x86-64)
  int32_t kind;
  uint32_t format;
  int32_t flags;
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
  VCXPalette* palette;
  float opacity;
  char name[256];
};

struct VCXPaletteEntry {
  int32_t alpha;
  int32_t red;
  int32_t green;
  int32_t blue;
};

// Payload: count VCXPaletteEntry.
struct VCXPalette {
  int32_t headerSize;  // 16
  int32_t version;     // 1
  int32_t reserved;
  int32_t count;
};

struct VCXFileTypeExtension {
  int32_t flags;
  char extension[256];  // without the dot
};

// Payload: extensionCount VCXFileTypeExtension.
struct VCXFileType {
  int32_t headerSize;  // 272
  int32_t id;
  int32_t reserved;
  char description[256];
  int32_t extensionCount;
};

// Options of the resampling services; a shorter record leaves the later fields at their
// defaults (smooth on, no budgets).
struct VCXResampleOptions {
  int32_t size;  // 16
  int32_t smooth;
  int32_t totalSamples;
  int32_t pixelSamples;
};

#pragma pack(pop)

// Bytes of one pointer slot of a payload.
enum : size_t { VCX_SLOT_SIZE = sizeof(void*) };

// The layouts, field by field. Only the pointers differ between the two builds.
static_assert(offsetof(VCXMultiImage, reserved) == 4 && offsetof(VCXMultiImage, count) == 8 &&
                  sizeof(VCXMultiImage) == 12,
              "VCXMultiImage layout");
static_assert(offsetof(VCXLayeredImage, version) == 4 && offsetof(VCXLayeredImage, format) == 8 &&
                  offsetof(VCXLayeredImage, flags) == 12 && offsetof(VCXLayeredImage, width) == 16 &&
                  offsetof(VCXLayeredImage, height) == 20 &&
                  offsetof(VCXLayeredImage, xResolution) == 24 &&
                  offsetof(VCXLayeredImage, yResolution) == 28 &&
                  offsetof(VCXLayeredImage, layerCount) == 32 && sizeof(VCXLayeredImage) == 36,
              "VCXLayeredImage layout");
static_assert(offsetof(VCXImage, kind) == 4 && offsetof(VCXImage, format) == 8 &&
                  offsetof(VCXImage, flags) == 12 && offsetof(VCXImage, width) == 16 &&
                  offsetof(VCXImage, height) == 20 && offsetof(VCXImage, x) == 24 &&
                  offsetof(VCXImage, y) == 28 && offsetof(VCXImage, palette) == 32,
              "VCXImage layout");
static_assert(offsetof(VCXPaletteEntry, red) == 4 && offsetof(VCXPaletteEntry, green) == 8 &&
                  offsetof(VCXPaletteEntry, blue) == 12 && sizeof(VCXPaletteEntry) == 16 &&
                  offsetof(VCXPalette, version) == 4 && offsetof(VCXPalette, reserved) == 8 &&
                  offsetof(VCXPalette, count) == 12 && sizeof(VCXPalette) == 16,
              "VCXPalette layout");
static_assert(offsetof(VCXFileType, id) == 4 && offsetof(VCXFileType, reserved) == 8 &&
                  offsetof(VCXFileType, description) == 12 &&
                  offsetof(VCXFileType, extensionCount) == 268 && sizeof(VCXFileType) == 272 &&
                  offsetof(VCXFileTypeExtension, extension) == 4 &&
                  sizeof(VCXFileTypeExtension) == 260,
              "VCXFileType layout");
static_assert(offsetof(VCXResampleOptions, smooth) == 4 &&
                  offsetof(VCXResampleOptions, totalSamples) == 8 &&
                  offsetof(VCXResampleOptions, pixelSamples) == 12 && sizeof(VCXResampleOptions) == 16,
              "VCXResampleOptions layout");
#if defined(__i386__)
static_assert(VCX_SLOT_SIZE == 4, "i686 pointer slots");
static_assert(offsetof(VCXImage, opacity) == 36 && offsetof(VCXImage, name) == 40 &&
                  sizeof(VCXImage) == 296,
              "VCXImage layout (i686)");
#elif defined(__x86_64__)
static_assert(VCX_SLOT_SIZE == 8, "x86-64 pointer slots");
static_assert(offsetof(VCXImage, opacity) == 40 && offsetof(VCXImage, name) == 44 &&
                  sizeof(VCXImage) == 300,
              "VCXImage layout (x86-64)");
#else
#error "the plug-in records are laid out for i686 and x86-64 only"
#endif

// Raw payload access, unchecked. The payload is at the record's start plus its first field.
inline uint8_t* vcxRawPayload(const void* record) {
  int32_t headerSize;
  std::memcpy(&headerSize, record, 4);
  return static_cast<uint8_t*>(const_cast<void*>(record)) + headerSize;
}

// Pointer slots (possibly unaligned).
inline void* vcxGetSlot(const uint8_t* slot) {
  void* pointer;
  std::memcpy(&pointer, slot, VCX_SLOT_SIZE);
  return pointer;
}
inline void vcxSetSlot(uint8_t* slot, const void* pointer) {
  std::memcpy(slot, &pointer, VCX_SLOT_SIZE);
}
inline uint8_t* vcxSlotAt(const void* record, int32_t i) {
  return vcxRawPayload(record) + VCX_SLOT_SIZE * static_cast<size_t>(i);
}

inline VCXLayeredImage* vcxGetImageSlot(const VCXMultiImage* m, int32_t i) {
  return static_cast<VCXLayeredImage*>(vcxGetSlot(vcxSlotAt(m, i)));
}
inline void vcxSetImageSlot(VCXMultiImage* m, int32_t i, VCXLayeredImage* image) {
  vcxSetSlot(vcxSlotAt(m, i), image);
}
inline VCXImage* vcxGetLayerSlot(const VCXLayeredImage* l, int32_t i) {
  return static_cast<VCXImage*>(vcxGetSlot(vcxSlotAt(l, i)));
}
inline void vcxSetLayerSlot(VCXLayeredImage* l, int32_t i, VCXImage* layer) {
  vcxSetSlot(vcxSlotAt(l, i), layer);
}
inline uint8_t* vcxGetPixelSlot(const VCXImage* image) {
  return static_cast<uint8_t*>(vcxGetSlot(vcxRawPayload(image)));
}
inline void vcxSetPixelSlot(VCXImage* image, void* pixels) {
  vcxSetSlot(vcxRawPayload(image), pixels);
}
inline VCXPalette* vcxGetImagePalette(const VCXImage* image) {
  return image->palette;
}
inline void vcxSetImagePalette(VCXImage* image, VCXPalette* palette) {
  image->palette = palette;
}
inline VCXPaletteEntry* vcxGetPaletteEntries(const VCXPalette* palette) {
  return reinterpret_cast<VCXPaletteEntry*>(vcxRawPayload(palette));
}
inline VCXFileTypeExtension* vcxGetFileTypeExtensions(const VCXFileType* type) {
  return reinterpret_cast<VCXFileTypeExtension*>(vcxRawPayload(type));
}

// Host services (standard Win32 convention).
typedef void(WINAPI* VCXServiceFunction)(void);
typedef VCXServiceFunction(WINAPI* VCXGetServiceProc)(uint32_t serviceId);

typedef int32_t(WINAPI* VCXGetLastErrorService)(void);
typedef int32_t(WINAPI* VCXGetOptionService)(uint32_t optionId);
typedef int32_t(WINAPI* VCXGetMetricService)(uint32_t metricId);
typedef uint32_t(WINAPI* VCXGetColorService)(uint32_t colorId);
typedef int32_t(WINAPI* VCXReservedService)(int32_t, int32_t, int32_t);
typedef VCXPalette*(WINAPI* VCXCreatePaletteService)(const VCXPalette* request);
typedef VCXImage*(WINAPI* VCXCreateImageService)(const VCXImage* request);
typedef VCXLayeredImage*(WINAPI* VCXCreateLayeredImageService)(const VCXLayeredImage* request);
typedef VCXMultiImage*(WINAPI* VCXCreateMultiImageService)(const VCXMultiImage* request);
typedef VCXFileType*(WINAPI* VCXCreateFileTypeService)(const VCXFileType* request);
typedef void(WINAPI* VCXFreePaletteService)(VCXPalette* palette);
typedef void(WINAPI* VCXFreeImageService)(VCXImage* image);
typedef void(WINAPI* VCXFreeLayeredImageService)(VCXLayeredImage* image);
typedef void(WINAPI* VCXFreeMultiImageService)(VCXMultiImage* image);
typedef void(WINAPI* VCXFreeFileTypeService)(VCXFileType* type);
typedef VCXPalette*(WINAPI* VCXClonePaletteService)(const VCXPalette* palette);
typedef VCXImage*(WINAPI* VCXCloneImageService)(const VCXImage* image);
typedef VCXLayeredImage*(WINAPI* VCXCloneLayeredImageService)(const VCXLayeredImage* image);
typedef VCXImage*(WINAPI* VCXConvertImageService)(VCXImage* image, uint32_t format,
                                                   int32_t freeSource);
typedef VCXLayeredImage*(WINAPI* VCXConvertLayeredImageService)(VCXLayeredImage* image,
                                                                 uint32_t format,
                                                                 int32_t freeSource);
typedef VCXImage*(WINAPI* VCXResampleImageService)(VCXImage* image, int32_t width, int32_t height,
                                                    int32_t method, const void* options,
                                                    int32_t freeSource);
typedef VCXLayeredImage*(WINAPI* VCXResampleLayeredImageService)(VCXLayeredImage* image,
                                                                  int32_t width, int32_t height,
                                                                  int32_t method,
                                                                  const void* options,
                                                                  int32_t freeSource);
typedef VCXLayeredImage*(WINAPI* VCXFlattenService)(VCXLayeredImage* image, int32_t freeSource);
typedef int32_t(WINAPI* VCXPremultiplyService)(VCXImage* image);

// Plug-in exports (C convention).
typedef uint32_t(__cdecl* VCXGetSDKVersionProc)(void);
typedef uint32_t(__cdecl* VCXGetFeaturesProc)(void);
typedef void(__cdecl* VCXGetNameProc)(char* buffer, int len);
typedef uint32_t(__cdecl* VCXGetVersionProc)(void);
typedef int(__cdecl* VCXGetLastErrorProc)(char* buffer, int len);
typedef int(__cdecl* VCXLinkProc)(int reserved, uint32_t sdkVersion, VCXGetServiceProc getService);
typedef int(__cdecl* VCXAboutProc)(HWND parent);
typedef VCXFileType*(__cdecl* VCXGetFileTypeProc)(void);
typedef int(__cdecl* VCXCanImportProc)(const char* path, int* outType, VCXLayeredImage** preview,
                                       char* description, int descriptionLen);
typedef VCXMultiImage*(__cdecl* VCXImportProc)(HWND parent, const char* path, int* outType);
typedef int(__cdecl* VCXCanExportProc)(int type, VCXMultiImage* document, int* outFlags);
typedef int(__cdecl* VCXExportProc)(HWND parent, const char* path, int type,
                                    VCXMultiImage* document);

enum { VCX_FEATURE_IMPORT = 4, VCX_FEATURE_EXPORT = 8 };
enum { VCX_LOSS_MASK = 1, VCX_LOSS_LAYERS = 2 };
