#pragma once
// Small curves the curve tests build again and again.

#include <memory>
#include <vector>

#include "core/vec.h"
#include "curves/curve.h"

namespace curvetest {

// A curve through the points, every radius 1.0, with the sharp flags given
// (missing ones false).
std::unique_ptr<qel::Curve> curveOf(const std::vector<qel::vec3>& p, bool closed, std::vector<bool> sharp = {});
// An open chain of points 0..n-1 along x, 1 apart.
std::unique_ptr<qel::Curve> line(int n, std::vector<bool> sharp = {});

}  // namespace curvetest
