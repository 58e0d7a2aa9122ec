// The frame's pickings through a fake ID buffer: the sculpt stamps of a
// fresh pick under the symmetry settings and their stroke updates, and the
// assembly pick with its placements, in the order a frame runs them.

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
bool near(const mat4& a, const mat4& b) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(a[i] - b[i]) > 1e-4f) return false;
    return true;
}
vec3 mirrorX(const vec3& v) { return vec3(-v.x, v.y, v.z); }

class FramePicks : public ::testing::Test {
protected:
    FramePicks() {
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
        drive.reader->pixels[{x, y}] = {1, depth, {{{id(t), 7, 0}, {}}}, {vec3(0, 0, 1), vec3()}};
    }
    // The cursor moves to (x, y) with a stroke (or drag) under way.
    void strokeTo(int x, int y) {
        view.interactionState = 1;
        view.cursorPixel = {x, y};
        drive.frame();
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
};

TEST_F(FramePicks, SculptStampsFollowTheSymmetryAndTheObjectsHandedness) {
    Tool* t = place(mat4::Translation(30, 0, 0));
    t->material.colour = wvec4(0xFF00, 0, 0, 0xFF00);
    show(X, Y, t);
    view.pressure = 0.5f;
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 1u);
    const ABrush& s = view.stamps[0];
    EXPECT_TRUE(near(s.point, view.unproject(X, Y, 0.4f)) && near(view.pickBrush.point, s.point));
    EXPECT_TRUE(near(normalize(s.normal), GLView::unproject_Normal(vec3(0, 0, 1))));
    EXPECT_TRUE(s.handedness == 1 && s.itemId == 7 && s.pickedTool == t);
    EXPECT_TRUE(s.radius == view.brushSize && s.strength == 0.5f);  // pressure is strength only
    EXPECT_EQ(s.pickedMaterial.colour, t->material.colour);

    view.setSymmetry(true, false, false, false, false, false, 6);
    Tool* plain = place(mat4::Identity());
    Tool* mirrored = place(mat4::Scale(-1, 1, 1));
    show(X, Y, plain);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    const ABrush a = view.stamps[0], b = view.stamps[1];
    EXPECT_TRUE(near(b.point, mirrorX(a.point)) && near(normalize(b.normal), mirrorX(normalize(a.normal))));
    EXPECT_TRUE(a.handedness == 1 && a.itemId == 7 && b.handedness == -1 && b.itemId == -1);
    show(X, Y, mirrored);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    EXPECT_TRUE(near(view.stamps[0].viewDirection, -a.viewDirection));
    EXPECT_TRUE(near(view.stamps[1].viewDirection, -b.viewDirection));
}

TEST_F(FramePicks, SnappedCopiesStayMergedAndAStrokeNeverChangesTheStampCount) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    view.setSnapSymmetry(true);
    Tool* t = place(mat4::Identity());
    show(402, Y, t);  // a few pixels off the mirror plane
    show(410, Y, t);
    view.cursorPixel = {402, Y};
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 1u);
    const vec3 p = view.unproject(402, Y, 0.4f);
    EXPECT_TRUE(near(view.stamps[0].point, vec3(0, p.y, p.z)));
    strokeTo(410, Y);
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_TRUE(near(view.stamps[0].point, vec3(0, p.y, p.z)) && near(view.targetBrush.point, vec3(0, p.y, p.z)));

    // Without the snap two stamps; mirror Y added mid-stroke makes four
    // copies, but the press fixed two, each with its own axes.
    view.setSnapSymmetry(false);
    view.interactionState = 0;
    view.cursorPixel = {X, Y};
    show(X, Y, t);
    drive.frame();
    ASSERT_EQ(view.stamps.size(), 2u);
    const ABrush a = view.stamps[0], b = view.stamps[1];
    view.setSymmetry(true, true, false, false, false, false, 6);
    strokeTo(410, Y);
    ASSERT_EQ(view.stamps.size(), 2u);
    EXPECT_TRUE(near(view.stamps[1].point, mirrorX(view.unproject(410, Y, 0.4f))));
    EXPECT_TRUE(view.stamps[0].handedness == 1 && view.stamps[1].handedness == -1);
    EXPECT_TRUE(near(view.stamps[0].viewDirection, a.viewDirection) &&
                near(view.stamps[1].viewDirection, b.viewDirection));
}

TEST_F(FramePicks, StrokePointsFollowTheActionsRuleAndKeepItemAndLayerOffTheObject) {
    const std::pair<Sculptor::TAction, ABrush::TSelection> cases[] = {{Sculptor::Deform, ABrush::SameDepth},
                                                                      {Sculptor::Smooth, ABrush::OnObject},
                                                                      {Sculptor::PaintMaterial, ABrush::OnObject}};
    view.brushProjection = ABrush::OnObject;
    Tool* first = place(mat4::Identity());
    Tool* second = place(mat4::Translation(0, 0, -5));
    show(X, Y, first, 0.4f);
    show(X + 20, Y, second, 0.6f);
    drive.reader->pixels[{X + 20, Y}].ids[0][1] = 9;
    for (const auto& [action, rule] : cases) {
        SCOPED_TRACE(action);
        view.interactionState = 0;
        view.cursorPixel = {X, Y};
        drive.frame();
        view.sculptAction = action;
        strokeTo(X + 20, Y);
        EXPECT_EQ(view.targetBrush.selection, rule);
        const float depth = rule == ABrush::OnObject ? 0.6f : 0.4f;
        EXPECT_TRUE(near(view.stamps[0].point, view.unproject(X + 20, Y, depth), 1e-2f));
        EXPECT_EQ(view.targetBrush.itemId, 7);
    }
    EXPECT_EQ(view.targetBrush.objectId, int(id(second)));
    strokeTo(X + 40, Y);  // nothing drawn there
    EXPECT_TRUE(view.targetBrush.selection == ABrush::SameDepth && view.targetBrush.layers == 1);
    EXPECT_TRUE(near(view.targetBrush.point, view.unproject(X + 40, Y, 0.6f), 1e-2f));
}

TEST_F(FramePicks, NothingToSculptKeepsTheStampsOfTheLastHit) {
    Tool* t = place(mat4::Identity());
    show(X, Y, t);
    drive.frame();
    const vec3 kept = view.stamps.at(0).point;
    // An object scaled to nothing along x: its frame cannot be inverted.
    show(X, Y, place(mat4::Scale(0, 1, 1)));
    view.scene->selectObject(int(id(t)));
    drive.frame();
    EXPECT_TRUE(view.pickBrush.selection == ABrush::NoStamp && view.targetBrush.selection == ABrush::NoStamp);
    EXPECT_EQ(view.scene->selectedObject, nullptr);
    drive.reader->pixels.clear();
    drive.frame();
    EXPECT_TRUE(view.pickBrush.selection == ABrush::Screen && view.pickBrush.layers == 0);
    strokeTo(X + 5, Y);
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_TRUE(near(view.stamps[0].point, kept));
}

TEST_F(FramePicks, InsertOnTheBackgroundPlacesOnTheScreenPlaneAndPreviewsWhilePressed) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionInsert);
    view.setFrameType(GLView::FrameObject);
    view.UpdateActiveTool();
    view.mergeKept = {0};
    view.planeDirection = vec3(1, 0, 0);
    drive.frame();
    EXPECT_EQ(view.pickBrush.selection, ABrush::Screen);
    EXPECT_TRUE(view.mergeKept.empty() && isZero(view.planeDirection));
    ASSERT_EQ(view.placements.size(), 1u);
    const mat4& P = view.placements[0];
    EXPECT_TRUE(near(vec3(P[3], P[7], P[11]), view.pickBrush.point, 1e-2f) && near(view.drawingPlane, P));
    // The screen's axes, scaled to the brush.
    const float k = view.brushSize * length(view.pickBrush.pixelVector);
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(near(P.block().column(c), view.drawingCamera.column(c) * k, 1e-2f * k));
    EXPECT_TRUE(view.scene->preview.empty());
    view.interactionState = 1;
    EXPECT_TRUE(view.framePicks());
    EXPECT_FALSE(view.scene->preview.empty());
}

TEST_F(FramePicks, MultiplyCopiesThePickedObjectAndDragsKeepThePick) {
    view.setActionMode(GLView::ModeAssembly);
    view.setSymmetry(true, false, false, false, false, false, 6);
    view.setAssemblyAction(GLView::ActionMultiply);
    Tool* t = place(mat4::Translation(5, 0, 0));
    show(X, Y, t);
    EXPECT_FALSE(view.select());  // idle
    view.interactionState = 1;
    EXPECT_TRUE(view.select());
    ASSERT_EQ(view.placements.size(), 1u);
    EXPECT_TRUE(near(view.placements[0], mat4::Mirror(vec3(1, 0, 0))));
    ASSERT_EQ(view.scene->preview.size(), 1);
    EXPECT_EQ(view.scene->preview.tools[0], t);
    drive.reader->pixels[{X, Y}].ids[0][0] = 99;  // names no listed object
    EXPECT_FALSE(view.select());
    EXPECT_TRUE(view.placements.size() == 1u && near(view.placements[0], mat4::Mirror(vec3(1, 0, 0))));

    // A Move drag: the pick stays, the target follows the cursor.
    view.interactionState = 0;
    view.setAssemblyAction(GLView::ActionMove);
    show(X, Y, t);
    drive.frame();
    view.targetBrush = view.pickBrush;
    strokeTo(X + 10, Y);
    EXPECT_TRUE(view.pickBrush.pickedTool == t && view.pickBrush.x == X && view.targetBrush.x == X + 10);
}

}  // namespace
