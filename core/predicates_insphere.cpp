// The in-sphere test: the lifted 4x4 determinant of a, b, c, d relative to e,
// evaluated fast with an error bound, refined adaptively, and as a last resort
// evaluated exactly from the raw coordinates.

#include "core/predicates.h"

#include "core/predicates_arith.h"

namespace qel::exact {

using namespace detail;

namespace {

// out = s1 e1 + s2 e2 + s3 e3 for three four-component expansions; up to 24
// components.
int combine3(const double* e1, double s1, const double* e2, double s2, const double* e3, double s3, double* out) {
    double t8a[8], t8b[8], t8c[8], t16[16];
    const int la = scale_expansion_zeroelim(4, e1, s1, t8a);
    const int lb = scale_expansion_zeroelim(4, e2, s2, t8b);
    const int lc = scale_expansion_zeroelim(4, e3, s3, t8c);
    const int l16 = fast_expansion_sum_zeroelim(la, t8a, lb, t8b, t16);
    return fast_expansion_sum_zeroelim(lc, t8c, l16, t16, out);
}

// out = sign (x^2 + y^2 + z^2) m for an expansion m of up to 24 (adaptive
// stage) or 96 (exact stage) components; up to 12 len(m) components.
int liftTimes(int mlen, const double* m, double x, double y, double z, double sign, double* out) {
    double t[192], xx[384], yy[384], zz[384], xy[768];
    int n = scale_expansion_zeroelim(mlen, m, x, t);
    const int lx = scale_expansion_zeroelim(n, t, sign * x, xx);
    n = scale_expansion_zeroelim(mlen, m, y, t);
    const int ly = scale_expansion_zeroelim(n, t, sign * y, yy);
    n = scale_expansion_zeroelim(mlen, m, z, t);
    const int lz = scale_expansion_zeroelim(n, t, sign * z, zz);
    const int lxy = fast_expansion_sum_zeroelim(lx, xx, ly, yy, xy);
    return fast_expansion_sum_zeroelim(lxy, xy, lz, zz, out);
}

}  // namespace

double insphereexact(const double* pa, const double* pb, const double* pc, const double* pd, const double* pe) {
    // The 5x5 determinant with rows (x, y, z, x^2 + y^2 + z^2, 1), expanded
    // along the lift column: sum over rows i of (-1)^(i+1) lift_i N_i, where
    // N_i is the 4x4 determinant of columns (x, y, z, 1) without row i.
    const double* p[5] = {pa, pb, pc, pd, pe};

    // 2x2 minors of columns (x, y): M(i, j) = x_i y_j - x_j y_i for i < j.
    double minor[5][5][4];
    for (int i = 0; i < 5; ++i)
        for (int j = i + 1; j < 5; ++j) productDiff(p[i][0], p[j][1], p[j][0], p[i][1], minor[i][j]);

    // 3x3 minors of columns (x, y, z) for rows i < j < k, expanded along z.
    double tri[5][5][5][24];
    int trilen[5][5][5] = {};
    for (int i = 0; i < 5; ++i)
        for (int j = i + 1; j < 5; ++j)
            for (int k = j + 1; k < 5; ++k)
                trilen[i][j][k] = combine3(minor[j][k], p[i][2], minor[i][k], -p[j][2], minor[i][j], p[k][2],
                                           tri[i][j][k]);

    // lift_i N_i with its sign, for the row i left out of N.
    auto liftTerm = [&](int skip, double* term) {
        int r[4];
        for (int i = 0, n = 0; i < 5; ++i)
            if (i != skip) r[n++] = i;
        // N = -T(r1 r2 r3) + T(r0 r2 r3) - T(r0 r1 r3) + T(r0 r1 r2).
        double t48a[48], t48b[48], n96[96];
        const int la = fast_expansion_sum_zeroelim(trilen[r[0]][r[2]][r[3]], tri[r[0]][r[2]][r[3]],
                                                   trilen[r[0]][r[1]][r[2]], tri[r[0]][r[1]][r[2]], t48a);
        const int lb = fast_expansion_sum_zeroelim(trilen[r[1]][r[2]][r[3]], tri[r[1]][r[2]][r[3]],
                                                   trilen[r[0]][r[1]][r[3]], tri[r[0]][r[1]][r[3]], t48b);
        for (int i = 0; i < lb; ++i) t48b[i] = -t48b[i];
        const int ln = fast_expansion_sum_zeroelim(la, t48a, lb, t48b, n96);
        const double sign = (skip % 2 == 0) ? -1.0 : 1.0;
        return liftTimes(ln, n96, p[skip][0], p[skip][1], p[skip][2], sign, term);
    };

    double term[1152];
    Accumulator<5760> sum(liftTerm(0, term), term);
    for (int skip = 1; skip < 5; ++skip) {
        const int lt = liftTerm(skip, term);
        sum.add(lt, term);
    }
    return sum.top();
}

double insphereadapt(const double* pa, const double* pb, const double* pc, const double* pd, const double* pe,
                     double permanent) {
    const double aex = pa[0] - pe[0], bex = pb[0] - pe[0], cex = pc[0] - pe[0], dex = pd[0] - pe[0];
    const double aey = pa[1] - pe[1], bey = pb[1] - pe[1], cey = pc[1] - pe[1], dey = pd[1] - pe[1];
    const double aez = pa[2] - pe[2], bez = pb[2] - pe[2], cez = pc[2] - pe[2], dez = pd[2] - pe[2];

    double ab[4], bc[4], cd[4], da[4], ac[4], bd[4];
    productDiff(aex, bey, bex, aey, ab);
    productDiff(bex, cey, cex, bey, bc);
    productDiff(cex, dey, dex, cey, cd);
    productDiff(dex, aey, aex, dey, da);
    productDiff(aex, cey, cex, aey, ac);
    productDiff(bex, dey, dex, bey, bd);

    // det = -alift bcd + blift cda - clift dab + dlift abc.
    double t24[24], adet[288], bdet[288], cdet[288], ddet[288];
    int n = combine3(cd, bez, bd, -cez, bc, dez, t24);
    const int alen = liftTimes(n, t24, aex, aey, aez, -1.0, adet);
    n = combine3(da, cez, ac, dez, cd, aez, t24);
    const int blen = liftTimes(n, t24, bex, bey, bez, 1.0, bdet);
    n = combine3(ab, dez, bd, aez, da, bez, t24);
    const int clen = liftTimes(n, t24, cex, cey, cez, -1.0, cdet);
    n = combine3(bc, aez, ac, -bez, ab, cez, t24);
    const int dlen = liftTimes(n, t24, dex, dey, dez, 1.0, ddet);

    double abdet[576], cddet[576], fin1[1152];
    const int ablen = fast_expansion_sum_zeroelim(alen, adet, blen, bdet, abdet);
    const int cdlen = fast_expansion_sum_zeroelim(clen, cdet, dlen, ddet, cddet);
    const int finlen = fast_expansion_sum_zeroelim(ablen, abdet, cdlen, cddet, fin1);

    double det = estimate(finlen, fin1);
    double errbound = bounds.isperrboundB * permanent;
    if (det >= errbound || -det >= errbound) return det;

    const double aextail = twoDiffTail(pa[0], pe[0], aex);
    const double aeytail = twoDiffTail(pa[1], pe[1], aey);
    const double aeztail = twoDiffTail(pa[2], pe[2], aez);
    const double bextail = twoDiffTail(pb[0], pe[0], bex);
    const double beytail = twoDiffTail(pb[1], pe[1], bey);
    const double beztail = twoDiffTail(pb[2], pe[2], bez);
    const double cextail = twoDiffTail(pc[0], pe[0], cex);
    const double ceytail = twoDiffTail(pc[1], pe[1], cey);
    const double ceztail = twoDiffTail(pc[2], pe[2], cez);
    const double dextail = twoDiffTail(pd[0], pe[0], dex);
    const double deytail = twoDiffTail(pd[1], pe[1], dey);
    const double deztail = twoDiffTail(pd[2], pe[2], dez);
    if (aextail == 0.0 && aeytail == 0.0 && aeztail == 0.0 && bextail == 0.0 && beytail == 0.0 &&
        beztail == 0.0 && cextail == 0.0 && ceytail == 0.0 && ceztail == 0.0 && dextail == 0.0 &&
        deytail == 0.0 && deztail == 0.0)
        return det;

    // First-order correction from the tails.
    errbound = bounds.isperrboundC * permanent + bounds.resulterrbound * absolute(det);
    const double abeps = (aex * beytail + bey * aextail) - (aey * bextail + bex * aeytail);
    const double bceps = (bex * ceytail + cey * bextail) - (bey * cextail + cex * beytail);
    const double cdeps = (cex * deytail + dey * cextail) - (cey * dextail + dex * ceytail);
    const double daeps = (dex * aeytail + aey * dextail) - (dey * aextail + aex * deytail);
    const double aceps = (aex * ceytail + cey * aextail) - (aey * cextail + cex * aeytail);
    const double bdeps = (bex * deytail + dey * bextail) - (bey * dextail + dex * beytail);
    const double ab3 = ab[3], bc3 = bc[3], cd3 = cd[3], da3 = da[3], ac3 = ac[3], bd3 = bd[3];
    det += (((bex * bex + bey * bey + bez * bez) *
                 ((cez * daeps + dez * aceps + aez * cdeps) + (ceztail * da3 + deztail * ac3 + aeztail * cd3)) +
             (dex * dex + dey * dey + dez * dez) *
                 ((aez * bceps - bez * aceps + cez * abeps) + (aeztail * bc3 - beztail * ac3 + ceztail * ab3))) -
            ((aex * aex + aey * aey + aez * aez) *
                 ((bez * cdeps - cez * bdeps + dez * bceps) + (beztail * cd3 - ceztail * bd3 + deztail * bc3)) +
             (cex * cex + cey * cey + cez * cez) *
                 ((dez * abeps + aez * bdeps + bez * daeps) + (deztail * ab3 + aeztail * bd3 + beztail * da3)))) +
           2.0 * (((bex * bextail + bey * beytail + bez * beztail) * (cez * da3 + dez * ac3 + aez * cd3) +
                   (dex * dextail + dey * deytail + dez * deztail) * (aez * bc3 - bez * ac3 + cez * ab3)) -
                  ((aex * aextail + aey * aeytail + aez * aeztail) * (bez * cd3 - cez * bd3 + dez * bc3) +
                   (cex * cextail + cey * ceytail + cez * ceztail) * (dez * ab3 + aez * bd3 + bez * da3)));
    if (det >= errbound || -det >= errbound) return det;

    return insphereexact(pa, pb, pc, pd, pe);
}

double insphere(const double* pa, const double* pb, const double* pc, const double* pd, const double* pe) {
    const double aex = pa[0] - pe[0], bex = pb[0] - pe[0], cex = pc[0] - pe[0], dex = pd[0] - pe[0];
    const double aey = pa[1] - pe[1], bey = pb[1] - pe[1], cey = pc[1] - pe[1], dey = pd[1] - pe[1];
    const double aez = pa[2] - pe[2], bez = pb[2] - pe[2], cez = pc[2] - pe[2], dez = pd[2] - pe[2];

    const double aexbey = aex * bey, bexaey = bex * aey;
    const double bexcey = bex * cey, cexbey = cex * bey;
    const double cexdey = cex * dey, dexcey = dex * cey;
    const double dexaey = dex * aey, aexdey = aex * dey;
    const double aexcey = aex * cey, cexaey = cex * aey;
    const double bexdey = bex * dey, dexbey = dex * bey;
    const double ab = aexbey - bexaey;
    const double bc = bexcey - cexbey;
    const double cd = cexdey - dexcey;
    const double da = dexaey - aexdey;
    const double ac = aexcey - cexaey;
    const double bd = bexdey - dexbey;

    const double abc = aez * bc - bez * ac + cez * ab;
    const double bcd = bez * cd - cez * bd + dez * bc;
    const double cda = cez * da + dez * ac + aez * cd;
    const double dab = dez * ab + aez * bd + bez * da;

    const double alift = aex * aex + aey * aey + aez * aez;
    const double blift = bex * bex + bey * bey + bez * bez;
    const double clift = cex * cex + cey * cey + cez * cez;
    const double dlift = dex * dex + dey * dey + dez * dez;

    const double det = (dlift * abc - clift * dab) + (blift * cda - alift * bcd);

    const double aezp = absolute(aez), bezp = absolute(bez), cezp = absolute(cez), dezp = absolute(dez);
    const double ab_p = absolute(aexbey) + absolute(bexaey);
    const double bc_p = absolute(bexcey) + absolute(cexbey);
    const double cd_p = absolute(cexdey) + absolute(dexcey);
    const double da_p = absolute(dexaey) + absolute(aexdey);
    const double ac_p = absolute(aexcey) + absolute(cexaey);
    const double bd_p = absolute(bexdey) + absolute(dexbey);
    const double permanent = (cd_p * bezp + bd_p * cezp + bc_p * dezp) * alift +
                             (da_p * cezp + ac_p * dezp + cd_p * aezp) * blift +
                             (ab_p * dezp + bd_p * aezp + da_p * bezp) * clift +
                             (bc_p * aezp + ac_p * bezp + ab_p * cezp) * dlift;
    const double errbound = bounds.isperrboundA * permanent;
    if (det > errbound || -det > errbound) return det;
    return insphereadapt(pa, pb, pc, pd, pe, permanent);
}

}  // namespace qel::exact
