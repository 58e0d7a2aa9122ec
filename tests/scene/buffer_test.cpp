// The record buffer, its bounds-checked readers and the record
// framing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "scene/buffer.h"
#include "scene/pbr.h"

using qel::buffer;

// Captured during static initialisation, before any test (of this or another
// suite in the same binary) reads a file: FILE_VERSION is constant-initialised.
static const std::int32_t g_initialFileVersion = qel::FILE_VERSION;

TEST(Buffer, NewBuffer) {
    buffer b;
    EXPECT_EQ(b.size(), 0);
    EXPECT_EQ(b.cursor(), 0);
    EXPECT_EQ(b.remaining(), 0);
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, FileVersionStartsAtZero) {
    EXPECT_EQ(g_initialFileVersion, 0);
    EXPECT_EQ(qel::FILE_VERSION_WRITTEN, 20161026);
}

TEST(Buffer, WritersAreLittleEndian) {
    buffer b;
    b.writeU8(0xAB);
    b.writeU16(0x1234);
    b.writeI16(-2);
    b.writeU32(0xDEADBEEF);
    b.writeI32(-1);
    b.writeF32(1.0f);
    const std::vector<std::uint8_t> expected = {0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE,
                                                0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(b.bytes(), expected);
    EXPECT_EQ(b.cursor(), 0);  // writing does not move the read cursor
}

TEST(Buffer, RoundTripScalars) {
    buffer b;
    b.writeU8(200);
    b.writeU16(65535);
    b.writeI16(-32768);
    b.writeU32(0xFFFFAAAAu);
    b.writeI32(std::numeric_limits<std::int32_t>::min());
    b.writeF32(-3.25f);
    b.writeF32(std::numeric_limits<float>::infinity());
    b.writeVec2({1.5f, -2.5f});
    b.writeVec3({1, 2, 3});
    EXPECT_EQ(b.size(), 1 + 2 + 2 + 4 + 4 + 4 + 4 + 8 + 12);
    EXPECT_EQ(b.readU8(), 200);
    EXPECT_EQ(b.readU16(), 65535);
    EXPECT_EQ(b.readI16(), -32768);
    EXPECT_EQ(b.readU32(), 0xFFFFAAAAu);
    EXPECT_EQ(b.readI32(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(b.readF32(), -3.25f);
    EXPECT_TRUE(std::isinf(b.readF32()));
    EXPECT_EQ(b.readVec2(), qel::vec2(1.5f, -2.5f));
    EXPECT_EQ(b.readVec3(), qel::vec3(1, 2, 3));
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, Mat4InStoredOrder) {
    qel::mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = float(i) + 0.5f;
    buffer b;
    b.writeMat4(m);
    ASSERT_EQ(b.size(), 64);
    for (int i = 0; i < 16; ++i) {
        float f;
        std::memcpy(&f, b.data() + 4 * i, 4);  // host is little-endian in CI
        EXPECT_EQ(f, float(i) + 0.5f);
    }
    EXPECT_EQ(b.readMat4(), m);
    EXPECT_EQ(b.cursor(), 64);
}

TEST(Buffer, Vec3IsThreeF32) {
    buffer b;
    b.writeVec3({1.0f, 0.0f, -2.0f});
    const std::vector<std::uint8_t> expected = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0};
    EXPECT_EQ(b.bytes(), expected);
}

TEST(Buffer, ReadPastEndYieldsZerosAndFlags) {
    buffer b;
    b.writeU16(0xBEEF);
    EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left, 4 needed
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 2);
    EXPECT_EQ(b.readU8(), 0);
    EXPECT_EQ(b.readI16(), 0);
    EXPECT_EQ(b.readI32(), 0);
    EXPECT_EQ(b.readF32(), 0.0f);
    EXPECT_EQ(b.readVec2(), qel::vec2(0, 0));
    EXPECT_EQ(b.readVec3(), qel::vec3(0, 0, 0));
    const qel::mat4 m = b.readMat4();
    for (float f : m.m) EXPECT_EQ(f, 0.0f);
    EXPECT_EQ(b.cursor(), 2);
    b.clearFailure();
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, TruncatedMat4) {
    buffer b;
    b.writeMat4(qel::mat4::Identity());
    b.resize(63);
    const qel::mat4 m = b.readMat4();
    for (float f : m.m) EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 63);
}

TEST(Buffer, ReadBytes) {
    buffer b;
    const char text[] = "abcdef";
    b.writeBytes(text, 6);
    char out[4] = {1, 1, 1, 1};
    EXPECT_TRUE(b.readBytes(out, 4));
    EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);
    std::memset(out, 1, 4);
    EXPECT_FALSE(b.readBytes(out, 4));
    for (char c : out) EXPECT_EQ(c, 0);
    EXPECT_TRUE(b.failed());
    EXPECT_TRUE(b.atEnd());

    buffer s(text, 6);
    std::string str = "x";
    EXPECT_TRUE(s.readBytes(str, 3));
    EXPECT_EQ(str, "xabc");
    EXPECT_FALSE(s.readBytes(str, 4));
    EXPECT_EQ(str, "xabc");
    EXPECT_TRUE(s.failed());
    EXPECT_EQ(s.cursor(), 6);
}

TEST(Buffer, SkipAndSeek) {
    buffer b;
    for (int i = 0; i < 10; ++i) b.writeU8(std::uint8_t(i));
    b.skip(3);
    EXPECT_EQ(b.readU8(), 3);
    b.seek(8);
    EXPECT_EQ(b.remaining(), 2);
    EXPECT_EQ(b.readU8(), 8);
    b.skip(-5);
    EXPECT_EQ(b.cursor(), 4);
    EXPECT_FALSE(b.failed());
    b.seek(10);  // the end is a valid position
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
    b.skip(1);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 10);
    b.clearFailure();
    b.seek(-1);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 0);
    b.clearFailure();
    b.skip(std::int64_t(1) << 40);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 10);
}

TEST(Buffer, CanReadChecksCountsWithoutOverflow) {
    buffer b;
    for (int i = 0; i < 73 * 3; ++i) b.writeU8(0);
    EXPECT_TRUE(b.canRead(3, 73));
    EXPECT_FALSE(b.canRead(4, 73));
    EXPECT_TRUE(b.canRead(0, 73));
    EXPECT_TRUE(b.canRead(219, 1));
    EXPECT_FALSE(b.canRead(0xFFFFFFFFu, 73));
    EXPECT_FALSE(b.canRead(std::numeric_limits<std::uint64_t>::max(), 0xFFFFFFFFu));
    b.skip(73);
    EXPECT_TRUE(b.canRead(2, 73));
    EXPECT_FALSE(b.canRead(3, 73));
    EXPECT_FALSE(b.failed());
    EXPECT_FALSE(b.require(3, 73));
    EXPECT_TRUE(b.failed());
    EXPECT_TRUE(b.atEnd());
}

// A record reader in the style's users: a count followed by
// fixed-size items, checked before anything is allocated.
static bool readCountedRecord(buffer& b, std::vector<std::uint32_t>& out) {
    const std::uint32_t n = b.readU32();
    if (b.failed() || !b.require(n, 4)) return false;
    out.resize(n);
    for (auto& v : out) v = b.readU32();
    return !b.failed();
}

TEST(Buffer, CountedRecordWithHugeCountIsRejected) {
    buffer b;
    b.writeU32(0x40000000u);  // claims a billion items
    b.writeU32(7);
    std::vector<std::uint32_t> out;
    EXPECT_FALSE(readCountedRecord(b, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(b.failed());
}

TEST(Buffer, RecordFraming) {
    buffer body;
    body.writeU32(11);
    body.writeF32(2.0f);
    buffer chunk;
    chunk.writeRecord(0xE0000001u, body);
    const std::int32_t at = chunk.beginRecord(0xABCDEF02u);
    chunk.writeU8(1);
    chunk.writeU8(2);
    chunk.writeU8(3);
    chunk.endRecord(at);
    chunk.writeRecord(0x12345678u, buffer());  // empty body

    EXPECT_EQ(chunk.size(), 8 + 8 + 8 + 3 + 8);
    std::uint32_t tag = 0, len = 0;
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0xE0000001u);
    EXPECT_EQ(len, 8u);
    EXPECT_EQ(chunk.readU32(), 11u);
    EXPECT_EQ(chunk.readF32(), 2.0f);
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0xABCDEF02u);
    EXPECT_EQ(len, 3u);
    const std::int32_t s = chunk.cursor();
    chunk.skip(len);
    EXPECT_EQ(chunk.cursor(), s + 3);
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0x12345678u);
    EXPECT_EQ(len, 0u);
    EXPECT_TRUE(chunk.atEnd());
    EXPECT_FALSE(chunk.failed());
    EXPECT_FALSE(chunk.readRecordHeader(tag, len));
    EXPECT_TRUE(chunk.failed());
}

TEST(Buffer, FramingBytesExact) {
    buffer b;
    buffer body;
    body.writeU8(0x7F);
    b.writeRecord(0xEEEEEEEEu, body);
    const std::vector<std::uint8_t> expected = {0xEE, 0xEE, 0xEE, 0xEE, 0x01, 0x00, 0x00, 0x00, 0x7F};
    EXPECT_EQ(b.bytes(), expected);
}

// A reader that walks records of a truncated chunk the way the scene reader
// skips unknown records: cursor = min(start + 8 + L, size).
TEST(Buffer, TruncatedChunkWalk) {
    buffer chunk;
    buffer body;
    for (int i = 0; i < 20; ++i) body.writeU8(std::uint8_t(i));
    chunk.writeRecord(0xE0000099u, body);
    chunk.writeRecord(0xE0000099u, body);
    chunk.resize(chunk.size() - 5);  // the second record loses its tail
    int records = 0;
    while (!chunk.atEnd()) {
        const std::int32_t start = chunk.cursor();
        std::uint32_t tag, len;
        if (!chunk.readRecordHeader(tag, len)) break;
        ++records;
        const std::int64_t next = std::int64_t(start) + 8 + len;
        chunk.seek(next < chunk.size() ? next : chunk.size());
    }
    EXPECT_EQ(records, 2);
    EXPECT_FALSE(chunk.failed());
    EXPECT_TRUE(chunk.atEnd());
}

TEST(Buffer, TruncatedRecordBodyReadsZeros) {
    buffer body;
    body.writeVec3({1, 2, 3});
    body.writeF32(4.0f);
    body.writeU32(5);
    buffer chunk;
    chunk.writeRecord(0xE0000001u, body);
    chunk.resize(8 + 12 + 2);  // cut inside the f32
    std::uint32_t tag, len;
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_FALSE(chunk.canRead(1, len));  // the body claims more than remains
    EXPECT_EQ(chunk.readVec3(), qel::vec3(1, 2, 3));
    EXPECT_FALSE(chunk.failed());
    EXPECT_EQ(chunk.readF32(), 0.0f);
    EXPECT_TRUE(chunk.failed());
    EXPECT_EQ(chunk.readU32(), 0u);
    EXPECT_EQ(chunk.cursor(), chunk.size());
}

TEST(Buffer, ConstructFromBytesAndClear) {
    buffer b(std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(b.readU32(), 1u);
    b.writeBuffer(b);  // appending to itself doubles the bytes
    EXPECT_EQ(b.size(), 8);
    EXPECT_EQ(b.readU32(), 1u);
    b.readU8();
    EXPECT_TRUE(b.failed());
    b.clear();
    EXPECT_EQ(b.size(), 0);
    EXPECT_EQ(b.cursor(), 0);
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, ResizeKeepsCursorInside) {
    buffer b;
    for (int i = 0; i < 8; ++i) b.writeU8(1);
    b.seek(6);
    b.resize(4);
    EXPECT_EQ(b.cursor(), 4);
    EXPECT_EQ(b.readU8(), 0);
    EXPECT_TRUE(b.failed());
}

TEST(Buffer, PatchOutsideFails) {
    buffer b;
    b.writeU32(0);
    b.patchU32(0, 0x01020304u);
    EXPECT_EQ(b.readU32(), 0x01020304u);
    EXPECT_FALSE(b.failed());
    b.patchU32(1, 0);
    EXPECT_TRUE(b.failed());
    b.clearFailure();
    b.patchU32(-4, 0);
    EXPECT_TRUE(b.failed());
}
