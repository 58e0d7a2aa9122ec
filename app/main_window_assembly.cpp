// MainWindow: the guards shared by the mode commands, the mode commands, the
// assembly actions, the placement options and the inverse-kinematics chain.

#include <QAction>
#include <QMenu>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/glview.h"

bool MainWindow::modeGuard(int mode, const QString& name) {
    qel::GLView* v = view();
    if (v->selectedActionMode == mode) return true;
    if (!v->idle()) {
        notTaken(name);
        return false;
    }
    if (mode == qel::GLView::ModeSculpt)
        Sculpt(true);
    else
        Assembly(true);
    return true;
}

bool MainWindow::assemblyGuard(const QString& name) { return modeGuard(qel::GLView::ModeAssembly, name); }

bool MainWindow::sculptGuard(const QString& name) { return modeGuard(qel::GLView::ModeSculpt, name); }

void MainWindow::takeSenderIcon(QMenu* menu) { takeIcon(menu, senderAction()); }

void MainWindow::takeIcon(QMenu* menu, const QAction* action) {
    if (action) menu->setIcon(action->icon());
}

void MainWindow::setCreateAction() {
    qel::GLView* v = view();
    const auto last = v->lastCreateAction;
    if (v->simple() || last == qel::GLView::ActionDraw || last == qel::GLView::ActionPlace) {
        ui->actionPlace->setChecked(true);
        v->setAssemblyAction(last);
    } else if (last == qel::GLView::ActionInsert) {
        ui->actionInsert->setChecked(true);
        v->setAssemblyAction(qel::GLView::ActionInsert);
    }
}

void MainWindow::assemblyAction(int action, QMenu* menu) {
    const QAction* from = senderAction();
    lockedAssembly(commandName(from), [this, action, menu, from] {
        view()->setAssemblyAction(qel::GLView::TAssemblyAction(action));
        view()->redraw = 1;
        if (menu) takeIcon(menu, from);
    });
}

void MainWindow::on_actionAssembly_triggered() {
    afterGesture("Assembly", [this] { Assembly(true); });
}

void MainWindow::on_actionSculpt_triggered() {
    afterGesture("Sculpt", [this] { Sculpt(true); });
}

void MainWindow::on_actionInsert_triggered() { assemblyAction(qel::GLView::ActionInsert); }
void MainWindow::on_actionPlace_triggered() { assemblyAction(qel::GLView::ActionPlace); }
void MainWindow::on_actionInverse_Kinematics_triggered() { assemblyAction(qel::GLView::ActionIK); }
void MainWindow::on_actionAsmMove_triggered() { assemblyAction(qel::GLView::ActionMove); }
void MainWindow::on_actionAsmRotate_triggered() { assemblyAction(qel::GLView::ActionRotate); }
void MainWindow::on_actionAsmScale_triggered() { assemblyAction(qel::GLView::ActionScale); }
void MainWindow::on_actionAsmMirror_triggered() { assemblyAction(qel::GLView::ActionMirror); }
void MainWindow::on_actionAsmRotateScale_triggered() { assemblyAction(qel::GLView::ActionRotateScale); }
void MainWindow::on_actionRotation_Multiplicity_triggered() {
    assemblyAction(qel::GLView::ActionRotateMultiplicity, ui->menuConstraints);
}
void MainWindow::on_actionMaterial_triggered() { assemblyAction(qel::GLView::ActionMaterial); }
void MainWindow::on_actionLink_triggered() { assemblyAction(qel::GLView::ActionLink); }
void MainWindow::on_actionUnlink_triggered() { assemblyAction(qel::GLView::ActionUnlink); }
void MainWindow::on_actionConstrain_Rotation_triggered() {
    assemblyAction(qel::GLView::ActionConstrainRotation, ui->menuConstraints);
}
void MainWindow::on_actionConstrain_Movement_triggered() {
    assemblyAction(qel::GLView::ActionConstrainTranslation, ui->menuConstraints);
}
void MainWindow::on_actionAlign_triggered() { assemblyAction(qel::GLView::ActionAlign); }
void MainWindow::on_actionMatch_Pivot_triggered() { assemblyAction(qel::GLView::ActionMatchPivot); }
void MainWindow::on_actionDynamics_2_triggered() { assemblyAction(qel::GLView::ActionSpeed); }

// ---- Placement options: read when the next object is placed ----

void MainWindow::setHierarchyMode(int mode) {
    if (!assemblyGuard(commandName(senderAction()))) return;
    view()->hierarchyMode = mode;
    view()->redraw = 1;
    takeSenderIcon(ui->menuHierarchy);
}

void MainWindow::on_actionAdd_To_Scene_triggered() { setHierarchyMode(0); }
void MainWindow::on_actionAdd_To_Parent_triggered() { setHierarchyMode(1); }
void MainWindow::on_actionAdd_To_Child_triggered() { setHierarchyMode(2); }

// The status text shows every option: each change is drawn.
void MainWindow::on_actionRelative_To_Child_triggered() {
    if (!assemblyGuard(ui->actionRelative_To_Child->text())) return;
    view()->relativeToChild = ui->actionRelative_To_Child->isChecked() ? 2 : 3;
    view()->redraw = 1;
}

void MainWindow::on_actionAdd_On_All_Instances_triggered() {
    if (!assemblyGuard(ui->actionAdd_On_All_Instances->text())) return;
    view()->addOnAllInstances = ui->actionAdd_On_All_Instances->isChecked();
    view()->redraw = 1;
}

void MainWindow::on_actionAdd_Linked_triggered() {
    if (!assemblyGuard(ui->actionAdd_Linked->text())) return;
    view()->linkedMode = ui->actionAdd_Linked->isChecked();
    view()->redraw = 1;
}

// ---- The inverse-kinematics chain: only while that action is in effect ----

namespace {

bool chainActs(const qel::GLView* v) {
    return v->selectedActionMode == qel::GLView::ModeAssembly && v->assemblyAction == qel::GLView::ActionIK;
}

}  // namespace

// The level shows in the status text: each change is drawn.
void MainWindow::on_actionIK_Chain_triggered() {
    lockedCommand(ui->actionIK_Chain->text(), [this] {
        if (!chainActs(view()) || view()->ikLevel < 1) return;
        --view()->ikLevel;
        view()->redraw = 1;
    });
}

void MainWindow::on_actionIK_Chain_2_triggered() {
    lockedCommand(ui->actionIK_Chain_2->text(), [this] {
        if (!chainActs(view())) return;
        ++view()->ikLevel;
        view()->redraw = 1;
    });
}

void MainWindow::on_actionIK_Chain_Reset_triggered() {
    lockedCommand(ui->actionIK_Chain_Reset->text(), [this] {
        if (!chainActs(view())) return;
        view()->ikLevel = -1;
        view()->redraw = 1;
    });
}
