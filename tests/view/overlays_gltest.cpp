// The interaction overlays of whole frames, the image read back. The drawing
// gesture is set by hand; the pick records and sculpt stamps come from the
// frame's own pickings over a box under the cursor.

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
#include "view/view_frame_util.h"

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
        // One stamp per sculpt pick: no symmetric copies.
        view.symmetry = {0, 0, 0, 0, 0, 0};
        mouse.position = vec2(N / 2, N / 2);
    }
    void TearDown() override { EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR)); }

    // An opaque box facing the viewer, its front face at the focus depth
    // covering the pixels x0..x1, y0..y1, as thick as it is wide.
    Tool* box(int x0, int y0, int x1, int y1) {
        const float d = view.ScreenDepth();
        const vec3 o = view.unproject(float(x0), float(y0), d);
        const vec3 ex = view.unproject(float(x1), float(y0), d) - o, ey = view.unproject(float(x0), float(y1), d) - o;
        const float thick = float(length(ex));
        // The unit cube's side: its diagonal is one.
        const float k = std::sqrt(3.0f);
        mat3 frame;
        frame.setColumn(0, ex * k);
        frame.setColumn(1, ey * k);
        frame.setColumn(2, normalize(cross(ex, ey)) * (thick * k));
        const vec3 centre = o + (ex + ey) * 0.5f - view.ScreenNormal() * (0.5f * thick);
        return view.scene->addObject(&cube, mat4::Translation(centre) * mat4::FromMat3(frame), Scene::HangTop, false);
    }
    // A frame hovering pixel (x, y) with no gesture: the pickings of the
    // mode take their records there.
    std::vector<bvec4> hover(int x, int y) {
        view.interactionState = 0;
        view.cursorPixel = {x, y};
        return frame();
    }
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
    std::vector<bvec4> frame() { return viewtest::renderedFrame(view, N, N); }
    GLView view{N, N};
    Tool cube{Mesh::Cube(), mat4::Identity(), pbr(), false};
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
    ASSERT_TRUE(box(50, 20, 150, 80));
    drawStroke({});
    view.assemblor.stamps = {stamp(60, 100), stamp(140, 100)};
    // The sphere's centre picked hovering in sculpt mode, its rim followed
    // by the stroke picking while the gesture runs.
    view.actionMode = GLView::ModeSculpt;
    view.sculptAction = Sculptor::CutSphere;
    hover(100, 40);
    ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool);
    view.interactionState = 1;
    view.cursorPixel = {100, 60};
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
        EXPECT_TRUE(!c.circle || (view.targetBrush.x == 100 && view.targetBrush.y == 60));
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
// records lie on different pixels: a stroke pressed over the box and held
// on its pixel shows neither, dragged 30 pixels along it shows them.
TEST_F(Overlays, PlaneLineAndSphereCirclesWaitForTwoPixels) {
    ASSERT_TRUE(box(50, 50, 150, 150));
    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    for (Sculptor::TAction a :
         {Sculptor::CutPlane, Sculptor::ClipPlane, Sculptor::CutSphere, Sculptor::SubSphereReverse}) {
        view.sculptAction = a;
        hover(100, 100);
        ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool) << a;
        view.interactionState = 1;
        EXPECT_EQ(count(frame(), Red), 0) << a;
        EXPECT_TRUE(view.targetBrush.x == 100 && view.targetBrush.y == 100) << a;
        view.cursorPixel = {130, 100};
        const auto image = frame();
        EXPECT_TRUE(view.targetBrush.x == 130 && view.targetBrush.y == 100) << a;
        EXPECT_GT(count(image, Red), 50) << a;
        const bool plane = a == Sculptor::CutPlane || a == Sculptor::ClipPlane;
        // The plane's line runs across the whole view along the drag.
        EXPECT_EQ(count(image, Red, within(0, 99, 10, 101)) > 0, plane) << a;
        // The clipping plane's tick points across the drag.
        const bool tick = count(image, Red, within(99, 85, 101, 95)) > 0;
        EXPECT_TRUE(!plane || tick == (a == Sculptor::ClipPlane)) << a;
        // The sphere's circle in the box's face shows whole around its
        // centre (the press for the sphere actions, the drag's end for the
        // reverse ones).
        const int cx = a == Sculptor::SubSphereReverse ? 130 : 100;
        const int ring = count(
            image, Red, [cx](int x, int y) { return std::fabs(std::hypot(x + 0.5 - cx, y + 0.5 - 100) - 30.0) < 1.5; });
        EXPECT_EQ(ring > 90, !plane) << a << " " << ring;
    }
}

// The pivot of the hovered object: the tripod (with its labels) or the
// constraint axis goes with the pivots, the sculpt brush circle stays.
TEST_F(Overlays, HiddenPivotsKeepTheBrushCircle) {
    Tool* object = box(10, 60, 120, 160);
    ASSERT_TRUE(object);
    object->pivot = mat4::Translation(view.unproject(30.0f, 130.0f, view.ScreenDepth()));
    view.selectedActionMode = view.actionMode = GLView::ModeAssembly;
    view.assemblyAction = GLView::ActionMove;
    const auto pivotShown = [&](std::uint8_t pivots, bool constrained) {
        view.showPivots = pivots;
        object->rotationAxis = constrained ? vec3(1, 0, 0) : vec3(0, 0, 0);
        const auto image = hover(30, 130);
        EXPECT_EQ(view.pickBrush.pickedTool, object);
        return std::make_pair(count(image, AxisX) + count(image, White, within(150, 0, N - 1, N - 1)),
                              count(image, Orange));
    };
    const auto tripod = pivotShown(1, false), axis = pivotShown(1, true);
    EXPECT_GT(tripod.first, 100) << "the x axis and its label";
    EXPECT_TRUE(tripod.second == 0 && axis.first == 0 && axis.second > 100);
    for (bool constrained : {false, true}) EXPECT_EQ(pivotShown(0, constrained), std::make_pair(0, 0));

    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    view.sculptAction = Sculptor::Inflate;
    view.brushSize = 30;
    const auto image = hover(60, 110);
    ASSERT_EQ(view.stamps.size(), 1u);
    EXPECT_GT(count(image, Red), 100);
}

// Beside the stamp's own marker, every red pixel of the brush circle lies
// at its radius (stamp radius in pixels times the pixel's world length).
TEST_F(Overlays, BrushCircleLiesAtItsRadius) {
    ASSERT_TRUE(box(40, 40, 160, 160));
    view.selectedActionMode = view.actionMode = GLView::ModeSculpt;
    view.sculptAction = Sculptor::Deform;
    for (float r : {20.0f, 45.0f}) {
        view.brushSize = r;
        const auto image = hover(100, 100);
        ASSERT_EQ(view.stamps.size(), 1u);
        EXPECT_EQ(view.stamps[0].radius, r);
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
    // The stamp's marker, drawn with the depth test in front of the box,
    // leaves the depth that the pickings read untouched.
    float depth = 0.0f;
    view.fboScene->enable();
    gl->glReadPixels(100, 100, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    view.fboScene->disable();
    EXPECT_LT(view.pickBrush.depth, 1.0f);
    EXPECT_EQ(depth, view.pickBrush.depth);
}
