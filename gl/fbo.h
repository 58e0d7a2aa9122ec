#pragma once
// Framebuffer objects: an optional depth or depth-stencil texture and any
// number of 2-D colour targets, created on the first enable. Framebuffers
// may share one depth texture; it lives as long as any of them holds it, and
// they keep one size: resizing one resizes them all, and whenever the shared
// texture is built anew every sharer attaches it again at its next enable.
// The normals and fog passes work inside one framebuffer.

#include "core/vec.h"
#include "gl/glatom.h"

#include <memory>
#include <vector>

namespace qel {

class Texture2D;

class FBO : public GLAtom {
public:
    enum TDepthStencilType : int {
        NoDepth = 0,       // no depth attachment
        Depth = 1,         // GL_DEPTH_COMPONENT32 at the depth attachment
        DepthStencil = 2,  // GL_DEPTH32F_STENCIL8 at the depth-stencil attachment
    };

    // A framebuffer of w x h; for a depth type its depth texture is created as
    // the first texture. No GL call.
    FBO(TDepthStencilType type, int w, int h, unsigned char layer);
    // A framebuffer of shared's size and type drawing into shared's depth
    // texture.
    FBO(FBO* shared, unsigned char layer);
    ~FBO() override;

    // Compiles when needed and binds the framebuffer. Draw buffers are chosen
    // by each pass.
    bool enable() override;
    void disable() override;
    // New size of every attachment, and of every framebuffer sharing the
    // depth texture; the framebuffers and their textures are built again at
    // their next enable.
    virtual void resize(int w, int h);

    // Builds the framebuffer and attaches the textures: the depth texture,
    // then the colour targets at GL_COLOR_ATTACHMENT0 + i. False when a
    // texture cannot be created or the framebuffer is incomplete.
    bool compile();
    // Returns the GPU memory: releases every texture (the shared depth
    // texture too) and deletes the framebuffer; the next enable builds
    // everything again.
    void clear();
    // Appends a colour target, which the framebuffer owns from then on.
    Texture2D* addTexture(Texture2D* texture);

    // Fill the normal layer a where the scene drew no normal, from the depth
    // texture (b: a work target of a's format). The caller binds this
    // framebuffer first. False when a or b is not attached or the program
    // cannot be enabled.
    bool normalsOrthogonal(Texture2D* a, Texture2D* b, Texture2D* depth, float scale, bool stencil);
    bool normalsPerspective(Texture2D* a, Texture2D* b, Texture2D* depth, float A, float B, bool stencil);
    // Blend the colour layer a towards the fog colour with depth.
    bool fogOrthogonal(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float p1, float p2, bool stencil);
    bool fogPerspective(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float p1, float p2, bool stencil);

    // Drawing restricted to the pixels whose stencil holds this layer's bit
    // (stencil test on, stencil kept), or the stencil test off.
    void setStencil(bool stencil);
    unsigned char layer() const { return layer_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool isCompiled() const { return compiled_; }
    unsigned int name() const { return name_; }
    TDepthStencilType type() const { return type_; }
    // The depth texture first (for a depth type), then the colour targets.
    const std::vector<Texture2D*>& textures() const { return textures_; }
    // The depth texture, null for type NoDepth.
    Texture2D* depthTexture() const { return depth_ ? depth_->texture.get() : nullptr; }

protected:
    // The depth texture and every framebuffer drawing into it.
    struct SharedDepth {
        std::unique_ptr<Texture2D> texture;
        std::vector<FBO*> users;
        ~SharedDepth();
    };

    // Releases the colour targets when compiled and deletes the framebuffer.
    void releaseOwn();
    // Releases the shared depth texture; every other framebuffer drawing into
    // it drops its framebuffer, to attach the texture again when it is built
    // anew.
    void releaseDepth();
    // Deletes the framebuffer only; the textures stay.
    void dropFramebuffer();
    // This framebuffer's own part of a resize: its framebuffer and colour
    // targets.
    void resizeOwn(int w, int h);
    // Replaces the 3-channel formats of the colour targets by their 4-channel
    // forms; true when one was changed.
    bool widenColourTargets();
    bool attachAll();
    // Steps 1-3 of the in-framebuffer passes: checks the attachments and
    // copies a into b.
    bool copyForPass(Texture2D* a, Texture2D* b);
    bool fog(Texture2D* a, Texture2D* b, Texture2D* depth, bvec4 colour, float near, float range, bool stencil);

    unsigned char layer_;
    int width_;
    int height_;
    bool compiled_ = false;
    unsigned int name_ = 0;
    std::vector<Texture2D*> textures_;
    TDepthStencilType type_;
    std::shared_ptr<SharedDepth> depth_;
};

// A framebuffer used for a single image (e.g. the background picture).
class FBOTexture : public FBO {
public:
    using FBO::FBO;
};

}  // namespace qel
