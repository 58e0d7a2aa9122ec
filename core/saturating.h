#pragma once
// Counts that stop at the largest value of their type instead of wrapping:
// what is counted may be a product of nested repetitions far beyond it.

#include <limits>
#include <type_traits>

namespace qel {

template <class U>
constexpr U saturatingSum(U a, U b) {
    static_assert(std::is_unsigned<U>::value, "unsigned counts only");
    return a > std::numeric_limits<U>::max() - b ? std::numeric_limits<U>::max() : U(a + b);
}

}  // namespace qel
