// Frame patterns in file names and frame lists, after oiiotool.
#include "renderer/frame_sequence.h"

#include <gtest/gtest.h>

namespace ostrel_render {
namespace {

TEST(FramePatternTest, NamesFramesByEachPatternKind) {
    struct Case {
        const char* path;
        int frame;
        const char* name;
    };
    const Case cases[] = {
        {"shot.#.png", 7, "shot.0007.png"},   {"shot.##.png", 7, "shot.00000007.png"},
        {"shot.@.png", 7, "shot.7.png"},      {"shot.@@@.png", 7, "shot.007.png"},
        {"shot.#@.png", 7, "shot.00007.png"}, {"shot.%04d.png", 7, "shot.0007.png"},
        {"shot.%d.png", 7, "shot.7.png"},     {"shot.%06d.exr", 123, "shot.000123.exr"},
        {"dir/#", 12345, "dir/12345"},  // wider than the padding
        {"f_@@@.tif", -5, "f_-05.tif"},
    };
    for (const Case& c : cases) {
        FramePattern pattern;
        ASSERT_TRUE(ParseFramePattern(c.path, &pattern).ok()) << c.path;
        EXPECT_TRUE(pattern.present) << c.path;
        EXPECT_EQ(pattern.NameOf(c.frame), c.name) << c.path;
    }
}

TEST(FramePatternTest, NamesWithoutAPatternHaveNone) {
    for (const char* path : {"plain.png", "50%.png", "%x.png", "%0d.png", "a%-4d.png"}) {
        FramePattern pattern;
        ASSERT_TRUE(ParseFramePattern(path, &pattern).ok()) << path;
        EXPECT_FALSE(pattern.present) << path;
    }
}

TEST(FramePatternTest, TwoPatternsInANameAreRefused) {
    for (const char* path : {"a.#.b.#.png", "a.%04d.@.png"}) {
        FramePattern pattern;
        const Outcome outcome = ParseFramePattern(path, &pattern);
        EXPECT_EQ(outcome.status, kExitUsage) << path;
        EXPECT_NE(outcome.message.find(path), std::string::npos);
    }
}

TEST(FrameListTest, ExpandsRangesStepsAndCommaLists) {
    struct Case {
        const char* text;
        std::vector<int> frames;
    };
    const Case cases[] = {
        {"5", {5}},
        {"1-4", {1, 2, 3, 4}},
        {"1-10x3", {1, 4, 7, 10}},
        {"1-9x3", {1, 4, 7}},
        {"3-3", {3}},
        {"1-3,7,10-12x2", {1, 2, 3, 7, 10, 12}},
        {"5-6,1-2", {5, 6, 1, 2}},  // in the order listed
        {"1-3,2-4", {1, 2, 3, 4}},  // each frame once
        {"-2-1", {-2, -1, 0, 1}},
        {"-5--3", {-5, -4, -3}},
    };
    for (const Case& c : cases) {
        std::vector<int> frames;
        const Outcome outcome = ParseFrameList(c.text, &frames);
        ASSERT_TRUE(outcome.ok()) << c.text << ": " << outcome.message;
        EXPECT_EQ(frames, c.frames) << c.text;
    }
}

TEST(FrameListTest, RefusesMalformedListsNamingThem) {
    for (const char* text : {"", "a", "1-", "-", "1-x2", "1-5x", "1-5x0", "1-5x-1", "5-1", "1,,2",
                             "1,", ",1", "1 - 5", "1-5y2", "1.5", "99999999999", "0-20000000"}) {
        std::vector<int> frames;
        const Outcome outcome = ParseFrameList(text, &frames);
        EXPECT_EQ(outcome.status, kExitUsage) << "\"" << text << "\"";
        EXPECT_NE(outcome.message.find("--frames"), std::string::npos) << outcome.message;
    }
}

}  // namespace
}  // namespace ostrel_render
