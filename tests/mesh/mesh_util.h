#pragma once
// Small hand-built meshes for the mesh tests. Connectivity building (Part
// 4.102) is not available to these tests: every mesh here carries neighbour
// links written out by hand, and finish() stands in for the vertex pass of
// initialize (stored face = last active face using the vertex, sharp bit on
// the ends of sharp edges, vertexUpdate, corner bits) and the face normals.
// Later tasks can replace finish() by Mesh::initialize.

#include <vector>

#include "mesh/mesh.h"

namespace meshtest {

// Quad of two triangles in the plane z = 0 (counter-clockwise from +z).
//
//   3 (0,1) ----- 2 (1,1)
//     |  F1     / |
//     |       /   |
//     |     /     |
//     |   /   F0  |
//   0 (0,0) ----- 1 (1,0)
//
//   F0 = (0, 1, 2)  links (-1, 1, -1)   edge 1 (2-0) shared with F1
//   F1 = (0, 2, 3)  links (-1, -1, 0)   edge 2 (0-2) shared with F0
qel::Mesh* makeQuad();

/*
 * Open strip: a fan of three triangles round vertex 0 in the plane z = 0.
 *
 *        3 ------- 2
 *       /  \  F1  /  \
 *      / F2 \    / F0 \
 *     4 ----- 0 ------ 1
 *
 *   0 (0,0)  1 (2,0)  2 (1,2)  3 (-1,2)  4 (-2,0)
 *   F0 = (0, 1, 2)  links (-1, 1, -1)
 *   F1 = (0, 2, 3)  links (-1, 2, 0)
 *   F2 = (0, 3, 4)  links (-1, -1, 1)
 * With sharpMiddle, the edge 0-2 (F0 edge 1 / F1 edge 2) is sharp.
 */
qel::Mesh* makeStrip(bool sharpMiddle = false);

/*
 * Closed tetrahedron, faces pointing outwards.
 *
 *            3 (0,0,1)
 *           /|\
 *          / | \
 *         /  |  \
 *  (0,0,0)0--|---1 (1,0,0)
 *         \  |  /
 *          \ | /
 *           \|/
 *            2 (0,1,0)
 *
 *   F0 = (0, 2, 1)  links (2, 1, 3)   bottom (normal -z)
 *   F1 = (0, 1, 3)  links (2, 3, 0)   normal -y
 *   F2 = (1, 2, 3)  links (3, 1, 0)   slanted (normal +x+y+z)
 *   F3 = (0, 3, 2)  links (2, 0, 1)   normal -x
 * sharpAt0: the three edges at vertex 0 are sharp (0 becomes a corner; 1, 2
 * and 3 are dangling ends of one crease each). sharpLoop: the three edges of
 * F2 (1-2, 2-3, 3-1) are sharp, a closed feature line without corners.
 */
qel::Mesh* makeTetra(bool sharpAt0 = false, bool sharpLoop = false);

// Two triangles touching only at vertex 0 (a non-manifold "bowtie").
//
//   1 (-1,1) .       . 4 (1,1)
//            |\     /|
//            | \   / |
//            |F0 0 F1|
//            | /   \ |
//            |/     \|
//  2 (-1,-1) '       ' 3 (1,-1)
//
//   F0 = (0, 1, 2)  links (-1, -1, -1)
//   F1 = (0, 3, 4)  links (-1, -1, -1)
qel::Mesh* makeBowtie();

/*
 * Hexagon: six triangles round the interior vertex 0 (valence 6), open rim.
 *
 *          3 ----- 2
 *         / \ F1  / \
 *        / F2 \  / F0 \
 *       4 ---- 0 ----- 1
 *        \ F3 /  \ F5 /
 *         \  / F4 \  /
 *          5 ----- 6
 *
 *   vertex i = 1..6 at angle 60 (i-1) degrees on the unit circle
 *   Fj = (0, j+1, (j+1)%6 + 1)  links (-1, (j+1)%6, (j+5)%6)
 * sharpSpokes lists rim vertices r whose spoke 0-r is sharp.
 */
qel::Mesh* makeHexagon(const std::vector<int>& sharpSpokes = {});

// Sets the sharp mark of the edge between faces f and g on both faces and
// the sharp bit of its two ends (hand-made, without Mesh::edgeSharp).
void markSharp(qel::Mesh& m, int f, int g);

// The vertex pass and face normals (see above).
void finish(qel::Mesh& m);

// True when every link is symmetric and joins two faces that share the two
// vertices of the edge (a check of the hand-written tables).
bool linksConsistent(const qel::Mesh& m);

}  // namespace meshtest
