#pragma once
// Cache warming for passes that walk the fans of a list of vertices in
// order (the brush operators over an influence list). The faces of one fan
// lie far apart in the face list, so each walk waits on memory; asking for
// a vertex's faces some records ahead of its walk hides much of that wait.

#include <cstddef>

#include "mesh/mesh.h"

namespace qel {

// Asks for the lines of F that a fan walk reads: corners and links, flags.
inline void prefetchFace(const MeshFace& F) {
    __builtin_prefetch(&F.v[0]);
    __builtin_prefetch(&F.flags);
}

// Asks for every line of F: the passes that write the corner materials
// touch the whole record.
inline void prefetchWholeFace(const MeshFace& F) {
    const char* p = reinterpret_cast<const char*>(&F);
    for (std::size_t at = 0; at < sizeof(MeshFace); at += 64) __builtin_prefetch(p + at, 1);
    __builtin_prefetch(p + sizeof(MeshFace) - 1, 1);
}

// Calls body(i) for i = 0 .. n - 1, where faceAt(i) is the face from which
// body(i) walks a fan: Far records ahead that face is asked for, Near
// records ahead the faces across its edges (its links were fetched with
// it), each by prefetch(face record).
template <std::size_t Far, std::size_t Near, class Prefetch, class FaceAt, class Body>
void fansAhead(const Mesh& m, std::size_t n, Prefetch&& prefetch, FaceAt&& faceAt, Body&& body) {
    for (std::size_t i = 0; i < n; ++i) {
        if (i + Far < n) {
            const int f = faceAt(i + Far);
            if (m.validFace(f)) prefetch(m.faces[f]);
        }
        if (i + Near < n) {
            const int f = faceAt(i + Near);
            if (m.validFace(f))
                for (const int g : m.faces[f].f)
                    if (m.validFace(g)) prefetch(m.faces[g]);
        }
        body(i);
    }
}

// Calls write(i) for i = 0 .. n - 1, where faceAt(i) is the face from
// which write(i) walks a fan writing the faces' records (fetched whole).
template <class FaceAt, class Write>
void writeFacesAhead(const Mesh& m, std::size_t n, FaceAt&& faceAt, Write&& write) {
    fansAhead<16, 8>(m, n, prefetchWholeFace, faceAt, write);
}

// Calls walk(i) for i = 0 .. n - 1, where vertexAt(i) is the vertex whose
// fan walk(i) visits, from the vertex's stored face: of each face ahead the
// line that holds its corners and links and the one that holds its flags.
// The distances were measured on a sphere of a million faces.
template <class VertexAt, class Walk>
void walkFansAhead(const Mesh& m, std::size_t n, VertexAt&& vertexAt, Walk&& walk) {
    const auto storedFace = [&](std::size_t i) {
        const int v = vertexAt(i);
        return m.validVertex(v) ? m.vertices[v].face : -1;
    };
    fansAhead<32, 16>(m, n, prefetchFace, storedFace, walk);
}

}  // namespace qel
