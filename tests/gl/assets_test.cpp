// The compiled-in assets of the "icons" bundle: every file is present under
// its resource path, decodes, and has the shape its users rely on.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include "gl/resources.h"

namespace {

class Assets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qel::initIconResources(); }
};

}  // namespace

// A font image is a grid of 32 x 3 equal cells for the codes 32..127: red 0 is
// background, anything else ink. Space and DEL are empty; every printable
// glyph has ink, all of it pure black or full white (no antialiasing fringe
// that the letter shader would turn into ink).
TEST_F(Assets, FontsAreGlyphGridsOfThirtyTwoByThreeCells) {
    for (const char* path : {":/Fonts/font_small.png", ":/Fonts/font_large.png"}) {
        SCOPED_TRACE(path);
        const QImage image(path);
        ASSERT_TRUE(!image.isNull() && image.width() % 32 == 0 && image.height() % 3 == 0);
        const int cw = image.width() / 32, ch = image.height() / 3;
        for (int code = 32; code < 128; ++code) {
            int ink = 0, grey = 0;
            for (int k = 0; k < cw * ch; ++k) {
                const int red = qRed(image.pixel(((code - 32) % 32) * cw + k % cw, ((code - 32) / 32) * ch + k / cw));
                ink += red != 0;
                grey += red != 0 && red != 255;
            }
            EXPECT_EQ(grey, 0) << "code " << code;
            EXPECT_EQ(ink > 0, code != 32 && code != 127) << "code " << code;
        }
    }
    EXPECT_GT(QImage(":/Fonts/font_large.png").height(), QImage(":/Fonts/font_small.png").height());
}

TEST_F(Assets, LicenceIsTheGplThree) {
    QFile file(":/License/License.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("Tessilor") && text.contains("GPL-3.0-or-later"));
    EXPECT_TRUE(text.contains("Version 3, 29 June 2007") && text.contains("END OF TERMS AND CONDITIONS"));
}

// The pictures of the menus and toolbars, under the case-sensitive paths the
// form names: 24 x 24 pixels each with something drawn, except the fully
// transparent check-mark stand-in; the window icon is an .ico.
TEST_F(Assets, IconsArePicturesOfTwentyFourPixels) {
    EXPECT_EQ(QDir(":/Icons").entryList(QDir::Files).size(), 64);
    EXPECT_EQ(QDir(":/IconsCreate").entryList(QDir::Files).size(), 17);
    EXPECT_FALSE(QDir(":/icons").exists());
    for (const QString folder : {":/Icons/", ":/IconsCreate/"}) {
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            const QImage image(folder + name);
            ASSERT_FALSE(image.isNull()) << qPrintable(name);
            int drawn = 0;
            for (int k = 0; k < image.width() * image.height(); ++k)
                drawn += qAlpha(image.pixel(k % image.width(), k / image.width())) != 0;
            EXPECT_EQ(drawn == 0, name == "empty.png") << qPrintable(name);
            if (name != "logo.ico") {
                EXPECT_EQ(image.size(), QSize(24, 24)) << qPrintable(name);
            }
        }
    }
    EXPECT_EQ(QImageReader(":/Icons/logo.ico").format(), QByteArray("ico"));
}
#include "gl/resources.h"
