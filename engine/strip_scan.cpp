#include "engine/strip_scan.h"

#include <utility>

#include "engine/numeric.h"
#include "engine/pixel_traits.h"
#include "engine/similarity.h"

namespace {

// Everything one frame's scan works with, derived once before the first strip.
struct FrameScan {
    const RenderContext& context;
    const RenderSettings& settings;
    const PF_ColorCallbacksFloatSuite1* color_suite;
    const PF_FillMatteSuite2* fill_suite;
    SimilarityLimits limits;
    PF_Fixed edge_factor;
    PF_Err* err;
};

template <typename Traits>
typename Traits::Pixel MakeEdgeColor(PF_ProgPtr effect_ref,
                                     const PF_ColorCallbacksFloatSuite1* color_suite,
                                     A_long edge_mode, PF_Fixed edge_factor,
                                     const typename Traits::Pixel& first_pixel,
                                     const PF_HLS_Pixel first_hls, PF_Pixel edge_color) {
    typename Traits::Pixel edge{};
    if (edge_mode == EdgeModeLightness) {
        PF_HLS_Pixel hls = {first_hls[HlsHue],
                            ScaleEdgeLightness(first_hls[HlsLightness], edge_factor),
                            first_hls[HlsSaturation]};
        // Black if the host fails to convert; its result is not looked at.
        PF_PixelFloat rgb{};
        color_suite->HLStoRGB(effect_ref, hls, &rgb);
        edge.red = Traits::FromHostChannel(rgb.red);
        edge.green = Traits::FromHostChannel(rgb.green);
        edge.blue = Traits::FromHostChannel(rgb.blue);
    } else {
        edge = Traits::FromColorParameter(edge_color);
    }
    // The border always has the alpha of the run it surrounds.
    edge.alpha = first_pixel.alpha;
    return edge;
}

template <typename Traits>
void FillRectOf(const RenderContext& context, const PF_FillMatteSuite2* fill_suite,
                const PF_LRect& rect, const typename Traits::Pixel& color) {
    const PF_Rect host_rect = ToHostRect(rect);
    // A failed fill neither stops the scan nor counts as an error.
    (fill_suite->*Traits::kFill)(context.in_data->effect_ref, &color, &host_rect,
                                 context.output_world);
}

// Scans one strip's middle line and paints its runs. Every method returns
// false once the shared error code is set: the scan then stops at once.
template <typename Traits>
class LineScan {
  public:
    using Pixel = typename Traits::Pixel;

    // `line` is the middle line's pixel at scan position 0; neighbouring
    // positions are `step` pixels apart. The strip covers strip_start up to,
    // not including, strip_end across the scan axis.
    LineScan(const FrameScan& frame, const Pixel* line, ptrdiff_t step, A_long length,
             A_long strip_start, A_long strip_end)
        : frame_(frame),
          effect_ref_(frame.context.in_data->effect_ref),
          line_(line),
          step_(step),
          length_(length),
          strip_start_(strip_start),
          strip_end_(strip_end) {}

    bool Forward() {
        const A_long_long min_length = frame_.settings.min_length;
        A_long i = 0;
        while (i < length_) {
            if (!StartRun(i)) {
                if (*frame_.err != PF_Err_NONE) return false;
                ++i;
                continue;
            }
            A_long e = i + 1;
            while (e < length_ && Continues(e)) ++e;
            if (*frame_.err != PF_Err_NONE) return false;
            // 64 bits: a large minimum length must not overflow.
            A_long_long end = e;
            if (end - i < min_length) end = i + min_length;
            // A run that stops at the last position takes that pixel too.
            if (end >= static_cast<A_long_long>(length_) - 1) end = length_;
            e = static_cast<A_long>(end);
            PaintRun(i, e);
            i = e;
        }
        return true;
    }

    bool Reverse() {
        const A_long_long min_length = frame_.settings.min_length;
        A_long i = length_ - 1;
        // Position 0 never starts a run.
        while (i > 0) {
            if (!StartRun(i)) {
                if (*frame_.err != PF_Err_NONE) return false;
                --i;
                continue;
            }
            A_long s = i - 1;
            while (s >= 0 && Continues(s)) --s;
            if (*frame_.err != PF_Err_NONE) return false;
            A_long_long start = s;
            if (i - start < min_length) start = i - min_length;
            if (start < 0) start = 0;
            s = static_cast<A_long>(start);
            // The stop pixel itself is painted with this run.
            PaintRun(s, i + 1);
            i = s;
        }
        return true;
    }

  private:
    const Pixel& At(A_long position) const { return line_[position * step_]; }

    bool Convert(ComparedPixel* compared) {
        PF_Err& err = *frame_.err;
        if (err == PF_Err_NONE) {
            err = frame_.color_suite->RGBtoHLS(effect_ref_, &compared->pixel, compared->hls);
        }
        if (err == PF_Err_NONE) {
            err =
                frame_.color_suite->Luminance(effect_ref_, &compared->pixel, &compared->luminance);
        }
        return err == PF_Err_NONE;
    }

    // False when the pixel is transparent (no run starts) or the scan stops.
    bool StartRun(A_long i) {
        run_color_ = At(i);
        first_.pixel = Traits::ToFloat(run_color_);
        if (first_.pixel.alpha == 0.0f) return false;
        if (!Convert(&first_)) return false;
        edge_color_ = MakeEdgeColor<Traits>(effect_ref_, frame_.color_suite,
                                            frame_.settings.edge_mode, frame_.edge_factor,
                                            run_color_, first_.hls, frame_.settings.edge_color);
        return true;
    }

    // The hot path: once per examined pixel of every middle line.
    bool Continues(A_long position) {
        ComparedPixel candidate;
        candidate.pixel = Traits::ToFloat(At(position));
        if (candidate.pixel.alpha == 0.0f) return false;
        if (!Convert(&candidate)) return false;
        return IsSimilar(frame_.settings.mode, frame_.limits, first_, candidate);
    }

    // The run from `from` up to, not including, `to` on the scan axis,
    // across the whole strip.
    void PaintRun(A_long from, A_long to) {
        const PF_LRect rect = frame_.settings.direction == DirectionHorizontal
                                  ? PF_LRect{from, strip_start_, to, strip_end_}
                                  : PF_LRect{strip_start_, from, strip_end_, to};
        if (frame_.settings.color_invert != 0) std::swap(run_color_, edge_color_);
        const A_long thickness = frame_.settings.edge_thickness;
        if (thickness != 0) {
            FillRectOf<Traits>(frame_.context, frame_.fill_suite, rect, edge_color_);
        }
        if (InsetIsNonEmpty(rect.left, rect.top, rect.bottom, rect.right, thickness)) {
            FillRectOf<Traits>(
                frame_.context, frame_.fill_suite,
                SetInsetRect(rect.top, rect.left, rect.bottom, rect.right, thickness), run_color_);
        }
    }

    const FrameScan& frame_;
    const PF_ProgPtr effect_ref_;
    const Pixel* const line_;
    const ptrdiff_t step_;
    const A_long length_;
    const A_long strip_start_;
    const A_long strip_end_;

    Pixel run_color_{};
    Pixel edge_color_{};
    ComparedPixel first_{};
};

template <typename Traits>
void ScanStrips(const FrameScan& frame) {
    const RenderContext& context = frame.context;
    const bool horizontal = frame.settings.direction == DirectionHorizontal;
    const A_long length = horizontal ? context.width : context.height;
    const A_long across = horizontal ? context.height : context.width;
    const ptrdiff_t row_pixels = context.input_row_pixels;
    // 64 bits: start + strip_width can pass the 32-bit range.
    const A_long_long strip_width = frame.settings.strip_width;

    for (A_long_long start = 0; start < across; start += strip_width) {
        A_long_long middle = (start + (start + strip_width)) / 2;
        if (middle >= across) middle = across - 1;
        if (length > 0) {
            const auto* line =
                Traits::Input(context) + (horizontal ? static_cast<ptrdiff_t>(middle) * row_pixels
                                                     : static_cast<ptrdiff_t>(middle));
            // The last strip's rectangles reach past the frame; the fill clips.
            LineScan<Traits> scan(frame, line, horizontal ? 1 : row_pixels, length,
                                  static_cast<A_long>(start), SaturateToLong(start + strip_width));
            const bool scanned = frame.settings.invert != 0 ? scan.Reverse() : scan.Forward();
            if (!scanned) return;
        }
        // Reports the start of the strip just finished, never `across` itself.
        *frame.err = context.in_data->inter.progress(context.in_data->effect_ref,
                                                     static_cast<A_long>(start), across);
        if (*frame.err != PF_Err_NONE) return;
    }
}

}  // namespace

void PaintStrips(const RenderContext& context, const RenderSettings& settings,
                 const PF_ColorCallbacksFloatSuite1* color_suite,
                 const PF_FillMatteSuite2* fill_suite, PF_Err* err) {
    if (*err != PF_Err_NONE) return;
    // A strip narrower than one pixel would never advance; the controls cannot
    // make one, so the record is damaged.
    if (settings.strip_width < 1 || BytesPerPixel(context.depth) == 0) {
        *err = PF_Err_BAD_CALLBACK_PARAM;
        return;
    }
    const FrameScan frame{
        context,
        settings,
        color_suite,
        fill_suite,
        DeriveSimilarityLimits(settings.threshold, settings.mode, context.in_data),
        DeriveEdgeFactor(settings.edge_lightness, context.in_data),
        err};
    VisitDepth(context.depth, false, [&](auto traits) {
        ScanStrips<decltype(traits)>(frame);
        return true;
    });
}

DepthPixel MakeEdgePixel(const RenderContext& context,
                         const PF_ColorCallbacksFloatSuite1* color_suite, A_long edge_mode,
                         PF_Fixed edge_factor, const DepthPixel& first_pixel,
                         const PF_HLS_Pixel first_hls, PF_Pixel edge_color) {
    DepthPixel edge{};
    VisitDepth(context.depth, false, [&](auto traits) {
        using Traits = decltype(traits);
        Traits::Member(edge) =
            MakeEdgeColor<Traits>(context.in_data->effect_ref, color_suite, edge_mode, edge_factor,
                                  Traits::Member(first_pixel), first_hls, edge_color);
        return true;
    });
    return edge;
}

PF_Fixed DeriveEdgeFactor(PF_Fixed edge_lightness, const PF_InData* in_data) {
    const double power = in_data->utils->ansi.pow(2.0, edge_lightness / 65536.0);
    const double rounding = (power - 1.0 < 0.0) ? -0.5 : 0.5;
    return TruncateToLong((power - 1.0) * 65536.0 + rounding);
}

PF_Fixed ScaleEdgeLightness(PF_Fixed lightness, PF_Fixed edge_factor) {
    // In 32 bits the product overflows for the lightness of bright float
    // pixels under a large factor.
    const A_long_long product = static_cast<A_long_long>(lightness >> 4) * (edge_factor >> 4);
    const A_long_long scaled = product >> 8;
    // Capped at 1.0; below, only the type's range limits it.
    return scaled > 65536 ? 65536 : SaturateToLong(scaled);
}

PF_LRect SetInsetRect(A_long top, A_long left, A_long bottom, A_long right, A_long inset) {
    return PF_LRect{SaturateToLong(static_cast<A_long_long>(left) + inset),
                    SaturateToLong(static_cast<A_long_long>(top) + inset),
                    SaturateToLong(static_cast<A_long_long>(right) - inset),
                    SaturateToLong(static_cast<A_long_long>(bottom) - inset)};
}

bool InsetIsNonEmpty(A_long left, A_long top, A_long bottom, A_long right, A_long thickness) {
    const A_long_long t = thickness;
    return thickness == 0 || (left + t < right - t && top + t < bottom - t);
}

void FillRect(const RenderContext& context, const PF_FillMatteSuite2* fill_suite,
              const PF_LRect& rect, const DepthPixel& color) {
    VisitDepth(context.depth, false, [&](auto traits) {
        using Traits = decltype(traits);
        FillRectOf<Traits>(context, fill_suite, rect, Traits::Member(color));
        return true;
    });
}

PF_Rect ToHostRect(const PF_LRect& rect) {
#if OSTREL_INTERFACE_12_10
    // Four 16-bit values, top first; a frame this large is not expected, but
    // a coordinate out of range must not wrap to the other side.
    return PF_Rect{SaturateToShort(rect.top), SaturateToShort(rect.left),
                   SaturateToShort(rect.bottom), SaturateToShort(rect.right)};
#else
    return rect;
#endif
}
