#include <gtest/gtest.h>
#include <float.h>
#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <utility>
#include "wul/WULFloatBits.h"
#include "wul/WULMath.h"
#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

const double kInf = std::numeric_limits<double>::infinity();

bool Finite(float f) { return wulIsFinite(&f); }

TEST(Math, IsFinite) {
  EXPECT_FALSE(Finite(std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(Finite(-std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(Finite(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_TRUE(Finite(std::numeric_limits<float>::denorm_min()));
  EXPECT_TRUE(Finite(-0.0f));
  EXPECT_TRUE(Finite(FLT_MAX));
}

TEST(Math, FloatClassesByBits) {
  EXPECT_EQ(wulClassifyFloatBits(0x00000000u), WUL_FLOAT_ZERO);
  EXPECT_EQ(wulClassifyFloatBits(0x80000000u), WUL_FLOAT_ZERO);
  EXPECT_EQ(wulClassifyFloatBits(0x007FFFFFu), WUL_FLOAT_DENORMAL);
  EXPECT_EQ(wulClassifyFloatBits(0x80000001u), WUL_FLOAT_DENORMAL);
  EXPECT_EQ(wulClassifyFloatBits(0x00800000u), WUL_FLOAT_NORMAL);
  EXPECT_EQ(wulClassifyFloatBits(0x7F7FFFFFu), WUL_FLOAT_NORMAL);
  EXPECT_EQ(wulClassifyFloatBits(0xFF800000u), WUL_FLOAT_INFINITE);
  EXPECT_EQ(wulClassifyFloatBits(0x7F800001u), WUL_FLOAT_NAN);
  EXPECT_EQ(wulClassifyFloatBits(0xFFC00000u), WUL_FLOAT_NAN);
  // Limited to 0..1 without touching the value as a float.
  const std::pair<uint32_t, float> unit[] = {{0x3F000000u, 0.5f}, {0x3F800001u, 1.0f}, {0x7F800000u, 1.0f},
                                             {0xBF000000u, 0.0f}, {0x00000001u, 0.0f}, {0x7FC00000u, 0.25f}};
  for (const auto& u : unit)
    EXPECT_EQ(wulUnitFloat(&u.first, 0.25f), u.second) << u.first;
}

TEST(Math, RoundingTiesGoToEven) {
  EXPECT_EQ(wulRoundFloat(2.5f), 2);
  EXPECT_EQ(wulRoundFloat(3.5f), 4);
  EXPECT_EQ(wulRoundFloat(-0.5f), 0);
  EXPECT_EQ(wulRoundFloat(-1.5f), -2);
  EXPECT_EQ(wulRoundDouble(-2.5), -2);
  EXPECT_EQ(wulRoundDouble(2147483647.0), INT_MAX);
  EXPECT_EQ(wulRoundDoubleToInt64(2251799813685248.5), 2251799813685248LL);
  EXPECT_EQ(wulRoundDoubleToInt64(2251799813685249.5), 2251799813685250LL);
  EXPECT_EQ(wulRoundDoubleToInt64(-1e12 - 0.5), -1000000000000LL);
}

// The results these functions give where the program's masks make the processor trap
// (out-of-range conversions, log of zero, overflow, negative bases) are those of the
// compiler's default masks, with every exception masked.
struct AllExceptionsMasked {
  unsigned x87 = _controlfp(0, 0);
#if defined(__x86_64__)
  unsigned sse = _mm_getcsr();
#endif
  AllExceptionsMasked() {
    _controlfp(_MCW_EM, _MCW_EM);
#if defined(__x86_64__)
    _mm_setcsr(sse | 0x1F80u);
#endif
  }
  ~AllExceptionsMasked() {
    std::feclearexcept(FE_ALL_EXCEPT);
    _controlfp(x87, _MCW_EM);
#if defined(__x86_64__)
    _mm_setcsr(sse);
#endif
  }
};

TEST(Math, OutOfRangeGivesIntegerIndefinite) {
  AllExceptionsMasked masked;
  EXPECT_EQ(wulRoundDouble(2147483648.0), INT_MIN);
  EXPECT_EQ(wulRoundDouble(std::nan("")), INT_MIN);
  EXPECT_EQ(wulRoundFloat(std::numeric_limits<float>::infinity()), INT_MIN);
  EXPECT_EQ(wulRoundDoubleToInt64(1e19), LLONG_MIN);
}

TEST(Math, RoundingFollowsTheCurrentMode) {
  struct Restore {
    ~Restore() { std::fesetround(FE_TONEAREST); }
  } restore;
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  EXPECT_EQ(wulRoundDouble(2.1), 3);
  EXPECT_EQ(wulRoundFloat(-2.9f), -2);
  ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
  EXPECT_EQ(wulRoundDoubleToInt64(5e9 + 0.9), 5000000000LL);
  ASSERT_EQ(std::fesetround(FE_TOWARDZERO), 0);
  EXPECT_EQ(wulRoundDouble(-2.9), -2);
}

TEST(Math, RootsAndLogarithm) {
  // The float root is not rounded back to float.
  EXPECT_EQ(wulSqrtFloat(2.0f), std::sqrt(2.0));
  EXPECT_EQ(wulSqrtDouble(1e300), 1e150);
  EXPECT_EQ(wulLog2(0.125), -3.0);
  AllExceptionsMasked masked;
  EXPECT_EQ(wulLog2(0.0), -kInf);
}

TEST(Math, Pow) {
  EXPECT_EQ(wulPow(0.0, 0.0), 0.0);
  EXPECT_EQ(wulPow(0.0, -1.0), 0.0);
  EXPECT_DOUBLE_EQ(wulPow(2.0, 0.5), std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(wulPow(8.0, 1.0 / 3.0), 2.0);
  EXPECT_EQ(wulPow(2.0, 10.0), 1024.0);
  EXPECT_EQ(wulPow(5.0, 0.0), 1.0);
  EXPECT_DOUBLE_EQ(wulPow(4.0, -0.5), 0.5);
  EXPECT_DOUBLE_EQ(wulPow(2.0, 2.5), 4.0 * std::sqrt(2.0));  // tie in the split
  EXPECT_NEAR(wulPow(10.0, 2.0), 100.0, 1e-12);
}

TEST(Math, PowBeyondTheRange) {
  AllExceptionsMasked masked;
  EXPECT_EQ(wulPow(2.0, 5000.0), kInf);
  EXPECT_EQ(wulPow(2.0, -5000.0), 0.0);
  EXPECT_EQ(wulPow(2.0, kInf), kInf);
  EXPECT_EQ(wulPow(0.5, kInf), 0.0);
  EXPECT_TRUE(std::isnan(wulPow(-2.0, 0.5)));
}

}  // namespace
