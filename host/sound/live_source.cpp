#include "host/sound/live_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "host/base/interrupt.h"

namespace lumhost {

LiveSource::LiveSource(int rate, int channels, double ringSeconds)
    : rate_(rate), channels_(channels),
      ring_(static_cast<std::size_t>(std::max(1.0, ringSeconds * rate)) * static_cast<std::size_t>(channels)) {}

void LiveSource::put(const float* interleaved, std::size_t frames) {
    const auto width = static_cast<std::size_t>(channels_);
    const std::size_t capacity = ring_.size() / width;
    {
        std::lock_guard guard(lock_);
        if (frames > capacity) {
            dropped_ += static_cast<int64_t>(frames - capacity);
            interleaved += (frames - capacity) * width;
            frames = capacity;
        }
        if (filled_ + frames > capacity) {
            const std::size_t drop = filled_ + frames - capacity;
            head_ = (head_ + drop) % capacity;
            filled_ -= drop;
            dropped_ += static_cast<int64_t>(drop);
        }
        std::size_t tail = (head_ + filled_) % capacity;
        for (std::size_t done = 0; done < frames;) {
            const std::size_t run = std::min(frames - done, capacity - tail);
            std::memcpy(&ring_[tail * width], interleaved + done * width, run * width * sizeof(float));
            done += run;
            tail = (tail + run) % capacity;
        }
        filled_ += frames;
        received_ += static_cast<int64_t>(frames);
        ++puts_;
        arrivals_[nextArrival_] = Arrival{received_, std::chrono::steady_clock::now()};
        nextArrival_ = (nextArrival_ + 1) % arrivals_.size();
    }
    arrived_.notify_one();
}

void LiveSource::close(std::optional<std::string> failure) {
    {
        std::lock_guard guard(lock_);
        if (closed_) return;
        closed_ = true;
        failure_ = std::move(failure);
    }
    arrived_.notify_all();
}

std::size_t LiveSource::read(float* interleaved, std::size_t count) {
    const auto width = static_cast<std::size_t>(channels_);
    const std::size_t capacity = ring_.size() / width;
    std::size_t done = 0;
    std::unique_lock guard(lock_);
    while (done < count) {
        if (filled_ == 0) {
            if (closed_ || interrupted()) break;
            arrived_.wait_for(guard, std::chrono::milliseconds(20));
            if (filled_ == 0 && !closed_) {
                guard.unlock();
                poll();
                guard.lock();
            }
            continue;
        }
        const std::size_t run = std::min({count - done, filled_, capacity - head_});
        std::memcpy(interleaved + done * width, &ring_[head_ * width], run * width * sizeof(float));
        head_ = (head_ + run) % capacity;
        filled_ -= run;
        done += run;
    }
    return done;
}

int64_t LiveSource::available() const {
    std::lock_guard guard(lock_);
    return static_cast<int64_t>(filled_);
}

int64_t LiveSource::dropped() const {
    std::lock_guard guard(lock_);
    return dropped_;
}

bool LiveSource::stopped() const {
    std::lock_guard guard(lock_);
    return closed_ && filled_ == 0;
}

std::optional<std::chrono::steady_clock::time_point> LiveSource::arrivalOf(int64_t frame) const {
    std::lock_guard guard(lock_);
    // The put that brought this frame in, if it is still remembered.
    const bool forgotten = puts_ > static_cast<int64_t>(arrivals_.size());
    for (std::size_t i = 0; i < arrivals_.size(); ++i) {
        const auto& arrival = arrivals_[(nextArrival_ + i) % arrivals_.size()];
        if (arrival.end == 0) continue;
        if (arrival.end > frame) {
            if (i == 0 && forgotten) return std::nullopt;
            return arrival.at;
        }
    }
    return std::nullopt;
}

std::optional<std::string> LiveSource::failure() const {
    std::lock_guard guard(lock_);
    return failure_;
}

}  // namespace lumhost
