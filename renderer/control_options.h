// The effect's controls as command-line options. Everything about a control
// (name, kind, ranges, default) comes from the definition the effect
// registered with the host; nothing here knows the effect's own controls.
#pragma once

#include <string>
#include <vector>

#include "host/interface/ae_effect.h"
#include "renderer/outcome.h"
#include "standin_host/standin_host.h"

namespace ostrel_render {

enum class ControlKind { kInteger, kFixed, kPopup, kCheckbox, kColor, kOther };

struct ControlDescription {
    PF_ParamIndex index = 0;
    std::string name;    // as registered: "Edge Color"
    std::string option;  // "--edge-color"
    ControlKind kind = ControlKind::kOther;
    // Integer and fixed-point controls: raw stored values (16.16 for fixed).
    A_long valid_min = 0, valid_max = 0, slider_min = 0, slider_max = 0;
    A_long default_value = 0;  // also popup entry (1-based) and checkbox state
    int precision = 0;         // decimals shown for a fixed-point control
    bool percent = false;
    std::vector<std::string> choices;  // popup entries
    PF_Pixel default_color{};
    bool greyed_out = false;  // after the effect's UI update
};

// One control's value to set before rendering.
struct ControlValue {
    PF_ParamIndex index = 0;
    ControlKind kind = ControlKind::kOther;
    A_long value = 0;  // raw: integer, 16.16, popup entry (1-based) or checkbox 0/1
    PF_Pixel color{};
};

// The option of a control: lower case, spaces as hyphens.
std::string OptionNameOf(const std::string& control_name);

// What follows the option in usage texts: " N", " X", " NAME", " RRGGBB".
std::string OptionPlaceholder(const ControlDescription& control);

// A control as the effect registered it with the host.
ControlDescription DescribeControl(const standin::ControlInfo& info);

// Parses an option's text for a control; a checkbox takes no text and is
// switched on. A malformed or out-of-range value gives status 2 with a
// message naming the control and its valid range.
Outcome ParseControlValue(const ControlDescription& control, const std::string& text,
                          ControlValue* value);

// "an integer from 1 to 10000", "one of horizontal, vertical"...
std::string DescribeValidValues(const ControlDescription& control);
// A raw value as the user writes it: "10", "10.0", "horizontal", "#ffffff", "on".
std::string FormatControlValue(const ControlDescription& control, A_long raw);
std::string FormatColor(const PF_Pixel& color);

// The table that --list-params prints.
std::string ListControls(const std::string& effect_name,
                         const std::vector<ControlDescription>& controls);

}  // namespace ostrel_render
