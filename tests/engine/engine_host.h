// A small host for driving the engine directly: the stand-in host's services
// behind counting wrappers, a progress call that can cancel, conversions that
// can fail, and worlds with padded rows.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "engine/pixel_traits.h"
#include "engine/pixels.h"
#include "engine/render_settings.h"
#include "host/interface/ae_suites.h"
#include "standin_host/services/world.h"

// The engine's types by pixel type, for typed tests.
template <typename Pixel>
struct DepthOf : PixelTraits<Pixel> {
    static constexpr PF_PixelFormat kFormat = standin::kPixelFormatOf<Pixel>;
    static Pixel From8(const PF_Pixel& pixel) {
        return PixelTraits<Pixel>::FromColorParameter(pixel);
    }
};

// Bit-for-bit equality: painted pixels are copies, so nothing may differ.
template <typename Pixel>
bool SamePixel(const Pixel& a, const Pixel& b) {
    return std::memcmp(&a, &b, sizeof(Pixel)) == 0;
}

struct ProgressCall {
    A_long current;
    A_long total;
    int conversions_before;  // RGBtoHLS calls made before this progress call
};

class EngineHost {
  public:
    EngineHost();
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    PF_InData* in_data() { return &in_data_; }
    const PF_ColorCallbacksFloatSuite1* color_suite() const { return &color_suite_; }
    const PF_FillMatteSuite2* fill_suite() const { return &fill_suite_; }

    // The context that the render handler builds for two worlds of one depth.
    RenderContext MakeContext(standin::World& input, standin::World& output, PixelDepth depth);

    // Requests: progress returns PF_Interrupt_CANCEL from this call on
    // (1-based; 0 never); RGBtoHLS returns `conversion_failure` on this call.
    int cancel_at_progress_call = 0;
    int fail_rgb_to_hls_call = 0;
    PF_Err conversion_failure = PF_Err_INTERNAL_STRUCT_DAMAGED;

    // What the engine asked of the host.
    int rgb_to_hls_calls = 0;
    int luminance_calls = 0;
    int sqrt_calls = 0;
    int pow_calls = 0;
    std::vector<ProgressCall> progress_calls;
    std::vector<PF_LRect> fill_rects;  // as handed over, widened to left, top, right, bottom
    std::vector<PF_Fixed> hls_to_rgb_lightness;

    int HostCalls() const {
        return rgb_to_hls_calls + luminance_calls + sqrt_calls + pow_calls +
               static_cast<int>(progress_calls.size() + fill_rects.size() +
                                hls_to_rgb_lightness.size());
    }

  private:
    static EngineHost& From(PF_ProgPtr effect_ref);
    static PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long total);
    static PF_Err RgbToHls(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, PF_HLS_Pixel hls);
    static PF_Err HlsToRgb(PF_ProgPtr effect_ref, const PF_HLS_Pixel hls, PF_PixelFloat* rgb);
    static PF_Err Luminance(PF_ProgPtr effect_ref, const PF_PixelFloat* rgb, float* luminance);
    static PF_Err Fill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                       PF_EffectWorld* world);
    static PF_Err Fill16(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* rect,
                         PF_EffectWorld* world);
    static PF_Err FillFloat(PF_ProgPtr effect_ref, const PF_PixelFloat* color, const PF_Rect* rect,
                            PF_EffectWorld* world);
    static double Sqrt(double x);
    static double Pow(double x, double y);
    void RecordFill(const PF_Rect* rect);

    PF_InData in_data_{};
    PF_UtilCallbacks utils_{};
    PF_ColorCallbacksFloatSuite1 color_suite_{};
    PF_FillMatteSuite2 fill_suite_{};
};

// Settings as the controls' defaults give them, at full resolution, with a
// transparent yellow Edge Color.
RenderSettings DefaultSettings();
