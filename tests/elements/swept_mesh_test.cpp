// Tubes and revolutons converted to meshes: counts, sharp edges and corner
// materials, the revoluton's welding at the axis, compaction of the curves,
// refusals, and the whole-scene OBJ export of a revoluton.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;

namespace {

// An open profile from (x, -1, z) round (1, 0, 0) to (x, 1, z).
Curve* meridian(int n, float x, float z = 0) {
    std::vector<vec3> points;
    for (int i = 0; i <= n; ++i) {
        const double t = 3.141592653589793 * (double(i) / n - 0.5);
        points.emplace_back(float(std::cos(t)), float(std::sin(t)), 0.0f);
    }
    points.front() = vec3(x, -1, z);
    points.back() = vec3(x, 1, z);
    return new Curve(points, false);
}

// The element's conversion, checked: a sound mesh without inactive records.
// The element is held by `held` (one reference).
std::unique_ptr<Mesh> convert(Element* e, std::shared_ptr<Element>& held) {
    e->copy(1);
    held.reset(e, [](Element* x) { Element::drop(x, 1); });
    std::unique_ptr<Mesh> m(e->ToMesh());
    if (m) {
        EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
        EXPECT_EQ(meshtest::activeVertexCount(*m), m->vertexCount());
        EXPECT_EQ(meshtest::activeFaceCount(*m), m->faceCount());
    }
    return m;
}

int borderVertices(const Mesh& m) {
    int n = 0;
    for (std::size_t v = 0; v < m.vertices.size(); ++v) n += m.vertices[v].isBorder() ? 1 : 0;
    return n;
}

}  // namespace

TEST(SweptMesh, OpenTubeHasOneSharpRingEdgePerFaceAndProductMaterials) {
    Curve* path = new Curve({vec3(0, 0, 0), vec3(1, 0.5f, 0)}, false);
    Curve* profile = Curve::Circle(6, false);
    path->edges[0].material[1].colour[0] = 32768;
    for (CurveEdge& F : profile->edges) {
        F.material[0].roughness = 20000;
        F.material[1].colour[1] = 16384;
    }
    path->edges[0].material[0].roughness = 20000;
    std::shared_ptr<Element> tube;
    const std::unique_ptr<Mesh> m = convert(new Tube(path, profile), tube);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->vertexCount(), 12);
    ASSERT_EQ(m->faceCount(), 12);
    EXPECT_EQ(borderVertices(*m), 12);
    EXPECT_TRUE(m->centre == tube->centre && m->size() == tube->size());
    for (int i = 0; i < 12; ++i) {
        const MeshFace& F = m->faces[std::size_t(i)];
        EXPECT_EQ(F.flags & MeshFace::SharpMask, MeshFace::SHARP[1]) << i;
        EXPECT_EQ(F.v[2] / 6, F.v[0] / 6) << "the sharp edge lies on a ring of 6";
        // Corner material: path end (ring) x profile end, quad i / 2.
        const CurveEdge& P = profile->edges[std::size_t(i / 2)];
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(F.material[k], path->edges[0].material[F.v[k] / 6] * P.material[F.v[k] % 6 == P.v[0] ? 0 : 1]);
    }
    EXPECT_EQ(m->faces[0].material[0].roughness, 32766) << "40000 clamped";
}

TEST(SweptMesh, RevolutonWeldsRingsStrictlyInsideTheAxisToleranceAndCloses) {
    struct Case {
        int edges;
        float x, z;
        bool welded;
    };
    const Case cases[] = {{4, 0, 0, true},
                          {2, 0.00005f, 0, true},
                          {2, -0.00005f, 0.00005f, true},
                          {2, 0.0001f, 0, false},
                          {2, 0, -0.0001f, false}};
    for (const Case& k : cases) {
        std::shared_ptr<Element> r;
        const std::unique_ptr<Mesh> m =
            convert(new Revoluton(meridian(k.edges, k.x, k.z), Curve::Circle(16, false)), r);
        ASSERT_TRUE(m);
        const int rings = k.edges + 1, poles = k.welded ? 2 : 0;
        EXPECT_EQ(m->vertexCount(), (rings - poles) * 16 + poles) << k.x << ", " << k.z;
        EXPECT_EQ(m->faceCount(), (2 * k.edges - poles) * 16);
        EXPECT_EQ(borderVertices(*m), k.welded ? 0 : 2 * 16) << "closed when welded";
        for (int v = 0; v < m->vertexCount(); ++v) {
            const vec3& p = m->vertices[std::size_t(v)].position;
            std::vector<int> fan;
            if (std::fabs(p.x) < 0.0001f && std::fabs(p.z) < 0.0001f) {
                EXPECT_EQ(m->findFNeighbours(v, fan), k.welded ? 16 : 3) << "one triangle per quad at a pole";
            }
        }
    }
}

TEST(SweptMesh, PendingRemovalsAreCompactedBeforeConverting) {
    Curve* path = new Curve({vec3(0, 0, 0), vec3(1, 0, 0), vec3(2, 0, 0), vec3(3, 0, 0)}, false);
    Curve* profile = Curve::Circle(6, false);
    std::shared_ptr<Element> tube;
    convert(new Tube(path, profile), tube);
    path->edgeErase(0);     // vertex 0 goes with it
    profile->edgeErase(2);  // the profile opens; every vertex stays
    ASSERT_TRUE(path->pendingRemoval && profile->pendingRemoval);
    std::unique_ptr<Mesh> m(tube->ToMesh());
    ASSERT_TRUE(m);
    EXPECT_EQ(meshtest::checkMeshInvariants(*m), "");
    EXPECT_FALSE(path->pendingRemoval || profile->pendingRemoval);
    EXPECT_TRUE(path->vertexCount() == 3 && profile->edgeCount() == 5);
    EXPECT_EQ(m->vertexCount(), 3 * 6);
    EXPECT_EQ(m->faceCount(), 2 * 2 * 5);
    for (int v = 0; v < m->vertexCount(); ++v) EXPECT_GT(m->vertices[std::size_t(v)].position.x, 0.5f);
}

TEST(SweptMesh, RefusesMissingOrEdgelessCurvesAndSurfacesBeyondTheIndices) {
    Element* const cases[] = {
        new Tube(nullptr, Curve::Circle(6, false)),
        new Revoluton(meridian(4, 0), nullptr),
        new Tube(new Curve({vec3(1, 0, 0)}, false), Curve::Circle(6, false)),
        // 2^30 vertices fit, 2^31 faces do not; 46341^2 vertices do not.
        new Tube(Curve::Circle(32768, false), Curve::Circle(32768, false)),
        new Revoluton(Curve::Circle(46341, false), Curve::Circle(46341, false)),
        // Both edges of a two-vertex loop join the same vertices: four faces
        // would share each ring edge.
        new Revoluton(meridian(4, 0.5f), Curve::Circle(2, false)),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::shared_ptr<Element> held;
        EXPECT_EQ(convert(cases[i], held), nullptr) << "case " << i;
    }
}

TEST(SweptMesh, ObjExportOfARevolutonWritesItsFaces) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/revoluton.obj";
    {
        Scene scene;
        Tool source(new Revoluton(meridian(4, 0), Curve::Circle(8, false)), mat4::Identity(), pbr(), false);
        scene.addObject(&source, mat4::Identity(), Scene::HangTop, false);
        ASSERT_TRUE(scene.save(path.toStdString()));
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    int faces = 0;
    for (const QByteArray& l : f.readAll().split('\n')) faces += l.startsWith("f ") ? 1 : 0;
    EXPECT_EQ(faces, 2 * 4 * 8 - 2 * 8);
}
