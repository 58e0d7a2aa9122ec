// The moving steps of the region strokes of qel::Mesh: after the first step
// has torn or split the patches, each later step pushes the picked patch
// (or every patch below the recorded face count) along its own mean normal,
// scales every patch about its own centre, deforms inside a radius or
// inflates the selected faces along their corner normals.
//
// The A_ forms collect each patch's corner vertices as influence records
// with the selected bit (not on the selected-vertex list, which a following
// patch selection empties), move them at once and clear the bits again.

#include <algorithm>
#include <cmath>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The faces below this index are the patches of the A_ forms. The recorded
// count may be left from an earlier stroke on a mesh compacted since.
int patchLimit(const Mesh& m) { return std::max(0, std::min(m.recordedFaceCount, m.faceCount())); }

// Marks the selected faces below the limit, gives each of their corner
// vertices not yet selected an influence record with the selected bit, and
// returns the normalised sum of the face normals.
vec3 collectPatch(Mesh& m, int limit) {
    vec3 n(0, 0, 0);
    for (const int f : m.selectedFaces) {
        MeshFace& F = m.faces[f];
        if (f < limit) F.flags = std::uint8_t(F.flags | MeshFace::MarkBit);
        n += F.normal;
        for (const int v : F.v) {
            if (!m.validVertex(v) || m.vertices[v].isSelected()) continue;
            m.vertices[v].flags = std::uint8_t(m.vertices[v].flags | MeshVertex::SelectedBit);
            m.influences.push_back({v, 0.0f, vec3(0, 0, 0)});
        }
    }
    return normalize(n);
}

// Every vertex of the influence list to f q + (1 - f) p (translate: q + d
// with f 1), its selected bit cleared.
void moveCollected(Mesh& m, const vec3& p, float f, const vec3& d) {
    for (const MeshInfluence& r : m.influences) {
        MeshVertex& q = m.vertices[r.vertex];
        q.position = q.position * f + p * (1.0f - f) + d;
        q.flags = std::uint8_t(q.flags & ~MeshVertex::SelectedBit);
        q.selection = -1;
    }
    m.influences.clear();
    m.positionsEdited();
}

// The centre of the collected patch: the middle b of the box moved along
// the normal n into the plane through the mean c.
vec3 patchCentre(const Mesh& m, const vec3& n) {
    double sx = 0, sy = 0, sz = 0;
    vec3 lo = m.vertices[m.influences.front().vertex].position, hi = lo;
    for (const MeshInfluence& r : m.influences) {
        const vec3& p = m.vertices[r.vertex].position;
        sx += p.x;
        sy += p.y;
        sz += p.z;
        lo = vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    const double count = double(m.influences.size());
    const vec3 c(float(sx / count), float(sy / count), float(sz / count));
    const vec3 d = (lo + hi) * 0.5f - c;
    return c + d - n * float(dot(d, n));
}

// Selects and collects the picked patch; false, with the selection ended,
// when nothing is picked.
bool pickPatch(Mesh& m, const vec3& from, int face, int limit, vec3& n) {
    m.deselectAll();
    m.selectF_(from, true, face);
    n = collectPatch(m, limit);
    if (!m.influences.empty()) return true;
    m.deselectAll();
    return false;
}

// Ends an A_ step: the selection ended, every mark below the limit cleared.
void endPatches(Mesh& m, int limit) {
    m.deselectAll();
    for (int f = 0; f < limit; ++f) m.faces[f].flags = std::uint8_t(m.faces[f].flags & ~MeshFace::MarkBit);
}

// Every other patch below the limit: selected, collected and moved by
// move(n') with n' its own mean normal; then the selection ended and every
// mark below the limit cleared.
template <class Move>
void forOtherPatches(Mesh& m, int limit, Move&& move) {
    for (int f = 0; f < limit; ++f) {
        if (!m.activeFace(f) || (m.faces[f].flags & MeshFace::MarkBit)) continue;
        int g = f;
        m.selectF_(vec3(0, 0, 0), true, g);
        move(collectPatch(m, limit));
    }
    endPatches(m, limit);
}

}  // namespace

void Mesh::extrudeF_(const vec3& from, const vec3& to, int face) {
    deselectAll();
    selectF_(from, true, face);
    vec3 n(0, 0, 0);
    for (const int f : selectedFaces) {
        n += faces[f].normal;
        for (const int v : faces[f].v) {
            if (!validVertex(v) || vertices[v].isSelected()) continue;
            appendSelectedVertex(v);
            influences.push_back({v, 0.0f, vec3(0, 0, 0)});
        }
    }
    n = normalize(n);
    _move(n * float(dot(n, to - from)));
    applyDisplacement();
    deselectAll();
}

void Mesh::extrudeA_(const vec3& from, const vec3& to, int face) {
    const int limit = patchLimit(*this);
    vec3 n;
    if (pickPatch(*this, from, face, limit, n)) {
        const float s = float(dot(n, to - from));
        moveCollected(*this, vec3(0, 0, 0), 1.0f, n * s);
        forOtherPatches(*this, limit, [&](const vec3& own) { moveCollected(*this, vec3(0, 0, 0), 1.0f, own * s); });
    }
}

void Mesh::scaleA_(const vec3& from, const vec3& to, int face) {
    const int limit = patchLimit(*this);
    vec3 n;
    if (!pickPatch(*this, from, face, limit, n)) return;
    const vec3 p = patchCentre(*this, n);
    const double d2 = length2(from - p);
    if (d2 <= 1e-20) {
        // A step starting at the centre has no ratio: nothing moves.
        moveCollected(*this, p, 1.0f, vec3(0, 0, 0));
        endPatches(*this, limit);
        return;
    }
    const float f = float(std::sqrt(length2(to - p) / d2));
    moveCollected(*this, p, f, vec3(0, 0, 0));
    forOtherPatches(*this, limit, [&](const vec3& own) { moveCollected(*this, patchCentre(*this, own), f, vec3()); });
}

void Mesh::deformG_(const vec3& from, const vec3& to, float radius, int face) {
    deselectAll();
    selectInScope(from, radius, face, true);
    _deformG(to - from);
    applyDisplacement();
    refreshMarginAndDeselect();
}

void Mesh::inflateF_(const vec3& from, const vec3& to, int /*face*/) {
    vec3 n(0, 0, 0);
    for (const int f : selectedFaces) {
        const MeshFace& F = faces[f];
        n += F.normal;
        for (int k = 0; k < 3; ++k) {
            const int v = F.v[k];
            if (!validVertex(v) || vertices[v].isSelected()) continue;
            appendSelectedVertex(v);
            influences.push_back({v, 0.0f, F.normals[k]});
        }
    }
    n = normalize(n);
    // Each step moves by its own distance: the previous step's displacements
    // are not added again.
    displacements.assign(selectedVertices.size(), vec3(0, 0, 0));
    _moveN(float(dot(n, to - from)));
    applyDisplacement();
}

}  // namespace qel
