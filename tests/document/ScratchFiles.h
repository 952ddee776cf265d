#pragma once
// Scratch folders and whole-file byte access shared by the file tests.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "sys/ZR.h"

// The files directly in a folder.
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  return names;
}

// A path in the "\\?\" form, which the wide file calls take past MAX_PATH.
inline std::wstring LongPath(const std::string& path) {
  const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(units > 0 ? static_cast<size_t>(units) : 1, 0);
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), units);
  const DWORD size = GetFullPathNameW(wide.data(), 0, nullptr, nullptr);
  std::vector<wchar_t> full(size + 1, 0);
  GetFullPathNameW(wide.data(), size + 1, full.data(), nullptr);
  return L"\\\\?\\" + std::wstring(full.data());
}

// Deletes the files of a scratch folder (read-only ones too, names outside the code page,
// paths past MAX_PATH), then the folder.
inline void RemoveScratchFolder(const std::string& folder) {
  const std::wstring base = LongPath(folder) + L"\\";
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((base + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        files.push_back(base + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (const std::wstring& file : files) {
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
  }
  RemoveDirectoryW(LongPath(folder).c_str());
}

// A fresh folder under the temporary path, removed with its files afterwards.
class ScratchFolder {
public:
  ScratchFolder() {
    zrInit();
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%svcdocument%lu_%d", base,
                  static_cast<unsigned long>(GetCurrentProcessId()), counter++);
    path = name;
    CreateDirectoryA(path.c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveScratchFolder(path); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const char* name) const { return path + "\\" + name; }
  std::vector<std::string> Files() const { return FilesIn(path); }

  std::string path;
};

inline std::vector<uint8_t> LoadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF)
    bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

inline void StoreBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty())
    std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
