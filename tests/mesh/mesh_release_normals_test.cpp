// The normals at the end of every stroke on a sculpted mesh are the
// whole-mesh pass's, bit for bit: also where the stroke erased a component
// or cut by a plane and the record lists were compacted (the last faces
// fill the holes, which changes the order in which that pass sums a
// vertex's faces).

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/mesh_kept_util.h"
#include "mesh/mesh_measure_util.h"
#include "mesh/mesh_util.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;

namespace {

using meshtest::offWholePass;

// Actions of every group: moving strokes, paint, the erases, topology
// strokes, plane and sphere cuts (EraseComponent and CutPlane, the ones
// whose compaction reordered faces, more often).
const int kActions[] = {
    Sculptor::Move,           Sculptor::CopyMove,     Sculptor::Rotate,          Sculptor::CopyScale,
    Sculptor::Deform,         Sculptor::DeformVolume, Sculptor::Smooth,          Sculptor::Twist,
    Sculptor::Pinch,          Sculptor::Relax,        Sculptor::PaintMaterial,   Sculptor::EraseComponent,
    Sculptor::EraseComponent, Sculptor::ErasePatch,   Sculptor::EraseFeature,    Sculptor::Extrude,
    Sculptor::ExtrudeDeform,  Sculptor::TearNormal,   Sculptor::Bevel,           Sculptor::CutPlane,
    Sculptor::CutPlane,       Sculptor::ClipPlane,    Sculptor::SubPlane,        Sculptor::CutSphere,
    Sculptor::ClipSphere,     Sculptor::SubSphere,    Sculptor::AddSphereReverse};

// One stroke as the view makes it: the press, a few moves, the release,
// with up to two symmetric copies (mirrored in x, in y).
void randomStroke(Mesh& m, std::mt19937& rng, int action, Sculptor::TSelect scope, int copies) {
    std::vector<Sculptor> sculptors{std::size_t(copies)};
    std::vector<Sculptor*> list;
    auto coordinate = [&rng] { return float(int(rng() % 201) - 100); };
    const vec3 view = normalize(vec3(coordinate(), coordinate(), coordinate()) + vec3(0.5f, 0.25f, 0.125f));
    for (int c = 0; c < copies; ++c) {
        Sculptor& s = sculptors[std::size_t(c)];
        s.action = Sculptor::TAction(action);
        s.select = scope;
        s.viewDirection = c == 1 ? vec3(-view.x, view.y, view.z) : c == 2 ? vec3(view.x, -view.y, view.z) : view;
        s.handedness = std::int8_t(c == 0 ? 1 : -1);
        s.begin();
        list.push_back(&s);
    }
    const float radius = m.size() * (0.03f + 0.04f * float(rng() % 5));
    auto sample = [&](int c, const vec3& p, bool pick) {
        SBrush b;
        b.point = c == 1 ? vec3(-p.x, p.y, p.z) : c == 2 ? vec3(p.x, -p.y, p.z) : p;
        b.normal = vec3(0, 0, 1);
        b.radius = radius;
        b.itemId = pick && c == 0 ? m.findFirstFace(b.point) : -1;
        b.material = pbr(wvec4(65535, 0, 0, 65535), wvec4(0, 0, 0, 65535), 0, 0);
        return b;
    };
    vec3 p = meshtest::surfacePoint(m, rng);
    for (int c = 0; c < copies; ++c) sculptors[std::size_t(c)].samples.push_back(sample(c, p, true));
    m.sculpt(list);
    const vec3 step = vec3(coordinate(), coordinate(), coordinate()) * (m.size() * 0.001f);
    const int moves = 1 + int(rng() % 4);
    for (int i = 0; i < moves; ++i) {
        p += step;
        const bool pick = rng() % 3 != 0;
        for (int c = 0; c < copies; ++c) {
            Sculptor& s = sculptors[std::size_t(c)];
            s.move();
            if (i + 1 == moves) s.end();
            s.samples.push_back(sample(c, p, pick));
        }
        m.sculpt(list);
    }
}

}  // namespace

// A sculpted mesh and a released EraseComponent stroke with three copies:
// the component erased, the compaction moved faces of what remains into
// the holes, and 424 faces kept normals summed in the old order.
TEST(ReleaseNormals, ErasedComponentKeepsTheWholePassNormals) {
    const MeshPtr m = meshtest::loadKeptMesh(TL_TEST_DATA "/erase_component_normals.kept");
    ASSERT_TRUE(m);
    ASSERT_EQ(m->faceCount(), 18004);
    ASSERT_EQ(offWholePass(*m), 0);
    int calls = 0;
    ASSERT_TRUE(meshtest::replayStrokes(*m, TL_TEST_DATA "/erase_component_normals.stroke", [&](int call) {
        calls = call;
        EXPECT_EQ(offWholePass(*m), 0) << "call " << call;
        return true;
    }));
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(m->vertexCount(), 970);
    EXPECT_EQ(m->faceCount(), 1748);
}

// Random strokes of every group and scope on sculpted meshes (the kept one
// and a sphere, each sculpted further by the strokes before): after each
// stroke's end every normal is the whole pass's. A mesh that grows large
// or is nearly erased is taken again from its start.
TEST(ReleaseNormals, RandomStrokesOnSculptedMeshesEndOnTheWholePass) {
    const MeshPtr kept = meshtest::loadKeptMesh(TL_TEST_DATA "/erase_component_normals.kept");
    ASSERT_TRUE(kept);
    MeshPtr sphere(meshtest::primitive(8));
    sphere->initialize(Element::ResizeMean);
    const Mesh* starts[] = {kept.get(), sphere.get()};
    const Sculptor::TSelect scopes[] = {Sculptor::SelectElement, Sculptor::SelectPatch, Sculptor::SelectAllPatches,
                                        Sculptor::SelectComponent};
    for (unsigned seed = 0; seed < 4; ++seed) {
        const Mesh& start = *starts[seed % 2];
        MeshPtr m(new Mesh(start));
        std::mt19937 rng(seed * 7919u + 3u);
        for (int round = 0; round < 36; ++round) {
            if (m->faceCount() < 64 || m->faceCount() > 40000) m.reset(new Mesh(start));
            const int action = kActions[rng() % (sizeof kActions / sizeof kActions[0])];
            const Sculptor::TSelect scope = scopes[rng() % 4];
            const int copies = 1 + int(rng() % 3);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round << " action " << action
                                            << " scope " << scope << " copies " << copies);
            randomStroke(*m, rng, action, scope, copies);
            ASSERT_EQ(offWholePass(*m), 0);
        }
    }
}

// Plane cuts of the whole mesh, of a component and along a band through
// the picked face, on copies of the sculpted mesh: where coincident cut
// points were welded the compaction moved faces, and the normals there
// still are the whole pass's.
TEST(ReleaseNormals, PlaneCutsOnASculptedMeshEndOnTheWholePass) {
    const MeshPtr kept = meshtest::loadKeptMesh(TL_TEST_DATA "/erase_component_normals.kept");
    ASSERT_TRUE(kept);
    std::mt19937 rng(11);
    auto coordinate = [&rng] { return float(int(rng() % 201) - 100); };
    for (int i = 0; i < 90; ++i) {
        Mesh m(*kept);
        const vec3 point = meshtest::surfacePoint(m, rng);
        const vec3 normal = normalize(vec3(coordinate(), coordinate(), coordinate()) + vec3(0.5f, 0.25f, 0.125f));
        const int face = m.findFirstFace(point);
        SCOPED_TRACE(testing::Message() << "cut " << i << " form " << i % 3);
        if (i % 3 == 0)
            m.cutPlane(point, normal);
        else if (i % 3 == 1)
            m.cutPlaneF(point, normal, face);
        else
            m.cutPlaneG_(point, normal, face);
        EXPECT_EQ(offWholePass(m), 0);
    }
}

// A mesh whose rebuild failed (an edge of three faces, as a damaged file
// can hold) has no links: the apex's six faces are six fans. A Deform
// stroke that moves the apex alone ends with every face round it, not
// just its stored face's, on the whole pass.
TEST(ReleaseNormals, UnlinkedMeshEndsOnTheWholePass) {
    Mesh m;
    m.vertexAdd(vec3(0, 0, 1));
    for (int i = 0; i < 6; ++i)
        m.vertexAdd(vec3(4.0f * std::cos(1.0471976f * float(i)), 4.0f * std::sin(1.0471976f * float(i)), 0));
    for (int i = 0; i < 6; ++i) m.faceAdd(0, 1 + i, 1 + (i + 1) % 6);
    const int a = m.vertexAdd(vec3(10, 0, 0)), b = m.vertexAdd(vec3(11, 0, 0));
    for (int i = 0; i < 3; ++i) m.faceAdd(a, b, m.vertexAdd(vec3(10.5f, float(i), 1)));
    m.initialize(Element::ResizeMean);
    ASSERT_EQ(m.status, 1);
    m.calculateNormals(2);

    Sculptor s;
    s.action = Sculptor::Deform;
    s.select = Sculptor::SelectElement;
    s.viewDirection = vec3(0, 0, 1);
    s.handedness = 1;
    s.begin();
    std::vector<Sculptor*> list{&s};
    SBrush brush;
    brush.point = vec3(0, 0, 1);
    brush.normal = vec3(0, 0, 1);
    brush.radius = 1.0f;
    brush.itemId = 0;
    s.samples.push_back(brush);
    m.sculpt(list);
    s.move();
    s.end();
    brush.point = vec3(0, 0, 1.5f);
    s.samples.push_back(brush);
    m.sculpt(list);
    ASSERT_EQ(m.vertices[0].position, vec3(0, 0, 1.5f));
    ASSERT_EQ(m.vertices[1].position, vec3(4, 0, 0));
    EXPECT_EQ(offWholePass(m), 0);
}
