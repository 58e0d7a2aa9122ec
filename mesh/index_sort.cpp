#include "mesh/index_sort.h"

#include <algorithm>
#include <utility>

namespace qel {

void sortIndices(std::vector<std::int32_t>& list) {
    constexpr int Bits = 11, Radix = 1 << Bits;
    const std::size_t n = list.size();
    std::uint32_t all = 0;
    for (const std::int32_t v : list) all |= std::uint32_t(v);
    if (n < 256 || (all >> 31) != 0) {
        std::sort(list.begin(), list.end());
        return;
    }
    const int passes = (all >> (2 * Bits)) != 0 ? 3 : 2;
    thread_local std::vector<std::int32_t> scratch;
    scratch.resize(n);
    std::uint32_t count[3][Radix] = {};
    for (const std::int32_t v : list) {
        const std::uint32_t u = std::uint32_t(v);
        ++count[0][u & (Radix - 1)];
        ++count[1][(u >> Bits) & (Radix - 1)];
        ++count[2][u >> (2 * Bits)];
    }
    for (int d = 0; d < passes; ++d)
        for (std::uint32_t b = 0, sum = 0; b < Radix; ++b) {
            const std::uint32_t c = count[d][b];
            count[d][b] = sum;
            sum += c;
        }
    std::vector<std::int32_t>* from = &list;
    std::vector<std::int32_t>* to = &scratch;
    for (int d = 0; d < passes; ++d) {
        std::uint32_t* const slot = count[d];
        const int shift = Bits * d;
        std::int32_t* const out = to->data();
        for (const std::int32_t v : *from) out[slot[(std::uint32_t(v) >> shift) & (Radix - 1)]++] = v;
        std::swap(from, to);
    }
    // An odd number of passes leaves the order in the scratch list.
    if (from != &list) list.swap(scratch);
}

void sortUniqueIndices(std::vector<std::int32_t>& list) {
    sortIndices(list);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

}  // namespace qel
