// Whether a candidate pixel continues a run: five ways of comparing it with
// the run's first pixel, each against a limit derived once per frame.
#pragma once

#include "host/interface/ae_effect.h"

struct SimilarityLimits {
    double similarity_limit;         // RGB, Luminance, Hue
    A_long similarity_limit_fixed;   // Lightness, Saturation (16.16)
};

// A pixel with the host's luminance and HLS triple of it.
struct ComparedPixel {
    PF_PixelFloat pixel;
    float luminance;
    PF_HLS_Pixel hls;
};

SimilarityLimits DeriveSimilarityLimits(PF_Fixed threshold, A_long mode, const PF_InData* in_data);

// Makes no host call: runs once per examined pixel.
bool IsSimilar(A_long mode, const SimilarityLimits& limits, const ComparedPixel& first,
               const ComparedPixel& candidate);
