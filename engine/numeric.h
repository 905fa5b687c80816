// Conversions between number types that are defined for every input: values
// outside the target's range saturate and NaN gives 0, where a plain cast
// would be undefined or wrap. Within range they are plain casts (truncation).
#pragma once

#include <stdint.h>

#include "host/interface/ae_types.h"

inline A_long TruncateToLong(double value) {
    if (value != value) return 0;
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<A_long>(value);
}

inline A_long SaturateToLong(A_long_long value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<A_long>(value);
}

inline A_short SaturateToShort(A_long value) {
    if (value > INT16_MAX) return INT16_MAX;
    if (value < INT16_MIN) return INT16_MIN;
    return static_cast<A_short>(value);
}
