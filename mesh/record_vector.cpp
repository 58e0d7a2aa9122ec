#include "mesh/record_vector.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qel {

#if defined(__linux__)

// An anonymous mapping of its own, given no advice: the kernel backs it
// page by page as it is written, like any large allocation, or all at once
// when it is to be written whole.
void* allocateChunk(bool backed) {
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (backed ? MAP_POPULATE : 0);
    void* const chunk = mmap(nullptr, ChunkBytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (chunk == MAP_FAILED) throw std::bad_alloc();
    return chunk;
}

void freeChunk(void* chunk) { munmap(chunk, ChunkBytes); }

#else

void* allocateChunk(bool) { return ::operator new(ChunkBytes); }
void freeChunk(void* chunk) { ::operator delete(chunk); }

#endif

}  // namespace qel
