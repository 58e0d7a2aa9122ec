#pragma once
// What a mesh keeps between two builds of its vertex buffers, so that a
// build rewrites only what changed: the faces whose corners changed per
// refillable array, the feature edges of every face, and the layout the
// buffers were built for (where each face's corners sit, how many corners
// use each vertex). Plain data: mesh_vbo.cpp and mesh_buffer_marks.cpp keep
// it current.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/mesh_records.h"

namespace qel {

// The faces whose corners one array must rewrite at the next build, marked
// face by face, or vertex by vertex (a vertex standing for every face
// round it, found at the build). Face marks are a bitmap over the face
// indices, so that they come out as runs in index order without sorting;
// vertex marks are a list holding each vertex once. Marks past a limit
// give way to a whole refill: the set overflows and keeps nothing more.
class ChangeMarks {
public:
    void markFace(std::uint32_t f);
    // False when the vertex was marked already.
    bool markVertex(std::uint32_t v);
    // Drops every mark and keeps none until the next clear.
    void overflow();
    bool overflowed() const { return overflowed_; }
    bool empty() const { return !overflowed_ && lowWord_ > highWord_ && vertexList_.empty(); }
    std::size_t markedVertices() const { return vertexList_.size(); }
    std::size_t markedFaces() const { return faceMarks_; }
    const std::vector<std::uint32_t>& vertices() const { return vertexList_; }
    // Calls fn(first, end) for each run of marked faces in index order; runs
    // whose gap is at most `gap` faces are joined (the faces between them
    // come with the run).
    template <class Fn>
    void forRuns(std::uint32_t gap, Fn&& fn) const;
    // Forgets every mark (the storage stays for the next marks).
    void clear();

private:
    std::vector<std::uint64_t> faceWords_;
    std::size_t lowWord_ = 1, highWord_ = 0;  // words that may hold marks (none when low > high)
    std::size_t faceMarks_ = 0;               // face marks made (a face marked twice counts twice)
    std::vector<std::uint64_t> vertexWords_;
    std::vector<std::uint32_t> vertexList_;
    bool overflowed_ = false;
};

// The feature edges of the faces: per face a mask of the edges drawn as
// feature lines (sharp or open, an interior sharp edge from the face with
// the larger index), and where its segments start in the line buffer.
struct FeatureEdges {
    std::vector<std::uint8_t> mask;    // bit k: edge k is drawn
    std::vector<std::uint32_t> first;  // face f's first segment; one entry past the last face
    std::vector<std::uint32_t> stale;  // faces whose links or sharp marks changed since
    bool allStale = true;              // every face's links may have changed
};

struct MeshBufferState {
    // The arrays that can be refilled in part, in the order of the refill
    // flags: positions (with the feature lines), normals, paint.
    static constexpr int MarkedArrays = 3;
    ChangeMarks marks[MarkedArrays];
    // The paint arrays the paint marks reach: bit 0 colour, 1 light, 2
    // roughness and metalness.
    std::uint8_t paintParts = 0;
    FeatureEdges features;
    // The layout of the last whole build: the face count it was made for,
    // whether every face was active (each face then sits at its own index),
    // else each face's rank among the active ones (-1: not drawn), the
    // active faces as a bitmap, and the drawn faces using each vertex:
    // vertex v's are fanFaces[fanFirst[v] .. fanFirst[v + 1]), in index order
    // (a flat list, so that the faces round the vertices a stamp marked are
    // found without walking their fans).
    std::size_t faceSlots = 0;
    bool everyFaceActive = true;
    std::vector<std::int32_t> rank;
    std::vector<std::uint64_t> activeWords;
    std::vector<std::uint32_t> fanFirst;
    std::vector<std::uint32_t> fanFaces;
    bool laidOut = false;  // the layout above and the feature starts match the buffers
};

// Face f of the layout is active.
inline bool activeInLayout(const MeshBufferState& state, std::size_t f) {
    if (f >= state.faceSlots) return false;
    return state.everyFaceActive || (state.activeWords[f >> 6] >> (f & 63) & 1) != 0;
}

// The feature mask of face F, index f: edge k is drawn when it is open (no
// active neighbour in the layout) or sharp with a neighbour of index at most
// f, so that an interior sharp edge is drawn once.
inline std::uint8_t featureMask(const MeshFace& F, std::int32_t f, const MeshBufferState& state) {
    std::uint8_t mask = 0;
    for (int k = 0; k < 3; ++k) {
        const std::int32_t g = F.f[k];
        const bool open = g < 0 || !activeInLayout(state, std::size_t(g));
        if (open || (F.isSharp(k) && f >= g)) mask = std::uint8_t(mask | (1 << k));
    }
    return mask;
}

// Inline: a stamp's build marks some tens of thousands of faces.
inline void ChangeMarks::markFace(std::uint32_t f) {
    if (overflowed_) return;
    const std::size_t w = f >> 6;
    if (w >= faceWords_.size()) faceWords_.resize(w + 1, 0);
    faceWords_[w] |= std::uint64_t(1) << (f & 63);
    if (lowWord_ > highWord_) {
        lowWord_ = highWord_ = w;
    } else {
        lowWord_ = w < lowWord_ ? w : lowWord_;
        highWord_ = w > highWord_ ? w : highWord_;
    }
    ++faceMarks_;
}

template <class Fn>
void ChangeMarks::forRuns(std::uint32_t gap, Fn&& fn) const {
    if (overflowed_ || lowWord_ > highWord_) return;
    bool open = false;
    std::uint64_t first = 0, end = 0;
    for (std::size_t w = lowWord_; w <= highWord_; ++w) {
        std::uint64_t bits = faceWords_[w];
        while (bits != 0) {
            const std::uint64_t f = 64 * std::uint64_t(w) + std::uint64_t(__builtin_ctzll(bits));
            bits &= bits - 1;
            if (open && f <= end + gap) {
                end = f + 1;
                continue;
            }
            if (open) fn(std::uint32_t(first), std::uint32_t(end));
            open = true;
            first = f;
            end = f + 1;
        }
    }
    if (open) fn(std::uint32_t(first), std::uint32_t(end));
}

}  // namespace qel
