// Erase, split, collapse and compaction of the curve.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
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

// n points along x, 1 apart; radius i + 1 at point i.
Curve* chain(int n, bool closed = false) {
    std::vector<vec3> p;
    std::vector<float> r;
    for (int i = 0; i < n; ++i) {
        p.emplace_back(float(i), 0.0f, 0.0f);
        r.push_back(float(i + 1));
    }
    return new Curve(p, r, std::vector<bool>(std::size_t(n), false), closed);
}

V edgeVertices(const Curve& c) {
    V out;
    for (const CurveEdge& e : c.edges) out.insert(out.end(), {e.v[0], e.v[1]});
    return out;
}

TEST(CurveEdits, SplitAtTheMidpoint) {
    std::unique_ptr<Curve> c(chain(2));
    c->edges[0].material[0] = pbr({0, 1, 65535, 65534}, {3, 0, 0, 65535}, -32766, 5);
    c->edges[0].material[1] = pbr({65535, 2, 65535, 65535}, {0, 0, 0, 65535}, 32766, -8);
    const int m = c->edgeSplit(0);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(edgeVertices(*c), (V{0, 2, 2, 1}));
    const CurveVertex& M = c->vertices[2];
    EXPECT_EQ(M.flags, kActive);  // the middle is not sharp
    EXPECT_EQ(M.position, vec3(0.5f, 0, 0));
    EXPECT_EQ(M.radius, 1.5f);
    EXPECT_EQ(c->vertices[0].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(c->vertices[1].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(c->vertices[1].edge, 1);
    const pbr mid = c->edges[0].material[1];
    EXPECT_EQ(mid, c->edges[1].material[0]);
    EXPECT_EQ(mid.colour, qel::wvec4(32767, 1, 65535, 65534));  // rounded down
    EXPECT_EQ(mid.light, qel::wvec4(1, 0, 0, 65535));
    EXPECT_EQ(mid.roughness, 0);
    EXPECT_EQ(mid.metalness, -1);  // truncated towards zero
    EXPECT_EQ(c->edges[1].material[1].roughness, 32766);
    EXPECT_FALSE(c->edges[0].isSharp(1) || c->edges[1].isSharp(0));
    EXPECT_TRUE(c->edges[0].isSharp(0) && c->edges[1].isSharp(1));

    // Inside a loop the next edge's link moves to the new edge.
    std::unique_ptr<Curve> loop(chain(3, true));
    EXPECT_EQ(loop->edgeSplit(1), 3);
    EXPECT_EQ(curvetest::checkCurveInvariants(*loop), "");
    EXPECT_EQ(loop->edges[2].n[0], 3);
}

TEST(CurveEdits, SplitAtAPoint) {
    struct Case {
        const char* name;
        vec3 a, b, point;
        float radius;            // expected; end radii 1 and 2
        std::uint16_t colour;    // expected; end colours 1000 and 3000
        std::int16_t roughness;  // expected; end values -32766 and 32766
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"quarter", vec3(0, 0, 0), vec3(4, 0, 0), vec3(1, 0, 0), 1.25f, 1500, -16383},
        {"beyond the end", vec3(0, 0, 0), vec3(4, 0, 0), vec3(12, 0, 0), 2.0f, 3000, 32766},
        {"behind the start", vec3(0, 0, 0), vec3(4, 0, 0), vec3(-8, 0, 0), 2.0f, 3000, 32766},
        {"zero length", vec3(1, 1, 1), vec3(1, 1, 1), vec3(2, 1, 1), 1.0f, 1000, -32766},
        {"not a number", vec3(0, 0, 0), vec3(4, 0, 0), vec3(nan, 0, 0), 1.0f, 1000, -32766},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Curve c;
        c.vertexAdd(t.a);
        c.vertexAdd(t.b);
        c.vertices[1].radius = 2.0f;
        c.edgeAdd(0, 1);
        c.edges[0].material[0] = pbr({1000, 0, 65535, 0}, {0, 0, 0, 65535}, -32766, 0);
        c.edges[0].material[1] = pbr({3000, 65535, 0, 65535}, {0, 0, 0, 65535}, 32766, 0);
        c.initialize(Curve::ResizeKeep);
        const int m = c.edgeSplit(0, t.point, true);
        ASSERT_EQ(m, 2);
        EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
        const CurveVertex& M = c.vertices[2];
        EXPECT_TRUE(std::isfinite(M.radius));
        EXPECT_FLOAT_EQ(M.radius, t.radius);
        EXPECT_EQ(M.angle, 0.0f);
        EXPECT_EQ(M.flags, kActive | kSharp);
        const pbr mid = c.edges[0].material[1];
        EXPECT_EQ(mid.colour.r, t.colour);
        EXPECT_EQ(mid.roughness, t.roughness);
        EXPECT_LE(mid.colour.g, 65535);
        EXPECT_EQ(mid, c.edges[1].material[0]);
        EXPECT_TRUE(c.edges[0].isSharp(1) && c.edges[1].isSharp(0));
    }
    // Not sharp: the middle joins smoothly.
    std::unique_ptr<Curve> c(chain(3));
    EXPECT_EQ(c->edgeSplit(1, vec3(1.5f, 0.5f, 0), false), 3);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(c->vertices[3].flags, kActive);
    EXPECT_EQ(c->vertices[3].position, vec3(1.5f, 0.5f, 0));
}

TEST(CurveEdits, Collapse) {
    struct Case {
        const char* name;
        int edge;
        int sharpVertex;  // -1 none
        bool done;
        V edges;    // after compaction
        vec3 kept;  // position of the kept vertex (its index after compaction)
        int keptIndex;
    };
    // The chain 0-1-2-3-4 (edges 0..3); vertex i at x = i. The compaction
    // moves vertex 4 and edge 3 into the holes.
    const Case cases[] = {
        {"neither end fixed", 1, -1, true, {0, 1, 3, 2, 1, 3}, vec3(1.5f, 0, 0), 1},
        {"end 0 sharp", 1, 1, true, {0, 1, 3, 2, 1, 3}, vec3(1, 0, 0), 1},
        {"end 1 sharp", 1, 2, true, {0, 2, 3, 1, 2, 3}, vec3(2, 0, 0), 2},
        {"end 0 open", 0, -1, true, {3, 1, 0, 2, 2, 3}, vec3(0, 0, 0), 0},
        {"end 1 open", 3, -1, true, {0, 1, 1, 2, 2, 3}, vec3(4, 0, 0), 3},
        {"both ends fixed", 1, 1, false, {}, vec3(), 0},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        std::unique_ptr<Curve> c(chain(5));
        if (t.sharpVertex >= 0) {
            c->vertices[std::size_t(t.sharpVertex)].flags |= CurveVertex::SharpBit;
            if (!t.done) c->vertices[2].flags |= CurveVertex::SharpBit;
            c->initialize(Curve::ResizeKeep);
        }
        EXPECT_EQ(c->edgeCollapse(t.edge), t.done);
        EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
        if (!t.done) {
            EXPECT_EQ(c->pendingRemoval, 0);
            continue;
        }
        EXPECT_EQ(c->pendingRemoval, 1);
        c->removeInactive(false);
        EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
        EXPECT_EQ(edgeVertices(*c), t.edges);
        EXPECT_EQ(c->vertices[std::size_t(t.keptIndex)].position, t.kept);
    }
    // Refused: the only edge of an open chain, a loop of two edges, an
    // inactive edge or one outside the array.
    std::unique_ptr<Curve> one(chain(2));
    EXPECT_FALSE(one->edgeCollapse(0));
    std::unique_ptr<Curve> two(chain(2, true));
    EXPECT_FALSE(two->edgeCollapse(0));
    EXPECT_FALSE(two->edgeCollapse(-1));
    EXPECT_FALSE(two->edgeCollapse(2));
    std::unique_ptr<Curve> three(chain(3, true));
    EXPECT_TRUE(three->edgeCollapse(0));
    EXPECT_EQ(curvetest::checkCurveInvariants(*three), "");
    EXPECT_FALSE(three->edgeCollapse(0));  // now inactive
    EXPECT_FALSE(three->edgeCollapse(1));  // a loop of two edges is left
}

TEST(CurveEdits, Erase) {
    // An inner edge: both ends become sharp ends of the two new chains.
    std::unique_ptr<Curve> c(chain(4));
    c->edgeErase(1);
    EXPECT_EQ(c->pendingRemoval, 1);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(c->vertices[1].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(c->vertices[1].edge, 0);
    EXPECT_EQ(c->vertices[2].edge, 2);
    EXPECT_EQ(c->edges[0].n[1], -1);
    EXPECT_TRUE(c->edges[0].isSharp(1));
    c->edgeErase(1);  // already inactive: nothing
    c->edgeErase(9);
    // An end edge: its free vertex goes.
    c->edgeErase(0);
    EXPECT_FALSE(c->vertices[0].isActive());
    EXPECT_FALSE(c->vertices[1].isActive());
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    c->removeInactive(false);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(c->vertexCount(), 2);
    EXPECT_EQ(edgeVertices(*c), (V{1, 0}));  // vertices 2, 3 moved into slots 1, 0
    EXPECT_EQ(c->vertices[0].position, vec3(3, 0, 0));

    // A loop of two edges opens into one edge.
    std::unique_ptr<Curve> two(chain(2, true));
    two->edgeErase(0);
    EXPECT_EQ(curvetest::checkCurveInvariants(*two), "");
    EXPECT_EQ(two->edges[1].flags & CurveEdge::SharpMask, 3);
}

TEST(CurveEdits, RemoveInactive) {
    // Without pending removal nothing moves, not even the counts.
    std::unique_ptr<Curve> c(chain(6));
    c->edges[2].flags = 0;
    c->recordedEdgeCount = 99;
    c->removeInactive(false);
    EXPECT_EQ(c->edgeCount(), 5);
    EXPECT_EQ(c->recordedEdgeCount, 99u);
    // With force it compacts: the last edge fills the hole, links follow.
    c->edges[2].flags = CurveEdge::ActiveBit;
    c->edgeErase(2);
    c->pendingRemoval = 0;
    c->removeInactive(true);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    EXPECT_EQ(edgeVertices(*c), (V{0, 1, 1, 2, 4, 5, 3, 4}));
    EXPECT_EQ(c->edges[3].n[1], 2);
    EXPECT_EQ(c->edges[2].n[0], 3);
    EXPECT_EQ(c->recordedEdgeCount, 4u);
    EXPECT_EQ(c->recordedVertexCount, 6u);
    EXPECT_EQ(c->pendingRemoval, 0);
}

TEST(CurveEdits, LoneVertexSurvivesCompaction) {
    std::unique_ptr<Curve> c(chain(3));
    c->vertexAdd(vec3(9, 9, 9));  // a lone vertex, after the chain
    c->initialize(Curve::ResizeKeep);
    c->edgeErase(0);
    c->removeInactive(false);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
    ASSERT_EQ(c->vertexCount(), 3);
    EXPECT_EQ(c->vertices[0].position, vec3(9, 9, 9));  // moved into the hole of vertex 0
    EXPECT_EQ(c->vertices[0].edge, -1);
    EXPECT_EQ(edgeVertices(*c), (V{1, 2}));
}

TEST(CurveEdits, CompactionKeepsTheVerticesOfActiveEdges) {
    // Records deactivated by hand, as a whole-edge erase does: the vertex
    // shared with a kept edge stays, and links to dropped edges become -1.
    std::unique_ptr<Curve> c(chain(4));
    c->edges[1].flags = 0;
    c->vertices[1].flags = 0;
    c->vertices[2].flags = 0;
    c->edges[0].v[0] = 0;
    c->removeInactive(true);
    ASSERT_EQ(c->vertexCount(), 4);
    EXPECT_EQ(edgeVertices(*c), (V{0, 1, 2, 3}));
    EXPECT_EQ(c->edges[0].n[1], -1);
    EXPECT_EQ(c->edges[1].n[0], -1);
    EXPECT_EQ(c->vertices[1].edge, 0);
    // An active edge naming a vertex outside the array is dropped.
    c->edgeAdd(3, 70);
    c->removeInactive(true);
    EXPECT_EQ(c->edgeCount(), 2);
    c->initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
}

}  // namespace
