// Construction, copying, record adders and selection of
// qel::Mesh, and appending one mesh to another.

#include "mesh/mesh.h"

#include "mesh/mesh_stroke.h"

#include <algorithm>

namespace qel {

// ---------------------------------------------------------------------------
// Construction and copying

Mesh::Mesh() : Element(TType::Mesh) { Mesh::init(); }

Mesh::Mesh(const Mesh& o) : Element(o) { copyFields(o); }

Mesh& Mesh::operator=(const Mesh& o) {
    if (this == &o) return *this;
    // The target gives up its own buffers before it takes the copy's state
    // (which never carries GL names).
    if (vbo != 0) deleteVBO();
    Element::operator=(o);
    copyFields(o);
    return *this;
}

void Mesh::copyFields(const Mesh& o) {
    vertices = o.vertices;
    faces = o.faces;
    // A copy never shares the source's GL buffers.
    vbo = 0;
    featureVbo = 0;
    featureCount = 0;
    vboEnabled = 0;
    topologyChanged = o.topologyChanged;
    std::copy(o.vboOffsets, o.vboOffsets + 6, vboOffsets);
    std::copy(o.refill, o.refill + 4, refill);
    drawCount = o.drawCount;
    vertexMark = o.vertexMark;
    faceMark = o.faceMark;
    recordedFaceCount = o.recordedFaceCount;
    influences = o.influences;
    sectorInfluences = o.sectorInfluences;
    selectedVertices = o.selectedVertices;
    sectorHeads = o.sectorHeads;
    selectedFaces = o.selectedFaces;
    displacements = o.displacements;
    scratch0 = o.scratch0;
    scratch1 = o.scratch1;
    needsCompaction = o.needsCompaction;
    spaceOrderJumps_ = o.spaceOrderJumps_;
    spaceOrderFaces_ = o.spaceOrderFaces_;
    // The copy builds its buffers from nothing.
    bufferState.reset();
    // A stroke's kept state belongs to the mesh it ran on.
    forgetOpenStroke();
    stroke_.reset();
}

Mesh::Mesh(const Mesh* source, const mat4& m) : Element(TType::Mesh) {
    if (source == nullptr) {
        Mesh::init();
        return;
    }
    Element::operator=(*source);
    copyFields(*source);
    const mat4 P = m * source->localMatrix();
    vertices.forRange(0, vertices.size(), [&P](MeshVertex& r) { r.position = P.transformProject(r.position); });
    centre = vec3(0, 0, 0);
    setSize(1.0f);
}

Mesh::Mesh(const Mesh* a, const Mesh* b) : Mesh(a, mat4::Identity()) {
    if (b != nullptr) {
        const Mesh second(b, mat4::Identity());
        append(&second);
    }
}

Mesh::~Mesh() {
    forgetOpenStroke();
    // Releases both GL names through the mesh's deleteVBO.
    if (vbo != 0) deleteVBO();
}

void Mesh::init() {
    centre = vec3(0, 0, 0);
    setSize(1.0f);
    status = 0;
    updateStamp = 0;
    type = TType::Mesh;
    vertices.clear();
    faces.clear();
    spaceOrderFaces_ = 0;
    deselectAll();
    // Re-initialising a drawn mesh (a load into it) releases its buffers
    // rather than forgetting their names.
    deleteVBO();
    needsCompaction = 0;
    forgetOpenStroke();
    stroke_.reset();
}

Mesh* Mesh::clone() { return new Mesh(*this); }

// ---------------------------------------------------------------------------
// Adding records

int Mesh::vertexAdd(const vec3& p) {
    const int i = vertexCount();
    vertices.push_back(MeshVertex(p));
    return i;
}

int Mesh::vertexAdd(float x, float y, float z, int face, bool sharp, bool corner) {
    const int i = vertexCount();
    std::uint8_t flags = MeshVertex::ActiveBit;
    if (corner)
        flags = MeshVertex::ActiveBit | MeshVertex::CornerBit | MeshVertex::SharpBit;
    else if (sharp)
        flags = MeshVertex::ActiveBit | MeshVertex::SharpBit;
    vertices.push_back(MeshVertex(vec3(x, y, z), face, flags));
    return i;
}

int Mesh::vertexAdd(const MeshVertex& r) {
    const int i = vertexCount();
    vertices.push_back(r);
    return i;
}

int Mesh::faceAdd(const MeshFace& r) {
    const int i = faceCount();
    faces.push_back(r);
    return i;
}

int Mesh::faceAdd(int a, int b, int c, bool sharp0, bool sharp1, bool sharp2) {
    const int i = faceCount();
    faces.push_back(MeshFace(a, b, c, sharp0, sharp1, sharp2));
    return i;
}

int Mesh::faceAdd(int a, int b, int c, int f0, int f1, int f2, bool sharp0, bool sharp1, bool sharp2) {
    const int i = faceCount();
    faces.push_back(MeshFace(a, b, c, f0, f1, f2, sharp0, sharp1, sharp2));
    return i;
}

int Mesh::facesAdd(const std::vector<int>& c, const std::vector<bool>& sharp) {
    const int first = faceCount();
    const std::size_t n = c.size();
    if (n < 3) return first;
    auto s = [&sharp](std::size_t j) { return j < sharp.size() && sharp[j]; };
    faces.reserve(faces.size() + (n - 2));
    for (std::size_t i = 0; i + 2 < n; ++i) {
        const bool edge0 = s(i + 1);               // c[i+1] -> c[i+2]
        const bool edge1 = (i + 3 == n) && s(n - 1);  // last face: c[n-1] -> c[0]
        const bool edge2 = (i == 0) && s(0);       // first face: c[0] -> c[1]
        faces.push_back(MeshFace(c[0], c[i + 1], c[i + 2], edge0, edge1, edge2));
    }
    return first;
}

int Mesh::facesAdd(const std::vector<int>& c) {
    static const std::vector<bool> none;
    return facesAdd(c, none);
}

// ---------------------------------------------------------------------------
// Selection

void Mesh::deselectAll() {
    // The records lie far apart: each is asked for some entries ahead.
    constexpr std::size_t Ahead = 16;
    const std::size_t nV = selectedVertices.size(), nF = selectedFaces.size();
    for (std::size_t j = 0; j < nV; ++j) {
        if (j + Ahead < nV && validVertex(selectedVertices[j + Ahead]))
            __builtin_prefetch(&vertices[selectedVertices[j + Ahead]], 1);
        const int i = selectedVertices[j];
        if (!validVertex(i)) continue;
        MeshVertex& r = vertices[i];
        r.flags = std::uint8_t(r.flags & ~MeshVertex::SelectedBit);
        r.selection = -1;
    }
    for (std::size_t j = 0; j < nF; ++j) {
        if (j + Ahead < nF && validFace(selectedFaces[j + Ahead]))
            __builtin_prefetch(&faces[selectedFaces[j + Ahead]].flags, 1);
        const int i = selectedFaces[j];
        if (!validFace(i)) continue;
        MeshFace& r = faces[i];
        r.flags = std::uint8_t(r.flags & ~(MeshFace::SelectedBit | MeshFace::VisitedBit));
    }
    selectedVertices.clear();
    selectedFaces.clear();
    sectorHeads.clear();
    displacements.clear();
    influences.clear();
    sectorInfluences.clear();
    vertexMark = vertexCount();
    faceMark = faceCount();
}

// ---------------------------------------------------------------------------
// Append

void Mesh::append(const Mesh* other) {
    topologyEdited();
    if (other == nullptr) return;
    // Counts are taken first, so that appending a mesh to itself copies the
    // records it had before the call.
    const int nV = vertexCount();
    const int nF = faceCount();
    const std::size_t oV = other->vertices.size();
    const std::size_t oF = other->faces.size();
    vertices.reserve(vertices.size() + oV);
    faces.reserve(faces.size() + oF);
    for (std::size_t j = 0; j < oV; ++j) {
        MeshVertex r = other->vertices[j];
        if (r.face != -1) r.face += nF;
        vertices.push_back(r);
    }
    for (std::size_t j = 0; j < oF; ++j) {
        MeshFace r = other->faces[j];
        for (int k = 0; k < 3; ++k) {
            r.v[k] += nV;
            if (r.f[k] != -1) r.f[k] += nF;
        }
        faces.push_back(r);
    }
}

}  // namespace qel
