#pragma once
// Error-free transformations on doubles used by the exact predicates: sums,
// differences and products returned as a rounded value x and its exact
// rounding error y (x + y equals the exact result). Included only by the
// predicate sources.
//
// These rely on every operation being rounded to double on its own: a fused
// multiply-add formed by the compiler out of `c - a * b` would break the
// splitting of a double into two halves. Contraction is therefore switched
// off for every function that follows this header.

#include "core/predicates.h"

#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace qel::exact::detail {

inline double absolute(double a) { return a >= 0.0 ? a : -a; }

// x = a + b rounded, y its error; requires |a| >= |b| (or a = 0).
inline void fastTwoSum(double a, double b, double& x, double& y) {
    x = a + b;
    const double bvirt = x - a;
    y = b - bvirt;
}

// x = a + b rounded, y its error, for any a and b.
inline void twoSum(double a, double b, double& x, double& y) {
    x = a + b;
    const double bvirt = x - a;
    const double avirt = x - bvirt;
    const double bround = b - bvirt;
    const double around = a - avirt;
    y = around + bround;
}

// The error of x = a - b rounded.
inline double twoDiffTail(double a, double b, double x) {
    const double bvirt = a - x;
    const double avirt = x + bvirt;
    const double bround = bvirt - b;
    const double around = a - avirt;
    return around + bround;
}

// x = a - b rounded, y its error.
inline void twoDiff(double a, double b, double& x, double& y) {
    x = a - b;
    y = twoDiffTail(a, b, x);
}

// Splits a into two non-overlapping halves of at most 26 significant bits
// each, so that products of halves are exact.
inline void split(double a, double& hi, double& lo) {
    const double c = bounds.splitter * a;
    const double abig = c - a;
    hi = c - abig;
    lo = a - hi;
}

// x = a b rounded, y its error, with b already split.
inline void twoProductPresplit(double a, double b, double bhi, double blo, double& x, double& y) {
    x = a * b;
    double ahi, alo;
    split(a, ahi, alo);
    const double err1 = x - (ahi * bhi);
    const double err2 = err1 - (alo * bhi);
    const double err3 = err2 - (ahi * blo);
    y = (alo * blo) - err3;
}

// x = a b rounded, y its error.
inline void twoProduct(double a, double b, double& x, double& y) {
    double bhi, blo;
    split(b, bhi, blo);
    twoProductPresplit(a, b, bhi, blo, x, y);
}

// x = a a rounded, y its error.
inline void square(double a, double& x, double& y) {
    x = a * a;
    double ahi, alo;
    split(a, ahi, alo);
    const double err1 = x - (ahi * ahi);
    const double err3 = err1 - ((ahi + ahi) * alo);
    y = (alo * alo) - err3;
}

// (x2, x1, x0) = (a1, a0) + b.
inline void twoOneSum(double a1, double a0, double b, double& x2, double& x1, double& x0) {
    double i;
    twoSum(a0, b, i, x0);
    twoSum(a1, i, x2, x1);
}

// (x2, x1, x0) = (a1, a0) - b.
inline void twoOneDiff(double a1, double a0, double b, double& x2, double& x1, double& x0) {
    double i;
    twoDiff(a0, b, i, x0);
    twoSum(a1, i, x2, x1);
}

// x[0..3] = (a1, a0) + (b1, b0), smallest component first.
inline void twoTwoSum(double a1, double a0, double b1, double b0, double* x) {
    double j, r0;
    twoOneSum(a1, a0, b0, j, r0, x[0]);
    twoOneSum(j, r0, b1, x[3], x[2], x[1]);
}

// x[0..3] = (a1, a0) - (b1, b0), smallest component first.
inline void twoTwoDiff(double a1, double a0, double b1, double b0, double* x) {
    double j, r0;
    twoOneDiff(a1, a0, b0, j, r0, x[0]);
    twoOneDiff(j, r0, b1, x[3], x[2], x[1]);
}

// x[0..3] = (a1, a0) b, smallest component first.
inline void twoOneProduct(double a1, double a0, double b, double* x) {
    double bhi, blo, i, j, k, r0;
    split(b, bhi, blo);
    twoProductPresplit(a0, b, bhi, blo, i, x[0]);
    twoProductPresplit(a1, b, bhi, blo, j, r0);
    twoSum(i, r0, k, x[1]);
    fastTwoSum(j, k, x[3], x[2]);
}

// x[0..3] = a b - c d exactly, smallest component first.
inline void productDiff(double a, double b, double c, double d, double* x) {
    double s1, s0, t1, t0;
    twoProduct(a, b, s1, s0);
    twoProduct(c, d, t1, t0);
    twoTwoDiff(s1, s0, t1, t0, x);
}

// x[0..3] = a b + c d exactly, smallest component first.
inline void productSum(double a, double b, double c, double d, double* x) {
    double s1, s0, t1, t0;
    twoProduct(a, b, s1, s0);
    twoProduct(c, d, t1, t0);
    twoTwoSum(s1, s0, t1, t0, x);
}

// Running sum of the adaptive stages: two buffers used in turn, so every
// addition writes into the one that does not hold the current sum.
template <int N>
class Accumulator {
public:
    Accumulator(int len, const double* init) : len_(len) {
        for (int i = 0; i < len; ++i) a_[i] = init[i];
    }
    Accumulator(const Accumulator&) = delete;
    Accumulator& operator=(const Accumulator&) = delete;
    void add(int len, const double* e) {
        double* dst = (now_ == a_) ? b_ : a_;
        len_ = fast_expansion_sum_zeroelim(len_, now_, len, e, dst);
        now_ = dst;
    }
    double top() const { return now_[len_ - 1]; }

private:
    double a_[N];
    double b_[N];
    double* now_ = a_;
    int len_;
};

}  // namespace qel::exact::detail
