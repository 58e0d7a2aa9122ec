// The selections of a stroke's stamps: what they read from the stroke's
// vertex grid instead of scanning every vertex, and the patch or component
// a scoped stamp kept from the first walk of its stroke, from which the
// later stamps select alone. Each gives the selection the scan or the walk
// would: the same vertices, influences, sector records and faces.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/fan_prefetch.h"
#include "mesh/index_sort.h"
#include "mesh/mesh.h"
#include "mesh/mesh_stroke.h"
#include "mesh/selection_walks.h"
#include "mesh/vertex_fans.h"

namespace qel {

using namespace selection;

namespace {

// The fans of a selection lie one after the other: a pass that reads and
// marks the flags of every fan face in order asks for those of the face
// some entries ahead, since in a scattered mesh each waits on memory.
class FlagsAhead {
public:
    FlagsAhead(const Mesh& m, const VertexFans& fans)
        : m_(m), at_(fans.size() ? fans.begin(0) : nullptr), end_(fans.size() ? fans.end(fans.size() - 1) : nullptr) {
        for (int i = 0; i < Distance; ++i) next();
    }
    // Asks for one more face's flags, if any are left.
    void next() {
        if (at_ != end_) __builtin_prefetch(&m_.faces[(at_++)->face].flags, 1);
    }

private:
    static constexpr int Distance = 16;
    const Mesh& m_;
    const FanFace* at_;
    const FanFace* end_;
};

// A bit per face: the faces a walk near the seed reached, clear between
// walks. Apart from the face records, so that marking and clearing them
// touch no record the walk no longer needs.
std::vector<std::uint64_t>& walkMarks(const Mesh& m) {
    static thread_local std::vector<std::uint64_t> marks;
    if (marks.size() * 64 < m.faces.size()) marks.resize((m.faces.size() + 63) / 64, 0);
    return marks;
}

bool marked(const std::vector<std::uint64_t>& marks, int f) { return (marks[std::size_t(f) >> 6] >> (f & 63)) & 1u; }
void mark(std::vector<std::uint64_t>& marks, int f) { marks[std::size_t(f) >> 6] |= std::uint64_t(1) << (f & 63); }
void unmark(std::vector<std::uint64_t>& marks, int f) { marks[std::size_t(f) >> 6] &= ~(std::uint64_t(1) << (f & 63)); }

// Lists the faces of the gathered fans that inScope(face) admits and, in a
// patch, the sector records of their vertices (t from ts, fan by fan);
// after each fan, check(vertex, faces listed) says whether to go on. False
// when a check stopped it.
template <class InScope, class Check>
bool listScopeFaces(Mesh& m, const VertexFans& fans, const std::vector<float>& ts, bool patch, InScope&& inScope,
                    Check&& check) {
    FlagsAhead ahead(m, fans);
    for (std::size_t i = 0; i < fans.size(); ++i) {
        const int v = fans.vertex(i);
        int held = 0;
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) {
            ahead.next();
            if (!inScope(x->face)) continue;
            ++held;
            listFace(m, x->face);
            if (patch) addSectorRecord(m, v, m.findStartRegion(v, x->face), ts[i]);
        }
        if (!check(v, held)) return false;
    }
    return true;
}

}  // namespace

bool MeshStroke::selectV(Mesh& m, const vec3& centre, float radius) {
    std::vector<std::int32_t> near;
    const MeshStrokeGrid* g = grid(m, radius);
    if (!g || !g->near(centre, radius, false, near)) return false;
    // The scan's tests on the vertices near the ball, then in index order.
    const float r2 = radius * radius;
    std::size_t in = 0;
    for (const std::int32_t v : near) {
        const MeshVertex& r = m.vertices[v];
        if (!r.isActive()) continue;
        const vec3 d = r.position - centre;
        if (inBox(d, radius, false) && squared(d) < double(r2)) near[in++] = v;
    }
    near.resize(in);
    sortIndices(near);
    for (const std::int32_t v : near) {
        const vec3 d = m.vertices[v].position - centre;
        m.influences.push_back({v, relativeDistance(squared(d), r2), d});
        if (!listed(m, v)) m.appendSelectedVertex(v);
    }
    return true;
}

void MeshStroke::scopeVerticesInBall(Mesh& m, const MeshStrokeScope* scope, const vec3& centre, float radius,
                                     std::vector<std::int32_t>& out) {
    const double r2 = double(radius * radius);
    auto inside = [&](int v) {
        const MeshVertex& r = m.vertices[v];
        if (!r.isActive() || (scope && scope->holding[std::size_t(v)] == 0)) return false;
        const vec3 d = r.position - centre;
        return inBox(d, radius, true) && squared(d) <= r2;
    };
    const MeshStrokeGrid* g = stamping_ ? grid(m, radius) : nullptr;
    if (g) {
        if (g->near(centre, radius, true, out)) {
            std::size_t in = 0;
            for (std::size_t i = 0; i < out.size(); ++i) {
                // The grid lists the vertices by cell: their records lie scattered.
                if (i + 16 < out.size()) __builtin_prefetch(&m.vertices[out[i + 16]]);
                if (inside(out[i])) out[in++] = out[i];
            }
            out.resize(in);
            sortIndices(out);
            return;
        }
    }
    out.clear();
    forBoxCandidates(m.vertices, BoxTest(centre, radius, true), [&](int v, const MeshVertex&) {
        if (inside(v)) out.push_back(v);
    });
}

void MeshStroke::selectInScope(Mesh& m, const vec3& centre, float radius, int seed, bool patch) {
    auto walk = [&](std::vector<int>* walked) {
        if (patch)
            m.selectVG_Walk(centre, radius, true, seed, walked);
        else
            m.selectVGWalk(centre, radius, true, seed, walked);
    };
    if (!running_ || !open_) {
        walk(nullptr);
        return;
    }
    MeshStrokeScope& kept = scope(patch);
    if (kept.holds(m, seed) && selectKept(m, kept, centre, radius, patch)) return;
    if (labels_.current(m) && selectByLabels(m, centre, radius, seed, patch)) return;
    if (stamping_ && selectNearSeed(m, centre, radius, seed, patch)) {
        // The labels are found meanwhile, a step per sculpt call after the
        // stroke's first frame (its press and first step), for the stamps
        // that reach where the walk near the seed cannot decide: their copy
        // takes what is left of the call's share (at least a run).
        if (!labelsStepped_ && steps_ >= 3) labels_.step(m, sliceLeftMs());
        labelsStepped_ = true;
        return;
    }
    // Only the whole walk of the scope could decide: the labels of every
    // face cost less, and decide this stamp and every later one until the
    // topology changes.
    if (!labels_.found(m)) {
        labels_.find(m);
        if (labels_.current(m) && selectByLabels(m, centre, radius, seed, patch)) return;
    }
    std::vector<int> walked;
    walk(&walked);
    kept.keep(m, walked);
}

void MeshStroke::gatherFans(const Mesh& m, VertexFans& fans, const std::int32_t* list, std::size_t n) {
    if (!stamping_) {
        fans.gather(m, list, n);
        return;
    }
    if (!fans_.fits(m.vertexCount(), m.faceCount())) fans_.reset(m.vertexCount(), m.faceCount());
    fans_.gather(m, list, n, fans);
}

std::vector<float> MeshStroke::selectedFalloffs(Mesh& m, const vec3& centre, float radius, bool patch,
                                                VertexFans& fans) {
    const float r2 = radius * radius;
    std::vector<float> ts;
    ts.reserve(m.selectedVertices.size());
    for (const std::int32_t v : m.selectedVertices) {
        const vec3 d = m.vertices[v].position - centre;
        const float t = relativeDistance(squared(d), r2);
        ts.push_back(t);
        if (!patch) m.influences.push_back({v, t, d});
    }
    if (patch) m.sectorHeads.assign(m.selectedVertices.size(), -1);
    m.gatherFans(fans, m.selectedVertices.data(), m.selectedVertices.size());
    return ts;
}

bool MeshStroke::selectKept(Mesh& m, const MeshStrokeScope& scope, const vec3& centre, float radius, bool patch) {
    m.deselectAll();
    m.influences.clear();
    m.sectorInfluences.clear();
    // The scope's vertices within the closed ball, in index order: those a
    // walk of the scope reaches through one of their faces. A vertex is in
    // the ball whatever face reaches it, so each has one influence (or, in
    // a patch, one sector record per sector of it the patch holds) with
    // the walk's t.
    std::vector<std::int32_t> inBall;
    scopeVerticesInBall(m, &scope, centre, radius, inBall);
    for (const std::int32_t v : inBall) m.appendSelectedVertex(v);
    // The scope's faces round them, each with every face of the scope
    // holding its vertex (else the fan misses some: the walk decides).
    VertexFans fans;
    const std::vector<float> ts = selectedFalloffs(m, centre, radius, patch, fans);
    const bool listed = listScopeFaces(
        m, fans, ts, patch, [&](int f) { return scope.hasFace(f); },
        [&](int v, int held) {
            const int holding = scope.holding[std::size_t(v)];
            return held == holding || (holding == 255 && held >= 255);
        });
    if (!listed) m.deselectAll();
    return listed;
}

bool MeshStroke::selectByLabels(Mesh& m, const vec3& centre, float radius, int seed, bool patch) {
    m.deselectAll();
    m.influences.clear();
    m.sectorInfluences.clear();
    const std::int32_t scope = labels_.label(seed, patch);
    // The vertices of the closed ball, in index order, and of them those
    // with a face of the scope: a fan that does not hold every face of its
    // vertex cannot tell (the walk decides).
    std::vector<std::int32_t> inBall;
    scopeVerticesInBall(m, nullptr, centre, radius, inBall);
    {
        VertexFans all;
        m.gatherFans(all, inBall.data(), inBall.size());
        std::size_t n = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            int faces = 0;
            bool in = false;
            for (const FanFace* x = all.begin(i); x != all.end(i); ++x) {
                ++faces;
                in = in || labels_.label(x->face, patch) == scope;
            }
            const int v = all.vertex(i);
            if (faces != labels_.holding(v) || faces >= 255) return false;
            if (in) inBall[n++] = v;
        }
        inBall.resize(n);
    }
    for (const std::int32_t v : inBall) m.appendSelectedVertex(v);
    // The scope's faces round them, as selectKept lists them.
    VertexFans fans;
    const std::vector<float> ts = selectedFalloffs(m, centre, radius, patch, fans);
    return listScopeFaces(
        m, fans, ts, patch, [&](int f) { return labels_.label(f, patch) == scope; }, [](int, int) { return true; });
}

bool MeshStroke::selectNearSeed(Mesh& m, const vec3& centre, float radius, int seed, bool patch) {
    m.deselectAll();
    m.influences.clear();
    m.sectorInfluences.clear();
    // The vertices of the closed ball, in index order, each with a bit.
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(centre.z) || !std::isfinite(radius))
        return false;
    std::vector<std::int32_t> inBall;
    scopeVerticesInBall(m, nullptr, centre, radius, inBall);
    static thread_local std::vector<std::uint64_t> bits;
    if (bits.size() * 64 < m.vertices.size()) bits.resize((m.vertices.size() + 63) / 64, 0);
    for (const std::int32_t v : inBall) bits[std::size_t(v) >> 6] |= std::uint64_t(1) << (v & 63);
    auto inside = [&](int v) { return m.validVertex(v) && ((bits[std::size_t(v) >> 6] >> (v & 63)) & 1u); };
    // The walk of the scope from the seed through the faces with a corner in
    // the ball. It is open when it stopped at a face of the scope beyond
    // them; closed, it walked the whole scope. Faces it stopped at are
    // marked too (and listed apart) so that each is looked at once.
    std::vector<int> walked{seed}, beyond;
    bool open = false;
    std::vector<std::uint64_t>& marks = walkMarks(m);
    mark(marks, seed);
    // In a scattered mesh every face waits on memory: the faces across the
    // edges of the face some entries ahead in the queue are asked for while
    // the current one is read (its links were read when it was queued).
    constexpr std::size_t Ahead = 8;
    std::size_t fetched = 0;
    for (std::size_t head = 0; head < walked.size(); ++head) {
        for (; fetched < walked.size() && fetched <= head + Ahead; ++fetched)
            for (const int g : m.faces[walked[fetched]].f)
                if (m.validFace(g)) prefetchFace(m.faces[g]);
        const MeshFace& F = m.faces[walked[head]];
        for (int e = 0; e < 3; ++e) {
            if (patch && F.isSharp(e)) continue;
            const int g = F.f[e];
            if (!m.activeFace(g) || marked(marks, g)) continue;
            mark(marks, g);
            const int* c = m.faces[g].v;
            if (inside(c[0]) || inside(c[1]) || inside(c[2])) {
                walked.push_back(g);
            } else {
                beyond.push_back(g);
                open = true;
            }
        }
    }
    for (const int f : beyond) unmark(marks, f);
    // How many walked faces hold each vertex of the ball (all selected
    // first, for their selection index).
    for (const std::int32_t v : inBall) m.appendSelectedVertex(v);
    std::vector<int> held(inBall.size(), 0);
    for (const int f : walked)
        for (const int v : m.faces[f].v)
            if (inside(v)) ++held[std::size_t(m.vertices[v].selection)];
    const bool found = selectWalked(m, open, inBall, held, centre, radius, patch);
    for (const int f : walked) marks[std::size_t(f) >> 6] = 0;
    for (const std::int32_t v : inBall) bits[std::size_t(v) >> 6] = 0;
    if (!found) m.deselectAll();
    return found;
}

bool MeshStroke::selectWalked(Mesh& m, bool open, const std::vector<std::int32_t>& inBall, std::vector<int>& held,
                              const vec3& centre, float radius, bool patch) {
    // Every vertex of the ball on a walked face is in the scope. One on
    // none is outside it when the walk was closed; after an open walk the
    // scope may still reach it round the ball, and only the whole walk can
    // tell.
    if (std::find(held.begin(), held.end(), 0) != held.end()) {
        if (open) return false;
        m.deselectAll();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < inBall.size(); ++i)
            if (held[i] != 0) {
                m.appendSelectedVertex(inBall[i]);
                held[kept++] = held[i];
            }
        held.resize(kept);
    }
    // The walked faces round them, as selectKept lists them. A fan face
    // the open walk missed may be in the scope, and a walked face missing
    // from a fan leaves the sectors unknown: the whole walk decides.
    VertexFans fans;
    const std::vector<float> ts = selectedFalloffs(m, centre, radius, patch, fans);
    FlagsAhead ahead(m, fans);
    const std::vector<std::uint64_t>& marks = walkMarks(m);
    for (std::size_t i = 0; i < fans.size(); ++i) {
        const int v = fans.vertex(i);
        int count = 0;
        for (const FanFace* x = fans.begin(i); x != fans.end(i); ++x) {
            ahead.next();
            if (!marked(marks, x->face)) {
                if (open) return false;
                continue;
            }
            ++count;
            listFace(m, x->face);
            if (patch) addSectorRecord(m, v, m.findStartRegion(v, x->face), ts[i]);
        }
        if (count != held[i]) return false;
    }
    return true;
}

}  // namespace qel
