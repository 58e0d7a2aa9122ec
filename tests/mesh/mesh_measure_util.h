#pragma once
// Measures of a whole mesh for the tests. Only active records count.

#include "mesh/mesh.h"

namespace meshtest {

// Signed volume enclosed by the faces (positive for outward faces).
double enclosedVolume(const qel::Mesh& m);
double surfaceArea(const qel::Mesh& m);
// Number of edges without a neighbour; closed when there is none.
int openEdgeCount(const qel::Mesh& m);
inline bool isClosed(const qel::Mesh& m) { return openEdgeCount(m) == 0; }
// Number of distinct edges carrying the sharp mark.
int sharpEdgeCount(const qel::Mesh& m);
// The edge a-b (either direction): 1 sharp, 0 smooth, -1 no such edge.
int edgeMark(const qel::Mesh& m, int a, int b);
// Lowest and highest z of the active vertices (0, 0 for none).
void zRange(const qel::Mesh& m, float& lo, float& hi);
// Faces whose face or corner normals differ in any bit from what the
// whole-mesh pass (calculateNormals(2)) gives.
int offWholePass(const qel::Mesh& m);

}  // namespace meshtest
