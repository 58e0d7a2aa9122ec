#include "gl/fbo.h"
#include "gl/fonts.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using gltest::Bytes;

constexpr int W = 96;
constexpr int H = 48;

// The framebuffer a write should leave: `before` everywhere, the colour on
// the ink of each glyph's cell placed one cell right of the pen (rows of the
// cell from the image's top row upward from the pen).
Bytes expectedText(const QImage& font, const std::string& text, double px, double py, const Bytes& colour,
                   std::uint8_t before) {
    Bytes pixels(std::size_t(W) * H * 4, before);
    const int cw = font.width() / 32, ch = font.height() / 3;
    for (char c : text) {
        px += cw;
        const int code = static_cast<signed char>(c);
        if (code <= 32 || code > 127) continue;
        for (int j = 0; j < ch; ++j)
            for (int i = 0; i < cw; ++i) {
                const int x = int(std::lround(px)) + i, y = int(std::lround(py)) + j, g = code - 32;
                if (!qRed(font.pixel((g % 32) * cw + i, (g / 32) * ch + j)) || x < 0 || x >= W || y < 0 || y >= H)
                    continue;
                std::copy(colour.begin(), colour.end(), pixels.begin() + (y * W + x) * 4);
            }
    }
    return pixels;
}

class FontWrite : public gltest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        // A 32 x 3 grid of 7 x 13 cells, every glyph a different scatter of
        // ink (255) on background (0), in grey like the built-in fonts.
        image_ = QImage(32 * 7, 3 * 13, QImage::Format_Grayscale8);
        for (int y = 0; y < image_.height(); ++y)
            for (int x = 0; x < image_.width(); ++x) {
                const unsigned g = unsigned((y / 13) * 32 + x / 7);
                const unsigned h = unsigned(x % 7) * 73856093u ^ unsigned(y % 13) * 19349663u ^ g * 83492791u;
                image_.setPixel(x, y, (h >> 7) % 3 == 0 ? 255 : 0);
            }
        font_.reset(new qel::Fonts(gltest::savePng(dir_, "font.png", image_)));
        target_.reset(new gltest::Target(W, H, {texture_}));
        ASSERT_TRUE(target_->ok());
        gl->glDrawBuffer(GL_COLOR_ATTACHMENT0);
    }
    void TearDown() override {
        target_.reset();
        GLTest::TearDown();
    }
    void clear(std::uint8_t v) {
        gl->glClearColor(v / 255.0f, v / 255.0f, v / 255.0f, v / 255.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    Bytes pixels() { return gltest::readRGBA8(texture_->name(), W, H); }

    QTemporaryDir dir_;
    QImage image_;
    std::unique_ptr<qel::Fonts> font_;
    qel::Texture2D* texture_ = gltest::rgbaTexture(W, H);
    std::unique_ptr<gltest::Target> target_;
};

}  // namespace

TEST_F(FontWrite, GlyphsLandInTheirCellsInTheColourAsGiven) {
    ASSERT_EQ(font_->cell, qel::vec2(7, 13));
    // Pens rounded to whole pixels (either way); spaces and codes outside the
    // grid (a control byte, UTF-8) advance the pen without drawing.
    const struct {
        std::string text;
        float x, y;
        Bytes colour;
        std::uint8_t before;
    } cases[] = {{"A \x01\xC3\xA9"
                  "B~",
                  10.5f,
                  20.5f,
                  {10, 200, 30, 128},
                  5},
                 {"09@Z`\x7f", 0.4f, 2.49f, {1, 2, 250, 7}, 0},
                 {"    ", 1, 20, {255, 255, 255, 255}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        clear(c.before);
        font_->write(c.text, qel::vec2(c.x, c.y), qel::vec2(W, H),
                     qel::bvec4(c.colour[0], c.colour[1], c.colour[2], c.colour[3]));
        EXPECT_EQ(pixels(), expectedText(image_, c.text, c.x, c.y, c.colour, c.before));
    }
}

TEST_F(FontWrite, NothingIsDrawnWithoutTextFontOrViewport) {
    clear(0);
    font_->write("", qel::vec2(0, 0), qel::vec2(W, H), qel::bvec4(255, 255, 255, 255));
    font_->write("A", qel::vec2(0, 0), qel::vec2(0, 0), qel::bvec4(255, 255, 255, 255));
    qel::Fonts missing(dir_.filePath("missing.png").toStdString());
    EXPECT_TRUE(missing.loadError());
    EXPECT_EQ(missing.cell, qel::vec2(0, 0));
    missing.write("ABC", qel::vec2(0, 0), qel::vec2(W, H), qel::bvec4(255, 255, 255, 255));
    EXPECT_EQ(pixels(), Bytes(std::size_t(W) * H * 4, 0));
}
