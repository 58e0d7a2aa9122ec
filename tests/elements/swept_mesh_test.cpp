// Tubes and revolutons converted to meshes: counts, sharp edges and corner
// materials, the revoluton's welding at the axis, compaction of the curves,
// refusals, and the whole-scene OBJ export of a revoluton.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
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

// A closed loop of n points in the plane z = 0 round (cx, cy), run
// counter-clockwise or, reversed, clockwise.
Curve* loop(int n, float radius, float cx, float cy, bool reversed) {
    std::vector<vec3> points;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * 3.141592653589793 * (reversed ? -i : i) / n;
        points.emplace_back(cx + radius * float(std::cos(t)), cy + radius * float(std::sin(t)), 0.0f);
    }
    return new Curve(points, true);
}

Curve* reversed(Curve* c) {
    std::vector<vec3> points;
    for (auto v = c->vertices.rbegin(); v != c->vertices.rend(); ++v) points.push_back(v->position);
    Curve* r = new Curve(points, false);
    delete c;
    return r;
}

vec3 faceNormal(const Mesh& m, const MeshFace& f) {
    const vec3& a = m.vertices[std::size_t(f.v[0])].position;
    return cross(m.vertices[std::size_t(f.v[1])].position - a, m.vertices[std::size_t(f.v[2])].position - a);
}

// The volume the faces enclose, positive when they face outwards (closed
// meshes only).
double signedVolume(const Mesh& m) {
    double v = 0;
    for (const MeshFace& f : m.faces) {
        const dvec3 a(m.vertices[std::size_t(f.v[0])].position), b(m.vertices[std::size_t(f.v[1])].position),
            c(m.vertices[std::size_t(f.v[2])].position);
        v += dot(a, cross(b, c)) / 6;
    }
    return v;
}

// Corners whose normal points away from their face's side.
int cornersAgainstTheirFaces(const Mesh& m) {
    int n = 0;
    for (const MeshFace& f : m.faces)
        for (const vec3& c : f.normals) n += dot(c, faceNormal(m, f)) > 0 ? 0 : 1;
    return n;
}

// Sharp mesh edges ending at vertex v, each counted once.
int sharpEdgesAt(const Mesh& m, int v) {
    std::set<int> ends;
    for (const MeshFace& f : m.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f.v[(k + 1) % 3], b = f.v[(k + 2) % 3];
            if (f.isSharp(k) && (a == v || b == v)) ends.insert(a == v ? b : a);
        }
    return int(ends.size());
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
    EXPECT_EQ(m->faces[0].material[2].roughness, 32766) << "corner a: 40000 clamped";
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

// Faces (corners, links, flags; normals to rounding) and vertex flags agree,
// and every vertex of a stores a face that holds it (which one of its fan
// is the rebuild's choice).
static bool sameRecords(const Mesh& a, const Mesh& b) {
    if (a.vertexCount() != b.vertexCount() || a.faceCount() != b.faceCount()) return false;
    for (int v = 0; v < a.vertexCount(); ++v) {
        const int f = a.vertices[v].face;
        if (a.vertices[v].flags != b.vertices[v].flags || f < 0 || f >= a.faceCount()) return false;
        const std::int32_t* c = a.faces[f].v;
        if (c[0] != v && c[1] != v && c[2] != v) return false;
    }
    for (int f = 0; f < a.faceCount(); ++f) {
        const MeshFace &x = a.faces[f], &y = b.faces[f];
        if (std::memcmp(x.v, y.v, sizeof x.v) != 0 || std::memcmp(x.f, y.f, sizeof x.f) != 0 || x.flags != y.flags)
            return false;
        // A fan summed from another stored face rounds differently.
        if (length(x.normal - y.normal) > 1e-6f) return false;
        for (int k = 0; k < 3; ++k)
            if (length(x.normals[k] - y.normals[k]) > 1e-6f) return false;
    }
    return true;
}

TEST(SweptMesh, ClosedConversionsFaceOutwardsWhicheverWayTheirCurvesRun) {
    for (int turn = 0; turn < 4; ++turn) {
        const bool first = (turn & 1) != 0, second = (turn & 2) != 0;
        struct Case {
            const char* name;
            Element* element;
            double volume;  // of the smooth solid
        };
        const double Pi = 3.141592653589793;
        const Case cases[] = {
            {"ring tube", new Tube(loop(24, 3, 0, 0, first), loop(8, 0.5f, 0, 0, second)), 2 * Pi* Pi * 3 * 0.25},
            {"sphere revoluton",
             new Revoluton(first ? reversed(meridian(8, 0)) : meridian(8, 0), loop(16, 1, 0, 0, second)), 4 * Pi / 3},
            {"torus revoluton", new Revoluton(loop(16, 1, 3, 0, first), loop(16, 1, 0, 0, second)), 2 * Pi* Pi * 3},
        };
        for (const Case& k : cases) {
            std::shared_ptr<Element> held;
            const std::unique_ptr<Mesh> m = convert(k.element, held);
            ASSERT_TRUE(m) << k.name;
            EXPECT_EQ(borderVertices(*m), 0) << k.name;
            const double v = signedVolume(*m);
            EXPECT_GT(v, 0.8 * k.volume) << k.name << ", turn " << turn;
            EXPECT_LT(v, 1.01 * k.volume) << k.name;
            EXPECT_EQ(cornersAgainstTheirFaces(*m), 0) << k.name << ", turn " << turn;
            // A part turned round keeps true links: rebuilding them changes
            // no face record (normals to rounding) and no vertex flag.
            Mesh rebuilt(*m);
            rebuilt.initialize(Element::ResizeKeep);
            EXPECT_TRUE(sameRecords(*m, rebuilt)) << k.name << ", turn " << turn;
        }
    }
}

// Loops of n points round (cx, cy) in one curve, each run either way.
Curve* loops(int n, const std::vector<vec3>& centres, const std::vector<bool>& turned) {
    Curve* c = new Curve();
    for (std::size_t l = 0; l < centres.size(); ++l) {
        const int first = c->vertexCount();
        for (int i = 0; i < n; ++i) {
            const double t = 2 * 3.141592653589793 * (turned[l] ? -i : i) / n;
            c->vertexAdd(centres[l] + vec3(float(std::cos(t)), float(std::sin(t)), 0.0f));
        }
        for (int i = 0; i < n; ++i) c->edgeAdd(CurveEdge(first + i, first + (i + 1) % n));
    }
    c->initialize(Element::ResizeMean);
    return c;
}

// The volume each connected part of a closed mesh encloses (parts joined
// through shared vertices), positive when it faces outwards.
std::vector<double> partVolumes(const Mesh& m) {
    std::vector<int> root(m.vertices.size());
    for (std::size_t v = 0; v < root.size(); ++v) root[v] = int(v);
    const auto find = [&root](int v) {
        while (root[std::size_t(v)] != v) v = root[std::size_t(v)] = root[std::size_t(root[std::size_t(v)])];
        return v;
    };
    for (const MeshFace& f : m.faces)
        for (int k = 1; k < 3; ++k) root[std::size_t(find(f.v[k]))] = find(f.v[0]);
    std::vector<int> id(root.size(), -1);
    std::vector<double> volumes;
    for (const MeshFace& f : m.faces) {
        int& part = id[std::size_t(find(f.v[0]))];
        if (part < 0) {
            part = int(volumes.size());
            volumes.push_back(0);
        }
        const dvec3 a(m.vertices[std::size_t(f.v[0])].position), b(m.vertices[std::size_t(f.v[1])].position),
            c(m.vertices[std::size_t(f.v[2])].position);
        volumes[std::size_t(part)] += dot(a, cross(b, c)) / 6;
    }
    return volumes;
}

TEST(SweptMesh, EveryClosedPartFacesOutwardsOnItsOwn) {
    for (int turn = 0; turn < 8; ++turn) {
        const bool a = (turn & 1) != 0, b = (turn & 2) != 0, c = (turn & 4) != 0;
        // Two ring tubes from one path of two loops run either way, swept
        // round a section of two loops: four tori.
        {
            Curve* path = loops(32, {vec3(0, 0, 0), vec3(10, 0, 0)}, {a, b});
            path->setSize(1.0f);
            for (CurveVertex& v : path->vertices) v.position = v.position * 3.0f;
            Curve* section = loops(8, {vec3(0, 0, 0), vec3(0, 0, 0)}, {c, !c});
            for (std::size_t i = 8; i < 16; ++i) section->vertices[i].position = section->vertices[i].position * 0.5f;
            std::shared_ptr<Element> held;
            const std::unique_ptr<Mesh> m = convert(new Tube(path, section), held);
            ASSERT_TRUE(m) << turn;
            const std::vector<double> parts = partVolumes(*m);
            ASSERT_EQ(parts.size(), 4u) << turn;
            for (const double v : parts) EXPECT_GT(v, 0.0) << turn;
            EXPECT_EQ(cornersAgainstTheirFaces(*m), 0) << turn;
        }
        // A profile from pole to pole through a third point on the axis:
        // two closed parts meeting at one point.
        {
            std::vector<vec3> points = {vec3(0, -2, 0), vec3(1, -1, 0), vec3(0, 0, 0), vec3(1, 1, 0), vec3(0, 2, 0)};
            if (a) points = {points.rbegin(), points.rend()};
            std::shared_ptr<Element> held;
            const std::unique_ptr<Mesh> m =
                convert(new Revoluton(new Curve(points, false), loop(16, 1, 0, 0, c)), held);
            ASSERT_TRUE(m) << turn;
            const double Pi = 3.141592653589793;
            const std::vector<double> parts = partVolumes(*m);
            ASSERT_EQ(parts.size(), 2u) << turn;
            for (const double v : parts) EXPECT_GT(v, 0.9 * 2 * Pi / 3) << turn;  // a double cone
            EXPECT_EQ(borderVertices(*m), 0) << turn;
        }
    }
}

TEST(SweptMesh, OpenConversionsAreWoundAsTheSurfaceIsDrawn) {
    for (int turn = 0; turn < 4; ++turn) {
        Curve* path = new Curve({vec3(0, 0, 0), vec3(1, 0.5f, 0), vec3(2, 0, 0.5f)}, false);
        if (turn & 1) path = reversed(path);
        Curve* profile = loop(6, 1, 0, 0, (turn & 2) != 0);
        std::shared_ptr<Element> tube;
        const std::unique_ptr<Mesh> m = convert(new Tube(path, profile), tube);
        ASSERT_TRUE(m);
        ASSERT_EQ(m->faceCount(), 2 * 2 * 6);
        // The drawn normal of quad (e, f): (a - b + c - d) x (a + b - c - d).
        const int V = profile->vertexCount();
        int q = 0;
        for (const CurveEdge& e : path->edges)
            for (const CurveEdge& f : profile->edges) {
                const auto at = [&](int j, int i) { return m->vertices[std::size_t(j * V + i)].position; };
                const vec3 a = at(e.v[0], f.v[0]), b = at(e.v[0], f.v[1]), c = at(e.v[1], f.v[0]),
                           d = at(e.v[1], f.v[1]);
                const vec3 drawn = cross(a - b + c - d, a + b - c - d);
                for (int half = 0; half < 2; ++half)
                    EXPECT_GT(dot(faceNormal(*m, m->faces[std::size_t(2 * q + half)]), drawn), 0) << turn << " " << q;
                ++q;
            }
        EXPECT_EQ(cornersAgainstTheirFaces(*m), 0) << turn;
    }
}

TEST(SweptMesh, WeldedPolesCarryTheSeamsOfTheSection) {
    // Pole to pole round a closed section with eight sharp corners, and
    // round an open arc: every seam and every border runs up to both poles.
    std::vector<vec3> arc;
    for (int i = 0; i <= 4; ++i) arc.emplace_back(float(std::cos(0.7 * i)), float(std::sin(0.7 * i)), 0.0f);
    struct Case {
        Curve* section;
        int seams;
    };
    for (const Case& k : {Case{Curve::Circle(8, true), 8}, Case{new Curve(arc, false), 2}}) {
        std::shared_ptr<Element> r;
        const std::unique_ptr<Mesh> m = convert(new Revoluton(meridian(4, 0), k.section), r);
        ASSERT_TRUE(m);
        int poles = 0;
        for (int v = 0; v < m->vertexCount(); ++v) {
            const vec3& p = m->vertices[std::size_t(v)].position;
            if (std::fabs(p.x) > 0.0001f || std::fabs(p.z) > 0.0001f) continue;
            ++poles;
            EXPECT_EQ(sharpEdgesAt(*m, v), k.seams) << "pole at y = " << p.y;
        }
        EXPECT_EQ(poles, 2);
        for (const MeshFace& f : m->faces)
            for (int k3 = 0; k3 < 3; ++k3) EXPECT_TRUE(f.f[k3] >= 0 || f.isSharp(k3)) << "a border is sharp";
    }
}

TEST(SweptMesh, OpenRevolutonsKeepTheirCornerNormalsOnTheirFacesSide) {
    // Open bands round a 12-vertex circle (either way round) whose surface
    // folds: a profile that crosses the axis (every quad of its second edge
    // twisted), one that turns back on itself and one out of its plane; in
    // memory and in the OBJ export.
    const std::vector<vec3> profiles[] = {
        {vec3(1, -1, 0), vec3(0.2f, 0, 0), vec3(-1, 1, 0)},
        {vec3(1, -1, 0), vec3(2, 0, 0), vec3(1, -0.5f, 0)},
        {vec3(1, -1, 0.5f), vec3(1.5f, 0, 1), vec3(1, 1, -1)},
    };
    for (int turn = 0; turn < 6; ++turn) {
        Curve* profile = new Curve(profiles[turn / 2], false);
        Curve* section = loop(12, 1, 0, 0, (turn & 1) != 0);
        std::shared_ptr<Element> r;
        const std::unique_ptr<Mesh> m = convert(new Revoluton(profile, section), r);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->faceCount(), 48) << turn;
        EXPECT_EQ(borderVertices(*m), 24) << turn;
        EXPECT_EQ(cornersAgainstTheirFaces(*m), 0) << turn;

        QTemporaryDir dir;
        const QString path = dir.filePath("band.obj");
        ASSERT_TRUE(m->saveOBJ(path.toStdString())) << turn;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        std::vector<vec3> points, normals;
        int against = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> w = line.simplified().split(' ');
            if (w.size() == 4 && (w[0] == "v" || w[0] == "vn"))
                (w[0] == "v" ? points : normals).emplace_back(w[1].toFloat(), w[2].toFloat(), w[3].toFloat());
            if (w.size() != 4 || w[0] != "f") continue;
            int pv[3], nv[3];
            for (int k = 0; k < 3; ++k) {
                const QList<QByteArray> ids = w[k + 1].split('/');
                ASSERT_EQ(ids.size(), 3);
                pv[k] = ids[0].toInt() - 1;
                nv[k] = ids[2].toInt() - 1;
            }
            const vec3 n = cross(points[std::size_t(pv[1])] - points[std::size_t(pv[0])],
                                 points[std::size_t(pv[2])] - points[std::size_t(pv[0])]);
            for (int k = 0; k < 3; ++k) against += dot(normals[std::size_t(nv[k])], n) > 0 ? 0 : 1;
        }
        EXPECT_EQ(against, 0) << "exported, turn " << turn;
    }
}
