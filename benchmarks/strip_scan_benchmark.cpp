// The strip scan over a full HD frame at each depth, with the stand-in host's
// services, against a memcpy of the same frame measured in the same run.
// Rates are frame pixels (items) and frame bytes per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/pixel_traits.h"
#include "engine/strip_scan.h"
#include "standin_host/services/ansi_services.h"
#include "standin_host/services/color_services.h"
#include "standin_host/services/fill_services.h"
#include "standin_host/services/world.h"

namespace {

constexpr A_long kWidth = 1920;
constexpr A_long kHeight = 1080;

PF_Err NoProgress(PF_ProgPtr, A_long, A_long) { return PF_Err_NONE; }

template <typename Pixel>
struct Format : PixelTraits<Pixel> {
    static constexpr PF_PixelFormat kFormat = standin::kPixelFormatOf<Pixel>;
    static Pixel From8(const PF_Pixel& pixel) {
        return PixelTraits<Pixel>::FromColorParameter(pixel);
    }
};

// A frame of diagonal bands, so that runs have a few dozen pixels, as in a
// photograph more than in a flat graphic.
template <typename Pixel>
std::unique_ptr<standin::World> BandedFrame() {
    auto world = standin::World::Allocate(kWidth, kHeight, Format<Pixel>::kFormat);
    if (!world) return nullptr;
    for (A_long y = 0; y < kHeight; ++y) {
        for (A_long x = 0; x < kWidth; ++x) {
            const A_u_char band = static_cast<A_u_char>(((x + y) / 40) * 37);
            const A_u_char shade = static_cast<A_u_char>((x * 3 + y) & 7);
            world->template At<Pixel>(x, y) = Format<Pixel>::From8(PF_Pixel{
                255, band, static_cast<A_u_char>(band ^ shade), static_cast<A_u_char>(255 - band)});
        }
    }
    return world;
}

template <typename Pixel>
void BM_PaintStrips(benchmark::State& state) {
    auto input = BandedFrame<Pixel>();
    auto output = standin::World::Allocate(kWidth, kHeight, Format<Pixel>::kFormat);
    if (!input || !output) {
        state.SkipWithError("cannot allocate the frame");
        return;
    }

    PF_UtilCallbacks utils{};
    utils.ansi = standin::AnsiCallbacks();
    utils.fill = standin::Fill;
    PF_InData in_data{};
    in_data.utils = &utils;
    in_data.inter.progress = NoProgress;
    const PF_ColorCallbacksFloatSuite1 color_suite{standin::RGBtoHLS, standin::HLStoRGB,
                                                   standin::Luminance};
    const PF_FillMatteSuite2 fill_suite{standin::Fill, standin::Fill16, standin::FillFloat};

    const A_long bytes_per_pixel = static_cast<A_long>(sizeof(Pixel));
    RenderContext context{};
    context.in_data = &in_data;
    context.input_world = input->effect_world();
    context.output_world = output->effect_world();
    context.width = kWidth;
    context.height = kHeight;
    context.input_row_pixels = input->rowbytes() / bytes_per_pixel;
    context.output_row_pixels = output->rowbytes() / bytes_per_pixel;
    context.depth = Format<Pixel>::kDepth;
    void* const data = input->effect_world()->data;
    context.input_pixels8 = context.depth == PixelDepth8 ? static_cast<PF_Pixel*>(data) : nullptr;
    context.input_pixels16 =
        context.depth == PixelDepth16 ? static_cast<PF_Pixel16*>(data) : nullptr;
    context.input_pixels_float =
        context.depth == PixelDepthFloat ? static_cast<PF_PixelFloat*>(data) : nullptr;

    RenderSettings settings{};
    settings.scale = 1.0;
    settings.direction = DirectionHorizontal;
    settings.strip_width = static_cast<A_long>(state.range(0));
    settings.min_length = 1;
    settings.mode = CompareRgb;
    settings.threshold = 10 << 16;
    settings.edge_thickness = 1;
    settings.edge_mode = EdgeModeLightness;
    settings.edge_lightness = 1 << 16;

    for (auto _ : state) {
        PF_Err err = PF_Err_NONE;
        PaintStrips(context, settings, &color_suite, &fill_suite, &err);
        if (err != PF_Err_NONE) {
            state.SkipWithError("the scan failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    const int64_t pixels = static_cast<int64_t>(kWidth) * kHeight;
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetBytesProcessed(state.iterations() * pixels * bytes_per_pixel);
    // Pixels of the middle lines, each converted twice by the host.
    state.counters["examined_px"] = benchmark::Counter(
        static_cast<double>((kHeight + settings.strip_width - 1) / settings.strip_width) * kWidth);
}

// The floor: copying the same frame once.
template <typename Pixel>
void BM_CopyFrame(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(kWidth) * kHeight * sizeof(Pixel);
    std::vector<char> source(bytes, 1), destination(bytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

// Strip widths: 1 reads every line (the worst case), 10 is the default.
BENCHMARK_TEMPLATE(BM_PaintStrips, PF_Pixel)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_PaintStrips, PF_Pixel16)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_PaintStrips, PF_PixelFloat)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CopyFrame, PF_Pixel)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CopyFrame, PF_Pixel16)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CopyFrame, PF_PixelFloat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
