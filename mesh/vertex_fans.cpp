// The gather of qel::VertexFans: circleFan round every vertex in turn,
// asking for the faces of vertices some places ahead (walkFansAhead).

#include "mesh/vertex_fans.h"

#include "mesh/fan_prefetch.h"
#include "mesh/mesh.h"

namespace qel {

void VertexFans::gather(const Mesh& m, const std::int32_t* vertices, std::size_t n) {
    vertices_.assign(vertices, vertices + n);
    first_.resize(n + 1);
    faces_.clear();
    faces_.reserve(n * 7);
    walkFansAhead(
        m, n, [&](std::size_t i) { return vertices_[i]; },
        [&](std::size_t i) {
            first_[i] = std::uint32_t(faces_.size());
            walk(m, vertices_[i]);
        });
    first_[n] = std::uint32_t(faces_.size());
}

void VertexFans::walk(const Mesh& m, int v) {
    if (!m.activeVertex(v)) return;
    const int start = m.vertices[v].face;
    if (!m.activeFace(start) || m.faces[start].corner(v) < 0) return;
    const std::size_t first = faces_.size();
    int f = start;
    for (std::size_t step = 0; step <= m.faces.size(); ++step) {
        const MeshFace& F = m.faces[f];
        const int k = F.corner(v);
        if (k < 0) break;
        const int forward = nextK(k), back = prevK(k);
        const int g = F.f[forward];
        const bool open = !m.activeFace(g);
        FanFace& y = faces_.emplace_back();
        y.face = f;
        y.next = F.v[forward];
        y.k = std::uint8_t(k);
        y.back = F.f[back];
        y.marks = std::uint8_t((F.isSharp(forward) ? FanFace::ForwardSharp : 0) |
                               (F.isSharp(back) ? FanFace::BackBounded : 0) | (open ? FanFace::OpenEnd : 0) |
                               ((F.flags & (MeshFace::SelectedBit | MeshFace::VisitedBit)) ? FanFace::Marked : 0));
        if (open || g == start) break;
        f = g;
    }
    // The backward edge is also bounded when the face across is not an
    // active face; in a closed fan that face is the one before (for the
    // first face the last one), read as active, so only other links are
    // looked up.
    const std::size_t end = faces_.size();
    for (std::size_t j = first; j < end; ++j) {
        FanFace& y = faces_[j];
        const std::int32_t before = faces_[j == first ? end - 1 : j - 1].face;
        if (y.back != before && !m.activeFace(y.back)) y.marks |= FanFace::BackBounded;
    }
}

}  // namespace qel
