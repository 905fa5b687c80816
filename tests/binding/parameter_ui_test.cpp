// The UI update through the loaded effect: Edge Mode enables one edge control
// and greys out the other, and the parameter snapshot in the sequence data is
// renewed when, and only when, the parameters moved on.
#include <cstring>

#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

constexpr PF_OutFlags kHostBit = PF_OutFlag_USE_OUTPUT_EXTENT;
constexpr PF_OutFlags kErrorFlags = PF_OutFlag_DISPLAY_ERROR_MESSAGE | PF_OutFlag_REFRESH_UI;

class UiUpdateTest : public HostTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(effect.Start(), PF_Err_NONE) << DescribeProblems(host);
        host.ClearCallLog();
        host.ResetCounts();
        host.out_data.out_flags = kHostBit;
        host.out_data.return_msg[0] = '\0';
    }
    void TearDown() override {
        EXPECT_BOOKS_BALANCED(host);
        EXPECT_EQ(effect.Stop(), PF_Err_NONE);
        EXPECT_EQ(host.LiveHandleCount(), 0);
        EXPECT_BOOKS_BALANCED(host);
    }

    PF_Err Update() { return host.Send(PF_Cmd_UPDATE_PARAMS_UI, host.CurrentParams()); }

    A_u_char& Initialized() { return *static_cast<A_u_char*>(*host.in_data.global_data); }

    bool SequenceHoldsCurrentState() const {
        const standin::HandleState sequence = host.FindHandle(host.in_data.sequence_data);
        const PF_State state = host.CurrentState();
        return sequence.alive && sequence.size == sizeof(state) &&
               std::memcmp(sequence.data, &state, sizeof(state)) == 0;
    }

    standin::EffectInstance effect{host};
};

struct EdgeModeCase {
    const char* name;
    A_long edge_mode;
    bool lightness_disabled;
    bool color_disabled;
};

class EdgeModes : public UiUpdateTest, public ::testing::WithParamInterface<EdgeModeCase> {};

TEST_P(EdgeModes, EnableOneEdgeControlAndGreyOutTheOther) {
    const EdgeModeCase& c = GetParam();
    ASSERT_TRUE(host.SetValue(8, c.edge_mode));
    // Bits the host set stay as they were, in the copies the effect hands back.
    PF_ParamDef** params = host.CurrentParams();
    params[9]->ui_flags |= 1 << 3;
    params[10]->ui_flags |= PF_PUI_DISABLED | (1 << 7);
    const PF_ParamDef lightness_before = *params[9];
    const PF_ParamDef color_before = *params[10];

    ASSERT_EQ(host.Send(PF_Cmd_UPDATE_PARAMS_UI, params), PF_Err_NONE);

    const std::vector<standin::CallRecord> updates = Calls(host, Service::UpdateParamUI);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].param_index, 9);
    EXPECT_EQ(updates[0].param_type, PF_Param_FIX_SLIDER);
    EXPECT_EQ(updates[0].param_name, "Edge Lightness");
    EXPECT_EQ(updates[0].ui_flags, (1 << 3) | (c.lightness_disabled ? PF_PUI_DISABLED : 0));
    EXPECT_EQ(updates[1].param_index, 10);
    EXPECT_EQ(updates[1].param_type, PF_Param_COLOR);
    EXPECT_EQ(updates[1].param_name, "Edge Color");
    EXPECT_EQ(updates[1].ui_flags, (1 << 7) | (c.color_disabled ? PF_PUI_DISABLED : 0));
    // The copies are whole: the value travels with them.
    EXPECT_EQ(host.LastUiUpdate(9)->u.fd.value, 65536);
    EXPECT_EQ(host.Control(9).disabled(), c.lightness_disabled);
    EXPECT_EQ(host.Control(10).disabled(), c.color_disabled);

    // The host's own definitions are not written.
    EXPECT_EQ(std::memcmp(params[9], &lightness_before, sizeof(PF_ParamDef)), 0);
    EXPECT_EQ(std::memcmp(params[10], &color_before, sizeof(PF_ParamDef)), 0);
    EXPECT_EQ(host.out_data.out_flags, kHostBit | PF_OutFlag_REFRESH_UI);
}

INSTANTIATE_TEST_SUITE_P(Modes, EdgeModes,
                         ::testing::Values(EdgeModeCase{"Lightness", 1, false, true},
                                           EdgeModeCase{"Color", 2, true, false}),
                         [](const ::testing::TestParamInfo<EdgeModeCase>& info) {
                             return info.param.name;
                         });

TEST_F(UiUpdateTest, AnUnknownEdgeModeChangesNoControl) {
    ASSERT_TRUE(host.SetValue(8, 3));
    EXPECT_EQ(Update(), PF_Err_NONE);
    EXPECT_TRUE(Calls(host, Service::UpdateParamUI).empty());
    EXPECT_EQ(host.out_data.out_flags, kHostBit | PF_OutFlag_REFRESH_UI);
    EXPECT_EQ(Initialized(), 1);
}

TEST_F(UiUpdateTest, NoChangeKeepsTheSnapshot) {
    const PF_Handle snapshot = host.in_data.sequence_data;
    const PF_Handle out_before = host.out_data.sequence_data;
    EXPECT_EQ(Update(), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), 0);
    EXPECT_EQ(host.CallCount(Service::NewHandle), 0);
    EXPECT_EQ(host.out_data.sequence_data, out_before);
    EXPECT_EQ(host.in_data.sequence_data, snapshot);
    EXPECT_EQ(Calls(host, Service::UpdateParamUI).size(), 2u);
}

TEST_F(UiUpdateTest, AChangeReplacesTheSnapshotAfterTheNewOneIsFilled) {
    const PF_Handle old_snapshot = host.in_data.sequence_data;
    ASSERT_TRUE(host.SetValue(1, 25));
    EXPECT_EQ(Update(), PF_Err_NONE);

    const std::vector<standin::CallRecord> asked = Calls(host, Service::HasParamChanged);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].param_index, PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE);
    const std::vector<standin::CallRecord> made = Calls(host, Service::UtilsNewHandle);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].size, 16u);
    const std::vector<standin::Service> order = ServiceSequence(host);
    const std::vector<standin::Service> expected_order = {
        Service::AcquireSuite,    Service::HasParamChanged, Service::UtilsNewHandle,
        Service::GetCurrentState, Service::AcquireSuite,    Service::DisposeHandle,
        Service::UpdateParamUI,   Service::UpdateParamUI,   Service::ReleaseSuite,
        Service::ReleaseSuite};
    EXPECT_EQ(order, expected_order);
    EXPECT_EQ(Calls(host, Service::DisposeHandle)[0].handle, old_snapshot);
    EXPECT_FALSE(host.FindHandle(old_snapshot).alive);
    EXPECT_EQ(host.out_data.sequence_data, made[0].handle);
    EXPECT_EQ(host.in_data.sequence_data, made[0].handle);
    EXPECT_TRUE(SequenceHoldsCurrentState());

    // The next update finds nothing new.
    host.ClearCallLog();
    host.ResetCounts();
    EXPECT_EQ(Update(), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), 0);
}

TEST_F(UiUpdateTest, TheFirstUpdateAfterSetupTakesASnapshot) {
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
    const PF_Handle fresh = host.in_data.sequence_data;
    EXPECT_FALSE(SequenceHoldsCurrentState());
    host.ClearCallLog();
    host.ResetCounts();
    EXPECT_EQ(Update(), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), 1);
    EXPECT_FALSE(host.FindHandle(fresh).alive);
    EXPECT_TRUE(SequenceHoldsCurrentState());
}

TEST_F(UiUpdateTest, AnUninitializedEffectTakesASnapshotAnyway) {
    Initialized() = 0;
    EXPECT_EQ(Update(), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), 1);
    EXPECT_TRUE(SequenceHoldsCurrentState());
    EXPECT_EQ(Initialized(), 1);
}

TEST_F(UiUpdateTest, WithoutGlobalDataOnlyTheRefreshIsAsked) {
    const PF_Handle global = host.in_data.global_data;
    host.in_data.global_data = nullptr;
    EXPECT_EQ(Update(), PF_Err_NONE);
    host.in_data.global_data = global;
    EXPECT_TRUE(host.call_log().empty());
    EXPECT_EQ(host.out_data.out_flags, kHostBit | PF_OutFlag_REFRESH_UI);
}

// Without global data nothing reads the controls, so a short array is no
// reason to refuse: the host still only gets the refresh.
TEST_F(UiUpdateTest, WithoutGlobalDataAShortParameterArrayIsNotRead) {
    const PF_Handle global = host.in_data.global_data;
    host.in_data.global_data = nullptr;
    host.in_data.num_params = 9;
    EXPECT_EQ(Update(), PF_Err_NONE);
    host.in_data.num_params = 12;
    host.in_data.global_data = global;
    EXPECT_TRUE(host.call_log().empty());
    EXPECT_EQ(host.out_data.out_flags, kHostBit | PF_OutFlag_REFRESH_UI);
}

// A host that sends the update without all the controls in place gets a
// refusal, not a read past its parameter array.
TEST_F(UiUpdateTest, WithoutAllTheControlsTheUpdateIsRefused) {
    host.in_data.num_params = 9;
    EXPECT_EQ(Update(), PF_Err_BAD_CALLBACK_PARAM);
    host.in_data.num_params = 12;
    EXPECT_TRUE(Calls(host, Service::UpdateParamUI).empty());
    EXPECT_TRUE(Calls(host, Service::AcquireSuite).empty());
    EXPECT_EQ(host.out_data.out_flags, kHostBit);
}

// The failure rows. Each starts from a started effect whose snapshot is
// stale (a control moved) or whose global data says it never updated.
struct UiFailure {
    const char* name;
    bool stale;          // a control moved since the snapshot
    bool uninitialized;  // initialized is 0
    Failure failure;
    PF_Err expected;
    int snapshot_handles_made;
    bool snapshot_renewed;
    size_t ui_updates;
};

class UiUpdateFails : public UiUpdateTest, public ::testing::WithParamInterface<UiFailure> {};

TEST_P(UiUpdateFails, ReportsAndLeavesTheSnapshotSound) {
    const UiFailure& c = GetParam();
    if (c.stale) {
        ASSERT_TRUE(host.SetValue(2, 4));
    }
    if (c.uninitialized) Initialized() = 0;
    const PF_Handle old_snapshot = host.in_data.sequence_data;
    host.InjectFailure(c.failure);

    EXPECT_EQ(Update(), c.expected);

    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), c.snapshot_handles_made);
    EXPECT_EQ(Calls(host, Service::UpdateParamUI).size(), c.ui_updates);
    if (c.snapshot_renewed) {
        EXPECT_NE(host.in_data.sequence_data, old_snapshot);
        EXPECT_TRUE(SequenceHoldsCurrentState());
    } else {
        EXPECT_EQ(host.in_data.sequence_data, old_snapshot);
        EXPECT_TRUE(host.FindHandle(old_snapshot).alive);
    }
    if (c.expected) {
        EXPECT_STREQ(host.out_data.return_msg, "ERROR");
        EXPECT_EQ(host.out_data.out_flags, kErrorFlags);
        EXPECT_EQ(Initialized(), c.uninitialized ? 0 : 1);
    } else {
        EXPECT_STREQ(host.out_data.return_msg, "");
        EXPECT_EQ(host.out_data.out_flags, kHostBit | PF_OutFlag_REFRESH_UI);
        EXPECT_EQ(Initialized(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UiUpdateFails,
    ::testing::Values(UiFailure{"HasParamChangedFails", true, false,
                                Failure::Code(Service::HasParamChanged, 1, 61), 61, 0, false, 0},
                      // A snapshot handle made while an error is already set is not kept.
                      UiFailure{"HasParamChangedFailsUninitialized", false, true,
                                Failure::Code(Service::HasParamChanged, 1, 61), 61, 1, false, 0},
                      UiFailure{"NoSnapshotHandle", true, false,
                                Failure::Null(Service::UtilsNewHandle, 1), PF_Err_NONE, 1, false,
                                2},
                      UiFailure{"GetCurrentStateFails", true, false,
                                Failure::Code(Service::GetCurrentState, 1, 62), 62, 1, false, 0},
                      UiFailure{"FirstUiUpdateFails", true, false,
                                Failure::Code(Service::UpdateParamUI, 1, 63), 63, 1, true, 1},
                      UiFailure{"SecondUiUpdateFails", false, false,
                                Failure::Code(Service::UpdateParamUI, 2, 64), 64, 0, false, 2}),
    [](const ::testing::TestParamInfo<UiFailure>& info) { return info.param.name; });

}  // namespace
}  // namespace ostrel_test
