#pragma once
// qel::VertexFans: the fans of a list of vertices gathered into one flat
// array, for the brush passes that visit the fans of every vertex a stamp
// reaches. The faces of one fan lie far apart in the face list, and a walk
// round a fan is a chain of loads each waiting on the one before: the
// gather walks each fan once, and later passes read the flat array, whose
// loads do not wait on each other, instead of walking again.
//
// The walk is circleFan's: forward from the stored face across edge
// (k+1)%3, until that edge is open or the fan closes at the stored face,
// bounded by the face count. A vertex that is not active, whose stored face
// is not an active face holding it, has an empty fan. The topology must not
// change while the gathered fans are in use.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qel {

class Mesh;

// One face of a gathered fan: the face, the corner k of the fan's vertex in
// it, the ring vertex across its forward edge (v[(k+1)%3]) and the marks of
// its two edges at the vertex.
struct FanFace {
    enum Mark : std::uint8_t {
        ForwardSharp = 1,  // edge (k+1)%3 is sharp
        BackBounded = 2,   // edge (k+2)%3 is sharp or open
        OpenEnd = 4,       // the walk ended here at an open edge (k+1)%3
    };

    std::int32_t face;
    std::int32_t next;
    std::int32_t back;  // the link across edge (k+2)%3
    std::uint8_t k;
    std::uint8_t marks;

    bool forwardSharp() const { return (marks & ForwardSharp) != 0; }
    bool backBounded() const { return (marks & BackBounded) != 0; }
    bool openEnd() const { return (marks & OpenEnd) != 0; }
};

class VertexFans {
public:
    // Gathers the fans of vertices[0 .. n - 1], in that order (a vertex may
    // appear more than once).
    void gather(const Mesh& m, const std::int32_t* vertices, std::size_t n);

    std::size_t size() const { return vertices_.size(); }
    // The gathered vertices are vertices[0 .. n - 1], in that order.
    bool lists(const std::int32_t* vertices, std::size_t n) const {
        return n == vertices_.size() && std::equal(vertices_.begin(), vertices_.end(), vertices);
    }
    int vertex(std::size_t i) const { return vertices_[i]; }
    // The fan of entry i, in walk order.
    const FanFace* begin(std::size_t i) const { return faces_.data() + first_[i]; }
    const FanFace* end(std::size_t i) const { return faces_.data() + first_[i + 1]; }

private:
    friend class FanCache;
    void walk(const Mesh& m, int v);

    std::vector<std::int32_t> vertices_;
    std::vector<std::uint32_t> first_;  // entry i's faces: [first_[i], first_[i + 1])
    std::vector<FanFace> faces_;
};

// Fans gathered once and kept while the mesh's topology stays as it was (the
// steps of a brush stroke): a later gather copies a kept fan instead of
// walking it again. Kept for the record counts it was made for; past a few
// million fan faces it keeps no more. What it holds per vertex lies in
// pages made when a vertex of theirs is first kept, so that a stroke costs
// what it reaches, not a pass over every vertex of the mesh.
class FanCache {
public:
    // Made for a mesh of these counts.
    bool fits(int vertexCount, int faceCount) const {
        return vertexCount == vertexCount_ && faceCount == faceCount_;
    }
    // Empty, for a mesh of these counts (negative: for none).
    void reset(int vertexCount, int faceCount);
    // fans: what VertexFans::gather gives for vertices[0 .. n - 1], the
    // fans not kept yet walked (and kept).
    void gather(const Mesh& m, const std::int32_t* vertices, std::size_t n, VertexFans& fans);
    // The bytes it holds: its pages, their table and the kept fans.
    std::size_t bytes() const;

private:
    static constexpr std::size_t MaxFaces = std::size_t(1) << 21;
    static constexpr int PageBits = 10;  // vertices per page: 1 << PageBits
    static constexpr std::size_t PageSize = std::size_t(1) << PageBits;

    // A kept vertex's fan: 1 + the first of its faces in store_ (0 when
    // not kept), and the number of its faces.
    struct Entry {
        std::uint32_t start;
        std::uint32_t count;
    };
    // Vertex v's entry; null when its page was never made (not kept).
    const Entry* find(int v) const {
        const Entry* page = pages_[std::size_t(v) >> PageBits].get();
        return page ? page + (std::size_t(v) & (PageSize - 1)) : nullptr;
    }
    // Vertex v's entry, its page made (zeroed) when missing.
    Entry& at(int v);

    int vertexCount_ = -1, faceCount_ = -1;
    std::vector<std::unique_ptr<Entry[]>> pages_;  // per PageSize vertices, null until one is kept
    std::vector<FanFace> store_;
    std::vector<std::int32_t> keptList_;  // the vertices whose start is set
};

}  // namespace qel
