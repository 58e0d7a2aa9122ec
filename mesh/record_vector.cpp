#include "mesh/record_vector.h"

#include <cstdint>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
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
void* allocateChunk(bool written, bool& backed) {
    if (void* chunk = keptChunk()) {
        backed = true;
        return chunk;
    }
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (written ? MAP_POPULATE : 0);
    void* const chunk = mmap(nullptr, ChunkBytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (chunk == MAP_FAILED) throw std::bad_alloc();
    backed = written;
    return chunk;
}

void backPages(void* first, std::size_t bytes) {
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<std::uintptr_t>(first);
    const std::uintptr_t from = at & ~(page - 1), to = (at + bytes + page - 1) & ~(page - 1);
#if defined(MADV_POPULATE_WRITE)
    if (madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0) return;
#endif
    // A kernel without the call: each page written once (with what it
    // holds), which backs it as the records would.
    for (std::uintptr_t p = at; p < at + bytes; p = (p & ~(page - 1)) + page) {
        volatile char* const c = reinterpret_cast<char*>(p);
        *c = *c;
    }
}

void freeChunk(void* chunk) {
    if (!keep(chunk)) munmap(chunk, ChunkBytes);
}

void releaseKeptChunks() {
    const std::lock_guard<std::mutex> lock(keptLock);
    while (keptCount > 0) munmap(kept[--keptCount], ChunkBytes);
}

#else

void* allocateChunk(bool, bool& backed) {
    backed = false;
    return ::operator new(ChunkBytes);
}
void backPages(void*, std::size_t) {}
void freeChunk(void* chunk) { ::operator delete(chunk); }
void releaseKeptChunks() {}

#endif

}  // namespace qel
