// The rules of the space order: the radix sort of the vertex keys gives
// the order a comparison sort gives, and the Z-order numbers are a
// permutation with its inverse.

#include "mesh/space_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

using qel::vec3;
using Keyed = std::pair<std::uint64_t, std::int32_t>;

TEST(SpaceOrder, RadixSortOfKeysMatchesAComparisonSort) {
    std::mt19937_64 rng(5);
    // Keys spread over all 63 bits; keys that differ in one digit only
    // (the others shared by every pair, so their passes are skipped);
    // many equal keys, whose pairs keep their number order.
    auto wide = [&rng](int) { return rng() >> 1; };
    auto oneDigit = [&rng](int) { return (std::uint64_t(rng() & 0xffff) << 32) | 0x5555; };
    auto ties = [&rng](int) { return std::uint64_t(rng() % 37) << 48; };
    for (int which = 0; which < 3; ++which) {
        std::vector<Keyed> keyed;
        for (int i = 0; i < 20000; ++i)
            keyed.emplace_back(which == 0 ? wide(i) : which == 1 ? oneDigit(i) : ties(i), i);
        std::vector<Keyed> expected = keyed;
        std::sort(expected.begin(), expected.end());
        qel::spaceorder::sortKeyed(keyed);
        EXPECT_TRUE(keyed == expected) << which;
    }
}

TEST(SpaceOrder, ZOrderNumbersArePermutationsAndIgnoreNonFiniteCoordinates) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<vec3> points;
    for (int i = 0; i < 5000; ++i) points.emplace_back(u(rng), u(rng), u(rng));
    points[20] = vec3(-1.0f, -1.0f, -1.0f);  // the box's low corner
    points[10] = vec3(std::numeric_limits<float>::quiet_NaN(), -1.0f, -1.0f);
    std::vector<std::int32_t> from, renumber;
    qel::spaceorder::zOrder(
        int(points.size()),
        [&points](auto&& fn) {
            for (const vec3& p : points) fn(p);
        },
        from, renumber);
    ASSERT_EQ(from.size(), points.size());
    for (std::size_t i = 0; i < from.size(); ++i) EXPECT_EQ(renumber[std::size_t(from[i])], std::int32_t(i));
    // The point at the low corner comes first, after the point whose x is
    // not a number and which counts as lying at the low side in x (the
    // same key: the lower number first).
    EXPECT_EQ(from[0], 10);
    EXPECT_EQ(from[1], 20);
}
