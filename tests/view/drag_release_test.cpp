// The drag and the button release, frame by frame with scripted buttons and
// keys and pick records filled by hand: what each drag step changes, and how
// a release ends a stroke or a move and brings the view back to rest.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/gesture_fixture_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::GestureFixture;
using test::ToggleAct;

namespace {

// Logs, for every sculpt call, each gesture's state and sample count.
struct RecordingTool : Tool {
    RecordingTool() : Tool(nullptr, mat4::Identity(), pbr(), false) {}
    void sculpt(std::vector<Sculptor*>& s) override {
        calls.emplace_back();
        for (const Sculptor* g : s) calls.back().push_back({g->state, int(g->samples.size())});
        last = s;
    }
    struct Seen {
        int state;
        int samples;
    };
    std::vector<std::vector<Seen>> calls;
    std::vector<Sculptor*> last;
};

bool finite(const mat4& m) {
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

class Drag : public GestureFixture {
protected:
    // A hit on `t` as the frame's picking would leave it.
    void pick(Tool* t, const vec3& point = vec3(0, 0, 0)) {
        view.scene->toList();
        hit(t, view.scene->findID(t));
        view.pickBrush.point = point;
        view.pickBrush.pickedWorld = view.scene->objects.matrices[std::size_t(view.scene->pickedIndex)];
    }
    // Back to the middle of the view, then the left button goes down.
    void press(std::initializer_list<int> held = {}) {
        at = vec2(400, 300);
        drive.move(at);
        drive.frame();
        drive.hold(held);
        drive.left(true);
        drive.frame();
        drive.hold({});
    }
    // One drag frame by (dx, dy) pixels with the target stamp moved by `delta`.
    void dragBy(float dx, float dy, const vec3& delta = vec3(0, 0, 0)) {
        view.targetBrush.selection = ABrush::OnObject;
        view.targetBrush.delta = delta;
        view.targetBrush.point = view.targetBrush.point + delta;
        at = at + vec2(dx, dy);
        drive.move(at);
        drive.frame();
    }
    vec2 at{400, 300};
};

}  // namespace

TEST_F(Drag, OnlyAMovedPointerDrags) {
    view.setActionMode(GLView::ModeView);
    drive.right(true);
    drive.frame();
    drive.left(true);
    drive.frame();
    ASSERT_EQ(view.actionMode, GLView::ModeView);
    view.cursorPixel = {1, 2};
    const vec3 pan = view.camera->position;
    const mat3 turn = view.camera->orientation;
    drive.left(false);  // a button change, no movement
    drive.frame();
    EXPECT_TRUE(view.cursorPixel[0] == 1 && view.cursorPixel[1] == 2 && view.camera->position == pan);
    dragBy(30, -20);  // the right button pans
    EXPECT_TRUE(view.cursorPixel[0] == 430 && view.cursorPixel[1] == 280 && !(view.camera->position == pan));
    EXPECT_TRUE(view.dragDistance[0] == 30 && view.dragDistance[1] == -20);
    EXPECT_TRUE(view.camera->orientation == turn);
    // With both buttons held the view turns, and the named direction goes.
    drive.left(true);
    drive.frame();
    dragBy(10, 0);
    EXPECT_FALSE(view.camera->orientation == turn);
    EXPECT_EQ(view.viewPreset, 0);
}

TEST_F(Drag, SpeedAndDelayFollowTheSummedDistanceOfAPickedTool) {
    for (GLView::TAssemblyAction a : {GLView::ActionSpeed, GLView::ActionDelay}) {
        object->speed = 1.0f;
        object->delay = 0.0f;
        assembly(a);
        pick(object);
        press();
        for (float dx : {100.0f, 30.0f, -5.0f, 125.0f}) dragBy(dx, 3);
        const float value = a == GLView::ActionSpeed ? object->speed : object->delay;
        EXPECT_NEAR(value, (a == GLView::ActionSpeed ? 1.0f : 0.0f) + 0.25f, 1e-5f);
        // Without a picked tool the drag does nothing.
        view.pickBrush.pickedTool = nullptr;
        dragBy(100, 0);
        EXPECT_NEAR(a == GLView::ActionSpeed ? object->speed : object->delay, value, 1e-6f);
        release();
        EXPECT_TRUE(view.idle());
    }
}

TEST_F(Drag, ScaleSkipsFramesThatMoreThanDoubleOrHalveTheDistance) {
    Tool* t = place(mat4::Identity());
    assembly(GLView::ActionScale);
    pick(t, vec3(1, 0, 0));
    press();
    view.targetBrush.point = vec3(1, 0, 0);
    dragBy(10, 0, vec3(0.5f, 0, 0));  // 1 -> 1.5: scaled by 1.5
    dragBy(10, 0, vec3(2.5f, 0, 0));  // 1.5 -> 4: skipped
    dragBy(10, 0, vec3(-1, 0, 0));    // 4 -> 3: scaled by 0.75
    dragBy(10, 0, vec3(0, 0, 0));     // no change
    EXPECT_NEAR(Tool::UniformScale(t->matrix()), 1.5 * 0.75, 1e-5);
    release();
    EXPECT_EQ(view.undoHistory.size(), 1u);
}

TEST_F(Drag, ControlMoveDragsTheCopyAndItsLinkedCopiesNotTheSource) {
    Tool* twin = place(mat4::Translation(5, 0, 0));
    object->joinInstances(twin);
    const mat4 source = object->matrix(), twinSource = twin->matrix();
    assembly(GLView::ActionMove);
    pick(object);
    press({Keyboard::KeyControl});
    // One copy under each member of the ring; the drag holds one of them.
    Tool* copy = view.pickBrush.pickedTool;
    ASSERT_TRUE(copy && object->children.size() == 1 && twin->children.size() == 1);
    Tool* host = copy->parent;
    ASSERT_TRUE(host == object || host == twin);
    Tool* other = (host == object ? twin : object)->children.front();
    const vec3 start = (host->matrix() * copy->matrix()).translation();
    dragBy(20, 0, vec3(1, 0, 0));
    dragBy(20, 0, vec3(0, 0.5f, 0));
    const vec3 moved = (host->matrix() * copy->matrix()).translation();
    EXPECT_LT(length(moved - (start + vec3(1, 0.5f, 0))), 1e-5);
    EXPECT_TRUE(object->matrix() == source && twin->matrix() == twinSource);
    EXPECT_TRUE(other->matrix() == copy->matrix());
    release();
    // The copy joined its source's ring; the drag's record stays.
    EXPECT_TRUE(copy->isInstanceOf(object) && view.copySource == nullptr);
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.undoHistory.back()->kind, Act::KindCopyTransform);
}

TEST_F(Drag, InverseKinematicsPullsThePickedPointTowardsTheTarget) {
    // A top-level object (never turned) carrying a chain of three joints,
    // each one unit along x from the one before.
    Tool* top = place(mat4::Identity());
    std::vector<Tool*> chain;
    Tool* parent = top;
    for (int i = 0; i < 3; ++i) {
        Tool* j = parent->addChild(new Tool(cube.element, mat4::Identity(), pbr(), false), false);
        j->pivot = mat4::Translation(1, 0, 0);
        chain.push_back(parent = j);
    }
    Tool* tip = chain.back();
    const auto world = [&] {
        view.scene->toList();
        return view.scene->objects.matrices[std::size_t(view.scene->findID(tip) - 1)] * tip->matrix();
    };
    assembly(GLView::ActionIK);
    for (int level : {-1, 0}) {
        view.ikLevel = level;
        const vec3 grab = world().transformPoint(vec3(1, 0, 0));
        // Level 0 turns the tip alone about its joint: a target as far from
        // it as the grabbed point is reached exactly.
        const vec3 joint = world().translation();
        const vec3 target = level == 0 ? joint + vec3(0, 1, 0) : vec3(2.5f, 1.5f, 0);
        const mat4 before = world();
        const mat4 first = chain.front()->matrix();
        pick(tip, grab);
        press();
        view.targetBrush.point = target;
        dragBy(10, 10);
        const vec3 now = (world() * before.inverse()).transformPoint(grab);
        EXPECT_LT(length(now - target), level == 0 ? 1e-4 : 0.5 * length(grab - target));
        EXPECT_EQ(view.pickBrush.point, target);
        EXPECT_TRUE(view.dragTools.empty() && view.dragMatrices.empty());
        EXPECT_EQ(level == 0, chain.front()->matrix() == first);
        release();
    }
}

TEST_F(Drag, TransformsOfAFlattenedObjectStayFinite) {
    // A pivot flattened to zero along y: no frame to move in, nothing moves.
    // A flattened transform: the object moves, and stays finite.
    Tool* flatPivot = place(mat4::Scale(1, 0, 1));
    Tool* flat = place(mat4::Identity());
    flat->transform = mat4::Scale(1, 0, 1);
    for (GLView::TTransformerType type :
         {GLView::TransformObjectPivot, GLView::TransformObject, GLView::TransformPivot}) {
        view.transformerType = type;
        for (GLView::TAssemblyAction a :
             {GLView::ActionMove, GLView::ActionRotate, GLView::ActionScale, GLView::ActionRotateScale}) {
            for (Tool* t : {flatPivot, flat}) {
                assembly(a);
                pick(t, vec3(1, 0, 0));
                press();
                view.targetBrush.point = vec3(1, 0, 0);
                dragBy(20, 5, vec3(0.5f, 0.5f, 0));
                EXPECT_TRUE(finite(t->transform) && finite(t->pivot));
                release();
            }
        }
    }
    EXPECT_TRUE(flatPivot->transform == mat4::Identity() && flatPivot->pivot == mat4::Scale(1, 0, 1));
    EXPECT_FALSE(flat->matrix() == mat4::Scale(1, 0, 1));
}

// A turning drag turns the object the way the pointer goes round the pivot:
// the point pressed on the object follows the pointer, scaled with it for
// RotateScale.
TEST_F(Drag, TurnsFollowThePointerRoundThePivot) {
    view.transformerType = GLView::TransformObjectPivot;
    const vec3 c = object->pivot.translation();  // the pivot origin in the world
    const vec3 n = normalize(view.ScreenNormal());
    const vec3 u = normalize(cross(n, std::fabs(n.x) < 0.9f ? vec3(1, 0, 0) : vec3(0, 1, 0)));
    const mat3 turn = mat3::RotationAroundAxis(n, 0.7f);
    for (GLView::TAssemblyAction a : {GLView::ActionRotate, GLView::ActionRotateScale}) {
        SCOPED_TRACE(int(a));
        object->pivot = mat4::Translation(c);
        object->transform = mat4::Identity();
        const float k = a == GLView::ActionRotateScale ? 1.5f : 1.0f;
        const vec3 from = c + u * 0.8f;
        const vec3 to = c + turn * (u * (0.8f * k));
        assembly(a);
        pick(object, from);
        const mat4 before = view.pickBrush.pickedWorld * object->matrix();
        const vec3 local = mat4::inverse(before).transformProject(from);
        press();
        dragBy(15, -10, to - from);
        const vec3 after = (view.pickBrush.pickedWorld * object->matrix()).transformProject(local);
        EXPECT_LT(length(after - to), 1e-4f) << after.x << " " << after.y << " " << after.z;
        release();
    }
}

TEST_F(Drag, ARightReleaseDuringALeftStrokeChangesNothing) {
    RecordingTool tool;
    view.setActionMode(GLView::ModeSculpt);
    // A brush whose stroke samples every pixel the pointer travels.
    view.setBrushSize(8.0f);
    view.stamps.resize(2);
    view.pickBrush.layers = 1;
    view.pickBrush.pickedTool = &tool;
    press();
    ASSERT_TRUE(view.interactionState == 1 && view.sculptors.size() == 2);
    drive.right(true);
    drive.frame();
    drive.right(false);
    drive.frame();
    EXPECT_TRUE(view.interactionState == 1 && view.sculptors.size() == 2 && tool.calls.size() == 1);
    EXPECT_EQ(view.actionMode, GLView::ModeSculpt);
    // A drag step: one sample each; merged copies leave one stamp for two
    // gestures, and the second repeats its own last sample.
    view.stamps[1].point = vec3(7, 7, 7);
    view.stamps.resize(1);
    view.stamps[0].point = vec3(1, 0, 0);
    dragBy(5, 0);
    ASSERT_EQ(tool.calls.size(), 2u);
    const std::vector<Sculptor*> gestures = view.sculptors;
    EXPECT_EQ(gestures[0]->samples.back().point, vec3(1, 0, 0));
    EXPECT_EQ(gestures[1]->samples.back().point, gestures[1]->samples.front().point);
    for (const RecordingTool::Seen& s : tool.calls[1]) EXPECT_TRUE(s.state == Gesture::Moving && s.samples == 2);
    // The release: the last samples, every gesture ended, then deleted.
    release();
    ASSERT_EQ(tool.calls.size(), 3u);
    for (const RecordingTool::Seen& s : tool.calls[2]) EXPECT_TRUE(s.state == Gesture::Ended && s.samples == 3);
    EXPECT_TRUE(view.sculptors.empty() && view.idle());
}

TEST_F(Drag, AMoveEndingWhereItBeganLeavesNoRecord) {
    view.undoHistory = {new ToggleAct};
    view.historyIndex = 0;
    assembly(GLView::ActionMove);
    pick(object);
    press();
    ASSERT_EQ(view.undoHistory.size(), 2u);
    dragBy(10, 0);  // the target did not move
    release();
    EXPECT_TRUE(view.undoHistory.size() == 1 && view.historyIndex == 0);
    EXPECT_EQ(view.actionMode, GLView::ModeAssembly);
    // A Move that moved keeps its record, named by the index.
    pick(object);
    press();
    dragBy(10, 0, vec3(0.25f, 0, 0));
    release();
    EXPECT_TRUE(view.undoHistory.size() == 2 && view.historyIndex == 1);
    EXPECT_TRUE(view.undoHistory.back()->kind == Act::KindTransform && view.undoHistory.back()->changed());
}

TEST_F(Drag, TheEndingKeepsADrawingAndAMultiStepGesture) {
    assembly(GLView::ActionDraw);
    ABrush stamp;
    stamp.selection = ABrush::OnObject;
    view.assemblor = Assemblor(stamp, false);
    view.interactionState = 1;
    // A right drag during the drawing turns the view, then goes back to it.
    drive.right(true);
    drive.frame();
    EXPECT_EQ(view.actionMode, GLView::ModeView);
    dragBy(10, 0);
    drive.right(false);
    drive.frame();
    EXPECT_TRUE(view.actionMode == GLView::ModeAssembly && view.assemblyAction == GLView::ActionDraw);
    EXPECT_TRUE(view.assemblor.strokes.size() == 1 && view.interactionState == 1);
    // Out of a drawing, a view drag's gesture ends; a state above 1 survives.
    for (int state : {1, 2}) {
        view.resetState(false);
        assembly(GLView::ActionMove);
        drive.right(true);
        drive.frame();
        ASSERT_TRUE(view.actionMode == GLView::ModeView && view.interactionState == 1);
        view.interactionState = std::uint8_t(state);
        drive.right(false);
        drive.frame();
        EXPECT_EQ(view.interactionState, state == 2 ? 2 : 0);
        EXPECT_EQ(view.actionMode, GLView::ModeAssembly);
    }
}

TEST_F(Drag, ADrawingGainsAFreehandPointOnANewPixelOnly) {
    assembly(GLView::ActionDraw);
    ABrush stamp;
    stamp.selection = ABrush::OnObject;
    stamp.x = 400;
    view.assemblor = Assemblor(stamp, false);
    view.interactionState = 1;
    drive.left(true);
    drive.frame();
    const auto points = [&] { return view.assemblor.strokes.back().stamps.size(); };
    view.targetBrush = stamp;
    view.targetBrush.kind = 2;
    for (int x : {400, 401, 401, 405}) {
        view.targetBrush.x = x;
        at = at + vec2(1, 0);
        drive.move(at);
        drive.frame();
    }
    EXPECT_EQ(points(), 3u);
    EXPECT_TRUE(view.assemblor.strokes.back().stamps.back().kind == 0 && view.assemblor.isMoving());
    // A pending corner follows the pointer and takes the modifier's kind.
    view.cornerPending = 1;
    drive.hold({Keyboard::KeyShift});
    view.targetBrush.x = 420;
    dragBy(3, 0);
    EXPECT_EQ(points(), 3u);
    EXPECT_TRUE(view.assemblor.strokes.back().stamps.back().x == 420 &&
                view.assemblor.strokes.back().stamps.back().kind == 1);
}
