// Gradient noise. Properties rather than restated formulas: the table,
// range, lattice zeros, continuity, period, seed determinism, safe indexing.

#include "core/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

using qel::Noise;

TEST(Noise, PermutationLatticeZerosRangeContinuityAndPeriod) {
    long long sum = 0;  // position-weighted checksum of the published table
    for (int i = 0; i < 256; ++i) sum += (long long)(i + 1) * Noise::p[i];
    EXPECT_EQ(sum, 4406228);
    for (int k = 0; k < 121; ++k) {
        const float x = float(k % 11 - 5), y = float(k / 11 - 5);
        EXPECT_TRUE(Noise::noise(x, y) == 0.0f && Noise::noise(x, y, x - y) == 0.0f) << x << " " << y;
    }
    // Within about [-1, 1], with both signs and a sizeable spread.
    float lo = 0, hi = 0;
    for (int i = 0; i < 40000; ++i) {
        const float x = -20.0f + (i % 200) * 0.173f, y = -15.0f + (i / 200) * 0.191f;
        for (float n : {Noise::noise(x, y), Noise::noise(x, y, 0.37f * float(i % 17) - 3.0f)})
            lo = std::min(lo, n), hi = std::max(hi, n);
    }
    EXPECT_TRUE(lo >= -1.1f && hi <= 1.1f && lo < -0.4f && hi > 0.4f) << lo << " " << hi;
    const float h = 1e-3f;
    for (float x0 : {-1.0f, 0.0f, 1.0f, 255.0f, 256.0f})
        for (float x : {x0 - h, x0, x0 + h}) {  // straddle the cell edge
            EXPECT_LT(std::fabs(Noise::noise(x, 0.3f) - Noise::noise(x + h, 0.3f)), 10 * h);
            EXPECT_LT(std::fabs(Noise::noise(0.3f, x, -0.7f) - Noise::noise(0.3f, x + h, -0.7f)), 10 * h);
            EXPECT_LT(std::fabs(Noise::noise(0.6f, 0.2f, x) - Noise::noise(0.6f, 0.2f, x + h)), 10 * h);
        }
    // Period of 256 cells (fractions exactly representable at both offsets).
    EXPECT_EQ(Noise::noise(-3.5f, 0.75f), Noise::noise(-3.5f, -255.25f));
    EXPECT_EQ(Noise::noise(0.25f, 0.5f, 0.75f), Noise::noise(-255.75f, 0.5f, 256.75f));
    // Huge and non-finite inputs index the tables safely.
    EXPECT_TRUE(std::isfinite(Noise::noise(3e9f, -3e9f)) && std::isfinite(Noise::noise(1e30f, 2.5f, -1e30f)));
    (void)Noise::noise(INFINITY, 0.5f);
    (void)Noise::noise(NAN, 0.5f, 0.5f);
}

TEST(Noise, OctavesBySeedAndFourierWaves) {
    EXPECT_EQ(Noise::noise2(0.3f, 0.4f, 7, 2.0f, 0.5f, 0), 0.0f);
    EXPECT_EQ(Noise::noise2(1.37f, -2.11f, 300, 2.0f, 0.5f, 1),
              Noise::noise(Noise::p[44] + 1.37f, Noise::p[45] - 2.11f));
    const float a = Noise::noise2(0.37f, 1.91f, 42, 2.0f, 0.5f, 5);
    EXPECT_EQ(a, Noise::noise2(0.37f, 1.91f, 42 + 256, 2.0f, 0.5f, 5));
    EXPECT_EQ(a, Noise::noise2(0.37f, 1.91f, 42 - 512, 2.0f, 0.5f, 5));  // non-negative modulo
    EXPECT_NE(a, Noise::noise2(0.37f, 1.91f, 43, 2.0f, 0.5f, 5));
    EXPECT_TRUE(std::isfinite(Noise::noise2(0.1f, 0.2f, -2147483647 - 1, 2.0f, 0.5f, 3)));

    std::vector<float> v(37, 5.0f);
    Noise::fourier1(v, 0);
    EXPECT_EQ(v, std::vector<float>(37, 0.0f));
    // One wave: one period over the array, amplitude 1 / 1.5.
    std::srand(99);
    const double phase = std::rand();
    std::srand(99);
    Noise::fourier1(v, 1);
    for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_NEAR(v[i], std::cos(i * 2 * 3.14159265358979323846 / 37 + phase) / 1.5, 1e-6);
}
