#include "lumhost/player/sound_window.h"

#include <algorithm>

#include "lumhost/base/host_error.h"

namespace lumhost {

namespace {
constexpr std::size_t chunkFrames = 1024;
}

SoundWindow::SoundWindow(std::unique_ptr<AudioSource> source, PlayerOutput& output, int fps, lumrules::BlockLayout layout)
    : source_(std::move(source)), output_(output), rate_(source_->sampleRate()), channels_(source_->channels()),
      cutter_(rate_, channels_, fps, 1, layout), chunk_(chunkFrames * static_cast<std::size_t>(channels_)) {}

bool SoundWindow::finished(int64_t delay) const {
    return ended_ && cutter_.available() == 0 && output_.position() >= read_ + std::max<int64_t>(delay, 0);
}

void SoundWindow::fill(int64_t delay) {
    while (!ended_ && read_ - output_.position() < rate_ / 2 + std::max<int64_t>(0, -delay)) {
        const std::size_t got = source_->read(chunk_.data(), chunkFrames);
        if (got == 0) {
            ended_ = true;
            if (read_ == 0) throw HostError("audio " + source_->name() + " holds no sound");
            break;
        }
        cutter_.push(chunk_.data(), got);
        kept_.insert(kept_.end(), chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(got) * channels_);
        output_.queue(chunk_.data(), got);
        read_ += static_cast<int64_t>(got);
        queued_ = read_;
    }
    // A device's clock stops where its sound does; the figure's last blocks
    // are due `delay` after that.
    if (ended_) queueSilenceTo(read_ + std::max<int64_t>(delay, 0));
}

void SoundWindow::queueSilenceTo(int64_t end) {
    if (queued_ >= end) return;
    const std::vector<float> silence(chunk_.size(), 0.0f);
    while (queued_ < end) {
        const auto count = static_cast<std::size_t>(std::min<int64_t>(end - queued_, static_cast<int64_t>(chunkFrames)));
        output_.queue(silence.data(), count);
        queued_ += static_cast<int64_t>(count);
    }
}

void SoundWindow::requeue() {
    const int64_t heard = std::clamp<int64_t>(output_.position(), keptFrom_, queued_);
    const int64_t silenceTo = queued_;
    output_.restart(heard);
    if (read_ > heard) {
        const auto offset = static_cast<std::size_t>((heard - keptFrom_) * channels_);
        output_.queue(kept_.data() + offset, static_cast<std::size_t>(read_ - heard));
    }
    queued_ = std::max(heard, read_);
    queueSilenceTo(silenceTo);
}

bool SoundWindow::nextBlock(int64_t delay, std::vector<int8_t>& block) {
    if (cutter_.frameStartSample(cutter_.frame()) > output_.position() - delay) return false;
    if (!cutter_.cut(block, ended_)) return false;
    // Drop what is both shown and heard: nothing will need it again.
    const int64_t shown = cutter_.frameStartSample(cutter_.frame() - 1) + static_cast<int64_t>(cutter_.lastCount());
    const int64_t drop = std::min(shown, output_.position()) - keptFrom_;
    if (drop > 0) {
        kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(drop * channels_));
        keptFrom_ += drop;
    }
    return true;
}

}  // namespace lumhost
