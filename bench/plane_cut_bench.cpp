// Plane cut, clip and subtract through the middle of a closed smooth sphere
// of 983,040 faces, beside the whole-mesh passes that clip and subtract end
// with (calculateNormals(2), removeInactive(true)) on the same mesh.
//
// Copies of the input are made and destroyed with the clock stopped.

#include <benchmark/benchmark.h>

#include <memory>

#include "mesh/mesh.h"

namespace {

const qel::Mesh& input() {
    static const std::unique_ptr<qel::Mesh> m = [] {
        std::unique_ptr<qel::Mesh> base(qel::Mesh::Icosahedron());
        std::unique_ptr<qel::Mesh> s(qel::Mesh::Sphere(base.get(), 7, false, true));
        s->subdivideSqrt3();
        return s;
    }();
    return *m;
}

const qel::vec3 point(0.0f, 0.0f, 0.0123f);
const qel::vec3 normal(0.1f, 0.2f, 1.0f);

template <class Op>
void run(benchmark::State& state, Op op) {
    for (auto _ : state) {
        state.PauseTiming();
        auto* m = new qel::Mesh(input());
        state.ResumeTiming();
        op(*m);
        benchmark::DoNotOptimize(m->faces.size());
        state.PauseTiming();
        delete m;
        state.ResumeTiming();
    }
    state.counters["faces"] = double(input().faceCount());
}

void CutPlane(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.cutPlane(point, normal); });
}
void ClipPlane(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.clipPlane(point, normal); });
}
void SubPlane(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.subPlane(point, normal, qel::pbr()); });
}
void CalculateNormals(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.calculateNormals(2); });
}
void RemoveInactive(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.removeInactive(true); });
}

}  // namespace

BENCHMARK(CutPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(ClipPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(SubPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(CalculateNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveInactive)->Unit(benchmark::kMillisecond);
