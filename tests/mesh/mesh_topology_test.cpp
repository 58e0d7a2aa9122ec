// Topology queries and region walks on the hand-built meshes of
// mesh_util.h (drawings there).

#include <gtest/gtest.h>

#include <memory>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;
using V = std::vector<int>;

namespace {

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;
constexpr std::uint8_t kActive = MeshVertex::ActiveBit;

TEST(MeshFixtures, HandWrittenLinksAreConsistent) {
    for (Mesh* m : {meshtest::makeQuad(), meshtest::makeStrip(true), meshtest::makeTetra(true, false),
                    meshtest::makeTetra(false, true), meshtest::makeBowtie(), meshtest::makeHexagon({1, 3, 5})}) {
        EXPECT_TRUE(meshtest::linksConsistent(*m));
        for (int i = 0; i < m->faceCount(); ++i) EXPECT_GT(m->faces[i].normal.z + 2.0f, 0.0f);
        delete m;
    }
}

// ---------------------------------------------------------------------------
// Quad of two triangles

TEST(MeshTopology, QuadStoredFacesAndFlags) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    // Each border vertex stores the face whose backward edge is open.
    EXPECT_EQ(m->vertices[0].face, 0);
    EXPECT_EQ(m->vertices[1].face, 0);
    EXPECT_EQ(m->vertices[2].face, 1);
    EXPECT_EQ(m->vertices[3].face, 1);
    for (int v = 0; v < 4; ++v) EXPECT_EQ(m->vertices[v].flags, kActive | kSharp | kBorder) << v;
    // Two open edges meet at every vertex: no corner.
    for (int v = 0; v < 4; ++v) EXPECT_FALSE(m->corner(v)) << v;
}

TEST(MeshTopology, QuadRingsAndBorder) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    V ring, faces, crossings;
    EXPECT_EQ(m->findNeighbours(0, ring, faces, crossings), 3);
    EXPECT_EQ(ring, (V{1, 2, 3}));
    EXPECT_EQ(faces, (V{0, 1, -1}));
    EXPECT_EQ(crossings, (V{0, 2}));
    EXPECT_EQ(m->findNeighbours(2, ring), 3);
    EXPECT_EQ(ring, (V{3, 0, 1}));
    EXPECT_EQ(m->findFNeighbours(2, faces), 2);
    EXPECT_EQ(faces, (V{1, 0}));
    V ks;
    EXPECT_EQ(m->findFKNeighbours(2, faces, ks), 2);
    EXPECT_EQ(ks, (V{1, 2}));
    EXPECT_EQ(m->vertexNeighbours(1), 2);
    EXPECT_EQ(m->vertexNeighbours(2), 3);
    // The border runs 0 -> 3 -> 2 -> 1.
    EXPECT_EQ(m->findVBorder(0), 3);
    EXPECT_EQ(m->findVBorder(3), 2);
    EXPECT_EQ(m->findVBorder(2), 1);
    EXPECT_EQ(m->findVBorder(1), 0);
    V loop;
    EXPECT_EQ(m->Border(2, loop), 4);
    EXPECT_EQ(loop, (V{2, 1, 0, 3}));
}

TEST(MeshTopology, QuadFindEdge) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    int f = 42, k = 42;
    // The diagonal 0-2: in the ring of 0 it comes from F1 (edge 2, corners
    // 0 and 2); in the ring of 2 from F0 (edge 1, corners 2 and 0).
    EXPECT_TRUE(m->findEdge(0, 2, f, k));
    EXPECT_EQ(f, 1);
    EXPECT_EQ(k, 2);
    EXPECT_TRUE(m->findEdge(2, 0, f, k));
    EXPECT_EQ(f, 0);
    EXPECT_EQ(k, 1);
    // 3 is the last ring vertex of 0's open fan: F1, the edge 3-0 (edge 1).
    EXPECT_TRUE(m->findEdge(0, 3, f, k));
    EXPECT_EQ(f, 1);
    EXPECT_EQ(k, 1);
    EXPECT_TRUE(m->findEdge(1, 0, f, k));
    EXPECT_EQ(f, 0);
    EXPECT_EQ(k, 2);
    // 1 and 3 share no edge: false, f and k unchanged.
    f = 7;
    k = 8;
    EXPECT_FALSE(m->findEdge(1, 3, f, k));
    EXPECT_EQ(f, 7);
    EXPECT_EQ(k, 8);
}

// ---------------------------------------------------------------------------
// Open strip

TEST(MeshTopology, StripBorderVertexWithThreeFaces) {
    std::unique_ptr<Mesh> m(meshtest::makeStrip());
    EXPECT_EQ(m->vertices[0].face, 0);
    V ring, faces, crossings;
    EXPECT_EQ(m->findNeighbours(0, ring, faces, crossings), 4);
    EXPECT_EQ(ring, (V{1, 2, 3, 4}));
    EXPECT_EQ(faces, (V{0, 1, 2, -1}));
    EXPECT_EQ(crossings, (V{0, 3}));
    EXPECT_EQ(m->findNeighbours(0, ring, faces), 4);
    EXPECT_EQ(faces.back(), -1);
    EXPECT_EQ(m->vertexNeighbours(0), 4);
    EXPECT_EQ(m->findVBorder(0), 4);
    EXPECT_FALSE(m->corner(0));
    int f = -1, k = -1;
    EXPECT_TRUE(m->findEdge(0, 4, f, k));  // the fan's last face, edge 4-0
    EXPECT_EQ(f, 2);
    EXPECT_EQ(k, 1);
    V loop;
    EXPECT_EQ(m->Border(0, loop), 5);
    EXPECT_EQ(loop, (V{0, 4, 3, 2, 1}));
    // Without sharp edges the sector of a border vertex is its fan.
    EXPECT_EQ(m->findStartRegion(0, 2), 0);
    EXPECT_EQ(m->findEndRegion(0, 0), 2);
    EXPECT_EQ(m->findRegion(0, 0, faces), 3);
    EXPECT_EQ(faces, (V{0, 1, 2}));
    EXPECT_EQ(m->findVStartRegion(0, 1), 1);
    EXPECT_EQ(m->findVEndRegion(0, 1), 4);
    EXPECT_EQ(m->findBorder(0, 2), 0);
    EXPECT_EQ(m->findBorderedRegion(0, 1, faces), 2);
    EXPECT_EQ(faces, (V{0, 1}));
    EXPECT_EQ(m->FindBorderedRegion(0, 1, faces), 3);
    EXPECT_EQ(faces, (V{0, 1, 2}));
}

TEST(MeshTopology, StripWithSharpMiddleEdge) {
    std::unique_ptr<Mesh> m(meshtest::makeStrip(true));
    // Vertex 0: open, sharp, open and open edges round it -> a corner.
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kBorder | kCorner);
    EXPECT_TRUE(m->corner(0));
    V ring, faces, crossings;
    m->findNeighbours(0, ring, faces, crossings);
    EXPECT_EQ(crossings, (V{0, 1, 3}));
    // Sectors: {F0} and {F1, F2}.
    EXPECT_EQ(m->findStartRegion(0, 2), 1);
    EXPECT_EQ(m->findStartRegion(0, 1), 1);
    EXPECT_EQ(m->findStartRegion(0, 0), 0);
    EXPECT_EQ(m->findEndRegion(0, 1), 2);
    EXPECT_EQ(m->findEndRegion(0, 0), 0);
    EXPECT_EQ(m->findRegion(0, 1, faces), 2);
    EXPECT_EQ(faces, (V{1, 2}));
    EXPECT_EQ(m->findRegion(0, 0, faces), 1);
    EXPECT_EQ(faces, (V{0}));
    EXPECT_EQ(m->findVStartRegion(0, 2), 2);  // far end of the sharp edge 0-2
    EXPECT_EQ(m->findVEndRegion(0, 1), 4);    // far end of the open edge 0-4
    EXPECT_EQ(m->findVStartRegion(0, 0), 1);
    EXPECT_EQ(m->findVEndRegion(0, 0), 2);
    // Border walks ignore the sharp edge.
    EXPECT_EQ(m->findBorder(0, 2), 0);
    EXPECT_EQ(m->findBorderedRegion(0, 2, faces), 3);
    EXPECT_EQ(faces, (V{0, 1, 2}));
    EXPECT_EQ(m->FindBorderedRegion(0, 2, faces), 3);
    EXPECT_EQ(faces, (V{0, 1, 2}));
    // Not a sharp vertex: the stored face; -1 for findV*Region.
    EXPECT_EQ(m->vertices[4].flags & kCorner, 0);
}

TEST(MeshTopology, StripMaterialRegionStopsAtSharpEdge) {
    std::unique_ptr<Mesh> m(meshtest::makeStrip(true));
    pbr paint;
    paint.roughness = 500;
    paint.colour = qel::wvec4(1, 2, 3, 4);
    m->materialRegion(0, 1, paint, pbr::MaskRoughness);
    EXPECT_EQ(m->faces[0].material[0].roughness, 0);
    EXPECT_EQ(m->faces[1].material[0].roughness, 500);
    EXPECT_EQ(m->faces[2].material[0].roughness, 500);
    EXPECT_EQ(m->faces[1].material[1].roughness, 0);  // only the corner of v
    EXPECT_EQ(m->faces[1].material[0].colour, pbr().colour);
}

// ---------------------------------------------------------------------------
// Closed tetrahedron

TEST(MeshTopology, TetraClosedFan) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra());
    EXPECT_EQ(m->vertices[0].face, 3);
    EXPECT_EQ(m->vertices[0].flags, kActive);
    V faces;
    EXPECT_EQ(m->findFNeighbours(0, faces), 3);
    EXPECT_EQ(faces, (V{3, 0, 1}));
    V ring, crossings;
    EXPECT_EQ(m->findNeighbours(0, ring, faces, crossings), 3);
    EXPECT_EQ(ring, (V{3, 2, 1}));
    EXPECT_EQ(faces, (V{3, 0, 1}));
    EXPECT_TRUE(crossings.empty());
    EXPECT_EQ(m->vertexNeighbours(0), 3);
    EXPECT_FALSE(m->corner(0));
    EXPECT_EQ(m->findVBorder(0), -1);
    V loop{9};
    EXPECT_EQ(m->Border(0, loop), 0);
    EXPECT_TRUE(loop.empty());
    // Not sharp: sector walks give the stored face / all faces.
    EXPECT_EQ(m->findStartRegion(0, 1), 3);
    EXPECT_EQ(m->findEndRegion(0, 1), 3);
    EXPECT_EQ(m->findVStartRegion(0, 1), -1);
    EXPECT_EQ(m->findVEndRegion(0, 1), -1);
    EXPECT_EQ(m->findBorder(0, 1), 3);
    EXPECT_EQ(m->findRegion(0, 1, faces), 3);
    EXPECT_EQ(faces, (V{3, 0, 1}));
    EXPECT_EQ(m->findBorderedRegion(0, 1, faces), 3);
    EXPECT_EQ(faces, (V{3, 0, 1}));
    EXPECT_EQ(m->FindBorderedRegion(0, 1, faces), 3);
    EXPECT_EQ(faces, (V{1, 3, 0}));
    V line{5};
    EXPECT_EQ(m->Feature(0, line, true), 0);
    EXPECT_TRUE(line.empty());
    int f = -1, k = -1;
    EXPECT_TRUE(m->findEdge(2, 3, f, k));
    EXPECT_EQ(f, 2);  // F2 = (1, 2, 3), edge 0 = 2-3
    EXPECT_EQ(k, 0);
}

TEST(MeshTopology, TetraCornerWithThreeSharpEdges) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra(true, false));
    EXPECT_TRUE(m->corner(0));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kCorner);
    EXPECT_EQ(m->vertices[0].face, 3);  // backward edge 0-3 of F3 is sharp
    V ring, faces, crossings;
    m->findNeighbours(0, ring, faces, crossings);
    EXPECT_EQ(crossings, (V{0, 1, 2}));
    // Three sectors of one face each.
    for (int f : {0, 1, 3}) {
        EXPECT_EQ(m->findStartRegion(0, f), f);
        EXPECT_EQ(m->findEndRegion(0, f), f);
        EXPECT_EQ(m->findRegion(0, m->findStartRegion(0, f), faces), 1);
        EXPECT_EQ(faces, V{f});
    }
    EXPECT_EQ(m->findVStartRegion(0, 0), 2);  // F0 = (0, 2, 1): backward edge 0-2
    EXPECT_EQ(m->findVEndRegion(0, 0), 1);    // forward edge 1-0
    // Vertex 1 ends one crease: sharp, not a corner; stores F0 (backward edge 1-0).
    EXPECT_EQ(m->vertices[1].flags, kActive | kSharp);
    EXPECT_EQ(m->vertices[1].face, 0);
    EXPECT_FALSE(m->corner(1));
    // Sharp vertex of a closed fan with one sharp edge: its sector is the fan.
    EXPECT_EQ(m->findRegion(1, 0, faces), 3);
    EXPECT_EQ(faces, (V{0, 2, 1}));
}

TEST(MeshTopology, TetraFeatureLines) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra(true, false));
    V line;
    // From the dangling end 1 to the corner 0; no second half.
    EXPECT_EQ(m->Feature(1, line, true), 2);
    EXPECT_EQ(line, (V{1, 0}));
    // Without stopping at corners the walk turns at 0 onto the next crease,
    // runs out to its dangling end and back, until it is back at 1.
    EXPECT_EQ(m->Feature(1, line, false), 6);
    EXPECT_EQ(line, (V{1, 0, 2, 0, 3, 0}));

    std::unique_ptr<Mesh> loop(meshtest::makeTetra(false, true));
    for (int v = 1; v <= 3; ++v) EXPECT_EQ(loop->vertices[v].flags, kActive | kSharp) << v;
    // Backward circling from the last face using the vertex to the first
    // face whose backward edge is sharp: 1 -> F2, 2 -> F0 (from F3), 3 -> F3.
    EXPECT_EQ(loop->vertices[1].face, 2);
    EXPECT_EQ(loop->vertices[2].face, 0);
    EXPECT_EQ(loop->vertices[3].face, 3);
    EXPECT_EQ(loop->Feature(1, line, false), 3);
    EXPECT_EQ(line, (V{1, 2, 3}));
    // A closed line: no corner to stop at. Vertex 2's start sector lies in
    // F0, on the other side of the loop, so the walk runs the other way.
    EXPECT_EQ(loop->Feature(2, line, true), 3);
    EXPECT_EQ(line, (V{2, 1, 3}));
    EXPECT_EQ(loop->Feature(2, line, true, 2), 3);  // started in F2
    EXPECT_EQ(line, (V{2, 3, 1}));
    // One step of findVNext, then back along the arrival edge at a dead end.
    int v = 1, f = 2, k = 1;  // arrived at 1 by F2's edge 1 (3-1)
    EXPECT_EQ(loop->findVNext(v, f, k), 2);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(f, 2);
    EXPECT_EQ(k, 2);
    v = 1;
    f = 0;
    k = 0;  // arrived at 1 by F0's edge 0 (2-1), sharp on both sides
    EXPECT_EQ(loop->findVNext(v, f, k), 3);  // crosses to F1, leaves by 1-3
    EXPECT_EQ(f, 1);
    EXPECT_EQ(k, 0);
}

TEST(MeshTopology, TetraFindVNextComesBackAtDeadEnd) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra(true, false));
    // At 1 the only sharp edge is 1-0: arriving by it, the walk circles the
    // vertex and returns along it to 0.
    int v = 1, f = 0, k = 1;  // F0 = (0, 2, 1), edge 1 = 1-0
    EXPECT_EQ(m->findVNext(v, f, k), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(f, 1);  // F1 = (0, 1, 3), edge 2 = 0-1
    EXPECT_EQ(k, 2);
}

// ---------------------------------------------------------------------------
// Two components touching at a vertex

TEST(MeshTopology, BowtieFans) {
    std::unique_ptr<Mesh> m(meshtest::makeBowtie());
    EXPECT_EQ(m->vertices[0].face, 1);
    V faces;
    EXPECT_EQ(m->findFNeighbours(0, faces), 1);  // only the stored fan is visible
    EXPECT_EQ(faces, V{1});
    EXPECT_EQ(m->FindBorderedRegion(0, 0, faces), 1);
    EXPECT_EQ(faces, V{0});
    EXPECT_EQ(m->FindBorderedRegion(0, 1, faces), 1);
    EXPECT_EQ(faces, V{1});
    V ring;
    EXPECT_EQ(m->findNeighbours(0, ring), 2);
    EXPECT_EQ(ring, (V{3, 4}));
    int f = 5, k = 5;
    EXPECT_FALSE(m->findEdge(0, 1, f, k));  // 0-1 is in the other fan
    EXPECT_EQ(f, 5);
    EXPECT_TRUE(m->findEdge(0, 4, f, k));
    EXPECT_EQ(f, 1);
    EXPECT_EQ(k, 1);
    EXPECT_TRUE(m->findEdge(1, 0, f, k));
    EXPECT_EQ(f, 0);
    EXPECT_EQ(k, 2);
    V loop;
    EXPECT_EQ(m->Border(0, loop), 3);
    EXPECT_EQ(loop, (V{0, 4, 3}));
    // From 1 the border reaches 0, whose stored fan is the other triangle:
    // the walk never returns to 1 and stops after vertex-count entries.
    EXPECT_EQ(m->Border(1, loop), 6);
    EXPECT_EQ(loop, (V{1, 0, 4, 3, 0, 4}));
}

// ---------------------------------------------------------------------------
// Hexagon: interior vertex of valence 6

TEST(MeshTopology, HexagonInteriorVertex) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon());
    EXPECT_EQ(m->vertices[0].face, 5);
    EXPECT_EQ(m->vertices[0].flags, kActive);
    V faces;
    EXPECT_EQ(m->findFNeighbours(0, faces), 6);
    EXPECT_EQ(faces, (V{5, 0, 1, 2, 3, 4}));
    V ring;
    EXPECT_EQ(m->findNeighbours(0, ring), 6);
    EXPECT_EQ(ring, (V{6, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(m->corner(0));
    EXPECT_EQ(m->findRegion(0, 2, faces), 6);
    EXPECT_EQ(faces, (V{5, 0, 1, 2, 3, 4}));
    EXPECT_EQ(m->FindBorderedRegion(0, 2, faces), 6);
    EXPECT_EQ(faces, (V{2, 3, 4, 5, 0, 1}));
    // The rim vertex 1: faces F0 and F5, stores F0.
    EXPECT_EQ(m->vertices[1].face, 0);
    EXPECT_EQ(m->findNeighbours(1, ring), 3);
    EXPECT_EQ(ring, (V{2, 0, 6}));
}

TEST(MeshTopology, HexagonThreeSectors) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon({1, 3, 5}));
    EXPECT_TRUE(m->corner(0));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kCorner);
    EXPECT_EQ(m->vertices[0].face, 4);
    V ring, faces, crossings;
    m->findNeighbours(0, ring, faces, crossings);
    EXPECT_EQ(ring, (V{5, 6, 1, 2, 3, 4}));
    EXPECT_EQ(faces, (V{4, 5, 0, 1, 2, 3}));
    EXPECT_EQ(crossings, (V{0, 2, 4}));
    const V expected[3] = {{0, 1}, {2, 3}, {4, 5}};
    for (int s = 0; s < 3; ++s) {
        for (int f : expected[s]) {
            const int start = m->findStartRegion(0, f);
            EXPECT_EQ(start, expected[s][0]);
            EXPECT_EQ(m->findEndRegion(0, f), expected[s][1]);
            EXPECT_EQ(m->findRegion(0, start, faces), 2);
            EXPECT_EQ(faces, expected[s]);
        }
    }
    EXPECT_EQ(m->findVStartRegion(0, 1), 1);
    EXPECT_EQ(m->findVEndRegion(0, 0), 3);
    EXPECT_EQ(m->findVStartRegion(0, 5), 5);
    EXPECT_EQ(m->findVEndRegion(0, 4), 1);
    // Painting one sector.
    pbr paint;
    paint.metalness = 77;
    m->materialRegion(0, 2, paint, pbr::MaskMetalness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(m->faces[f].material[0].metalness, (f == 2 || f == 3) ? 77 : 0) << f;
}

TEST(MeshTopology, HexagonMaterialRegionPaintsClosedFanOnce) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon({1}));
    EXPECT_FALSE(m->corner(0));
    EXPECT_EQ(m->vertices[0].face, 0);
    V faces;
    EXPECT_EQ(m->findRegion(0, 0, faces), 6);
    EXPECT_EQ(faces, (V{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(m->findRegion(0, 3, faces), 3);  // from the middle of the sector forward
    EXPECT_EQ(faces, (V{3, 4, 5}));
    pbr paint;
    paint.roughness = 9;
    m->materialRegion(0, 0, paint, pbr::MaskRoughness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(m->faces[f].material[0].roughness, 9) << f;
    // A walk that starts mid-sector stops at the sharp edge.
    paint.roughness = 1;
    m->materialRegion(0, 3, paint, pbr::MaskRoughness);
    for (int f = 0; f < 6; ++f) EXPECT_EQ(m->faces[f].material[0].roughness, f >= 3 ? 1 : 9) << f;
}

TEST(MeshTopology, HexagonFeatureAcrossTheCentre) {
    // Crease 1 - 0 - 4 splits the hexagon; 1 and 4 are corners (crease plus
    // two open edges).
    std::unique_ptr<Mesh> m(meshtest::makeHexagon({1, 4}));
    EXPECT_TRUE(m->vertices[1].isCorner());
    EXPECT_TRUE(m->vertices[4].isCorner());
    EXPECT_FALSE(m->vertices[0].isCorner());
    EXPECT_EQ(m->vertices[0].face, 3);
    V line;
    EXPECT_EQ(m->Feature(0, line, true), 3);
    EXPECT_EQ(line, (V{1, 0, 4}));
    // Without stopping: along the crease to 4, round the open rim to 1, back to 0.
    EXPECT_EQ(m->Feature(0, line, false), 5);
    EXPECT_EQ(line, (V{0, 4, 5, 6, 1}));
    // Started in the other sector's face.
    EXPECT_EQ(m->Feature(0, line, false, 0), 5);
    EXPECT_EQ(line, (V{0, 1, 2, 3, 4}));
    // From a corner with stopAtCorner: one walk to the next corner. The
    // start sector of 4 is F3, bounded backward by the open edge 4-5.
    EXPECT_EQ(m->Feature(4, line, true), 4);
    EXPECT_EQ(line, (V{4, 5, 6, 1}));
}

TEST(MeshTopology, EdgeSharpAndVertexUpdate) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon());
    // Sharpen spoke 0-1 (between F0 and F5).
    m->edgeSharp(0, 5, true);
    EXPECT_TRUE(m->faces[0].isSharp(2));
    EXPECT_TRUE(m->faces[5].isSharp(1));
    EXPECT_TRUE(m->vertices[0].isSharp());
    EXPECT_TRUE(m->vertices[1].isSharp());
    EXPECT_EQ(m->vertexUpdate(0), 0);  // the face whose backward edge is sharp
    EXPECT_EQ(m->vertices[0].face, 0);
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp);
    // Clearing it: the vertex keeps its bits until vertexUpdate.
    m->vertices[0].flags |= kCorner;
    m->edgeSharp(5, 0, false);
    EXPECT_FALSE(m->faces[0].isSharp(2));
    EXPECT_FALSE(m->faces[5].isSharp(1));
    EXPECT_EQ(m->vertices[0].flags, kActive | kSharp | kCorner);
    EXPECT_EQ(m->vertexUpdate(0), 0);  // stored face unchanged
    EXPECT_EQ(m->vertices[0].flags, kActive);
    // A non-sharp vertex loses its corner bit when an edge is cleared.
    m->vertices[0].flags |= kCorner;
    m->edgeSharp(0, 5, false);
    EXPECT_EQ(m->vertices[0].flags, kActive);
    // Faces that are not neighbours: nothing happens.
    m->edgeSharp(0, 3, true);
    EXPECT_EQ(m->faces[0].flags & MeshFace::SharpMask, 0);
    EXPECT_EQ(m->faces[3].flags & MeshFace::SharpMask, 0);
    // A rim vertex is border: vertexUpdate stores the face with the open backward edge.
    m->vertices[2].face = 0;
    m->vertices[2].flags = kActive;
    EXPECT_EQ(m->vertexUpdate(2), 1);
    EXPECT_EQ(m->vertices[2].flags, kActive | kSharp | kBorder);
}

// ---------------------------------------------------------------------------
// Geometry extraction

TEST(MeshTopology, SegmentAndTriangle) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    std::vector<vec3> out;
    m->segment(0, 2, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], vec3(0, 0, 0));
    EXPECT_EQ(out[1], vec3(1, 1, 0));
    m->triangle(1, out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], vec3(0, 0, 0));
    EXPECT_EQ(out[1], vec3(1, 1, 0));
    EXPECT_EQ(out[2], vec3(0, 1, 0));
    m->triangle(2, out);
    EXPECT_TRUE(out.empty());
    m->segment(0, 4, out);
    EXPECT_TRUE(out.empty());
}

// ---------------------------------------------------------------------------
// Robustness: bad indices, inactive records, corrupt links.

TEST(MeshTopologyRobustness, OutOfRangeArguments) {
    std::unique_ptr<Mesh> m(meshtest::makeStrip(true));
    V list{1, 2};
    V ring{1}, faces{1}, crossings{1};
    for (int v : {-1, 5, 1 << 30}) {
        EXPECT_EQ(m->vertexUpdate(v), -1);
        EXPECT_FALSE(m->corner(v));
        int f = 3, k = 4;
        EXPECT_FALSE(m->findEdge(v, 0, f, k));
        EXPECT_FALSE(m->findEdge(0, v, f, k));
        EXPECT_EQ(f, 3);
        EXPECT_EQ(k, 4);
        EXPECT_EQ(m->findFNeighbours(v, list), 0);
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(m->findFKNeighbours(v, list, faces), 0);
        EXPECT_EQ(m->findNeighbours(v, ring), 0);
        EXPECT_EQ(m->findNeighbours(v, ring, faces), 0);
        EXPECT_EQ(m->findNeighbours(v, ring, faces, crossings), 0);
        EXPECT_TRUE(ring.empty());
        EXPECT_TRUE(faces.empty());
        EXPECT_TRUE(crossings.empty());
        EXPECT_EQ(m->vertexNeighbours(v), 0);
        EXPECT_EQ(m->findStartRegion(v, 0), -1);
        EXPECT_EQ(m->findEndRegion(v, 0), -1);
        EXPECT_EQ(m->findVStartRegion(v, 0), -1);
        EXPECT_EQ(m->findVEndRegion(v, 0), -1);
        EXPECT_EQ(m->findBorder(v, 0), -1);
        EXPECT_EQ(m->findRegion(v, 0, list), 0);
        EXPECT_EQ(m->findBorderedRegion(v, 0, list), 0);
        EXPECT_EQ(m->FindBorderedRegion(v, 0, list), 0);
        m->materialRegion(v, 0, pbr(), 63);
        int vv = v, ff = 0, kk = 1;
        EXPECT_EQ(m->findVNext(vv, ff, kk), -1);
        EXPECT_EQ(vv, v);
        EXPECT_EQ(m->Feature(v, list, true), 0);
        EXPECT_EQ(m->findVBorder(v), -1);
        EXPECT_EQ(m->Border(v, list), 0);
    }
    for (int f : {-1, 3, 1 << 30}) {
        // Vertex 0 is sharp and border: the face argument is used.
        EXPECT_EQ(m->findStartRegion(0, f), -1);
        EXPECT_EQ(m->findEndRegion(0, f), -1);
        EXPECT_EQ(m->findVStartRegion(0, f), -1);
        EXPECT_EQ(m->findVEndRegion(0, f), -1);
        EXPECT_EQ(m->findBorder(0, f), -1);
        EXPECT_EQ(m->findRegion(0, f, list), 0);
        EXPECT_EQ(m->findBorderedRegion(0, f, list), 0);
        EXPECT_EQ(m->FindBorderedRegion(0, f, list), 0);
        m->materialRegion(0, f, pbr(), 63);
        int vv = 0, ff = f, kk = 1;
        EXPECT_EQ(m->findVNext(vv, ff, kk), -1);
        if (f >= 0) {  // -1 means: start from the stored face
            EXPECT_EQ(m->Feature(0, list, true, f), 0);
        }
        m->edgeSharp(f, 0, true);
        m->edgeSharp(0, f, true);
        std::vector<vec3> out{vec3()};
        m->triangle(f, out);
        EXPECT_TRUE(out.empty());
    }
    // A face that does not hold the vertex, and a bad arrival edge.
    EXPECT_EQ(m->findStartRegion(0, 0) >= 0, true);
    EXPECT_EQ(m->findStartRegion(1, 2), -1);  // 1 is sharp (border); F2 lacks it
    int vv = 0, ff = 0, kk = 0;               // edge 0 of F0 is not at vertex 0
    EXPECT_EQ(m->findVNext(vv, ff, kk), -1);
    kk = 3;
    EXPECT_EQ(m->findVNext(vv, ff, kk), -1);
    EXPECT_TRUE(meshtest::linksConsistent(*m));
    EXPECT_EQ(m->faces[0].flags, 8 | 2);  // no stray marks from the calls above
}

TEST(MeshTopologyRobustness, StoredFaceMinusOneAndInactiveRecords) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon());
    m->vertexAdd(vec3(5, 5, 5));  // vertex 7: stored face -1
    V list;
    EXPECT_EQ(m->vertexUpdate(7), -1);
    EXPECT_EQ(m->vertices[7].flags, kActive);
    EXPECT_EQ(m->findFNeighbours(7, list), 0);
    EXPECT_EQ(m->vertexNeighbours(7), 0);
    EXPECT_EQ(m->findStartRegion(7, 0), -1);
    // An inactive vertex is not walked.
    m->vertices[0].flags &= ~kActive;
    EXPECT_EQ(m->findFNeighbours(0, list), 0);
    EXPECT_EQ(m->vertexUpdate(0), -1);
    m->vertices[0].flags |= kActive;
    // An inactive face reads as a hole: the links into it are open edges.
    m->faces[2].flags &= ~MeshFace::ActiveBit;
    EXPECT_EQ(m->findFNeighbours(0, list), 3);  // stored F5, forward F0, F1, then the hole
    EXPECT_EQ(list, (V{5, 0, 1}));
    EXPECT_EQ(m->vertexUpdate(0), 3);  // backward from F5 stops before the hole
    EXPECT_TRUE(m->vertices[0].isBorder());
    EXPECT_EQ(m->findFNeighbours(0, list), 5);
    EXPECT_EQ(list, (V{3, 4, 5, 0, 1}));
    // A stored face that is inactive: nothing.
    m->vertices[3].face = 2;
    EXPECT_EQ(m->vertexUpdate(3), -1);
    EXPECT_EQ(m->findNeighbours(3, list), 0);
}

TEST(MeshTopologyRobustness, CorruptLinkCycleTerminates) {
    std::unique_ptr<Mesh> m(meshtest::makeHexagon());
    // F1 and F2 point at each other across the forward edge at 0 and never
    // lead back to F5: a walk from F5 would run F0, F1, F2, F1, ... for ever.
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
    // A walk round a vertex with no sharp edge at all (misuse of findVNext).
    int vv = 0, ff = 0, kk = 1;
    m->vertices[0].flags |= kSharp;
    EXPECT_GE(m->findVNext(vv, ff, kk), -1);
    m->Feature(0, list, false);
    m->Feature(0, list, true);
    SUCCEED();
}

}  // namespace
