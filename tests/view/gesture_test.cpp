// Stamps, samples and the drawing gesture, and the view's newest stamp.

#include <gtest/gtest.h>

#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

namespace {

ABrush stamp(float radius) {
    ABrush b;
    b.point = vec3(1, 2, 3);
    b.normal = vec3(3, 0, 4);
    b.pixelVector = vec3(0.5f, 0, 0);
    b.radius = radius;
    return b;
}

}  // namespace

// The object frame scales by 1/2 or mirrors x; the element frame then
// shifts by (1, 0, 0). A fresh stamp has no normal and no radius.
TEST(Gesture, SampleTakesTheStampIntoElementCoordinates) {
    ABrush b = stamp(10);
    b.elementFrame = mat4::Translation(1, 0, 0);
    b.objectFrame = mat4::Scale(0.5f);
    const SBrush scaled(b);
    EXPECT_LT(length(scaled.point - vec3(1.5f, 1, 1.5f)), 1e-6);
    EXPECT_LT(length(scaled.normal - vec3(0.6f, 0, 0.8f)), 1e-6);
    EXPECT_FLOAT_EQ(scaled.radius, 2.5f);
    b.objectFrame = mat4::Mirror(vec3(1, 0, 0));
    const SBrush mirrored(b);
    EXPECT_LT(length(mirrored.point - vec3(0, 2, 3)), 1e-6);
    EXPECT_LT(length(mirrored.normal - vec3(-0.6f, 0, 0.8f)), 1e-6);
    EXPECT_FLOAT_EQ(mirrored.radius, 5.0f);
    const SBrush fresh{ABrush()};
    EXPECT_TRUE(fresh.normal == vec3(0, 0, 0) && fresh.radius == 0.0f);
}

// While a drawn stroke is held, a new brush size reaches its newest stamp
// and no other; once the button is up, none. The view's drawing gesture
// goes with its strokes.
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
    EXPECT_TRUE(strokes[0].stamps[0].radius == 5.0f && strokes[1].stamps[0].radius == 5.0f);
    EXPECT_EQ(strokes[1].stamps[1].radius, 40.0f);
}
