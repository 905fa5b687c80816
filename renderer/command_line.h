// ostrel-render's command line. The effect's controls are options too; they
// are known only once the effect has registered them, so the plug-in option
// is found first, then the whole line is parsed against the controls.
#pragma once

#include <string>
#include <vector>

#include "renderer/control_options.h"
#include "renderer/frame_sequence.h"
#include "renderer/outcome.h"

namespace ostrel_render {

struct CommandLine {
    bool help = false;
    bool list_params = false;
    bool quiet = false;
    bool skip_bad_frames = false;
    std::string input;
    std::string output;
    std::string plugin;  // empty: the module beside the renderer
    int depth = 0;       // 8, 16 or 32; 0: from the input file
    int downsample = 1;
    int jobs = 1;
    bool sequence = false;  // --frames given
    std::vector<int> frames;
    FramePattern input_pattern;
    FramePattern output_pattern;
    std::vector<ControlValue> controls;  // in the order given; a later value wins
};

// --plugin's value, if given, and whether help is asked for, before parsing.
std::string FindPluginOption(const std::vector<std::string>& arguments);
bool AsksForHelp(const std::vector<std::string>& arguments);

// Status 2 with a message naming the option and what it takes.
Outcome ParseCommandLine(const std::vector<std::string>& arguments,
                         const std::vector<ControlDescription>& controls, CommandLine* line);

// --help's text; the controls' options are listed when known.
std::string UsageText(const std::vector<ControlDescription>& controls);

}  // namespace ostrel_render
