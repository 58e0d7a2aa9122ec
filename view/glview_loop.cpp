// The frame loop: one call per timer tick of the host widget. The first calls
// finish the GL start-up; every other call reads the input, moves the
// turntable and the animation on, follows a material edit and renders when
// something asked for a new frame. The environment is built a share per
// frame from the fourth call on, while the frames go on with simple
// rendering, so the window answers input during the build.

#include <algorithm>
#include <chrono>
#include <cmath>

#include "gl/environment.h"
#include "scene/element.h"
#include "scene/scene.h"
#include "scene/sculptor.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/camera.h"
#include "view/glview.h"
#include "view/input_latch.h"
#include "view/keyboard.h"
#include "view/material_editing.h"
#include "view/mouse.h"

namespace qel {

namespace {

// The turntable's turn per frame about the world's y axis: a quarter degree.
constexpr float TurntableStep = 0.004363323f;

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The widget's record becomes the frame's; the frame before moves to the
// previous position and button states. A button change or a motion recorded
// since the last frame comes first, at the pointer position of its event;
// while a button change waits for a later frame the buttons stay as they
// are.
// The pointer moves to `to`; the buttons as they were become the previous
// ones.
void movePointer(const vec2& to) {
    mouse.previous = mouse.position;
    mouse.position = to;
    mouse.delta = mouse.position - mouse.previous;
    mouse.leftPrevious = mouse.left;
    mouse.rightPrevious = mouse.right;
}

void takeMouse(const InputLatch::Frame& latched) {
    movePointer(latched.pointer ? latched.position : mouseRead.position);
    if (latched.buttons) {
        mouse.left = latched.left;
        mouse.right = latched.right;
    } else if (!latched.buttonsWait) {
        mouse.left = mouseRead.left;
        mouse.right = mouseRead.right;
    }
    mouse.wheel = mouseRead.wheel;
}

bool buttonReleased() { return (mouse.leftPrevious && !mouse.left) || (mouse.rightPrevious && !mouse.right); }

}  // namespace

double GLView::EnvironmentShareMs = 150.0;

Texture2D* GLView::MainLoop() {
    if (!ready) return nullptr;
    ready = 0;
    const double elapsed = millisecondsSince(startClock);
    if (!startUp()) {
        ready = 1;
        return nullptr;
    }
    frameInput();
    // The motions still latched are followed within the frame's rendering,
    // as far as the frame's step budget goes; the rest keep the frames
    // coming until they are taken.
    if (inputLatch.motionWaits() || pacer.chasing()) redraw = 1;
    if (turntable) {
        camera->orientation *= mat3::RotationAroundAxis(vec3(0, 1, 0), TurntableStep);
        redraw = 1;
    }
    // The animation time goes on; a frame is drawn only for objects that
    // move with it.
    if (animate && scene->timer(elapsed)) redraw = 1;
    if (materialPending) {
        applyMaterialEdit();
        redraw = 1;
    }
    Texture2D* frame = nullptr;
    if (redraw) {
        pacer.drawingStarts();
        frame = render();
        pacer.drawingEnds();
    }
    mouseRead.wheel = 0.0f;
    Keyboard::eventBackspace = false;
    ready = 1;
    return frame;
}

void GLView::frameInput() {
    // The window's commands given after the input the frames before took
    // (an Undo right after a release) have run before the frame, run by
    // the host with the view as that input left it; the frame takes no
    // input past one still waiting.
    pacer.startFrame();
    // A stroke on its way toward where the hand went goes on there first:
    // what was recorded after waits in the latch.
    if (pacer.chasing()) {
        mouse.wheel = mouseRead.wheel;
        if (mouse.wheel != 0.0f) {
            mouseWheel();
            redraw = 1;
        }
        nextMotion();
        return;
    }
    const InputLatch::Frame latched = inputLatch.take(keys, mouse);
    // The pointer crossed the view's border after the input taken before.
    if (latched.crossing != InputLatch::Frame::NoCrossing) crossed(latched.crossing == InputLatch::Frame::Entered);
    // A button change away from where the pointer was: the pointer first
    // gets there with the buttons it had, so that a gesture follows it to
    // its release or to a drawing's next click, and a press starts from the
    // pickings where it happened (the cursor's poll may have found the
    // pointer elsewhere before the press arrived).
    if (latched.buttons && !(latched.position == mouse.position)) {
        const bool backspace = Keyboard::eventBackspace;
        Keyboard::eventBackspace = false;
        pointerStep(latched.position, false);
        Keyboard::eventBackspace = backspace;
    } else if (latched.buttons && idle() && !(pickedAt == latched.position)) {
        // A press where the pointer rests, its pickings gone since they
        // ran there (an Undo took them): they run again first.
        stepPicks();
    }
    const unsigned keyChange = keys.read(latched.keys);
    const bool backspace = Keyboard::eventBackspace;
    takeMouse(latched);
    // The wheel works while the pointer is outside the view too.
    if (mouse.wheel != 0.0f) {
        mouseWheel();
        redraw = 1;
    }
    if (inputChanged(keyChange, backspace) && inside()) {
        const bool buttons = mouse.left != mouse.leftPrevious || mouse.right != mouse.rightPrevious;
        const bool motionOnly = keyChange == 0 && !backspace && !buttons && mouse.wheel == 0.0f;
        if (motionOnly && skipsStep(inputLatch.motionWaits())) {
            followCursor();
        } else {
            // A sample of a stroke starts the next spacing.
            pacer.sampled();
            runStep();
        }
        redraw = 1;
    } else if (buttonReleased() && !pickHeld) {
        // A release ends its gesture wherever the pointer is.
        mouseUp();
        if (outside && !mouse.left && !mouse.right) actionMode = ModeIdle;
        redraw = 1;
    }
    // A command or key since the last frame may have changed the mode,
    // action or tool a stroke's notice was true under.
    gestures.endOutdatedNotice();
}

void GLView::runStep() {
    // The first pickings of a frame wait for its drawing to finish: only
    // the handlers' work counts.
    pickForStep();
    const bool underWay = !idle();
    const double start = StepPacer::Clock();
    setState();
    mouseDown();
    mouseUp();
    mouseMove();
    // The steps of gestures, the press's and the release's included.
    pacer.stepTaken(StepPacer::Clock() - start, underWay || !idle());
}

void GLView::followCursor() { cursorPixel = {std::int32_t(mouse.position.x), std::int32_t(mouse.position.y)}; }

bool GLView::nextMotion() {
    vec2 position;
    if (!pacer.next(pacedGesture(), inputLatch, mouse.position, position)) return false;
    // The frame's key changes and its Backspace command were the frame's
    // own step.
    Keyboard::eventBackspace = false;
    pointerStep(position, pacer.follows(inputLatch));
    return true;
}

void GLView::pointerStep(const vec2& to, bool motionFollows) {
    movePointer(to);
    mouse.wheel = 0.0f;
    Keyboard::Latched unchanged;
    unchanged.fill(Keyboard::LatchedKeep);
    keys.read(unchanged);
    if (!inputChanged(0, false) || !inside()) return;
    redraw = 1;
    if (idle()) {
        // Hovering: only where a run of motions ends is picked.
        if (motionFollows) {
            followCursor();
            return;
        }
        runStep();
        stepPicks();
        return;
    }
    if (skipsStep(motionFollows)) {
        followCursor();
        return;
    }
    runStep();
}

void GLView::pickForStep() {
    if (idle() || mouse.position == pickedAt) return;
    // The pickings read the pixel under the pointer.
    followCursor();
    stepPicks();
}

bool GLView::skipsStep(bool motionFollows) {
    vec2 to = mouse.position;
    const bool skips = pacer.skips(pacedGesture(), inputLatch, mouse.previous, to, motionFollows);
    mouse.position = to;
    mouse.delta = mouse.position - mouse.previous;
    return skips;
}

StepPacer::Gesture GLView::pacedGesture() const {
    StepPacer::Gesture g;
    const bool held = !idle() && mouse.left && mouse.leftPrevious;
    g.stroke = held && actionMode == ModeSculpt && !sculptors.empty();
    g.folds = held && foldsMotions();
    g.brushSize = brushSize;
    g.inside = [this](const vec2& p) { return inside(p); };
    return g;
}

bool GLView::foldsMotions() const {
    if (actionMode == ModeAssembly)
        return iassemblyAction() == ActionMove && brushProjection == ABrush::SameDepth &&
               !(snapGrid && snapGridValue > 0.0f);
    if (actionMode != ModeSculpt || sculptors.empty() || brushProjection != ABrush::SameDepth) return false;
    const Sculptor::TAction action = sculptors.front()->action;
    if (action != Sculptor::Move && action != Sculptor::CopyMove) return false;
    const Element* e = pickBrush.pickedTool ? pickBrush.pickedTool->element : nullptr;
    return e &&
           (e->isType(Element::TType::Mesh) || e->isType(Element::TType::Curve) || e->isType(Element::TType::UCurve));
}

bool GLView::startUp() {
    switch (startupStep) {
        case 0:
            renderSimple = 1;
            startupStep = 1;
            init();
            render();
            return true;
        case 1:
        case 2:
            ++startupStep;
            return true;
        case 3: {
            const Environment::Build build =
                environment ? environment->build(EnvironmentShareMs) : Environment::Build::Done;
            // The frame goes on with simple rendering until the build ends.
            if (build == Environment::Build::Running) return true;
            if (build == Environment::Build::Failed) {
                delete environment;
                environment = nullptr;
            }
            renderSimple = 0;
            startupStep = 4;
            // The first frame with the environment's light.
            redraw = 1;
            return false;
        }
        default:
            return true;
    }
}

bool GLView::inputChanged(unsigned keyChange, bool backspace) const {
    if (outside || pickHeld) return false;
    // != is true for a NaN coordinate.
    const bool moved = mouse.position.x != mouse.previous.x || mouse.position.y != mouse.previous.y;
    const bool buttons = mouse.left != mouse.leftPrevious || mouse.right != mouse.rightPrevious;
    return moved || buttons || mouse.wheel != 0.0f || keyChange != 0 || backspace;
}

void GLView::applyMaterialEdit() {
    const MaterialEditing& dialogs = *MATERIAL_EDITING;
    const pbr material = dialogs.materialTarget ? *dialogs.materialTarget : dialogs.savedMaterial;
    const unsigned mask = dialogs.maskTarget ? *dialogs.maskTarget : dialogs.savedMask;
    if (materialTool) materialTool->changeMaterial(material, static_cast<unsigned char>(mask & 0xFFu), linked(), false);
    if (dialogs.materialEditorShown()) return;
    materialPending = 0;
    materialTool = nullptr;
    settleMaterialRecord(dialogs.accepted != 0);
}

void GLView::settleMaterialRecord(bool accepted) {
    if (undoHistory.empty()) return;
    if (accepted) {
        // OK with nothing changed: the edit leaves no undoable step.
        if (undoHistory.back()->changed()) return;
        delete undoHistory.back();
        undoHistory.pop_back();
        historyIndex = std::int32_t(undoHistory.size()) - 1;
    } else if (historyIndex >= 0 && std::size_t(historyIndex) < undoHistory.size()) {
        // Cancel: the record puts the old material back and stays above the
        // index, so Redo repeats the edit.
        undoHistory[std::size_t(historyIndex)]->apply();
        --historyIndex;
    }
}

}  // namespace qel
