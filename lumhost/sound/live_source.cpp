#include "lumhost/sound/live_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "lumhost/base/interrupt.h"

namespace lumhost {

LiveSource::LiveSource(int rate, int channels, double ringSeconds, bool paced)
    : rate_(rate), channels_(channels), paced_(paced),
      ring_(static_cast<std::size_t>(std::max(1.0, ringSeconds * rate)) * static_cast<std::size_t>(channels)) {}

LiveSource::~LiveSource() { release(); }

void LiveSource::release() {
    {
        std::lock_guard guard(lock_);
        released_ = true;
    }
    room_.notify_all();
}

bool LiveSource::put(const float* interleaved, std::size_t frames) {
    const auto width = static_cast<std::size_t>(channels_);
    const std::size_t capacity = ring_.size() / width;
    std::unique_lock guard(lock_);
    while (frames > 0) {
        if (paced_ && filled_ + frames > capacity) {
            // The oldest sound goes; what arrives now is what the host must see.
            const std::size_t drop = std::min(filled_ + frames - capacity, filled_);
            head_ = (head_ + drop) % capacity;
            filled_ -= drop;
            dropped_ += static_cast<int64_t>(drop);
            if (frames > capacity) {
                dropped_ += static_cast<int64_t>(frames - capacity);
                interleaved += (frames - capacity) * width;
                frames = capacity;
            }
        }
        while (!paced_ && filled_ == capacity && !released_) room_.wait(guard);
        if (released_) return false;
        std::size_t tail = (head_ + filled_) % capacity;
        const std::size_t run = std::min({frames, capacity - filled_, capacity - tail});
        std::memcpy(&ring_[tail * width], interleaved, run * width * sizeof(float));
        filled_ += run;
        interleaved += run * width;
        frames -= run;
        received_ += static_cast<int64_t>(run);
        ++puts_;
        arrivals_[nextArrival_] = Arrival{received_, std::chrono::steady_clock::now()};
        nextArrival_ = (nextArrival_ + 1) % arrivals_.size();
        arrived_.notify_one();
    }
    return true;
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
    // A lost device may go on sending silence: it is asked on every read.
    poll();
    std::unique_lock guard(lock_);
    while (done < count) {
        if (closed_ && failure_) break;
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
        room_.notify_one();
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

std::optional<std::chrono::steady_clock::time_point> LiveSource::lastArrival() const {
    std::lock_guard guard(lock_);
    if (puts_ == 0) return std::nullopt;
    return arrivals_[(nextArrival_ + arrivals_.size() - 1) % arrivals_.size()].at;
}

bool LiveSource::stopped() const {
    std::lock_guard guard(lock_);
    // A lost device gives nothing more (read stops at the loss), whatever the ring still holds.
    return closed_ && (filled_ == 0 || failure_);
}

bool LiveSource::ended() const {
    std::lock_guard guard(lock_);
    return closed_;
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
