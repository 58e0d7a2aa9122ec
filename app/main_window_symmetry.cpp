// MainWindow: the sculpt symmetry of the Brush menu - the three mirror and
// three rotation flags and the number of rotated copies.

#include <QAction>
#include <array>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "view/asker.h"
#include "view/glview.h"

namespace {

// The flag actions in the view's order: mirror X, Y, Z, rotation about X,
// Y, Z.
std::array<QAction*, 6> flagActions(Ui_MainWindow& u) {
    return {u.actionX_Mirror_Symmetry,   u.actionY_Mirror_Symmetry,   u.actionZ_Mirror_Symmetry,
            u.actionX_Rotation_Symmetry, u.actionY_Rotation_Symmetry, u.actionZ_Rotation_Symmetry};
}

}  // namespace

void MainWindow::setSymmetry() {
    const std::array<QAction*, 6> a = flagActions(*ui);
    view()->setSymmetry(a[0]->isChecked(), a[1]->isChecked(), a[2]->isChecked(), a[3]->isChecked(), a[4]->isChecked(),
                        a[5]->isChecked(), view()->symmetryItems);
    view()->redraw = 1;
}

// At most one rotation axis, and beside a rotation only the mirror across
// the same axis: a flag turned on clears every flag of another axis that is
// a rotation or goes with a rotation.
void MainWindow::setSymmetryFlag(int flag) {
    QAction* action = flagActions(*ui)[std::size_t(flag)];
    // A stroke runs with the symmetry it started with: the mark shows the
    // view's until the flag is taken. The flag turns when the command runs,
    // so that two clicks given while the view still takes a stroke's end
    // leave it as it was.
    action->setChecked(view()->symmetry[std::size_t(flag)] != 0);
    afterGesture(
        action->text(),
        [this, flag] {
            const bool wanted = view()->symmetry[std::size_t(flag)] == 0;
            const std::array<QAction*, 6> actions = flagActions(*ui);
            actions[std::size_t(flag)]->setChecked(wanted);
            if (wanted)
                for (int other = 0; other < 6; ++other)
                    if (other % 3 != flag % 3 && (other >= 3 || flag >= 3))
                        actions[std::size_t(other)]->setChecked(false);
            setSymmetry();
        },
        true);
}

void MainWindow::on_actionX_Mirror_Symmetry_triggered() { setSymmetryFlag(0); }
void MainWindow::on_actionY_Mirror_Symmetry_triggered() { setSymmetryFlag(1); }
void MainWindow::on_actionZ_Mirror_Symmetry_triggered() { setSymmetryFlag(2); }
void MainWindow::on_actionX_Rotation_Symmetry_triggered() { setSymmetryFlag(3); }
void MainWindow::on_actionY_Rotation_Symmetry_triggered() { setSymmetryFlag(4); }
void MainWindow::on_actionZ_Rotation_Symmetry_triggered() { setSymmetryFlag(5); }

// ---- Number of rotated copies: read whenever the copies are built ----

void MainWindow::showRotationItems() {
    const QString items = QString::number(view()->symmetryItems);
    ui->actionRotation_Items->setText("Rotation Items (" + items + ")");
    ui->actionRotation_Items->setIconText(items);
}

// Its dialog waits for the hand to let go of a button held in the view.
void MainWindow::on_actionRotation_Items_triggered() {
    afterGesture(
        "Rotation Items",
        [this] {
            int items = view()->symmetryItems;
            if (asker->getInt(this, "Rotation Symmetry", "Items", &items, 2, 1000, 1)) {
                view()->symmetryItems = items;
                view()->redraw = 1;
            }
            showRotationItems();
        },
        false, true);
}

void MainWindow::on_actionRotation_Items_2_triggered() {
    ++view()->symmetryItems;
    view()->redraw = 1;
    showRotationItems();
}

void MainWindow::on_actionRotation_Items_3_triggered() {
    if (view()->symmetryItems >= 2) --view()->symmetryItems;
    view()->redraw = 1;
    showRotationItems();
}
