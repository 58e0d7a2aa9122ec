#include "gl/gl.h"

QOpenGLFunctions_4_0_Core* gl = nullptr;
