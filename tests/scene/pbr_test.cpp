// Material record, product and masked assignment.
#include <gtest/gtest.h>

#include <vector>

#include "scene/buffer.h"
#include "scene/pbr.h"

using qel::buffer;
using qel::pbr;
using qel::wvec4;

TEST(Pbr, RecordIsLittleEndianAndReadsBackClamped) {
    const pbr m(wvec4(0x0102, 0x0304, 0x0506, 0x0708), wvec4(0x090A, 0x0B0C, 0x0D0E, 0x0F10), -2, 0x1234);
    buffer b;
    m.DataWrite(b);
    EXPECT_EQ(b.bytes(), (std::vector<std::uint8_t>{0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07, 0x0A, 0x09,
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
    }
}
