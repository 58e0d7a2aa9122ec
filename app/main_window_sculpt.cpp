// MainWindow: the Sculpt and Brush menus - the sculpt actions, the brush
// material, the selection scope, the brush projection and frame, the
// transform gizmo kind, the pressure and block-size switches, closed drawing
// and the two snap switches with their value dialogs.

#include <QAction>
#include <QMenu>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/keyboard.h"

// ---- Sculpt actions ----

void MainWindow::sculptAction(int action, QMenu* menu) {
    const QAction* from = senderAction();
    lockedSculpt(commandName(from), [this, action, menu, from] {
        view()->setSculptAction(qel::Sculptor::TAction(action));
        if (menu) takeIcon(menu, from);
    });
}

void MainWindow::on_actionDeform_triggered() { sculptAction(qel::Sculptor::Deform); }
void MainWindow::on_actionDeform_Volume_triggered() { sculptAction(qel::Sculptor::DeformVolume); }
void MainWindow::on_actionInflate_triggered() { sculptAction(qel::Sculptor::Inflate); }
void MainWindow::on_actionDeflate_triggered() { sculptAction(qel::Sculptor::Deflate); }
void MainWindow::on_actionPinch_triggered() { sculptAction(qel::Sculptor::Pinch); }
void MainWindow::on_actionGrow_triggered() { sculptAction(qel::Sculptor::Grow); }
void MainWindow::on_actionTwist_triggered() { sculptAction(qel::Sculptor::Twist); }
void MainWindow::on_actionFlatten_triggered() { sculptAction(qel::Sculptor::Flatten); }
void MainWindow::on_actionSmooth_triggered() { sculptAction(qel::Sculptor::Smooth); }
void MainWindow::on_actionPaint_triggered() { sculptAction(qel::Sculptor::PaintMaterial, ui->menuPaint); }
void MainWindow::on_actionFill_triggered() { sculptAction(qel::Sculptor::FillMaterial, ui->menuPaint); }
void MainWindow::on_actionMove_triggered() { sculptAction(qel::Sculptor::Move, ui->menuTransform_2); }
void MainWindow::on_actionScale_triggered() { sculptAction(qel::Sculptor::Scale, ui->menuTransform_2); }
void MainWindow::on_actionScale_Direction_triggered() {
    sculptAction(qel::Sculptor::ScaleDirection, ui->menuTransform_2);
}
void MainWindow::on_actionRotate_triggered() { sculptAction(qel::Sculptor::Rotate, ui->menuTransform_2); }
void MainWindow::on_actionMirror_triggered() { sculptAction(qel::Sculptor::Mirror, ui->menuTransform_2); }
void MainWindow::on_actionCut_Plane_triggered() { sculptAction(qel::Sculptor::CutPlane); }
void MainWindow::on_actionCut_Sphere_triggered() { sculptAction(qel::Sculptor::CutSphere); }
void MainWindow::on_actionClip_Plane_triggered() { sculptAction(qel::Sculptor::ClipPlane); }
void MainWindow::on_actionClip_Sphere_triggered() { sculptAction(qel::Sculptor::ClipSphere); }
void MainWindow::on_actionSub_Plane_triggered() { sculptAction(qel::Sculptor::SubPlane); }
void MainWindow::on_actionSub_Sphere_triggered() { sculptAction(qel::Sculptor::SubSphere); }
void MainWindow::on_actionAdd_Sphere_triggered() { sculptAction(qel::Sculptor::AddSphere); }
void MainWindow::on_actionExtrude_triggered() { sculptAction(qel::Sculptor::Extrude); }
void MainWindow::on_actionExtrude_Scale_triggered() { sculptAction(qel::Sculptor::ExtrudeScale); }
void MainWindow::on_actionExtrude_Deform_triggered() { sculptAction(qel::Sculptor::ExtrudeDeform); }
void MainWindow::on_actionBevel_triggered() { sculptAction(qel::Sculptor::Bevel); }
void MainWindow::on_actionNormal_Tear_triggered() { sculptAction(qel::Sculptor::TearNormal); }
void MainWindow::on_actionScale_Tear_triggered() { sculptAction(qel::Sculptor::TearScale); }
void MainWindow::on_actionDeform_Tear_triggered() { sculptAction(qel::Sculptor::TearDeform); }
void MainWindow::on_actionErase_Component_triggered() { sculptAction(qel::Sculptor::EraseComponent); }
void MainWindow::on_actionErase_Patch_triggered() { sculptAction(qel::Sculptor::ErasePatch); }
void MainWindow::on_actionErase_Feature_triggered() { sculptAction(qel::Sculptor::EraseFeature); }

// The paint strokes use the brush material under its channel mask.
void MainWindow::on_actionMaterial_2_triggered() {
    lockedSculpt(
        ui->actionMaterial_2->text(),
        [this] { qel::DIALOGS->materialDialog(&view()->brushMaterial, &view()->brushMaterialMask, "Brush"); }, true);
}

// ---- Selection scope ----

// The scope chosen is in effect at once, and the status text names it in
// the next frame; it does not wait for the next key or motion.
void MainWindow::setSculptSelect(int scope) {
    lockedSculpt(commandName(senderAction()),
                 [this, scope] { view()->setSculptSelect(qel::Sculptor::TSelect(scope)); });
}

// Q steps Element, Component, Patch, All Patches and back to Element.
void MainWindow::on_actionSelect_Element_triggered() {
    afterGesture("Select Element", [this] { stepSculptSelect(); });
}

void MainWindow::stepSculptSelect() {
    qel::GLView* v = view();
    switch (v->selectedSculptSelect) {
        case qel::Sculptor::SelectElement:
            v->setSculptSelect(qel::Sculptor::SelectComponent);
            break;
        case qel::Sculptor::SelectComponent:
            v->setSculptSelect(qel::Sculptor::SelectPatch);
            break;
        case qel::Sculptor::SelectPatch:
            v->setSculptSelect(qel::Sculptor::SelectAllPatches);
            break;
        case qel::Sculptor::SelectAllPatches:
            v->setSculptSelect(qel::Sculptor::SelectElement);
            break;
    }
}

void MainWindow::on_actionSelect_Component_triggered() { setSculptSelect(qel::Sculptor::SelectComponent); }
void MainWindow::on_actionSelect_Patch_triggered() { setSculptSelect(qel::Sculptor::SelectPatch); }
void MainWindow::on_actionSelect_All_Patches_triggered() { setSculptSelect(qel::Sculptor::SelectAllPatches); }

// Tubes and revolutons are sculpted on their axis curve or their section.
void MainWindow::on_actionAxisSection_triggered() {
    lockedSculpt(ui->actionAxisSection->text(), [this] {
        qel::GLView* v = view();
        v->axisSection = v->axisSection ? 0 : 1;
        ui->actionAxisSection->setText(v->axisSection ? "Section" : "Axis");
        v->redraw = 1;
    });
}

// ---- Brush projection and frame ----

void MainWindow::showBrushProjection() {
    const int projection = view()->brushProjection;
    ui->actionOn_Object->setChecked(projection == qel::ABrush::OnObject);
    ui->actionSame_Depth->setChecked(projection == qel::ABrush::SameDepth);
    ui->actionOn_Normal->setChecked(projection == qel::ABrush::OnNormal);
    ui->actionNormal_Plane->setChecked(projection == qel::ABrush::NormalPlane);
    ui->actionTangent_Plane->setChecked(projection == qel::ABrush::TangentPlane);
}

// A running stroke keeps the projection it started with.
void MainWindow::setBrushProjection(int projection) {
    afterGesture(
        "Projection",
        [this, projection] {
            view()->brushProjection = qel::ABrush::TSelection(projection);
            view()->redraw = 1;
            showBrushProjection();
        },
        true);
    showBrushProjection();
}

void MainWindow::on_actionSame_Depth_triggered() { setBrushProjection(qel::ABrush::SameDepth); }
void MainWindow::on_actionOn_Object_triggered() { setBrushProjection(qel::ABrush::OnObject); }
void MainWindow::on_actionNormal_Plane_triggered() { setBrushProjection(qel::ABrush::NormalPlane); }
void MainWindow::on_actionTangent_Plane_triggered() { setBrushProjection(qel::ABrush::TangentPlane); }
void MainWindow::on_actionOn_Normal_triggered() { setBrushProjection(qel::ABrush::OnNormal); }

void MainWindow::on_actionScreen_Frame_triggered() { view()->setFrameType(qel::GLView::FrameScreen); }
void MainWindow::on_actionWorld_Frame_triggered() { view()->setFrameType(qel::GLView::FrameWorld); }
void MainWindow::on_actionObject_Frame_triggered() { view()->setFrameType(qel::GLView::FrameObject); }

// ---- Transform gizmo ----

void MainWindow::setTransformer(int type) {
    const QAction* from = senderAction();
    lockedAssembly(commandName(from), [this, type, from] {
        view()->setTransformerType(qel::GLView::TTransformerType(type));
        takeIcon(ui->menuTransformers, from);
    });
}

void MainWindow::on_actionObject_Pivot_triggered() { setTransformer(qel::GLView::TransformObjectPivot); }
void MainWindow::on_actionObject_triggered() { setTransformer(qel::GLView::TransformObject); }
void MainWindow::on_actionPivot_triggered() { setTransformer(qel::GLView::TransformPivot); }

// ---- Brush and drawing switches ----

void MainWindow::on_actionPressure_Size_triggered() { view()->pressureSize = ui->actionPressure_Size->isChecked(); }

void MainWindow::on_actionBlock_Size_triggered() { view()->blockSize(); }

void MainWindow::on_actionClosed_triggered() {
    if (assemblyGuard(ui->actionClosed->text())) view()->setClosedDrawing(ui->actionClosed->isChecked());
}

// Without Control the switch follows its mark. With Control the dialog edits
// the value and the switch stays as it was; the dialog waits for the hand to
// let go of a button held in the view.
void MainWindow::snapCommand(QAction* action, bool grid) {
    qel::GLView* v = view();
    const auto set = [v, grid](bool on) { grid ? v->setSnapGrid(on) : v->setSnapSymmetry(on); };
    const auto on = [v, grid] { return (grid ? v->snapGrid : v->snapSymmetry) != 0; };
    if (!qel::keys.held(qel::Keyboard::KeyControl)) {
        set(action->isChecked());
        return;
    }
    action->setChecked(on());
    afterGesture(
        action->text(),
        [this, v, grid, action, set, on] {
            float& value = grid ? v->snapGridValue : v->snapSymmetryValue;
            double entered = value;
            const bool accepted = grid ? asker->getDouble(this, "Snap Grid", "Step", &entered, 1.0, 1000.0, 2)
                                       : asker->getDouble(this, "Snap Symmetry", "Threshold", &entered, 0.0, 1.0, 2);
            if (accepted) value = float(entered);
            action->setChecked(on());
            set(action->isChecked());
        },
        false, true);
}

void MainWindow::on_actionSnap_Symmetry_triggered() { snapCommand(ui->actionSnap_Symmetry, false); }

void MainWindow::on_actionSnap_Grid_triggered() { snapCommand(ui->actionSnap_Grid, true); }
