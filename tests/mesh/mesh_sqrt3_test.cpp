// The sqrt(3) subdivision of qel::Mesh: equality with the same step made
// edit by edit, features kept, counts, no face turned over, and the shape of
// the limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using qel::Mesh;
using qel::MeshFace;
using qel::vec3;

namespace {

using MeshPtr = std::unique_ptr<Mesh>;

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

}  // namespace

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
