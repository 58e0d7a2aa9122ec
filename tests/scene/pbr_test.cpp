// Material record, product and masked assignment.
#include <gtest/gtest.h>

#include <vector>

#include "scene/buffer.h"
#include "scene/pbr.h"

using qel::buffer;
using qel::pbr;
using qel::wvec4;

TEST(Pbr, DefaultValue) {
    const pbr m;
    EXPECT_EQ(m.colour, wvec4(65535, 65535, 65535, 65535));
    EXPECT_EQ(m.light, wvec4(0, 0, 0, 65535));
    EXPECT_EQ(m.roughness, 0);
    EXPECT_EQ(m.metalness, 0);
}

TEST(Pbr, DefaultRecordBytes) {
    buffer b;
    pbr().DataWrite(b);
    const std::vector<std::uint8_t> expected = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                                0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(b.size(), 20);
    EXPECT_EQ(b.bytes(), expected);
}

TEST(Pbr, RecordLayoutLittleEndian) {
    const pbr m(wvec4(0x0102, 0x0304, 0x0506, 0x0708), wvec4(0x090A, 0x0B0C, 0x0D0E, 0x0F10), -2, 0x1234);
    buffer b;
    m.DataWrite(b);
    const std::vector<std::uint8_t> expected = {0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07, 0x0A, 0x09,
                                                0x0C, 0x0B, 0x0E, 0x0D, 0x10, 0x0F, 0xFE, 0xFF, 0x34, 0x12};
    EXPECT_EQ(b.bytes(), expected);
}

TEST(Pbr, RoundTrip) {
    const pbr a(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), -32766, 32766);
    const pbr c(wvec4(65535, 0, 12345, 54321), wvec4(0, 65535, 1, 2), 100, -100);
    buffer b;
    a.DataWrite(b);
    b.writePbr(c);
    b.writeU8(0x5A);
    EXPECT_EQ(b.size(), 41);
    EXPECT_EQ(pbr::Read(b), a);
    EXPECT_EQ(b.cursor(), 20);
    EXPECT_EQ(b.readPbr(), c);
    EXPECT_EQ(b.cursor(), 40);
    EXPECT_EQ(b.readU8(), 0x5A);
    EXPECT_FALSE(b.failed());
}

TEST(Pbr, ReadCopiesSignedChannelsAsStored) {
    // The reader copies the 20 bytes: no clamping on reading.
    buffer b;
    for (int i = 0; i < 8; ++i) b.writeU16(0);
    b.writeI16(-32768);
    b.writeI16(32767);
    pbr m;
    m.read(b);
    EXPECT_EQ(m.roughness, -32768);
    EXPECT_EQ(m.metalness, 32767);
}

TEST(Pbr, TruncatedReadYieldsZeros) {
    buffer b;
    pbr().DataWrite(b);
    b.resize(13);
    pbr m;
    m.read(b);
    EXPECT_TRUE(b.failed());
    EXPECT_EQ(b.cursor(), 13);
    EXPECT_EQ(m.colour, wvec4(0, 0, 0, 0));
    EXPECT_EQ(m.light, wvec4(0, 0, 0, 0));
    EXPECT_EQ(m.roughness, 0);
    EXPECT_EQ(m.metalness, 0);
}

TEST(Pbr, ProductOfDefaults) {
    const pbr d;
    const pbr p = d * d;
    EXPECT_EQ(p, d);
    EXPECT_EQ(p.light, wvec4(0, 0, 0, 65535));  // saturating addition
}

TEST(Pbr, ProductColour) {
    pbr white;
    pbr c;
    c.colour = wvec4(12345, 0, 65534, 1);
    EXPECT_EQ((white * c).colour, c.colour);
    EXPECT_EQ((c * white).colour, c.colour);
    pbr black;
    black.colour = wvec4(0, 0, 0, 0);
    EXPECT_EQ((black * c).colour, wvec4(0, 0, 0, 0));
    EXPECT_EQ((c * black).colour, wvec4(0, 0, 0, 0));
    // Integer division: 32768 * 32768 / 65535 = 16384 (16384.25 truncated).
    pbr h;
    h.colour = wvec4(32768, 32768, 32768, 32768);
    EXPECT_EQ((h * h).colour, wvec4(16384, 16384, 16384, 16384));
}

TEST(Pbr, ProductLightSaturates) {
    pbr a, b;
    a.light = wvec4(40000, 100, 0, 65535);
    b.light = wvec4(40000, 200, 0, 1);
    EXPECT_EQ((a * b).light, wvec4(65535, 300, 0, 65535));
}

TEST(Pbr, ProductSignedClamps) {
    pbr a, b;
    a.roughness = 30000;
    b.roughness = 30000;
    a.metalness = -30000;
    b.metalness = -30000;
    pbr p = a * b;
    EXPECT_EQ(p.roughness, 32766);
    EXPECT_EQ(p.metalness, -32766);
    a.roughness = 100;
    b.roughness = -300;
    EXPECT_EQ((a * b).roughness, -200);
    // Extreme stored values still clamp (no overflow).
    a.roughness = -32768;
    b.roughness = -32768;
    EXPECT_EQ((a * b).roughness, -32766);
}

TEST(Pbr, AssignMaskZeroChangesNothing) {
    const pbr dst0(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    const pbr src(wvec4(11, 12, 13, 14), wvec4(15, 16, 17, 18), 19, 20);
    pbr dst = dst0;
    dst.assign(src, 0);
    EXPECT_EQ(dst, dst0);
}

TEST(Pbr, AssignMaskOpacityOnly) {
    const pbr dst0(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    const pbr src(wvec4(11, 12, 13, 14), wvec4(15, 16, 17, 18), 19, 20);
    pbr dst = dst0;
    dst.assign(src, pbr::MaskOpacity);
    EXPECT_EQ(dst.colour, wvec4(1, 2, 3, 14));
    EXPECT_EQ(dst.light, dst0.light);
    EXPECT_EQ(dst.roughness, 9);
    EXPECT_EQ(dst.metalness, 10);
}

TEST(Pbr, AssignEachBit) {
    const pbr dst0(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 10);
    const pbr src(wvec4(11, 12, 13, 14), wvec4(15, 16, 17, 18), 19, 20);
    pbr d;
    d = dst0;
    d.assign(src, 1);
    EXPECT_EQ(d, pbr(wvec4(11, 12, 13, 4), wvec4(5, 6, 7, 8), 9, 10));
    d = dst0;
    d.assign(src, 2);
    EXPECT_EQ(d, pbr(wvec4(1, 2, 3, 4), wvec4(15, 16, 17, 8), 9, 10));
    d = dst0;
    d.assign(src, 4);
    EXPECT_EQ(d, pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 19, 10));
    d = dst0;
    d.assign(src, 8);
    EXPECT_EQ(d, pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 8), 9, 20));
    d = dst0;
    d.assign(src, 32);
    EXPECT_EQ(d, pbr(wvec4(1, 2, 3, 4), wvec4(5, 6, 7, 18), 9, 10));
    d = dst0;
    d.assign(src, 63);
    EXPECT_EQ(d, src);
    d = dst0;
    d.assign(src, 13);  // the brush's default mask: colour RGB + roughness + metalness
    EXPECT_EQ(d, pbr(wvec4(11, 12, 13, 4), wvec4(5, 6, 7, 8), 19, 20));
    d = dst0;
    d.assign(src, 0xC0);  // bits beyond 32 select nothing
    EXPECT_EQ(d, dst0);
}

TEST(Pbr, AssignClampsSignedChannels) {
    pbr src;
    src.roughness = 32767;
    src.metalness = -32768;
    pbr d;
    d.assign(src, pbr::MaskRoughness | pbr::MaskMetalness);
    EXPECT_EQ(d.roughness, 32766);
    EXPECT_EQ(d.metalness, -32766);
    src.roughness = -32767;
    d.assign(src, pbr::MaskRoughness);
    EXPECT_EQ(d.roughness, -32766);
    src.roughness = 32766;
    d.assign(src, pbr::MaskRoughness);
    EXPECT_EQ(d.roughness, 32766);
}
