// The key half of the view's input state machine, driven frame by frame with
// scripted keys and buttons: Escape, Backspace, segment kinds, Return, the
// effective actions of held digits and modifiers, entering and leaving.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

using namespace qel;
using test::FrameDriver;

namespace {

// Counts its undos and redos.
struct ToggleAct : Act {
    explicit ToggleAct(int& applied) : applied(applied) {}
    void apply() override { ++applied; }
    int& applied;
};

ABrush stamp(int kind) {
    ABrush b;
    b.kind = kind;
    return b;
}

class StateMachine : public ::testing::Test {
protected:
    StateMachine() : drive(view) {}

    // A drawing under way: single stamps, and strokes of the given lengths
    // whose stamps have kind 1.
    void drawing(std::size_t singles, std::vector<std::size_t> strokes) {
        view.setActionMode(GLView::ModeAssembly);
        view.setAssemblyAction(GLView::ActionDraw);
        for (std::size_t i = 0; i < singles; ++i) view.assemblor.stamps.push_back(stamp(0));
        for (std::size_t n : strokes) {
            view.assemblor.addStroke(stamp(1));
            for (std::size_t i = 1; i < n; ++i) view.assemblor.strokes.back().stamps.push_back(stamp(1));
        }
        view.interactionState = std::uint8_t(singles ? singles : 1);
    }
    void frames(std::initializer_list<int> held, int count = 1) {
        drive.hold(held);
        for (int i = 0; i < count; ++i) drive.frame();
    }

    GLView view{800, 600};
    FrameDriver drive;
};

TEST_F(StateMachine, EscapeActsOnceWhenHeldAndClearsStrokesBeforeEndingADrawing) {
    frames({Keyboard::KeyEscape});
    EXPECT_TRUE(view.idle());  // idle: nothing to cancel
    frames({});

    drawing(2, {3});
    frames({Keyboard::KeyEscape}, 3);
    EXPECT_TRUE(view.assemblor.strokes.empty());
    EXPECT_EQ(view.assemblor.stamps.size(), 2u);
    EXPECT_EQ(view.interactionState, 2);
    frames({});
    frames({Keyboard::KeyEscape});
    EXPECT_TRUE(view.idle());
    EXPECT_TRUE(view.assemblor.stamps.empty());
}

TEST_F(StateMachine, EscapeInACopyingDragUndoesAndDropsTheCopyRecord) {
    int applied = 0;
    view.undoHistory = {new ToggleAct(applied), new ToggleAct(applied)};
    view.historyIndex = 1;
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionMove);
    view.copySource = view.scene->objectsRoot;
    view.interactionState = 1;
    drive.left(true);
    frames({Keyboard::KeyEscape});
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.historyIndex, 0);
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.copySource, nullptr);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);  // Escape with the button held
}

TEST_F(StateMachine, EscapeFreesTheSculptorsOfACancellableStroke) {
    view.setActionMode(GLView::ModeSculpt);
    view.interactionState = 1;
    view.sculptors = {new Sculptor, new Sculptor};
    view.setSculptAction(Sculptor::Smooth);
    frames({Keyboard::KeyEscape});
    EXPECT_EQ(view.sculptors.size(), 2u);  // a smoothing stroke ignores Escape
    frames({});
    view.setSculptAction(Sculptor::EraseComponent);
    frames({Keyboard::KeyEscape});
    EXPECT_TRUE(view.sculptors.empty());  // deleted: the sanitizers see no leak
    EXPECT_TRUE(view.idle());
}

TEST_F(StateMachine, BackspaceRemovesTheNewestPointAndEndsADrawingOfOne) {
    view.setActiveTool(GLView::CreateCube, true);
    drawing(1, {2});
    Keyboard::eventBackspace = true;
    frames({});
    ASSERT_EQ(view.assemblor.strokes.size(), 1u);
    EXPECT_EQ(view.assemblor.strokes[0].stamps.size(), 1u);
    Keyboard::eventBackspace = true;
    frames({});
    EXPECT_TRUE(view.assemblor.strokes.empty());
    EXPECT_EQ(view.interactionState, 2);  // singles + 1
    view.activeTool->transform = mat4::Translation(1, 0, 0);
    Keyboard::eventBackspace = true;
    frames({});
    EXPECT_TRUE(view.idle());
    ASSERT_NE(view.activeTool, nullptr);
    EXPECT_EQ(view.activeTool->transform.translation(), vec3(0, 0, 0));  // built again
}

TEST_F(StateMachine, SegmentKindFollowsControlThenAltThenShift) {
    drawing(0, {2});
    drive.left(true);
    const auto kind = [&] { return view.assemblor.strokes.back().stamps.back().kind; };
    frames({Keyboard::KeyShift, Keyboard::KeyAlt});
    EXPECT_EQ(kind(), 2);
    frames({Keyboard::KeyShift, Keyboard::KeyAlt, Keyboard::KeyControl});
    EXPECT_EQ(kind(), 3);
    frames({Keyboard::KeyShift});
    EXPECT_EQ(kind(), 1);
    frames({});
    EXPECT_EQ(kind(), 1);  // releasing every modifier keeps the kind
    view.assemblor.strokes.back().stamps.back().kind = 0;
    frames({Keyboard::KeyControl});
    EXPECT_EQ(kind(), 0);  // a free point stays free
}

TEST_F(StateMachine, ReturnAddsTheDrawingOnlyWithAFiniteToolUnderCreation) {
    view.setActiveTool(GLView::CreateCube, true);
    view.deleteActiveTools();
    ASSERT_EQ(view.activeTool, nullptr);
    drawing(2, {});
    view.placements = {mat4::Identity()};
    frames({Keyboard::KeyReturn});
    EXPECT_TRUE(view.idle());
    EXPECT_TRUE(view.undoHistory.empty());  // no tool under creation
    frames({});

    ASSERT_NE(view.activeTool, nullptr);  // built again by the reset
    drawing(2, {});
    view.drawingFrame = mat4::Translation(1, 2, 3);
    view.placements = {mat4::Translation(5, 0, 0)};
    const std::size_t objects = view.scene->objectsRoot->children.size();
    const float s = view.activeTool->element->size();
    frames({Keyboard::KeyReturn});
    EXPECT_TRUE(view.idle());
    ASSERT_EQ(view.undoHistory.size(), 1u);
    EXPECT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
    // Placed off any object: the drawing plane lies down by a quarter turn.
    const mat4 P(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1);
    const mat4 expected = mat4::Translation(5, 0, 0) * mat4::Translation(1, 2, 3) * P * mat4::Scale(s);
    ASSERT_EQ(view.placements.size(), 1u);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(view.placements[0].m[i], expected.m[i], 1e-5f) << i;
    frames({});

    drawing(2, {});
    view.drawingFrame.m[0] = std::numeric_limits<float>::quiet_NaN();
    view.placements = {mat4::Identity()};
    frames({Keyboard::KeyReturn});
    EXPECT_TRUE(view.idle());
    EXPECT_EQ(view.undoHistory.size(), 1u);  // a non-finite placement adds nothing
    EXPECT_EQ(view.scene->objectsRoot->children.size(), objects + 1);
}

// Selected value, held keys, expected effective value.
struct AssemblyRow {
    GLView::TAssemblyAction selected;
    std::initializer_list<int> held;
    bool gesture;
    int effective;
};

TEST_F(StateMachine, HeldDigitsSwapTheEffectiveAssemblyAction) {
    const AssemblyRow rows[] = {
        {GLView::ActionMove, {'2'}, false, GLView::ActionScale},
        {GLView::ActionMove, {'3', '1'}, true, GLView::ActionRotate},
        {GLView::ActionRotate, {'3'}, true, GLView::ActionRotateMultiplicity},
        {GLView::ActionScale, {'3'}, false, 24},
        {GLView::ActionAlign, {'1'}, false, GLView::ActionCounterAlign},
        {GLView::ActionPlace, {'1'}, false, GLView::ActionPick},
        {GLView::ActionPlace, {'3'}, false, GLView::ActionMultiply},
        {GLView::ActionPlace, {'6'}, false, 7},
        {GLView::ActionPlace, {'1'}, true, GLView::ActionPlace},  // only while idle
        {GLView::ActionMaterial, {'4'}, false, GLView::ActionMakeSprite},
        {GLView::ActionConstrainTranslation, {'2'}, false, GLView::ActionRemoveTranslationConstraint},
        {GLView::ActionMatchPivot, {'2'}, false, GLView::ActionOrientation},
        {GLView::ActionSpeed, {'1'}, false, GLView::ActionDelay},
        {GLView::ActionDraw, {'3'}, false, GLView::ActionDrawPickAxis},
        {GLView::ActionDraw, {'4'}, false, GLView::ActionDrawPickSection},
        {GLView::ActionDraw, {'6'}, false, GLView::ActionMakeUniform},
        {GLView::ActionDraw, {}, false, GLView::ActionDraw},
    };
    view.setActionMode(GLView::ModeAssembly);
    for (const AssemblyRow& row : rows) {
        view.setAssemblyAction(row.selected);
        view.interactionState = row.gesture ? 1 : 0;
        frames(row.held);
        EXPECT_EQ(view.assemblyAction, row.effective) << "selected " << row.selected;
        EXPECT_EQ(view.selectedAssemblyAction, row.selected);
        view.interactionState = 0;
        frames({});
        EXPECT_EQ(view.assemblyAction, row.selected) << "released, selected " << row.selected;
    }
}

TEST_F(StateMachine, DrawDigitsDependOnTheCreationToolAndDigitOneSmoothsTheDrawing) {
    view.setActionMode(GLView::ModeAssembly);
    view.setAssemblyAction(GLView::ActionDraw);
    view.toolCreation = GLView::CreateCube;
    // The state machine runs on frames whose input changed: each digit is
    // held in a frame of its own.
    frames({'6'});
    frames({'5'});
    EXPECT_EQ(view.assemblyAction, GLView::ActionMakeUniform);  // no array: kept from before
    view.toolCreation = GLView::CreateArray;
    frames({});
    frames({'5'});
    EXPECT_EQ(view.assemblyAction, GLView::ActionArrayPick);
    frames({'4'});
    EXPECT_EQ(view.assemblyAction, GLView::ActionArrayPickItem);

    view.showHandles = 1;
    frames({'1'});
    EXPECT_EQ(view.actionMode, GLView::ModeSculpt);
    EXPECT_EQ(view.sculptAction, Sculptor::Smooth);
    EXPECT_EQ(view.sculptSelect, Sculptor::SelectComponent);
    EXPECT_EQ(Tool::ShowHandles, 0);
    frames({});
    EXPECT_EQ(view.actionMode, GLView::ModeAssembly);
    EXPECT_EQ(Tool::ShowHandles, 1);
}

struct SculptRow {
    Sculptor::TAction selected;
    std::initializer_list<int> held;
    Sculptor::TAction effective;
};

TEST_F(StateMachine, HeldDigitsAndControlSwapTheEffectiveSculptAction) {
    using S = Sculptor;
    const SculptRow rows[] = {
        {S::Extrude, {'1'}, S::ExtrudeScale},
        {S::ExtrudeScale, {'1'}, S::Extrude},
        {S::SubSphere, {'1'}, S::AddSphere},
        {S::FillMaterial, {'1'}, S::PickMaterial},
        {S::Scale, {'1'}, S::ScaleDirection},
        {S::Deform, {'1'}, S::Smooth},
        {S::Move, {'2'}, S::Scale},
        {S::Rotate, {'2'}, S::Move},
        {S::Inflate, {'2'}, S::Deflate},
        {S::Pinch, {'2'}, S::Pinch},
        {S::Move, {'2', Keyboard::KeyControl}, S::CopyMove},
        {S::Scale, {Keyboard::KeyControl}, S::CopyScale},
        {S::ClipSphere, {Keyboard::KeyControl}, S::ClipSphereReverse},
        {S::Deform, {}, S::Deform},
    };
    view.setActionMode(GLView::ModeSculpt);
    for (const SculptRow& row : rows) {
        view.setSculptAction(row.selected);
        frames(row.held);
        EXPECT_EQ(view.sculptAction, row.effective) << "selected " << row.selected;
        frames({});
        EXPECT_EQ(view.sculptAction, row.selected);
    }
    // While the left button is down nothing changes until it is released.
    view.setSculptAction(S::Move);
    drive.left(true);
    frames({'2'});
    EXPECT_EQ(view.sculptAction, S::Move);
    drive.left(false);
    frames({'2'});
    EXPECT_EQ(view.sculptAction, S::Scale);
}

TEST_F(StateMachine, EnteringAndLeavingResetTheKeysAndTheEffectiveValues) {
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Move);
    frames({'2'});
    ASSERT_EQ(view.sculptAction, Sculptor::Scale);
    view.leaveEvent();
    EXPECT_TRUE(view.outside);
    EXPECT_EQ(view.actionMode, GLView::ModeIdle);
    EXPECT_EQ(view.selectedActionMode, GLView::ModeSculpt);
    EXPECT_EQ(view.sculptAction, Sculptor::Move);
    EXPECT_FALSE(keys.held('2'));
    view.enterEvent();
    EXPECT_FALSE(view.outside);
    EXPECT_EQ(view.actionMode, GLView::ModeSculpt);
    EXPECT_FALSE(keys.held('2'));
}

TEST_F(StateMachine, AChangeOfViewTypeAndASceneLoadEndTheGesture) {
    drawing(2, {2});
    view.setViewType(GLView::ViewPerspective);
    EXPECT_TRUE(view.idle() && view.assemblor.strokes.empty() && view.assemblor.stamps.empty());
    QTemporaryDir dir;
    const std::string path = dir.filePath("scene.tl").toStdString();
    ASSERT_TRUE(view.save(path));
    drawing(2, {});
    view.sculptors = {new Sculptor};
    ASSERT_TRUE(view.load(path));
    EXPECT_TRUE(view.idle() && view.sculptors.empty() && view.assemblor.stamps.empty());
}

}  // namespace
