#include "gl/fbo.h"

#include <algorithm>

#include "gl/gl.h"
#include "gl/glerror.h"
#include "gl/texture2d.h"

namespace qel {

namespace {

Texture2D* newDepthTexture(FBO::TDepthStencilType type, int w, int h) {
    if (type == FBO::Depth)
        return new Texture2D(w, h, GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_FLOAT, GL_CLAMP_TO_EDGE, GL_LINEAR);
    return new Texture2D(w, h, GL_DEPTH32F_STENCIL8, GL_DEPTH_STENCIL, GL_FLOAT_32_UNSIGNED_INT_24_8_REV,
                         GL_CLAMP_TO_EDGE, GL_LINEAR);
}

// The 4-channel form of a 3-channel colour format, or 0.
GLenum widerInternal(GLenum internal) {
    switch (internal) {
        case GL_RGB8: return GL_RGBA8;
        case GL_RGB16F: return GL_RGBA16F;
        case GL_RGB32F: return GL_RGBA32F;
        case GL_RGB32UI: return GL_RGBA32UI;
        case GL_RGB16UI: return GL_RGBA16UI;
        case GL_RGB8UI: return GL_RGBA8UI;
        default: return 0;
    }
}

GLenum widerFormat(GLenum format) {
    switch (format) {
        case GL_RGB: return GL_RGBA;
        case GL_RGB_INTEGER: return GL_RGBA_INTEGER;
        default: return format;
    }
}

}  // namespace

FBO::SharedDepth::~SharedDepth() = default;

FBO::FBO(TDepthStencilType type, int w, int h, unsigned char layer)
    : layer_(layer), width_(w), height_(h), type_(type) {
    if (type == Depth || type == DepthStencil) {
        depth_ = std::make_shared<SharedDepth>();
        depth_->texture.reset(newDepthTexture(type, w, h));
        depth_->users.push_back(this);
        textures_.push_back(depth_->texture.get());
    }
}

FBO::FBO(FBO* shared, unsigned char layer)
    : layer_(layer),
      width_(shared ? shared->width_ : 0),
      height_(shared ? shared->height_ : 0),
      type_(shared ? shared->type_ : NoDepth) {
    if (shared && shared->depth_) {
        depth_ = shared->depth_;
    } else if (type_ != NoDepth) {
        depth_ = std::make_shared<SharedDepth>();
        depth_->texture.reset(newDepthTexture(type_, width_, height_));
    }
    if (depth_) {
        depth_->users.push_back(this);
        textures_.push_back(depth_->texture.get());
    }
}

FBO::~FBO() {
    // The colour targets belong to this framebuffer alone; the depth texture
    // is freed by whichever of the framebuffers sharing it goes last, and
    // stays attached to the others.
    if (depth_) {
        std::vector<FBO*>& users = depth_->users;
        users.erase(std::remove(users.begin(), users.end(), this), users.end());
    }
    dropFramebuffer();
    for (Texture2D* texture : textures_)
        if (texture != depthTexture()) delete texture;
    textures_.clear();
    depth_.reset();
}

Texture2D* FBO::addTexture(Texture2D* texture) {
    if (texture) textures_.push_back(texture);
    return texture;
}

bool FBO::enable() {
    if (!compile()) return false;
    gl->glBindFramebuffer(GL_FRAMEBUFFER, name_);
    return true;
}

void FBO::disable() {
    if (compiled_ && gl) gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

bool FBO::attachAll() {
    std::size_t first = 0;
    if (Texture2D* depth = depthTexture(); type_ != NoDepth && depth) {
        if (!depth->compile()) return false;
        const GLenum point = type_ == DepthStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        gl->glFramebufferTexture2D(GL_FRAMEBUFFER, point, GL_TEXTURE_2D, depth->id(), 0);
        first = 1;
    }
    for (std::size_t i = first; i < textures_.size(); ++i) {
        Texture2D* target = textures_[i];
        if (!target->compile()) return false;
        const GLenum attachment = GL_COLOR_ATTACHMENT0 + GLenum(i - first);
        target->setColourAttachment(int(attachment));
        gl->glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, target->id(), 0);
    }
    return true;
}

bool FBO::widenColourTargets() {
    bool changed = false;
    for (Texture2D* texture : textures_) {
        if (texture == depthTexture()) continue;
        const GLenum wider = widerInternal(texture->internalFormat());
        if (!wider) continue;
        texture->setFormat(wider, widerFormat(texture->format()), texture->type());
        changed = true;
    }
    return changed;
}

bool FBO::compile() {
    if (compiled_) return true;
    if (!gl) return false;
    glClearErrors();
    gl->glGenFramebuffers(1, &name_);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, name_);
    bool attached = attachAll();
    GLenum status = attached ? gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) : GLenum(0);
    // A driver may refuse 3-channel colour targets; their 4-channel forms
    // hold the same values.
    if (status == GL_FRAMEBUFFER_UNSUPPORTED && widenColourTargets()) {
        attached = attachAll();
        status = attached ? gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) : GLenum(0);
    }
    compiled_ = status == GL_FRAMEBUFFER_COMPLETE;
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!compiled_) {
        // Each retry starts from a fresh name: the failed one is not kept.
        gl->glDeleteFramebuffers(1, &name_);
        name_ = 0;
        glReportError(attached ? "ERROR FBO::compile" : "ERROR FBO::compile (a texture cannot be created)");
        return false;
    }
    return true;
}

void FBO::dropFramebuffer() {
    if (name_ && gl) gl->glDeleteFramebuffers(1, &name_);
    name_ = 0;
    compiled_ = false;
}

void FBO::releaseOwn() {
    if (compiled_)
        for (Texture2D* texture : textures_)
            if (texture != depthTexture()) texture->release();
    dropFramebuffer();
}

void FBO::releaseDepth() {
    if (!depth_) return;
    depth_->texture->release();
    for (FBO* user : depth_->users)
        if (user != this) user->dropFramebuffer();
}

void FBO::clear() {
    if (!compiled_) return;
    releaseOwn();
    releaseDepth();
}

void FBO::resizeOwn(int w, int h) {
    releaseOwn();
    width_ = w;
    height_ = h;
    for (Texture2D* texture : textures_)
        if (texture != depthTexture()) texture->resize(w, h);
}

void FBO::resize(int w, int h) {
    if (w == width_ && h == height_) return;
    if (!depth_) {
        resizeOwn(w, h);
        return;
    }
    // Every framebuffer drawing into the depth texture takes the new size, so
    // that they keep sharing one texture of one size.
    for (FBO* user : depth_->users) user->resizeOwn(w, h);
    releaseDepth();
    depth_->texture->resize(w, h);
}

}  // namespace qel
