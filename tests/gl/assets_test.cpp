// The compiled-in assets of the "icons" bundle: every file is present under
// its resource path, decodes, and has the shape its users rely on.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

// Registers the bundle; the macro declares its initialiser at the enclosing
// scope, so it must be used outside any namespace.
static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace {

class Assets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initIcons(); }
};

// A font image is a grid of 32 x 3 equal cells for the codes 32..127: red 0 is
// background, anything else ink. Space and DEL are empty; every printable
// glyph has ink, and all of it is pure black or full white (no antialiasing
// fringe that the letter shader would turn into ink).
void expectGlyphGrid(const QString& path) {
    SCOPED_TRACE(path.toStdString());
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    ASSERT_GT(image.width(), 0);
    ASSERT_GT(image.height(), 0);
    EXPECT_EQ(image.width() % 32, 0);
    EXPECT_EQ(image.height() % 3, 0);
    const int cw = image.width() / 32, ch = image.height() / 3;
    for (int code = 32; code < 128; ++code) {
        const int gx = ((code - 32) % 32) * cw, gy = ((code - 32) / 32) * ch;
        int ink = 0, grey = 0;
        for (int y = gy; y < gy + ch; ++y)
            for (int x = gx; x < gx + cw; ++x) {
                const int red = qRed(image.pixel(x, y));
                ink += red != 0;
                grey += red != 0 && red != 255;
            }
        EXPECT_EQ(grey, 0) << "code " << code;
        if (code == 32 || code == 127)
            EXPECT_EQ(ink, 0) << "code " << code;
        else
            EXPECT_GT(ink, 0) << "code " << code;
    }
}

// A panorama is equirectangular (2:1); the upper half (sky) is brighter on
// average than the lower half (ground).
void expectPanorama(const QString& path) {
    SCOPED_TRACE(path.toStdString());
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    ASSERT_GT(image.height(), 0);
    EXPECT_EQ(image.width(), 2 * image.height());
    double upper = 0.0, lower = 0.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); x += 4)
            (y < image.height() / 2 ? upper : lower) += qGray(image.pixel(x, y));
    EXPECT_GT(upper, lower);
}

}  // namespace

TEST_F(Assets, FontsAreGlyphGridsOfThirtyTwoByThreeCells) {
    expectGlyphGrid(":/Fonts/font_small.png");
    expectGlyphGrid(":/Fonts/font_large.png");
    const QImage small(":/Fonts/font_small.png"), large(":/Fonts/font_large.png");
    EXPECT_GT(large.width(), small.width());
    EXPECT_GT(large.height(), small.height());
}

TEST_F(Assets, EnvironmentsAreEquirectangularPanoramas) {
    expectPanorama(":/Environments/env_default.jpg");
    expectPanorama(":/Environments/env_dark.jpg");
    const QImage bright(":/Environments/env_default.jpg"), dark(":/Environments/env_dark.jpg");
    ASSERT_FALSE(bright.isNull());
    ASSERT_FALSE(dark.isNull());
    const QImage brightSmall = bright.scaled(8, 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage darkSmall = dark.scaled(8, 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double brightSum = 0.0, darkSum = 0.0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            brightSum += qGray(brightSmall.pixel(x, y));
            darkSum += qGray(darkSmall.pixel(x, y));
        }
    EXPECT_GT(brightSum, 2.0 * darkSum);
}

TEST_F(Assets, LicenceIsTheGplThree) {
    QFile file(":/License/License.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("Tessilor"));
    EXPECT_TRUE(text.contains("GPL-3.0-or-later"));
    EXPECT_TRUE(text.contains("GNU GENERAL PUBLIC LICENSE"));
    EXPECT_TRUE(text.contains("Version 3, 29 June 2007"));
    EXPECT_TRUE(text.contains("END OF TERMS AND CONDITIONS"));
}
