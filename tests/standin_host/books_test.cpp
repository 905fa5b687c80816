// The host's books, its suites, its handling of handles, and failure
// injection on the N-th call of every service.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/standin_host/fixture.h"

namespace {

using standin::EffectInstance;
using standin::Failure;
using standin::Host;
using standin::Service;
using standin_test::Describe;
using standin_test::FixtureEntryPoint;
using standin_test::RunInEffect;
using standin_test::ScriptedEntryPoint;

bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
    for (const std::string& problem : problems) {
        if (problem.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(Books, BalanceOverAWellBehavedInstance) {
    Host host(FixtureEntryPoint());
    {
        EffectInstance instance(host);
        ASSERT_EQ(instance.Start(), PF_Err_NONE);
        EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
        // The host holds what the effect handed over.
        EXPECT_TRUE(host.FindHandle(host.in_data.global_data).alive);
        EXPECT_TRUE(host.FindHandle(host.in_data.sequence_data).alive);
        EXPECT_EQ(host.LiveHandleCount(), 2);
        ASSERT_EQ(instance.Stop(), PF_Err_NONE);
    }
    EXPECT_EQ(host.in_data.global_data, nullptr);
    EXPECT_EQ(host.in_data.sequence_data, nullptr);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

struct Misbehaviour {
    const char* action;
    const char* problem;  // a phrase the books must show
};

void PrintTo(const Misbehaviour& misbehaviour, std::ostream* out) { *out << misbehaviour.action; }

class BooksCatch : public testing::TestWithParam<Misbehaviour> {};

TEST_P(BooksCatch, TheFault) {
    Host host(FixtureEntryPoint());
    EffectInstance instance(host);
    ASSERT_EQ(instance.Start(), PF_Err_NONE);
    ASSERT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
    host.Send(PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr, const_cast<char*>(GetParam().action));
    EXPECT_TRUE(Mentions(host.Problems(), GetParam().problem)) << Describe(host.Problems());
}

INSTANTIATE_TEST_SUITE_P(
    Standin, BooksCatch,
    testing::Values(Misbehaviour{"leak_handle", "a handle of 4 bytes was not disposed"},
                    Misbehaviour{"release_unacquired", "without an acquisition"},
                    Misbehaviour{"keep_suite", "acquired 1 more time(s) than released"},
                    Misbehaviour{"dispose_unknown", "a handle the host did not make"},
                    Misbehaviour{"dispose_twice", "already disposed"},
                    Misbehaviour{"checkin_unchecked", "not checked out"},
                    Misbehaviour{"keep_checkout", "without checkin_param"},
                    Misbehaviour{"foreign_ref", "effect_ref"},
                    Misbehaviour{"add_param", "add_param outside parameter set-up"},
                    Misbehaviour{"keep_world", "PF_NewWorld not disposed"}),
    [](const testing::TestParamInfo<Misbehaviour>& info) { return info.param.action; });

TEST(Books, ReleaseUnderAnotherVersionIsUnbalanced) {
    Host host(FixtureEntryPoint());
    host.Send(PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr,
              const_cast<char*>("release_other_version"));
    const std::vector<std::string> problems = host.Problems();
    EXPECT_TRUE(Mentions(problems, "\"PF Handle Suite\" version 2 acquired 1 more"))
        << Describe(problems);
    EXPECT_TRUE(Mentions(problems, "\"PF Handle Suite\" version 1 without an acquisition"))
        << Describe(problems);
    EXPECT_EQ(host.SuitesHeld("PF Handle Suite", 2), 1);
}

TEST(Books, AFailedSetDownKeepsTheHandleForAnotherTry) {
    Host host(FixtureEntryPoint());
    {
        EffectInstance instance(host);
        ASSERT_EQ(instance.Start(), PF_Err_NONE);
        host.InjectFailure(Failure::RefuseSuite("PF Handle Suite", 1));
        EXPECT_EQ(instance.Stop(), PF_Err_BAD_CALLBACK_PARAM);
    }
    // The effect could not give its global data back: the host still holds it.
    ASSERT_NE(host.in_data.global_data, nullptr);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    EXPECT_EQ(host.in_data.global_data, nullptr);
    EXPECT_EQ(host.LiveHandleCount(), 0);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

TEST(Books, ASetDownThatKeepsItsHandleLeaksIt) {
    Host host(&ScriptedEntryPoint);
    standin_test::SetEffectBody([](PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, void*) {
        if (cmd == PF_Cmd_GLOBAL_SETUP) out_data->global_data = in_data->utils->host_new_handle(8);
        return PF_Err_NONE;  // and set-down forgets to dispose it
    });
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
    ASSERT_EQ(host.Send(PF_Cmd_GLOBAL_SETDOWN), PF_Err_NONE);
    standin_test::SetEffectBody(nullptr);
    EXPECT_TRUE(Mentions(host.Problems(), "a handle of 8 bytes was not disposed"))
        << Describe(host.Problems());
}

TEST(Books, ParameterSetUpMustDeclareWhatItAdded) {
    Host host(&ScriptedEntryPoint);
    standin_test::SetEffectBody([](PF_Cmd, PF_InData*, PF_OutData* out_data, void*) {
        out_data->num_params = 3;  // but adds nothing
        return PF_Err_NONE;
    });
    host.Send(PF_Cmd_PARAMS_SETUP);
    standin_test::SetEffectBody(nullptr);
    EXPECT_TRUE(Mentions(host.Problems(), "declared 3 parameters but the host holds 1"))
        << Describe(host.Problems());
}

TEST(Host, ServicesOutsideACommandRefuseQuietly) {
    Host host(FixtureEntryPoint());
    EXPECT_EQ(host.in_data.utils->host_new_handle(8), nullptr);
    const void* table = &host;
    EXPECT_NE(host.in_data.pica_basicP->AcquireSuite("PF Handle Suite", 2, &table), 0);
    EXPECT_NE(host.in_data.inter.progress(host.in_data.effect_ref, 0, 1), PF_Err_NONE);
    EXPECT_EQ(host.CallCount(Service::UtilsNewHandle), 0);
}

TEST(Host, SpeaksItsInterfaceGenerationAndOffersBothSuiteVersions) {
    Host host(&ScriptedEntryPoint);
    EXPECT_EQ(host.in_data.version_major, PF_PLUG_IN_VERSION);
    EXPECT_EQ(host.in_data.version_minor, PF_PLUG_IN_SUBVERS);
    struct Offer {
        const char* name;
        A_long version;
        bool offered;
    };
    const Offer offers[] = {
        {kPFHandleSuite, 1, true},     {kPFHandleSuite, 2, true},
        {kPFParamUtilsSuite, 1, true}, {kPFParamUtilsSuite, 2, true},
        {kPFANSISuite, 1, true},       {kAEGPUtilitySuite, 7, true},
        {kPFWorldSuite, 2, true},      {kPFColorCallbacksFloatSuite, 1, true},
        {kPFFillMatteSuite, 2, true},  {kPFHandleSuite, 3, false},
        {kAEGPUtilitySuite, 6, false}, {"PF Nonexistent Suite", 1, false},
    };
    for (const Offer& offer : offers) {
        RunInEffect(host, [&](PF_InData* in_data) {
            const void* table = &offer;
            const SPErr err = in_data->pica_basicP->AcquireSuite(offer.name, offer.version, &table);
            if (offer.offered) {
                EXPECT_EQ(err, 0) << offer.name << " " << offer.version;
                EXPECT_NE(table, nullptr) << offer.name << " " << offer.version;
                in_data->pica_basicP->ReleaseSuite(offer.name, offer.version);
            } else {
                EXPECT_EQ(err, standin::kSuiteNotOffered) << offer.name << " " << offer.version;
                EXPECT_EQ(table, nullptr) << offer.name << " " << offer.version;
            }
            return PF_Err_NONE;
        });
    }
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

TEST(Host, LogsSuiteCallsInOrder) {
    Host host(FixtureEntryPoint());
    host.InjectFailure(Failure::RefuseSuite("AEGP Utility Suite"));
    // Global set-up: the handle suite is acquired, the utility suite refused,
    // and the handle suite released as the effect gives up.
    EXPECT_EQ(host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_BAD_CALLBACK_PARAM);
    std::vector<std::string> suite_calls;
    for (const standin::CallRecord& call : host.call_log()) {
        if (call.service == Service::AcquireSuite || call.service == Service::ReleaseSuite) {
            suite_calls.push_back(std::string(standin::ServiceName(call.service)) + " " +
                                  call.suite_name + " " + std::to_string(call.suite_version) +
                                  (call.injected ? " injected" : ""));
        }
    }
    // The fixture asks for the handle suite of its interface generation.
    const std::string handle_suite =
        std::string(kPFHandleSuite) + " " + (OSTREL_INTERFACE_12_10 ? "1" : "2");
    const std::vector<std::string> expected = {
        "AcquireSuite " + handle_suite,
        "AcquireSuite AEGP Utility Suite 7 injected",
        "ReleaseSuite " + handle_suite,
    };
    EXPECT_EQ(suite_calls, expected);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

TEST(Host, ATableHandedOutWithAnErrorIsNotAcquired) {
    Host host(&ScriptedEntryPoint);
    Failure failure = Failure::Code(Service::AcquireSuite, 1, 77);  // a table, and an error
    failure.suite_name = kPFWorldSuite;
    host.InjectFailure(failure);
    RunInEffect(host, [](PF_InData* in_data) {
        const void* table = nullptr;
        EXPECT_EQ(in_data->pica_basicP->AcquireSuite(kPFWorldSuite, 2, &table), 77);
        EXPECT_NE(table, nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.SuitesHeld(kPFWorldSuite, 2), 0);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

TEST(Host, HandlesAreRealBlocksWithLockCounts) {
    Host host(&ScriptedEntryPoint);
    PF_Handle handle = nullptr;
    RunInEffect(host, [&](PF_InData* in_data) {
        const void* table = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFHandleSuite, 2, &table);
        const PF_HandleSuite1* handles = static_cast<const PF_HandleSuite1*>(table);
        handle = handles->host_new_handle(100);
        char* memory = static_cast<char*>(handles->host_lock_handle(handle));
        std::memset(memory, 7, 100);  // all of it is ours
        EXPECT_EQ(memory, *handle);
        EXPECT_EQ(handles->host_get_handle_size(handle), 100u);
        EXPECT_EQ(handles->host_resize_handle(200, &handle), PF_Err_NONE);
        EXPECT_EQ(static_cast<char*>(*handle)[99], 7);  // contents survive the resize
        in_data->utils->host_lock_handle(handle);
        in_data->pica_basicP->ReleaseSuite(kPFHandleSuite, 2);
        return PF_Err_NONE;
    });
    standin::HandleState state = host.FindHandle(handle);
    EXPECT_TRUE(state.alive);
    EXPECT_EQ(state.size, 200u);
    EXPECT_EQ(state.lock_count, 2);
    RunInEffect(host, [&](PF_InData* in_data) {
        in_data->utils->host_unlock_handle(handle);
        in_data->utils->host_dispose_handle(handle);
        return PF_Err_NONE;
    });
    state = host.FindHandle(handle);
    EXPECT_FALSE(state.alive);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

// ---- Failure on the N-th call, for every service a test can call directly --

struct Tables {
    const PF_HandleSuite1* handles;
    const AEGP_UtilitySuite7* utility;
    const PF_ParamUtilsSuite1* param_utils;
    const PF_WorldSuite2* worlds;
    const PF_ColorCallbacksFloatSuite1* colors;
    const PF_FillMatteSuite2* fills;
};

// One call of a service; true when the call reported the injected failure
// (code 77, or a null result). Cleans up after itself when it succeeds.
using ServiceCall = bool (*)(PF_InData* in_data, const Tables& tables, PF_EffectWorld* world);

struct ServiceCase {
    const char* name;
    Service service;
    ServiceCall call;
};

constexpr PF_Err kInjected = 77;

const ServiceCase kServiceCases[] = {
    {"AcquireSuite", Service::AcquireSuite,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         const void* table = nullptr;
         const SPErr err = in_data->pica_basicP->AcquireSuite(kPFWorldSuite, 2, &table);
         if (table && !err) in_data->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
         return err == kInjected && table == nullptr;
     }},
    {"ReleaseSuite", Service::ReleaseSuite,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         const void* table = nullptr;
         in_data->pica_basicP->AcquireSuite(kPFWorldSuite, 2, &table);
         return in_data->pica_basicP->ReleaseSuite(kPFWorldSuite, 2) == kInjected;
     }},
    {"AllocateBlock", Service::AllocateBlock,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         void* block = nullptr;
         const SPErr err = in_data->pica_basicP->AllocateBlock(16, &block);
         if (block) in_data->pica_basicP->FreeBlock(block);
         return err == kInjected && block == nullptr;
     }},
    {"CheckoutParam", Service::CheckoutParam,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         PF_ParamDef def{};
         const PF_Err err = in_data->inter.checkout_param(in_data->effect_ref, 0, 0, 1, 30, &def);
         if (!err) in_data->inter.checkin_param(in_data->effect_ref, &def);
         return err == kInjected;
     }},
    {"CheckinParam", Service::CheckinParam,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         PF_ParamDef def{};
         in_data->inter.checkout_param(in_data->effect_ref, 0, 0, 1, 30, &def);
         const PF_Err err = in_data->inter.checkin_param(in_data->effect_ref, &def);
         // A failed check-in leaves the parameter out: give it back for real.
         if (err) in_data->inter.checkin_param(in_data->effect_ref, &def);
         return err == kInjected;
     }},
    {"Progress", Service::Progress,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         return in_data->inter.progress(in_data->effect_ref, 1, 2) == kInjected;
     }},
    {"Abort", Service::Abort,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         return in_data->inter.abort(in_data->effect_ref) == kInjected;
     }},
    {"UtilsFill", Service::UtilsFill,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld* world) {
         const PF_Pixel black{};
         return in_data->utils->fill(in_data->effect_ref, &black, nullptr, world) == kInjected;
     }},
    {"UtilsNewHandle", Service::UtilsNewHandle,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         PF_Handle handle = in_data->utils->host_new_handle(4);
         if (handle) in_data->utils->host_dispose_handle(handle);
         return handle == nullptr;
     }},
    {"UtilsLockHandle", Service::UtilsLockHandle,
     [](PF_InData* in_data, const Tables&, PF_EffectWorld*) {
         PF_Handle handle = in_data->utils->host_new_handle(4);
         void* memory = in_data->utils->host_lock_handle(handle);
         in_data->utils->host_dispose_handle(handle);
         return memory == nullptr;
     }},
    {"NewHandle", Service::NewHandle,
     [](PF_InData*, const Tables& tables, PF_EffectWorld*) {
         PF_Handle handle = tables.handles->host_new_handle(4);
         if (handle) tables.handles->host_dispose_handle(handle);
         return handle == nullptr;
     }},
    {"LockHandle", Service::LockHandle,
     [](PF_InData*, const Tables& tables, PF_EffectWorld*) {
         PF_Handle handle = tables.handles->host_new_handle(4);
         void* memory = tables.handles->host_lock_handle(handle);
         tables.handles->host_dispose_handle(handle);
         return memory == nullptr;
     }},
    {"ResizeHandle", Service::ResizeHandle,
     [](PF_InData*, const Tables& tables, PF_EffectWorld*) {
         PF_Handle handle = tables.handles->host_new_handle(4);
         const PF_Err err = tables.handles->host_resize_handle(8, &handle);
         tables.handles->host_dispose_handle(handle);
         return err == kInjected;
     }},
    {"RegisterWithAEGP", Service::RegisterWithAEGP,
     [](PF_InData*, const Tables& tables, PF_EffectWorld*) {
         AEGP_PluginID id = 0;
         return tables.utility->AEGP_RegisterWithAEGP(nullptr, "Probe", &id) == kInjected;
     }},
    {"UpdateParamUI", Service::UpdateParamUI,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         PF_ParamDef def{};  // the input layer, as registered
         return tables.param_utils->PF_UpdateParamUI(in_data->effect_ref, 0, &def) == kInjected;
     }},
    {"GetCurrentState", Service::GetCurrentState,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         PF_State state{};
         return tables.param_utils->PF_GetCurrentState(in_data->effect_ref, &state) == kInjected;
     }},
    {"HasParamChanged", Service::HasParamChanged,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         PF_State state{};
         PF_Boolean changed = 0;
         return tables.param_utils->PF_HasParamChanged(in_data->effect_ref, &state, -3, &changed) ==
                kInjected;
     }},
    {"NewWorld", Service::NewWorld,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         PF_EffectWorld made{};
         const PF_Err err =
             tables.worlds->PF_NewWorld(in_data->effect_ref, 2, 2, 1, PF_PixelFormat_ARGB32, &made);
         if (!err) tables.worlds->PF_DisposeWorld(in_data->effect_ref, &made);
         return err == kInjected;
     }},
    {"GetPixelFormat", Service::GetPixelFormat,
     [](PF_InData*, const Tables& tables, PF_EffectWorld* world) {
         PF_PixelFormat format = 0;
         const PF_Err err = tables.worlds->PF_GetPixelFormat(world, &format);
         if (!err) {
             EXPECT_EQ(format, PF_PixelFormat_ARGB32);
         }
         return err == kInjected && format == PF_PixelFormat_INVALID;
     }},
    {"RGBtoHLS", Service::RGBtoHLS,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         const PF_PixelFloat rgb{1, 1, 0, 0};
         PF_HLS_Pixel hls{};
         return tables.colors->RGBtoHLS(in_data->effect_ref, &rgb, hls) == kInjected;
     }},
    {"HLStoRGB", Service::HLStoRGB,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         const PF_HLS_Pixel hls{0, 0x8000, 0x10000};
         PF_PixelFloat rgb{};
         return tables.colors->HLStoRGB(in_data->effect_ref, hls, &rgb) == kInjected;
     }},
    {"Luminance", Service::Luminance,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld*) {
         const PF_PixelFloat rgb{1, 1, 1, 1};
         float luminance = 0;
         return tables.colors->Luminance(in_data->effect_ref, &rgb, &luminance) == kInjected;
     }},
    {"Fill", Service::Fill,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld* world) {
         const PF_Pixel color{};
         return tables.fills->fill(in_data->effect_ref, &color, nullptr, world) == kInjected;
     }},
    {"Fill16", Service::Fill16,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld* world) {
         const PF_Pixel16 color{};
         return tables.fills->fill16(in_data->effect_ref, &color, nullptr, world) == kInjected;
     }},
    {"FillFloat", Service::FillFloat,
     [](PF_InData* in_data, const Tables& tables, PF_EffectWorld* world) {
         const PF_PixelFloat color{};
         return tables.fills->fill_float(in_data->effect_ref, &color, nullptr, world) == kInjected;
     }},
};

// Test names and ctest entries show the service, not the bytes of the case.
void PrintTo(const ServiceCase& service_case, std::ostream* out) { *out << service_case.name; }

class FailureOnNthCall : public testing::TestWithParam<ServiceCase> {
  protected:
    // Calls the service five times inside one command; which calls failed.
    std::vector<bool> CallFiveTimes(Host& host) {
        std::vector<bool> failed;
        const ServiceCase& service_case = GetParam();
        RunInEffect(host, [&](PF_InData* in_data) {
            // The tables are acquired before the failure counts start.
            Tables tables{};
            const void* table = nullptr;
            SPBasicSuite* basic = in_data->pica_basicP;
            basic->AcquireSuite(kPFHandleSuite, 2, &table);
            tables.handles = static_cast<const PF_HandleSuite1*>(table);
            basic->AcquireSuite(kAEGPUtilitySuite, 7, &table);
            tables.utility = static_cast<const AEGP_UtilitySuite7*>(table);
            basic->AcquireSuite(kPFParamUtilsSuite, 2, &table);
            tables.param_utils = static_cast<const PF_ParamUtilsSuite1*>(table);
            basic->AcquireSuite(kPFWorldSuite, 2, &table);
            tables.worlds = static_cast<const PF_WorldSuite2*>(table);
            basic->AcquireSuite(kPFColorCallbacksFloatSuite, 1, &table);
            tables.colors = static_cast<const PF_ColorCallbacksFloatSuite1*>(table);
            basic->AcquireSuite(kPFFillMatteSuite, 2, &table);
            tables.fills = static_cast<const PF_FillMatteSuite2*>(table);
            host.InjectFailure(failure_);
            for (int call = 0; call < 5; ++call) {
                failed.push_back(service_case.call(in_data, tables, world_->effect_world()));
            }
            host.ClearFailures();
            basic->ReleaseSuite(kPFHandleSuite, 2);
            basic->ReleaseSuite(kAEGPUtilitySuite, 7);
            basic->ReleaseSuite(kPFParamUtilsSuite, 2);
            basic->ReleaseSuite(kPFWorldSuite, 2);
            basic->ReleaseSuite(kPFColorCallbacksFloatSuite, 1);
            basic->ReleaseSuite(kPFFillMatteSuite, 2);
            return PF_Err_NONE;
        });
        return failed;
    }

    void SetUp() override {
        // Fills need a world of their own depth; the host knows it for
        // PF_GetPixelFormat.
        const PF_PixelFormat format = GetParam().service == Service::Fill16 ? PF_PixelFormat_ARGB64
                                      : GetParam().service == Service::FillFloat
                                          ? PF_PixelFormat_ARGB128
                                          : PF_PixelFormat_ARGB32;
        world_ = standin::World::Allocate(3, 2, format);
        failure_ = Failure::Null(GetParam().service, 3, kInjected);
    }

    std::unique_ptr<standin::World> world_;
    Failure failure_;
};

TEST_P(FailureOnNthCall, FailsTheThirdCallOnly) {
    Host host(&ScriptedEntryPoint);
    host.BindFrameWorlds(world_.get(), nullptr);
    const int before = host.CallCount(GetParam().service);
    EXPECT_EQ(CallFiveTimes(host), (std::vector<bool>{false, false, true, false, false}));
    EXPECT_GE(host.CallCount(GetParam().service) - before, 5);
    bool logged_injection = false;
    for (const standin::CallRecord& call : host.CallsOf(GetParam().service)) {
        logged_injection = logged_injection || call.injected;
    }
    EXPECT_TRUE(logged_injection);
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

TEST_P(FailureOnNthCall, FailsEveryCallFromTheThirdOn) {
    Host host(&ScriptedEntryPoint);
    host.BindFrameWorlds(world_.get(), nullptr);
    failure_.every_later_call = true;
    EXPECT_EQ(CallFiveTimes(host), (std::vector<bool>{false, false, true, true, true}));
}

INSTANTIATE_TEST_SUITE_P(Standin, FailureOnNthCall, testing::ValuesIn(kServiceCases),
                         [](const testing::TestParamInfo<ServiceCase>& info) {
                             return info.param.name;
                         });

TEST(FailureInjection, CountsOnlyTheNamedSuite) {
    Host host(&ScriptedEntryPoint);
    host.InjectFailure(Failure::RefuseSuite(kPFFillMatteSuite, 2));
    std::vector<bool> refused;
    RunInEffect(host, [&](PF_InData* in_data) {
        const char* order[] = {kPFFillMatteSuite, kPFWorldSuite, kPFWorldSuite, kPFFillMatteSuite,
                               kPFFillMatteSuite};
        for (const char* name : order) {
            const void* table = nullptr;
            const SPErr err = in_data->pica_basicP->AcquireSuite(name, 2, &table);
            refused.push_back(err != 0);
            if (!err) in_data->pica_basicP->ReleaseSuite(name, 2);
        }
        return PF_Err_NONE;
    });
    EXPECT_EQ(refused, (std::vector<bool>{false, false, false, true, false}));
    EXPECT_TRUE(host.BooksBalanced()) << Describe(host.Problems());
}

}  // namespace
