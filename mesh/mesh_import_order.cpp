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

namespace qel {

namespace {

// The bits of x (21 of them) spread to every third bit.
std::uint64_t spread(std::uint64_t x) {
    x &= 0x1fffff;
    x = (x | x << 32) & 0x1f00000000ffffull;
    x = (x | x << 16) & 0x1f0000ff0000ffull;
    x = (x | x << 8) & 0x100f00f00f00f00full;
    x = (x | x << 4) & 0x10c30c30c30c30c3ull;
    x = (x | x << 2) & 0x1249249249249249ull;
    return x;
}

// Below this many vertices the lists fit the caches whatever their order.
constexpr int FewVertices = 65536;

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
    const int nF = faceCount();
    if (vertexCount() < FewVertices || nF < 2) return false;
    // The first corners of successive faces: far apart in most of them
    // when the file's order is not the surface's.
    int jumps = 0;
    int last = faces[0].v[0];
    for (int f = 1; f < nF; ++f) {
        const int v = faces[f].v[0];
        jumps += std::abs(std::int64_t(v) - last) > 4096;
        last = v;
    }
    return 4 * std::int64_t(jumps) > nF;
}

void Mesh::orderSpatially() {
    const int nV = vertexCount(), nF = faceCount();
    if (nV == 0) return;
    // The Z-order key of each vertex in the box of the finite positions.
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    vertices.forRange(0, vertices.size(), [&](const MeshVertex& r) {
        const double p[3] = {r.position.x, r.position.y, r.position.z};
        for (int a = 0; a < 3; ++a)
            if (std::isfinite(p[a])) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
    });
    // (key, old number) pairs sorted: the new order, ties by the old number.
    std::vector<std::pair<std::uint64_t, std::int32_t>> keyed(static_cast<std::size_t>(nV));
    int v = 0;
    vertices.forRange(0, vertices.size(), [&](const MeshVertex& r) {
        const double p[3] = {r.position.x, r.position.y, r.position.z};
        std::uint64_t key = 0;
        for (int a = 0; a < 3; ++a) {
            const double extent = hi[a] - lo[a];
            const double t = extent > 0 && std::isfinite(p[a]) ? (p[a] - lo[a]) / extent : 0.0;
            key |= spread(std::uint64_t(std::clamp(t, 0.0, 1.0) * 2097151.0)) << a;
        }
        keyed[std::size_t(v)] = {key, v};
        ++v;
    });
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::int32_t> renumber(std::size_t(nV), 0);
    {
        std::vector<std::int32_t> from(static_cast<std::size_t>(nV));
        for (int i = 0; i < nV; ++i) {
            from[std::size_t(i)] = keyed[std::size_t(i)].second;
            renumber[std::size_t(keyed[std::size_t(i)].second)] = i;
        }
        keyed = {};
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
