// The entry point's routing: what it answers, what it leaves alone, and how a
// refused suite reaches the host.
#include <cstring>

#include "host/interface/interface_version.h"
#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Service;

// Selectors the effect does not answer: 0 at once, neither block touched and
// no host service called. 17 is answered only by the 12.10 build.
class UnansweredSelector : public HostTest, public ::testing::WithParamInterface<A_u_long> {};

TEST_P(UnansweredSelector, ReturnsZeroAndTouchesNothing) {
    std::strcpy(host.out_data.return_msg, "left by the host");
    host.out_data.out_flags = 0x5A5A5A5A;
    host.out_data.out_flags2 = 0x00A5A5A5;
    host.out_data.my_version = 77;
    host.out_data.num_params = 3;
    const PF_InData in_before = host.in_data;
    const PF_OutData out_before = host.out_data;
    char extra[64];
    std::memset(extra, 0x3C, sizeof(extra));

    EXPECT_EQ(host.Send(static_cast<PF_Cmd>(GetParam()), host.CurrentParams(), nullptr, extra),
              PF_Err_NONE);

    EXPECT_EQ(std::memcmp(&host.in_data, &in_before, sizeof(in_before)), 0);
    EXPECT_EQ(std::memcmp(&host.out_data, &out_before, sizeof(out_before)), 0);
    EXPECT_TRUE(host.call_log().empty());
    for (unsigned char byte : extra) ASSERT_EQ(byte, 0x3C);
    EXPECT_BOOKS_BALANCED(host);
}

INSTANTIATE_TEST_SUITE_P(Selectors, UnansweredSelector,
                         ::testing::Values(2u, PF_Cmd_SEQUENCE_FLATTEN, 9u, 10u, PF_Cmd_RENDER, 12u,
                                           15u, 16u,
#if !OSTREL_INTERFACE_12_10
                                           PF_Cmd_COMPLETELY_GENERAL,
#endif
                                           18u, 19u, 20u, 21u, 22u, 25u, 26u, 0x7FFFFFFFu,
                                           0x80000000u, 0xFFFFFFFFu));

// Every command that builds a suite handler refuses to run without a basic
// suite, with the bare code and nothing written; the others do not need one.
struct BasicSuiteCase {
    const char* name;
    PF_Cmd cmd;
    PF_Err expected;
};

class NullBasicSuite : public HostTest, public ::testing::WithParamInterface<BasicSuiteCase> {};

TEST_P(NullBasicSuite, OnlySuiteUsersRefuse) {
    const BasicSuiteCase& c = GetParam();
    standin::EffectInstance effect(host);
    // Parameter set-up runs once per instance: it goes to a fresh host.
    if (c.cmd != PF_Cmd_PARAMS_SETUP) {
        ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
    }

    std::unique_ptr<standin::World> input =
        SolidWorld(4, 3, PF_PixelFormat_ARGB32, {1.0f, 0.5f, 0.25f, 0.0f});
    std::unique_ptr<standin::World> output = standin::World::Allocate(4, 3, PF_PixelFormat_ARGB32);
    host.BindFrameWorlds(input.get(), output.get());
    RenderBlocks blocks(host, *input);
    if (c.cmd == PF_Cmd_SMART_RENDER) {
        ASSERT_EQ(blocks.PreRender(), PF_Err_NONE);
        blocks.smart_input.pre_render_data = blocks.pre_output.pre_render_data;
    }
    void* extra = nullptr;
    if (c.cmd == PF_Cmd_SMART_PRE_RENDER) extra = &blocks.pre_extra;
    if (c.cmd == PF_Cmd_SMART_RENDER) extra = &blocks.smart_extra;
    const bool keep_sequence_data = std::strcmp(c.name, "SequenceSetdownWithoutData") != 0;
    const PF_Handle sequence_data = host.in_data.sequence_data;
    if (!keep_sequence_data) host.in_data.sequence_data = nullptr;

    std::strcpy(host.out_data.return_msg, "left by the host");
    host.out_data.out_flags = PF_OutFlag_USE_OUTPUT_EXTENT;
    SPBasicSuite* basic = host.in_data.pica_basicP;
    host.in_data.pica_basicP = nullptr;
    host.ClearCallLog();

    const PF_Err err = host.Send(c.cmd, host.CurrentParams(), nullptr, extra);

    host.in_data.pica_basicP = basic;
    EXPECT_EQ(err, c.expected);
    if (err == PF_Err_BAD_CALLBACK_PARAM) {
        // The thrown code carries no message and sets no flag.
        EXPECT_STREQ(host.out_data.return_msg, "left by the host");
        EXPECT_EQ(host.out_data.out_flags, PF_OutFlag_USE_OUTPUT_EXTENT);
        EXPECT_TRUE(Calls(host, Service::UpdateParamUI).empty());
        EXPECT_TRUE(Calls(host, Service::CheckoutParam).empty());
        EXPECT_TRUE(Calls(host, Service::CheckoutLayerPixels).empty());
    }
    if (c.cmd == PF_Cmd_SMART_RENDER) host.EndFrame();
    if (!keep_sequence_data) host.in_data.sequence_data = sequence_data;
    EXPECT_BOOKS_BALANCED(host);
    EXPECT_EQ(effect.Stop(), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, NullBasicSuite,
    ::testing::Values(
        BasicSuiteCase{"About", PF_Cmd_ABOUT, PF_Err_NONE},
        BasicSuiteCase{"ParamsSetup", PF_Cmd_PARAMS_SETUP, PF_Err_NONE},
        BasicSuiteCase{"SequenceSetdownWithoutData", PF_Cmd_SEQUENCE_SETDOWN, PF_Err_NONE},
        BasicSuiteCase{"GlobalSetup", PF_Cmd_GLOBAL_SETUP, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"GlobalSetdown", PF_Cmd_GLOBAL_SETDOWN, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"SequenceSetup", PF_Cmd_SEQUENCE_SETUP, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"SequenceResetup", PF_Cmd_SEQUENCE_RESETUP, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"SequenceSetdownWithData", PF_Cmd_SEQUENCE_SETDOWN,
                       PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"UserChangedParam", PF_Cmd_USER_CHANGED_PARAM, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"UpdateParamsUi", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"SmartPreRender", PF_Cmd_SMART_PRE_RENDER, PF_Err_BAD_CALLBACK_PARAM},
        BasicSuiteCase{"SmartRender", PF_Cmd_SMART_RENDER, PF_Err_BAD_CALLBACK_PARAM}),
    [](const ::testing::TestParamInfo<BasicSuiteCase>& info) { return info.param.name; });

// What one command leaves behind, for comparing two selectors.
struct Outcome {
    PF_Err err;
    std::vector<Service> services;
    std::vector<std::string> ui_updates;  // index, flags, kind and name of each copy
    PF_OutFlags out_flags;
    std::string return_msg;
    A_HandleSize sequence_size;
    // The record's bytes; a snapshot of the host's current state (which
    // differs from host to host) is told by the flag instead.
    std::vector<unsigned char> sequence_bytes;
    bool sequence_holds_current_state;
};

Outcome RunCommand(PF_Cmd cmd, bool with_old_sequence_data, bool color_edges) {
    standin::Host host(EntryPoint());
    standin::EffectInstance effect(host);
    EXPECT_EQ(effect.Start(), PF_Err_NONE);
    if (color_edges) effect.SetValue(8, 2);
    if (!with_old_sequence_data) {
        EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    }
    host.ClearCallLog();
    host.out_data.out_flags = 0;
    host.out_data.return_msg[0] = '\0';

    Outcome outcome;
    outcome.err = host.Send(cmd, host.CurrentParams());
    outcome.services = ServiceSequence(host);
    for (const standin::CallRecord& call : Calls(host, Service::UpdateParamUI)) {
        outcome.ui_updates.push_back(std::to_string(call.param_index) + " " +
                                     std::to_string(call.ui_flags) + " " +
                                     std::to_string(call.param_type) + " " + call.param_name);
    }
    outcome.out_flags = host.out_data.out_flags;
    outcome.return_msg = host.out_data.return_msg;
    const standin::HandleState sequence = host.FindHandle(host.out_data.sequence_data);
    outcome.sequence_size = sequence.size;
    const PF_State state = host.CurrentState();
    outcome.sequence_holds_current_state = sequence.alive && sequence.size == sizeof(state) &&
                                           std::memcmp(sequence.data, &state, sizeof(state)) == 0;
    if (sequence.alive && !outcome.sequence_holds_current_state) {
        const unsigned char* bytes = static_cast<const unsigned char*>(sequence.data);
        outcome.sequence_bytes.assign(bytes, bytes + sequence.size);
    }
    EXPECT_BOOKS_BALANCED(host);
    EXPECT_EQ(effect.Stop(), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    return outcome;
}

void ExpectSameOutcome(const Outcome& a, const Outcome& b) {
    EXPECT_EQ(a.err, b.err);
    EXPECT_EQ(a.services, b.services);
    EXPECT_EQ(a.ui_updates, b.ui_updates);
    EXPECT_EQ(a.out_flags, b.out_flags);
    EXPECT_EQ(a.return_msg, b.return_msg);
    EXPECT_EQ(a.sequence_size, b.sequence_size);
    EXPECT_EQ(a.sequence_bytes, b.sequence_bytes);
    EXPECT_EQ(a.sequence_holds_current_state, b.sequence_holds_current_state);
}

TEST(Dispatch, SequenceSetupAndResetupAreOneHandler) {
    for (bool with_old : {false, true}) {
        SCOPED_TRACE(with_old ? "with sequence data" : "without sequence data");
        const Outcome setup = RunCommand(PF_Cmd_SEQUENCE_SETUP, with_old, false);
        const Outcome resetup = RunCommand(PF_Cmd_SEQUENCE_RESETUP, with_old, false);
        ExpectSameOutcome(setup, resetup);
        EXPECT_EQ(setup.err, PF_Err_NONE);
        EXPECT_EQ(setup.sequence_bytes, std::vector<unsigned char>(16, 0));
    }
}

TEST(Dispatch, UserChangedParamAndUpdateParamsUiAreOneHandler) {
    for (bool color_edges : {false, true}) {
        SCOPED_TRACE(color_edges ? "Edge Mode Color" : "Edge Mode Lightness");
        const Outcome changed = RunCommand(PF_Cmd_USER_CHANGED_PARAM, true, color_edges);
        const Outcome update = RunCommand(PF_Cmd_UPDATE_PARAMS_UI, true, color_edges);
        ExpectSameOutcome(changed, update);
        EXPECT_EQ(changed.err, PF_Err_NONE);
        EXPECT_EQ(changed.ui_updates.size(), 2u);
        EXPECT_TRUE(changed.sequence_holds_current_state);
    }
}

}  // namespace
}  // namespace ostrel_test
