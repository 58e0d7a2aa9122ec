// Shading one G-buffer layer into an image. Each pass is a full-screen quad
// restricted by the stencil to the layer's pixels; it reads the layer's
// `input` and writes its `output`, and every pass after the first swaps the
// two, so the finished image is always in `output`.

#include <string>
#include <utility>

#include "core/strings.h"
#include "gl/environment.h"
#include "gl/fboscene.h"
#include "gl/gl.h"
#include "gl/glatomlist.h"
#include "gl/glquad.h"
#include "gl/shaders.h"
#include "gl/texture2d.h"
#include "gl/texturecube.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/sky.h"
#include "view/view_passes.h"

namespace qel {

namespace {

// The light of simple rendering: normalize(-1, -1, 2) in view space.
const vec3 LightDirection(-0.408248f, -0.408248f, 0.816497f);

// The pair swapped: the last image becomes the input of the next pass.
void nextPass(FBOScene* fbo) {
    std::swap(fbo->input, fbo->output);
    drawInto(fbo->output);
}

// Logs the failure of a pass (1 lighting, 2 edges, 3 contours).
bool failPass(int pass) {
    logmsg("ERROR GLView::compositLayer " + std::to_string(pass));
    return false;
}

// Enables a pass's program and textures; false, with the pass's message
// logged, when they cannot be.
bool enablePass(GLAtomList& atoms, int pass) { return atoms.enable() || failPass(pass); }

// Image-based light from the environment's cube-map array.
bool lightFromEnvironment(const GLView& view, FBOScene* fbo) {
    const Environment* environment = view.environment;
    TextureCubeArray* sky = environment->array();
    GLAtomList atoms{ShaderLayerComposit, sky, fbo->idMaterial, fbo->color, fbo->normal};
    if (!sky) return failPass(1);
    if (!enablePass(atoms, 1)) return false;
    Shader::setUniform("sky", sky->unit());
    Shader::setUniform("levels", environment->levels());
    // Transposed for Shader::setUniform, which hands GL the rows as columns.
    const mat3 rotation = skyRotation(view.camera->orientation, view.environmentMatrix, view.environmentRotated);
    Shader::setUniform("rotation", rotation.transposed());
    Shader::setUniform("IdMaterial", fbo->idMaterial->unit());
    Shader::setUniform("Color", fbo->color->unit());
    Shader::setUniform("Normal", fbo->normal->unit());
    drawPass(atoms);
    return true;
}

// A fixed light from the upper left front.
bool lightSimple(FBOScene* fbo) {
    GLAtomList atoms{ShaderLayerCompositSimple, fbo->idMaterial, fbo->color, fbo->normal};
    if (!enablePass(atoms, 1)) return false;
    Shader::setUniform("LightDirection", LightDirection);
    Shader::setUniform("IdMaterial", fbo->idMaterial->unit());
    Shader::setUniform("Color", fbo->color->unit());
    Shader::setUniform("Normal", fbo->normal->unit());
    drawPass(atoms);
    return true;
}

// Darkens creases and depth steps towards the contour colour.
bool detectEdges(const GLView& view, FBOScene* fbo) {
    nextPass(fbo);
    GLAtomList atoms{ShaderEdgeDetection, fbo->depth, fbo->normal, fbo->input};
    if (!enablePass(atoms, 2)) return false;
    Shader::setUniform("Depth", fbo->depth->unit());
    Shader::setUniform("Normal", fbo->normal->unit());
    Shader::setUniform("Color", fbo->input->unit());
    Shader::setUniform("dz", 1.0f / (2.0f * view.farPlane));
    Shader::setUniform("w", 1.0f / float(view.width));
    Shader::setUniform("h", 1.0f / float(view.height));
    Shader::setUniform("Contour", view.contourColor.toFloat());
    drawPass(atoms);
    return true;
}

// The contour program for the render mode (wireframe + 2 x selection
// display) and layer; null when the layer gets no contours. The transparent
// layer has contours in wireframe only, and never the selection tint.
Shader* contourShader(std::uint32_t renderMode, bool opaque) {
    switch (renderMode & 3u) {
        case 0:
            return opaque ? ShaderContour : nullptr;
        case 1:
            return ShaderContourParts;
        case 2:
            return opaque ? ShaderContourSelection : nullptr;
        default:
            return opaque ? ShaderContourSelectionParts : ShaderContourParts;
    }
}

bool drawContours(const GLView& view, FBOScene* fbo, Shader* shader) {
    nextPass(fbo);
    GLAtomList atoms{shader, fbo->idMaterial, fbo->input};
    if (!enablePass(atoms, 3)) return false;
    Shader::setUniform("Id", fbo->idMaterial->unit());
    Shader::setUniform("Input", fbo->input->unit());
    setContourUniforms(view);
    drawPass(atoms);
    return true;
}

}  // namespace

bool GLView::compositLayer(FBOScene* fbo) {
    gl->glDisable(GL_DEPTH_TEST);
    fbo->input = fbo->color;
    fbo->output = fbo->composite;
    drawInto(fbo->output);
    fbo->setStencil(true);

    // An environment still being built lights nothing yet.
    const bool lit =
        !renderSimple && environment && !environment->building() ? lightFromEnvironment(*this, fbo) : lightSimple(fbo);
    if (!lit) return false;
    if (edgeDetection && !detectEdges(*this, fbo)) return false;
    const bool opaque = fbo == fboScene;
    if (!wireframe && !opaque) return true;
    Shader* contour = contourShader(renderMode, opaque);
    return !contour || drawContours(*this, fbo, contour);
}

}  // namespace qel
