// The release steps of the assembly actions that change the object pressed
// on (the picked tool of pickBrush): its material and flags, its rotation
// multiplicity, its instance ring, its constraint axes, and its transform or
// pivot.
//
// X below is the pressed object's pivot frame in the world: its picked world
// matrix times its pivot. The steps that invert it change nothing when it is
// singular. Property records are made before the change and keep the old
// value; the ring records apply themselves once when made here.

#include <QApplication>
#include <cmath>

#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/act_link.h"
#include "view/act_property.h"
#include "view/asker.h"
#include "view/gesture_steps.h"
#include "view/glview.h"
#include "view/material_editing.h"
#include "view/mouse.h"

namespace qel {

namespace {

// The pivot frame of the picked object in the world.
mat4 pivotFrame(const ABrush& b) { return b.pickedWorld * b.pickedTool->pivot; }

// v divided by its length when its squared length exceeds 1e-20 (in
// double), else v unchanged.
vec3 unitOrSame(const vec3& v) {
    const double l2 = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
    if (!(l2 > 1e-20)) return v;
    const double l = std::sqrt(l2);
    return vec3(float(v.x / l), float(v.y / l), float(v.z / l));
}

}  // namespace

void GestureSteps::releaseMaterial() {
    Tool* pressed = pickBrush.pickedTool;
    if (!mouse.right && interactionState == 1) {
        actionMode = ModeIdle;
        if (pressed) {
            // The press pushed the record; the frame loop applies the edits
            // and keeps or drops it when the dialog closes.
            materialPending = 1;
            materialTool = pressed;
            openMaterialDialog(*MATERIAL_EDITING, &pressed->material, "Material");
            return;
        }
    }
    dropUnchangedRecord(Act::KindMaterial);
}

void GestureSteps::releaseColorIsLight() {
    if (mouse.right || interactionState != 1) return;
    actionMode = ModeIdle;
    if (Tool* pressed = pickBrush.pickedTool)
        pressed->changeColorIsLight((pressed->flags & Tool::FlagColorIsLight) == 0, linked(), false);
}

void GestureSteps::releaseOrientation() {
    if (mouse.right || interactionState != 1) return;
    actionMode = ModeIdle;
    if (Tool* pressed = pickBrush.pickedTool)
        pressed->changeOrientation(
            pressed->orientation() == Tool::OrientViewer ? Tool::OrientPlain : Tool::OrientViewer, linked(), false);
}

void GestureSteps::releaseRotateMultiplicity() {
    if (mouse.right || interactionState != 1) return;
    actionMode = ModeIdle;
    Tool* pressed = pickBrush.pickedTool;
    if (!pressed) return;
    double value = pressed->rotationMultiplicity;
    if (asker->getDouble(QApplication::activeWindow(), "Constrained Rotation", "Multiplicity", &value, -1e20, 1e20, 2))
        pressed->rotationMultiplicity = float(value);
}

void GestureSteps::releaseMatchMaterial() {
    if (interactionState == 0) return;
    actionMode = ModeIdle;
    pickAgain();
    Tool* pressed = pickBrush.pickedTool;
    Tool* target = targetBrush.pickedTool;
    if (targetBrush.hit() && pressed && target) pressed->changeMaterial(target->material, 255, linked(), false);
}

void GestureSteps::releaseLink() {
    if (interactionState != 1) return;
    actionMode = ModeIdle;
    pickAgain();
    if (!pickBrush.pickedTool || !targetBrush.hit() || targetBrush.objectId == pickBrush.objectId) return;
    // Objects already in one ring leave the record without effect; it is
    // pushed all the same.
    auto* record = new ActObjectLink(scene, pickBrush.objectId, targetBrush.objectId);
    record->apply();
    pushAct(record);
}

void GestureSteps::releaseUnlink() {
    actionMode = ModeIdle;
    if (!pickBrush.hit() || !pickBrush.pickedTool) return;
    auto* record = new ActObjectUnlink(scene, pickBrush.objectId);
    record->apply();
    pushAct(record);
}

void GestureSteps::releaseConstrain(bool rotation, bool counter) {
    if (interactionState != 1) return;
    actionMode = ModeIdle;
    pickAgain();
    Tool* pressed = pickBrush.pickedTool;
    if (!pressed) return;
    const vec3 n = counter ? -targetBrush.normal : targetBrush.normal;
    if (rotation)
        pushAct(new ActObjectRotationAxis(scene, pickBrush.objectId, false));
    else
        pushAct(new ActObjectTranslationAxis(scene, pickBrush.objectId, false));
    const vec3 axis = unitOrSame(pivotFrame(pickBrush).block().inverse() * n);
    (rotation ? pressed->rotationAxis : pressed->translationAxis) = axis;
}

void GestureSteps::releaseRemoveConstraint(bool rotation) {
    if (interactionState != 1) return;
    actionMode = ModeIdle;
    Tool* pressed = pickBrush.pickedTool;
    if (!pressed) return;
    if (rotation) {
        pushAct(new ActObjectRotationAxis(scene, pickBrush.objectId, false));
        pressed->rotationAxis = vec3(0, 0, 0);
    } else {
        pushAct(new ActObjectTranslationAxis(scene, pickBrush.objectId, false));
        pressed->translationAxis = vec3(0, 0, 0);
    }
}

void GestureSteps::releaseMirror() {
    if (interactionState == 1) {
        actionMode = ModeIdle;
        targetBrush = selection(brushProjection, &pickBrush);
        Tool* pressed = pickBrush.pickedTool;
        // A release on the press pixel has no plane: nothing is reflected,
        // rather than a plane turned by the rounding of the projection.
        const bool moved = targetBrush.x != pickBrush.x || targetBrush.y != pickBrush.y;
        if (pressed && targetBrush.placed() && moved && !isZero(targetBrush.delta)) {
            const mat4 R = mat4::Mirror(targetBrush.delta, pickBrush.point);
            const mat4 X = pivotFrame(pickBrush);
            mat4 Xinv;
            if (X.tryInverse(Xinv)) {
                const mat4 M = Xinv * R * X;
                const bool all = linked() || copySource;
                if (transformerType == TransformObjectPivot)
                    pressed->transformObjectPivot(M, all, false);
                else if (transformerType == TransformObject)
                    pressed->transformObject(M, all, false);
                else if (transformerType == TransformPivot)
                    pressed->transformPivot(M, all, false);
            }
            if (copySource && linked()) copySource->joinInstances(pressed);
        }
        copySource = nullptr;
    }
    // The press pushed the transform record: a mirror that moved nothing
    // leaves no step for Undo.
    dropUnchangedRecord(Act::KindTransform);
}

void GestureSteps::releaseAlign() {
    if (interactionState != 1) return;
    actionMode = ModeIdle;
    pickAgain();
    Tool* pressed = pickBrush.pickedTool;
    if (!pressed) return;
    const mat4 X = pivotFrame(pickBrush);
    mat4 Xinv;
    if (!X.tryInverse(Xinv)) return;
    pushAct(new ActObjectTransform(scene, pickBrush.objectId, false));
    // Slide across the release normal, from the pressed pivot origin towards
    // the target's.
    if (targetBrush.hit() && targetBrush.pickedTool) {
        const vec3 d = pivotFrame(targetBrush).translation() - X.translation();
        const vec3& n = targetBrush.normal;
        const double dn = double(d.x) * n.x + double(d.y) * n.y + double(d.z) * n.z;
        const vec3 t(float(d.x - dn * n.x), float(d.y - dn * n.y), float(d.z - dn * n.z));
        pressed->pivot = pressed->pivot * Xinv * mat4::Translation(t) * X;
    }
    // Turn the press normal onto the release normal.
    const mat3 G = (pickBrush.pickedWorld * pressed->matrix()).block();
    const mat4 R = mat4::Rotation(G * pickBrush.normal, G * targetBrush.normal);
    pressed->pivot = R * pressed->pivot;
}

void GestureSteps::releaseMatchPivot(bool withObject) {
    if (interactionState != 1) return;
    actionMode = ModeIdle;
    pickAgain();
    Tool* pressed = pickBrush.pickedTool;
    if (!targetBrush.hit() || !pressed || !targetBrush.pickedTool) return;
    if (targetBrush.objectId == pickBrush.objectId) {
        pushAct(new ActObjectTransform(scene, pickBrush.objectId, linked()));
        pressed->transformPivot(mat4::Translation(pressed->transform.translation()), false, false);
        return;
    }
    // Moving with the pivot, a two-ended end (pressed or target) counts from
    // its own frame rather than its list frame, which is turned towards its
    // partner.
    const auto frameOf = [withObject](const ABrush& b) {
        return withObject ? hangingFrame(b) * b.pickedTool->pivot : pivotFrame(b);
    };
    const mat4 X = frameOf(pickBrush);
    mat4 Xinv;
    if (!X.tryInverse(Xinv)) return;
    const vec3 d = frameOf(targetBrush).translation() - X.translation();
    const mat4 m = Xinv * mat4::Translation(d) * X;
    pushAct(new ActObjectTransform(scene, pickBrush.objectId, linked()));
    if (withObject)
        pressed->transformObjectPivot(m, linked(), false);
    else
        pressed->transformPivot(m, linked(), false);
}

}  // namespace qel
