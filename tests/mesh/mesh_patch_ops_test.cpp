// The patch operators: the inset along the mean normal, the rim scaled
// along the surface, the plane cut limited to a patch, and the removal of
// degenerate faces; the mesh is checked after every operation.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

// The unit cube subdivided once, the middle vertex of its bottom side
// (z = 0, nine vertices) moved to (0.4, 0.5, 0) so that relaxing moves it.
MeshPtr subdividedCube() {
    MeshPtr m(Mesh::Cube());
    m->subdivide(false);
    for (int v = 0; v < m->vertexCount(); ++v)
        if (at(*m, v) == vec3(0.5f, 0.5f, 0)) m->vertices[v].position = vec3(0.4f, 0.5f, 0);
    m->calculateNormals(2);
    return m;
}

const vec3 bottom(0.5f, 0.5f, 0);

// A bottom face holding v.
int bottomFace(const Mesh& m, int v) {
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (F.isActive() && F.corner(v) >= 0 && F.normal.z < -0.99f) return f;
    }
    return -1;
}

// Sound, nothing selected or marked, and every normal as a full
// recomputation gives it.
void expectCleanAndFresh(const Mesh& m) {
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(m.selectedVertices.empty() && m.selectedFaces.empty() && m.influences.empty());
    Mesh fresh(m);
    fresh.calculateNormals(2);
    for (int f = 0; f < m.faceCount(); ++f) {
        EXPECT_FALSE(m.faces[f].flags & (MeshFace::MarkBit | MeshFace::SelectedBit)) << f;
        EXPECT_LT(length(m.faces[f].normal - fresh.faces[f].normal), 1e-5) << f;
        for (int k = 0; k < 3; ++k) EXPECT_LT(length(m.faces[f].normals[k] - fresh.faces[f].normals[k]), 1e-5) << f;
    }
}

}  // namespace

// The bottom side of the subdivided cube: with b = a only the tangent terms
// move (the middle vertex half way to its relaxed position, the sharp ones
// by H = 0 of theirs); with b - a along the mean normal every vertex also
// moves h along its corner normal.
TEST(MeshPatchOps, BevelMovesByTangentsAndAlongTheCornerNormals) {
    for (const float h : {0.0f, 0.1f}) {
        MeshPtr m = subdividedCube();
        std::vector<vec3> expected;
        for (int v = 0; v < m->vertexCount(); ++v) {
            const int g = bottomFace(*m, v);
            if (g < 0) {
                expected.push_back(at(*m, v));
                continue;
            }
            const vec3 q = m->vertexTangent(v, g);
            expected.push_back(at(*m, v) + (m->vertices[v].isSharp() ? q * h : q) + vec3(0, 0, -h));
        }
        m->bevelF_(bottom, bottom + vec3(0, 0, -h), -1);
        expectCleanAndFresh(*m);
        for (int v = 0; v < m->vertexCount(); ++v) EXPECT_LT(length(at(*m, v) - expected[v]), 1e-6) << h << " " << v;
    }
}

// The bottom side's centre O is (0.5, 0.5, 0): |b - O| = 2 |a - O| moves the
// rim vertices (all on sharp edges) by one tangent; a step from O moves
// nothing. No face keeps the mark, also with a recorded face count of 0.
TEST(MeshPatchOps, TangentScalesTheRimAboutThePatchCentre) {
    struct Row {
        vec3 a, b;
        bool moves;
    };
    const Row rows[] = {
        {bottom + vec3(0.2f, 0, 0), bottom + vec3(0.4f, 0, 0), true},
        {bottom, bottom + vec3(0.4f, 0, 0), false},
    };
    for (const Row& row : rows) {
        MeshPtr m = subdividedCube();
        m->recordedFaceCount = 0;
        const Mesh before(*m);
        m->tangentA_(row.a, row.b, -1);
        expectCleanAndFresh(*m);
        int moved = 0;
        for (int v = 0; v < m->vertexCount(); ++v) {
            moved += at(*m, v) != at(before, v);
            const int g = bottomFace(before, v);
            const vec3 move = g >= 0 && row.moves ? before.vertexTangent(v, g) : vec3(0, 0, 0);
            EXPECT_LT(length(at(*m, v) - (at(before, v) + move)), 1e-6) << v;
        }
        EXPECT_EQ(moved, row.moves ? 9 : 0);
    }
    // Faces added after the recorded count keep no mark either.
    MeshPtr m = subdividedCube();
    m->recordedFaceCount = 4;
    m->tangentA_(bottom + vec3(0.2f, 0, 0), bottom + vec3(0.3f, 0, 0), -1);
    expectCleanAndFresh(*m);
}

// A plane across the middle of the cube's bottom side cuts that side only:
// every new vertex lies on the plane within it and the cut is a crease. A
// plane missing the patch only recomputes the normals.
TEST(MeshPatchOps, CutPlaneOfAPatchCutsThePatchAndCreasesTheCut) {
    MeshPtr m(Mesh::Cube());
    m->cutPlaneF_(bottom, vec3(1, 0, 0), -1);
    expectCleanAndFresh(*m);
    ASSERT_EQ(m->vertexCount(), 11);  // both bottom edges across x and the diagonal
    for (int v = 8; v < 11; ++v) {
        EXPECT_TRUE(at(*m, v).x == 0.5f && at(*m, v).z == 0.0f) << v;
        EXPECT_TRUE(m->vertices[v].isSharp()) << v;
    }
    int creased = 0;
    for (int a = 8; a < 11; ++a)
        for (int b = a + 1; b < 11; ++b) creased += meshtest::edgeMark(*m, a, b) == 1;
    EXPECT_EQ(creased, 2);

    MeshPtr missed(Mesh::Cube());
    missed->faces[0].normal = vec3(1, 2, 3);
    missed->cutPlaneF_(vec3(2, 0, 0), vec3(1, 0, 0), 0);
    EXPECT_EQ(missed->vertexCount(), 8);
    expectCleanAndFresh(*missed);
}

// A face with two coincident corners goes, even when its third corner lies
// elsewhere; the mesh is compacted.
TEST(MeshPatchOps, CleanupRemovesFacesWithCoincidentCorners) {
    MeshPtr m(meshtest::fromTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 0, 0}, {2, 1, 0}},
                                      {{0, 1, 2}, {1, 3, 2}, {3, 4, 2}}));
    ASSERT_EQ(m->faceCount(), 3);
    m->cleanup();
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 2);
    EXPECT_EQ(meshtest::activeFaceCount(*m), 2);
    EXPECT_EQ(meshtest::activeVertexCount(*m), m->vertexCount());
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_NE(at(*m, m->faces[f].v[(k + 1) % 3]), at(*m, m->faces[f].v[(k + 2) % 3])) << f;

    MeshPtr cube(Mesh::Cube());
    cube->cleanup();
    EXPECT_EQ(cube->faceCount(), 12);
    EXPECT_EQ(checkMeshInvariants(*cube), "");
}
