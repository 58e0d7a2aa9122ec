// Keys pressed on the shown offscreen main window and what the status bar
// says: Insert's key in simple mode, the object menu's Quick Save, the word
// about the undo history that a sculpt stroke empties, and the word about a
// stroke that leaves a triangle mesh as it is, which stands only while true
// (a change of action, mode, tool template or creation tool ends it).

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <vector>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/act_structure.h"
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
    // A cube placed in the scene, and the picks read it at `at` facing the
    // viewer.
    qel::Tool* cubeUnder(qel::test::FrameDriver& drive, qel::vec2 at) {
        qel::Tool source(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false);
        qel::Tool* cube = view()->scene->addObject(&source, qel::mat4::Identity(), qel::Scene::HangTop, false);
        view()->scene->toList();
        fakeid::Pixel& p = drive.reader->pixels[{int(at.x), int(at.y)}];
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {std::uint32_t(view()->scene->findID(cube)), 0, 0};
        p.normal[0] = qel::vec3(0, 0, 1);
        return cube;
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
    cubeUnder(drive, centre);
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

// The word that an Inflate stroke left a triangle mesh as it is stands only
// while it is true: a change of sculpt action or of mode ends it, and so
// does a stroke that changes the mesh, a Deform stroke as well as one whose
// action a held key turns into Smooth with Inflate still chosen. A notice
// shown after it is no business of theirs and stays.
TEST_F(KeysNotices, TheWordOfAStrokeThatLeftTheMeshAsItIsGoesWhenUntrue) {
    qel::test::FrameDriver drive(*view());
    view()->setBrushSize(160.0f);
    const int x = view()->width / 2, y = view()->height / 2;
    const float depth = 0.5f;
    // A ball 80 pixels across its radius, its centre under (x, y).
    const qel::vec3 at = view()->unproject(float(x), float(y), depth);
    const float r = qel::length(view()->unproject(float(x + 80), float(y), depth) - at);
    qel::Mesh* seed = qel::Mesh::Icosahedron();
    qel::Tool source(qel::Mesh::Sphere(seed, 2, false, true), qel::mat4::Identity(), qel::pbr(), false);
    delete seed;
    view()->pushAct(new qel::ActObjectAdd(view()->scene, 0, &source,
                                          {qel::mat4::Translation(at.x, at.y, at.z) * qel::mat4::Scale(r, r, r)},
                                          qel::Scene::HangTop, false, false));
    qel::Tool* ball = view()->scene->objectsRoot->children.back();
    view()->scene->toList();
    fakeid::Pixel& p = drive.reader->pixels[{x, y}];
    p.stencil = 1;
    p.depth = depth;
    p.ids[0] = {std::uint32_t(view()->scene->findID(ball)), 0, 0};
    p.normal[0] = qel::vec3(0, 0, 1);
    const auto shape = [ball] {
        std::vector<qel::vec3> out;
        for (const qel::MeshVertex& v : static_cast<const qel::Mesh*>(ball->element)->vertices)
            out.push_back(v.position);
        return out;
    };
    // Brought onto the ball, pressed, dragged 30 pixels right, released.
    const auto stroke = [&] {
        for (const int from : {x - 5, x}) {
            drive.move(qel::vec2(float(from), float(y)));
            drive.frame();
        }
        drive.left(true);
        drive.frame();
        EXPECT_EQ(view()->pickBrush.pickedTool, ball);
        for (int k = 1; k <= 3; ++k) {
            drive.move(qel::vec2(float(x + 10 * k), float(y)));
            drive.frame();
        }
        drive.left(false);
        drive.frame();
        EXPECT_TRUE(view()->idle());
    };
    const QString inert = "Inflate shapes clay, tubes and curves; a triangle mesh is left as it is.";
    const auto inflate = [&](const char* trace) {
        SCOPED_TRACE(trace);
        window.Sculpt(true);
        ui().actionInflate->trigger();
        const std::vector<qel::vec3> before = shape();
        stroke();
        EXPECT_EQ(shape(), before);
        // The record that placed the ball went with the first stroke.
        EXPECT_TRUE(notice().endsWith(inert)) << notice().toStdString();
    };

    inflate("a later notice");
    window.showNotice("Saved.");
    ui().actionDeform->trigger();
    drive.frame();
    EXPECT_EQ(notice(), "Saved.");

    inflate("a change of action");
    ui().actionDeform->trigger();
    drive.frame();
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();

    inflate("a change of mode");
    window.Assembly(true);
    drive.frame();
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();

    inflate("a Deform stroke");
    ui().actionDeform->trigger();
    std::vector<qel::vec3> before = shape();
    stroke();
    EXPECT_NE(shape(), before);
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();

    inflate("a Smooth stroke");
    drive.hold({'1'});
    before = shape();
    stroke();
    drive.hold({});
    EXPECT_EQ(view()->selectedSculptAction, qel::Sculptor::Inflate);
    EXPECT_NE(shape(), before);
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();
}

// A change of the tool template (Previous or Next Tool) or of the creation
// tool ends the word of an Inflate stroke too, even when the user is back
// in Sculpt with the same action before the view's next frame (as on a
// heavy scene, whose frames come seconds apart): the mode and actions are
// then as they were, the tool is not.
TEST_F(KeysNotices, AChangeOfToolTemplateOrCreationToolEndsTheWordOfAStrokeThatLeftTheMeshAsItIs) {
    qel::test::FrameDriver drive(*view());
    const qel::vec2 centre(float(view()->width / 2), float(view()->height / 2));
    qel::Tool* cube = cubeUnder(drive, centre);
    // A second template in the library, and full mode with Place chosen,
    // where Previous and Next Tool step the templates.
    view()->scene->addTool(new qel::Tool(qel::Mesh::Cube(), qel::mat4::Identity(), qel::pbr(), false));
    window.SetMode(false);
    window.Assembly(true);
    ui().actionPlace->trigger();
    const QString inert = "Inflate shapes clay, tubes and curves; a triangle mesh is left as it is.";
    const auto inflateStroke = [&] {
        window.Sculpt(true);
        ui().actionInflate->trigger();
        for (const float dx : {-5.0f, 0.0f}) {
            drive.move(centre + qel::vec2(dx, 0.0f));
            drive.frame();
        }
        drive.buttonEvent(centre, true, false);
        drive.frame();
        EXPECT_EQ(view()->pickBrush.pickedTool, cube);
        drive.buttonEvent(centre, false, false);
        drive.frame();
        ASSERT_TRUE(view()->idle());
        ASSERT_TRUE(notice().endsWith(inert)) << notice().toStdString();
    };
    const struct {
        QAction* action;
        bool stepsTemplate;
    } changes[] = {{ui().actionNext_Tool, true}, {ui().actionPrevious_Tool, true}, {ui().actionCube, false},
                   {ui().actionSphere, false}};
    for (const auto& change : changes) {
        SCOPED_TRACE(change.action->text().toStdString());
        inflateStroke();
        const qel::Tool* current = view()->scene->currentTool;
        const View::TToolCreation creation = view()->toolCreation;
        change.action->trigger();
        window.Sculpt(true);
        EXPECT_EQ(view()->scene->currentTool != current, change.stepsTemplate);
        EXPECT_EQ(view()->toolCreation != creation, !change.stepsTemplate);
        EXPECT_EQ(view()->selectedActionMode, View::ModeSculpt);
        EXPECT_EQ(view()->selectedAssemblyAction, View::ActionPlace);
        EXPECT_EQ(view()->selectedSculptAction, qel::Sculptor::Inflate);
        drive.frame();
        EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();
    }
}
