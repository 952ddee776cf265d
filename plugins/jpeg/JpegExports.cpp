// The exports of the JPEG plug-in (import only); the shared ones are in the shared part.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include "plugins/jpeg/JpegDecoder.h"
#include "plugins/shared/VcxExports.h"
#include "plugins/shared/VcxShared.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

enum { TYPE_JPEG = 1 };

const VcxPluginInfo kInfo = {"JPEG", "JPEG import plug-in for Vellumcraft",
                             "Decoding by the Independent JPEG Group's library"};
const char* const kExtensions[] = {"JPG", "JPEG"};

// The picture as a one-layer layered image; null when it cannot be wrapped (a depth other
// than 8 or 24 bits, or a record the host cannot make).
VCXLayeredImage* WrapPicture(const JpegPicture& picture) {
  uint32_t format;
  if (picture.bitsPerPixel == 8)
    format = VCX_FORMAT_8;
  else if (picture.bitsPerPixel == 24)
    format = VCX_FORMAT_24;
  else
    return nullptr;
  VCXImage* layer =
      vcxHostCreateImage(vcxImageRequest(VCX_KIND_COLOR, format, picture.width, picture.height, ""));
  if (!layer)
    return nullptr;
  const size_t bytes = static_cast<size_t>(CalcRowBytes(picture.width, picture.bitsPerPixel) *
                                           static_cast<uint64_t>(picture.height));
  uint8_t* pixels = vcxGetPixelSlot(layer);
  if (bytes && (!pixels || !picture.pixels.data || picture.pixels.size < bytes)) {
    vcxHostFreeImage(layer);
    return nullptr;
  }
  if (bytes)
    std::memcpy(pixels, picture.pixels.data, bytes);
  VCXLayeredImage* image =
      vcxHostCreateLayeredImage(vcxLayeredImageRequest(0, picture.width, picture.height, 1));
  if (!image) {
    vcxHostFreeImage(layer);
    return nullptr;
  }
  vcxSetLayerSlot(image, 0, layer);
  return image;
}

}  // namespace

VCX_EXPORT uint32_t __cdecl VCXGetFeatures() {
  return VCX_FEATURE_IMPORT;
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstImportableFileType() {
  return vcxMakeFileType(TYPE_JPEG, "JPEG image", kExtensions, 2);
}

VCX_EXPORT int __cdecl VCXCanImport(const char* path, int* outType, VCXLayeredImage** preview,
                                    char* description, int descriptionSize) {
  return vcxGuardExport(0, [&]() -> int {
    if (preview && *preview) {
      vcxHostFreeLayeredImage(*preview);
      *preview = nullptr;
    }
    JpegInfo info;
    JpegPicture picture;
    JpegReadFile(path, info, preview ? &picture : nullptr);
    if (description && descriptionSize > 0)
      std::snprintf(description, static_cast<size_t>(descriptionSize), "JPEG image\n%dx%d %s (%d bpp)",
                    info.width, info.height, JpegColorSpaceName(info.colorSpace), 8 * info.components);
    if (preview) {
      *preview = WrapPicture(picture);
      vcxThrowIf(!*preview, VCX_ERROR_DATA);
    }
    if (outType)
      *outType = TYPE_JPEG;
    return 1;
  });
}

VCX_EXPORT VCXMultiImage* __cdecl VCXImport(HWND, const char* path, int* outType) {
  return vcxGuardExport<VCXMultiImage*>(nullptr, [&]() -> VCXMultiImage* {
    JpegInfo info;
    JpegPicture picture;
    JpegReadFile(path, info, &picture);
    VCXLayeredImage* image = WrapPicture(picture);
    vcxThrowIf(!image, VCX_ERROR_DATA);
    VCXMultiImage* multi = vcxWrapImage(image);
    if (outType)
      *outType = TYPE_JPEG;
    return multi;
  });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return vcxSharedDllMain(instance, reason, &kInfo);
}
