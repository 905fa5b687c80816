// The progress bar on standard error, fed by the effect's own progress calls
// from any number of worker threads, and the messages printed around it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "host/interface/ae_types.h"

namespace ostrel_render {

class ProgressBar {
  public:
    // Draws only when `enabled`: standard error is a terminal and not --quiet.
    ProgressBar(bool enabled, int frames, int workers);

    // A worker's frame has `done` of `total` steps (strips) behind it.
    void Update(int worker, A_long done, A_long total);
    // A worker's frame is finished, written or not.
    void FrameDone(int worker);
    // A line on standard error, clear of the bar.
    void Message(const std::string& text);
    // Leaves the bar's line.
    void Finish();

  private:
    void DrawLocked();
    std::mutex mutex_;
    const bool enabled_;
    const int frames_;
    int frames_done_ = 0;
    std::vector<double> worker_fraction_;
    int drawn_permille_ = -1;
    bool drawn_ = false;
};

}  // namespace ostrel_render
