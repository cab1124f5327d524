#include "host/player/sound_window.h"

#include <algorithm>

#include "host/base/host_error.h"

namespace lumhost {

SoundWindow::SoundWindow(std::unique_ptr<AudioSource> source, PlayerOutput& output, int fps, lumrules::BlockLayout layout)
    : source_(std::move(source)), output_(output), rate_(source_->sampleRate()), channels_(source_->channels()), fps_(fps),
      layout_(layout), chunk_(static_cast<std::size_t>(1024 * channels_)) {}

bool SoundWindow::finished(int64_t delay) const { return ended_ && firstFrame_ >= read_ && output_.position() - delay >= read_; }

void SoundWindow::fill(int64_t delay) {
    while (!ended_ && read_ - output_.position() < rate_ / 2 + std::max<int64_t>(0, -delay)) {
        const std::size_t got = source_->read(chunk_.data(), 1024);
        if (got == 0) {
            ended_ = true;
            if (read_ == 0) throw HostError("audio " + source_->name() + " holds no sound");
            break;
        }
        samples_.insert(samples_.end(), chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(got) * channels_);
        output_.queue(chunk_.data(), got);
        read_ += static_cast<int64_t>(got);
    }
}

void SoundWindow::requeue() {
    const int64_t heard = std::clamp<int64_t>(output_.position(), firstFrame_, read_);
    output_.restart(heard);
    const auto offset = static_cast<std::size_t>((heard - firstFrame_) * channels_);
    if (read_ > heard) output_.queue(samples_.data() + offset, static_cast<std::size_t>(read_ - heard));
}

bool SoundWindow::nextBlock(int64_t delay, std::vector<int8_t>& block) {
    const int64_t from = lumrules::frameStart(frame_, rate_, fps_);
    const int64_t to = std::min(lumrules::frameStart(frame_ + 1, rate_, fps_), ended_ ? read_ : INT64_MAX);
    if (from >= to || from > output_.position() - delay || to > read_) return false;
    const auto offset = static_cast<std::size_t>((from - firstFrame_) * channels_);
    lumrules::makeSoundBlock(samples_.data() + offset, static_cast<std::size_t>(to - from), channels_, layout_, block);
    ++frame_;
    // Drop what no block needs any more.
    const auto used = static_cast<std::size_t>((to - firstFrame_) * channels_);
    samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(used));
    firstFrame_ = to;
    return true;
}

}  // namespace lumhost
