// Qel::Mesh::findFirstFace on the quad of mesh_util.h:
//
//   3 (0,1) ----- 2 (1,1)
//     |  F1     / |
//     |       /   |
//     |     /  F0 |
//   0 (0,0) ----- 1 (1,0)        stored faces: 0 -> F0, 1 -> F0, 2 -> F1, 3 -> F1

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::vec3;

namespace {

TEST(MeshPick, HitInsideThePrism) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.0f), vec3()), 0);
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.5f), vec3(9, 9, 9)), 0);  // second vector not read
    EXPECT_EQ(m->findFirstFace(vec3(0.25f, 0.75f, -0.3f)), 1);
    // Far from the surface, still inside the prism.
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 100.0f)), 0);
}

TEST(MeshPick, EdgeRule) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    // The diagonal is F0's edge from corner 2 to corner 0 (outside) and F1's
    // edge from corner 0 to corner 1 (inside).
    EXPECT_EQ(m->findFirstFace(vec3(0.5f, 0.5f, 0.0f)), 1);
    // F0's edge 0-1 (corner 0 to 1) and 1-2 (corner 1 to 2) are inside.
    EXPECT_EQ(m->findFirstFace(vec3(0.5f, 0.0f, 0.2f)), 0);
    EXPECT_EQ(m->findFirstFace(vec3(1.0f, 0.5f, 0.2f)), 0);
}

TEST(MeshPick, NearestPlaneWins) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    // A second quad one unit above the first, as faces 2 and 3.
    std::unique_ptr<Mesh> top(meshtest::makeQuad());
    for (int i = 0; i < 4; ++i) top->vertices[i].position.z = 1.0f;
    m->append(top.get());
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.8f)), 2);
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.2f)), 0);
    // Equal distances: the first face in index order stays.
    EXPECT_EQ(m->findFirstFace(vec3(0.75f, 0.25f, 0.5f)), 0);
    EXPECT_EQ(m->findFirstFace(vec3(0.25f, 0.75f, 0.5f)), 1);
}

TEST(MeshPick, NearestVertexFallback) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 1);    // vertex 2
    EXPECT_EQ(m->findFirstFace(vec3(2, -1, 0)), 0);   // vertex 1
    EXPECT_EQ(m->findFirstFace(vec3(-1, 2, 3)), 1);   // vertex 3
    // Equal distances to vertices 0 and 3: the first one (0, stored F0).
    EXPECT_EQ(m->findFirstFace(vec3(-1, 0.5f, 0)), 0);
    // Faces with a zero normal and inactive faces are not hit.
    m->faces[0].normal = vec3(0, 0, 0);
    EXPECT_EQ(m->findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);  // nearest vertex 2
    EXPECT_EQ(m->findFirstFace(vec3(0.9f, 0.3f, 0.1f)), 0);  // nearest vertex 1
    m->faces[0].normal = vec3(0, 0, 1);
    m->faces[0].flags &= ~MeshFace::ActiveBit;
    EXPECT_EQ(m->findFirstFace(vec3(0.9f, 0.6f, 0.1f)), 1);
    // Inactive vertices are not candidates.
    m->faces[0].flags |= MeshFace::ActiveBit;
    m->vertices[2].flags &= ~qel::MeshVertex::ActiveBit;
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 0);  // vertex 1 is nearest now
}

TEST(MeshPick, NothingToPick) {
    Mesh empty;
    EXPECT_EQ(empty.findFirstFace(vec3(0, 0, 0)), -1);
    Mesh points;
    points.vertexAdd(vec3(0, 0, 0));
    points.vertexAdd(vec3(1, 0, 0));
    EXPECT_EQ(points.findFirstFace(vec3(0, 0, 0)), -1);
    // A vertex whose stored face is not a usable face is passed over.
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    m->vertices[2].face = 17;
    EXPECT_EQ(m->findFirstFace(vec3(5, 5, 0)), 0);  // next nearest: vertex 1 or 3
}

}  // namespace
