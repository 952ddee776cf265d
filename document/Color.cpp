#include "document/Color.h"
#include "wul/WULMath.h"

CColor CColor::Lerp(const CColor& other, float t) const {
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t c = static_cast<int32_t>((value >> shift) & 0xFF);
    const int32_t d = static_cast<int32_t>((other.value >> shift) & 0xFF) - c;
    // A t outside 0..1 must not wrap the channel around; the range test runs in double so
    // that a huge t cannot overflow.
    const double reach = static_cast<double>(d) * static_cast<double>(t);
    int32_t v;
    if (reach >= 255.0)
      v = 255;
    else if (reach <= -255.0)
      v = 0;
    else if (reach == reach)
      v = c + wulRoundFloat(static_cast<float>(d) * t);
    else
      v = c;
    if (v < 0)
      v = 0;
    else if (v > 255)
      v = 255;
    result |= static_cast<uint32_t>(v) << shift;
  }
  return CColor(result);
}
