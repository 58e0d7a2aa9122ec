// Whole gestures through the frame loop on a real context: each frame runs
// the input handlers (state, press, release, drag) and then renders, and
// the pickings of the next frame's handlers read the ID buffer that frame
// drew. A sculpt stroke on a cube mesh, a moved object, an inserted one.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gl/resources.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/mouse.h"

using namespace qel;

namespace {

constexpr int N = 128;

class GestureGL : public testing::Test {
protected:
    void SetUp() override {
        initShaderResources();
        saved = keys.source;
        keys.source = &source;
        keys.clear();
        mouseRead = mouse = MouseState();
        view.showText = view.animate = 0;
        view.startupStep = 4;  // past the start-up frames
        view.setSymmetry(false, false, false, false, false, false, 6);
        view.setDrawSymmetry(false, false, false, false, false, false, 6);
        view.enterEvent();
        // A cube about the origin (74 pixels wide), refined so that a small
        // brush meets only some of its vertices.
        Mesh* mesh = Mesh::Cube();
        for (int i = 0; i < 4; ++i) mesh->subdivide(false);
        Tool cube(mesh, mat4::Identity(), pbr(), false);
        object = view.scene->addObject(&cube, mat4::Identity(), Scene::HangTop, false);
    }
    void TearDown() override {
        keys.source = saved;
        keys.clear();
        mouseRead = mouse = MouseState();
    }

    // One frame of the loop with the pointer at p and the left button as given.
    void frame(vec2 p, bool left) {
        mouseRead.position = p;
        mouseRead.left = left ? 1 : 0;
        view.redraw = 1;
        ASSERT_NE(view.MainLoop(), nullptr);
    }
    Mesh& mesh() { return *static_cast<Mesh*>(object->element); }
    // The world matrix of a listed object.
    mat4 world(Tool* t) {
        view.scene->toList();
        const int i = view.scene->findID(t) - 1;
        return view.scene->objects.matrices[std::size_t(i)] * t->matrix();
    }
    // The world point under the pixel at the depth of the world point q.
    vec3 atDepthOf(const vec3& q, vec2 p) {
        const vec3 s = view.project_World_To_Screen(q);
        return view.unproject_Screen_To_World(vec3(p.x, p.y, s.z));
    }

    GLView view{N, N};
    test::ScriptedKeys source;
    KeySource* saved = nullptr;
    Tool* object = nullptr;
};

// Distance from p to the segment ab, in the plane.
double toSegment(vec2 p, vec2 a, vec2 b) {
    const vec2 d = b - a;
    const double l2 = dot(d, d);
    const double t = l2 > 0 ? std::fmin(1.0, std::fmax(0.0, dot(p - a, d) / l2)) : 0.0;
    const vec2 c(float(a.x + t * d.x), float(a.y + t * d.y));
    const vec2 e = p - c;
    return std::sqrt(dot(e, e));
}

}  // namespace

TEST_F(GestureGL, ADeformStrokeChangesTheCubeUnderTheBrushOnly) {
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Deform);
    view.setBrushSize(6.0f);
    const vec2 start(N / 2 - 10, N / 2 - 5);
    frame(vec2(N / 2, N / 2), false);
    frame(start, false);  // the stroke's first pick
    std::vector<vec3> before;
    for (std::size_t v = 0; v < mesh().vertices.size(); ++v) before.push_back(mesh().vertices[v].position);
    frame(start, true);
    ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool == object);
    // The stroke works in the element's coordinates.
    const mat4 toWorld = (view.pickBrush.elementFrame * view.pickBrush.objectFrame).inverse();
    ASSERT_EQ(view.sculptors.size(), 1u);
    vec2 p = start;
    for (int k = 0; k < 3; ++k) frame(p = p + vec2(4, 2), true);
    frame(p, false);
    EXPECT_TRUE(view.sculptors.empty() && view.idle());
    EXPECT_EQ(meshtest::checkMeshInvariants(mesh()), "");
    // Every moved vertex lay under the brush's path: within its radius
    // (and the step it moves) of the segment the pointer swept.
    int moved = 0;
    for (std::size_t v = 0; v < before.size(); ++v) {
        if (length(mesh().vertices[v].position - before[v]) < 1e-6) continue;
        ++moved;
        const vec3 s = view.project_World_To_Screen(toWorld.transformPoint(before[v]));
        EXPECT_LT(toSegment(vec2(s.x, s.y), start, p), 6.0 + 4.0) << v;
    }
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, int(before.size()) / 4);
}

TEST_F(GestureGL, AMoveDragFollowsThePointerAndUndoPutsTheObjectBack) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionMove);
    const mat4 original = world(object);
    const vec2 start(N / 2 + 3, N / 2 + 4);
    frame(vec2(N / 2, N / 2), false);
    frame(start, false);  // the pick under the pointer
    frame(start, true);
    ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool == object);
    const vec3 grabbed = view.pickBrush.point;
    // Each drag frame picks where the pointer is before it moves the
    // object: the object follows the pointer to its last position.
    const vec2 p1 = start + vec2(12, 0), p2 = p1 + vec2(5, -9), p3 = p2 + vec2(6, 4);
    frame(p1, true);
    frame(p2, true);
    frame(p3, true);
    frame(p3, false);
    EXPECT_TRUE(view.idle() && view.actionMode == GLView::ModeAssembly);
    const vec3 expected = atDepthOf(grabbed, p3) - grabbed;
    const vec3 got = world(object).translation() - original.translation();
    EXPECT_LT(length(got - expected), 1.5 / N) << got.x << " " << got.y << " " << got.z;
    EXPECT_GT(length(expected), 10.0 / N);
    ASSERT_EQ(view.undoHistory.size(), 1u);
    view.UNDO();
    EXPECT_LT(length(world(object).translation() - original.translation()), 1e-6);
}

TEST_F(GestureGL, AnInsertClickAddsTheToolAtTheClickedPointAndUndoRemovesIt) {
    view.setActionMode(GLView::ModeAssembly);
    view.setActiveTool(GLView::CreateCube, false);
    view.setAssemblyAction(GLView::ActionInsert);
    ASSERT_NE(view.activeTool, nullptr);
    const vec2 at(N / 2 - 6, N / 2 + 7);
    frame(vec2(N / 2, N / 2), false);
    frame(at, false);
    frame(at, true);
    ASSERT_TRUE(view.pickBrush.hit() && view.pickBrush.pickedTool == object);
    const vec3 clicked = view.pickBrush.point;
    view.scene->toList();
    const std::vector<Tool*> listed = view.scene->objects.tools;
    frame(at, false);
    view.scene->toList();
    ASSERT_EQ(view.scene->objects.tools.size(), listed.size() + 1);
    Tool* added = nullptr;
    for (Tool* t : view.scene->objects.tools)
        if (std::find(listed.begin(), listed.end(), t) == listed.end()) added = t;
    ASSERT_NE(added, nullptr);
    EXPECT_LT(length(world(added).translation() - clicked), 1e-4);
    ASSERT_EQ(view.undoHistory.size(), 1u);
    view.UNDO();
    view.scene->toList();
    EXPECT_EQ(view.scene->objects.tools, listed);
}
