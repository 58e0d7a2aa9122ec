// Face and corner normals per sharp sector, smoothing of corner normals and
// materials, the smoothing, relaxing and tangent targets, and relaxation.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::pbr;
using qel::vec3;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

void expectNear(const vec3& a, const vec3& b, float eps = 1e-5f) {
    EXPECT_LE(qel::length(a - b), eps) << a.x << " " << a.y << " " << a.z;
}

// The distinct corner normals that the faces round v hold at v.
std::vector<vec3> cornerNormals(const Mesh& m, int v) {
    std::vector<vec3> out;
    for (int i = 0; i < m.faceCount(); ++i) {
        const int k = m.faces[i].corner(v);
        if (k < 0) continue;
        bool seen = false;
        for (const vec3& n : out) seen = seen || qel::length(n - m.faces[i].normals[k]) < 1e-5;
        if (!seen) out.push_back(m.faces[i].normals[k]);
    }
    return out;
}

// A 5 x 5 grid over [0, 4]^2 with height h(x, y), two triangles per cell,
// counter-clockwise from +z; vertex (i, j) is 5 j + i. crease sharpens the
// line x = 2.
template <class H>
MeshPtr makeGrid(H h, bool crease = false) {
    MeshPtr m(new Mesh());
    for (int j = 0; j <= 4; ++j)
        for (int i = 0; i <= 4; ++i) m->vertexAdd(vec3(float(i), float(j), h(float(i), float(j))));
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const int a = j * 5 + i;
            m->faceAdd(a, a + 1, a + 6);
            m->faceAdd(a, a + 6, a + 5);
        }
    m->initialize(Mesh::ResizeKeep);
    for (int i = 0; crease && i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            if (m->faces[i].v[(k + 1) % 3] % 5 == 2 && m->faces[i].v[(k + 2) % 3] % 5 == 2) m->edgeSharpFK(i, k, true);
    return m;
}

MeshPtr sphere(int levels) { return MeshPtr(meshtest::smoothSphere(levels)); }

TEST(MeshNormals, OneCornerNormalPerSharpSector) {
    MeshPtr cube(Mesh::Cube());
    for (int v = 0; v < 8; ++v) EXPECT_EQ(cornerNormals(*cube, v).size(), 3u) << v;
    // A flat grid folded up along x = 2: one normal on the fold until it is
    // sharpened, then the flat side's and the slope's.
    const auto fold = [](float x, float) { return x > 2 ? (x - 2) : 0.0f; };
    const int onFold = 2 * 5 + 2;
    EXPECT_EQ(cornerNormals(*makeGrid(fold), onFold).size(), 1u);
    for (const vec3& n : cornerNormals(*makeGrid(fold), onFold - 1)) expectNear(n, vec3(0, 0, 1));
    auto creased = makeGrid(fold, true);
    creased->calculateNormals(2);
    const auto two = cornerNormals(*creased, onFold);
    ASSERT_EQ(two.size(), 2u);
    const float s = 1.0f / std::sqrt(2.0f);
    expectNear(std::fabs(two[0].z - 1.0f) < 1e-5f ? two[1] : two[0], vec3(-s, 0, s));
}

TEST(MeshNormals, WholeMeshPassRepeatsTheRebuildBitForBit) {
    // File order (corners written while the records are cached; the first
    // row's vertices gain faces again at the end), a crease, and shuffled
    // faces (too many such vertices: the two passes after all).
    const MeshPtr meshes[] = {MeshPtr(meshtest::torus(60, 70, 2, 0.6)),
                              MeshPtr(meshtest::torus(60, 70, 2, 0.6, false, true)),
                              MeshPtr(meshtest::torus(120, 90, 2, 0.6, true))};
    for (const MeshPtr& m : meshes) {
        std::vector<MeshFace> rebuilt(m->faces.begin(), m->faces.end());
        for (MeshFace& F : m->faces) F.normals[0] = F.normals[1] = F.normals[2] = F.normal = vec3(0, 0, 0);
        m->calculateNormals(2);
        int differ = 0;
        for (int f = 0; f < m->faceCount(); ++f)
            differ += std::memcmp(&rebuilt[f].normal, &m->faces[f].normal, 4 * sizeof(vec3)) != 0;
        EXPECT_EQ(differ, 0) << m->faceCount() << " faces";
    }
}

TEST(MeshNormals, RadialOnASmoothSphereByModeAndSmoothed) {
    auto m = sphere(2);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) {
            const vec3 radial = qel::normalize(m->vertices[m->faces[i].v[k]].position);
            EXPECT_GT(qel::dot(m->faces[i].normals[k], radial), 0.995) << i;
            EXPECT_NEAR(qel::length(m->faces[i].normals[k]), 1.0, 1e-6);
        }
    // Mode 0 computes the face normals only, mode 1 the corner normals from
    // the stored face normals.
    Mesh before(*m);
    for (int i = 0; i < m->faceCount(); ++i) m->faces[i].normal = m->faces[i].normals[1] = vec3(0, 0, 0);
    m->calculateNormals(0);
    EXPECT_TRUE(m->faces[5].normal == before.faces[5].normal && m->faces[5].normals[1] == vec3(0, 0, 0));
    m->calculateNormals(1);
    for (int i = 0; i < m->faceCount(); ++i) EXPECT_EQ(m->faces[i].normals[1], before.faces[i].normals[1]);

    // Smoothing evens out the corner normals round a vertex and keeps them unit.
    std::vector<int> fan, ks;
    m->findFKNeighbours(20, fan, ks);
    for (std::size_t i = 0; i < fan.size(); ++i) m->faces[fan[i]].normals[ks[i]] = qel::normalize(vec3(float(i), 1, 1));
    m->vertexSmoothNormals(20);
    EXPECT_EQ(cornerNormals(*m, 20).size(), 1u);
    m->faces[0].normals[0] = vec3(1, 0, 0);
    m->smoothNormals(2);
    for (int i = 0; i < m->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(qel::length(m->faces[i].normals[k]), 1.0, 1e-5);
}

TEST(MeshNormals, DegenerateAndErasedFacesGiveNoNaN) {
    Mesh m;
    for (const vec3& p : {vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0)}) m.vertexAdd(p);
    m.faceAdd(0, 1, 2);  // collinear: zero normals, never NaN
    m.initialize(Mesh::ResizeKeep);
    for (const vec3& n : {m.faces[0].normal, m.faces[0].normals[0], m.faces[0].normals[2]}) EXPECT_EQ(n, vec3());
    m.vertexAdd(vec3(5, 5, 5));  // an isolated vertex and an erased face are passed over
    m.faceAdd(0, 1, 3);
    m.faces[1].flags = 0;
    m.calculateNormals(2);
    m.smoothNormals(2);
    m.smoothMaterials(255, 2);
    EXPECT_EQ(m.faces[1].normal, vec3(0, 0, 0));
    EXPECT_EQ(m.vertexRelaxPosition(3), vec3(5, 5, 5));
}

TEST(MeshNormals, SelectedAndNewNormals) {
    auto m = sphere(1);
    Mesh before(*m);
    const int v = 10;  // moved; only listed records and faces past the mark follow
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
    for (const int f : fan) expectNear(m->faces[f].normal, full.faces[f].normal, 1e-6f);
    m->selectedFaces.clear();
    m->selectedVertices.clear();
    const int a = m->vertexAdd(vec3(3, 0, 0)), b = m->vertexAdd(vec3(3, 1, 0)), c = m->vertexAdd(vec3(3, 0, 1));
    const int f = m->faceAdd(a, b, c);
    m->calculateSelectedNormals();  // faces created since the mark
    expectNear(m->faces[f].normal, vec3(1, 0, 0));
    m->recordedFaceCount = f;  // new normals: faces from the recorded count on
    m->vertices[a].face = m->vertices[b].face = m->vertices[c].face = f;
    m->calculateNewNormals();
    for (int k = 0; k < 3; ++k) {
        expectNear(m->faces[f].normals[k], vec3(1, 0, 0));
        EXPECT_EQ(m->vertices[m->faces[f].v[k]].selection, -1);
    }
}

TEST(MeshSmoothing, MaterialsAverageAtTheVertexMoveHalfwayInTheFaceAndStayInTheirSectors) {
    std::unique_ptr<Mesh> m(meshtest::makeTetra());
    int n = 0;  // vertex 3 has three faces
    for (int i = 0; i < 4; ++i) {
        const int k = m->faces[i].corner(3);
        if (k >= 0) m->faces[i].material[k].colour.r = n++ == 2 ? 65535 : 0;
    }
    Mesh before(*m);
    m->vertexSmoothMaterials(3, pbr::MaskColour);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k) {
            pbr want = before.faces[i].material[k];
            if (m->faces[i].v[k] == 3) want.colour.r = 21845;
            EXPECT_EQ(m->faces[i].material[k], want) << i << " " << k;
        }

    std::unique_ptr<Mesh> q(meshtest::makeQuad());
    MeshFace& F = q->faces[0];
    F.material[0].roughness = -32766;
    F.material[2].roughness = 32766;
    F.material[0].colour.g = 1;
    q->faceSmoothMaterials(0, pbr::MaskRoughness);
    EXPECT_EQ(F.material[0].roughness, -16383);
    EXPECT_EQ(F.material[2].roughness, 16383);
    EXPECT_EQ(F.material[0].colour.g, 1);        // not selected
    q->faceSmoothMaterials(0, pbr::MaskColour);  // mean 43690; (1 + 43690) / 2
    EXPECT_EQ(F.material[0].colour.g, 21845);

    MeshPtr cube(Mesh::Cube());  // colours may not leak across sharp edges
    for (int i = 0; i < cube->faceCount(); ++i)
        for (int k = 0; k < 3; ++k) cube->faces[i].material[k].colour.g = cube->faces[i].normal.z > 0.5f ? 0 : 65535;
    cube->smoothMaterials(255, 3);
    for (int i = 0; i < cube->faceCount(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(cube->faces[i].material[k].colour.g, cube->faces[i].normal.z > 0.5f ? 0 : 65535) << i;
}

TEST(MeshRelax, SharpVerticesMoveOnlyWhenAsked) {
    // An interior vertex pushed aside, a border vertex moved along its border.
    auto m = makeGrid([](float, float) { return 0.0f; });
    const vec3 pushed(2.4f, 2.3f, 0);
    m->vertices[12].position = pushed;
    m->vertices[2].position = vec3(2.4f, 0, 0);
    Mesh keep(*m);
    keep.relaxAll(false);
    EXPECT_EQ(keep.vertices[2].position, vec3(2.4f, 0, 0));
    EXPECT_LT(qel::distance(keep.vertices[12].position, vec3(2, 2, 0)), qel::distance(pushed, vec3(2, 2, 0)));
    EXPECT_EQ(keep.vertices[12].position.z, 0.0f);
    m->relaxAll(true);
    const vec3 b = m->vertices[2].position;
    EXPECT_TRUE(b.x < 2.4f && b.x > 2.0f && b.y == 0.0f);
    EXPECT_EQ(m->vertices[0].position, vec3(0, 0, 0));  // a corner
}

TEST(MeshTargets, SmoothRelaxAndTangentFollowCreasesAndBorders) {
    MeshPtr cube(Mesh::Cube());
    EXPECT_EQ(cube->vertexSmoothPosition(3), cube->vertices[3].position);  // corners stay
    EXPECT_EQ(cube->vertexRelaxPosition(5), cube->vertices[5].position);

    auto m = makeGrid([](float x, float y) { return x == 2 && y == 2 ? 0.5f : 0.0f; }, true);
    expectNear(m->vertexSmoothPosition(12), vec3(2, 2, 0));  // midpoint of its crease neighbours
    expectNear(m->vertexSmoothPosition(1), vec3(1, 0, 0));   // slides along the border
    m->vertices[12].position = vec3(2.2f, 2.4f, 0);
    expectNear(m->vertexRelaxPosition(12), vec3(2.2f, 2.2f, 0));  // along the crease, half way

    auto flat = makeGrid([](float, float) { return 1.0f; });
    flat->vertices[12].position = vec3(2.3f, 1.8f, 1.0f);
    EXPECT_NEAR(flat->vertexRelaxPosition(12).z, 1.0f, 1e-6f);  // stays in the plane
    flat->vertices[12].position = vec3(2, 2, 1);
    expectNear(flat->vertexTangent(12, flat->vertices[12].face), vec3(0, 0, 0));  // ring centred on it
    expectNear(flat->vertexTangent(2, flat->vertices[2].face), vec3(0, 1, 0));    // across a straight border
    const float s = 1.0f / std::sqrt(2.0f);
    expectNear(flat->vertexTangent(0, flat->vertices[0].face), vec3(s, s, 0));  // bisector at the grid's corner
}

}  // namespace
