// What the engine needs to know about each pixel type, so that the scan is
// written once as a template and the depth is branched on in one place.
#pragma once

#include <utility>

#include "engine/pixels.h"
#include "host/interface/ae_suites.h"

template <typename PixelType>
struct PixelTraits;

template <>
struct PixelTraits<PF_Pixel> {
    using Pixel = PF_Pixel;
    static constexpr PixelDepth kDepth = PixelDepth8;
    static const Pixel* Input(const RenderContext& context) { return context.input_pixels8; }
    static Pixel& Member(DepthPixel& color) { return color.pixel8; }
    static const Pixel& Member(const DepthPixel& color) { return color.pixel8; }
    static PF_PixelFloat ToFloat(const Pixel& pixel) { return Pixel8ToFloat(pixel); }
    static Pixel FromColorParameter(const PF_Pixel& color) { return color; }
    static A_u_char FromHostChannel(float value) { return FloatChannelTo8(value); }
    static constexpr auto kFill = &PF_FillMatteSuite2::fill;
};

template <>
struct PixelTraits<PF_Pixel16> {
    using Pixel = PF_Pixel16;
    static constexpr PixelDepth kDepth = PixelDepth16;
    static const Pixel* Input(const RenderContext& context) { return context.input_pixels16; }
    static Pixel& Member(DepthPixel& color) { return color.pixel16; }
    static const Pixel& Member(const DepthPixel& color) { return color.pixel16; }
    static PF_PixelFloat ToFloat(const Pixel& pixel) { return Pixel16ToFloat(pixel); }
    static Pixel FromColorParameter(const PF_Pixel& color) { return Pixel8To16(color); }
    static A_u_short FromHostChannel(float value) { return FloatChannelTo16(value); }
    static constexpr auto kFill = &PF_FillMatteSuite2::fill16;
};

template <>
struct PixelTraits<PF_PixelFloat> {
    using Pixel = PF_PixelFloat;
    static constexpr PixelDepth kDepth = PixelDepthFloat;
    static const Pixel* Input(const RenderContext& context) { return context.input_pixels_float; }
    static Pixel& Member(DepthPixel& color) { return color.pixel_float; }
    static const Pixel& Member(const DepthPixel& color) { return color.pixel_float; }
    // Float pixels pass through, values outside 0..1 included.
    static PF_PixelFloat ToFloat(const Pixel& pixel) { return pixel; }
    static Pixel FromColorParameter(const PF_Pixel& color) { return Pixel8ToFloat(color); }
    static float FromHostChannel(float value) { return value; }
    static constexpr auto kFill = &PF_FillMatteSuite2::fill_float;
};

// Calls visit(PixelTraits<...>{}) for the depth, or returns `unknown` for a
// value that names no depth.
template <typename Result, typename Visitor>
Result VisitDepth(PixelDepth depth, Result unknown, Visitor&& visit) {
    switch (depth) {
        case PixelDepth8:
            return visit(PixelTraits<PF_Pixel>{});
        case PixelDepth16:
            return visit(PixelTraits<PF_Pixel16>{});
        case PixelDepthFloat:
            return visit(PixelTraits<PF_PixelFloat>{});
    }
    return unknown;
}

// The pixel at (x, y) of the input; the index is pointer-sized so that large
// frames cannot wrap it.
template <typename Traits>
const typename Traits::Pixel& InputPixel(const RenderContext& context, A_long x, A_long y) {
    return Traits::Input(context)[static_cast<ptrdiff_t>(y) * context.input_row_pixels + x];
}
