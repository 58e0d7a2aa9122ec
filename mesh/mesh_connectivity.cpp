// The rebuild that every imported, loaded, built, sculpted or cut mesh ends
// with: neighbour links, one orientation per component, vertex flags and
// stored faces, sharp edges from corner normals, and the sharp marks of
// single edges.
//
// Speed: a mesh of a million triangles is rebuilt in a few passes over flat
// arrays. The edges are matched by bucketing the face edges on their smaller
// vertex (a counting sort, no hashing); the fans round each vertex are
// counted on the way, so that the split of vertices whose fans meet only
// there is skipped when every vertex has one. The passes after it read a
// flat table of the faces' corners, links and flags rather than the face
// records, which are read once and written once. Walks round vertices
// (random access into the face records) are kept for the vertices that need
// them: those on sharp or open edges.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/corner_edges.h"
#include "mesh/face_table.h"
#include "mesh/mesh.h"

namespace qel {

namespace {


// One face edge in the edge buckets: the larger vertex in the high word, so
// that sorting a bucket groups the edges by their other end; then the face,
// whether the face runs the edge from the smaller to the larger vertex, and
// the edge index.
using EdgeKey = std::uint64_t;
constexpr int MaxLinkedFaces = 1 << 29;  // faces addressable by an EdgeKey

inline EdgeKey edgeKey(int hi, int face, bool lowFirst, int k) {
    return (EdgeKey(std::uint32_t(hi)) << 32) | (EdgeKey(std::uint32_t(face)) << 3) | (lowFirst ? 4u : 0u) | EdgeKey(k);
}
inline int keyHi(EdgeKey e) { return int(e >> 32); }
inline int keyFace(EdgeKey e) { return int((e & 0xffffffffu) >> 3); }
inline bool keyLowFirst(EdgeKey e) { return (e & 4u) != 0; }
inline int keyEdge(EdgeKey e) { return int(e & 3u); }

// Disjoint sets of face corners (3 * face + k), joined where two faces share
// an edge at the corners' vertex: the sets of one vertex are its fans. Each
// entry holds its parent + 1, 0 for a root, so that zeroed storage starts
// as singletons.
class CornerSets {
public:
    explicit CornerSets(std::size_t corners) { up_.allocateZeroed(corners); }
    // Joins the sets of a and b; true when they were apart.
    bool unite(int a, int b) {
        a = find(a);
        b = find(b);
        if (a == b) return false;
        if (a < b) std::swap(a, b);
        up_[std::size_t(a)] = b + 1;
        return true;
    }

    // Fetches the entry of corner c early.
    void prefetch(int c) const { __builtin_prefetch(up_.data() + c, 1); }
    // The storage, to be used again (the sets end).
    FlatArray<std::int32_t> release() { return std::move(up_); }

private:
    int find(int c) {
        for (;;) {
            const int p = up_[std::size_t(c)] - 1;
            if (p < 0) return c;
            const int g = up_[std::size_t(p)] - 1;
            if (g < 0) return p;
            up_[std::size_t(c)] = g + 1;  // halve the path
            c = g;
        }
    }
    FlatArray<std::int32_t> up_;
};

// Sorts one bucket by the larger vertex. Buckets hold the few edges of one
// vertex, so insertion sort is the fast case; big fans fall back to sort.
void sortBucket(EdgeKey* first, EdgeKey* last) {
    if (last - first > 32) {
        std::sort(first, last);
        return;
    }
    for (EdgeKey* i = first + 1; i < last; ++i) {
        const EdgeKey x = *i;
        EdgeKey* j = i;
        while (j > first && *(j - 1) > x) {
            *j = *(j - 1);
            --j;
        }
        *j = x;
    }
}

// Data for the face (or entry) some places ahead is fetched early in the
// whole-mesh passes below, so that the jumps of many faces into the vertex
// tables overlap instead of waiting one by one.
constexpr int Ahead = 32;

// What compactCorners found among the active faces.
struct CompactFaces {
    int active = 0;      // their count
    bool sharp = false;  // some has a sharp bit
};

// The corners of every face as a flat list (three per face; -1 for an
// inactive face) and the faces' flags: with allFlags, those of every face;
// otherwise only the sharp bits of active faces, in storage allocated
// (zeroed) at the first face that has one. A face naming a missing vertex
// or one vertex twice has no proper edges: it loses its active bit.
CompactFaces compactCorners(Mesh& m, FlatArray<std::int32_t>& corners, FlatArray<std::uint8_t>& flags, bool allFlags) {
    const unsigned nV = unsigned(m.vertexCount());
    corners.allocate(std::size_t(m.faceCount()) * 3);
    if (allFlags)
        flags.allocate(std::size_t(m.faceCount()));
    else
        flags.reset();
    CompactFaces result;
    std::int32_t* out = corners.data();
    std::uint8_t* flagOut = allFlags ? flags.data() : nullptr;
    m.faces.forRange(0, m.faces.size(), [&](MeshFace& F) {
        std::int32_t* c = out;
        out += 3;
        c[0] = c[1] = c[2] = -1;
        if (flagOut) *flagOut++ = F.flags;
        if (!F.isActive()) return;
        const int a = F.v[0], b = F.v[1], d = F.v[2];
        const bool inRange = unsigned(a) < nV && unsigned(b) < nV && unsigned(d) < nV;
        if (!inRange || a == b || b == d || a == d) {
            F.flags = std::uint8_t(F.flags & ~MeshFace::ActiveBit);
            if (flagOut) flagOut[-1] = F.flags;
            return;
        }
        c[0] = a;
        c[1] = b;
        c[2] = d;
        ++result.active;
        if (F.flags & MeshFace::SharpMask) {
            result.sharp = true;
            if (!allFlags) {
                if (flags.size() == 0) flags.allocateZeroed(std::size_t(m.faceCount()));
                flags[std::size_t(c - corners.data()) / 3] = std::uint8_t(F.flags & MeshFace::SharpMask);
            }
        }
    });
    return result;
}

// The last face using every vertex (-1: none) and the size of every edge
// bucket (bucket lo holds the edges whose smaller vertex is lo; sizes at
// lo + 1, ready for the prefix sums).
void lastFacesAndBucketSizes(const FlatArray<std::int32_t>& corners, int nV, std::vector<std::int32_t>& lastFace,
                             std::vector<std::int32_t>& bucket) {
    const int nF = int(corners.size() / 3);
    lastFace.assign(std::size_t(nV), -1);
    bucket.assign(std::size_t(nV) + 1, 0);
    for (int i = 0; i < nF; ++i) {
        if (i + Ahead < nF) {
            const std::int32_t* A = &corners[3 * std::size_t(i + Ahead)];
            if (A[0] >= 0)
                for (int k = 0; k < 3; ++k) {
                    __builtin_prefetch(lastFace.data() + A[k]);
                    __builtin_prefetch(bucket.data() + A[k]);
                }
        }
        const std::int32_t* c = &corners[3 * std::size_t(i)];
        if (c[0] < 0) continue;
        for (int k = 0; k < 3; ++k) lastFace[std::size_t(c[k])] = i;
        ++bucket[std::size_t(std::min(c[1], c[2])) + 1];  // edge 0
        ++bucket[std::size_t(std::min(c[2], c[0])) + 1];  // edge 1
        ++bucket[std::size_t(std::min(c[0], c[1])) + 1];  // edge 2
    }
}

// Turns the bucket sizes into bucket starts and scatters every edge of
// every face into its bucket (a counting sort on the smaller vertex).
void scatterEdges(const FlatArray<std::int32_t>& corners, std::vector<std::int32_t>& bucket,
                  FlatArray<EdgeKey>& edges) {
    const int nF = int(corners.size() / 3);
    const std::size_t nV = bucket.size() - 1;
    for (std::size_t i = 0; i < nV; ++i) bucket[i + 1] += bucket[i];
    edges.allocate(std::size_t(bucket[nV]));
    std::vector<std::int32_t> fill(bucket.begin(), bucket.end() - 1);
    auto lower = [](const std::int32_t* c, int k) { return std::min(c[nextK(k)], c[prevK(k)]); };
    for (int i = 0; i < nF; ++i) {
        // The bucket cursor of a face further ahead is fetched first, then
        // the slot it points to.
        if (i + 2 * Ahead < nF) {
            const std::int32_t* A = &corners[3 * std::size_t(i + 2 * Ahead)];
            if (A[0] >= 0)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(fill.data() + A[k]);
        }
        if (i + Ahead < nF) {
            const std::int32_t* A = &corners[3 * std::size_t(i + Ahead)];
            if (A[0] >= 0)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(edges.data() + fill[std::size_t(lower(A, k))]);
        }
        const std::int32_t* c = &corners[3 * std::size_t(i)];
        if (c[0] < 0) continue;
        for (int k = 0; k < 3; ++k) {
            // Edge k runs from corner k+1 to corner k+2.
            const int from = c[nextK(k)], to = c[prevK(k)];
            const bool lowFirst = from < to;
            const int lo = lowFirst ? from : to;
            edges[std::size_t(fill[std::size_t(lo)]++)] = edgeKey(lowFirst ? to : from, i, lowFirst, k);
        }
    }
}

// Matches the edges of every bucket by their larger vertex into the link
// table (face * 3 + edge; -1 for an edge of one face). consistent turns
// false when two faces run a shared edge the same way. With fans, the
// corners at both ends of every shared edge are joined; the return of
// unite is counted in joins. With sharp (the faces' flags, or null when no
// face has a sharp bit), an edge that is sharp in one of its faces only (a
// damaged record) has the other face's slot listed in sharpen. False when
// an edge has three or more faces.
bool matchEdges(FlatArray<EdgeKey>& edges, const std::vector<std::int32_t>& bucket, FlatArray<std::int32_t>& links,
                bool& consistent, CornerSets* fans, std::size_t& joins, const std::uint8_t* sharp,
                std::vector<std::int32_t>& sharpen) {
    const std::size_t nV = bucket.size() - 1;
    const EdgeKey* const end = edges.data() + edges.size();
    // The corners of edge k of face f at its smaller and at its larger vertex
    // (edge k runs from corner k+1 to corner k+2).
    auto lowCorner = [](EdgeKey e) {
        const int k = keyEdge(e);
        return 3 * keyFace(e) + (keyLowFirst(e) ? nextK(k) : prevK(k));
    };
    auto highCorner = [](EdgeKey e) {
        const int k = keyEdge(e);
        return 3 * keyFace(e) + (keyLowFirst(e) ? prevK(k) : nextK(k));
    };
    const EdgeKey* ahead = edges.data();  // next entry whose link slot to fetch
    auto slot = [](EdgeKey e) { return 3 * std::size_t(keyFace(e)) + std::size_t(keyEdge(e)); };
    for (std::size_t lo = 0; lo < nV; ++lo) {
        EdgeKey* first = edges.data() + bucket[lo];
        EdgeKey* last = edges.data() + bucket[lo + 1];
        if (last - first > 1) sortBucket(first, last);
        for (EdgeKey* e = first; e < last;) {
            for (; ahead < end && ahead < e + 2 * Ahead; ++ahead) {
                __builtin_prefetch(links.data() + slot(*ahead), 1);
                if (fans) fans->prefetch(3 * keyFace(*ahead));
            }
            EdgeKey* g = e + 1;
            while (g < last && keyHi(*g) == keyHi(*e)) ++g;
            if (g - e > 2) return false;
            if (g - e == 1) {
                links[slot(e[0])] = -1;
            } else {
                links[slot(e[0])] = keyFace(e[1]);
                links[slot(e[1])] = keyFace(e[0]);
                if (keyLowFirst(e[0]) == keyLowFirst(e[1])) consistent = false;
                if (fans) {
                    joins += fans->unite(lowCorner(e[0]), lowCorner(e[1]));
                    joins += fans->unite(highCorner(e[0]), highCorner(e[1]));
                }
                if (sharp) {
                    const bool s0 = (sharp[keyFace(e[0])] >> keyEdge(e[0])) & 1;
                    const bool s1 = (sharp[keyFace(e[1])] >> keyEdge(e[1])) & 1;
                    if (s0 != s1) sharpen.push_back(std::int32_t(slot(e[s0 ? 1 : 0])));
                }
            }
            e = g;
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Connectivity

bool Mesh::buildConnectivity() {
    bool consistent = false;
    return buildLinks(consistent, nullptr, nullptr);
}

bool Mesh::buildLinks(bool& consistent, bool* oneFanEach, FaceTable* table) {
    topologyEdited();
    bufferState.markFeatures();
    consistent = true;
    needsCompaction = 0;
    const int nV = vertexCount();
    const int nF = faceCount();
    if (nF >= MaxLinkedFaces) return false;

    FaceTable local;
    FaceTable& t = table ? *table : local;
    const CompactFaces compact = compactCorners(*this, t.corners, t.flags, table != nullptr);
    const int activeFaces = compact.active;
    if (activeFaces != nF) needsCompaction = 1;
    std::vector<std::int32_t> lastFace, bucket;
    lastFacesAndBucketSizes(t.corners, nV, lastFace, bucket);

    // Stored faces: the last active face using the vertex. A vertex still
    // used by a live face stays alive; an active vertex that no active face
    // uses leaves (its old stored face may name an erased face).
    int v = 0;
    std::size_t usedVertices = 0;
    vertices.forRange(0, vertices.size(), [&](MeshVertex& r) {
        const int last = lastFace[std::size_t(v++)];
        if (last >= 0) {
            r.flags = std::uint8_t(r.flags | MeshVertex::ActiveBit);
            r.face = last;
            ++usedVertices;
        } else if (r.isActive()) {
            r.flags = std::uint8_t(r.flags & ~MeshVertex::ActiveBit);
            r.face = -1;
            needsCompaction = 1;
        }
    });
    lastFace = std::vector<std::int32_t>();

    FlatArray<EdgeKey> edges;
    scatterEdges(t.corners, bucket, edges);
    // The links go to a flat table first, so that a failed build writes
    // none. Without a face table they take the corners' place (same size).
    if (table) t.links.allocate(t.corners.size());
    FlatArray<std::int32_t>& links = table ? t.links : t.corners;
    std::size_t joins = 0;
    std::unique_ptr<CornerSets> fans;
    if (oneFanEach) fans = std::make_unique<CornerSets>(t.corners.size());
    std::vector<std::int32_t> sharpen;
    if (!matchEdges(edges, bucket, links, consistent, fans.get(), joins, compact.sharp ? t.flags.data() : nullptr,
                    sharpen))
        return false;
    // Every corner starts as a fan of its own; each join merges two fans of
    // one vertex. Each used vertex has at least one fan, so the count left
    // equals the used vertices exactly when each has one.
    if (oneFanEach) *oneFanEach = 3 * std::size_t(activeFaces) - joins == usedVertices;
    edges.reset();
    if (fans && table) t.spare = fans->release();
    fans.reset();
    // An edge is sharp on both sides or on neither: in the records, and in
    // the table's flags that the passes after it read.
    for (const std::int32_t s : sharpen) {
        faces[std::size_t(s / 3)].setSharp(s % 3, true);
        t.flags[std::size_t(s / 3)] = std::uint8_t(t.flags[std::size_t(s / 3)] | MeshFace::SHARP[s % 3]);
    }

    // Faces that need turning over are turned in the records: the links go
    // there now. Otherwise a table keeps them for the passes that follow.
    // (In a rebuild of faces that need no turning over, the orientation
    // pass would only clear its marks: they go with the links.)
    if (!table) t.links = std::move(t.corners);
    t.linksWritten = false;
    t.clearMarks = table && consistent;
    if (!table || !consistent) writeLinks(t);
    return true;
}

void Mesh::writeLinks(FaceTable& table) {
    topologyEdited();
    if (table.linksWritten) return;
    table.linksWritten = true;
    int f = 0;
    faces.forRange(0, faces.size(), [&](MeshFace& F) {
        const std::size_t i = std::size_t(f++);
        if (F.isActive()) table.link(F, i);
    });
}

// ---------------------------------------------------------------------------
// Orientation

namespace {

// Marks of the orientation vote, one byte per face.
enum VoteMark : std::uint8_t {
    VoteVisited = 1,  // reached by the walk
    VoteMarked = 2,   // on the other side from the component's first face
    VoteFlip = 4,     // to be turned over
    VoteDone = 8,     // taken from the queue, its edges weighed
};

// Whether face G (corners G[0..2]) runs edge k of face F (from corner k+1
// to corner k+2) the same way as F: the edge's second vertex follows its
// first in G's corner cycle.
inline bool sameDirection(const std::int32_t* F, int k, const std::int32_t* G) {
    const int a = F[nextK(k)], b = F[prevK(k)];
    // Without short cuts: the walk calls this for faces in random order,
    // where branches on the corners cannot be predicted.
    return ((G[0] == a) & (G[1] == b)) | ((G[1] == a) & (G[2] == b)) | ((G[2] == a) & (G[0] == b));
}

// Where the vote cannot agree (a one-sided surface), an edge whose two
// faces still run it the same way once the flips are made becomes an open
// seam: each side unlinks its own edge in the compact topology (per face
// v[0..2], f[0..2]). The seam's ends then lie on open edges, and the fans
// it parts get vertices of their own in splitCoincidentVertices, as on any
// border.
void openSeams(std::vector<std::int32_t>& topo, const std::vector<std::uint8_t>& mark) {
    const int nF = int(mark.size());
    for (int f = 0; f < nF; ++f) {
        std::int32_t* F = &topo[6 * std::size_t(f)];
        if (F[0] < 0) continue;
        for (int k = 0; k < 3; ++k) {
            const int g = F[3 + k];
            if (g < 0 || g >= nF || g == f) continue;
            const std::int32_t* G = &topo[6 * std::size_t(g)];
            if (G[0] < 0) continue;
            const bool turned = ((mark[std::size_t(f)] ^ mark[std::size_t(g)]) & VoteFlip) != 0;
            if (sameDirection(F, k, G) != turned) F[3 + k] = -1;
        }
    }
}

}  // namespace

void Mesh::correctOrientation() {
    topologyEdited();
    bufferState.markFeatures();
    // The breadth-first walks read a compact copy of the corners and links
    // (random access into it stays in cache) and keep their marks in a side
    // array; the faces are turned over in one pass at the end.
    const int nF = faceCount();
    std::vector<std::int32_t> topo;
    copyTopology(topo);
    std::vector<std::uint8_t> mark(std::size_t(nF), 0);
    std::vector<std::int32_t> queue;
    bool disagree = false;  // some edge of a one-sided surface
    for (int i = 0; i < nF; ++i) {
        if (topo[6 * std::size_t(i)] < 0 || (mark[std::size_t(i)] & VoteVisited)) continue;
        // Breadth-first over the component; the queue is its face list.
        queue.clear();
        queue.push_back(i);
        mark[std::size_t(i)] = VoteVisited;
        std::size_t marked = 0;
        for (std::size_t head = 0; head < queue.size(); ++head) {
            // The neighbours of a face further along the queue are fetched
            // early, so that the jumps of many faces overlap.
            if (head + Ahead < queue.size()) {
                const std::int32_t* A = &topo[6 * std::size_t(queue[head + std::size_t(Ahead)])];
                for (int k = 0; k < 3; ++k)
                    if (A[3 + k] >= 0 && A[3 + k] < nF) {
                        __builtin_prefetch(topo.data() + 6 * std::size_t(A[3 + k]));
                        __builtin_prefetch(mark.data() + A[3 + k]);
                    }
            }
            const int f = queue[head];
            const std::int32_t* F = &topo[6 * std::size_t(f)];
            const std::uint8_t fm = std::uint8_t(mark[std::size_t(f)] | VoteDone);
            mark[std::size_t(f)] = fm;
            const bool fMarked = (fm & VoteMarked) != 0;
            for (int k = 0; k < 3; ++k) {
                const int g = F[3 + k];
                if (g < 0 || g >= nF || g == f) continue;
                const std::uint8_t gm = mark[std::size_t(g)];
                const std::int32_t* G = &topo[6 * std::size_t(g)];
                if (gm & VoteVisited) {
                    // A second way to a face still queued (an edge to a face
                    // taken from the queue was weighed from its side): the
                    // surface is one-sided when it asks for the other side.
                    if (!(gm & VoteDone) && (sameDirection(F, k, G) != fMarked) != ((gm & VoteMarked) != 0))
                        disagree = true;
                    continue;
                }
                if (G[0] < 0) continue;  // inactive
                std::uint8_t m = VoteVisited;
                if (sameDirection(F, k, G) != fMarked) {
                    m |= VoteMarked;
                    ++marked;
                }
                mark[std::size_t(g)] = m;
                queue.push_back(g);
            }
        }
        // Flip the smaller class; a tie keeps the first face's side.
        const bool flipMarked = !(marked > queue.size() - marked);
        for (const int f : queue)
            if (((mark[std::size_t(f)] & VoteMarked) != 0) == flipMarked) mark[std::size_t(f)] |= VoteFlip;
    }
    if (disagree) openSeams(topo, mark);
    // Turn the faces over; the face bits 4 and 5 end clear.
    int f = 0;
    faces.forRange(0, faces.size(), [&f, &mark, &topo, seams = disagree](MeshFace& F) {
        const std::size_t i = std::size_t(f++);
        if (!F.isActive()) return;
        if (seams)
            for (int k = 0; k < 3; ++k) F.f[k] = topo[6 * i + 3 + std::size_t(k)];
        if (mark[i] & VoteFlip) F.turnOver();
        F.flags = std::uint8_t(F.flags & ~(MeshFace::SelectedBit | MeshFace::VisitedBit));
    });
}

void Mesh::copyTopology(std::vector<std::int32_t>& topo) const {
    topo.resize(std::size_t(faceCount()) * 6);
    std::int32_t* out = topo.data();
    faces.forRange(0, faces.size(), [&out](const MeshFace& F) {
        if (F.isActive()) {
            out[0] = F.v[0];
            out[1] = F.v[1];
            out[2] = F.v[2];
            out[3] = F.f[0];
            out[4] = F.f[1];
            out[5] = F.f[2];
        } else {
            out[0] = out[1] = out[2] = out[3] = out[4] = out[5] = -1;
        }
        out += 6;
    });
}

// ---------------------------------------------------------------------------
// Vertex flags

void Mesh::initializeVertices() { initializeVertices(nullptr); }

void Mesh::initializeVertices(FaceTable* table) {
    // Most vertices need no walk, and are told apart face by face:
    // - no sharp or open edge at the vertex: vertexUpdate would go round its
    //   fan, find nothing, keep the stored face and clear bits 0-2; it is no
    //   corner;
    // - only sharp edges (every edge at it sharp, none open): vertexUpdate
    //   would keep the stored face (its backward edge is sharp) and clear
    //   the border bit; it is a corner when three or more faces meet there.
    // The others are walked (through the records: a table's links go there
    // first).
    struct VertexScan {
        std::int32_t face;     // stored face
        std::uint8_t state;    // CornerState bits
        std::uint8_t corners;  // faces at the vertex, counted up to 3
    };
    const int nV = vertexCount();
    const int nF = faceCount();
    std::vector<VertexScan> scan(static_cast<std::size_t>(nV));
    {
        VertexScan* out = scan.data();
        vertices.forRange(0, vertices.size(), [&out](const MeshVertex& r) { *out++ = VertexScan{r.face, 0, 0}; });
    }
    auto gather = [&](const std::int32_t* v, const std::int32_t* links, std::uint8_t flags, int i) {
        const bool plain = plainFace(links, flags, nF);
        for (int k = 0; k < 3; ++k) {
            if (v[k] < 0 || v[k] >= nV) continue;
            VertexScan& s = scan[std::size_t(v[k])];
            s.state |= plain ? std::uint8_t(CornerOnSmoothEdge) : cornerEdges(links, flags, k, nF);
            if (s.face == i) s.state |= CornerStartSeen;
            if (s.corners < 3) ++s.corners;
        }
    };
    for (int i = 0; i < nF; ++i) {
        if (table) {
            const std::int32_t* c = &table->corners[3 * std::size_t(i)];
            if (i + Ahead < nF)
                for (int k = 0; k < 3; ++k) __builtin_prefetch(scan.data() + std::max(0, c[3 * Ahead + k]));
            if (c[0] >= 0) gather(c, &table->links[3 * std::size_t(i)], table->flags[std::size_t(i)], i);
            continue;
        }
        if (i + Ahead < nF) {
            const MeshFace& A = faces[std::size_t(i + Ahead)];
            for (int k = 0; k < 3; ++k)
                if (A.v[k] >= 0 && A.v[k] < nV) __builtin_prefetch(scan.data() + A.v[k]);
        }
        const MeshFace& F = faces[std::size_t(i)];
        if (F.isActive()) gather(F.v, F.f, F.flags, i);
    }
    constexpr std::uint8_t Bits = MeshVertex::SharpBit | MeshVertex::CornerBit | MeshVertex::BorderBit;
    for (int v = 0; v < nV; ++v) {
        MeshVertex& r = vertices[v];
        if (!r.isActive() || r.face < 0) continue;
        const VertexScan& s = scan[std::size_t(v)];
        if (s.state == (CornerStartSeen | CornerOnSmoothEdge) || s.state == CornerStartSeen) {
            r.flags = std::uint8_t(r.flags & ~Bits);
            continue;
        }
        if (s.state == (CornerStartSeen | CornerOnSharpEdge)) {
            r.flags = std::uint8_t((r.flags & ~MeshVertex::BorderBit) | MeshVertex::SharpBit);
            if (s.corners >= 3) r.flags = std::uint8_t(r.flags | MeshVertex::CornerBit);
            continue;
        }
        // A vertex on a sharp edge is sharp whatever its builder set, so
        // that vertexUpdate stores a face that follows a sharp edge.
        if (s.state & CornerOnSharpEdge) r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit);
        if (table) writeLinks(*table);
        vertexUpdate(v);
        if (corner(v)) r.flags = std::uint8_t(r.flags | MeshVertex::SharpBit | MeshVertex::CornerBit);
    }
}

// ---------------------------------------------------------------------------
// The whole rebuild

void Mesh::initialize(TResizeStyle style) {
    bool consistent = false, oneFanEach = false;
    FaceTable table;
    if (!buildLinks(consistent, &oneFanEach, &table)) {
        status = 1;
        return;
    }
    rebuildAfterLinks(style, consistent, oneFanEach, false, &table);
}

void Mesh::initializeReconstructSharp(TResizeStyle style) {
    bool consistent = false, oneFanEach = false;
    FaceTable table;
    if (!buildLinks(consistent, &oneFanEach, &table)) {
        status = 1;
        return;
    }
    rebuildAfterLinks(style, consistent, oneFanEach, true, &table);
}

void Mesh::rebuildAfterLinks(TResizeStyle style, bool consistent, bool oneFanEach, bool sharpFromNormals,
                             FaceTable* table) {
    status = 0;
    // When every shared edge already runs both ways the vote flips nothing
    // and only clears its marks (done with the links). Otherwise the faces
    // are turned over in the records (a one-sided surface is also unlinked
    // along a seam) and the table no longer holds.
    if (!consistent) {
        correctOrientation();
        table = nullptr;
    }
    initializeVertices(table);
    if (sharpFromNormals) {
        // New sharp marks go to the records only.
        if (table) writeLinks(*table);
        table = nullptr;
        buildSharpness();
    }
    if (table) {
        rebuildNormals(*table);
        table->corners.reset();
        table->links.reset();
    } else {
        calculateNormals(2);
    }
    calculateSize(style);
    removeInactive(false);
    // With every shared edge run both ways, the links are those just built
    // and each shared edge is crossed forwards from one side: the fans the
    // split would find are the ones counted then. One per vertex: nothing
    // to split. A seam is only ever opened when some edge was not run both
    // ways, so its fans are always split.
    if (!(consistent && oneFanEach)) splitCoincidentVertices();
    // The buffers of the old records are released, not just forgotten.
    if (vbo != 0 || featureVbo != 0) deleteVBO();
    vbo = 0;
}

// ---------------------------------------------------------------------------
// Sharp edges

void Mesh::buildSharpness() {
    topologyEdited();
    // The sharp marks are set on both faces and the end vertices' sharp
    // bits raised here; the single initializeVertices at the end then
    // settles every vertex's stored face and flags at once.
    const int nF = faceCount();
    bool marked = false;
    for (int f = 0; f < nF; ++f) {
        if (f + Ahead < nF) {
            const MeshFace& A = faces[std::size_t(f + Ahead)];
            for (int k = 0; k < 3; ++k)
                if (A.f[k] >= 0 && A.f[k] < nF) {
                    const MeshFace& G = faces[std::size_t(A.f[k])];
                    __builtin_prefetch(G.v);
                    __builtin_prefetch(G.normals + 2);
                    __builtin_prefetch(&G.flags);
                }
        }
        MeshFace& F = faces[f];
        if (!F.isActive()) continue;
        for (int k = 0; k < 3; ++k) {
            if (F.isSharp(k)) continue;
            const int g = F.f[k];
            if (g == f || !activeFace(g)) continue;
            MeshFace& G = faces[g];
            const int a = F.v[nextK(k)], b = F.v[prevK(k)];
            const int ga = G.corner(a), gb = G.corner(b);
            if (ga < 0 || gb < 0 || ga == gb) continue;
            // Compared vertex by vertex, component by component, exactly.
            if (F.normals[nextK(k)] == G.normals[ga] && F.normals[prevK(k)] == G.normals[gb]) continue;
            F.setSharp(k, true);
            G.setSharp(3 - ga - gb, true);
            if (validVertex(a)) vertices[a].flags = std::uint8_t(vertices[a].flags | MeshVertex::SharpBit);
            if (validVertex(b)) vertices[b].flags = std::uint8_t(vertices[b].flags | MeshVertex::SharpBit);
            marked = true;
        }
    }
    if (marked) {
        bufferState.markFeatures();
        initializeVertices();
    }
}

bool Mesh::edgeSharpVV(int a, int b, bool sharp) {
    int f = -1, k = -1;
    if (!findEdge(a, b, f, k)) return false;
    return edgeSharpFK(f, k, sharp);
}

bool Mesh::edgeSharpFK(int f, int k, bool sharp) {
    topologyEdited();
    if (!activeFace(f) || k < 0 || k > 2) return false;
    MeshFace& F = faces[f];
    const int ends[2] = {F.v[nextK(k)], F.v[prevK(k)]};
    markEdgeEnds(F, k, sharp);
    F.setSharp(k, sharp);
    bufferState.markFeatures(f);
    const int g = F.f[k];
    if (g != f && activeFace(g)) {
        // The neighbour's edge joining the same two vertices.
        MeshFace& G = faces[g];
        const int ga = G.corner(ends[0]), gb = G.corner(ends[1]);
        if (ga >= 0 && gb >= 0 && ga != gb) G.setSharp(3 - ga - gb, sharp);
        bufferState.markFeatures(g);
    }
    vertexUpdate(ends[0]);
    vertexUpdate(ends[1]);
    return true;
}

}  // namespace qel
