#pragma once
// Sorting lists of vertex, face or corner indices, as the stroke, the
// normals round moved vertices and the position refill need them:
// thousands of indices gathered cell by cell or fan by fan, whose order
// then decides what is read and written. Both sorts are radix sorts of
// 11-bit digits, a few passes over a list that stays in cache where a
// comparison sort takes a few dozen; each keeps a scratch list per thread.

#include <cstdint>
#include <vector>

namespace qel {

// Puts indices in increasing order. Lists of a few hundred and more, all
// indices non-negative, take the radix sort (two passes below 2^22, three
// above); shorter lists and lists with a negative entry go to std::sort.
void sortIndices(std::vector<std::int32_t>& list);

// The same, each index then kept once.
void sortUniqueIndices(std::vector<std::int32_t>& list);

// Puts 64-bit entries (an index in the high 32 bits, all below `below`,
// what goes with it in the low ones) in increasing order of the index,
// entries of one index in the order they came.
void sortByHighWord(std::vector<std::uint64_t>& list, std::uint64_t below);

}  // namespace qel
