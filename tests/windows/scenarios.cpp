#include "tests/windows/scenarios.h"

#include <string.h>

#include "engine/render_settings.h"
#include "host/parameters.h"

namespace scenarios {

void Digest::AddBytes(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash_ ^= bytes[i];
        hash_ *= 1099511628211ull;
    }
}

void Digest::AddInt(int64_t value) {
    // Fixed width and byte order, whatever the build's.
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(static_cast<uint64_t>(value) >> (8 * i));
    AddBytes(bytes, sizeof(bytes));
}

void Digest::AddText(const char* text) {
    AddInt(static_cast<int64_t>(strlen(text)));
    AddBytes(text, strlen(text));
}

namespace {

using standin::EffectInstance;
using standin::Failure;
using standin::FrameOptions;
using standin::FrameResult;
using standin::Host;
using standin::World;

constexpr PF_Fixed Fixed(double value) { return static_cast<PF_Fixed>(value * 65536.0); }

// ---- The input frame ---------------------------------------------------------

// Odd sizes so that strips and runs end inside the frame and past it.
constexpr A_long kFrameWidth = 61;
constexpr A_long kFrameHeight = 47;

enum class Pattern {
    // Blocks of five colours with a little noise, so that runs form and break
    // by the threshold.
    Blocks,
    // A different colour at nearly every pixel: with a threshold of 0 every
    // pixel is a run of its own, painted in its border colour, so every
    // colour conversion and every rounding step shows in the frame.
    Gradient,
};

// Fully transparent pixels on a diagonal lattice end runs; some pixels are
// half transparent.
PF_Pixel SourcePixel(Pattern pattern, A_long x, A_long y) {
    PF_Pixel pixel;
    if (pattern == Pattern::Blocks) {
        static const PF_Pixel kPalette[] = {
            {255, 200, 40, 30}, {255, 30, 160, 220},  {255, 240, 230, 20},
            {255, 20, 20, 25},  {255, 120, 250, 130},
        };
        const PF_Pixel& base = kPalette[(x / 7 + y / 11) % 5];
        const int noise = (x * 37 + y * 91) % 9 - 4;
        auto channel = [noise](int value) {
            const int noisy = value + noise;
            return static_cast<A_u_char>(noisy < 0 ? 0 : noisy > 255 ? 255 : noisy);
        };
        pixel = {base.alpha, channel(base.red), channel(base.green), channel(base.blue)};
    } else {
        pixel = {255, static_cast<A_u_char>(x * 7 + y * 3), static_cast<A_u_char>(x * x + 5 * y),
                 static_cast<A_u_char>(x * y * 3 + 11)};
    }
    if ((x + 2 * y) % 23 == 0) {
        pixel.alpha = 0;
    } else if ((x * y) % 13 == 7) {
        pixel.alpha = 128;
    }
    return pixel;
}

// The same picture at every depth, with detail that 8 bits cannot hold; the
// float frame also holds values outside 0..1.
std::unique_ptr<World> MakeInput(PF_PixelFormat format, Pattern pattern) {
    std::unique_ptr<World> world = World::Allocate(kFrameWidth, kFrameHeight, format);
    if (!world) return world;
    for (A_long y = 0; y < kFrameHeight; ++y) {
        for (A_long x = 0; x < kFrameWidth; ++x) {
            const PF_Pixel source = SourcePixel(pattern, x, y);
            switch (format) {
                case PF_PixelFormat_ARGB32:
                    world->At<PF_Pixel>(x, y) = source;
                    break;
                case PF_PixelFormat_ARGB64: {
                    auto deep = [x, y](A_u_char value, int salt) {
                        const A_long scaled = value * 32768 / 255 + (x * 13 + y * 7 + salt) % 64;
                        return static_cast<A_u_short>(scaled > 32768 ? 32768 : scaled);
                    };
                    world->At<PF_Pixel16>(x, y) = {deep(source.alpha, 0), deep(source.red, 1),
                                                   deep(source.green, 2), deep(source.blue, 3)};
                    if (source.alpha == 0) world->At<PF_Pixel16>(x, y).alpha = 0;
                    break;
                }
                case PF_PixelFormat_ARGB128: {
                    PF_PixelFloat pixel = {
                        source.alpha / 255.0f, source.red / 255.0f + (x % 5) / 4096.0f,
                        source.green / 255.0f, source.blue / 255.0f - (y % 3) / 8192.0f};
                    if (x % 17 == 5) pixel.red = 1.25f;
                    if (y % 19 == 3) pixel.blue = -0.125f;
                    world->At<PF_PixelFloat>(x, y) = pixel;
                    break;
                }
            }
        }
    }
    return world;
}

void AddWorld(const World* world, Digest* digest) {
    if (!world) {
        digest->AddText("no world");
        return;
    }
    digest->AddInt(world->width());
    digest->AddInt(world->height());
    digest->AddInt(world->pixel_format());
    const size_t row_size =
        static_cast<size_t>(world->width()) * standin::BytesPerPixel(world->pixel_format());
    for (A_long y = 0; y < world->height(); ++y)
        digest->AddBytes(world->Row<unsigned char>(y), row_size);
}

void AddRect(const PF_LRect& rect, Digest* digest) {
    digest->AddInt(rect.left);
    digest->AddInt(rect.top);
    digest->AddInt(rect.right);
    digest->AddInt(rect.bottom);
}

void AddFrame(const FrameResult& frame, Digest* digest) {
    digest->AddInt(frame.err);
    digest->AddInt(frame.smart_render_sent);
    AddRect(frame.result_rect, digest);
    AddRect(frame.max_result_rect, digest);
    AddWorld(frame.output.get(), digest);
}

// ---- Frames ------------------------------------------------------------------

// The controls of one frame; popups are 1-based, fixed values 16.16.
struct FrameSettings {
    A_long width = 10;
    A_long min_length = 10;
    A_long direction = DirectionHorizontal;
    A_long invert = 0;
    PF_Fixed threshold = Fixed(10);
    A_long mode = CompareRgb;
    A_long edge_thickness = 1;
    A_long edge_mode = EdgeModeLightness;
    PF_Fixed edge_lightness = Fixed(1);
    PF_Pixel edge_color = {255, 255, 255, 255};
    A_long color_invert = 0;
    A_long downsample = 1;
    Pattern pattern = Pattern::Blocks;
};

struct FrameVariant {
    const char* name;
    FrameSettings settings;
};

FrameSettings Settings(A_long mode, A_long width, A_long min_length, double threshold_percent) {
    FrameSettings settings;
    settings.mode = mode;
    settings.width = width;
    settings.min_length = min_length;
    settings.threshold = Fixed(threshold_percent);
    return settings;
}

std::vector<FrameVariant> FrameVariants() {
    std::vector<FrameVariant> variants;
    variants.push_back({"rgb", Settings(CompareRgb, 6, 3, 20)});
    variants.push_back({"luminance", Settings(CompareLuminance, 5, 2, 8)});
    FrameSettings hue = Settings(CompareHue, 7, 2, 15);
    hue.direction = DirectionVertical;
    variants.push_back({"hue_vertical", hue});
    FrameSettings lightness = Settings(CompareLightness, 4, 1, 12);
    lightness.invert = 1;
    lightness.edge_thickness = 2;
    variants.push_back({"lightness_inverted", lightness});
    FrameSettings saturation = Settings(CompareSaturation, 9, 4, 25);
    saturation.color_invert = 1;
    variants.push_back({"saturation_colors_swapped", saturation});
    FrameSettings edge_color = Settings(CompareRgb, 8, 2, 10);
    edge_color.edge_mode = EdgeModeColor;
    edge_color.edge_color = {255, 30, 200, 90};
    edge_color.edge_thickness = 2;
    variants.push_back({"edge_color", edge_color});
    FrameSettings bright = Settings(CompareRgb, 6, 2, 10);
    bright.edge_lightness = Fixed(2.5);
    variants.push_back({"edge_lightness_2_5", bright});
    variants.push_back({"threshold_0", Settings(CompareRgb, 3, 1, 0)});
    FrameSettings downsampled = Settings(CompareLuminance, 10, 4, 10);
    downsampled.downsample = 2;
    variants.push_back({"downsampled_2", downsampled});
    FrameSettings everything = Settings(CompareLightness, 6, 3, 30);
    everything.direction = DirectionVertical;
    everything.invert = 1;
    everything.color_invert = 1;
    everything.edge_mode = EdgeModeColor;
    everything.edge_color = {200, 0, 90, 255};
    variants.push_back({"vertical_inverted_swapped_edge_color", everything});
    FrameSettings every_pixel = Settings(CompareRgb, 1, 1, 0);
    every_pixel.pattern = Pattern::Gradient;
    every_pixel.edge_lightness = Fixed(0.7);
    variants.push_back({"every_pixel_its_own_run", every_pixel});
    // Thresholds that land between the distances of neighbouring colours.
    const struct {
        const char* name;
        A_long mode;
        double threshold;
    } near_limits[] = {{"gradient_rgb", CompareRgb, 3.1},
                       {"gradient_luminance", CompareLuminance, 1.3},
                       {"gradient_hue", CompareHue, 2.3}};
    for (const auto& near_limit : near_limits) {
        FrameSettings settings = Settings(near_limit.mode, 2, 1, near_limit.threshold);
        settings.pattern = Pattern::Gradient;
        variants.push_back({near_limit.name, settings});
    }
    return variants;
}

void ApplySettings(const FrameSettings& settings, EffectInstance* instance) {
    instance->SetValue(ParamWidth, settings.width);
    instance->SetValue(ParamMinimumLength, settings.min_length);
    instance->SetValue(ParamDirection, settings.direction);
    instance->SetValue(ParamInvert, settings.invert);
    instance->SetValue(ParamThreshold, settings.threshold);
    instance->SetValue(ParamMode, settings.mode);
    instance->SetValue(ParamEdgeThickness, settings.edge_thickness);
    instance->SetValue(ParamEdgeMode, settings.edge_mode);
    instance->SetValue(ParamEdgeLightness, settings.edge_lightness);
    instance->SetColor(ParamEdgeColor, settings.edge_color);
    instance->SetValue(ParamColorInvert, settings.color_invert);
}

// Sets the instance up, renders one frame of the settings at the depth and
// sets it down again; `prepare` may arm failures or a cancel first.
PF_Err RenderScenario(Host& host, Digest* digest, PF_PixelFormat format,
                      const FrameSettings& settings,
                      const std::function<void(Host&, FrameOptions*)>& prepare = nullptr) {
    // The digest needs no log, and a frame logs every colour conversion.
    host.SetCallLogEnabled(false);
    EffectInstance instance(host);
    PF_Err err = instance.Start();
    if (err) return err;
    ApplySettings(settings, &instance);
    std::unique_ptr<World> input = MakeInput(format, settings.pattern);
    if (settings.downsample > 1) input = standin::DownsampleWorld(*input, settings.downsample);
    FrameOptions options;
    options.downsample_x = {1, static_cast<A_u_long>(settings.downsample)};
    options.downsample_y = {1, static_cast<A_u_long>(settings.downsample)};
    if (prepare) prepare(host, &options);
    const FrameResult frame = instance.RenderFrame(*input, options);
    AddFrame(frame, digest);
    host.ClearFailures();
    host.ClearCancel();
    const PF_Err stop_err = instance.Stop();
    return frame.err ? frame.err : stop_err;
}

struct DepthName {
    PF_PixelFormat format;
    const char* name;
};
constexpr DepthName kDepths[] = {
    {PF_PixelFormat_ARGB32, "8bit"},
    {PF_PixelFormat_ARGB64, "16bit"},
    {PF_PixelFormat_ARGB128, "float"},
};

// ---- Commands ------------------------------------------------------------------

PF_Err AboutScenario(Host& host, Digest* digest) {
    const PF_Err err = host.Send(PF_Cmd_ABOUT);
    digest->AddText(host.out_data.return_msg);
    digest->AddInt(host.out_data.out_flags);
    return err;
}

PF_Err GlobalSetupScenario(Host& host, Digest* digest, A_long appl_id) {
    host.in_data.appl_id = appl_id;
    PF_Err err = host.Send(PF_Cmd_GLOBAL_SETUP);
    digest->AddInt(host.out_data.my_version);
    digest->AddInt(host.out_data.out_flags);
    digest->AddInt(host.out_data.out_flags2);
    digest->AddInt(host.CallCount(standin::Service::RegisterWithAEGP));
    const PF_Handle global = host.out_data.global_data;
    digest->AddInt(global != nullptr);
    if (global) digest->AddInt(*static_cast<const A_u_char*>(*global));  // initialized
    if (!err) err = host.Send(PF_Cmd_GLOBAL_SETDOWN);
    digest->AddInt(host.LiveHandleCount());
    return err;
}

PF_Err ParameterSetupScenario(Host& host, Digest* digest) {
    EffectInstance instance(host);
    const PF_Err err = instance.Start();
    for (const standin::ControlInfo& control : instance.Controls()) {
        digest->AddInt(control.index);
        digest->AddText(control.name.c_str());
        digest->AddInt(control.type);
        for (A_long value :
             {control.valid_min, control.valid_max, control.slider_min, control.slider_max,
              control.default_value, A_long(control.precision), A_long(control.display_flags)}) {
            digest->AddInt(value);
        }
        digest->AddBytes(&control.default_color, sizeof(control.default_color));
        for (const std::string& choice : control.choices) digest->AddText(choice.c_str());
        digest->AddText(control.checkbox_label.c_str());
        digest->AddInt(control.ui_flags);
    }
    const PF_Err stop_err = instance.Stop();
    return err ? err : stop_err;
}

PF_Err SequenceScenario(Host& host, Digest* digest) {
    EffectInstance instance(host);
    PF_Err err = instance.Start();
    if (!err) err = instance.Resetup();
    const PF_Handle sequence = host.in_data.sequence_data;
    digest->AddInt(sequence != nullptr);
    if (sequence) digest->AddInt(static_cast<int64_t>(host.FindHandle(sequence).size));
    const PF_Err stop_err = instance.Stop();
    digest->AddInt(host.LiveHandleCount());
    return err ? err : stop_err;
}

PF_Err ParameterUiScenario(Host& host, Digest* digest) {
    EffectInstance instance(host);
    PF_Err err = instance.Start();
    const A_long edge_modes[] = {EdgeModeColor, EdgeModeLightness};
    for (A_long edge_mode : edge_modes) {
        instance.SetValue(ParamEdgeMode, edge_mode);
        // The user's change first, then the host's own request.
        if (!err) err = instance.UpdateParamsUi(ParamEdgeMode);
        digest->AddInt(host.Control(ParamEdgeLightness).ui_flags);
        digest->AddInt(host.Control(ParamEdgeColor).ui_flags);
        if (!err) err = instance.UpdateParamsUi();
        digest->AddInt(host.Control(ParamEdgeLightness).ui_flags);
        digest->AddInt(host.Control(ParamEdgeColor).ui_flags);
    }
    const PF_Err stop_err = instance.Stop();
    return err ? err : stop_err;
}

// Selectors the effect does not answer: 0, and out_data untouched.
PF_Err UnansweredScenario(Host& host, Digest* digest) {
    const PF_Cmd selectors[] = {PF_Cmd_UNUSED_0,
                                PF_Cmd_SEQUENCE_FLATTEN,
                                PF_Cmd_DO_DIALOG,
                                PF_Cmd_FRAME_SETUP,
                                PF_Cmd_RENDER,
                                PF_Cmd_FRAME_SETDOWN,
                                PF_Cmd_EVENT,
                                PF_Cmd_AUDIO_RENDER,
                                PF_Cmd_SMART_RENDER + 1,
                                -1};
    PF_Err first_err = PF_Err_NONE;
    for (PF_Cmd selector : selectors) {
        memset(&host.out_data, 0x5A, sizeof(host.out_data));
        const PF_OutData before = host.out_data;
        const PF_Err err = host.Send(selector);
        digest->AddInt(err);
        digest->AddInt(memcmp(&before, &host.out_data, sizeof(before)) == 0);
        if (!first_err) first_err = err;
    }
    memset(&host.out_data, 0, sizeof(host.out_data));
    return first_err;
}

PF_Err GeneralCommandScenario(Host& host, Digest* digest) {
    char text[] = "Strata";
    const PF_Err err = host.Send(PF_Cmd_COMPLETELY_GENERAL, nullptr, nullptr, text);
    digest->AddText(host.out_data.return_msg);
    return err;
}

// A suite refused where a SuiteHandler needs it: the handler throws, the entry
// point returns the bare code, and everything acquired is given back on the
// way out.
PF_Err RefusedSuiteAtGlobalSetup(Host& host, Digest* digest, const char* suite) {
    host.InjectFailure(Failure::RefuseSuite(suite));
    strcpy(host.out_data.return_msg, "as the host left it");
    const PF_Err err = host.Send(PF_Cmd_GLOBAL_SETUP);
    digest->AddText(host.out_data.return_msg);
    digest->AddInt(host.out_data.global_data != nullptr);
    digest->AddInt(host.LiveHandleCount());
    host.ClearFailures();
    return err;
}

// Every command whose handler builds a SuiteHandler, with no basic suite.
PF_Err NullBasicSuiteScenario(Host& host, Digest* digest) {
    EffectInstance instance(host);
    PF_Err err = instance.Start();
    if (err) return err;
    SPBasicSuite* basic_suite = host.in_data.pica_basicP;
    host.in_data.pica_basicP = nullptr;
    const PF_Cmd commands[] = {PF_Cmd_GLOBAL_SETUP,     PF_Cmd_GLOBAL_SETDOWN,
                               PF_Cmd_SEQUENCE_SETUP,   PF_Cmd_SEQUENCE_RESETUP,
                               PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_USER_CHANGED_PARAM,
                               PF_Cmd_UPDATE_PARAMS_UI};
    PF_Err first_err = PF_Err_NONE;
    for (PF_Cmd command : commands) {
        const PF_Err command_err = host.Send(command, host.CurrentParams());
        digest->AddInt(command_err);
        if (!first_err) first_err = command_err;
    }
    host.in_data.pica_basicP = basic_suite;
    err = instance.Stop();
    return first_err ? first_err : err;
}

std::vector<Scenario> MakeScenarios() {
    std::vector<Scenario> table;
    table.push_back({"about", false, PF_Err_NONE, AboutScenario});
    table.push_back({"global_setup", true, PF_Err_NONE, [](Host& host, Digest* digest) {
                         return GlobalSetupScenario(host, digest, PF_APPL_ID_AFTER_EFFECTS);
                     }});
    table.push_back({"global_setup_premiere", false, PF_Err_NONE, [](Host& host, Digest* digest) {
                         return GlobalSetupScenario(host, digest, PF_APPL_ID_PREMIERE);
                     }});
    table.push_back({"parameter_setup", true, PF_Err_NONE, ParameterSetupScenario});
    table.push_back({"sequence_setup_resetup_setdown", true, PF_Err_NONE, SequenceScenario});
    table.push_back({"parameter_ui_update", true, PF_Err_NONE, ParameterUiScenario});
    table.push_back({"unanswered_selectors", true, PF_Err_NONE, UnansweredScenario});
    table.push_back({"general_command", false, PF_Err_NONE, GeneralCommandScenario});
    table.push_back(
        {"refused_handle_suite", true, PF_Err_BAD_CALLBACK_PARAM, [](Host& host, Digest* digest) {
             return RefusedSuiteAtGlobalSetup(host, digest, kPFHandleSuite);
         }});
    table.push_back(
        {"refused_utility_suite", true, PF_Err_BAD_CALLBACK_PARAM, [](Host& host, Digest* digest) {
             return RefusedSuiteAtGlobalSetup(host, digest, kAEGPUtilitySuite);
         }});
    table.push_back({"null_basic_suite", true, PF_Err_BAD_CALLBACK_PARAM, NullBasicSuiteScenario});

    for (const DepthName& depth : kDepths) {
        for (const FrameVariant& variant : FrameVariants()) {
            const PF_PixelFormat format = depth.format;
            const FrameSettings settings = variant.settings;
            table.push_back({std::string("frame_") + depth.name + "_" + variant.name, true,
                             PF_Err_NONE, [format, settings](Host& host, Digest* digest) {
                                 return RenderScenario(host, digest, format, settings);
                             }});
        }
        const PF_PixelFormat format = depth.format;
        // The user cancels while the third strip is reported: the strips
        // painted so far stay painted.
        table.push_back({std::string("frame_") + depth.name + "_cancelled", true,
                         PF_Interrupt_CANCEL, [format](Host& host, Digest* digest) {
                             return RenderScenario(host, digest, format,
                                                   Settings(CompareRgb, 5, 2, 10),
                                                   [](Host& frame_host, FrameOptions*) {
                                                       frame_host.SetProgressObserver(
                                                           [&frame_host](A_long done, A_long) {
                                                               if (done >= 3)
                                                                   frame_host.RequestCancel();
                                                           });
                                                   });
                         }});
        // The handle suite refused in smart render: thrown from inside the
        // render, with the frame's settings handle given back on the way out.
        table.push_back(
            {std::string("frame_") + depth.name + "_refused_handle_suite", true,
             PF_Err_BAD_CALLBACK_PARAM, [format](Host& host, Digest* digest) {
                 return RenderScenario(
                     host, digest, format, FrameSettings(),
                     [](Host& frame_host, FrameOptions* options) {
                         options->before_smart_render = [&frame_host](PF_SmartRenderExtra&) {
                             frame_host.InjectFailure(Failure::RefuseSuite(kPFHandleSuite));
                         };
                     });
             }});
    }
    return table;
}

}  // namespace

const std::vector<Scenario>& AllScenarios() {
    static const std::vector<Scenario> table = MakeScenarios();
    return table;
}

int RunAll(PF_EntryPointFunc entry_point, FILE* out) {
    int failures = 0;
    for (const Scenario& scenario : AllScenarios()) {
        Host host(entry_point);
        Digest digest;
        const PF_Err err = scenario.run(host, &digest);
        fprintf(out, "%s %s %d %016llx\n", scenario.name.c_str(),
                scenario.same_in_every_interface ? "shared" : "own", static_cast<int>(err),
                static_cast<unsigned long long>(digest.value()));
        if (err != scenario.expected) {
            fprintf(out, "FAIL %s: ended with %d, expected %d\n", scenario.name.c_str(),
                    static_cast<int>(err), static_cast<int>(scenario.expected));
            ++failures;
        }
        for (const std::string& problem : host.Problems()) {
            fprintf(out, "FAIL %s: books: %s\n", scenario.name.c_str(), problem.c_str());
            ++failures;
        }
    }
    return failures;
}

}  // namespace scenarios
