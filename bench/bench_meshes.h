#pragma once
// Meshes shared by the benchmarks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"

namespace benchmeshes {

// A torus of U x V quads, two triangles each (radii 2 and 1), in grid order
// (the order exporters write); by default 1,001,112 triangles.
inline qel::Mesh* torus(int U = 708, int V = 707) {
    auto* m = new qel::Mesh();
    const double pi2 = 6.283185307179586;
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const double a = pi2 * i / U, b = pi2 * j / V;
            m->vertexAdd(qel::vec3(float((2 + std::cos(b)) * std::cos(a)), float((2 + std::cos(b)) * std::sin(a)),
                                   float(std::sin(b))));
        }
    for (int i = 0; i < U; ++i)
        for (int j = 0; j < V; ++j) {
            const int a = i * V + j, b = ((i + 1) % U) * V + j;
            const int c = ((i + 1) % U) * V + (j + 1) % V, d = i * V + (j + 1) % V;
            m->faceAdd(a, b, c);
            m->faceAdd(a, c, d);
        }
    m->initialize(qel::Element::ResizeMean);
    return m;
}

// The swept benchmarks' tube of 1,048,576 triangles (path Circle(8192),
// profile Circle(64)), made once with its sweep frames; it keeps its curves.
inline qel::Tube& tube() {
    static qel::Tube* t = [] {
        auto* made = new qel::Tube(qel::Curve::Circle(8192, false), qel::Curve::Circle(64, false));
        made->copy(1);
        made->path->calculateOrientations(false);
        return made;
    }();
    return *t;
}

// The smooth sphere of the stamp benchmarks: the icosahedron refined 8
// times, 1,310,720 faces, in the order the refinement makes them.
inline qel::Mesh* stampSphere() {
    qel::Mesh* base = qel::Mesh::Icosahedron();
    qel::Mesh* sphere = qel::Mesh::Sphere(base, 8, false, true);
    delete base;
    return sphere;
}

// Thin parts, each of about 1.31 million faces, where a brush ball on one
// side holds vertices of the other side that the faces in the ball do not
// reach.
//
// The stamp sphere squashed along z to a shell a tenth of its radius thick.
inline qel::Mesh* thinShell() {
    qel::Mesh* m = stampSphere();
    m->transform(qel::mat4::Scale(1.0f, 1.0f, 0.05f));
    return m;
}

// Adds the quad (a, b, c, d), counter-clockwise seen from outside.
inline void quad(qel::Mesh& m, int a, int b, int c, int d) {
    m.faceAdd(a, b, c);
    m.faceAdd(a, c, d);
}

// A closed square plate 2 wide and 0.02 thick: n x n quads on each face,
// n on each side wall, rims sharp (top, bottom and walls are patches).
inline qel::Mesh* thinPlate(int n = 572) {
    auto* m = new qel::Mesh();
    const float h = 0.01f;
    auto at = [n](int i) { return -1.0f + 2.0f * float(i) / float(n); };
    const int row = n + 1;
    for (const float z : {h, -h})
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) m->vertexAdd(qel::vec3(at(i), at(j), z));
    const int bottom = row * row;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * row + i;
            quad(*m, a, a + 1, a + 1 + row, a + row);
            quad(*m, bottom + a, bottom + a + row, bottom + a + 1 + row, bottom + a + 1);
        }
    // The walls round the rim, counter-clockwise seen from above.
    std::vector<int> rim;
    for (int i = 0; i < n; ++i) rim.push_back(i);
    for (int j = 0; j < n; ++j) rim.push_back(j * row + n);
    for (int i = n; i > 0; --i) rim.push_back(n * row + i);
    for (int j = n; j > 0; --j) rim.push_back(j * row);
    for (std::size_t r = 0; r < rim.size(); ++r) {
        const int a = rim[r], b = rim[(r + 1) % rim.size()];
        quad(*m, bottom + a, bottom + b, b, a);
    }
    m->initialize(qel::Element::ResizeMean);
    m->makeSharp(45.0f);
    return m;
}

// A closed tube along x, 20 long and 0.2 across: `around` quads round it,
// `along` rings, flat caps with sharp rims.
inline qel::Mesh* thinTube(int around = 64, int along = 10240) {
    auto* m = new qel::Mesh();
    const double pi2 = 6.283185307179586;
    for (int j = 0; j <= along; ++j)
        for (int i = 0; i < around; ++i) {
            const double a = pi2 * i / around;
            m->vertexAdd(qel::vec3(-10.0f + 20.0f * float(j) / float(along), float(0.1 * std::cos(a)),
                                   float(0.1 * std::sin(a))));
        }
    for (int j = 0; j < along; ++j)
        for (int i = 0; i < around; ++i) {
            const int a = j * around + i, b = j * around + (i + 1) % around;
            quad(*m, a, a + around, b + around, b);
        }
    const int first = m->vertexAdd(qel::vec3(-10, 0, 0)), last = m->vertexAdd(qel::vec3(10, 0, 0));
    for (int i = 0; i < around; ++i) {
        const int b = (i + 1) % around;
        m->faceAdd(first, b, i);
        m->faceAdd(last, along * around + i, along * around + b);
    }
    m->initialize(qel::Element::ResizeMean);
    m->makeSharp(45.0f);
    return m;
}

// The same mesh with its vertices and faces in a random order (fixed seed),
// as an OBJ import of another program's file may hold them: every record
// copied with its indices and links renumbered, so that the surface, its
// normals and its materials are the source's.
inline qel::Mesh* shuffledCopy(const qel::Mesh& source) {
    std::mt19937 random(20240611u);
    const auto order = [&random](int n) {
        std::vector<std::int32_t> o(std::size_t(n), 0);
        for (int i = 0; i < n; ++i) o[std::size_t(i)] = i;
        std::shuffle(o.begin(), o.end(), random);
        return o;
    };
    const std::vector<std::int32_t> vertexAt = order(source.vertexCount()), faceAt = order(source.faceCount());
    std::vector<std::int32_t> newVertex(vertexAt.size()), newFace(faceAt.size());
    for (std::size_t i = 0; i < vertexAt.size(); ++i) newVertex[std::size_t(vertexAt[i])] = std::int32_t(i);
    for (std::size_t i = 0; i < faceAt.size(); ++i) newFace[std::size_t(faceAt[i])] = std::int32_t(i);
    const auto renumber = [](const std::vector<std::int32_t>& to, std::int32_t i) {
        return i >= 0 && std::size_t(i) < to.size() ? to[std::size_t(i)] : i;
    };
    auto* m = new qel::Mesh();
    m->centre = source.centre;
    m->setSize(source.size());
    for (const std::int32_t v : vertexAt) {
        qel::MeshVertex r = source.vertices[std::size_t(v)];
        r.face = renumber(newFace, r.face);
        m->vertexAdd(r);
    }
    for (const std::int32_t f : faceAt) {
        qel::MeshFace r = source.faces[std::size_t(f)];
        for (int k = 0; k < 3; ++k) {
            r.v[k] = renumber(newVertex, r.v[k]);
            r.f[k] = renumber(newFace, r.f[k]);
        }
        m->faceAdd(r);
    }
    return m;
}

// Saves at path a scene of one object of mesh (taken), placed at `at`;
// false when the save fails.
inline bool saveOneMeshScene(qel::Mesh* mesh, const std::string& path, const qel::mat4& at = qel::mat4::Identity()) {
    qel::Scene scene;
    qel::Tool* tmpl = scene.addTool(new qel::Tool(mesh, qel::mat4::Identity(), qel::pbr(), false));
    scene.addObject(tmpl, at, qel::Scene::HangTop, true);
    return scene.save(path);
}

// A mesh with a brush placed on it for the stroke benchmarks.
struct BrushScene {
    std::unique_ptr<qel::Mesh> mesh;
    qel::vec3 centre;  // the brush centre, a point of the surface
    qel::vec3 step;    // one stroke step, along the surface
    float radius = 0;  // the brush radius
    int face = -1;     // the face under the brush
};

// The brush at p on the mesh: radius 0.2 and steps 0.01 of p's distance
// from the mesh's centre.
inline BrushScene brushScene(std::unique_ptr<qel::Mesh> mesh, const qel::vec3& p) {
    BrushScene r;
    r.mesh = std::move(mesh);
    const float R = float(qel::length(p - r.mesh->centre));
    r.centre = p;
    r.radius = 0.2f * R;
    r.step = qel::normalize(qel::cross(p - r.mesh->centre, qel::vec3(0.3f, 1, 0.1f))) * (0.01f * R);
    r.face = r.mesh->findFirstFace(p);
    return r;
}

// The brush at p with the radius, stepping a twentieth of it along dir.
inline BrushScene brushScene(std::unique_ptr<qel::Mesh> mesh, const qel::vec3& p, float radius, const qel::vec3& dir) {
    BrushScene r;
    r.mesh = std::move(mesh);
    r.centre = p;
    r.radius = radius;
    r.step = qel::normalize(dir) * (0.05f * radius);
    r.face = r.mesh->findFirstFace(p);
    return r;
}

// A sculptor of the action and scope looking at the brush from outside,
// and its sample at the brush centre (a red material for the paint).
inline void brushSculptor(const BrushScene& s, qel::Sculptor::TAction action, qel::Sculptor::TSelect select,
                          qel::Sculptor& sculptor, qel::SBrush& sample) {
    sculptor.action = action;
    sculptor.select = select;
    sculptor.viewDirection = qel::normalize(s.centre - s.mesh->centre);
    sample = qel::SBrush();
    sample.point = s.centre;
    sample.radius = s.radius;
    sample.itemId = s.face;
    sample.material = qel::pbr(qel::wvec4(65535, 0, 0, 65535), qel::wvec4(0, 0, 0, 65535), 0, 0);
}

// A stroke of the brush scene's sculptor, stepping back and forth across
// the brush centre as a steady hand does.
class BrushStroke {
public:
    // With start, the stroke's first step runs at once.
    BrushStroke(const BrushScene& s, qel::Sculptor::TAction action,
                qel::Sculptor::TSelect select = qel::Sculptor::SelectElement, bool start = true)
        : s_(s) {
        brushSculptor(s, action, select, sculptor_, sample_);
        list_.push_back(&sculptor_);
        if (start) begin();
    }

    void stamp() {
        sculptor_.samples[1].point = forward_ ? s_.centre : s_.centre + s_.step;
        sculptor_.samples[2].point = forward_ ? s_.centre + s_.step : s_.centre;
        forward_ = !forward_;
        s_.mesh->sculpt(list_);
    }

    // The material the next stamps paint.
    void paintWith(const qel::pbr& material) {
        sample_.material = material;
        for (qel::SBrush& b : sculptor_.samples) b.material = material;
    }

    // The ended step; begin() starts the next stroke.
    void end() {
        sculptor_.state = qel::Gesture::Ended;
        stamp();
    }

    // A later step from one point to the next (a drag), and a drag's end
    // at its last point.
    void stampAlong(const qel::vec3& from, const qel::vec3& to) {
        sculptor_.samples[1].point = from;
        sculptor_.samples[2].point = to;
        s_.mesh->sculpt(list_);
    }
    void endAt(const qel::vec3& at) {
        sculptor_.state = qel::Gesture::Ended;
        stampAlong(at, at);
    }

    // The stroke's first step (two samples), as the view always sends it
    // after clearing the element: what a stroke keeps for its later stamps
    // and its end starts there. A drag begins at its first point.
    void begin() { begin(s_.centre - s_.step, s_.centre); }
    void begin(const qel::vec3& first, const qel::vec3& second) {
        // The view clears what the last stroke kept before every stroke.
        s_.mesh->clearStroke();
        sculptor_.samples.assign(2, sample_);
        sculptor_.samples[0].point = first;
        sculptor_.samples[1].point = second;
        sculptor_.state = qel::Gesture::Moving;
        s_.mesh->sculpt(list_);
        sculptor_.samples.push_back(sample_);
    }

private:
    const BrushScene& s_;
    qel::Sculptor sculptor_;
    std::vector<qel::Sculptor*> list_;
    qel::SBrush sample_;
    bool forward_ = true;
};

// A stroke as the view sends it: the press (one sample), the first step
// (two), later steps going back and forth across the brush centre, and
// the release.
class PressStroke {
public:
    PressStroke(const BrushScene& s, qel::Sculptor::TAction action, qel::Sculptor::TSelect select) : s_(s) {
        brushSculptor(s, action, select, sculptor_, brush_);
    }
    // The press and the first step (two samples).
    void press() {
        sculptor_.begin();
        sculptor_.samples.assign(1, brush_);
        run();
        sculptor_.move();
        sculptor_.samples.push_back(brush_);
        sculptor_.samples.back().point = s_.centre + s_.step;
        forward_ = false;
        run();
    }
    // One later step (three samples kept).
    void step() {
        sculptor_.samples.resize(3, brush_);
        sculptor_.samples[1].point = forward_ ? s_.centre : s_.centre + s_.step;
        sculptor_.samples[2].point = forward_ ? s_.centre + s_.step : s_.centre;
        forward_ = !forward_;
        run();
    }
    // The release: the last step with the gesture ended.
    void end() {
        sculptor_.end();
        step();
    }

private:
    void run() {
        std::vector<qel::Sculptor*> list{&sculptor_};
        s_.mesh->sculpt(list);
    }

    const BrushScene& s_;
    qel::Sculptor sculptor_;
    qel::SBrush brush_;
    bool forward_ = true;
};

}  // namespace benchmeshes
