// Plane cut, clip and subtract through the middle of a closed smooth sphere
// of 983,040 faces, beside the whole-mesh passes that clip and subtract end
// with (calculateNormals(2), removeInactive(true)) on the same mesh.
//
// Copies of the input are made and destroyed with the clock stopped.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_goals.h"
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

// The floor of a plane cut: every face's corners read from flat arrays
// (corner indices, positions) and the faces across the plane counted: a
// cut must look at every face at least that much.
void FloorPlaneSides(benchmark::State& state) {
    const qel::Mesh& m = input();
    std::vector<qel::vec3> points(std::size_t(m.vertexCount()));
    for (int v = 0; v < m.vertexCount(); ++v) points[std::size_t(v)] = m.vertices[v].position;
    std::vector<std::int32_t> corners;
    corners.reserve(3 * std::size_t(m.faceCount()));
    for (int f = 0; f < m.faceCount(); ++f) corners.insert(corners.end(), m.faces[f].v, m.faces[f].v + 3);
    for (auto _ : state) {
        std::size_t crossing = 0;
        for (std::size_t i = 0; i < corners.size(); i += 3) {
            int inside = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const qel::vec3& p = points[std::size_t(corners[i + k])];
                inside += qel::dot(p - point, normal) > 0.0f ? 1 : 0;
            }
            crossing += inside == 1 || inside == 2;
        }
        benchmark::DoNotOptimize(crossing);
    }
    state.counters["faces"] = double(m.faceCount());
}

}  // namespace

BENCHMARK(CutPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(ClipPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(SubPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(CalculateNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveInactive)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorPlaneSides)->Name("Floor/PlaneSides")->Unit(benchmark::kMillisecond);

// The cut within 6 x its floor.
BENCH_GOAL(benchgoals::ratio("CutPlane", 6, "Floor/PlaneSides"));
