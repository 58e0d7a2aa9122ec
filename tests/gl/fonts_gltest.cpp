#include "gl/fonts.h"
#include "gl/gl.h"
#include "gl/texture2d.h"
#include "gl_util.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <string>

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
        const int g = static_cast<signed char>(c) - 32;
        if (g <= 0 || g > 95) continue;
        for (int k = 0; k < cw * ch; ++k) {
            const int x = int(std::lround(px)) + k % cw, y = int(std::lround(py)) + k / cw;
            if (qRed(font.pixel((g % 32) * cw + k % cw, (g / 32) * ch + k / cw)) && x >= 0 && x < W && y >= 0 && y < H)
                std::copy(colour.begin(), colour.end(), pixels.begin() + (y * W + x) * 4);
        }
    }
    return pixels;
}

using FontWrite = gltest::GLTest;

}  // namespace

TEST_F(FontWrite, GlyphsLandInTheirCellsInTheColourAsGiven) {
    // A 32 x 3 grid of 7 x 13 cells, every glyph a different scatter of ink
    // (255) on background (0), in grey like the built-in fonts.
    QImage image(32 * 7, 3 * 13, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const unsigned g = unsigned((y / 13) * 32 + x / 7);
            const unsigned h = unsigned(x % 7) * 73856093u ^ unsigned(y % 13) * 19349663u ^ g * 83492791u;
            image.setPixel(x, y, (h >> 7) % 3 == 0 ? 255 : 0);
        }
    QTemporaryDir dir;
    qel::Fonts font(gltest::savePng(dir, "font.png", image)), missing(dir.filePath("missing.png").toStdString());
    ASSERT_EQ(font.cell, qel::vec2(7, 13));
    EXPECT_TRUE(missing.loadError() && missing.cell == qel::vec2(0, 0));
    qel::Texture2D* texture = gltest::rgbaTexture(W, H);
    gltest::Target target(W, H, {texture});
    ASSERT_TRUE(target.ok());
    gl->glDrawBuffer(GL_COLOR_ATTACHMENT0);
    // Pens rounded to whole pixels (either way); spaces and codes outside the
    // grid (a control byte, UTF-8) advance the pen without drawing; nothing
    // is drawn without text, viewport or font.
    const struct {
        std::string text;
        float x, y;
        Bytes colour;
        std::uint8_t before;
        bool drawn;
    } cases[] = {{"A \x01\xC3\xA9\x42~", 10.5f, 20.5f, {10, 200, 30, 128}, 5, true},
                 {"09@Z`\x7f", 0.4f, 2.49f, {1, 2, 250, 7}, 0, true},
                 {"    ", 1, 20, {255, 255, 255, 255}, 0, true},
                 {"", 0, 0, {255, 255, 255, 255}, 3, true},
                 {"AB", 0, 0, {255, 255, 255, 255}, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        gl->glClearColor(c.before / 255.0f, c.before / 255.0f, c.before / 255.0f, c.before / 255.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        const qel::bvec4 colour(c.colour[0], c.colour[1], c.colour[2], c.colour[3]);
        if (c.drawn) {
            font.write(c.text, qel::vec2(c.x, c.y), qel::vec2(W, H), colour);
        } else {
            font.write(c.text, qel::vec2(c.x, c.y), qel::vec2(0, 0), colour);
            missing.write(c.text, qel::vec2(c.x, c.y), qel::vec2(W, H), colour);
        }
        EXPECT_EQ(gltest::readRGBA8(texture->name(), W, H),
                  expectedText(image, c.drawn ? c.text : "", c.x, c.y, c.colour, c.before));
    }
}
