// The topology steps of the region strokes of qel::Mesh: tearing patches off
// along their rim (divide) and splitting them off with wall faces (split),
// for every patch, the picked patch or the rim vertices within a radius; and
// the back side an open sheet gets before it is split.
//
// A rim vertex is torn at the first face of the sector the patch holds
// round it, so the whole sector gets the new copy. Each vertex is handled
// once per patch: it is put on the selection when done, and so is its copy.

#include <algorithm>
#include <utility>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// Edge e of F is sharp or has no active neighbour.
bool bounded(const Mesh& m, const MeshFace& F, int e) { return F.isSharp(e) || !m.activeFace(F.f[e]); }

// Corner k of F lies on its patch's rim: an edge meeting there is bounded.
bool onRim(const Mesh& m, const MeshFace& F, int k) {
    return bounded(m, F, nextK(k)) || bounded(m, F, prevK(k));
}

void selectVertex(Mesh& m, int v) {
    if (m.validVertex(v) && !m.vertices[v].isSelected()) m.appendSelectedVertex(v);
}

void unselectVertex(Mesh& m, int v) {
    if (!m.validVertex(v)) return;
    MeshVertex& r = m.vertices[v];
    r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
    r.selection = -1;
}

// Ends a topology step. Copies made of selected vertices carry the selected
// bit without being listed, so every vertex appended since firstNew is
// cleared before deselectAll.
void endStep(Mesh& m, int firstNew) {
    for (int v = std::max(firstNew, 0); v < m.vertexCount(); ++v) unselectVertex(m, v);
    m.deselectAll();
}

// The first face of the sector of v that holds g.
int sectorStart(const Mesh& m, int v, int g) {
    const int s = m.findStartRegion(v, g);
    return s >= 0 ? s : g;
}

// Tears every rim vertex of the selected faces not yet selected through
// tear(v, sectorStart) and selects it and its copy; with mark set the faces
// get the region mark.
template <class Tear>
void tearRim(Mesh& m, bool mark, Tear&& tear) {
    for (std::size_t i = 0; i < m.selectedFaces.size(); ++i) {
        const int g = m.selectedFaces[i];
        if (mark) m.faces[g].flags = std::uint8_t(m.faces[g].flags | MeshFace::MarkBit);
        for (int k = 0; k < 3; ++k) {
            const int v = m.faces[g].v[k];
            if (!m.validVertex(v) || m.vertices[v].isSelected() || !onRim(m, m.faces[g], k)) continue;
            const int w = tear(v, sectorStart(m, v, g));
            selectVertex(m, v);
            if (w >= 0) selectVertex(m, w);
        }
    }
}

// Tears the rim vertices of the radius selection (selected vertices) at
// every selected face; after each tear done(v, w) clears what may not be
// torn again.
template <class Tear, class Done>
void tearSelectedRim(Mesh& m, Tear&& tear, Done&& done) {
    for (std::size_t i = 0; i < m.selectedFaces.size(); ++i) {
        const int g = m.selectedFaces[i];
        for (int k = 0; k < 3; ++k) {
            const int v = m.faces[g].v[k];
            if (!m.validVertex(v) || !m.vertices[v].isSelected() || !onRim(m, m.faces[g], k)) continue;
            done(v, tear(v, sectorStart(m, v, g)));
        }
    }
}

// The face walk of the A_ forms: the per-patch step on every unmarked
// active face below the limit, then every mark below it cleared.
template <class Step>
void forEachPatch(Mesh& m, int limit, Step&& step) {
    for (int f = 0; f < limit; ++f)
        if (m.activeFace(f) && !(m.faces[f].flags & MeshFace::MarkBit)) step(f);
    for (int f = 0; f < limit; ++f) m.faces[f].flags = std::uint8_t(m.faces[f].flags & ~MeshFace::MarkBit);
}

// The selected faces, an open sheet, get a back side: a turned-over copy of
// every face whose border vertices are the sheet's own and whose other
// vertices are new copies; across each border edge the two sides are
// linked with a sharp edge. The border vertices become sharp vertices of a
// closed shell. Leaves the faces selected as they were.
void addBackSide(Mesh& m) {
    const std::vector<int> sheet = m.selectedFaces;
    const int nF = m.faceCount();
    std::vector<int> backOf(std::size_t(nF), -1);
    for (std::size_t i = 0; i < sheet.size(); ++i) backOf[std::size_t(sheet[i])] = nF + int(i);
    std::vector<int> copyOf(std::size_t(m.vertexCount()), -1);
    std::vector<int> rim;

    for (std::size_t i = 0; i < sheet.size(); ++i) {
        const int f = sheet[i];
        const int back = nF + int(i);
        MeshFace B = m.faces[f];
        for (int k = 0; k < 3; ++k) {
            const int v = B.v[k];
            if (m.vertices[v].isBorder()) {
                rim.push_back(v);
                continue;
            }
            if (copyOf[std::size_t(v)] < 0) {
                MeshVertex r = m.vertices[v];
                r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
                r.selection = -1;
                r.face = back;
                copyOf[std::size_t(v)] = m.vertexAdd(r);
            }
            B.v[k] = copyOf[std::size_t(v)];
        }
        for (int e = 0; e < 3; ++e) {
            const int g = m.faces[f].f[e];
            if (m.activeFace(g) && backOf[std::size_t(g)] >= 0) {
                B.f[e] = backOf[std::size_t(g)];
                continue;
            }
            B.f[e] = f;
            B.setSharp(e, true);
            m.faces[f].f[e] = back;
            m.faces[f].setSharp(e, true);
        }
        B.turnOver();
        for (vec3& n : B.normals) n = -n;
        B.normal = -B.normal;
        B.flags = std::uint8_t(B.flags & ~(MeshFace::SelectedBit | MeshFace::VisitedBit | MeshFace::MarkBit));
        m.faceAdd(B);
    }
    for (const int v : rim) {
        m.vertices[v].flags = std::uint8_t(m.vertices[v].flags & ~MeshVertex::BorderBit);
        m.vertexUpdate(v);
    }
    for (const int c : copyOf)
        if (c >= 0) m.vertexUpdate(c);
}

}  // namespace

void Mesh::divideF_(const vec3& point, int face) {
    recordedFaceCount = faceCount();
    const int firstNew = vertexCount();
    deselectAll();
    selectF_(point, true, face);
    tearRim(*this, false, [this](int v, int f) { return vertexDivide(v, f); });
    endStep(*this, firstNew);
}

void Mesh::_divideF_(int face) {
    if (!activeFace(face)) return;
    const int firstNew = vertexCount();
    selectF_(vec3(0, 0, 0), false, face);
    tearRim(*this, true, [this](int v, int f) { return vertexDivide(v, f); });
    endStep(*this, firstNew);
}

void Mesh::divideA_() {
    recordedFaceCount = faceCount();
    deselectAll();
    forEachPatch(*this, recordedFaceCount, [this](int f) { _divideF_(f); });
}

void Mesh::divideG_(const vec3& point, float radius, int face) {
    recordedFaceCount = faceCount();
    const int firstNew = vertexCount();
    deselectAll();
    selectVG_(point, radius, true, face);
    tearSelectedRim(
        *this, [this](int v, int f) { return vertexDivide(v, f); },
        [this](int v, int w) {
            unselectVertex(*this, v);
            unselectVertex(*this, w);
        });
    endStep(*this, firstNew);
}

void Mesh::splitF_(const vec3& point, int& face, const pbr& material, bool seam) {
    topologyEdited();
    recordedFaceCount = faceCount();
    const int firstNew = vertexCount();
    deselectAll();
    const bool sheet = selectF_(point, true, face);
    if (sheet && !selectedFaces.empty()) {
        addBackSide(*this);
        selectF_(point, true, face);
    }
    tearRim(*this, false, [&](int v, int f) { return vertexSplit(v, f, material, seam); });
    endStep(*this, firstNew);
}

void Mesh::_splitF_(int face, const pbr& material, bool seam) {
    if (!activeFace(face)) return;
    const int firstNew = vertexCount();
    selectF_(vec3(0, 0, 0), false, face);
    tearRim(*this, true, [&](int v, int f) { return vertexSplit(v, f, material, seam); });
    endStep(*this, firstNew);
}

void Mesh::splitA_(const pbr& material, bool seam) {
    recordedFaceCount = faceCount();
    deselectAll();
    forEachPatch(*this, recordedFaceCount, [&](int f) { _splitF_(f, material, seam); });
}

void Mesh::splitG_(const vec3& point, float radius, int face, const pbr& material, bool seam) {
    recordedFaceCount = faceCount();
    const int firstNew = vertexCount();
    deselectAll();
    selectVG_(point, radius, true, face);
    // v stays selected after a split that made a copy, so it may be split
    // again at another sector of the region.
    tearSelectedRim(
        *this, [&](int v, int f) { return vertexSplit(v, f, material, seam); },
        [this](int v, int w) { unselectVertex(*this, w >= 0 ? w : v); });
    endStep(*this, firstNew);
}

}  // namespace qel
