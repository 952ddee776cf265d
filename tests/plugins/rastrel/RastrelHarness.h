#pragma once
// Loads Rastrel.vcplugin from the build's Plugins folder, binds its exports by name and
// links it with the host's services; helpers to build records, icons and PNG streams, read
// fixtures and watch the plug-in's heap requests.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "common/ImportStandIn.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecords.h"
#include "shell/HostServices.h"
#include "common/PeView.h"

struct RastrelPlugin {
  HMODULE module = nullptr;
  VCXGetSDKVersionProc getSDKVersion = nullptr;
  VCXGetFeaturesProc getFeatures = nullptr;
  VCXGetNameProc getName = nullptr;
  VCXGetVersionProc getVersion = nullptr;
  VCXGetLastErrorProc getLastError = nullptr;
  VCXLinkProc link = nullptr;
  VCXAboutProc about = nullptr;
  VCXGetFileTypeProc firstImport = nullptr;
  VCXGetFileTypeProc nextImport = nullptr;
  VCXGetFileTypeProc firstExport = nullptr;
  VCXGetFileTypeProc nextExport = nullptr;
  VCXCanImportProc canImport = nullptr;
  VCXImportProc import = nullptr;
  VCXCanExportProc canExport = nullptr;
  VCXExportProc exportFile = nullptr;

  // The error code and message of the last call.
  int LastError(std::string* message = nullptr) const {
    char text[1024] = {};
    const int code = getLastError(text, sizeof text);
    if (message)
      *message = text;
    return code;
  }
};

inline std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// The folder of the fixtures: the build's bin folder is build/<dir>/bin in the tree.
inline std::string FixtureFolder() {
  return ExeFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\";
}

inline std::string TempPath(const char* name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + "vc-rastrel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

template <class T>
void Bind(HMODULE module, T& function, const char* name) {
  function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  ASSERT_NE(function, nullptr) << name;
}

// Whether the plug-in shows its export option dialogs: off unless a test asks for them.
inline bool& ExportDialogsShown() {
  static bool shown = false;
  return shown;
}
inline int32_t WINAPI HarnessGetOption(uint32_t id) {
  if (id == VCX_OPTION_NO_EXPORT_DIALOGS)
    return ExportDialogsShown() ? 0 : 1;
  return VcsGetOption(id);
}
// The host's resolver, with the option service above.
inline VCXServiceFunction WINAPI HarnessResolver(uint32_t id) {
  if (id == VCX_SC_GET_OPTION)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(HarnessGetOption));
  return GetServiceProc(id);
}

// The host's preview metrics as a test sets them: the largest pixel count of a preview and the
// side of the preview box. PreviewMetrics links the plug-in with them for its lifetime.
inline int32_t g_previewPixels = 30000000;
inline int32_t g_previewSide = 184;
inline int32_t WINAPI TestMetric(uint32_t id) {
  switch (id) {
    case VCX_METRIC_PREVIEW_PIXELS:
      return g_previewPixels;
    case VCX_METRIC_PREVIEW_WIDTH:
    case VCX_METRIC_PREVIEW_HEIGHT:
      return g_previewSide;
    default:
      return VcsGetMetric(id);
  }
}
inline VCXServiceFunction WINAPI MetricResolver(uint32_t id) {
  if (id == VCX_SC_GET_METRIC)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(TestMetric));
  return HarnessResolver(id);
}

// Loaded once for the whole test program and linked with the harness's resolver.
inline RastrelPlugin& Rastrel() {
  static RastrelPlugin plugin;
  if (!plugin.module) {
    plugin.module = LoadLibraryA((ExeFolder() + "Plugins\\Rastrel.vcplugin").c_str());
    EXPECT_NE(plugin.module, nullptr) << "Rastrel.vcplugin not found";
    if (!plugin.module)
      return plugin;
    HMODULE m = plugin.module;
    Bind(m, plugin.getSDKVersion, "VCXGetSDKVersion");
    Bind(m, plugin.getFeatures, "VCXGetFeatures");
    Bind(m, plugin.getName, "VCXGetName");
    Bind(m, plugin.getVersion, "VCXGetVersion");
    Bind(m, plugin.getLastError, "VCXGetLastError");
    Bind(m, plugin.link, "VCXLink");
    Bind(m, plugin.about, "VCXAbout");
    Bind(m, plugin.firstImport, "VCXGetFirstImportableFileType");
    Bind(m, plugin.nextImport, "VCXGetNextImportableFileType");
    Bind(m, plugin.firstExport, "VCXGetFirstExportableFileType");
    Bind(m, plugin.nextExport, "VCXGetNextExportableFileType");
    Bind(m, plugin.canImport, "VCXCanImport");
    Bind(m, plugin.import, "VCXImport");
    Bind(m, plugin.canExport, "VCXCanExport");
    Bind(m, plugin.exportFile, "VCXExport");
    EXPECT_EQ(plugin.link(0, VCX_SDK_VERSION, HarnessResolver), 1);
  }
  return plugin;
}

class PreviewMetrics {
public:
  PreviewMetrics(int32_t side, int32_t pixels) {
    g_previewSide = side;
    g_previewPixels = pixels;
    EXPECT_EQ(Rastrel().link(0, VCX_SDK_VERSION, MetricResolver), 1);
  }
  ~PreviewMetrics() { Rastrel().link(0, VCX_SDK_VERSION, HarnessResolver); }
  PreviewMetrics(const PreviewMetrics&) = delete;
  PreviewMetrics& operator=(const PreviewMetrics&) = delete;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return bytes;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty())
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

inline bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

inline VCXImage* FindLayer(const VCXLayeredImage* image, int kind) {
  for (int32_t i = 0; i < image->layerCount; ++i) {
    VCXImage* layer = vcxGetLayerSlot(image, i);
    if (layer && layer->kind == kind)
      return layer;
  }
  return nullptr;
}

// A host-made layered image with a colour layer (palette of paletteCount entries when
// given) and optionally a mask; pixels and palette zeroed.
inline VCXLayeredImage* MakeIcon(uint32_t format, int32_t width, int32_t height, int paletteCount,
                                 bool withMask) {
  VCXLayeredImage request = vcxLayeredImageRequest(format, width, height, withMask ? 2 : 1);
  VCXLayeredImage* image = VcsCreateLayeredImage(&request);
  VCXImage layer = vcxImageRequest(VCX_KIND_COLOR, format, width, height, "");
  VCXImage* color = VcsCreateImage(&layer);
  const uint64_t bytes = GetRecordRowBytes(format, width) * static_cast<uint64_t>(height);
  if (bytes)
    std::memset(vcxGetPixelSlot(color), 0, static_cast<size_t>(bytes));
  if (paletteCount) {
    VCXPalette p = {sizeof(VCXPalette), 1, 0, paletteCount};
    VCXPalette* palette = VcsCreatePalette(&p);
    std::memset(vcxGetPaletteEntries(palette), 0, sizeof(VCXPaletteEntry) * paletteCount);
    vcxSetImagePalette(color, palette);
  }
  vcxSetLayerSlot(image, 0, color);
  if (withMask) {
    layer.kind = VCX_KIND_MASK;
    layer.format = VCX_FORMAT_1;
    std::strcpy(layer.name, "MASK");
    VCXImage* mask = VcsCreateImage(&layer);
    const uint64_t maskBytes = GetRecordRowBytes(VCX_FORMAT_1, width) * static_cast<uint64_t>(height);
    if (maskBytes)
      std::memset(vcxGetPixelSlot(mask), 0xFF, static_cast<size_t>(maskBytes));
    vcxSetLayerSlot(image, 1, mask);
  }
  return image;
}

inline VCXMultiImage* Wrap(std::vector<VCXLayeredImage*> images) {
  VCXMultiImage request = {sizeof(VCXMultiImage), 0, static_cast<int32_t>(images.size())};
  VCXMultiImage* multi = VcsCreateMultiImage(&request);
  for (size_t i = 0; i < images.size(); ++i)
    vcxSetImageSlot(multi, static_cast<int32_t>(i), images[i]);
  return multi;
}

// A one-entry icon: directory, 40-byte header, palette, rows of the given sizes (zeros).
inline std::vector<uint8_t> SmallIcon(int32_t width, int32_t storedHeight, uint16_t bpp) {
  std::vector<uint8_t> b(6 + 16 + 40, 0);
  SetLe16(b, 2, 1);
  SetLe16(b, 4, 1);
  SetLe32(b, 18, 22);
  SetLe32(b, 22, 40);
  SetLe32(b, 26, static_cast<uint32_t>(width));
  SetLe32(b, 30, static_cast<uint32_t>(storedHeight));
  SetLe16(b, 34, 1);
  SetLe16(b, 36, bpp);
  const int64_t h = (storedHeight < 0 ? -int64_t(storedHeight) : storedHeight) / 2;
  const int64_t rows = ((int64_t(bpp) * width + 31) / 32 * 4 + (int64_t(width) + 31) / 32 * 4) * h;
  const size_t palette = bpp <= 8 ? 4u << bpp : 0;
  if (rows >= 0 && rows < (1 << 20))
    b.resize(b.size() + palette + static_cast<size_t>(rows), 0);
  SetLe32(b, 14, static_cast<uint32_t>(b.size() - 22));
  return b;
}

// A 32-bit picture with an icon's AND mask, rows top-down: B, G, R, A bytes per pixel and
// the pixels the mask makes transparent; its stored rows and the record layers it must give.
struct Pixels32 {
  int32_t width, height;
  std::vector<uint8_t> bgra;
  std::vector<bool> transparent;

  // Distinct colours, every fourth byte 0, every fifth pixel transparent.
  Pixels32(int32_t w, int32_t h) : width(w), height(h), bgra(4 * size_t(w) * h), transparent(size_t(w) * h) {
    for (size_t i = 0; i < transparent.size(); ++i) {
      bgra[4 * i] = static_cast<uint8_t>(7 * i + 1);
      bgra[4 * i + 1] = static_cast<uint8_t>(255 - 3 * i);
      bgra[4 * i + 2] = static_cast<uint8_t>(i * i);
      transparent[i] = i % 5 == 0;
    }
  }
  // Alpha rising across the columns from 0 to 255, under an AND mask set where it is below
  // 128, as many writers store a 32-bit entry.
  void AlphaRamp() {
    for (size_t i = 0; i < transparent.size(); ++i) {
      const int32_t x = static_cast<int32_t>(i % width);
      bgra[4 * i + 3] = static_cast<uint8_t>(255 * x / (width - 1));
      transparent[i] = bgra[4 * i + 3] < 128;
    }
  }
  // The colour rows as a DIB stores them, bottom-up.
  std::vector<uint8_t> ColorRows() const {
    std::vector<uint8_t> rows;
    for (int32_t y = height - 1; y >= 0; --y)
      rows.insert(rows.end(), bgra.begin() + 4 * size_t(width) * y, bgra.begin() + 4 * size_t(width) * (y + 1));
    return rows;
  }
  // The AND rows (bit set = transparent), bottom-up and padded.
  std::vector<uint8_t> MaskRows() const {
    const size_t padded = (static_cast<size_t>(width) + 31) / 32 * 4;
    std::vector<uint8_t> rows;
    for (int32_t y = height - 1; y >= 0; --y) {
      std::vector<uint8_t> row(padded, 0);
      for (int32_t x = 0; x < width; ++x)
        if (transparent[size_t(width) * y + x])
          row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
  }
  // The colour layer: the pixels, every alpha 255 when opaque is set.
  std::vector<uint8_t> ColorLayer(bool opaque) const {
    std::vector<uint8_t> pixels = bgra;
    for (size_t i = 3; opaque && i < pixels.size(); i += 4)
      pixels[i] = 255;
    return pixels;
  }
  // The mask layer: unpadded rows, bit set = opaque (for a width of whole bytes: the bits
  // after the last pixel of a row are not the picture's). With allOpaque every bit is set.
  std::vector<uint8_t> MaskLayer(bool allOpaque = false) const {
    const size_t row = (static_cast<size_t>(width) + 7) / 8;
    std::vector<uint8_t> bits(row * height, 0);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        if (allOpaque || !transparent[size_t(width) * y + x])
          bits[row * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    return bits;
  }
};

// The pixel bytes of a layer.
inline std::vector<uint8_t> LayerBytes(const VCXImage* layer) {
  const uint8_t* p = vcxGetPixelSlot(layer);
  return std::vector<uint8_t>(p, p + GetRecordRowBytes(layer->format, layer->width) * layer->height);
}

// The CRC-32 of a PNG chunk.
inline uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// The PNG of the first entry of an icon file.
inline std::vector<uint8_t> FirstEntry(const std::vector<uint8_t>& ico) {
  const uint32_t size = Le32(ico, 6 + 8);
  const uint32_t offset = Le32(ico, 6 + 12);
  return std::vector<uint8_t>(ico.begin() + offset, ico.begin() + offset + size);
}

// The images a multi-image holds (its slots that are not null).
inline int32_t ImageCount(const VCXMultiImage* multi) {
  int32_t count = 0;
  for (int32_t i = 0; multi && i < multi->count; ++i)
    count += vcxGetImageSlot(multi, i) != nullptr;
  return count;
}

// An icon holding png, named by each of its entries.
inline std::vector<uint8_t> WrapPng(const std::vector<uint8_t>& png, uint16_t entries = 1) {
  const uint32_t at = 6 + 16u * entries;
  std::vector<uint8_t> ico(at, 0);
  SetLe16(ico, 2, 1);
  SetLe16(ico, 4, entries);
  for (uint32_t i = 0; i < entries; ++i) {
    SetLe32(ico, 6 + 16 * i + 8, static_cast<uint32_t>(png.size()));
    SetLe32(ico, 6 + 16 * i + 12, at);
  }
  ico.insert(ico.end(), png.begin(), png.end());
  return ico;
}

// The PNG with a chunk inserted after IHDR: its declared length, its type, and the bytes
// that follow the length field; the CRC is that of the bytes given.
inline std::vector<uint8_t> WithChunk(const std::vector<uint8_t>& png, uint32_t length, const char* type,
                                      const std::vector<uint8_t>& data) {
  std::vector<uint8_t> chunk = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  const uint32_t crc = Crc32(&chunk[4], chunk.size() - 4);
  for (int shift : {24, 16, 8, 0})
    chunk.push_back(static_cast<uint8_t>(crc >> shift));
  std::vector<uint8_t> b = png;
  b.insert(b.begin() + 33, chunk.begin(), chunk.end());
  return b;
}

// The largest single heap request the plug-in makes while a watch lives: its imports of
// malloc, calloc and realloc point at counting stand-ins until the watch ends.
class CPluginHeapWatch {
public:
  CPluginHeapWatch()
      : m_malloc(Cleared(), "malloc", reinterpret_cast<void*>(CountMalloc)),
        m_calloc(Rastrel().module, "calloc", reinterpret_cast<void*>(CountCalloc)),
        m_realloc(Rastrel().module, "realloc", reinterpret_cast<void*>(CountRealloc)) {}
  static size_t Largest() { return LargestSoFar(); }
  // The imports replaced (3 when the plug-in has all three).
  int Patched() const { return m_malloc.Installed() + m_calloc.Installed() + m_realloc.Installed(); }

private:
  static size_t& LargestSoFar() {
    static size_t largest = 0;
    return largest;
  }
  static HMODULE Cleared() {
    LargestSoFar() = 0;
    return Rastrel().module;
  }
  static void Note(size_t bytes) { LargestSoFar() = std::max(LargestSoFar(), bytes); }
  static void* CountMalloc(size_t n) {
    Note(n);
    return ImportStandIn::Real<void* (*)(size_t)>("malloc", "msvcrt.dll")(n);
  }
  static void* CountCalloc(size_t count, size_t n) {
    Note(n && count > SIZE_MAX / n ? SIZE_MAX : count * n);
    return ImportStandIn::Real<void* (*)(size_t, size_t)>("calloc", "msvcrt.dll")(count, n);
  }
  static void* CountRealloc(void* p, size_t n) {
    Note(n);
    return ImportStandIn::Real<void* (*)(void*, size_t)>("realloc", "msvcrt.dll")(p, n);
  }

  ImportStandIn m_malloc;
  ImportStandIn m_calloc;
  ImportStandIn m_realloc;
};
