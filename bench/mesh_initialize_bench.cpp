// The rebuild of a million-triangle soup (a grid torus whose faces come in
// shuffled order, vertices shared by index, as an OBJ import hands them),
// side by side with OpenMesh building its TriMesh from the same arrays and
// computing face and vertex normals; and the normal pass alone.
//
//   Tessilor/BuildAndInitialize   vs  OpenMesh/BuildAndNormals
//   Tessilor/CalculateNormals     vs  Floor/AreaWeightedNormals (flat arrays)

#include <benchmark/benchmark.h>

// OpenMesh's property containers trip GCC's maybe-uninitialized analysis at
// -O3 where this file instantiates them.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "mesh/mesh.h"

namespace {

struct Soup {
    std::vector<float> points;      // x, y, z per vertex
    std::vector<std::int32_t> tri;  // three vertex indices per face
    int vertexCount() const { return int(points.size() / 3); }
    int faceCount() const { return int(tri.size() / 3); }
};

// A torus of u x v quads, two triangles each, faces shuffled.
const Soup& torus() {
    static const Soup soup = [] {
        const int U = 708, V = 707;  // 1,001,112 triangles
        Soup s;
        s.points.reserve(std::size_t(U) * V * 3);
        const double pi2 = 6.283185307179586;
        for (int i = 0; i < U; ++i)
            for (int j = 0; j < V; ++j) {
                const double a = pi2 * i / U, b = pi2 * j / V;
                s.points.push_back(float((2 + std::cos(b)) * std::cos(a)));
                s.points.push_back(float((2 + std::cos(b)) * std::sin(a)));
                s.points.push_back(float(std::sin(b)));
            }
        std::vector<std::int32_t> t;
        t.reserve(std::size_t(U) * V * 6);
        for (int i = 0; i < U; ++i)
            for (int j = 0; j < V; ++j) {
                const int a = i * V + j, b = ((i + 1) % U) * V + j;
                const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
                t.insert(t.end(), {a, b, c, a, c, d});
            }
        const int nf = int(t.size() / 3);
        std::vector<int> order(static_cast<std::size_t>(nf));
        for (int i = 0; i < nf; ++i) order[std::size_t(i)] = i;
        std::mt19937 rng(12345);
        std::shuffle(order.begin(), order.end(), rng);
        s.tri.resize(t.size());
        for (int i = 0; i < nf; ++i)
            for (int k = 0; k < 3; ++k) s.tri[3 * std::size_t(i) + k] = t[3 * std::size_t(order[std::size_t(i)]) + k];
        return s;
    }();
    return soup;
}

void fill(qel::Mesh& m, const Soup& s) {
    m.vertices.reserve(std::size_t(s.vertexCount()));
    m.faces.reserve(std::size_t(s.faceCount()));
    for (std::size_t i = 0; i < s.points.size(); i += 3)
        m.vertexAdd(qel::vec3(s.points[i], s.points[i + 1], s.points[i + 2]));
    for (std::size_t i = 0; i < s.tri.size(); i += 3) m.faceAdd(s.tri[i], s.tri[i + 1], s.tri[i + 2]);
}

void TessilorBuildAndInitialize(benchmark::State& state) {
    const Soup& s = torus();
    for (auto _ : state) {
        qel::Mesh m;
        fill(m, s);
        m.initialize(qel::Element::ResizeMean);
        benchmark::DoNotOptimize(m.faces[0].normals[0]);
        if (m.status != 0 || m.faceCount() != s.faceCount()) state.SkipWithError("rebuild failed");
        state.PauseTiming();  // freeing the records is not part of the rebuild
        m.init();
        state.ResumeTiming();
    }
    state.counters["faces"] = s.faceCount();
}

void TessilorInitialize(benchmark::State& state) {
    const Soup& s = torus();
    qel::Mesh filled;
    fill(filled, s);
    for (auto _ : state) {
        state.PauseTiming();
        qel::Mesh m(filled);
        state.ResumeTiming();
        m.initialize(qel::Element::ResizeMean);
        benchmark::DoNotOptimize(m.faces[0].normals[0]);
        state.PauseTiming();
        m.init();
        state.ResumeTiming();
    }
}

void TessilorCalculateNormals(benchmark::State& state) {
    const Soup& s = torus();
    qel::Mesh m;
    fill(m, s);
    m.initialize(qel::Element::ResizeKeep);
    for (auto _ : state) {
        m.calculateNormals(2);
        benchmark::DoNotOptimize(m.faces[0].normals[0]);
    }
}

using OMesh = OpenMesh::TriMesh_ArrayKernelT<>;

void OpenMeshBuildAndNormals(benchmark::State& state) {
    const Soup& s = torus();
    for (auto _ : state) {
        OMesh m;
        m.request_face_normals();
        m.request_vertex_normals();
        std::vector<OMesh::VertexHandle> vh;
        vh.reserve(std::size_t(s.vertexCount()));
        for (std::size_t i = 0; i < s.points.size(); i += 3)
            vh.push_back(m.add_vertex(OMesh::Point(s.points[i], s.points[i + 1], s.points[i + 2])));
        for (std::size_t i = 0; i < s.tri.size(); i += 3)
            m.add_face(vh[std::size_t(s.tri[i])], vh[std::size_t(s.tri[i + 1])], vh[std::size_t(s.tri[i + 2])]);
        m.update_face_normals();
        m.update_vertex_normals();
        benchmark::DoNotOptimize(m.normal(OMesh::VertexHandle(0)));
        state.PauseTiming();
        m.clean();
        state.ResumeTiming();
    }
}

void OpenMeshNormals(benchmark::State& state) {
    const Soup& s = torus();
    OMesh m;
    m.request_face_normals();
    m.request_vertex_normals();
    std::vector<OMesh::VertexHandle> vh;
    for (std::size_t i = 0; i < s.points.size(); i += 3)
        vh.push_back(m.add_vertex(OMesh::Point(s.points[i], s.points[i + 1], s.points[i + 2])));
    for (std::size_t i = 0; i < s.tri.size(); i += 3)
        m.add_face(vh[std::size_t(s.tri[i])], vh[std::size_t(s.tri[i + 1])], vh[std::size_t(s.tri[i + 2])]);
    for (auto _ : state) {
        m.update_face_normals();
        m.update_vertex_normals();
        benchmark::DoNotOptimize(m.normal(OMesh::VertexHandle(0)));
    }
}

// The floor: area-weighted vertex normals over flat position and index
// arrays (no sectors, no records).
void FloorAreaWeightedNormals(benchmark::State& state) {
    const Soup& s = torus();
    std::vector<float> n(s.points.size());
    for (auto _ : state) {
        std::fill(n.begin(), n.end(), 0.0f);
        const float* p = s.points.data();
        for (std::size_t i = 0; i < s.tri.size(); i += 3) {
            const float* a = p + 3 * s.tri[i];
            const float* b = p + 3 * s.tri[i + 1];
            const float* c = p + 3 * s.tri[i + 2];
            const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const float f[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
            for (int k = 0; k < 3; ++k) {
                float* q = n.data() + 3 * s.tri[i + std::size_t(k)];
                q[0] += f[0];
                q[1] += f[1];
                q[2] += f[2];
            }
        }
        for (std::size_t i = 0; i < n.size(); i += 3) {
            const float l = std::sqrt(n[i] * n[i] + n[i + 1] * n[i + 1] + n[i + 2] * n[i + 2]);
            if (l > 0) {
                n[i] /= l;
                n[i + 1] /= l;
                n[i + 2] /= l;
            }
        }
        benchmark::DoNotOptimize(n.data());
    }
}

}  // namespace

BENCHMARK(TessilorBuildAndInitialize)->Name("Tessilor/BuildAndInitialize")->Unit(benchmark::kMillisecond);
BENCHMARK(OpenMeshBuildAndNormals)->Name("OpenMesh/BuildAndNormals")->Unit(benchmark::kMillisecond);
BENCHMARK(TessilorInitialize)->Name("Tessilor/Initialize")->Unit(benchmark::kMillisecond);
BENCHMARK(TessilorCalculateNormals)->Name("Tessilor/CalculateNormals")->Unit(benchmark::kMillisecond);
BENCHMARK(OpenMeshNormals)->Name("OpenMesh/Normals")->Unit(benchmark::kMillisecond);
BENCHMARK(FloorAreaWeightedNormals)->Name("Floor/AreaWeightedNormals")->Unit(benchmark::kMillisecond);
