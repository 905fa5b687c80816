// Parameter storage: definitions as registered, values by index and at a
// time, the parameter state and the UI flags.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/standin_host/fixture.h"

namespace {

using standin::ControlInfo;
using standin::EffectInstance;
using standin::Host;
using standin::Service;
using standin_test::Describe;
using standin_test::FixtureEntryPoint;
using namespace standin_test;  // the fixture's control indices

class Parameters : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(instance_.Start(), PF_Err_NONE); }

    Host host_{&standin_test::ProbedFixtureEntryPoint};
    EffectInstance instance_{host_};
};

TEST_F(Parameters, KeepsTheDefinitionsAsRegistered) {
    const std::vector<ControlInfo> controls = instance_.Controls();
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(host_.param_count(), 6);
    EXPECT_EQ(host_.definition(0).param_type, PF_Param_LAYER);

    EXPECT_EQ(controls[0].name, "Size");
    EXPECT_EQ(controls[0].type, PF_Param_SLIDER);
    EXPECT_EQ(controls[0].valid_max, 100);
    EXPECT_EQ(controls[0].slider_max, 10);
    EXPECT_EQ(controls[0].default_value, 2);

    EXPECT_EQ(controls[1].type, PF_Param_FIX_SLIDER);
    EXPECT_EQ(controls[1].default_value, 0x10000);
    EXPECT_EQ(controls[1].precision, 2);

    // The effect overwrote its choice string after add_param: the host kept a copy.
    EXPECT_EQ(controls[2].choices, (std::vector<std::string>{"Box", "Line"}));
    EXPECT_STREQ(host_.definition(kShape).u.pd.u.namesptr, "Box|Line");
    EXPECT_EQ(controls[2].valid_max, 2);

    EXPECT_EQ(controls[3].checkbox_label, "upside down");
    EXPECT_EQ(controls[4].default_color.red, 10);
    EXPECT_EQ(host_.definition(kTint).uu.id, kTint);
    EXPECT_EQ(instance_.FindControl("Tint"), kTint);
    EXPECT_EQ(instance_.FindControl("tint"), -1);

    // add_param was called once per control, each appending.
    const std::vector<standin::CallRecord> adds = host_.CallsOf(Service::AddParam);
    ASSERT_EQ(adds.size(), 5u);
    EXPECT_EQ(adds[4].param_index, -1);
    EXPECT_EQ(adds[4].param_name, "Tint");
}

TEST_F(Parameters, SetsValuesByIndexAndKind) {
    EXPECT_TRUE(host_.SetValue(kSize, 500));  // stored as given, out of range or not
    EXPECT_EQ(host_.definition(kSize).u.sd.value, 500);
    EXPECT_TRUE(host_.SetValue(kShape, 2));
    EXPECT_EQ(host_.definition(kShape).u.pd.value, 2);
    EXPECT_TRUE(host_.SetColor(kTint, PF_Pixel{1, 2, 3, 4}));
    EXPECT_EQ(host_.definition(kTint).u.cd.value.blue, 4);

    EXPECT_FALSE(host_.SetValue(kTint, 1));           // a colour takes SetColor
    EXPECT_FALSE(host_.SetColor(kSize, PF_Pixel{}));  // a slider takes SetValue
    EXPECT_FALSE(host_.SetValue(0, 1));               // the layer has no value
    EXPECT_FALSE(host_.SetValue(6, 1));               // no such parameter
    EXPECT_FALSE(host_.SetValue(-1, 1));
}

TEST_F(Parameters, CheckoutGivesTheValueAtTheTimeAskedFor) {
    // Keyframes at 10/30 s and 20/30 s; before the first, the constant value.
    ASSERT_TRUE(host_.SetValueAt(kSize, 10, 30, 7));
    ASSERT_TRUE(host_.SetValueAt(kSize, 20, 30, 9));
    ASSERT_TRUE(host_.SetColorAt(kTint, 15, 30, PF_Pixel{255, 1, 1, 1}));
    struct Moment {
        A_long time;
        A_u_long scale;
        A_long size;
        A_u_char tint_red;
    };
    const Moment moments[] = {
        {0, 30, 2, 10}, {9, 30, 2, 10},   {10, 30, 7, 10}, {15, 30, 7, 1},
        {19, 30, 7, 1}, {20, 30, 9, 1},   {2, 3, 9, 1},  // 2/3 s is 20/30 s
        {1, 3, 7, 10},  {1000, 30, 9, 1},
    };
    for (const Moment& moment : moments) {
        std::vector<PF_ParamDef> checked_out(6);
        standin_test::RunInEffect(host_, [&](PF_InData* in_data) {
            for (A_long index : {A_long{kSize}, A_long{kTint}}) {
                EXPECT_EQ(in_data->inter.checkout_param(in_data->effect_ref, index, moment.time, 1,
                                                        moment.scale, &checked_out[index]),
                          PF_Err_NONE);
                in_data->inter.checkin_param(in_data->effect_ref, &checked_out[index]);
            }
            return PF_Err_NONE;
        });
        EXPECT_EQ(checked_out[kSize].u.sd.value, moment.size) << moment.time << "/" << moment.scale;
        EXPECT_EQ(checked_out[kTint].u.cd.value.red, moment.tint_red)
            << moment.time << "/" << moment.scale;
        // The rest of the definition comes along.
        EXPECT_STREQ(checked_out[kSize].name, "Size");
        EXPECT_EQ(checked_out[kSize].u.sd.valid_max, 100);
    }
    // A constant value replaces the keyframes.
    ASSERT_TRUE(host_.SetValue(kSize, 4));
    EXPECT_EQ(host_.ValueAt(kSize, 25, 30).u.sd.value, 4);
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST_F(Parameters, CheckoutOfAnUnknownIndexIsRefused) {
    standin_test::RunInEffect(host_, [](PF_InData* in_data) {
        PF_ParamDef def{};
        EXPECT_EQ(in_data->inter.checkout_param(in_data->effect_ref, 6, 0, 1, 30, &def),
                  PF_Err_INVALID_INDEX);
        EXPECT_EQ(in_data->inter.checkout_param(in_data->effect_ref, -1, 0, 1, 30, &def),
                  PF_Err_INVALID_INDEX);
        return PF_Err_NONE;
    });
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

// The state the host writes now, and whether it reports `since` as changed.
bool ChangedSince(Host& host, const PF_State& since, PF_ParamIndex index = -3) {
    PF_Boolean changed = 2;
    standin_test::RunInEffect(host, [&](PF_InData* in_data) {
        const void* table = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFParamUtilsSuite, 2, &table);
        const PF_ParamUtilsSuite1* utils = static_cast<const PF_ParamUtilsSuite1*>(table);
        EXPECT_EQ(utils->PF_HasParamChanged(in_data->effect_ref, &since, index, &changed),
                  PF_Err_NONE);
        in_data->pica_basicP->ReleaseSuite(kPFParamUtilsSuite, 2);
        return PF_Err_NONE;
    });
    EXPECT_LE(changed, 1);
    return changed != 0;
}

TEST_F(Parameters, StateChangesWithEveryValueChange) {
    struct Change {
        const char* what;
        std::function<void(Host&)> apply;
        bool changes;
    };
    const Change changes[] = {
        {"nothing", [](Host&) {}, false},
        {"a slider", [](Host& host) { host.SetValue(kSize, 3); }, true},
        {"a slider to its own value", [](Host& host) { host.SetValue(kSize, 3); }, false},
        {"a fixed slider", [](Host& host) { host.SetValue(kGain, 0x10001); }, true},
        {"a popup", [](Host& host) { host.SetValue(kShape, 2); }, true},
        {"a checkbox", [](Host& host) { host.SetValue(kFlip, 1); }, true},
        {"a colour",
         [](Host& host) {
             host.SetColor(kTint, PF_Pixel{255, 10, 20, 31});
         },
         true},
        {"a keyframe", [](Host& host) { host.SetValueAt(kSize, 5, 30, 2); }, true},
        {"a value there and back",
         [](Host& host) {
             host.SetValue(kSize, 8);
             host.SetValue(kSize, 3);
         },
         true},
    };
    for (const Change& change : changes) {
        const PF_State before = host_.CurrentState();
        change.apply(host_);
        const PF_State after = host_.CurrentState();
        EXPECT_EQ(std::memcmp(&before, &after, sizeof(PF_State)) != 0, change.changes)
            << change.what;
        EXPECT_EQ(ChangedSince(host_, before), change.changes) << change.what;
    }
}

TEST_F(Parameters, HasParamChangedLooksAtOneParameterOrAll) {
    const PF_State before = host_.CurrentState();
    host_.SetValue(kShape, 2);
    EXPECT_TRUE(ChangedSince(host_, before, PF_ParamIndex_CHECK_ALL));
    EXPECT_TRUE(ChangedSince(host_, before, PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS));
    EXPECT_TRUE(ChangedSince(host_, before, PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE));
    EXPECT_TRUE(ChangedSince(host_, before, kShape));
    EXPECT_FALSE(ChangedSince(host_, before, kSize));

    // A state the host never wrote (a zero-filled record, another host's)
    // cannot match.
    EXPECT_TRUE(ChangedSince(host_, PF_State{}));
    Host other(FixtureEntryPoint());
    EXPECT_TRUE(ChangedSince(host_, other.CurrentState()));
    EXPECT_FALSE(ChangedSince(host_, host_.CurrentState()));
}

TEST_F(Parameters, UiUpdatesRecordEachControlsFlagsWithoutChangingTheState) {
    EXPECT_FALSE(host_.Control(kGain).disabled());
    const int handles_made = host_.CallCount(Service::UtilsNewHandle);

    // No value changed since set-up's update: the effect keeps its snapshot.
    ASSERT_EQ(instance_.UpdateParamsUi(), PF_Err_NONE);
    EXPECT_EQ(host_.CallCount(Service::UtilsNewHandle), handles_made);

    host_.SetValue(kShape, 2);
    host_.ClearCallLog();
    ASSERT_EQ(instance_.UpdateParamsUi(kShape), PF_Err_NONE);
    EXPECT_EQ(host_.CallCount(Service::UtilsNewHandle), handles_made + 1);
    EXPECT_TRUE(host_.Control(kGain).disabled());
    ASSERT_NE(host_.LastUiUpdate(kGain), nullptr);
    EXPECT_STREQ(host_.LastUiUpdate(kGain)->name, "Gain");
    EXPECT_EQ(host_.LastUiUpdate(kSize), nullptr);
    const std::vector<standin::CallRecord> updates = host_.CallsOf(Service::UpdateParamUI);
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].param_index, kGain);
    EXPECT_EQ(updates[0].ui_flags & PF_PUI_DISABLED, PF_PUI_DISABLED);

    // The flags are UI, not values: the new snapshot still matches.
    ASSERT_EQ(instance_.UpdateParamsUi(), PF_Err_NONE);
    EXPECT_EQ(host_.CallCount(Service::UtilsNewHandle), handles_made + 1);
    EXPECT_TRUE(host_.BooksBalanced()) << Describe(host_.Problems());
}

TEST(ParameterUi, AnUpdateOfTheWrongKindIsAProblem) {
    Host host(&standin_test::ScriptedEntryPoint);
    standin_test::RunInEffect(host, [](PF_InData* in_data) {
        const void* table = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFParamUtilsSuite, 1, &table);
        PF_ParamDef def{};
        def.param_type = PF_Param_COLOR;  // index 0 is the layer
        static_cast<const PF_ParamUtilsSuite1*>(table)->PF_UpdateParamUI(in_data->effect_ref, 0,
                                                                         &def);
        in_data->pica_basicP->ReleaseSuite(kPFParamUtilsSuite, 1);
        return PF_Err_NONE;
    });
    ASSERT_EQ(host.Problems().size(), 1u);
    EXPECT_NE(host.Problems()[0].find("PF_UpdateParamUI for parameter 0"), std::string::npos);
}

}  // namespace
