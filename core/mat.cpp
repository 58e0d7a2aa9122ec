// The outline members and static factories of qel::mat3 and
// qel::mat4. Float inputs are widened to double; lengths, dot and cross
// products, sines and cosines are formed in double and every result is
// rounded to float once.

#include "core/mat.h"

#include <cmath>

namespace qel {

namespace {

// A 3x3 matrix in double, row by row, for the intermediate steps.
struct dmat3 {
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

dmat3 dmul(const dmat3& a, const dmat3& b) {
    dmat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[3 * i + j] = a.m[3 * i] * b.m[j] + a.m[3 * i + 1] * b.m[3 + j] + a.m[3 * i + 2] * b.m[6 + j];
    return r;
}

dvec3 dmul(const dmat3& a, const dvec3& v) {
    return {a.m[0] * v.x + a.m[1] * v.y + a.m[2] * v.z, a.m[3] * v.x + a.m[4] * v.y + a.m[5] * v.z,
            a.m[6] * v.x + a.m[7] * v.y + a.m[8] * v.z};
}

mat3 toFloat(const dmat3& a) {
    mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = float(a.m[i]);
    return r;
}

dmat3 toDouble(const mat3& a) {
    dmat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = a.m[i];
    return r;
}

// The normalising rule in double: divide by the length only when the squared
// length exceeds 1e-20, otherwise keep the vector as it is.
dvec3 dnormalize(const dvec3& v) {
    const double l2 = dot(v, v);
    if (l2 <= NormalizeEpsilon) return v;
    const double l = std::sqrt(l2);
    return {v.x / l, v.y / l, v.z / l};
}

dvec3 widen(const vec3& v) { return dvec3(v); }
vec3 narrow(const dvec3& v) { return {float(v.x), float(v.y), float(v.z)}; }

// I + s K + (1 - c) K^2, K the cross-product matrix of k. For a unit k this is
// the right-handed rotation by the angle of sine s and cosine c about k; for
// k = 0 it is I.
dmat3 axisRotation(const dvec3& k, double s, double c) {
    const double t = 1.0 - c;
    const double kk = dot(k, k);
    const double K[9] = {0, -k.z, k.y, k.z, 0, -k.x, -k.y, k.x, 0};
    const double kv[3] = {k.x, k.y, k.z};
    dmat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double k2 = kv[i] * kv[j] - (i == j ? kk : 0.0);
            r.m[3 * i + j] = (i == j ? 1.0 : 0.0) + s * K[3 * i + j] + t * k2;
        }
    return r;
}

// A unit vector across a non-zero v: the coordinate axis along which v has
// its smallest component (the first of equals), made perpendicular to v. v is
// first divided by its largest component, so that a short v loses nothing.
dvec3 across(const dvec3& v) {
    const double x = std::fabs(v.x), y = std::fabs(v.y), z = std::fabs(v.z);
    const double m = std::fmax(x, std::fmax(y, z));
    const dvec3 w = dnormalize({v.x / m, v.y / m, v.z / m});
    const dvec3 e = x <= y && x <= z ? dvec3{1, 0, 0} : y <= z ? dvec3{0, 1, 0} : dvec3{0, 0, 1};
    const double k = dot(e, w);
    return dnormalize({e.x - k * w.x, e.y - k * w.y, e.z - k * w.z});
}

dmat3 dRotation(const dvec3& a, const dvec3& b) {
    const dvec3 n = cross(a, b);
    const double d = dot(a, b);
    const double n2 = dot(n, n);
    if (n2 < NormalizeEpsilon) {
        // Same directions (or a zero input): no turn. Opposite directions:
        // a half turn about an axis across both; -I would be a reflection.
        if (d >= 0) return dmat3();
        return axisRotation(across(a), 0.0, -1.0);
    }
    const double nl = std::sqrt(n2);
    const double h = std::sqrt(n2 + d * d);
    return axisRotation({n.x / nl, n.y / nl, n.z / nl}, nl / h, d / h);
}

dmat3 dRotationScale(const dvec3& a, const dvec3& b) {
    const double la = std::sqrt(dot(a, a));
    const double lb = std::sqrt(dot(b, b));
    const double f = lb / la - 1.0;
    const dvec3 u = dnormalize(a);
    const double uv[3] = {u.x, u.y, u.z};
    dmat3 stretch;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) stretch.m[3 * i + j] = (i == j ? 1.0 : 0.0) + f * uv[i] * uv[j];
    return dmul(dRotation(a, b), stretch);
}

dmat3 dMirror(const dvec3& n0) {
    const dvec3 n = dnormalize(n0);
    const double nv[3] = {n.x, n.y, n.z};
    dmat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[3 * i + j] = (i == j ? 1.0 : 0.0) - 2.0 * nv[i] * nv[j];
    return r;
}

mat4 withBlock(const mat3& b, const vec3& t) {
    mat4 r = mat4::FromMat3(b);
    r.setTranslation(t);
    return r;
}

// The uniform scale of a matrix: the real cube root of its determinant (in
// double). False when the determinant is 0 or not finite.
bool uniformScale(const mat3& M, double& s) {
    const double det = M.determinant();
    if (det == 0.0 || !std::isfinite(det)) return false;
    s = std::cbrt(det);
    return true;
}

// The angle of ConstrainedAngle for a matrix already divided by its scale,
// and the frame F built on the axis.
double constrainedAngle(const mat3& Ms, const vec3& axis, mat3& F) {
    const dvec3 a = dnormalize(widen(axis));
    F = mat3::Frame(axis);
    const vec3 u = F.column(0);
    const dvec3 du = widen(u);
    const dvec3 v = widen(Ms * u);
    const double va = dot(v, a);
    const dvec3 w = dnormalize({v.x - va * a.x, v.y - va * a.y, v.z - va * a.z});
    const dvec3 c = cross(du, w);
    const double sign = dot(c, a) < 0 ? -1.0 : 1.0;
    return std::atan2(sign * std::sqrt(dot(c, c)), dot(du, w));
}

}  // namespace

// ---------------------------------------------------------------- mat3

mat3 mat3::transposed() const { return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]}; }

double mat3::determinant() const {
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

mat3 mat3::inverse() const {
    const double det = determinant();
    if (det == 0.0 || !std::isfinite(det)) return mat3();
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7], i = m[8];
    return {float((e * i - f * h) / det), float((c * h - b * i) / det), float((b * f - c * e) / det),
            float((f * g - d * i) / det), float((a * i - c * g) / det), float((c * d - a * f) / det),
            float((d * h - e * g) / det), float((b * g - a * h) / det), float((a * e - b * d) / det)};
}

mat3 mat3::Scale(float sx, float sy, float sz) { return {sx, 0, 0, 0, sy, 0, 0, 0, sz}; }

mat3 mat3::Scale(vec3 n, float s) {
    const dvec3 u = dnormalize(widen(n));
    const double uv[3] = {u.x, u.y, u.z};
    mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[3 * i + j] = float((i == j ? 1.0 : 0.0) + double(s) * uv[i] * uv[j]);
    return r;
}

mat3 mat3::Mirror(vec3 n) {
    if (isZero(n)) return mat3();
    return toFloat(dMirror(widen(n)));
}

mat3 mat3::Rotation(float a, float b, float c) {
    const double sa = std::sin(double(a)), ca = std::cos(double(a));
    const double sb = std::sin(double(b)), cb = std::cos(double(b));
    const double sc = std::sin(double(c)), cc = std::cos(double(c));
    return {float(cb * cc), float(sa * sb * cc + ca * sc), float(sa * sc - ca * sb * cc),
            float(-cb * sc), float(ca * cc - sa * sb * sc), float(sa * cc + ca * sb * sc),
            float(sb),       float(-sa * cb),               float(ca * cb)};
}

mat3 mat3::Rotation(const vec3& a, const vec3& b) { return toFloat(dRotation(widen(a), widen(b))); }

mat3 mat3::RotationScale(const vec3& a, const vec3& b) { return toFloat(dRotationScale(widen(a), widen(b))); }

mat3 mat3::RotationAroundAxis(vec3 axis, float angle) {
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    return toFloat(axisRotation(dnormalize(widen(axis)), s, c));
}

mat3 mat3::Frame(vec3 d0) {
    if (nearZero(d0)) return mat3();
    const dvec3 d = dnormalize(widen(d0));
    const dvec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    dvec3 best = cross(axes[0], d);
    double bestLen = dot(best, best);
    for (int k = 1; k < 3; ++k) {
        const dvec3 cand = cross(axes[k], d);
        const double len = dot(cand, cand);
        if (len > bestLen) {
            best = cand;
            bestLen = len;
        }
    }
    const dvec3 u = dnormalize(best);
    mat3 r;
    r.setColumn(0, narrow(u));
    r.setColumn(1, narrow(cross(d, u)));
    r.setColumn(2, narrow(d));
    return r;
}

namespace {

// Steps 1-5 of FrameXZ / FrameYZ: z normalised and x made perpendicular to
// it. False when the caller must fall back to Frame(z).
bool perpendicularPair(const vec3& x, const vec3& z0, dvec3& z, dvec3& xp) {
    if (nearZero(x - z0) || nearZero(x) || nearZero(z0)) return false;
    z = dnormalize(widen(z0));
    const double xz = dot(widen(x), z);
    const vec3 xf{float(x.x - xz * z.x), float(x.y - xz * z.y), float(x.z - xz * z.z)};
    // Also fall back when x' is too short to normalise: a direction parallel
    // to z leaves only a rounding residue, which would give a singular frame.
    if (nearZero(xf) || length2(xf) <= NormalizeEpsilon) return false;
    xp = dnormalize(widen(xf));
    return true;
}

}  // namespace

mat3 mat3::FrameXZ(vec3 x, vec3 z0) {
    dvec3 z, xp;
    if (!perpendicularPair(x, z0, z, xp)) return Frame(z0);
    mat3 r;
    r.setColumn(0, narrow(xp));
    r.setColumn(1, narrow(cross(z, xp)));
    r.setColumn(2, narrow(z));
    return r;
}

mat3 mat3::FrameYZ(vec3 y, vec3 z0) {
    dvec3 z, yp;
    if (!perpendicularPair(y, z0, z, yp)) return Frame(z0);
    mat3 r;
    r.setColumn(0, narrow(cross(yp, z)));
    r.setColumn(1, narrow(yp));
    r.setColumn(2, narrow(z));
    return r;
}

double mat3::ConstrainedAngle(mat3 M, vec3 axis) {
    double s = 1;
    if (!uniformScale(M, s)) return 0.0;
    const float sf = float(s);
    for (float& e : M.m) e /= sf;
    mat3 F;
    return constrainedAngle(M, axis, F);
}

mat3 mat3::ConstrainedRotation(mat3 M, vec3 axis) {
    double s = 1;
    if (!uniformScale(M, s)) return M;
    mat3 Ms = M;
    const float sf = float(s);
    for (float& e : Ms.m) e /= sf;
    mat3 F;
    const double theta = constrainedAngle(Ms, axis, F);
    const dmat3 dF = toDouble(F);
    dmat3 dFt;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) dFt.m[3 * i + j] = dF.m[3 * j + i];
    const double st = std::sin(theta), ct = std::cos(theta);
    // The right-handed turn by theta about the frame's Z axis, so that a
    // rotation about the axis is reduced to itself (the same turn, not its
    // reverse).
    dmat3 R;
    R.m[0] = ct;
    R.m[1] = -st;
    R.m[3] = st;
    R.m[4] = ct;
    dmat3 r = dmul(dmul(dF, R), dFt);
    for (double& e : r.m) e *= s;
    return toFloat(r);
}

mat3 operator*(const mat3& a, const mat4& b) { return b.block() * a; }

// ---------------------------------------------------------------- mat4

mat4 mat4::transposed() const {
    mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[4 * i + j] = m[4 * j + i];
    return r;
}

mat4 mat4::inverse(const mat4& M) {
    const vec3 r0{M.m[0], M.m[1], M.m[2]};
    const vec3 r1{M.m[4], M.m[5], M.m[6]};
    const vec3 r2{M.m[8], M.m[9], M.m[10]};
    const double D = M.block().determinant();
    // Column i of R is (row j) x (row k) / D for (i, j, k) cyclic; the
    // cross products in float, the division in double.
    const vec3 c0 = crossf(r1, r2), c1 = crossf(r2, r0), c2 = crossf(r0, r1);
    mat3 R;
    R.setColumn(0, {float(c0.x / D), float(c0.y / D), float(c0.z / D)});
    R.setColumn(1, {float(c1.x / D), float(c1.y / D), float(c1.z / D)});
    R.setColumn(2, {float(c2.x / D), float(c2.y / D), float(c2.z / D)});
    const vec3 t = M.translation();
    const vec3 Rt = R * t;
    return withBlock(R, -Rt);
}

mat4 mat4::inverse() const { return inverse(*this); }

bool mat4::tryInverse(mat4& out) const {
    const double D = block().determinant();
    if (D == 0.0 || !std::isfinite(D)) return false;
    const mat4 r = inverse(*this);
    if (!r.isFinite()) return false;
    out = r;
    return true;
}

bool mat4::isFinite() const {
    for (float v : m)
        if (!std::isfinite(v)) return false;
    return true;
}

mat4 mat4::inverseFull() const {
    double a[16];
    for (int i = 0; i < 16; ++i) a[i] = m[i];
    double inv[16];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
              a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det)) return mat4();
    mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = float(inv[i] / det);
    return r;
}

mat4 mat4::FromMat3(const mat3& a) {
    mat4 r;
    r.setBlock(a);
    return r;
}

mat4 mat4::Scale(float s) { return Scale(s, s, s); }

mat4 mat4::Scale(float sx, float sy, float sz) {
    mat4 r;
    r.m[0] = sx;
    r.m[5] = sy;
    r.m[10] = sz;
    return r;
}

mat4 mat4::Rotation(float a, float b, float c) { return FromMat3(mat3::Rotation(a, b, c)); }

mat4 mat4::Rotation(const vec3& a, const vec3& b) { return FromMat3(mat3::Rotation(a, b)); }

mat4 mat4::RotationScale(const vec3& a, const vec3& b) { return FromMat3(mat3::RotationScale(a, b)); }

mat4 mat4::RotationScaleCenter(const vec3& centre, const vec3& a, const vec3& b) {
    const dvec3 c = widen(centre);
    const dmat3 L = dRotationScale(widen(a) - c, widen(b) - c);
    const dvec3 Lc = dmul(L, c);
    return withBlock(toFloat(L), narrow(c - Lc));
}

mat4 mat4::Translation(const vec3& t) {
    mat4 r;
    r.setTranslation(t);
    return r;
}

mat4 mat4::Translation(float x, float y, float z) { return Translation(vec3{x, y, z}); }

mat4 mat4::Mirror(const vec3& n) {
    if (isZero(n)) return mat4();
    return FromMat3(toFloat(dMirror(widen(n))));
}

mat4 mat4::Mirror(const vec3& n, const vec3& point) {
    if (isZero(n)) return mat4();
    const dmat3 L = dMirror(widen(n));
    const dvec3 p = widen(point);
    // T(point) L T(-point): translation point - L point = 2 (n . point) n.
    return withBlock(toFloat(L), narrow(p - dmul(L, p)));
}

mat4 mat4::ConstrainedTranslation(const mat4& M, vec3 axis) {
    if (isZero(axis)) return M;
    const dvec3 a = dnormalize(widen(axis));
    const double ta = dot(widen(M.translation()), a);
    mat4 r = M;
    r.setTranslation(narrow(a * ta));
    return r;
}

mat4 mat4::ConstrainedRotation(const mat4& M, vec3 axis) {
    if (isZero(axis)) return M;
    mat4 r = M;
    r.setBlock(mat3::ConstrainedRotation(M.block(), axis));
    return r;
}

}  // namespace qel
