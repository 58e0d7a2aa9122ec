#include "view/copy_merge.h"

#include <cstdint>

#include "scene/symmetry_merge.h"

namespace qel {

bool mergeCopies(std::vector<vec3>& positions, std::vector<mat3>& frames, std::vector<symmetry::TSymmetry>& list,
                 int items, std::vector<int>& kept, std::vector<int>& dropped, float distance, bool collapse) {
    std::vector<std::uint8_t> codes;
    symmetry::Codes(codes, list);
    std::vector<std::vector<vec3>> axes(3);
    for (std::vector<vec3>& a : axes) a.reserve(frames.size());
    for (const mat3& f : frames)
        for (int c = 0; c < 3; ++c) axes[std::size_t(c)].push_back(f.column(c));
    std::vector<float> weights(positions.size(), 0.0f);
    int count = items;
    if (collapse)
        symmetry::Collapse(positions, codes, count, axes, weights, kept, dropped, distance);
    else
        symmetry::Merge(positions, codes, count, axes, weights, kept, dropped, distance);
    if (kept.empty() || positions.empty() || axes[0].empty()) return false;
    list.clear();
    symmetry::Rebuild(codes, count, list);
    positions.resize(1);
    const vec3 &x = axes[0][0], &y = axes[1][0], &z = axes[2][0];
    frames.assign(1, length2(x) > length2(y) ? mat3::FrameXZ(x, z) : mat3::FrameYZ(y, z));
    symmetry::Replicate(positions, frames, mat4(), list);
    return true;
}

}  // namespace qel
