#include "support/gl_fixture.h"

#include "gl/gl.h"

#include <QGuiApplication>
#include <QSurfaceFormat>

#include <cstdio>

namespace tltest {
namespace {

// Owned for the life of the process (see shutdownGLContext).
QGuiApplication* app = nullptr;
QOffscreenSurface* surface = nullptr;
QOpenGLContext* context = nullptr;

QSurfaceFormat coreFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(4, 0);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    return format;
}

}  // namespace

bool initGLContext(int& argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(coreFormat());
    app = new QGuiApplication(argc, argv);
    surface = new QOffscreenSurface();
    surface->setFormat(coreFormat());
    surface->create();
    context = new QOpenGLContext();
    context->setFormat(coreFormat());
    if (!context->create()) {
        std::fprintf(stderr, "GL fixture: no OpenGL context could be created\n");
        return false;
    }
    const QSurfaceFormat got = context->format();
    if (got.majorVersion() < 4 || got.profile() != QSurfaceFormat::CoreProfile) {
        std::fprintf(stderr, "GL fixture: got OpenGL %d.%d, not a 4.0 core profile\n",
                     got.majorVersion(), got.minorVersion());
        return false;
    }
    if (!context->makeCurrent(surface)) {
        std::fprintf(stderr, "GL fixture: the context cannot be made current\n");
        return false;
    }
    auto* functions = context->versionFunctions<QOpenGLFunctions_4_0_Core>();
    if (!functions || !functions->initializeOpenGLFunctions()) {
        std::fprintf(stderr, "GL fixture: no OpenGL 4.0 core function table\n");
        return false;
    }
    gl = functions;
    return true;
}

QOpenGLContext* glContext() { return context; }
QOffscreenSurface* glSurface() { return surface; }

void shutdownGLContext() {
    // The context, surface and application stay alive until the process
    // ends: unloading Qt's platform plugin early would hide the origin of
    // allocations that system libraries keep for the life of the process.
    if (context) context->doneCurrent();
    gl = nullptr;
}

}  // namespace tltest
