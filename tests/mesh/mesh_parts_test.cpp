// Picking a face, selection of patches and components, copying them out,
// detaching and erasing a component.

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

// Two unit cubes, the second at +3 along x: faces 0-11 and 12-23.
MeshPtr twoCubes() {
    MeshPtr m(Mesh::Cube()), second(Mesh::Cube());
    for (int v = 0; v < 8; ++v) second->vertices[v].position.x += 3.0f;
    m->append(second.get());
    m->initialize(Element::ResizeMean);
    return m;
}

MeshPtr copyOut(Mesh& m, int& face, Sculptor::TSelect scope) {
    return MeshPtr(static_cast<Mesh*>(m.Part(vec3(), face, scope)));
}

// The face whose prism holds the point (the nearest plane of several, the
// first of equals), else the stored face of the nearest usable vertex.
TEST(MeshPick, PrismHitsThenTheNearestVertex) {
    MeshPtr m(meshtest::makeQuad());
    // The diagonal is outside F0 (corner 2 to 0) and inside F1; beside the quad
    // the nearest vertices are 2, 1 and, equally near, 0 and 3 (the first).
    const float picks[][4] = {{0.25f, 0.75f, -0.3f, 1},
                              {0.75f, 0.25f, 100.0f, 0},
                              {0.5f, 0.5f, 0.0f, 1},
                              {1.0f, 0.5f, 0.2f, 0},
                              {5, 5, 0, 1},
                              {2, -1, 0, 0},
                              {-1, 0.5f, 0, 0}};
    for (const auto& p : picks) EXPECT_EQ(m->findFirstFace(vec3(p[0], p[1], p[2])), int(p[3])) << p[0] << " " << p[1];
    Mesh flat(*m), erased(*m);
    flat.faces[0].normal = vec3(0, 0, 0);  // a face with a zero normal is not hit, nor an erased one
    erased.faces[0].flags &= ~MeshFace::ActiveBit;
    EXPECT_EQ(flat.findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);
    EXPECT_EQ(erased.findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);
    m->vertices[2].face = 17;  // nor a vertex whose stored face is out of range
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 0);
    EXPECT_EQ(Mesh().findFirstFace(vec3(0, 0, 0)), -1);

    MeshPtr two(meshtest::makeQuad()), top(meshtest::makeQuad());
    for (int i = 0; i < 4; ++i) top->vertices[i].position.z = 1.0f;
    two->append(top.get());
    EXPECT_EQ(two->findFirstFace(vec3(0.75f, 0.25f, 0.8f)), 2);
    EXPECT_EQ(two->findFirstFace(vec3(0.75f, 0.25f, 0.5f)), 0);
}

TEST(MeshSelect, PatchStopsAtSharpEdgesComponentDoesNot) {
    MeshPtr m(twoCubes());
    int face = 4;
    EXPECT_FALSE(m->selectF_(vec3(), true, face));  // sharp edges lead out: no open sheet
    EXPECT_EQ(m->selectedFaces, (std::vector<int>{4, 5}));
    EXPECT_TRUE(m->faces[5].isSelected() && !m->faces[6].isSelected());
    EXPECT_FALSE(m->selectF(vec3(), true, face));
    EXPECT_EQ(m->selectedFaces.size(), 12u);  // the first cube only
    for (const int f : m->selectedFaces) EXPECT_LT(f, 12);
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

TEST(MeshSelect, InvalidPicksChangeNothing) {
    MeshPtr m(twoCubes());
    m->faces[7].flags &= std::uint8_t(~MeshFace::ActiveBit);  // an erased face
    for (const int bad : {24, 1000, 7}) {
        int face = 3;
        m->selectF_(vec3(), true, face);  // a selection the refusals keep and Part does not copy
        face = bad;
        EXPECT_FALSE(m->selectF(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_FALSE(m->selectF_(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_EQ(m->selectedFaces.size(), 2u);
        EXPECT_EQ(copyOut(*m, face, Sculptor::SelectComponent)->faceCount(), 0);
        EXPECT_EQ(face, bad);
        EXPECT_EQ(MeshPtr(static_cast<Mesh*>(m->DetachComponent(bad)))->faceCount(), 0);
        EXPECT_FALSE(m->eraseF(vec3(), bad));
        EXPECT_EQ(m->faceCount(), 24);
    }
    Mesh empty;  // nothing to pick
    int face = -1;
    EXPECT_EQ(copyOut(empty, face, Sculptor::SelectPatch)->vertexCount(), 0);
    EXPECT_FALSE(empty.eraseF(vec3(), -1));
}

TEST(MeshCopyOut, PatchCopiesOneSideAndOtherScopesTheComponent) {
    MeshPtr m(twoCubes());
    int face = 16;  // the y = 0 side of the second cube
    const MeshFace picked = m->faces[16];
    MeshPtr side = copyOut(*m, face, Sculptor::SelectPatch);
    EXPECT_EQ(checkMeshInvariants(*side), "");
    EXPECT_EQ(side->vertexCount(), 4);
    EXPECT_EQ(side->faceCount(), 2);
    EXPECT_EQ(face, 24);  // face count + position of the picked face
    for (int k = 0; k < 3; ++k) EXPECT_EQ(at(*side, k), at(*m, picked.v[k]));  // first-use order
    EXPECT_EQ(side->centre, vec3(3.5f, 0.0f, 0.5f));
    EXPECT_EQ(m->faceCount(), 24);  // this mesh keeps its records and ends with no selection
    EXPECT_TRUE(m->selectedFaces.empty() && !m->faces[16].isSelected());

    for (const auto scope : {Sculptor::SelectElement, Sculptor::SelectAllPatches, Sculptor::SelectComponent}) {
        face = 13;
        MeshPtr cube = copyOut(*m, face, scope);
        EXPECT_EQ(checkMeshInvariants(*cube), "");
        EXPECT_EQ(cube->faceCount(), 12) << int(scope);
        EXPECT_EQ(cube->centre, vec3(3.5f, 0.5f, 0.5f));
    }
}

TEST(MeshErase, DetachesOrErasesThePickedComponentButNotAVertexItShares) {
    MeshPtr d(twoCubes());
    const vec3 centre = d->centre;
    d->topologyChanged = 0;
    MeshPtr out(static_cast<Mesh*>(d->DetachComponent(14)));  // the second cube, in this mesh's frame
    EXPECT_EQ(checkMeshInvariants(*d) + checkMeshInvariants(*out), "");
    EXPECT_EQ((std::vector<int>{d->faceCount(), d->vertexCount(), out->faceCount(), d->topologyChanged}),
              (std::vector<int>{12, 8, 12, 1}));
    EXPECT_TRUE(out->centre == centre && at(*out, 0).x > 2.0f && at(*d, 0).x < 2.0f);

    MeshPtr m(twoCubes());
    EXPECT_TRUE(m->eraseF(vec3(3.5f, 0.5f, 1.0f), -1));  // picked on the second cube
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 12);
    EXPECT_EQ(m->vertexCount(), 8);
    EXPECT_TRUE(m->eraseF(vec3(), 0));
    EXPECT_EQ(m->vertexCount() + m->faceCount(), 0);

    // Two triangles touching at vertex 0 only, as edits can leave them
    // before the next rebuild.
    MeshPtr b(meshtest::makeBowtie());
    EXPECT_TRUE(b->eraseF(vec3(), 0));
    EXPECT_EQ(checkMeshInvariants(*b), "");
    ASSERT_EQ(b->faceCount(), 1);
    EXPECT_EQ(b->vertexCount(), 3);
    EXPECT_EQ(at(*b, b->faces[0].v[0]), vec3(0, 0, 0));
}

TEST(MeshSmoothAll, SharpVerticesMoveOnlyWhenAskedCornersNever) {
    MeshPtr ico(Mesh::Icosahedron());
    const MeshPtr before(Mesh::Sphere(ico.get(), 2, true, false));
    for (const bool sharpToo : {false, true}) {
        Mesh m(*before);
        m.smoothAll(sharpToo, true);
        EXPECT_EQ(checkMeshInvariants(m), "");
        int movedSmooth = 0, movedSharp = 0, corners = 0;
        for (int v = 0; v < m.vertexCount(); ++v) {
            const bool moved = at(m, v) != at(*before, v);
            corners += m.vertices[v].isCorner() ? 1 : 0;
            EXPECT_FALSE(moved && m.vertices[v].isCorner()) << v;
            (m.vertices[v].isSharp() ? movedSharp : movedSmooth) += moved ? 1 : 0;
        }
        EXPECT_EQ(corners, 12);
        EXPECT_GT(movedSmooth, 0);
        EXPECT_EQ(movedSharp > 0, sharpToo);
    }
}

}  // namespace
