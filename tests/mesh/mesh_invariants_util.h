#pragma once
// A checker of the mesh's structural invariants, for use after any edit:
//
//   EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
//
// It returns an empty string for a sound mesh and otherwise a readable
// description of the first violation found. It never trusts the data it
// reads: every index is range-checked before use and every walk is bounded,
// so a corrupt mesh yields a message, not a crash.
//
// Always checked:
// - every corner of an active face is an active vertex in range, and no face
//   names one vertex twice;
// - every link of an active face is -1 or an active face in range other than
//   itself, which links back across an edge joining the same two vertices;
// - the sharp mark of an interior edge is the same on both sides;
// - an active vertex's stored face is an active face holding it, or -1 when
//   no active face uses the vertex;
// - a vertex has the border bit exactly when it lies on an open edge; a
//   border vertex also has the sharp bit, and its stored face's backward edge
//   (from the vertex to the face's next corner) is open.
// Checked unless left out of `checks`:
// - CheckOrientation: neighbours run their shared edge in opposite
//   directions;
// - CheckSingleFan: forward circling from the stored face meets every active
//   face that uses the vertex (one fan per vertex);
// - CheckSharpEnds: both ends of a sharp or open edge have the sharp bit.

#include <string>

#include "mesh/mesh.h"

namespace meshtest {

enum InvariantCheck : unsigned {
    CheckOrientation = 1,
    CheckSingleFan = 2,
    CheckSharpEnds = 4,
    CheckAll = 7,
};

std::string checkMeshInvariants(const qel::Mesh& m, unsigned checks = CheckAll);

// Counts of active records.
int activeVertexCount(const qel::Mesh& m);
int activeFaceCount(const qel::Mesh& m);

}  // namespace meshtest
