// The statistics the frame and stamp goals read: a frame slot at its best
// over strokes, the slowest of those slots, and a subject over the floor
// timed next to it; the clock of a call's waits, on cores that other
// processes crowd.

#include "bench/bench_clock.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace benchclock;

TEST(BenchClock, AFrameSlowInOneStrokeOnlyIsNotTheWorst) {
    BestFrames frames;
    EXPECT_EQ(frames.worst(), 0.0);
    // The third frame of every stroke is slow; the second was slowed in one
    // stroke by something else running.
    frames.addStroke({2, 30, 9, 2});
    frames.addStroke({2, 3, 10, 2});
    frames.addStroke({3, 2, 9.5, 2});
    EXPECT_EQ(frames.at(0), 2.0);
    EXPECT_EQ(frames.at(1), 2.0);
    EXPECT_EQ(frames.at(2), 9.0);
    EXPECT_EQ(frames.at(7), 0.0);
    EXPECT_EQ(frames.worst(), 9.0);
    // A stroke with more frames adds slots.
    frames.add(5, 4);
    EXPECT_EQ(frames.at(5), 4.0);
    EXPECT_EQ(frames.at(4), 0.0);
}

TEST(BenchClock, PairsGiveTheMedianRatioAndEachAtItsBest) {
    struct State {
        std::map<std::string, double> counters;
    } state;
    Paired none;
    EXPECT_EQ(none.ratio(), 0.0);
    none.report(state);
    EXPECT_EQ(state.counters["over_floor"], 0.0);

    // A busy moment slows both of a pair: the ratio stays. The ratio is
    // the pairs' (not the best subject over the best floor, 4 / 1), and a
    // floor of no time is left out of the ratios.
    Paired p;
    p.add(4, 2);
    p.add(12, 6);
    p.add(9, 2);
    p.add(5, 0);
    p.add(6, 1);
    EXPECT_EQ(p.ratio(), 4.5);
    EXPECT_EQ(p.floorMs(), 0.0);
    p.report(state);
    EXPECT_EQ(state.counters["best_ms"], 4.0);
    EXPECT_EQ(state.counters["over_floor"], 4.5);
}

TEST(BenchClock, TheClocksCountTheCallersWork) {
    volatile double sink = 0;
    const double work = timed([&] {
        for (int i = 0; i < 2000000; ++i) sink = sink + 1e-9 * i;
    });
    EXPECT_GT(work, 0.0);
    // The thread's clock read first: the process's, read after it, counts
    // at least as much (the order of a call's arguments is the compiler's).
    const double thread = threadMs();
    EXPECT_GE(processMs(), thread);
}

TEST(BenchClock, AWaitCountsWhereTheThreadsClockCountsNone) {
    // Asleep the thread waits for no core: the whole sleep counts on its own
    // wall clock (its waits for a core, before and after, are left out), and
    // none of it on its processor time.
    double onThread = 0;
    const double own =
        timed([&] { onThread = timed([] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }); }, ownWallMs);
    EXPECT_GE(own, 10.0 - 1e-3);
    EXPECT_LT(onThread, 10.0);
    const Waited call = timedWithWaits([] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
    EXPECT_GE(call.waitMs, 10.0 - 1e-3);
    EXPECT_LT(call.cpuMs, 10.0);
    EXPECT_EQ(call.ms(), call.cpuMs + call.waitMs);
    EXPECT_GE(runQueueMs(), 0.0);
}

namespace {

// Runs on the calling thread until its processor time has grown by ms.
void work(double ms) {
    volatile double sink = 0;
    for (const double t0 = threadMs(); threadMs() - t0 < ms;) sink = sink + 1;
}

// The calling thread pinned to `cores` of the cores it may run on (the one
// it runs on among them), with as many other processes working on those
// cores all along: whatever the machine's load besides, the caller waits
// for a core while they hold it. Threads it starts meanwhile inherit the
// pin.
class Crowded {
public:
    explicit Crowded(int cores) {
        sched_getaffinity(0, sizeof was_, &was_);
        if (CPU_COUNT(&was_) < cores) return;
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(sched_getcpu(), &set);
        for (int c = 0; c < CPU_SETSIZE && CPU_COUNT(&set) < cores; ++c)
            if (CPU_ISSET(c, &was_)) CPU_SET(c, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) return;
        pinned_ = true;
        for (int i = 0; i < cores; ++i) {
            const pid_t other = fork();
            if (other == 0)
                for (;;) work(1000);
            if (other > 0) others_.push_back(other);
        }
    }
    ~Crowded() {
        for (const pid_t other : others_) {
            kill(other, SIGKILL);
            waitpid(other, nullptr, 0);
        }
        if (pinned_) sched_setaffinity(0, sizeof was_, &was_);
    }
    Crowded(const Crowded&) = delete;
    Crowded& operator=(const Crowded&) = delete;
    bool pinned() const { return pinned_; }

private:
    cpu_set_t was_;
    bool pinned_ = false;
    std::vector<pid_t> others_;
};

}  // namespace

TEST(BenchClock, OnOneCoreAWorkersTimeCountsAndAnotherProcesssDoesNot) {
    Waited blocked, alone;
    {
        Crowded crowded(1);
        if (!crowded.pinned()) GTEST_SKIP() << "the thread cannot be pinned to a core";
        // 30 ms of work, then a join on a worker of 30 ms: on one core the
        // worker's time is the caller's, whether the caller waits for the
        // core the worker holds or for its end. The process's other threads
        // work only on the caller's core, so that whatever part of the
        // caller's waits for a core the counted wait leaves out, the worker
        // did not run then: it counts at least the worker's time.
        blocked = timedWithWaits([] {
            std::thread worker([] { work(30); });
            work(30);
            worker.join();
        });
        // The same work alone: the other process's hold on the core does
        // not count, though the caller waited about as long for it.
        alone = timedWithWaits([] { work(30); });
    }
    EXPECT_GE(blocked.cpuMs, 30.0);
    EXPECT_GE(blocked.waitMs, 25.0);
    EXPECT_GE(alone.cpuMs, 30.0);
    EXPECT_LT(alone.waitMs, 10.0);
}

TEST(BenchClock, AWorkerBesideTheCallerOnCoresEnoughForBothDoesNotCount) {
    // Two cores, two threads of the process working all along and two other
    // processes: had the process the cores to itself, the caller would never
    // have waited for one, so none of its waits counts, on whichever core
    // the scheduler ran the worker.
    Waited beside;
    {
        Crowded crowded(2);
        if (!crowded.pinned()) GTEST_SKIP() << "the thread cannot be pinned to two cores";
        std::atomic<bool> stop{false};
        std::thread worker([&] {
            while (!stop) work(1);
        });
        beside = timedWithWaits([] { work(30); });
        stop = true;
        worker.join();
    }
    EXPECT_GE(beside.cpuMs, 30.0);
    EXPECT_LT(beside.waitMs, 10.0);
}
