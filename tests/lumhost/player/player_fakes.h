// Stand-ins for what the player works through, so it runs with no window,
// no sound device and no files: a sound made by a function, an output whose
// clock the test moves, a screen that keeps what it was told.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lumhost/player/player_io.h"
#include "lumhost/sound/audio_source.h"

namespace lumhost {

// `frames` sample frames of `sample(frame, channel)`.
class FakeSound final : public AudioSource {
public:
    using Sample = std::function<float(int64_t frame, int channel)>;
    FakeSound(int rate, int channels, int64_t frames, Sample sample, std::string name = "fake")
        : rate_(rate), channels_(channels), frames_(frames), sample_(std::move(sample)), name_(std::move(name)) {}

    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    int64_t frames() const override { return frames_ - next_; }
    std::string name() const override { return name_; }
    std::size_t read(float* interleaved, std::size_t count) override {
        const auto n = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(count), frames_ - next_));
        for (std::size_t i = 0; i < n; ++i, ++next_)
            for (int c = 0; c < channels_; ++c) interleaved[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)] = sample_(next_, c);
        return n;
    }

private:
    int rate_, channels_;
    int64_t frames_;
    Sample sample_;
    std::string name_;
    int64_t next_ = 0;
};

// An output like a sound device's: its clock moves only when the test plays
// it on, stands still while paused, and stops where the queued sound ends.
class FakeOutput final : public PlayerOutput {
public:
    FakeOutput(int rate, int channels) : rate_(rate), channels_(channels) {}

    void queue(const float* interleaved, std::size_t frames) override {
        for (std::size_t i = 0; i < frames; ++i) queuedLeft_.push_back(interleaved[i * static_cast<std::size_t>(channels_)] * gain_);
        queued_ += static_cast<int64_t>(frames);
    }
    int64_t position() const override { return heard_; }
    void restart(int64_t frame) override {
        heard_ = queued_ = frame;
        queuedLeft_.clear();
        restarts_.push_back(frame);
    }
    void pause(bool paused) override { paused_ = paused; }
    void setGain(float gain) override { gain_ = gain; }

    // Lets `frames` more be heard, as far as there is sound queued.
    void play(int64_t frames) {
        if (!paused_) heard_ = std::min(queued_, heard_ + frames);
    }
    int rate() const { return rate_; }
    int channels() const { return channels_; }
    int64_t queued() const { return queued_; }
    bool paused() const { return paused_; }
    // The left channel as queued since the last restart, gain applied.
    const std::vector<float>& queuedLeft() const { return queuedLeft_; }
    const std::vector<int64_t>& restarts() const { return restarts_; }

private:
    int rate_, channels_;
    int64_t heard_ = 0, queued_ = 0;
    float gain_ = 1;
    bool paused_ = false;
    std::vector<float> queuedLeft_;
    std::vector<int64_t> restarts_;
};

class RecordingScreen final : public PlayerScreen {
public:
    void show(const std::vector<std::string>& lines, double seconds) override {
        shown.push_back(lines);
        lastSeconds = seconds;
    }
    void playing(const std::string& label) override { titles.push_back(label); }

    std::vector<std::vector<std::string>> shown;
    double lastSeconds = -1;
    std::vector<std::string> titles;
};

}  // namespace lumhost
