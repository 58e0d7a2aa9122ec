// The triangle pattern panels of qel::Mesh: counts, where their points lie,
// their sharp edges and coloured faces, and how they fill the seed triangle.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"

using meshtest::edgeMark;
using qel::Mesh;
using qel::MeshFace;
using qel::vec3;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

const vec3 Corner[3] = {vec3(0, 1, 0), vec3(-0.8660254f, -0.5f, 0), vec3(0.8660254f, -0.5f, 0)};
const double SeedArea = 0.75 * std::sqrt(3.0);

bool near(const vec3& a, const vec3& b, float tol = 2e-6f) { return qel::length(a - b) <= tol; }

int colouredCount(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        bool all = true;
        for (const qel::pbr& c : m.faces[f].material) all = all && c.colour == qel::wvec4(0, 34952, 65535, 65535);
        n += all ? 1 : 0;
    }
    return n;
}

// A sound panel in z = 0 inside the seed, its vertices 0-2 on the seed's
// corners, every face counter-clockwise from +z; returns its area.
double fitToSeed(const Mesh& m) {
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.vertices[k].position, Corner[k]);
    for (int v = 0; v < m.vertexCount(); ++v) {
        const vec3 p = m.vertices[v].position;
        EXPECT_EQ(p.z, 0.0f);
        for (int k = 0; k < 3; ++k) {
            const vec3 a = Corner[k], e = Corner[(k + 1) % 3] - a;
            EXPECT_GE(double(e.x) * (p.y - a.y) - double(e.y) * (p.x - a.x), -1e-6) << "vertex " << v;
        }
    }
    double area = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        const vec3 a = m.vertices[F.v[0]].position;
        const vec3 n = qel::cross(m.vertices[F.v[1]].position - a, m.vertices[F.v[2]].position - a);
        EXPECT_GT(n.z, 0.0f) << "face " << f;
        area += 0.5 * n.z;
    }
    return area;
}

}  // namespace

TEST(MeshPattern, TrianglePointAndVertexAdd) {
    MeshPtr seed(Mesh::Triangle());
    EXPECT_EQ(seed->trianglePoint(0, {0, 0, 1, 7}), Corner[2]);
    EXPECT_TRUE(near(seed->trianglePoint(0, {1.0f / 3, 1.0f / 3, 1.0f / 3}), vec3(0, 0, 0)));
    // Invalid input gives the origin instead of reading outside the lists.
    EXPECT_EQ(seed->trianglePoint(1, {1, 0, 0}), vec3(0, 0, 0));
    EXPECT_EQ(seed->trianglePoint(0, {1, 0}), vec3(0, 0, 0));
    EXPECT_EQ(seed->vertexAdd(vec3(1, 2, 3), true), 3);
    EXPECT_EQ(seed->vertexAdd(vec3(4, 5, 6), false), 4);
    EXPECT_EQ(seed->vertices[3].flags, 11);
    EXPECT_EQ(seed->vertices[4].flags, 8);
}

TEST(MeshPattern, CentreFanAndFrame) {
    MeshPtr fan(Mesh::TrianglePattern0(0.4f));
    EXPECT_EQ(fan->faceCount(), 3);
    EXPECT_TRUE(near(fan->vertices[3].position, Corner[0] * 0.4f));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(edgeMark(*fan, k, 3), 1) << k;
    EXPECT_NEAR(fitToSeed(*fan), SeedArea, 1e-5);

    MeshPtr m(Mesh::TrianglePattern1(0.7f, false));
    EXPECT_EQ(m->vertexCount(), 6);
    EXPECT_EQ(m->faceCount(), 7);
    EXPECT_EQ(colouredCount(*m), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(near(m->vertices[3 + i].position, Corner[i] * 0.7f)) << i;
        EXPECT_TRUE(m->vertices[3 + i].isCorner());
        EXPECT_EQ(edgeMark(*m, 3 + i, 3 + (i + 1) % 3), 1);
        EXPECT_EQ(edgeMark(*m, i, 3 + i), 0);
    }
    EXPECT_NEAR(fitToSeed(*m), SeedArea, 1e-5);
    MeshPtr hole(Mesh::TrianglePattern1(0.7f, true));
    EXPECT_EQ(hole->faceCount(), 6);
    EXPECT_EQ(colouredCount(*hole), 0);
    std::vector<int> loop;
    EXPECT_EQ(hole->Border(3, loop), 3);
    EXPECT_NEAR(fitToSeed(*hole), SeedArea * (1 - 0.49), 1e-5);
}

TEST(MeshPattern, Star) {
    MeshPtr m(Mesh::TrianglePattern2(0.3f, false));
    EXPECT_EQ(m->vertexCount(), 6);
    EXPECT_EQ(m->faceCount(), 7);
    EXPECT_EQ(colouredCount(*m), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(near(m->vertices[3 + i].position, Corner[i] * -0.15f)) << i;
        EXPECT_EQ(edgeMark(*m, 3 + i, 3 + (i + 1) % 3), 0);
        EXPECT_EQ(edgeMark(*m, i, (i + 1) % 3), 1);
    }
    int face = 6;  // the four coloured faces form one sharp-bounded patch
    m->selectF_(vec3(), true, face);
    EXPECT_EQ(m->selectedFaces.size(), 4u);
    EXPECT_NEAR(fitToSeed(*m), SeedArea, 1e-5);
    MeshPtr hole(Mesh::TrianglePattern2(0.3f, true));
    EXPECT_EQ(hole->faceCount(), 3);
    EXPECT_EQ(meshtest::checkMeshInvariants(*hole), "");
}

TEST(MeshPattern, Hexagon) {
    MeshPtr m(Mesh::TrianglePattern3(0.9f, false));
    EXPECT_EQ(m->vertexCount(), 9);
    EXPECT_EQ(m->faceCount(), 13);
    EXPECT_EQ(colouredCount(*m), 4);
    for (int i = 0; i < 6; ++i) {
        // Corners at 60, 120, ... 300, 0 degrees, radius 0.9 x 0.57735.
        const double a = ((i + 1) % 6) * 3.14159265358979323846 / 3;
        const vec3 expected(float(0.9 * 0.57735 * std::cos(a)), float(0.9 * 0.57735 * std::sin(a)), 0);
        EXPECT_TRUE(near(m->vertices[3 + i].position, expected, 2e-5f)) << i;
        EXPECT_EQ(edgeMark(*m, 3 + i, 3 + (i + 1) % 6), 1) << i;
    }
    EXPECT_EQ(edgeMark(*m, 0, 3), 0);
    EXPECT_EQ(edgeMark(*m, 0, 1), 1);
    EXPECT_NEAR(fitToSeed(*m), SeedArea, 1e-5);
    MeshPtr hole(Mesh::TrianglePattern3(0.9f, true));
    EXPECT_EQ(hole->faceCount(), 9);
    std::vector<int> loop;
    EXPECT_EQ(hole->Border(3, loop), 6);
    fitToSeed(*hole);
}
