#include "gl/filters.h"

#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"

#include <functional>
#include <string>

namespace qel {

namespace {

// The protocol shared by the passes: enable the program and the sources,
// choose the destination, set the projection and the samplers, then the
// pass's own uniforms, draw the square and disable everything in reverse.
bool runPass(Shader* program, const std::vector<Texture2D*>& sources, const std::vector<std::string>& samplers,
             Texture2D* dst, const std::function<void()>& uniforms) {
    for (Texture2D* source : sources)
        if (!source) return false;
    // A destination that no framebuffer attached has no draw buffer to name.
    if (dst && dst->colourAttachment() < 0) return false;
    GLAtomList list{program};
    for (Texture2D* source : sources) list.add(source);
    if (!list.enable()) return false;
    if (dst) gl->glDrawBuffer(GLenum(dst->colourAttachment()));
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    for (std::size_t i = 0; i < sources.size(); ++i) Shader::setUniform(samplers[i].c_str(), sources[i]->unit());
    if (uniforms) uniforms();
    GLQuad::fill(true);
    list.disable();
    return true;
}

}  // namespace

bool GLMirrorVertical(Texture2D* src, Texture2D* dst) {
    return runPass(ShaderMirrorVertical, {src}, {"Image"}, dst, nullptr);
}

bool GLThreshold(Texture2D* src, vec4 value, Texture2D* dst) {
    return runPass(ShaderFilterThreshold, {src}, {"Image"}, dst, [&] { Shader::setUniform("value", value); });
}

bool GLAdd(Texture2D* src, vec4 value, Texture2D* dst) {
    return runPass(ShaderFilterAdd, {src}, {"Image"}, dst, [&] { Shader::setUniform("value", value); });
}

bool GLAdd(const std::vector<Texture2D*>& srcs, Texture2D* dst) {
    Shader* program = srcs.size() == 2 ? ShaderFilterAdd2 : srcs.size() == 3 ? ShaderFilterAdd3 : nullptr;
    if (!program) return false;
    std::vector<std::string> samplers;
    for (std::size_t i = 0; i < srcs.size(); ++i) samplers.push_back("Image" + std::to_string(i));
    return runPass(program, srcs, samplers, dst, nullptr);
}

bool GLAddMipMaps(const std::vector<Texture2D*>& srcs, int levels, Texture2D* dst) {
    Shader* program = srcs.size() == 2 ? ShaderFilterAdd2MipMaps : srcs.size() == 1 ? ShaderFilterAddMipMaps : nullptr;
    if (!program) return false;
    std::vector<std::string> samplers;
    for (std::size_t i = 0; i < srcs.size(); ++i) samplers.push_back("Image" + std::to_string(i));
    return runPass(program, srcs, samplers, dst, [&] { Shader::setUniform("Levels", levels); });
}

bool GLChroma(Texture2D* src, Texture2D* dst, bvec4 colour, float s, vec2 centre) {
    return runPass(ShaderFilterChroma, {src}, {"Image"}, dst, [&] {
        Shader::setUniform("center", centre);
        Shader::setUniform("scale", 2.0f - s);
        Shader::setUniform("chroma", colour);
    });
}

namespace {

Shader* blurProgram(const Texture2D* a) {
    const bool floating = a->type() == GL_FLOAT || a->type() == GL_HALF_FLOAT;
    if (floating && a->format() == GL_RGB) return ShaderFilterBlurVec3;
    if (floating && a->format() == GL_RED) return ShaderFilterBlurFloat;
    return ShaderFilterBlur;
}

// One direction of a blur pass: samples `from`, draws into `to`.
bool blurInto(Texture2D* from, Texture2D* to, vec2 delta) {
    gl->glDrawBuffer(GLenum(to->colourAttachment()));
    const int unit = from->unit();
    if (unit < 0) return false;
    Shader::setUniform("Image", unit);
    Shader::setUniform("delta", delta);
    GLQuad::fill(true);
    from->disable();
    return true;
}

}  // namespace

bool GLBlur(Texture2D* a, Texture2D* b, int passes) {
    if (!a || !b || a->colourAttachment() < 0 || b->colourAttachment() < 0) return false;
    Shader* program = blurProgram(a);
    if (!program->enable()) return false;
    Shader::setUniform("ProjectionModelViewMatrix", Ortho01);
    const vec2 horizontal(1.0f / float(a->width()), 0.0f);
    const vec2 vertical(0.0f, 1.0f / float(a->height()));
    for (int pass = 0; pass < passes; ++pass) {
        if (!blurInto(a, b, horizontal) || !blurInto(b, a, vertical)) return false;
    }
    program->disable();
    return true;
}

}  // namespace qel
