// The brush deformers, smoothers and painters of the mesh, and the patch
// eraser; the mesh is checked after every operation.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"

using meshtest::checkMeshInvariants;
using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

vec3 at(const Mesh& m, int v) { return m.vertices[v].position; }

void expectNear(const vec3& a, const vec3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

void applyAndEnd(Mesh& m) {
    m.applyDisplacement();
    m.deselectAll();
    EXPECT_EQ(checkMeshInvariants(m), "");
}

const pbr Red(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
const pbr Blue(wvec4(0, 0, 65535, 65535), wvec4(0, 0, 0, 65535), 0, 0);
const pbr Green(wvec4(0, 65534, 0, 65535), wvec4(0, 0, 0, 65535), 1000, 0);

}  // namespace

// The hexagon sheet: centre 0 at the origin, rim vertices on the unit
// circle, so a brush of radius 2 at the origin weighs the rim w(0.5) = 0.5.
TEST(MeshBrushDeform, PinchTwistAndVolumeMoveByTheirFields) {
    struct Row {
        const char* name;
        void (*op)(Mesh&);
        vec3 centre, rim1;  // expected positions of vertices 0 and 1
    };
    const Row rows[] = {
        {"pinch 0", [](Mesh& m) { m.pinch(vec3(0, 0, 0), 2.0f, 0.0f); }, {0, 0, 0}, {1, 0, 0}},
        {"pinch 1", [](Mesh& m) { m.pinch(vec3(0, 0, 0), 2.0f, 1.0f); }, {0, 0, 0}, {0.5f, 0, 0}},
        {"grow", [](Mesh& m) { m.pinch(vec3(0, 0, 0), 2.0f, -1.0f); }, {0, 0, 0}, {1.5f, 0, 0}},
        {"twist 0", [](Mesh& m) { m.twist(vec3(0, 0, 0), vec3(0, 0, 1), 0.0f, 2.0f); }, {0, 0, 0}, {1, 0, 0}},
        {"twist 90",
         [](Mesh& m) { m.twist(vec3(0, 0, 0), vec3(0, 0, 1), float(M_PI / 2), 2.0f); },
         {0, 0, 0},
         {0.5f, 0.5f, 0}},
        {"volume a = b", [](Mesh& m) { m.deformVolume(vec3(0, 0, 0), vec3(0, 0, 0), 2.0f); }, {0, 0, 0}, {1, 0, 0}},
        // alpha(0.5) = 0.6875, beta = 0.75: the rim flows back a little.
        {"volume up",
         [](Mesh& m) { m.deformVolume(vec3(0, 0, 0), vec3(0, 0, 0.1f), 2.0f); },
         {0, 0, 0.1f},
         {1, 0, -0.1f * 0.6875f * 0.0625f}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        MeshPtr m(meshtest::makeHexagon());
        r.op(*m);
        applyAndEnd(*m);
        expectNear(at(*m, 0), r.centre);
        expectNear(at(*m, 1), r.rim1);
    }
}

// The volume field has no divergence inside the ball and vanishes on its rim.
TEST(MeshBrushDeform, VolumeFieldKeepsVolumeAndVanishesAtTheRim) {
    const vec3 e0(1, 0, 0), e1(0, 1, 0), e2(0, 0, 1);
    const float R = 2.0f;
    const auto field = [&](const vec3& p) { return Mesh::fieldVolume(p, float(length(p)) / R, e0, e1, e2, R); };
    for (const vec3& p : {vec3(0.6f, 0.4f, 0.2f), vec3(-1.0f, 0.2f, 0.8f), vec3(0.2f, -1.2f, -0.6f)}) {
        const float h = 1e-3f;
        double div = 0;
        for (int i = 0; i < 3; ++i) {
            vec3 a = p, b = p;
            a[i] += h;
            b[i] -= h;
            div += (field(a)[i] - field(b)[i]) / (2.0 * h);
        }
        EXPECT_NEAR(div, 0.0, 2e-3);
    }
    expectNear(field(vec3(0, 2, 0)), vec3(0, 0, 0));
    expectNear(field(vec3(0, 0, 0)), e2);
}

// A subdivided cube: its corners are sharp corners, its edge midpoints
// crease vertices. Smoothing keeps the corners and moves a crease vertex
// pushed along its edge back along that edge only.
TEST(MeshBrushDeform, SmoothKeepsCornersAndSlidesCreaseVerticesAlongTheCrease) {
    for (int scope = 0; scope < 3; ++scope) {
        SCOPED_TRACE(scope);
        MeshPtr m(Mesh::Cube());
        m->subdivide(false);
        int crease = -1;
        for (int v = 0; v < m->vertexCount(); ++v)
            if (at(*m, v) == vec3(0.5f, 0, 0)) crease = v;
        ASSERT_GE(crease, 0);
        m->vertices[crease].position = vec3(0.3f, 0, 0);
        m->calculateNormals(2);
        const MeshPtr before(m->clone());
        const vec3 c(0.5f, 0.5f, 0.5f);
        if (scope == 0) m->smooth(c, vec3(), 2.0f);
        if (scope == 1) m->smoothG(c, vec3(), 2.0f, 0);
        if (scope == 2) m->smoothG_(vec3(0.5f, 0.1f, 0), vec3(), 2.0f, m->vertices[crease].face);
        EXPECT_EQ(checkMeshInvariants(*m), "");
        EXPECT_TRUE(m->selectedVertices.empty() && m->selectedFaces.empty());
        for (int v = 0; v < m->vertexCount(); ++v) {
            if (m->vertices[v].isCorner()) {
                EXPECT_EQ(at(*m, v), at(*before, v));
            }
        }
        const vec3 p = at(*m, crease);
        EXPECT_GT(p.x, 0.3f);
        EXPECT_TRUE(p.y == 0.0f && p.z == 0.0f);
    }
}

// The hexagon with the spokes to 1 and 4 sharp: the centre has two sectors,
// faces 0-2 and faces 3-5, painted red and blue. A brush at the centre
// blends each side from its own colour; a patch brush paints one side.
TEST(MeshBrushPaint, PaintingAcrossACreaseBlendsEachSideFromItsOwnColour) {
    const auto make = [] {
        MeshPtr m(meshtest::makeHexagon({1, 4}));
        for (int f = 0; f < 6; ++f)
            m->faces[f].setMaterial(f < 3 ? Red : Blue, f < 3 ? Red : Blue, f < 3 ? Red : Blue, pbr::MaskAll);
        return m;
    };
    const auto centreColour = [](const Mesh& m, int f) { return m.faces[f].material[0].colour; };

    MeshPtr m = make();
    m->selectV(vec3(0, 0, 0), 2.0f, true);
    m->_material(Green, pbr::MaskColour | pbr::MaskRoughness, 0.5f);
    m->deselectAll();
    EXPECT_EQ(checkMeshInvariants(*m), "");
    for (int f = 0; f < 6; ++f) {
        const wvec4 c = centreColour(*m, f);
        EXPECT_EQ(c.r, f < 3 ? 32767 : 0) << f;
        EXPECT_EQ(c.g, 32767) << f;
        EXPECT_EQ(c.b, f < 3 ? 0 : 32767) << f;
        EXPECT_EQ(m->faces[f].material[0].roughness, 500);
        EXPECT_EQ(m->faces[f].material[0].light, Red.light);
    }

    // Mask 0, and a rim at t = 1, change nothing.
    m = make();
    m->selectV(vec3(0, 0, 0), 2.0f, true);
    m->_material(Green, 0, 1.0f);
    m->deselectAll();
    EXPECT_EQ(centreColour(*m, 0), Red.colour);

    m = make();
    m->materialG_(vec3(0, 0, 0), 1.0f, 0, Green, pbr::MaskColour, 1.0f);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_TRUE(m->selectedVertices.empty() && m->sectorInfluences.empty());
    for (int f = 0; f < 6; ++f) EXPECT_EQ(centreColour(*m, f), f < 3 ? Green.colour : Blue.colour) << f;
    // The rim at t = 1 keeps its colour.
    EXPECT_EQ(m->faces[0].material[1].colour, Red.colour);
}

// Fill and erase by patch stop at the cube's sharp edges; the component
// fill covers the whole cube.
TEST(MeshBrushPaint, FillAndErasePatchStopAtSharpEdges) {
    MeshPtr m(Mesh::Cube());
    m->materialF_(vec3(), 0, Red, pbr::MaskColour);
    int red = 0;
    for (int f = 0; f < m->faceCount(); ++f) red += m->faces[f].material[2].colour == Red.colour;
    EXPECT_EQ(red, 2);
    m->materialF(vec3(), 5, Blue, pbr::MaskColour);
    for (int f = 0; f < m->faceCount(); ++f) EXPECT_EQ(m->faces[f].material[1].colour, Blue.colour);
    EXPECT_TRUE(m->selectedFaces.empty());

    m->eraseF_(vec3(), 2);
    EXPECT_EQ(checkMeshInvariants(*m), "");
    EXPECT_EQ(m->faceCount(), 10);
    EXPECT_EQ(meshtest::activeVertexCount(*m), 8);
}

namespace {

// One sculpt call of a running stroke: the step from a to b with the brush
// of radius r at the sphere's first face.
void sculptStep(Mesh& m, int action, const vec3& a, const vec3& b, float r, const pbr& material, float strength,
                unsigned char mask) {
    Sculptor s;
    s.action = Sculptor::TAction(action);
    s.select = Sculptor::SelectElement;
    s.paintMask = mask;
    SBrush first;
    first.point = a;
    first.radius = r;
    first.strength = strength;
    first.material = material;
    SBrush last = first;
    last.point = b;
    s.samples = {first, first, last};
    s.state = Gesture::Moving;
    std::vector<Sculptor*> list{&s};
    m.sculpt(list);
    EXPECT_EQ(checkMeshInvariants(m), "");
}

}  // namespace

// deform, then the displacements applied, gives the positions of the
// dispatcher's Deform stamp with the same samples; with a = b nothing moves.
TEST(MeshBrushDeform, DeformLeavesTheDispatchersDeformStampToItsCaller) {
    MeshPtr stamped(meshtest::smoothSphere(2)), m(stamped->clone());
    const vec3 a = at(*m, 0), b = a + vec3(0.1f, 0.05f, 0);
    sculptStep(*stamped, Sculptor::Deform, a, b, 1.0f, Red, 1.0f, 0);
    const Mesh before(*m);
    m->deform(a, b, 1.0f);
    EXPECT_FALSE(m->influences.empty());
    EXPECT_EQ(m->displacements.size(), m->selectedVertices.size());
    for (int v = 0; v < m->vertexCount(); ++v) ASSERT_EQ(at(*m, v), at(before, v)) << v;
    applyAndEnd(*m);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(at(*m, v), at(*stamped, v)) << v;

    m->deform(a, a, 1.0f);
    applyAndEnd(*m);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(at(*m, v), at(*stamped, v)) << v;
}

// material gives the corners of the dispatcher's paint stamp (its strength
// x 0.5 passed as s); materialG paints the picked component only; mask 0
// changes nothing.
TEST(MeshBrushPaint, MaterialMatchesThePaintStampAndMaterialGKeepsToItsComponent) {
    const auto sameCorners = [](const Mesh& x, const Mesh& y) {
        for (int f = 0; f < x.faceCount(); ++f)
            for (int k = 0; k < 3; ++k)
                if (x.faces[f].material[k] != y.faces[f].material[k]) return false;
        return true;
    };
    MeshPtr stamped(meshtest::smoothSphere(2)), m(stamped->clone());
    const Mesh before(*m);
    const vec3 c = at(*m, 0);
    sculptStep(*stamped, Sculptor::PaintMaterial, c, c, 1.5f, Green, 0.8f, pbr::MaskColour | pbr::MaskRoughness);
    m->material(c, 1.5f, Green, pbr::MaskColour | pbr::MaskRoughness, 0.4f);
    EXPECT_TRUE(m->selectedVertices.empty() && m->influences.empty());
    EXPECT_FALSE(sameCorners(*m, before));
    EXPECT_TRUE(sameCorners(*m, *stamped));
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_EQ(at(*m, v), at(before, v));

    // Two tetrahedra side by side under one brush: only the picked one is
    // painted.
    MeshPtr two(meshtest::makeTetra()), other(meshtest::makeTetra());
    for (int v = 0; v < other->vertexCount(); ++v) other->vertices[v].position += vec3(1.5f, 0, 0);
    two->append(other.get());
    const Mesh twoBefore(*two);
    two->materialG(vec3(1.2f, 0, 0), 3.0f, 0, Green, pbr::MaskColour, 1.0f);
    EXPECT_EQ(checkMeshInvariants(*two), "");
    EXPECT_TRUE(two->selectedVertices.empty() && two->selectedFaces.empty());
    for (int f = 0; f < 8; ++f)
        EXPECT_EQ(two->faces[f].material[0].colour == twoBefore.faces[f].material[0].colour, f >= 4) << f;

    two->materialG(vec3(1.2f, 0, 0), 3.0f, 4, Green, 0, 1.0f);
    two->material(vec3(1.2f, 0, 0), 3.0f, Green, 0, 1.0f);
    for (int f = 4; f < 8; ++f) EXPECT_EQ(two->faces[f].material[0], twoBefore.faces[f].material[0]) << f;
}

namespace {

// The blend of one paint sector as the paint brush defines it: every
// channel (old - P) a + P with a = 1 - w, truncated toward zero and
// clamped.
pbr blendTowards(const pbr& old, const pbr& P, float a) {
    auto channel = [a](long o, long p, long lo, long hi) {
        return long(std::clamp(double(float(o - p) * a + float(p)), double(lo), double(hi)));
    };
    pbr r;
    for (int i = 0; i < 4; ++i) {
        r.colour[i] = std::uint16_t(channel(old.colour[i], P.colour[i], 0, 65535));
        r.light[i] = std::uint16_t(channel(old.light[i], P.light[i], 0, 65535));
    }
    r.roughness = std::int16_t(channel(old.roughness, P.roughness, pbr::SignedMin, pbr::SignedMax));
    r.metalness = std::int16_t(channel(old.metalness, P.metalness, pbr::SignedMin, pbr::SignedMax));
    return r;
}

// The paint stamp of every channel, sector by sector: each sector that
// findRegions lists for a vertex in the ball is blended from its first
// face's corner and written by materialRegion.
void paintBySectors(Mesh& m, const vec3& centre, float radius, const pbr& P, float s) {
    m.selectV(centre, radius, true);
    const std::vector<MeshInfluence> reached = m.influences;
    m.deselectAll();
    std::vector<int> sectors;
    for (const MeshInfluence& r : reached) {
        const double t = r.t, w = double(s) * ((t - 2.0) * t + 1.0);
        m.findRegions(r.vertex, sectors);
        for (const int g : sectors) {
            const pbr& old = m.faces[g].material[m.faces[g].corner(r.vertex)];
            m.materialRegion(r.vertex, g, blendTowards(old, P, float(1.0 - w)), pbr::MaskAll);
        }
    }
}

}  // namespace

// Paint stamps of a stroke across a crease, over an open border and over
// smooth parts, on corners of every colour: each sector of each vertex is
// blended from its own corner, as painting sector by sector gives, after
// every step.
TEST(MeshBrushPaint, StrokeStampsPaintEverySectorFromItsOwnCorner) {
    // A torus creased along ring 0 with the quads of ring 20 erased.
    MeshPtr m(meshtest::torus(40, 30, 2, 0.6, false, true));
    for (int f = 2 * 30 * 20; f < 2 * 30 * 21; ++f) m->faceErase(f);
    m->removeInactive(false);
    m->initialize(Mesh::ResizeKeep);
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) {
            const auto c = std::uint16_t((f * 7919 + k * 104729) % 65536);
            m->faces[f].material[k] = pbr(wvec4(c, std::uint16_t(65535 - c), std::uint16_t(c / 3), c),
                                          wvec4(std::uint16_t(c / 2), c, 0, c), std::int16_t(c / 2 - 16000),
                                          std::int16_t(12000 - c / 3));
        }
    MeshPtr sectors(m->clone());
    const pbr P(wvec4(1000, 64000, 30000, 20000), wvec4(500, 0, 65535, 40000), -30000, 31000);
    Sculptor s;
    s.action = Sculptor::PaintMaterial;
    s.select = Sculptor::SelectElement;
    s.paintMask = pbr::MaskAll;
    s.begin();
    std::vector<Sculptor*> list{&s};
    // From the crease (ring 0) across to the border (ring 20) and back.
    const int path[] = {0, 3 * 30 + 4, 10 * 30 + 7, 19 * 30 + 2, 20 * 30 + 5, 21 * 30 + 9, 14 * 30, 1};
    for (const int v : path) {
        SBrush b;
        b.point = m->vertices[v].position;
        b.radius = 0.5f;
        b.strength = 0.9f;
        b.material = P;
        b.itemId = m->findFirstFace(b.point);
        s.move();
        s.samples.push_back(b);
        if (s.samples.size() < 2) s.samples.push_back(b);
        const SBrush& prev = s.samples[s.samples.size() - 2];
        m->sculpt(list);
        paintBySectors(*sectors, prev.point, prev.radius, P, 0.5f * prev.strength);
        for (int f = 0; f < m->faceCount(); ++f)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(m->faces[f].material[k], sectors->faces[f].material[k]) << v << " " << f << " " << k;
    }
    s.end();
    m->sculpt(list);
    EXPECT_EQ(checkMeshInvariants(*m), "");
}
