#pragma once
// Pillow's decode of an icon file's entries (Debian's python3-pil, scripts/install-deps.sh),
// run as a Unix program from under Wine: the independent reader of what the plug-in writes.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "RastrelHarness.h"
#include "common/UnixFiles.h"

struct PillowFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;  // R, G, B, A per pixel, rows top-down
};

// Every entry of the icon file as Pillow shows it; on failure no frame and the reason.
inline std::vector<PillowFrame> PillowIcoFrames(const std::string& icoPath, std::string* error) {
  std::vector<PillowFrame> frames;
  const std::string script = UnixPathOf(ExeFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\pillow-ico-frames.py");
  const std::string out = icoPath + ".pillow";
  DeleteFileA(out.c_str());
  const std::string printed = RunUnixShell("/usr/bin/python3 " + ShellQuoted(script) + " " +
                                           ShellQuoted(UnixPathOf(icoPath)) + " " + ShellQuoted(UnixPathOf(out)));
  const std::vector<uint8_t> bytes = ReadFileBytes(out);
  DeleteFileA(out.c_str());
  if (!printed.empty()) {
    *error = printed;
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
