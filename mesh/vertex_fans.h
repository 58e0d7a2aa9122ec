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
// million fan faces it keeps no more.
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

private:
    static constexpr std::size_t MaxFaces = std::size_t(1) << 21;

    int vertexCount_ = -1, faceCount_ = -1;
    std::vector<std::uint32_t> start_;  // per vertex: 1 + the first of its faces in store_, 0 when not kept
    std::vector<std::uint32_t> count_;  // per vertex: its fan's faces
    std::vector<FanFace> store_;
    std::vector<std::int32_t> keptList_;  // the vertices whose start_ is set
};

}  // namespace qel
