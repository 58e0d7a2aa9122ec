// Keys pressed on the shown offscreen main window and what the status bar
// says: Insert's key in simple mode, the object menu's Quick Save, and the
// word about the undo history that a sculpt stroke empties.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"

namespace {

using View = qel::GLView;

struct Nothing : qel::Act {
    void apply() override {}
};

class KeysNotices : public ::testing::Test {
public:
    KeysNotices() {
        window.asker = &asker;
        view()->asker = &asker;
        view()->buildMatrices();
    }
    View* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    QString notice() {
        const QLabel* label = ui().statusBar->findChild<QLabel*>();
        return label ? label->text() : QString();
    }
    // The window shown and active (its view hidden: this platform has no
    // OpenGL 4.0 for it), the key pressed and released on the window.
    void press(Qt::Key key) {
        window.glWidget->hide();
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, key);
    }

    qel::DecliningAsker asker;
    MainWindow window;
};

}  // namespace

// F1 chooses Insert in every assembly mode, simple mode too, where Insert's
// entry is hidden (and Insert reads as Place); in Sculpt it is Deform's key.
TEST_F(KeysNotices, F1ChoosesInsertInSimpleAndFullModeAndDeformInSculpt) {
    ASSERT_TRUE(view()->simple());
    ASSERT_EQ(view()->selectedAssemblyAction, View::ActionMaterial);
    press(Qt::Key_F1);
    EXPECT_EQ(view()->selectedAssemblyAction, View::ActionInsert);
    EXPECT_EQ(view()->iassemblyAction(), View::ActionPlace);
    EXPECT_TRUE(ui().actionInsert->isChecked());

    window.Sculpt(true);
    view()->setSculptAction(qel::Sculptor::Inflate);
    ui().actionMaterial->trigger();  // Material, chosen in Sculpt: back to Assembly
    window.Sculpt(true);
    press(Qt::Key_F1);
    EXPECT_EQ(view()->selectedActionMode, View::ModeSculpt);
    EXPECT_EQ(view()->selectedSculptAction, qel::Sculptor::Deform);
    EXPECT_EQ(view()->selectedAssemblyAction, View::ActionMaterial);

    window.SetMode(false);
    window.Assembly(true);
    ui().actionMaterial->trigger();
    press(Qt::Key_F1);
    EXPECT_EQ(view()->selectedAssemblyAction, View::ActionInsert);
    EXPECT_EQ(view()->iassemblyAction(), View::ActionInsert);
}

// Quick Save is a command, not a switch: it shows no check mark after use.
TEST_F(KeysNotices, QuickSaveIsNoSwitch) {
    EXPECT_FALSE(ui().actionQuick_Save->isCheckable());
    ui().actionQuick_Save->trigger();
    EXPECT_FALSE(ui().actionQuick_Save->isChecked());
}

// The first sculpt stroke that empties the undo history says so in the
// status bar; a stroke on an empty history says nothing, and later ones
// nothing again.
TEST_F(KeysNotices, TheFirstStrokeThatEmptiesTheHistorySaysSo) {
    qel::test::FrameDriver drive(*view());
    const qel::vec2 centre(float(view()->width / 2), float(view()->height / 2));
    qel::Tool source(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false);
    qel::Tool* cube = view()->scene->addObject(&source, qel::mat4::Identity(), qel::Scene::HangTop, false);
    view()->scene->toList();
    fakeid::Pixel& p = drive.reader->pixels[{int(centre.x), int(centre.y)}];
    p.stencil = 1;
    p.depth = 0.5f;
    p.ids[0] = {std::uint32_t(view()->scene->findID(cube)), 0, 0};
    p.normal[0] = qel::vec3(0, 0, 1);
    window.Sculpt(true);
    const auto stroke = [&] {
        drive.move(centre);
        drive.frame();
        drive.buttonEvent(centre, true, false);
        drive.frame();
        drive.buttonEvent(centre, false, false);
        drive.frame();
    };
    const QString told = "Sculpt strokes cannot be undone: this stroke emptied the undo history.";
    stroke();
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();
    view()->pushAct(new Nothing);
    stroke();
    EXPECT_TRUE(view()->undoHistory.empty());
    EXPECT_EQ(notice(), told);
    window.showNotice("");
    view()->pushAct(new Nothing);
    stroke();
    EXPECT_TRUE(view()->undoHistory.empty());
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();
}
