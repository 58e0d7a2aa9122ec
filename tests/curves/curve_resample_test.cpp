// Resampling by radius, evening, closing and appending curves.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using qel::Curve;
using qel::CurveVertex;
using qel::vec3;
using CurvePtr = std::unique_ptr<Curve>;

namespace {

CurvePtr resample(Curve& c) {
    float step = 0.0f;
    CurvePtr r(c.Uniform(step));
    EXPECT_EQ(curvetest::checkCurveInvariants(c), "");
    if (r->edgeCount() > 0) {
        EXPECT_EQ(curvetest::checkCurveInvariants(*r), "");
    }
    return r;
}

CurvePtr circle(int n, float radius) {
    std::vector<vec3> p;
    for (int i = 0; i < n; ++i) {
        const float a = 6.2831853f * float(i) / float(n);
        p.emplace_back(5.0f * std::cos(a), 5.0f * std::sin(a), 0.0f);
    }
    auto c = curvetest::curveOf(p, true);
    for (CurveVertex& v : c->vertices) v.radius = radius;
    return c;
}

// `chains` chains of two vertices `length` apart along x, one above the
// other, of radius 0 (the spacing falls to its floor) and stored size 1.
CurvePtr thinChains(int chains, float length) {
    auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(length, 0, 0)}, false);
    for (int i = 1; i < chains; ++i) {
        auto d = curvetest::curveOf({vec3(0, float(i), 0), vec3(length, float(i), 0)}, false);
        c->append(d.get());
    }
    c->initialize(Curve::ResizeKeep);
    for (CurveVertex& v : c->vertices) v.radius = 0.0f;
    c->setSize(1.0f);
    return c;
}

}  // namespace

TEST(CurveResample, StraightChainSamplesByRadius) {
    struct Case {
        float end;
        int count;
    };
    for (const Case& k : {Case{10.5f, 12}, Case{10.2f, 11}}) {
        auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(k.end, 0, 0)}, false);
        c->vertices[0].angle = 0.3f;
        CurvePtr r = resample(*c);
        ASSERT_EQ(r->vertexCount(), k.count) << k.end;
        EXPECT_FLOAT_EQ(r->vertices.front().position.x, 0.0f);
        EXPECT_FLOAT_EQ(r->vertices.back().position.x, k.end);
        for (const CurveVertex& v : r->vertices) {
            EXPECT_FLOAT_EQ(v.angle, 0.3f);
            EXPECT_EQ(v.selection, 0);
            EXPECT_NEAR(v.radius, 1.0f, 1e-5f);
            EXPECT_NEAR(v.position.y, 0.0f, 1e-6f);
        }
        for (const CurveVertex& v : c->vertices) {
            EXPECT_EQ(v.selection, -1);
            EXPECT_FALSE(v.isSelected());
        }
    }
}

TEST(CurveResample, GrowingRadiusSpacesWiderTowardsTheEnd) {
    auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(20, 0, 0)}, false);
    c->vertices[1].radius = 3.0f;
    CurvePtr r = resample(*c);
    ASSERT_GE(r->vertexCount(), 4);
    const float firstGap = r->vertices[1].position.x - r->vertices[0].position.x;
    const int n = r->vertexCount();
    const float lastGap = r->vertices[std::size_t(n - 2)].position.x - r->vertices[std::size_t(n - 3)].position.x;
    EXPECT_GT(lastGap, firstGap);
}

TEST(CurveResample, ClosedCircleStaysClosed) {
    auto c = circle(40, 1.0f);
    CurvePtr r = resample(*c);
    // Circumference 31.4 at spacing 1: 31 samples, the 32nd too near the first.
    EXPECT_EQ(r->vertexCount(), 31);
    EXPECT_EQ(r->edgeCount(), r->vertexCount());
    for (const CurveVertex& v : r->vertices) EXPECT_FALSE(v.isEnd());
}

TEST(CurveResample, DegenerateSpacingsTerminate) {
    // Radius 0 is floored at a thousandth of the chain's length.
    auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}, false);
    for (CurveVertex& v : c->vertices) v.radius = 0.0f;
    c->setSize(2.0f);
    CurvePtr r = resample(*c);
    EXPECT_GT(r->vertexCount(), 100);
    EXPECT_LE(r->vertexCount(), 1002);
    // A zero-length source edge gives finite radii.
    auto z = curvetest::curveOf({vec3(0, 0, 0), vec3(0, 0, 0), vec3(3, 0, 0)}, false);
    CurvePtr rz = resample(*z);
    for (const CurveVertex& v : rz->vertices) EXPECT_TRUE(std::isfinite(v.radius));
    // Finite ends of opposite sign near the float limits blend into finite
    // radii between them.
    auto w = curvetest::curveOf({vec3(0, 0, 0), vec3(4, 0, 0)}, false);
    w->vertices[0].radius = -3e38f;
    w->vertices[1].radius = 3e38f;
    w->setSize(4.0f);
    CurvePtr rw = resample(*w);
    ASSERT_GT(rw->vertexCount(), 2);
    for (const CurveVertex& v : rw->vertices) EXPECT_TRUE(std::isfinite(v.radius) && std::fabs(v.radius) <= 3e38f);
}

TEST(CurveResample, ChainsOverflowingTheFloatRangeAreLeftOut) {
    // Smoothing samples this far apart overflows: the chain is dropped, the
    // other one kept.
    auto c = curvetest::curveOf({vec3(-3e38f, 0, 0), vec3(0, 1, 0), vec3(3e38f, 0, 0)}, false);
    for (CurveVertex& v : c->vertices) v.radius = 1e38f;
    auto tail = curvetest::line(3);
    c->append(tail.get());
    c->initialize(Curve::ResizeKeep);
    float step = 0.0f;
    const std::unique_ptr<Curve> r(c->Uniform(step));
    ASSERT_EQ(r->vertexCount(), 3);
    EXPECT_EQ(curvetest::checkCurveInvariants(*r), "");
    for (const CurveVertex& v : r->vertices) EXPECT_TRUE(std::isfinite(v.position.x));
}

TEST(CurveResample, TwoChainsKeepPlainSourceEdges) {
    auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(4, 0, 0)}, false);
    auto d = curvetest::curveOf({vec3(0, 5, 0), vec3(4, 5, 0)}, false);
    c->append(d.get());
    c->initialize(Curve::ResizeKeep);
    CurvePtr r = resample(*c);
    ASSERT_EQ(r->vertexCount(), 10);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r->vertices[std::size_t(i)].selection, 0);
    for (int i = 5; i < 10; ++i) EXPECT_EQ(r->vertices[std::size_t(i)].selection, 1);
    Curve empty;
    CurvePtr e = resample(empty);
    EXPECT_EQ(e->vertexCount(), 0);
}

TEST(CurveResample, CloseJoinsOpenEndsOnly) {
    auto c = curvetest::line(5);
    c->close();
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    ASSERT_EQ(c->edgeCount(), 5);
    EXPECT_EQ(c->edges[4].v[0], 4);
    EXPECT_EQ(c->edges[4].v[1], 0);
    for (int v : {0, 4}) {
        EXPECT_FALSE(c->vertices[std::size_t(v)].isEnd());
        EXPECT_FALSE(c->vertices[std::size_t(v)].isSharp());
    }
    c->close();
    EXPECT_EQ(c->edgeCount(), 5);
    auto two = curvetest::line(2);
    two->close();
    EXPECT_EQ(two->edgeCount(), 1);
    EXPECT_EQ(curvetest::checkAfterOperation(*two), "");
}

TEST(CurveResample, AppendOffsetsIndices) {
    auto c = curvetest::line(5);
    c->append(nullptr);
    EXPECT_EQ(c->vertexCount(), 5);
    auto s = curvetest::line(2);
    c->append(s.get());
    c->initialize(Curve::ResizeKeep);
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    ASSERT_EQ(c->edgeCount(), 5);
    EXPECT_EQ(c->edges[4].v[0], 5);
    EXPECT_EQ(c->edges[4].v[1], 6);
    EXPECT_EQ(c->vertices[5].edge, 4);
    std::vector<vec3> p;
    std::vector<float> radii;
    c->segment(4, p, radii);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_FLOAT_EQ(p[1].x, 1.0f);
    EXPECT_EQ(radii.size(), 2u);
    c->segment(99, radii);
    EXPECT_TRUE(radii.empty());
}

TEST(CurveResample, QuasiUniformSplitsLongAndCollapsesShortEdges) {
    auto c = curvetest::curveOf({vec3(0, 0, 0), vec3(2, 0, 0), vec3(2.05f, 0, 0), vec3(2.5f, 0, 0)}, false);
    c->QuasiUniform();
    c->removeInactive(true);
    EXPECT_EQ(curvetest::checkAfterOperation(*c), "");
    // The 0.05 edge collapses, the 2.0 one (now 2.05 or 2.025) splits once.
    EXPECT_EQ(curvetest::activeEdgeCount(*c), 3);
}

TEST(CurveResample, ThinChainsTakeAtMostAThousandSpacingsOfTheirOwnLength) {
    // The stored size says nothing about the chain: a small one must not
    // ask for a million samples, a large one must not leave the chain out.
    for (const float size : {1.0f, 1e6f})
        for (const float length : {1000.0f, 0.001f}) {
            auto c = thinChains(1, length);
            c->setSize(size);
            CurvePtr r = resample(*c);
            ASSERT_NEAR(r->vertexCount(), 1001, 1) << size << " " << length;
            EXPECT_NEAR(r->vertices[1].position.x, length / 1000, length * 1e-5f);
            EXPECT_FLOAT_EQ(r->vertices.back().position.x, length);
        }
}

TEST(CurveResample, TheSampleCapEndsTheChainBeingSampledAndLeavesTheRestOut) {
    // Three chains of 1001 samples each.
    auto c = thinChains(3, 10.0f);
    float step = 0.0f;
    bool cut = true;
    CurvePtr whole(c->Uniform(step, 5000, cut));
    EXPECT_FALSE(cut);
    EXPECT_EQ(whole->vertexCount(), 3003);
    CurvePtr r(c->Uniform(step, 1500, cut));
    EXPECT_TRUE(cut);
    EXPECT_EQ(curvetest::checkCurveInvariants(*r), "");
    ASSERT_EQ(r->vertexCount(), 1500);
    // The first chain whole, the second open at its last sample, short of
    // its end; nothing of the third.
    EXPECT_EQ(r->edgeCount(), 1500 - 2);
    const vec3 last = r->vertices.back().position;
    EXPECT_TRUE(last.y == 1.0f && last.x > 4.9f && last.x < 5.0f) << last.x << ", " << last.y;
    // Without a cap asked for, a resampling stops at MaxUniformSamples.
    auto many = thinChains(70, 10.0f);
    CurvePtr capped(many->Uniform(step));
    EXPECT_LE(capped->vertexCount(), int(Curve::MaxUniformSamples));
    EXPECT_GT(capped->vertexCount(), int(Curve::MaxUniformSamples) - 1001);
}

TEST(CurveResample, OnlyOpenChainsReachForTheirEnd) {
    // An open spiral ends on its last vertex; a loop keeps its closing edge
    // near the spacing (pulled onto its first point it would fold away).
    std::vector<vec3> p;
    for (int i = 0; i <= 12; ++i) {
        const float a = 0.4f * float(i), r = 3.0f + 0.3f * float(i);
        p.emplace_back(r * std::cos(a), r * std::sin(a), 0.1f * float(i));
    }
    auto open = curvetest::curveOf(p, false);
    for (CurveVertex& v : open->vertices) v.radius = 0.7f;
    CurvePtr r = resample(*open);
    ASSERT_GT(r->vertexCount(), 20);
    EXPECT_EQ(r->vertices.front().position, p.front());
    EXPECT_EQ(r->vertices.back().position, p.back());
    auto loop = circle(40, 1.0f);
    CurvePtr l = resample(*loop);
    for (const qel::CurveEdge& e : l->edges) {
        const float d =
            qel::length(l->vertices[std::size_t(e.v[1])].position - l->vertices[std::size_t(e.v[0])].position);
        EXPECT_GT(d, 0.9f);
    }
}
