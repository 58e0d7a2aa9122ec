// Local edits: edge flip, split and collapse; face erase and split; vertex
// divide and split. Every edit is followed by the invariant checker.

#include <gtest/gtest.h>

#include <array>
#include <map>
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

namespace {

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;
constexpr std::uint8_t kActive = MeshVertex::ActiveBit;

// A mesh from triangles with the neighbour links derived from shared edges
// and the listed edges (vertex pairs) marked sharp; finished by finish().
MeshPtr build(const std::vector<vec3>& points, const std::vector<std::array<int, 3>>& tris,
              const std::vector<std::pair<int, int>>& sharp = {}) {
    MeshPtr m(new Mesh());
    for (const vec3& p : points) m->vertexAdd(p);
    for (const auto& t : tris) m->faceAdd(t[0], t[1], t[2]);
    std::map<std::pair<int, int>, std::pair<int, int>> open;   // edge -> (face, k)
    std::map<std::pair<int, int>, std::pair<int, int>> pairs;  // edge -> the two faces
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) {
            const int a = m->faces[i].v[(k + 1) % 3], b = m->faces[i].v[(k + 2) % 3];
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            const auto it = open.find(key);
            if (it == open.end()) {
                open[key] = {i, k};
                continue;
            }
            m->faces[i].f[k] = it->second.first;
            m->faces[it->second.first].f[it->second.second] = i;
            pairs[key] = {it->second.first, i};
        }
    for (const auto& e : sharp) {
        const auto it = pairs.find(std::make_pair(std::min(e.first, e.second), std::max(e.first, e.second)));
        if (it != pairs.end()) meshtest::markSharp(*m, it->second.first, it->second.second);
    }
    meshtest::finish(*m);
    return m;
}

/*
 * Octahedron, faces outwards: 0 +X, 1 +Y, 2 -X, 3 -Y, 4 +Z, 5 -Z.
 *
 *               4
 *            / / \ \
 *          /  /   \  \        top:    T0 (0,1,4) T1 (1,2,4)
 *        2 --3-----0-- 1               T2 (2,3,4) T3 (3,0,4)
 *          \  \   /  /        bottom: B0 (1,0,5) B1 (2,1,5)
 *            \ \ / /                   B2 (3,2,5) B3 (0,3,5)
 *               5
 * Faces 0..3 are T0..T3, 4..7 are B0..B3.
 */
const std::vector<vec3> kOctaPoints = {vec3(1, 0, 0),  vec3(0, 1, 0), vec3(-1, 0, 0),
                                       vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1)};
const std::vector<std::array<int, 3>> kOctaFaces = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4},
                                                    {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}};
const std::vector<std::pair<int, int>> kEquator = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};

MeshPtr octahedron(const std::vector<std::pair<int, int>>& sharp = {}) { return build(kOctaPoints, kOctaFaces, sharp); }

/*
 * Triangular bipyramid: equator 0, 1, 2 in z = 0, apexes 3 (+Z) and 4 (-Z).
 *   top (0,1,3) (1,2,3) (2,0,3); bottom (1,0,4) (2,1,4) (0,2,4)
 */
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
        if (!F.isActive()) continue;
        const int cu = F.corner(u), cw = F.corner(w);
        if (cu >= 0 && cw >= 0) out.push_back({i, F.isSharp(3 - cu - cw)});
    }
    return out;
}

// The edge u-w exists on two faces and is sharp (or smooth) on both.
::testing::AssertionResult interiorEdge(const Mesh& m, int u, int w, bool sharp) {
    const auto faces = edgeFaces(m, u, w);
    if (faces.size() != 2)
        return ::testing::AssertionFailure() << "edge " << u << "-" << w << " has " << faces.size() << " faces";
    for (const auto& f : faces)
        if (f.second != sharp)
            return ::testing::AssertionFailure()
                   << "edge " << u << "-" << w << " in face " << f.first << " is " << (f.second ? "sharp" : "smooth");
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

// Tries an edit on a copy: it either succeeds leaving a sound mesh or
// refuses leaving the mesh unchanged.
template <class Edit>
void expectSoundOrRefused(const Mesh& m, Edit edit, const char* what) {
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            Mesh copy(m);
            if (edit(copy, f, k))
                EXPECT_EQ(checkMeshInvariants(copy), "") << what << " f " << f << " k " << k;
            else
                EXPECT_TRUE(sameRecords(copy, m)) << what << " f " << f << " k " << k;
        }
}

// ---------------------------------------------------------------------------
// The checker itself

TEST(MeshInvariants, SoundFixturesPassAndCorruptionIsNamed) {
    for (Mesh* m : {meshtest::makeQuad(), meshtest::makeStrip(true), meshtest::makeTetra(true, false),
                    meshtest::makeHexagon({1, 3})}) {
        EXPECT_EQ(checkMeshInvariants(*m), "");
        delete m;
    }
    EXPECT_EQ(checkMeshInvariants(*octahedron(kEquator)), "");
    // The bowtie's centre has two fans: only the single-fan check sees it.
    MeshPtr bow(meshtest::makeBowtie());
    EXPECT_NE(checkMeshInvariants(*bow), "");
    EXPECT_EQ(checkMeshInvariants(*bow, meshtest::CheckAll & ~meshtest::CheckSingleFan), "");

    MeshPtr m = octahedron();
    Mesh broken(*m);
    broken.faces[0].f[0] = 5;  // T0 edge 1-4 claims B1
    EXPECT_NE(checkMeshInvariants(broken).find("links face 5"), std::string::npos) << checkMeshInvariants(broken);
    broken = *m;
    broken.faces[0].setSharp(0, true);  // one side only
    EXPECT_NE(checkMeshInvariants(broken).find("sharp in face 0"), std::string::npos);
    broken = *m;
    broken.faces[1].flags &= ~MeshFace::ActiveBit;
    EXPECT_NE(checkMeshInvariants(broken).find("inactive face 1"), std::string::npos);
    broken = *m;
    broken.vertices[4].face = 4;  // B0 does not hold +Z
    EXPECT_NE(checkMeshInvariants(broken).find("does not hold"), std::string::npos);
    broken = *m;
    broken.vertices[2].flags |= kBorder;
    EXPECT_NE(checkMeshInvariants(broken).find("border bit"), std::string::npos);
    broken = *m;
    broken.faces[3].v[0] = 4;
    EXPECT_NE(checkMeshInvariants(broken).find("twice"), std::string::npos);
    broken = *m;
    broken.faces[7].v[2] = 99;
    EXPECT_NE(checkMeshInvariants(broken).find("out of range"), std::string::npos);
    broken = *m;
    std::swap(broken.faces[2].v[0], broken.faces[2].v[1]);  // T2 turned over, links swapped to match
    std::swap(broken.faces[2].f[0], broken.faces[2].f[1]);
    EXPECT_NE(checkMeshInvariants(broken).find("same direction"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Flip

TEST(MeshEdgeFlip, QuadDiagonalTurnsAndCarriesMaterials) {
    // Quad (mesh_util.h): F0 = (0,1,2), F1 = (0,2,3); the diagonal 0-2 is
    // F0's edge 1: a = 1, b1 = 2, b2 = 0, c = 3.
    MeshPtr m(meshtest::makeQuad());
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k) m->faces[f].material[k] = colourRed(std::uint16_t(100 * f + 10 * k + 1));
    m->faces[0].flags |= MeshFace::SelectedBit | MeshFace::MarkBit;
    m->faces[0].normals[1] = vec3(0, 0, 1);
    const std::vector<pbr> old = {m->faces[0].material[0], m->faces[0].material[1], m->faces[0].material[2],
                                  m->faces[1].material[0], m->faces[1].material[1], m->faces[1].material[2]};

    ASSERT_TRUE(m->edgeFlipFK(0, 1));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    const MeshFace& F = m->faces[0];
    const MeshFace& G = m->faces[1];
    EXPECT_EQ((V{F.v[0], F.v[1], F.v[2]}), (V{2, 3, 1}));
    EXPECT_EQ((V{G.v[0], G.v[1], G.v[2]}), (V{0, 1, 3}));
    EXPECT_EQ(F.f[0], 1);
    EXPECT_EQ(G.f[0], 0);
    // Each corner keeps the material its vertex had on the same side.
    EXPECT_EQ(at(*m, 0, 2), old[2]);
    EXPECT_EQ(at(*m, 0, 1), old[1]);
    EXPECT_EQ(at(*m, 0, 3), old[5]);
    EXPECT_EQ(at(*m, 1, 0), old[3]);
    EXPECT_EQ(at(*m, 1, 1), old[1]);
    EXPECT_EQ(at(*m, 1, 3), old[5]);
    // The open wing edges carry the sharp bit; no selection or mark.
    EXPECT_EQ(F.flags, MeshFace::ActiveBit | 2 | 4);
    EXPECT_EQ(G.flags, MeshFace::ActiveBit | 2 | 4);
    for (const MeshFace* X : {&F, &G}) {
        EXPECT_TRUE(qel::isZero(X->normal));
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(qel::isZero(X->normals[k]));
    }
    for (int v = 0; v < 4; ++v) EXPECT_GE(m->faces[m->vertices[v].face].corner(v), 0) << v;
}

TEST(MeshEdgeFlip, ClosedMeshAndVertexPairForm) {
    MeshPtr m = octahedron();
    // 0-4 lies between T0 and T3; 1 and 3 are not joined yet.
    ASSERT_TRUE(m->edgeFlipVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(interiorEdge(*m, 1, 3, false));
    EXPECT_TRUE(edgeFaces(*m, 0, 4).empty());
    EXPECT_EQ(m->vertexNeighbours(0), 3);
    EXPECT_EQ(m->vertexNeighbours(1), 5);
    // Flipping back restores the old diagonal.
    ASSERT_TRUE(m->edgeFlipVV(1, 3));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(interiorEdge(*m, 0, 4, false));
    EXPECT_FALSE(m->edgeFlipVV(1, 3));  // no such edge any more
}

TEST(MeshEdgeFlip, RefusalsChangeNothing) {
    MeshPtr tetra(meshtest::makeTetra());
    MeshPtr strip(meshtest::makeStrip(true));
    MeshPtr quad(meshtest::makeQuad());
    struct Case {
        Mesh* m;
        int f, k;
        const char* why;
    } cases[] = {
        {tetra.get(), 0, 0, "the new diagonal exists"},
        {tetra.get(), 2, 1, "the new diagonal exists"},
        {strip.get(), 0, 1, "sharp edge"},
        {quad.get(), 0, 0, "open edge"},
    };
    for (const Case& c : cases) {
        Mesh before(*c.m);
        EXPECT_FALSE(c.m->edgeFlipFK(c.f, c.k)) << c.why;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.why;
    }
    quad->faces[1].flags &= ~MeshFace::ActiveBit;
    EXPECT_FALSE(quad->edgeFlipFK(0, 1));  // the neighbour is inactive: the edge reads as open
    expectSoundOrRefused(
        *octahedron(kEquator), [](Mesh& x, int f, int k) { return x.edgeFlipFK(f, k); }, "flip");
}

// ---------------------------------------------------------------------------
// Split

TEST(MeshEdgeSplit, MidpointOfInteriorEdgeMixesEachSide) {
    // T0 = (0,1,4), k = 0: a = 0, b1 = 1, b2 = 4; g = T1 = (1,2,4), c = 2.
    MeshPtr m = octahedron();
    m->faces[0].material[1] = colourRed(0, -3);
    m->faces[0].material[2] = colourRed(65535, 0);
    m->faces[1].material[0] = colourRed(1000);  // b1 in g
    m->faces[1].material[2] = colourRed(3000);  // b2 in g
    int a = -9, c = -9;
    const int nv = m->edgeSplitFK(0, 0, a, c);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertexCount(), 7);
    EXPECT_EQ(m->faceCount(), 10);
    EXPECT_EQ(m->vertices[nv].position, vec3(0, 0.5f, 0.5f));
    EXPECT_EQ(m->vertices[nv].flags, kActive);
    // f's side: red 0 and 65535 mix to 32767, roughness -3 and 0 to -1; g's
    // side mixes on its own, so the seam survives.
    EXPECT_EQ(at(*m, 0, nv).colour.r, 32767);
    EXPECT_EQ(at(*m, 0, nv).roughness, -1);
    EXPECT_EQ(at(*m, 8, nv), at(*m, 0, nv));
    EXPECT_EQ(at(*m, 1, nv).colour.r, 2000);
    EXPECT_EQ(at(*m, 9, nv).colour.r, 2000);
    // New faces take the normals of the faces they came from.
    EXPECT_EQ(m->faces[8].normal, m->faces[0].normal);
    EXPECT_EQ(m->faces[9].normal, m->faces[1].normal);
    EXPECT_EQ(m->vertexNeighbours(nv), 4);
}

TEST(MeshEdgeSplit, AtPointInterpolatesAndExtrapolates) {
    // Edge 1-4 of T0 again: b1 = (0,1,0), b2 = (0,0,1).
    MeshPtr m = octahedron();
    m->faces[0].material[1] = colourRed(20000, -30000);
    m->faces[0].material[2] = colourRed(60000, 30000);
    m->faces[1].material[0] = colourRed(1000);
    m->faces[1].material[2] = colourRed(3000);
    Mesh base(*m);

    const int nv = m->edgeSplitFK(0, 0, vec3(0, 1, 0));  // at b1
    ASSERT_GE(nv, 0);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(at(*m, 0, nv).colour.r, 20000);
    EXPECT_EQ(at(*m, 1, nv).colour.r, 1000);

    // One and a half edge lengths from b1: channels extrapolate and clamp.
    Mesh beyond(base);
    const int nf = beyond.edgeSplitFK(0, 0, vec3(0, -0.5f, 1.5f));
    ASSERT_GE(nf, 0);
    EXPECT_EQ(beyond.vertices[nf].position, vec3(0, -0.5f, 1.5f));
    EXPECT_EQ(at(beyond, 0, nf).colour.r, 65535);
    EXPECT_EQ(at(beyond, 0, nf).roughness, pbr::SignedMax);
    EXPECT_EQ(at(beyond, 1, nf).colour.r, 4000);

    // A zero-length edge takes b1's material.
    Mesh flat(base);
    flat.vertices[4].position = flat.vertices[1].position;
    const int nz = flat.edgeSplitFK(0, 0, vec3(0, 1, 0));
    ASSERT_GE(nz, 0);
    EXPECT_EQ(at(flat, 0, nz).colour.r, 20000);
}

TEST(MeshEdgeSplit, SharpEdgeKeepsItsMarkOnBothHalves) {
    // Sharp equator; T0 = (0,1,4), k = 2: the edge 0-1, a = 4, c = 5.
    MeshPtr m = octahedron(kEquator);
    const int nv = m->edgeSplitFK(0, 2);
    ASSERT_GE(nv, 0);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertices[nv].flags & (kSharp | kCorner), kSharp);
    EXPECT_TRUE(interiorEdge(*m, 0, nv, true));
    EXPECT_TRUE(interiorEdge(*m, nv, 1, true));
    EXPECT_TRUE(interiorEdge(*m, 4, nv, false));
    EXPECT_TRUE(interiorEdge(*m, 5, nv, false));
}

TEST(MeshEdgeSplit, OpenEdgeAddsOneFace) {
    // Quad F0 = (0,1,2), edge 0 (1-2) is open.
    MeshPtr m(meshtest::makeQuad());
    m->faces[0].material[1] = colourRed(0);
    m->faces[0].material[2] = colourRed(100);
    int a = -9, c = -9;
    const int nv = m->edgeSplitFK(0, 0, a, c);
    ASSERT_EQ(nv, 4);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, -1);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 3);
    EXPECT_EQ(m->vertices[nv].position, vec3(1, 0.5f, 0));
    EXPECT_EQ(m->vertices[nv].flags, kActive | kSharp | kBorder);
    EXPECT_EQ(at(*m, 0, nv).colour.r, 50);
    EXPECT_EQ(at(*m, 2, nv).colour.r, 50);
    EXPECT_EQ(m->findVBorder(2), nv);
    EXPECT_EQ(m->findVBorder(nv), 1);
}

TEST(MeshEdgeSplit, CutFormMarksTheNewEdgeAndReportsGSide) {
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
    EXPECT_EQ(m->vertices[nv].flags & (kSharp | kCorner), kSharp);
    EXPECT_TRUE(interiorEdge(*m, 0, nv, true));
    EXPECT_TRUE(interiorEdge(*m, 2, nv, false));
    EXPECT_TRUE(m->vertices[0].isSharp());  // the far end of the new sharp edge

    // On a sharp edge the new vertex is also a corner; on an open edge the
    // lists stay empty.
    MeshPtr e = octahedron(kEquator);
    const int ne = e->edgeSplitFK(0, 2, vec3(0.5f, 0.5f, 0), faces, corners, verts);
    EXPECT_EQ(e->vertices[ne].flags & (kSharp | kCorner), kSharp | kCorner);
    EXPECT_EQ(checkMeshInvariants(*e), "");
    MeshPtr q(meshtest::makeQuad());
    const int nq = q->edgeSplitFK(0, 0, vec3(1, 0.5f, 0), faces, corners, verts);
    EXPECT_TRUE(faces.empty() && corners.empty() && verts.empty());
    EXPECT_EQ(q->vertices[nq].flags, kActive | kSharp | kCorner | kBorder);
    EXPECT_EQ(checkMeshInvariants(*q), "");
}

TEST(MeshEdgeSplit, VertexPairForms) {
    MeshPtr m = octahedron();
    EXPECT_EQ(m->edgeSplitVV(4, 5), -1);  // opposite poles share no edge
    EXPECT_EQ(m->edgeSplitVV(0, 4, vec3(0.5f, 0, 0.5f)), 6);
    EXPECT_EQ(m->edgeSplitVV(6, 4), 7);
    EXPECT_EQ(m->vertices[7].position, vec3(0.25f, 0, 0.75f));
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

// ---------------------------------------------------------------------------
// Collapse

TEST(MeshEdgeCollapse, SmoothEdgeOfClosedMesh) {
    MeshPtr m = octahedron();
    // VV(0, 4) keeps 4 and removes 0.
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(activeVertexCount(*m), 5);
    EXPECT_EQ(activeFaceCount(*m), 6);
    EXPECT_FALSE(m->vertices[0].isActive());
    EXPECT_EQ(m->vertices[4].position, vec3(0.5f, 0, 0.5f));
    EXPECT_EQ(m->needsCompaction, 1);
    EXPECT_EQ(m->vertexNeighbours(4), 4);
    EXPECT_TRUE(interiorEdge(*m, 4, 5, false));
}

TEST(MeshEdgeCollapse, SurvivorMaterialsAreEvenedPerSector) {
    // Sharp equator, VV(0, 4): 4 takes over 0's faces (T0 and T3 go) and
    // has two sectors afterwards, the top (T1, T2) and the bottom (B0, B3).
    MeshPtr m = octahedron(kEquator);
    for (int f = 0; f < 8; ++f)
        for (int k = 0; k < 3; ++k) m->faces[f].material[k] = colourRed(std::uint16_t(f < 4 ? 100 : 1000 * f));
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    // The bottom sector at 4: B0 (red 4000) and B3 (red 7000) average 5500;
    // the top keeps its one value.
    EXPECT_EQ(at(*m, 4, 4).colour.r, 5500);
    EXPECT_EQ(at(*m, 7, 4).colour.r, 5500);
    EXPECT_EQ(at(*m, 1, 4).colour.r, 100);
    EXPECT_EQ(at(*m, 2, 4).colour.r, 100);
}

TEST(MeshEdgeCollapse, RefusalsChangeNothing) {
    MeshPtr tetra(meshtest::makeTetra());
    MeshPtr quad(meshtest::makeQuad());
    MeshPtr bi = bipyramid();
    MeshPtr hex(meshtest::makeHexagon({1, 4}));
    MeshPtr allSharp =
        octahedron({{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 4}, {2, 4}, {3, 4}, {0, 5}, {1, 5}, {2, 5}, {3, 5}});
    struct Case {
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
    for (const Case& c : cases) {
        Mesh before(*c.m);
        EXPECT_FALSE(c.m->edgeCollapseVV(c.a, c.b)) << c.why;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.why;
    }
    // The bipyramid's pole edge collapses into a tetrahedron.
    ASSERT_TRUE(bi->edgeCollapseVV(0, 3));
    EXPECT_EQ(checkMeshInvariants(*bi), "");
    EXPECT_EQ(activeFaceCount(*bi), 4);
}

TEST(MeshEdgeCollapse, CornerKeepsItsPlace) {
    // Sharp edges 4-0, 4-1, 4-2 make +Z a corner; -Y (3) is smooth.
    const std::vector<std::pair<int, int>> spokes = {{4, 0}, {4, 1}, {4, 2}};
    MeshPtr m = octahedron(spokes);
    ASSERT_TRUE(m->vertices[4].isCorner());
    ASSERT_TRUE(m->edgeCollapseVV(4, 3));  // the corner is b1
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertices[3].position, vec3(0, 0, 1));
    EXPECT_EQ(m->vertices[3].flags & (kSharp | kCorner), kSharp | kCorner);

    MeshPtr n = octahedron(spokes);
    ASSERT_TRUE(n->edgeCollapseVV(3, 4));  // the corner survives
    EXPECT_EQ(checkMeshInvariants(*n), "");
    EXPECT_EQ(n->vertices[4].position, vec3(0, 0, 1));
}

TEST(MeshEdgeCollapse, CreaseKeepsItsPlaceAndMarks) {
    // Sharp equator: 0 is a crease vertex (two sharp edges), 4 is smooth.
    MeshPtr m = octahedron(kEquator);
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertices[4].position, vec3(1, 0, 0));
    EXPECT_EQ(m->vertices[4].flags & (kSharp | kCorner), kSharp);
    // The merged wings carry the equator on through the survivor.
    EXPECT_TRUE(interiorEdge(*m, 3, 4, true));
    EXPECT_TRUE(interiorEdge(*m, 4, 1, true));
    EXPECT_TRUE(interiorEdge(*m, 4, 2, false));

    MeshPtr n = octahedron(kEquator);
    ASSERT_TRUE(n->edgeCollapseVV(4, 0));
    EXPECT_EQ(checkMeshInvariants(*n), "");
    EXPECT_EQ(n->vertices[0].position, vec3(1, 0, 0));
}

TEST(MeshEdgeCollapse, EveryEdgeIsSoundOrRefused) {
    auto collapse = [](Mesh& x, int f, int k) { return x.edgeCollapseFK(f, k); };
    expectSoundOrRefused(*octahedron(), collapse, "octahedron");
    expectSoundOrRefused(*octahedron(kEquator), collapse, "equator");
    expectSoundOrRefused(*bipyramid(), collapse, "bipyramid");
    MeshPtr hex(meshtest::makeHexagon({1, 4}));
    expectSoundOrRefused(*hex, collapse, "hexagon");
    MeshPtr strip(meshtest::makeStrip());
    expectSoundOrRefused(*strip, collapse, "strip");
    // Collapsing down to the smallest closed mesh: each step sound, then
    // every edge refused.
    MeshPtr m = octahedron();
    for (bool any = true; any;) {
        any = false;
        for (int f = 0; f < m->faceCount() && !any; ++f)
            for (int k = 0; k < 3 && !any; ++k) any = m->edgeCollapseFK(f, k);
        EXPECT_EQ(checkMeshInvariants(*m), "");
    }
    EXPECT_EQ(activeFaceCount(*m), 4);
}

// ---------------------------------------------------------------------------
// Face erase

TEST(MeshFaceErase, ClosedMeshOpens) {
    MeshPtr m = octahedron();
    m->faceErase(0);  // T0 = (0,1,4): neighbours T1, T3, B0
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_FALSE(m->faces[0].isActive());
    EXPECT_EQ(m->needsCompaction, 1);
    for (const int v : {0, 1, 4}) EXPECT_EQ(m->vertices[v].flags, kActive | kSharp | kBorder) << v;
    EXPECT_EQ(m->vertices[0].face, 3);  // the face after T0 round 0
    EXPECT_EQ(m->faces[1].f[1], -1);
    EXPECT_EQ(m->faces[3].f[0], -1);
    EXPECT_EQ(m->faces[4].f[2], -1);
    // The record keeps its corners and links.
    EXPECT_EQ(m->faces[0].v[2], 4);
    EXPECT_EQ(m->faces[0].f[0], 1);

    // A second erase of the same face changes nothing.
    Mesh before(*m);
    m->faceErase(0);
    EXPECT_TRUE(sameRecords(*m, before));
}

TEST(MeshFaceErase, LoneVertexAndSplitFan) {
    MeshPtr q(meshtest::makeQuad());
    q->faceErase(0);  // vertex 1 has no other face
    EXPECT_EQ(checkMeshInvariants(*q), "");
    EXPECT_FALSE(q->vertices[1].isActive());
    EXPECT_EQ(activeVertexCount(*q), 3);

    // Strip: fan F0, F1, F2 round border vertex 0; erasing F1 parts it.
    MeshPtr s(meshtest::makeStrip());
    s->faceErase(1);
    EXPECT_EQ(checkMeshInvariants(*s), "");
    ASSERT_EQ(s->vertexCount(), 6);
    EXPECT_EQ(s->faces[0].v[0], 5);
    EXPECT_EQ(s->faces[2].v[0], 0);
    EXPECT_EQ(s->vertices[5].position, s->vertices[0].position);
    EXPECT_EQ(s->vertices[0].face, 2);
    EXPECT_EQ(s->vertices[5].face, 0);

    // Erasing every face of a closed mesh leaves nothing active.
    MeshPtr o = octahedron();
    for (int f = 0; f < 8; ++f) {
        o->faceErase(f);
        EXPECT_EQ(checkMeshInvariants(*o), "") << f;
    }
    EXPECT_EQ(activeVertexCount(*o), 0);
}

// ---------------------------------------------------------------------------
// Face split

TEST(MeshFaceSplit, CentroidSplitOfQuadFace) {
    // Quad F0 = (0,1,2): edges 0 (1-2) and 2 (0-1) open, edge 1 to F1.
    MeshPtr m(meshtest::makeQuad());
    m->faces[0].setMaterial(colourRed(65535), colourRed(0), colourRed(0), pbr::MaskAll);
    m->faces[0].flags |= MeshFace::SelectedBit;
    const vec3 normal = m->faces[0].normal;
    const int nv = m->faceSplit(0);
    ASSERT_EQ(nv, 4);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 4);
    EXPECT_EQ(m->vertices[nv].position, vec3(2.0f / 3.0f, 1.0f / 3.0f, 0));
    EXPECT_EQ(m->vertices[nv].flags, kActive);
    const int sharpBits[3] = {4, 4, 0};  // f, A, B: edges 2, 0, 1 of the old face
    const int ids[3] = {0, 2, 3};
    for (int i = 0; i < 3; ++i) {
        const MeshFace& F = m->faces[ids[i]];
        EXPECT_EQ(F.flags, MeshFace::ActiveBit | sharpBits[i]) << i;
        EXPECT_EQ(F.normal, normal);
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(qel::isZero(F.normals[k]));
        EXPECT_EQ(F.v[2], nv);
        EXPECT_EQ(F.material[2].colour.r, 21845);
    }
    EXPECT_EQ(at(*m, 2, 1).colour.r, 0);
    EXPECT_EQ(at(*m, 3, 0).colour.r, 65535);
    EXPECT_EQ(m->vertexNeighbours(nv), 3);

    const int np = m->faceSplit(1, vec3(0.25f, 0.5f, 0));
    EXPECT_EQ(m->vertices[np].position, vec3(0.25f, 0.5f, 0));
    EXPECT_EQ(checkMeshInvariants(*m), "");
}

TEST(MeshFaceSplit, CutFormSharpensTheEdgeToQ) {
    MeshPtr m = octahedron();
    V faces, corners, verts;
    const int nv = m->faceSplit(0, vec3(0.3f, 0.3f, 0.4f), 1, faces, corners, verts);  // T0 = (0,1,4)
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(faces, (V{0, 8, 9}));
    EXPECT_EQ(corners, (V{2, 2, 2}));
    EXPECT_EQ(verts, (V{0, 4}));
    EXPECT_TRUE(m->vertices[nv].isSharp());
    EXPECT_TRUE(m->vertices[1].isSharp());
    EXPECT_TRUE(interiorEdge(*m, nv, 1, true));
    EXPECT_TRUE(interiorEdge(*m, nv, 0, false));
    EXPECT_TRUE(interiorEdge(*m, nv, 4, false));

    // q not a corner of the face: no inner edge is sharp.
    MeshPtr n = octahedron();
    n->faceSplit(0, vec3(0.3f, 0.3f, 0.4f), -1, faces, corners, verts);
    EXPECT_EQ(verts, (V{0, 1, 4}));
    for (const int v : {0, 1, 4}) EXPECT_TRUE(interiorEdge(*n, 6, v, false));
}

// ---------------------------------------------------------------------------
// Vertex divide

TEST(MeshVertexDivide, CreaseThroughClosedFan) {
    // Sharp equator: vertex 0's top sector is T0, T3.
    MeshPtr m = octahedron(kEquator);
    const int nv = m->vertexDivide(0, 0);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertexCount(), 7);
    EXPECT_EQ(m->faceCount(), 8);
    EXPECT_EQ(m->faces[0].corner(nv), 0);
    EXPECT_EQ(m->faces[3].corner(nv), 1);
    EXPECT_EQ(m->faces[4].corner(0), 1);
    // The two sharp edges are open on both sides now.
    EXPECT_EQ(edgeFaces(*m, 0, 1).size(), 1u);
    EXPECT_EQ(edgeFaces(*m, nv, 1).size(), 1u);
    EXPECT_EQ(edgeFaces(*m, 3, 0).size(), 1u);
    for (const int v : {0, nv, 1, 3}) EXPECT_TRUE(m->vertices[v].isBorder()) << v;
}

TEST(MeshVertexDivide, FansFallApartAtBorderVertices) {
    // Hexagon with sharp spokes 0-1 and 0-4: the sector F0..F2 of the centre
    // is torn off; the rim vertices 1 and 4 lie on the border, so each gets
    // a copy as well.
    MeshPtr h(meshtest::makeHexagon({1, 4}));
    const int nv = h->vertexDivide(0, 0);
    ASSERT_EQ(nv, 7);
    EXPECT_EQ(checkMeshInvariants(*h), "");
    EXPECT_EQ(h->vertexCount(), 10);

    // Strip with sharp 0-2 and 0-3: the middle face is torn out of an open
    // fan, so 0 itself falls apart too.
    MeshPtr s(meshtest::makeStrip());
    meshtest::markSharp(*s, 0, 1);
    meshtest::markSharp(*s, 1, 2);
    meshtest::finish(*s);
    ASSERT_EQ(checkMeshInvariants(*s), "");
    const int ns = s->vertexDivide(0, 1);
    ASSERT_EQ(ns, 5);
    EXPECT_EQ(checkMeshInvariants(*s), "");
    EXPECT_EQ(s->vertexCount(), 9);
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s->faces[f].f[k], -1) << f << " " << k;
}

TEST(MeshVertexDivide, RefusalsAndSplitOfAnOpenSector) {
    MeshPtr o = octahedron();                     // a smooth vertex: one sector, the whole fan
    MeshPtr t(meshtest::makeTetra(false, true));  // 0 has no sharp edge
    MeshPtr d = octahedron({{0, 4}});             // 0 ends a single crease edge (sector from T3)
    struct Case {
        Mesh* m;
        int v, f;
    } cases[] = {{o.get(), 0, 0}, {d.get(), 0, 3}, {t.get(), 0, 0}};
    for (const Case& c : cases) {
        Mesh before(*c.m);
        EXPECT_EQ(c.m->vertexDivide(c.v, c.f), -1) << c.v << " " << c.f;
        EXPECT_EQ(c.m->vertexSplit(c.v, c.f, pbr(), false), -1) << c.v << " " << c.f;
        EXPECT_TRUE(sameRecords(*c.m, before)) << c.v << " " << c.f;
    }
    // The quad's corner 0: its one sector is open on both sides. Divide
    // refuses; split closes the new vertex's fan with the two new faces.
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

// ---------------------------------------------------------------------------
// Vertex split

TEST(MeshVertexSplit, FillsTheGapWithTwoPaintedFaces) {
    MeshPtr m = octahedron(kEquator);
    m->deselectAll();
    pbr paint = colourRed(1234, -32768);
    const int nv = m->vertexSplit(0, 0, paint, false);
    ASSERT_EQ(nv, 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 10);
    for (int f = 8; f < 10; ++f)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(m->faces[f].material[k].colour.r, 1234);
            EXPECT_EQ(m->faces[f].material[k].roughness, pbr::SignedMin);
        }
    // The sector's bounding edges and the outer edges to older faces are
    // sharp; the seam v-nv is not.
    EXPECT_TRUE(interiorEdge(*m, nv, 1, true));
    EXPECT_TRUE(interiorEdge(*m, nv, 3, true));
    EXPECT_TRUE(interiorEdge(*m, 0, 1, true));
    EXPECT_TRUE(interiorEdge(*m, 0, 3, true));
    EXPECT_TRUE(interiorEdge(*m, 0, nv, false));
    EXPECT_FALSE(m->vertices[nv].isBorder());

    // Next to a face made by the first split, the shared side stays smooth.
    // Vertex 1's top sector is T1, T0; T0's forward edge at 1 now faces the
    // first split's face A = (1, nv, 0).
    const int nw = m->vertexSplit(1, 1, paint, false);
    ASSERT_EQ(nw, 7);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(interiorEdge(*m, 1, nv, false));
    EXPECT_TRUE(interiorEdge(*m, 1, 2, true));
}

TEST(MeshVertexSplit, CornerSeam) {
    // Tetrahedron with three sharp edges at 0: each sector is one face.
    for (const bool seam : {false, true}) {
        MeshPtr m(meshtest::makeTetra(true, false));
        const int nv = m->vertexSplit(0, 0, pbr(), seam);
        ASSERT_EQ(nv, 4);
        EXPECT_EQ(checkMeshInvariants(*m), "") << seam;
        EXPECT_TRUE(interiorEdge(*m, 0, nv, seam));
        EXPECT_TRUE(m->vertices[nv].isCorner());
    }
}

// ---------------------------------------------------------------------------
// Invalid arguments

TEST(MeshEdits, InvalidArgumentsChangeNothing) {
    MeshPtr m = octahedron(kEquator);
    m->faces[2].flags &= ~MeshFace::ActiveBit;  // an erased face, passed directly below
    const Mesh before(*m);
    const std::pair<int, int> edges[] = {{-1, 0}, {8, 0}, {1000, 1}, {2, 0}, {0, -1}, {0, 3}};
    for (const auto& e : edges) {
        const int f = e.first, k = e.second;
        int a = 5, c = 5;
        V faces = {1}, corners = {1}, verts = {1};
        EXPECT_FALSE(m->edgeFlipFK(f, k)) << f << " " << k;
        EXPECT_FALSE(m->edgeCollapseFK(f, k)) << f << " " << k;
        EXPECT_EQ(m->edgeSplitFK(f, k), -1);
        EXPECT_EQ(m->edgeSplitFK(f, k, vec3(1, 1, 1)), -1);
        EXPECT_EQ(m->edgeSplitFK(f, k, a, c), -1);
        EXPECT_EQ(a, -1);
        EXPECT_EQ(c, -1);
        EXPECT_EQ(m->edgeSplitFK(f, k, vec3(), faces, corners, verts), -1);
        EXPECT_TRUE(faces.empty() && corners.empty() && verts.empty());
        if (k != 0) continue;
        faces = {1};
        m->faceErase(f);
        EXPECT_EQ(m->faceSplit(f), -1);
        EXPECT_EQ(m->faceSplit(f, vec3()), -1);
        EXPECT_EQ(m->faceSplit(f, vec3(), 0, faces, corners, verts), -1);
        EXPECT_TRUE(faces.empty());
    }
    const std::pair<int, int> pairs[] = {{4, 5}, {-1, 0}, {0, 99}};
    for (const auto& p : pairs) {
        EXPECT_FALSE(m->edgeFlipVV(p.first, p.second));
        EXPECT_FALSE(m->edgeCollapseVV(p.first, p.second));
        EXPECT_EQ(m->edgeSplitVV(p.first, p.second), -1);
        EXPECT_EQ(m->edgeSplitVV(p.first, p.second, vec3()), -1);
    }
    // (vertex, face): out of range, an inactive face, a face without the vertex.
    const std::pair<int, int> fans[] = {{-1, 0}, {6, 0}, {1, 2}, {0, 1}, {0, 8}};
    for (const auto& vf : fans) {
        EXPECT_EQ(m->vertexDivide(vf.first, vf.second), -1) << vf.first << " " << vf.second;
        EXPECT_EQ(m->vertexSplit(vf.first, vf.second, pbr(), true), -1) << vf.first << " " << vf.second;
    }
    EXPECT_TRUE(sameRecords(*m, before));
}

}  // namespace

// ---------------------------------------------------------------------------
// Random sequences of every edit, checked after each step

namespace {

// One random edit on a random (possibly inactive) face; returns its name.
const char* randomEdit(Mesh& m, std::mt19937& rng) {
    const int f = int(rng() % unsigned(m.faceCount() + 1)) - (rng() % 8 == 0 ? 1 : 0);
    const int k = int(rng() % 3);
    const bool valid = m.activeFace(f);
    const int v = valid ? m.faces[f].v[k] : -1;
    const vec3 p = valid ? (m.vertices[m.faces[f].v[0]].position + m.vertices[v].position) * 0.4f : vec3();
    V faces, corners, verts;
    switch (rng() % 12) {
        case 0:
            m.edgeFlipFK(f, k);
            return "flip";
        case 1:
            m.edgeSplitFK(f, k);
            return "split";
        case 2:
            m.edgeSplitFK(f, k, p, faces, corners, verts);
            return "cut split";
        case 3:
        case 4:
            m.edgeCollapseFK(f, k);
            return "collapse";
        case 5:
            m.faceSplit(f);
            return "face split";
        case 6:
            m.faceSplit(f, p, v, faces, corners, verts);
            return "cut face split";
        case 7:
            if (rng() % 4 == 0) m.faceErase(f);
            return "erase";
        case 8:
            m.vertexDivide(v, valid ? m.findStartRegion(v, f) : f);
            return "divide";
        case 9:
            m.vertexSplit(v, valid ? m.findStartRegion(v, f) : f, pbr(), rng() % 2 == 0);
            return "vertex split";
        case 10:
            m.edgeSplitFK(f, k, p);
            return "point split";
        default:
            if (valid && m.activeFace(m.faces[f].f[k])) {
                // A new crease (as the sharpening passes make them).
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
            const std::string problem = checkMeshInvariants(*m);
            ASSERT_EQ(problem, "") << "seed " << seed << " step " << step << " after " << what;
        }
    }
}

}  // namespace
