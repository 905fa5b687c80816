#include "engine/similarity.h"

SimilarityLimits DeriveSimilarityLimits(PF_Fixed threshold, A_long mode, const PF_InData* in_data) {
    SimilarityLimits limits;
    limits.similarity_limit_fixed = threshold;
    limits.similarity_limit = (static_cast<double>(threshold) / 65536.0) * 0.01;
    if (mode == CompareHue) {
        // 100 percent is half the colour circle, the farthest two hues can be.
        limits.similarity_limit = limits.similarity_limit * 180.0;
    } else {
        limits.similarity_limit_fixed = limits.similarity_limit_fixed / 100;
    }
    if (mode == CompareRgb) {
        // The diagonal of the unit RGB cube.
        limits.similarity_limit = limits.similarity_limit * in_data->utils->ansi.sqrt(3.0);
    }
    return limits;
}
