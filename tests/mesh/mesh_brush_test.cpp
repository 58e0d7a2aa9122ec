// Brush selections of the mesh and the operators on the current selection,
// each displacement applied and the mesh checked afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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

// The smoothing stamp refreshes the normals round what it moved: every
// face normal is then the whole-mesh pass's, bit for bit, and every corner
// normal is too but for the order of the sums (the stroke's end makes those
// bit for bit): on a smooth sphere and on a torus creased along one ring
// and opened along another.
TEST(MeshBrushSelect, MarginRefreshLeavesTheWholeMeshPassNormals) {
    MeshPtr tube(meshtest::torus(40, 30, 2, 0.6, false, true));
    for (int f = 2 * 30 * 20; f < 2 * 30 * 21; ++f) tube->faceErase(f);
    tube->removeInactive(false);
    tube->initialize(Mesh::ResizeKeep);
    MeshPtr meshes[] = {MeshPtr(meshtest::smoothSphere(3)), std::move(tube)};
    for (MeshPtr& m : meshes) {
        m->calculateNormals(2);
        for (int i = 0; i < 12; ++i) {
            const int v = (i * 7919) % m->vertexCount();
            const vec3 c = at(*m, v);
            m->smooth(c, vec3(), 0.3f + 0.1f * float(i % 4));
            EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
            Mesh whole(*m);
            whole.calculateNormals(2);
            int differ = 0;
            float off = 0;
            for (int f = 0; f < m->faceCount(); ++f) {
                differ += std::memcmp(&m->faces[f].normal, &whole.faces[f].normal, sizeof(vec3)) != 0;
                for (int k = 0; k < 3; ++k)
                    off = std::max(off, float(length(m->faces[f].normals[k] - whole.faces[f].normals[k])));
            }
            ASSERT_EQ(differ, 0) << "stamp " << i << " at vertex " << v;
            ASSERT_LT(off, 1e-6f) << "stamp " << i << " at vertex " << v;
        }
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

// A tetrahedron with one face erased and one extra vertex made inactive:
// selectAll lists every record, inactive ones too, without setting a face
// selection bit, and deselectAll afterwards leaves every flag as it was.
TEST(MeshBrushSelect, SelectAllListsEveryRecordAndDeselectRestoresTheFlags) {
    MeshPtr m(meshtest::makeTetra());
    m->faceErase(3);
    m->vertices[m->vertexAdd(vec3(5, 5, 5))].flags = 0;
    std::vector<std::uint8_t> vertexFlags, faceFlags;
    for (int v = 0; v < m->vertexCount(); ++v) vertexFlags.push_back(m->vertices[v].flags);
    for (int f = 0; f < m->faceCount(); ++f) faceFlags.push_back(m->faces[f].flags);

    m->selectAll();
    ASSERT_EQ(m->selectedVertices.size(), 5u);
    ASSERT_EQ(m->influences.size(), 5u);
    ASSERT_EQ(m->selectedFaces.size(), 4u);
    for (int v = 0; v < 5; ++v) {
        EXPECT_EQ(m->selectedVertices[v], v);
        EXPECT_EQ(m->vertices[v].selection, v);
        EXPECT_TRUE(m->influences[v].vertex == v && m->influences[v].t == 0.0f);
        EXPECT_EQ(m->vertices[v].flags, vertexFlags[v]) << v;
    }
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(m->selectedFaces[f], f);
        EXPECT_EQ(m->faces[f].flags, faceFlags[f]) << f;
    }
    m->deselectAll();
    for (int v = 0; v < 5; ++v) EXPECT_TRUE(m->vertices[v].flags == vertexFlags[v] && m->vertices[v].selection == -1);
    for (int f = 0; f < 4; ++f) EXPECT_EQ(m->faces[f].flags, faceFlags[f]) << f;
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

// transform moves every vertex record itself, inactive ones too, and
// recomputes the normals; a row giving w' = 0 leaves that vertex in place.
TEST(MeshSelectionOps, TransformMovesEveryRecordAndKeepsPointsSentToInfinity) {
    MeshPtr m(meshtest::makeTetra());
    const int spare = m->vertexAdd(vec3(5, 5, 5));
    m->vertices[spare].flags = 0;
    const Mesh before(*m);

    m->transform(mat4::Translation(vec3(1, 2, 3)));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_LT(length(at(*m, v) - (at(before, v) + vec3(1, 2, 3))), 1e-6);

    m.reset(new Mesh(before));
    const mat4 r = mat4::FromMat3(mat3::RotationAroundAxis(vec3(0, 0, 1), float(M_PI / 2)));
    m->transform(r);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    for (int f = 0; f < 4; ++f) {
        const vec3 turned = r.transformPoint(before.faces[f].normal);
        EXPECT_LT(length(m->faces[f].normal - turned), 1e-5) << f;
        EXPECT_LT(length(m->faces[f].normals[0] - r.transformPoint(before.faces[f].normals[0])), 1e-5) << f;
    }

    // w' = x: the vertices at x = 0 keep their places, (1, 0, 0) goes to
    // (2, 0, 0) / 1.
    m.reset(new Mesh(before));
    mat4 p;
    p.at(0, 0) = 2.0f;
    p.at(3, 3) = 0.0f;
    p.at(3, 0) = 1.0f;
    m->transform(p);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(at(*m, 1), vec3(2, 0, 0));
    for (const int v : {0, 2, 3}) EXPECT_EQ(at(*m, v), at(before, v)) << v;
}
