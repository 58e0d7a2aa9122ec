#include "gl/panorama.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

namespace {

// A panorama whose four quarters of columns have distinct colours.
QImage quarters(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, colours[4 * x / w]);
    return image;
}

QRgb centre(const QImage& face) { return face.pixel(face.width() / 2, face.height() / 2); }

}  // namespace

TEST(Panorama, UniformPanoramaGivesUniformFaces) {
    QImage uniform(7, 5, QImage::Format_ARGB32);
    uniform.fill(qRgba(12, 34, 56, 200));
    for (int f = 0; f < 6; ++f) {
        const QImage face = qel::panoramaFace(uniform, f, 5, QImage::Format_RGBA8888);
        ASSERT_EQ(face.size(), QSize(5, 5));
        ASSERT_EQ(face.format(), QImage::Format_RGBA8888);
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 5; ++i) ASSERT_EQ(face.pixel(i, j), qRgba(12, 34, 56, 200)) << f;
    }
    const QImage rgb = qel::panoramaFace(uniform, 0, 3, QImage::Format_RGB888);
    EXPECT_EQ(rgb.format(), QImage::Format_RGB888);
    EXPECT_EQ(rgb.pixel(1, 1), qRgb(12, 34, 56));
}

TEST(Panorama, HorizontalFacesLookAtTheirQuarterOfTheColumns) {
    const QImage panorama = quarters(64, 32);
    // The horizontal faces (+-X, +-Y) look at the middle row of four
    // different quarters of the columns: +Y at column 0, +X at W/4, -Y at
    // W/2 and -X at 3W/4.
    EXPECT_EQ(centre(qel::panoramaFace(panorama, 4, 5, QImage::Format_RGB888)), qRgb(255, 0, 0));
    EXPECT_EQ(centre(qel::panoramaFace(panorama, 1, 5, QImage::Format_RGB888)), qRgb(0, 255, 0));
    EXPECT_EQ(centre(qel::panoramaFace(panorama, 5, 5, QImage::Format_RGB888)), qRgb(0, 0, 255));
    EXPECT_EQ(centre(qel::panoramaFace(panorama, 0, 5, QImage::Format_RGB888)), qRgb(255, 255, 0));
}

TEST(Panorama, PolesStayInsideTheImage) {
    // A one-pixel panorama forces every neighbour index to wrap to 0.
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(qRgb(9, 8, 7));
    for (int f = 0; f < 6; ++f) {
        const QImage face = qel::panoramaFace(dot, f, 4, QImage::Format_RGB888);
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) ASSERT_EQ(face.pixel(i, j), qRgb(9, 8, 7));
    }
    // Faces +Z and -Z hold the poles: the top and the bottom rows.
    QImage poles(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) poles.setPixel(x, y, y < 4 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage up = qel::panoramaFace(poles, 3, 4, QImage::Format_RGB888);
    const QImage down = qel::panoramaFace(poles, 2, 4, QImage::Format_RGB888);
    EXPECT_GT(qRed(up.pixel(1, 1)), 200);
    EXPECT_LT(qRed(down.pixel(1, 1)), 60);
    // Rows do not wrap at the poles: every texel of the bottom face (odd size,
    // so one texel looks straight down) stays dark, none picks up the top row.
    const QImage bottom = qel::panoramaFace(poles, 2, 5, QImage::Format_RGB888);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i) EXPECT_LT(qRed(bottom.pixel(i, j)), 60) << i << "," << j;
}

TEST(Panorama, NullInputsGiveNullFaces) {
    EXPECT_TRUE(qel::panoramaFace(QImage(), 0, 4, QImage::Format_RGB888).isNull());
    QImage one(2, 2, QImage::Format_RGB32);
    one.fill(0);
    EXPECT_TRUE(qel::panoramaFace(one, 0, 0, QImage::Format_RGB888).isNull());
}
