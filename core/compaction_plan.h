#pragma once
// The plan of an in-place compaction of a record array: the last live
// record fills the first hole, until the holes and the live records meet,
// so that as few records move as possible (meshes and curves drop their
// inactive records this way).

#include <cstdint>
#include <utility>
#include <vector>

namespace qel {

// alive(i) tells whether record i stays. newIndex[old] receives the
// record's new index (-1 for a dropped one); moves receives (from, to) for
// every record that changes place. Returns the live count.
template <class Alive>
int planCompaction(int count, Alive alive, std::vector<std::int32_t>& newIndex,
                   std::vector<std::pair<int, int>>& moves) {
    newIndex.assign(std::size_t(count), -1);
    moves.clear();
    int lo = 0, hi = count - 1;
    // Records below lo are final; records above hi are dropped or moved.
    for (;;) {
        while (lo <= hi && alive(lo)) {
            newIndex[std::size_t(lo)] = lo;
            ++lo;
        }
        while (hi >= lo && !alive(hi)) --hi;
        if (lo >= hi) break;  // lo is a hole, hi a live record
        newIndex[std::size_t(hi)] = lo;
        moves.emplace_back(hi, lo);
        ++lo;
        --hi;
    }
    return lo;
}

}  // namespace qel
