// Construction, destruction, the item slots, marks, removal and the timer
// of qel::Array.

#include "tools/array.h"

#include "curves/curve.h"
#include "scene/element.h"

namespace qel {

namespace {

Curve* asCurve(Element* e) { return dynamic_cast<Curve*>(e); }

}  // namespace

Array::Array(Curve* c, const std::vector<Tool*>& list, const std::vector<std::int32_t>& entries, TArrayType t,
             const mat4& s, const mat4& transform, const pbr& material, bool transparent)
    : Tool(KindArray, c, transform, material, transparent),
      type(t),
      curve(asCurve(element)),
      pattern(entries.begin(), entries.end()),
      step(s) {
    items.reserve(list.size());
    for (Tool* item : list) {
        Tool* copy = item ? item->cloneTool(true) : nullptr;
        if (copy) copy->parent = this;
        items.push_back(copy);
    }
}

Array::Array(buffer& b) : Tool(KindArray, ReadingTag{}) {
    // A virtual call from the constructor: Array::DataRead.
    DataRead(b);
}

Array::~Array() {
    for (Tool* t : items) {
        if (!t) continue;
        // Not among the children: the template need not search their list.
        t->parent = nullptr;
        delete t;
    }
    items.clear();
    // The Tool destructor releases the curve.
}

Tool* Array::setItem(int slot, Tool* item) {
    if (slot < 0 || std::size_t(slot) >= items.size()) return nullptr;
    items[std::size_t(slot)] = item;
    if (item) item->parent = this;
    return item;
}

Tool* Array::addItem(Tool* item) {
    if (item) item->parent = this;
    items.push_back(item);
    return item;
}

// ---- Marks, element, removal ----

void Array::markRamifications(unsigned char k) {
    Tool::markRamifications(k);
    for (Tool* t : items)
        if (t) t->markRamifications(k);
}

void Array::Mark(unsigned char k) {
    Tool::Mark(k);
    for (Tool* t : items)
        if (t) t->Mark(k);
}

int Array::setElement(Element* e) {
    const int result = Tool::setElement(e);
    curve = asCurve(element);
    return result;
}

void Array::removeTools() {
    // The templates first; a template itself is never removed here, only the
    // marked tools below it.
    for (Tool* t : items)
        if (t) t->removeTools();
    Tool::removeTools();
}

bool Array::isEmpty() { return true; }

bool Array::isArray() { return true; }

bool Array::timer() {
    bool moves = Tool::timer();
    for (Tool* t : items)
        if (t && t->timer()) moves = true;
    return moves;
}

void Array::appendOwned(std::vector<Tool*>& out) {
    for (Tool* item : items)
        if (item) out.push_back(item);
}

}  // namespace qel
