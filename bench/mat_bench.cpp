// mat4 products (double accumulation, one rounding) and the affine inverse.
//
// Floor: BM_Mat4ProductFloor, the same products of the same matrices as flat
// arrays of sixteen floats, accumulated in float (what any 4 x 4 product
// does at the least). Goal: BM_Mat4Product within 6 x the floor (the double
// accumulation, one rounding per entry).

#include "core/mat.h"

#include "bench/bench_goals.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace {

std::vector<qel::mat4> sampleMatrices(std::size_t n) {
    std::vector<qel::mat4> v;
    v.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float t = 0.01f * float(i);
        qel::mat4 m = qel::mat4::Rotation(t, 0.5f * t, -t) * qel::mat4::Scale(1.0f + t, 1.0f, 2.0f - 0.5f * t);
        m.setTranslation(qel::vec3(t, -2 * t, 3 + t));
        v.push_back(m);
    }
    return v;
}

void BM_Mat4Product(benchmark::State& state) {
    const auto ms = sampleMatrices(256);
    std::size_t i = 0;
    for (auto _ : state) {
        const qel::mat4 r = ms[i & 255] * ms[(i + 1) & 255];
        benchmark::DoNotOptimize(r);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mat4Product);

void BM_Mat4ProductFloor(benchmark::State& state) {
    const auto ms = sampleMatrices(256);
    std::vector<std::array<float, 16>> flat(ms.size());
    for (std::size_t k = 0; k < ms.size(); ++k)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) flat[k][std::size_t(4 * r + c)] = ms[k].at(r, c);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::array<float, 16>&a = flat[i & 255], &b = flat[(i + 1) & 255];
        std::array<float, 16> r;
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col) {
                float sum = 0;
                for (int k = 0; k < 4; ++k) sum += a[std::size_t(4 * row + k)] * b[std::size_t(4 * k + col)];
                r[std::size_t(4 * row + col)] = sum;
            }
        benchmark::DoNotOptimize(r);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mat4ProductFloor);

void BM_Mat4ProductChain(benchmark::State& state) {
    const auto ms = sampleMatrices(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        qel::mat4 acc;
        for (const auto& m : ms) acc = acc * m;
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Mat4ProductChain)->Arg(8)->Arg(64);

void BM_Mat4Inverse(benchmark::State& state) {
    const auto ms = sampleMatrices(256);
    std::size_t i = 0;
    for (auto _ : state) {
        const qel::mat4 r = ms[i & 255].inverse();
        benchmark::DoNotOptimize(r);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mat4Inverse);

void BM_Mat4InverseFull(benchmark::State& state) {
    const auto ms = sampleMatrices(256);
    std::size_t i = 0;
    for (auto _ : state) {
        const qel::mat4 r = ms[i & 255].inverseFull();
        benchmark::DoNotOptimize(r);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mat4InverseFull);

}  // namespace

BENCH_GOAL(benchgoals::ratio("BM_Mat4Product", 6, "BM_Mat4ProductFloor"));
