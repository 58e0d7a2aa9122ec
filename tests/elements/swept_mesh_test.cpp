// Tubes and revolutons converted to meshes: counts, sharp edges and corner
// materials, the revoluton's welding at the axis, compaction of the curves,
// refusals, and the whole-scene OBJ export of a revoluton.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "scene/scene.h"
#include "scene/tool.h"

using namespace qel;
using meshtest::activeFaceCount;
using meshtest::activeVertexCount;
using meshtest::checkMeshInvariants;

namespace {

Curve* line(int n) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) points.emplace_back(float(i), 0.5f * float(i), 0);
    return new Curve(points, false);
}

// An open profile from (ends, -1, 0) round x = 1 to (ends, 1, 0), the end
// points moved off the axis by `ends` in x and `endsZ` in z.
Curve* meridian(int n, float ends, float endsZ = 0) {
    std::vector<vec3> points;
    for (int i = 0; i <= n; ++i) {
        const double t = 3.141592653589793 * (double(i) / n - 0.5);
        points.emplace_back(float(std::cos(t)), float(std::sin(t)), 0.0f);
    }
    points.front() = vec3(ends, -1, endsZ);
    points.back() = vec3(ends, 1, endsZ);
    return new Curve(points, false);
}

// Holds an element and its conversion, and checks the mesh's invariants.
template <class E>
struct Converted {
    std::unique_ptr<E> element;
    std::unique_ptr<Mesh> mesh;
    explicit Converted(E* e) : element(e) {
        element->copy(1);
        mesh.reset(element->ToMesh());
        if (mesh) {
            EXPECT_EQ(checkMeshInvariants(*mesh), "");
            EXPECT_EQ(activeVertexCount(*mesh), mesh->vertexCount()) << "no inactive vertex record";
            EXPECT_EQ(activeFaceCount(*mesh), mesh->faceCount()) << "no inactive face record";
        }
    }
    ~Converted() {
        mesh.reset();
        Element* e = element.release();
        Element::drop(e, 1);
    }
};

int borderVertices(const Mesh& m) {
    int n = 0;
    for (std::size_t v = 0; v < m.vertices.size(); ++v) n += m.vertices[v].isBorder() ? 1 : 0;
    return n;
}

pbr paint(std::uint16_t red, std::int16_t roughness) {
    pbr p;
    p.colour[0] = red;
    p.roughness = roughness;
    return p;
}

}  // namespace

TEST(SweptMesh, OpenTubeHasOneSharpRingEdgePerFaceAndProductMaterials) {
    Curve* path = line(2);
    Curve* profile = Curve::Circle(6, false);
    path->edges[0].material[0] = paint(65535, 20000);
    path->edges[0].material[1] = paint(32768, 0);
    for (CurveEdge& F : profile->edges) {
        F.material[0] = paint(65535, 20000);
        F.material[1] = paint(16384, -100);
    }
    Converted<Tube> c(new Tube(path, profile));
    ASSERT_TRUE(c.mesh);
    const Mesh& m = *c.mesh;
    ASSERT_EQ(m.vertexCount(), 12);
    ASSERT_EQ(m.faceCount(), 12);
    EXPECT_EQ(borderVertices(m), 12);
    EXPECT_EQ(m.centre, c.element->centre);
    EXPECT_EQ(m.size(), c.element->size());
    for (int i = 0; i < 12; ++i) {
        const MeshFace& F = m.faces[std::size_t(i)];
        int sharp = 0;
        for (int k = 0; k < 3; ++k) sharp += F.isSharp(k) ? 1 : 0;
        EXPECT_EQ(sharp, 1) << "face " << i;
        EXPECT_TRUE(F.isSharp(1)) << "face " << i;
        // The sharp edge joins two vertices of one ring (rings of 6).
        EXPECT_EQ(F.v[2] / 6, F.v[0] / 6) << "face " << i;
        // Corner materials: path end (ring) times profile end of quad i / 2.
        const CurveEdge& P = c.element->profile->edges[std::size_t(i / 2)];
        for (int k = 0; k < 3; ++k) {
            const int ring = F.v[k] / 6, end = (F.v[k] % 6 == P.v[0]) ? 0 : 1;
            EXPECT_EQ(F.material[k], c.element->path->edges[0].material[ring] * P.material[end]);
        }
    }
    EXPECT_EQ(m.faces[0].material[0].roughness, 32766) << "40000 clamped";
}

TEST(SweptMesh, RevolutonFromAxisToAxisClosesAtOneVertexPerPole) {
    Converted<Revoluton> c(new Revoluton(meridian(4, 0), Curve::Circle(16, false)));
    ASSERT_TRUE(c.mesh);
    const Mesh& m = *c.mesh;
    EXPECT_EQ(m.vertexCount(), 2 + 3 * 16);
    EXPECT_EQ(m.faceCount(), 2 * 4 * 16 - 2 * 16);
    EXPECT_EQ(borderVertices(m), 0);
    int poles = 0;
    for (int v = 0; v < m.vertexCount(); ++v) {
        const vec3& p = m.vertices[std::size_t(v)].position;
        if (std::fabs(p.x) >= 1e-4f || std::fabs(p.z) >= 1e-4f) continue;
        ++poles;
        std::vector<int> ring;
        EXPECT_EQ(m.findFNeighbours(v, ring), 16) << "one triangle per quad at the pole";
    }
    EXPECT_EQ(poles, 2);
    for (std::size_t f = 0; f < m.faces.size(); ++f)
        for (int k = 0; k < 3; ++k) EXPECT_GE(m.faces[f].f[k], 0) << "closed";
    EXPECT_EQ(m.centre, vec3(0, c.element->centre.y, 0));
}

TEST(SweptMesh, RevolutonWeldsOnlyStrictlyInsideTheAxisTolerance) {
    struct Case {
        float x, z;
        bool welded;
    };
    const Case cases[] = {{0.00005f, 0, true}, {-0.00005f, 0.00005f, true}, {0.0001f, 0, false}, {0, -0.0001f, false}};
    for (const Case& k : cases) {
        Converted<Revoluton> c(new Revoluton(meridian(2, k.x, k.z), Curve::Circle(16, false)));
        ASSERT_TRUE(c.mesh);
        EXPECT_EQ(c.mesh->vertexCount(), k.welded ? 2 + 16 : 3 * 16) << k.x << ", " << k.z;
        EXPECT_EQ(c.mesh->faceCount(), k.welded ? 2 * 16 : 4 * 16) << k.x << ", " << k.z;
        EXPECT_EQ(borderVertices(*c.mesh), k.welded ? 0 : 2 * 16);
    }
}

TEST(SweptMesh, PendingRemovalsAreCompactedBeforeConverting) {
    Curve* path = line(4);
    Curve* profile = Curve::Circle(6, false);
    Converted<Tube> c(new Tube(path, profile));
    c.mesh.reset();
    path->edgeErase(0);     // vertex 0 goes with it
    profile->edgeErase(2);  // the profile opens; every vertex stays
    ASSERT_TRUE(path->pendingRemoval && profile->pendingRemoval);
    c.mesh.reset(c.element->ToMesh());
    ASSERT_TRUE(c.mesh);
    EXPECT_EQ(checkMeshInvariants(*c.mesh), "");
    EXPECT_FALSE(path->pendingRemoval || profile->pendingRemoval);
    EXPECT_EQ(path->vertexCount(), 3);
    EXPECT_EQ(profile->edgeCount(), 5);
    EXPECT_EQ(c.mesh->vertexCount(), 3 * 6);
    EXPECT_EQ(c.mesh->faceCount(), 2 * 2 * 5);
    for (int v = 0; v < c.mesh->vertexCount(); ++v)
        EXPECT_GT(c.mesh->vertices[std::size_t(v)].position.x, 0.5f) << "nothing left of the removed vertex";
}

TEST(SweptMesh, RefusesMissingOrEdgelessCurvesAndSurfacesBeyondTheIndices) {
    const std::vector<vec3> one = {vec3(1, 0, 0)};
    struct Case {
        const char* name;
        Element* element;
    };
    const Case cases[] = {
        {"tube without path", new Tube(nullptr, Curve::Circle(6, false))},
        {"revoluton without section", new Revoluton(meridian(4, 0), nullptr)},
        {"path without edges", new Tube(new Curve(one, false), Curve::Circle(6, false))},
        {"section without edges", new Revoluton(meridian(4, 0), new Curve(one, true))},
        // 2^30 vertices fit, 2^31 faces do not.
        {"faces beyond the indices", new Tube(Curve::Circle(32768, false), Curve::Circle(32768, false))},
        // 46341^2 vertices do not fit.
        {"vertices beyond the indices", new Revoluton(Curve::Circle(46341, false), Curve::Circle(46341, false))},
        // Both edges of a two-vertex loop run between the same two vertices:
        // the ring edges would join four faces.
        {"unlinkable faces", new Revoluton(meridian(4, 0.5f), Curve::Circle(2, false))},
    };
    for (const Case& k : cases) {
        k.element->copy(1);
        Mesh* m = k.element->ToMesh();
        EXPECT_EQ(m, nullptr) << k.name;
        delete m;
        Element::drop(k.element, 1);
    }
}

TEST(SweptMesh, ObjExportOfARevolutonWritesItsFaces) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = (dir.path() + "/revoluton.obj").toStdString();
    int expected = 0;
    {
        Scene scene;
        auto* r = new Revoluton(meridian(4, 0), Curve::Circle(8, false));
        Tool source(r, mat4::Identity(), pbr(), false);
        scene.addObject(&source, mat4::Identity(), Scene::HangTop, false);
        std::unique_ptr<Mesh> m(r->ToMesh());
        ASSERT_TRUE(m);
        expected = m->faceCount();
        ASSERT_TRUE(scene.save(path));
    }
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    int faces = 0;
    for (const QByteArray& l : f.readAll().split('\n')) faces += l.startsWith("f ") ? 1 : 0;
    EXPECT_EQ(expected, 2 * 4 * 8 - 2 * 8);
    EXPECT_EQ(faces, expected);
}
