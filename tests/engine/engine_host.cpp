#include "tests/engine/engine_host.h"

#include <cmath>

#include "standin_host/services/ansi_services.h"
#include "standin_host/services/color_services.h"
#include "standin_host/services/fill_services.h"

namespace {
// The C library callbacks carry no effect reference.
EngineHost* active_host = nullptr;
}  // namespace

EngineHost::EngineHost() {
    active_host = this;
    utils_.ansi = standin::AnsiCallbacks();
    utils_.ansi.sqrt = Sqrt;
    utils_.ansi.pow = Pow;
    utils_.fill = Fill;
    in_data_.utils = &utils_;
    in_data_.inter.progress = Progress;
    in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    color_suite_.RGBtoHLS = RgbToHls;
    color_suite_.HLStoRGB = HlsToRgb;
    color_suite_.Luminance = Luminance;
    fill_suite_.fill = Fill;
    fill_suite_.fill16 = Fill16;
    fill_suite_.fill_float = FillFloat;
}

EngineHost::~EngineHost() { active_host = nullptr; }

RenderContext EngineHost::MakeContext(standin::World& input, standin::World& output,
                                      PixelDepth depth) {
    RenderContext context{};
    context.in_data = &in_data_;
    context.input_world = input.effect_world();
    context.output_world = output.effect_world();
    context.width = input.width();
    context.height = input.height();
    context.input_row_pixels = input.rowbytes() / BytesPerPixel(depth);
    context.output_row_pixels = output.rowbytes() / BytesPerPixel(depth);
    context.depth = depth;
    void* const data = input.effect_world()->data;
    switch (depth) {
        case PixelDepth8:
            context.input_pixels8 = static_cast<PF_Pixel*>(data);
            break;
        case PixelDepth16:
            context.input_pixels16 = static_cast<PF_Pixel16*>(data);
            break;
        case PixelDepthFloat:
            context.input_pixels_float = static_cast<PF_PixelFloat*>(data);
            break;
    }
    return context;
}

EngineHost& EngineHost::From(PF_ProgPtr effect_ref) {
    return *reinterpret_cast<EngineHost*>(effect_ref);
}

PF_Err EngineHost::Progress(PF_ProgPtr effect_ref, A_long current, A_long total) {
    EngineHost& host = From(effect_ref);
    host.progress_calls.push_back(ProgressCall{current, total, host.rgb_to_hls_calls});
    const int call = static_cast<int>(host.progress_calls.size());
    return host.cancel_at_progress_call != 0 && call >= host.cancel_at_progress_call
               ? PF_Interrupt_CANCEL
               : PF_Err_NONE;
}

PF_Err EngineHost::RgbToHls(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, PF_HLS_Pixel hls) {
    EngineHost& host = From(effect_ref);
    ++host.rgb_to_hls_calls;
    if (host.rgb_to_hls_calls == host.fail_rgb_to_hls_call) return host.conversion_failure;
    return standin::RGBtoHLS(effect_ref, rgb, hls);
}

PF_Err EngineHost::HlsToRgb(PF_ProgPtr effect_ref, const PF_HLS_Pixel hls, PF_PixelFloat* rgb) {
    From(effect_ref).hls_to_rgb_lightness.push_back(hls[1]);
    return standin::HLStoRGB(effect_ref, hls, rgb);
}

PF_Err EngineHost::Luminance(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, float* luminance) {
    ++From(effect_ref).luminance_calls;
    return standin::Luminance(effect_ref, rgb, luminance);
}

void EngineHost::RecordFill(const PF_Rect* rect) {
    fill_rects.push_back(rect == nullptr
                             ? PF_LRect{0, 0, 0, 0}
                             : PF_LRect{rect->left, rect->top, rect->right, rect->bottom});
}

PF_Err EngineHost::Fill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                        PF_EffectWorld* world) {
    From(effect_ref).RecordFill(rect);
    return standin::Fill(effect_ref, color, rect, world);
}

PF_Err EngineHost::Fill16(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* rect,
                          PF_EffectWorld* world) {
    From(effect_ref).RecordFill(rect);
    return standin::Fill16(effect_ref, color, rect, world);
}

PF_Err EngineHost::FillFloat(PF_ProgPtr effect_ref, const PF_PixelFloat* color, const PF_Rect* rect,
                             PF_EffectWorld* world) {
    From(effect_ref).RecordFill(rect);
    return standin::FillFloat(effect_ref, color, rect, world);
}

double EngineHost::Sqrt(double x) {
    ++active_host->sqrt_calls;
    return std::sqrt(x);
}

double EngineHost::Pow(double x, double y) {
    ++active_host->pow_calls;
    return std::pow(x, y);
}

RenderSettings DefaultSettings() {
    RenderSettings settings{};
    settings.scale = 1.0;
    settings.direction = DirectionHorizontal;
    settings.invert = 0;
    settings.strip_width = 1;
    settings.min_length = 1;
    settings.mode = CompareRgb;
    settings.threshold = 10 << 16;
    settings.edge_thickness = 0;
    settings.edge_mode = EdgeModeColor;
    settings.edge_color = PF_Pixel{0, 255, 255, 0};
    settings.edge_lightness = 1 << 16;
    settings.color_invert = 0;
    return settings;
}
