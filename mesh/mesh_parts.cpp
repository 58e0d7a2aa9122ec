// Regions of a qel::Mesh picked by the user: selecting the sharp-bounded
// patch or the connected component of a face, copying the selection out as
// a new mesh (Part, DetachComponent), erasing a component, whole-mesh
// smoothing, and the unit triangle of the pattern builders.
//
// Face arguments: a negative face is picked from the point (findFirstFace);
// a face index past the end or of an erased face is refused and nothing
// changes.

#include <algorithm>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr std::uint8_t FaceSelectionBits = MeshFace::SelectedBit | MeshFace::VisitedBit;

// The face across edge e of F when it is an active face of m; else -1.
inline int across(const Mesh& m, const MeshFace& F, int e) {
    const int g = F.f[e];
    return m.activeFace(g) ? g : -1;
}

// Breadth-first walk from `seed` over the neighbour links, appending every
// face reached to m.selectedFaces with the selected bit. Faces already
// carrying a selection bit are passed over. The selected-face list itself is
// the first-in-first-out queue: faces are listed in the order in which the
// walk first reaches them. crossSharp: sharp edges are crossed too (the
// component); otherwise the walk stays inside the sharp-bounded patch.
// Returns the list position of the first face added by this walk.
std::size_t walkFaces(Mesh& m, int seed, bool crossSharp) {
    std::vector<int>& list = m.selectedFaces;
    const std::size_t first = list.size();
    auto take = [&m, &list](int f) {
        MeshFace& F = m.faces[f];
        if (F.flags & FaceSelectionBits) return;
        F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
        list.push_back(f);
    };
    take(seed);
    for (std::size_t head = first; head < list.size(); ++head) {
        const MeshFace& F = m.faces[list[head]];
        for (int e = 0; e < 3; ++e) {
            if (!crossSharp && F.isSharp(e)) continue;
            const int g = across(m, F, e);
            if (g >= 0) take(g);
        }
    }
    return first;
}

// True when the faces listed from `first` on form an open sheet: every edge
// leading out of the selection is open, and there is at least one.
bool openSheet(const Mesh& m, std::size_t first) {
    int openEdges = 0;
    for (std::size_t i = first; i < m.selectedFaces.size(); ++i) {
        const MeshFace& F = m.faces[m.selectedFaces[i]];
        for (int e = 0; e < 3; ++e) {
            const int g = across(m, F, e);
            if (g < 0)
                ++openEdges;
            else if (!(m.faces[g].flags & FaceSelectionBits))
                return false;
        }
    }
    return openEdges > 0;
}

// The selection walk of selectF_ (crossSharp false) and selectF (true):
// resolves a negative face from the point, refuses an index that is not an
// active face, clears the selection when asked, then walks.
bool selectFaces(Mesh& m, const vec3& p, bool deselect, int& face, bool crossSharp) {
    if (face >= 0 && !m.activeFace(face)) return false;
    const int picked = face >= 0 ? face : m.findFirstFace(p);
    if (!m.activeFace(picked)) return false;
    face = picked;
    if (deselect) m.deselectAll();
    return openSheet(m, walkFaces(m, picked, crossSharp));
}

// Copies the selected faces of src and the vertices they use into dst: in
// selection order, the vertices numbered in the order in which the faces
// first use them; or, with listOrder, both in the order they have in src.
// (A selection walk lists its faces ring by ring round the picked face, so
// a brush stamp on a large copy in selection order touches a run of
// records in every ring it crosses; a copy in list order of a mesh in
// program or space order keeps that order.) The vertices' selection fields
// serve as the old-to-new index map and are reset afterwards; src ends
// deselected. Links and stored faces of the copies are cleared for the
// connectivity rebuild of dst. Returns the position of `picked` in dst, -1
// when it is not selected; `copied`, when given, receives the faces of src
// in the order of their copies.
int copySelection(Mesh& src, Mesh& dst, int picked, bool listOrder = false, std::vector<int>* copied = nullptr) {
    std::vector<int> list = src.selectedFaces;
    if (listOrder) std::sort(list.begin(), list.end());
    if (copied) *copied = list;
    for (const int f : list)
        for (const int v : src.faces[f].v) src.vertices[v].selection = -1;

    std::vector<int> used;
    used.reserve(list.size() / 2 + 3);
    for (const int f : list) {
        for (const int v : src.faces[f].v) {
            MeshVertex& r = src.vertices[v];
            if (r.selection >= 0) continue;
            r.selection = int(used.size());
            used.push_back(v);
        }
    }
    if (listOrder) {
        std::sort(used.begin(), used.end());
        for (std::size_t i = 0; i < used.size(); ++i) src.vertices[used[i]].selection = int(i);
    }

    dst.vertices.reserve(used.size());
    for (const int v : used) {
        MeshVertex r = src.vertices[v];
        r.selection = -1;
        r.face = -1;
        r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
        dst.vertexAdd(r);
    }

    int position = -1;
    dst.faces.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == picked) position = int(i);
        MeshFace r = src.faces[list[i]];
        for (int k = 0; k < 3; ++k) {
            r.v[k] = src.vertices[r.v[k]].selection;
            r.f[k] = -1;
        }
        r.flags = std::uint8_t(r.flags & ~FaceSelectionBits);
        dst.faceAdd(r);
    }

    for (const int v : used) src.vertices[v].selection = -1;
    src.deselectAll();
    return position;
}

// The element or patch under p (picked at face) copied into part and
// rebuilt (copySelection; listOrder as there). Returns the picked face's
// position in part, -1 when it is not copied.
int copyPart(Mesh& src, Mesh& part, const vec3& p, int face, Sculptor::TSelect select, bool listOrder,
             std::vector<int>* copied = nullptr) {
    src.deselectAll();  // a refused pick must not copy an older selection
    if (select == Sculptor::SelectPatch)
        src.selectF_(p, true, face);
    else
        src.selectF(p, true, face);
    const int position = copySelection(src, part, face, listOrder, copied);
    part.initialize(Mesh::ResizeMean);
    return position;
}

}  // namespace

// ---------------------------------------------------------------------------
// Selection

bool Mesh::selectF_(const vec3& p, bool deselect, int& face) { return selectFaces(*this, p, deselect, face, false); }

bool Mesh::selectF(const vec3& p, bool deselect, int& face) { return selectFaces(*this, p, deselect, face, true); }

// ---------------------------------------------------------------------------
// Copying selections out

Mesh* Mesh::Part(const vec3& p, int& face, Sculptor::TSelect select) {
    Mesh* part = new Mesh();
    const int count = faceCount();
    const int position = copyPart(*this, *part, p, face, select, false);
    // The index the picked face gets once the part is appended to this mesh.
    if (position >= 0) face = count + position;
    return part;
}

Mesh* Mesh::CopyOfPart(const vec3& p, int face, Sculptor::TSelect select, std::vector<int>* copied) {
    Mesh* part = new Mesh();
    copyPart(*this, *part, p, face, select, true, copied);
    return part;
}

Mesh* Mesh::DetachComponent(int face) {
    Mesh* part = new Mesh();
    if (!activeFace(face)) return part;
    int picked = face;
    selectF(vec3(), true, picked);
    copySelection(*this, *part, face);
    eraseF(vec3(), face);
    bufferState.faceSetChanged();
    part->initialize(ResizeKeep);
    // Same frame as this mesh, so the component stays in place under the same
    // object transform.
    part->centre = centre;
    part->setSize(size());
    return part;
}

bool Mesh::eraseF(const vec3& p, int face) {
    topologyEdited();
    if (face >= 0 && !activeFace(face)) return false;
    deselectAll();  // a refused pick must not erase an older selection
    int picked = face;
    selectF(p, true, picked);
    // After a rebuild a component shares no vertex with the rest of the
    // mesh, so its faces' vertices go with it. (Should edits have left two
    // components touching at a vertex, compaction keeps every vertex that a
    // remaining face still uses.)
    for (const int f : selectedFaces) {
        MeshFace& F = faces[f];
        F.flags = std::uint8_t(F.flags & ~MeshFace::ActiveBit);
        for (const int v : F.v) vertices[v].flags = std::uint8_t(vertices[v].flags & ~MeshVertex::ActiveBit);
    }
    const bool erased = !selectedFaces.empty();
    deselectAll();
    // A vertex the component shared with the rest keeps fewer faces, and
    // the compaction reorders faces: the normals there are formed again.
    removeInactiveKeepingNormals(true);
    return erased;
}

// ---------------------------------------------------------------------------
// Whole-mesh smoothing

void Mesh::smoothAll(bool moveSharp, bool normals) {
    const int n = vertexCount();
    auto moves = [this, moveSharp](int v) {
        const MeshVertex& r = vertices[v];
        return r.isActive() && (moveSharp || !r.isSharp()) && activeFace(r.face);
    };
    // Every target is taken from the unmoved mesh.
    std::vector<vec3> target(static_cast<std::size_t>(n));
    for (int v = 0; v < n; ++v)
        if (moves(v)) target[v] = vertexSmoothPosition(v);
    for (int v = 0; v < n; ++v)
        if (moves(v)) vertices[v].position = (vertices[v].position + target[v]) * 0.5f;
    positionsEdited();

    for (int f = 0; f < faceCount(); ++f)
        if (faces[f].isActive()) faceSmoothMaterials(f, 255);
    for (int v = 0; v < n; ++v)
        if (activeVertex(v) && activeFace(vertices[v].face)) vertexSmoothMaterials(v, 255);

    if (normals) calculateNormals(2);
}

// ---------------------------------------------------------------------------
// Unit triangle

Mesh* Mesh::Triangle() {
    Mesh* m = new Mesh();
    m->vertexAdd(0.0f, 1.0f, 0.0f, 0, true, false);
    m->vertexAdd(-0.8660254f, -0.5f, 0.0f, 0, true, false);
    m->vertexAdd(0.8660254f, -0.5f, 0.0f, 0, true, false);
    m->faceAdd(0, 1, 2, true, true, true);
    m->initialize(ResizeKeep);
    return m;
}

}  // namespace qel
