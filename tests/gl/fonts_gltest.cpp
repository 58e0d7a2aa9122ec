#include "gl/fbo.h"
#include "gl/fonts.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int W = 96;
constexpr int H = 48;

// A 32 x 3 grid of 7 x 13 cells, every glyph a different scatter of ink (255)
// on background (0), in grey like the built-in fonts.
QImage scatterFont() {
    QImage image(32 * 7, 3 * 13, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int g = (y / 13) * 32 + x / 7;
            const unsigned h = unsigned(x % 7) * 73856093u ^ unsigned(y % 13) * 19349663u ^ unsigned(g) * 83492791u;
            image.setPixel(x, y, (h >> 7) % 3 == 0 ? 255 : 0);
        }
    }
    return image;
}

// The framebuffer a write should leave: `before` everywhere, the colour on
// the ink of each glyph's cell placed at its pen (rows of the cell from the
// image's top row upward from the pen).
Bytes expectedText(const QImage& font, const std::string& text, double px, double py, const Bytes& colour,
                   std::uint8_t before) {
    Bytes pixels(std::size_t(W) * H * 4, before);
    const int cw = font.width() / 32, ch = font.height() / 3;
    for (char c : text) {
        px += cw;
        const int code = static_cast<signed char>(c);
        if (code <= 32 || code > 127) continue;
        const int g = code - 32, left = int(std::lround(px)), bottom = int(std::lround(py));
        for (int j = 0; j < ch; ++j) {
            for (int i = 0; i < cw; ++i) {
                if (qRed(font.pixel((g % 32) * cw + i, (g / 32) * ch + j)) == 0) continue;
                const int x = left + i, y = bottom + j;
                if (x < 0 || x >= W || y < 0 || y >= H) continue;
                for (int k = 0; k < 4; ++k) pixels[std::size_t((y * W + x) * 4 + k)] = colour[std::size_t(k)];
            }
        }
    }
    return pixels;
}

class FontWrite : public testing::Test {
protected:
    void SetUp() override {
        gltest::useShaderResources();
        ASSERT_TRUE(dir_.isValid());
        image_ = scatterFont();
        font_.reset(new qel::Fonts(gltest::savePng(dir_, "font.png", image_)));
        target_ = fbo_.addTexture(
            new qel::Texture2D(W, H, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_NEAREST));
        ASSERT_TRUE(fbo_.enable());
        gl->glDrawBuffer(GL_COLOR_ATTACHMENT0);
        gl->glViewport(0, 0, W, H);
        gl->glDisable(GL_DEPTH_TEST);
        gl->glDisable(GL_STENCIL_TEST);
        gl->glDisable(GL_BLEND);
        clear(0);
    }
    void TearDown() override {
        fbo_.disable();
        EXPECT_EQ(qel::Texture::GLActiveTexture, 0);
        EXPECT_EQ(gl->glGetError(), GLenum(GL_NO_ERROR));
    }
    void clear(std::uint8_t v) {
        gl->glClearColor(v / 255.0f, v / 255.0f, v / 255.0f, v / 255.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    Bytes pixels() { return gltest::readRGBA8(target_->name(), W, H); }
    void write(const std::string& text, float x, float y, const Bytes& c) {
        font_->write(text, qel::vec2(x, y), qel::vec2(W, H), qel::bvec4(c[0], c[1], c[2], c[3]));
    }

    QTemporaryDir dir_;
    QImage image_;
    std::unique_ptr<qel::Fonts> font_;
    qel::FBO fbo_{qel::FBO::NoDepth, W, H, 0};
    qel::Texture2D* target_ = nullptr;
};

}  // namespace

TEST(FontCell, IsTheImageSplitIntoThirtyTwoByThree) {
    initIcons();
    qel::Fonts small(":/Fonts/font_small.png");
    EXPECT_EQ(small.cell, qel::vec2(8, 16));
    qel::Fonts large(":/Fonts/font_large.png");
    EXPECT_EQ(large.cell, qel::vec2(12, 24));
    qel::Fonts missing("no/such/font.png");
    EXPECT_TRUE(missing.loadError());
    EXPECT_EQ(missing.cell, qel::vec2(0, 0));
}

TEST(FontCell, BuiltInFontsHoldTheirGlyphsInGridOrder) {
    initIcons();
    // Row 0 (the image's top row of cells) starts with the blank space and
    // holds the digits; every code from 33 to 126 has ink.
    const QImage image(":/Fonts/font_small.png");
    ASSERT_FALSE(image.isNull());
    const int cw = image.width() / 32, ch = image.height() / 3;
    const auto ink = [&](int code) {
        int n = 0;
        const int g = code - 32;
        for (int j = 0; j < ch; ++j)
            for (int i = 0; i < cw; ++i) {
                const int v = qRed(image.pixel((g % 32) * cw + i, (g / 32) * ch + j));
                EXPECT_TRUE(v == 0 || v == 255) << "code " << code;
                n += v != 0;
            }
        return n;
    };
    EXPECT_EQ(ink(' '), 0);
    for (int code = 33; code < 127; ++code) EXPECT_GT(ink(code), 0) << "code " << code;
    // '1' is narrower than '8', '.' smaller than 'W': the cells are not shifted.
    EXPECT_LT(ink('.'), ink('W'));
    EXPECT_LT(ink('1'), ink('8'));
}

TEST_F(FontWrite, LetterLandsOneCellRightOfThePenInItsCell) {
    ASSERT_EQ(font_->cell, qel::vec2(7, 13));
    const Bytes red = {255, 0, 0, 255};
    write("A", 10, 20, red);
    EXPECT_EQ(pixels(), expectedText(image_, "A", 10, 20, red, 0));
}

TEST_F(FontWrite, SpacesAdvanceThePenWithoutDrawing) {
    const Bytes colour = {10, 200, 30, 128};
    write("A B", 1, 3, colour);
    const Bytes got = pixels();
    EXPECT_EQ(got, expectedText(image_, "A B", 1, 3, colour, 0));
    // The gap: the cell after A stays empty.
    for (int y = 3; y < 16; ++y)
        for (int x = 15; x < 22; ++x) EXPECT_EQ(got[std::size_t((y * W + x) * 4 + 3)], 0) << x << "," << y;
    write("    ", 1, 20, colour);
    EXPECT_EQ(pixels(), got);
}

TEST_F(FontWrite, DrawsOverWhatIsThereInTheColourAsGiven) {
    clear(5);
    const Bytes colour = {1, 2, 250, 7};
    const std::string all = "09@Z`~\x7f";
    write(all, 0, 2, colour);
    EXPECT_EQ(pixels(), expectedText(image_, all, 0, 2, colour, 5));
}

TEST_F(FontWrite, PenPositionsAreRoundedToWholePixels) {
    const Bytes white = {255, 255, 255, 255};
    write("Hi", 10.5f, 20.5f, white);
    EXPECT_EQ(pixels(), expectedText(image_, "Hi", 10.5, 20.5, white, 0));
    clear(0);
    write("Hi", 10.4f, 20.49f, white);
    EXPECT_EQ(pixels(), expectedText(image_, "Hi", 10.0, 20.0, white, 0));
}

TEST_F(FontWrite, CodesOutsideTheGridAreSkipped) {
    const Bytes white = {255, 255, 255, 255};
    const std::string text = std::string("a\x01") + "\xC3\xA9" + "b";
    write(text, 0, 0, white);
    EXPECT_EQ(pixels(), expectedText(image_, "a   b", 0, 0, white, 0));
}

TEST_F(FontWrite, NothingIsDrawnWithoutTextFontOrViewport) {
    const Bytes white = {255, 255, 255, 255};
    write("", 0, 0, white);
    font_->write("A", qel::vec2(0, 0), qel::vec2(0, 0), qel::bvec4(255, 255, 255, 255));
    qel::Fonts missing(dir_.filePath("missing.png").toStdString());
    missing.write("ABC", qel::vec2(0, 0), qel::vec2(W, H), qel::bvec4(255, 255, 255, 255));
    EXPECT_EQ(pixels(), Bytes(std::size_t(W) * H * 4, 0));
}
