// The seam between the view and the steps of its input state machine: the
// view's entry points forwarded to its GestureSteps, the view's fields bound
// by reference, and the view's operations the steps call forwarded back.

#include "view/gesture_steps.h"

#include "view/glview.h"

namespace qel {

GestureSteps::GestureSteps(GLView& view)
    : view_(view),
      scene(view.scene),
      undoHistory(view.undoHistory),
      historyIndex(view.historyIndex),
      asker(view.asker),
      viewPreset(view.viewPreset),
      showHandles(view.showHandles),
      menuAwaitsPick(view.menuAwaitsPick),
      interactionState(view.interactionState),
      selectedActionMode(view.selectedActionMode),
      actionMode(view.actionMode),
      selectedAssemblyAction(view.selectedAssemblyAction),
      assemblyAction(view.assemblyAction),
      selectedSculptAction(view.selectedSculptAction),
      sculptAction(view.sculptAction),
      selectedSculptSelect(view.selectedSculptSelect),
      sculptSelect(view.sculptSelect),
      selectedSculptProperty(view.selectedSculptProperty),
      sculptProperty(view.sculptProperty),
      toolCreation(view.toolCreation),
      transformerType(view.transformerType),
      linkedMode(view.linkedMode),
      arrayCounts(view.arrayCounts),
      auxiliaryTools(view.auxiliaryTools),
      solidShape(view.solidShape),
      activeTool(view.activeTool),
      activeToolAux(view.activeToolAux),
      activeToolProperties(view.activeToolProperties),
      brushProjection(view.brushProjection),
      pickBrush(view.pickBrush),
      targetBrush(view.targetBrush),
      materialPending(view.materialPending),
      materialTool(view.materialTool),
      assemblor(view.assemblor),
      ikLevel(view.ikLevel),
      dragTools(view.dragTools),
      dragMatrices(view.dragMatrices),
      brushMaterialMask(view.brushMaterialMask),
      stamps(view.stamps),
      sculptors(view.sculptors),
      copySource(view.copySource),
      closedDrawing(view.closedDrawing),
      axisSection(view.axisSection),
      placements(view.placements),
      drawingPlane(view.drawingPlane),
      drawingFrame(view.drawingFrame),
      brushSize(view.brushSize),
      brushMaterial(view.brushMaterial),
      cursorPixel(view.cursorPixel),
      dragDistance(view.dragDistance),
      cornerPending(view.cornerPending),
      copyFrame(view.copyFrame) {}

// ---- The view's entry points ----
void GLView::setState() { gestures.setState(); }
void GLView::mouseDown() { gestures.mouseDown(); }
void GLView::mouseMove() { gestures.mouseMove(); }
void GLView::mouseUp() { gestures.mouseUp(); }
void GLView::releaseAssembly(TAssemblyAction action) { gestures.releaseAssembly(action); }

// ---- The view's operations ----
void GestureSteps::resetState(bool reloadTool) { view_.resetState(reloadTool); }
void GestureSteps::setActionMode(TActionMode m) { view_.setActionMode(m); }
void GestureSteps::setSculptAction(Sculptor::TAction a) { view_.setSculptAction(a); }
void GestureSteps::setSculptSelect(Sculptor::TSelect s) { view_.setSculptSelect(s); }
void GestureSteps::setSculptProperty(Sculptor::TProperty p) { view_.setSculptProperty(p); }
Tool* GestureSteps::setActiveTool(TToolCreation value, bool applyMaterial) {
    return view_.setActiveTool(value, applyMaterial);
}
GestureSteps::TAssemblyAction GestureSteps::iassemblyAction() const { return view_.iassemblyAction(); }
bool GestureSteps::linked() const { return view_.linked(); }
bool GestureSteps::onAllInstances() const { return view_.onAllInstances(); }
std::int32_t GestureSteps::hierarchy(bool toParent) const { return view_.hierarchy(toParent); }
bool GestureSteps::inside() const { return view_.inside(); }
vec3 GestureSteps::ScreenNormal() const { return view_.ScreenNormal(); }
void GestureSteps::rotate(float x, float y, float z) { view_.rotate(x, y, z); }
void GestureSteps::translate(float x, float y, float z) { view_.translate(x, y, z); }
ABrush GestureSteps::selection(ABrush::TSelection mode, ABrush* previous) { return view_.selection(mode, previous); }
bool GestureSteps::select() { return view_.select(); }
bool GestureSteps::pick(Tool* tool, unsigned char scope) { return view_.pick(tool, scope); }
void GestureSteps::quickSave() { view_.quickSave(); }
void GestureSteps::openMaterialDialog(MaterialEditing& dialogs, pbr* target, const QString& title) {
    view_.openMaterialDialog(dialogs, target, title);
}
void GestureSteps::updateDrawing() { view_.updateDrawing(); }
void GestureSteps::pushAct(Act* record) { view_.pushAct(record); }
void GestureSteps::clearHistory() { view_.clearHistory(); }
void GestureSteps::notice(const QString& text) { emit view_.notice(text); }
void GestureSteps::noticeEnded(const QString& text) { emit view_.noticeEnded(text); }
void GestureSteps::openMenu() { emit view_.openMenu(); }

}  // namespace qel
