// MainWindow: the menu-state routines, the assembly and sculpt modes with
// simple mode, and the gesture lock.

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <QToolBar>
#include <initializer_list>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/glview.h"

namespace {

// Applies f to the root's own actions, then to the actions of every menu
// below it, skipping null entries.
template <typename F>
void visit(QWidget* root, const QList<QMenu*>& below, F f) {
    for (QAction* a : root->actions())
        if (a) f(a);
    for (QMenu* m : below)
        for (QAction* a : m->actions())
            if (a) f(a);
}

}  // namespace

QList<QMenu*> MainWindow::menusBelow(QObject* root) { return root->findChildren<QMenu*>(); }

void MainWindow::setMenuEnabled(QMenu* menu, bool enabled) {
    visit(menu, menusBelow(menu), [enabled](QAction* a) { a->setEnabled(enabled); });
}

void MainWindow::setToolBarEnabled(QToolBar* toolBar, bool enabled) {
    visit(toolBar, menusBelow(toolBar), [enabled](QAction* a) { a->setEnabled(enabled); });
}

void MainWindow::setMenuVisible(QMenu* menu, bool visible) {
    visit(menu, menusBelow(menu), [visible](QAction* a) { a->setVisible(visible); });
}

void MainWindow::saveShortcuts(QMenu* menu, QList<QKeySequence>& keys) {
    visit(menu, menusBelow(menu), [&keys](QAction* a) { keys.append(a->shortcut()); });
}

// A list shorter than the visit leaves the remaining actions' keys alone.
void MainWindow::restoreShortcuts(QMenu* menu, const QList<QKeySequence>& keys) {
    int next = 0;
    visit(menu, menusBelow(menu), [&keys, &next](QAction* a) {
        if (next < keys.size()) a->setShortcut(keys[next++]);
    });
}

void MainWindow::clearShortcuts(QMenu* menu) {
    visit(menu, menusBelow(menu), [](QAction* a) { a->setShortcut(QKeySequence(QString())); });
}

// Separators and submenu entries carry no command and stay out.
void MainWindow::addMenuActions(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a && !a->isSeparator() && !a->menu()) addAction(a);
    for (QMenu* m : menu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) addMenuActions(m);
}

void MainWindow::Assembly(bool enter) {
    Ui_MainWindow& u = *ui;
    const bool simple = view()->simple();
    toolBarFull->setVisible(!simple);
    toolBarSimple->setVisible(simple);
    toolBarLeft->setVisible(true);
    for (QAction* a :
         {u.actionInsert, u.actionPlace, u.actionPrevious_Tool, u.actionNext_Tool, u.actionAsmRotateScale,
          u.actionInverse_Kinematics, u.actionIK_Chain, u.actionIK_Chain_2, u.actionIK_Chain_Reset,
          u.menuConstraints->menuAction(), u.actionAlign, u.actionMatch_Pivot, u.menuHierarchy->menuAction(),
          u.actionLink, u.actionUnlink, u.actionDynamics_2, u.actionAdd_Linked, u.actionAdd_On_All_Instances})
        a->setVisible(!simple);
    if (enter) {
        Sculpt(false);
        restoreShortcuts(u.menuAssembly, assemblyShortcuts);
        // In simple mode Place is hidden and Use Tool answers its key;
        // Insert, hidden too, still answers its own.
        u.actionUse_Tool->setShortcut(simple ? u.actionPlace->shortcut() : QKeySequence());
        insertKey->setKey(simple ? u.actionInsert->shortcut() : QKeySequence());
        u.menuAssembly->setTitle("[Assembly]");
        view()->setActionMode(qel::GLView::ModeAssembly);
        glWidget->update();
    } else {
        clearShortcuts(u.menuAssembly);
        insertKey->setKey(QKeySequence());
        u.menuAssembly->setTitle("Assembly");
    }
}

void MainWindow::Sculpt(bool enter) {
    if (enter) {
        Assembly(false);
        restoreShortcuts(ui->menuSculpt, sculptShortcuts);
        ui->menuSculpt->setTitle("[Sculpt]");
        view()->setActionMode(qel::GLView::ModeSculpt);
        glWidget->update();
    } else {
        clearShortcuts(ui->menuSculpt);
        ui->menuSculpt->setTitle("Sculpt");
    }
}

void MainWindow::SetMode(bool simple) {
    qel::GLView* v = view();
    if (simple == v->simple()) return;
    v->simpleMode = simple;
    if (v->selectedActionMode == qel::GLView::ModeSculpt)
        Sculpt(true);
    else if (v->selectedActionMode == qel::GLView::ModeAssembly)
        Assembly(true);
}

void MainWindow::setInAction(bool inAction) {
    Ui_MainWindow& u = *ui;
    const bool e = !inAction;
    setMenuEnabled(u.menuFile, e);
    setMenuEnabled(u.menuSculpt, e);
    setToolBarEnabled(toolBarFull, e);
    setMenuEnabled(u.menuAssembly, e);
    setToolBarEnabled(toolBarLeft, e);
    u.actionOrthogonal->setEnabled(e);
    u.actionPerspective->setEnabled(e);
    for (QAction* a : {u.actionPrevious_Tool, u.actionNext_Tool, u.menuHierarchy->menuAction(),
                       u.actionAdd_On_All_Instances, u.actionAdd_Linked, u.actionGroups, u.actionClosed})
        a->setEnabled(true);
    setMenuEnabled(u.menuHierarchy, true);
    // Free shapes are not offered as sections: the entry stays disabled.
    u.actionSectionFree->setEnabled(false);
    // A gesture that ended may have changed the tool under creation (Pick):
    // once the view has taken its release, which may still wait when the
    // lock goes with the hand's release.
    if (e) inPlace([this] { checkToolCreation(); });
}
