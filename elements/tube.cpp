// The tube element: construction, the old record, copies and the handing of
// sculpting to its curves.

#include "elements/tube.h"

#include "curves/curve.h"
#include "elements/swept_mesh.h"
#include "elements/swept_sculpt.h"
#include "elements/swept_symmetry.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"

namespace qel {

Tube::Tube() : SweptElement(TType::Tube, SweptKind::Tube) {}

Tube::Tube(Curve* path_, Curve* profile_) : SweptElement(TType::Tube, SweptKind::Tube, path_, profile_) {}

Tube::Tube(buffer& b, bool old) : SweptElement(TType::Tube, SweptKind::Tube) {
    if (!old) {
        DataRead(b);
        return;
    }
    id = 0;  // nothing to map
    if (!readOld(b)) status = 1;
}

bool Tube::readOld(buffer& b) {
    path = readEmbeddedCurve(b);
    if (!path) return false;
    profile = readEmbeddedCurve(b);
    if (profile) return true;
    // A refused record leaves nothing behind, not even the first curve.
    delete path;
    path = nullptr;
    return false;
}

Tube* Tube::clone() {
    Tube* t = new Tube(path ? path->clone() : nullptr, profile ? profile->clone() : nullptr);
    t->centre = centre;
    t->setSize(size());
    // A copy keeps to what its original's load could pay for: a surface
    // the load left out is not built by copying it.
    t->vbo.mostVertices = vbo.mostVertices;
    return t;
}

void Tube::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                      bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                      std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                      bool section) {
    tubeSymmetries(*this, {list,
                           point,
                           axis,
                           {mirrorX, mirrorY, mirrorZ, radialX, radialY, radialZ},
                           count,
                           points,
                           frames,
                           scales,
                           itemId,
                           section});
}

void Tube::sculpt(std::vector<Sculptor*>& gestures) { sculptTube(*this, gestures); }

void Tube::DataWrite(buffer& b) { writeRecord(b, RecordTag); }

}  // namespace qel
