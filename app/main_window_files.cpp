// MainWindow: New, Open, Save and Quick Save.

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/save_name.h"
#include "scene/root.h"
#include "scene/scene.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/glview.h"

bool MainWindow::clearingAllowed(const char* title) {
    return asker->yes(this, title, "This action clears the current scene! Proceed?");
}

// The File commands take their place among the view's input: a Save given
// right after a stroke's release saves the scene as the stroke leaves it
// (fileCommand).
void MainWindow::on_actionNew_triggered() {
    fileCommand(ui->actionNew->text(), true, [this] {
        if (!clearingAllowed("New")) return;
        view()->replaceScene(nullptr);
    });
}

namespace {

// Meshes and images open as new tools of the tool library, not as objects.
bool opensAsTool(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == "obj" || suffix == "png" || suffix == "jpg" || suffix == "gif";
}

bool isScene(const QString& path) { return QFileInfo(path).suffix().toLower() == "tl"; }

std::size_t childCount(const qel::Root* root) { return root ? root->children.size() : 0; }

}  // namespace

void MainWindow::on_actionOpen_triggered() {
    fileCommand(ui->actionOpen->text(), true, [this] { openChosenFiles(); });
}

void MainWindow::openChosenFiles() {
    const QStringList paths = asker->openFileNames(
        this, "Open",
        "All (*.tl *.tlo *.obj *.png *.jpg *.gif);;Scenes & Objects (*.tl *.tlo);;Meshes (*.obj);;Sprites "
        "(*.png *.jpg *.gif)");
    // A scene file among them replaces the scene as New clears it: the same
    // question first. Files that only add to the scene ask nothing.
    if (std::any_of(paths.begin(), paths.end(), isScene) && !clearingAllowed("Open")) return;
    // A file that cannot be read is named in a warning and passed over; one
    // opened with parts left out is named in a warning too.
    QStringList tools, objects;
    for (const QString& path : paths) {
        // An object file adds an object to the scene, or (a file of a tool
        // of the library, as Quick Save writes one) a tool to the library.
        const std::size_t toolsBefore = childCount(view()->scene->toolsRoot);
        const std::size_t objectsBefore = childCount(view()->scene->objectsRoot);
        if (!view()->load(path.toStdString())) {
            // An image refused for its size says so; any other refusal
            // gives the reader's or the system's reason.
            const std::string& why = view()->loadWarning;
            asker->warn(this, "Open",
                        why.empty() ? path + " could not be opened: " + QString::fromStdString(view()->loadError) + "."
                                    : QString::fromStdString(why));
            continue;
        }
        if (!view()->loadWarning.empty()) asker->warn(this, "Open", QString::fromStdString(view()->loadWarning));
        // A scene replaces the library and the objects with everything
        // opened before it.
        if (isScene(path)) {
            tools.clear();
            objects.clear();
        } else if (opensAsTool(path) || childCount(view()->scene->toolsRoot) > toolsBefore) {
            tools << QFileInfo(path).fileName();
        } else if (childCount(view()->scene->objectsRoot) > objectsBefore) {
            objects << QFileInfo(path).fileName();
        }
    }
    // A file opened switches the view to Use Tool: the Create menu shows it.
    checkToolCreation();
    // The status bar says where what was opened went: a tool of the library
    // shows nothing in the view.
    QStringList notices;
    if (!objects.isEmpty())
        notices << objects.join(", ") + (objects.size() == 1 ? " was" : " were") + " added to the scene.";
    if (!tools.isEmpty())
        notices << tools.join(", ") + (tools.size() == 1 ? " was" : " were") + " added to the tool library (Tools " +
                       QString::number(childCount(view()->scene->toolsRoot)) + "). To place " +
                       (tools.size() == 1 ? "it" : tools.last()) +
                       ", choose Use Tool (Assembly > Create) and drag in the view.";
    if (!notices.isEmpty()) showNotice(notices.join(" "));
    view()->redraw = 1;
}

void MainWindow::showNotice(const QString& text) {
    if (!noticeLabel) {
        noticeLabel = new QLabel(ui->statusBar);
        // A long word must not widen the window: the view would change size
        // under a stroke held in it, which ends the stroke. A word wider
        // than the status bar is cut instead.
        noticeLabel->setMinimumWidth(1);
        ui->statusBar->insertPermanentWidget(0, noticeLabel, 0);
    }
    noticeLabel->setText(text);
    const int shown = ++noticesShown;
    QTimer::singleShot(NoticeMs, noticeLabel, [this, shown] {
        if (shown == noticesShown) noticeLabel->clear();
    });
}

void MainWindow::dropNotice(const QString& text) {
    if (noticeLabel && !text.isEmpty() && noticeLabel->text() == text) noticeLabel->clear();
}

void MainWindow::on_actionSave_triggered() {
    fileCommand(ui->actionSave->text(), false, [this] { saveChosenFile(); });
}

void MainWindow::saveChosenFile() {
    const QString chosen = asker->saveFileName(this, "Save", "All (*.tl *.obj);;Scenes (*.tl);;Meshes (*.obj)");
    if (chosen.isEmpty()) return;
    const QString path = qel::saveFileName(chosen);
    // The dialog asked about the chosen name only.
    if (path != chosen && QFileInfo::exists(path) &&
        !asker->yes(this, "Save", QFileInfo(path).fileName() + " already exists. Replace it?"))
        return;
    if (!view()->save(path.toStdString()))
        asker->warn(this, "Save",
                    "The scene could not be saved to " + path + ": " + QString::fromStdString(view()->saveError) + ".");
    else if (!view()->saveWarning.empty())
        asker->warn(this, "Save", QString::fromStdString(view()->saveWarning));
    view()->redraw = 1;
}

// Writes the object under the pointer to a file of its own; not while a
// gesture runs.
void MainWindow::on_actionQuick_Save_triggered() {
    afterGesture("Quick Save", [this] {
        if (!pickedTool()) {
            showNotice("Quick Save: no object is picked. Hold Ctrl and right-click an object for its menu.");
            return;
        }
        view()->quickSave();
    });
}
