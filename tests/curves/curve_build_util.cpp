#include "curves/curve_build_util.h"

#include <utility>

namespace curvetest {

std::unique_ptr<qel::Curve> curveOf(const std::vector<qel::vec3>& p, bool closed, std::vector<bool> sharp) {
    sharp.resize(p.size(), false);
    return std::make_unique<qel::Curve>(p, std::vector<float>(p.size(), 1.0f), sharp, closed);
}

std::unique_ptr<qel::Curve> line(int n, std::vector<bool> sharp) {
    std::vector<qel::vec3> p;
    for (int i = 0; i < n; ++i) p.emplace_back(float(i), 0.0f, 0.0f);
    return curveOf(p, false, std::move(sharp));
}

}  // namespace curvetest
