// Sphere cut, clip, subtract and add; the invariant check follows every
// operation.

#include <gtest/gtest.h>

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

// The new vertices lying on the sphere, and the sharp edges joining two of
// them (each counted once).
std::pair<int, int> curve(const Mesh& m, int first, const vec3& c, float r) {
    std::vector<char> on(m.vertexCount(), 0);
    int n = 0;
    for (int v = first; v < m.vertexCount(); ++v)
        if (std::fabs(float(length(m.vertices[v].position - c)) - r) < 1e-4f * r) on[v] = 1, ++n;
    int e = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            if (F.isActive() && F.isSharp(k) && on[F.v[(k + 1) % 3]] && on[F.v[(k + 2) % 3]]) ++e;
        }
    return {n, e / 2};
}

TEST(MeshSphereCut, CutOfASphereIsAClosedCreasedLoop) {
    MeshPtr m(meshtest::smoothSphere(3));
    const int nv = m->vertexCount();
    const vec3 c(0.3f, 0.2f, 2.0f);
    m->cutSphere(c, vec3(0.3f, 0.2f, 1.2f));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(closed(*m));
    const auto [n, e] = curve(*m, nv, c, 0.8f);
    EXPECT_GT(n, 10);
    EXPECT_EQ(n, e);
    EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
}

}  // namespace

namespace {
TEST(MeshSphereCut, SmokeAllForms) {
    const vec3 c(0.3f, 0.2f, 2.0f), s(0.3f, 0.2f, 1.2f);
    MeshPtr a(meshtest::smoothSphere(3));
    a->cutSphereF(c, s, 0, true);
    EXPECT_EQ(checkMeshInvariants(*a), "");
    MeshPtr b(meshtest::smoothSphere(3));
    b->clipSphere(c, s);
    EXPECT_EQ(checkMeshInvariants(*b), "");
    MeshPtr d(meshtest::smoothSphere(3));
    d->clipSphereF(c, s, -1, false);
    EXPECT_EQ(checkMeshInvariants(*d), "");
    MeshPtr e(meshtest::smoothSphere(3));
    e->subSphere(vec3(0, 0, 2), vec3(0, 0, 1), vec3(0.5f, 0, 1.9f), true, pbr());
    EXPECT_EQ(checkMeshInvariants(*e), "");
    EXPECT_TRUE(closed(*e));
}
}  // namespace
