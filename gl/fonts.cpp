#include "gl/fonts.h"

#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"

#include <cmath>

namespace qel {

Fonts* fonts = nullptr;

namespace {

constexpr int Columns = 32;
constexpr int Rows = 3;

// A glyph of the grid: codes 33 .. 127 (the space is never drawn). Bytes of
// 128 and more are negative as signed chars and fall outside.
bool drawable(signed char code) { return code > 32; }

}  // namespace

Fonts::Fonts(const std::string& path)
    : Texture2D(path, false), cell(float(width() / Columns), float(height() / Rows)) {}

void Fonts::write(const std::string& text, const vec2& position, const vec2& viewport, const bvec4& colour) {
    if (text.empty() || !(viewport.x > 0.0f) || !(viewport.y > 0.0f)) return;
    // A font without cells (its image was not read) has nothing to show.
    if (!(cell.x > 0.0f) || !(cell.y > 0.0f)) return;
    GLAtomList list{ShaderDrawLetter, this};
    if (!list.enable()) return;
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    Shader::setUniform("Image", unit());
    Shader::setUniform("color", colour);
    Shader::setUniform("texscale", vec2(1.0f / Columns, 1.0f / Rows));
    Shader::setUniform("scale", vec2(cell.x / viewport.x, cell.y / viewport.y));
    const GLint offsetAt = Shader::uniformLocation("offset");
    const GLint texoffsetAt = Shader::uniformLocation("texoffset");
    vec2 pen = position;
    for (char c : text) {
        pen.x += cell.x;
        const signed char code = static_cast<signed char>(c);
        if (!drawable(code)) continue;
        const int g = code - 32;
        gl->glUniform2f(offsetAt, std::round(pen.x) / viewport.x, std::round(pen.y) / viewport.y);
        gl->glUniform2f(texoffsetAt, float(g % Columns) / Columns, float(g / Columns) / Rows);
        GLFill(false);
    }
    GLQuad::disableVBO();
    list.disable();
}

}  // namespace qel
