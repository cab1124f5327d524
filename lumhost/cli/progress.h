// Progress of a render on stderr: frames done, frames per second, time left.
// On a terminal one line is rewritten in place; otherwise a line is written
// every few seconds. Quiet prints nothing.
#pragma once

#include <chrono>
#include <cstdint>

namespace lumhost {

class Progress {
public:
    Progress(int64_t totalFrames, bool quiet);
    void frameDone();
    // The closing summary: frames, seconds, frames per second.
    void finish();

private:
    void show(bool closing);

    using Clock = std::chrono::steady_clock;
    int64_t total_;
    int64_t done_ = 0;
    bool quiet_;
    bool terminal_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point lastShown_ = started_;
};

}  // namespace lumhost
