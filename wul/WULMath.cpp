#include "wul/WULMath.h"
#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

bool wulIsFinite(const float* value) {
  uint32_t bits;
  std::memcpy(&bits, value, sizeof bits);
  return (bits & 0x7F800000u) != 0x7F800000u;
}

// Out-of-range values and NaN give the processor's integer indefinite (the lowest value).
#if defined(__x86_64__)

int32_t wulRoundFloat(float x) { return _mm_cvtss_si32(_mm_set_ss(x)); }

int32_t wulRoundDouble(double x) { return _mm_cvtsd_si32(_mm_set_sd(x)); }

int64_t wulRoundDoubleToInt64(double x) { return _mm_cvtsd_si64(_mm_set_sd(x)); }

#elif defined(__i386__)

int32_t wulRoundFloat(float x) {
  int32_t result;
  __asm__("fistpl %0" : "=m"(result) : "t"(x) : "st");
  return result;
}

int32_t wulRoundDouble(double x) {
  int32_t result;
  __asm__("fistpl %0" : "=m"(result) : "t"(x) : "st");
  return result;
}

int64_t wulRoundDoubleToInt64(double x) {
  int64_t result;
  __asm__("fistpll %0" : "=m"(result) : "t"(x) : "st");
  return result;
}

#else
#error "wulRound* need an x86 processor"
#endif

double wulSqrtFloat(float x) { return std::sqrt(static_cast<double>(x)); }

double wulSqrtDouble(double x) { return std::sqrt(x); }

double wulLog2(double x) { return std::log2(x); }

double wulPow(double x, double y) {
  if (x == 0)
    return 0;
  double t = y * std::log2(x);
  if (!std::isfinite(t))
    return std::exp2(t);
  double whole = std::nearbyint(t);
  double fraction = t - whole;
  // Beyond this the result is infinite or zero anyway.
  if (whole > 4096)
    whole = 4096;
  else if (whole < -4096)
    whole = -4096;
  return std::scalbn(std::exp2(fraction), static_cast<int>(whole));
}
