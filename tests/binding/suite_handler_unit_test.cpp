// The suite access helper on its own, against a fake basic suite: what the
// loaded module cannot show, as no command acquires all three suites at once
// and every caller of the explicit helpers passes its own message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/suite_handler.h"
#include "standin_host/services/ansi_services.h"

namespace {

// The fake host: answers every suite with a table, except the one named in
// `refused`, and records what it was asked.
struct FakeHost {
    std::vector<std::string> log;
    std::string refused;
    SPErr refusal_code = 0;
    bool table_with_refusal = false;
    int table = 0;
};
FakeHost* fake = nullptr;

SPErr Acquire(const char* name, A_long version, const void** suite) {
    fake->log.push_back("+" + std::string(name) + " " + std::to_string(version));
    if (fake->refused == name) {
        *suite = fake->table_with_refusal ? &fake->table : nullptr;
        return fake->refusal_code;
    }
    *suite = &fake->table;
    return 0;
}

SPErr Release(const char* name, A_long version) {
    fake->log.push_back("-" + std::string(name) + " " + std::to_string(version));
    return 7;  // ignored
}

class SuiteHandlerUnit : public ::testing::Test {
  protected:
    SuiteHandlerUnit() {
        fake = &host;
        basic.AcquireSuite = Acquire;
        basic.ReleaseSuite = Release;
        utils.ansi = standin::AnsiCallbacks();
        in_data.utils = &utils;
        in_data.pica_basicP = &basic;
        out_data.out_flags = PF_OutFlag_REFRESH_UI;
    }
    ~SuiteHandlerUnit() override { fake = nullptr; }

    FakeHost host;
    SPBasicSuite basic{};
    PF_UtilCallbacks utils{};
    PF_InData in_data{};
    PF_OutData out_data{};
};

TEST_F(SuiteHandlerUnit, AHandlerThatIsNotAskedAcquiresNothing) {
    { SuiteHandler suites(&basic); }
    EXPECT_TRUE(host.log.empty());
}

TEST_F(SuiteHandlerUnit, ReleasesParamUtilsThenUtilityThenHandleOnce) {
    {
        SuiteHandler suites(&basic);
        suites.HandleSuite();
        suites.UtilitySuite();
        suites.ParamUtilsSuite();
        suites.HandleSuite();
        suites.ParamUtilsSuite();
    }
    const std::vector<std::string> expected = {"+PF Handle Suite 2",      "+AEGP Utility Suite 7",
                                               "+PF Param Utils Suite 2", "-PF Param Utils Suite 2",
                                               "-AEGP Utility Suite 7",   "-PF Handle Suite 2"};
    EXPECT_EQ(host.log, expected);
}

TEST_F(SuiteHandlerUnit, ARefusalThrowsAndReleasesWhatIsHeld) {
    host.refused = "PF Param Utils Suite";
    host.refusal_code = 0;  // no error, but no table either
    PF_Err thrown = 0;
    try {
        SuiteHandler suites(&basic);
        suites.HandleSuite();
        suites.ParamUtilsSuite();
    } catch (PF_Err err) {
        thrown = err;
    }
    EXPECT_EQ(thrown, PF_Err_BAD_CALLBACK_PARAM);
    const std::vector<std::string> expected = {"+PF Handle Suite 2", "+PF Param Utils Suite 2",
                                               "-PF Handle Suite 2"};
    EXPECT_EQ(host.log, expected);
}

TEST_F(SuiteHandlerUnit, NoBasicSuiteThrowsBeforeAnything) {
    EXPECT_THROW(SuiteHandler suites(nullptr), PF_Err);
    EXPECT_TRUE(host.log.empty());
}

// The explicit helpers: the caller's message or the default, the error flag
// added to what was there, and 516.
struct ReportCase {
    const char* name;
    bool acquire;
    bool no_basic_suite;
    const char* message;
    const char* shown;
};

class ExplicitHelpers : public SuiteHandlerUnit,
                        public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ExplicitHelpers, ReportFailureWithTheMessage) {
    const ReportCase& c = GetParam();
    host.refused = "PF World Suite";
    host.refusal_code = 5;
    host.table_with_refusal = true;  // handed out with an error: still refused
    if (c.no_basic_suite) in_data.pica_basicP = nullptr;
    PF_Err err;
    if (c.acquire) {
        const PF_WorldSuite2* suite = nullptr;
        err = AcquireSuiteOrReport(&in_data, &out_data, "PF World Suite", 2, c.message, &suite);
        EXPECT_EQ(suite, nullptr);
    } else {
        err = ReleaseSuiteOrReport(&in_data, &out_data, "PF World Suite", 2, c.message);
    }
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out_data.return_msg, c.shown);
    EXPECT_EQ(out_data.out_flags, PF_OutFlag_REFRESH_UI | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExplicitHelpers,
    ::testing::Values(ReportCase{"AcquireDefault", true, false, nullptr,
                                 "Not able to acquire AEFX Suite."},
                      ReportCase{"AcquireOwnMessage", true, false, "Couldn't load suite.",
                                 "Couldn't load suite."},
                      ReportCase{"AcquireWithoutBasicSuite", true, true, nullptr,
                                 "Not able to acquire AEFX Suite."},
                      ReportCase{"ReleaseWithoutBasicSuite", false, true, nullptr,
                                 "Not able to release AEFX Suite."},
                      ReportCase{"ReleaseOwnMessage", false, true, "Couldn't release suite.",
                                 "Couldn't release suite."}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

TEST_F(SuiteHandlerUnit, ExplicitHelpersSucceedQuietly) {
    const PF_ColorCallbacksFloatSuite1* suite = nullptr;
    EXPECT_EQ(AcquireSuiteOrReport(&in_data, &out_data, "PF ColorFloat Suite", 1, nullptr, &suite),
              PF_Err_NONE);
    EXPECT_NE(suite, nullptr);
    // The host's answer to a release is not looked at.
    EXPECT_EQ(ReleaseSuiteOrReport(&in_data, &out_data, "PF ColorFloat Suite", 1, nullptr),
              PF_Err_NONE);
    EXPECT_STREQ(out_data.return_msg, "");
    EXPECT_EQ(out_data.out_flags, PF_OutFlag_REFRESH_UI);
    const std::vector<std::string> expected = {"+PF ColorFloat Suite 1", "-PF ColorFloat Suite 1"};
    EXPECT_EQ(host.log, expected);
}

}  // namespace
