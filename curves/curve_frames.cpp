// Sweep frames of qel::Curve: edge directions and normals carried along each
// chain by parallel transport, and the mitred frame at a vertex.

#include <cmath>
#include <cstdint>
#include <vector>

#include "curves/curve.h"

namespace qel {

namespace {

vec3 positionOf(const std::vector<CurveVertex>& vertices, int v) {
    return v >= 0 && std::size_t(v) < vertices.size() ? vertices[std::size_t(v)].position : vec3(0, 0, 0);
}

float angleOf(const std::vector<CurveVertex>& vertices, int v) {
    return v >= 0 && std::size_t(v) < vertices.size() ? vertices[std::size_t(v)].angle : 0.0f;
}

// The neighbour of E that is not `from`: neighbour 1 when neighbour 0 is
// `from`, neighbour 0 when neighbour 1 is; otherwise neighbour 1 unless it is
// none and neighbour 0 is an edge.
int stepFrom(const CurveEdge& E, int from, int nE) {
    const int n0 = E.n[0] >= 0 && E.n[0] < nE ? E.n[0] : -1;
    const int n1 = E.n[1] >= 0 && E.n[1] < nE ? E.n[1] : -1;
    if (n0 == from) return n1;
    if (n1 == from) return n0;
    return (n1 < 0 && n0 >= 0) ? n0 : n1;
}

}  // namespace

void Curve::calculateOrientations(bool force) {
    if (orientationsValid && !force) return;
    const int nE = edgeCount();
    // The walks keep their visited marks apart from the flags, so that a
    // selected edge is oriented like any other and keeps its selection.
    std::vector<std::uint8_t> visited(static_cast<std::size_t>(nE), 0);
    std::vector<int> walk;
    for (int i = 0; i < nE; ++i) {
        if (visited[std::size_t(i)] || !edges[std::size_t(i)].isActive()) continue;
        // The start of i's chain and the first edge after it.
        const CurveEdge& I = edges[std::size_t(i)];
        int came = I.n[1] != -1 ? I.n[1] : I.n[0];
        if (!validEdge(came)) came = -1;
        int cur = i, start = i, after = -1;
        bool closed = false;
        for (int step = 0;; ++step) {
            const int next = stepFrom(edges[std::size_t(cur)], came, nE);
            if (next == -1 || step >= nE || (next != i && visited[std::size_t(next)])) {
                start = cur;
                after = came;
                break;
            }
            if (next == i) {
                closed = true;
                start = i;
                after = cur;
                break;
            }
            came = cur;
            cur = next;
        }
        // Forward from the start: directions and transported normals.
        walk.clear();
        int prev = -1, e = start, next = after;
        for (int k = 0; e != -1 && k < nE; ++k) {
            visited[std::size_t(e)] = 1;
            walk.push_back(e);
            CurveEdge& E = edges[std::size_t(e)];
            const int s = E.n[0] == next ? 0 : (E.n[1] == next ? 1 : (next == -1 ? 0 : 1));
            const vec3 d = normalize(positionOf(vertices, E.v[s]) - positionOf(vertices, E.v[1 - s]));
            E.direction = d;
            if (k == 0) {
                const mat3 F = mat3::FrameXZ(vec3(0, 0, 1), d);
                E.normal = normalize(cross(d, F.column(1)));
            } else {
                const CurveEdge& P = edges[std::size_t(prev)];
                const mat3 R = mat3::Rotation(P.direction, d);
                const mat3 T =
                    mat3::RotationAroundAxis(d, 0.5f * (angleOf(vertices, E.v[0]) + angleOf(vertices, E.v[1])));
                E.normal = normalize(T * (R * P.normal));
            }
            if (next == -1 || next == start || !validEdge(next) || visited[std::size_t(next)]) break;
            const int following = stepFrom(edges[std::size_t(next)], e, nE);
            prev = e;
            e = next;
            next = following;
        }
        if (!closed || walk.size() < 2) continue;
        // Spread the twist left over at the closure evenly along the loop.
        const CurveEdge& S = edges[std::size_t(walk.front())];
        const CurveEdge& L = edges[std::size_t(walk.back())];
        const mat3 R = mat3::Rotation(L.direction, S.direction);
        const mat3 T =
            mat3::RotationAroundAxis(S.direction, 0.5f * (angleOf(vertices, S.v[0]) + angleOf(vertices, S.v[1])));
        const vec3 carried = normalize(T * (R * L.normal));
        const double phi = std::atan2(dot(S.direction, cross(carried, S.normal)), dot(carried, S.normal));
        const double m = double(walk.size());
        for (std::size_t j = 1; j < walk.size(); ++j) {
            CurveEdge& E = edges[std::size_t(walk[j])];
            const double a = phi * double(j) / m;
            E.normal = E.normal * float(std::cos(a)) + cross(E.direction, E.normal) * float(std::sin(a));
        }
    }
    orientationsValid = 1;
}

mat3 Curve::vertexFrame(int v) const {
    int around[2];
    const int n = edgesAround(v, around);
    if (n == 0) return mat3::Identity();
    const float r = vertices[std::size_t(v)].radius;
    const CurveEdge& A = edges[std::size_t(around[0])];
    if (n == 1) {
        mat3 M;
        M.setColumn(0, A.normal * r);
        M.setColumn(1, cross(A.direction, A.normal) * r);
        M.setColumn(2, A.direction * r);
        return M;
    }
    const CurveEdge& B = edges[std::size_t(around[1])];
    const double c = dot(A.direction, B.direction);
    const double half = std::fabs(c) < 1.0 ? 0.5 * std::atan2(std::sqrt(1.0 - c * c), c) : 0.0;
    const mat3 F = mat3::FrameXZ(A.normal + B.normal, A.direction + B.direction);
    const mat3 S = mat3::Scale(A.direction - B.direction, float(1.0 / std::cos(half) - 1.0));
    return S * (F * r);
}

}  // namespace qel
