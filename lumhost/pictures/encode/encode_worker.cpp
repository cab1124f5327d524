#include "lumhost/pictures/encode/encode_worker.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>

#include "lumhost/base/host_error.h"
#include "lumhost/base/interrupt.h"

namespace lumhost {

EncodeWorker::EncodeWorker(std::function<void(EncodeJob&)> handle) : handle_(std::move(handle)) {
    // Signals are for the caller's thread, which polls for them.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    try {
        thread_ = std::thread([this] { work(); });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw HostError("cannot start the encoding thread");
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

EncodeWorker::~EncodeWorker() { stop(); }

void EncodeWorker::push(EncodeJob job) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (queue_.size() >= queueLength && failure_.empty()) {
        changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (interrupted()) {
            lock.unlock();
            throwIfInterrupted();
        }
    }
    if (!failure_.empty()) throw HostError(failure_);
    queue_.push_back(std::move(job));
    changed_.notify_all();
}

void EncodeWorker::waitUntilDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_ && failure_.empty()) {
        changed_.wait_for(lock, std::chrono::milliseconds(50));
        if (interrupted()) {
            lock.unlock();
            throwIfInterrupted();
        }
    }
    if (!failure_.empty()) throw HostError(failure_);
}

void EncodeWorker::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void EncodeWorker::work() {
    try {
        for (;;) {
            EncodeJob job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                job = std::move(queue_.front());
                queue_.pop_front();
                changed_.notify_all();
            }
            handle_(job);
            if (job.last) {
                std::lock_guard<std::mutex> lock(mutex_);
                done_ = true;
                changed_.notify_all();
                return;
            }
        }
    } catch (const std::exception& error) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = error.what();
        changed_.notify_all();
    }
}

}  // namespace lumhost
