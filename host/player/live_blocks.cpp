#include "host/player/live_blocks.h"

#include <algorithm>
#include <cstdio>

#include "rules/defaults.h"

namespace lumhost {

LiveBlocks::LiveBlocks(AudioSource& source, int fps, lumrules::BlockLayout layout, int delayMs)
    : source_(source), rate_(source.sampleRate()), fps_(fps), layout_(layout) {
    setDelay(delayMs);
}

void LiveBlocks::setDelay(int ms) { delayMs_ = std::clamp(ms, lumrules::minLiveDelayMs, lumrules::maxDelayMs); }

bool LiveBlocks::showArrived(const BlockShow& show) {
    for (;;) {
        const int64_t from = lumrules::frameStart(frame_, rate_, fps_), to = lumrules::frameStart(frame_ + 1, rate_, fps_);
        const int64_t waiting = source_.available();
        if (waiting < to - from) break;
        samples_.resize(static_cast<std::size_t>((to - from) * source_.channels()));
        source_.read(samples_.data(), static_cast<std::size_t>(to - from));
        ++frame_;
        if (source_.paced() && waiting - (to - from) > rate_ / 4) {
            ++skipped_;
            continue;
        }
        Pending next;
        lumrules::makeSoundBlock(samples_.data(), static_cast<std::size_t>(to - from), source_.channels(), layout_, next.block);
        next.arrived = source_.arrivalOf(to - 1).value_or(Clock::now());
        pending_.push_back(std::move(next));
    }
    bool shown = false;
    const auto now = Clock::now();
    while (!pending_.empty() && pending_.front().arrived + std::chrono::milliseconds(delayMs_) <= now) {
        show(pending_.front().block);
        onScreenSoon_.push_back(pending_.front().arrived);
        pending_.pop_front();
        shown = true;
    }
    return shown;
}

void LiveBlocks::presented() {
    const auto now = Clock::now();
    for (const auto& arrived : onScreenSoon_) delays_.push_back(std::chrono::duration<double, std::milli>(now - arrived).count());
    onScreenSoon_.clear();
}

void LiveBlocks::reportDelays() {
    if (delays_.empty()) return;
    std::sort(delays_.begin(), delays_.end());
    std::fprintf(stderr, "lumhost: %zu blocks shown a median %.1f ms after their sound arrived (95%% within %.1f ms, at most %.1f ms)\n",
                 delays_.size(), delays_[delays_.size() / 2], delays_[delays_.size() * 95 / 100], delays_.back());
}

}  // namespace lumhost
