// The object menu opened by a Control right click and driven through the
// view's frames as a person produces them: the popup takes the pointer (the
// view sees it leave with the buttons up) or the pointer rests on the empty
// background under the menu for a while, and only then is an entry chosen.
// Every command acts on the object the menu was opened on; a command that
// cannot act says why in the status bar.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/clay.h"
#include "elements/swept_fill.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/load_budget.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/act_structure.h"
#include "view/asker.h"
#include "view/fake_id_reader_util.h"
#include "view/frame_driver_util.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

using qel::Element;
using qel::Tool;
using qel::vec2;

struct Script : qel::DecliningAsker {
    int saves = 0;     // the object file names asked for
    QString informed;  // the text of the last information box
    void inform(QWidget*, const QString&, const QString& text) override { informed = text; }
    QString saveFileNameIn(QWidget*, const QString&, const QString&, const QString&) override {
        ++saves;
        return QString();
    }
};

// How the pointer spends the frames between the menu's press and the
// chosen entry.
enum class Away { Leaves, RestsOnBackground };

class ObjectMenu : public ::testing::Test {
public:
    ObjectMenu() {
        window.asker = &script;
        view()->asker = &script;
        view()->buildMatrices();
        view()->setActionMode(qel::GLView::ModeAssembly);
        view()->setAssemblyAction(qel::GLView::ActionMove);
    }
    ~ObjectMenu() override {
        for (QMenu* m : {ui().menuRender, ui().menuObject, ui().menuObject_Axis_Section}) m->close();
        QCoreApplication::processEvents();
    }
    qel::GLView* view() { return window.view(); }
    // Drops the undo records and the placed objects, the records first: a
    // record may own an object it removed.
    void clearObjects() {
        for (qel::Act* a : view()->undoHistory) delete a;
        view()->undoHistory.clear();
        view()->historyIndex = -1;
        std::vector<Tool*>& placed = view()->scene->objectsRoot->children;
        while (!placed.empty()) delete placed.back();
        view()->scene->toList();
    }
    Ui_MainWindow& ui() { return *window.ui; }
    vec2 centre() { return vec2(float(view()->width / 2), float(view()->height / 2)); }

    // A placed object on the element, shown under the centre pixel and
    // picked there by the hovering pointer.
    // With `recorded`, it is placed through an add record on the history,
    // as a click places it.
    Tool* showAndHover(Element* e, bool recorded = false) {
        Tool source(e, qel::mat4::Identity(), qel::pbr(), false);
        Tool* object = nullptr;
        if (recorded) {
            view()->pushAct(new qel::ActObjectAdd(view()->scene, 0, &source, {qel::mat4::Identity()},
                                                  qel::Scene::HangTop, false, false));
            object = view()->scene->objectsRoot->children.back();
        } else {
            object = view()->scene->addObject(&source, qel::mat4::Identity(), qel::Scene::HangTop, false);
        }
        view()->scene->toList();
        drive.reader->pixels.clear();
        fakeid::Pixel& p = drive.reader->pixels[{int(centre().x), int(centre().y)}];
        p.stencil = 1;
        p.depth = 0.5f;
        p.ids[0] = {std::uint32_t(view()->scene->findID(object)), 0, 0};
        p.normal[0] = qel::vec3(0, 0, 1);
        hover();
        return object;
    }
    // The pointer comes into the view and onto the centre pixel.
    void hover() {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(window.glWidget, &enter);
        for (const vec2 at : {centre() - vec2(4, 0), centre()}) {
            drive.move(at);
            drive.frame();
        }
    }
    // Control and the right button pressed on the object, a frame, then the
    // pointer away from the view for two frames; the menu shown.
    QMenu* openAndWait(Away away) {
        drive.hold({qel::Keyboard::KeyControl});
        drive.buttonEvent(centre(), false, true);
        drive.frame();
        drive.hold({});
        if (away == Away::Leaves) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(window.glWidget, &leave);
            drive.buttonEvent(centre(), false, false);
            drive.frame();
            drive.frame();
        } else {
            for (int k = 0; k < 2; ++k) {
                drive.move(centre() + vec2(float(10 + k), 5));
                drive.frame();
            }
        }
        for (QMenu* m : {ui().menuObject, ui().menuObject_Axis_Section})
            if (m->isVisible()) return m;
        return nullptr;
    }
    // The entry chosen: the menu hides, the command runs, the menu's
    // deferred work follows.
    void choose(QMenu* menu, QAction* entry) {
        menu->hide();
        entry->trigger();
        QCoreApplication::processEvents();
    }
    QString notice() {
        const QLabel* label = ui().statusBar->findChild<QLabel*>();
        return label ? label->text() : QString();
    }
    void clearNotice() {
        if (QLabel* label = ui().statusBar->findChild<QLabel*>()) label->clear();
    }
    std::size_t objects() { return view()->scene->objectsRoot->children.size(); }
    std::size_t templates() { return view()->scene->toolsRoot->children.size(); }

    Script script;
    MainWindow window;
    qel::test::FrameDriver drive{*window.view()};
};

// An open chain of n points along x.
qel::Curve* chain(int n) {
    std::vector<qel::vec3> points;
    for (int i = 0; i < n; ++i) points.emplace_back(float(i), 0, 0);
    return new qel::Curve(points, false);
}

}  // namespace

// Each command finds the pick the menu opened on (no refusal in the status
// bar); the conversions show it took effect.
TEST_F(ObjectMenu, EveryCommandActsOnTheObjectTheMenuWasOpenedOn) {
    using U = Ui_MainWindow;
    const struct {
        QAction* U::*action;
        bool swept;  // on the tube's menu, else on the mesh's
    } commands[] = {
        {&U::actionType, false},
        {&U::actionPick_Object, false},
        {&U::actionPick_Element, false},
        {&U::actionPick_Component, false},
        {&U::actionPick_Patch, false},
        {&U::actionPick_Feature, false},
        {&U::actionSimple_Delete, false},
        {&U::actionSculpt_Unique, false},
        {&U::actionSubdivide, false},
        {&U::actionAs_Clay, false},
        {&U::actionQuick_Save, false},
        {&U::actionTYPE, true},
        {&U::actionPick_Object_2, true},
        {&U::actionPick_Element_2, true},
        {&U::actionSimple_Delete_2, true},
        {&U::actionUnique, true},
        {&U::actionConvert_To_Tri_Mesh, true},
        {&U::actionConvert_To_Clay, true},
        {&U::actionAXIS, true},
        {&U::actionSECTION, true},
        {&U::actionAxis_Subdivide, true},
        {&U::actionSection_Subdivide, true},
        {&U::actionQuick_Save_2, true},
    };
    for (const Away away : {Away::Leaves, Away::RestsOnBackground}) {
        for (const auto& c : commands) {
            QAction* action = ui().*(c.action);
            SCOPED_TRACE(action->objectName().toStdString() +
                         (away == Away::Leaves ? " after leaving" : " over the background"));
            clearObjects();
            Tool* object =
                showAndHover(c.swept ? static_cast<Element*>(new qel::Tube(chain(3), qel::Curve::Circle(4, false)))
                                     : qel::Mesh::Cube());
            ASSERT_EQ(view()->pickBrush.pickedTool, object);
            QMenu* menu = openAndWait(away);
            ASSERT_EQ(menu, c.swept ? ui().menuObject_Axis_Section : ui().menuObject);
            EXPECT_EQ(view()->pickBrush.pickedTool, object);
            const int saves = script.saves;
            choose(menu, action);
            const bool quickSave = action == ui().actionQuick_Save || action == ui().actionQuick_Save_2;
            EXPECT_EQ(script.saves, saves + (quickSave ? 1 : 0));
            // The entries that cannot act on it say why, naming themselves.
            const QString said = action == ui().actionPick_Component ? "Pick Component: the menu cannot pick"
                                 : action == ui().actionPick_Patch   ? "Pick Patch: the menu cannot pick"
                                 : action == ui().actionPick_Feature ? "Pick Feature: a feature cannot"
                                 : action == ui().actionSculpt_Unique || action == ui().actionUnique
                                     ? "Unique: nothing to do."
                                     : "";
            EXPECT_TRUE(said.isEmpty() ? notice().isEmpty() : notice().startsWith(said)) << notice().toStdString();
            clearNotice();
            const bool toClay = action == ui().actionAs_Clay || action == ui().actionConvert_To_Clay;
            const bool toMesh = action == ui().actionConvert_To_Tri_Mesh;
            EXPECT_TRUE(!toClay || object->element->isType(Element::TType::Clay));
            EXPECT_TRUE(!toMesh || object->element->isType(Element::TType::Mesh));
            // The frames pick again once the menu has gone.
            EXPECT_FALSE(view()->pickHeld);
        }
    }
}

TEST_F(ObjectMenu, ACommandWithoutAnObjectSaysWhyInTheStatusBar) {
    view()->pickBrush.pickedTool = nullptr;
    ui().actionConvert_To_Clay->trigger();
    EXPECT_TRUE(notice().startsWith("Convert to Clay: no object is picked")) << notice().toStdString();
    Tool bare(nullptr, qel::mat4::Identity(), qel::pbr(), false);
    view()->pickBrush.pickedTool = &bare;
    ui().actionSimple_Delete->trigger();
    EXPECT_TRUE(notice().startsWith("Delete: the picked object has no element")) << notice().toStdString();
    view()->pickBrush.pickedTool = nullptr;
    // The view's own refusals reach the status bar too.
    emit view()->notice("Nothing was added: the drawing has no size.");
    EXPECT_EQ(notice(), "Nothing was added: the drawing has no size.");
}

// Subdivide and the conversions have no undo record: each ends the history
// and says so, so that the Undo right after it never takes back the older
// step (here the object's own placement) in its place.
TEST_F(ObjectMenu, SubdivideAndConvertEndTheHistorySoUndoNeverTakesAnOlderStep) {
    using U = Ui_MainWindow;
    const struct {
        QAction* U::*action;
        bool swept;
        const char* said;
    } commands[] = {
        {&U::actionSubdivide, false, "Subdivide cannot be undone: it emptied the undo history."},
        {&U::actionAs_Clay, false, "Convert to Clay cannot be undone: it emptied the undo history."},
        {&U::actionAxis_Subdivide, true, "Subdivide cannot be undone: it emptied the undo history."},
        {&U::actionSection_Subdivide, true, "Subdivide cannot be undone: it emptied the undo history."},
        {&U::actionConvert_To_Tri_Mesh, true, "Convert to Tri-Mesh cannot be undone: it emptied the undo history."},
    };
    for (const auto& c : commands) {
        QAction* action = ui().*(c.action);
        SCOPED_TRACE(action->objectName().toStdString());
        clearObjects();
        clearNotice();
        showAndHover(
            c.swept ? static_cast<Element*>(new qel::Tube(chain(3), qel::Curve::Circle(4, false))) : qel::Mesh::Cube(),
            true);
        ASSERT_EQ(view()->undoHistory.size(), 1u);
        choose(openAndWait(Away::Leaves), action);
        EXPECT_EQ(notice(), c.said);
        EXPECT_TRUE(view()->undoHistory.empty());
        ui().actionUndo->trigger();
        EXPECT_EQ(objects(), 1u);
    }
}

// 512 x 1,024 quads draw 3,145,728 surface corners; splitting either curve
// would double them past the 4,194,304 one surface may draw. Each Subdivide
// is refused with the reason and leaves the tube and the history as they
// were.
TEST_F(ObjectMenu, ASubdivisionPastTheSurfaceLimitIsRefusedAndTheTubeStaysAsItWas) {
    auto* tube = new qel::Tube(chain(513), qel::Curve::Circle(1024, false));
    showAndHover(tube, true);
    // The box would read 1,025 x 1,024 vertices after an axis split (the
    // object menu's Subdivide splits the axis), 513 x 2,048 after a section
    // split.
    const struct {
        QAction* action;
        const char* boxVertices;
    } splits[] = {{ui().actionAxis_Subdivide, "1,049,600"},
                  {ui().actionSection_Subdivide, "1,050,624"},
                  {ui().actionSubdivide, "1,049,600"}};
    for (const auto& split : splits) {
        QAction* action = split.action;
        SCOPED_TRACE(action->objectName().toStdString());
        clearNotice();
        QMenu* menu = openAndWait(Away::Leaves);
        ASSERT_EQ(menu, ui().menuObject_Axis_Section);
        choose(menu, action);
        EXPECT_EQ(notice(), QString("Subdivide refused: the tube would draw 6,291,456 surface corners (") +
                                split.boxVertices +
                                " vertices as its box counts them), more than the 4,194,304 one surface may draw; "
                                "the tube is unchanged.");
        EXPECT_EQ(tube->path->edges.size(), 512u);
        EXPECT_EQ(tube->profile->edges.size(), 1024u);
        EXPECT_EQ(view()->undoHistory.size(), 1u);
        hover();
    }
}

// A tube drawn with 41 x 24 vertices, its axis and section subdivided in
// turn nine times, reads 1,281 x 384 vertices in its box; the next split of
// either curve is refused, and the refusal speaks of the corners the surface
// would draw (six per quad, what the limit counts) with the vertices the box
// would then read beside them.
TEST_F(ObjectMenu, ASubdivisionRefusalNamesTheCornersItLimitsAndTheVerticesTheBoxShows) {
    auto* tube = new qel::Tube(chain(41), qel::Curve::Circle(24, false));
    showAndHover(tube, true);
    for (int round = 0; round < 9; ++round) {
        SCOPED_TRACE(round);
        choose(openAndWait(Away::Leaves), round % 2 == 0 ? ui().actionAxis_Subdivide : ui().actionSection_Subdivide);
        ASSERT_NE(notice().left(18), "Subdivide refused:");
        hover();
    }
    choose(openAndWait(Away::Leaves), ui().actionTYPE);
    EXPECT_EQ(script.informed.toStdString(), "491904 Vertices ,  491520 Faces");
    hover();
    const struct {
        QAction* action;
        const char* said;
    } splits[] = {
        {ui().actionSection_Subdivide,
         "Subdivide refused: the tube would draw 5,898,240 surface corners (983,808 vertices as its box counts "
         "them), more than the 4,194,304 one surface may draw; the tube is unchanged."},
        {ui().actionAxis_Subdivide,
         "Subdivide refused: the tube would draw 5,898,240 surface corners (983,424 vertices as its box counts "
         "them), more than the 4,194,304 one surface may draw; the tube is unchanged."},
    };
    for (const auto& split : splits) {
        SCOPED_TRACE(split.action->objectName().toStdString());
        choose(openAndWait(Away::Leaves), split.action);
        EXPECT_EQ(notice().toStdString(), split.said);
        EXPECT_EQ(tube->path->vertices.size() * tube->profile->vertices.size(), 491904u);
        hover();
    }
}

// A tube past the surface limit (699 x 1,024 quads: 4,294,656 corners; a
// load's budget leaves such tubes out and draws their path) is not made a
// mesh of that size: both conversions are refused with the reason.
TEST_F(ObjectMenu, AConversionOfASurfacePastTheLimitIsRefusedWithTheReason) {
    auto* tube = new qel::Tube(chain(700), qel::Curve::Circle(1024, false));
    Tool* object = showAndHover(tube, true);
    for (QAction* action : {ui().actionConvert_To_Tri_Mesh, ui().actionConvert_To_Clay}) {
        SCOPED_TRACE(action->objectName().toStdString());
        choose(openAndWait(Away::Leaves), action);
        EXPECT_EQ(notice(),
                  (action == ui().actionConvert_To_Clay ? QString("Convert to Clay") : "Convert to Tri-Mesh") +
                      " refused: the tube needs 4,294,656 surface corners (716,800 vertices as its box counts "
                      "them), more than the 4,194,304 one surface may draw; the tube is unchanged.");
        EXPECT_EQ(object->element, tube);
        EXPECT_EQ(tube->path->edges.size(), 699u);
        EXPECT_EQ(view()->undoHistory.size(), 1u);
        hover();
    }
}

// A tube whose surface a load's budget left out is refused for that, not
// for the most one surface may draw: the refusal says the load left it out
// and why.
TEST_F(ObjectMenu, ATubeALoadLeftOutIsRefusedForTheLoadNotForTheSurfaceLimit) {
    auto* tube = new qel::Tube(chain(30), qel::Curve::Circle(24, false));
    ASSERT_EQ(tube->surfaceVertices(), 4176u);
    {
        qel::LoadBudget tight(qel::LoadBudget::SamplesPerLoad, qel::LoadBudget::CopiesPerLoad,
                              1000 * qel::SweptBuildBytesPerVertex);
        tube->payForSurface(1);
    }
    ASSERT_EQ(tube->vbo.mostVertices, 1000u);
    showAndHover(tube, true);
    choose(openAndWait(Away::Leaves), ui().actionConvert_To_Tri_Mesh);
    EXPECT_EQ(notice(),
              "Convert to Tri-Mesh refused: the tube needs 4,176 surface corners (720 vertices as its box counts "
              "them), more than the 1,000 its file's load could build: the load left the surface out, as the file "
              "asked for more than can be shown; the tube is unchanged.");
    hover();
    choose(openAndWait(Away::Leaves), ui().actionSection_Subdivide);
    EXPECT_EQ(notice(),
              "Subdivide refused: the tube would draw 8,352 surface corners (1,440 vertices as its box counts "
              "them), more than the 1,000 its file's load could build: the load left the surface out, as the file "
              "asked for more than can be shown; the tube is unchanged.");
}

// Subdivide counts what it would build: a path resampled from its base
// keeps its samples when it is split, so a surface within the limit stays
// within it and the split is not refused for twice its vertices.
TEST_F(ObjectMenu, SubdivideCountsTheSurfaceItWouldBuild) {
    auto* path = new qel::UCurve(chain(100), qel::Curve::Plain);
    const std::uint64_t samples = path->edges.size();
    ASSERT_GT(samples, 2u);
    const int around = int(qel::SweptMaxVertices / (6 * samples));
    auto* tube = new qel::Tube(path, qel::Curve::Circle(around, false));
    const std::uint64_t now = tube->surfaceVertices();
    ASSERT_LE(now, qel::SweptMaxVertices);
    ASSERT_GT(2 * now, qel::SweptMaxVertices);
    showAndHover(tube, true);
    choose(openAndWait(Away::Leaves), ui().actionAxis_Subdivide);
    EXPECT_EQ(notice(), "Subdivide cannot be undone: it emptied the undo history.");
    EXPECT_EQ(tube->surfaceVertices(), now);
}
