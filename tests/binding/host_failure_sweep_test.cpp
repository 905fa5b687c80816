// Every host call of an instance's life failing once, one at a time: set-up,
// a UI update after a change, a frame, a re-setup and set-down. Whatever
// fails, nothing the effect took from the host is left behind.
#include <map>

#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

// Returns the first non-zero code of the instance's commands.
PF_Err RunInstance(standin::Host& host) {
    std::unique_ptr<standin::World> input =
        SolidWorld(4, 3, PF_PixelFormat_ARGB32, {1.0f, 0.25f, 0.5f, 0.75f});
    standin::EffectInstance effect(host);
    PF_Err first = effect.Start();
    auto note = [&first](PF_Err err) {
        if (!first) first = err;
    };
    // The host goes on only with an instance that set up.
    if (!first) {
        effect.SetValue(8, 2);
        note(effect.UpdateParamsUi());
        standin::FrameOptions options;
        options.downsample_x = {1, 2};
        note(effect.RenderFrame(*input, options).err);
        note(effect.Resetup());
        note(effect.About());
    }
    note(effect.Stop());
    return first;
}

// A refused check-in is the host's to settle: the effect cannot retry it, and
// the host keeps the item checked out.
bool LeavesTheHostHolding(Service service) {
    return service == Service::CheckinParam || service == Service::CheckinLayerPixels;
}

TEST(HostFailureSweep, AnyCallFailingOnceLeavesNothingBehind) {
    // How often each service is called when nothing fails.
    std::map<Service, int> counts;
    {
        standin::Host host(EntryPoint());
        ASSERT_EQ(RunInstance(host), PF_Err_NONE) << DescribeProblems(host);
        EXPECT_BOOKS_BALANCED(host);
        for (int s = 0; s < standin::kServiceCount; ++s) {
            const Service service = static_cast<Service>(s);
            if (host.CallCount(service) > 0) counts[service] = host.CallCount(service);
        }
    }
    ASSERT_GT(counts.size(), 15u);

    int runs = 0;
    for (const auto& [service, count] : counts) {
        if (LeavesTheHostHolding(service)) continue;
        for (int nth = 1; nth <= count; ++nth) {
            for (bool null_result : {false, true}) {
                SCOPED_TRACE(std::string(standin::ServiceName(service)) + " call " +
                             std::to_string(nth) + (null_result ? ", null result" : ", code 71"));
                standin::Host host(EntryPoint());
                Failure failure =
                    null_result ? Failure::Null(service, nth, 71) : Failure::Code(service, nth, 71);
                host.InjectFailure(failure);
                RunInstance(host);
                EXPECT_BOOKS_BALANCED(host);
                // Only a refused set-down leaves a handle, which the host still holds.
                EXPECT_EQ(host.LiveHandleCount(), (host.in_data.global_data ? 1 : 0) +
                                                      (host.in_data.sequence_data ? 1 : 0));
                ++runs;
            }
        }
    }
    EXPECT_GT(runs, 100);
}

}  // namespace
}  // namespace ostrel_test
