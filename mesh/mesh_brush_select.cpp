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
#include <numeric>
#include <vector>

#include "mesh/fan_prefetch.h"
#include "mesh/mesh.h"

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

}  // namespace

// ---------------------------------------------------------------------------
// Selections

void Mesh::selectV(const vec3& centre, float radius, bool clear) {
    if (clear) deselectAll();
    influences.clear();
    const float r2 = radius * radius;
    vertices.forRange(0, vertices.size(), [&, i = 0](MeshVertex& r) mutable {
        const int v = i++;
        if (!r.isActive()) return;
        const vec3 d = r.position - centre;
        if (!inBox(d, radius, false)) return;
        const double q = squared(d);
        if (!(q < double(r2))) return;
        influences.push_back({v, relativeDistance(q, r2), d});
        if (!listed(*this, v)) appendSelectedVertex(v);
    });
}

void Mesh::selectVG(const vec3& centre, float radius, bool clear, int face) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    influences.clear();
    // record[s]: this walk's influence record of the vertex with selection
    // index s, -1 while it has none.
    std::vector<int> record(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, true, [&](int f) {
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

void Mesh::selectVG_(const vec3& centre, float radius, bool clear, int face) {
    const int seed = seedFace(*this, centre, face);
    if (seed < 0) return;
    if (clear) deselectAll();
    sectorInfluences.clear();
    sectorHeads.assign(selectedVertices.size(), -1);
    const float r2 = radius * radius;
    walkFaces(*this, seed, false, [&](int f) {
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
    // One fan walk per moved vertex; each face is listed with its other
    // vertices as it is found, which lists them in the order of a second
    // pass over the new faces.
    const std::size_t moved = selectedVertices.size();
    walkFansAhead(
        *this, moved, [&](std::size_t i) { return selectedVertices[i]; },
        [&](std::size_t i) {
            const int v = selectedVertices[i];
            if (!activeVertex(v)) return;
            circleFan(
                v,
                [&](int f, int) {
                    MeshFace& F = faces[f];
                    if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) return;
                    F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
                    selectedFaces.push_back(f);
                    for (const int w : F.v)
                        if (validVertex(w) && !listed(*this, w)) appendSelectedVertex(w);
                },
                [](int, int) {});
        });
}

void Mesh::applyDisplacement() {
    const std::size_t n = std::min(selectedVertices.size(), displacements.size());
    for (std::size_t i = 0; i < n; ++i) vertices[selectedVertices[i]].position += displacements[i];
}

}  // namespace qel
