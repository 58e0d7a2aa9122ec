// The record buffer (byte layout, bounds-checked readers, record framing, the
// room kept for appending, the read limit) and the material record, product
// and masked assignment.
#include "gl/buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "gl/pbr.h"

using qel::buffer;
using qel::pbr;
using qel::wvec4;
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
    EXPECT_TRUE(b.atEnd() && !b.failed());
}

TEST(Buffer, ReadsPastTheEndYieldZerosAndStayInside) {
    buffer b;
    b.writeU16(0xBEEF);
    EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left, 4 needed
    EXPECT_TRUE(b.failed() && b.cursor() == 2);
    char out[4] = {1, 1, 1, 1};
    EXPECT_FALSE(b.readBytes(out, 4));
    EXPECT_EQ(std::memcmp(out, "\0\0\0\0", 4), 0);

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
    EXPECT_TRUE(tag == 0xABCDEF02u && len == 3u);
    chunk.skip(len);
    EXPECT_FALSE(chunk.readRecordHeader(tag, len));

    buffer b(Bytes{0x01, 0x00, 0x00, 0x00});
    b.writeBuffer(b);  // appending to itself doubles the bytes
    b.patchU32(4, 0x01020304u);
    EXPECT_EQ(b.bytes(), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
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
        EXPECT_EQ(b.readU32(), 2u);
        EXPECT_EQ(b.readU32(), 0u);  // 2 bytes left before the limit
        EXPECT_TRUE(b.failed() && b.cursor() == 14 && b.size() == 14);
    }
    EXPECT_EQ(b.size(), 400000);
    b.seek(12);
    EXPECT_EQ(b.readU32(), 3u);
}

namespace {

// A sink that keeps what it is handed, the bytes of a gap zero until filled.
class KeptBytes : public qel::BufferSink {
public:
    void put(const std::uint8_t* p, std::size_t n) override { bytes.insert(bytes.end(), p, p + n); }
    void putAt(std::int64_t at, const std::uint8_t* p, std::size_t n) override {
        ASSERT_LE(std::size_t(at) + n, bytes.size());
        std::copy(p, p + n, bytes.begin() + at);
    }
    void skip(std::size_t n) override { bytes.resize(bytes.size() + n, 0); }
    Bytes bytes;
};

// The same writes into a buffer, spilling to `sink` when one is given.
Bytes framedWrites(buffer& b, KeptBytes* sink) {
    b.spillTo(sink);
    const std::int32_t outer = b.beginRecord(0x0A0B0C0Du);
    b.writeU32(7);
    const std::int32_t gapAt = b.gap(6);
    b.spill();
    const std::int32_t inner = b.beginRecord(0x01020304u);
    for (std::uint16_t i = 0; i < 300; ++i) b.writeU16(i);
    b.spill();
    b.writeU8(9);
    b.endRecord(inner);
    const std::uint8_t filled[6] = {1, 2, 3, 4, 5, 6};
    b.overwrite(gapAt, filled, 6);
    // Straddles the spilled bytes and those still in memory.
    const std::uint8_t tail[4] = {0xF0, 0xF1, 0xF2, 0xF3};
    b.overwrite(b.size() - 2 - 1, tail, 3);
    b.endRecord(outer);
    EXPECT_EQ(b.size(), 8 + 4 + 6 + 8 + 600 + 1);
    b.spill();
    return sink ? sink->bytes : b.bytes();
}

}  // namespace

TEST(Buffer, SpilledBytesAreTheBytesWrittenWithPatchesAndGapsFilled) {
    buffer plain, spilling;
    KeptBytes sink;
    const Bytes expected = framedWrites(plain, nullptr);
    EXPECT_EQ(framedWrites(spilling, &sink), expected);
    EXPECT_EQ(spilling.spilled(), spilling.size());
    EXPECT_FALSE(plain.failed() || spilling.failed());
    // Offsets past the bytes are refused in both.
    const std::uint8_t one = 1;
    spilling.overwrite(spilling.size(), &one, 1);
    EXPECT_TRUE(spilling.failed());
    EXPECT_EQ(sink.bytes, expected);
}

TEST(Pbr, RecordIsLittleEndianAndReadsBackClamped) {
    const pbr m(wvec4(0x0102, 0x0304, 0x0506, 0x0708), wvec4(0x090A, 0x0B0C, 0x0D0E, 0x0F10), -2, 0x1234);
    buffer b;
    m.DataWrite(b);
    EXPECT_EQ(b.bytes(), (Bytes{0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07, 0x0A, 0x09,
                                0x0C, 0x0B, 0x0E, 0x0D, 0x10, 0x0F, 0xFE, 0xFF, 0x34, 0x12}));
    // Out-of-range signed channels of a damaged file are clamped on read.
    b.writePbr(pbr(wvec4(65535, 0, 12345, 54321), wvec4(0, 65535, 1, 2), -32768, 32767));
    b.writePbr(pbr(wvec4(), wvec4(), -32767, 32766));
    EXPECT_EQ(pbr::Read(b), m);
    EXPECT_EQ(b.readPbr(), pbr(wvec4(65535, 0, 12345, 54321), wvec4(0, 65535, 1, 2), -32766, 32766));
    EXPECT_EQ(b.readPbr(), pbr(wvec4(), wvec4(), -32766, 32766));
    EXPECT_TRUE(b.atEnd() && !b.failed());
}

TEST(Pbr, ProductTruncatesSaturatesAndClamps) {
    const pbr d;
    EXPECT_EQ(d * d, d);
    pbr a, b;
    a.colour = wvec4(32768, 32768, 32768, 0);
    EXPECT_EQ((a * a).colour, wvec4(16384, 16384, 16384, 0));  // 16384.25 truncated
    a.light = wvec4(40000, 100, 0, 65535);
    b.light = wvec4(40000, 200, 0, 1);
    EXPECT_EQ((a * b).light, wvec4(65535, 300, 0, 65535));
    a.roughness = b.roughness = 30000;
    a.metalness = b.metalness = -32768;  // extreme stored values clamp without overflow
    EXPECT_EQ((a * b).roughness, 32766);
    EXPECT_EQ((a * b).metalness, -32766);
}

TEST(Pbr, AssignCopiesTheMaskedChannelsClamped) {
    const pbr dst(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    const pbr src(wvec4(11, 12, 13, 14), wvec4(15, 16, 17, 18), 32767, -32768);
    const struct {
        unsigned char mask;
        pbr expected;
    } cases[] = {
        {0, dst},
        {pbr::MaskOpacity, pbr(wvec4(1, 2, 3, 14), wvec4(5, 6, 7, 8), 9, 10)},
        {1, pbr(wvec4(11, 12, 13, 4), wvec4(5, 6, 7, 8), 9, 10)},
        {34, pbr(wvec4(1, 2, 3, 4), wvec4(15, 16, 17, 18), 9, 10)},
        {13, pbr(wvec4(11, 12, 13, 4), wvec4(5, 6, 7, 8), 32766, -32766)},  // the brush's default mask
        {0xC0, dst},                                                        // bits beyond 32 select nothing
    };
    for (const auto& k : cases) {
        pbr d = dst;
        d.assign(src, k.mask);
        EXPECT_EQ(d, k.expected) << int(k.mask);
        // assignChanged assigns alike and names the channels it changed:
        // all of the mask here, none when assigned again.
        pbr e = dst;
        EXPECT_EQ(e.assignChanged(src, k.mask), k.mask & pbr::MaskAll) << int(k.mask);
        EXPECT_EQ(e, k.expected) << int(k.mask);
        EXPECT_EQ(e.assignChanged(src, k.mask), 0) << int(k.mask);
    }
    // A channel group with one part changed is named; one already holding
    // the value (after clamping) is not.
    pbr e(wvec4(11, 12, 0, 14), wvec4(15, 16, 17, 18), 32766, 5);
    EXPECT_EQ(e.assignChanged(src, pbr::MaskAll), pbr::MaskColour | pbr::MaskMetalness);
}
