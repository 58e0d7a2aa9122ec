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

using namespace qel;
using meshtest::activeFaceCount;
using meshtest::activeVertexCount;
using meshtest::checkMeshInvariants;
using V = std::vector<int>;
using MeshPtr = std::unique_ptr<Mesh>;
using Edges = std::vector<std::pair<int, int>>;

namespace {

// Octahedron, faces outwards: 0 +X, 1 +Y, 2 -X, 3 -Y, 4 +Z, 5 -Z.
// Faces 0..3 = T0..T3 (0,1,4) (1,2,4) (2,3,4) (3,0,4); 4..7 = B0..B3 (1,0,5) (2,1,5) (3,2,5) (0,3,5).
const Edges kEquator = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
MeshPtr octahedron(const Edges& sharp = {}) {
    return MeshPtr(meshtest::fromTriangles(
        {vec3(1, 0, 0), vec3(0, 1, 0), vec3(-1, 0, 0), vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1)},
        {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}}, sharp));
}

// Triangular bipyramid: equator 0, 1, 2 in z = 0, apexes 3 (+Z) and 4 (-Z).
MeshPtr bipyramid() {
    return MeshPtr(meshtest::fromTriangles(
        {vec3(1, 0, 0), vec3(-0.5f, 0.866f, 0), vec3(-0.5f, -0.866f, 0), vec3(0, 0, 1), vec3(0, 0, -1)},
        {{0, 1, 3}, {1, 2, 3}, {2, 0, 3}, {1, 0, 4}, {2, 1, 4}, {0, 2, 4}}));
}

// Every record field the edits may touch is equal.
bool sameRecords(const Mesh& a, const Mesh& b) {
    bool same =
        a.vertexCount() == b.vertexCount() && a.faceCount() == b.faceCount() && a.needsCompaction == b.needsCompaction;
    for (int i = 0; same && i < a.vertexCount(); ++i) {
        const MeshVertex &x = a.vertices[i], &y = b.vertices[i];
        same = x.position == y.position && x.face == y.face && x.flags == y.flags && x.selection == y.selection;
    }
    for (int i = 0; same && i < a.faceCount(); ++i) {
        const MeshFace &x = a.faces[i], &y = b.faces[i];
        same = x.flags == y.flags && x.normal == y.normal;
        for (int k = 0; same && k < 3; ++k)
            same =
                x.v[k] == y.v[k] && x.f[k] == y.f[k] && x.material[k] == y.material[k] && x.normals[k] == y.normals[k];
    }
    return same;
}

// The edge u-w: -1 none, else open, smooth or sharp (the invariant checker
// keeps the mark of an interior edge equal on both sides).
enum EdgeKind { kOpen, kSmooth, kCrease };
int edgeKind(const Mesh& m, int u, int w) {
    int f = -1, k = -1;
    if (!m.findEdge(u, w, f, k)) return -1;
    return m.faces[f].f[k] < 0 ? kOpen : m.faces[f].isSharp(k) ? kCrease : kSmooth;
}

pbr colourRed(std::uint16_t red, std::int16_t roughness = 0) {
    return pbr(wvec4(red, 65535, 65535, 65535), pbr().light, roughness, 0);
}

// The cut form of the edge split, its lists dropped.
int cutSplit(Mesh& m, int f, int k, const vec3& p) {
    V faces, corners, verts;
    return m.edgeSplitFK(f, k, p, faces, corners, verts);
}

// The corner material of vertex v in face f (none when f does not hold v).
pbr at(const Mesh& m, int f, int v) {
    const int k = m.faces[f].corner(v);
    return k < 0 ? pbr(wvec4(), wvec4(), -1, -1) : m.faces[f].material[k];
}

TEST(MeshInvariants, CorruptionIsNamed) {
    const MeshPtr m = octahedron();
    const std::pair<std::function<void(Mesh&)>, const char*> corruptions[] = {
        {[](Mesh& b) { b.faces[0].f[0] = 5; }, "links face 5"},
        {[](Mesh& b) { b.faces[0].setSharp(0, true); }, "sharp in face 0"},
        {[](Mesh& b) { b.vertices[4].face = 4; }, "does not hold"},
        {[](Mesh& b) { b.vertices[2].flags |= MeshVertex::BorderBit; }, "border bit"},
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

TEST(MeshInvariants, AnEdgeOfMoreThanTwoFacesIsNamed) {
    // Two tetrahedra on the edge 0-1, each face there linked to the other
    // tetrahedron's: every link runs back, every vertex has one fan, and
    // the edge is run by four faces, which a load, building the links from
    // the corners, refuses.
    Mesh m;
    for (const vec3& p : {vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1), vec3(0, -1, 0), vec3(0, 0, -1)})
        m.vertexAdd(p);
    const int faces[8][6] = {{0, 1, 2, 3, 2, 5}, {1, 0, 3, 2, 3, 4}, {0, 2, 3, 3, 1, 0}, {1, 3, 2, 2, 0, 1},
                             {0, 1, 4, 7, 6, 1}, {1, 0, 5, 6, 7, 0}, {0, 4, 5, 7, 5, 4}, {1, 5, 4, 6, 4, 5}};
    for (const auto& f : faces) m.faceAdd(f[0], f[1], f[2], f[3], f[4], f[5], false, false, false);
    for (const int f : {0, 1, 4, 5})
        for (const int v : m.faces[f].v) m.vertices[v].face = f;
    m.initializeVertices();
    m.calculateNormals(2);
    EXPECT_EQ(checkMeshInvariants(m), "edge 0-1 is run by 4 faces: 0 1 4 5");
    EXPECT_FALSE(Mesh(m).buildConnectivity());
}

// Every refused edit returns its failure value and leaves the records as
// they were.
TEST(MeshEdits, RefusalsChangeNothing) {
    const MeshPtr tetra(meshtest::makeTetra()), loop(meshtest::makeTetra(false, true)), quad(meshtest::makeQuad());
    const MeshPtr strip(meshtest::makeStrip(true)), hex(meshtest::makeHexagon({1, 4})), bi = bipyramid();
    const MeshPtr octa = octahedron(), crease = octahedron({{0, 4}});
    const MeshPtr allSharp =
        octahedron({{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 4}, {2, 4}, {3, 4}, {0, 5}, {1, 5}, {2, 5}, {3, 5}});
    MeshPtr hole(meshtest::makeQuad());
    hole->faces[1].flags &= ~MeshFace::ActiveBit;  // the neighbour is inactive: the edge reads as open
    const struct {
        const Mesh* m;
        bool (*edit)(Mesh&);
        const char* why;
    } cases[] = {
        {tetra.get(), [](Mesh& m) { return m.edgeFlipFK(0, 0); }, "flip: the new diagonal exists"},
        {strip.get(), [](Mesh& m) { return m.edgeFlipFK(0, 1); }, "flip: sharp edge"},
        {quad.get(), [](Mesh& m) { return m.edgeFlipFK(0, 0); }, "flip: open edge"},
        {hole.get(), [](Mesh& m) { return m.edgeFlipFK(0, 1); }, "flip: inactive neighbour"},
        {tetra.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 1); }, "collapse: pocket"},
        {quad.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 1); }, "collapse: open edge"},
        {quad.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 2); }, "collapse: both ends on the border"},
        {bi.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 1); }, "collapse: the rings share 2 besides a and c"},
        {hex.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 2); }, "collapse: smooth edge between sharp vertices"},
        {allSharp.get(), [](Mesh& m) { return m.edgeCollapseVV(0, 4); }, "collapse: two corners"},
        {quad.get(), [](Mesh& m) { return m.vertexDivide(0, 0) >= 0; }, "divide: sector open on both sides"},
        {octa.get(), [](Mesh& m) { return m.vertexDivide(0, 0) >= 0; }, "divide: one sector, the whole fan"},
        {crease.get(), [](Mesh& m) { return m.vertexDivide(0, 3) >= 0; }, "divide: the end of one crease"},
        {loop.get(), [](Mesh& m) { return m.vertexDivide(0, 0) >= 0; }, "divide: no sharp edge"},
        {octa.get(), [](Mesh& m) { return m.vertexSplit(0, 0, pbr(), false) >= 0; }, "split: the whole fan"},
    };
    for (const auto& c : cases) {
        Mesh m(*c.m);
        EXPECT_FALSE(c.edit(m)) << c.why;
        EXPECT_TRUE(sameRecords(m, *c.m)) << c.why;
    }
}

TEST(MeshEdgeFlip, QuadDiagonalTurnsAndCarriesMaterials) {
    MeshPtr m(meshtest::makeQuad());  // the diagonal 0-2 is F0's edge 1
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k) m->faces[f].material[k] = colourRed(std::uint16_t(100 * f + 10 * k + 1));
    m->faces[0].flags |= MeshFace::SelectedBit | MeshFace::MarkBit;
    ASSERT_TRUE(m->edgeFlipFK(0, 1));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    const MeshFace &F = m->faces[0], &G = m->faces[1];
    EXPECT_EQ((V{F.v[0], F.v[1], F.v[2], G.v[0], G.v[1], G.v[2]}), (V{2, 3, 1, 0, 1, 3}));
    // Each corner keeps the material its vertex had on the same side.
    EXPECT_EQ((V{at(*m, 0, 2).colour.r, at(*m, 0, 3).colour.r, at(*m, 1, 0).colour.r, at(*m, 1, 1).colour.r}),
              (V{21, 121, 101, 11}));
    // The open wing edges carry the sharp bit; no selection or mark.
    EXPECT_EQ((V{F.flags, G.flags}), (V{8 | 2 | 4, 8 | 2 | 4}));
}

// Edits that add vertex nv: the face count they leave, nv's flags and the
// kind of the edges at nv (N) or between other vertices afterwards.
TEST(MeshEdits, NewVertexFlagsAndTheEdgesAroundIt) {
    const Mesh o = *octahedron(), e = *octahedron(kEquator), q = *MeshPtr(meshtest::makeQuad());
    const Mesh t = *MeshPtr(meshtest::makeTetra(true, false));  // 0 a corner
    constexpr int N = -1;
    constexpr std::uint8_t A = MeshVertex::ActiveBit, S = MeshVertex::SharpBit, B = MeshVertex::BorderBit,
                           C = MeshVertex::CornerBit;
    const struct {
        const Mesh* m;
        int (*edit)(Mesh&);
        int nv, faces;
        std::uint8_t flags;
        std::vector<std::array<int, 3>> edges;  // u, w, kind
    } cases[] = {
        {&o, [](Mesh& x) { return x.edgeSplitFK(0, 0); }, 6, 10, A, {{N, 0, kSmooth}, {N, 2, kSmooth}}},
        {&e, [](Mesh& x) { return x.edgeSplitFK(0, 2); }, 6, 10, A | S, {{N, 0, kCrease}, {N, 1, kCrease}}},
        {&q, [](Mesh& x) { return x.edgeSplitFK(0, 0); }, 4, 3, A | S | B, {{N, 2, kOpen}, {N, 0, kSmooth}}},
        {&q, [](Mesh& x) { return cutSplit(x, 0, 0, vec3(1, 0.5f, 0)); }, 4, 3, A | S | B | C, {{N, 0, kCrease}}},
        {&o, [](Mesh& x) { return x.faceSplit(0); }, 6, 10, A, {{N, 0, kSmooth}, {N, 1, kSmooth}}},
        {&e, [](Mesh& x) { return x.vertexDivide(0, 0); }, 6, 8, A | S | B, {{0, 1, kOpen}, {N, 1, kOpen}}},
        {&e, [](Mesh& x) { return x.vertexSplit(0, 0, {}, false); }, 6, 10, A | S, {{N, 1, kCrease}, {N, 0, kSmooth}}},
        {&t, [](Mesh& x) { return x.vertexSplit(0, 0, {}, false); }, 4, 6, A | S | C, {{N, 0, kSmooth}}},
        {&t, [](Mesh& x) { return x.vertexSplit(0, 0, {}, true); }, 4, 6, A | S | C, {{N, 0, kCrease}}},
    };
    for (const auto& c : cases) {
        const int i = int(&c - cases);
        Mesh m(*c.m);
        ASSERT_EQ(c.edit(m), c.nv) << i;
        EXPECT_EQ(checkMeshInvariants(m), "") << i;
        EXPECT_EQ(m.faceCount(), c.faces) << i;
        EXPECT_EQ(m.vertices[c.nv].flags, c.flags) << i;
        for (const auto& x : c.edges) EXPECT_EQ(edgeKind(m, x[0] < 0 ? c.nv : x[0], x[1]), x[2]) << i << ": " << x[1];
    }
}

TEST(MeshEdgeSplit, MaterialsMixPerSideExtrapolateAndClamp) {
    // T0 = (0,1,4), k = 0: a = 0, b1 = 1, b2 = 4; g = T1 = (1,2,4), c = 2.
    MeshPtr m = octahedron();
    m->faces[0].material[1] = colourRed(0, -3);
    m->faces[0].material[2] = colourRed(65535, 0);
    m->faces[1].material[0] = colourRed(1000);
    m->faces[1].material[2] = colourRed(3000);
    Mesh far(*m), flat(*m);
    int a = -9, c = -9;
    ASSERT_EQ(m->edgeSplitFK(0, 0, a, c), 6);
    EXPECT_EQ((V{a, c}), (V{0, 2}));
    EXPECT_EQ(m->vertices[6].position, vec3(0, 0.5f, 0.5f));
    // Each side mixes on its own, so the seam survives.
    EXPECT_EQ((V{at(*m, 0, 6).colour.r, at(*m, 0, 6).roughness, at(*m, 9, 6).colour.r}), (V{32767, -1, 2000}));
    EXPECT_EQ(at(*m, 8, 6), at(*m, 0, 6));
    // 1.5 edge lengths from b1 = (0,1,0) the channels extrapolate and clamp.
    far.faces[0].material[1] = colourRed(20000, -30000);
    far.faces[0].material[2] = colourRed(60000, 30000);
    ASSERT_EQ(far.edgeSplitFK(0, 0, vec3(0, -0.5f, 1.5f)), 6);
    EXPECT_EQ((V{at(far, 0, 6).colour.r, at(far, 0, 6).roughness, at(far, 1, 6).colour.r}),
              (V{65535, pbr::SignedMax, 4000}));
    // A zero-length edge takes b1's material.
    flat.vertices[4].position = flat.vertices[1].position;
    ASSERT_EQ(flat.edgeSplitFK(0, 0, vec3(0, 1, 0)), 6);
    EXPECT_EQ((V{at(flat, 0, 6).colour.r, at(flat, 1, 6).colour.r}), (V{0, 1000}));

    // The cut form marks the new edge to a and reports the far side; on an
    // open edge its lists stay empty.
    MeshPtr o = octahedron();
    V faces, corners, verts;
    ASSERT_EQ(o->edgeSplitFK(0, 0, vec3(0, 0.25f, 0.75f), faces, corners, verts), 6);
    ASSERT_EQ(faces.size() + corners.size() + verts.size(), 5u);
    EXPECT_EQ((V{faces[0], faces[1], verts[0], o->faces[1].v[corners[0]], o->faces[9].v[corners[1]]}),
              (V{1, 9, 2, 6, 6}));
    EXPECT_EQ(edgeKind(*o, 0, 6), kCrease);
    MeshPtr q(meshtest::makeQuad());
    ASSERT_EQ(q->edgeSplitFK(0, 0, vec3(1, 0.5f, 0), faces, corners, verts), 4);
    EXPECT_TRUE(faces.empty() && corners.empty() && verts.empty());
}

TEST(MeshEdgeCollapse, MidpointMaterialsPerSectorAndFeatureVerticesStay) {
    MeshPtr m = octahedron();
    ASSERT_TRUE(m->edgeCollapseVV(0, 4));  // keeps 4, removes 0
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ((V{activeVertexCount(*m), activeFaceCount(*m), m->needsCompaction}), (V{5, 6, 1}));
    EXPECT_EQ(m->vertices[4].position, vec3(0.5f, 0, 0.5f));

    // Sharp equator: 4 ends with a top sector (T1, T2) and a bottom one (B0, B3).
    MeshPtr s = octahedron(kEquator);
    for (int f = 0; f < 8; ++f)
        for (int k = 0; k < 3; ++k) s->faces[f].material[k] = colourRed(std::uint16_t(f < 4 ? 100 : 1000 * f));
    ASSERT_TRUE(s->edgeCollapseVV(0, 4));
    EXPECT_EQ(checkMeshInvariants(*s), "");
    EXPECT_EQ((V{at(*s, 4, 4).colour.r, at(*s, 1, 4).colour.r}), (V{5500, 100}));  // B0 (4000) and B3 (7000)
    // The merged wings carry the equator on through the survivor.
    EXPECT_EQ((V{edgeKind(*s, 3, 4), edgeKind(*s, 4, 1), edgeKind(*s, 4, 2)}), (V{kCrease, kCrease, kSmooth}));

    // A feature vertex keeps its place whichever end survives: +Z a corner
    // of three spokes, 0 a crease vertex of the equator.
    constexpr std::uint8_t S = MeshVertex::SharpBit, C = MeshVertex::CornerBit;
    const struct {
        Edges sharp;
        int feature, other;
        std::uint8_t flags;
    } cases[] = {{{{4, 0}, {4, 1}, {4, 2}}, 4, 3, S | C}, {kEquator, 0, 4, S}};
    for (const auto& c : cases)
        for (const bool featureSurvives : {true, false}) {
            MeshPtr x = octahedron(c.sharp);
            const vec3 at = x->vertices[c.feature].position;
            const int a = featureSurvives ? c.other : c.feature, b = a == c.feature ? c.other : c.feature;
            ASSERT_TRUE(x->edgeCollapseVV(a, b)) << a << " " << b;  // a merged into b
            EXPECT_EQ(checkMeshInvariants(*x), "");
            EXPECT_FALSE(x->vertices[a].isActive());
            EXPECT_EQ(x->vertices[b].position, at) << a << " " << b;
            EXPECT_EQ(x->vertices[b].flags & (S | C), c.flags) << a << " " << b;
        }
}

TEST(MeshFaceEdits, EraseOpensTheMeshAndSplitsFansSplitFormsKeepTheNormal) {
    MeshPtr m = octahedron(), q(meshtest::makeQuad()), s(meshtest::makeStrip());
    m->faceErase(0);  // T0 = (0,1,4)
    q->faceErase(0);  // vertex 1 has no other face
    s->faceErase(1);  // the middle of the strip's fan: vertex 0 parts in two
    for (const Mesh* x : {m.get(), q.get(), s.get()}) EXPECT_EQ(checkMeshInvariants(*x), "");
    EXPECT_TRUE(m->needsCompaction == 1 && edgeKind(*m, 0, 1) == kOpen);
    EXPECT_TRUE(!q->vertices[1].isActive() && s->vertexCount() == 6);
    for (int f = 1; f < 8; ++f) m->faceErase(f);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(activeVertexCount(*m), 0);

    // Face split: the centroid form.
    MeshPtr p(meshtest::makeQuad());  // F0 = (0,1,2): edges 0 and 2 open
    p->faces[0].setMaterial(colourRed(65535), colourRed(0), colourRed(0), pbr::MaskAll);
    p->faces[0].flags |= MeshFace::SelectedBit;
    const vec3 normal = p->faces[0].normal;
    ASSERT_EQ(p->faceSplit(0), 4);
    EXPECT_EQ(p->vertices[4].position, vec3(2.0f / 3.0f, 1.0f / 3.0f, 0));
    const int ids[3] = {0, 2, 3}, sharpBits[3] = {4, 4, 0};  // f, A, B: edges 2, 0, 1 of the old face
    for (int i = 0; i < 3; ++i) {
        const MeshFace& F = p->faces[ids[i]];
        EXPECT_EQ(F.flags, MeshFace::ActiveBit | sharpBits[i]) << i;  // the selection dropped
        EXPECT_EQ(F.v[2], 4);
        EXPECT_EQ(F.material[2].colour.r, 21845);
        EXPECT_TRUE(F.normal == normal && F.normals[0] == vec3()) << i;
    }

    // Cut form: the inner edge to q (vertex 1) is sharp.
    MeshPtr o = octahedron();
    V faces, corners, verts;
    ASSERT_EQ(o->faceSplit(0, vec3(0.3f, 0.3f, 0.4f), 1, faces, corners, verts), 6);  // T0 = (0,1,4)
    EXPECT_EQ(checkMeshInvariants(*o), "");
    EXPECT_TRUE(faces == (V{0, 8, 9}) && corners == (V{2, 2, 2}) && verts == (V{0, 4}));
    EXPECT_EQ((V{edgeKind(*o, 6, 1), edgeKind(*o, 6, 0)}), (V{kCrease, kSmooth}));
}

TEST(MeshVertexSplit, FillsTheGapWithTwoPaintedFaces) {
    MeshPtr m = octahedron(kEquator);
    m->deselectAll();  // faces past the mark count as new
    const pbr paint = colourRed(1234, -32768);
    ASSERT_EQ(m->vertexSplit(0, 0, paint, false), 6);
    for (int f = 8; f < 10; ++f)
        for (const pbr& c : m->faces[f].material) EXPECT_TRUE(c.colour.r == 1234 && c.roughness == pbr::SignedMin) << f;
    // Next to a face made by the first split the shared side stays smooth.
    ASSERT_EQ(m->vertexSplit(1, 1, paint, false), 7);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ((V{edgeKind(*m, 1, 6), edgeKind(*m, 1, 2)}), (V{kSmooth, kCrease}));
}

// The arguments of one random edit, at times invalid: a face out of range
// or inactive, k = 3, vertices that share no edge.
struct EditArgs {
    int f, k, v, w, sector;
    vec3 p;
    bool seam, rare;
    V faces, corners, verts;
};

bool eraseFace(Mesh& m, int f) {
    const bool active = m.activeFace(f);
    m.faceErase(f);
    return active;
}

// The edits of the random sequences; each tells whether it reported success.
const std::pair<const char*, bool (*)(Mesh&, EditArgs&)> kEdits[] = {
    {"flip", [](Mesh& m, EditArgs& a) { return m.edgeFlipFK(a.f, a.k); }},
    {"flip vv", [](Mesh& m, EditArgs& a) { return m.edgeFlipVV(a.v, a.w); }},
    {"split", [](Mesh& m, EditArgs& a) { return m.edgeSplitFK(a.f, a.k) >= 0; }},
    {"point split", [](Mesh& m, EditArgs& a) { return m.edgeSplitFK(a.f, a.k, a.p) >= 0; }},
    {"cut split", [](Mesh& m, EditArgs& a) { return m.edgeSplitFK(a.f, a.k, a.p, a.faces, a.corners, a.verts) >= 0; }},
    {"collapse", [](Mesh& m, EditArgs& a) { return m.edgeCollapseFK(a.f, a.k); }},
    {"collapse vv", [](Mesh& m, EditArgs& a) { return m.edgeCollapseVV(a.v, a.w); }},
    {"face split", [](Mesh& m, EditArgs& a) { return m.faceSplit(a.f) >= 0; }},
    {"cut face split",
     [](Mesh& m, EditArgs& a) { return m.faceSplit(a.f, a.p, a.v, a.faces, a.corners, a.verts) >= 0; }},
    {"erase", [](Mesh& m, EditArgs& a) { return a.rare && eraseFace(m, a.f); }},
    {"divide", [](Mesh& m, EditArgs& a) { return m.vertexDivide(a.v, a.sector) >= 0; }},
    {"vertex split", [](Mesh& m, EditArgs& a) { return m.vertexSplit(a.v, a.sector, pbr(), a.seam) >= 0; }},
    {"sharpen", [](Mesh& m, EditArgs& a) { return m.edgeSharpFK(a.f, a.k, true); }},
};

EditArgs randomArgs(const Mesh& m, std::mt19937& rng) {
    EditArgs a;
    a.f = int(rng() % unsigned(m.faceCount() + 1)) - (rng() % 8 == 0 ? 1 : 0);
    a.k = rng() % 16 == 0 ? 3 : int(rng() % 3);
    const bool valid = m.activeFace(a.f) && a.k < 3;
    a.v = valid ? m.faces[a.f].v[a.k] : int(rng() % unsigned(m.vertexCount() + 1)) - 1;
    a.w = int(rng() % unsigned(m.vertexCount()));
    a.sector = valid ? m.findStartRegion(a.v, a.f) : a.f;
    a.p = valid ? (m.vertices[m.faces[a.f].v[0]].position + m.vertices[a.v].position) * 0.4f : vec3();
    a.seam = rng() % 2 == 0;
    a.rare = rng() % 4 == 0;
    return a;
}

// Long random sequences leave a sound mesh, and every refused edit leaves it
// as it was.
TEST(MeshEditsRandom, LongSequencesStaySoundAndRefusalsChangeNothing) {
    for (unsigned seed = 1; seed <= 48; ++seed) {
        std::mt19937 rng(seed);
        MeshPtr m = seed % 3 == 0   ? bipyramid()
                    : seed % 3 == 1 ? octahedron(kEquator)
                                    : MeshPtr(meshtest::makeHexagon({1, 4}));
        for (int step = 0; step < 400 && activeFaceCount(*m) > 0; ++step) {
            const Mesh before(*m);
            EditArgs args = randomArgs(*m, rng);
            const auto& edit = kEdits[rng() % (sizeof kEdits / sizeof kEdits[0])];
            const bool ok = edit.second(*m, args);
            ASSERT_TRUE(ok || sameRecords(*m, before))
                << "seed " << seed << " step " << step << " refused " << edit.first;
            ASSERT_EQ(checkMeshInvariants(*m), "") << "seed " << seed << " step " << step << " after " << edit.first;
        }
    }
}

}  // namespace
