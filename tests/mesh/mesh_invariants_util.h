#pragma once
// A checker of the mesh's structural invariants, for use after any edit and
// by the fuzz targets that load meshes:
//
//   EXPECT_EQ(meshtest::checkMeshInvariants(m), "");
//
// An empty string for a sound mesh, else a description of the first
// violation. Every index is range-checked and every walk bounded, so a
// corrupt mesh yields a message, not a crash.
//
// Always checked:
// - the corners of an active face are distinct active vertices in range;
// - no two vertices are joined by more than two active faces (a load, which
//   builds the links from the corners, refuses such a mesh);
// - a link of an active face is -1 or another active face, which links back
//   across an edge joining the same two vertices, with the same sharp mark;
// - an active vertex stores an active face holding it (-1 when none uses it);
// - a vertex has the border bit exactly when it lies on an open edge; then
//   it is sharp too, and its stored face's backward edge (from the vertex to
//   the face's next corner) is open.
// Checked unless left out of `checks`:
// - CheckOrientation: neighbours run their shared edge in opposite directions;
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
