#include "gl/gpu_scope.h"

#include <QOpenGLContext>
#include <QOpenGLWidget>

#include "gl/glatom.h"

namespace qel {

GpuScope::GpuScope() {
    if (!GLAtom::screen || QOpenGLContext::currentContext()) return;
    GLAtom::screen->makeCurrent();
    made = GLAtom::screen;
}

GpuScope::~GpuScope() {
    if (made) made->doneCurrent();
}

bool GpuScope::current() const {
    return GLAtom::screen && QOpenGLContext::currentContext() == GLAtom::screen->context();
}

}  // namespace qel
