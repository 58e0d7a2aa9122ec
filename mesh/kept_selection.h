#pragma once
// The selection of a mesh through a renumbering of its records (the space
// order, a compaction before it, the sqrt(3) step written in space order):
// the lists are renumbered, and the face bits that a rebuild's link pass
// clears are set again on the faces listed.

#include <cstdint>
#include <vector>

namespace qel {

class Mesh;

namespace keptselection {

// What a stamp leaves besides the selection (its influence and sector
// records, sector heads and displacements), named in old numbers: dropped.
void dropStampLists(Mesh& m);

// The selection bits (4 and 5) of the listed faces, in list order, and
// those bits set again on them.
std::vector<std::uint8_t> faceBits(const Mesh& m);
void setFaceBits(Mesh& m, const std::vector<std::uint8_t>& bits);

// The lists after the records moved (vertexTo and faceTo: old index to
// new, -1 dropped): each entry renumbered, a dropped record's entry left
// out, each listed vertex holding its list position.
void renumber(Mesh& m, const std::vector<std::int32_t>& vertexTo, const std::vector<std::int32_t>& faceTo);

// After a rebuild that may have split fans (their copies appended from
// firstNew on) or dropped records (a repair) of a mesh of nF faces: the
// copies are not listed; when the lists no longer name what they did, the
// selection is cleared, bits and all. Whether it was kept.
bool settleAfterRebuild(Mesh& m, int firstNew, int nF);

}  // namespace keptselection
}  // namespace qel
