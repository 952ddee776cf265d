#pragma once
// Little-endian fields of a file's bytes, and a view of a PE file's resource layout, for
// changing fixtures in place.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline void SetLe16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  SetLe16(b, at, v);
  SetLe16(b, at + 2, v >> 16);
}

// A view of a fixture's PE layout, to find the places that the mutants change.
struct PeView {
  std::vector<uint8_t> b;
  uint32_t pe = 0;
  uint32_t sectionTable = 0;
  uint32_t sectionCount = 0;
  uint32_t rsrc = 0;  // file offset of the resource section

  explicit PeView(const std::vector<uint8_t>& bytes) : b(bytes) {
    pe = Le32(b, 60);
    sectionCount = Le16(b, pe + 6);
    sectionTable = pe + 24 + Le16(b, pe + 20);
    for (uint32_t i = 0; i < sectionCount; ++i) {
      const uint32_t s = sectionTable + 40 * i;
      if (std::memcmp(&b[s], ".rsrc", 5) == 0)
        rsrc = Le32(b, s + 20);
    }
  }
  uint32_t FileOf(uint32_t rva) const {
    for (uint32_t i = 0; i < sectionCount; ++i) {
      const uint32_t s = sectionTable + 40 * i;
      const uint32_t va = Le32(b, s + 12);
      if (rva >= va && rva < va + Le32(b, s + 8))
        return Le32(b, s + 20) + rva - va;
    }
    return 0;
  }
  // File offset of the 8-byte entry of a directory (at a section offset) with an id.
  uint32_t Entry(uint32_t directory, uint32_t id) const {
    const uint32_t d = rsrc + directory;
    const uint32_t named = Le16(b, d + 12), count = named + Le16(b, d + 14);
    for (uint32_t i = named; i < count; ++i)
      if (Le32(b, d + 16 + 8 * i) == id)
        return d + 16 + 8 * i;
    return 0;
  }
  // How many resources of the type there are.
  uint32_t Count(uint32_t type) const {
    const uint32_t entry = Entry(0, type);
    if (!entry)
      return 0;
    const uint32_t d = rsrc + Below(entry);
    return Le16(b, d + 12) + Le16(b, d + 14);
  }
  // Section offset of the subdirectory an entry points at.
  uint32_t Below(uint32_t entry) const { return Le32(b, entry + 4) & 0x7FFFFFFF; }
  // The type's name entry (the first by default), its first language entry and that one's
  // data entry.
  uint32_t NameEntry(uint32_t type, uint32_t i = 0) const { return rsrc + Below(Entry(0, type)) + 16 + 8 * i; }
  uint32_t LanguageEntry(uint32_t type, uint32_t i = 0) const { return rsrc + Below(NameEntry(type, i)) + 16; }
  uint32_t DataEntry(uint32_t type, uint32_t i = 0) const { return rsrc + Le32(b, LanguageEntry(type, i) + 4); }
  // File offset of the data of the type's resource.
  uint32_t Data(uint32_t type, uint32_t i = 0) const { return FileOf(Le32(b, DataEntry(type, i))); }
};
