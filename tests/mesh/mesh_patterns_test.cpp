// The triangle pattern panels of Mesh: counts, where their points lie,
// their sharp edges and coloured faces, and how they fill the seed triangle.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

const vec3 Corner[3] = {vec3(0, 1, 0), vec3(-0.8660254f, -0.5f, 0), vec3(0.8660254f, -0.5f, 0)};
const double SeedArea = 0.75 * std::sqrt(3.0);

bool near(const vec3& a, const vec3& b) { return length(a - b) <= 2e-5f; }

// The centre fan (0), the frame (1), the star (2) and the hexagon (3).
Mesh* panel(int pattern, bool hole) {
    if (pattern == 0) return Mesh::TrianglePattern0(0.4f);
    if (pattern == 1) return Mesh::TrianglePattern1(0.7f, hole);
    return pattern == 2 ? Mesh::TrianglePattern2(0.3f, hole) : Mesh::TrianglePattern3(0.9f, hole);
}

// Inner vertex 3 + i of a panel.
vec3 innerPoint(int pattern, int i) {
    if (pattern < 2) return Corner[i] * (pattern == 0 ? 0.4f : 0.7f);
    if (pattern == 2) return Corner[i] * -0.15f;
    const double a = (i + 1) * 3.14159265358979323846 / 3;  // 60, 120, ... 360 degrees
    return vec3(float(0.9 * 0.57735 * std::cos(a)), float(0.9 * 0.57735 * std::sin(a)), 0);
}

int colouredCount(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        bool all = true;
        for (const pbr& c : m.faces[f].material) all = all && c.colour == wvec4(0, 34952, 65535, 65535);
        n += all ? 1 : 0;
    }
    return n;
}

// A sound panel in z = 0, its vertices 0-2 on the seed's corners, every
// face counter-clockwise from +z; returns its area (with these, a panel
// whose area is the seed's lies inside the seed).
double fitToSeed(const Mesh& m) {
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.vertices[k].position, Corner[k]);
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_EQ(m.vertices[v].position.z, 0.0f);
    double area = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        const vec3 a = m.vertices[F.v[0]].position;
        const vec3 n = cross(m.vertices[F.v[1]].position - a, m.vertices[F.v[2]].position - a);
        EXPECT_GT(n.z, 0.0f) << "face " << f;
        area += 0.5 * n.z;
    }
    return area;
}

}  // namespace

TEST(MeshPattern, PanelsFillTheSeedAndHolesOpenTheCentre) {
    const struct {
        int vertices, faces, coloured, holeFaces, holeBorder;
        double holeArea;  // share of the seed covered with the hole
    } panels[] = {{4, 3, 0, 3, 0, 1.0}, {6, 7, 1, 6, 3, 0.51}, {6, 7, 4, 3, 3, 0.7}, {9, 13, 4, 9, 6, 0.46}};
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(p);
        MeshPtr m(panel(p, false));
        EXPECT_EQ(m->vertexCount(), panels[p].vertices);
        EXPECT_EQ(m->faceCount(), panels[p].faces);
        EXPECT_EQ(colouredCount(*m), panels[p].coloured);
        for (int i = 3; i < panels[p].vertices; ++i) {
            EXPECT_TRUE(near(m->vertices[i].position, innerPoint(p, i - 3))) << i;
            EXPECT_TRUE(m->vertices[i].isCorner());
        }
        EXPECT_NEAR(fitToSeed(*m), SeedArea, 1e-5);
        MeshPtr hole(panel(p, true));
        EXPECT_EQ(hole->faceCount(), panels[p].holeFaces);
        EXPECT_EQ(colouredCount(*hole), 0);
        EXPECT_NEAR(fitToSeed(*hole), SeedArea * panels[p].holeArea, 1e-5);
        std::vector<int> loop;
        EXPECT_EQ(hole->Border(3, loop), panels[p].holeBorder);
    }
    EXPECT_EQ(MeshPtr(Mesh::TrianglePattern0(1.0f))->vertices[3].position, Corner[0]);
}

TEST(MeshPattern, SharpEdgesBoundTheColouredPieces) {
    const struct {
        int pattern, a, b, sharp;
    } marks[] = {{0, 0, 3, 1}, {0, 1, 3, 1}, {0, 2, 3, 1}, {1, 3, 4, 1}, {1, 4, 5, 1}, {1, 5, 3, 1},
                 {1, 0, 3, 0}, {1, 1, 4, 0}, {1, 2, 5, 0}, {2, 3, 4, 0}, {2, 4, 5, 0}, {2, 5, 3, 0},
                 {2, 0, 1, 1}, {2, 1, 2, 1}, {2, 2, 0, 1}, {3, 3, 4, 1}, {3, 4, 5, 1}, {3, 5, 6, 1},
                 {3, 6, 7, 1}, {3, 7, 8, 1}, {3, 8, 3, 1}, {3, 0, 3, 0}, {3, 0, 1, 1}};
    for (const auto& e : marks) {
        MeshPtr m(panel(e.pattern, false));
        EXPECT_EQ(meshtest::edgeMark(*m, e.a, e.b), e.sharp) << e.pattern << ": " << e.a << "-" << e.b;
    }
    MeshPtr star(panel(2, false));
    int face = 6;  // the star's four coloured faces form one sharp-bounded patch
    star->selectF_(vec3(), true, face);
    EXPECT_EQ(star->selectedFaces.size(), 4u);

    MeshPtr seed(Mesh::Triangle());
    EXPECT_EQ(seed->trianglePoint(0, {0, 0, 1, 7}), Corner[2]);
    EXPECT_TRUE(near(seed->trianglePoint(0, {1.0f / 3, 1.0f / 3, 1.0f / 3}), vec3(0, 0, 0)));
    // Invalid input gives the origin instead of reading outside the lists.
    EXPECT_EQ(seed->trianglePoint(1, {1, 0, 0}), vec3(0, 0, 0));
    EXPECT_EQ(seed->trianglePoint(0, {1, 0}), vec3(0, 0, 0));
}
