// The adaptive stages of the orientation tests in 2-D and 3-D: refinement
// with exact expansions when the fast value (inline in the header) lies
// within its error bound.

#include "core/predicates.h"

#include "core/predicates_arith.h"

namespace qel::exact {

using namespace detail;

double orient2dadapt(const double* pa, const double* pb, const double* pc, double detsum) {
    const double acx = pa[0] - pc[0];
    const double bcx = pb[0] - pc[0];
    const double acy = pa[1] - pc[1];
    const double bcy = pb[1] - pc[1];

    double B[4];
    productDiff(acx, bcy, acy, bcx, B);
    double det = estimate(4, B);
    double errbound = bounds.ccwerrboundB * detsum;
    if (det >= errbound || -det >= errbound) return det;

    const double acxtail = twoDiffTail(pa[0], pc[0], acx);
    const double bcxtail = twoDiffTail(pb[0], pc[0], bcx);
    const double acytail = twoDiffTail(pa[1], pc[1], acy);
    const double bcytail = twoDiffTail(pb[1], pc[1], bcy);
    if (acxtail == 0.0 && acytail == 0.0 && bcxtail == 0.0 && bcytail == 0.0) return det;

    errbound = bounds.ccwerrboundC * detsum + bounds.resulterrbound * absolute(det);
    det += (acx * bcytail + bcy * acxtail) - (acy * bcxtail + bcx * acytail);
    if (det >= errbound || -det >= errbound) return det;

    double u[4], C1[8], C2[12], D[16];
    productDiff(acxtail, bcy, acytail, bcx, u);
    const int c1len = fast_expansion_sum_zeroelim(4, B, 4, u, C1);
    productDiff(acx, bcytail, acy, bcxtail, u);
    const int c2len = fast_expansion_sum_zeroelim(c1len, C1, 4, u, C2);
    productDiff(acxtail, bcytail, acytail, bcxtail, u);
    const int dlen = fast_expansion_sum_zeroelim(c2len, C2, 4, u, D);
    return D[dlen - 1];
}

namespace {

// out = xt py - yt px exactly: the part of a 2x2 cross term that carries the
// tails (xt, yt) of one point against the head coordinates (px, py) of
// another. Returns the length (1 when both tails are zero).
int tailCross(double xt, double yt, double px, double py, double* out) {
    if (xt == 0.0) {
        if (yt == 0.0) {
            out[0] = 0.0;
            return 1;
        }
        twoProduct(-yt, px, out[1], out[0]);
        return 2;
    }
    if (yt == 0.0) {
        twoProduct(xt, py, out[1], out[0]);
        return 2;
    }
    productDiff(xt, py, yt, px, out);
    return 4;
}

// Adds (xt yt' - x't yt) z and the same times ztail, for the products of two
// tails of one 2x2 cross term with a z coordinate and its tail.
template <int N>
void addTailTail(Accumulator<N>& fin, double t1, double t2, double z, double ztail) {
    double p1, p0, u[4];
    twoProduct(t1, t2, p1, p0);
    twoOneProduct(p1, p0, z, u);
    fin.add(4, u);
    if (ztail != 0.0) {
        twoOneProduct(p1, p0, ztail, u);
        fin.add(4, u);
    }
}

}  // namespace

double orient3dadapt(const double* pa, const double* pb, const double* pc, const double* pd, double permanent) {
    const double adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    const double ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];
    const double adz = pa[2] - pd[2], bdz = pb[2] - pd[2], cdz = pc[2] - pd[2];

    double bc[4], ca[4], ab[4];
    productDiff(bdx, cdy, cdx, bdy, bc);
    productDiff(cdx, ady, adx, cdy, ca);
    productDiff(adx, bdy, bdx, ady, ab);
    double adet[8], bdet[8], cdet[8], abdet[16], fin1[192];
    const int alen = scale_expansion_zeroelim(4, bc, adz, adet);
    const int blen = scale_expansion_zeroelim(4, ca, bdz, bdet);
    const int clen = scale_expansion_zeroelim(4, ab, cdz, cdet);
    const int ablen = fast_expansion_sum_zeroelim(alen, adet, blen, bdet, abdet);
    const int finlen = fast_expansion_sum_zeroelim(ablen, abdet, clen, cdet, fin1);

    double det = estimate(finlen, fin1);
    double errbound = bounds.o3derrboundB * permanent;
    if (det >= errbound || -det >= errbound) return det;

    const double adxtail = twoDiffTail(pa[0], pd[0], adx);
    const double bdxtail = twoDiffTail(pb[0], pd[0], bdx);
    const double cdxtail = twoDiffTail(pc[0], pd[0], cdx);
    const double adytail = twoDiffTail(pa[1], pd[1], ady);
    const double bdytail = twoDiffTail(pb[1], pd[1], bdy);
    const double cdytail = twoDiffTail(pc[1], pd[1], cdy);
    const double adztail = twoDiffTail(pa[2], pd[2], adz);
    const double bdztail = twoDiffTail(pb[2], pd[2], bdz);
    const double cdztail = twoDiffTail(pc[2], pd[2], cdz);
    if (adxtail == 0.0 && bdxtail == 0.0 && cdxtail == 0.0 && adytail == 0.0 && bdytail == 0.0 &&
        cdytail == 0.0 && adztail == 0.0 && bdztail == 0.0 && cdztail == 0.0)
        return det;

    errbound = bounds.o3derrboundC * permanent + bounds.resulterrbound * absolute(det);
    det += (adz * ((bdx * cdytail + cdy * bdxtail) - (bdy * cdxtail + cdx * bdytail)) +
            adztail * (bdx * cdy - bdy * cdx)) +
           (bdz * ((cdx * adytail + ady * cdxtail) - (cdy * adxtail + adx * cdytail)) +
            bdztail * (cdx * ady - cdy * adx)) +
           (cdz * ((adx * bdytail + bdy * adxtail) - (ady * bdxtail + bdx * adytail)) +
            cdztail * (adx * bdy - ady * bdx));
    if (det >= errbound || -det >= errbound) return det;

    Accumulator<192> fin(finlen, fin1);

    // One-tail parts of the three cross terms, grouped by the z they multiply:
    // bc gets b's and c's tails (times adz), ca gets c's and a's (bdz), ab
    // gets a's and b's (cdz).
    double at_b[4], at_c[4], bt_c[4], bt_a[4], ct_a[4], ct_b[4];
    const int at_blen = tailCross(adxtail, adytail, bdx, bdy, at_b);
    const int at_clen = tailCross(-adxtail, -adytail, cdx, cdy, at_c);
    const int bt_clen = tailCross(bdxtail, bdytail, cdx, cdy, bt_c);
    const int bt_alen = tailCross(-bdxtail, -bdytail, adx, ady, bt_a);
    const int ct_alen = tailCross(cdxtail, cdytail, adx, ady, ct_a);
    const int ct_blen = tailCross(-cdxtail, -cdytail, bdx, bdy, ct_b);

    double bct[8], cat[8], abt[8], w[16], v[12];
    const int bctlen = fast_expansion_sum_zeroelim(bt_clen, bt_c, ct_blen, ct_b, bct);
    fin.add(scale_expansion_zeroelim(bctlen, bct, adz, w), w);
    const int catlen = fast_expansion_sum_zeroelim(ct_alen, ct_a, at_clen, at_c, cat);
    fin.add(scale_expansion_zeroelim(catlen, cat, bdz, w), w);
    const int abtlen = fast_expansion_sum_zeroelim(at_blen, at_b, bt_alen, bt_a, abt);
    fin.add(scale_expansion_zeroelim(abtlen, abt, cdz, w), w);

    if (adztail != 0.0) fin.add(scale_expansion_zeroelim(4, bc, adztail, v), v);
    if (bdztail != 0.0) fin.add(scale_expansion_zeroelim(4, ca, bdztail, v), v);
    if (cdztail != 0.0) fin.add(scale_expansion_zeroelim(4, ab, cdztail, v), v);

    // Products of two tails.
    if (adxtail != 0.0) {
        if (bdytail != 0.0) addTailTail(fin, adxtail, bdytail, cdz, cdztail);
        if (cdytail != 0.0) addTailTail(fin, -adxtail, cdytail, bdz, bdztail);
    }
    if (bdxtail != 0.0) {
        if (cdytail != 0.0) addTailTail(fin, bdxtail, cdytail, adz, adztail);
        if (adytail != 0.0) addTailTail(fin, -bdxtail, adytail, cdz, cdztail);
    }
    if (cdxtail != 0.0) {
        if (adytail != 0.0) addTailTail(fin, cdxtail, adytail, bdz, bdztail);
        if (bdytail != 0.0) addTailTail(fin, -cdxtail, bdytail, adz, adztail);
    }

    // One-tail cross parts times the z tails.
    if (adztail != 0.0) fin.add(scale_expansion_zeroelim(bctlen, bct, adztail, w), w);
    if (bdztail != 0.0) fin.add(scale_expansion_zeroelim(catlen, cat, bdztail, w), w);
    if (cdztail != 0.0) fin.add(scale_expansion_zeroelim(abtlen, abt, cdztail, w), w);

    return fin.top();
}

}  // namespace qel::exact
