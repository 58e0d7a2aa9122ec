// The main window shown on an X display, driven by keys and buttons sent
// through the X test extension as a hand's are: the keys of the commands
// that the gesture lock holds, given while the button holds a stroke in the
// view or between the clicks of a drawing, are told in the status bar; and
// the status text over the view names the scope Q chose in the next frame,
// the pointer at rest. One window for the binary (the engine keeps GL names
// of one context in globals).

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <initializer_list>
#include <string>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tests/app/gl_widget/x_pointer.h"
#include "tests/app/locked_keys_util.h"
#include "tests/app/window_app.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/status_text.h"

namespace {

using tltest::waitFor;
using GLView = qel::GLView;

// The shown window with a ball in the middle of its view, the pointer
// resting over the ball.
class LockedKeysX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x.ok()) << "no X display with the test extension";
        window.asker = &asker;
        view()->asker = &asker;
        view()->startupStep = 4;
        view()->animate = 0;
        window.resize(640, 480);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(waitFor(
            [&] { return window.glWidget->lastFrame && window.isActiveWindow() && x.focus() == window.winId(); }));
        qel::Mesh* seed = qel::Mesh::Icosahedron();
        qel::Tool ball(qel::Mesh::Sphere(seed, 3, false, true), qel::mat4(), qel::pbr(), false);
        delete seed;
        view()->camera->position = qel::vec3(0, 0, 0);
        view()->scene->addObject(&ball, qel::mat4::Scale(0.3f, 0.3f, 0.3f), qel::Scene::HangTop, false);
        view()->redraw = 1;
        const qel::vec3 c = view()->project_World_To_Screen(qel::vec3(0, 0, 0));
        onBall = window.glWidget->mapToGlobal(QPoint(int(c.x), view()->height - int(c.y)));
        x.moveTo(onBall);
        ASSERT_TRUE(waitFor([&] { return view()->redraw == 0 && qel::inputLatch.empty(); }));
    }
    void TearDown() override {
        x.left(false);
        x.key(XK_Escape, true);
        x.key(XK_Escape, false);
        waitFor([&] { return view()->idle() && qel::inputLatch.empty(); });
    }
    GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    std::string notice() { return tltest::notice(window); }
    // The keys pressed in order and released in reverse, the status bar
    // cleared before: what it says once the window has had them.
    std::string told(std::initializer_list<unsigned long> keys) {
        window.showNotice("");
        for (unsigned long key : keys) x.key(key, true);
        for (auto key = keys.end(); key != keys.begin();) x.key(*--key, false);
        // The frames have taken the keys' releases (those of keys that
        // reached the view) once nothing waits.
        waitFor([&] { return !notice().empty() && qel::inputLatch.empty(); });
        return notice();
    }

    tltest::XPointer x;
    tltest::SaveCount asker;
    MainWindow window;
    QPoint onBall;
};

}  // namespace

// A sculpt Move held on the ball: Ctrl+S, Q and Alt+Shift+F6 are each told
// by their command's name and do nothing.
TEST_F(LockedKeysX, CtrlSQAndAltShiftF6AreToldWhileTheButtonHoldsAStroke) {
    ui().actionSculpt->trigger();
    ui().actionMove->trigger();
    x.left(true);
    ASSERT_TRUE(waitFor([&] { return window.glWidget->inAction && !view()->idle(); }));

    EXPECT_EQ(told({XK_Control_L, XK_s}), tltest::refused("Save"));
    EXPECT_EQ(told({XK_q}), tltest::refused("Element"));
    EXPECT_EQ(told({XK_Alt_L, XK_Shift_L, XK_F6}), tltest::refused("Perspective"));

    x.left(false);
    ASSERT_TRUE(waitFor([&] { return view()->idle() && !window.glWidget->inAction && qel::inputLatch.empty(); }));
    EXPECT_EQ(asker.asked, 0);
    EXPECT_EQ(view()->selectedSculptSelect, qel::Sculptor::SelectElement);
    EXPECT_EQ(view()->viewType, GLView::ViewOrthogonal);
}

// A tube drawing between its clicks holds the lock with no button down:
// Ctrl+S and Alt+Shift+F6 are told and do nothing.
TEST_F(LockedKeysX, CtrlSAndAltShiftF6AreToldBetweenTheClicksOfATubeDrawing) {
    ui().actionTube->trigger();
    ASSERT_EQ(view()->iassemblyAction(), GLView::ActionDraw);
    x.left(true);
    x.left(false);
    ASSERT_TRUE(waitFor([&] { return window.glWidget->inAction && qel::inputLatch.empty(); }));
    ASSERT_FALSE(view()->idle()) << "the drawing goes on";

    EXPECT_EQ(told({XK_Control_L, XK_s}), tltest::refused("Save"));
    EXPECT_EQ(told({XK_Alt_L, XK_Shift_L, XK_F6}), tltest::refused("Perspective"));
    EXPECT_FALSE(view()->idle());
    EXPECT_EQ(asker.asked, 0);
    EXPECT_EQ(view()->viewType, GLView::ViewOrthogonal);
}

// Q with the pointer at rest over the view: the frame drawn after it names
// the new scope, each of the four in turn.
TEST_F(LockedKeysX, QNamesTheNewScopeInTheNextFrameWithThePointerAtRest) {
    ui().actionSculpt->trigger();
    const auto drawnScope = [&] {
        for (const qel::StatusPiece& p : qel::statusText(*view()))
            if (p.text.rfind("Selection: ", 0) == 0) return p.text;
        return std::string();
    };
    ASSERT_TRUE(waitFor([&] { return view()->redraw == 0; }));
    ASSERT_EQ(drawnScope(), "Selection: Element");
    const struct {
        qel::Sculptor::TSelect scope;
        const char* line;
    } steps[] = {{qel::Sculptor::SelectComponent, "Selection: Component"},
                 {qel::Sculptor::SelectPatch, "Selection: Patch"},
                 {qel::Sculptor::SelectAllPatches, "Selection: All Patches"},
                 {qel::Sculptor::SelectElement, "Selection: Element"}};
    for (const auto& step : steps) {
        x.key(XK_q, true);
        x.key(XK_q, false);
        // The frame after the step has been drawn once nothing asks for
        // another.
        ASSERT_TRUE(waitFor([&] {
            return view()->selectedSculptSelect == step.scope && view()->redraw == 0 && qel::inputLatch.empty();
        }));
        EXPECT_EQ(view()->sculptSelect, step.scope);
        EXPECT_EQ(drawnScope(), step.line);
    }
}
