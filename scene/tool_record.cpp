// The tool record (tag 0xABCDEF02), its older layouts and
// identify.
//
// Body written today (n children), 197 + 4 n bytes:
//   transform 16 f32 | pivot 16 f32 | rotationAxis 3 f32 | translationAxis
//   3 f32 | material 20 bytes | flags AND 0xED u8 | n u32 | n child ids i32 |
//   ring representative id i32 | element id i32 | rotationMultiplicity f32 |
//   speed f32 | delay f32
// Older layouts, by FILE_VERSION:
//   < 20060412   material of 12 bytes (4 skipped, RGBA colour bytes, RGBA
//                light bytes, each byte the high byte of its channel)
//   <= 20060410  no trailing f32 fields (1.0, 1.0, 0 kept)
//   <= 20161025  both matrices stored transposed

#include "gl/buffer.h"
#include "scene/element.h"
#include "scene/tool.h"

namespace qel {

namespace {

// Layout thresholds: the 12-byte material below 20060412, the trailing
// floats above 20060410, transposed matrices up to 20161025. A file of
// version 20060411 is thus read with the 12-byte material and the trailing
// floats.
constexpr std::int32_t VersionMaterial20 = 20060412;   // below: 12-byte material
constexpr std::int32_t VersionNoTrailing = 20060410;   // at or below: no trailing floats
constexpr std::int32_t VersionTransposed = 20161025;   // at or below: transposed matrices

}  // namespace

// ---- Writing (slots 52, 53) ----

void Tool::Data(buffer& b, bool ringFromNext) {
    b.writeMat4(transform);
    b.writeMat4(pivot);
    b.writeVec3(rotationAxis);
    b.writeVec3(translationAxis);
    b.writePbr(material);
    b.writeU8(std::uint8_t(flags & StoredFlagsMask));
    b.writeU32(std::uint32_t(children.size()));
    for (Tool* c : children) b.writeI32(c->id);
    // Ring representative.
    std::int32_t ring = id;
    if (ringFromNext) {
        ring = nextInstance->id;
    } else {
        for (Tool* x = nextInstance; x != this; x = x->nextInstance)
            if (x->flags & FlagTemp) {
                ring = x->id;
                break;
            }
    }
    b.writeI32(ring);
    // Element id: the element's for a tool that is not empty, and for an array
    // (empty by its own answer, its element is its curve).
    const bool hasElement = element && (!isEmpty() || isArray());
    b.writeI32(hasElement ? element->id : -1);
    b.writeF32(rotationMultiplicity);
    b.writeF32(speed);
    b.writeF32(delay);
}

void Tool::DataWrite(buffer& b, bool ringFromNext) {
    buffer body;
    Data(body, ringFromNext);
    b.writeRecord(recordTag(), body);
}

// ---- Reading (slots 54, 55) ----

bool Tool::readBody(buffer& b) {
    const std::int32_t version = FILE_VERSION;
    const bool oldMaterial = version < VersionMaterial20;
    const bool trailing = version > VersionNoTrailing;
    const bool transposed = version <= VersionTransposed;

    // Fixed part up to and including the child count.
    const std::uint32_t head = 64 + 64 + 12 + 12 + (oldMaterial ? 12 : pbr::RecordSize) + 1 + 4;
    if (!b.require(head, 1)) return false;

    mat4 t = b.readMat4();
    mat4 p = b.readMat4();
    const vec3 ra = b.readVec3();
    const vec3 ta = b.readVec3();
    pbr mat;
    if (oldMaterial) {
        b.skip(4);
        std::uint8_t c[8];
        b.readBytes(c, 8);
        mat.colour = wvec4(std::uint16_t(c[0] << 8), std::uint16_t(c[1] << 8), std::uint16_t(c[2] << 8),
                           std::uint16_t(c[3] << 8));
        mat.light = wvec4(std::uint16_t(c[4] << 8), std::uint16_t(c[5] << 8), std::uint16_t(c[6] << 8),
                          std::uint16_t(c[7] << 8));
        mat.roughness = 0;
        mat.metalness = 0;
    } else {
        mat.read(b);
    }
    // The transient bits never come from a file.
    const std::uint8_t f = std::uint8_t(b.readU8() & StoredFlagsMask);
    const std::uint32_t n = b.readU32();

    // The child ids, the ring and element ids and the trailing floats must
    // all be there before anything is allocated for n.
    const std::uint64_t words = std::uint64_t(n) + 2 + (trailing ? 3 : 0);
    if (!b.require(words, 4)) return false;

    std::vector<std::int32_t> childIds(n);
    for (std::uint32_t i = 0; i < n; ++i) childIds[i] = b.readI32();
    const std::int32_t ring = b.readI32();
    const std::int32_t elem = b.readI32();
    float mult = 1.0f, spd = 1.0f, del = 0.0f;
    if (trailing) {
        mult = b.readF32();
        spd = b.readF32();
        del = b.readF32();
    }
    if (b.failed()) return false;
    if (transposed) {
        t = t.transposed();
        p = p.transposed();
    }

    transform = t;
    pivot = p;
    rotationAxis = ra;
    translationAxis = ta;
    material = mat;
    flags = f;
    rotationMultiplicity = mult;
    speed = spd;
    delay = del;
    stored.children = std::move(childIds);
    stored.ring = ring;
    stored.element = elem;
    stored.pending = true;
    return true;
}

void Tool::DataRead(buffer& b) { readBody(b); }

void Tool::oldDataRead(buffer& b) { readBody(b); }

// ---- identify (slot 56) ----

void Tool::identify(const std::vector<Tool*>& tools, const std::vector<Element*>& elements) {
    if (!stored.pending) return;  // nothing read, or already identified
    stored.pending = false;
    const auto toolAt = [&tools](std::int32_t i) -> Tool* {
        if (i < 0 || std::size_t(i) >= tools.size()) return nullptr;
        return tools[std::size_t(i)];
    };

    // (1) Children. A child already adopted (it has a parent), or one whose
    // adoption would close a cycle (this tool or one of its ancestors), is
    // dropped.
    for (std::int32_t cid : stored.children) {
        Tool* c = toolAt(cid);
        if (!c || c->parent || c->isRoot()) continue;
        bool cycle = false;
        for (Tool* a = this; a; a = a->parent)
            if (a == c) {
                cycle = true;
                break;
            }
        if (cycle) continue;
        c->parent = this;
        children.push_back(c);
    }
    stored.children.clear();
    stored.children.shrink_to_fit();

    // (2) Ring. The rings stay proper rings whatever the ids say: the link is
    // made by exchanging this tool's successor with that of the named tool's
    // current predecessor (which splices or splits rings, never breaking
    // one). A tool named as the successor of two tools is claimed once; the
    // second claim is dropped. A valid file thus restores its rings exactly.
    if (Tool* next = toolAt(stored.ring)) {
        if (!next->ringClaimed) {
            if (nextInstance != next) {
                // This tool ends the chain of links made so far that starts at
                // its successor; next starts another chain, whose last member
                // is next's predecessor: next itself while it is alone, else
                // the member whose position the chain's first member keeps.
                // (Walking the ring for it, once per link, is quadratic.)
                std::int32_t endAt = next->nextInstance == next ? stored.ring : next->stored.chainEnd;
                Tool* prev = toolAt(endAt);
                if (!prev || prev->nextInstance != next) {
                    prev = next->previousInstance();
                    endAt = -1;
                }
                Tool* start = nextInstance;
                prev->nextInstance = start;
                nextInstance = next;
                start->stored.chainEnd = endAt;
            }
            next->ringClaimed = true;
        }
    }

    // (3) Element.
    if (stored.element >= 0 && std::size_t(stored.element) < elements.size() && !element) {
        Element* e = elements[std::size_t(stored.element)];
        if (e) {
            element = e;
            e->resolve(elements);  // takes the tool's reference
        }
    }
    stored.element = -1;
    stored.ring = -1;
}

}  // namespace qel
