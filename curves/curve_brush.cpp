// Brush selection of a curve's vertices and the pending changes that the
// sculpting operators accumulate over it before applying them.

#include <cmath>
#include <cstddef>
#include <limits>

#include "curves/curve.h"

namespace qel {

namespace {

float deformFalloff(float t) { return 1.0f - 4.0f * t * t * t + 3.0f * t * t * t * t; }
float smoothFalloff(float t) { return 1.0f - 3.0f * t * t + 2.0f * t * t * t; }

// A brush radius that can measure distances.
bool usableRadius(float R) { return R > 0.0f && std::isfinite(R); }

}  // namespace

void Curve::selectVertex(int v) {
    CurveVertex& r = vertices[std::size_t(v)];
    r.setFlag(CurveVertex::SelectedBit, true);
    r.selection = int(selectedVertices.size());
    selectedVertices.push_back(v);
}

void Curve::selectV(const vec3& c, float R, bool clear) {
    if (clear) deselectAll();
    influences.clear();
    if (!usableRadius(R)) return;
    const double R2 = double(R) * double(R);
    const int n = vertexCount();
    for (int v = 0; v < n; ++v) {
        const CurveVertex& r = vertices[std::size_t(v)];
        if (!r.isActive()) continue;
        const vec3 d = r.position - c;
        if (std::fabs(d.x) > R || std::fabs(d.y) > R || std::fabs(d.z) > R) continue;
        const double d2 = dot(d, d);
        if (d2 > R2) continue;
        influences.push_back({v, float(std::sqrt(d2) / double(R)), d});
        if (!r.isSelected()) selectVertex(v);
    }
}

int Curve::pickedEdge(const vec3& p, int e) const { return activeEdge(e) ? e : findFirstEdge(p); }

void Curve::selectVG(const vec3& c, float R, bool clear, int e) {
    selectAlongChain(c, R, clear, e, CurveVertex::EndBit);
}

void Curve::selectVG_(const vec3& c, float R, bool clear, int e) {
    selectAlongChain(c, R, clear, e, CurveVertex::SharpBit);
}

void Curve::selectAlongChain(const vec3& c, float R, bool clear, int e, std::uint8_t stopBits) {
    e = pickedEdge(c, e);
    if (e < 0) return;
    if (clear) deselectAll();
    influences.clear();
    if (!usableRadius(R)) return;
    // A walk never takes more steps than there are edges, whatever the links.
    const std::size_t maxSteps = edges.size();
    for (int firstSide = 0; firstSide < 2; ++firstSide) {
        int g = e;
        int side = firstSide;
        float t = 0.0f;
        vec3 previous = c;
        for (std::size_t step = 0; step < maxSteps; ++step) {
            CurveEdge& E = edges[std::size_t(g)];
            E.flags |= CurveEdge::SelectedBit;
            selectedEdges.push_back(g);
            const int w = E.v[side];
            if (!validVertex(w)) break;
            CurveVertex& W = vertices[std::size_t(w)];
            t += float(length(W.position - previous) / double(R));
            if (!(t <= 1.0f)) break;
            if (!W.isSelected()) {
                influences.push_back({w, t, vec3(0, 0, 0)});
                selectVertex(w);
            } else {
                const std::size_t slot = std::size_t(W.selection);
                if (W.selection < 0 || slot >= influences.size() || influences[slot].vertex != w) break;
                if (influences[slot].distance <= t) break;
                influences[slot].distance = t;
            }
            if ((W.flags & stopBits) != 0) break;
            const int next = link(E, side);
            if (!activeEdge(next)) break;
            const int end = edges[std::size_t(next)].end(w);
            if (end < 0) break;
            g = next;
            side = 1 - end;
            previous = W.position;
        }
    }
}

void Curve::selectAllV() {
    deselectAll();
    const int n = vertexCount();
    selectedVertices.resize(std::size_t(n));
    influences.resize(std::size_t(n));
    for (int v = 0; v < n; ++v) {
        selectedVertices[std::size_t(v)] = v;
        vertices[std::size_t(v)].selection = v;
        influences[std::size_t(v)] = {v, 0.0f, vec3(0, 0, 0)};
    }
}

void Curve::selectAll() {
    selectAllV();
    const int n = edgeCount();
    selectedEdges.resize(std::size_t(n));
    for (int e = 0; e < n; ++e) selectedEdges[std::size_t(e)] = e;
}

int Curve::findFirstEdge(const vec3& p) const {
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    const int ne = edgeCount();
    for (int e = 0; e < ne; ++e) {
        const CurveEdge& E = edges[std::size_t(e)];
        if (!E.isActive() || !validVertex(E.v[0]) || !validVertex(E.v[1])) continue;
        const dvec3 a(vertices[std::size_t(E.v[0])].position);
        const dvec3 b(vertices[std::size_t(E.v[1])].position);
        const dvec3 q(p);
        const dvec3 ab = b - a;
        const double l2 = dot(ab, ab);
        if (l2 == 0.0 || dot(q - a, ab) < 0.0 || dot(b - q, ab) < 0.0) continue;
        const dvec3 x = cross(q - a, ab);
        const double d2 = dot(x, x) / l2;
        if (d2 < bestDistance) {
            bestDistance = d2;
            best = e;
        }
    }
    if (best >= 0) return best;
    int nearest = -1;
    bestDistance = std::numeric_limits<double>::infinity();
    const int nv = vertexCount();
    for (int v = 0; v < nv; ++v) {
        const CurveVertex& r = vertices[std::size_t(v)];
        if (!r.isActive()) continue;
        const double d2 = length2(r.position - p);
        if (nearest < 0 || d2 < bestDistance) {
            bestDistance = d2;
            nearest = v;
        }
    }
    if (nearest < 0) return -1;
    const int e = vertices[std::size_t(nearest)].edge;
    return activeEdge(e) ? e : -1;
}

namespace {

// The selection slot of an influence entry's vertex, -1 when it names no
// pending change.
int slotOf(const std::vector<CurveVertex>& vertices, const CurveInfluence& i, std::size_t listLength) {
    if (i.vertex < 0 || std::size_t(i.vertex) >= vertices.size()) return -1;
    const int s = vertices[std::size_t(i.vertex)].selection;
    return (s >= 0 && std::size_t(s) < listLength) ? s : -1;
}

}  // namespace

void Curve::_deform(const vec3& d) {
    positionChanges.resize(selectedVertices.size());
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s >= 0) positionChanges[std::size_t(s)] += d * deformFalloff(i.distance);
    }
}

void Curve::_move(const vec3& d) {
    positionChanges.resize(selectedVertices.size());
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s >= 0) positionChanges[std::size_t(s)] += d;
    }
}

void Curve::_smooth(float strength) {
    positionChanges.resize(selectedVertices.size());
    radiusChanges.resize(selectedVertices.size());
    angleChanges.resize(selectedVertices.size());
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s < 0) continue;
        const float w = strength * smoothFalloff(i.distance);
        const CurveVertex& r = vertices[std::size_t(i.vertex)];
        positionChanges[std::size_t(s)] += (vertexSmoothPosition(i.vertex) - r.position) * w;
        radiusChanges[std::size_t(s)] += (vertexSmoothRadius(i.vertex) - r.radius) * w;
        angleChanges[std::size_t(s)] += (vertexSmoothAngle(i.vertex) - r.angle) * w;
    }
}

void Curve::_scale(const vec3& c, float factor) {
    positionChanges.resize(selectedVertices.size());
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s >= 0) positionChanges[std::size_t(s)] = (vertices[std::size_t(i.vertex)].position - c) * (factor - 1.0f);
    }
}

void Curve::_scale(const vec3& c, const vec3& d, float factor) {
    positionChanges.resize(selectedVertices.size());
    const vec3 u = normalize(d);
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s < 0) continue;
        const float along = float(dot(vertices[std::size_t(i.vertex)].position - c, u));
        positionChanges[std::size_t(s)] = u * (along * (factor - 1.0f));
    }
}

void Curve::_transform(const mat4& M) {
    positionChanges.resize(selectedVertices.size());
    for (const CurveInfluence& i : influences) {
        const int s = slotOf(vertices, i, positionChanges.size());
        if (s >= 0) positionChanges[std::size_t(s)] = M.transformProject(vertices[std::size_t(i.vertex)].position);
    }
}

void Curve::applyDisplacement(bool position, bool radius, bool angle) {
    for (std::size_t k = 0; k < selectedVertices.size(); ++k) {
        const int v = selectedVertices[k];
        if (!validVertex(v)) continue;
        CurveVertex& r = vertices[std::size_t(v)];
        if (position && k < positionChanges.size()) r.position += positionChanges[k];
        if (radius && k < radiusChanges.size()) r.radius += radiusChanges[k];
        if (angle && k < angleChanges.size()) r.angle += angleChanges[k];
        r.orientation = vec3(0, 0, 0);
    }
}

}  // namespace qel
