#pragma once
// IEEE single values judged by their bit patterns. The program runs with the invalid and
// denormal-operand exceptions unmasked, so a float that comes from outside (a file, a
// portable record, the clipboard) is classified here before any floating-point instruction
// touches it: a comparison, a conversion to double or an x87 load of a denormal or a
// signalling NaN already traps. Header-only, so that every plug-in has its own copy.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "the bit patterns below are those of an IEEE single");

enum WULFloatClass {
  WUL_FLOAT_ZERO,
  WUL_FLOAT_NORMAL,
  WUL_FLOAT_DENORMAL,
  WUL_FLOAT_INFINITE,
  WUL_FLOAT_NAN
};

inline uint32_t wulFloatBits(const void* value) {
  uint32_t bits;
  std::memcpy(&bits, value, sizeof bits);
  return bits;
}

inline WULFloatClass wulClassifyFloatBits(uint32_t bits) {
  const uint32_t exponent = bits & 0x7F800000u;
  const uint32_t mantissa = bits & 0x007FFFFFu;
  if (exponent == 0x7F800000u)
    return mantissa ? WUL_FLOAT_NAN : WUL_FLOAT_INFINITE;
  if (exponent == 0)
    return mantissa ? WUL_FLOAT_DENORMAL : WUL_FLOAT_ZERO;
  return WUL_FLOAT_NORMAL;
}

// The class of the float stored at value, read as bytes.
inline WULFloatClass wulClassifyFloat(const void* value) { return wulClassifyFloatBits(wulFloatBits(value)); }

// Zero or a normal number: the values arithmetic may take.
inline bool wulIsUsableFloatBits(uint32_t bits) {
  const WULFloatClass c = wulClassifyFloatBits(bits);
  return c == WUL_FLOAT_ZERO || c == WUL_FLOAT_NORMAL;
}

inline bool wulIsUsableFloat(const void* value) { return wulIsUsableFloatBits(wulFloatBits(value)); }

// The float with these bits when it is usable, else fallback.
inline float wulUsableFloatBits(uint32_t bits, float fallback) {
  if (!wulIsUsableFloatBits(bits))
    return fallback;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

inline float wulUsableFloat(const void* value, float fallback) { return wulUsableFloatBits(wulFloatBits(value), fallback); }

// The float at value limited to 0..1, such as an opacity: negative values (negative zero,
// denormals and infinity included) and positive denormals give 0, positive infinity and
// everything from 1 on give 1, NaN gives nanValue.
inline float wulUnitFloat(const void* value, float nanValue) {
  const uint32_t bits = wulFloatBits(value);
  const WULFloatClass c = wulClassifyFloatBits(bits);
  if (c == WUL_FLOAT_NAN)
    return nanValue;
  if ((bits & 0x80000000u) || c == WUL_FLOAT_ZERO || c == WUL_FLOAT_DENORMAL)
    return 0.0f;
  if (c == WUL_FLOAT_INFINITE || bits >= 0x3F800000u)
    return 1.0f;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The float at value rounded to the nearest integer (halves away from zero) and limited to
// the int32 range, for integer fields such as pixels per metre: NaN and denormals give 0, the
// infinities the bounds. An out-of-range conversion would raise the invalid exception.
inline int32_t wulRoundFloatSaturated(const void* value) {
  const uint32_t bits = wulFloatBits(value);
  const WULFloatClass c = wulClassifyFloatBits(bits);
  if (c == WUL_FLOAT_NAN || c == WUL_FLOAT_ZERO || c == WUL_FLOAT_DENORMAL)
    return 0;
  const bool negative = (bits & 0x80000000u) != 0;
  // From 2^31 on (biased exponent 158) every value is beyond the range.
  if (c == WUL_FLOAT_INFINITE || ((bits >> 23) & 0xFFu) >= 158)
    return negative ? INT32_MIN : INT32_MAX;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return static_cast<int32_t>(std::lround(f));
}
