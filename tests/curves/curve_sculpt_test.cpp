// The curve's sculpt dispatcher with hand-built Sculptors on line(5) (x = 0
// .. 4, sharp ends); the curve is checked after every call.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using namespace qel;

namespace {

SBrush at(float x, float y = 0.0f, int edge = -1, float screenX = 0.0f) {
    SBrush b;
    b.point = vec3(x, y, 0);
    b.itemId = edge;
    b.radius = 0.5f;
    b.screen.x = screenX;
    return b;
}

// The Sculptors of one stroke step, all sculpted by run.
struct Stroke {
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> list;

    Sculptor& add(int action, std::vector<SBrush> samples, Gesture::TState state = Gesture::Moving,
                  Sculptor::TSelect select = Sculptor::SelectElement) {
        owned.push_back(std::make_unique<Sculptor>());
        Sculptor& s = *owned.back();
        s.action = Sculptor::TAction(action);
        s.select = select;
        s.samples = std::move(samples);
        s.state = state;
        s.viewDirection = vec3(0, 0, 1);
        list.push_back(&s);
        return s;
    }
    // Then a deform lifting vertex 0 to y = 1: whether it ran tells whether
    // the call went on.
    void addLift() { add(Sculptor::Deform, {at(0), at(0, 1)}); }
    void run(Curve& c) {
        c.sculpt(list);
        EXPECT_EQ(curvetest::checkAfterOperation(c), "");
    }
};

}  // namespace

TEST(CurveSculpt, GatesStopTheCallOrLetItGoOn) {
    struct Case {
        int action, n;
        Gesture::TState state;
        bool stops;
        Sculptor::TSelect scope = Sculptor::SelectElement;
    };
    std::vector<Case> cases = {
        {Sculptor::Deform, 1, Gesture::Moving, true},
        {Sculptor::Twist, 1, Gesture::Moving, true},
        {Sculptor::Subdivide, 1, Gesture::Moving, true},
        {Sculptor::EraseComponent, 2, Gesture::Moving, true},
        {Sculptor::PaintMaterial, 2, Gesture::Ended, true},
        {Sculptor::ClipPlane, 1, Gesture::Ended, true},
        {Sculptor::CutPlane, 2, Gesture::Moving, true},
        {Sculptor::PlacePoint, 1, Gesture::Ended, true},
        {Sculptor::Inflate, 1, Gesture::Moving, false},
        {Sculptor::DeformVolume, 2, Gesture::Moving, false},
        {Sculptor::EraseFeature, 1, Gesture::Ended, false},
        {Sculptor::CutSphere, 2, Gesture::Ended, false},
        {Sculptor::PaintMaterial, 1, Gesture::Moving, false},
        {Sculptor::CutPlane, 1, Gesture::Moving, false, Sculptor::SelectPatch},
    };
    // Actions without a curve operation change nothing and stop nothing.
    const std::vector<int> none = {7,  8,  10, 11, 14, 16, 17, 18, 19, 21, 22, 23, 25, 26, 28, 31,
                                   33, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 50, 54, 60, 99};
    for (const int a : none) cases.push_back({a, 2, Gesture::Ended, false});
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "action " << k.action << " n " << k.n);
        auto c = curvetest::line(5);
        c->auxiliary = {3};
        c->modified = c->materialsChanged = c->reallocate = 0;
        Stroke s;
        s.add(k.action, std::vector<SBrush>(std::size_t(k.n), at(3.5f, 0, 3)), k.state, k.scope);
        s.add(Sculptor::Deform, {});  // without samples: passed over
        s.addLift();
        s.run(*c);
        if (std::count(none.begin(), none.end(), k.action)) {
            ASSERT_EQ(c->vertexCount(), 5);
            for (int v = 1; v < 5; ++v) EXPECT_EQ(c->vertices[std::size_t(v)].position, vec3(float(v), 0, 0));
        }
        EXPECT_EQ(c->vertices[0].position.y, k.stops ? 0.0f : 1.0f);
        EXPECT_EQ(c->reallocate + c->modified, k.stops ? 0 : 2);
        EXPECT_EQ(c->materialsChanged, k.action == Sculptor::PaintMaterial && !k.stops ? 1 : 0);
        EXPECT_EQ(c->auxiliary.empty(), k.action == Sculptor::PlacePoint);
    }
}

TEST(CurveSculpt, TwistAndSubdivide) {
    auto c = curvetest::line(5);
    for (int v = 0; v < 5; ++v) c->vertices[std::size_t(v)].angle = 0.3f + 0.2f * float(v);
    Stroke twist;
    twist.add(Sculptor::Twist, {at(0, 0, 0, 5.0f), at(0, 0, 0, 10.0f), at(1, 0, 0, 110.0f)});
    twist.run(*c);
    for (const CurveVertex& v : c->vertices) EXPECT_FLOAT_EQ(v.angle, 0.4f);
    Stroke twice;  // the first subdivision ends the call
    twice.add(Sculptor::Subdivide, {at(1)}, Gesture::Ended);
    twice.add(Sculptor::Subdivide, {at(1)}, Gesture::Ended);
    twice.run(*c);
    EXPECT_EQ(c->edgeCount(), 8);
}

TEST(CurveSculpt, PlacePointInsertsDragsAndForgets) {
    auto c = curvetest::line(5);
    Stroke s;
    Sculptor& g = s.add(Sculptor::PlacePoint, {at(1.5f, 0, 1)});
    s.run(*c);
    ASSERT_EQ(c->auxiliary, std::vector<std::int32_t>{5});
    EXPECT_EQ(c->vertices[5].position, vec3(1.5f, 0, 0));
    s.add(Sculptor::PlacePoint, {at(3.5f, 0, 3), at(3.5f, 2, 3)});  // no entry of its own: nothing
    g.samples.push_back(at(1.5f, 1));
    s.run(*c);
    EXPECT_EQ(c->vertexCount(), 6);
    EXPECT_NEAR(c->vertices[5].position.y, 1.0f, 1e-5f);
    EXPECT_EQ(c->vertices[4].position, vec3(4, 0, 0));
    for (Sculptor* x : s.list) x->end();
    s.run(*c);
    EXPECT_TRUE(c->auxiliary.empty());
}

// A stroke whose end never came: the next stroke's first sample starts
// afresh, and its drag moves its own vertex.
TEST(CurveSculpt, APlacePointStrokeLeftOpenLeavesNothingToTheNext) {
    auto c = curvetest::line(5);
    Stroke open;
    open.add(Sculptor::PlacePoint, {at(1.5f, 0, 1)}, Gesture::Started);
    open.run(*c);
    ASSERT_EQ(c->vertexCount(), 6);
    Stroke next;
    Sculptor& g = next.add(Sculptor::PlacePoint, {at(3.5f, 0, 3)}, Gesture::Started);
    next.run(*c);
    ASSERT_EQ(c->auxiliary, std::vector<std::int32_t>{6});
    g.move();
    g.samples.push_back(at(3.5f, 1));
    next.run(*c);
    EXPECT_EQ(c->vertices[5].position, vec3(1.5f, 0, 0));
    EXPECT_NEAR(c->vertices[6].position.y, 1.0f, 1e-5f);
}

TEST(CurveSculpt, PlaneActions) {
    // The plane through the first sample, normal axis x (first - last): x = 2.5, towards -x.
    const std::vector<SBrush> across = {at(2.5f, 1), at(2.5f, -1)};
    const struct {
        int action;
        Sculptor::TSelect scope;
        std::vector<SBrush> samples;
        int vertices;
    } cases[] = {
        {Sculptor::CutPlane, Sculptor::SelectPatch, {at(0.5f, 0.1f)}, 6},
        {Sculptor::CutPlane, Sculptor::SelectElement, across, 6},
        {Sculptor::CutPlane, Sculptor::SelectComponent, across, 5},
        {Sculptor::SubPlane, Sculptor::SelectAllPatches, across, 3},
        {Sculptor::ClipPlane, Sculptor::SelectPatch, across, 5},
    };
    for (const auto& k : cases) {
        auto c = curvetest::line(5);
        Stroke s;
        s.add(k.action, k.samples, k.samples.size() > 1 ? Gesture::Ended : Gesture::Moving, k.scope);
        s.run(*c);
        EXPECT_EQ(curvetest::activeVertexCount(*c), k.vertices) << k.action << " " << k.scope;
        if (k.vertices == 6) {
            EXPECT_EQ(c->vertices[5].position.x, k.samples[0].point.x);
        }
        for (const CurveVertex& v : c->vertices) EXPECT_TRUE(k.vertices != 3 || v.position.x >= 2.5f);
    }
}

TEST(CurveSculpt, CopyMoveLeavesOneChainAndMovesTheOther) {
    for (const Sculptor::TSelect scope : {Sculptor::SelectComponent, Sculptor::SelectPatch}) {
        auto c = curvetest::line(3);
        Stroke s;
        Sculptor& g = s.add(Sculptor::CopyMove, {at(0.5f, 0, 0), at(0.5f)}, Gesture::Moving, scope);
        g.samples[1].point.z = 2;
        s.run(*c);
        ASSERT_EQ(c->vertexCount(), 6);
        g.samples.push_back(g.samples[1]);  // later steps move the copy on, without copying again
        g.samples[2].point.z = 3;
        s.run(*c);
        ASSERT_EQ(c->vertexCount(), 6);
        for (int v = 0; v < 6; ++v)
            EXPECT_EQ(c->vertices[std::size_t(v)].position, vec3(float(v % 3), 0, v < 3 ? 0 : 3));
    }
}

// A Copy Move with a symmetric copy on the same line (its stamp, naming no
// edge, a little off the line, as a mirrored pick point lands) ends alike
// in short steps or one: the copy's edge is found on the line as the press
// left it, before the first stamp's copy moved off, so each stamp copies
// the line where it lay and carries its copy by its own steps. (Found at
// its turn, a first step of a few hundredths left the first stamp's copy
// nearer than the line, and the second stamp copied that copy.)
TEST(CurveSculpt, MirroredCopyMoveEndsAlikeInShortStepsOrOne) {
    const auto mirrored = [](const SBrush& b) { return at(4.0f - b.point.x, b.point.y); };
    const SBrush start = at(0.5f, 0.03f, 0);
    constexpr int Steps = 20;
    const auto lifted = [&](int k) { return at(start.point.x, start.point.y + 0.03f * float(k)); };
    std::vector<std::vector<vec3>> ends;
    for (const bool oneStep : {false, true}) {
        auto c = curvetest::line(5);
        Stroke s;
        Sculptor& a = s.add(Sculptor::CopyMove, {start}, Gesture::Moving, Sculptor::SelectComponent);
        Sculptor& b = s.add(Sculptor::CopyMove, {mirrored(start)}, Gesture::Moving, Sculptor::SelectComponent);
        for (int k = oneStep ? Steps : 1; k <= Steps; ++k) {
            a.samples.push_back(lifted(k));
            b.samples.push_back(mirrored(lifted(k)));
            s.run(*c);
        }
        ends.emplace_back();
        for (const CurveVertex& v : c->vertices) ends.back().push_back(v.position);
    }
    ASSERT_EQ(ends[0].size(), 15u);
    ASSERT_EQ(ends[1].size(), 15u);
    for (std::size_t v = 0; v < 15; ++v) {
        EXPECT_LT(length(ends[0][v] - ends[1][v]), 1e-5f) << v;
        // The line stays; both copies went up by the steps' 0.6.
        EXPECT_NEAR(ends[0][v].y, v < 5 ? 0.0f : 0.6f, 1e-5f) << v;
    }
}
