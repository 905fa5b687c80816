// Images the stand-in host owns and lends to the effect, at any of the three
// depths. Rows are padded, as a real host's often are, so that code which
// confuses rowbytes with width times the pixel size is caught.
#pragma once

#include <memory>

#include "host/interface/ae_effect.h"

namespace standin {

// Bytes per pixel of a pixel format; 0 for a format the host does not know.
A_long BytesPerPixel(PF_PixelFormat format);

// The host's pixel format of each pixel type.
template <typename Pixel>
constexpr PF_PixelFormat kPixelFormatOf = PF_PixelFormat_INVALID;
template <>
constexpr PF_PixelFormat kPixelFormatOf<PF_Pixel> = PF_PixelFormat_ARGB32;
template <>
constexpr PF_PixelFormat kPixelFormatOf<PF_Pixel16> = PF_PixelFormat_ARGB64;
template <>
constexpr PF_PixelFormat kPixelFormatOf<PF_PixelFloat> = PF_PixelFormat_ARGB128;

class World {
  public:
    // Pixels of padding at the end of every row.
    static constexpr A_long kRowPaddingPixels = 3;

    // Zero-filled (transparent black). Null when the size is negative or
    // overflows, the format is unknown, or memory cannot be had; never throws.
    static std::unique_ptr<World> Allocate(A_long width, A_long height, PF_PixelFormat format);

    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // What the plug-in is handed.
    PF_EffectWorld* effect_world() { return &world_; }
    const PF_EffectWorld* effect_world() const { return &world_; }

    PF_PixelFormat pixel_format() const { return format_; }
    A_long width() const { return world_.width; }
    A_long height() const { return world_.height; }
    A_long rowbytes() const { return world_.rowbytes; }

    // Pixel must be the type of the world's format; callers keep x and y
    // inside the world (the padding is reachable only through Row).
    template <typename Pixel>
    Pixel& At(A_long x, A_long y) {
        return Row<Pixel>(y)[x];
    }
    template <typename Pixel>
    const Pixel& At(A_long x, A_long y) const {
        return Row<Pixel>(y)[x];
    }
    template <typename Pixel>
    Pixel* Row(A_long y) {
        return reinterpret_cast<Pixel*>(static_cast<char*>(world_.data) +
                                        static_cast<ptrdiff_t>(y) * world_.rowbytes);
    }
    template <typename Pixel>
    const Pixel* Row(A_long y) const {
        return reinterpret_cast<const Pixel*>(static_cast<const char*>(world_.data) +
                                              static_cast<ptrdiff_t>(y) * world_.rowbytes);
    }

  private:
    World() = default;

    struct FreeStorage {
        void operator()(void* storage) const;
    };

    PF_EffectWorld world_{};
    PF_PixelFormat format_ = PF_PixelFormat_INVALID;
    std::unique_ptr<void, FreeStorage> storage_;
};

}  // namespace standin
