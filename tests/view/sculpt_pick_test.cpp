// The sculpt stroke picking through a fake ID buffer, run by the frame's
// pickings: the stamps of a fresh pick under the symmetry settings, the merge
// of copies on the mirror plane, and the stroke updates that follow the
// cursor and rewrite the stamps in place.

#include <gtest/gtest.h>

#include <cmath>

#include "frame_driver_util.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"

using namespace qel;

namespace {

constexpr int X = 420, Y = 300;

bool near(const vec3& a, const vec3& b, float eps = 1e-3f) { return length(a - b) <= eps; }
bool parallel(const vec3& a, const vec3& b) { return near(normalize(a), normalize(b)); }
vec3 mirrorX(const vec3& v) { return vec3(-v.x, v.y, v.z); }

class SculptPick : public ::testing::Test {
protected:
    SculptPick() {
        view.buildMatrices();
        view.setActionMode(GLView::ModeSculpt);
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.cursorPixel = {X, Y};
    }

    Tool* place(const mat4& m) {
        Tool* t = view.scene->addObject(&cube, m, Scene::HangTop, false);
        view.scene->toList();
        return t;
    }
    std::uint32_t id(Tool* t) { return std::uint32_t(view.scene->findID(t)); }
    // The pixel (x, y) shows tool t (item 7) at a depth, facing the viewer.
    void show(int x, int y, Tool* t, float depth = 0.4f) {
        fakeid::Pixel& p = drive.reader->pixels[{x, y}];
        p.stencil = 1;
        p.depth = depth;
        p.ids[0] = {id(t), 7, 0};
        p.normal[0] = vec3(0, 0, 1);
    }
    // A stroke runs from the last fresh pick; the cursor moves to (x, y).
    void strokeTo(int x, int y) {
        view.interactionState = 1;
        view.cursorPixel = {x, y};
        drive.frame();
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
};

TEST_F(SculptPick, WithoutSymmetryOneStampIsThePick) {
    pbr red;
    red.colour = wvec4(0xFF00, 0, 0, 0xFF00);
    Tool* t = place(mat4::Translation(30, 0, 0));
    t->material = red;
    show(X, Y, t);
    view.pressure = 0.5f;
    drive.frame();

    ASSERT_EQ(view.stamps.size(), 1u);
    const ABrush& s = view.stamps[0];
    EXPECT_TRUE(near(s.point, view.unproject(X, Y, 0.4f)));
    EXPECT_TRUE(parallel(s.normal, GLView::unproject_Normal(vec3(0, 0, 1))));
    EXPECT_TRUE(s.handedness == 1 && s.itemId == 7 && s.pickedTool == t && s.selection == ABrush::OnObject);
    EXPECT_TRUE(near(view.pickBrush.point, s.point) && view.pickBrush.itemId == 7);
    // No pressure on the radius; the pressure is the strength.
    EXPECT_TRUE(s.radius == view.brushSize && s.strength == 0.5f);
    EXPECT_EQ(s.pickedMaterial.colour, red.colour);
    EXPECT_TRUE(near(s.viewDirection, view.ScreenNormal()));
}

TEST_F(SculptPick, MirrorXGivesAMirroredSecondStampAndANegativeTransformNegatesTheViewAxes) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    Tool* t = place(mat4::Identity());
    show(X, Y, t);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    const ABrush a = view.stamps[0], b = view.stamps[1];
    EXPECT_TRUE(near(b.point, mirrorX(a.point)));
    EXPECT_TRUE(parallel(b.normal, mirrorX(a.normal)));
    EXPECT_TRUE(a.handedness == 1 && a.itemId == 7 && b.handedness == -1 && b.itemId == -1);

    // The same pick on a mirrored object: every viewing axis turns round.
    Tool* m = place(mat4::Scale(-1, 1, 1));
    show(X, Y, m);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    EXPECT_TRUE(near(view.stamps[0].viewDirection, -a.viewDirection));
    EXPECT_TRUE(near(view.stamps[1].viewDirection, -b.viewDirection));
}

TEST_F(SculptPick, CopiesOnTheMirrorPlaneMergeForTheWholeStroke) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    view.setSnapSymmetry(true);
    Tool* t = place(mat4::Identity());
    const int x = 402;  // a few pixels off the mirror plane
    show(x, Y, t);
    show(x + 4, Y, t);
    view.cursorPixel = {x, Y};
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_FALSE(view.mergeKept.empty());
    const vec3 p = view.unproject(float(x), Y, 0.4f);
    EXPECT_TRUE(near(view.stamps[0].point, vec3(0, p.y, p.z)));

    strokeTo(x + 4, Y);
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_TRUE(near(view.stamps[0].point, vec3(0, p.y, p.z)));
    EXPECT_TRUE(near(view.targetBrush.point, view.stamps[0].point));
}

TEST_F(SculptPick, AStrokeUpdateKeepsTheStampCountAndEachStampsAxes) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    Tool* t = place(mat4::Identity());
    show(X, Y, t);
    show(X + 10, Y + 5, t);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    const ABrush a = view.stamps[0], b = view.stamps[1];

    // Mirror Y as well: four copies, but the press fixed two stamps.
    view.setSymmetry(true, true, false, false, false, false, 6);
    view.sculptAction = Sculptor::Smooth;
    strokeTo(X + 10, Y + 5);
    ASSERT_EQ(view.stamps.size(), 2u);
    const vec3 q = view.unproject(X + 10, Y + 5, 0.4f);
    EXPECT_TRUE(near(view.stamps[0].point, q));
    EXPECT_TRUE(near(view.stamps[1].point, mirrorX(q)));
    for (std::size_t i = 0; i < 2; ++i) {
        const ABrush& fresh = i ? b : a;
        EXPECT_EQ(view.stamps[i].handedness, fresh.handedness);
        EXPECT_TRUE(near(view.stamps[i].viewDirection, fresh.viewDirection));
    }
    EXPECT_TRUE(near(view.pickBrush.point, a.point));
}

TEST_F(SculptPick, StrokePointsFollowTheActionsProjectionRule) {
    struct Case {
        Sculptor::TAction action;
        ABrush::TSelection selection;  // how the next stroke point is placed
    };
    const Case cases[] = {{Sculptor::Deform, ABrush::SameDepth},
                          {Sculptor::Smooth, ABrush::OnObject},
                          {Sculptor::PaintMaterial, ABrush::OnObject}};
    view.brushProjection = ABrush::OnObject;
    Tool* t = place(mat4::Identity());
    show(X, Y, t, 0.4f);
    show(X + 20, Y, t, 0.6f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        view.interactionState = 0;
        view.cursorPixel = {X, Y};
        drive.frame();
        view.sculptAction = c.action;
        strokeTo(X + 20, Y);
        EXPECT_EQ(view.targetBrush.selection, c.selection);
        const float depth = c.selection == ABrush::OnObject ? 0.6f : 0.4f;
        EXPECT_TRUE(near(view.stamps[0].point, view.unproject(X + 20, Y, depth), 1e-2f));
        EXPECT_TRUE(near(view.targetBrush.delta, view.targetBrush.point - view.pickBrush.point, 1e-2f));
    }
}

TEST_F(SculptPick, AStrokeKeepsItsItemOnAnotherObjectAndItsDepthAndLayerOffEveryObject) {
    Tool* first = place(mat4::Identity());
    Tool* second = place(mat4::Translation(0, 0, -5));
    view.sculptAction = Sculptor::Smooth;
    show(X, Y, first);
    show(X + 10, Y, second, 0.5f);
    drive.reader->pixels[{X + 10, Y}].ids[0][1] = 9;
    drive.frame();

    strokeTo(X + 10, Y);
    EXPECT_EQ(view.targetBrush.objectId, int(id(second)));
    EXPECT_EQ(view.targetBrush.itemId, 7);
    EXPECT_TRUE(near(view.targetBrush.point, view.unproject(X + 10, Y, 0.5f)));

    strokeTo(X + 30, Y);  // nothing drawn there
    EXPECT_EQ(view.targetBrush.selection, ABrush::SameDepth);
    EXPECT_EQ(view.targetBrush.layers, 1);
    EXPECT_TRUE(near(view.targetBrush.point, view.unproject(X + 30, Y, 0.5f), 1e-2f));
    EXPECT_EQ(view.stamps.size(), 1u);
}

TEST_F(SculptPick, NothingToSculptLeavesTheStampsOfTheLastHit) {
    Tool* t = place(mat4::Identity());
    show(X, Y, t);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 1u);
    const vec3 kept = view.stamps[0].point;

    // An object scaled to nothing along x: its frame cannot be inverted.
    Tool* flat = place(mat4::Scale(0, 1, 1));
    show(X, Y, flat);
    view.scene->selectObject(int(id(t)));
    drive.frame();
    EXPECT_TRUE(view.pickBrush.selection == ABrush::NoStamp && view.pickBrush.layers == 0);
    EXPECT_EQ(view.targetBrush.selection, ABrush::NoStamp);
    EXPECT_EQ(view.scene->selectedObject, nullptr);
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_TRUE(near(view.stamps[0].point, kept));

    // An id the lists do not name, then an empty pixel.
    drive.reader->pixels[{X, Y}].ids[0][0] = 99;
    drive.frame();
    EXPECT_EQ(view.pickBrush.selection, ABrush::NoStamp);
    drive.reader->pixels.clear();
    drive.frame();
    EXPECT_TRUE(view.pickBrush.selection == ABrush::Screen && view.pickBrush.layers == 0);
    strokeTo(X + 5, Y);  // no stroke without a hit
    EXPECT_TRUE(near(view.stamps[0].point, kept));
}

}  // namespace
