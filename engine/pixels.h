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

// 16-bit channels run from 0 to 32768, not 65535.
constexpr A_long kFullScale16 = 32768;

// Inline: the scan converts every pixel that it examines.
inline PF_PixelFloat Pixel8ToFloat(const PF_Pixel& pixel) {
    return PF_PixelFloat{
        static_cast<float>(pixel.alpha) / 255.0f, static_cast<float>(pixel.red) / 255.0f,
        static_cast<float>(pixel.green) / 255.0f, static_cast<float>(pixel.blue) / 255.0f};
}

inline PF_PixelFloat Pixel16ToFloat(const PF_Pixel16& pixel) {
    constexpr float kFullScale = static_cast<float>(kFullScale16);
    return PF_PixelFloat{
        static_cast<float>(pixel.alpha) / kFullScale, static_cast<float>(pixel.red) / kFullScale,
        static_cast<float>(pixel.green) / kFullScale, static_cast<float>(pixel.blue) / kFullScale};
}

PF_Pixel16 Pixel8To16(const PF_Pixel& pixel);

// Border channels only: v * full scale in single precision, truncated toward
// zero. Values outside the channel's range (float frames hold any value)
// saturate, and NaN gives 0, instead of being undefined.
A_u_char FloatChannelTo8(float value);
A_u_short FloatChannelTo16(float value);

// Callers keep 0 <= x < width and 0 <= y < height. The run colour gets the
// pixel exactly as stored, in the member of the frame's depth.
PF_PixelFloat FetchPixel(const RenderContext& context, A_long x, A_long y, DepthPixel* run_color);
PF_PixelFloat FetchPixelFloat(const RenderContext& context, A_long x, A_long y);

// Exchanges the members of the depth, alpha included.
void SwapPixels(PixelDepth depth, DepthPixel* a, DepthPixel* b);

// Bytes per pixel of a depth; 0 for a value that names none.
A_long BytesPerPixel(PixelDepth depth);
