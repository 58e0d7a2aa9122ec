// The primitive factories of Mesh, the midpoint subdivision, the whole-mesh
// helpers makeSharp, makeSmooth and spherize, and the triangle pattern
// panels: counts, where their points lie, their sharp edges and coloured
// faces, and how they fill the seed triangle.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

int cornerCount(const Mesh& m) {
    int n = 0;
    for (int v = 0; v < m.vertexCount(); ++v) n += m.vertices[v].isCorner() ? 1 : 0;
    return n;
}

// Sound, closed, and every face normal points away from the interior point.
void expectClosedOutward(const Mesh& m, const vec3& inside) {
    EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
    EXPECT_TRUE(meshtest::isClosed(m));
    EXPECT_GT(meshtest::enclosedVolume(m), 0.0);
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        const vec3 mid = (at(m, F.v[0]) + at(m, F.v[1]) + at(m, F.v[2])) / 3.0f;
        EXPECT_GT(dot(F.normal, mid - inside), 0.0) << "face " << f;
    }
}

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

TEST(MeshPrimitives, ClosedOutwardWithTheirCountsAndFrames) {
    const struct {
        const char* name;
        Mesh* (*make)();
        int vertices, faces, sharpEdges, corners;
        vec3 centre;
        float size;
    } solids[] = {
        {"cube", &Mesh::Cube, 8, 12, 12, 8, vec3(0.5f, 0.5f, 0.5f), 1.7320508f},  // quad diagonals smooth
        {"tetrahedron", &Mesh::Tetrahedron, 4, 4, 6, 4, vec3(0.5f, 0.28867513f, 0.1767767f), 1.2076f},
        {"octahedron", &Mesh::Octahedron, 6, 8, 12, 6, vec3(0, 0, 0), 2.0f},
        {"icosahedron", &Mesh::Icosahedron, 12, 20, 30, 12, vec3(0, 0, 0), 4.0f},
        {"dodecahedron", &Mesh::Dodecahedron, 20, 36, 30, 20, vec3(0, 0, 0), 3.4641016f},
        {"sphere", [] { return meshtest::smoothSphere(3); }, 642, 1280, 0, 0, vec3(0, 0, 0), 4.0f},
        {"cylinder", [] { return Mesh::Cylinder(24, false); }, 50, 96, 48, 0, vec3(0, 0, 0), 1.0f},
        {"prism", [] { return Mesh::Cylinder(3, true); }, 8, 12, 9, 6, vec3(0, 0, 0), 1.0f},
        {"capsule", [] { return Mesh::Capsule(0, false); }, 16, 28, 8, 0, vec3(0, 0, 0), 1.0f},
    };
    for (const auto& s : solids) {
        SCOPED_TRACE(s.name);
        MeshPtr m(s.make());
        expectClosedOutward(*m, s.centre);
        EXPECT_EQ(m->vertexCount(), s.vertices);
        EXPECT_EQ(m->faceCount(), s.faces);
        EXPECT_EQ(meshtest::sharpEdgeCount(*m), s.sharpEdges);
        EXPECT_EQ(cornerCount(*m), s.corners);
        EXPECT_LE(length(m->centre - s.centre), 1e-5f);
        EXPECT_NEAR(m->size(), s.size, 1e-3);
    }
    // The handle cube: sides coloured by axis, only the colour set.
    MeshPtr h(Mesh::CubeHandle());
    EXPECT_EQ(h->faces[10].normal, vec3(1, 0, 0));
    EXPECT_EQ(h->faces[5].material[1].colour, wvec4(0, 65535, 0, 65535));
    EXPECT_EQ(h->faces[10].material[2], pbr(wvec4(0, 0, 65535, 65535), pbr().light, 0, 0));
    for (const int bad : {2, 0, -5}) EXPECT_EQ(Mesh::Cylinder(bad, false), nullptr) << bad;
}

TEST(MeshPrimitives, SpheresAndCapsulesAreRound) {
    MeshPtr base(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(base.get(), 3, false, true));
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_NEAR(length(at(*m, v)), 2.0, 1e-5);
    EXPECT_EQ(base->faceCount(), 20);  // the base mesh is left as it was
    MeshPtr keep(Mesh::Sphere(base.get(), 2, true, true));
    EXPECT_EQ(meshtest::checkMeshInvariants(*keep), "");
    EXPECT_EQ(meshtest::sharpEdgeCount(*keep), 30 * 4);  // every original edge in four segments
    EXPECT_EQ(cornerCount(*keep), 12);
    EXPECT_EQ(MeshPtr(Mesh::Sphere(base.get(), 0, true, false))->faceCount(), 20);
    EXPECT_EQ(Mesh::Sphere(nullptr, 3, false, true), nullptr);

    // Radius 1 about the z axis, z in [-2, 2]; smooth but for the two seams.
    MeshPtr c(Mesh::Capsule(2, false));
    expectClosedOutward(*c, vec3(0, 0, 0));
    EXPECT_EQ(meshtest::sharpEdgeCount(*c), 2 * (4 << 2));
    for (int v = 0; v < c->vertexCount(); ++v) {
        const vec3 p = at(*c, v);
        EXPECT_LE(std::fabs(p.z), 2.0f + 1e-5f);
        EXPECT_NEAR(length(p - vec3(0, 0, std::fmax(-1.0f, std::fmin(1.0f, p.z)))), 1.0, 1e-5);
    }
    // Keeping sharp edges continues the four vertical creases of the box.
    MeshPtr k(Mesh::Capsule(2, true));
    expectClosedOutward(*k, vec3(0, 0, 0));
    int creases = 0;
    for (int f = 0; f < k->faceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            const MeshFace& F = k->faces[f];
            if (F.isSharp(e) && F.f[e] > f && at(*k, F.v[(e + 1) % 3]).z * at(*k, F.v[(e + 2) % 3]).z < 0) ++creases;
        }
    EXPECT_EQ(creases, 4);
}

TEST(MeshPrimitives, SubdivisionAndWholeMeshHelpers) {
    MeshPtr t(Mesh::Triangle());
    EXPECT_TRUE(t->subdivide(false));
    EXPECT_EQ(meshtest::checkMeshInvariants(*t), "");
    EXPECT_TRUE(t->faceCount() == 4 && meshtest::openEdgeCount(*t) == 6);

    // The smooth step pulls only the old vertices towards their rings; the
    // new ones stay exact midpoints.
    MeshPtr s(Mesh::Icosahedron());
    s->makeSmooth();
    const Mesh old(*s);
    EXPECT_TRUE(s->subdivide(true));
    EXPECT_EQ((std::vector<int>{s->vertexCount(), s->faceCount()}), (std::vector<int>{42, 80}));  // V + E, 4F
    for (int v = 0; v < 12; ++v) EXPECT_LT(length(at(*s, v)), length(at(old, v)));
    const float midRadius = length((at(old, 0) + at(old, 1)) * 0.5f);  // 0-1 is an edge
    for (int v = 12; v < 42; ++v) EXPECT_NEAR(length(at(*s, v)), midRadius, 1e-6) << v;

    // makeSmooth and spherize (the icosahedron's row covers makeSharp).
    t->makeSmooth();  // an open mesh keeps its border vertices sharp
    EXPECT_EQ((std::vector<int>{t->vertices[2].flags, t->faces[0].flags}), (std::vector<int>{8 | 1 | 4, 8}));

    MeshPtr c(Mesh::Cube());
    c->spherize();
    EXPECT_EQ(meshtest::checkMeshInvariants(*c), "");
    for (int v = 0; v < c->vertexCount(); ++v)
        EXPECT_NEAR(distance(at(*c, v), vec3(0.5f, 0.5f, 0.5f)), c->size() * 0.5f, 1e-6);
}

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

}  // namespace
