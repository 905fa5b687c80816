// Channel values between image files and the host's frames. Files hold 8-bit,
// 16-bit (full scale 65535) or float channels; the host's frames hold 8-bit,
// 16-bit (full scale 32768) or float. Every conversion is exact integer or
// single-precision arithmetic so that renders are reproducible.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/interface/ae_effect.h"

namespace ostrel_render {

// The channel type of an image file as we read it.
enum class FileData { k8Bit, k16Bit, kFloat };

// Bits per channel of the host's frame.
enum class RenderDepth { k8 = 8, k16 = 16, k32 = 32 };

PF_PixelFormat PixelFormatOf(RenderDepth depth);
// 8-bit files render at 8, 16-bit at 16, half and float at 32.
RenderDepth NaturalDepthOf(FileData data);
const char* DepthName(RenderDepth depth);

// Float file values clamp to 0..1 before they become integers; NaN counts as 0
// rather than reaching lroundf, whose result for it is unspecified.
inline float UnitInterval(float value) {
    if (!(value > 0.0f)) return 0.0f;
    return value < 1.0f ? value : 1.0f;
}

// ---- File channel to frame channel ----------------------------------------
inline void ToFrameChannel(uint8_t c, A_u_char* out) { *out = c; }
inline void ToFrameChannel(uint16_t v, A_u_char* out) {
    *out = static_cast<A_u_char>((uint32_t{v} * 255u + 32767u) / 65535u);
}
inline void ToFrameChannel(float v, A_u_char* out) {
    *out = static_cast<A_u_char>(std::lroundf(UnitInterval(v) * 255.0f));
}
inline void ToFrameChannel(uint8_t c, A_u_short* out) {
    *out = static_cast<A_u_short>((uint32_t{c} * 32768u + 128u) / 255u);
}
inline void ToFrameChannel(uint16_t v, A_u_short* out) {
    *out = static_cast<A_u_short>((uint32_t{v} * 32768u + 32767u) / 65535u);
}
inline void ToFrameChannel(float v, A_u_short* out) {
    *out = static_cast<A_u_short>(std::lroundf(UnitInterval(v) * 32768.0f));
}
inline void ToFrameChannel(uint8_t c, float* out) { *out = c / 255.0f; }
inline void ToFrameChannel(uint16_t v, float* out) { *out = v / 65535.0f; }
inline void ToFrameChannel(float v, float* out) { *out = v; }

// ---- Frame channel to file channel, at the frame's own depth ---------------
inline uint8_t ToFileChannel(A_u_char c) { return c; }
inline uint16_t ToFileChannel(A_u_short v) {
    // A 16-bit frame may hold values above full scale; they saturate.
    const uint32_t wide = (uint32_t{v} * 65535u + 16384u) / 32768u;
    return static_cast<uint16_t>(wide < 65535u ? wide : 65535u);
}
inline float ToFileChannel(float v) { return v; }

// The channel type and the value of opaque for each frame pixel type.
template <typename Pixel>
struct FramePixelTraits;
template <>
struct FramePixelTraits<PF_Pixel> {
    using Channel = A_u_char;
    using FileChannel = uint8_t;
    static constexpr Channel kOpaque = 255;
};
template <>
struct FramePixelTraits<PF_Pixel16> {
    using Channel = A_u_short;
    using FileChannel = uint16_t;
    static constexpr Channel kOpaque = 32768;
};
template <>
struct FramePixelTraits<PF_PixelFloat> {
    using Channel = float;
    using FileChannel = float;
    static constexpr Channel kOpaque = 1.0f;
};

// One file pixel of `channels` values to a frame pixel: one channel is grey,
// two grey and alpha, three RGB, four or more RGBA (the first four). Missing
// alpha is opaque.
template <typename Pixel, typename FileChannel>
Pixel ToFramePixel(const FileChannel* file_pixel, int channels) {
    using Traits = FramePixelTraits<Pixel>;
    Pixel pixel;
    pixel.alpha = Traits::kOpaque;
    if (channels <= 2) {
        ToFrameChannel(file_pixel[0], &pixel.red);
        pixel.green = pixel.blue = pixel.red;
        if (channels == 2) ToFrameChannel(file_pixel[1], &pixel.alpha);
    } else {
        ToFrameChannel(file_pixel[0], &pixel.red);
        ToFrameChannel(file_pixel[1], &pixel.green);
        ToFrameChannel(file_pixel[2], &pixel.blue);
        if (channels >= 4) ToFrameChannel(file_pixel[3], &pixel.alpha);
    }
    return pixel;
}

// A frame pixel to four file channels, RGBA.
template <typename Pixel>
void ToFilePixel(const Pixel& pixel, typename FramePixelTraits<Pixel>::FileChannel* file_pixel) {
    file_pixel[0] = ToFileChannel(pixel.red);
    file_pixel[1] = ToFileChannel(pixel.green);
    file_pixel[2] = ToFileChannel(pixel.blue);
    file_pixel[3] = ToFileChannel(pixel.alpha);
}

}  // namespace ostrel_render
