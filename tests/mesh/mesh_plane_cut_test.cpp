// Plane cut, clip and subtract; the invariant check follows every operation.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

const vec3 up(0, 0, 1);

// Sharp edges joining two vertices at or above `first`.
int sharpEdgesFrom(const Mesh& m, int first) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            if (F.isActive() && F.isSharp(k) && F.v[(k + 1) % 3] >= first && F.v[(k + 2) % 3] >= first) ++n;
        }
    return n / 2;
}

bool closed(const Mesh& m) {
    for (int f = 0; f < m.faceCount(); ++f)
        for (const int g : m.faces[f].f)
            if (g < 0) return false;
    return m.faceCount() > 0;
}

// Two meshes side by side: the second moved by `shift`.
Mesh* pair(Mesh* a, const vec3& shift) {
    MeshPtr b(a->clone());
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position += shift;
    a->append(b.get());
    return a;
}

TEST(MeshPlaneCut, CubeMiddleSplitsCrossingEdgesAndCreasesTheLine) {
    MeshPtr m(Mesh::Cube());
    m->cutPlane(vec3(0.5f, 0.5f, 0.5f), up * 3.0f);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    // Four vertical edges and four side diagonals cross.
    ASSERT_EQ(m->vertexCount(), 16);
    for (int v = 8; v < 16; ++v) {
        const MeshVertex& r = m->vertices[v];
        EXPECT_NEAR(r.position.z, 0.5f, 1e-6);
        EXPECT_TRUE(r.isSharp());
        // Vertical edges are sharp on the cube: their new vertices are corners.
        const bool onVertical = std::fabs(r.position.x - 0.5f) > 0.49f && std::fabs(r.position.y - 0.5f) > 0.49f;
        EXPECT_EQ(r.isCorner(), onVertical) << v;
    }
    EXPECT_EQ(sharpEdgesFrom(*m, 8), 8);
    EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
}

TEST(MeshPlaneCut, VerticesOnThePlaneAreNotSplit) {
    // The plane x + y = 1 holds four cube vertices; only edges from (0,0)
    // to (1,1) cross it, and no new vertex may fall on an old one.
    MeshPtr m(Mesh::Cube());
    m->cutPlane(vec3(0.5f, 0.5f, 0), vec3(1, 1, 0));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    ASSERT_GT(m->vertexCount(), 8);
    for (int v = 8; v < m->vertexCount(); ++v) {
        const vec3 p = m->vertices[v].position;
        EXPECT_NEAR(p.x + p.y, 1.0f, 1e-6);
        for (int o = 0; o < 8; ++o) EXPECT_GT(length(p - m->vertices[o].position), 0.1f) << v;
    }
}

TEST(MeshPlaneCut, ComponentScopeCutsOnlyThePickedComponent) {
    MeshPtr m(pair(Mesh::Cube(), vec3(3, 0, 0)));
    m->cutPlaneF(vec3(0.5f, 0.5f, 0.5f), up, 0);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    ASSERT_EQ(m->vertexCount(), 16 + 8);
    for (int v = 16; v < m->vertexCount(); ++v) EXPECT_LT(m->vertices[v].position.x, 2.0f);
    EXPECT_EQ(sharpEdgesFrom(*m, 16), 8);
}

TEST(MeshPlaneCut, BandFollowsOneLoopAndStopsAtSharpEdges) {
    // Two spheres crossed by one plane: only the picked one is cut, all round.
    MeshPtr m(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    const int n = m->vertexCount();
    m->cutPlaneG_(vec3(1.97f, 0, 0.3f), up, -1);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    ASSERT_GT(m->vertexCount(), n);
    for (int v = n; v < m->vertexCount(); ++v) EXPECT_LT(m->vertices[v].position.x, 2.5f);
    EXPECT_EQ(sharpEdgesFrom(*m, n), m->vertexCount() - n);  // a closed line

    // On the cube the band of a side stops at its sharp vertical edges: the
    // two edges and the side's diagonal are split.
    MeshPtr c(Mesh::Cube());
    c->cutPlaneG_(vec3(0.5f, 0.5f, 0.5f), up, 4);
    ASSERT_EQ(checkMeshInvariants(*c), "");
    EXPECT_EQ(c->vertexCount(), 11);
    EXPECT_EQ(sharpEdgesFrom(*c, 8), 2);
}

TEST(MeshPlaneClip, LeavesTheNegativeSideOpenAlongTheCreasedLine) {
    MeshPtr m(meshtest::smoothSphere(2));
    m->clipPlane(vec3(0, 0, 0.3f), up);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    int open = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m->faces[f];
            for (const int v : F.v) EXPECT_LE(m->vertices[v].position.z, 0.3f + 1e-5f);
            if (F.f[k] >= 0) continue;
            ++open;
            EXPECT_TRUE(F.isSharp(k));
            EXPECT_NEAR(m->vertices[F.v[(k + 1) % 3]].position.z, 0.3f, 1e-5);
        }
    EXPECT_GT(open, 0);

    m->clipPlane(vec3(0, 0, -10), up);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 0);
    EXPECT_EQ(m->vertexCount(), 0);
}

// Closed, with every cap face (plane normal, material) joined by sharp edges.
void expectCapped(const Mesh& m, const vec3& normal, const pbr& paint, int capsExpected) {
    ASSERT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(closed(m));
    int caps = 0, joins = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (F.material[0].roughness != paint.roughness) continue;
        ++caps;
        EXPECT_NEAR(dot(F.normal, normal), 1.0f, 1e-5);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(F.material[k].colour.g, paint.colour.g);
            EXPECT_NEAR(dot(F.normals[k], normal), 1.0f, 1e-5);
            if (m.faces[F.f[k]].material[0].roughness != paint.roughness) {
                ++joins;
                EXPECT_TRUE(F.isSharp(k));
            }
        }
    }
    EXPECT_GE(caps, capsExpected);
    EXPECT_GE(joins, 3 * capsExpected);
}

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(0, 0, 0, 65535), 1234, 0);

TEST(MeshPlaneSubtract, ClosesTheClippedHoleWithAFlatCap) {
    MeshPtr m(meshtest::smoothSphere(2));
    m->subPlane(vec3(0, 0, 0.3f), up * 2.0f, paint);
    expectCapped(*m, up, paint, 1);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_LE(m->vertices[v].position.z, 0.3f + 1e-5f);
}

TEST(MeshPlaneSubtract, PlaneThroughExistingVerticesIsCapped) {
    MeshPtr m(Mesh::Cube());
    m->cutPlane(vec3(0, 0, 0.5f), up);
    m->subPlane(vec3(0, 0, 0.5f), up, paint);
    expectCapped(*m, up, paint, 1);
    EXPECT_EQ(m->vertexCount(), 12);
}

TEST(MeshPlaneSubtract, EveryLoopIsCapped) {
    MeshPtr m(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    m->subPlane(vec3(0, 0, -0.5f), up, paint);
    expectCapped(*m, up, paint, 2);
    int right = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        if (m->faces[f].material[0].roughness == paint.roughness && m->vertices[m->faces[f].v[0]].position.x > 2.5f)
            ++right;
    EXPECT_GT(right, 0);
}

TEST(MeshPlaneSubtract, LoopsThatCannotBeCappedStayOpen) {
    // An open bowl cut across its rim: the loop leaves the plane.
    MeshPtr m(meshtest::smoothSphere(2));
    m->clipPlane(vec3(0, 0, 0), up);
    const int before = m->faceCount();
    m->subPlane(vec3(0.5f, 0, 0), vec3(1, 0, 1), paint);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_LT(m->faceCount(), before);
    for (int f = 0; f < m->faceCount(); ++f) EXPECT_NE(m->faces[f].material[0].roughness, paint.roughness);

    // A closed two-sided square (each side with its own diagonal): its cut
    // loop is a line with no area.
    MeshPtr s(meshtest::fromTriangles({{0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {2, 0, 2}},
                                      {{0, 1, 3}, {0, 3, 2}, {1, 0, 2}, {1, 2, 3}}));
    ASSERT_EQ(checkMeshInvariants(*s), "");
    s->subPlane(vec3(0, 0, 1), up, paint);
    ASSERT_EQ(checkMeshInvariants(*s), "");
    EXPECT_GT(s->faceCount(), 0);
    for (int f = 0; f < s->faceCount(); ++f) EXPECT_NE(s->faces[f].material[0].roughness, paint.roughness);
}

}  // namespace
