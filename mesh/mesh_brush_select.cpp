// The brush selections of qel::Mesh: the vertices one stamp reaches, over
// the whole mesh (selectV), over the connected component (selectVG) or the
// sharp-bounded patch (selectVG_) of the picked face; the selection of every
// vertex (and face); the one-ring margin added before normals are refreshed; and the
// pass that adds the displacements to the positions.
//
// A vertex is selected when its selection index names its own entry on
// selectedVertices; the selected bit is set with it (selectAllV alone lists
// vertices without the bit). Squared distances and t are formed in double
// and stored as float.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mesh/fan_prefetch.h"
#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/vertex_fans.h"

namespace qel {

namespace {

// The relative distance sqrt(q / r2) of a vertex inside the closed sphere;
// a zero-radius brush puts what it reaches on its rim (weight 0).
float relativeDistance(double q, float r2) { return r2 > 0.0f ? float(std::sqrt(q / double(r2))) : 1.0f; }

// d inside the box of half-width r (strictly or not) and q = |d|^2 against
// r2: the sphere tests of the selections.
bool inBox(const vec3& d, float r, bool closed) {
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    return closed ? ax <= r && ay <= r && az <= r : ax < r && ay < r && az < r;
}

double squared(const vec3& d) { return double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z; }

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
bool listed(const Mesh& m, int v) {
    const int s = m.vertices[v].selection;
    return s >= 0 && std::size_t(s) < m.selectedVertices.size() && m.selectedVertices[std::size_t(s)] == v;
}

// Selects f unless one of its selection bits is set.
void listFace(Mesh& m, int f) {
    MeshFace& F = m.faces[f];
    if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) return;
    F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
    m.selectedFaces.push_back(f);
}

// The face a component or patch selection starts from: a negative face is
// picked from the centre; -1 when nothing can be picked or the face is not
// an active face.
int seedFace(const Mesh& m, const vec3& centre, int face) {
    if (face < 0) return m.findFirstFace(centre);
    return m.activeFace(face) ? face : -1;
}

// The sector record of v in `sector`: its t lowered to t when it exists,
// else a new record at the end of v's chain.
void addSectorRecord(Mesh& m, int v, int sector, float t) {
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

}  // namespace

// ---------------------------------------------------------------------------
// Selections

void Mesh::selectV(const vec3& centre, float radius, bool clear) {
    if (clear) deselectAll();
    influences.clear();
    if (stroke_ && stroke_->stamping && selectVNear(centre, radius)) return;
    const float r2 = radius * radius;
    forBoxCandidates(vertices, BoxTest(centre, radius), [&](int v, const MeshVertex& r) {
        const vec3 d = r.position - centre;
        const double q = squared(d);
        if (!(q < double(r2))) return;
        influences.push_back({v, relativeDistance(q, r2), d});
        if (!listed(*this, v)) appendSelectedVertex(v);
    });
}

bool Mesh::selectVNear(const vec3& centre, float radius, std::vector<std::int32_t>& near) {
    if (!strokeGrid(radius).near(centre, radius, false, near)) return false;
    // The scan's tests on the vertices near the ball, then in index order.
    const float r2 = radius * radius;
    std::size_t in = 0;
    for (const std::int32_t v : near) {
        const MeshVertex& r = vertices[v];
        if (!r.isActive()) continue;
        const vec3 d = r.position - centre;
        if (inBox(d, radius, false) && squared(d) < double(r2)) near[in++] = v;
    }
    near.resize(in);
    std::sort(near.begin(), near.end());
    for (const std::int32_t v : near) {
        const vec3 d = vertices[v].position - centre;
        influences.push_back({v, relativeDistance(squared(d), r2), d});
        if (!listed(*this, v)) appendSelectedVertex(v);
    }
    return true;
}

void Mesh::scopeVerticesInBall(const MeshStrokeScope& scope, const vec3& centre, float radius,
                               std::vector<std::int32_t>& out) {
    const double r2 = double(radius * radius);
    auto inside = [&](int v) {
        const MeshVertex& r = vertices[v];
        if (!r.isActive() || scope.holding[std::size_t(v)] == 0) return false;
        const vec3 d = r.position - centre;
        return inBox(d, radius, true) && squared(d) <= r2;
    };
    if (stroke_->stamping) {
        if (strokeGrid(radius).near(centre, radius, true, out)) {
            std::size_t in = 0;
            for (const std::int32_t v : out)
                if (inside(v)) out[in++] = v;
            out.resize(in);
            std::sort(out.begin(), out.end());
            return;
        }
    }
    out.clear();
    forBoxCandidates(vertices, BoxTest(centre, radius, true), [&](int v, const MeshVertex&) {
        if (inside(v)) out.push_back(v);
    });
}

void Mesh::selectVG(const vec3& centre, float radius, bool clear, int face) {
    selectVGWalk(centre, radius, clear, face, nullptr);
}

void Mesh::selectVG_(const vec3& centre, float radius, bool clear, int face) {
    selectVG_Walk(centre, radius, clear, face, nullptr);
}

void Mesh::selectVGWalk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    influences.clear();
    // record[s]: this walk's influence record of the vertex with selection
    // index s, -1 while it has none.
    std::vector<int> record(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, true, [&](int f) {
        if (walked) walked->push_back(f);
        listFace(*this, f);
        cornersInBall(*this, f, centre, radius, [&](int v, const vec3& d, double q) {
            const float t = relativeDistance(q, r2);
            if (!listed(*this, v)) {
                appendSelectedVertex(v);
                record.push_back(-1);
            }
            int& k = record[std::size_t(vertices[v].selection)];
            if (k < 0) {
                k = int(influences.size());
                influences.push_back({v, t, d});
            } else if (t < influences[std::size_t(k)].t) {
                influences[std::size_t(k)].t = t;
            }
        });
    });
}

void Mesh::selectVG_Walk(const vec3& centre, float radius, bool clear, int face, std::vector<int>* walked) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    sectorInfluences.clear();
    sectorHeads.assign(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, false, [&](int f) {
        if (walked) walked->push_back(f);
        listFace(*this, f);
        cornersInBall(*this, f, centre, radius, [&](int v, const vec3&, double q) {
            if (!listed(*this, v)) {
                appendSelectedVertex(v);
                sectorHeads.push_back(-1);
            }
            addSectorRecord(*this, v, findStartRegion(v, f), relativeDistance(q, r2));
        });
    });
}

bool Mesh::selectKept(const MeshStrokeScope& scope, const vec3& centre, float radius, bool patch) {
    deselectAll();
    influences.clear();
    sectorInfluences.clear();
    // The scope's vertices within the closed ball, in index order: those a
    // walk of the scope reaches through one of their faces. A vertex is in
    // the ball whatever face reaches it, so each has one influence (or, in
    // a patch, one sector record per sector of it the patch holds) with
    // the walk's t.
    const float r2 = radius * radius;
    std::vector<std::int32_t> inBall;
    scopeVerticesInBall(scope, centre, radius, inBall);
    std::vector<float> ts;
    ts.reserve(inBall.size());
    for (const std::int32_t v : inBall) {
        const vec3 d = vertices[v].position - centre;
        const float t = relativeDistance(squared(d), r2);
        appendSelectedVertex(v);
        ts.push_back(t);
        if (!patch) influences.push_back({v, t, d});
    }
    // The scope's faces round them, each with every face of the scope
    // holding its vertex (else the fan misses some: the walk decides).
    if (patch) sectorHeads.assign(selectedVertices.size(), -1);
    VertexFans fans;
    gatherFans(fans, selectedVertices.data(), selectedVertices.size());
    for (std::size_t i = 0; i < fans.size(); ++i) {
        const int v = fans.vertex(i);
        int held = 0;
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) {
            if (!scope.hasFace(x->face)) continue;
            ++held;
            listFace(*this, x->face);
            if (patch) addSectorRecord(*this, v, findStartRegion(v, x->face), ts[i]);
        }
        const int holding = scope.holding[std::size_t(v)];
        if (held != holding && !(holding == 255 && held >= 255)) {
            deselectAll();
            return false;
        }
    }
    return true;
}

bool Mesh::selectNearSeed(const vec3& centre, float radius, int seed, bool patch) {
    deselectAll();
    influences.clear();
    sectorInfluences.clear();
    // The vertices of the closed ball, in index order, each with a bit.
    std::vector<std::int32_t> inBall;
    if (!strokeGrid(radius).near(centre, radius, true, inBall)) return false;
    const float r2 = radius * radius;
    std::size_t n = 0;
    for (const std::int32_t v : inBall) {
        const MeshVertex& r = vertices[v];
        const vec3 d = r.position - centre;
        if (r.isActive() && inBox(d, radius, true) && squared(d) <= double(r2)) inBall[n++] = v;
    }
    inBall.resize(n);
    std::sort(inBall.begin(), inBall.end());
    static thread_local std::vector<std::uint64_t> bits;
    if (bits.size() * 64 < vertices.size()) bits.resize((vertices.size() + 63) / 64, 0);
    for (const std::int32_t v : inBall) bits[std::size_t(v) >> 6] |= std::uint64_t(1) << (v & 63);
    auto inside = [&](int v) { return validVertex(v) && ((bits[std::size_t(v) >> 6] >> (v & 63)) & 1u); };
    // The walk of the scope from the seed through the faces with a corner in
    // the ball. It is open when it stopped at a face of the scope beyond
    // them; closed, it walked the whole scope. Faces it stopped at are
    // marked too (and listed apart) so that each is looked at once.
    std::vector<int> walked{seed}, beyond;
    bool open = false;
    faces[seed].flags = std::uint8_t(faces[seed].flags | MeshFace::MarkBit);
    for (std::size_t head = 0; head < walked.size(); ++head) {
        const MeshFace& F = faces[walked[head]];
        for (int e = 0; e < 3; ++e) {
            if (patch && F.isSharp(e)) continue;
            const int g = F.f[e];
            if (!activeFace(g) || (faces[g].flags & MeshFace::MarkBit)) continue;
            faces[g].flags = std::uint8_t(faces[g].flags | MeshFace::MarkBit);
            const int* c = faces[g].v;
            if (inside(c[0]) || inside(c[1]) || inside(c[2])) {
                walked.push_back(g);
            } else {
                beyond.push_back(g);
                open = true;
            }
        }
    }
    for (const int f : beyond) faces[f].flags = std::uint8_t(faces[f].flags & ~MeshFace::MarkBit);
    // How many walked faces hold each vertex of the ball (all selected
    // first, for their selection index).
    for (const std::int32_t v : inBall) appendSelectedVertex(v);
    std::vector<int> held(inBall.size(), 0);
    for (const int f : walked)
        for (const int v : faces[f].v)
            if (inside(v)) ++held[std::size_t(vertices[v].selection)];
    const bool found = selectWalked(open, inBall, held, centre, radius, patch);
    for (const int f : walked) faces[f].flags = std::uint8_t(faces[f].flags & ~MeshFace::MarkBit);
    for (const std::int32_t v : inBall) bits[std::size_t(v) >> 6] = 0;
    if (!found) deselectAll();
    return found;
}

bool Mesh::selectWalked(bool open, const std::vector<std::int32_t>& inBall, std::vector<int>& held, const vec3& centre,
                        float radius, bool patch) {
    // Every vertex of the ball on a walked face is in the scope. One on
    // none is outside it when the walk was closed; after an open walk the
    // scope may still reach it round the ball, and only the whole walk can
    // tell.
    if (std::find(held.begin(), held.end(), 0) != held.end()) {
        if (open) return false;
        deselectAll();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < inBall.size(); ++i)
            if (held[i] != 0) {
                appendSelectedVertex(inBall[i]);
                held[kept++] = held[i];
            }
        held.resize(kept);
    }
    const float r2 = radius * radius;
    std::vector<float> ts;
    ts.reserve(selectedVertices.size());
    for (const std::int32_t v : selectedVertices) {
        const vec3 d = vertices[v].position - centre;
        const float t = relativeDistance(squared(d), r2);
        ts.push_back(t);
        if (!patch) influences.push_back({v, t, d});
    }
    // The walked faces round them, as selectKept lists them. A fan face
    // the open walk missed may be in the scope, and a walked face missing
    // from a fan leaves the sectors unknown: the whole walk decides.
    if (patch) sectorHeads.assign(selectedVertices.size(), -1);
    VertexFans fans;
    gatherFans(fans, selectedVertices.data(), selectedVertices.size());
    for (std::size_t i = 0; i < fans.size(); ++i) {
        const int v = fans.vertex(i);
        int count = 0;
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) {
            if (!(faces[x->face].flags & MeshFace::MarkBit)) {
                if (open) return false;
                continue;
            }
            ++count;
            listFace(*this, x->face);
            if (patch) addSectorRecord(*this, v, findStartRegion(v, x->face), ts[i]);
        }
        if (count != held[i]) return false;
    }
    return true;
}

void Mesh::selectAllV() {
    deselectAll();
    const int n = vertexCount();
    selectedVertices.resize(std::size_t(n));
    influences.resize(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        selectedVertices[std::size_t(i)] = i;
        influences[std::size_t(i)] = {i, 0.0f, vec3(0, 0, 0)};
        vertices[i].selection = i;
    }
}

void Mesh::selectAll() {
    selectAllV();
    selectedFaces.resize(std::size_t(faceCount()));
    std::iota(selectedFaces.begin(), selectedFaces.end(), 0);
}

void Mesh::selectMarginal() {
    VertexFans fans;
    fans.gather(*this, selectedVertices.data(), selectedVertices.size());
    selectMarginal(fans);
}

void Mesh::selectMarginal(const VertexFans& selected) {
    if (!selected.lists(selectedVertices.data(), selectedVertices.size())) {
        selectMarginal();
        return;
    }
    // Each face round a moved vertex is listed with its other vertices as
    // it is found, which lists them in the order of a second pass over the
    // new faces.
    const std::size_t moved = selectedVertices.size();
    if (moved == 0) return;
    // The fans lie one after the other: the face records some entries
    // ahead are asked for while the current ones are read.
    const FanFace* ahead = selected.begin(0);
    const FanFace* const last = selected.end(moved - 1);
    auto fetch = [&]() {
        if (ahead != last) prefetchFace(faces[(ahead++)->face]);
    };
    for (int i = 0; i < 16; ++i) fetch();
    for (std::size_t i = 0; i < moved; ++i) {
        if (!activeVertex(selected.vertex(i))) {
            for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) fetch();
            continue;
        }
        for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) {
            fetch();
            MeshFace& F = faces[x->face];
            if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) continue;
            F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
            selectedFaces.push_back(x->face);
            for (const int w : F.v)
                if (validVertex(w) && !listed(*this, w)) appendSelectedVertex(w);
        }
    }
}

void Mesh::gatherFans(VertexFans& fans, const std::int32_t* list, std::size_t n) {
    if (!stroke_ || !stroke_->stamping) {
        fans.gather(*this, list, n);
        return;
    }
    FanCache& kept = stroke_->fans;
    if (!kept.fits(vertexCount(), faceCount())) kept.reset(vertexCount(), faceCount());
    kept.gather(*this, list, n, fans);
}

void Mesh::refreshMarginAndDeselect() {
    VertexFans fans;
    gatherFans(fans, selectedVertices.data(), selectedVertices.size());
    refreshMarginAndDeselect(fans);
}

void Mesh::refreshMarginAndDeselect(const VertexFans& selected) {
    if (!selected.lists(selectedVertices.data(), selectedVertices.size())) {
        refreshMarginAndDeselect();
        return;
    }
    // A bit per face selected or listed in the margin, clear between calls.
    static thread_local std::vector<std::uint64_t> seen;
    if (seen.size() * 64 < faces.size()) seen.resize((faces.size() + 63) / 64, 0);
    for (const int f : selectedFaces)
        if (validFace(f)) seen[std::size_t(f) >> 6] |= std::uint64_t(1) << (f & 63);
    // The margin as selectMarginal lists it: each face round a moved vertex
    // that was not selected as it is found, with its other vertices.
    std::vector<int> margin;
    const std::size_t moved = selectedVertices.size();
    // The fans lie one after the other: the corners of the faces some
    // entries ahead are asked for while the current ones are read.
    const FanFace* ahead = moved ? selected.begin(0) : nullptr;
    const FanFace* const last = moved ? selected.end(moved - 1) : nullptr;
    for (int i = 0; i < 16 && ahead != last; ++i) __builtin_prefetch(faces[(ahead++)->face].v);
    for (std::size_t i = 0; i < moved; ++i) {
        const bool active = activeVertex(selected.vertex(i));
        for (const FanFace* x = selected.begin(i); x != selected.end(i); ++x) {
            if (ahead != last) __builtin_prefetch(faces[(ahead++)->face].v);
            if (!active) continue;
            std::uint64_t& word = seen[std::size_t(x->face) >> 6];
            const std::uint64_t bit = std::uint64_t(1) << (x->face & 63);
            if (word & bit) continue;
            word |= bit;
            margin.push_back(x->face);
            for (const int w : faces[x->face].v)
                if (validVertex(w) && !listed(*this, w)) appendSelectedVertex(w);
        }
    }
    for (const int f : margin) seen[std::size_t(f) >> 6] = 0;
    for (const int f : selectedFaces)
        if (validFace(f)) seen[std::size_t(f) >> 6] = 0;
    const std::size_t listedFaces = selectedFaces.size();
    selectedFaces.insert(selectedFaces.end(), margin.begin(), margin.end());
    calculateSelectedNormals(selected);
    selectedFaces.resize(listedFaces);
    deselectAll();
}

void Mesh::applyDisplacement() {
    const std::size_t n = std::min(selectedVertices.size(), displacements.size());
    // Marks the faces round the moved vertices for the position refill.
    bufferState.displace(selectedVertices.data(), displacements.data(), n);
    if (stroke_) strokeMoved(n);
}

}  // namespace qel
