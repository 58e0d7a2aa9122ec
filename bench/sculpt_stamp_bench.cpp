// One brush stamp on a smooth sphere of 1,310,720 faces (the icosahedron
// refined 8 times): one sculpt call with one Sculptor on a later step of a
// running stroke (three samples), brush radius 0.2 x the sphere's radius.
//
// The whole-mesh stamps (Deform, Smooth, PaintMaterial, Pinch, Twist,
// DeformVolume) each have the goal: at most 2 ms on one core and at most 5
// times DeformFloor, the vertices in the brush ball (listed once outside
// the clock) moved in a flat array by the falloff-weighted step and the
// normals of the faces round them made again. SelectVScan is selectV alone
// with the same ball (and the deselectAll that ends it): its share of each
// stamp is the scan's. Deform within the patch and within the component
// (the sphere is one patch and one component; their goals are in
// sculpt_order_bench) and one Relax step have no goal.
//
// Successive stamps step back and forth so that the surface stays put; the
// twist turns about the axis through a first sample a little to the side.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "mesh/mesh.h"

namespace {

using Scene = benchmeshes::BrushScene;

Scene& scene() {
    static Scene s = [] {
        std::unique_ptr<qel::Mesh> m(benchmeshes::stampSphere());
        const qel::vec3 p = m->vertices[0].position;
        return benchmeshes::brushScene(std::move(m), p);
    }();
    return s;
}

// After the stroke's first step, one sculpt call with three samples: the
// step from sample 1 to sample 2, forward on even iterations and back on odd
// ones.
void stamp(benchmark::State& state, qel::Sculptor::TAction action, qel::Sculptor::TSelect select,
           const qel::vec3& firstOffset = qel::vec3(0, 0, 0)) {
    Scene& s = scene();
    qel::Sculptor sculptor;
    qel::SBrush b;
    benchmeshes::brushSculptor(s, action, select, sculptor, b);
    // The stroke's first step (two samples), untimed: what a stroke keeps
    // for its later steps is made there.
    sculptor.samples.assign(2, b);
    sculptor.samples[0].point += firstOffset;
    sculptor.state = qel::Gesture::Moving;
    std::vector<qel::Sculptor*> list{&sculptor};
    s.mesh->sculpt(list);
    sculptor.samples.push_back(b);
    bool forward = true;
    for (auto _ : state) {
        sculptor.samples[1].point = forward ? s.centre : s.centre + s.step;
        sculptor.samples[2].point = forward ? s.centre + s.step : s.centre;
        forward = !forward;
        s.mesh->sculpt(list);
        benchmark::DoNotOptimize(s.mesh->vertices[0].position);
    }
    state.counters["faces"] = double(s.mesh->faceCount());
}

void DeformStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectElement); }
void SmoothStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Smooth, qel::Sculptor::SelectElement); }
void PaintStamp(benchmark::State& st) { stamp(st, qel::Sculptor::PaintMaterial, qel::Sculptor::SelectElement); }
void PinchStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Pinch, qel::Sculptor::SelectElement); }
void TwistStamp(benchmark::State& st) {
    // The first sample five steps to the side across the stroke: the step
    // turns by about 0.05 radians.
    const Scene& s = scene();
    const qel::vec3 side = qel::cross(qel::normalize(s.centre - s.mesh->centre), s.step);
    stamp(st, qel::Sculptor::Twist, qel::Sculptor::SelectElement, side * 5.0f);
}
void DeformVolumeStamp(benchmark::State& st) { stamp(st, qel::Sculptor::DeformVolume, qel::Sculptor::SelectElement); }
void DeformPatchStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectPatch); }
void DeformComponentStamp(benchmark::State& st) { stamp(st, qel::Sculptor::Deform, qel::Sculptor::SelectComponent); }
void RelaxStep(benchmark::State& st) { stamp(st, qel::Sculptor::Relax, qel::Sculptor::SelectElement); }

// The floor of the stamps: the vertices a stamp moves, found once outside
// the clock, moved in a flat array of positions by the falloff-weighted step
// (their offsets and weights computed again each time, as a stamp must),
// and the normals of the faces round them made again from flat corners.
void DeformFloor(benchmark::State& state) {
    Scene& s = scene();
    std::vector<qel::vec3> points;
    points.reserve(std::size_t(s.mesh->vertexCount()));
    for (int v = 0; v < s.mesh->vertexCount(); ++v) points.push_back(s.mesh->vertices[v].position);
    const float r = s.radius, r2 = r * r;
    std::vector<std::int32_t> inside;
    for (std::size_t v = 0; v < points.size(); ++v) {
        const qel::vec3 o = points[v] - s.centre;
        if (double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z < double(r2)) inside.push_back(std::int32_t(v));
    }
    // The corners of the faces round them, three by three, and their normals.
    std::vector<char> moves(points.size(), 0);
    for (const std::int32_t v : inside) moves[std::size_t(v)] = 1;
    std::vector<std::int32_t> corners;
    for (int f = 0; f < s.mesh->faceCount(); ++f) {
        const qel::MeshFace& F = s.mesh->faces[f];
        if (moves[std::size_t(F.v[0])] || moves[std::size_t(F.v[1])] || moves[std::size_t(F.v[2])])
            corners.insert(corners.end(), F.v, F.v + 3);
    }
    std::vector<qel::vec3> normals(corners.size() / 3);
    bool forward = true;
    for (auto _ : state) {
        const qel::vec3 c = forward ? s.centre : s.centre + s.step;
        const qel::vec3 d = forward ? s.step : -s.step;
        forward = !forward;
        for (const std::int32_t v : inside) {
            qel::vec3& p = points[std::size_t(v)];
            const qel::vec3 o = p - c;
            const double q = double(o.x) * o.x + double(o.y) * o.y + double(o.z) * o.z;
            if (q >= double(r2)) continue;
            p += d * float(qel::Mesh::falloff(std::sqrt(q / double(r2))));
        }
        for (std::size_t i = 0; i < normals.size(); ++i) {
            const qel::vec3& a = points[std::size_t(corners[3 * i])];
            normals[i] = qel::normalize(qel::cross(points[std::size_t(corners[3 * i + 1])] - a,
                                                   points[std::size_t(corners[3 * i + 2])] - a));
        }
        benchmark::DoNotOptimize(points.data());
        benchmark::DoNotOptimize(normals.data());
    }
    state.counters["vertices"] = double(inside.size());
}

// The scan of selectV alone, with the deselectAll that ends it.
void SelectVScan(benchmark::State& state) {
    Scene& s = scene();
    std::size_t reached = 0;
    for (auto _ : state) {
        s.mesh->selectV(s.centre, s.radius, true);
        reached = s.mesh->influences.size();
        s.mesh->deselectAll();
    }
    state.counters["reached"] = double(reached);
}

}  // namespace

BENCHMARK(DeformStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(SmoothStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(PinchStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(TwistStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformVolumeStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectVScan)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformPatchStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(DeformComponentStamp)->Unit(benchmark::kMillisecond);
BENCHMARK(RelaxStep)->Unit(benchmark::kMillisecond)->Iterations(5);

// Each whole-mesh stamp: at most 2 ms and at most 5 x DeformFloor.
BENCH_GOAL(benchgoals::limitMs("DeformStamp", 2));
BENCH_GOAL(benchgoals::ratio("DeformStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::limitMs("SmoothStamp", 2));
BENCH_GOAL(benchgoals::ratio("SmoothStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::limitMs("PaintStamp", 2));
BENCH_GOAL(benchgoals::ratio("PaintStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::limitMs("PinchStamp", 2));
BENCH_GOAL(benchgoals::ratio("PinchStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::limitMs("TwistStamp", 2));
BENCH_GOAL(benchgoals::ratio("TwistStamp", 5, "DeformFloor"));
BENCH_GOAL(benchgoals::limitMs("DeformVolumeStamp", 2));
BENCH_GOAL(benchgoals::ratio("DeformVolumeStamp", 5, "DeformFloor"));
