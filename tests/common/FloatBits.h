#pragma once
// Float fields written by their bits, for the values that trap once touched as floats.
#include <cstdint>
#include <cstring>

const uint32_t kFloatNaN = 0x7FC00000u;
const uint32_t kFloatInfinity = 0x7F800000u;
const uint32_t kFloatMinusInfinity = 0xFF800000u;
const uint32_t kFloatDenormal = 0x00000001u;
const uint32_t kFloatMinusDenormal = 0x80400000u;

inline void StoreFloatBits(float* field, uint32_t bits) { std::memcpy(field, &bits, sizeof bits); }

inline uint32_t FloatBitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
