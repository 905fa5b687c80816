// Smart render through the loaded effect: the depth of the frame, the order of
// its host calls, the worlds' geometry, and the failure rows, with the
// settings record, the suites and the input given back on every way out.
#include <cstring>

#include "tests/binding/effect_harness.h"
#include "tests/frames/picture.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

const char* const kFrameSuites[][2] = {
    {"PF World Suite", "2"}, {"PF ColorFloat Suite", "1"}, {"PF Fill Matte Suite", "2"}};

class SmartRenderTest : public HostTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
        // One strip over the whole frame, one run along its middle line, a
        // one-pixel magenta border.
        ASSERT_TRUE(effect.SetValue(1, 10));
        ASSERT_TRUE(effect.SetValue(2, 1));
        ASSERT_TRUE(effect.SetValue(8, 2));
        ASSERT_TRUE(effect.SetColor(10, PaletteColor('M')));
        input = WorldFromPicture(kInput, PF_PixelFormat_ARGB32);
        host.ResetCounts();
        host.ClearCallLog();
    }
    void TearDown() override {
        for (const auto& suite : kFrameSuites) {
            EXPECT_EQ(host.SuitesHeld(suite[0], std::atoi(suite[1])), 0) << suite[0];
        }
        EXPECT_EQ(host.LiveHandleCount(), 2);  // global and sequence data only
        EXPECT_BOOKS_BALANCED(host);
        EXPECT_EQ(effect.Stop(), PF_Err_NONE);
        EXPECT_EQ(host.LiveHandleCount(), 0);
        EXPECT_BOOKS_BALANCED(host);
    }

    // A 6 x 4 frame whose middle line (row 3, the last) is all red.
    const Picture kInput = {"GGGGGG", "GGGGGG", "BBBBBB", "RRRRRR"};
    const Picture kPainted = {"MMMMMM", "MRRRRM", "MRRRRM", "MRRRRM"};

    standin::EffectInstance effect{host};
    std::unique_ptr<standin::World> input;
};

bool Untouched(const standin::World& world) {
    const unsigned char* bytes = static_cast<const unsigned char*>(world.effect_world()->data);
    const size_t size = static_cast<size_t>(world.rowbytes()) * world.height();
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != standin::kUntouchedByte) return false;
    }
    return true;
}

void MarkUntouched(standin::World* world) {
    std::memset(world->effect_world()->data, standin::kUntouchedByte,
                static_cast<size_t>(world->rowbytes()) * world->height());
}

// Each depth is fetched and painted at that depth: the run keeps its colour
// exactly as stored, even where no 8-bit colour would give it, and a float
// channel outside 0..1 passes through.
struct DepthCase {
    const char* name;
    PF_PixelFormat format;
    Service fill;
};

class Depths : public SmartRenderTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(Depths, FetchAndFillAtTheFramesDepth) {
    const DepthCase& c = GetParam();
    std::unique_ptr<standin::World> deep = WorldFromPicture(kInput, c.format);
    // The middle line's colour, at the depth's own precision.
    for (A_long x = 0; x < deep->width(); ++x) {
        switch (c.format) {
            case PF_PixelFormat_ARGB32:
                deep->At<PF_Pixel>(x, 3) = {200, 10, 20, 30};
                break;
            case PF_PixelFormat_ARGB64:
                deep->At<PF_Pixel16>(x, 3) = {32768, 12345, 1, 32767};
                break;
            default:
                deep->At<PF_PixelFloat>(x, 3) = {1.0f, 2.5f, -0.25f, 0.3f};
                break;
        }
    }
    const standin::FrameResult frame = effect.RenderFrame(*deep);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    const standin::World& out = *frame.output;

    const std::vector<standin::CallRecord> formats = Calls(host, Service::GetPixelFormat);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].world, deep->effect_world());
    for (Service fill : {Service::Fill, Service::Fill16, Service::FillFloat}) {
        EXPECT_EQ(host.CallCount(fill), fill == c.fill ? 2 : 0);
    }
    // The inside carries the run colour as stored; the border is magenta at
    // the depth with the run's alpha.
    const size_t size = static_cast<size_t>(standin::BytesPerPixel(c.format));
    for (A_long y = 1; y < 4; ++y) {
        for (A_long x = 1; x < 5; ++x) {
            EXPECT_EQ(std::memcmp(&out.Row<char>(y)[x * size], &deep->Row<char>(3)[x * size], size),
                      0)
                << x << ", " << y;
        }
    }
    switch (c.format) {
        case PF_PixelFormat_ARGB32: {
            const PF_Pixel& border = out.At<PF_Pixel>(0, 0);
            EXPECT_EQ(border.alpha, 200);
            EXPECT_EQ(border.red, 255);
            EXPECT_EQ(border.green, 0);
            EXPECT_EQ(border.blue, 255);
            break;
        }
        case PF_PixelFormat_ARGB64: {
            const PF_Pixel16& border = out.At<PF_Pixel16>(0, 0);
            EXPECT_EQ(border.alpha, 32768);
            EXPECT_EQ(border.red, 32768);
            EXPECT_EQ(border.green, 0);
            EXPECT_EQ(border.blue, 32768);
            break;
        }
        default: {
            const PF_PixelFloat& border = out.At<PF_PixelFloat>(0, 0);
            EXPECT_EQ(border.alpha, 1.0f);
            EXPECT_EQ(border.red, 1.0f);
            EXPECT_EQ(border.green, 0.0f);
            EXPECT_EQ(border.blue, 1.0f);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Depths,
    ::testing::Values(DepthCase{"Eight", PF_PixelFormat_ARGB32, Service::Fill},
                      DepthCase{"Sixteen", PF_PixelFormat_ARGB64, Service::Fill16},
                      DepthCase{"Float", PF_PixelFormat_ARGB128, Service::FillFloat}),
    [](const ::testing::TestParamInfo<DepthCase>& info) { return info.param.name; });

TEST_F(SmartRenderTest, TheHostCallsComeInTheirOrder) {
    PF_Handle settings = nullptr;
    standin::FrameOptions options;
    options.before_smart_render = [&](PF_SmartRenderExtra& extra) {
        settings = static_cast<PF_Handle>(extra.input->pre_render_data);
        host.ClearCallLog();
    };
    const standin::FrameResult frame = effect.RenderFrame(*input, options);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_EQ(ComparePictures(kPainted, *frame.output), "");

    // What a call stands for in the order below; calls of the scan are
    // folded into one "scan" entry.
    std::vector<std::string> order;
    for (const standin::CallRecord& call : host.call_log()) {
        std::string entry;
        switch (call.service) {
            case Service::AcquireSuite:
                entry = "+" + call.suite_name;
                break;
            case Service::ReleaseSuite:
                entry = "-" + call.suite_name;
                break;
            case Service::LockHandle:
            case Service::UtilsUnlockHandle:
            case Service::UtilsDisposeHandle:
                EXPECT_EQ(call.handle, settings);
                entry = standin::ServiceName(call.service);
                break;
            case Service::CheckoutLayerPixels:
            case Service::CheckinLayerPixels:
                EXPECT_EQ(call.checkout_id, 0);
                entry = standin::ServiceName(call.service);
                break;
            case Service::UtilsFill:
                EXPECT_TRUE(call.whole_world);
                EXPECT_EQ(call.color[0] + call.color[1] + call.color[2] + call.color[3], 0);
                entry = standin::ServiceName(call.service);
                break;
            case Service::RGBtoHLS:
            case Service::Luminance:
            case Service::Fill:
            case Service::Progress:
                entry = "scan";
                break;
            default:
                entry = standin::ServiceName(call.service);
                break;
        }
        if (order.empty() || order.back() != entry || entry != "scan") order.push_back(entry);
    }
    const std::vector<std::string> expected = {
        "+PF Handle Suite",
        standin::ServiceName(Service::LockHandle),
        standin::ServiceName(Service::CheckoutLayerPixels),
        standin::ServiceName(Service::CheckoutOutput),
        "+PF World Suite",
        "+PF ColorFloat Suite",
        "+PF Fill Matte Suite",
        standin::ServiceName(Service::GetPixelFormat),
        standin::ServiceName(Service::UtilsFill),
        "scan",
        standin::ServiceName(Service::CheckinLayerPixels),
        "-PF World Suite",
        "-PF ColorFloat Suite",
        "-PF Fill Matte Suite",
        "-PF Handle Suite",
        standin::ServiceName(Service::UtilsUnlockHandle),
        standin::ServiceName(Service::UtilsDisposeHandle),
    };
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(host.FindHandle(settings).alive);
}

// An output wider than the input is accepted and cleared whole; columns
// beyond the input's width stay transparent black in horizontal strips.
TEST_F(SmartRenderTest, AWiderOutputIsClearedBeyondTheInput) {
    std::unique_ptr<standin::World> wide = standin::World::Allocate(9, 4, PF_PixelFormat_ARGB32);
    MarkUntouched(wide.get());
    standin::FrameOptions options;
    options.output_world = wide.get();
    const standin::FrameResult frame = effect.RenderFrame(*input, options);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_EQ(ComparePictures({"MMMMMM...", "MRRRRM...", "MRRRRM...", "MRRRRM..."}, *wide), "");
}

// The failure rows. `output` names the world handed out at checkout_output
// and `input_rows` narrows the input's rows; `cleared` tells whether the
// output was cleared before the failure.
enum class Geometry { Usual, TallerOutput, NarrowOutput, NarrowInputRows };

struct RenderFailure {
    const char* name;
    bool inject;
    Failure failure;
    Geometry geometry;
    PF_Err expected;
    bool cleared;
    int layer_checkouts;
    const char* message;
};

class SmartRenderFails : public SmartRenderTest,
                         public ::testing::WithParamInterface<RenderFailure> {};

TEST_P(SmartRenderFails, ReturnsTheRowsCodeAndGivesEverythingBack) {
    const RenderFailure& c = GetParam();
    std::unique_ptr<standin::World> output;
    switch (c.geometry) {
        case Geometry::TallerOutput:
            output = standin::World::Allocate(6, 5, PF_PixelFormat_ARGB32);
            break;
        case Geometry::NarrowOutput:
            // Three pixels of padding still leave a row one pixel short.
            output = standin::World::Allocate(2, 4, PF_PixelFormat_ARGB32);
            break;
        default:
            output = standin::World::Allocate(6, 4, PF_PixelFormat_ARGB32);
            break;
    }
    MarkUntouched(output.get());
    if (c.geometry == Geometry::NarrowInputRows) {
        input->effect_world()->rowbytes = 5 * 4;
    }
    standin::FrameOptions options;
    options.output_world = output.get();
    if (c.inject) host.InjectFailure(c.failure);

    const standin::FrameResult frame = effect.RenderFrame(*input, options);
    host.ClearFailures();

    EXPECT_EQ(frame.err, c.expected) << frame.message;
    EXPECT_EQ(frame.failed_command, PF_Cmd_SMART_RENDER);
    EXPECT_EQ(host.CallCount(Service::CheckoutLayerPixels), c.layer_checkouts);
    EXPECT_EQ(host.CallCount(Service::CheckinLayerPixels),
              c.layer_checkouts && c.failure.service != Service::CheckoutLayerPixels ? 1 : 0);
    if (c.cleared) {
        EXPECT_FALSE(Untouched(*output));
        EXPECT_EQ(host.CallCount(Service::UtilsFill), 1);
    } else {
        EXPECT_TRUE(Untouched(*output));
        EXPECT_EQ(host.CallCount(Service::UtilsFill), 0);
    }
    if (c.message) {
        EXPECT_STREQ(host.out_data.return_msg, c.message);
        EXPECT_TRUE(host.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    } else {
        EXPECT_STREQ(host.out_data.return_msg, "");
        EXPECT_FALSE(host.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SmartRenderFails,
    ::testing::Values(
        // The settings record's lock is the second in the frame, pre-render's the first.
        RenderFailure{"SettingsLockFails", true, Failure::Null(Service::LockHandle, 2),
                      Geometry::Usual, PF_Err_BAD_CALLBACK_PARAM, false, 0, nullptr},
        // A refused checkout is reported as a bad call, not with its own code.
        RenderFailure{"InputCheckoutFails", true,
                      Failure::Code(Service::CheckoutLayerPixels, 1, 40), Geometry::Usual,
                      PF_Err_BAD_CALLBACK_PARAM, false, 1, nullptr},
        RenderFailure{"InputCheckoutGivesNoWorld", true,
                      Failure::Null(Service::CheckoutLayerPixels, 1), Geometry::Usual,
                      PF_Err_BAD_CALLBACK_PARAM, false, 1, nullptr},
        RenderFailure{"OutputCheckoutFails", true, Failure::Code(Service::CheckoutOutput, 1, 41),
                      Geometry::Usual, PF_Err_BAD_CALLBACK_PARAM, false, 1, nullptr},
        RenderFailure{"ColorSuiteRefused", true, Failure::RefuseSuite("PF ColorFloat Suite"),
                      Geometry::Usual, PF_Err_BAD_CALLBACK_PARAM, false, 1, "Couldn't load suite."},
        RenderFailure{"PixelFormatFails", true, Failure::Code(Service::GetPixelFormat, 1, 43),
                      Geometry::Usual, PF_Err_BAD_CALLBACK_PARAM, false, 1, nullptr},
        RenderFailure{"PixelFormatUnknown", true, Failure::Null(Service::GetPixelFormat, 1),
                      Geometry::Usual, PF_Err_BAD_CALLBACK_PARAM, false, 1, nullptr},
        RenderFailure{"HeightsDiffer", false, {}, Geometry::TallerOutput, 255, false, 1, nullptr},
        RenderFailure{
            "OutputRowsTooNarrow", false, {}, Geometry::NarrowOutput, 255, false, 1, nullptr},
        RenderFailure{
            "InputRowsTooNarrow", false, {}, Geometry::NarrowInputRows, 255, false, 1, nullptr},
        // A failure inside the scan comes back as it is, after the clear.
        RenderFailure{"ConversionFails", true, Failure::Code(Service::RGBtoHLS, 1, 21),
                      Geometry::Usual, 21, true, 1, nullptr},
        RenderFailure{"ProgressFails", true, Failure::Code(Service::Progress, 1, 22),
                      Geometry::Usual, 22, true, 1, nullptr}),
    [](const ::testing::TestParamInfo<RenderFailure>& info) { return info.param.name; });

// A cancel through the progress call ends the frame with the cancel code,
// after the suites were given back and the input checked in.
TEST_F(SmartRenderTest, ACancelDuringTheScanReturnsTheCancelCode) {
    ASSERT_TRUE(effect.SetValue(1, 1));  // one strip per row: four progress calls unless cancelled
    host.SetProgressObserver([&](A_long, A_long) { host.RequestCancel(); });
    const standin::FrameResult frame = effect.RenderFrame(*input);
    EXPECT_EQ(frame.err, PF_Interrupt_CANCEL);
    EXPECT_EQ(host.CallCount(Service::Progress), 1);

    const std::vector<standin::CallRecord>& log = host.call_log();
    size_t progress = 0;
    while (progress < log.size() && log[progress].service != Service::Progress) ++progress;
    ASSERT_LT(progress, log.size());
    int releases = 0, checkins = 0;
    for (size_t i = progress + 1; i < log.size(); ++i) {
        EXPECT_NE(log[i].service, Service::RGBtoHLS) << "a conversion after the cancel";
        if (log[i].service == Service::ReleaseSuite) ++releases;
        if (log[i].service == Service::CheckinLayerPixels) ++checkins;
    }
    EXPECT_EQ(releases, 4);  // the three frame suites and the Handle suite
    EXPECT_EQ(checkins, 1);
    host.ClearCancel();
}

}  // namespace
}  // namespace ostrel_test
