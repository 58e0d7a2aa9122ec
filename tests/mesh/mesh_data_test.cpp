// Mesh records and their block storage, fans, copies and append, and the
// half-float encoding of vertex normals.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/half_float.h"
#include "mesh/mesh.h"
#include "mesh/mesh_invariants_util.h"
#include "mesh/mesh_util.h"
#include "mesh/record_vector.h"
#include "support/sanitizer.h"

using namespace qel;
using MeshPtr = std::unique_ptr<Mesh>;
using V = std::vector<int>;

namespace {

// Fans of fewer than three corners add nothing; a short sharp list counts
// as false (the sharp marks themselves show in every primitive).
TEST(MeshData, FansReadOnlyTheirLists) {
    Mesh m;
    EXPECT_EQ(m.facesAdd({0, 1}, {true, true}), 0);
    EXPECT_EQ(m.facesAdd({0, 1, 2, 3}, {true}), 0);
    ASSERT_EQ(m.faceCount(), 2);
    EXPECT_EQ((V{m.faces[0].flags, m.faces[1].flags}), (V{8 | 4, 8}));
}

TEST(MeshCopy, CopiesNeverShareGlNames) {
    MeshPtr src(meshtest::makeStrip(true));
    src->refCount = 3;
    src->vbo = 11;  // fake names: dropped below before the destructor releases them
    src->featureVbo = 12;
    src->vboEnabled = 1;
    {
        Mesh c(*src);
        EXPECT_EQ(c.vbo + c.featureVbo + c.vboEnabled + unsigned(c.refCount), 0u);
        c.vertices[0].position = vec3(7, 7, 7);  // a deep copy
        EXPECT_EQ(src->vertices[0].position, vec3(0, 0, 0));
    }
    MeshPtr dst(meshtest::makeTetra());
    dst->refCount = 2;
    *dst = *src;
    EXPECT_EQ(dst->vbo + dst->featureVbo, 0u);
    EXPECT_EQ(dst->refCount, 2);  // the holders of the target stay
    Mesh& alias = *src;
    *src = alias;  // self-assignment keeps everything
    EXPECT_EQ(src->vbo, 11u);
    EXPECT_EQ(src->faces[0].f[1], 1);
    src->vbo = src->featureVbo = 0;
}

TEST(MeshAppend, OffsetsIndicesLinksAndStoredFaces) {
    MeshPtr a(meshtest::makeQuad());   // 4 vertices, 2 faces
    MeshPtr b(meshtest::makeStrip());  // 5 vertices, 3 faces
    b->vertexAdd(vec3(9, 9, 9));       // stored face -1
    a->append(b.get());
    a->append(nullptr);
    ASSERT_EQ(a->vertexCount(), 10);
    EXPECT_EQ(a->vertices[4].face, b->vertices[0].face + 2);
    EXPECT_EQ(a->vertices[9].face, -1);  // -1 stays -1
    // F1 of the strip = (0, 2, 3) links (-1, 2, 0) -> face 3 = (4, 6, 7) links (-1, 4, 2).
    const MeshFace& f = a->faces[3];
    EXPECT_EQ((V{f.v[0], f.v[1], f.v[2], f.f[0], f.f[1], f.f[2]}), (V{4, 6, 7, -1, 4, 2}));
    EXPECT_EQ(meshtest::checkMeshInvariants(*a), "");
    MeshPtr self(meshtest::makeQuad());
    self->append(self.get());
    ASSERT_EQ(self->faceCount(), 4);
    EXPECT_EQ(self->faces[2].f[1], 3);
    EXPECT_EQ(meshtest::checkMeshInvariants(*self), "");
}

struct Rec {
    int a = 0;
    float b = 0;
};
using Small = RecordVector<Rec, 2>;  // blocks of 4 records

TEST(RecordVector, GrowsInBlocksWithoutMovingRecords) {
    Small v;
    const Rec* first = &v.push_back(Rec{-1, 0});
    for (int i = 0; i < 1003; ++i) {
        const Rec* added = &v.push_back(Rec{i, i * 0.5f});
        EXPECT_EQ(added, &v[i + 1]);
    }
    EXPECT_EQ(first, &v[0]);
    EXPECT_EQ(v.capacity(), 1004u);
    v.push_back(v[2]);  // a record of the vector itself when a new block opens
    EXPECT_EQ(v[1004].a, 1);
    const Rec* keep = &v[1];
    v.resize(3);
    EXPECT_EQ(v.capacity(), 4u);  // surplus blocks freed
    EXPECT_EQ(keep, &v[1]);
    v.resize(6, Rec{7, 0});
    EXPECT_EQ(v[2].a + v[5].a, 1 + 7);
    int total = 0;
    v.forRange(4, 100, [&](Rec& r) { total += r.a; });  // clipped at the end
    EXPECT_EQ(total, 7 + 7);
    v.clear();
    v.reserve(9);
    EXPECT_EQ(v.capacity(), 12u);
}

// Records of 768 bytes in blocks of 1,024: two blocks to a huge-page chunk
// past the first sixteen blocks. Grown, shrunk to the middle of a chunk and
// to a chunk's edge, grown again, copied and moved, every record keeps its
// own bytes (blocks that overlapped in a chunk would overwrite each other).
TEST(RecordVector, BlocksInHugePageChunksHoldTheirRecordsThroughGrowingAndShrinking) {
    struct Wide {
        std::uint64_t v[96];
    };
    using Large = RecordVector<Wide, 10>;
    const auto record = [](std::size_t i) {
        Wide w{};
        w.v[0] = i;
        w.v[95] = ~i;
        return w;
    };
    const auto holds = [](const Large& l, std::size_t n) {
        if (l.size() != n) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (l[i].v[0] != i || l[i].v[95] != ~i) return false;
        return true;
    };
    const std::size_t block = Large::BlockSize;
    Large l;
    for (std::size_t i = 0; i < 25 * block; ++i) l.push_back(record(i));
    EXPECT_TRUE(holds(l, 25 * block));
    for (const std::size_t n : {19 * block + 5, 18 * block, 23 * block + 1}) {
        SCOPED_TRACE(n);
        if (n < l.size()) {
            l.resize(n);
        } else {
            for (std::size_t i = l.size(); i < n; ++i) l.push_back(record(i));
        }
        EXPECT_TRUE(holds(l, n));
    }
    Large copy(l);
    EXPECT_TRUE(holds(copy, l.size()));
    Large shorter;
    for (std::size_t i = 0; i < 30 * block; ++i) shorter.push_back(record(i));
    shorter = l;
    EXPECT_TRUE(holds(shorter, l.size()));
    Large moved(std::move(copy));
    EXPECT_TRUE(holds(moved, l.size()));
    moved.clear();
    for (std::size_t i = 0; i < 20 * block; ++i) moved.push_back(record(i));
    EXPECT_TRUE(holds(moved, 20 * block));
    EXPECT_TRUE(holds(l, 23 * block + 1));
}

// The VmFlags line of the mapping that holds address p in /proc/self/smaps;
// empty where there is none (or no such file).
std::string mappingFlags(const void* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') {
            inside = at >= from && at < to;
        } else if (inside && line.compare(0, 8, "VmFlags:") == 0) {
            return line;
        }
    }
    return std::string();
}

// A list past its first blocks lays them in chunks: pages that no record
// was written to stay unbacked, so the chunks ask for no huge pages (a huge
// page is backed whole from its first write). Under the address sanitizer
// each block is an allocation of its own, so that a run past a block's end
// meets a guard rather than the next block.
TEST(RecordVector, BlocksOfALargeListAskForNoHugePagesAndStandAloneUnderTheSanitizer) {
    struct Wide {
        std::uint64_t v[96];
    };
    using Large = RecordVector<Wide, 10>;
    const std::size_t block = Large::BlockSize;
    Large l;
    l.resize(24 * block);
    const Wide* last = &l[17 * block - 1];
    const Wide* next = &l[17 * block];
    if (tltest::UnderSanitizers) {
        EXPECT_NE(last + 1, next);
        return;
    }
    EXPECT_EQ(last + 1, next);
    const std::string flags = mappingFlags(next);
    if (flags.empty()) GTEST_SKIP() << "no /proc/self/smaps to read the mapping's flags from";
    EXPECT_EQ(flags.find(" hg"), std::string::npos) << flags;
}

// The chunks of a list freed stay mapped for the next list (their pages
// stay backed) until given back, when they are no longer mapped.
TEST(RecordVector, FreedChunksServeTheNextListUntilGivenBack) {
    if (tltest::UnderSanitizers) GTEST_SKIP() << "blocks stand alone under the sanitizer";
    int onStack = 0;
    if (mappingFlags(&onStack).empty()) GTEST_SKIP() << "no /proc/self/smaps to read the mappings from";
    struct Wide {
        std::uint64_t v[96];
    };
    using Large = RecordVector<Wide, 10>;
    const std::size_t block = Large::BlockSize;
    releaseKeptChunks();
    const Wide* first = nullptr;
    {
        Large l;
        l.resize(24 * block);
        first = &l[16 * block];
    }
    EXPECT_FALSE(mappingFlags(first).empty());
    Large next;
    next.resize(24 * block);
    EXPECT_EQ(&next[16 * block], first);
    next.clear();
    releaseKeptChunks();
    EXPECT_TRUE(mappingFlags(first).empty());
}

// How many pages of [p, p + bytes) are resident (p on a page boundary).
std::size_t residentPages(const void* p, std::size_t bytes) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((bytes + page - 1) / page);
    if (mincore(const_cast<void*>(p), bytes, in.data()) != 0) return 0;
    std::size_t n = 0;
    for (const unsigned char c : in) n += c & 1;
    return n;
}

// A list grown record by record holds in its first chunk only the pages it
// wrote (a mid-size list takes about what its records take); past that
// chunk each block is backed whole as its first record is written, in one
// call rather than a fault per page as records reach them.
TEST(RecordVector, BlocksPastTheFirstChunkAreBackedWholeFromTheirFirstRecord) {
    if (tltest::UnderSanitizers) GTEST_SKIP() << "blocks stand alone under the sanitizer";
    struct Wide {
        std::uint64_t v[96];
    };
    using Large = RecordVector<Wide, 10>;  // 16 blocks alone, then two to a chunk
    const std::size_t block = Large::BlockSize;
    const std::size_t bytes = block * sizeof(Wide);
    const std::size_t pages = bytes / std::size_t(sysconf(_SC_PAGESIZE));
    releaseKeptChunks();  // no chunk backed by an earlier list
    Large l;
    while (l.size() < 16 * block + 1) l.push_back(Wide{});
    const std::size_t firstChunk = residentPages(&l[16 * block], bytes);
    EXPECT_GE(firstChunk, 1u);
    EXPECT_LT(firstChunk, pages);
    while (l.size() < 18 * block + 1) l.push_back(Wide{});
    EXPECT_EQ(residentPages(&l[18 * block], bytes), pages);
}

TEST(HalfFloat, RoundsToNearestEvenKeepsNaNAndWritesSixBytes) {
    const struct {
        float in;
        std::uint16_t out;
    } cases[] = {
        {1.0f + 1.0f / 2048, 0x3C00},          // tie: to even
        {1.0f + 3.0f / 2048, 0x3C02},          // tie: to even
        {std::nextafter(2.0f, 0.0f), 0x4000},  // carry into the exponent
        {65519.0f, 0x7BFF},                    // largest half
        {-65520.0f, 0xFC00},                   // overflow to infinity
        {-std::numeric_limits<float>::infinity(), 0xFC00},
        {std::nextafter(std::ldexp(1.0f, -14), 0.0f), 0x0400},  // rounds up to the smallest normal
        {std::ldexp(1023.0f, -24), 0x03FF},                     // largest subnormal
        {std::ldexp(1.0f, -25), 0x0000},                        // half a unit: to even (zero)
        {std::nextafter(std::ldexp(1.0f, -25), 1.0f), 0x0001},
        {-1e-10f, 0x8000},  // the sign of a zero kept
    };
    for (const auto& c : cases) EXPECT_EQ(halfFromFloat(c.in), c.out) << c.in;
    // A payload only in the 13 dropped bits must not turn into infinity.
    const std::uint32_t low = 0xFF800001u;
    float f;
    std::memcpy(&f, &low, sizeof f);
    EXPECT_GT(halfFromFloat(f), 0xFC00u);

    buffer b;
    b.writeU8(0xAB);
    writeHalf3(b, vec3(1.0f, -2.0f, 65520.0f));
    const std::uint8_t expected[7] = {0xAB, 0x00, 0x3C, 0x00, 0xC0, 0x00, 0x7C};
    ASSERT_EQ(b.size(), 7);
    EXPECT_EQ(0, std::memcmp(b.data(), expected, 7));
}

}  // namespace
