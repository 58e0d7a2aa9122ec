#include "gl/fboscene.h"

#include "gl/gl.h"
#include "gl/texture2d.h"

namespace qel {

FBOScene::FBOScene(int w, int h, unsigned char layer) : FBO(DepthStencil, w, h, layer) { init(); }

FBOScene::FBOScene(FBO* shared, unsigned char layer) : FBO(shared, layer) { init(); }

void FBOScene::init() {
    depth = depthTexture();
    const int w = width(), h = height();
    const auto target = [&](GLenum internal, GLenum format, GLenum type, GLenum filter) {
        return addTexture(new Texture2D(w, h, internal, format, type, GL_CLAMP_TO_EDGE, filter));
    };
    idMaterial = target(GL_RGB32UI, GL_RGB_INTEGER, GL_UNSIGNED_INT, GL_NEAREST);
    color = target(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
    light = target(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
    normal = target(GL_RGB16F, GL_RGB, GL_HALF_FLOAT, GL_LINEAR);
    normalCopy = target(GL_RGB16F, GL_RGB, GL_HALF_FLOAT, GL_LINEAR);
    composite = target(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
}

FBOSceneTransparent::FBOSceneTransparent(int w, int h, unsigned char layer) : FBOScene(w, h, layer) { addGlow(); }

FBOSceneTransparent::FBOSceneTransparent(FBO* opaque, unsigned char layer) : FBOScene(opaque, layer) { addGlow(); }

void FBOSceneTransparent::addGlow() {
    glow = addTexture(
        new Texture2D(width(), height(), GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_CLAMP_TO_EDGE, GL_LINEAR));
}

}  // namespace qel
