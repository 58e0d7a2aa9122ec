// Writing the status text into the frame with the bitmap font. The font is
// made on first use and kept until another one is chosen.

#include "gl/fonts.h"
#include "view/glview.h"
#include "view/status_text.h"

namespace qel {

namespace {

const char* const SmallFont = ":/Fonts/font_small.png";
const char* const LargeFont = ":/Fonts/font_large.png";

// The text's distance from the view's corner, in pixels.
constexpr float Margin = 8.0f;

}  // namespace

void GLView::Text() {
    hudWriter writer{vec2(float(width), float(height)), bvec4(204, 204, 204, 0)};
    for (const StatusPiece& piece : statusText(*this)) {
        writer.colour = piece.colour;
        writeLine(writer, piece.text, piece.newLine);
    }
}

void GLView::writeLine(hudWriter& writer, const std::string& text, bool newLine) {
    if (!fonts) fonts = new Fonts(SmallFont);
    const vec2 position(float(writer.column) * fonts->cell.x + Margin, float(writer.line) * fonts->cell.y + Margin);
    fonts->write(text, position, writer.viewport, writer.colour);
    if (newLine) {
        writer.column = 0;
        ++writer.line;
    } else {
        writer.column += std::int32_t(text.size());
    }
}

void GLView::setFonts(bool large) {
    const std::string wanted = large ? LargeFont : SmallFont;
    if (fonts && fonts->path() == wanted) return;
    delete fonts;
    fonts = new Fonts(wanted);
}

}  // namespace qel
