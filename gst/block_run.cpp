#include "gst/block_run.h"

#include "host/sound/sound_block.h"

namespace lumgst {

void BlockRun::reset(int sampleRate, int channels, int fpsNumerator, int fpsDenominator) {
    rate_ = sampleRate;
    channels_ = channels;
    fpsNumerator_ = fpsNumerator;
    fpsDenominator_ = fpsDenominator;
    frame_ = 0;
    taken_ = 0;
    samples_.clear();
}

int64_t BlockRun::frameStartSample(int64_t frame) const {
    return lumhost::frameStart(frame, rate_, fpsNumerator_, fpsDenominator_);
}

std::size_t BlockRun::wanted() const { return static_cast<std::size_t>(frameStartSample(frame_ + 1) - frameStartSample(frame_)); }

std::size_t BlockRun::available() const { return samples_.size() / static_cast<std::size_t>(channels_) - taken_; }

bool BlockRun::cut(std::vector<int8_t>& block, bool atEnd) {
    std::size_t count = wanted();
    if (available() < count) {
        if (!atEnd || available() == 0) return false;
        count = available();
    }
    const auto width = static_cast<std::size_t>(channels_);
    lumhost::makeSoundBlock(samples_.data() + taken_ * width, count, channels_, lumhost::BlockLayout::planar, block);
    taken_ += count;
    ++frame_;
    // What has been cut goes once it is most of what is held.
    if (taken_ * width * 2 >= samples_.size()) {
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(taken_ * width));
        taken_ = 0;
    }
    return true;
}

}  // namespace lumgst
