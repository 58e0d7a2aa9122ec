// Construction, copying, adders and selection of the curve element.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveEdge;
using qel::CurveVertex;
using qel::vec3;
using V = std::vector<int>;
using CurvePtr = std::unique_ptr<Curve>;

namespace {

constexpr std::uint8_t kSharp = CurveVertex::SharpBit;
constexpr std::uint8_t kEnd = CurveVertex::EndBit;
constexpr std::uint8_t kActive = CurveVertex::ActiveBit;

std::vector<vec3> points(int n) {
    std::vector<vec3> p;
    for (int i = 0; i < n; ++i) p.emplace_back(float(i), float(i * i), 0.0f);
    return p;
}

V edgeVertices(const Curve& c) {
    V out;
    for (const CurveEdge& e : c.edges) out.insert(out.end(), {e.v[0], e.v[1]});
    return out;
}

// Selects vertex v and edge e the way the brush selection does.
void select(Curve& c, int v, int e) {
    c.vertices[std::size_t(v)].flags |= CurveVertex::SelectedBit;
    c.vertices[std::size_t(v)].selection = int(c.selectedVertices.size());
    c.selectedVertices.push_back(v);
    c.positionChanges.push_back(vec3(1, 2, 3));
    c.radiusChanges.push_back(0.5f);
    c.angleChanges.push_back(0.25f);
    c.influences.push_back({v, 0.5f, vec3(0, 1, 0)});
    c.edges[std::size_t(e)].flags |= CurveEdge::SelectedBit;
    c.selectedEdges.push_back(e);
}

// A curve that counts the releases of its buffer.
class BufferProbe : public Curve {
public:
    using Curve::Curve;
    int released = 0;
    void deleteVBO() override {
        ++released;
        vbo = 0;
    }
};

TEST(CurveElement, LoadOpenAndClosed) {
    struct Case {
        int n;
        bool closed;
        V edges;
        int status;
    };
    const Case cases[] = {
        {4, false, {0, 1, 1, 2, 2, 3}, 0},
        {4, true, {3, 0, 0, 1, 1, 2, 2, 3}, 0},  // edge 0 from the last point to the first
        {2, true, {1, 0, 0, 1}, 0},              // a loop of two edges
        {1, false, {}, 1},                       // a lone vertex: no edge
        {1, true, {}, 1},
        {0, false, {}, 1},  // no points: no records
        {0, true, {}, 1},
    };
    for (const Case& t : cases) {
        const Curve c(points(t.n), t.closed);
        SCOPED_TRACE(testing::Message() << t.n << (t.closed ? " closed" : " open"));
        EXPECT_EQ(c.vertexCount(), t.n);
        EXPECT_EQ(edgeVertices(c), t.edges);
        EXPECT_EQ(c.status, t.status);
        EXPECT_EQ(c.centre, vec3(0, 0, 0));
        EXPECT_EQ(c.size(), 1.0f);
        if (t.status == 0) {
            EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
            EXPECT_EQ(c.reallocate, 1);
        }
    }
    // A loop has no ends; an open chain's two ends are sharp.
    const Curve loop(points(5), true);
    for (const CurveVertex& v : loop.vertices) EXPECT_EQ(v.flags, kActive);
    const Curve open(points(3), false);
    EXPECT_EQ(open.vertices[0].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(open.vertices[1].flags, kActive);
    EXPECT_EQ(open.vertices[2].flags, kActive | kSharp | kEnd);
}

TEST(CurveElement, LoadWithRadiiAndFlagsKeepsOpenEndsSharp) {
    const Curve c(points(4), {0.5f, 1.5f, 2.5f, 3.5f}, {false, true, false, false}, false);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    EXPECT_EQ(c.vertices[0].flags, kActive | kSharp | kEnd);
    EXPECT_EQ(c.vertices[1].flags, kActive | kSharp);
    EXPECT_EQ(c.vertices[2].flags, kActive);
    EXPECT_EQ(c.vertices[3].flags, kActive | kSharp | kEnd);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(c.vertices[std::size_t(i)].radius, 0.5f + float(i));
    // The sharp vertex makes both edge ends at it sharp.
    EXPECT_TRUE(c.edges[0].isSharp(1) && c.edges[1].isSharp(0));
    EXPECT_FALSE(c.edges[1].isSharp(1) || c.edges[2].isSharp(0));
    // Short lists: missing radii are 1.0, missing flags false.
    const Curve shortLists(points(3), {2.0f}, {}, true);
    EXPECT_EQ(shortLists.vertices[2].radius, 1.0f);
    EXPECT_EQ(shortLists.vertices[2].flags, kActive);
}

TEST(CurveElement, LoadIntoACurveWithRecordsAppendsAChain) {
    Curve c(points(3), false);
    c.load(points(2), false);
    EXPECT_EQ(edgeVertices(c), (V{0, 1, 1, 2, 3, 4}));
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
}

TEST(CurveElement, EdgesAddTakesTheSharpFlagsOfItsEnds) {
    Curve c;
    EXPECT_EQ(c.edgesAdd(V{0}), 0);  // fewer than two entries: nothing
    EXPECT_EQ(c.edgeCount(), 0);
    EXPECT_EQ(c.edgesAdd(V{0, 1, 2}, {true, false, true}), 0);
    EXPECT_EQ(edgeVertices(c), (V{0, 1, 1, 2}));
    EXPECT_EQ(c.edges[0].flags, CurveEdge::ActiveBit | CurveEdge::SHARP[0]);
    EXPECT_EQ(c.edges[1].flags, CurveEdge::ActiveBit | CurveEdge::SHARP[1]);
    EXPECT_EQ(c.vertexAdd(4, 5, 6, true), 0);
    EXPECT_EQ(c.vertices[0].flags, kActive | kSharp);
}

TEST(CurveElement, DeselectAllClearsEverySlot) {
    Curve c(points(4), false);
    select(c, 1, 2);
    select(c, 3, 0);
    c.vertexAdd(vec3(9, 9, 9));
    c.deselectAll();
    for (const CurveVertex& v : c.vertices) {
        EXPECT_EQ(v.selection, -1);
        EXPECT_FALSE(v.isSelected());
    }
    for (const CurveEdge& e : c.edges) EXPECT_FALSE(e.isSelected());
    EXPECT_TRUE(c.selectedVertices.empty() && c.selectedEdges.empty() && c.influences.empty());
    EXPECT_TRUE(c.positionChanges.empty() && c.radiusChanges.empty() && c.angleChanges.empty());
    EXPECT_EQ(c.recordedVertexCount, 5u);
    EXPECT_EQ(c.recordedEdgeCount, 3u);
    // Indices outside the arrays on the lists are skipped.
    c.selectedVertices = {42, -1};
    c.selectedEdges = {17};
    c.deselectAll();
    EXPECT_TRUE(c.selectedVertices.empty());
}

TEST(CurveElement, CloneEqualsItsSourceWithoutTheBuffer) {
    Curve c(points(5), true, Curve::UniformCurve);
    c.refCount = 3;
    c.id = 7;
    c.vbo = 12;  // a buffer name as the drawing would leave it
    c.vboEnabled = 1;
    c.reallocate = 0;
    c.modified = 1;
    c.auxiliary = {4, 5};
    c.pendingRemoval = 1;
    c.orientationsValid = 1;
    select(c, 2, 3);
    CurvePtr k(c.clone());
    EXPECT_EQ(k->refCount, 0);
    EXPECT_EQ(k->id, -1);
    EXPECT_EQ(k->vbo, 0u);
    EXPECT_EQ(k->vboEnabled, 0);
    EXPECT_EQ(k->reallocate, 1);
    EXPECT_EQ(k->curveType, Curve::UniformCurve);
    EXPECT_EQ(k->modified, 1);
    EXPECT_EQ(k->auxiliary, c.auxiliary);
    EXPECT_EQ(k->pendingRemoval, 1);
    EXPECT_EQ(k->orientationsValid, 1);
    EXPECT_EQ(k->selectedVertices, c.selectedVertices);
    EXPECT_EQ(k->selectedEdges, c.selectedEdges);
    EXPECT_EQ(k->influences.size(), 1u);
    EXPECT_EQ(k->positionChanges, c.positionChanges);
    EXPECT_EQ(edgeVertices(*k), edgeVertices(c));
    EXPECT_TRUE(k->vertices[2].isSelected());
    EXPECT_EQ(k->vertices[2].selection, 0);
    EXPECT_TRUE(k->edges[3].isSelected());
    EXPECT_EQ(curvetest::checkCurveInvariants(*k), "");
    // The copy constructor never shares the name either.
    const Curve copy(c);
    EXPECT_EQ(copy.vbo, 0u);
    c.vbo = 0;  // the base releases nothing: forget the fake name
}

TEST(CurveElement, InitReleasesTheBufferAndEmpties) {
    BufferProbe c(points(4), false);
    select(c, 1, 1);
    c.vbo = 5;
    c.centre = vec3(1, 1, 1);
    c.setSize(3.0f);
    c.status = 1;
    c.pendingRemoval = 1;
    c.orientationsValid = 1;
    c.init();
    EXPECT_EQ(c.released, 1);
    EXPECT_EQ(c.vbo, 0u);
    EXPECT_TRUE(c.vertices.empty() && c.edges.empty() && c.selectedVertices.empty());
    EXPECT_EQ(c.centre, vec3(0, 0, 0));
    EXPECT_EQ(c.size(), 1.0f);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.updateStamp, 0u);
    EXPECT_EQ(c.pendingRemoval, 0);
    EXPECT_EQ(c.orientationsValid, 0);
    EXPECT_EQ(c.recordedVertexCount, 4u);  // deselectAll ran before the arrays were emptied
    c.init();
    EXPECT_EQ(c.released, 1);  // no buffer, nothing to release
}

TEST(CurveElement, TouchAndCopyGeometry) {
    qel::Element::GlobalUpdate = 9;
    Curve a(points(3), false);
    a.orientationsValid = 1;
    a.reallocate = 0;
    a.touch();
    EXPECT_EQ(a.orientationsValid, 0);
    EXPECT_EQ(a.reallocate, 1);
    EXPECT_EQ(a.updateStamp, 9u);

    const Curve b(points(5), true);
    Curve c;
    c.copyGeometry(&b, false);
    EXPECT_EQ(edgeVertices(c), edgeVertices(b));
    EXPECT_EQ(c.updateStamp, 0u);
    c.copyGeometry(&a, true);
    EXPECT_EQ(c.vertexCount(), 3);
    EXPECT_EQ(c.updateStamp, 9u);
    c.copyGeometry(nullptr, true);
    c.copyGeometry(&c, true);
    EXPECT_EQ(c.vertexCount(), 3);
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    qel::Element::GlobalUpdate = 1;
}

}  // namespace
