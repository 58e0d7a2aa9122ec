// One frame of the view. Both scene layers are drawn and shaded; the
// transparent layer is then mixed over the opaque image with refraction,
// contours are drawn across both layers, and glow, lens chromatism and the
// status text finish the image in whichever layer holds it last (the
// "result" layer).

#include <utility>
#include <vector>

#include "gl/fboscene.h"
#include "gl/filters.h"
#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glquad.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/mouse.h"
#include "view/view_passes.h"

namespace qel {

namespace {

// Tools marked for one frame (drawn as selected); the marks go whichever
// way the frame ends.
class FrameMarks {
public:
    FrameMarks() = default;
    FrameMarks(const FrameMarks&) = delete;
    FrameMarks& operator=(const FrameMarks&) = delete;
    ~FrameMarks() { clear(); }
    void clear() { Tool::tempDeselect(tools); }
    std::vector<Tool*> tools;
};

// Copies a target of the bound read framebuffer into one of the bound draw
// framebuffer, pixel for pixel.
void copyTarget(const GLView& view, const Texture2D* from, const Texture2D* to) {
    gl->glReadBuffer(attachment(from));
    drawInto(to);
    gl->glBlitFramebuffer(0, 0, view.width, view.height, 0, 0, view.width, view.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
}

// Normals from depth where the layer's objects drew none.
void fillNormals(const GLView& view, FBOScene* fbo) {
    const float n = view.nearPlane, f = view.farPlane;
    if (view.viewType == GLView::ViewPerspective)
        fbo->normalsPerspective(fbo->normal, fbo->normalCopy, fbo->depth, (f + n) / (f - n), 2.0f * n * f / (f - n),
                                true);
    else
        fbo->normalsOrthogonal(fbo->normal, fbo->normalCopy, fbo->depth, 2.0f * f, true);
}

// The layer's missing normals filled in and the layer shaded into its
// output; then the layer is let go. False when a shading pass cannot run.
bool shadeLayer(GLView& view, FBOScene* fbo) {
    fillNormals(view, fbo);
    const bool shaded = view.compositLayer(fbo);
    fbo->disable();
    return shaded;
}

Shader* mixShader(bool glow, bool chroma) {
    if (glow) return chroma ? ShaderMixRefractGlowChroma : ShaderMixRefractGlow;
    return chroma ? ShaderMixRefractChroma : ShaderMixRefract;
}

// The transparent layer over the opaque image, on the transparent pixels
// only; with glow the light behind goes on to the glow target. The
// transparent layer is bound, both images are in the layers' inputs and the
// opaque image (and light) already fill the transparent output (and glow).
bool mixRefraction(const GLView& view) {
    FBOScene* opaque = view.fboScene;
    FBOSceneTransparent* glass = view.fboSceneTransparent;
    const bool glow = view.glow != 0, chroma = view.objectsChromatism != 0;
    GLAtomList atoms{mixShader(glow, chroma),
                     opaque->input,
                     glow ? opaque->light : nullptr,
                     glass->input,
                     glass->light,
                     glass->normal};
    if (!atoms.enable()) return false;
    const GLenum buffers[2] = {attachment(glass->output), glow ? attachment(glass->glow) : GL_NONE};
    gl->glDrawBuffers(glow ? 2 : 1, buffers);
    Shader::setUniform("OpaqueColor", opaque->input->unit());
    if (glow) Shader::setUniform("OpaqueLight", opaque->light->unit());
    Shader::setUniform("TransparentColor", glass->input->unit());
    Shader::setUniform("TransparentLight", glass->light->unit());
    Shader::setUniform("TransparentNormal", glass->normal->unit());
    const float s = float(view.ViewSize()) * view.selectionParamC * 0.3f;
    Shader::setUniform("wh", vec2(s / float(view.width), s / float(view.height)));
    if (chroma) {
        Shader::setUniform("scale", float(view.objectsChromatismColor.a) / 65535.0f + 1.0f);
        Shader::setUniform("chroma", view.objectsChromatismColor.toFloat());
    }
    glass->setStencil(true);
    drawPass(atoms);
    glass->setStencil(false);
    return true;
}

// Object contours across both layers, over the whole mixed image.
bool mixContours(const GLView& view) {
    FBOSceneTransparent* glass = view.fboSceneTransparent;
    std::swap(glass->input, glass->output);
    const bool selection = view.renderMode >= 2;
    GLAtomList atoms{selection ? ShaderContourSelectionMix : ShaderContourMix, glass->idMaterial,
                     view.fboScene->idMaterial, glass->input};
    if (!atoms.enable()) return false;
    drawInto(glass->output);
    Shader::setUniform("TransparentId", glass->idMaterial->unit());
    Shader::setUniform("OpaqueId", view.fboScene->idMaterial->unit());
    Shader::setUniform("Input", glass->input->unit());
    setContourUniforms(view);
    drawPass(atoms);
    return true;
}

// Both layers' images brought together in the transparent layer's output,
// which stays bound. False, with the layer let go, when a pass cannot run.
bool mixLayers(const GLView& view) {
    FBOScene* opaque = view.fboScene;
    FBOSceneTransparent* glass = view.fboSceneTransparent;
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_DEPTH_TEST);
    std::swap(opaque->input, opaque->output);
    std::swap(glass->input, glass->output);
    if (!glass->enable()) return false;
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, opaque->name());
    copyTarget(view, opaque->input, glass->output);
    if (view.glow) copyTarget(view, opaque->light, glass->glow);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, glass->name());
    if (mixRefraction(view) && mixContours(view)) return true;
    glass->disable();
    return false;
}

// The transparent layer's output plus its glow target blurred over every
// mip level but the coarsest, into the opaque layer's output.
bool addGlow(const GLView& view) {
    FBOSceneTransparent* glass = view.fboSceneTransparent;
    const int levels = glass->glow->generateMipMaps();
    if (levels == 0 || !view.fboScene->enable()) return false;
    const bool added = GLAddMipMaps({glass->output, glass->glow}, levels - 1, view.fboScene->output);
    view.fboScene->disable();
    return added;
}

// Each channel of the image mixed with the image magnified about the
// centre, into the layer's light target, which becomes its output.
bool addLensChromatism(const GLView& view, FBOScene* result) {
    if (!result->enable()) return false;
    const bvec4 c = view.lensChromatismColor.highBytes();
    const float scale = 1.0f + float(c.a) / 255.0f / 5.0f;
    const bool drawn = GLChroma(result->output, result->light, c, scale, vec2(0.5f, 0.5f));
    if (drawn) result->output = result->light;
    result->disable();
    return drawn;
}

// The hovered tool, and the tools its selection scope takes with it, marked
// selected for this frame.
void markHovered(GLView& view, std::vector<Tool*>& marked) {
    Tool* tool = view.pickBrush.pickedTool;
    if (!view.pickBrush.hit() || !tool) return;
    if (view.actionMode == GLView::ModeSculpt) {
        tool->tempSelect(marked, false, false);
        return;
    }
    if (view.actionMode != GLView::ModeAssembly) return;
    const GLView::TAssemblyAction a = view.iassemblyAction();
    if (a < GLView::ActionPaint || a == GLView::ActionDraw)
        tool->tempSelect(marked, view.onAllInstances(), false);
    else if (a != GLView::ActionIK)
        tool->tempSelect(marked, view.linked(), view.tempSelectInstances != 0);
}

// The preview of a drawing at rest: while Draw is the chosen assembly action
// but the pointer is away or the camera moves (effective mode idle or view)
// and the strokes hold two stamps or more, the tool under creation at the
// placements. True when the preview list got it.
bool previewDrawing(GLView& view) {
    if (view.selectedActionMode != GLView::ModeAssembly || view.selectedAssemblyAction != GLView::ActionDraw)
        return false;
    if (view.actionMode != GLView::ModeIdle && view.actionMode != GLView::ModeView) return false;
    if (!view.activeTool || view.assemblor.strokeStamps() < 2) return false;
    const auto hang = Scene::THierarchyType(view.hierarchy(false));
    view.scene->addObjectToList(view.activeTool, view.placements, hang, view.onAllInstances());
    return true;
}

void releaseProgram() {
    Shader::id = 0;
    gl->glUseProgram(0);
}

// Glow, lens chromatism and the status text in whichever layer holds the
// image last; then the frame is done and that image is returned.
Texture2D* finishFrame(GLView& view) {
    gl->glDisable(GL_DEPTH_TEST);
    FBOScene* result = view.fboSceneTransparent;
    if (view.glow) {
        if (!addGlow(view)) return nullptr;
        result = view.fboScene;
    }
    if (view.lensChromatism && !addLensChromatism(view, result)) return nullptr;
    if (view.showText && !view.hiDpi) {
        if (!result->enable()) return nullptr;
        drawInto(result->output);
        view.Text();
        result->disable();
    }
    releaseProgram();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    view.redraw = 0;
    return result->output;
}

}  // namespace

// The pickings of the frame, in this order: the idle assembly pick, the
// sculpt pick, then the picking of the running assembly gesture: select2
// for Place and Draw; for an action without a picking of its own the stamp
// the gesture points at follows the cursor, at its depth for the turns and
// scalings, else by the projection option.
bool GLView::framePicks() {
    if (!inside() || pickHeld) return false;
    const TAssemblyAction action = iassemblyAction();
    if (idle() && actionMode == ModeAssembly && !(action == ActionDraw && !assemblor.strokes.empty())) select();
    if (actionMode == ModeSculpt) selectSculpt(idle());
    if (actionMode != ModeAssembly || idle()) return false;
    switch (action) {
        case ActionInsert:
        case ActionMultiply:
            return select();
        case ActionPlace:
        case ActionDraw:
            return select2();
        case ActionRotate:
        case ActionScale:
        case ActionRotateScale:
            targetBrush = selection(ABrush::SameDepth, &targetBrush);
            return false;
        default:
            targetBrush = selection(brushProjection, &targetBrush);
            return false;
    }
}

void GLView::stepPicks() {
    if (layersStale) return;
    scene->preview.clear();
    pickPreview = framePicks();
    pickedAt = mouse.position;
}

bool GLView::framePicksAndMotions() {
    layersStale = false;
    pickPreview = framePicks();
    pickedAt = mouse.position;
    if (menuAwaitsPick) {
        menuAwaitsPick = false;
        emit openMenu();
    }
    while (nextMotion()) {
    }
    return pickPreview;
}

Texture2D* GLView::render() {
    if (!redraw) return nullptr;
    gl->glEnable(GL_DEPTH_TEST);
    gl->glDisable(GL_CULL_FACE);
    gl->glDisable(GL_MULTISAMPLE);
    gl->glDisable(GL_BLEND);
    gl->glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    gl->glViewport(0, 0, width, height);
    buildMatrices();
    scene->toList();

    // The hovered objects are drawn as selected in both layers; the marks go
    // however the frame ends.
    FrameMarks marks;
    markHovered(*this, marks.tools);
    if (!fboScene->enable()) return nullptr;
    renderScene(fboScene, Tool::RenderOpaque, false);
    if (!shadeLayer(*this, fboScene)) return nullptr;
    if (!fboSceneTransparent->enable()) return nullptr;
    renderScene(fboSceneTransparent, Tool::RenderTransparent, false);
    marks.clear();
    // Picking reads the layers here and may ask for the placement preview;
    // a drawing at rest (no assembly gesture) has its own.
    const bool picked = framePicksAndMotions();
    const bool preview = previewDrawing(*this) || picked;
    if (!fboSceneTransparent->enable()) return nullptr;
    if (preview) renderScene(fboSceneTransparent, Tool::RenderAll, true);
    Element::GlobalUpdate += 1;
    if (!shadeLayer(*this, fboSceneTransparent)) return nullptr;

    if (!mixLayers(*this)) return nullptr;
    // The overlays are drawn here into the transparent output, starting with
    // no program in use.
    releaseProgram();
    drawOverlays();
    releaseProgram();
    fboSceneTransparent->disable();
    return finishFrame(*this);
}

}  // namespace qel
