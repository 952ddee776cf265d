// Mutations of seed files: bit flips, boundary values in 8-, 16- and 32-bit fields (float
// patterns among them), truncation, duplicated and deleted runs.
#include <cstring>
#include "fuzz/Fuzz.h"

namespace fuzz {
namespace {

class Random {
public:
  explicit Random(uint64_t seed) : state(seed) {}
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return n ? size_t(Next() % n) : 0; }
  bool Chance(int percent) { return Below(100) < size_t(percent); }

private:
  uint64_t state;
};

uint64_t Hash(const char* text) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (; *text; ++text)
    h = (h ^ uint8_t(*text)) * 0x100000001B3ull;
  return h;
}

// A place in the file: headers hold most of what a reader trusts, so half the time the
// first 128 bytes; width-aligned half of the time.
size_t Place(Random& random, const Bytes& b, size_t width) {
  if (b.size() < width)
    return 0;
  const size_t span = b.size() - width + 1;
  size_t at = random.Chance(50) ? random.Below(span < 128 ? span : 128) : random.Below(span);
  if (random.Chance(50))
    at -= at % width;
  return at;
}

void Put(Bytes& b, size_t at, uint32_t value, size_t width, bool bigEndian) {
  for (size_t i = 0; i < width; ++i) {
    const size_t shift = 8 * (bigEndian ? width - 1 - i : i);
    b[at + i] = uint8_t(value >> shift);
  }
}

const uint8_t kBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, 0x10, 0x40};
const uint32_t kWords[] = {0x0000, 0x0001, 0x7FFF, 0x8000, 0xFFFF, 0xFFFE, 0x0100, 0x4000};
const uint32_t kLongs[] = {0x00000000u, 0x00000001u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu,
                           0x00010000u, 0x40000000u, 0x00008000u,
                           // float bit patterns: NaN, infinities, denormals, 1.0, huge
                           0x7FC00000u, 0xFFC00001u, 0x7F800000u, 0xFF800000u, 0x00000001u, 0x807FFFFFu,
                           0x3F800000u, 0x7F7FFFFFu};

void MutateOnce(Random& random, Bytes& b) {
  if (b.empty()) {
    b.push_back(uint8_t(random.Next()));
    return;
  }
  switch (random.Below(9)) {
    case 0: {  // bit flips
      const size_t at = Place(random, b, 1);
      const size_t flips = 1 + random.Below(4);
      for (size_t i = 0; i < flips; ++i)
        b[at] ^= uint8_t(1u << random.Below(8));
      break;
    }
    case 1:
      b[Place(random, b, 1)] = kBytes[random.Below(sizeof kBytes)];
      break;
    case 2:
      if (b.size() >= 2) {
        uint32_t v = kWords[random.Below(sizeof kWords / sizeof kWords[0])];
        if (random.Chance(25))
          v = uint32_t(random.Below(0x10000));
        Put(b, Place(random, b, 2), v, 2, random.Chance(30));
      }
      break;
    case 3:
      if (b.size() >= 4) {
        uint32_t v = kLongs[random.Below(sizeof kLongs / sizeof kLongs[0])];
        if (random.Chance(20))
          v = uint32_t(random.Next());
        Put(b, Place(random, b, 4), v, 4, random.Chance(30));
      }
      break;
    case 4:  // a small step of a field: sizes and counts one off
      if (b.size() >= 4) {
        const size_t at = Place(random, b, 4);
        uint32_t v = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
        v += uint32_t(int32_t(random.Below(33)) - 16);
        Put(b, at, v, 4, false);
      }
      break;
    case 5:  // truncation
      b.resize(random.Chance(10) ? random.Below(b.size() < 64 ? b.size() : 64) : random.Below(b.size()));
      break;
    case 6: {  // a duplicated run
      const size_t from = random.Below(b.size());
      size_t length = 1 + random.Below(b.size() - from < 512 ? b.size() - from : 512);
      const size_t to = random.Below(b.size() + 1);
      Bytes run(b.begin() + from, b.begin() + from + length);
      const size_t copies = random.Chance(20) ? 2 + random.Below(30) : 1;
      for (size_t i = 0; i < copies; ++i)
        b.insert(b.begin() + to, run.begin(), run.end());
      break;
    }
    case 7: {  // a deleted run
      const size_t from = random.Below(b.size());
      const size_t length = 1 + random.Below(b.size() - from < 256 ? b.size() - from : 256);
      b.erase(b.begin() + from, b.begin() + from + length);
      break;
    }
    default:  // random bytes anywhere
      for (size_t i = 0, n = 1 + random.Below(8); i < n; ++i)
        b[random.Below(b.size())] = uint8_t(random.Next());
      break;
  }
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i)
    c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Mends the checksums of the PNG chunks in the file (icon entries), so that mutants reach
// the decoding behind libpng's checks instead of stopping at the first checksum.
void MendPngChecksums(Bytes& b) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (size_t start = 0; start + 8 <= b.size(); ++start) {
    if (std::memcmp(&b[start], kSignature, 8) != 0)
      continue;
    size_t at = start + 8;
    while (at + 12 <= b.size()) {
      const uint32_t length = uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
      if (length > b.size() - at - 12)
        break;
      Put(b, at + 8 + length, Crc32(&b[at + 4], length + 4), 4, true);
      at += 12 + length;
    }
  }
}

}  // namespace

Bytes MakeMutant(const std::vector<Bytes>& seeds, const Reader& reader, uint64_t index) {
  Random random(Hash(reader.name) ^ (index * 0xD1B54A32D192ED03ull));
  Bytes b = seeds.empty() ? Bytes() : seeds[random.Below(seeds.size())];
  const size_t steps = 1 + random.Below(random.Chance(20) ? 12 : 3);
  for (size_t i = 0; i < steps; ++i)
    MutateOnce(random, b);
  if (random.Chance(75))
    MendPngChecksums(b);
  return b;
}

}  // namespace fuzz
