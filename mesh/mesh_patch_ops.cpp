// Operators of qel::Mesh on the sharp-bounded patch of a picked face: the
// inset of the patch along its mean normal, the scaling of its rim along the
// surface about the patch centre and the plane cut limited to the patch; and
// the removal of degenerate faces from the whole mesh.
//
// The patch operators collect the patch's corner vertices as influence
// records (record k is selected vertex k), compute every record's vector
// from the positions as they were, then move the vertices and refresh the
// normals round them.

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr std::uint8_t kFaceMarks = MeshFace::SelectedBit | MeshFace::VisitedBit;

// N normalised when it is not vanishingly short, else N as it is.
vec3 normalisedSum(const vec3& n) {
    const double l2 = length2(n);
    return l2 > 1e-20 ? n * float(1.0 / std::sqrt(l2)) : n;
}

// Selects the picked patch and lists every corner vertex of its faces once
// as an influence record (vector: the corner normal when cornerNormals,
// else zero); with mark set the faces get the region mark. Returns the sum
// of the face normals.
vec3 collectPatch(Mesh& m, const vec3& point, int face, bool mark, bool cornerNormals) {
    m.deselectAll();  // a refused pick must not move an older selection
    m.selectF_(point, true, face);
    vec3 n(0, 0, 0);
    for (const int f : m.selectedFaces) {
        MeshFace& F = m.faces[f];
        if (mark) F.flags = std::uint8_t(F.flags | MeshFace::MarkBit);
        n += F.normal;
        for (int k = 0; k < 3; ++k) {
            const int v = F.v[k];
            if (!m.validVertex(v) || m.vertices[v].isSelected()) continue;
            m.appendSelectedVertex(v);
            m.influences.push_back({v, 0.0f, cornerNormals ? F.normals[k] : vec3(0, 0, 0)});
        }
    }
    return n;
}

// The first face round v (findFNeighbours order) carrying a selection bit;
// -1 when none.
int selectedFaceAround(const Mesh& m, int v, std::vector<int>& ring) {
    m.findFNeighbours(v, ring);
    for (const int f : ring)
        if (m.faces[f].flags & kFaceMarks) return f;
    return -1;
}

// The corner normal of v in f.
vec3 cornerNormal(const Mesh& m, int v, int f) {
    const MeshFace& F = m.faces[f];
    const int k = F.corner(v);
    return k >= 0 ? F.normals[k] : F.normal;
}

// Moves every record's vertex by its vector, scaled by sharpScale on a
// vertex on a sharp edge; refreshes the normals round the moved vertices.
void moveRecords(Mesh& m, float sharpScale) {
    for (const MeshInfluence& r : m.influences) {
        MeshVertex& q = m.vertices[r.vertex];
        q.position += q.isSharp() ? r.offset * sharpScale : r.offset;
    }
    m.positionsEdited();
    m.selectMarginal();
    m.calculateSelectedNormals();
}

}  // namespace

void Mesh::bevelF_(const vec3& a, const vec3& b, int face) {
    const vec3 N = normalisedSum(collectPatch(*this, a, face, false, false));
    const double h = dot(b - a, N);
    const float H = float(std::fabs(h));
    std::vector<int> ring;
    // q is a unit direction in the sector at a sharp vertex (scaled by H),
    // half the way to the relaxed position at a smooth one.
    for (MeshInfluence& r : influences) {
        const int g = selectedFaceAround(*this, r.vertex, ring);
        if (g < 0) continue;
        const vec3 q = vertexTangent(r.vertex, g);
        r.offset = (vertices[r.vertex].isSharp() ? q * H : q) + cornerNormal(*this, r.vertex, g) * float(h);
    }
    moveRecords(*this, 1.0f);  // the sharp scale H is in the vectors already
    deselectAll();
}

void Mesh::tangentA_(const vec3& a, const vec3& b, int face) {
    const vec3 N = normalisedSum(collectPatch(*this, a, face, true, true));
    // The faces this call marks: the patch, before the margin joins the list.
    const std::size_t marked = selectedFaces.size();
    std::vector<int> ring;
    double sx = 0, sy = 0, sz = 0;
    vec3 lo, hi;
    for (std::size_t i = 0; i < influences.size(); ++i) {
        MeshInfluence& r = influences[i];
        const vec3 p = vertices[r.vertex].position;
        sx += p.x;
        sy += p.y;
        sz += p.z;
        lo = i == 0 ? p : vec3(std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z));
        hi = i == 0 ? p : vec3(std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z));
        const int g = selectedFaceAround(*this, r.vertex, ring);
        if (g >= 0) r.offset = vertexTangent(r.vertex, g);
    }
    // An empty patch has no centre, and a step from the centre no ratio:
    // nothing moves then.
    if (!influences.empty()) {
        const double n = double(influences.size());
        const vec3 C(float(sx / n), float(sy / n), float(sz / n));
        const vec3 B = (lo + hi) * 0.5f;
        const vec3 O = B - N * float(dot(B - C, N));
        const double from = length2(a - O);
        const double k = from > 0.0 ? std::sqrt(length2(b - O) / from) - 1.0 : 0.0;
        if (from > 0.0 && std::isfinite(float(k))) moveRecords(*this, float(k));
    }
    // Every mark this call set goes, and so does every mark below the face
    // count recorded by the stroke's first step.
    for (std::size_t i = 0; i < marked; ++i) {
        MeshFace& F = faces[selectedFaces[i]];
        F.flags = std::uint8_t(F.flags & ~MeshFace::MarkBit);
    }
    const int limit = std::min(recordedFaceCount, faceCount());
    for (int f = 0; f < limit; ++f) faces[f].flags = std::uint8_t(faces[f].flags & ~MeshFace::MarkBit);
    deselectAll();
}

void Mesh::cutPlaneF_(const vec3& point, const vec3& normal, int face) {
    topologyEdited();
    deselectAll();
    selectF_(point, true, face);
    if (selectedFaces.empty()) return;
    planeCutSelectedFaces(point, normal);
}

void Mesh::cleanup() {
    // Compaction renumbers every record: no selection may outlive it.
    deselectAll();
    for (int f = 0; f < faceCount(); ++f) {
        const MeshFace& F = faces[f];
        for (int k = 0; k < 3; ++k) {
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            if (validVertex(a) && validVertex(b) && vertices[a].position == vertices[b].position) {
                faceErase(f);
                break;
            }
        }
    }
    removeInactive(true);
}

}  // namespace qel
