#pragma once
// The GL context of the benchmarks that draw or upload: the process's one
// application and 4.0 core context on an offscreen surface, made current
// once, with the shaders and icons registered.

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_4_0_Core>
#include <QSurfaceFormat>

#include "gl/gl.h"
#include "gl/resources.h"

namespace benchgl {

// True when the context is current and qel's function table is set; false
// when the machine offers no 4.0 core context. The application, surface and
// context live as long as the process.
inline bool makeContext() {
    if (gl) return true;
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(4, 0);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    QSurfaceFormat::setDefaultFormat(format);
    new QGuiApplication(argc, argv);
    auto* surface = new QOffscreenSurface();
    surface->setFormat(format);
    surface->create();
    auto* context = new QOpenGLContext();
    context->setFormat(format);
    if (!context->create() || context->format().majorVersion() < 4 || !context->makeCurrent(surface)) return false;
    auto* functions = context->versionFunctions<QOpenGLFunctions_4_0_Core>();
    if (!functions || !functions->initializeOpenGLFunctions()) return false;
    gl = functions;
    qel::initShaderResources();
    qel::initIconResources();
    return true;
}

}  // namespace benchgl
