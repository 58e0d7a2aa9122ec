// The curve's sculpting operators: each selects what the brush reaches,
// accumulates the changes, applies them and clears the selection.

#include <cmath>
#include <cstddef>
#include <vector>

#include "core/geometry.h"
#include "curves/curve.h"

namespace qel {

namespace {

// Below this squared length a direction or distance counts as zero.
constexpr double kTiny2 = 1e-20;

float deformFalloff(float t) { return 1.0f - 4.0f * t * t * t + 3.0f * t * t * t * t; }
float smoothFalloff(float t) { return 1.0f - 3.0f * t * t + 2.0f * t * t * t; }

bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// M with 1 subtracted from its first three diagonal entries: applied to p it
// gives the movement M p - p.
mat4 movement(mat4 M) {
    M.m[0] -= 1.0f;
    M.m[5] -= 1.0f;
    M.m[10] -= 1.0f;
    return M;
}

// Distance from a to the line through p along the direction u (unit, or
// zero for a degenerate line).
double distanceToLine(const vec3& a, const vec3& p, const vec3& u) {
    const vec3 d = a - p;
    return length(d - u * float(dot(d, u)));
}

// channel + (target - channel) w, truncated towards zero and clamped.
std::uint16_t blendU16(std::uint16_t v, std::uint16_t target, float w) {
    const double x = std::trunc(double(v) + (double(target) - double(v)) * double(w));
    return std::uint16_t(x < 0.0 ? 0.0 : (x > 65535.0 ? 65535.0 : x));
}
std::int16_t blendS16(std::int16_t v, std::int16_t target, float w) {
    const double x = std::trunc(double(v) + (double(target) - double(v)) * double(w));
    return pbr::clampSigned(long(x < -40000.0 ? -40000.0 : (x > 40000.0 ? 40000.0 : x)));
}

void blendMaterial(pbr& to, const pbr& m, std::uint8_t mask, float w) {
    for (int c = 0; c < 3; ++c) {
        if (mask & pbr::MaskColour) to.colour[c] = blendU16(to.colour[c], m.colour[c], w);
        if (mask & pbr::MaskLight) to.light[c] = blendU16(to.light[c], m.light[c], w);
    }
    if (mask & pbr::MaskOpacity) to.colour.a = blendU16(to.colour.a, m.colour.a, w);
    if (mask & pbr::MaskThickness) to.light.a = blendU16(to.light.a, m.light.a, w);
    if (mask & pbr::MaskRoughness) to.roughness = blendS16(to.roughness, m.roughness, w);
    if (mask & pbr::MaskMetalness) to.metalness = blendS16(to.metalness, m.metalness, w);
}

}  // namespace

void Curve::selectEdgeVertices() {
    for (const int g : selectedEdges)
        for (const int v : edges[std::size_t(g)].v)
            if (validVertex(v) && !vertices[std::size_t(v)].isSelected()) {
                influences.push_back({v, 0.0f, vec3(0, 0, 0)});
                selectVertex(v);
            }
}

void Curve::deform(const vec3& a, const vec3& b, float R) {
    if (vertices.empty()) return;
    selectV(a, R, true);
    _deform(b - a);
    applyDisplacement(true, false, false);
    deselectAll();
}

void Curve::deformG(const vec3& a, const vec3& b, float R, int e) {
    selectVG(a, R, true, e);
    _deform(b - a);
    applyDisplacement(true, false, false);
    deselectAll();
}

void Curve::deformE(const vec3& a, const vec3& b, int& e) {
    selectE(a, true, e);
    selectEdgeVertices();
    _move(b - a);
    applyDisplacement(true, false, false);
    deselectAll();
}

void Curve::deformE_(const vec3& a, const vec3& b, int& e) {
    selectE_(a, true, e);
    selectEdgeVertices();
    _move(b - a);
    applyDisplacement(true, false, false);
    deselectAll();
}

void Curve::smooth(const vec3& c, float R) {
    selectV(c, R, true);
    _smooth(0.5f);
    applyDisplacement(true, true, true);
    deselectAll();
}

void Curve::smoothG(const vec3& c, const vec3&, float R, int e) {
    selectVG(c, R, true, e);
    _smooth(0.5f);
    applyDisplacement(true, true, true);
    deselectAll();
}

void Curve::radiusG(const vec3& a, const vec3& b, float R, int e) {
    e = pickedEdge(a, e);
    if (e < 0) return;
    selectVG(a, R, true, e);
    const CurveEdge& E = edges[std::size_t(e)];
    if (validVertex(E.v[0]) && validVertex(E.v[1])) {
        const vec3 p0 = vertices[std::size_t(E.v[0])].position;
        vec3 u = vertices[std::size_t(E.v[1])].position - p0;
        const double l2 = dot(u, u);
        if (l2 > kTiny2) u = u * float(1.0 / std::sqrt(l2));
        const double da = distanceToLine(a, p0, u);
        const double db = distanceToLine(b, p0, u);
        // With the brush on the edge's line there is no distance to compare.
        if (da * da > kTiny2 && std::isfinite(db)) {
            for (const CurveInfluence& i : influences) {
                if (!validVertex(i.vertex)) continue;
                const double f = 1.0 + double(deformFalloff(i.distance)) * (db - da) / da;
                vertices[std::size_t(i.vertex)].radius *= float(f);
            }
        }
    }
    deselectAll();
}

void Curve::materialG_(const vec3& c, float R, int e, const pbr& m, std::uint8_t mask, float s) {
    selectVG_(c, R, true, e);
    for (const CurveInfluence& i : influences) {
        const float w = s * smoothFalloff(i.distance);
        if (!std::isfinite(w)) continue;
        int around[2];
        const int n = edgesAround(i.vertex, around);
        for (int k = 0; k < n; ++k) {
            CurveEdge& E = edges[std::size_t(around[k])];
            const int end = E.end(i.vertex);
            if (E.isSelected() && end >= 0) blendMaterial(E.material[end], m, mask, w);
        }
    }
    deselectAll();
}

void Curve::materialE_(const vec3& c, int e, const pbr& m, std::uint8_t mask) {
    selectE_(c, true, e);
    for (const int g : selectedEdges)
        for (pbr& end : edges[std::size_t(g)].material) end.assign(m, mask);
    deselectAll();
}

void Curve::deformPoint(int v, const vec3& target) {
    if (!validVertex(v) || !finite(target)) return;
    std::vector<int> around;
    findENeighbours(v, around);
    std::vector<int> path;
    for (const int g : around) {
        influences.clear();
        path.clear();
        const int s = findNextVertexSharp(v, g, path);
        if (!validVertex(s)) continue;
        const vec3 ps = vertices[std::size_t(s)].position;
        const vec3 pv = vertices[std::size_t(v)].position;
        // A placed point on top of its sharp neighbour gives that side no
        // direction to turn.
        if (!(length2(pv - ps) > kTiny2)) continue;
        for (const int x : path) {
            if (!validVertex(x)) continue;
            if (!vertices[std::size_t(x)].isSelected()) selectVertex(x);
            influences.push_back({x, 0.0f, vec3(0, 0, 0)});
        }
        _transform(movement(mat4::RotationScaleCenter(ps, pv, target)));
    }
    applyDisplacement(true, false, false);
    deselectAll();
}

int Curve::cutPoint(const vec3& p, int e) {
    e = pickedEdge(p, e);
    if (e < 0) return -1;
    return edgeSplit(e, p, true);
}

bool Curve::selectScope(const vec3& a, int e, Sculptor::TSelect sel, vec3& c) {
    if (sel == Sculptor::SelectPatch || sel == Sculptor::SelectComponent) {
        if (sel == Sculptor::SelectPatch)
            selectE_(a, true, e);
        else
            selectE(a, true, e);
        selectEdgeVertices();
        dvec3 sum(0, 0, 0);
        for (const int v : selectedVertices) sum = sum + dvec3(vertices[std::size_t(v)].position);
        if (selectedVertices.empty()) return false;
        const double n = double(selectedVertices.size());
        c = vec3(float(sum.x / n), float(sum.y / n), float(sum.z / n));
    } else {
        selectAllV();
        c = centre;
    }
    return !selectedVertices.empty();
}

void Curve::scale(const vec3& a, const vec3& b, int e, const Sculptor::TSelect& sel, bool uniform) {
    if (a == b) return;
    vec3 c;
    if (selectScope(a, e, sel, c)) {
        bool changed = false;
        if (uniform) {
            // A start sample at the centre gives no ratio of distances.
            const double la = length2(a - c);
            if (la > kTiny2) {
                _scale(c, float(std::sqrt(length2(b - c) / la)));
                changed = true;
            }
        } else {
            const vec3 d = b - a;
            const double num = dot(b - c, d);
            const double den = dot(a - c, d);
            if (!(2.0 * std::fabs(num) <= std::fabs(den) || 2.0 * std::fabs(den) <= std::fabs(num))) {
                _scale(c, d, float(num / den));
                changed = true;
            }
        }
        if (changed) applyDisplacement(true, false, false);
    }
    deselectAll();
}

void Curve::rotate(const vec3& a, const vec3& b, int e, const Sculptor::TSelect& sel, const vec3& axis) {
    if (a == b) return;
    vec3 c;
    if (selectScope(a, e, sel, c)) {
        mat4 R;
        if (axis == vec3(0, 0, 0)) {
            R = mat4::Rotation(a - c, b - c);
        } else {
            const vec3 u = normalize(axis);
            const vec3 ac = a - c;
            const vec3 bc = b - c;
            R = mat4::Rotation(ac - u * float(dot(ac, u)), bc - u * float(dot(bc, u)));
        }
        const mat4 M = mat4::Translation(c) * R * mat4::Translation(vec3(0, 0, 0) - c);
        if (M.isFinite()) {
            _transform(movement(M));
            applyDisplacement(true, false, false);
        }
    }
    deselectAll();
}

void Curve::splitByPlane(const vec3& p, const vec3& n) {
    deselectAll();
    const int nv = vertexCount();
    const int ne = edgeCount();
    for (int v = 0; v < nv; ++v) {
        const CurveVertex& r = vertices[std::size_t(v)];
        if (r.isActive() && dot(r.position - p, n) > 0.0) selectVertex(v);
    }
    // The crossing edges first, so that the arrays grow once, by what the
    // splits need.
    std::vector<int> crossing;
    for (int g = 0; g < ne; ++g) {
        const CurveEdge& E = edges[std::size_t(g)];
        if (!E.isActive() || !validVertex(E.v[0]) || !validVertex(E.v[1])) continue;
        if (vertices[std::size_t(E.v[0])].isSelected() != vertices[std::size_t(E.v[1])].isSelected())
            crossing.push_back(g);
    }
    vertices.reserve(vertices.size() + crossing.size());
    edges.reserve(edges.size() + crossing.size());
    for (const int g : crossing) {
        const CurveEdge& E = edges[std::size_t(g)];
        const dvec3 X =
            CalculateIntersectionPlaneSegment(dvec3(p), dvec3(n), dvec3(vertices[std::size_t(E.v[0])].position),
                                              dvec3(vertices[std::size_t(E.v[1])].position));
        edgeSplit(g, vec3(float(X.x), float(X.y), float(X.z)), true);
    }
}

void Curve::cutPlane(const vec3& p, const vec3& n) {
    splitByPlane(p, n);
    deselectAll();
}

void Curve::clipPlane(const vec3& p, const vec3& n) {
    splitByPlane(p, n);
    // Collect the edges at the selected vertices once, marking them selected.
    int around[2];
    for (std::size_t k = 0; k < selectedVertices.size(); ++k) {
        const int count = edgesAround(selectedVertices[k], around);
        for (int j = 0; j < count; ++j) {
            CurveEdge& E = edges[std::size_t(around[j])];
            if (E.isSelected()) continue;
            E.flags |= CurveEdge::SelectedBit;
            selectedEdges.push_back(around[j]);
        }
    }
    for (const int g : selectedEdges)
        if (activeEdge(g)) edgeErase(g);
    deselectAll();
    removeInactive(false);
}

void Curve::eraseE(const vec3& p, int e) {
    selectE(p, true, e);
    for (const int g : selectedEdges) {
        CurveEdge& E = edges[std::size_t(g)];
        E.flags = std::uint8_t(E.flags & ~CurveEdge::ActiveBit);
        for (const int v : E.v)
            if (validVertex(v)) vertices[std::size_t(v)].setFlag(CurveVertex::ActiveBit, false);
    }
    deselectAll();
    removeInactive(true);
}

void Curve::eraseE_(const vec3& p, int e) {
    selectE_(p, true, e);
    for (const int g : selectedEdges) edgeErase(g);
    deselectAll();
    removeInactive(false);
}

}  // namespace qel
