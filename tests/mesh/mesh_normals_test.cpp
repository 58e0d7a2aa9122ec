// Face and corner normals per sharp sector, smoothing of corner normals and
// materials, and the smoothing, relaxing and tangent targets.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::pbr;
using qel::vec3;

namespace {

void expectNear(const vec3& a, const vec3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// The distinct corner normals that the faces round v hold at v.
std::vector<vec3> cornerNormals(const Mesh& m, int v) {
    std::vector<vec3> out;
    for (int i = 0; i < m.faceCount(); ++i) {
        const MeshFace& F = m.faces[i];
        const int k = F.corner(v);
        if (k < 0) continue;
        bool seen = false;
        for (const vec3& n : out) seen = seen || qel::length(n - F.normals[k]) < 1e-5;
        if (!seen) out.push_back(F.normals[k]);
    }
    return out;
}

// Unit cube centred at the origin from six quads with sharp outlines.
std::unique_ptr<Mesh> makeCube() {
    auto m = std::make_unique<Mesh>();
    for (int i = 0; i < 8; ++i) m->vertexAdd(vec3(i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f));
    const std::vector<std::vector<int>> quads = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                 {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) m->facesAdd(q, {true, true, true, true});
    m->initialize(Mesh::ResizeKeep);
    return m;
}

// A grid of (n+1) x (n+1) vertices over [0, n] x [0, n] with height
// h(x, y); two triangles per cell, counter-clockwise from +z. Vertex
// (i, j) has index j * (n + 1) + i.
template <class H>
std::unique_ptr<Mesh> makeGrid(int n, H h) {
    auto m = std::make_unique<Mesh>();
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) m->vertexAdd(vec3(float(i), float(j), h(float(i), float(j))));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            m->faceAdd(a, b, c);
            m->faceAdd(a, c, d);
        }
    m->initialize(Mesh::ResizeKeep);
    return m;
}

// A closed, smooth, lumpy sphere (a UV sphere with a bump).
std::unique_ptr<Mesh> makeLumpySphere(int rings, int segments) {
    auto m = std::make_unique<Mesh>();
    const float pi = 3.14159265f;
    const int north = m->vertexAdd(vec3(0, 0, 1));
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const float t = pi * float(r) / float(rings), p = 2 * pi * float(s) / float(segments);
            const float radius = 1.0f + 0.2f * std::sin(3 * p) * std::sin(t);
            m->vertexAdd(vec3(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)) * radius);
        }
    const int south = m->vertexAdd(vec3(0, 0, -1));
    auto at = [&](int r, int s) { return 1 + (r - 1) * segments + (s % segments); };
    for (int s = 0; s < segments; ++s) {
        m->faceAdd(north, at(1, s), at(1, s + 1));
        m->faceAdd(south, at(rings - 1, s + 1), at(rings - 1, s));
        for (int r = 1; r < rings - 1; ++r) {
            m->faceAdd(at(r, s), at(r + 1, s), at(r + 1, s + 1));
            m->faceAdd(at(r, s), at(r + 1, s + 1), at(r, s + 1));
        }
    }
    m->initialize(Mesh::ResizeKeep);
    return m;
}

// ---------------------------------------------------------------------------
// Corner normals

TEST(MeshNormals, CubeCornersHaveThreeSectors) {
    auto m = makeCube();
    for (int v = 0; v < 8; ++v) {
        EXPECT_TRUE(m->vertices[v].isCorner());
        const auto normals = cornerNormals(*m, v);
        ASSERT_EQ(normals.size(), 3u) << v;
        // Each is the axis of one of the three sides.
        for (const vec3& n : normals) EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0f, 1e-6f);
    }
    // Every corner normal is its own face's normal.
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) expectNear(m->faces[i].normals[k], m->faces[i].normal, 1e-6f);
}

TEST(MeshNormals, FlatRegionAndCrease) {
    // A flat strip folded along x = 2 by a sharp crease.
    auto m = makeGrid(4, [](float x, float) { return x > 2 ? (x - 2) : 0.0f; });
    const int centre = 2 * 5 + 1;  // (1, 2): flat interior
    for (const vec3& n : cornerNormals(*m, centre)) expectNear(n, vec3(0, 0, 1));
    const int onFold = 2 * 5 + 2;  // (2, 2): on the fold line, smooth
    EXPECT_EQ(cornerNormals(*m, onFold).size(), 1u);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            if (m->faces[i].v[(k + 1) % 3] % 5 == 2 && m->faces[i].v[(k + 2) % 3] % 5 == 2) {
                m->edgeSharpFK(i, k, true);
            }
    m->calculateNormals(2);
    const auto two = cornerNormals(*m, onFold);
    ASSERT_EQ(two.size(), 2u);
    const float s = 1.0f / std::sqrt(2.0f);
    const bool firstFlat = std::fabs(two[0].z - 1.0f) < 1e-5f;
    expectNear(firstFlat ? two[0] : two[1], vec3(0, 0, 1));
    expectNear(firstFlat ? two[1] : two[0], vec3(-s, 0, s));
}

TEST(MeshNormals, SmoothClosedMeshMatchesTheWalkAndTheSum) {
    auto m = makeLumpySphere(12, 16);
    for (int v = 0; v < m->vertexCount(); ++v) {
        const auto normals = cornerNormals(*m, v);
        ASSERT_EQ(normals.size(), 1u) << v;
        vec3 sum(0, 0, 0);
        for (int i = 0; i < m->faceCount(); ++i)
            if (m->faces[i].corner(v) >= 0) sum += m->faces[i].normal;
        expectNear(normals[0], qel::normalize(sum));
        EXPECT_NEAR(qel::length(normals[0]), 1.0, 1e-6);
    }
    // The whole-mesh pass gives what the walk of every vertex gives.
    Mesh walked(*m);
    for (int v = 0; v < walked.vertexCount(); ++v) walked.vertexNormals(v);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) expectNear(m->faces[i].normals[k], walked.faces[i].normals[k], 1e-6f);
}

TEST(MeshNormals, ModesAndInvalidValues) {
    auto m = makeLumpySphere(6, 8);
    Mesh before(*m);
    for (int i = 0; i < m->faceCount(); ++i) {
        m->faces[i].normal = vec3(0, 0, 0);
        for (int k = 0; k < 3; ++k) m->faces[i].normals[k] = vec3(0, 0, 0);
    }
    m->calculateNormals(3);
    m->calculateNormals(255);
    EXPECT_EQ(m->faces[5].normal, vec3(0, 0, 0));
    m->calculateNormals(0);  // faces only
    expectNear(m->faces[5].normal, before.faces[5].normal, 0);
    EXPECT_EQ(m->faces[5].normals[0], vec3(0, 0, 0));
    m->calculateNormals(1);  // corners from the stored face normals
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) expectNear(m->faces[i].normals[k], before.faces[i].normals[k], 0);
}

TEST(MeshNormals, DegenerateFacesAndSkippedRecords) {
    Mesh m;
    m.vertexAdd(vec3(0, 0, 0));
    m.vertexAdd(vec3(1, 0, 0));
    m.vertexAdd(vec3(2, 0, 0));
    m.faceAdd(0, 1, 2);  // collinear
    m.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(m.faces[0].normal, vec3(0, 0, 0));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.faces[0].normals[k], vec3(0, 0, 0));
    // An isolated vertex and an erased face are passed over.
    m.vertexAdd(vec3(5, 5, 5));
    m.faceAdd(0, 1, 3);
    m.faces[1].flags = 0;
    m.calculateNormals(2);
    m.smoothNormals(2);
    m.smoothMaterials(255, 2);
    EXPECT_EQ(m.faces[1].normal, vec3(0, 0, 0));
    // Bad indices do nothing.
    m.vertexNormals(-1);
    m.vertexNormals(99);
    m.vertexSmoothNormals(3);
    m.vertexSmoothMaterials(42, 255);
    m.faceSmoothNormals(-3);
    m.faceSmoothMaterials(9, 255);
    EXPECT_EQ(m.vertexSmoothPosition(77), vec3(0, 0, 0));
    EXPECT_EQ(m.vertexRelaxPosition(3), vec3(5, 5, 5));
    EXPECT_EQ(m.vertexTangent(-1, 0), vec3(0, 0, 0));
}

TEST(MeshNormals, SelectedAndNewNormals) {
    auto m = makeLumpySphere(6, 8);
    Mesh before(*m);
    // Move one vertex; only listed records and faces past the mark follow.
    const int v = 10;
    m->vertices[v].position = m->vertices[v].position * 1.5f;
    m->deselectAll();
    m->calculateSelectedNormals();
    for (int i = 0; i < m->faceCount(); ++i) EXPECT_EQ(m->faces[i].normal, before.faces[i].normal);

    std::vector<int> fan;
    m->findFNeighbours(v, fan);
    m->selectedFaces = fan;
    m->selectedVertices = {v};
    m->calculateSelectedNormals();
    Mesh full(*m);
    full.calculateNormals(2);
    for (const int f : fan) {
        expectNear(m->faces[f].normal, full.faces[f].normal, 1e-6f);
        const int k = m->faces[f].corner(v);
        expectNear(m->faces[f].normals[k], full.faces[f].normals[k], 1e-6f);
    }
    m->selectedFaces.clear();
    m->selectedVertices.clear();

    // Faces created since the mark are refreshed with no list at all.
    const int a = m->vertexAdd(vec3(3, 0, 0)), b = m->vertexAdd(vec3(3, 1, 0)), c = m->vertexAdd(vec3(3, 0, 1));
    const int f = m->faceAdd(a, b, c);
    m->calculateSelectedNormals();
    expectNear(m->faces[f].normal, vec3(1, 0, 0));

    // New normals: the faces from the recorded count on and their vertices.
    m->recordedFaceCount = f;
    m->vertices[a].face = f;
    m->vertices[b].face = f;
    m->vertices[c].face = f;
    m->calculateNewNormals();
    for (int k = 0; k < 3; ++k) {
        expectNear(m->faces[f].normals[k], vec3(1, 0, 0));
        EXPECT_FALSE(m->vertices[m->faces[f].v[k]].isSelected());
        EXPECT_EQ(m->vertices[m->faces[f].v[k]].selection, -1);
    }
}

// ---------------------------------------------------------------------------
// Smoothing normals and materials

TEST(MeshSmoothing, VertexMaterialsAveragePerSector) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra());
    m->initialize(Mesh::ResizeKeep);
    // Vertex 3 has three faces.
    int k3[4] = {-1, -1, -1, -1};
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        k3[i] = m->faces[i].corner(3);
        if (k3[i] < 0) continue;
        m->faces[i].material[k3[i]].colour.r = n == 2 ? 65535 : 0;
        m->faces[i].material[k3[i]].roughness = -7;
        ++n;
    }
    ASSERT_EQ(n, 3);
    Mesh before(*m);
    m->vertexSmoothMaterials(3, 1);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k) {
            const pbr& got = m->faces[i].material[k];
            pbr want = before.faces[i].material[k];
            if (k == k3[i]) want.colour.r = 21845;
            EXPECT_EQ(got, want) << i << " " << k;
        }
}

TEST(MeshSmoothing, FaceMaterialsMoveHalfwayToTheMean) {
    std::unique_ptr<Mesh> m(meshtest::makeQuad());
    MeshFace& F = m->faces[0];
    F.material[0].roughness = -32766;
    F.material[1].roughness = 0;
    F.material[2].roughness = 32766;
    F.material[0].colour.g = 1;
    m->faceSmoothMaterials(0, 4);
    EXPECT_EQ(F.material[0].roughness, -16383);
    EXPECT_EQ(F.material[1].roughness, 0);
    EXPECT_EQ(F.material[2].roughness, 16383);
    EXPECT_EQ(F.material[0].colour.g, 1);  // not selected
    // Colour: mean (1 + 65535 + 65535) / 3 = 43690; (1 + 43690) / 2.
    m->faceSmoothMaterials(0, 1);
    EXPECT_EQ(F.material[0].colour.g, 21845);
    EXPECT_EQ(F.material[1].colour.g, 54612);
}

TEST(MeshSmoothing, NormalsEvenOut) {
    auto m = makeLumpySphere(8, 12);
    // Disturb the corner normals of one vertex's fan.
    const int v = 20;
    std::vector<int> fan, ks;
    m->findFKNeighbours(v, fan, ks);
    for (std::size_t i = 0; i < fan.size(); ++i) m->faces[fan[i]].normals[ks[i]] = qel::normalize(vec3(float(i), 1, 1));
    m->vertexSmoothNormals(v);
    EXPECT_EQ(cornerNormals(*m, v).size(), 1u);
    EXPECT_NEAR(qel::length(cornerNormals(*m, v)[0]), 1.0, 1e-6);

    // faceSmoothNormals: each corner moves towards the face's mean.
    MeshFace& F = m->faces[0];
    F.normals[0] = vec3(1, 0, 0);
    F.normals[1] = vec3(0, 1, 0);
    F.normals[2] = vec3(0, 0, 1);
    m->faceSmoothNormals(0);
    const float s = 1.0f / std::sqrt(3.0f);
    expectNear(F.normals[0], qel::normalize(vec3(1 + s, s, s)));
    expectNear(F.normals[2], qel::normalize(vec3(s, s, 1 + s)));

    // Passes over the whole mesh keep unit normals.
    m->smoothNormals(2);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(qel::length(m->faces[i].normals[k]), 1.0, 1e-5);
}

TEST(MeshSmoothing, MaterialPassesKeepSharpSectorsApart) {
    auto m = makeCube();
    // Paint the top side red; colours may not leak across the sharp edges.
    for (int i = 0; i < m->faceCount(); ++i) {
        const bool top = m->faces[i].normal.z > 0.5f;
        for (int k = 0; k < 3; ++k) m->faces[i].material[k].colour.g = top ? 0 : 65535;
    }
    m->smoothMaterials(255, 3);
    for (int i = 0; i < m->faceCount(); ++i) {
        const bool top = m->faces[i].normal.z > 0.5f;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(m->faces[i].material[k].colour.g, top ? 0 : 65535) << i;
    }
}

// ---------------------------------------------------------------------------
// Target positions

TEST(MeshTargets, SmoothPosition) {
    auto cube = makeCube();
    EXPECT_EQ(cube->vertexSmoothPosition(3), cube->vertices[3].position);  // a corner

    // A straight crease along x = 2 on a grid: a crease vertex goes to the
    // midpoint of its two crease neighbours.
    auto m = makeGrid(4, [](float x, float y) { return x == 2 && y == 2 ? 0.5f : 0.0f; });
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            if (m->faces[i].v[(k + 1) % 3] % 5 == 2 && m->faces[i].v[(k + 2) % 3] % 5 == 2) m->edgeSharpFK(i, k, true);
    const int v = 2 * 5 + 2;
    expectNear(m->vertexSmoothPosition(v), vec3(2, 2, 0));
    // A smooth interior vertex goes to the mean of its ring.
    const int w = 2 * 5 + 1;
    std::vector<int> ring;
    m->findNeighbours(w, ring);
    vec3 mean(0, 0, 0);
    for (const int r : ring) mean += m->vertices[r].position;
    expectNear(m->vertexSmoothPosition(w), mean / float(ring.size()));
    // A border vertex (two crossings) slides along the border.
    expectNear(m->vertexSmoothPosition(1), vec3(1, 0, 0));
}

TEST(MeshTargets, RelaxStaysInThePlaneAndOnTheCrease) {
    // Flat: the move keeps the height.
    auto flat = makeGrid(4, [](float, float) { return 1.0f; });
    const int v = 2 * 5 + 2;
    flat->vertices[v].position = vec3(2.3f, 1.8f, 1.0f);
    const vec3 r = flat->vertexRelaxPosition(v);
    EXPECT_NEAR(r.z, 1.0f, 1e-6f);
    EXPECT_NE(r.x, 2.3f);

    // A crease vertex moves along its crease only, half way.
    auto crease = makeGrid(4, [](float, float) { return 0.0f; });
    for (int i = 0; i < crease->faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            if (crease->faces[i].v[(k + 1) % 3] % 5 == 2 && crease->faces[i].v[(k + 2) % 3] % 5 == 2)
                crease->edgeSharpFK(i, k, true);
    crease->vertices[v].position = vec3(2.2f, 2.4f, 0);
    expectNear(crease->vertexRelaxPosition(v), vec3(2.2f, 2.2f, 0));
    auto cube = makeCube();
    EXPECT_EQ(cube->vertexRelaxPosition(5), cube->vertices[5].position);
}

TEST(MeshTargets, Tangent) {
    // A smooth vertex whose ring is centred on it: no offset.
    auto m = makeGrid(4, [](float, float) { return 0.0f; });
    const int v = 2 * 5 + 2;
    std::vector<int> ring;
    m->findNeighbours(v, ring);
    expectNear(m->vertexTangent(v, m->vertices[v].face), vec3(0, 0, 0));

    // A border vertex on a straight border: across the border, into the
    // surface.
    const int b = 2;  // (2, 0)
    const vec3 t = m->vertexTangent(b, m->vertices[b].face);
    expectNear(t, vec3(0, 1, 0));

    // The corner of the grid: the two borders meet at 90 degrees, the
    // bisector of the border edges, into the surface.
    const vec3 c = m->vertexTangent(0, m->vertices[0].face);
    const float s = 1.0f / std::sqrt(2.0f);
    expectNear(c, vec3(s, s, 0));
}

}  // namespace
