#include "elements/sprite.h"

#include "elements/sprite_common.h"
#include "gl/buffer.h"
#include "gl/gl.h"
#include "gl/glquad.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"

namespace qel {

Sprite::Sprite() : Element(TType::Sprite) {}

Sprite::Sprite(const std::string& path, bool relative) : Element(TType::Sprite) {
    setImage(prefixedPath(path, relative, TexturesFolder));
}

Sprite::Sprite(buffer& b) : Element(TType::Sprite) { readRecord(b); }

Sprite::~Sprite() { dropImage(); }

void Sprite::init() {
    // The holders' references and the file id stay: they belong to the
    // holders, not to the sprite's content.
    Element::init();
    transparent = 0;
    type = TType::Sprite;
    dropImage();
}

void Sprite::setImage(const std::string& path) {
    texture_ = sprite::budgetedTexture<Texture2D>(path);
    path_ = path;
}

void Sprite::dropImage() {
    texture_.reset();
    path_.clear();
}

bool Sprite::hasImage() const { return texture_ && !texture_->loadError() && texture_->width() > 0; }

bool Sprite::buildVBO() { return GLQuad::buildVBO(); }

bool Sprite::enableVBO() { return GLQuad::enableVBO(); }

void Sprite::disableVBO() { GLQuad::disableVBO(); }

bool Sprite::renderBegin() {
    if (!gl || !ShaderSprite || !ShaderSprite->enable()) return false;
    if (!hasImage() || !texture_->enable()) return false;
    if (!enableVBO()) {
        texture_->disable();
        return false;
    }
    return true;
}

void Sprite::renderEnd() {
    disableVBO();
    if (texture_) texture_->disable();
}

void Sprite::render(unsigned objectId, unsigned itemId, const mat4& m, const pbr& material, TColorLight colorLight,
                    float, bool end) {
    if (!renderBegin()) return;
    sprite::setUniforms(objectId, itemId, m * localMatrix(), material, colorLight, texture_->unit());
    gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    gl->glGetError();
    if (end) renderEnd();
}

vec2 Sprite::dimensions() const {
    return texture_ ? sprite::dimensions(texture_->width(), texture_->height()) : vec2(0, 0);
}

mat4 Sprite::localMatrix() const { return sprite::quadMatrix(dimensions()); }

void Sprite::DataWrite(buffer& b) {
    buffer body;
    if (texture_) writeTextureRecord(body, Texture2D::RecordTag, path_);
    b.writeRecord(RecordTag, body);
}

void Sprite::DataRead(buffer& b) { readRecord(b); }

bool Sprite::readRecord(buffer& b) {
    dropImage();
    switch (sprite::openBody(b, Texture2D::RecordTag)) {
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

bool Sprite::load(const std::string& path) {
    setImage(path);
    return hasImage();
}

}  // namespace qel
