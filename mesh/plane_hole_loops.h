#pragma once
// Helpers of the caps a plane subtraction lays over the holes its clip
// opened, for loops the flat cap alone cannot close.
//
// Two crossing points of different edges may round onto one float point
// without sharing an edge (a face's thin end cut next to a neighbour's):
// the hole's border then passes that point twice, through two vertices.
// Counted as one vertex, the border splits there into simple loops, each
// closed on its own; a loop that runs out along a line and back along it
// (two edges, to and fro) encloses nothing and is closed by joining its
// two edges to each other.

#include <vector>

namespace qel {

class Mesh;

// Gives every group of vertices of `cut` (vertices the cut made) that are
// active, lie on an open border at exactly one point and share no edge one
// identity: root[v] of each becomes the first of its group (root holds
// each vertex's identity, indexed by vertex).
void rootCoincidentCutVertices(const Mesh& mesh, const std::vector<int>& cut, std::vector<int>& root);

// Whether the vertex `from` may be merged into `into` (two vertices at one
// point): their fans round the given faces (each the fan holding that face)
// share no face, and no vertex neighbours both but `shared` (-1: none).
// Merged otherwise, a face would name one vertex twice or an edge would be
// run by more than two faces.
bool mergeKeepsFans(const Mesh& mesh, int into, int intoFace, int from, int fromFace, int shared);

// Joins the open edges h0 and h1 (each named 3 face + edge) when they run
// between the same two vertices in opposite directions: each face is
// linked to the other across them, the edge marked sharp on both, and its
// ends flagged sharp and updated. False (nothing changed) otherwise.
bool joinOpenEdgePair(Mesh& mesh, int h0, int h1);

}  // namespace qel
