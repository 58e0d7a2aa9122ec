// The benchmarks' goal check: verdicts of ratio, time and counter goals
// against measured results, medians, and the filter that runs what the
// goals name.

#include "bench/bench_goals.h"

#include <gtest/gtest.h>

#include <regex>

using namespace benchgoals;

namespace {

Results results() {
    Measured stamp, floor, frame, refill;
    stamp.ms = 6.0;
    floor.ms = 1.5;
    floor.counters = {{"best_ms", 0.5}};
    frame.ms = 12.0;
    frame.counters = {{"tube_ratio", 4.5}, {"rev_ratio", 3.0}};
    refill.ms = 1.0;
    refill.counters = {{"best_ms", 0.9}};
    return {{"SmoothStamp", stamp}, {"DeformFloor", floor}, {"Frame/Deform/program", frame}, {"Refill", refill}};
}

}  // namespace

TEST(BenchGoals, VerdictsNameEachRatioOverItsGoal) {
    const std::vector<Goal> goals = {ratio("SmoothStamp", 5, "DeformFloor"),
                                     ratio("SmoothStamp", 3, "DeformFloor"),
                                     limitMs("Frame/Deform/program", 16),
                                     limitMs("SmoothStamp", 2),
                                     counterAtMost("Frame/Deform/program", "rev_ratio", 4),
                                     counterAtMost("Frame/Deform/program", "tube_ratio", 4),
                                     counterRatio("Refill", "best_ms", 2, "DeformFloor"),
                                     counterRatio("Refill", "best_ms", 1.5, "DeformFloor")};
    const std::vector<Verdict> v = check(goals, results());
    ASSERT_EQ(v.size(), goals.size());
    EXPECT_TRUE(v[0].met);
    EXPECT_FALSE(v[1].met);
    EXPECT_EQ(v[1].line, "SmoothStamp / DeformFloor = 4 > 3 (6 ms / 1.5 ms)");
    EXPECT_TRUE(v[2].met);
    EXPECT_FALSE(v[3].met);
    EXPECT_EQ(v[3].line, "SmoothStamp = 6 ms > 2 ms (3 x its goal)");
    EXPECT_TRUE(v[4].met);
    EXPECT_FALSE(v[5].met);
    EXPECT_EQ(v[5].line, "Frame/Deform/program tube_ratio = 4.5 > 4");
    // A counter against the floor's same counter, not the times (1 / 1.5).
    EXPECT_TRUE(v[6].met);
    EXPECT_FALSE(v[7].met);
    EXPECT_EQ(v[7].line, "Refill / DeformFloor best_ms = 1.8 > 1.5 (0.9 / 0.5)");
}

TEST(BenchGoals, WhatWasNotMeasuredMissesItsGoal) {
    const std::vector<Verdict> v = check({ratio("SmoothStamp", 5, "PaintFloor"), limitMs("End/Deform/program", 30),
                                          counterAtMost("SmoothStamp", "extra_ratio", 4),
                                          counterRatio("Refill", "best_ms", 2, "Frame/Deform/program")},
                                         results());
    for (const Verdict& x : v) EXPECT_FALSE(x.met) << x.line;
    EXPECT_EQ(v[0].line, "SmoothStamp / PaintFloor: PaintFloor not measured");
    EXPECT_EQ(v[1].line, "End/Deform/program: not measured");
    EXPECT_EQ(v[3].line, "Refill / Frame/Deform/program best_ms: not measured");
}

TEST(BenchGoals, MediansAndTheFilterOfTheNamedBenchmarks) {
    EXPECT_EQ(median({}), 0.0);
    EXPECT_EQ(median({3, 1, 2}), 2.0);
    EXPECT_EQ(median({4, 1, 3, 2}), 2.5);

    const std::regex filter(
        filterFor({ratio("Frame/Torus/Off", 3, "Floor/Torus"), limitMs("Floor/Torus", 9),
                   ratio("BM_ArrayLayout/1000", 2, "BM_ArrayLayoutFloor/1000"), limitMs("a.b(c)", 1)}),
        std::regex::extended);
    for (const char* name :
         {"Frame/Torus/Off/iterations:20/real_time", "Floor/Torus", "BM_ArrayLayout/1000", "a.b(c)/real_time"})
        EXPECT_TRUE(std::regex_search(name, filter)) << name;
    for (const char* name : {"Frame/Torus/Glow/real_time", "BM_ArrayLayout/10000", "Floor/TorusX", "aXb(c)"})
        EXPECT_FALSE(std::regex_search(name, filter)) << name;
}
