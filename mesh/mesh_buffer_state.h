#pragma once
// What a mesh keeps between two builds of its vertex buffers, so that a
// build rewrites only what changed: the faces whose corners changed per
// refillable array, the feature edges of every face, and the layout the
// buffers were built for (where each face's corners sit, how many corners
// use each vertex). The mesh's writes that reach the buffers during a
// stroke go through MeshBufferState, which marks what each changes;
// mesh_vbo.cpp reads the marks and keeps the layout current.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec.h"
#include "gl/pbr.h"
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
    // Marks the faces of the listed corners (3 f + k for corner k of face
    // f); faceLimit is one past the largest face the list may name (the
    // bitmap is sized for it once, not face by face).
    void markCornerFaces(const std::uint32_t* list, std::size_t n, std::size_t faceLimit);
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

class Mesh;
class VertexFans;

// The buffer state of one mesh, bound to it for its lifetime. The refill
// flags it raises and reads are the mesh's own (Mesh::refill).
//
// A refill flag raised as RefillWhole asks for the whole array; raised as
// RefillMarked, only for the corners of the faces marked for that array
// since it was last written, which the build rewrites and uploads run by
// run. A stroke's writes mark what they change and the stroke raises the
// flags with refillMarked. Marks beyond an eighth of the mesh give way to a
// whole refill, and so does a mark that cannot be followed (a vertex whose
// faces are not one fan joined by links). Face ids are only refilled whole.
class MeshBufferState {
public:
    // The arrays of the refill flags: positions (with the feature lines),
    // normals, paint, face ids; the first three can be refilled in part.
    enum Array : int { Positions = 0, Normals = 1, Paint = 2, Ids = 3 };
    static constexpr int MarkedArrays = 3;
    static constexpr std::uint8_t RefillWhole = 1;
    static constexpr std::uint8_t RefillMarked = 2;

    // Bound to the mesh and its four refill flags.
    MeshBufferState(Mesh& mesh, std::uint8_t* refill) : mesh_(mesh), refill_(refill) {}
    MeshBufferState(const MeshBufferState&) = delete;
    MeshBufferState& operator=(const MeshBufferState&) = delete;
    // Forgets the marks, the feature edges and the layout: the next build
    // starts from nothing.
    void reset();

    // ---- Writes that reach the buffers (mesh_buffer_marks.cpp) ----
    // Each writes the mesh's records and marks what it changed.
    //
    // Adds d[i] to the position of vertex list[i], i < n.
    void displace(const std::int32_t* list, const vec3* d, std::size_t n);
    // The masked channels of the corners of v's sharp-bounded sector that
    // starts at face f become m (Mesh::materialRegion); v is marked for the
    // channels that changed.
    void paintSector(int v, int f, const pbr& m, unsigned char mask);
    // The masked channels of the corners of gathered vertex i in the first
    // `count` faces of its fan become m; marked as paintSector.
    void paintFan(const VertexFans& fans, std::size_t i, std::size_t count, const pbr& m, unsigned char mask);
    // The masked channels of every corner of face f become m.
    void paintFace(int f, const pbr& m, unsigned char mask);
    // The corner normals round the gathered vertices, written by write()
    // (false when it could not write them all); the faces of their fans are
    // marked. Whether write() wrote them.
    template <class Write>
    bool writeNormalsRound(const VertexFans& ring, Write&& write) {
        if (!write()) return false;
        markFans(Normals, ring);
        return true;
    }
    // A whole-mesh change of the array: the whole array is refilled.
    void refillWhole(int array) { refillFlag(array) = RefillWhole; }
    // Faces were added, removed or reordered: the next build reallocates
    // the buffers and refills them whole (Mesh::topologyChanged).
    void faceSetChanged();

    // ---- Marks ----
    // Raises the array's flag for its marked faces; a whole refill already
    // asked for stays whole.
    void refillMarked(int array) {
        std::uint8_t& flag = refillFlag(array);
        if (flag == 0) flag = RefillMarked;
    }
    // The corners of face f changed in the array (nothing for an index out
    // of range). For the paint, `channels` (a pbr::Mask set) tells which
    // channels changed: the colour, light and material arrays they do not
    // reach are not uploaded again.
    void markFace(int array, int f, unsigned char channels = pbr::MaskAll);
    // The corners of every face round vertex v changed in the array; for
    // the paint, v's own corners alone (what a brush paints), which are all
    // that is rewritten.
    void markVertex(int array, int v, unsigned char channels = pbr::MaskAll);
    // The same for n vertices at once (so many that they ask for a whole
    // refill at once).
    void markVertices(int array, const std::int32_t* list, std::size_t n, unsigned char channels = pbr::MaskAll);
    // The corners of the faces of the gathered fans (a vertex without
    // faces standing for its own) changed in the array.
    void markFans(int array, const VertexFans& fans);
    // The links or sharp marks of face f (of every face, without an
    // argument) changed: its feature edges are found again before the next
    // position refill, which is whole when they differ. A whole-mesh change
    // also makes the next marked refills whole.
    void markFeatures(int f);
    void markFeatures();

    // ---- The build (mesh_vbo.cpp, mesh_vbo_ranges.cpp) ----
    // Before a build: turns marked refills whole where the marks cannot be
    // followed or the feature edges changed, and marks the faces using the
    // marked vertices (for the normals, and for the positions when they are
    // not written corner by corner; the paint always is).
    void settle();
    // A marked position refill writes each marked vertex's position straight
    // into the corners using it (MeshBufferState::fanCorners), reading no
    // face record: so when the mesh draws no feature lines, whose segments
    // are rewritten face by face. Faces marked themselves are still
    // rewritten whole.
    bool positionsByCorner() const;
    // After a successful build: the marks of every array written are spent,
    // and a whole position refill found the feature edges.
    void built();
    const ChangeMarks& marks(int array) const { return marks_[array]; }
    // The paint arrays the paint marks reach: bit 0 colour, 1 light, 2
    // roughness and metalness.
    std::uint8_t paintParts() const { return paintParts_; }
    // The paint arrays that the paint marks of vertex v reach (0 when v is
    // not marked for the paint).
    std::uint8_t vertexPaint(std::uint32_t v) const { return v < vertexPaint_.size() ? vertexPaint_[v] : 0; }

    FeatureEdges features;
    // The layout of the last whole build: the face count it was made for,
    // whether every face was active (each face then sits at its own index),
    // else each face's rank among the active ones (-1: not drawn), the
    // active faces as a bitmap, and the corners of the drawn faces using
    // each vertex, as 3 f + k for corner k of face f: vertex v's are
    // fanCorners[fanFirst[v] .. fanFirst[v + 1]), in index order (a flat
    // list, so that the faces round the vertices a stamp marked, and the
    // corners a moved vertex is drawn at, are found without walking their
    // fans).
    std::size_t faceSlots = 0;
    bool everyFaceActive = true;
    std::vector<std::int32_t> rank;
    std::vector<std::uint64_t> activeWords;
    std::vector<std::uint32_t> fanFirst;
    std::vector<std::uint32_t> fanCorners;
    bool laidOut = false;  // the layout above and the feature starts match the buffers

private:
    std::uint8_t& refillFlag(int array) { return refill_[array]; }
    // The marks a change of the array goes to (noting the paint channels
    // changed); null when none are kept.
    ChangeMarks* marksFor(int array, unsigned char channels);
    // The marks give way to a whole refill (overflow), the paint arrays of
    // the paint's marked vertices forgotten with them.
    void overflow(ChangeMarks& marks);
    void forgetVertexPaint();

    Mesh& mesh_;
    std::uint8_t* refill_;
    ChangeMarks marks_[MarkedArrays];
    std::uint8_t paintParts_ = 0;
    // By vertex, the paint arrays its paint marks reach: set for the marked
    // vertices only (sized for the vertices at the first paint mark).
    std::vector<std::uint8_t> vertexPaint_;
};

// Face f of the layout is active.
inline bool activeInLayout(const MeshBufferState& state, std::size_t f) {
    if (f >= state.faceSlots) return false;
    return state.everyFaceActive || (state.activeWords[f >> 6] >> (f & 63) & 1) != 0;
}

// The slot of corner c (3 f + k) of a drawn face in the arrays of the layout.
inline std::uint32_t cornerSlot(const MeshBufferState& state, std::uint32_t c) {
    if (state.everyFaceActive) return c;
    const std::uint32_t f = c / 3;
    return 3 * std::uint32_t(state.rank[f]) + (c - 3 * f);
}

// Calls fn(v, from, to) for each vertex of list that the layout lists, in
// list order, its drawn corners being fanCorners[from, to). The vertices
// come in the order a stroke reached them, far apart in the lists when the
// mesh is not in a spatial order: a vertex's start is asked for some
// vertices ahead, its corners (and ahead(v), what fn reads of it) nearer.
template <class Ahead, class Fn>
void forListedCorners(const MeshBufferState& state, const std::vector<std::uint32_t>& list, Ahead&& ahead, Fn&& fn) {
    constexpr std::size_t Far = 16, Near = 8;
    const std::uint32_t* const first = state.fanFirst.data();
    const std::size_t n = list.size(), starts = state.fanFirst.size();
    const auto listed = [&](std::size_t i) { return std::size_t(list[i]) + 1 < starts; };
    for (std::size_t i = 0; i < n; ++i) {
        if (i + Far < n && listed(i + Far)) __builtin_prefetch(first + list[i + Far]);
        if (i + Near < n && listed(i + Near)) {
            __builtin_prefetch(state.fanCorners.data() + first[list[i + Near]]);
            ahead(list[i + Near]);
        }
        if (listed(i)) fn(list[i], first[list[i]], first[list[i] + 1]);
    }
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

inline void ChangeMarks::markCornerFaces(const std::uint32_t* list, std::size_t n, std::size_t faceLimit) {
    if (overflowed_ || n == 0) return;
    const std::size_t words = (faceLimit + 63) / 64;
    if (faceWords_.size() < words) faceWords_.resize(words, 0);
    // Kept in locals: stores through the bitmap could otherwise alias the
    // bounds and make the loop reload them face by face.
    std::uint64_t* bits = faceWords_.data();
    std::size_t low = lowWord_ > highWord_ ? words : lowWord_;
    std::size_t high = lowWord_ > highWord_ ? 0 : highWord_;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t f = list[i] / 3;
        const std::size_t w = f >> 6;
        bits[w] |= std::uint64_t(1) << (f & 63);
        low = w < low ? w : low;
        high = w > high ? w : high;
    }
    lowWord_ = low;
    highWord_ = high;
    faceMarks_ += n;
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
