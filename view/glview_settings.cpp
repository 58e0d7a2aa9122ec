// The view's settings as the menu commands change them, and the questions
// about its mode that the interaction code, the render pipeline and the
// status text ask every frame.
//
// Modes and actions come in pairs: the selected value (the menu's choice)
// and the effective one (what acts now, changed for one gesture by modifier
// keys). The setters write both.

#include "view/glview.h"
#include "view/mouse.h"

namespace qel {

namespace {

// v within lo..hi; a value that is not a number becomes lo.
float clamped(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// A drawing is under way: a gesture runs in assembly mode with Draw in
// effect.
bool drawingUnderWay(const GLView& view) {
    return view.interactionState != 0 && view.actionMode == GLView::ModeAssembly &&
           view.assemblyAction == GLView::ActionDraw;
}

// A drawn stroke is held: a drawing is under way, the left button is down
// and drawing is set.
bool strokeHeld(const GLView& view) { return drawingUnderWay(view) && mouse.left && view.drawing; }

// The last stamp of the last stroke, or null.
ABrush* newestStamp(GLView& view) {
    std::vector<AStroke>& strokes = view.assemblor.strokes;
    if (strokes.empty() || strokes.back().stamps.empty()) return nullptr;
    return &strokes.back().stamps.back();
}

// Stores a drawing option; on a change a drawing under way is rebuilt.
void setDrawingOption(GLView& view, std::uint8_t& option, bool on) {
    if (option == std::uint8_t(on)) return;
    option = on;
    if (drawingUnderWay(view)) view.updateDrawing();
}

}  // namespace

void GLView::setActionMode(TActionMode m) {
    selectedActionMode = actionMode = m;
    redraw = 1;
}

void GLView::setSculptAction(Sculptor::TAction a) {
    selectedSculptAction = sculptAction = a;
    redraw = 1;
}

void GLView::setSculptSelect(Sculptor::TSelect s) {
    selectedSculptSelect = sculptSelect = s;
    redraw = 1;
}

void GLView::setSculptProperty(Sculptor::TProperty p) {
    selectedSculptProperty = sculptProperty = p;
    redraw = 1;
}

void GLView::setViewType(TViewType t) {
    if (t == viewType) return;
    viewType = t;
    resetState(false);
    actionMode = selectedActionMode;
    assemblyAction = selectedAssemblyAction;
    sculptAction = selectedSculptAction;
    redraw = 1;
}

void GLView::setFOV(float degrees) {
    // Outside 0..180 the perspective has no finite focus distance.
    if (!(degrees > 0.0f && degrees < 180.0f)) return;
    fov = degrees;
    if (viewType != ViewOrthogonal) redraw = 1;
}

void GLView::setFrameType(TFrameType t) {
    if (t == frameType) return;
    frameType = t;
    redraw = 1;
}

void GLView::setTransformerType(TTransformerType t) {
    if (t == transformerType) return;
    transformerType = t;
    redraw = 1;
}

void GLView::setWireframe(bool on) {
    if (std::uint8_t(on) == wireframe) return;
    wireframe = on;
    setContour();
}

void GLView::setSelection(bool on) {
    if (std::uint8_t(on) == selectionDisplay) return;
    selectionDisplay = on;
    setContour();
}

void GLView::setContour() {
    renderMode = std::uint32_t(wireframe + 2 * selectionDisplay);
    redraw = 1;
}

void GLView::setSymmetry(bool mx, bool my, bool mz, bool rx, bool ry, bool rz, int items) {
    symmetry = {mx, my, mz, rx, ry, rz};
    symmetryItems = items;
}

void GLView::setDrawSymmetry(bool mx, bool my, bool mz, bool rx, bool ry, bool rz, int items) {
    drawSymmetry = {mx, my, mz, rx, ry, rz};
    drawSymmetryItems = items;
}

void GLView::setClosedDrawing(bool on) {
    setDrawingOption(*this, closedDrawing, on);
    redraw = 1;
}

void GLView::setSnapSymmetry(bool on) {
    setDrawingOption(*this, snapSymmetry, on);
    redraw = 1;
}

void GLView::setSnapGrid(bool on) {
    setDrawingOption(*this, snapGrid, on);
    redraw = 1;
}

void GLView::setBrushSize(float size) {
    brushSize = clamped(size, 1.0f, 2000.0f);
    if (strokeHeld(*this)) {
        if (ABrush* newest = newestStamp(*this)) newest->radius = brushSize;
        updateDrawing();
    }
    redraw = 1;
}

void GLView::setBrushElevation(float elevation) {
    brushElevation = clamped(elevation, -1.0f, 1.0f);
    if (strokeHeld(*this)) {
        if (ABrush* newest = newestStamp(*this)) newest->radius = brushSize;
        updateDrawing();
    }
    redraw = 1;
}

bool GLView::inside() const { return inside(mouse.position); }

bool GLView::inside(const vec2& p) const {
    return !outside && 0.0f < p.x && p.x + 1.0f < float(width) && 0.0f < p.y && p.y + 1.0f < float(height);
}

std::int32_t GLView::hierarchy(bool toParent) const {
    if (simple()) return toParent ? 1 : 2;
    return hierarchyMode;
}

GLView::TAssemblyAction GLView::iassemblyAction() const {
    return simple() && assemblyAction == ActionInsert ? ActionPlace : assemblyAction;
}

}  // namespace qel
