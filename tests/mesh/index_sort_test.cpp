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
