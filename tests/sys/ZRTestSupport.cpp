#include "ZRTestSupport.h"
#include <windows.h>
#include <cstdio>
#include <map>

namespace zrtest {

namespace {

// The library's thread word is made by zrInit before any test runs.
class ZREnvironment : public testing::Environment {
public:
  void SetUp() override { zrInit(); }
};
testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new ZREnvironment);

}  // namespace

TempPath::TempPath(const char* tag) {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, tag, 0, name);
  path = name;
}

TempPath::~TempPath() {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

Bytes ReadWholeFile(const char* path) {
  Bytes data;
  FILE* f = std::fopen(path, "rb");
  if (!f)
    return data;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
    data.insert(data.end(), buffer, buffer + n);
  std::fclose(f);
  return data;
}

void WriteWholeFile(const char* path, const Bytes& data) {
  FILE* f = std::fopen(path, "wb");
  ASSERT_NE(f, nullptr);
  if (!data.empty())
    std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

ZRHandle NewHandle() {
  ZRHandle handle = static_cast<ZRHandle>(zrAllocateMemory(sizeof(ZRHandleRecord)));
  handle->top = nullptr;
  return handle;
}

void MemoryWriter::Write(const void* buffer, uint32_t count, uint32_t& done) {
  size_t room = limit > out->size() ? limit - out->size() : 0;
  done = count < room ? count : static_cast<uint32_t>(room);
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  out->insert(out->end(), in, in + done);
}

void MemoryReader::Read(void* buffer, uint32_t count, uint32_t& done) {
  done = 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (done < count && position < data.size()) {
    if (position >= failAt) {
      Fail(ZR_ERROR_READ);
      return;
    }
    out[done++] = data[position++];
  }
}

Bytes Compress(uint32_t type, const Bytes& data, size_t step) {
  Bytes out;
  ZRHandle handle = NewHandle();
  new MemoryWriter(handle, &out);
  EXPECT_EQ(zrAttachFilter(handle, type, 0), 0u);
  if (step == 0)
    step = data.size() ? data.size() : 1;
  for (size_t at = 0; at < data.size(); at += step) {
    uint32_t n = static_cast<uint32_t>(std::min(step, data.size() - at));
    uint32_t done = 0;
    EXPECT_EQ(zrWrite(handle, data.data() + at, n, &done), 0u);
    EXPECT_EQ(done, n);
  }
  EXPECT_EQ(zrDetachFilter(handle), 0u);
  EXPECT_EQ(zrClose(handle), 0u);
  return out;
}

Bytes Decompress(uint32_t type, const Bytes& packed, uint32_t* error, size_t step, size_t maxOutput,
                 size_t* consumed) {
  Bytes out;
  ZRHandle handle = NewHandle();
  MemoryReader* reader = new MemoryReader(handle, packed);
  uint32_t result = zrAttachFilter(handle, type, 0);
  Bytes buffer(step);
  while (out.size() < maxOutput) {
    uint32_t done = 0;
    result = zrRead(handle, buffer.data(), static_cast<uint32_t>(step), &done);
    out.insert(out.end(), buffer.begin(), buffer.begin() + done);
    if (done < step)
      break;
  }
  if (error)
    *error = result;
  if (consumed)
    *consumed = reader->position;
  zrClose(handle);
  return out;
}

Bytes RandomBytes(size_t n, uint32_t seed) {
  Bytes data(n);
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 11);
  }
  return data;
}

Bytes RepeatedByte(size_t n, uint8_t value) { return Bytes(n, value); }

Bytes TextLike(size_t n, uint32_t seed) {
  static const char* const words[] = {"icon ", "layer ", "palette ", "pixel ", "the ", "of ", "image ",
                                      "alpha\n", "brush ", "selection ", "undo ", "cursor ", "32x32 "};
  Bytes data;
  Bytes pick = RandomBytes(n, seed);
  for (size_t i = 0; data.size() < n; ++i) {
    const char* w = words[pick[i % pick.size()] % 13];
    data.insert(data.end(), w, w + std::strlen(w));
  }
  data.resize(n);
  return data;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes c = a;
  c.insert(c.end(), b.begin(), b.end());
  return c;
}

// ---- reference coder of the type 1 symbol stream

namespace {

struct Models {
  std::vector<uint16_t> symbols = std::vector<uint16_t>(16 * 512, 2048);
  std::vector<uint16_t> distance = std::vector<uint16_t>(65536, 2048);
  void Reset() {
    std::fill(symbols.begin(), symbols.end(), 2048);
    std::fill(distance.begin(), distance.end(), 2048);
  }
};

struct RefEncoder {
  uint64_t low = 0;
  uint32_t range = 0xFFFFFFFFu;
  uint8_t cache = 0;
  uint64_t cacheSize = 1;
  Bytes out;

  void ShiftLow() {
    if (static_cast<uint32_t>(low) < 0xFF000000u || (low >> 32) != 0) {
      uint8_t carry = static_cast<uint8_t>(low >> 32);
      uint8_t temp = cache;
      do {
        out.push_back(static_cast<uint8_t>(temp + carry));
        temp = 0xFF;
      } while (--cacheSize != 0);
      cache = static_cast<uint8_t>(low >> 24);
    }
    cacheSize++;
    low = (low & 0x00FFFFFFu) << 8;
  }
  void Bit(uint16_t& p, uint32_t bit) {
    uint32_t bound = (range >> 12) * p;
    if (!bit) {
      range = bound;
      p += (4096 - p) >> 5;
    } else {
      low += bound;
      range -= bound;
      p -= p >> 5;
    }
    while (range < (1u << 24)) {
      range <<= 8;
      ShiftLow();
    }
  }
  void Tree(uint16_t* probs, int bits, uint32_t value) {
    uint32_t node = 1;
    for (int i = bits - 1; i >= 0; --i) {
      uint32_t bit = (value >> i) & 1;
      Bit(probs[node], bit);
      node = node * 2 + bit;
    }
  }
  void Finish() {
    for (int i = 0; i < 5; ++i)
      ShiftLow();
  }
};

struct RefDecoder {
  const Bytes& in;
  size_t at = 0;
  uint32_t code = 0;
  uint32_t range = 0xFFFFFFFFu;
  explicit RefDecoder(const Bytes& in) : in(in) {
    for (int i = 0; i < 4; ++i)
      code = (code << 8) | Next();
  }
  uint8_t Next() { return at < in.size() ? in[at++] : 0; }
  uint32_t Bit(uint16_t& p) {
    uint32_t bound = (range >> 12) * p;
    uint32_t bit;
    if (code < bound) {
      range = bound;
      p += (4096 - p) >> 5;
      bit = 0;
    } else {
      code -= bound;
      range -= bound;
      p -= p >> 5;
      bit = 1;
    }
    while (range < (1u << 24)) {
      range <<= 8;
      code = (code << 8) | Next();
    }
    return bit;
  }
  uint32_t Tree(uint16_t* probs, int bits) {
    uint32_t node = 1;
    for (int i = 0; i < bits; ++i)
      node = node * 2 + Bit(probs[node]);
    return node - (1u << bits);
  }
};

}  // namespace

Bytes ReferenceRangeEncode(const std::vector<RangeEvent>& events) {
  Models models;
  RefEncoder enc;
  Bytes history;
  for (const RangeEvent& e : events) {
    uint32_t context = history.empty() ? 0 : history.back() >> 4;
    uint16_t* symbols = &models.symbols[context * 512];
    switch (e.kind) {
      case RangeEvent::Literal:
        enc.Tree(symbols, 9, e.value);
        history.push_back(static_cast<uint8_t>(e.value));
        break;
      case RangeEvent::Match:
        enc.Tree(symbols, 9, e.value + 253);
        enc.Tree(models.distance.data(), 16, e.distance - 1);
        for (uint32_t i = 0; i < e.value; ++i)
          history.push_back(e.distance <= history.size() ? history[history.size() - e.distance] : 0);
        break;
      case RangeEvent::Reset:
        enc.Tree(symbols, 9, 510);
        models.Reset();
        break;
      case RangeEvent::End:
        enc.Tree(symbols, 9, 511);
        break;
    }
  }
  enc.Finish();
  EXPECT_FALSE(enc.out.empty());
  EXPECT_EQ(enc.out[0], 0);
  enc.out.erase(enc.out.begin());
  return enc.out;
}

std::vector<RangeEvent> ReferenceRangeTrace(const Bytes& packed, Bytes* output) {
  Models models;
  RefDecoder dec(packed);
  std::vector<RangeEvent> events;
  Bytes history;
  while (history.size() < (256u << 20)) {
    uint32_t context = history.empty() ? 0 : history.back() >> 4;
    uint32_t symbol = dec.Tree(&models.symbols[context * 512], 9);
    if (symbol < 256) {
      events.push_back(Lit(static_cast<uint8_t>(symbol)));
      history.push_back(static_cast<uint8_t>(symbol));
    } else if (symbol == 510) {
      events.push_back(ResetEvent());
      models.Reset();
    } else if (symbol == 511) {
      events.push_back(EndEvent());
      break;
    } else {
      uint32_t distance = dec.Tree(models.distance.data(), 16) + 1;
      uint32_t length = symbol - 253;
      events.push_back(Mat(length, distance));
      for (uint32_t i = 0; i < length; ++i)
        history.push_back(distance <= history.size() ? history[history.size() - distance] : 0);
    }
  }
  EXPECT_EQ(dec.at, packed.size()) << "the stream holds bytes after its end";
  if (output)
    *output = history;
  return events;
}

Bytes PackCodes(const std::vector<std::pair<uint32_t, uint32_t>>& codesAndWidths) {
  Bytes out;
  uint64_t bits = 0;
  uint32_t count = 0;
  for (auto [code, width] : codesAndWidths) {
    bits = (bits << width) | code;
    count += width;
    while (count >= 8) {
      count -= 8;
      out.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  if (count)
    out.push_back(static_cast<uint8_t>(bits << (8 - count)));
  return out;
}

Bytes ReferenceDictEncode(const Bytes& data) {
  std::vector<std::pair<uint32_t, uint32_t>> codes;
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> dictionary;
  const uint32_t none = 0xFFFF;
  uint32_t current = none;
  uint32_t next = 258;
  uint32_t width = 9;
  for (uint8_t c : data) {
    if (current == none) {
      current = c;
      continue;
    }
    auto found = dictionary.find({current, c});
    if (found != dictionary.end()) {
      current = found->second;
      continue;
    }
    codes.push_back({current, width});
    if (next == 0xFFFF) {
      codes.push_back({256, width});
      dictionary.clear();
      next = 258;
      width = 9;
    } else {
      dictionary[{current, c}] = next++;
      if (next > (1u << width))
        ++width;
    }
    current = c;
  }
  if (current != none) {
    codes.push_back({current, width});
    if (next < 0xFFFF && next == (1u << width))
      ++width;
  }
  codes.push_back({257, width});
  return PackCodes(codes);
}

}  // namespace zrtest
