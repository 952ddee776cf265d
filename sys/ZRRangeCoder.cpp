#include "sys/ZRFilters.h"
#include <cstring>

namespace {

const uint32_t kTop = 1u << 24;

// round(65536 * log2(1 + j / 16)) for j = 0..16.
const uint32_t kLog2Steps[17] = {0,     5732,  11136, 16248, 21098, 25711, 30109, 34312, 38336,
                                 42196, 45904, 49472, 52911, 56229, 59434, 62534, 65536};

inline void Adapt(uint16_t& p, uint32_t bit) {
  if (bit)
    p = static_cast<uint16_t>(p - (p >> 5));
  else
    p = static_cast<uint16_t>(p + ((4096 - p) >> 5));
}

}  // namespace

void CZRRangeModels::Reset() {
  for (auto& model : symbols)
    for (auto& p : model)
      p = kProbInit;
  for (auto& p : distance)
    p = kProbInit;
}

// ---- encoder

void CZRRangeEncoder::BuildCostTable(uint32_t table[4096]) {
  table[0] = 0xFFFFFFFFu;
  for (uint32_t p = 1; p < 4096; ++p) {
    uint32_t k = 0;
    while ((2u << k) <= p)
      ++k;
    uint32_t n = 12 - k;
    uint32_t b = (p - (1u << k)) << n;
    uint32_t j = b >> 8;
    table[p] = n * 65536 - kLog2Steps[j] - (((kLog2Steps[j + 1] - kLog2Steps[j]) * (b & 255)) >> 8);
  }
}

CZRRangeEncoder::CZRRangeEncoder(ZRHandle handle) : CZROutputFilter(handle, ZR_KIND_RANGE_ENCODER) {
  m_models.Reset();
  BuildCostTable(m_cost);
  for (auto& bucket : m_buckets)
    bucket.newest = bucket.oldest = kNone;
  for (uint32_t i = 0; i < kRing; ++i)
    m_nodeOlder[i] = m_nodeNewer[i] = m_nodeBucket[i] = kNone;
  std::memset(m_ring, 0, sizeof(m_ring));
}

void CZRRangeEncoder::OutputByte(uint8_t byte) {
  if (m_stopped)
    return;
  m_inner->WriteByte(byte);
  if (m_inner->GetError() != ZR_ERROR_NONE)
    Fail(ZR_ERROR_WRITE);
}

void CZRRangeEncoder::ShiftLow() {
  if (m_low < 0xFF000000u || m_carry) {
    if (m_firstOutput)
      OutputByte(static_cast<uint8_t>(m_cache + m_carry));
    else
      m_firstOutput = true;
    for (; m_pending; --m_pending)
      OutputByte(static_cast<uint8_t>(0xFF + m_carry));
    m_cache = static_cast<uint8_t>(m_low >> 24);
  } else {
    ++m_pending;
  }
  m_low <<= 8;
  m_carry = 0;
}

void CZRRangeEncoder::EncodeBit(uint16_t& p, uint32_t bit) {
  uint32_t bound = (m_range >> 12) * p;
  if (bit == 0) {
    m_range = bound;
  } else {
    uint32_t before = m_low;
    m_low += bound;
    if (m_low < before)
      m_carry = 1;
    m_range -= bound;
  }
  Adapt(p, bit);
  while (m_range < kTop) {
    m_range <<= 8;
    ShiftLow();
  }
}

void CZRRangeEncoder::EncodeSymbol(uint32_t context, uint32_t symbol) {
  uint16_t* probs = m_models.symbols[context];
  uint32_t node = 1;
  for (int i = 8; i >= 0; --i) {
    uint32_t bit = (symbol >> i) & 1;
    EncodeBit(probs[node], bit);
    node = node * 2 + bit;
  }
}

void CZRRangeEncoder::EncodeDistance(uint32_t distanceMinus1) {
  uint32_t node = 1;
  for (int i = 15; i >= 0; --i) {
    uint32_t bit = (distanceMinus1 >> i) & 1;
    EncodeBit(m_models.distance[node], bit);
    node = node * 2 + bit;
  }
}

uint32_t CZRRangeEncoder::BitCost(uint16_t p, uint32_t bit) const { return bit ? m_cost[4096 - p] : m_cost[p]; }

uint32_t CZRRangeEncoder::SymbolCost(uint32_t context, uint32_t symbol) const {
  const uint16_t* probs = m_models.symbols[context];
  uint32_t cost = 0;
  uint32_t node = 1;
  for (int i = 8; i >= 0; --i) {
    uint32_t bit = (symbol >> i) & 1;
    cost += BitCost(probs[node], bit);
    node = node * 2 + bit;
  }
  return cost;
}

uint32_t CZRRangeEncoder::MatchCost(uint32_t context, uint32_t length, uint32_t distance) const {
  uint32_t cost = SymbolCost(context, length + 253);
  uint32_t value = distance - 1;
  uint32_t node = 1;
  for (int i = 15; i >= 0; --i) {
    uint32_t bit = (value >> i) & 1;
    cost += BitCost(m_models.distance[node], bit);
    node = node * 2 + bit;
  }
  return cost;
}

void CZRRangeEncoder::EmitLiteral(uint32_t context, uint8_t byte) { EncodeSymbol(context, byte); }

void CZRRangeEncoder::EmitMatch(uint32_t context, uint32_t length, uint32_t distance) {
  EncodeSymbol(context, length + 253);
  EncodeDistance(distance - 1);
}

void CZRRangeEncoder::Unlink(uint32_t node) {
  uint32_t bucketIndex = m_nodeBucket[node];
  if (bucketIndex == kNone)
    return;
  Bucket& bucket = m_buckets[bucketIndex];
  uint32_t newer = m_nodeNewer[node];
  uint32_t older = m_nodeOlder[node];
  if (newer != kNone)
    m_nodeOlder[newer] = older;
  else
    bucket.newest = older;
  if (older != kNone)
    m_nodeNewer[older] = newer;
  else
    bucket.oldest = newer;
  m_nodeBucket[node] = m_nodeNewer[node] = m_nodeOlder[node] = kNone;
}

void CZRRangeEncoder::LinkNewest(uint32_t position, uint32_t bucketIndex) {
  Unlink(position);
  Bucket& bucket = m_buckets[bucketIndex];
  m_nodeBucket[position] = bucketIndex;
  m_nodeNewer[position] = kNone;
  m_nodeOlder[position] = bucket.newest;
  if (bucket.newest != kNone)
    m_nodeNewer[bucket.newest] = position;
  else
    bucket.oldest = position;
  bucket.newest = position;
}

uint32_t CZRRangeEncoder::HashAt(uint32_t position) const {
  return (1089 * m_ring[position] + 33 * m_ring[position + 1] + m_ring[position + 2]) & (kBuckets - 1);
}

uint32_t CZRRangeEncoder::MatchLength(uint32_t a, uint32_t b) const {
  // The mirror behind the ring lets both runs of 256 bytes be read without wrapping.
  const uint8_t* pa = m_ring + a;
  const uint8_t* pb = m_ring + b;
  for (uint32_t i = 0; i < kLookAhead; i += 8) {
    uint64_t wa, wb;
    std::memcpy(&wa, pa + i, 8);
    std::memcpy(&wb, pb + i, 8);
    uint64_t diff = wa ^ wb;
    if (diff)
      return i + static_cast<uint32_t>(__builtin_ctzll(diff)) / 8;  // little-endian: lowest byte first
  }
  return kLookAhead;
}

void CZRRangeEncoder::FindMatch(uint32_t& length, uint32_t& distance) {
  uint32_t p = m_process;
  uint32_t bucketIndex = HashAt(p);
  uint32_t best = 0;
  uint32_t bestDistance = 0;
  for (uint32_t candidate = m_buckets[bucketIndex].newest; candidate != kNone;) {
    uint32_t older = m_nodeOlder[candidate];
    uint32_t back = (p + kRing - candidate) % kRing;
    // While finishing, slots past the look-ahead still hold positions older than the window;
    // chains run newest first, so everything from here on is out of reach.
    if (back > kWindow)
      break;
    if (m_ring[candidate + best] == m_ring[p + best]) {
      uint32_t n = MatchLength(candidate, p);
      if (n > best) {
        best = n;
        bestDistance = back;
      }
      if (n == kLookAhead) {
        Unlink(candidate);
        break;
      }
    }
    candidate = older;
  }
  LinkNewest(p, bucketIndex);
  length = best < m_ahead ? best : m_ahead;
  distance = bestDistance;
}

void CZRRangeEncoder::ProcessPosition() {
  uint32_t p = m_process;
  uint8_t byte = m_ring[p];
  if (m_skip > 0) {
    LinkNewest(p, HashAt(p));
    --m_skip;
  } else {
    uint32_t length, distance;
    FindMatch(length, distance);
    if (!m_hasPending) {
      if (length < CZRRangeModels::kMinMatch) {
        EmitLiteral(m_context, byte);
      } else {
        m_hasPending = true;
        m_pendingLength = length;
        m_pendingDistance = distance;
        m_pendingContext = m_context;
        m_pendingByte = byte;
      }
    } else {
      uint32_t l1 = m_pendingLength;
      uint32_t f = SymbolCost(m_pendingContext, m_pendingByte);
      uint32_t g = MatchCost(m_pendingContext, l1, m_pendingDistance);
      bool replaced = false;
      if (length >= CZRRangeModels::kMinMatch) {
        uint32_t h2 = MatchCost(m_context, length, distance);
        if ((f + h2) * l1 < g * (length + 1)) {
          EmitLiteral(m_pendingContext, m_pendingByte);
          m_pendingLength = length;
          m_pendingDistance = distance;
          m_pendingContext = m_context;
          m_pendingByte = byte;
          replaced = true;
        }
      }
      if (!replaced) {
        uint32_t h1 = SymbolCost(m_context, byte);
        if ((f + h1) * l1 < g * 2) {
          EmitLiteral(m_pendingContext, m_pendingByte);
          EmitLiteral(m_context, byte);
        } else {
          EmitMatch(m_pendingContext, l1, m_pendingDistance);
          m_skip = l1 - 2;
        }
        m_hasPending = false;
      }
    }
  }
  m_context = byte >> 4;
  m_process = (p + 1) % kRing;
  --m_ahead;
}

void CZRRangeEncoder::EncodeByte(uint8_t byte) {
  uint32_t slot = m_write;
  Unlink(slot);
  m_ring[slot] = byte;
  if (slot < kLookAhead)
    m_ring[kRing + slot] = byte;
  m_write = (slot + 1) % kRing;
  if (++m_ahead == kLookAhead)
    ProcessPosition();
}

void CZRRangeEncoder::Finish() {
  while (m_ahead > 0 && !m_stopped)
    ProcessPosition();
  if (m_hasPending) {  // not reached: the last positions cannot start a match
    EmitMatch(m_pendingContext, m_pendingLength, m_pendingDistance);
    m_hasPending = false;
  }
  EncodeSymbol(m_context, CZRRangeModels::kSymbolEnd);
  for (int i = 0; i < 5; ++i)
    ShiftLow();
}

// ---- decoder

CZRRangeDecoder::CZRRangeDecoder(ZRHandle handle) : CZRInputFilter(handle, ZR_KIND_RANGE_DECODER) {
  m_models.Reset();
  std::memset(m_ring, 0, sizeof(m_ring));
  for (int i = 0; i < 4 && !m_stopped; ++i) {
    uint8_t byte;
    if (InputByte(byte))
      m_code = (m_code << 8) | byte;
  }
  Prime();
}

bool CZRRangeDecoder::DecodeBit(uint16_t& p, uint32_t& bit) {
  uint32_t bound = (m_range >> 12) * p;
  if (m_code < bound) {
    m_range = bound;
    bit = 0;
  } else {
    m_code -= bound;
    m_range -= bound;
    bit = 1;
  }
  Adapt(p, bit);
  while (m_range < kTop) {
    uint8_t byte;
    if (!InputByte(byte))
      return false;
    m_code = (m_code << 8) | byte;
    m_range <<= 8;
  }
  return true;
}

bool CZRRangeDecoder::DecodeTree(uint16_t* probs, uint32_t bits, uint32_t& value) {
  uint32_t node = 1;
  for (uint32_t i = 0; i < bits; ++i) {
    uint32_t bit;
    if (!DecodeBit(probs[node], bit))
      return false;
    node = node * 2 + bit;
  }
  value = node - (1u << bits);
  return true;
}

bool CZRRangeDecoder::DecodeNext(uint8_t& byte) {
  if (m_stopped)
    return false;
  if (m_copyLeft == 0) {
    for (;;) {
      uint32_t symbol;
      if (!DecodeTree(m_models.symbols[m_context], 9, symbol))
        return false;
      if (symbol < CZRRangeModels::kSymbolMatchFirst) {
        byte = static_cast<uint8_t>(symbol);
        m_ring[m_outPos] = byte;
        m_outPos = (m_outPos + 1) & 0xFFFF;
        ++m_produced;
        m_context = byte >> 4;
        return true;
      }
      if (symbol == CZRRangeModels::kSymbolReset) {
        m_models.Reset();
        continue;
      }
      if (symbol == CZRRangeModels::kSymbolEnd)
        return false;
      uint32_t distanceMinus1;
      if (!DecodeTree(m_models.distance, 16, distanceMinus1))
        return false;
      // A match cannot reach back before the first byte of the data.
      if (distanceMinus1 >= m_produced)
        return Stop();
      m_copyLeft = symbol - 253;
      m_distance = distanceMinus1 + 1;
      break;
    }
  }
  byte = m_ring[(m_outPos - m_distance) & 0xFFFF];
  --m_copyLeft;
  m_ring[m_outPos] = byte;
  m_outPos = (m_outPos + 1) & 0xFFFF;
  ++m_produced;
  m_context = byte >> 4;
  return true;
}

bool CZRRangeDecoder::Stop() {
  m_stopped = true;
  if (m_error == ZR_ERROR_NONE)
    Fail(ZR_ERROR_BAD_DATA);
  return false;
}
