// The thread that feeds the encoders and the muxer, so the caller's thread
// can draw the next frame meanwhile: jobs go through a short queue, and a
// caller that runs ahead waits. The worker's failure comes back to the
// caller as a HostError at its next push or wait.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lumhost/media/media_handles.h"

namespace lumhost {

// One frame's worth of work: a reference to the picture (none for the
// closing job) and the sound that goes with it.
struct EncodeJob {
    FramePtr picture;
    std::vector<float> sound;
    bool last = false;
};

class EncodeWorker {
public:
    static constexpr std::size_t queueLength = 3;

    // Starts the thread, which calls `handle` with each job in turn; after
    // the last job it is done. SIGINT, SIGTERM and SIGPIPE stay with the
    // caller's thread, which polls for them.
    explicit EncodeWorker(std::function<void(EncodeJob&)> handle);
    ~EncodeWorker();
    EncodeWorker(const EncodeWorker&) = delete;
    EncodeWorker& operator=(const EncodeWorker&) = delete;

    // Queues a job, waiting while the queue is full. Throws the worker's
    // failure, or Interrupted on Ctrl-C while waiting.
    void push(EncodeJob job);

    // Waits until the last job is handled; throws as push does.
    void waitUntilDone();

    // Ends the thread after the job in hand; what is still queued is dropped.
    void stop();

private:
    void work();

    std::function<void(EncodeJob&)> handle_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<EncodeJob> queue_;
    bool stopping_ = false;
    bool done_ = false;
    std::string failure_;
    std::thread thread_;
};

}  // namespace lumhost
