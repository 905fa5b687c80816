#include "tests/frames/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace ostrel_test {
namespace {

struct PaletteEntry {
    char key;
    PF_Pixel color;  // alpha, red, green, blue
};

const PaletteEntry kPalette[] = {
    {'.', {0, 0, 0, 0}},          // transparent black: the cleared output
    {'R', {255, 255, 0, 0}},      // red
    {'r', {255, 250, 0, 0}},      // a red within 2% of R
    {'D', {255, 128, 0, 0}},      // dark red: R's hue, half its lightness
    {'G', {255, 0, 255, 0}},      // green
    {'B', {255, 0, 0, 255}},      // blue
    {'W', {255, 255, 255, 255}},  // white
    {'K', {255, 0, 0, 0}},        // opaque black
    {'g', {255, 76, 76, 76}},     // grey of about R's luminance
    {'M', {255, 255, 0, 255}},    // magenta, the edge colour of the scenes
};

A_u_short To16(A_u_char c) { return static_cast<A_u_short>((c * 32768 + 128) / 255); }
float ToFloat(A_u_char c) { return static_cast<float>(c) / 255.0f; }

// Writes `color` at the world's depth into `pixel`.
void Store(const PF_Pixel& color, standin::World* world, A_long x, A_long y) {
    switch (world->pixel_format()) {
        case PF_PixelFormat_ARGB32:
            world->At<PF_Pixel>(x, y) = color;
            break;
        case PF_PixelFormat_ARGB64:
            world->At<PF_Pixel16>(x, y) = {To16(color.alpha), To16(color.red), To16(color.green),
                                           To16(color.blue)};
            break;
        default:
            world->At<PF_PixelFloat>(x, y) = {ToFloat(color.alpha), ToFloat(color.red),
                                              ToFloat(color.green), ToFloat(color.blue)};
            break;
    }
}

bool Matches(const standin::World& world, A_long x, A_long y, const PF_Pixel& color) {
    std::unique_ptr<standin::World> probe = standin::World::Allocate(1, 1, world.pixel_format());
    Store(color, probe.get(), 0, 0);
    const A_long size = standin::BytesPerPixel(world.pixel_format());
    return std::memcmp(&world.Row<char>(y)[x * size], probe->Row<char>(0), size) == 0;
}

std::string Channels(const standin::World& world, A_long x, A_long y) {
    std::ostringstream text;
    switch (world.pixel_format()) {
        case PF_PixelFormat_ARGB32: {
            const PF_Pixel& p = world.At<PF_Pixel>(x, y);
            text << +p.alpha << ' ' << +p.red << ' ' << +p.green << ' ' << +p.blue;
            break;
        }
        case PF_PixelFormat_ARGB64: {
            const PF_Pixel16& p = world.At<PF_Pixel16>(x, y);
            text << p.alpha << ' ' << p.red << ' ' << p.green << ' ' << p.blue;
            break;
        }
        default: {
            const PF_PixelFloat& p = world.At<PF_PixelFloat>(x, y);
            text << p.alpha << ' ' << p.red << ' ' << p.green << ' ' << p.blue;
            break;
        }
    }
    return text.str();
}

}  // namespace

PF_Pixel PaletteColor(char key) {
    for (const PaletteEntry& entry : kPalette) {
        if (entry.key == key) return entry.color;
    }
    ADD_FAILURE() << "no palette colour '" << key << "'";
    return {0, 0, 0, 0};
}

std::unique_ptr<standin::World> WorldFromPicture(const Picture& picture, PF_PixelFormat format) {
    const A_long height = static_cast<A_long>(picture.size());
    const A_long width = height ? static_cast<A_long>(picture[0].size()) : 0;
    std::unique_ptr<standin::World> world = standin::World::Allocate(width, height, format);
    for (A_long y = 0; y < height; ++y) {
        for (A_long x = 0; x < width; ++x) {
            Store(PaletteColor(picture[y][x]), world.get(), x, y);
        }
    }
    return world;
}

Picture PictureOfWorld(const standin::World& world) {
    Picture picture;
    for (A_long y = 0; y < world.height(); ++y) {
        std::string row;
        for (A_long x = 0; x < world.width(); ++x) {
            char key = '?';
            for (const PaletteEntry& entry : kPalette) {
                if (Matches(world, x, y, entry.color)) {
                    key = entry.key;
                    break;
                }
            }
            row += key;
        }
        picture.push_back(row);
    }
    return picture;
}

std::string ComparePictures(const Picture& expected, const standin::World& actual) {
    const Picture got = PictureOfWorld(actual);
    if (got == expected) return "";
    std::ostringstream text;
    text << "expected      actual\n";
    for (size_t y = 0; y < std::max(expected.size(), got.size()); ++y) {
        text << (y < expected.size() ? expected[y] : std::string()) << "    "
             << (y < got.size() ? got[y] : std::string()) << '\n';
    }
    for (A_long y = 0; y < static_cast<A_long>(std::min(expected.size(), got.size())); ++y) {
        for (A_long x = 0; x < static_cast<A_long>(got[y].size()); ++x) {
            if (x >= static_cast<A_long>(expected[y].size()) || expected[y][x] != got[y][x]) {
                text << "first difference at x " << x << ", y " << y << ": stored "
                     << Channels(actual, x, y) << " (alpha, red, green, blue)";
                return text.str();
            }
        }
    }
    text << "the sizes differ";
    return text.str();
}

}  // namespace ostrel_test
