// The encoding thread: jobs in order until the last, a failure handed back
// to the caller, and a caller that runs ahead held back.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "lumhost/base/host_error.h"
#include "lumhost/pictures/encode/encode_worker.h"

namespace lumhost {
namespace {

EncodeJob jobOf(float mark, bool last = false) {
    EncodeJob job;
    job.sound = {mark};
    job.last = last;
    return job;
}

TEST(EncodeWorker, HandlesEveryJobInOrderUntilTheLast) {
    std::vector<float> seen;
    EncodeWorker worker([&](EncodeJob& job) { seen.push_back(job.sound.at(0)); });
    for (int i = 0; i < 20; ++i) worker.push(jobOf(static_cast<float>(i)));
    worker.push(jobOf(20, true));
    worker.waitUntilDone();
    ASSERT_EQ(seen.size(), 21u);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<float>(i));
}

TEST(EncodeWorker, AFailureComesBackToTheCallerAndEndsTheWork) {
    std::atomic<int> handled{0};
    EncodeWorker worker([&](EncodeJob& job) {
        ++handled;
        if (job.sound.at(0) == 2) throw HostError("cannot write out.mp4: No space left on device");
    });
    try {
        for (int i = 0; i < 50; ++i) worker.push(jobOf(static_cast<float>(i)));
        worker.push(jobOf(50, true));
        worker.waitUntilDone();
        ADD_FAILURE() << "the failure was lost";
    } catch (const HostError& error) {
        EXPECT_STREQ(error.what(), "cannot write out.mp4: No space left on device");
    }
    EXPECT_THROW(worker.waitUntilDone(), HostError) << "and stays";
    worker.stop();
    EXPECT_EQ(handled, 3) << "nothing after the failing job";
}

TEST(EncodeWorker, ACallerThatRunsAheadWaitsForRoom) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    EncodeWorker worker([&](EncodeJob&) { released.wait(); });
    // One in the worker's hands, then the queue full.
    for (std::size_t i = 0; i <= EncodeWorker::queueLength; ++i) worker.push(jobOf(static_cast<float>(i)));
    auto next = std::async(std::launch::async, [&] { worker.push(jobOf(9)); });
    EXPECT_EQ(next.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(next.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    next.get();
}

}  // namespace
}  // namespace lumhost
