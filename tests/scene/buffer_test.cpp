// The record buffer: byte layout, bounds-checked readers, record framing,
// the room kept for appending and the read limit.
#include <gtest/gtest.h>

#include <cstring>
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
    b.writeF32(1.0f);
    EXPECT_EQ(b.bytes(), (Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0x00, 0x00, 0x80, 0x3F}));
    qel::mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = float(i) + 0.5f;
    b.writeVec2({1.5f, -2.5f});  // appended after bytes() gave the room up
    b.writeVec3({1, 2, 3});
    b.writeMat4(m);
    float f15;
    std::memcpy(&f15, b.data() + b.size() - 4, 4);  // stored in member order
    EXPECT_EQ(f15, 15.5f);

    EXPECT_EQ(b.readU8(), 0xAB);
    EXPECT_EQ(b.readU16(), 0x1234);
    EXPECT_EQ(b.readI16(), -2);
    EXPECT_EQ(b.readI32(), std::int32_t(0xDEADBEEF));
    EXPECT_EQ(b.readF32(), 1.0f);
    EXPECT_EQ(b.readVec2(), qel::vec2(1.5f, -2.5f));
    EXPECT_EQ(b.readVec3(), qel::vec3(1, 2, 3));
    EXPECT_EQ(b.readMat4(), m);
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
}

TEST(Buffer, ReadsPastTheEndYieldZerosAndStayInside) {
    buffer b;
    b.writeU16(0xBEEF);
    EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left, 4 needed
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 2);
    char out[4] = {1, 1, 1, 1};
    EXPECT_FALSE(b.readBytes(out, 4));
    EXPECT_EQ(std::memcmp(out, "\0\0\0\0", 4), 0);
    b.seek(-1);
    EXPECT_EQ(b.cursor(), 0);
    b.skip(std::int64_t(1) << 40);
    EXPECT_EQ(b.cursor(), 2);
    b.resize(1);  // the cursor is pulled inside
    EXPECT_EQ(b.cursor(), 1);

    // Counts are checked without overflow before anything is allocated.
    b.resize(73 * 3);
    b.seek(0);
    EXPECT_TRUE(b.canRead(3, 73));
    EXPECT_FALSE(b.canRead(4, 73));
    EXPECT_FALSE(b.canRead(~std::uint64_t(0), 0xFFFFFFFFu));
    EXPECT_FALSE(b.require(0x40000000u, 4));
    EXPECT_TRUE(b.atEnd());
}

TEST(Buffer, RecordFramingAndPatching) {
    buffer chunk, body;
    body.writeU8(0x7F);
    chunk.writeRecord(0xEEEEEEEEu, body);
    EXPECT_EQ(chunk.bytes(), (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0x01, 0x00, 0x00, 0x00, 0x7F}));
    const std::int32_t at = chunk.beginRecord(0xABCDEF02u);
    for (std::uint8_t i = 0; i < 3; ++i) chunk.writeU8(i);
    chunk.endRecord(at);
    std::uint32_t tag = 0, len = 0;
    chunk.skip(9);
    ASSERT_TRUE(chunk.readRecordHeader(tag, len));
    EXPECT_EQ(tag, 0xABCDEF02u);
    EXPECT_EQ(len, 3u);
    chunk.skip(len);
    EXPECT_FALSE(chunk.readRecordHeader(tag, len));

    buffer b(Bytes{0x01, 0x00, 0x00, 0x00});
    b.writeBuffer(b);  // appending to itself doubles the bytes
    b.patchU32(4, 0x01020304u);
    b.patchU32(5, 0);  // outside: nothing written
    EXPECT_EQ(b.bytes(), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
    EXPECT_TRUE(b.failed());
}

TEST(Buffer, AppendsKeepEveryByteAndAReadLimitEndsTheBytes) {
    buffer b;
    b.reserve(10);
    for (std::uint32_t i = 0; i < 100000; ++i) b.writeU32(i);
    ASSERT_EQ(b.bytes().size(), 400000u);
    for (std::uint32_t i = 0; i < 100000; ++i) ASSERT_EQ(b.readU32(), i);

    b.seek(8);
    {
        const buffer::ReadLimit window(b, 14);
        EXPECT_EQ(b.size(), 14);
        EXPECT_FALSE(b.canRead(7, 1));
        EXPECT_EQ(b.readU32(), 2u);
        EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left before the limit
        EXPECT_TRUE(b.failed());
        EXPECT_EQ(b.cursor(), 14);
        b.skip(1);
        EXPECT_EQ(b.cursor(), 14);
    }
    EXPECT_EQ(b.size(), 400000);
    b.seek(12);
    EXPECT_EQ(b.readU32(), 3u);
}
