// The primitive factories of qel::Mesh, the midpoint subdivision and the
// whole-mesh helpers makeSharp, makeSmooth and spherize.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <tuple>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::MeshVertex;
using qel::vec3;

namespace {

using MeshPtr = std::unique_ptr<Mesh>;

struct Counts {
    int vertices = 0, faces = 0, edges = 0, sharpEdges = 0, openEdges = 0, corners = 0;
};

// Counts of the active records; each interior edge is counted once.
Counts count(const Mesh& m) {
    Counts c;
    for (int v = 0; v < m.vertexCount(); ++v) {
        if (!m.activeVertex(v)) continue;
        ++c.vertices;
        if (m.vertices[v].isCorner()) ++c.corners;
    }
    for (int f = 0; f < m.faceCount(); ++f) {
        if (!m.activeFace(f)) continue;
        ++c.faces;
        const MeshFace& F = m.faces[f];
        for (int k = 0; k < 3; ++k) {
            const int g = F.f[k];
            if (g < 0) {
                ++c.edges;
                ++c.openEdges;
                continue;
            }
            if (g < f) continue;
            ++c.edges;
            if (F.isSharp(k)) ++c.sharpEdges;
        }
    }
    return c;
}

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

// Signed volume of the active faces (positive for an outward closed mesh).
double signedVolume(const Mesh& m) {
    double sum = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        if (!m.activeFace(f)) continue;
        const MeshFace& F = m.faces[f];
        sum += qel::dot(at(m, F.v[0]), qel::cross(at(m, F.v[1]), at(m, F.v[2])));
    }
    return sum / 6.0;
}

vec3 faceCentroid(const Mesh& m, int f) {
    const MeshFace& F = m.faces[f];
    return (at(m, F.v[0]) + at(m, F.v[1]) + at(m, F.v[2])) / 3.0f;
}

// Every face normal of a convex solid points away from the given interior
// point.
void expectOutward(const Mesh& m, const vec3& inside) {
    EXPECT_GT(signedVolume(m), 0.0);
    for (int f = 0; f < m.faceCount(); ++f) {
        if (!m.activeFace(f)) continue;
        EXPECT_GT(qel::dot(m.faces[f].normal, faceCentroid(m, f) - inside), 0.0) << "face " << f;
    }
}

void expectClosed(const Mesh& m) {
    EXPECT_EQ(count(m).openEdges, 0);
    for (int v = 0; v < m.vertexCount(); ++v) EXPECT_FALSE(m.vertices[v].isBorder()) << "vertex " << v;
}

void expectNear(const vec3& a, const vec3& b, float eps) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// ---------------------------------------------------------------------------
// Polyhedra

TEST(MeshPrimitives, CubeFaceOrderAndHandleColours) {
    MeshPtr m(Mesh::CubeHandle());
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_NEAR(signedVolume(*m), 1.0, 1e-6);
    // Faces 0-1 bottom, 2-3 top, then the y and the x sides.
    EXPECT_EQ(m->faces[0].normal, vec3(0, 0, -1));
    EXPECT_EQ(m->faces[3].normal, vec3(0, 0, 1));
    EXPECT_EQ(m->faces[5].normal, vec3(0, -1, 0));
    EXPECT_EQ(m->faces[10].normal, vec3(1, 0, 0));
    const qel::wvec4 red(65535, 0, 0, 65535), green(0, 65535, 0, 65535), blue(0, 0, 65535, 65535);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m->faces[0].material[k].colour, red);
        EXPECT_EQ(m->faces[3].material[k].colour, red);
        EXPECT_EQ(m->faces[5].material[k].colour, green);
        EXPECT_EQ(m->faces[10].material[k].colour, blue);
        EXPECT_EQ(m->faces[10].material[k].light, qel::pbr().light);  // only the colour changes
    }
}

TEST(MeshPrimitives, PlatonicSolidsAreClosedOutwardAndSharp) {
    struct Solid {
        const char* name;
        Mesh* (*make)();
        int vertices, faces, sharpEdges;
        vec3 centre;
        float size;
    };
    const Solid solids[] = {
        {"cube", &Mesh::Cube, 8, 12, 12, vec3(0.5f, 0.5f, 0.5f), 1.7320508f},  // quad diagonals smooth
        {"tetrahedron", &Mesh::Tetrahedron, 4, 4, 6, vec3(0.5f, 0.28867513f, 0.1767767f), 1.2076f},
        {"octahedron", &Mesh::Octahedron, 6, 8, 12, vec3(0, 0, 0), 2.0f},
        {"icosahedron", &Mesh::Icosahedron, 12, 20, 30, vec3(0, 0, 0), 4.0f},
        {"dodecahedron", &Mesh::Dodecahedron, 20, 36, 30, vec3(0, 0, 0), 3.4641016f},
    };
    for (const Solid& s : solids) {
        SCOPED_TRACE(s.name);
        MeshPtr m(s.make());
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
        const Counts c = count(*m);
        EXPECT_EQ(c.vertices, s.vertices);
        EXPECT_EQ(c.faces, s.faces);
        EXPECT_EQ(c.sharpEdges, s.sharpEdges);
        EXPECT_EQ(c.corners, s.vertices);
        expectClosed(*m);
        expectNear(m->centre, s.centre, 1e-5f);
        EXPECT_NEAR(m->size(), s.size, 1e-3);
        expectOutward(*m, m->centre);
    }
}

// ---------------------------------------------------------------------------
// Sphere

TEST(MeshPrimitives, SphereOfTheIcosahedron) {
    MeshPtr base(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(base.get(), 3, false, true));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const Counts c = count(*m);
    EXPECT_EQ(c.vertices, 642);
    EXPECT_EQ(c.faces, 1280);
    EXPECT_EQ(c.sharpEdges, 0);
    EXPECT_EQ(c.corners, 0);
    expectClosed(*m);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_NEAR(qel::length(at(*m, v)), 2.0, 1e-5);
    expectOutward(*m, vec3(0, 0, 0));
    // The base mesh is left as it was.
    EXPECT_EQ(base->vertexCount(), 12);
    EXPECT_EQ(base->faceCount(), 20);
}

TEST(MeshPrimitives, SphereKeepingSharpKeepsTheIcosahedronCreases) {
    MeshPtr base(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(base.get(), 2, true, true));
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const Counts c = count(*m);
    EXPECT_EQ(c.faces, 320);
    EXPECT_EQ(c.sharpEdges, 30 * 4);  // every original edge in four segments
    EXPECT_EQ(c.corners, 12);
}

TEST(MeshPrimitives, SphereWithoutLevelsIsAClone) {
    MeshPtr base(Mesh::Octahedron());
    MeshPtr m(Mesh::Sphere(base.get(), 0, true, false));
    ASSERT_EQ(m->vertexCount(), base->vertexCount());
    ASSERT_EQ(m->faceCount(), base->faceCount());
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(at(*m, v), at(*base, v));
    EXPECT_EQ(Mesh::Sphere(nullptr, 3, false, true), nullptr);
}

// ---------------------------------------------------------------------------
// Cylinder and capsule

TEST(MeshPrimitives, CylinderIsClosedAndWoundOutwards) {
    MeshPtr m(Mesh::Cylinder(24, false));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const Counts c = count(*m);
    EXPECT_EQ(c.vertices, 50);
    EXPECT_EQ(c.faces, 96);
    EXPECT_EQ(c.sharpEdges, 48);  // the two rims; vertical edges smooth
    expectClosed(*m);
    expectOutward(*m, vec3(0, 0, 0));
    EXPECT_EQ(m->centre, vec3(0, 0, 0));
    EXPECT_EQ(m->size(), 1.0f);
    // Side normals point away from the axis, cap normals along -z and +z.
    for (int f = 0; f < 48; ++f) {
        const vec3 n = m->faces[f].normal;
        const vec3 mid = faceCentroid(*m, f);
        EXPECT_GT(n.x * mid.x + n.y * mid.y, 0.9f) << "side " << f;
    }
    for (int f = 48; f < 72; ++f) expectNear(m->faces[f].normal, vec3(0, 0, -1), 1e-6f);
    for (int f = 72; f < 96; ++f) expectNear(m->faces[f].normal, vec3(0, 0, 1), 1e-6f);
}

TEST(MeshPrimitives, CylinderSegmentsAndFacets) {
    MeshPtr faceted(Mesh::Cylinder(24, true));
    EXPECT_EQ(count(*faceted).sharpEdges, 72);
    EXPECT_EQ(meshtest::checkMeshInvariants(*faceted), "");
    MeshPtr prism(Mesh::Cylinder(3, false));
    ASSERT_NE(prism, nullptr);
    expectClosed(*prism);
    EXPECT_GT(signedVolume(*prism), 0.0);
    EXPECT_EQ(Mesh::Cylinder(2, false), nullptr);
    EXPECT_EQ(Mesh::Cylinder(0, false), nullptr);
    EXPECT_EQ(Mesh::Cylinder(-5, true), nullptr);
}

TEST(MeshPrimitives, CapsuleIsSmoothExceptItsSeams) {
    for (int levels = 0; levels <= 3; ++levels) {
        SCOPED_TRACE(levels);
        MeshPtr m(Mesh::Capsule(levels, false));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
        expectClosed(*m);
        EXPECT_GT(signedVolume(*m), 0.0);
        const int rim = 4 << levels;  // vertices on each seam
        const Counts c = count(*m);
        EXPECT_EQ(c.sharpEdges, 2 * rim);
        for (int f = 0; f < m->faceCount(); ++f) {
            const MeshFace& F = m->faces[f];
            for (int k = 0; k < 3; ++k) {
                if (!F.isSharp(k)) continue;
                const float z1 = at(*m, F.v[(k + 1) % 3]).z;
                const float z2 = at(*m, F.v[(k + 2) % 3]).z;
                EXPECT_NEAR(std::fabs(z1), 1.0f, 1e-5f);
                EXPECT_NEAR(z1, z2, 1e-5f);
            }
        }
        // Radius 1 about the z axis, z in [-2, 2].
        for (int v = 0; v < m->vertexCount(); ++v) {
            const vec3 p = at(*m, v);
            EXPECT_LE(std::fabs(p.z), 2.0f + 1e-5f);
            if (std::fabs(p.z) >= 1.0f) {
                const vec3 cap(0, 0, p.z > 0 ? 1.0f : -1.0f);
                EXPECT_NEAR(qel::length(p - cap), 1.0, 1e-5);
            }
        }
    }
}

TEST(MeshPrimitives, CapsuleKeepingSharpContinuesTheCreases) {
    MeshPtr m(Mesh::Capsule(2, true));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    expectClosed(*m);
    EXPECT_GT(signedVolume(*m), 0.0);
    // Band edges that cross from z = 1 to z = -1 and are sharp: the four
    // vertical creases of the box.
    int creases = 0;
    for (int f = 0; f < m->faceCount(); ++f) {
        const MeshFace& F = m->faces[f];
        for (int k = 0; k < 3; ++k) {
            if (!F.isSharp(k) || F.f[k] < f) continue;
            const float z1 = at(*m, F.v[(k + 1) % 3]).z;
            const float z2 = at(*m, F.v[(k + 2) % 3]).z;
            if (z1 * z2 < 0) ++creases;
        }
    }
    EXPECT_EQ(creases, 4);
}

// ---------------------------------------------------------------------------
// Subdivision

TEST(MeshSubdivide, OpenTriangleGivesFourWithExactMidpoints) {
    MeshPtr m(Mesh::Triangle());
    const vec3 p[3] = {at(*m, 0), at(*m, 1), at(*m, 2)};
    EXPECT_TRUE(m->subdivide(false));
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const Counts c = count(*m);
    EXPECT_EQ(c.vertices, 6);
    EXPECT_EQ(c.faces, 4);
    EXPECT_EQ(c.openEdges, 6);
    EXPECT_EQ(m->topologyChanged, 1);
    std::set<std::tuple<float, float, float>> midpoints;
    for (int i = 0; i < 3; ++i) {
        const vec3 mid = (p[i] + p[(i + 1) % 3]) * 0.5f;
        midpoints.insert(std::make_tuple(mid.x, mid.y, mid.z));
    }
    for (int v = 3; v < 6; ++v) EXPECT_EQ(midpoints.count(std::make_tuple(at(*m, v).x, at(*m, v).y, at(*m, v).z)), 1u);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(at(*m, v), p[v]);
    // The middle triangle joins the three midpoints.
    int middle = 0;
    for (int f = 0; f < 4; ++f) {
        const MeshFace& F = m->faces[f];
        if (F.v[0] >= 3 && F.v[1] >= 3 && F.v[2] >= 3) ++middle;
    }
    EXPECT_EQ(middle, 1);
}

TEST(MeshSubdivide, ClosedMeshCountsAndSharpHalves) {
    MeshPtr m(Mesh::Octahedron());
    const Counts before = count(*m);
    EXPECT_TRUE(m->subdivide(false));
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const Counts after = count(*m);
    EXPECT_EQ(after.vertices, before.vertices + before.edges);
    EXPECT_EQ(after.edges, 2 * before.edges + 3 * before.faces);
    EXPECT_EQ(after.faces, 4 * before.faces);
    EXPECT_EQ(after.sharpEdges, 2 * before.sharpEdges);
    expectClosed(*m);
    expectOutward(*m, vec3(0, 0, 0));
    // Every face is similar to its parent: all edges of length sqrt(2)/2.
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(qel::distance(at(*m, m->faces[f].v[k]), at(*m, m->faces[f].v[(k + 1) % 3])),
                        std::sqrt(0.5), 1e-6);
}

TEST(MeshSubdivide, SmoothStepMovesOnlyOldVertices) {
    MeshPtr m(Mesh::Icosahedron());
    m->makeSmooth();
    std::set<std::tuple<float, float, float>> midpoints;
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const vec3 mid = (at(*m, m->faces[f].v[k]) + at(*m, m->faces[f].v[(k + 1) % 3])) * 0.5f;
            midpoints.insert(std::make_tuple(mid.x, mid.y, mid.z));
        }
    std::vector<vec3> old;
    for (int v = 0; v < 12; ++v) old.push_back(at(*m, v));
    EXPECT_TRUE(m->subdivide(true));
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_EQ(m->vertexCount(), 42);
    for (int v = 12; v < 42; ++v)
        EXPECT_EQ(midpoints.count(std::make_tuple(at(*m, v).x, at(*m, v).y, at(*m, v).z)), 1u) << v;
    for (int v = 0; v < 12; ++v) {
        EXPECT_NE(at(*m, v), old[v]);
        EXPECT_LT(qel::length(at(*m, v)), qel::length(old[v]));  // pulled towards its ring
    }
}

// ---------------------------------------------------------------------------
// Whole-mesh helpers

TEST(MeshPrimitives, MakeSharpAndMakeSmooth) {
    MeshPtr m(Mesh::Cylinder(8, false));
    m->makeSharp();
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    Counts c = count(*m);
    EXPECT_EQ(c.sharpEdges, c.edges);
    // Flat normals: every corner normal is its face normal.
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) expectNear(m->faces[f].normals[k], m->faces[f].normal, 1e-6f);

    m->makeSmooth();
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    c = count(*m);
    EXPECT_EQ(c.sharpEdges, 0);
    EXPECT_EQ(c.corners, 0);

    // An open mesh keeps its border vertices sharp.
    MeshPtr t(Mesh::Triangle());
    t->makeSmooth();
    for (int v = 0; v < 3; ++v) {
        EXPECT_TRUE(t->vertices[v].isSharp());
        EXPECT_TRUE(t->vertices[v].isBorder());
        EXPECT_FALSE(t->vertices[v].isCorner());
    }
    EXPECT_EQ(t->faces[0].flags & MeshFace::SharpMask, 0);
}

TEST(MeshPrimitives, SpherizeProjectsAboutTheCentre) {
    MeshPtr m(Mesh::Cube());
    m->spherize();
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    const vec3 c(0.5f, 0.5f, 0.5f);
    const float r = m->size() * 0.5f;
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_NEAR(qel::distance(at(*m, v), c), r, 1e-6);
    // A cube's corners already lie on that sphere.
    EXPECT_NEAR(at(*m, 6).x, 1.0f, 1e-6f);
}

}  // namespace
