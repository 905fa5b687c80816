#include "engine/pixels.h"

#include <utility>

#include "engine/pixel_traits.h"

namespace {

A_u_short Channel8To16(A_u_char channel) {
    return static_cast<A_u_short>((channel * kFullScale16 + 128) / 255);
}

// v * full_scale in single precision, truncated toward zero. Only a product
// in [0, max + 1) truncates into range; below it saturates at 0 (NaN too),
// above at max.
template <typename Channel>
Channel FloatToChannel(float value, float full_scale, float max) {
    const float scaled = value * full_scale;
    if (!(scaled >= 0.0f)) return 0;
    if (scaled >= max) return static_cast<Channel>(max);
    return static_cast<Channel>(scaled);
}

}  // namespace

PF_Pixel16 Pixel8To16(const PF_Pixel& pixel) {
    return PF_Pixel16{Channel8To16(pixel.alpha), Channel8To16(pixel.red), Channel8To16(pixel.green),
                      Channel8To16(pixel.blue)};
}

A_u_char FloatChannelTo8(float value) { return FloatToChannel<A_u_char>(value, 255.0f, 255.0f); }

A_u_short FloatChannelTo16(float value) {
    return FloatToChannel<A_u_short>(value, static_cast<float>(kFullScale16), 65535.0f);
}

PF_PixelFloat FetchPixel(const RenderContext& context, A_long x, A_long y, DepthPixel* run_color) {
    return VisitDepth(context.depth, PF_PixelFloat{}, [&](auto traits) {
        using Traits = decltype(traits);
        const auto& pixel = InputPixel<Traits>(context, x, y);
        Traits::Member(*run_color) = pixel;
        return Traits::ToFloat(pixel);
    });
}

PF_PixelFloat FetchPixelFloat(const RenderContext& context, A_long x, A_long y) {
    return VisitDepth(context.depth, PF_PixelFloat{}, [&](auto traits) {
        using Traits = decltype(traits);
        return Traits::ToFloat(InputPixel<Traits>(context, x, y));
    });
}

void SwapPixels(PixelDepth depth, DepthPixel* a, DepthPixel* b) {
    VisitDepth(depth, false, [&](auto traits) {
        using Traits = decltype(traits);
        std::swap(Traits::Member(*a), Traits::Member(*b));
        return true;
    });
}

A_long BytesPerPixel(PixelDepth depth) {
    return VisitDepth(depth, A_long{0}, [](auto traits) {
        return static_cast<A_long>(sizeof(typename decltype(traits)::Pixel));
    });
}
