// The key half of the view's input state machine: Escape, Backspace and the
// segment kinds of a drawing, Return to finish it, and the effective actions
// that held digit and modifier keys derive from the ones the menus chose.
// Also the reset of every gesture and the pointer's entering and leaving.

#include <cstdint>

#include "core/mat.h"
#include "curves/curve.h"
#include "elements/revoluton.h"
#include "mesh/mesh.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/tool.h"
#include "view/act_structure.h"
#include "view/gesture_steps.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/mouse.h"

namespace qel {

namespace {

constexpr std::uint8_t digit(int n) { return std::uint8_t('0' + n); }

// The first of the digits 1..count held now, or 0 for none.
int firstHeldDigit(int count) {
    for (int n = 1; n <= count; ++n)
        if (keys.held(digit(n))) return n;
    return 0;
}

bool modifierChanged() {
    for (std::uint8_t code : {Keyboard::KeyControl, Keyboard::KeyAlt, Keyboard::KeyShift})
        if (keys.pairs[code][0] != keys.pairs[code][1]) return true;
    return false;
}

// The sculpt actions that an Escape cancels: the erasers, the plane cuts and
// the sphere actions with their reversed forms.
bool escapable(Sculptor::TAction a) {
    return (a >= Sculptor::EraseComponent && a <= Sculptor::EraseFeature) ||
           (a >= Sculptor::CutPlane && a <= Sculptor::SubPlane) ||
           (a >= Sculptor::CutSphere && a <= Sculptor::SubSphereReverse);
}

using A = GLView::TAssemblyAction;
constexpr A Unchanged = A(-1);  // the digit leaves the effective action as it is

// The swaps that held digits 1..3 make at any time, for the selected action.
struct DigitRow {
    A selected;
    A swaps[6];
};
constexpr DigitRow AnyTimeSwaps[] = {
    {GLView::ActionMove, {GLView::ActionRotate, GLView::ActionScale, Unchanged}},
    {GLView::ActionRotate, {GLView::ActionMove, GLView::ActionScale, GLView::ActionRotateMultiplicity}},
    {GLView::ActionScale, {GLView::ActionMove, GLView::ActionRotate, A(24)}},
    {GLView::ActionAlign, {GLView::ActionCounterAlign, Unchanged, Unchanged}},
    {GLView::ActionCounterAlign, {GLView::ActionAlign, Unchanged, Unchanged}},
};

// The swaps that held digits 1..6 make while no gesture runs. Draw is
// handled apart: its digits depend on the creation tool.
constexpr A U = Unchanged;
constexpr DigitRow IdleSwaps[] = {
    {GLView::ActionInsert,
     {GLView::ActionPick, GLView::ActionRemove, GLView::ActionMultiply, GLView::ActionDetachComponent,
      GLView::ActionPickComponent, A(7)}},
    {GLView::ActionPlace,
     {GLView::ActionPick, GLView::ActionRemove, GLView::ActionMultiply, GLView::ActionDetachComponent,
      GLView::ActionPickComponent, A(7)}},
    {GLView::ActionMaterial,
     {GLView::ActionPickMaterial, GLView::ActionMatchMaterial, GLView::ActionColorIsLight, GLView::ActionMakeSprite, U,
      U}},
    {GLView::ActionLink, {GLView::ActionUnlink, U, U, U, U, U}},
    {GLView::ActionUnlink, {GLView::ActionLink, U, U, U, U, U}},
    {GLView::ActionConstrainRotation,
     {GLView::ActionCounterConstrainRotation, GLView::ActionRemoveRotationConstraint, U, U, U, U}},
    {GLView::ActionConstrainTranslation,
     {GLView::ActionCounterConstrainTranslation, GLView::ActionRemoveTranslationConstraint, U, U, U, U}},
    {GLView::ActionMatchPivot, {GLView::ActionMatchObjectPivot, GLView::ActionOrientation, U, U, U, U}},
    {GLView::ActionSpeed, {GLView::ActionDelay, U, U, U, U, U}},
};

// The row of `selected` in a table, or null.
template <std::size_t N>
const DigitRow* findRow(const DigitRow (&table)[N], A selected) {
    for (const DigitRow& row : table)
        if (row.selected == selected) return &row;
    return nullptr;
}

}  // namespace

void GLView::resetState(bool reloadTool) {
    // A sculpt stroke cut short (Escape, a command) ends here: the element
    // forgets what the stroke kept, as a finished stroke would.
    if (!sculptors.empty() && pickBrush.pickedTool && pickBrush.pickedTool->element)
        pickBrush.pickedTool->element->clearStroke();
    pickBrush = ABrush();
    targetBrush = ABrush();
    assemblor.reset();
    assemblor.strokes.clear();
    assemblor.stamps.clear();
    // A stroke cut short keeps no gesture alive: its Sculptors are the view's.
    for (Sculptor* s : sculptors) delete s;
    sculptors.clear();
    copySource = nullptr;
    interactionState = 0;
    if (reloadTool) UpdateActiveTool();
}

// The pointer crossed the view's border. Input recorded before the crossing
// that still waits (the rest of a slow stroke and its release) is taken
// first, on the side where it happened: the crossing waits in the latch for
// its frame. Otherwise the view turns to the other side at once.
void GLView::enterEvent() { crossBorder(true); }

void GLView::leaveEvent() { crossBorder(false); }

void GLView::crossBorder(bool inside) {
    if (!inputLatch.empty()) {
        inputLatch.cross(inside);
        return;
    }
    // Keys may have changed in another window meanwhile: outside the view a
    // key's release may go elsewhere.
    inputLatch.forgetKeys();
    crossed(inside);
}

// A drag under way keeps its mode and actions across the border: its
// release ends it wherever the pointer is, with the steps of its own action.
void GLView::crossed(bool inside) {
    keys.clear();
    if (!dragUnderWay()) {
        if (inside) {
            setActionMode(selectedActionMode);
        } else {
            actionMode = ModeIdle;
        }
        restoreSelectedActions();
    }
    outside = !inside;
    redraw = 1;
}

bool GLView::dragUnderWay() const { return interactionState != 0 && (mouse.left || mouse.right); }

void GLView::restoreSelectedActions() {
    setAssemblyAction(selectedAssemblyAction);
    setSculptAction(selectedSculptAction);
    setSculptSelect(selectedSculptSelect);
    setSculptProperty(selectedSculptProperty);
}

void GestureSteps::setState() {
    escapeKey();
    backspaceKey();
    segmentKind();
    returnKey();
    if (selectedActionMode == ModeAssembly)
        assemblyKeys();
    else if (selectedActionMode == ModeSculpt)
        sculptKeys();
}

bool GestureSteps::drawingKeysApply(bool leftHeld) const {
    return interactionState != 0 && (mouse.left != 0) == leftHeld && actionMode == ModeAssembly &&
           iassemblyAction() == ActionDraw;
}

void GestureSteps::escapeKey() {
    if (!keys.pressed(Keyboard::KeyEscape) || interactionState == 0) return;
    if (actionMode == ModeSculpt) {
        if (!escapable(sculptAction)) return;
        resetState(false);
        if (mouse.left) actionMode = ModeIdle;
        return;
    }
    if (actionMode != ModeAssembly) return;
    if (copySource && !undoHistory.empty()) dropCopyRecord();
    if (iassemblyAction() == ActionDraw && !assemblor.stamps.empty() && !assemblor.strokes.empty()) {
        // Only the strokes go; the single stamps and the count stay.
        assemblor.state = Gesture::Idle;
        assemblor.strokes.clear();
        updateDrawing();
        return;
    }
    resetState(iassemblyAction() == ActionDraw);
    if (mouse.left) actionMode = ModeIdle;
}

void GestureSteps::dropCopyRecord() {
    if (historyIndex >= 0 && std::size_t(historyIndex) < undoHistory.size()) {
        undoHistory[std::size_t(historyIndex)]->apply();
        --historyIndex;
    }
    delete undoHistory.back();
    undoHistory.pop_back();
    if (historyIndex >= std::int32_t(undoHistory.size())) historyIndex = std::int32_t(undoHistory.size()) - 1;
}

void GestureSteps::backspaceKey() {
    if (!Keyboard::eventBackspace || !drawingKeysApply(false)) return;
    const std::size_t points = assemblor.stamps.size() + assemblor.strokeStamps();
    if (points < 2) {
        resetState(true);
        return;
    }
    if (!assemblor.strokes.empty()) {
        std::vector<ABrush>& last = assemblor.strokes.back().stamps;
        if (!last.empty()) last.pop_back();
        if (last.empty()) assemblor.strokes.pop_back();
        updateDrawing();
        if (assemblor.strokes.empty()) interactionState = std::uint8_t(assemblor.stamps.size() + 1);
        return;
    }
    assemblor.stamps.pop_back();
    interactionState = std::uint8_t(assemblor.stamps.size());
}

void GestureSteps::segmentKind() {
    if (!modifierChanged() || !drawingKeysApply(true) || assemblor.strokes.empty()) return;
    std::vector<ABrush>& last = assemblor.strokes.back().stamps;
    if (last.empty() || last.back().kind == 0) return;
    if (keys.held(Keyboard::KeyControl))
        last.back().kind = 3;
    else if (keys.held(Keyboard::KeyAlt))
        last.back().kind = 2;
    else if (keys.held(Keyboard::KeyShift))
        last.back().kind = 1;
    updateDrawing();
}

void GestureSteps::returnKey() {
    if (!keys.held(Keyboard::KeyReturn) || !drawingKeysApply(false)) return;
    // A drawing that gives no sound element ends without adding anything,
    // and the status bar says why.
    const QString refusal = activeTool ? drawingRefusal() : QString();
    if (!refusal.isEmpty()) {
        emit notice(refusal);
        resetState(true);
        return;
    }
    if (activeTool && isProfile(toolCreation)) {
        // The outline becomes a flat mesh.
        Mesh* mesh = drawnProfileMesh();
        if (!mesh) {
            emit notice("Nothing was added: the outline encloses no area.");
            resetState(true);
            return;
        }
        activeTool->setElement(mesh);
    } else if (activeTool && toolCreation == CreateRevoluton && keys.held(Keyboard::KeyAlt)) {
        // Alt closes an open drawn profile onto the axis.
        if (!closeProfileOntoAxis()) {
            emit notice(
                "Nothing was added: the profile is not one connected line, so it cannot be closed onto the axis.");
            resetState(true);
            return;
        }
    }
    Element* e = activeTool ? activeTool->element : nullptr;
    if (e) placeDrawing(*e);
    resetState(true);
}

bool GestureSteps::closeProfileOntoAxis() {
    auto* r = dynamic_cast<Revoluton*>(activeTool->element);
    Curve* c = r ? r->profile : nullptr;
    const int n = c ? c->vertexCount() : 0;
    if (n == 0) return false;
    // A loop drawn closed has no ends to join to the axis.
    bool open = c->status != 0;
    for (const CurveVertex& v : c->vertices) open = open || (v.isActive() && v.isEnd());
    if (!open) return true;
    // Each end gets an edge to its foot on the axis.
    const float yLast = c->vertices[std::size_t(n - 1)].position.y;
    const float yFirst = c->vertices[0].position.y;
    c->vertexAdd(vec3(0, yLast, 0));
    c->edgeAdd(n - 1, n);
    c->vertexAdd(vec3(0, yFirst, 0));
    c->edgeAdd(n + 1, 0);
    c->touch();
    r->initialize(Element::ResizeKeep);
    return c->status == 0;
}

void GestureSteps::placeDrawing(Element& e) {
    const float s = e.size();
    // A quarter turn about x: the object's frame stands up on an object and
    // lies down on the screen plane. The element turns back by the opposite
    // quarter turn, so that the placed object keeps the world positions the
    // drawing had while it was drawn.
    const float a = pickBrush.selection == ABrush::OnObject ? -1.0f : 1.0f;
    const mat4 P(1, 0, 0, 0, 0, 0, a, 0, 0, -a, 0, 0, 0, 0, 0, 1);
    const mat4 back(1, 0, 0, 0, 0, 0, -a, 0, 0, a, 0, 0, 0, 0, 0, 1);
    const mat4 transform = back * mat4::Translation(e.centre / s);
    mat4 Q = P * mat4::Scale(s);
    if (!assemblor.stamps.empty()) Q = drawingFrame * Q;
    std::vector<mat4> moved;
    moved.reserve(placements.size());
    for (const mat4& M : placements) moved.push_back(M * Q);
    // A degenerate drawing gives no object: nothing non-finite may reach
    // the scene or its file.
    bool finite = transform.isFinite();
    for (const mat4& M : moved) finite = finite && M.isFinite();
    if (!finite) {
        emit notice("Nothing was added: the drawing has no size.");
        return;
    }
    activeTool->transform = transform;
    placements = std::move(moved);
    if (toolCreation == CreateArray && auxiliaryTools.empty()) {
        emit notice("Nothing was added: the array has no items to repeat.");
        return;
    }
    pushAct(new ActObjectAdd(scene, pickBrush.objectId, activeTool, placements, hierarchy(false), onAllInstances(),
                             linkedMode != 0));
}

void GestureSteps::assemblyKeys() {
    Tool::ShowHandles = showHandles;
    if (!keys.held(digit(1)) && actionMode == ModeSculpt) setActionMode(ModeAssembly);
    if (const DigitRow* row = findRow(AnyTimeSwaps, selectedAssemblyAction)) {
        const int n = firstHeldDigit(3);
        const A swap = n ? row->swaps[n - 1] : selectedAssemblyAction;
        if (swap != Unchanged) assemblyAction = swap;
    }
    if (interactionState == 0) idleAssemblyKeys();
    if (assemblyAction == ActionInsert && activeTool && activeTool->isBiTool()) assemblyAction = ActionPlace;
}

void GestureSteps::idleAssemblyKeys() {
    const int n = firstHeldDigit(6);
    if (selectedAssemblyAction == ActionDraw) {
        drawDigit(n);
        return;
    }
    const DigitRow* row = findRow(IdleSwaps, selectedAssemblyAction);
    if (!row) return;
    const A swap = n ? row->swaps[n - 1] : selectedAssemblyAction;
    if (swap != Unchanged) assemblyAction = swap;
}

void GestureSteps::drawDigit(int n) {
    switch (n) {
        case 0:
            assemblyAction = ActionDraw;
            break;
        case 1:
            // Smoothing the drawn tool: the handles hide until digit 1 is
            // released and the assembly mode returns.
            showHandles = Tool::ShowHandles;
            Tool::ShowHandles = 0;
            actionMode = ModeSculpt;
            sculptAction = Sculptor::Smooth;
            sculptSelect = Sculptor::SelectComponent;
            break;
        case 2:
            assemblyAction = ActionRemove;
            break;
        case 3:
            assemblyAction = ActionDrawPickAxis;
            break;
        case 4:
            assemblyAction = toolCreation == CreateArray ? ActionArrayPickItem : ActionDrawPickSection;
            break;
        case 5:
            if (isArray(toolCreation)) assemblyAction = ActionArrayPick;
            break;
        default:
            assemblyAction = ActionMakeUniform;
            break;
    }
}

void GestureSteps::sculptKeys() {
    Tool::ShowHandles = 0;
    const bool control = keys.held(Keyboard::KeyControl);
    const Sculptor::TAction selected = selectedSculptAction;
    if (control && selected >= Sculptor::CutSphere && selected <= Sculptor::SubSphere) {
        sculptAction = Sculptor::TAction(selected + 4);
        return;
    }
    if (mouse.left) return;
    if (selected == Sculptor::CutPlane && pickedSweptElement()) {
        if (control) {
            sculptAction = Sculptor::PlacePoint;
            sculptSelect = Sculptor::SelectPatch;
        } else {
            setSculptAction(Sculptor::CutPlane);
            setSculptSelect(selectedSculptSelect);
            setSculptProperty(selectedSculptProperty);
        }
        return;
    }
    sculptDigits();
    if (control) {
        if (selected == Sculptor::Move) sculptAction = Sculptor::CopyMove;
        if (selected == Sculptor::Rotate) sculptAction = Sculptor::CopyRotate;
        if (selected == Sculptor::Scale) sculptAction = Sculptor::CopyScale;
    }
}

bool GestureSteps::pickedSweptElement() const {
    if (pickBrush.layers == 0 || !pickBrush.pickedTool || !pickBrush.pickedTool->element) return false;
    const Element& e = *pickBrush.pickedTool->element;
    return e.isType(Element::TType::Revoluton) || e.isType(Element::TType::Tube);
}

void GestureSteps::sculptDigits() {
    using S = Sculptor;
    const S::TAction selected = selectedSculptAction;
    if (keys.held(digit(1))) {
        switch (selected) {
            case S::Extrude:
                sculptAction = S::ExtrudeScale;
                break;
            case S::ExtrudeScale:
                sculptAction = S::Extrude;
                break;
            case S::SubSphere:
                sculptAction = S::AddSphere;
                break;
            case S::PaintMaterial:
            case S::FillMaterial:
                sculptAction = S::PickMaterial;
                break;
            case S::Scale:
                sculptAction = S::ScaleDirection;
                break;
            case S::ScaleDirection:
                sculptAction = S::Scale;
                break;
            default:
                sculptAction = S::Smooth;
                break;
        }
    } else if (keys.held(digit(2))) {
        switch (selected) {
            case S::Move:
                sculptAction = S::Scale;
                break;
            case S::Rotate:
                sculptAction = S::Move;
                break;
            case S::Scale:
                sculptAction = S::Move;
                break;
            case S::Inflate:
                sculptAction = S::Deflate;
                break;
            case S::Deflate:
                sculptAction = S::Inflate;
                break;
            default:
                sculptAction = selected;
                break;
        }
    } else {
        setSculptAction(selected);
        setSculptSelect(selectedSculptSelect);
        setSculptProperty(selectedSculptProperty);
    }
}

}  // namespace qel
