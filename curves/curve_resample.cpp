// Resampling a curve by its radii, evening its edges, closing a chain and
// appending one curve's records to another.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

#include "curves/curve.h"

namespace qel {

namespace {

constexpr std::uint8_t VisitedBit = CurveVertex::SelectedBit;

// The samples of one chain and, for each, the source edge it lies on.
struct ChainSamples {
    std::vector<dvec3> points;
    std::vector<int> sources;
    void push(const dvec3& p, int source) {
        points.push_back(p);
        sources.push_back(source);
    }
};

double length2(const dvec3& a) { return dot(a, a); }

bool finitePositions(const Curve& c) {
    for (const CurveVertex& v : c.vertices)
        if (!std::isfinite(v.position.x) || !std::isfinite(v.position.y) || !std::isfinite(v.position.z)) return false;
    return true;
}

// The root in [0, 1] of t^2 |D|^2 + 2 t (F.D) + |F|^2 - r^2: the smaller
// when it lies there, else the larger. Returns 1 for a root, 0 for roots
// outside [0, 1], -1 for no real root. A zero-length D has no root.
int segmentRoot(const dvec3& D, const dvec3& F, double r, double& t) {
    const double a = length2(D);
    if (!(a > 0.0)) return 0;
    const double b = dot(F, D);
    const double c = length2(F) - r * r;
    const double disc = b * b - a * c;
    if (disc < 0.0) return -1;
    const double s = std::sqrt(disc);
    const double t0 = (-b - s) / a, t1 = (-b + s) / a;
    if (t0 >= 0.0 && t0 <= 1.0) {
        t = t0;
        return 1;
    }
    if (t1 >= 0.0 && t1 <= 1.0) {
        t = t1;
        return 1;
    }
    return 0;
}

// The length of the chain walked from vertex first towards second, to its
// end or, closed, back to first.
double chainLength(const Curve& c, int first, int second, bool closed) {
    double length = 0.0;
    int a = first, b = second;
    for (int k = 0; k <= c.edgeCount() && b >= 0; ++k) {
        length +=
            std::sqrt(length2(dvec3(c.vertices[std::size_t(b)].position) - dvec3(c.vertices[std::size_t(a)].position)));
        if (closed && b == first) break;
        const int next = c.nextVertex(b, a);
        a = b;
        b = next;
    }
    return length;
}

}  // namespace

Curve* Curve::Uniform(float& step) {
    bool cut = false;
    return Uniform(step, MaxUniformSamples, cut);
}

Curve* Curve::Uniform(float& /*step*/, std::size_t maxSamples, bool& cut) {
    cut = false;
    auto result = std::make_unique<Curve>(Plain);
    if (edges.empty()) return result.release();
    const int maxSteps = edgeCount() + 1;
    std::size_t total = 0;
    ChainSamples chain;
    for (int u = 0; u < vertexCount() && !cut; ++u) {
        if ((vertices[std::size_t(u)].flags & (CurveVertex::ActiveBit | VisitedBit)) != CurveVertex::ActiveBit)
            continue;
        vertices[std::size_t(u)].flags |= VisitedBit;
        const int p = nextVertex(u, -1);
        if (p < 0) continue;
        // Find the chain's first vertex and the direction of the walk.
        int prev = p, cur = u, first = -1, second = -1;
        bool closed = false;
        for (int k = 0; k < maxSteps; ++k) {
            const int nx = nextVertex(cur, prev);
            if (nx < 0) {
                first = cur;
                second = prev;
                break;
            }
            if (nx == u) {
                first = u;
                second = cur;
                closed = true;
                break;
            }
            prev = cur;
            cur = nx;
        }
        if (first < 0 || second < 0) continue;
        // However thin the chain, it is cut into at most about
        // MaxChainSpacings spacings: the floor scales with the chain itself,
        // never with a stored size that may disagree with it.
        const double floorSpacing = std::max(chainLength(*this, first, second, closed) / MaxChainSpacings, 1e-12);
        auto spacing = [floorSpacing](double r) { return std::isfinite(r) && r > floorSpacing ? r : floorSpacing; };
        // The samples this chain may still make.
        const std::size_t room = maxSamples - std::min(total, maxSamples);
        if (room < 2) {
            cut = true;
            break;
        }

        chain.points.clear();
        chain.sources.clear();
        chain.push(dvec3(vertices[std::size_t(first)].position), findEdge(first, second));
        dvec3 S = chain.points.back();
        double r = spacing(vertices[std::size_t(first)].radius);
        int a = first, b = second;
        for (int k = 0; k < maxSteps && !cut; ++k) {
            vertices[std::size_t(a)].flags |= VisitedBit;
            vertices[std::size_t(b)].flags |= VisitedBit;
            const int e = findEdge(a, b);
            const dvec3 B(vertices[std::size_t(b)].position);
            for (;;) {
                double t = 0.0;
                const int found = segmentRoot(B - S, S - chain.points.back(), r, t);
                if (found == 0) break;
                if (chain.points.size() >= room) {
                    cut = true;
                    break;
                }
                if (found < 0) {
                    chain.push(S, e);
                    break;
                }
                S = S + (B - S) * t;
                chain.push(S, e);
                const CurveEdge& E = edges[std::size_t(e)];
                const double r0 = vertices[std::size_t(E.v[0])].radius, r1 = vertices[std::size_t(E.v[1])].radius;
                r = spacing(r0 + t * (r1 - r0));
            }
            if (cut) break;
            S = B;
            if (closed && b == first) break;
            const int next = nextVertex(b, a);
            if (next < 0) break;
            a = b;
            b = next;
        }
        total += chain.points.size();
        // A chain cut short ends at its last sample: it neither reaches for
        // its end nor closes.
        const dvec3 L(vertices[std::size_t(b)].position);
        if (cut) {
            closed = false;
        } else if (closed) {
            if (chain.points.size() > 1 && length2(chain.points.back() - chain.points.front()) < 0.25 * r * r) {
                chain.points.pop_back();
                chain.sources.pop_back();
            }
        } else if (length2(chain.points.back() - L) < 0.25 * r * r) {
            if (chain.points.size() > 1) chain.points.back() = L;
        } else if (chain.points.size() < room) {
            chain.push(L, chain.sources.back());
            ++total;
        } else {
            cut = true;
        }
        // A loop needs three samples to stay a simple loop.
        if (chain.points.size() < (closed ? 3u : 2u)) continue;

        std::vector<vec3> pts(chain.points.size());
        for (std::size_t i = 0; i < pts.size(); ++i) pts[i] = vec3(chain.points[i]);
        // A loop's end is its first point: pulling onto it would fold the
        // closing edge to nothing, so only open chains that got to their end
        // reach for it.
        if (!closed && !cut) reachTarget(pts, vec3(L), 10);
        Curve piece(pts, closed, Plain);
        for (int pass = 0; pass < 20; ++pass) piece.smoothAll();
        // Points near the limits of the float range can overflow in the
        // passes: such a chain is left out rather than shown as infinities.
        if (!finitePositions(piece)) continue;
        const int base = result->vertexCount();
        result->append(&piece);
        for (std::size_t i = 0; i < pts.size(); ++i) {
            CurveVertex& V = result->vertices[std::size_t(base) + i];
            const int s = chain.sources[i];
            V.selection = s;
            if (!validEdge(s)) continue;
            const CurveEdge& E = edges[std::size_t(s)];
            const CurveVertex& A = vertices[std::size_t(E.v[0])];
            const CurveVertex& Bv = vertices[std::size_t(E.v[1])];
            const double ab = length2(dvec3(Bv.position) - dvec3(A.position));
            double t = ab > 0.0 ? std::sqrt(length2(dvec3(V.position) - dvec3(A.position)) / ab) : 0.0;
            t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0);
            // In double: ends of opposite sign near the float limits would
            // overflow a float difference; the blend of two finite ends lies
            // between them and so fits a float again.
            const double ra = A.radius, rb = Bv.radius;
            V.radius = float(std::clamp(ra + (rb - ra) * t, -double(FLT_MAX), double(FLT_MAX)));
        }
    }
    for (CurveVertex& V : vertices) {
        if (!V.isActive()) continue;
        V.flags = std::uint8_t(V.flags & ~VisitedBit);
        V.selection = -1;
    }
    // initialize must not touch the selection slots that hold the sources.
    result->initialize(ResizeKeep);
    const float angle = vertices.empty() ? 0.0f : vertices[0].angle;
    for (CurveVertex& V : result->vertices) V.angle = angle;
    result->centre = centre;
    result->setSize(size());
    return result.release();
}

void Curve::QuasiUniform() {
    if (edges.empty() || vertices.empty()) return;
    const double r = 0.95 * double(vertices[0].radius);
    const int count = edgeCount();
    for (int e = 0; e < count; ++e) {
        if (!activeEdge(e)) continue;
        const CurveEdge& E = edges[std::size_t(e)];
        if (!validVertex(E.v[0]) || !validVertex(E.v[1])) continue;
        const vec3 d = vertices[std::size_t(E.v[1])].position - vertices[std::size_t(E.v[0])].position;
        if (dot(d, d) < 0.01 * r * r) edgeCollapse(e);
    }
    removeInactive(false);
    const int after = edgeCount();
    for (int e = 0; e < after; ++e) {
        if (!activeEdge(e)) continue;
        const CurveEdge& E = edges[std::size_t(e)];
        if (!validVertex(E.v[0]) || !validVertex(E.v[1])) continue;
        const vec3 d = vertices[std::size_t(E.v[1])].position - vertices[std::size_t(E.v[0])].position;
        if (dot(d, d) > r * r) edgeSplit(e);
    }
}

void Curve::close() {
    const int n = vertexCount();
    if (n < 2) return;
    std::vector<int> around;
    auto openEnd = [&](int v) { return activeVertex(v) && findENeighbours(v, around) == 1; };
    if (!openEnd(0) || !openEnd(n - 1) || findEdge(n - 1, 0) >= 0) return;
    edges.emplace_back(n - 1, 0);
    for (int v : {0, n - 1}) {
        CurveVertex& V = vertices[std::size_t(v)];
        V.setFlag(CurveVertex::EndBit, false);
        V.setFlag(CurveVertex::SharpBit, false);
    }
    // The old edge ends at the former ends were made sharp as chain ends;
    // left so, initialize would make their vertices sharp again.
    for (CurveEdge& E : edges)
        for (int k = 0; k < 2; ++k)
            if (E.v[k] == 0 || E.v[k] == n - 1) E.setSharp(k, false);
    initialize(ResizeKeep);
    touch();
}

void Curve::append(const Curve* other) {
    if (other == nullptr || other == this) return;
    const int nv = vertexCount(), ne = edgeCount();
    vertices.reserve(vertices.size() + other->vertices.size());
    edges.reserve(edges.size() + other->edges.size());
    for (CurveVertex V : other->vertices) {
        if (V.edge != -1) V.edge += ne;
        if (V.selection != -1) V.selection += nv;
        vertices.push_back(V);
    }
    for (CurveEdge E : other->edges) {
        for (int k = 0; k < 2; ++k) {
            E.v[k] += nv;
            if (E.n[k] != -1) E.n[k] += ne;
        }
        edges.push_back(E);
    }
}

void Curve::segment(int e, std::vector<vec3>& points) const {
    points.clear();
    if (!validEdge(e)) return;
    for (int k = 0; k < 2; ++k)
        if (validVertex(edges[std::size_t(e)].v[k]))
            points.push_back(vertices[std::size_t(edges[std::size_t(e)].v[k])].position);
}

void Curve::segment(int e, std::vector<vec3>& points, std::vector<float>& radii) const {
    segment(e, points);
    segment(e, radii);
}

void Curve::segment(int e, std::vector<float>& radii) const {
    radii.clear();
    if (!validEdge(e)) return;
    for (int k = 0; k < 2; ++k)
        if (validVertex(edges[std::size_t(e)].v[k]))
            radii.push_back(vertices[std::size_t(edges[std::size_t(e)].v[k])].radius);
}

}  // namespace qel
