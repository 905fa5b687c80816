// Smart pre-render through the loaded effect: the settings record for the
// render, the controls read at the frame's time, the input request and the
// output rectangles.
#include <climits>
#include <cstring>

#include "engine/render_settings.h"
#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

class PreRenderTest : public HostTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
        input = SolidWorld(12, 8, PF_PixelFormat_ARGB32, {1.0f, 0.2f, 0.4f, 0.6f});
    }
    void TearDown() override {
        EXPECT_BOOKS_BALANCED(host);
        EXPECT_EQ(effect.Stop(), PF_Err_NONE);
        EXPECT_EQ(host.LiveHandleCount(), 0);
        EXPECT_BOOKS_BALANCED(host);
    }

    // Renders one frame and returns the settings record the render was handed.
    RenderSettings RenderAndCapture(const standin::FrameOptions& given) {
        RenderSettings captured;
        std::memset(&captured, 0xEE, sizeof(captured));
        standin::FrameOptions options = given;
        options.before_smart_render = [&](PF_SmartRenderExtra& extra) {
            const standin::HandleState handle =
                host.FindHandle(static_cast<PF_Handle>(extra.input->pre_render_data));
            EXPECT_TRUE(handle.alive);
            EXPECT_EQ(handle.size, 52u);
            if (handle.alive && handle.size == sizeof(captured)) {
                std::memcpy(&captured, handle.data, sizeof(captured));
            }
        };
        const standin::FrameResult frame = effect.RenderFrame(*input, options);
        EXPECT_EQ(frame.err, PF_Err_NONE) << frame.message;
        return captured;
    }

    standin::EffectInstance effect{host};
    std::unique_ptr<standin::World> input;
};

// Lengths follow the horizontal factor alone, in both directions; a positive
// length never scales to 0.
struct ScaleCase {
    const char* name;
    PF_RationalScale downsample_x, downsample_y;
    A_long direction, width, min_length, thickness;
    double scale;
    A_long scaled_width, scaled_min_length, scaled_thickness;
};

class ScaledLengths : public PreRenderTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaledLengths, FollowTheHorizontalFactor) {
    const ScaleCase& c = GetParam();
    ASSERT_TRUE(effect.SetValue(3, c.direction));
    ASSERT_TRUE(effect.SetValue(1, c.width));
    ASSERT_TRUE(effect.SetValue(2, c.min_length));
    ASSERT_TRUE(effect.SetValue(7, c.thickness));
    standin::FrameOptions options;
    options.downsample_x = c.downsample_x;
    options.downsample_y = c.downsample_y;

    const RenderSettings settings = RenderAndCapture(options);
    EXPECT_EQ(settings.scale, c.scale);
    EXPECT_EQ(settings.strip_width, c.scaled_width);
    EXPECT_EQ(settings.min_length, c.scaled_min_length);
    EXPECT_EQ(settings.edge_thickness, c.scaled_thickness);
    // Percentages and the lightness exponent are not lengths.
    EXPECT_EQ(settings.threshold, 0xA0000);
    EXPECT_EQ(settings.edge_lightness, 0x10000);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, ScaledLengths,
    ::testing::Values(
        ScaleCase{"Full", {1, 1}, {1, 1}, 1, 10, 10, 1, 1.0, 10, 10, 1},
        ScaleCase{"Half", {1, 2}, {1, 2}, 1, 15, 10, 1, 0.5, 7, 5, 1},
        ScaleCase{"Third", {1, 3}, {1, 3}, 1, 10, 10, 2, 1.0 / 3.0, 3, 3, 1},
        ScaleCase{"Quarter", {1, 4}, {1, 4}, 1, 10, 3, 7, 0.25, 2, 1, 1},
        ScaleCase{"HalfAcrossOnlyVertical", {1, 2}, {1, 1}, 2, 15, 10, 4, 0.5, 7, 5, 2},
        ScaleCase{"HalfDownOnlyVertical", {1, 1}, {1, 2}, 2, 15, 10, 4, 1.0, 15, 10, 4},
        ScaleCase{"TwoOfSix", {2, 6}, {1, 1}, 1, 10000, 1000, 100, 2.0 / 6.0, 3333, 333, 33},
        // Beyond the 32-bit range the lengths saturate rather than wrap.
        ScaleCase{"Saturating",
                  {1000000, 1},
                  {1, 1},
                  1,
                  10000,
                  1,
                  100,
                  1000000.0,
                  INT_MAX,
                  1000000,
                  100000000}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) { return info.param.name; });

TEST_F(PreRenderTest, EveryFieldComesFromItsControl) {
    ASSERT_TRUE(effect.SetValue(1, 7));
    ASSERT_TRUE(effect.SetValue(2, 3));
    ASSERT_TRUE(effect.SetValue(3, 2));
    ASSERT_TRUE(effect.SetValue(4, 1));
    ASSERT_TRUE(effect.SetValue(5, 0x123456));
    ASSERT_TRUE(effect.SetValue(6, 4));
    ASSERT_TRUE(effect.SetValue(7, 2));
    ASSERT_TRUE(effect.SetValue(8, 2));
    ASSERT_TRUE(effect.SetValue(9, 0x28000));
    ASSERT_TRUE(effect.SetColor(10, {10, 20, 30, 40}));
    ASSERT_TRUE(effect.SetValue(11, 1));

    RenderSettings expected;
    std::memset(&expected, 0, sizeof(expected));
    expected.scale = 1.0;
    expected.direction = 2;
    expected.invert = 1;
    expected.strip_width = 7;
    expected.min_length = 3;
    expected.mode = 4;
    expected.threshold = 0x123456;
    expected.edge_thickness = 2;
    expected.edge_mode = 2;
    expected.edge_color = {10, 20, 30, 40};
    expected.edge_lightness = 0x28000;
    expected.color_invert = 1;
    const RenderSettings settings = RenderAndCapture(standin::FrameOptions());
    // Byte for byte: the host's fresh memory is not zero.
    EXPECT_EQ(std::memcmp(&settings, &expected, sizeof(expected)), 0);
}

TEST_F(PreRenderTest, ControlsAreReadAtTheFramesTimeInOrderAndCheckedIn) {
    // Width is keyed to 20 from time 5/30 s.
    ASSERT_TRUE(host.SetValueAt(1, 5, 30, 20));
    struct Moment {
        A_long time;
        A_long width;
    };
    for (const Moment moment : {Moment{4, 10}, Moment{6, 20}}) {
        SCOPED_TRACE(moment.time);
        host.ClearCallLog();
        standin::FrameOptions options;
        options.time = moment.time;
        options.time_step = 2;
        options.time_scale = 30;
        EXPECT_EQ(RenderAndCapture(options).strip_width, moment.width);

        std::vector<A_long> order;
        for (const standin::CallRecord& call : Calls(host, Service::CheckoutParam)) {
            order.push_back(call.param_index);
            EXPECT_EQ(call.time, moment.time);
            EXPECT_EQ(call.time_step, 2);
            EXPECT_EQ(call.time_scale, 30u);
        }
        EXPECT_EQ(order, (std::vector<A_long>{3, 4, 1, 2, 6, 5, 7, 9, 8, 10, 11}));
        EXPECT_EQ(host.CallCount(Service::CheckinParam), host.CallCount(Service::CheckoutParam));
        host.ResetCounts();

        const std::vector<standin::CallRecord> layer = Calls(host, Service::CheckoutLayer);
        ASSERT_EQ(layer.size(), 1u);
        EXPECT_EQ(layer[0].param_index, 0);
        EXPECT_EQ(layer[0].checkout_id, 0);
        EXPECT_EQ(layer[0].time, moment.time);
    }
}

TEST_F(PreRenderTest, TheInputRequestIsTheOutputRequestPreservingZeroAlphaColour) {
    RenderBlocks blocks(host, *input);
    PF_RenderRequest& request = blocks.pre_input.output_request;
    request.rect = {1, 2, 11, 7};
    request.field = 3;
    request.channel_mask = 0x5;
    request.preserve_rgb_of_zero_alpha = 0;
    request.unused[0] = 9;
    request.reserved[0] = 11;
    request.reserved[3] = -4;
    const PF_RenderRequest host_request = request;

    ASSERT_EQ(blocks.PreRender(), PF_Err_NONE);
    const std::vector<standin::CallRecord> layer = Calls(host, Service::CheckoutLayer);
    ASSERT_EQ(layer.size(), 1u);
    PF_RenderRequest expected = host_request;
    expected.preserve_rgb_of_zero_alpha = 1;
    EXPECT_EQ(std::memcmp(&layer[0].request, &expected, sizeof(expected)), 0);
    // The host's own request is left as it was.
    EXPECT_EQ(std::memcmp(&request, &host_request, sizeof(request)), 0);
    EXPECT_EQ(blocks.SmartRender(), PF_Err_NONE);
}

// How the input's rectangles merge into the output's.
struct RectCase {
    const char* name;
    PF_LRect output_on_entry, input, merged;
};

class RectMerging : public PreRenderTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(RectMerging, GrowsTheOutputRectangles) {
    const RectCase& c = GetParam();
    // The same case for result_rect and for max_result_rect, each on its own.
    for (bool max_rect : {false, true}) {
        SCOPED_TRACE(max_rect ? "max_result_rect" : "result_rect");
        host.SetCheckoutLayerAnswer([&](const PF_RenderRequest&, PF_CheckoutResult* result) {
            const PF_LRect other = {0, 0, 4, 4};
            result->result_rect = max_rect ? other : c.input;
            result->max_result_rect = max_rect ? c.input : other;
        });
        RenderBlocks blocks(host, *input);
        (max_rect ? blocks.pre_output.max_result_rect : blocks.pre_output.result_rect) =
            c.output_on_entry;
        ASSERT_EQ(blocks.PreRender(), PF_Err_NONE);
        const PF_LRect& merged =
            max_rect ? blocks.pre_output.max_result_rect : blocks.pre_output.result_rect;
        EXPECT_EQ(merged.left, c.merged.left);
        EXPECT_EQ(merged.top, c.merged.top);
        EXPECT_EQ(merged.right, c.merged.right);
        EXPECT_EQ(merged.bottom, c.merged.bottom);
        // The output's other fields are the host's.
        EXPECT_EQ(blocks.pre_output.solid, 0);
        EXPECT_EQ(blocks.pre_output.flags, 0);
        blocks.SmartRender();
        EXPECT_BOOKS_BALANCED(host);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectMerging,
    ::testing::Values(
        RectCase{"EmptyOutputTakesTheInput", {0, 0, 0, 0}, {1, 2, 30, 40}, {1, 2, 30, 40}},
        RectCase{"EmptyOutputTakesAnEmptyInputAsItIs", {0, 0, 0, 0}, {5, 6, 5, 9}, {5, 6, 5, 9}},
        RectCase{"InvertedOutputCountsAsEmpty", {9, 0, 3, 5}, {1, 2, 3, 4}, {1, 2, 3, 4}},
        RectCase{"EmptyInputChangesNothing", {0, 0, 10, 10}, {20, 20, 20, 30}, {0, 0, 10, 10}},
        RectCase{
            "TwoRectanglesGiveTheirBoundingBox", {0, 0, 10, 10}, {5, -3, 20, 8}, {0, -3, 20, 10}},
        RectCase{"NegativeCoordinatesCompareSigned",
                 {-10, -10, -5, -5},
                 {-20, 0, -15, 5},
                 {-20, -10, -5, 5}}),
    [](const ::testing::TestParamInfo<RectCase>& info) { return info.param.name; });

// The failure rows: the code comes back unchanged, nothing is handed to the
// host and whatever pre-render made or checked out is given back.
struct PreRenderFailure {
    const char* name;
    Failure failure;
    PF_Err expected;
    int param_checkouts;
    int layer_checkouts;
};

class PreRenderFails : public PreRenderTest,
                       public ::testing::WithParamInterface<PreRenderFailure> {};

TEST_P(PreRenderFails, HandsNothingOver) {
    const PreRenderFailure& c = GetParam();
    RenderBlocks blocks(host, *input);
    blocks.pre_output.result_rect = {1, 1, 3, 3};
    blocks.pre_output.max_result_rect = {2, 2, 4, 4};
    host.ResetCounts();
    host.InjectFailure(c.failure);

    EXPECT_EQ(blocks.PreRender(), c.expected);
    host.ClearFailures();
    host.EndFrame();
    EXPECT_EQ(blocks.pre_output.pre_render_data, nullptr);
    EXPECT_EQ(blocks.pre_output.result_rect.right, 3);
    EXPECT_EQ(blocks.pre_output.max_result_rect.right, 4);
    EXPECT_EQ(host.CallCount(Service::CheckoutParam), c.param_checkouts);
    EXPECT_EQ(host.CallCount(Service::CheckoutLayer), c.layer_checkouts);
    EXPECT_STREQ(host.out_data.return_msg, "");
    EXPECT_EQ(host.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0u);
    EXPECT_EQ(host.LiveHandleCount(), 2);  // global and sequence data only
    EXPECT_BOOKS_BALANCED(host);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PreRenderFails,
    ::testing::Values(PreRenderFailure{"NoHandle", Failure::Null(Service::NewHandle, 1),
                                       PF_Err_OUT_OF_MEMORY, 0, 0},
                      PreRenderFailure{"NoLock", Failure::Null(Service::LockHandle, 1),
                                       PF_Err_OUT_OF_MEMORY, 0, 0},
                      // Mode is the fifth control read: the rest are not tried.
                      PreRenderFailure{"FifthCheckoutFails",
                                       Failure::Code(Service::CheckoutParam, 5, 33), 33, 5, 0},
                      PreRenderFailure{"LayerCheckoutFails",
                                       Failure::Code(Service::CheckoutLayer, 1, 34), 34, 11, 1},
                      PreRenderFailure{"HandleSuiteRefused",
                                       Failure::RefuseSuite("PF Handle Suite"),
                                       PF_Err_BAD_CALLBACK_PARAM, 0, 0}),
    [](const ::testing::TestParamInfo<PreRenderFailure>& info) { return info.param.name; });

// A factor with no denominator is refused before anything is made.
TEST_F(PreRenderTest, AZeroDenominatorIsRefused) {
    standin::FrameOptions options;
    options.downsample_x = {1, 0};
    host.ClearCallLog();
    const standin::FrameResult frame = effect.RenderFrame(*input, options);
    EXPECT_EQ(frame.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(frame.failed_command, PF_Cmd_SMART_PRE_RENDER);
    EXPECT_FALSE(frame.smart_render_sent);
    EXPECT_TRUE(host.call_log().empty());
}

}  // namespace
}  // namespace ostrel_test
