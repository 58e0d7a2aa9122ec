// The rebuild of a mesh from bare triangles: neighbour links, orientation,
// vertex flags, separation of touching fans, compaction, size and sharp
// edges.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "mesh/mesh.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::vec3;

namespace {

constexpr std::uint8_t kSharp = MeshVertex::SharpBit;
constexpr std::uint8_t kCorner = MeshVertex::CornerBit;
constexpr std::uint8_t kBorder = MeshVertex::BorderBit;

// Every record active, corners and links in range, links symmetric and
// joining faces that share the edge's two vertices, stored faces holding
// their vertex.
void expectSound(const Mesh& m) {
    const int nV = m.vertexCount(), nF = m.faceCount();
    for (int i = 0; i < nF; ++i) {
        const MeshFace& F = m.faces[i];
        ASSERT_TRUE(F.isActive()) << "face " << i;
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(F.v[k], 0);
            ASSERT_LT(F.v[k], nV) << "face " << i;
            const int g = F.f[k];
            if (g < 0) continue;
            ASSERT_LT(g, nF);
            const MeshFace& G = m.faces[g];
            const int a = F.v[(k + 1) % 3], b = F.v[(k + 2) % 3];
            const int ga = G.corner(a), gb = G.corner(b);
            ASSERT_TRUE(ga >= 0 && gb >= 0) << "face " << i << " edge " << k;
            EXPECT_EQ(G.f[3 - ga - gb], i) << "link " << i << " -> " << g << " not symmetric";
            EXPECT_EQ(F.isSharp(k), G.isSharp(3 - ga - gb));
        }
        EXPECT_EQ(F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit), 0);
    }
    for (int v = 0; v < nV; ++v) {
        const MeshVertex& r = m.vertices[v];
        ASSERT_TRUE(r.isActive()) << "vertex " << v;
        ASSERT_GE(r.face, 0) << "vertex " << v;
        ASSERT_LT(r.face, nF);
        EXPECT_GE(m.faces[r.face].corner(v), 0) << "vertex " << v;
    }
}

// Every shared edge is run in opposite directions by its two faces.
bool consistentlyOriented(const Mesh& m) {
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        for (int k = 0; k < 3; ++k) {
            if (F.f[k] < 0) continue;
            const MeshFace& G = m.faces[F.f[k]];
            const int a = F.v[(k + 1) % 3], b = F.v[(k + 2) % 3];
            const int ga = G.corner(a);
            if (ga < 0 || G.v[(ga + 1) % 3] == b) return false;
        }
    }
    return true;
}

// The triangles as sorted position triples, for comparing geometry across
// renumbering.
using Tri = std::array<std::array<float, 3>, 3>;
std::vector<Tri> triangles(const Mesh& m) {
    std::vector<Tri> out;
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        if (!F.isActive()) continue;
        Tri t;
        for (int k = 0; k < 3; ++k) {
            const vec3 p = m.vertices[F.v[k]].position;
            t[k] = {p.x, p.y, p.z};
        }
        // Rotate so that the smallest corner comes first (keeps orientation).
        const int s = int(std::min_element(t.begin(), t.end()) - t.begin());
        std::rotate(t.begin(), t.begin() + s, t.end());
        out.push_back(t);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// An octahedron subdivided `levels` times, on the unit sphere, faces
// pointing outwards.
std::unique_ptr<Mesh> makeSphere(int levels) {
    std::vector<vec3> p = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::vector<std::array<int, 3>> t = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                         {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    for (int l = 0; l < levels; ++l) {
        std::map<std::pair<int, int>, int> mid;
        auto midpoint = [&](int a, int b) {
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            p.push_back(qel::normalize((p[a] + p[b]) * 0.5f));
            return mid[key] = int(p.size()) - 1;
        };
        std::vector<std::array<int, 3>> next;
        for (const auto& f : t) {
            const int ab = midpoint(f[0], f[1]), bc = midpoint(f[1], f[2]), ca = midpoint(f[2], f[0]);
            next.push_back({f[0], ab, ca});
            next.push_back({ab, f[1], bc});
            next.push_back({ca, bc, f[2]});
            next.push_back({ab, bc, ca});
        }
        t.swap(next);
    }
    auto m = std::make_unique<Mesh>();
    for (const vec3& q : p) m->vertexAdd(q);
    for (const auto& f : t) m->faceAdd(f[0], f[1], f[2]);
    return m;
}

// Unit cube centred at the origin from six quads whose outline edges are
// sharp (the quads' diagonals are not).
std::unique_ptr<Mesh> makeCube() {
    auto m = std::make_unique<Mesh>();
    for (int i = 0; i < 8; ++i) m->vertexAdd(vec3(i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f));
    const std::vector<std::vector<int>> quads = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) m->facesAdd(q, {true, true, true, true});
    return m;
}

// A cone: apex `apex` and a ring of n base vertices round the axis through
// the apex, pointing along dir; open at the base.
void addCone(Mesh& m, int apex, const vec3& base, float dir, int n) {
    const int first = m.vertexCount();
    for (int i = 0; i < n; ++i) {
        const float a = 6.2831853f * float(i) / float(n);
        m.vertexAdd(base + vec3(std::cos(a), std::sin(a), 0.0f));
    }
    for (int i = 0; i < n; ++i) {
        const int b0 = first + i, b1 = first + (i + 1) % n;
        if (dir > 0)
            m.faceAdd(apex, b0, b1);
        else
            m.faceAdd(apex, b1, b0);
    }
}

vec3 centroid(const Mesh& m, const MeshFace& F) {
    return (m.vertices[F.v[0]].position + m.vertices[F.v[1]].position + m.vertices[F.v[2]].position) / 3.0f;
}

// A mesh that counts the releases of its GL buffers.
class CountingMesh : public Mesh {
public:
    int released = 0;
    void deleteVBO() override {
        ++released;
        vbo = 0;
        featureVbo = 0;
    }
};

// ---------------------------------------------------------------------------
// Connectivity

TEST(MeshConnectivity, SphereLinksAndFlags) {
    auto m = makeSphere(2);
    m->initialize(Mesh::ResizeMean);
    EXPECT_EQ(m->status, 0);
    EXPECT_EQ(m->faceCount(), 128);
    EXPECT_EQ(m->vertexCount(), 66);
    expectSound(*m);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_GE(m->faces[i].f[k], 0);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(m->vertices[v].flags, MeshVertex::ActiveBit) << v;
    EXPECT_NEAR(m->centre.x, 0.0f, 1e-6f);
    EXPECT_NEAR(m->size(), 2.0f, 1e-5f);
    EXPECT_EQ(m->needsCompaction, 0);
}

TEST(MeshConnectivity, SameDirectionPairIsLinkedAndRepaired) {
    Mesh m;
    m.vertexAdd(vec3(0, 0, 0));
    m.vertexAdd(vec3(1, 0, 0));
    m.vertexAdd(vec3(0, 1, 0));
    m.vertexAdd(vec3(0, -1, 0));
    m.faceAdd(0, 1, 2);
    m.faceAdd(0, 1, 3);
    ASSERT_TRUE(m.buildConnectivity());
    EXPECT_EQ(m.faces[0].f[2], 1);
    EXPECT_EQ(m.faces[1].f[2], 0);
    m.correctOrientation();
    // Face 0 keeps its corners; face 1 turns over to run 1 -> 0.
    EXPECT_EQ(m.faces[0].v[0], 0);
    EXPECT_EQ(m.faces[0].v[1], 1);
    EXPECT_EQ(m.faces[0].v[2], 2);
    EXPECT_EQ(m.faces[1].v[0], 3);
    EXPECT_EQ(m.faces[1].v[2], 0);
    EXPECT_TRUE(consistentlyOriented(m));
    expectSound(m);
}

TEST(MeshConnectivity, ThreeFacesOnOneEdgeFail) {
    Mesh m;
    for (int i = 0; i < 5; ++i) m.vertexAdd(vec3(float(i), float(i * i), 0));
    m.faceAdd(0, 1, 2);
    m.faceAdd(1, 0, 3);
    m.faceAdd(0, 1, 4);
    m.centre = vec3(7, 7, 7);
    m.setSize(3.0f);
    EXPECT_FALSE(m.buildConnectivity());
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(m.faces[i].f[k], -1);
    m.initialize(Mesh::ResizeMean);
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.centre, vec3(7, 7, 7));
    EXPECT_EQ(m.size(), 3.0f);
    EXPECT_EQ(m.faces[0].normal, vec3(0, 0, 0));
    // A later sound rebuild clears the status.
    m.faces[2].flags = 0;
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.status, 0);
    expectSound(m);

    Mesh empty;
    EXPECT_TRUE(empty.buildConnectivity());
    empty.initialize(Mesh::ResizeMean);
    EXPECT_EQ(empty.status, 0);
}

TEST(MeshConnectivity, FacesNamingAVertexTwiceOrAMissingOneLeave) {
    Mesh m;
    for (int i = 0; i < 4; ++i) m.vertexAdd(vec3(float(i & 1), float(i >> 1), 0));
    m.faceAdd(0, 1, 3);
    m.faceAdd(0, 0, 1);  // "f 1 1 2"
    m.faceAdd(0, 3, 2);
    m.faceAdd(3, 2, 9);   // no vertex 9
    m.faceAdd(2, -1, 0);  // negative index
    m.faceAdd(1, 3, 1);
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.faceCount(), 2);
    EXPECT_EQ(m.vertexCount(), 4);
    expectSound(m);
    EXPECT_EQ(triangles(m).size(), 2u);
}

TEST(MeshConnectivity, UnusedAndOrphanedVerticesLeave) {
    Mesh m;
    const int lone = m.vertexAdd(vec3(5, 5, 5));  // added without a face
    for (int i = 0; i < 4; ++i) m.vertexAdd(vec3(float(i & 1), float(i >> 1), 0));
    m.faceAdd(1, 2, 4);
    m.faceAdd(1, 4, 3);
    const int extra = m.vertexAdd(vec3(3, 3, 0));
    const int erased = m.faceAdd(2, extra, 4);
    // The face is erased by hand; its vertex keeps the stale stored face.
    m.faces[erased].flags = 0;
    m.vertices[extra].face = erased;

    ASSERT_TRUE(m.buildConnectivity());
    EXPECT_FALSE(m.vertices[lone].isActive());
    EXPECT_FALSE(m.vertices[extra].isActive());
    EXPECT_EQ(m.needsCompaction, 1);
    m.removeInactive(false);
    EXPECT_EQ(m.vertexCount(), 4);
    EXPECT_EQ(m.faceCount(), 2);
    expectSound(m);

    // An inactive vertex that a live face still uses is revived.
    m.vertices[m.faces[1].v[2]].flags = 0;
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.vertexCount(), 4);
    expectSound(m);
}

// ---------------------------------------------------------------------------
// Orientation

TEST(MeshOrientation, FlippedFacesOfASphereAreRepaired) {
    auto m = makeSphere(2);
    // Turn over every third face.
    for (int i = 0; i < m->faceCount(); i += 3) std::swap(m->faces[i].v[1], m->faces[i].v[2]);
    m->initialize(Mesh::ResizeKeep);
    ASSERT_EQ(m->status, 0);
    expectSound(*m);
    EXPECT_TRUE(consistentlyOriented(*m));
    // Face 0 was turned inwards, but the majority points outwards.
    for (int i = 0; i < m->faceCount(); ++i) {
        const MeshFace& F = m->faces[i];
        EXPECT_GT(qel::dot(F.normal, centroid(*m, F)), 0.0) << i;
    }
}

TEST(MeshOrientation, MajorityDecidesAndTheFirstFaceFlips) {
    auto m = makeSphere(1);
    // Every face but the first turned inwards: the first face is the one
    // that flips.
    for (int i = 1; i < m->faceCount(); ++i) std::swap(m->faces[i].v[1], m->faces[i].v[2]);
    ASSERT_TRUE(m->buildConnectivity());
    m->correctOrientation();
    m->calculateNormals(0);
    for (int i = 0; i < m->faceCount(); ++i) {
        const MeshFace& F = m->faces[i];
        EXPECT_LT(qel::dot(F.normal, centroid(*m, F)), 0.0) << i;
        EXPECT_EQ(F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit), 0);
    }
}

TEST(MeshOrientation, FlipCarriesSharpMarksMaterialsAndCornerNormals) {
    // Vertices 0 (0,0), 1 (1,0), 2 (0,1), 3 (1,1), 4 (2,0); faces 0-1-2,
    // 1-2-3 and 1-4-3.
    Mesh m;
    m.vertexAdd(vec3(0, 0, 0));
    m.vertexAdd(vec3(1, 0, 0));
    m.vertexAdd(vec3(0, 1, 0));
    m.vertexAdd(vec3(1, 1, 0));
    m.vertexAdd(vec3(2, 0, 0));
    m.faceAdd(0, 1, 2);                      // counter-clockwise
    m.faceAdd(1, 2, 3, true, false, false);  // clockwise; edge 0 (2-3) sharp
    m.faceAdd(1, 4, 3);                      // counter-clockwise
    m.faces[1].material[0].roughness = 100;  // corner of vertex 1
    m.faces[1].normals[0] = vec3(0, 0, 7);
    ASSERT_TRUE(m.buildConnectivity());
    m.correctOrientation();
    EXPECT_TRUE(consistentlyOriented(m));
    // Face 1 is the one against two: corners 0 and 2 swap with their data,
    // and the mark stays on the edge opposite vertex 1.
    const MeshFace& F = m.faces[1];
    EXPECT_EQ(F.v[0], 3);
    EXPECT_EQ(F.v[2], 1);
    EXPECT_TRUE(F.isSharp(2));
    EXPECT_FALSE(F.isSharp(0));
    EXPECT_EQ(F.material[2].roughness, 100);
    EXPECT_EQ(F.material[0].roughness, 0);
    EXPECT_EQ(F.normals[2], vec3(0, 0, 7));
    EXPECT_EQ(m.faces[0].v[0], 0);
    EXPECT_EQ(m.faces[2].v[0], 1);
    expectSound(m);
}

// ---------------------------------------------------------------------------
// Vertex flags

TEST(MeshVertices, BorderCreaseAndCornerFlags) {
    // A square of two triangles with a sharp diagonal: every vertex on the
    // border; the two ends of the diagonal meet three feature edges.
    Mesh m;
    m.vertexAdd(vec3(0, 0, 0));
    m.vertexAdd(vec3(1, 0, 0));
    m.vertexAdd(vec3(1, 1, 0));
    m.vertexAdd(vec3(0, 1, 0));
    m.faceAdd(0, 1, 2, false, true, false);
    m.faceAdd(0, 2, 3, false, false, true);
    m.initialize(Mesh::ResizeKeep);
    expectSound(m);
    EXPECT_EQ(m.vertices[0].flags & 7, kSharp | kBorder | kCorner);
    EXPECT_EQ(m.vertices[2].flags & 7, kSharp | kBorder | kCorner);
    EXPECT_EQ(m.vertices[1].flags & 7, kSharp | kBorder);
    EXPECT_EQ(m.vertices[3].flags & 7, kSharp | kBorder);
    // A border vertex stores the face whose backward edge is open.
    for (int v = 0; v < 4; ++v) {
        const MeshFace& F = m.faces[m.vertices[v].face];
        EXPECT_LT(F.f[(F.corner(v) + 2) % 3], 0) << v;
    }
}

TEST(MeshVertices, FastPassMatchesTheWalks) {
    // A sphere with a crease loop, a corner, stale flags and a hole: the
    // face-by-face pass of initializeVertices must leave exactly what
    // vertexUpdate and corner give vertex by vertex.
    auto m = makeSphere(3);
    ASSERT_TRUE(m->buildConnectivity());
    m->correctOrientation();
    for (int i = 0; i < m->faceCount(); ++i) {
        MeshFace& F = m->faces[i];
        for (int k = 0; k < 3; ++k) {
            const vec3 a = m->vertices[F.v[(k + 1) % 3]].position, b = m->vertices[F.v[(k + 2) % 3]].position;
            if (std::fabs(a.z) < 1e-6f && std::fabs(b.z) < 1e-6f) F.setSharp(k, true);  // equator
            if (std::fabs(a.x) < 1e-6f && std::fabs(b.x) < 1e-6f && a.z > 0 && b.z > 0) F.setSharp(k, true);
            if (a.x > 0.5f && b.x > 0.5f) F.setSharp(k, true);  // a faceted cap
        }
    }
    for (int v = 0; v < m->vertexCount(); v += 5) m->vertices[v].flags |= kSharp | kCorner;  // stale bits
    m->faceErase(17);
    Mesh walked(*m);
    m->initializeVertices();
    // The same vertex by vertex: ends of sharp edges sharp, then the walks.
    for (int i = 0; i < walked.faceCount(); ++i) {
        const MeshFace& F = walked.faces[i];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k)
            if (F.isSharp(k)) {
                walked.vertices[F.v[(k + 1) % 3]].flags |= kSharp;
                walked.vertices[F.v[(k + 2) % 3]].flags |= kSharp;
            }
    }
    for (int v = 0; v < walked.vertexCount(); ++v) {
        if (!walked.vertices[v].isActive()) continue;
        walked.vertexUpdate(v);
        if (walked.corner(v)) walked.vertices[v].flags |= kSharp | kCorner;
    }
    int corners = 0, sharp = 0;
    for (int v = 0; v < m->vertexCount(); ++v) {
        EXPECT_EQ(m->vertices[v].flags, walked.vertices[v].flags) << v;
        EXPECT_EQ(m->vertices[v].face, walked.vertices[v].face) << v;
        corners += m->vertices[v].isCorner();
        sharp += m->vertices[v].isSharp();
    }
    EXPECT_GT(corners, 0);
    EXPECT_GT(sharp, corners);
    // Inside the faceted cap every face is a sector of its own.
    m->calculateNormals(2);
    for (int i = 0; i < m->faceCount(); ++i) {
        const MeshFace& F = m->faces[i];
        if (!F.isActive() || centroid(*m, F).x < 0.8f) continue;
        for (int k = 0; k < 3; ++k) EXPECT_LT(qel::length(F.normals[k] - F.normal), 1e-6) << i;
    }
}

// ---------------------------------------------------------------------------
// Touching fans

TEST(MeshSplit, TwoConesTouchingAtTheirTips) {
    Mesh m;
    const int tip = m.vertexAdd(vec3(0, 0, 0));
    addCone(m, tip, vec3(0, 0, 1), 1.0f, 8);
    addCone(m, tip, vec3(0, 0, -1), -1.0f, 8);
    m.initialize(Mesh::ResizeKeep);
    ASSERT_EQ(m.status, 0);
    expectSound(m);
    ASSERT_EQ(m.vertexCount(), 18);
    const int copy = 17;
    EXPECT_EQ(m.vertices[copy].position, vec3(0, 0, 0));
    for (const int t : {tip, copy}) {
        EXPECT_TRUE(m.vertices[t].isSharp()) << t;
        EXPECT_TRUE(m.vertices[t].isCorner()) << t;
        std::vector<int> fan;
        EXPECT_EQ(m.findFNeighbours(t, fan), 8);
        // Each tip's corner normals follow its own cone only: the first
        // cone's faces point up, the second's down.
        const float side = m.faces[fan[0]].v[1] <= 8 && m.faces[fan[0]].v[2] <= 8 ? 1.0f : -1.0f;
        for (const int f : fan) {
            const vec3 n = m.faces[f].normals[m.faces[f].corner(t)];
            EXPECT_NEAR(n.z, side, 1e-5f) << t;
        }
    }
    // The two fans do not share the tip any more.
    std::vector<int> a, b;
    m.findFNeighbours(tip, a);
    m.findFNeighbours(copy, b);
    for (const int f : a) EXPECT_EQ(std::count(b.begin(), b.end(), f), 0);
}

TEST(MeshSplit, CompactionBeforeSplitKeepsEveryIndexInRange) {
    // Two parts touch at the last vertex while holes sit at the front of
    // both lists: compaction moves the shared vertex into a hole and must
    // re-point the corners of both of its fans.
    Mesh m;
    m.vertexAdd(vec3(9, 9, 9));  // unused: dropped
    m.vertexAdd(vec3(-1, 1, 0));
    m.vertexAdd(vec3(-1, -1, 0));
    m.vertexAdd(vec3(1, -1, 0));
    m.vertexAdd(vec3(1, 1, 0));
    const int shared = m.vertexAdd(vec3(0, 0, 0));
    m.faceAdd(1, 2, 3);
    m.faces[0].flags = 0;  // erased
    m.faceAdd(shared, 1, 2);
    m.faceAdd(shared, 3, 4);
    const auto before = triangles(m);
    m.initialize(Mesh::ResizeKeep);
    expectSound(m);
    EXPECT_EQ(m.faceCount(), 2);
    EXPECT_EQ(m.vertexCount(), 6);
    EXPECT_EQ(triangles(m), before);
}

// ---------------------------------------------------------------------------
// Compaction

TEST(MeshCompaction, ErasedRecordsLeaveSoundLinks) {
    auto m = makeSphere(2);
    m->initialize(Mesh::ResizeKeep);
    // Erase a patch of faces and one component-like run at the list's end.
    for (const int f : {3, 4, 40, 41, 90, 127, 126}) m->faceErase(f);
    const auto before = triangles(*m);
    m->deselectAll();
    m->removeInactive(false);
    EXPECT_EQ(m->faceCount(), 121);
    EXPECT_EQ(m->needsCompaction, 0);
    EXPECT_EQ(m->vertexMark, m->vertexCount());
    EXPECT_EQ(m->faceMark, 121);
    expectSound(*m);
    EXPECT_EQ(triangles(*m), before);
    // The walks still find the holes' borders.
    int border = 0;
    for (int v = 0; v < m->vertexCount(); ++v) border += m->vertices[v].isBorder();
    EXPECT_GT(border, 0);
    m->initialize(Mesh::ResizeKeep);
    expectSound(*m);
    EXPECT_EQ(triangles(*m), before);
}

TEST(MeshCompaction, StaleLinksToDroppedFacesBecomeOpen) {
    Mesh m;
    for (int i = 0; i < 4; ++i) m.vertexAdd(vec3(float(i & 1), float(i >> 1), 0));
    m.faceAdd(0, 1, 3);
    m.faceAdd(0, 3, 2);
    m.initialize(Mesh::ResizeKeep);
    m.faces[0].flags = 0;  // cleared without telling the neighbour
    m.removeInactive(true);
    ASSERT_EQ(m.faceCount(), 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.faces[0].f[k], -1);
    // Compaction drops only inactive vertices: vertex 1 waits for the next
    // connectivity build.
    EXPECT_EQ(m.vertexCount(), 4);
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.vertexCount(), 3);
    expectSound(m);
}

TEST(MeshCompaction, RunsOnlyWhenAsked) {
    auto m = makeSphere(1);
    m->initialize(Mesh::ResizeKeep);
    m->vertexMark = 3;
    m->faceMark = 4;
    m->removeInactive(false);
    EXPECT_EQ(m->vertexMark, 3);
    EXPECT_EQ(m->faceMark, 4);
    m->removeInactive(true);
    EXPECT_EQ(m->vertexMark, m->vertexCount());
    EXPECT_EQ(m->faceMark, m->faceCount());
    // Everything dropped.
    for (int i = 0; i < m->faceCount(); ++i) m->faces[i].flags = 0;
    for (int v = 0; v < m->vertexCount(); ++v) m->vertices[v].flags = 0;
    m->removeInactive(true);
    EXPECT_EQ(m->vertexCount(), 0);
    EXPECT_EQ(m->faceCount(), 0);
}

// ---------------------------------------------------------------------------
// Size

TEST(MeshSize, ResizeStyles) {
    Mesh one;
    one.vertexAdd(vec3(2, 3, 4));
    one.calculateSize(Mesh::ResizeMean);
    EXPECT_EQ(one.centre, vec3(2, 3, 4));
    EXPECT_EQ(one.size(), 1.0f);

    Mesh square;
    for (int i = 0; i < 4; ++i) square.vertexAdd(vec3(float(i & 1) + 3, float(i >> 1), 0));
    square.calculateSize(Mesh::ResizeBox);
    EXPECT_NEAR(square.size(), std::sqrt(2.0f), 1e-6f);
    EXPECT_EQ(square.centre, vec3(3.5f, 0.5f, 0));
    // Vertex 0 inactive: the box is that of the other vertices only.
    square.vertices[0].flags = 0;
    square.calculateSize(Mesh::ResizeBox);
    EXPECT_EQ(square.centre, vec3(3.5f, 0.5f, 0));
    square.calculateSize(Mesh::ResizeMean);
    EXPECT_NEAR(square.centre.x, 11.0f / 3.0f, 1e-6f);

    square.centre = vec3(1, 1, 1);
    square.setSize(5);
    square.calculateSize(Mesh::ResizeKeep);
    square.calculateSize(Mesh::TResizeStyle(7));
    EXPECT_EQ(square.centre, vec3(1, 1, 1));
    EXPECT_EQ(square.size(), 5.0f);

    // No active vertex: origin and size 1, never 0.
    Mesh none;
    none.vertexAdd(vec3(4, 4, 4));
    none.vertices[0].flags = 0;
    for (const auto style : {Mesh::ResizeMean, Mesh::ResizeBox}) {
        none.centre = vec3(1, 1, 1);
        none.calculateSize(style);
        EXPECT_EQ(none.centre, vec3(0, 0, 0));
        EXPECT_EQ(none.size(), 1.0f);
    }
}

// ---------------------------------------------------------------------------
// Sharp edges

TEST(MeshSharpness, EdgeSharpVVSetsAndClears) {
    auto m = makeSphere(1);
    m->initialize(Mesh::ResizeKeep);
    int f = -1, k = -1;
    ASSERT_TRUE(m->findEdge(0, 6, f, k) || m->findEdge(6, 0, f, k));
    const int a = m->faces[f].v[(k + 1) % 3], b = m->faces[f].v[(k + 2) % 3];
    EXPECT_TRUE(m->edgeSharpVV(a, b, true));
    expectSound(*m);
    EXPECT_TRUE(m->faces[f].isSharp(k));
    EXPECT_TRUE(m->vertices[a].isSharp());
    EXPECT_TRUE(m->vertices[b].isSharp());
    // The stored face follows the sharp edge.
    const MeshFace& S = m->faces[m->vertices[a].face];
    EXPECT_TRUE(S.isSharp((S.corner(a) + 2) % 3));
    EXPECT_TRUE(m->edgeSharpVV(b, a, false));
    EXPECT_FALSE(m->faces[f].isSharp(k));
    EXPECT_EQ(m->vertices[a].flags & 7, 0);
    EXPECT_EQ(m->vertices[b].flags & 7, 0);
    // No common edge (0 and 1 are opposite poles), bad arguments.
    EXPECT_FALSE(m->edgeSharpVV(0, 1, true));
    EXPECT_FALSE(m->edgeSharpFK(-1, 0, true));
    EXPECT_FALSE(m->edgeSharpFK(0, 3, true));
}

TEST(MeshSharpness, ReconstructedFromCornerNormals) {
    // A cube whose corner normals hold one normal per side, as an OBJ file
    // with per-side normals gives them: the 12 cube edges become sharp, the
    // 6 diagonals stay smooth.
    auto m = makeCube();
    for (int i = 0; i < m->faceCount(); ++i) m->faces[i].flags = MeshFace::ActiveBit;  // no marks
    m->calculateNormals(0);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) m->faces[i].normals[k] = m->faces[i].normal;
    // One face turned over: its corner normals must follow their vertices.
    std::swap(m->faces[3].v[0], m->faces[3].v[2]);
    std::swap(m->faces[3].normals[0], m->faces[3].normals[2]);
    m->faces[3].normals[1] = m->faces[3].normal;
    m->initializeReconstructSharp(Mesh::ResizeBox);
    ASSERT_EQ(m->status, 0);
    expectSound(*m);
    int sharpEdges = 0;
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) sharpEdges += m->faces[i].isSharp(k);
    EXPECT_EQ(sharpEdges, 24);  // 12 edges, marked on both faces
    for (int v = 0; v < 8; ++v) EXPECT_EQ(m->vertices[v].flags & 3, kSharp | kCorner) << v;
    EXPECT_NEAR(m->size(), std::sqrt(3.0f), 1e-6f);
}

TEST(MeshSharpness, ZeroCornerNormalsMarkNothing) {
    auto m = makeSphere(1);
    ASSERT_TRUE(m->buildConnectivity());
    m->buildSharpness();
    for (int i = 0; i < m->faceCount(); ++i) EXPECT_EQ(m->faces[i].flags & 7, 0);
    // Every side different: every edge sharp.
    m->calculateNormals(0);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) m->faces[i].normals[k] = m->faces[i].normal;
    m->initializeReconstructSharp(Mesh::ResizeKeep);
    for (int i = 0; i < m->faceCount(); ++i) EXPECT_EQ(m->faces[i].flags & 7, 7);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_TRUE(m->vertices[v].isCorner());
}

// ---------------------------------------------------------------------------
// Damaged input

// A sphere damaged at random: faces turned over, erased, welded vertices
// (touching fans, repeated corners, edges of three faces), missing vertices
// and lone vertices. Whatever the rebuild decides, it must leave a sound
// mesh or report the failure, and every vertex must end with one fan.
TEST(MeshRebuild, RandomlyDamagedSpheres) {
    int rebuilt = 0, refused = 0, splits = 0;
    for (unsigned seed = 0; seed < 60; ++seed) {
        std::mt19937 rng(seed);
        auto m = makeSphere(2);
        const int nV = m->vertexCount();
        auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
        for (int i = 0; i < m->faceCount(); ++i) {
            MeshFace& F = m->faces[i];
            if (rng() % 5 == 0) std::swap(F.v[0], F.v[1]);
            if (rng() % 12 == 0) F.flags = 0;
        }
        for (int w = int(seed % 4); w > 0; --w) {
            const int a = pick(nV), b = pick(nV);
            for (int i = 0; i < m->faceCount(); ++i)
                for (int k = 0; k < 3; ++k)
                    if (m->faces[i].v[k] == b) m->faces[i].v[k] = a;
        }
        if (seed % 3 == 0) m->faceAdd(1, 2, nV + 40);
        if (seed % 5 == 0) m->vertexAdd(vec3(3, 3, 3));
        m->initialize(Mesh::ResizeMean);
        if (m->status != 0) {
            ++refused;
            continue;
        }
        ++rebuilt;
        expectSound(*m);
        if (testing::Test::HasFatalFailure()) return;
        // One fan per vertex: its stored face's fan holds all its corners.
        std::vector<int> uses(std::size_t(m->vertexCount()), 0);
        for (int i = 0; i < m->faceCount(); ++i)
            for (int k = 0; k < 3; ++k) ++uses[std::size_t(m->faces[i].v[k])];
        std::vector<int> fan;
        for (int v = 0; v < m->vertexCount(); ++v) {
            EXPECT_EQ(m->FindBorderedRegion(v, m->vertices[v].face, fan), uses[std::size_t(v)]) << seed << " " << v;
        }
        // Copies made for touching fans share their original's position.
        std::vector<std::array<float, 3>> at;
        for (int v = 0; v < m->vertexCount(); ++v) {
            const vec3 p = m->vertices[v].position;
            at.push_back({p.x, p.y, p.z});
        }
        std::sort(at.begin(), at.end());
        splits += int(at.size() - std::size_t(std::unique(at.begin(), at.end()) - at.begin()));
        // Creases, and faces with all edges sharp; then the face-by-face
        // passes must agree with the walks vertex by vertex.
        for (int i = 0; i < m->faceCount(); ++i)
            for (int k = 0; k < 3; ++k)
                if (rng() % 4 == 0 || i % 7 == 0) m->edgeSharpFK(i, k, true);
        Mesh walked(*m);
        m->initializeVertices();
        for (int v = 0; v < walked.vertexCount(); ++v) {
            walked.vertexUpdate(v);
            if (walked.corner(v)) walked.vertices[v].flags |= kSharp | kCorner;
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
    EXPECT_GT(splits, 0);
}

// ---------------------------------------------------------------------------
// GL buffers

TEST(MeshInitialize, ReleasesTheBuffersOfADrawnMesh) {
    CountingMesh m;
    m.vertexAdd(vec3(0, 0, 0));
    m.vertexAdd(vec3(1, 0, 0));
    m.vertexAdd(vec3(0, 1, 0));
    m.faceAdd(0, 1, 2);
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.released, 0);
    m.vbo = 12;
    m.featureVbo = 13;
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.released, 1);
    EXPECT_EQ(m.vbo, 0u);
}

}  // namespace
