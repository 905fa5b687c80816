// The five comparison modes against limits derived from the threshold.
#include "engine/similarity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/engine/engine_host.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

PF_Fixed Percent(double percent) { return static_cast<PF_Fixed>(percent * 65536.0); }

TEST(DeriveSimilarityLimits, PerMode) {
    EngineHost host;
    const struct {
        A_long mode;
        double limit;
        A_long limit_fixed;
    } cases[] = {
        {CompareRgb, 0.1 * std::sqrt(3.0), 6553},
        {CompareLuminance, 0.1, 6553},
        {CompareHue, 18.0, 655360},  // the raw threshold, unused by Hue
        {CompareLightness, 0.1, 6553},
        {CompareSaturation, 0.1, 6553},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const SimilarityLimits limits = DeriveSimilarityLimits(Percent(10), c.mode, host.in_data());
        EXPECT_EQ(limits.similarity_limit, c.limit);
        EXPECT_EQ(limits.similarity_limit_fixed, c.limit_fixed);
    }
    // The host's square root, once, and only for RGB.
    EXPECT_EQ(host.sqrt_calls, 1);
}

TEST(DeriveSimilarityLimits, FixedLimitTruncatesTowardZero) {
    EngineHost host;
    EXPECT_EQ(DeriveSimilarityLimits(199, CompareLightness, host.in_data()).similarity_limit_fixed,
              1);
    EXPECT_EQ(DeriveSimilarityLimits(-199, CompareLightness, host.in_data()).similarity_limit_fixed,
              -1);
}

ComparedPixel Rgb(float red, float green, float blue, float alpha = 1.0f) {
    ComparedPixel pixel{};
    pixel.pixel = PF_PixelFloat{alpha, red, green, blue};
    return pixel;
}
ComparedPixel Lum(float luminance) {
    ComparedPixel pixel{};
    pixel.luminance = luminance;
    return pixel;
}
ComparedPixel Hls(double hue_degrees, PF_Fixed lightness, PF_Fixed saturation) {
    ComparedPixel pixel{};
    pixel.hls[HlsHue] = static_cast<PF_Fixed>(hue_degrees * 65536.0);
    pixel.hls[HlsLightness] = lightness;
    pixel.hls[HlsSaturation] = saturation;
    return pixel;
}

TEST(IsSimilar, Table) {
    EngineHost host;
    const struct {
        const char* what;
        A_long mode;
        double threshold_percent;
        ComparedPixel first, candidate;
        bool similar;
    } cases[] = {
        {"rgb equal at threshold 0", CompareRgb, 0, Rgb(0.2f, 0.4f, 0.6f), Rgb(0.2f, 0.4f, 0.6f),
         true},
        {"rgb one level apart at threshold 0", CompareRgb, 0, Rgb(0.2f, 0.4f, 0.6f),
         Rgb(0.2f, 0.4f, 0.6f + 1.0f / 255.0f), false},
        {"rgb alpha ignored", CompareRgb, 0, Rgb(0.2f, 0.4f, 0.6f, 1.0f),
         Rgb(0.2f, 0.4f, 0.6f, 0.01f), true},
        {"rgb black and white at 100", CompareRgb, 100, Rgb(0, 0, 0), Rgb(1, 1, 1), true},
        {"rgb black and white at 99", CompareRgb, 99, Rgb(0, 0, 0), Rgb(1, 1, 1), false},
        {"rgb within 10 percent", CompareRgb, 10, Rgb(1, 0, 0), Rgb(0.9f, 0.05f, 0.05f), true},
        {"rgb beyond 10 percent", CompareRgb, 10, Rgb(1, 0, 0), Rgb(0.85f, 0.1f, 0.1f), false},
        {"rgb NaN", CompareRgb, 100, Rgb(0, 0, 0), Rgb(kNaN, 0, 0), false},
        {"luminance equal at 0", CompareLuminance, 0, Lum(0.3f), Lum(0.3f), true},
        {"luminance limit inclusive", CompareLuminance, 50, Lum(0.75f), Lum(0.25f), true},
        {"luminance limit inclusive, other order", CompareLuminance, 50, Lum(0.25f), Lum(0.75f),
         true},
        {"luminance just past the limit", CompareLuminance, 50, Lum(0.75f), Lum(0.2499f), false},
        {"luminance NaN", CompareLuminance, 100, Lum(0.5f), Lum(kNaN), false},
        {"hue equal at 0", CompareHue, 0, Hls(90, 0, 0), Hls(90, 0, 0), true},
        {"hue wraps round 360", CompareHue, 10, Hls(350, 0, 0), Hls(0, 0, 0), true},
        {"hue wraps, other order", CompareHue, 10, Hls(0, 0, 0), Hls(350, 0, 0), true},
        {"hue exactly 18 degrees", CompareHue, 10, Hls(10, 0, 0), Hls(28, 0, 0), true},
        {"hue 20 degrees", CompareHue, 10, Hls(10, 0, 0), Hls(30, 0, 0), false},
        {"hue opposite at 100", CompareHue, 100, Hls(0, 0, 0), Hls(180, 0, 0), true},
        {"hue ignores lightness", CompareHue, 0, Hls(90, 0, 0), Hls(90, 65536, 65536), true},
        {"lightness equal at 0", CompareLightness, 0, Hls(0, 5000, 0), Hls(0, 5000, 0), true},
        {"lightness 1 apart at 0", CompareLightness, 0, Hls(0, 5000, 0), Hls(0, 5001, 0), false},
        {"lightness 6553 apart", CompareLightness, 10, Hls(0, 10000, 0), Hls(0, 16553, 0), true},
        {"lightness 6553 below", CompareLightness, 10, Hls(0, 16553, 0), Hls(0, 10000, 0), true},
        {"lightness 6554 apart", CompareLightness, 10, Hls(0, 10000, 0), Hls(0, 16554, 0), false},
        {"lightness extremes do not overflow", CompareLightness, 100, Hls(0, INT32_MIN, 0),
         Hls(0, INT32_MAX, 0), false},
        {"lightness ignores saturation", CompareLightness, 0, Hls(0, 0, 0), Hls(0, 0, 65536), true},
        {"saturation 6553 apart", CompareSaturation, 10, Hls(0, 0, 10000), Hls(0, 0, 16553), true},
        {"saturation 6554 apart", CompareSaturation, 10, Hls(0, 0, 10000), Hls(0, 0, 16554), false},
        {"saturation ignores lightness", CompareSaturation, 0, Hls(0, 0, 0), Hls(0, 65536, 0),
         true},
        {"mode 0", 0, 100, Rgb(0.5f, 0.5f, 0.5f), Rgb(0.5f, 0.5f, 0.5f), false},
        {"mode 6", 6, 100, Rgb(0.5f, 0.5f, 0.5f), Rgb(0.5f, 0.5f, 0.5f), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SimilarityLimits limits =
            DeriveSimilarityLimits(Percent(c.threshold_percent), c.mode, host.in_data());
        EXPECT_EQ(IsSimilar(c.mode, limits, c.first, c.candidate), c.similar);
    }
}

}  // namespace
