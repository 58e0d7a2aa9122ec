// Cloning objects and ramifications.

#include "scene/tool.h"

namespace qel {

// A new plain Tool built from this one: the element through its own copy
// rule, transform, axes, material, multiplicity, speed and delay copied;
// flags = (source AND 0xE0) OR (source AND 4) OR 1, OR 8 for an object.
// Pivot identity (each operation sets it); alone in its ring; no children.
Tool* Tool::makeCopy(bool object) {
    Tool* c = new Tool(element, transform, material, false);
    c->rotationAxis = rotationAxis;
    c->translationAxis = translationAxis;
    c->rotationMultiplicity = rotationMultiplicity;
    c->speed = speed;
    c->delay = delay;
    c->flags = std::uint8_t((flags & 0xE0) | (flags & FlagTransparent) | FlagCreated | (object ? FlagObject : 0));
    return c;
}

// ---- Entry points (slots 0-2) ----

Tool* Tool::cloneTool(bool keepPivot) { return CloneTool(keepPivot, true); }

Tool* Tool::cloneObject(const mat4& m, bool join, bool ramifications) {
    return CloneObject(m, join, ramifications ? 2 : 1);
}

Tool* Tool::cloneObjectRamifications(const mat4& m, bool join) { return CloneObjectRamifications(m, join, 1); }

// ---- Workers (slots 4-6) ----

Tool* Tool::CloneTool(bool keepPivot, bool mark) {
    if (mark) Mark(1);
    Tool* c = makeCopy(false);
    c->pivot = keepPivot ? pivot : mat4::Identity();
    joinInstances(c);
    clone = c;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Tool* child = children[i];
        if (!child->isMarked()) continue;
        Tool* x = child->clone ? child->clone : child->CloneTool(true, false);
        c->addChild(x, false);
    }
    if (mark) Mark(0);
    return c;
}

Tool* Tool::CloneObject(const mat4& m, bool join, unsigned char markMode) {
    if (markMode == 1)
        Mark(1);
    else if (markMode == 2)
        markRamifications(1);
    Tool* c = makeCopy(true);
    c->pivot = m * pivot;  // double precision, rounded once
    if (join) joinInstances(c);
    clone = c;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Tool* child = children[i];
        if (!child->isMarked()) continue;
        Tool* x = child->clone ? child->clone : child->CloneObject(mat4::Identity(), true, 0);
        c->addChild(x, false);
    }
    if (markMode == 1)
        Mark(0);
    else if (markMode == 2)
        markRamifications(0);
    return c;
}

Tool* Tool::CloneObjectRamifications(const mat4& m, bool join, unsigned char mark) {
    if (mark != 0) Mark(1);
    Tool* c = makeCopy(true);
    c->pivot = m * pivot;
    if (join) joinInstances(c);
    clone = c;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Tool* child = children[i];
        Tool* x = child->clone ? child->clone : child->CloneObjectRamifications(mat4::Identity(), true, 0);
        c->addChild(x, false);
    }
    if (mark != 0) Mark(0);
    return c;
}

// ---- Slot 7 ----

void Tool::findRamifications(std::vector<Tool*>& a, std::vector<Tool*>& b, std::vector<Tool*>& c,
                             std::vector<Tool*>& d, std::vector<Tool*>& e, bool markRamification, bool markSubtree,
                             bool /*nested*/) {
    if (markRamification) markRamifications(2);
    if (markSubtree) Mark(1);
    // The top of a region: a tool whose parent is unmarked (or absent).
    if (!parent || parent->mark() == 0) a.push_back(this);
    // A ring boundary: this tool and its next instance with differing marks,
    // or else its previous instance and this tool.
    if (nextInstance->mark() != mark()) {
        d.push_back(this);
        e.push_back(nextInstance);
    } else {
        Tool* prev = previousInstance();
        if (prev->mark() != mark()) {
            d.push_back(prev);
            e.push_back(this);
        }
    }
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->findRamifications(a, b, c, d, e, false, false, true);
    if (markSubtree) Mark(2);
    if (markRamification) markRamifications(0);
}

}  // namespace qel
