#include "mesh/record_vector.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qel {

void* allocateHugeChunk() {
    void* const chunk = ::operator new(HugeChunkBytes, std::align_val_t(HugeChunkBytes));
#if defined(MADV_HUGEPAGE)
    // Only advice: where the kernel keeps to small pages the chunk serves
    // as it is.
    madvise(chunk, HugeChunkBytes, MADV_HUGEPAGE);
#endif
    return chunk;
}

void freeHugeChunk(void* chunk) { ::operator delete(chunk, std::align_val_t(HugeChunkBytes)); }

}  // namespace qel
