// Shared code of the swept elements.

#include "elements/swept.h"

#include "curves/curve.h"
#include "gl/buffer.h"
#include "scene/element.h"

namespace qel {

void replaceSharedCurve(Element* owner, Curve*& slot, Curve* curve) {
    if (slot == curve) return;
    const int n = owner ? owner->refCount : 0;
    Curve* old = slot;
    if (curve) curve->copy(n);
    slot = curve;
    if (old) Element::drop(old, n);
}

Curve* curveOfId(const std::vector<Element*>& table, std::int32_t id) {
    if (id < 0 || std::size_t(id) >= table.size()) return nullptr;
    Element* e = table[std::size_t(id)];
    if (!e || !(e->isType(Element::TType::Curve) || e->isType(Element::TType::UCurve))) return nullptr;
    return dynamic_cast<Curve*>(e);
}

Curve* readEmbeddedCurve(buffer& b) {
    const std::uint32_t tag = b.readU32();
    b.readU32();  // the embedded length is not used: the curve's body says how long it is
    if (b.failed() || (tag != Curve::RecordTag && tag != Curve::OldRecordTag)) return nullptr;
    // The body is read inside the outer record's window: a body running past
    // it fails the read instead of reading the next record.
    Curve* c = new Curve(b, tag == Curve::OldRecordTag);
    if (b.failed() || c->status != 0) {
        delete c;
        return nullptr;
    }
    return c;
}

std::int32_t curveId(const Curve* c) { return c ? c->id : -1; }

}  // namespace qel
