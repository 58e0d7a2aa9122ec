// Connectivity, chain order, extent and queries of the curve.

#include <gtest/gtest.h>

#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;
using qel::pbr;
using qel::vec3;
using V = std::vector<int>;

namespace {

constexpr std::uint8_t kSharp = CurveVertex::SharpBit;
constexpr std::uint8_t kEnd = CurveVertex::EndBit;
constexpr std::uint8_t kActive = CurveVertex::ActiveBit;

// n vertices along x, no edges.
void addVertices(Curve& c, int n) {
    for (int i = 0; i < n; ++i) c.vertexAdd(vec3(float(c.vertexCount()), 0, 0));
}

V edgeVertices(const Curve& c) {
    V out;
    for (const CurveEdge& e : c.edges) out.insert(out.end(), {e.v[0], e.v[1]});
    return out;
}

pbr grey(std::uint16_t g) { return pbr({g, g, g, 65535}, {0, 0, 0, 65535}, 0, 0); }

TEST(CurveTopology, ChainInOrderNeedsNoFlip) {
    Curve c;
    addVertices(c, 5);
    c.edgesAdd({0, 1, 2, 3, 4});
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    EXPECT_EQ(edgeVertices(c), (V{0, 1, 1, 2, 2, 3, 3, 4}));
    EXPECT_EQ(c.edges[1].n[0], 0);
    EXPECT_EQ(c.edges[1].n[1], 2);
    EXPECT_EQ(c.edges[0].n[0], -1);
    EXPECT_EQ(c.edges[3].n[1], -1);
    EXPECT_EQ(c.vertices[2].edge, 1);  // the first edge using it
}

TEST(CurveTopology, ReversedEdgesAreFlippedBackKeepingTheirEnds) {
    Curve c;
    addVertices(c, 4);
    // The chain 0-1-2-3 with every edge reversed, each end painted and
    // marked so that the flip can be followed.
    for (int i = 0; i < 3; ++i) {
        const int e = c.edgeAdd(i + 1, i);
        c.edges[std::size_t(e)].material[0] = grey(std::uint16_t(100 + i));  // at vertex i + 1
        c.edges[std::size_t(e)].material[1] = grey(std::uint16_t(200 + i));  // at vertex i
    }
    c.edges[1].setSharp(0, true);  // edge 1's end at vertex 2
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    // Edge 0, the lowest end edge, is (1, 0) with its free end at vertex 0:
    // the chain runs from vertex 0 and every edge is turned.
    EXPECT_EQ(edgeVertices(c), (V{0, 1, 1, 2, 2, 3}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.edges[std::size_t(i)].material[0], grey(std::uint16_t(200 + i)));
        EXPECT_EQ(c.edges[std::size_t(i)].material[1], grey(std::uint16_t(100 + i)));
    }
    EXPECT_TRUE(c.edges[1].isSharp(1));  // still at vertex 2
    EXPECT_TRUE(c.edges[2].isSharp(0));  // the sharp vertex 2 carries to the next edge
    EXPECT_EQ(c.vertices[2].flags, kActive | kSharp);
}

TEST(CurveTopology, ChainsAndLoopsAreEachOrderedByTheirOwnWalk) {
    Curve c;
    addVertices(c, 10);
    c.edgeAdd(2, 1);  // chain A: 0-1-2, its end edge 0 runs into the chain
    c.edgeAdd(0, 1);
    c.edgeAdd(5, 6);  // loop 5-6-7-8, direction of edge 2
    c.edgeAdd(7, 6);
    c.edgeAdd(8, 7);
    c.edgeAdd(5, 8);
    c.edgeAdd(3, 4);  // chain B: one edge
    c.edgeAdd(9, 3);  // chain B continues: 9-3-4
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    // Chain A runs from the free end of edge 0 (vertex 2); the loop keeps
    // edge 2's direction; chain B from the free end of edge 6 (vertex 4).
    EXPECT_EQ(edgeVertices(c), (V{2, 1, 1, 0, 5, 6, 6, 7, 7, 8, 8, 5, 4, 3, 3, 9}));
    for (const CurveEdge& e : c.edges) EXPECT_FALSE(e.isSelected());  // visited marks cleared
}

TEST(CurveTopology, SingleEdgeAndTwoEdgeLoop) {
    Curve one;
    addVertices(one, 2);
    one.edgeAdd(0, 1);
    one.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(one), "");
    EXPECT_EQ(one.vertices[0].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(one.vertices[1].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(one.edges[0].flags & CurveEdge::SharpMask, 3);

    Curve two;
    addVertices(two, 2);
    two.edgeAdd(0, 1);
    two.edgeAdd(0, 1);  // same direction: turned into a loop
    two.initialize(Curve::ResizeKeep);
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(two), "");
    EXPECT_EQ(edgeVertices(two), (V{0, 1, 1, 0}));
}

TEST(CurveTopology, SharpPassDoesNotDependOnEdgeOrder) {
    // The sharp flag sits on the later edge's end; the earlier edge's end
    // at the same vertex becomes sharp as well.
    Curve c;
    addVertices(c, 3);
    c.edgeAdd(0, 1);
    c.edgeAdd(1, 2, -1, -1, true, false);
    c.initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    EXPECT_TRUE(c.edges[0].isSharp(1));
    EXPECT_EQ(c.vertices[1].flags, kActive | kSharp);
}

TEST(CurveTopology, ConnectivityFailures) {
    struct Case {
        const char* name;
        V edges;  // pairs
    };
    const Case cases[] = {
        {"no edge", {}},
        {"three edges at a vertex", {0, 1, 1, 2, 1, 3}},
        {"vertex outside the array", {0, 1, 1, 9}},
        {"negative vertex", {0, -1}},
        {"one vertex twice", {0, 1, 2, 2}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Curve c;
        addVertices(c, 4);
        for (std::size_t i = 0; i + 1 < t.edges.size(); i += 2)
            c.edgeAdd(t.edges[i], t.edges[i + 1], 7, 7, false, false);
        c.centre = vec3(5, 5, 5);
        c.initialize(Curve::ResizeMean);
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.centre, vec3(5, 5, 5));  // no extent after a failure
        EXPECT_EQ(c.reallocate, 1);
        for (const CurveEdge& e : c.edges) EXPECT_TRUE(e.n[0] == -1 && e.n[1] == -1);  // no stale link
    }
}

TEST(CurveTopology, InactiveEdgesTakeNoPart) {
    // A pending removal (or a file holding inactive records) leaves vertex 1
    // on three edges, one of them inactive.
    Curve c;
    addVertices(c, 4);
    c.edgesAdd({0, 1, 2});
    c.edgeAdd(1, 3);
    c.edges[2].flags &= std::uint8_t(~CurveEdge::ActiveBit);
    c.edges[2].n[0] = 0;  // a stale link
    c.edges[2].setSharp(1, false);
    c.vertices[3].edge = 2;
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.edges[2].n[0], -1);
    EXPECT_EQ(c.edges[2].n[1], -1);
    EXPECT_FALSE(c.edges[2].isSharp(1));  // no sharp pass on it
    EXPECT_EQ(c.vertices[3].edge, -1);    // a lone vertex now
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
}

TEST(CurveTopology, ActiveEdgesKeepTheirVerticesAlive) {
    Curve c;
    addVertices(c, 3);
    c.edgesAdd({0, 1, 2});
    c.vertices[1].flags = 0;
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.vertices[1].flags, kActive);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
}

TEST(CurveTopology, CalculateSize) {
    struct Case {
        std::vector<vec3> points;
        Curve::TResizeStyle style;
        vec3 centre;
        float size;
    };
    const Case cases[] = {
        {{vec3(1, 2, 3)}, Curve::ResizeMean, vec3(1, 2, 3), 1.0f},
        {{}, Curve::ResizeMean, vec3(7, 7, 7), 4.0f},  // nothing changes
        {{}, Curve::ResizeBox, vec3(0, 0, 0), 1.0f},
        {{vec3(0, 0, 0), vec3(4, 0, 0)}, Curve::ResizeMean, vec3(2, 0, 0), 4.0f},
        {{vec3(0, 0, 0), vec3(4, 0, 0), vec3(4, 3, 0)}, Curve::ResizeBox, vec3(2, 1.5f, 0), 5.0f},
        {{vec3(2, 2, 2), vec3(2, 2, 2)}, Curve::ResizeBox, vec3(2, 2, 2), 1.0f},
        {{vec3(0, 0, 0), vec3(4, 0, 0)}, Curve::ResizeKeep, vec3(7, 7, 7), 4.0f},
    };
    for (const Case& t : cases) {
        Curve c;
        for (const vec3& p : t.points) c.vertexAdd(p);
        c.centre = vec3(7, 7, 7);
        c.setSize(4.0f);
        c.calculateSize(t.style);
        EXPECT_EQ(c.centre, t.centre);
        EXPECT_FLOAT_EQ(c.size(), t.size);
    }
    // Inactive vertices count as well.
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(2, 0, 0)}, false);
    c.vertexAdd(vec3(10, 0, 0));
    c.vertices[2].flags = 0;
    c.calculateSize(Curve::ResizeBox);
    EXPECT_EQ(c.centre, vec3(5, 0, 0));
}

TEST(CurveTopology, Queries) {
    // The open chain 0-1-2-3 (edges 0, 1, 2), the loop 4-5-6 (edges 3, 4,
    // 5) with vertex 6 sharp, and the lone vertex 7.
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(3, 0, 0)}, false);
    addVertices(c, 4);
    c.edgesAdd({4, 5, 6, 4});
    c.vertices[6].flags |= CurveVertex::SharpBit;
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 0);
    ASSERT_EQ(curvetest::checkCurveInvariants(c), "");
    V vs, es;
    EXPECT_EQ(c.findENeighbours(1, es), 2);
    EXPECT_EQ(es, (V{0, 1}));
    EXPECT_EQ(c.findNeighbours(1, vs, es), 2);
    EXPECT_EQ(vs, (V{0, 2}));
    EXPECT_EQ(c.findNeighbours(0, vs), 1);
    EXPECT_EQ(vs, (V{1}));
    EXPECT_EQ(c.findENeighbours(7, es), 0);  // the lone vertex has no neighbours
    EXPECT_EQ(c.findNeighbours(7, vs, es), 0);
    EXPECT_TRUE(vs.empty() && es.empty());
    EXPECT_EQ(c.nextVertex(7, -1), -1);

    EXPECT_EQ(c.nextVertex(1, 0), 2);
    EXPECT_EQ(c.nextVertex(1, 2), 0);
    EXPECT_EQ(c.nextVertex(0, 1), -1);
    EXPECT_EQ(c.nextVertex(0, -1), 1);
    EXPECT_EQ(c.nextEdge(1, 0), 2);
    EXPECT_EQ(c.nextEdge(1, 2), 0);
    EXPECT_EQ(c.nextEdge(1, 9), 2);  // neither: neighbour 1
    EXPECT_EQ(c.nextEdge(2, 9), 1);  // neighbour 1 is -1: neighbour 0
    EXPECT_EQ(c.edgeStart(2), 0);
    EXPECT_EQ(c.edgeStart(4), 4);  // a loop
    EXPECT_EQ(c.findEdge(2, 1), 1);
    EXPECT_EQ(c.findEdge(4, 6), 5);
    EXPECT_EQ(c.findEdge(0, 2), -1);
    EXPECT_EQ(c.findEdge(-1, 2), -1);

    // To the next sharp vertex along the chain and round the loop.
    V path;
    EXPECT_EQ(c.findNextVertexSharp(1, 1, path), 3);
    EXPECT_EQ(path, (V{1, 2, 3}));
    EXPECT_EQ(c.findNextVertexSharp(6, 5, path), -1);  // round the loop back to 6
    EXPECT_EQ(path, (V{6, 4, 5, 6}));
    EXPECT_EQ(c.findNextVertexSharp(4, 3, path), 6);
    EXPECT_EQ(path, (V{4, 5, 6}));
    c.vertices[6].flags &= std::uint8_t(~CurveVertex::SharpBit);
    EXPECT_EQ(c.findNextVertexSharp(4, 3), -1);  // a loop without sharp vertices
}

TEST(CurveTopology, IndicesOutsideTheArrays) {
    const Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}, false);
    V vs, es{5};
    for (const int bad : {-1, -7, 3, 1000}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(c.nextEdge(bad, 0), -1);
        EXPECT_EQ(c.nextVertex(bad, 0), -1);
        EXPECT_EQ(c.edgeStart(bad), -1);
        EXPECT_EQ(c.findEdge(bad, 0), -1);
        EXPECT_EQ(c.findEdge(0, bad), -1);
        EXPECT_EQ(c.findENeighbours(bad, es), 0);
        EXPECT_TRUE(es.empty());
        EXPECT_EQ(c.findNeighbours(bad, vs, es), 0);
        EXPECT_EQ(c.findNextVertexSharp(bad, 0), -1);
        EXPECT_EQ(c.findNextVertexSharp(0, bad, vs), -1);
        EXPECT_TRUE(vs.empty());
    }
}

TEST(CurveTopology, CorruptLinksEndEveryWalk) {
    // A loop of four edges without sharp vertices, then corrupted by hand.
    struct Case {
        const char* name;
        int edge, end, link;
    };
    const Case cases[] = {
        {"edge linked to itself", 1, 0, 1}, {"edge linked to itself at its far end", 1, 1, 1},
        {"one-way link", 2, 1, 0},          {"link outside the array", 0, 0, 99},
        {"negative link", 3, 1, -5},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0), vec3(0, 1, 0)}, true);
        c.edges[std::size_t(t.edge)].n[t.end] = t.link;
        EXPECT_NE(curvetest::checkCurveInvariants(c), "");
        V path, vs, es;
        for (int e = 0; e < 4; ++e) {
            EXPECT_GE(c.edgeStart(e), 0);
            c.nextEdge(e, -1);
            for (int k = 0; k < 2; ++k) {
                const int v = c.edges[std::size_t(e)].v[k];
                c.findNextVertexSharp(v, e, path);
                EXPECT_LE(path.size(), 6u);
                EXPECT_LE(c.findNeighbours(v, vs, es), 2);
                c.nextVertex(v, -1);
                c.findEdge(v, 0);
            }
        }
        c.setOrder();
        for (const CurveEdge& e : c.edges) EXPECT_FALSE(e.isSelected());
    }
    // A vertex named by an edge that does not use it.
    Curve c(std::vector<vec3>{vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}, false);
    c.vertices[0].edge = 1;
    V es;
    EXPECT_EQ(c.findENeighbours(0, es), 0);
    EXPECT_EQ(c.nextVertex(0, -1), -1);
}

TEST(CurveTopology, WalksOnAFailedCurveStayBounded) {
    // A vertex on three edges: status 1, links as far as they were built.
    Curve c;
    addVertices(c, 5);
    c.edgesAdd({0, 1, 2, 3, 0});
    c.edgeAdd(1, 4);
    c.initialize(Curve::ResizeKeep);
    ASSERT_EQ(c.status, 1);
    V path;
    for (int e = 0; e < c.edgeCount(); ++e) {
        c.edgeStart(e);
        for (int k = 0; k < 2; ++k) {
            c.findNextVertexSharp(c.edges[std::size_t(e)].v[k], e, path);
            EXPECT_LE(path.size(), std::size_t(c.edgeCount()) + 1);
        }
    }
    c.setOrder();
    SUCCEED();
}

}  // namespace
