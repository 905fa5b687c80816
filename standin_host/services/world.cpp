#include "standin_host/services/world.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

namespace standin {

A_long BytesPerPixel(PF_PixelFormat format) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            return static_cast<A_long>(sizeof(PF_Pixel));
        case PF_PixelFormat_ARGB64:
            return static_cast<A_long>(sizeof(PF_Pixel16));
        case PF_PixelFormat_ARGB128:
            return static_cast<A_long>(sizeof(PF_PixelFloat));
        default:
            return 0;
    }
}

void World::FreeStorage::operator()(void* storage) const { std::free(storage); }

std::unique_ptr<World> World::Allocate(A_long width, A_long height, PF_PixelFormat format) {
    const A_long bytes_per_pixel = BytesPerPixel(format);
    if (bytes_per_pixel == 0 || width < 0 || height < 0) return nullptr;

    // rowbytes is a 32-bit field; the whole block must be addressable.
    const int64_t rowbytes = (static_cast<int64_t>(width) + kRowPaddingPixels) * bytes_per_pixel;
    if (rowbytes > std::numeric_limits<A_long>::max()) return nullptr;
    const uint64_t total = static_cast<uint64_t>(rowbytes) * static_cast<uint64_t>(height);
    if (total > static_cast<uint64_t>(std::numeric_limits<ptrdiff_t>::max()) ||
        total > std::numeric_limits<size_t>::max()) {
        return nullptr;
    }

    // calloc: transparent black, and pages of a large world stay untouched
    // until painted.
    void* storage = std::calloc(total == 0 ? 1 : static_cast<size_t>(total), 1);
    if (storage == nullptr) return nullptr;

    std::unique_ptr<World> world(new (std::nothrow) World);
    if (!world) {
        std::free(storage);
        return nullptr;
    }
    world->storage_.reset(storage);
    world->format_ = format;
    PF_EffectWorld& effect_world = world->world_;
    effect_world.world_flags =
        PF_WorldFlag_WRITEABLE | (format == PF_PixelFormat_ARGB32 ? 0 : PF_WorldFlag_DEEP);
    effect_world.data = storage;
    effect_world.rowbytes = static_cast<A_long>(rowbytes);
    effect_world.width = width;
    effect_world.height = height;
    effect_world.extent_hint = PF_LRect{0, 0, width, height};
    effect_world.pix_aspect_ratio = PF_RationalScale{1, 1};
    return world;
}

}  // namespace standin
