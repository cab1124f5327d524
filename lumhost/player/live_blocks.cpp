#include "lumhost/player/live_blocks.h"

#include <algorithm>
#include <cstdio>

#include "rules/defaults.h"

namespace lumhost {
namespace {

// Steps of the tally: fine below 100 ms, where a live figure's delays lie, a
// millisecond up to the longest delay a person may set and a second more.
constexpr double fineUpToMs = 100, fineStepsPerMs = 10;
constexpr auto fineSteps = static_cast<std::size_t>(fineUpToMs * fineStepsPerMs);
constexpr auto coarseSteps = static_cast<std::size_t>(lumrules::maxDelayMs + 1000 - fineUpToMs);

std::size_t stepOf(double ms) {
    if (!(ms > 0)) return 0;
    if (ms < fineUpToMs) return static_cast<std::size_t>(ms * fineStepsPerMs);
    return fineSteps + static_cast<std::size_t>(std::min(ms - fineUpToMs, static_cast<double>(coarseSteps)));
}

double startOf(std::size_t step) {
    if (step < fineSteps) return static_cast<double>(step) / fineStepsPerMs;
    return fineUpToMs + static_cast<double>(step - fineSteps);
}

}  // namespace

DelayTally::DelayTally() : counts_(fineSteps + coarseSteps + 1, 0) {}

void DelayTally::add(double ms) {
    ++counts_[stepOf(ms)];
    ++count_;
    longest_ = std::max(longest_, ms);
}

double DelayTally::atRank(std::size_t rank) const {
    int64_t below = 0;
    for (std::size_t step = 0; step + 1 < counts_.size(); ++step) {
        below += counts_[step];
        if (below > static_cast<int64_t>(rank)) return std::min(startOf(step), longest_);
    }
    return longest_;
}

LiveBlocks::LiveBlocks(AudioSource& source, int fps, lumrules::BlockLayout layout, int delayMs)
    : source_(source), rate_(source.sampleRate()), fps_(fps), cutter_(rate_, source.channels(), fps, 1, layout) {
    setDelay(delayMs);
}

void LiveBlocks::setDelay(int ms) { delayMs_ = std::clamp(ms, lumrules::minLiveDelayMs, lumrules::maxDelayMs); }

bool LiveBlocks::showArrived(const BlockShow& show) {
    return showArrived([&show](const std::vector<int8_t>& block, Clock::time_point) { show(block); });
}

bool LiveBlocks::showArrived(const ArrivedShow& show) {
    for (;;) {
        // What the next block still lacks, read only once it has all arrived, so reading never waits.
        const auto lacking = static_cast<int64_t>(cutter_.wanted() - std::min(cutter_.wanted(), cutter_.available()));
        // Asked first: once the sound has ended, what is waiting is all there is.
        const bool ended = source_.ended();
        const int64_t waiting = source_.available();
        if (waiting < lacking) {
            if (ended && !source_.failure()) endShort(waiting);
            break;
        }
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
        show(pending_.front().block, pending_.front().arrived);
        pending_.pop_front();
        shown = true;
    }
    return shown;
}

void LiveBlocks::endShort(int64_t waiting) {
    // The sound stopped part way into a block: what came is a short last block, as a render ends.
    samples_.resize(static_cast<std::size_t>(waiting * source_.channels()));
    const std::size_t got = waiting > 0 ? source_.read(samples_.data(), static_cast<std::size_t>(waiting)) : 0;
    cutter_.push(samples_.data(), got);
    if (cutter_.available() == 0) return;
    const int64_t last = cutter_.frameStartSample(cutter_.frame()) + static_cast<int64_t>(cutter_.available()) - 1;
    Pending next;
    if (!cutter_.cut(next.block, true)) return;
    next.arrived = source_.arrivalOf(last).value_or(Clock::now());
    pending_.push_back(std::move(next));
}

void LiveBlocks::pictureShown(Clock::time_point arrived) {
    delays_.add(std::chrono::duration<double, std::milli>(Clock::now() - arrived).count());
}

void LiveBlocks::reportDelays() {
    if (delays_.count() == 0 || !commentary()) return;
    const auto count = static_cast<std::size_t>(delays_.count());
    std::fprintf(stderr, "lumhost: %zu blocks shown a median %.1f ms after their sound arrived (95%% within %.1f ms, at most %.1f ms)\n",
                 count, delays_.atRank(count / 2), delays_.atRank(count * 95 / 100), delays_.longest());
}

}  // namespace lumhost
