// Selection of patches and components, copying them out (Part,
// DetachComponent), erasing a component, whole-mesh smoothing and the unit
// triangle of qel::Mesh.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::Sculptor;
using qel::vec3;

namespace {

using MeshPtr = std::unique_ptr<Mesh>;

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

// Two spheres of radius 2, about (-5, 0, 0) and (5, 0, 0).
MeshPtr twoSpheres() {
    MeshPtr ico(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(ico.get(), 2, false, true));
    MeshPtr b(Mesh::Sphere(ico.get(), 2, false, true));
    for (int v = 0; v < m->vertexCount(); ++v) m->vertices[v].position.x -= 5.0f;
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position.x += 5.0f;
    m->append(b.get());
    m->initialize(qel::Element::ResizeMean);
    return m;
}

int activeFaces(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) n += m.activeFace(f) ? 1 : 0;
    return n;
}

int selectedFlagCount(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) n += m.faces[f].isSelected() ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------------------
// Selection

TEST(MeshSelect, PatchStopsAtSharpEdgesComponentDoesNot) {
    MeshPtr m(twoCubes());
    int face = 4;
    EXPECT_FALSE(m->selectF_(vec3(), true, face));  // sharp edges lead out: no sheet
    EXPECT_EQ(face, 4);
    ASSERT_EQ(m->selectedFaces.size(), 2u);
    EXPECT_EQ(m->selectedFaces[0], 4);
    EXPECT_EQ(m->selectedFaces[1], 5);
    EXPECT_EQ(selectedFlagCount(*m), 2);

    EXPECT_FALSE(m->selectF(vec3(), true, face));
    EXPECT_EQ(m->selectedFaces.size(), 12u);
    EXPECT_EQ(m->selectedFaces[0], 4);
    for (const int f : m->selectedFaces) EXPECT_LT(f, 12);  // the first cube only
    EXPECT_EQ(selectedFlagCount(*m), 12);

    // Without deselect the second cube joins; a selected face is not listed
    // twice.
    face = 20;
    m->selectF(vec3(), false, face);
    EXPECT_EQ(m->selectedFaces.size(), 24u);
    face = 0;
    m->selectF(vec3(), false, face);
    EXPECT_EQ(m->selectedFaces.size(), 24u);

    m->deselectAll();
    EXPECT_EQ(selectedFlagCount(*m), 0);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
}

TEST(MeshSelect, NegativeFaceIsPickedFromThePoint) {
    MeshPtr m(twoCubes());
    int face = -1;
    m->selectF_(vec3(3.5f, 0.5f, 1.0f), true, face);  // on the top of the second cube
    EXPECT_TRUE(face == 14 || face == 15) << face;
    EXPECT_EQ(m->selectedFaces.size(), 2u);

    MeshPtr empty(new Mesh());
    face = -1;
    EXPECT_FALSE(empty->selectF(vec3(), true, face));
    EXPECT_EQ(face, -1);
    EXPECT_TRUE(empty->selectedFaces.empty());
}

TEST(MeshSelect, InvalidFacesAreRefused) {
    MeshPtr m(twoCubes());
    int face = 3;
    m->selectF_(vec3(), true, face);
    const std::size_t before = m->selectedFaces.size();
    for (const int bad : {24, 1000}) {
        face = bad;
        EXPECT_FALSE(m->selectF(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_FALSE(m->selectF_(vec3(0.5f, 0.5f, 1.0f), true, face));
        EXPECT_EQ(face, bad);
        EXPECT_EQ(m->selectedFaces.size(), before);  // the selection is kept
    }
    // An erased face.
    m->faces[7].flags = std::uint8_t(m->faces[7].flags & ~MeshFace::ActiveBit);
    face = 7;
    EXPECT_FALSE(m->selectF(vec3(), true, face));
    EXPECT_EQ(m->selectedFaces.size(), before);
}

TEST(MeshSelect, OpenSheetIsReported) {
    MeshPtr t(Mesh::Triangle());
    int face = 0;
    EXPECT_TRUE(t->selectF_(vec3(), true, face));
    EXPECT_TRUE(t->selectF(vec3(), true, face));

    // A closed component is no sheet.
    MeshPtr c(Mesh::Cylinder(8, false));
    face = 0;
    EXPECT_FALSE(c->selectF(vec3(), true, face));
}

// ---------------------------------------------------------------------------
// Part

TEST(MeshPart, PatchCopiesOneSideInFirstUseOrder) {
    MeshPtr m(twoCubes());
    int face = 16;  // the y = 0 side of the second cube
    const MeshFace picked = m->faces[16];
    MeshPtr part(static_cast<Mesh*>(m->Part(vec3(), face, Sculptor::SelectPatch)));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(meshtest::checkMeshInvariants(*part), "");
    EXPECT_EQ(part->vertexCount(), 4);
    EXPECT_EQ(part->faceCount(), 2);
    EXPECT_EQ(face, 24);  // face count + position 0
    for (int k = 0; k < 3; ++k) EXPECT_EQ(at(*part, k), at(*m, picked.v[k]));
    for (int v = 0; v < 4; ++v) EXPECT_EQ(at(*part, v).y, 0.0f);
    // initialize(1): centre the mean, size twice the largest distance.
    EXPECT_EQ(part->centre, vec3(3.5f, 0.0f, 0.5f));
    EXPECT_NEAR(part->size(), 2.0 * std::sqrt(0.5), 1e-6);
    EXPECT_EQ(part->refCount, 0);
    // This mesh keeps its records and ends with no selection.
    EXPECT_EQ(m->faceCount(), 24);
    EXPECT_TRUE(m->selectedFaces.empty());
    EXPECT_EQ(selectedFlagCount(*m), 0);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(m->vertices[v].selection, -1);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
}

TEST(MeshPart, EveryOtherScopeCopiesTheComponent) {
    for (const Sculptor::TSelect scope :
         {Sculptor::SelectElement, Sculptor::SelectAllPatches, Sculptor::SelectComponent}) {
        SCOPED_TRACE(int(scope));
        MeshPtr m(twoCubes());
        int face = 13;
        MeshPtr part(static_cast<Mesh*>(m->Part(vec3(), face, scope)));
        EXPECT_EQ(meshtest::checkMeshInvariants(*part), "");
        EXPECT_EQ(part->vertexCount(), 8);
        EXPECT_EQ(part->faceCount(), 12);
        EXPECT_EQ(face, 24);
        EXPECT_EQ(part->centre, vec3(3.5f, 0.5f, 0.5f));
        for (int v = 0; v < 8; ++v) EXPECT_GE(at(*part, v).x, 3.0f);
        EXPECT_EQ(activeFaces(*m), 24);
    }
    // The element slots reach the same copy.
    MeshPtr m(twoCubes());
    int face = 2;
    MeshPtr patch(static_cast<Mesh*>(m->PartPatch(vec3(), face)));
    EXPECT_EQ(patch->faceCount(), 2);
    face = 2;
    MeshPtr component(static_cast<Mesh*>(m->PartComponent(vec3(), face)));
    EXPECT_EQ(component->faceCount(), 12);
}

TEST(MeshPart, NothingPickedGivesAnEmptyMesh) {
    MeshPtr m(twoCubes());
    for (const int bad : {24, 99}) {
        int face = bad;
        MeshPtr part(static_cast<Mesh*>(m->Part(vec3(), face, Sculptor::SelectComponent)));
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->vertexCount(), 0);
        EXPECT_EQ(part->faceCount(), 0);
        EXPECT_EQ(face, bad);
    }
    MeshPtr empty(new Mesh());
    int face = -1;
    MeshPtr part(static_cast<Mesh*>(empty->Part(vec3(), face, Sculptor::SelectPatch)));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->faceCount(), 0);
    EXPECT_EQ(face, -1);
}

TEST(MeshPart, AppendedPartKeepsThePickedFaceIndex) {
    MeshPtr m(twoCubes());
    int face = 9;
    MeshPtr part(static_cast<Mesh*>(m->Part(vec3(), face, Sculptor::SelectComponent)));
    m->append(part.get());
    ASSERT_TRUE(m->validFace(face));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(at(*m, m->faces[face].v[k]), at(*m, m->faces[9].v[k]));
}

// ---------------------------------------------------------------------------
// DetachComponent and eraseF

TEST(MeshDetach, MovesOneSphereOut) {
    MeshPtr m(twoSpheres());
    const int faces = m->faceCount() / 2;
    const int vertices = m->vertexCount() / 2;
    const vec3 centre = m->centre;
    const float size = m->size();
    m->topologyChanged = 0;
    MeshPtr part(static_cast<Mesh*>(m->DetachComponent(faces + 3)));  // in the second sphere
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_EQ(meshtest::checkMeshInvariants(*part), "");
    EXPECT_EQ(m->faceCount(), faces);
    EXPECT_EQ(m->vertexCount(), vertices);
    EXPECT_EQ(m->topologyChanged, 1);
    EXPECT_TRUE(m->selectedFaces.empty());
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_LT(at(*m, v).x, 0.0f);
    EXPECT_EQ(part->faceCount(), faces);
    EXPECT_EQ(part->vertexCount(), vertices);
    for (int v = 0; v < part->vertexCount(); ++v) EXPECT_GT(at(*part, v).x, 0.0f);
    EXPECT_EQ(part->centre, centre);
    EXPECT_EQ(part->size(), size);
}

TEST(MeshDetach, InvalidFaceLeavesTheMeshAlone) {
    MeshPtr m(twoCubes());
    for (const int bad : {-1, 24, 500}) {
        MeshPtr part(static_cast<Mesh*>(m->DetachComponent(bad)));
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->faceCount(), 0);
        EXPECT_EQ(m->faceCount(), 24);
        EXPECT_EQ(m->vertexCount(), 16);
    }
}

TEST(MeshErase, ErasesThePickedComponent) {
    MeshPtr m(twoCubes());
    EXPECT_TRUE(m->eraseF(vec3(3.5f, 0.5f, 1.0f), -1));  // picked on the second cube
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 12);
    EXPECT_EQ(m->vertexCount(), 8);
    for (int v = 0; v < 8; ++v) EXPECT_LE(at(*m, v).x, 1.0f);

    EXPECT_FALSE(m->eraseF(vec3(), 12));  // out of range now: refused
    EXPECT_EQ(m->faceCount(), 12);

    EXPECT_TRUE(m->eraseF(vec3(), 0));
    EXPECT_EQ(m->faceCount(), 0);
    EXPECT_EQ(m->vertexCount(), 0);
    EXPECT_TRUE(m->selectedFaces.empty());
    EXPECT_FALSE(m->eraseF(vec3(), -1));  // nothing left to pick
}

TEST(MeshErase, VertexSharedWithARemainingFaceIsKept) {
    // Two triangles touching at vertex 0 only, as edits can leave them
    // before the next rebuild.
    MeshPtr m(meshtest::makeBowtie());
    EXPECT_TRUE(m->eraseF(vec3(), 0));
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    ASSERT_EQ(m->faceCount(), 1);
    EXPECT_EQ(m->vertexCount(), 3);
    for (const int v : m->faces[0].v) EXPECT_TRUE(m->activeVertex(v));
    EXPECT_EQ(at(*m, m->faces[0].v[0]), vec3(0, 0, 0));

    MeshPtr b(meshtest::makeBowtie());
    MeshPtr part(static_cast<Mesh*>(b->DetachComponent(1)));
    EXPECT_EQ(meshtest::checkMeshInvariants(*b), "");
    EXPECT_EQ(meshtest::checkMeshInvariants(*part), "");
    EXPECT_EQ(b->faceCount(), 1);
    EXPECT_EQ(part->faceCount(), 1);
    EXPECT_EQ(part->vertexCount(), 3);
}

// ---------------------------------------------------------------------------
// smoothAll

TEST(MeshSmoothAll, SharpVerticesMoveOnlyWhenAsked) {
    MeshPtr ico(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(ico.get(), 2, true, false));
    MeshPtr before(new Mesh(*m));
    m->smoothAll(false, true);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    int movedSmooth = 0;
    for (int v = 0; v < m->vertexCount(); ++v) {
        if (m->vertices[v].isSharp()) {
            EXPECT_EQ(at(*m, v), at(*before, v)) << v;
        } else {
            movedSmooth += at(*m, v) != at(*before, v) ? 1 : 0;
        }
    }
    EXPECT_GT(movedSmooth, 0);

    MeshPtr all(new Mesh(*before));
    all->smoothAll(true, true);
    int movedSharp = 0;
    for (int v = 0; v < all->vertexCount(); ++v) {
        const MeshVertex& r = all->vertices[v];
        if (r.isCorner()) {
            EXPECT_EQ(at(*all, v), at(*before, v));  // corners stay
        }
        if (r.isSharp() && !r.isCorner() && at(*all, v) != at(*before, v)) ++movedSharp;
    }
    EXPECT_GT(movedSharp, 0);
}

TEST(MeshSmoothAll, CornerMaterialsMoveHalfwayToTheFaceMean) {
    MeshPtr t(Mesh::Triangle());
    t->faces[0].material[0].colour.r = 0;
    t->faces[0].material[1].colour.r = 0;
    t->faces[0].material[2].colour.r = 65535;
    t->smoothAll(false, false);
    // Mean 21845; each corner goes halfway to it.
    EXPECT_EQ(t->faces[0].material[0].colour.r, 10922);
    EXPECT_EQ(t->faces[0].material[1].colour.r, 10922);
    EXPECT_EQ(t->faces[0].material[2].colour.r, 43690);
    EXPECT_EQ(t->faces[0].material[2].colour.g, 65535);
}

// ---------------------------------------------------------------------------
// Triangle

TEST(MeshTriangle, UnitTriangle) {
    MeshPtr t(Mesh::Triangle());
    EXPECT_EQ(meshtest::checkMeshInvariants(*t), "");
    ASSERT_EQ(t->vertexCount(), 3);
    ASSERT_EQ(t->faceCount(), 1);
    EXPECT_EQ(at(*t, 0), vec3(0, 1, 0));
    EXPECT_EQ(at(*t, 1), vec3(-0.8660254f, -0.5f, 0));
    EXPECT_EQ(at(*t, 2), vec3(0.8660254f, -0.5f, 0));
    const MeshFace& F = t->faces[0];
    EXPECT_EQ(F.flags & MeshFace::SharpMask, MeshFace::SharpMask);
    EXPECT_EQ(F.normal, vec3(0, 0, 1));
    for (int v = 0; v < 3; ++v) {
        EXPECT_TRUE(t->vertices[v].isSharp());
        EXPECT_TRUE(t->vertices[v].isBorder());
        EXPECT_EQ(t->vertices[v].face, 0);
    }
    EXPECT_EQ(t->centre, vec3(0, 0, 0));
    EXPECT_EQ(t->size(), 1.0f);
}

}  // namespace
