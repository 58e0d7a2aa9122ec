// The record buffer: byte layout, bounds-checked readers and record framing.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "scene/buffer.h"

using qel::buffer;
using Bytes = std::vector<std::uint8_t>;

TEST(Buffer, WritersAreLittleEndianAndReadBack) {
    buffer b;
    b.writeU8(0xAB);
    b.writeU16(0x1234);
    b.writeI16(-2);
    b.writeU32(0xDEADBEEF);
    b.writeI32(-1);
    b.writeF32(1.0f);
    EXPECT_EQ(b.bytes(), (Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,
                                0x00, 0x80, 0x3F}));
    EXPECT_EQ(b.cursor(), 0);  // writing does not move the read cursor

    qel::mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = float(i) + 0.5f;
    b.writeVec2({1.5f, -2.5f});
    b.writeVec3({1, 2, 3});
    b.writeMat4(m);
    float f15;
    std::memcpy(&f15, b.data() + b.size() - 4, 4);  // stored in member order
    EXPECT_EQ(f15, 15.5f);

    EXPECT_EQ(b.readU8(), 0xAB);
    EXPECT_EQ(b.readU16(), 0x1234);
    EXPECT_EQ(b.readI16(), -2);
    EXPECT_EQ(b.readU32(), 0xDEADBEEFu);
    EXPECT_EQ(b.readI32(), -1);
    EXPECT_EQ(b.readF32(), 1.0f);
    EXPECT_EQ(b.readVec2(), qel::vec2(1.5f, -2.5f));
    EXPECT_EQ(b.readVec3(), qel::vec3(1, 2, 3));
    EXPECT_EQ(b.readMat4(), m);
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, ReadPastEndYieldsZerosFlagsAndStays) {
    buffer b;
    b.writeU16(0xBEEF);
    EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left, 4 needed
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 2);
    EXPECT_EQ(b.readU8(), 0);
    EXPECT_EQ(b.readF32(), 0.0f);
    EXPECT_EQ(b.readVec3(), qel::vec3(0, 0, 0));
    EXPECT_EQ(b.cursor(), 2);
    b.clearFailure();
    EXPECT_FALSE(b.failed());

    buffer t;
    t.writeMat4(qel::mat4::Identity());
    t.resize(63);
    for (float f : t.readMat4().m) EXPECT_EQ(f, 0.0f);
    EXPECT_TRUE(t.failed());
    EXPECT_EQ(t.cursor(), 63);
}

TEST(Buffer, ReadBytesIsAllOrNothing) {
    const char text[] = "abcdef";
    buffer b(text, 6);
    char out[4] = {1, 1, 1, 1};
    EXPECT_TRUE(b.readBytes(out, 4));
    EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);
    EXPECT_FALSE(b.readBytes(out, 4));
    for (char c : out) EXPECT_EQ(c, 0);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 6);
}

TEST(Buffer, SkipAndSeekStayInside) {
    buffer b;
    for (int i = 0; i < 10; ++i) b.writeU8(std::uint8_t(i));
    b.skip(3);
    EXPECT_EQ(b.readU8(), 3);
    b.skip(-4);
    EXPECT_EQ(b.cursor(), 0);
    b.seek(10);  // the end is a valid position
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

    b.clearFailure();
    b.seek(6);
    b.resize(4);  // the cursor is pulled inside
    EXPECT_EQ(b.cursor(), 4);
    EXPECT_EQ(b.readU8(), 0);
    EXPECT_TRUE(b.failed());
}

TEST(Buffer, CanReadChecksCountsWithoutOverflow) {
    buffer b;
    for (int i = 0; i < 73 * 3; ++i) b.writeU8(0);
    EXPECT_TRUE(b.canRead(3, 73));
    EXPECT_FALSE(b.canRead(4, 73));
    EXPECT_FALSE(b.canRead(0xFFFFFFFFu, 73));
    EXPECT_FALSE(b.canRead(std::numeric_limits<std::uint64_t>::max(), 0xFFFFFFFFu));
    b.skip(73);
    EXPECT_TRUE(b.canRead(2, 73));
    EXPECT_FALSE(b.canRead(3, 73));
    EXPECT_FALSE(b.failed());
    EXPECT_FALSE(b.require(3, 73));
    EXPECT_TRUE(b.failed());
    EXPECT_TRUE(b.atEnd());

    // A count claiming a billion items is refused before anything is allocated.
    buffer c;
    c.writeU32(0x40000000u);
    c.writeU32(7);
    EXPECT_FALSE(c.require(c.readU32(), 4));
    EXPECT_TRUE(c.failed());
}

TEST(Buffer, RecordFramingRoundTrip) {
    buffer one, body;
    body.writeU8(0x7F);
    one.writeRecord(0xEEEEEEEEu, body);
    EXPECT_EQ(one.bytes(), (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0x01, 0x00, 0x00, 0x00, 0x7F}));

    buffer chunk;
    chunk.writeRecord(0xE0000001u, body);
    const std::int32_t at = chunk.beginRecord(0xABCDEF02u);
    for (std::uint8_t i = 0; i < 3; ++i) chunk.writeU8(i);
    chunk.endRecord(at);
    chunk.writeRecord(0x12345678u, buffer());
    std::uint32_t tag = 0, len = 0;
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0xE0000001u);
    EXPECT_EQ(len, 1u);
    chunk.skip(len);
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0xABCDEF02u);
    EXPECT_EQ(len, 3u);
    chunk.skip(len);
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(len, 0u);
    EXPECT_TRUE(chunk.atEnd());
    EXPECT_FALSE(chunk.failed());
    EXPECT_FALSE(chunk.readRecordHeader(tag, len));
    EXPECT_TRUE(chunk.failed());
}

TEST(Buffer, PatchWritesInsideOnly) {
    buffer b(Bytes{0x01, 0x00, 0x00, 0x00});
    b.writeBuffer(b);  // appending to itself doubles the bytes
    b.patchU32(4, 0x01020304u);
    EXPECT_EQ(b.bytes(), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
    b.patchU32(5, 0);
    EXPECT_TRUE(b.failed());
    b.clearFailure();
    b.patchU32(-4, 0);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.bytes(), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
}
