// The rebuild of a mesh from bare triangles: neighbour links, orientation,
// separation of touching fans, compaction, size and sharp edges.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::vec3;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

// A rebuilt mesh: sound, compacted and free of walk marks.
void expectSound(const Mesh& m) {
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    EXPECT_EQ(meshtest::activeVertexCount(m), m.vertexCount());
    EXPECT_EQ(meshtest::activeFaceCount(m), m.faceCount());
    for (int i = 0; i < m.faceCount(); ++i)
        EXPECT_EQ(m.faces[i].flags & (MeshFace::SelectedBit | MeshFace::VisitedBit), 0) << "face " << i;
}

// The triangles as position triples rotated to start at the smallest, sorted:
// compares geometry and orientation across renumbering.
using Tri = std::array<std::array<float, 3>, 3>;
std::vector<Tri> triangles(const Mesh& m) {
    std::vector<Tri> out;
    for (int i = 0; i < m.faceCount(); ++i) {
        if (!m.faces[i].isActive()) continue;
        Tri t;
        for (int k = 0; k < 3; ++k) {
            const vec3 p = m.vertices[m.faces[i].v[k]].position;
            t[k] = {p.x, p.y, p.z};
        }
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        out.push_back(t);
    }
    std::sort(out.begin(), out.end());
    return out;
}

Mesh bare(const std::vector<vec3>& points, const std::vector<std::array<int, 3>>& tris) {
    Mesh m;
    for (const vec3& p : points) m.vertexAdd(p);
    for (const auto& t : tris) m.faceAdd(t[0], t[1], t[2]);
    return m;
}

// The smooth sphere's positions and corners without links or flags.
MeshPtr bareSphere(int levels) {
    const MeshPtr s(meshtest::smoothSphere(levels));
    MeshPtr m(new Mesh());
    for (int v = 0; v < s->vertexCount(); ++v) m->vertexAdd(s->vertices[v].position);
    for (int f = 0; f < s->faceCount(); ++f) m->faceAdd(s->faces[f].v[0], s->faces[f].v[1], s->faces[f].v[2]);
    return m;
}

const std::vector<vec3> kSquare = {vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0), vec3(1, 1, 0)};

TEST(MeshConnectivity, ThreeFacesOnOneEdgeFail) {
    Mesh m = bare({vec3(0, 0, 0), vec3(1, 1, 0), vec3(2, 4, 0), vec3(3, 9, 0), vec3(4, 16, 0)},
                  {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
    m.centre = vec3(7, 7, 7);
    EXPECT_FALSE(m.buildConnectivity());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.faces[i].f[0], -1);
    m.initialize(Mesh::ResizeMean);
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.centre, vec3(7, 7, 7));
    m.faces[2].flags = 0;  // a later sound rebuild clears the status
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.status, 0);
    expectSound(m);
}

// (Faces that repeat a corner leave as well: the OBJ fuzz corpus holds them.)
TEST(MeshConnectivity, StaleRecordsAndOneSidedMarksAreRepaired) {
    Mesh n = bare(kSquare, {{0, 1, 3}, {0, 3, 2}});
    n.vertexAdd(vec3(5, 5, 5));  // without a face
    const int extra = n.vertexAdd(vec3(3, 3, 0));
    const int erased = n.faceAdd(1, extra, 3);
    n.faces[erased].flags = 0;  // erased by hand: its vertex keeps the stale stored face
    n.vertices[extra].face = erased;
    n.vertices[3].flags = 0;  // inactive, but live faces use it: revived
    n.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(n.vertexCount(), 4);
    expectSound(n);

    Mesh s = bare(kSquare, {{0, 3, 2}});  // edge 0-3 sharp in one of its faces only
    s.faceAdd(0, 1, 3, false, true, false);
    s.initialize(Mesh::ResizeKeep);
    EXPECT_TRUE(s.faces[0].isSharp(2));
    expectSound(s);
}

TEST(MeshOrientation, TheMajorityDecidesAndFlipsCarryTheirData) {
    // Faces 0-1-2 and 1-4-3 counter-clockwise, 1-2-3 clockwise with edge 0 (2-3) sharp.
    Mesh m = bare({vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0), vec3(1, 1, 0), vec3(2, 0, 0)}, {{0, 1, 2}});
    m.faceAdd(1, 2, 3, true, false, false);
    m.faceAdd(1, 4, 3);
    m.faces[1].material[0].roughness = 100;  // corner of vertex 1
    m.faces[1].normals[0] = vec3(0, 0, 7);
    ASSERT_TRUE(m.buildConnectivity());  // a same-direction pair is linked
    EXPECT_EQ(m.faces[0].f[0], 1);
    m.correctOrientation();
    // Corners 0 and 2 swap with their data; the mark stays opposite vertex 1.
    const MeshFace& F = m.faces[1];
    EXPECT_EQ(F.v[0], 3);
    EXPECT_EQ(F.v[2], 1);
    EXPECT_TRUE(F.isSharp(2) && !F.isSharp(0));
    EXPECT_EQ(F.material[2].roughness, 100);
    EXPECT_EQ(F.normals[2], vec3(0, 0, 7));
    m.initialize(Mesh::ResizeKeep);
    expectSound(m);

    // Every face but the first turned inwards: the first face is the one that flips.
    auto s = bareSphere(1);
    for (int i = 1; i < s->faceCount(); ++i) std::swap(s->faces[i].v[1], s->faces[i].v[2]);
    s->initialize(Mesh::ResizeKeep);
    expectSound(*s);
    for (int i = 0; i < s->faceCount(); ++i)  // inwards: the normal points at the centre
        EXPECT_LT(qel::dot(s->faces[i].normal, s->vertices[s->faces[i].v[0]].position), 0.0f) << i;
}

// A Moebius strip of n quads: points 2i and 2i + 1 across the strip at step
// i; the strip turns half a turn on the way round, so the last quad meets
// the first upside down. Bare records, as an import hands them over.
Mesh moebius(int n) {
    Mesh m;
    for (int i = 0; i < n; ++i) {
        const float a = 6.2831853f * float(i) / float(n), c = std::cos(a / 2), s = std::sin(a / 2);
        for (const float w : {-0.3f, 0.3f})
            m.vertexAdd(vec3((1 + w * c) * std::cos(a), (1 + w * c) * std::sin(a), w * s));
        m.facesAdd(i + 1 < n ? std::vector<int>{2 * i, 2 * i + 1, 2 * i + 3, 2 * i + 2}
                             : std::vector<int>{2 * i, 2 * i + 1, 0, 1});
    }
    return m;
}

// Where the orientation vote cannot agree, the edge becomes an open seam:
// links stay mutual, the seam's ends are split as on any border, and a
// second rebuild changes nothing. (The fuzz corpus keeps these strips, a
// Klein bottle and the 7-triangle strip, checked the same way on import.)
TEST(MeshOrientation, OneSidedSurfacesOpenASeam) {
    for (const int n : {24, 4}) {
        Mesh m = moebius(n);
        m.initializeReconstructSharp(Mesh::ResizeMean);
        ASSERT_EQ(m.status, 0);
        expectSound(m);
        EXPECT_EQ(m.vertexCount(), 2 * n + 2);  // one seam edge, both ends split
        std::vector<int> loop;
        EXPECT_EQ(m.Border(0, loop), 2 * n + 2);  // cut open: one border round all of it
        Mesh again(m);
        again.initialize(Mesh::ResizeKeep);
        ASSERT_EQ(again.vertexCount(), m.vertexCount());
        for (int v = 0; v < m.vertexCount(); ++v)
            EXPECT_TRUE(again.vertices[v].flags == m.vertices[v].flags && again.vertices[v].face == m.vertices[v].face);
        for (int i = 0; i < m.faceCount(); ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(again.faces[i].v[k] == m.faces[i].v[k] && again.faces[i].f[k] == m.faces[i].f[k]) << i;
    }
}

TEST(MeshSplit, TwoConesTouchingAtTheirTips) {
    Mesh m;
    const int tip = m.vertexAdd(vec3(0, 0, 0));
    for (const float dir : {1.0f, -1.0f}) {  // open cones round the z axis, up and down
        const int first = m.vertexCount();
        for (int i = 0; i < 8; ++i) m.vertexAdd(vec3(std::cos(0.785398f * i), std::sin(0.785398f * i), dir));
        for (int i = 0; i < 8; ++i) {
            const int b0 = first + i, b1 = first + (i + 1) % 8;
            dir > 0 ? m.faceAdd(tip, b0, b1) : m.faceAdd(tip, b1, b0);
        }
    }
    m.initialize(Mesh::ResizeKeep);
    ASSERT_EQ(m.status, 0);
    expectSound(m);
    ASSERT_EQ(m.vertexCount(), 18);
    EXPECT_EQ(m.vertices[17].position, vec3(0, 0, 0));
    for (const int t : {tip, 17}) {
        EXPECT_TRUE(m.vertices[t].isCorner()) << t;
        std::vector<int> fan;
        EXPECT_EQ(m.findFNeighbours(t, fan), 8);
        // Each tip's corner normals follow its own cone only.
        const float side = m.faces[fan[0]].v[1] <= 8 && m.faces[fan[0]].v[2] <= 8 ? 1.0f : -1.0f;
        for (const int f : fan) EXPECT_NEAR(m.faces[f].normals[m.faces[f].corner(t)].z, side, 1e-5f) << t;
    }
}

TEST(MeshSplit, TwoClosedSolidsSharingAVertex) {
    // Closed fans, consistently wound: no open edge tells them apart.
    Mesh m = bare(
        {vec3(0, 0, 0), vec3(1, 0, 1), vec3(0, 1, 1), vec3(1, 1, 2), vec3(1, 0, -1), vec3(0, 1, -1), vec3(1, 1, -2)},
        {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {0, 5, 4}, {0, 4, 6}, {0, 6, 5}, {4, 5, 6}});
    m.initialize(Mesh::ResizeKeep);
    ASSERT_EQ(m.status, 0);
    expectSound(m);
    ASSERT_EQ(m.vertexCount(), 8);
    EXPECT_EQ(m.vertices[7].position, vec3(0, 0, 0));
    EXPECT_TRUE(m.vertices[0].isCorner());
    EXPECT_TRUE(m.vertices[7].isCorner());
}

TEST(MeshCompaction, ErasedRecordsAndStaleLinksLeaveASoundMesh) {
    MeshPtr m(meshtest::smoothSphere(1));
    for (const int f : {3, 4, 40, 41, 79, 78}) m->faceErase(f);
    const auto before = triangles(*m);
    m->deselectAll();
    m->removeInactive(false);
    EXPECT_EQ(m->faceCount(), 74);
    EXPECT_EQ(m->needsCompaction, 0);
    expectSound(*m);
    EXPECT_EQ(triangles(*m), before);

    Mesh s = bare(kSquare, {{0, 1, 3}, {0, 3, 2}});
    s.initialize(Mesh::ResizeKeep);
    s.faces[0].flags = 0;  // cleared without telling the neighbour
    s.removeInactive(true);
    ASSERT_EQ(s.faceCount(), 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.faces[0].f[k], -1);
    EXPECT_EQ(s.vertexCount(), 4);  // vertex 1 waits for the next connectivity build
    s.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(s.vertexCount(), 3);
    expectSound(s);

    // Two triangles touch at the last vertex while holes sit at the front of
    // both lists: compaction moves the shared vertex into a hole and must
    // re-point the corners of both of its fans before they are split.
    Mesh t = bare({vec3(9, 9, 9), vec3(-1, 1, 0), vec3(-1, -1, 0), vec3(1, -1, 0), vec3(1, 1, 0), vec3(0, 0, 0)},
                  {{1, 2, 3}, {5, 1, 2}, {5, 3, 4}});
    t.faces[0].flags = 0;
    const auto touching = triangles(t);
    t.initialize(Mesh::ResizeKeep);
    expectSound(t);
    EXPECT_EQ(t.vertexCount(), 6);
    EXPECT_EQ(triangles(t), touching);
}

// Both styles on sound meshes are pinned by the primitives' tests.
TEST(MeshSize, InactiveVerticesDoNotCountAndSizeIsNeverZero) {
    Mesh one = bare({vec3(2, 3, 4), vec3(9, 9, 9)}, {});
    one.vertices[1].flags = 0;  // left out: a single point, size 1 (never 0)
    one.calculateSize(Mesh::ResizeMean);
    EXPECT_EQ(one.centre, vec3(2, 3, 4));
    EXPECT_EQ(one.size(), 1.0f);
    one.vertices[0].flags = 0;  // no active vertex: the origin
    for (const auto style : {Mesh::ResizeMean, Mesh::ResizeBox}) {
        one.calculateSize(style);
        EXPECT_EQ(one.centre, vec3(0, 0, 0));
        EXPECT_EQ(one.size(), 1.0f);
    }
}

// A sphere damaged at random: faces turned over, erased, welded vertices
// (touching fans, repeated corners, edges of three faces), missing vertices
// and lone vertices. The rebuild must leave a sound mesh or report the
// failure; then the face-by-face passes must agree with the vertex walks.
TEST(MeshRebuild, RandomlyDamagedSpheres) {
    int rebuilt = 0, refused = 0;
    for (unsigned seed = 0; seed < 60; ++seed) {
        std::mt19937 rng(seed);
        auto m = bareSphere(1);
        const int nV = m->vertexCount();
        for (int i = 0; i < m->faceCount(); ++i) {
            MeshFace& F = m->faces[i];
            if (rng() % 5 == 0) std::swap(F.v[0], F.v[1]);
            if (rng() % 12 == 0) F.flags = 0;
        }
        for (int w = int(seed % 4); w > 0; --w) {
            const int a = int(rng() % unsigned(nV)), b = int(rng() % unsigned(nV));
            for (int i = 0; i < m->faceCount(); ++i)
                for (int k = 0; k < 3; ++k)
                    if (m->faces[i].v[k] == b) m->faces[i].v[k] = a;
        }
        if (seed % 3 == 0) m->faceAdd(1, 2, nV + 40);
        m->initialize(Mesh::ResizeMean);
        if (m->status != 0) {
            ++refused;
            continue;
        }
        ++rebuilt;
        expectSound(*m);
        if (testing::Test::HasFailure()) return;
        for (int i = 0; i < m->faceCount(); ++i)
            for (int k = 0; k < 3; ++k)
                if (rng() % 4 == 0 || i % 7 == 0) m->edgeSharpFK(i, k, true);
        Mesh walked(*m);
        m->initializeVertices();
        for (int v = 0; v < walked.vertexCount(); ++v) {
            walked.vertexUpdate(v);
            if (walked.corner(v)) walked.vertices[v].flags |= MeshVertex::SharpBit | MeshVertex::CornerBit;
        }
        m->calculateNormals(2);
        for (int v = 0; v < walked.vertexCount(); ++v) walked.vertexNormals(v);
        for (int v = 0; v < m->vertexCount(); ++v) {
            EXPECT_EQ(m->vertices[v].flags, walked.vertices[v].flags) << seed << " " << v;
            EXPECT_EQ(m->vertices[v].face, walked.vertices[v].face) << seed << " " << v;
        }
        for (int i = 0; i < m->faceCount(); ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_LT(qel::length(m->faces[i].normals[k] - walked.faces[i].normals[k]), 1e-5) << seed;
    }
    EXPECT_GT(rebuilt, 20);
    EXPECT_GT(refused, 0);
}

// A mesh that counts the releases of its GL buffers.
class CountingMesh : public Mesh {
public:
    int released = 0;
    void deleteVBO() override {
        ++released;
        vbo = featureVbo = 0;
    }
};

TEST(MeshInitialize, ReleasesTheBuffersOfADrawnMesh) {
    CountingMesh m;
    for (const vec3& p : {vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0)}) m.vertexAdd(p);
    m.faceAdd(0, 1, 2);
    m.vbo = 12;
    m.featureVbo = 13;
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.released, 1);
    EXPECT_EQ(m.vbo, 0u);
}

}  // namespace
