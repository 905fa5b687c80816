// Whether a candidate pixel continues a run: five ways of comparing it with
// the run's first pixel, each against a limit derived once per frame.
#pragma once

#include "engine/render_settings.h"
#include "host/interface/ae_effect.h"

struct SimilarityLimits {
    double similarity_limit;        // RGB, Luminance, Hue
    A_long similarity_limit_fixed;  // Lightness, Saturation (16.16)
};

// A pixel with the host's luminance and HLS triple of it.
struct ComparedPixel {
    PF_PixelFloat pixel;
    float luminance;
    PF_HLS_Pixel hls;
};

enum HlsChannel { HlsHue = 0, HlsLightness = 1, HlsSaturation = 2 };

// Calls the host's ansi.sqrt in RGB mode only.
SimilarityLimits DeriveSimilarityLimits(PF_Fixed threshold, A_long mode, const PF_InData* in_data);

namespace similarity_detail {
// |a - b| of two 16.16 values, without the 32-bit overflow of extreme ones.
inline bool FixedWithin(PF_Fixed a, PF_Fixed b, A_long limit) {
    A_long_long difference = static_cast<A_long_long>(a) - b;
    if (difference < 0) difference = -difference;
    return difference <= limit;
}
}  // namespace similarity_detail

// Runs once per examined pixel, so it is inline and makes no host call. Every
// comparison is written so that a NaN distance is never similar.
inline bool IsSimilar(A_long mode, const SimilarityLimits& limits, const ComparedPixel& first,
                      const ComparedPixel& candidate) {
    switch (mode) {
        case CompareRgb: {
            const float dr = first.pixel.red - candidate.pixel.red;
            const float dg = first.pixel.green - candidate.pixel.green;
            const float db = first.pixel.blue - candidate.pixel.blue;
            const float sum = (dr * dr + dg * dg) + db * db;
            return limits.similarity_limit >= static_cast<double>(__builtin_sqrtf(sum));
        }
        case CompareLuminance: {
            float difference = first.luminance - candidate.luminance;
            if (difference < 0) difference = -difference;
            return limits.similarity_limit >= static_cast<double>(difference);
        }
        case CompareHue: {
            const PF_Fixed a = first.hls[HlsHue], b = candidate.hls[HlsHue];
            const double lo = (a < b ? a : b) / 65536.0;
            const double hi = (a < b ? b : a) / 65536.0;
            // The other way round the circle.
            return limits.similarity_limit >= hi - lo ||
                   limits.similarity_limit >= (lo + 360.0) - hi;
        }
        case CompareLightness:
            return similarity_detail::FixedWithin(first.hls[HlsLightness],
                                                  candidate.hls[HlsLightness],
                                                  limits.similarity_limit_fixed);
        case CompareSaturation:
            return similarity_detail::FixedWithin(first.hls[HlsSaturation],
                                                  candidate.hls[HlsSaturation],
                                                  limits.similarity_limit_fixed);
        default:
            return false;
    }
}
