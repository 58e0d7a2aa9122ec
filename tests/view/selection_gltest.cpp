// The pixel picking on a real context: an opaque cube and a transparent
// slab over half of it drawn by the scene pass into both scene targets, then
// picked through the view's own ID-buffer reader.

#include <gtest/gtest.h>

#include <cmath>

#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

namespace {

constexpr int N = 64;

class PickingGL : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        view.buildMatrices();
        towards = view.ScreenNormal();
        // One world unit spans N pixels: a cube 32 pixels wide, and a slab in
        // front of its right half.
        const float k = std::sqrt(3.0f);
        solid = view.scene->addObject(&cube, mat4::Scale(0.5f * k), Scene::HangTop, false);
        const mat4 slab =
            mat4::Translation(vec3(0.125f, 0, 0) + towards * 0.3f) * mat4::Scale(0.25f * k, 0.5f * k, 0.01f * k);
        glass = view.scene->addObject(&glassTemplate, slab, Scene::HangTop, false);
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }

    // Both layers drawn as the frame draws them, then the pick at the pixel
    // under the world point.
    ABrush pickAt(const vec3& world) {
        view.scene->toList();
        gl->glViewport(0, 0, N, N);
        gl->glEnable(GL_DEPTH_TEST);
        EXPECT_TRUE(view.fboScene->enable());
        view.renderScene(view.fboScene, Tool::RenderOpaque, false);
        EXPECT_TRUE(view.fboSceneTransparent->enable());
        view.renderScene(view.fboSceneTransparent, Tool::RenderTransparent, false);
        view.fboSceneTransparent->disable();
        const vec3 s = view.project_World_To_Screen(world);
        view.cursorPixel = {int(s.x), int(s.y)};
        return view.selection(ABrush::OnObject, nullptr);
    }

    GLView view{N, N};
    vec3 towards;  // world direction to the viewer
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
    Tool glassTemplate{cube.element, mat4::Identity(), pbr(), true};
    Tool* solid = nullptr;
    Tool* glass = nullptr;
};

}  // namespace

TEST_F(PickingGL, TransparentObjectWinsWhereItCoversTheOpaqueOneElsewhere) {
    const ABrush front = pickAt(vec3(0.125f, 0.05f, 0));
    EXPECT_EQ(front.selection, ABrush::OnObject);
    EXPECT_EQ(front.objectId, view.scene->findID(glass));
    EXPECT_EQ(front.pickedTool, glass);
    EXPECT_NE(front.layers & view.fboSceneTransparent->layer(), 0);

    const ABrush behind = pickAt(vec3(-0.125f, 0.05f, 0));
    EXPECT_EQ(behind.objectId, view.scene->findID(solid));
    EXPECT_EQ(behind.layers, view.fboScene->layer());
    // The face under the cursor faces the viewer; the point lies on it
    // within a pixel, and the normal is the face's.
    const Mesh* mesh = static_cast<const Mesh*>(solid->element);
    ASSERT_TRUE(behind.itemId >= 0 && std::size_t(behind.itemId) < mesh->faces.size());
    EXPECT_GT(dot(mesh->faces[std::size_t(behind.itemId)].normal, towards), 0.99);
    const float pixel = 1.0f / N;
    EXPECT_NEAR(dot(behind.point, towards), 0.25, pixel);
    const vec3 flat = behind.point - towards * float(dot(behind.point, towards));
    EXPECT_LT(length(flat - vec3(-0.125f, 0.05f, 0)), 1.5 * pixel);
    EXPECT_GT(dot(behind.normal, towards), 0.99);
    EXPECT_EQ(view.idReader->layer(IdReader::Opaque), view.fboScene->layer());
}

TEST_F(PickingGL, SelectedObjectKeepsItsId) {
    const int plain = pickAt(vec3(-0.125f, 0, 0)).objectId;
    solid->flags |= Tool::FlagSelected;
    const ABrush selected = pickAt(vec3(-0.125f, 0, 0));
    EXPECT_EQ(selected.objectId, plain);
    EXPECT_EQ(selected.pickedTool, solid);
    // The buffer holds the id with its top bit set.
    IdReader& reader = *view.idReader;
    ASSERT_TRUE(reader.enable(IdReader::Opaque));
    EXPECT_EQ(reader.ids(selected.x, selected.y)[0], std::uint32_t(plain) | 0x80000000u);
    reader.disable(IdReader::Opaque);
}

// During an assembly gesture the frame moves the stamp the gesture points at:
// at its depth for the turns, by the projection option for the actions
// without a picking of their own, not at all for those with one.
TEST_F(PickingGL, FrameMovesTheGestureTargetOfActionsWithoutAPickingOfTheirOwn) {
    view.showText = 0;
    view.outside = false;
    mouse.position = vec2(N / 2, N / 2);
    view.actionMode = GLView::ModeAssembly;
    view.interactionState = 1;
    const auto frame = [&](GLView::TAssemblyAction a, const vec3& under) {
        view.assemblyAction = a;
        view.targetBrush = ABrush();
        view.targetBrush.selection = ABrush::OnObject;
        view.targetBrush.point = vec3(0, 0, 0);
        const vec3 s = view.project_World_To_Screen(under);
        view.cursorPixel = {int(s.x), int(s.y)};
        view.redraw = 1;
        EXPECT_NE(view.render(), nullptr);
        return view.targetBrush;
    };
    ABrush t = frame(GLView::ActionRotate, vec3(-0.125f, 0.05f, 0));
    EXPECT_EQ(t.selection, ABrush::SameDepth);
    EXPECT_NEAR(dot(t.point, towards), 0.0, 1e-4);
    view.brushProjection = ABrush::OnObject;
    t = frame(GLView::ActionMove, vec3(-0.125f, 0.05f, 0));
    EXPECT_EQ(t.selection, ABrush::OnObject);
    EXPECT_NEAR(dot(t.point, towards), 0.25, 1.0 / N);
    EXPECT_EQ(frame(GLView::ActionPlace, vec3(-0.125f, 0.05f, 0)).point, vec3(0, 0, 0));
    mouse = MouseState();
}
