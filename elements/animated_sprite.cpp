#include "elements/animated_sprite.h"

#include "elements/sprite_common.h"
#include "gl/buffer.h"
#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shader.h"
#include "gl/shaders.h"
#include "gl/texture3d.h"

namespace qel {

AnimatedSprite::AnimatedSprite() : Element(TType::AnimatedSprite) {}

AnimatedSprite::AnimatedSprite(const std::string& path, bool relative) : Element(TType::AnimatedSprite) {
    setImage(prefixedPath(path, relative, TexturesFolder));
}

AnimatedSprite::AnimatedSprite(buffer& b) : Element(TType::AnimatedSprite) { readRecord(b); }

AnimatedSprite::~AnimatedSprite() { dropImage(); }

void AnimatedSprite::init() {
    // The holders' references and the file id stay: they belong to the
    // holders, not to the sprite's content.
    Element::init();
    transparent = 0;
    type = TType::AnimatedSprite;
    dropImage();
}

void AnimatedSprite::setImage(const std::string& path) {
    texture_ = sprite::budgetedTexture<Texture3D>(path);
    path_ = path;
}

void AnimatedSprite::dropImage() {
    texture_.reset();
    path_.clear();
}

bool AnimatedSprite::hasImage() const {
    return texture_ && !texture_->loadError() && texture_->width() > 0 && texture_->depth() > 0;
}

bool AnimatedSprite::buildVBO() { return GLQuad::buildVBO(); }

bool AnimatedSprite::enableVBO() { return GLQuad::enableVBO(); }

void AnimatedSprite::disableVBO() { GLQuad::disableVBO(); }

bool AnimatedSprite::renderBegin() {
    if (!gl || !ShaderAnimatedSprite || !ShaderAnimatedSprite->enable()) return false;
    if (!hasImage() || !texture_->enable()) return false;
    if (!enableVBO()) {
        texture_->disable();
        return false;
    }
    return true;
}

void AnimatedSprite::renderEnd() {
    disableVBO();
    if (texture_) texture_->disable();
}

bool AnimatedSprite::animate(bool, double) { return texture_ && texture_->depth() > 1; }

int AnimatedSprite::frameAt(double time) const {
    if (!texture_) return 0;
    return sprite::animationLayer(time, texture_->frameDelay(), texture_->depth());
}

void AnimatedSprite::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material,
                            TColorLight colorLight, float time, bool end) {
    if (!renderBegin()) return;
    sprite::setUniforms(objectId, itemId, m * localMatrix(), material, colorLight, texture_->unit());
    Shader::setUniform("Time", sprite::layerCentre(frameAt(time), texture_->depth()));
    gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    gl->glGetError();
    if (end) renderEnd();
}

vec2 AnimatedSprite::dimensions() const {
    return texture_ ? sprite::dimensions(texture_->width(), texture_->height()) : vec2(0, 0);
}

mat4 AnimatedSprite::localMatrix() const { return sprite::quadMatrix(dimensions()); }

void AnimatedSprite::DataWrite(buffer& b) {
    buffer body;
    if (texture_) writeTextureRecord(body, Texture3D::RecordTag, path_);
    b.writeRecord(RecordTag, body);
}

void AnimatedSprite::DataRead(buffer& b) { readRecord(b); }

bool AnimatedSprite::readRecord(buffer& b) {
    dropImage();
    switch (sprite::openBody(b, Texture3D::RecordTag)) {
        case sprite::TBody::Empty:
            return true;
        case sprite::TBody::Texture:
            setImage(sprite::recordPath(b));
            return true;
        case sprite::TBody::Damaged:
            break;
    }
    return false;
}

bool AnimatedSprite::load(const std::string& path) {
    setImage(path);
    return hasImage();
}

}  // namespace qel
