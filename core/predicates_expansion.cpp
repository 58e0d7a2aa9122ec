// Expansion arithmetic of the exact predicates, the machine constants with
// their error bounds, and the random test-value generators.

#include "core/predicates.h"

#include <cstdlib>

#include "core/predicates_arith.h"

namespace qel::exact {

namespace detail {

namespace {
// Unit roundoff of IEEE doubles; the bounds below are exact in double.
constexpr double kEps = 0x1p-53;
}  // namespace

Bounds bounds = {
    kEps,
    0x1p27 + 1.0,
    (3.0 + 8.0 * kEps) * kEps,
    (3.0 + 16.0 * kEps) * kEps,
    (2.0 + 12.0 * kEps) * kEps,
    (9.0 + 64.0 * kEps) * kEps * kEps,
    (7.0 + 56.0 * kEps) * kEps,
    (3.0 + 28.0 * kEps) * kEps,
    (26.0 + 288.0 * kEps) * kEps * kEps,
    (10.0 + 96.0 * kEps) * kEps,
    (4.0 + 48.0 * kEps) * kEps,
    (44.0 + 576.0 * kEps) * kEps * kEps,
    (16.0 + 224.0 * kEps) * kEps,
    (5.0 + 72.0 * kEps) * kEps,
    (71.0 + 1408.0 * kEps) * kEps * kEps,
};

}  // namespace detail

using namespace detail;

int exactinit() {
    // Halve epsilon until 1 + epsilon rounds to 1 (or stops changing); the
    // splitter doubles every other step, ending at 2^ceil(p/2) + 1 for a
    // p-bit significand.
    double eps = 1.0;
    double splitter = 1.0;
    double check = 1.0;
    double lastcheck;
    bool everyOther = true;
    do {
        lastcheck = check;
        eps *= 0.5;
        if (everyOther) splitter *= 2.0;
        everyOther = !everyOther;
        check = 1.0 + eps;
    } while (check != 1.0 && check != lastcheck);
    splitter += 1.0;

    Bounds& b = bounds;
    b.epsilon = eps;
    b.splitter = splitter;
    b.resulterrbound = (3.0 + 8.0 * eps) * eps;
    b.ccwerrboundA = (3.0 + 16.0 * eps) * eps;
    b.ccwerrboundB = (2.0 + 12.0 * eps) * eps;
    b.ccwerrboundC = (9.0 + 64.0 * eps) * eps * eps;
    b.o3derrboundA = (7.0 + 56.0 * eps) * eps;
    b.o3derrboundB = (3.0 + 28.0 * eps) * eps;
    b.o3derrboundC = (26.0 + 288.0 * eps) * eps * eps;
    b.iccerrboundA = (10.0 + 96.0 * eps) * eps;
    b.iccerrboundB = (4.0 + 48.0 * eps) * eps;
    b.iccerrboundC = (44.0 + 576.0 * eps) * eps * eps;
    b.isperrboundA = (16.0 + 224.0 * eps) * eps;
    b.isperrboundB = (5.0 + 72.0 * eps) * eps;
    b.isperrboundC = (71.0 + 1408.0 * eps) * eps * eps;
    return 0;
}

int grow_expansion(int elen, const double* e, double b, double* h) {
    double q = b;
    for (int i = 0; i < elen; ++i) {
        double qnew;
        twoSum(q, e[i], qnew, h[i]);
        q = qnew;
    }
    h[elen] = q;
    return elen + 1;
}

int grow_expansion_zeroelim(int elen, const double* e, double b, double* h) {
    int hindex = 0;
    double q = b;
    for (int i = 0; i < elen; ++i) {
        double qnew, hh;
        twoSum(q, e[i], qnew, hh);
        q = qnew;
        if (hh != 0.0) h[hindex++] = hh;
    }
    if (q != 0.0 || hindex == 0) h[hindex++] = q;
    return hindex;
}

int expansion_sum(int elen, const double* e, int flen, const double* f, double* h) {
    double q = f[0];
    for (int i = 0; i < elen; ++i) {
        double qnew;
        twoSum(q, e[i], qnew, h[i]);
        q = qnew;
    }
    h[elen] = q;
    int hlast = elen;
    for (int fi = 1; fi < flen; ++fi) {
        q = f[fi];
        for (int i = fi; i <= hlast; ++i) {
            double qnew;
            twoSum(q, h[i], qnew, h[i]);
            q = qnew;
        }
        h[++hlast] = q;
    }
    return hlast + 1;
}

int expansion_sum_zeroelim1(int elen, const double* e, int flen, const double* f, double* h) {
    const int len = expansion_sum(elen, e, flen, f, h);
    int hindex = 0;
    for (int i = 0; i < len; ++i)
        if (h[i] != 0.0) h[hindex++] = h[i];
    if (hindex == 0) {
        h[0] = 0.0;
        return 1;
    }
    return hindex;
}

int expansion_sum_zeroelim2(int elen, const double* e, int flen, const double* f, double* h) {
    int hindex = 0;
    double q = f[0];
    for (int i = 0; i < elen; ++i) {
        double qnew, hh;
        twoSum(q, e[i], qnew, hh);
        q = qnew;
        if (hh != 0.0) h[hindex++] = hh;
    }
    h[hindex] = q;
    int hlast = hindex;
    for (int fi = 1; fi < flen; ++fi) {
        hindex = 0;
        q = f[fi];
        for (int i = 0; i <= hlast; ++i) {
            double qnew, hh;
            twoSum(q, h[i], qnew, hh);
            q = qnew;
            if (hh != 0.0) h[hindex++] = hh;
        }
        h[hindex] = q;
        hlast = hindex;
    }
    return hlast + 1;
}

namespace {

// Merges two expansions by magnitude: next() hands out their components in
// order of increasing magnitude. Reads stay within both arrays.
class Merge {
public:
    Merge(int elen, const double* e, int flen, const double* f) : e_(e), f_(f), elen_(elen), flen_(flen) {}
    bool bothLeft() const { return ei_ < elen_ && fi_ < flen_; }
    bool anyLeft() const { return ei_ < elen_ || fi_ < flen_; }
    double next() {
        if (ei_ < elen_ && (fi_ >= flen_ || smallerE())) return e_[ei_++];
        return f_[fi_++];
    }

private:
    bool smallerE() const {
        const double en = e_[ei_], fn = f_[fi_];
        return (fn > en) == (fn > -en);
    }
    const double* e_;
    const double* f_;
    int elen_, flen_;
    int ei_ = 0, fi_ = 0;
};

}  // namespace

int fast_expansion_sum(int elen, const double* e, int flen, const double* f, double* h) {
    Merge m(elen, e, flen, f);
    double q = m.next();
    int hindex = 0;
    if (m.bothLeft()) {
        double qnew;
        fastTwoSum(m.next(), q, qnew, h[hindex++]);
        q = qnew;
        while (m.bothLeft()) {
            twoSum(q, m.next(), qnew, h[hindex++]);
            q = qnew;
        }
    }
    while (m.anyLeft()) {
        double qnew;
        twoSum(q, m.next(), qnew, h[hindex++]);
        q = qnew;
    }
    h[hindex] = q;
    return hindex + 1;
}

int fast_expansion_sum_zeroelim(int elen, const double* e, int flen, const double* f, double* h) {
    Merge m(elen, e, flen, f);
    double q = m.next();
    int hindex = 0;
    double qnew, hh;
    if (m.bothLeft()) {
        fastTwoSum(m.next(), q, qnew, hh);
        q = qnew;
        if (hh != 0.0) h[hindex++] = hh;
        while (m.bothLeft()) {
            twoSum(q, m.next(), qnew, hh);
            q = qnew;
            if (hh != 0.0) h[hindex++] = hh;
        }
    }
    while (m.anyLeft()) {
        twoSum(q, m.next(), qnew, hh);
        q = qnew;
        if (hh != 0.0) h[hindex++] = hh;
    }
    if (q != 0.0 || hindex == 0) h[hindex++] = q;
    return hindex;
}

int linear_expansion_sum(int elen, const double* e, int flen, const double* f, double* h) {
    Merge m(elen, e, flen, f);
    const double g0 = m.next();
    double q, qbig;
    fastTwoSum(m.next(), g0, qbig, q);
    int hindex = 0;
    for (; hindex < elen + flen - 2; ++hindex) {
        double r, qnew;
        fastTwoSum(m.next(), q, r, h[hindex]);
        twoSum(qbig, r, qnew, q);
        qbig = qnew;
    }
    h[hindex] = q;
    h[hindex + 1] = qbig;
    return hindex + 2;
}

int linear_expansion_sum_zeroelim(int elen, const double* e, int flen, const double* f, double* h) {
    Merge m(elen, e, flen, f);
    const double g0 = m.next();
    double q, qbig;
    fastTwoSum(m.next(), g0, qbig, q);
    int hindex = 0;
    for (int count = 2; count < elen + flen; ++count) {
        double r, qnew, hh;
        fastTwoSum(m.next(), q, r, hh);
        twoSum(qbig, r, qnew, q);
        qbig = qnew;
        if (hh != 0.0) h[hindex++] = hh;
    }
    if (q != 0.0) h[hindex++] = q;
    if (qbig != 0.0 || hindex == 0) h[hindex++] = qbig;
    return hindex;
}

int scale_expansion(int elen, const double* e, double b, double* h) {
    double bhi, blo;
    split(b, bhi, blo);
    double q;
    twoProductPresplit(e[0], b, bhi, blo, q, h[0]);
    int hindex = 1;
    for (int i = 1; i < elen; ++i) {
        double p1, p0, sum;
        twoProductPresplit(e[i], b, bhi, blo, p1, p0);
        twoSum(q, p0, sum, h[hindex++]);
        twoSum(p1, sum, q, h[hindex++]);
    }
    h[hindex] = q;
    return elen + elen;
}

int scale_expansion_zeroelim(int elen, const double* e, double b, double* h) {
    double bhi, blo;
    split(b, bhi, blo);
    double q, hh;
    twoProductPresplit(e[0], b, bhi, blo, q, hh);
    int hindex = 0;
    if (hh != 0.0) h[hindex++] = hh;
    for (int i = 1; i < elen; ++i) {
        double p1, p0, sum;
        twoProductPresplit(e[i], b, bhi, blo, p1, p0);
        twoSum(q, p0, sum, hh);
        if (hh != 0.0) h[hindex++] = hh;
        fastTwoSum(p1, sum, q, hh);
        if (hh != 0.0) h[hindex++] = hh;
    }
    if (q != 0.0 || hindex == 0) h[hindex++] = q;
    return hindex;
}

int compress(int elen, const double* e, double* h) {
    // Top down: gather the components into a few large ones.
    int bottom = elen - 1;
    double q = e[bottom];
    for (int i = elen - 2; i >= 0; --i) {
        double qnew, small;
        fastTwoSum(q, e[i], qnew, small);
        if (small != 0.0) {
            h[bottom--] = qnew;
            q = small;
        } else {
            q = qnew;
        }
    }
    h[bottom] = q;
    // Bottom up: make them non-adjacent again.
    int top = 0;
    for (int i = bottom + 1; i < elen; ++i) {
        double qnew, small;
        fastTwoSum(h[i], q, qnew, small);
        if (small != 0.0) h[top++] = small;
        q = qnew;
    }
    h[top] = q;
    return top + 1;
}

double estimate(int elen, const double* e) {
    double q = e[0];
    for (int i = 1; i < elen; ++i) q += e[i];
    return q;
}

namespace {

// A signed random integer of 53 bits (|m| < 2^53) from three calls.
double randomMantissa53() {
    const long a = std::rand() & 0x7FFFFFF;  // 27 bits
    const long b = std::rand() & 0x3FFFFFF;  // 26 bits
    const double m = double(a) * 67108864.0 + double(b);
    return (std::rand() & 1) ? -m : m;
}

// A signed random integer of 24 bits.
float randomMantissa24() {
    const long a = std::rand() & 0xFFFFFF;
    const float m = float(a);
    return (std::rand() & 1) ? -m : m;
}

// 2^k for a random k in [0, 2^bits - 1], built from the bits of k.
double randomPowerOfTwo(int bits) {
    const int k = std::rand() & ((1 << bits) - 1);
    double scale = 1.0;
    double factor = 2.0;
    for (int i = 0; i < bits; ++i) {
        if (k & (1 << i)) scale *= factor;
        factor *= factor;
    }
    return scale;
}

}  // namespace

double doublerand() { return randomMantissa53() * randomPowerOfTwo(9); }
double narrowdoublerand() { return randomMantissa53() * randomPowerOfTwo(3); }
double uniformdoublerand() { return randomMantissa53(); }
float floatrand() { return randomMantissa24() * float(randomPowerOfTwo(6)); }
float narrowfloatrand() { return randomMantissa24() * float(randomPowerOfTwo(3)); }
float uniformfloatrand() { return randomMantissa24(); }

}  // namespace qel::exact
