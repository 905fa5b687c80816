// Frames through smart pre-render and smart render: the rectangles the host
// answers, the worlds it lends, down-sampling, cancel, progress, the books
// after every frame, and hosts running in parallel threads.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <thread>

#include "tests/standin_host/fixture.h"

namespace {

using standin::EffectInstance;
using standin::Failure;
using standin::FrameOptions;
using standin::FrameResult;
using standin::Host;
using standin::Service;
using standin::World;
using standin_test::Describe;
using standin_test::FixtureEntryPoint;
using standin_test::PatternWorld;
using namespace standin_test;  // the fixture's control indices

class Frames : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(instance_.Start(), PF_Err_NONE); }

    Host host_{FixtureEntryPoint()};
    EffectInstance instance_{host_};
};

bool AllBytesUntouched(const World& world) {
    const unsigned char* bytes = static_cast<const unsigned char*>(world.effect_world()->data);
    const size_t size = static_cast<size_t>(world.rowbytes()) * static_cast<size_t>(world.height());
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != standin::kUntouchedByte) return false;
    }
    return true;
}

// The fixture fills the frame with Tint, then a Size x Size square at the
// origin with the input's first pixel.
template <typename Pixel>
void ExpectFixturePicture(const World& input, const World& output, A_long size, Pixel tint) {
    const Pixel first = input.At<Pixel>(0, 0);
    for (A_long y = 0; y < output.height(); ++y) {
        for (A_long x = 0; x < output.width(); ++x) {
            const Pixel expected = (x < size && y < size) ? first : tint;
            ASSERT_EQ(std::memcmp(&output.At<Pixel>(x, y), &expected, sizeof(Pixel)), 0)
                << "pixel " << x << ", " << y;
        }
        // The row's padding is the host's, never painted.
        const unsigned char* padding =
            reinterpret_cast<const unsigned char*>(output.Row<Pixel>(y) + output.width());
        const size_t padding_size =
            static_cast<size_t>(output.rowbytes()) - output.width() * sizeof(Pixel);
        for (size_t i = 0; i < padding_size; ++i) {
            ASSERT_EQ(padding[i], standin::kUntouchedByte) << "padding of row " << y;
        }
    }
}

TEST_F(Frames, RendersAtEachDepth) {
    struct Depth {
        PF_PixelFormat format;
        A_short bitdepth;
    };
    for (const Depth depth : {Depth{PF_PixelFormat_ARGB32, 8}, Depth{PF_PixelFormat_ARGB64, 16},
                              Depth{PF_PixelFormat_ARGB128, 32}}) {
        SCOPED_TRACE(depth.bitdepth);
        std::unique_ptr<World> input = PatternWorld(5, 4, depth.format);
        host_.ClearCallLog();
        A_short seen_bitdepth = 0;
        FrameOptions options;
        bool balanced_between_commands = false;
        options.before_smart_render = [&](PF_SmartRenderExtra& extra) {
            seen_bitdepth = extra.input->bitdepth;
            // The settings handle is the host's to hold until smart render.
            balanced_between_commands = host_.BooksBalanced();
        };
        const FrameResult frame = instance_.RenderFrame(*input, options);
        ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
        EXPECT_TRUE(frame.message.empty());
        EXPECT_EQ(seen_bitdepth, depth.bitdepth);
        EXPECT_TRUE(balanced_between_commands);
        ASSERT_TRUE(frame.output);
        EXPECT_EQ(frame.output->pixel_format(), depth.format);
        EXPECT_EQ(frame.output->width(), 5);
        EXPECT_EQ(frame.output->height(), 4);
        const PF_Pixel tint{255, 10, 20, 30};
        switch (depth.format) {
            case PF_PixelFormat_ARGB32:
                ExpectFixturePicture(*input, *frame.output, 2, tint);
                break;
            case PF_PixelFormat_ARGB64:
                ExpectFixturePicture(*input, *frame.output, 2,
                                     PF_Pixel16{255 * 128, 10 * 128, 20 * 128, 30 * 128});
                break;
            default:
                ExpectFixturePicture(*input, *frame.output, 2,
                                     PF_PixelFloat{1.0f, 10 / 255.0f, 20 / 255.0f, 30 / 255.0f});
        }

        // The world suite knew the input's format; one of each checkout.
        const std::vector<standin::CallRecord> formats = host_.CallsOf(Service::GetPixelFormat);
        ASSERT_EQ(formats.size(), 1u);
        EXPECT_EQ(formats[0].pixel_format, depth.format);
        EXPECT_EQ(formats[0].world, input->effect_world());
        EXPECT_EQ(host_.CallsOf(Service::CheckoutLayer).size(), 1u);
        EXPECT_EQ(host_.CallsOf(Service::CheckoutLayerPixels).size(), 1u);
        const std::vector<standin::CallRecord> outputs = host_.CallsOf(Service::CheckoutOutput);
        ASSERT_EQ(outputs.size(), 1u);
        EXPECT_EQ(outputs[0].world, frame.output->effect_world());
        EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
    }
}

TEST_F(Frames, AsksForTheWholeFrameAndAnswersTheLayerWithinTheRequest) {
    std::unique_ptr<World> input = PatternWorld(6, 4, PF_PixelFormat_ARGB32);
    FrameResult frame = instance_.RenderFrame(*input);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    std::vector<standin::CallRecord> layers = host_.CallsOf(Service::CheckoutLayer);
    ASSERT_EQ(layers.size(), 1u);
    const PF_LRect whole{0, 0, 6, 4};
    EXPECT_EQ(std::memcmp(&layers[0].request.rect, &whole, sizeof(whole)), 0);
    EXPECT_EQ(std::memcmp(&frame.result_rect, &whole, sizeof(whole)), 0);

    // A request reaching past the layer is answered with the part inside it;
    // the output world has the result's size and position.
    FrameOptions options;
    options.before_pre_render = [](PF_PreRenderExtra& extra) {
        extra.input->output_request.rect = PF_LRect{2, 1, 10, 3};
    };
    host_.ClearCallLog();
    frame = instance_.RenderFrame(*input, options);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    const PF_LRect inside{2, 1, 6, 3};
    EXPECT_EQ(std::memcmp(&frame.result_rect, &inside, sizeof(inside)), 0);
    EXPECT_EQ(std::memcmp(&frame.max_result_rect, &whole, sizeof(whole)), 0);
    ASSERT_TRUE(frame.output);
    EXPECT_EQ(frame.output->width(), 4);
    EXPECT_EQ(frame.output->height(), 2);
    EXPECT_EQ(frame.output->effect_world()->origin_x, 2);
    EXPECT_EQ(frame.output->effect_world()->origin_y, 1);

    // Entirely outside: an empty answer.
    options.before_pre_render = [](PF_PreRenderExtra& extra) {
        extra.input->output_request.rect = PF_LRect{7, 0, 9, 4};
    };
    frame = instance_.RenderFrame(*input, options);
    EXPECT_EQ(frame.result_rect.right - frame.result_rect.left, 0);
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST_F(Frames, ChecksOutTheControlsAtTheFramesTimeAndFactors) {
    ASSERT_TRUE(host_.SetValueAt(kSize, 12, 24, 3));
    std::unique_ptr<World> input = PatternWorld(5, 5, PF_PixelFormat_ARGB32);
    FrameOptions options;
    options.time = 12;
    options.time_step = 2;
    options.time_scale = 24;
    options.downsample_x = PF_RationalScale{1, 3};
    options.downsample_y = PF_RationalScale{1, 2};
    PF_RationalScale seen_x{}, seen_y{};
    options.before_pre_render = [&](PF_PreRenderExtra&) {
        seen_x = host_.in_data.downsample_x;
        seen_y = host_.in_data.downsample_y;
    };
    host_.ClearCallLog();
    const FrameResult frame = instance_.RenderFrame(*input, options);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_EQ(seen_x.num, 1);
    EXPECT_EQ(seen_x.den, 3u);
    EXPECT_EQ(seen_y.den, 2u);
    for (const standin::CallRecord& call : host_.CallsOf(Service::CheckoutParam)) {
        EXPECT_EQ(call.time, 12);
        EXPECT_EQ(call.time_step, 2);
        EXPECT_EQ(call.time_scale, 24u);
    }
    ExpectFixturePicture(*input, *frame.output, 3, PF_Pixel{255, 10, 20, 30});
}

TEST(DownsampleWorld, KeepsEveryNthPixelOfEveryNthRow) {
    std::unique_ptr<World> full = PatternWorld(7, 5, PF_PixelFormat_ARGB64);
    struct Case {
        A_long factor, width, height;
    };
    for (const Case c :
         {Case{1, 7, 5}, Case{2, 4, 3}, Case{3, 3, 2}, Case{7, 1, 1}, Case{9, 1, 1}}) {
        std::unique_ptr<World> small = standin::DownsampleWorld(*full, c.factor);
        ASSERT_TRUE(small);
        EXPECT_EQ(small->width(), c.width) << c.factor;
        EXPECT_EQ(small->height(), c.height) << c.factor;
        EXPECT_EQ(small->pixel_format(), PF_PixelFormat_ARGB64);
        for (A_long y = 0; y < c.height; ++y) {
            for (A_long x = 0; x < c.width; ++x) {
                EXPECT_EQ(small->At<PF_Pixel16>(x, y).red,
                          full->At<PF_Pixel16>(x * c.factor, y * c.factor).red)
                    << c.factor << ": " << x << ", " << y;
            }
        }
    }
    EXPECT_FALSE(standin::DownsampleWorld(*full, 0));
    EXPECT_FALSE(standin::DownsampleWorld(*full, -2));
}

TEST_F(Frames, AFailedPreRenderGetsNoSmartRender) {
    std::unique_ptr<World> input = PatternWorld(4, 4, PF_PixelFormat_ARGB32);
    host_.InjectFailure(Failure::Code(Service::CheckoutLayer, 1, 33));
    host_.ClearCallLog();
    const FrameResult frame = instance_.RenderFrame(*input);
    EXPECT_EQ(frame.err, 33);
    EXPECT_EQ(frame.failed_command, PF_Cmd_SMART_PRE_RENDER);
    EXPECT_FALSE(frame.smart_render_sent);
    EXPECT_NE(frame.message.find("smart pre-render"), std::string::npos) << frame.message;
    EXPECT_NE(frame.message.find("33"), std::string::npos) << frame.message;
    EXPECT_TRUE(host_.CallsOf(Service::CheckoutOutput).empty());
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST_F(Frames, ARefusedCheckoutLeavesTheOutputUntouched) {
    std::unique_ptr<World> input = PatternWorld(4, 3, PF_PixelFormat_ARGB128);
    host_.InjectFailure(Failure::Null(Service::CheckoutOutput, 1, PF_Err_OUT_OF_MEMORY));
    const FrameResult frame = instance_.RenderFrame(*input);
    EXPECT_EQ(frame.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(frame.failed_command, PF_Cmd_SMART_RENDER);
    ASSERT_TRUE(frame.output);
    EXPECT_TRUE(AllBytesUntouched(*frame.output));
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());

    // The next frame goes through: nothing of the failed one is reused.
    const FrameResult next = instance_.RenderFrame(*input);
    EXPECT_EQ(next.err, PF_Err_NONE) << next.message;
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST_F(Frames, AnOutputTooLargeToAllocateIsRefusedCleanly) {
    std::unique_ptr<World> input = PatternWorld(4, 3, PF_PixelFormat_ARGB32);
    host_.SetCheckoutLayerAnswer([](const PF_RenderRequest&, PF_CheckoutResult* result) {
        result->result_rect = PF_LRect{0, 0, INT_MAX, INT_MAX};
    });
    const FrameResult frame = instance_.RenderFrame(*input);
    EXPECT_NE(frame.err, PF_Err_NONE);
    EXPECT_FALSE(frame.output);
    EXPECT_NE(frame.message.find("could not be allocated"), std::string::npos) << frame.message;
    // The effect still got its one smart render, to give its data back.
    EXPECT_TRUE(frame.smart_render_sent);
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST_F(Frames, HandsACallersOutputWorld) {
    std::unique_ptr<World> input = PatternWorld(4, 3, PF_PixelFormat_ARGB32);
    std::unique_ptr<World> output = World::Allocate(9, 2, PF_PixelFormat_ARGB32);
    FrameOptions options;
    options.output_world = output.get();
    host_.ClearCallLog();
    const FrameResult frame = instance_.RenderFrame(*input, options);
    EXPECT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_FALSE(frame.output);
    ASSERT_EQ(host_.CallsOf(Service::CheckoutOutput).size(), 1u);
    EXPECT_EQ(host_.CallsOf(Service::CheckoutOutput)[0].world, output->effect_world());
    EXPECT_EQ(output->At<PF_Pixel>(8, 1).red, 10);  // the fixture painted it
}

TEST_F(Frames, InputNotCheckedInIsAProblemAtTheEndOfTheFrame) {
    std::unique_ptr<World> input = PatternWorld(4, 3, PF_PixelFormat_ARGB32);
    host_.InjectFailure(Failure::Code(Service::CheckinLayerPixels, 1, 21));
    const FrameResult frame = instance_.RenderFrame(*input);
    EXPECT_EQ(frame.err, 21);
    const std::vector<std::string> problems = host_.Problems();
    ASSERT_EQ(problems.size(), 1u) << Describe(problems);
    EXPECT_NE(problems[0].find("not checked in by the end of the frame"), std::string::npos);
}

TEST_F(Frames, CancelReachesTheEffectThroughProgress) {
    std::unique_ptr<World> input = PatternWorld(4, 6, PF_PixelFormat_ARGB32);
    std::vector<std::pair<A_long, A_long>> progress;
    host_.SetProgressObserver([&](A_long done, A_long total) {
        progress.emplace_back(done, total);
        if (done == 2) host_.RequestCancel();
    });
    FrameResult frame = instance_.RenderFrame(*input);
    EXPECT_EQ(frame.err, PF_Interrupt_CANCEL);
    EXPECT_EQ(progress, (std::vector<std::pair<A_long, A_long>>{{0, 6}, {1, 6}, {2, 6}}));
    ASSERT_TRUE(frame.output);
    EXPECT_TRUE(AllBytesUntouched(*frame.output));
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());

    host_.ClearCancel();
    host_.SetProgressObserver(nullptr);
    frame = instance_.RenderFrame(*input);
    EXPECT_EQ(frame.err, PF_Err_NONE) << frame.message;
}

TEST(Cancel, OneSharedFlagCancelsEveryHost) {
    std::atomic<bool> interrupted{false};
    Host first(FixtureEntryPoint()), second(FixtureEntryPoint());
    EffectInstance first_instance(first), second_instance(second);
    ASSERT_EQ(first_instance.Start(), PF_Err_NONE);
    ASSERT_EQ(second_instance.Start(), PF_Err_NONE);
    first.SetCancelFlag(&interrupted);
    second.SetCancelFlag(&interrupted);
    std::unique_ptr<World> input = PatternWorld(3, 3, PF_PixelFormat_ARGB32);
    EXPECT_EQ(first_instance.RenderFrame(*input).err, PF_Err_NONE);
    interrupted = true;
    EXPECT_TRUE(first.CancelRequested());
    EXPECT_EQ(first_instance.RenderFrame(*input).err, PF_Interrupt_CANCEL);
    EXPECT_EQ(second_instance.RenderFrame(*input).err, PF_Interrupt_CANCEL);
}

// A scripted effect whose pre-render result tells the host how to let go.
PF_UtilCallbacks* g_utils_for_delete = nullptr;
void DisposeSettings(void* data) {
    g_utils_for_delete->host_dispose_handle(static_cast<PF_Handle>(data));
}

TEST(PreRenderData, TheEffectsDeleteFunctionGivesItBack) {
    Host host(&standin_test::ScriptedEntryPoint);
    g_utils_for_delete = host.in_data.utils;
    int smart_renders = 0;
    standin_test::SetEffectBody(
        [&](PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, void* extra) {
            if (cmd == PF_Cmd_PARAMS_SETUP) out_data->num_params = 1;
            if (cmd == PF_Cmd_SMART_PRE_RENDER) {
                PF_PreRenderExtra* pre = static_cast<PF_PreRenderExtra*>(extra);
                pre->output->pre_render_data = in_data->utils->host_new_handle(52);
                pre->output->delete_pre_render_data_func = DisposeSettings;
                pre->output->result_rect = PF_LRect{0, 0, 2, 2};
            } else if (cmd == PF_Cmd_SMART_RENDER) {
                ++smart_renders;
            }
            return PF_Err_NONE;
        });
    EffectInstance instance(host);
    ASSERT_EQ(instance.Start(), PF_Err_NONE);
    std::unique_ptr<World> input = PatternWorld(2, 2, PF_PixelFormat_ARGB32);
    EXPECT_EQ(instance.RenderFrame(*input).err, PF_Err_NONE);
    EXPECT_EQ(instance.RenderFrame(*input).err, PF_Err_NONE);
    EXPECT_EQ(smart_renders, 2);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
    standin_test::SetEffectBody(nullptr);
}

TEST(PreRenderData, AFailedPreRenderMustNotLeaveIt) {
    Host host(&standin_test::ScriptedEntryPoint);
    standin_test::SetEffectBody(
        [](PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, void* extra) -> PF_Err {
            if (cmd == PF_Cmd_PARAMS_SETUP) out_data->num_params = 1;
            if (cmd != PF_Cmd_SMART_PRE_RENDER) return PF_Err_NONE;
            static_cast<PF_PreRenderExtra*>(extra)->output->pre_render_data =
                in_data->utils->host_new_handle(52);
            return PF_Err_OUT_OF_MEMORY;
        });
    EffectInstance instance(host);
    ASSERT_EQ(instance.Start(), PF_Err_NONE);
    std::unique_ptr<World> input = PatternWorld(2, 2, PF_PixelFormat_ARGB32);
    EXPECT_EQ(instance.RenderFrame(*input).err, PF_Err_OUT_OF_MEMORY);
    const std::vector<std::string> problems = host.Problems();
    EXPECT_EQ(problems.size(), 2u) << Describe(problems);  // left set, and leaked
    standin_test::SetEffectBody(nullptr);
}

TEST(FramesWithoutSetUp, AreRefused) {
    Host host(FixtureEntryPoint());
    EffectInstance instance(host);
    std::unique_ptr<World> input = PatternWorld(2, 2, PF_PixelFormat_ARGB32);
    const FrameResult frame = instance.RenderFrame(*input);
    EXPECT_NE(frame.err, PF_Err_NONE);
    EXPECT_FALSE(frame.message.empty());
    EXPECT_EQ(host.CallCount(Service::CheckoutLayer), 0);
}

TEST(ParallelHosts, EachThreadsServicesReachItsOwnHost) {
    constexpr int kThreads = 4;
    constexpr int kFrames = 12;
    std::vector<std::unique_ptr<Host>> hosts;
    for (int i = 0; i < kThreads; ++i) hosts.emplace_back(new Host(FixtureEntryPoint()));
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            Host& host = *hosts[i];
            host.SetCallLogEnabled(false);
            EffectInstance instance(host);
            if (instance.Start() != PF_Err_NONE) ++failures[i];
            host.SetValue(kSize, 1 + i);  // each host paints its own square
            std::unique_ptr<World> input = PatternWorld(8, 8, PF_PixelFormat_ARGB32);
            for (int frame = 0; frame < kFrames; ++frame) {
                const FrameResult result = instance.RenderFrame(*input);
                if (result.err || result.output->At<PF_Pixel>(i, i).red != 2 ||
                    result.output->At<PF_Pixel>(i + 1, i + 1).red != 10) {
                    ++failures[i];
                }
            }
            if (instance.Stop() != PF_Err_NONE) ++failures[i];
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(failures[i], 0) << "host " << i;
        EXPECT_EQ(hosts[i]->CallCount(Service::CheckoutOutput), kFrames);
        EXPECT_TRUE(hosts[i]->BooksBalanced()) << Describe(hosts[i]->Problems());
        EXPECT_TRUE(hosts[i]->call_log().empty());
    }
}

}  // namespace
