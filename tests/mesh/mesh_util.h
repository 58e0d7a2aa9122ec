#pragma once
// Small meshes for the mesh tests, built by Mesh::initialize (without
// resizing) unless noted. Face k's edge k lies opposite its corner k.

#include <array>
#include <random>
#include <utility>
#include <vector>

#include "mesh/mesh.h"

namespace meshtest {

// A mesh from triangles with the listed edges (vertex pairs) sharp.
qel::Mesh* fromTriangles(const std::vector<qel::vec3>& points, const std::vector<std::array<int, 3>>& tris,
                         const std::vector<std::pair<int, int>>& sharp = {});

// Quad in z = 0: 0 (0,0) 1 (1,0) 2 (1,1) 3 (0,1).
//   F0 = (0,1,2) links (-1,1,-1); F1 = (0,2,3) links (-1,-1,0).
qel::Mesh* makeQuad();

// Open fan of three round vertex 0 in z = 0: 0 (0,0) 1 (2,0) 2 (1,2) 3 (-1,2) 4 (-2,0).
//   F0 = (0,1,2) links (-1,1,-1); F1 = (0,2,3) links (-1,2,0); F2 = (0,3,4) links (-1,-1,1).
// sharpMiddle marks the edge 0-2 (F0 edge 1, F1 edge 2).
qel::Mesh* makeStrip(bool sharpMiddle = false);

// Closed tetrahedron, faces outwards: 0 origin, 1 +x, 2 +y, 3 +z.
//   F0 = (0,2,1) links (2,1,3); F1 = (0,1,3) links (2,3,0);
//   F2 = (1,2,3) links (3,1,0); F3 = (0,3,2) links (2,0,1).
// sharpAt0: the three edges at 0 are sharp (0 a corner, 1-3 crease ends).
// sharpLoop: the edges of F2 are sharp (a closed line without corners).
qel::Mesh* makeTetra(bool sharpAt0 = false, bool sharpLoop = false);

// Two triangles touching only at vertex 0 (at the origin), left unsplit:
//   F0 = (0,1,2), F1 = (0,3,4); 1 (-1,1) 2 (-1,-1) 3 (1,-1) 4 (1,1).
qel::Mesh* makeBowtie();

// Six triangles round the interior vertex 0, open rim; rim vertex i = 1..6
// at 60 (i-1) degrees on the unit circle.
//   Fj = (0, j+1, (j+1)%6 + 1) links (-1, (j+1)%6, (j+5)%6).
// sharpSpokes lists the rim vertices r whose spoke 0-r is sharp.
qel::Mesh* makeHexagon(const std::vector<int>& sharpSpokes = {});

// The icosahedron's smooth sphere after `levels` subdivisions (radius 2).
qel::Mesh* smoothSphere(int levels);

// A torus of U x V quads round the z axis (radii R and r), two triangles
// each: vertex i V + j at 2 pi i / U round the axis and 2 pi j / V round the
// tube. Faces in row order, or in a fixed shuffled order; creased marks the
// ring of edges between vertices 0 .. V - 1 sharp.
qel::Mesh* torus(int U, int V, double R, double r, bool shuffled = false, bool creased = false);

// One of nine primitives (which modulo 9): the five solids, two cylinders,
// a capsule and a sphere.
qel::Mesh* primitive(int which);

// A random point on the surface: a corner, an edge's middle or inside an
// active face.
qel::vec3 surfacePoint(const qel::Mesh& m, std::mt19937& rng);

}  // namespace meshtest
