// The program: the exact predicates, the application with its resources,
// OpenGL 4.0 core surfaces and an unantialiased application font, the
// user's cache folder for the prefiltered environments, and the main window
// shown maximised until the user quits.

#include <QApplication>
#include <QFont>
#include <QStandardPaths>

#include "app/main_window.h"
#include "app/startup.h"
#include "core/geometry.h"
#include "gl/environment.h"
#include "gl/resources.h"

int main(int argc, char** argv) {
    qel::InitExactPredicates();
    qel::holdStartupMessages();
    QApplication app(argc, argv);
    qel::releaseStartupMessages();
    qel::deliverEveryMotion();
    qel::initIconResources();
    qel::initShaderResources();

    qel::setSurfaceFormat();

    qel::Environment::CacheFolder =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toUtf8().toStdString();

    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::NoAntialias);
    QApplication::setFont(font);

    int result = 0;
    {
        MainWindow window(nullptr);
        window.showMaximized();
        result = app.exec();
    }
    return result;
}
