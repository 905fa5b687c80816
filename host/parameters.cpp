#include "host/parameters.h"

#include "host/commands.h"

namespace {

constexpr PF_Fixed FixedFromInt(A_long value) { return value * 65536; }

constexpr PF_Pixel kOpaqueWhite = {255, 255, 255, 255};
constexpr PF_Pixel kNoColor = {0, 0, 0, 0};

// The controls in the order the user sees them, which is also index order.
// Lengths are in pixels at full resolution.
constexpr ControlDefinition kControls[] = {
    {ParamWidth, "Width", PF_Param_SLIDER, 1, 10000, 1, 100, 10, 0, 0, 0, nullptr, kNoColor},
    {ParamMinimumLength, "Minimum Length", PF_Param_SLIDER, 1, 1000, 1, 50, 10, 0, 0, 0, nullptr,
     kNoColor},
    {ParamDirection, "Direction", PF_Param_POPUP, 0, 0, 0, 0, 1, 0, 0, 2, "Horizontal|Vertical",
     kNoColor},
    {ParamInvert, "Invert", PF_Param_CHECKBOX, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, kNoColor},
    {ParamThreshold, "Threshold", PF_Param_FIX_SLIDER, 0, FixedFromInt(100), 0, FixedFromInt(100),
     FixedFromInt(10), 1, PF_ValueDisplayFlag_PERCENT, 0, nullptr, kNoColor},
    {ParamMode, "Mode", PF_Param_POPUP, 0, 0, 0, 0, 1, 0, 0, 5,
     "RGB|Luminance|Hue|Lightness|Saturation", kNoColor},
    {ParamEdgeThickness, "Edge Thickness", PF_Param_SLIDER, 1, 100, 1, 10, 1, 0, 0, 0, nullptr,
     kNoColor},
    {ParamEdgeMode, "Edge Mode", PF_Param_POPUP, 0, 0, 0, 0, 1, 0, 0, 2, "Lightness|Color",
     kNoColor},
    // The valid range reaches past the slider's for users who type a value.
    {ParamEdgeLightness, "Edge Lightness", PF_Param_FIX_SLIDER, 0, FixedFromInt(5), 0,
     FixedFromInt(2), FixedFromInt(1), 2, PF_ValueDisplayFlag_NONE, 0, nullptr, kNoColor},
    {ParamEdgeColor, "Edge Color", PF_Param_COLOR, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, kOpaqueWhite},
    {ParamColorInvert, "Color Invert", PF_Param_CHECKBOX, 0, 0, 0, 0, 0, 0, 0, 0, nullptr,
     kNoColor},
};

static_assert(sizeof(kControls) / sizeof(kControls[0]) == ParamCount - 1,
              "one definition per control");

constexpr bool ControlsInIndexOrder() {
    for (A_long i = 0; i < ParamCount - 1; ++i) {
        if (kControls[i].index != i + 1) {
            return false;
        }
    }
    return true;
}
static_assert(ControlsInIndexOrder(), "the table is indexed by ParamIndex");

// Fills `def`, already cleared, with what the host is told about `control`.
void DescribeControl(const ControlDefinition& control, const PF_InData* in_data, PF_ParamDef* def) {
    def->param_type = control.kind;
    in_data->utils->ansi.strcpy(def->name, control.name);
    switch (control.kind) {
        case PF_Param_SLIDER:
            def->u.sd.valid_min = control.valid_min;
            def->u.sd.valid_max = control.valid_max;
            def->u.sd.slider_min = control.slider_min;
            def->u.sd.slider_max = control.slider_max;
            def->u.sd.dephault = control.dephault;
            def->u.sd.value = control.dephault;
            break;
        case PF_Param_FIX_SLIDER:
            def->u.fd.valid_min = control.valid_min;
            def->u.fd.valid_max = control.valid_max;
            def->u.fd.slider_min = control.slider_min;
            def->u.fd.slider_max = control.slider_max;
            def->u.fd.dephault = control.dephault;
            def->u.fd.value = control.dephault;
            def->u.fd.precision = control.precision;
            def->u.fd.display_flags = control.display_flags;
            break;
        case PF_Param_POPUP:
            def->u.pd.num_choices = control.num_choices;
            def->u.pd.dephault = static_cast<A_short>(control.dephault);
            def->u.pd.value = control.dephault;
            def->u.pd.u.namesptr = control.choices;
            break;
        case PF_Param_CHECKBOX:
            def->u.bd.value = control.dephault;
            def->u.bd.dephault = static_cast<PF_Boolean>(control.dephault);
            def->u.bd.u.nameptr = "";
            break;
        case PF_Param_COLOR:
            def->u.cd.value = control.color;
            def->u.cd.dephault = control.color;
            break;
    }
    def->uu.id = control.index;
}

}  // namespace

const ControlDefinition& Control(ParamIndex index) { return kControls[index - 1]; }

PF_Err DefineParameters(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                        PF_LayerDef* /*output*/) {
    // One record serves every control: the host copies what it is given.
    PF_ParamDef def;
    for (const ControlDefinition& control : kControls) {
        __builtin_memset(&def, 0, sizeof(def));
        DescribeControl(control, in_data, &def);
        const PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
        if (err) {
            return err;
        }
    }
    out_data->num_params = ParamCount;
    return PF_Err_NONE;
}
