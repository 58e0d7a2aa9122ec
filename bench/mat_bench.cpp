// mat4 products (double accumulation, one rounding) and the affine inverse.

#include "core/mat.h"

#include <benchmark/benchmark.h>

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
