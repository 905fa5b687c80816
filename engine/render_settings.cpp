#include "engine/render_settings.h"

#include "engine/numeric.h"

A_long ScaleLength(A_long value, double scale) {
    if (value <= 0) return value;
    // A NaN scale gives 0 here, and so the shortest length.
    const A_long scaled = TruncateToLong(value * scale);
    return scaled == 0 ? 1 : scaled;
}
