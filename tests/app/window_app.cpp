#include "tests/app/window_app.h"

#include <QSurfaceFormat>

#include "app/startup.h"

namespace tltest {

QApplication* makeWindowApplication(int& argc, char** argv) {
    QSurfaceFormat format;
    format.setVersion(4, 0);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    auto* app = new QApplication(argc, argv);
    qel::deliverEveryMotion();
    return app;
}

}  // namespace tltest
