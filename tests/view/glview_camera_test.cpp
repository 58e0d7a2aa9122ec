// Camera motion, projection, screen metrics and settings of an 800 x 600
// view, read through the matrices of its last buildMatrices().

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "view/camera.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

namespace {

void expectNear(const vec3& a, const vec3& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

const vec3 ScreenXY(1, 1, 0);

class ViewCamera : public ::testing::TestWithParam<GLView::TViewType> {
protected:
    ViewCamera() {
        view.viewType = GetParam();
        view.buildMatrices();
    }
    GLView view{800, 600};
};

}  // namespace

TEST_P(ViewCamera, ScreenIsInPixelsWithYDownAndUnprojectionRoundTrips) {
    expectNear(view.project(vec3(0, 0, 0)) * ScreenXY, vec3(400, 300, 0), 1e-3f);
    EXPECT_NEAR(view.project_World_To_Screen(vec3(0, 1, 0)).y, 900.0f, 1e-2);
    // Then with a turned, zoomed and panned camera.
    for (int turned = 0; turned < 2; ++turned) {
        for (const vec3& p : {vec3(0, 0, 0), vec3(0.3f, -0.2f, 0.1f), vec3(-0.5f, 0.4f, -0.3f)}) {
            const vec3 s = view.project_World_To_Screen(p);
            expectNear(view.unproject_Screen_To_World(s), p, 1e-3f);
            const float d = (GLView::project_World_To_Normalized(p).z + 1.0f) * 0.5f;
            expectNear(view.unproject(s.x, s.y, d), p, 1e-3f);
        }
        for (float d : {0.1f, 0.5f, 0.99f}) EXPECT_NEAR(GLView::depthScreenInv(GLView::depthScreen(d)), d, 1e-5);
        view.rotate(0.3f, -0.5f, 0.2f);
        view.scale(0.5f);
        view.translate(40.0f, -25.0f, 0.0f);
        view.buildMatrices();
    }
}

TEST_P(ViewCamera, ZoomKeepsTheCentreAndNeverMirrorsThePanOrVanishes) {
    view.translate(100.0f, 50.0f, 0.0f);
    view.buildMatrices();
    const vec3 centre = view.unproject(400.0f, 300.0f, view.ScreenDepth());
    view.scale(-0.12f);
    expectNear(view.camera->position, vec3(88, 44, 0), 1e-4f);
    view.buildMatrices();
    expectNear(view.project_World_To_Screen(centre) * ScreenXY, vec3(400, 300, 0), 1e-2f);
    view.scale(-1.5f);
    EXPECT_EQ(view.camera->position, vec3(0, 0, 0));
    for (int i = 0; i < 40; ++i) view.scale(-0.5f);
    EXPECT_EQ(view.camera->scale, 1e-5f);
}

TEST_P(ViewCamera, PixelSizeFollowsTheZoomUnlessBlocked) {
    const vec3 pixel(1.0f / 600, 0, 0);
    expectNear(view.ScreenRadius(false), pixel, 1e-7f);
    view.blockSize();
    view.scale(1.0f);
    view.buildMatrices();
    expectNear(view.ScreenRadius(false), pixel * 0.5f, 1e-7f);
    expectNear(view.ScreenRadius(true), pixel, 1e-7f);
}

INSTANTIATE_TEST_SUITE_P(BothViewTypes, ViewCamera, ::testing::Values(GLView::ViewOrthogonal, GLView::ViewPerspective));

TEST(ViewTurn, TurnsActAboutTheViewAxes) {
    GLView view(800, 600);
    view.rotate(0.1f, 0.0f, 0.0f);
    EXPECT_LT((view.camera->orientation * vec3(0, 1, 0)).z, -0.09f);
    view.camera->orientation = mat3::Rotation(float(M_PI / 2), 0, 0);  // the Top view
    view.buildMatrices();
    expectNear(view.ScreenNormal(), vec3(0, -1, 0), 1e-6f);
}

TEST(ViewSettings, RenderModeFollowsTheDisplayFlagsAndValuesStayUsable) {
    GLView view(800, 600);
    std::mt19937 random(17);
    for (int i = 0; i < 60; ++i) {
        const unsigned r = random() % 5;
        if (r < 2)
            view.setWireframe(r == 1);
        else if (r < 4)
            view.setSelection(r == 3);
        else
            view.setContour();
        ASSERT_EQ(view.renderMode, std::uint32_t(view.wireframe + 2 * view.selectionDisplay));
    }
    view.setBrushSize(std::nanf(""));
    EXPECT_EQ(view.brushSize, 1.0f);
    view.setFOV(180.0f);
    EXPECT_EQ(view.fov, 60.0f);
}

TEST(ViewSettings, SimpleModePlacesSingleUnlinkedObjectsAndInsideSkipsTheBorder) {
    GLView view(800, 600);
    view.simpleMode = 1;
    view.assemblyAction = GLView::ActionInsert;
    EXPECT_FALSE(view.onAllInstances() || view.linked());
    EXPECT_EQ(view.iassemblyAction(), GLView::ActionPlace);

    view.outside = false;
    for (const vec2& p : {vec2(1, 1), vec2(798, 598), vec2(0, 300), vec2(799, 300), vec2(400, 0), vec2(400, 599)}) {
        mouse.position = p;
        EXPECT_EQ(view.inside(), p.x == 1 || p.x == 798) << p.x << ", " << p.y;
    }
    mouse = MouseState();
}
