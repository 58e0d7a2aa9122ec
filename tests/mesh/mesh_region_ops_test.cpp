// Region strokes: divide, split and bevel as the first step, then extrude,
// scale and inflate steps; the invariant check follows every operation.

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

const vec3 cubeCentre(0.5f, 0.5f, 0.5f);
const vec3 top(0.5f, 0.5f, 1.0f);  // the middle of the cube's top side (faces 2-3)

// Sound, closed, and nothing left selected or marked.
void expectClosedAndClean(const Mesh& m) {
    EXPECT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(m.selectedVertices.empty() && m.selectedFaces.empty() && m.influences.empty());
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        EXPECT_FALSE(F.flags & (MeshFace::MarkBit | MeshFace::SelectedBit)) << f;
        for (int e = 0; e < 3; ++e) EXPECT_GE(F.f[e], 0) << f;
    }
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_FALSE(m.vertices[v].isSelected()) << v;
}

// Every corner of the cube's twelve original faces lies `offset` out from
// the centre along its face's normal.
void expectSidesAt(const Mesh& m, float offset) {
    for (int f = 0; f < 12; ++f)
        for (const int v : m.faces[f].v)
            EXPECT_NEAR(dot(m.vertices[v].position - cubeCentre, m.faces[f].normal), offset, 1e-5) << f;
}

}  // namespace

TEST(MeshRegionOps, SplitThenExtrudeMovesEverySideButNotTheWalls) {
    MeshPtr m(Mesh::Cube()), before(Mesh::Cube());
    m->splitA_(pbr(), true);
    EXPECT_EQ(m->recordedFaceCount, 12);
    expectClosedAndClean(*m);
    m->extrudeA_(top, top + vec3(0.1f, 0, 0.25f), 2);
    expectSidesAt(*m, 0.75f);
    // The original corner vertices are left to the walls alone.
    for (int v = 0; v < 8; ++v) EXPECT_EQ(m->vertices[v].position, before->vertices[v].position);
    expectClosedAndClean(*m);

    // A count left by an earlier stroke on a larger mesh indexes nothing
    // past the face list.
    m->recordedFaceCount = 100000;
    m->extrudeA_(top, top + vec3(0, 0, 0.25f), 2);
    for (int f = 12; f < m->faceCount(); ++f) EXPECT_FALSE(m->faces[f].flags & MeshFace::MarkBit);
    expectClosedAndClean(*m);
}

TEST(MeshRegionOps, ScaleAScalesEveryPatchAboutItsOwnCentre) {
    MeshPtr m(Mesh::Cube());
    m->divideA_();
    EXPECT_EQ(m->vertexCount(), 24);
    // Starting at the centre of the picked side: skipped, nothing moves.
    MeshPtr still(new Mesh(*m));
    m->scaleA_(top, top + vec3(1, 0, 0), 2);
    for (int v = 0; v < 24; ++v) EXPECT_EQ(m->vertices[v].position, still->vertices[v].position) << v;
    m->scaleA_(top + vec3(0.5f, 0, 0), top + vec3(1, 0, 0), 2);  // factor 2
    expectSidesAt(*m, 0.5f);
    for (int f = 0; f < 12; ++f)
        for (const int v : m->faces[f].v) {
            const vec3 q = m->vertices[v].position - cubeCentre - m->faces[f].normal * 0.5f;
            EXPECT_NEAR(length(q), std::sqrt(2.0), 1e-5) << f;
        }
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(m->selectedVertices.empty() && m->influences.empty());
}

TEST(MeshRegionOps, SplitOfAnOpenSheetGivesItABackSide) {
    MeshPtr m(meshtest::makeQuad());
    int face = -1;
    const vec3 p(0.7f, 0.3f, 0.0f);
    m->splitF_(p, face, pbr(), true);
    EXPECT_EQ(face, 0);
    m->extrudeF_(p, p + vec3(0, 0, 1), face);
    EXPECT_EQ(m->faceCount(), 12);  // front, back and four walls
    for (int v = 0; v < m->vertexCount(); ++v) {
        const float z = m->vertices[v].position.z;
        EXPECT_TRUE(z == 0.0f || z == 1.0f) << v;
    }
    expectClosedAndClean(*m);

    // Bounded partly by a sharp edge: split without a back side (two walls
    // per new vertex).
    MeshPtr strip(meshtest::makeStrip(true));
    face = 0;
    strip->splitF_(vec3(), face, pbr(), true);
    EXPECT_GT(strip->vertexCount(), 5);
    EXPECT_EQ(strip->faceCount() - 3, 2 * (strip->vertexCount() - 5));
    EXPECT_EQ(checkMeshInvariants(*strip), "");
}

TEST(MeshRegionOps, DivideTearsOnlyRimVerticesInReach) {
    MeshPtr m(Mesh::Cube());
    m->divideG_(top, 0.1f, 2);  // reaches no corner
    EXPECT_EQ(m->vertexCount(), 8);
    m->divideF_(top, 2);
    EXPECT_EQ(m->vertexCount(), 12);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    m->deformG_(vec3(1, 1, 1), vec3(1, 1, 1.5f), 0.5f, 2);
    int lifted = 0;
    for (int v = 0; v < m->vertexCount(); ++v) lifted += m->vertices[v].position.z > 1.25f;
    EXPECT_EQ(lifted, 1);  // the top's own copy of the corner only
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

TEST(MeshRegionOps, InflateRepeatsOnTheSameSelection) {
    MeshPtr m(Mesh::Cube());
    int face = 2;
    m->selectF_(vec3(), true, face);
    m->inflateF_(top, top + vec3(0, 0, 0.1f), face);
    m->inflateF_(top, top + vec3(0, 0, 0.2f), face);
    EXPECT_EQ(m->selectedFaces.size(), 2u);
    for (const int v : m->faces[2].v) EXPECT_NEAR(m->vertices[v].position.z, 1.3f, 1e-6) << v;
    m->deselectAll();
    EXPECT_EQ(checkMeshInvariants(*m, meshtest::CheckOrientation | meshtest::CheckSingleFan), "");
}

TEST(MeshRegionOps, BevelBridgesEveryEdgeAndCorner) {
    pbr paint;
    paint.colour = wvec4(100, 200, 300, 65535);
    MeshPtr m(Mesh::Cube());
    m->bevelA_(paint, false);
    EXPECT_EQ(m->faceCount(), 12 + 12 * 2 + 8);
    expectClosedAndClean(*m);
    m->extrudeA_(top, top + vec3(0, 0, 0.1f), 2);
    m->extrudeA_(top, top + vec3(0, 0, 0.1f), 2);
    expectSidesAt(*m, 0.7f);
    expectClosedAndClean(*m);
    for (int f = 12; f < m->faceCount(); ++f) {
        std::vector<vec3> t;
        m->triangle(f, t);
        EXPECT_GT(length(cross(t[1] - t[0], t[2] - t[0])), 1e-3) << f;
        EXPECT_EQ(m->faces[f].material[1].colour, paint.colour) << f;
    }

    // A closed sharp loop without corners: three strips meeting end to end.
    MeshPtr loop(meshtest::makeTetra(false, true));
    loop->bevelA_(paint, false);
    EXPECT_EQ(loop->faceCount(), 4 + 3 * 2);
    loop->extrudeA_(vec3(), vec3(1, 1, 1), 2);
    expectClosedAndClean(*loop);
}
