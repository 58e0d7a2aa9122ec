// Topology queries and region walks on the hand-built meshes of mesh_util.h.

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;
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
    int f = 7, k = 8;  // no edge: false, f and k unchanged
    EXPECT_FALSE(m->findEdge(1, 3, f, k));
    EXPECT_EQ(std::make_pair(f, k), std::make_pair(7, 8));
    std::vector<vec3> out;
    m->triangle(1, out);
    EXPECT_EQ(out, (std::vector<vec3>{vec3(0, 0, 0), vec3(1, 1, 0), vec3(0, 1, 0)}));
    m->segment(0, 4, out);
    EXPECT_TRUE(out.empty());
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
    EXPECT_EQ(plain->Border(0, faces), 5);
    EXPECT_EQ(faces, (V{0, 4, 3, 2, 1}));

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
    EXPECT_EQ(m->Border(0, ring), 0);
    EXPECT_EQ(m->findVStartRegion(0, 1), -1);  // not sharp
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
    EXPECT_EQ(h->Feature(0, line, false, 0), 5);  // round the open rim
    EXPECT_EQ(line, (V{0, 1, 2, 3, 4}));
}

TEST(MeshTopology, TouchingFansAreWalkedOneAtATime) {
    MeshPtr m(meshtest::makeBowtie());
    V faces, ring;
    EXPECT_EQ(m->findFNeighbours(0, faces), 1);  // only the stored fan is visible
    EXPECT_EQ(faces, V{1});
    EXPECT_EQ(m->FindBorderedRegion(0, 0, faces), 1);
    EXPECT_EQ(faces, V{0});
    EXPECT_EQ(edge(*m, 0, 1), std::make_pair(-1, -1));  // in the other fan
    EXPECT_EQ(edge(*m, 1, 0), std::make_pair(0, 2));
    // From 1 the border reaches 0, whose stored fan is the other triangle:
    // the walk never returns to 1 and stops after vertex-count entries.
    EXPECT_EQ(m->Border(1, ring), 6);
    EXPECT_EQ(ring, (V{1, 0, 4, 3, 0, 4}));
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
    m->edgeSharp(0, 3, true);  // not neighbours: nothing happens
    EXPECT_EQ(m->faces[0].flags & MeshFace::SharpMask, 0);
    m->vertices[2].face = 0;  // a rim vertex: the face with the open backward edge
    m->vertices[2].flags = kActive;
    EXPECT_EQ(m->vertexUpdate(2), 1);
    EXPECT_EQ(m->vertices[2].flags, kActive | kSharp | kBorder);
}

TEST(MeshTopologyRobustness, OutOfRangeArguments) {
    MeshPtr m(meshtest::makeStrip(true));
    V list{1, 2}, ring{1}, faces{1}, crossings{1};
    for (int v : {-1, 5, 1 << 30}) {
        int f = 3, k = 4, vv = v, ff = 0, kk = 1;
        EXPECT_FALSE(m->corner(v) || m->findEdge(v, 0, f, k) || m->findEdge(0, v, f, k));
        EXPECT_EQ(std::make_pair(f, k), std::make_pair(3, 4));
        EXPECT_EQ((V{m->vertexUpdate(v), m->findStartRegion(v, 0), m->findEndRegion(v, 0), m->findVStartRegion(v, 0),
                     m->findVEndRegion(v, 0), m->findBorder(v, 0), m->findVBorder(v), m->findVNext(vv, ff, kk)}),
                  V(8, -1));
        EXPECT_EQ(vv, v);
        EXPECT_EQ((V{m->findFNeighbours(v, list), m->findFKNeighbours(v, list, faces), m->findNeighbours(v, ring),
                     m->findNeighbours(v, ring, faces), m->findNeighbours(v, ring, faces, crossings),
                     m->vertexNeighbours(v), m->findRegion(v, 0, list), m->findBorderedRegion(v, 0, list),
                     m->FindBorderedRegion(v, 0, list), m->Feature(v, list, true), m->Border(v, list)}),
                  V(11, 0));
        EXPECT_TRUE(list.empty() && ring.empty() && faces.empty() && crossings.empty());
        m->materialRegion(v, 0, pbr(), 63);
    }
    for (int f : {-1, 3, 1 << 30}) {  // vertex 0 is sharp and border: the face argument is used
        int vv = 0, ff = f, kk = 1;
        EXPECT_EQ((V{m->findStartRegion(0, f), m->findEndRegion(0, f), m->findVStartRegion(0, f),
                     m->findVEndRegion(0, f), m->findBorder(0, f), m->findVNext(vv, ff, kk)}),
                  V(6, -1));
        EXPECT_EQ((V{m->findRegion(0, f, list), m->findBorderedRegion(0, f, list), m->FindBorderedRegion(0, f, list)}),
                  V(3, 0));
        if (f >= 0) {  // -1 means: start from the stored face
            EXPECT_EQ(m->Feature(0, list, true, f), 0);
        }
        m->materialRegion(0, f, pbr(), 63);
        m->edgeSharp(f, 0, true);
        m->edgeSharp(0, f, true);
        std::vector<vec3> out{vec3()};
        m->triangle(f, out);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_EQ(m->findStartRegion(1, 2), -1);  // 1 is sharp (border); F2 lacks it
    for (int kk : {0, 3}) {                   // edge 0 of F0 is not at vertex 0; 3 is no edge
        int vv = 0, ff = 0;
        EXPECT_EQ(m->findVNext(vv, ff, kk), -1);
    }
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faces[0].flags, 8 | 2);  // no stray marks from the calls above
}

TEST(MeshTopologyRobustness, StoredFaceMinusOneAndInactiveRecords) {
    MeshPtr m(meshtest::makeHexagon());
    m->vertexAdd(vec3(5, 5, 5));  // vertex 7: stored face -1
    V list;
    EXPECT_EQ(m->vertexUpdate(7), -1);
    EXPECT_EQ(m->vertices[7].flags, kActive);
    EXPECT_EQ(m->findFNeighbours(7, list), 0);
    EXPECT_EQ(m->findStartRegion(7, 0), -1);
    m->vertices[0].flags &= ~kActive;  // an inactive vertex is not walked
    EXPECT_EQ(m->findFNeighbours(0, list), 0);
    EXPECT_EQ(m->vertexUpdate(0), -1);
    m->vertices[0].flags |= kActive;
    // An inactive face reads as a hole: the links into it are open edges.
    m->faces[2].flags &= ~MeshFace::ActiveBit;
    EXPECT_EQ(m->findFNeighbours(0, list), 3);
    EXPECT_EQ(list, (V{5, 0, 1}));
    EXPECT_EQ(m->vertexUpdate(0), 3);
    EXPECT_TRUE(m->vertices[0].isBorder());
    EXPECT_EQ(m->findFNeighbours(0, list), 5);
    EXPECT_EQ(list, (V{3, 4, 5, 0, 1}));
    m->vertices[3].face = 2;  // a stored face that is inactive: nothing
    EXPECT_EQ(m->vertexUpdate(3), -1);
    EXPECT_EQ(m->findNeighbours(3, list), 0);
}

TEST(MeshTopologyRobustness, CorruptLinkCycleTerminates) {
    MeshPtr m(meshtest::makeHexagon());
    // F1 and F2 point at each other and never lead back to F5: an unbounded
    // walk from F5 would run F0, F1, F2, F1, ... for ever.
    m->faces[2].f[1] = 1;
    V list, ring, faces, crossings;
    EXPECT_LE(m->findFNeighbours(0, list), 7);
    EXPECT_LE(m->findNeighbours(0, ring, faces, crossings), 8);
    EXPECT_LE(m->vertexNeighbours(0), 8);
    m->corner(0);
    m->vertexUpdate(0);
    int f = 0, k = 0;
    m->findEdge(0, 99, f, k);
    m->findRegion(0, 0, list);
    m->FindBorderedRegion(0, 0, list);
    m->materialRegion(0, 0, pbr(), 1);
    int vv = 0, ff = 0, kk = 1;  // a walk round a vertex with no sharp edge at all
    m->vertices[0].flags |= kSharp;
    EXPECT_GE(m->findVNext(vv, ff, kk), -1);
    m->Feature(0, list, false);
    m->Feature(0, list, true);
}

}  // namespace
