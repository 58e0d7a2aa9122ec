#include "gl/panorama.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

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
    EXPECT_EQ(rgba.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(rgba.pixel(2, 0), qRgba(9, 8, 7, 200));
    EXPECT_TRUE(qel::panoramaFace(dot, 0, 0, QImage::Format_RGB888).isNull()) << "no face of edge 0";
    // Faces +Z and -Z hold the poles: the top and the bottom rows.
    QImage poles(8, 8, QImage::Format_RGB32);
    for (int p = 0; p < 64; ++p) poles.setPixel(p % 8, p / 8, p < 32 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    EXPECT_GT(qRed(qel::panoramaFace(poles, 3, 4, QImage::Format_RGB888).pixel(1, 1)), 200);
    // Rows do not wrap at the poles: every texel of the bottom face (odd size,
    // so one texel looks straight down) stays dark, none picks up the top row.
    forFace(poles, 2, 5, [](QRgb p, int i, int j) { EXPECT_LT(qRed(p), 60) << i << "," << j; });
}
