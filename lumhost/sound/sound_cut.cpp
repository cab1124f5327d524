// A window on a sound: skip its beginning, stop after a length.
#include <algorithm>
#include <vector>

#include "lumhost/sound/audio_source.h"

namespace lumhost {
namespace {

class SoundCut final : public AudioSource {
public:
    SoundCut(std::unique_ptr<AudioSource> source, int64_t skip, std::optional<int64_t> keep)
        : source_(std::move(source)), skip_(skip), left_(keep) {}

    int channels() const override { return source_->channels(); }
    int sampleRate() const override { return source_->sampleRate(); }
    int64_t frames() const override {
        if (source_->live()) return left_ ? *left_ : 0;
        const int64_t rest = std::max<int64_t>(source_->frames() - skip_, 0);
        return left_ ? std::min(rest, *left_) : rest;
    }
    std::string name() const override { return source_->name(); }
    std::vector<std::string> warnings() const override { return source_->warnings(); }
    bool live() const override { return source_->live(); }
    bool paced() const override { return source_->paced(); }
    bool stopped() const override { return source_->stopped(); }
    std::optional<std::chrono::steady_clock::time_point> arrivalOf(int64_t frame) const override { return source_->arrivalOf(frame); }
    int64_t available() const override { return source_->available(); }
    int64_t dropped() const override { return source_->dropped(); }
    std::optional<std::string> failure() const override { return source_->failure(); }

    std::size_t read(float* interleaved, std::size_t count) override {
        while (skip_ > 0) {
            const auto got = source_->read(interleaved, std::min<std::size_t>(count, static_cast<std::size_t>(skip_)));
            if (got == 0) return 0;
            skip_ -= static_cast<int64_t>(got);
        }
        if (left_) count = std::min<std::size_t>(count, static_cast<std::size_t>(*left_));
        if (count == 0) return 0;
        const auto got = source_->read(interleaved, count);
        if (left_) *left_ -= static_cast<int64_t>(got);
        return got;
    }

private:
    std::unique_ptr<AudioSource> source_;
    int64_t skip_;
    std::optional<int64_t> left_;
};

}  // namespace

std::unique_ptr<AudioSource> cutSound(std::unique_ptr<AudioSource> source, int64_t skip, std::optional<int64_t> keep) {
    return std::make_unique<SoundCut>(std::move(source), skip, keep);
}

}  // namespace lumhost
