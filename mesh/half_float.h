#pragma once
// IEEE 754 binary16 ("half float") encoding of vertex attributes. Normals go
// to the GPU as three halves (6 bytes instead of 12), which halves the upload
// of the array that sculpting refreshes most often after the positions.
//
// Rounding is to nearest, ties to even. Magnitudes from 65520 up become
// infinity, values below the normal half range become subnormal halves (or
// zero), infinities stay infinite and every NaN stays a NaN. The sign is
// always kept, -0 included.

#include <cstdint>
#include <cstring>

#include "core/vec.h"
#include "gl/buffer.h"

namespace qel {

// The half nearest to f.
inline std::uint16_t halfFromFloat(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const std::uint16_t sign = std::uint16_t((bits >> 16) & 0x8000u);
    const std::uint32_t abs = bits & 0x7FFFFFFFu;

    if (abs >= 0x7F800000u) {
        // Infinity keeps a zero mantissa; a NaN gets the quiet bit so that a
        // payload living only in the low float bits cannot turn into infinity.
        if (abs == 0x7F800000u) return std::uint16_t(sign | 0x7C00u);
        return std::uint16_t(sign | 0x7E00u | ((abs >> 13) & 0x03FFu));
    }
    if (abs >= 0x38800000u) {
        // Normal half range (2^-14 and up): rebias the exponent (127 -> 15)
        // and round the 13 dropped mantissa bits; a carry may step into the
        // next exponent, up to infinity.
        const std::uint32_t rebased = abs - 0x38000000u;
        const std::uint32_t rounded = (rebased + 0x0FFFu + ((rebased >> 13) & 1u)) >> 13;
        return std::uint16_t(sign | (rounded >= 0x7C00u ? 0x7C00u : rounded));
    }
    if (abs <= 0x33000000u) {
        // At or below half the smallest subnormal (2^-25): the tie goes to the
        // even neighbour, zero.
        return sign;
    }
    // Subnormal half: the value in units of 2^-24, rounded to nearest even.
    // With the float exponent e in [102, 112] the shift is 14..24.
    const std::uint32_t mantissa = (abs & 0x007FFFFFu) | 0x00800000u;
    const unsigned shift = 126u - (abs >> 23);
    std::uint32_t units = mantissa >> shift;
    const std::uint32_t rest = mantissa & ((1u << shift) - 1u);
    const std::uint32_t halfway = 1u << (shift - 1u);
    if (rest > halfway || (rest == halfway && (units & 1u))) ++units;  // 0x400 is the smallest normal
    return std::uint16_t(sign | units);
}

// Writes the three halves of v to dst (6 bytes in the machine's byte order,
// which is the order the GPU reads) and returns the byte after them.
inline std::uint8_t* writeHalf3(std::uint8_t* dst, const vec3& v) {
    const std::uint16_t h[3] = {halfFromFloat(v.x), halfFromFloat(v.y), halfFromFloat(v.z)};
    std::memcpy(dst, h, sizeof h);
    return dst + sizeof h;
}

// Appends the three halves of v to the record buffer (6 bytes).
inline void writeHalf3(buffer& b, const vec3& v) {
    b.writeU16(halfFromFloat(v.x));
    b.writeU16(halfFromFloat(v.y));
    b.writeU16(halfFromFloat(v.z));
}

}  // namespace qel
