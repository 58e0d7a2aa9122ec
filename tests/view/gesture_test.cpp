// Stamps, samples and the drawing gesture, and the view's newest stamp.

#include <gtest/gtest.h>

#include <cmath>

#include "view/assemblor.h"
#include "view/glview.h"
#include "view/mouse.h"
#include "view/sculptor.h"

using namespace qel;

namespace {

ABrush stamp(float radius) {
    ABrush b;
    b.point = vec3(1, 2, 3);
    b.normal = vec3(0, 0, 2);
    b.pixelVector = vec3(0.5f, 0, 0);
    b.radius = radius;
    return b;
}

void expectNear(const vec3& a, const vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

}  // namespace

// The object frame scales by 1/2 about the origin, the element frame shifts
// by (1, 0, 0); then a mirror in x instead of the scaling.
TEST(Gesture, SampleTakesTheStampIntoElementCoordinates) {
    ABrush b = stamp(10);
    b.objectFrame = mat4::Scale(0.5f);
    b.elementFrame = mat4::Translation(1, 0, 0);
    SBrush scaled(b);
    expectNear(scaled.point, vec3(1.5f, 1, 1.5f));
    EXPECT_EQ(scaled.normal, vec3(0, 0, 1));
    EXPECT_FLOAT_EQ(scaled.radius, 10 * 0.25f);

    b.objectFrame = mat4::Mirror(vec3(1, 0, 0));
    b.normal = vec3(3, 0, 4);
    SBrush mirrored(b);
    expectNear(mirrored.point, vec3(0, 2, 3));
    expectNear(mirrored.normal, vec3(-0.6f, 0, 0.8f));
    EXPECT_FLOAT_EQ(mirrored.radius, 10 * 0.5f);

    const SBrush fresh{ABrush()};
    EXPECT_EQ(fresh.normal, vec3(0, 0, 0));
    EXPECT_EQ(fresh.radius, 0.0f);
}

TEST(Gesture, AssemblorStartsAsAskedAndOnlyTheStrokeListsReset) {
    Assemblor single(stamp(1), true);
    EXPECT_TRUE(single.state == Gesture::Idle && single.stamps.size() == 1 && single.strokes.empty());
    Assemblor drawn(stamp(1), false);
    drawn.addStroke(stamp(2));
    drawn.strokes.back().stamps.push_back(stamp(3));
    EXPECT_TRUE(drawn.isStarted() && drawn.strokes.at(1).isStarted());
    EXPECT_EQ(drawn.strokeStamps(), 3u);
    drawn.move();
    drawn.reset();
    EXPECT_EQ(drawn.strokes.size(), 2u);
    drawn.strokes[0].reset();
    EXPECT_TRUE(drawn.strokes[0].stamps.empty());

    Sculptor sculptor;
    sculptor.samples.emplace_back(stamp(1));
    sculptor.begin();
    EXPECT_TRUE(sculptor.isStarted() && sculptor.samples.empty());
}

// While a drawn stroke is held, a new brush size reaches its newest stamp
// and no other; once the button is up, none.
TEST(Gesture, BrushSizeResizesTheNewestStampOfAHeldStroke) {
    GLView view{64, 48};
    view.interactionState = 1;
    view.actionMode = GLView::ModeAssembly;
    view.assemblyAction = GLView::ActionDraw;
    view.drawing = 1;
    view.assemblor = Assemblor(stamp(5), false);
    view.assemblor.addStroke(stamp(5));
    view.assemblor.strokes.back().stamps.push_back(stamp(5));
    mouse.left = 1;
    view.setBrushSize(40);
    mouse.left = 0;
    view.setBrushElevation(0.5f);
    view.setBrushSize(70);
    const auto& strokes = view.assemblor.strokes;
    EXPECT_EQ(strokes[0].stamps[0].radius, 5.0f);
    EXPECT_EQ(strokes[1].stamps[0].radius, 5.0f);
    EXPECT_EQ(strokes[1].stamps[1].radius, 40.0f);
}
