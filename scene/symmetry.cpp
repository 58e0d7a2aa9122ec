// Symmetry helpers: one walk through a symmetry list serves the element
// images (with scales), the stamp copies, the transforms and the codes.
#include "scene/symmetry.h"

namespace qel {
namespace symmetry {

namespace {

// One turn step for n copies, in double, passed on as a float angle.
float turnStep(int n) { return float(6.283185307179586 / double(n)); }

bool isMirror(const TSymmetry& s) { return s.type >= 0 && s.type <= 2; }
bool isTurn(const TSymmetry& s) { return s.type >= 3 && s.type <= 5 && s.count >= 2; }

// The turn of one step of a radial record, about its axis.
mat3 turnOf(const TSymmetry& s) {
    const float a = turnStep(s.count);
    return mat3::Rotation(s.type == 3 ? a : 0.0f, s.type == 4 ? a : 0.0f, s.type == 5 ? a : 0.0f);
}

// Doubles v: entry n + i = image(entry i), n the length before.
template <class T, class F>
void appendImages(std::vector<T>& v, F image) {
    const std::size_t n = v.size();
    v.resize(2 * n);
    for (std::size_t i = 0; i < n; ++i) v[n + i] = image(v[i]);
}

// Appends count - 1 blocks of the length s before the call (reserved once),
// each entry the image of the entry s places before it.
template <class T, class F>
void appendBlocks(std::vector<T>& v, int count, F image) {
    if (count < 2) return;
    const std::size_t s = v.size();
    v.reserve(s * std::size_t(count));
    for (int b = 1; b < count; ++b) {
        const std::size_t start = v.size();
        v.resize(start + s);
        for (std::size_t i = start; i < start + s; ++i) v[i] = image(v[i - s]);
    }
}

void mirrorCopies(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>* scales, int axis) {
    if (axis < 0 || axis > 2) return;
    appendImages(points, [axis](vec3 p) {
        p[axis] = -p[axis];
        return p;
    });
    appendImages(frames, [axis](mat3 F) {
        F.setRow(axis, -F.row(axis));
        return F;
    });
    if (scales) appendImages(*scales, [](float s) { return -s; });
}

void rotateCopies(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>* scales, const mat3& T,
                  int count) {
    appendBlocks(points, count, [&T](const vec3& p) { return T * p; });
    appendBlocks(frames, count, [&T](const mat3& F) { return T * F; });
    if (scales) appendBlocks(*scales, count, [](float s) { return s; });
}

// Into the symmetry frame by `into`, through every record, back by `back`.
void walk(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>* scales, const mat4& into,
          const mat4& back, const std::vector<TSymmetry>& list) {
    for (vec3& p : points) p = into.transformProject(p);
    for (mat3& F : frames) F = F * into;
    for (const TSymmetry& s : list) {
        if (isMirror(s))
            mirrorCopies(points, frames, scales, s.type);
        else if (isTurn(s))
            rotateCopies(points, frames, scales, turnOf(s), s.count);
        // A turn with a count below 2, and any other type: nothing.
    }
    for (vec3& p : points) p = back.transformProject(p);
    for (mat3& F : frames) F = F * back;
}

}  // namespace

mat3 Frame(const vec3& axis, bool mirrorX, bool mirrorY, bool mirrorZ, bool radialX, bool radialY, bool radialZ) {
    vec3 hint(0, 1, 0);
    if (radialX)
        hint = vec3(1, 0, 0);
    else if (mirrorX || radialY)
        hint = vec3(0, 1, 0);
    else if (mirrorY)
        hint = vec3(1, 0, 0);
    else if (radialZ || mirrorZ)
        hint = vec3(0, 0, 1);
    return mat3::FrameYZ(hint, axis);
}

void List(std::vector<TSymmetry>& list, bool mirrorX, bool mirrorY, bool mirrorZ, bool radialX, bool radialY,
          bool radialZ, int count) {
    if (mirrorX) list.push_back({TSymmetry::MirrorX, 0});
    if (mirrorY) list.push_back({TSymmetry::MirrorY, 0});
    if (mirrorZ) list.push_back({TSymmetry::MirrorZ, 0});
    if (radialX) list.push_back({TSymmetry::RadialX, count});
    if (radialY) list.push_back({TSymmetry::RadialY, count});
    if (radialZ) list.push_back({TSymmetry::RadialZ, count});
}

void Transforms(std::vector<vec3>& points, std::vector<mat3>& frames, std::vector<float>& scales, const mat4& M,
                const std::vector<TSymmetry>& list) {
    scales.resize(points.size(), 1.0f);
    if (points.empty() || list.empty() || points.size() != frames.size()) return;
    // The inverse by cofactors is the identity for a singular M.
    walk(points, frames, &scales, M.inverseFull(), M, list);
}

void Replicate(std::vector<vec3>& positions, std::vector<mat3>& frames, const mat4& frame,
               const std::vector<TSymmetry>& list) {
    if (positions.empty() || list.empty() || positions.size() != frames.size()) return;
    // A singular frame would fill every copy with inf or NaN.
    mat4 G;
    if (!frame.tryInverse(G)) return;
    walk(positions, frames, nullptr, G, frame, list);
}

void MirrorCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, int axis) {
    mirrorCopies(positions, frames, nullptr, axis);
}

void RotateCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, const mat3& turn, int count) {
    rotateCopies(positions, frames, nullptr, turn, count);
}

void Matrices(std::vector<mat4>& transforms, bool mirrorX, bool mirrorY, bool mirrorZ, bool turnX, bool turnY,
              bool turnZ, int count) {
    if (transforms.empty()) transforms.push_back(mat4::Identity());
    if (mirrorX) MirrorMatrices(transforms, vec3(1, 0, 0));
    if (mirrorY) MirrorMatrices(transforms, vec3(0, 1, 0));
    if (mirrorZ) MirrorMatrices(transforms, vec3(0, 0, 1));
    if (turnX) RotateMatrices(transforms, vec3(1, 0, 0), count);
    if (turnY) RotateMatrices(transforms, vec3(0, 1, 0), count);
    if (turnZ) RotateMatrices(transforms, vec3(0, 0, 1), count);
}

void MirrorMatrices(std::vector<mat4>& transforms, const vec3& axis) {
    const mat4 M = mat4::Mirror(axis);
    appendImages(transforms, [&M](const mat4& T) { return M * T; });
}

void RotateMatrices(std::vector<mat4>& transforms, const vec3& axis, int count) {
    if (count < 2) return;
    const mat4 Q = mat4::FromMat3(mat3::RotationAroundAxis(axis, turnStep(count)));
    appendBlocks(transforms, count, [&Q](const mat4& T) { return Q * T; });
}

void Codes(std::vector<std::uint8_t>& codes, const std::vector<TSymmetry>& list) {
    // The codes of this stamp's copies only, whatever the list held before.
    std::vector<std::uint8_t> own(1, 0);
    for (const TSymmetry& s : list) {
        if (!isMirror(s) && !isTurn(s)) continue;
        const std::uint8_t bit = std::uint8_t(1u << unsigned(s.type));
        const auto mark = [bit](std::uint8_t c) { return std::uint8_t(c | bit); };
        if (isMirror(s))
            appendImages(own, mark);
        else
            appendBlocks(own, s.count, mark);
    }
    codes.insert(codes.end(), own.begin(), own.end());
}

}  // namespace symmetry
}  // namespace qel
