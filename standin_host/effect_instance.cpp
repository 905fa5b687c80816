// An effect instance: the host's order of commands, and frames rendered
// through smart pre-render and smart render.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "standin_host/host_impl.h"

namespace standin {
namespace {

// The extra block of PF_Cmd_USER_CHANGED_PARAM: which control the user changed.
struct UserChangedParamExtra {
    PF_ParamIndex param_index;
};

// Every channel of the frame.
constexpr PF_ChannelMask kAllChannels = 0xF;

A_short BitDepth(PF_PixelFormat format) {
    switch (format) {
        case PF_PixelFormat_ARGB64:
            return 16;
        case PF_PixelFormat_ARGB128:
            return 32;
        default:
            return 8;
    }
}

std::string Describe(PF_Cmd cmd, PF_Err err, const PF_OutData& out_data) {
    std::string text = CommandName(cmd) + " returned error " + std::to_string(err);
    if ((out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) && out_data.return_msg[0]) {
        text += ": ";
        text.append(out_data.return_msg, strnlen(out_data.return_msg, sizeof(out_data.return_msg)));
    }
    return text;
}

}  // namespace

std::string CommandName(PF_Cmd cmd) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return "about";
        case PF_Cmd_GLOBAL_SETUP:
            return "global set-up";
        case PF_Cmd_GLOBAL_SETDOWN:
            return "global set-down";
        case PF_Cmd_PARAMS_SETUP:
            return "parameter set-up";
        case PF_Cmd_SEQUENCE_SETUP:
            return "sequence set-up";
        case PF_Cmd_SEQUENCE_RESETUP:
            return "sequence re-setup";
        case PF_Cmd_SEQUENCE_SETDOWN:
            return "sequence set-down";
        case PF_Cmd_USER_CHANGED_PARAM:
            return "user changed parameter";
        case PF_Cmd_UPDATE_PARAMS_UI:
            return "parameter UI update";
        case PF_Cmd_SMART_PRE_RENDER:
            return "smart pre-render";
        case PF_Cmd_SMART_RENDER:
            return "smart render";
        default:
            return "command " + std::to_string(cmd);
    }
}

std::unique_ptr<World> DownsampleWorld(const World& full, A_long factor) {
    if (factor < 1) return nullptr;
    const A_long width = full.width() / factor + (full.width() % factor ? 1 : 0);
    const A_long height = full.height() / factor + (full.height() % factor ? 1 : 0);
    std::unique_ptr<World> small = World::Allocate(width, height, full.pixel_format());
    if (!small) return nullptr;
    const size_t pixel_size = static_cast<size_t>(BytesPerPixel(full.pixel_format()));
    for (A_long y = 0; y < height; ++y) {
        const char* source = full.Row<char>(y * factor);
        char* target = small->Row<char>(y);
        for (A_long x = 0; x < width; ++x) {
            std::memcpy(target + static_cast<size_t>(x) * pixel_size,
                        source + static_cast<size_t>(x) * static_cast<size_t>(factor) * pixel_size,
                        pixel_size);
        }
    }
    return small;
}

EffectInstance::EffectInstance(Host& host) : host_(host) {}

EffectInstance::~EffectInstance() { Stop(); }

PF_Err EffectInstance::SendCommand(PF_Cmd cmd, PF_ParamDef** params, void* extra) {
    PF_OutData& out = host_.out_data;
    out.out_flags = 0;
    out.out_flags2 = 0;
    out.return_msg[0] = '\0';
    return host_.Send(cmd, params, nullptr, extra);
}

PF_Err EffectInstance::Start() {
    PF_Err err = SendCommand(PF_Cmd_GLOBAL_SETUP, host_.CurrentParams(), nullptr);
    my_version_ = host_.out_data.my_version;
    out_flags_ = host_.out_data.out_flags;
    out_flags2_ = host_.out_data.out_flags2;
    if (err) return err;
    global_set_up_ = true;

    err = SendCommand(PF_Cmd_PARAMS_SETUP, host_.CurrentParams(), nullptr);
    if (err) return err;

    err = SendCommand(PF_Cmd_SEQUENCE_SETUP, host_.CurrentParams(), nullptr);
    if (err) return err;
    sequence_set_up_ = true;

    // The host asks for a UI update only of an effect that wants one.
    if (out_flags_ & PF_OutFlag_SEND_UPDATE_PARAMS_UI) err = UpdateParamsUi();
    return err;
}

PF_Err EffectInstance::Stop() {
    PF_Err first = PF_Err_NONE;
    if (sequence_set_up_) {
        sequence_set_up_ = false;
        first = SendCommand(PF_Cmd_SEQUENCE_SETDOWN, host_.CurrentParams(), nullptr);
    }
    if (global_set_up_) {
        global_set_up_ = false;
        const PF_Err err = SendCommand(PF_Cmd_GLOBAL_SETDOWN, host_.CurrentParams(), nullptr);
        if (!first) first = err;
    }
    return first;
}

PF_Err EffectInstance::About() { return SendCommand(PF_Cmd_ABOUT, host_.CurrentParams(), nullptr); }

PF_Err EffectInstance::Resetup() {
    const PF_Err err = SendCommand(PF_Cmd_SEQUENCE_RESETUP, host_.CurrentParams(), nullptr);
    if (!err) sequence_set_up_ = true;
    return err;
}

PF_Err EffectInstance::UpdateParamsUi(PF_ParamIndex changed) {
    if (changed >= 0) {
        UserChangedParamExtra extra{changed};
        return SendCommand(PF_Cmd_USER_CHANGED_PARAM, host_.CurrentParams(), &extra);
    }
    return SendCommand(PF_Cmd_UPDATE_PARAMS_UI, host_.CurrentParams(), nullptr);
}

std::vector<ControlInfo> EffectInstance::Controls() const {
    std::vector<ControlInfo> controls;
    for (PF_ParamIndex index = 1; index < host_.param_count(); ++index) {
        controls.push_back(host_.Control(index));
    }
    return controls;
}

PF_ParamIndex EffectInstance::FindControl(const std::string& name) const {
    for (PF_ParamIndex index = 1; index < host_.param_count(); ++index) {
        if (host_.Control(index).name == name) return index;
    }
    return -1;
}

FrameResult EffectInstance::RenderFrame(const World& input, const FrameOptions& options) {
    FrameResult result;
    if (!global_set_up_) {
        result.err = PF_Err_BAD_CALLBACK_PARAM;
        result.message = "the effect is not set up";
        return result;
    }
    Host::Impl& impl = *host_.impl_;
    const PF_PixelFormat output_format =
        options.output_format ? options.output_format : input.pixel_format();

    PF_InData& in = host_.in_data;
    in.current_time = options.time;
    in.time_step = options.time_step;
    in.local_time_step = options.time_step;
    in.time_scale = options.time_scale;
    in.downsample_x = options.downsample_x;
    in.downsample_y = options.downsample_y;
    in.width = input.width();
    in.height = input.height();
    in.extent_hint = PF_Rect{};
    in.extent_hint.right = static_cast<decltype(in.extent_hint.right)>(input.width());
    in.extent_hint.bottom = static_cast<decltype(in.extent_hint.bottom)>(input.height());

    // The whole frame is asked for.
    PF_RenderRequest request{};
    request.rect = PF_LRect{0, 0, input.width(), input.height()};
    request.channel_mask = kAllChannels;

    PF_PreRenderInput pre_input{};
    pre_input.output_request = request;
    pre_input.bitdepth = BitDepth(input.pixel_format());
    PF_PreRenderOutput pre_output{};
    PF_PreRenderExtra pre_extra{&pre_input, &pre_output, &host_.pre_render_callbacks};

    host_.BindFrameWorlds(&input, nullptr);
    if (options.before_pre_render) options.before_pre_render(pre_extra);
    const PF_Err pre_err = SendCommand(PF_Cmd_SMART_PRE_RENDER, nullptr, &pre_extra);
    result.result_rect = pre_output.result_rect;
    result.max_result_rect = pre_output.max_result_rect;
    if (!pre_err) impl.pending_pre_render_data = pre_output.pre_render_data;

    auto end_frame = [&]() {
        // A pre-render's data lives until its one smart render is done.
        if (pre_output.pre_render_data && pre_output.delete_pre_render_data_func) {
            CurrentHostScope scope(&impl);
            pre_output.delete_pre_render_data_func(pre_output.pre_render_data);
        }
        impl.pending_pre_render_data = nullptr;
        host_.EndFrame();
        host_.BindFrameWorlds(nullptr, nullptr);
    };

    if (pre_err) {
        result.err = pre_err;
        result.failed_command = PF_Cmd_SMART_PRE_RENDER;
        result.message = Describe(PF_Cmd_SMART_PRE_RENDER, pre_err, host_.out_data);
        if (pre_output.pre_render_data && !pre_output.delete_pre_render_data_func) {
            impl.Problem("smart pre-render failed and left pre_render_data set");
        }
        end_frame();
        return result;
    }

    // The output covers the result rectangle.
    World* output = options.output_world;
    std::string host_trouble;
    if (!output) {
        const PF_LRect& rect = pre_output.result_rect;
        const int64_t width = std::max<int64_t>(0, int64_t{rect.right} - rect.left);
        const int64_t height = std::max<int64_t>(0, int64_t{rect.bottom} - rect.top);
        if (width <= INT32_MAX && height <= INT32_MAX) {
            result.output = World::Allocate(static_cast<A_long>(width), static_cast<A_long>(height),
                                            output_format);
        }
        if (result.output) {
            PF_EffectWorld* world = result.output->effect_world();
            std::memset(world->data, kUntouchedByte,
                        static_cast<size_t>(world->rowbytes) * static_cast<size_t>(world->height));
            world->origin_x = rect.left;
            world->origin_y = rect.top;
            output = result.output.get();
        } else {
            // Refused cleanly: checkout_output answers out of memory.
            host_trouble = "the output world of " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels could not be allocated";
        }
    }
    host_.BindFrameWorlds(&input, output);

    PF_SmartRenderInput render_input{};
    render_input.output_request = request;
    render_input.bitdepth = BitDepth(input.pixel_format());
    render_input.pre_render_data = pre_output.pre_render_data;
    PF_SmartRenderExtra render_extra{&render_input, &host_.smart_render_callbacks};
    if (options.before_smart_render) options.before_smart_render(render_extra);
    const PF_Err render_err = SendCommand(PF_Cmd_SMART_RENDER, nullptr, &render_extra);
    result.smart_render_sent = true;
    if (render_err) {
        result.err = render_err;
        result.failed_command = PF_Cmd_SMART_RENDER;
        result.message = Describe(PF_Cmd_SMART_RENDER, render_err, host_.out_data);
    }
    if (!host_trouble.empty()) {
        if (!result.err) result.err = PF_Err_OUT_OF_MEMORY;
        result.message = host_trouble + (result.message.empty() ? "" : "; " + result.message);
    }
    end_frame();
    return result;
}

}  // namespace standin
