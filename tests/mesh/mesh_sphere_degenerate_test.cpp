// Sphere operations of no size: the cut, clip, add and dent (whole and
// scoped) with a radius of 0, of 1e-9 along the normal or of one float step,
// centred on a vertex, at k/16 of an edge, at a random point of an edge or a
// float step off such a point, on the primitives turned so that their faces
// lie in no axis plane and on sculpted meshes. After each the mesh is sound
// and no face turns against the face it lies in: where two new points lie a
// float step apart, their order must not fold a sliver over its neighbours.
//
// The suite runs a spread of these and the cases each guard of the cut is
// there for; the whole set (some ten thousand operations) runs with
// scripts/sphere-slivers.
//
// Dents and bumps of ordinary size on the same meshes: every vertex inside
// the sphere is pressed onto it, and a face on the sphere faces its centre
// (a dent) or away from it (a bump), except where the shape the sphere
// meets turns it; a face edge-on to the centre turns as the face of the
// mesh whose plane it lies in. The suite runs them on the round primitives
// and sculpted meshes, on spheres through a vertex of the mesh and over
// sharp edges, and picked ones on meshes sculpting left behind (stacks of
// coincident vertices, faces of no area, slivers); the whole set of sites
// on every mesh, and on those kept meshes as kept and shuffled, runs with
// scripts/sphere-slivers (--wide: eight times the sites).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_kept_util.h"
#include "mesh/mesh_sphere_press.h"
#include "mesh/mesh_util.h"
#include "scene/sculptor.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

// ---------------------------------------------------------------------------
// Where each face came from

// Every corner of original face f carries a material naming f; the cut and
// the splits mix a face's corner materials into the faces that replace it,
// so each face names the face it lies in. The add and the dent paint the
// faces round a pressed vertex over: those are matched by position.
constexpr std::uint16_t kMarker = 40000;
pbr faceCode(int f) {
    pbr m;
    m.colour[0] = std::uint16_t(64 * (f % 1024) + 32);
    m.colour[1] = std::uint16_t(64 * (f / 1024) + 32);
    m.colour[2] = kMarker;
    return m;
}
int decodeFace(const pbr& m) {
    if (std::abs(int(m.colour[2]) - int(kMarker)) > 16) return -1;
    return m.colour[0] / 64 + 1024 * (m.colour[1] / 64);
}

// A face's plane as exact predicates see it: the axis plane on which its
// corners keep the largest turn, signed so that the face turns positively.
struct FaceView {
    int i = 0, j = 1;
    double sign = 0;
    dvec3 p[3], normal;

    explicit FaceView(const dvec3* corners) {
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
        const dvec3 n = cross(p[1] - p[0], p[2] - p[0]);
        normal = n * (1 / std::sqrt(dot(n, n)));
    }
    static double turnOn(int a, int b, const dvec3& x, const dvec3& y, const dvec3& z) {
        return Orient2D(dvec2(x[a], x[b]), dvec2(y[a], y[b]), dvec2(z[a], z[b]));
    }
    // Positive as the face turns, negative against it: on the axis plane
    // where the face turns most or, where the points lie on one line there,
    // on any axis plane where the face turns.
    double turn(const dvec3& x, const dvec3& y, const dvec3& z) const {
        const double t = sign * turnOn(i, j, x, y, z);
        if (t != 0) return t;
        for (int k = 0; k < 3; ++k) {
            const int a = (k + 1) % 3, b = (k + 2) % 3;
            if (turnOn(a, b, p[0], p[1], p[2]) * turnOn(a, b, x, y, z) < 0) return -1;
        }
        return 0;
    }
    // How far q lies from the triangle: off its plane or outside an edge.
    double distance(const dvec3& q) const {
        double d = std::fabs(dot(q - p[0], normal));
        for (int k = 0; k < 3; ++k) {
            const dvec3 e = p[(k + 2) % 3] - p[(k + 1) % 3];
            const double out = -dot(cross(e, q - p[(k + 1) % 3]), normal) / std::sqrt(dot(e, e));
            d = std::max(d, out);
        }
        return d;
    }
};

// The original mesh's faces, and each face's corner materials set to name
// it.
std::vector<FaceView> codeFaces(Mesh& m) {
    std::vector<FaceView> views;
    for (int f = 0; f < m.faceCount(); ++f) {
        MeshFace& F = m.faces[f];
        const dvec3 c[3] = {dvec3(m.vertices[F.v[0]].position), dvec3(m.vertices[F.v[1]].position),
                            dvec3(m.vertices[F.v[2]].position)};
        views.emplace_back(c);
        for (pbr& x : F.material) x = faceCode(f);
    }
    return views;
}

// A face turned against the face it lies in. A face whose material names
// its origin lies in that face's plane (up to the rounding of its corners)
// and is seen as exact predicates see that face. A face the add or the dent
// painted holds corners pressed off the plane: it is turned when its normal
// turns against that of every original face its centroid lies on (within
// 1e-6, far above the spheres' size: at a corner of the mesh it lies on
// several).
bool turnedAgainst(const Mesh& m, const MeshFace& G, const std::vector<FaceView>& views) {
    const dvec3 p(m.vertices[G.v[0]].position), q(m.vertices[G.v[1]].position), r(m.vertices[G.v[2]].position);
    const int named = decodeFace(G.material[0]);
    if (named >= 0 && named < int(views.size())) return views[named].turn(p, q, r) < 0;
    const dvec3 n = cross(q - p, r - p), centroid = (p + q + r) * (1.0 / 3);
    bool against = false;
    for (const FaceView& F : views) {
        if (!(F.distance(centroid) <= 1e-6)) continue;
        if (dot(n, F.normal) >= 0) return false;
        against = true;
    }
    return against;
}

// Active faces turned against the face they lie in.
int foldedFaces(const Mesh& m, const std::vector<FaceView>& views) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        n += m.faces[f].isActive() && turnedAgainst(m, m.faces[f], views);
    return n;
}

// ---------------------------------------------------------------------------
// The meshes

// Positions turned by the rotation with the rows given (exact rationals,
// rounded once), the normals formed again.
Mesh* turned(Mesh* m, const double (&r)[3][3]) {
    for (int v = 0; v < m->vertexCount(); ++v) {
        const dvec3 p(m->vertices[v].position);
        m->vertices[v].position = vec3(float(r[0][0] * p.x + r[0][1] * p.y + r[0][2] * p.z),
                                       float(r[1][0] * p.x + r[1][1] * p.y + r[1][2] * p.z),
                                       float(r[2][0] * p.x + r[2][1] * p.y + r[2][2] * p.z));
    }
    m->calculateNormals(2);
    return m;
}

// Two tilts taking no face of the solids into an axis plane: about x by
// atan(4/3) then about z by atan(5/12); about y by atan(15/8) then about x
// by atan(12/5).
constexpr double kTiltA[3][3] = {{12.0 / 13, -5.0 / 13 * 3 / 5, 5.0 / 13 * 4 / 5},
                                 {5.0 / 13, 12.0 / 13 * 3 / 5, -12.0 / 13 * 4 / 5},
                                 {0, 4.0 / 5, 3.0 / 5}};
constexpr double kTiltB[3][3] = {{8.0 / 17, 0, 15.0 / 17},
                                 {12.0 / 13 * 15 / 17, 5.0 / 13, -12.0 / 13 * 8 / 17},
                                 {-5.0 / 13 * 15 / 17, 12.0 / 13, 5.0 / 13 * 8 / 17}};

Mesh* sphereOf(int levels) {
    const MeshPtr base(Mesh::Icosahedron());
    return Mesh::Sphere(base.get(), levels, false, true);
}

// The primitives, each as made and in the two tilts.
std::vector<std::function<Mesh*()>> primitives() {
    const std::vector<std::function<Mesh*()>> shapes = {
        [] { return Mesh::Tetrahedron(); },      [] { return Mesh::Cube(); },
        [] { return Mesh::Octahedron(); },       [] { return Mesh::Dodecahedron(); },
        [] { return Mesh::Icosahedron(); },      [] { return Mesh::Cylinder(24, false); },
        [] { return Mesh::Cylinder(16, true); }, [] { return Mesh::Capsule(2, false); },
        [] { return sphereOf(2); },              [] { return Mesh::Triangle(); },
    };
    std::vector<std::function<Mesh*()>> all;
    for (const auto& make : shapes) {
        all.push_back(make);
        all.push_back([make] { return turned(make(), kTiltA); });
        all.push_back([make] { return turned(make(), kTiltB); });
    }
    return all;
}

// A sphere or capsule after random Deform strokes (seeded), tilted.
Mesh* sculpted(int seed) {
    std::mt19937 rng(std::uint32_t(1000 + seed));
    Mesh* m = seed % 2 ? Mesh::Capsule(3, false) : sphereOf(3);
    auto unit = [&rng] { return float(rng() >> 8) * 0x1p-24f; };
    for (int stroke = 0; stroke < 8; ++stroke) {
        const vec3 p = meshtest::surfacePoint(*m, rng);
        // Drawn one by one: the order a call's arguments are worked out in
        // is the compiler's choice.
        const float dx = unit(), dy = unit(), dz = unit();
        const vec3 d = normalize(vec3(dx - 0.5f, dy - 0.5f, dz - 0.5f));
        SBrush first, last;
        first.point = p;
        first.itemId = m->findFirstFace(p);
        first.radius = m->size() * (0.15f + 0.2f * unit());
        last = first;
        last.point = p + d * (m->size() * 0.1f * unit());
        Sculptor s;
        s.action = Sculptor::Deform;
        s.select = Sculptor::SelectElement;
        s.begin();
        s.samples = {first, last};
        s.end();
        std::vector<Sculptor*> list{&s};
        m->sculpt(list);
    }
    return turned(m, seed % 3 ? kTiltA : kTiltB);
}

// ---------------------------------------------------------------------------
// The operations

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(10, 20, 30, 40), 1234, -55);

// One operation: the sphere centred at c through rim, the scoped ones from
// face.
struct SphereOp {
    vec3 c, rim;
    int face = 0;
    int op = 0;
    std::string what;
};

void apply(Mesh& m, const SphereOp& s) {
    const vec3 normal = m.faces[s.face].normal;
    switch (s.op) {
        case 0: m.cutSphere(s.c, s.rim); break;
        case 1: m.cutSphereF(s.c, s.rim, s.face, true); break;
        case 2: m.cutSphereF(s.c, s.rim, s.face, false); break;
        case 3: m.clipSphere(s.c, s.rim); break;
        case 4: m.clipSphereF(s.c, s.rim, s.face, true); break;
        case 5: m.clipSphereF(s.c, s.rim, s.face, false); break;
        case 6: m.subSphere(s.c, normal, s.rim, true, paint); break;
        default: m.subSphere(s.c, normal, s.rim, false, paint); break;
    }
}

vec3 stepped(vec3 p, int axis, bool up) {
    p[axis] = std::nextafter(p[axis], up ? HUGE_VALF : -HUGE_VALF);
    return p;
}

// The operations on one mesh: twelve centres (three on vertices, three at
// k/16 of an edge, three at random points of edges, three a float step off
// a vertex or an edge point), three radii each, the eight operations.
std::vector<SphereOp> operationsOn(const Mesh& m, std::mt19937& rng) {
    std::vector<SphereOp> ops;
    auto face = [&] {
        int f = int(rng() % unsigned(m.faceCount()));
        while (!m.faces[f].isActive()) f = (f + 1) % m.faceCount();
        return f;
    };
    for (int site = 0; site < 12; ++site) {
        const int f = face(), k = int(rng() % 3);
        const MeshFace& F = m.faces[f];
        const vec3 A = m.vertices[F.v[(k + 1) % 3]].position, B = m.vertices[F.v[(k + 2) % 3]].position;
        const int kind = site / 3;
        const int sixteenth = 1 + int(rng() % 15);
        const float t = float(rng() >> 8) * 0x1p-24f;
        vec3 c = A;
        std::ostringstream what;
        what << "face " << f << " edge " << k;
        if (kind == 1 || (kind == 3 && site % 2)) {
            c = A + (B - A) * (float(sixteenth) / 16.0f);
            what << " at " << sixteenth << "/16";
        } else if (kind == 2) {
            c = A + (B - A) * t;
            what << " at " << t;
        } else {
            what << " at its start";
        }
        if (kind == 3) {
            const int axis = int(rng() % 3);
            const bool up = rng() % 2;
            c = stepped(c, axis, up);
            what << " stepped on axis " << axis << (up ? " up" : " down");
        }
        const vec3 n = F.normal;
        int axis = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(n[i]) > std::fabs(n[axis])) axis = i;
        const vec3 rims[3] = {c, c + n * 1e-9f, stepped(c, axis, n[axis] > 0)};
        const char* radii[3] = {"radius 0", "radius 1e-9", "radius one step"};
        for (int r = 0; r < 3; ++r)
            for (int op = 0; op < 8; ++op)
                ops.push_back({c, rims[r], f, op, what.str() + ", " + radii[r] + ", op " + std::to_string(op)});
    }
    return ops;
}

struct Tally {
    int operations = 0, foldingOps = 0, folded = 0, unsound = 0;
    std::vector<std::string> failures;  // the first few
};

// Runs the chosen operations (by their index in the whole set).
Tally runHarness(const std::function<bool(int)>& chosen) {
    std::vector<std::pair<std::string, std::function<Mesh*()>>> meshes;
    const auto prims = primitives();
    for (std::size_t i = 0; i < prims.size(); ++i) meshes.emplace_back("primitive " + std::to_string(i), prims[i]);
    for (int s = 0; s < 7; ++s) meshes.emplace_back("sculpted " + std::to_string(s), [s] { return sculpted(s); });
    Tally t;
    int index = 0;
    for (const auto& [name, make] : meshes) {
        MeshPtr base(make());
        if (checkMeshInvariants(*base) != "") {
            t.failures.push_back(name + ": unsound before any operation");
            ++t.unsound;
            continue;
        }
        std::vector<FaceView> views = codeFaces(*base);
        std::mt19937 rng(std::uint32_t(7 + index));
        for (const SphereOp& s : operationsOn(*base, rng)) {
            if (!chosen(index++)) continue;
            MeshPtr m(base->clone());
            apply(*m, s);
            ++t.operations;
            const std::string invariants = checkMeshInvariants(*m);
            const int folded = invariants.empty() ? foldedFaces(*m, views) : 0;
            t.unsound += !invariants.empty();
            t.foldingOps += folded > 0;
            t.folded += folded;
            if ((folded > 0 || !invariants.empty()) && t.failures.size() < 8)
                t.failures.push_back(name + ", " + s.what + ": " +
                                     (invariants.empty() ? std::to_string(folded) + " folded" : invariants));
        }
    }
    return t;
}

std::string report(const Tally& t) {
    std::ostringstream out;
    out << t.operations << " operations, " << t.unsound << " unsound, " << t.foldingOps << " leaving " << t.folded
        << " folded faces";
    for (const std::string& f : t.failures) out << "\n  " << f;
    return out.str();
}

// The harness's own measure: a face made against its original turn is seen
// as folded, a face kept or divided as it turns is not.
TEST(MeshSphereDegenerate, TheFoldCountSeesAFaceTurnedAgainstItsOrigin) {
    MeshPtr m(turned(Mesh::Tetrahedron(), kTiltA));
    const std::vector<FaceView> views = codeFaces(*m);
    EXPECT_EQ(foldedFaces(*m, views), 0);
    m->edgeSplitFK(0, 0, (m->vertices[m->faces[0].v[1]].position + m->vertices[m->faces[0].v[2]].position) * 0.5f);
    EXPECT_EQ(foldedFaces(*m, views), 0);
    std::swap(m->faces[0].v[1], m->faces[0].v[2]);
    EXPECT_EQ(foldedFaces(*m, views), 1);
    // A painted face is matched to the face its centroid lies in.
    for (pbr& x : m->faces[0].material) x = paint;
    EXPECT_EQ(foldedFaces(*m, views), 1);
}

// A spread of the operations (one in 23, through every radius and
// operation): none leaves an unsound mesh or a folded face.
TEST(MeshSphereDegenerate, ASphereOfNoSizeFoldsNoFaceOnAnyOrientation) {
    const Tally t = runHarness([](int i) { return i % 23 == 0; });
    EXPECT_GT(t.operations, 300);
    EXPECT_EQ(t.unsound + t.folded, 0) << report(t);
}

// Operations of the whole set that fold a face without one of the cut's
// guards: the foot of a pierced face checked as it is stored (1378, 1648,
// 4512), the halves of a split face seen as the face they were cut from
// (1262, 1816, 3472, 7462), and so the three pieces of a face split at the
// foot (1360, 5682); a split moved onto an inside end on the sphere up to
// rounding, left where it is by the press (3815, 9190).
TEST(MeshSphereDegenerate, TheCasesOfEachGuardOfTheCutFoldNoFace) {
    const std::vector<int> cases = {1378, 1648, 4512, 1262, 1816, 3472, 7462, 1360, 5682, 3815, 9190};
    const Tally t = runHarness([&](int i) { return std::find(cases.begin(), cases.end(), i) != cases.end(); });
    EXPECT_EQ(t.operations, int(cases.size()));
    EXPECT_EQ(t.unsound + t.folded, 0) << report(t);
}

// The whole set: scripts/sphere-slivers.
TEST(MeshSphereDegenerate, DISABLED_Everything) {
    const Tally t = runHarness([](int) { return true; });
    std::cout << report(t) << "\n";
    EXPECT_EQ(t.unsound + t.folded, 0);
}

// ---------------------------------------------------------------------------
// Dents and bumps of ordinary size

// One dent or bump: the stroke's point and normal, and the rim point.
struct Press {
    vec3 point, normal, rim;
};

// The sphere the dent (add false) or bump places: centre o, radius R.
void pressSphere(const Press& p, bool add, dvec3& o, double& R) {
    auto distance = [](const vec3& a, const vec3& b) {
        const dvec3 d = dvec3(a) - dvec3(b);
        return std::sqrt(dot(d, d));
    };
    const float h = float((add ? 1.0 : -1.0) * distance(p.point, p.rim) / 3.0);
    const vec3 c = p.point - p.normal * h;
    o = dvec3(c);
    R = distance(c, p.rim);
}

// Presses at `sites` points of a mesh (a corner, the middle of an edge or a
// point inside a face), along the face's normal, with the rim point 0.05,
// 0.2, 0.5 and 1 away along the surface in a random direction.
std::vector<Press> pressesOn(const Mesh& m, int sites, std::mt19937& rng,
                             const std::vector<float>& sizes = {0.05f, 0.2f, 0.5f, 1.0f}) {
    auto unit = [&rng] { return float(rng() >> 8) * 0x1p-24f; };
    std::vector<Press> out;
    for (int s = 0; s < sites; ++s) {
        int f = int(rng() % unsigned(m.faceCount()));
        while (!m.faces[f].isActive()) f = (f + 1) % m.faceCount();
        const MeshFace& F = m.faces[f];
        const vec3 p0 = m.vertices[F.v[0]].position, p1 = m.vertices[F.v[1]].position, p2 = m.vertices[F.v[2]].position;
        const float a = unit(), b = unit() * (1 - a);
        const vec3 p = s % 3 == 0 ? p0 : s % 3 == 1 ? (p0 + p1) * 0.5f : p0 + (p1 - p0) * a + (p2 - p0) * b;
        const float dx = unit(), dy = unit(), dz = unit();  // in this order, whatever the compiler
        const vec3 side = normalize(cross(F.normal, vec3(dx - 0.5f, dy - 0.5f, dz - 0.5f)));
        for (const float size : sizes) out.push_back({p, F.normal, p + side * size});
    }
    return out;
}

// The squared distance from q to the triangle a, b, c.
double triangleDistance2(const dvec3& q, const dvec3& a, const dvec3& b, const dvec3& c) {
    auto toSegment = [&](const dvec3& x, const dvec3& y) {
        const dvec3 d = y - x;
        const double l2 = dot(d, d), t = l2 > 0 ? std::clamp(dot(q - x, d) / l2, 0.0, 1.0) : 0.0;
        const dvec3 e = x + d * t - q;
        return dot(e, e);
    };
    double best = std::min({toSegment(a, b), toSegment(b, c), toSegment(c, a)});
    const dvec3 n = cross(b - a, c - a);
    if (dot(n, n) > 0) {
        const dvec3 foot = q - n * (dot(q - a, n) / dot(n, n));
        if (dot(cross(b - a, foot - a), n) >= 0 && dot(cross(c - b, foot - b), n) >= 0 &&
            dot(cross(a - c, foot - c), n) >= 0)
            best = std::min(best, dot(foot - q, foot - q));
    }
    return best;
}

// How a face (its corners at p) turns as the sphere's centre sees it:
// positive the way a face on the sphere turns (for a dent towards the
// centre, for a bump away from it), negative turned over, zero edge-on.
double turnFromCentre(const dvec3* p, const dvec3& o, bool add) {
    const double s = Orient3D(p[0], p[1], p[2], o);  // positive: o behind the face
    return add ? s : -s;
}

// The distance from o to the plane of the face with corners p.
double planeDistance(const dvec3* p, const dvec3& o) {
    const dvec3 n = cross(p[1] - p[0], p[2] - p[0]);
    return std::fabs(dot(o - p[0], n)) / std::sqrt(dot(n, n));
}

// How far the plane of the face with corners p can move at o's foot when
// each corner is off its place by up to `slack`: by each corner's offset
// times its barycentric weight there. A thin face far from o tilts most.
double planeSlack(const dvec3* p, const dvec3& o, double slack) {
    const dvec3 n = cross(p[1] - p[0], p[2] - p[0]);
    const double n2 = dot(n, n);
    const dvec3 foot = o - n * (dot(o - p[0], n) / n2);
    double weights = 0;
    for (int k = 0; k < 3; ++k) weights += std::fabs(dot(cross(p[(k + 1) % 3] - foot, p[(k + 2) % 3] - foot), n)) / n2;
    return slack * weights;
}

// A face (corners q) edge-on to the sphere's centre lies in a plane through
// it, where the centre cannot tell its turn: it turns as the faces of the
// mesh before the press in whose plane its corners lie (the press moves
// them within such a plane, past the face's rim where the sphere reaches
// beyond it). 1 when it turns as one of them, -1 when against all, 0 when
// it lies in the plane of none.
int turnInPlane(const Mesh& base, const dvec3* q, double slack) {
    const dvec3 n = cross(q[1] - q[0], q[2] - q[0]);
    bool against = false;
    for (int f = 0; f < base.faceCount(); ++f) {
        const MeshFace& F = base.faces[f];
        if (!F.isActive()) continue;
        const dvec3 c[3] = {dvec3(base.vertices[F.v[0]].position), dvec3(base.vertices[F.v[1]].position),
                            dvec3(base.vertices[F.v[2]].position)};
        const FaceView view(c);
        bool inPlane = true;
        for (int k = 0; k < 3; ++k) inPlane = inPlane && std::fabs(dot(q[k] - c[0], view.normal)) <= slack;
        if (!inPlane) continue;
        if (dot(n, view.normal) >= 0) return 1;
        against = true;
    }
    return against ? -1 : 0;
}

// Every face of the mesh that reaches into the sphere turns the way a face
// on it should: pressed along the rays from the centre, each keeps its turn
// as the centre sees it. Where the centre sees part of the surface inside
// from behind, the press turns it over on the sphere, as the shape gives.
bool reachedFacesTurnRight(const Mesh& m, const dvec3& o, double R, bool add) {
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        const dvec3 p[3] = {dvec3(m.vertices[F.v[0]].position), dvec3(m.vertices[F.v[1]].position),
                            dvec3(m.vertices[F.v[2]].position)};
        if (triangleDistance2(o, p[0], p[1], p[2]) < R * R && !(turnFromCentre(p, o, add) > 0)) return false;
    }
    return true;
}

struct PressTally {
    int operations = 0, leaving = 0, inside = 0;  // presses leaving vertices inside, and the vertices
    int made = 0;                                 // of those, vertices the operation made
    int checked = 0, turning = 0, turned = 0;     // presses whose turn is checked; those turning faces over
    int folding = 0, folded = 0;                  // of those, presses folding faces within their plane
    int unsound = 0;
    std::vector<double> depths;         // of the vertices inside, over the radius
    std::vector<std::string> failures;  // the first few
};

// The rounding of a position on the sphere: a few float steps at the
// largest coordinate of the corners q, the centre o or the radius R. (The
// press leaves the corners of the faces it paints within 2.8 such steps
// of the sphere in the 52,224 presses of the wider set.)
double roundingOf(const dvec3* q, const dvec3& o, double R) {
    double big = R;
    for (const dvec3& p : {q[0], q[1], q[2], o}) big = std::max({big, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    return SpherePress::kRoundingSteps * SpherePress::spacing(float(big));
}

// Applies the press and counts on the result the vertices left inside the
// sphere (deeper than 1e-5 of its radius, past the rounding of positions on
// it) and, where every face it reaches turns right, the painted faces on
// the sphere turned over: as the centre sees them or, where the centre
// lies in a face's plane up to what rounding its corners can tilt it by,
// within the plane of the mesh's face it lies in. (A sliver's plane swings
// far under a wider allowance: a sliver on the sphere tilted 5 degrees off
// the centre would be judged within a plane it does not lie in.)
void press(Mesh& base, const Press& p, bool add, const std::string& what, PressTally& t) {
    MeshPtr m(base.clone());
    m->subSphere(p.point, p.normal, p.rim, add, paint);
    dvec3 o;
    double R;
    pressSphere(p, add, o, R);
    ++t.operations;
    const std::string invariants = checkMeshInvariants(*m);
    t.unsound += !invariants.empty();
    const double slack = 1e-5 * R;
    auto offSphere = [&](int v) {
        const dvec3 d = dvec3(m->vertices[v].position) - o;
        return std::sqrt(dot(d, d)) - R;
    };
    int inside = 0, turned = 0, folded = 0;
    for (int v = 0; v < m->vertexCount(); ++v) {
        if (!m->vertices[v].isActive() || !(offSphere(v) < -slack)) continue;
        ++inside;
        t.made += v >= base.vertexCount();
        t.depths.push_back(-offSphere(v) / R);
    }
    const bool checked = reachedFacesTurnRight(base, o, R, add);
    for (int f = 0; f < m->faceCount() && checked; ++f) {
        const MeshFace& F = m->faces[f];
        if (!F.isActive() || !(F.material[0] == paint)) continue;
        bool onSphere = true;
        for (const int v : F.v) onSphere = onSphere && std::fabs(offSphere(v)) <= slack;
        if (!onSphere) continue;
        const dvec3 q[3] = {dvec3(m->vertices[F.v[0]].position), dvec3(m->vertices[F.v[1]].position),
                            dvec3(m->vertices[F.v[2]].position)};
        const int inPlane =
            planeDistance(q, o) <= planeSlack(q, o, roundingOf(q, o, R)) ? turnInPlane(base, q, slack) : 0;
        if (inPlane == 0)
            turned += turnFromCentre(q, o, add) < 0;
        else
            folded += inPlane < 0;
    }
    t.leaving += inside > 0;
    t.inside += inside;
    t.checked += checked;
    t.turning += turned > 0;
    t.turned += turned;
    t.folding += folded > 0;
    t.folded += folded;
    if ((inside > 0 || turned > 0 || folded > 0 || !invariants.empty()) && t.failures.size() < 24)
        t.failures.push_back(what + (add ? " bump: " : " dent: ") + std::to_string(inside) + " inside, " +
                             std::to_string(turned) + " turned over, " + std::to_string(folded) + " folded " +
                             invariants);
}

std::string report(const PressTally& t) {
    std::vector<double> d = t.depths;
    std::sort(d.begin(), d.end());
    std::ostringstream out;
    out << t.operations << " presses, " << t.unsound << " unsound, " << t.leaving << " leaving " << t.inside
        << " vertices inside (" << t.made << " made by them; median depth " << (d.empty() ? 0 : d[d.size() / 2])
        << " R, deepest " << (d.empty() ? 0 : d.back()) << " R); of " << t.checked << " whose faces turn right, "
        << t.turning << " turn " << t.turned << " over, " << t.folding << " fold " << t.folded << " within their plane";
    for (const std::string& f : t.failures) out << "\n  " << f;
    return out.str();
}

// Presses picked from the whole set (primitive, site index among its 24
// sites of every size), each as a bump (add) or a dent, tallied.
struct PressCase {
    int mesh, press;
};
PressTally pressCases(const std::vector<PressCase>& cases, bool add, int sites = 24, int seed = 11) {
    const auto prims = primitives();
    PressTally t;
    for (const PressCase& c : cases) {
        MeshPtr base(c.mesh < int(prims.size()) ? prims[std::size_t(c.mesh)]() : sculpted(c.mesh - int(prims.size())));
        std::mt19937 rng(std::uint32_t(seed + c.mesh));
        const std::vector<Press> presses = pressesOn(*base, sites, rng);
        press(*base, presses[std::size_t(c.press)], add,
              "mesh " + std::to_string(c.mesh) + " press " + std::to_string(c.press), t);
    }
    return t;
}

// Dents and bumps of 0.05 to 1 on the capsule and the sphere, as made and
// tilted, and on sculpted meshes: every vertex inside the sphere lands on
// it, and no face on the sphere is turned over where every face the sphere
// reaches turns right.
TEST(MeshSpherePress, EveryVertexInsideLandsOnTheSphere) {
    const auto prims = primitives();
    std::vector<std::pair<std::string, std::function<Mesh*()>>> meshes;
    for (int i = 21; i < 27; ++i) meshes.emplace_back("primitive " + std::to_string(i), prims[std::size_t(i)]);
    for (int s = 0; s < 2; ++s) meshes.emplace_back("sculpted " + std::to_string(s), [s] { return sculpted(s); });
    PressTally t;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        MeshPtr base(meshes[i].second());
        std::mt19937 rng(std::uint32_t(11 + i));
        int n = 0;
        for (const Press& p : pressesOn(*base, 12, rng))
            for (const bool add : {false, true})
                press(*base, p, add, meshes[i].first + " press " + std::to_string(n++ / 2), t);
    }
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
    EXPECT_GT(t.checked, t.operations / 2) << report(t);
}

// Spheres through a vertex of the mesh, which lies within rounding of the
// sphere: pressed, it moves by rounding alone, and so do the tiny faces the
// cut made round it. Where that turns a face over as the centre sees it
// (primitives 24 and 25), or where putting back one such vertex turns a
// face over with another (primitive 20 and the sculpted mesh), the vertex
// stays where the cut left it.
TEST(MeshSpherePress, ASphereThroughAVertexTurnsNoFaceOver) {
    struct Case {
        int mesh;  // a primitive, or sculpted mesh (mesh - 30)
        Press p;
        bool add;
    };
    const Case cases[] = {
        {20,
         {{-0x1.4b4b4cp-1f, 0x1.aee9fep-1f, -0x1.671854p-2f},
          {-0x1.c3c3c4p-1f, 0x1.bcd07ep-2f, -0x1.72adc8p-3f},
          {-0x1.c3c3c4p-1f, 0x1.bcd082p-2f, -0x1.72adc2p-3f}},
         true},
        {24,
         {{-0x1.33b94p+0f, 0x1.80b73p+0f, 0x1.e0e8dp-2f},
          {-0x1.44ca26p-1f, 0x1.694678p-1f, 0x1.4354f2p-2f},
          {-0x1.67728cp+0f, 0x1.63370ap+0f, 0x1.48f40cp-2f}},
         true},
        {25,
         {{-0x1.4792c8p-2f, 0x1.dc7014p+0f, 0x1.267ccp-1f},
          {-0x1.ab8a48p-4f, 0x1.ea6f38p-1f, 0x1.11f2dp-2f},
          {-0x1.7b9f0cp-3f, 0x1.cbdabp+0f, 0x1.b81dep-1f}},
         false},
        {31,
         {{0x1.3b13b2p-2f, -0x1.b9d4bap-4f, 0x1.604902p+0f},
          {0x1.a942a6p-4f, 0x1.4e46eep-1f, 0x1.80285cp-1f},
          {0x1.3b13b2p-4f, -0x1.7a17a2p-3f, 0x1.666666p+0f}},
         false},
    };
    const auto prims = primitives();
    PressTally t;
    for (const Case& c : cases) {
        MeshPtr base(c.mesh < 30 ? prims[std::size_t(c.mesh)]() : sculpted(c.mesh - 30));
        bool onVertex = false;
        for (int v = 0; v < base->vertexCount(); ++v) onVertex |= base->vertices[v].position == c.p.rim;
        EXPECT_TRUE(onVertex) << c.mesh;
        press(*base, c.p, c.add, "mesh " + std::to_string(c.mesh), t);
    }
    EXPECT_EQ(t.checked, t.operations);
    EXPECT_EQ(t.unsound + t.inside + t.turned, 0) << report(t);
}

// Bumps of the whole set below over sharp edges of the solids and
// cylinders, where the sphere passes within rounding of a vertex: the
// points where the edges from it meet the sphere lie a few float steps off
// it, or farther along an edge that leaves it nearly along the sphere, and
// the faces between them are slivers turned either way by rounding, which
// the press of a deep corner opens. Primitive 15: the rim of a cylinder's
// cap on the sphere, outside it; 11 and 16: such a vertex inside; 17 and
// 20: a face of no area there, opened the wrong way by a corner pressed by
// rounding; 5: a corner at the origin, pressed by rounding from a centre
// far off it. On the cube (4 press 78, 5 press 18) the sphere's centre
// lies in the plane of the face across the edge: a corner pressed out of
// order round the circle there lands on a neighbour on it, and a face of
// no area along the edge, opened within that plane, turns as that face.
TEST(MeshSpherePress, BumpsOverSharpEdgesTurnNoFaceOver) {
    const PressTally t = pressCases({{4, 78}, {5, 18}, {11, 7}, {15, 3}, {16, 54}, {17, 39}, {20, 87}}, true);
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// Dents of the whole set over sharp edges of the solids and cylinders,
// where the stroke's normal lies in the plane of the face across the edge:
// the sphere's centre lies in that plane, and the part of the face inside
// the sphere is pressed within it onto a great circle. Its faces are
// edge-on to the centre, and turn as the face does only while their corners
// keep their order round the circle: a deep corner on the edge that lands
// on the arc between two of the cut's points joins the cut line (primitive
// 5 press 16, 16 press 72, 20 press 0). On primitive 4 press 60 and 5 press
// 50 a corner of the cube is pressed along the cube's edge onto the point
// where the cut split that edge. On 5 press 18 the middle of the edge,
// pressed into the plane across it, lands on the arc between cut points it
// is not joined to, so that no flip mends its face: it lands on a
// neighbour on the circle.
TEST(MeshSpherePress, DentsOverSharpEdgesTurnNoFaceOver) {
    const PressTally t = pressCases({{4, 60}, {5, 16}, {5, 18}, {5, 50}, {16, 72}, {20, 0}}, false);
    EXPECT_EQ(t.checked, t.operations) << report(t);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// Picked presses of the wider set (192 sites a mesh from the seeds 1000 +
// the mesh's index): a crossing split moved onto its edge's inside end
// left 0.068 R deep (primitive 15 press 762, a dent and a bump; primitive
// 20 press 462); a sliver on the sphere tilted 5 degrees off the centre,
// which turns right as the centre sees it (sculpted mesh 0, press 43);
// bumps over the cylinders and the cube whose sphere passes within
// rounding of a vertex (primitives 4, 19 and 20): an edge from it that only
// touches the sphere, split at its foot, left slivers a few float steps
// wide, or faces of no area opened edge-on to the centre, turned over.
TEST(MeshSpherePress, PickedPressesOfTheWiderSetAreClean) {
    const PressTally t = pressCases({{15, 762}, {20, 462}, {30, 43}}, false, 192, 1000);
    const PressTally bumps = pressCases({{15, 762}, {4, 642}, {19, 174}, {20, 162}}, true, 192, 1000);
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
    EXPECT_EQ(bumps.unsound + bumps.inside + bumps.turned + bumps.folded, 0) << report(bumps);
}

// Every site of the primitives, as made and tilted, and four sculpted
// meshes (24 sites each, sizes 0.05 to 1): the figures of dents and bumps
// leaving vertices inside, turning faces over and folding faces within
// their plane (scripts/sphere-slivers). Where the stroke's normal lies in
// the plane of the face across a sharp edge of the solids and cylinders,
// the sphere's centre lies in that plane, and the part of the face inside
// the sphere is pressed within it onto a great circle: its faces are
// edge-on to the centre, and turn as the face does only while their
// corners keep their order round the circle.
void pressEverything(int sites, int seed) {
    const auto prims = primitives();
    for (const bool add : {false, true}) {
        PressTally t;
        for (std::size_t i = 0; i < prims.size() + 4; ++i) {
            MeshPtr base(i < prims.size() ? prims[i]() : sculpted(int(i - prims.size())));
            std::mt19937 rng(std::uint32_t(seed + int(i)));
            int n = 0;
            for (const Press& p : pressesOn(*base, sites, rng))
                press(*base, p, add, "mesh " + std::to_string(i) + " press " + std::to_string(n++), t);
        }
        std::cout << (add ? "bumps: " : "dents: ") << report(t) << "\n";
        EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0);
    }
}

TEST(MeshSpherePress, DISABLED_Everything) { pressEverything(24, 11); }

// The same draw at 192 sites a mesh from other seeds (scripts/sphere-slivers
// --wide).
TEST(MeshSpherePress, DISABLED_Wider) { pressEverything(192, 1000); }

// ---------------------------------------------------------------------------
// Dents and bumps on meshes sculpting left behind

// Meshes a user's sculpting left (tests/mesh/data): sheets and folds with
// stacks of coincident vertices, faces of no area between them and
// slivers.
const char* const kKeptMeshes[] = {"plane_cut_inactive",       "subplane_open_link",
                                   "subplane_repeated_vertex", "subplane_stroke_orphans",
                                   "subplane_stroke_repeated_vertex", "erase_component_normals"};

MeshPtr keptMesh(const std::string& name) { return meshtest::loadKeptMesh(TL_TEST_DATA "/" + name + ".kept"); }

// The mesh with its vertex and face records in a random order.
MeshPtr shuffled(const Mesh& m, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<int> order(std::size_t(m.vertexCount())), at(order.size()), faces(std::size_t(m.faceCount()));
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    for (std::size_t i = 0; i < faces.size(); ++i) faces[i] = int(i);
    std::shuffle(order.begin(), order.end(), rng);
    std::shuffle(faces.begin(), faces.end(), rng);
    MeshPtr s = std::make_unique<Mesh>();
    s->centre = m.centre;
    s->setSize(m.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const MeshVertex& v = m.vertices[order[i]];
        MeshVertex r;
        r.position = v.position;
        r.flags = std::uint8_t(v.flags & ~MeshVertex::SelectedBit);
        at[std::size_t(order[i])] = s->vertexAdd(r);
    }
    for (const int f : faces) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        MeshFace r(at[std::size_t(F.v[0])], at[std::size_t(F.v[1])], at[std::size_t(F.v[2])]);
        r.flags = F.flags;
        s->faceAdd(r);
    }
    s->initialize(Element::ResizeKeep);
    return s;
}

// Kept mesh i, as kept or shuffled.
MeshPtr keptBase(std::size_t i, bool shuffle) {
    MeshPtr base = keptMesh(kKeptMeshes[i]);
    return shuffle ? shuffled(*base, std::uint32_t(50 + i)) : std::move(base);
}

// Dents or bumps at `sites` sites of kept mesh i, of sizes 0.01 to 0.5 of
// the mesh.
std::vector<Press> keptPresses(const Mesh& base, std::size_t i, int sites) {
    const float s = base.size();
    std::mt19937 rng(std::uint32_t(100 + i));
    return pressesOn(base, sites, rng, {0.01f * s, 0.05f * s, 0.2f * s, 0.5f * s});
}

std::string keptName(std::size_t i, bool shuffle, int press) {
    return std::string(kKeptMeshes[i]) + (shuffle ? " shuffled" : "") + " press " + std::to_string(press);
}

// Stacks of coincident vertices with faces of no area between them, and
// slivers: a crossing split whose halves would not keep their face's turn
// is moved onto its edge's nearer end, which, inside, can lie deep in the
// sphere, and is pressed with it. A dent of radius 0.0148 on a stack of 49
// vertices of a sheet (where 194 such splits stayed 0.684 R deep), and
// picked dents and bumps of the whole set on the kept meshes, as kept and
// shuffled.
TEST(MeshSpherePress, SplitsMovedOntoTheInsideEndLandOnTheSphere) {
    MeshPtr sheet = keptMesh("plane_cut_inactive");
    ASSERT_TRUE(sheet);
    const vec3 stack(0x1.6a09e6p-1f, -0x1.6a09e6p-1f, 0);
    int stacked = 0;
    for (int v = 0; v < sheet->vertexCount(); ++v) stacked += sheet->vertices[v].position == stack;
    EXPECT_EQ(stacked, 49);
    PressTally t;
    const float along = 0.0148f * 3 / std::sqrt(10.0f);  // the radius is sqrt(10) / 3 of it
    press(*sheet, {stack, vec3(0, 0, 1), stack + vec3(along, 0, 0)}, false, "stack", t);
    struct Case {
        std::size_t mesh;
        bool shuffle;
        int press;
        bool add;
    };
    const Case cases[] = {{5, false, 30, false}, {5, true, 78, false}, {5, false, 27, true}, {3, true, 4, true}};
    for (const Case& c : cases) {
        const MeshPtr base = keptBase(c.mesh, c.shuffle);
        press(*base, keptPresses(*base, c.mesh, 24)[std::size_t(c.press)], c.add,
              keptName(c.mesh, c.shuffle, c.press), t);
    }
    EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0) << report(t);
}

// Dents and bumps at 24 sites of each kept mesh, as kept and shuffled
// (scripts/sphere-slivers).
TEST(MeshSpherePress, DISABLED_KeptMeshes) {
    for (const bool add : {false, true}) {
        PressTally t;
        for (std::size_t i = 0; i < std::size(kKeptMeshes); ++i)
            for (const bool shuffle : {false, true}) {
                const MeshPtr base = keptBase(i, shuffle);
                int n = 0;
                for (const Press& p : keptPresses(*base, i, 24)) press(*base, p, add, keptName(i, shuffle, n++), t);
            }
        std::cout << (add ? "bumps: " : "dents: ") << report(t) << "\n";
        EXPECT_EQ(t.unsound + t.inside + t.turned + t.folded, 0);
    }
}

}  // namespace
