// Rendering the command line's frames: one image, or a sequence spread over
// worker threads with one effect instance each.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "renderer/command_line.h"
#include "renderer/effect_session.h"
#include "renderer/outcome.h"
#include "renderer/progress.h"

namespace ostrel_render {

struct FrameJob {
    std::string input;
    std::string output;
    A_long time = 0;
};

// The frames the command line asks for, in order.
std::vector<FrameJob> FrameJobsOf(const CommandLine& line);

// Reads, renders and writes one frame: the output appears only when complete
// and not cancelled.
Outcome RenderFrameFile(EffectSession& session, const CommandLine& line, const FrameJob& job,
                        uint64_t memory_budget, const std::atomic<bool>& cancel);

// Renders every job; `first` is an effect session already set up with the
// command line's values (more are started for --jobs). Failures are printed
// as they happen; the result is the exit status: 130 when cancelled, else
// that of the first failed frame in order, else 1 if the effect's set-down
// failed, else 0.
int RenderAll(const std::vector<FrameJob>& jobs, const CommandLine& line,
              const standin::PluginModule& module, std::unique_ptr<EffectSession> first,
              const std::atomic<bool>* cancel, ProgressBar* progress);

}  // namespace ostrel_render
