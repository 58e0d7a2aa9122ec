// The exact orientation and in-circle tests on random and near-degenerate
// points, beside the filtered exact predicates of a general geometry kernel
// on the same points.

#include "core/predicates.h"

#include "bench/bench_goals.h"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

constexpr std::size_t kCases = 4096;
constexpr std::size_t kVisits = std::size_t(1) << 20;  // a power of two

// The order in which every benchmark visits its cases: random, and far longer
// than the list of cases. Cycling through the cases in one short fixed order
// lets the branch predictor learn the sequence of outcomes, which a caller
// walking a mesh or a polygon never repeats; the time of branching code then
// also depends on where that code happens to sit in the binary.
const std::vector<std::uint16_t>& visitOrder() {
    static const std::vector<std::uint16_t> order = [] {
        std::mt19937_64 rng(17);
        std::uniform_int_distribution<std::uint16_t> pick(0, kCases - 1);
        std::vector<std::uint16_t> o(kVisits);
        for (std::uint16_t& v : o) v = pick(rng);
        return o;
    }();
    return order;
}

struct Case {
    double a[2], b[2], c[2], d[2];
};

std::vector<Case> randomCases() {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<Case> cases(kCases);
    for (Case& k : cases)
        for (double* p : {k.a, k.b, k.c, k.d}) p[0] = u(rng), p[1] = u(rng);
    return cases;
}

// a within a few ulps of the line through b and c, whose slope is a simple
// ratio: the error bound of the fast evaluation fails and the adaptive stages
// decide.
std::vector<Case> nearLineCases() {
    std::mt19937_64 rng(11);
    std::uniform_int_distribution<int> ulps(0, 63), scale(1, 100), slope(1, 4);
    std::vector<Case> cases(kCases);
    for (Case& k : cases) {
        const double q = 0.5 * slope(rng);
        const double s = scale(rng);
        k.a[0] = 0.5 + ulps(rng) * 0x1p-53;
        k.a[1] = 0.5 * q + ulps(rng) * 0x1p-53;
        k.b[0] = s, k.b[1] = s * q;
        k.c[0] = 2 * s, k.c[1] = 2 * s * q;
        k.d[0] = k.d[1] = 0;
    }
    return cases;
}

// Four points on one circle up to rounding.
std::vector<Case> nearCircleCases() {
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Case> cases(kCases);
    const double cx = 1000.1, cy = -333.3, r = 0.7;
    for (Case& k : cases)
        for (double* p : {k.a, k.b, k.c, k.d}) {
            const double t = 6.283185307179586 * u(rng);
            p[0] = cx + r * std::cos(t);
            p[1] = cy + r * std::sin(t);
        }
    return cases;
}

template <class Cases>
void runOrient2d(benchmark::State& state, Cases make) {
    qel::exact::exactinit();
    const std::vector<Case> cases = make();
    const std::vector<std::uint16_t>& order = visitOrder();
    std::size_t i = 0;
    for (auto _ : state) {
        const Case& k = cases[order[i++ & (kVisits - 1)]];
        benchmark::DoNotOptimize(qel::exact::orient2d(k.a, k.b, k.c));
    }
    state.SetItemsProcessed(state.iterations());
}

template <class Cases>
void runIncircle(benchmark::State& state, Cases make) {
    qel::exact::exactinit();
    const std::vector<Case> cases = make();
    const std::vector<std::uint16_t>& order = visitOrder();
    std::size_t i = 0;
    for (auto _ : state) {
        const Case& k = cases[order[i++ & (kVisits - 1)]];
        benchmark::DoNotOptimize(qel::exact::incircle(k.a, k.b, k.c, k.d));
    }
    state.SetItemsProcessed(state.iterations());
}

struct KernelCase {
    Kernel::Point_2 a, b, c, d;
};

std::vector<KernelCase> toKernel(const std::vector<Case>& cases) {
    std::vector<KernelCase> out;
    out.reserve(cases.size());
    for (const Case& k : cases)
        out.push_back({{k.a[0], k.a[1]}, {k.b[0], k.b[1]}, {k.c[0], k.c[1]}, {k.d[0], k.d[1]}});
    return out;
}

template <class Cases>
void runKernelOrientation(benchmark::State& state, Cases make) {
    const std::vector<KernelCase> cases = toKernel(make());
    const auto orientation = Kernel().orientation_2_object();
    const std::vector<std::uint16_t>& order = visitOrder();
    std::size_t i = 0;
    for (auto _ : state) {
        const KernelCase& k = cases[order[i++ & (kVisits - 1)]];
        benchmark::DoNotOptimize(orientation(k.a, k.b, k.c));
    }
    state.SetItemsProcessed(state.iterations());
}

template <class Cases>
void runKernelIncircle(benchmark::State& state, Cases make) {
    const std::vector<KernelCase> cases = toKernel(make());
    const auto incircle = Kernel().side_of_oriented_circle_2_object();
    const std::vector<std::uint16_t>& order = visitOrder();
    std::size_t i = 0;
    for (auto _ : state) {
        const KernelCase& k = cases[order[i++ & (kVisits - 1)]];
        benchmark::DoNotOptimize(incircle(k.a, k.b, k.c, k.d));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(runOrient2d, random, randomCases);
BENCHMARK_CAPTURE(runKernelOrientation, random, randomCases);
BENCHMARK_CAPTURE(runOrient2d, near_line, nearLineCases);
BENCHMARK_CAPTURE(runKernelOrientation, near_line, nearLineCases);
BENCHMARK_CAPTURE(runIncircle, random, randomCases);
BENCHMARK_CAPTURE(runKernelIncircle, random, randomCases);
BENCHMARK_CAPTURE(runIncircle, near_circle, nearCircleCases);
BENCHMARK_CAPTURE(runKernelIncircle, near_circle, nearCircleCases);

}  // namespace

// Against the kernel on the same points: the orientation test at most as
// slow as the kernel's; the in-circle test, which has no static filter in
// front of its exact stage, within 4 x.
BENCH_GOAL(benchgoals::ratio("runOrient2d/random", 1, "runKernelOrientation/random"));
BENCH_GOAL(benchgoals::ratio("runOrient2d/near_line", 1, "runKernelOrientation/near_line"));
BENCH_GOAL(benchgoals::ratio("runIncircle/random", 4, "runKernelIncircle/random"));
BENCH_GOAL(benchgoals::ratio("runIncircle/near_circle", 4, "runKernelIncircle/near_circle"));
