#include "lumhost/cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace lumhost {

Progress::Progress(int64_t totalFrames, bool quiet)
    : total_(totalFrames), quiet_(quiet), terminal_(::isatty(STDERR_FILENO) != 0) {}

void Progress::frameDone() {
    ++done_;
    if (quiet_) return;
    const auto now = Clock::now();
    if (now - lastShown_ < (terminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(5000))) return;
    lastShown_ = now;
    show(false);
}

void Progress::finish() {
    if (!quiet_) show(true);
}

void Progress::show(bool closing) {
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0.0;
    if (closing) {
        std::fprintf(stderr, "%slumhost: rendered %lld frames in %.2f s (%.1f frames/s)\n", terminal_ ? "\r\033[K" : "",
                     static_cast<long long>(done_), seconds, rate);
        return;
    }
    char left[32] = "?";
    if (total_ > 0 && rate > 0) {
        const auto remaining = static_cast<long long>(static_cast<double>(total_ - done_) / rate + 0.5);
        std::snprintf(left, sizeof left, "%lld:%02lld", remaining / 60, remaining % 60);
    }
    std::fprintf(stderr, "%slumhost: frame %lld/%lld  %.1f frames/s  %s left%s", terminal_ ? "\r\033[K" : "",
                 static_cast<long long>(done_), static_cast<long long>(total_), rate, left, terminal_ ? "" : "\n");
    std::fflush(stderr);
}

}  // namespace lumhost
