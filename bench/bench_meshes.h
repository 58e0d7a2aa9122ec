#pragma once
// Meshes shared by the benchmarks.

#include <cmath>

#include "curves/curve.h"
#include "elements/tube.h"
#include "mesh/mesh.h"

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

}  // namespace benchmeshes
