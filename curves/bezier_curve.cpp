// The Bezier curve: its records, the cubic between two end directions and
// its empty record.

#include "curves/bezier_curve.h"

#include <algorithm>
#include <cmath>

#include "gl/buffer.h"

namespace qel {

namespace {

bool within(const vec3& a, const vec3& b, float tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

}  // namespace

BezierCurve::BezierCurve(const vec3& a, const vec3& b, int n) : Curve(Plain) {
    init();
    setup(a, b, initialLength, n);
}

BezierCurve::BezierCurve(buffer& b) : Curve(Plain) {
    init();
    DataRead(b);
    setup(vec3(0, 0, 0), vec3(0, 0, 0), -1.0f, DefaultEdges);
}

BezierCurve::BezierCurve(const BezierCurve& o)
    : Curve(o),
      initialLength(o.initialLength),
      currentLength(o.currentLength),
      startDirection(o.startDirection),
      endDirection(o.endDirection),
      laidEdges_(o.laidEdges_) {}

void BezierCurve::setup(const vec3& a, const vec3& b, float length, int n) {
    // A curve without edges has no count to keep: it gets the default one
    // rather than a division by zero below.
    if (n <= 0 && edges.empty()) n = DefaultEdges;
    // Edits made through the curve's own operations (closing, clipping,
    // collapsing, subdividing) leave records that are no longer the chain
    // laid out by index: they are rebuilt with the count of edges kept.
    const bool repaired = n <= 0 && !isLaidChain();
    if (repaired) n = std::max(activeEdgeCount(), 1);
    if (n > 0) rebuildRecords(n);
    const vec3 ua = normalize(a);
    const vec3 ub = normalize(b);
    // Repaired records hold no shape yet, and an edit that kept the chain
    // but not its count (a clip that cut its end off) left it short.
    const bool stale = repaired || (n <= 0 && edgeCount() != laidEdges_);
    if (!stale && unchanged(ua, ub, length)) return;
    currentLength = length;
    // Only a positive length can be the rest length the arms are scaled by.
    if (initialLength < 0.0f && length > 0.0f) initialLength = length;
    startDirection = ua;
    endDirection = ub;
    layOut(ua, ub);
    calculateOrientations(true);
    forceEndFrames(ua, ub);
    modified = 1;  // a curve drawn as lines uploads the new positions
    // Stamped, not touched: touch() would invalidate the frames forced above.
    updateStamp = GlobalUpdate;
}

void BezierCurve::rebuildRecords(int n) {
    vertices.resize(std::size_t(n) + 1);
    edges.resize(std::size_t(n));
    for (int i = 0; i <= n; ++i) {
        CurveVertex& v = vertices[std::size_t(i)];
        v.flags = CurveVertex::ActiveBit;
        v.selection = -1;
        v.edge = std::min(i, n - 1);
    }
    const std::uint8_t endBits = CurveVertex::SharpBit | CurveVertex::EndBit;
    vertices.front().flags |= endBits;
    vertices.back().flags |= endBits;
    for (int i = 0; i < n; ++i) {
        CurveEdge e(i, i + 1, i - 1, i + 1 < n ? i + 1 : -1, i == 0, i == n - 1);
        edges[std::size_t(i)] = e;
    }
    // The selection lists named records of the old layout; the bits are
    // gone with the rewrite above.
    selectedVertices.clear();
    selectedEdges.clear();
    deselectAll();
    pendingRemoval = 0;
    reallocate = 1;
}

bool BezierCurve::isLaidChain() const {
    const int n = int(edges.size());
    if (n == 0 || vertices.size() != std::size_t(n) + 1 || pendingRemoval) return false;
    for (int i = 0; i < n; ++i) {
        const CurveEdge& e = edges[std::size_t(i)];
        if (!e.isActive() || e.v[0] != i || e.v[1] != i + 1 || e.n[0] != i - 1 || e.n[1] != (i + 1 < n ? i + 1 : -1))
            return false;
    }
    for (const CurveVertex& v : vertices)
        if (!v.isActive()) return false;
    return true;
}

int BezierCurve::activeEdgeCount() const {
    int count = 0;
    for (const CurveEdge& e : edges) count += e.isActive() ? 1 : 0;
    return count;
}

bool BezierCurve::unchanged(const vec3& a, const vec3& b, float length) const {
    const float c = currentLength;
    const float rel = (length - c) / std::max({length, c, 1e-5f});
    return std::fabs(rel) <= 0.01f && within(a, startDirection, 0.01f) && within(b, endDirection, 0.01f);
}

void BezierCurve::layOut(const vec3& a, const vec3& b) {
    // Arms of a third of the chord at the rest length: longer when the
    // curve is compressed (it bulges), shorter when stretched.
    const bool measured = initialLength > 0.0f && currentLength > 0.0f;
    float k = (measured ? initialLength / currentLength : 1.0f) / 3.0f;
    // A ratio beyond the float range would lay every vertex at infinity.
    if (!std::isfinite(k)) k = 1.0f / 3.0f;
    const vec3 p1 = a * k;
    const vec3 p3(0, 0, 1);
    const vec3 p2 = p3 + b * k;
    // Vertex i stands at t = i / m: only vertices the records hold are laid.
    const int m = edgeCount();
    const int last = std::min(m, vertexCount() - 1);
    laidEdges_ = m;
    for (int i = 0; i <= last; ++i) {
        const float t = float(i) / float(m);
        const float s = 1.0f - t;
        vertices[std::size_t(i)].position = (3.0f * s * s * t) * p1 + (3.0f * s * t * t) * p2 + (t * t * t) * p3;
    }
}

void BezierCurve::forceEndFrames(const vec3& a, const vec3& b) {
    const auto along = [](CurveEdge& e, const vec3& d, const vec3& axis) {
        e.direction = d;
        e.normal = normalize(e.normal - axis * float(dot(e.normal, axis)));
    };
    along(edges.front(), a, a);
    along(edges.back(), -b, b);
}

BezierCurve* BezierCurve::copy() {
    if (refCount == 0) {
        refCount = 1;
        return this;
    }
    const float l = initialLength;
    const float m = float(edgeCount());
    auto* c = new BezierCurve(vec3(l, l, l), vec3(m, m, m), DefaultEdges);
    c->refCount = 1;
    return c;
}

BezierCurve* BezierCurve::clone() { return new BezierCurve(*this); }

void BezierCurve::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& normal, bool, bool,
                             bool, bool, bool, bool, int, std::vector<vec3>& points, std::vector<mat3>& frames,
                             std::vector<float>& scales, int, bool) {
    list.clear();
    points.push_back(point);
    frames.push_back(mat3::Frame(normal));
    scales.push_back(1.0f);
}

void BezierCurve::sculpt(std::vector<Sculptor*>&) {}

void BezierCurve::DataWrite(buffer& b) {
    b.writeU32(RecordTag);
    b.writeU32(0);
}

void BezierCurve::DataRead(buffer&) {}

}  // namespace qel
