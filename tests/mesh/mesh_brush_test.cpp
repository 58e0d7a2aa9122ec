// Brush selections of the mesh and the operators on the current selection,
// each displacement applied and the mesh checked afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

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
    EXPECT_EQ(m->influences.size(), 1u);
    // The patch walk picks its face from the centre.
    m->selectVG_(vec3(0, 0, 0), 1.0f, true, -1);
    EXPECT_EQ(m->sectorInfluences.size(), 3u);
    m->selectVG(vec3(0, 0, 0), 1.0f, true, 0);
    ASSERT_EQ(m->influences.size(), 3u);
    for (const MeshInfluence& r : m->influences) EXPECT_EQ(r.t, r.vertex == 0 ? 0.0f : 1.0f) << r.vertex;
    EXPECT_TRUE(!m->vertices[2].isSelected() && m->selectedFaces.size() == 2);
    // On the rim the weight is 0: only the centre moves.
    m->_deform(vec3(0, 0, 1));
    applyAndEnd(*m);
    EXPECT_TRUE(at(*m, 0) == vec3(0, 0, 1) && at(*m, 1) == vec3(1, 0, 0));

    // With no face to pick the lists stay as they were.
    Mesh loose;
    loose.vertexAdd(vec3(0, 0, 0));
    loose.selectV(vec3(0, 0, 0), 1.0f, true);
    loose.selectVG(vec3(0, 0, 0), 1.0f, true, -1);
    loose.selectVG_(vec3(0, 0, 0), 1.0f, true, -1);
    EXPECT_TRUE(loose.influences.size() == 1 && loose.selectedVertices.size() == 1);
}

// Six faces round vertex 0 with the spoke 0-1 sharp: a crease from the rim
// ending at the centre. The patch reaches vertex 1 from both sides of the
// crease; a deform of the patch still moves it like its smooth neighbours.
TEST(MeshBrushSelect, CreaseEndingInsideThePatchChainsTwoSectorsThatMoveOnce) {
    MeshPtr m(meshtest::makeHexagon({1}));
    m->selectVG_(vec3(0, 0, 0), 2.0f, true, 0);
    const auto& records = m->sectorInfluences;
    const auto of = [&](int v) {
        return std::count_if(records.begin(), records.end(), [v](auto& r) { return r.vertex == v; });
    };
    EXPECT_TRUE(of(0) == 1 && of(1) == 2 && of(2) == 1);
    EXPECT_GE(records[m->sectorHeads[m->vertices[1].selection]].next, 0);
    m->_deformG(vec3(0, 0, 1));
    applyAndEnd(*m);
    // Rim at t = 0.5: weight 0.5.
    EXPECT_TRUE(at(*m, 0).z == 1.0f && at(*m, 1).z == 0.5f && at(*m, 2).z == 0.5f);
}

// One vertex of a sphere moved: its margin brings in every face round it, so
// the refreshed normals equal a full recomputation.
TEST(MeshBrushSelect, MarginRefreshesEveryNormalAMovedVertexTouches) {
    MeshPtr m(meshtest::smoothSphere(1));
    m->selectV(at(*m, 0), 0.1f, true);
    m->_move(at(*m, 0) * 0.3f);
    m->applyDisplacement();
    m->selectMarginal();
    EXPECT_TRUE(m->selectedVertices.size() == 6 && m->selectedFaces.size() == 5);
    m->calculateSelectedNormals();
    m->deselectAll();
    Mesh full(*m);
    full.calculateNormals(2);
    for (int f = 0; f < m->faceCount(); ++f) {
        EXPECT_LT(length(m->faces[f].normal - full.faces[f].normal), 1e-5) << f;
        for (int k = 0; k < 3; ++k) EXPECT_LT(length(m->faces[f].normals[k] - full.faces[f].normals[k]), 1e-5) << f;
    }
}

// The unit cube scaled by 3 along (1, 0, 1) through its centre: what lies in
// the plane through the centre across the direction stays. Then a quarter
// turn about z minus the identity turns the top of the cube.
TEST(MeshSelectionOps, DirectionalScaleAndTransformMoveTheSelection) {
    MeshPtr m(Mesh::Cube());
    const Mesh before(*m);
    const vec3 c(0.5f, 0.5f, 0.5f), d = normalize(vec3(1, 0, 1));
    m->selectAllV();
    m->_scale(c, vec3(1, 0, 1), 3.0f);
    for (int v = 0; v < 8; ++v)
        EXPECT_LT(length(m->displacements[v] - d * float(dot(at(*m, v) - c, d) * 2.0)), 1e-5) << v;
    m->deselectAll();

    const mat4 r = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(M_PI / 2)));
    mat4 moved = r;
    for (int i = 0; i < 3; ++i) moved.at(i, i) -= 1.0f;
    m->selectV(vec3(0.5f, 0.5f, 1.0f), 0.9f, true);
    m->_transform(moved);
    applyAndEnd(*m);
    for (int v = 0; v < 8; ++v) {
        const vec3 p = at(before, v);
        EXPECT_LT(length(at(*m, v) - (p.z == 1.0f ? r.transformPoint(p) : p)), 1e-6) << v;
    }
}
