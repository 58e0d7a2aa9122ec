// The gathered fans of the brush passes against the walks they replace,
// and the smoothing stamp and brush scan that read them against the same
// steps taken vertex by vertex, on meshes with creases, corners and holes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"
#include "mesh/vertex_fans.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

// A sphere keeping the icosahedron's creases and corners (2,562 vertices,
// past one vertex block), with holes, a little jitter and fresh normals.
Mesh* featureSphere() {
    const MeshPtr base(Mesh::Icosahedron());
    Mesh* m = Mesh::Sphere(base.get(), 4, true, true);
    for (const int f : {7, 300, 301, 2000, 4111}) m->faceErase(f);
    std::uint32_t seed = 12345;
    auto jitter = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (float(seed >> 8) / float(1u << 24) - 0.5f) * 0.02f;
    };
    for (int v = 0; v < m->vertexCount(); ++v) m->vertices[v].position += vec3(jitter(), jitter(), jitter());
    m->calculateNormals(2);
    m->calculateNormals(0);
    return m;
}

std::vector<Mesh*> fanMeshes() {
    return {featureSphere(), meshtest::torus(12, 8, 3.0, 1.0, true, true), meshtest::makeHexagon({1, 4})};
}

bool same(const vec3& a, const vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every record field the brush passes write, bit for bit.
void expectSameMesh(const Mesh& a, const Mesh& b) {
    ASSERT_EQ(a.vertexCount(), b.vertexCount());
    ASSERT_EQ(a.faceCount(), b.faceCount());
    for (int v = 0; v < a.vertexCount(); ++v) {
        const MeshVertex &p = a.vertices[v], &q = b.vertices[v];
        EXPECT_TRUE(same(p.position, q.position) && p.selection == q.selection && p.flags == q.flags) << v;
    }
    for (int f = 0; f < a.faceCount(); ++f) {
        const MeshFace &F = a.faces[f], &G = b.faces[f];
        EXPECT_TRUE(same(F.normal, G.normal) && F.flags == G.flags) << f;
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(same(F.normals[k], G.normals[k])) << f << " " << k;
    }
    EXPECT_EQ(a.selectedVertices, b.selectedVertices);
    EXPECT_EQ(a.selectedFaces, b.selectedFaces);
}

// selectMarginal's listing, fan by fan through the public walk.
void marginByWalks(Mesh& m) {
    const std::size_t moved = m.selectedVertices.size();
    std::vector<int> fan;
    for (std::size_t i = 0; i < moved; ++i) {
        const int v = m.selectedVertices[i];
        if (!m.activeVertex(v)) continue;
        m.findFNeighbours(v, fan);
        for (const int f : fan) {
            MeshFace& F = m.faces[f];
            if (F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) continue;
            F.flags = std::uint8_t(F.flags | MeshFace::SelectedBit);
            m.selectedFaces.push_back(f);
            for (const int w : F.v)
                if (m.validVertex(w) && !m.vertices[w].isSelected()) m.appendSelectedVertex(w);
        }
    }
}

}  // namespace

TEST(VertexFans, GatheredFansAreTheWalksRoundEachVertex) {
    for (Mesh* raw : fanMeshes()) {
        const MeshPtr m(raw);
        std::vector<std::int32_t> list;
        for (int v = 0; v < m->vertexCount(); ++v) list.push_back(v);
        list.push_back(0);  // twice
        list.push_back(-1);
        list.push_back(m->vertexCount());
        VertexFans fans;
        fans.gather(*m, list.data(), list.size());
        ASSERT_TRUE(fans.lists(list.data(), list.size()));
        std::vector<int> faceList, ks, ring, ringFaces, crossings;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const int v = list[i];
            const std::size_t n = std::size_t(fans.end(i) - fans.begin(i));
            if (!m->validVertex(v)) {
                EXPECT_EQ(n, 0u);
                continue;
            }
            m->findFKNeighbours(v, faceList, ks);
            m->findNeighbours(v, ring, ringFaces, crossings);
            ASSERT_EQ(n, faceList.size()) << v;
            std::vector<int> fanCrossings, fanRing;
            for (std::size_t j = 0; j < n; ++j) {
                const FanFace& x = fans.begin(i)[j];
                EXPECT_TRUE(x.face == faceList[j] && x.k == ks[j]) << v;
                EXPECT_EQ(x.forwardSharp(), m->faces[x.face].isSharp(nextK(x.k))) << v;
                if (x.backBounded()) fanCrossings.push_back(int(fanRing.size()));
                fanRing.push_back(x.next);
                EXPECT_EQ(x.openEnd(), j + 1 == n && ringFaces.back() == -1) << v;
                if (x.openEnd()) fanRing.push_back(m->faces[x.face].v[prevK(x.k)]);
            }
            EXPECT_EQ(fanRing, ring) << v;
            // findNeighbours also counts the closing vertex of an open fan.
            if (!ringFaces.empty() && ringFaces.back() == -1) fanCrossings.push_back(int(ring.size()) - 1);
            EXPECT_EQ(fanCrossings, crossings) << v;
        }
    }
}

TEST(VertexFans, SmoothedPositionsAndCornerNormalsReadFromFansMatchTheWalks) {
    for (Mesh* raw : fanMeshes()) {
        const MeshPtr m(raw);
        std::vector<std::int32_t> list;
        for (int v = 0; v < m->vertexCount(); ++v) list.push_back(v);
        VertexFans fans;
        fans.gather(*m, list.data(), list.size());
        for (std::size_t i = 0; i < list.size(); ++i)
            EXPECT_TRUE(same(m->vertexSmoothPosition(fans, i), m->vertexSmoothPosition(list[i]))) << list[i];
        // Scrambled face normals, so that each corner normal depends on its sector.
        for (int f = 0; f < m->faceCount(); ++f) m->faces[f].normal = vec3(float(f % 7) - 3, float(f % 5), 1);
        const MeshPtr walked(m->clone());
        m->vertexNormals(fans);
        for (int v = 0; v < walked->vertexCount(); ++v) walked->vertexNormals(v);
        expectSameMesh(*m, *walked);
        EXPECT_EQ(checkMeshInvariants(*m), "");
    }
}

TEST(VertexFans, SmoothStampMatchesItsStepsTakenVertexByVertex) {
    const MeshPtr start(featureSphere());
    // Brushes over a crease, a corner, a hole and the whole sphere.
    const struct {
        int vertex;
        float radius;
    } brushes[] = {{0, 0.5f}, {11, 0.8f}, {1500, 0.3f}, {2400, 0.6f}, {100, 5.0f}};
    for (const auto& b : brushes) {
        const vec3 c = start->vertices[b.vertex].position;
        const MeshPtr fast(start->clone()), walked(start->clone());
        fast->smooth(c, c, b.radius);

        walked->selectV(c, b.radius, true);
        walked->displacements.assign(walked->selectedVertices.size(), vec3(0, 0, 0));
        for (const MeshInfluence& r : walked->influences) {
            const vec3 p = walked->vertices[r.vertex].position;
            walked->displacements[std::size_t(walked->vertices[r.vertex].selection)] +=
                (walked->vertexSmoothPosition(r.vertex) - p) * float(0.5 * Mesh::falloff(r.t));
        }
        walked->applyDisplacement();
        marginByWalks(*walked);
        walked->calculateNormals(0);  // the faces off the margin did not move
        for (const int v : walked->selectedVertices)
            if (walked->activeVertex(v)) walked->vertexNormals(v);
        walked->deselectAll();
        expectSameMesh(*fast, *walked);
        EXPECT_EQ(checkMeshInvariants(*fast), "");

        // The margin alone lists the same faces and vertices in the same order.
        fast->selectV(c, b.radius, true);
        walked->selectV(c, b.radius, true);
        fast->selectMarginal();
        marginByWalks(*walked);
        expectSameMesh(*fast, *walked);
    }
}

TEST(VertexFans, BrushScanListsTheVerticesOfTheOpenBall) {
    const MeshPtr m(featureSphere());
    m->vertices[5].position = vec3(std::numeric_limits<float>::quiet_NaN(), 0, 0);
    m->vertices[6].flags = std::uint8_t(m->vertices[6].flags & ~MeshVertex::ActiveBit);
    m->vertices[2047].position = m->vertices[2048].position;  // both sides of a block boundary
    for (const int centre : {6, 2048, 900}) {
        for (const float radius : {0.0f, 0.25f, 1.0f, 10.0f}) {
            const vec3 c = m->vertices[centre].position;
            m->selectV(c, radius, true);
            std::vector<MeshInfluence> expected;
            const float r2 = radius * radius;
            for (int v = 0; v < m->vertexCount(); ++v) {
                const MeshVertex& r = m->vertices[v];
                const vec3 d = r.position - c;
                if (!r.isActive() || !(std::fabs(d.x) < radius && std::fabs(d.y) < radius && std::fabs(d.z) < radius))
                    continue;
                const double q = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
                if (!(q < double(r2))) continue;
                expected.push_back({v, r2 > 0.0f ? float(std::sqrt(q / double(r2))) : 1.0f, d});
            }
            ASSERT_EQ(m->influences.size(), expected.size()) << centre << " " << radius;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const MeshInfluence &a = m->influences[i], &e = expected[i];
                EXPECT_TRUE(a.vertex == e.vertex && a.t == e.t && same(a.offset, e.offset)) << a.vertex;
                EXPECT_EQ(m->selectedVertices[i], e.vertex);
            }
            m->deselectAll();
        }
    }
}

namespace {

// The fans a fresh gather walks, entry by entry.
void expectSameFans(const VertexFans& a, const VertexFans& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a.vertex(i), b.vertex(i));
        ASSERT_EQ(a.end(i) - a.begin(i), b.end(i) - b.begin(i)) << a.vertex(i);
        for (const FanFace *x = a.begin(i), *y = b.begin(i); x != a.end(i); ++x, ++y)
            EXPECT_TRUE(x->face == y->face && x->next == y->next && x->back == y->back && x->k == y->k &&
                        x->marks == y->marks)
                << a.vertex(i);
    }
}

}  // namespace

TEST(FanCache, ReusedOnMeshesOfOtherSizesGivesTheWalkedFans) {
    // Larger and smaller meshes in turn, each gathered twice (walked, then
    // copied), with vertices past a page, repeated, and out of range.
    std::vector<MeshPtr> meshes;
    meshes.emplace_back(meshtest::torus(40, 30, 3.0, 1.0, true, true));
    meshes.emplace_back(featureSphere());
    meshes.emplace_back(meshtest::torus(60, 50, 3.0, 1.0, false, true));
    meshes.emplace_back(meshtest::makeHexagon({1, 4}));
    FanCache cache;
    for (int round = 0; round < 2; ++round)
        for (const MeshPtr& m : meshes) {
            const int n = m->vertexCount();
            std::vector<std::int32_t> list;
            for (int v = n - 1; v >= 0; v -= 3) list.push_back(v);
            list.push_back(0);
            list.push_back(0);
            list.push_back(n);
            list.push_back(-1);
            cache.reset(m->vertexCount(), m->faceCount());
            for (std::size_t part : {list.size() / 2, list.size()}) {
                VertexFans cached, walked;
                cache.gather(*m, list.data(), part, cached);
                walked.gather(*m, list.data(), part);
                expectSameFans(cached, walked);
            }
            cache.reset(-1, -1);
        }
}

TEST(FanCache, HoldsWhatTheGatheredVerticesNeedNotTheMesh) {
    // 250,000 vertices, of which a brush's worth is gathered.
    const MeshPtr m(meshtest::torus(500, 500, 3.0, 1.0));
    std::vector<std::int32_t> list;
    for (int v = 1000; v < 1400; ++v) list.push_back(v);
    FanCache cache;
    cache.reset(m->vertexCount(), m->faceCount());
    VertexFans fans;
    cache.gather(*m, list.data(), list.size(), fans);
    const std::size_t gathered = cache.bytes();
    // Its fans and a page or two: far less than a word per vertex.
    EXPECT_LT(gathered, std::size_t(m->vertexCount()));
    // A stroke on a mesh of other counts adds no more than its own reach.
    const MeshPtr other(meshtest::torus(400, 600, 3.0, 1.0));
    cache.reset(-1, -1);
    cache.reset(other->vertexCount(), other->faceCount());
    cache.gather(*other, list.data(), list.size(), fans);
    EXPECT_LT(cache.bytes(), gathered + std::size_t(other->vertexCount()) / 4);
}
