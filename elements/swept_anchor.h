#pragma once
// The geometry that ties a point of a swept surface (qel::Tube,
// qel::Revoluton) to its two curves, shared by the elements' symmetries and
// their sculpting: the nearest point of a surface cell, the tube's anchor
// frame and its inverse, the revolution map of a profile point with its
// linear part and inverse, and the reading of a surface pick id.
//
// A surface cell is the bilinear patch of one carrier edge and one
// cross-section edge: X(s, t) = (1 - t)((1 - s) C00 + s C10) +
// t((1 - s) C01 + s C11), s along the carrier edge, t along the
// cross-section edge.

#include <cstdint>

#include "core/mat.h"
#include "core/vec.h"

namespace qel {

class Curve;

// The candidates per side of the cell search: s = i / 511, t = j / 511.
constexpr int SweptCellSteps = 512;

// The nearest candidate of a cell and its parameters.
struct CellPoint {
    float s = 0.0f;
    float t = 0.0f;
    vec3 point{0, 0, 0};
};

// The nearest of the 512 x 512 candidates X(s, t) to p, scanned s-major
// from (0, 0); a candidate replaces the best only when strictly nearer, so
// the first nearest one in scan order wins. The weights are rounded to
// float and X is formed in float; the tube's form sums the squared
// differences in double, the revoluton's in float. Allocates nothing.
CellPoint nearestCellPointTube(const vec3& c00, const vec3& c10, const vec3& c01, const vec3& c11, const vec3& p);
CellPoint nearestCellPointRevoluton(const vec3& c00, const vec3& c10, const vec3& c01, const vec3& c11, const vec3& p);

// The inverse of a frame by cofactors in float: row i of the cofactor
// matrix is row (i + 1) x row (i + 2), divided by the determinant, stored
// transposed. False, with out the identity, when the determinant is 0 or
// the inverse is not finite.
bool invertAnchorFrame(const mat3& F, mat3& out);

// The revolution map of profile point P: R(P)(u, v, w) =
// (u P.x - v P.z, P.y + w r, u P.z + v P.x), r = sqrt(P.x^2 + P.z^2),
// in double (the surface's placement rule).
vec3 revolve(const vec3& P, const vec3& L);
// Its linear part J(P): rows (P.x, -P.z, 0), (0, 0, r), (P.z, P.x, 0).
mat3 revolutionJacobian(const vec3& P);
// Its inverse: ((x P.x + z P.z) / k, (z P.x - x P.z) / k, (y - P.y) / r),
// k = P.x^2 + P.z^2. False (out untouched) for P on the axis or a result
// that is not finite.
bool unrevolve(const vec3& P, const vec3& X, vec3& out);
// The inverse of J(P) applied to a direction: ((n.x P.x + n.z P.z) / k,
// (n.z P.x - n.x P.z) / k, n.y / r). False as unrevolve.
bool unrevolveDirection(const vec3& P, const vec3& n, vec3& out);

// The carrier edge (high 16 bits) and cross-section edge (low 16 bits) of a
// surface pick id; -1 for a negative id.
inline int carrierEdgeOf(std::int32_t item) { return item < 0 ? -1 : int(std::uint32_t(item) >> 16); }
inline int sectionEdgeOf(std::int32_t item) { return item < 0 ? -1 : int(std::uint32_t(item) & 0xFFFFu); }
// The edge is an active edge of c whose two vertices exist.
bool usableEdge(const Curve* c, int e);

}  // namespace qel
