#include "mesh_measure_util.h"

#include <algorithm>
#include <cmath>

namespace meshtest {

namespace {

qel::dvec3 position(const qel::Mesh& m, int v) { return qel::dvec3(m.vertices[v].position); }

}  // namespace

double enclosedVolume(const qel::Mesh& m) {
    double volume = 0.0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const qel::MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        volume += qel::dot(position(m, F.v[0]), qel::cross(position(m, F.v[1]), position(m, F.v[2]))) / 6.0;
    }
    return volume;
}

double surfaceArea(const qel::Mesh& m) {
    double area = 0.0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const qel::MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        const qel::dvec3 a = position(m, F.v[0]);
        const qel::dvec3 n = qel::cross(position(m, F.v[1]) - a, position(m, F.v[2]) - a);
        area += 0.5 * std::sqrt(qel::dot(n, n));
    }
    return area;
}

bool isClosed(const qel::Mesh& m) { return openEdgeCount(m) == 0; }

int sharpEdgeCount(const qel::Mesh& m) {
    int count = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const qel::MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k)
            if (F.isSharp(k) && (F.f[k] < 0 || F.f[k] > f)) ++count;
    }
    return count;
}

int openEdgeCount(const qel::Mesh& m) {
    int count = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const qel::MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k)
            if (F.f[k] < 0) ++count;
    }
    return count;
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

}  // namespace meshtest
