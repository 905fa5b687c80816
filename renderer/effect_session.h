// One instance of the effect on its own stand-in host: set up in the host's
// order, given the command line's control values, rendering frames. Each
// worker thread has its own; the effect keeps no global state.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "renderer/control_options.h"
#include "renderer/outcome.h"
#include "standin_host/standin_host.h"

namespace ostrel_render {

// The loaded module; status 2 with the loader's reason when it cannot be loaded.
Outcome LoadEffect(const std::string& path, std::unique_ptr<standin::PluginModule>* module);

class EffectSession {
  public:
    // Sets the instance up. `cancel` is read by the host's progress call
    // (and may be set from a signal handler).
    static Outcome Start(const standin::PluginModule& module, const std::atomic<bool>* cancel,
                         std::unique_ptr<EffectSession>* session);
    ~EffectSession();

    // The controls as the effect registered them, greyed out as its last UI
    // update left them.
    std::vector<ControlDescription> Controls() const;

    // Sets the values, then sends the UI update a host sends after a change.
    Outcome Apply(const std::vector<ControlValue>& values);

    // Called on each of the effect's progress calls: strips done of total.
    void SetProgressObserver(std::function<void(A_long done, A_long total)> observer);

    // Renders `input` (already at 1/downsample of the full frame) at the
    // input's depth. On success *output is a frame of the input's size.
    // `name` is the output's, for messages.
    Outcome Render(const standin::World& input, int downsample, A_long time,
                   const std::string& name, std::unique_ptr<standin::World>* output);

    // Sets the instance down; an error is the effect's, named.
    Outcome Stop();

  private:
    explicit EffectSession(PF_EntryPointFunc entry_point);
    standin::Host host_;
    standin::EffectInstance instance_;
    const std::atomic<bool>* cancel_ = nullptr;
    std::function<void(A_long, A_long)> observer_;
};

}  // namespace ostrel_render
