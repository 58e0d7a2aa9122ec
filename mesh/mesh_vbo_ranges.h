#pragma once
// The refills of marked faces (mesh_vbo_ranges.cpp): the part of
// Mesh::buildVBO that rewrites only what a stroke changed.

#include <cstdint>

namespace qel {

class Mesh;

// What the refills of marked faces mapped of the vertex buffer and what their
// marks needed written, in bytes, with the number of ranges mapped; counted
// from the last reset (a caller that watches them sets them to zero).
struct BufferTraffic {
    std::uint64_t mapped = 0, written = 0, maps = 0;
};
BufferTraffic& bufferTraffic();

// For each array whose refill flag is RefillMarked, rewrites the corners of
// its marked faces run by run of neighbouring faces, straight into mapped
// spans of the runs, each at most a few times what its runs need and
// written whole; the position runs also rewrite the feature
// segments of their faces (one glBufferSubData per run of the line
// buffer). Without feature lines, the positions of marked vertices are
// written into their corners alone (MeshBufferState::positionsByCorner),
// and the paint of marked vertices always is. The vertex buffer is sized
// and the marks are followed (MeshBufferState::settle). layoutHolds turns false, and nothing more is
// written, when a face is no longer drawn as the buffer's layout says: the
// caller then rebuilds everything. False when a range cannot be mapped or
// its contents were lost (other GL errors are read by the caller).
bool refillMarkedArrays(Mesh& mesh, bool& layoutHolds);

}  // namespace qel
