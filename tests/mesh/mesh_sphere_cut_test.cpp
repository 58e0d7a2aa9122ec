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

bool closed(const Mesh& m) {
    for (int f = 0; f < m.faceCount(); ++f)
        if (m.faces[f].isActive())
            for (const int g : m.faces[f].f)
                if (g < 0) return false;
    return true;
}

bool near(const vec3& p, const vec3& q, float eps = 1e-5f) { return length(p - q) < eps; }

// The vertices from `first` on that lie on the sphere, and the sharp edges
// joining two of them (each counted once): equal for a closed curve.
std::pair<int, int> curve(const Mesh& m, int first, const vec3& c, float r) {
    auto on = [&](int v) { return v >= first && std::fabs(length(m.vertices[v].position - c) - r) < 1e-4 * r; };
    int n = 0, e = 0;
    for (int v = first; v < m.vertexCount(); ++v) n += on(v);
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            e += m.faces[f].isSharp(k) && on(m.faces[f].v[(k + 1) % 3]) && on(m.faces[f].v[(k + 2) % 3]);
    return {n, e / 2};
}

// Two meshes side by side: the second moved by `shift`.
Mesh* pair(Mesh* a, const vec3& shift) {
    MeshPtr b(a->clone());
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position += shift;
    a->append(b.get());
    return a;
}

// A flat n x n grid of squares over [-1, 1]^2 in z = 0; sharp lists edges
// as pairs of (row, column) grid points.
Mesh* grid(int n, const std::vector<std::pair<int, int>>& sharp = {}) {
    std::vector<vec3> points;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            points.emplace_back(-1.0f + float(2 * j) / float(n), -1.0f + float(2 * i) / float(n), 0.0f);
    std::vector<std::array<int, 3>> tris;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int a = i * (n + 1) + j, b = a + 1, c = a + n + 2, d = a + n + 1;
            tris.push_back({a, b, c});
            tris.push_back({a, c, d});
        }
    return meshtest::fromTriangles(points, tris, sharp);
}

// One big triangle in z = 0, wound counter-clockwise seen from +z.
Mesh* bigTriangle() { return meshtest::fromTriangles({{-3, -2, 0}, {3, -2, 0}, {0, 3, 0}}, {{0, 1, 2}}); }

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(10, 20, 30, 40), 1234, -55);

TEST(MeshSphereCut, MissingOrHoldingTheMeshAddsNothing) {
    const std::vector<std::pair<vec3, vec3>> spheres = {{vec3(10, 0, 0), vec3(10.5f, 0, 0)},
                                                        {vec3(0, 0, 0), vec3(100, 0, 0)}};
    for (const auto& s : spheres) {
        MeshPtr a(meshtest::smoothSphere(2)), b(meshtest::smoothSphere(2));
        const int nv = a->vertexCount(), nf = a->faceCount();
        a->cutSphere(s.first, s.second);
        b->cutSphereF(s.first, s.second, 3, false);
        for (const Mesh* m : {a.get(), b.get()}) {
            ASSERT_EQ(checkMeshInvariants(*m), "");
            EXPECT_EQ(m->vertexCount(), nv);
            EXPECT_EQ(m->faceCount(), nf);
            EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
        }
    }
    // The clip of a sphere holding everything leaves nothing.
    MeshPtr c(meshtest::smoothSphere(2));
    c->clipSphere(vec3(0, 0, 0), vec3(100, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*c), "");
    EXPECT_EQ(c->faceCount(), 0);
}

TEST(MeshSphereCut, ArcPointsFollowTheTurnInStepsOfFifteenDegrees) {
    // The unit circle about the origin in z = 0. Corner a sits inside it just
    // past the chord between the crossing points at +-phi/2 from +y, so that
    // the arc through the top turns by phi; b and c lie beyond y = 1.5.
    const struct {
        double degrees;
        int points;
    } table[] = {{10, 0}, {14.5, 0}, {20, 1}, {40, 2}, {100, 6}, {359, 23}};
    for (const auto& row : table) {
        const double half = row.degrees * 3.141592653589793 / 360.0;
        const double ay = (std::cos(half) - 1.0) / 2.0;
        const double L = (1.5 - ay) / (std::cos(half) - ay);
        const vec3 a(0, float(ay), 0);
        const vec3 b(float(L * std::sin(half)), float(ay + L * (std::cos(half) - ay)), 0);
        const vec3 c(-b.x, b.y, 0);
        MeshPtr m(meshtest::fromTriangles({a, b, c}, {{0, 1, 2}}));
        m->cutSphere(vec3(0, 0, 0), vec3(0, 0, 1));
        ASSERT_EQ(checkMeshInvariants(*m), "") << row.degrees;
        // Arc points, then the two crossing splits of the open edges a-b and
        // c-a (sharp corners).
        ASSERT_EQ(m->vertexCount(), 3 + row.points + 2) << row.degrees;
        for (int v = 3; v < m->vertexCount(); ++v) EXPECT_NEAR(length(m->vertices[v].position), 1.0, 1e-5);
        for (int v = 3 + row.points; v < m->vertexCount(); ++v)
            EXPECT_TRUE(m->vertices[v].isSharp() && m->vertices[v].isCorner());
        const auto [n, e] = curve(*m, 3, vec3(0, 0, 0), 1.0f);
        EXPECT_EQ(n, row.points + 2);
        EXPECT_EQ(e, row.points + 1);  // an open curve from edge to edge
    }
}

TEST(MeshSphereCut, VerticesAndEdgesOnTheSphere) {
    // Vertices 1 (1,0) and 3 (0,1) lie on the sphere: outside, and the
    // crossing edges from vertex 0 are split at their positions, unmerged.
    MeshPtr q(meshtest::makeQuad());
    q->cutSphere(vec3(0, 0, 0), vec3(1, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*q), "");
    int copies = 0;
    for (int v = 4; v < q->vertexCount(); ++v)
        copies +=
            near(q->vertices[v].position, vec3(1, 0, 0), 1e-6f) + near(q->vertices[v].position, vec3(0, 1, 0), 1e-6f);
    EXPECT_EQ(copies, 2);

    // The open edge 0-1 only touches the sphere: split at (0.5, 0); the cut
    // stays inside the quad.
    MeshPtr t(meshtest::makeQuad());
    t->cutSphere(vec3(0.5f, -0.25f, 0), vec3(0.5f, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*t), "");
    ASSERT_GT(t->vertexCount(), 4);
    EXPECT_TRUE(near(t->vertices[4].position, vec3(0.5f, 0, 0), 1e-6f));
    for (int v = 0; v < t->vertexCount(); ++v) EXPECT_GE(t->vertices[v].position.y, -1e-6f);

    // A sphere dipping into the middle of one face: split at the foot of
    // the centre, a closed creased loop round it.
    MeshPtr d(bigTriangle());
    const vec3 c(0.2f, 0.1f, 0.5f);
    d->cutSphere(c, vec3(0.2f, 0.1f, -0.2f));
    ASSERT_EQ(checkMeshInvariants(*d), "");
    ASSERT_GT(d->vertexCount(), 3);
    EXPECT_TRUE(near(d->vertices[3].position, vec3(0.2f, 0.1f, 0)));
    const auto [n, e] = curve(*d, 4, c, 0.7f);
    EXPECT_GE(n, 24);
    EXPECT_EQ(n, e);
    EXPECT_EQ(n, d->vertexCount() - 4);

    // Crossing the sharp diagonal or the open border gives sharp corners.
    MeshPtr s(meshtest::fromTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}, {{0, 2}}));
    s->cutSphere(vec3(0, 0, 0), vec3(0.5f, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*s), "");
    const float h = std::sqrt(0.125f);
    int corners = 0;
    for (int v = 4; v < s->vertexCount(); ++v) {
        const vec3 p = s->vertices[v].position;
        const bool onEdge = near(p, vec3(0.5f, 0, 0)) || near(p, vec3(0, 0.5f, 0)) || near(p, vec3(h, h, 0));
        EXPECT_EQ(s->vertices[v].isCorner(), onEdge) << v;
        EXPECT_TRUE(!onEdge || s->vertices[v].isSharp()) << v;
        corners += onEdge;
    }
    EXPECT_EQ(corners, 3);
}

TEST(MeshSphereCut, ScopedCutStaysInItsComponentOrPatch) {
    // A sphere between two spheres reaches both; the component scope cuts
    // only the picked one.
    const vec3 c(2.5f, 0, 0), s(3.3f, 0, 0);
    MeshPtr all(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    MeshPtr one(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    const int n = all->vertexCount();
    all->cutSphere(c, s);
    one->cutSphereF(c, s, 0, false);
    ASSERT_EQ(checkMeshInvariants(*all), "");
    ASSERT_EQ(checkMeshInvariants(*one), "");
    EXPECT_TRUE(closed(*all) && closed(*one));
    bool left = false, right = false;
    for (int v = n; v < all->vertexCount(); ++v) (all->vertices[v].position.x < c.x ? left : right) = true;
    EXPECT_TRUE(left && right);
    ASSERT_GT(one->vertexCount(), n);
    for (int v = n; v < one->vertexCount(); ++v) EXPECT_LT(one->vertices[v].position.x, c.x);

    // A sphere about a corner of the cube: the patch scope cuts the bottom
    // side only; the sides across its split sharp edges are split there and
    // not cut further. The component scope cuts all three sides.
    MeshPtr patch(Mesh::Cube()), component(Mesh::Cube());
    patch->cutSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, true);
    component->cutSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, false);
    ASSERT_EQ(checkMeshInvariants(*patch), "");
    ASSERT_EQ(checkMeshInvariants(*component), "");
    ASSERT_GT(patch->vertexCount(), 8);
    for (int v = 8; v < patch->vertexCount(); ++v) EXPECT_EQ(patch->vertices[v].position.z, 0.0f) << v;
    int sides = 0;  // faces of the other sides holding a vertex of the cut
    for (int f = 0; f < patch->faceCount(); ++f) {
        const MeshFace& F = patch->faces[f];
        auto z = [&](int k) { return patch->vertices[F.v[k]].position.z; };
        sides += (F.v[0] >= 8 || F.v[1] >= 8 || F.v[2] >= 8) && (z(0) > 0.5f || z(1) > 0.5f || z(2) > 0.5f);
    }
    EXPECT_GT(sides, 0);
    bool raised = false;
    for (int v = 8; v < component->vertexCount(); ++v) raised |= component->vertices[v].position.z > 0.1f;
    EXPECT_TRUE(raised);
    const auto loop = curve(*component, 8, vec3(0, 0, 0), 0.5f);
    EXPECT_EQ(loop.first, loop.second);
}

TEST(MeshSphereClip, CutsACircularHoleRimmedByTheCrease) {
    MeshPtr m(bigTriangle());
    const vec3 c(0.2f, 0.1f, 0.5f), foot(0.2f, 0.1f, 0);
    const float rho = std::sqrt(0.49f - 0.25f);
    m->clipSphere(c, vec3(0.2f, 0.1f, -0.2f));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    int rim = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m->faces[f];
            for (const int v : F.v) EXPECT_GT(length(m->vertices[v].position - foot), rho * (1 - 1e-4f));
            if (F.f[k] >= 0) continue;
            const vec3 p = m->vertices[F.v[(k + 1) % 3]].position, q = m->vertices[F.v[(k + 2) % 3]].position;
            if (length(p - foot) > 1.0 || length(q - foot) > 1.0) continue;  // the outer border
            ++rim;
            EXPECT_TRUE(F.isSharp(k));
        }
    EXPECT_GE(rim, 24);
    EXPECT_EQ(curve(*m, 0, c, 0.7f).first, rim);  // one closed rim
}

TEST(MeshSphereClip, ScopeLimitsWhatIsOpened) {
    const vec3 c(2.5f, 0, 0), s(3.3f, 0, 0);
    // Open edges and vertex count on each side of x = 2.5.
    auto sides = [&](const Mesh& m) {
        std::array<int, 4> r{0, 0, 0, 0};
        for (int v = 0; v < m.vertexCount(); ++v) ++r[m.vertices[v].position.x < c.x ? 0 : 1];
        for (int f = 0; f < m.faceCount(); ++f)
            for (const int g : m.faces[f].f)
                if (g < 0) ++r[m.vertices[m.faces[f].v[0]].position.x < c.x ? 2 : 3];
        return r;
    };
    MeshPtr all(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    MeshPtr one(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    const auto before = sides(*one);
    all->clipSphere(c, s);
    one->clipSphereF(c, s, 0, false);
    ASSERT_EQ(checkMeshInvariants(*all), "");
    ASSERT_EQ(checkMeshInvariants(*one), "");
    const auto a = sides(*all), o = sides(*one);
    EXPECT_GT(a[2], 0);
    EXPECT_GT(a[3], 0);
    EXPECT_GT(o[2], 0);
    EXPECT_EQ(o[3], 0);
    EXPECT_EQ(o[1], before[1]);  // the other sphere is not even cut

    // Patch scope across the sharp diagonal of a quad: the faces of the
    // other patch keep the inside vertex 0 on the boundary.
    MeshPtr q(meshtest::fromTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}, {{0, 2}}));
    q->clipSphereF(vec3(0, 0, 0), vec3(0.5f, 0, 0), 0, true);
    ASSERT_EQ(checkMeshInvariants(*q), "");
    bool kept = false;
    for (int f = 0; f < q->faceCount(); ++f) {
        const MeshFace& F = q->faces[f];
        vec3 centroid(0, 0, 0);
        for (const int v : F.v) {
            centroid += q->vertices[v].position * (1.0f / 3.0f);
            kept |= isZero(q->vertices[v].position);
        }
        EXPECT_TRUE(length(centroid) >= 0.4f || centroid.y > centroid.x);  // only the other patch near 0
    }
    EXPECT_TRUE(kept);
}

TEST(MeshSphereSubtract, PressesTheInsideOntoTheSphere) {
    // A flat sheet, rim point at L = 0.5: radius sqrt(L^2 + (L/3)^2), and the
    // vertex at the point (the grid's middle, 220) moves R - L/3 along the
    // normal: out for a bump, in for a dent.
    const float L = 0.45f;  // no grid point lies near the rim
    const double R = std::sqrt(L * L + (L / 3) * (L / 3));
    for (const bool add : {true, false}) {
        MeshPtr m(grid(20));
        ASSERT_TRUE(isZero(m->vertices[220].position));
        m->subSphere(vec3(0, 0, 0), vec3(0, 0, 1), vec3(L, 0, 0), add, paint);
        ASSERT_EQ(checkMeshInvariants(*m), "");
        EXPECT_NEAR(m->vertices[220].position.z, (add ? 1 : -1) * (R - L / 3), 1e-5);
        const vec3 o(0, 0, (add ? -1 : 1) * L / 3);
        int moved = 0;
        for (int f = 0; f < m->faceCount(); ++f) {
            const MeshFace& F = m->faces[f];
            bool touches = false;
            for (const int v : F.v) touches |= std::fabs(m->vertices[v].position.z) > 1e-6f;
            // Faces round a moved vertex are painted; the others, even those
            // with every corner on the rim, keep the default material.
            for (const pbr& c : F.material) EXPECT_EQ(c == paint, touches) << f;
            moved += touches;
        }
        EXPECT_GT(moved, 0);
        for (int v = 0; v < m->vertexCount(); ++v)
            EXPECT_TRUE(std::fabs(m->vertices[v].position.z) <= 1e-6f ||
                        std::fabs(length(m->vertices[v].position - o) - R) < 1e-5);
    }
}

TEST(MeshSphereSubtract, SmoothsMovedVerticesButNotTheBorder) {
    // The border row (y = -1) and the row above it (y = -0.9) are sharp.
    std::vector<std::pair<int, int>> sharp;
    for (int j = 0; j < 20; ++j) {
        sharp.emplace_back(j, j + 1);
        sharp.emplace_back(21 + j, 22 + j);
    }
    MeshPtr m(grid(20, sharp));
    m->subSphere(vec3(0, -1, 0), vec3(0, 0, 1), vec3(0.35f, -1, 0), false, paint);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    auto sharpEdge = [&](int a, int b) {
        int f = -1, k = -1;
        EXPECT_TRUE(m->findEdge(a, b, f, k)) << a << " " << b;
        return f >= 0 && m->faces[f].isSharp(k);
    };
    // Border vertices 8..12 (x -0.2..0.2) moved, their border edges sharp;
    // the moved interior vertices 29..33 lost theirs.
    for (int j = 8; j < 12; ++j) {
        EXPECT_LT(m->vertices[j].position.z, -1e-3f);
        EXPECT_TRUE(sharpEdge(j, j + 1));
        EXPECT_FALSE(sharpEdge(21 + j, 22 + j));
    }
    // Far away the sharp row is untouched.
    EXPECT_TRUE(sharpEdge(21, 22));
}

TEST(MeshSphereCut, NearDegenerateInputStaysFinite) {
    auto finite = [](const Mesh& m) {
        bool ok = true;
        for (int v = 0; v < m.vertexCount(); ++v) ok &= std::isfinite(length(m.vertices[v].position));
        return ok;
    };
    // A vertex inside by the float radius but beyond the sphere in double:
    // the crossing points' radicand is negative along the tangent edge.
    // s * s rounds up in float by at least a quarter of its last place.
    float s = 0.3f;
    for (int i = 0; i < 10000; ++i, s = std::nextafter(s, 1.0f)) {
        const float s2 = s * s;
        if (double(s2) - double(s) * s > 0.25 * (double(std::nextafter(s2, 1.0f)) - s2)) break;
    }
    const double r2 = double(s) * s, f2 = double(s * s);
    vec3 inside(0, 0, 0);
    bool found = false;
    for (int i = -200; i <= 200 && !found; ++i)
        for (int j = -200; j <= 200 && !found; ++j) {
            const float x = 0.55f * s + float(i) * 1.5e-8f, y = 0.8351647f * s + float(j) * 1.5e-8f;
            const double q = double(x) * x + double(y) * y;
            if (q > r2 && q < f2) {
                inside = vec3(x, y, 0);
                found = true;
            }
        }
    ASSERT_TRUE(found);
    const vec3 out = inside * 2.0f, tangent(-inside.y * 2.0f, inside.x * 2.0f, 0);
    MeshPtr m(meshtest::fromTriangles({inside, inside + out, inside + tangent}, {{0, 1, 2}}));
    m->cutSphere(vec3(0, 0, 0), vec3(s, 0, 0));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_GT(m->vertexCount(), 3);
    EXPECT_TRUE(finite(*m));

    // A face of no area (its corners on one line) crossed by the sphere,
    // beside an ordinary one.
    MeshPtr z(meshtest::fromTriangles({{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {1.5f, 1, 0}}, {{0, 1, 3}, {1, 0, 2}}));
    z->cutSphere(vec3(2.5f, 0, 0), vec3(2.5f, 0.7f, 0));
    ASSERT_EQ(checkMeshInvariants(*z), "");
    EXPECT_GT(z->vertexCount(), 4);
    EXPECT_TRUE(finite(*z));
    const pbr plain;
    for (int f = 0; f < z->faceCount(); ++f)
        for (const pbr& c : z->faces[f].material)
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.colour[i], plain.colour[i], 1) << f;
}

}  // namespace
