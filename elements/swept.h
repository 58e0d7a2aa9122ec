#pragma once
// Code shared by the swept elements (qel::Tube, qel::Revoluton): the state
// of their surface buffers, the rule for replacing a shared curve, and the
// readers of their records.

#include <cstdint>
#include <vector>

namespace qel {

class Curve;
class Element;
class buffer;

// GPU buffers of a swept surface and its feature lines, with the flags that
// say what must be filled again at the next build.
struct SweptBuffers {
    std::uint32_t surface = 0;      // buffer of the surface (0: none)
    std::uint32_t lines = 0;        // buffer of the feature lines
    std::uint8_t enabled = 0;       // the surface buffer is bound as attributes 0..5
    std::uint8_t rebuild = 1;       // every block must be filled again
    std::uint32_t vertexCount = 0;  // vertices drawn of the surface
    std::uint32_t lineCount = 0;    // vertices drawn of the feature lines

    // Disables the attributes when bound, flushes and deletes both buffers
    // (with the view's context made current when none is), and forgets the
    // names. Nothing without a buffer.
    void release();
};

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
