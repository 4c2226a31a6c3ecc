// Conversions to 32-bit integers that never overflow or meet a NaN.
#pragma once

#include <cmath>
#include <cstdint>

// v held to the 32-bit signed range.
inline int32_t Saturate32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// The integer nearest to v, halves to even. NaN gives 0; values beyond
// +-limit give +-limit (limit must be positive and at most INT32_MAX).
inline int32_t NearestInt(double v, int32_t limit) {
    if (std::isnan(v)) return 0;
    if (v >= double(limit)) return limit;
    if (v <= -double(limit)) return -limit;
    return int32_t(std::nearbyint(v));
}
