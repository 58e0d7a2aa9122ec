// The main window shown on an X display with its view widget: the loaders of
// the background image and the environment run on the widget's context, the
// binary's only one (the engine keeps GL names of one context in globals).

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include "app/gl_widget.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "app/startup.h"
#include "gl/environment.h"
#include "gl/fbo.h"
#include "gl/fonts.h"
#include "gl/gl.h"
#include "gl/glatom.h"
#include "gl/resources.h"
#include "view/asker.h"
#include "view/glview.h"

namespace {

struct Files : qel::DecliningAsker {
    QString next;
    QString openFileName(QWidget*, const QString&, const QString&) override { return next; }
};

// A main window past the view's start-up whose environment is a small one,
// so the software renderer builds its replacements fast.
TEST(MainWindowGL, LoadersAndTheFontSwitchWorkOnTheWidgetsContext) {
    QTemporaryDir dir;
    const QString png = dir.filePath("sky.png"), bad = dir.filePath("bad.png");
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(png));
    Files files;
    MainWindow window;
    window.asker = &files;
    qel::GLView* v = window.view();
    v->startupStep = 4;
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (!window.glWidget->lastFrame && clock.elapsed() < 20000) QCoreApplication::processEvents();
    ASSERT_TRUE(window.glWidget->lastFrame != nullptr);
    delete v->environment;
    v->environment = new qel::Environment(png.toStdString(), 8, 2, false);
    auto timerRuns = [&] { return window.glWidget->timerId != 0 && window.glWidget->updatesEnabled(); };

    files.next = png;
    window.loadBackgroundImage_triggered();
    qel::FBO* loaded = v->backgroundImage;
    ASSERT_TRUE(loaded != nullptr && timerRuns());
    EXPECT_TRUE(loaded->width() == 32 && loaded->height() == 16);
    window.loadEnvironment(png);
    qel::Environment* environment = v->environment;
    EXPECT_TRUE(environment->compiled() && environment->size() == 8 && environment->levels() == 2 && timerRuns());

    files.next = bad;
    window.loadBackgroundImage_triggered();
    window.loadEnvironment(bad);
    EXPECT_TRUE(v->backgroundImage == loaded && v->environment == environment && timerRuns());

    QOpenGLWidget* screen = qel::GLAtom::screen;
    qel::GLAtom::screen = nullptr;
    files.next = png;
    window.loadBackgroundImage_triggered();
    window.loadEnvironment(png);
    qel::GLAtom::screen = screen;
    EXPECT_TRUE(v->backgroundImage == loaded && v->environment == environment && timerRuns());

    // Large Fonts from the menu, with no context current, frees the old
    // font's texture on the widget's context.
    ASSERT_TRUE(qel::fonts != nullptr);
    window.glWidget->makeCurrent();
    const GLuint smallFont = qel::fonts->id();
    window.glWidget->doneCurrent();
    window.ui->actionLarge_Fonts->trigger();
    window.glWidget->makeCurrent();
    EXPECT_FALSE(gl->glIsTexture(smallFont));
    window.glWidget->doneCurrent();
    EXPECT_TRUE(timerRuns());
}

}  // namespace
