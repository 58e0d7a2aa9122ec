#pragma once
// The goals of a benchmark binary. Each names one benchmark and the most it
// may cost: a multiple of a floor or peer measured in the same run, a number
// of milliseconds, or the most one of its counters may hold. A binary's main
// (bench_main.cpp) checks them when it runs with --check, which
// scripts/bench --check passes to every binary.
//
// Benchmarks are named as reported without the suffixes the library adds
// (iterations, repeats, real_time): "DeformStamp", "Frame/Torus/Off",
// "BM_ArrayLayout/1000". A time is the benchmark's own measure (real time
// for those timed with UseRealTime, the time it reports for those timed
// with UseManualTime, CPU time otherwise), in milliseconds, the median over
// the repetitions run.
//
// Goals are declared at namespace scope of the benchmark's source:
//   BENCH_GOAL(benchgoals::ratio("SmoothStamp", 5, "DeformFloor"));
//   BENCH_GOAL(benchgoals::limitMs("SmoothStamp", 2));
//   BENCH_GOAL(benchgoals::counterAtMost("Ratios/SectionSymmetries", "tube_ratio", 4));
//   BENCH_GOAL(benchgoals::counterRatio("Refill/Partial/program", "best_ms", 2, "Floor/Partial/program"));

#include <string>
#include <utility>
#include <vector>

namespace benchgoals {

struct Goal {
    std::string subject;  // the benchmark the goal is for
    std::string floor;    // its floor or peer (a ratio goal), else empty
    std::string counter;  // the counter compared (a counter goal), else empty
    double most = 0;      // the factor, the milliseconds or the counter's limit
};
// A goal with both a floor and a counter compares the subject's counter
// with the floor's same counter.

// subject <= factor x floor.
Goal ratio(const std::string& subject, double factor, const std::string& floor);
// subject <= ms milliseconds.
Goal limitMs(const std::string& subject, double ms);
// subject's counter <= most.
Goal counterAtMost(const std::string& subject, const std::string& counter, double most);
// subject's counter <= factor x floor's same counter.
Goal counterRatio(const std::string& subject, const std::string& counter, double factor, const std::string& floor);

// Registers a goal of this binary (at static initialisation); returns the
// number of goals registered so far.
int add(const Goal& goal);
// Every goal registered, in the order of registration.
const std::vector<Goal>& all();

}  // namespace benchgoals

#define BENCH_GOAL_JOIN2(a, b) a##b
#define BENCH_GOAL_JOIN(a, b) BENCH_GOAL_JOIN2(a, b)
#define BENCH_GOAL(goal) \
    [[maybe_unused]] static const int BENCH_GOAL_JOIN(benchGoal_, __COUNTER__) = benchgoals::add(goal)

namespace benchgoals {

// What one benchmark measured: its time in milliseconds and its counters.
struct Measured {
    double ms = 0;
    std::vector<std::pair<std::string, double>> counters;
};

// The benchmarks measured, by name.
using Results = std::vector<std::pair<std::string, Measured>>;

// One goal against the results: met or not, and the line that says so
// (naming the ratio and its goal when missed). A goal whose benchmarks were
// not measured (filtered out, skipped, failed) is not met.
struct Verdict {
    bool met = false;
    std::string line;
};
std::vector<Verdict> check(const std::vector<Goal>& goals, const Results& results);

// The median of the values (the mean of the middle two for an even count);
// 0 for none.
double median(std::vector<double> values);

// A --benchmark_filter pattern that runs exactly the benchmarks the goals
// name (subjects and floors), whatever suffixes the library adds.
std::string filterFor(const std::vector<Goal>& goals);

}  // namespace benchgoals
