#pragma once
// The meshes and the dents and bumps of the sphere press tests: the
// primitives, as made and tilted, sculpted meshes, presses at random sites
// of a mesh, and the tally of what each press leaves (vertices inside the
// sphere, faces on it turned over or folded within a plane through its
// centre, an unsound mesh).

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"

namespace spheretest {

// A face's plane as exact predicates see it: the axis plane on which its
// corners keep the largest turn, signed so that the face turns positively.
struct FaceView {
    int i = 0, j = 1;
    double sign = 0;
    qel::dvec3 p[3], normal;

    explicit FaceView(const qel::dvec3* corners) {
        for (int k = 0; k < 3; ++k) p[k] = corners[k];
        double most = 0;
        for (int k = 0; k < 3; ++k) {
            const int a = (k + 1) % 3, b = (k + 2) % 3;
            const double o = turnOn(a, b, p[0], p[1], p[2]);
            if (std::fabs(o) <= std::fabs(most)) continue;
            most = o;
            i = a;
            j = b;
        }
        sign = most > 0 ? 1 : most < 0 ? -1 : 0;
        const qel::dvec3 n = qel::cross(p[1] - p[0], p[2] - p[0]);
        normal = n * (1 / std::sqrt(qel::dot(n, n)));
    }
    static double turnOn(int a, int b, const qel::dvec3& x, const qel::dvec3& y, const qel::dvec3& z) {
        return qel::Orient2D(qel::dvec2(x[a], x[b]), qel::dvec2(y[a], y[b]), qel::dvec2(z[a], z[b]));
    }
    // Positive as the face turns, negative against it: on the axis plane
    // where the face turns most or, where the points lie on one line there,
    // on any axis plane where the face turns.
    double turn(const qel::dvec3& x, const qel::dvec3& y, const qel::dvec3& z) const {
        const double t = sign * turnOn(i, j, x, y, z);
        if (t != 0) return t;
        for (int k = 0; k < 3; ++k) {
            const int a = (k + 1) % 3, b = (k + 2) % 3;
            if (turnOn(a, b, p[0], p[1], p[2]) * turnOn(a, b, x, y, z) < 0) return -1;
        }
        return 0;
    }
    // How far q lies from the triangle: off its plane or outside an edge.
    double distance(const qel::dvec3& q) const {
        double d = std::fabs(qel::dot(q - p[0], normal));
        for (int k = 0; k < 3; ++k) {
            const qel::dvec3 e = p[(k + 2) % 3] - p[(k + 1) % 3];
            const double out = -qel::dot(qel::cross(e, q - p[(k + 1) % 3]), normal) / std::sqrt(qel::dot(e, e));
            d = std::max(d, out);
        }
        return d;
    }
};

// ---------------------------------------------------------------------------
// The meshes

// Positions turned by the rotation with the rows given (exact rationals,
// rounded once), the normals formed again.
qel::Mesh* turned(qel::Mesh* m, const double (&r)[3][3]);

// Two tilts taking no face of the solids into an axis plane: about x by
// atan(4/3) then about z by atan(5/12); about y by atan(15/8) then about x
// by atan(12/5).
constexpr double kTiltA[3][3] = {{12.0 / 13, -5.0 / 13 * 3 / 5, 5.0 / 13 * 4 / 5},
                                 {5.0 / 13, 12.0 / 13 * 3 / 5, -12.0 / 13 * 4 / 5},
                                 {0, 4.0 / 5, 3.0 / 5}};
constexpr double kTiltB[3][3] = {{8.0 / 17, 0, 15.0 / 17},
                                 {12.0 / 13 * 15 / 17, 5.0 / 13, -12.0 / 13 * 8 / 17},
                                 {-5.0 / 13 * 15 / 17, 12.0 / 13, 5.0 / 13 * 8 / 17}};

// The primitives, each as made and in the two tilts.
std::vector<std::function<qel::Mesh*()>> primitives();

// A sphere or capsule after random Deform strokes (seeded), tilted.
qel::Mesh* sculpted(int seed);

// ---------------------------------------------------------------------------
// Dents and bumps of ordinary size

// The material the add and the dent paint with.
extern const qel::pbr paint;

// One dent or bump: the stroke's point and normal, and the rim point.
struct Press {
    qel::vec3 point, normal, rim;
};

// The sphere the dent (add false) or bump places: centre o, radius R.
void pressSphere(const Press& p, bool add, qel::dvec3& o, double& R);

// Presses at `sites` points of a mesh (a corner, the middle of an edge or a
// point inside a face), along the face's normal, with the rim point 0.05,
// 0.2, 0.5 and 1 away along the surface in a random direction.
std::vector<Press> pressesOn(const qel::Mesh& m, int sites, std::mt19937& rng,
                             const std::vector<float>& sizes = {0.05f, 0.2f, 0.5f, 1.0f});

struct PressTally {
    int operations = 0, leaving = 0, inside = 0;  // presses leaving vertices inside, and the vertices
    int made = 0;                                 // of those, vertices the operation made
    int checked = 0, turning = 0, turned = 0;     // presses whose turn is checked; those turning faces over
    int folding = 0, folded = 0;                  // of those, presses folding faces within their plane
    int unsound = 0;
    std::vector<double> depths;         // of the vertices inside, over the radius
    std::vector<std::string> failures;  // the first few
};

// Applies the press and counts on the result the vertices left inside the
// sphere (deeper than 1e-5 of its radius, past the rounding of positions on
// it) and, where every face it reaches turns right, the painted faces on
// the sphere turned over: as the centre sees them or, where the centre
// lies in a face's plane up to what rounding its corners can tilt it by,
// within the plane of the mesh's face it lies in. (A sliver's plane swings
// far under a wider allowance: a sliver on the sphere tilted 5 degrees off
// the centre would be judged within a plane it does not lie in.)
void press(qel::Mesh& base, const Press& p, bool add, const std::string& what, PressTally& t);

// The tally's figures and its first failures.
std::string report(const PressTally& t);

}  // namespace spheretest
