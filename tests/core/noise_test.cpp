// Gradient noise. Properties rather than restated formulas:
// range, lattice zeros, continuity, seed determinism.

#include "core/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

using qel::Noise;

TEST(NoiseTables, ReferencePermutation) {
    const int head[8] = {151, 160, 137, 91, 90, 15, 131, 13};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Noise::p[i], head[i]);
    EXPECT_EQ(Noise::p[255], 180);
    std::vector<int> sorted(Noise::p, Noise::p + 256);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(sorted[i], i);
    // Position-weighted checksum of the published table.
    long long sum = 0;
    for (int i = 0; i < 256; ++i) sum += (long long)(i + 1) * Noise::p[i];
    EXPECT_EQ(sum, 4406228);
}

TEST(NoiseTables, InitFillsDoubledTables) {
    EXPECT_EQ(Noise::perm.size(), 512u);
    Noise::init();
    EXPECT_TRUE(Noise::Initialized);
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(Noise::perm[i], Noise::p[i % 256]);
        EXPECT_EQ(Noise::permMod12[i], Noise::p[i % 256] % 12);
    }
    for (int g = 0; g < 12; ++g) {
        int nonzero = 0;
        for (int c = 0; c < 3; ++c) nonzero += Noise::grad3[g][c] != 0;
        EXPECT_EQ(nonzero, 2);
    }
}

TEST(NoiseValues, ZeroAtLatticePoints) {
    for (int x = -5; x <= 5; ++x)
        for (int y = -5; y <= 5; ++y) {
            EXPECT_EQ(Noise::noise(float(x), float(y)), 0.0f) << x << "," << y;
            for (int z = -3; z <= 3; ++z) EXPECT_EQ(Noise::noise(float(x), float(y), float(z)), 0.0f);
        }
    EXPECT_EQ(Noise::noise(300.0f, -1000.0f), 0.0f);
}

TEST(NoiseValues, RangeAndSpread) {
    float lo2 = 0, hi2 = 0, lo3 = 0, hi3 = 0;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 200; ++j) {
            const float x = -20.0f + i * 0.173f, y = -15.0f + j * 0.191f;
            const float n2 = Noise::noise(x, y);
            const float n3 = Noise::noise(x, y, 0.37f * float(i % 17) - 3.0f);
            ASSERT_TRUE(std::isfinite(n2) && std::isfinite(n3));
            lo2 = std::min(lo2, n2);
            hi2 = std::max(hi2, n2);
            lo3 = std::min(lo3, n3);
            hi3 = std::max(hi3, n3);
        }
    EXPECT_GE(lo2, -1.1f);
    EXPECT_LE(hi2, 1.1f);
    EXPECT_GE(lo3, -1.1f);
    EXPECT_LE(hi3, 1.1f);
    // Not a flat function: both signs, a sizeable spread.
    EXPECT_LT(lo2, -0.4f);
    EXPECT_GT(hi2, 0.4f);
    EXPECT_LT(lo3, -0.4f);
    EXPECT_GT(hi3, 0.4f);
}

TEST(NoiseValues, ContinuousAcrossCellsAndZero) {
    const float h = 1e-3f;
    const float starts[] = {-2.0f, -1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 3.0f, 255.0f, 256.0f};
    for (float x0 : starts)
        for (float y0 : starts) {
            // Straddle the cell edge on both sides.
            for (float dx : {-h, 0.0f, h}) {
                const float a = Noise::noise(x0 + dx, y0 + 0.3f);
                const float b = Noise::noise(x0 + dx + h, y0 + 0.3f);
                EXPECT_LT(std::fabs(a - b), 10 * h) << x0 << " " << y0;
                const float c = Noise::noise(x0 + 0.3f, y0 + dx, -0.7f);
                const float d = Noise::noise(x0 + 0.3f, y0 + dx + h, -0.7f);
                EXPECT_LT(std::fabs(c - d), 10 * h);
                const float e = Noise::noise(0.6f, x0 + 0.2f, y0 + dx);
                const float f = Noise::noise(0.6f, x0 + 0.2f, y0 + dx + h);
                EXPECT_LT(std::fabs(e - f), 10 * h);
            }
        }
}

TEST(NoiseValues, PeriodOf256Cells) {
    // Fractions exactly representable at both offsets.
    EXPECT_EQ(Noise::noise(0.25f, 0.75f), Noise::noise(256.25f, 0.75f));
    EXPECT_EQ(Noise::noise(-3.5f, 0.75f), Noise::noise(-3.5f, -255.25f));
    EXPECT_EQ(Noise::noise(0.25f, 0.5f, 0.75f), Noise::noise(-255.75f, 0.5f, 256.75f));
}

TEST(NoiseValues, HugeAndNonFiniteInputsAreSafe) {
    EXPECT_TRUE(std::isfinite(Noise::noise(3e9f, -3e9f)));
    EXPECT_TRUE(std::isfinite(Noise::noise(1e30f, 2.5f, -1e30f)));
    (void)Noise::noise(INFINITY, 0.5f);
    (void)Noise::noise(NAN, 0.5f, 0.5f);
}

TEST(NoiseOctaves, ZeroAndOneOctave) {
    EXPECT_EQ(Noise::noise2(0.3f, 0.4f, 7, 2.0f, 0.5f, 0), 0.0f);
    EXPECT_EQ(Noise::noise2(0.3f, 0.4f, 7, 2.0f, 0.5f, -3), 0.0f);
    for (int seed : {0, 7, 255, 300}) {
        const float x = 1.37f, y = -2.11f;
        EXPECT_EQ(Noise::noise2(x, y, seed, 2.0f, 0.5f, 1),
                  Noise::noise(Noise::p[seed % 256] + x, Noise::p[(1 + seed) % 256] + y));
    }
}

TEST(NoiseOctaves, SeedDeterminism) {
    const float a = Noise::noise2(0.37f, 1.91f, 42, 2.0f, 0.5f, 5);
    EXPECT_EQ(a, Noise::noise2(0.37f, 1.91f, 42, 2.0f, 0.5f, 5));
    // The seed only indexes the permutation modulo 256.
    EXPECT_EQ(a, Noise::noise2(0.37f, 1.91f, 42 + 256, 2.0f, 0.5f, 5));
    // Different seeds give different fields.
    int differ = 0;
    for (int s = 0; s < 10; ++s) differ += Noise::noise2(0.37f, 1.91f, s, 2.0f, 0.5f, 5) != a;
    EXPECT_GE(differ, 9);
}

TEST(NoiseOctaves, NegativeSeedUsesNonNegativeModulo) {
    for (int s : {-1, -7, -256, -1000}) {
        const int r = ((s % 256) + 256) % 256;
        EXPECT_EQ(Noise::noise2(0.37f, 1.91f, s, 2.0f, 0.5f, 4), Noise::noise2(0.37f, 1.91f, r, 2.0f, 0.5f, 4));
    }
    const float extreme = Noise::noise2(0.1f, 0.2f, -2147483647 - 1, 2.0f, 0.5f, 3);
    EXPECT_TRUE(std::isfinite(extreme));
}

TEST(NoiseOctaves, BoundedByAmplitudeSeries) {
    for (int i = 0; i < 500; ++i) {
        const float x = -30.0f + 0.137f * i, y = 11.0f - 0.071f * i;
        const float v = Noise::noise2(x, y, i, 2.0f, 0.5f, 8);
        EXPECT_LE(std::fabs(v), 2.2f);
    }
    // Many octaves with a growing frequency stay finite.
    EXPECT_TRUE(std::isfinite(Noise::noise2(0.3f, 0.4f, 1, 3.0f, 0.5f, 60)));
}

TEST(NoiseFourier, ZeroWavesGiveZeroes) {
    std::vector<float> v(37, 5.0f);
    Noise::fourier1(v, 0);
    ASSERT_EQ(v.size(), 37u);
    for (float x : v) EXPECT_EQ(x, 0.0f);
    std::vector<float> empty;
    Noise::fourier1(empty, 4);
    EXPECT_TRUE(empty.empty());
}

TEST(NoiseFourier, DeterministicBoundedAndPeriodic) {
    std::vector<float> a(64, 1.0f), b(64, -1.0f);
    std::srand(1234);
    Noise::fourier1(a, 6);
    std::srand(1234);
    Noise::fourier1(b, 6);
    EXPECT_EQ(a, b);
    // Amplitudes 1.5^-k sum below 2.
    for (float x : a) EXPECT_LE(std::fabs(x), 2.0f);
    // Whole periods over the array: the sum over all entries vanishes.
    double sum = 0;
    for (float x : a) sum += x;
    EXPECT_NEAR(sum, 0.0, 1e-4);
    // Neighbouring entries are close (the highest wave has 6 periods).
    for (std::size_t i = 1; i < a.size(); ++i) EXPECT_LT(std::fabs(a[i] - a[i - 1]), 1.0f);
}

TEST(NoiseFourier, OneWaveIsACosine) {
    std::vector<float> v(100);
    std::srand(99);
    const double phase = std::rand();
    std::srand(99);
    Noise::fourier1(v, 1);
    for (std::size_t i = 0; i < v.size(); ++i)
        EXPECT_NEAR(v[i], std::cos(i * 2 * 3.14159265358979323846 / 100 + phase) / 1.5, 1e-6);
}
