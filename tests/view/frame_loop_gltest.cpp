// The view's frame loop on the test context, called directly.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <SFML/Window/Keyboard.hpp>
#include <chrono>

#include "elements/animated_sprite.h"
#include "elements/sprite_util.h"
#include "gl/environment.h"
#include "gl/resources.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/material_editing.h"
#include "view/mouse.h"

using namespace qel;

namespace {

// Counts its applications; changed() answers as made.
struct CountedAct : Act {
    CountedAct(int& n, bool differs) : applied(n), differs(differs) {}
    void apply() override { ++applied; }
    bool changed() override { return differs; }
    int& applied;
    bool differs;
};

// A view past its start-up, nothing to draw and no animation; each render
// moves Element::GlobalUpdate on.
struct FrameLoop : testing::Test {
    void SetUp() override {
        initShaderResources();
        mouseRead = mouse = MouseState();
        view.showText = view.animate = view.redraw = 0;
        view.startupStep = 4;
    }
    GLView view{32, 32};
};

}  // namespace

TEST_F(FrameLoop, StartUpRendersFirstBuildsTheEnvironmentFourthAndRendersFullFromTheFifth) {
    view.startupStep = 0;
    view.redraw = 1;
    const std::uint32_t renders = Element::GlobalUpdate;
    EXPECT_EQ(view.MainLoop(), nullptr) << "the start-up frame is not shown";
    EXPECT_TRUE(Element::GlobalUpdate == renders + 1 && view.environment && view.renderSimple);
    delete view.environment;
    view.environment = new Environment(":/Environments/env_default.jpg", 8, 2, true);
    view.MainLoop();
    view.MainLoop();
    view.redraw = 1;
    // A share without a limit: the whole build in the fourth call.
    const double share = GLView::EnvironmentShareMs;
    GLView::EnvironmentShareMs = -1.0;
    EXPECT_EQ(view.MainLoop(), nullptr);
    GLView::EnvironmentShareMs = share;
    EXPECT_TRUE(view.environment->compiled() && !view.renderSimple && Element::GlobalUpdate == renders + 1);
    EXPECT_NE(view.MainLoop(), nullptr);
}

// The environment is built a share per frame: meanwhile the frames take the
// input and draw with simple rendering; the call that finishes the build
// draws nothing, and the next frame is lit by the environment.
TEST_F(FrameLoop, StartUpBuildsTheEnvironmentInSharesWhileFramesGoOn) {
    const double share = GLView::EnvironmentShareMs;
    GLView::EnvironmentShareMs = 0.0;  // one step a frame
    delete view.environment;
    view.environment = new Environment(":/Environments/env_default.jpg", 8, 3, true);
    view.startupStep = 3;
    view.renderSimple = 1;
    view.outside = false;
    // Reading, three layers and the passes of the first two levels.
    const int shares = 1 + 3 + Environment::passes(0) + Environment::passes(1);
    for (int frame = 1; frame < shares; ++frame) {
        mouseRead.position = vec2(float(frame), 1.0f);
        view.redraw = 1;
        EXPECT_NE(view.MainLoop(), nullptr) << frame;
        EXPECT_TRUE(!view.environment->compiled() && view.renderSimple && view.startupStep == 3) << frame;
        EXPECT_EQ(mouse.position, vec2(float(frame), 1.0f));
    }
    EXPECT_EQ(view.MainLoop(), nullptr);
    EXPECT_TRUE(view.environment->compiled() && !view.renderSimple && view.startupStep == 4 && view.redraw);
    EXPECT_NE(view.MainLoop(), nullptr);
    GLView::EnvironmentShareMs = share;
}

// Idle frames draw nothing; the input of a frame counts as changed only
// inside the view, but the wheel zooms (and draws) wherever the pointer is; a
// re-entered call draws nothing and leaves the input.
TEST_F(FrameLoop, IdleFramesDrawNothingAndTheInputIsTakenOnceAFrame) {
    view.outside = false;
    view.redraw = 0;
    mouseRead.position = vec2(40, 6);  // past the view's right edge: not inside()
    mouseRead.wheel = 120;
    EXPECT_NE(view.MainLoop(), nullptr);
    EXPECT_TRUE(mouse.delta == vec2(40, 6) && mouse.wheel == 120 && mouseRead.wheel == 0);
    EXPECT_FLOAT_EQ(view.camera->scale, 0.88f);
    const std::uint32_t renders = Element::GlobalUpdate;
    EXPECT_TRUE(view.inputChanged(0, false));
    EXPECT_EQ(view.MainLoop(), nullptr);
    EXPECT_TRUE(!view.inputChanged(0, false) && view.inputChanged(1, false) && view.inputChanged(0, true));
    view.outside = true;
    EXPECT_FALSE(view.inputChanged(1, true));
    view.redraw = 1;
    view.ready = 0;
    mouseRead.position = vec2(7, 7);
    EXPECT_EQ(view.MainLoop(), nullptr);
    EXPECT_TRUE(mouse.position == vec2(40, 6) && Element::GlobalUpdate == renders);
}

// Input inside the view runs the key handling and draws the frame.
TEST_F(FrameLoop, InputInsideTheViewRunsTheStateMachineAndDraws) {
    test::ScriptedKeys source;
    KeySource* const platform = keys.source;
    keys.source = &source;
    view.outside = false;
    view.setActionMode(GLView::ModeSculpt);
    view.setSculptAction(Sculptor::Move);
    view.redraw = 0;
    source.held = {sf::Keyboard::Num2};
    mouseRead.position = vec2(10, 10);
    EXPECT_NE(view.MainLoop(), nullptr);
    EXPECT_EQ(view.sculptAction, Sculptor::Scale);
    keys.source = platform;
    keys.clear();
}

// The edit's tool takes the material; at closing, OK without a change drops
// the last record, Cancel undoes the one at the index and keeps it for Redo.
TEST_F(FrameLoop, AClosedMaterialEditKeepsDropsOrUndoesItsRecord) {
    Tool tool(Mesh::Cube(), mat4::Identity(), pbr(), false);
    tool.flags |= Tool::FlagObject;
    MATERIAL_EDITING->savedMaterial = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    MATERIAL_EDITING->savedMask = pbr::MaskColour;
    int applied = 0;
    view.undoHistory = {new CountedAct(applied, true), new CountedAct(applied, false)};
    view.historyIndex = 1;
    const auto close = [&](bool ok) {
        view.materialPending = 1;
        view.materialTool = &tool;
        MATERIAL_EDITING->accepted = ok;
        EXPECT_TRUE(view.MainLoop() && !view.materialPending && !view.materialTool);
    };
    close(true);
    EXPECT_TRUE(tool.material.colour == MATERIAL_EDITING->savedMaterial.colour && view.historyIndex == 0);
    close(true);
    close(false);
    EXPECT_TRUE(applied == 1 && view.historyIndex == -1 && view.undoHistory.size() == 1);
}

TEST_F(FrameLoop, AnimationTimeIsWallClockTimeSinceTheViewWasMade) {
    view.animate = 1;
    // The frame reads the clock between these two readings, however long
    // the machine takes over it: its time lies between theirs.
    const auto before = std::chrono::steady_clock::now();
    view.startClock = before - std::chrono::seconds(5);
    view.MainLoop();
    const double most =
        5000.0 + std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    EXPECT_GE(Tool::GlobalTime, 5000.0);
    EXPECT_LE(Tool::GlobalTime, most + 1e-6);  // (a rounding of the milliseconds)
}

// With Animate on, frames are drawn only while an object of the scene moves
// with time: not for an empty or a still scene, nor for an animation kept in
// the tool library; an animated sprite in the scene draws every frame.
TEST_F(FrameLoop, AnimationDrawsFramesOnlyWhileAnObjectMovesWithTime) {
    QTemporaryDir dir;
    view.animate = 1;
    const auto framesOfThree = [this] {
        int drawn = 0;
        for (int i = 0; i < 3; ++i) drawn += view.MainLoop() != nullptr;
        return drawn;
    };
    const auto place = [this](Element* e) {
        Tool templ(e, mat4::Identity(), pbr(), false);
        view.scene->addObject(&templ, mat4::Identity(), Scene::HangTop, true);
    };
    const auto gif = [&dir](const char* name, int frames) {
        return new AnimatedSprite(spritetest::saveGif(dir, name, 4, 4, frames, 10), false);
    };
    EXPECT_EQ(framesOfThree(), 0) << "empty scene";
    place(Mesh::Cube());
    place(gif("still.gif", 1));
    EXPECT_EQ(framesOfThree(), 0) << "nothing moves";
    view.scene->addTool(new Tool(gif("library.gif", 3), mat4::Identity(), pbr(), false));
    EXPECT_EQ(framesOfThree(), 0) << "a moving template of the library is not drawn";
    place(gif("moving.gif", 3));
    EXPECT_EQ(framesOfThree(), 3);
    view.animate = 0;
    EXPECT_EQ(framesOfThree(), 0) << "Animate off";
}
