#include "gl/inflation_field.h"

#include "core/mat.h"
#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glerror.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qel {

namespace {

Texture2D* fieldTexture(int w, int h) {
    return new Texture2D(w, h, GL_R32F, GL_RED, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_NEAREST);
}

// True when the program is current and linked: a program whose source is
// missing or broken still "enables" but cannot draw.
bool useProgram(Shader* program) {
    if (!program || !program->enable()) return false;
    GLint linked = 0;
    gl->glGetProgramiv(program->program(), GL_LINK_STATUS, &linked);
    return linked != 0;
}

// The blend state found on entry, put back on exit.
struct BlendState {
    GLboolean enabled = GL_FALSE;
    GLint rgb = GL_FUNC_ADD;
    GLint alpha = GL_FUNC_ADD;

    void save() {
        enabled = gl->glIsEnabled(GL_BLEND);
        gl->glGetIntegerv(GL_BLEND_EQUATION_RGB, &rgb);
        gl->glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &alpha);
    }
    void restore() const {
        gl->glBlendEquationSeparate(GLenum(rgb), GLenum(alpha));
        if (enabled)
            gl->glEnable(GL_BLEND);
        else
            gl->glDisable(GL_BLEND);
    }
};

}  // namespace

InflationField::InflationField(int w, int h, float resolution)
    : w_(std::max(w, 0)), h_(std::max(h, 0)), resolution_(resolution), fbo_(FBO::NoDepth, w_, h_, 1) {
    textures_[0] = fbo_.addTexture(fieldTexture(w_, h_));
    textures_[1] = fbo_.addTexture(fieldTexture(w_, h_));
    // The first texture starts at r^2 everywhere: the cap of the distance
    // pass.
    const float r = resolution_ / 2.0f;
    const std::vector<float> initial(std::size_t(w_) * std::size_t(h_), r * r);
    std::vector<std::uint8_t> bytes(initial.size() * sizeof(float));
    if (!bytes.empty()) std::memcpy(bytes.data(), initial.data(), bytes.size());
    textures_[0]->setData(bytes.data(), int(bytes.size()));
}

InflationField::~InflationField() {
    if (gl) fbo_.disable();
    // The framebuffer's destructor releases the framebuffer and both textures.
}

bool InflationField::compute(const std::vector<unsigned char>& fill, unsigned char profile,
                             std::vector<float>& values) {
    if (!gl) return false;
    BlendState blend;
    blend.save();
    glClearErrors();
    const bool ok = runPasses(fill, profile, values);
    // A failed step may leave error flags that would fail the next GPU
    // object's checks.
    glClearErrors();

    fbo_.disable();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    gl->glUseProgram(0);
    Shader::id = 0;
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_DEPTH_TEST);
    gl->glViewport(0, 0, w_, h_);
    blend.restore();
    return ok;
}

bool InflationField::runPasses(const std::vector<unsigned char>& fill, unsigned char profile,
                               std::vector<float>& values) {
    const std::size_t cells = std::size_t(w_) * std::size_t(h_);
    if (cells == 0 || fill.size() != cells || !fbo_.enable()) return false;
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_DEPTH_TEST);
    gl->glViewport(0, 0, w_, h_);
    if (!distancePass(fill, textures_[0], textures_[1])) return false;
    Texture2D* last = textures_[1];
    if (profile >= 1 && profile <= 3) {
        std::vector<float> r2;
        if (!readBack(textures_[1], r2) ||
            !ballPass(fill, profile == 3 ? ShaderChamfer : ShaderSphere, r2, textures_[1], textures_[0]))
            return false;
        last = textures_[0];
    }
    gl->glUseProgram(0);
    Shader::id = 0;
    std::vector<float> result;
    if (!readBack(last, result)) return false;
    values.swap(result);
    return true;
}

bool InflationField::distancePass(const std::vector<unsigned char>& fill, Texture2D* src, Texture2D* dst) {
    std::vector<Stamp> stamps;
    for (int x = 0; x < w_; ++x)
        for (int y = 0; y < h_; ++y)
            if (fill[std::size_t(w_) * std::size_t(y) + std::size_t(x)] >= 2)
                stamps.push_back({float(x) + 0.5f, float(y) + 0.5f, resolution_, 0.0f});
    return stampPass(ShaderParabola, GL_MIN, stamps, src, dst);
}

bool InflationField::ballPass(const std::vector<unsigned char>& fill, Shader* program,
                              const std::vector<float>& r2, Texture2D* src, Texture2D* dst) {
    std::vector<Stamp> stamps;
    for (int x = 0; x < w_; ++x)
        for (int y = 0; y < h_; ++y) {
            const std::size_t i = std::size_t(w_) * std::size_t(y) + std::size_t(x);
            // A ball of radius 0 raises nothing: the field is never negative,
            // so max(R2 - d^2, field) keeps the field.
            if (fill[i] == 0 || !(r2[i] > 0.0f)) continue;
            // Outside its ball a stamp leaves the field as it is, so its
            // square only needs to cover the ball.
            const float side = std::min(resolution_, 2.0f * std::ceil(std::sqrt(r2[i])) + 2.0f);
            stamps.push_back({float(x) + 0.5f, float(y) + 0.5f, side, r2[i]});
        }
    return stampPass(program, GL_MAX, stamps, src, dst);
}

bool InflationField::stampPass(Shader* program, unsigned int equation, const std::vector<Stamp>& stamps,
                               Texture2D* src, Texture2D* dst) {
    gl->glReadBuffer(GLenum(src->colourAttachment()));
    gl->glDrawBuffer(GLenum(dst->colourAttachment()));
    gl->glBlitFramebuffer(0, 0, w_, h_, 0, 0, w_, h_, GL_COLOR_BUFFER_BIT, GL_NEAREST);

    if (!useProgram(program)) return false;
    GLAtomList list{src};
    if (!list.enable()) return false;

    // Grid coordinates: x in [0, W], y in [0, H] fill the viewport.
    const float W = float(w_), H = float(h_);
    const mat4 projection(2.0f / W, 0, 0, -1, 0, 2.0f / H, 0, -1, 0, 0, -2, -1, 0, 0, 0, 1);
    Shader::setUniform("ProjectionModelViewMatrix", projection);
    Shader::setUniform("WH", vec2(1.0f / W, 1.0f / H));
    Shader::setUniform("OldDepth", src->unit());
    const int transform = Shader::uniformLocation("Transform");
    const int centre = Shader::uniformLocation("Center");
    const int radius2 = Shader::uniformLocation("R2");

    gl->glEnable(GL_BLEND);
    gl->glBlendEquation(GLenum(equation));
    bool drawn = true;
    for (const Stamp& s : stamps) {
        const float half = s.side / 2.0f;
        const mat4 t(s.side, 0, 0, s.x - half, 0, s.side, 0, s.y - half, 0, 0, 1, 0, 0, 0, 0, 1);
        gl->glUniformMatrix4fv(transform, 1, GL_FALSE, t.m);
        gl->glUniform2f(centre, s.x, s.y);
        gl->glUniform1f(radius2, s.r2);
        if (!GLQuad::fill(false)) {
            drawn = false;
            break;
        }
    }
    GLQuad::disableVBO();
    gl->glDisable(GL_BLEND);
    list.disable();
    return drawn;
}

bool InflationField::readBack(Texture2D* src, std::vector<float>& values) {
    values.assign(std::size_t(w_) * std::size_t(h_), 0.0f);
    gl->glReadBuffer(GLenum(src->colourAttachment()));
    // Rows of floats are packed without padding up to an alignment of 4.
    GLint alignment = 4;
    gl->glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, w_, h_, GL_RED, GL_FLOAT, values.data());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return gl->glGetError() == GL_NO_ERROR;
}

bool InflationField::Compute(int w, int h, float resolution, const std::vector<unsigned char>& fill,
                             unsigned char profile, std::vector<float>& values) {
    return InflationField(w, h, resolution).compute(fill, profile, values);
}

}  // namespace qel
