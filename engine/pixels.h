// Pixels as the engine sees them: the three depths, the conversions between
// them with their exact arithmetic, and how the scan reads the input.
#pragma once

#include "host/interface/ae_effect.h"

enum PixelDepth : A_u_char {
    PixelDepth8 = 0,
    PixelDepth16 = 1,
    PixelDepthFloat = 2,
};

// A colour held at every depth; only the member of the frame's depth is used.
struct DepthPixel {
    PF_Pixel pixel8;
    PF_Pixel16 pixel16;
    PF_PixelFloat pixel_float;
};

// One frame's view of the host's worlds. Owns nothing.
struct RenderContext {
    PF_InData* in_data;
    PF_EffectWorld* input_world;
    PF_EffectWorld* output_world;
    PF_Pixel* input_pixels8;
    A_long width;
    A_long height;
    A_long input_row_pixels;
    A_long output_row_pixels;
    PixelDepth depth;
    PF_Pixel16* input_pixels16;
    PF_PixelFloat* input_pixels_float;
};

constexpr A_long kFullScale16 = 32768;

PF_PixelFloat Pixel8ToFloat(const PF_Pixel& pixel);
PF_PixelFloat Pixel16ToFloat(const PF_Pixel16& pixel);
PF_Pixel16 Pixel8To16(const PF_Pixel& pixel);
// Border channels only: truncating, saturating at the type's range, NaN to 0.
A_u_char FloatChannelTo8(float value);
A_u_short FloatChannelTo16(float value);

// Callers keep 0 <= x < width and 0 <= y < height.
PF_PixelFloat FetchPixel(const RenderContext& context, A_long x, A_long y, DepthPixel* run_color);
PF_PixelFloat FetchPixelFloat(const RenderContext& context, A_long x, A_long y);

void SwapPixels(PixelDepth depth, DepthPixel* a, DepthPixel* b);

// Bytes per pixel of a depth.
A_long BytesPerPixel(PixelDepth depth);
