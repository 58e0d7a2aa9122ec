#pragma once
// The symmetric copies of a pick that fall onto each other, merged into one:
// the merge (or its replay from the record), then the copies laid out again
// from the merged first copy with what is left of the symmetry.

#include <vector>

#include "core/mat.h"
#include "core/vec.h"
#include "scene/symmetry.h"

namespace qel {

// positions and frames are the copies Replicate made with list (identity
// symmetry frame); items is the view's count of turned copies. With an empty
// record the copies closer than distance are merged and recorded, else the
// record is replayed; collapse keeps each kept copy where it is instead of
// moving it to the midpoint. When the record is not empty afterwards, list
// becomes what is left of the symmetry and the copies are made again from
// the first one, whose frame is rebuilt from its merged axes; returns true.
bool mergeCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list,
                 int items, std::vector<int>& kept, std::vector<int>& dropped, float distance, bool collapse);

}  // namespace qel
