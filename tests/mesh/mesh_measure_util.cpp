#include "mesh_measure_util.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace meshtest {

namespace {

qel::dvec3 position(const qel::Mesh& m, int v) { return qel::dvec3(m.vertices[v].position); }

// Calls fn(F, f) for every active face.
template <class Fn> void forFaces(const qel::Mesh& m, Fn fn) {
    for (int f = 0; f < m.faceCount(); ++f)
        if (m.faces[f].isActive()) fn(m.faces[f], f);
}

}  // namespace

double enclosedVolume(const qel::Mesh& m) {
    double volume = 0.0;
    forFaces(m, [&](const qel::MeshFace& F, int) {
        volume += qel::dot(position(m, F.v[0]), qel::cross(position(m, F.v[1]), position(m, F.v[2]))) / 6.0;
    });
    return volume;
}

double surfaceArea(const qel::Mesh& m) {
    double area = 0.0;
    forFaces(m, [&](const qel::MeshFace& F, int) {
        const qel::dvec3 a = position(m, F.v[0]);
        const qel::dvec3 n = qel::cross(position(m, F.v[1]) - a, position(m, F.v[2]) - a);
        area += 0.5 * std::sqrt(qel::dot(n, n));
    });
    return area;
}

int openEdgeCount(const qel::Mesh& m) {
    int count = 0;
    forFaces(m, [&](const qel::MeshFace& F, int) {
        for (int k = 0; k < 3; ++k) count += F.f[k] < 0 ? 1 : 0;
    });
    return count;
}

int sharpEdgeCount(const qel::Mesh& m) {
    int count = 0;
    forFaces(m, [&](const qel::MeshFace& F, int f) {
        for (int k = 0; k < 3; ++k) count += F.isSharp(k) && (F.f[k] < 0 || F.f[k] > f) ? 1 : 0;
    });
    return count;
}

int edgeMark(const qel::Mesh& m, int a, int b) {
    int f = -1, k = -1;
    if (!m.findEdge(a, b, f, k) && !m.findEdge(b, a, f, k)) return -1;
    return m.faces[f].isSharp(k) ? 1 : 0;
}

void zRange(const qel::Mesh& m, float& lo, float& hi) {
    bool any = false;
    lo = hi = 0.0f;
    for (int v = 0; v < m.vertexCount(); ++v) {
        if (!m.vertices[v].isActive()) continue;
        const float z = m.vertices[v].position.z;
        lo = any ? std::min(lo, z) : z;
        hi = any ? std::max(hi, z) : z;
        any = true;
    }
}

int offWholePass(const qel::Mesh& m) {
    qel::Mesh whole(m);
    whole.calculateNormals(2);
    int differ = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        differ += std::memcmp(&m.faces[f].normal, &whole.faces[f].normal, 4 * sizeof(qel::vec3)) != 0;
    return differ;
}

}  // namespace meshtest
