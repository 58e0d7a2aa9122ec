// The assembly picking through a fake ID buffer, and the order in which the
// frame's pickings run it: the placements of Insert on the background, the
// copies of Multiply and their preview, and the drags that keep the pick.

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
bool near(const mat4& a, const mat4& b, float eps = 1e-4f) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(a[i] - b[i]) > eps) return false;
    return true;
}

class AssemblyPick : public ::testing::Test {
protected:
    AssemblyPick() {
        view.buildMatrices();
        view.setActionMode(GLView::ModeAssembly);
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.cursorPixel = {X, Y};
    }

    Tool* place(const mat4& m) {
        Tool* t = view.scene->addObject(&cube, m, Scene::HangTop, false);
        view.scene->toList();
        return t;
    }
    void show(std::uint32_t id) {
        fakeid::Pixel& p = drive.reader->pixels[{X, Y}];
        p.stencil = 1;
        p.depth = 0.4f;
        p.ids[0] = {id, 0, 0};
        p.normal[0] = vec3(0, 0, 1);
    }

    GLView view{800, 600};
    test::FrameDriver drive{view};
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
};

TEST_F(AssemblyPick, InsertOnTheBackgroundPlacesOnTheScreenPlane) {
    view.setAssemblyAction(GLView::ActionInsert);
    view.setFrameType(GLView::FrameObject);
    view.UpdateActiveTool();
    view.mergeKept = {0};
    view.mergeDropped = {1};
    view.planeDirection = vec3(1, 0, 0);
    drive.frame();  // idle: the pick alone

    EXPECT_EQ(view.pickBrush.selection, ABrush::Screen);
    EXPECT_TRUE(view.mergeKept.empty() && view.mergeDropped.empty() && isZero(view.planeDirection));
    ASSERT_EQ(view.placements.size(), 1u);
    const mat4& P = view.placements[0];
    EXPECT_TRUE(near(vec3(P[3], P[7], P[11]), view.pickBrush.point, 1e-2f));
    // Screen axes scaled to the brush.
    const float k = view.brushSize * length(view.pickBrush.pixelVector);
    const mat3 expected = view.drawingCamera * k;
    const mat3 got = P.block();
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(near(got.column(c), expected.column(c), 1e-2f * k));
    EXPECT_TRUE(near(view.drawingPlane, P));
    EXPECT_TRUE(view.scene->preview.empty());

    // While the press holds, the placement is previewed.
    view.interactionState = 1;
    EXPECT_TRUE(view.framePicks());
    EXPECT_FALSE(view.scene->preview.empty());
}

TEST_F(AssemblyPick, MultiplyCopiesThePickedObjectByTheSymmetry) {
    view.setSymmetry(true, false, false, false, false, false, 6);
    view.setAssemblyAction(GLView::ActionMultiply);
    Tool* t = place(mat4::Translation(5, 0, 0));
    show(std::uint32_t(view.scene->findID(t)));
    EXPECT_FALSE(view.select());  // idle
    EXPECT_TRUE(view.scene->preview.empty());

    view.interactionState = 1;
    EXPECT_TRUE(view.select());
    ASSERT_EQ(view.placements.size(), 1u);
    EXPECT_TRUE(near(view.placements[0], mat4::Mirror(vec3(1, 0, 0))));
    ASSERT_EQ(view.scene->preview.size(), 1);
    EXPECT_EQ(view.scene->preview.tools[0], t);

    // A hit whose id names no listed object: nothing to copy.
    const std::vector<mat4> kept = view.placements;
    show(99);
    EXPECT_FALSE(view.select());
    ASSERT_EQ(view.placements.size(), kept.size());
    EXPECT_TRUE(near(view.placements[0], kept[0]));
}

TEST_F(AssemblyPick, TheFramesPickingsKeepThePickDuringADrag) {
    Tool* t = place(mat4::Identity());
    show(std::uint32_t(view.scene->findID(t)));
    view.setAssemblyAction(GLView::ActionMove);
    drive.frame();
    EXPECT_EQ(view.pickBrush.pickedTool, t);

    // A Move drag: the pick stays, the target follows the cursor.
    view.targetBrush = view.pickBrush;
    view.interactionState = 1;
    drive.reader->pixels.clear();
    view.cursorPixel = {X + 10, Y};
    drive.frame();
    EXPECT_EQ(view.pickBrush.pickedTool, t);
    EXPECT_EQ(view.pickBrush.x, X);
    EXPECT_EQ(view.targetBrush.x, X + 10);

    // Idle Draw with strokes keeps its pick too.
    view.interactionState = 0;
    view.setAssemblyAction(GLView::ActionDraw);
    view.assemblor.addStroke(view.pickBrush);
    drive.frame();
    EXPECT_EQ(view.pickBrush.x, X);
}

}  // namespace
