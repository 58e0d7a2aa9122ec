// The context menu's Delete commands: whole objects go through an undo
// record; components, patches and features are erased at the stamps of a
// fresh sculpt-stroke picking.

#include "scene/tool.h"
#include "view/glview.h"

namespace qel {

bool GLView::erase(Tool* tool, unsigned char scope, unsigned char curve) {
    if (!tool || !tool->element) return false;
    if (scope <= 1) return eraseObject(tool);
    selectSculpt(true);
    return eraseParts(tool, scope, curve);
}

}  // namespace qel
