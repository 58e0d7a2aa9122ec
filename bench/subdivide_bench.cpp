// One sqrt(3) subdivision step on closed meshes of about 100k and 1M faces
// (a subdivided icosahedron sphere), side by side with OpenMesh's uniform
// sqrt(3) subdivider on the same vertices and faces; and the refinement
// loop on a 100k-face mesh whose triangles are stretched to uneven edges.
// Our step ends with the normals the drawing needs (face and corner
// normals); the reference's subdivider leaves its normals stale, so its
// timed call is followed by its own normal update (face and vertex
// normals), as a user of it would run before drawing.
//
//   Tessilor/Sqrt3/0 (103,680 faces)   vs  OpenMesh/Sqrt3/0
//   Tessilor/Sqrt3/1 (983,040 faces)   vs  OpenMesh/Sqrt3/1
//   Tessilor/Refine/1, Tessilor/Refine/3 (refine(count), 103,680 faces)
//
// Copies of the input are made and destroyed with the clock stopped. Every
// case runs five repetitions and reports their median (and spread).

#include <benchmark/benchmark.h>

// OpenMesh's property containers trip GCC's maybe-uninitialized analysis at
// -O3 where this file instantiates them.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/Sqrt3T.hh>
#include <memory>
#include <vector>

#include "bench/bench_goals.h"
#include "mesh/mesh.h"

namespace {

using OMesh = OpenMesh::TriMesh_ArrayKernelT<>;

// A smooth sphere: the icosahedron refined `levels` times by midpoints,
// then `steps` sqrt(3) steps.
std::unique_ptr<qel::Mesh> sphere(int levels, int steps) {
    std::unique_ptr<qel::Mesh> base(qel::Mesh::Icosahedron());
    std::unique_ptr<qel::Mesh> m(qel::Mesh::Sphere(base.get(), levels, false, true));
    for (int i = 0; i < steps; ++i) m->subdivideSqrt3();
    return m;
}

// Input 0: 1280 x 81 = 103,680 faces; input 1: 327,680 x 3 = 983,040.
const qel::Mesh& input(int which) {
    static const std::unique_ptr<qel::Mesh> small = sphere(3, 4);
    static const std::unique_ptr<qel::Mesh> large = sphere(7, 1);
    return which == 0 ? *small : *large;
}

std::unique_ptr<OMesh> toOpenMesh(const qel::Mesh& m) {
    auto om = std::make_unique<OMesh>();
    om->reserve(std::size_t(m.vertexCount()), std::size_t(m.faceCount()) * 3 / 2, std::size_t(m.faceCount()));
    std::vector<OMesh::VertexHandle> handle(static_cast<std::size_t>(m.vertexCount()));
    for (int v = 0; v < m.vertexCount(); ++v) {
        const qel::vec3 p = m.vertices[v].position;
        handle[std::size_t(v)] = om->add_vertex(OMesh::Point(p.x, p.y, p.z));
    }
    for (int f = 0; f < m.faceCount(); ++f) {
        const qel::MeshFace& F = m.faces[f];
        om->add_face(handle[std::size_t(F.v[0])], handle[std::size_t(F.v[1])], handle[std::size_t(F.v[2])]);
    }
    return om;
}

void TessilorSqrt3(benchmark::State& state) {
    const qel::Mesh& in = input(int(state.range(0)));
    std::unique_ptr<qel::Mesh> work;
    for (auto _ : state) {
        state.PauseTiming();
        work.reset();
        work = std::make_unique<qel::Mesh>(in);
        state.ResumeTiming();
        work->subdivideSqrt3();
        benchmark::DoNotOptimize(work->faceCount());
    }
    state.counters["faces"] = double(work->faceCount());
}

void OpenMeshSqrt3(benchmark::State& state) {
    const qel::Mesh& in = input(int(state.range(0)));
    std::unique_ptr<OMesh> work;
    for (auto _ : state) {
        state.PauseTiming();
        work.reset();
        work = toOpenMesh(in);
        work->request_face_normals();
        work->request_vertex_normals();
        OpenMesh::Subdivider::Uniform::Sqrt3T<OMesh> subdivider;
        state.ResumeTiming();
        subdivider(*work, 1);
        work->update_normals();
        benchmark::DoNotOptimize(work->n_faces());
    }
    state.counters["faces"] = double(work->n_faces());
}

// The small sphere squeezed to a flat ellipsoid, so that its triangles have
// edges of very different lengths.
const qel::Mesh& stretched() {
    static const std::unique_ptr<qel::Mesh> m = [] {
        std::unique_ptr<qel::Mesh> s = std::make_unique<qel::Mesh>(input(0));
        for (int v = 0; v < s->vertexCount(); ++v) {
            qel::vec3& p = s->vertices[v].position;
            p = qel::vec3(p.x * 4.0f, p.y, p.z * 0.25f);
        }
        s->calculateNormals(2);
        return s;
    }();
    return *m;
}

void TessilorRefine(benchmark::State& state) {
    const int count = int(state.range(0));
    std::unique_ptr<qel::Mesh> work;
    for (auto _ : state) {
        state.PauseTiming();
        work.reset();
        work = std::make_unique<qel::Mesh>(stretched());
        state.ResumeTiming();
        work->refine(count);
        benchmark::DoNotOptimize(work->faceCount());
    }
    state.counters["faces"] = double(work->faceCount());
}

}  // namespace

// Each case repeated five times, the median and spread reported: single
// runs of a few hundred milliseconds wander with the machine.
BENCHMARK(TessilorSqrt3)
    ->Name("Tessilor/Sqrt3")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(OpenMeshSqrt3)
    ->Name("OpenMesh/Sqrt3")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(TessilorRefine)
    ->Name("Tessilor/Refine")
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A sqrt(3) step no slower than the reference subdivider on the same mesh.
BENCH_GOAL(benchgoals::ratio("Tessilor/Sqrt3/0", 1, "OpenMesh/Sqrt3/0"));
BENCH_GOAL(benchgoals::ratio("Tessilor/Sqrt3/1", 1, "OpenMesh/Sqrt3/1"));
