// Smart pre-render: reads the controls at the frame's time into a settings
// record for the render, and asks for the input layer.
#include "host/pre_render.h"

#include "engine/render_settings.h"
#include "host/commands.h"
#include "host/owned_handle.h"
#include "host/parameters.h"
#include "host/suite_handler.h"

namespace {

// The order in which the controls are read.
constexpr ParamIndex kCheckoutOrder[] = {
    ParamDirection, ParamInvert,    ParamWidth,         ParamMinimumLength,
    ParamMode,      ParamThreshold, ParamEdgeThickness, ParamEdgeLightness,
    ParamEdgeMode,  ParamEdgeColor, ParamColorInvert,
};
static_assert(sizeof(kCheckoutOrder) / sizeof(kCheckoutOrder[0]) == ParamCount - 1,
              "every control is read");

bool IsEmpty(const PF_LRect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

// The control values at the frame's time, indexed by ParamIndex.
struct CheckedOutControls {
    PF_ParamDef defs[ParamCount];
    A_long count;  // how many of kCheckoutOrder the host handed out
};

PF_Err CheckOutControls(PF_InData* in_data, CheckedOutControls* controls) {
    __builtin_memset(controls, 0, sizeof(*controls));
    for (const ParamIndex index : kCheckoutOrder) {
        const PF_Err err = in_data->inter.checkout_param(
            in_data->effect_ref, index, in_data->current_time, in_data->time_step,
            in_data->time_scale, &controls->defs[index]);
        if (err) {
            return err;
        }
        ++controls->count;
    }
    return PF_Err_NONE;
}

// Every definition handed out is handed back, whatever happened after: the
// values were copied where they are needed. Like a suite release, a refused
// check-in cannot be mended here and does not spoil the frame.
void CheckInControls(PF_InData* in_data, CheckedOutControls* controls) {
    for (A_long i = 0; i < controls->count; ++i) {
        in_data->inter.checkin_param(in_data->effect_ref, &controls->defs[kCheckoutOrder[i]]);
    }
}

void FillSettings(const PF_ParamDef defs[], double scale, RenderSettings* settings) {
    __builtin_memset(settings, 0, sizeof(*settings));
    settings->scale = scale;
    settings->direction = defs[ParamDirection].u.pd.value;
    settings->invert = defs[ParamInvert].u.bd.value;
    // Lengths follow the horizontal factor alone, whichever way they run.
    settings->strip_width = ScaleLength(defs[ParamWidth].u.sd.value, scale);
    settings->min_length = ScaleLength(defs[ParamMinimumLength].u.sd.value, scale);
    settings->mode = defs[ParamMode].u.pd.value;
    settings->threshold = defs[ParamThreshold].u.fd.value;
    settings->edge_thickness = ScaleLength(defs[ParamEdgeThickness].u.sd.value, scale);
    settings->edge_mode = defs[ParamEdgeMode].u.pd.value;
    settings->edge_color = defs[ParamEdgeColor].u.cd.value;
    settings->edge_lightness = defs[ParamEdgeLightness].u.fd.value;
    settings->color_invert = defs[ParamColorInvert].u.bd.value;
}

}  // namespace

void AccumulateRect(const PF_LRect& source, PF_LRect* target) {
    if (IsEmpty(*target)) {
        *target = source;
    } else if (!IsEmpty(source)) {
        if (source.left < target->left) target->left = source.left;
        if (source.top < target->top) target->top = source.top;
        if (source.right > target->right) target->right = source.right;
        if (source.bottom > target->bottom) target->bottom = source.bottom;
    }
}

PF_Err PrepareRender(PF_InData* in_data, PF_OutData* /*out_data*/, PF_PreRenderExtra* extra) {
    // A factor with no denominator has no meaning; refuse it before making anything.
    if (in_data->downsample_x.den == 0) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_RenderRequest input_request = extra->input->output_request;
    SuiteHandler suites(in_data->pica_basicP);
    const HandleSuiteTable* handles = suites.HandleSuite();

    // The record is given back to the host here unless it reaches the render.
    OwnedHandle settings_handle(handles->host_new_handle(sizeof(RenderSettings)), *handles);
    if (!settings_handle.get()) {
        return PF_Err_OUT_OF_MEMORY;
    }
    RenderSettings* settings =
        static_cast<RenderSettings*>(settings_handle.Lock(handles->host_lock_handle));
    if (!settings) {
        return PF_Err_OUT_OF_MEMORY;
    }

    CheckedOutControls controls;
    PF_Err err = CheckOutControls(in_data, &controls);

    PF_CheckoutResult input_result;
    if (!err) {
        // The layer is read as stored, colour under zero alpha included.
        input_request.preserve_rgb_of_zero_alpha = 1;
        __builtin_memset(&input_result, 0, sizeof(input_result));
        err = extra->cb->checkout_layer(in_data->effect_ref, ParamInput, kInputCheckoutId,
                                        &input_request, in_data->current_time, in_data->time_step,
                                        in_data->time_scale, &input_result);
    }
    if (!err) {
        const double scale = static_cast<double>(in_data->downsample_x.num) /
                             static_cast<double>(in_data->downsample_x.den);
        FillSettings(controls.defs, scale, settings);
    }

    CheckInControls(in_data, &controls);
    if (err) {
        // A record left unfilled is not handed over: it goes back to the host
        // as settings_handle ends, and pre_render_data stays as it was.
        return err;
    }

    AccumulateRect(input_result.result_rect, &extra->output->result_rect);
    AccumulateRect(input_result.max_result_rect, &extra->output->max_result_rect);
    // The render locks the record again to read it, and gives it back.
    settings_handle.Unlock();
    extra->output->pre_render_data = settings_handle.Release();
    return PF_Err_NONE;
}
