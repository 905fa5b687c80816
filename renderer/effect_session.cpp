#include "renderer/effect_session.h"

#include <algorithm>
#include <cstring>

namespace ostrel_render {
namespace {

std::string EffectFailure(const std::string& name, const std::string& what) {
    return name + ": the effect's " + what;
}

// The effect's result covers its result rectangle; outside it the frame is
// transparent black, as a host composites it.
std::unique_ptr<standin::World> PlaceInFrame(std::unique_ptr<standin::World> result,
                                             const PF_LRect& rect, A_long width, A_long height) {
    if (rect.left == 0 && rect.top == 0 && result->width() == width && result->height() == height) {
        return result;
    }
    std::unique_ptr<standin::World> frame =
        standin::World::Allocate(width, height, result->pixel_format());
    if (!frame) return nullptr;
    const size_t pixel_size = static_cast<size_t>(standin::BytesPerPixel(result->pixel_format()));
    const A_long left = std::max<A_long>(rect.left, 0);
    const A_long right = std::min<A_long>(rect.left + result->width(), width);
    for (A_long y = std::max<A_long>(rect.top, 0);
         y < std::min<A_long>(rect.top + result->height(), height) && left < right; ++y) {
        std::memcpy(frame->Row<char>(y) + left * pixel_size,
                    result->Row<char>(y - rect.top) + (left - rect.left) * pixel_size,
                    static_cast<size_t>(right - left) * pixel_size);
    }
    return frame;
}

}  // namespace

Outcome LoadEffect(const std::string& path, std::unique_ptr<standin::PluginModule>* module) {
    std::string error;
    *module = standin::PluginModule::Load(path, &error);
    if (!*module) {
        return Outcome::Usage("cannot load the effect: " + error +
                              " (--plugin gives the effect module's path)");
    }
    return Outcome::Ok();
}

EffectSession::EffectSession(PF_EntryPointFunc entry_point) : host_(entry_point), instance_(host_) {
    // Every colour conversion of a frame would be logged.
    host_.SetCallLogEnabled(false);
}

EffectSession::~EffectSession() { instance_.Stop(); }

Outcome EffectSession::Start(const standin::PluginModule& module, const std::atomic<bool>* cancel,
                             std::unique_ptr<EffectSession>* session) {
    std::unique_ptr<EffectSession> started(new EffectSession(module.entry_point()));
    started->cancel_ = cancel;
    started->host_.SetCancelFlag(cancel);
    started->host_.SetProgressObserver([session = started.get()](A_long done, A_long total) {
        if (session->observer_) session->observer_(done, total);
    });
    const PF_Err err = started->instance_.Start();
    if (err != PF_Err_NONE) {
        const std::string command =
            started->instance_.started()
                ? "set-up (parameter set-up, sequence set-up or parameter UI update)"
                : standin::CommandName(PF_Cmd_GLOBAL_SETUP);
        return Outcome::Failed("the effect's " + command + " returned error " +
                               std::to_string(err));
    }
    *session = std::move(started);
    return Outcome::Ok();
}

std::vector<ControlDescription> EffectSession::Controls() const {
    std::vector<ControlDescription> controls;
    for (const standin::ControlInfo& info : instance_.Controls()) {
        controls.push_back(DescribeControl(info));
    }
    return controls;
}

Outcome EffectSession::Apply(const std::vector<ControlValue>& values) {
    for (const ControlValue& value : values) {
        const bool set = value.kind == ControlKind::kColor
                             ? instance_.SetColor(value.index, value.color)
                             : instance_.SetValue(value.index, value.value);
        if (!set) {
            return Outcome::Failed("the host refused a value for control " +
                                   std::to_string(value.index));
        }
    }
    if (values.empty()) return Outcome::Ok();
    const PF_Err err = instance_.UpdateParamsUi();
    if (err != PF_Err_NONE) {
        return Outcome::Failed("the effect's " + standin::CommandName(PF_Cmd_UPDATE_PARAMS_UI) +
                               " returned error " + std::to_string(err));
    }
    return Outcome::Ok();
}

void EffectSession::SetProgressObserver(std::function<void(A_long, A_long)> observer) {
    observer_ = std::move(observer);
}

Outcome EffectSession::Render(const standin::World& input, int downsample, A_long time,
                              const std::string& name, std::unique_ptr<standin::World>* output) {
    standin::FrameOptions options;
    options.time = time;
    options.downsample_x = PF_RationalScale{1, static_cast<A_u_long>(downsample)};
    options.downsample_y = options.downsample_x;
    standin::FrameResult result = instance_.RenderFrame(input, options);

    if (cancel_ != nullptr && cancel_->load()) {
        return Outcome::Cancelled(
            name + ": cancelled" +
            // Only the host's progress call hands the effect this code.
            (result.err == PF_Interrupt_CANCEL
                 ? "; the effect stopped at its progress call with the cancel code"
                 : ""));
    }
    if (result.err != PF_Err_NONE) {
        return Outcome::Failed(EffectFailure(
            name, result.message.empty() ? standin::CommandName(result.failed_command) +
                                               " returned error " + std::to_string(result.err)
                                         : result.message));
    }
    if (!result.output) return Outcome::Failed(EffectFailure(name, "render left no output"));
    *output =
        PlaceInFrame(std::move(result.output), result.result_rect, input.width(), input.height());
    if (!*output) return Outcome::Failed(name + ": no memory for the output frame");
    return Outcome::Ok();
}

Outcome EffectSession::Stop() {
    const PF_Err err = instance_.Stop();
    if (err != PF_Err_NONE) {
        return Outcome::Failed("the effect's set-down returned error " + std::to_string(err));
    }
    return Outcome::Ok();
}

}  // namespace ostrel_render
