// Topology queries and region walks on the hand-built meshes of mesh_util.h.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshVertex;
using qel::pbr;
using V = std::vector<int>;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;
constexpr std::uint8_t kActive = MeshVertex::ActiveBit;

// findEdge's (face, edge), or (-1, -1) when it finds none.
std::pair<int, int> edge(const Mesh& m, int a, int b) {
    int f = -1, k = -1;
    return m.findEdge(a, b, f, k) ? std::make_pair(f, k) : std::make_pair(-1, -1);
}

TEST(MeshTopology, QuadRingsBorderAndEdges) {
    MeshPtr m(meshtest::makeQuad());
    // Each border vertex stores the face whose backward edge is open; no corner.
    EXPECT_EQ((V{m->vertices[0].face, m->vertices[1].face, m->vertices[2].face, m->vertices[3].face}), (V{0, 0, 1, 1}));
    for (int v = 0; v < 4; ++v) EXPECT_EQ(m->vertices[v].flags, kActive | kSharp | kBorder) << v;
    V ring, faces, crossings, ks;
    EXPECT_EQ(m->findNeighbours(0, ring, faces, crossings), 3);
    EXPECT_EQ(ring, (V{1, 2, 3}));
    EXPECT_EQ(faces, (V{0, 1, -1}));
    EXPECT_EQ(crossings, (V{0, 2}));
    EXPECT_EQ(m->findFKNeighbours(2, faces, ks), 2);
    EXPECT_EQ(faces, (V{1, 0}));
    EXPECT_EQ(ks, (V{1, 2}));
    EXPECT_EQ(m->findVBorder(0), 3);  // the border runs 0 -> 3 -> 2 -> 1
    EXPECT_EQ(m->Border(2, ring), 4);
    EXPECT_EQ(ring, (V{2, 1, 0, 3}));
    // The diagonal from either end; the last ring vertex of an open fan.
    EXPECT_EQ(edge(*m, 0, 2), std::make_pair(1, 2));
    EXPECT_EQ(edge(*m, 2, 0), std::make_pair(0, 1));
    EXPECT_EQ(edge(*m, 0, 3), std::make_pair(1, 1));
    EXPECT_EQ(edge(*m, 1, 3), std::make_pair(-1, -1));  // no edge
}

TEST(MeshTopology, SectorsOfABorderVertex) {
    MeshPtr plain(meshtest::makeStrip());
    V faces;
    // Without sharp edges the sector of a border vertex is its fan.
    EXPECT_EQ(plain->findStartRegion(0, 2), 0);
    EXPECT_EQ(plain->findRegion(0, 0, faces), 3);
    EXPECT_EQ(plain->findBorderedRegion(0, 1, faces), 2);  // from the given face on
    EXPECT_EQ(faces, (V{0, 1}));
    EXPECT_EQ(plain->FindBorderedRegion(0, 1, faces), 3);  // the whole fan

    // The sharp edge 0-2 parts the fan into {F0} and {F1, F2}; 0 is a corner.
    MeshPtr m(meshtest::makeStrip(true));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kBorder | kCorner);
    V ring, crossings;
    m->findNeighbours(0, ring, faces, crossings);
    EXPECT_EQ(crossings, (V{0, 1, 3}));
    EXPECT_EQ(m->findStartRegion(0, 2), 1);
    EXPECT_EQ(m->findRegion(0, 1, faces), 2);
    EXPECT_EQ(faces, (V{1, 2}));
    EXPECT_EQ(m->findVStartRegion(0, 2), 2);  // far end of the sharp edge 0-2
    EXPECT_EQ(m->findVEndRegion(0, 0), 2);
    EXPECT_EQ(m->FindBorderedRegion(0, 2, faces), 3);  // border walks ignore the sharp edge
    // Painting stops at the sharp edge and touches only the corner of v.
    pbr paint;
    paint.roughness = 500;
    m->materialRegion(0, 1, paint, pbr::MaskRoughness);
    EXPECT_EQ(m->faces[0].material[0].roughness, 0);
    EXPECT_EQ(m->faces[2].material[0].roughness, 500);
    EXPECT_EQ(m->faces[1].material[1].roughness, 0);
}

TEST(MeshTopology, ClosedFanAndCornerOfTheTetrahedron) {
    MeshPtr m(meshtest::makeTetra());
    V faces, ring, crossings;
    EXPECT_EQ(m->vertices[0].face, 3);
    EXPECT_EQ(m->findNeighbours(0, ring, faces, crossings), 3);
    EXPECT_EQ(ring, (V{3, 2, 1}));
    EXPECT_EQ(faces, (V{3, 0, 1}));
    EXPECT_TRUE(crossings.empty());
    EXPECT_EQ(m->FindBorderedRegion(0, 1, faces), 3);
    EXPECT_EQ(faces, (V{1, 3, 0}));

    MeshPtr c(meshtest::makeTetra(true, false));  // three sectors of one face each at 0
    EXPECT_EQ(c->vertices[0].flags, kActive | kSharp | kCorner);
    for (const int f : {0, 1, 3}) {
        EXPECT_EQ(c->findStartRegion(0, f), f);
        EXPECT_EQ(c->findRegion(0, f, faces), 1);
    }
    EXPECT_EQ(c->findVStartRegion(0, 0), 2);
    // 1 ends one crease: sharp, not a corner, its sector is the whole fan.
    EXPECT_EQ(c->vertices[1].flags, kActive | kSharp);
    EXPECT_EQ(c->findRegion(1, 0, faces), 3);
}

TEST(MeshTopology, FeatureLines) {
    MeshPtr m(meshtest::makeTetra(true, false));
    V line;
    EXPECT_EQ(m->Feature(1, line, true), 2);  // from the crease end to the corner
    EXPECT_EQ(line, (V{1, 0}));
    EXPECT_EQ(m->Feature(1, line, false), 6);  // on past the corner, out and back each crease
    EXPECT_EQ(line, (V{1, 0, 2, 0, 3, 0}));
    int v = 1, f = 0, k = 1;  // a dead end: back along the arrival edge
    EXPECT_EQ(m->findVNext(v, f, k), 0);
    EXPECT_EQ(std::make_pair(f, k), std::make_pair(1, 2));

    MeshPtr loop(meshtest::makeTetra(false, true));  // a closed line: no corner to stop at
    EXPECT_EQ(loop->Feature(1, line, false), 3);
    EXPECT_EQ(line, (V{1, 2, 3}));
    EXPECT_EQ(loop->Feature(2, line, true, 2), 3);  // started in F2
    EXPECT_EQ(line, (V{2, 3, 1}));

    MeshPtr h(meshtest::makeHexagon({1, 4}));  // crease 1-0-4; 1 and 4 corners
    EXPECT_EQ(h->Feature(0, line, true), 3);
    EXPECT_EQ(line, (V{1, 0, 4}));
}

TEST(MeshTopology, HexagonSectorsAndPainting) {
    MeshPtr m(meshtest::makeHexagon({1, 3, 5}));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kCorner);
    V ring, faces, crossings;
    m->findNeighbours(0, ring, faces, crossings);
    EXPECT_EQ(ring, (V{5, 6, 1, 2, 3, 4}));
    EXPECT_EQ(crossings, (V{0, 2, 4}));
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(m->findStartRegion(0, f), f - f % 2) << f;
        EXPECT_EQ(m->findEndRegion(0, f), f - f % 2 + 1) << f;
    }
    pbr paint;
    paint.metalness = 77;
    m->materialRegion(0, 2, paint, pbr::MaskMetalness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(m->faces[f].material[0].metalness, (f == 2 || f == 3) ? 77 : 0) << f;

    // One sharp spoke: a closed fan is painted once round; a walk started
    // mid-sector stops at the sharp edge.
    MeshPtr one(meshtest::makeHexagon({1}));
    EXPECT_FALSE(one->corner(0));
    paint.roughness = 9;
    one->materialRegion(0, 0, paint, pbr::MaskRoughness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(one->faces[f].material[0].roughness, 9) << f;
    paint.roughness = 1;
    one->materialRegion(0, 3, paint, pbr::MaskRoughness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(one->faces[f].material[0].roughness, f >= 3 ? 1 : 9) << f;
}

TEST(MeshTopology, EdgeSharpAndVertexUpdate) {
    MeshPtr m(meshtest::makeHexagon());
    m->edgeSharp(0, 5, true);  // spoke 0-1
    EXPECT_TRUE(m->faces[0].isSharp(2) && m->faces[5].isSharp(1));
    EXPECT_TRUE(m->vertices[0].isSharp() && m->vertices[1].isSharp());
    EXPECT_EQ(m->vertexUpdate(0), 0);  // the face whose backward edge is sharp
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp);
    // Clearing: the vertex keeps its bits until vertexUpdate.
    m->vertices[0].flags |= kCorner;
    m->edgeSharp(5, 0, false);
    EXPECT_FALSE(m->faces[0].isSharp(2) || m->faces[5].isSharp(1));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kCorner);
    EXPECT_EQ(m->vertexUpdate(0), 0);
    EXPECT_EQ(m->vertices[0].flags, kActive);
    m->vertices[2].face = 0;  // a rim vertex: the face with the open backward edge
    m->vertices[2].flags = kActive;
    EXPECT_EQ(m->vertexUpdate(2), 1);
    EXPECT_EQ(m->vertices[2].flags, kActive | kSharp | kBorder);
}

}  // namespace
