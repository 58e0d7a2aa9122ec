#pragma once
// Shared OpenGL test context. Test binaries built from *_gltest.cpp files get
// a main that creates one QGuiApplication, one offscreen surface and one
// OpenGL 4.0 core context, makes it current and publishes its function table
// in the engine's global `gl` before any test runs. A binary that cannot get
// such a context fails; it never skips.

#include <QOpenGLContext>
#include <QOffscreenSurface>

namespace tltest {

// Creates the application, surface and context and makes the context current.
// Returns false (with a message on stderr) when no 4.0 core context exists.
bool initGLContext(int& argc, char** argv);

QOpenGLContext* glContext();
QOffscreenSurface* glSurface();

// Releases the context and the application; called once at the end of main.
void shutdownGLContext();

}  // namespace tltest
