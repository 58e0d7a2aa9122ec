// Connectivity, chain order, extent and neighbourhood queries of
// qel::Curve.

#include <algorithm>
#include <cmath>
#include <cstdint>
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

namespace {

// Per-vertex state of the connectivity pass, kept in a byte table so that
// the edge passes touch the large vertex records only once, in order.
enum VertexMark : std::uint8_t {
    MarkSharp = 1,  // the vertex is sharp
    MarkOpen = 2,   // it ends an open chain
    MarkUsed = 4,   // an active edge uses it
};

}  // namespace

bool Curve::buildConnectivity() {
    const int nV = vertexCount();
    const int nE = edgeCount();
    // The first and second active edge at each vertex, and its marks.
    std::vector<std::int32_t> first(std::size_t(nV), -1), second(std::size_t(nV), -1);
    std::vector<std::uint8_t> mark(static_cast<std::size_t>(nV));
    for (int v = 0; v < nV; ++v) mark[std::size_t(v)] = vertices[std::size_t(v)].isSharp() ? MarkSharp : 0;
    // After a failure: no links, and every vertex's edge field the first
    // edge found (-1 for a vertex no active edge used).
    auto fail = [&] {
        for (CurveEdge& E : edges) E.n[0] = E.n[1] = -1;
        for (int v = 0; v < nV; ++v) vertices[std::size_t(v)].edge = first[std::size_t(v)];
        return false;
    };
    bool anyActive = false;
    for (int e = 0; e < nE; ++e) {
        const CurveEdge& E = edges[std::size_t(e)];
        if (!E.isActive()) continue;
        anyActive = true;
        const int a0 = E.v[0], a1 = E.v[1];
        if (a0 < 0 || a0 >= nV || a1 < 0 || a1 >= nV || a0 == a1) return fail();
        for (int k = 0; k < 2; ++k) {
            const std::size_t a = std::size_t(E.v[k]);
            // A flagged end makes its vertex sharp.
            mark[a] = std::uint8_t(mark[a] | MarkUsed | (E.isSharp(k) ? MarkSharp : 0));
            if (first[a] < 0) {
                first[a] = e;
            } else if (second[a] < 0) {
                second[a] = e;
            } else {
                return fail();  // a third edge at the vertex
            }
        }
    }
    if (!anyActive) return fail();
    // Links and sharp pass: the vertex marks are complete for flagged ends,
    // so one pass settles open ends (sharp at edge and vertex, end bit) and
    // carries the sharpness of a vertex to every end at it.
    for (int e = 0; e < nE; ++e) {
        CurveEdge& E = edges[std::size_t(e)];
        if (!E.isActive()) {
            E.n[0] = E.n[1] = -1;  // inactive edges stay unlinked
            continue;
        }
        for (int k = 0; k < 2; ++k) {
            const std::size_t a = std::size_t(E.v[k]);
            const int other = first[a] == e ? second[a] : first[a];
            E.n[k] = other;
            if (other == -1) {
                mark[a] = std::uint8_t(mark[a] | MarkSharp | MarkOpen);
                E.flags = std::uint8_t(E.flags | CurveEdge::SHARP[k]);
            } else if (mark[a] & MarkSharp) {
                E.flags = std::uint8_t(E.flags | CurveEdge::SHARP[k]);
            }
        }
    }
    // Vertex records: edge field, sharp and end bits; an active edge keeps
    // its vertices alive.
    for (int v = 0; v < nV; ++v) {
        CurveVertex& A = vertices[std::size_t(v)];
        const std::uint8_t m = mark[std::size_t(v)];
        A.edge = first[std::size_t(v)];
        if (!(m & MarkUsed)) continue;
        A.flags = std::uint8_t(A.flags | CurveVertex::ActiveBit | ((m & MarkSharp) ? CurveVertex::SharpBit : 0));
        A.setFlag(CurveVertex::EndBit, (m & MarkOpen) != 0);
    }
    touch();
    return true;
}

void Curve::setOrder() {
    const int nE = edgeCount();
    const int nV = vertexCount();
    // The walks run on a compact copy of the vertices and links (four words
    // per edge, v0 -1 for an inactive edge) and only decide which edges to
    // turn; the records are then turned in one pass in index order. This
    // keeps the jumps of a walk across a shuffled edge array off the large
    // records.
    std::vector<std::int32_t> topo(std::size_t(nE) * 4);
    for (int e = 0; e < nE; ++e) {
        const CurveEdge& E = edges[std::size_t(e)];
        std::int32_t* t = &topo[std::size_t(e) * 4];
        t[0] = E.isActive() ? E.v[0] : -1;
        t[1] = E.v[1];
        t[2] = E.n[0];
        t[3] = E.n[1];
    }
    std::vector<std::uint8_t> visited(static_cast<std::size_t>(nE)), turn(static_cast<std::size_t>(nE));
    // Walks the chain from e, entered at its end `in`: each edge is to be
    // turned when it is entered at end 1. Stops at an open end, a visited
    // edge (the loop closed) or a link that does not lead back.
    auto walk = [&](int e, int in) {
        for (int step = 0; step < nE; ++step) {
            const std::int32_t* t = &topo[std::size_t(e) * 4];
            visited[std::size_t(e)] = 1;
            turn[std::size_t(e)] = std::uint8_t(in);
            const int out = 1 - in;
            const int next = t[2 + out], shared = t[out];
            if (next < 0 || next >= nE || visited[std::size_t(next)] || shared < 0 || shared >= nV) return;
            const std::int32_t* u = &topo[std::size_t(next) * 4];
            if (u[0] < 0) return;  // an inactive edge
            in = u[0] == shared ? 0 : (u[1] == shared ? 1 : -1);
            if (in < 0) return;
            e = next;
        }
    };
    // Open chains, from the free end of their lowest-indexed end edge.
    for (int e = 0; e < nE; ++e) {
        const std::int32_t* t = &topo[std::size_t(e) * 4];
        if (visited[std::size_t(e)] || t[0] < 0 || (t[2] != -1 && t[3] != -1)) continue;
        walk(e, t[2] == -1 ? 0 : 1);
    }
    // Loops, in the direction of their lowest-indexed edge.
    for (int e = 0; e < nE; ++e)
        if (!visited[std::size_t(e)] && topo[std::size_t(e) * 4] >= 0) walk(e, 0);
    // Turn the records and clear every visited (selected) bit.
    for (int e = 0; e < nE; ++e) {
        CurveEdge& E = edges[std::size_t(e)];
        if (turn[std::size_t(e)]) E.flip();
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

int Curve::edgesAround(int v, int (&out)[2]) const {
    if (!validVertex(v)) return 0;
    const int e = vertices[std::size_t(v)].edge;
    if (!validEdge(e)) return 0;
    const CurveEdge& E = edges[std::size_t(e)];
    const int k = E.end(v);
    if (k < 0) return 0;
    out[0] = e;
    const int f = link(E, k);
    if (f == -1 || f == e) return 1;
    out[1] = f;
    return 2;
}

int Curve::verticesAround(int v, int (&out)[2]) const {
    int around[2];
    const int n = edgesAround(v, around);
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const CurveEdge& E = edges[std::size_t(around[i])];
        const int k = E.end(v);
        if (k >= 0) out[count++] = E.other(k);
    }
    return count;
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
