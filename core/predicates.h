#pragma once
// Exact geometric predicates on doubles by adaptive-precision floating-point
// arithmetic. Each predicate first evaluates its determinant in plain double
// precision together with an error bound; only when the bound does not settle
// the sign does it refine the value with exact expansion arithmetic, stage by
// stage, so that the returned value always carries the exact sign.
//
// An expansion is an array of doubles, ordered by increasing magnitude and
// mutually non-overlapping, whose exact sum is the value it represents. The
// expansion routines take input lengths and arrays and write their result
// into a caller array large enough for it; they return the result's length.
// The *_zeroelim forms drop zero components (a zero expansion keeps one 0).
//
// `exactinit` computes the machine constants and error bounds; it is meant to
// run once at start-up (qel::InitExactPredicates). The constants are also
// preset for IEEE doubles, so the predicates are sound even before it runs.
//
// Points are pointers to two (2-D) or three (3-D) doubles.
//
// The fast stages of orient2d, orient3d and incircle are defined inline
// below, so that every caller evaluates the determinant and its error bound
// in place; the adaptive stages are out of line and marked cold, since the
// bound settles the sign for all but nearly degenerate inputs.

#include <cmath>

namespace qel::exact {

namespace detail {

// Machine constants and error bounds of the predicates.
struct Bounds {
    double epsilon;
    double splitter;
    double resulterrbound;
    double ccwerrboundA, ccwerrboundB, ccwerrboundC;
    double o3derrboundA, o3derrboundB, o3derrboundC;
    double iccerrboundA, iccerrboundB, iccerrboundC;
    double isperrboundA, isperrboundB, isperrboundC;
};
// Written by exactinit, read by the predicates; preset for IEEE doubles.
extern Bounds bounds;

}  // namespace detail

// Computes epsilon, the splitter and the error bounds of the predicates by
// halving until 1 + epsilon rounds to 1. Returns 0.
int exactinit();

// Positive when a, b, c run counter-clockwise, negative when clockwise, zero
// when collinear; approximates twice the signed area of the triangle.
inline double orient2d(const double* pa, const double* pb, const double* pc);
// Positive when d lies below the plane through a, b, c (a, b, c seen
// counter-clockwise from above), negative above, zero when coplanar.
inline double orient3d(const double* pa, const double* pb, const double* pc, const double* pd);
// Positive when d lies inside the circle through a, b, c given
// counter-clockwise (the sign flips for clockwise), zero when cocircular.
inline double incircle(const double* pa, const double* pb, const double* pc, const double* pd);
// Positive when e lies inside the sphere through a, b, c, d when
// orient3d(a, b, c, d) is positive (the sign flips otherwise), zero when
// cospherical.
double insphere(const double* pa, const double* pb, const double* pc, const double* pd, const double* pe);

// Adaptive stages, entered when the fast value lies within its error bound.
// detsum / permanent is the sum of the magnitudes of the determinant's terms
// as computed by the fast stage.
[[gnu::cold]] double orient2dadapt(const double* pa, const double* pb, const double* pc, double detsum);
[[gnu::cold]] double orient3dadapt(const double* pa, const double* pb, const double* pc, const double* pd,
                                   double permanent);
[[gnu::cold]] double incircleadapt(const double* pa, const double* pb, const double* pc, const double* pd,
                                   double permanent);
[[gnu::cold]] double insphereadapt(const double* pa, const double* pb, const double* pc, const double* pd,
                                   const double* pe, double permanent);
// The in-sphere determinant evaluated exactly from the raw coordinates.
double insphereexact(const double* pa, const double* pb, const double* pc, const double* pd, const double* pe);

// Expansion arithmetic. h must not alias e or f unless stated.
// h = e + b; length elen + 1.
int grow_expansion(int elen, const double* e, double b, double* h);
int grow_expansion_zeroelim(int elen, const double* e, double b, double* h);
// h = e + f by repeated growing; length elen + flen.
int expansion_sum(int elen, const double* e, int flen, const double* f, double* h);
int expansion_sum_zeroelim1(int elen, const double* e, int flen, const double* f, double* h);
int expansion_sum_zeroelim2(int elen, const double* e, int flen, const double* f, double* h);
// h = e + f by merging the two expansions by magnitude.
int fast_expansion_sum(int elen, const double* e, int flen, const double* f, double* h);
int fast_expansion_sum_zeroelim(int elen, const double* e, int flen, const double* f, double* h);
int linear_expansion_sum(int elen, const double* e, int flen, const double* f, double* h);
int linear_expansion_sum_zeroelim(int elen, const double* e, int flen, const double* f, double* h);
// h = b e; length 2 elen (h needs room for 2 elen components).
int scale_expansion(int elen, const double* e, double b, double* h);
int scale_expansion_zeroelim(int elen, const double* e, double b, double* h);
// Rewrites e into h as a shorter expansion of the same value whose largest
// component approximates the value within one ulp; h may equal e.
int compress(int elen, const double* e, double* h);
// A one-double approximation of the expansion's value.
double estimate(int elen, const double* e);

// Random test values (std::rand based): a signed random mantissa of full
// precision (53 bits for doubles, 24 for floats) scaled by a random power of
// two, 2^0 .. 2^511 (doubles) or 2^0 .. 2^63 (floats) for the wide forms,
// 2^0 .. 2^7 for the narrow forms and 2^0 for the uniform forms.
double doublerand();
double narrowdoublerand();
double uniformdoublerand();
float floatrand();
float narrowfloatrand();
float uniformfloatrand();

// The fast stages. Each is one straight-line evaluation and one branch:
// the value is returned unless its magnitude lies below the error bound
// (a NaN value is returned as it is). The bounds hold whether or not the
// compiler fuses a product into the sum that follows it, which only drops
// roundings from the evaluation.

inline double orient2d(const double* pa, const double* pb, const double* pc) {
    const double detleft = (pa[0] - pc[0]) * (pb[1] - pc[1]);
    const double detright = (pa[1] - pc[1]) * (pb[0] - pc[0]);
    const double det = detleft - detright;
    // When the two products differ in sign (or one is zero) the difference
    // adds magnitudes, |det| equals detsum and the bound always holds.
    const double detsum = std::fabs(detleft) + std::fabs(detright);
    if (std::fabs(det) < detail::bounds.ccwerrboundA * detsum) return orient2dadapt(pa, pb, pc, detsum);
    return det;
}

inline double orient3d(const double* pa, const double* pb, const double* pc, const double* pd) {
    const double adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    const double ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];
    const double adz = pa[2] - pd[2], bdz = pb[2] - pd[2], cdz = pc[2] - pd[2];

    const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
    const double cdxady = cdx * ady, adxcdy = adx * cdy;
    const double adxbdy = adx * bdy, bdxady = bdx * ady;

    const double det = adz * (bdxcdy - cdxbdy) + bdz * (cdxady - adxcdy) + cdz * (adxbdy - bdxady);
    const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * std::fabs(adz) +
                             (std::fabs(cdxady) + std::fabs(adxcdy)) * std::fabs(bdz) +
                             (std::fabs(adxbdy) + std::fabs(bdxady)) * std::fabs(cdz);
    if (std::fabs(det) <= detail::bounds.o3derrboundA * permanent) return orient3dadapt(pa, pb, pc, pd, permanent);
    return det;
}

inline double incircle(const double* pa, const double* pb, const double* pc, const double* pd) {
    const double adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    const double ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];

    const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
    const double alift = adx * adx + ady * ady;
    const double cdxady = cdx * ady, adxcdy = adx * cdy;
    const double blift = bdx * bdx + bdy * bdy;
    const double adxbdy = adx * bdy, bdxady = bdx * ady;
    const double clift = cdx * cdx + cdy * cdy;

    const double det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) + clift * (adxbdy - bdxady);
    const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift +
                             (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                             (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
    if (std::fabs(det) <= detail::bounds.iccerrboundA * permanent) return incircleadapt(pa, pb, pc, pd, permanent);
    return det;
}

}  // namespace qel::exact
