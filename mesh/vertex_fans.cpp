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
                               (F.isSharp(back) ? FanFace::BackBounded : 0) | (open ? FanFace::OpenEnd : 0));
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

void FanCache::reset(int vertexCount, int faceCount) {
    vertexCount_ = vertexCount;
    faceCount_ = faceCount;
    // Only the entries kept since the last reset are cleared, and the pages
    // stay made for the next stroke: its first stamp then costs what it
    // reaches, not a pass over every vertex. A mesh of other counts only
    // changes the number of pages the table names.
    for (const std::int32_t v : keptList_) at(v).start = 0;
    keptList_.clear();
    store_.clear();
    if (vertexCount < 0) return;
    const std::size_t pages = (std::size_t(vertexCount) + PageSize - 1) >> PageBits;
    pages_.resize(pages);
}

FanCache::Entry& FanCache::at(int v) {
    std::unique_ptr<Entry[]>& page = pages_[std::size_t(v) >> PageBits];
    if (!page) page.reset(new Entry[PageSize]());
    return page[std::size_t(v) & (PageSize - 1)];
}

std::size_t FanCache::bytes() const {
    std::size_t made = 0;
    for (const auto& page : pages_) made += page ? 1 : 0;
    return made * PageSize * sizeof(Entry) + pages_.capacity() * sizeof(pages_[0]) +
           store_.capacity() * sizeof(FanFace) + keptList_.capacity() * sizeof(std::int32_t);
}

void FanCache::gather(const Mesh& m, const std::int32_t* vertices, std::size_t n, VertexFans& fans) {
    // The vertices not kept, each once (marked pending meanwhile).
    constexpr std::uint32_t Pending = ~std::uint32_t(0);
    auto kept = [&](int v) { return v >= 0 && v < vertexCount_; };
    std::vector<std::int32_t> missing;
    for (std::size_t i = 0; i < n; ++i) {
        const int v = vertices[i];
        if (!kept(v)) continue;
        const Entry* e = find(v);
        if (e && e->start != 0) continue;
        at(v).start = Pending;
        missing.push_back(v);
    }
    VertexFans walked;
    walked.gather(m, missing.data(), missing.size());
    for (std::size_t j = 0; j < missing.size(); ++j) at(missing[j]).start = 0;
    if (store_.size() + walked.faces_.size() > MaxFaces) {
        fans.gather(m, vertices, n);
        return;
    }
    for (std::size_t j = 0; j < missing.size(); ++j) {
        Entry& e = at(missing[j]);
        e.start = std::uint32_t(store_.size() + 1);
        e.count = std::uint32_t(walked.end(j) - walked.begin(j));
        keptList_.push_back(missing[j]);
        store_.insert(store_.end(), walked.begin(j), walked.end(j));
    }
    fans.vertices_.assign(vertices, vertices + n);
    fans.first_.resize(n + 1);
    fans.faces_.clear();
    fans.faces_.reserve(n * 7);
    for (std::size_t i = 0; i < n; ++i) {
        fans.first_[i] = std::uint32_t(fans.faces_.size());
        const int v = vertices[i];
        if (!kept(v)) continue;  // not a vertex: no fan, as the walk finds
        const Entry& e = *find(v);
        const FanFace* from = store_.data() + (e.start - 1);
        fans.faces_.insert(fans.faces_.end(), from, from + e.count);
    }
    fans.first_[n] = std::uint32_t(fans.faces_.size());
}

}  // namespace qel
