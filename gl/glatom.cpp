#include "gl/glatom.h"

namespace qel {

QOpenGLWidget* GLAtom::screen = nullptr;

}  // namespace qel
