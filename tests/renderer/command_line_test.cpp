// Option parsing against a list of control definitions. The definitions here
// are a fixture of each kind, not the effect's: the renderer must take
// whatever the effect registers.
#include "renderer/command_line.h"

#include <gtest/gtest.h>

namespace ostrel_render {
namespace {

standin::ControlInfo Control(PF_ParamIndex index, PF_ParamType type, const char* name) {
    standin::ControlInfo info;
    info.index = index;
    info.type = type;
    info.name = name;
    return info;
}

std::vector<ControlDescription> FixtureControls() {
    std::vector<ControlDescription> controls;
    standin::ControlInfo size = Control(1, PF_Param_SLIDER, "Strip Size");
    size.valid_min = 1;
    size.valid_max = 10000;
    size.slider_min = 1;
    size.slider_max = 100;
    size.default_value = 10;
    controls.push_back(DescribeControl(size));

    standin::ControlInfo amount = Control(2, PF_Param_FIX_SLIDER, "Amount");
    amount.valid_max = 0x640000;
    amount.slider_max = 0x640000;
    amount.default_value = 0xa0000;
    amount.precision = 1;
    amount.display_flags = PF_ValueDisplayFlag_PERCENT;
    controls.push_back(DescribeControl(amount));

    standin::ControlInfo gain = Control(3, PF_Param_FIX_SLIDER, "Gain");
    gain.valid_max = 0x50000;
    gain.slider_max = 0x20000;
    gain.default_value = 0x10000;
    gain.precision = 2;
    controls.push_back(DescribeControl(gain));

    standin::ControlInfo side = Control(4, PF_Param_POPUP, "Side");
    side.choices = {"Left", "Right"};
    side.default_value = 1;
    controls.push_back(DescribeControl(side));

    standin::ControlInfo flip = Control(5, PF_Param_CHECKBOX, "Flip");
    flip.ui_flags = PF_PUI_DISABLED;
    controls.push_back(DescribeControl(flip));

    standin::ControlInfo tint = Control(6, PF_Param_COLOR, "Tint");
    tint.default_color = PF_Pixel{255, 255, 128, 0};
    controls.push_back(DescribeControl(tint));
    return controls;
}

Outcome Parse(std::vector<std::string> arguments, CommandLine* line) {
    return ParseCommandLine(arguments, FixtureControls(), line);
}

TEST(ControlDescriptions, ComeFromTheDefinitions) {
    const std::vector<ControlDescription> controls = FixtureControls();
    EXPECT_EQ(controls[0].option, "--strip-size");
    EXPECT_EQ(controls[0].kind, ControlKind::kInteger);
    EXPECT_EQ(controls[0].default_value, 10);
    EXPECT_EQ(controls[1].kind, ControlKind::kFixed);
    EXPECT_TRUE(controls[1].percent);
    EXPECT_EQ(controls[3].choices, (std::vector<std::string>{"Left", "Right"}));
    EXPECT_TRUE(controls[4].greyed_out);
    EXPECT_FALSE(controls[0].greyed_out);
    EXPECT_EQ(FormatColor(controls[5].default_color), "#ff8000");
}

struct ValueCase {
    std::string option;
    std::string text;
    bool accepted;
    A_long value;  // raw, when accepted
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.option << " \"" << c.text << "\""; }

class ControlValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ControlValues, AreStoredAsTheEffectStoresThemOrRefusedNamingTheRange) {
    const ValueCase& c = GetParam();
    CommandLine line;
    const Outcome outcome = Parse({c.option, c.text, "in.png", "out.png"}, &line);
    if (c.accepted) {
        ASSERT_TRUE(outcome.ok()) << outcome.message;
        ASSERT_EQ(line.controls.size(), 1u);
        EXPECT_EQ(line.controls[0].value, c.value);
        return;
    }
    EXPECT_EQ(outcome.status, kExitUsage);
    const std::vector<ControlDescription> controls = FixtureControls();
    for (const ControlDescription& control : controls) {
        if (control.option != c.option) continue;
        EXPECT_NE(outcome.message.find(control.name), std::string::npos) << outcome.message;
        EXPECT_NE(outcome.message.find(DescribeValidValues(control)), std::string::npos)
            << outcome.message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlValues,
    ::testing::Values(
        ValueCase{"--strip-size", "1", true, 1}, ValueCase{"--strip-size", "10000", true, 10000},
        ValueCase{"--strip-size", "0", false, 0}, ValueCase{"--strip-size", "10001", false, 0},
        ValueCase{"--strip-size", "-1", false, 0},
        ValueCase{"--strip-size", "99999999999999999999", false, 0},
        ValueCase{"--strip-size", "", false, 0}, ValueCase{"--strip-size", "5x", false, 0},
        ValueCase{"--strip-size", " 5", false, 0}, ValueCase{"--strip-size", "5.0", false, 0},
        ValueCase{"--strip-size", "1e3", false, 0},
        // Fixed point: judged as llround(X * 65536) against the raw limits.
        ValueCase{"--amount", "0", true, 0}, ValueCase{"--amount", "100", true, 0x640000},
        ValueCase{"--amount", "10.5", true, 688128}, ValueCase{"--amount", "1e1", true, 655360},
        ValueCase{"--amount", "100.000007", true, 0x640000},  // 6553600.46 stores as 6553600
        ValueCase{"--amount", "100.000008", false, 0},        // 6553600.52 stores as 6553601
        ValueCase{"--amount", "-0.000007", true, 0}, ValueCase{"--amount", "-0.000008", false, 0},
        ValueCase{"--amount", "nan", false, 0}, ValueCase{"--amount", "inf", false, 0},
        ValueCase{"--amount", "-inf", false, 0}, ValueCase{"--amount", "", false, 0},
        ValueCase{"--amount", "10%", false, 0}, ValueCase{"--amount", "1e400", false, 0},
        ValueCase{"--amount", "0x10", false, 0}, ValueCase{"--gain", "5", true, 0x50000},
        ValueCase{"--gain", "2.5", true, 0x28000}, ValueCase{"--gain", "5.01", false, 0},
        ValueCase{"--side", "left", true, 1}, ValueCase{"--side", "RIGHT", true, 2},
        ValueCase{"--side", "Right", true, 2}, ValueCase{"--side", "up", false, 0},
        ValueCase{"--side", "", false, 0}, ValueCase{"--side", "2", false, 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(ColourValues, AreSixHexDigitsWithOptionalHashAndOpaqueAlpha) {
    struct Case {
        const char* text;
        bool accepted;
        PF_Pixel color;
    };
    const Case cases[] = {{"ff8000", true, {255, 255, 128, 0}},
                          {"#FF8000", true, {255, 255, 128, 0}},
                          {"000000", true, {255, 0, 0, 0}},
                          {"ff800", false, {}},
                          {"#ff80001", false, {}},
                          {"gg0000", false, {}},
                          {"", false, {}},
                          {"#", false, {}},
                          {"ff 800", false, {}}};
    for (const Case& c : cases) {
        CommandLine line;
        const Outcome outcome = Parse({"--tint", c.text, "in.png", "out.png"}, &line);
        if (!c.accepted) {
            EXPECT_EQ(outcome.status, kExitUsage) << c.text;
            EXPECT_NE(outcome.message.find("Tint"), std::string::npos) << outcome.message;
            continue;
        }
        ASSERT_TRUE(outcome.ok()) << c.text << ": " << outcome.message;
        const PF_Pixel& got = line.controls.at(0).color;
        EXPECT_EQ(got.alpha, c.color.alpha);
        EXPECT_EQ(got.red, c.color.red);
        EXPECT_EQ(got.green, c.color.green);
        EXPECT_EQ(got.blue, c.color.blue);
    }
}

TEST(CommandLineTest, ACheckboxIsAFlagThatTakesNoValue) {
    CommandLine line;
    ASSERT_TRUE(Parse({"--flip", "in.png", "out.png"}, &line).ok());
    ASSERT_EQ(line.controls.size(), 1u);
    EXPECT_EQ(line.controls[0].index, 5);
    EXPECT_EQ(line.controls[0].value, 1);
    EXPECT_EQ(line.input, "in.png");
    EXPECT_EQ(Parse({"--flip=1", "in.png", "out.png"}, &line).status, kExitUsage);
}

TEST(CommandLineTest, ValuesMayFollowAnEqualsSignAndLaterOnesWin) {
    CommandLine line;
    ASSERT_TRUE(Parse({"--strip-size=3", "in.png", "--strip-size", "7", "out.png"}, &line).ok());
    ASSERT_EQ(line.controls.size(), 2u);
    EXPECT_EQ(line.controls.back().value, 7);
    EXPECT_EQ(line.output, "out.png");
}

TEST(CommandLineTest, RenderingOptions) {
    CommandLine line;
    ASSERT_TRUE(
        Parse({"--depth", "16", "--downsample", "3", "--jobs", "4", "--quiet", "--skip-bad-frames",
               "--plugin", "/x/e.so", "--frames", "1-3", "in.#.png", "out.%04d.exr"},
              &line)
            .ok());
    EXPECT_EQ(line.depth, 16);
    EXPECT_EQ(line.downsample, 3);
    EXPECT_EQ(line.jobs, 4);
    EXPECT_TRUE(line.quiet);
    EXPECT_TRUE(line.skip_bad_frames);
    EXPECT_EQ(line.plugin, "/x/e.so");
    EXPECT_TRUE(line.sequence);
    EXPECT_EQ(line.frames, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(line.input_pattern.NameOf(2), "in.0002.png");
    EXPECT_EQ(line.output_pattern.NameOf(2), "out.0002.exr");
}

TEST(CommandLineTest, RefusesBadUsageNamingTheOption) {
    struct Case {
        std::vector<std::string> arguments;
        const char* named;
    };
    const Case cases[] = {
        {{"--depth", "12", "in.png", "out.png"}, "--depth"},
        {{"--depth", "", "in.png", "out.png"}, "--depth"},
        {{"--downsample", "0", "in.png", "out.png"}, "--downsample"},
        {{"--downsample", "2.5", "in.png", "out.png"}, "--downsample"},
        {{"--jobs", "0", "in.png", "out.png"}, "--jobs"},
        {{"--bogus", "in.png", "out.png"}, "--bogus"},
        {{"-x", "in.png", "out.png"}, "-x"},
        {{"--quiet=yes", "in.png", "out.png"}, "--quiet"},
        {{"in.png", "out.png", "--strip-size"}, "Strip Size"},
        {{"in.png"}, "OUTPUT"},
        {{"a.png", "b.png", "c.png"}, "c.png"},
        {{"--frames", "1-3", "in.png", "out.#.png"}, "INPUT"},
        {{"--frames", "1-3", "in.#.png", "out.png"}, "OUTPUT"},
        {{"in.#.png", "out.#.png"}, "--frames"},
        {{"in.png", "out.#.png"}, "--frames"},
        {{"--frames", "3-1", "in.#.png", "out.#.png"}, "--frames"},
    };
    for (const Case& c : cases) {
        CommandLine line;
        const Outcome outcome = Parse(c.arguments, &line);
        EXPECT_EQ(outcome.status, kExitUsage) << c.named;
        EXPECT_NE(outcome.message.find(c.named), std::string::npos) << outcome.message;
    }
}

TEST(CommandLineTest, NegativeNumbersAreValuesAndDoubleDashEndsOptions) {
    CommandLine line;
    const Outcome outcome = Parse({"--gain", "-1", "in.png", "out.png"}, &line);
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_NE(outcome.message.find("out of range"), std::string::npos) << outcome.message;
    ASSERT_TRUE(Parse({"--", "-in.png", "--out.png"}, &line).ok());
    EXPECT_EQ(line.input, "-in.png");
    EXPECT_EQ(line.output, "--out.png");
}

TEST(CommandLineTest, HelpListAndPluginAreFoundBeforeTheControlsAreKnown) {
    EXPECT_TRUE(AsksForHelp({"--width", "3", "--help"}));
    EXPECT_TRUE(AsksForHelp({"-h"}));
    EXPECT_FALSE(AsksForHelp({"--", "--help"}));
    EXPECT_EQ(FindPluginOption({"--plugin", "a.so", "in", "out"}), "a.so");
    EXPECT_EQ(FindPluginOption({"--plugin=b.so"}), "b.so");
    EXPECT_EQ(FindPluginOption({"in", "out"}), "");
    CommandLine line;
    ASSERT_TRUE(Parse({"--list-params"}, &line).ok());
    EXPECT_TRUE(line.list_params);
}

TEST(ListingControls, ShowsKindRangesDefaultsAndGreyedState) {
    const std::string listing = ListControls("Fixture", FixtureControls());
    for (const char* expected :
         {"--strip-size N", "1 to 10000", "1 to 100", "--amount X", "percent", "0.0 to 100.0",
          "10.0", "0.00 to 5.00", "0.00 to 2.00", "1.00", "left|right", "--flip", "greyed out",
          "#ff8000", "--tint RRGGBB"}) {
        EXPECT_NE(listing.find(expected), std::string::npos) << expected << "\n" << listing;
    }
}

}  // namespace
}  // namespace ostrel_render
