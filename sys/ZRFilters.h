#pragma once
// Compression filters of the ZR library. Encoders sit on write handles, decoders on read
// handles; both are made by AttachFilter on the top stream and sit on top of it.
// Type 1: LZ77 whose literals, lengths and distances pass through an adaptive binary range coder.
// Type 2: dictionary (LZW-style) coder with codes of 9 to 16 bits.
#include "sys/ZRStream.h"

// Base of the decoders. The next output byte is always decoded in advance.
class CZRInputFilter : public CZRInputStream {
public:
  CZRInputFilter(ZRHandle handle, uint32_t kind) : CZRInputStream(handle, kind) {}

  void Fail(uint32_t code) override;
  void Read(void* buffer, uint32_t count, uint32_t& done) override;
  bool IsAtEnd() override { return m_stopped; }
  // Deletes the decoder; unread input stays in the stream below. The thread word gets the
  // decoder's failure code, if any.
  void DetachFilter() override;

  bool IsStopped() const { return m_stopped; }

protected:
  // Decodes the byte after the current one; false (and stopped) at the end of data or on failure.
  virtual bool DecodeNext(uint8_t& byte) = 0;
  // Decodes the first byte; called by the derived constructor once its state is ready.
  void Prime();
  // One byte of the inner stream; false (after Fail (11)) when the inner stream failed.
  bool InputByte(uint8_t& byte);

  bool m_stopped = false;

private:
  uint8_t m_next = 0;
};

// Base of the encoders. Flush finishes the data exactly once.
class CZROutputFilter : public CZROutputStream {
public:
  CZROutputFilter(ZRHandle handle, uint32_t kind) : CZROutputStream(handle, kind) {}

  void Fail(uint32_t code) override;
  void Write(const void* buffer, uint32_t count, uint32_t& done) override;
  bool IsAtEnd() override { return m_stopped; }
  // Flush, then deletes the encoder; the stream below becomes the top again. The thread word
  // gets the encoder's failure code, if any: data was lost.
  void DetachFilter() override;
  void Flush() override;
  // Flush, close the chain below, delete; a failure of the encoder is reported as by DetachFilter.
  void Close() override;

  bool IsStopped() const { return m_stopped; }

protected:
  // Consumes one byte; the encoder stops (through Fail) when its output fails.
  virtual void EncodeByte(uint8_t byte) = 0;
  // Writes the end of the data.
  virtual void Finish() = 0;

  bool m_stopped = false;
  bool m_finished = false;
};

// Adaptive probability models shared by both sides of filter type 1.
struct CZRRangeModels {
  enum { kProbBits = 12, kProbInit = 2048, kContexts = 16, kSymbolNodes = 512, kDistanceNodes = 65536 };
  enum { kSymbolMatchFirst = 256, kSymbolReset = 510, kSymbolEnd = 511, kMinMatch = 3, kMaxMatch = 256 };
  uint16_t symbols[kContexts][kSymbolNodes];  // node 0 unused
  uint16_t distance[kDistanceNodes];          // node 0 unused
  void Reset();
};

class CZRRangeEncoder : public CZROutputFilter {
public:
  enum : uint32_t {
    kWindow = 65536,
    kLookAhead = 256,
    kRing = kWindow + kLookAhead,  // 65792 positions
    kBuckets = 16384,
    kNone = 0xFFFFFFFFu,
  };

  explicit CZRRangeEncoder(ZRHandle handle);

  // Cost in 1/65536 bit of a bit coded with P(0) = p / 4096; entry 0 is unused.
  static void BuildCostTable(uint32_t table[4096]);

protected:
  void EncodeByte(uint8_t byte) override;
  void Finish() override;

private:
  struct Bucket {
    uint32_t newest;
    uint32_t oldest;
  };

  void EncodeBit(uint16_t& p, uint32_t bit);
  void ShiftLow();
  void OutputByte(uint8_t byte);
  void EncodeSymbol(uint32_t context, uint32_t symbol);
  void EncodeDistance(uint32_t distanceMinus1);
  void EmitLiteral(uint32_t context, uint8_t byte);
  void EmitMatch(uint32_t context, uint32_t length, uint32_t distance);
  uint32_t SymbolCost(uint32_t context, uint32_t symbol) const;
  uint32_t MatchCost(uint32_t context, uint32_t length, uint32_t distance) const;
  uint32_t BitCost(uint16_t p, uint32_t bit) const;

  void Unlink(uint32_t node);
  void LinkNewest(uint32_t position, uint32_t bucket);
  uint32_t HashAt(uint32_t position) const;
  uint32_t MatchLength(uint32_t a, uint32_t b) const;
  void FindMatch(uint32_t& length, uint32_t& distance);
  void ProcessPosition();

  // Range coder.
  uint32_t m_low = 0;
  uint32_t m_carry = 0;
  uint32_t m_range = 0xFFFFFFFFu;
  uint8_t m_cache = 0;
  uint32_t m_pending = 0;
  bool m_firstOutput = false;

  // Parser.
  uint32_t m_write = 0;      // ring slot of the next input byte
  uint32_t m_process = 0;    // ring slot of the next position to process
  uint32_t m_ahead = 0;      // bytes written but not yet processed
  uint32_t m_skip = 0;
  uint32_t m_context = 0;
  bool m_hasPending = false;
  uint32_t m_pendingLength = 0;
  uint32_t m_pendingDistance = 0;
  uint32_t m_pendingContext = 0;
  uint8_t m_pendingByte = 0;

  CZRRangeModels m_models;
  uint32_t m_cost[4096];
  Bucket m_buckets[kBuckets];
  // One chain node per ring position (the index is the position), kept as separate arrays so
  // that walking a chain touches only the older links.
  uint32_t m_nodeOlder[kRing];
  uint32_t m_nodeNewer[kRing];
  uint32_t m_nodeBucket[kRing];
  uint8_t m_ring[kRing + kLookAhead + 8];  // first 256 bytes mirrored after the end, plus slack for word reads
};

class CZRRangeDecoder : public CZRInputFilter {
public:
  explicit CZRRangeDecoder(ZRHandle handle);

protected:
  bool DecodeNext(uint8_t& byte) override;

private:
  bool DecodeBit(uint16_t& p, uint32_t& bit);
  bool DecodeTree(uint16_t* probs, uint32_t bits, uint32_t& value);
  bool Stop();

  uint32_t m_code = 0;
  uint32_t m_range = 0xFFFFFFFFu;
  uint32_t m_context = 0;
  uint32_t m_copyLeft = 0;
  uint32_t m_distance = 0;
  uint32_t m_outPos = 0;        // ring slot of the next output byte
  uint64_t m_produced = 0;      // bytes output so far (a match may not reach before the first)
  CZRRangeModels m_models;
  uint8_t m_ring[65536];
};

class CZRDictEncoder : public CZROutputFilter {
public:
  enum : uint32_t { kBuckets = 32768, kCodes = 65536, kNone = 0xFFFF, kClear = 256, kEnd = 257, kFirstFree = 258 };

  explicit CZRDictEncoder(ZRHandle handle);

protected:
  void EncodeByte(uint8_t byte) override;
  void Finish() override;

private:
  void Reset();
  void PutCode(uint32_t code);
  void PutByte(uint8_t byte);
  void WriteBlock();
  static uint32_t BucketOf(uint32_t hash) { return (hash >> 17) ^ (hash & 0x7FFF); }

  uint32_t m_current = kNone;
  uint32_t m_hash = 0xFFFFFFFFu;
  uint32_t m_nextCode = kFirstFree;
  uint32_t m_width = 9;
  uint32_t m_bitCount = 0;
  uint32_t m_bits = 0;
  uint32_t m_blockFill = 0;
  uint8_t m_block[256];
  uint16_t m_buckets[kBuckets];
  uint16_t m_prefix[kCodes];
  uint16_t m_chain[kCodes];
};

class CZRDictDecoder : public CZRInputFilter {
public:
  enum : uint32_t { kCodes = 65536, kNone = 0xFFFF, kClear = 256, kEnd = 257, kFirstFree = 258 };

  explicit CZRDictDecoder(ZRHandle handle);

protected:
  bool DecodeNext(uint8_t& byte) override;

private:
  void ResetDictionary();
  bool ReadCode(uint32_t& code);
  bool Stop();

  uint32_t m_previous = kNone;
  uint8_t m_previousFirst = 0;
  uint32_t m_nextCode = kFirstFree;
  uint32_t m_width = 9;
  uint32_t m_bitCount = 0;
  uint32_t m_bits = 0;
  uint32_t m_stackDepth = 0;
  uint16_t m_prefix[kCodes];
  uint8_t m_byte[kCodes];
  uint8_t m_stack[65536];
};
