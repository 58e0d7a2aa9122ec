#pragma once
// The view's scene render targets: a G-buffer of identifier, colour, light
// and normal layers plus two work targets over one depth-stencil texture.
// The opaque and the transparent layer share that texture and tell their
// pixels apart by the stencil value, which is each framebuffer's layer byte.

#include "gl/fbo.h"

namespace qel {

class FBOScene : public FBO {
public:
    // A depth-stencil framebuffer of w x h with its own depth texture.
    FBOScene(int w, int h, unsigned char layer);
    // A framebuffer drawing into shared's depth-stencil texture.
    FBOScene(FBO* shared, unsigned char layer);

    // Targets in colour-attachment order (all owned through the texture list).
    Texture2D* idMaterial = nullptr;  // 0: RGB32UI (object id, item id, packed material), nearest
    Texture2D* color = nullptr;       // 1: RGBA8
    Texture2D* light = nullptr;       // 2: RGBA8 (emission, alpha = refraction strength)
    Texture2D* normal = nullptr;      // 3: RGB16F, eye space, zero where no normal was drawn
    Texture2D* normalCopy = nullptr;  // 4: RGB16F work target of the normals pass
    Texture2D* composite = nullptr;   // 5: RGBA8 work target of the view's passes
    Texture2D* depth = nullptr;       // the depth-stencil texture
    // The view's ping-pong pair while it composites this layer.
    Texture2D* input = nullptr;
    Texture2D* output = nullptr;

protected:
    // Records the depth texture and adds the six colour targets.
    void init();
};

class FBOSceneTransparent : public FBOScene {
public:
    FBOSceneTransparent(int w, int h, unsigned char layer);
    FBOSceneTransparent(FBO* opaque, unsigned char layer);

    Texture2D* glow = nullptr;  // 6: RGBA8

private:
    void addGlow();
};

}  // namespace qel
