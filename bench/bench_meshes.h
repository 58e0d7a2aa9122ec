#pragma once
// Meshes shared by the benchmarks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

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

// The sculpting benchmarks' smooth sphere of 1,310,720 faces (the
// icosahedron refined 8 times), in the order the program makes it.
inline qel::Mesh* sculptSphere() {
    std::unique_ptr<qel::Mesh> base(qel::Mesh::Icosahedron());
    return qel::Mesh::Sphere(base.get(), 8, false, true);
}

// A copy of m with its vertices and faces in a random order (fixed seed),
// as a file written by another program may hold them: each record's
// neighbours lie anywhere in the lists. Rebuilt (initialize) with m's
// centre and size.
inline qel::Mesh* shuffledCopy(const qel::Mesh& m) {
    std::mt19937 rng(12345);
    const int nV = m.vertexCount(), nF = m.faceCount();
    std::vector<int> vertexOrder(std::size_t(nV), 0), faceOrder(std::size_t(nF), 0), newIndex(std::size_t(nV), 0);
    std::iota(vertexOrder.begin(), vertexOrder.end(), 0);
    std::iota(faceOrder.begin(), faceOrder.end(), 0);
    std::shuffle(vertexOrder.begin(), vertexOrder.end(), rng);
    std::shuffle(faceOrder.begin(), faceOrder.end(), rng);
    auto* out = new qel::Mesh();
    for (int i = 0; i < nV; ++i) {
        newIndex[std::size_t(vertexOrder[std::size_t(i)])] = i;
        out->vertexAdd(m.vertices[vertexOrder[std::size_t(i)]].position);
    }
    for (const int f : faceOrder) {
        const qel::MeshFace& F = m.faces[f];
        qel::MeshFace G = F;
        for (int k = 0; k < 3; ++k) {
            G.v[k] = newIndex[std::size_t(F.v[k])];
            G.f[k] = -1;
        }
        out->faceAdd(G);
    }
    out->initialize(qel::Element::ResizeKeep);
    out->centre = m.centre;
    out->setSize(m.size());
    return out;
}

}  // namespace benchmeshes
