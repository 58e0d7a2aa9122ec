// MainWindow: the object context menu that a Control right click on the view
// asks for, and its commands. The menu, its title and the entries it offers
// follow the object that the view last picked under the cursor. While an
// object menu is shown the view holds that pick (no frame picks again or
// ends a gesture on the release the menu takes), so each command acts on the
// object the menu was opened on; a command that cannot act says why in the
// status bar.

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/object_info.h"
#include "curves/curve.h"
#include "elements/swept_element.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "view/asker.h"
#include "view/glview.h"

namespace {

using Type = qel::Element::TType;
using ActionField = QAction* Ui_MainWindow::*;
using MenuField = QMenu* Ui_MainWindow::*;

// How an element type is shown: the menu's title entry with its text and
// the icon of another action, the entries that make no sense for the type,
// and the menu that pops up.
struct ObjectMenuRow {
    Type type;
    const char* label;
    ActionField title;
    ActionField icon;
    ActionField hidden[2];  // null fields hide nothing
    MenuField menu;
};

const ObjectMenuRow ObjectMenuRows[] = {
    {Type::Mesh,
     "TRI-MESH",
     &Ui_MainWindow::actionType,
     &Ui_MainWindow::actionConvert_To_Tri_Mesh,
     {&Ui_MainWindow::actionUniform, &Ui_MainWindow::actionAs_Tri_Mesh},
     &Ui_MainWindow::menuObject},
    {Type::Clay,
     "CLAY",
     &Ui_MainWindow::actionType,
     &Ui_MainWindow::actionConvert_To_Clay,
     {&Ui_MainWindow::actionUniform, &Ui_MainWindow::actionAs_Clay},
     &Ui_MainWindow::menuObject},
    {Type::Revoluton,
     "REVOLUTON",
     &Ui_MainWindow::actionTYPE,
     &Ui_MainWindow::actionRevoluton,
     {nullptr, nullptr},
     &Ui_MainWindow::menuObject_Axis_Section},
    {Type::Tube,
     "TUBE",
     &Ui_MainWindow::actionTYPE,
     &Ui_MainWindow::actionTube,
     {nullptr, nullptr},
     &Ui_MainWindow::menuObject_Axis_Section},
};

// The row of the element's type; null for a type that has no menu.
const ObjectMenuRow* objectMenuRow(const qel::Element& e) {
    for (const ObjectMenuRow& row : ObjectMenuRows)
        if (e.isType(row.type)) return &row;
    return nullptr;
}

// The refusal of an edit that would take a tube's or revoluton's surface
// past the corners it may draw, with the vertices its box would show.
QString overLimitText(const QString& command, const qel::SweptElement& e, std::uint64_t corners,
                      std::uint64_t boxVertices, bool would) {
    const QString name = e.isType(Type::Tube) ? "tube" : "revoluton";
    return command + " refused: the " + name + (would ? " would draw " : " needs ") +
           QString::fromStdString(qel::SweptElement::cornersText(corners, boxVertices)) + ", " +
           QString::fromStdString(e.overLimitReason()) + "; the " + name + " is unchanged.";
}

// The refusal of a conversion, with the reason when the program knows it.
QString refusedConversion(const QString& command, const qel::Element* e, const QString& otherwise) {
    if (const auto* swept = dynamic_cast<const qel::SweptElement*>(e)) {
        const std::uint64_t vertices = swept->surfaceVertices();
        if (vertices > swept->vbo.mostVertices)
            return overLimitText(command, *swept, vertices, swept->boxVertices(), false);
    }
    return command + ": " + otherwise;
}

}  // namespace

qel::Tool* MainWindow::pickedTool() const { return view()->pickBrush.pickedTool; }

qel::Tool* MainWindow::commandTarget(const QString& command, bool needsElement) {
    qel::Tool* t = pickedTool();
    if (!t) {
        showNotice(command + ": no object is picked. Hold Ctrl and right-click an object for its menu.");
        return nullptr;
    }
    if (needsElement && !t->element) {
        showNotice(command + ": the picked object has no element to act on.");
        return nullptr;
    }
    return t;
}

void MainWindow::connectObjectMenus() {
    for (QMenu* menu : {ui->menuObject, ui->menuObject_Axis_Section}) {
        // The chosen entry's command runs right after the menu hides: the
        // pick goes back to the frames once it has run.
        connect(menu, &QMenu::aboutToHide, this,
                [this] { QTimer::singleShot(0, this, [this] { view()->pickHeld = false; }); });
    }
}

void MainWindow::popupObjectMenu(QMenu* menu) {
    view()->pickHeld = true;
    menu->popup(QCursor::pos());
}

void MainWindow::openMenu() {
    Ui_MainWindow& u = *ui;
    qel::Tool* t = pickedTool();
    if (!t) {
        u.menuRender->popup(QCursor::pos());
        return;
    }
    // The entries the previous object hid come back.
    setMenuVisible(u.menuObject, true);
    if (t->isArray()) {
        const auto* array = dynamic_cast<const qel::Array*>(t);
        const bool chain = array && array->type == qel::Array::Chain;
        u.actionType->setText(chain ? "CHAIN" : "ARRAY");
        u.actionType->setIcon((chain ? u.actionChain : u.actionArray)->icon());
        // An array converts to nothing: its Convert entry goes until the next
        // object's menu.
        u.menuConvert->menuAction()->setVisible(false);
        popupObjectMenu(u.menuObject);
        return;
    }
    if (t->isBiTool()) {
        u.actionType->setText("BINARY");
        u.actionType->setIcon(u.menuBinary->icon());
        popupObjectMenu(u.menuObject);
        return;
    }
    if (!t->element) return;
    const ObjectMenuRow* row = objectMenuRow(*t->element);
    if (!row) return;
    QAction* title = u.*(row->title);
    title->setText(row->label);
    title->setIcon((u.*(row->icon))->icon());
    for (ActionField hidden : row->hidden)
        if (hidden) (u.*hidden)->setVisible(false);
    popupObjectMenu(u.*(row->menu));
}

// ---- Entry commands ----

void MainWindow::on_actionType_triggered() {
    // A two-ended end without an element tells its partner's.
    qel::Tool* picked = pickedTool();
    qel::Tool* t = commandTarget("Information", !(picked && picked->isBiTool()));
    if (!t) return;
    const ObjectInfo info = objectInfo(view()->scene->objects, t);
    asker->inform(this, info.title, info.text);
}

void MainWindow::pickObject(unsigned char scope) {
    if (qel::Tool* t = commandTarget("Pick", false)) view()->pick(t, scope);
}

// The menu picks whole objects and elements only: the parts are picked in
// the view, under a click. The status bar says so, and how.
void MainWindow::pickPart(const QString& command, const QString& how) {
    if (commandTarget(command, false)) showNotice(command + ": " + how);
}

void MainWindow::on_actionPick_Object_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Object_2_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Element_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Element_2_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Component_triggered() {
    pickPart("Pick Component",
             "the menu cannot pick a part of an object. In Insert or Place, hold 5 and click the component to make "
             "a tool of it.");
}
void MainWindow::on_actionPick_Patch_triggered() {
    pickPart("Pick Patch",
             "the menu cannot pick a part of an object. In Insert or Place, hold 6 and click the patch to make a tool "
             "of it.");
}
void MainWindow::on_actionPick_Feature_triggered() {
    pickPart("Pick Feature", "a feature cannot be made a tool. Pick the object or its element instead.");
}

void MainWindow::deleteObject() {
    if (qel::Tool* t = commandTarget("Delete")) view()->erase(t, 0, 0);
}

void MainWindow::on_actionSimple_Delete_triggered() { deleteObject(); }
void MainWindow::on_actionSimple_Delete_2_triggered() { deleteObject(); }

// The change is not seen: the status bar tells what happened.
void MainWindow::makeUnique() {
    qel::Tool* t = commandTarget("Unique");
    if (!t) return;
    const qel::Element* before = t->element;
    view()->makeUniqueElement();
    if (t->element == before)
        showNotice("Unique: nothing to do. The object's element is its own already, shared with no other object.");
    else
        showNotice("Unique: the object now has its own copy of its element; edits to it change no other object.");
}

void MainWindow::on_actionSculpt_Unique_triggered() { makeUnique(); }
void MainWindow::on_actionUnique_triggered() { makeUnique(); }

void MainWindow::makeTriMesh() {
    qel::Tool* t = commandTarget("Convert to Tri-Mesh");
    if (!t) return;
    view()->makeTriMesh();
    if (!t->element || !t->element->isType(Type::Mesh))
        showNotice(refusedConversion("Convert to Tri-Mesh", t->element, "this object cannot be made a triangle mesh."));
}

void MainWindow::on_actionAs_Tri_Mesh_triggered() { makeTriMesh(); }
void MainWindow::on_actionConvert_To_Tri_Mesh_triggered() { makeTriMesh(); }

void MainWindow::makeClay() {
    qel::Tool* t = commandTarget("Convert to Clay");
    if (!t) return;
    view()->makeClay();
    if (!t->element || !t->element->isType(Type::Clay))
        showNotice(refusedConversion("Convert to Clay", t->element, "this object cannot be made clay."));
}

void MainWindow::on_actionAs_Clay_triggered() { makeClay(); }
void MainWindow::on_actionConvert_To_Clay_triggered() { makeClay(); }

// Curves are made uniform in the view, under a click.
void MainWindow::on_actionUniform_triggered() {
    pickPart("Convert to Uniform",
             "the menu makes nothing uniform. In Draw, hold 6 and click a curve, tube or revoluton to make its axis "
             "uniform.");
}

// The tube and revoluton menu's Quick Save is the object menu's.
void MainWindow::on_actionQuick_Save_2_triggered() { on_actionQuick_Save_triggered(); }

// Subdivides the element's surface (a tube's or revoluton's curve by the
// view's axis-section choice); the next frame shows it.
void MainWindow::on_actionSubdivide_triggered() {
    qel::Tool* t = commandTarget("Subdivide");
    if (!t) return;
    if (t->isArray()) {
        showNotice(
            "Subdivide: an array has no surface of its own to subdivide; its copies show its items as they "
            "are.");
        return;
    }
    qel::Element* e = t->element;
    qel::Curve *axis, *section;
    if (sweptCurves(e, axis, section)) {
        subdivideSwept(t, view()->axisSection == 1);
        return;
    }
    if (!e->subdivide(true)) {
        showNotice("Subdivide: this element cannot be subdivided.");
        return;
    }
    e->touch();
    view()->redraw = 1;
    view()->endHistory("Subdivide");
}

void MainWindow::on_actionTYPE_triggered() {
    qel::Tool* t = commandTarget("Information");
    if (!t) return;
    qel::Curve *axis, *section;
    ObjectInfo info;
    if (sweptCurves(t->element, axis, section)) {
        info.title = t->element->isType(Type::Tube) ? "TUBE" : "REVOLUTON";
        // 64-bit products: large curves would overflow 32 bits.
        info.text = surfaceText(axis, section);
    } else {
        info = objectInfo(view()->scene->objects, t);
    }
    asker->inform(this, info.title, info.text);
}

void MainWindow::sweptCurveBox(bool axisCurve) {
    qel::Tool* t = commandTarget(axisCurve ? "Axis" : "Section");
    if (!t) return;
    qel::Curve *axis, *section;
    if (!sweptCurves(t->element, axis, section)) return;
    asker->inform(this, axisCurve ? "AXIS" : "SECTION", curveText(axisCurve ? axis : section));
}

void MainWindow::on_actionAXIS_triggered() { sweptCurveBox(true); }
void MainWindow::on_actionSECTION_triggered() { sweptCurveBox(false); }

void MainWindow::subdivideSwept(qel::Tool* t, bool sectionCurve) {
    auto* swept = dynamic_cast<qel::SweptElement*>(t->element);
    if (!swept) return;
    std::uint64_t vertices = 0, boxVertices = 0;
    switch (swept->subdivideCurve(sectionCurve, vertices, boxVertices)) {
        case qel::SweptElement::CurveSubdivision::Done:
            view()->redraw = 1;
            view()->endHistory("Subdivide");
            return;
        case qel::SweptElement::CurveSubdivision::NoCurve:
            showNotice(QString("Subdivide: the ") + (swept->isType(Type::Tube) ? "tube" : "revoluton") + " has no " +
                       (sectionCurve ? "section" : "axis") + " curve to subdivide.");
            return;
        case qel::SweptElement::CurveSubdivision::OverLimit:
            showNotice(overLimitText("Subdivide", *swept, vertices, boxVertices, true));
            return;
    }
}

void MainWindow::subdivideSweptCurve(bool axisCurve) {
    qel::Tool* t = commandTarget("Subdivide");
    if (!t) return;
    qel::Curve *axis, *section;
    if (!sweptCurves(t->element, axis, section)) return;
    subdivideSwept(t, !axisCurve);
}

void MainWindow::on_actionAxis_Subdivide_triggered() { subdivideSweptCurve(true); }
void MainWindow::on_actionSection_Subdivide_triggered() { subdivideSweptCurve(false); }
