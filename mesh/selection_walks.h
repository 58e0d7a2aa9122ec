#pragma once
// The tests and walks the brush selections of qel::Mesh share
// (mesh_brush_select.cpp, mesh_stroke_select.cpp): the sphere tests in
// single-precision offsets and double squared distances, the box test of a
// scan over the vertex records, the face walk of a component or patch, and
// the listing of selected vertices, faces and sector records.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mesh/mesh.h"

namespace qel {
namespace selection {

// The relative distance sqrt(q / r2) of a vertex inside the closed sphere;
// a zero-radius brush puts what it reaches on its rim (weight 0).
inline float relativeDistance(double q, float r2) { return r2 > 0.0f ? float(std::sqrt(q / double(r2))) : 1.0f; }

// d inside the box of half-width r (strictly or not) and q = |d|^2 against
// r2: the sphere tests of the selections.
inline bool inBox(const vec3& d, float r, bool closed) {
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    return closed ? ax <= r && ay <= r && az <= r : ax < r && ay < r && az < r;
}

inline double squared(const vec3& d) { return double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z; }

// The box test of the selections over a group of consecutive records: bit
// k of the result is set when record k is active and each coordinate of its
// offset from the centre is below r in magnitude (open) or at most r
// (closed). Formed without branches,
// four coordinates at a time where SSE2 is there: nearly every vertex fails
// the test, and a branch per comparison would be mispredicted often. The
// offsets are the same single-precision differences that inBox tests.
class BoxTest {
public:
    static constexpr std::size_t Group = 32;

    BoxTest(const vec3& centre, float r, bool closed = false) : c_(centre), r_(r), closed_(closed) {}

    std::uint32_t candidates(const MeshVertex* records, std::size_t n) const {
        std::uint32_t bits = 0;
#if defined(__SSE2__)
        static_assert(offsetof(MeshVertex, position) == 0 && sizeof(MeshVertex) >= 4 * sizeof(float),
                      "four floats from the record's start hold the position");
        const __m128 c = _mm_setr_ps(c_.x, c_.y, c_.z, 0.0f);
        const __m128 r = _mm_set1_ps(r_);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        for (std::size_t k = 0; k < n; ++k) {
            const MeshVertex& v = records[k];
            const __m128 p = _mm_loadu_ps(reinterpret_cast<const float*>(&v));
            const __m128 d = _mm_and_ps(_mm_sub_ps(p, c), magnitude);
            const __m128 inside = closed_ ? _mm_cmple_ps(d, r) : _mm_cmplt_ps(d, r);
            const bool in = (_mm_movemask_ps(inside) & 7) == 7;
            bits |= std::uint32_t(in & v.isActive()) << k;
        }
#else
        for (std::size_t k = 0; k < n; ++k) {
            const MeshVertex& v = records[k];
            const bool in = inBox(v.position - c_, r_, closed_) & v.isActive();
            bits |= std::uint32_t(in) << k;
        }
#endif
        return bits;
    }

private:
    vec3 c_;
    float r_;
    bool closed_;
};

// Breadth-first walk over the faces from `seed`, each face expanded once
// (marked with MarkBit while the walk runs), crossing sharp edges only when
// crossSharp. visit(f) runs on each face's first expansion.
template <class Visit>
void walkFaces(Mesh& m, int seed, bool crossSharp, Visit&& visit) {
    std::vector<int> queue{seed};
    m.faces[seed].flags = std::uint8_t(m.faces[seed].flags | MeshFace::MarkBit);
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int f = queue[head];
        visit(f);
        const MeshFace& F = m.faces[f];
        for (int e = 0; e < 3; ++e) {
            if (!crossSharp && F.isSharp(e)) continue;
            const int g = F.f[e];
            if (!m.activeFace(g) || (m.faces[g].flags & MeshFace::MarkBit)) continue;
            m.faces[g].flags = std::uint8_t(m.faces[g].flags | MeshFace::MarkBit);
            queue.push_back(g);
        }
    }
    for (const int f : queue) m.faces[f].flags = std::uint8_t(m.faces[f].flags & ~MeshFace::MarkBit);
}

// v is on the selected-vertex list at its own selection index.
inline bool listed(const Mesh& m, int v) {
    const int s = m.vertices[v].selection;
    return s >= 0 && std::size_t(s) < m.selectedVertices.size() && m.selectedVertices[std::size_t(s)] == v;
}

// Selects f unless one of its selection bits is set.
inline void listFace(Mesh& m, int f) {
    MeshFace& F = m.faces[f];
    if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) return;
    F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
    m.selectedFaces.push_back(f);
}

// The face a component or patch selection starts from: a negative face is
// picked from the centre; -1 when nothing can be picked or the face is not
// an active face.
inline int seedFace(const Mesh& m, const vec3& centre, int face) {
    if (face < 0) return m.findFirstFace(centre);
    return m.activeFace(face) ? face : -1;
}

// The sector record of v in `sector`: its t lowered to t when it exists,
// else a new record at the end of v's chain.
inline void addSectorRecord(Mesh& m, int v, int sector, float t) {
    int* link = &m.sectorHeads[std::size_t(m.vertices[v].selection)];
    while (*link >= 0) {
        MeshSectorInfluence& r = m.sectorInfluences[std::size_t(*link)];
        if (r.sector == sector) {
            if (t < r.t) r.t = t;
            return;
        }
        link = &r.next;
    }
    MeshSectorInfluence r;
    r.vertex = v;
    r.sector = sector;
    r.t = t;
    *link = int(m.sectorInfluences.size());
    m.sectorInfluences.push_back(r);
}

// Calls visit(v, d, q) for every active corner v of face f within the
// ball: d its offset from the centre, q = |d|^2 in double.
template <class Visit>
void cornersInBall(Mesh& m, int f, const vec3& centre, float radius, Visit visit) {
    const double r2 = double(radius * radius);
    for (const int v : m.faces[f].v) {
        if (!m.activeVertex(v)) continue;
        const vec3 d = m.vertices[v].position - centre;
        if (!inBox(d, radius, true)) continue;
        const double q = squared(d);
        if (q <= r2) visit(v, d, q);
    }
}

// Calls f(v, record) for every vertex the box test lets through, in index
// order, reading the records block by block.
template <class F>
void forBoxCandidates(Mesh::VertexList& vertices, const BoxTest& box, F&& f) {
    const std::size_t n = vertices.size();
    for (std::size_t first = 0; first < n;) {
        std::size_t count = 0;
        const MeshVertex* block = vertices.contiguous(first, count);
        for (std::size_t j = 0; j < count; j += BoxTest::Group) {
            std::uint32_t candidates = box.candidates(block + j, std::min(BoxTest::Group, count - j));
            for (; candidates != 0; candidates &= candidates - 1) {
                const std::size_t k = j + std::size_t(__builtin_ctz(candidates));
                f(int(first + k), block[k]);
            }
        }
        first += count;
    }
}

}  // namespace selection
}  // namespace qel
