#include "mesh/sphere_press_util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>

#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_sphere_press.h"
#include "mesh/mesh_util.h"
#include "scene/sculptor.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace spheretest {

namespace {

Mesh* sphereOf(int levels) {
    const MeshPtr base(Mesh::Icosahedron());
    return Mesh::Sphere(base.get(), levels, false, true);
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

// The rounding of a position on the sphere: four float steps at the
// largest coordinate of the corners q, the centre o or the radius R. (The
// press leaves the corners of the faces it paints within 2.8 such steps
// of the sphere in the 52,224 presses of the wider set.) The measure's
// own, whatever the press allows for rounding.
double roundingOf(const dvec3* q, const dvec3& o, double R) {
    double big = R;
    for (const dvec3& p : {q[0], q[1], q[2], o}) big = std::max({big, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    return 4 * SpherePress::spacing(float(big));
}

}  // namespace

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

std::vector<std::function<Mesh*()>> primitives() {
    const std::vector<std::function<Mesh*()>> shapes = {
        [] { return Mesh::Tetrahedron(); },
        [] { return Mesh::Cube(); },
        [] { return Mesh::Octahedron(); },
        [] { return Mesh::Dodecahedron(); },
        [] { return Mesh::Icosahedron(); },
        [] { return Mesh::Cylinder(24, false); },
        [] { return Mesh::Cylinder(16, true); },
        [] { return Mesh::Capsule(2, false); },
        [] { return sphereOf(2); },
        [] { return Mesh::Triangle(); },
    };
    std::vector<std::function<Mesh*()>> all;
    for (const auto& make : shapes) {
        all.push_back(make);
        all.push_back([make] { return turned(make(), kTiltA); });
        all.push_back([make] { return turned(make(), kTiltB); });
    }
    return all;
}

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

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(10, 20, 30, 40), 1234, -55);

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

std::vector<Press> pressesOn(const Mesh& m, int sites, std::mt19937& rng, const std::vector<float>& sizes) {
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

}  // namespace spheretest
