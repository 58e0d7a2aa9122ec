// Curve topology on an open chain of 100,000 vertices, against a raw copy of
// the same records as the floor.
//
//   Curve/Initialize          initialize(0) with the edges in chain order, as
//                             files hold them (links, sharp flags, order);
//   Curve/InitializeShuffled  the same chain with its edges shuffled and every
//                             second one reversed: the worst case for the
//                             ordering walk, which jumps across the array;
//   Curve/RemoveInactive      compaction of the chain with every tenth edge
//                             erased;
//   Floor/CurveCopy           std::memcpy of the vertex and edge arrays.
//
// The curve under test is copied from a prepared one outside the timing.
// Every case runs five repetitions and reports their median (and spread).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "curves/curve.h"

namespace {

constexpr int kVertices = 100000;

// The open chain 0-1-...-(n-1) along a gentle spiral, edges not yet linked.
std::unique_ptr<qel::Curve> makeChain(bool shuffled) {
    auto c = std::make_unique<qel::Curve>();
    c->vertices.reserve(kVertices);
    c->edges.reserve(kVertices - 1);
    for (int i = 0; i < kVertices; ++i)
        c->vertexAdd(qel::vec3(float(i) * 0.01f, std::sin(i * 0.1f), std::cos(i * 0.1f)));
    std::vector<int> order(kVertices - 1);
    for (int i = 0; i < kVertices - 1; ++i) order[std::size_t(i)] = i;
    if (shuffled) {
        std::mt19937 rng(12345);
        std::shuffle(order.begin(), order.end(), rng);
    }
    for (std::size_t k = 0; k < order.size(); ++k) {
        const int i = order[k];
        if (shuffled && k % 2 == 1)
            c->edgeAdd(i + 1, i);
        else
            c->edgeAdd(i, i + 1);
    }
    return c;
}

void Initialize(benchmark::State& state, bool shuffled) {
    const std::unique_ptr<qel::Curve> prepared = makeChain(shuffled);
    for (auto _ : state) {
        state.PauseTiming();
        auto c = std::make_unique<qel::Curve>(*prepared);
        state.ResumeTiming();
        c->initialize(qel::Element::ResizeKeep);
        benchmark::DoNotOptimize(c->edges[0].n[1]);
        if (c->status != 0) state.SkipWithError("connectivity failed");
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.counters["edges"] = double(prepared->edgeCount());
}

void RemoveInactive(benchmark::State& state) {
    std::unique_ptr<qel::Curve> prepared = makeChain(false);
    prepared->initialize(qel::Element::ResizeKeep);
    for (int e = 0; e < prepared->edgeCount(); e += 10) prepared->edgeErase(e);
    for (auto _ : state) {
        state.PauseTiming();
        auto c = std::make_unique<qel::Curve>(*prepared);
        state.ResumeTiming();
        c->removeInactive(false);
        benchmark::DoNotOptimize(c->edges[0].n[1]);
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
}

void FloorCurveCopy(benchmark::State& state) {
    const std::unique_ptr<qel::Curve> prepared = makeChain(false);
    std::vector<qel::CurveVertex> vertices(prepared->vertices.size());
    std::vector<qel::CurveEdge> edges(prepared->edges.size());
    for (auto _ : state) {
        std::memcpy(static_cast<void*>(vertices.data()), prepared->vertices.data(),
                    vertices.size() * sizeof(qel::CurveVertex));
        std::memcpy(static_cast<void*>(edges.data()), prepared->edges.data(), edges.size() * sizeof(qel::CurveEdge));
        benchmark::DoNotOptimize(vertices.data());
        benchmark::DoNotOptimize(edges.data());
        benchmark::ClobberMemory();
    }
}

[[maybe_unused]] const int registered = [] {
    auto setup = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
    };
    setup(benchmark::RegisterBenchmark("Curve/Initialize", Initialize, false));
    setup(benchmark::RegisterBenchmark("Curve/InitializeShuffled", Initialize, true));
    setup(benchmark::RegisterBenchmark("Curve/RemoveInactive", RemoveInactive));
    setup(benchmark::RegisterBenchmark("Floor/CurveCopy", FloorCurveCopy));
    return 0;
}();

}  // namespace
