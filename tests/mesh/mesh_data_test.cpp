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

// Fans of fewer than three corners add nothing; a short sharp list counts
// as false (the sharp marks themselves show in every primitive).
TEST(MeshData, FansReadOnlyTheirLists) {
    Mesh m;
    EXPECT_EQ(m.facesAdd({0, 1}, {true, true}), 0);
    EXPECT_EQ(m.facesAdd({0, 1, 2, 3}, {true}), 0);
    ASSERT_EQ(m.faceCount(), 2);
    EXPECT_EQ((V{m.faces[0].flags, m.faces[1].flags}), (V{8 | 4, 8}));
}

TEST(MeshCopy, CopiesNeverShareGlNames) {
    MeshPtr src(meshtest::makeStrip(true));
    src->refCount = 3;
    src->vbo = 11;  // fake names: dropped below before the destructor releases them
    src->featureVbo = 12;
    src->vboEnabled = 1;
    {
        Mesh c(*src);
        EXPECT_EQ(c.vbo + c.featureVbo + c.vboEnabled + unsigned(c.refCount), 0u);
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
