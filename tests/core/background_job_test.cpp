// Work behind the frames: a job's results are read only once it is done, a
// cancelled job stops and is joined, and deferred jobs run only when a test
// runs them.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "core/background_job.h"

using namespace qel;

namespace {

// Jobs run when the test says so, on its own thread.
struct Deferred {
    Deferred() { BackgroundJob::setDeferred(true); }
    ~Deferred() { BackgroundJob::setDeferred(false); }
};

}  // namespace

TEST(BackgroundJob, ResultsAreReadOnceDone) {
    std::vector<int> out;
    BackgroundJob job;
    EXPECT_FALSE(job.done());
    job.start([&out](const std::atomic<bool>&) {
        for (int i = 0; i < 100000; ++i) out.push_back(i);
    });
    EXPECT_TRUE(job.started());
    while (!job.done()) std::this_thread::yield();
    EXPECT_FALSE(job.started());
    ASSERT_EQ(out.size(), 100000u);
    EXPECT_EQ(out.back(), 99999);
}

TEST(BackgroundJob, CancelStopsWorkThatRunsUntilTold) {
    std::atomic<bool> began(false);
    {
        BackgroundJob job;
        job.start([&began](const std::atomic<bool>& cancelled) {
            began = true;
            while (!cancelled.load()) std::this_thread::yield();
        });
        while (!began) std::this_thread::yield();
        job.cancel();
        EXPECT_FALSE(job.started());
        EXPECT_FALSE(job.done());
        // A job left running is stopped by its destructor.
        began = false;
        job.start([&began](const std::atomic<bool>& cancelled) {
            began = true;
            while (!cancelled.load()) std::this_thread::yield();
        });
        while (!began) std::this_thread::yield();
    }
    SUCCEED();
}

TEST(BackgroundJob, DeferredWorkRunsOnlyWhenRunAndNeverOnceCancelledOrGone) {
    Deferred deferred;
    int runs = 0;
    BackgroundJob job;
    job.start([&runs](const std::atomic<bool>&) { ++runs; });
    EXPECT_FALSE(job.done());
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(BackgroundJob::runDeferred(), 1);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(job.done());
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);

    job.start([&runs](const std::atomic<bool>&) { ++runs; });
    job.cancel();
    {
        BackgroundJob gone;
        gone.start([&runs](const std::atomic<bool>&) { ++runs; });
    }
    // Started again: the first start is cancelled.
    job.start([&runs](const std::atomic<bool>&) { runs += 10; });
    job.start([&runs](const std::atomic<bool>&) { runs += 100; });
    EXPECT_EQ(BackgroundJob::runDeferred(), 1);
    EXPECT_EQ(runs, 101);
}
