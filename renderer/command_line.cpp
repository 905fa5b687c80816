#include "renderer/command_line.h"

#include <charconv>
#include <functional>

namespace ostrel_render {
namespace {

constexpr int kMaxJobs = 256;

struct OptionText {
    std::string name;   // "--width"
    std::string value;  // after '=' when written "--width=5"
    bool has_value = false;
};

OptionText SplitOption(const std::string& argument) {
    OptionText option;
    const size_t equals = argument.find('=');
    option.name = argument.substr(0, equals);
    if (equals != std::string::npos) {
        option.value = argument.substr(equals + 1);
        option.has_value = true;
    }
    return option;
}

bool ParseInteger(const std::string& text, int* value) {
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, *value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

Outcome ParseBoundedInteger(const std::string& option, const std::string& text, int low, int high,
                            int* value) {
    int number = 0;
    if (!ParseInteger(text, &number) || number < low || number > high) {
        return Outcome::Usage(option + " \"" + text + "\": " + option + " takes an integer from " +
                              std::to_string(low) + " to " + std::to_string(high));
    }
    *value = number;
    return Outcome::Ok();
}

const ControlDescription* FindControl(const std::vector<ControlDescription>& controls,
                                      const std::string& option) {
    for (const ControlDescription& control : controls) {
        if (control.option == option) return &control;
    }
    return nullptr;
}

}  // namespace

std::string FindPluginOption(const std::vector<std::string>& arguments) {
    std::string plugin;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--") break;
        const OptionText option = SplitOption(arguments[i]);
        if (option.name != "--plugin") continue;
        if (option.has_value) {
            plugin = option.value;
        } else if (i + 1 < arguments.size()) {
            plugin = arguments[++i];
        }
    }
    return plugin;
}

bool AsksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") return false;
        if (argument == "--help" || argument == "-h") return true;
    }
    return false;
}

Outcome ParseCommandLine(const std::vector<std::string>& arguments,
                         const std::vector<ControlDescription>& controls, CommandLine* line) {
    *line = CommandLine{};
    std::vector<std::string> positional;
    std::string frames_text;
    bool options_done = false;

    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options_done || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options_done = true;
            continue;
        }
        if (argument == "-h") {
            line->help = true;
            continue;
        }
        const OptionText option = SplitOption(argument);
        const ControlDescription* control = FindControl(controls, option.name);
        const bool is_flag = option.name == "--help" || option.name == "--list-params" ||
                             option.name == "--quiet" || option.name == "--skip-bad-frames" ||
                             (control != nullptr && control->kind == ControlKind::kCheckbox);
        if (is_flag && option.has_value) {
            return Outcome::Usage(option.name + " takes no value");
        }
        std::string value = option.value;
        if (!is_flag && !option.has_value) {
            if (i + 1 >= arguments.size()) {
                return Outcome::Usage(option.name + " needs a value" +
                                      (control != nullptr ? "; " + control->name + " takes " +
                                                                DescribeValidValues(*control)
                                                          : std::string()));
            }
            value = arguments[++i];
        }

        Outcome outcome;
        if (option.name == "--help") {
            line->help = true;
        } else if (option.name == "--list-params") {
            line->list_params = true;
        } else if (option.name == "--quiet") {
            line->quiet = true;
        } else if (option.name == "--skip-bad-frames") {
            line->skip_bad_frames = true;
        } else if (option.name == "--plugin") {
            if (value.empty())
                return Outcome::Usage("--plugin needs the path of the effect module");
            line->plugin = value;
        } else if (option.name == "--depth") {
            if (value != "8" && value != "16" && value != "32") {
                return Outcome::Usage("--depth \"" + value + "\": --depth takes 8, 16 or 32");
            }
            line->depth = std::stoi(value);
        } else if (option.name == "--downsample") {
            int factor = 0;
            if (!ParseInteger(value, &factor) || factor < 1) {
                return Outcome::Usage("--downsample \"" + value +
                                      "\": --downsample takes an integer of at least 1");
            }
            line->downsample = factor;
        } else if (option.name == "--jobs") {
            outcome = ParseBoundedInteger("--jobs", value, 1, kMaxJobs, &line->jobs);
        } else if (option.name == "--frames") {
            line->sequence = true;
            frames_text = value;
            outcome = ParseFrameList(value, &line->frames);
        } else if (control != nullptr) {
            ControlValue parsed;
            outcome = ParseControlValue(*control, value, &parsed);
            if (outcome.ok()) line->controls.push_back(parsed);
        } else {
            return Outcome::Usage("unknown option " + option.name +
                                  " (--help lists the options, --list-params the effect's "
                                  "controls)");
        }
        if (!outcome.ok()) return outcome;
    }

    if (line->help || line->list_params) return Outcome::Ok();
    if (positional.size() != 2) {
        return Outcome::Usage(positional.size() < 2
                                  ? "give an INPUT and an OUTPUT file (--help shows how)"
                                  : "too many files: \"" + positional[2] +
                                        "\" after INPUT and OUTPUT");
    }
    line->input = positional[0];
    line->output = positional[1];

    Outcome outcome = ParseFramePattern(line->input, &line->input_pattern);
    if (outcome.ok()) outcome = ParseFramePattern(line->output, &line->output_pattern);
    if (!outcome.ok()) return outcome;
    if (line->sequence) {
        if (!line->input_pattern.present || !line->output_pattern.present) {
            return Outcome::Usage("--frames " + frames_text + ": " +
                                  (line->input_pattern.present ? "OUTPUT" : "INPUT") +
                                  " needs a frame pattern (# for four digits, @ for one, or "
                                  "%04d)");
        }
    } else if (line->input_pattern.present || line->output_pattern.present) {
        return Outcome::Usage((line->input_pattern.present ? line->input : line->output) +
                              " has a frame pattern: give the frames to render with --frames");
    }
    return Outcome::Ok();
}

std::string UsageText(const std::vector<ControlDescription>& controls) {
    std::string text =
        "Usage: ostrel-render [OPTIONS] INPUT OUTPUT\n"
        "\n"
        "Applies the OstrelStrata effect to an image or an image sequence through the\n"
        "stand-in host and writes the result (always RGBA, alpha unassociated).\n"
        "\n"
        "Effect controls (a control not given keeps the effect's default):\n";
    if (controls.empty()) {
        text += "  (unknown: the effect module could not be loaded; see --plugin)\n";
    }
    for (const ControlDescription& control : controls) {
        std::string left = "  " + control.option + OptionPlaceholder(control);
        if (left.size() < 26) left.resize(26, ' ');
        text += left + " " + control.name + ": " + DescribeValidValues(control) + "\n";
    }
    text +=
        "\n"
        "Rendering options:\n"
        "  --depth 8|16|32          bits per channel of the render (default: the input's:\n"
        "                           8-bit file 8, 16-bit file 16, half or float file 32);\n"
        "                           the output is written at this depth\n"
        "  --downsample N           render at 1/N resolution, keeping every N-th pixel of\n"
        "                           every N-th row (default 1)\n"
        "  --frames LIST            render a sequence: INPUT and OUTPUT hold a frame pattern\n"
        "                           (# four digits, @ one digit, or %04d); LIST is A-B,\n"
        "                           A-BxS (every S-th frame) or several separated by commas\n"
        "  --jobs N                 render N frames of a sequence at once (default 1)\n"
        "  --skip-bad-frames        go on after a frame fails (the exit status still says so)\n"
        "  --plugin PATH            the effect module (default: the one beside ostrel-render)\n"
        "  --list-params            list the effect's controls as it registers them, and exit\n"
        "  --quiet                  no progress bar\n"
        "  --help                   this text\n"
        "\n"
        "Exit status: 0 written; 1 the effect failed or the output could not be written;\n"
        "2 bad usage, control value, input, or an output format that cannot hold the\n"
        "depth (nothing written); 130 cancelled with Ctrl-C (nothing written).\n";
    return text;
}

}  // namespace ostrel_render
