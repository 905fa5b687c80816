// The stand-in host's colour conversions, value for value.
#include "standin_host/services/color_services.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Hls {
    PF_Fixed hue, lightness, saturation;
};

constexpr PF_Fixed Degrees(int degrees) { return degrees * 65536; }
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(RGBtoHLS, ExactTriples) {
    const struct {
        const char* what;
        PF_PixelFloat rgb;  // alpha, red, green, blue
        Hls hls;
    } cases[] = {
        {"red", {1, 1, 0, 0}, {0, 32768, 65536}},
        {"green", {1, 0, 1, 0}, {Degrees(120), 32768, 65536}},
        {"blue", {1, 0, 0, 1}, {Degrees(240), 32768, 65536}},
        {"magenta wraps below 0", {1, 1, 0, 1}, {Degrees(300), 32768, 65536}},
        {"dark orange", {1, 0.5f, 0.25f, 0}, {Degrees(30), 16384, 65536}},
        {"azure, lightness 0.5", {1, 0.25f, 0.5f, 0.75f}, {Degrees(210), 32768, 32768}},
        {"an irregular colour",
         {1, 60 / 255.0f, 253 / 255.0f, 230 / 255.0f},
         {11327881, 40221, 64205}},
        {"grey", {1, 0.5f, 0.5f, 0.5f}, {0, 32768, 0}},
        {"white", {1, 1, 1, 1}, {0, 65536, 0}},
        {"alpha takes no part", {0, 1, 1, 1}, {0, 65536, 0}},
        {"beyond white: no division by zero", {1, 2, 0, 0}, {0, 65536, 0}},
        {"huge lightness clamps", {1, 1e30f, 0, 0}, {0, INT32_MAX, -65536}},
        {"NaN gives zeros", {1, kNaN, 0.5f, 0.5f}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PF_HLS_Pixel hls = {-1, -1, -1};
        EXPECT_EQ(standin::RGBtoHLS(nullptr, &c.rgb, hls), PF_Err_NONE);
        EXPECT_EQ(hls[0], c.hls.hue);
        EXPECT_EQ(hls[1], c.hls.lightness);
        EXPECT_EQ(hls[2], c.hls.saturation);
    }
}

TEST(HLStoRGB, ExactColoursWithOpaqueAlpha) {
    const struct {
        const char* what;
        Hls hls;
        PF_PixelFloat rgb;
    } cases[] = {
        {"red", {0, 32768, 65536}, {1, 1, 0, 0}},
        {"green", {Degrees(120), 32768, 65536}, {1, 0, 1, 0}},
        {"blue", {Degrees(240), 32768, 65536}, {1, 0, 0, 1}},
        {"dark orange", {Degrees(30), 16384, 65536}, {1, 0.5f, 0.25f, 0}},
        {"azure", {Degrees(210), 32768, 32768}, {1, 0.25f, 0.5f, 0.75f}},
        {"grey: saturation 0", {Degrees(77), 16384, 0}, {1, 0.25f, 0.25f, 0.25f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PF_HLS_Pixel hls = {c.hls.hue, c.hls.lightness, c.hls.saturation};
        PF_PixelFloat rgb{-1, -1, -1, -1};
        EXPECT_EQ(standin::HLStoRGB(nullptr, hls, &rgb), PF_Err_NONE);
        EXPECT_EQ(rgb.alpha, c.rgb.alpha);
        EXPECT_EQ(rgb.red, c.rgb.red);
        EXPECT_EQ(rgb.green, c.rgb.green);
        EXPECT_EQ(rgb.blue, c.rgb.blue);
    }
}

TEST(Luminance, WeightedSumInSinglePrecisionInItsOrder) {
    const struct {
        PF_PixelFloat rgb;
        float luminance;
    } cases[] = {
        {{1, 1, 1, 1}, 1.0f},
        {{1, 1, 0, 0}, 0.299f},
        {{1, 0, 1, 0}, 0.587f},
        {{0, 0, 0, 1}, 0.114f},
        {{1, 0.5f, 0.5f, 0.5f}, 0.5f},
        // (red + green) + blue; any other order of the sums gives 0.7555725574...
        {{1, 60 / 255.0f, 253 / 255.0f, 230 / 255.0f}, 0.7555726170539856f},
    };
    for (const auto& c : cases) {
        float luminance = -1;
        EXPECT_EQ(standin::Luminance(nullptr, &c.rgb, &luminance), PF_Err_NONE);
        EXPECT_EQ(luminance, c.luminance);
    }
}

TEST(ToFixed, RoundsHalfAwayFromZeroAndClamps) {
    const struct {
        double in;
        PF_Fixed out;
    } cases[] = {
        {0.5, 32768},
        {0.5 / 65536, 1},
        {-0.5 / 65536, -1},
        {2.5 / 65536, 3},
        {2.49 / 65536, 2},
        {32767.99999, INT32_MAX},
        {32768.0, INT32_MAX},
        {-32768.0, INT32_MIN},
        {-40000.0, INT32_MIN},
        {std::numeric_limits<double>::infinity(), INT32_MAX},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(standin::ToFixed(c.in), c.out);
    }
}

}  // namespace
