// Where the 12.10 build (i386) and the 13.0 build (x86-64) of the effect part
// ways. The same tests run in both builds, each expecting its own interface's
// answer; the effect is linked into this program.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/strip_scan.h"
#include "host/interface/interface_version.h"
#include "host/parameters.h"
#include "host/suite_handler.h"
#include "standin_host/standin_host.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);

namespace {

using standin::CallRecord;
using standin::EffectInstance;
using standin::Failure;
using standin::FrameResult;
using standin::Host;
using standin::Service;
using standin::World;

constexpr bool k1210 = OSTREL_INTERFACE_12_10;

std::string Problems(const Host& host) {
    std::string text;
    for (const std::string& problem : host.Problems()) text += problem + "\n";
    return text;
}

// "+name version" for each acquisition and "-name version" for each release.
std::vector<std::string> SuiteTraffic(const Host& host) {
    std::vector<std::string> traffic;
    for (const CallRecord& call : host.call_log()) {
        if (call.service == Service::AcquireSuite || call.service == Service::ReleaseSuite) {
            traffic.push_back((call.service == Service::AcquireSuite ? "+" : "-") +
                              call.suite_name + " " + std::to_string(call.suite_version));
        }
    }
    return traffic;
}

class InterfaceVariantTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(host.BooksBalanced()) << Problems(host); }
    Host host{EntryPointFunc};
};

// ---- Declarations ------------------------------------------------------------

TEST_F(InterfaceVariantTest, VersionAndFlagsAreThoseOfThePropertiesResource) {
    // The same numbers that the static checks find in each DLL's PIPL.
    host.out_data.out_flags = 0x1;
    host.out_data.out_flags2 = 0x2;
    ASSERT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETUP));
    EXPECT_EQ(525825u, host.out_data.my_version);
    EXPECT_EQ(0x06000040u | 0x1u, host.out_data.out_flags);
    EXPECT_EQ(0x00001400u | 0x2u, host.out_data.out_flags2);
    EXPECT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETDOWN));
}

// ---- About -------------------------------------------------------------------

TEST_F(InterfaceVariantTest, AboutText) {
    ASSERT_EQ(PF_Err_NONE, host.Send(PF_Cmd_ABOUT));
    EXPECT_STREQ(k1210 ? "OstrelStrata, v1.0\rImagination!" : "OstrelStrata, v1.00\rImagination!",
                 host.out_data.return_msg);
    EXPECT_EQ(0u, host.out_data.out_flags);
    // The 12.10 build formats through "PF ANSI Suite" 1, and gives it back.
    const std::vector<std::string> expected =
        k1210 ? std::vector<std::string>{"+PF ANSI Suite 1", "-PF ANSI Suite 1"}
              : std::vector<std::string>{};
    EXPECT_EQ(expected, SuiteTraffic(host));
}

TEST_F(InterfaceVariantTest, AboutWithoutBasicSuite) {
    host.in_data.pica_basicP = nullptr;
    strcpy(host.out_data.return_msg, "as the host left it");
    const PF_Err err = host.Send(PF_Cmd_ABOUT);
    if (k1210) {
        EXPECT_EQ(PF_Err_BAD_CALLBACK_PARAM, err);
        EXPECT_STREQ("as the host left it", host.out_data.return_msg);
    } else {
        EXPECT_EQ(PF_Err_NONE, err);
        EXPECT_STREQ("OstrelStrata, v1.00\rImagination!", host.out_data.return_msg);
    }
}

TEST_F(InterfaceVariantTest, AboutWithAnsiSuiteRefused) {
    host.InjectFailure(Failure::RefuseSuite(kPFANSISuite));
    strcpy(host.out_data.return_msg, "as the host left it");
    const PF_Err err = host.Send(PF_Cmd_ABOUT);
    EXPECT_EQ(k1210 ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE, err);
    if (k1210) {
        EXPECT_STREQ("as the host left it", host.out_data.return_msg);
    }
}

// ---- The general command -----------------------------------------------------

struct GeneralCommandCase {
    const char* label;
    std::string text;  // what extra points to
    bool null_extra;
    std::string echoed;  // what the 12.10 build leaves in return_msg
};
void PrintTo(const GeneralCommandCase& param, std::ostream* out) { *out << param.label; }

class GeneralCommandTest : public InterfaceVariantTest,
                           public ::testing::WithParamInterface<GeneralCommandCase> {};

TEST_P(GeneralCommandTest, EchoesIn1210Only) {
    const GeneralCommandCase& param = GetParam();
    memset(&host.out_data, 0x5A, sizeof(host.out_data));
    host.out_data.global_data = nullptr;
    host.out_data.sequence_data = nullptr;
    host.out_data.return_msg[0] = '\0';
    const PF_OutData before = host.out_data;
    std::vector<char> text(param.text.begin(), param.text.end());
    text.push_back('\0');

    EXPECT_EQ(PF_Err_NONE, host.Send(PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr,
                                     param.null_extra ? nullptr : text.data()));

    EXPECT_EQ(k1210 ? param.echoed : std::string(), std::string(host.out_data.return_msg));
    // Nothing else in out_data is touched, flags included.
    PF_OutData rest = host.out_data;
    memcpy(rest.return_msg, before.return_msg, sizeof(rest.return_msg));
    EXPECT_EQ(0, memcmp(&before, &rest, sizeof(rest)));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GeneralCommandTest,
    ::testing::Values(
        GeneralCommandCase{"Short", "Strata 17", false, "Strata 17"},
        // Formatting characters are copied, not interpreted.
        GeneralCommandCase{"Percent", "100%s %d", false, "100%s %d"},
        GeneralCommandCase{"NullExtra", "", true, ""},
        // return_msg holds 255 characters and the terminator.
        GeneralCommandCase{"Exactly255", std::string(255, 'x'), false, std::string(255, 'x')},
        GeneralCommandCase{"LongerIsCut", std::string(200, 'a') + std::string(200, 'b'), false,
                           std::string(200, 'a') + std::string(55, 'b')}),
    [](const ::testing::TestParamInfo<GeneralCommandCase>& info) {
        return std::string(info.param.label);
    });

// ---- Global set-up and set-down ----------------------------------------------

TEST_F(InterfaceVariantTest, RegistrationUnderPremiere) {
    host.in_data.appl_id = PF_APPL_ID_PREMIERE;
    ASSERT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETUP));
    const std::vector<CallRecord> registrations = host.CallsOf(Service::RegisterWithAEGP);
    if (k1210) {
        ASSERT_EQ(1u, registrations.size());
        EXPECT_EQ("Error!", registrations[0].text);
    } else {
        EXPECT_TRUE(registrations.empty());
        EXPECT_EQ(0, host.SuitesHeld(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7));
    }
    EXPECT_NE(nullptr, host.out_data.global_data);
    EXPECT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETDOWN));
}

TEST_F(InterfaceVariantTest, GlobalSetdownDisposesTheGlobalDataInEveryBuild) {
    ASSERT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETUP));
    const PF_Handle global = host.out_data.global_data;
    ASSERT_NE(nullptr, global);
    EXPECT_EQ(PF_Err_NONE, host.Send(PF_Cmd_GLOBAL_SETDOWN));
    EXPECT_FALSE(host.FindHandle(global).alive);
    EXPECT_EQ(0, host.LiveHandleCount());
}

// ---- Suites ------------------------------------------------------------------

TEST_F(InterfaceVariantTest, HandleAndParamUtilsSuiteVersions) {
    EffectInstance instance(host);
    ASSERT_EQ(PF_Err_NONE, instance.Start());  // global, parameter and sequence set-up, UI update
    ASSERT_EQ(PF_Err_NONE, instance.Stop());
    const A_long version = k1210 ? 1 : 2;
    const std::vector<std::string> traffic = SuiteTraffic(host);
    for (const char* suite : {kPFHandleSuite, kPFParamUtilsSuite}) {
        const std::string own = std::string(suite) + " " + std::to_string(version);
        const std::string other = std::string(suite) + " " + std::to_string(3 - version);
        EXPECT_NE(traffic.end(), std::find(traffic.begin(), traffic.end(), "+" + own)) << suite;
        EXPECT_EQ(traffic.end(), std::find(traffic.begin(), traffic.end(), "+" + other)) << suite;
    }
}

// An entry point of the test's own that asks a SuiteHandler for every suite it
// knows, so that the order of release shows.
PF_Err AcquireEverySuite(PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*,
                         void*) {
    SuiteHandler suites(in_data->pica_basicP);
    suites.HandleSuite();
#if OSTREL_INTERFACE_12_10
    suites.AnsiSuite();
#endif
    suites.UtilitySuite();
    suites.ParamUtilsSuite();
    return PF_Err_NONE;
}

TEST(SuiteHandlerVariantTest, ReleaseOrderOfEverySuite) {
    Host host(AcquireEverySuite);
    ASSERT_EQ(PF_Err_NONE, host.Send(PF_Cmd_ABOUT));
    std::vector<std::string> releases;
    for (const std::string& entry : SuiteTraffic(host)) {
        if (entry[0] == '-') releases.push_back(entry.substr(1));
    }
    const std::vector<std::string> expected =
        k1210 ? std::vector<std::string>{"PF Param Utils Suite 1", "AEGP Utility Suite 7",
                                         "PF ANSI Suite 1", "PF Handle Suite 1"}
              : std::vector<std::string>{"PF Param Utils Suite 2", "AEGP Utility Suite 7",
                                         "PF Handle Suite 2"};
    EXPECT_EQ(expected, releases);
    EXPECT_TRUE(host.BooksBalanced()) << Problems(host);
}

// ---- The fill rectangle --------------------------------------------------------

TEST(FillRectangleTest, LayoutHandedToTheFills) {
    // A run over top 0, left 10, bottom 10, right 20, inset by an edge of 2.
    const PF_Rect rect = ToHostRect(SetInsetRect(0, 10, 10, 20, 2));
#if OSTREL_INTERFACE_12_10
    A_short values[4];
    static_assert(sizeof(rect) == sizeof(values), "four 16-bit values");
    memcpy(values, &rect, sizeof(values));
    EXPECT_EQ((std::vector<A_short>{2, 12, 8, 18}),
              std::vector<A_short>(values, values + 4));  // top, left, bottom, right
#else
    A_long values[4];
    static_assert(sizeof(rect) == sizeof(values), "four 32-bit values");
    memcpy(values, &rect, sizeof(values));
    EXPECT_EQ((std::vector<A_long>{12, 2, 18, 8}),
              std::vector<A_long>(values, values + 4));  // left, top, right, bottom
#endif
}

TEST(FillRectangleTest, CoordinatesOutside16BitsSaturate) {
    const PF_Rect rect = ToHostRect(PF_LRect{-40000, 32768, 70000, -32769});
    EXPECT_EQ(k1210 ? -32768 : -40000, rect.left);
    EXPECT_EQ(k1210 ? 32767 : 32768, rect.top);
    EXPECT_EQ(k1210 ? 32767 : 70000, rect.right);
    EXPECT_EQ(k1210 ? -32768 : -32769, rect.bottom);
    // In range, the values pass unchanged.
    const PF_Rect edge = ToHostRect(PF_LRect{-32768, 0, 32767, 1});
    EXPECT_EQ(-32768, edge.left);
    EXPECT_EQ(32767, edge.right);
}

// Three columns of colour in one strip: the middle run's inside reaches the
// host's fill as left 12, top 2, right 18, bottom 8, whatever the layout.
TEST_F(InterfaceVariantTest, InsetRunReachesTheFill) {
    EffectInstance instance(host);
    ASSERT_EQ(PF_Err_NONE, instance.Start());
    instance.SetValue(ParamWidth, 10);
    instance.SetValue(ParamMinimumLength, 1);
    instance.SetValue(ParamEdgeThickness, 2);
    std::unique_ptr<World> input = World::Allocate(30, 10, PF_PixelFormat_ARGB32);
    ASSERT_NE(nullptr, input);
    const PF_Pixel columns[] = {{255, 250, 0, 0}, {255, 0, 250, 0}, {255, 0, 0, 250}};
    for (A_long y = 0; y < 10; ++y) {
        for (A_long x = 0; x < 30; ++x) input->At<PF_Pixel>(x, y) = columns[x / 10];
    }
    host.ClearCallLog();
    const FrameResult frame = instance.RenderFrame(*input);
    ASSERT_EQ(PF_Err_NONE, frame.err) << frame.message;
    bool found = false;
    for (const CallRecord& fill : host.CallsOf(Service::Fill)) {
        found = found || (!fill.whole_world && fill.rect[0] == 12 && fill.rect[1] == 2 &&
                          fill.rect[2] == 18 && fill.rect[3] == 8);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(PF_Err_NONE, instance.Stop());
}

// ---- Frames beyond the 16-bit rectangle ----------------------------------------

struct FrameSizeCase {
    const char* label;
    A_long width, height;
    bool refused_in_1210;
};
void PrintTo(const FrameSizeCase& param, std::ostream* out) { *out << param.label; }

class FrameSizeTest : public InterfaceVariantTest,
                      public ::testing::WithParamInterface<FrameSizeCase> {};

TEST_P(FrameSizeTest, LargestFrameThe1210FillsReach) {
    const FrameSizeCase& param = GetParam();
    EffectInstance instance(host);
    ASSERT_EQ(PF_Err_NONE, instance.Start());
    instance.SetValue(ParamWidth, 1);
    instance.SetValue(ParamMinimumLength, 1);
    std::unique_ptr<World> input =
        World::Allocate(param.width, param.height, PF_PixelFormat_ARGB32);
    ASSERT_NE(nullptr, input);
    for (A_long y = 0; y < param.height; ++y) {
        for (A_long x = 0; x < param.width; ++x)
            input->At<PF_Pixel>(x, y) = {255, A_u_char(x), A_u_char(y), 7};
    }
    host.ClearCallLog();
    const FrameResult frame = instance.RenderFrame(*input);
    ASSERT_NE(nullptr, frame.output);
    if (k1210 && param.refused_in_1210) {
        // Refused before anything is painted: not even the clear.
        EXPECT_EQ(255, frame.err);
        EXPECT_EQ(0u, host.CallsOf(Service::UtilsFill).size() + host.CallsOf(Service::Fill).size());
        const World& output = *frame.output;
        bool untouched = true;
        for (A_long y = 0; y < output.height(); ++y) {
            const unsigned char* row = output.Row<unsigned char>(y);
            for (A_long i = 0; i < output.rowbytes(); ++i)
                untouched = untouched && row[i] == standin::kUntouchedByte;
        }
        EXPECT_TRUE(untouched);
    } else {
        ASSERT_EQ(PF_Err_NONE, frame.err) << frame.message;
        // Painted to the far corner, which the 12.10 fills reach with 16 bits.
        EXPECT_EQ(255, frame.output->At<PF_Pixel>(param.width - 1, param.height - 1).alpha);
    }
    EXPECT_EQ(PF_Err_NONE, instance.Stop());
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameSizeTest,
                         ::testing::Values(FrameSizeCase{"Width32767", 32767, 1, false},
                                           FrameSizeCase{"Width32768", 32768, 1, true},
                                           FrameSizeCase{"Height32767", 1, 32767, false},
                                           FrameSizeCase{"Height32768", 1, 32768, true}),
                         [](const ::testing::TestParamInfo<FrameSizeCase>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
