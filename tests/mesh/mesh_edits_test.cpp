// Local edits: edge flip, split and collapse; face erase and split; vertex
// divide and split. Every edit is followed by the invariant checker.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::activeFaceCount;
using meshtest::activeVertexCount;
using meshtest::checkMeshInvariants;
using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;
using V = std::vector<int>;
using MeshPtr = std::unique_ptr<Mesh>;
using Edges = std::vector<std::pair<int, int>>;

namespace {

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;
constexpr std::uint8_t kActive = MeshVertex::ActiveBit;

MeshPtr build(const std::vector<vec3>& points, const std::vector<std::array<int, 3>>& tris, const Edges& sharp = {}) {
    return MeshPtr(meshtest::fromTriangles(points, tris, sharp));
}

// Octahedron, faces outwards: 0 +X, 1 +Y, 2 -X, 3 -Y, 4 +Z, 5 -Z.
// Faces 0..3 = T0..T3 (0,1,4) (1,2,4) (2,3,4) (3,0,4); 4..7 = B0..B3 (1,0,5) (2,1,5) (3,2,5) (0,3,5).
const Edges kEquator = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
MeshPtr octahedron(const Edges& sharp = {}) {
    return build({vec3(1, 0, 0), vec3(0, 1, 0), vec3(-1, 0, 0), vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1)},
                 {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}}, sharp);
}

// Triangular bipyramid: equator 0, 1, 2 in z = 0, apexes 3 (+Z) and 4 (-Z).
MeshPtr bipyramid() {
    return build({vec3(1, 0, 0), vec3(-0.5f, 0.866f, 0), vec3(-0.5f, -0.866f, 0), vec3(0, 0, 1), vec3(0, 0, -1)},
                 {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {1, 0, 4}, {2, 1, 4}, {0, 2, 4}});
}

// Every record field the edits may touch is equal.
bool sameRecords(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return false;
    if (a.needsCompaction != b.needsCompaction) return false;
    for (int i = 0; i < a.vertexCount(); ++i) {
        const MeshVertex &x = a.vertices[i], &y = b.vertices[i];
        if (x.position != y.position || x.face != y.face || x.flags != y.flags || x.selection != y.selection)
            return false;
    }
    for (int i = 0; i < a.faceCount(); ++i) {
        const MeshFace &x = a.faces[i], &y = b.faces[i];
        if (x.flags != y.flags || x.normal != y.normal) return false;
        for (int k = 0; k < 3; ++k)
            if (x.v[k] != y.v[k] || x.f[k] != y.f[k] || x.material[k] != y.material[k] || x.normals[k] != y.normals[k])
                return false;
    }
    return true;
}

// The active faces holding the edge u-w, and whether each marks it sharp.
std::vector<std::pair<int, bool>> edgeFaces(const Mesh& m, int u, int w) {
    std::vector<std::pair<int, bool>> out;
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        const int cu = F.corner(u), cw = F.corner(w);
        if (F.isActive() && cu >= 0 && cw >= 0) out.push_back({i, F.isSharp(3 - cu - cw)});
    }
    return out;
}

// The edge u-w lies on two faces and is sharp (or smooth) on both.
::testing::AssertionResult interiorEdge(const Mesh& m, int u, int w, bool sharp) {
    const auto faces = edgeFaces(m, u, w);
    if (faces.size() != 2)
        return ::testing::AssertionFailure() << "edge " << u << "-" << w << " has " << faces.size() << " faces";
    for (const auto& f : faces)
        if (f.second != sharp) return ::testing::AssertionFailure() << "edge " << u << "-" << w << " in face " << f.first;
    return ::testing::AssertionSuccess();
}

pbr colourRed(std::uint16_t red, std::int16_t roughness = 0) {
    pbr m;
    m.colour.r = red;
    m.roughness = roughness;
    return m;
}

// The corner material of vertex v in face f.
const pbr& at(const Mesh& m, int f, int v) { return m.faces[f].material[m.faces[f].corner(v)]; }

// Tries an edit on every (face, edge) of a copy: it either succeeds leaving a
// sound mesh or refuses leaving the mesh unchanged.
void expectSoundOrRefused(const Mesh& m, const std::function<bool(Mesh&, int, int)>& edit, const char* what) {
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            Mesh copy(m);
            if (edit(copy, f, k))
                EXPECT_EQ(checkMeshInvariants(copy), "") << what << " f " << f << " k " << k;
            else
                EXPECT_TRUE(sameRecords(copy, m)) << what << " f " << f << " k " << k;
        }
}

TEST(MeshInvariants, SoundFixturesPassAndCorruptionIsNamed) {
    for (Mesh* m : {meshtest::makeQuad(), meshtest::makeStrip(true), meshtest::makeTetra(true, false),
                    meshtest::makeTetra(false, true), meshtest::makeHexagon({1, 3, 5})}) {
        EXPECT_EQ(checkMeshInvariants(*m), "");
        delete m;
    }
    EXPECT_EQ(checkMeshInvariants(*octahedron(kEquator)), "");
    // The bowtie's centre has two fans: only the single-fan check sees it.
    MeshPtr bow(meshtest::makeBowtie());
    EXPECT_NE(checkMeshInvariants(*bow), "");
    EXPECT_EQ(checkMeshInvariants(*bow, meshtest::CheckAll & ~meshtest::CheckSingleFan), "");

    const MeshPtr m = octahedron();
    const std::pair<std::function<void(Mesh&)>, const char*> corruptions[] = {
        {[](Mesh& b) { b.faces[0].f[0] = 5; }, "links face 5"},
        {[](Mesh& b) { b.faces[0].setSharp(0, true); }, "sharp in face 0"},
        {[](Mesh& b) { b.faces[1].flags &= ~MeshFace::ActiveBit; }, "inactive face 1"},
        {[](Mesh& b) { b.vertices[4].face = 4; }, "does not hold"},
        {[](Mesh& b) { b.vertices[2].flags |= kBorder; }, "border bit"},
        {[](Mesh& b) { b.faces[3].v[0] = 4; }, "twice"},
        {[](Mesh& b) { b.faces[7].v[2] = 99; }, "out of range"},
        {[](Mesh& b) {
             std::swap(b.faces[2].v[0], b.faces[2].v[1]);  // turned over, links swapped to match
             std::swap(b.faces[2].f[0], b.faces[2].f[1]);
         },
         "same direction"},
    };
    for (const auto& c : corruptions) {
        Mesh broken(*m);
        c.first(broken);
        const std::string problem = checkMeshInvariants(broken);
        EXPECT_NE(problem.find(c.second), std::string::npos) << c.second << ": " << problem;
    }
}

TEST(MeshEdgeFlip, QuadDiagonalTurnsAndCarriesMaterials) {
    MeshPtr m(meshtest::makeQuad());  // the diagonal 0-2 is F0's edge 1
    std::vector<pbr> old;
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k) {
            m->faces[f].material[k] = colourRed(std::uint16_t(100 * f + 10 * k + 1));
            old.push_back(m->faces[f].material[k]);
        }
    m->faces[0].flags |= MeshFace::SelectedBit | MeshFace::MarkBit;
    ASSERT_TRUE(m->edgeFlipFK(0, 1));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    const MeshFace &F = m->faces[0], &G = m->faces[1];
    EXPECT_EQ((V{F.v[0], F.v[1], F.v[2]}), (V{2, 3, 1}));
    EXPECT_EQ((V{G.v[0], G.v[1], G.v[2]}), (V{0, 1, 3}));
    // Each corner keeps the material its vertex had on the same side.
    EXPECT_EQ(at(*m, 0, 2), old[2]);
    EXPECT_EQ(at(*m, 0, 3), old[5]);
    EXPECT_EQ(at(*m, 1, 0), old[3]);
    EXPECT_EQ(at(*m, 1, 1), old[1]);
    // The open wing edges carry the sharp bit; no selection or mark.
    EXPECT_EQ(F.flags, MeshFace::ActiveBit | 2 | 4);
    EXPECT_EQ(G.flags, MeshFace::ActiveBit | 2 | 4);
}

TEST(MeshEdgeFlip, RefusalsChangeNothingAndFlipsAreReversible) {
    MeshPtr tetra(meshtest::makeTetra());
    MeshPtr strip(meshtest::makeStrip(true));
    MeshPtr quad(meshtest::makeQuad());
    MeshPtr hole(meshtest::makeQuad());
    hole->faces[1].flags &= ~MeshFace::ActiveBit;  // the neighbour is inactive: the edge reads as open
    const struct {
        Mesh* m;
        int f, k;
        const char* why;
    } cases[] = {
        {tetra.get(), 0, 0, "the new diagonal exists"}, {tetra.get(), 2, 1, "the new diagonal exists"},
        {strip.get(), 0, 1, "sharp edge"},              {quad.get(), 0, 0, "open edge"},
        {hole.get(), 0, 1, "inactive neighbour"},
    };
    for (const auto& c : cases) {
        Mesh before(*c.m);
        EXPECT_FALSE(c.m->edgeFlipFK(c.f, c.k)) << c.why;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.why;
    }
    expectSoundOrRefused(*octahedron(kEquator), [](Mesh& x, int f, int k) { return x.edgeFlipFK(f, k); }, "flip");

    MeshPtr m = octahedron();
    ASSERT_TRUE(m->edgeFlipVV(0, 4));  // 0-4 lies between T0 and T3
    EXPECT_TRUE(interiorEdge(*m, 1, 3, false));
    ASSERT_TRUE(m->edgeFlipVV(1, 3));
    EXPECT_TRUE(interiorEdge(*m, 0, 4, false));
    EXPECT_FALSE(m->edgeFlipVV(1, 3));  // no such edge any more
}

TEST(MeshEdgeSplit, MidpointOfInteriorEdgeMixesEachSide) {
    // T0 = (0,1,4), k = 0: a = 0, b1 = 1, b2 = 4; g = T1 = (1,2,4), c = 2.
    MeshPtr m = octahedron();
    m->faces[0].material[1] = colourRed(0, -3);
    m->faces[0].material[2] = colourRed(65535, 0);
    m->faces[1].material[0] = colourRed(1000);
    m->faces[1].material[2] = colourRed(3000);
    int a = -9, c = -9;
    const int nv = m->edgeSplitFK(0, 0, a, c);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 10);
    EXPECT_EQ(m->vertices[nv].position, vec3(0, 0.5f, 0.5f));
    EXPECT_EQ(m->vertices[nv].flags, kActive);
    // Each side mixes on its own, so the seam survives.
    EXPECT_EQ(at(*m, 0, nv).colour.r, 32767);
    EXPECT_EQ(at(*m, 0, nv).roughness, -1);
    EXPECT_EQ(at(*m, 8, nv), at(*m, 0, nv));
    EXPECT_EQ(at(*m, 9, nv).colour.r, 2000);
    EXPECT_EQ(m->edgeSplitVV(nv, 4), 7);
    EXPECT_EQ(m->vertices[7].position, vec3(0, 0.25f, 0.75f));
}

TEST(MeshEdgeSplit, PointBeyondTheEdgeClampsAndZeroLengthEdgeIsSafe) {
    MeshPtr m = octahedron();  // edge 1-4 of T0: b1 = (0,1,0), b2 = (0,0,1)
    m->faces[0].material[1] = colourRed(20000, -30000);
    m->faces[0].material[2] = colourRed(60000, 30000);
    m->faces[1].material[0] = colourRed(1000);
    m->faces[1].material[2] = colourRed(3000);
    Mesh flat(*m);
    const int nf = m->edgeSplitFK(0, 0, vec3(0, -0.5f, 1.5f));  // 1.5 edge lengths from b1
    ASSERT_GE(nf, 0);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(at(*m, 0, nf).colour.r, 65535);
    EXPECT_EQ(at(*m, 0, nf).roughness, pbr::SignedMax);
    EXPECT_EQ(at(*m, 1, nf).colour.r, 4000);
    // A zero-length edge takes b1's material.
    flat.vertices[4].position = flat.vertices[1].position;
    const int nz = flat.edgeSplitFK(0, 0, vec3(0, 1, 0));
    ASSERT_GE(nz, 0);
    EXPECT_EQ(at(flat, 0, nz).colour.r, 20000);
}

TEST(MeshEdgeSplit, SharpAndOpenEdges) {
    // Sharp equator; T0 edge 2 is 0-1: both halves stay sharp.
    MeshPtr m = octahedron(kEquator);
    const int nv = m->edgeSplitFK(0, 2);
    ASSERT_GE(nv, 0);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertices[nv].flags & (kSharp | kCorner), kSharp);
    EXPECT_TRUE(interiorEdge(*m, 0, nv, true));
    EXPECT_TRUE(interiorEdge(*m, 4, nv, false));

    // Quad F0 edge 0 (1-2) is open: one new face, the new vertex on the border.
    MeshPtr q(meshtest::makeQuad());
    int a = -9, c = -9;
    const int nq = q->edgeSplitFK(0, 0, a, c);
    ASSERT_EQ(nq, 4);
    EXPECT_EQ(c, -1);
    EXPECT_EQ(checkMeshInvariants(*q), "");
    EXPECT_EQ(q->vertices[nq].flags, kActive | kSharp | kBorder);
    EXPECT_EQ(q->findVBorder(2), nq);
}

TEST(MeshEdgeSplit, CutFormMarksTheNewEdgeAndReportsTheFarSide) {
    MeshPtr m = octahedron();
    V faces = {7}, corners = {7}, verts = {7};
    const int nv = m->edgeSplitFK(0, 0, vec3(0, 0.25f, 0.75f), faces, corners, verts);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(faces, (V{1, 9}));
    EXPECT_EQ(verts, (V{2}));
    ASSERT_EQ(corners.size(), 2u);
    EXPECT_EQ(m->faces[1].v[corners[0]], nv);
    EXPECT_EQ(m->faces[9].v[corners[1]], nv);
    EXPECT_TRUE(interiorEdge(*m, 0, nv, true));
    EXPECT_TRUE(interiorEdge(*m, 2, nv, false));

    // On an open edge the lists stay empty and the new vertex is a corner.
    MeshPtr q(meshtest::makeQuad());
    const int nq = q->edgeSplitFK(0, 0, vec3(1, 0.5f, 0), faces, corners, verts);
    EXPECT_TRUE(faces.empty() && corners.empty() && verts.empty());
    EXPECT_EQ(q->vertices[nq].flags, kActive | kSharp | kCorner | kBorder);
    EXPECT_EQ(checkMeshInvariants(*q), "");
}

TEST(MeshEdgeCollapse, SmoothEdgeMeetsAtTheMidpointAndMaterialsEvenPerSector) {
    MeshPtr m = octahedron();
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));  // keeps 4, removes 0
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(activeFaceCount(*m), 6);
    EXPECT_EQ(m->vertices[4].position, vec3(0.5f, 0, 0.5f));
    EXPECT_EQ(m->needsCompaction, 1);

    // Sharp equator: 4 ends with a top sector (T1, T2) and a bottom one (B0, B3).
    MeshPtr s = octahedron(kEquator);
    for (int f = 0; f < 8; ++f)
        for (int k = 0; k < 3; ++k) s->faces[f].material[k] = colourRed(std::uint16_t(f < 4 ? 100 : 1000 * f));
    ASSERT_TRUE(s->edgeCollapseVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*s), "");
    EXPECT_EQ(at(*s, 4, 4).colour.r, 5500);  // B0 (4000) and B3 (7000)
    EXPECT_EQ(at(*s, 1, 4).colour.r, 100);
}

TEST(MeshEdgeCollapse, RefusalsChangeNothing) {
    MeshPtr tetra(meshtest::makeTetra());
    MeshPtr quad(meshtest::makeQuad());
    MeshPtr bi = bipyramid();
    MeshPtr hex(meshtest::makeHexagon({1, 4}));
    MeshPtr allSharp =
        octahedron({{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 4}, {2, 4}, {3, 4}, {0, 5}, {1, 5}, {2, 5}, {3, 5}});
    const struct {
        Mesh* m;
        int a, b;
        const char* why;
    } cases[] = {
        {tetra.get(), 0, 1, "pocket"},
        {quad.get(), 0, 1, "open edge"},
        {quad.get(), 0, 2, "both ends on the border"},
        {bi.get(), 0, 1, "the rings share vertex 2 besides a and c"},
        {hex.get(), 0, 2, "smooth edge between two sharp vertices"},
        {allSharp.get(), 0, 4, "two corners"},
    };
    for (const auto& c : cases) {
        Mesh before(*c.m);
        EXPECT_FALSE(c.m->edgeCollapseVV(c.a, c.b)) << c.why;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.why;
    }
    ASSERT_TRUE(bi->edgeCollapseVV(0, 3));  // the pole edge: a tetrahedron remains
    EXPECT_EQ(checkMeshInvariants(*bi), "");
    EXPECT_EQ(activeFaceCount(*bi), 4);
}

TEST(MeshEdgeCollapse, FeatureVertexKeepsItsPlaceWhicheverEndSurvives) {
    const Edges spokes = {{4, 0}, {4, 1}, {4, 2}};  // +Z a corner
    const struct {
        Edges sharp;
        int a, b;
        vec3 at;
        std::uint8_t flags;
    } cases[] = {
        {spokes, 4, 3, vec3(0, 0, 1), kSharp | kCorner},
        {kEquator, 4, 0, vec3(1, 0, 0), kSharp},  // 0 a crease vertex
    };
    for (const auto& c : cases) {
        MeshPtr m = octahedron(c.sharp);
        ASSERT_TRUE(m->edgeCollapseVV(c.a, c.b)) << c.a << " " << c.b;
        EXPECT_EQ(checkMeshInvariants(*m), "");
        EXPECT_EQ(m->vertices[c.b].position, c.at) << c.a << " " << c.b;
        EXPECT_EQ(m->vertices[c.b].flags & (kSharp | kCorner), c.flags) << c.a << " " << c.b;
    }
    // The merged wings carry the equator on through the survivor.
    MeshPtr m = octahedron(kEquator);
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));
    EXPECT_TRUE(interiorEdge(*m, 3, 4, true));
    EXPECT_TRUE(interiorEdge(*m, 4, 1, true));
    EXPECT_TRUE(interiorEdge(*m, 4, 2, false));
}

TEST(MeshEdgeCollapse, EveryEdgeIsSoundOrRefused) {
    auto collapse = [](Mesh& x, int f, int k) { return x.edgeCollapseFK(f, k); };
    expectSoundOrRefused(*octahedron(), collapse, "octahedron");
    expectSoundOrRefused(*octahedron(kEquator), collapse, "equator");
    expectSoundOrRefused(*bipyramid(), collapse, "bipyramid");
    expectSoundOrRefused(*MeshPtr(meshtest::makeHexagon({1, 4})), collapse, "hexagon");
    expectSoundOrRefused(*MeshPtr(meshtest::makeStrip()), collapse, "strip");
    // Collapsing down to the smallest closed mesh, each step sound.
    MeshPtr m = octahedron();
    for (bool any = true; any;) {
        any = false;
        for (int f = 0; f < m->faceCount() && !any; ++f)
            for (int k = 0; k < 3 && !any; ++k) any = m->edgeCollapseFK(f, k);
        EXPECT_EQ(checkMeshInvariants(*m), "");
    }
    EXPECT_EQ(activeFaceCount(*m), 4);
}

TEST(MeshFaceErase, OpensTheMeshAndSplitsFans) {
    MeshPtr m = octahedron();
    m->faceErase(0);  // T0 = (0,1,4): neighbours T1, T3, B0
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->needsCompaction, 1);
    for (const int v : {0, 1, 4}) EXPECT_EQ(m->vertices[v].flags, kActive | kSharp | kBorder) << v;
    Mesh before(*m);
    m->faceErase(0);  // a second erase changes nothing
    EXPECT_TRUE(sameRecords(*m, before));

    MeshPtr q(meshtest::makeQuad());
    q->faceErase(0);  // vertex 1 has no other face
    EXPECT_EQ(checkMeshInvariants(*q), "");
    EXPECT_FALSE(q->vertices[1].isActive());

    // Erasing the middle of the strip's fan parts vertex 0 in two.
    MeshPtr s(meshtest::makeStrip());
    s->faceErase(1);
    EXPECT_EQ(checkMeshInvariants(*s), "");
    ASSERT_EQ(s->vertexCount(), 6);
    EXPECT_EQ(s->vertices[5].position, s->vertices[0].position);

    MeshPtr o = octahedron();
    for (int f = 0; f < 8; ++f) {
        o->faceErase(f);
        EXPECT_EQ(checkMeshInvariants(*o), "") << f;
    }
    EXPECT_EQ(activeVertexCount(*o), 0);
}

TEST(MeshFaceSplit, CentroidAndCutForms) {
    MeshPtr m(meshtest::makeQuad());  // F0 = (0,1,2): edges 0 and 2 open
    m->faces[0].setMaterial(colourRed(65535), colourRed(0), colourRed(0), pbr::MaskAll);
    const int nv = m->faceSplit(0);
    ASSERT_EQ(nv, 4);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 4);
    EXPECT_EQ(m->vertices[nv].position, vec3(2.0f / 3.0f, 1.0f / 3.0f, 0));
    const int ids[3] = {0, 2, 3}, sharpBits[3] = {4, 4, 0};  // f, A, B: edges 2, 0, 1 of the old face
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m->faces[ids[i]].flags, MeshFace::ActiveBit | sharpBits[i]) << i;
        EXPECT_EQ(m->faces[ids[i]].v[2], nv);
        EXPECT_EQ(m->faces[ids[i]].material[2].colour.r, 21845);
    }

    // Cut form: the inner edge to q (vertex 1) is sharp.
    MeshPtr o = octahedron();
    V faces, corners, verts;
    const int no = o->faceSplit(0, vec3(0.3f, 0.3f, 0.4f), 1, faces, corners, verts);  // T0 = (0,1,4)
    ASSERT_EQ(no, 6);
    EXPECT_EQ(checkMeshInvariants(*o), "");
    EXPECT_EQ(faces, (V{0, 8, 9}));
    EXPECT_EQ(corners, (V{2, 2, 2}));
    EXPECT_EQ(verts, (V{0, 4}));
    EXPECT_TRUE(interiorEdge(*o, no, 1, true));
    EXPECT_TRUE(interiorEdge(*o, no, 0, false));
}

TEST(MeshVertexDivide, CreasesTearFansApart) {
    MeshPtr m = octahedron(kEquator);  // vertex 0's top sector is T0, T3
    const int nv = m->vertexDivide(0, 0);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faces[3].corner(nv), 1);
    EXPECT_EQ(edgeFaces(*m, 0, 1).size(), 1u);  // the sharp edges are open now
    EXPECT_EQ(edgeFaces(*m, nv, 1).size(), 1u);

    // The rim ends 1 and 4 of the torn sector get copies as well.
    MeshPtr h(meshtest::makeHexagon({1, 4}));
    ASSERT_EQ(h->vertexDivide(0, 0), 7);
    EXPECT_EQ(checkMeshInvariants(*h), "");
    EXPECT_EQ(h->vertexCount(), 10);

    // The middle face torn out of an open fan: 0 falls apart too.
    MeshPtr s(meshtest::makeStrip());
    s->edgeSharpVV(0, 2, true);
    s->edgeSharpVV(0, 3, true);
    s->initialize(Mesh::ResizeKeep);
    ASSERT_EQ(s->vertexDivide(0, 1), 5);
    EXPECT_EQ(checkMeshInvariants(*s), "");
    EXPECT_EQ(s->vertexCount(), 9);
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s->faces[f].f[k], -1) << f << " " << k;
}

TEST(MeshVertexDivide, RefusalsAndSplitOfAnOpenSector) {
    MeshPtr o = octahedron();                     // one sector, the whole fan
    MeshPtr t(meshtest::makeTetra(false, true));  // 0 has no sharp edge
    MeshPtr d = octahedron({{0, 4}});             // 0 ends a single crease edge
    const struct {
        Mesh* m;
        int v, f;
    } cases[] = {{o.get(), 0, 0}, {d.get(), 0, 3}, {t.get(), 0, 0}};
    for (const auto& c : cases) {
        Mesh before(*c.m);
        EXPECT_EQ(c.m->vertexDivide(c.v, c.f), -1) << c.v << " " << c.f;
        EXPECT_EQ(c.m->vertexSplit(c.v, c.f, pbr(), false), -1) << c.v << " " << c.f;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.v << " " << c.f;
    }
    // The quad's corner 0: one sector open on both sides. Divide refuses;
    // split closes the new vertex's fan with the two new faces.
    MeshPtr q(meshtest::makeQuad());
    Mesh before(*q);
    EXPECT_EQ(q->vertexDivide(0, 0), -1);
    EXPECT_TRUE(sameRecords(*q, before));
    const int nv = q->vertexSplit(0, 0, pbr(), false);
    ASSERT_EQ(nv, 4);
    EXPECT_EQ(checkMeshInvariants(*q), "");
    EXPECT_FALSE(q->vertices[nv].isBorder());
    EXPECT_TRUE(q->vertices[0].isBorder());
}

TEST(MeshVertexSplit, FillsTheGapWithTwoPaintedFaces) {
    MeshPtr m = octahedron(kEquator);
    m->deselectAll();  // faces past the mark count as new
    const pbr paint = colourRed(1234, -32768);
    const int nv = m->vertexSplit(0, 0, paint, false);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 10);
    for (int f = 8; f < 10; ++f)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(m->faces[f].material[k].colour.r, 1234);
            EXPECT_EQ(m->faces[f].material[k].roughness, pbr::SignedMin);
        }
    // The sector's bounding edges are sharp; the seam v-nv is not.
    EXPECT_TRUE(interiorEdge(*m, nv, 1, true));
    EXPECT_TRUE(interiorEdge(*m, 0, nv, false));
    // Next to a face made by the first split the shared side stays smooth.
    ASSERT_EQ(m->vertexSplit(1, 1, paint, false), 7);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(interiorEdge(*m, 1, nv, false));
    EXPECT_TRUE(interiorEdge(*m, 1, 2, true));

    for (const bool seam : {false, true}) {  // a corner: each sector one face
        MeshPtr t(meshtest::makeTetra(true, false));
        const int nt = t->vertexSplit(0, 0, pbr(), seam);
        ASSERT_EQ(nt, 4);
        EXPECT_EQ(checkMeshInvariants(*t), "") << seam;
        EXPECT_TRUE(interiorEdge(*t, 0, nt, seam));
        EXPECT_TRUE(t->vertices[nt].isCorner());
    }
}

TEST(MeshEdits, InvalidArgumentsChangeNothing) {
    MeshPtr m = octahedron(kEquator);
    m->faces[2].flags &= ~MeshFace::ActiveBit;  // an erased face, passed directly below
    const Mesh before(*m);
    for (const auto& e : {std::make_pair(-1, 0), {8, 0}, {1000, 1}, {2, 0}, {0, -1}, {0, 3}}) {
        const int f = e.first, k = e.second;
        int a = 5, c = 5;
        V faces = {1}, corners = {1}, verts = {1};
        EXPECT_FALSE(m->edgeFlipFK(f, k) || m->edgeCollapseFK(f, k)) << f << " " << k;
        EXPECT_EQ((V{m->edgeSplitFK(f, k), m->edgeSplitFK(f, k, vec3(1, 1, 1)), m->edgeSplitFK(f, k, a, c), a, c,
                     m->edgeSplitFK(f, k, vec3(), faces, corners, verts)}),
                  V(6, -1));
        EXPECT_TRUE(faces.empty() && corners.empty() && verts.empty());
        if (k != 0) continue;
        faces = {1};
        m->faceErase(f);
        EXPECT_EQ((V{m->faceSplit(f), m->faceSplit(f, vec3()), m->faceSplit(f, vec3(), 0, faces, corners, verts)}), V(3, -1));
        EXPECT_TRUE(faces.empty());
    }
    for (const auto& p : {std::make_pair(4, 5), {-1, 0}, {0, 99}}) {
        EXPECT_FALSE(m->edgeFlipVV(p.first, p.second) || m->edgeCollapseVV(p.first, p.second));
        EXPECT_EQ(m->edgeSplitVV(p.first, p.second), -1);
        EXPECT_EQ(m->edgeSplitVV(p.first, p.second, vec3()), -1);
    }
    // (vertex, face): out of range, an inactive face, a face without the vertex.
    for (const auto& vf : {std::make_pair(-1, 0), {6, 0}, {1, 2}, {0, 1}, {0, 8}}) {
        EXPECT_EQ(m->vertexDivide(vf.first, vf.second), -1) << vf.first << " " << vf.second;
        EXPECT_EQ(m->vertexSplit(vf.first, vf.second, pbr(), true), -1) << vf.first << " " << vf.second;
    }
    EXPECT_TRUE(sameRecords(*m, before));
}

// One random edit on a random (possibly inactive) face; returns its name.
const char* randomEdit(Mesh& m, std::mt19937& rng) {
    const int f = int(rng() % unsigned(m.faceCount() + 1)) - (rng() % 8 == 0 ? 1 : 0);
    const int k = int(rng() % 3);
    const bool valid = m.activeFace(f);
    const int v = valid ? m.faces[f].v[k] : -1;
    const vec3 p = valid ? (m.vertices[m.faces[f].v[0]].position + m.vertices[v].position) * 0.4f : vec3();
    V faces, corners, verts;
    switch (rng() % 12) {
        case 0: m.edgeFlipFK(f, k); return "flip";
        case 1: m.edgeSplitFK(f, k); return "split";
        case 2: m.edgeSplitFK(f, k, p, faces, corners, verts); return "cut split";
        case 3:
        case 4: m.edgeCollapseFK(f, k); return "collapse";
        case 5: m.faceSplit(f); return "face split";
        case 6: m.faceSplit(f, p, v, faces, corners, verts); return "cut face split";
        case 7:
            if (rng() % 4 == 0) m.faceErase(f);
            return "erase";
        case 8: m.vertexDivide(v, valid ? m.findStartRegion(v, f) : f); return "divide";
        case 9: m.vertexSplit(v, valid ? m.findStartRegion(v, f) : f, pbr(), rng() % 2 == 0); return "vertex split";
        case 10: m.edgeSplitFK(f, k, p); return "point split";
        default:
            if (valid && m.activeFace(m.faces[f].f[k])) {  // a new crease, as the sharpening passes make them
                m.edgeSharp(f, m.faces[f].f[k], true);
                m.vertexUpdate(m.faces[f].v[(k + 1) % 3]);
                m.vertexUpdate(m.faces[f].v[(k + 2) % 3]);
            }
            return "sharpen";
    }
}

TEST(MeshEditsRandom, LongSequencesStaySound) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        MeshPtr m = seed % 2 ? octahedron(kEquator) : MeshPtr(meshtest::makeHexagon({1, 4}));
        for (int step = 0; step < 400 && activeFaceCount(*m) > 0; ++step) {
            const char* what = randomEdit(*m, rng);
            ASSERT_EQ(checkMeshInvariants(*m), "") << "seed " << seed << " step " << step << " after " << what;
        }
    }
}

}  // namespace
