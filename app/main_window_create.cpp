// MainWindow: the creation commands, the profile thickness, the tool library
// (Use Tool, Previous Tool, Next Tool) and the axis and section shapes.

#include <QAction>
#include <QMenu>
#include <iterator>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

bool held(int key) { return qel::keys.held(std::uint8_t(key)); }

}  // namespace

void MainWindow::createTool(int creation, QMenu* menu) {
    const QAction* from = senderAction();
    lockedCommand(commandName(from), [this, creation, menu, from] { makeTool(creation, menu, from); });
}

void MainWindow::makeTool(int creation, QMenu* menu, const QAction* from) {
    if (!assemblyGuard(commandName(from))) return;
    setCreateAction();
    view()->setActiveTool(qel::GLView::TToolCreation(creation), true);
    view()->redraw = 1;
    if (menu) takeIcon(menu, from);
}

void MainWindow::on_actionTetrahedron_triggered() { createTool(qel::GLView::CreateTetrahedron, ui->menuPrimitives); }
void MainWindow::on_actionCube_triggered() { createTool(qel::GLView::CreateCube, ui->menuPrimitives); }
void MainWindow::on_actionOctahedron_triggered() { createTool(qel::GLView::CreateOctahedron, ui->menuPrimitives); }
void MainWindow::on_actionDodecahedron_triggered() { createTool(qel::GLView::CreateDodecahedron, ui->menuPrimitives); }
void MainWindow::on_actionIcosahedron_triggered() { createTool(qel::GLView::CreateIcosahedron, ui->menuPrimitives); }
void MainWindow::on_actionSphere_triggered() { createTool(qel::GLView::CreateSphere, ui->menuPrimitives); }
void MainWindow::on_actionCylinder_triggered() { createTool(qel::GLView::CreateCylinder, ui->menuPrimitives); }
void MainWindow::on_actionCapsule_triggered() { createTool(qel::GLView::CreateCapsule, ui->menuPrimitives); }
void MainWindow::on_actionProfile_triggered() { createTool(qel::GLView::CreateProfile); }
void MainWindow::on_actionUniform_Profile_triggered() { createTool(qel::GLView::CreateUniformProfile); }
void MainWindow::on_actionPillow_Profile_triggered() { createTool(qel::GLView::CreatePillowProfile); }
void MainWindow::on_actionBlob_Profile_triggered() { createTool(qel::GLView::CreateBlobProfile); }
void MainWindow::on_actionChamfer_Profile_triggered() { createTool(qel::GLView::CreateChamferProfile); }
void MainWindow::on_actionChisel_Profile_triggered() { createTool(qel::GLView::CreateChiselProfile); }
void MainWindow::on_actionConvex_Profile_triggered() { createTool(qel::GLView::CreateConvexProfile); }
void MainWindow::on_actionConvex_Sharp_Profile_triggered() { createTool(qel::GLView::CreateConvexSharpProfile); }
void MainWindow::on_actionScoop_Profile_triggered() { createTool(qel::GLView::CreateScoopProfile); }
void MainWindow::on_actionRevoluton_triggered() { createTool(qel::GLView::CreateRevoluton); }
// With Control the user draws the tube's axis; else it has the axis shape.
// Control is read as the input before the command left it.
void MainWindow::on_actionTube_triggered() {
    lockedCommand(ui->actionTube->text(),
                  [this] { makeTool(held(qel::Keyboard::KeyControl) ? 19 : 20, nullptr, ui->actionTube); });
}
void MainWindow::on_actionChain_triggered() { createTool(qel::GLView::CreateChain, ui->menuArrays); }
void MainWindow::on_actionGuide_triggered() { createTool(qel::GLView::CreateGuide, ui->menuBinary); }
void MainWindow::on_actionHydraulics_triggered() { createTool(qel::GLView::CreateHydraulics, ui->menuBinary); }
void MainWindow::on_actionMuscle_triggered() { createTool(qel::GLView::CreateMuscle, ui->menuBinary); }
void MainWindow::on_actionLightning_triggered() { createTool(qel::GLView::CreateLightning, ui->menuBinary); }
void MainWindow::on_actionCable_triggered() { createTool(qel::GLView::CreateCable, ui->menuBinary); }

std::vector<QAction*> MainWindow::creationEntries() const {
    const Ui_MainWindow& u = *ui;
    // The Tube entry makes both tube values.
    return {u.actionUse_Tool,
            u.actionTetrahedron,
            u.actionCube,
            u.actionOctahedron,
            u.actionDodecahedron,
            u.actionIcosahedron,
            u.actionSphere,
            u.actionCylinder,
            u.actionCapsule,
            u.actionProfile,
            u.actionUniform_Profile,
            u.actionPillow_Profile,
            u.actionBlob_Profile,
            u.actionChamfer_Profile,
            u.actionChisel_Profile,
            u.actionConvex_Profile,
            u.actionConvex_Sharp_Profile,
            u.actionScoop_Profile,
            u.actionRevoluton,
            u.actionTube,
            u.actionTube,
            u.actionArray,
            u.actionChain,
            u.actionGuide,
            u.actionHydraulics,
            u.actionMuscle,
            u.actionLightning,
            u.actionCable};
}

void MainWindow::checkToolCreation() {
    const std::vector<QAction*> entries = creationEntries();
    const int value = view()->toolCreation;
    if (value >= 0 && value < int(entries.size())) entries[std::size_t(value)]->setChecked(true);
}

// ---- Thickness of the next drawn profile ----

void MainWindow::setSolidShape(int shape) {
    lockedAssembly(commandName(senderAction()), [this, shape] { view()->solidShape = shape; });
}

void MainWindow::on_actionThin_triggered() { setSolidShape(0); }

void MainWindow::on_actionThick_triggered() { setSolidShape(1); }

void MainWindow::on_actionHalf_triggered() { setSolidShape(2); }

// ---- The tool library ----
// Changing the current template replaces an owned tool under creation that
// a running gesture may still show, so these wait for the gesture to end.

void MainWindow::stepTool(bool previous) {
    afterGesture(previous ? "Previous Tool" : "Next Tool", [this, previous] {
        if (!assemblyGuard(previous ? "Previous Tool" : "Next Tool")) return;
        view()->setNextTool(previous);
        setCreateAction();
        view()->redraw = 1;
    });
}

void MainWindow::on_actionPrevious_Tool_triggered() { stepTool(true); }
void MainWindow::on_actionNext_Tool_triggered() { stepTool(false); }

// The modifiers are read as the input before the command left them.
void MainWindow::on_actionUse_Tool_triggered() {
    lockedCommand(ui->actionUse_Tool->text(), [this] { useTool(); });
}

void MainWindow::useTool() {
    const QString name = ui->actionUse_Tool->text();
    if (!assemblyGuard(name)) return;
    qel::GLView* v = view();
    const bool shift = held(qel::Keyboard::KeyShift);
    const bool control = held(qel::Keyboard::KeyControl);
    const bool alt = held(qel::Keyboard::KeyAlt);
    if ((shift || control || alt) && !v->idle()) {
        notTaken(name);
        return;
    }
    setCreateAction();
    if (shift) {
        // An empty tool library: no history refers to the old templates, and
        // nothing keeps a pointer into the old tools root.
        v->clearTools();
        v->setActiveTool(qel::GLView::CreateUseTool, true);
    } else if (control) {
        v->setNextTool(true);
    } else if (alt) {
        v->setNextTool(false);
    } else {
        v->setActiveTool(qel::GLView::CreateUseTool, true);
    }
    v->redraw = 1;
}

// ---- Axis and section shapes ----

bool MainWindow::askCount(QAction* action, const QString& title, int* field, int minimum) {
    if (!held(qel::Keyboard::KeyControl)) return false;
    const bool accepted = asker->getInt(this, title, "N", field, minimum, 10000, 1);
    action->setText(title + " (" + QString::number(*field) + ")");
    return accepted;
}

void MainWindow::setAxisShape(int shape) {
    const QString name = commandName(senderAction());
    lockedCommand(
        name, [this, shape, name] { takeAxisShape(shape, name); }, true);
}

void MainWindow::takeAxisShape(int shape, const QString& name) {
    if (!assemblyGuard(name)) return;
    qel::GLView* v = view();
    if (shape == qel::GLView::CurveNGon) {
        askCount(ui->actionAxisNGon, "N-Gon", &v->axisSides, 7);
        if (!v->idle()) {
            notTaken(name);
            return;
        }
    } else if (shape == qel::GLView::CurveCircle) {
        askCount(ui->actionAxisCircle, "Circle", &v->axisSegments, 3);
    } else if (shape == qel::GLView::CurveTrefoilKnot) {
        askCount(ui->actionAxisTrefoilKnot, "Trefoil", &v->trefoilSamples, 12);
    }
    v->setAxisCreation(qel::GLView::TCurveCreation(shape));
    v->redraw = 1;
}

void MainWindow::setSectionShape(int shape) {
    lockedAssembly(
        commandName(senderAction()),
        [this, shape] {
            qel::GLView* v = view();
            if (shape == qel::GLView::CurveNGon)
                askCount(ui->actionSectionNGon, "N-Gon", &v->sectionSides, 7);
            else if (shape == qel::GLView::CurveCircle)
                askCount(ui->actionSectionCircle, "Circle", &v->sectionSegments, 3);
            v->setSectionCreation(qel::GLView::TCurveCreation(shape));
            v->redraw = 1;
        },
        true);
}

void MainWindow::on_actionAxisFree_triggered() { setAxisShape(qel::GLView::CurveFree); }
void MainWindow::on_actionAxisSegment_triggered() { setAxisShape(qel::GLView::CurveSegment); }
void MainWindow::on_actionAxisTriangle_triggered() { setAxisShape(qel::GLView::CurveTriangle); }
void MainWindow::on_actionAxisSquare_triggered() { setAxisShape(qel::GLView::CurveSquare); }
void MainWindow::on_actionAxisPentagon_triggered() { setAxisShape(qel::GLView::CurvePentagon); }
void MainWindow::on_actionAxisHexagon_triggered() { setAxisShape(qel::GLView::CurveHexagon); }
void MainWindow::on_actionAxisNGon_triggered() { setAxisShape(qel::GLView::CurveNGon); }
void MainWindow::on_actionAxisCircle_triggered() { setAxisShape(qel::GLView::CurveCircle); }
void MainWindow::on_actionAxisTrefoilKnot_triggered() { setAxisShape(qel::GLView::CurveTrefoilKnot); }
void MainWindow::on_actionAxisKnot_triggered() { setAxisShape(qel::GLView::CurveKnot); }
void MainWindow::on_actionAxisChainlink_triggered() { setAxisShape(qel::GLView::CurveChainlink); }
void MainWindow::on_actionSectionFree_triggered() { setSectionShape(qel::GLView::CurveFree); }
void MainWindow::on_actionSectionSegment_triggered() { setSectionShape(qel::GLView::CurveSegment); }
void MainWindow::on_actionSectionTriangle_triggered() { setSectionShape(qel::GLView::CurveTriangle); }
void MainWindow::on_actionSectionSquare_triggered() { setSectionShape(qel::GLView::CurveSquare); }
void MainWindow::on_actionSectionPentagon_triggered() { setSectionShape(qel::GLView::CurvePentagon); }
void MainWindow::on_actionSectionHexagon_triggered() { setSectionShape(qel::GLView::CurveHexagon); }
void MainWindow::on_actionSectionNGon_triggered() { setSectionShape(qel::GLView::CurveNGon); }
void MainWindow::on_actionSectionCircle_triggered() { setSectionShape(qel::GLView::CurveCircle); }
