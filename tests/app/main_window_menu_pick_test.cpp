// Control right click on an object, driven through the view's frames as a
// person produces them, right after commands and gestures that reset the
// view's pick: the hovered object's menu opens, not the Render menu and not
// nothing.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/asker.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

using qel::Tool;
using qel::vec2;
using View = qel::GLView;

class MenuPick : public ::testing::Test {
public:
    MenuPick() {
        window.asker = &asker;
        view()->asker = &asker;
        view()->buildMatrices();
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(window.glWidget, &enter);
    }
    ~MenuPick() override {
        for (QMenu* m : {ui().menuRender, ui().menuObject, ui().menuObject_Axis_Section}) m->close();
        QCoreApplication::processEvents();
    }
    View* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    vec2 centre() { return vec2(float(view()->width / 2), float(view()->height / 2)); }
    std::vector<Tool*>& placed() { return view()->scene->objectsRoot->children; }

    // The ID buffer shows the object under the pixel `at` and nothing
    // elsewhere.
    void show(Tool* object, vec2 at) {
        view()->scene->toList();
        drive.reader->pixels.clear();
        fakeid::Pixel& p = drive.reader->pixels[{int(at.x), int(at.y)}];
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {std::uint32_t(view()->scene->findID(object)), 0, 0};
        p.normal[0] = qel::vec3(0, 0, 1);
    }
    // A left drag from `from` to `to` over the background, one motion a frame.
    void drag(vec2 from, vec2 to) {
        drive.move(from);
        drive.frame();
        drive.buttonEvent(from, true, false);
        drive.frame();
        for (int k = 1; k <= 4; ++k) {
            drive.motionEvent(from + (to - from) * (float(k) / 4));
            drive.frame();
        }
        drive.buttonEvent(to, false, false);
        drive.frame();
    }
    // The menu a Control right press at the pointer opens, looked at a
    // frame later; null when none is shown.
    QMenu* controlRightClick() {
        drive.keyEvent(qel::Keyboard::KeyControl, true);
        drive.buttonEvent(centre(), false, true);
        drive.buttonEvent(centre(), false, false);
        drive.keyEvent(qel::Keyboard::KeyControl, false);
        drive.frame();
        drive.frame();
        for (QMenu* m : {ui().menuRender, ui().menuObject, ui().menuObject_Axis_Section})
            if (m->isVisible()) return m;
        return nullptr;
    }

    qel::DecliningAsker asker;
    MainWindow window;
    qel::test::FrameDriver drive{*window.view()};
};

}  // namespace

// Undo and Redo put the chosen mode back at once: the next frame picks the
// cube the pointer rests on, without a click or a move.
TEST_F(MenuPick, AfterUndoAndRedoTheRestingPointersObjectGetsItsMenu) {
    ui().actionCube->trigger();
    ASSERT_EQ(view()->iassemblyAction(), View::ActionPlace);
    drag(centre() - vec2(30, 0), centre());
    const std::size_t cubes = placed().size();  // with the mirror copy
    ASSERT_GE(cubes, 1u);
    for (QAction* step : {ui().actionUndo, ui().actionRedo}) {
        step->trigger();
        drive.frame();
    }
    ASSERT_EQ(placed().size(), cubes);
    show(placed().front(), centre());
    drive.frame();
    EXPECT_EQ(view()->actionMode, View::ModeAssembly);
    EXPECT_EQ(view()->pickBrush.pickedTool, placed().front());
    EXPECT_EQ(controlRightClick(), ui().menuObject);
}

// On slow frames the keys that end a drawing and a Control right press at
// once reach one frame: the drawing's end clears the pick before the press
// is seen. The menu then waits for that frame's pick of the object under the
// pointer, a refused drawing's end as much as a placed one's.
TEST_F(MenuPick, AControlRightPressInTheFrameThatEndsADrawingGetsTheMenuOfTheObjectUnderThePointer) {
    using K = qel::Keyboard;
    Tool source(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false);
    Tool* cube = view()->scene->addObject(&source, qel::mat4::Identity(), qel::Scene::HangTop, false);
    ui().actionTube->trigger();
    ASSERT_EQ(view()->iassemblyAction(), View::ActionDraw);
    for (const bool placedDrawing : {true, false}) {
        SCOPED_TRACE(placedDrawing ? "a placed drawing" : "a refused drawing");
        show(cube, centre());
        if (placedDrawing) {
            drag(centre() - vec2(80, 0), centre());
        } else {
            // One click: a drawing of one point, which Return refuses.
            drive.move(centre() - vec2(80, 0));
            drive.frame();
            drive.buttonEvent(centre() - vec2(80, 0), true, false);
            drive.buttonEvent(centre() - vec2(80, 0), false, false);
            drive.frame();
            drive.frame();
            drive.move(centre());
            drive.frame();
        }
        ASSERT_FALSE(view()->idle());
        const std::size_t before = placed().size();
        drive.keyEvent(K::KeyReturn, true);
        drive.keyEvent(K::KeyControl, true);
        drive.buttonEvent(centre(), false, true);
        drive.keyEvent(K::KeyReturn, false);
        drive.buttonEvent(centre(), false, false);
        drive.keyEvent(K::KeyControl, false);
        drive.frame();
        EXPECT_TRUE(view()->idle());
        EXPECT_EQ(placed().size() > before, placedDrawing);
        EXPECT_TRUE(ui().menuObject->isVisible());
        EXPECT_FALSE(ui().menuRender->isVisible());
        EXPECT_EQ(view()->pickBrush.pickedTool, cube);
        ui().menuObject->close();
        QCoreApplication::processEvents();
        drive.frame();
    }
}
