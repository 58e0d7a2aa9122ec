// Mesh records, record adders, selection, copies and append.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;
using V = std::vector<int>;

namespace {

TEST(MeshData, AddersFanSharpnessAndMaterialMasks) {
    Mesh m;
    m.vertexAdd(4, 5, 6, 7, true, false);
    EXPECT_EQ(m.vertexAdd(m.vertices[0]), 1);  // a record of the mesh itself
    EXPECT_EQ(m.vertices[1].flags, 9);
    // Fans: fewer than three corners add nothing; polygon edge i is sharp[i],
    // inner diagonals never; a short list counts as false.
    EXPECT_EQ(m.facesAdd({0, 1}, {true, true}), 0);
    EXPECT_EQ(m.facesAdd({10, 11, 12, 13, 14}, {false, true, true, false, true}), 0);
    ASSERT_EQ(m.faceCount(), 3);
    EXPECT_EQ((V{m.faces[2].v[0], m.faces[2].v[1], m.faces[2].v[2]}), (V{10, 13, 14}));
    EXPECT_EQ(m.faces[0].flags, 8 | 1);          // edge 0 = 11-12
    EXPECT_EQ(m.faces[2].flags, 8 | 2);          // edge 1 = 14-10; 13-14 smooth
    m.facesAdd({0, 1, 2}, {true, false, true});  // one face: edges 1-2, 2-0, 0-1
    EXPECT_EQ(m.faces[3].flags, 8 | 2 | 4);
    m.facesAdd({0, 1, 2, 3}, {true});
    EXPECT_EQ(m.faces[4].flags, 8 | 4);
    EXPECT_EQ(m.faces[5].flags, 8);

    MeshFace f(0, 1, 2);  // corner materials under the channel mask
    const pbr a(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 32767, -32768);
    f.setMaterial(a, a, a, 0);
    EXPECT_EQ(f.material[2], pbr());
    f.setMaterial(a, a, a, pbr::MaskRoughness);
    EXPECT_EQ(f.material[2].roughness, 32766);  // kept inside the symmetric range
    EXPECT_EQ(f.material[2].metalness, 0);
    f.setMaterial(a, a, a, 8 | 16 | 32);
    EXPECT_EQ(f.material[0].metalness, -32766);
    EXPECT_EQ(f.material[1].colour, wvec4(65535, 65535, 65535, 4));  // alpha only
    EXPECT_EQ(f.material[2].light, wvec4(0, 0, 0, 8));               // thickness only
}

TEST(MeshData, DeselectAllClearsListedRecordsOnly) {
    MeshPtr m(meshtest::makeTetra());
    m->vertices[1].flags |= MeshVertex::SelectedBit;
    m->vertices[1].selection = 0;
    m->vertices[2].flags |= MeshVertex::SelectedBit;  // selected but not listed
    m->selectedVertices = {1, 99};                    // an index past the end is skipped
    m->faces[0].flags |= MeshFace::SelectedBit | MeshFace::VisitedBit | MeshFace::MarkBit;
    m->selectedFaces = {0, -3};
    m->influences.resize(3);
    m->scratch0 = {1, 2};
    m->vertexAdd(vec3(5, 5, 5));
    m->deselectAll();
    EXPECT_EQ(m->vertices[1].flags & MeshVertex::SelectedBit, 0);
    EXPECT_EQ(m->vertices[1].selection, -1);
    EXPECT_NE(m->vertices[2].flags & MeshVertex::SelectedBit, 0);
    EXPECT_EQ(m->faces[0].flags & 0xF0, MeshFace::MarkBit);  // selected and visited cleared
    EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty() && m->influences.empty());
    EXPECT_EQ(m->scratch0.size(), 2u);
    EXPECT_EQ((V{m->vertexMark, m->faceMark}), (V{5, 4}));
}

TEST(MeshCopy, CopiesNeverShareGlNames) {
    MeshPtr src(meshtest::makeStrip(true));
    src->refCount = 3;
    src->vbo = 11;  // fake names: dropped below before the destructor releases them
    src->featureVbo = 12;
    src->vboEnabled = 1;
    src->selectedFaces = {2};
    {
        Mesh c(*src);
        EXPECT_EQ(c.vbo + c.featureVbo + c.vboEnabled, 0u);
        EXPECT_EQ(c.refCount, 0);
        EXPECT_EQ(c.selectedFaces, V{2});
        c.vertices[0].position = vec3(7, 7, 7);  // a deep copy
        EXPECT_EQ(src->vertices[0].position, vec3(0, 0, 0));
    }
    MeshPtr dst(meshtest::makeTetra());
    dst->refCount = 2;
    *dst = *src;
    EXPECT_EQ(dst->vbo + dst->featureVbo, 0u);
    EXPECT_EQ(dst->refCount, 2);  // the holders of the target stay
    EXPECT_EQ(dst->faceCount(), 3);
    Mesh& alias = *src;
    *src = alias;  // self-assignment keeps everything
    EXPECT_EQ(src->vbo, 11u);
    EXPECT_EQ(src->faces[0].f[1], 1);
    src->vbo = src->featureVbo = 0;
}

TEST(MeshCopy, MatrixCopyAndUnionMapThroughTheLocalFrame) {
    MeshPtr src(meshtest::makeStrip());
    src->centre = vec3(1, 0, 0);
    src->setSize(2.0f);
    mat4 t = mat4::Translation(10, 0, 0);
    t[15] = 2.0f;  // the last row divides every point by 2
    Mesh c(src.get(), t);
    EXPECT_EQ(c.centre, vec3(0, 0, 0));
    EXPECT_EQ(c.size(), 1.0f);
    EXPECT_FLOAT_EQ(c.vertices[1].position.x, 5.25f);  // (2,0,0): local 0.5, moved to 10.5, halved
    EXPECT_EQ(Mesh(nullptr, t).vertexCount(), 0);

    MeshPtr a(meshtest::makeQuad());
    MeshPtr b(meshtest::makeTetra());
    a->centre = vec3(0, 0, 1);
    a->setSize(2.0f);
    b->centre = vec3(1, 1, 1);
    Mesh u(a.get(), b.get());
    ASSERT_EQ(u.faceCount(), 6);
    EXPECT_EQ(u.vertices[2].position, vec3(0.5f, 0.5f, -0.5f));  // (p - c) / size
    EXPECT_EQ(u.vertices[4].position, vec3(-1, -1, -1));
    EXPECT_EQ(meshtest::checkMeshInvariants(u), "");
    EXPECT_EQ(Mesh(a.get(), nullptr).faceCount(), 2);
}

TEST(MeshAppend, OffsetsIndicesLinksAndStoredFaces) {
    MeshPtr a(meshtest::makeQuad());   // 4 vertices, 2 faces
    MeshPtr b(meshtest::makeStrip());  // 5 vertices, 3 faces
    b->vertexAdd(vec3(9, 9, 9));       // stored face -1
    a->append(b.get());
    a->append(nullptr);
    ASSERT_EQ(a->vertexCount(), 10);
    EXPECT_EQ(a->vertices[4].face, b->vertices[0].face + 2);
    EXPECT_EQ(a->vertices[9].face, -1);  // -1 stays -1
    // F1 of the strip = (0, 2, 3) links (-1, 2, 0) -> face 3 = (4, 6, 7) links (-1, 4, 2).
    const MeshFace& f = a->faces[3];
    EXPECT_EQ((V{f.v[0], f.v[1], f.v[2], f.f[0], f.f[1], f.f[2]}), (V{4, 6, 7, -1, 4, 2}));
    EXPECT_EQ(meshtest::checkMeshInvariants(*a), "");
    MeshPtr self(meshtest::makeQuad());
    self->append(self.get());
    ASSERT_EQ(self->faceCount(), 4);
    EXPECT_EQ(self->faces[2].f[1], 3);
    EXPECT_EQ(meshtest::checkMeshInvariants(*self), "");
}

}  // namespace
