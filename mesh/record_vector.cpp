#include "mesh/record_vector.h"

#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qel {

#if defined(__linux__)

namespace {

// The chunks freed last, up to KeptChunks of them, kept for the next
// allocations: a mesh freed and another made at once (a step that replaces
// a mesh, a file opened again) reuses pages already backed instead of
// having the system clear new ones; what is freed beyond them goes back to
// the system at once.
constexpr std::size_t KeptChunks = 32;
std::mutex keptLock;
void* kept[KeptChunks];
std::size_t keptCount = 0;

void* keptChunk() {
    const std::lock_guard<std::mutex> lock(keptLock);
    return keptCount > 0 ? kept[--keptCount] : nullptr;
}

bool keep(void* chunk) {
    const std::lock_guard<std::mutex> lock(keptLock);
    if (keptCount == KeptChunks) return false;
    kept[keptCount++] = chunk;
    return true;
}

}  // namespace

// An anonymous mapping of its own, given no advice: the kernel backs it
// page by page as it is written, like any large allocation, or all at once
// when it is to be written whole.
void* allocateChunk(bool backed) {
    if (void* chunk = keptChunk()) return chunk;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (backed ? MAP_POPULATE : 0);
    void* const chunk = mmap(nullptr, ChunkBytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (chunk == MAP_FAILED) throw std::bad_alloc();
    return chunk;
}

void freeChunk(void* chunk) {
    if (!keep(chunk)) munmap(chunk, ChunkBytes);
}

void releaseKeptChunks() {
    const std::lock_guard<std::mutex> lock(keptLock);
    while (keptCount > 0) munmap(kept[--keptCount], ChunkBytes);
}

#else

void* allocateChunk(bool) { return ::operator new(ChunkBytes); }
void freeChunk(void* chunk) { ::operator delete(chunk); }
void releaseKeptChunks() {}

#endif

}  // namespace qel
