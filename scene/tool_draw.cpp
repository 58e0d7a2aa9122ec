// Drawing, sculpting and the animation tick of qel::Tool, the setters of
// its material, emission, orientation mode, speed and delay, and the
// class-wide values they read. A tool draws nothing itself: it hands its
// element the matrix, material, emission choice and animation time.

#include "scene/tool.h"

#include "scene/element.h"

namespace qel {

double Tool::GlobalTime = 0.0;
std::uint8_t Tool::ShowHandles = 1;
std::uint8_t Tool::Error = 0;

namespace {

// The scope of the setters: without all, the tool itself (object bit or
// not); with all, every member of its instance ring, starting at the tool,
// that has the object bit and, when sameParent is set and the tool has a
// parent, the tool's parent.
template <class Fn> void forSetterScope(Tool* tool, bool all, bool sameParent, Fn fn) {
    if (!all) {
        fn(tool);
        return;
    }
    Tool* const parent = tool->parent;
    const bool checkParent = sameParent && parent != nullptr;
    Tool* x = tool;
    do {
        if ((x->flags & Tool::FlagObject) && (!checkParent || x->parent == parent)) fn(x);
        x = x->nextInstance;
    } while (x != tool && x != nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Drawing

void Tool::render(unsigned int objectId, const mat4& m, unsigned int itemId) {
    if (isEmpty() || !element) return;
    const Element::TColorLight emission =
        (flags & FlagColorIsLight) ? Element::ColorAsLight : Element::ColorAsColor;
    // The element runs at its own phase and pace: (delay + time) x speed.
    const double t = (double(delay) + time) * double(speed);
    // The matrix first: a tool may replace its element while it computes it
    // (a cable taking a tube of its own), and the element drawn is the new one.
    const mat4 w = transformRender(m);
    if (element) element->render(objectId, itemId, w, material, emission, float(t), true);
}

void Tool::renderFeatures(const mat4& m, const bvec4& colour) {
    if (isEmpty() || !element) return;
    const mat4 w = transformRender(m);
    if (element) element->renderFeatures(w, colour, true);
}

bool Tool::hasFeatures() { return element != nullptr && element->hasFeatures(); }

void Tool::renderAuxiliary(const mat4& m, const bvec4& colour) {
    if (isEmpty() || !element) return;
    const mat4 w = transformRender(m);
    if (element) element->renderAuxiliary(w, colour, true);
}

bool Tool::hasAuxiliary() { return element != nullptr && element->hasAuxiliary(); }

void Tool::sculpt(std::vector<Sculptor*>& sculptors) {
    if (element) element->sculpt(sculptors);
}

// ---------------------------------------------------------------------------
// Animation

bool Tool::timer() {
    time = GlobalTime;
    bool moves = element && element->animate(true, GlobalTime);
    for (Tool* child : children)
        if (child->timer()) moves = true;
    return moves;
}

// ---------------------------------------------------------------------------
// Material, emission, orientation, speed and delay

void Tool::changeMaterial(const pbr& p, unsigned char mask, bool all, bool sameParent) {
    forSetterScope(this, all, sameParent, [&p, mask](Tool* t) { t->material.assign(p, mask); });
}

void Tool::changeColorIsLight(bool on, bool all, bool sameParent) {
    forSetterScope(this, all, sameParent, [on](Tool* t) {
        if (on)
            t->flags = std::uint8_t(t->flags | FlagColorIsLight);
        else
            t->flags = std::uint8_t(t->flags & ~FlagColorIsLight);
    });
}

void Tool::changeOrientation(unsigned char mode, bool all, bool sameParent) {
    // Only the two mode bits change: a mode outside 0, 64, 128, 192 cannot
    // reach the flag bits below them.
    const std::uint8_t bits = std::uint8_t(mode & FlagOrientation);
    forSetterScope(this, all, sameParent,
                   [bits](Tool* t) { t->flags = std::uint8_t((t->flags & ~FlagOrientation) | bits); });
}

void Tool::changeSpeed(float value, bool all, bool sameParent) {
    forSetterScope(this, all, sameParent, [value](Tool* t) { t->speed = value; });
}

void Tool::changeDelay(float value, bool all, bool sameParent) {
    forSetterScope(this, all, sameParent, [value](Tool* t) { t->delay = value; });
}

}  // namespace qel
