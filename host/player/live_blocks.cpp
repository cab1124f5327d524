#include "host/player/live_blocks.h"

#include <algorithm>
#include <cstdio>

#include "rules/defaults.h"

namespace lumhost {

LiveBlocks::LiveBlocks(AudioSource& source, int fps, lumrules::BlockLayout layout, int delayMs)
    : source_(source), rate_(source.sampleRate()), fps_(fps), cutter_(rate_, source.channels(), fps, 1, layout) {
    setDelay(delayMs);
}

void LiveBlocks::setDelay(int ms) { delayMs_ = std::clamp(ms, lumrules::minLiveDelayMs, lumrules::maxDelayMs); }

bool LiveBlocks::showArrived(const BlockShow& show) {
    for (;;) {
        // What the next block still lacks, read only once it has all arrived, so reading never waits.
        const auto lacking = static_cast<int64_t>(cutter_.wanted() - std::min(cutter_.wanted(), cutter_.available()));
        const int64_t waiting = source_.available();
        if (waiting < lacking) break;
        samples_.resize(static_cast<std::size_t>(lacking * source_.channels()));
        // A device lost on the way gives less than it said it held: only what came goes into blocks.
        const std::size_t got = source_.read(samples_.data(), static_cast<std::size_t>(lacking));
        cutter_.push(samples_.data(), got);
        if (static_cast<int64_t>(got) < lacking) break;
        const int64_t end = cutter_.frameStartSample(cutter_.frame() + 1);
        if (source_.paced() && waiting - lacking > rate_ / 4) {
            cutter_.skip();
            ++skipped_;
            continue;
        }
        Pending next;
        cutter_.cut(next.block);
        next.arrived = source_.arrivalOf(end - 1).value_or(Clock::now());
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
    if (delays_.empty() || !commentary()) return;
    std::sort(delays_.begin(), delays_.end());
    std::fprintf(stderr, "lumhost: %zu blocks shown a median %.1f ms after their sound arrived (95%% within %.1f ms, at most %.1f ms)\n",
                 delays_.size(), delays_[delays_.size() / 2], delays_[delays_.size() * 95 / 100], delays_.back());
}

}  // namespace lumhost
