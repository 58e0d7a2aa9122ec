// Cloning arrays with their templates, and the ramification walk.

#include "tools/array.h"

namespace qel {

namespace {

// Attaches to the copy one copy per child of the source (only the marked
// ones when onlyMarked), re-using a copy already made in this pass.
template <class CopyFn> void copyChildren(Tool* source, Tool* copy, bool onlyMarked, CopyFn copyOf) {
    for (std::size_t i = 0; i < source->children.size(); ++i) {
        Tool* child = source->children[i];
        if (onlyMarked && !child->isMarked()) continue;
        copy->addChild(child->clone ? child->clone : copyOf(child), false);
    }
}

}  // namespace

Array* Array::makeCopy(bool object) {
    auto* c = new Array(curve, {}, {}, type, step, transform, material, (flags & FlagTransparent) != 0);
    c->pattern = pattern;
    c->rotationAxis = rotationAxis;
    c->translationAxis = translationAxis;
    c->rotationMultiplicity = rotationMultiplicity;
    c->speed = speed;
    c->delay = delay;
    c->flags = std::uint8_t((flags & 0xE0) | (c->flags & FlagTransparent) | FlagCreated | (object ? FlagObject : 0));
    return c;
}

template <class CopyFn> void Array::copySlots(Array* copy, bool onlyMarked, CopyFn copyOf) {
    copy->items.reserve(items.size());
    for (Tool* t : items) {
        // An unmarked template keeps its slot, empty, so that the pattern's
        // item numbers still name the same slots.
        Tool* x = nullptr;
        if (t && (!onlyMarked || t->isMarked())) x = t->clone ? t->clone : copyOf(t);
        if (x) x->parent = copy;
        copy->items.push_back(x);
    }
}

Tool* Array::CloneTool(bool keepPivot, bool markPass) {
    if (markPass) Mark(1);
    Array* c = makeCopy(false);
    c->pivot = keepPivot ? pivot : mat4::Identity();
    joinInstances(c);
    clone = c;
    const auto copyOf = [](Tool* t) { return t->CloneTool(true, false); };
    copyChildren(this, c, true, copyOf);
    copySlots(c, true, copyOf);
    if (markPass) Mark(0);
    return c;
}

Tool* Array::CloneObject(const mat4& placement, bool join, unsigned char markMode) {
    if (markMode == 1)
        Mark(1);
    else if (markMode == 2)
        markRamifications(1);
    Array* c = makeCopy(true);
    c->pivot = placement * pivot;  // double precision, rounded once
    if (join) joinInstances(c);
    clone = c;
    const auto copyOf = [](Tool* t) { return t->CloneObject(mat4::Identity(), true, 0); };
    copyChildren(this, c, true, copyOf);
    copySlots(c, true, copyOf);
    if (markMode == 1)
        Mark(0);
    else if (markMode == 2)
        markRamifications(0);
    return c;
}

Tool* Array::CloneObjectRamifications(const mat4& placement, bool join, unsigned char markPass) {
    if (markPass != 0) Mark(1);
    Array* c = makeCopy(true);
    c->pivot = placement * pivot;
    if (join) joinInstances(c);
    clone = c;
    const auto copyOf = [](Tool* t) { return t->CloneObjectRamifications(mat4::Identity(), true, 0); };
    copyChildren(this, c, false, copyOf);
    copySlots(c, false, copyOf);
    if (markPass != 0) Mark(0);
    return c;
}

void Array::findRamifications(std::vector<Tool*>& a, std::vector<Tool*>& b, std::vector<Tool*>& c,
                              std::vector<Tool*>& d, std::vector<Tool*>& e, bool markRamification, bool markSubtree,
                              bool nested) {
    // The marks stay set while the templates are visited, so that a template
    // (whose parent is this array) is never taken for the top of a region.
    if (markRamification) markRamifications(2);
    if (markSubtree) Mark(1);
    Tool::findRamifications(a, b, c, d, e, false, false, nested);
    for (Tool* t : items)
        if (t) t->findRamifications(a, b, c, d, e, false, false, true);
    if (markSubtree) Mark(2);
    if (markRamification) markRamifications(0);
}

}  // namespace qel
