#include "mesh/mesh_util.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

using qel::Mesh;
using qel::vec3;

namespace meshtest {

namespace {

Mesh* withPoints(const std::vector<vec3>& points) {
    Mesh* m = new Mesh();
    for (const vec3& p : points) m->vertexAdd(p);
    return m;
}

}  // namespace

Mesh* fromTriangles(const std::vector<vec3>& points, const std::vector<std::array<int, 3>>& tris,
                    const std::vector<std::pair<int, int>>& sharp) {
    auto isSharp = [&sharp](int a, int b) {
        for (const auto& e : sharp)
            if ((e.first == a && e.second == b) || (e.first == b && e.second == a)) return true;
        return false;
    };
    Mesh* m = withPoints(points);
    for (const auto& t : tris)
        m->faceAdd(t[0], t[1], t[2], isSharp(t[1], t[2]), isSharp(t[2], t[0]), isSharp(t[0], t[1]));
    m->initialize(Mesh::ResizeKeep);
    return m;
}

Mesh* makeQuad() {
    return fromTriangles({vec3(0, 0, 0), vec3(1, 0, 0), vec3(1, 1, 0), vec3(0, 1, 0)}, {{0, 1, 2}, {0, 2, 3}});
}

Mesh* makeStrip(bool sharpMiddle) {
    return fromTriangles({vec3(0, 0, 0), vec3(2, 0, 0), vec3(1, 2, 0), vec3(-1, 2, 0), vec3(-2, 0, 0)},
                         {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}},
                         sharpMiddle ? std::vector<std::pair<int, int>>{{0, 2}} : std::vector<std::pair<int, int>>{});
}

Mesh* makeTetra(bool sharpAt0, bool sharpLoop) {
    std::vector<std::pair<int, int>> sharp;
    if (sharpAt0) sharp.insert(sharp.end(), {{0, 1}, {0, 2}, {0, 3}});
    if (sharpLoop) sharp.insert(sharp.end(), {{1, 2}, {2, 3}, {3, 1}});
    return fromTriangles({vec3(0, 0, 0), vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)},
                         {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}}, sharp);
}

Mesh* makeBowtie() {
    // initialize would separate the touching fans: links and vertex flags only.
    Mesh* m = withPoints({vec3(0, 0, 0), vec3(-1, 1, 0), vec3(-1, -1, 0), vec3(1, -1, 0), vec3(1, 1, 0)});
    m->faceAdd(0, 1, 2);
    m->faceAdd(0, 3, 4);
    m->buildConnectivity();
    m->initializeVertices();
    m->calculateNormals(0);
    return m;
}

Mesh* makeHexagon(const std::vector<int>& sharpSpokes) {
    std::vector<vec3> points = {vec3(0, 0, 0)};
    for (int i = 0; i < 6; ++i)
        points.push_back(vec3(float(std::cos(M_PI / 3.0 * i)), float(std::sin(M_PI / 3.0 * i)), 0.0f));
    std::vector<std::array<int, 3>> tris;
    for (int j = 0; j < 6; ++j) tris.push_back({0, j + 1, (j + 1) % 6 + 1});
    std::vector<std::pair<int, int>> sharp;
    for (const int r : sharpSpokes) sharp.push_back({0, r});
    return fromTriangles(points, tris, sharp);
}

Mesh* smoothSphere(int levels) {
    const std::unique_ptr<Mesh> base(Mesh::Icosahedron());
    return Mesh::Sphere(base.get(), levels, false, true);
}

Mesh* torus(int U, int V, double R, double r, bool shuffled, bool creased) {
    std::vector<vec3> points;
    std::vector<std::array<int, 3>> tris;
    const double pi2 = 6.283185307179586;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const double a = pi2 * i / U, b = pi2 * j / V;
            points.emplace_back(float((R + r * std::cos(b)) * std::cos(a)), float((R + r * std::cos(b)) * std::sin(a)),
                                float(r * std::sin(b)));
        }
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = i * V + j, b = ((i + 1) % U) * V + j;
            const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
            tris.push_back({a, b, c});
            tris.push_back({a, c, d});
        }
    if (shuffled) std::shuffle(tris.begin(), tris.end(), std::mt19937(12345));
    std::vector<std::pair<int, int>> sharp;
    for (int j = 0; creased && j < V; ++j) sharp.emplace_back(j, (j + 1) % V);
    return fromTriangles(points, tris, sharp);
}

qel::Mesh* primitive(int which) {
    using qel::Mesh;
    switch (which % 9) {
        case 0:
            return Mesh::Cube();
        case 1:
            return Mesh::Tetrahedron();
        case 2:
            return Mesh::Octahedron();
        case 3:
            return Mesh::Icosahedron();
        case 4:
            return Mesh::Dodecahedron();
        case 5:
            return Mesh::Cylinder(16, false);
        case 6:
            return Mesh::Cylinder(24, true);
        case 7:
            return Mesh::Capsule(2, false);
        default: {
            const std::unique_ptr<Mesh> base(Mesh::Icosahedron());
            return Mesh::Sphere(base.get(), 2, false, true);
        }
    }
}

qel::vec3 surfacePoint(const qel::Mesh& m, std::mt19937& rng) {
    const auto unit = [&rng] { return float(rng() >> 8) * 0x1p-24f; };
    int f = int(rng() % unsigned(m.faceCount()));
    while (!m.faces[f].isActive()) f = (f + 1) % m.faceCount();
    const qel::MeshFace& F = m.faces[f];
    const qel::vec3 p0 = m.vertices[F.v[0]].position, p1 = m.vertices[F.v[1]].position,
                    p2 = m.vertices[F.v[2]].position;
    switch (rng() % 3) {
        case 0:
            return p0;
        case 1:
            return (p0 + p1) * 0.5f;
        default: {
            const float a = unit(), b = unit() * (1 - a);
            return p0 + (p1 - p0) * a + (p2 - p0) * b;
        }
    }
}

}  // namespace meshtest
