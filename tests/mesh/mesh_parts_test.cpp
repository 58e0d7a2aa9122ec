// Selection of patches and components, copying them out, detaching and
// erasing a component, and whole-mesh smoothing.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using qel::Mesh;
using qel::MeshFace;
using qel::Sculptor;
using qel::vec3;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

// Two unit cubes, the second moved by +3 along x: faces 0-11 and 12-23,
// vertices 0-7 and 8-15.
MeshPtr twoCubes() {
    MeshPtr m(Mesh::Cube());
    MeshPtr b(Mesh::Cube());
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position.x += 3.0f;
    m->append(b.get());
    m->initialize(qel::Element::ResizeMean);
    return m;
}

int selectedFlagCount(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) n += m.faces[f].isSelected() ? 1 : 0;
    return n;
}

MeshPtr copyOut(Mesh& m, int& face, Sculptor::TSelect scope) {
    return MeshPtr(static_cast<Mesh*>(m.Part(vec3(), face, scope)));
}

TEST(MeshSelect, PatchStopsAtSharpEdgesComponentDoesNot) {
    MeshPtr m(twoCubes());
    int face = 4;
    EXPECT_FALSE(m->selectF_(vec3(), true, face));  // sharp edges lead out: no open sheet
    EXPECT_EQ(m->selectedFaces, (std::vector<int>{4, 5}));
    EXPECT_EQ(selectedFlagCount(*m), 2);
    EXPECT_FALSE(m->selectF(vec3(), true, face));
    EXPECT_EQ(m->selectedFaces.size(), 12u);
    for (const int f : m->selectedFaces) EXPECT_LT(f, 12);  // the first cube only
    face = 0;  // selected again without deselect: not listed twice
    m->selectF(vec3(), false, face);
    EXPECT_EQ(m->selectedFaces.size(), 12u);

    face = -1;  // picked from the point: the top of the second cube
    m->selectF_(vec3(3.5f, 0.5f, 1.0f), true, face);
    EXPECT_TRUE(face == 14 || face == 15) << face;

    MeshPtr t(Mesh::Triangle());  // an open sheet is reported
    face = 0;
    EXPECT_TRUE(t->selectF_(vec3(), true, face));
    EXPECT_TRUE(t->selectF(vec3(), true, face));
}

TEST(MeshSelect, InvalidFacesAreRefusedAndKeepTheSelection) {
    MeshPtr m(twoCubes());
    int face = 3;
    m->selectF_(vec3(), true, face);
    m->faces[7].flags &= std::uint8_t(~MeshFace::ActiveBit);  // an erased face
    for (const int bad : {24, 1000, 7}) {
        face = bad;
        EXPECT_FALSE(m->selectF(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_FALSE(m->selectF_(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_EQ(face, bad);
        EXPECT_EQ(m->selectedFaces.size(), 2u);
    }
    MeshPtr empty(new Mesh());
    face = -1;
    EXPECT_FALSE(empty->selectF(vec3(), true, face));
    EXPECT_EQ(face, -1);
}

TEST(MeshCopyOut, PatchCopiesOneSideAndOtherScopesTheComponent) {
    MeshPtr m(twoCubes());
    int face = 16;  // the y = 0 side of the second cube
    const MeshFace picked = m->faces[16];
    MeshPtr side = copyOut(*m, face, Sculptor::SelectPatch);
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(checkMeshInvariants(*side), "");
    EXPECT_EQ(side->vertexCount(), 4);
    EXPECT_EQ(side->faceCount(), 2);
    EXPECT_EQ(face, 24);  // face count + position of the picked face
    for (int k = 0; k < 3; ++k) EXPECT_EQ(at(*side, k), at(*m, picked.v[k]));  // first-use order
    EXPECT_EQ(side->centre, vec3(3.5f, 0.0f, 0.5f));
    EXPECT_EQ(m->faceCount(), 24);  // this mesh keeps its records and ends with no selection
    EXPECT_EQ(selectedFlagCount(*m), 0);

    for (const auto scope : {Sculptor::SelectElement, Sculptor::SelectAllPatches, Sculptor::SelectComponent}) {
        face = 13;
        MeshPtr cube = copyOut(*m, face, scope);
        EXPECT_EQ(checkMeshInvariants(*cube), "");
        EXPECT_EQ(cube->faceCount(), 12) << int(scope);
        EXPECT_EQ(cube->centre, vec3(3.5f, 0.5f, 0.5f));
    }

    // Appended back, the returned index names the copy of the picked face.
    face = 9;
    MeshPtr first = copyOut(*m, face, Sculptor::SelectComponent);
    m->append(first.get());
    ASSERT_TRUE(m->validFace(face));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(at(*m, m->faces[face].v[k]), at(*m, m->faces[9].v[k]));
}

TEST(MeshCopyOut, NothingPickedGivesAnEmptyMesh) {
    MeshPtr m(twoCubes());
    for (const int bad : {24, 99}) {
        int face = bad;
        MeshPtr out = copyOut(*m, face, Sculptor::SelectComponent);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->vertexCount() + out->faceCount(), 0);
        EXPECT_EQ(face, bad);
    }
    Mesh empty;
    int face = -1;
    EXPECT_EQ(copyOut(empty, face, Sculptor::SelectPatch)->faceCount(), 0);
}

TEST(MeshDetach, MovesOneSphereOutOrNothing) {
    MeshPtr ico(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(ico.get(), 2, false, true));
    MeshPtr b(Mesh::Sphere(ico.get(), 2, false, true));
    for (int v = 0; v < m->vertexCount(); ++v) m->vertices[v].position.x -= 5.0f;
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position.x += 5.0f;
    m->append(b.get());
    m->initialize(qel::Element::ResizeMean);
    const int faces = b->faceCount(), vertices = b->vertexCount();
    const vec3 centre = m->centre;
    for (const int bad : {-1, 2 * faces, 5000}) {
        MeshPtr out(static_cast<Mesh*>(m->DetachComponent(bad)));
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->faceCount(), 0);
        EXPECT_EQ(m->faceCount(), 2 * faces);
    }
    m->topologyChanged = 0;
    MeshPtr out(static_cast<Mesh*>(m->DetachComponent(faces + 3)));  // in the second sphere
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(checkMeshInvariants(*out), "");
    EXPECT_EQ(m->faceCount(), faces);
    EXPECT_EQ(m->vertexCount(), vertices);
    EXPECT_EQ(m->topologyChanged, 1);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_LT(at(*m, v).x, 0.0f);
    EXPECT_EQ(out->faceCount(), faces);
    for (int v = 0; v < out->vertexCount(); ++v) EXPECT_GT(at(*out, v).x, 0.0f);
    EXPECT_EQ(out->centre, centre);  // keeps the frame of the mesh it came from
}

TEST(MeshErase, ErasesThePickedComponent) {
    MeshPtr m(twoCubes());
    EXPECT_TRUE(m->eraseF(vec3(3.5f, 0.5f, 1.0f), -1));  // picked on the second cube
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 12);
    EXPECT_EQ(m->vertexCount(), 8);
    EXPECT_FALSE(m->eraseF(vec3(), 12));  // out of range now: refused
    EXPECT_EQ(m->faceCount(), 12);
    EXPECT_TRUE(m->eraseF(vec3(), 0));
    EXPECT_EQ(m->vertexCount() + m->faceCount(), 0);
    EXPECT_FALSE(m->eraseF(vec3(), -1));  // nothing left to pick
}

TEST(MeshErase, VertexSharedWithARemainingFaceIsKept) {
    // Two triangles touching at vertex 0 only, as edits can leave them
    // before the next rebuild.
    MeshPtr m(meshtest::makeBowtie());
    EXPECT_TRUE(m->eraseF(vec3(), 0));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    ASSERT_EQ(m->faceCount(), 1);
    EXPECT_EQ(m->vertexCount(), 3);
    EXPECT_EQ(at(*m, m->faces[0].v[0]), vec3(0, 0, 0));

    MeshPtr b(meshtest::makeBowtie());
    MeshPtr out(static_cast<Mesh*>(b->DetachComponent(1)));
    EXPECT_EQ(checkMeshInvariants(*b), "");
    EXPECT_EQ(checkMeshInvariants(*out), "");
    EXPECT_EQ(b->faceCount(), 1);
    EXPECT_EQ(out->vertexCount(), 3);
}

TEST(MeshSmoothAll, SharpVerticesMoveOnlyWhenAskedCornersNever) {
    MeshPtr ico(Mesh::Icosahedron());
    const MeshPtr before(Mesh::Sphere(ico.get(), 2, true, false));
    for (const bool sharpToo : {false, true}) {
        Mesh m(*before);
        m.smoothAll(sharpToo, true);
        EXPECT_EQ(checkMeshInvariants(m), "");
        int movedSmooth = 0, movedSharp = 0;
        for (int v = 0; v < m.vertexCount(); ++v) {
            const bool moved = at(m, v) != at(*before, v);
            if (m.vertices[v].isCorner()) {
                EXPECT_FALSE(moved) << v;
            }
            (m.vertices[v].isSharp() ? movedSharp : movedSmooth) += moved ? 1 : 0;
        }
        EXPECT_GT(movedSmooth, 0);
        EXPECT_EQ(movedSharp > 0, sharpToo);
    }
}

}  // namespace
