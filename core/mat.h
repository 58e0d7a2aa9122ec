#pragma once
// 3x3 and 4x4 float matrices, stored row by row, acting on column vectors:
// M p with element (r, c) at index 3r + c (mat3) or 4r + c (mat4). The
// translation of a mat4 sits in elements 3, 7 and 11. A product A B applies B
// first. Factories widen to double for lengths, products, sines and cosines
// and round to float once.

#include "core/vec.h"

namespace qel {

struct mat4;

struct mat3 {
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    constexpr mat3() = default;
    constexpr mat3(float a0, float a1, float a2, float a3, float a4, float a5, float a6, float a7, float a8)
        : m{a0, a1, a2, a3, a4, a5, a6, a7, a8} {}

    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    float& at(int r, int c) { return m[3 * r + c]; }
    float at(int r, int c) const { return m[3 * r + c]; }
    vec3 row(int r) const { return {m[3 * r], m[3 * r + 1], m[3 * r + 2]}; }
    vec3 column(int c) const { return {m[c], m[3 + c], m[6 + c]}; }
    void setColumn(int c, const vec3& v) { m[c] = v.x; m[3 + c] = v.y; m[6 + c] = v.z; }
    void setRow(int r, const vec3& v) { m[3 * r] = v.x; m[3 * r + 1] = v.y; m[3 * r + 2] = v.z; }

    static constexpr mat3 Identity() { return mat3(); }
    mat3 transposed() const;
    double determinant() const;
    // General inverse by cofactors; the identity when the determinant is 0 or
    // not finite.
    mat3 inverse() const;
    // In-place product: *this = *this * b.
    mat3& operator*=(const mat3& b);

    static mat3 Scale(float sx, float sy, float sz);
    static mat3 Scale(vec3 n, float s);
    static mat3 Mirror(vec3 n);
    static mat3 Rotation(float a, float b, float c);
    static mat3 Rotation(const vec3& a, const vec3& b);
    static mat3 RotationScale(const vec3& a, const vec3& b);
    static mat3 RotationAroundAxis(vec3 axis, float angle);
    static mat3 Frame(vec3 d);
    static mat3 FrameXZ(vec3 x, vec3 z);
    static mat3 FrameYZ(vec3 y, vec3 z);
    // The uniform scale is the real cube root of the determinant (a mirrored
    // matrix gives a negative scale); when the determinant is 0 or not finite
    // ConstrainedAngle returns 0 and ConstrainedRotation returns M unchanged.
    static double ConstrainedAngle(mat3 M, vec3 axis);
    // s F Rz(theta) F^T with theta = ConstrainedAngle(M, axis) and Rz the
    // right-handed turn about Z, rows (cos, -sin, 0), (sin, cos, 0), (0, 0, 1)
    // (the transpose of Rotation(0, 0, theta)): a turn about the axis is
    // reduced to itself.
    static mat3 ConstrainedRotation(mat3 M, vec3 axis);
};

// Inline arithmetic. Products accumulate in double and round to float once.
inline mat3 operator*(const mat3& a, const mat3& b) {
    mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[3 * i + j] = float(double(a.m[3 * i]) * b.m[j] + double(a.m[3 * i + 1]) * b.m[3 + j] +
                                   double(a.m[3 * i + 2]) * b.m[6 + j]);
    return r;
}
inline mat3& mat3::operator*=(const mat3& b) { return *this = *this * b; }
inline vec3 operator*(const mat3& a, const vec3& v) {
    return {float(double(a.m[0]) * v.x + double(a.m[1]) * v.y + double(a.m[2]) * v.z),
            float(double(a.m[3]) * v.x + double(a.m[4]) * v.y + double(a.m[5]) * v.z),
            float(double(a.m[6]) * v.x + double(a.m[7]) * v.y + double(a.m[8]) * v.z)};
}
inline mat3 operator*(const mat3& a, float s) {
    mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = a.m[i] * s;
    return r;
}
inline mat3 operator*(float s, const mat3& a) { return a * s; }
inline mat3 operator+(const mat3& a, const mat3& b) {
    mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = a.m[i] + b.m[i];
    return r;
}
inline mat3 operator-(const mat3& a, const mat3& b) {
    mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = a.m[i] - b.m[i];
    return r;
}
inline mat3& operator+=(mat3& a, const mat3& b) { return a = a + b; }
inline mat3& operator-=(mat3& a, const mat3& b) { return a = a - b; }
inline mat3& operator*=(mat3& a, float s) { return a = a * s; }
inline bool operator==(const mat3& a, const mat3& b) {
    for (int i = 0; i < 9; ++i)
        if (a.m[i] != b.m[i]) return false;
    return true;
}
inline bool operator!=(const mat3& a, const mat3& b) { return !(a == b); }
// (A, B): the mat3 equal to (upper-left 3x3 block of B) * A.
mat3 operator*(const mat3& a, const mat4& b);

struct mat4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    constexpr mat4() = default;
    constexpr mat4(float a0, float a1, float a2, float a3, float a4, float a5, float a6, float a7, float a8,
                   float a9, float a10, float a11, float a12, float a13, float a14, float a15)
        : m{a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15} {}

    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    float& at(int r, int c) { return m[4 * r + c]; }
    float at(int r, int c) const { return m[4 * r + c]; }
    vec3 translation() const { return {m[3], m[7], m[11]}; }
    void setTranslation(const vec3& t) { m[3] = t.x; m[7] = t.y; m[11] = t.z; }
    // The upper-left 3x3 block.
    mat3 block() const;
    void setBlock(const mat3& b);

    static constexpr mat4 Identity() { return mat4(); }
    mat4 transposed() const;
    // Affine inverse: the 3x3 block inverted by cross products over its
    // determinant, translation -R t, last row 0 0 0 1.
    mat4 inverse() const;
    // The same affine inverse as a static function: inverse(M) == M.inverse().
    static mat4 inverse(const mat4& M);
    // The affine inverse into out; false (out untouched) when the block's
    // determinant is 0 or not finite, or the inverse is not finite. For
    // callers that must never store inf or NaN.
    bool tryInverse(mat4& out) const;
    // Every element is finite.
    bool isFinite() const;
    // General 4x4 inverse by cofactors (double steps); the identity when the
    // determinant is 0 or not finite.
    mat4 inverseFull() const;

    // M p for a point (translation included, no division by w).
    vec3 transformPoint(const vec3& p) const;
    // M p with the division by w.
    vec3 transformProject(const vec3& p) const;
    // The 3x3 block times a direction (translation ignored).
    vec3 transformVector(const vec3& v) const;

    static mat4 FromMat3(const mat3& a);
    static mat4 Scale(float s);
    static mat4 Scale(float sx, float sy, float sz);
    static mat4 Rotation(float a, float b, float c);
    static mat4 Rotation(const vec3& a, const vec3& b);
    static mat4 RotationScale(const vec3& a, const vec3& b);
    static mat4 RotationScaleCenter(const vec3& centre, const vec3& a, const vec3& b);
    static mat4 Translation(const vec3& t);
    static mat4 Translation(float x, float y, float z);
    static mat4 Mirror(const vec3& n);
    static mat4 Mirror(const vec3& n, const vec3& point);
    static mat4 ConstrainedTranslation(const mat4& M, vec3 axis);
    static mat4 ConstrainedRotation(const mat4& M, vec3 axis);
};

// Product formed in double precision and rounded to float once.
inline mat4 operator*(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[4 * i + j] = float(double(a.m[4 * i]) * b.m[j] + double(a.m[4 * i + 1]) * b.m[4 + j] +
                                   double(a.m[4 * i + 2]) * b.m[8 + j] + double(a.m[4 * i + 3]) * b.m[12 + j]);
    return r;
}
inline mat4& operator*=(mat4& a, const mat4& b) { return a = a * b; }
inline vec4 operator*(const mat4& a, const vec4& v) {
    vec4 r;
    for (int i = 0; i < 4; ++i)
        r[i] = float(double(a.m[4 * i]) * v.x + double(a.m[4 * i + 1]) * v.y + double(a.m[4 * i + 2]) * v.z +
                     double(a.m[4 * i + 3]) * v.w);
    return r;
}
inline mat4 operator*(const mat4& a, float s) {
    mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] * s;
    return r;
}
inline mat4 operator*(float s, const mat4& a) { return a * s; }
inline mat4 operator+(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] + b.m[i];
    return r;
}
inline mat4 operator-(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = a.m[i] - b.m[i];
    return r;
}
inline bool operator==(const mat4& a, const mat4& b) {
    for (int i = 0; i < 16; ++i)
        if (a.m[i] != b.m[i]) return false;
    return true;
}
inline bool operator!=(const mat4& a, const mat4& b) { return !(a == b); }

inline vec3 mat4::transformPoint(const vec3& p) const {
    return {float(double(m[0]) * p.x + double(m[1]) * p.y + double(m[2]) * p.z + m[3]),
            float(double(m[4]) * p.x + double(m[5]) * p.y + double(m[6]) * p.z + m[7]),
            float(double(m[8]) * p.x + double(m[9]) * p.y + double(m[10]) * p.z + m[11])};
}
inline vec3 mat4::transformVector(const vec3& v) const {
    return {float(double(m[0]) * v.x + double(m[1]) * v.y + double(m[2]) * v.z),
            float(double(m[4]) * v.x + double(m[5]) * v.y + double(m[6]) * v.z),
            float(double(m[8]) * v.x + double(m[9]) * v.y + double(m[10]) * v.z)};
}
inline vec3 mat4::transformProject(const vec3& p) const {
    const double x = double(m[0]) * p.x + double(m[1]) * p.y + double(m[2]) * p.z + m[3];
    const double y = double(m[4]) * p.x + double(m[5]) * p.y + double(m[6]) * p.z + m[7];
    const double z = double(m[8]) * p.x + double(m[9]) * p.y + double(m[10]) * p.z + m[11];
    const double w = double(m[12]) * p.x + double(m[13]) * p.y + double(m[14]) * p.z + m[15];
    return {float(x / w), float(y / w), float(z / w)};
}
inline mat3 mat4::block() const { return {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]}; }
inline void mat4::setBlock(const mat3& b) {
    m[0] = b.m[0]; m[1] = b.m[1]; m[2] = b.m[2];
    m[4] = b.m[3]; m[5] = b.m[4]; m[6] = b.m[5];
    m[8] = b.m[6]; m[9] = b.m[7]; m[10] = b.m[8];
}

}  // namespace qel
