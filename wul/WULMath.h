#pragma once
// Rounding and power functions. The rounding ones use the processor's current rounding
// mode (round to nearest, ties to even, unless changed).
#include <cstdint>

// False when all exponent bits are set (infinity or NaN).
bool wulIsFinite(const float* value);
int32_t wulRoundFloat(float x);
int32_t wulRoundDouble(double x);
int64_t wulRoundDoubleToInt64(double x);
// The root of a float, kept in double precision.
double wulSqrtFloat(float x);
double wulSqrtDouble(double x);
double wulLog2(double x);
// x to the power y through 2^(y * log2 x); 0 whenever x is 0. x must not be negative.
double wulPow(double x, double y);
