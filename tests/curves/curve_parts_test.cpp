// Selection of chains and patches by edge, and parts copied out of a curve.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using curvetest::curveOf;
using curvetest::line;
using qel::Curve;
using qel::CurveVertex;
using qel::Sculptor;
using qel::vec3;

namespace {

std::unique_ptr<Curve> hexagon(std::vector<bool> sharp = {}) {
    std::vector<vec3> p;
    for (int i = 0; i < 6; ++i) p.emplace_back(std::cos(i * 1.0472f), std::sin(i * 1.0472f), 0.0f);
    return curveOf(p, true, std::move(sharp));
}

TEST(CurveParts, EdgeSelectionScopes) {
    struct Case {
        const char* name;
        std::unique_ptr<Curve> c;
        bool patch;
        int edge;
        std::size_t selected;
        bool whole;
    };
    Case cases[] = {
        {"loop", hexagon(), false, 2, 6, false},
        {"loop with a sharp vertex", hexagon({false, false, true}), true, 4, 6, false},
        {"open chain", line(5), true, 1, 4, true},
        {"open chain with a sharp joint", line(5, {false, false, true}), true, 0, 2, false},
        {"component across the joint", line(5, {false, false, true}), false, 0, 4, false},
        {"stale index", line(5), false, 99, 4, false},
    };
    for (Case& k : cases) {
        int e = k.edge;
        if (k.patch)
            EXPECT_EQ(k.c->selectE_(vec3(0, 0, 0), true, e), k.whole) << k.name;
        else
            k.c->selectE(vec3(0, 0, 0), true, e);
        EXPECT_TRUE(k.c->activeEdge(e)) << k.name;
        EXPECT_EQ(k.c->selectedEdges.size(), k.selected) << k.name;
        k.c->deselectAll();
        EXPECT_EQ(curvetest::checkAfterOperation(*k.c), "") << k.name;
    }
}

TEST(CurveParts, PatchPartCopiesOnlyThePatch) {
    auto c = line(5, {false, false, true});
    int e = 3;
    std::unique_ptr<Curve> part(c->Part(vec3(3.5f, 0, 0), e, Sculptor::SelectPatch));
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    EXPECT_EQ(curvetest::checkAfterOperation(*part), "");
    EXPECT_EQ(part->status, 0);
    ASSERT_EQ(part->vertexCount(), 3);
    ASSERT_EQ(part->edgeCount(), 2);
    EXPECT_EQ(e, c->edgeCount());  // the picked edge is the first of the patch
    for (const CurveVertex& v : part->vertices) EXPECT_GE(v.position.x, 2.0f);
    int ends = 0;
    for (const CurveVertex& v : part->vertices)
        if (v.isEnd()) {
            EXPECT_TRUE(v.isSharp());
            ++ends;
        }
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(part->centre, vec3(3, 0, 0));
}

TEST(CurveParts, PickedEdgeIndexPointsAtItsAppendedCopy) {
    auto c = line(6);
    int e = 3;
    std::unique_ptr<Curve> part(c->Part(vec3(0, 0, 0), e, Sculptor::SelectComponent));
    ASSERT_EQ(part->edgeCount(), 5);
    const int k = e - c->edgeCount();
    ASSERT_GE(k, 0);
    ASSERT_LT(k, part->edgeCount());
    const qel::CurveEdge& copy = part->edges[std::size_t(k)];
    const float mid =
        0.5f * (part->vertices[std::size_t(copy.v[0])].position.x + part->vertices[std::size_t(copy.v[1])].position.x);
    EXPECT_EQ(mid, 3.5f);
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    EXPECT_EQ(curvetest::checkAfterOperation(*part), "");
}

TEST(CurveParts, NoEdgeGivesAnEmptyPart) {
    Curve c;
    c.vertexAdd(vec3(1, 2, 3));
    int e = -1;
    std::unique_ptr<Curve> part(c.Part(vec3(0, 0, 0), e, Sculptor::SelectComponent));
    EXPECT_EQ(e, -1);
    EXPECT_EQ(part->vertexCount(), 0);
    EXPECT_EQ(part->status, 1);
    EXPECT_EQ(curvetest::checkAfterOperation(c), "");
}

}  // namespace
