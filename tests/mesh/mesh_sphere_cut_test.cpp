// Sphere cut, clip, subtract and add; the invariant check follows every
// operation.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
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

}  // namespace
