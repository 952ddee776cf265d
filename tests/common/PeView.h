#pragma once
// Little-endian fields of a file's bytes, a view of a PE file's resource layout, for
// changing fixtures in place, and a builder of resource-only PE files.
#include <algorithm>
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

// A resource-only PE file made from scratch: one ".rsrc" section of resources named by id,
// each naming one of the data blocks added (several may name the same one, as through one
// language directory).
class PeBuilder {
public:
  // The index of a new data block.
  size_t AddData(const std::vector<uint8_t>& bytes) {
    m_data.push_back(bytes);
    return m_data.size() - 1;
  }
  void AddResource(uint32_t type, uint16_t id, size_t data) { m_resources.push_back({type, id, data}); }

  std::vector<uint8_t> Build() const {
    const uint32_t kRaw = 0x200, kVirtual = 0x1000;
    std::vector<uint32_t> types;
    for (const Resource& r : m_resources)
      if (std::find(types.begin(), types.end(), r.type) == types.end())
        types.push_back(r.type);
    std::sort(types.begin(), types.end());
    // The section: root, one name directory per type, a language directory and a data
    // entry per block, then the blocks.
    uint32_t size = 16 + 8 * uint32_t(types.size());
    std::vector<uint32_t> names;
    for (uint32_t type : types) {
      names.push_back(size);
      size += 16 + 8 * uint32_t(std::count_if(m_resources.begin(), m_resources.end(),
                                              [type](const Resource& r) { return r.type == type; }));
    }
    const uint32_t languages = size;
    size += 40 * uint32_t(m_data.size());
    std::vector<uint32_t> blocks;
    for (const std::vector<uint8_t>& d : m_data) {
      blocks.push_back(size);
      size += (uint32_t(d.size()) + 3) & ~3u;
    }
    std::vector<uint8_t> b(kRaw + size, 0);
    b[0] = 'M', b[1] = 'Z';
    SetLe32(b, 60, 64);
    b[64] = 'P', b[65] = 'E';
    SetLe16(b, 68, 0x8664);
    SetLe16(b, 70, 1);  // one section, no optional header
    std::memcpy(&b[88], ".rsrc", 5);
    SetLe32(b, 88 + 8, size);
    SetLe32(b, 88 + 12, kVirtual);
    SetLe32(b, 88 + 16, size);
    SetLe32(b, 88 + 20, kRaw);
    uint8_t* s = &b[kRaw];
    auto set32 = [&](uint32_t at, uint32_t v) { SetLe32(b, kRaw + at, v); };
    auto set16 = [&](uint32_t at, uint32_t v) { SetLe16(b, kRaw + at, v); };
    set16(14, uint32_t(types.size()));
    for (size_t t = 0; t < types.size(); ++t) {
      set32(16 + 8 * uint32_t(t), types[t]);
      set32(20 + 8 * uint32_t(t), 0x80000000u | names[t]);
      uint32_t entry = names[t] + 16, count = 0;
      for (const Resource& r : m_resources) {
        if (r.type != types[t])
          continue;
        set32(entry, r.id);
        set32(entry + 4, 0x80000000u | (languages + 40 * uint32_t(r.data)));
        entry += 8;
        ++count;
      }
      set16(names[t] + 14, count);
    }
    for (size_t i = 0; i < m_data.size(); ++i) {
      const uint32_t language = languages + 40 * uint32_t(i);
      set16(language + 14, 1);
      set32(language + 16, 0x409);
      set32(language + 20, language + 24);
      set32(language + 24, kVirtual + blocks[i]);
      set32(language + 28, uint32_t(m_data[i].size()));
      if (!m_data[i].empty())
        std::memcpy(s + blocks[i], m_data[i].data(), m_data[i].size());
    }
    return b;
  }

private:
  struct Resource {
    uint32_t type;
    uint16_t id;
    size_t data;
  };
  std::vector<std::vector<uint8_t>> m_data;
  std::vector<Resource> m_resources;
};
