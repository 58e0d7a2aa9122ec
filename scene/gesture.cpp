#include "scene/gesture.h"

#include "core/mat.h"
#include "scene/abrush.h"

namespace qel {

SBrush::SBrush(const ABrush& stamp)
    : kind(std::uint32_t(stamp.kind)),
      screen(float(stamp.x), float(stamp.y), 0.0f),
      material(stamp.material),
      objectId(stamp.objectId),
      itemId(stamp.itemId),
      strength(stamp.strength) {
    const mat4 c = stamp.elementFrame * stamp.objectFrame;
    point = c.transformProject(stamp.point);
    normal = normalize(c.transformVector(stamp.normal));
    radius = float(length(c.transformVector(stamp.pixelVector)) * double(stamp.radius));
}

}  // namespace qel
