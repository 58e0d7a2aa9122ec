// The chain solver qel::Tool::InverseKinematics (one backward and
// one forward reaching pass per call, as in FABRIK).

#include <cmath>
#include <cstddef>

#include "scene/tool.h"

namespace qel {

namespace {

constexpr double MinSegment = 1e-5;
constexpr double Pi = 3.14159265358979323846;

// Origin of the frame a x b (its translation column), in double.
dvec3 frameOrigin(const mat4& a, const mat4& b) {
    dvec3 r;
    for (int row = 0; row < 3; ++row) {
        double s = 0.0;
        for (int k = 0; k < 4; ++k) s += double(a.m[4 * row + k]) * double(b.m[4 * k + 3]);
        r[row] = s;
    }
    return r;
}

double dlength(const dvec3& v) { return std::sqrt(dot(v, v)); }

// v divided by its length when its squared length exceeds 1e-20.
dvec3 dnormalize(const dvec3& v) {
    const double l2 = dot(v, v);
    if (l2 <= NormalizeEpsilon) return v;
    const double l = std::sqrt(l2);
    return {v.x / l, v.y / l, v.z / l};
}

// M p with the homogeneous divide, in double.
dvec3 project(const mat4& m, const dvec3& p) {
    double r[4];
    for (int row = 0; row < 4; ++row)
        r[row] = double(m.m[4 * row]) * p.x + double(m.m[4 * row + 1]) * p.y + double(m.m[4 * row + 2]) * p.z +
                 double(m.m[4 * row + 3]);
    if (r[3] != 0.0 && r[3] != 1.0) return {r[0] / r[3], r[1] / r[3], r[2] / r[3]};
    return {r[0], r[1], r[2]};
}

vec3 toFloat(const dvec3& v) { return {float(v.x), float(v.y), float(v.z)}; }

// A finite matrix whose block keeps orientation: the only turns a joint may
// receive (a mirror or NaN would be saved with the scene).
bool proper(const mat4& r) { return r.isFinite() && r.block().determinant() > 0.0; }

// The rotation turning a's direction into b's into r. For opposite
// directions mat4::Rotation gives the point reflection -I; a half turn about
// an axis across the segment is used instead. False when no proper rotation
// results (non-finite input).
bool turnBetween(const vec3& a, const vec3& b, mat4& r) {
    r = mat4::Rotation(a, b);
    if (proper(r)) return true;
    const vec3 along = dot(a, a) >= dot(b, b) ? a : b;
    const vec3 across = mat3::Frame(along).column(0);
    r = mat4::FromMat3(mat3::RotationAroundAxis(across, float(Pi)));
    return proper(r);
}

// Steps 4.2-4.5 for joint i: turns tool i so that the segment to p[i + 1]
// points at its new place, updates the matrices and p[i + 1] to what the
// (possibly constrained) turn reached and carries the old chain along.
// False when the joint is skipped: nothing was changed.
bool turnJoint(std::vector<Tool*>& tools, std::vector<mat4>& matrices, std::size_t i, std::vector<dvec3>& p,
               std::vector<dvec3>& old) {
    const std::size_t n = tools.size();
    // 4.2-4.3: the rotation in the joint's pivot frame. A singular frame has
    // no such rotation: the joint is skipped.
    const mat4 j = matrices[i] * tools[i]->pivot;
    mat4 ji;
    if (!j.tryInverse(ji)) return false;
    mat4 r;
    if (!turnBetween(toFloat(project(ji, old[i + 1])), toFloat(project(ji, p[i + 1])), r)) return false;
    const mat4 applied = tools[i]->constrainedRotateObject(r, false, false);
    // 4.4: world matrices down the chain, and the position reached.
    for (std::size_t k = i; k + 1 < n; ++k) matrices[k + 1] = matrices[k] * tools[k]->matrix();
    if (i + 1 < n) {
        p[i + 1] = frameOrigin(matrices[i + 1], tools[i + 1]->pivot);
    } else {
        // The grab point rides on the last tool: turned by the applied
        // rotation about the joint, in the joint's pivot frame.
        p[i + 1] = project(j * applied * ji, old[i + 1]);
    }
    // 4.5: carry the old chain along, about the old p_i.
    mat4 r2;
    if (!turnBetween(toFloat(old[i + 1] - old[i]), toFloat(p[i + 1] - p[i]), r2)) return true;
    const vec3 o = toFloat(old[i]);
    const mat4 carry = mat4::Translation(o) * r2 * mat4::Translation(-o);
    for (std::size_t k = i + 1; k <= n; ++k) old[k] = project(carry, old[k]);
    return true;
}

}  // namespace

void Tool::InverseKinematics(std::vector<Tool*>& tools, std::vector<mat4>& matrices, const vec3& grab,
                             const vec3& target) {
    const std::size_t n = tools.size();
    if (n == 0 || matrices.size() < n) return;
    for (Tool* t : tools)
        if (!t) return;

    // 1. Joint positions p_0 .. p_n and their old copies.
    std::vector<dvec3> p(n + 1);
    for (std::size_t i = 0; i < n; ++i) p[i] = frameOrigin(matrices[i], tools[i]->pivot);
    p[n] = dvec3(grab);
    std::vector<dvec3> old = p;

    // 2. Segment lengths.
    std::vector<double> len(n);
    for (std::size_t i = 0; i < n; ++i) len[i] = dlength(p[i + 1] - p[i]);

    // 3. The end point goes to the target for every chain length; the
    // backward pass runs only when n >= 2, and p_0 never moves.
    p[n] = dvec3(target);
    for (std::size_t k = n; k >= 2; --k) p[k - 1] = p[k] + dnormalize(p[k - 1] - p[k]) * len[k - 1];

    // 4. Forward pass.
    for (std::size_t i = 0; i < n; ++i) {
        // 4.1
        p[i + 1] = p[i] + dnormalize(p[i + 1] - p[i]) * len[i];
        const bool turned = len[i] >= MinSegment && turnJoint(tools, matrices, i, p, old);
        // Not turned: the next joint stays where the chain holds it.
        if (!turned && i + 1 < n) p[i + 1] = frameOrigin(matrices[i + 1], tools[i + 1]->pivot);
    }
}

}  // namespace qel
