#include "mesh/mesh_util.h"

#include <cmath>

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::vec3;

namespace meshtest {

void markSharp(Mesh& m, int f, int g) {
    MeshFace& F = m.faces[f];
    MeshFace& G = m.faces[g];
    const int k = F.edgeTo(g);
    const int j = G.edgeTo(f);
    F.setSharp(k, true);
    G.setSharp(j, true);
    m.vertices[F.v[(k + 1) % 3]].flags |= MeshVertex::SharpBit;
    m.vertices[F.v[(k + 2) % 3]].flags |= MeshVertex::SharpBit;
}

void finish(Mesh& m) {
    // Face normals (as calculateNormals(0) will compute them).
    for (int i = 0; i < m.faceCount(); ++i) {
        MeshFace& F = m.faces[i];
        const vec3 p0 = m.vertices[F.v[0]].position;
        const vec3 p1 = m.vertices[F.v[1]].position;
        const vec3 p2 = m.vertices[F.v[2]].position;
        F.normal = qel::normalize(qel::cross(p1 - p0, p2 - p0));
    }
    // Stored face: the last active face that uses the vertex.
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k) m.vertices[F.v[k]].face = i;
    }
    // Ends of sharp edges carry the sharp bit.
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        for (int k = 0; k < 3; ++k)
            if (F.isSharp(k)) {
                m.vertices[F.v[(k + 1) % 3]].flags |= MeshVertex::SharpBit;
                m.vertices[F.v[(k + 2) % 3]].flags |= MeshVertex::SharpBit;
            }
    }
    for (int v = 0; v < m.vertexCount(); ++v) m.vertexUpdate(v);
    for (int v = 0; v < m.vertexCount(); ++v)
        if (m.corner(v)) m.vertices[v].flags |= MeshVertex::SharpBit | MeshVertex::CornerBit;
}

bool linksConsistent(const Mesh& m) {
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        for (int k = 0; k < 3; ++k) {
            const int g = F.f[k];
            if (g < 0) continue;
            if (g >= m.faceCount()) return false;
            const MeshFace& G = m.faces[g];
            const int j = G.edgeTo(i);
            if (j < 0) return false;
            const int a = F.v[(k + 1) % 3], b = F.v[(k + 2) % 3];
            const int c = G.v[(j + 1) % 3], d = G.v[(j + 2) % 3];
            // Consistently oriented neighbours run the edge in opposite directions.
            if (!(a == d && b == c)) return false;
            if (F.isSharp(k) != G.isSharp(j)) return false;
        }
    }
    return true;
}

Mesh* makeQuad() {
    Mesh* m = new Mesh();
    m->vertexAdd(vec3(0, 0, 0));
    m->vertexAdd(vec3(1, 0, 0));
    m->vertexAdd(vec3(1, 1, 0));
    m->vertexAdd(vec3(0, 1, 0));
    m->faceAdd(0, 1, 2, -1, 1, -1, false, false, false);
    m->faceAdd(0, 2, 3, -1, -1, 0, false, false, false);
    finish(*m);
    return m;
}

Mesh* makeStrip(bool sharpMiddle) {
    Mesh* m = new Mesh();
    m->vertexAdd(vec3(0, 0, 0));
    m->vertexAdd(vec3(2, 0, 0));
    m->vertexAdd(vec3(1, 2, 0));
    m->vertexAdd(vec3(-1, 2, 0));
    m->vertexAdd(vec3(-2, 0, 0));
    m->faceAdd(0, 1, 2, -1, 1, -1, false, sharpMiddle, false);
    m->faceAdd(0, 2, 3, -1, 2, 0, false, false, sharpMiddle);
    m->faceAdd(0, 3, 4, -1, -1, 1, false, false, false);
    finish(*m);
    return m;
}

Mesh* makeTetra(bool sharpAt0, bool sharpLoop) {
    Mesh* m = new Mesh();
    m->vertexAdd(vec3(0, 0, 0));
    m->vertexAdd(vec3(1, 0, 0));
    m->vertexAdd(vec3(0, 1, 0));
    m->vertexAdd(vec3(0, 0, 1));
    m->faceAdd(0, 2, 1, 2, 1, 3, false, false, false);
    m->faceAdd(0, 1, 3, 2, 3, 0, false, false, false);
    m->faceAdd(1, 2, 3, 3, 1, 0, false, false, false);
    m->faceAdd(0, 3, 2, 2, 0, 1, false, false, false);
    if (sharpAt0) {
        markSharp(*m, 0, 1);  // edge 0-1
        markSharp(*m, 0, 3);  // edge 0-2
        markSharp(*m, 1, 3);  // edge 0-3
    }
    if (sharpLoop) {
        markSharp(*m, 2, 0);  // edge 1-2
        markSharp(*m, 2, 3);  // edge 2-3
        markSharp(*m, 2, 1);  // edge 3-1
    }
    finish(*m);
    return m;
}

Mesh* makeBowtie() {
    Mesh* m = new Mesh();
    m->vertexAdd(vec3(0, 0, 0));
    m->vertexAdd(vec3(-1, 1, 0));
    m->vertexAdd(vec3(-1, -1, 0));
    m->vertexAdd(vec3(1, -1, 0));
    m->vertexAdd(vec3(1, 1, 0));
    m->faceAdd(0, 1, 2);
    m->faceAdd(0, 3, 4);
    finish(*m);
    return m;
}

Mesh* makeHexagon(const std::vector<int>& sharpSpokes) {
    Mesh* m = new Mesh();
    m->vertexAdd(vec3(0, 0, 0));
    for (int i = 0; i < 6; ++i) {
        const double a = M_PI / 3.0 * i;
        m->vertexAdd(vec3(float(std::cos(a)), float(std::sin(a)), 0.0f));
    }
    for (int j = 0; j < 6; ++j) m->faceAdd(0, j + 1, (j + 1) % 6 + 1, -1, (j + 1) % 6, (j + 5) % 6, false, false, false);
    for (const int r : sharpSpokes) {
        // Spoke 0-r is edge 2 of face r-1 and edge 1 of face r-2 (mod 6).
        markSharp(*m, r - 1, (r + 4) % 6);
    }
    finish(*m);
    return m;
}

}  // namespace meshtest
