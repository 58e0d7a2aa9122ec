#pragma once
// The refills of marked faces (mesh_vbo_ranges.cpp): the part of
// Mesh::buildVBO that rewrites only what a stroke changed.

namespace qel {

class Mesh;

// For each array whose refill flag is RefillMarked, rewrites the corners of
// its marked faces run by run of neighbouring faces, straight into the
// mapped range the runs span; the position runs also rewrite the feature
// segments of their faces (one glBufferSubData per run of the line
// buffer). Without feature lines, the positions of marked vertices are
// written into their corners alone (MeshBufferState::positionsByCorner). The vertex buffer is sized and the marks are followed
// (MeshBufferState::settle). layoutHolds turns false, and nothing more is
// written, when a face is no longer drawn as the buffer's layout says: the
// caller then rebuilds everything. False when a range cannot be mapped or
// its contents were lost (other GL errors are read by the caller).
bool refillMarkedArrays(Mesh& mesh, bool& layoutHolds);

}  // namespace qel
