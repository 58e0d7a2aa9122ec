// Sphere cut, clip, subtract and add; the invariant check follows every
// operation.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

bool near(const vec3& p, const vec3& q, float eps = 1e-5f) { return length(p - q) < eps; }

// Vertices from `first` on lying on the sphere, and the sharp edges joining
// two of them (interior edges counted once): equal for a closed curve.
std::pair<int, int> curve(const Mesh& m, int first, const vec3& c, float r) {
    auto on = [&](int v) { return v >= first && std::fabs(length(m.vertices[v].position - c) - r) < 1e-4 * r; };
    int n = 0, e = 0;
    for (int v = first; v < m.vertexCount(); ++v) n += on(v);
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            e += m.faces[f].isSharp(k) && on(m.faces[f].v[(k + 1) % 3]) && on(m.faces[f].v[(k + 2) % 3]);
    return {n, e / 2};
}

// Two smooth spheres of radius 2, the second at x = 5, and the sphere
// between them that reaches into both.
Mesh* twoSpheres() {
    Mesh* a = meshtest::smoothSphere(2);
    MeshPtr b(a->clone());
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position += vec3(5, 0, 0);
    a->append(b.get());
    return a;
}
const vec3 between(2.5f, 0, 0), betweenRim(3.3f, 0, 0);

// A flat n x n grid over [-1, 1]^2 in z = 0 (point (i, j) is vertex
// i (n + 1) + j at x = -1 + 2j/n, y = -1 + 2i/n) with the listed edges sharp.
Mesh* grid(int n, const std::vector<std::pair<int, int>>& sharp = {}) {
    std::vector<vec3> points;
    std::vector<std::array<int, 3>> tris;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) {
            points.emplace_back(-1.0f + float(2 * j) / float(n), -1.0f + float(2 * i) / float(n), 0.0f);
            const int a = i * (n + 1) + j;
            if (i < n && j < n) tris.insert(tris.end(), {{a, a + 1, a + n + 2}, {a, a + n + 2, a + n + 1}});
        }
    return meshtest::fromTriangles(points, tris, sharp);
}

// One big triangle in z = 0 and a sphere dipping into its middle (circle
// of radius sqrt(0.24) about (0.2, 0.1)); a quad with a sharp diagonal.
Mesh* bigTriangle() { return meshtest::fromTriangles({{-3, -2, 0}, {3, -2, 0}, {0, 3, 0}}, {{0, 1, 2}}); }
const vec3 dip(0.2f, 0.1f, 0.5f), dipRim(0.2f, 0.1f, -0.2f);
Mesh* sharpQuad() {
    return meshtest::fromTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}, {{0, 2}});
}

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(10, 20, 30, 40), 1234, -55);

TEST(MeshSphereCut, MissingOrHoldingTheMeshAddsNothing) {
    for (const auto& s : {std::make_pair(vec3(10, 0, 0), vec3(10.5f, 0, 0)), std::make_pair(vec3(), vec3(100, 0, 0))}) {
        MeshPtr a(meshtest::smoothSphere(2)), b(meshtest::smoothSphere(2));
        const int nv = a->vertexCount(), nf = a->faceCount();
        a->cutSphere(s.first, s.second);
        b->cutSphereF(s.first, s.second, 3, false);
        for (const Mesh* m : {a.get(), b.get()}) {
            ASSERT_EQ(checkMeshInvariants(*m), "");
            EXPECT_TRUE(m->vertexCount() == nv && m->faceCount() == nf);
            EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
        }
    }
    MeshPtr c(meshtest::smoothSphere(2));
    c->clipSphere(vec3(), vec3(100, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*c), "");
    EXPECT_EQ(c->faceCount(), 0);
}

TEST(MeshSphereCut, ArcPointsFollowTheTurnInStepsOfFifteenDegrees) {
    // The unit circle about the origin in z = 0. Corner a lies inside it,
    // just past the chord between the crossing points at +-phi/2 from +y,
    // so that the arc through the top turns by phi; b and c lie at y = 1.5.
    const std::pair<double, int> table[] = {{10, 0}, {14.5, 0}, {20, 1}, {40, 2}, {100, 6}, {359, 23}};
    for (const auto& [degrees, points] : table) {
        const double half = degrees * 3.141592653589793 / 360.0, ay = (std::cos(half) - 1.0) / 2.0;
        const double L = (1.5 - ay) / (std::cos(half) - ay);
        const vec3 b(float(L * std::sin(half)), 1.5f, 0);
        MeshPtr m(meshtest::fromTriangles({vec3(0, float(ay), 0), b, vec3(-b.x, b.y, 0)}, {{0, 1, 2}}));
        m->cutSphere(vec3(0, 0, 0), vec3(0, 0, 1));
        ASSERT_EQ(checkMeshInvariants(*m), "") << degrees;
        // The arc points, then the splits of the open edges a-b and c-a.
        ASSERT_EQ(m->vertexCount(), 3 + points + 2) << degrees;
        for (int v = 3 + points; v < m->vertexCount(); ++v) EXPECT_TRUE(m->vertices[v].isCorner());
        EXPECT_EQ(curve(*m, 3, vec3(), 1.0f), std::make_pair(points + 2, points + 1));
    }
}

TEST(MeshSphereCut, ArcPointsAreStoredAlikeByEveryBuild) {
    // A face in a tilted plane, cut by a sphere whose centre lies off it:
    // the arc points, then the splits of the crossing edges. Every rounding
    // to float that the cut makes on the way (the face's normal, the arc's
    // start direction, positions read back) is kept, whichever compiler
    // built it and however it optimised, so the stored points are these to
    // the bit.
    auto tilted = [](float x, float y) {
        return vec3(0.6f * x + 0.1f, 0.48f * x + 0.6f * y - 0.2f, -0.64f * x + 0.8f * y + 0.3f);
    };
    MeshPtr m(meshtest::fromTriangles({tilted(0, -0.25f), tilted(1.25f, 1.5f), tilted(-1.25f, 1.5f)}, {{0, 1, 2}}));
    m->cutSphere(vec3(0.35f, -0.5f, 0.45f), vec3(0.35f, -0.5f, 1.45f));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    const vec3 expected[] = {
        {0x1.8aebdep-2f, 0x1.f2b4bp-2f, 0x1.3694c6p-1f},   {0x1.1311a4p-2f, 0x1.bf841cp-2f, 0x1.944c18p-1f},
        {0x1.1a13c4p-3f, 0x1.5f7ccp-2f, 0x1.e33e66p-1f},   {0x1.86313p-11f, 0x1.b09ad2p-3f, 0x1.0f5fd6p+0f},
        {-0x1.12eb2ep-3f, 0x1.8fb0a4p-5f, 0x1.21a53ap+0f}, {-0x1.09722ep-2f, -0x1.13627cp-3f, 0x1.275a9p+0f},
        {0x1.ed80dcp-2f, 0x1.f606fep-2f, 0x1.9f4862p-2f},
    };
    ASSERT_EQ(m->vertexCount(), 3 + int(std::size(expected)));
    for (int i = 0; i < int(std::size(expected)); ++i) {
        const vec3 p = m->vertices[3 + i].position;
        EXPECT_TRUE(p.x == expected[i].x && p.y == expected[i].y && p.z == expected[i].z)
            << i << ": " << std::hexfloat << p.x << " " << p.y << " " << p.z;
    }
}

TEST(MeshSphereCut, VerticesAndEdgesOnTheSphere) {
    // Vertices 1 and 3 lie on the sphere: outside; the crossing edges from
    // vertex 0 are split at their positions, and nothing is merged.
    MeshPtr q(meshtest::makeQuad());
    q->cutSphere(vec3(0, 0, 0), vec3(1, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*q), "");
    int copies = 0;
    for (int v = 4; v < q->vertexCount(); ++v)
        copies +=
            near(q->vertices[v].position, vec3(1, 0, 0), 1e-6f) + near(q->vertices[v].position, vec3(0, 1, 0), 1e-6f);
    EXPECT_EQ(copies, 2);

    // Vertex 0 lies inside the sphere by a float step: the edge along the
    // sphere from it is split there; the edge running through the sphere
    // from it is split where it leaves the sphere on the far side.
    MeshPtr b(meshtest::fromTriangles({{-0x1.fffffep-1f, 0, 0}, {2, 0.25f, 0}, {-1, 2, 0}}, {{0, 1, 2}}));
    b->cutSphere(vec3(0, 0, 0), vec3(1, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*b), "");
    int far = 0;
    for (int v = 3; v < b->vertexCount(); ++v) far += near(b->vertices[v].position, vec3(0.98621f, 0.16552f, 0), 1e-4f);
    EXPECT_EQ(far, 1);

    // The open edge 0-1 only touches the sphere: split at (0.5, 0); the
    // cut closes round it without leaving the quad.
    MeshPtr t(meshtest::makeQuad());
    t->cutSphere(vec3(0.5f, -0.25f, 0), vec3(0.5f, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*t), "");
    ASSERT_GT(t->vertexCount(), 4);
    EXPECT_TRUE(near(t->vertices[4].position, vec3(0.5f, 0, 0), 1e-6f));
    for (int v = 0; v < t->vertexCount(); ++v) EXPECT_GE(t->vertices[v].position.y, -1e-6f);

    // Dipping into the middle of one face: split at the foot of the
    // centre, a closed crease round it.
    MeshPtr d(bigTriangle());
    d->cutSphere(dip, dipRim);
    ASSERT_EQ(checkMeshInvariants(*d), "");
    ASSERT_GT(d->vertexCount(), 3);
    EXPECT_TRUE(near(d->vertices[3].position, vec3(dip.x, dip.y, 0)));
    const auto [n, e] = curve(*d, 4, dip, 0.7f);
    EXPECT_TRUE(n >= 24 && n == e && n == d->vertexCount() - 4) << n << " " << e;

    // Crossing the sharp diagonal or the open border gives sharp corners.
    MeshPtr s(sharpQuad());
    s->cutSphere(vec3(0, 0, 0), vec3(0.5f, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*s), "");
    const float h = std::sqrt(0.125f);
    int corners = 0;
    for (int v = 4; v < s->vertexCount(); ++v) {
        const vec3 p = s->vertices[v].position;
        const bool onEdge = near(p, vec3(0.5f, 0, 0)) || near(p, vec3(0, 0.5f, 0)) || near(p, vec3(h, h, 0));
        EXPECT_EQ(s->vertices[v].isCorner() && s->vertices[v].isSharp(), onEdge) << v;
        corners += onEdge;
    }
    EXPECT_EQ(corners, 3);
}

TEST(MeshSphereCut, ScopedCutStaysInItsComponentOrPatch) {
    MeshPtr all(twoSpheres()), one(twoSpheres());
    const int n = all->vertexCount();
    all->cutSphere(between, betweenRim);
    one->cutSphereF(between, betweenRim, 0, false);
    ASSERT_EQ(checkMeshInvariants(*all), "");
    ASSERT_EQ(checkMeshInvariants(*one), "");
    int right = 0;
    for (int v = n; v < all->vertexCount(); ++v) right += all->vertices[v].position.x > between.x;
    EXPECT_TRUE(right > 0 && right < all->vertexCount() - n);
    ASSERT_GT(one->vertexCount(), n);
    for (int v = n; v < one->vertexCount(); ++v) EXPECT_LT(one->vertices[v].position.x, between.x);

    // About a corner of the cube: the patch scope cuts the bottom only; the
    // sides across its split sharp edges are split there, not cut further.
    MeshPtr patch(Mesh::Cube()), component(Mesh::Cube());
    patch->cutSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, true);
    component->cutSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, false);
    ASSERT_EQ(checkMeshInvariants(*patch), "");
    ASSERT_EQ(checkMeshInvariants(*component), "");
    ASSERT_GT(patch->vertexCount(), 8);
    for (int v = 8; v < patch->vertexCount(); ++v) EXPECT_EQ(patch->vertices[v].position.z, 0.0f) << v;
    int sides = 0;  // faces reaching the top that hold a vertex of the cut
    for (int f = 0; f < patch->faceCount(); ++f) {
        const MeshFace& F = patch->faces[f];
        auto z = [&](int k) { return patch->vertices[F.v[k]].position.z; };
        sides += (F.v[0] >= 8 || F.v[1] >= 8 || F.v[2] >= 8) && (z(0) > 0.5f || z(1) > 0.5f || z(2) > 0.5f);
    }
    EXPECT_GT(sides, 0);
    const auto loop = curve(*component, 8, vec3(0, 0, 0), 0.5f);
    EXPECT_TRUE(loop.first > patch->vertexCount() - 8 && loop.first == loop.second);
}

TEST(MeshSphereClip, CutsACircularHoleRimmedByTheCrease) {
    MeshPtr m(bigTriangle());
    const vec3 foot(dip.x, dip.y, 0);
    m->clipSphere(dip, dipRim);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    int rim = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m->faces[f];
            EXPECT_GT(length(m->vertices[F.v[k]].position - foot), std::sqrt(0.24) * (1 - 1e-4));
            if (F.f[k] >= 0 || length(m->vertices[F.v[(k + 1) % 3]].position - foot) > 1.0) continue;
            ++rim;  // an open edge of the hole
            EXPECT_TRUE(F.isSharp(k));
        }
    EXPECT_GE(rim, 24);
    EXPECT_EQ(curve(*m, 0, dip, 0.7f).first, rim);  // one closed rim
}

TEST(MeshSphereClip, ScopeLimitsWhatIsOpened) {
    // Vertices and open edges on each side of x = 2.5.
    auto sides = [&](const Mesh& m) {
        std::array<int, 4> r{0, 0, 0, 0};
        for (int v = 0; v < m.vertexCount(); ++v) ++r[m.vertices[v].position.x < between.x ? 0 : 1];
        for (int f = 0; f < m.faceCount(); ++f)
            for (const int g : m.faces[f].f) r[m.vertices[m.faces[f].v[0]].position.x < between.x ? 2 : 3] += g < 0;
        return r;
    };
    MeshPtr all(twoSpheres()), one(twoSpheres());
    const auto before = sides(*one);
    all->clipSphere(between, betweenRim);
    one->clipSphereF(between, betweenRim, 0, false);
    ASSERT_EQ(checkMeshInvariants(*all), "");
    ASSERT_EQ(checkMeshInvariants(*one), "");
    const auto a = sides(*all), o = sides(*one);
    EXPECT_TRUE(a[2] > 0 && a[3] > 0 && o[2] > 0) << a[2] << " " << a[3] << " " << o[2];
    EXPECT_EQ(o[3], 0);
    EXPECT_EQ(o[1], before[1]);  // the other sphere is not even cut

    // Patch scope across the sharp diagonal: the other patch's faces keep
    // the inside vertex 0 on the boundary.
    MeshPtr q(sharpQuad());
    q->clipSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, true);
    ASSERT_EQ(checkMeshInvariants(*q), "");
    bool kept = false;
    for (int f = 0; f < q->faceCount(); ++f) {
        vec3 centroid(0, 0, 0);
        for (const int v : q->faces[f].v) {
            centroid += q->vertices[v].position * (1.0f / 3.0f);
            kept |= isZero(q->vertices[v].position);
        }
        EXPECT_TRUE(length(centroid) >= 0.4f || centroid.y > centroid.x);  // near 0 only the other patch
    }
    EXPECT_TRUE(kept);
}

TEST(MeshSphereSubtract, PressesTheInsideOntoTheSphere) {
    // A flat sheet, the rim point at L from the point: radius
    // sqrt(L^2 + (L/3)^2); the vertex at the point (the middle, 220) moves
    // R - L/3 along the normal, out for a bump and in for a dent.
    const float L = 0.45f;  // no grid point lies near the rim
    const double R = std::sqrt(L * L + (L / 3) * (L / 3));
    for (const bool add : {true, false}) {
        MeshPtr m(grid(20));
        m->subSphere(vec3(0, 0, 0), vec3(0, 0, 1), vec3(L, 0, 0), add, paint);
        ASSERT_EQ(checkMeshInvariants(*m), "");
        EXPECT_NEAR(m->vertices[220].position.z, (add ? 1 : -1) * (R - L / 3), 1e-5);
        const vec3 o(0, 0, (add ? -1 : 1) * L / 3);
        for (int v = 0; v < m->vertexCount(); ++v)  // off the sheet means moved onto the sphere
            EXPECT_TRUE(m->vertices[v].position.z == 0 || std::fabs(length(m->vertices[v].position - o) - R) < 1e-5);
        // Faces round a moved vertex are painted; the others, also those
        // with their corners on the rim, keep their material.
        int painted = 0;
        for (int f = 0; f < m->faceCount(); ++f) {
            const MeshFace& F = m->faces[f];
            bool moved = false;
            for (const int v : F.v) moved |= m->vertices[v].position.z != 0;
            for (const pbr& c : F.material) EXPECT_EQ(c == paint, moved) << f;
            painted += moved;
        }
        EXPECT_GT(painted, 0);
    }
}

TEST(MeshSphereSubtract, SmoothsMovedVerticesButNotTheBorder) {
    // The border row (y = -1) and the row above it are sharp.
    std::vector<std::pair<int, int>> sharp;
    for (int j = 0; j < 20; ++j) sharp.insert(sharp.end(), {{j, j + 1}, {21 + j, 22 + j}});
    MeshPtr m(grid(20, sharp));
    m->subSphere(vec3(0, -1, 0), vec3(0, 0, 1), vec3(0.35f, -1, 0), false, paint);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    auto sharpEdge = [&](int a, int b) {
        int f = -1, k = -1;
        return m->findEdge(a, b, f, k) && m->faces[f].isSharp(k);
    };
    // Border vertices 8..12 moved and kept their sharp edges; the moved
    // interior vertices 29..33 lost theirs; far away the row stays sharp.
    for (int j = 8; j < 12; ++j) {
        EXPECT_LT(m->vertices[j].position.z, -1e-3f);
        EXPECT_TRUE(sharpEdge(j, j + 1));
        EXPECT_FALSE(sharpEdge(21 + j, 22 + j));
    }
    EXPECT_TRUE(sharpEdge(21, 22));
}

TEST(MeshSphereCut, NearDegenerateInputStaysFinite) {
    auto finite = [](const Mesh& m) {
        bool ok = m.vertexCount() > 4;
        for (int v = 0; v < m.vertexCount(); ++v) ok &= std::isfinite(length(m.vertices[v].position));
        return ok;
    };
    // A vertex inside by the float radius but beyond the sphere in double
    // (s * s rounds up in float): along the edge across the radius the
    // crossing point's radicand is negative.
    float s = 0.3f;
    while (double(s * s) - double(s) * s <= 0.25 * (double(std::nextafter(s * s, 1.0f)) - s * s))
        s = std::nextafter(s, 1.0f);
    vec3 in(0, 0, 0);
    for (int i = -200; i <= 200 && isZero(in); ++i)
        for (int j = -200; j <= 200 && isZero(in); ++j) {
            const float x = 0.55f * s + float(i) * 1.5e-8f, y = 0.8351647f * s + float(j) * 1.5e-8f;
            const double q = double(x) * x + double(y) * y;
            if (q > double(s) * s && q < double(s * s)) in = vec3(x, y, 0);
        }
    ASSERT_FALSE(isZero(in));
    MeshPtr m(meshtest::fromTriangles({in, in * 3.0f, in + vec3(-in.y, in.x, 0) * 2.0f}, {{0, 1, 2}}));
    m->cutSphere(vec3(0, 0, 0), vec3(s, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(finite(*m));

    // A face of no area (its corners on one line) crossed by the sphere,
    // beside an ordinary one.
    MeshPtr z(meshtest::fromTriangles({{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {1.5f, 1, 0}}, {{0, 1, 3}, {1, 0, 2}}));
    z->cutSphere(vec3(2.5f, 0, 0), vec3(2.5f, 0.7f, 0));
    ASSERT_EQ(checkMeshInvariants(*z), "");
    EXPECT_TRUE(finite(*z));
    for (int f = 0; f < z->faceCount(); ++f)
        for (const pbr& c : z->faces[f].material)
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.colour[i], pbr().colour[i], 1) << f;
}

// ---------------------------------------------------------------------------
// Stored normals: what the operations leave, and what they read

using meshtest::offWholePass;

// The area of the active faces.
double area(const Mesh& m) {
    double sum = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        if (!m.faces[f].isActive()) continue;
        const dvec3 p(m.vertices[m.faces[f].v[0]].position), q(m.vertices[m.faces[f].v[1]].position),
            r(m.vertices[m.faces[f].v[2]].position);
        const dvec3 n = cross(q - p, r - p);
        sum += 0.5 * std::sqrt(dot(n, n));
    }
    return sum;
}

// The faces of a cut grid (in z = 0) that turn against it, taken exactly
// from the stored positions.
int turnedOver(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        const vec3 &a = m.vertices[F.v[0]].position, &b = m.vertices[F.v[1]].position, &c = m.vertices[F.v[2]].position;
        n += Orient2D(dvec2(a.x, a.y), dvec2(b.x, b.y), dvec2(c.x, c.y)) < 0;
    }
    return n;
}

TEST(MeshSphereCut, AnArcThatWouldLeaveItsFaceIsCutAlongTheChord) {
    // A sphere of no radius on a point of an edge of a flat grid: the edge
    // is split there, and the crossing points round the new vertex are the
    // centre itself. Computed from the far end of each edge they would lie
    // a rounding error from it, as the arithmetic was compiled: the circle
    // through them could turn by 353 degrees round the point outside the
    // face, and its fans fold over. Every face is cut along its chord, of
    // no length: each vertex the cut makes lies at the centre.
    const vec3 c(0x1.c8p-2f, -0x1.cp-5f, 0);
    MeshPtr m(grid(4));
    const int first = m->vertexCount();
    m->cutSphere(c, c);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_NEAR(area(*m), 4.0, 1e-12);
    EXPECT_EQ(turnedOver(*m), 0);
    ASSERT_GT(m->vertexCount(), first);
    for (int v = first; v < m->vertexCount(); ++v) EXPECT_TRUE(m->vertices[v].position == c) << v;
}

// Spheres of no radius, and of a radius far below the spacing of the float
// positions round them, centred on points of the edges of flat grids. Where
// and whether the edges are split, where the crossing points and arc points
// land, are rounding: how the arithmetic was compiled (contracted into
// fused multiply-adds or not) would decide them. Decided exactly on the
// stored positions, no face is folded over and the grid is covered once.
TEST(MeshSphereCut, ASphereOfNoSizeOnAnEdgeFoldsNoFace) {
    for (const int n : {2, 4}) {
        MeshPtr g(grid(n));
        for (int f = 0; f < g->faceCount(); ++f)
            for (int k = 0; k < 3; ++k) {
                const int u = g->faces[f].v[(k + 1) % 3], w = g->faces[f].v[(k + 2) % 3];
                if (u > w) continue;  // each edge once
                const vec3 A = g->vertices[u].position, B = g->vertices[w].position;
                for (int i = 1; i < 16; ++i)
                    for (const float r : {0.0f, 1e-9f})
                        for (const bool scoped : {false, true}) {
                            const vec3 c = A + (B - A) * (float(i) / 16.0f);
                            SCOPED_TRACE(testing::Message() << "grid " << n << " edge " << u << "-" << w << " at " << i
                                                            << "/16, radius " << r << (scoped ? ", scoped" : ""));
                            MeshPtr m(grid(n));
                            if (scoped)
                                m->cutSphereF(c, c + vec3(0, 0, r), f, false);
                            else
                                m->cutSphere(c, c + vec3(0, 0, r));
                            ASSERT_EQ(checkMeshInvariants(*m), "");
                            EXPECT_NEAR(area(*m), 4.0, 1e-12);
                            ASSERT_EQ(turnedOver(*m), 0);
                        }
            }
    }
}

// The sphere operations by number (0..7) with centre c through rim; the
// scoped ones from the face.
void sphereOp(Mesh& m, int op, const vec3& c, const vec3& rim, const vec3& normal, int face) {
    switch (op) {
        case 0: m.cutSphere(c, rim); break;
        case 1: m.cutSphereF(c, rim, face, true); break;
        case 2: m.cutSphereF(c, rim, face, false); break;
        case 3: m.clipSphere(c, rim); break;
        case 4: m.clipSphereF(c, rim, face, true); break;
        case 5: m.clipSphereF(c, rim, face, false); break;
        case 6: m.subSphere(c, normal, rim, true, paint); break;
        default: m.subSphere(c, normal, rim, false, pbr()); break;
    }
}

// Chains of random cuts, clips and presses over the primitives: after each
// every face normal is the one its corners give, as the whole pass forms it.
TEST(MeshSphereNormals, RandomChainsKeepEveryNormalAsTheCornersGiveIt) {
    std::mt19937 rng(78);
    for (int which = 0; which < 18; ++which) {
        MeshPtr m(meshtest::primitive(which));
        ASSERT_EQ(offWholePass(*m), 0) << which;
        for (int step = 0; step < 12 && meshtest::activeFaceCount(*m) > 8; ++step) {
            const int op = int(rng() % 8);
            SCOPED_TRACE(testing::Message() << "primitive " << which << " step " << step << " op " << op);
            const vec3 c = meshtest::surfacePoint(*m, rng);
            const vec3 d(float(rng() % 201) - 100, float(rng() % 201) - 100, float(rng() % 201) - 100);
            const vec3 rim = c + normalize(d) * (m->size() * (0.08f + 0.04f * float(rng() % 6)));
            const int face = m->findFirstFace(c);
            sphereOp(*m, op, c, rim, m->faces[face].normal, face);
            ASSERT_EQ(checkMeshInvariants(*m), "");
            EXPECT_EQ(offWholePass(*m), 0);
        }
    }
}

// The cut takes each face's plane and turn from its corners: on a mesh whose
// stored face normals all point the wrong way every operation gives what it
// gives with the right ones.
TEST(MeshSphereNormals, StoredNormalsAgainstTheCornersChangeNothing) {
    const std::function<Mesh*()> makers[] = {
        [] { return meshtest::smoothSphere(2); },
        [] { return Mesh::Cylinder(24, true); },
        [] { return bigTriangle(); },
    };
    const std::pair<vec3, vec3> spheres[] = {{vec3(0.3f, 0.2f, 1.9f), vec3(0.9f, 0.4f, 1.7f)},
                                             {vec3(0.1f, 0.5f, 0.3f), vec3(0.6f, 0.6f, 0.2f)},
                                             {dip, dipRim}};
    for (int i = 0; i < 3; ++i)
        for (int op = 0; op < 8; ++op) {
            SCOPED_TRACE(testing::Message() << "mesh " << i << " op " << op);
            MeshPtr right(makers[i]()), flipped(makers[i]());
            for (int f = 0; f < flipped->faceCount(); ++f) flipped->faces[f].normal = -flipped->faces[f].normal;
            // The pick reads the stored normals; the cut is handed its face.
            const vec3 up(0, 0, 1);
            const int face = right->findFirstFace(spheres[i].first);
            sphereOp(*right, op, spheres[i].first, spheres[i].second, up, face);
            sphereOp(*flipped, op, spheres[i].first, spheres[i].second, up, face);
            ASSERT_EQ(checkMeshInvariants(*flipped), "");
            ASSERT_EQ(flipped->vertexCount(), right->vertexCount());
            ASSERT_EQ(flipped->faceCount(), right->faceCount());
            for (int v = 0; v < right->vertexCount(); ++v)
                ASSERT_EQ(flipped->vertices[v].position, right->vertices[v].position) << v;
            for (int f = 0; f < right->faceCount(); ++f)
                ASSERT_EQ(std::memcmp(flipped->faces[f].v, right->faces[f].v, sizeof right->faces[f].v), 0) << f;
        }
}

// A mesh kept as the records the sphere cut reads (tests/mesh/data/
// trim_mesh_raw.py); null when the file is short.
MeshPtr loadTrimmedMesh(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    auto get = [&](void* p, std::size_t n) { in.read(static_cast<char*>(p), std::streamsize(n)); };
    MeshPtr m(new Mesh());
    std::uint32_t nv = 0, nf = 0;
    get(&nv, 4);
    for (std::uint32_t i = 0; i < nv && in; ++i) {
        MeshVertex r;
        get(&r.position, 12);
        get(&r.face, 4);
        get(&r.flags, 1);
        m->vertexAdd(r);
    }
    get(&nf, 4);
    for (std::uint32_t i = 0; i < nf && in; ++i) {
        MeshFace r;
        get(r.v, 12);
        get(r.f, 12);
        get(&r.normal, 12);
        get(&r.flags, 1);
        m->faceAdd(r);
    }
    if (!in) return nullptr;
    m->deselectAll();
    return m;
}

// A mesh as thousands of random edits left it in memory (record order,
// links and stored normals kept; 3,365 of its faces held a normal against
// their corners) and the release of a ClipSphere stroke in the Component
// scope with two symmetric copies. Turned round those normals, each clip's
// arcs ran outside their faces and the next clip cut the fans of the last:
// the stroke never ended. Now it ends with the mesh no larger than twice
// what it was, and every normal as the whole pass gives it.
TEST(MeshSphereNormals, ClipStrokeOverNormalsAgainstTheCornersEnds) {
    const MeshPtr kept = loadTrimmedMesh(TL_TEST_DATA "/sphere_cut_runaway.mesh");
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->faceCount(), 9738);
    // The stroke's first and last samples per copy: (centre, rim, face).
    const vec3 c0(-0x1.c6c306p-30f, -0x1.8c90f8p-1f, 0), c1(0x1.c6c306p-30f, -0x1.8c90f8p-1f, 0);
    const vec3 r0(-0x1.09e4cp-2f, -0x1.70cfbcp-1f, 0x1.8bd714p-4f), r1(0x1.09e4cp-2f, -0x1.70cfbcp-1f, 0x1.8bd714p-4f);
    const std::array<std::tuple<vec3, vec3, int>, 3> copies{
        {{c0, r0, 9054}, {c1, r1, -1}, {c0, r0, -1}}};
    std::vector<std::unique_ptr<Sculptor>> owned;
    std::vector<Sculptor*> list;
    for (const auto& [c, r, face] : copies) {
        owned.push_back(std::make_unique<Sculptor>());
        Sculptor& s = *owned.back();
        s.action = Sculptor::ClipSphere;
        s.select = Sculptor::SelectComponent;
        SBrush F, L;
        F.point = c;
        F.itemId = 9054;
        L.point = r;
        L.itemId = face;
        s.begin();
        s.samples = {F, L};
        s.end();
        list.push_back(&s);
    }
    // The first copy alone, the first two, then the whole stroke.
    for (const std::size_t n : {std::size_t(1), std::size_t(2), list.size()}) {
        SCOPED_TRACE(n);
        Mesh m(*kept);
        std::vector<Sculptor*> part(list.begin(), list.begin() + std::ptrdiff_t(n));
        m.sculpt(part);
        ASSERT_LT(m.faceCount(), 2 * kept->faceCount());
        ASSERT_LT(m.vertexCount(), 2 * kept->vertexCount());
        EXPECT_EQ(checkMeshInvariants(m), "");
        EXPECT_EQ(offWholePass(m), 0);
        if (n != 2) continue;
        // The third copy's cut alone: it divides faces and covers no more
        // than they did. On slivers of this mesh rounding put crossing
        // points beyond the ends of short edges, and the arcs through them
        // ran round the circle outside their faces.
        const double before = area(m);
        m.cutSphereF(std::get<0>(copies[2]), std::get<1>(copies[2]), -1, false);
        EXPECT_NEAR(area(m), before, 1e-6 * before);
    }
}

}  // namespace
