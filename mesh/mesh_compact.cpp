// Compaction of the record lists, separation of fans that meet only at a
// vertex, and the element's centre and size from the vertices.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/compaction_plan.h"
#include "mesh/mesh.h"

namespace qel {

namespace {

// Which records live on through a compaction. A face naming a vertex
// outside the list leaves; a vertex that a live face still uses stays
// (revived when needed), so that no face is left pointing at a dropped
// vertex. usedBy[v] receives the last live face using v (-1: none), which
// stands in for a stored face that leaves. Revived vertices are added to
// touched when given.
void settleLiveRecords(Mesh& m, std::vector<std::int32_t>& usedBy, std::vector<int>* touched) {
    usedBy.assign(std::size_t(m.vertexCount()), -1);
    for (int f = 0; f < m.faceCount(); ++f) {
        MeshFace& F = m.faces[std::size_t(f)];
        if (!F.isActive()) continue;
        if (!m.validVertex(F.v[0]) || !m.validVertex(F.v[1]) || !m.validVertex(F.v[2])) {
            F.flags = std::uint8_t(F.flags & ~MeshFace::ActiveBit);
            continue;
        }
        for (int k = 0; k < 3; ++k) usedBy[std::size_t(F.v[k])] = f;
    }
    for (int v = 0; v < m.vertexCount(); ++v) {
        if (usedBy[std::size_t(v)] < 0) continue;
        MeshVertex& r = m.vertices[v];
        if (touched && !r.isActive()) touched->push_back(v);
        r.flags = std::uint8_t(r.flags | MeshVertex::ActiveBit);
    }
}

// The vertices whose corner normals a compaction may change (old indices):
// those of the faces it drops (the kept ones among them lose faces) and of
// the faces it moves into holes (their place in the face order changes).
void compactedCorners(const Mesh& m, const std::vector<std::int32_t>& fNew, std::vector<int>& touched) {
    for (std::size_t f = 0; f < fNew.size(); ++f) {
        if (fNew[f] == std::int32_t(f)) continue;
        for (const int v : m.faces[f].v)
            if (m.validVertex(v)) touched.push_back(v);
    }
}

// After the records moved (vNew, fNew: old index -> new index, -1 dropped),
// every index is remapped by table: corners, links (a link to a dropped
// face becomes an open edge) and stored faces. Vertices whose stored face
// changes are added to touched (new indices) when given.
void remapIndices(Mesh& m, const std::vector<std::int32_t>& vNew, const std::vector<std::int32_t>& fNew,
                  const std::vector<std::int32_t>& usedBy, std::vector<int>* touched) {
    const int nF = int(fNew.size());
    auto mapFace = [&fNew, nF](int g) { return g >= 0 && g < nF ? fNew[std::size_t(g)] : -1; };
    m.faces.forRange(0, m.faces.size(), [&](MeshFace& F) {
        for (int k = 0; k < 3; ++k) {
            F.v[k] = vNew[std::size_t(F.v[k])];
            F.f[k] = mapFace(F.f[k]);
        }
    });
    for (std::size_t v = 0; v < vNew.size(); ++v) {
        const int to = vNew[v];
        if (to < 0) continue;
        MeshVertex& r = m.vertices[std::size_t(to)];  // the record that came from v
        int face = mapFace(r.face);
        if (face < 0 || m.faces[std::size_t(face)].corner(to) < 0) {
            face = mapFace(usedBy[v]);
            if (touched) touched->push_back(to);
        }
        r.face = face;
    }
}

// One corner of a vertex for the fan search: its face and the face across
// the edge that forward circling crosses there (-1: none).
struct FanCorner {
    std::int32_t face;
    std::int32_t next;
};

// The index of the corner with the given face among the m corners of one
// vertex (sorted by face), -1 when none.
inline int cornerWithFace(const FanCorner* c, int m, int face) {
    if (face < 0) return -1;
    if (m <= 16) {
        int found = -1;
        for (int j = 0; j < m; ++j) found = c[j].face == face ? j : found;
        return found;
    }
    int lo = 0, hi = m;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (c[mid].face < face)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < m && c[lo].face == face ? lo : -1;
}

// True when the m corners of one vertex form one fan: following each
// corner to the corner of its next face visits all of them once, from the
// corner that none leads to (an open fan) or from any corner (a closed one).
bool singleFan(const FanCorner* c, int m, std::vector<int>& next) {
    if (m > 64) return false;  // left to the general grouping
    next.resize(std::size_t(m));
    std::uint64_t led = 0;  // corners that some corner leads to
    for (int i = 0; i < m; ++i) {
        const int j = cornerWithFace(c, m, c[i].next);
        next[std::size_t(i)] = j;
        if (j >= 0) led |= std::uint64_t(1) << j;
    }
    int at = 0;
    for (int i = 0; i < m; ++i)
        if (!(led >> i & 1)) {
            at = i;
            break;
        }
    const int start = at;
    std::uint64_t seen = 0;
    int count = 0;
    while (at >= 0 && !(seen >> at & 1)) {
        seen |= std::uint64_t(1) << at;
        ++count;
        at = next[std::size_t(at)];
    }
    return count == m && (at < 0 || at == start);
}

// Groups the corners of one vertex (sorted by face) into fans: corner i
// joins the corner whose face is corner i's next face. label[i] receives the
// fan of corner i, fans numbered in order of their first corner. Returns the
// number of fans. scratch is reused between calls.
int labelFans(const FanCorner* c, int m, std::vector<int>& label, std::vector<int>& scratch) {
    label.resize(std::size_t(m));
    scratch.resize(std::size_t(m));
    int* parent = scratch.data();
    for (int i = 0; i < m; ++i) parent[i] = i;
    auto find = [parent](int x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    for (int i = 0; i < m; ++i) {
        const int j = cornerWithFace(c, m, c[i].next);
        if (j < 0) continue;
        const int a = find(i), b = find(j);
        if (a != b) parent[a < b ? b : a] = a < b ? a : b;
    }
    int fans = 0;
    for (int i = 0; i < m; ++i) {
        const int r = find(i);
        label[std::size_t(i)] = r == i ? fans++ : label[std::size_t(r)];
    }
    return fans;
}

// Data for the face some places ahead is fetched early in the whole-mesh
// passes below, so that the jumps of many faces overlap.
constexpr int Ahead = 32;

// The corners of every vertex, grouped by vertex (a counting sort) and
// sorted by face within a vertex, each with its forward neighbour face.
class VertexCorners {
public:
    // From the compact topology (six entries per face, -1 when inactive).
    void build(const std::vector<std::int32_t>& topo, int nV) {
        const int nF = int(topo.size() / 6);
        auto inRange = [nV](int v) { return v >= 0 && v < nV; };
        start_.assign(std::size_t(nV) + 1, 0);
        for (int f = 0; f < nF; ++f) {
            if (f + Ahead < nF) {
                const std::int32_t* A = &topo[6 * std::size_t(f + Ahead)];
                for (int k = 0; k < 3; ++k)
                    if (inRange(A[k])) __builtin_prefetch(start_.data() + A[k] + 1);
            }
            const std::int32_t* F = &topo[6 * std::size_t(f)];
            for (int k = 0; k < 3; ++k)
                if (inRange(F[k])) ++start_[std::size_t(F[k]) + 1];
        }
        for (int v = 0; v < nV; ++v) start_[std::size_t(v) + 1] += start_[std::size_t(v)];
        corners_.resize(std::size_t(start_[std::size_t(nV)]));
        std::vector<std::int32_t> fill(start_.begin(), start_.end() - 1);
        for (int f = 0; f < nF; ++f) {
            // The cursor of a face further ahead is fetched first, then
            // the slot it points to.
            if (f + 2 * Ahead < nF) {
                const std::int32_t* A = &topo[6 * std::size_t(f + 2 * Ahead)];
                for (int k = 0; k < 3; ++k)
                    if (inRange(A[k])) __builtin_prefetch(fill.data() + A[k]);
            }
            if (f + Ahead < nF) {
                const std::int32_t* A = &topo[6 * std::size_t(f + Ahead)];
                for (int k = 0; k < 3; ++k)
                    if (inRange(A[k])) __builtin_prefetch(corners_.data() + fill[std::size_t(A[k])], 1);
            }
            const std::int32_t* F = &topo[6 * std::size_t(f)];
            for (int k = 0; k < 3; ++k)
                if (inRange(F[k])) corners_[std::size_t(fill[std::size_t(F[k])]++)] = {f, F[3 + nextK(k)]};
        }
    }
    int count(int v) const { return start_[std::size_t(v) + 1] - start_[std::size_t(v)]; }
    const FanCorner* of(int v) const { return corners_.data() + start_[std::size_t(v)]; }

private:
    std::vector<std::int32_t> start_;
    std::vector<FanCorner> corners_;
};

// A fan to get its own copy of its vertex: its faces are
// fanFaces[first .. first + count).
struct Detach {
    std::int64_t order;  // 3 * first face + the vertex's corner there
    int vertex, first, count;
};

// The fans to detach, in the order in which a walk over the faces meets
// them (first face, then corner). In a vertex with several fans, the fan
// holding the stored face keeps the vertex; when the stored face is not
// usable, the first fan keeps it and its first face becomes the stored face.
void findDetachments(Mesh& m, const std::vector<std::int32_t>& topo, const VertexCorners& corners,
                     std::vector<Detach>& detach, std::vector<std::int32_t>& fanFaces) {
    std::vector<int> label, scratch;
    for (int v = 0; v < m.vertexCount(); ++v) {
        const int n = corners.count(v);
        if (n < 2 || !m.vertices[v].isActive()) continue;
        const FanCorner* c = corners.of(v);
        if (singleFan(c, n, scratch)) continue;
        const int fans = labelFans(c, n, label, scratch);
        if (fans < 2) continue;
        int kept = -1;
        for (int i = 0; i < n; ++i)
            if (c[i].face == m.vertices[v].face) kept = label[std::size_t(i)];
        if (kept < 0) {
            kept = 0;
            m.vertices[v].face = c[0].face;
        }
        for (int fan = 0; fan < fans; ++fan) {
            if (fan == kept) continue;
            Detach d{0, v, int(fanFaces.size()), 0};
            for (int i = 0; i < n; ++i)
                if (label[std::size_t(i)] == fan) fanFaces.push_back(c[i].face);
            d.count = int(fanFaces.size()) - d.first;
            const int f0 = fanFaces[std::size_t(d.first)];
            const std::int32_t* F = &topo[6 * std::size_t(f0)];
            d.order = 3 * std::int64_t(f0) + (F[0] == v ? 0 : F[1] == v ? 1 : 2);
            detach.push_back(d);
        }
    }
    std::sort(detach.begin(), detach.end(), [](const Detach& a, const Detach& b) { return a.order < b.order; });
}

}  // namespace

// ---------------------------------------------------------------------------
// Compaction

void Mesh::removeInactive(bool force) { compact(force, nullptr); }

void Mesh::removeInactiveKeepingNormals(bool force) {
    std::vector<int> touched;
    compact(force, &touched);
    cornerNormalsOf(touched);
}

void Mesh::compact(bool force, std::vector<int>* touched, std::vector<std::int32_t>* vertexTo,
                   std::vector<std::int32_t>* faceTo) {
    topologyEdited();
    if (vertexTo) vertexTo->clear();
    if (faceTo) faceTo->clear();
    if (!needsCompaction && !force) return;
    const int nV = vertexCount();
    const int nF = faceCount();
    std::vector<std::int32_t> usedBy;
    std::vector<int> revived;
    settleLiveRecords(*this, usedBy, touched ? &revived : nullptr);

    std::vector<std::int32_t> vNew, fNew;
    std::vector<std::pair<int, int>> moves;
    const int keptV = planCompaction(
        nV, [this](int i) { return vertices[i].isActive(); }, vNew, moves);
    for (const auto& m : moves) vertices[m.second] = vertices[m.first];
    if (!moves.empty()) positionsEdited();
    const int keptF = planCompaction(
        nF, [this](int i) { return faces[i].isActive(); }, fNew, moves);
    // The corners of the faces that move or leave, read before they do.
    std::vector<int> faceCorners;
    if (touched) compactedCorners(*this, fNew, faceCorners);
    for (const auto& m : moves) faces[m.second] = faces[m.first];
    vertices.resize(std::size_t(keptV));
    faces.resize(std::size_t(keptF));
    if (keptV != nV || keptF != nF) remapIndices(*this, vNew, fNew, usedBy, touched);
    if (touched) {
        // Those found in old indices (a dropped one maps to -1).
        for (const int v : revived) touched->push_back(vNew[std::size_t(v)]);
        for (const int v : faceCorners) touched->push_back(vNew[std::size_t(v)]);
    }

    vertexMark = keptV;
    faceMark = keptF;
    needsCompaction = 0;
    if (vertexTo) vertexTo->swap(vNew);
    if (faceTo) faceTo->swap(fNew);
}

// ---------------------------------------------------------------------------
// Fans that meet only at a vertex

void Mesh::splitCoincidentVertices() {
    topologyEdited();
    if (faceCount() == 0) return;
    std::vector<std::int32_t> topo;
    copyTopology(topo);
    VertexCorners corners;
    corners.build(topo, vertexCount());
    std::vector<Detach> detach;
    std::vector<std::int32_t> fanFaces;
    findDetachments(*this, topo, corners, detach, fanFaces);

    std::vector<std::pair<int, int>> splits;  // (vertex, copy)
    for (const Detach& d : detach) {
        const int a = d.vertex;
        vertices[a].flags = std::uint8_t(vertices[a].flags | MeshVertex::SharpBit | MeshVertex::CornerBit);
        MeshVertex r = vertices[a];
        r.face = fanFaces[std::size_t(d.first)];
        const int copy = vertexAdd(r);
        for (int i = 0; i < d.count; ++i) {
            MeshFace& F = faces[fanFaces[std::size_t(d.first + i)]];
            const int k = F.corner(a);
            if (k >= 0) F.v[k] = copy;
        }
        splits.emplace_back(a, copy);
    }

    // The fans changed: flags, stored faces and corner normals of both
    // copies are brought up to date. Both stay sharp corners (a walk may
    // find no sharp edge round a closed fan and clear them).
    for (const auto& s : splits) {
        for (const int v : {s.first, s.second}) {
            vertexUpdate(v);
            vertices[v].flags = std::uint8_t(vertices[v].flags | MeshVertex::SharpBit | MeshVertex::CornerBit);
            vertexNormals(v);
        }
    }
}

// ---------------------------------------------------------------------------
// Centre and size

void Mesh::calculateSize(TResizeStyle style) {
    if (style != ResizeMean && style != ResizeBox) return;
    double sx = 0, sy = 0, sz = 0;
    std::size_t n = 0;
    double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    vertices.forRange(0, vertices.size(), [&](const MeshVertex& r) {
        if (!r.isActive()) return;
        const vec3& p = r.position;
        if (n == 0) {
            // The box starts at the first active vertex.
            for (int i = 0; i < 3; ++i) lo[i] = hi[i] = p[i];
        }
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], double(p[i]));
            hi[i] = std::max(hi[i], double(p[i]));
        }
        sx += p.x;
        sy += p.y;
        sz += p.z;
        ++n;
    });
    if (n == 0) {
        centre = vec3(0, 0, 0);
        setSize(1.0f);
        return;
    }
    if (style == ResizeMean) {
        // Distances in double: near the float limit a float difference
        // overflows. A size beyond the float range comes out infinite.
        const dvec3 mean(sx / double(n), sy / double(n), sz / double(n));
        double far2 = 0;
        vertices.forRange(0, vertices.size(), [&](const MeshVertex& r) {
            if (!r.isActive()) return;
            const dvec3 d = dvec3(r.position) - mean;
            far2 = std::max(far2, dot(d, d));
        });
        centre = vec3(mean);
        const float s = float(2.0 * std::sqrt(far2));
        setSize(s > 0.0f ? s : 1.0f);
        return;
    }
    centre = vec3(float((lo[0] + hi[0]) * 0.5), float((lo[1] + hi[1]) * 0.5), float((lo[2] + hi[2]) * 0.5));
    const double dx = hi[0] - lo[0], dy = hi[1] - lo[1], dz = hi[2] - lo[2];
    const float s = float(std::sqrt(dx * dx + dy * dy + dz * dz));
    setSize(s > 0.0f ? s : 1.0f);
}

}  // namespace qel
