// Texture records and image loading on the CPU side (no GL context: nothing
// here enables a texture). Damaged records are replayed from the fuzz corpus.

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "gl/texturecube.h"
#include "gl_util.h"
#include "scene/buffer.h"

// The record of an image path: tag, length, then the path's length and bytes.
TEST(TextureRecord, PathsRoundTripThroughTheirRecords) {
    QTemporaryDir dir;
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(QColor(10, 20, 30));
    const std::string path = gltest::savePng(dir, "picture.png", image);
    qel::buffer b;
    qel::Texture2D(path, false).DataWrite(b);
    qel::Texture3D("anim/missing.gif", true).DataWrite(b);  // a missing image keeps its prefixed path
    std::uint32_t tag = 0, length = 0;
    ASSERT_TRUE(b.readRecordHeader(tag, length));
    EXPECT_EQ(tag, qel::Texture2D::RecordTag);
    EXPECT_EQ(length, path.size() + 4);
    qel::Texture2D copy(b);
    EXPECT_EQ(copy.path(), path);
    EXPECT_FALSE(copy.loadError());
    EXPECT_EQ(copy.internalFormat(), GLenum(GL_RGB8));
    // Rows as the image stores them: 3 x 3 bytes padded to 12 per row.
    EXPECT_EQ(copy.byteCount(), 24);
    EXPECT_EQ(copy.pixels()[13], 20);
    ASSERT_TRUE(b.readRecordHeader(tag, length));
    EXPECT_EQ(tag, qel::Texture3D::RecordTag);
    qel::Texture3D animated(b);
    EXPECT_EQ(animated.path(), "Textures/anim/missing.gif");
    EXPECT_TRUE(animated.loadError() && b.atEnd() && !b.failed());
}

TEST(TextureRecord, PathPrefixesAndImageFormats) {
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

TEST(TextureRandom, ValuesLieInTheHalfOpenUnitRangeFollowTheSeedAndFillTheTexture) {
    std::srand(77);
    std::unique_ptr<qel::Texture2D> texture(qel::Texture2D::random(16, 8));
    const std::vector<std::vector<qel::vec3>> first = qel::Texture2D::Rand;
    ASSERT_EQ(first.size(), 8u);
    ASSERT_EQ(texture->pixels().size(), 16u * 8 * 12);
    EXPECT_TRUE(texture->internalFormat() == GL_RGB32F && texture->wrap() == GL_REPEAT);
    for (std::size_t y = 0; y < 8; ++y) {
        ASSERT_EQ(first[y].size(), 16u);
        EXPECT_EQ(std::memcmp(texture->pixels().data() + 16 * 12 * y, first[y].data(), 16 * 12), 0) << y;
        for (const qel::vec3& t : first[y])
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(t[i] >= -1.0f && t[i] < 1.0f) << t[i];
    }
    std::srand(77);
    texture.reset(qel::Texture2D::random(16, 8));
    EXPECT_EQ(qel::Texture2D::Rand, first);
    EXPECT_EQ(qel::Texture2D::Random->width(), 512);
}

TEST(TextureSize, MipMapLevelsFollowTheLongerSide) {
    qel::Texture2D flat(4, 3, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(flat.mipMapLevels(), 3);
    flat.resize(9, 2);
    EXPECT_EQ(flat.mipMapLevels(), 4);
    EXPECT_EQ(qel::Texture2D(0, 0, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_REPEAT, GL_LINEAR).mipMapLevels(), 0);
}
