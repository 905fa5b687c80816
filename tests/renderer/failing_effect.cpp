// A small effect module that fails on purpose, for the renderer's tests of
// effect errors. It also has controls of its own, unlike the real effect's,
// so that the tests can show the renderer offers whatever the loaded effect
// registers.
//
// Controls: 1 "Strip Size" (slider 1 to 50), 2 "Fail At" (popup
// "Pre-render|Render"). Smart pre-render fails with 512 when Fail At is
// Pre-render; otherwise smart render fails with 513 and a message.
#include <cstring>
#include <type_traits>

#include "host/interface/ae_effect.h"
#include "host/interface/ae_smart_render.h"

namespace {

enum { kStripSize = 1, kFailAt = 2, kParamCount = 3 };
enum { kFailAtPreRender = 1 };

PF_Err AddParams(PF_InData* in_data, PF_OutData* out_data) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.param_type = PF_Param_SLIDER;
    std::strcpy(def.name, "Strip Size");
    def.u.sd.valid_min = def.u.sd.slider_min = 1;
    def.u.sd.valid_max = def.u.sd.slider_max = 50;
    def.u.sd.value = def.u.sd.dephault = 5;
    def.uu.id = kStripSize;
    PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    if (err) return err;

    std::memset(&def, 0, sizeof def);
    def.param_type = PF_Param_POPUP;
    std::strcpy(def.name, "Fail At");
    def.u.pd.num_choices = 2;
    def.u.pd.value = def.u.pd.dephault = kFailAtPreRender;
    def.u.pd.u.namesptr = "Pre-render|Render";
    def.uu.id = kFailAt;
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    if (err) return err;
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}

PF_Err PreRender(PF_InData* in_data, PF_PreRenderExtra* extra) {
    PF_ParamDef fail_at;
    std::memset(&fail_at, 0, sizeof fail_at);
    PF_Err err = in_data->inter.checkout_param(in_data->effect_ref, kFailAt, in_data->current_time,
                                               in_data->time_step, in_data->time_scale, &fail_at);
    if (err) return err;
    const A_long where = fail_at.u.pd.value;
    err = in_data->inter.checkin_param(in_data->effect_ref, &fail_at);
    if (err) return err;
    if (where == kFailAtPreRender) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    extra->output->result_rect = extra->input->output_request.rect;
    extra->output->max_result_rect = extra->input->output_request.rect;
    return PF_Err_NONE;
}

PF_Err SmartRender(PF_OutData* out_data) {
    std::strcpy(out_data->return_msg, "the failing effect fails");
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    return PF_Err_INVALID_INDEX;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) PF_Err EntryPointFunc(
    PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
    PF_LayerDef* output, void* extra) {
    (void)params;
    (void)output;
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP:
            out_data->my_version = PF_VERSION(1, 0, 0, PF_Stage_DEVELOP, 1);
            out_data->out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
            out_data->out_flags2 =
                PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
            return PF_Err_NONE;
        case PF_Cmd_PARAMS_SETUP:
            return AddParams(in_data, out_data);
        case PF_Cmd_SMART_PRE_RENDER:
            return PreRender(in_data, static_cast<PF_PreRenderExtra*>(extra));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(out_data);
        default:
            return PF_Err_NONE;
    }
}

static_assert(std::is_same<decltype(&EntryPointFunc), PF_EntryPointFunc>::value,
              "the host's entry point signature");
