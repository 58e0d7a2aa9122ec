#include "gl/gl.h"
#include "gl/panorama.h"
#include "gl/texture2d.h"
#include "gl/texture2darray.h"
#include "gl/texture3d.h"
#include "gl/texturecube.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

namespace {

std::unique_ptr<qel::Texture2D> smallRGBA() {
    return std::unique_ptr<qel::Texture2D>(
        new qel::Texture2D(2, 2, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR));
}

GLuint boundTexture2D(int unit) {
    gl->glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    GLint name = 0;
    gl->glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return GLuint(name);
}

}  // namespace

TEST(TextureUnits, AreHandedOutAndReturnedAsAStack) {
    ASSERT_EQ(qel::Texture::GLActiveTexture, 0);
    auto a = smallRGBA(), b = smallRGBA(), c = smallRGBA();
    ASSERT_TRUE(a->enable());
    ASSERT_TRUE(b->enable());
    ASSERT_TRUE(c->enable());
    EXPECT_EQ(a->boundUnit(), 0);
    EXPECT_EQ(b->boundUnit(), 1);
    EXPECT_EQ(c->boundUnit(), 2);
    EXPECT_EQ(qel::Texture::GLActiveTexture, 3);
    // Enabling an enabled texture keeps its unit and takes no other.
    EXPECT_EQ(b->unit(), 1);
    EXPECT_EQ(qel::Texture::GLActiveTexture, 3);
    // Compiling one texture must not unbind the others.
    EXPECT_EQ(boundTexture2D(0), a->name());
    EXPECT_EQ(boundTexture2D(1), b->name());
    EXPECT_EQ(boundTexture2D(2), c->name());
    c->disable();
    b->disable();
    a->disable();
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
    EXPECT_EQ(boundTexture2D(0), 0u);
    a->disable();
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextureUnits, ReleaseAndDestructionReturnTheUnit) {
    auto a = smallRGBA();
    ASSERT_TRUE(a->enable());
    const GLuint name = a->name();
    a->release();
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
    EXPECT_FALSE(a->isCompiled());
    EXPECT_FALSE(gl->glIsTexture(name));
    {
        auto b = smallRGBA();
        ASSERT_TRUE(b->enable());
        EXPECT_EQ(qel::Texture::GLActiveTexture, 1);
    }
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
}

TEST(Texture2DGL, OddWidthRGBImageUploadsRowByRow) {
    QTemporaryDir dir;
    QImage image(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.setPixel(x, y, qRgb(10 * x + 1, 100 + y, 7));
    qel::Texture2D texture(gltest::savePng(dir, "odd.png", image), false);
    ASSERT_FALSE(texture.loadError());
    ASSERT_TRUE(texture.enable());
    texture.disable();
    EXPECT_TRUE(texture.pixels().empty()) << "the CPU copy is dropped after the upload";
    const auto rgba = gltest::readRGBA8(texture.name(), 3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const std::size_t i = std::size_t(4 * (3 * y + x));
            EXPECT_EQ(rgba[i], 10 * x + 1);
            EXPECT_EQ(rgba[i + 1], 100 + y);
            EXPECT_EQ(rgba[i + 3], 255);
        }
}

TEST(Texture2DGL, MissingImageCompilesAsEmptyStorage) {
    qel::Texture2D texture("does/not/exist.png", true);
    EXPECT_TRUE(texture.loadError());
    EXPECT_TRUE(texture.enable());
    texture.disable();
    EXPECT_NE(texture.id(), 0u);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture2DGL, PixelsTooShortForTheSizeAreNotUploaded) {
    qel::Texture2D texture(4, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    const std::vector<std::uint8_t> few(10, 255);
    texture.setData(few.data(), int(few.size()));
    EXPECT_TRUE(texture.enable());
    texture.disable();
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture2DGL, SetDataAfterCompileReusesTheName) {
    auto texture = smallRGBA();
    ASSERT_TRUE(texture->enable());
    texture->disable();
    const GLuint name = texture->name();
    const std::vector<std::uint8_t> bytes(16, 200);
    texture->setData(bytes.data(), int(bytes.size()));
    EXPECT_FALSE(texture->isCompiled());
    ASSERT_NE(texture->id(), 0u);
    EXPECT_EQ(texture->name(), name);
    EXPECT_EQ(gltest::readRGBA8(texture->name(), 2, 2)[0], 200);
}

TEST(Texture2DGL, MipMapsCountLevelsAndKeepTheFilter) {
    qel::Texture2D texture(8, 5, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_EQ(texture.generateMipMaps(), 4);
    EXPECT_EQ(texture.filter(), GLenum(GL_LINEAR));
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture2DGL, RandomTextureUploadsItsValues) {
    std::unique_ptr<qel::Texture2D> texture(qel::Texture2D::random(4, 2));
    ASSERT_TRUE(texture->enable());
    texture->disable();
    const auto values = gltest::readFloats(texture->name(), 4, 2, GL_RGB);
    EXPECT_EQ(values[0], qel::Texture2D::Rand[0][0].x);
    EXPECT_EQ(values[3 * 5 + 2], qel::Texture2D::Rand[1][1].z);
}

TEST(Texture3DGL, GifFramesBecomeDepthLayers) {
    QTemporaryDir dir;
    const std::string path = gltest::saveBytes(dir, "anim.gif", gltest::twoFrameGif());
    qel::Texture3D texture(path, false);
    ASSERT_FALSE(texture.loadError());
    EXPECT_EQ(texture.width(), 2);
    EXPECT_EQ(texture.height(), 2);
    EXPECT_EQ(texture.depth(), 2);
    EXPECT_EQ(texture.frameDelay(), 100);
    EXPECT_EQ(texture.byteCount(), 2 * 2 * 2 * 4);
    ASSERT_TRUE(texture.enable());
    std::vector<std::uint8_t> bytes(2 * 2 * 2 * 4);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    texture.disable();
    // Frame 0 starts with red, frame 1 with white.
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[16 + 0], 255);
    EXPECT_EQ(bytes[16 + 1], 255);
    EXPECT_EQ(bytes[16 + 2], 255);
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(TextureCubeGL, PanoramaFacesMatchTheCpuConversion) {
    QTemporaryDir dir;
    QImage panorama(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) panorama.setPixel(x, y, qRgb(x * 16, y * 32, (x + y) * 8));
    const std::string path = gltest::savePng(dir, "pano.png", panorama);
    qel::TextureCube cube(path, 3, false);
    ASSERT_EQ(cube.path(), path);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(cube.getData(bytes));
    ASSERT_EQ(bytes.size(), 6u * 3 * 3 * 3);
    for (int f = 0; f < 6; ++f) {
        const QImage face = qel::panoramaFace(panorama, f, 3, QImage::Format_RGB888);
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) {
                const std::size_t k = std::size_t(f * 27 + (j * 3 + i) * 3);
                ASSERT_EQ(bytes[k], qRed(face.pixel(i, j))) << f << " " << i << " " << j;
                ASSERT_EQ(bytes[k + 2], qBlue(face.pixel(i, j)));
            }
    }
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
}

TEST(TextureCubeGL, VanishedPanoramaGivesEmptyFacesAndTheFailureFlag) {
    QTemporaryDir dir;
    QImage panorama(4, 2, QImage::Format_RGB32);
    panorama.fill(qRgb(1, 2, 3));
    const std::string path = gltest::savePng(dir, "gone.png", panorama);
    qel::TextureCube cube(path, 4, false);
    ASSERT_FALSE(cube.loadError());
    ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
    EXPECT_TRUE(cube.enable());
    cube.disable();
    EXPECT_TRUE(cube.loadError());
}

TEST(TextureCubeGL, OddEdgeRGBDataRoundTripsTightlyPacked) {
    qel::TextureCube cube(3, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    std::vector<std::uint8_t> data(6 * 3 * 3 * 3);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i % 251);
    cube.setData(data.data(), int(data.size()));
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(cube.getData(bytes));
    EXPECT_EQ(bytes, data);

    qel::TextureCubeArray array(3, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    EXPECT_TRUE(array.set(1, &cube));
    EXPECT_FALSE(array.set(2, data)) << "layer outside the array";
    EXPECT_FALSE(array.set(0, std::vector<std::uint8_t>(10))) << "too few bytes";
    ASSERT_TRUE(array.enable());
    std::vector<std::uint8_t> all(2 * data.size());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(GL_TEXTURE_CUBE_MAP_ARRAY, 0, GL_RGB, GL_UNSIGNED_BYTE, all.data());
    array.disable();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), all.begin() + std::ptrdiff_t(data.size())));
    EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture2DArrayGL, LoadsAListOfFilesAndScalesEachLayer) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Textures"));
    QImage red(4, 4, QImage::Format_RGB32), blue(2, 6, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    blue.fill(qRgb(0, 0, 255));
    red.save(dir.filePath("Textures/red.png"));
    blue.save(dir.filePath("Textures/blue.png"));
    {
        QFile list(dir.filePath("Textures/layers.txt"));
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write("# a comment\r\nred.png\r\n\r\nmissing.png\nblue.png\n");
    }
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    qel::Texture2DArray array(2, 7, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    const bool listed = array.loadFiles("layers.txt", true);
    EXPECT_FALSE(array.loadFiles("no_list.txt", true));
    const bool compiled = array.compile();
    QDir::setCurrent(previous);
    ASSERT_TRUE(listed);
    ASSERT_TRUE(compiled);
    ASSERT_EQ(array.files().size(), 2u);
    EXPECT_EQ(array.files()[0], "Textures/red.png");
    EXPECT_EQ(array.depth(), 2);
    EXPECT_EQ(array.width(), 2);
    ASSERT_TRUE(array.enable());
    std::vector<std::uint8_t> bytes(2 * 2 * 2 * 3);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl->glGetTexImage(GL_TEXTURE_2D_ARRAY, 0, GL_RGB, GL_UNSIGNED_BYTE, bytes.data());
    array.disable();
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[12], 0);
    EXPECT_EQ(bytes[14], 255);
}
