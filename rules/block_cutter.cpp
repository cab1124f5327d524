#include "rules/block_cutter.h"

#include <algorithm>
#include <cmath>

namespace lumrules {

int8_t toSigned8(float sample) {
    if (std::isnan(sample)) return 0;
    const float scaled = std::clamp(sample * 128.0f, -128.0f, 127.0f);
    return static_cast<int8_t>(std::lrint(scaled));
}

int64_t frameStart(int64_t frame, int sampleRate, int fps) { return frameStart(frame, sampleRate, fps, 1); }

int64_t frameStart(int64_t frame, int sampleRate, int fpsNumerator, int fpsDenominator) {
    return frame * sampleRate * fpsDenominator / fpsNumerator;
}

bool frameRateFits(int sampleRate, int fpsNumerator, int fpsDenominator) {
    // Each block holds floor((f + 1) x rate / fps) - floor(f x rate / fps) sample
    // frames: never none while rate / fps is at least one.
    return sampleRate > 0 && fpsNumerator > 0 && fpsDenominator > 0 &&
           static_cast<int64_t>(fpsNumerator) <= static_cast<int64_t>(sampleRate) * fpsDenominator;
}

std::string frameRateTooHigh(int sampleRate, int fpsNumerator, int fpsDenominator) {
    const std::string fps = std::to_string(fpsNumerator) + (fpsDenominator == 1 ? "" : "/" + std::to_string(fpsDenominator));
    return "a frame rate of " + fps + " per second is above the sound's " + std::to_string(sampleRate) +
           " samples per second; every frame needs at least one sample, so the frame rate can be at most " +
           std::to_string(sampleRate);
}

int64_t framesFor(int64_t sampleFrames, int sampleRate, int fps) {
    if (sampleFrames <= 0) return 0;
    return (sampleFrames * fps + sampleRate - 1) / sampleRate;
}

void makeSoundBlock(const float* interleaved, std::size_t count, int channels, BlockLayout layout, std::vector<int8_t>& block) {
    const auto width = static_cast<std::size_t>(channels);
    if (layout == BlockLayout::interleaved) {
        block.resize(count * width);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = toSigned8(interleaved[i]);
        return;
    }
    block.assign(3 * count, 0);
    const std::size_t rightChannel = channels > 1 ? 1 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        block[i] = toSigned8(interleaved[i * width]);
        block[count + i] = toSigned8(interleaved[i * width + rightChannel]);
    }
}

void BlockCutter::reset(int sampleRate, int channels, int fpsNumerator, int fpsDenominator, BlockLayout layout) {
    reset(sampleRate, usualPositions(std::max(channels, 1)), fpsNumerator, fpsDenominator, layout);
}

void BlockCutter::reset(int sampleRate, std::vector<ChannelPosition> positions, int fpsNumerator, int fpsDenominator,
                        BlockLayout layout) {
    if (positions.empty()) positions = usualPositions(1);
    rate_ = std::max(sampleRate, 1);
    positions_ = std::move(positions);
    channels_ = static_cast<int>(positions_.size());
    mixed_ = mixedChannels(channels_);
    unmixed_ = passesUnmixed(positions_);
    fpsNumerator_ = std::max(fpsNumerator, 1);
    fpsDenominator_ = std::max(fpsDenominator, 1);
    layout_ = layout;
    restart();
}

void BlockCutter::restart() {
    frame_ = 0;
    taken_ = 0;
    lastStart_ = lastCount_ = 0;
    samples_.clear();
    wide_.clear();
}

int64_t BlockCutter::frameStartSample(int64_t frame) const { return frameStart(frame, rate_, fpsNumerator_, fpsDenominator_); }

std::size_t BlockCutter::wanted() const { return static_cast<std::size_t>(frameStartSample(frame_ + 1) - frameStartSample(frame_)); }

std::size_t BlockCutter::available() const { return samples_.size() / static_cast<std::size_t>(mixed_) - taken_; }

void BlockCutter::compact() {
    // What has been cut goes once it is most of what is held.
    if (taken_ > 0 && taken_ * static_cast<std::size_t>(mixed_) * 2 >= samples_.size()) {
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(taken_ * static_cast<std::size_t>(mixed_)));
        taken_ = 0;
        lastStart_ = lastCount_ = 0;
    }
}

void BlockCutter::push(const float* interleaved, std::size_t frames) {
    compact();
    mixDown(interleaved, frames, positions_, samples_);
}

void BlockCutter::pushConverted(const std::function<void(std::vector<float>&)>& convert) {
    compact();
    if (unmixed_) {
        convert(samples_);
        return;
    }
    // Sound to mix waits in wide_ for the mix.
    wide_.clear();
    convert(wide_);
    mixDown(wide_.data(), wide_.size() / static_cast<std::size_t>(channels_), positions_, samples_);
}

void BlockCutter::push(const void* interleaved, std::size_t frames, SampleFormat format) {
    pushConverted([&](std::vector<float>& to) { appendInterleaved(interleaved, frames, channels_, format, to); });
}

void BlockCutter::pushPlanar(const void* const* planes, std::size_t frames, SampleFormat format) {
    pushConverted([&](std::vector<float>& to) { appendPlanar(planes, frames, channels_, format, to); });
}

bool BlockCutter::take(std::size_t count) {
    lastStart_ = taken_;
    lastCount_ = count;
    taken_ += count;
    ++frame_;
    return true;
}

bool BlockCutter::cut(std::vector<int8_t>& block, bool atEnd) {
    std::size_t count = wanted();
    if (available() < count) {
        if (!atEnd || available() == 0) return false;
        count = available();
    }
    makeSoundBlock(samples_.data() + taken_ * static_cast<std::size_t>(mixed_), count, mixed_, layout_, block);
    return take(count);
}

bool BlockCutter::skip() {
    const std::size_t count = wanted();
    if (available() < count) return false;
    return take(count);
}

}  // namespace lumrules
