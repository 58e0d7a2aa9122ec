// Texture records and image loading on the CPU side (no GL context: nothing
// here enables a texture).

#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "gl/texturecube.h"
#include "gl_util.h"
#include "scene/buffer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

// The record of an image path: tag, length, then the path's length and bytes.
TEST(TextureRecord, PathsRoundTripThroughTheirRecords) {
    QTemporaryDir dir;
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(QColor(10, 20, 30));
    const std::string path = gltest::savePng(dir, "picture.png", image);
    qel::Texture2D original(path, false);
    ASSERT_FALSE(original.loadError());
    qel::buffer b;
    original.DataWrite(b);
    std::uint32_t tag = 0, length = 0;
    ASSERT_TRUE(b.readRecordHeader(tag, length));
    EXPECT_EQ(tag, qel::Texture2D::RecordTag);
    EXPECT_EQ(length, path.size() + 4);
    EXPECT_EQ(b.remaining(), std::int32_t(length));
    qel::Texture2D copy(b);
    EXPECT_TRUE(b.atEnd() && !b.failed());
    EXPECT_EQ(copy.path(), path);
    EXPECT_FALSE(copy.loadError());
    EXPECT_EQ(copy.internalFormat(), GLenum(GL_RGB8));
    // Rows as the image stores them: 3 x 3 bytes padded to 12 per row.
    EXPECT_EQ(copy.byteCount(), 24);
    EXPECT_EQ(copy.pixels()[13], 20);

    // Missing images keep their prefixed path, and write and read it back.
    qel::Texture3D animated("anim/missing.gif", true);
    EXPECT_TRUE(animated.loadError());
    qel::buffer c;
    animated.DataWrite(c);
    ASSERT_TRUE(c.readRecordHeader(tag, length));
    EXPECT_EQ(tag, qel::Texture3D::RecordTag);
    qel::Texture3D animatedCopy(c);
    EXPECT_EQ(animatedCopy.path(), "Textures/anim/missing.gif");
    EXPECT_TRUE(animatedCopy.loadError() && c.atEnd());
}

TEST(TextureRecord, PathPrefixesAndImageFormats) {
    qel::Texture2D missing("no_such_image.png", true);
    EXPECT_EQ(missing.path(), "Textures/no_such_image.png");
    EXPECT_TRUE(missing.loadError() && missing.pixels().empty());
    EXPECT_EQ(qel::Texture2D(":/nowhere/image.png", true).path(), ":/nowhere/image.png");
    EXPECT_EQ(qel::Texture2D("plain.png", false).path(), "plain.png");
    EXPECT_EQ(qel::TextureCube("sky.png", 4, true).path(), "") << "a cube that cannot read its panorama keeps no path";
    QTemporaryDir dir;
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(QColor(1, 2, 3, 4));
    qel::Texture2D alpha(gltest::savePng(dir, "alpha.png", image), false);
    EXPECT_EQ(alpha.internalFormat(), GLenum(GL_RGBA8));
    ASSERT_EQ(alpha.pixels().size(), 16u);
    EXPECT_EQ(alpha.pixels()[3], 4);
    qel::Texture3D notAGif(gltest::saveBytes(dir, "not_an_image.gif", {'h', 'e', 'l', 'l', 'o'}), false);
    EXPECT_TRUE(notAGif.loadError() && notAGif.pixels().empty());
}

TEST(TextureRecord, BadRecordsFailWithoutReadingOutside) {
    for (std::int32_t length : {0, -7}) {  // an empty or negative path length
        qel::buffer b;
        b.writeI32(length);
        qel::Texture2D texture(b);
        EXPECT_TRUE(texture.loadError() && texture.path().empty());
        EXPECT_FALSE(b.failed());
    }
    qel::buffer cut;  // a length beyond the bytes that follow
    cut.writeI32(100);
    cut.writeBytes("abc", 3);
    qel::Texture2D texture(cut);
    EXPECT_TRUE(texture.loadError() && texture.path().empty() && cut.failed());
    qel::buffer tiny;  // not even the length
    tiny.writeU8(1);
    qel::Texture3D animated(tiny);
    EXPECT_TRUE(animated.loadError() && tiny.failed());
}

TEST(TextureRandom, TexelsTakeThreeConsecutiveRandValuesInTheHalfOpenUnitRange) {
    std::srand(77);
    const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
    std::srand(77);
    std::unique_ptr<qel::Texture2D> one(qel::Texture2D::random(1, 1));
    const auto v = [](int r) { return 2.0f * float(r % 8009) / 8009.0f - 1.0f; };
    ASSERT_EQ(qel::Texture2D::Rand.size(), 1u);
    EXPECT_EQ(qel::Texture2D::Rand[0], std::vector<qel::vec3>{qel::vec3(v(r1), v(r2), v(r3))});
    ASSERT_EQ(one->pixels().size(), 12u);
    EXPECT_EQ(std::memcmp(one->pixels().data(), &qel::Texture2D::Rand[0][0], 12), 0);
    EXPECT_EQ(one->internalFormat(), GLenum(GL_RGB32F));
    EXPECT_EQ(one->wrap(), GLenum(GL_REPEAT));

    std::unique_ptr<qel::Texture2D> texture(qel::Texture2D::random(16, 8));
    ASSERT_EQ(qel::Texture2D::Rand.size(), 8u);
    for (const auto& row : qel::Texture2D::Rand) {
        ASSERT_EQ(row.size(), 16u);
        for (const qel::vec3& t : row)
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(t[i] >= -1.0f && t[i] < 1.0f) << t[i];
    }
    ASSERT_NE(qel::Texture2D::Random, nullptr);
    EXPECT_EQ(qel::Texture2D::Random->width(), 512);
}

TEST(TextureSize, MipMapLevelsFollowTheLongerSide) {
    qel::Texture2D flat(4, 3, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(flat.mipMapLevels(), 3);
    flat.resize(9, 2);
    EXPECT_EQ(flat.mipMapLevels(), 4);
    EXPECT_EQ(qel::Texture2D(0, 0, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_REPEAT, GL_LINEAR).mipMapLevels(), 0);
}
