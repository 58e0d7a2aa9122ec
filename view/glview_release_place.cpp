// The release steps of the assembly actions, dispatched by releaseAssembly,
// and those among them that add objects to the scene, make new current tools
// from picked objects, remove objects and advance a drawing.
//
// Each step does nothing when its condition fails; the caller's common
// ending still runs. Steps that add or remove objects push one undo record;
// the tools made by the picking steps belong to the scene's tool library and
// are not undoable.

#include "curves/curve.h"
#include "curves/ucurve.h"
#include "elements/revoluton.h"
#include "elements/tube.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "tools/array.h"
#include "view/act.h"
#include "view/act_remove.h"
#include "view/act_structure.h"
#include "view/gesture_steps.h"
#include "view/glview.h"

namespace qel {

void GestureSteps::releaseAssembly(TAssemblyAction action) {
    switch (int(action)) {
        case ActionInsert:
            return releaseInsert();
        case ActionMultiply:
            return releaseMultiply();
        case ActionPlace:
            return releasePlace();
        case ActionPick:
            return releasePick();
        case ActionPickComponent:
            return releasePickPart(false);
        case ActionDetachComponent:
            return releaseDetachComponent();
        case 7:  // the patch pick
            return releasePickPart(true);
        case ActionRemove:
            return releaseRemove();
        case ActionDraw:
            return releaseDraw();
        case ActionArrayPick:
            return releaseArrayPick();
        case ActionArrayPickItem:
            return releaseArrayPickItem();
        case ActionDrawPickAxis:
            return releaseDrawPickAxis();
        case ActionDrawPickSection:
            return releaseDrawPickSection();
        case ActionMakeUniform:
            return releaseMakeUniform();
        case ActionMirror:
            return releaseMirror();
        case ActionRotateMultiplicity:
            return releaseRotateMultiplicity();
        case ActionMaterial:
            return releaseMaterial();
        case ActionColorIsLight:
            return releaseColorIsLight();
        case ActionMatchMaterial:
            return releaseMatchMaterial();
        case ActionLink:
            return releaseLink();
        case ActionUnlink:
            return releaseUnlink();
        case ActionConstrainRotation:
        case ActionCounterConstrainRotation:
            return releaseConstrain(true, action == ActionCounterConstrainRotation);
        case ActionConstrainTranslation:
        case ActionCounterConstrainTranslation:
            return releaseConstrain(false, action == ActionCounterConstrainTranslation);
        case ActionRemoveRotationConstraint:
            return releaseRemoveConstraint(true);
        case ActionRemoveTranslationConstraint:
            return releaseRemoveConstraint(false);
        case ActionAlign:
            return releaseAlign();
        case ActionMatchPivot:
            return releaseMatchPivot(false);
        case ActionMatchObjectPivot:
            return releaseMatchPivot(true);
        case ActionOrientation:
            return releaseOrientation();
        default:
            return;
    }
}

void GestureSteps::dropUnchangedRecord(int kind) {
    if (undoHistory.empty() || historyIndex != std::int32_t(undoHistory.size()) - 1) return;
    Act* newest = undoHistory.back();
    if (!newest || newest->kind != kind || newest->changed()) return;
    delete newest;
    undoHistory.pop_back();
    historyIndex = std::int32_t(undoHistory.size()) - 1;
}

void GestureSteps::pickAgain() { targetBrush = selection(ABrush::OnObject, nullptr); }

void GestureSteps::releaseInsert() {
    if (interactionState == 0 || !pickBrush.placed() || !activeTool) return;
    pushAct(new ActObjectAdd(scene, pickBrush.objectId, activeTool, placements, hierarchy(false), onAllInstances(),
                             linkedMode != 0));
    actionMode = ModeIdle;
}

void GestureSteps::releaseMultiply() {
    Tool* picked = pickBrush.pickedTool;
    if (interactionState == 0 || !pickBrush.hit() || !picked) return;
    // The copies sit where the preview showed them: in the picked object's
    // pivot frame.
    for (mat4& P : placements) P = P * picked->pivot;
    pushAct(new ActObjectMultiply(scene, pickBrush.objectId, placements, 2, onAllInstances(), linkedMode != 0));
    actionMode = ModeIdle;
}

void GestureSteps::releasePlace() {
    if (interactionState == 0) return;
    if (!activeTool || !pickBrush.placed() || !targetBrush.placed()) {
        actionMode = ModeIdle;
        return;
    }
    if (activeTool->isBiTool()) return placeTwoEnded();
    pushAct(new ActObjectAdd(scene, pickBrush.objectId, activeTool, placements, hierarchy(false), onAllInstances(),
                             linkedMode != 0));
    actionMode = ModeIdle;
}

mat4 GestureSteps::endPlacement(const ABrush& b) const {
    const mat4 F = b.elementFrame * b.objectFrame;
    const vec3 q = F.transformProject(b.point);
    const vec3 v = F.block() * b.pixelVector;
    // The brush size in the receiving frame's units.
    const float s = float(double(length(v)) * double(brushSize));
    return mat4::Translation(q) * mat4::FromMat3(mat3::FrameYZ(vec3(0, 1, 0), v)) * mat4::Scale(s);
}

void GestureSteps::placeTwoEnded() {
    actionMode = ModeIdle;
    // Without a second end (a template whose partner is gone) there is no
    // pair to place.
    if (!activeToolAux) return;
    pushAct(new ActObjectAddBiTool(scene, pickBrush.objectId, targetBrush.objectId, activeTool, activeToolAux,
                                   {endPlacement(pickBrush)}, {endPlacement(targetBrush)}, hierarchy(false), false,
                                   linkedMode != 0));
    pickBrush = ABrush();
    targetBrush = ABrush();
}

void GestureSteps::releasePick() {
    if (!pickBrush.hit() || !pickBrush.pickedTool) return;
    pick(pickBrush.pickedTool, 0);
    actionMode = ModeIdle;
}

void GestureSteps::releasePickPart(bool patch) {
    Tool* picked = pickBrush.pickedTool;
    if (!pickBrush.hit() || !picked || !picked->element) return;
    int face = pickBrush.itemId;
    const vec3 centre(0, 0, 0);
    Element* part = patch ? picked->element->PartPatch(centre, face) : picked->element->PartComponent(centre, face);
    if (!part) return;
    const bool transparent = (picked->flags & Tool::FlagTransparent) != 0;
    scene->addTool(new Tool(part, picked->transform, picked->material, transparent));
    setActiveTool(CreateUseTool, false);
}

void GestureSteps::releaseDetachComponent() {
    pickAgain();
    Tool* picked = pickBrush.pickedTool;
    Tool* target = targetBrush.pickedTool;
    if (!pickBrush.hit() || !picked || !picked->element || !targetBrush.hit() || !target) return;
    // A copy an array laid hands the part to the array: under the template
    // it would appear at every copy.
    mat4 targetWorld = targetBrush.pickedWorld;
    Tool* owner = scene->findPlacedObject(targetBrush.objectId);
    if (owner != target) {
        const int ownerId = scene->findID(owner);
        if (!owner || ownerId <= 0 || ownerId == Scene::NotFound) return;
        targetWorld = scene->objects.matrices[std::size_t(ownerId - 1)];
        target = owner;
    }
    // The part keeps its place in the world, expressed in the target's frame.
    const mat4 X = pickBrush.pickedWorld * picked->pivot;
    mat4 Yinv;
    if (!(targetWorld * target->matrix()).tryInverse(Yinv)) return;
    Element* part = picked->element->DetachComponent(pickBrush.itemId);
    if (!part) return;
    const bool transparent = (picked->flags & Tool::FlagTransparent) != 0;
    Tool* carrier = new Tool(part, picked->transform, picked->material, transparent);
    target->addChild(carrier->cloneObject(Yinv * X, true, false), false);
    delete carrier;
    // The records name objects by list position, which the new object
    // shifts: none of them may act after this change.
    clearHistory();
    scene->toList();
}

void GestureSteps::releaseRemove() {
    if (!pickBrush.hit() || interactionState == 0 || !pickBrush.pickedTool) return;
    pushAct(new ActObjectRemove(scene, pickBrush.objectId));
    pickBrush = ABrush();
    actionMode = ModeIdle;
}

void GestureSteps::releaseDraw() {
    // The second single stamp of an axis drawing was set; any other release
    // ends a stroke, whose curve is rebuilt.
    if (interactionState == 2)
        interactionState = 3;
    else if (interactionState != 0)
        updateDrawing();
}

void GestureSteps::releaseArrayPickItem() {
    Tool* picked = pickBrush.pickedTool;
    if (!pickBrush.hit() || !picked) return;
    Tool* item = picked->cloneTool(false);
    scene->toolsRoot->addChild(item, false);
    auxiliaryTools.push_back(item);
}

void GestureSteps::releaseArrayPick() {
    pickAgain();
    auto* array = targetBrush.hit() ? dynamic_cast<Array*>(targetBrush.pickedTool) : nullptr;
    if (array) {
        // Copies, not the array's own templates, which go with the array.
        std::vector<Tool*> items;
        items.reserve(array->items.size());
        for (Tool* t : array->items) {
            Tool* copy = t ? t->cloneTool(false) : nullptr;
            if (copy) scene->toolsRoot->addChild(copy, false);
            items.push_back(copy);
        }
        auxiliaryTools = std::move(items);
        arrayCounts.assign(array->pattern.begin(), array->pattern.end());
        resetState(true);
    }
    actionMode = ModeIdle;
}

namespace {

// The element as a curve when it is one (types 2 and 3).
Curve* asCurve(Element* e) {
    if (!e || !(e->isType(Element::TType::Curve) || e->isType(Element::TType::UCurve))) return nullptr;
    return dynamic_cast<Curve*>(e);
}

// The axis curve an element offers: a curve itself, or a tube's path.
Curve* axisCurveOf(Element* e) {
    if (Curve* c = asCurve(e)) return c;
    if (auto* t = dynamic_cast<Tube*>(e)) return t->path;
    return nullptr;
}

// The section curve an element offers: a curve itself, a revoluton's
// section or a tube's profile.
Curve* sectionCurveOf(Element* e) {
    if (Curve* c = asCurve(e)) return c;
    if (auto* r = dynamic_cast<Revoluton*>(e)) return r->section;
    if (auto* t = dynamic_cast<Tube*>(e)) return t->profile;
    return nullptr;
}

}  // namespace

void GestureSteps::releaseDrawPickAxis() {
    if (!activeTool) return;
    pickAgain();
    Tool* target = targetBrush.pickedTool;
    if (!targetBrush.hit() || !target) {
        actionMode = ModeIdle;
        return;
    }
    Curve* curve = axisCurveOf(target->element);
    if (!curve) {
        resetState(true);
        actionMode = ModeIdle;
        return;
    }
    Element* e = activeTool->element;
    if (toolCreation == CreateArray || toolCreation == CreateChain || isProfile(toolCreation)) {
        activeTool->setElement(curve);
    } else if (toolCreation == CreateTube) {
        if (auto* t = dynamic_cast<Tube*>(e)) t->setPath(curve);
    } else if (toolCreation == CreateRevoluton) {
        if (auto* r = dynamic_cast<Revoluton*>(e)) r->setProfile(curve);
    }
    curve->touch();
    if (Element* now = activeTool->element) {
        now->initialize(Element::ResizeKeep);
        const mat4 L = now->localMatrix();
        activeTool->transform = mat4::inverse(L);
        activeTool->pivot = L;
    }
    target->addChild(activeTool->cloneObject(mat4::Identity(), false, false), false);
    // The records name objects by list position, which the new object
    // shifts: none of them may act after this change.
    clearHistory();
    scene->toList();
    resetState(true);
    actionMode = ModeIdle;
}

void GestureSteps::releaseDrawPickSection() {
    if (!activeTool) return;
    pickAgain();
    Tool* target = targetBrush.pickedTool;
    Curve* curve = targetBrush.hit() && target ? sectionCurveOf(target->element) : nullptr;
    if (curve) {
        Element* e = activeTool->element;
        if (toolCreation == CreateTube) {
            if (auto* t = dynamic_cast<Tube*>(e)) t->setProfile(curve);
        } else if (toolCreation == CreateRevoluton) {
            if (auto* r = dynamic_cast<Revoluton*>(e)) r->setSection(curve);
        }
        if (toolCreation == CreateTube || toolCreation == CreateRevoluton) curve->touch();
    }
    actionMode = ModeIdle;
}

void GestureSteps::releaseMakeUniform() {
    pickAgain();
    Tool* target = targetBrush.pickedTool;
    Element* e = targetBrush.hit() && target ? target->element : nullptr;
    auto plain = [](Curve* c) { return c && c->curveType != Curve::UniformCurve; };
    if (auto* t = dynamic_cast<Tube*>(e)) {
        if (plain(t->path)) t->setPath(new UCurve(t->path, Curve::UniformCurve));
    } else if (auto* r = dynamic_cast<Revoluton*>(e)) {
        if (plain(r->profile)) r->setProfile(new UCurve(r->profile, Curve::UniformCurve));
    } else if (e && e->isType(Element::TType::Curve) && plain(static_cast<Curve*>(e))) {
        target->setElement(new UCurve(static_cast<Curve*>(e), Curve::UniformCurve));
    }
    resetState(false);
    actionMode = ModeIdle;
}

}  // namespace qel
