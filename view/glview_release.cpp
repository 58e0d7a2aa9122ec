// The button release: what ends the gesture a press began. A left release
// runs the last step of a sculpt stroke or the release step of the assembly
// action; the ending of a move, turn or scale drag keeps its undo record only
// when something moved. A common ending then brings the selected mode and
// actions back and lets the key half of the state machine look again.

#include <cstdint>
#include <string>

#include "elements/swept_element.h"
#include "scene/tool.h"
#include "view/act.h"
#include "view/gesture_steps.h"
#include "view/glview.h"
#include "view/mouse.h"

namespace qel {

namespace {

// What a stroke that left a tube's or revoluton's curves with more surface
// than one surface may be built with says: the surface is left out and the
// element drawn as its path. Empty for any other element, and for one
// within the limit.
std::string surfaceLeftOutText(const Element* e) {
    const auto* swept = dynamic_cast<const SweptElement*>(e);
    if (!swept) return std::string();
    const std::uint64_t vertices = swept->surfaceVertices();
    if (vertices <= swept->vbo.mostVertices) return std::string();
    const std::string name = swept->isType(Element::TType::Tube) ? "tube" : "revoluton";
    return "The " + name + "'s curves now give " + SweptElement::cornersText(vertices, swept->boxVertices()) + ", " +
           swept->overLimitReason() + "; the " + name + " is drawn as its path until its curves give fewer.";
}

}  // namespace

void GestureSteps::mouseUp() {
    const bool leftReleased = mouse.leftPrevious && !mouse.left;
    const bool rightReleased = mouse.rightPrevious && !mouse.right;
    // A release ends its gesture wherever the pointer is: the steps below
    // work from what the last frame inside the view picked.
    if (!leftReleased && !rightReleased) return;
    const TAssemblyAction action = iassemblyAction();
    const bool filtered = actionMode == ModeSculpt || (actionMode == ModeAssembly && action >= 0 && action <= 50);
    if (filtered) {
        // A right release during a left drag: the drag goes on.
        if (mouse.leftPrevious && mouse.left) return;
        if (leftReleased) {
            if (actionMode == ModeSculpt)
                releaseSculpt();
            else if (action == ActionMove || action == ActionRotate || action == ActionScale ||
                     action == ActionRotateScale)
                releaseTransform();
            else
                releaseAssembly(action);
        }
    }
    endGesture();
}

void GestureSteps::releaseSculpt() {
    if (interactionState == 0 || !pickBrush.hit() || !pickBrush.pickedTool) return;
    if (sculptAction == Sculptor::PickMaterial) {
        brushMaterial = targetBrush.pickedMaterial;
        return;
    }
    // The last sample; the element sees the gestures ended and runs what a
    // finished stroke does once.
    addSculptSamples(true);
    pickBrush.pickedTool->sculpt(sculptors);
    for (Sculptor* s : sculptors) delete s;
    sculptors.clear();
    // A surface the stroke took past the limit vanishes into its path line:
    // the user is told why.
    const std::string leftOut = surfaceLeftOutText(pickBrush.pickedTool->element);
    if (!leftOut.empty()) emit notice(QString::fromStdString(leftOut));
}

void GestureSteps::releaseTransform() {
    if (interactionState != 1 || !pickBrush.hit()) return;
    // The press pushed the drag's record: a drag that moved nothing leaves
    // no step for Undo.
    if (!undoHistory.empty()) {
        const int kind = undoHistory.back()->kind;
        if (kind == Act::KindTransform || kind == Act::KindCopyTransform) dropUnchangedRecord(kind);
    }
    // The copy a linked copying drag made becomes an instance of its source.
    if (copySource && linked() && pickBrush.pickedTool) copySource->joinInstances(pickBrush.pickedTool);
    copySource = nullptr;
    actionMode = ModeIdle;
}

void GestureSteps::endGesture() {
    if (mouse.left || mouse.right) return;
    // A drawing stays under way between its clicks.
    if (actionMode == ModeAssembly && iassemblyAction() == ActionDraw) return;
    const bool drawingInterrupted = selectedActionMode == ModeAssembly && selectedAssemblyAction == ActionDraw &&
                                    actionMode == ModeView && (!assemblor.strokes.empty() || !assemblor.stamps.empty());
    if (drawingInterrupted) {
        // A view drag during a drawing: back to the drawing, strokes kept.
        actionMode = ModeAssembly;
        assemblyAction = selectedAssemblyAction;
    } else {
        // A multi-step gesture (a drawing's axis points) survives the reset.
        const std::uint8_t kept = interactionState > 1 ? interactionState : 0;
        resetState(false);
        interactionState = kept;
        actionMode = selectedActionMode;
        assemblyAction = selectedAssemblyAction;
    }
    sculptAction = selectedSculptAction;
    setState();
}

}  // namespace qel
