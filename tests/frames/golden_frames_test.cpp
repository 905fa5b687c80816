// Whole frames through the loaded effect, at every depth. Each scene is a
// small frame drawn in text (see picture.h) with the picture the effect must
// paint, and the story of why. Only a strip's middle line is read, so the
// other lines of the inputs hold colours that must not show up.
//
// Common to the scenes unless they say otherwise: Minimum Length 1, Edge
// Thickness 1, Threshold 10%, Edge Mode Color with magenta (M) as the edge
// colour. A run's rectangle is painted in the edge colour and its inside,
// one pixel in from each side, in the run's first colour; a run two pixels
// long has no inside. Strips of Width 3 have their middle line at 1, 4, ...
#include "tests/binding/effect_harness.h"
#include "tests/frames/picture.h"

namespace ostrel_test {
namespace {

struct Scene {
    const char* name;
    const char* story;
    A_long mode;       // 1 RGB, 2 Luminance, 3 Hue, 4 Lightness, 5 Saturation
    A_long direction;  // 1 Horizontal, 2 Vertical
    bool invert;
    bool color_invert;
    A_long min_length;
    A_long edge_mode;         // 1 Lightness, 2 Color
    PF_Fixed edge_lightness;  // used with Edge Mode Lightness
    Picture input;
    Picture expected;
};

// Each scene shows its pictures row under row.
// clang-format off
const Scene kScenes[] = {
    {"Rgb",
     "RGB distance: red and green part; a red 2% off red stays in the run and is painted "
     "with the run's first colour",
     1, 1, false, false, 1, 2, 0,
     {"BBBBBBBB",
      "RRRRGGGG",
      "BBBBBBBB",
      "BBBBBBBB",
      "RRrRRRRR",
      "BBBBBBBB"},
     {"MMMMMMMM",
      "MRRMMGGM",
      "MMMMMMMM",
      "MMMMMMMM",
      "MRRRRRRM",
      "MMMMMMMM"}},
    {"Luminance",
     "Luminance alone: red and a grey of the same brightness form one run, black does not "
     "join it; the two black pixels make a run without an inside",
     2, 1, false, false, 1, 2, 0,
     {"WWWWWWWW",
      "RRRgggKK",
      "WWWWWWWW",
      "GGGGGGGG",
      "KKKKKKKK",
      "GGGGGGGG"},
     {"MMMMMMMM",
      "MRRRRMMM",
      "MMMMMMMM",
      "MMMMMMMM",
      "MKKKKKKM",
      "MMMMMMMM"}},
    {"HueWithBlackEdges",
     "Hue alone: dark red shares red's hue and joins its run, green and blue are 120 degrees "
     "apart; Edge Lightness 0 takes every border's lightness to 0, black",
     3, 1, false, false, 1, 1, 0,
     {"WWWWWWWW",
      "RDDRGGGG",
      "WWWWWWWW",
      "WWWWWWWW",
      "GGGGBBBB",
      "WWWWWWWW"},
     {"KKKKKKKK",
      "KRRKKGGK",
      "KKKKKKKK",
      "KKKKKKKK",
      "KGGKKBBK",
      "KKKKKKKK"}},
    {"Lightness",
     "Lightness alone: red, green and blue are all half light and form one run; white and "
     "black are far from them",
     4, 1, false, false, 1, 2, 0,
     {"KKKKKKKK",
      "RGBRGWWW",
      "KKKKKKKK",
      "WWWWWWWW",
      "KKKKRRRR",
      "WWWWWWWW"},
     {"MMMMMMMM",
      "MRRRMMWM",
      "MMMMMMMM",
      "MMMMMMMM",
      "MKKMMRRM",
      "MMMMMMMM"}},
    {"Saturation",
     "Saturation alone: the three primaries are all fully saturated and form one run; grey "
     "has none",
     5, 1, false, false, 1, 2, 0,
     {"gggggggg",
      "RRRGGGBB",
      "gggggggg",
      "KKKKKKKK",
      "RRRRgggg",
      "KKKKKKKK"},
     {"MMMMMMMM",
      "MRRRRRRM",
      "MMMMMMMM",
      "MMMMMMMM",
      "MRRMMggM",
      "MMMMMMMM"}},
    {"MinimumLengthAndTransparency",
     "Minimum Length 3 stretches a one-pixel run over the transparent pixel and the green "
     "after it; transparent pixels start no run, and a strip whose middle line is "
     "transparent stays cleared",
     1, 1, false, false, 3, 2, 0,
     {"WWWWWWWW",
      "R.G.....",
      "WWWWWWWW",
      "WWWWWWWW",
      "........",
      "WWWWWWWW"},
     {"MMM.....",
      "MRM.....",
      "MMM.....",
      "........",
      "........",
      "........"}},
    {"VerticalReversedWithSwappedColours",
     "Vertical strips (middle columns 1 and 4) scanned bottom up, border and inside "
     "swapped: the transparent pixel that stops the green run is painted with that run's "
     "rectangle; the red at the top of column 4 never starts a run and is painted as the "
     "blue run's border",
     1, 2, true, true, 1, 2, 0,
     {"WRWWRW",
      "WRWWBW",
      "WRWWBW",
      "W.WWBW",
      "WGWWBW",
      "WGWWBW",
      "WGWWBW",
      "WGWWBW"},
     {"RRRBBB",
      "RMRBMB",
      "RRRBMB",
      "GGGBMB",
      "GMGBMB",
      "GMGBMB",
      "GMGBMB",
      "GGGBBB"}},
};
// clang-format on

struct Depth {
    const char* name;
    PF_PixelFormat format;
    standin::Service fill;  // the one fill the frame's depth paints with
};

const Depth kDepths[] = {
    {"Eight", PF_PixelFormat_ARGB32, standin::Service::Fill},
    {"Sixteen", PF_PixelFormat_ARGB64, standin::Service::Fill16},
    {"Float", PF_PixelFormat_ARGB128, standin::Service::FillFloat},
};

class GoldenFrames : public HostTest,
                     public ::testing::WithParamInterface<std::tuple<const Scene*, const Depth*>> {
};

TEST_P(GoldenFrames, PaintTheExpectedPicture) {
    const Scene& scene = *std::get<0>(GetParam());
    const Depth& depth = *std::get<1>(GetParam());
    SCOPED_TRACE(scene.story);
    standin::EffectInstance effect(host);
    ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
    ASSERT_TRUE(effect.SetValue(1, 3));
    ASSERT_TRUE(effect.SetValue(2, scene.min_length));
    ASSERT_TRUE(effect.SetValue(3, scene.direction));
    ASSERT_TRUE(effect.SetValue(4, scene.invert ? 1 : 0));
    ASSERT_TRUE(effect.SetValue(6, scene.mode));
    ASSERT_TRUE(effect.SetValue(8, scene.edge_mode));
    ASSERT_TRUE(effect.SetValue(9, scene.edge_lightness));
    ASSERT_TRUE(effect.SetColor(10, PaletteColor('M')));
    ASSERT_TRUE(effect.SetValue(11, scene.color_invert ? 1 : 0));
    std::unique_ptr<standin::World> input = WorldFromPicture(scene.input, depth.format);

    const standin::FrameResult frame = effect.RenderFrame(*input);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    ASSERT_TRUE(frame.output);
    EXPECT_EQ(ComparePictures(scene.expected, *frame.output), "");
    // Painted at the frame's depth only.
    for (standin::Service fill :
         {standin::Service::Fill, standin::Service::Fill16, standin::Service::FillFloat}) {
        if (fill == depth.fill) {
            EXPECT_GT(host.CallCount(fill), 0);
        } else {
            EXPECT_EQ(host.CallCount(fill), 0);
        }
    }
    EXPECT_BOOKS_BALANCED(host);
    EXPECT_EQ(effect.Stop(), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
}

// At half resolution the host hands a frame of every second pixel of every
// second row, and the lengths are halved with it: Width 6, Edge Thickness 2
// and Minimum Length 2 act as 3, 1 and 1. Unscaled, a border of 2 would
// leave the four-pixel runs no inside at all.
class HalfResolution : public HostTest, public ::testing::WithParamInterface<const Depth*> {};

TEST_P(HalfResolution, ScalesTheLengthsWithTheFrame) {
    const Depth& depth = *GetParam();
    standin::EffectInstance effect(host);
    ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
    ASSERT_TRUE(effect.SetValue(1, 6));
    ASSERT_TRUE(effect.SetValue(2, 2));
    ASSERT_TRUE(effect.SetValue(7, 2));
    ASSERT_TRUE(effect.SetValue(8, 2));
    ASSERT_TRUE(effect.SetColor(10, PaletteColor('M')));
    // clang-format off
    const Picture full = {"WWWWWWWWWWWWWWWW",
                          "WWWWWWWWWWWWWWWW",
                          "RBRBRBRBGBGBGBGB",
                          "WWWWWWWWWWWWWWWW",
                          "WWWWWWWWWWWWWWWW",
                          "WWWWWWWWWWWWWWWW"};
    const Picture expected = {"MMMMMMMM",
                              "MRRMMGGM",
                              "MMMMMMMM"};
    // clang-format on
    std::unique_ptr<standin::World> input =
        standin::DownsampleWorld(*WorldFromPicture(full, depth.format), 2);
    ASSERT_TRUE(input);
    standin::FrameOptions options;
    options.downsample_x = {1, 2};
    options.downsample_y = {1, 2};

    const standin::FrameResult frame = effect.RenderFrame(*input, options);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_EQ(ComparePictures(expected, *frame.output), "");
    EXPECT_BOOKS_BALANCED(host);
    EXPECT_EQ(effect.Stop(), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
}

std::vector<const Scene*> AllScenes() {
    std::vector<const Scene*> scenes;
    for (const Scene& scene : kScenes) scenes.push_back(&scene);
    return scenes;
}

std::vector<const Depth*> AllDepths() {
    std::vector<const Depth*> depths;
    for (const Depth& depth : kDepths) depths.push_back(&depth);
    return depths;
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenFrames,
                         ::testing::Combine(::testing::ValuesIn(AllScenes()),
                                            ::testing::ValuesIn(AllDepths())),
                         [](const ::testing::TestParamInfo<GoldenFrames::ParamType>& info) {
                             return std::string(std::get<0>(info.param)->name) +
                                    std::get<1>(info.param)->name;
                         });

INSTANTIATE_TEST_SUITE_P(Depths, HalfResolution, ::testing::ValuesIn(AllDepths()),
                         [](const ::testing::TestParamInfo<const Depth*>& info) {
                             return std::string(info.param->name);
                         });

}  // namespace
}  // namespace ostrel_test
