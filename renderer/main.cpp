// ostrel-render: applies the effect to image files through the stand-in host.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "renderer/command_line.h"
#include "renderer/effect_session.h"
#include "renderer/image_io.h"
#include "renderer/progress.h"
#include "renderer/render_job.h"

namespace {

using namespace ostrel_render;

// Set by Ctrl-C and read by every host's progress call.
std::atomic<bool> cancel_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only store to it");

extern "C" void OnInterrupt(int) { cancel_requested.store(true); }

void CatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A second Ctrl-C ends the program at once, as usual.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

int Fail(const Outcome& outcome) {
    std::fprintf(stderr, "ostrel-render: %s\n", outcome.message.c_str());
    return outcome.status;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    NewFileMode();  // reads the umask while there is one thread

    std::string plugin_path = FindPluginOption(arguments);
    if (plugin_path.empty()) plugin_path = standin::DefaultPluginPath();
    std::unique_ptr<standin::PluginModule> module;
    const Outcome loaded = LoadEffect(plugin_path, &module);
    std::unique_ptr<EffectSession> session;
    Outcome started = loaded;
    if (loaded.ok()) started = EffectSession::Start(*module, &cancel_requested, &session);

    if (AsksForHelp(arguments)) {
        std::fputs(UsageText(started.ok() ? session->Controls() : std::vector<ControlDescription>())
                       .c_str(),
                   stdout);
        if (!started.ok()) Fail(started);
        return kExitWritten;
    }
    if (!started.ok()) return Fail(started);

    CommandLine line;
    Outcome outcome = ParseCommandLine(arguments, session->Controls(), &line);
    if (outcome.ok()) outcome = session->Apply(line.controls);
    if (!outcome.ok()) return Fail(outcome);

    if (line.list_params) {
        std::fputs(ListControls(BaseName(module->path()), session->Controls()).c_str(), stdout);
        return kExitWritten;
    }

    CatchInterrupt();
    const std::vector<FrameJob> jobs = FrameJobsOf(line);
    ProgressBar progress(!line.quiet && isatty(STDERR_FILENO), static_cast<int>(jobs.size()),
                         line.jobs);
    return RenderAll(jobs, line, *module, std::move(session), &cancel_requested, &progress);
}
