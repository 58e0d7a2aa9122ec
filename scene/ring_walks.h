#pragma once
// The steps the walks along an instance ring for a tool's predecessor
// (Tool::previousInstance) have taken, summed over the process. Loading or
// deleting a large ring must not walk it once per member: tests hold that
// work to the ring's size by this count.

#include <cstdint>

namespace qel {

inline std::uint64_t ringWalkSteps = 0;

}  // namespace qel
