// Mesh records, construction, copies, record adders, selection and append.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;

namespace {

const pbr kDefault;

void expectDefaultMaterial(const MeshFace& f) {
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.material[k].colour, qel::wvec4(65535, 65535, 65535, 65535));
        EXPECT_EQ(f.material[k].light, qel::wvec4(0, 0, 0, 65535));
        EXPECT_EQ(f.material[k].roughness, 0);
        EXPECT_EQ(f.material[k].metalness, 0);
    }
}

// Fake GL names must be cleared before a mesh is destroyed: the destructor
// releases real buffers.
void dropFakeNames(Mesh& m) {
    m.vbo = 0;
    m.featureVbo = 0;
}

TEST(MeshRecords, NewVertexAndFace) {
    const MeshVertex v;
    EXPECT_EQ(v.face, -1);
    EXPECT_EQ(v.selection, -1);
    EXPECT_EQ(v.flags, 8);
    EXPECT_EQ(MeshFace::SHARP[0], 1);
    EXPECT_EQ(MeshFace::SHARP[1], 2);
    EXPECT_EQ(MeshFace::SHARP[2], 4);
    const MeshFace f(3, 4, 5, true, false, true);
    EXPECT_EQ(f.v[0], 3);
    EXPECT_EQ(f.v[2], 5);
    EXPECT_EQ(f.f[0], -1);
    EXPECT_EQ(f.f[1], -1);
    EXPECT_EQ(f.f[2], -1);
    EXPECT_EQ(f.flags, 8 | 1 | 4);
    EXPECT_EQ(f.corner(4), 1);
    EXPECT_EQ(f.corner(7), -1);
}

TEST(MeshData, EmptyMesh) {
    Mesh m;
    EXPECT_EQ(m.type, qel::Element::TType::Mesh);
    EXPECT_EQ(m.vertexCount(), 0);
    EXPECT_EQ(m.faceCount(), 0);
    EXPECT_EQ(m.size(), 1.0f);
    EXPECT_EQ(m.centre, vec3(0, 0, 0));
    EXPECT_EQ(m.vbo, 0u);
    EXPECT_EQ(m.refCount, 0);
    EXPECT_EQ(m.id, -1);
    EXPECT_EQ(m.vertexMark, 0);
    EXPECT_EQ(m.faceMark, 0);
    EXPECT_EQ(m.needsCompaction, 0);
}

TEST(MeshData, VertexAdders) {
    Mesh m;
    EXPECT_EQ(m.vertexAdd(vec3(1, 2, 3)), 0);
    EXPECT_EQ(m.vertexAdd(4, 5, 6, 7, false, false), 1);
    EXPECT_EQ(m.vertexAdd(4, 5, 6, 2, true, false), 2);
    EXPECT_EQ(m.vertexAdd(4, 5, 6, 3, false, true), 3);
    EXPECT_EQ(m.vertexAdd(4, 5, 6, 3, true, true), 4);
    MeshVertex r;
    r.position = vec3(9, 9, 9);
    r.flags = 0x1F;
    r.face = 12;
    r.selection = 4;
    EXPECT_EQ(m.vertexAdd(r), 5);
    EXPECT_EQ(m.vertices[0].position, vec3(1, 2, 3));
    EXPECT_EQ(m.vertices[0].face, -1);
    EXPECT_EQ(m.vertices[0].selection, -1);
    EXPECT_EQ(m.vertices[0].flags, 8);
    EXPECT_EQ(m.vertices[1].flags, 8);
    EXPECT_EQ(m.vertices[1].face, 7);
    EXPECT_EQ(m.vertices[2].flags, 9);
    EXPECT_EQ(m.vertices[3].flags, 11);
    EXPECT_EQ(m.vertices[4].flags, 11);
    EXPECT_EQ(m.vertices[5].flags, 0x1F);  // unchanged copy
    EXPECT_EQ(m.vertices[5].face, 12);
    EXPECT_EQ(m.vertices[5].selection, 4);
    EXPECT_EQ(m.vertexAdd(m.vertices[5]), 6);  // a record of the mesh itself
    EXPECT_EQ(m.vertices[6].face, 12);
}

TEST(MeshData, FaceAdders) {
    Mesh m;
    EXPECT_EQ(m.faceAdd(0, 1, 2, false, true, false), 0);
    EXPECT_EQ(m.faceAdd(2, 1, 3, 5, -1, 0, true, false, true), 1);
    MeshFace r(7, 8, 9);
    r.flags = 0x7F;
    EXPECT_EQ(m.faceAdd(r), 2);
    const MeshFace& a = m.faces[0];
    EXPECT_EQ(a.flags, 8 | 2);
    EXPECT_EQ(a.f[0], -1);
    EXPECT_EQ(a.f[1], -1);
    EXPECT_EQ(a.f[2], -1);
    EXPECT_EQ(a.normal, vec3(0, 0, 0));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(a.normals[k], vec3(0, 0, 0));
    expectDefaultMaterial(a);
    const MeshFace& b = m.faces[1];
    EXPECT_EQ(b.f[0], 5);
    EXPECT_EQ(b.f[1], -1);
    EXPECT_EQ(b.f[2], 0);
    EXPECT_EQ(b.flags, 8 | 1 | 4);
    EXPECT_EQ(m.faces[2].flags, 0x7F);
}

TEST(MeshData, FacesAddFan) {
    Mesh m;
    // Fewer than three corners add nothing.
    EXPECT_EQ(m.facesAdd({0, 1}, {true, true}), 0);
    EXPECT_EQ(m.faceCount(), 0);
    // Three corners: edge 0 sharp[1], edge 1 sharp[2], edge 2 sharp[0].
    m.facesAdd({4, 5, 6}, {true, false, false});
    ASSERT_EQ(m.faceCount(), 1);
    EXPECT_EQ(m.faces[0].flags, 8 | 4);
    m.facesAdd({4, 5, 6}, {false, true, false});
    EXPECT_EQ(m.faces[1].flags, 8 | 1);
    m.facesAdd({4, 5, 6}, {false, false, true});
    EXPECT_EQ(m.faces[2].flags, 8 | 2);
    // Pentagon 10..14, polygon edges sharp: 11-12, 12-13, 14-10.
    //   faces (10,11,12) (10,12,13) (10,13,14); inner diagonals never sharp.
    const int first = m.facesAdd({10, 11, 12, 13, 14}, {false, true, true, false, true});
    EXPECT_EQ(first, 3);
    ASSERT_EQ(m.faceCount(), 6);
    EXPECT_EQ(m.faces[3].v[0], 10);
    EXPECT_EQ(m.faces[3].v[1], 11);
    EXPECT_EQ(m.faces[3].v[2], 12);
    EXPECT_EQ(m.faces[4].v[1], 12);
    EXPECT_EQ(m.faces[4].v[2], 13);
    EXPECT_EQ(m.faces[5].v[1], 13);
    EXPECT_EQ(m.faces[5].v[2], 14);
    EXPECT_EQ(m.faces[3].flags, 8 | 1);      // edge 0 = 11-12
    EXPECT_EQ(m.faces[4].flags, 8 | 1);      // edge 0 = 12-13
    EXPECT_EQ(m.faces[5].flags, 8 | 2);      // edge 1 = 14-10; edge 0 (13-14) smooth
    // Without sharp list; a short sharp list counts missing entries as false.
    m.facesAdd({0, 1, 2, 3});
    EXPECT_EQ(m.faceCount(), 8);
    EXPECT_EQ(m.faces[6].flags, 8);
    EXPECT_EQ(m.faces[7].flags, 8);
    m.facesAdd({0, 1, 2, 3}, {true});
    EXPECT_EQ(m.faces[8].flags, 8 | 4);
    EXPECT_EQ(m.faces[9].flags, 8);
    for (int i = 0; i < m.faceCount(); ++i) expectDefaultMaterial(m.faces[i]);
}

TEST(MeshData, SetMaterialMasks) {
    MeshFace f(0, 1, 2);
    pbr a;
    a.colour = qel::wvec4(1, 2, 3, 4);
    a.light = qel::wvec4(5, 6, 7, 8);
    a.roughness = 32767;
    a.metalness = -32768;
    f.setMaterial(a, a, a, 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(f.material[k], kDefault);
    f.setMaterial(a, a, a, 4);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.material[k].roughness, 32766);
        EXPECT_EQ(f.material[k].metalness, 0);
        EXPECT_EQ(f.material[k].colour, kDefault.colour);
    }
    pbr b;
    b.metalness = -32767;
    b.colour = qel::wvec4(10, 20, 30, 40);
    pbr c;
    c.light = qel::wvec4(1, 1, 1, 1);
    f.setMaterial(a, b, c, 8 | 16 | 32);
    EXPECT_EQ(f.material[0].metalness, -32766);
    EXPECT_EQ(f.material[1].metalness, -32766);
    EXPECT_EQ(f.material[1].colour, qel::wvec4(65535, 65535, 65535, 40));  // alpha only
    EXPECT_EQ(f.material[2].light, qel::wvec4(0, 0, 0, 1));                 // thickness only
    f.setMaterial(b, b, b, 1 | 2);
    EXPECT_EQ(f.material[0].colour, qel::wvec4(10, 20, 30, 4));
    EXPECT_EQ(f.material[0].light, qel::wvec4(0, 0, 0, 8));
}

TEST(MeshData, DeselectAllClearsListedRecordsOnly) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra());
    // Empty selection: the marks still move to the current counts.
    m->vertexMark = m->faceMark = -5;
    m->deselectAll();
    EXPECT_EQ(m->vertexMark, 4);
    EXPECT_EQ(m->faceMark, 4);

    m->vertices[1].flags |= MeshVertex::SelectedBit;
    m->vertices[1].selection = 0;
    m->vertices[2].flags |= MeshVertex::SelectedBit;  // selected but not listed
    m->vertices[2].selection = 7;
    m->selectedVertices = {1, 99};  // an index past the end is skipped
    m->faces[0].flags |= MeshFace::SelectedBit | MeshFace::VisitedBit | MeshFace::MarkBit;
    m->faces[3].flags |= MeshFace::SelectedBit;  // not listed
    m->selectedFaces = {0, -3};
    m->influences.resize(3);
    m->sectorInfluences.resize(2);
    m->sectorHeads = {0, 1};
    m->displacements.resize(2);
    m->scratch0 = {1, 2};
    m->scratch1 = {3};
    m->vertexAdd(vec3(5, 5, 5));
    m->deselectAll();
    EXPECT_EQ(m->vertices[1].flags & MeshVertex::SelectedBit, 0);
    EXPECT_EQ(m->vertices[1].selection, -1);
    EXPECT_NE(m->vertices[2].flags & MeshVertex::SelectedBit, 0);
    EXPECT_EQ(m->vertices[2].selection, 7);
    EXPECT_EQ(m->faces[0].flags & (MeshFace::SelectedBit | MeshFace::VisitedBit), 0);
    EXPECT_NE(m->faces[0].flags & MeshFace::MarkBit, 0);
    EXPECT_NE(m->faces[3].flags & MeshFace::SelectedBit, 0);
    EXPECT_TRUE(m->selectedVertices.empty());
    EXPECT_TRUE(m->selectedFaces.empty());
    EXPECT_TRUE(m->influences.empty());
    EXPECT_TRUE(m->sectorInfluences.empty());
    EXPECT_TRUE(m->sectorHeads.empty());
    EXPECT_TRUE(m->displacements.empty());
    EXPECT_EQ(m->scratch0.size(), 2u);
    EXPECT_EQ(m->scratch1.size(), 1u);
    EXPECT_EQ(m->vertexMark, 5);
    EXPECT_EQ(m->faceMark, 4);
}

TEST(MeshData, InitEmptiesTheMesh) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    m->centre = vec3(1, 2, 3);
    m->setSize(4);
    m->status = 1;
    m->updateStamp = 9;
    m->needsCompaction = 1;
    m->vbo = 5;
    m->selectedFaces = {0};
    m->faces[0].flags |= MeshFace::SelectedBit;
    m->init();
    EXPECT_EQ(m->vertexCount(), 0);
    EXPECT_EQ(m->faceCount(), 0);
    EXPECT_EQ(m->centre, vec3(0, 0, 0));
    EXPECT_EQ(m->size(), 1.0f);
    EXPECT_EQ(m->status, 0);
    EXPECT_EQ(m->updateStamp, 0u);
    EXPECT_EQ(m->needsCompaction, 0);
    EXPECT_EQ(m->vbo, 0u);
    EXPECT_TRUE(m->selectedFaces.empty());
    EXPECT_EQ(m->faceMark, 0);
}

TEST(MeshData, SizeIsNeverZero) {
    Mesh m;
    m.setSize(0.0f);
    EXPECT_EQ(m.size(), 1.0f);
    Mesh copy(&m, qel::mat4::Identity());
    EXPECT_EQ(copy.size(), 1.0f);
}

Mesh* meshWithState() {
    Mesh* m = meshtest::makeStrip(true);
    m->centre = vec3(1, 0, 0);
    m->setSize(2.0f);
    m->transparent = 1;
    m->status = 1;
    m->refCount = 3;
    m->id = 4;
    m->vbo = 11;
    m->featureVbo = 12;
    m->featureCount = 6;
    m->vboEnabled = 1;
    m->topologyChanged = 1;
    m->refill[2] = 1;
    m->vboOffsets[5] = 30;
    m->drawCount = 9;
    m->vertexMark = 2;
    m->faceMark = 1;
    m->recordedFaceCount = 3;
    m->selectedFaces = {2};
    m->faces[2].flags |= MeshFace::SelectedBit;
    m->influences.push_back({1, 0.5f, vec3(1, 1, 1)});
    m->scratch1 = {4, 5};
    m->needsCompaction = 1;
    return m;
}

TEST(MeshCopy, CopyConstructorCopiesFieldsButNotGlNames) {
    std::unique_ptr<Mesh> src(meshWithState());
    {
        Mesh c(*src);
        EXPECT_EQ(c.vbo, 0u);
        EXPECT_EQ(c.featureVbo, 0u);
        EXPECT_EQ(c.vboEnabled, 0);
        EXPECT_EQ(c.refCount, 0);
        EXPECT_EQ(c.id, -1);
        EXPECT_EQ(c.centre, vec3(1, 0, 0));
        EXPECT_EQ(c.size(), 2.0f);
        EXPECT_EQ(c.transparent, 1);
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.topologyChanged, 1);
        EXPECT_EQ(c.refill[2], 1);
        EXPECT_EQ(c.vboOffsets[5], 30u);
        EXPECT_EQ(c.drawCount, 9);
        EXPECT_EQ(c.vertexMark, 2);
        EXPECT_EQ(c.faceMark, 1);
        EXPECT_EQ(c.recordedFaceCount, 3);
        EXPECT_EQ(c.selectedFaces, std::vector<int>{2});
        ASSERT_EQ(c.influences.size(), 1u);
        EXPECT_EQ(c.influences[0].t, 0.5f);
        EXPECT_EQ(c.scratch1, (std::vector<int>{4, 5}));
        EXPECT_EQ(c.needsCompaction, 1);
        ASSERT_EQ(c.faceCount(), 3);
        ASSERT_EQ(c.vertexCount(), 5);
        EXPECT_EQ(c.faces[1].f[1], 2);
        EXPECT_NE(c.faces[2].flags & MeshFace::SelectedBit, 0);
        // Deep copy.
        c.vertices[0].position = vec3(7, 7, 7);
        EXPECT_EQ(src->vertices[0].position, vec3(0, 0, 0));
    }
    // The source keeps its buffers.
    EXPECT_EQ(src->vbo, 11u);
    EXPECT_EQ(src->featureVbo, 12u);
    dropFakeNames(*src);
}

TEST(MeshCopy, AssignmentCopiesFieldsButNotGlNames) {
    std::unique_ptr<Mesh> src(meshWithState());
    std::unique_ptr<Mesh> dst(meshtest::makeTetra());
    dst->refCount = 2;
    dst->id = 8;
    *dst = *src;
    EXPECT_EQ(dst->vbo, 0u);
    EXPECT_EQ(dst->featureVbo, 0u);
    EXPECT_EQ(dst->refCount, 2);  // the holders of the target stay
    EXPECT_EQ(dst->id, 8);
    EXPECT_EQ(dst->faceCount(), 3);
    EXPECT_EQ(dst->vertexCount(), 5);
    EXPECT_EQ(dst->size(), 2.0f);
    EXPECT_EQ(dst->selectedFaces, std::vector<int>{2});
    // Self-assignment keeps the mesh unchanged.
    Mesh& alias = *src;
    *src = alias;
    EXPECT_EQ(src->vbo, 11u);
    EXPECT_EQ(src->faceCount(), 3);
    EXPECT_EQ(src->faces[0].f[1], 1);
    dropFakeNames(*src);
}

TEST(MeshCopy, CloneHasNoBuffersAndNoHolders) {
    std::unique_ptr<Mesh> src(meshWithState());
    std::unique_ptr<Mesh> c(src->clone());
    EXPECT_EQ(c->vbo, 0u);
    EXPECT_EQ(c->featureVbo, 0u);
    EXPECT_EQ(c->refCount, 0);
    EXPECT_EQ(c->faceCount(), 3);
    EXPECT_EQ(src->vbo, 11u);
    EXPECT_EQ(src->refCount, 3);
    dropFakeNames(*src);
    // unshare of a shared mesh gives a clone.
    Mesh held;
    held.refCount = 2;
    qel::Element* u = held.unshare();
    EXPECT_NE(u, &held);
    EXPECT_EQ(u->refCount, 0);
    delete u;
}

TEST(MeshCopy, MatrixCopyMapsPositionsThroughLocalMatrix) {
    std::unique_ptr<Mesh> src(meshWithState());  // centre (1,0,0), size 2
    // Translation by (10, 0, 0); the last row divides every point by 2.
    qel::mat4 m = qel::mat4::Translation(10, 0, 0);
    m[15] = 2.0f;
    Mesh c(src.get(), m);
    EXPECT_EQ(c.centre, vec3(0, 0, 0));
    EXPECT_EQ(c.size(), 1.0f);
    EXPECT_EQ(c.vbo, 0u);
    ASSERT_EQ(c.vertexCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const vec3 p = src->vertices[i].position;
        const vec3 local = (p - vec3(1, 0, 0)) / 2.0f;
        const vec3 expected = (local + vec3(10, 0, 0)) / 2.0f;
        EXPECT_FLOAT_EQ(c.vertices[i].position.x, expected.x) << i;
        EXPECT_FLOAT_EQ(c.vertices[i].position.y, expected.y) << i;
        EXPECT_FLOAT_EQ(c.vertices[i].position.z, expected.z) << i;
    }
    // Records otherwise unchanged (normals are not recomputed).
    EXPECT_EQ(c.faces[0].normal, src->faces[0].normal);
    EXPECT_EQ(c.faces[1].f[2], 0);
    dropFakeNames(*src);
    Mesh none(nullptr, m);
    EXPECT_EQ(none.vertexCount(), 0);
    EXPECT_EQ(none.size(), 1.0f);
}

TEST(MeshAppend, AppendOffsetsIndicesLinksAndStoredFaces) {
    std::unique_ptr<Mesh> a(meshtest::makeQuad());  // 4 vertices, 2 faces
    std::unique_ptr<Mesh> b(meshtest::makeStrip());  // 5 vertices, 3 faces
    b->vertices[4].face = -1;
    a->append(b.get());
    ASSERT_EQ(a->vertexCount(), 9);
    ASSERT_EQ(a->faceCount(), 5);
    EXPECT_EQ(a->vertices[4].position, b->vertices[0].position);
    EXPECT_EQ(a->vertices[4].face, b->vertices[0].face + 2);
    EXPECT_EQ(a->vertices[8].face, -1);  // -1 stays -1
    EXPECT_EQ(a->vertices[4].flags, b->vertices[0].flags);
    // F1 of the strip = (0, 2, 3) links (-1, 2, 0) -> face 3 = (4, 6, 7) links (-1, 4, 2).
    const MeshFace& f = a->faces[3];
    EXPECT_EQ(f.v[0], 4);
    EXPECT_EQ(f.v[1], 6);
    EXPECT_EQ(f.v[2], 7);
    EXPECT_EQ(f.f[0], -1);
    EXPECT_EQ(f.f[1], 4);
    EXPECT_EQ(f.f[2], 2);
    EXPECT_TRUE(meshtest::linksConsistent(*a));
    // The first mesh is untouched and the appended part walks as before.
    EXPECT_EQ(a->faces[0].f[1], 1);
    std::vector<int> ring;
    a->findNeighbours(4, ring);
    EXPECT_EQ(ring, (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(b->vertexCount(), 5);  // the other mesh is not changed
    a->append(nullptr);
    EXPECT_EQ(a->vertexCount(), 9);
}

TEST(MeshAppend, AppendToItselfDoubles) {
    std::unique_ptr<Mesh> a(meshtest::makeQuad());
    a->append(a.get());
    ASSERT_EQ(a->vertexCount(), 8);
    ASSERT_EQ(a->faceCount(), 4);
    EXPECT_EQ(a->faces[2].v[0], 4);
    EXPECT_EQ(a->faces[2].f[1], 3);
    EXPECT_EQ(a->faces[3].f[2], 2);
    EXPECT_EQ(a->faces[3].f[0], -1);
    EXPECT_TRUE(meshtest::linksConsistent(*a));
}

TEST(MeshAppend, UnionOfTwoMeshes) {
    std::unique_ptr<Mesh> a(meshtest::makeQuad());
    std::unique_ptr<Mesh> b(meshtest::makeTetra());
    a->centre = vec3(0, 0, 1);
    a->setSize(2.0f);
    b->centre = vec3(1, 1, 1);
    a->vbo = 3;
    Mesh u(a.get(), b.get());
    EXPECT_EQ(u.vbo, 0u);
    EXPECT_EQ(u.centre, vec3(0, 0, 0));
    EXPECT_EQ(u.size(), 1.0f);
    ASSERT_EQ(u.vertexCount(), 8);
    ASSERT_EQ(u.faceCount(), 6);
    EXPECT_EQ(u.vertices[2].position, vec3(0.5f, 0.5f, -0.5f));  // (p - c) / size
    EXPECT_EQ(u.vertices[4].position, vec3(-1, -1, -1));
    EXPECT_EQ(u.vertices[7].position, vec3(-1, -1, 0));
    // Tetra F2 = (1, 2, 3) links (3, 1, 0) -> (5, 6, 7) links (5, 3, 2).
    EXPECT_EQ(u.faces[4].v[0], 5);
    EXPECT_EQ(u.faces[4].f[0], 5);
    EXPECT_EQ(u.faces[4].f[1], 3);
    EXPECT_EQ(u.faces[4].f[2], 2);
    EXPECT_EQ(u.vertices[4].face, b->vertices[0].face + 2);
    EXPECT_TRUE(meshtest::linksConsistent(u));
    dropFakeNames(*a);
    // A null second mesh: the copy of the first alone; null first: the second.
    Mesh onlyA(a.get(), nullptr);
    EXPECT_EQ(onlyA.faceCount(), 2);
    Mesh onlyB(nullptr, b.get());
    EXPECT_EQ(onlyB.faceCount(), 4);
    EXPECT_EQ(onlyB.vertices[0].position, vec3(-1, -1, -1));
}

}  // namespace
