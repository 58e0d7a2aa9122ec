// Connectivity, chain order, extent and neighbourhood queries of
// qel::Curve.

#include <algorithm>
#include <cmath>
#include <vector>

#include "curves/curve.h"

namespace qel {

// ---------------------------------------------------------------------------
// Connectivity and order

void Curve::initialize(TResizeStyle style) {
    if (buildConnectivity()) {
        status = 0;
        setOrder();
        calculateSize(style);
    } else {
        status = 1;
    }
    reallocate = 1;
}

bool Curve::buildConnectivity() {
    const int nV = vertexCount();
    const int nE = edgeCount();
    // Every vertex's edge field doubles as the table of its first edge; the
    // second edge at a vertex is found as the first edge's link there.
    for (CurveVertex& r : vertices) r.edge = -1;
    bool anyActive = false;
    for (int e = 0; e < nE; ++e) {
        CurveEdge& E = edges[std::size_t(e)];
        E.n[0] = E.n[1] = -1;
        if (!E.isActive()) continue;
        anyActive = true;
        const int a0 = E.v[0], a1 = E.v[1];
        if (a0 < 0 || a0 >= nV || a1 < 0 || a1 >= nV || a0 == a1) return false;
        for (int k = 0; k < 2; ++k) {
            CurveVertex& A = vertices[std::size_t(E.v[k])];
            // A flagged end makes its vertex sharp; an active edge keeps its
            // vertex alive.
            A.flags = std::uint8_t(A.flags | CurveVertex::ActiveBit | (E.isSharp(k) ? CurveVertex::SharpBit : 0));
            const int f = A.edge;
            if (f < 0) {
                A.edge = e;
                continue;
            }
            CurveEdge& F = edges[std::size_t(f)];
            const int kf = F.end(E.v[k]);
            if (F.n[kf] != -1) return false;  // a third edge at the vertex
            E.n[k] = f;
            F.n[kf] = e;
        }
    }
    if (!anyActive) return false;
    // Sharp pass: the vertex bits are complete for flagged ends, so one pass
    // settles open ends (sharp at edge and vertex, end bit) and carries the
    // sharpness of a vertex to every end at it.
    for (CurveEdge& E : edges) {
        if (!E.isActive()) continue;
        for (int k = 0; k < 2; ++k) {
            CurveVertex& A = vertices[std::size_t(E.v[k])];
            if (E.n[k] == -1) {
                A.flags = std::uint8_t(A.flags | CurveVertex::SharpBit | CurveVertex::EndBit);
                E.flags = std::uint8_t(E.flags | CurveEdge::SHARP[k]);
            } else {
                A.flags = std::uint8_t(A.flags & ~CurveVertex::EndBit);
                if (A.isSharp()) E.flags = std::uint8_t(E.flags | CurveEdge::SHARP[k]);
            }
        }
    }
    touch();
    return true;
}

void Curve::setOrder() {
    const int nE = edgeCount();
    const int nV = vertexCount();
    // The walk's visited marks are kept aside (the edges' bit 3 is cleared
    // as each edge is reached), so that the scans for unvisited edges read
    // one byte per edge.
    std::vector<std::uint8_t> visited(std::size_t(nE), 0);
    // Walks the chain from e, entered at its end `in`: each edge is turned so
    // that it is entered at end 0 and left at end 1. Stops at an open end, a
    // visited edge (the loop closed) or a link that does not lead back.
    auto walk = [&](int e, int in) {
        for (int step = 0; step < nE; ++step) {
            CurveEdge& E = edges[std::size_t(e)];
            visited[std::size_t(e)] = 1;
            E.flags = std::uint8_t(E.flags & ~CurveEdge::VisitedBit);
            if (in == 1) E.flip();
            const int next = E.n[1];
            if (next < 0 || next >= nE || visited[std::size_t(next)] || !edges[std::size_t(next)].isActive()) return;
            const int shared = E.v[1];
            if (shared < 0 || shared >= nV) return;
            in = edges[std::size_t(next)].end(shared);
            if (in < 0) return;
            e = next;
        }
    };
    // Open chains, from the free end of their lowest-indexed end edge.
    for (int i = 0; i < nE; ++i) {
        if (visited[std::size_t(i)]) continue;
        const CurveEdge& E = edges[std::size_t(i)];
        if (!E.isActive() || (E.n[0] != -1 && E.n[1] != -1)) continue;
        walk(i, E.n[0] == -1 ? 0 : 1);
    }
    // Loops, in the direction of their lowest-indexed edge; inactive edges
    // only lose their mark.
    for (int i = 0; i < nE; ++i) {
        if (visited[std::size_t(i)]) continue;
        CurveEdge& E = edges[std::size_t(i)];
        if (E.isActive())
            walk(i, 0);
        else
            E.flags = std::uint8_t(E.flags & ~CurveEdge::VisitedBit);
    }
    touch();
}

// ---------------------------------------------------------------------------
// Extent

void Curve::calculateSize(TResizeStyle style) {
    if (style == ResizeMean) {
        if (vertices.empty()) return;
        double s[3] = {0, 0, 0};
        for (const CurveVertex& r : vertices)
            for (int i = 0; i < 3; ++i) s[i] += r.position[i];
        const double n = double(vertices.size());
        centre = vec3(float(s[0] / n), float(s[1] / n), float(s[2] / n));
        double largest = 0;
        for (const CurveVertex& r : vertices) largest = std::max(largest, length2(r.position - centre));
        setSize(float(2.0 * std::sqrt(largest)));
    } else if (style == ResizeBox) {
        if (vertices.empty()) {
            centre = vec3(0, 0, 0);
            setSize(1.0f);
            return;
        }
        vec3 lo = vertices.front().position, hi = lo;
        for (const CurveVertex& r : vertices)
            for (int i = 0; i < 3; ++i) {
                lo[i] = std::min(lo[i], r.position[i]);
                hi[i] = std::max(hi[i], r.position[i]);
            }
        centre = (lo + hi) * 0.5f;
        setSize(float(length(hi - lo)));
    }
}

// ---------------------------------------------------------------------------
// Queries

int Curve::nextEdge(int e, int from) const {
    if (!validEdge(e)) return -1;
    const CurveEdge& E = edges[std::size_t(e)];
    const int n0 = link(E, 0), n1 = link(E, 1);
    if (n0 == from) return n1;
    if (n1 == from) return n0;
    return n1 != -1 ? n1 : n0;
}

int Curve::findENeighbours(int v, std::vector<int>& edgeList) const {
    edgeList.clear();
    if (!validVertex(v)) return 0;
    const int e = vertices[std::size_t(v)].edge;
    if (!validEdge(e)) return 0;
    const CurveEdge& E = edges[std::size_t(e)];
    const int k = E.end(v);
    if (k < 0) return 0;  // the edge field names an edge that does not use v
    edgeList.push_back(e);
    const int f = link(E, k);
    if (f != -1 && f != e) edgeList.push_back(f);
    return int(edgeList.size());
}

int Curve::findNeighbours(int v, std::vector<int>& vertexList, std::vector<int>& edgeList) const {
    vertexList.clear();
    findENeighbours(v, edgeList);
    std::size_t kept = 0;
    for (const int e : edgeList) {
        const CurveEdge& E = edges[std::size_t(e)];
        const int k = E.end(v);
        if (k < 0) continue;  // a neighbour link that does not come back to v
        vertexList.push_back(E.other(k));
        edgeList[kept++] = e;
    }
    edgeList.resize(kept);
    return int(vertexList.size());
}

int Curve::findNeighbours(int v, std::vector<int>& vertexList) const {
    std::vector<int> edgeList;
    return findNeighbours(v, vertexList, edgeList);
}

int Curve::nextVertex(int v, int from) const {
    std::vector<int> around;
    const int n = findNeighbours(v, around);
    if (n == 0) return -1;
    if (n == 1) return around[0] == from ? -1 : around[0];
    return around[0] == from ? around[1] : around[0];
}

int Curve::edgeStart(int e) const {
    if (!validEdge(e)) return -1;
    int cur = e;
    for (int step = 0; step < edgeCount(); ++step) {
        const int prev = link(edges[std::size_t(cur)], 0);
        if (prev == -1 || prev == e) return prev == e ? e : cur;
        cur = prev;
    }
    return cur;
}

int Curve::findEdge(int a, int b) const {
    if (!validVertex(a) || !validVertex(b)) return -1;
    std::vector<int> around;
    findENeighbours(a, around);
    for (const int e : around) {
        const CurveEdge& E = edges[std::size_t(e)];
        if (E.v[0] == b || E.v[1] == b) return e;
    }
    return -1;
}

int Curve::findNextVertexSharp(int v, int e) const {
    std::vector<int> path;
    return findNextVertexSharp(v, e, path);
}

int Curve::findNextVertexSharp(int v, int e, std::vector<int>& path) const {
    path.clear();
    if (!validVertex(v) || !validEdge(e)) return -1;
    path.push_back(v);
    int cur = v;
    for (int step = 0; step < edgeCount(); ++step) {
        const CurveEdge& E = edges[std::size_t(e)];
        const int k = E.end(cur);
        if (k < 0) return -1;  // the walk left the vertex by an edge that does not hold it
        const int w = E.other(k);
        if (!validVertex(w)) return -1;
        path.push_back(w);
        if (w == v) return -1;
        if (vertices[std::size_t(w)].isSharp()) return w;
        e = link(E, 1 - k);
        if (e == -1) return -1;
        cur = w;
    }
    return -1;
}

}  // namespace qel
