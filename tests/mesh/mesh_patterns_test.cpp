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

bool near(const vec3& a, const vec3& b) { return qel::length(a - b) <= 2e-5f; }

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

// Inner vertex 3 + i of the frame (1), the star (2) and the hexagon (3).
vec3 innerPoint(int pattern, int i) {
    if (pattern == 1) return Corner[i] * 0.7f;
    if (pattern == 2) return Corner[i] * -0.15f;
    const double a = (i + 1) * 3.14159265358979323846 / 3;  // 60, 120, ... 360 degrees
    return vec3(float(0.9 * 0.57735 * std::cos(a)), float(0.9 * 0.57735 * std::sin(a)), 0);
}

}  // namespace

TEST(MeshPattern, TrianglePointAndCentreFan) {
    MeshPtr seed(Mesh::Triangle());
    EXPECT_EQ(seed->trianglePoint(0, {0, 0, 1, 7}), Corner[2]);
    EXPECT_TRUE(near(seed->trianglePoint(0, {1.0f / 3, 1.0f / 3, 1.0f / 3}), vec3(0, 0, 0)));
    // Invalid input gives the origin instead of reading outside the lists.
    EXPECT_EQ(seed->trianglePoint(1, {1, 0, 0}), vec3(0, 0, 0));
    EXPECT_EQ(seed->trianglePoint(0, {1, 0}), vec3(0, 0, 0));

    MeshPtr fan(Mesh::TrianglePattern0(0.4f));
    EXPECT_EQ(fan->faceCount(), 3);
    EXPECT_TRUE(near(fan->vertices[3].position, Corner[0] * 0.4f));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(edgeMark(*fan, k, 3), 1) << k;
    EXPECT_NEAR(fitToSeed(*fan), SeedArea, 1e-5);
    EXPECT_EQ(MeshPtr(Mesh::TrianglePattern0(1.0f))->vertices[3].position, Corner[0]);
}

TEST(MeshPattern, PanelsFillTheSeedAndHolesOpenTheCentre) {
    const struct {
        int pattern;
        Mesh* (*make)(bool hole);
        int vertices, faces, coloured, holeFaces, holeBorder;
        double holeArea;  // share of the seed covered with the hole
    } panels[] = {
        {1, [](bool hole) { return Mesh::TrianglePattern1(0.7f, hole); }, 6, 7, 1, 6, 3, 0.51},
        {2, [](bool hole) { return Mesh::TrianglePattern2(0.3f, hole); }, 6, 7, 4, 3, 3, 0.7},
        {3, [](bool hole) { return Mesh::TrianglePattern3(0.9f, hole); }, 9, 13, 4, 9, 6, 0.46},
    };
    for (const auto& p : panels) {
        SCOPED_TRACE(p.pattern);
        MeshPtr m(p.make(false));
        EXPECT_EQ(m->vertexCount(), p.vertices);
        EXPECT_EQ(m->faceCount(), p.faces);
        EXPECT_EQ(colouredCount(*m), p.coloured);
        for (int i = 3; i < p.vertices; ++i) {
            EXPECT_TRUE(near(m->vertices[i].position, innerPoint(p.pattern, i - 3))) << i;
            EXPECT_TRUE(m->vertices[i].isCorner());
        }
        EXPECT_NEAR(fitToSeed(*m), SeedArea, 1e-5);
        MeshPtr hole(p.make(true));
        EXPECT_EQ(hole->faceCount(), p.holeFaces);
        EXPECT_EQ(colouredCount(*hole), 0);
        EXPECT_NEAR(fitToSeed(*hole), SeedArea * p.holeArea, 1e-5);
        std::vector<int> loop;
        EXPECT_EQ(hole->Border(3, loop), p.holeBorder);
    }
}

TEST(MeshPattern, SharpEdgesBoundTheColouredPieces) {
    MeshPtr frame(Mesh::TrianglePattern1(0.7f, false));
    MeshPtr star(Mesh::TrianglePattern2(0.3f, false));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(edgeMark(*frame, 3 + i, 3 + (i + 1) % 3), 1);
        EXPECT_EQ(edgeMark(*frame, i, 3 + i), 0);
        EXPECT_EQ(edgeMark(*star, 3 + i, 3 + (i + 1) % 3), 0);
        EXPECT_EQ(edgeMark(*star, i, (i + 1) % 3), 1);
    }
    int face = 6;  // the star's four coloured faces form one sharp-bounded patch
    star->selectF_(vec3(), true, face);
    EXPECT_EQ(star->selectedFaces.size(), 4u);

    MeshPtr hexagon(Mesh::TrianglePattern3(0.9f, false));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(edgeMark(*hexagon, 3 + i, 3 + (i + 1) % 6), 1) << i;
    EXPECT_EQ(edgeMark(*hexagon, 0, 3), 0);
    EXPECT_EQ(edgeMark(*hexagon, 0, 1), 1);
}
