// Smoothing, sharp flags, subdivision of qel::Curve, and the chain reaching
// of the curve module. Sharp vertices are the fixed points of every
// smoothing; a vertex without neighbours keeps its own values.

#include <cmath>
#include <cstdint>
#include <vector>

#include "curves/curve.h"

namespace qel {

namespace {
constexpr double Pi = 3.14159265358979323846;
}  // namespace

// ---------------------------------------------------------------------------
// Per-vertex rules

vec3 Curve::vertexSmoothPosition(int v) const {
    if (!validVertex(v)) return vec3(0, 0, 0);
    const CurveVertex& r = vertices[std::size_t(v)];
    int around[2];
    const int n = r.isSharp() ? 0 : verticesAround(v, around);
    if (n == 0) return r.position;
    vec3 sum(0, 0, 0);
    for (int i = 0; i < n; ++i) sum += vertices[std::size_t(around[i])].position;
    return sum / float(n);
}

vec3 Curve::vertexTangentialSmoothPosition(int v) const {
    if (!validVertex(v)) return vec3(0, 0, 0);
    const CurveVertex& r = vertices[std::size_t(v)];
    int around[2];
    if (r.isSharp() || verticesAround(v, around) < 2) return r.position;
    const vec3& a = vertices[std::size_t(around[0])].position;
    const vec3& b = vertices[std::size_t(around[1])].position;
    const vec3 p = r.position;
    const vec3 m = (a + b) * 0.5f;
    const vec3 t = normalize(a - b);
    return p + t * float(dot(m - p, t));
}

namespace {

// Mean of a per-vertex value over the neighbours; own value without them.
template <class Get>
float neighbourMean(int v, int n, const int (&around)[2], Get get) {
    if (n == 0) return get(v);
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum += get(around[i]);
    return sum / float(n);
}

}  // namespace

float Curve::vertexSmoothRadius(int v) const {
    if (!validVertex(v)) return 1.0f;
    int around[2];
    const int n = verticesAround(v, around);
    return neighbourMean(v, n, around, [this](int i) { return vertices[std::size_t(i)].radius; });
}

float Curve::vertexSmoothAngle(int v) const {
    if (!validVertex(v)) return 0.0f;
    int around[2];
    const int n = verticesAround(v, around);
    return neighbourMean(v, n, around, [this](int i) { return vertices[std::size_t(i)].angle; });
}

// ---------------------------------------------------------------------------
// Whole-curve smoothing

void Curve::smoothAll() {
    const std::size_t nV = vertices.size();
    std::vector<vec3> position(nV);
    std::vector<float> radius(nV);
    for (std::size_t v = 0; v < nV; ++v) {
        if (!vertices[v].isActive()) continue;
        position[v] = vertexTangentialSmoothPosition(int(v));
        radius[v] = vertexSmoothRadius(int(v));
    }
    for (std::size_t v = 0; v < nV; ++v) {
        CurveVertex& r = vertices[v];
        if (!r.isActive()) continue;
        r.position = (r.position + position[v]) * 0.5f;
        r.radius = (r.radius + radius[v]) * 0.5f;
    }
}

void Curve::spherize() {
    const float half = size() * 0.5f;
    for (CurveVertex& r : vertices) r.position = centre + normalize(r.position - centre) * half;
}

// ---------------------------------------------------------------------------
// Sharp flags

void Curve::edgeEndsFollowVertices() {
    const int nV = vertexCount();
    for (CurveEdge& E : edges)
        for (int k = 0; k < 2; ++k)
            if (E.v[k] >= 0 && E.v[k] < nV) E.setSharp(k, vertices[std::size_t(E.v[k])].isSharp());
}

void Curve::makeSharp() {
    for (CurveVertex& r : vertices) r.flags |= CurveVertex::SharpBit;
    for (CurveEdge& E : edges) E.flags |= CurveEdge::SharpMask;
}

void Curve::makeSmooth() {
    // The ends of open chains stay sharp, and so do the edge ends there: an
    // open end is sharp by the connectivity rules.
    for (CurveVertex& r : vertices)
        if (!r.isEnd()) r.setFlag(CurveVertex::SharpBit, false);
    edgeEndsFollowVertices();
}

void Curve::makeSharp(float degrees) {
    makeSmooth();
    const double c = std::cos(double(degrees) * Pi / 180.0);
    for (int v = 0; v < vertexCount(); ++v) {
        int around[2];
        if (verticesAround(v, around) != 2) continue;
        CurveVertex& r = vertices[std::size_t(v)];
        const vec3& a = vertices[std::size_t(around[0])].position;
        const vec3& b = vertices[std::size_t(around[1])].position;
        const bool sharp = c > dot(b - r.position, r.position - a);
        r.setFlag(CurveVertex::SharpBit, sharp || r.isEnd());
    }
    edgeEndsFollowVertices();
}

// ---------------------------------------------------------------------------
// Subdivision

bool Curve::subdivide(bool smooth) {
    const int nE = edgeCount();
    const int nV = vertexCount();
    // Only the live edges are split: a midpoint on an edge already erased
    // would be an active vertex on dead links. Room for every split first.
    std::size_t live = 0;
    for (const CurveEdge& E : edges) live += E.isActive() ? 1 : 0;
    vertices.reserve(vertices.size() + live);
    edges.reserve(edges.size() + live);
    for (int e = 0; e < nE; ++e)
        if (activeEdge(e)) edgeSplit(e);
    if (smooth) {
        std::vector<vec3> target(static_cast<std::size_t>(nV));
        for (int v = 0; v < nV; ++v)
            if (vertices[std::size_t(v)].isActive()) target[std::size_t(v)] = vertexSmoothPosition(v);
        for (int v = 0; v < nV; ++v) {
            CurveVertex& r = vertices[std::size_t(v)];
            if (r.isActive()) r.position = (r.position + target[std::size_t(v)]) * 0.5f;
        }
    }
    for (CurveVertex& r : vertices) r.angle *= 0.5f;
    // New edges have no sweep frames yet: they are computed again.
    touch();
    return true;
}

// ---------------------------------------------------------------------------
// Chain reaching

void reachTarget(std::vector<vec3>& points, const vec3& target, int iterations) {
    const std::size_t n = points.size();
    if (n == 0) return;
    std::vector<float> lengths(n - 1);
    for (std::size_t k = 0; k + 1 < n; ++k) lengths[k] = float(distance(points[k + 1], points[k]));
    for (int it = 0; it < iterations; ++it) {
        points[n - 1] = target;
        if (n < 2) continue;
        for (std::size_t k = n - 2; k >= 1; --k)
            points[k] = points[k + 1] + normalize(points[k] - points[k + 1]) * lengths[k];
        for (std::size_t k = 1; k < n; ++k)
            points[k] = points[k - 1] + normalize(points[k] - points[k - 1]) * lengths[k - 1];
    }
}

}  // namespace qel
