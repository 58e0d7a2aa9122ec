// The assembly pick as far as the button press needs it: the pick record
// under the cursor, with the merge record and the stroke direction of the
// pick before it emptied. The placements and their preview come with the
// rest of the assembly picking.

#include "view/glview.h"

namespace qel {

bool GLView::select() {
    mergeKept.clear();
    mergeDropped.clear();
    planeDirection = vec3(0, 0, 0);
    pickBrush = selection(ABrush::OnObject, nullptr);
    return pickBrush.placed();
}

}  // namespace qel
