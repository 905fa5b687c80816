// Smart render: takes the frame's settings back from the host, borrows the
// input and output worlds and the suites the scan needs, and paints the frame.
#include "engine/pixels.h"
#include "engine/render_settings.h"
#include "engine/strip_scan.h"
#include "host/commands.h"
#include "host/owned_handle.h"
#include "host/pre_render.h"
#include "host/suite_handler.h"

namespace {

// Our own code for worlds whose rows or heights do not fit the input's.
constexpr PF_Err kWorldsDoNotFit = 255;

const char kLoadMessage[] = "Couldn't load suite.";
const char kReleaseMessage[] = "Couldn't release suite.";

// The suites one frame borrows, each given back once on every way out.
class FrameSuites {
  public:
    FrameSuites(PF_InData* in_data, PF_OutData* out_data)
        : in_data_(in_data), out_data_(out_data) {}

    PF_Err Acquire() {
        PF_Err err = AcquireSuiteOrReport(in_data_, out_data_, kPFWorldSuite, kPFWorldSuiteVersion2,
                                          kLoadMessage, &world);
        if (!err) {
            err = AcquireSuiteOrReport(in_data_, out_data_, kPFColorCallbacksFloatSuite,
                                       kPFColorCallbacksFloatSuiteVersion1, kLoadMessage, &color);
        }
        if (!err) {
            err = AcquireSuiteOrReport(in_data_, out_data_, kPFFillMatteSuite,
                                       kPFFillMatteSuiteVersion2, kLoadMessage, &fill);
        }
        return err;
    }

    // Releases what Acquire obtained; the first failure to release is returned.
    PF_Err Release() {
        PF_Err err = PF_Err_NONE;
        ReleaseOne(kPFWorldSuite, kPFWorldSuiteVersion2, &world, &err);
        ReleaseOne(kPFColorCallbacksFloatSuite, kPFColorCallbacksFloatSuiteVersion1, &color, &err);
        ReleaseOne(kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &fill, &err);
        return err;
    }

    const PF_WorldSuite2* world = nullptr;
    const PF_ColorCallbacksFloatSuite1* color = nullptr;
    const PF_FillMatteSuite2* fill = nullptr;

  private:
    template <typename Suite>
    void ReleaseOne(const char* name, A_long version, const Suite** suite, PF_Err* err) {
        if (*suite) {
            const PF_Err release_err =
                ReleaseSuiteOrReport(in_data_, out_data_, name, version, kReleaseMessage);
            *suite = nullptr;
            if (!*err) {
                *err = release_err;
            }
        }
    }

    PF_InData* in_data_;
    PF_OutData* out_data_;
};

bool DepthOfFormat(PF_PixelFormat format, PixelDepth* depth) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            *depth = PixelDepth8;
            return true;
        case PF_PixelFormat_ARGB64:
            *depth = PixelDepth16;
            return true;
        case PF_PixelFormat_ARGB128:
            *depth = PixelDepthFloat;
            return true;
        default:
            return false;
    }
}

// Everything after the worlds and suites are in hand: the worlds' view for
// the engine, the checks that keep its reads and fills inside them, the
// clear and the scan.
PF_Err PaintFrame(PF_InData* in_data, PF_EffectWorld* input, PF_EffectWorld* output,
                  PixelDepth depth, const RenderSettings& settings, const FrameSuites& suites) {
    RenderContext context;
    __builtin_memset(&context, 0, sizeof(context));
    context.in_data = in_data;
    context.input_world = input;
    context.output_world = output;
    context.width = input->width;
    context.height = input->height;
    context.input_row_pixels = input->rowbytes / BytesPerPixel(depth);
    context.output_row_pixels = output->rowbytes / BytesPerPixel(depth);
    context.depth = depth;
    switch (depth) {
        case PixelDepth8:
            context.input_pixels8 = static_cast<PF_Pixel*>(input->data);
            break;
        case PixelDepth16:
            context.input_pixels16 = static_cast<PF_Pixel16*>(input->data);
            break;
        case PixelDepthFloat:
            context.input_pixels_float = static_cast<PF_PixelFloat*>(input->data);
            break;
    }

    // The scan reads whole input rows and fills output rows at the input's width.
    if (context.input_row_pixels < context.width || context.output_row_pixels < context.width) {
        return kWorldsDoNotFit;
    }
    if (input->height != output->height) {
        return kWorldsDoNotFit;
    }
#if OSTREL_INTERFACE_12_10
    // The 12.10 fills take 16-bit rectangles: a frame they cannot reach
    // everywhere is refused before anything is painted, not painted in part.
    constexpr A_long kLargestFillCoordinate = 32767;
    if (context.width > kLargestFillCoordinate || context.height > kLargestFillCoordinate) {
        return kWorldsDoNotFit;
    }
#endif

    // Strips whose middle line is transparent are left as cleared.
    const PF_Pixel transparent_black = {0, 0, 0, 0};
    in_data->utils->fill(in_data->effect_ref, &transparent_black, nullptr, output);

    PF_Err err = PF_Err_NONE;
    PaintStrips(context, settings, suites.color, suites.fill, &err);
    return err;
}

}  // namespace

PF_Err RenderFrame(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
    // The settings record was made for this frame alone and nothing else
    // frees it: it goes back to the host on every way out of this command.
    // The utility callbacks can give it back even when no suite can be had.
    OwnedHandle settings_handle(static_cast<PF_Handle>(extra->input->pre_render_data),
                                *in_data->utils);
    SuiteHandler suites(in_data->pica_basicP);
    const HandleSuiteTable* handles = suites.HandleSuite();
    const RenderSettings* settings =
        settings_handle.get()
            ? static_cast<const RenderSettings*>(settings_handle.Lock(handles->host_lock_handle))
            : nullptr;
    if (!settings) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, kInputCheckoutId, &input);
    // A checkout that hands out no world has nothing to check back in.
    const bool input_checked_out = !err && input;
    if (!err) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }
    if (!err && (!input || !output)) {
        err = PF_Err_BAD_CALLBACK_PARAM;  // a checkout that handed out no world
    }
    FrameSuites frame_suites(in_data, out_data);
    if (!err) {
        err = frame_suites.Acquire();
    }
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (!err) {
        err = frame_suites.world->PF_GetPixelFormat(input, &format);
    }

    // Whatever failed above, the frame is refused as a bad call rather than
    // with the failing call's own code.
    PixelDepth depth = PixelDepth8;
    if (err || !DepthOfFormat(format, &depth)) {
        err = PF_Err_BAD_CALLBACK_PARAM;
    } else {
        err = PaintFrame(in_data, input, output, depth, *settings, frame_suites);
    }

    // The scan is done with the input; the host may reuse it at once.
    if (input_checked_out) {
        extra->cb->checkin_layer_pixels(in_data->effect_ref, kInputCheckoutId);
    }
    // Given back whichever way the frame ended, a refusal above included.
    const PF_Err release_err = frame_suites.Release();
    if (!err) {
        err = release_err;
    }
    return err;
}
