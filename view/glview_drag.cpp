// The drag: every frame in which the pointer moved inside the view carries
// the gesture the press began. A drawing gains points, every sculpt gesture
// its next sample, the view turns or pans, and the pressed object moves,
// turns, scales, follows an inverse-kinematics pull, takes a material or
// changes its animation speed or delay.
//
// G below is the pressed object's pivot frame in the world: its picked world
// matrix (a two-ended end's own parent matrix) times its pivot. The move, turn and scale steps change nothing while
// G is singular (an object scaled to zero along an axis), so that no infinite
// or NaN transform is applied and saved.

#include <cmath>
#include <cstdint>

#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/bi_tool.h"
#include "view/gesture_steps.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/mouse.h"

namespace qel {

namespace {

bool held(std::uint8_t code) { return keys.held(code); }

// p with its component along the unit vector n removed, measured from c.
vec3 alongPlane(const vec3& p, const vec3& c, const vec3& n) {
    const double d = dot(p - c, n);
    return vec3(float(p.x - d * n.x), float(p.y - d * n.y), float(p.z - d * n.z));
}

// The segment kind a corner that follows the pointer takes from the held
// modifier, else the stamp's own.
int cornerKind(int own) {
    if (held(Keyboard::KeyControl)) return 3;
    if (held(Keyboard::KeyShift)) return 1;
    if (held(Keyboard::KeyAlt)) return 2;
    return own;
}

}  // namespace

void GestureSteps::mouseMove() {
    if (mouse.position.x == mouse.previous.x && mouse.position.y == mouse.previous.y) return;
    if (!inside()) return;
    dragDistance[0] = std::int32_t(float(dragDistance[0]) + mouse.delta.x);
    dragDistance[1] = std::int32_t(float(dragDistance[1]) + mouse.delta.y);
    if (actionMode == ModeAssembly && iassemblyAction() == ActionDraw && interactionState != 0) dragDrawing();
    if (actionMode == ModeSculpt) {
        // A stroke is drawn with the left button held; hovering sculpts
        // nothing.
        if (mouse.left) dragSculpt();
    } else if (actionMode == ModeView) {
        dragView();
    } else if (actionMode == ModeAssembly && mouse.left && !mouse.right) {
        dragAssembly();
    }
    // inside() holds: both coordinates are finite and within the view.
    cursorPixel = {std::int32_t(mouse.position.x), std::int32_t(mouse.position.y)};
}

void GestureSteps::dragDrawing() {
    const bool axisPhase = interactionState <= 2 && !assemblor.stamps.empty();
    cornerPending = (cornerPending || axisPhase) ? 1 : 0;
    if (!mouse.left || !targetBrush.placed()) return;
    const bool strokes = !assemblor.strokes.empty() && !assemblor.strokes.back().stamps.empty();
    const ABrush* newest = nullptr;
    if (strokes)
        newest = &assemblor.strokes.back().stamps.back();
    else if (!assemblor.stamps.empty())
        newest = &assemblor.stamps.back();
    // A new point only for a new pixel.
    if (!newest || (newest->x == targetBrush.x && newest->y == targetBrush.y)) return;
    if (axisPhase) {
        if (assemblor.stamps.size() == 1) {
            assemblor.stamps.push_back(targetBrush);
            ++interactionState;
        } else {
            assemblor.stamps.back() = targetBrush;
        }
        return;
    }
    if (!strokes) return;
    AStroke& stroke = assemblor.strokes.back();
    if (cornerPending) {
        // The corner follows the pointer.
        stroke.stamps.back() = targetBrush;
        stroke.stamps.back().kind = cornerKind(targetBrush.kind);
        return;
    }
    assemblor.move();
    stroke.move();
    stroke.stamps.push_back(targetBrush);
    stroke.stamps.back().kind = 0;
}

void GestureSteps::dragSculpt() {
    if (interactionState == 0 || !pickBrush.hit() || !pickBrush.pickedTool) return;
    if (sculptAction == Sculptor::PickMaterial) {
        brushMaterial = targetBrush.pickedMaterial;
        return;
    }
    addSculptSamples(false);
    pickBrush.pickedTool->sculpt(sculptors);
}

void GestureSteps::addSculptSamples(bool ending) {
    for (std::size_t i = 0; i < sculptors.size(); ++i) {
        Sculptor* s = sculptors[i];
        if (ending)
            s->end();
        else
            s->move();
        // Merged symmetric copies can leave fewer stamps than gestures: a
        // gesture without a stamp repeats its own last sample.
        if (i < stamps.size())
            s->samples.emplace_back(stamps[i]);
        else if (!s->samples.empty())
            s->samples.push_back(s->samples.back());
    }
}

void GestureSteps::dragView() {
    const float dx = mouse.delta.x;
    const float dy = mouse.delta.y;
    if (mouse.left) {
        rotate(dy / 100.0f, -dx / 100.0f, 0.0f);
        viewPreset = 0;
    } else if (mouse.right) {
        translate(dx, dy, 0.0f);
    }
}

void GestureSteps::dragAssembly() {
    Tool* picked = pickBrush.hit() ? pickBrush.pickedTool : nullptr;
    switch (int(iassemblyAction())) {
        case ActionSpeed:
            if (!picked) return;
            picked->changeSpeed(picked->speed + float(dragDistance[0]) / 1000.0f, linked(), false);
            dragDistance[0] = 0;
            return;
        case ActionDelay:
            if (!picked) return;
            picked->changeDelay(picked->delay + float(dragDistance[0]) / 1000.0f, linked(), false);
            dragDistance[0] = 0;
            return;
        case ActionIK:
            if (interactionState != 0) dragIK();
            return;
        case ActionMove:
            if (picked) dragMove();
            return;
        case ActionRotate:
        case ActionScale:
        case ActionRotateScale:
            if (picked) dragTurnOrScale(iassemblyAction());
            return;
        case ActionMatchMaterial:
        case ActionPickMaterial:
            if (!picked || interactionState == 0) return;
            targetBrush = selection(ABrush::OnObject, nullptr);
            if (!targetBrush.hit() || !targetBrush.pickedTool) return;
            if (iassemblyAction() == ActionMatchMaterial)
                picked->changeMaterial(targetBrush.pickedTool->material, 255, linked(), false);
            else
                activeToolProperties = targetBrush.pickedMaterial;
            return;
        case ActionDraw:
            updateDrawing();
            return;
        default:
            return;
    }
}

void GestureSteps::dragIK() {
    const int depth = ikLevel >= 0 ? ikLevel + 1 : -1;
    if (!scene->findHiHierarchy(pickBrush.objectId, dragTools, dragMatrices, depth)) return;
    Tool::InverseKinematics(dragTools, dragMatrices, pickBrush.point, targetBrush.point);
    pickBrush.point = targetBrush.point;
    scene->findHiHierarchy(pickBrush.objectId, dragTools, dragMatrices, depth);
    dragTools.clear();
    dragMatrices.clear();
}

mat4 GestureSteps::hangingFrame(const ABrush& b) {
    Tool* t = b.pickedTool;
    if (t && t->isBiTool()) return static_cast<BiTool*>(t)->parentMatrix;
    return b.pickedWorld;
}

bool GestureSteps::dragFrame(mat4& G, mat4& Ginv) const {
    G = hangingFrame(pickBrush) * pickBrush.pickedTool->pivot;
    return G.tryInverse(Ginv);
}

void GestureSteps::dragMove() {
    mat4 G, Ginv;
    if (!dragFrame(G, Ginv)) return;
    const mat4 M = Ginv * mat4::Translation(targetBrush.delta) * G;
    Tool* picked = pickBrush.pickedTool;
    const bool all = linked() || copySource;
    if (transformerType == TransformObjectPivot)
        picked->transformObjectPivot(M, all, false);
    else if (transformerType == TransformObject)
        picked->constrainedMoveObject(M, all, false);
    else if (transformerType == TransformPivot)
        picked->transformPivot(M, all, false);
}

void GestureSteps::dragTurnOrScale(TAssemblyAction action) {
    mat4 G, Ginv;
    const bool invertible = dragFrame(G, Ginv);
    const vec3 c = G.translation();
    const vec3 n = ScreenNormal();
    const vec3 from = pickBrush.point;
    const vec3 to = targetBrush.point;
    pickBrush.point = to;
    // Only the increment since the previous frame is applied.
    float s = 1.0f;
    const double a = length(alongPlane(from, c, n) - c);
    const double b = length(alongPlane(to, c, n) - c);
    // A ratio outside (0.5, 2) is a jump of the pointer past the pivot.
    if (b < 2 * a && a < 2 * b) s = float(b / a);
    const mat4 S = mat4::Scale(s, s, s);
    Tool* picked = pickBrush.pickedTool;
    const bool all = linked() || copySource;
    if (action == ActionScale) {
        if (s != 1.0f && invertible) picked->transformObject(S, all, false);
        return;
    }
    if (!invertible) return;
    const mat4 R =
        mat4::Rotation(Ginv.transformProject(alongPlane(from, c, n)), Ginv.transformProject(alongPlane(to, c, n)));
    if (action == ActionRotate) {
        if (transformerType == TransformObjectPivot)
            picked->transformObjectPivot(R, all, false);
        else if (transformerType == TransformObject)
            picked->constrainedRotateObject(R, all, false);
        else if (transformerType == TransformPivot)
            picked->transformPivot(R, all, false);
        return;
    }
    if (transformerType == TransformObjectPivot) {
        picked->transformObjectPivot(R * S, all, false);
    } else if (transformerType == TransformPivot) {
        picked->transformPivot(R * S, all, false);
    } else if (transformerType == TransformObject) {
        picked->constrainedRotateObject(R, all, false);
        // The scale step follows the linked option itself, which the simple
        // interface does not clear.
        if (s != 1.0f) picked->transformObject(S, linkedMode != 0 || copySource, false);
    }
}

}  // namespace qel
