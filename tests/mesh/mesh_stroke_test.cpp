// What a sculpt stroke keeps between its steps: the normals at its end and
// after the cuts cover what moved or was made, bit for bit as the
// whole-mesh pass writes them; scoped stamps select from the scope kept
// since the stroke's first stamp exactly what a walk of it selects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "core/background_job.h"
#include "gl/buffer.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

using meshtest::offWholePass;

// Positions, links, flags, normals (unless told not to) and materials agree
// bit for bit.
bool sameBits(const Mesh& a, const Mesh& b, bool normals = true) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return false;
    for (int v = 0; v < a.vertexCount(); ++v) {
        const MeshVertex &x = a.vertices[v], &y = b.vertices[v];
        if (std::memcmp(&x.position, &y.position, sizeof(vec3)) != 0 || x.face != y.face ||
            x.selection != y.selection || x.flags != y.flags)
            return false;
    }
    for (int f = 0; f < a.faceCount(); ++f) {
        const MeshFace &x = a.faces[f], &y = b.faces[f];
        if (std::memcmp(x.v, y.v, sizeof x.v) != 0 || std::memcmp(x.f, y.f, sizeof x.f) != 0 ||
            (normals && std::memcmp(&x.normal, &y.normal, 4 * sizeof(vec3)) != 0) || x.flags != y.flags)
            return false;
        for (int k = 0; k < 3; ++k)
            if (!(x.material[k] == y.material[k])) return false;
    }
    return true;
}

// The icosahedron's sphere refined three times with its twenty patches kept:
// corners where only creases meet, crease vertices, smooth interiors.
MeshPtr creasedSphere(const vec3& offset = vec3(0, 0, 0)) {
    const MeshPtr base(Mesh::Icosahedron());
    MeshPtr m(Mesh::Sphere(base.get(), 3, true, true));
    if (!(offset == vec3(0, 0, 0))) m->transform(mat4::Translation(offset));
    return m;
}

// The creased sphere squashed to a shell thinner than the brushes: a ball
// on one side holds vertices of the other, which the faces in the ball do
// not reach.
MeshPtr thinShell() {
    MeshPtr m = creasedSphere();
    m->transform(mat4::Scale(1.0f, 1.0f, 0.06f));
    return m;
}

// A torus in shuffled face order, creased along one ring, with one ring of
// quads erased: an open tube with two borders.
MeshPtr openTube() {
    MeshPtr m(meshtest::torus(40, 30, 2, 0.6, false, true));
    for (int f = 0; f < 2 * 30; ++f) m->faceErase(f);
    m->removeInactive(false);
    m->initialize(Mesh::ResizeKeep);
    return m;
}

SBrush sample(const Mesh& m, const vec3& p, float radius, bool pick = true) {
    SBrush b;
    b.point = p;
    b.radius = radius;
    b.itemId = pick ? m.findFirstFace(p) : -1;
    b.material = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
    return b;
}

// A stroke of one Sculptor: the press, then one sculpt call per sample.
class Stroke {
public:
    Stroke(int action, Sculptor::TSelect select) {
        s_.action = Sculptor::TAction(action);
        s_.select = select;
        s_.viewDirection = vec3(0, 0, 1);
        list_.push_back(&s_);
    }
    void press(Mesh& m, const SBrush& b) {
        s_.begin();
        s_.samples.push_back(b);
        m.sculpt(list_);
    }
    void step(Mesh& m, const SBrush& b, bool end = false, bool check = true) {
        s_.move();
        if (end) s_.end();
        s_.samples.push_back(b);
        m.sculpt(list_);
        if (check) {
            EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
        }
    }
    const std::vector<SBrush>& samples() const { return s_.samples; }

private:
    Sculptor s_;
    std::vector<Sculptor*> list_;
};

// The scoped stamp the dispatcher runs for the step from P to L, called
// alone: it walks its scope.
void scopedStamp(Mesh& m, int action, Sculptor::TSelect select, const SBrush& P, const SBrush& L) {
    const bool patch = select == Sculptor::SelectPatch;
    if (action == Sculptor::Smooth)
        patch ? m.smoothG_(P.point, vec3(), P.radius, P.itemId) : m.smoothG(P.point, vec3(), P.radius, P.itemId);
    else if (action == Sculptor::PaintMaterial)
        patch ? m.materialG_(P.point, P.radius, P.itemId, P.material, 13, 0.5f)
              : m.materialG(P.point, P.radius, P.itemId, P.material, 13, 0.5f);
    else if (patch)
        m.deformG_(P.point, L.point, P.radius, P.itemId);
    else
        m.deformG(P.point, L.point, P.radius, P.itemId);
}

// The record of the mesh as it stands, and that record read back into a
// mesh as an undo does.
std::shared_ptr<buffer> record(Mesh& m) {
    auto b = std::make_shared<buffer>();
    m.DataWrite(*b);
    return b;
}

void readBack(Mesh& m, buffer& b) {
    std::uint32_t tag = 0, length = 0;
    b.readRecordHeader(tag, length);
    const std::int32_t version = FILE_VERSION;
    FILE_VERSION = FILE_VERSION_WRITTEN;
    m.DataRead(b);
    FILE_VERSION = version;
    m.initialize(Element::ResizeKeep);
}

// For each edit: the mesh's record kept in before (for an edit that reads
// it back), strokes on the mesh, the edit, then strokes on the edited mesh
// and on a fresh copy of it (strokes(copy) compares them; with gridKept
// the edit left the mesh's vertex grid kept).
template <class Edits, class Strokes>
void afterEachEdit(Mesh& kept, const Edits& edits, std::shared_ptr<buffer>& before, Strokes&& strokes,
                   bool gridKept) {
    int round = 0;
    for (const auto& edit : edits) {
        SCOPED_TRACE(testing::Message() << "edit " << round++);
        before = record(kept);
        strokes(nullptr);
        edit(kept);
        if (gridKept) {
            ASSERT_TRUE(kept.strokeGridKept());
        }
        MeshPtr copy(kept.clone());
        strokes(copy.get());
    }
}

// Strokes that move nothing, on the far side of at, until the mesh keeps
// its vertex grid: the grid is built a slice of bounded time per frame, so
// on a loaded machine it may take more frames than on an idle one.
void keepGrid(Mesh& m, const vec3& at, float radius) {
    for (int frame = 0; frame < 20000 && !m.strokeGridKept(); ++frame) {
        Stroke warm(Sculptor::Deform, Sculptor::SelectElement);
        warm.press(m, sample(m, -at, radius));
        warm.step(m, sample(m, -at, radius), true);
    }
}

// Jobs run when the test says so, on its own thread.
struct Deferred {
    Deferred() { BackgroundJob::setDeferred(true); }
    ~Deferred() { BackgroundJob::setDeferred(false); }
};

// The Deform stamp of the step from P to L, as the scan selects it, and
// the whole-mesh pass on both meshes: the positions and normals compared.
void scannedDeform(Mesh& scanned, const SBrush& P, const SBrush& L) {
    scanned.selectV(P.point, P.radius, true);
    scanned._deform(L.point - P.point);
    scanned.applyDisplacement();
    scanned.deselectAll();
}

}  // namespace

// Strokes of every moving action and scope at random places; after each
// stroke's end every normal is the whole-mesh pass's.
TEST(StrokeNormals, EndOfRandomStrokesMatchesTheWholeMeshPass) {
    const int actions[] = {Sculptor::Deform, Sculptor::Smooth, Sculptor::Pinch, Sculptor::Grow,
                           Sculptor::Twist,  Sculptor::DeformVolume, Sculptor::Move};
    const Sculptor::TSelect scopes[] = {Sculptor::SelectElement, Sculptor::SelectPatch, Sculptor::SelectAllPatches,
                                        Sculptor::SelectComponent};
    MeshPtr meshes[] = {creasedSphere(), MeshPtr(meshtest::torus(50, 40, 2, 0.6, true, true)), openTube()};
    std::mt19937 rng(7);
    for (MeshPtr& m : meshes) {
        ASSERT_EQ(offWholePass(*m), 0);
        for (int round = 0; round < 14; ++round) {
            const int action = actions[rng() % 7];
            const Sculptor::TSelect scope = scopes[rng() % 4];
            SCOPED_TRACE(testing::Message() << "round " << round << " action " << action << " scope " << scope);
            const float radius = m->size() * (0.05f + 0.05f * float(rng() % 4));
            vec3 p = m->vertices[int(rng() % unsigned(m->vertexCount()))].position;
            Stroke s(action, scope);
            s.press(*m, sample(*m, p, radius));
            const int steps = 1 + int(rng() % 5);
            for (int i = 0; i <= steps; ++i) {
                p += vec3(0.03f, -0.02f, 0.025f) * m->size() * float(int(rng() % 3) - 1);
                s.step(*m, sample(*m, p, radius, rng() % 4 != 0), i == steps);
            }
            EXPECT_EQ(offWholePass(*m), 0);
        }
    }
}

// A small stroke's end leaves the faces far from it alone: a mark in a
// face on the far side survives, and all else is the whole pass's.
TEST(StrokeNormals, EndRefreshesOnlyWhatTheStrokeMoved) {
    MeshPtr m = creasedSphere();
    const vec3 p = m->vertices[0].position;
    int far = 0;
    for (int f = 0; f < m->faceCount(); ++f)
        if (dot(m->vertices[m->faces[f].v[0]].position, p) < dot(m->vertices[m->faces[far].v[0]].position, p)) far = f;
    const vec3 mark(7, 7, 7);
    m->faces[far].normals[1] = mark;
    Stroke s(Sculptor::Deform, Sculptor::SelectElement);
    s.press(*m, sample(*m, p, 0.3f));
    s.step(*m, sample(*m, p * 1.05f, 0.3f));
    s.step(*m, sample(*m, p * 1.1f, 0.3f), true);
    EXPECT_EQ(m->faces[far].normals[1], mark);
    Mesh whole(*m);
    whole.calculateNormals(2);
    m->faces[far].normals[1] = whole.faces[far].normals[1];
    EXPECT_EQ(offWholePass(*m), 0);
}

// A stroke whose release never comes: the next press, on the same mesh and
// far from it, or clearStroke refreshes what it moved, also when it moved
// too much to list.
TEST(StrokeNormals, AStrokeCutShortIsRefreshedByWhatReplacesIt) {
    for (const float radius : {0.3f, 3.0f}) {
        for (const bool nextPress : {true, false}) {
            SCOPED_TRACE(testing::Message() << "radius " << radius << (nextPress ? " next press" : " clearStroke"));
            MeshPtr m = creasedSphere();
            const vec3 p = m->vertices[0].position, q = -p;
            keepGrid(*m, p, radius);
            ASSERT_TRUE(m->strokeGridKept());
            Stroke cut(Sculptor::Deform, Sculptor::SelectElement);
            cut.press(*m, sample(*m, p, radius));
            cut.step(*m, sample(*m, p * 1.05f, radius));
            cut.step(*m, sample(*m, p * 1.1f, radius));
            ASSERT_GT(offWholePass(*m), 0);
            for (auto& r : m->refill) r = 0;
            if (nextPress) {
                Stroke next(Sculptor::Deform, Sculptor::SelectElement);
                next.press(*m, sample(*m, q, 0.3f));
                next.step(*m, sample(*m, q * 1.05f, 0.3f));
                next.step(*m, sample(*m, q * 1.1f, 0.3f), true);
            } else {
                m->clearStroke();
            }
            EXPECT_EQ(offWholePass(*m), 0);
            EXPECT_NE(m->refill[Mesh::RefillNormals], 0);
            // The view clears before every stroke: the grid stays for it.
            EXPECT_TRUE(m->strokeGridKept());
        }
    }
}

// A stroke cut short on one mesh is ended by a stroke beginning on another:
// the first mesh's normals are refreshed round what it moved.
TEST(StrokeNormals, AStrokeCutShortIsRefreshedByAStrokeOnAnotherMesh) {
    MeshPtr first = creasedSphere();
    MeshPtr second = creasedSphere();
    const vec3 p = first->vertices[0].position;
    Stroke cut(Sculptor::Deform, Sculptor::SelectElement);
    cut.press(*first, sample(*first, p, 0.3f));
    cut.step(*first, sample(*first, p * 1.05f, 0.3f));
    cut.step(*first, sample(*first, p * 1.1f, 0.3f));
    ASSERT_GT(offWholePass(*first), 0);
    Stroke next(Sculptor::Deform, Sculptor::SelectElement);
    next.press(*second, sample(*second, p, 0.3f));
    next.step(*second, sample(*second, p * 1.05f, 0.3f), true);
    EXPECT_EQ(offWholePass(*first), 0);
    EXPECT_NE(first->refill[Mesh::RefillNormals], 0);
    EXPECT_EQ(offWholePass(*second), 0);
}

// Every action in every scope, released or cut short (its release never
// came, and clearStroke or the next stroke's press ended it): the mesh is
// left with the normals of the whole-mesh pass, and nothing selected.
TEST(StrokeNormals, EveryActionEndsWithTheWholeMeshPass) {
    enum Ending { Released, ClearStroke, NextStroke };
    const MeshPtr base = creasedSphere();
    for (int action = 1; action <= 71; ++action)
        for (int scope = 0; scope < 4; ++scope)
            for (const Ending ending : {Released, ClearStroke, NextStroke}) {
                SCOPED_TRACE(testing::Message() << "action " << action << " scope " << scope << " ending " << ending);
                Mesh m(*base);
                const vec3 p = m.vertices[9].position, q = -p;
                Stroke s(action, Sculptor::TSelect(scope));
                s.press(m, sample(m, p, 0.3f));
                s.step(m, sample(m, p * 1.04f + vec3(0.05f, 0, 0), 0.3f), false, false);
                s.step(m, sample(m, p * 1.08f + vec3(0.1f, 0.05f, 0), 0.3f), ending == Released, false);
                if (ending == ClearStroke) m.clearStroke();
                if (ending == NextStroke) {
                    Stroke next(Sculptor::Deform, Sculptor::SelectElement);
                    next.press(m, sample(m, q, 0.1f));
                    next.step(m, sample(m, q * 1.01f, 0.1f), true, false);
                }
                EXPECT_EQ(offWholePass(m), 0);
                int selected = int(m.selectedFaces.size() + m.selectedVertices.size());
                for (int f = 0; f < m.faceCount(); ++f) selected += m.faces[f].isSelected();
                EXPECT_EQ(selected, 0);
            }
}

// The cuts leave the normals the whole pass gives.
TEST(StrokeNormals, CutsMatchTheWholeMeshPass) {
    using Cut = void (*)(Mesh&, const vec3& p, const vec3& q, const vec3& n, int face);
    const Cut cuts[] = {
        [](Mesh& m, const vec3& p, const vec3&, const vec3& n, int) { m.cutPlane(p * 0.9f, n); },
        [](Mesh& m, const vec3& p, const vec3&, const vec3& n, int f) { m.cutPlaneF(p * 0.9f, n, f); },
        [](Mesh& m, const vec3& p, const vec3&, const vec3& n, int f) { m.cutPlaneG_(p * 0.99f, n, f); },
        [](Mesh& m, const vec3& p, const vec3& q, const vec3& n, int) { m.subSphere(p, n, q, true, pbr()); },
        [](Mesh& m, const vec3& p, const vec3& q, const vec3& n, int) { m.subSphere(p, n, q, false, pbr()); },
        [](Mesh& m, const vec3& p, const vec3& q, const vec3&, int) { m.cutSphere(p, q); },
        [](Mesh& m, const vec3& p, const vec3& q, const vec3&, int f) { m.cutSphereF(p, q, f, true); },
        [](Mesh& m, const vec3& p, const vec3& q, const vec3&, int f) { m.cutSphereF(p, q, f, false); },
    };
    const vec3 n = normalize(vec3(0.3f, -0.2f, 1.0f));
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        MeshPtr m = i < 8 ? creasedSphere() : MeshPtr(meshtest::torus(50, 40, 2, 0.6, true, true));
        const vec3 p = m->vertices[7].position;
        const vec3 q = p + cross(n, p) * 0.15f;
        cuts[i % 8](*m, p, q, n, m->findFirstFace(p));
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
        EXPECT_EQ(offWholePass(*m), 0);
    }
}

// Plain cuts through the vertices and edges a mesh already has (planes
// through an edge and the centre): creases may fall on old edges and old
// vertices count as on the plane, and the normals still match the whole pass.
TEST(StrokeNormals, CutsThroughExistingEdgesMatchTheWholeMeshPass) {
    const MeshPtr solids[] = {MeshPtr(Mesh::Cube()), MeshPtr(Mesh::Dodecahedron()), creasedSphere()};
    for (const MeshPtr& solid : solids) {
        for (int f = 0; f < solid->faceCount(); f += 3) {
            const vec3 a = solid->vertices[solid->faces[f].v[0]].position;
            const vec3 b = solid->vertices[solid->faces[f].v[1]].position;
            const vec3 n = cross(a, b);
            if (length(n) < 1e-6f) continue;
            MeshPtr m(new Mesh(*solid));
            m->cutPlane(vec3(0, 0, 0), normalize(n));
            ASSERT_EQ(meshtest::checkMeshInvariants(*m), "") << f;
            EXPECT_EQ(offWholePass(*m), 0) << f;
        }
    }
}

// The region pass alone after random moves: creases, corners, borders,
// shuffled faces; with links to erased faces it takes the whole pass.
TEST(StrokeNormals, RegionPassAfterRandomMoves) {
    MeshPtr erased(meshtest::torus(30, 20, 2, 0.6));
    for (int f = 100; f < 140; ++f) erased->faceErase(f);
    erased->calculateNormals(2);
    MeshPtr meshes[] = {creasedSphere(), openTube(), MeshPtr(meshtest::torus(50, 40, 2, 0.6, true, true)),
                        std::move(erased)};
    std::mt19937 rng(11);
    for (MeshPtr& m : meshes) {
        for (int round = 0; round < 10; ++round) {
            std::vector<int> moved;
            for (int i = 0; i < 1 + int(rng() % 40); ++i) {
                const int v = int(rng() % unsigned(m->vertexCount()));
                m->vertices[v].position += vec3(float(rng() % 7) - 3, float(rng() % 5) - 2, 1) * 0.01f;
                moved.push_back(v);
            }
            m->calculateNormalsRound(moved);
            EXPECT_EQ(offWholePass(*m), 0) << round;
        }
    }
}

// Patch and component stamps through sculpt (the scope kept from the first
// stamp, found again when the brush reaches another part or a step changes
// the topology) against the same stamps called alone, each walking its
// scope: the meshes agree bit for bit after every step but in the normals
// (a stamp called alone refreshes those of its whole scope, a stroke's
// stamps those round what they move).
TEST(StrokeScopes, KeptScopesSelectWhatTheWalkSelects) {
    struct Row {
        int action;
        Sculptor::TSelect select;
    };
    const Row rows[] = {{Sculptor::Deform, Sculptor::SelectPatch},        {Sculptor::Deform, Sculptor::SelectComponent},
                        {Sculptor::Smooth, Sculptor::SelectPatch},        {Sculptor::Smooth, Sculptor::SelectComponent},
                        {Sculptor::PaintMaterial, Sculptor::SelectPatch}, {Sculptor::PaintMaterial, Sculptor::SelectComponent},
                        {Sculptor::TearDeform, Sculptor::SelectPatch},    {Sculptor::ExtrudeDeform, Sculptor::SelectPatch}};
    const auto alone = scopedStamp;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "action " << r.action << " scope " << r.select);
        // Two spheres side by side (two components of twenty patches each).
        const MeshPtr a = creasedSphere(), b = creasedSphere(vec3(5, 0, 0));
        MeshPtr kept(new Mesh(a.get(), b.get()));
        kept->initialize(Mesh::ResizeKeep);
        MeshPtr walked(kept->clone());
        ASSERT_TRUE(sameBits(*kept, *walked));
        Stroke s(r.action, r.select);
        const vec3 start = kept->vertices[3].position;
        s.press(*kept, sample(*kept, start, 0.8f));
        // Painting stamps at the press too.
        if (r.action == Sculptor::PaintMaterial) alone(*walked, r.action, r.select, s.samples()[0], s.samples()[0]);
        vec3 p = start;
        for (int i = 0; i < 12; ++i) {
            // Across the first sphere's patches, then over to the second.
            p = i < 8 ? normalize(p + vec3(0.25f, 0.1f, -0.05f)) * 2.0f : vec3(5, 0, 0) + normalize(p) * 2.0f;
            s.step(*kept, sample(*kept, p, 0.8f, i % 3 != 1));
            const std::vector<SBrush>& samples = s.samples();
            const SBrush &F = samples.front(), &P = samples[samples.size() - 2], &L = samples.back();
            if (samples.size() == 2 && r.action == Sculptor::TearDeform) walked->divideG_(F.point, F.radius, F.itemId);
            if (samples.size() == 2 && r.action == Sculptor::ExtrudeDeform)
                walked->splitG_(F.point, F.radius, F.itemId, F.material, true);
            alone(*walked, r.action, r.select, P, L);
            ASSERT_TRUE(sameBits(*kept, *walked, false)) << "step " << i;
        }
    }
}

// Where a scope's vertex has faces outside its fan (two triangles meeting
// at one vertex), the kept scope cannot list them: the stamp walks.
TEST(StrokeScopes, VertexOfTwoFansFallsBackToTheWalk) {
    for (const int face : {0, 1}) {
        MeshPtr kept(meshtest::makeBowtie());
        MeshPtr walked(kept->clone());
        SBrush b = sample(*kept, vec3(0, 0, 0), 1.5f);
        b.itemId = face;
        Stroke s(Sculptor::Deform, Sculptor::SelectComponent);
        s.press(*kept, b);
        for (const float z : {0.1f, 0.25f}) {
            const SBrush P = s.samples().back();
            SBrush L = P;
            L.point = vec3(0, 0, z);
            s.step(*kept, L, false, false);  // the bowtie is not a sound mesh
            walked->deformG(P.point, L.point, P.radius, face);
            EXPECT_TRUE(sameBits(*kept, *walked)) << face << " " << z;
        }
    }
}

// Whole-mesh stamps through sculpt read the stroke's vertex grid; called
// alone they scan every vertex. Steps long enough to carry vertices cells
// away (the grid is built again) and a brush that grows: the meshes agree
// bit for bit after every step.
TEST(StrokeGrid, StampsSelectWhatTheScanSelects) {
    const int actions[] = {Sculptor::Deform, Sculptor::Smooth, Sculptor::PaintMaterial, Sculptor::DeformVolume,
                           Sculptor::Pinch};
    auto alone = [](Mesh& m, int action, const SBrush& P, const SBrush& L) {
        switch (action) {
            case Sculptor::Smooth:
                m.smooth(P.point, vec3(), P.radius);
                return;
            case Sculptor::PaintMaterial:
                m.material(P.point, P.radius, P.material, 13, 0.5f);
                return;
            case Sculptor::DeformVolume:
                m.deformVolume(P.point, L.point, P.radius);
                break;
            case Sculptor::Pinch:
                m.pinch(P.point, P.radius,
                        float(std::min(1.0, distance(L.point, P.point) * 0.2 / double(P.radius))));
                break;
            default:
                m.selectV(P.point, P.radius, true);
                m._deform(L.point - P.point);
                break;
        }
        m.applyDisplacement();
        m.deselectAll();
    };
    for (const int action : actions) {
        SCOPED_TRACE(action);
        MeshPtr kept = creasedSphere();
        MeshPtr scanned(kept->clone());
        Stroke s(action, Sculptor::SelectElement);
        vec3 p = kept->vertices[5].position;
        s.press(*kept, sample(*kept, p, 0.4f));
        if (action == Sculptor::PaintMaterial) alone(*scanned, action, s.samples()[0], s.samples()[0]);
        for (int i = 0; i < 10; ++i) {
            const float stride = i == 4 ? 1.2f : 0.1f;  // one step far beyond the cells
            p = normalize(p + vec3(stride, 0.05f, -stride / 2)) * 2.0f;
            s.step(*kept, sample(*kept, p, 0.4f + 0.1f * float(i)));
            const std::vector<SBrush>& samples = s.samples();
            alone(*scanned, action, samples[samples.size() - 2], samples.back());
            ASSERT_TRUE(sameBits(*kept, *scanned)) << "step " << i;
        }
    }
}

// A Deform drag of forty stamps over ten brush radii on a mesh whose grid is
// kept: every vertex the brush carries crosses many cells, and every step
// moves what the same step moves scanning every vertex.
TEST(StrokeGrid, DragAcrossManyCellsSelectsWhatTheScanSelects) {
    MeshPtr kept = creasedSphere();
    const vec3 at = kept->vertices[9].position;
    keepGrid(*kept, at, 0.3f);
    ASSERT_TRUE(kept->strokeGridKept());
    MeshPtr scanned(kept->clone());
    Stroke s(Sculptor::Deform, Sculptor::SelectElement);
    s.press(*kept, sample(*kept, at, 0.3f));
    const vec3 dir = normalize(cross(at, vec3(0, 0, 1))) * 0.075f;
    for (int i = 1; i <= 40; ++i) {
        s.step(*kept, sample(*kept, at + dir * float(i), 0.3f), i == 40);
        const std::vector<SBrush>& samples = s.samples();
        const vec3 P = samples[samples.size() - 2].point, L = samples.back().point;
        scanned->selectV(P, 0.3f, true);
        scanned->_deform(L - P);
        scanned->applyDisplacement();
        scanned->deselectAll();
        if (i == 40) scanned->calculateNormals(2);
        ASSERT_TRUE(sameBits(*kept, *scanned, i == 40)) << "step " << i;
    }
    EXPECT_TRUE(kept->strokeGridKept());
}

// Many short scoped strokes, each first stamp deciding from a walk as far as
// the ball when it can: parts that meet in the ball (a small sphere beside
// a large one, the far side of a torus's hole), creased patches the brush
// covers whole or in part, faces in shuffled order. Against the stamps
// called alone, bit for bit after every step but in the normals; at each
// moving stroke's end every normal is the whole-mesh pass's.
TEST(StrokeScopes, FirstStampsSelectWhatTheWalkSelects) {
    const MeshPtr big = creasedSphere();
    MeshPtr small = creasedSphere();
    small->transform(mat4::Translation(2.35f, 0, 0) * mat4::Scale(0.1f));
    MeshPtr pair(new Mesh(big.get(), small.get()));
    pair->initialize(Mesh::ResizeKeep);
    MeshPtr meshes[] = {std::move(pair), MeshPtr(meshtest::torus(40, 30, 2, 0.6, true, true)), openTube(),
                        thinShell()};
    const int actions[] = {Sculptor::Deform, Sculptor::Smooth, Sculptor::PaintMaterial};
    const Sculptor::TSelect scopes[] = {Sculptor::SelectPatch, Sculptor::SelectComponent};
    std::mt19937 rng(5);
    for (MeshPtr& kept : meshes) {
        MeshPtr walked(kept->clone());
        for (int round = 0; round < 24; ++round) {
            const int action = actions[rng() % 3];
            const Sculptor::TSelect scope = scopes[rng() % 2];
            SCOPED_TRACE(testing::Message() << "round " << round << " action " << action << " scope " << scope);
            // Near a vertex, at the pair's gap or in the torus's hole.
            vec3 p = round % 4 == 3 ? vec3(round % 8 == 3 ? 2.2f : 0.0f, 0, 0)
                                    : kept->vertices[int(rng() % unsigned(kept->vertexCount()))].position;
            const float radius = 0.1f + 0.35f * float(rng() % 5);
            SBrush first = sample(*kept, p, radius);
            if (round % 8 == 3) first.itemId = kept->faceCount() - 1 - int(rng() % 2) * (kept->faceCount() - 1);
            Stroke s(action, scope);
            s.press(*kept, first);
            if (action == Sculptor::PaintMaterial) scopedStamp(*walked, action, scope, first, first);
            const bool moving = action != Sculptor::PaintMaterial;
            for (int i = 0; i < 3; ++i) {
                p += vec3(0.02f, -0.03f, 0.01f);
                SBrush next = first;
                next.point = p;
                s.step(*kept, next, moving && i == 2);
                const std::vector<SBrush>& samples = s.samples();
                scopedStamp(*walked, action, scope, samples[samples.size() - 2], samples.back());
                ASSERT_TRUE(sameBits(*kept, *walked, false)) << "step " << i;
            }
            if (moving) {
                EXPECT_EQ(offWholePass(*kept), 0);
            }
        }
    }
}

// The grid outlives the stroke. Between strokes the mesh changes outside
// them: small moves that keep vertices in their cells, a move of the whole
// mesh, positions put back in place as an undo does, a cut that adds
// records. The next strokes select what the scan selects.
TEST(StrokeGrid, KeptGridFollowsEditsBetweenStrokes) {
    MeshPtr kept = creasedSphere();
    MeshPtr scanned(kept->clone());
    std::mt19937 rng(3);
    auto stroke = [&](const vec3& at) {
        Stroke s(Sculptor::Deform, Sculptor::SelectElement);
        s.press(*kept, sample(*kept, at, 0.5f));
        vec3 p = at;
        for (int i = 0; i < 3; ++i) {
            p += vec3(0.3f, 0.1f, -0.05f);  // far enough to carry vertices out of the ball
            s.step(*kept, sample(*kept, p, 0.5f), i == 2);
            const std::vector<SBrush>& samples = s.samples();
            scanned->selectV(samples[samples.size() - 2].point, 0.5f, true);
            scanned->_deform(samples.back().point - samples[samples.size() - 2].point);
            scanned->applyDisplacement();
            scanned->deselectAll();
            scanned->calculateNormals(2);
            kept->calculateNormals(2);
            ASSERT_TRUE(sameBits(*kept, *scanned)) << "step " << i;
        }
    };
    using Edit = void (*)(Mesh& m, const Mesh& before, std::mt19937::result_type seed);
    const Edit edits[] = {
        [](Mesh& m, const Mesh&, std::mt19937::result_type seed) {
            std::mt19937 r(seed);
            for (int v = 0; v < m.vertexCount(); ++v)
                m.vertices[v].position += vec3(float(r() % 9) - 4, float(r() % 9) - 4, float(r() % 9) - 4) * 0.02f;
            m.positionsEdited();
        },
        [](Mesh& m, const Mesh&, std::mt19937::result_type) { m.transform(mat4::Translation(0.3f, -0.2f, 0.1f)); },
        [](Mesh& m, const Mesh& before, std::mt19937::result_type) {
            for (int v = 0; v < m.vertexCount(); ++v) m.vertices[v].position = before.vertices[v].position;
            m.positionsEdited();
        },
        [](Mesh& m, const Mesh&, std::mt19937::result_type) { m.cutPlane(vec3(0, 0.5f, 0), vec3(0, 1, 0)); },
    };
    const vec3 at = kept->vertices[9].position;
    stroke(at);
    for (const Edit edit : edits) {
        const Mesh before(*kept);
        stroke(at);
        const auto seed = rng();
        edit(*kept, before, seed);
        edit(*scanned, before, seed);
        ASSERT_TRUE(sameBits(*kept, *scanned));
        stroke(at);
    }
}

// The grid kept across strokes trusts the positions it holds until the
// mesh's own edits mark them stale. After each edit made outside a stroke
// (an undo that reads back an earlier record, a transform, whole-mesh
// operators that move vertices, a bump pressed in) strokes of the element
// and of the patch select exactly what the same strokes select on a copy
// of the edited mesh, whose grid is built fresh.
TEST(StrokeGrid, EditsOutsideStrokesSelectWhatAFreshGridSelects) {
    MeshPtr kept = creasedSphere();
    const vec3 at = kept->vertices[9].position;
    // Strokes of both scopes on the kept mesh, then (one hand strokes one
    // mesh at a time) the same strokes on the copy, step by step equal.
    auto stroke = [&](Mesh& m, Sculptor::TSelect scope, std::vector<MeshPtr>* steps) {
        Stroke s(Sculptor::Deform, scope);
        s.press(m, sample(m, at, 0.5f));
        vec3 p = at;
        for (int i = 0; i < 3; ++i) {
            p += vec3(0.3f, 0.1f, -0.05f);
            s.step(m, sample(m, p, 0.5f), i == 2);
            if (steps) steps->emplace_back(m.clone());
        }
    };
    auto strokes = [&](Mesh* copy) {
        for (const Sculptor::TSelect scope : {Sculptor::SelectElement, Sculptor::SelectPatch}) {
            std::vector<MeshPtr> steps, copySteps;
            stroke(*kept, scope, &steps);
            if (!copy) continue;
            stroke(*copy, scope, &copySteps);
            for (std::size_t i = 0; i < steps.size(); ++i)
                ASSERT_TRUE(sameBits(*steps[i], *copySteps[i])) << "scope " << scope << " step " << i;
        }
    };
    std::shared_ptr<buffer> before;
    using Edit = std::function<void(Mesh&)>;
    const Edit edits[] = {
        [&](Mesh& m) { readBack(m, *before); },
        [](Mesh& m) { m.transform(mat4::Translation(0.3f, -0.2f, 0.1f)); },
        [](Mesh& m) { m.relaxAll(true); },
        [](Mesh& m) { m.smoothAll(true, true); },
        [](Mesh& m) { m.spherize(); },
        [&](Mesh& m) {
            const vec3 n = normalize(at);
            m.subSphere(at, n, at + vec3(0.25f, 0, 0), true, pbr());
        },
        // A drag of forty stamps over ten brush radii: the vertices it
        // carries cross many cells.
        [&](Mesh& m) {
            Stroke s(Sculptor::Deform, Sculptor::SelectElement);
            s.press(m, sample(m, at, 0.3f));
            for (int i = 1; i <= 40; ++i) s.step(m, sample(m, at + vec3(0.075f, 0, 0) * float(i), 0.3f), i == 40);
        },
    };
    keepGrid(*kept, at, 0.5f);
    strokes(nullptr);
    ASSERT_TRUE(kept->strokeGridKept());
    afterEachEdit(*kept, edits, before, strokes, true);
}

// Scoped strokes on a thin shell decide from the component and patch labels
// kept across strokes. After each edit of the topology made outside a
// stroke (sharp edges by angle and none, a band of faces erased round the
// rim, edges flipped, a cut and a clip, an undo that reads back an earlier
// record, the records put in space order) strokes of both scopes select
// exactly what the same strokes select on a copy of the edited mesh, which
// finds its labels afresh.
TEST(StrokeScopes, TopologyEditsBetweenStrokesSelectWhatAFreshCopySelects) {
    MeshPtr kept = thinShell();
    int top = 0;
    for (int v = 0; v < kept->vertexCount(); ++v)
        if (kept->vertices[v].position.z > kept->vertices[top].position.z) top = v;
    const vec3 at = kept->vertices[top].position + vec3(0.3f, 0.2f, 0);
    auto stroke = [&](Mesh& m, int action, Sculptor::TSelect scope, std::vector<MeshPtr>* steps) {
        Stroke s(action, scope);
        s.press(m, sample(m, at, 0.5f));
        vec3 p = at;
        for (int i = 0; i < 3; ++i) {
            p += vec3(0.05f, 0.02f, 0);
            s.step(m, sample(m, p, 0.5f), i == 2, false);
            if (steps) steps->emplace_back(m.clone());
        }
    };
    auto strokes = [&](Mesh* copy) {
        for (const int action : {int(Sculptor::Deform), int(Sculptor::PaintMaterial)})
            for (const Sculptor::TSelect scope : {Sculptor::SelectPatch, Sculptor::SelectComponent}) {
                std::vector<MeshPtr> steps, copySteps;
                stroke(*kept, action, scope, &steps);
                if (!copy) continue;
                stroke(*copy, action, scope, &copySteps);
                for (std::size_t i = 0; i < steps.size(); ++i)
                    ASSERT_TRUE(sameBits(*steps[i], *copySteps[i]))
                        << "action " << action << " scope " << scope << " step " << i;
            }
    };
    std::shared_ptr<buffer> before;
    using Edit = std::function<void(Mesh&)>;
    const Edit edits[] = {
        [](Mesh& m) { m.makeSharp(30.0f); },
        [](Mesh& m) { m.makeSmooth(); },
        [](Mesh& m) {
            // The faces that cross the rim: top and bottom fall apart
            // (the records stay until a compaction).
            for (int f = 0; f < m.faceCount(); ++f) {
                const MeshFace& F = m.faces[f];
                float lo = 1, hi = -1;
                for (const int v : F.v) {
                    lo = std::min(lo, m.vertices[v].position.z);
                    hi = std::max(hi, m.vertices[v].position.z);
                }
                if (lo < 0 && hi > 0) m.faceErase(f);
            }
        },
        [](Mesh& m) {
            for (int f = 0; f < m.faceCount(); f += 7) m.edgeFlipFK(f, f % 3);
        },
        [&](Mesh& m) { readBack(m, *before); },
        [&](Mesh& m) { m.cutPlane(at + vec3(0.12f, 0, 0), vec3(1, 0, 0)); },
        [&](Mesh& m) { m.clipPlane(at + vec3(1.0f, 0, 0), vec3(1, 0.2f, 0)); },
        [](Mesh& m) {
            m.orderSpatially();
            m.initialize(Element::ResizeKeep);
        },
    };
    strokes(nullptr);
    afterEachEdit(*kept, edits, before, strokes, false);
}

// The grid is built behind the strokes: its positions copied in the first
// stamp of a stroke, its bins made by a worker that runs here only when the
// test says. The stamps made meanwhile move vertices far across cells; the
// stamps after the grid takes over select what the scan selects.
TEST(StrokeBehind, MovesMadeWhileTheGridIsBuiltAreFollowed) {
    Deferred deferred;
    MeshPtr kept = creasedSphere();
    MeshPtr scanned(kept->clone());
    Stroke s(Sculptor::Deform, Sculptor::SelectElement);
    vec3 p = kept->vertices[9].position;
    s.press(*kept, sample(*kept, p, 0.5f));
    auto step = [&](bool end) {
        p += vec3(0.3f, 0.1f, -0.05f);  // far enough to carry vertices out of the ball
        s.step(*kept, sample(*kept, p, 0.5f), end);
        const std::vector<SBrush>& samples = s.samples();
        scannedDeform(*scanned, samples[samples.size() - 2], samples.back());
        Mesh a(*kept), b(*scanned);
        a.calculateNormals(2);
        b.calculateNormals(2);
        return sameBits(a, b);
    };
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(step(false)) << "step " << i;
    EXPECT_FALSE(kept->strokeGridKept());
    ASSERT_EQ(BackgroundJob::runDeferred(), 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(step(i == 2)) << "step " << i << " after";
        EXPECT_TRUE(kept->strokeGridKept());
    }
}

// A large brush moves more than the stroke's end refreshes vertex by
// vertex: the end takes the whole-mesh pass, which moves nothing and so
// leaves a grid being built behind the strokes to go on; the next stroke
// takes it over at its first stamp.
TEST(StrokeBehind, ABuildUnderWayOutlivesALargeBrushsWholePassEnd) {
    Deferred deferred;
    MeshPtr m = creasedSphere();
    const vec3 at = m->vertices[9].position;
    Stroke large(Sculptor::Deform, Sculptor::SelectElement);
    large.press(*m, sample(*m, at, 1.5f));
    large.step(*m, sample(*m, at + vec3(0.02f, 0, 0), 1.5f));
    large.step(*m, sample(*m, at, 1.5f), true);
    EXPECT_EQ(offWholePass(*m), 0);
    EXPECT_FALSE(m->strokeGridKept());
    ASSERT_EQ(BackgroundJob::runDeferred(), 1);
    Stroke next(Sculptor::Deform, Sculptor::SelectElement);
    next.press(*m, sample(*m, at, 1.5f));
    next.step(*m, sample(*m, at + vec3(0.02f, 0, 0), 1.5f));
    EXPECT_TRUE(m->strokeGridKept());
    next.step(*m, sample(*m, at, 1.5f), true);
}

// Scoped stamps find the labels behind the strokes, as the grid is; an
// edit of the topology (and the positions) while the workers run cancels
// them, and both are found afresh for the edited mesh; a mesh gone while
// its workers are pending takes them with it.
TEST(StrokeBehind, LabelsFoundBehindTheStrokesFollowTheTopology) {
    Deferred deferred;
    MeshPtr m(meshtest::torus(40, 30, 2, 0.6, false, false));
    const vec3 at = m->vertices[9].position;
    auto stroke = [&](Mesh& mesh) {
        Stroke s(Sculptor::Deform, Sculptor::SelectPatch);
        s.press(mesh, sample(mesh, at, 0.1f));
        for (int i = 1; i <= 4; ++i) s.step(mesh, sample(mesh, at, 0.1f), i == 4, false);
    };
    stroke(*m);
    EXPECT_FALSE(m->strokeLabelsKept());
    m->makeSharp(30.0f);
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);
    stroke(*m);
    EXPECT_FALSE(m->strokeGridKept());
    EXPECT_FALSE(m->strokeLabelsKept());
    ASSERT_EQ(BackgroundJob::runDeferred(), 2);
    stroke(*m);
    EXPECT_TRUE(m->strokeGridKept());
    EXPECT_TRUE(m->strokeLabelsKept());
    MeshPtr copy(m->clone());
    copy->makeSmooth();
    stroke(*copy);
    EXPECT_FALSE(copy->strokeLabelsKept());
    copy.reset();
    EXPECT_EQ(BackgroundJob::runDeferred(), 0);
}
