// Local edits of qel::Curve (erase, split, collapse) and the compaction of
// its arrays.

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/compaction_plan.h"
#include "curves/curve.h"

namespace qel {

namespace {

// The material halfway between a and b: colour and light channels (a + b) / 2
// rounded down, roughness and metalness (a + b) / 2 truncated towards zero
// and kept within their range.
pbr middleMaterial(const pbr& a, const pbr& b) {
    pbr m;
    for (int i = 0; i < 4; ++i) {
        m.colour[i] = std::uint16_t((unsigned(a.colour[i]) + b.colour[i]) / 2);
        m.light[i] = std::uint16_t((unsigned(a.light[i]) + b.light[i]) / 2);
    }
    m.roughness = pbr::clampSigned((long(a.roughness) + b.roughness) / 2);
    m.metalness = pbr::clampSigned((long(a.metalness) + b.metalness) / 2);
    return m;
}

// a + (b - a) t per channel, truncated, u16 channels kept within 0..65535.
std::uint16_t mixUnsigned(std::uint16_t a, std::uint16_t b, double t) {
    const double x = std::trunc(double(a) + (double(b) - double(a)) * t);
    return std::uint16_t(x < 0.0 ? 0.0 : (x > 65535.0 ? 65535.0 : x));
}

// The material at t (0 at a, 1 at b; t within [0, 1]); roughness and
// metalness within -32766..32766.
pbr mixMaterial(const pbr& a, const pbr& b, double t) {
    pbr m;
    for (int i = 0; i < 4; ++i) {
        m.colour[i] = mixUnsigned(a.colour[i], b.colour[i], t);
        m.light[i] = mixUnsigned(a.light[i], b.light[i], t);
    }
    // With t in [0, 1] the value lies between the two ends.
    auto mixSigned = [t](std::int16_t x, std::int16_t y) {
        return pbr::clampSigned(long(std::trunc(double(x) + (double(y) - double(x)) * t)));
    };
    m.roughness = mixSigned(a.roughness, b.roughness);
    m.metalness = mixSigned(a.metalness, b.metalness);
    return m;
}

}  // namespace

void Curve::relink(int g, int from, int to) {
    if (!validEdge(g)) return;
    CurveEdge& G = edges[std::size_t(g)];
    for (int j = 0; j < 2; ++j)
        if (G.n[j] == from) G.n[j] = to;
}

// ---------------------------------------------------------------------------
// Erase

void Curve::edgeErase(int e) {
    if (!activeEdge(e)) return;
    pendingRemoval = 1;
    CurveEdge& E = edges[std::size_t(e)];
    E.flags = std::uint8_t(E.flags & ~CurveEdge::ActiveBit);
    for (int k = 0; k < 2; ++k) {
        const int a = E.v[k];
        if (!validVertex(a)) continue;
        CurveVertex& A = vertices[std::size_t(a)];
        const int other = link(E, k);
        if (other == -1 || other == e) {
            A.setFlag(CurveVertex::ActiveBit, false);  // only e used it
        } else {
            A.flags = std::uint8_t(A.flags | CurveVertex::SharpBit | CurveVertex::EndBit);
            A.edge = other;
        }
    }
    // Each neighbour loses its link to e; its end there is now open, hence
    // sharp.
    for (int k = 0; k < 2; ++k) {
        const int g = link(E, k);
        if (g == -1 || g == e) continue;
        CurveEdge& G = edges[std::size_t(g)];
        for (int j = 0; j < 2; ++j)
            if (G.n[j] == e) {
                G.n[j] = -1;
                G.setSharp(j, true);
            }
    }
}

// ---------------------------------------------------------------------------
// Split

int Curve::edgeSplit(int e) {
    if (!activeEdge(e)) return -1;
    const CurveEdge E = edges[std::size_t(e)];  // a copy: the arrays grow below
    const int A = E.v[0], B = E.v[1];
    if (!validVertex(A) || !validVertex(B)) return -1;
    const CurveVertex& VA = vertices[std::size_t(A)];
    const CurveVertex& VB = vertices[std::size_t(B)];
    CurveVertex M((VA.position + VB.position) * 0.5f);
    M.radius = (VA.radius + VB.radius) * 0.5f;
    M.angle = (VA.angle + VB.angle) * 0.5f;
    M.edge = e;
    return splitEdgeAt(e, E, M, middleMaterial(E.material[0], E.material[1]), false);
}

int Curve::edgeSplit(int e, const vec3& point, bool sharp) {
    if (!activeEdge(e)) return -1;
    const CurveEdge E = edges[std::size_t(e)];  // a copy: the arrays grow below
    const int A = E.v[0], B = E.v[1];
    if (!validVertex(A) || !validVertex(B)) return -1;
    const CurveVertex& VA = vertices[std::size_t(A)];
    const CurveVertex& VB = vertices[std::size_t(B)];
    // The fraction of the way from A to B; an edge of zero length gives 0,
    // and a point off the segment is held to its ends, so that the radius
    // and the materials stay between those of the ends.
    const double span = length2(VB.position - VA.position);
    double t = span > 0.0 ? std::sqrt(length2(point - VA.position) / span) : 0.0;
    if (!(t >= 0.0)) t = 0.0;
    if (t > 1.0) t = 1.0;
    CurveVertex M(point, std::uint8_t(CurveVertex::ActiveBit | (sharp ? CurveVertex::SharpBit : 0)));
    M.radius = float(double(VA.radius) + (double(VB.radius) - double(VA.radius)) * t);
    M.angle = 0.0f;
    M.edge = e;
    return splitEdgeAt(e, E, M, mixMaterial(E.material[0], E.material[1], t), sharp);
}

int Curve::splitEdgeAt(int e, const CurveEdge& E, const CurveVertex& M, const pbr& middle, bool sharp) {
    const int B = E.v[1];
    const int Q = link(E, 1);
    const int m = vertexAdd(M);
    CurveEdge F(m, B, e, Q, sharp, E.isSharp(1) || Q == -1);
    F.material[0] = middle;
    F.material[1] = E.material[1];
    const int f = edgeAdd(F);
    if (Q != -1 && Q != e) {
        CurveEdge& G = edges[std::size_t(Q)];
        const int j = G.end(B);
        if (j >= 0 && G.n[j] == e) G.n[j] = f;
    }
    vertices[std::size_t(B)].edge = f;
    CurveEdge& R = edges[std::size_t(e)];
    R.v[1] = m;
    R.n[1] = f;
    R.material[1] = middle;
    R.setSharp(1, sharp);
    return m;
}

// ---------------------------------------------------------------------------
// Collapse

bool Curve::edgeCollapse(int e) {
    if (!activeEdge(e)) return false;
    CurveEdge& E = edges[std::size_t(e)];
    const int A = E.v[0], B = E.v[1];
    if (!validVertex(A) || !validVertex(B) || A == B) return false;
    const int P = link(E, 0), Q = link(E, 1);
    // A loop of one or two edges would collapse into an edge on itself.
    if (P == e || Q == e || (P != -1 && P == Q)) return false;
    // The neighbours must hold the shared vertex and link back.
    const int jp = P == -1 ? -1 : edges[std::size_t(P)].end(A);
    const int jq = Q == -1 ? -1 : edges[std::size_t(Q)].end(B);
    if ((P != -1 && (jp < 0 || edges[std::size_t(P)].n[jp] != e)) ||
        (Q != -1 && (jq < 0 || edges[std::size_t(Q)].n[jq] != e)))
        return false;
    const bool fixed0 = E.isSharp(0) || P == -1;
    const bool fixed1 = E.isSharp(1) || Q == -1;
    if (fixed0 && fixed1) return false;
    CurveVertex& VA = vertices[std::size_t(A)];
    CurveVertex& VB = vertices[std::size_t(B)];
    if (!fixed1) {
        // A stays (at its place when end 0 is fixed, else at the midpoint)
        // and takes B's place in Q.
        if (!fixed0) VA.position = (VA.position + VB.position) * 0.5f;
        VA.edge = Q;
        VB.setFlag(CurveVertex::ActiveBit, false);
        CurveEdge& G = edges[std::size_t(Q)];
        G.v[jq] = A;
        G.n[jq] = P;
        if (fixed0) G.setSharp(jq, true);
        if (P != -1) edges[std::size_t(P)].n[jp] = Q;
    } else {
        // B stays and takes A's place in P.
        VB.edge = P;
        VA.setFlag(CurveVertex::ActiveBit, false);
        CurveEdge& G = edges[std::size_t(P)];
        G.v[jp] = B;
        G.n[jp] = Q;
        G.setSharp(jp, true);
        if (Q != -1) edges[std::size_t(Q)].n[jq] = P;
    }
    E.flags = std::uint8_t(E.flags & ~CurveEdge::ActiveBit);
    pendingRemoval = 1;
    return true;
}

// ---------------------------------------------------------------------------
// Compaction

void Curve::removeInactive(bool force) {
    if (!pendingRemoval && !force) return;
    const int nV = vertexCount();
    const int nE = edgeCount();
    // An active edge keeps its vertices alive; one that names a vertex
    // outside the array cannot be kept.
    for (CurveEdge& E : edges) {
        if (!E.isActive()) continue;
        if (!validVertex(E.v[0]) || !validVertex(E.v[1])) {
            E.flags = std::uint8_t(E.flags & ~CurveEdge::ActiveBit);
            continue;
        }
        vertices[std::size_t(E.v[0])].flags |= CurveVertex::ActiveBit;
        vertices[std::size_t(E.v[1])].flags |= CurveVertex::ActiveBit;
    }
    std::vector<std::int32_t> newV, newE;
    std::vector<std::pair<int, int>> moves;
    const int liveV = planCompaction(
        nV, [this](int i) { return vertices[std::size_t(i)].isActive(); }, newV, moves);
    for (const auto& mv : moves) vertices[std::size_t(mv.second)] = vertices[std::size_t(mv.first)];
    vertices.resize(std::size_t(liveV));
    const int liveE = planCompaction(
        nE, [this](int i) { return edges[std::size_t(i)].isActive(); }, newE, moves);
    for (const auto& mv : moves) edges[std::size_t(mv.second)] = edges[std::size_t(mv.first)];
    edges.resize(std::size_t(liveE));
    // Every index is renumbered by table; links and edge fields that named a
    // dropped edge become -1, and a vertex left without an edge takes the
    // first kept edge that uses it.
    auto mapEdge = [&newE, nE](int g) { return g >= 0 && g < nE ? newE[std::size_t(g)] : -1; };
    for (CurveVertex& r : vertices) r.edge = mapEdge(r.edge);
    for (int i = 0; i < liveE; ++i) {
        CurveEdge& E = edges[std::size_t(i)];
        for (int k = 0; k < 2; ++k) {
            E.v[k] = newV[std::size_t(E.v[k])];
            E.n[k] = mapEdge(E.n[k]);
            CurveVertex& A = vertices[std::size_t(E.v[k])];
            if (A.edge == -1) A.edge = i;
        }
    }
    recordedVertexCount = std::uint32_t(vertices.size());
    recordedEdgeCount = std::uint32_t(edges.size());
    pendingRemoval = 0;
    touch();
}

}  // namespace qel
