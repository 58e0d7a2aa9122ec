// Sphere cut and sphere subtract on a closed smooth sphere of 983,040 faces,
// the sphere covering about 1 % of its surface, beside the whole-mesh passes
// that the operations are made of (the inside marking, the corner normals
// that end the cut and the normals that end the subtraction) on the same
// mesh.
//
// Copies of the input are made and destroyed with the clock stopped.

#include <benchmark/benchmark.h>

#include <cmath>
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

// A point on the surface, its outward unit normal and the radius of the
// mesh sphere.
struct Site {
    qel::vec3 point, normal;
    float radius;
};

const Site& site() {
    static const Site s = [] {
        const qel::Mesh& m = input();
        const qel::vec3 p = m.vertices[12345].position;
        const float r = float(qel::length(p));
        return Site{p, p / r, r};
    }();
    return s;
}

// A sphere centred on the surface with radius 0.2 R covers pi (0.2 R)^2 of
// the 4 pi R^2: 1 %.
qel::vec3 rimPoint() {
    const Site& s = site();
    const qel::vec3 side = qel::normalize(qel::cross(s.normal, qel::vec3(0, 0, 1)));
    return s.point + side * (0.2f * s.radius);
}

template <class Op>
void run(benchmark::State& state, Op op) {
    for (auto _ : state) {
        state.PauseTiming();
        auto* m = new qel::Mesh(input());
        state.ResumeTiming();
        op(*m);
        benchmark::DoNotOptimize(m->faces.size());
        state.PauseTiming();
        state.counters["new faces"] = double(m->faceCount() - input().faceCount());
        delete m;
        state.ResumeTiming();
    }
    state.counters["faces"] = double(input().faceCount());
}

void CutSphere(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.cutSphere(site().point, rimPoint()); });
}
void CutSphereF(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.cutSphereF(site().point, rimPoint(), 0, false); });
}
void ClipSphere(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.clipSphere(site().point, rimPoint()); });
}
void SubSphere(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.subSphere(site().point, site().normal, rimPoint(), false, qel::pbr()); });
}
void SelectV(benchmark::State& s) {
    const float r = 0.2f * site().radius;
    run(s, [r](qel::Mesh& m) { m.selectV(site().point, r, true); });
}
void CornerNormals(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.calculateNormals(1); });
}
void AllNormals(benchmark::State& s) {
    run(s, [](qel::Mesh& m) { m.calculateNormals(2); });
}

// The floor of a sphere cut that looks at every face: every face's corners
// read from flat arrays (corner indices, positions) and the faces across
// the sphere counted.
void FloorSphereSides(benchmark::State& state) {
    const qel::Mesh& m = input();
    std::vector<qel::vec3> points(std::size_t(m.vertexCount()));
    for (int v = 0; v < m.vertexCount(); ++v) points[std::size_t(v)] = m.vertices[v].position;
    std::vector<std::int32_t> corners;
    corners.reserve(3 * std::size_t(m.faceCount()));
    for (int f = 0; f < m.faceCount(); ++f) corners.insert(corners.end(), m.faces[f].v, m.faces[f].v + 3);
    const qel::vec3 centre = site().point;
    const float r2 = 0.2f * site().radius * 0.2f * site().radius;
    for (auto _ : state) {
        std::size_t crossing = 0;
        for (std::size_t i = 0; i < corners.size(); i += 3) {
            int inside = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const qel::vec3& p = points[std::size_t(corners[i + k])];
                inside += qel::length2(p - centre) < r2 ? 1 : 0;
            }
            crossing += inside == 1 || inside == 2;
        }
        benchmark::DoNotOptimize(crossing);
    }
    state.counters["faces"] = double(m.faceCount());
}

}  // namespace

BENCHMARK(CutSphere)->Unit(benchmark::kMillisecond);
BENCHMARK(CutSphereF)->Unit(benchmark::kMillisecond);
BENCHMARK(ClipSphere)->Unit(benchmark::kMillisecond);
BENCHMARK(SubSphere)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectV)->Unit(benchmark::kMillisecond);
BENCHMARK(CornerNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(AllNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorSphereSides)->Name("Floor/SphereSides")->Unit(benchmark::kMillisecond);

// The cut and the subtraction within 6 x that floor.
BENCH_GOAL(benchgoals::ratio("CutSphere", 6, "Floor/SphereSides"));
BENCH_GOAL(benchgoals::ratio("SubSphere", 6, "Floor/SphereSides"));
