// Mesh::findFirstFace on the quad of mesh_util.h: the face whose prism holds
// the point, else the stored face of the nearest vertex.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::vec3;

namespace {

TEST(MeshPick, HitInsideThePrismAndOnItsEdges) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.5f), vec3(9, 9, 9)), 0);  // second vector not read
    EXPECT_EQ(m->findFirstFace(vec3(0.25f, 0.75f, -0.3f)), 1);
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 100.0f)), 0);
    // The diagonal is outside F0 (corner 2 to 0) and inside F1 (corner 0 to 1).
    EXPECT_EQ(m->findFirstFace(vec3(0.5f, 0.5f, 0.0f)), 1);
    EXPECT_EQ(m->findFirstFace(vec3(1.0f, 0.5f, 0.2f)), 0);

    // A second quad one unit above: the nearest plane wins, ties the first face.
    std::unique_ptr<Mesh> top(meshtest::makeQuad());
    for (int i = 0; i < 4; ++i) top->vertices[i].position.z = 1.0f;
    m->append(top.get());
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.8f)), 2);
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.5f)), 0);
}

TEST(MeshPick, NearestVertexFallbackSkipsUnusableRecords) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 1);   // vertex 2
    EXPECT_EQ(m->findFirstFace(vec3(2, -1, 0)), 0);  // vertex 1
    EXPECT_EQ(m->findFirstFace(vec3(-1, 0.5f, 0)), 0);  // equally near 0 and 3: the first
    m->faces[0].normal = vec3(0, 0, 0);  // a face with a zero normal is not hit
    EXPECT_EQ(m->findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);
    m->faces[0].normal = vec3(0, 0, 1);
    m->faces[0].flags &= ~MeshFace::ActiveBit;  // nor an inactive face
    EXPECT_EQ(m->findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);
    m->faces[0].flags |= MeshFace::ActiveBit;
    m->vertices[2].flags &= ~qel::MeshVertex::ActiveBit;  // inactive vertices are no candidates
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 0);
    m->vertices[2].flags |= qel::MeshVertex::ActiveBit;
    m->vertices[2].face = 17;  // nor a vertex whose stored face is out of range
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 0);

    EXPECT_EQ(Mesh().findFirstFace(vec3(0, 0, 0)), -1);
    Mesh points;
    points.vertexAdd(vec3(0, 0, 0));
    EXPECT_EQ(points.findFirstFace(vec3(0, 0, 0)), -1);
}

}  // namespace
