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

// Puts list's records in the order `from` gives (record i takes the record
// that stood at from[i]; from is a permutation), passing each through
// `settle` as it lands, in place: the list is never held twice, so a large
// import peaks no higher for its new order. The records move cycle by
// cycle of the permutation; each move reads a record from far away (asked
// for some places ahead) and writes where the previous move just read.
template <class List, class Settle>
void permuteInPlace(List& list, const std::vector<std::int32_t>& from, Settle settle) {
    using Record = typename List::value_type;
    const std::size_t n = list.size();
    // The cycles one after the other: within a cycle, each position's
    // record comes from the next position listed.
    std::vector<std::int32_t> order;
    std::vector<std::size_t> cycleEnds;
    {
        std::vector<std::uint8_t> seen(n, 0);
        order.reserve(n);
        for (std::size_t start = 0; start < n; ++start) {
            if (seen[start]) continue;
            std::size_t i = start;
            do {
                seen[i] = 1;
                order.push_back(std::int32_t(i));
                i = std::size_t(from[i]);
            } while (i != start);
            cycleEnds.push_back(order.size());
        }
    }
    constexpr std::size_t Ahead = 16;
    std::size_t t = 0;
    for (const std::size_t end : cycleEnds) {
        const Record first = list[std::size_t(order[t])];
        for (; t < end; ++t) {
            if (t + Ahead < order.size()) {
                const char* r = reinterpret_cast<const char*>(&list[std::size_t(order[t + Ahead])]);
                for (std::size_t line = 0; line < sizeof(Record); line += 64) __builtin_prefetch(r + line, 1);
                __builtin_prefetch(r + sizeof(Record) - 1, 1);
            }
            Record& at = list[std::size_t(order[t])];
            at = t + 1 < end ? list[std::size_t(order[t + 1])] : first;
            settle(at);
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
    topologyEdited();
    const int nV = vertexCount(), nF = faceCount();
    if (nV == 0) return;
    std::vector<std::int32_t> renumber;
    {
        std::vector<std::int32_t> from;
        spaceorder::zOrder(
            nV,
            [this](auto&& fn) {
                vertices.forRange(0, vertices.size(), [&fn](const MeshVertex& r) { fn(r.position); });
            },
            from, renumber);
        permuteInPlace(vertices, from, [](MeshVertex& r) { r.face = -1; });
        positionsEdited();
    }
    // Faces by their lowest new corner (a counting sort, stable); a corner
    // outside the list keeps its number.
    auto corner = [&](int c) { return c >= 0 && c < nV ? renumber[std::size_t(c)] : c; };
    auto lowest = [&](const MeshFace& F) {
        const int m = std::min({corner(F.v[0]), corner(F.v[1]), corner(F.v[2])});
        return std::clamp(m, 0, nV - 1);
    };
    std::vector<std::int32_t> faceAt(std::size_t(nF), 0);
    {
        std::vector<std::int32_t> start(std::size_t(nV) + 1, 0);
        faces.forRange(0, faces.size(), [&](const MeshFace& F) { ++start[std::size_t(lowest(F)) + 1]; });
        for (int i = 0; i < nV; ++i) start[std::size_t(i) + 1] += start[std::size_t(i)];
        int f = 0;
        faces.forRange(0, faces.size(),
                       [&](const MeshFace& F) { faceAt[std::size_t(start[std::size_t(lowest(F))]++)] = f++; });
    }
    permuteInPlace(faces, faceAt, [&corner](MeshFace& F) {
        for (int k = 0; k < 3; ++k) {
            F.v[k] = corner(F.v[k]);
            F.f[k] = -1;
        }
    });
}

}  // namespace qel
