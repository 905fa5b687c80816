// How a step of the renderer ended, carried up to main as the exit status and
// the message for the user.
#pragma once

#include <string>
#include <utility>

namespace ostrel_render {

enum ExitStatus : int {
    kExitWritten = 0,
    kExitFailed = 1,       // the effect returned an error, or the output could not be written
    kExitUsage = 2,        // bad usage, control value, input or output format; nothing written
    kExitCancelled = 130,  // Ctrl-C
};

struct Outcome {
    int status = kExitWritten;
    std::string message;

    bool ok() const { return status == kExitWritten; }

    static Outcome Ok() { return Outcome{}; }
    static Outcome Usage(std::string message) { return Outcome{kExitUsage, std::move(message)}; }
    static Outcome Failed(std::string message) { return Outcome{kExitFailed, std::move(message)}; }
    static Outcome Cancelled(std::string message) {
        return Outcome{kExitCancelled, std::move(message)};
    }
};

}  // namespace ostrel_render
