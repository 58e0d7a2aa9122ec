#pragma once
// Meshes shared by the benchmarks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "curves/curve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"
#include "scene/sculptor.h"

namespace benchmeshes {

// A torus of U x V quads, two triangles each: 1,001,112 triangles, in grid
// order (the order exporters write).
inline qel::Mesh* torus() {
    const int U = 708, V = 707;
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
    BrushStroke(const BrushScene& s, qel::Sculptor::TAction action,
                qel::Sculptor::TSelect select = qel::Sculptor::SelectElement)
        : s_(s) {
        brushSculptor(s, action, select, sculptor_, sample_);
        list_.push_back(&sculptor_);
        begin();
    }

    void stamp() {
        sculptor_.samples[1].point = forward_ ? s_.centre : s_.centre + s_.step;
        sculptor_.samples[2].point = forward_ ? s_.centre + s_.step : s_.centre;
        forward_ = !forward_;
        s_.mesh->sculpt(list_);
    }

    // The ended step; begin() starts the next stroke.
    void end() {
        sculptor_.state = qel::Gesture::Ended;
        stamp();
    }

    // The stroke's first step (two samples), as the view always sends it
    // after clearing the element: what a stroke keeps for its later stamps
    // and its end starts there.
    void begin() {
        // The view clears what the last stroke kept before every stroke.
        s_.mesh->clearStroke();
        sculptor_.samples.assign(2, sample_);
        sculptor_.samples[0].point = s_.centre - s_.step;
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

}  // namespace benchmeshes
