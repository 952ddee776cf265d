// The exports of the PSD plug-in (import only); the shared ones are in the shared part.
#include <windows.h>
#include <cstring>
#include <vector>
#include "plugins/psd/PsdDialog.h"
#include "plugins/psd/PsdFile.h"
#include "plugins/shared/VcxExports.h"
#include "plugins/shared/VcxShared.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

enum { TYPE_PSD = 1 };

const VcxPluginInfo kInfo = {"PSD", "Photoshop document import plug-in for Vellumcraft",
                             "Layers or the composite of Photoshop documents"};
const char* const kExtensions[] = {"PSD"};

// The source chosen in the dialog, kept until the plug-in is unloaded.
int g_source = PSD_SOURCE_COMPOSITE;

VCXLayeredImage* MakeLayeredImage(const PsdHeader& header, std::vector<VCXImage*>& layers) {
  VCXLayeredImage* image = vcxHostCreateLayeredImage(vcxLayeredImageRequest(
      0, static_cast<int32_t>(header.width), static_cast<int32_t>(header.height),
      static_cast<int32_t>(layers.size())));
  if (!image) {
    for (VCXImage* layer : layers)
      vcxHostFreeImage(layer);
    layers.clear();
    throw CVcxError(VCX_ERROR_DATA);
  }
  for (size_t i = 0; i < layers.size(); ++i)
    vcxSetLayerSlot(image, static_cast<int32_t>(i), layers[i]);
  layers.clear();
  return image;
}

VCXLayeredImage* ReadComposite(CVcxReader& reader, const PsdDocument& document) {
  std::vector<VCXImage*> layers(1, PsdMakeComposite(reader, document));
  return MakeLayeredImage(document.header, layers);
}

}  // namespace

VCX_EXPORT uint32_t __cdecl VCXGetFeatures() {
  return VCX_FEATURE_IMPORT;
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstImportableFileType() {
  return vcxMakeFileType(TYPE_PSD, "Photoshop document", kExtensions, 1);
}

VCX_EXPORT int __cdecl VCXCanImport(const char* path, int* outType, VCXLayeredImage** preview,
                                    char* description, int descriptionSize) {
  return vcxGuardExport(0, [&]() -> int {
    if (preview && *preview) {
      vcxHostFreeLayeredImage(*preview);
      *preview = nullptr;
    }
    CVcxFile file(vcxOpenForRead(path));
    CVcxReader reader(file.handle);
    uint8_t raw[PSD_HEADER_SIZE];
    reader.Read(raw, sizeof raw);
    PsdHeader header;
    PsdParseHeader(raw, header);
    PsdDescribe(header, description, descriptionSize);
    if (preview) {
      reader.Seek(0);
      PsdDocument document;
      PsdReadDocument(reader, document, false);
      *preview = ReadComposite(reader, document);
    }
    if (outType)
      *outType = TYPE_PSD;
    return 1;
  });
}

VCX_EXPORT VCXMultiImage* __cdecl VCXImport(HWND parent, const char* path, int* outType) {
  return vcxGuardExport<VCXMultiImage*>(nullptr, [&]() -> VCXMultiImage* {
    CVcxFile file(vcxOpenForRead(path));
    CVcxReader reader(file.handle);
    PsdDocument document;
    PsdReadDocument(reader, document, true);
    int source = PSD_SOURCE_COMPOSITE;
    if (document.layerCount != 0) {
      source = g_source;
      const bool chosen = ShowPsdImportDialog(parent, source);
      vcxThrowIf(!chosen, VCX_ERROR_CANCELLED);
      g_source = source;
    }
    VCXLayeredImage* image = nullptr;
    if (source == PSD_SOURCE_LAYERS) {
      // The first channel image beyond those the mode needs stands in for missing
      // transparency channels.
      CVcxBlock extra;
      const uint32_t needed = PsdNeededChannels(document);
      if (document.header.channels > needed)
        PsdReadComposite(reader, document, needed, 1, extra);
      std::vector<VCXImage*> layers = PsdMakeLayers(document, extra.data, extra.size);
      // A document whose layers are all empty or group markers gives its composite.
      if (!layers.empty())
        image = MakeLayeredImage(document.header, layers);
    }
    if (!image)
      image = ReadComposite(reader, document);
    file.Close();
    VCXMultiImage* multi = vcxWrapImage(image);
    if (outType)
      *outType = TYPE_PSD;
    return multi;
  });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return vcxSharedDllMain(instance, reason, &kInfo);
}
