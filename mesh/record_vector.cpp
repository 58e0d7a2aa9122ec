#include "mesh/record_vector.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qel {

#if defined(__linux__)

// Mapped on their own rather than taken from the heap: a chunk freed is
// given back at once, and the heap is not cut into aligned pieces it can
// seldom reuse. Twice the size is mapped and the parts outside the aligned
// chunk are unmapped again.
void* allocateHugeChunk() {
    void* const mapped = mmap(nullptr, 2 * HugeChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t chunk = (first + HugeChunkBytes - 1) & ~std::uintptr_t(HugeChunkBytes - 1);
    const std::uintptr_t end = first + 2 * HugeChunkBytes;
    if (chunk > first) munmap(mapped, chunk - first);
    if (end > chunk + HugeChunkBytes)
        munmap(reinterpret_cast<void*>(chunk + HugeChunkBytes), end - chunk - HugeChunkBytes);
    // Only advice: where the kernel keeps to small pages the chunk serves
    // as it is.
    madvise(reinterpret_cast<void*>(chunk), HugeChunkBytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(chunk);
}

void freeHugeChunk(void* chunk) { munmap(chunk, HugeChunkBytes); }

#else

void* allocateHugeChunk() { return ::operator new(HugeChunkBytes, std::align_val_t(HugeChunkBytes)); }
void freeHugeChunk(void* chunk) { ::operator delete(chunk, std::align_val_t(HugeChunkBytes)); }

#endif

}  // namespace qel
