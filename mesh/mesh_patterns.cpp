// The triangle pattern panels of qel::Mesh: small flat meshes that divide
// the seed triangle of Triangle() into a decorative pattern (a centre fan, a
// frame, a star, a hexagon), which the sculpting pattern actions map onto
// every face of a mesh.
//
// Inner points are placed by barycentric weights on the seed's face 0.
// Weights are computed in double and rounded to float before use; a weight
// derived from another one is computed from that one's rounded value.

#include <vector>

#include "mesh/mesh.h"

namespace qel {

namespace {

// The colour of a panel's coloured faces (alpha and the other channels keep
// their defaults).
void paintFill(MeshFace& F) {
    for (pbr& m : F.material) {
        m.colour[0] = 0;
        m.colour[1] = 34952;
        m.colour[2] = 65535;
    }
}

void paintFill(Mesh& m, int first, int last) {
    for (int f = first; f < last; ++f) paintFill(m.faces[f]);
}

// A new panel holding copies of the seed's three corners (flags 8).
Mesh* startPanel(const Mesh& seed) {
    Mesh* m = new Mesh();
    for (int k = 0; k < 3; ++k) m->vertexAdd(seed.vertices[k].position, false);
    return m;
}

// Appends the inner point with weights (w0, w1, w2) on the seed.
void addPoint(Mesh& m, const Mesh& seed, float w0, float w1, float w2, bool corner) {
    const std::vector<float> w = {w0, w1, w2};
    m.vertexAdd(seed.trianglePoint(0, w), corner);
}

// The scaled-seed weights of the frame and the fan: a = (2t + 1)/3 on the
// corner the point leans to, b = (1 - a)/2 on the two others.
void frameWeights(float t, float& a, float& b) {
    a = float((2.0 * double(t) + 1.0) / 3.0);
    b = float((1.0 - double(a)) * 0.5);
}

}  // namespace

vec3 Mesh::trianglePoint(int f, const std::vector<float>& w) const {
    if (!validFace(f) || w.size() < 3) return vec3(0, 0, 0);
    const MeshFace& F = faces[f];
    for (int k = 0; k < 3; ++k)
        if (!validVertex(F.v[k])) return vec3(0, 0, 0);
    const vec3 p0 = vertices[F.v[0]].position;
    const vec3 p1 = vertices[F.v[1]].position;
    const vec3 p2 = vertices[F.v[2]].position;
    return p0 * w[0] + p1 * w[1] + p2 * w[2];
}

int Mesh::vertexAdd(const vec3& p, bool corner) {
    const std::uint8_t flags = corner ? std::uint8_t(MeshVertex::ActiveBit | MeshVertex::CornerBit | MeshVertex::SharpBit)
                                      : std::uint8_t(MeshVertex::ActiveBit);
    return vertexAdd(MeshVertex(p, -1, flags));
}

Mesh* Mesh::TrianglePattern0(float t) {
    Mesh* seed = Triangle();
    Mesh* m = startPanel(*seed);
    float a = 0, b = 0;
    frameWeights(t, a, b);
    addPoint(*m, *seed, a, b, b, false);
    delete seed;
    m->faceAdd(0, 1, 3);
    m->faceAdd(1, 2, 3);
    m->faceAdd(2, 0, 3);
    m->initialize(ResizeKeep);
    m->makeSharp();
    return m;
}

Mesh* Mesh::TrianglePattern1(float t, bool hole) {
    Mesh* seed = Triangle();
    Mesh* m = startPanel(*seed);
    float a = 0, b = 0;
    frameWeights(t, a, b);
    addPoint(*m, *seed, a, b, b, true);
    addPoint(*m, *seed, b, a, b, true);
    addPoint(*m, *seed, b, b, a, true);
    delete seed;
    // Outer and inner edges of each trapezoid sharp, the slanted ones smooth.
    const std::vector<bool> sharp = {true, false, true, false};
    m->facesAdd({0, 1, 4, 3}, sharp);
    m->facesAdd({1, 2, 5, 4}, sharp);
    m->facesAdd({2, 0, 3, 5}, sharp);
    if (!hole) paintFill(m->faces[m->faceAdd(3, 4, 5, true, true, true)]);
    m->initialize(ResizeKeep);
    return m;
}

Mesh* Mesh::TrianglePattern2(float t, bool hole) {
    Mesh* seed = Triangle();
    Mesh* m = startPanel(*seed);
    const float a = float((1.0 - double(t)) / 3.0);
    const float b = float((1.0 - double(a)) * 0.5);
    addPoint(*m, *seed, a, b, b, true);
    addPoint(*m, *seed, b, a, b, true);
    addPoint(*m, *seed, b, b, a, true);
    delete seed;
    // One outer triangle on each seed edge, tip at the inner point facing it.
    m->faceAdd(0, 1, 5, true, true, true);
    m->faceAdd(1, 2, 3, true, true, true);
    m->faceAdd(2, 0, 4, true, true, true);
    if (!hole) {
        // One smooth coloured region bounded by creases: the inner triangle's
        // sides (edge 0 of the three points) are smooth.
        const int first = m->faceAdd(0, 5, 4, false, true, true);
        m->faceAdd(1, 3, 5, false, true, true);
        m->faceAdd(2, 4, 3, false, true, true);
        m->faceAdd(3, 4, 5);
        paintFill(*m, first, m->faceCount());
    }
    m->initialize(ResizeKeep);
    return m;
}

Mesh* Mesh::TrianglePattern3(float t, bool hole) {
    Mesh* seed = Triangle();
    Mesh* m = startPanel(*seed);
    const float p = float((1.0 + double(t)) / 3.0);
    const float q = float((1.0 - double(t)) / 3.0);
    const float r = float(1.0 - double(p) - double(q));
    // The hexagon's corners at 60, 120, 180, 240, 300 and 0 degrees.
    addPoint(*m, *seed, p, q, r, true);
    addPoint(*m, *seed, p, r, q, true);
    addPoint(*m, *seed, r, p, q, true);
    addPoint(*m, *seed, q, p, r, true);
    addPoint(*m, *seed, q, r, p, true);
    addPoint(*m, *seed, r, q, p, true);
    delete seed;
    const std::vector<bool> trapezoid = {true, false, true, false};
    m->facesAdd({0, 1, 5, 4}, trapezoid);
    m->facesAdd({1, 2, 7, 6}, trapezoid);
    m->facesAdd({2, 0, 3, 8}, trapezoid);
    // Corner triangles: only the hexagon edge is sharp.
    m->faceAdd(0, 4, 3, true, false, false);
    m->faceAdd(1, 6, 5, true, false, false);
    m->faceAdd(2, 8, 7, true, false, false);
    if (!hole) {
        const int first = m->facesAdd({3, 4, 5, 6, 7, 8}, std::vector<bool>(6, true));
        paintFill(*m, first, m->faceCount());
    }
    m->initialize(ResizeKeep);
    return m;
}

}  // namespace qel
