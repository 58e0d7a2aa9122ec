#include "view/id_reader.h"

#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/texture2d.h"

namespace qel {

namespace {

// The read buffer of the target's colour attachment.
void readFrom(const Texture2D* target) { gl->glReadBuffer(GLenum(target->colourAttachment())); }

}  // namespace

bool GLIdReader::enable(TTarget target) {
    FBOScene* fbo = targets_[std::size_t(target)];
    if (!fbo || !gl || !fbo->enable()) return false;
    current_ = fbo;
    gl->glGetIntegerv(GL_PACK_ALIGNMENT, &alignment_);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
    return true;
}

void GLIdReader::disable(TTarget target) {
    FBOScene* fbo = targets_[std::size_t(target)];
    if (!fbo || fbo != current_) return;
    gl->glPixelStorei(GL_PACK_ALIGNMENT, alignment_);
    fbo->disable();
    current_ = nullptr;
}

std::uint8_t GLIdReader::layer(TTarget target) const {
    const FBOScene* fbo = targets_[std::size_t(target)];
    return fbo ? fbo->layer() : 0;
}

std::uint8_t GLIdReader::stencil(int x, int y) {
    std::uint8_t s = 0;
    if (!current_) return s;
    readFrom(current_->idMaterial);
    gl->glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
    return s;
}

float GLIdReader::depth(int x, int y) {
    float d = 1.0f;
    if (!current_) return d;
    readFrom(current_->idMaterial);
    gl->glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
    return d;
}

std::array<std::uint32_t, 3> GLIdReader::ids(int x, int y) {
    std::array<std::uint32_t, 3> v{0, 0, 0};
    if (!current_) return v;
    readFrom(current_->idMaterial);
    gl->glReadPixels(x, y, 1, 1, GL_RGB_INTEGER, GL_UNSIGNED_INT, v.data());
    return v;
}

vec3 GLIdReader::normal(int x, int y) {
    float v[3] = {0, 0, 0};
    if (!current_) return vec3(0, 0, 0);
    readFrom(current_->normal);
    gl->glReadPixels(x, y, 1, 1, GL_RGB, GL_FLOAT, v);
    return vec3(v[0], v[1], v[2]);
}

std::array<float, 9> GLIdReader::depthBlock(int x, int y) {
    // Pixels outside the framebuffer may be left unwritten: they read as far.
    std::array<float, 9> block;
    block.fill(1.0f);
    if (!current_) return block;
    readFrom(current_->idMaterial);
    gl->glReadPixels(x - 1, y - 1, 3, 3, GL_DEPTH_COMPONENT, GL_FLOAT, block.data());
    return block;
}

}  // namespace qel
