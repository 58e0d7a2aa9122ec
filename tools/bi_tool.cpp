// Construction, destruction, pairing, the stretch, cloning and the
// ramifications of qel::BiTool.

#include "tools/bi_tool.h"

#include <cmath>

#include "scene/element.h"

namespace qel {

namespace {

bool isAncestorOf(const Tool* a, const Tool* t) {
    for (const Tool* x = t->parent; x; x = x->parent)
        if (x == a) return true;
    return false;
}

}  // namespace

std::size_t BiTool::Alive = 0;

BiTool::BiTool(TBiType t, Element* e, const mat4& m, const pbr& p, bool transparent)
    : Tool(KindBiTool, e, m, p, transparent), type(t) {
    ++Alive;
}

BiTool::BiTool(buffer& b) : Tool(KindBiTool, ReadingTag{}) {
    ++Alive;
    // A virtual call from the constructor: BiTool::DataRead.
    DataRead(b);
}

BiTool::~BiTool() {
    --Alive;
    // The bulk deletions clear the links of the ends they delete: a linked
    // partner means this end is deleted on its own, and the pair goes with it.
    BiTool* p = partner;
    if (!p) return;
    p->partner = nullptr;
    partner = nullptr;
    // A partner above this end is the tool whose subtree is being deleted,
    // or holds it: it stays.
    if (isAncestorOf(p, this)) return;
    // A partner that its parent does not list (an array's template) is not
    // ours to free.
    if (p->parent && p->parent->subChild(p) < 0) return;
    deleteTrees({p}, this);
}

// ---- Pairing ----

bool BiTool::isMarked() {
    // The partner's mark byte itself: asking the partner's isMarked would
    // ask this end again.
    return mark() != 0 && partner && partner->mark() != 0;
}

void BiTool::setPartner(Tool* t) {
    if (!t || t == this || !t->isBiTool()) return;
    BiTool* other = static_cast<BiTool*>(t);
    if (partner == other) return;
    if (partner) partner->partner = nullptr;
    if (other->partner) other->partner->partner = nullptr;
    partner = other;
    other->partner = this;
}

// ---- Stretch ----

mat4 BiTool::transformRender(const mat4& m) {
    const mat4 t = Tool::transformRender(m);
    const float l = length;
    // Coinciding ends (or a length not measured) give no stretch.
    if (!(l > MinLength) || !std::isfinite(l)) return t;
    switch (type) {
        case BiUniform:
            return t * mat4::Scale(l);
        case BiThin:
            return t * mat4::Scale(0.3f, 0.3f, l);
        case BiVolume: {
            const float l0 = referenceLength;
            if (!(l0 > 0.0f) || !std::isfinite(l0)) return t;
            const float s = std::sqrt(l0 / l);
            return t * mat4::Scale(s, s, l);
        }
        default:
            return t;
    }
}

bool BiTool::hasAuxiliary() {
    if (ShowHandles != 0) return true;
    return element != nullptr && element->hasAuxiliary();
}

// ---- Cloning ----

BiTool* BiTool::newEnd() { return new BiTool(type, element, transform, material, (flags & FlagTransparent) != 0); }

BiTool* BiTool::makeEnd(bool object) {
    BiTool* c = newEnd();
    c->referenceLength = referenceLength;
    c->flags = std::uint8_t(c->flags | (flags & 0xE0) | (object ? FlagObject : 0));
    c->rotationAxis = rotationAxis;
    c->translationAxis = translationAxis;
    c->rotationMultiplicity = rotationMultiplicity;
    c->speed = speed;
    c->delay = delay;
    return c;
}

void BiTool::finishClone(BiTool* c, Tool* (*cloneChild)(Tool*)) {
    clone = c;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Tool* child = children[i];
        if (Tool* x = child->clone ? child->clone : cloneChild(child)) c->addChild(x, false);
    }
    // A partner cloned earlier in the same operation: link the two copies.
    if (partner && partner->clone) c->setPartner(partner->clone);
}

Tool* BiTool::CloneTool(bool keepPivot, bool mark) {
    if (mark) Mark(1);
    BiTool* c = makeEnd(false);
    c->pivot = keepPivot ? pivot : mat4::Identity();
    joinInstances(c);
    finishClone(c, [](Tool* child) { return child->isMarked() ? child->CloneTool(true, false) : nullptr; });
    if (mark) Mark(0);
    return c;
}

Tool* BiTool::CloneObject(const mat4& m, bool join, unsigned char markMode) {
    if (markMode == 1)
        Mark(1);
    else if (markMode == 2)
        markRamifications(1);
    BiTool* c = makeEnd(true);
    c->pivot = m * pivot;
    if (join) joinInstances(c);
    finishClone(
        c, [](Tool* child) { return child->isMarked() ? child->CloneObject(mat4::Identity(), true, 0) : nullptr; });
    if (markMode == 1)
        Mark(0);
    else if (markMode == 2)
        markRamifications(0);
    return c;
}

Tool* BiTool::CloneObjectRamifications(const mat4& m, bool join, unsigned char mark) {
    if (mark != 0) Mark(1);
    BiTool* c = makeEnd(true);
    c->pivot = m * pivot;
    if (join) joinInstances(c);
    finishClone(c, [](Tool* child) { return child->CloneObjectRamifications(mat4::Identity(), true, 0); });
    if (mark != 0) Mark(0);
    return c;
}

// ---- Ramifications ----

void BiTool::markRamifications(unsigned char v) {
    Tool::markRamifications(v);
    // The mark test stops the walk from bouncing between the two ends.
    if (partner && partner->mark() != v) partner->markRamifications(v);
}

void BiTool::findRamifications(std::vector<Tool*>& tops, std::vector<Tool*>& pairFirst, std::vector<Tool*>& pairSecond,
                               std::vector<Tool*>& ringFirst, std::vector<Tool*>& ringSecond, bool markAround,
                               bool markHere, bool followPartner) {
    if (markAround) markRamifications(2);
    if (markHere) Mark(1);
    if (!parent || parent->mark() == 0) tops.push_back(this);
    if (nextInstance->mark() != mark()) {
        ringFirst.push_back(this);
        ringSecond.push_back(nextInstance);
    } else {
        Tool* prev = previousInstance();
        if (prev->mark() != mark()) {
            ringFirst.push_back(prev);
            ringSecond.push_back(this);
        }
    }
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->findRamifications(tops, pairFirst, pairSecond, ringFirst, ringSecond, false, false, true);
    BiTool* visit = nullptr;
    if (followPartner && partner && partner->mark() != mark()) {
        pairFirst.push_back(this);
        pairSecond.push_back(partner);
        visit = partner;
    }
    if (markHere) Mark(2);
    if (visit) visit->findRamifications(tops, pairFirst, pairSecond, ringFirst, ringSecond, false, true, false);
    if (markAround) markRamifications(0);
}

}  // namespace qel
