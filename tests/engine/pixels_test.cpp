// Conversions between the depths, fetching from padded worlds, and the
// saturation of every float-to-integer conversion.
#include "engine/pixels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/render_settings.h"
#include "tests/engine/engine_host.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(Pixel8To16, MapsBytesOntoFullScale32768) {
    const struct {
        A_u_char in;
        A_u_short out;
    } cases[] = {{0, 0}, {1, 129}, {127, 16320}, {128, 16448}, {254, 32640}, {255, 32768}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.in));
        const PF_Pixel16 converted = Pixel8To16(PF_Pixel{c.in, c.in, c.in, c.in});
        EXPECT_EQ(converted.alpha, c.out);
        EXPECT_EQ(converted.red, c.out);
        EXPECT_EQ(converted.green, c.out);
        EXPECT_EQ(converted.blue, c.out);
    }
}

TEST(PixelToFloat, DividesInSinglePrecisionKeepingChannelOrder) {
    const PF_PixelFloat from8 = Pixel8ToFloat(PF_Pixel{255, 51, 0, 128});
    EXPECT_EQ(from8.alpha, 1.0f);
    EXPECT_EQ(from8.red, 51.0f / 255.0f);
    EXPECT_EQ(from8.green, 0.0f);
    EXPECT_EQ(from8.blue, 128.0f / 255.0f);

    const PF_PixelFloat from16 = Pixel16ToFloat(PF_Pixel16{32768, 16384, 65535, 1});
    EXPECT_EQ(from16.alpha, 1.0f);
    EXPECT_EQ(from16.red, 0.5f);
    EXPECT_EQ(from16.green, 65535.0f / 32768.0f);  // beyond full scale, not clamped
    EXPECT_EQ(from16.blue, 1.0f / 32768.0f);
}

TEST(FloatChannel, RoundTripsEveryLevel) {
    for (int level = 0; level <= 255; ++level) {
        const A_u_char byte = static_cast<A_u_char>(level);
        ASSERT_EQ(FloatChannelTo8(Pixel8ToFloat(PF_Pixel{byte, byte, byte, byte}).red), level);
    }
    for (int level = 0; level <= kFullScale16; ++level) {
        const A_u_short value = static_cast<A_u_short>(level);
        ASSERT_EQ(FloatChannelTo16(Pixel16ToFloat(PF_Pixel16{value, value, value, value}).red),
                  level);
    }
}

// Truncation toward zero within range; outside it (float frames hold any
// value) saturation, and NaN gives 0.
TEST(FloatChannel, TruncatesAndSaturates) {
    const struct {
        float in;
        int out8;
        int out16;
    } cases[] = {
        {0.0f, 0, 0},         {0.999f, 254, 32735},    {1.0f, 255, 32768}, {0.5f, 127, 16384},
        {1.002f, 255, 32833},  // just above 1.0 still truncates into range
        {1.5f, 255, 49152},    // 16 bits hold 1.5 without clamping
        {2.5f, 255, 65535},   {-0.001f, 0, 0},         {-0.25f, 0, 0},     {-1e30f, 0, 0},
        {1e30f, 255, 65535},  {kInfinity, 255, 65535}, {-kInfinity, 0, 0}, {kNaN, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(FloatChannelTo8(c.in), c.out8);
        EXPECT_EQ(FloatChannelTo16(c.in), c.out16);
    }
}

TEST(ScaleLength, TruncatesNeverReachesZeroAndSaturates) {
    const struct {
        A_long value;
        double scale;
        A_long out;
    } cases[] = {
        {15, 1.0, 15},
        {15, 0.5, 7},
        {10, 0.5, 5},
        {1, 0.5, 1},  // 0.5 truncates to 0, which becomes 1
        {10, 1.0 / 3.0, 3},
        {3, 0.25, 1},
        {0, 0.5, 0},  // zero or less passes through
        {-4, 0.5, -4},
        {INT32_MIN, 2.0, INT32_MIN},
        {INT32_MAX, 2.0, INT32_MAX},
        {5, std::numeric_limits<double>::infinity(), INT32_MAX},
        {5, -std::numeric_limits<double>::infinity(), INT32_MIN},
        {5, -1.0, -5},
        {5, std::numeric_limits<double>::quiet_NaN(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " x " << c.scale);
        EXPECT_EQ(ScaleLength(c.value, c.scale), c.out);
    }
}

template <typename Pixel>
class FetchTest : public testing::Test {};
using PixelTypes = testing::Types<PF_Pixel, PF_Pixel16, PF_PixelFloat>;
TYPED_TEST_SUITE(FetchTest, PixelTypes);

// Rows are padded, so a fetch that used width for the row length would read
// the wrong pixel.
TYPED_TEST(FetchTest, ReadsThroughRowbytesAndCopiesTheRunColourExactly) {
    using Depth = DepthOf<TypeParam>;
    EngineHost host;
    auto input = standin::World::Allocate(3, 2, Depth::kFormat);
    auto output = standin::World::Allocate(3, 2, Depth::kFormat);
    ASSERT_TRUE(input && output);
    ASSERT_GT(input->rowbytes(), 3 * static_cast<A_long>(sizeof(TypeParam)));
    const PF_Pixel source{200, 10, 20, 30};
    input->template At<TypeParam>(1, 1) = Depth::From8(source);
    const RenderContext context = host.MakeContext(*input, *output, Depth::kDepth);

    DepthPixel run{};
    std::memset(&run, 0xAB, sizeof run);
    const DepthPixel untouched = run;
    const PF_PixelFloat fetched = FetchPixel(context, 1, 1, &run);
    const TypeParam expected = Depth::From8(source);
    const PF_PixelFloat expected_float = Depth::ToFloat(expected);

    EXPECT_TRUE(SamePixel(fetched, expected_float));
    EXPECT_TRUE(SamePixel(FetchPixelFloat(context, 1, 1), expected_float));

    // Only the member of the depth is written.
    int written = 0;
    written += std::memcmp(&run.pixel8, &untouched.pixel8, sizeof run.pixel8) != 0;
    written += std::memcmp(&run.pixel16, &untouched.pixel16, sizeof run.pixel16) != 0;
    written += std::memcmp(&run.pixel_float, &untouched.pixel_float, sizeof run.pixel_float) != 0;
    EXPECT_EQ(written, 1);
    EXPECT_TRUE(SamePixel(Depth::Member(run), expected));
}

TEST(FetchPixel, FloatChannelsOutsideTheUnitRangePassUnchanged) {
    EngineHost host;
    auto input = standin::World::Allocate(2, 1, PF_PixelFormat_ARGB128);
    auto output = standin::World::Allocate(2, 1, PF_PixelFormat_ARGB128);
    ASSERT_TRUE(input && output);
    const PF_PixelFloat stored{1.0f, 2.5f, -0.25f, kNaN};
    input->At<PF_PixelFloat>(1, 0) = stored;
    const RenderContext context = host.MakeContext(*input, *output, PixelDepthFloat);
    DepthPixel run{};
    const PF_PixelFloat fetched = FetchPixel(context, 1, 0, &run);
    EXPECT_TRUE(SamePixel(fetched, stored));
    EXPECT_TRUE(SamePixel(run.pixel_float, stored));
}

TYPED_TEST(FetchTest, SwapExchangesOnlyTheDepthsMember) {
    using Depth = DepthOf<TypeParam>;
    DepthPixel a{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    DepthPixel b{{21, 22, 23, 24}, {25, 26, 27, 28}, {29, 30, 31, 32}};
    DepthPixel a_expected = a, b_expected = b;
    Depth::Member(a_expected) = Depth::Member(b);
    Depth::Member(b_expected) = Depth::Member(a);
    SwapPixels(Depth::kDepth, &a, &b);
    EXPECT_TRUE(SamePixel(a, a_expected));
    EXPECT_TRUE(SamePixel(b, b_expected));
}

TEST(BytesPerPixel, OfEachDepth) {
    EXPECT_EQ(BytesPerPixel(PixelDepth8), 4);
    EXPECT_EQ(BytesPerPixel(PixelDepth16), 8);
    EXPECT_EQ(BytesPerPixel(PixelDepthFloat), 16);
    EXPECT_EQ(BytesPerPixel(static_cast<PixelDepth>(3)), 0);
}

}  // namespace
