#pragma once
// Symmetry helpers used by every element's `symmetries` operation, by the
// sculpt selection and by the pickings of the view: the symmetry records,
// the copies of stamps (positions with frames) and of transforms, and the
// codes that label each copy with the symmetries that made it.
//
// Copy order, shared by every walk here: records in list order; a mirror
// appends the mirror image of every copy so far; a turn with count n appends
// n - 1 blocks, block b holding the first block turned b steps. With mirror X
// and a turn of 4 about Z: the stamp, its mirror, both turned once, both
// twice, both three times.

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
// images about the frame M, record by record in list order. scales is first
// resized to the number of points (new entries 1.0); nothing more happens
// when there are no points, the list is empty or the point and frame counts
// differ. A singular M is taken as the identity on the way in.
void Transforms(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, const mat4& M,
                const std::vector<TSymmetry>& list);

// The copies of stamp positions and frames (columns: the copy's axes)
// through every record of list about the symmetry frame: into it by its
// inverse, through the records, back by the frame. Nothing at all for empty
// lists, lists of different lengths or a frame that cannot be inverted.
void Replicate(std::vector<vec3>& positions, std::vector<mat3>& frames, const mat4& frame,
               const std::vector<TSymmetry>& list);
// Appends the mirror image across the plane normal to axis 0, 1 or 2 of every
// copy (the position's component and the frame's row negated); nothing for
// another axis. Each list is doubled on its own length.
void MirrorCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, int axis);
// Appends count - 1 blocks, each the block before turned by `turn`; nothing
// for a count below 2.
void RotateCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, const mat3& turn, int count);

// The symmetry transforms themselves: the identity (only into an empty list),
// then every entry so far mirrored or turned as the flags say, in List order.
void Matrices(std::vector<mat4>& transforms, bool mirrorX, bool mirrorY, bool mirrorZ, bool turnX, bool turnY,
              bool turnZ, int count);
// Appends mat4::Mirror(axis) x every entry.
void MirrorMatrices(std::vector<mat4>& transforms, const vec3& axis);
// Appends count - 1 blocks, each the block before turned by 2 pi / count
// about the axis; nothing for a count below 2.
void RotateMatrices(std::vector<mat4>& transforms, const vec3& axis, int count);

// Appends the code of every copy that Replicate makes of one stamp with
// list: bit t set when a record of type t took part (the stamp itself: 0).
void Codes(std::vector<std::uint8_t>& codes, const std::vector<TSymmetry>& list);

}  // namespace symmetry
}  // namespace qel
