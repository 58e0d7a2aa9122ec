// Half-float encoding of vertex normals: rounding, the ends of the half
// range, subnormals, infinities and NaN.

#include "mesh/half_float.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using qel::halfFromFloat;

TEST(HalfFloat, RoundsToNearestEvenAcrossTheWholeRange) {
    const struct {
        float in;
        std::uint16_t out;
    } cases[] = {
        {-0.0f, 0x8000},
        {1.0f + 1.0f / 2048, 0x3C00},          // tie: to even
        {1.0f + 3.0f / 2048, 0x3C02},          // tie: to even
        {std::nextafter(2.0f, 0.0f), 0x4000},  // carry into the exponent
        {65519.0f, 0x7BFF},                    // largest half
        {-65520.0f, 0xFC00},                   // overflow to infinity
        {std::numeric_limits<float>::max(), 0x7C00},
        {-std::numeric_limits<float>::infinity(), 0xFC00},
        {std::nextafter(std::ldexp(1.0f, -14), 0.0f), 0x0400},  // rounds up to the smallest normal
        {std::ldexp(1023.0f, -24), 0x03FF},                     // largest subnormal
        {std::ldexp(1.0f, -25), 0x0000},                        // half a unit: to even (zero)
        {std::nextafter(std::ldexp(1.0f, -25), 1.0f), 0x0001},
        {std::ldexp(3.0f, -25), 0x0002},  // 1.5 units: to even
        {-1e-10f, 0x8000},
    };
    for (const auto& c : cases) EXPECT_EQ(halfFromFloat(c.in), c.out) << c.in;
}

TEST(HalfFloat, NaNStaysNaNAndWriteHalf3AppendsSixBytes) {
    // A payload only in the 13 dropped bits must not turn into infinity.
    const std::uint32_t low = 0xFF800001u;
    float f;
    std::memcpy(&f, &low, sizeof f);
    EXPECT_GT(halfFromFloat(f), 0xFC00u);

    qel::buffer b;
    b.writeU8(0xAB);
    qel::writeHalf3(b, qel::vec3(1.0f, -2.0f, 65520.0f));
    const std::uint8_t expected[7] = {0xAB, 0x00, 0x3C, 0x00, 0xC0, 0x00, 0x7C};
    ASSERT_EQ(b.size(), 7);
    EXPECT_EQ(0, std::memcmp(b.data(), expected, 7));
}
