// The assembly picking: what lies under the cursor, and where the actions
// that place objects put them. Insert and Draw place a new object once per
// symmetric copy about the picked point; Multiply copies the picked object
// by the symmetry transforms. The frame rendering shows both as a preview.

#include <vector>

#include "gl/shader.h"
#include "scene/scene.h"
#include "scene/symmetry.h"
#include "scene/tool.h"
#include "view/glview.h"
#include "view/placement_copies.h"

namespace qel {

namespace {

// Multiply: the symmetry transforms other than the identity, and the picked
// tool previewed once per transform. False without a listed picked object.
bool multiplyPlacements(GLView& v) {
    Scene& scene = *v.scene;
    Tool* picked = v.pickBrush.pickedTool;
    if (!picked || !scene.objects.validIndex(scene.pickedIndex)) return false;
    const auto& sy = v.symmetry;
    std::vector<mat4> transforms;
    symmetry::Matrices(transforms, sy[0] != 0, sy[1] != 0, sy[2] != 0, sy[3] != 0, sy[4] != 0, sy[5] != 0,
                       v.symmetryItems);
    v.placements.assign(transforms.begin() + (transforms.empty() ? 0 : 1), transforms.end());
    Tool* parent = picked->parent;
    if (parent && !parent->isRoot()) {
        const int parentIndex = scene.objects.parents[std::size_t(scene.pickedIndex)];
        scene.preview.append(picked, v.placements, scene.objects, parent, parentIndex, v.onAllInstances());
    } else {
        scene.preview.append(picked, v.placements, scene.objects, nullptr, 0, true);
    }
    scene.preview.sort();
    return true;
}

// Insert, Draw and picks outside assembly mode: one placement per symmetric
// copy about the picked point, laid out in the frame of the chosen kind
// (Screen: the camera's axes; World: the world axes; Object: the picked
// object's axes), the first also the drawing plane.
void placeCopies(GLView& v, GLView::TFrameType kind) {
    ABrush& pick = v.pickBrush;
    const mat3 O = pick.objectFrame.block();
    const mat3 R = kind == GLView::FrameScreen ? O * v.drawingCamera : kind == GLView::FrameWorld ? O : mat3();
    const mat3 Rinv = R.inverse();
    std::vector<vec3> points;
    std::vector<mat3> frames;
    std::vector<symmetry::TSymmetry> list;
    placement::Copies(v, R, kind == GLView::FrameScreen, O * pick.normal, points, frames, list);

    const double pixel = length(O * pick.pixelVector);
    const mat4 S = placement::Scale(v, pixel);
    if (v.snapSymmetry && placement::MergeCopies(v, points, frames, list, pixel))
        pick.point = mat4::inverse(pick.objectFrame).transformProject(R * points[0]);

    v.placements.resize(points.size());
    const mat4& W = pick.elementFrame;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (kind == GLView::FrameScreen)
            v.placements[i] = W * mat4::FromMat3(R) * mat4::Translation(points[i]) * mat4::FromMat3(frames[i]) * S;
        else
            // The new object keeps the picked object's axes; only the
            // symmetric arrangement follows the frame.
            v.placements[i] = W * mat4::Translation(R * points[i]) * mat4::FromMat3(R * frames[i] * Rinv) * S;
    }
    if (!v.placements.empty()) v.drawingPlane = v.placements[0];
}

}  // namespace

bool GLView::select() {
    mergeKept.clear();
    mergeDropped.clear();
    planeDirection = vec3(0, 0, 0);
    pickBrush = selection(ABrush::OnObject, nullptr);
    if (!pickBrush.placed()) return false;
    TFrameType kind = frameType;
    if (kind == FrameObject && pickBrush.selection == ABrush::Screen) kind = FrameScreen;
    if (kind == FrameScreen) drawingCamera = Shader::NormalMatrixInv;

    const TAssemblyAction action = iassemblyAction();
    if (actionMode == ModeAssembly) {
        if (action == ActionMultiply) return pickBrush.hit() && !idle() && multiplyPlacements(*this);
        if (action != ActionInsert && action != ActionDraw) return true;
    }
    placeCopies(*this, kind);
    if (action == ActionInsert && !idle())
        scene->addObjectToList(activeTool, placements, Scene::THierarchyType(hierarchy(false)), onAllInstances());
    return true;
}

}  // namespace qel
