// MainWindow: the Render and View menus - the display switches, the lens
// and object chromatism with their colours, the contour colour, the two
// built-in environments, full screen, full mode and the standard views.

#include <QAction>
#include <QApplication>

#include "app/dialogs.h"
#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

const float Pi = 3.14159265358979f;

// The camera orientation of standard view 1 (Front) to 6 (Bottom).
qel::mat3 standardOrientation(int preset) {
    switch (preset) {
        case 2:
            return qel::mat3::Rotation(0.0f, Pi, 0.0f);
        case 3:
            return qel::mat3::Rotation(0.0f, -Pi / 2.0f, 0.0f);
        case 4:
            return qel::mat3::Rotation(0.0f, Pi / 2.0f, 0.0f);
        case 5:
            return qel::mat3::Rotation(Pi / 2.0f, 0.0f, 0.0f);
        case 6:
            return qel::mat3::Rotation(-Pi / 2.0f, 0.0f, 0.0f);
        default:
            return qel::mat3();
    }
}

// Copies an action's check state into a switch of the view.
void copyCheck(qel::GLView* v, std::uint8_t& field, const QAction* action) {
    field = action->isChecked();
    v->redraw = 1;
}

}  // namespace

// ---- Display switches ----

void MainWindow::on_actionEdge_Detection_triggered() {
    copyCheck(view(), view()->edgeDetection, ui->actionEdge_Detection);
}

void MainWindow::on_actionWireframe_triggered() { view()->setWireframe(ui->actionWireframe->isChecked()); }

void MainWindow::on_actionSelection_triggered() { view()->setSelection(ui->actionSelection->isChecked()); }

void MainWindow::on_actionHide_Transparent_triggered() {
    copyCheck(view(), view()->hideTransparent, ui->actionHide_Transparent);
}

void MainWindow::on_actionRender_Simple_triggered() {
    copyCheck(view(), view()->renderSimple, ui->actionRender_Simple);
}

void MainWindow::on_actionHi_res_triggered() { glWidget->setScale(ui->actionHi_res->isChecked() ? 2.0f : 1.0f); }

void MainWindow::on_actionAnimate_triggered() { copyCheck(view(), view()->animate, ui->actionAnimate); }

void MainWindow::on_actionTurntable_triggered() { copyCheck(view(), view()->turntable, ui->actionTurntable); }

void MainWindow::on_actionGroups_triggered() {
    copyCheck(view(), view()->groupsMode, ui->actionGroups);
    ui->actionGroups->setChecked(view()->groupsMode != 0);
}

void MainWindow::on_actionHandles_triggered() { copyCheck(view(), view()->showHandles, ui->actionHandles); }

// Replacing the font deletes its texture, which needs the view's context.
void MainWindow::on_actionLarge_Fonts_triggered() {
    const bool current = beginGpuWork();
    view()->setFonts(ui->actionLarge_Fonts->isChecked());
    if (current) endGpuWork();
    view()->redraw = 1;
}

// Pivots are shown or hidden only in assembly mode.
void MainWindow::on_actionPivots_triggered() {
    qel::GLView* v = view();
    if (v->selectedActionMode == qel::GLView::ModeAssembly) {
        v->showPivots = v->showPivots ? 0 : 1;
        v->redraw = 1;
    }
    ui->actionPivots->setChecked(v->showPivots != 0);
}

void MainWindow::on_actionDisplay_triggered() {
    view()->showText = view()->showText ? 0 : 1;
    view()->redraw = 1;
}

// ---- Window modes ----

void MainWindow::on_actionFull_Screen_triggered() {
    QWidget* window = QApplication::activeWindow();
    if (!window) window = this;
    if (ui->actionFull_Screen->isChecked())
        window->showFullScreen();
    else
        window->showMaximized();
}

// Re-entering the mode during a gesture would change the mode the gesture
// runs in, so the switch waits for the view to be idle.
void MainWindow::on_actionFULL_MODE_triggered() {
    afterGesture("Full Mode", [this] {
        qel::GLView* v = view();
        v->simpleMode = v->simpleMode ? 0 : 1;
        if (v->selectedActionMode == qel::GLView::ModeSculpt)
            Sculpt(true);
        else if (v->selectedActionMode == qel::GLView::ModeAssembly)
            Assembly(true);
        v->redraw = 1;
        ui->actionFULL_MODE->setChecked(!v->simple());
    });
    ui->actionFULL_MODE->setChecked(!view()->simple());
}

// ---- Effects ----

// While a gesture runs nothing changes. With Control held the dialog edits
// the colour and the switch stays as it was. The switch turns when the
// command runs, so that two clicks given while the view still takes a
// stroke's end leave it as it was; till then the mark shows the view's.
void MainWindow::colorSwitch(QAction* action, bool lens) {
    const auto flag = [this, lens]() -> std::uint8_t& {
        return lens ? view()->lensChromatism : view()->objectsChromatism;
    };
    afterGesture(
        action->text(),
        [this, action, lens, flag] {
            qel::GLView* v = view();
            if (qel::keys.held(qel::Keyboard::KeyControl)) {
                if (lens)
                    qel::DIALOGS->colorDialog(&v->lensChromatismColor, "Lens Chromatism Color");
                else
                    qel::DIALOGS->colorDialog(&v->objectsChromatismColor, "Objects Chromatism Color");
            } else {
                flag() = flag() ? 0 : 1;
            }
            action->setChecked(flag() != 0);
            v->redraw = 1;
        },
        false, true);
    action->setChecked(flag() != 0);
}

void MainWindow::on_actionLens_Chromatism_triggered() { colorSwitch(ui->actionLens_Chromatism, true); }

void MainWindow::on_actionObjects_Chromatism_triggered() { colorSwitch(ui->actionObjects_Chromatism, false); }

void MainWindow::on_actionContour_triggered() { askColor("Contour", &qel::GLView::contourColor, "Contour Color"); }

void MainWindow::on_actionDefault_Light_triggered() { loadEnvironment(":/Environments/env_default.jpg"); }

void MainWindow::on_actionDefault_Dark_triggered() { loadEnvironment(":/Environments/env_dark.jpg"); }

// ---- Standard views ----

void MainWindow::setStandardView(int preset) {
    qel::GLView* v = view();
    v->viewPreset = preset;
    v->camera->orientation = standardOrientation(preset);
    v->redraw = 1;
}

void MainWindow::on_actionFront_triggered() { setStandardView(1); }
void MainWindow::on_actionBack_triggered() { setStandardView(2); }
void MainWindow::on_actionLeft_triggered() { setStandardView(3); }
void MainWindow::on_actionRight_triggered() { setStandardView(4); }
void MainWindow::on_actionTop_triggered() { setStandardView(5); }
void MainWindow::on_actionBottom_triggered() { setStandardView(6); }

// Steps Front, Back, Left, Right, Top, Bottom from the orientation the user
// turned to, and after Bottom returns to it.
void MainWindow::on_actionGeneral_triggered() {
    qel::GLView* v = view();
    const int preset = v->viewPreset;
    if (preset == 0) {
        generalOrientation = v->camera->orientation;
        setStandardView(1);
    } else if (preset >= 1 && preset <= 5) {
        setStandardView(preset + 1);
    } else if (preset == 6) {
        v->camera->orientation = generalOrientation;
        v->viewPreset = 0;
        v->redraw = 1;
    }
}
