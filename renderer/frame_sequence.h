// Image sequences after oiiotool's conventions: a frame pattern in a file
// name, and the list of frames to render.
#pragma once

#include <string>
#include <vector>

#include "renderer/outcome.h"

namespace ostrel_render {

// `#` stands for four digits and `@` for one (a run adds up its widths:
// "@@@" is three digits, "#@" five), or printf-style "%04d" / "%d".
struct FramePattern {
    bool present = false;
    std::string prefix;
    std::string suffix;
    int width = 0;  // digits, zero-padded; 0 for "%d"

    // The file name of one frame; negative frames as printf writes them.
    std::string NameOf(int frame) const;
};

// Status 2 when a name holds more than one pattern.
Outcome ParseFramePattern(const std::string& path, FramePattern* pattern);

// "A-B", "A-BxS" (every S-th frame from A), "A", or several of these
// separated by commas; each frame once, in the order listed.
Outcome ParseFrameList(const std::string& text, std::vector<int>* frames);

}  // namespace ostrel_render
