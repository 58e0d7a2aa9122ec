// The conversion of a swept surface to a triangle mesh, side by side with
// OpenMesh building the same mesh and with the floor of the grid fill: the
// tube of swept_buffer_bench (path Circle(8192), profile Circle(64):
// 524,288 vertices, 1,048,576 triangles).
//
//   Swept/ToMesh               Tube::ToMesh: grid, vertex and face records,
//                              corner materials and sharp marks, then the
//                              mesh's whole rebuild (links, orientation,
//                              vertex flags, face and corner normals)
//   OpenMesh/BuildAndNormals   OpenMesh adding the converted mesh's vertices
//                              and triangles from flat arrays (reserved up
//                              front), then its face and vertex normals
//   Floor/Grid                 sweptGrid alone into its flat point array
//   Floor/GridAndTriangles     the grid and the triangles' vertex indices
//                              (two per quad, split along b-c) into flat
//                              arrays
//
// Goal: Swept/ToMesh <= 1.0 x OpenMesh/BuildAndNormals. Every case runs five
// repetitions and reports their median (and spread); freeing a mesh is not
// timed.

#include <benchmark/benchmark.h>

// OpenMesh's property containers trip GCC's maybe-uninitialized analysis at
// -O3 where this file instantiates them.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_goals.h"
#include "bench/bench_meshes.h"
#include "curves/curve.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "mesh/mesh.h"

namespace {

using benchmeshes::tube;

qel::SweptShape shape() { return {qel::SweptKind::Tube, tube().path, tube().profile}; }

// The converted mesh's vertices and triangles as flat arrays, made once.
struct Soup {
    std::vector<float> points;      // x, y, z per vertex
    std::vector<std::int32_t> tri;  // three vertex indices per face
};

const Soup& soup() {
    static const Soup s = [] {
        Soup out;
        std::unique_ptr<qel::Mesh> m(tube().ToMesh());
        if (!m) return out;
        for (std::size_t v = 0; v < m->vertices.size(); ++v) {
            const qel::vec3& p = m->vertices[v].position;
            out.points.insert(out.points.end(), {p.x, p.y, p.z});
        }
        for (std::size_t f = 0; f < m->faces.size(); ++f)
            out.tri.insert(out.tri.end(), {m->faces[f].v[0], m->faces[f].v[1], m->faces[f].v[2]});
        return out;
    }();
    return s;
}

void SweptToMesh(benchmark::State& state) {
    qel::Tube& t = tube();
    std::size_t faces = 0;
    for (auto _ : state) {
        std::unique_ptr<qel::Mesh> m(t.ToMesh());
        if (!m) {
            state.SkipWithError("the tube does not convert");
            break;
        }
        faces = m->faces.size();
        benchmark::DoNotOptimize(m->faces[0].normals[0]);
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.counters["faces"] = double(faces);
}

using OMesh = OpenMesh::TriMesh_ArrayKernelT<>;

void OpenMeshBuildAndNormals(benchmark::State& state) {
    const Soup& s = soup();
    const std::size_t nv = s.points.size() / 3, nf = s.tri.size() / 3;
    for (auto _ : state) {
        auto m = std::make_unique<OMesh>();
        m->request_face_normals();
        m->request_vertex_normals();
        m->reserve(nv, nv + nf, nf);  // a closed torus: E = V + F
        std::vector<OMesh::VertexHandle> vh;
        vh.reserve(nv);
        for (std::size_t i = 0; i < s.points.size(); i += 3)
            vh.push_back(m->add_vertex(OMesh::Point(s.points[i], s.points[i + 1], s.points[i + 2])));
        for (std::size_t i = 0; i < s.tri.size(); i += 3)
            m->add_face(vh[std::size_t(s.tri[i])], vh[std::size_t(s.tri[i + 1])], vh[std::size_t(s.tri[i + 2])]);
        m->update_face_normals();
        m->update_vertex_normals();
        benchmark::DoNotOptimize(m->normal(OMesh::VertexHandle(0)));
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.counters["faces"] = double(nf);
}

void FloorGrid(benchmark::State& state) {
    std::vector<qel::vec3> grid;
    for (auto _ : state) {
        qel::sweptGrid(shape(), grid);
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
}

void FloorGridAndTriangles(benchmark::State& state) {
    const qel::Curve& carrier = *tube().path;
    const qel::Curve& section = *tube().profile;
    const std::int32_t V = std::int32_t(section.vertexCount());
    std::vector<qel::vec3> grid;
    std::vector<std::int32_t> tri(6 * carrier.edges.size() * section.edges.size());
    for (auto _ : state) {
        qel::sweptGrid(shape(), grid);
        std::int32_t* t = tri.data();
        for (const qel::CurveEdge& e : carrier.edges) {
            const std::int32_t ring0 = e.v[0] * V, ring1 = e.v[1] * V;
            for (const qel::CurveEdge& f : section.edges) {
                const std::int32_t a = ring0 + f.v[0], b = ring0 + f.v[1], c = ring1 + f.v[0], d = ring1 + f.v[1];
                *t++ = a, *t++ = c, *t++ = b;
                *t++ = d, *t++ = b, *t++ = c;
            }
        }
        benchmark::DoNotOptimize(grid.data());
        benchmark::DoNotOptimize(tri.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(SweptToMesh)->Name("Swept/ToMesh")->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(OpenMeshBuildAndNormals)
    ->Name("OpenMesh/BuildAndNormals")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(FloorGrid)->Name("Floor/Grid")->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(FloorGridAndTriangles)
    ->Name("Floor/GridAndTriangles")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCH_GOAL(benchgoals::ratio("Swept/ToMesh", 1.0, "OpenMesh/BuildAndNormals"));
