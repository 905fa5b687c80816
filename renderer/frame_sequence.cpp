#include "renderer/frame_sequence.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <set>

namespace ostrel_render {
namespace {

// A list that long is a typing mistake, not a sequence anyone renders.
constexpr int64_t kMaxFrames = 10000000;

struct PatternMatch {
    size_t begin = 0;
    size_t end = 0;
    int width = 0;
};

// The pattern starting at `at`, if there is one.
bool MatchPatternAt(const std::string& path, size_t at, PatternMatch* match) {
    if (path[at] == '#' || path[at] == '@') {
        size_t end = at;
        int width = 0;
        for (; end < path.size() && (path[end] == '#' || path[end] == '@'); ++end) {
            width += path[end] == '#' ? 4 : 1;
        }
        *match = PatternMatch{at, end, width};
        return true;
    }
    if (path[at] != '%') return false;
    size_t end = at + 1;
    int width = 0;
    if (end < path.size() && path[end] == '0') {
        ++end;
        const size_t digits = end;
        for (; end < path.size() && std::isdigit(static_cast<unsigned char>(path[end])); ++end) {
            width = width * 10 + (path[end] - '0');
            if (width > 32) return false;
        }
        if (end == digits) return false;
    }
    if (end >= path.size() || path[end] != 'd') return false;
    *match = PatternMatch{at, end + 1, width};
    return true;
}

// A signed decimal integer from text[*at]; advances *at past it.
bool ReadInteger(const std::string& text, size_t* at, int64_t* value) {
    size_t position = *at;
    const bool negative = position < text.size() && text[position] == '-';
    if (negative) ++position;
    const size_t digits = position;
    int64_t magnitude = 0;
    for (; position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
         ++position) {
        magnitude = magnitude * 10 + (text[position] - '0');
        if (magnitude > INT32_MAX) return false;
    }
    if (position == digits) return false;
    *value = negative ? -magnitude : magnitude;
    *at = position;
    return true;
}

}  // namespace

std::string FramePattern::NameOf(int frame) const {
    char digits[48];
    std::snprintf(digits, sizeof digits, "%0*d", width, frame);
    return prefix + digits + suffix;
}

Outcome ParseFramePattern(const std::string& path, FramePattern* pattern) {
    *pattern = FramePattern{};
    for (size_t at = 0; at < path.size(); ++at) {
        PatternMatch match;
        if (!MatchPatternAt(path, at, &match)) continue;
        if (pattern->present) {
            return Outcome::Usage(path + ": more than one frame pattern in the name");
        }
        pattern->present = true;
        pattern->prefix = path.substr(0, match.begin);
        pattern->suffix = path.substr(match.end);
        pattern->width = match.width;
        at = match.end - 1;
    }
    return Outcome::Ok();
}

Outcome ParseFrameList(const std::string& text, std::vector<int>* frames) {
    frames->clear();
    const Outcome malformed = Outcome::Usage(
        "--frames: \"" + text +
        "\" is not a frame list (A-B, A-BxS for every S-th frame, or several separated by "
        "commas)");
    std::set<int> listed;
    int64_t count = 0;
    size_t at = 0;
    while (true) {
        int64_t first = 0, last = 0, step = 1;
        if (!ReadInteger(text, &at, &first)) return malformed;
        last = first;
        if (at < text.size() && text[at] == '-') {
            ++at;
            if (!ReadInteger(text, &at, &last)) return malformed;
            if (at < text.size() && text[at] == 'x') {
                ++at;
                if (!ReadInteger(text, &at, &step)) return malformed;
            }
        }
        if (step < 1)
            return Outcome::Usage("--frames: the step in \"" + text + "\" must be at least 1");
        if (last < first) {
            return Outcome::Usage("--frames: in \"" + text + "\" the range " +
                                  std::to_string(first) + "-" + std::to_string(last) +
                                  " runs backwards");
        }
        count += (last - first) / step + 1;
        if (count > kMaxFrames) {
            return Outcome::Usage("--frames: \"" + text + "\" lists more than " +
                                  std::to_string(kMaxFrames) + " frames");
        }
        for (int64_t frame = first; frame <= last; frame += step) {
            if (listed.insert(static_cast<int>(frame)).second)
                frames->push_back(static_cast<int>(frame));
        }
        if (at == text.size()) return Outcome::Ok();
        if (text[at] != ',') return malformed;
        ++at;
    }
}

}  // namespace ostrel_render
