// The curve's sculpting operators.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using curvetest::curveOf;
using curvetest::line;
using qel::Curve;
using qel::CurveVertex;
using qel::pbr;
using qel::Sculptor;
using qel::vec3;

namespace {

std::vector<vec3> positions(const Curve& c) {
    std::vector<vec3> p;
    for (const CurveVertex& v : c.vertices) p.push_back(v.position);
    return p;
}

void expectNear(const vec3& a, const vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

#define EXPECT_CLEAN(c) EXPECT_EQ(curvetest::checkAfterOperation(c), "")

TEST(CurveSculptOps, DeformOnAnEmptyCurveDoesNothing) {
    Curve c;
    c.deform(vec3(0, 0, 0), vec3(1, 0, 0), 1.0f);
    EXPECT_TRUE(c.vertices.empty());
    EXPECT_CLEAN(c);
}

TEST(CurveSculptOps, DeformAndMoveScopes) {
    auto c = line(5, {false, false, true});
    c->deform(vec3(0, 0, 0), vec3(0, 1, 0), 1.5f);
    EXPECT_EQ(c->vertices[0].position, vec3(0, 1, 0));
    EXPECT_EQ(c->vertices[2].position, vec3(2, 0, 0));
    EXPECT_CLEAN(*c);
    int e = 99;  // stale: acts as no pick
    c->deformE_(vec3(3.5f, 0, 0), vec3(3.5f, 0, 2), e);
    EXPECT_EQ(e, 3);
    EXPECT_EQ(c->vertices[4].position, vec3(4, 0, 2));
    EXPECT_EQ(c->vertices[2].position, vec3(2, 0, 2));  // the sharp end of the patch moves with it
    EXPECT_EQ(c->vertices[1].position.z, 0.0f);
    EXPECT_CLEAN(*c);
    e = 0;
    c->deformE(vec3(0, 0, 0), vec3(1, 0, 0), e);
    EXPECT_EQ(c->vertices[4].position, vec3(5, 0, 2));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, ChainDeformFollowsThePickedEdge) {
    // Two parallel chains; the chain walk leaves the one not picked alone.
    auto c = line(4);
    c->load({{0, 0.2f, 0}, {1, 0.2f, 0}, {2, 0.2f, 0}, {3, 0.2f, 0}}, false);
    c->deformG(vec3(1.5f, 0.1f, 0), vec3(1.5f, 0.1f, 1), 2.0f, 1);
    EXPECT_GT(c->vertices[1].position.z, 0.0f);
    EXPECT_EQ(c->vertices[5].position.z, 0.0f);
    EXPECT_CLEAN(*c);
    auto a = line(4);
    auto b = line(4);
    a->deformG(vec3(2.4f, 0, 0), vec3(2.4f, 1, 0), 1.0f, -1);
    b->deformG(vec3(2.4f, 0, 0), vec3(2.4f, 1, 0), 1.0f, 1000);
    EXPECT_EQ(positions(*a), positions(*b));
    EXPECT_CLEAN(*b);
}

TEST(CurveSculptOps, SmoothPullsTowardsTheNeighbours) {
    auto c = curveOf({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}, false);
    c->vertices[1].radius = 3.0f;
    c->smooth(vec3(1, 1, 0), 0.5f);
    expectNear(c->vertices[1].position, vec3(1, 0.5f, 0));
    EXPECT_FLOAT_EQ(c->vertices[1].radius, 2.0f);
    EXPECT_CLEAN(*c);
    c->smoothG(vec3(1, 0.5f, 0), vec3(0, 0, 0), 0.5f, 0);
    expectNear(c->vertices[1].position, vec3(1, 0.25f, 0));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, RadiusFollowsTheDistanceFromTheLine) {
    auto c = line(3);
    c->radiusG(vec3(0.5f, 1, 0), vec3(0.5f, 2, 0), 100.0f, 0);
    for (const CurveVertex& v : c->vertices) EXPECT_GT(v.radius, 1.9f);
    EXPECT_CLEAN(*c);
    // On the edge's line there is no distance to compare: nothing changes.
    c->radiusG(vec3(0.5f, 0, 0), vec3(0.5f, 2, 0), 100.0f, 0);
    EXPECT_GT(c->vertices[0].radius, 1.9f);
    EXPECT_LT(c->vertices[0].radius, 2.0f);
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, MaterialsPaintAndFillTheMaskedChannels) {
    const pbr m({100, 200, 300, 400}, {10, 20, 30, 40}, 32767, 500);
    const pbr plain;
    auto c = line(3);
    c->materialG_(vec3(1, 0, 0), 0.5f, -1, m, pbr::MaskColour | pbr::MaskRoughness, 1.0f);
    for (const pbr& p : {c->edges[0].material[1], c->edges[1].material[0]}) {
        EXPECT_EQ(p.colour, qel::wvec4(100, 200, 300, 65535));
        EXPECT_EQ(p.light, plain.light);
        EXPECT_EQ(p.roughness, 32766);
        EXPECT_EQ(p.metalness, 0);
    }
    EXPECT_EQ(c->edges[0].material[0], plain);
    EXPECT_CLEAN(*c);
    c->materialE_(vec3(0, 0, 0), 0, m, pbr::MaskLight | pbr::MaskThickness | pbr::MaskMetalness);
    for (const qel::CurveEdge& g : c->edges)
        for (const pbr& p : g.material) {
            EXPECT_EQ(p.light, m.light);
            EXPECT_EQ(p.metalness, 500);
        }
    EXPECT_EQ(c->edges[0].material[0].colour, plain.colour);
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, DeformPointTurnsBothSidesAboutTheirSharpEnds) {
    auto c = line(5);
    c->deformPoint(2, vec3(2, 1, 0));
    expectNear(c->vertices[1].position, vec3(1, 0.5f, 0));
    expectNear(c->vertices[2].position, vec3(2, 1, 0));
    expectNear(c->vertices[3].position, vec3(3, 0.5f, 0));
    EXPECT_EQ(c->vertices[0].position, vec3(0, 0, 0));
    EXPECT_EQ(c->vertices[4].position, vec3(4, 0, 0));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, DegenerateInputsChangeNothing) {
    // deformPoint of a point on top of its sharp neighbours, or outside.
    auto stacked = curveOf({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, false);
    const std::vector<vec3> before = positions(*stacked);
    for (const int v : {1, -1, 3, 99}) stacked->deformPoint(v, vec3(5, 5, 5));
    EXPECT_EQ(positions(*stacked), before);
    EXPECT_CLEAN(*stacked);
    // Uniform scale with the start sample at the centre.
    auto c = line(3);
    c->centre = vec3(1, 0, 0);
    c->scale(vec3(1, 0, 0), vec3(3, 0, 0), -1, Sculptor::SelectElement, true);
    EXPECT_EQ(positions(*c), positions(*line(3)));
    EXPECT_CLEAN(*c);
    // A directional step beyond the factor 2.
    c->scale(vec3(2, 0, 0), vec3(3.5f, 0, 0), -1, Sculptor::SelectElement, false);
    EXPECT_EQ(positions(*c), positions(*line(3)));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, ScaleAboutTheCentre) {
    auto c = curveOf({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}, false);
    c->centre = vec3(1, 1, 0);
    c->scale(vec3(2, 1, 0), vec3(3, 1, 0), -1, Sculptor::SelectElement, true);
    expectNear(c->vertices[0].position, vec3(-1, -1, 0));
    expectNear(c->vertices[2].position, vec3(3, 3, 0));
    EXPECT_CLEAN(*c);
    c->scale(vec3(2, 1, 0), vec3(2.5f, 1, 0), -1, Sculptor::SelectElement, false);  // 1.5 along x
    expectNear(c->vertices[0].position, vec3(-2, -1, 0));
    expectNear(c->vertices[2].position, vec3(4, 3, 0));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, RotateAboutTheVerticalThroughTheScopeCentre) {
    auto c = curveOf({{2, 1, 3}, {4, 1, 3}, {4, 3, 3}, {2, 3, 3}}, true);
    const vec3 centre(3, 2, 3);
    c->rotate(centre + vec3(1, 0, 0.5f), centre + vec3(0, 1, -0.3f), 0, Sculptor::SelectComponent, vec3(0, 0, 1));
    expectNear(c->vertices[0].position, vec3(4, 1, 3));
    expectNear(c->vertices[1].position, vec3(4, 3, 3));
    expectNear(c->vertices[3].position, vec3(2, 1, 3));
    EXPECT_CLEAN(*c);
}

TEST(CurveSculptOps, CutAndClipByAPlane) {
    auto c = curveOf({{0, 0, 0}, {2, 0, 0}}, false);
    c->cutPlane(vec3(1, 0, 0), vec3(1, 0, 0));
    EXPECT_EQ(curvetest::activeVertexCount(*c), 3);
    EXPECT_EQ(curvetest::activeEdgeCount(*c), 2);
    EXPECT_EQ(c->vertices[2].position, vec3(1, 0, 0));
    EXPECT_CLEAN(*c);
    auto d = curveOf({{0, 0, 0}, {2, 0, 0}}, false);
    d->clipPlane(vec3(1, 0, 0), vec3(1, 0, 0));
    ASSERT_EQ(d->vertexCount(), 2);
    EXPECT_EQ(d->edgeCount(), 1);
    for (const CurveVertex& v : d->vertices) {
        EXPECT_LE(v.position.x, 1.0f);
        EXPECT_TRUE(v.isEnd());
    }
    EXPECT_CLEAN(*d);
}

TEST(CurveSculptOps, CutPointAndErase) {
    auto c = line(5, {false, false, true});
    EXPECT_EQ(c->cutPoint(vec3(0.25f, 0, 0), 1000), 5);
    EXPECT_EQ(c->edgeCount(), 5);
    EXPECT_CLEAN(*c);
    c->eraseE_(vec3(3.5f, 0, 0), -1);
    EXPECT_EQ(c->edgeCount(), 3);
    EXPECT_EQ(c->vertexCount(), 4);
    for (const CurveVertex& v : c->vertices) {
        if (v.position.x == 2.0f) {
            EXPECT_TRUE(v.isEnd() && v.isSharp());
        }
    }
    EXPECT_CLEAN(*c);
    c->load({{0, 5, 0}, {1, 5, 0}}, false);
    c->eraseE(vec3(0, 0, 0), -1);
    EXPECT_EQ(c->vertexCount(), 2);
    EXPECT_EQ(c->vertices[0].position.y, 5.0f);
    EXPECT_CLEAN(*c);
}

}  // namespace
