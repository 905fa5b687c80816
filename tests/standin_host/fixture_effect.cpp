// A tiny effect module for testing the stand-in host's own mechanics: it
// calls the host's services the way a well-behaved effect does, and on
// PF_Cmd_COMPLETELY_GENERAL misbehaves on request (extra names the fault) so
// that tests can check the books catch it.
//
// Controls: 1 "Size" slider, 2 "Gain" fixed slider, 3 "Shape" popup,
// 4 "Flip" checkbox, 5 "Tint" colour. A frame is filled with Tint, then a
// Size x Size square at the origin gets the input's first pixel.
#include <cstring>

#include "host/interface/ae_effect.h"
#include "host/interface/ae_smart_render.h"
#include "host/interface/ae_suites.h"

namespace {

#if OSTREL_INTERFACE_12_10
constexpr A_long kHandleSuiteVersion = kPFHandleSuiteVersion1;
constexpr A_long kParamUtilsVersion = kPFParamUtilsSuiteVersion1;
#else
constexpr A_long kHandleSuiteVersion = kPFHandleSuiteVersion2;
constexpr A_long kParamUtilsVersion = kPFParamUtilsSuiteVersion2;
#endif

struct Settings {
    A_long size;
    PF_Fixed gain;
    PF_Pixel tint;
};

// Acquires one suite for the length of a scope.
template <typename Table>
class Suite {
  public:
    Suite(PF_InData* in_data, const char* name, A_long version)
        : basic_(in_data->pica_basicP), name_(name), version_(version) {
        const void* table = nullptr;
        if (basic_ && basic_->AcquireSuite(name, version, &table) == 0 && table) {
            table_ = static_cast<const Table*>(table);
        }
    }
    ~Suite() {
        if (table_) basic_->ReleaseSuite(name_, version_);
    }
    const Table* operator->() const { return table_; }
    explicit operator bool() const { return table_ != nullptr; }

  private:
    SPBasicSuite* basic_;
    const char* name_;
    A_long version_;
    const Table* table_ = nullptr;
};

void Name(PF_InData* in_data, PF_ParamDef* def, const char* name) {
    in_data->utils->ansi.strcpy(def->name, name);
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = PF_VERSION(2, 1, 0, PF_Stage_DEVELOP, 7);
    out_data->out_flags |= PF_OutFlag_SEND_UPDATE_PARAMS_UI;
    out_data->out_flags2 |= PF_OutFlag2_SUPPORTS_SMART_RENDER;
    Suite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kHandleSuiteVersion);
    if (!handles) return PF_Err_BAD_CALLBACK_PARAM;
    Suite<AEGP_UtilitySuite7> utility(in_data, kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7);
    if (!utility) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Handle global = handles->host_new_handle(sizeof(AEGP_PluginID));
    if (!global) return PF_Err_OUT_OF_MEMORY;
    void* memory = handles->host_lock_handle(global);
    PF_Err err = memory ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    if (!err) {
        err =
            utility->AEGP_RegisterWithAEGP(nullptr, "Fixture", static_cast<AEGP_PluginID*>(memory));
        handles->host_unlock_handle(global);
    }
    if (err) {
        handles->host_dispose_handle(global);
        return err;
    }
    out_data->global_data = global;
    return PF_Err_NONE;
}

PF_Err GlobalSetdown(PF_InData* in_data) {
    Suite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kHandleSuiteVersion);
    if (!handles) return PF_Err_BAD_CALLBACK_PARAM;
    if (in_data->global_data) handles->host_dispose_handle(in_data->global_data);
    return PF_Err_NONE;
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
    PF_ParamDef def;
    PF_Err err = PF_Err_NONE;
    auto add = [&](A_long id) {
        def.uu.id = id;
        if (!err) err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    };
    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_SLIDER;
    Name(in_data, &def, "Size");
    def.u.sd.valid_min = 0;
    def.u.sd.valid_max = 100;
    def.u.sd.slider_min = 0;
    def.u.sd.slider_max = 10;
    def.u.sd.value = def.u.sd.dephault = 2;
    add(1);

    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_FIX_SLIDER;
    Name(in_data, &def, "Gain");
    def.u.fd.valid_max = def.u.fd.slider_max = 0x20000;
    def.u.fd.value = def.u.fd.dephault = 0x10000;
    def.u.fd.precision = 2;
    add(2);

    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_POPUP;
    Name(in_data, &def, "Shape");
    // Built on the stack: the host must keep its own copy.
    char choices[16];
    in_data->utils->ansi.strcpy(choices, "Box|Line");
    def.u.pd.u.namesptr = choices;
    def.u.pd.num_choices = 2;
    def.u.pd.value = def.u.pd.dephault = 1;
    add(3);
    std::memset(choices, 'x', sizeof(choices) - 1);

    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_CHECKBOX;
    Name(in_data, &def, "Flip");
    def.u.bd.u.nameptr = "upside down";
    add(4);

    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_COLOR;
    Name(in_data, &def, "Tint");
    def.u.cd.value = def.u.cd.dephault = PF_Pixel{255, 10, 20, 30};
    add(5);

    if (!err) out_data->num_params = 6;
    return err;
}

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
    PF_Handle state = in_data->utils->host_new_handle(sizeof(PF_State));
    if (!state) return PF_Err_OUT_OF_MEMORY;
    std::memset(*state, 0, sizeof(PF_State));
    out_data->sequence_data = state;
    return PF_Err_NONE;
}

PF_Err SequenceSetdown(PF_InData* in_data) {
    if (in_data->sequence_data) in_data->utils->host_dispose_handle(in_data->sequence_data);
    return PF_Err_NONE;
}

// Keeps a parameter-state snapshot and greys out Gain when Shape is Line.
PF_Err UpdateUi(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[]) {
    Suite<PF_ParamUtilsSuite1> param_utils(in_data, kPFParamUtilsSuite, kParamUtilsVersion);
    if (!param_utils) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Boolean changed = 1;
    PF_Err err = PF_Err_NONE;
    if (in_data->sequence_data) {
        err = param_utils->PF_HasParamChanged(in_data->effect_ref,
                                              static_cast<PF_State*>(*in_data->sequence_data),
                                              PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, &changed);
    }
    if (!err && changed) {
        PF_Handle fresh = in_data->utils->host_new_handle(sizeof(PF_State));
        if (!fresh) return PF_Err_OUT_OF_MEMORY;
        err = param_utils->PF_GetCurrentState(in_data->effect_ref, static_cast<PF_State*>(*fresh));
        if (err) {
            in_data->utils->host_dispose_handle(fresh);
            return err;
        }
        if (in_data->sequence_data) in_data->utils->host_dispose_handle(in_data->sequence_data);
        in_data->sequence_data = out_data->sequence_data = fresh;
    }
    if (!err) {
        PF_ParamDef copy = *params[2];
        if (params[3]->u.pd.value == 2) {
            copy.ui_flags |= PF_PUI_DISABLED;
        } else {
            copy.ui_flags &= ~PF_PUI_DISABLED;
        }
        err = param_utils->PF_UpdateParamUI(in_data->effect_ref, 2, &copy);
    }
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    return err;
}

PF_Err PreRender(PF_InData* in_data, PF_PreRenderExtra* extra) {
    Suite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kHandleSuiteVersion);
    if (!handles) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Handle handle = handles->host_new_handle(sizeof(Settings));
    if (!handle) return PF_Err_OUT_OF_MEMORY;
    Settings* settings = static_cast<Settings*>(handles->host_lock_handle(handle));
    if (!settings) {
        handles->host_dispose_handle(handle);
        return PF_Err_OUT_OF_MEMORY;
    }
    PF_ParamDef controls[6];
    std::memset(controls, 0, sizeof(controls));
    PF_Err err = PF_Err_NONE;
    for (A_long index = 1; index <= 5 && !err; ++index) {
        err = in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time,
                                            in_data->time_step, in_data->time_scale,
                                            &controls[index]);
        if (!err) {
            settings->size = index == 1 ? controls[1].u.sd.value : settings->size;
            settings->gain = index == 2 ? controls[2].u.fd.value : settings->gain;
            if (index == 5) settings->tint = controls[5].u.cd.value;
            err = in_data->inter.checkin_param(in_data->effect_ref, &controls[index]);
        }
    }
    PF_RenderRequest request = extra->input->output_request;
    request.preserve_rgb_of_zero_alpha = 1;
    PF_CheckoutResult layer;
    std::memset(&layer, 0, sizeof(layer));
    if (!err) {
        err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                        in_data->time_step, in_data->time_scale, &layer);
    }
    handles->host_unlock_handle(handle);
    if (err) {
        handles->host_dispose_handle(handle);
        return err;
    }
    extra->output->result_rect = layer.result_rect;
    extra->output->max_result_rect = layer.max_result_rect;
    extra->output->pre_render_data = handle;
    return PF_Err_NONE;
}

template <typename Pixel>
Pixel Scaled(const PF_Pixel& color, float full_scale);
template <>
PF_Pixel Scaled<PF_Pixel>(const PF_Pixel& color, float) {
    return color;
}
template <>
PF_Pixel16 Scaled<PF_Pixel16>(const PF_Pixel& color, float) {
    return PF_Pixel16{
        static_cast<A_u_short>(color.alpha * 128), static_cast<A_u_short>(color.red * 128),
        static_cast<A_u_short>(color.green * 128), static_cast<A_u_short>(color.blue * 128)};
}
template <>
PF_PixelFloat Scaled<PF_PixelFloat>(const PF_Pixel& color, float) {
    return PF_PixelFloat{color.alpha / 255.0f, color.red / 255.0f, color.green / 255.0f,
                         color.blue / 255.0f};
}

PF_Err Paint(const PF_FillMatteSuite2* fills, PF_ProgPtr ref, const PF_Pixel* color,
             const PF_Rect* rect, PF_EffectWorld* world) {
    return fills->fill(ref, color, rect, world);
}
PF_Err Paint(const PF_FillMatteSuite2* fills, PF_ProgPtr ref, const PF_Pixel16* color,
             const PF_Rect* rect, PF_EffectWorld* world) {
    return fills->fill16(ref, color, rect, world);
}
PF_Err Paint(const PF_FillMatteSuite2* fills, PF_ProgPtr ref, const PF_PixelFloat* color,
             const PF_Rect* rect, PF_EffectWorld* world) {
    return fills->fill_float(ref, color, rect, world);
}

template <typename Pixel>
PF_Err PaintFrame(PF_InData* in_data, const Settings& settings, const PF_FillMatteSuite2* fills,
                  PF_EffectWorld* input, PF_EffectWorld* output) {
    PF_Err err = PF_Err_NONE;
    for (A_long y = 0; y < output->height && !err; ++y) {
        err = in_data->inter.progress(in_data->effect_ref, y, output->height);
    }
    if (err) return err;
    const Pixel tint = Scaled<Pixel>(settings.tint, 0);
    Paint(fills, in_data->effect_ref, &tint, nullptr, output);
    PF_Rect square;
    std::memset(&square, 0, sizeof(square));
    square.right = static_cast<decltype(square.right)>(settings.size);
    square.bottom = static_cast<decltype(square.bottom)>(settings.size);
    const Pixel first = *static_cast<const Pixel*>(input->data);
    return Paint(fills, in_data->effect_ref, &first, &square, output);
}

PF_Err SmartRender(PF_InData* in_data, PF_SmartRenderExtra* extra) {
    Suite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kHandleSuiteVersion);
    if (!handles) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Handle handle = static_cast<PF_Handle>(extra->input->pre_render_data);
    const Settings* settings = static_cast<const Settings*>(handles->host_lock_handle(handle));
    if (!settings) return PF_Err_BAD_CALLBACK_PARAM;

    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &input);
    const bool input_out = !err && input;
    if (!err) err = extra->cb->checkout_output(in_data->effect_ref, &output);
    if (!err && (!input || !output)) err = PF_Err_BAD_CALLBACK_PARAM;
    {
        Suite<PF_WorldSuite2> worlds(in_data, kPFWorldSuite, kPFWorldSuiteVersion2);
        Suite<PF_FillMatteSuite2> fills(in_data, kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
        Suite<PF_ColorCallbacksFloatSuite1> colors(in_data, kPFColorCallbacksFloatSuite,
                                                   kPFColorCallbacksFloatSuiteVersion1);
        if (!err && (!worlds || !fills || !colors)) err = PF_Err_BAD_CALLBACK_PARAM;
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        if (!err) err = worlds->PF_GetPixelFormat(input, &format);
        if (!err) {
            PF_PixelFloat probe{1.0f, 0.5f, 0.25f, 0.0f};
            PF_HLS_Pixel hls;
            err = colors->RGBtoHLS(in_data->effect_ref, &probe, hls);
        }
        if (!err) {
            switch (format) {
                case PF_PixelFormat_ARGB32:
                    err =
                        PaintFrame<PF_Pixel>(in_data, *settings, fills.operator->(), input, output);
                    break;
                case PF_PixelFormat_ARGB64:
                    err = PaintFrame<PF_Pixel16>(in_data, *settings, fills.operator->(), input,
                                                 output);
                    break;
                case PF_PixelFormat_ARGB128:
                    err = PaintFrame<PF_PixelFloat>(in_data, *settings, fills.operator->(), input,
                                                    output);
                    break;
                default:
                    err = PF_Err_BAD_CALLBACK_PARAM;
            }
        }
    }
    if (input_out) {
        const PF_Err checkin = extra->cb->checkin_layer_pixels(in_data->effect_ref, 0);
        if (!err) err = checkin;
    }
    handles->host_unlock_handle(handle);
    handles->host_dispose_handle(handle);
    return err;
}

// Faults on purpose, named by `action`.
PF_Err Misbehave(PF_InData* in_data, const char* action) {
    SPBasicSuite* basic = in_data->pica_basicP;
    PF_UtilCallbacks* utils = in_data->utils;
    const void* table = nullptr;
    if (std::strcmp(action, "leak_handle") == 0) {
        return utils->host_new_handle(4) ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    }
    if (std::strcmp(action, "release_unacquired") == 0) {
        return basic->ReleaseSuite(kPFHandleSuite, kHandleSuiteVersion);
    }
    if (std::strcmp(action, "keep_suite") == 0) {
        return basic->AcquireSuite(kPFHandleSuite, kHandleSuiteVersion, &table);
    }
    if (std::strcmp(action, "release_other_version") == 0) {
        basic->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion2, &table);
        return basic->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1);
    }
    if (std::strcmp(action, "dispose_unknown") == 0) {
        void* block = nullptr;
        utils->host_dispose_handle(&block);
        return PF_Err_NONE;
    }
    if (std::strcmp(action, "dispose_twice") == 0) {
        PF_Handle handle = utils->host_new_handle(4);
        utils->host_dispose_handle(handle);
        utils->host_dispose_handle(handle);
        return PF_Err_NONE;
    }
    if (std::strcmp(action, "checkin_unchecked") == 0) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof(def));
        def.uu.id = 1;
        return in_data->inter.checkin_param(in_data->effect_ref, &def);
    }
    if (std::strcmp(action, "keep_checkout") == 0) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof(def));
        return in_data->inter.checkout_param(in_data->effect_ref, 1, 0, 1, 30, &def);
    }
    if (std::strcmp(action, "foreign_ref") == 0) {
        return in_data->inter.progress(nullptr, 0, 1);
    }
    if (std::strcmp(action, "add_param") == 0) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof(def));
        def.param_type = PF_Param_SLIDER;
        return in_data->inter.add_param(in_data->effect_ref, -1, &def);
    }
    if (std::strcmp(action, "keep_world") == 0) {
        const void* worlds = nullptr;
        basic->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &worlds);
        PF_EffectWorld world;
        const PF_Err err = static_cast<const PF_WorldSuite2*>(worlds)->PF_NewWorld(
            in_data->effect_ref, 4, 4, 1, PF_PixelFormat_ARGB32, &world);
        basic->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
        return err;
    }
    return PF_Err_INVALID_CALLBACK;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) PF_Err EntryPointFunc(PF_Cmd cmd,
                                                                        PF_InData* in_data,
                                                                        PF_OutData* out_data,
                                                                        PF_ParamDef* params[],
                                                                        PF_LayerDef*, void* extra) {
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(in_data, out_data);
        case PF_Cmd_GLOBAL_SETDOWN:
            return GlobalSetdown(in_data);
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(in_data, out_data);
        case PF_Cmd_SEQUENCE_SETUP:
        case PF_Cmd_SEQUENCE_RESETUP:
            SequenceSetdown(in_data);
            return SequenceSetup(in_data, out_data);
        case PF_Cmd_SEQUENCE_SETDOWN:
            return SequenceSetdown(in_data);
        case PF_Cmd_USER_CHANGED_PARAM:
        case PF_Cmd_UPDATE_PARAMS_UI:
            return UpdateUi(in_data, out_data, params);
        case PF_Cmd_SMART_PRE_RENDER:
            return PreRender(in_data, static_cast<PF_PreRenderExtra*>(extra));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(in_data, static_cast<PF_SmartRenderExtra*>(extra));
        case PF_Cmd_COMPLETELY_GENERAL:
            return Misbehave(in_data, static_cast<const char*>(extra));
        default:
            return PF_Err_NONE;
    }
}
