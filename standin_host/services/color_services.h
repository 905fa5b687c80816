// The host's colour conversions ("PF ColorFloat Suite" 1), with fixed
// arithmetic so that renders are reproducible across builds.
#pragma once

#include "host/interface/ae_effect.h"

namespace standin {

// Hue in degrees 0..360, lightness and saturation as fractions, each 16.16.
PF_Err RGBtoHLS(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, PF_HLS_Pixel hls);
// Alpha of the result is 1.
PF_Err HLStoRGB(PF_ProgPtr effect_ref, const PF_HLS_Pixel hls, PF_PixelFloat* rgb);
PF_Err Luminance(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, float* luminance);

// x * 65536 rounded half away from zero, clamped to 32 bits; NaN gives 0.
PF_Fixed ToFixed(double x);

}  // namespace standin
