// The round primitives of qel::Mesh (sphere, cylinder, capsule), the
// one-step midpoint subdivision they are refined with, and the whole-mesh
// helpers spherize, makeSharp and makeSmooth.

#include <cmath>
#include <utility>
#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

constexpr double Pi = 3.14159265358979323846;

// p moved onto the sphere about c of radius r; a point at c stays there.
inline vec3 ontoSphere(const vec3& p, const vec3& c, float r) {
    vec3 d = p - c;
    const double l2 = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
    if (l2 > 1e-20) d = d / float(std::sqrt(l2));
    return c + d * r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole-mesh helpers

void Mesh::spherize() {
    const vec3 c = centre;
    const float r = size() * 0.5f;
    vertices.forRange(0, vertices.size(), [&c, r](MeshVertex& v) { v.position = ontoSphere(v.position, c, r); });
    calculateNormals(2);
}

void Mesh::makeSharp() {
    topologyEdited();
    vertices.forRange(0, vertices.size(),
                      [](MeshVertex& v) { v.flags = std::uint8_t(v.flags | MeshVertex::SharpBit); });
    faces.forRange(0, faces.size(), [](MeshFace& f) { f.flags = std::uint8_t(f.flags | MeshFace::SharpMask); });
    bufferState.markFeatures();
    initializeVertices();
    calculateNormals(2);
}

void Mesh::makeSmooth() {
    topologyEdited();
    vertices.forRange(0, vertices.size(), [](MeshVertex& v) {
        // A border vertex stays sharp: its open edges bound it.
        if (!v.isBorder()) v.flags = std::uint8_t(v.flags & ~MeshVertex::SharpBit);
        v.flags = std::uint8_t(v.flags & ~MeshVertex::CornerBit);
    });
    faces.forRange(0, faces.size(), [](MeshFace& f) { f.flags = std::uint8_t(f.flags & ~MeshFace::SharpMask); });
    bufferState.markFeatures();
    calculateNormals(2);
}

// ---------------------------------------------------------------------------
// Subdivision

bool Mesh::subdivide(bool smooth) {
    topologyEdited();
    const int oldCount = vertexCount();
    auto old = [oldCount](int v) { return v >= 0 && v < oldCount; };
    // The edge of each new vertex towards an old opposite vertex; flipping it
    // afterwards turns the split triangles into the 1-to-4 pattern.
    std::vector<std::pair<int, int>> spokes;
    spokes.reserve(std::size_t(faceCount()) * 3);

    // The face count grows while faces are split: re-read it every step.
    for (int f = 0; f < faceCount();) {
        const MeshFace& F = faces[f];
        int k = -1;
        if (F.isActive()) {
            static const int order[3] = {2, 0, 1};
            for (const int e : order) {
                if (old(F.v[(e + 1) % 3]) && old(F.v[(e + 2) % 3])) {
                    k = e;
                    break;
                }
            }
        }
        int o1 = -1;
        int o2 = -1;
        const int nv = k < 0 ? -1 : edgeSplitFK(f, k, o1, o2);
        if (nv < 0) {
            ++f;
            continue;
        }
        if (old(o1)) spokes.emplace_back(o1, nv);
        if (old(o2)) spokes.emplace_back(o2, nv);
        // The same face again: it may hold a second old-old edge.
    }

    for (const auto& s : spokes) {
        int f = -1;
        int k = -1;
        if (findEdge(s.first, s.second, f, k)) edgeFlipFK(f, k);
    }

    if (smooth) {
        // All targets first, then the moves: only the old vertices move.
        std::vector<vec3> target(static_cast<std::size_t>(oldCount));
        for (int v = 0; v < oldCount; ++v)
            if (activeVertex(v) && activeFace(vertices[v].face)) target[v] = vertexSmoothPosition(v);
        for (int v = 0; v < oldCount; ++v)
            if (activeVertex(v) && activeFace(vertices[v].face))
                vertices[v].position = (vertices[v].position + target[v]) * 0.5f;
        positionsEdited();
    }

    bufferState.faceSetChanged();
    // The new vertices and faces were appended: on a large mesh the faces
    // round a vertex may then lie far apart in the lists. The rebuild of
    // the new order computes the normals.
    if (!orderIfScattered()) calculateNormals(2);
    return true;
}

// ---------------------------------------------------------------------------
// Round primitives

Mesh* Mesh::Sphere(Mesh* base, int levels, bool keepSharp, bool smoothSteps) {
    if (base == nullptr) return nullptr;
    Mesh* m = base->clone();
    for (int i = 0; i < levels; ++i) {
        m->subdivide(smoothSteps);
        m->spherize();
    }
    if (!keepSharp) m->makeSmooth();
    return m;
}

Mesh* Mesh::Cylinder(int n, bool sharpSides) {
    // Fewer than three segments enclose no volume.
    if (n < 3) return nullptr;
    Mesh* m = new Mesh();
    const float step = float(2.0 * Pi / n);
    for (int ring = 0; ring < 2; ++ring) {
        const float z = ring == 0 ? -1.0f : 1.0f;
        for (int i = 0; i < n; ++i) {
            const float a = float(i) * step;
            m->vertexAdd(float(std::cos(double(a))), float(std::sin(double(a))), z, -1, true, false);
        }
    }
    const int bottom = m->vertexAdd(0, 0, -1, -1, false, false);  // 2n
    const int top = m->vertexAdd(0, 0, 1, -1, false, false);      // 2n + 1

    // Sides: the quad (i-1, j, n+j, n+i-1) runs counter-clockwise seen from
    // outside; its two ring edges are creases, its vertical edges only for a
    // faceted prism.
    const std::vector<bool> sharp = {true, sharpSides, true, sharpSides};
    std::vector<int> quad(4);
    for (int i = 1; i <= n; ++i) {
        const int j = i % n;
        quad = {i - 1, j, n + j, n + i - 1};
        m->facesAdd(quad, sharp);
    }
    // Caps, outward (-z at the bottom, +z at the top); edge 0 is the rim.
    for (int i = 0; i < n; ++i) m->faceAdd(bottom, (i + 1) % n, i, true, false, false);
    for (int i = 0; i < n; ++i) m->faceAdd(top, n + i, n + (i + 1) % n, true, false, false);
    m->initialize(ResizeKeep);
    return m;
}

namespace {

// The open box that the capsule's hemispheres grow from: no face at z = 0.
void addCapsuleSeed(Mesh& seed) {
    static const float p[8][3] = {{-1, -1, 0},   {1, -1, 0},   {1, 1, 0},   {-1, 1, 0},
                                  {-1, -1, 1.5f}, {1, -1, 1.5f}, {1, 1, 1.5f}, {-1, 1, 1.5f}};
    for (const auto& q : p) seed.vertexAdd(q[0], q[1], q[2], -1, true, false);
    static const int quads[5][4] = {{4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    const std::vector<bool> sharp(4, true);
    std::vector<int> corners(4);
    for (const auto& q : quads) {
        corners.assign(q, q + 4);
        seed.facesAdd(corners, sharp);
    }
    seed.initialize(Element::ResizeKeep);
}

// The band of quads joining the rim loops L1 and L2 (equal length, opposite
// senses). With keepSharp the box's vertical creases continue across the
// band at corner vertices.
void addCapsuleBand(Mesh& m, const std::vector<int>& L1, const std::vector<int>& L2, bool keepSharp) {
    const int n = int(L2.size());
    std::vector<int> quad(4);
    std::vector<bool> sharp(4, false);
    for (int i = 0; i < n; ++i) {
        quad = {L1[i], L1[(i + 1) % n], L2[n - 1 - i], L2[(n - i) % n]};
        sharp[1] = keepSharp && m.vertices[quad[2]].isCorner();
        sharp[3] = keepSharp && m.vertices[quad[0]].isCorner();
        m.facesAdd(quad, sharp);
    }
}

}  // namespace

Mesh* Mesh::Capsule(int levels, bool keepSharp) {
    // A hemisphere of radius 0.5 over z = 0, open along its rim.
    Mesh seed;
    addCapsuleSeed(seed);
    for (int i = 0; i < levels; ++i) seed.subdivide(false);
    seed.spherize();
    if (!keepSharp) seed.makeSmooth();

    // Size 0.5 doubles the copies: hemispheres of radius 1 about z = +1 and
    // (mirrored through x <-> y and turned over) about z = -1.
    seed.setSize(0.5f);
    const Mesh upper(&seed, mat4::Translation(0, 0, 1));
    const Mesh lower(&seed, mat4::Translation(0, 0, -1) *
                                mat4::FromMat3(mat3::RotationAroundAxis(vec3(-1, -1, 0), float(Pi))));
    Mesh* m = new Mesh(&upper, &lower);
    m->initialize(ResizeKeep);

    std::vector<int> L1;
    std::vector<int> L2;
    m->Border(0, L1);
    m->Border(seed.vertexCount(), L2);
    // Both rims are copies of one loop; anything else is not a capsule.
    if (L2.size() < 3 || L1.size() != L2.size()) {
        delete m;
        return nullptr;
    }
    addCapsuleBand(*m, L1, L2, keepSharp);
    m->initialize(ResizeKeep);

    // The seams between the band and the caps are always creases; the
    // corner normals then part along them.
    for (const std::vector<int>* L : {&L1, &L2}) {
        const std::size_t n = L->size();
        for (std::size_t i = 0; i < n; ++i) m->edgeSharpVV((*L)[i], (*L)[(i + 1) % n], true);
    }
    m->calculateNormals(1);
    return m;
}

}  // namespace qel
