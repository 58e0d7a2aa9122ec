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

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "curves/curve.h"
#include "elements/clay.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/element.h"
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

// The text of the information boxes: the two counts with exactly these
// spaces, "12 Vertices ,  20 Faces".
QString countsText(long long vertices, long long second, const char* secondName) {
    return QString::number(vertices) + " Vertices ,  " + QString::number(second) + " " + secondName;
}

// The axis and section curves of a tube (path, profile) or a revoluton
// (profile, section); false for any other element. A curve may be missing.
bool sweptCurves(qel::Element* e, qel::Curve*& axis, qel::Curve*& section) {
    axis = section = nullptr;
    if (auto* tube = dynamic_cast<qel::Tube*>(e)) {
        axis = tube->path;
        section = tube->profile;
        return true;
    }
    if (auto* rev = dynamic_cast<qel::Revoluton*>(e)) {
        axis = rev->profile;
        section = rev->section;
        return true;
    }
    return false;
}

long long vertexCount(const qel::Curve* c) { return c ? (long long)c->vertices.size() : 0; }
long long edgeCount(const qel::Curve* c) { return c ? (long long)c->edges.size() : 0; }

// The curve box: "Uniform ,  " for a uniform curve, then its counts.
QString curveText(const qel::Curve* c) {
    const QString prefix = c && c->curveType == qel::Curve::UniformCurve ? "Uniform ,  " : "";
    return prefix + countsText(vertexCount(c), edgeCount(c), "Edges");
}

// Subdivides a curve of a swept element; the element is touched too, since
// one whose stamp is current never reads its curves again.
void subdivideCurve(qel::Element* owner, qel::Curve* c) {
    if (!c) return;
    c->subdivide(true);
    owner->touch();
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
        u.actionType->setText(array && array->type == qel::Array::Chain ? "CHAIN" : "ARRAY");
        // An array converts to nothing: its Convert entry goes until the next
        // object's menu.
        u.menuConvert->menuAction()->setVisible(false);
        popupObjectMenu(u.menuObject);
        return;
    }
    if (t->isBiTool()) {
        u.actionType->setText("BINARY");
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
    qel::Tool* t = commandTarget("Information");
    if (!t) return;
    QString title, text;
    if (t->element->isType(Type::Mesh)) {
        if (const auto* mesh = dynamic_cast<const qel::Mesh*>(t->element)) {
            title = "TRI-MESH";
            text = countsText(mesh->vertices.size(), mesh->faces.size(), "Faces");
        }
    } else if (t->element->isType(Type::Clay)) {
        if (const auto* clay = dynamic_cast<const qel::Clay*>(t->element)) {
            title = "CLAY";
            const qel::Mesh* mesh = clay->mesh;
            text = countsText(mesh ? mesh->vertices.size() : 0, mesh ? mesh->faces.size() : 0, "Faces");
        }
    }
    asker->inform(this, title, text);
}

void MainWindow::pickObject(unsigned char scope) {
    if (qel::Tool* t = commandTarget("Pick", false)) view()->pick(t, scope);
}

void MainWindow::on_actionPick_Object_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Object_2_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Element_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Element_2_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Component_triggered() { pickObject(2); }
void MainWindow::on_actionPick_Patch_triggered() { pickObject(3); }
void MainWindow::on_actionPick_Feature_triggered() { pickObject(4); }

void MainWindow::deleteObject() {
    if (qel::Tool* t = commandTarget("Delete")) view()->erase(t, 0, 0);
}

void MainWindow::on_actionSimple_Delete_triggered() { deleteObject(); }
void MainWindow::on_actionSimple_Delete_2_triggered() { deleteObject(); }

void MainWindow::makeUnique() {
    if (commandTarget("Unique")) view()->makeUniqueElement();
}

void MainWindow::on_actionSculpt_Unique_triggered() { makeUnique(); }
void MainWindow::on_actionUnique_triggered() { makeUnique(); }

void MainWindow::makeTriMesh() {
    qel::Tool* t = commandTarget("Convert to Tri-Mesh");
    if (!t) return;
    view()->makeTriMesh();
    if (!t->element || !t->element->isType(Type::Mesh))
        showNotice("Convert to Tri-Mesh: this object cannot be made a triangle mesh.");
}

void MainWindow::on_actionAs_Tri_Mesh_triggered() { makeTriMesh(); }
void MainWindow::on_actionConvert_To_Tri_Mesh_triggered() { makeTriMesh(); }

void MainWindow::makeClay() {
    qel::Tool* t = commandTarget("Convert to Clay");
    if (!t) return;
    view()->makeClay();
    if (!t->element || !t->element->isType(Type::Clay)) showNotice("Convert to Clay: this object cannot be made clay.");
}

void MainWindow::on_actionAs_Clay_triggered() { makeClay(); }
void MainWindow::on_actionConvert_To_Clay_triggered() { makeClay(); }

// Subdivides the element's surface; the next frame shows it.
void MainWindow::on_actionSubdivide_triggered() {
    qel::Tool* t = commandTarget("Subdivide");
    if (!t) return;
    qel::Element* e = t->element;
    qel::Curve *axis, *section;
    if (sweptCurves(e, axis, section)) {
        // The curve the view's axis-section choice names.
        subdivideCurve(e, view()->axisSection == 1 ? section : axis);
    } else {
        e->subdivide(true);
        e->touch();
    }
    view()->redraw = 1;
}

void MainWindow::on_actionTYPE_triggered() {
    qel::Tool* t = commandTarget("Information");
    if (!t) return;
    QString title, text;
    qel::Curve *axis, *section;
    if (sweptCurves(t->element, axis, section)) {
        title = t->element->isType(Type::Tube) ? "TUBE" : "REVOLUTON";
        // 64-bit products: large curves would overflow 32 bits.
        text = countsText(vertexCount(axis) * vertexCount(section), edgeCount(axis) * edgeCount(section), "Faces");
    }
    asker->inform(this, title, text);
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

void MainWindow::subdivideSweptCurve(bool axisCurve) {
    qel::Tool* t = commandTarget("Subdivide");
    if (!t) return;
    qel::Curve *axis, *section;
    if (!sweptCurves(t->element, axis, section)) return;
    subdivideCurve(t->element, axisCurve ? axis : section);
    view()->redraw = 1;
}

void MainWindow::on_actionAxis_Subdivide_triggered() { subdivideSweptCurve(true); }
void MainWindow::on_actionSection_Subdivide_triggered() { subdivideSweptCurve(false); }
