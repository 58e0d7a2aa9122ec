#pragma once
// Code shared by the swept elements (qel::Tube, qel::Revoluton): their
// surface buffers (elements/swept_buffers.h), the rule for replacing a
// shared curve, and the readers of their records.

#include <cstdint>
#include <vector>

#include "elements/swept_buffers.h"

namespace qel {

class Curve;
class Element;
class buffer;

// Puts `curve` into `slot` of `owner`, which holds its curves through its
// own reference count: the new curve takes owner->refCount references
// before the old one gives up as many, because the new curve may be built
// on the old one, which releasing first would free. Nothing when the slot
// already holds the curve.
void replaceSharedCurve(Element* owner, Curve*& slot, Curve* curve);

// The curve table entry an id read from a record names: null for an id
// outside the table or naming an element that is not a curve.
Curve* curveOfId(const std::vector<Element*>& table, std::int32_t id);

// Reads one embedded curve record of an old-layout swept record (u32 tag,
// u32 length that is not used, the curve's body) from `b`, whose bytes end
// where the outer record ends. Null, with nothing left allocated, when the
// tag is not a curve tag or the body is damaged or cut short.
Curve* readEmbeddedCurve(buffer& b);

// The id written for a curve: its id, or -1 for a missing curve.
std::int32_t curveId(const Curve* c);

}  // namespace qel
