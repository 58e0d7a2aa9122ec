// The adaptive stage of the in-circle test: the lifted 3x3 determinant of
// a, b, c relative to d, refined with exact expansions when the fast value
// (inline in the header) lies within its error bound.

#include "core/predicates.h"

#include "core/predicates_arith.h"

namespace qel::exact {

using namespace detail;

namespace {

using Sum = Accumulator<1152>;

// One of the three points seen from d: its translated head coordinates and
// their tails, and the exact lift x^2 + y^2 of the heads.
struct Corner {
    double x, y, xt, yt;
    double lift[4];
};

Corner makeCorner(const double* p, const double* pd) {
    Corner c;
    c.x = p[0] - pd[0];
    c.y = p[1] - pd[1];
    c.xt = twoDiffTail(p[0], pd[0], c.x);
    c.yt = twoDiffTail(p[1], pd[1], c.y);
    double xx1, xx0, yy1, yy0;
    square(c.x, xx1, xx0);
    square(c.y, yy1, yy0);
    twoTwoSum(xx1, xx0, yy1, yy0, c.lift);
    return c;
}

// lift(P) * cross(Q, R) is the term of P, with cross(Q, R) = Qx Ry - Rx Qy
// (P, Q, R running a, b, c cyclically). The products of P's tails with the
// head cross term are kept, as the second-order stage reuses them.
struct TailProducts {
    double xtqr[8];
    int xtqrlen = 0;
    double ytqr[8];
    int ytqrlen = 0;
};

// a += b * s1 * s2 for a four-component b.
void addScaledTwice(Sum& sum, const double* b, double s1, double s2) {
    double t8[8], t16[16];
    const int n8 = scale_expansion_zeroelim(4, b, s1, t8);
    sum.add(scale_expansion_zeroelim(n8, t8, s2, t16), t16);
}

// Adds three expansions of up to 16 components to the sum.
void addThree(Sum& sum, int la, const double* a, int lb, const double* b, int lc, const double* c) {
    double t32[32], t48[48];
    const int n32 = fast_expansion_sum_zeroelim(la, a, lb, b, t32);
    sum.add(fast_expansion_sum_zeroelim(lc, c, n32, t32, t48), t48);
}

// First-order tail terms of P: derivatives of the determinant along P's x
// and y tails, evaluated at the heads, times the tails.
void addFirstOrder(Sum& sum, const Corner& p, const Corner& q, const Corner& r, const double* qr,
                   TailProducts& tp) {
    double t8[8], ta[16], tb[16], tc[16];
    if (p.xt != 0.0) {
        tp.xtqrlen = scale_expansion_zeroelim(4, qr, p.xt, tp.xtqr);
        const int la = scale_expansion_zeroelim(tp.xtqrlen, tp.xtqr, 2.0 * p.x, ta);
        int n8 = scale_expansion_zeroelim(4, r.lift, p.xt, t8);
        const int lb = scale_expansion_zeroelim(n8, t8, q.y, tb);
        n8 = scale_expansion_zeroelim(4, q.lift, p.xt, t8);
        const int lc = scale_expansion_zeroelim(n8, t8, -r.y, tc);
        addThree(sum, la, ta, lb, tb, lc, tc);
    }
    if (p.yt != 0.0) {
        tp.ytqrlen = scale_expansion_zeroelim(4, qr, p.yt, tp.ytqr);
        const int la = scale_expansion_zeroelim(tp.ytqrlen, tp.ytqr, 2.0 * p.y, ta);
        int n8 = scale_expansion_zeroelim(4, q.lift, p.yt, t8);
        const int lb = scale_expansion_zeroelim(n8, t8, r.x, tb);
        n8 = scale_expansion_zeroelim(4, r.lift, p.yt, t8);
        const int lc = scale_expansion_zeroelim(n8, t8, -q.x, tc);
        addThree(sum, la, ta, lb, tb, lc, tc);
    }
}

// The products of P's lift tail (2 h t + t^2 along one axis) with the tail
// parts of cross(Q, R): qrt (one tail) and qrtt (two tails).
void addLiftTail(Sum& sum, double h, double t, const double* tqr, int tqrlen, const double* qrt, int qrtlen,
                 const double* qrtt, int qrttlen) {
    double t16a[16], t16b[16], t32a[32], t32b[32], t48[48], t64[64], tqrt[16], tqrtt[8];
    // t^2 cross(Q, R) + 2 h t qrt.
    int n16 = scale_expansion_zeroelim(tqrlen, tqr, t, t16a);
    const int nqrt = scale_expansion_zeroelim(qrtlen, qrt, t, tqrt);
    int n32 = scale_expansion_zeroelim(nqrt, tqrt, 2.0 * h, t32a);
    sum.add(fast_expansion_sum_zeroelim(n16, t16a, n32, t32a, t48), t48);
    // t^2 qrt + (2 h t + t^2) qrtt.
    n32 = scale_expansion_zeroelim(nqrt, tqrt, t, t32a);
    const int nqrtt = scale_expansion_zeroelim(qrttlen, qrtt, t, tqrtt);
    n16 = scale_expansion_zeroelim(nqrtt, tqrtt, 2.0 * h, t16a);
    const int n16b = scale_expansion_zeroelim(nqrtt, tqrtt, t, t16b);
    const int n32b = fast_expansion_sum_zeroelim(n16, t16a, n16b, t16b, t32b);
    sum.add(fast_expansion_sum_zeroelim(n32, t32a, n32b, t32b, t64), t64);
}

// Second-order and higher tail terms of P's column.
void addHigherOrder(Sum& sum, const Corner& p, const Corner& q, const Corner& r, const TailProducts& tp) {
    if (p.xt == 0.0 && p.yt == 0.0) return;
    double qrt[8], qrtt[4];
    int qrtlen = 1, qrttlen = 1;
    qrt[0] = qrtt[0] = 0.0;
    if (q.xt != 0.0 || q.yt != 0.0 || r.xt != 0.0 || r.yt != 0.0) {
        double u[4], v[4];
        productSum(q.xt, r.y, q.x, r.yt, u);
        productSum(r.xt, -q.y, r.x, -q.yt, v);
        qrtlen = fast_expansion_sum_zeroelim(4, u, 4, v, qrt);
        productDiff(q.xt, r.yt, r.xt, q.yt, qrtt);
        qrttlen = 4;
    }
    if (p.xt != 0.0) {
        addLiftTail(sum, p.x, p.xt, tp.xtqr, tp.xtqrlen, qrt, qrtlen, qrtt, qrttlen);
        // Head lifts of the others times the two-tail parts of their crosses
        // that involve P's x tail.
        if (q.yt != 0.0) addScaledTwice(sum, r.lift, p.xt, q.yt);
        if (r.yt != 0.0) addScaledTwice(sum, q.lift, -p.xt, r.yt);
    }
    if (p.yt != 0.0) addLiftTail(sum, p.y, p.yt, tp.ytqr, tp.ytqrlen, qrt, qrtlen, qrtt, qrttlen);
}

}  // namespace

double incircleadapt(const double* pa, const double* pb, const double* pc, const double* pd, double permanent) {
    const Corner a = makeCorner(pa, pd);
    const Corner b = makeCorner(pb, pd);
    const Corner c = makeCorner(pc, pd);

    double bc[4], ca[4], ab[4];
    productDiff(b.x, c.y, c.x, b.y, bc);
    productDiff(c.x, a.y, a.x, c.y, ca);
    productDiff(a.x, b.y, b.x, a.y, ab);

    // lift * cross for each corner, exactly on the heads.
    double det32[3][32];
    int det32len[3];
    const Corner* corners[3] = {&a, &b, &c};
    const double* crosses[3] = {bc, ca, ab};
    for (int k = 0; k < 3; ++k) {
        double x8[8], xx16[16], y8[8], yy16[16];
        const Corner& p = *corners[k];
        int n = scale_expansion_zeroelim(4, crosses[k], p.x, x8);
        const int nxx = scale_expansion_zeroelim(n, x8, p.x, xx16);
        n = scale_expansion_zeroelim(4, crosses[k], p.y, y8);
        const int nyy = scale_expansion_zeroelim(n, y8, p.y, yy16);
        det32len[k] = fast_expansion_sum_zeroelim(nxx, xx16, nyy, yy16, det32[k]);
    }
    double abdet[64], fin1[1152];
    const int ablen = fast_expansion_sum_zeroelim(det32len[0], det32[0], det32len[1], det32[1], abdet);
    const int finlen = fast_expansion_sum_zeroelim(ablen, abdet, det32len[2], det32[2], fin1);

    double det = estimate(finlen, fin1);
    double errbound = bounds.iccerrboundB * permanent;
    if (det >= errbound || -det >= errbound) return det;

    if (a.xt == 0.0 && a.yt == 0.0 && b.xt == 0.0 && b.yt == 0.0 && c.xt == 0.0 && c.yt == 0.0) return det;

    errbound = bounds.iccerrboundC * permanent + bounds.resulterrbound * absolute(det);
    det += ((a.x * a.x + a.y * a.y) * ((b.x * c.yt + c.y * b.xt) - (b.y * c.xt + c.x * b.yt)) +
            2.0 * (a.x * a.xt + a.y * a.yt) * (b.x * c.y - b.y * c.x)) +
           ((b.x * b.x + b.y * b.y) * ((c.x * a.yt + a.y * c.xt) - (c.y * a.xt + a.x * c.yt)) +
            2.0 * (b.x * b.xt + b.y * b.yt) * (c.x * a.y - c.y * a.x)) +
           ((c.x * c.x + c.y * c.y) * ((a.x * b.yt + b.y * a.xt) - (a.y * b.xt + b.x * a.yt)) +
            2.0 * (c.x * c.xt + c.y * c.yt) * (a.x * b.y - a.y * b.x));
    if (det >= errbound || -det >= errbound) return det;

    Sum sum(finlen, fin1);
    TailProducts ta, tb, tc;
    addFirstOrder(sum, a, b, c, bc, ta);
    addFirstOrder(sum, b, c, a, ca, tb);
    addFirstOrder(sum, c, a, b, ab, tc);
    addHigherOrder(sum, a, b, c, ta);
    addHigherOrder(sum, b, c, a, tb);
    addHigherOrder(sum, c, a, b, tc);
    return sum.top();
}

}  // namespace qel::exact
