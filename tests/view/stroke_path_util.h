#pragma once
// Pointer paths and shape comparisons shared by the stroke tests.

#include <algorithm>
#include <vector>

#include "core/vec.h"

namespace qel::test {

// A zigzag of `n` quick motions from `from`, three pixels apart to the
// right, turning up or down every six.
inline std::vector<vec2> zigzag(vec2 from, int n) {
    std::vector<vec2> path;
    float y = from.y;
    for (int k = 1; k <= n; ++k) {
        y += (k / 6) % 2 ? 3.0f : -3.0f;
        path.emplace_back(from.x + float(3 * k), y);
    }
    return path;
}

// The largest distance between the same vertex of two meshes' positions.
inline double largestDifference(const std::vector<vec3>& a, const std::vector<vec3>& b) {
    double most = 0.0;
    for (std::size_t v = 0; v < std::min(a.size(), b.size()); ++v) most = std::max(most, double(length(a[v] - b[v])));
    return most;
}

}  // namespace qel::test
