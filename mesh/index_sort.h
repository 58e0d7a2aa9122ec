#pragma once
// Sorting lists of vertex or face indices, as the stroke and the normals
// round moved vertices need them: thousands of indices gathered cell by
// cell or fan by fan, whose order then decides what is read and written.

#include <cstdint>
#include <vector>

namespace qel {

// Puts indices in increasing order. Lists of a few hundred and more, all
// indices non-negative, are ordered by a radix sort of 11-bit digits (two
// passes below 2^22, three above), which costs a few passes over the list
// where a comparison sort costs a few dozen; shorter lists and lists with
// a negative entry go to std::sort. Keeps a scratch list per thread.
void sortIndices(std::vector<std::int32_t>& list);

// The same, each index then kept once.
void sortUniqueIndices(std::vector<std::int32_t>& list);

}  // namespace qel
