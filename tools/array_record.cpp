// The array's record (tag 0xABCDEF04), its old layout, identify and the
// numbering pass of the writers.
//
// Current layout (payload): the Tool body as Tool::Data writes it | u32 n |
// n slot ids (u32, 0xFFFFFFFF for an empty slot) | u32 m | m pattern
// entries u32 | u8 type | step 16 f32 row by row, as held in memory.
//
// Old layout, files of version 20160914 and below: transform and pivot 16
// f32 each stored transposed | rotation and translation axes 3 f32 each |
// 4 ignored bytes | colour RGBA bytes | light RGBA bytes | u8 flags | i32 c
// | c child ids | i32 ring id | i32 element id | i32 n | n slot ids | i32 m
// | m pattern entries | u8 type | step 16 f32 stored transposed | above
// version 20060410 the multiplicity, speed and delay f32.

#include "curves/curve.h"
#include "gl/buffer.h"
#include "scene/element.h"
#include "tools/array.h"

namespace qel {

namespace {

constexpr std::int32_t VersionOldLayout = 20160914;   // at or below: the old layout
constexpr std::int32_t VersionNoTrailing = 20060410;  // at or below: no trailing floats
constexpr std::uint32_t EmptySlot = 0xFFFFFFFFu;
constexpr std::uint32_t StepBytes = 64;

wvec4 widenedBytes(const std::uint8_t* c) {
    return wvec4(std::uint16_t(c[0] << 8), std::uint16_t(c[1] << 8), std::uint16_t(c[2] << 8),
                 std::uint16_t(c[3] << 8));
}

}  // namespace

// ---- Numbering (slot 25) ----

void Array::toList(std::vector<Tool*>& list) {
    if (element) element->update();
    Tool::toList(list);
    for (Tool* t : items)
        if (t) t->toList(list);
}

// ---- Writing (slot 52; Tool::DataWrite puts it under recordTag()) ----

void Array::Data(buffer& b, bool ringFromNext) {
    Tool::Data(b, ringFromNext);
    b.writeU32(std::uint32_t(items.size()));
    for (Tool* t : items) b.writeU32(t ? std::uint32_t(t->id) : EmptySlot);
    b.writeU32(std::uint32_t(pattern.size()));
    for (std::uint32_t entry : pattern) b.writeU32(entry);
    b.writeU8(std::uint8_t(type));
    b.writeMat4(step);
}

// ---- Reading (slots 54, 55) ----

void Array::DataRead(buffer& b) {
    if (FILE_VERSION <= VersionOldLayout) {
        oldDataRead(b);
        return;
    }
    if (!readBody(b)) return;
    // A refused tail leaves nothing pending: the reader deletes the array.
    if (!readOwnFields(b)) stored = StoredIds();
}

bool Array::readOwnFields(buffer& b) {
    if (!b.require(1, 4)) return false;
    const std::uint32_t n = b.readU32();
    // The slot ids and the pattern count.
    if (!b.require(std::uint64_t(n) + 1, 4)) return false;
    std::vector<std::int32_t> ids(n);
    for (std::int32_t& id : ids) id = b.readI32();
    const std::uint32_t m = b.readU32();
    // The entries, the type and the step.
    if (!b.require(std::uint64_t(m) * 4 + 1 + StepBytes, 1)) return false;
    std::vector<std::uint32_t> entries(m);
    for (std::uint32_t& entry : entries) entry = b.readU32();
    const std::uint8_t t = b.readU8();
    const mat4 s = b.readMat4();
    if (b.failed()) return false;
    storedItems_ = std::move(ids);
    itemsPending_ = true;
    pattern = std::move(entries);
    type = TArrayType(t);
    step = s;
    return true;
}

void Array::oldDataRead(buffer& b) {
    const bool trailing = FILE_VERSION > VersionNoTrailing;
    const auto refuse = [this] { stored = StoredIds(); };
    // Matrices, axes, colour block, flags and the child count.
    if (!b.require(64 + 64 + 12 + 12 + 12 + 1 + 4, 1)) return refuse();
    const mat4 t = b.readMat4().transposed();
    const mat4 p = b.readMat4().transposed();
    const vec3 ra = b.readVec3();
    const vec3 ta = b.readVec3();
    b.skip(4);
    std::uint8_t c[8];
    b.readBytes(c, 8);
    // The flags were stored whole: the transient bits never come from a file.
    const std::uint8_t f = std::uint8_t(b.readU8() & StoredFlagsMask);
    const std::uint32_t childCount = b.readU32();
    // The child ids, the ring and element ids and the slot count.
    if (!b.require(std::uint64_t(childCount) + 3, 4)) return refuse();
    std::vector<std::int32_t> childIds(childCount);
    for (std::int32_t& id : childIds) id = b.readI32();
    const std::int32_t ring = b.readI32();
    const std::int32_t elem = b.readI32();
    const std::uint32_t n = b.readU32();
    if (!b.require(std::uint64_t(n) + 1, 4)) return refuse();
    std::vector<std::int32_t> ids(n);
    for (std::int32_t& id : ids) id = b.readI32();
    const std::uint32_t m = b.readU32();
    if (!b.require(std::uint64_t(m) * 4 + 1 + StepBytes + (trailing ? 12 : 0), 1)) return refuse();
    std::vector<std::uint32_t> entries(m);
    for (std::uint32_t& entry : entries) entry = b.readU32();
    const std::uint8_t arrayType = b.readU8();
    const mat4 s = b.readMat4().transposed();
    float mult = 1.0f, spd = 1.0f, del = 0.0f;
    if (trailing) {
        mult = b.readF32();
        spd = b.readF32();
        del = b.readF32();
    }
    if (b.failed()) return refuse();

    transform = t;
    pivot = p;
    rotationAxis = ra;
    translationAxis = ta;
    material.colour = widenedBytes(c);
    material.light = widenedBytes(c + 4);
    material.roughness = 0;
    material.metalness = 0;
    flags = f;
    rotationMultiplicity = mult;
    speed = spd;
    delay = del;
    stored.children = std::move(childIds);
    stored.ring = ring;
    stored.element = elem;
    stored.pending = true;
    storedItems_ = std::move(ids);
    itemsPending_ = true;
    pattern = std::move(entries);
    type = TArrayType(arrayType);
    step = s;
}

// ---- identify (slot 56) ----

bool Array::namesCurve(std::int32_t id, const std::vector<Element*>& elements) {
    if (id < 0 || std::size_t(id) >= elements.size()) return false;
    Element* e = elements[std::size_t(id)];
    if (!e || !(e->isType(Element::TType::Curve) || e->isType(Element::TType::UCurve))) return false;
    return dynamic_cast<Curve*>(e) != nullptr;
}

void Array::identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) {
    // An element that is not a curve is never taken.
    if (stored.pending && !namesCurve(stored.element, elements)) stored.element = -1;
    Tool::identify(tools, elements);
    curve = dynamic_cast<Curve*>(element);
    if (!itemsPending_) return;
    itemsPending_ = false;
    // Joined from a file: the first listing pays the load's budget.
    copiesFromLoad_ = true;

    // A tool without parent is an ancestor of this array only as the top of
    // its tree; the top is found once.
    Tool* top = this;
    while (top->parent) top = top->parent;
    items.assign(storedItems_.size(), nullptr);
    for (std::size_t i = 0; i < storedItems_.size(); ++i) {
        const std::int32_t id = storedItems_[i];
        if (id < 0 || std::size_t(id) >= tools.size()) continue;
        Tool* t = tools[std::size_t(id)];
        if (!t || t->parent || t->isRoot() || t == top) continue;
        t->parent = this;
        items[i] = t;
    }
    storedItems_.clear();
    storedItems_.shrink_to_fit();
}

}  // namespace qel
