// Construction, destruction, element ownership, marks and the
// kind tests of qel::Tool.

#include "scene/tool.h"

#include "gl/buffer.h"
#include "scene/element.h"

namespace qel {

Tool::Tool(Element* e, const mat4& m, const pbr& p, bool transparent)
    : Tool(KindTool, e, m, p, transparent) {}

Tool::Tool(TKind k, Element* e, const mat4& m, const pbr& p, bool transparent)
    : kind(k), transform(m), material(p), flags(transparent ? (FlagCreated | FlagTransparent) : FlagCreated) {
    element = e ? e->copy(1) : nullptr;
}

Tool::Tool(TKind k, ReadingTag) : kind(k) {}

Tool::Tool(buffer& b) : kind(KindTool) {
    // A virtual call from the constructor: Tool::DataRead, as a tool record is read.
    DataRead(b);
}

Tool::~Tool() {
    // (1) Leave the instance ring.
    removeInstance();
    // (2) Drop the element reference.
    Element* e = element;
    element = nullptr;
    Element::drop(e, 1);
    // (3) Delete the children (Tool::clearChildren: a virtual call from the
    // destructor resolves here).
    Tool::clearChildren();
    // (4) Leave the parent's list.
    if (parent) parent->subChild(this);
    parent = nullptr;
    // (5) The child list is freed with the vector.
}

// ---- Slot 3, 8, 15-17: marks ----

bool Tool::isMarked() { return mark() != 0; }

void Tool::markRamifications(unsigned char k) {
    setMark(k);
    for (Tool* c : children) c->markRamifications(k);
}

void Tool::setMark(unsigned char k) {
    markValue = k;
    clone = nullptr;
}

unsigned char Tool::mark() { return markValue; }

void Tool::Mark(unsigned char k) {
    setMark(k);
    for (Tool* c : children) c->Mark(k);
}

// ---- Slot 12-14: partner and element ----

void Tool::setPartner(Tool*) {}

int Tool::setElement(Element* e) {
    if (e == element) return 0;
    Element* old = element;
    element = e ? e->copy(1) : nullptr;
    if (!old) return 2;
    return Element::drop(old, 1) ? 2 : 1;
}

bool Tool::makeUniqueElement() {
    if (!element) return false;
    return setElement(element->unshare()) != 0;
}

// ---- Slot 32, 34-38 ----

mat4 Tool::matrix() { return pivot * transform; }

bool Tool::isEmpty() { return element == nullptr; }
bool Tool::isTool() { return kind == KindTool; }
bool Tool::isArray() { return kind == KindArray; }
bool Tool::isBiTool() { return kind == KindBiTool; }
bool Tool::isRoot() { return kind == KindRoot; }

}  // namespace qel
