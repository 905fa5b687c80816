// Small frames drawn as text: one character per pixel, from a fixed palette of
// 8-bit colours. A picture becomes a world at any depth (8-bit as is, 16-bit
// and float by the host's exact conversions), and a world is read back as a
// picture, '?' standing for a pixel that is no palette colour at that depth.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "standin_host/services/world.h"

namespace ostrel_test {

using Picture = std::vector<std::string>;

// The palette colour of `key`, alpha first.
PF_Pixel PaletteColor(char key);

std::unique_ptr<standin::World> WorldFromPicture(const Picture& picture, PF_PixelFormat format);

// The world as a picture.
Picture PictureOfWorld(const standin::World& world);

// Empty when equal; otherwise both pictures and the first differing pixel
// with its stored channels.
std::string ComparePictures(const Picture& expected, const standin::World& actual);

}  // namespace ostrel_test
