#include "curves/curve_invariants_util.h"

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;

namespace curvetest {

namespace {

class Checker {
public:
    Checker(const Curve& c, unsigned checks) : c_(c), checks_(checks) {}

    std::string run() {
        const bool sound = edgeRecords() && links() && vertexRecords() && (!(checks_ & CheckOrder) || order()) &&
                           (!(checks_ & CheckSharp) || sharpness());
        return sound ? std::string() : out_.str();
    }

private:
    const Curve& c_;
    unsigned checks_;
    std::ostringstream out_;
    std::vector<int> uses_;  // active edges using each vertex

    bool activeEdge(int e) const { return e >= 0 && e < c_.edgeCount() && c_.edges[std::size_t(e)].isActive(); }
    const CurveEdge& edge(int e) const { return c_.edges[std::size_t(e)]; }
    const CurveVertex& vertex(int v) const { return c_.vertices[std::size_t(v)]; }

    template <typename... Parts>
    bool fail(const Parts&... parts) {
        (out_ << ... << parts);
        return false;
    }

    bool edgeRecords() {
        uses_.assign(std::size_t(c_.vertexCount()), 0);
        for (int i = 0; i < c_.edgeCount(); ++i) {
            const CurveEdge& E = edge(i);
            if (!E.isActive()) continue;
            for (int k = 0; k < 2; ++k) {
                const int v = E.v[k];
                if (v < 0 || v >= c_.vertexCount() || !vertex(v).isActive())
                    return fail("edge ", i, " end ", k, " names vertex ", v, ", out of range or inactive");
            }
            if (E.v[0] == E.v[1]) return fail("edge ", i, " names vertex ", E.v[0], " at both ends");
            for (int k = 0; k < 2; ++k)
                if (++uses_[std::size_t(E.v[k])] > 2)
                    return fail("vertex ", E.v[k], " is on more than two active edges");
        }
        return true;
    }

    bool links() {
        for (int i = 0; i < c_.edgeCount(); ++i) {
            const CurveEdge& E = edge(i);
            if (!E.isActive()) continue;
            for (int k = 0; k < 2; ++k) {
                const int g = E.n[k];
                if (g == -1) continue;
                if (g == i || !activeEdge(g))
                    return fail("edge ", i, " end ", k, " links itself, an out-of-range or inactive edge ", g);
                const CurveEdge& G = edge(g);
                const int j = G.end(E.v[k]);
                if (j < 0 || G.n[j] != i)
                    return fail("edge ", i, " end ", k, " links edge ", g, ", which does not link back at vertex ",
                                E.v[k]);
            }
            // A vertex on two active edges must be joined: an open end there
            // means a missing link.
            for (int k = 0; k < 2; ++k)
                if (E.n[k] == -1 && uses_[std::size_t(E.v[k])] != 1)
                    return fail("edge ", i, " end ", k, " is open but vertex ", E.v[k], " is on another edge");
        }
        return true;
    }

    bool vertexRecords() {
        for (int v = 0; v < c_.vertexCount(); ++v) {
            const CurveVertex& r = vertex(v);
            if (!r.isActive()) continue;
            const int used = uses_[std::size_t(v)];
            if (r.edge == -1) {
                if (used > 0) return fail("vertex ", v, " has edge -1 but ", used, " active edges use it");
                continue;
            }
            if (!activeEdge(r.edge) || edge(r.edge).end(v) < 0)
                return fail("vertex ", v, " names edge ", r.edge, ", which is inactive, out of range or misses it");
        }
        return true;
    }

    bool order() {
        for (int i = 0; i < c_.edgeCount(); ++i) {
            const CurveEdge& E = edge(i);
            if (!E.isActive() || E.n[1] == -1) continue;
            const CurveEdge& G = edge(E.n[1]);
            if (G.v[0] != E.v[1] || G.n[0] != i)
                return fail("edge ", i, " is followed by edge ", E.n[1], ", which does not start at vertex ", E.v[1]);
        }
        return true;
    }

    bool sharpness() {
        for (int i = 0; i < c_.edgeCount(); ++i) {
            const CurveEdge& E = edge(i);
            if (!E.isActive()) continue;
            for (int k = 0; k < 2; ++k) {
                const int v = E.v[k];
                const CurveVertex& A = vertex(v);
                if (E.n[k] == -1) {
                    if (!E.isSharp(k) || !A.isSharp() || !A.isEnd())
                        return fail("open end ", k, " of edge ", i, " lacks a sharp bit or vertex ", v, " the end bit");
                } else if (A.isEnd()) {
                    return fail("vertex ", v, " is joined at edge ", i, " but has the end bit");
                }
                if (E.isSharp(k) != A.isSharp())
                    return fail("edge ", i, " end ", k,
                                E.isSharp(k) ? " is sharp but vertex " : " is not sharp but vertex ", v,
                                E.isSharp(k) ? " is not" : " is");
            }
        }
        return true;
    }
};

}  // namespace

std::string checkCurveInvariants(const Curve& c, unsigned checks) { return Checker(c, checks).run(); }

std::string checkAfterOperation(const Curve& c, unsigned checks) {
    std::string s = checkCurveInvariants(c, checks);
    if (!s.empty()) return s;
    if (!c.influences.empty() || !c.selectedVertices.empty() || !c.selectedEdges.empty() ||
        !c.positionChanges.empty() || !c.radiusChanges.empty() || !c.angleChanges.empty())
        return "a selection list or pending change is left";
    for (std::size_t v = 0; v < c.vertices.size(); ++v) {
        const CurveVertex& r = c.vertices[v];
        std::ostringstream out;
        if (r.isSelected() || r.selection != -1) out << "vertex " << v << " is still selected";
        if (!std::isfinite(r.position.x) || !std::isfinite(r.position.y) || !std::isfinite(r.position.z) ||
            !std::isfinite(r.radius) || !std::isfinite(r.angle))
            out << "vertex " << v << " holds a non-finite value";
        if (!out.str().empty()) return out.str();
    }
    for (std::size_t e = 0; e < c.edges.size(); ++e)
        if (c.edges[e].isSelected()) return "edge " + std::to_string(e) + " is still selected";
    return std::string();
}

int activeVertexCount(const Curve& c) {
    int n = 0;
    for (const CurveVertex& r : c.vertices) n += r.isActive() ? 1 : 0;
    return n;
}

int activeEdgeCount(const Curve& c) {
    int n = 0;
    for (const CurveEdge& r : c.edges) n += r.isActive() ? 1 : 0;
    return n;
}

}  // namespace curvetest
