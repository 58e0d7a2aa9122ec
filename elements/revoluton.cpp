// The revoluton element: construction, the old record, copies and the
// handing of sculpting to its curves.

#include "elements/revoluton.h"

#include "curves/curve.h"
#include "elements/swept_mesh.h"
#include "elements/swept_sculpt.h"
#include "elements/swept_symmetry.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"

namespace qel {

Revoluton::Revoluton() : SweptElement(TType::Revoluton, SweptKind::Revoluton) {}

Revoluton::Revoluton(Curve* profile_, Curve* section_)
    : SweptElement(TType::Revoluton, SweptKind::Revoluton, profile_, section_) {}

Revoluton::Revoluton(buffer& b, bool old) : SweptElement(TType::Revoluton, SweptKind::Revoluton) {
    if (!old) {
        DataRead(b);
        return;
    }
    id = 0;  // nothing to map
    if (!readOld(b)) status = 1;
}

bool Revoluton::readOld(buffer& b) {
    const std::uint32_t n = b.readU32();
    if (b.failed() || n < MinOldSection || n > MaxOldSection) return false;
    profile = readEmbeddedCurve(b);
    if (!profile) return false;
    section = Curve::Circle(int(n), false);
    return true;
}

Revoluton* Revoluton::clone() {
    Revoluton* r = new Revoluton(profile ? profile->clone() : nullptr, section ? section->clone() : nullptr);
    r->centre = centre;
    r->setSize(size());
    // A copy keeps to what its original's load could pay for: a surface
    // the load left out is not built by copying it.
    r->vbo.mostVertices = vbo.mostVertices;
    return r;
}

void Revoluton::symmetries(std::vector<symmetry::TSymmetry>& list, const vec3& point, const vec3& axis, bool mirrorX,
                           bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ, int count,
                           std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, int itemId,
                           bool section) {
    revolutonSymmetries(*this, {list,
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

void Revoluton::sculpt(std::vector<Sculptor*>& gestures) { sculptRevoluton(*this, gestures); }

void Revoluton::DataWrite(buffer& b) { writeRecord(b, RecordTag); }

}  // namespace qel
