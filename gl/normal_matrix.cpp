#include "gl/normal_matrix.h"

#include <cmath>

#include "gl/shader.h"

namespace qel {

mat3 normalMatrix(const mat4& M) {
    const mat3 a = M.block();
    auto minor = [&a](int r0, int r1, int c0, int c1) {
        return double(a.at(r0, c0)) * a.at(r1, c1) - double(a.at(r0, c1)) * a.at(r1, c0);
    };
    double c[9] = {minor(1, 2, 1, 2),  -minor(1, 2, 0, 2), minor(1, 2, 0, 1),  -minor(0, 2, 1, 2), minor(0, 2, 0, 2),
                   -minor(0, 2, 0, 1), minor(0, 1, 1, 2),  -minor(0, 1, 0, 2), minor(0, 1, 0, 1)};
    const double det = a.at(0, 0) * c[0] + a.at(0, 1) * c[1] + a.at(0, 2) * c[2];
    const double scale = (det != 0.0 && std::isfinite(det)) ? 1.0 / std::fabs(det) : 1.0;
    mat3 n;
    for (int i = 0; i < 9; ++i) n.m[i] = float(c[i] * scale);
    return Shader::ModelViewMatrix.block() * n;
}

}  // namespace qel
