// Large meshes made in a scattered order (a subdivision, a pattern, a
// stroke that appends records beside far older ones, a file written from a
// mesh listed at random) are put into space order: the same surface, its
// creases and normals, with the records in an order whose next write a load
// keeps byte for byte. Any other record keeps the order it was written in.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "mesh_invariants_util.h"
#include "mesh_util.h"
#include "scene/sculptor.h"

using namespace qel;

namespace {

// One face by where it lies: its corner positions from the lowest, its
// sharp edges and corner normals in the same turn.
struct Placed {
    std::array<float, 9> at{};
    int sharp = 0;
    std::array<vec3, 3> normals{};
    bool operator<(const Placed& o) const { return at < o.at; }
};

std::vector<Placed> byPlace(const Mesh& m) {
    std::vector<Placed> out;
    for (int f = 0; f < m.faceCount(); ++f) {
        const MeshFace& F = m.faces[f];
        if (!F.isActive()) continue;
        auto key = [&](int k) {
            const vec3 p = m.vertices[F.v[k]].position;
            return std::array<float, 3>{p.x, p.y, p.z};
        };
        int first = 0;
        for (int k = 1; k < 3; ++k)
            if (key(k) < key(first)) first = k;
        Placed x;
        for (int i = 0; i < 3; ++i) {
            const int k = (first + i) % 3;
            const std::array<float, 3> p = key(k);
            std::copy(p.begin(), p.end(), x.at.begin() + 3 * i);
            x.sharp |= F.isSharp(k) ? 1 << i : 0;
            x.normals[std::size_t(i)] = F.normals[k];
        }
        out.push_back(x);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void expectSameSurface(const Mesh& a, const Mesh& b) {
    const std::vector<Placed> x = byPlace(a), y = byPlace(b);
    ASSERT_EQ(x.size(), y.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_TRUE(x[i].at == y[i].at && x[i].sharp == y[i].sharp) << i;
        for (int k = 0; k < 3; ++k) ASSERT_LT(length(x[i].normals[k] - y[i].normals[k]), 1e-5) << i;
    }
}

// The places of the listed faces that are active and carry the selected
// bit, sorted.
std::vector<std::array<float, 9>> selectedPlaces(const Mesh& m) {
    Mesh only(m);
    std::vector<char> listed(std::size_t(m.faceCount()), 0);
    for (const int f : m.selectedFaces)
        if (m.activeFace(f)) listed[std::size_t(f)] = 1;
    for (int f = 0; f < only.faceCount(); ++f)
        if (!listed[std::size_t(f)] || !only.faces[f].isSelected())
            only.faces[f].flags = std::uint8_t(only.faces[f].flags & ~MeshFace::ActiveBit);
    std::vector<std::array<float, 9>> out;
    for (const Placed& x : byPlace(only)) out.push_back(x.at);
    return out;
}

std::vector<std::uint8_t> recordOf(Mesh& m) {
    buffer b;
    m.DataWrite(b);
    return b.bytes();
}

// A mesh read from a record of the current file version as a scene file
// hands it on, and rebuilt.
std::unique_ptr<Mesh> loaded(const std::vector<std::uint8_t>& record) {
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    buffer b(record);
    std::uint32_t tag = 0, length = 0;
    b.readRecordHeader(tag, length);
    auto m = std::make_unique<Mesh>(b);
    FILE_VERSION = version;
    m->initialize(Element::ResizeKeep);
    return m;
}

// A creased torus of 70,400 vertices, its faces shuffled, rebuilt.
std::unique_ptr<Mesh> scatteredTorus(int U = 320, int V = 220) {
    std::unique_ptr<Mesh> m(meshtest::torus(U, V, 3.0, 1.0, true, true));
    m->initialize(Element::ResizeKeep);
    return m;
}

// The torus of 35,200 faces with each face replaced by a panel: over
// 100,000 vertices, every panel a patch of its own.
std::unique_ptr<Mesh> patternedTorus() {
    std::unique_ptr<Mesh> m(meshtest::torus(160, 110, 3.0, 1.0, false, true));
    m->initialize(Element::ResizeKeep);
    const std::unique_ptr<Mesh> panel(Mesh::TrianglePattern1(0.7f, false));
    m->replaceFaces(panel.get());
    return m;
}

// A band of two rings of 40,000 vertices each, 10 apart and 2 across, each
// face joining the rings: its faces are long against the spacing of their
// vertices, and their first corners lie on either ring in turn. Its space
// order (each ring in a half of the curve) is as scattered as the order it
// is made in.
std::unique_ptr<Mesh> longFacedBand() {
    constexpr int N = 40000;
    std::unique_ptr<Mesh> m(new Mesh());
    for (const float z : {5.0f, -5.0f})
        for (int i = 0; i < N; ++i) {
            const double a = 6.283185307179586 * i / N;
            m->vertexAdd(vec3(float(std::cos(a)), float(std::sin(a)), z));
        }
    for (int i = 0; i < N; ++i) {
        const int j = (i + 1) % N;
        m->faceAdd(i, N + i, j);
        m->faceAdd(N + i, N + j, j);
    }
    m->initialize(Element::ResizeKeep);
    return m;
}

// A flat square plate of n x n quads, 2 across, with a relief of a
// thousandth of its width, each face replaced by a panel.
std::unique_ptr<Mesh> patternedPlate(int n) {
    std::unique_ptr<Mesh> m(new Mesh());
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            m->vertexAdd(vec3(2.0f * float(i) / float(n) - 1, 2.0f * float(j) / float(n) - 1,
                              0.002f * float((7 * i + 13 * j) % 5) / 5));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i;
            m->faceAdd(a, a + 1, a + n + 2);
            m->faceAdd(a, a + n + 2, a + n + 1);
        }
    m->initialize(Element::ResizeKeep);
    const std::unique_ptr<Mesh> panel(Mesh::TrianglePattern1(0.7f, false));
    m->replaceFaces(panel.get());
    return m;
}

// A stroke of the action on the torus's face 1000: the press and `steps`
// moving steps, each a small move on; the caller ends it (or cuts it
// short) and gets the Sculptor.
Sculptor stroke(Mesh& m, Sculptor::TAction action, Sculptor::TSelect select, int steps) {
    Sculptor s;
    s.action = action;
    s.select = select;
    s.viewDirection = vec3(0, 0, 1);
    SBrush b;
    const MeshFace& F = m.faces[1000];
    b.point = (m.vertices[F.v[0]].position + m.vertices[F.v[1]].position + m.vertices[F.v[2]].position) * (1.0f / 3);
    b.normal = F.normal;
    b.itemId = 1000;
    b.radius = 0.5f;
    std::vector<Sculptor*> list{&s};
    s.state = Gesture::Started;
    s.samples.push_back(b);
    m.sculpt(list);
    s.state = Gesture::Moving;
    for (int i = 0; i < steps; ++i) {
        b.point += vec3(0.02f, 0.01f, 0.004f);
        s.samples.push_back(b);
        m.sculpt(list);
    }
    return s;
}

}  // namespace

TEST(MeshEntryOrder, ARecordListedAtRandomLoadsInSpaceOrderAndItsNextWriteRoundTrips) {
    // As a build that kept a scattered mesh as it was wrote it.
    const std::unique_ptr<Mesh> source = scatteredTorus();
    ASSERT_EQ(source->status, 0);
    ASSERT_TRUE(source->importScattered());
    ASSERT_TRUE(source->randomlyListed());
    const std::vector<std::uint8_t> old = recordOf(*source);

    const std::unique_ptr<Mesh> first = loaded(old);
    ASSERT_EQ(first->status, 0);
    EXPECT_FALSE(first->importScattered());
    EXPECT_EQ(first->vertexCount(), source->vertexCount());
    expectSameSurface(*source, *first);

    // The renumbered mesh is what is written next, and a load keeps it.
    const std::vector<std::uint8_t> kept = recordOf(*first);
    EXPECT_NE(kept, old);
    const std::unique_ptr<Mesh> second = loaded(kept);
    EXPECT_EQ(recordOf(*second), kept);
}

TEST(MeshEntryOrder, ARecordAnEditLeftScatteredLoadsInTheOrderItWasWrittenIn) {
    // A tear of every patch of a patterned torus, cut short before its
    // release: the torn patches' new vertices sit far behind their faces.
    const std::unique_ptr<Mesh> m = patternedTorus();
    stroke(*m, Sculptor::TearNormal, Sculptor::SelectAllPatches, 2);
    ASSERT_GT(m->vertexCount(), 200000);
    ASSERT_TRUE(m->importScattered());
    EXPECT_FALSE(m->randomlyListed());
    const std::vector<std::uint8_t> record = recordOf(*m);
    EXPECT_EQ(recordOf(*loaded(record)), record);
}

TEST(MeshEntryOrder, StrokesThatScatterALargeMeshEndInSpaceOrder) {
    // The tear and the scaling tear of every patch, and a plane subtraction
    // after a tear cut short: each leaves the mesh in space order once its
    // stroke has ended, the same surface as before the order, sound and
    // linked as a rebuild links it (its links went with its records).
    for (const Sculptor::TAction action : {Sculptor::TearNormal, Sculptor::TearScale, Sculptor::SubPlane}) {
        const std::unique_ptr<Mesh> m = patternedTorus();
        if (action == Sculptor::SubPlane) {
            stroke(*m, Sculptor::TearNormal, Sculptor::SelectAllPatches, 2);
            ASSERT_TRUE(m->importScattered());
        }
        Sculptor s = stroke(*m, action, Sculptor::SelectAllPatches, 3);
        s.end();
        std::vector<Sculptor*> list{&s};
        m->sculpt(list);
        ASSERT_EQ(m->status, 0) << int(action);
        EXPECT_FALSE(m->importScattered()) << int(action);
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "") << int(action);
        std::unique_ptr<Mesh> kept(m->clone());
        kept->initialize(Element::ResizeKeep);
        expectSameSurface(*kept, *m);
        ASSERT_EQ(kept->faceCount(), m->faceCount());
        for (int f = 0; f < m->faceCount(); ++f)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(m->faces[f].f[k], kept->faces[f].f[k]) << int(action) << " " << f;
    }
}

TEST(MeshEntryOrder, APlaneSubtractionOfALargeMeshEndsInSpaceOrder) {
    // Half of a sphere of 163,842 vertices subtracted: its cut and cap lie
    // beside far older records. The result is its own space order, record
    // for record.
    const std::unique_ptr<Mesh> m(meshtest::smoothSphere(7));
    m->initialize(Element::ResizeKeep);
    Sculptor s;
    s.action = Sculptor::SubPlane;
    s.viewDirection = vec3(0, 0, 1);
    SBrush b;
    b.point = vec3(0, 0.3f, 0);
    b.radius = 0.3f;
    std::vector<Sculptor*> list{&s};
    s.state = Gesture::Started;
    s.samples.push_back(b);
    m->sculpt(list);
    s.state = Gesture::Moving;
    b.point = vec3(1, 0.3f, 0);
    s.samples.push_back(b);
    m->sculpt(list);
    s.end();
    m->sculpt(list);
    ASSERT_EQ(m->status, 0);
    ASSERT_GT(m->vertexCount(), 65536);
    ASSERT_LT(m->vertexCount(), 100000);
    std::unique_ptr<Mesh> again(m->clone());
    again->orderInSpace();
    EXPECT_EQ(recordOf(*again), recordOf(*m));
}

TEST(MeshEntryOrder, ACopyStrokeCopiesThePartInTheOrderOfTheMesh) {
    // The copy left in place holds the component's records in the order
    // they have in the mesh, not in the order the selection walk met them.
    const std::unique_ptr<Mesh> m(meshtest::torus(60, 40, 3.0, 1.0, false, false));
    m->initialize(Element::ResizeKeep);
    const std::unique_ptr<Mesh> before(m->clone());
    const int nV = m->vertexCount(), nF = m->faceCount();
    stroke(*m, Sculptor::CopyRotate, Sculptor::SelectComponent, 3);
    ASSERT_EQ(m->faceCount(), 2 * nF);
    for (int f = 0; f < nF; ++f)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(m->faces[nF + f].v[k], before->faces[f].v[k] + nV) << f;
    for (int v = 0; v < nV; ++v) ASSERT_EQ(m->vertices[nV + v].position, before->vertices[v].position) << v;
}

TEST(MeshEntryOrder, APatternOnALargeMeshEndsInSpaceOrder) {
    // 35,200 faces, each replaced by a panel: over 100,000 vertices, every
    // panel's records appended beside corners far back in the lists.
    std::unique_ptr<Mesh> m(meshtest::torus(160, 110, 3.0, 1.0, false, true));
    m->initialize(Element::ResizeKeep);
    const std::unique_ptr<Mesh> panel(Mesh::TrianglePattern1(0.7f, false));
    m->replaceFaces(panel.get());
    ASSERT_EQ(m->status, 0);
    ASSERT_GT(m->vertexCount(), 100000);
    EXPECT_FALSE(m->importScattered());
    // Linked as a rebuild links it.
    std::unique_ptr<Mesh> rebuilt(m->clone());
    rebuilt->initialize(Element::ResizeKeep);
    for (int f = 0; f < m->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(m->faces[f].f[k], rebuilt->faces[f].f[k]) << f;

    // A flat plate with a slight relief: its space order is not cut along
    // the plate's thickness as along its width, and is not scattered.
    const std::unique_ptr<Mesh> plate = patternedPlate(142);
    ASSERT_EQ(plate->status, 0);
    ASSERT_GT(plate->vertexCount(), 100000);
    EXPECT_FALSE(plate->importScattered());
}

TEST(MeshEntryOrder, AStrokeEndOnAMeshItsSpaceOrderCannotImproveKeepsItAsItIs) {
    const std::unique_ptr<Mesh> m = longFacedBand();
    EXPECT_FALSE(m->orderIfScattered());
    m->orderInSpace();
    ASSERT_EQ(m->status, 0);
    ASSERT_TRUE(m->importScattered());
    // A selection: the vertices round a point and the band's faces.
    const vec3 p = m->vertices[0].position;
    m->selectV(p, 0.3f, true);
    int face = -1;
    m->selectF_(p, false, face);
    const std::vector<std::int32_t> vertices = m->selectedVertices, faces = m->selectedFaces;
    ASSERT_FALSE(vertices.empty());
    ASSERT_FALSE(faces.empty());
    const std::vector<std::uint8_t> record = recordOf(*m);
    EXPECT_FALSE(m->orderIfScattered());
    // A stroke whose end asks again (a reversed sphere clip changes
    // nothing): the records and the selection stay as they were.
    Sculptor s = stroke(*m, Sculptor::ClipSphereReverse, Sculptor::SelectElement, 1);
    s.end();
    std::vector<Sculptor*> list{&s};
    m->sculpt(list);
    EXPECT_EQ(recordOf(*m), record);
    EXPECT_EQ(m->selectedVertices, vertices);
    EXPECT_EQ(m->selectedFaces, faces);
}

TEST(MeshEntryOrder, TheSpaceOrderKeepsTheSelection) {
    // The shuffled torus with vertices and faces selected and two faces
    // erased (a compaction pending), put in space order: the lists name
    // the same records after it, in the same order, with their bits.
    const std::unique_ptr<Mesh> m = scatteredTorus();
    const vec3 p = m->vertices[5000].position;
    m->selectV(p, 0.4f, true);
    int face = -1;
    m->selectF_(p, false, face);
    ASSERT_GT(m->selectedFaces.size(), 10u);
    m->faceErase(m->selectedFaces[3]);
    m->faceErase(m->faceCount() - 1);
    std::vector<vec3> at;
    for (const int v : m->selectedVertices) at.push_back(m->vertices[v].position);
    const std::vector<std::array<float, 9>> picked = selectedPlaces(*m);
    ASSERT_GT(at.size(), 10u);
    ASSERT_TRUE(m->orderIfScattered());
    EXPECT_FALSE(m->importScattered());
    ASSERT_EQ(m->selectedVertices.size(), at.size());
    for (std::size_t i = 0; i < at.size(); ++i) {
        const MeshVertex& r = m->vertices[m->selectedVertices[i]];
        ASSERT_TRUE(r.position == at[i] && r.isSelected() && r.selection == int(i)) << i;
    }
    EXPECT_EQ(selectedPlaces(*m), picked);
    EXPECT_EQ(m->selectedFaces.size(), picked.size());
    // A deselection clears every bit the selection set.
    m->deselectAll();
    for (int v = 0; v < m->vertexCount(); ++v) ASSERT_FALSE(m->vertices[v].isSelected()) << v;
    for (int f = 0; f < m->faceCount(); ++f) ASSERT_FALSE(m->faces[f].isSelected()) << f;
}

TEST(MeshEntryOrder, TheSpaceOrderKeepsASelectionWhoseRecordsTheCompactionMoves) {
    // The shuffled torus with its last vertex listed and the faces round
    // an unlisted vertex erased: the compaction pending drops that vertex
    // and moves the last into its place before the space order renumbers
    // the records. The lists still name the same records after both.
    const std::unique_ptr<Mesh> m = scatteredTorus();
    const int lastV = m->vertexCount() - 1;
    m->selectV(m->vertices[lastV].position, 0.4f, true);
    ASSERT_GT(m->selectedVertices.size(), 10u);
    ASSERT_NE(std::find(m->selectedVertices.begin(), m->selectedVertices.end(), lastV), m->selectedVertices.end());
    std::vector<char> unlisted(std::size_t(m->vertexCount()), 1);
    for (const int v : m->selectedVertices) unlisted[std::size_t(v)] = 0;
    const int hole = int(std::find(unlisted.begin(), unlisted.end(), 1) - unlisted.begin());
    ASSERT_LT(hole, lastV);
    int erased = 0;
    for (int f = 0; f < m->faceCount(); ++f) {
        const MeshFace& r = m->faces[f];
        if (r.v[0] != hole && r.v[1] != hole && r.v[2] != hole) continue;
        m->faceErase(f);
        ++erased;
    }
    ASSERT_GT(erased, 0);
    std::vector<vec3> at;
    for (const int v : m->selectedVertices) at.push_back(m->vertices[v].position);
    ASSERT_TRUE(m->orderIfScattered());
    // The vertex left without faces went.
    EXPECT_EQ(m->vertexCount(), lastV);
    ASSERT_EQ(m->selectedVertices.size(), at.size());
    for (std::size_t i = 0; i < at.size(); ++i) {
        const MeshVertex& r = m->vertices[m->selectedVertices[i]];
        ASSERT_TRUE(r.position == at[i] && r.isSelected() && r.selection == int(i)) << i;
    }
}

TEST(MeshEntryOrder, SubdivisionOfAScatteredMeshEndsInSpaceOrder) {
    // 17,600 vertices: below the size that is ever renumbered; 70,400 after.
    const std::unique_ptr<Mesh> scattered = scatteredTorus(160, 110);
    ASSERT_FALSE(scattered->importScattered());
    std::unique_ptr<Mesh> plain(meshtest::torus(160, 110, 3.0, 1.0, false, true));
    plain->initialize(Element::ResizeKeep);

    scattered->subdivide(false);
    plain->subdivide(false);
    ASSERT_EQ(scattered->vertexCount(), 70400);
    EXPECT_FALSE(scattered->importScattered());
    EXPECT_EQ(scattered->status, 0);
    // The same surface as the subdivision of the torus in row order.
    expectSameSurface(*plain, *scattered);
    // Linked as a rebuild links it.
    std::unique_ptr<Mesh> rebuilt(scattered->clone());
    rebuilt->initialize(Element::ResizeKeep);
    for (int f = 0; f < scattered->faceCount(); ++f)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(scattered->faces[f].f[k], rebuilt->faces[f].f[k]) << f;

    // The sqrt(3) subdivision the same way: 24,000 vertices, 72,000 after.
    const std::unique_ptr<Mesh> third = scatteredTorus(200, 120);
    ASSERT_FALSE(third->importScattered());
    third->subdivideSqrt3();
    ASSERT_EQ(third->vertexCount(), 72000);
    EXPECT_FALSE(third->importScattered());
    EXPECT_EQ(third->status, 0);
}
