// One frame's control values, carried from pre-render to render in a host
// handle. The layout is shared with the host's handle memory, so it is fixed:
// 52 bytes, native byte order, no padding.
#pragma once

#include "host/interface/ae_types.h"

#pragma pack(push, 4)
struct RenderSettings {
    double scale;             // horizontal down-sampling factor of this render
    A_long direction;         // 1 horizontal strips; anything else vertical
    A_long invert;            // non-zero: strips are scanned from their far end
    A_long strip_width;       // pixels, scaled
    A_long min_length;        // pixels, scaled
    A_long mode;              // CompareMode
    PF_Fixed threshold;       // percent, 16.16
    A_long edge_thickness;    // pixels, scaled
    A_long edge_mode;         // EdgeMode; anything but 1 paints with edge_color
    PF_Pixel edge_color;      // alpha, red, green, blue
    PF_Fixed edge_lightness;  // border lightness exponent, 16.16
    A_long color_invert;      // non-zero: border and fill colours trade places
};
#pragma pack(pop)

static_assert(sizeof(RenderSettings) == 52, "RenderSettings is 52 bytes");
static_assert(offsetof(RenderSettings, scale) == 0, "layout");
static_assert(offsetof(RenderSettings, direction) == 8, "layout");
static_assert(offsetof(RenderSettings, invert) == 12, "layout");
static_assert(offsetof(RenderSettings, strip_width) == 16, "layout");
static_assert(offsetof(RenderSettings, min_length) == 20, "layout");
static_assert(offsetof(RenderSettings, mode) == 24, "layout");
static_assert(offsetof(RenderSettings, threshold) == 28, "layout");
static_assert(offsetof(RenderSettings, edge_thickness) == 32, "layout");
static_assert(offsetof(RenderSettings, edge_mode) == 36, "layout");
static_assert(offsetof(RenderSettings, edge_color) == 40, "layout");
static_assert(offsetof(RenderSettings, edge_lightness) == 44, "layout");
static_assert(offsetof(RenderSettings, color_invert) == 48, "layout");

enum CompareMode : A_long {
    CompareRgb = 1,
    CompareLuminance = 2,
    CompareHue = 3,
    CompareLightness = 4,
    CompareSaturation = 5,
};

enum EdgeMode : A_long {
    EdgeModeLightness = 1,
    EdgeModeColor = 2,
};

enum Direction : A_long {
    DirectionHorizontal = 1,
    DirectionVertical = 2,
};

// A length control at the render's down-sampling: positive values scale and
// truncate but never reach 0; zero or less passes through. Saturates at the
// 32-bit range.
A_long ScaleLength(A_long value, double scale);
