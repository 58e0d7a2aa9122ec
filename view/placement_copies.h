#pragma once
// The symmetric copies of an object about to be placed, shared by the
// assembly picking and the start of a drawing: the size a placed copy takes
// from the brush, and the merging of copies that fall onto each other.

#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/symmetry.h"

namespace qel {

class GLView;

namespace placement {

// The size of a placed copy with `pixel` the length of one screen pixel in
// the receiving frame: the brush for Insert, one pixel for Draw (stood up
// from the picked surface when the pick hit an object), else the identity.
mat4 Scale(const GLView& view, double pixel);

// Copies closer than the snap distance are merged into the view's merge
// record (or the record replayed when it holds pairs); when any merged, what
// is left of the symmetry is laid out again from the merged first copy, and
// list becomes that symmetry. True when the record holds pairs.
bool MergeCopies(GLView& view, std::vector<vec3>& positions, std::vector<mat3>& frames,
                 std::vector<symmetry::TSymmetry>& list, double pixel);

}  // namespace placement
}  // namespace qel
