// The strip scan on tiny frames, at every depth: which pixels each run covers,
// borders and insets, edge colours, and how the scan meets the host.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tests/engine/scan_fixture.h"

namespace {

template <typename Pixel>
using StripScanTest = ScanTest<Pixel>;
TYPED_TEST_SUITE(StripScanTest, PixelTypes);

struct GeometryCase {
    const char* what;
    std::function<void(RenderSettings&)> adjust;
    Picture input;
    Picture expected;
};

// Defaults: horizontal, forward, one-pixel strips, minimum length 1, RGB at
// 10 %, no border, Color edge mode.
const GeometryCase kGeometryCases[] = {
    {"a transparent middle line leaves the strip transparent",
     [](RenderSettings& s) { s.strip_width = 3; },
     {"RGB", "...", "WWW"},
     {"...", "...", "..."}},
    {"runs of similar colour fill the strip from the middle line alone",
     [](RenderSettings& s) { s.strip_width = 3; },
     {"MMMMM", "RrGBB", "MMMMM"},
     {"RRGBB", "RRGBB", "RRGBB"}},
    {"a transparent pixel ends a run and starts none",
     [](RenderSettings&) {},
     {"RR.RR"},
     {"RR.RR"}},
    {"a run stopping at the last position takes the last pixel",
     [](RenderSettings&) {},
     {"RRRRG"},
     {"RRRRR"}},
    {"candidates are compared with the run's first pixel, not their neighbour",
     [](RenderSettings& s) { s.mode = CompareLightness; },
     {"abcdd"},
     {"aaadd"}},
    {"forward, one pixel long",
     [](RenderSettings& s) { s.strip_width = 2; },
     {"M", "R"},
     {"R", "R"}},
    {"reverse, one pixel long: nothing painted",
     [](RenderSettings& s) {
         s.strip_width = 2;
         s.invert = 1;
     },
     {"M", "R"},
     {".", "."}},
    {"vertical forward, one pixel tall",
     [](RenderSettings& s) {
         s.direction = DirectionVertical;
         s.strip_width = 2;
     },
     {"MR"},
     {"RR"}},
    {"vertical reverse, one pixel tall: nothing painted",
     [](RenderSettings& s) {
         s.direction = DirectionVertical;
         s.strip_width = 2;
         s.invert = 1;
     },
     {"MR"},
     {".."}},
    {"any direction but 1 is vertical",
     [](RenderSettings& s) {
         s.direction = 7;
         s.strip_width = 3;
     },
     {"MRM", "MrM", "MGM", "MBM", "MBM"},
     {"RRR", "RRR", "GGG", "BBB", "BBB"}},
    {"reverse never starts at position 0; the transparent stop pixel joins the run",
     [](RenderSettings& s) { s.invert = 1; },
     {"R.GG"},
     {".GGG"}},
    {"reverse paints the stop pixel with its run, then again as the next run's first",
     [](RenderSettings& s) { s.invert = 1; },
     {"BRGG"},
     {"RRGG"}},
    {"vertical reverse",
     [](RenderSettings& s) {
         s.direction = DirectionVertical;
         s.invert = 1;
     },
     {"B", "R", "G", "G"},
     {"R", "R", "G", "G"}},
    {"the minimum length runs over transparency",
     [](RenderSettings& s) { s.min_length = 10; },
     {"RRR.......GG"},
     {"RRRRRRRRRRGG"}},
    {"the minimum length in reverse",
     [](RenderSettings& s) {
         s.min_length = 10;
         s.invert = 1;
     },
     {"GG.......RRR"},
     {"GGRRRRRRRRRR"}},
    {"the minimum length stops at the frame's end",
     [](RenderSettings& s) { s.min_length = 10; },
     {"RG...."},
     {"RRRRRR"}},
    {"one-pixel strips: every line its own",
     [](RenderSettings&) {},
     {"RGG", "BWW"},
     {"RGG", "BWW"}},
    {"thickness 1 in strips 2 wide: border only",
     [](RenderSettings& s) {
         s.strip_width = 2;
         s.edge_thickness = 1;
     },
     {"RRGG", "RRGG"},
     {"eeee", "eeee"}},
    {"thickness 1: border round the interior",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.edge_thickness = 1;
     },
     {"MMMMM", "RRRRR", "MMMMM"},
     {"eeeee", "eRRRe", "eeeee"}},
    {"thickness 2 leaves a one-pixel interior in a 5 by 5 run",
     [](RenderSettings& s) {
         s.strip_width = 5;
         s.edge_thickness = 2;
     },
     {"MMMMM", "MMMMM", "RRRRR", "MMMMM", "MMMMM"},
     {"eeeee", "eeeee", "eeRee", "eeeee", "eeeee"}},
    {"Color Invert: the border shows the run colour, the interior the edge colour",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.edge_thickness = 1;
         s.color_invert = 1;
     },
     {"MMMMM", "RRRRR", "MMMMM"},
     {"RRRRR", "ReeeR", "RRRRR"}},
    {"Color Invert without a border paints the edge colour",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.color_invert = 1;
     },
     {"MMMMM", "RRRRR", "MMMMM"},
     {"eeeee", "eeeee", "eeeee"}},
    {"the border takes the run's alpha, never Edge Color's",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.edge_thickness = 1;
     },
     {"MMMMM", "hhhhh", "MMMMM"},
     {"EEEEE", "EhhhE", "EEEEE"}},
    {"an unknown mode ends every run after its first pixel",
     [](RenderSettings& s) {
         s.mode = 6;
         s.strip_width = 3;
         s.edge_thickness = 1;
     },
     {"MMMM", "RRRR", "MMMM"},
     {"eeee", "eeee", "eeee"}},
    {"the widest strip reads the clamped last line",
     [](RenderSettings& s) { s.strip_width = INT32_MAX; },
     {"MMM", "MMM", "RGG"},
     {"RGG", "RGG", "RGG"}},
    {"the thickest border leaves no interior",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.edge_thickness = INT32_MAX;
     },
     {"MMMMM", "RRRRR", "MMMMM"},
     {"eeeee", "eeeee", "eeeee"}},
    {"a negative thickness insets outward",
     [](RenderSettings& s) {
         s.strip_width = 3;
         s.edge_thickness = INT32_MIN;
     },
     {"MMMMM", "RRRRR", "MMMMM"},
     {"RRRRR", "RRRRR", "RRRRR"}},
    {"the longest minimum length, forward",
     [](RenderSettings& s) { s.min_length = INT32_MAX; },
     {"RG.B"},
     {"RRRR"}},
    {"the longest minimum length, reverse",
     [](RenderSettings& s) {
         s.min_length = INT32_MAX;
         s.invert = 1;
     },
     {"RG.B"},
     {"BBBB"}},
};

TYPED_TEST(StripScanTest, Geometry) {
    for (const GeometryCase& c : kGeometryCases) {
        SCOPED_TRACE(c.what);
        EngineHost& host = this->host_;
        host.progress_calls.clear();
        this->settings_ = DefaultSettings();
        c.adjust(this->settings_);
        this->SetInput(c.input);
        EXPECT_EQ(this->Paint(), PF_Err_NONE);
        EXPECT_EQ(this->OutputPicture(), c.expected);
    }
}

// Height 25 in strips of 10: middle lines 5, 15 and 24 (25 clamped), and the
// last strip's rectangles reach to 30.
TYPED_TEST(StripScanTest, StripsStartEveryWidthAndReportProgress) {
    Picture input(25, "MM");
    input[5] = "RR";
    input[15] = "GG";
    input[24] = "BB";
    this->SetInput(input);
    this->settings_.strip_width = 10;
    ASSERT_EQ(this->Paint(), PF_Err_NONE);

    Picture expected(25, "RR");
    for (int y = 10; y < 20; ++y) expected[y] = "GG";
    for (int y = 20; y < 25; ++y) expected[y] = "BB";
    EXPECT_EQ(this->OutputPicture(), expected);

    const auto& progress = this->host_.progress_calls;
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[0].current, 0);
    EXPECT_EQ(progress[1].current, 10);
    EXPECT_EQ(progress[2].current, 20);
    for (const ProgressCall& call : progress) EXPECT_EQ(call.total, 25);

    const auto& fills = this->host_.fill_rects;
    ASSERT_EQ(fills.size(), 3u);
    const PF_LRect last = fills.back();
    EXPECT_EQ(last.left, 0);
    EXPECT_EQ(last.top, 20);
    EXPECT_EQ(last.right, 2);
    EXPECT_EQ(last.bottom, 30);
}

// Every examined pixel costs two host conversions whatever the mode; the
// square root and the power are taken once per frame.
TYPED_TEST(StripScanTest, HostCallsPerFrame) {
    const struct {
        A_long mode;
        A_long edge_mode;
        int sqrt_calls;
        int hls_to_rgb_calls;  // one per run in Lightness edge mode
    } cases[] = {
        {CompareRgb, EdgeModeColor, 1, 0},
        {CompareHue, EdgeModeLightness, 0, 3},
        {CompareLuminance, EdgeModeColor, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        EngineHost& host = this->host_;
        host.rgb_to_hls_calls = host.luminance_calls = host.sqrt_calls = host.pow_calls = 0;
        host.hls_to_rgb_lightness.clear();
        this->settings_.mode = c.mode;
        this->settings_.edge_mode = c.edge_mode;
        // Runs R r | G | B B in every mode: R and r differ only a little.
        this->SetInput({"RrGBB"});
        ASSERT_EQ(this->Paint(), PF_Err_NONE);
        // Starts at 0, 2 and 3; candidates 1, 2, 3 and 4.
        EXPECT_EQ(host.rgb_to_hls_calls, 7);
        EXPECT_EQ(host.luminance_calls, 7);
        EXPECT_EQ(host.sqrt_calls, c.sqrt_calls);
        EXPECT_EQ(host.pow_calls, 1);
        EXPECT_EQ(host.hls_to_rgb_lightness.size(), static_cast<size_t>(c.hls_to_rgb_calls));
    }
}

TYPED_TEST(StripScanTest, CancelAtTheFirstProgressCallStopsTheScan) {
    // The second strip's middle line is transparent: it needs no conversion,
    // so only the cancel itself can keep its progress call from being made.
    this->SetInput({"MMMM", "RRGG", "MMMM", "....", "MMMM", "RRGG"});
    this->settings_.strip_width = 2;
    this->host_.cancel_at_progress_call = 1;
    EXPECT_EQ(this->Paint(), PF_Interrupt_CANCEL);

    const EngineHost& host = this->host_;
    ASSERT_EQ(host.progress_calls.size(), 1u);
    // No conversion after the cancel.
    EXPECT_EQ(host.rgb_to_hls_calls, host.progress_calls[0].conversions_before);
    EXPECT_EQ(host.luminance_calls, host.rgb_to_hls_calls);
    EXPECT_EQ(this->OutputPicture(), (Picture{"RRGG", "RRGG", "....", "....", "....", "...."}));
}

TYPED_TEST(StripScanTest, AFailedConversionStopsTheScanWithItsCode) {
    this->SetInput({"RRGG", "RRGG"});
    this->host_.fail_rgb_to_hls_call = 2;  // the first run's first candidate
    this->host_.conversion_failure = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(this->Paint(), PF_Err_OUT_OF_MEMORY);

    const EngineHost& host = this->host_;
    EXPECT_EQ(host.rgb_to_hls_calls, 2);
    EXPECT_EQ(host.luminance_calls, 1);
    EXPECT_TRUE(host.progress_calls.empty());
    EXPECT_TRUE(host.fill_rects.empty());
    EXPECT_EQ(this->OutputPicture(), (Picture{"....", "...."}));
}

TYPED_TEST(StripScanTest, RefusesStripsNarrowerThanOnePixel) {
    for (const A_long strip_width : {0, -3, INT32_MIN}) {
        SCOPED_TRACE(strip_width);
        this->SetInput({"RRGG", "RRGG"});
        this->settings_.strip_width = strip_width;
        EXPECT_EQ(this->Paint(), PF_Err_BAD_CALLBACK_PARAM);
        // An earlier error is kept.
        EXPECT_EQ(this->Paint(PF_Interrupt_CANCEL), PF_Interrupt_CANCEL);
        EXPECT_EQ(this->host_.HostCalls(), 0);
        EXPECT_EQ(this->OutputPicture(), (Picture{"....", "...."}));
    }
}

TYPED_TEST(StripScanTest, DoesNothingOnceTheErrorCodeIsSet) {
    this->SetInput({"RRGG"});
    EXPECT_EQ(this->Paint(PF_Err_INVALID_INDEX), PF_Err_INVALID_INDEX);
    EXPECT_EQ(this->host_.HostCalls(), 0);
    EXPECT_EQ(this->OutputPicture(), (Picture{"...."}));
}

// Lightness edge mode on a grey 20 run (raw lightness 5140 at every depth):
// the lightness is scaled with its four lowest bits cleared, capped at 1.0,
// and the host's grey is truncated to the depth.
struct EdgeLightnessCase {
    double edge_lightness;
    PF_Fixed border_lightness;  // as handed to HLStoRGB
    A_u_char level8;
    A_u_short level16;
};
const EdgeLightnessCase kEdgeLightnessCases[] = {
    {0.0, 0, 0, 0},         {0.5, 2126, 8, 1063},     {1.0, 5136, 19, 2568},
    {2.0, 15408, 59, 7704}, {5.0, 65536, 255, 32768},
};

PF_Pixel BorderOf(const EdgeLightnessCase& c, PF_Pixel*) {
    return PF_Pixel{255, c.level8, c.level8, c.level8};
}
PF_Pixel16 BorderOf(const EdgeLightnessCase& c, PF_Pixel16*) {
    return PF_Pixel16{32768, c.level16, c.level16, c.level16};
}
PF_PixelFloat BorderOf(const EdgeLightnessCase& c, PF_PixelFloat*) {
    const float level = static_cast<float>(c.border_lightness / 65536.0);
    return PF_PixelFloat{1.0f, level, level, level};
}

TYPED_TEST(StripScanTest, EdgeLightnessScalesTheRunsLightness) {
    for (const EdgeLightnessCase& c : kEdgeLightnessCases) {
        SCOPED_TRACE(c.edge_lightness);
        EngineHost& host = this->host_;
        host.hls_to_rgb_lightness.clear();
        this->SetInput({"MMM", "ggg", "MMM"});
        this->settings_.strip_width = 3;
        this->settings_.edge_thickness = 1;
        this->settings_.edge_mode = EdgeModeLightness;
        this->settings_.edge_lightness = static_cast<PF_Fixed>(c.edge_lightness * 65536.0);
        ASSERT_EQ(this->Paint(), PF_Err_NONE);

        EXPECT_EQ(host.hls_to_rgb_lightness, std::vector<PF_Fixed>{c.border_lightness});
        const TypeParam border = BorderOf(c, static_cast<TypeParam*>(nullptr));
        for (A_long y = 0; y < 3; ++y) {
            for (A_long x = 0; x < 3; ++x) {
                const bool interior = x == 1 && y == 1;
                EXPECT_TRUE(SamePixel(this->Output(x, y), interior ? this->Symbol('g') : border))
                    << "at " << x << ", " << y;
            }
        }
    }
}

// Float frames hold values outside 0..1 and NaN: they are painted exactly as
// stored, a NaN alpha is not transparent, and a NaN colour is never similar.
using FloatScanTest = ScanTest<PF_PixelFloat>;
TEST_F(FloatScanTest, PaintsStoredValuesAndNeverMatchesNaN) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const PF_PixelFloat wide{1.0f, 2.5f, -0.25f, 0.5f};
    const PF_PixelFloat nan_red{1.0f, kNaN, 0.0f, 0.0f};
    const PF_PixelFloat nan_alpha{kNaN, 0.5f, 0.5f, 0.5f};
    const PF_PixelFloat row[] = {wide, wide, nan_red, nan_red, nan_alpha, nan_alpha};

    SetInput({"......"});
    for (A_long x = 0; x < 6; ++x) Input(x, 0) = row[x];
    ASSERT_EQ(Paint(), PF_Err_NONE);
    // Runs: 0-1; 2 alone (NaN is not similar to itself); 3 stopped by the
    // NaN alpha pixel, which starts the last run.
    const PF_PixelFloat expected[] = {wide, wide, nan_red, nan_red, nan_alpha, nan_alpha};
    for (A_long x = 0; x < 6; ++x) {
        EXPECT_TRUE(SamePixel(Output(x, 0), expected[x])) << "at " << x;
    }
    EXPECT_EQ(host_.fill_rects.size(), 4u);
}

TEST(DeriveEdgeFactor, TwoToTheLightnessMinusOneRoundedAwayFromZero) {
    EngineHost host;
    const struct {
        PF_Fixed edge_lightness;
        PF_Fixed factor;
    } cases[] = {
        {0, 0},
        {32768, 27146},
        {65536, 65536},
        {131072, 196608},
        {327680, 2031616},
        {-65536, -32768},        // -32768 - 0.5, truncated toward zero
        {INT32_MAX, INT32_MAX},  // 2^32768 is infinite: saturates
        {INT32_MIN, -65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge_lightness);
        EXPECT_EQ(DeriveEdgeFactor(c.edge_lightness, host.in_data()), c.factor);
    }
    host.in_data()->utils->ansi.pow = [](double, double) {
        return std::numeric_limits<double>::quiet_NaN();
    };
    EXPECT_EQ(DeriveEdgeFactor(65536, host.in_data()), 0);
}

TEST(ScaleEdgeLightness, ClearsLowBitsCapsAtOneAndNeverOverflows) {
    const struct {
        PF_Fixed lightness;
        PF_Fixed factor;
        PF_Fixed scaled;
    } cases[] = {
        {1000, 65536, 992},
        {1000, 196608, 2976},
        {1000, 0, 0},
        {1000, 27146, 410},
        {1000, 2031616, 30752},
        {65536, 196608, 65536},
        {-65536, 2031616, -2031616},  // no lower clamp
        {INT32_MAX, 2031616, 65536},  // overflows 32 bits
        {INT32_MAX, INT32_MAX, 65536},
        {INT32_MIN, 2031616, INT32_MIN},
        {INT32_MIN, INT32_MIN, 65536},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lightness << " x " << c.factor);
        EXPECT_EQ(ScaleEdgeLightness(c.lightness, c.factor), c.scaled);
    }
}

TEST(InsetRect, InsetAndItsAreaTest) {
    // A run from top 0, left 10 to bottom 10, right 20 with a border of 2.
    const PF_LRect inset = SetInsetRect(0, 10, 10, 20, 2);
    EXPECT_EQ(inset.left, 12);
    EXPECT_EQ(inset.top, 2);
    EXPECT_EQ(inset.right, 18);
    EXPECT_EQ(inset.bottom, 8);

    const PF_LRect saturated = SetInsetRect(0, INT32_MAX, 0, INT32_MIN, INT32_MAX);
    EXPECT_EQ(saturated.left, INT32_MAX);
    EXPECT_EQ(saturated.top, INT32_MAX);
    EXPECT_EQ(saturated.right, INT32_MIN);
    EXPECT_EQ(saturated.bottom, -INT32_MAX);

    const struct {
        A_long left, top, bottom, right, thickness;
        bool non_empty;
    } cases[] = {
        {0, 0, 10, 10, 0, true},
        {5, 5, 5, 5, 0, true},  // thickness 0 always paints the interior
        {0, 0, 10, 10, 4, true},
        {0, 0, 10, 10, 5, false},
        {0, 0, 2, 10, 1, false},  // not taller than 2t
        {0, 0, 10, 2, 1, false},  // not wider than 2t
        {0, 0, 3, 3, 1, true},
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, true},  // 2^32 - 1 > 2t
        {INT32_MIN, INT32_MIN, INT32_MAX - 1, INT32_MAX, INT32_MAX, false},
        {0, 0, 1, 1, INT32_MIN, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << " " << c.top << " " << c.bottom << " "
                                        << c.right << " " << c.thickness);
        EXPECT_EQ(InsetIsNonEmpty(c.left, c.top, c.bottom, c.right, c.thickness), c.non_empty);
    }
}

TEST(ToHostRect, AsTheInterfaceTakesIt) {
    const PF_Rect host_rect = ToHostRect(PF_LRect{12, 2, 18, 8});
#if OSTREL_INTERFACE_12_10
    // Four 16-bit values: top, left, bottom, right.
    const A_short expected[] = {2, 12, 8, 18};
    EXPECT_EQ(std::memcmp(&host_rect, expected, sizeof expected), 0);
    const PF_Rect narrowed = ToHostRect(PF_LRect{-40000, 40000, INT32_MAX, -32768});
    EXPECT_EQ(narrowed.left, -32768);
    EXPECT_EQ(narrowed.top, 32767);
    EXPECT_EQ(narrowed.right, 32767);
    EXPECT_EQ(narrowed.bottom, -32768);
#else
    const A_long expected[] = {12, 2, 18, 8};
    EXPECT_EQ(std::memcmp(&host_rect, expected, sizeof expected), 0);
#endif
}

}  // namespace
