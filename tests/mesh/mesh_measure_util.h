#pragma once
// Measures of a whole mesh for the tests: enclosed volume, surface area,
// closedness, sharp edges and the vertex z range. Only active faces count.

#include "mesh/mesh.h"

namespace meshtest {

// Signed volume enclosed by the faces (positive for outward faces).
double enclosedVolume(const qel::Mesh& m);
// Sum of the face areas.
double surfaceArea(const qel::Mesh& m);
// Every edge of every active face has a neighbour.
bool isClosed(const qel::Mesh& m);
// Number of distinct edges carrying the sharp mark.
int sharpEdgeCount(const qel::Mesh& m);
// Number of edges without a neighbour.
int openEdgeCount(const qel::Mesh& m);
// Lowest and highest z of the active vertices (0, 0 for none).
void zRange(const qel::Mesh& m, float& lo, float& hi);

}  // namespace meshtest
