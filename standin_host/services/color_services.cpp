#include "standin_host/services/color_services.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace standin {
namespace {

constexpr int kHue = 0;
constexpr int kLightness = 1;
constexpr int kSaturation = 2;

double Channel(double p, double q, double t) {
    if (t < 0.0) t = t + 1.0;
    if (t > 1.0) t = t - 1.0;
    if (t < 1.0 / 6.0) return p + ((q - p) * 6.0) * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3.0) return p + ((q - p) * (2.0 / 3.0 - t)) * 6.0;
    return p;
}

}  // namespace

PF_Fixed ToFixed(double x) {
    const double scaled = x * 65536.0;
    if (std::isnan(scaled)) return 0;
    // Clamp before llround, whose result is unspecified outside its range.
    if (scaled >= 2147483648.0) return INT32_MAX;
    if (scaled <= -2147483649.0) return INT32_MIN;
    const long long rounded = std::llround(scaled);
    return static_cast<PF_Fixed>(std::clamp<long long>(rounded, INT32_MIN, INT32_MAX));
}

PF_Err RGBtoHLS(PF_ProgPtr, const PF_PixelFloat* rgb, PF_HLS_Pixel hls) {
    const double r = rgb->red, g = rgb->green, b = rgb->blue;
    const double mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const double l = (mx + mn) / 2.0;
    double h = 0.0, s = 0.0;
    if (mx != mn) {
        const double d = mx - mn;
        const double den = (l <= 0.5) ? (mx + mn) : (2.0 - mx - mn);
        s = (den != 0.0) ? d / den : 0.0;
        if (r == mx) {
            h = (g - b) / d;
        } else if (g == mx) {
            h = 2.0 + (b - r) / d;
        } else {
            h = 4.0 + (r - g) / d;
        }
        h = h * 60.0;
        if (h < 0.0) h = h + 360.0;
    }
    hls[kHue] = ToFixed(h);
    hls[kLightness] = ToFixed(l);
    hls[kSaturation] = ToFixed(s);
    return PF_Err_NONE;
}

PF_Err HLStoRGB(PF_ProgPtr, const PF_HLS_Pixel hls, PF_PixelFloat* rgb) {
    const double h = hls[kHue] / 65536.0, l = hls[kLightness] / 65536.0,
                 s = hls[kSaturation] / 65536.0;
    double r, g, b;
    if (s == 0.0) {
        r = g = b = l;
    } else {
        const double q = (l < 0.5) ? l * (1.0 + s) : (l + s) - (l * s);
        const double p = 2.0 * l - q;
        const double hk = h / 360.0;
        r = Channel(p, q, hk + 1.0 / 3.0);
        g = Channel(p, q, hk);
        b = Channel(p, q, hk - 1.0 / 3.0);
    }
    rgb->alpha = 1.0f;
    rgb->red = static_cast<float>(r);
    rgb->green = static_cast<float>(g);
    rgb->blue = static_cast<float>(b);
    return PF_Err_NONE;
}

PF_Err Luminance(PF_ProgPtr, const PF_PixelFloat* rgb, float* luminance) {
    *luminance = (0.299f * rgb->red + 0.587f * rgb->green) + 0.114f * rgb->blue;
    return PF_Err_NONE;
}

}  // namespace standin
