// Symmetry helpers.
#include "scene/symmetry.h"

#include <cmath>

namespace qel {
namespace symmetry {

namespace {
constexpr double kPi = 3.14159265358979323846;
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

    // Into M's frame: the inverse by cofactors (identity when singular).
    const mat4 Minv = M.inverseFull();
    for (vec3& p : points) p = Minv.transformProject(p);
    for (mat3& F : frames) F = F * Minv;

    for (const TSymmetry& s : list) {
        const std::size_t N = points.size();
        if (s.type >= 0 && s.type <= 2) {
            const int t = s.type;
            points.reserve(2 * N);
            frames.reserve(2 * N);
            scales.reserve(2 * N);
            for (std::size_t i = 0; i < N; ++i) {
                vec3 p = points[i];
                p[t] = -p[t];
                mat3 F = frames[i];
                F.setRow(t, -F.row(t));
                const float sc = -scales[i];
                points.push_back(p);
                frames.push_back(F);
                scales.push_back(sc);
            }
        } else if (s.type >= 3 && s.type <= 5 && s.count >= 2) {
            const int n = s.count;
            const float angle = float(2.0 * kPi / n);
            const mat3 R = mat3::Rotation(s.type == 3 ? angle : 0.0f, s.type == 4 ? angle : 0.0f,
                                          s.type == 5 ? angle : 0.0f);
            const std::size_t total = N * std::size_t(n);
            points.reserve(total);
            frames.reserve(total);
            scales.reserve(total);
            for (int k = 1; k < n; ++k) {
                const std::size_t prev = std::size_t(k - 1) * N;
                for (std::size_t i = 0; i < N; ++i) {
                    const vec3 p = R * points[prev + i];
                    const mat3 F = R * frames[prev + i];
                    const float sc = scales[prev + i];
                    points.push_back(p);
                    frames.push_back(F);
                    scales.push_back(sc);
                }
            }
        }
        // Radial with a count below 2, and any other type: skipped.
    }

    // Back by M.
    for (vec3& p : points) p = M.transformProject(p);
    for (mat3& F : frames) F = F * M;
}

}  // namespace symmetry
}  // namespace qel
