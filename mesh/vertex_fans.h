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
        Marked = 8,        // the face carried its selected or visited bit when gathered
    };

    std::int32_t face;
    std::int32_t next;
    std::int32_t back;  // the link across edge (k+2)%3
    std::uint8_t k;
    std::uint8_t marks;

    bool forwardSharp() const { return (marks & ForwardSharp) != 0; }
    bool backBounded() const { return (marks & BackBounded) != 0; }
    bool openEnd() const { return (marks & OpenEnd) != 0; }
    bool marked() const { return (marks & Marked) != 0; }
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
    void walk(const Mesh& m, int v);

    std::vector<std::int32_t> vertices_;
    std::vector<std::uint32_t> first_;  // entry i's faces: [first_[i], first_[i + 1])
    std::vector<FanFace> faces_;
};

}  // namespace qel
