// The record of qel::BiTool (tag 0xABCDEF05) and identify.
//
// Current layout: the tool body, then partner id u32 (0xFFFFFFFF for none),
// type u8, reference length f32.
// Old layout (files up to 20160914): transform 16 f32 | pivot 16 f32 |
//   rotationAxis 3 f32 | translationAxis 3 f32 | u32 skipped | colour RGBA8
//   | light RGBA8 | flags u8 | n u32 | n child ids i32 | ring id i32 |
//   element id i32 | partner id i32 | type u8 | reference length f32 |
//   rotationMultiplicity, speed, delay f32 (only above 20060410); both
//   matrices stored transposed.

#include <cmath>

#include "gl/buffer.h"
#include "tools/bi_tool.h"

namespace qel {

namespace {

constexpr std::int32_t VersionNoTrailing = 20060410;  // at or below: no trailing floats
constexpr std::uint32_t NoPartner = 0xFFFFFFFFu;

// A stored rest length that is not a positive finite number is measured
// again at the next listing.
float restLength(float v) { return std::isfinite(v) && v > 0.0f ? v : -1.0f; }

// The end at position i of the read tools, or null.
BiTool* endAt(const std::vector<Tool*>& tools, std::int32_t i) {
    if (i < 0 || std::size_t(i) >= tools.size()) return nullptr;
    Tool* t = tools[std::size_t(i)];
    return t && t->isBiTool() ? static_cast<BiTool*>(t) : nullptr;
}

// An RGBA8 word widened into u16 channels (each byte the high byte).
wvec4 widened(const std::uint8_t* c) {
    return wvec4(std::uint16_t(c[0] << 8), std::uint16_t(c[1] << 8), std::uint16_t(c[2] << 8),
                 std::uint16_t(c[3] << 8));
}

}  // namespace

// ---- Writing ----

void BiTool::Data(buffer& b, bool ringFromNext) {
    Tool::Data(b, ringFromNext);
    // The writers mark the tools of the file: a partner outside it has no id
    // there.
    const bool written = partner && (partner->flags & FlagTemp) && partner->id >= 0;
    b.writeU32(written ? std::uint32_t(partner->id) : NoPartner);
    b.writeU8(std::uint8_t(type));
    b.writeF32(referenceLength);
}

// ---- Reading ----

void BiTool::DataRead(buffer& b) {
    if (FILE_VERSION <= VersionOldLayout) {
        oldDataRead(b);
        return;
    }
    if (readBody(b)) readTail(b);
}

void BiTool::readTail(buffer& b) {
    if (!b.require(9, 1)) {
        stored.pending = false;
        return;
    }
    storedPartner_ = b.readI32();
    type = TBiType(b.readU8());
    referenceLength = restLength(b.readF32());
}

void BiTool::oldDataRead(buffer& b) {
    const bool trailing = FILE_VERSION > VersionNoTrailing;
    // Fixed part up to and including the child count.
    if (!b.require(64 + 64 + 12 + 12 + 12 + 1 + 4, 1)) return;
    const mat4 t = b.readMat4().transposed();
    const mat4 p = b.readMat4().transposed();
    const vec3 ra = b.readVec3();
    const vec3 ta = b.readVec3();
    b.skip(4);
    std::uint8_t c[8];
    b.readBytes(c, 8);
    const std::uint8_t f = std::uint8_t(b.readU8() & StoredFlagsMask);
    const std::uint32_t n = b.readU32();
    // Child ids, ring, element and partner ids, type, rest length, trailing
    // floats: all there before anything is allocated for n.
    if (!b.require(4 * std::uint64_t(n) + 4 + 4 + 4 + 1 + 4 + (trailing ? 12 : 0), 1)) return;
    std::vector<std::int32_t> childIds(n);
    for (std::uint32_t i = 0; i < n; ++i) childIds[i] = b.readI32();
    stored.ring = b.readI32();
    stored.element = b.readI32();
    storedPartner_ = b.readI32();
    type = TBiType(b.readU8());
    referenceLength = restLength(b.readF32());
    if (trailing) {
        rotationMultiplicity = b.readF32();
        speed = b.readF32();
        delay = b.readF32();
    }
    transform = t;
    pivot = p;
    rotationAxis = ra;
    translationAxis = ta;
    material = pbr(widened(c), widened(c + 4), 0, 0);
    flags = f;
    stored.children = std::move(childIds);
    stored.pending = !b.failed();
}

// ---- identify ----

void BiTool::identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) {
    const bool pending = stored.pending;
    Tool::identify(tools, elements);
    if (!pending) return;
    // Two ends of the file are linked when each names the other; the first
    // of them to be identified links both.
    BiTool* other = endAt(tools, storedPartner_);
    if (other && other != this && !partner && !other->partner && endAt(tools, other->storedPartner_) == this)
        setPartner(other);
    storedPartner_ = -1;
}

}  // namespace qel
