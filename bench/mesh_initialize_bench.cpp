// The rebuild of a triangle soup (a grid torus, vertices shared by index, as
// an OBJ import hands them) side by side with OpenMesh building its TriMesh
// from the same arrays, and the normal passes against a flat-array floor.
//
// Two face orders at two sizes (1M and 4M triangles):
//   grid      faces and vertices in row order, as exporters write a grid or
//             a sphere;
//   shuffled  the same faces in random order (vertices stay in row order).
//
// Per input, side by side:
//   Tessilor/BuildAndInitialize   vs  OpenMesh/BuildAndNormals
//       records added from the arrays, then the whole rebuild (links,
//       orientation, vertex flags, face and corner normals, size), against
//       OpenMesh adding the same vertices and faces and computing face and
//       vertex normals;
//   Tessilor/Initialize           vs  OpenMesh/Build
//       the rebuild alone (records already added), against OpenMesh building
//       its half-edge connectivity alone;
//   Tessilor/CalculateNormals     vs  OpenMesh/Normals, Floor/AreaWeightedNormals,
//                                     Floor/FaceAndCornerNormals
//       face and corner normals of a finished mesh, against OpenMesh's face
//       and vertex normals, a single flat-array pass that computes face
//       normals and adds them to their vertices (then normalises those), and
//       the floor that writes the same outputs as the engine (unit face
//       normals and every corner's normal) from and into flat arrays.
//
// OpenMesh reserves its arrays up front. Every case runs five repetitions
// and reports their median (and spread).

#include <benchmark/benchmark.h>

// OpenMesh's property containers trip GCC's maybe-uninitialized analysis at
// -O3 where this file instantiates them.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_goals.h"
#include "mesh/mesh.h"

namespace {

struct Soup {
    std::vector<float> points;      // x, y, z per vertex
    std::vector<std::int32_t> tri;  // three vertex indices per face
    int vertexCount() const { return int(points.size() / 3); }
    int faceCount() const { return int(tri.size() / 3); }
};

// One benchmark input: torus size and face order.
struct Input {
    const char* name;  // "1M", "4M"
    int u, v;          // quads round the torus and round its tube
    bool shuffled;
};

const Input inputs[] = {
    {"1M", 708, 707, false},  // 1,001,112 triangles
    {"1M", 708, 707, true},
    {"4M", 1415, 1414, false},  // 4,001,620 triangles
    {"4M", 1415, 1414, true},
};

// A torus of u x v quads, two triangles each, in row order; the faces
// shuffled when asked.
Soup makeTorus(const Input& in) {
    const int U = in.u, V = in.v;
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
    s.tri.reserve(std::size_t(U) * V * 6);
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = i * V + j, b = ((i + 1) % U) * V + j;
            const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
            s.tri.insert(s.tri.end(), {a, b, c, a, c, d});
        }
    if (!in.shuffled) return s;
    const int nf = s.faceCount();
    std::vector<int> order(static_cast<std::size_t>(nf));
    for (int i = 0; i < nf; ++i) order[std::size_t(i)] = i;
    std::mt19937 rng(12345);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<std::int32_t> t(s.tri.size());
    for (int i = 0; i < nf; ++i)
        for (int k = 0; k < 3; ++k) t[3 * std::size_t(i) + k] = s.tri[3 * std::size_t(order[std::size_t(i)]) + k];
    s.tri.swap(t);
    return s;
}

// The soup of one input, made once; only the last one asked for is kept.
const Soup& torus(const Input& in) {
    static const Input* held = nullptr;
    static Soup soup;
    if (held != &in) {
        soup = Soup();
        soup = makeTorus(in);
        held = &in;
    }
    return soup;
}

void fill(qel::Mesh& m, const Soup& s) {
    m.vertices.reserve(std::size_t(s.vertexCount()));
    m.faces.reserve(std::size_t(s.faceCount()));
    for (std::size_t i = 0; i < s.points.size(); i += 3)
        m.vertexAdd(qel::vec3(s.points[i], s.points[i + 1], s.points[i + 2]));
    for (std::size_t i = 0; i < s.tri.size(); i += 3) m.faceAdd(s.tri[i], s.tri[i + 1], s.tri[i + 2]);
}

void TessilorBuildAndInitialize(benchmark::State& state, const Soup& s) {
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

void TessilorInitialize(benchmark::State& state, const Soup& s) {
    qel::Mesh filled;
    fill(filled, s);
    for (auto _ : state) {
        state.PauseTiming();
        auto m = std::make_unique<qel::Mesh>(filled);
        state.ResumeTiming();
        m->initialize(qel::Element::ResizeMean);
        benchmark::DoNotOptimize(m->faces[0].normals[0]);
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
}

void TessilorCalculateNormals(benchmark::State& state, const Soup& s) {
    qel::Mesh m;
    fill(m, s);
    m.initialize(qel::Element::ResizeKeep);
    for (auto _ : state) {
        m.calculateNormals(2);
        benchmark::DoNotOptimize(m.faces[0].normals[0]);
    }
}

using OMesh = OpenMesh::TriMesh_ArrayKernelT<>;

// Adds the soup's vertices and faces to m (arrays reserved first).
void build(OMesh& m, const Soup& s) {
    const std::size_t nv = std::size_t(s.vertexCount()), nf = std::size_t(s.faceCount());
    m.reserve(nv, nv + nf, nf);  // a torus: E = V + F
    std::vector<OMesh::VertexHandle> vh;
    vh.reserve(nv);
    for (std::size_t i = 0; i < s.points.size(); i += 3)
        vh.push_back(m.add_vertex(OMesh::Point(s.points[i], s.points[i + 1], s.points[i + 2])));
    for (std::size_t i = 0; i < s.tri.size(); i += 3)
        m.add_face(vh[std::size_t(s.tri[i])], vh[std::size_t(s.tri[i + 1])], vh[std::size_t(s.tri[i + 2])]);
}

void OpenMeshBuildAndNormals(benchmark::State& state, const Soup& s) {
    for (auto _ : state) {
        auto m = std::make_unique<OMesh>();
        m->request_face_normals();
        m->request_vertex_normals();
        build(*m, s);
        m->update_face_normals();
        m->update_vertex_normals();
        benchmark::DoNotOptimize(m->normal(OMesh::VertexHandle(0)));
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
}

void OpenMeshBuild(benchmark::State& state, const Soup& s) {
    for (auto _ : state) {
        auto m = std::make_unique<OMesh>();
        build(*m, s);
        benchmark::DoNotOptimize(m->halfedge_handle(OMesh::VertexHandle(0)));
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
}

void OpenMeshNormals(benchmark::State& state, const Soup& s) {
    OMesh m;
    m.request_face_normals();
    m.request_vertex_normals();
    build(m, s);
    for (auto _ : state) {
        m.update_face_normals();
        m.update_vertex_normals();
        benchmark::DoNotOptimize(m.normal(OMesh::VertexHandle(0)));
    }
}

// The floor: one pass over flat position and index arrays that computes
// each face's normal and adds it to its three vertices, then normalises the
// vertex sums (no sectors, no records, no corner normals).
void FloorAreaWeightedNormals(benchmark::State& state, const Soup& s) {
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

// The floor of the normal pass itself: the same outputs as
// calculateNormals(2) on a smooth closed mesh, from flat arrays into flat
// arrays. Each face's unit normal (computed in double, three floats a
// face), each vertex's sum of its faces' normals in face order, normalised,
// then each corner's normal (nine floats a face): three passes, no links,
// no flags, no sectors. Checked once against the engine's corners.
void FloorFaceAndCornerNormals(benchmark::State& state, const Soup& s) {
    const std::size_t nf = std::size_t(s.faceCount()), nv = std::size_t(s.vertexCount());
    std::vector<float> face(3 * nf), corner(9 * nf), sum(3 * nv);
    const float* p = s.points.data();
    const std::int32_t* t = s.tri.data();
    for (auto _ : state) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (std::size_t i = 0; i < nf; ++i) {
            const float* a = p + 3 * t[3 * i];
            const float* b = p + 3 * t[3 * i + 1];
            const float* c = p + 3 * t[3 * i + 2];
            const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
            const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
            const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
            const double l2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
            const double inv = l2 > qel::NormalizeEpsilon ? 1.0 / std::sqrt(l2) : 1.0;
            float* f = face.data() + 3 * i;
            for (int k = 0; k < 3; ++k) f[k] = float(n[k] * inv);
            for (int k = 0; k < 3; ++k) {
                float* q = sum.data() + 3 * t[3 * i + std::size_t(k)];
                q[0] += f[0];
                q[1] += f[1];
                q[2] += f[2];
            }
        }
        for (std::size_t v = 0; v < nv; ++v) {
            float* q = sum.data() + 3 * v;
            const double l2 = double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2];
            if (l2 <= qel::NormalizeEpsilon) continue;
            const float l = float(std::sqrt(l2));
            q[0] /= l;
            q[1] /= l;
            q[2] /= l;
        }
        for (std::size_t i = 0; i < 3 * nf; ++i) {
            const float* q = sum.data() + 3 * t[i];
            float* c = corner.data() + 3 * i;
            c[0] = q[0];
            c[1] = q[1];
            c[2] = q[2];
        }
        benchmark::DoNotOptimize(corner.data());
        benchmark::DoNotOptimize(face.data());
    }
    // The same outputs: the engine's face and corner normals, bit for bit.
    qel::Mesh m;
    fill(m, s);
    m.initialize(qel::Element::ResizeKeep);
    m.calculateNormals(2);
    for (std::size_t i = 0; i < nf; ++i) {
        const qel::MeshFace& F = m.faces[i];
        bool same = F.normal == qel::vec3(face[3 * i], face[3 * i + 1], face[3 * i + 2]);
        for (int k = 0; k < 3; ++k)
            same = same &&
                   F.normals[k] == qel::vec3(corner[9 * i + 3 * std::size_t(k)], corner[9 * i + 3 * std::size_t(k) + 1],
                                             corner[9 * i + 3 * std::size_t(k) + 2]);
        if (!same) {
            state.SkipWithError("the floor's normals differ from the engine's");
            break;
        }
    }
}

using Case = void (*)(benchmark::State&, const Soup&);

// Registers every case for every input, inputs one after another (so that
// each soup is made once), named like "Tessilor/Initialize/grid/1M".
[[maybe_unused]] const int registered = [] {
    const std::pair<const char*, Case> cases[] = {
        {"Tessilor/BuildAndInitialize", TessilorBuildAndInitialize},
        {"OpenMesh/BuildAndNormals", OpenMeshBuildAndNormals},
        {"Tessilor/Initialize", TessilorInitialize},
        {"OpenMesh/Build", OpenMeshBuild},
        {"Tessilor/CalculateNormals", TessilorCalculateNormals},
        {"OpenMesh/Normals", OpenMeshNormals},
        {"Floor/AreaWeightedNormals", FloorAreaWeightedNormals},
        {"Floor/FaceAndCornerNormals", FloorFaceAndCornerNormals},
    };
    for (const Input& in : inputs)
        for (const auto& c : cases) {
            const std::string name = std::string(c.first) + (in.shuffled ? "/shuffled/" : "/grid/") + in.name;
            const Case fn = c.second;
            const Input* input = &in;
            benchmark::RegisterBenchmark(name.c_str(), [fn, input](benchmark::State& st) { fn(st, torus(*input)); })
                ->Unit(benchmark::kMillisecond)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        }
    return 0;
}();

}  // namespace

// On the million-triangle soups, in both orders: the build and the rebuild
// no slower than OpenMesh's; the normals (corner normals too, which
// OpenMesh's pass does not make) within 3 x the floor that writes the same
// outputs.
BENCH_GOAL(benchgoals::ratio("Tessilor/BuildAndInitialize/grid/1M", 1, "OpenMesh/BuildAndNormals/grid/1M"));
BENCH_GOAL(benchgoals::ratio("Tessilor/Initialize/grid/1M", 1, "OpenMesh/Build/grid/1M"));
BENCH_GOAL(benchgoals::ratio("Tessilor/CalculateNormals/grid/1M", 3, "Floor/FaceAndCornerNormals/grid/1M"));
BENCH_GOAL(benchgoals::ratio("Tessilor/BuildAndInitialize/shuffled/1M", 1, "OpenMesh/BuildAndNormals/shuffled/1M"));
BENCH_GOAL(benchgoals::ratio("Tessilor/Initialize/shuffled/1M", 1, "OpenMesh/Build/shuffled/1M"));
BENCH_GOAL(benchgoals::ratio("Tessilor/CalculateNormals/shuffled/1M", 3, "Floor/FaceAndCornerNormals/shuffled/1M"));
