// Plane cut, clip and subtract; the invariant check follows every operation.
// "Flat" faces below are those whose normal cannot be formed (the cross
// product of their edges is as short as calculateNormals treats as
// degenerate); "collinear" ones have exactly no area.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/geometry.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_kept_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"
#include "support/sanitizer.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;
using meshtest::primitive;
using meshtest::surfacePoint;

namespace {

const vec3 up(0, 0, 1);

// Sharp edges joining two vertices at or above `first`.
int sharpEdgesFrom(const Mesh& m, int first) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            if (F.isActive() && F.isSharp(k) && F.v[(k + 1) % 3] >= first && F.v[(k + 2) % 3] >= first) ++n;
        }
    return n / 2;
}

bool closed(const Mesh& m) {
    for (int f = 0; f < m.faceCount(); ++f)
        for (const int g : m.faces[f].f)
            if (g < 0) return false;
    return m.faceCount() > 0;
}

// Two meshes side by side: the second moved by `shift`.
Mesh* pair(Mesh* a, const vec3& shift) {
    MeshPtr b(a->clone());
    for (int v = 0; v < b->vertexCount(); ++v) b->vertices[v].position += shift;
    a->append(b.get());
    return a;
}

TEST(MeshPlaneCut, CubeMiddleSplitsCrossingEdgesAndCreasesTheLine) {
    MeshPtr m(Mesh::Cube());
    m->cutPlane(vec3(0.5f, 0.5f, 0.5f), up * 3.0f);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    // Four vertical edges and four side diagonals cross.
    ASSERT_EQ(m->vertexCount(), 16);
    for (int v = 8; v < 16; ++v) {
        const MeshVertex& r = m->vertices[v];
        EXPECT_NEAR(r.position.z, 0.5f, 1e-6);
        EXPECT_TRUE(r.isSharp());
        // Vertical edges are sharp on the cube: their new vertices are corners.
        const bool onVertical = std::fabs(r.position.x - 0.5f) > 0.49f && std::fabs(r.position.y - 0.5f) > 0.49f;
        EXPECT_EQ(r.isCorner(), onVertical) << v;
    }
    EXPECT_EQ(sharpEdgesFrom(*m, 8), 8);
    EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());

    // The plane x + y = 1 holds four cube vertices: no new vertex on them.
    MeshPtr d(Mesh::Cube());
    d->cutPlane(vec3(0.5f, 0.5f, 0), vec3(1, 1, 0));
    ASSERT_EQ(checkMeshInvariants(*d), "");
    ASSERT_GT(d->vertexCount(), 8);
    for (int v = 8; v < d->vertexCount(); ++v)
        for (int o = 0; o < 8; ++o) EXPECT_GT(length(d->vertices[v].position - d->vertices[o].position), 0.1f);
}

TEST(MeshPlaneCut, WholeCutSplitsEveryCrossingEdgeOfEveryComponent) {
    // Four spheres in a row, thousands of faces: no edge is left running
    // from one side of a tilted plane to the other, and each sphere gets a
    // closed creased line on the plane. Ends within 0.05 of the plane are
    // left out of the count (a cut may put a vertex that near on it).
    MeshPtr m(pair(pair(meshtest::smoothSphere(3), vec3(5, 0, 0)), vec3(10, 0, 0)));
    ASSERT_GT(m->faceCount(), 4096);
    const int n = m->vertexCount();
    const vec3 point(0, 0, 0.0123f), normal(0.01f, 0.02f, 1.0f);
    auto distance = [&](int v) { return dot(dvec3(m->vertices[v].position) - dvec3(point), dvec3(normal)); };
    auto across = [&] {
        int count = 0;
        for (int f = 0; f < m->faceCount(); ++f)
            for (int k = 0; k < 3; ++k) {
                const MeshFace& F = m->faces[f];
                const double a = distance(F.v[(k + 1) % 3]), b = distance(F.v[(k + 2) % 3]);
                count += F.isActive() && ((a > 0.05 && b < -0.05) || (a < -0.05 && b > 0.05));
            }
        return count;
    };
    ASSERT_GT(across(), 4 * 20);
    m->cutPlane(point, normal);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(closed(*m));
    EXPECT_EQ(across(), 0);
    int onEach[4] = {0, 0, 0, 0};
    for (int v = n; v < m->vertexCount(); ++v) {
        EXPECT_NEAR(distance(v), 0.0, 1e-5) << v;
        ++onEach[std::min(3, std::max(0, int(std::lround(m->vertices[v].position.x / 5))))];
    }
    for (const int c : onEach) EXPECT_GT(c, 20);
    EXPECT_EQ(sharpEdgesFrom(*m, n), m->vertexCount() - n);  // closed lines
}

TEST(MeshPlaneCut, ScopedCutsStayInTheirScope) {
    // Two spheres crossed by one plane: only the picked one is cut, all round.
    MeshPtr m(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    const int n = m->vertexCount();
    m->cutPlaneG_(vec3(1.97f, 0, 0.3f), up, -1);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    ASSERT_GT(m->vertexCount(), n);
    for (int v = n; v < m->vertexCount(); ++v) EXPECT_LT(m->vertices[v].position.x, 2.5f);
    EXPECT_EQ(sharpEdgesFrom(*m, n), m->vertexCount() - n);  // a closed line

    // On the cube the band of a side stops at its sharp vertical edges: the
    // two edges and the side's diagonal are split.
    MeshPtr c(Mesh::Cube());
    c->cutPlaneG_(vec3(0.5f, 0.5f, 0.5f), up, 4);
    ASSERT_EQ(checkMeshInvariants(*c), "");
    EXPECT_EQ(c->vertexCount(), 11);
    EXPECT_EQ(sharpEdgesFrom(*c, 8), 2);

    // The component scope cuts the picked cube all round, not its twin.
    MeshPtr p(pair(Mesh::Cube(), vec3(3, 0, 0)));
    p->cutPlaneF(vec3(0.5f, 0.5f, 0.5f), up, 0);
    ASSERT_EQ(checkMeshInvariants(*p), "");
    ASSERT_EQ(p->vertexCount(), 16 + 8);
    for (int v = 16; v < p->vertexCount(); ++v) EXPECT_LT(p->vertices[v].position.x, 2.0f);
    EXPECT_EQ(sharpEdgesFrom(*p, 16), 8);
}

TEST(MeshPlaneClip, LeavesTheNegativeSideOpenAlongTheCreasedLine) {
    MeshPtr m(meshtest::smoothSphere(2));
    m->clipPlane(vec3(0, 0, 0.3f), up);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    int open = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m->faces[f];
            for (const int v : F.v) EXPECT_LE(m->vertices[v].position.z, 0.3f + 1e-5f);
            if (F.f[k] >= 0) continue;
            ++open;
            EXPECT_TRUE(F.isSharp(k));
            EXPECT_NEAR(m->vertices[F.v[(k + 1) % 3]].position.z, 0.3f, 1e-5);
        }
    EXPECT_GT(open, 0);

    m->clipPlane(vec3(0, 0, -10), up);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 0);
    EXPECT_EQ(m->vertexCount(), 0);
}

// Closed; every cap face has the plane normal and the material, joined by
// sharp edges.
void expectCapped(const Mesh& m, const vec3& normal, const pbr& paint) {
    ASSERT_EQ(checkMeshInvariants(m), "");
    EXPECT_TRUE(closed(m));
    int joins = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (F.material[0].roughness != paint.roughness) continue;
        EXPECT_NEAR(dot(F.normal, normal), 1.0f, 1e-5);
        EXPECT_EQ(F.material[2].colour.g, paint.colour.g);
        for (int k = 0; k < 3; ++k)
            if (m.faces[F.f[k]].material[0].roughness != paint.roughness) {
                ++joins;
                EXPECT_TRUE(F.isSharp(k));
            }
    }
    EXPECT_GE(joins, 3);
}

const pbr paint(wvec4(1000, 2000, 3000, 65535), wvec4(0, 0, 0, 65535), 1234, 0);

TEST(MeshPlaneSubtract, ClosesEveryLoopTheClipOpens) {
    // One loop of new vertices; a plane through a layer of old vertices;
    // two loops, one per sphere.
    MeshPtr sphere(meshtest::smoothSphere(2)), cube(Mesh::Cube());
    MeshPtr two(pair(meshtest::smoothSphere(2), vec3(5, 0, 0)));
    cube->cutPlane(vec3(0, 0, 0.5f), up);
    sphere->subPlane(vec3(0, 0, 0.3f), up * 2.0f, paint);
    cube->subPlane(vec3(0, 0, 0.5f), up, paint);
    two->subPlane(vec3(0, 0, -0.5f), up, paint);
    for (const Mesh* m : {sphere.get(), cube.get(), two.get()}) expectCapped(*m, up, paint);
    for (int v = 0; v < sphere->vertexCount(); ++v) EXPECT_LE(sphere->vertices[v].position.z, 0.3f + 1e-5f);
    EXPECT_EQ(cube->vertexCount(), 12);
}

// A box over [-1, 1] x [-1, 1] x [bottom, 1] with a V groove along y in
// its top: rim at x = g - 0.3 and g + 0.3 in z = 1, bottom edge at x = g in
// z = 0, from y = front to y = back. Ends at -1 and 1 run the groove out
// through flat end faces; ends inside are drawn in, the end faces folded in
// to meet them. Each end face is a fan round the groove's bottom vertex,
// each side a quadrilateral split by the diagonal from its front lower end.
Mesh* grooveBox(float g, float front, float back, float bottom = -1) {
    const float x[7] = {-1, 1, 1, g + 0.3f, g, g - 0.3f, -1}, z[7] = {bottom, bottom, 1, 1, 0, 1, 1};
    std::vector<vec3> points;
    for (const float end : {-1.0f, 1.0f})
        for (int i = 0; i < 7; ++i) points.emplace_back(x[i], i == 4 ? (end < 0 ? front : back) : end, z[i]);
    std::vector<std::array<int, 3>> faces;
    for (const int i : {5, 6, 0, 1, 2}) {
        faces.push_back({4, i, (i + 1) % 7});
        faces.push_back({11, 7 + (i + 1) % 7, 7 + i});
    }
    for (int i = 0; i < 7; ++i) {
        const int j = (i + 1) % 7;
        faces.push_back({i, 7 + j, j});
        faces.push_back({i, 7 + i, 7 + j});
    }
    return meshtest::fromTriangles(points, faces);
}

// A closed surface of genus one whose part under z = 0 is bounded by the
// hexagon x u z v y w in z = 0 and holds the face (x, y, z) in z = 0,
// turned as a cap of the hexagon would be: the three pieces beyond its
// edges reach the hexagon's sides crosswise (the piece beyond x-y runs to
// x-u and v-y), so that the hexagon passes x, z and y against the face's
// turn. Every other edge between hexagon points is an edge of the mesh
// too.
Mesh* crossedHexagon() {
    enum { x, y, z, u, v, w, a, b, c, t, top };
    const std::vector<vec3> points = {{0, 1, 0},           {0.87f, -0.5f, 0}, {-0.87f, -0.5f, 0}, {-1, 0.6f, 0},
                                      {0, -1.2f, 0},       {1, 0.6f, 0},      {0, -0.3f, -1},     {-0.3f, 0.2f, -1.2f},
                                      {0.3f, 0.2f, -1.4f}, {0, 0, -2},        {0, 0, 1}};
    return meshtest::fromTriangles(
        points, {{x, y, z},   {y, x, a},   {x, u, a},   {u, v, a},   {v, y, a},   {z, y, b},  {y, w, b}, {w, u, b},
                 {u, z, b},   {x, z, c},   {z, v, c},   {v, w, c},   {w, x, c},   {v, u, t},  {u, w, t}, {w, v, t},
                 {u, x, top}, {z, u, top}, {v, z, top}, {y, v, top}, {w, y, top}, {x, w, top}});
}

TEST(MeshPlaneSubtract, LoopsThatCannotBeCappedStayOpen) {
    // An open bowl cut across its rim: the loop leaves the plane.
    MeshPtr m(meshtest::smoothSphere(2));
    m->clipPlane(vec3(0, 0, 0), up);
    const int before = m->faceCount();
    m->subPlane(vec3(0.5f, 0, 0), vec3(1, 0, 1), paint);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_LT(m->faceCount(), before);
    for (int f = 0; f < m->faceCount(); ++f) EXPECT_NE(m->faces[f].material[0].roughness, paint.roughness);

    // A closed two-sided square (each side with its own diagonal): its cut
    // loop is a line with no area.
    MeshPtr s(meshtest::fromTriangles({{0, 0, 0}, {2, 0, 0}, {0, 0, 2}, {2, 0, 2}},
                                      {{0, 1, 3}, {0, 3, 2}, {1, 0, 2}, {1, 2, 3}}));
    ASSERT_EQ(checkMeshInvariants(*s), "");
    s->subPlane(vec3(0, 0, 1), up, paint);
    ASSERT_EQ(checkMeshInvariants(*s), "");
    EXPECT_GT(s->faceCount(), 0);
    for (int f = 0; f < s->faceCount(); ++f) EXPECT_NE(s->faces[f].material[0].roughness, paint.roughness);

    // A groove near a side of a deep box, its ends drawn in to a waist no
    // other edge between outline points can pass: every cap would run the
    // groove's bottom edge, then an edge of four faces.
    MeshPtr g(grooveBox(0.6f, -0.1f, 0.1f, -3));
    g->subPlane(vec3(0, 0, 0), vec3(0, 0, -1), paint);
    EXPECT_EQ(checkMeshInvariants(*g), "");
    EXPECT_EQ(meshtest::reloadProblem(*g), "");
    EXPECT_EQ(meshtest::activeFaceCount(*g), 22);
    EXPECT_EQ(meshtest::openEdgeCount(*g), 8);

    // A cap face would lie on a face of the mesh turned the same way (no
    // pair that encloses nothing), and every other cap runs an edge of the
    // mesh.
    MeshPtr h(crossedHexagon());
    ASSERT_EQ(checkMeshInvariants(*h), "");
    h->subPlane(vec3(0, 0, 0), up, paint);
    EXPECT_EQ(checkMeshInvariants(*h), "");
    EXPECT_EQ(meshtest::reloadProblem(*h), "");
    EXPECT_EQ(meshtest::activeFaceCount(*h), 16);
    EXPECT_EQ(meshtest::openEdgeCount(*h), 6);
}

TEST(MeshPlaneSubtract, AGrooveWhoseBottomEdgeLiesInThePlaneIsCappedAroundIt) {
    // Subtracting z < 0 keeps two ridges joined along the groove's bottom
    // edge. The outline of the cap (the corners, the crossings of the side
    // diagonals and the groove's ends) spans that edge, which no edge of
    // the cap may run: the cap takes another diagonal. Twelve grooves: at
    // x = 0, -0.3, 0.3 and 0.6, with both ends flat, the front end drawn in
    // to y = -0.8, or both ends drawn in.
    for (const float g : {0.0f, -0.3f, 0.3f, 0.6f})
        for (int drawn = 0; drawn < 3; ++drawn) {
            SCOPED_TRACE("groove at " + std::to_string(g) + ", ends drawn in " + std::to_string(drawn));
            MeshPtr m(grooveBox(g, drawn > 0 ? -0.8f : -1, drawn > 1 ? 0.8f : 1));
            m->subPlane(vec3(0, 0, 0), vec3(0, 0, -1), paint);
            EXPECT_EQ(checkMeshInvariants(*m), "");
            EXPECT_EQ(meshtest::reloadProblem(*m), "");
            EXPECT_GE(meshtest::activeFaceCount(*m), 28);
            EXPECT_EQ(meshtest::openEdgeCount(*m), 0);
        }
    // Both ends drawn in to y = -0.1 and 0.1, a narrow waist round the
    // groove's edge. In this box the mesher's two triangles on the edge
    // make a convex quadrilateral, and the edge is turned to its other
    // diagonal; in a deep box (bottom at z = -3), whose side diagonals
    // cross the plane off the middle, they do not, and ears clipped round
    // the edge cap it.
    const struct {
        float g, bottom;
    } narrow[] = {{0.3f, -1}, {-0.3f, -3}, {0.3f, -3}};
    for (const auto& n : narrow) {
        SCOPED_TRACE("groove at " + std::to_string(n.g) + ", bottom at " + std::to_string(n.bottom));
        MeshPtr m(grooveBox(n.g, -0.1f, 0.1f, n.bottom));
        m->subPlane(vec3(0, 0, 0), vec3(0, 0, -1), paint);
        EXPECT_EQ(checkMeshInvariants(*m), "");
        EXPECT_EQ(meshtest::reloadProblem(*m), "");
        EXPECT_EQ(meshtest::activeFaceCount(*m), 28);
        EXPECT_EQ(meshtest::openEdgeCount(*m), 0);
    }
}

// Faces whose normal cannot be formed, computed in double from the stored
// floats as calculateNormals does.
int flatFaces(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        const dvec3 a(m.vertices[F.v[0]].position), b(m.vertices[F.v[1]].position), c(m.vertices[F.v[2]].position);
        const dvec3 n2 = cross(b - a, c - a);
        if (dot(n2, n2) <= NormalizeEpsilon) ++n;
    }
    return n;
}

// Faces whose corners lie on one line, decided exactly: the edges' cross
// product vanishes when each of its components, the orientation of the
// corners projected on a coordinate plane, does.
int collinearFaces(const Mesh& m) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        const vec3 &a = m.vertices[F.v[0]].position, &b = m.vertices[F.v[1]].position, &c = m.vertices[F.v[2]].position;
        bool line = true;
        for (int i = 0; i < 3 && line; ++i) {
            const int j = (i + 1) % 3;
            line = Orient2D(dvec2(a[i], a[j]), dvec2(b[i], b[j]), dvec2(c[i], c[j])) == 0;
        }
        n += line;
    }
    return n;
}

// subPlane(normal) and subPlane(-normal) on copies of the closed mesh m:
// "" when each half is sound, closed and free of flat faces and their
// volumes add up to m's; else what went wrong.
std::string halvesAddUp(Mesh& m, const vec3& point, const vec3& normal) {
    double sum = 0;
    for (const float s : {1.0f, -1.0f}) {
        MeshPtr half(m.clone());
        half->subPlane(point, normal * s, paint);
        const std::string broken = checkMeshInvariants(*half);
        if (!broken.empty()) return broken;
        if (const int open = meshtest::openEdgeCount(*half)) return std::to_string(open) + " open edges";
        if (const int flat = flatFaces(*half)) return std::to_string(flat) + " flat faces";
        sum += meshtest::enclosedVolume(*half);
    }
    const double whole = meshtest::enclosedVolume(m);
    if (std::fabs(sum - whole) > 1e-5 * std::fabs(whole))
        return "volumes " + std::to_string(sum) + " against " + std::to_string(whole);
    return "";
}

// Planes through every edge of m (each edge once), turned about the edge
// towards each of the directions.
std::vector<std::pair<vec3, vec3>> planesAlongEdges(const Mesh& m, const std::vector<vec3>& directions, int every) {
    std::vector<std::pair<vec3, vec3>> planes;
    int edge = 0;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            if (F.f[k] < f || edge++ % every != 0) continue;
            const vec3 a = m.vertices[F.v[(k + 1) % 3]].position, b = m.vertices[F.v[(k + 2) % 3]].position;
            for (const vec3& w : directions) {
                const dvec3 n = cross(dvec3(b - a), dvec3(w));
                const double l = std::sqrt(dot(n, n));
                if (l > 1e-3 * std::sqrt(double(dot(b - a, b - a)))) planes.emplace_back(a, vec3(n * (1.0 / l)));
            }
        }
    return planes;
}

// Planes through every edge of m (each edge once) and its centre.
std::vector<std::pair<vec3, vec3>> planesThroughEdgesAndCentre(const Mesh& m, const vec3& centre) {
    std::vector<std::pair<vec3, vec3>> planes;
    for (int f = 0; f < m.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace& F = m.faces[f];
            if (F.f[k] < f) continue;
            const vec3 a = m.vertices[F.v[(k + 1) % 3]].position, b = m.vertices[F.v[(k + 2) % 3]].position;
            planes.emplace_back(a, normalize(cross(a - centre, b - centre)));
        }
    return planes;
}

TEST(MeshPlaneSubtract, PlanesThroughVerticesAndEdgesKeepTheMeshClosed) {
    // Crossings within rounding of a vertex take the vertex: a face plane
    // of the dodecahedron removes nothing on its outer side.
    MeshPtr dodecahedron(Mesh::Dodecahedron()), cube(Mesh::Cube()), sphere(meshtest::smoothSphere(2));
    std::vector<std::pair<vec3, vec3>> facePlanes;
    for (int f = 0; f < dodecahedron->faceCount(); ++f)
        facePlanes.emplace_back(dodecahedron->vertices[dodecahedron->faces[f].v[0]].position,
                                dodecahedron->faces[f].normal);
    ASSERT_EQ(facePlanes.size(), 36u);
    MeshPtr outer(dodecahedron->clone());
    outer->subPlane(vec3(-0.618034005f, 0, 1.61803401f), vec3(0, -0.525731146f, 0.850650787f), paint);
    EXPECT_EQ(checkMeshInvariants(*outer), "");
    EXPECT_EQ(outer->faceCount(), 36);
    EXPECT_EQ(meshtest::openEdgeCount(*outer), 0);

    // Planes through an edge and the centre hold further vertices up to
    // the rounding of their coordinates: most of the great circles of the
    // sphere pass a few float steps from vertices of the mesh.
    const std::vector<vec3> turns = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {1, -2, 3}};
    MeshPtr coarseSphere(meshtest::smoothSphere(1));
    const struct {
        Mesh* mesh;
        std::vector<std::pair<vec3, vec3>> planes;
    } cases[] = {
        {dodecahedron.get(), facePlanes},
        {dodecahedron.get(), planesThroughEdgesAndCentre(*dodecahedron, vec3(0, 0, 0))},
        {cube.get(), planesAlongEdges(*cube, turns, 1)},
        {cube.get(), planesThroughEdgesAndCentre(*cube, vec3(0.5f, 0.5f, 0.5f))},
        {sphere.get(), planesAlongEdges(*sphere, turns, 5)},
        {coarseSphere.get(), planesThroughEdgesAndCentre(*coarseSphere, vec3(0, 0, 0))},
    };
    for (const auto& c : cases) {
        int failed = 0;
        for (const auto& plane : c.planes) {
            const std::string problem = halvesAddUp(*c.mesh, plane.first, plane.second);
            if (problem.empty()) continue;
            if (failed++ < 3)
                ADD_FAILURE() << c.mesh->faceCount() << " faces, plane " << plane.first.x << " " << plane.first.y << " "
                              << plane.first.z << ": " << problem;
        }
        EXPECT_EQ(failed, 0) << "of " << c.planes.size() << " planes on " << c.mesh->faceCount() << " faces";
    }
}

TEST(MeshPlaneSubtract, BorderTouchingItselfAtASaddleIsCappedLoopByLoop) {
    // The plane through a vertex on the inner side of a torus, tangent to
    // it: the cut line crosses itself there, and one side's border comes
    // back to the vertex twice.
    MeshPtr m(meshtest::torus(200, 100, 2, 0.6));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    const vec3 point = m->vertices[7769].position, normal(0.276033014f, -0.243559852f, -0.929776549f);
    EXPECT_EQ(halvesAddUp(*m, point, normal), "");
    MeshPtr clipped(m->clone());
    clipped->clipPlane(point, normal);
    EXPECT_EQ(checkMeshInvariants(*clipped), "");
}

TEST(MeshPlaneSubtract, RepeatedCutsOnTheDodecahedronStaySound) {
    // Each cut as a stroke gives it: through F, across the stroke to L seen
    // along the view. The last crosses a thin face left by the others where
    // two crossing points round to one point; a cap walk by position took
    // them for one vertex.
    const vec3 strokes[5][3] = {
        {{0x0p+0f, 0x1.34bd28p+0f, -0x1.becfa6p-1f},
         {0x1.762fd4p-3f, 0x1.41ba72p+0f, -0x1.ac5474p-1f},
         {-0x1.e2efdp-2f, 0x1.3154d6p-1f, 0x1.4c949ap-1f}},
        {{-0x0p+0f, 0x1.34bd28p+0f, -0x1.becfa6p-1f},
         {-0x1.762fd4p-3f, 0x1.41ba72p+0f, -0x1.ac5474p-1f},
         {-0x1.90a498p-2f, -0x1.3bf1b2p-2f, 0x1.bbea2p-1f}},
        {{-0x1.fe09b2p-1f, 0x1.fde588p-1f, -0x1.00a666p+0f},
         {-0x1.17ceb2p+0f, 0x1.ea17cap-1f, -0x1.3adffcp+0f},
         {0x1.49175cp-1f, -0x1.44f714p-2f, 0x1.64fd9ep-1f}},
        {{-0x1.a8ccd6p-1f, 0x1.1af23ep+0f, -0x1.cff4bep-1f},
         {-0x1.d54b44p-1f, 0x1.214f42p+0f, -0x1.e12df2p-1f},
         {0x1.d19b46p-3f, 0x1.a5e978p-2f, 0x1.c3c404p-1f}},
        {{-0x1.a765d6p-1f, 0x1.1aaf42p+0f, -0x1.cf9ddap-1f},
         {-0x1.b9adccp-1f, 0x1.17616ep+0f, -0x1.930858p-1f},
         {-0x1.895696p-4f, -0x1.639964p-1f, 0x1.6d11dp-1f}},
    };
    MeshPtr m(Mesh::Dodecahedron());
    for (int i = 0; i < 5; ++i) {
        const vec3 &F = strokes[i][0], &L = strokes[i][1], &view = strokes[i][2];
        m->subPlane(F, normalize(cross(view, F - L)), paint);
        ASSERT_EQ(checkMeshInvariants(*m), "") << "cut " << i + 1;
        EXPECT_TRUE(meshtest::isClosed(*m)) << "cut " << i + 1;
        EXPECT_EQ(collinearFaces(*m), 0) << "cut " << i + 1;
    }
}

TEST(MeshPlaneSubtract, CrossingPointsOfAThinFaceThatRoundToOnePointBecomeOne) {
    // A closed wedge whose face (0, 1, 2) is one float step wide at its
    // base: the plane z = 0 crosses its two long edges at one float point,
    // far from every vertex.
    const float step = std::nextafter(1.0f, 2.0f);
    MeshPtr m(meshtest::fromTriangles({{0, 1, 1}, {1, 1, -1}, {1, step, -1}, {-1, 0, -1}, {-1, 2, -1}},
                                      {{0, 1, 2}, {0, 2, 4}, {0, 4, 3}, {0, 3, 1}, {1, 3, 2}, {2, 3, 4}}));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    MeshPtr cut(m->clone());
    cut->cutPlane(vec3(0, 0, 0), up);
    EXPECT_EQ(checkMeshInvariants(*cut), "");
    EXPECT_EQ(collinearFaces(*cut), 0);
    m->subPlane(vec3(0, 0, 0), up, paint);
    ASSERT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(meshtest::isClosed(*m));
    EXPECT_EQ(collinearFaces(*m), 0);
}

TEST(MeshPlaneSubtract, DistinctVerticesAtOnePointAreNeverMerged) {
    // A double pyramid whose equator holds two vertices at one point,
    // joined by an edge of no length: the plane through the equator keeps
    // both (the hole through them cannot be capped and stays open).
    std::vector<std::array<int, 3>> fans;
    for (int i = 0; i < 5; ++i) {
        const int a = 2 + i, b = 2 + (i + 1) % 5;
        fans.push_back({0, a, b});
        fans.push_back({1, b, a});
    }
    MeshPtr m(meshtest::fromTriangles({{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, -1, 0}},
                                      fans));
    ASSERT_EQ(checkMeshInvariants(*m), "");
    m->subPlane(vec3(0, 0, 0), up, paint);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(meshtest::activeVertexCount(*m), 6);
    EXPECT_EQ(meshtest::activeFaceCount(*m), 5);
}

// Uniform in [0, 1) from the generator's raw output (the same on every
// standard library).
float unit(std::mt19937& rng) { return float(rng() >> 8) * 0x1p-24f; }

vec3 randomDirection(std::mt19937& rng) {
    for (;;) {
        const vec3 d(2 * unit(rng) - 1, 2 * unit(rng) - 1, 2 * unit(rng) - 1);
        const float l = length(d);
        if (l > 0.1f && l <= 1) return d * (1 / l);
    }
}

// A sphere pulled about by the brush, twisted, creased by a cut and opened
// by a few erased faces.
Mesh* sculptedWithHoles() {
    Mesh* m = meshtest::smoothSphere(1);
    std::mt19937 rng(7);
    for (int i = 0; i < 12; ++i) {
        m->selectV(m->vertices[int(rng() % unsigned(m->vertexCount()))].position, 1.2f, true);
        m->_deform(randomDirection(rng) * 0.6f);
        m->applyDisplacement();
        m->deselectAll();
    }
    m->twist(vec3(0, 0, 0), vec3(0, 0, 1), 0.8f, 2.5f);
    m->applyDisplacement();
    m->deselectAll();
    m->cutPlane(vec3(0, 0, 0.3f), vec3(0.2f, 0.1f, 1));
    for (int i = 0; i < 6; ++i) m->faceErase(int(rng() % unsigned(m->faceCount())));
    m->removeInactive(false);
    m->calculateNormals(2);
    return m;
}

// The first active face whose stored normal is not of unit length, or "".
std::string nonUnitNormal(const Mesh& m) {
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        const dvec3 n(F.normal);
        if (F.isActive() && !(std::fabs(std::sqrt(dot(n, n)) - 1) < 1e-4))
            return "face " + std::to_string(f) + " has a normal of length " + std::to_string(std::sqrt(dot(n, n)));
    }
    return "";
}

TEST(MeshPlaneSubtract, ChainsOfSubtractionsOnThePrimitivesKeepUnitNormalsAndStayClosed) {
    // Runs of up to six subtractions from each primitive, through surface
    // points as a stroke places them: the planes graze vertices and earlier
    // caps, whose loops crowd with points a rounding error apart.
    std::mt19937 rng(11);
    int calls = 0, failed = 0;
    const int chains = tltest::sanitizedRounds(2000);
    for (int chain = 0; chain < chains && failed < 3; ++chain) {
        MeshPtr m(primitive(chain));
        for (int i = 0; i < 6 && m->faceCount() >= 4; ++i) {
            const vec3 F = surfacePoint(*m, rng), L = surfacePoint(*m, rng);
            vec3 n = cross(randomDirection(rng), F - L);
            if (rng() % 4 == 0) n = randomDirection(rng);
            if (length(n) < 1e-6f) continue;
            m->subPlane(F, normalize(n), paint);
            ++calls;
            std::string problem = checkMeshInvariants(*m);
            if (problem.empty() && !meshtest::isClosed(*m)) problem = "an open edge";
            if (problem.empty()) problem = nonUnitNormal(*m);
            if (problem.empty() && flatFaces(*m) > 0) problem = "a face too small to carry a normal";
            if (problem.empty()) continue;
            ++failed;
            ADD_FAILURE() << "chain " << chain << ", subtraction " << i + 1 << ": " << problem;
            break;
        }
    }
    RecordProperty("subtractions", calls);
}

TEST(MeshPlaneSubtract, APlaneThroughAFaceLeavesNothingOfThePartAboveIt) {
    // What remains under the plane is the bottom face alone, with no
    // volume: it goes too, rather than a cap laid onto it face to face.
    MeshPtr m(Mesh::Cube());
    m->subPlane(vec3(0.5f, 0.5f, 0), up, paint);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(meshtest::activeFaceCount(*m), 0);
    // A plane a little above the face keeps a closed slab.
    m.reset(Mesh::Cube());
    m->subPlane(vec3(0.5f, 0.5f, 0.01f), up, paint);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(meshtest::isClosed(*m));
    EXPECT_GT(meshtest::activeFaceCount(*m), 4);
}

TEST(MeshPlaneSubtract, SubtractionsThatLeftSliversOrAnOpenLoopKeepUnitNormalsAndStayClosed) {
    // Runs of subtractions from a primitive that each once left a face too
    // small to carry a normal or a cap loop that could not be closed (a
    // flat remnant whose next cut could not be capped, a loop through two
    // vertices at one point); every step keeps the mesh whole now.
    struct Run {
        int primitive;
        std::vector<std::pair<vec3, vec3>> planes;  // point, normal
    };
    const std::vector<Run> runs = {
        // one cap a single triangle a few float steps wide
        {2,
         {{vec3(0x0p+0f, 0x1p+0f, 0x0p+0f), vec3(0x1.e51408p-2f, 0x1.6ee51p-1f, 0x1.061ec4p-1f)},
          {vec3(-0x1p-1f, 0x0p+0f, -0x1p-1f), vec3(-0x1.adc324p-4f, -0x1.b3fe86p-1f, -0x1.06ff1cp-1f)},
          {vec3(0x0p+0f, 0x1.32955p-3f, -0x1.b35aacp-1f), vec3(0x1.3f178cp-1f, -0x1.dc0246p-3f, 0x1.7e4ffap-1f)},
          {vec3(-0x1.fb0d6cp-2f, -0x1.212424p-7f, -0x1.f20806p-2f), vec3(-0x1.21f54ep-4f, 0x1.e46a7ap-1f, 0x1.438d64p-2f)},
          {vec3(-0x1.ea30bcp-2f, -0x1.d19602p-9f, -0x1.fe6cbcp-2f), vec3(-0x1.4b0406p-2f, -0x1.5e286ap-1f, 0x1.4edfcp-1f)},
          {vec3(-0x1.ea3204p-2f, -0x1.d12df4p-9f, -0x1.fe6db2p-2f), vec3(-0x1.35e02ap-7f, 0x1.df2a66p-1f, 0x1.68abbcp-2f)}}},
        // a cut piece without a normal beside the cap
        {1,
         {{vec3(0x1p-2f, 0x1.bb67aep-2f, 0x0p+0f), vec3(0x0p+0f, 0x1.aaeb32p-7f, 0x1.fff4ep-1f)},
          {vec3(0x1.ee55a6p-2f, 0x1.ad52eap-14f, 0x1.06e7f8p-12f), vec3(-0x1.99d8a2p-13f, 0x1.fa1c9p-1f, 0x1.35b618p-3f)},
          {vec3(0x0p+0f, 0x0p+0f, 0x0p+0f), vec3(-0x1.2fd85ap-9f, -0x1.aa8488p-1f, 0x1.1b3d98p-1f)},
          {vec3(0x1.f1133cp-9f, 0x1.2bf42ap-15f, 0x1.1980dcp-14f), vec3(-0x1.cbe80ep-7f, -0x1.e979ep-2f, 0x1.c1a966p-1f)}}},
        // cap slivers between corners
        {4,
         {{vec3(-0x1.3c6ef4p-1f, 0x0p+0f, 0x1.9e377ap+0f), vec3(-0x1.5179d2p-2f, 0x1.9e8522p-1f, -0x1.f15f28p-2f)},
          {vec3(0x1.f51d8ap-1f, -0x1.e4c0a4p-1f, -0x1.086b8p+0f), vec3(0x1.09e302p-1f, -0x1.adfe2cp-2f, 0x1.7d156cp-1f)},
          {vec3(-0x1.d8e19p-4f, -0x1.8bf36p+0f, -0x1.373f88p-1f), vec3(-0x1.15439ap-1f, 0x1.0a2b4ap-1f, -0x1.5243a2p-1f)},
          {vec3(0x1.e8f702p-1f, -0x1.ebc5fp-1f, -0x1.06295ep+0f), vec3(0x1.e7ecd4p-4f, -0x1.6d4a62p-1f, -0x1.6188f2p-1f)},
          {vec3(0x1.e44b44p-1f, -0x1.ee5158p-1f, -0x1.053ffap+0f), vec3(0x1.16670ep-1f, -0x1.922b66p-1f, 0x1.2ea062p-2f)},
          {vec3(0x1.e7686p-1f, -0x1.ec9d04p-1f, -0x1.05daf8p+0f), vec3(-0x1.3ec4fap-1f, -0x1.7dc188p-3f, 0x1.85210ap-1f)}}},
        // cut points one float step apart on the cap loop
        {4,
         {{vec3(-0x1.872218p-3f, 0x1p-1f, -0x1.4f1bbcp+0f), vec3(-0x1.e522bcp-1f, -0x1.ac5ce6p-3f, 0x1.ef144p-3f)},
          {vec3(0x1.7a8fa6p-1f, -0x1.293c22p+0f, 0x1.cd07e8p-1f), vec3(0x1.ed8cd4p-1f, -0x1.c27da6p-3f, -0x1.326c32p-3f)},
          {vec3(0x1.3a4478p-1f, 0x1.377dd2p-10f, -0x1.9e0758p+0f), vec3(0x1.39cca2p-1f, 0x1.5e639cp-1f, -0x1.947b68p-2f)},
          {vec3(0x1.145becp-1f, -0x1.15addp+0f, -0x1.fddc98p-2f), vec3(-0x1.e530c4p-1f, -0x1.214d54p-2f, 0x1.30e692p-3f)},
          {vec3(0x1.ae589p-5f, 0x1.b6bf7ap-2f, -0x1.749f4ap-1f), vec3(-0x1.2da2cp-1f, 0x1.757686p-1f, -0x1.6401dap-2f)},
          {vec3(0x1.39d4f4p-1f, 0x1.36fe6cp-9f, -0x1.9dd76p+0f), vec3(-0x1.b4b95cp-1f, 0x1.eb93b8p-2f, 0x1.a399fep-3f)}}},
        // cut points one float step apart, twice
        {7,
         {{vec3(-0x1.3c484cp-2f, -0x1.34bf64p-3f, 0x1.ed3638p+0f), vec3(-0x1.fbfb12p-1f, 0x1.c8140ap-14f, -0x1.001c6p-3f)},
          {vec3(0x1.34bf64p-2f, -0x1.34bf64p-2f, 0x1.e78f8ap+0f), vec3(-0x1.5eab52p-3f, -0x1.8ff594p-1f, 0x1.3364d6p-1f)},
          {vec3(0x1.c9f25cp-2f, -0x1.c9f25cp-1f, 0x1p+0f), vec3(-0x1.448dd4p-1f, -0x1.c5b99ep-4f, -0x1.87e88p-1f)},
          {vec3(0x1.98ae18p-6f, 0x1.3fe4a8p-5f, 0x1.36f08cp+0f), vec3(0x1.44ba6p-1f, 0x1.c4bb06p-4f, 0x1.87c83p-1f)},
          {vec3(-0x1.b7f078p-3f, -0x1.fc3026p-2f, 0x1.7d9bb4p+0f), vec3(-0x1.dcfca4p-1f, 0x1.467c26p-10f, -0x1.742ad2p-2f)},
          {vec3(-0x1.72ff1cp-7f, 0x1.388c4ap-3f, 0x1.3a6f78p+0f), vec3(-0x1.965d24p-4f, 0x1.f0b038p-1f, -0x1.c5afe8p-3f)}}},
        // cut points one float step apart near the origin, far apart at
        // the scale of their loop
        {0,
         {{vec3(0x1p-1f, 0x0p+0f, 0x1p+0f), vec3(0x1.fda044p-1f, 0x1.89fa66p-4f, -0x0p+0f)},
          {vec3(0x1.c93b12p-2f, 0x1.1b6276p-1f, 0x0p+0f), vec3(-0x1.39bcdep-1f, 0x1.fb7d5ep-2f, 0x1.3b291ap-1f)},
          {vec3(0x1p-2f, 0x0p+0f, 0x1.fed822p-3f), vec3(0x1.4ea2f6p-1f, 0x1.042124p-1f, 0x1.1f383p-1f)},
          {vec3(0x1.5e8c4cp-11f, 0x1.646d1cp-13f, 0x1.b2778cp-10f), vec3(-0x1.2a2386p-2f, 0x1.08e754p-1f, -0x1.9c015cp-1f)}}},
        // a remnant left in the plane, which its cap covered face to face
        {2,
         {{vec3(-0x1.c612a8p-5f, 0x1.0e2e6cp-4f, 0x1.c1d908p-1f), vec3(-0x1.818edap-1f, -0x1.3c94f2p-1f, -0x1.ccb1dep-3f)},
          {vec3(0x0p+0f, 0x1p-1f, -0x1p-1f), vec3(-0x1.09f8f8p-1f, -0x1.9bdf8cp-1f, -0x1.270bd6p-2f)},
          {vec3(0x0p+0f, -0x1.c18666p-6f, 0x1.f1f3cep-1f), vec3(0x1.c05c6ap-1f, -0x1.7158e2p-2f, -0x1.48b504p-2f)},
          {vec3(-0x1.d972bcp-7f, -0x1.c18666p-7f, 0x1.f1941cp-1f), vec3(0x1.3f701ap-4f, 0x1.b35f36p-1f, -0x1.0a75c2p-1f)},
          {vec3(-0x1.372d72p-9f, 0x1.384378p-11f, 0x1.fe7ac2p-1f), vec3(0x1.32b1c8p-1f, -0x1.977b34p-2f, -0x1.63c51cp-1f)},
          {vec3(-0x1.1542d2p-12f, 0x1.4ea2ecp-10f, 0x1.ff3606p-1f), vec3(0x1.253852p-3f, -0x1.e3c86ap-1f, 0x1.2d7e3cp-2f)}}},
        // a needle of a tetrahedron left under the plane, its cap a speck
        {7,
         {{vec3(0x0p+0f, -0x1.bc8012p-1f, 0x1.79be6ap+0f), vec3(0x1.64fc06p-2f, 0x1.12676ep-2f, -0x1.cbd912p-1f)},
          {vec3(-0x1.bea28ap-3f, 0x1.18cd1p-3f, 0x1.b0db7cp+0f), vec3(-0x1.184c5ep-2f, -0x1.d3bd32p-1f, -0x1.340aap-2f)},
          {vec3(0x1.4e7a3ap-4f, 0x1.201e8p-3f, 0x1.ceea42p+0f), vec3(-0x1.16abfap-5f, 0x1.5c238cp-1f, 0x1.77051cp-1f)},
          {vec3(0x1.708894p-6f, 0x1.d7be0ap-7f, 0x1.ec394p+0f), vec3(0x1.c77dd2p-1f, -0x1.76510cp-2f, 0x1.184f16p-2f)},
          {vec3(-0x1.ec62p-2f, 0x1.a59ce8p-3f, 0x1.b8bc92p+0f), vec3(0x1.fa68cep-1f, 0x1.b0314ep-7f, -0x1.2c9c6ap-3f)},
          {vec3(-0x1.ec855cp-2f, 0x1.a5776ep-3f, 0x1.b8b302p+0f), vec3(0x1.6c2b5ap-2f, -0x1.ec5ce2p-2f, 0x1.9a5898p-1f)}}},
        // crossing points of two edges rounding onto one point, the cap
        // loop running from there to a third point and back
        {2,
         {{vec3(0x1.d7cp-8f, -0x1.750614p-1f, 0x1.0e94d8p-2f), vec3(-0x1.93b28ep-1f, 0x1.0a483p-1f, 0x1.50405ep-2f)},
          {vec3(0x1.400586p-1f, 0x1.7ff4f6p-2f, 0x0p+0f), vec3(0x1.1acffcp-3f, -0x1.20bafcp-1f, 0x1.a0de7ap-1f)},
          {vec3(-0x1.3f026p-4f, -0x1.4d269ep-2f, -0x1.284952p-1f), vec3(-0x1.1f6346p-3f, -0x1.6ac9fap-1f, -0x1.621224p-1f)},
          {vec3(0x1.711f8ep-2f, 0x1.764864p-6f, -0x1.3bbdf8p-1f), vec3(-0x1.7c6934p-2f, -0x1.b789f4p-1f, 0x1.6a0ec8p-2f)},
          {vec3(0x1.711f8ep-2f, 0x1.794cp-6f, -0x1.3ba5dap-1f), vec3(-0x1.c35f7cp-1f, 0x1.ce578ep-2f, 0x1.19e3fp-3f)}}},
        {1,
         {{vec3(0x0p+0f, 0x0p+0f, 0x0p+0f), vec3(0x1.22caa8p-1f, -0x1.6d8caap-2f, 0x1.7bb512p-1f)},
          {vec3(0x1p-2f, 0x1.b13752p-2f, 0x1.8f527cp-7f), vec3(-0x1.74ecb8p-1f, 0x1.c81a0ap-2f, -0x1.0a940ap-1f)},
          {vec3(0x1.06944ep-1f, 0x1.ad2f94p-1f, 0x1.ba9ec4p-8f), vec3(-0x1.3a4bcp-1f, 0x1.8c274cp-2f, -0x1.60514cp-1f)},
          {vec3(0x1.075baap-2f, 0x1.aea958p-2f, 0x0p+0f), vec3(-0x1.7f64d2p-7f, 0x1.e33f7ep-8f, 0x1.fff376p-1f)},
          {vec3(0x1.e24fbp-3f, 0x1.82332p-2f, 0x1.514b78p-15f), vec3(-0x1.73a13cp-5f, 0x1.ce071cp-6f, 0x1.ff44ep-1f)}}},
        // the same, one of the two a copy the erase made of a cut vertex
        {6,
         {{vec3(-0x1.ee8dd4p-1f, -0x1.0907dep-2f, -0x1p+0f), vec3(-0x1.5f1f8p-2f, 0x1.d206a4p-1f, 0x1.dbae0ep-3f)},
          {vec3(0x1.bc28d4p-4f, -0x1.729406p-2f, 0x1.fae28p-1f), vec3(0x1.5daa86p-2f, -0x1.d0f2dep-1f, -0x1.f0637ep-3f)},
          {vec3(0x1.9435e6p-5f, -0x1.8c104p-2f, 0x1p+0f), vec3(0x1.3275fap-8f, -0x1.977fbcp-7f, -0x1.fff46ep-1f)},
          {vec3(0x1.899ce2p-3f, -0x1.54e0f8p-2f, 0x1p+0f), vec3(-0x1.1b5376p-7f, 0x1.780aecp-6f, 0x1.ffd892p-1f)},
          {vec3(0x1.b3dbd8p-2f, -0x1.f65626p-3f, 0x1p+0f), vec3(-0x1.f505eep-5f, 0x1.4d8a7p-3f, 0x1.f8315ap-1f)}}},
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
        MeshPtr m(primitive(runs[r].primitive));
        for (std::size_t i = 0; i < runs[r].planes.size(); ++i) {
            m->subPlane(runs[r].planes[i].first, runs[r].planes[i].second, paint);
            SCOPED_TRACE("run " + std::to_string(r) + ", subtraction " + std::to_string(i + 1));
            ASSERT_EQ(checkMeshInvariants(*m), "");
            EXPECT_EQ(meshtest::reloadProblem(*m), "");
            EXPECT_TRUE(meshtest::isClosed(*m));
            EXPECT_EQ(nonUnitNormal(*m), "");
            EXPECT_EQ(flatFaces(*m), 0);
        }
    }
}

TEST(MeshPlaneSubtract, RandomSubtractionsOnASculptedMeshWithHolesStaySound) {
    // Runs of five subtractions from the sculpted mesh, mostly through two
    // surface points as a stroke places them (often through vertices and
    // edges, and across the holes' borders and earlier caps).
    const MeshPtr base(sculptedWithHoles());
    ASSERT_EQ(checkMeshInvariants(*base), "");
    ASSERT_EQ(flatFaces(*base), 0);
    ASSERT_GT(meshtest::openEdgeCount(*base), 0);
    std::mt19937 rng(1);
    MeshPtr m;
    int failed = 0;
    const int subtractions = tltest::sanitizedRounds(10000);
    for (int i = 0; i < subtractions && failed < 3; ++i) {
        if (i % 5 == 0 || m->faceCount() < 8) m.reset(base->clone());
        const vec3 F = surfacePoint(*m, rng), L = surfacePoint(*m, rng);
        vec3 n = cross(randomDirection(rng), F - L);
        if (rng() % 4 == 0) n = randomDirection(rng);
        if (length(n) < 1e-6f) continue;
        n = normalize(n);
        m->subPlane(F, n, paint);
        std::string problem = checkMeshInvariants(*m);
        if (problem.empty() && flatFaces(*m) > 0) problem = "a face too small to carry a normal";
        if (problem.empty()) continue;
        ++failed;
        ADD_FAILURE() << "subtraction " << i << " through " << F.x << " " << F.y << " " << F.z << ": " << problem;
        m.reset(base->clone());
    }
}

}  // namespace
