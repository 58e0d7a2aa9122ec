#include "gl/glerror.h"

#include "core/strings.h"
#include "gl/gl.h"

namespace qel {

void glReportError(const std::string& message) { logmsg(message, false); }

void glClearErrors() {
    if (!gl) return;
    // A context may hold several error flags; a bounded loop also ends when
    // the context is lost and keeps reporting an error.
    for (int i = 0; i < 16 && gl->glGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace qel
