#include "renderer/render_job.h"

#include <algorithm>
#include <thread>

#include "renderer/image_io.h"

namespace ostrel_render {

std::vector<FrameJob> FrameJobsOf(const CommandLine& line) {
    std::vector<FrameJob> jobs;
    if (!line.sequence) {
        jobs.push_back(FrameJob{line.input, line.output, 0});
        return jobs;
    }
    for (int frame : line.frames) {
        jobs.push_back(FrameJob{line.input_pattern.NameOf(frame), line.output_pattern.NameOf(frame),
                                static_cast<A_long>(frame)});
    }
    return jobs;
}

Outcome RenderFrameFile(EffectSession& session, const CommandLine& line, const FrameJob& job,
                        uint64_t memory_budget, const std::atomic<bool>& cancel) {
    std::unique_ptr<ImageReader> reader;
    Outcome outcome = ImageReader::Open(job.input, &reader);
    if (!outcome.ok()) return outcome;
    const ImageHeader& header = reader->header();
    const RenderDepth depth =
        line.depth != 0 ? static_cast<RenderDepth>(line.depth) : NaturalDepthOf(header.data);

    // The output format is judged before any pixel is read or rendered.
    std::unique_ptr<PendingOutput> output;
    outcome =
        PendingOutput::Create(job.output, depth, DownsampledSize(header.width, line.downsample),
                              DownsampledSize(header.height, line.downsample), &output);
    if (!outcome.ok()) return outcome;

    std::unique_ptr<standin::World> input;
    outcome = reader->ReadFrame(depth, line.downsample, memory_budget, &input);
    reader.reset();
    if (!outcome.ok()) return outcome;

    std::unique_ptr<standin::World> rendered;
    outcome = session.Render(*input, line.downsample, job.time, job.output, &rendered);
    input.reset();
    if (!outcome.ok()) return outcome;

    outcome = output->Write(*rendered);
    if (!outcome.ok()) return outcome;
    // A Ctrl-C while writing still leaves the old output in place.
    if (cancel.load()) return Outcome::Cancelled(job.output + ": cancelled while writing");
    return output->Commit();
}

int RenderAll(const std::vector<FrameJob>& jobs, const CommandLine& line,
              const standin::PluginModule& module, std::unique_ptr<EffectSession> first,
              const std::atomic<bool>* cancel, ProgressBar* progress) {
    const int workers = std::max(1, std::min<int>(line.jobs, static_cast<int>(jobs.size())));
    // Each worker may hold a frame at a time.
    const uint64_t memory_budget = PhysicalMemoryBytes() / static_cast<uint64_t>(workers);

    std::vector<Outcome> outcomes(jobs.size());
    std::vector<char> finished(jobs.size(), 0);  // one byte each: written by several threads
    std::atomic<size_t> next_job{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> set_down_failed{false};

    auto work = [&](int worker, std::unique_ptr<EffectSession> session) {
        if (!session) {
            Outcome started = EffectSession::Start(module, cancel, &session);
            if (started.ok()) started = session->Apply(line.controls);
            if (!started.ok()) {
                progress->Message(started.message);
                stop = true;
                // Reported as the failure of the frame this worker would take.
                const size_t index = next_job++;
                if (index < jobs.size()) {
                    outcomes[index] = started;
                    finished[index] = 1;
                }
                return;
            }
        }
        session->SetProgressObserver([progress, worker](A_long done, A_long total) {
            progress->Update(worker, done, total);
        });
        while (!stop && !cancel->load()) {
            const size_t index = next_job++;
            if (index >= jobs.size()) break;
            Outcome outcome = RenderFrameFile(*session, line, jobs[index], memory_budget, *cancel);
            progress->FrameDone(worker);
            if (!outcome.ok()) {
                if (outcome.status != kExitCancelled) progress->Message(outcome.message);
                if (!line.skip_bad_frames || outcome.status == kExitCancelled) stop = true;
            }
            outcomes[index] = std::move(outcome);
            finished[index] = 1;
        }
        const Outcome stopped = session->Stop();
        if (!stopped.ok()) {
            progress->Message(stopped.message);
            set_down_failed = true;
        }
    };

    std::vector<std::thread> threads;
    for (int worker = 1; worker < workers; ++worker) {
        threads.emplace_back(work, worker, nullptr);
    }
    work(0, std::move(first));
    for (std::thread& thread : threads) thread.join();
    progress->Finish();

    if (cancel->load()) {
        std::string message = "cancelled; nothing more was written";
        for (const Outcome& outcome : outcomes) {
            if (outcome.status == kExitCancelled) message = outcome.message;
        }
        progress->Message(message);
        return kExitCancelled;
    }
    int failed = 0;
    int status = kExitWritten;
    for (size_t index = 0; index < jobs.size(); ++index) {
        if (finished[index] && !outcomes[index].ok()) {
            if (failed++ == 0) status = outcomes[index].status;
        }
    }
    if (line.sequence && failed > 0) {
        const size_t rendered =
            static_cast<size_t>(std::count(finished.begin(), finished.end(), 1));
        progress->Message(std::to_string(failed) + " of " + std::to_string(jobs.size()) +
                          " frames failed" +
                          (rendered < jobs.size() ? "; the sequence stopped there" : ""));
    }
    // The frames are written, but the effect reported an error.
    if (status == kExitWritten && set_down_failed) status = kExitFailed;
    return status;
}

}  // namespace ostrel_render
