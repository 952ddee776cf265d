// The exports of the TGA plug-in (import and export); the shared ones are in the shared part.
#include <windows.h>
#include <cstring>
#include "plugins/shared/VcxExports.h"
#include "plugins/shared/VcxShared.h"
#include "plugins/sdk/VCXRecordAccess.h"
#include "plugins/tga/TgaDialog.h"
#include "plugins/tga/TgaFile.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

enum { TYPE_TGA = 1 };

const VcxPluginInfo kInfo = {"TGA", "TGA import and export plug-in for Vellumcraft",
                             "Truevision Targa files, raw and run-length encoded"};
const char* const kExtensions[] = {"TGA"};

// The options of each depth's dialog, kept until the plug-in is unloaded.
TgaOptions g_options8 = {false, false, TGA_OUTPUT_24, false};
TgaOptions g_options24 = {false, false, TGA_OUTPUT_24, false};
TgaOptions g_options32 = {false, false, TGA_OUTPUT_24, false};

// A layered image freed at the end of the scope.
struct OwnedLayeredImage {
  VCXLayeredImage* image = nullptr;
  ~OwnedLayeredImage() { vcxHostFreeLayeredImage(image); }
};

// The picture of the file as a one-layer layered image.
VCXLayeredImage* ReadFileImage(const char* path, bool readFooter) {
  CVcxFile file(vcxOpenForRead(path));
  CVcxReader reader(file.handle);
  TgaPicture picture;
  TgaReadPicture(reader, picture);
  // The footer is read from the end when the file can hold one; its content is not checked.
  if (readFooter && reader.Size() >= TGA_FOOTER_SIZE) {
    uint8_t footer[TGA_FOOTER_SIZE];
    reader.Seek(reader.Size() - TGA_FOOTER_SIZE);
    reader.Read(footer, sizeof footer);
  }
  file.Close();
  VCXImage* layer = TgaMakeImage(picture);
  return vcxWrapLayer(layer, picture.header.width, picture.header.height);
}

// The one layered image of a document; 0 images is error 4, several error 5.
VCXLayeredImage* OnlyImage(const VCXMultiImage* document, int32_t noneCode) {
  VCXLayeredImage* found = nullptr;
  int32_t count = 0;
  for (int32_t i = 0; i < document->count; ++i) {
    if (VCXLayeredImage* image = vcxGetImageSlot(document, i)) {
      found = image;
      ++count;
    }
  }
  vcxThrowIf(count == 0, noneCode);
  vcxThrowIf(count > 1, VCX_ERROR_FORMAT);
  return found;
}

bool Writable(const VCXImage* layer) {
  if (!layer || layer->kind != VCX_KIND_COLOR)
    return false;
  const uint32_t depth = GetPixelDepth(layer->format);
  return depth == 8 || depth == 24 || depth == 32;
}

TgaOptions& OptionsFor(uint32_t depth) {
  return depth == 8 ? g_options8 : depth == 24 ? g_options24 : g_options32;
}

}  // namespace

VCX_EXPORT uint32_t __cdecl VCXGetFeatures() {
  return VCX_FEATURE_IMPORT | VCX_FEATURE_EXPORT;
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstImportableFileType() {
  return vcxMakeFileType(TYPE_TGA, "Targa bitmap", kExtensions, 1);
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstExportableFileType() {
  return vcxMakeFileType(TYPE_TGA, "Targa bitmap", kExtensions, 1);
}

VCX_EXPORT VCXFileType* __cdecl VCXGetNextExportableFileType() {
  return nullptr;
}

VCX_EXPORT int __cdecl VCXCanImport(const char* path, int* outType, VCXLayeredImage** preview,
                                    char* description, int descriptionSize) {
  return vcxGuardExport(0, [&]() -> int {
    if (preview && *preview) {
      vcxHostFreeLayeredImage(*preview);
      *preview = nullptr;
    }
    TgaHeader header;
    {
      CVcxFile file(vcxOpenForRead(path));
      uint8_t raw[TGA_HEADER_SIZE];
      vcxReadFile(file.handle, raw, sizeof raw);
      TgaParseHeader(raw, header);
      TgaCheckHeader(header);
    }
    TgaDescribe(header, description, descriptionSize);
    if (preview) {
      try {
        *preview = ReadFileImage(path, false);
      } catch (...) {
        throw CVcxError(VCX_ERROR_DATA);
      }
    }
    if (outType)
      *outType = TYPE_TGA;
    return 1;
  });
}

VCX_EXPORT VCXMultiImage* __cdecl VCXImport(HWND, const char* path, int* outType) {
  return vcxGuardExport<VCXMultiImage*>(nullptr, [&]() -> VCXMultiImage* {
    VCXMultiImage* multi = vcxWrapImage(ReadFileImage(path, true));
    if (outType)
      *outType = TYPE_TGA;
    return multi;
  });
}

VCX_EXPORT int __cdecl VCXCanExport(int type, VCXMultiImage* document, int* outFlags) {
  return vcxGuardExport(0, [&]() -> int {
    vcxThrowIf(!document, VCX_ERROR_PARAMETER);
    vcxThrowIf(type != TYPE_TGA, VCX_ERROR_FORMAT);
    const VCXLayeredImage* image = OnlyImage(document, VCX_ERROR_FORMAT);
    int flags = 0;
    if (image->layerCount > 1)
      flags = VCX_LOSS_LAYERS;
    else
      vcxThrowIf(image->layerCount != 1 || !Writable(vcxGetLayerSlot(image, 0)), VCX_ERROR_FORMAT);
    if (outFlags)
      *outFlags = flags;
    return 1;
  });
}

VCX_EXPORT int __cdecl VCXExport(HWND parent, const char* path, int type, VCXMultiImage* document) {
  return vcxGuardExport(0, [&]() -> int {
    vcxThrowIf(!path || !document, VCX_ERROR_PARAMETER);
    vcxThrowIf(type != TYPE_TGA, VCX_ERROR_FORMAT);
    VCXLayeredImage* image = OnlyImage(document, VCX_ERROR_DATA);
    // Several layers are merged into a copy, and so is one hidden or faded colour layer; the
    // document itself stays the host's.
    OwnedLayeredImage merged;
    if (image->layerCount > 1 || (Writable(image->layerCount == 1 ? vcxGetLayerSlot(image, 0) : nullptr) &&
                                  vcxNeedsFlattening(image))) {
      merged.image = vcxHostFlatten(image);
      vcxThrowIf(!merged.image, VCX_ERROR_MEMORY);
      image = merged.image;
    }
    const VCXImage* layer = image->layerCount >= 1 ? vcxGetLayerSlot(image, 0) : nullptr;
    vcxThrowIf(!layer, VCX_ERROR_DATA);
    vcxThrowIf(!Writable(layer), VCX_ERROR_FORMAT);

    const uint32_t depth = GetPixelDepth(layer->format);
    TgaOptions options = OptionsFor(depth);
    const bool chosen = TgaShowOptionsDialog(parent, depth, options);
    vcxThrowIf(!chosen, VCX_ERROR_CANCELLED);
    OptionsFor(depth) = options;
    TgaWriteFile(path, layer, options);
    return 1;
  });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return vcxSharedDllMain(instance, reason, &kInfo);
}
