// The stroke picking of Place and Draw in an 800 x 600 view: the placement
// laid out along the drag, symmetric copies merged on a mirror plane, and
// the points of a drawing snapped as its first point was.

#include <gtest/gtest.h>

#include <cmath>

#include "scene/tool.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int X = 400, Y = 300;

bool near(const vec3& a, const vec3& b, float eps = 1e-3f) { return length(a - b) <= eps; }

class StrokePicking : public ::testing::Test {
protected:
    StrokePicking() : drive(view) {
        view.buildMatrices();
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.setActionMode(GLView::ModeAssembly);
        pixel = length(view.ScreenRadius(true));
    }

    // A press on a surface facing the viewer, dx pixels right of the centre.
    void press(GLView::TAssemblyAction a, int dx) {
        view.setAssemblyAction(a);
        ABrush& b = view.pickBrush;
        b.selection = ABrush::OnObject;
        b.layers = 1;
        b.x = X + dx;
        b.y = Y;
        b.point = view.unproject(float(b.x), float(Y), 0.5f);
        b.normal = view.ScreenNormal();
        b.pixelVector = view.ScreenRadius(true);
        view.interactionState = 1;
    }
    bool dragTo(int x, int y) {
        view.cursorPixel = {x, y};
        return view.select2();
    }
    static vec3 axis(const mat4& m, int c) { return vec3(m.at(0, c), m.at(1, c), m.at(2, c)); }

    GLView view{800, 600};
    test::FrameDriver drive;
    double pixel = 0.0;
};

}  // namespace

TEST_F(StrokePicking, PlaceAlongTheDragScaledByItsLength) {
    press(GLView::ActionPlace, 0);
    const vec3 at = view.pickBrush.point;
    EXPECT_FALSE(dragTo(X, Y));  // still on the press pixel
    EXPECT_FALSE(view.targetBrush.placed());

    ASSERT_TRUE(dragTo(X + 30, Y));
    ASSERT_EQ(view.placements.size(), 1u);
    const mat4& P = view.placements[0];
    EXPECT_TRUE(near(P.translation(), at));
    EXPECT_TRUE(near(normalize(axis(P, 0)), normalize(view.targetBrush.point - at)));
    EXPECT_TRUE(near(normalize(axis(P, 2)), view.pickBrush.normal));
    EXPECT_NEAR(length(axis(P, 0)), 30 * pixel, 1e-3);

    ASSERT_TRUE(dragTo(X, Y - 60));
    EXPECT_NEAR(length(axis(view.placements[0], 1)), 60 * pixel, 1e-3);
    EXPECT_TRUE(view.framePicks());  // the frame's picking asks for the preview

    view.activeTool = nullptr;
    EXPECT_FALSE(dragTo(X + 40, Y));
    view.pickBrush.selection = ABrush::NoStamp;
    EXPECT_FALSE(view.select2());
}

TEST_F(StrokePicking, PlaceMergesMirrorCopiesNearThePlane) {
    const vec3 centre = view.unproject(float(X), float(Y), 0.5f);
    ASSERT_NEAR(centre.x, 0.0f, 1e-3f);  // the mirror plane runs through the view's centre
    view.setSymmetry(true, false, false, false, false, false, 6);
    press(GLView::ActionPlace, 20);
    EXPECT_GT(view.pickBrush.point.x, 1e-2f);
    ASSERT_TRUE(dragTo(X + 40, Y));
    EXPECT_EQ(view.placements.size(), 2u);  // snapping off: both copies

    view.setSnapSymmetry(true);
    ASSERT_TRUE(dragTo(X + 40, Y));
    ASSERT_EQ(view.placements.size(), 1u);
    EXPECT_FALSE(view.mergeKept.empty());
    EXPECT_NEAR(view.pickBrush.point.x, 0.0f, 1e-3f);
    EXPECT_NEAR(view.placements[0].translation().x, 0.0f, 1e-3f);
}

TEST_F(StrokePicking, DrawSnapsLaterPointsAsTheFirst) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    view.setSnapSymmetry(true);
    press(GLView::ActionDraw, 0);
    ASSERT_TRUE(dragTo(X + 30, Y + 20));
    const ABrush plain = view.selection(view.brushProjection, &view.pickBrush);
    EXPECT_EQ(view.targetBrush.point, plain.point);  // no merge record: as picked
    EXPECT_GT(std::fabs(plain.point.x), 1e-2f);

    // The first point merged its mirror copy: later points land on the plane.
    view.mergeKept = {0};
    view.mergeDropped = {1};
    ASSERT_TRUE(dragTo(X + 30, Y + 20));
    EXPECT_NEAR(view.targetBrush.point.x, 0.0f, 1e-3f);
    EXPECT_NEAR(view.targetBrush.point.y, plain.point.y, 1e-3f);
    EXPECT_EQ(view.mergeKept.size(), 1u);  // replayed, not recorded again
}
