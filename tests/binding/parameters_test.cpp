// The eleven controls as the host receives them from parameter set-up.
#include <cstring>

#include "tests/binding/effect_harness.h"

namespace ostrel_test {
namespace {

using standin::Failure;
using standin::Service;

constexpr A_long kFixedOne = 65536;

struct ExpectedControl {
    PF_ParamIndex index;
    const char* name;
    PF_ParamType type;
    A_long valid_min, valid_max, slider_min, slider_max, default_value;
    A_short precision, display_flags;
    std::vector<std::string> choices;
};

// What the user sees in the effect controls panel, in order. Fixed sliders
// are raw 16.16.
const std::vector<ExpectedControl>& ExpectedControls() {
    static const std::vector<ExpectedControl> controls = {
        {1, "Width", PF_Param_SLIDER, 1, 10000, 1, 100, 10, 0, 0, {}},
        {2, "Minimum Length", PF_Param_SLIDER, 1, 1000, 1, 50, 10, 0, 0, {}},
        {3, "Direction", PF_Param_POPUP, 0, 0, 0, 0, 1, 0, 0, {"Horizontal", "Vertical"}},
        {4, "Invert", PF_Param_CHECKBOX, 0, 0, 0, 0, 0, 0, 0, {}},
        {5,
         "Threshold",
         PF_Param_FIX_SLIDER,
         0,
         100 * kFixedOne,
         0,
         100 * kFixedOne,
         10 * kFixedOne,
         1,
         PF_ValueDisplayFlag_PERCENT,
         {}},
        {6,
         "Mode",
         PF_Param_POPUP,
         0,
         0,
         0,
         0,
         1,
         0,
         0,
         {"RGB", "Luminance", "Hue", "Lightness", "Saturation"}},
        {7, "Edge Thickness", PF_Param_SLIDER, 1, 100, 1, 10, 1, 0, 0, {}},
        {8, "Edge Mode", PF_Param_POPUP, 0, 0, 0, 0, 1, 0, 0, {"Lightness", "Color"}},
        {9,
         "Edge Lightness",
         PF_Param_FIX_SLIDER,
         0,
         5 * kFixedOne,
         0,
         2 * kFixedOne,
         kFixedOne,
         2,
         PF_ValueDisplayFlag_NONE,
         {}},
        {10, "Edge Color", PF_Param_COLOR, 0, 0, 0, 0, 0, 0, 0, {}},
        {11, "Color Invert", PF_Param_CHECKBOX, 0, 0, 0, 0, 0, 0, 0, {}},
    };
    return controls;
}

TEST_F(HostTest, ParameterSetupRegistersTheElevenControls) {
    host.out_data.num_params = 0;
    ASSERT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_NONE) << DescribeProblems(host);
    EXPECT_EQ(host.out_data.num_params, 12);
    ASSERT_EQ(host.param_count(), 12);

    // Appended one by one, IDs equal to indices, no UI or parameter flag; the
    // input layer is the host's own.
    const std::vector<standin::CallRecord> added = Calls(host, Service::AddParam);
    ASSERT_EQ(added.size(), 11u);
    for (size_t i = 0; i < added.size(); ++i) {
        SCOPED_TRACE(added[i].param_name);
        EXPECT_EQ(added[i].param_index, -1);
        EXPECT_EQ(added[i].param_id, static_cast<A_long>(i + 1));
        EXPECT_NE(added[i].param_type, PF_Param_LAYER);
        EXPECT_EQ(added[i].ui_flags, 0);
        EXPECT_EQ(added[i].param_flags, 0u);
    }

    for (const ExpectedControl& expected : ExpectedControls()) {
        SCOPED_TRACE(expected.name);
        const standin::ControlInfo control = host.Control(expected.index);
        const PF_ParamDef& def = host.definition(expected.index);
        EXPECT_EQ(control.name, expected.name);
        EXPECT_EQ(control.type, expected.type);
        EXPECT_EQ(def.uu.id, expected.index);
        EXPECT_EQ(def.ui_width, 0);
        EXPECT_EQ(def.ui_height, 0);
        switch (expected.type) {
            case PF_Param_SLIDER:
            case PF_Param_FIX_SLIDER:
                EXPECT_EQ(control.valid_min, expected.valid_min);
                EXPECT_EQ(control.valid_max, expected.valid_max);
                EXPECT_EQ(control.slider_min, expected.slider_min);
                EXPECT_EQ(control.slider_max, expected.slider_max);
                EXPECT_EQ(control.default_value, expected.default_value);
                EXPECT_EQ(control.value, expected.default_value);
                if (expected.type == PF_Param_FIX_SLIDER) {
                    EXPECT_EQ(control.precision, expected.precision);
                    EXPECT_EQ(control.display_flags, expected.display_flags);
                    EXPECT_STREQ(def.u.fd.value_str, "");
                    EXPECT_STREQ(def.u.fd.value_desc, "");
                } else {
                    EXPECT_STREQ(def.u.sd.value_str, "");
                    EXPECT_STREQ(def.u.sd.value_desc, "");
                }
                break;
            case PF_Param_POPUP:
                EXPECT_EQ(control.choices, expected.choices);
                EXPECT_EQ(def.u.pd.num_choices, static_cast<A_short>(expected.choices.size()));
                EXPECT_EQ(control.default_value, expected.default_value);
                EXPECT_EQ(control.value, expected.default_value);
                break;
            case PF_Param_CHECKBOX:
                EXPECT_EQ(control.checkbox_label, "");
                EXPECT_EQ(control.default_value, 0);
                EXPECT_EQ(control.value, 0);
                break;
            case PF_Param_COLOR: {
                const PF_Pixel white = {255, 255, 255, 255};
                EXPECT_EQ(std::memcmp(&control.default_color, &white, sizeof(white)), 0);
                EXPECT_EQ(std::memcmp(&control.color, &white, sizeof(white)), 0);
                break;
            }
        }
    }
    EXPECT_BOOKS_BALANCED(host);
}

// A refusal ends set-up at once: what was added stays, the rest is not
// tried, and num_params keeps the host's value.
TEST_F(HostTest, ParameterSetupStopsAtTheFirstRefusal) {
    host.out_data.num_params = 99;
    host.InjectFailure(Failure::Code(Service::AddParam, 5, 37));
    EXPECT_EQ(host.Send(PF_Cmd_PARAMS_SETUP), 37);
    EXPECT_EQ(host.CallCount(Service::AddParam), 5);
    EXPECT_EQ(Calls(host, Service::AddParam).back().param_name, "Threshold");
    EXPECT_EQ(host.param_count(), 5);  // the layer and four controls
    EXPECT_EQ(host.out_data.num_params, 99);
    EXPECT_STREQ(host.out_data.return_msg, "");
    EXPECT_BOOKS_BALANCED(host);
}

}  // namespace
}  // namespace ostrel_test
