// Brush selection of curve vertices and the pending changes.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using curvetest::curveOf;
using curvetest::line;
using qel::Curve;
using qel::vec3;

namespace {

// The influence distance of each vertex, -1 where it is not selected.
std::vector<float> distances(const Curve& c) {
    std::vector<float> d(c.vertices.size(), -1.0f);
    for (const qel::CurveInfluence& i : c.influences) d[std::size_t(i.vertex)] = i.distance;
    return d;
}

TEST(CurveBrush, SphereSelectionReachesTheRimAndNoFurther) {
    struct Case {
        float x;
        bool selected;
    };
    for (const Case k : {Case{1.0f, true}, Case{1.001f, false}}) {
        auto c = curveOf({{0, 0, 0}, {k.x, 0, 0}, {5, 0, 0}}, false);
        c->selectV(vec3(0, 0, 0), 1.0f, true);
        EXPECT_EQ(c->vertices[1].isSelected(), k.selected) << k.x;
        if (k.selected) {
            EXPECT_EQ(distances(*c)[1], 1.0f);
        }
        EXPECT_EQ(curvetest::checkCurveInvariants(*c), "");
        c->deselectAll();
        EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    }
}

TEST(CurveBrush, UnusableRadiusSelectsNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float R : {0.0f, -1.0f, nan, inf}) {
        auto loop = curveOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, true);
        loop->selectV(vec3(0, 0, 0), R, true);
        EXPECT_TRUE(loop->selectedVertices.empty()) << R;
        loop->selectVG(vec3(0, 0, 0), R, true, 0);
        loop->selectVG_(vec3(0, 0, 0), R, true, 0);
        EXPECT_TRUE(loop->selectedVertices.empty()) << R;
        EXPECT_TRUE(loop->influences.empty()) << R;
        loop->deselectAll();
        EXPECT_EQ(curvetest::checkAfterOperation(*loop), "");
    }
}

TEST(CurveBrush, ChainWalkStopsAtEndsOrSharpVertices) {
    auto c = line(5, {false, false, true, false, false});
    c->selectVG(vec3(0.5f, 0, 0), 10.0f, true, 0);
    std::vector<float> d = distances(*c);
    EXPECT_FLOAT_EQ(d[0], 0.05f);
    EXPECT_FLOAT_EQ(d[4], 0.35f);  // the walk runs through the sharp vertex to the end
    c->selectVG_(vec3(0.5f, 0, 0), 10.0f, true, 0);
    d = distances(*c);
    EXPECT_FLOAT_EQ(d[2], 0.15f);  // the sharp vertex is selected and ends the walk
    EXPECT_EQ(d[3], -1.0f);
    EXPECT_EQ(d[4], -1.0f);
    c->deselectAll();
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
}

TEST(CurveBrush, LoopWalksKeepTheSmallerDistance) {
    auto loop = curveOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, true);  // edge 0 runs 3 -> 0
    loop->selectVG(vec3(0, 0.5f, 0), 10.0f, true, 0);
    const std::vector<float> d = distances(*loop);
    EXPECT_FLOAT_EQ(d[0], 0.05f);
    EXPECT_FLOAT_EQ(d[1], 0.15f);
    EXPECT_FLOAT_EQ(d[2], 0.15f);
    EXPECT_FLOAT_EQ(d[3], 0.05f);
    EXPECT_EQ(loop->influences.size(), 4u);
    loop->deselectAll();
    EXPECT_EQ(curvetest::checkAfterOperation(*loop), "");
}

TEST(CurveBrush, StaleEdgeIndexStandsForTheNearestEdge) {
    for (const int e : {-1, 99, 1}) {
        auto c = line(4);
        if (e == 1) c->edges[1].flags = std::uint8_t(c->edges[1].flags & ~qel::CurveEdge::ActiveBit);
        c->selectVG(vec3(2.5f, 0, 0), 0.6f, true, e);
        const std::vector<float> d = distances(*c);
        EXPECT_FLOAT_EQ(d[2], 0.5f / 0.6f) << e;
        EXPECT_FLOAT_EQ(d[3], 0.5f / 0.6f) << e;
        c->deselectAll();
    }
}

TEST(CurveBrush, FindFirstEdge) {
    auto c = line(3);
    EXPECT_EQ(c->findFirstEdge(vec3(0.5f, 1, 0)), 0);
    EXPECT_EQ(c->findFirstEdge(vec3(1.7f, -1, 0)), 1);
    EXPECT_EQ(c->findFirstEdge(vec3(5, 1, 0)), c->vertices[2].edge);
    EXPECT_EQ(c->findFirstEdge(vec3(-5, 1, 0)), c->vertices[0].edge);
    EXPECT_EQ(Curve().findFirstEdge(vec3(0, 0, 0)), -1);
}

TEST(CurveBrush, DeformFalloff) {
    auto c = curveOf({{0, 0, 0}, {1, 0, 0}, {3, 0, 0}}, false);
    c->selectV(vec3(0, 0, 0), 2.0f, true);
    c->_deform(vec3(0, 1, 0));
    c->applyDisplacement(true, false, false);
    c->deselectAll();
    EXPECT_EQ(c->vertices[0].position, vec3(0, 1, 0));
    EXPECT_FLOAT_EQ(c->vertices[1].position.y, 0.6875f);
    EXPECT_EQ(c->vertices[2].position, vec3(3, 0, 0));
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
}

TEST(CurveBrush, ApplyOnlyTheChosenChanges) {
    auto c = curveOf({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, false);
    for (std::size_t i = 0; i < 3; ++i) {
        c->vertices[i].radius = float(i + 1) * 2.0f;
        c->vertices[i].angle = float(i);
        c->vertices[i].orientation = vec3(1, 2, 3);
    }
    c->selectAllV();
    EXPECT_FALSE(c->vertices[1].isSelected());
    c->_smooth(1.0f);
    c->applyDisplacement(true, false, false);
    c->deselectAll();
    EXPECT_EQ(c->vertices[1].position, vec3(1, 0, 0));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(c->vertices[i].radius, float(i + 1) * 2.0f);
        EXPECT_EQ(c->vertices[i].angle, float(i));
        EXPECT_EQ(c->vertices[i].orientation, vec3(0, 0, 0));
    }
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
}

TEST(CurveBrush, ScaleAndTransformAssign) {
    auto c = line(3);
    c->selectAll();
    EXPECT_EQ(c->selectedEdges.size(), 2u);
    c->_move(vec3(0, 5, 0));
    c->_scale(vec3(0, 0, 0), 2.0f);  // assigns over the move
    c->applyDisplacement(true, false, false);
    c->deselectAll();
    EXPECT_EQ(c->vertices[2].position, vec3(4, 0, 0));
    c->selectAllV();
    qel::mat4 M = qel::mat4::Translation(vec3(0, 0, 1));  // as a movement: 1 off the first three diagonal entries
    M.m[0] -= 1.0f;
    M.m[5] -= 1.0f;
    M.m[10] -= 1.0f;
    c->_transform(M);
    c->applyDisplacement(true, false, false);
    c->deselectAll();
    EXPECT_EQ(c->vertices[1].position, vec3(2, 0, 1));
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
}

}  // namespace
