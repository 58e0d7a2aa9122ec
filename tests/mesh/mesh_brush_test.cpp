// Brush selections of the mesh and the operators on the current selection,
// each displacement applied and the mesh checked afterwards.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

void expectNear(const vec3& a, const vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

// Applies the displacements, ends the selection and checks the mesh.
void applyAndEnd(Mesh& m) {
    m.applyDisplacement();
    m.deselectAll();
    EXPECT_EQ(checkMeshInvariants(m), "");
}

}  // namespace

// The unit quad 0 (0,0) 1 (1,0) 2 (1,1) 3 (0,1), faces (0,1,2) and (0,2,3),
// under a unit brush at vertex 0: 1 and 3 lie exactly on the sphere, 2
// outside it.
TEST(MeshBrushSelect, RimVerticesAreInOnlyForTheWalksAndOutsideOnesKeepTheirFaces) {
    MeshPtr m(meshtest::makeQuad());
    m->selectV(vec3(0, 0, 0), 1.0f, true);
    ASSERT_EQ(m->influences.size(), 1u);
    EXPECT_EQ(m->selectedFaces.size(), 0u);

    // The patch walk, its face picked from the centre.
    m->selectVG_(vec3(0, 0, 0), 1.0f, true, -1);
    EXPECT_EQ(m->sectorInfluences.size(), 3u);
    EXPECT_EQ(m->selectedFaces.size(), 2u);
    // A face that is not there, or none to pick, leaves the lists as they were.
    m->selectVG(vec3(0, 0, 0), 1.0f, true, 5);
    EXPECT_EQ(m->sectorInfluences.size(), 3u);
    Mesh loose;
    loose.vertexAdd(vec3(0, 0, 0));
    loose.selectV(vec3(0, 0, 0), 1.0f, true);
    loose.selectVG(vec3(0, 0, 0), 1.0f, true, -1);
    loose.selectVG_(vec3(0, 0, 0), 1.0f, true, -1);
    EXPECT_EQ(loose.influences.size(), 1u);
    EXPECT_EQ(loose.selectedVertices.size(), 1u);

    m->selectVG(vec3(0, 0, 0), 1.0f, true, 0);
    ASSERT_EQ(m->influences.size(), 3u);
    for (const MeshInfluence& r : m->influences) {
        EXPECT_EQ(r.t, r.vertex == 0 ? 0.0f : 1.0f) << r.vertex;
        EXPECT_EQ(m->selectedVertices[std::size_t(m->vertices[r.vertex].selection)], r.vertex);
    }
    EXPECT_FALSE(m->vertices[2].isSelected());
    EXPECT_EQ(m->selectedFaces.size(), 2u);
    // On the rim the weight is 0: only the centre moves.
    m->_deform(vec3(0, 0, 1));
    applyAndEnd(*m);
    EXPECT_EQ(at(*m, 0), vec3(0, 0, 1));
    EXPECT_EQ(at(*m, 1), vec3(1, 0, 0));
}

// Six faces round vertex 0 with the spoke 0-1 sharp: a crease from the rim
// ending at the centre. The patch reaches vertex 1 from both sides of the
// crease; a deform of the patch still moves it like its smooth neighbours.
TEST(MeshBrushSelect, CreaseEndingInsideThePatchChainsTwoSectorsThatMoveOnce) {
    MeshPtr m(meshtest::makeHexagon({1}));
    m->selectVG_(vec3(0, 0, 0), 2.0f, true, 0);
    ASSERT_EQ(m->selectedFaces.size(), 6u);
    const auto chain = [&](int v) {
        int n = 0;
        for (int k = m->sectorHeads[std::size_t(m->vertices[v].selection)]; k >= 0; k = m->sectorInfluences[k].next) {
            EXPECT_EQ(m->sectorInfluences[k].vertex, v);
            ++n;
        }
        return n;
    };
    EXPECT_EQ(chain(1), 2);
    EXPECT_EQ(chain(0), 1);
    EXPECT_EQ(chain(2), 1);
    m->_deformG(vec3(0, 0, 1));
    applyAndEnd(*m);
    // Rim at t = 0.5: weight 0.5.
    EXPECT_EQ(at(*m, 0).z, 1.0f);
    EXPECT_EQ(at(*m, 1).z, 0.5f);
    EXPECT_EQ(at(*m, 2).z, 0.5f);
}

// One vertex of a sphere moved: its margin brings in every face round it, so
// the refreshed normals equal a full recomputation.
TEST(MeshBrushSelect, MarginRefreshesEveryNormalAMovedVertexTouches) {
    MeshPtr m(meshtest::smoothSphere(1));
    m->selectV(at(*m, 0), 0.1f, true);
    ASSERT_EQ(m->selectedVertices.size(), 1u);
    m->_move(at(*m, 0) * 0.3f);
    m->applyDisplacement();
    m->selectMarginal();
    EXPECT_EQ(m->selectedFaces.size(), 5u);
    m->calculateSelectedNormals();
    m->deselectAll();
    Mesh full(*m);
    full.calculateNormals(2);
    for (int f = 0; f < m->faceCount(); ++f) {
        expectNear(m->faces[f].normal, full.faces[f].normal);
        for (int k = 0; k < 3; ++k) expectNear(m->faces[f].normals[k], full.faces[f].normals[k]);
    }
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

// The unit cube scaled by 3 along (1, 0, 1) through its centre: the
// vertices (1, y, 0) and (0, y, 1) lie in the plane through the centre.
TEST(MeshSelectionOps, DirectionalScaleMovesAlongTheDirectionOnly) {
    MeshPtr m(Mesh::Cube());
    const vec3 c(0.5f, 0.5f, 0.5f), d = normalize(vec3(1, 0, 1));
    m->selectAllV();
    m->_scale(c, vec3(1, 0, 1), 3.0f);
    for (int v = 0; v < 8; ++v) expectNear(m->displacements[v], d * float(dot(at(*m, v) - c, d) * 2.0));
    applyAndEnd(*m);
}

// A quarter turn about z minus the identity turns the top of the cube.
TEST(MeshSelectionOps, TransformOfARotationMinusTheIdentityTurnsTheSelection) {
    MeshPtr m(Mesh::Cube());
    MeshPtr before(new Mesh(*m));
    const mat4 r = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(M_PI / 2)));
    mat4 moved = r;
    for (int i = 0; i < 3; ++i) moved.at(i, i) -= 1.0f;
    m->selectV(vec3(0.5f, 0.5f, 1.0f), 0.9f, true);
    ASSERT_EQ(m->selectedVertices.size(), 4u);
    m->_transform(moved);
    applyAndEnd(*m);
    for (int v = 0; v < 8; ++v) {
        const vec3 p = at(*before, v);
        expectNear(at(*m, v), p.z == 1.0f ? r.transformPoint(p) : p);
    }
}
