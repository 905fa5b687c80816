// Fills clipped to the world, and worlds with padded rows.
#include "standin_host/services/fill_services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "standin_host/services/world.h"

namespace {

template <typename Pixel>
struct FillOf;
template <>
struct FillOf<PF_Pixel> {
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB32;
    static constexpr auto kFill = standin::Fill;
    static constexpr PF_Pixel kColor{255, 10, 20, 30};
};
template <>
struct FillOf<PF_Pixel16> {
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB64;
    static constexpr auto kFill = standin::Fill16;
    static constexpr PF_Pixel16 kColor{32768, 1000, 2000, 3000};
};
template <>
struct FillOf<PF_PixelFloat> {
    static constexpr PF_PixelFormat kFormat = PF_PixelFormat_ARGB128;
    static constexpr auto kFill = standin::FillFloat;
    static constexpr PF_PixelFloat kColor{1.0f, 2.5f, -0.25f, 0.5f};
};

PF_Rect Rect(A_long left, A_long top, A_long right, A_long bottom) {
    PF_Rect rect{};
    rect.left = static_cast<decltype(rect.left)>(left);
    rect.top = static_cast<decltype(rect.top)>(top);
    rect.right = static_cast<decltype(rect.right)>(right);
    rect.bottom = static_cast<decltype(rect.bottom)>(bottom);
    return rect;
}

template <typename Pixel>
class FillTest : public testing::Test {
  protected:
    using Fill = FillOf<Pixel>;
    static constexpr A_long kWidth = 4, kHeight = 3;
    static constexpr unsigned char kPadding = 0x5A;

    void SetUp() override {
        world_ = standin::World::Allocate(kWidth, kHeight, Fill::kFormat);
        ASSERT_TRUE(world_);
        // The padding after each row must survive every fill.
        for (A_long y = 0; y < kHeight; ++y) {
            std::memset(world_->template Row<Pixel>(y) + kWidth, kPadding, PaddingBytes());
        }
    }

    size_t PaddingBytes() const {
        return static_cast<size_t>(world_->rowbytes()) - kWidth * sizeof(Pixel);
    }

    // The world as rows of '#' (the fill colour) and '.' (untouched zeros).
    std::vector<std::string> Picture() const {
        std::vector<std::string> rows;
        const Pixel zero{};
        for (A_long y = 0; y < kHeight; ++y) {
            std::string row;
            for (A_long x = 0; x < kWidth; ++x) {
                const Pixel& pixel = world_->template At<Pixel>(x, y);
                row += std::memcmp(&pixel, &Fill::kColor, sizeof(Pixel)) == 0 ? '#'
                       : std::memcmp(&pixel, &zero, sizeof(Pixel)) == 0       ? '.'
                                                                              : '?';
            }
            const auto* padding =
                reinterpret_cast<const unsigned char*>(world_->template Row<Pixel>(y) + kWidth);
            for (size_t i = 0; i < PaddingBytes(); ++i) {
                if (padding[i] != kPadding) row += '!';
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::unique_ptr<standin::World> world_;
};

using PixelTypes = testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;
TYPED_TEST_SUITE(FillTest, PixelTypes);

TYPED_TEST(FillTest, PaintsTheRectangleClippedToTheWorld) {
    using Fill = FillOf<TypeParam>;
    using Picture = std::vector<std::string>;
    const struct {
        const char* what;
        bool whole_world;
        PF_Rect rect;
        Picture expected;
    } cases[] = {
        {"inside, right and bottom exclusive", false, Rect(1, 1, 3, 2), {"....", ".##.", "...."}},
        {"null: the whole world", true, Rect(0, 0, 0, 0), {"####", "####", "####"}},
        {"partly outside, top left", false, Rect(-2, -5, 2, 1), {"##..", "....", "...."}},
        {"partly outside, bottom right", false, Rect(3, 2, 100, 100), {"....", "....", "...#"}},
        {"covering the world", false, Rect(-1, -1, 5, 4), {"####", "####", "####"}},
        {"right of the world", false, Rect(4, 0, 8, 3), {"....", "....", "...."}},
        {"above the world", false, Rect(0, -5, 4, 0), {"....", "....", "...."}},
        {"empty", false, Rect(2, 1, 2, 3), {"....", "....", "...."}},
        {"inverted", false, Rect(3, 2, 1, 0), {"....", "....", "...."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        this->SetUp();
        EXPECT_EQ(Fill::kFill(nullptr, &Fill::kColor, c.whole_world ? nullptr : &c.rect,
                              this->world_->effect_world()),
                  PF_Err_NONE);
        EXPECT_EQ(this->Picture(), c.expected);
    }
}

TYPED_TEST(FillTest, RefusesWhatItCannotPaintSafely) {
    using Fill = FillOf<TypeParam>;
    PF_EffectWorld narrow = *this->world_->effect_world();
    narrow.rowbytes = static_cast<A_long>(sizeof(TypeParam)) * (narrow.width - 1);
    EXPECT_EQ(Fill::kFill(nullptr, &Fill::kColor, nullptr, &narrow), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(Fill::kFill(nullptr, &Fill::kColor, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(Fill::kFill(nullptr, nullptr, nullptr, this->world_->effect_world()),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(this->Picture(), (std::vector<std::string>{"....", "....", "...."}));
}

TEST(World, PaddedZeroedRowsAtEveryDepth) {
    const struct {
        PF_PixelFormat format;
        A_long bytes_per_pixel;
    } cases[] = {
        {PF_PixelFormat_ARGB32, 4}, {PF_PixelFormat_ARGB64, 8}, {PF_PixelFormat_ARGB128, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes_per_pixel);
        EXPECT_EQ(standin::BytesPerPixel(c.format), c.bytes_per_pixel);
        auto world = standin::World::Allocate(5, 2, c.format);
        ASSERT_TRUE(world);
        const PF_EffectWorld& effect_world = *world->effect_world();
        EXPECT_EQ(world->pixel_format(), c.format);
        EXPECT_EQ(effect_world.width, 5);
        EXPECT_EQ(effect_world.height, 2);
        EXPECT_GT(effect_world.rowbytes, 5 * c.bytes_per_pixel);
        EXPECT_EQ(effect_world.rowbytes % c.bytes_per_pixel, 0);
        EXPECT_NE(effect_world.world_flags & PF_WorldFlag_WRITEABLE, 0);
        const auto* bytes = static_cast<const unsigned char*>(effect_world.data);
        for (A_long i = 0; i < effect_world.rowbytes * 2; ++i) ASSERT_EQ(bytes[i], 0);
    }
}

TEST(World, RefusesSizesItCannotHold) {
    EXPECT_FALSE(standin::World::Allocate(-1, 1, PF_PixelFormat_ARGB32));
    EXPECT_FALSE(standin::World::Allocate(1, -1, PF_PixelFormat_ARGB32));
    EXPECT_FALSE(standin::World::Allocate(1, 1, PF_PixelFormat_INVALID));
    // rowbytes is 32 bits.
    EXPECT_FALSE(standin::World::Allocate(INT32_MAX / 16, 1, PF_PixelFormat_ARGB128));
    EXPECT_EQ(standin::BytesPerPixel(PF_PixelFormat_INVALID), 0);
    // Empty worlds are worlds.
    EXPECT_TRUE(standin::World::Allocate(0, 0, PF_PixelFormat_ARGB32));
}

}  // namespace
