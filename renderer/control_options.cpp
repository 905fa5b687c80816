#include "renderer/control_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace ostrel_render {
namespace {

constexpr double kFixedOne = 65536.0;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string FormatFixed(A_long raw, int precision) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", precision, raw / kFixedOne);
    return text;
}

std::string KindName(const ControlDescription& control) {
    switch (control.kind) {
        case ControlKind::kInteger:
            return "integer";
        case ControlKind::kFixed:
            return control.percent ? "percent" : "number";
        case ControlKind::kPopup:
            return "popup";
        case ControlKind::kCheckbox:
            return "checkbox";
        case ControlKind::kColor:
            return "colour";
        case ControlKind::kOther:
            break;
    }
    return "other";
}

Outcome Refuse(const ControlDescription& control, const std::string& text, const char* problem) {
    return Outcome::Usage(control.option + " \"" + text + "\": " + problem + "; " + control.name +
                          " takes " + DescribeValidValues(control));
}

// The whole text must be the number: no spaces, no trailing characters.
template <typename Number>
bool ParseWhole(const std::string& text, Number* number, bool* out_of_range) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const std::from_chars_result result = std::from_chars(begin, end, *number);
    *out_of_range = result.ec == std::errc::result_out_of_range;
    return result.ptr == end && (result.ec == std::errc() || *out_of_range) && !text.empty();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string OptionPlaceholder(const ControlDescription& control) {
    switch (control.kind) {
        case ControlKind::kInteger:
            return " N";
        case ControlKind::kFixed:
            return " X";
        case ControlKind::kPopup:
            return " NAME";
        case ControlKind::kColor:
            return " RRGGBB";
        case ControlKind::kCheckbox:
        case ControlKind::kOther:
            break;
    }
    return "";
}

std::string OptionNameOf(const std::string& control_name) {
    std::string option = "--";
    for (char c : control_name) {
        option += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return option;
}

ControlDescription DescribeControl(const standin::ControlInfo& info) {
    ControlDescription control;
    control.index = info.index;
    control.name = info.name;
    control.option = OptionNameOf(info.name);
    control.greyed_out = info.disabled();
    control.default_value = info.default_value;
    switch (info.type) {
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
            control.kind =
                info.type == PF_Param_SLIDER ? ControlKind::kInteger : ControlKind::kFixed;
            control.valid_min = info.valid_min;
            control.valid_max = info.valid_max;
            control.slider_min = info.slider_min;
            control.slider_max = info.slider_max;
            control.precision = std::clamp<int>(info.precision, 0, 6);
            control.percent = (info.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
            break;
        case PF_Param_POPUP:
            control.kind = ControlKind::kPopup;
            control.choices = info.choices;
            break;
        case PF_Param_CHECKBOX:
            control.kind = ControlKind::kCheckbox;
            break;
        case PF_Param_COLOR:
            control.kind = ControlKind::kColor;
            control.default_color = info.default_color;
            break;
        default:
            control.kind = ControlKind::kOther;
            break;
    }
    return control;
}

std::string DescribeValidValues(const ControlDescription& control) {
    switch (control.kind) {
        case ControlKind::kInteger:
            return "an integer from " + std::to_string(control.valid_min) + " to " +
                   std::to_string(control.valid_max);
        case ControlKind::kFixed:
            return std::string(control.percent ? "a percentage" : "a number") + " from " +
                   FormatFixed(control.valid_min, control.precision) + " to " +
                   FormatFixed(control.valid_max, control.precision);
        case ControlKind::kPopup: {
            std::string text = "one of ";
            for (size_t i = 0; i < control.choices.size(); ++i) {
                text += (i == 0 ? "" : ", ") + Lower(control.choices[i]);
            }
            return text;
        }
        case ControlKind::kCheckbox:
            return "no value (it switches the checkbox on)";
        case ControlKind::kColor:
            return "a colour as six hexadecimal digits RRGGBB, optionally after #";
        case ControlKind::kOther:
            break;
    }
    return "nothing: the renderer cannot set it";
}

std::string FormatColor(const PF_Pixel& color) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color.red, color.green, color.blue);
    return text;
}

std::string FormatControlValue(const ControlDescription& control, A_long raw) {
    switch (control.kind) {
        case ControlKind::kInteger:
            return std::to_string(raw);
        case ControlKind::kFixed:
            return FormatFixed(raw, control.precision);
        case ControlKind::kPopup:
            if (raw >= 1 && static_cast<size_t>(raw) <= control.choices.size()) {
                return Lower(control.choices[static_cast<size_t>(raw) - 1]);
            }
            return "entry " + std::to_string(raw);
        case ControlKind::kCheckbox:
            return raw != 0 ? "on" : "off";
        case ControlKind::kColor:
        case ControlKind::kOther:
            break;
    }
    return std::to_string(raw);
}

Outcome ParseControlValue(const ControlDescription& control, const std::string& text,
                          ControlValue* value) {
    *value = ControlValue{};
    value->index = control.index;
    value->kind = control.kind;
    switch (control.kind) {
        case ControlKind::kInteger: {
            long long number = 0;
            bool out_of_range = false;
            if (!ParseWhole(text, &number, &out_of_range))
                return Refuse(control, text, "not an integer");
            if (out_of_range || number < control.valid_min || number > control.valid_max) {
                return Refuse(control, text, "out of range");
            }
            value->value = static_cast<A_long>(number);
            return Outcome::Ok();
        }
        case ControlKind::kFixed: {
            double number = 0.0;
            bool out_of_range = false;
            if (!ParseWhole(text, &number, &out_of_range) || std::isnan(number) ||
                std::isinf(number)) {
                return Refuse(control, text, "not a number");
            }
            // Judged as stored: the nearest 16.16 value. Far-off values are
            // refused before llround could overflow.
            const double scaled = number * kFixedOne;
            if (out_of_range || !(std::fabs(scaled) < 4.0e18))
                return Refuse(control, text, "out of range");
            const long long raw = std::llround(scaled);
            if (raw < control.valid_min || raw > control.valid_max) {
                return Refuse(control, text, "out of range");
            }
            value->value = static_cast<A_long>(raw);
            return Outcome::Ok();
        }
        case ControlKind::kPopup: {
            const std::string wanted = Lower(text);
            for (size_t i = 0; i < control.choices.size(); ++i) {
                if (Lower(control.choices[i]) == wanted && !wanted.empty()) {
                    value->value = static_cast<A_long>(i + 1);
                    return Outcome::Ok();
                }
            }
            return Refuse(control, text, "no such entry");
        }
        case ControlKind::kCheckbox:
            value->value = 1;
            return Outcome::Ok();
        case ControlKind::kColor: {
            const size_t skip = !text.empty() && text[0] == '#' ? 1 : 0;
            if (text.size() != skip + 6) return Refuse(control, text, "not a colour");
            int digits[6];
            for (size_t i = 0; i < 6; ++i) {
                digits[i] = HexDigit(text[skip + i]);
                if (digits[i] < 0) return Refuse(control, text, "not a colour");
            }
            value->color.alpha = 255;
            value->color.red = static_cast<A_u_char>(digits[0] * 16 + digits[1]);
            value->color.green = static_cast<A_u_char>(digits[2] * 16 + digits[3]);
            value->color.blue = static_cast<A_u_char>(digits[4] * 16 + digits[5]);
            return Outcome::Ok();
        }
        case ControlKind::kOther:
            break;
    }
    return Outcome::Usage(control.option + ": " + control.name +
                          " is a kind of control the renderer cannot set");
}

std::string ListControls(const std::string& effect_name,
                         const std::vector<ControlDescription>& controls) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back(
        {"option", "control", "kind", "valid values", "slider range", "default", "state"});
    for (const ControlDescription& control : controls) {
        std::string valid, slider, dephault;
        switch (control.kind) {
            case ControlKind::kInteger:
            case ControlKind::kFixed:
                valid = FormatControlValue(control, control.valid_min) + " to " +
                        FormatControlValue(control, control.valid_max);
                slider = FormatControlValue(control, control.slider_min) + " to " +
                         FormatControlValue(control, control.slider_max);
                dephault = FormatControlValue(control, control.default_value);
                break;
            case ControlKind::kPopup:
                for (size_t i = 0; i < control.choices.size(); ++i) {
                    valid += (i == 0 ? "" : "|") + Lower(control.choices[i]);
                }
                dephault = FormatControlValue(control, control.default_value);
                break;
            case ControlKind::kCheckbox:
                valid = "on";
                dephault = FormatControlValue(control, control.default_value);
                break;
            case ControlKind::kColor:
                valid = "RRGGBB";
                dephault = FormatColor(control.default_color);
                break;
            case ControlKind::kOther:
                break;
        }
        rows.push_back({control.option + OptionPlaceholder(control), control.name,
                        KindName(control), valid, slider, dephault,
                        control.greyed_out ? "greyed out" : "enabled"});
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::string text = "Controls of " + effect_name + ", as the effect registers them:\n";
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t column = 0; column < row.size(); ++column) {
            line += " " + row[column];
            if (column + 1 < row.size())
                line += std::string(widths[column] - row[column].size() + 1, ' ');
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace ostrel_render
