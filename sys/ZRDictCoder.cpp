#include "sys/ZRFilters.h"

namespace {

const uint32_t kPrime = 16777619u;
const uint32_t kStartHash = 0xFFFFFFFFu;

}  // namespace

// ---- encoder

CZRDictEncoder::CZRDictEncoder(ZRHandle handle) : CZROutputFilter(handle, ZR_KIND_DICT_ENCODER) {
  Reset();
  m_current = kNone;
  m_hash = kStartHash;
}

void CZRDictEncoder::Reset() {
  for (auto& head : m_buckets)
    head = kNone;
  for (uint32_t code = 0; code < kFirstFree; ++code) {
    m_prefix[code] = kNone;
    m_chain[code] = kNone;
  }
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t bucket = BucketOf(byte ^ (kStartHash * kPrime));
    m_chain[byte] = m_buckets[bucket];
    m_buckets[bucket] = static_cast<uint16_t>(byte);
  }
  m_nextCode = kFirstFree;
  m_width = 9;
}

void CZRDictEncoder::WriteBlock() {
  if (m_blockFill == 0 || m_stopped)
    return;
  uint32_t done = 0;
  uint32_t fill = m_blockFill;
  m_blockFill = 0;
  m_inner->Write(m_block, fill, done);
  if (done != fill || m_inner->GetError() != ZR_ERROR_NONE)
    Fail(ZR_ERROR_WRITE);
}

void CZRDictEncoder::PutByte(uint8_t byte) {
  m_block[m_blockFill++] = byte;
  if (m_blockFill == sizeof(m_block))
    WriteBlock();
}

void CZRDictEncoder::PutCode(uint32_t code) {
  m_bits = (m_bits << m_width) | code;
  m_bitCount += m_width;
  while (m_bitCount >= 8) {
    m_bitCount -= 8;
    PutByte(static_cast<uint8_t>(m_bits >> m_bitCount));
  }
  m_bits &= (1u << m_bitCount) - 1;
}

void CZRDictEncoder::EncodeByte(uint8_t byte) {
  uint32_t hash = byte ^ (m_hash * kPrime);
  uint32_t bucket = BucketOf(hash);
  for (uint32_t code = m_buckets[bucket]; code != kNone; code = m_chain[code]) {
    if (m_prefix[code] == m_current) {
      m_current = code;
      m_hash = hash;
      return;
    }
  }
  PutCode(m_current);
  if (m_nextCode == kNone) {
    PutCode(kClear);
    Reset();
  } else {
    m_prefix[m_nextCode] = static_cast<uint16_t>(m_current);
    m_chain[m_nextCode] = m_buckets[bucket];
    m_buckets[bucket] = static_cast<uint16_t>(m_nextCode);
    ++m_nextCode;
    if (m_nextCode > (1u << m_width))
      ++m_width;
  }
  m_current = byte;
  m_hash = byte ^ (kStartHash * kPrime);
}

void CZRDictEncoder::Finish() {
  if (m_current != kNone) {
    PutCode(m_current);
    // The decoder enters one more string after this code and may widen there.
    if (m_nextCode < kNone && m_nextCode == (1u << m_width))
      ++m_width;
  }
  PutCode(kEnd);
  if (m_bitCount > 0) {
    PutByte(static_cast<uint8_t>(m_bits << (8 - m_bitCount)));
    m_bitCount = 0;
    m_bits = 0;
  }
  WriteBlock();
}

// ---- decoder

CZRDictDecoder::CZRDictDecoder(ZRHandle handle) : CZRInputFilter(handle, ZR_KIND_DICT_DECODER) {
  ResetDictionary();
  Prime();
}

void CZRDictDecoder::ResetDictionary() {
  for (uint32_t code = 0; code < kFirstFree; ++code) {
    m_prefix[code] = kNone;
    m_byte[code] = static_cast<uint8_t>(code);
  }
  m_nextCode = kFirstFree;
  m_width = 9;
  m_previous = kNone;
}

bool CZRDictDecoder::ReadCode(uint32_t& code) {
  while (m_bitCount < m_width) {
    uint8_t byte;
    if (!InputByte(byte))
      return false;
    m_bits = (m_bits << 8) | byte;
    m_bitCount += 8;
  }
  m_bitCount -= m_width;
  code = (m_bits >> m_bitCount) & ((1u << m_width) - 1);
  m_bits &= (1u << m_bitCount) - 1;
  return true;
}

bool CZRDictDecoder::Stop() {
  m_stopped = true;
  if (m_error == ZR_ERROR_NONE)
    Fail(ZR_ERROR_BAD_DATA);
  return false;
}

bool CZRDictDecoder::DecodeNext(uint8_t& byte) {
  if (m_stackDepth > 0) {
    byte = m_stack[--m_stackDepth];
    return true;
  }
  if (m_stopped)
    return false;
  uint32_t code;
  for (;;) {
    if (!ReadCode(code))
      return false;
    if (code == kEnd)
      return false;
    if (code != kClear)
      break;
    ResetDictionary();
  }
  // The string is spelled last byte first onto the stack.
  uint32_t spell = code;
  if (code >= m_nextCode) {
    if (code > m_nextCode || m_previous == kNone || m_nextCode == kNone)
      return Stop();
    m_stack[m_stackDepth++] = m_previousFirst;
    spell = m_previous;
  }
  // Prefixes always name lower codes, so the walk ends; the stack holds the longest string.
  for (uint32_t c = spell; c != kNone; c = m_prefix[c]) {
    if (m_stackDepth == sizeof(m_stack))
      return Stop();
    m_stack[m_stackDepth++] = m_byte[c];
  }
  uint8_t first = m_stack[m_stackDepth - 1];
  if (m_nextCode < kNone && m_previous != kNone) {
    m_prefix[m_nextCode] = static_cast<uint16_t>(m_previous);
    m_byte[m_nextCode] = first;
    ++m_nextCode;
    if (m_nextCode < kNone && m_nextCode == (1u << m_width))
      ++m_width;
  }
  m_previous = code;
  m_previousFirst = first;
  byte = m_stack[--m_stackDepth];
  return true;
}
