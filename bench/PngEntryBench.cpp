// Size of a 256 x 256 PNG icon entry written by the Rastrel plug-in against the entry that
// ImageMagick's icon writer made of the same pixels (the fixture png-photo-256.ico), and
// the time of the plug-in's multipass search. The plug-in is loaded from the Plugins folder
// beside the benchmark, as the editor loads it.
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "bench/Bench.h"
#include "plugins/sdk/VCXRecords.h"
#include "shell/HostServices.h"

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return bytes;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 30)) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
  }
  CloseHandle(file);
  return bytes;
}

// The size of the first entry of an icon file, or 0.
uint32_t FirstEntrySize(const std::vector<uint8_t>& ico) {
  if (ico.size() < 22)
    return 0;
  return ico[14] | ico[15] << 8 | ico[16] << 16 | static_cast<uint32_t>(ico[17]) << 24;
}

template <class T>
T Bind(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

VC_BENCH("PNG icon entry") {
  const std::string fixture = ExeFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\png-photo-256.ico";
  const uint32_t magickSize = FirstEntrySize(ReadAll(fixture));
  if (!magickSize) {
    std::printf("fixture png-photo-256.ico not found\n");
    return;
  }
  HMODULE module = LoadLibraryA((ExeFolder() + "Plugins\\Rastrel.vcplugin").c_str());
  if (!module) {
    std::printf("Plugins\\Rastrel.vcplugin not found\n");
    return;
  }
  auto link = Bind<VCXLinkProc>(module, "VCXLink");
  auto import = Bind<VCXImportProc>(module, "VCXImport");
  auto exportFile = Bind<VCXExportProc>(module, "VCXExport");
  if (!link || !import || !exportFile || !link(0, VCX_SDK_VERSION, GetServiceProc)) {
    std::printf("Rastrel.vcplugin cannot be linked\n");
    FreeLibrary(module);
    return;
  }
  int type = 0;
  VCXMultiImage* photo = import(nullptr, fixture.c_str(), &type);
  if (!photo) {
    std::printf("png-photo-256.ico cannot be imported\n");
    FreeLibrary(module);
    return;
  }
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  const std::string out = std::string(folder) + "vc-bench-png-entry.ico";
  bool written = true;
  const double seconds = bench::TimePerRun(1.0, [&] {
    written = written && exportFile(nullptr, out.c_str(), 2, photo) == 1;
  });
  const uint32_t ourSize = written ? FirstEntrySize(ReadAll(out)) : 0;
  std::printf("256x256 RGBA entry: plug-in %u bytes (multipass, %.0f ms per file), ImageMagick %u bytes; plug-in/ImageMagick %.4f\n",
              ourSize, seconds * 1e3, magickSize, magickSize ? double(ourSize) / magickSize : 0.0);
  DeleteFileA(out.c_str());
  VcsFreeMultiImage(photo);
  FreeLibrary(module);
}
