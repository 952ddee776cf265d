#pragma once
// Helpers of the system-library tests: temporary files, memory streams, test data and a
// reference coder for the symbol stream of filter type 1.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "sys/ZR.h"

namespace zrtest {

using Bytes = std::vector<uint8_t>;

// A fresh path in the temporary folder; the file is deleted when the object goes.
class TempPath {
public:
  explicit TempPath(const char* tag = "zr");
  ~TempPath();
  const char* c_str() const { return path.c_str(); }
  std::string path;
};

Bytes ReadWholeFile(const char* path);
void WriteWholeFile(const char* path, const Bytes& data);

// A handle record as the open calls make it (zrClose frees it).
ZRHandle NewHandle();

// Collects written bytes; accepts at most limit bytes, then writes short without an error.
class MemoryWriter : public CZROutputStream {
public:
  MemoryWriter(ZRHandle handle, Bytes* out, size_t limit = SIZE_MAX)
      : CZROutputStream(handle, 50), out(out), limit(limit) {
    ++live;
  }
  ~MemoryWriter() override { --live; }
  void Write(const void* buffer, uint32_t count, uint32_t& done) override;
  Bytes* out;
  size_t limit;
  static inline int live = 0;
};

// Hands out the bytes of a vector; a read past failAt fails with 11.
class MemoryReader : public CZRInputStream {
public:
  MemoryReader(ZRHandle handle, const Bytes& data, size_t failAt = SIZE_MAX)
      : CZRInputStream(handle, 51), data(data), failAt(failAt) {
    ++live;
  }
  ~MemoryReader() override { --live; }
  void Read(void* buffer, uint32_t count, uint32_t& done) override;
  Bytes data;
  size_t position = 0;
  size_t failAt;
  static inline int live = 0;
};

// Compresses through a filter of the type on a memory writer, writing in pieces of the step.
Bytes Compress(uint32_t type, const Bytes& data, size_t step = 0);
// Decompresses, reading in pieces of the step, stopping at maxOutput bytes; error gets the
// top stream's error (or the attach result when the filter could not start).
Bytes Decompress(uint32_t type, const Bytes& packed, uint32_t* error, size_t step = 4096,
                 size_t maxOutput = 64u << 20, size_t* consumed = nullptr);

// Test data.
Bytes RandomBytes(size_t n, uint32_t seed);
Bytes RepeatedByte(size_t n, uint8_t value);
Bytes TextLike(size_t n, uint32_t seed);
Bytes Concat(const Bytes& a, const Bytes& b);

// The symbol stream of filter type 1, coded by a reference coder written after the usual
// 33-bit-low formulation (its leading zero byte dropped).
struct RangeEvent {
  enum Kind { Literal, Match, Reset, End } kind;
  uint32_t value;     // the literal byte, or the match length
  uint32_t distance;  // match distance (1..65536)
  bool operator==(const RangeEvent& o) const {
    return kind == o.kind && value == o.value && distance == o.distance;
  }
};
inline RangeEvent Lit(uint8_t b) { return RangeEvent{RangeEvent::Literal, b, 0}; }
inline RangeEvent Mat(uint32_t length, uint32_t distance) { return RangeEvent{RangeEvent::Match, length, distance}; }
inline RangeEvent ResetEvent() { return RangeEvent{RangeEvent::Reset, 0, 0}; }
inline RangeEvent EndEvent() { return RangeEvent{RangeEvent::End, 0, 0}; }

Bytes ReferenceRangeEncode(const std::vector<RangeEvent>& events);
// Decodes a valid stream into its events (ending with End) and its output bytes.
std::vector<RangeEvent> ReferenceRangeTrace(const Bytes& packed, Bytes* output = nullptr);

// Packs codes most significant bit first, each with its width, padding the end with zeros.
Bytes PackCodes(const std::vector<std::pair<uint32_t, uint32_t>>& codesAndWidths);
// Reference coder for filter type 2 (map-based dictionary, same code and width rules).
Bytes ReferenceDictEncode(const Bytes& data);

}  // namespace zrtest
