// Drawing of qel::BiTool: the element stretched toward the partner, the
// handle blocks at each end and the line between the two ends, and the
// elements that every end shares for them.
//
// The handles and the line are drawn from the matrix the entry receives,
// never from the frames recorded by the walk: an end repeated by an array
// copy or a placement preview is recorded once, in the template's frame,
// but drawn once per copy.

#include "curves/curve.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "tools/bi_tool.h"

namespace qel {

// Constant-initialised: made on first use, not by a static initialiser.
Element* BiTool::Segment = nullptr;
Element* BiTool::Handle = nullptr;

void BiTool::makeShared() {
    if (!Segment) Segment = Curve::SegmentHandle()->copy(1);
    if (!Handle) Handle = Mesh::CubeHandle()->copy(1);
}

void BiTool::freeShared() {
    Element::drop(Segment);
    Segment = nullptr;
    Element::drop(Handle);
    Handle = nullptr;
}

void BiTool::render(unsigned int objectId, const mat4& m, unsigned int itemId) {
    if (element) {
        const mat4 t = plain_ ? Tool::transformRender(m) : transformRender(m);
        const Element::TColorLight emission =
            (flags & FlagColorIsLight) ? Element::ColorAsLight : Element::ColorAsColor;
        // The tool's own clock: the pair runs without speed or delay.
        element->render(objectId, itemId, t, material, emission, float(time), true);
    }
    if (ShowHandles == 0 || plain_) return;
    makeShared();
    const pbr blockMaterial;
    const mat4 base = Tool::transformRender(m);
    // Along the turned z axis, pointing at the partner.
    Handle->render(objectId, itemId, base * mat4::Scale(0.7f, 0.7f, 2.0f), blockMaterial, Element::ColorAsColor, 0.0f,
                   true);
    // In the end's own frame: the turn undone (R is a rotation, R^-1 = R^T).
    Handle->render(objectId, itemId, base * turn_.transposed(), blockMaterial, Element::ColorAsColor, 0.0f, true);
}

// The matrix before the element: computing it may replace the element (a
// cable taking a tube of its own), and the element drawn is the new one.
void BiTool::renderFeatures(const mat4& m, const bvec4& colour) {
    if (!element) return;
    const mat4 t = plain_ ? Tool::transformRender(m) : transformRender(m);
    if (element) element->renderFeatures(t, colour, true);
}

void BiTool::renderAuxiliary(const mat4& m, const bvec4& colour) {
    if (element) {
        const mat4 t = plain_ ? Tool::transformRender(m) : transformRender(m);
        if (element) element->renderAuxiliary(t, colour, true);
    }
    if (ShowHandles == 0 || plain_ || !partner) return;
    makeShared();
    // The unit segment along x mapped onto the line from this end along its
    // turned z axis over the measured length.
    const mat4 f = m * matrix();
    const vec3 d = f.transformVector(vec3(0.0f, 0.0f, length));
    const mat3 s(d.x, 0.0f, 0.0f, d.y, 0.0f, 0.0f, d.z, 0.0f, 0.0f);
    Segment->renderFeatures(mat4::Translation(f.translation()) * mat4::FromMat3(s), colour, true);
}

}  // namespace qel
