#include "bench/PeerPictures.h"
#include <windows.h>
#include <cstdio>

namespace bench {

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
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
      got = 0;
    bytes.resize(got);
  }
  CloseHandle(file);
  return bytes;
}

std::vector<PeerPicture> LoadPeerPictures() {
  const std::string folder = ExeFolder() + "..\\bench-pictures\\";
  std::vector<PeerPicture> pictures;
  FILE* list = std::fopen((folder + "peers.txt").c_str(), "r");
  if (!list) {
    std::printf("no pictures in bench-pictures beside the build: run ./scripts/vc bench\n");
    return pictures;
  }
  char name[128];
  PeerPicture p;
  while (std::fscanf(list, "%127s %d %d %u %lf %u %lf %lf %lf", name, &p.width, &p.height, &p.optipngBytes,
                     &p.optipngMs, &p.zopflipngBytes, &p.zopflipngMs, &p.pngquantMs[0], &p.pngquantMs[1]) == 9) {
    p.name = name;
    const size_t bytes = size_t(p.width) * size_t(p.height) * 4;
    p.rgba = ReadAll(folder + p.name + ".rgba");
    p.quantized[0] = ReadAll(folder + p.name + ".q256.rgba");
    p.quantized[1] = ReadAll(folder + p.name + ".q16.rgba");
    if (p.width <= 0 || p.height <= 0 || p.rgba.size() != bytes || p.quantized[0].size() != bytes ||
        p.quantized[1].size() != bytes) {
      std::printf("bench-pictures\\%s is incomplete: run ./scripts/vc bench\n", name);
      pictures.clear();
      break;
    }
    pictures.push_back(p);
  }
  std::fclose(list);
  return pictures;
}

}  // namespace bench
