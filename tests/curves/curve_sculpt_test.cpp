// The curve's sculpt dispatcher: gates and change flags, the twist, the
// subdivision that ends a call, point placing, the plane actions and the
// copy actions, with hand-built Sculptors. The curve is checked after every
// sculpt call.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_build_util.h"
#include "curves/curve_invariants_util.h"

using curvetest::line;
using namespace qel;

namespace {

SBrush sample(const vec3& p, int edge = -1, float screenX = 0.0f) {
    SBrush b;
    b.point = p;
    b.itemId = edge;
    b.radius = 0.5f;
    b.screen.x = screenX;
    return b;
}

// The Sculptors of one stroke step.
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
    void sculpt(Curve& c) {
        c.sculpt(list);
        EXPECT_EQ(curvetest::checkAfterOperation(c), "");
    }
};

void clearFlags(Curve& c) { c.modified = c.materialsChanged = c.reallocate = 0; }

// A deform that lifts vertex 0 of line(5) to y = 1.
void addLift(Stroke& s) { s.add(Sculptor::Deform, {sample(vec3(0, 0, 0)), sample(vec3(0, 1, 0))}); }

}  // namespace

TEST(CurveSculpt, GatesStopTheCallOrLetTheNextSculptorRun) {
    struct Case {
        int action;
        int n;
        Gesture::TState state;
        Sculptor::TSelect scope;
        bool stops;
    };
    const auto E = Sculptor::SelectElement;
    const Case cases[] = {
        {Sculptor::Deform, 1, Gesture::Moving, E, true},
        {Sculptor::Move, 1, Gesture::Moving, E, true},
        {Sculptor::Twist, 1, Gesture::Moving, E, true},
        {Sculptor::Subdivide, 1, Gesture::Moving, E, true},
        {Sculptor::EraseComponent, 2, Gesture::Moving, E, true},
        {Sculptor::PaintMaterial, 2, Gesture::Ended, E, true},
        {Sculptor::ClipPlane, 1, Gesture::Ended, E, true},
        {Sculptor::ClipPlane, 2, Gesture::Moving, E, true},
        {Sculptor::CutPlane, 2, Gesture::Moving, E, true},
        {Sculptor::PlacePoint, 1, Gesture::Ended, E, true},
        {Sculptor::CutPlane, 1, Gesture::Moving, Sculptor::SelectPatch, false},
        {Sculptor::Inflate, 1, Gesture::Moving, E, false},
        {Sculptor::DeformVolume, 2, Gesture::Moving, E, false},
        {Sculptor::EraseFeature, 1, Gesture::Ended, E, false},
        {Sculptor::CutSphere, 2, Gesture::Ended, E, false},
        {Sculptor::PaintMaterial, 1, Gesture::Moving, E, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "action " << k.action << " n " << k.n);
        auto c = line(5);
        c->auxiliary = {3};
        clearFlags(*c);
        Stroke s;
        s.add(k.action, std::vector<SBrush>(std::size_t(k.n), sample(vec3(3.5f, 0, 0), 3)), k.state, k.scope);
        addLift(s);
        s.sculpt(*c);
        EXPECT_EQ(c->vertices[0].position.y, k.stops ? 0.0f : 1.0f);
        EXPECT_EQ(c->reallocate, k.stops ? 0 : 1);
        EXPECT_EQ(c->modified, k.stops ? 0 : 1);
        EXPECT_EQ(c->materialsChanged, k.action == Sculptor::PaintMaterial && !k.stops ? 1 : 0);
        EXPECT_EQ(c->auxiliary.empty(), k.action == Sculptor::PlacePoint);
    }
}

TEST(CurveSculpt, ActionsWithoutACurveOperationArePassedOver) {
    std::vector<int> actions = {7, 8, 10, 11, 14, 21, 22, 23, 25, 26, 28, 31, 33, 50, 54, 60, 71, 99};
    for (int a = 16; a <= 19; ++a) actions.push_back(a);
    for (int a = 36; a <= 46; ++a) actions.push_back(a);
    for (const int a : actions) {
        SCOPED_TRACE(a);
        auto c = line(5);
        Stroke s;
        s.add(a, {sample(vec3(1, 0, 0), 1), sample(vec3(4, 3, 0), 1)}, Gesture::Ended);
        s.add(Sculptor::Deform, {});  // no samples: passed over as well
        addLift(s);
        s.sculpt(*c);
        ASSERT_EQ(c->vertexCount(), 5);
        EXPECT_EQ(c->vertices[0].position, vec3(0, 1, 0));
        for (int v = 1; v < 5; ++v) EXPECT_EQ(c->vertices[std::size_t(v)].position, vec3(float(v), 0, 0));
    }
}

TEST(CurveSculpt, TwistSetsOneAngleFromTheMouse) {
    auto c = line(4);
    for (int v = 0; v < 4; ++v) c->vertices[std::size_t(v)].angle = 0.3f + 0.2f * float(v);
    Stroke s;
    s.add(Sculptor::Twist,
          {sample(vec3(0, 0, 0), 0, 5.0f), sample(vec3(0, 0, 0), 0, 10.0f), sample(vec3(1, 0, 0), 0, 110.0f)});
    s.sculpt(*c);
    for (const CurveVertex& v : c->vertices) EXPECT_FLOAT_EQ(v.angle, 0.4f);
}

TEST(CurveSculpt, SubdivideOnceAndStop) {
    auto c = line(5);
    Stroke s;
    s.add(Sculptor::Subdivide, {sample(vec3(1, 0, 0))}, Gesture::Ended);
    s.add(Sculptor::Subdivide, {sample(vec3(1, 0, 0))}, Gesture::Ended);
    s.sculpt(*c);
    EXPECT_EQ(c->edgeCount(), 8);
}

TEST(CurveSculpt, PlacePointInsertsDragsAndForgets) {
    auto c = line(5);
    Stroke s;
    Sculptor& g = s.add(Sculptor::PlacePoint, {sample(vec3(1.5f, 0, 0), 1)});
    s.sculpt(*c);
    ASSERT_EQ(c->vertexCount(), 6);
    EXPECT_EQ(c->auxiliary, std::vector<std::int32_t>{5});
    EXPECT_EQ(c->vertices[5].position, vec3(1.5f, 0, 0));

    // A second Sculptor without an entry of its own does nothing.
    s.add(Sculptor::PlacePoint, {sample(vec3(3.5f, 0, 0), 3), sample(vec3(3.5f, 2, 0), 3)});
    g.samples.push_back(sample(vec3(1.5f, 1, 0)));
    s.sculpt(*c);
    EXPECT_EQ(c->vertexCount(), 6);
    EXPECT_NEAR(c->vertices[5].position.y, 1.0f, 1e-5f);
    EXPECT_EQ(c->vertices[4].position, vec3(4, 0, 0));  // the sharp end it turns about

    for (Sculptor* x : s.list) x->end();
    s.sculpt(*c);
    EXPECT_TRUE(c->auxiliary.empty());
}

TEST(CurveSculpt, PlaneActions) {
    // The plane through the first sample with normal axis x (first - last):
    // x = 2.5, normal towards -x.
    const std::vector<SBrush> across = {sample(vec3(2.5f, 1, 0)), sample(vec3(2.5f, -1, 0))};
    struct Case {
        int action;
        Sculptor::TSelect scope;
        std::vector<SBrush> samples;
        Gesture::TState state;
        int vertices;
    };
    const Case cases[] = {
        {Sculptor::CutPlane, Sculptor::SelectPatch, {sample(vec3(2.25f, 0, 0), 2)}, Gesture::Moving, 6},
        {Sculptor::CutPlane, Sculptor::SelectPatch, {sample(vec3(0.5f, 0.1f, 0))}, Gesture::Moving, 6},
        {Sculptor::CutPlane, Sculptor::SelectElement, across, Gesture::Ended, 6},
        {Sculptor::CutPlane, Sculptor::SelectComponent, across, Gesture::Ended, 5},
        {Sculptor::ClipPlane, Sculptor::SelectAllPatches, across, Gesture::Ended, 3},
        {Sculptor::SubPlane, Sculptor::SelectElement, across, Gesture::Ended, 3},
        {Sculptor::ClipPlane, Sculptor::SelectPatch, across, Gesture::Ended, 5},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "action " << k.action << " scope " << k.scope);
        auto c = line(5);
        Stroke s;
        s.add(k.action, k.samples, k.state, k.scope);
        s.sculpt(*c);
        EXPECT_EQ(curvetest::activeVertexCount(*c), k.vertices);
        if (k.vertices == 6) {
            EXPECT_EQ(c->vertices[5].position.x, k.samples[0].point.x);
        }
        if (k.vertices == 3) {
            for (const CurveVertex& v : c->vertices) EXPECT_GE(v.position.x, 2.5f);
        }
    }
    Curve empty;
    Stroke s;
    s.add(Sculptor::CutPlane, {sample(vec3(1, 0, 0))}, Gesture::Moving, Sculptor::SelectPatch);
    s.sculpt(empty);
    EXPECT_EQ(empty.vertexCount(), 0);
}

TEST(CurveSculpt, CopyMoveLeavesOneChainAndMovesTheOther) {
    for (const Sculptor::TSelect scope : {Sculptor::SelectComponent, Sculptor::SelectPatch}) {
        auto c = line(3);
        Stroke s;
        Sculptor& g =
            s.add(Sculptor::CopyMove, {sample(vec3(0.5f, 0, 0), 0), sample(vec3(0.5f, 0, 2))}, Gesture::Moving, scope);
        s.sculpt(*c);
        ASSERT_EQ(c->vertexCount(), 6);
        EXPECT_EQ(c->edgeCount(), 4);
        for (int v = 0; v < 3; ++v) EXPECT_EQ(c->vertices[std::size_t(v)].position, vec3(float(v), 0, 0));
        for (int v = 3; v < 6; ++v) EXPECT_EQ(c->vertices[std::size_t(v)].position.z, 2.0f);
        // Later steps move the copy on without copying again.
        g.samples.push_back(sample(vec3(0.5f, 0, 3)));
        s.sculpt(*c);
        EXPECT_EQ(c->vertexCount(), 6);
        for (int v = 3; v < 6; ++v) EXPECT_EQ(c->vertices[std::size_t(v)].position.z, 3.0f);
    }
}
