// ostrel-render end to end: the built binary run on files, its output
// compared with frames rendered through the stand-in host library directly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "standin_host/standin_host.h"
#include "tests/renderer/image_files.h"

extern char** environ;

namespace {

using ostrel_render_test::ImageContents;
using ostrel_render_test::ReadBytes;
using ostrel_render_test::ReadImage;
using ostrel_render_test::TemporaryDirectory;
using ostrel_render_test::WriteImage;

struct RunResult {
    int status = -1;      // the exit status; 128 + n when killed by signal n
    std::string printed;  // standard error and standard output
};

int StatusOf(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

// Runs the renderer with standard error (and output) going to a file.
RunResult RunRenderer(const std::vector<std::string>& arguments) {
    TemporaryDirectory logs;
    const std::string log = logs.File("stderr");
    std::vector<std::string> words = {OSTREL_RENDER_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = 0;
    RunResult run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int wait_status = 0;
        waitpid(pid, &wait_status, 0);
        run.status = StatusOf(wait_status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.printed = ReadBytes(log);
    return run;
}

// ---- The frames of the tests --------------------------------------------------

// An 8-bit RGBA picture with gradients, blocks of flat colour, bands of one
// hue at changing lightness and of one lightness at changing hue, and
// transparent and translucent patches, so that every control changes what the
// effect draws.
std::vector<uint8_t> Picture(int width, int height, int variant = 0) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t r = static_cast<uint8_t>((x * 255) / width);
            uint8_t g = static_cast<uint8_t>((y * 255) / height);
            uint8_t b = static_cast<uint8_t>((x * 3 + y * 2 + variant * 29) % 256);
            uint8_t a = 255;
            if ((x / 8 + y / 6 + variant) % 3 == 0) {  // flat blocks
                r = static_cast<uint8_t>(200 - 40 * ((x / 8) % 4));
                g = static_cast<uint8_t>(60 + 50 * ((y / 6) % 3));
                b = 90;
            }
            if (y % 16 >= 12) {  // one hue, lightness rising along the row
                const int k = 40 + (x * 215) / width;
                r = static_cast<uint8_t>(k);
                g = static_cast<uint8_t>(k / 2);
                b = static_cast<uint8_t>(k / 4);
            }
            if (y % 16 == 7 || y % 16 == 8) {  // one lightness, hue turning
                const int phase = (x * 6) % 96;
                r = static_cast<uint8_t>(phase < 32 ? 192 : 64);
                g = static_cast<uint8_t>(phase >= 32 && phase < 64 ? 192 : 64);
                b = static_cast<uint8_t>(phase >= 64 ? 192 : 64);
            }
            if (x >= width - 6 && y < 5) a = 0;  // transparent, colour kept
            if (x < 4 && y >= height - 4) a = 128;
            pixels.insert(pixels.end(), {r, g, b, a});
        }
    }
    return pixels;
}

template <typename Channel>
std::unique_ptr<standin::World> FrameOf(const std::vector<Channel>& rgba, int width, int height);

template <>
std::unique_ptr<standin::World> FrameOf(const std::vector<uint8_t>& rgba, int width, int height) {
    std::unique_ptr<standin::World> frame =
        standin::World::Allocate(width, height, PF_PixelFormat_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            frame->At<PF_Pixel>(x, y) = PF_Pixel{p[3], p[0], p[1], p[2]};
        }
    }
    return frame;
}

template <>
std::unique_ptr<standin::World> FrameOf(const std::vector<float>& rgba, int width, int height) {
    std::unique_ptr<standin::World> frame =
        standin::World::Allocate(width, height, PF_PixelFormat_ARGB128);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            frame->At<PF_PixelFloat>(x, y) = PF_PixelFloat{p[3], p[0], p[1], p[2]};
        }
    }
    return frame;
}

// A control value by the control's name, as the effect registers it.
struct Setting {
    std::string control;
    A_long value = 0;
    bool is_color = false;
    PF_Pixel color{};
};

// Renders through the stand-in host library: the same effect module, the
// same host order, the values set directly.
std::unique_ptr<standin::World> ReferenceRender(const standin::World& full,
                                                const std::vector<Setting>& settings,
                                                int downsample = 1) {
    std::string error;
    std::unique_ptr<standin::PluginModule> module =
        standin::PluginModule::Load(OSTREL_PLUGIN_MODULE, &error);
    EXPECT_TRUE(module) << error;
    if (!module) return nullptr;
    standin::Host host(module->entry_point());
    host.SetCallLogEnabled(false);
    standin::EffectInstance instance(host);
    EXPECT_EQ(instance.Start(), PF_Err_NONE);
    for (const Setting& setting : settings) {
        const PF_ParamIndex index = instance.FindControl(setting.control);
        EXPECT_GT(index, 0) << setting.control;
        EXPECT_TRUE(setting.is_color ? instance.SetColor(index, setting.color)
                                     : instance.SetValue(index, setting.value))
            << setting.control;
    }
    std::unique_ptr<standin::World> input = standin::DownsampleWorld(full, downsample);
    standin::FrameOptions options;
    options.downsample_x = PF_RationalScale{1, static_cast<A_u_long>(downsample)};
    options.downsample_y = options.downsample_x;
    standin::FrameResult result = instance.RenderFrame(*input, options);
    EXPECT_EQ(result.err, PF_Err_NONE) << result.message;
    EXPECT_TRUE(host.BooksBalanced());
    return std::move(result.output);
}

double Channel(const standin::World& frame, int x, int y, int c) {
    auto pick = [c](const auto& p) -> double {
        return c == 0 ? p.red : c == 1 ? p.green : c == 2 ? p.blue : p.alpha;
    };
    return frame.pixel_format() == PF_PixelFormat_ARGB32 ? pick(frame.At<PF_Pixel>(x, y))
                                                         : pick(frame.At<PF_PixelFloat>(x, y));
}

double FileChannel(const ImageContents& file, int x, int y, int c) {
    return file.format == OIIO::TypeDesc::UINT8 ? file.At<uint8_t>(x, y, c)
                                                : file.At<float>(x, y, c);
}

// An 8-bit frame against an 8-bit file, a float frame against a float file;
// the first differing pixel is reported.
::testing::AssertionResult SamePixels(const standin::World& expected, const ImageContents& file) {
    if (file.width != expected.width() || file.height != expected.height() || file.channels != 4) {
        return ::testing::AssertionFailure()
               << "file is " << file.width << "x" << file.height << " with " << file.channels
               << " channels; expected " << expected.width() << "x" << expected.height() << " RGBA";
    }
    for (int y = 0; y < file.height; ++y) {
        for (int x = 0; x < file.width; ++x) {
            for (int c = 0; c < 4; ++c) {
                const double want = Channel(expected, x, y, c);
                const double got = FileChannel(file, x, y, c);
                if (want != got) {
                    return ::testing::AssertionFailure()
                           << "first difference at (" << x << ", " << y << ") channel " << c
                           << ": file " << got << ", host render " << want;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

bool SameFrames(const standin::World& a, const standin::World& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            for (int c = 0; c < 4; ++c) {
                if (Channel(a, x, y, c) != Channel(b, x, y, c)) return false;
            }
        }
    }
    return true;
}

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// ---- Each control option reaches the effect -----------------------------------------

struct ControlCase {
    const char* name;
    std::vector<std::string> options;
    std::vector<Setting> settings;
    // What the case must differ from, to show the option matters on the picture.
    std::vector<Setting> baseline;
};

// Test listings show a case by its name.
void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

class ControlOptions : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlOptions, RenderAsTheHostLibraryDoesWithTheSameValues) {
    const ControlCase& c = GetParam();
    TemporaryDirectory directory;
    const std::vector<uint8_t> picture = Picture(kWidth, kHeight);
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, picture));

    std::vector<std::string> arguments = c.options;
    arguments.push_back(directory.File("in.png"));
    arguments.push_back(directory.File("out.png"));
    const RunResult run = RunRenderer(arguments);
    ASSERT_EQ(run.status, 0) << run.printed;
    EXPECT_EQ(run.printed, "") << "nothing on standard error when it is not a terminal";

    std::unique_ptr<standin::World> input = FrameOf(picture, kWidth, kHeight);
    std::unique_ptr<standin::World> expected = ReferenceRender(*input, c.settings);
    ASSERT_TRUE(expected);
    EXPECT_TRUE(SamePixels(*expected, ReadImage(directory.File("out.png"))));
    if (!c.settings.empty()) {
        std::unique_ptr<standin::World> baseline = ReferenceRender(*input, c.baseline);
        ASSERT_TRUE(baseline);
        EXPECT_FALSE(SameFrames(*expected, *baseline))
            << "the picture does not show the option's effect";
    }
}

Setting Value(const char* control, A_long value) { return Setting{control, value, false, {}}; }

INSTANTIATE_TEST_SUITE_P(
    Table, ControlOptions,
    ::testing::Values(
        ControlCase{"defaults", {}, {}, {}},
        ControlCase{"width", {"--width", "3"}, {Value("Width", 3)}, {}},
        ControlCase{
            "minimum_length", {"--minimum-length", "25"}, {Value("Minimum Length", 25)}, {}},
        ControlCase{"direction", {"--direction", "Vertical"}, {Value("Direction", 2)}, {}},
        ControlCase{"invert", {"--invert"}, {Value("Invert", 1)}, {}},
        // llround(33.3 * 65536) = llround(2182348.8)
        ControlCase{"threshold", {"--threshold", "33.3"}, {Value("Threshold", 2182349)}, {}},
        ControlCase{"mode_luminance", {"--mode", "luminance"}, {Value("Mode", 2)}, {}},
        ControlCase{"mode_hue", {"--mode", "HUE"}, {Value("Mode", 3)}, {}},
        ControlCase{"mode_lightness", {"--mode", "Lightness"}, {Value("Mode", 4)}, {}},
        ControlCase{"mode_saturation", {"--mode", "saturation"}, {Value("Mode", 5)}, {}},
        ControlCase{"edge_thickness", {"--edge-thickness", "3"}, {Value("Edge Thickness", 3)}, {}},
        ControlCase{"edge_mode", {"--edge-mode", "color"}, {Value("Edge Mode", 2)}, {}},
        ControlCase{
            "edge_lightness", {"--edge-lightness", "1.75"}, {Value("Edge Lightness", 0x1c000)}, {}},
        ControlCase{
            "edge_color",
            {"--edge-mode", "color", "--edge-color", "#3366cc"},
            {Value("Edge Mode", 2), Setting{"Edge Color", 0, true, {255, 0x33, 0x66, 0xcc}}},
            {Value("Edge Mode", 2)}},
        ControlCase{"color_invert", {"--color-invert"}, {Value("Color Invert", 1)}, {}},
        ControlCase{"several",
                    {"--width=5", "--mode", "rgb", "--threshold", "0", "--edge-thickness", "2",
                     "--color-invert"},
                    {Value("Width", 5), Value("Mode", 1), Value("Threshold", 0),
                     Value("Edge Thickness", 2), Value("Color Invert", 1)},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RenderBinary, FloatRendersGoToFloatFilesAsTheHostLibraryRendersThem) {
    TemporaryDirectory directory;
    const std::vector<uint8_t> picture = Picture(kWidth, kHeight);
    std::vector<float> values;
    for (size_t i = 0; i < picture.size(); ++i) {
        // Beyond 0..1 on purpose: float frames carry any value through.
        values.push_back(picture[i] / 200.0f - (i % 4 == 3 ? 0.0f : 0.1f));
    }
    ASSERT_TRUE(WriteImage(directory.File("in.exr"), kWidth, kHeight, 4, values));
    const RunResult run =
        RunRenderer({"--width", "4", directory.File("in.exr"), directory.File("out.exr")});
    ASSERT_EQ(run.status, 0) << run.printed;
    const ImageContents written = ReadImage(directory.File("out.exr"));
    EXPECT_EQ(written.format, OIIO::TypeDesc::FLOAT);
    std::unique_ptr<standin::World> expected =
        ReferenceRender(*FrameOf(values, kWidth, kHeight), {Value("Width", 4)});
    ASSERT_TRUE(expected);
    EXPECT_TRUE(SamePixels(*expected, written));
}

TEST(RenderBinary, DownsampleRendersAtOneNthAsTheHostDoes) {
    TemporaryDirectory directory;
    const std::vector<uint8_t> picture = Picture(kWidth + 1, kHeight + 2);
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth + 1, kHeight + 2, 4, picture));
    std::unique_ptr<standin::World> input = FrameOf(picture, kWidth + 1, kHeight + 2);
    for (int factor : {2, 3}) {
        const std::string output = directory.File("out" + std::to_string(factor) + ".png");
        const RunResult run =
            RunRenderer({"--downsample", std::to_string(factor), "--width", "6", "--edge-thickness",
                         "3", directory.File("in.png"), output});
        ASSERT_EQ(run.status, 0) << run.printed;
        const ImageContents written = ReadImage(output);
        EXPECT_EQ(written.width, (kWidth + 1 + factor - 1) / factor);
        EXPECT_EQ(written.height, (kHeight + 2 + factor - 1) / factor);
        std::unique_ptr<standin::World> expected =
            ReferenceRender(*input, {Value("Width", 6), Value("Edge Thickness", 3)}, factor);
        ASSERT_TRUE(expected);
        EXPECT_TRUE(SamePixels(*expected, written)) << "--downsample " << factor;
    }
}

// ---- Depths in and out ---------------------------------------------------------------

// A flat picture is one run per strip: with one strip over the whole frame,
// the inside of its border is the input pixel exactly as the frame holds it,
// so the file there shows the conversion in followed by the conversion out.
struct DepthCase {
    const char* name;
    const char* input;
    OIIO::TypeDesc input_type;
    std::vector<float> rgba;  // integers as themselves for 8- and 16-bit files
    const char* depth;        // --depth, or "" for the file's own
    const char* output;
    OIIO::TypeDesc output_type;
    std::vector<double> expected;  // RGBA in the output file's own values
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.name; }

class Depths : public ::testing::TestWithParam<DepthCase> {};

TEST_P(Depths, ConvertInAndOutWithExactValuesAtTheEnds) {
    const DepthCase& c = GetParam();
    TemporaryDirectory directory;
    constexpr int kSize = 8;
    const double scale = c.input_type == OIIO::TypeDesc::UINT8    ? 255.0
                         : c.input_type == OIIO::TypeDesc::UINT16 ? 65535.0
                                                                  : 1.0;
    std::vector<float> pixels;
    for (int i = 0; i < kSize * kSize; ++i) {
        for (float value : c.rgba) pixels.push_back(static_cast<float>(value / scale));
    }
    ASSERT_TRUE(WriteImage(directory.File(c.input), kSize, kSize, 4, c.input_type,
                           OIIO::TypeDesc::FLOAT, pixels.data()));
    std::vector<std::string> arguments = {"--width", "8", "--minimum-length", "1"};
    if (*c.depth) arguments.insert(arguments.end(), {"--depth", c.depth});
    arguments.push_back(directory.File(c.input));
    arguments.push_back(directory.File(c.output));
    const RunResult run = RunRenderer(arguments);
    ASSERT_EQ(run.status, 0) << run.printed;

    const ImageContents written = ReadImage(directory.File(c.output));
    ASSERT_EQ(written.format, c.output_type);
    ASSERT_EQ(written.channels, 4);
    for (int channel = 0; channel < 4; ++channel) {
        double value = 0;
        if (c.output_type == OIIO::TypeDesc::UINT8) value = written.At<uint8_t>(4, 4, channel);
        if (c.output_type == OIIO::TypeDesc::UINT16) value = written.At<uint16_t>(4, 4, channel);
        if (c.output_type == OIIO::TypeDesc::FLOAT) value = written.At<float>(4, 4, channel);
        EXPECT_EQ(value, c.expected[channel]) << "channel " << channel;
    }
}

const OIIO::TypeDesc kU8 = OIIO::TypeDesc::UINT8;
const OIIO::TypeDesc kU16 = OIIO::TypeDesc::UINT16;
const OIIO::TypeDesc kHalf = OIIO::TypeDesc::HALF;
const OIIO::TypeDesc kFloat = OIIO::TypeDesc::FLOAT;

INSTANTIATE_TEST_SUITE_P(
    Table, Depths,
    ::testing::Values(
        DepthCase{
            "png8_at_8", "in.png", kU8, {0, 255, 1, 255}, "", "out.png", kU8, {0, 255, 1, 255}},
        DepthCase{"png8_at_8_faint_alpha",
                  "in.png",
                  kU8,
                  {254, 0, 128, 1},
                  "",
                  "out.png",
                  kU8,
                  {254, 0, 128, 1}},
        // 1 -> 129 in the frame -> 258 in the file; 255 -> 32768 -> 65535
        DepthCase{"png8_at_16",
                  "in.png",
                  kU8,
                  {0, 255, 1, 255},
                  "16",
                  "out.png",
                  kU16,
                  {0, 65535, 258, 65535}},
        DepthCase{"png8_at_32",
                  "in.png",
                  kU8,
                  {0, 255, 51, 255},
                  "32",
                  "out.exr",
                  kFloat,
                  {0.0, 1.0, static_cast<double>(51 / 255.0f), 1.0}},
        // 1 -> 1 -> 2; 3 -> 2 -> 4; 65535 -> 32768 -> 65535
        DepthCase{
            "png16_at_16", "in.png", kU16, {0, 65535, 1, 3}, "", "out.png", kU16, {0, 65535, 2, 4}},
        DepthCase{"tif16_at_8",
                  "in.tif",
                  kU16,
                  {0, 65535, 129, 65407},
                  "8",
                  "out.tif",
                  kU8,
                  {0, 255, 1, 255}},
        DepthCase{"tif16_at_32",
                  "in.tif",
                  kU16,
                  {0, 65535, 13107, 65535},
                  "32",
                  "out.tif",
                  kFloat,
                  {0.0, 1.0, static_cast<double>(13107 / 65535.0f), 1.0}},
        DepthCase{"exr_float_at_32",
                  "in.exr",
                  kFloat,
                  {-0.5f, 2.0f, 0.25f, 1.0f},
                  "",
                  "out.exr",
                  kFloat,
                  {-0.5, 2.0, 0.25, 1.0}},
        DepthCase{"exr_half_at_32",
                  "in.exr",
                  kHalf,
                  {0.0999755859375f, 1.0f, 0.5f, 0.75f},
                  "",
                  "out.exr",
                  kFloat,
                  {0.0999755859375, 1.0, 0.5, 0.75}},
        DepthCase{"exr_float_at_8",
                  "in.exr",
                  kFloat,
                  {-0.5f, 2.0f, 0.5f, 1.0f},
                  "8",
                  "out.png",
                  kU8,
                  {0, 255, 128, 255}},
        // 0.5 -> 16384 -> 32768; 2.0 -> 32768 -> 65535
        DepthCase{"exr_float_at_16",
                  "in.exr",
                  kFloat,
                  {-1.0f, 2.0f, 0.5f, 1.0f},
                  "16",
                  "out.png",
                  kU16,
                  {0, 65535, 32768, 65535}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Refusals: exit 2, nothing written, an existing output left as it was ------------

struct RefusalCase {
    const char* name;
    std::vector<std::string> options;
    const char* output;                  // in the test's directory
    std::vector<std::string> mentioned;  // parts of the message
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, ExitWithTwoWritingNothingAndNamingWhatWasWrong) {
    const RefusalCase& c = GetParam();
    TemporaryDirectory directory;
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
    { std::ofstream(directory.File("garbage.png")) << "not an image at all"; }
    const std::string output = directory.File(c.output);
    { std::ofstream(output) << "the previous output"; }
    const std::vector<std::string> before = directory.List();

    std::vector<std::string> arguments = c.options;
    for (std::string& argument : arguments) {
        if (argument == "IN") argument = directory.File("in.png");
        if (argument == "GARBAGE") argument = directory.File("garbage.png");
        if (argument == "MISSING") argument = directory.File("missing.png");
    }
    arguments.push_back(output);
    const RunResult run = RunRenderer(arguments);
    EXPECT_EQ(run.status, 2) << run.printed;
    for (const std::string& part : c.mentioned) {
        EXPECT_NE(run.printed.find(part), std::string::npos)
            << "\"" << part << "\" in: " << run.printed;
    }
    EXPECT_EQ(ReadBytes(output), "the previous output");
    EXPECT_EQ(directory.List(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusals,
    ::testing::Values(
        RefusalCase{"width_low", {"--width", "0", "IN"}, "out.png", {"Width", "1 to 10000"}},
        RefusalCase{"width_high", {"--width", "10001", "IN"}, "out.png", {"Width", "1 to 10000"}},
        RefusalCase{
            "width_trailing", {"--width", "12px", "IN"}, "out.png", {"Width", "1 to 10000"}},
        RefusalCase{"minimum_length",
                    {"--minimum-length", "1001", "IN"},
                    "out.png",
                    {"Minimum Length", "1 to 1000"}},
        RefusalCase{"edge_thickness",
                    {"--edge-thickness", "-3", "IN"},
                    "out.png",
                    {"Edge Thickness", "1 to 100"}},
        RefusalCase{"threshold_high",
                    {"--threshold", "100.00001", "IN"},
                    "out.png",
                    {"Threshold", "0.0 to 100.0"}},
        RefusalCase{"threshold_nan",
                    {"--threshold", "nan", "IN"},
                    "out.png",
                    {"Threshold", "0.0 to 100.0"}},
        RefusalCase{"threshold_inf",
                    {"--threshold", "inf", "IN"},
                    "out.png",
                    {"Threshold", "0.0 to 100.0"}},
        RefusalCase{
            "threshold_empty", {"--threshold", "", "IN"}, "out.png", {"Threshold", "0.0 to 100.0"}},
        RefusalCase{"edge_lightness_high",
                    {"--edge-lightness", "5.0001", "IN"},
                    "out.png",
                    {"Edge Lightness", "0.00 to 5.00"}},
        RefusalCase{"edge_lightness_negative",
                    {"--edge-lightness", "-0.01", "IN"},
                    "out.png",
                    {"Edge Lightness", "0.00 to 5.00"}},
        RefusalCase{"direction",
                    {"--direction", "diagonal", "IN"},
                    "out.png",
                    {"Direction", "horizontal, vertical"}},
        RefusalCase{"mode",
                    {"--mode", "", "IN"},
                    "out.png",
                    {"Mode", "rgb, luminance, hue, lightness, saturation"}},
        RefusalCase{"edge_mode",
                    {"--edge-mode", "colour", "IN"},
                    "out.png",
                    {"Edge Mode", "lightness, color"}},
        RefusalCase{
            "edge_color", {"--edge-color", "#12345", "IN"}, "out.png", {"Edge Color", "RRGGBB"}},
        RefusalCase{"unknown_option", {"--wdth", "3", "IN"}, "out.png", {"--wdth"}},
        RefusalCase{"depth", {"--depth", "24", "IN"}, "out.png", {"--depth", "8, 16 or 32"}},
        RefusalCase{"downsample", {"--downsample", "0", "IN"}, "out.png", {"--downsample"}},
        RefusalCase{"float_to_png", {"--depth", "32", "IN"}, "out.png", {"out.png", ".exr"}},
        RefusalCase{"no_alpha_in_jpeg", {"IN"}, "out.jpg", {"out.jpg", "alpha", ".png"}},
        RefusalCase{"missing_input", {"MISSING"}, "out.png", {"missing.png", "No such file"}},
        RefusalCase{"unreadable_input", {"GARBAGE"}, "out.png", {"garbage.png"}},
        RefusalCase{"input_is_a_directory", {"/"}, "out.png", {"/", "directory"}}),
    [](const auto& info) { return std::string(info.param.name); });

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string BigEndian(uint32_t value) {
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    return BigEndian(static_cast<uint32_t>(data.size())) + type + data +
           BigEndian(Crc32(type + data));
}

TEST(RenderBinary, AFileClaimingAnEnormousFrameIsRefusedBeforeAllocating) {
    // A valid PNG header for 60000 x 60000 pixels of 16-bit RGBA (29 GB of
    // pixels, within OpenImageIO's own limit) and no pixel data.
    TemporaryDirectory directory;
    const std::string header =
        BigEndian(60000) + BigEndian(60000) + std::string("\x10\x06\0\0\0", 5);
    const std::string empty_deflate("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    {
        std::ofstream(directory.File("huge.png"), std::ios::binary)
            << "\x89PNG\r\n\x1a\n"
            << PngChunk("IHDR", header) << PngChunk("IDAT", empty_deflate) << PngChunk("IEND", "");
    }
    const RunResult run = RunRenderer({directory.File("huge.png"), directory.File("out.png")});
    EXPECT_EQ(run.status, 2) << run.printed;
    EXPECT_NE(run.printed.find("huge.png"), std::string::npos) << run.printed;
    EXPECT_NE(run.printed.find("60000x60000"), std::string::npos) << run.printed;
    EXPECT_NE(run.printed.find("too large"), std::string::npos) << run.printed;
    EXPECT_EQ(directory.List(), std::vector<std::string>{"huge.png"});
}

TEST(RenderBinary, AnOutputThatCannotBeWrittenExitsWithOneNamingIt) {
    TemporaryDirectory directory;
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
    const std::string output = directory.File("no/such/dir/out.png");
    const RunResult run = RunRenderer({directory.File("in.png"), output});
    EXPECT_EQ(run.status, 1) << run.printed;
    EXPECT_NE(run.printed.find(output), std::string::npos) << run.printed;
    EXPECT_EQ(directory.List(), std::vector<std::string>{"in.png"});
}

TEST(RenderBinary, AnEffectModuleThatCannotBeLoadedIsNamed) {
    TemporaryDirectory directory;
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
    const RunResult run = RunRenderer({"--plugin", directory.File("in.png"),
                                       directory.File("in.png"), directory.File("out.png")});
    EXPECT_EQ(run.status, 2) << run.printed;
    EXPECT_NE(run.printed.find(directory.File("in.png")), std::string::npos) << run.printed;
    EXPECT_EQ(directory.List(), std::vector<std::string>{"in.png"});
    // The module named explicitly works as the default one does.
    EXPECT_EQ(RunRenderer({"--plugin", OSTREL_PLUGIN_MODULE, directory.File("in.png"),
                           directory.File("out.png")})
                  .status,
              0);
}

// ---- Another effect: its own controls, and errors ------------------------------------

TEST(AnotherEffect, OffersItsOwnControlsAndNoneOfTheRealEffects) {
    const RunResult listing = RunRenderer({"--plugin", OSTREL_FAILING_EFFECT, "--list-params"});
    ASSERT_EQ(listing.status, 0) << listing.printed;
    for (const char* part :
         {"--strip-size N", "Strip Size", "1 to 50", "--fail-at NAME", "pre-render|render"}) {
        EXPECT_NE(listing.printed.find(part), std::string::npos)
            << part << " in: " << listing.printed;
    }
    EXPECT_EQ(listing.printed.find("--width"), std::string::npos) << listing.printed;

    TemporaryDirectory directory;
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
    const RunResult width = RunRenderer({"--plugin", OSTREL_FAILING_EFFECT, "--width", "3",
                                         directory.File("in.png"), directory.File("out.png")});
    EXPECT_EQ(width.status, 2);
    EXPECT_NE(width.printed.find("--width"), std::string::npos) << width.printed;
    const RunResult size = RunRenderer({"--plugin", OSTREL_FAILING_EFFECT, "--strip-size", "51",
                                        directory.File("in.png"), directory.File("out.png")});
    EXPECT_EQ(size.status, 2);
    EXPECT_NE(size.printed.find("Strip Size"), std::string::npos) << size.printed;
    EXPECT_NE(size.printed.find("1 to 50"), std::string::npos) << size.printed;
    EXPECT_EQ(directory.List(), std::vector<std::string>{"in.png"});
}

TEST(AnotherEffect, AnEffectErrorExitsWithOneNamingTheCommandAndCode) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> mentioned;
    };
    const Case cases[] = {
        {{}, {"smart pre-render", "512"}},
        {{"--fail-at", "render"}, {"smart render", "513", "the failing effect fails"}},
    };
    for (const Case& c : cases) {
        TemporaryDirectory directory;
        ASSERT_TRUE(
            WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
        { std::ofstream(directory.File("out.png")) << "the previous output"; }
        std::vector<std::string> arguments = {"--plugin", OSTREL_FAILING_EFFECT};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(directory.File("in.png"));
        arguments.push_back(directory.File("out.png"));
        const RunResult run = RunRenderer(arguments);
        EXPECT_EQ(run.status, 1) << run.printed;
        for (const std::string& part : c.mentioned) {
            EXPECT_NE(run.printed.find(part), std::string::npos) << part << " in: " << run.printed;
        }
        EXPECT_NE(run.printed.find("out.png"), std::string::npos) << run.printed;
        EXPECT_EQ(ReadBytes(directory.File("out.png")), "the previous output");
        EXPECT_EQ(directory.List(), (std::vector<std::string>{"in.png", "out.png"}));
    }
}

// ---- Help and the controls' listing ------------------------------------------------------

TEST(RenderBinary, HelpExitsWithZeroAndListsTheRegisteredControls) {
    const RunResult run = RunRenderer({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* part : {"Usage: ostrel-render", "--width N", "--edge-color RRGGBB", "--frames",
                             "--jobs", "--downsample", "--depth"}) {
        EXPECT_NE(run.printed.find(part), std::string::npos) << part;
    }
}

TEST(RenderBinary, ListParamsShowsTheDefinitionsAndTheGreyedOutState) {
    const RunResult defaults = RunRenderer({"--list-params"});
    ASSERT_EQ(defaults.status, 0) << defaults.printed;
    // One line per control as registered, in order; the effect's UI update
    // greys out the edge control that Edge Mode leaves unused.
    std::istringstream lines(defaults.printed);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line)) rows.push_back(line);
    ASSERT_GE(rows.size(), 13u) << defaults.printed;
    auto row_of = [&rows](const std::string& option) {
        for (const std::string& row : rows) {
            if (row.find("  " + option + " ") != std::string::npos) return row;
        }
        return std::string();
    };
    const std::string width = row_of("--width");
    for (const char* part : {"Width", "integer", "1 to 10000", "1 to 100", " 10 ", "enabled"}) {
        EXPECT_NE(width.find(part), std::string::npos) << part << " in: " << width;
    }
    const std::string threshold = row_of("--threshold");
    for (const char* part : {"percent", "0.0 to 100.0", "10.0"}) {
        EXPECT_NE(threshold.find(part), std::string::npos) << part << " in: " << threshold;
    }
    const std::string lightness = row_of("--edge-lightness");
    for (const char* part : {"0.00 to 5.00", "0.00 to 2.00", "1.00", "enabled"}) {
        EXPECT_NE(lightness.find(part), std::string::npos) << part << " in: " << lightness;
    }
    EXPECT_NE(row_of("--edge-color").find("greyed out"), std::string::npos);
    EXPECT_NE(row_of("--mode").find("rgb|luminance|hue|lightness|saturation"), std::string::npos);

    // With Edge Mode set to Color the other edge control is the greyed one.
    const RunResult color = RunRenderer({"--edge-mode", "color", "--list-params"});
    ASSERT_EQ(color.status, 0) << color.printed;
    rows.clear();
    std::istringstream color_lines(color.printed);
    while (std::getline(color_lines, line)) rows.push_back(line);
    EXPECT_NE(row_of("--edge-lightness").find("greyed out"), std::string::npos) << color.printed;
    EXPECT_NE(row_of("--edge-color").find("enabled"), std::string::npos) << color.printed;
}

// ---- Sequences ---------------------------------------------------------------------------

void WriteSequence(const TemporaryDirectory& directory, const std::vector<int>& frames) {
    for (int frame : frames) {
        char name[32];
        std::snprintf(name, sizeof name, "in.%04d.png", frame);
        ASSERT_TRUE(
            WriteImage(directory.File(name), kWidth, kHeight, 4, Picture(kWidth, kHeight, frame)));
    }
}

TEST(Sequences, OneAndTwoJobsWriteIdenticalFiles) {
    TemporaryDirectory directory;
    WriteSequence(directory, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(mkdir(directory.File("one").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(directory.File("two").c_str(), 0755), 0);
    const RunResult one =
        RunRenderer({"--frames", "1-6", "--jobs", "1", "--mode", "hue", directory.File("in.#.png"),
                     directory.File("one/out.#.png")});
    ASSERT_EQ(one.status, 0) << one.printed;
    const RunResult two =
        RunRenderer({"--frames", "1-6", "--jobs", "2", "--mode", "hue",
                     directory.File("in.%04d.png"), directory.File("two/out.@@@@.png")});
    ASSERT_EQ(two.status, 0) << two.printed;
    std::unique_ptr<standin::World> first_expected =
        ReferenceRender(*FrameOf(Picture(kWidth, kHeight, 1), kWidth, kHeight), {Value("Mode", 3)});
    EXPECT_TRUE(SamePixels(*first_expected, ReadImage(directory.File("one/out.0001.png"))));
    for (int frame = 1; frame <= 6; ++frame) {
        const std::string name = "out.000" + std::to_string(frame) + ".png";
        const std::string single = ReadBytes(directory.File("one/" + name));
        EXPECT_FALSE(single.empty()) << name;
        EXPECT_EQ(single, ReadBytes(directory.File("two/" + name))) << name;
    }
    // Every frame of its own input, so identical files mean the right pairing.
    EXPECT_NE(ReadBytes(directory.File("one/out.0001.png")),
              ReadBytes(directory.File("one/out.0002.png")));
}

TEST(Sequences, AMissingFrameIsNamedAndStopsTheSequenceKeepingWrittenFrames) {
    TemporaryDirectory directory;
    WriteSequence(directory, {1, 2, 4});
    const RunResult run =
        RunRenderer({"--frames", "1-4", directory.File("in.#.png"), directory.File("out.#.png")});
    EXPECT_EQ(run.status, 2) << run.printed;
    EXPECT_NE(run.printed.find(directory.File("in.0003.png")), std::string::npos) << run.printed;
    EXPECT_EQ(directory.List(),
              (std::vector<std::string>{"in.0001.png", "in.0002.png", "in.0004.png", "out.0001.png",
                                        "out.0002.png"}));
}

TEST(Sequences, SkipBadFramesGoesOnButStillFails) {
    TemporaryDirectory directory;
    WriteSequence(directory, {1, 2, 4});
    const RunResult run = RunRenderer({"--frames", "1-4", "--skip-bad-frames", "--jobs", "2",
                                       directory.File("in.#.png"), directory.File("out.#.png")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.printed.find(directory.File("in.0003.png")), std::string::npos) << run.printed;
    EXPECT_EQ(directory.List(),
              (std::vector<std::string>{"in.0001.png", "in.0002.png", "in.0004.png", "out.0001.png",
                                        "out.0002.png", "out.0004.png"}));
}

TEST(Sequences, StepsAndListsPickTheFrames) {
    TemporaryDirectory directory;
    WriteSequence(directory, {1, 2, 3, 4, 5, 6, 7});
    const RunResult run = RunRenderer({"--frames", "1-5x2,7", "--quiet", directory.File("in.#.png"),
                                       directory.File("out.@.png")});
    ASSERT_EQ(run.status, 0) << run.printed;
    const std::vector<std::string> names = directory.List();
    std::vector<std::string> outputs;
    for (const std::string& name : names) {
        if (name.rfind("out.", 0) == 0) outputs.push_back(name);
    }
    EXPECT_EQ(outputs,
              (std::vector<std::string>{"out.1.png", "out.3.png", "out.5.png", "out.7.png"}));
}

// ---- Progress and Ctrl-C -------------------------------------------------------------------

// Runs the renderer on a terminal (a pseudo-terminal), sends SIGINT once the
// progress bar shows the render under way, and collects what it printed.
RunResult InterruptOnTerminal(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {OSTREL_RENDER_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult run;
    if (pid < 0) return run;
    bool interrupted = false;
    char buffer[4096];
    while (true) {
        pollfd poll_terminal{terminal, POLLIN, 0};
        if (poll(&poll_terminal, 1, -1) <= 0) break;
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) break;  // the renderer has gone
        run.printed.append(buffer, static_cast<size_t>(got));
        // The bar is drawn at the effect's first progress call.
        if (!interrupted && run.printed.find("%") != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    close(terminal);
    int wait_status = 0;
    waitpid(pid, &wait_status, 0);
    run.status = StatusOf(wait_status);
    EXPECT_TRUE(interrupted) << "no progress bar was drawn: " << run.printed;
    return run;
}

TEST(CtrlC, StopsTheRenderThroughTheEffectsProgressCallAndWritesNothing) {
    TemporaryDirectory directory;
    // Threshold 0 and one-pixel strips make a run of every pixel: a render
    // long enough to be interrupted.
    constexpr int kSide = 1500;
    std::vector<uint8_t> noise(static_cast<size_t>(kSide) * kSide * 4);
    uint32_t state = 12345;
    for (uint8_t& value : noise) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<uint8_t>(state >> 24);
    }
    for (size_t i = 3; i < noise.size(); i += 4) noise[i] = 255;
    ASSERT_TRUE(WriteImage(directory.File("big.png"), kSide, kSide, 4, noise));
    { std::ofstream(directory.File("out.png")) << "the previous output"; }
    const RunResult run =
        InterruptOnTerminal({"--threshold", "0", "--width", "1", "--minimum-length", "1",
                             directory.File("big.png"), directory.File("out.png")});
    EXPECT_EQ(run.status, 130) << run.printed;
    EXPECT_NE(run.printed.find("the effect stopped at its progress call with the cancel code"),
              std::string::npos)
        << run.printed;
    EXPECT_EQ(ReadBytes(directory.File("out.png")), "the previous output");
    EXPECT_EQ(directory.List(), (std::vector<std::string>{"big.png", "out.png"}));
}

TEST(Progress, ABarOnATerminalUnlessQuiet) {
    TemporaryDirectory directory;
    ASSERT_TRUE(WriteImage(directory.File("in.png"), kWidth, kHeight, 4, Picture(kWidth, kHeight)));
    // Rendered on a terminal to the end: the bar reaches 100%.
    int terminal = -1;
    std::string in = directory.File("in.png"), out = directory.File("out.png");
    for (bool quiet : {false, true}) {
        std::vector<std::string> words = {OSTREL_RENDER_BINARY, in, out};
        if (quiet) words.insert(words.begin() + 1, "--quiet");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(&word[0]);
        argv.push_back(nullptr);
        const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        std::string shown;
        char buffer[4096];
        ssize_t got;
        while ((got = read(terminal, buffer, sizeof buffer)) > 0) shown.append(buffer, got);
        close(terminal);
        int wait_status = 0;
        waitpid(pid, &wait_status, 0);
        EXPECT_EQ(StatusOf(wait_status), 0) << shown;
        if (quiet) {
            EXPECT_EQ(shown, "");
        } else {
            EXPECT_NE(shown.find("100.0%"), std::string::npos) << shown;
        }
    }
}

}  // namespace
