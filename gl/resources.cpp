#include "gl/resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE declares the bundle's initialiser in the enclosing
// namespace, so it is called from the global namespace.
static void registerIconBundle() { Q_INIT_RESOURCE(icons); }
static void registerShaderBundle() { Q_INIT_RESOURCE(shaders); }

namespace qel {

void initIconResources() {
    static const bool registered = (registerIconBundle(), true);
    (void)registered;
}

void initShaderResources() {
    static const bool registered = (registerShaderBundle(), true);
    (void)registered;
}

}  // namespace qel
