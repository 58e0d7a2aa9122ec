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

namespace {

std::vector<std::uint8_t> recordBytes(std::uint32_t tag, const std::string& path) {
    qel::buffer b;
    b.writeU32(tag);
    b.writeU32(std::uint32_t(path.size() + 4));
    b.writeU32(std::uint32_t(path.size()));
    b.writeBytes(path.data(), path.size());
    return b.bytes();
}

// Reads back a record written by a texture: checks the framing and leaves the
// cursor on the body.
void expectFraming(qel::buffer& b, std::uint32_t tag, const std::string& path) {
    std::uint32_t readTag = 0, length = 0;
    ASSERT_TRUE(b.readRecordHeader(readTag, length));
    EXPECT_EQ(readTag, tag);
    EXPECT_EQ(length, path.size() + 4);
    EXPECT_EQ(b.remaining(), std::int32_t(length));
}

}  // namespace

TEST(TextureRecord, MissingImageKeepsThePrefixedPathAndWritesIt) {
    qel::Texture2D texture("no_such_image.png", true);
    EXPECT_EQ(texture.path(), "Textures/no_such_image.png");
    EXPECT_TRUE(texture.loadError());
    EXPECT_EQ(texture.width(), 0);
    EXPECT_TRUE(texture.pixels().empty());

    qel::buffer b;
    texture.DataWrite(b);
    EXPECT_EQ(b.bytes(), recordBytes(qel::Texture2D::RecordTag, "Textures/no_such_image.png"));
}

TEST(TextureRecord, ResourcePathsAreNotPrefixed) {
    qel::Texture2D texture(":/nowhere/image.png", true);
    EXPECT_EQ(texture.path(), ":/nowhere/image.png");
    qel::Texture2D plain("plain.png", false);
    EXPECT_EQ(plain.path(), "plain.png");
    qel::TextureCube cube("sky.png", 4, true);
    // A cube that cannot read its panorama keeps no path.
    EXPECT_EQ(cube.path(), "");
}

TEST(TextureRecord, RoundTripsAnImagePath) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(3, 2, QImage::Format_RGB888);
    image.fill(QColor(10, 20, 30));
    const std::string path = gltest::savePng(dir, "picture.png", image);

    qel::Texture2D original(path, false);
    ASSERT_FALSE(original.loadError());
    qel::buffer b;
    original.DataWrite(b);
    expectFraming(b, qel::Texture2D::RecordTag, path);

    qel::Texture2D copy(b);
    EXPECT_TRUE(b.atEnd());
    EXPECT_FALSE(b.failed());
    EXPECT_EQ(copy.path(), path);
    EXPECT_FALSE(copy.loadError());
    EXPECT_EQ(copy.width(), 3);
    EXPECT_EQ(copy.height(), 2);
    EXPECT_EQ(copy.format(), GLenum(GL_RGB));
    EXPECT_EQ(copy.internalFormat(), GLenum(GL_RGB8));
    // Rows as the image stores them: 3 x 3 bytes padded to 12 per row.
    EXPECT_EQ(copy.byteCount(), 24);
    EXPECT_EQ(copy.pixels()[0], 10);
    EXPECT_EQ(copy.pixels()[13], 20);
}

TEST(TextureRecord, AlphaImagesLoadAsRGBA) {
    QTemporaryDir dir;
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(QColor(1, 2, 3, 4));
    qel::Texture2D texture(gltest::savePng(dir, "alpha.png", image), false);
    ASSERT_FALSE(texture.loadError());
    EXPECT_EQ(texture.internalFormat(), GLenum(GL_RGBA8));
    EXPECT_EQ(texture.format(), GLenum(GL_RGBA));
    ASSERT_EQ(texture.pixels().size(), 16u);
    EXPECT_EQ(texture.pixels()[3], 4);
}

TEST(TextureRecord, AnimatedRecordRoundTripsItsPath) {
    qel::Texture3D original("anim/missing.gif", true);
    EXPECT_TRUE(original.loadError());
    EXPECT_EQ(original.path(), "Textures/anim/missing.gif");
    qel::buffer b;
    original.DataWrite(b);
    expectFraming(b, qel::Texture3D::RecordTag, "Textures/anim/missing.gif");
    qel::Texture3D copy(b);
    EXPECT_EQ(copy.path(), "Textures/anim/missing.gif");
    EXPECT_TRUE(copy.loadError());
    EXPECT_TRUE(b.atEnd());
}

TEST(TextureRecord, EmptyPathYieldsALoadError) {
    qel::buffer b;
    b.writeI32(0);
    qel::Texture2D texture(b);
    EXPECT_EQ(texture.path(), "");
    EXPECT_TRUE(texture.loadError());
    EXPECT_FALSE(b.failed());

    qel::buffer negative;
    negative.writeI32(-7);
    qel::Texture2D other(negative);
    EXPECT_TRUE(other.loadError());
    EXPECT_FALSE(negative.failed());
}

TEST(TextureRecord, RecordsCutShortReadNothingOutside) {
    // Length field larger than the bytes that follow.
    qel::buffer cut;
    cut.writeI32(100);
    cut.writeBytes("abc", 3);
    qel::Texture2D texture(cut);
    EXPECT_TRUE(texture.loadError());
    EXPECT_EQ(texture.path(), "");
    EXPECT_TRUE(cut.failed());

    // Not even the length field.
    qel::buffer tiny;
    tiny.writeU8(1);
    qel::Texture3D animated(tiny);
    EXPECT_TRUE(animated.loadError());
    EXPECT_TRUE(tiny.failed());
}

TEST(TextureRecord, AnimatedLoadFailsOnAFileWithoutFrames) {
    QTemporaryDir dir;
    const std::string path = gltest::saveBytes(dir, "not_an_image.gif", {'h', 'e', 'l', 'l', 'o'});
    qel::Texture3D texture(path, false);
    EXPECT_TRUE(texture.loadError());
    EXPECT_FALSE(texture.load(path));
    EXPECT_TRUE(texture.pixels().empty());
}

TEST(TextureRandom, OneTexelTakesThreeConsecutiveRandValues) {
    std::srand(77);
    const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
    std::srand(77);
    std::unique_ptr<qel::Texture2D> texture(qel::Texture2D::random(1, 1));
    const auto v = [](int r) { return 2.0f * float(r % 8009) / 8009.0f - 1.0f; };
    ASSERT_EQ(qel::Texture2D::Rand.size(), 1u);
    ASSERT_EQ(qel::Texture2D::Rand[0].size(), 1u);
    const qel::vec3 value = qel::Texture2D::Rand[0][0];
    EXPECT_EQ(value, qel::vec3(v(r1), v(r2), v(r3)));
    ASSERT_EQ(texture->pixels().size(), 12u);
    float stored[3];
    std::memcpy(stored, texture->pixels().data(), 12);
    EXPECT_EQ(stored[0], value.x);
    EXPECT_EQ(stored[2], value.z);
    EXPECT_EQ(texture->internalFormat(), GLenum(GL_RGB32F));
    EXPECT_EQ(texture->wrap(), GLenum(GL_REPEAT));
}

TEST(TextureRandom, ValuesLieInTheHalfOpenUnitRange) {
    std::unique_ptr<qel::Texture2D> texture(qel::Texture2D::random(16, 8));
    ASSERT_EQ(qel::Texture2D::Rand.size(), 8u);
    for (const auto& row : qel::Texture2D::Rand) {
        ASSERT_EQ(row.size(), 16u);
        for (const qel::vec3& v : row)
            for (int i = 0; i < 3; ++i) {
                EXPECT_GE(v[i], -1.0f);
                EXPECT_LT(v[i], 1.0f);
            }
    }
    EXPECT_EQ(texture->width(), 16);
    EXPECT_EQ(texture->height(), 8);
    EXPECT_NE(qel::Texture2D::Random, nullptr);
    EXPECT_EQ(qel::Texture2D::Random->width(), 512);
}

TEST(TextureSize, QueriesAndResize) {
    qel::Texture2D flat(4, 3, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(flat.depth(), 0);
    EXPECT_EQ(flat.mipMapLevels(), 3);
    flat.resize(9, 2);
    EXPECT_EQ(flat.width(), 9);
    EXPECT_EQ(flat.mipMapLevels(), 4);
    qel::Texture3D volume(2, 2, 5, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(volume.depth(), 5);
    qel::TextureCubeArray array(8, 3, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(array.width(), 8);
    EXPECT_EQ(array.depth(), 3);
    EXPECT_EQ(qel::Texture2D(0, 0, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_REPEAT, GL_LINEAR).mipMapLevels(), 0);
}
