#include "renderer/progress.h"

#include <algorithm>
#include <cstdio>

namespace ostrel_render {

ProgressBar::ProgressBar(bool enabled, int frames, int workers)
    : enabled_(enabled),
      frames_(std::max(frames, 1)),
      worker_fraction_(std::max(workers, 1), 0.0) {}

void ProgressBar::Update(int worker, A_long done, A_long total) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    worker_fraction_[worker] = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
    DrawLocked();
}

void ProgressBar::FrameDone(int worker) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++frames_done_;
    worker_fraction_[worker] = 0.0;
    if (enabled_) DrawLocked();
}

void ProgressBar::Message(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (drawn_) std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "ostrel-render: %s\n", text.c_str());
    if (drawn_) {
        drawn_permille_ = -1;
        DrawLocked();
    }
}

void ProgressBar::Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (drawn_) std::fputs("\n", stderr);
    drawn_ = false;
}

void ProgressBar::DrawLocked() {
    double progress = frames_done_;
    for (double fraction : worker_fraction_) progress += fraction;
    const int permille = std::min(1000, static_cast<int>(progress / frames_ * 1000.0));
    if (permille == drawn_permille_) return;
    drawn_permille_ = permille;
    constexpr int kBarWidth = 40;
    const int filled = permille * kBarWidth / 1000;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r[%s] %5.1f%%", bar.c_str(), permille / 10.0);
    if (frames_ > 1) std::fprintf(stderr, "  %d/%d frames", frames_done_, frames_);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace ostrel_render
