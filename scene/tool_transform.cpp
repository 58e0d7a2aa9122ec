// Object transforms, constraints and the render matrix.

#include <cmath>

#include "gl/shader.h"
#include "scene/tool.h"

namespace qel {

namespace {

// Single-precision product a b (each row of a times b), for the transform
// updates of transformObject and assembly.
mat4 mulFloat(const mat4& a, const mat4& b) {
    mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a.m[4 * i + k] * b.m[4 * k + j];
            r.m[4 * i + j] = s;
        }
    return r;
}

double det3(const mat4& t) {
    const double a = t.m[0], b = t.m[1], c = t.m[2];
    const double d = t.m[4], e = t.m[5], f = t.m[6];
    const double g = t.m[8], h = t.m[9], i = t.m[10];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

double Tool::UniformScale(const mat4& t) { return std::cbrt(std::fabs(det3(t))); }

// ---- Slots 47-50 ----

void Tool::transformObject(const mat4& m, bool all, bool) {
    if (!all) {
        transform = mulFloat(m, transform);
        return;
    }
    forRingObjects([&m](Tool* t) { t->transformObject(m, false, false); });
}

void Tool::align(const mat4& m, bool all, bool) {
    if (!all) {
        transform = mulFloat(m, transform);
        return;
    }
    forRingObjects([&m](Tool* t) { t->align(m, false, false); });
}

void Tool::transformPivot(const mat4& m, bool all, bool) {
    if (!all) {
        // A singular m has no inverse to keep the object in place: the tool
        // keeps its transform and pivot.
        mat4 inverse;
        if (!m.tryInverse(inverse)) return;
        transform = inverse * transform;
        pivot = pivot * m;
        return;
    }
    forRingObjects([&m](Tool* t) { t->transformPivot(m, false, false); });
}

void Tool::transformObjectPivot(const mat4& m, bool all, bool) {
    if (!all) {
        pivot = pivot * m;
        return;
    }
    forRingObjects([&m](Tool* t) { t->transformObjectPivot(m, false, false); });
}

// ---- Slot 44 ----

void Tool::assembly(const mat4& a, const mat4& b, const mat4& c, bool all, bool) {
    if (!all) {
        const mat4 r = mat4::ConstrainedRotation(a, rotationAxis);
        const mat4 rt = mat4::ConstrainedTranslation(r, translationAxis);
        transform = mulFloat(rt, transform);
        const mat4 pb = pivot * b;  // rounded to float before the second product
        pivot = c * pb;
        return;
    }
    forRingObjects([&](Tool* t) { t->assembly(a, b, c, false, false); });
}

// ---- Slot 45 ----

void Tool::constrainedMoveObject(const mat4& m, bool all, bool) {
    const vec3 t = m.translation();
    const bool constrained = !isZero(translationAxis);
    // d = a . t with the axis as stored (not normalised).
    const float d = constrained ? float(dot(translationAxis, t)) : 0.0f;
    transformObject(mat4::Translation(constrained ? translationAxis * d : t), false, false);
    if (!all) return;
    const double s0 = UniformScale(transform);
    // A zero (or non-finite) divisor moves only this tool.
    if (!(s0 > 0.0) || !std::isfinite(s0)) return;
    for (Tool* x = nextInstance; x != this; x = x->nextInstance) {
        if (!(x->flags & FlagObject)) continue;
        if (isZero(x->translationAxis) == constrained) continue;  // other constraint state: not moved
        const double si = UniformScale(x->transform);
        vec3 move;
        if (constrained) {
            const float k = float(si * d / s0);
            move = x->translationAxis * k;
        } else {
            const float k = float(si / s0);
            move = t * k;
        }
        if (!finite(move)) continue;  // no inf/NaN reaches a ring member
        x->transformObject(mat4::Translation(move), false, false);
    }
}

// ---- Slot 46 ----

mat4 Tool::constrainedRotateObject(const mat4& m, bool all, bool) {
    if (!isZero(rotationAxis)) {
        const double angle = mat3::ConstrainedAngle(m.block(), rotationAxis);
        // A rotation whose angle cannot be measured (a mirrored matrix gives
        // NaN) turns nothing.
        if (!std::isfinite(angle)) return mat4::Identity();
        const mat4 r = mat4::FromMat3(mat3::RotationAroundAxis(rotationAxis, float(angle)));
        transformObject(r, false, false);
        translationAxis = r.transformVector(translationAxis);
        if (!all) return r;
        // A mover of multiplicity 0 turns only itself.
        if (rotationMultiplicity == 0.0f || !std::isfinite(rotationMultiplicity)) return r;
        for (Tool* x = nextInstance; x != this; x = x->nextInstance) {
            if (!(x->flags & FlagObject) || isZero(x->rotationAxis)) continue;
            const double ai = angle * double(x->rotationMultiplicity) / double(rotationMultiplicity);
            if (!std::isfinite(ai)) continue;
            const mat4 ri = mat4::FromMat3(mat3::RotationAroundAxis(x->rotationAxis, float(ai)));
            if (!ri.isFinite()) continue;
            x->transformObject(ri, false, false);
            x->translationAxis = ri.transformVector(x->translationAxis);
        }
        return r;
    }
    // Unconstrained: the whole matrix. The translation axis is
    // a direction (3x3 part only), so a zero axis stays zero.
    transformObject(m, false, false);
    translationAxis = m.transformVector(translationAxis);
    if (!all) return m;
    for (Tool* x = nextInstance; x != this; x = x->nextInstance) {
        if (!(x->flags & FlagObject) || !isZero(x->rotationAxis)) continue;
        x->transformObject(m, false, false);
        x->translationAxis = m.transformVector(x->translationAxis);
    }
    return m;
}

// ---- Slot 33 ----

mat4 Tool::transformRender(const mat4& m) {
    // W = m x (P x T): the same product the render list forms for the tool's
    // children, so mode 0 equals the list's world matrix of the tool.
    const mat4 w = m * matrix();
    const std::uint8_t mode = flags & FlagOrientation;
    if (mode == OrientPlain) return w;
    // Modes 64, 128, 192: X = block(V x W); N = (X / s)^-1 with s the cube
    // root of |det X|, so that V x W x N has the block s I: the element keeps
    // a fixed orientation towards the viewer (or the model frame) with W's
    // position and uniform scale.
    const mat4& v = (mode == OrientModel) ? Shader::ModelMatrix : Shader::ModelViewMatrix;
    const mat4 vw = v * w;
    const double detX = det3(vw);
    const double s = std::cbrt(std::fabs(detX));
    if (!(s > 0.0) || !std::isfinite(s)) return w;
    // s X^-1 by cofactors, in double.
    const double a = vw.m[0], b = vw.m[1], c = vw.m[2];
    const double d = vw.m[4], e = vw.m[5], f = vw.m[6];
    const double g = vw.m[8], h = vw.m[9], i = vw.m[10];
    const double k = s / detX;
    const mat3 n(float((e * i - f * h) * k), float((c * h - b * i) * k), float((b * f - c * e) * k),
                 float((f * g - d * i) * k), float((a * i - c * g) * k), float((c * d - a * f) * k),
                 float((d * h - e * g) * k), float((b * g - a * h) * k), float((a * e - b * d) * k));
    return w * mat4::FromMat3(n);
}

}  // namespace qel
