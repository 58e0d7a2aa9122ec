#pragma once
// Gradient noise on an integer lattice (quintic fade, 12 edge gradients,
// hashed through a fixed permutation) in two and three dimensions, a sum of
// octaves of the 2-D noise, and a random sum of cosine waves.

#include <vector>

namespace qel {

class Noise {
public:
    // The reference permutation of the published improved-noise algorithm.
    static const int p[256];
    // The 12 gradient directions (edge midpoints of the unit cube).
    static const int grad3[12][3];
    // perm[i] = p[i mod 256], permMod12[i] = perm[i] mod 12 for i < 512; zero
    // until init() fills them.
    static std::vector<int> perm;
    static std::vector<int> permMod12;
    static bool Initialized;

    // Fills perm and permMod12 once.
    static void init();

    // Gradient noise, about [-1, 1]; 0 at every integer lattice point.
    static float noise(float x, float y);
    static float noise(float x, float y, float z);

    // Sum of `octaves` octaves of the 2-D noise: octave i samples at
    // (p[(seed + i) mod 256] + x + o, p[(octaves + seed + i) mod 256] + y + o),
    // o = 0.5 for odd i, with x, y scaled by `frequency` and the amplitude by
    // `amplitude` after each octave. The seed may be negative (the modulo is
    // taken non-negative). 0 for fewer than one octave.
    static float noise2(float x, float y, int seed, float frequency, float amplitude, int octaves);

    // Overwrites the array with n cosine waves: wave k (1..n) has k periods
    // over the array, amplitude 1.5^-k and a phase from rand().
    static void fourier1(std::vector<float>& values, int n);
};

}  // namespace qel
