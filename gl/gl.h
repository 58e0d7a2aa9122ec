#pragma once
// The OpenGL 4.0 core function table through which every GPU call of the
// engine goes. It is null until the host widget (or a test fixture) has a
// current 4.0 core context and stores that context's table here.

#include <QOpenGLFunctions_4_0_Core>

extern QOpenGLFunctions_4_0_Core* gl;
