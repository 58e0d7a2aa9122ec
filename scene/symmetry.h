#pragma once
// Symmetry helpers used by every element's `symmetries` operation
// and by the sculpt selection.

#include <cstdint>
#include <vector>

#include "core/mat.h"
#include "core/vec.h"

namespace qel {
namespace symmetry {

// A symmetry record: type and count (two i32).
// Types 0, 1, 2: mirror across the plane normal to the x, y, z axis of the
// symmetry frame (count 0). Types 3, 4, 5: radial symmetry about the x, y, z
// axis with count copies.
struct TSymmetry {
    enum Type : std::int32_t { MirrorX = 0, MirrorY = 1, MirrorZ = 2, RadialX = 3, RadialY = 4, RadialZ = 5 };
    std::int32_t type = 0;
    std::int32_t count = 0;
};
inline bool operator==(const TSymmetry& a, const TSymmetry& b) { return a.type == b.type && a.count == b.count; }
inline bool operator!=(const TSymmetry& a, const TSymmetry& b) { return !(a == b); }

// mat3::FrameYZ(hint, axis) with the hint chosen by the first flag that
// applies: radialX -> (1,0,0); mirrorX or radialY -> (0,1,0); mirrorY ->
// (1,0,0); radialZ or mirrorZ -> (0,0,1); none -> (0,1,0).
mat3 Frame(const vec3& axis, bool mirrorX, bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ);

// Appends, in this order: {0,0} if mirrorX, {1,0} if mirrorY, {2,0} if
// mirrorZ, {3,count} if radialX, {4,count} if radialY, {5,count} if radialZ.
void List(std::vector<TSymmetry>& list, bool mirrorX, bool mirrorY, bool mirrorZ, bool radialX, bool radialY,
          bool radialZ, int count);

// Expands points with their frames (and scales) into all their symmetric
// images about the frame M, record by record in list order. scales is first resized to the number of points (new entries
// 1.0); nothing more happens when there are no points, the list is empty or
// the point and frame counts differ.
void Transforms(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, const mat4& M,
                const std::vector<TSymmetry>& list);

}  // namespace symmetry
}  // namespace qel
