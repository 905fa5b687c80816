// Suites through the loaded effect: each is acquired once per command however
// often it is used, a refusal ends the command with 516 after everything
// already held is released, and the release order is fixed.
#include <cstring>

#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

const char kHandle[] = "PF Handle Suite";
const char kUtility[] = "AEGP Utility Suite";
const char kParamUtils[] = "PF Param Utils Suite";
const char kWorld[] = "PF World Suite";
const char kColor[] = "PF ColorFloat Suite";
const char kFill[] = "PF Fill Matte Suite";

// The command a row sends, after the host has been brought to where the
// command makes sense.
enum class Scenario {
    GlobalSetup,
    GlobalSetdown,
    SequenceSetupOverOldData,
    SequenceSetdown,
    UiUpdateAfterChange,
    PreRender,
    SmartRender,
};

struct SuiteCase {
    const char* name;
    Scenario scenario;
    bool inject;
    Failure failure;
    PF_Err expected;
    std::vector<std::string> traffic;
    const char* message;  // left for the user, or null for none
};

// AcquireSuite of `suite` answers `code` but hands out the table all the same.
Failure ErrorWithTable(const char* suite, PF_Err code = PF_Err_BAD_CALLBACK_PARAM) {
    Failure failure = Failure::Code(Service::AcquireSuite, 1, code);
    failure.suite_name = suite;
    return failure;
}

// The nth AcquireSuite of `suite` is refused.
Failure Refuse(const char* suite, int nth = 1) { return Failure::RefuseSuite(suite, nth); }

class SuiteAccess : public HostTest, public ::testing::WithParamInterface<SuiteCase> {};

TEST_P(SuiteAccess, AcquiresOnceAndReleasesInOrderOnEveryWayOut) {
    const SuiteCase& c = GetParam();
    standin::EffectInstance effect(host);
    std::unique_ptr<standin::World> input =
        SolidWorld(5, 4, PF_PixelFormat_ARGB32, {1.0f, 0.2f, 0.4f, 0.6f});
    std::unique_ptr<standin::World> output = standin::World::Allocate(5, 4, PF_PixelFormat_ARGB32);
    RenderBlocks blocks(host, *input);

    if (c.scenario != Scenario::GlobalSetup) {
        ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
    }
    if (c.scenario == Scenario::UiUpdateAfterChange) {
        ASSERT_TRUE(effect.SetValue(1, 20));
    }
    host.BindFrameWorlds(input.get(), output.get());
    if (c.scenario == Scenario::SmartRender) {
        ASSERT_EQ(blocks.PreRender(), PF_Err_NONE);
    }
    const PF_Handle old_sequence_data = host.in_data.sequence_data;
    const PF_Handle global_data = host.in_data.global_data;
    host.out_data.out_flags = 0;
    host.out_data.return_msg[0] = '\0';
    host.ClearCallLog();
    if (c.inject) host.InjectFailure(c.failure);

    PF_Err err = PF_Err_NONE;
    switch (c.scenario) {
        case Scenario::GlobalSetup:
            err = host.Send(PF_Cmd_GLOBAL_SETUP);
            break;
        case Scenario::GlobalSetdown:
            err = host.Send(PF_Cmd_GLOBAL_SETDOWN);
            break;
        case Scenario::SequenceSetupOverOldData:
            err = host.Send(PF_Cmd_SEQUENCE_SETUP);
            break;
        case Scenario::SequenceSetdown:
            err = host.Send(PF_Cmd_SEQUENCE_SETDOWN);
            break;
        case Scenario::UiUpdateAfterChange:
            err = host.Send(PF_Cmd_UPDATE_PARAMS_UI, host.CurrentParams());
            break;
        case Scenario::PreRender:
            err = blocks.PreRender();
            break;
        case Scenario::SmartRender:
            err = blocks.SmartRender();
            break;
    }
    host.ClearFailures();

    EXPECT_EQ(err, c.expected);
    EXPECT_EQ(SuiteTraffic(host), c.traffic);
    if (c.message) {
        EXPECT_STREQ(host.out_data.return_msg, c.message);
        EXPECT_TRUE(host.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    } else {
        EXPECT_STREQ(host.out_data.return_msg, "");
        EXPECT_FALSE(host.out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    }

    if (err == PF_Err_BAD_CALLBACK_PARAM) {
        // What a refusal leaves in place.
        switch (c.scenario) {
            case Scenario::GlobalSetup:
                EXPECT_EQ(host.out_data.my_version, 0x80601u);
                EXPECT_EQ(host.out_data.global_data, nullptr);
                break;
            case Scenario::GlobalSetdown:
                EXPECT_TRUE(host.FindHandle(global_data).alive);
                break;
            case Scenario::SequenceSetdown:
                EXPECT_TRUE(host.FindHandle(old_sequence_data).alive);
                break;
            case Scenario::UiUpdateAfterChange:
                EXPECT_TRUE(host.FindHandle(old_sequence_data).alive);
                EXPECT_EQ(host.in_data.sequence_data, old_sequence_data);
                EXPECT_TRUE(Calls(host, Service::UpdateParamUI).empty());
                break;
            case Scenario::PreRender:
                EXPECT_EQ(blocks.pre_output.pre_render_data, nullptr);
                EXPECT_TRUE(Calls(host, Service::CheckoutParam).empty());
                break;
            case Scenario::SmartRender:
                EXPECT_TRUE(Calls(host, Service::Fill).empty());
                EXPECT_TRUE(Calls(host, Service::UtilsFill).empty());
                break;
            default:
                break;
        }
    }
    // A pre-render that succeeded hands its record to the render of the frame.
    if (c.scenario == Scenario::PreRender && blocks.pre_output.pre_render_data) {
        EXPECT_EQ(blocks.SmartRender(), PF_Err_NONE);
    }
    EXPECT_BOOKS_BALANCED(host);
    EXPECT_EQ(effect.Stop(), PF_Err_NONE);
    if (host.in_data.global_data) {
        EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    }
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

std::string Plus(const char* suite, int version, bool refused = false) {
    return "+" + std::string(suite) + " " + std::to_string(version) + (refused ? " refused" : "");
}
std::string Minus(const char* suite, int version) {
    return "-" + std::string(suite) + " " + std::to_string(version);
}

const char kLoadMessage[] = "Couldn't load suite.";

INSTANTIATE_TEST_SUITE_P(
    Rows, SuiteAccess,
    ::testing::Values(
        // Global set-up uses the Handle suite for new, lock and unlock, and
        // the Utility suite once: each is acquired once, Utility released first.
        SuiteCase{"GlobalSetup",
                  Scenario::GlobalSetup,
                  false,
                  {},
                  PF_Err_NONE,
                  {Plus(kHandle, 2), Plus(kUtility, 7), Minus(kUtility, 7), Minus(kHandle, 2)},
                  nullptr},
        SuiteCase{"GlobalSetupHandleRefused",
                  Scenario::GlobalSetup,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        // The handle suite stays held while the Utility suite is refused; it
        // is released as the command unwinds, and the handle made is given back.
        SuiteCase{"GlobalSetupUtilityRefused",
                  Scenario::GlobalSetup,
                  true,
                  Refuse(kUtility),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Plus(kUtility, 7, true), Minus(kHandle, 2)},
                  nullptr},
        // A table handed out with an error is not the effect's to use or release.
        SuiteCase{"GlobalSetupHandleWithError",
                  Scenario::GlobalSetup,
                  true,
                  ErrorWithTable(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        SuiteCase{"GlobalSetdown",
                  Scenario::GlobalSetdown,
                  false,
                  {},
                  PF_Err_NONE,
                  {Plus(kHandle, 2), Minus(kHandle, 2)},
                  nullptr},
        SuiteCase{"GlobalSetdownHandleRefused",
                  Scenario::GlobalSetdown,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        // Set-up runs set-down inside it: two handlers, each with its own
        // acquisition and release.
        SuiteCase{"SequenceSetupOverOldData",
                  Scenario::SequenceSetupOverOldData,
                  false,
                  {},
                  PF_Err_NONE,
                  {Plus(kHandle, 2), Minus(kHandle, 2), Plus(kHandle, 2), Minus(kHandle, 2)},
                  nullptr},
        SuiteCase{"SequenceSetupInnerRefused",
                  Scenario::SequenceSetupOverOldData,
                  true,
                  Refuse(kHandle, 1),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        SuiteCase{"SequenceSetupOuterRefused",
                  Scenario::SequenceSetupOverOldData,
                  true,
                  Refuse(kHandle, 2),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Minus(kHandle, 2), Plus(kHandle, 2, true)},
                  nullptr},
        SuiteCase{"SequenceSetdownHandleRefused",
                  Scenario::SequenceSetdown,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        // Param Utils is used three times, the Handle suite once, to dispose
        // of the snapshot being replaced.
        SuiteCase{
            "UiUpdate",
            Scenario::UiUpdateAfterChange,
            false,
            {},
            PF_Err_NONE,
            {Plus(kParamUtils, 2), Plus(kHandle, 2), Minus(kParamUtils, 2), Minus(kHandle, 2)},
            nullptr},
        SuiteCase{"UiUpdateParamUtilsRefused",
                  Scenario::UiUpdateAfterChange,
                  true,
                  Refuse(kParamUtils),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kParamUtils, 2, true)},
                  nullptr},
        SuiteCase{"UiUpdateHandleRefused",
                  Scenario::UiUpdateAfterChange,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kParamUtils, 2), Plus(kHandle, 2, true), Minus(kParamUtils, 2)},
                  nullptr},
        SuiteCase{"PreRender",
                  Scenario::PreRender,
                  false,
                  {},
                  PF_Err_NONE,
                  {Plus(kHandle, 2), Minus(kHandle, 2)},
                  nullptr},
        SuiteCase{"PreRenderHandleRefused",
                  Scenario::PreRender,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        // The render's three suites are its own to release, in the order acquired.
        SuiteCase{"SmartRender",
                  Scenario::SmartRender,
                  false,
                  {},
                  PF_Err_NONE,
                  {Plus(kHandle, 2), Plus(kWorld, 2), Plus(kColor, 1), Plus(kFill, 2),
                   Minus(kWorld, 2), Minus(kColor, 1), Minus(kFill, 2), Minus(kHandle, 2)},
                  nullptr},
        SuiteCase{"SmartRenderHandleRefused",
                  Scenario::SmartRender,
                  true,
                  Refuse(kHandle),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2, true)},
                  nullptr},
        SuiteCase{"SmartRenderWorldRefused",
                  Scenario::SmartRender,
                  true,
                  Refuse(kWorld),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Plus(kWorld, 2, true), Minus(kHandle, 2)},
                  kLoadMessage},
        SuiteCase{"SmartRenderColorRefused",
                  Scenario::SmartRender,
                  true,
                  Refuse(kColor),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Plus(kWorld, 2), Plus(kColor, 1, true), Minus(kWorld, 2),
                   Minus(kHandle, 2)},
                  kLoadMessage},
        SuiteCase{"SmartRenderFillRefused",
                  Scenario::SmartRender,
                  true,
                  Refuse(kFill),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Plus(kWorld, 2), Plus(kColor, 1), Plus(kFill, 2, true),
                   Minus(kWorld, 2), Minus(kColor, 1), Minus(kHandle, 2)},
                  kLoadMessage},
        SuiteCase{"SmartRenderWorldWithError",
                  Scenario::SmartRender,
                  true,
                  ErrorWithTable(kWorld, 7),
                  PF_Err_BAD_CALLBACK_PARAM,
                  {Plus(kHandle, 2), Plus(kWorld, 2, true), Minus(kHandle, 2)},
                  kLoadMessage}),
    [](const ::testing::TestParamInfo<SuiteCase>& info) { return info.param.name; });

// The host's answer to a release changes nothing: the effect cannot retry.
TEST_F(HostTest, FailedReleasesAreNotReported) {
    standin::EffectInstance effect(host);
    ASSERT_EQ(effect.Start(), PF_Err_NONE);
    std::unique_ptr<standin::World> input =
        SolidWorld(5, 4, PF_PixelFormat_ARGB32, {1.0f, 0.2f, 0.4f, 0.6f});
    standin::Failure failure = Failure::Code(Service::ReleaseSuite, 1, 9);
    failure.every_later_call = true;
    host.InjectFailure(failure);

    EXPECT_EQ(effect.UpdateParamsUi(), PF_Err_NONE);
    const standin::FrameResult frame = effect.RenderFrame(*input);
    EXPECT_EQ(frame.err, PF_Err_NONE) << frame.message;
    EXPECT_STREQ(host.out_data.return_msg, "");
    EXPECT_GE(host.CallCount(Service::ReleaseSuite), 5);
    host.ClearFailures();
    EXPECT_BOOKS_BALANCED(host);
}

}  // namespace
}  // namespace ostrel_test
