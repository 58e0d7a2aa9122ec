#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "mesh/index_sort.h"

using namespace qel;

// Lists short and long, of small indices, of indices past the two-digit
// range, up to the largest int, with repeats and with a negative entry:
// each ends as std::sort (and std::unique) leave it.
TEST(IndexSort, OrdersAsAComparisonSortDoes) {
    std::mt19937 rng(7);
    const std::uint32_t ranges[] = {100, 1u << 22, (1u << 22) + 5, 0x7fffffffu};
    for (const std::size_t n : {0u, 1u, 255u, 256u, 4097u, 60000u})
        for (const std::uint32_t range : ranges)
            for (const bool negative : {false, true}) {
                SCOPED_TRACE(testing::Message() << n << " below " << range << (negative ? " with -1" : ""));
                std::vector<std::int32_t> list(n);
                for (auto& v : list) v = std::int32_t(rng() % range);
                if (negative && n > 0) list[n / 2] = -1;
                std::vector<std::int32_t> expected = list;
                std::sort(expected.begin(), expected.end());
                std::vector<std::int32_t> sorted = list;
                sortIndices(sorted);
                EXPECT_EQ(sorted, expected);
                expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
                sortUniqueIndices(list);
                EXPECT_EQ(list, expected);
            }
}

// Entries ordered by their high word keep, within one high word, the order
// they came in, as std::stable_sort leaves them.
TEST(IndexSort, OrdersPairsByTheirHighWordAsAStableSortDoes) {
    std::mt19937 rng(11);
    for (const std::uint64_t below : {1ull, 300ull, (1ull << 22) + 9, 1ull << 32})
        for (const std::size_t n : {0u, 5u, 70000u}) {
            SCOPED_TRACE(testing::Message() << n << " below " << below);
            std::vector<std::uint64_t> list(n);
            for (auto& p : list) p = (rng() % below) << 32 | rng();
            std::vector<std::uint64_t> expected = list;
            std::stable_sort(expected.begin(), expected.end(),
                             [](std::uint64_t a, std::uint64_t b) { return (a >> 32) < (b >> 32); });
            sortByHighWord(list, below);
            EXPECT_EQ(list, expected);
        }
}
