// MainWindow: the object context menu that a Control right click on the view
// asks for, and its commands. The menu, its title and the entries it offers
// follow the object that the view last picked under the cursor; each command
// reads that pick again when it runs, so it acts on whatever the view holds
// by then and does nothing when the pick is gone.

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QString>

#include "app/asker.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "elements/clay.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/tool.h"
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

}  // namespace

qel::Tool* MainWindow::pickedTool() const { return view()->pickBrush.pickedTool; }

void MainWindow::openMenu() {
    Ui_MainWindow& u = *ui;
    qel::Tool* t = pickedTool();
    if (!t) {
        u.menuRender->popup(QCursor::pos());
        return;
    }
    // The entries the previous object hid come back.
    setMenuVisible(u.menuObject, true);
    if (t->isBiTool()) {
        u.actionType->setText("BINARY");
        u.menuObject->popup(QCursor::pos());
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
    (u.*(row->menu))->popup(QCursor::pos());
}

// ---- Entry commands ----

void MainWindow::on_actionType_triggered() {
    qel::Tool* t = pickedTool();
    if (!t || !t->element) return;
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
    if (qel::Tool* t = pickedTool()) view()->pick(t, scope);
}

void MainWindow::on_actionPick_Object_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Object_2_triggered() { pickObject(0); }
void MainWindow::on_actionPick_Element_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Element_2_triggered() { pickObject(1); }
void MainWindow::on_actionPick_Component_triggered() { pickObject(2); }
void MainWindow::on_actionPick_Patch_triggered() { pickObject(3); }
void MainWindow::on_actionPick_Feature_triggered() { pickObject(4); }

void MainWindow::deleteObject() {
    qel::Tool* t = pickedTool();
    if (t && t->element) view()->erase(t, 0, 0);
}

void MainWindow::on_actionSimple_Delete_triggered() { deleteObject(); }
void MainWindow::on_actionSimple_Delete_2_triggered() { deleteObject(); }

void MainWindow::makeUnique() {
    qel::Tool* t = pickedTool();
    if (t && t->element) view()->makeUniqueElement();
}

void MainWindow::on_actionSculpt_Unique_triggered() { makeUnique(); }
void MainWindow::on_actionUnique_triggered() { makeUnique(); }

void MainWindow::makeTriMesh() {
    qel::Tool* t = pickedTool();
    if (t && t->element) view()->makeTriMesh();
}

void MainWindow::on_actionAs_Tri_Mesh_triggered() { makeTriMesh(); }
void MainWindow::on_actionConvert_To_Tri_Mesh_triggered() { makeTriMesh(); }

void MainWindow::makeClay() {
    qel::Tool* t = pickedTool();
    if (t && t->element) view()->makeClay();
}

void MainWindow::on_actionAs_Clay_triggered() { makeClay(); }
void MainWindow::on_actionConvert_To_Clay_triggered() { makeClay(); }

// Subdivides the element's surface; the next frame shows it.
void MainWindow::on_actionSubdivide_triggered() {
    qel::Tool* t = pickedTool();
    if (!t || !t->element) return;
    qel::Element* e = t->element;
    e->subdivide(true);
    e->touch();
    view()->redraw = 1;
}
