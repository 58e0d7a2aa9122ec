#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <memory>

#include "gl/gl.h"
#include "gl/panorama.h"
#include "gl/texture2d.h"
#include "gl/texture2darray.h"
#include "gl/texture3d.h"
#include "gl/texturecube.h"
#include "gl_util.h"

namespace {

using gltest::Bytes;
using Textures = gltest::GLTest;

std::unique_ptr<qel::Texture2D> smallRGBA() { return std::unique_ptr<qel::Texture2D>(gltest::rgbaTexture(2, 2)); }

GLuint boundTexture2D(int unit) {
    gl->glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    return GLuint(gltest::glInteger(GL_TEXTURE_BINDING_2D));
}

}  // namespace

TEST_F(Textures, UnitsAreHandedOutAndReturnedAsAStack) {
    std::unique_ptr<qel::Texture2D> t[3] = {smallRGBA(), smallRGBA(), smallRGBA()};
    ASSERT_TRUE(t[0]->enable() && t[1]->enable() && t[2]->enable());
    EXPECT_EQ(t[1]->unit(), 1) << "an enabled texture keeps its unit";
    EXPECT_EQ(qel::Texture::GLActiveTexture, 3);
    // Compiling one texture must not unbind the others.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(boundTexture2D(i), t[i]->name()) << i;
    for (int i = 2; i >= 0; --i) t[i]->disable();
    EXPECT_EQ(boundTexture2D(0), 0u);
    t[0]->disable();
    EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
    // Release and destruction give the unit and the name back.
    ASSERT_TRUE(t[0]->enable());
    const GLuint name = t[0]->name();
    t[0]->release();
    EXPECT_FALSE(t[0]->isCompiled() || gl->glIsTexture(name) || qel::Texture::GLActiveTexture != 0);
    ASSERT_TRUE(smallRGBA()->enable());
}

TEST_F(Textures, UploadsOddRowsAndReusesTheNameWhileMissingOrShortDataLeavesEmptyStorage) {
    QTemporaryDir dir;
    QImage image(3, 2, QImage::Format_RGB888);
    for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, qRgb(10 * (i % 3) + 1, 100 + i / 3, 7));
    qel::Texture2D texture(gltest::savePng(dir, "odd.png", image), false);
    ASSERT_TRUE(texture.enable());
    texture.disable();
    EXPECT_TRUE(texture.pixels().empty()) << "the CPU copy is dropped after the upload";
    const Bytes rgba = gltest::readRGBA8(texture.name(), 3, 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Bytes(rgba.begin() + 4 * i, rgba.begin() + 4 * i + 4),
                  (Bytes{std::uint8_t(10 * (i % 3) + 1), std::uint8_t(100 + i / 3), 7, 255}));
    // New data after the upload: compiled again under the same name.
    const GLuint name = texture.name();
    const Bytes bytes(24, 200);
    texture.setData(bytes.data(), int(bytes.size()));
    EXPECT_FALSE(texture.isCompiled());
    ASSERT_TRUE(texture.id() != 0u && texture.name() == name);
    EXPECT_EQ(gltest::readRGBA8(name, 3, 2)[0], 200);

    qel::Texture2D missing("does/not/exist.png", true);
    EXPECT_TRUE(missing.loadError() && missing.id() != 0);
    auto shortData = smallRGBA();
    shortData->setData(bytes.data(), 10);  // too short for the size: not uploaded
    EXPECT_NE(shortData->id(), 0u);
    qel::Texture2D mipped(8, 5, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR);
    EXPECT_TRUE(mipped.generateMipMaps() == 4 && mipped.filter() == GLenum(GL_LINEAR));
}

TEST_F(Textures, GifFramesBecomeDepthLayers) {
    // Two frames of 2 x 2 (palette red, green, blue, white; frame 0 is 0 1 /
    // 2 3, frame 1 is 3 2 / 1 0, rows top first) and a 100 ms delay.
    const Bytes gif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0xFF, 0x00,
                       0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x00, 0x0A,
                       0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x03,
                       0x44, 0xA8, 0x15, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
                       0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x03, 0x9C, 0x18, 0x14, 0x00, 0x3B};
    QTemporaryDir dir;
    qel::Texture3D texture(gltest::saveBytes(dir, "anim.gif", gif), false);
    ASSERT_FALSE(texture.loadError());
    EXPECT_TRUE(texture.depth() == 2 && texture.frameDelay() == 100 && texture.byteCount() == 2 * 2 * 2 * 4);
    ASSERT_TRUE(texture.enable());
    const Bytes bytes = gltest::readBound(GL_TEXTURE_3D, GL_RGBA, 2 * 2 * 2 * 4);
    texture.disable();
    // Frame 0 starts with red, frame 1 with white.
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 3), (Bytes{255, 0, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 19), (Bytes{255, 255, 255}));
}

TEST_F(Textures, CubeFacesMatchTheCpuConversionAndAVanishedPanoramaFails) {
    QTemporaryDir dir;
    QImage panorama(16, 8, QImage::Format_RGB32);
    for (int p = 0; p < 16 * 8; ++p) panorama.setPixel(p % 16, p / 16, qRgb(p % 16 * 16, p / 16 * 32, p % 16 + p / 16));
    const std::string path = gltest::savePng(dir, "pano.png", panorama);
    Bytes bytes, expected;
    ASSERT_TRUE(qel::TextureCube(path, 3, false).getData(bytes));
    for (int f = 0; f < 6; ++f) {
        const QImage face = qel::panoramaFace(panorama, f, 3, QImage::Format_RGB888);
        for (int k = 0; k < 9; ++k) {
            const QRgb p = face.pixel(k % 3, k / 3);
            expected.insert(expected.end(), {std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)), std::uint8_t(qBlue(p))});
        }
    }
    EXPECT_EQ(bytes, expected);
    // The panorama vanishes before the upload: empty faces, the failure flag.
    qel::TextureCube gone(path, 4, false);
    ASSERT_FALSE(gone.loadError());
    ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
    EXPECT_TRUE(gone.enable());
    gone.disable();
    EXPECT_TRUE(gone.loadError());
}

TEST_F(Textures, ArrayLoadsAListOfFilesAndScalesEachLayer) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Textures"));
    QImage red(4, 4, QImage::Format_RGB32), blue(2, 6, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    blue.fill(qRgb(0, 0, 255));
    gltest::savePng(dir, "Textures/red.png", red);
    gltest::savePng(dir, "Textures/blue.png", blue);
    const std::string list = "# a comment\r\nred.png\r\n\r\nmissing.png\nblue.png\n";
    gltest::saveBytes(dir, "Textures/layers.txt", Bytes(list.begin(), list.end()));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    qel::Texture2DArray array(2, 7, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST);
    const bool listed = array.loadFiles("layers.txt", true), unlisted = array.loadFiles("no_list.txt", true);
    const bool compiled = array.compile();
    QDir::setCurrent(previous);
    ASSERT_TRUE(listed && !unlisted && compiled && array.depth() == 2);
    EXPECT_EQ(array.files(), (std::vector<std::string>{"Textures/red.png", "Textures/blue.png"}));
    ASSERT_TRUE(array.enable());
    const Bytes bytes = gltest::readBound(GL_TEXTURE_2D_ARRAY, GL_RGB, 2 * 2 * 2 * 3);
    array.disable();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 3), (Bytes{255, 0, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 15), (Bytes{0, 0, 255}));
}
