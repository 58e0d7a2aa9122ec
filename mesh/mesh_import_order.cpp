// The order of an imported mesh's records. A file written by another
// program may list its vertices and faces in any order; every pass that
// walks round vertices then jumps across the whole lists, and a brush stamp
// on a million triangles waits on memory for most of its time. Before the
// rebuild, while faces hold only their corners, such a mesh gets its
// vertices renumbered along a Z-order curve through their positions (near
// vertices get near numbers) and its faces sorted by their lowest new
// corner, so that the faces round a vertex lie together.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "mesh/space_order.h"

namespace qel {

namespace {

// The positions of a permutation's cycles in the order their records
// move, in segments: within a segment each position's record comes from
// the next position listed, and the last one's from the position `tail`
// (the start of another segment, whose record is kept aside before any
// moves, or with tail -1 the segment's own first: a whole cycle).
struct MoveOrder {
    struct Segment {
        std::size_t end;    // one past its last position in `order`
        std::int32_t tail;  // index into starts, or -1
    };
    std::vector<std::int32_t> order;
    std::vector<Segment> segments;
    std::vector<std::size_t> starts;
};

// The move order of `from`. A cycle is found by following from[] position
// by position, each step a read the next one waits for; several chasers,
// started at positions spread over the list, follow their stretches of
// the cycles in turn, so that their reads overlap. A chaser stops at
// another one's start (or its own); the cycles no chaser met are then
// followed one at a time, but for the records that stay where they are.
MoveOrder moveOrder(const std::vector<std::int32_t>& from) {
    constexpr std::size_t Chasers = 16;
    const std::size_t n = from.size();
    MoveOrder m;
    m.order.reserve(n);
    std::vector<std::uint8_t> seen(n, 0);
    const std::size_t k = std::min(Chasers, n);
    std::vector<std::int32_t> stretch[Chasers];
    std::size_t at[Chasers];
    std::int32_t end[Chasers];
    for (std::size_t c = 0; c < k; ++c) {
        m.starts.push_back(c * n / k);
        at[c] = m.starts[c];
        end[c] = -1;
        seen[at[c]] = 1;
        stretch[c].push_back(std::int32_t(at[c]));
    }
    for (bool moving = k > 0; moving;) {
        moving = false;
        for (std::size_t c = 0; c < k; ++c) {
            if (end[c] >= 0) continue;
            const std::size_t next = std::size_t(from[at[c]]);
            if (seen[next]) {
                end[c] = std::int32_t(next);
                continue;
            }
            seen[next] = 1;
            stretch[c].push_back(std::int32_t(next));
            at[c] = next;
            moving = true;
        }
    }
    for (std::size_t c = 0; c < k; ++c) {
        m.order.insert(m.order.end(), stretch[c].begin(), stretch[c].end());
        std::vector<std::int32_t>().swap(stretch[c]);
        const std::int32_t tail =
            std::int32_t(std::find(m.starts.begin(), m.starts.end(), std::size_t(end[c])) - m.starts.begin());
        m.segments.push_back({m.order.size(), tail});
    }
    for (std::size_t start = 0; start < n; ++start) {
        // A record that stays needs no move.
        if (seen[start] || std::size_t(from[start]) == start) continue;
        std::size_t i = start;
        do {
            seen[i] = 1;
            m.order.push_back(std::int32_t(i));
            i = std::size_t(from[i]);
        } while (i != start);
        m.segments.push_back({m.order.size(), -1});
    }
    return m;
}

// Puts list's records in the order `from` gives (record i takes the record
// that stood at from[i]; from is a permutation), in place: the list is
// never held twice, so a large import peaks no higher for its new order.
// The records move segment by segment of the move order; each move reads
// a record from far away (asked for some places ahead) and writes where
// the previous move just read.
template <class List>
void permuteInPlace(List& list, const std::vector<std::int32_t>& from) {
    using Record = typename List::value_type;
    const MoveOrder m = moveOrder(from);
    const std::vector<std::int32_t>& order = m.order;
    std::vector<Record> kept;
    kept.reserve(m.starts.size());
    for (const std::size_t i : m.starts) kept.push_back(list[i]);
    constexpr std::size_t Ahead = 16;
    std::size_t t = 0;
    for (const MoveOrder::Segment& s : m.segments) {
        const Record last = s.tail >= 0 ? kept[std::size_t(s.tail)] : list[std::size_t(order[t])];
        for (; t < s.end; ++t) {
            if (t + Ahead < order.size()) {
                const char* r = reinterpret_cast<const char*>(&list[std::size_t(order[t + Ahead])]);
                for (std::size_t line = 0; line < sizeof(Record); line += 64) __builtin_prefetch(r + line, 1);
                __builtin_prefetch(r + sizeof(Record) - 1, 1);
            }
            Record& at = list[std::size_t(order[t])];
            at = t + 1 < s.end ? list[std::size_t(order[t + 1])] : last;
        }
    }
}

// The indices the moved records hold, renumbered: corners by vertexTo,
// links and stored faces by faceTo or, without it, dropped (-1); a number
// outside its list is kept. The records are walked in list order, the
// entries of the tables they need asked for some records ahead.
void renumberIndices(Mesh& m, const std::vector<std::int32_t>& vertexTo, const std::vector<std::int32_t>* faceTo) {
    constexpr int Ahead = 16;
    const int nV = m.vertexCount(), nF = m.faceCount();
    const std::int32_t* const toV = vertexTo.data();
    const std::int32_t* const toF = faceTo ? faceTo->data() : nullptr;
    auto vertex = [&](int c) { return c >= 0 && c < nV ? toV[c] : c; };
    auto face = [&](int f) { return !toF ? -1 : f >= 0 && f < nF ? toF[f] : f; };
    auto ask = [](const std::int32_t* table, int i, int n) {
        if (table && i >= 0 && i < n) __builtin_prefetch(table + i);
    };
    for (int v = 0; v < nV; ++v) {
        if (v + Ahead < nV) ask(toF, m.vertices[v + Ahead].face, nF);
        MeshVertex& r = m.vertices[v];
        r.face = face(r.face);
    }
    for (int f = 0; f < nF; ++f) {
        if (f + Ahead < nF) {
            const MeshFace& A = m.faces[f + Ahead];
            for (int k = 0; k < 3; ++k) {
                ask(toV, A.v[k], nV);
                ask(toF, A.f[k], nF);
            }
        }
        MeshFace& F = m.faces[f];
        for (int k = 0; k < 3; ++k) {
            F.v[k] = vertex(F.v[k]);
            F.f[k] = face(F.f[k]);
        }
    }
}

}  // namespace

bool Mesh::importScattered() const {
    return spaceorder::scattered(vertexCount(), faceCount(), [this](int f) { return faces[f].v[0]; });
}

bool Mesh::randomlyListed() const {
    return spaceorder::randomlyListed(vertexCount(), faceCount(), [this](int f, int* v) {
        const MeshFace& F = faces[f];
        for (int k = 0; k < 3; ++k) v[k] = F.v[k];
    });
}

void Mesh::orderSpatially() {
    spaceorder::Plan plan;
    planSpaceOrder(plan);
    applySpaceOrder(plan, nullptr);
}

void Mesh::planSpaceOrder(spaceorder::Plan& plan) const {
    const int nV = vertexCount(), nF = faceCount();
    plan.jumps = 0;
    plan.faceFrom.clear();
    if (nV == 0) {
        plan.vertexFrom.clear();
        plan.vertexTo.clear();
        return;
    }
    spaceorder::zOrder(
        nV,
        [this](auto&& fn) { vertices.forRange(0, vertices.size(), [&fn](const MeshVertex& r) { fn(r.position); }); },
        plan.vertexFrom, plan.vertexTo);
    // Faces by their lowest new corner (a counting sort, stable); a corner
    // outside the list keeps its number. Each face's new first corner is
    // kept in the new order, for the jumps.
    const std::vector<std::int32_t>& renumber = plan.vertexTo;
    auto corner = [&](int c) { return c >= 0 && c < nV ? renumber[std::size_t(c)] : c; };
    auto lowest = [&](const MeshFace& F) {
        const int m = std::min({corner(F.v[0]), corner(F.v[1]), corner(F.v[2])});
        return std::clamp(m, 0, nV - 1);
    };
    plan.faceFrom.assign(std::size_t(nF), 0);
    std::vector<std::int32_t> first(std::size_t(nF), 0);
    {
        std::vector<std::int32_t> start(std::size_t(nV) + 1, 0);
        faces.forRange(0, faces.size(), [&](const MeshFace& F) { ++start[std::size_t(lowest(F)) + 1]; });
        for (int i = 0; i < nV; ++i) start[std::size_t(i) + 1] += start[std::size_t(i)];
        int f = 0;
        faces.forRange(0, faces.size(), [&](const MeshFace& F) {
            const std::size_t at = std::size_t(start[std::size_t(lowest(F))]++);
            plan.faceFrom[at] = f++;
            first[at] = corner(F.v[0]);
        });
    }
    plan.jumps = spaceorder::jumps(nF, [&first](int f) { return first[std::size_t(f)]; });
}

void Mesh::applySpaceOrder(const spaceorder::Plan& plan, const std::vector<std::int32_t>* faceTo) {
    topologyEdited();
    if (vertexCount() == 0) return;
    permuteInPlace(vertices, plan.vertexFrom);
    permuteInPlace(faces, plan.faceFrom);
    positionsEdited();
    renumberIndices(*this, plan.vertexTo, faceTo);
    spaceOrderJumps_ = plan.jumps;
    spaceOrderFaces_ = faceCount();
}

}  // namespace qel
