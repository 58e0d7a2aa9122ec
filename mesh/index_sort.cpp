#include "mesh/index_sort.h"

#include <algorithm>
#include <utility>

namespace qel {

namespace {

constexpr int Bits = 11, Radix = 1 << Bits;

// Orders list by `passes` digits of Bits bits from bit `shift` up, least
// significant first (each pass stable), through scratch.
template <class T>
void radixSort(std::vector<T>& list, std::vector<T>& scratch, int shift, int passes) {
    scratch.resize(list.size());
    std::vector<T>* from = &list;
    std::vector<T>* to = &scratch;
    for (int d = 0; d < passes; ++d) {
        const int s = shift + Bits * d;
        const auto digit = [s](T v) { return (std::uint64_t(v) >> s) & (Radix - 1); };
        std::uint32_t slot[Radix] = {};
        for (const T v : *from) ++slot[digit(v)];
        for (std::uint32_t b = 0, sum = 0; b < Radix; ++b) {
            const std::uint32_t c = slot[b];
            slot[b] = sum;
            sum += c;
        }
        T* const out = to->data();
        for (const T v : *from) out[slot[digit(v)]++] = v;
        std::swap(from, to);
    }
    // An odd number of passes leaves the order in the scratch list.
    if (from != &list) list.swap(scratch);
}

}  // namespace

void sortIndices(std::vector<std::int32_t>& list) {
    std::uint32_t all = 0;
    for (const std::int32_t v : list) all |= std::uint32_t(v);
    if (list.size() < 256 || (all >> 31) != 0) {
        std::sort(list.begin(), list.end());
        return;
    }
    thread_local std::vector<std::int32_t> scratch;
    radixSort(list, scratch, 0, (all >> (2 * Bits)) != 0 ? 3 : 2);
}

void sortUniqueIndices(std::vector<std::int32_t>& list) {
    sortIndices(list);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

void sortByHighWord(std::vector<std::uint64_t>& list, std::uint64_t below) {
    int passes = 0;
    while (passes < 3 && below > 0 && (below - 1) >> (Bits * passes) != 0) ++passes;
    thread_local std::vector<std::uint64_t> scratch;
    radixSort(list, scratch, 32, passes);
}

}  // namespace qel
