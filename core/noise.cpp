// Gradient noise.

#include "core/noise.h"

#include <cmath>
#include <cstdlib>

namespace qel {

const int Noise::p[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

const int Noise::grad3[12][3] = {{1, 1, 0},  {-1, 1, 0},  {1, -1, 0},  {-1, -1, 0}, {1, 0, 1},  {-1, 0, 1},
                                 {1, 0, -1}, {-1, 0, -1}, {0, 1, 1},   {0, -1, 1},  {0, 1, -1}, {0, -1, -1}};

std::vector<int> Noise::perm(512, 0);
std::vector<int> Noise::permMod12(512, 0);
bool Noise::Initialized = false;

void Noise::init() {
    if (Initialized) return;
    perm.assign(512, 0);
    permMod12.assign(512, 0);
    for (int i = 0; i < 512; ++i) {
        perm[i] = p[i & 255];
        permMod12[i] = perm[i] % 12;
    }
    Initialized = true;
}

namespace {

// Cell index and fraction of a coordinate: trunc(c) for c > 0, trunc(c) - 1
// otherwise; the index reduced to 0..255. Computed in float without an int
// conversion of the full index, so any finite coordinate is safe.
void cell(float c, int& index, float& frac) {
    const float t = std::trunc(c);
    const float i = c > 0 ? t : t - 1.0f;
    frac = c - i;
    const float r = std::fmod(i, 256.0f);  // exact, in (-256, 256); NaN for inf / NaN
    index = std::isfinite(r) ? (int(r) & 255) : 0;
}

inline float fade(float t) { return t * t * t * (10.0f + t * (-15.0f + 6.0f * t)); }
inline float mix(float a, float b, float t) { return a * (1.0f - t) + b * t; }

inline float dot2(int g, float x, float y) { return float(Noise::grad3[g][0]) * x + float(Noise::grad3[g][1]) * y; }
inline float dot3(int g, float x, float y, float z) {
    return float(Noise::grad3[g][0]) * x + float(Noise::grad3[g][1]) * y + float(Noise::grad3[g][2]) * z;
}

inline int mod256(long long v) { return int(((v % 256) + 256) % 256); }

}  // namespace

float Noise::noise(float x, float y) {
    init();
    int X, Y;
    float fx, fy;
    cell(x, X, fx);
    cell(y, Y, fy);
    const int* P = perm.data();
    const int* M = permMod12.data();
    const int g00 = M[P[Y] + X];
    const int g01 = M[P[Y + 1] + X];
    const int g10 = M[P[Y] + X + 1];
    const int g11 = M[P[Y + 1] + X + 1];
    const float e00 = dot2(g00, fx, fy);
    const float e01 = dot2(g01, fx, fy - 1.0f);
    const float e10 = dot2(g10, fx - 1.0f, fy);
    const float e11 = dot2(g11, fx - 1.0f, fy - 1.0f);
    const float u = fade(fx), v = fade(fy);
    return v * (u * e11 + (1.0f - u) * e01) + (1.0f - v) * (u * e10 + (1.0f - u) * e00);
}

float Noise::noise(float x, float y, float z) {
    init();
    int X, Y, Z;
    float fx, fy, fz;
    cell(x, X, fx);
    cell(y, Y, fy);
    cell(z, Z, fz);
    const int* P = perm.data();
    const int* M = permMod12.data();
    // z hashed first, x last.
    const int A0 = P[P[Z] + Y] + X;
    const int A1 = P[P[Z] + Y + 1] + X;
    const int B0 = P[P[Z + 1] + Y] + X;
    const int B1 = P[P[Z + 1] + Y + 1] + X;
    const float e000 = dot3(M[A0], fx, fy, fz);
    const float e100 = dot3(M[A0 + 1], fx - 1.0f, fy, fz);
    const float e010 = dot3(M[A1], fx, fy - 1.0f, fz);
    const float e110 = dot3(M[A1 + 1], fx - 1.0f, fy - 1.0f, fz);
    const float e001 = dot3(M[B0], fx, fy, fz - 1.0f);
    const float e101 = dot3(M[B0 + 1], fx - 1.0f, fy, fz - 1.0f);
    const float e011 = dot3(M[B1], fx, fy - 1.0f, fz - 1.0f);
    const float e111 = dot3(M[B1 + 1], fx - 1.0f, fy - 1.0f, fz - 1.0f);
    const float u = fade(fx), v = fade(fy), w = fade(fz);
    const float x00 = mix(e000, e100, u), x10 = mix(e010, e110, u);
    const float x01 = mix(e001, e101, u), x11 = mix(e011, e111, u);
    const float y0 = mix(x00, x10, v), y1 = mix(x01, x11, v);
    return mix(y0, y1, w);
}

float Noise::noise2(float x, float y, int seed, float frequency, float amplitude, int octaves) {
    if (octaves < 1) return 0.0f;
    float amp = 1.0f;
    float sum = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        const float o = (i & 1) ? 0.5f : 0.0f;
        const float px = float(p[mod256((long long)seed + i)]) + x + o;
        const float py = float(p[mod256((long long)octaves + seed + i)]) + y + o;
        sum += amp * noise(px, py);
        x *= frequency;
        y *= frequency;
        amp *= amplitude;
    }
    return sum;
}

void Noise::fourier1(std::vector<float>& values, int n) {
    for (float& v : values) v = 0.0f;
    const double s = double(values.size());
    const double twoPi = 2.0 * 3.14159265358979323846;
    double amp = 1.0;
    for (int k = 1; k <= n; ++k) {
        amp /= 1.5;
        const double phase = double(std::rand());
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = float(values[i] + std::cos(double(i) * k * twoPi / s + phase) * amp);
    }
}

}  // namespace qel
