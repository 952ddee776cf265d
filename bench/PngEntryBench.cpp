// Size and time of the Rastrel plug-in's 256 x 256 PNG icon entries (an ICO export with the
// multipass search) against optipng -o7 and zopflipng -m on the same RGBA pixels. The
// plug-in is loaded from the Plugins folder beside the benchmark, as the editor loads it,
// and linked with a resolver that answers "no export dialogs", so the section runs alone.
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "bench/Bench.h"
#include "bench/PeerPictures.h"
#include "plugins/sdk/VCXRecords.h"
#include "shell/HostServices.h"

namespace {

int32_t WINAPI NoDialogsGetOption(uint32_t id) {
  return id == VCX_OPTION_NO_EXPORT_DIALOGS ? 1 : VcsGetOption(id);
}

VCXServiceFunction WINAPI NoDialogsResolver(uint32_t id) {
  if (id == VCX_SC_GET_OPTION)
    return reinterpret_cast<VCXServiceFunction>(reinterpret_cast<void*>(NoDialogsGetOption));
  return GetServiceProc(id);
}

template <class T>
T Bind(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The size of the first entry of an icon file, or 0.
uint32_t FirstEntrySize(const std::vector<uint8_t>& ico) {
  if (ico.size() < 22)
    return 0;
  return ico[14] | ico[15] << 8 | ico[16] << 16 | static_cast<uint32_t>(ico[17]) << 24;
}

// A document of one 32-bit image of one layer holding the picture's pixels.
VCXMultiImage* MakeDocument(const bench::PeerPicture& picture) {
  VCXLayeredImage request = {};
  request.headerSize = sizeof request;
  request.version = 1;
  request.format = VCX_FORMAT_32;
  request.width = picture.width;
  request.height = picture.height;
  request.layerCount = 1;
  VCXLayeredImage* image = VcsCreateLayeredImage(&request);
  VCXImage layer = {};
  layer.headerSize = sizeof layer;
  layer.kind = VCX_KIND_COLOR;
  layer.format = VCX_FORMAT_32;
  layer.width = picture.width;
  layer.height = picture.height;
  layer.opacity = 1.0f;
  VCXImage* color = VcsCreateImage(&layer);
  VCXMultiImage multiRequest = {sizeof(VCXMultiImage), 0, 1};
  VCXMultiImage* document = VcsCreateMultiImage(&multiRequest);
  if (!image || !color || !document) {
    VcsFreeImage(color);
    VcsFreeLayeredImage(image);
    VcsFreeMultiImage(document);
    return nullptr;
  }
  uint8_t* bgra = vcxGetPixelSlot(color);
  for (size_t i = 0; i < picture.rgba.size(); i += 4) {
    bgra[i] = picture.rgba[i + 2];
    bgra[i + 1] = picture.rgba[i + 1];
    bgra[i + 2] = picture.rgba[i];
    bgra[i + 3] = picture.rgba[i + 3];
  }
  vcxSetLayerSlot(image, 0, color);
  vcxSetImageSlot(document, 0, image);
  return document;
}

}  // namespace

VC_BENCH("PNG icon entry") {
  const std::vector<bench::PeerPicture> pictures = bench::LoadPeerPictures();
  if (pictures.empty())
    return;
  HMODULE module = LoadLibraryA((bench::ExeFolder() + "Plugins\\Rastrel.vcplugin").c_str());
  if (!module) {
    std::printf("Plugins\\Rastrel.vcplugin not found\n");
    return;
  }
  auto link = Bind<VCXLinkProc>(module, "VCXLink");
  auto exportFile = Bind<VCXExportProc>(module, "VCXExport");
  if (!link || !exportFile || !link(0, VCX_SDK_VERSION, NoDialogsResolver)) {
    std::printf("Rastrel.vcplugin cannot be linked\n");
    FreeLibrary(module);
    return;
  }
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  const std::string out = std::string(folder) + "vc-bench-png-entry.ico";

  std::printf("RGBA entries in bytes; plug-in: ICO export, multipass search, ms per file (fastest of 2);\n"
              "peers: ms of one run outside Wine\n");
  std::printf("%-20s %9s %6s %12s %6s %13s %6s %9s %11s\n", "picture", "plug-in", "ms", "optipng -o7", "ms",
              "zopflipng -m", "ms", "/optipng", "/zopflipng");
  uint64_t ours = 0, optipng = 0, zopflipng = 0;
  for (const bench::PeerPicture& picture : pictures) {
    VCXMultiImage* document = MakeDocument(picture);
    double best = 0;
    uint32_t size = 0;
    for (int run = 0; run < 2 && document; ++run) {
      const double start = bench::Seconds();
      const bool written = exportFile(nullptr, out.c_str(), 2, document) == 1;
      const double seconds = bench::Seconds() - start;
      size = written ? FirstEntrySize(bench::ReadAll(out)) : 0;
      best = run == 0 ? seconds : std::min(best, seconds);
    }
    VcsFreeMultiImage(document);
    DeleteFileA(out.c_str());
    if (!size) {
      std::printf("%-20s the plug-in could not write the entry\n", picture.name.c_str());
      continue;
    }
    ours += size;
    optipng += picture.optipngBytes;
    zopflipng += picture.zopflipngBytes;
    std::printf("%-20s %9u %6.0f %12u %6.0f %13u %6.0f %9.4f %11.4f\n", picture.name.c_str(), size, best * 1e3,
                picture.optipngBytes, picture.optipngMs, picture.zopflipngBytes, picture.zopflipngMs,
                double(size) / picture.optipngBytes, double(size) / picture.zopflipngBytes);
  }
  if (optipng && zopflipng)
    std::printf("%-20s %9llu %6s %12llu %6s %13llu %6s %9.4f %11.4f\n", "all", static_cast<unsigned long long>(ours),
                "", static_cast<unsigned long long>(optipng), "", static_cast<unsigned long long>(zopflipng), "",
                double(ours) / optipng, double(ours) / zopflipng);
  FreeLibrary(module);
}
