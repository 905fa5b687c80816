#include "standin_host/services/fill_services.h"

#include <algorithm>
#include <cstdint>

namespace standin {
namespace {

// Left, top, right, bottom whatever the interface's own rectangle layout.
PF_LRect Widen(const PF_Rect& rect) {
    return PF_LRect{rect.left, rect.top, rect.right, rect.bottom};
}

template <typename Pixel>
PF_Err FillWorld(const Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
    if (color == nullptr || world == nullptr || world->width < 0 || world->height < 0) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (world->width == 0 || world->height == 0) return PF_Err_NONE;
    if (world->data == nullptr ||
        static_cast<int64_t>(world->rowbytes) <
            static_cast<int64_t>(world->width) * static_cast<int64_t>(sizeof(Pixel))) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    PF_LRect area{0, 0, world->width, world->height};
    if (rect != nullptr) {
        const PF_LRect wanted = Widen(*rect);
        area.left = std::max(area.left, wanted.left);
        area.top = std::max(area.top, wanted.top);
        area.right = std::min(area.right, wanted.right);
        area.bottom = std::min(area.bottom, wanted.bottom);
    }
    if (area.left >= area.right || area.top >= area.bottom) return PF_Err_NONE;

    char* const data = static_cast<char*>(world->data);
    for (A_long y = area.top; y < area.bottom; ++y) {
        Pixel* const row =
            reinterpret_cast<Pixel*>(data + static_cast<ptrdiff_t>(y) * world->rowbytes);
        std::fill(row + area.left, row + area.right, *color);
    }
    return PF_Err_NONE;
}

}  // namespace

PF_Err Fill(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
    return FillWorld(color, rect, world);
}

PF_Err Fill16(PF_ProgPtr, const PF_Pixel16* color, const PF_Rect* rect, PF_EffectWorld* world) {
    return FillWorld(color, rect, world);
}

PF_Err FillFloat(PF_ProgPtr, const PF_PixelFloat* color, const PF_Rect* rect,
                 PF_EffectWorld* world) {
    return FillWorld(color, rect, world);
}

}  // namespace standin
