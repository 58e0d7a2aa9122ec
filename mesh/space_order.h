#pragma once
// The two rules behind the space order of a mesh's records, shared by the
// order of an import (mesh_import_order.cpp) and by the subdivision that
// writes its records in that order directly (mesh_sqrt3_order.cpp):
// - whether a face list is scattered: its faces jump between far-apart
//   vertices (only for meshes too large to sit in the caches); and the
//   stricter test of a loaded record, whether it was listed at random;
// - whether one order is measurably better than another by that count;
// - the vertex numbers along a Z-order curve through the positions (near
//   vertices get near numbers), ties by the old number.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/vec.h"

namespace qel {
namespace spaceorder {

// Below this many vertices the lists fit the caches whatever their order.
constexpr int FewVertices = 65536;

// The jumps of nF faces, face f's first corner firstCorner(f): the
// successive faces whose first corners lie far apart in the vertex list.
template <class FirstCorner>
std::int64_t jumps(int nF, FirstCorner firstCorner) {
    if (nF < 2) return 0;
    std::int64_t count = 0;
    int last = firstCorner(0);
    for (int f = 1; f < nF; ++f) {
        const int v = firstCorner(f);
        count += std::abs(std::int64_t(v) - last) > 4096;
        last = v;
    }
    return count;
}

// Whether nF faces over nV vertices with that many jumps are scattered:
// jumps in more than a quarter of them.
inline bool scatteredBy(int nV, int nF, std::int64_t jumpCount) {
    return nV >= FewVertices && nF >= 2 && 4 * jumpCount > nF;
}

// The same, counting the jumps.
template <class FirstCorner>
bool scattered(int nV, int nF, FirstCorner firstCorner) {
    return nV >= FewVertices && scatteredBy(nV, nF, jumps(nF, firstCorner));
}

// Whether an order with `fewer` jumps is measurably better than one with
// `more`: at least an eighth fewer. A space order that is itself scattered
// (faces long against the spacing of their vertices) gains less than that
// from being made again.
inline bool measurablyFewer(double fewer, double more) { return 8 * fewer < 7 * more; }

// Whether the records of a file came from a mesh listed in random order:
// the corners of each 32 successive faces (cornersOf(f, out) writes face
// f's three corners, each in [0, nV)) fall in many distinct blocks of 4096
// vertices, on average over the list: more than a quarter of a run's 96
// corners, or than half the blocks there are (only for meshes too large to
// sit in the caches). The orders the ways of making or editing a mesh leave
// draw each run of faces from two or three blocks (the older records and
// those an edit appended beside them: at most about 2.6 after a tear, an
// extrusion or a bevel of every patch, a pattern, a plane cut), and space
// order from a few more where faces are long (7.8 after every patch was
// scaled apart), while a shuffled list draws from nearly as many blocks as
// a run has corners (all 16 of 65,536 vertices; about 80 of 655,362).
// Unlike `scattered`, a mesh an edit has just appended to is never taken
// for one, so a file this program wrote loads in the order it was written
// in.
template <class CornersOf>
bool randomlyListed(int nV, int nF, CornersOf cornersOf) {
    constexpr int Run = 32, BlockBits = 12;
    if (nV < FewVertices || nF < Run) return false;
    const int blockCount = (nV >> BlockBits) + 1;
    const std::int64_t limit = std::min(3 * Run / 4, blockCount / 2);
    // The run in which each block was last counted.
    std::vector<std::int32_t> counted(std::size_t(blockCount), -1);
    std::int64_t blocks = 0;
    const int runs = nF / Run;
    for (int r = 0; r < runs; ++r)
        for (int f = r * Run; f < (r + 1) * Run; ++f) {
            int v[3];
            cornersOf(f, v);
            for (const int c : v) {
                std::int32_t& last = counted[std::size_t(c >> BlockBits)];
                blocks += last != r;
                last = r;
            }
        }
    return blocks > limit * runs;
}

// A space order planned for a mesh before any record moves: the vertex
// numbers along the curve and the faces by their lowest new corner, with
// the jumps the faces would have in it.
struct Plan {
    std::vector<std::int32_t> vertexFrom;  // per new vertex number the old one
    std::vector<std::int32_t> vertexTo;    // per old vertex number the new one
    std::vector<std::int32_t> faceFrom;    // per new face number the old one
    std::int64_t jumps = 0;                // the jumps of the faces in that order
};

// The bits of x (21 of them) spread to every third bit.
inline std::uint64_t spread(std::uint64_t x) {
    x &= 0x1fffff;
    x = (x | x << 32) & 0x1f00000000ffffull;
    x = (x | x << 16) & 0x1f0000ff0000ffull;
    x = (x | x << 8) & 0x100f00f00f00f00full;
    x = (x | x << 4) & 0x10c30c30c30c30c3ull;
    x = (x | x << 2) & 0x1249249249249249ull;
    return x;
}

// Sorts (key, number) pairs listed in number order by key, equal keys in
// number order: the order std::sort gives the pairs. A radix sort on 16
// bits at a time (digits all pairs share are skipped); few pairs are
// sorted directly.
inline void sortKeyed(std::vector<std::pair<std::uint64_t, std::int32_t>>& keyed) {
    using Keyed = std::pair<std::uint64_t, std::int32_t>;
    const std::size_t n = keyed.size();
    if (n < 4096) {
        std::sort(keyed.begin(), keyed.end());
        return;
    }
    constexpr int Digits = 4, Radix = 1 << 16;
    std::vector<std::uint32_t> count(std::size_t(Digits) * Radix, 0);
    for (const Keyed& x : keyed)
        for (int d = 0; d < Digits; ++d) ++count[std::size_t(d) * Radix + ((x.first >> (16 * d)) & 0xffff)];
    std::vector<Keyed> spare(n);
    std::vector<Keyed>* from = &keyed;
    std::vector<Keyed>* to = &spare;
    for (int d = 0; d < Digits; ++d) {
        std::uint32_t* const c = &count[std::size_t(d) * Radix];
        if (c[(keyed[0].first >> (16 * d)) & 0xffff] == n) continue;  // one digit for all
        std::uint32_t sum = 0;
        for (int b = 0; b < Radix; ++b) {
            const std::uint32_t k = c[b];
            c[b] = sum;
            sum += k;
        }
        Keyed* const out = to->data();
        for (const Keyed& x : *from) out[c[(x.first >> (16 * d)) & 0xffff]++] = x;
        std::swap(from, to);
    }
    if (from != &keyed) keyed.swap(spare);
}

// The Z-order numbers of nV vertices whose positions forEach(fn) hands to fn
// in index order (it is called twice): from[i] is the old number of the
// vertex that gets number i, renumber its inverse. The curve runs through
// the cube from the low corner of the box of the finite coordinates whose
// side is the box's longest extent: every axis on one scale, so that a
// flat or thin mesh is cut across its thickness only by cells as thin as
// it is (each axis stretched to its own extent would send a slight
// relief's low and high points to far ends of the curve). A coordinate
// that is not finite, or an axis without extent, counts as the box's low
// side.
template <class ForEach>
void zOrder(int nV, ForEach forEach, std::vector<std::int32_t>& from, std::vector<std::int32_t>& renumber) {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    forEach([&](const vec3& q) {
        const double p[3] = {q.x, q.y, q.z};
        for (int a = 0; a < 3; ++a)
            if (std::isfinite(p[a])) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
    });
    double cube = 0;
    for (int a = 0; a < 3; ++a)
        if (hi[a] > lo[a]) cube = std::max(cube, hi[a] - lo[a]);
    // (key, old number) pairs sorted: the new order, ties by the old number.
    std::vector<std::pair<std::uint64_t, std::int32_t>> keyed(static_cast<std::size_t>(nV));
    int v = 0;
    forEach([&](const vec3& q) {
        const double p[3] = {q.x, q.y, q.z};
        std::uint64_t key = 0;
        for (int a = 0; a < 3; ++a) {
            const double t = hi[a] > lo[a] && std::isfinite(p[a]) ? (p[a] - lo[a]) / cube : 0.0;
            key |= spread(std::uint64_t(std::clamp(t, 0.0, 1.0) * 2097151.0)) << a;
        }
        keyed[std::size_t(v)] = {key, v};
        ++v;
    });
    sortKeyed(keyed);
    from.resize(std::size_t(nV));
    renumber.resize(std::size_t(nV));
    for (int i = 0; i < nV; ++i) {
        from[std::size_t(i)] = keyed[std::size_t(i)].second;
        renumber[std::size_t(keyed[std::size_t(i)].second)] = i;
    }
}

}  // namespace spaceorder
}  // namespace qel
