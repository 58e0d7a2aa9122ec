#pragma once
// The symmetric copies of an object about to be placed, shared by the
// assembly picking, the start of a drawing and the picking that follows a
// Place or Draw gesture: the size a placed copy takes from the brush, and the
// merging of copies that fall onto each other.

#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/symmetry.h"

namespace qel {

class GLView;

namespace placement {

// The view's symmetry as the list of operations Replicate takes.
std::vector<symmetry::TSymmetry> Symmetry(const GLView& view);

// The symmetric copies of the view's pick laid out in the frame R (a turn of
// the picked object's frame): copy 0 at the picked point with its frame made
// about the direction n (in the picked object's frame, turned into R when
// `screen`, else brought into R after), then replicated by the view's
// symmetry, which list becomes.
void Copies(const GLView& view, const mat3& R, bool screen, const vec3& n, std::vector<vec3>& positions,
            std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list);

// The size of a placed copy with `pixel` the length of one screen pixel in
// the receiving frame: the brush for Insert, one pixel for Draw (stood up
// from the picked surface when the pick hit an object), else the identity.
mat4 Scale(const GLView& view, double pixel);

// positions and frames are the copies Replicate made with list (identity
// symmetry frame); items is the view's count of turned copies. With an empty
// record the copies closer than distance are merged and recorded, else the
// record is replayed; collapse keeps each kept copy where it is instead of
// moving it to the midpoint. When the record is not empty afterwards, list
// becomes what is left of the symmetry and the copies are made again from
// the first one, whose frame is rebuilt from its merged axes; returns true.
bool MergeCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list,
                 int items, std::vector<int>& kept, std::vector<int>& dropped, float distance, bool collapse);

// Copies closer than the snap distance (with `pixel` the length of one screen
// pixel in the copies' frame) are merged into the view's merge record, or the
// record replayed when it holds pairs, as above. True when the record holds
// pairs.
bool MergeCopies(GLView& view, std::vector<vec3>& positions, std::vector<mat3>& frames,
                 std::vector<symmetry::TSymmetry>& list, double pixel);

}  // namespace placement
}  // namespace qel
