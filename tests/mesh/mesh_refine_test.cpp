// Sharp edges by angle, the refinement passes and the sqrt(3) subdivision of
// qel::Mesh; sqrt(3) against the same step made edit by edit, with counts,
// features kept, no face turned over and the shape of the limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using meshtest::edgeMark;
using meshtest::sharpEdgeCount;
using qel::Mesh;
using qel::MeshFace;
using qel::vec3;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

MeshPtr triangles(const std::vector<vec3>& points, const std::vector<std::array<int, 3>>& faces) {
    return MeshPtr(meshtest::fromTriangles(points, faces));
}

// The quadrilateral A (0), B (1), C (2), D (3) as faces (A, B, C), (C, B, D).
MeshPtr quad(const vec3& A, const vec3& B, const vec3& C, const vec3& D) {
    return triangles({A, B, C, D}, {{0, 1, 2}, {2, 1, 3}});
}

double worstEdgeRatio(const Mesh& m) {
    double worst = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        double d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = qel::distance(m.vertices[m.faces[f].v[k]].position, m.vertices[m.faces[f].v[(k + 1) % 3]].position);
        worst = std::max(worst, *std::max_element(d, d + 3) / *std::min_element(d, d + 3));
    }
    return worst;
}

MeshPtr smoothSphere(int levels) { return MeshPtr(meshtest::smoothSphere(levels)); }

// The step as public edits: faces split, old edges flipped from the ring of
// their lower end, old vertices off sharp and open edges halfway to their
// smoothed positions.
void sqrt3ByEdits(Mesh& m) {
    const int oldV = m.vertexCount(), oldF = m.faceCount();
    for (int i = 0; i < oldF; ++i) m.faceSplit(i);
    std::vector<int> ring;
    for (int v = 0; v < oldV; ++v) {
        m.findNeighbours(v, ring);
        for (const int w : ring) {
            int f = -1, k = -1;
            if (v < w && w < oldV && m.findEdge(v, w, f, k)) m.edgeFlipFK(f, k);
        }
    }
    std::vector<vec3> target;
    for (int v = 0; v < oldV; ++v) target.push_back(m.vertexSmoothPosition(v));
    for (int v = 0; v < oldV; ++v) {
        vec3& p = m.vertices[v].position;
        if (!m.vertices[v].isSharp()) p = (p + target[std::size_t(v)]) * 0.5f;
    }
}

// "" when faces match record by record and vertices by flags and position
// (within 1e-5: ring sums may be taken in another order).
std::string compare(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return "counts differ";
    for (int f = 0; f < a.faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const MeshFace &A = a.faces[f], &B = b.faces[f];
            if (A.v[k] != B.v[k] || A.f[k] != B.f[k] || A.material[k] != B.material[k] || A.flags != B.flags)
                return "face " + std::to_string(f) + " differs";
        }
    for (int v = 0; v < a.vertexCount(); ++v)
        if (a.vertices[v].flags != b.vertices[v].flags ||
            qel::distance(a.vertices[v].position, b.vertices[v].position) > 1e-5)
            return "vertex " + std::to_string(v) + " differs";
    return "";
}

// Distinct corner colours and roughness, so that material bookkeeping shows.
Mesh* painted(Mesh* m) {
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            m->faces[f].material[k].colour[0] = std::uint16_t((f * 977 + k * 4099) % 65536);
            m->faces[f].material[k].roughness = std::int16_t((f * 37 + k * 1001) % 32767 - 16000);
        }
    return m;
}

// The smooth sphere with a crease round vertex 0: a short, tightly curved loop.
Mesh* creasedSphere() {
    Mesh* m = meshtest::smoothSphere(1);
    std::vector<int> ring;
    m->findNeighbours(0, ring);
    for (std::size_t i = 0; i < ring.size(); ++i) m->edgeSharpVV(ring[i], ring[(i + 1) % ring.size()], true);
    return m;
}

// Faces whose normal points towards `inside`: a point inside the convex
// shape, or below the flat one.
int turnedOver(const Mesh& m, const vec3& inside) {
    int n = 0;
    for (int f = 0; f < m.faceCount(); ++f) {
        const int* v = m.faces[f].v;
        const vec3 c = (m.vertices[v[0]].position + m.vertices[v[1]].position + m.vertices[v[2]].position) / 3.0f;
        n += qel::dot(m.faces[f].normal, c - inside) <= 0.0 ? 1 : 0;
    }
    return n;
}

// "" when every record field and the counts that follow the records match
// exactly.
std::string sameRecords(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return "counts differ";
    for (int f = 0; f < a.faceCount(); ++f) {
        const MeshFace &A = a.faces[f], &B = b.faces[f];
        bool same = A.flags == B.flags && A.normal == B.normal;
        for (int k = 0; k < 3; ++k)
            same = same && A.v[k] == B.v[k] && A.f[k] == B.f[k] && A.material[k] == B.material[k] &&
                   A.normals[k] == B.normals[k];
        if (!same) return "face " + std::to_string(f) + " differs";
    }
    for (int v = 0; v < a.vertexCount(); ++v) {
        const qel::MeshVertex &A = a.vertices[v], &B = b.vertices[v];
        if (!(A.position == B.position) || A.face != B.face || A.selection != B.selection || A.flags != B.flags)
            return "vertex " + std::to_string(v) + " differs";
    }
    if (a.vertexMark != b.vertexMark || a.faceMark != b.faceMark || a.needsCompaction != b.needsCompaction ||
        a.status != b.status || a.selectedVertices != b.selectedVertices || a.selectedFaces != b.selectedFaces)
        return "mesh fields differ";
    return "";
}

// A torus of 24,000 vertices, its faces shuffled (a subdivision's slot
// order would be scattered), painted; with ridges, every vertex on a sharp
// ring round the tube, some corner bits set and some vertices and faces
// selected.
MeshPtr scatteredTorus(bool ridges) {
    MeshPtr m(painted(meshtest::torus(200, 120, 3.0, 1.0, true, false)));
    m->initialize(Mesh::ResizeKeep);
    if (!ridges) return m;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 120; ++j) m->edgeSharpVV(i * 120 + j, i * 120 + (j + 1) % 120, true);
    m->initializeVertices();
    for (int v = 0; v < m->vertexCount(); v += 97) m->vertices[v].flags |= qel::MeshVertex::CornerBit;
    for (int v = 0; v < m->vertexCount(); v += 31) {
        m->vertices[v].flags |= qel::MeshVertex::SelectedBit;
        m->vertices[v].selection = int(m->selectedVertices.size());
        m->selectedVertices.push_back(v);
    }
    for (int f = 0; f < m->faceCount(); f += 37) {
        m->faces[f].flags |= qel::MeshFace::SelectedBit;
        m->selectedFaces.push_back(f);
    }
    return m;
}
}  // namespace

TEST(MeshSharpen, MakeSharpReplacesMarksSharpenOnlyAdds) {
    MeshPtr cube(Mesh::Cube());
    cube->makeSmooth();
    ASSERT_TRUE(cube->edgeSharpVV(3, 1, true));  // a stray mark on the bottom's diagonal
    cube->makeSharp(30);
    EXPECT_TRUE(sharpEdgeCount(*cube) == 12 && edgeMark(*cube, 3, 1) == 0 && edgeMark(*cube, 0, 1) == 1);
    for (int v = 0; v < 8; ++v) EXPECT_TRUE(cube->vertices[v].isCorner()) << v;
    EXPECT_EQ(checkMeshInvariants(*cube), "");
    cube->makeSharp(95);
    EXPECT_EQ(sharpEdgeCount(*cube), 0);

    // A mark on one side of an edge only ends on both; the sphere's angles
    // are far below 60 degrees, so nothing else is marked.
    MeshPtr m(meshtest::smoothSphere(2));
    const int g = m->faces[0].f[0];
    m->faces[0].setSharp(0, true);
    m->sharpen(60);
    EXPECT_TRUE(sharpEdgeCount(*m) == 1 && m->faces[g].isSharp(m->faces[g].edgeTo(0)));
    EXPECT_EQ(checkMeshInvariants(*m), "");
    m->sharpen(1);
    EXPECT_EQ(sharpEdgeCount(*m), 480);
}

TEST(MeshRefineSplit, ObtuseCornerThenLongestEdge) {
    const double a = 130 * 3.14159265358979323846 / 180;
    MeshPtr obtuse =
        triangles({vec3(0, 0, 0), vec3(1, 0, 0), vec3(float(std::cos(a)), float(std::sin(a)), 0)}, {{0, 1, 2}});
    const vec3 mid = (obtuse->vertices[1].position + obtuse->vertices[2].position) * 0.5f;
    obtuse->refineSplit(1, 3.0f);
    ASSERT_EQ(obtuse->vertexCount(), 4);
    EXPECT_EQ(obtuse->vertices[3].position, mid);
    EXPECT_EQ(checkMeshInvariants(*obtuse), "");

    // Edges 3.5, 3.5 and 1: the first long edge (edge 0, 1 to 2) is split.
    const float h = float(std::sqrt(3.5 * 3.5 - 0.25));
    MeshPtr thin = triangles({vec3(-0.5f, 0, 0), vec3(0.5f, 0, 0), vec3(0, h, 0)}, {{0, 1, 2}});
    thin->refineSplit(1, 3.0f);
    ASSERT_EQ(thin->vertexCount(), 4);
    EXPECT_EQ(thin->vertices[3].position, vec3(0.25f, h * 0.5f, 0));

    MeshPtr equilateral(Mesh::Triangle());
    equilateral->refineSplit(3, 3.0f);
    EXPECT_EQ(equilateral->faceCount(), 1);
}

TEST(MeshRefineCollapse, ShortEdgeCollapsesAndTheMeshIsCompacted) {
    // A hexagon round the edge 0-1 of length 0.1; every other edge is longer than 1.
    MeshPtr m = triangles({vec3(-0.05f, 0, 0), vec3(0.05f, 0, 0), vec3(2, 0, 0), vec3(1, 1.7f, 0), vec3(-1, 1.7f, 0),
                           vec3(-2, 0, 0), vec3(-1, -1.7f, 0), vec3(1, -1.7f, 0)},
                          {{1, 7, 2}, {1, 2, 3}, {0, 1, 3}, {0, 3, 4}, {0, 4, 5}, {0, 5, 6}, {0, 6, 1}, {1, 6, 7}});
    m->refineCollapse(1, 3.0f);
    EXPECT_TRUE(m->vertexCount() == 7 && m->faceCount() == 6);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    bool atMiddle = false;
    for (int v = 0; v < m->vertexCount(); ++v) atMiddle = atMiddle || m->vertices[v].position == vec3(0, 0, 0);
    EXPECT_TRUE(atMiddle);
    m->refineCollapse(1, 3.0f);
    EXPECT_EQ(m->faceCount(), 6);
}

TEST(MeshRefineFlip, FlipsTowardsTheWidestAnglesOnly) {
    MeshPtr thin = quad(vec3(-0.2f, 2, 0), vec3(0, 0, 0), vec3(0, 4, 0), vec3(0.2f, 2, 0));
    Mesh creased(*thin);
    thin->refineFlip(1);
    EXPECT_TRUE(edgeMark(*thin, 0, 3) >= 0 && edgeMark(*thin, 1, 2) < 0);
    EXPECT_EQ(checkMeshInvariants(*thin), "");
    creased.edgeSharpVV(1, 2, true);
    // Kept: a sharp edge; four equal angles (a tie); D folded up behind B,
    // where the angles ask for the flip but, seen along the face normal, the
    // quadrilateral is not convex.
    MeshPtr square = quad(vec3(-2, 2, 0), vec3(0, 0, 0), vec3(0, 4, 0), vec3(2, 2, 0));
    MeshPtr fold = quad(vec3(-1, 2, 0), vec3(0, 0, 0), vec3(0, 4, 0), vec3(0.02f, -1, 5));
    for (Mesh* kept : {&creased, square.get(), fold.get()}) {
        kept->refineFlip(1);
        EXPECT_GE(edgeMark(*kept, 1, 2), 0);
    }
}

TEST(MeshRefine, EvensOutStretchedTrianglesAndKeepsTheMeshSound) {
    MeshPtr m(meshtest::smoothSphere(2));
    for (int v = 0; v < m->vertexCount(); ++v) {
        vec3& p = m->vertices[v].position;
        p = vec3(p.x * 4.0f, p.y, p.z * 0.5f);
    }
    m->calculateNormals(2);
    const double before = worstEdgeRatio(*m);
    m->refine(3);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_LT(worstEdgeRatio(*m), before);
    for (int f = 0; f < m->faceCount(); ++f)
        EXPECT_GT(qel::dot(m->faces[f].normal, m->vertices[m->faces[f].v[0]].position), 0.0) << f;

    // The planar form stays flat and counter-clockwise.
    MeshPtr strip = triangles({vec3(0, 0, 0), vec3(6, 0, 0), vec3(6, 1, 0), vec3(3, 1, 0), vec3(0, 1, 0)},
                              {{0, 1, 3}, {1, 2, 3}, {0, 3, 4}});
    strip->refine2D(2);
    EXPECT_GT(strip->faceCount(), 3);
    EXPECT_EQ(checkMeshInvariants(*strip), "");
    for (int f = 0; f < strip->faceCount(); ++f) EXPECT_GT(strip->faces[f].normal.z, 0.0f) << f;
    for (int v = 0; v < strip->vertexCount(); ++v) EXPECT_EQ(strip->vertices[v].position.z, 0.0f);
}

TEST(MeshSqrt3, MatchesTheStepMadeEditByEdit) {
    MeshPtr holed = smoothSphere(2);
    holed->faceErase(7);
    holed->faceErase(8);
    holed->initialize(qel::Element::ResizeKeep);
    MeshPtr erased = smoothSphere(1);  // erased faces still in the lists
    erased->faceErase(3);
    Mesh pillow;  // two faces glued along all three edges
    for (const vec3& p : {vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0)}) pillow.vertexAdd(p);
    pillow.faceAdd(0, 1, 2);
    pillow.faceAdd(0, 2, 1);
    pillow.initialize(qel::Element::ResizeKeep);
    const std::vector<Mesh*> meshes = {painted(smoothSphere(2).release()), Mesh::Cube(),     meshtest::makeStrip(true),
                                       painted(holed.release()),           erased.release(), pillow.clone()};
    for (Mesh* m : meshes) {
        Mesh direct(*m), edits(*m);
        direct.subdivideSqrt3();
        sqrt3ByEdits(edits);
        EXPECT_EQ(compare(direct, edits), "");
        EXPECT_EQ(meshtest::checkMeshInvariants(direct), "");
        delete m;
    }
}

TEST(MeshSqrt3, CountsGrowNoFaceTurnsOverAndTheSmoothLimitIsRound) {
    // Borders and creases are not split, so their vertices stay put; were
    // they smoothed, the outline would shrink past the new vertices beside it.
    const std::pair<MeshPtr, vec3> cases[] = {{MeshPtr(meshtest::makeHexagon()), vec3(0, 0, -1)},
                                              {MeshPtr(Mesh::Cylinder(24, false)), vec3(0, 0, 0)},
                                              {MeshPtr(creasedSphere()), vec3(0, 0, 0)},
                                              {MeshPtr(Mesh::Cube()), vec3(0.5f, 0.5f, 0.5f)},
                                              {smoothSphere(1), vec3(0, 0, 0)}};
    for (const auto& c : cases) {
        Mesh* m = c.first.get();
        const int V = m->vertexCount(), F = m->faceCount();
        const int open = meshtest::openEdgeCount(*m), sharp = meshtest::sharpEdgeCount(*m);
        for (int step = 0; step < 4; ++step) m->subdivideSqrt3();
        // Each step adds a vertex per face and makes three faces of each.
        // Sharp and open edges are never flipped and so stay whole (on the
        // cube of sharp quads only the diagonals flip); the open edges of
        // the (unmarked) hexagon come out marked.
        EXPECT_EQ(m->vertexCount(), V + (1 + 3 + 9 + 27) * F);
        EXPECT_EQ(m->faceCount(), 81 * F);
        EXPECT_EQ(meshtest::openEdgeCount(*m), open);
        EXPECT_EQ(meshtest::sharpEdgeCount(*m), sharp + open);
        EXPECT_EQ(turnedOver(*m, c.second), 0) << &c - cases;
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    }
    // The smooth sphere's radii stay within a narrow band.
    const Mesh& m = *cases[4].first;
    double rMin = 1e9, rMax = 0;
    for (int v = 0; v < m.vertexCount(); ++v) {
        rMin = std::min(rMin, qel::length(m.vertices[v].position));
        rMax = std::max(rMax, qel::length(m.vertices[v].position));
    }
    EXPECT_LT(rMax - rMin, 0.05 * rMax);
}

TEST(MeshSqrt3, ALargeScatteredMeshEndsAsTheStepPutInSpaceOrder) {
    // Every old vertex lies on a ridge and keeps its place: the step made
    // edit by edit and then put in space order reaches the same positions
    // bit for bit, so every record must match, order included.
    const MeshPtr ridged = scatteredTorus(true);
    Mesh direct(*ridged), edits(*ridged);
    direct.subdivideSqrt3();
    sqrt3ByEdits(edits);
    ASSERT_TRUE(edits.orderIfScattered());
    EXPECT_EQ(sameRecords(direct, edits), "");
    EXPECT_FALSE(direct.importScattered());
    EXPECT_EQ(checkMeshInvariants(direct), "");
    // The selection names the same vertices, in their places (and, as
    // sameRecords found, the same faces as the space order of the edits).
    ASSERT_EQ(direct.selectedVertices.size(), ridged->selectedVertices.size());
    for (std::size_t i = 0; i < direct.selectedVertices.size(); ++i) {
        const qel::MeshVertex& r = direct.vertices[direct.selectedVertices[i]];
        ASSERT_TRUE(r.position == ridged->vertices[ridged->selectedVertices[i]].position && r.isSelected() &&
                    r.selection == int(i))
            << i;
    }
    EXPECT_EQ(direct.selectedFaces.size(), ridged->selectedFaces.size());

    // Smooth: what the space order and the rebuild make of the result
    // leaves every record as it is.
    const MeshPtr smooth = scatteredTorus(false);
    smooth->subdivideSqrt3();
    ASSERT_EQ(smooth->vertexCount(), 72000);
    EXPECT_FALSE(smooth->importScattered());
    Mesh again(*smooth);
    again.orderSpatially();
    again.initialize(Mesh::ResizeKeep);
    EXPECT_EQ(sameRecords(*smooth, again), "");
    EXPECT_EQ(checkMeshInvariants(*smooth), "");
}

TEST(MeshSqrt3, EndsWithTheNormalsARecalculationForms) {
    // Smooth (normals formed with the records), creased and open meshes.
    const std::vector<Mesh*> meshes = {painted(smoothSphere(3).release()), creasedSphere(), meshtest::makeHexagon(),
                                       Mesh::Cube()};
    for (Mesh* m : meshes) {
        for (int step = 0; step < 2; ++step) m->subdivideSqrt3();
        Mesh recalculated(*m);
        recalculated.calculateNormals(2);
        EXPECT_EQ(sameRecords(*m, recalculated), "");
        delete m;
    }
}
