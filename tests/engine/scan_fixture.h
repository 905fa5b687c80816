// Tiny frames drawn as text, one character per pixel, for exact checks of
// what the scan paints at each depth.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/strip_scan.h"
#include "tests/engine/engine_host.h"

// The palette, as 8-bit alpha, red, green, blue:
//   .  transparent black          R r  red, a slightly darker red (similar at 10 %)
//   G B W M  green, blue, white, magenta (M marks pixels the scan must not read)
//   e  opaque yellow: DefaultSettings' Edge Color with a run's full alpha
//   h E  half-transparent red, and yellow with that alpha
//   a b c d  greys 100, 110, 120, 130     g  grey 20
PF_Pixel PaletteColor(char symbol);
constexpr const char* kPalette = ".RrGBWMehEabcdg";

using Picture = std::vector<std::string>;

template <typename Pixel>
class ScanTest : public testing::Test {
  protected:
    using Depth = DepthOf<Pixel>;

    void SetInput(const Picture& rows) {
        const A_long height = static_cast<A_long>(rows.size());
        const A_long width = static_cast<A_long>(rows.at(0).size());
        input_ = standin::World::Allocate(width, height, Depth::kFormat);
        output_ = standin::World::Allocate(width, height, Depth::kFormat);
        ASSERT_TRUE(input_ && output_);
        for (A_long y = 0; y < height; ++y) {
            ASSERT_EQ(rows[y].size(), static_cast<size_t>(width));
            for (A_long x = 0; x < width; ++x) Input(x, y) = Symbol(rows[y][x]);
        }
    }

    Pixel& Input(A_long x, A_long y) { return input_->template At<Pixel>(x, y); }
    const Pixel& Output(A_long x, A_long y) const { return output_->template At<Pixel>(x, y); }

    static Pixel Symbol(char symbol) { return Depth::From8(PaletteColor(symbol)); }

    // The output in palette symbols; '?' for a pixel that is none of them.
    Picture OutputPicture() const {
        Picture rows;
        for (A_long y = 0; y < output_->height(); ++y) {
            std::string row;
            for (A_long x = 0; x < output_->width(); ++x) {
                char found = '?';
                for (const char* symbol = kPalette; *symbol != '\0'; ++symbol) {
                    if (SamePixel(Output(x, y), Symbol(*symbol))) found = *symbol;
                }
                row += found;
            }
            rows.push_back(row);
        }
        return rows;
    }

    // Runs the scan as the render handler does, over a cleared output.
    PF_Err Paint(PF_Err err = PF_Err_NONE) {
        const RenderContext context = host_.MakeContext(*input_, *output_, Depth::kDepth);
        PaintStrips(context, settings_, host_.color_suite(), host_.fill_suite(), &err);
        return err;
    }

    EngineHost host_;
    RenderSettings settings_ = DefaultSettings();
    std::unique_ptr<standin::World> input_;
    std::unique_ptr<standin::World> output_;
};

using PixelTypes = testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;
