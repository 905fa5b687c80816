// The effect's controls: their indices (which are also their parameter IDs)
// and, in one table, everything the host is told about each.
#pragma once

#include "host/interface/ae_effect.h"

enum ParamIndex : A_long {
    ParamInput = 0,  // the input layer, which the host adds by itself
    ParamWidth = 1,
    ParamMinimumLength = 2,
    ParamDirection = 3,
    ParamInvert = 4,
    ParamThreshold = 5,
    ParamMode = 6,
    ParamEdgeThickness = 7,
    ParamEdgeMode = 8,
    ParamEdgeLightness = 9,
    ParamEdgeColor = 10,
    ParamColorInvert = 11,
    ParamCount = 12,  // including the input layer
};

// One control as registered. Sliders use the four limits and the default;
// fixed sliders hold them raw (16.16) and add precision and display flags;
// popups use the default, choice count and choices; checkboxes default to off
// with an empty label; the colour uses `color`.
struct ControlDefinition {
    ParamIndex index;
    const char* name;
    PF_ParamType kind;
    A_long valid_min, valid_max;
    A_long slider_min, slider_max;
    A_long dephault;
    A_short precision;
    A_short display_flags;
    A_short num_choices;
    const char* choices;
    PF_Pixel color;
};

// The definition of control `index`, ParamWidth to ParamColorInvert.
const ControlDefinition& Control(ParamIndex index);

// Work copies of the definitions that the UI update may change: all cleared,
// then the two edge controls copied whole from the host's.
void CopyParamDefinitions(PF_ParamDef* const params[], PF_ParamDef work[ParamCount]);
