#pragma once
// qel::PlaneView: how the exact predicates see the plane of a face from its
// stored corners, so that a cut decides the turn of its pieces on the
// positions as stored, never on rounded arithmetic; qel::FaceViews: the
// views of the faces a cut changed and made, each seen as the face it was
// cut from.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>
#include <vector>

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

// The views of the faces an edit changed (keyed by face) and made (from face
// `madeFrom` on). A piece of a face can be a sliver whose rounded corners
// leave the face's plane: its own corners would give it any plane, and a
// turn decided on it could fold the pieces cut from it against the face.
class FaceViews {
public:
    explicit FaceViews(int madeFrom) : madeFrom_(madeFrom) {}

    // The view face f lies in, its corners at `corners`: the one kept for
    // it, else (a face no step kept a view for) its corners' own.
    PlaneView of(int f, const dvec3* corners) const {
        if (f >= madeFrom_) {
            const std::size_t i = std::size_t(f - madeFrom_);
            if (i < made_.size() && made_[i].given()) return made_[i];
            return PlaneView(corners[0], corners[1], corners[2]);
        }
        const auto it = changed_.find(f);
        if (it != changed_.end()) return it->second;
        return PlaneView(corners[0], corners[1], corners[2]);
    }
    // Faces f and first .. first + count - 1 lie in the face seen as `view`.
    void keep(const PlaneView& view, int f, int first, int count) {
        const std::size_t end = std::size_t(std::max(first + count, f + 1) - madeFrom_);
        if (made_.size() < end) made_.resize(end);
        if (f < madeFrom_)
            changed_.emplace(f, view);
        else
            made_[std::size_t(f - madeFrom_)] = view;
        for (int i = 0; i < count; ++i) made_[std::size_t(first + i - madeFrom_)] = view;
    }

private:
    std::unordered_map<int, PlaneView> changed_;
    std::vector<PlaneView> made_;
    int madeFrom_;
};

}  // namespace qel
