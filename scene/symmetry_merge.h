#pragma once
// Merging of symmetric copies that fall onto each other: a stroke started on
// a mirror plane or a turning axis makes one stamp where several would
// stack. The copies come as parallel lists in the order of Replicate, with
// the codes of Codes; the merge record (kept, dropped) names each merged
// pair as it was decided, so that later steps of the same stroke replay the
// pairs instead of testing distances again.

#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "scene/symmetry.h"

namespace qel {
namespace symmetry {

// With an empty record (deciding): passes until a pass merges nothing; in a
// pass each copy i merges the first later copy j closer than distance
// (strictly) and goes on with i + 1. Merging j into i records the pair, puts
// i at the midpoint of both positions and of each of the axes lists, gives
// it the product of both weights and the intersection of both codes (count
// lowered by 1 when the codes are equal), and removes j from every list.
// With a record (replaying): the recorded pairs, in order, without distance
// tests and without recording; a pair naming a copy that is not there (the
// symmetry changed since) is skipped. Nothing at all when the lists differ
// in length.
void Merge(std::vector<vec3>& positions, std::vector<std::uint8_t>& codes, int& count,
           std::vector<std::vector<vec3>>& axes, std::vector<float>& weights, std::vector<int>& mergeKept,
           std::vector<int>& mergeDropped, float distance);
// As Merge, but the copy i keeps its position, weight and axes unchanged.
void Collapse(std::vector<vec3>& positions, std::vector<std::uint8_t>& codes, int& count,
              std::vector<std::vector<vec3>>& axes, std::vector<float>& weights, std::vector<int>& mergeKept,
              std::vector<int>& mergeDropped, float distance);
// Appends one record per symmetry type left in any code, in type order:
// {t, 0} for the mirrors, {t, count} for the turns.
void Rebuild(const std::vector<std::uint8_t>& codes, int count, std::vector<TSymmetry>& list);

}  // namespace symmetry
}  // namespace qel
