// The Sculpt, Brush, Render and View menus' commands on the offscreen main
// window: the sculpt guard, scope, projection, snap, symmetry, display
// switches, effects and standard views. Dialogs and modifier keys are
// scripted; gestures are set up through the view's state.

#include <gtest/gtest.h>

#include <QAction>
#include <QColorDialog>
#include <QMenu>
#include <QToolBar>
#include <SFML/Window/Keyboard.hpp>
#include <array>

#include "app/dialogs.h"
#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

using qel::GLView;
using Flags = std::array<std::uint8_t, 6>;

// Answers in order (an invalid QVariant cancels) and records each dialog as
// "title label start".
struct Script : qel::DecliningAsker {
    QList<QVariant> answers;
    QStringList asked;
    template <class T>
    bool answer(const QString& title, const QString& label, T* v) {
        asked << QString("%1 %2 %3").arg(title, label).arg(*v);
        const QVariant a = answers.isEmpty() ? QVariant() : answers.takeFirst();
        if (a.isValid()) *v = a.value<T>();
        return a.isValid();
    }
    bool getInt(QWidget*, const QString& t, const QString& l, int* v, int, int, int) override {
        return answer(t, l, v);
    }
    bool getDouble(QWidget*, const QString& t, const QString& l, double* v, double, double, int) override {
        return answer(t, l, v);
    }
};

struct ControlKey : qel::KeySource {
    qel::KeySource* platform = qel::keys.source;
    bool held = false;
    ControlKey() { qel::keys.source = this; }
    ~ControlKey() override {
        hold(false);
        qel::keys.source = platform;
    }
    void hold(bool h) {
        held = h;
        qel::keys.read();
    }
    bool active() override { return true; }
    bool down(int key) override { return held && key == sf::Keyboard::LControl; }
};

class BrushCommandsTest : public ::testing::Test {
protected:
    BrushCommandsTest() { window.asker = &script; }
    GLView* view() { return window.view(); }
    Ui_MainWindow& ui() { return *window.ui; }
    // A gesture of the given effective mode.
    void gesture(GLView::TActionMode mode) {
        view()->interactionState = 1;
        view()->actionMode = mode;
    }
    Script script;
    ControlKey control;
    MainWindow window;
};

// A sculpt action given while a gesture is under way in the view, a sculpt
// stroke's too, is not taken: the stroke keeps the action it started with.
TEST_F(BrushCommandsTest, SculptActionsEnterSculptModeWhenIdleAndWaitForEveryGesture) {
    const char* const names[] = {
        "Deform",          "Deform_Volume",   "Inflate",      "Deflate",     "Pinch",      "Grow",
        "Twist",           "Flatten",         "Smooth",       "Paint",       "Fill",       "Move",
        "Scale",           "Scale_Direction", "Rotate",       "Mirror",      "Cut_Plane",  "Cut_Sphere",
        "Clip_Plane",      "Clip_Sphere",     "Sub_Plane",    "Sub_Sphere",  "Add_Sphere", "Extrude",
        "Extrude_Scale",   "Extrude_Deform",  "Bevel",        "Normal_Tear", "Scale_Tear", "Deform_Tear",
        "Erase_Component", "Erase_Patch",     "Erase_Feature"};
    const int values[] = {12, 13, 20, 21, 23, 22, 24, 25, 15, 29, 30, 1,  5,  9,  3,  7, 47,
                          52, 48, 53, 49, 55, 54, 36, 37, 38, 40, 41, 42, 44, 32, 34, 35};
    for (int i = 0; i < 33; ++i) {
        SCOPED_TRACE(names[i]);
        QAction* action = window.findChild<QAction*>(QString("action") + names[i]);
        window.Assembly(true);
        view()->setSculptAction(qel::Sculptor::Scrape);
        gesture(GLView::ModeAssembly);
        action->trigger();
        EXPECT_EQ(view()->selectedActionMode, GLView::ModeAssembly);
        EXPECT_EQ(view()->selectedSculptAction, qel::Sculptor::Scrape);
        view()->interactionState = 0;
        action->trigger();
        EXPECT_EQ(ui().menuSculpt->title(), "[Sculpt]");
        EXPECT_EQ(view()->selectedSculptAction, values[i]);
        view()->setSculptAction(qel::Sculptor::Scrape);
        gesture(GLView::ModeSculpt);
        action->trigger();
        EXPECT_EQ(view()->selectedSculptAction, qel::Sculptor::Scrape);
        view()->interactionState = 0;
    }
    const qint64 clay = ui().menuClay->icon().cacheKey();
    ui().actionRotate->trigger();
    ui().actionDeform->trigger();
    EXPECT_EQ(ui().menuTransform_2->icon().cacheKey(), ui().actionRotate->icon().cacheKey());
    EXPECT_EQ(ui().menuClay->icon().cacheKey(), clay);
}

TEST_F(BrushCommandsTest, ScopeCyclesWithQAndWNamesTheSculptedCurve) {
    const int scopes[] = {3, 1, 2, 0};
    for (int scope : scopes) {
        ui().actionSelect_Element->trigger();
        EXPECT_EQ(view()->selectedSculptSelect, scope);
    }
    gesture(GLView::ModeAssembly);
    ui().actionSelect_Element->trigger();
    EXPECT_EQ(view()->selectedSculptSelect, qel::Sculptor::SelectElement);
    view()->interactionState = 0;
    ui().actionAxisSection->trigger();
    EXPECT_EQ(ui().actionAxisSection->text(), "Section");
    ui().actionAxisSection->trigger();
    EXPECT_EQ(ui().actionAxisSection->text(), "Axis");
}

TEST_F(BrushCommandsTest, ProjectionWaitsForAStrokeAndTransformersForAnAssemblyCommand) {
    window.Sculpt(true);
    gesture(GLView::ModeSculpt);
    ui().actionOn_Object->trigger();
    EXPECT_EQ(view()->brushProjection, qel::ABrush::SameDepth);
    EXPECT_TRUE(ui().actionSame_Depth->isChecked());
    EXPECT_FALSE(ui().actionOn_Object->isChecked());
    const auto transformer = view()->transformerType;
    ui().actionPivot->trigger();
    EXPECT_EQ(view()->transformerType, transformer);
    EXPECT_EQ(view()->selectedActionMode, GLView::ModeSculpt);
    gesture(GLView::ModeAssembly);
    ui().actionOn_Object->trigger();
    EXPECT_EQ(view()->brushProjection, qel::ABrush::OnObject);
}

TEST_F(BrushCommandsTest, SnapWithControlEditsTheValueAndKeepsTheSwitch) {
    control.hold(true);
    script.answers = {QVariant(40.5), QVariant()};
    ui().actionSnap_Grid->trigger();
    EXPECT_EQ(view()->snapGrid, 0);
    EXPECT_FALSE(ui().actionSnap_Grid->isChecked());
    EXPECT_EQ(view()->snapGridValue, 40.5f);
    control.hold(false);
    ui().actionSnap_Grid->trigger();
    control.hold(true);
    ui().actionSnap_Grid->trigger();
    EXPECT_EQ(view()->snapGrid, 1);
    EXPECT_TRUE(ui().actionSnap_Grid->isChecked());
    EXPECT_EQ(view()->snapGridValue, 40.5f);
    EXPECT_EQ(script.asked, QStringList({"Snap Grid Step 16", "Snap Grid Step 40.5"}));
}

TEST_F(BrushCommandsTest, SymmetryFlagsExcludeEachOtherAndWaitForAStroke) {
    ui().actionY_Mirror_Symmetry->trigger();
    ui().actionZ_Mirror_Symmetry->trigger();
    ui().actionY_Rotation_Symmetry->trigger();
    EXPECT_EQ(view()->symmetry, (Flags{0, 1, 0, 0, 1, 0}));
    ui().actionZ_Rotation_Symmetry->trigger();
    ui().actionX_Mirror_Symmetry->trigger();
    EXPECT_EQ(view()->symmetry, (Flags{1, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(ui().actionZ_Rotation_Symmetry->isChecked());
    ui().actionX_Rotation_Symmetry->trigger();
    EXPECT_EQ(view()->symmetry, (Flags{1, 0, 0, 1, 0, 0}));
    gesture(GLView::ModeSculpt);
    ui().actionX_Mirror_Symmetry->trigger();
    EXPECT_TRUE(ui().actionX_Mirror_Symmetry->isChecked());
    EXPECT_EQ(view()->symmetry, (Flags{1, 0, 0, 1, 0, 0}));
}

TEST_F(BrushCommandsTest, RotationItemsCountAndShowTheCount) {
    ui().actionRotation_Items_2->trigger();
    EXPECT_EQ(ui().actionRotation_Items->text(), "Rotation Items (7)");
    EXPECT_EQ(ui().actionRotation_Items->iconText(), "7");
    view()->symmetryItems = 2;
    ui().actionRotation_Items_3->trigger();
    ui().actionRotation_Items_3->trigger();
    EXPECT_EQ(view()->symmetryItems, 1);
    view()->symmetryItems = 1000;
    ui().actionRotation_Items_2->trigger();
    EXPECT_EQ(view()->symmetryItems, 1001);
    script.answers = {QVariant(12)};
    ui().actionRotation_Items->trigger();
    EXPECT_EQ(script.asked, QStringList({"Rotation Symmetry Items 1001"}));
    EXPECT_EQ(ui().actionRotation_Items->iconText(), "12");
}

// Nothing else makes a frame while Animate is off.
TEST_F(BrushCommandsTest, CommandsThatChangeTheViewAskForAFrame) {
    const char* const names[] = {"X_Mirror_Symmetry",
                                 "Rotation_Items_2",
                                 "Rotation_Items_3",
                                 "Select_Element",
                                 "On_Object",
                                 "Edge_Detection",
                                 "Hide_Transparent",
                                 "Render_Simple",
                                 "Animate",
                                 "Handles",
                                 "Groups",
                                 "Pivots",
                                 "Display",
                                 "Lens_Chromatism",
                                 "Back",
                                 "General"};
    for (const char* name : names) {
        view()->redraw = 0;
        window.findChild<QAction*>(QString("action") + name)->trigger();
        EXPECT_EQ(view()->redraw, 1) << name;
    }
}

TEST_F(BrushCommandsTest, GeneralStepsThroughTheStandardViewsAndBack) {
    const qel::mat3 free = qel::mat3::Rotation(0.3f, 0.2f, 0.1f);
    view()->camera->orientation = free;
    view()->viewPreset = 0;
    const int presets[] = {1, 2, 3, 4, 5, 6, 0, 1};
    for (int preset : presets) {
        ui().actionGeneral->trigger();
        EXPECT_EQ(view()->viewPreset, preset);
        if (preset == 0) {
            EXPECT_EQ(view()->camera->orientation, free);
        }
    }
    EXPECT_EQ(view()->camera->orientation, qel::mat3());
}

TEST_F(BrushCommandsTest, RefusedSwitchesKeepTheirMarksRight) {
    window.Sculpt(true);
    ui().actionPivots->trigger();
    EXPECT_EQ(view()->showPivots, 1);
    EXPECT_TRUE(ui().actionPivots->isChecked());
    gesture(GLView::ModeSculpt);
    for (QAction* a : {ui().actionLens_Chromatism, ui().actionFULL_MODE}) a->trigger();
    EXPECT_EQ(view()->lensChromatism, 0);
    EXPECT_FALSE(ui().actionLens_Chromatism->isChecked());
    EXPECT_TRUE(view()->simple());
    EXPECT_FALSE(ui().actionFULL_MODE->isChecked());
    view()->interactionState = 0;
    control.hold(true);
    ui().actionLens_Chromatism->trigger();
    ASSERT_TRUE(qel::DIALOGS->colorPicker);
    EXPECT_EQ(qel::DIALOGS->colorPicker->windowTitle(), "Lens Chromatism Color");
    EXPECT_EQ(qel::DIALOGS->colorTarget, &view()->lensChromatismColor);
    EXPECT_EQ(view()->lensChromatism, 0);
    EXPECT_FALSE(ui().actionLens_Chromatism->isChecked());
    qel::DIALOGS->colorPicker->reject();
}

TEST_F(BrushCommandsTest, FullModeKeepsSculptModeAndFullScreenFallsBackToTheWindow) {
    window.Sculpt(true);
    ui().actionFULL_MODE->trigger();
    EXPECT_FALSE(view()->simple());
    EXPECT_EQ(ui().menuSculpt->title(), "[Sculpt]");
    EXPECT_TRUE(window.toolBarFull->isVisibleTo(&window));
    EXPECT_FALSE(window.toolBarSimple->isVisibleTo(&window));
    window.glWidget->hide();  // no OpenGL context offscreen
    ui().actionFull_Screen->trigger();
    EXPECT_TRUE(window.isFullScreen());
}

}  // namespace
