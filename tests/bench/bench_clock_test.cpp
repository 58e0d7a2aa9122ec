// The statistics the frame and stamp goals read: a frame slot at its best
// over strokes, the slowest of those slots, and a subject over the floor
// timed next to it.

#include "bench/bench_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

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
    // none of it on its processor time; the process has no other thread
    // whose waits for a core would be left out of the call's.
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
