// The button press: what a newly pressed button starts. The context menu, a
// view drag, a point of a drawing, a sculpt stroke or an assembly gesture on
// the picked object; the undo records a drag needs are made here, before the
// drag changes anything. A press that lands on nothing the action can use
// becomes a view drag.

#include <QApplication>
#include <QString>
#include <cstdint>
#include <string>

#include "core/folders.h"
#include "mesh/mesh.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act_property.h"
#include "view/act_structure.h"
#include "view/asker.h"
#include "view/gesture_steps.h"
#include "view/glview.h"
#include "view/keyboard.h"
#include "view/mouse.h"
#include "view/object_file_name.h"
#include "view/status_text.h"

namespace qel {

namespace {

bool leftPressed() { return mouse.leftPrevious == 0 && mouse.left != 0; }
bool rightPressed() { return mouse.rightPrevious == 0 && mouse.right != 0; }
bool held(std::uint8_t code) { return keys.held(code); }

// What the status bar says of a stroke that leaves the triangle mesh it
// touches as it is (the mesh has no operation for its action), with the
// kinds of element the action does shape; empty for any other stroke.
QString inertStrokeText(const Element* e, Sculptor::TAction action) {
    if (!dynamic_cast<const Mesh*>(e) || action == Sculptor::PickMaterial || Mesh::sculptActs(action)) return QString();
    const char* name = sculptActionName(action);
    const QString label = name ? QString(name) : QString("This sculpt action");
    switch (action) {
        case Sculptor::Inflate:
            return label + " shapes clay, tubes and curves; a triangle mesh is left as it is.";
        case Sculptor::Deflate:
        case Sculptor::Flatten:
            return label + " shapes clay; a triangle mesh is left as it is.";
        default:
            return label + " has no operation on a triangle mesh; it is left as it is.";
    }
}

// The segment kind of the first point of a stroke: a sharp corner unless
// Control (curved) or Alt (arc) is held.
int firstPointKind() {
    if (held(Keyboard::KeyControl)) return 3;
    return held(Keyboard::KeyAlt) ? 2 : 1;
}

// The segment kind of a further point: free unless a modifier is held.
int laterPointKind() {
    if (held(Keyboard::KeyControl)) return 3;
    if (held(Keyboard::KeyShift)) return 1;
    return held(Keyboard::KeyAlt) ? 2 : 0;
}

bool modifierHeld() { return held(Keyboard::KeyControl) || held(Keyboard::KeyShift) || held(Keyboard::KeyAlt); }

}  // namespace

void GestureSteps::mouseDown() {
    const bool left = leftPressed();
    const bool right = rightPressed();
    if ((!left && !right) || !inside()) return;
    if (interactionState == 0 && right && held(Keyboard::KeyControl)) {
        // A pick cleared in this very frame (the keys that came with the
        // press ended a drawing) names no object yet: the menu waits for
        // this frame's pick of what lies under the pointer.
        if (pickBrush.placed())
            emit openMenu();
        else
            menuAwaitsPick = true;
        return;
    }
    copySource = nullptr;
    // inside() holds: both coordinates are finite and within the view.
    cursorPixel = {std::int32_t(mouse.position.x), std::int32_t(mouse.position.y)};
    dragDistance = {0, 0};
    if (actionMode == ModeAssembly && iassemblyAction() != ActionDraw && interactionState != 0 && right)
        resetState(false);
    if (right && !mouse.left) {
        actionMode = ModeView;
    } else if (actionMode != ModeAssembly || drawingPress(left)) {
        if (left && !mouse.right) {
            if (actionMode == ModeSculpt)
                sculptPress();
            else if (actionMode == ModeAssembly)
                assemblyPress();
        }
    }
    if (actionMode == ModeView && interactionState == 0) interactionState = 1;
}

void GestureSteps::viewDragPress() {
    actionMode = ModeView;
    if (interactionState == 0) interactionState = 1;
}

bool GestureSteps::pressNeedsPoint() {
    // A hit whose id names no listed object has no tool to act on.
    if (pickBrush.hit() && pickBrush.pickedTool) return true;
    viewDragPress();
    return false;
}

// ---- Drawing ----

bool GestureSteps::drawingPress(bool left) {
    const TAssemblyAction a = iassemblyAction();
    if (!activeTool && (a == ActionInsert || a == ActionPlace || a == ActionDraw)) {
        actionMode = ModeView;
        return false;
    }
    if (a != ActionDraw || !left || mouse.right) return true;
    // Tools with a drawn axis take single stamps (Space, or once there are
    // some) for the first points; every other press makes a stroke point.
    const bool single =
        hasAxis(toolCreation) && interactionState <= 2 && (held(Keyboard::KeySpace) || !assemblor.stamps.empty());
    if (interactionState == 0)
        firstDrawingPoint(single);
    else if (targetBrush.placed())
        laterDrawingPoint(single);
    return true;
}

void GestureSteps::firstDrawingPoint(bool single) {
    if (!select()) return;
    assemblor = Assemblor(pickBrush, single);
    if (single) {
        cornerPending = 1;
    } else {
        assemblor.strokes.front().stamps.front().kind = firstPointKind();
        cornerPending = modifierHeld() ? 1 : 0;
    }
    interactionState = 1;
}

void GestureSteps::laterDrawingPoint(bool single) {
    if (single) {
        assemblor.stamps.push_back(targetBrush);
        cornerPending = 1;
        ++interactionState;
        return;
    }
    if (assemblor.strokes.empty()) {
        assemblor.state = Gesture::Started;
        assemblor.addStroke(targetBrush);
    } else {
        AStroke& stroke = assemblor.strokes.back();
        assemblor.move();
        stroke.move();
        stroke.stamps.push_back(targetBrush);
    }
    assemblor.strokes.back().stamps.back().kind = laterPointKind();
    cornerPending = modifierHeld() ? 1 : 0;
}

// ---- Sculpting ----

void GestureSteps::sculptPress() {
    if (!pressNeedsPoint()) return;
    // Sculpt strokes are not undoable: what the history holds could no
    // longer be applied to the sculpted element. The first time that takes
    // something away, the user is told, so Undo going grey is no surprise.
    // A stroke that leaves the mesh as it is says so, once, at its press;
    // said with the emptied history, the two are one notice, so that
    // neither hides the other.
    QString said;
    if (!undoHistory.empty() && !historyEmptiedTold) {
        historyEmptiedTold = true;
        said = "Sculpt strokes cannot be undone: this stroke emptied the undo history.";
    }
    // That notice stands only while it is true: a stroke that acts ends
    // it, and so does a change of mode, action or tool (endOutdatedNotice).
    const QString inert = inertStrokeText(pickBrush.pickedTool->element, sculptAction);
    if (inert.isEmpty()) {
        endInertNotice();
        if (!said.isEmpty()) emit notice(said);
    } else {
        sayInert(said + (said.isEmpty() ? "" : " ") + inert);
    }
    clearHistory();
    if (sculptAction == Sculptor::PickMaterial) {
        brushMaterial = pickBrush.pickedMaterial;
        return;
    }
    // Gestures of a stroke whose release never reached the view would
    // repeat their last step on this press.
    for (Sculptor* s : sculptors) delete s;
    sculptors.clear();
    sculptors.reserve(stamps.size());
    for (const ABrush& stamp : stamps) {
        Sculptor* s = new Sculptor;
        s->action = sculptAction;
        s->select = sculptSelect;
        s->property = sculptProperty;
        s->onSection = axisSection;
        s->paintMask = std::uint8_t(brushMaterialMask);
        s->handedness = stamp.handedness;
        sculptors.push_back(s);
        s->begin();
        s->samples.emplace_back(stamp);
        s->viewDirection = stamp.viewDirection;
    }
    pickBrush.pickedTool->sculpt(sculptors);
    interactionState = 1;
}

void GestureSteps::sayInert(const QString& text) {
    inertNotice.text = text;
    inertNotice.mode = selectedActionMode;
    inertNotice.assemblyAction = selectedAssemblyAction;
    inertNotice.sculptAction = selectedSculptAction;
    inertNotice.toolCreation = toolCreation;
    inertNotice.currentTool = scene->currentTool;
    emit notice(text);
}

void GestureSteps::endInertNotice() {
    if (inertNotice.text.isEmpty()) return;
    const QString text = inertNotice.text;
    inertNotice.text.clear();
    emit noticeEnded(text);
}

void GestureSteps::endOutdatedNotice() {
    const InertNotice& n = inertNotice;
    if (n.text.isEmpty()) return;
    if (selectedActionMode != n.mode || selectedAssemblyAction != n.assemblyAction ||
        selectedSculptAction != n.sculptAction || toolCreation != n.toolCreation || scene->currentTool != n.currentTool)
        endInertNotice();
}

// ---- Assembly ----

void GestureSteps::assemblyPress() {
    const auto anchor = [this] {
        targetBrush = pickBrush;
        interactionState = 1;
    };
    const auto clearTarget = [this] {
        targetBrush = ABrush();
        interactionState = 1;
    };
    switch (int(iassemblyAction())) {
        case ActionInsert:
        case ActionPlace:
            if (pickBrush.placed())
                interactionState = 1;
            else
                viewDragPress();
            return;
        case ActionMultiply:
            if (pressNeedsPoint()) interactionState = 1;
            return;
        case ActionPick:
        case ActionPickComponent:
        case ActionDetachComponent:
        case 7:
        case ActionRemove:
        case ActionArrayPick:
        case ActionArrayPickItem:
        case ActionDrawPickAxis:
        case ActionDrawPickSection:
        case ActionMakeUniform:
        case ActionColorIsLight:
        case ActionMakeSprite:
        case ActionOrientation:
        case ActionSpeed:
        case ActionDelay:
            if (pressNeedsPoint()) anchor();
            return;
        case ActionIK:
            if (!pressNeedsPoint()) return;
            clearHistory();
            anchor();
            return;
        case ActionMove:
        case ActionRotate:
        case ActionScale:
        case ActionMirror:
        case ActionRotateScale:
            if (!pressNeedsPoint()) return;
            transformPress();
            anchor();
            return;
        case 22:
        case ActionRotateMultiplicity:
        case ActionMatchMaterial:
        case ActionLink:
        case ActionUnlink:
        case ActionConstrainRotation:
        case ActionCounterConstrainRotation:
        case ActionConstrainTranslation:
        case ActionCounterConstrainTranslation:
        case ActionRemoveRotationConstraint:
        case ActionRemoveTranslationConstraint:
        case ActionAlign:
        case ActionMatchPivot:
        case ActionMatchObjectPivot:
            if (pressNeedsPoint()) clearTarget();
            return;
        case ActionMaterial:
            if (!pressNeedsPoint()) return;
            pushAct(new ActObjectMaterial(scene, pickBrush.objectId, linked()));
            interactionState = 1;
            return;
        case ActionPickMaterial:
            if (!pressNeedsPoint()) return;
            activeToolProperties = pickBrush.pickedMaterial;
            clearTarget();
            return;
        case ActionQuickSave:
            if (pressNeedsPoint()) quickSave();
            return;
        case ActionDraw:
            updateDrawing();
            return;
        default:
            // Paint and the remaining actions do nothing on the press.
            return;
    }
}

void GestureSteps::transformPress() {
    if (!held(Keyboard::KeyControl)) {
        pushAct(new ActObjectTransform(scene, pickBrush.objectId, linked()));
        return;
    }
    const std::int32_t h = hierarchy(true);
    auto* record = new ActObjectCopyTransform(scene, pickBrush.objectId, h, onAllInstances());
    Tool* copy = record->lastCopy();
    if (!copy) {
        // Nothing was copied: the drag moves the picked object itself and
        // needs the plain record to be undone.
        delete record;
        pushAct(new ActObjectTransform(scene, pickBrush.objectId, linked()));
        return;
    }
    pushAct(record);
    Tool* picked = pickBrush.pickedTool;
    const mat4 own = picked->matrix();
    // Hung under the picked object, the copy lives in its frame.
    if (h == Scene::HangEntry) pickBrush.pickedWorld = pickBrush.pickedWorld * own;
    const mat4 N = h == Scene::HangEntry ? own : mat4::Identity();
    const ToolList& objects = scene->objects;
    const mat4 W =
        objects.validIndex(scene->pickedIndex) ? objects.matrices[std::size_t(scene->pickedIndex)] : mat4::Identity();
    copyFrame = W * N;
    copySource = picked;
    pickBrush.pickedTool = copy;
}

}  // namespace qel
