// MainWindow: the commands that change how the view looks - projection and
// field of view, glow, the brush size and elevation keys, the background
// kind and its loaders, the environment's blur and rotation.

#include <QAction>
#include <QOpenGLWidget>

#include "app/dialogs.h"
#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "gl/environment.h"
#include "gl/fbo.h"
#include "gl/glatom.h"
#include "gl/texture2d.h"
#include "view/asker.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/keyboard.h"

namespace {

const char* const ImageFilter = "Images (*.png *.jpg)";
const char* const SwapKey = "Alt+Shift+F6";

// a x b with each element summed in double precision.
qel::mat3 product(const qel::mat3& a, const qel::mat3& b) {
    qel::mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k) sum += double(a.m[3 * i + k]) * double(b.m[3 * k + j]);
            r.m[3 * i + j] = float(sum);
        }
    return r;
}

// Puts `fresh` in the view's `slot` when it is usable, else drops it.
template <class Slot, class Fresh>
void replaceIfUsable(qel::GLView* v, Slot*& slot, Fresh* fresh, bool usable) {
    if (!usable) {
        delete fresh;
        return;
    }
    delete slot;
    slot = fresh;
    v->redraw = 1;
}

}  // namespace

// ---- Projection ----

void MainWindow::showViewType(int type) {
    const bool orthogonal = type == qel::GLView::ViewOrthogonal;
    ui->actionOrthogonal->setChecked(orthogonal);
    ui->actionPerspective->setChecked(!orthogonal);
    // The one key always switches to the other projection.
    ui->actionOrthogonal->setShortcut(orthogonal ? QKeySequence() : QKeySequence(SwapKey));
    ui->actionPerspective->setShortcut(orthogonal ? QKeySequence(SwapKey) : QKeySequence());
}

// The marks and the swap key show the projection chosen at once, so that the
// key pressed again before the command has run (the view still taking a
// stroke's end) chooses the other one; once it has run, or been refused,
// they show the view's.
void MainWindow::on_actionOrthogonal_triggered() {
    showViewType(qel::GLView::ViewOrthogonal);
    inPlace([this] {
        qel::GLView* v = view();
        if (!v->idle())
            notTaken(ui->actionOrthogonal->text());
        else if (v->viewType != qel::GLView::ViewOrthogonal)
            v->setViewType(qel::GLView::ViewOrthogonal);
        showViewType(v->viewType);
    });
}

void MainWindow::on_actionPerspective_triggered() {
    showViewType(qel::GLView::ViewPerspective);
    // With Control it asks for the field of view.
    inPlace(
        [this] {
            qel::GLView* v = view();
            if (!v->idle()) {
                notTaken(ui->actionPerspective->text());
            } else {
                bool accepted = true;
                if (qel::keys.held(qel::Keyboard::KeyControl)) {
                    double fov = v->fov;
                    accepted = asker->getDouble(this, "Perspective", "FOV (10-160)", &fov, 10.0, 160.0, 2);
                    if (accepted) v->setFOV(float(fov));
                }
                if (accepted && v->viewType != qel::GLView::ViewPerspective)
                    v->setViewType(qel::GLView::ViewPerspective);
            }
            showViewType(v->viewType);
        },
        true);
}

// ---- Glow and the brush keys ----

void MainWindow::on_actionGlow_triggered() {
    view()->glow = ui->actionGlow->isChecked();
    view()->redraw = 1;
}

void MainWindow::on_actionSize_triggered() { view()->setBrushSize(float(double(view()->brushSize) * 1.1)); }

void MainWindow::on_actionSize_2_triggered() { view()->setBrushSize(float(double(view()->brushSize) / 1.1)); }

void MainWindow::on_actionElevation_triggered() {
    view()->setBrushElevation(float(double(view()->brushElevation) - 0.05));
}

void MainWindow::on_actionElevation_2_triggered() {
    view()->setBrushElevation(float(double(view()->brushElevation) + 0.05));
}

void MainWindow::on_actionElevation_0_triggered() { view()->setBrushElevation(0.0f); }

// ---- Background ----

void MainWindow::showBackgroundMode() {
    const int mode = view()->backgroundMode;
    ui->actionImage->setChecked(mode == 1);
    ui->actionEnvironment->setChecked(mode == 2);
    ui->actionColor_4->setChecked(mode != 1 && mode != 2);
}

void MainWindow::setBackgroundMode(int mode) {
    afterGesture("Background", [this, mode] {
        view()->backgroundMode = mode;
        view()->redraw = 1;
        showBackgroundMode();
    });
    showBackgroundMode();
}

void MainWindow::on_actionColor_4_triggered() { setBackgroundMode(0); }

void MainWindow::on_actionImage_triggered() { setBackgroundMode(1); }

void MainWindow::on_actionEnvironment_triggered() { setBackgroundMode(2); }

void MainWindow::askColor(const QString& name, qel::wvec4 qel::GLView::*colour, const QString& title) {
    afterGesture(
        name,
        [this, colour, title] {
            qel::DIALOGS->colorDialog(&(view()->*colour), title);
            view()->redraw = 1;
        },
        false, true);
}

// The loaders' dialogs wait for the hand to let go of a button held in the
// view.
void MainWindow::loadBackgroundColor_triggered() {
    askColor("Background Color", &qel::GLView::background, "Background Color");
}

bool MainWindow::beginGpuWork() {
    glWidget->setUpdatesEnabled(false);
    glWidget->killTimer(glWidget->timerId);
    glWidget->timerId = 0;
    if (!qel::GLAtom::screen) {
        endGpuWork();
        return false;
    }
    qel::GLAtom::screen->makeCurrent();
    return true;
}

void MainWindow::endGpuWork() {
    if (qel::GLAtom::screen) qel::GLAtom::screen->doneCurrent();
    glWidget->timerId = glWidget->startTimer(GLWidget::FrameInterval, Qt::CoarseTimer);
    glWidget->setUpdatesEnabled(true);
}

void MainWindow::loadBackgroundImage_triggered() {
    afterGesture(
        "Background Image",
        [this] {
            const QString path = asker->openFileName(this, "Open", ImageFilter);
            if (path.isEmpty() || !beginGpuWork()) return;
            auto* texture = new qel::Texture2D(path.toUtf8().toStdString(), false);
            auto* fbo = new qel::FBOTexture(qel::FBO::NoDepth, texture->width(), texture->height(), 1);
            fbo->addTexture(texture);
            const bool usable = !texture->loadError() && fbo->compile();
            replaceIfUsable(view(), view()->backgroundImage, fbo, usable);
            endGpuWork();
        },
        false, true);
}

void MainWindow::loadEnvironment_triggered() {
    afterGesture(
        "Environment Image", [this] { loadEnvironment(asker->openFileName(this, "Open 360 Image", ImageFilter)); },
        false, true);
}

void MainWindow::loadEnvironment(const QString& path) {
    if (path.isEmpty()) return;
    qel::GLView* v = view();
    const int size = v->environment ? v->environment->size() : 128;
    const int levels = v->environment ? v->environment->levels() : 64;
    if (!beginGpuWork()) return;
    auto* environment = new qel::Environment(path.toUtf8().toStdString(), size, levels, false);
    replaceIfUsable(v, v->environment, environment, environment->compile());
    endGpuWork();
}

// ---- Environment ----

void MainWindow::on_actionEnvironment_Blur_triggered() {
    afterGesture(
        ui->actionEnvironment_Blur->text(),
        [this] {
            int blur = view()->environmentBlur;
            if (!asker->getInt(this, "Environment", "Blur (0-100)", &blur, 0, 100, 1)) return;
            view()->environmentBlur = std::uint8_t(blur);
            view()->redraw = 1;
        },
        false, true);
}

// The environment keeps its on-screen orientation at the switch: it is
// drawn with C x E while the switch is on and with E while it is off.
void MainWindow::on_actionEnvironment_Rotation_triggered() {
    qel::GLView* v = view();
    const bool rotated = ui->actionEnvironment_Rotation->isChecked();
    v->environmentRotated = rotated;
    const qel::mat3& c = v->camera->orientation;
    v->environmentMatrix = product(rotated ? c.transposed() : c, v->environmentMatrix);
    v->redraw = 1;
}
