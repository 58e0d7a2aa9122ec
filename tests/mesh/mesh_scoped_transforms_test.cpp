// Scoped transforms of one stroke step (move, scale, turn), the feature
// eraser and pattern replacement, each followed by the invariant check.

#include <gtest/gtest.h>

#include <array>
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

bool near(const vec3& a, const vec3& b) { return length(a - b) < 1e-5; }

// A grid of 5 x 5 vertices in z = 0 (vertex 5y + x), with a sharp line along
// y = 2 from the border at x = 0 to the inner vertex at x = 3.
MeshPtr gridWithCrease() {
    std::vector<vec3> points;
    std::vector<std::array<int, 3>> tris;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            points.push_back(vec3(float(x), float(y), 0));
            const int v = 5 * y + x;
            if (x < 4 && y < 4) tris.insert(tris.end(), {{v, v + 1, v + 6}, {v, v + 6, v + 5}});
        }
    return MeshPtr(meshtest::fromTriangles(points, tris, {{10, 11}, {11, 12}, {12, 13}}));
}

}  // namespace

// Two cubes on top of each other: faces 0-1 are the bottom patch of the
// first, faces 0-11 its component.
TEST(MeshScopedTransforms, DeformMovesExactlyThePatchOrTheComponent) {
    MeshPtr m(Mesh::Cube()), second(Mesh::Cube());
    m->append(second.get());
    const vec3 from(0.5f, 0.5f, 0.0f), up(0, 0, 0.25f);
    m->deformF_(from, from + up, 0);
    m->deformF(from, from + up, 0);
    for (int v = 0; v < 16; ++v) {
        const float z = at(*second, v % 8).z;
        EXPECT_EQ(at(*m, v).z, v >= 8 ? z : z == 0 ? 0.5f : 1.25f) << v;
    }
    EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

TEST(MeshScopedTransforms, ScaleSkipsRefusedStepsAndScalesAFlatPartInItsPlane) {
    const vec3 c(0.5f, 0.5f, 0.5f), x(1, 0, 0);
    MeshPtr m(Mesh::Cube()), before(Mesh::Cube());
    m->scale(c, c + x, -1, Sculptor::SelectElement, true);              // from the centre: no ratio
    m->scale(c + x, c + x * 3.0f, -1, Sculptor::SelectElement, false);  // ratio 3
    m->scale(c + x, c + x * 1.5f, -1, Sculptor::SelectElement, false);  // ratio 1.5 along x
    for (int v = 0; v < 8; ++v) {
        const vec3 p = at(*before, v);
        EXPECT_TRUE(near(at(*m, v), vec3(1.5f * p.x - 0.25f, p.y, p.z))) << v;
    }
    EXPECT_EQ(checkMeshInvariants(*m), "");

    // A triangle across the diagonal, its normal oblique: the middle of its
    // box lies off its plane x + y + z = 1, its centroid on it.
    MeshPtr t(meshtest::fromTriangles({vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)}, {{0, 1, 2}}));
    t->scale(vec3(1, 0, 0), vec3(2, 0, 0), 0, Sculptor::SelectPatch, true);
    for (int v = 0; v < 3; ++v) EXPECT_NEAR(at(*t, v).x + at(*t, v).y + at(*t, v).z, 1.0f, 1e-5f) << v;
    EXPECT_TRUE(near(at(*t, 0) + at(*t, 1) + at(*t, 2), vec3(1, 1, 1)) && at(*t, 0).x > 1.5f);
}

// From (1, 0, 0) to (0, 2, 0) seen from the centre is a quarter turn about
// z; about the diagonal the same pair gives a third of a turn, which keeps
// the corners on the diagonal and takes the cube onto itself.
TEST(MeshScopedTransforms, RotateTurnsAboutTheCentreOrTheAxisThroughIt) {
    const vec3 c(0.5f, 0.5f, 0.5f);
    MeshPtr before(Mesh::Cube()), quarter(Mesh::Cube()), third(Mesh::Cube());
    quarter->rotate(c + vec3(1, 0, 0), c + vec3(0, 2, 0), -1, Sculptor::SelectComponent, vec3(0, 0, 0));
    third->rotate(c + vec3(1, 0, 0), c + vec3(0, 2, 0), -1, Sculptor::SelectElement, vec3(1, 1, 1));
    for (int v = 0; v < 8; ++v) {
        const vec3 p = at(*before, v);
        EXPECT_TRUE(near(at(*quarter, v), vec3(1 - p.y, p.x, p.z))) << v;
        EXPECT_TRUE(near(at(*third, v), vec3(p.z, p.x, p.y))) << v;
    }
    EXPECT_EQ(checkMeshInvariants(*third), "");
}

TEST(MeshFeatureEraser, ClearsALoopWholeAndALineBetweenItsEnds) {
    MeshPtr loop(meshtest::makeTetra(false, true));
    EXPECT_TRUE(loop->select_(vec3(0.5f, 0.5f, 0), true, 0));
    EXPECT_EQ(meshtest::sharpEdgeCount(*loop), 0);
    EXPECT_EQ(checkMeshInvariants(*loop), "");

    // The cube's edge from (0,0,0) to (1,0,0), split at its middle: both
    // halves go, its ends stay sharp corners, the other edges sharp.
    MeshPtr cube(Mesh::Cube());
    cube->subdivide(false);
    const int sharp = meshtest::sharpEdgeCount(*cube);
    EXPECT_TRUE(cube->select_(vec3(0.25f, 0, 0), true, -1));
    EXPECT_EQ(meshtest::sharpEdgeCount(*cube), sharp - 2);
    for (int v = 0; v < cube->vertexCount(); ++v)
        if (at(*cube, v).y == 0 && at(*cube, v).z == 0) {
            EXPECT_EQ(cube->vertices[v].isSharp(), at(*cube, v).x != 0.5f) << v;
        }
    EXPECT_EQ(checkMeshInvariants(*cube), "");

    // A crease ending inside the surface is cleared to that end too.
    for (const float x : {1.5f, 2.5f}) {
        MeshPtr grid = gridWithCrease();
        EXPECT_TRUE(grid->select_(vec3(x, 2, 0), true, -1));
        EXPECT_EQ(meshtest::sharpEdgeCount(*grid), 0) << x;
        EXPECT_EQ(checkMeshInvariants(*grid), "");
    }
}

// Marks written on one side of an edge only (as a hand-built mesh may carry
// them before its rebuild) send the walk from the loop round a cycle that
// has no corner and never comes back to its start: the walk still ends.
TEST(MeshFeatureEraser, WalkEndsOnAHandBuiltLineWithoutCorners) {
    MeshPtr m(meshtest::makeTetra(false, true));
    m->faces[1].setSharp(1, true);
    m->faces[1].setSharp(2, true);
    EXPECT_TRUE(m->select_(vec3(0.5f, 0.5f, 0), true, 0));
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

TEST(MeshReplaceFace, CornersOnlyPanelReproducesTheMesh) {
    MeshPtr m(Mesh::Cube()), before(Mesh::Cube()), panel(Mesh::Triangle());
    m->replaceFaces(panel.get());
    ASSERT_TRUE(m->vertexCount() == 8 && m->faceCount() == 12);
    for (int v = 0; v < 8; ++v) EXPECT_EQ(at(*m, v), at(*before, v));
    EXPECT_TRUE(meshtest::isClosed(*m) && std::abs(meshtest::enclosedVolume(*m) - 1.0) < 1e-6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

// The frame pattern (three points and seven faces per panel) on every face
// of the closed cube, one at a time, then the whole action on the cube and
// on an open quad, whose border stays open.
TEST(MeshReplaceFace, PatternOnAClosedCubeLinksEveryNewFace) {
    MeshPtr m(Mesh::Cube()), panel(Mesh::TrianglePattern1(0.7f, false));
    for (int f = 0; f < 12; ++f) {
        m->replaceFace(f, panel.get());
        ASSERT_EQ(checkMeshInvariants(*m), "") << f;
    }
    m->removeInactive(false);
    EXPECT_TRUE(m->vertexCount() == 8 + 12 * 3 && m->faceCount() == 12 * 7 && meshtest::isClosed(*m));
    EXPECT_NEAR(meshtest::enclosedVolume(*m), 1.0, 1e-5);
    EXPECT_EQ(checkMeshInvariants(*m), "");

    MeshPtr whole(Mesh::Cube()), quad(meshtest::makeQuad());
    whole->replaceFaces(panel.get());
    quad->replaceFaces(panel.get());
    EXPECT_TRUE(whole->faceCount() == 84 && meshtest::isClosed(*whole) && whole->centre == vec3(0.5f, 0.5f, 0.5f));
    EXPECT_TRUE(quad->faceCount() == 14 && meshtest::openEdgeCount(*quad) == 4);
    EXPECT_EQ(checkMeshInvariants(*whole), "");
    EXPECT_EQ(checkMeshInvariants(*quad), "");
}

// A tent panel (its apex at height h over the reference triangle's centre)
// on face 0 of the unit quad and of the quad twice its size: the apex rises
// h times the distance from the centroid to the corners, so twice as high
// on the larger face; the face's open border edges stay open.
TEST(MeshReplaceFace, PanelHeightsScaleWithTheFaceAndOpenEdgesStayOpen) {
    const float h = 0.25f, s3 = 0.8660254f;
    MeshPtr panel(meshtest::fromTriangles({{0, 1, 0}, {-s3, -0.5f, 0}, {s3, -0.5f, 0}, {0, 0, h}},
                                          {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}}));
    float apex[2] = {0, 0};
    for (const float scale : {1.0f, 2.0f}) {
        MeshPtr m(meshtest::makeQuad());
        for (int v = 0; v < 4; ++v) m->vertices[v].position *= scale;
        const vec3 A = at(*m, 0), G = (A + at(*m, 1) + at(*m, 2)) / 3.0f;
        m->replaceFace(0, panel.get());
        ASSERT_EQ(checkMeshInvariants(*m), "");
        const vec3 top = at(*m, 4 + 3);
        EXPECT_TRUE(near(top, G + vec3(0, 0, h * float(length(A - G)))));
        apex[scale == 1.0f ? 0 : 1] = top.z;
        m->removeInactive(false);
        EXPECT_EQ(checkMeshInvariants(*m), "");
        EXPECT_TRUE(m->faceCount() == 4 && meshtest::openEdgeCount(*m) == 4);
    }
    EXPECT_NEAR(apex[1], 2.0f * apex[0], 1e-6);
}
