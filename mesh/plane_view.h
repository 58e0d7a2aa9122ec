#pragma once
// qel::PlaneView: how the exact predicates see the plane of a face from its
// stored corners, so that a cut decides the turn of its pieces on the
// positions as stored, never on rounded arithmetic.

#include <cmath>

#include "core/geometry.h"
#include "core/vec.h"

namespace qel {

// How the exact predicates see a face's plane from stored positions: along
// the axis on which its corners a, b, c keep the largest turn, signed so
// that the face itself turns counter-clockwise. A face whose corners lie on
// one line turns on no axis: it is flat.
class PlaneView {
public:
    PlaneView() = default;
    PlaneView(const dvec3& a, const dvec3& b, const dvec3& c) : given_(true) {
        for (int k = 0; k < 3; ++k) {
            normal_[k] = turnOn(k, a, b, c);
            if (std::fabs(normal_[k]) > std::fabs(normal_[k_])) k_ = k;
        }
    }
    bool flat() const { return normal_[k_] == 0; }
    // Made from three points (a default view sees nothing).
    bool given() const { return given_; }
    // (b - a) x (c - a), each component the turn on one axis plane.
    const dvec3& normal() const { return normal_; }
    // The exact turn of p, q, r as seen: positive as the face turns,
    // negative against it, zero on one line (and for a flat face). Points
    // on one line as seen can still turn against the face across that
    // line: rounded off a plane turned from the axes (onto one float plane
    // of a coordinate, say), they stand edge-on to the axis seen along.
    // They turn against it when they do on any axis plane where it turns.
    double turn(const dvec3& p, const dvec3& q, const dvec3& r) const {
        const double t = turnOn(k_, p, q, r);
        if (t != 0) return normal_[k_] > 0 ? t : -t;
        for (int k = 0; k < 3; ++k)
            if ((normal_[k] > 0 && turnOn(k, p, q, r) < 0) || (normal_[k] < 0 && turnOn(k, p, q, r) > 0)) return -1;
        return 0;
    }

private:
    // The exact turn of p, q, r on the plane across axis k.
    static double turnOn(int k, const dvec3& p, const dvec3& q, const dvec3& r) {
        const int i = (k + 1) % 3, j = (k + 2) % 3;
        return Orient2D(dvec2(p[i], p[j]), dvec2(q[i], q[j]), dvec2(r[i], r[j]));
    }

    int k_ = 2;  // the axis seen along
    dvec3 normal_;
    bool given_ = false;
};

}  // namespace qel
