#include "view/glview.h"

#include "elements/lightning.h"
#include "gl/environment.h"
#include "gl/fbo.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glquad.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/bi_tool.h"
#include "view/act.h"
#include "view/asker.h"
#include "view/camera.h"

namespace qel {

GLView::GLView(int width_, int height_)
    : QObject(nullptr),
      width(width_),
      height(height_),
      camera(new Camera),
      scene(new Scene),
      fboScene(new FBOScene(width_, height_, 1)),
      fboSceneTransparent(new FBOSceneTransparent(fboScene, 2)),
      fboList{fboScene, fboSceneTransparent},
      showHandles(Tool::ShowHandles),
      startClock(std::chrono::steady_clock::now()),
      asker(DecliningAsker::Instance()) {
    loadAuxiliary();
    setActiveTool(CreateUseTool, true);
    renderMode = std::uint32_t(wireframe + 2 * selectionDisplay);
    redraw = 1;
}

GLView::~GLView() {
    ready = 0;
    clearHistory();
    for (Sculptor* s : sculptors) delete s;
    sculptors.clear();
    deleteActiveTools();
    delete scene;
    scene = nullptr;
    // The shared handle elements and the shared bolt hold buffers of this
    // view's context, current here; a later view makes them again.
    BiTool::freeShared();
    Lightning::freeBolt();
    for (auto it = fboList.rbegin(); it != fboList.rend(); ++it) {
        delete *it;
        *it = nullptr;
    }
    fboScene = nullptr;
    fboSceneTransparent = nullptr;
    delete backgroundImage;
    backgroundImage = nullptr;
    delete environment;
    environment = nullptr;
    delete camera;
    camera = nullptr;
    GLQuad::deleteVBO();
    GLCircle::deleteVBO();
}

void GLView::clearHistory() {
    while (!undoHistory.empty()) {
        delete undoHistory.back();
        undoHistory.pop_back();
    }
    historyIndex = -1;
}

void GLView::resize(int w, int h) {
    if (w == width && h == height) return;
    width = w;
    height = h;
    resizeFBO();
}

void GLView::resizeFBO() {
    ready = 0;
    for (FBO* fbo : fboList) fbo->resize(width, height);
    layersStale = true;
    ready = 1;
    redraw = 1;
}

void GLView::init() {
    if (gl) {
        gl->glEnable(GL_DEPTH_TEST);
        gl->glDisable(GL_CULL_FACE);
        gl->glDisable(GL_MULTISAMPLE);
        gl->glDisable(GL_BLEND);
        gl->glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    }
    delete environment;
    environment = new Environment(":/Environments/env_default.jpg", 128, 64, true);
}

}  // namespace qel
