// Texture records, panorama faces and image loading on the CPU side (no GL
// context: nothing here enables a texture). Damaged records are replayed from
// the fuzz corpus.

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "gl/panorama.h"
#include "gl/texture2d.h"
#include "gl/texture3d.h"
#include "gl/texturecube.h"
#include "gl_util.h"
#include "gl/buffer.h"

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
    EXPECT_TRUE(tag == qel::Texture2D::RecordTag && length == path.size() + 4);
    qel::Texture2D copy(b);
    EXPECT_TRUE(copy.path() == path && !copy.loadError() && copy.internalFormat() == GLenum(GL_RGB8));
    // Rows as the image stores them: 3 x 3 bytes padded to 12 per row.
    EXPECT_TRUE(copy.byteCount() == 24 && copy.pixels()[13] == 20);
    ASSERT_TRUE(b.readRecordHeader(tag, length) && tag == qel::Texture3D::RecordTag);
    qel::Texture3D animated(b);
    EXPECT_EQ(animated.path(), "Textures/anim/missing.gif");
    EXPECT_TRUE(animated.loadError() && b.atEnd() && !b.failed());
}

TEST(TextureRecord, PathPrefixesAndImageFormats) {
    EXPECT_EQ(qel::Texture2D(":/nowhere/image.png", true).path(), ":/nowhere/image.png");
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

namespace {

// Every texel of the face (of edge n) passes the check.
template <class Check>
void forFace(const QImage& panorama, int face, int n, Check check) {
    const QImage image = qel::panoramaFace(panorama, face, n, QImage::Format_RGB888);
    ASSERT_EQ(image.size(), QSize(n, n));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) check(image.pixel(i, j), i, j);
}

}  // namespace

TEST(Panorama, HorizontalFacesLookAtTheirQuarterOfTheColumns) {
    // +Y looks at column 0, +X at W/4, -Y at W/2 and -X at 3W/4.
    QImage panorama(64, 32, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int p = 0; p < 64 * 32; ++p) panorama.setPixel(p % 64, p / 64, colours[p % 64 / 16]);
    const int faces[4] = {4, 1, 5, 0};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(qel::panoramaFace(panorama, faces[k], 5, QImage::Format_RGB888).pixel(2, 2), colours[k]) << k;
}

TEST(Panorama, PolesStayInsideTheImageAndNullInputsGiveNullFaces) {
    // A one-pixel panorama forces every neighbour index to wrap to 0; a
    // uniform panorama gives uniform faces, in the format asked for.
    EXPECT_TRUE(qel::panoramaFace(QImage(), 0, 4, QImage::Format_RGB888).isNull());
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(qRgba(9, 8, 7, 200));
    for (int f = 0; f < 6; ++f) forFace(dot, f, 4, [](QRgb p, int, int) { ASSERT_EQ(p, qRgb(9, 8, 7)); });
    const QImage rgba = qel::panoramaFace(dot, 5, 3, QImage::Format_RGBA8888);
    EXPECT_TRUE(rgba.format() == QImage::Format_RGBA8888 && rgba.pixel(2, 0) == qRgba(9, 8, 7, 200));
    EXPECT_TRUE(qel::panoramaFace(dot, 0, 0, QImage::Format_RGB888).isNull()) << "no face of edge 0";
    // Faces +Z and -Z hold the poles: the top and the bottom rows.
    QImage poles(8, 8, QImage::Format_RGB32);
    for (int p = 0; p < 64; ++p) poles.setPixel(p % 8, p / 8, p < 32 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    EXPECT_GT(qRed(qel::panoramaFace(poles, 3, 4, QImage::Format_RGB888).pixel(1, 1)), 200);
    // Rows do not wrap at the poles: every texel of the bottom face (odd size,
    // so one texel looks straight down) stays dark, none picks up the top row.
    forFace(poles, 2, 5, [](QRgb p, int i, int j) { EXPECT_LT(qRed(p), 60) << i << "," << j; });
}
