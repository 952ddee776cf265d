#pragma once
// The scans of a JPEG file's bytes, and files with more of them: copies of the last scan's
// header with no entropy-coded data, spliced in before the end-of-image marker.
#include <cstddef>
#include <cstdint>
#include <vector>

struct JpegScans {
  std::vector<size_t> headers;  // offset of each SOS marker
  size_t end = 0;               // offset of the EOI marker, 0 when none was found

  explicit JpegScans(const std::vector<uint8_t>& b) {
    size_t i = 2;
    while (i + 2 <= b.size() && b[i] == 0xFF) {
      const uint8_t marker = b[i + 1];
      if (marker == 0xD9) {
        end = i;
        return;
      }
      if (i + 4 > b.size())
        return;
      const size_t length = (size_t(b[i + 2]) << 8) | b[i + 3];
      if (marker == 0xDA)
        headers.push_back(i);
      i += 2 + length;
      if (marker != 0xDA)
        continue;
      // Entropy-coded data runs to the next marker other than a stuffed zero or a restart.
      while (i + 1 < b.size() && !(b[i] == 0xFF && b[i + 1] != 0 && (b[i + 1] < 0xD0 || b[i + 1] > 0xD7)))
        ++i;
    }
  }
};

// The file with `extra` empty copies of its last scan before its end; empty when the file's
// scans cannot be found.
inline std::vector<uint8_t> JpegWithEmptyScans(const std::vector<uint8_t>& b, int extra) {
  const JpegScans scans(b);
  if (scans.headers.empty() || !scans.end)
    return {};
  const size_t at = scans.headers.back();
  const size_t length = 2 + ((size_t(b[at + 2]) << 8) | b[at + 3]);
  std::vector<uint8_t> out(b.begin(), b.begin() + scans.end);
  for (int n = 0; n < extra; ++n)
    out.insert(out.end(), b.begin() + at, b.begin() + at + length);
  out.insert(out.end(), b.begin() + scans.end, b.end());
  return out;
}
