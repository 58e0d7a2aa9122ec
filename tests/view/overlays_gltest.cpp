// The interaction overlays of whole frames: the drawing gesture, the pick
// records and the sculpt stamps set by hand, the image read back.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/resources.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/glview.h"
#include "view/mouse.h"

using namespace qel;

namespace {

constexpr int N = 200;

const bvec4 Red(255, 0, 0, 255), Orange(239, 186, 0, 0), Green(0, 255, 0, 255), White(255, 255, 255, 255),
    AxisX(255, 68, 68, 255);

class Overlays : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        qel::initIconResources();
        view.showText = 0;
        view.glow = 0;
        view.contourColor = wvec4(0, 0, 0, 0);
        view.background = wvec4(0, 0, 0, 0);
        view.buildMatrices();
        view.outside = false;
        mouse.position = vec2(N / 2, N / 2);
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }

    // A stamp on the surface facing the viewer under pixel (x, y).
    ABrush stamp(int x, int y) const {
        ABrush s;
        s.selection = ABrush::OnObject;
        s.layers = 1;
        s.x = x;
        s.y = y;
        s.depth = view.ScreenDepth();
        s.point = view.unproject(float(x), float(y), s.depth);
        s.normal = view.ScreenNormal();
        s.pixelVector = view.ScreenRadius(false);
        return s;
    }
    // An assembly Draw gesture under way holding one stroke of the stamps.
    void drawStroke(const std::vector<ABrush>& points) {
        view.selectedActionMode = view.actionMode = GLView::ModeAssembly;
        view.assemblyAction = GLView::ActionDraw;
        view.interactionState = 1;
        view.assemblor = Assemblor();
        if (points.empty()) return;
        view.assemblor.addStroke(points.front());
        for (std::size_t i = 1; i < points.size(); ++i) view.assemblor.strokes.back().stamps.push_back(points[i]);
    }
    std::vector<bvec4> frame() {
        view.redraw = 1;
        Texture2D* image = view.render();
        std::vector<bvec4> out(N * N);
        EXPECT_TRUE(image);
        if (!image) return out;
        gl->glBindTexture(GL_TEXTURE_2D, image->id());
        gl->glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        gl->glBindTexture(GL_TEXTURE_2D, 0);
        return out;
    }
    GLView view{N, N};
};

bool sameColour(const bvec4& a, const bvec4& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// The pixels of the colour where the test holds (everywhere without one).
int count(
    const std::vector<bvec4>& image, const bvec4& colour,
    const std::function<bool(int, int)>& where = [](int, int) { return true; }) {
    int n = 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) n += sameColour(image[std::size_t(y * N + x)], colour) && where(x, y);
    return n;
}

std::function<bool(int, int)> within(int x0, int y0, int x1, int y1) {
    return [=](int x, int y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

}  // namespace

// A drawing gesture with two single stamps shows in every mode; the sculpt
// sphere circles only with the pointer inside and outside the view mode.
TEST_F(Overlays, OutsideOrInViewModeOnlyTheDrawingShows) {
    drawStroke({});
    view.assemblor.stamps = {stamp(60, 100), stamp(140, 100)};
    view.sculptAction = Sculptor::CutSphere;
    view.pickBrush = stamp(100, 40);
    view.targetBrush = stamp(100, 60);
    struct Case {
        bool outside;
        GLView::TActionMode mode;
        bool circle;
    } cases[] = {
        {false, GLView::ModeSculpt, true}, {true, GLView::ModeSculpt, false}, {false, GLView::ModeView, false}};
    for (const Case& c : cases) {
        view.outside = c.outside;
        view.actionMode = c.mode;
        const auto image = frame();
        EXPECT_GT(count(image, Orange, within(70, 99, 130, 101)), 50) << c.outside << c.mode;
        EXPECT_EQ(count(image, Red) > 0, c.circle) << c.outside << c.mode;
    }
}

// End points and their segment for the single stamps; the green polyline
// only once the strokes hold two stamps.
TEST_F(Overlays, AStrokeOfOneStampShowsNoPolyline) {
    drawStroke({stamp(50, 150)});
    view.assemblor.stamps = {stamp(60, 100), stamp(140, 100)};
    EXPECT_EQ(count(frame(), Green), 0);
    drawStroke({stamp(50, 150), stamp(150, 150)});
    const auto image = frame();
    EXPECT_GT(count(image, Green, within(60, 149, 140, 151)), 60);
}

// A V of three points: the closing side from the last point to the first
// only for a closed drawing or a profile.
TEST_F(Overlays, ClosedDrawingsAndProfilesJoinTheLastPointToTheFirst) {
    struct Case {
        std::uint8_t closed;
        GLView::TToolCreation creation;
        bool joined;
    } cases[] = {{0, GLView::CreateUseTool, false}, {1, GLView::CreateUseTool, true}, {0, GLView::CreateProfile, true}};
    for (const Case& c : cases) {
        drawStroke({stamp(40, 150), stamp(100, 50), stamp(160, 150)});
        view.closedDrawing = c.closed;
        view.toolCreation = c.creation;
        const auto image = frame();
        EXPECT_GT(count(image, Green, within(60, 80, 80, 100)), 5);
        EXPECT_EQ(count(image, Green, within(60, 148, 140, 152)) > 60, c.joined) << int(c.closed);
    }
}

// The cutting plane's line and the sphere circles appear once the two pick
// records lie on different pixels.
TEST_F(Overlays, PlaneLineAndSphereCirclesWaitForTwoPixels) {
    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    for (Sculptor::TAction a :
         {Sculptor::CutPlane, Sculptor::ClipPlane, Sculptor::CutSphere, Sculptor::SubSphereReverse}) {
        view.sculptAction = a;
        view.pickBrush = stamp(100, 100);
        view.targetBrush = view.pickBrush;
        EXPECT_EQ(count(frame(), Red), 0) << a;
        view.targetBrush = stamp(130, 100);
        const auto image = frame();
        EXPECT_GT(count(image, Red), 50) << a;
        const bool plane = a == Sculptor::CutPlane || a == Sculptor::ClipPlane;
        // The plane's line runs across the whole view along the drag.
        EXPECT_EQ(count(image, Red, within(0, 99, 10, 101)) > 0, plane) << a;
        // The clipping plane's tick points across the drag.
        const bool tick = count(image, Red, within(99, 85, 101, 95)) > 0;
        EXPECT_TRUE(!plane || tick == (a == Sculptor::ClipPlane)) << a;
    }
}

// The pivot of the picked object: the tripod (with its labels) or the
// constraint axis goes with the pivots, the sculpt brush circle stays.
TEST_F(Overlays, HiddenPivotsKeepTheBrushCircle) {
    Tool cube(Mesh::Cube(), mat4::Identity(), pbr(), false);
    Tool* object = view.scene->addObject(&cube, mat4::Identity(), Scene::HangTop, false);
    ASSERT_TRUE(object);
    object->pivot = mat4::Translation(view.unproject(30.0f, 130.0f, view.ScreenDepth()));
    object->transform = mat4::Scale(0.001f);
    view.selectedActionMode = view.actionMode = GLView::ModeAssembly;
    view.assemblyAction = GLView::ActionMove;
    view.pickBrush = stamp(30, 130);
    view.pickBrush.pickedTool = object;
    const auto pivotShown = [this](std::uint8_t pivots, bool constrained) {
        view.showPivots = pivots;
        view.pickBrush.pickedTool->rotationAxis = constrained ? vec3(1, 0, 0) : vec3(0, 0, 0);
        const auto image = frame();
        return std::make_pair(count(image, AxisX) + count(image, White, within(150, 0, N - 1, N - 1)),
                              count(image, Orange));
    };
    const auto tripod = pivotShown(1, false), axis = pivotShown(1, true);
    EXPECT_GT(tripod.first, 100) << "the x axis and its label";
    EXPECT_TRUE(tripod.second == 0 && axis.first == 0 && axis.second > 100);
    for (bool constrained : {false, true}) EXPECT_EQ(pivotShown(0, constrained), std::make_pair(0, 0));

    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    view.sculptAction = Sculptor::Inflate;
    view.stamps = {stamp(100, 100)};
    view.stamps[0].radius = 30;
    EXPECT_GT(count(frame(), Red), 100);
}

// Beside the stamp's own marker, every red pixel of the brush circle lies
// at its radius (stamp radius in pixels times the pixel's world length).
TEST_F(Overlays, BrushCircleLiesAtItsRadius) {
    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    view.sculptAction = Sculptor::Deform;
    view.pickBrush = stamp(100, 100);
    view.stamps = {stamp(100, 100)};
    for (float r : {20.0f, 45.0f}) {
        view.stamps[0].radius = r;
        const auto image = frame();
        int onCircle = 0, elsewhere = 0;
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x) {
                if (!sameColour(image[std::size_t(y * N + x)], Red)) continue;
                const double d = std::hypot(x + 0.5 - 100, y + 0.5 - 100);
                if (d < 7) continue;  // the stamp's marker
                (std::fabs(d - r) < 1.5 ? onCircle : elsewhere) += 1;
            }
        EXPECT_GT(onCircle, 4 * r);
        EXPECT_EQ(elsewhere, 0) << r;
    }
    // The stamp's marker, drawn with the depth test, leaves the depth that
    // the pickings read untouched.
    float depth = 0.0f;
    view.fboScene->enable();
    gl->glReadPixels(100, 100, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    view.fboScene->disable();
    EXPECT_EQ(depth, 1.0f);
}
