#pragma once
// Pillow's decode of an icon file's entries (Debian's python3-pil, scripts/install-deps.sh),
// run as a Unix program from under Wine: the independent reader of what the plug-in writes.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "RastrelHarness.h"

struct PillowFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;  // R, G, B, A per pixel, rows top-down
};

// The Unix path of a file's Windows path, empty outside Wine.
inline std::string UnixPath(const std::string& path) {
  typedef char*(CDECL * UnixName)(LPCWSTR);
  const UnixName unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t wide[MAX_PATH] = {};
  if (!unixName || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH))
    return "";
  char* name = unixName(wide);
  if (!name)
    return "";
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Every entry of the icon file as Pillow shows it; on failure no frame and the reason.
inline std::vector<PillowFrame> PillowIcoFrames(const std::string& icoPath, std::string* error) {
  std::vector<PillowFrame> frames;
  const std::string script = UnixPath(ExeFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\pillow-ico-frames.py");
  const std::string out = icoPath + ".pillow";
  const std::string failed = out + ".error";
  DeleteFileA(out.c_str());
  DeleteFileA(failed.c_str());
  const std::string command = "Z:\\usr\\bin\\python3 \"" + script + "\" \"" + UnixPath(icoPath) + "\" \"" +
                              UnixPath(out) + "\"";
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    *error = "/usr/bin/python3 did not start";
    return frames;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine gives no handle to wait on for a Unix program: its result file appears when done.
  for (int i = 0; i < 1200 && GetFileAttributesA(out.c_str()) == INVALID_FILE_ATTRIBUTES &&
                  GetFileAttributesA(failed.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++i)
    Sleep(50);
  const std::vector<uint8_t> bytes = ReadFileBytes(out);
  const std::vector<uint8_t> text = ReadFileBytes(failed);
  DeleteFileA(out.c_str());
  DeleteFileA(failed.c_str());
  if (!text.empty()) {
    *error = std::string(text.begin(), text.end());
    return frames;
  }
  for (size_t at = 0; at + 8 <= bytes.size();) {
    PillowFrame frame;
    frame.width = Le32(bytes, at);
    frame.height = Le32(bytes, at + 4);
    const size_t size = 4ull * frame.width * frame.height;
    if (bytes.size() - at - 8 < size)
      break;
    frame.rgba.assign(bytes.begin() + at + 8, bytes.begin() + at + 8 + size);
    frames.push_back(frame);
    at += 8 + size;
  }
  if (frames.empty())
    *error = bytes.empty() ? "Pillow gave no result" : "Pillow's result is cut short";
  return frames;
}
