#include "tests/app/window_app.h"

#include <QElapsedTimer>

#include "app/gl_widget.h"
#include "app/startup.h"
#include "view/glview.h"

namespace tltest {

QApplication* makeWindowApplication(int& argc, char** argv) {
    qel::setSurfaceFormat();
    auto* app = new QApplication(argc, argv);
    qel::deliverEveryMotion();
    return app;
}

bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

bool showPastStartup(GLWidget& widget) {
    widget.view->startupStep = 4;
    widget.view->animate = 0;
    widget.resize(400, 300);
    widget.show();
    return waitFor([&widget] { return widget.lastFrame != nullptr; });
}

}  // namespace tltest
