// MainWindow: New, Open, Save and Quick Save.

#include <QFileInfo>

#include "app/asker.h"
#include "app/main_window.h"
#include "app/save_name.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/glview.h"

void MainWindow::on_actionNew_triggered() {
    if (!asker->yes(this, "New", "This action clears the current scene! Proceed?")) return;
    view()->replaceScene(nullptr);
}

void MainWindow::on_actionOpen_triggered() {
    const QStringList paths = asker->openFileNames(
        this, "Open",
        "All (*.tl *.tlo *.obj *.png *.jpg *.gif);;Scenes & Objects (*.tl *.tlo);;Meshes (*.obj);;Sprites "
        "(*.png *.jpg *.gif)");
    // A file that cannot be read is named in a warning and passed over; one
    // opened with parts left out is named in a warning too.
    for (const QString& path : paths) {
        if (!view()->load(path.toStdString()))
            asker->warn(this, "Open", path + " could not be opened.");
        else if (!view()->loadWarning.empty())
            asker->warn(this, "Open", QString::fromStdString(view()->loadWarning));
    }
    view()->redraw = 1;
}

void MainWindow::on_actionSave_triggered() {
    const QString chosen = asker->saveFileName(this, "Save", "All (*.tl *.obj);;Scenes (*.tl);;Meshes (*.obj)");
    if (chosen.isEmpty()) return;
    const QString path = qel::saveFileName(chosen);
    // The dialog asked about the chosen name only.
    if (path != chosen && QFileInfo::exists(path) &&
        !asker->yes(this, "Save", QFileInfo(path).fileName() + " already exists. Replace it?"))
        return;
    if (!view()->save(path.toStdString())) asker->warn(this, "Save", "The scene could not be saved to " + path + ".");
    view()->redraw = 1;
}

// Writes the object under the pointer to a file of its own; not while a
// gesture runs.
void MainWindow::on_actionQuick_Save_triggered() {
    if (view()->idle()) view()->quickSave();
}
