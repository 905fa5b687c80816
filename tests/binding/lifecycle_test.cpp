// About, global set-up and set-down, sequence set-up, re-setup and set-down,
// through the loaded effect: what each declares and makes, and that nothing
// made is left behind when a command fails.
#include <algorithm>
#include <cstring>

#include "host/effect_identity.h"
#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

constexpr A_long kPremiere = OSTREL_FOURCC('P', 'r', 'M', 'r');

std::vector<unsigned char> Bytes(const standin::HandleState& handle) {
    const unsigned char* data = static_cast<const unsigned char*>(handle.data);
    return std::vector<unsigned char>(data, data + handle.size);
}

TEST_F(HostTest, AboutWritesItsTextAndNothingElse) {
    host.out_data.out_flags = 0;
    EXPECT_EQ(host.Send(PF_Cmd_ABOUT), PF_Err_NONE);
    EXPECT_STREQ(host.out_data.return_msg, "OstrelStrata, v1.00\rImagination!");
    EXPECT_EQ(host.out_data.out_flags, 0u);
    EXPECT_TRUE(SuiteTraffic(host).empty());
    EXPECT_BOOKS_BALANCED(host);
}

TEST_F(HostTest, GlobalSetupDeclaresVersionFlagsAndRegisters) {
    // Bits the host set already are kept.
    host.out_data.out_flags = PF_OutFlag_REFRESH_UI;
    host.out_data.out_flags2 = 1;
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);

    EXPECT_EQ(host.out_data.my_version, 525825u);
    EXPECT_EQ(host.out_data.my_version, static_cast<A_u_long>(OSTREL_EFFECT_VERSION));
    EXPECT_EQ(host.out_data.out_flags, PF_OutFlag_REFRESH_UI | 0x06000040u);
    EXPECT_EQ(host.out_data.out_flags2, 1u | 0x1400u);
    const std::vector<standin::CallRecord> registrations = Calls(host, Service::RegisterWithAEGP);
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].text, "Error!");

    const standin::HandleState global = host.FindHandle(host.out_data.global_data);
    ASSERT_TRUE(global.alive);
    EXPECT_EQ(global.size, 8u);
    EXPECT_EQ(global.lock_count, 0);
    const std::vector<unsigned char> bytes = Bytes(global);
    EXPECT_EQ(bytes[0], 1);  // initialized
    A_long plugin_id;
    std::memcpy(&plugin_id, &bytes[4], sizeof(plugin_id));
    EXPECT_NE(static_cast<A_u_long>(plugin_id), 0xCDCDCDCDu) << "the registration's id is kept";

    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    EXPECT_FALSE(host.FindHandle(host.out_data.global_data).alive);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

TEST_F(HostTest, GlobalSetupUnderPremiereDoesNotRegister) {
    host.in_data.appl_id = kPremiere;
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::RegisterWithAEGP), 0);
    EXPECT_EQ(host.SuitesHeld("AEGP Utility Suite", 7), 0);
    for (const std::string& traffic : SuiteTraffic(host)) {
        EXPECT_EQ(traffic.find("AEGP Utility Suite"), std::string::npos) << traffic;
    }
    const standin::HandleState global = host.FindHandle(host.in_data.global_data);
    ASSERT_TRUE(global.alive);
    EXPECT_EQ(Bytes(global)[0], 1);
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

TEST_F(HostTest, GlobalSetdownWithoutGlobalDataCallsNothing) {
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    EXPECT_TRUE(host.call_log().empty());
    EXPECT_BOOKS_BALANCED(host);
}

// Global set-up's failure rows: the version and flags are declared whatever
// happens; the handle is handed over only on success and never left behind.
struct GlobalSetupFailure {
    const char* name;
    Failure failure;
    PF_Err expected;
};

class GlobalSetupFails : public HostTest,
                         public ::testing::WithParamInterface<GlobalSetupFailure> {};

TEST_P(GlobalSetupFails, DeclaresButKeepsNoHandle) {
    host.InjectFailure(GetParam().failure);
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), GetParam().expected);
    EXPECT_EQ(host.out_data.my_version, 525825u);
    EXPECT_EQ(host.out_data.out_flags, 0x06000040u);
    EXPECT_EQ(host.out_data.out_flags2, 0x1400u);
    EXPECT_EQ(host.out_data.global_data, nullptr);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_STREQ(host.out_data.return_msg, "");
    EXPECT_BOOKS_BALANCED(host);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GlobalSetupFails,
    ::testing::Values(GlobalSetupFailure{"NoHandle", Failure::Null(Service::NewHandle, 1),
                                         PF_Err_INTERNAL_STRUCT_DAMAGED},
                      GlobalSetupFailure{"NoLock", Failure::Null(Service::LockHandle, 1),
                                         PF_Err_NONE},
                      GlobalSetupFailure{"RegistrationFails",
                                         Failure::Code(Service::RegisterWithAEGP, 1, 42), 42}),
    [](const ::testing::TestParamInfo<GlobalSetupFailure>& info) { return info.param.name; });

TEST_F(HostTest, SequenceSetupMakesAZeroFilledStateRecord) {
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
    const standin::HandleState sequence = host.FindHandle(host.out_data.sequence_data);
    ASSERT_TRUE(sequence.alive);
    EXPECT_EQ(sequence.size, sizeof(PF_State));
    EXPECT_EQ(sequence.lock_count, 0);
    EXPECT_EQ(Bytes(sequence), std::vector<unsigned char>(16, 0));

    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

TEST_F(HostTest, ResetupReplacesTheOldRecord) {
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
    const PF_Handle old_handle = host.in_data.sequence_data;
    host.ClearCallLog();

    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_RESETUP), PF_Err_NONE);
    EXPECT_FALSE(host.FindHandle(old_handle).alive);
    const standin::HandleState fresh = host.FindHandle(host.out_data.sequence_data);
    ASSERT_TRUE(fresh.alive);
    EXPECT_EQ(Bytes(fresh), std::vector<unsigned char>(16, 0));
    // The old record goes before the new one is made.
    const std::vector<standin::Service> services = ServiceSequence(host);
    const auto dispose = std::find(services.begin(), services.end(), Service::DisposeHandle);
    const auto make = std::find(services.begin(), services.end(), Service::NewHandle);
    ASSERT_NE(dispose, services.end());
    EXPECT_LT(dispose, make);
    EXPECT_EQ(Calls(host, Service::DisposeHandle)[0].handle, old_handle);

    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

// Re-setup's failure rows: the old record is gone either way, and the host
// is handed neither it nor a record the effect could not fill.
struct ResetupFailure {
    const char* name;
    Failure failure;
    PF_Err expected;
};

class ResetupFails : public HostTest, public ::testing::WithParamInterface<ResetupFailure> {};

TEST_P(ResetupFails, LeavesNoRecordBehind) {
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
    const PF_Handle old_handle = host.in_data.sequence_data;
    host.InjectFailure(GetParam().failure);

    EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_RESETUP), GetParam().expected);
    EXPECT_FALSE(host.FindHandle(old_handle).alive);
    EXPECT_NE(host.out_data.sequence_data, old_handle) << "a disposed record handed back";
    EXPECT_EQ(host.out_data.sequence_data, nullptr);
    EXPECT_EQ(host.in_data.sequence_data, nullptr);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);

    // The instance can still be set down.
    EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_BOOKS_BALANCED(host);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ResetupFails,
    ::testing::Values(ResetupFailure{"NoHandle", Failure::Null(Service::NewHandle, 1),
                                     PF_Err_OUT_OF_MEMORY},
                      ResetupFailure{"NoLock", Failure::Null(Service::LockHandle, 1), PF_Err_NONE}),
    [](const ::testing::TestParamInfo<ResetupFailure>& info) { return info.param.name; });

TEST_F(HostTest, SequenceSetdownWithoutDataCallsNothing) {
    EXPECT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    EXPECT_TRUE(host.call_log().empty());
    EXPECT_BOOKS_BALANCED(host);
}

TEST_F(HostTest, SequenceSetdownDisposesTheRecordAndLeavesOutDataAlone) {
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETUP), PF_Err_NONE);
    const PF_Handle record = host.in_data.sequence_data;
    host.ClearCallLog();
    ASSERT_EQ(host.Send(PF_Cmd_SEQUENCE_SETDOWN), PF_Err_NONE);
    const std::vector<standin::CallRecord> disposals = Calls(host, Service::DisposeHandle);
    ASSERT_EQ(disposals.size(), 1u);
    EXPECT_EQ(disposals[0].handle, record);
    EXPECT_EQ(host.out_data.sequence_data, record);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_BOOKS_BALANCED(host);
}

}  // namespace
}  // namespace ostrel_test
