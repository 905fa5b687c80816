// The stand-in host driving the real effect built beside the tests: set-up,
// a frame at each depth and down-sampling, set-down, with balanced books.
#include <gtest/gtest.h>

#include "tests/standin_host/fixture.h"

namespace {

using standin::EffectInstance;
using standin::FrameOptions;
using standin::FrameResult;
using standin::Host;
using standin::PluginModule;
using standin::World;

TEST(RealEffect, RunsThroughTheHostsOrderWithBalancedBooks) {
    std::string error;
    std::unique_ptr<PluginModule> module = PluginModule::Load(standin::DefaultPluginPath(), &error);
    ASSERT_TRUE(module) << error;
    Host host(module->entry_point());
    {
        EffectInstance instance(host);
        ASSERT_EQ(instance.Start(), PF_Err_NONE);
        EXPECT_EQ(instance.Controls().size(), 11u);
        EXPECT_TRUE(host.BooksBalanced()) << standin_test::Describe(host.Problems());
        for (const PF_PixelFormat format :
             {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
            for (const A_long factor : {1, 3}) {
                std::unique_ptr<World> full = standin_test::PatternWorld(16, 12, format);
                std::unique_ptr<World> input = standin::DownsampleWorld(*full, factor);
                FrameOptions options;
                options.downsample_x = options.downsample_y =
                    PF_RationalScale{1, static_cast<A_u_long>(factor)};
                const FrameResult frame = instance.RenderFrame(*input, options);
                EXPECT_EQ(frame.err, PF_Err_NONE) << frame.message;
                ASSERT_TRUE(frame.output);
                EXPECT_EQ(frame.output->width(), input->width());
                EXPECT_EQ(frame.output->height(), input->height());
                EXPECT_TRUE(host.BooksBalanced()) << standin_test::Describe(host.Problems());
            }
        }
        EXPECT_EQ(instance.Stop(), PF_Err_NONE);
    }
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_TRUE(host.BooksBalanced()) << standin_test::Describe(host.Problems());
}

}  // namespace
