// MainWindow: commands in their place among the view's input, Undo, Redo,
// Backspace, the material test scene, Exit, Help (the user guide compiled
// into the program) and the licence window.

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

namespace {

// The material channel of grid step k (0..4): -16383, -8191, 0, 8191, 16383.
std::int16_t gridChannel(int k) {
    const double value = std::trunc(double(k - 2) * 32766.0 * 0.25);
    return std::int16_t(std::clamp(value, -32766.0, 32766.0));
}

}  // namespace

// The window receives a command as soon as it is given, while the view may
// still be taking the input given before it: the last motions of a stroke
// and its release wait for slow frames. The command waits for them in the
// view's input and then finds the gesture ended.
void MainWindow::inPlace(std::function<void()> command, bool asks) {
    qel::inputLatch.command(std::move(command), asks, asks && glWidget->askingWaits());
}

void MainWindow::afterGesture(const QString& name, std::function<void()> command, bool sculptOnly, bool asks) {
    inPlace(
        [this, name, command, sculptOnly] {
            qel::GLView* v = view();
            if (v->idle() || (sculptOnly && v->actionMode != qel::GLView::ModeSculpt)) {
                command();
                return;
            }
            notTaken(name);
        },
        asks);
}

void MainWindow::lockedCommand(const QString& name, std::function<void()> command, bool asks) {
    afterGesture(name, std::move(command), false, asks);
}

void MainWindow::fileCommand(const QString& name, bool replaces, std::function<void()> command) {
    // Nothing waiting in the view's input: no command waits either (the
    // window's waiting commands were dropped with it).
    if (!fileCommandWaiting.isEmpty() && !qel::inputLatch.empty()) {
        showNotice(name + ": not taken, the " + fileCommandWaiting +
                   " given before it still waits for the view. Give it again once that one has run.");
        return;
    }
    fileCommandWaiting = name;
    inPlace(
        [this, name, replaces, command] {
            fileCommandWaiting.clear();
            if (!view()->idle()) {
                notTaken(name);
            } else if (replaces && qel::inputLatch.pressWaits()) {
                showNotice(name + ": not taken, a click or drag given after it still waited for the view. Give it " +
                           "again once the view has taken it.");
            } else {
                command();
            }
        },
        true);
}

void MainWindow::lockedInMode(int mode, const QString& name, std::function<void()> command, bool asks) {
    lockedCommand(
        name,
        [this, mode, name, command] {
            if (modeGuard(mode, name)) command();
        },
        asks);
}

void MainWindow::lockedAssembly(const QString& name, std::function<void()> command, bool asks) {
    lockedInMode(qel::GLView::ModeAssembly, name, std::move(command), asks);
}

void MainWindow::lockedSculpt(const QString& name, std::function<void()> command, bool asks) {
    lockedInMode(qel::GLView::ModeSculpt, name, std::move(command), asks);
}

void MainWindow::notTaken(const QString& name) {
    showNotice(name + ": not taken, a gesture was under way in the view. Give it again once the gesture has ended.");
}

QAction* MainWindow::senderAction() const { return qobject_cast<QAction*>(sender()); }

QString MainWindow::commandName(const QAction* action) { return action ? action->text() : QString("The command"); }

// Undo and Redo do nothing while a gesture runs, whichever way they are
// chosen.
void MainWindow::on_actionUndo_triggered() {
    afterGesture("Undo", [this] { view()->UNDO(); });
}

void MainWindow::on_actionRedo_triggered() {
    afterGesture("Redo", [this] { view()->REDO(); });
}

void MainWindow::on_actionBackspace_triggered() { qel::Keyboard::eventBackspace = true; }

void MainWindow::on_actionTest_triggered() {
    fileCommand(ui->actionTest->text(), true, [this] { testScene(); });
}

// A 5 x 5 grid of spheres in the plane y = 0, centred on the origin:
// roughness rises along x and metalness along z.
void MainWindow::testScene() {
    if (!clearingAllowed("Test")) return;
    qel::GLView* v = view();
    v->replaceScene(nullptr);

    qel::Mesh* seed = qel::Mesh::Icosahedron();
    qel::Mesh* sphere = qel::Mesh::Sphere(seed, 4, false, true);
    delete seed;
    auto* templ = new qel::Tool(sphere, qel::mat4(), qel::pbr(), false);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            qel::mat4 m = qel::mat4::Scale(0.2f);
            m.setTranslation(qel::vec3(0.2f * float(i - 2), 0.0f, 0.2f * float(j - 2)));
            qel::Tool* o = v->scene->addObject(templ, m, qel::Scene::HangTop, true);
            if (!o) continue;
            qel::pbr material;
            material.roughness = gridChannel(i);
            material.metalness = gridChannel(j);
            o->changeMaterial(material, 255, false, false);
        }
    delete templ;
    v->redraw = 1;
}

void MainWindow::onExit() {
    fileCommand(ui->actionExit->text(), true, [this] {
        if (!asker->yes(this, "Tessilor", "Exit?")) return;
        exitConfirmed = true;
        close();
        exitConfirmed = false;
    });
}

// The window's own close button asks the Exit question too; No keeps the
// window open. Given while the hand holds a button in the view or input
// waits for the frames, the window stays and the question takes its place
// as Exit's does (the dialog would take the rest of a held stroke).
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!exitConfirmed && (qel::mouseRead.left || qel::mouseRead.right || !qel::inputLatch.empty())) {
        event->ignore();
        onExit();
        return;
    }
    if (exitConfirmed || asker->yes(this, "Tessilor", "Exit?"))
        event->accept();
    else
        event->ignore();
}

QString MainWindow::guideFile() {
    QFile page(":/Help/guide.html");
    if (!page.open(QIODevice::ReadOnly)) return QString();
    const QByteArray text = page.readAll();
    const QString path =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath("tessilor-guide.html");
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.readAll() == text) return path;
    file.close();
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) return QString();
    return path;
}

bool MainWindow::openWithDesktop(const QUrl& url) { return QDesktopServices::openUrl(url); }

// Without a browser the user is told where the guide is, to open it by hand.
// Like every command that may open a dialog, it waits for the hand to let go
// of a button held in the view.
void MainWindow::on_actionOnline_help_triggered() {
    afterGesture("Help", [this] { openGuide(); }, false, true);
}

void MainWindow::openGuide() {
    const QString path = guideFile();
    if (path.isEmpty()) {
        asker->warn(this, "Help", "The user guide could not be written to the temporary folder.");
        return;
    }
    if (!openDocument(QUrl::fromLocalFile(path)))
        asker->warn(this, "Help",
                    "No browser could be started to show the user guide.\nOpen this file in a browser to read it:\n" +
                        QDir::toNativeSeparators(path));
}

void MainWindow::on_actionLicense_triggered() {
    afterGesture("License", [this] { showLicense(); }, false, true);
}

// The licence as preformatted text; its angle brackets and ampersands are
// escaped so that they show as written.
void MainWindow::showLicense() {
    QFile file(":/License/License.txt");
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    auto* window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFixedSize(800, 400);
    auto* layout = new QVBoxLayout(window);
    auto* edit = new QTextEdit(window);
    edit->setAcceptRichText(true);
    QFont font = edit->font();
    font.setStyleStrategy(QFont::PreferAntialias);
    edit->setFont(font);
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size()))));
    edit->setHtml("<pre>" + text.toHtmlEscaped() + "</pre>");
    edit->setReadOnly(true);
    layout->addWidget(edit);
    window->show();
}
