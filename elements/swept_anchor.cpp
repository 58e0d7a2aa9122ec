// The anchor geometry of the swept elements: the cell search, the anchor
// frame's inverse and the revolution map.

#include "elements/swept_anchor.h"

#include <cmath>

#include "curves/curve.h"

namespace qel {

namespace {

// The weights k / 511 and 1 - k / 511, each rounded to float once.
struct CellWeights {
    float w[SweptCellSteps];
    float rest[SweptCellSteps];
    CellWeights() {
        for (int k = 0; k < SweptCellSteps; ++k) {
            const double a = double(k) / double(SweptCellSteps - 1);
            w[k] = float(a);
            rest[k] = float(1.0 - a);
        }
    }
};

const CellWeights& cellWeights() {
    static const CellWeights weights;
    return weights;
}

// The scan shared by both precisions: each row's candidates are formed and
// measured into a small array first (a loop the compiler can vectorise),
// then searched in order. Sum is float or double.
template <typename Sum>
CellPoint nearestCellPoint(const vec3& c00, const vec3& c10, const vec3& c01, const vec3& c11, const vec3& p) {
    const CellWeights& W = cellWeights();
    const Sum px = Sum(p.x), py = Sum(p.y), pz = Sum(p.z);
    Sum d[SweptCellSteps];
    Sum best = 0;
    int bestI = 0, bestJ = 0;
    bool first = true;
    for (int i = 0; i < SweptCellSteps; ++i) {
        const float s = W.w[i], u = W.rest[i];
        // The two ends of the row: (1 - s) C00 + s C10 and (1 - s) C01 + s C11.
        const float ax = u * c00.x + s * c10.x, ay = u * c00.y + s * c10.y, az = u * c00.z + s * c10.z;
        const float bx = u * c01.x + s * c11.x, by = u * c01.y + s * c11.y, bz = u * c01.z + s * c11.z;
        for (int j = 0; j < SweptCellSteps; ++j) {
            const float t = W.w[j], v = W.rest[j];
            const Sum dx = Sum(v * ax + t * bx) - px;
            const Sum dy = Sum(v * ay + t * by) - py;
            const Sum dz = Sum(v * az + t * bz) - pz;
            d[j] = dx * dx + dy * dy + dz * dz;
        }
        int j0 = 0;
        if (first) {
            best = d[0];
            first = false;
            j0 = 1;
        }
        for (int j = j0; j < SweptCellSteps; ++j) {
            if (d[j] < best) {
                best = d[j];
                bestI = i;
                bestJ = j;
            }
        }
    }
    CellPoint r;
    r.s = W.w[bestI];
    r.t = W.w[bestJ];
    const float s = r.s, u = W.rest[bestI], t = r.t, v = W.rest[bestJ];
    const vec3 a(u * c00.x + s * c10.x, u * c00.y + s * c10.y, u * c00.z + s * c10.z);
    const vec3 b(u * c01.x + s * c11.x, u * c01.y + s * c11.y, u * c01.z + s * c11.z);
    r.point = vec3(v * a.x + t * b.x, v * a.y + t * b.y, v * a.z + t * b.z);
    return r;
}

bool finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

CellPoint nearestCellPointTube(const vec3& c00, const vec3& c10, const vec3& c01, const vec3& c11, const vec3& p) {
    return nearestCellPoint<double>(c00, c10, c01, c11, p);
}

CellPoint nearestCellPointRevoluton(const vec3& c00, const vec3& c10, const vec3& c01, const vec3& c11, const vec3& p) {
    return nearestCellPoint<float>(c00, c10, c01, c11, p);
}

bool invertAnchorFrame(const mat3& F, mat3& out) {
    out = mat3::Identity();
    const vec3 r0 = F.row(0), r1 = F.row(1), r2 = F.row(2);
    // Cofactor rows; their transpose over the determinant is the inverse.
    const vec3 c0 = crossf(r1, r2), c1 = crossf(r2, r0), c2 = crossf(r0, r1);
    const float det = r0.x * c0.x + r0.y * c0.y + r0.z * c0.z;
    if (det == 0.0f || !std::isfinite(det)) return false;
    mat3 inv;
    inv.setColumn(0, c0 / det);
    inv.setColumn(1, c1 / det);
    inv.setColumn(2, c2 / det);
    for (int k = 0; k < 9; ++k)
        if (!std::isfinite(inv[k])) return false;
    out = inv;
    return true;
}

vec3 revolve(const vec3& P, const vec3& L) {
    const double x = P.x, y = P.y, z = P.z;
    const double r = std::sqrt(x * x + z * z);
    return vec3(float(L.x * x - L.y * z), float(y + L.z * r), float(L.x * z + L.y * x));
}

mat3 revolutionJacobian(const vec3& P) {
    const float r = float(std::sqrt(double(P.x) * P.x + double(P.z) * P.z));
    return mat3(P.x, -P.z, 0.0f, 0.0f, 0.0f, r, P.z, P.x, 0.0f);
}

namespace {

// The inverse of J(P) applied to (x, y, z); the translation is the caller's.
bool unrevolveLinear(const vec3& P, double x, double y, double z, vec3& out) {
    const double k = double(P.x) * P.x + double(P.z) * P.z;
    const double r = std::sqrt(k);
    if (!(k > 0.0) || !std::isfinite(k)) return false;
    const vec3 v(float((x * P.x + z * P.z) / k), float((z * P.x - x * P.z) / k), float(y / r));
    if (!finite(v)) return false;
    out = v;
    return true;
}

}  // namespace

bool unrevolve(const vec3& P, const vec3& X, vec3& out) {
    return unrevolveLinear(P, X.x, double(X.y) - double(P.y), X.z, out);
}

bool unrevolveDirection(const vec3& P, const vec3& n, vec3& out) { return unrevolveLinear(P, n.x, n.y, n.z, out); }

bool usableEdge(const Curve* c, int e) {
    if (c == nullptr || !c->activeEdge(e)) return false;
    const CurveEdge& E = c->edges[std::size_t(e)];
    return c->validVertex(E.v[0]) && c->validVertex(E.v[1]);
}

}  // namespace qel
